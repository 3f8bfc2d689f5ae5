#include "app/Catalogue.h"

namespace ct::app {

namespace {

struct Entry {
    const char* columns[3];  // English, Simplified Chinese, Traditional Chinese; UTF-8
};

// Entry 8 is not a translation: its columns are the three language menu
// captions, each in its own language, shown together whatever the language.
constexpr Entry Entries[] = {
    /*  1 */ {u8"KX410/420/450-G7 Tools V0520", u8"KX410/420/450-G7 工具程式 V0520", u8"KX410/420/450-G7 工具程式 V0520"},
    /*  2 */ {u8"Start connect device", u8"连线装置", u8"連線裝置"},
    /*  3 */ {u8"&Language", u8"语言(&Language)", u8"語言(&Language)"},
    /*  4 */ {u8"&File", u8"档案(&F)", u8"檔案(&F)"},
    /*  5 */ {u8"About", u8"关于", u8"關於"},
    /*  6 */ {u8"&About", u8"关于(&A)", u8"關於(&A)"},
    /*  7 */ {u8"E&xit", u8"离开(&x)", u8"離開(&x)"},
    /*  8 */ {u8"&English", u8"&Simplified chinese(简体)", u8"&Traditional chinese(繁體)"},
    /*  9 */ {u8"COM", u8"串列", u8"串列"},
    /* 10 */ {u8"NET", u8"网路", u8"網路"},
    /* 11 */ {u8"Speed:", u8"速率:", u8"速率:"},
    /* 12 */ {u8"Port:", u8"连接阜:", u8"連接阜:"},
    /* 13 */ {u8"&Firmware file", u8"韧体档案(&F)", u8"韌體檔案(&F)"},
    /* 14 */ {u8"Connecting device ...", u8"连线装置中 ...", u8"連線裝置中 ..."},
    /* 15 */ {u8"Connect device error!", u8"连线装置错误!", u8"連線裝置錯誤!"},
    /* 16 */ {u8"Command ok.", u8"指令完成.", u8"指令完成."},
    /* 17 */ {u8"Command error!", u8"指令错误!", u8"指令錯誤!"},
    /* 18 */ {u8"Basic test", u8"基本测试", u8"基本測試"},
    /* 19 */ {u8"Function test", u8"功能测试", u8"功能測試"},
    /* 20 */ {u8"Command test", u8"指令测试", u8"指令測試"},
    /* 21 */ {u8"Firmware upgrade", u8"韧体更新", u8"韌體更新"},
    /* 22 */ {u8"Model Name", u8"机型名称", u8"機型名稱"},
    /* 23 */ {u8"Set Model Name", u8"设定机型名称", u8"設定機型名稱"},
    /* 24 */ {u8"User Model Name:", u8"自订机型名称:", u8"自訂機型名稱:"},
    /* 25 */ {u8"Change Version", u8"自订版号", u8"自訂版號"},
    /* 26 */ {u8"Cancel test", u8"取消测试", u8"取消測試"},
    /* 27 */ {u8"DIDO test", u8"接点测试", u8"接點測試"},
    /* 28 */ {u8"Pooling data test", u8"读取资料测试", u8"讀取資料測試"},
    /* 29 */ {u8"Set factory", u8"设定出厂值", u8"設定出廠值"},
    /* 30 */ {u8"Set reboot", u8"设定重新开机", u8"設定重新開機"},
    /* 31 */ {u8"Set date and time", u8"设定日期时间", u8"設定日期時間"},
    /* 32 */ {u8"Alarm test", u8"警报测试", u8"警報測試"},
    /* 33 */ {u8"Set baudrate 115200,n,8,1", u8"设定速率 115200,n,8,1", u8"設定速率 115200,n,8,1"},
    /* 34 */ {u8"Set baudrate 19200,e,8,1", u8"设定速率 19200,e,8,1", u8"設定速率 19200,e,8,1"},
    /* 35 */ {u8"Controller command test", u8"控制器指令测试", u8"控制器指令測試"},
    /* 36 */ {u8"Module command test", u8"模组指令测试", u8"模組指令測試"},
    /* 37 */ {u8"Command test", u8"指令测试", u8"指令測試"},
    /* 38 */ {u8"Send command:", u8"发送指令:", u8"發送指令:"},
    /* 39 */ {u8"Receive data:", u8"接收资料:", u8"接收資料:"},
    /* 40 */ {u8"Type:", u8"机型:", u8"機型:"},
    /* 41 */ {u8"Controller", u8"控制器", u8"控制器"},
    /* 42 */ {u8"Set Controller", u8"设定控制器", u8"設定控制器"},
    /* 43 */ {u8"Get S/N or ID", u8"取回 S/N 或 ID", u8"取回 S/N 或 ID"},
    /* 44 */ {u8"Set ID by S/N", u8"设定 ID 使用 S/N", u8"設定 ID 使用 S/N"},
    /* 45 */ {u8"Set ID:", u8"设定 ID:", u8"設定 ID:"},
    /* 46 */ {u8"G6 Module", u8"G6装置", u8"G6裝置"},
    /* 47 */ {u8"Set Reader/DIDO", u8"设定读卡机DIDO", u8"設定讀卡機DIDO"},
    /* 48 */ {u8"Set Card Type by ID", u8"设定卡片类别使用ID", u8"設定卡片類別使用ID"},
    /* 49 */ {u8"Set Card Type", u8"设定卡片类别", u8"設定卡片類別"},
    /* 50 */ {u8"Get Card Type", u8"取回卡片类别", u8"取回卡片類別"},
    /* 51 */ {u8"G4 Module", u8"G4装置", u8"G4裝置"},
    /* 52 */ {u8"Receive Data:", u8"接收资料:", u8"接收資料:"},
    /* 53 */ {u8"Firmware load", u8"韧体载入", u8"韌體載入"},
    /* 54 */ {u8"Programming ...", u8"烧录载入中 ...", u8"燒錄載入中 ..."},
    /* 55 */ {u8"Verifying ...", u8"检查中 ...", u8"檢查中 ..."},
    /* 56 */ {u8"Upgrading ...", u8"更新中 ...", u8"更新中 ..."},
    /* 57 */ {u8"Load firmware file error!", u8"载入韧体档案错误!", u8"載入韌體檔案錯誤!"},
    /* 58 */ {u8"Firmware file format model error!", u8"韧体档案格式机型错误!", u8"韌體檔案格式機型錯誤!"},
    /* 59 */ {u8"Note !", u8"注意!", u8"注意!"},
    /* 60 */ {u8"Upgrading the firmware of the Product will lost some data on the Product. To ensure data security, it is recommended that you back up your data before update.", u8"注意：更新产品韧体会影响产品上的部分资料，为确保资料安全，建议您在更新韧体前先备份您的资料。", u8"注意：更新產品韌體會影響產品上的部分資料，為確保資料安全，建議您在更新韌體前先備份您的資料。"},
    /* 61 */ {u8"This tool support: KX920-G4 serial controller .", u8"本软体支援: KX920-G4 系列控制器。", u8"本軟體支援: KX920-G4 系列控制器。"},
    /* 62 */ {u8"Command too long! At most %1 characters.", u8"指令太长! 最多 %1 个字元.", u8"指令太長! 最多 %1 個字元."},
    // The Tools menu.
    {u8"&Tools", u8"工具(&T)", u8"工具(&T)"},
    // Find controller.
    {u8"Find controller", u8"寻找控制器", u8"尋找控制器"},
    // The frame monitor.
    {u8"Frame monitor", u8"帧监视器", u8"訊框監視器"},
    {u8"Time (ms)", u8"时间 (毫秒)", u8"時間 (毫秒)"},
    {u8"Direction", u8"方向", u8"方向"},
    {u8"Text", u8"文字", u8"文字"},
    {u8"Hex", u8"十六进位", u8"十六進位"},
    {u8"Check", u8"检查", u8"檢查"},
    {u8"Sent", u8"发送", u8"發送"},
    {u8"Received", u8"接收", u8"接收"},
    {u8"Link", u8"连线", u8"連線"},
    {u8"good", u8"正确", u8"正確"},
    {u8"bad check", u8"检查码错误", u8"檢查碼錯誤"},
    {u8"time-out", u8"逾时", u8"逾時"},
    {u8"resynchronised", u8"重新同步", u8"重新同步"},
    {u8"opened %1", u8"开启 %1", u8"開啟 %1"},
    {u8"cannot open %1", u8"无法开启 %1", u8"無法開啟 %1"},
    {u8"closed", u8"关闭", u8"關閉"},
    {u8"Pause", u8"暂停", u8"暫停"},
    {u8"Resume", u8"继续", u8"繼續"},
    {u8"Clear", u8"清除", u8"清除"},
    {u8"Copy", u8"复制", u8"複製"},
    {u8"Save as…", u8"另存新档…", u8"另存新檔…"},
    {u8"Cannot write the file!", u8"无法写入档案!", u8"無法寫入檔案!"},
};

static_assert(sizeof Entries / sizeof Entries[0] == Catalogue::EntryCount, "entry numbers and table out of step");

const LanguageFont& FontOf(int language)
{
    static const LanguageFont fonts[3] = {
        {QStringLiteral("MS Sans Serif"), 0, 10, 0, 0x00000000},
        {QString::fromUtf8(u8"宋体"), 134, 12, 0, 0x00000000},
        {QString::fromUtf8(u8"細明體"), 136, 12, 0, 0x00000000},
    };
    return fonts[language];
}

bool ValidLanguage(int language)
{
    return language >= LangEnglish && language <= LangTraditional;
}

}  // namespace

Catalogue::Catalogue() = default;

QString Catalogue::text(int entry, int language) const
{
    if (entry < 1 || entry > EntryCount || !ValidLanguage(language))
        return QString();
    return QString::fromUtf8(Entries[entry - 1].columns[language]);
}

const LanguageFont& Catalogue::font(int language) const
{
    // Any index other than the two Chinese ones means English, as with the
    // stored language name.
    return FontOf(ValidLanguage(language) ? language : LangEnglish);
}

}  // namespace ct::app
