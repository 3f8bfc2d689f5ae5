#include "app/SettingsStore.h"

#include <QSerialPortInfo>
#include <QSettings>
#include <QVariant>

#include <cstdint>

namespace ct::app {

namespace {

// Kinds of stored values. The registry keeps a type with every value; an INI
// file keeps only text, so there the kinds are read from QSettings' own
// encoding of it:
// - a string value is one that reads back as a single string. Text with an
//   unquoted comma reads back as a list and "@Variant(...)"/"@ByteArray(...)"
//   as other kinds; those count as stored with a non-string type. QSettings
//   quotes the strings it writes, so "115200,n,8,1" written by us reads back
//   as one string.
// - TYPE is a 32-bit integer when it reads back as an integer variant (a
//   REG_DWORD, or "@Variant" integer) or, in an INI file only, when its text is
//   a decimal integer such as the "1" QSettings writes for an int. Any other
//   text is a TYPE stored as a string.
bool ReadString(const QVariant& value, QString& out)
{
    if (value.typeId() != QMetaType::QString)
        return false;
    out = value.toString();
    return true;
}

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
        // A REG_DWORD holds -2^31..2^32-1 depending on how it is read; stop
        // before the accumulator could overflow.
        if (value > 0xFFFFFFFFLL)
            return false;
    }
    out = negative ? -value : value;
    return out >= INT32_MIN;
}

bool ReadInt32(const QVariant& value, bool textIsInteger, std::int64_t& out)
{
    switch (value.typeId()) {
    case QMetaType::Int:
        out = value.toInt();
        return true;
    case QMetaType::UInt:
        out = value.toUInt();
        return true;
    case QMetaType::QString:
        return textIsInteger && ParseDecimalDword(value.toString(), out);
    default:
        return false;
    }
}

int LanguageIndexOf(const QString& name)
{
    if (name == QLatin1String("ChineseGB"))
        return 1;
    if (name == QLatin1String("ChineseBIG5"))
        return 2;
    return 0;
}

// One string value: a missing value takes its default; a mistyped one leaves
// the target as it was and answers false, which stops the loading.
class Reader {
public:
    explicit Reader(const QSettings& settings) : settings_(settings) {}

    bool String(const char* name, QString& target, const QString& fallback)
    {
        if (!settings_.contains(QLatin1String(name))) {
            target = fallback;
            return true;
        }
        return ReadString(settings_.value(QLatin1String(name)), target);
    }

    bool String(const char* name, std::string& target, const char* fallback)
    {
        QString text;
        if (!String(name, text, QString::fromUtf8(fallback)))
            return false;
        target = text.toStdString();
        return true;
    }

private:
    const QSettings& settings_;
};

}  // namespace

SettingsStore::SettingsStore() = default;

SettingsStore::SettingsStore(const QString& iniPath) : iniPath_(iniPath) {}

SettingsStore::~SettingsStore() = default;

std::unique_ptr<QSettings> SettingsStore::Open() const
{
    std::unique_ptr<QSettings> settings;
    if (!iniPath_.isEmpty()) {
        settings = std::make_unique<QSettings>(iniPath_, QSettings::IniFormat);
    } else {
#ifdef Q_OS_WIN
        settings = std::make_unique<QSettings>(
            QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Orvel\\ControllerTools"),
            QSettings::NativeFormat);
#else
        settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                               QStringLiteral("Orvel"),
                                               QStringLiteral("ControllerTools"));
#endif
    }
    // One key only: no per-organisation or system-wide file stands in for a
    // value this key lacks.
    settings->setFallbacksEnabled(false);
    return settings;
}

StoredSettings SettingsStore::Load() const
{
    StoredSettings loaded;
    const std::unique_ptr<QSettings> settings = Open();
    // An unreadable or malformed file is a key that cannot be opened.
    if (settings->status() != QSettings::NoError)
        return loaded;

    Reader reader(*settings);
    // A value is committed only once it has been read as its kind, so a
    // mistyped value leaves it and everything after it at the defaults.
    if (!reader.String("FirmwareFile", loaded.firmwareFile, QString::fromUtf8(DefaultFirmwareFile)))
        return loaded;
    std::int64_t type = 0;
    if (settings->contains(QStringLiteral("TYPE"))
        && !ReadInt32(settings->value(QStringLiteral("TYPE")),
                      settings->format() == QSettings::IniFormat, type))
        return loaded;
    loaded.link.LinkType = type == 0 ? link::LinkTypeCom : link::LinkTypeNet;
    if (!reader.String("ComBaudRate", loaded.link.ComBaudRate, link::DefaultComBaudRate)
        || !reader.String("ComPortName", loaded.link.ComPortName, link::DefaultComPortName)
        || !reader.String("NetIP", loaded.link.NetIP, link::DefaultNetIP)
        || !reader.String("NetPort", loaded.link.NetPort, link::DefaultNetPort)
        || !reader.String("LanguageFlag", loaded.languageName, QStringLiteral("English")))
        return loaded;
    loaded.languageIndex = LanguageIndexOf(loaded.languageName);
    return loaded;
}

void SettingsStore::SaveLinkSettings(const link::LinkSettings& settings)
{
    const std::unique_ptr<QSettings> store = Open();
    store->setValue(QStringLiteral("TYPE"), settings.LinkType == link::LinkTypeCom ? 0 : 1);
    store->setValue(QStringLiteral("NetPort"), QString::fromStdString(settings.NetPort));
    store->setValue(QStringLiteral("NetIP"), QString::fromStdString(settings.NetIP));
    store->setValue(QStringLiteral("ComBaudRate"), QString::fromStdString(settings.ComBaudRate));
    store->setValue(QStringLiteral("ComPortName"), QString::fromStdString(settings.ComPortName));
    store->sync();
}

void SettingsStore::SaveFirmwareFile(const QString& fileName)
{
    const std::unique_ptr<QSettings> store = Open();
    store->setValue(QStringLiteral("FirmwareFile"), fileName);
    store->sync();
}

void SettingsStore::SaveLanguage(const QString& languageName)
{
    const std::unique_ptr<QSettings> store = Open();
    store->setValue(QStringLiteral("LanguageFlag"), languageName);
    store->sync();
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

QStringList SystemPortNames()
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& port : ports)
        names.append(port.portName());
    return names;
}

}  // namespace ct::app
