// The settings store on its INI medium: defaults, the fixed reading order with
// its stop at a mistyped value, what the save routines write and how it reads
// back in a later run, silent failure, and the serial-port list.
#include "app/SettingsStore.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using ct::app::SettingsStore;
using ct::app::StoredSettings;
using ct::link::LinkSettings;

namespace {

// QSettings keeps a per-process cache of every file it has read or written;
// a fresh path per file makes each load parse the text as a later run would.
class Files {
public:
    QString Path()
    {
        return dir_.filePath(QStringLiteral("settings%1.ini").arg(++count_));
    }
    QString Write(const QByteArray& body)
    {
        const QString path = Path();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        file.write("[General]\n" + body);
        return path;
    }
    // The file as another run will find it.
    QString CopyOf(const QString& path)
    {
        const QString copy = Path();
        QFile::copy(path, copy);
        return copy;
    }
    static QByteArray Text(const QString& path)
    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

private:
    QTemporaryDir dir_;
    int count_ = 0;
};

const QList<QPair<QByteArray, QByteArray>> StoredValues{
    {"FirmwareFile", "C:/fw/KX920-G4-new.KXB"},
    {"ComBaudRate", "\"19200,e,8,1\""},
    {"ComPortName", "COM7"},
    {"NetIP", "10.0.0.9"},
    {"NetPort", "4001"},
    {"LanguageFlag", "ChineseBIG5"},
};

// Every value but TYPE stored, one of them replaced when named.
QByteArray Stored(const QByteArray& replacedName = {}, const QByteArray& replacement = {})
{
    QByteArray body;
    for (const auto& [name, value] : StoredValues)
        body += name + "=" + (name == replacedName ? replacement : value) + "\n";
    return body;
}

const QByteArray AllStored = Stored();

void CompareDefaultsFrom(const StoredSettings& s, const char* firstDefault)
{
    const QByteArray from(firstDefault);
    const QList<QByteArray> order{"TYPE", "ComBaudRate", "ComPortName", "NetIP", "NetPort", "LanguageFlag"};
    const qsizetype first = order.indexOf(from);
    QVERIFY(first >= 0);
    if (first <= 0)
        QCOMPARE(int(s.link.LinkType), 0);
    QCOMPARE(s.link.ComBaudRate, first <= 1 ? std::string("115200,n,8,1") : std::string("19200,e,8,1"));
    QCOMPARE(s.link.ComPortName, first <= 2 ? std::string("COM1") : std::string("COM7"));
    QCOMPARE(s.link.NetIP, first <= 3 ? std::string(ct::link::DefaultNetIP) : std::string("10.0.0.9"));
    QCOMPARE(s.link.NetPort, first <= 4 ? std::string("5001") : std::string("4001"));
    QCOMPARE(s.languageName, QStringLiteral("English"));
    QCOMPARE(s.languageIndex, 0);
}

}  // namespace

class tst_SettingsStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void load_noFile_defaults();
    void load_allStored_allRead();
    void load_type_linkTypeOrStop_data();
    void load_type_linkTypeOrStop();
    void load_mistypedString_stopsThere_data();
    void load_mistypedString_stopsThere();
    void load_emptyStrings_readAsEmpty();
    void load_malformedFile_defaults();
    void load_languageFlag_indexExactNameKept_data();
    void load_languageFlag_indexExactNameKept();

    void saveLinkSettings_netPage_typeOneAllFourWritten();
    void saveLinkSettings_typeFiveLoaded_rewrittenAsOne();
    void saveLinkSettings_awkwardTexts_readBackUnchanged();
    void saveFirmwareAndLanguage_onlyTheirValueWritten();
    void save_unwritableLocation_silentNothingWritten();
    void platformStore_userIniFile_roundTrip();

    void buildPortList_systemList_trimmedInOrderOrFallback_data();
    void buildPortList_systemList_trimmedInOrderOrFallback();

private:
    Files files_;
};

void tst_SettingsStore::initTestCase()
{
    // Keeps the platform store away from the user's real settings.
    QStandardPaths::setTestModeEnabled(true);
}

void tst_SettingsStore::cleanupTestCase()
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .remove(QStringLiteral("Orvel/ControllerTools.ini"));
}

void tst_SettingsStore::load_noFile_defaults()
{
    const StoredSettings s = SettingsStore(files_.Path()).Load();
    QCOMPARE(s.firmwareFile, QStringLiteral("KX920-G4.KXB"));
    QCOMPARE(int(s.link.LinkType), 0);
    QCOMPARE(s.link.ComPortName, std::string("COM1"));
    QCOMPARE(s.link.ComBaudRate, std::string("115200,n,8,1"));
    QCOMPARE(s.link.NetIP, std::string(ct::link::DefaultNetIP));
    QCOMPARE(s.link.NetPort, std::string("5001"));
    QCOMPARE(s.languageName, QStringLiteral("English"));
    QCOMPARE(s.languageIndex, 0);
}

void tst_SettingsStore::load_allStored_allRead()
{
    const StoredSettings s = SettingsStore(files_.Write("TYPE=1\n" + AllStored)).Load();
    QCOMPARE(s.firmwareFile, QStringLiteral("C:/fw/KX920-G4-new.KXB"));
    QCOMPARE(int(s.link.LinkType), 1);
    QCOMPARE(s.link.ComBaudRate, std::string("19200,e,8,1"));
    QCOMPARE(s.link.ComPortName, std::string("COM7"));
    QCOMPARE(s.link.NetIP, std::string("10.0.0.9"));
    QCOMPARE(s.link.NetPort, std::string("4001"));
    QCOMPARE(s.languageName, QStringLiteral("ChineseBIG5"));
    QCOMPARE(s.languageIndex, 2);
}

void tst_SettingsStore::load_type_linkTypeOrStop_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<int>("linkType");  // -1: stored as a string, loading stops
    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("one") << QByteArray("1") << 1;
    QTest::newRow("five") << QByteArray("5") << 1;
    QTest::newRow("negative") << QByteArray("-1") << 1;
    QTest::newRow("largestDword") << QByteArray("4294967295") << 1;
    QTest::newRow("lowestInt") << QByteArray("-2147483648") << 1;
    QTest::newRow("intVariant") << QByteArray("@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)") << 1;
    QTest::newRow("word") << QByteArray("NET") << -1;
    QTest::newRow("empty") << QByteArray("") << -1;
    QTest::newRow("decimalPoint") << QByteArray("1.0") << -1;
    QTest::newRow("beyond32Bits") << QByteArray("4294967296") << -1;
    QTest::newRow("belowInt") << QByteArray("-2147483649") << -1;
    QTest::newRow("list") << QByteArray("1,2") << -1;
    QTest::newRow("signOnly") << QByteArray("-") << -1;
}

void tst_SettingsStore::load_type_linkTypeOrStop()
{
    QFETCH(QByteArray, type);
    QFETCH(int, linkType);
    const StoredSettings s = SettingsStore(files_.Write("TYPE=" + type + "\n" + AllStored)).Load();
    // FirmwareFile comes before TYPE: it is kept either way.
    QCOMPARE(s.firmwareFile, QStringLiteral("C:/fw/KX920-G4-new.KXB"));
    if (linkType < 0) {
        CompareDefaultsFrom(s, "TYPE");
    } else {
        QCOMPARE(int(s.link.LinkType), linkType);
        QCOMPARE(s.link.ComPortName, std::string("COM7"));
        QCOMPARE(s.languageIndex, 2);
    }
}

void tst_SettingsStore::load_mistypedString_stopsThere_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("stored");
    // An unquoted comma is a list to QSettings; "@ByteArray" and "@Variant" are
    // other kinds.
    QTest::newRow("baudAsList") << QByteArray("ComBaudRate") << QByteArray("19200,e,8,1");
    QTest::newRow("portAsByteArray") << QByteArray("ComPortName") << QByteArray("@ByteArray(COM7)");
    QTest::newRow("ipAsInt") << QByteArray("NetIP") << QByteArray("@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)");
    QTest::newRow("portAsList") << QByteArray("NetPort") << QByteArray("40,01");
    QTest::newRow("languageAsList") << QByteArray("LanguageFlag") << QByteArray("Chinese,BIG5");
}

void tst_SettingsStore::load_mistypedString_stopsThere()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, stored);
    const StoredSettings s = SettingsStore(files_.Write("TYPE=1\n" + Stored(name, stored))).Load();
    QCOMPARE(s.firmwareFile, QStringLiteral("C:/fw/KX920-G4-new.KXB"));
    QCOMPARE(int(s.link.LinkType), 1);
    CompareDefaultsFrom(s, name.constData());
}

void tst_SettingsStore::load_emptyStrings_readAsEmpty()
{
    const StoredSettings s =
        SettingsStore(files_.Write("FirmwareFile=\nComPortName=\nNetIP=\"\"\nLanguageFlag=\n")).Load();
    QCOMPARE(s.firmwareFile, QString());
    QCOMPARE(s.link.ComPortName, std::string());
    QCOMPARE(s.link.NetIP, std::string());
    QCOMPARE(s.link.ComBaudRate, std::string("115200,n,8,1"));
    QCOMPARE(s.languageName, QString());
    QCOMPARE(s.languageIndex, 0);
}

void tst_SettingsStore::load_malformedFile_defaults()
{
    const StoredSettings s = SettingsStore(files_.Write("ComPortName=COM7\n[General\nNetPort=4001\n")).Load();
    QCOMPARE(s.link.ComPortName, std::string("COM1"));
    QCOMPARE(s.link.NetPort, std::string("5001"));
}

void tst_SettingsStore::load_languageFlag_indexExactNameKept_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("index");
    QTest::newRow("english") << QByteArray("English") << 0;
    QTest::newRow("simplified") << QByteArray("ChineseGB") << 1;
    QTest::newRow("traditional") << QByteArray("ChineseBIG5") << 2;
    QTest::newRow("otherCase") << QByteArray("chinesegb") << 0;
    QTest::newRow("trailingSpace") << QByteArray("\"ChineseGB \"") << 0;
    QTest::newRow("unknown") << QByteArray("Deutsch") << 0;
}

void tst_SettingsStore::load_languageFlag_indexExactNameKept()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, index);
    const StoredSettings s = SettingsStore(files_.Write("LanguageFlag=" + stored + "\n")).Load();
    QCOMPARE(s.languageIndex, index);
    QCOMPARE(s.languageName.toUtf8(), QByteArray(stored).replace('"', QByteArray()));
}

void tst_SettingsStore::saveLinkSettings_netPage_typeOneAllFourWritten()
{
    const QString path = files_.Path();
    LinkSettings link;
    link.LinkType = ct::link::LinkTypeNet;
    link.ComPortName = "COM9";
    link.ComBaudRate = "115200,n,8,1";
    link.NetIP = "10.1.2.3";
    link.NetPort = "4001";
    SettingsStore(path).SaveLinkSettings(link);

    const QByteArray text = Files::Text(path);
    // An integer in the file, not a quoted or typed string.
    QVERIFY2(text.contains("\nTYPE=1\n"), text.constData());
    const StoredSettings s = SettingsStore(files_.CopyOf(path)).Load();
    QCOMPARE(int(s.link.LinkType), 1);
    QCOMPARE(s.link.ComPortName, std::string("COM9"));
    QCOMPARE(s.link.ComBaudRate, std::string("115200,n,8,1"));
    QCOMPARE(s.link.NetIP, std::string("10.1.2.3"));
    QCOMPARE(s.link.NetPort, std::string("4001"));
    // The link routine leaves the other values alone.
    QCOMPARE(s.firmwareFile, QStringLiteral("KX920-G4.KXB"));
    QVERIFY(!text.contains("FirmwareFile"));
    QVERIFY(!text.contains("LanguageFlag"));

    link.LinkType = ct::link::LinkTypeCom;
    SettingsStore(path).SaveLinkSettings(link);
    QVERIFY(Files::Text(path).contains("\nTYPE=0\n"));
    QCOMPARE(int(SettingsStore(files_.CopyOf(path)).Load().link.LinkType), 0);
}

void tst_SettingsStore::saveLinkSettings_typeFiveLoaded_rewrittenAsOne()
{
    const QString path = files_.Write("TYPE=5\n" + AllStored);
    SettingsStore store(path);
    LinkSettings link = store.Load().link;
    QCOMPARE(int(link.LinkType), 1);
    store.SaveLinkSettings(link);
    QVERIFY(Files::Text(path).contains("\nTYPE=1\n"));
    const StoredSettings s = SettingsStore(files_.CopyOf(path)).Load();
    QCOMPARE(s.link.ComBaudRate, std::string("19200,e,8,1"));
    QCOMPARE(s.languageName, QStringLiteral("ChineseBIG5"));
}

void tst_SettingsStore::saveLinkSettings_awkwardTexts_readBackUnchanged()
{
    // Texts QSettings must quote or escape to keep them single strings.
    LinkSettings link;
    link.ComBaudRate = "19200,e,8,1";
    link.ComPortName = " COM3 ";
    link.NetIP = "@Variant(1)";
    link.NetPort = "a;b=c\"d\\e";
    const QString path = files_.Path();
    SettingsStore(path).SaveLinkSettings(link);
    SettingsStore(path).SaveLanguage(QString::fromUtf8(u8"中文,繁體"));

    const StoredSettings s = SettingsStore(files_.CopyOf(path)).Load();
    QCOMPARE(s.link.ComBaudRate, link.ComBaudRate);
    QCOMPARE(s.link.ComPortName, link.ComPortName);
    QCOMPARE(s.link.NetIP, link.NetIP);
    QCOMPARE(s.link.NetPort, link.NetPort);
    QCOMPARE(s.languageName, QString::fromUtf8(u8"中文,繁體"));
}

void tst_SettingsStore::saveFirmwareAndLanguage_onlyTheirValueWritten()
{
    const QString path = files_.Write("TYPE=1\n" + AllStored);
    SettingsStore(path).SaveFirmwareFile(QStringLiteral("/home/tech/KX920-G4 v2.KXB"));
    SettingsStore(path).SaveLanguage(QStringLiteral("ChineseGB"));

    const StoredSettings s = SettingsStore(files_.CopyOf(path)).Load();
    QCOMPARE(s.firmwareFile, QStringLiteral("/home/tech/KX920-G4 v2.KXB"));
    QCOMPARE(s.languageName, QStringLiteral("ChineseGB"));
    QCOMPARE(s.languageIndex, 1);
    QCOMPARE(int(s.link.LinkType), 1);
    QCOMPARE(s.link.ComPortName, std::string("COM7"));
}

void tst_SettingsStore::save_unwritableLocation_silentNothingWritten()
{
    // Below a plain file no directory can be made, whoever runs the test.
    const QString blocker = files_.Write("x");
    const QString path = blocker + QStringLiteral("/settings.ini");
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));

    SettingsStore store(path);
    LinkSettings link;
    link.ComPortName = "COM9";
    store.SaveLinkSettings(link);
    store.SaveFirmwareFile(QStringLiteral("x.KXB"));
    store.SaveLanguage(QStringLiteral("ChineseGB"));

    QVERIFY(!QFile::exists(path));
    const StoredSettings s = store.Load();
    QCOMPARE(s.link.ComPortName, std::string("COM1"));
    QCOMPARE(s.firmwareFile, QStringLiteral("KX920-G4.KXB"));
    QCOMPARE(s.languageIndex, 0);
}

void tst_SettingsStore::platformStore_userIniFile_roundTrip()
{
    const QString expected = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                             + QStringLiteral("/Orvel/ControllerTools.ini");
    QFile::remove(expected);
    QCOMPARE(int(SettingsStore().Load().link.LinkType), 0);

    LinkSettings link;
    link.LinkType = ct::link::LinkTypeNet;
    link.NetIP = "10.9.8.7";
    SettingsStore().SaveLinkSettings(link);
    QVERIFY(QFile::exists(expected));
    QVERIFY(Files::Text(expected).startsWith("[General]\n"));
    const StoredSettings s = SettingsStore().Load();
    QCOMPARE(int(s.link.LinkType), 1);
    QCOMPARE(s.link.NetIP, std::string("10.9.8.7"));
}

void tst_SettingsStore::buildPortList_systemList_trimmedInOrderOrFallback_data()
{
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QStringList>("expected");
    QStringList fallback;
    for (int i = 1; i <= 16; ++i)
        fallback << QStringLiteral("COM%1").arg(i);
    QTest::newRow("trailingSpace") << QStringList{"COM3 ", "COM1"} << QStringList{"COM3", "COM1"};
    QTest::newRow("empty") << QStringList{} << fallback;
    QTest::newRow("controlCharacters") << QStringList{"\tttyS0\r\n", QStringLiteral(" \x01ttyUSB0\x7f")}
                                       << QStringList{"ttyS0", "ttyUSB0"};
    QTest::newRow("innerSpaceKept") << QStringList{" COM 4 "} << QStringList{"COM 4"};
    QTest::newRow("neitherSortedNorDeduplicated")
        << QStringList{"COM9", "COM2", "COM9", "COM10"} << QStringList{"COM9", "COM2", "COM9", "COM10"};
    // A name that trims to nothing is still a listed port: no fallback.
    QTest::newRow("blankName") << QStringList{"  "} << QStringList{""};
}

void tst_SettingsStore::buildPortList_systemList_trimmedInOrderOrFallback()
{
    QFETCH(QStringList, system);
    QFETCH(QStringList, expected);
    QCOMPARE(ct::app::BuildPortList(system), expected);
}

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_SettingsStore.moc"
