// The three-language catalogue: its size, exact texts at spots across the
// table in every language, the entry names, and the language fonts.
#include "app/Catalogue.h"

#include <QtTest>

using ct::app::Catalogue;
namespace txt = ct::app::txt;

class tst_Catalogue : public QObject {
    Q_OBJECT

private slots:
    void text_everyEntryInEveryLanguage_nonEmpty();
    void text_outsideTable_empty_data();
    void text_outsideTable_empty();
    void text_spotChecks_exact_data();
    void text_spotChecks_exact();
    void text_sameEnglishTwice_sameInEveryLanguage();
    void font_perLanguage_nameCharsetSize_data();
    void font_perLanguage_nameCharsetSize();
    void font_unknownLanguage_english();
};

void tst_Catalogue::text_everyEntryInEveryLanguage_nonEmpty()
{
    const Catalogue catalogue;
    QCOMPARE(Catalogue::EntryCount, 61);
    for (int entry = 1; entry <= Catalogue::EntryCount; ++entry) {
        for (int language = 0; language < 3; ++language)
            QVERIFY2(!catalogue.text(entry, language).isEmpty(),
                     qPrintable(QStringLiteral("entry %1 language %2").arg(entry).arg(language)));
    }
}

void tst_Catalogue::text_outsideTable_empty_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("language");
    QTest::newRow("entry0") << 0 << 0;
    QTest::newRow("entry62") << 62 << 0;
    QTest::newRow("negativeEntry") << -1 << 1;
    QTest::newRow("language3") << 1 << 3;
    QTest::newRow("negativeLanguage") << 1 << -1;
}

void tst_Catalogue::text_outsideTable_empty()
{
    QFETCH(int, entry);
    QFETCH(int, language);
    QVERIFY(Catalogue().text(entry, language).isEmpty());
}

void tst_Catalogue::text_spotChecks_exact_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("simplified");
    QTest::addColumn<QString>("traditional");
    const auto row = [](const char* name, int entry, const char* en, const char* gb, const char* big5) {
        QTest::newRow(name) << entry << QString::fromUtf8(en) << QString::fromUtf8(gb)
                            << QString::fromUtf8(big5);
    };
    row("title", txt::Title, "KX410/420/450-G7 Tools V0520", u8"KX410/420/450-G7 工具程式 V0520",
        u8"KX410/420/450-G7 工具程式 V0520");
    row("startConnect", txt::StartConnect, "Start connect device", u8"连线装置", u8"連線裝置");
    row("menuLanguage", txt::MenuLanguage, "&Language", u8"语言(&Language)", u8"語言(&Language)");
    row("about", txt::About, "About", u8"关于", u8"關於");
    // Not a translation: the three menu captions, each in its own language.
    row("languageMenuItems", txt::MenuLanguages, "&English", u8"&Simplified chinese(简体)",
        u8"&Traditional chinese(繁體)");
    row("port", txt::Port, "Port:", u8"连接阜:", u8"連接阜:");
    row("connecting", txt::Connecting, "Connecting device ...", u8"连线装置中 ...", u8"連線裝置中 ...");
    row("connectError", txt::ConnectError, "Connect device error!", u8"连线装置错误!", u8"連線裝置錯誤!");
    row("commandOk", txt::CommandOk, "Command ok.", u8"指令完成.", u8"指令完成.");
    row("commandError", txt::CommandError, "Command error!", u8"指令错误!", u8"指令錯誤!");
    row("cancelTest", txt::CancelTest, "Cancel test", u8"取消测试", u8"取消測試");
    row("poolingTest", txt::PoolingTest, "Pooling data test", u8"读取资料测试", u8"讀取資料測試");
    row("setBaud19200", txt::SetBaud19200, "Set baudrate 19200,e,8,1", u8"设定速率 19200,e,8,1",
        u8"設定速率 19200,e,8,1");
    row("getSnOrId", txt::GetSnOrId, "Get S/N or ID", u8"取回 S/N 或 ID", u8"取回 S/N 或 ID");
    row("setCardTypeById", txt::SetCardTypeById, "Set Card Type by ID", u8"设定卡片类别使用ID",
        u8"設定卡片類別使用ID");
    row("receiveDataCapital", txt::ReceiveDataG, "Receive Data:", u8"接收资料:", u8"接收資料:");
    row("firmwareModelError", txt::FirmwareModelError, "Firmware file format model error!",
        u8"韧体档案格式机型错误!", u8"韌體檔案格式機型錯誤!");
    row("note", txt::Note, "Note !", u8"注意!", u8"注意!");
    row("firmwareNote", txt::FirmwareNote,
        "Upgrading the firmware of the Product will lost some data on the Product. To ensure data "
        "security, it is recommended that you back up your data before update.",
        u8"注意：更新产品韧体会影响产品上的部分资料，为确保资料安全，建议您在更新韧体前先备份您的资料。",
        u8"注意：更新產品韌體會影響產品上的部分資料，為確保資料安全，建議您在更新韌體前先備份您的資料。");
    row("aboutText", txt::AboutText, "This tool support: KX920-G4 serial controller .",
        u8"本软体支援: KX920-G4 系列控制器。", u8"本軟體支援: KX920-G4 系列控制器。");
}

void tst_Catalogue::text_spotChecks_exact()
{
    QFETCH(int, entry);
    QFETCH(QString, english);
    QFETCH(QString, simplified);
    QFETCH(QString, traditional);
    const Catalogue catalogue;
    QCOMPARE(catalogue.text(entry, ct::app::LangEnglish), english);
    QCOMPARE(catalogue.text(entry, ct::app::LangSimplified), simplified);
    QCOMPARE(catalogue.text(entry, ct::app::LangTraditional), traditional);
}

void tst_Catalogue::text_sameEnglishTwice_sameInEveryLanguage()
{
    const Catalogue catalogue;
    for (int language = 0; language < 3; ++language)
        QCOMPARE(catalogue.text(txt::CommandTestTab, language), catalogue.text(txt::CommandTest, language));
}

void tst_Catalogue::font_perLanguage_nameCharsetSize_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("charset");
    QTest::addColumn<int>("pointSize");
    QTest::newRow("english") << int(ct::app::LangEnglish) << QStringLiteral("MS Sans Serif") << 0 << 10;
    QTest::newRow("simplified") << int(ct::app::LangSimplified) << QString::fromUtf8(u8"宋体") << 134 << 12;
    QTest::newRow("traditional") << int(ct::app::LangTraditional) << QString::fromUtf8(u8"細明體") << 136
                                 << 12;
}

void tst_Catalogue::font_perLanguage_nameCharsetSize()
{
    QFETCH(int, language);
    QFETCH(QString, family);
    QFETCH(int, charset);
    QFETCH(int, pointSize);
    const ct::app::LanguageFont& font = Catalogue().font(language);
    QCOMPARE(font.family, family);
    QCOMPARE(font.charset, charset);
    QCOMPARE(font.pointSize, pointSize);
    QCOMPARE(font.style, 0);
    QCOMPARE(font.colour, 0x00000000u);
}

void tst_Catalogue::font_unknownLanguage_english()
{
    QCOMPARE(Catalogue().font(3).family, QStringLiteral("MS Sans Serif"));
    QCOMPARE(Catalogue().font(-1).pointSize, 10);
}

QTEST_GUILESS_MAIN(tst_Catalogue)
#include "tst_Catalogue.moc"
