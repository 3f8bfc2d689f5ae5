// The settings store on its INI medium: defaults, the fixed reading order with
// its stop at a value of another kind, hand-written files (lists, names in any
// case, malformed lines, NULs), what the save routines write and how it reads
// back in a later run, files QSettings wrote, silent failure, and the
// serial-port list.
#include "app/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using ct::app::SettingsStore;
using ct::app::StoredSettings;
using ct::link::LinkSettings;

namespace {

// A fresh path per file; QSettings, used here to write files as earlier
// versions did, keeps a per-process cache of every file it has touched.
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
    QString WriteRaw(const QByteArray& text)
    {
        const QString path = Path();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        file.write(text);
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

// Every value of AllStored (after TYPE=1) read as stored but the one named.
void CompareStoredBut(const StoredSettings& s, const QByteArray& except)
{
    if (except != "FirmwareFile")
        QCOMPARE(s.firmwareFile, QStringLiteral("C:/fw/KX920-G4-new.KXB"));
    QCOMPARE(int(s.link.LinkType), 1);
    if (except != "ComBaudRate")
        QCOMPARE(s.link.ComBaudRate, std::string("19200,e,8,1"));
    if (except != "ComPortName")
        QCOMPARE(s.link.ComPortName, std::string("COM7"));
    if (except != "NetIP")
        QCOMPARE(s.link.NetIP, std::string("10.0.0.9"));
    if (except != "NetPort")
        QCOMPARE(s.link.NetPort, std::string("4001"));
    if (except != "LanguageFlag") {
        QCOMPARE(s.languageName, QStringLiteral("ChineseBIG5"));
        QCOMPARE(s.languageIndex, 2);
    }
}

QString StoredText(const StoredSettings& s, const QByteArray& name)
{
    if (name == "FirmwareFile")
        return s.firmwareFile;
    if (name == "ComBaudRate")
        return QString::fromStdString(s.link.ComBaudRate);
    if (name == "ComPortName")
        return QString::fromStdString(s.link.ComPortName);
    if (name == "NetIP")
        return QString::fromStdString(s.link.NetIP);
    if (name == "NetPort")
        return QString::fromStdString(s.link.NetPort);
    return s.languageName;
}

// Texts a user can type or a file can hold that the INI form must escape,
// quote or cut; each with what a later run reads back.
void AwkwardTexts()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QByteArray>("readBack");
    const auto row = [](const char* name, const QByteArray& typed, const QByteArray& readBack) {
        QTest::newRow(name) << typed << readBack;
    };
    row("commas", "19200,e,8,1", "19200,e,8,1");
    row("outerSpaces", " COM3 ", " COM3 ");
    row("typedForm", "@Variant(1)", "@Variant(1)");
    row("doubleAt", "@@x", "@@x");
    row("iniSyntax", "a;b=c\"d\\e [x] #y", "a;b=c\"d\\e [x] #y");
    row("controlCharacters", "\t\x01" "1\x7f\r\nTYPE=1\n[General]", "\t\x01" "1\x7f\r\nTYPE=1\n[General]");
    row("backslashAtEnd", "C:\\KX\\", "C:\\KX\\");
    row("chinese", u8"中文,繁體", u8"中文,繁體");
    row("outsideBmp", u8"\U0001F600", u8"\U0001F600");
    row("embeddedNul", QByteArray("COM3\0junk", 9), "COM3");
    row("invalidUtf8", "a\xff\xc3", "a\xef\xbf\xbd\xef\xbf\xbd");
    row("long", QByteArray(100000, 'x') + ",y", QByteArray(100000, 'x') + ",y");
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
    void load_handWrittenText_readAsItsText_data();
    void load_handWrittenText_readAsItsText();
    void load_valueNames_anyCaseLastWinsGeneralOnly();
    void load_emptyStrings_readAsEmpty();
    void load_malformedLines_everyOtherValueRead();
    void load_unreadableFile_defaults();
    void load_fileWrittenByQSettings_readTheSame_data();
    void load_fileWrittenByQSettings_readTheSame();
    void load_languageFlag_indexExactNameKept_data();
    void load_languageFlag_indexExactNameKept();

    void saveLinkSettings_netPage_typeOneAllFourWritten();
    void saveLinkSettings_typeFiveLoaded_rewrittenAsOne();
    void saveLinkSettings_awkwardTexts_readBackAsStored_data();
    void saveLinkSettings_awkwardTexts_readBackAsStored();
    void saveFirmwareFile_unpairedSurrogate_readBackUnchanged();
    void save_handWrittenFile_onlyItsOwnLinesChange();
    void save_fileWithoutGeneralSection_valuesAddedOnTop();
    void save_unreadableFile_leftAlone();
    void store_fileOverLimit_leftAloneDefaultsUsed_data();
    void store_fileOverLimit_leftAloneDefaultsUsed();
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
    // QSettings' typed forms; a list is text (load_handWrittenText_*).
    QTest::newRow("firmwareAsInvalid") << QByteArray("FirmwareFile") << QByteArray("@Invalid()");
    QTest::newRow("baudAsRect") << QByteArray("ComBaudRate") << QByteArray("@Rect(0 0 8 1)");
    QTest::newRow("portAsByteArray") << QByteArray("ComPortName") << QByteArray("@ByteArray(COM7)");
    QTest::newRow("ipAsInt") << QByteArray("NetIP") << QByteArray("@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)");
    QTest::newRow("portAsBool") << QByteArray("NetPort") << QByteArray("@Variant(\\0\\0\\0\\x1\\x1)");
    QTest::newRow("languageAsDateTime") << QByteArray("LanguageFlag") << QByteArray("\"@DateTime(\\0)\"");
}

void tst_SettingsStore::load_mistypedString_stopsThere()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, stored);
    const StoredSettings s = SettingsStore(files_.Write("TYPE=1\n" + Stored(name, stored))).Load();
    if (name == "FirmwareFile") {
        QCOMPARE(s.firmwareFile, QStringLiteral("KX920-G4.KXB"));
        CompareDefaultsFrom(s, "TYPE");
        return;
    }
    QCOMPARE(s.firmwareFile, QStringLiteral("C:/fw/KX920-G4-new.KXB"));
    QCOMPARE(int(s.link.LinkType), 1);
    CompareDefaultsFrom(s, name.constData());
}

void tst_SettingsStore::load_handWrittenText_readAsItsText_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* tag, const char* name, const QByteArray& stored, const char* expected) {
        QTest::newRow(tag) << QByteArray(name) << stored << QString::fromUtf8(expected);
    };
    row("unquotedList", "ComBaudRate", "9600,n,8,1", "9600,n,8,1");
    row("listWithSpaces", "ComBaudRate", " 9600 , n,8 ,1 ", "9600,n,8,1");
    row("partlyQuotedList", "ComBaudRate", "\"19200,e\",8,1", "19200,e,8,1");
    row("portList", "NetPort", "40,01", "40,01");
    row("languageList", "LanguageFlag", "Chinese,BIG5", "Chinese,BIG5");
    row("listOfTypedForms", "ComPortName", "@ByteArray(a),@@b", "@ByteArray(a),@b");
    row("doubleAt", "ComPortName", "@@COM7", "@COM7");
    row("notATypedForm", "ComPortName", "@COM7", "@COM7");
    row("stringForm", "ComPortName", "@String(COM7)", "COM7");
    row("variantString", "NetIP", "@Variant(\\0\\0\\0\\n\\0\\0\\0\\x4\\0\\x31\\0\\x32)", "12");
    row("windowsPath", "FirmwareFile", "D:\\KX920\\G4.KXB", "D:\\KX920\\G4.KXB");
    row("knownEscapes", "FirmwareFile", "\"a\\\\b\\\"c\\x4e2d\\x6587\"", u8"a\\b\"c中文");
    row("innerSpacesKept", "FirmwareFile", "  KX920 G4.KXB  ", "KX920 G4.KXB");
    row("quotedSpacesKept", "FirmwareFile", "\"  KX920.KXB \"", "  KX920.KXB ");
    row("openQuote", "NetIP", "\"10.0.0.9", "10.0.0.9");
    row("comment", "NetPort", "4001 ; office", "4001");
    row("quotedSemicolon", "NetPort", "\"40;01\"", "40;01");
    row("escapedNul", "NetIP", "10.0.0.9\\0junk", "10.0.0.9");
    row("rawNul", "NetIP", QByteArray("10.0.0.9\0junk", 13), "10.0.0.9");
    row("stringFormNul", "ComPortName", "@String(COM7\\0\\x31)", "COM7");
    row("invalidUtf8", "LanguageFlag", "Chinese\xff", u8"Chinese\uFFFD");
}

void tst_SettingsStore::load_handWrittenText_readAsItsText()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, stored);
    QFETCH(QString, expected);
    const StoredSettings s = SettingsStore(files_.Write("TYPE=1\n" + Stored(name, stored))).Load();
    QCOMPARE(StoredText(s, name), expected);
    CompareStoredBut(s, name);
}

void tst_SettingsStore::load_valueNames_anyCaseLastWinsGeneralOnly()
{
    const QString path = files_.WriteRaw("type=1\n"
                                         "COMBAUDRATE=9600,n,8,1\n"
                                         "[general]\n"
                                         "comPortName=COM2\n"
                                         "ComPortName=COM7\n"
                                         "  NetIP  =  10.0.0.9\n"
                                         "[Other]\n"
                                         "NetIP=10.9.9.9\n"
                                         "[General]\n"
                                         "Net%50ort=4001\n"
                                         "languageflag=ChineseGB\n"
                                         "Other\\LanguageFlag=ChineseBIG5\n");
    const StoredSettings s = SettingsStore(path).Load();
    QCOMPARE(int(s.link.LinkType), 1);
    QCOMPARE(s.link.ComBaudRate, std::string("9600,n,8,1"));
    QCOMPARE(s.link.ComPortName, std::string("COM7"));
    QCOMPARE(s.link.NetIP, std::string("10.0.0.9"));
    QCOMPARE(s.link.NetPort, std::string("4001"));
    QCOMPARE(s.languageName, QStringLiteral("ChineseGB"));
    QCOMPARE(s.languageIndex, 1);
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

void tst_SettingsStore::load_malformedLines_everyOtherValueRead()
{
    // Each of these lines once made QSettings drop the whole file.
    const StoredSettings s = SettingsStore(files_.Write("ComPortName=COM7\n"
                                                        "a stray line\n"
                                                        "[General\n"
                                                        "NetPort=4001\n"
                                                        "\"open quote\n"
                                                        "LanguageFlag=ChineseGB\n"))
                                 .Load();
    QCOMPARE(s.link.ComPortName, std::string("COM7"));
    QCOMPARE(s.link.NetPort, std::string("4001"));
    QCOMPARE(s.languageIndex, 1);
}

void tst_SettingsStore::load_unreadableFile_defaults()
{
    // A directory where the file should be cannot be read, whoever runs the test.
    const QString path = files_.Path();
    QVERIFY(QDir().mkpath(path));
    const StoredSettings s = SettingsStore(path).Load();
    QCOMPARE(s.link.ComPortName, std::string("COM1"));
    QCOMPARE(s.firmwareFile, QStringLiteral("KX920-G4.KXB"));
}

void tst_SettingsStore::load_fileWrittenByQSettings_readTheSame_data()
{
    AwkwardTexts();
}

void tst_SettingsStore::load_fileWrittenByQSettings_readTheSame()
{
    QFETCH(QByteArray, typed);
    QFETCH(QByteArray, readBack);
    const QString path = files_.Path();
    {
        // What earlier versions of the store wrote.
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("TYPE"), 1);
        settings.setValue(QStringLiteral("ComPortName"), QString::fromUtf8(typed));
        settings.setValue(QStringLiteral("LanguageFlag"), QString::fromUtf8(typed));
    }
    const StoredSettings s = SettingsStore(path).Load();
    QCOMPARE(int(s.link.LinkType), 1);
    QCOMPARE(QByteArray::fromStdString(s.link.ComPortName), readBack);
    QCOMPARE(s.languageName.toUtf8(), readBack);
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

void tst_SettingsStore::saveLinkSettings_awkwardTexts_readBackAsStored_data()
{
    AwkwardTexts();
}

void tst_SettingsStore::saveLinkSettings_awkwardTexts_readBackAsStored()
{
    QFETCH(QByteArray, typed);
    QFETCH(QByteArray, readBack);
    LinkSettings link;
    link.ComBaudRate = link.ComPortName = link.NetIP = link.NetPort = typed.toStdString();
    const QString path = files_.Path();
    SettingsStore(path).SaveLinkSettings(link);
    SettingsStore(path).SaveLanguage(QString::fromUtf8(typed));
    SettingsStore(path).SaveFirmwareFile(QString::fromUtf8(typed));

    const StoredSettings s = SettingsStore(files_.CopyOf(path)).Load();
    for (const std::string* read : {&s.link.ComBaudRate, &s.link.ComPortName, &s.link.NetIP, &s.link.NetPort})
        QCOMPARE(QByteArray::fromStdString(*read), readBack);
    QCOMPARE(s.languageName.toUtf8(), readBack);
    QCOMPARE(s.firmwareFile.toUtf8(), readBack);

    // Files stay readable by earlier versions, which read them through QSettings.
    QSettings earlier(files_.CopyOf(path), QSettings::IniFormat);
    QCOMPARE(earlier.value(QStringLiteral("TYPE")).toInt(), 0);
    QCOMPARE(earlier.value(QStringLiteral("NetIP")).toString().toUtf8(), readBack);
}

void tst_SettingsStore::saveFirmwareFile_unpairedSurrogate_readBackUnchanged()
{
    const QString name = QStringLiteral("fw") + QChar(0xD800) + QStringLiteral("1.KXB");
    const QString path = files_.Path();
    SettingsStore(path).SaveFirmwareFile(name);
    QCOMPARE(SettingsStore(files_.CopyOf(path)).Load().firmwareFile, name);
}

void tst_SettingsStore::save_handWrittenFile_onlyItsOwnLinesChange()
{
    const QByteArray before = "\xEF\xBB\xBF; pre-seeded by the technician\r\n"
                              "comportname=COM7 ; the bench port\r\n"
                              "a stray line\r\n"
                              "ComBaudRate=9600,n,8,1\r\n"
                              "\r\n"
                              "[Other]\r\n"
                              "NetIP=keep me\r\n"
                              "[General\r\n"
                              "LanguageFlag=ChineseGB\r\n"
                              "Unknown=\xff\xfe kept as it is";
    const QString path = files_.WriteRaw(before);
    SettingsStore store(path);
    LinkSettings link = store.Load().link;
    QCOMPARE(link.ComBaudRate, std::string("9600,n,8,1"));
    link.LinkType = ct::link::LinkTypeNet;
    link.NetIP = "10.1.2.3";
    store.SaveLinkSettings(link);

    const QByteArray expected = "\xEF\xBB\xBF; pre-seeded by the technician\r\n"
                                "ComPortName=COM7\r\n"
                                "a stray line\r\n"
                                "ComBaudRate=\"9600,n,8,1\"\r\n"
                                "\r\n"
                                "[Other]\r\n"
                                "NetIP=keep me\r\n"
                                "[General\r\n"
                                "LanguageFlag=ChineseGB\r\n"
                                "Unknown=\xff\xfe kept as it is\r\n"
                                "TYPE=1\r\n"
                                "NetPort=5001\r\n"
                                "NetIP=10.1.2.3\r\n";
    QCOMPARE(Files::Text(path), expected);
    const StoredSettings s = SettingsStore(files_.CopyOf(path)).Load();
    QCOMPARE(s.link.NetIP, std::string("10.1.2.3"));
    QCOMPARE(s.languageIndex, 1);

    // Saving what is stored changes nothing.
    store.SaveLinkSettings(link);
    QCOMPARE(Files::Text(path), expected);
}

void tst_SettingsStore::save_fileWithoutGeneralSection_valuesAddedOnTop()
{
    const QString path = files_.WriteRaw("; comment\n[Other]\nTYPE=5\n");
    SettingsStore(path).SaveLanguage(QStringLiteral("ChineseGB"));
    QCOMPARE(Files::Text(path), QByteArray("[General]\nLanguageFlag=ChineseGB\n; comment\n[Other]\nTYPE=5\n"));
    QCOMPARE(int(SettingsStore(path).Load().link.LinkType), 0);
}

void tst_SettingsStore::save_unreadableFile_leftAlone()
{
    const QString path = files_.Path();
    QVERIFY(QDir().mkpath(path));
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    SettingsStore store(path);
    store.SaveLinkSettings(LinkSettings());
    store.SaveLanguage(QStringLiteral("ChineseGB"));
    QVERIFY(QFileInfo(path).isDir());
    QVERIFY(QDir(path).isEmpty());
}

void tst_SettingsStore::store_fileOverLimit_leftAloneDefaultsUsed_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("read");
    QTest::addColumn<bool>("rewritten");
    const qint64 limit = ct::app::MaxSettingsFileBytes;
    QTest::newRow("at the limit, saved past it") << limit << true << false;
    QTest::newRow("below, saved within") << limit - 100 << true << true;
    QTest::newRow("one byte over") << limit + 1 << false << false;
}

void tst_SettingsStore::store_fileOverLimit_leftAloneDefaultsUsed()
{
    QFETCH(qint64, size);
    QFETCH(bool, read);
    QFETCH(bool, rewritten);
    QByteArray text = "[General]\nNetPort=4001\n;";
    text += QByteArray(size - text.size() - 1, 'x') + "\n";
    const QString path = files_.WriteRaw(text);

    QCOMPARE(SettingsStore(path).Load().link.NetPort, std::string(read ? "4001" : "5001"));
    SettingsStore(path).SaveLanguage(QStringLiteral("ChineseGB"));
    QCOMPARE(Files::Text(path) != text, rewritten);
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
