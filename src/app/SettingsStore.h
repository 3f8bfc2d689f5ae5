// The seven values the tool remembers between runs, under one settings key:
// on Windows the machine-wide registry key
// HKEY_LOCAL_MACHINE\Software\Orvel\ControllerTools; elsewhere an INI file a
// normal user can write (organisation "Orvel", application "ControllerTools").
// Same value names, kinds, defaults and reading order everywhere; no failure
// is ever reported.
#pragma once

#include "link/Link.h"

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace ct::app {

inline constexpr const char* DefaultFirmwareFile = "KX920-G4.KXB";

struct StoredSettings {
    link::LinkSettings link;     // LinkType is the page to activate (0 COM, 1 NET)
    QString firmwareFile = DefaultFirmwareFile;
    QString languageName = QStringLiteral("English");
    int languageIndex = 0;
};

class SettingsStore {
public:
    // The platform's store (registry on Windows, INI file elsewhere).
    SettingsStore();
    // A store in the given INI file (tests).
    explicit SettingsStore(const QString& iniPath);
    ~SettingsStore();

    // Defaults, then the stored values in their fixed order, stopping at the
    // first value that cannot be read as its kind.
    StoredSettings Load() const;

    // Each opens the key (creating it), writes, closes; silently nothing when
    // the key cannot be opened or written.
    void SaveLinkSettings(const link::LinkSettings& settings);
    void SaveFirmwareFile(const QString& fileName);
    void SaveLanguage(const QString& languageName);

private:
    std::unique_ptr<QSettings> Open() const;
    QString iniPath_;
};

// The serial ports the system lists, trimmed, in its order; COM1..COM16 when
// it lists none.
QStringList BuildPortList(const QStringList& systemPorts);
QStringList SystemPortNames();

}  // namespace ct::app
