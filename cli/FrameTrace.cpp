#include "FrameTrace.h"

#include "Output.h"

#include "link/FrameCodec.h"

#include <cstdio>

#include <unistd.h>

namespace ct::cli {

void FrameTrace::Note(char mark, const std::string& text)
{
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start_).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.3f %c ", ms, mark);
    // One write a line: the trace stays readable beside the other output.
    WriteAll(STDERR_FILENO, stamp + text + "\n");
}

void FrameTrace::LinkOpened(const link::LinkSettings& settings, bool opened)
{
    const std::string where = settings.LinkType == link::LinkTypeCom
                                  ? "serial port " + settings.ComPortName + " at " + settings.ComBaudRate
                                  : "TCP " + settings.NetIP + ":" + settings.NetPort;
    if (opened)
        Note('-', "open " + link::EscapeBytes(where));
    else
        Note('!', "cannot open " + link::EscapeBytes(where));
}

void FrameTrace::LinkClosed()
{
    Note('-', "close");
}

void FrameTrace::FrameSent(std::string_view frame)
{
    Note('>', link::EscapeBytes(frame));
}

void FrameTrace::FrameReceived(std::string_view skipped, std::string_view frame, bool checkPassed)
{
    if (!skipped.empty())
        Note('-', "skipped " + std::to_string(skipped.size()) + " bytes before the frame: " + link::EscapeBytes(skipped));
    Note('<', link::EscapeBytes(frame));
    if (!checkPassed)
        Note('!', "check failed: the reply's check characters do not match its bytes");
}

void FrameTrace::TimedOut(std::uint32_t limitMs, bool countsSilence, std::string_view received)
{
    std::string text = "time-out: " + std::to_string(limitMs)
                       + (countsSilence ? " ms without a byte" : " ms since the request");
    if (received.empty())
        text += ", nothing received";
    else
        text += ", " + std::to_string(received.size()) + " bytes without a whole frame: " + link::EscapeBytes(received);
    Note('!', text);
}

}  // namespace ct::cli
