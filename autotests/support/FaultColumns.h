// The reply faults the window's fault tests put into the substitute
// controller, one data column each, and what every such case ends with.
// `ReplyFaults` are the faults on a reply; `FaultFor` turns one into the
// fault the controller applies to every reply to a command code.
// `VerifyWindowIdle` checks, with QtTest's macros, the closing message and
// the window back in the user's hands (idle, enabled, the link closed, the
// default cursor); the caller returns when QTest::currentTestFailed().
#pragma once

#include "app/Catalogue.h"
#include "app/Module.h"
#include "link/FrameCodec.h"
#include "sim/ControllerSim.h"
#include "support/WindowRig.h"

#include <QApplication>
#include <QLabel>
#include <QMetaType>
#include <QTest>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>

namespace ct::testing {

enum class Trouble {
    None,
    Silence,
    WrongCrc,
    LowerCaseCrc,
    WrongLength,
    ExtraBytes,
    NulInside,
    NoiseBefore,
    SplitBytes,
    LateReply,
    Refused,
};

struct Column {
    Trouble trouble;
    const char* name;
};

// Every fault on a reply; not "no fault", nor a controller that is not there.
constexpr std::array<Column, 9> ReplyFaults = {{
    {Trouble::Silence, "silence"},
    {Trouble::WrongCrc, "wrong CRC"},
    {Trouble::LowerCaseCrc, "lower-case CRC"},
    {Trouble::WrongLength, "wrong length"},
    {Trouble::ExtraBytes, "extra bytes before CR"},
    {Trouble::NulInside, "NUL inside"},
    {Trouble::NoiseBefore, "noise before start"},
    {Trouble::SplitBytes, "split bytes"},
    {Trouble::LateReply, "late reply"},
}};

inline sim::Fault FaultFor(Trouble trouble, const std::string& code)
{
    using namespace std::chrono_literals;
    sim::Fault f;
    f.command = code;
    f.times = -1;
    switch (trouble) {
    case Trouble::Silence: f.kind = sim::FaultKind::NoAnswer; break;
    case Trouble::WrongCrc: f.kind = sim::FaultKind::WrongCrc; break;
    case Trouble::LowerCaseCrc: f.kind = sim::FaultKind::LowerCaseCrc; break;
    case Trouble::WrongLength: f.kind = sim::FaultKind::WrongLength; f.count = 3; break;
    case Trouble::ExtraBytes: f.kind = sim::FaultKind::ExtraBytes; f.count = 3; break;
    case Trouble::NulInside: f.kind = sim::FaultKind::NulInside; break;
    // Six bytes: every kind of noise, CR, NUL and EOT among them.
    case Trouble::NoiseBefore: f.kind = sim::FaultKind::NoiseBefore; f.count = 6; break;
    // A read-back of over a thousand bytes then takes longer than the
    // 1200 ms a TCP reply has; an acknowledgement does not.
    case Trouble::SplitBytes: f.kind = sim::FaultKind::SplitBytes; f.gap = 5ms; break;
    // Past the 1200 ms a TCP reply has.
    case Trouble::LateReply: f.kind = sim::FaultKind::Delay; f.delay = 1500ms; break;
    case Trouble::None:
    case Trouble::Refused: break;
    }
    return f;
}

// Whether the CRC frame of `replyText` has hex letters in its CRC, i.e.
// whether writing them in lower case changes the frame at all.
inline bool ReplyCrcHasLetters(const std::string& replyText)
{
    const std::string frame = link::EncodeReply(link::Framing::Crc, replyText);
    const std::string crc = frame.substr(frame.size() - 5, 4);
    return std::any_of(crc.begin(), crc.end(), [](char c) { return c >= 'A' && c <= 'F'; });
}

inline const char* MessageName(int entry)
{
    namespace txt = app::txt;
    return entry == txt::CommandOk ? "ok" : entry == txt::CommandError ? "command error" : "connect error";
}

// A failed case must not leave its hourglass to the next.
inline void DropOverrideCursors()
{
    while (QApplication::overrideCursor() != nullptr)
        QApplication::restoreOverrideCursor();
}

// The closing message `message`, and the window idle, enabled, with the
// link closed and the default cursor.
inline void VerifyWindowIdle(const WindowRig& rig, const app::TfrmModule& w, int message)
{
    QCOMPARE(w.pnMsg->text(), rig.Text(message));
    QVERIFY(!w.Busy());
    QVERIFY(w.WindowEnabled());
    QVERIFY(!w.LinkOpen());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

}  // namespace ct::testing

Q_DECLARE_METATYPE(ct::testing::Trouble)
