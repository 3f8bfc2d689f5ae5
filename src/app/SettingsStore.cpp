#include "app/SettingsStore.h"

#include "app/IniFile.h"
#include "link/SerialPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <QSettings>
#include <QVariant>
#endif

#include <cstdint>
#include <future>
#include <mutex>

namespace ct::app {

namespace {

// Kinds of stored values. The registry keeps a type with every value: REG_SZ
// is a string, REG_DWORD a 32-bit integer, anything else another kind. An INI
// file keeps only text, so there the kinds follow IniFile's rules, and TYPE is
// also a 32-bit integer when its text is a decimal integer such as the "1" the
// store writes: a sign at most, then digits, from -2147483648 to 4294967295 (a
// REG_DWORD read either signed or unsigned). Any other TYPE text is a TYPE
// stored as a string. Every string is cut at an embedded NUL, on reading and
// on writing, as a registry string read as a C string would be.
bool ParseDecimalDword(const QString& text, std::int64_t& out)
{
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    if (i == text.size())
        return false;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
        // Stop before the accumulator could overflow.
        if (value > 0xFFFFFFFFLL)
            return false;
    }
    out = negative ? -value : value;
    return out >= INT32_MIN;
}

QString CutAtNul(QString text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

QString FromStd(const std::string& text)
{
    return CutAtNul(IniFile::FromUtf8(text));
}

int LanguageIndexOf(const QString& name)
{
    if (name == QLatin1String("ChineseGB"))
        return 1;
    if (name == QLatin1String("ChineseBIG5"))
        return 2;
    return 0;
}

// Source: std::optional<IniValue> Value(QLatin1String name) const, nothing for
// a missing value. A value is taken only once it has been read as its kind;
// the first one that cannot be stops the loading, leaving it and every value
// after it at the defaults.
template <class Source>
StoredSettings LoadFrom(const Source& source, bool textMayBeInteger)
{
    StoredSettings loaded;
    const auto text = [&](const char* name, QString& target, bool* found = nullptr) {
        const std::optional<IniValue> value = source.Value(QLatin1String(name));
        if (value && value->kind != IniValue::Text)
            return false;
        if (value)
            target = value->text;
        if (found)
            *found = value.has_value();
        return true;
    };
    const auto stdText = [&](const char* name, std::string& target, bool* found = nullptr) {
        QString read = IniFile::FromUtf8(target);
        if (!text(name, read, found))
            return false;
        target = read.toStdString();
        return true;
    };

    if (!text("FirmwareFile", loaded.firmwareFile))
        return loaded;
    std::int64_t type = 0;
    if (const std::optional<IniValue> stored = source.Value(QLatin1String("TYPE"))) {
        if (stored->kind == IniValue::Integer)
            type = stored->integer;
        else if (stored->kind != IniValue::Text || !textMayBeInteger
                 || !ParseDecimalDword(stored->text, type))
            return loaded;
    }
    loaded.link.LinkType = type == 0 ? link::LinkTypeCom : link::LinkTypeNet;
    if (!stdText("ComBaudRate", loaded.link.ComBaudRate) || !stdText("ComPortName", loaded.link.ComPortName, &loaded.comPortStored)
        || !stdText("NetIP", loaded.link.NetIP) || !stdText("NetPort", loaded.link.NetPort)
        || !text("LanguageFlag", loaded.languageName))
        return loaded;
    loaded.languageIndex = LanguageIndexOf(loaded.languageName);
    return loaded;
}

// Writer: SetText(QLatin1String, const QString&), SetInteger(QLatin1String, qint64).
template <class Writer>
void WriteText(Writer& writer, const char* name, const QString& text)
{
    writer.SetText(QLatin1String(name), CutAtNul(text));
}

template <class Writer>
void WriteLinkSettings(Writer& writer, const link::LinkSettings& settings)
{
    writer.SetInteger(QLatin1String("TYPE"), settings.LinkType == link::LinkTypeCom ? 0 : 1);
    writer.SetText(QLatin1String("NetPort"), FromStd(settings.NetPort));
    writer.SetText(QLatin1String("NetIP"), FromStd(settings.NetIP));
    writer.SetText(QLatin1String("ComBaudRate"), FromStd(settings.ComBaudRate));
    writer.SetText(QLatin1String("ComPortName"), FromStd(settings.ComPortName));
}

enum class FileState { Missing, Read, Unreadable };

FileState ReadFile(const QString& path, QByteArray& text)
{
    const QFileInfo info(path);
    if (!info.exists())
        return FileState::Missing;
    QFile file(path);
    // Seven short values: read whole, a huge file would cost seconds and
    // memory before the window shows. One byte more tells a file that grew
    // since its size was asked.
    if (!info.isFile() || info.size() > MaxSettingsFileBytes || !file.open(QIODevice::ReadOnly))
        return FileState::Unreadable;
    text = file.read(MaxSettingsFileBytes + 1);
    return file.error() == QFileDevice::NoError && text.size() <= MaxSettingsFileBytes ? FileState::Read
                                                                                      : FileState::Unreadable;
}

void WriteFile(const QString& path, const QByteArray& text)
{
    QSaveFile file(path);
    // A file the user may write in a directory they may not write (a store
    // set up by an administrator) is still written, in place.
    file.setDirectWriteFallback(true);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text);
        file.commit();
    }
}

#ifdef Q_OS_WIN
const char* const RegistryKeyPath = "HKEY_LOCAL_MACHINE\\Software\\Orvel\\ControllerTools";
// A user who may not write the machine's key (no administrator rights) keeps
// what they save in the same key of their own hive, and their values win
// over the machine's from then on, value by value: the settings they used
// last come back, and a value they never saved still comes from the machine.
const char* const UserKeyPath = "HKEY_CURRENT_USER\\Software\\Orvel\\ControllerTools";

// The registry key through QSettings, which keeps each value's registry type
// and matches names without regard to letter case.
class RegistryKey {
public:
    RegistryKey()
        : machine_(QString::fromLatin1(RegistryKeyPath), QSettings::NativeFormat),
          user_(QString::fromLatin1(UserKeyPath), QSettings::NativeFormat)
    {
        machine_.setFallbacksEnabled(false);
        user_.setFallbacksEnabled(false);
    }
    std::optional<IniValue> Value(QLatin1String name) const
    {
        const QSettings& from = user_.contains(name) ? user_ : machine_;
        if (!from.contains(name))
            return std::nullopt;
        const QVariant value = from.value(name);
        switch (value.typeId()) {
        case QMetaType::QString:
            return IniValue{IniValue::Text, CutAtNul(value.toString()), 0};
        case QMetaType::Int:
            return IniValue{IniValue::Integer, {}, value.toInt()};
        case QMetaType::UInt:
            return IniValue{IniValue::Integer, {}, value.toUInt()};
        default:
            return IniValue{IniValue::Other, {}, 0};
        }
    }
    void SetText(QLatin1String name, const QString& text) { Set(name, text); }
    void SetInteger(QLatin1String name, qint64 value) { Set(name, int(value)); }

private:
    void Set(QLatin1String name, const QVariant& value)
    {
        if (!machineDenied_) {
            machine_.setValue(name, value);
            machine_.sync();
            machineDenied_ = machine_.status() == QSettings::AccessError;
        }
        if (machineDenied_)
            user_.setValue(name, value);
    }

    QSettings machine_;
    QSettings user_;
    bool machineDenied_ = false;
};
#endif

}  // namespace

SettingsStore::SettingsStore() = default;

SettingsStore::SettingsStore(const QString& iniPath) : iniPath_(iniPath) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::IniPath() const
{
    if (!iniPath_.isEmpty())
        return iniPath_;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config.isEmpty() ? QString() : config + QStringLiteral("/Orvel/ControllerTools.ini");
}

StoredSettings SettingsStore::LoadIni(const QByteArray& text)
{
    return LoadFrom(IniFile(text), true);
}

StoredSettings SettingsStore::Load() const
{
#ifdef Q_OS_WIN
    if (iniPath_.isEmpty())
        return LoadFrom(RegistryKey(), false);
#endif
    QByteArray text;
    const QString path = IniPath();
    // A file that is missing or cannot be read is a key that cannot be opened.
    if (path.isEmpty() || ReadFile(path, text) != FileState::Read)
        return StoredSettings();
    return LoadIni(text);
}

template <class Edit>
void SettingsStore::Save(const Edit& edit)
{
#ifdef Q_OS_WIN
    if (iniPath_.isEmpty()) {
        RegistryKey key;
        edit(key);
        return;
    }
#endif
    const QString path = IniPath();
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return;
    // Another instance saving at the same moment would otherwise lose one of
    // the two changes; a lock that cannot be had within a second is ignored,
    // as an unanswered store is never reported.
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.tryLock(1000);
    QByteArray before;
    const FileState state = ReadFile(path, before);
    // Rewriting a file we could not read would lose whatever it holds.
    if (state == FileState::Unreadable)
        return;
    IniFile file(before);
    edit(file);
    const QByteArray after = file.Text();
    // A file over the limit would be ignored by every later load, and every
    // later save would leave it so.
    if (after.size() > MaxSettingsFileBytes)
        return;
    if (state == FileState::Missing || after != before)
        WriteFile(path, after);
}

void SettingsStore::SaveLinkSettings(const link::LinkSettings& settings)
{
    Save([&](auto& writer) { WriteLinkSettings(writer, settings); });
}

void SettingsStore::SaveFirmwareFile(const QString& fileName)
{
    Save([&](auto& writer) { WriteText(writer, "FirmwareFile", fileName); });
}

void SettingsStore::SaveLanguage(const QString& languageName)
{
    Save([&](auto& writer) { WriteText(writer, "LanguageFlag", languageName); });
}

QByteArray SettingsStore::SaveLinkSettingsIni(const QByteArray& text, const link::LinkSettings& settings)
{
    IniFile file(text);
    WriteLinkSettings(file, settings);
    return file.Text();
}

QByteArray SettingsStore::SaveFirmwareFileIni(const QByteArray& text, const QString& fileName)
{
    IniFile file(text);
    WriteText(file, "FirmwareFile", fileName);
    return file.Text();
}

QByteArray SettingsStore::SaveLanguageIni(const QByteArray& text, const QString& languageName)
{
    IniFile file(text);
    WriteText(file, "LanguageFlag", languageName);
    return file.Text();
}

QStringList BuildPortList(const QStringList& systemPorts)
{
    const auto blank = [](QChar c) {
        return c.unicode() <= 0x20 || c.category() == QChar::Other_Control;
    };
    QStringList ports;
    for (const QString& name : systemPorts) {
        qsizetype first = 0;
        qsizetype last = name.size();
        while (first < last && blank(name[first]))
            ++first;
        while (last > first && blank(name[last - 1]))
            --last;
        ports.append(name.mid(first, last - first));
    }
    if (ports.isEmpty()) {
        for (int i = 1; i <= 16; ++i)
            ports.append(QStringLiteral("COM%1").arg(i));
    }
    return ports;
}

namespace {

QStringList ListSystemPorts()
{
    QStringList names;
    // Only the names: the window opens no port before the user connects.
    for (const link::PortDescription& port : link::AvailablePorts(false))
        names.append(QString::fromStdString(port.name));
    return names;
}

std::mutex prefetchLock;
std::future<QStringList> prefetched;

}  // namespace

QStringList SystemPortNames()
{
    {
        const std::lock_guard<std::mutex> hold(prefetchLock);
        if (prefetched.valid())
            return prefetched.get();
    }
    return ListSystemPorts();
}

void PrefetchSystemPortNames()
{
    const std::lock_guard<std::mutex> hold(prefetchLock);
    if (!prefetched.valid())
        prefetched = std::async(std::launch::async, ListSystemPorts);
}

}  // namespace ct::app
