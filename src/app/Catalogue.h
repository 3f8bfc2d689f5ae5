// The three-language text catalogue: 61 fixed entries and the tool's own, English, Simplified
// Chinese and Traditional Chinese, and the font that goes with each language.
// Built once at start-up, never changed.
#pragma once

#include <QString>

namespace ct::app {

enum Language : int { LangEnglish = 0, LangSimplified = 1, LangTraditional = 2 };

struct LanguageFont {
    QString family;     // as the language names it ("MS Sans Serif", "宋体", "細明體")
    int charset = 0;    // 0 ANSI, 134 GB2312, 136 Big5
    int pointSize = 10;
    int style = 0;      // bit mask: 1 bold, 2 italic, 4 underline, 8 strike-out; above 15 leaves the style
    unsigned colour = 0x00000000;
};

// Entry numbers, 1-based as in the catalogue's fixed order.
namespace txt {
enum Entry : int {
    Title = 1, StartConnect, MenuLanguage, MenuFile, About, MenuAbout, MenuExit, MenuLanguages,
    Com, Net, Speed, Port, MenuFirmwareFile, Connecting, ConnectError, CommandOk, CommandError,
    BasicTest, FunctionTest, CommandTestTab, FirmwareUpgrade, ModelName, SetModelName,
    UserModelName, ChangeVersion, CancelTest, DidoTest, PoolingTest, SetFactory, SetReboot,
    SetDateTime, AlarmTest, SetBaud115200, SetBaud19200, ControllerCommandTest,
    ModuleCommandTest, CommandTest, SendCommand, ReceiveData, Type, Controller, SetController,
    GetSnOrId, SetIdBySn, SetId, G6Module, SetReaderDido, SetCardTypeById, SetCardType,
    GetCardType, G4Module, ReceiveDataG, FirmwareLoad, Programming, Verifying, Upgrading,
    LoadFirmwareError, FirmwareModelError, Note, FirmwareNote, AboutText,
    // The tool's own, beyond the fixed order.
    CommandTooLong,
    // The Tools menu.
    MenuTools,
    // Find controller.
    FindController,
    // The frame monitor.
    FrameMonitor, MonitorTime, MonitorDirection, MonitorText, MonitorHex, MonitorCheck, MonitorSent,
    MonitorReceived, MonitorLink, MonitorGood, MonitorBadCheck, MonitorTimeOut, MonitorResynchronised,
    MonitorOpened, MonitorCannotOpen, MonitorClosed, MonitorPause, MonitorResume, MonitorClear,
    MonitorCopy, MonitorSaveAs, MonitorCannotWrite,
    LastEntry = MonitorCannotWrite,
};
}  // namespace txt

class Catalogue {
public:
    static constexpr int EntryCount = txt::LastEntry;
    Catalogue();
    // The entry (1..EntryCount) in the given language (0..2); empty for anything else.
    QString text(int entry, int language) const;
    const LanguageFont& font(int language) const;
};

}  // namespace ct::app
