// The seven values the tool remembers between runs, under one settings key:
// on Windows the machine-wide registry key
// HKEY_LOCAL_MACHINE\Software\Orvel\ControllerTools (for a user who may not
// write there, the same key under HKEY_CURRENT_USER); elsewhere the INI file
// Orvel/ControllerTools.ini in the user's configuration directory, which a
// normal user can write and pre-seed by hand (IniFile.h has its rules). Same
// value names, kinds, defaults and reading order everywhere; no failure is
// ever reported.
#pragma once

#include "link/Link.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace ct::app {

inline constexpr const char* DefaultFirmwareFile = "KX920-G4.KXB";
// A settings file larger than this is no file of ours: it is neither read nor
// rewritten, and the defaults are used.
inline constexpr qint64 MaxSettingsFileBytes = 1024 * 1024;

struct StoredSettings {
    link::LinkSettings link;     // LinkType is the page to activate (0 COM, 1 NET)
    QString firmwareFile = DefaultFirmwareFile;
    QString languageName = QStringLiteral("English");
    int languageIndex = 0;
    bool comPortStored = false;  // ComPortName was read, not defaulted
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
    // the key cannot be opened or written. An INI file is rewritten only in
    // the lines of the values written; one that exists but cannot be read,
    // or that is or would grow over MaxSettingsFileBytes, is left alone.
    void SaveLinkSettings(const link::LinkSettings& settings);
    void SaveFirmwareFile(const QString& fileName);
    void SaveLanguage(const QString& languageName);

    // What Load and the saves do with the text of an INI file (tests, fuzzing).
    static StoredSettings LoadIni(const QByteArray& text);
    static QByteArray SaveLinkSettingsIni(const QByteArray& text, const link::LinkSettings& settings);
    static QByteArray SaveFirmwareFileIni(const QByteArray& text, const QString& fileName);
    static QByteArray SaveLanguageIni(const QByteArray& text, const QString& languageName);

private:
    template <class Edit>
    void Save(const Edit& edit);
    QString IniPath() const;

    QString iniPath_;  // empty: the platform's store
};

// The serial ports the system lists, trimmed, in its order; COM1..COM16 when
// it lists none.
QStringList BuildPortList(const QStringList& systemPorts);
// The names of the serial ports the system lists.
QStringList SystemPortNames();
// Starts listing them on a thread of its own, for the next SystemPortNames
// to take: the list reads hundreds of files under /sys, about a seventh of
// the window's start-up, and so runs beside the rest of it.
void PrefetchSystemPortNames();

}  // namespace ct::app
