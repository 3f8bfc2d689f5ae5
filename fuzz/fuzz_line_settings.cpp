// Feeds arbitrary bytes to the serial settings parser as a settings string:
// nothing may crash or overrun, whatever the length, NULs or invalid UTF-8,
// and what it accepts must hold together: every member within its range, a
// refused string leaves the result alone, the canonical form of a result
// parses back to it, and applying it to a termios changes only what it names.
#include "link/LineSettings.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace ct::link;

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckRanges(const LineSettings& s)
{
    Require(!s.NamesNothing());
    if (s.baudRate)
        Require(*s.baudRate >= 1 && *s.baudRate <= 999999999u);
    if (s.parity)
        Require(std::strchr("neoms", *s.parity) != nullptr && *s.parity != '\0');
    if (s.dataBits)
        Require(*s.dataBits >= 5 && *s.dataBits <= 8);
    if (s.stopBits)
        Require(*s.stopBits == 1 || *s.stopBits == 2 || *s.stopBits == 15);
}

#ifndef _WIN32
void CheckTermios(const LineSettings& s, const std::uint8_t* data, std::size_t size)
{
    // A termios of arbitrary bits, taken from the input itself.
    termios found{};
    std::memcpy(&found, data, std::min(size, sizeof found));
    termios t = found;
    ApplyLineSettings(s, t);
    const bool speedSet = s.baudRate && TermiosSpeed(*s.baudRate);
    // glibc's cfsetispeed keeps a private "input speed 0" flag in c_iflag's
    // top bit.
    const tcflag_t privateInputFlag = speedSet ? 020000000000 : 0;
    Require((t.c_iflag & ~privateInputFlag) == (found.c_iflag & ~privateInputFlag));
    Require(t.c_oflag == found.c_oflag && t.c_lflag == found.c_lflag);
    tcflag_t changeable = 0;
    if (speedSet)
        changeable |= CBAUD | CIBAUD;
    if (s.parity)
        changeable |= PARENB | PARODD | CMSPAR;
    if (s.dataBits)
        changeable |= CSIZE;
    if (s.stopBits)
        changeable |= CSTOPB;
    Require((t.c_cflag & ~changeable) == (found.c_cflag & ~changeable));
    if (speedSet)
        Require(::cfgetospeed(&t) == *TermiosSpeed(*s.baudRate));
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    LineSettings sentinel;
    sentinel.baudRate = 4321;
    LineSettings s = sentinel;
    if (!ParseLineSettings(text, s)) {
        Require(s == sentinel);
        return 0;
    }
    CheckRanges(s);
    // Deterministic, and blind to blanks around the whole string.
    LineSettings again;
    Require(ParseLineSettings(" " + text + "\t", again) && again == s);
    // The canonical form reads back to the same members.
    const std::string canonical = FormatLineSettings(s);
    LineSettings back;
    Require(ParseLineSettings(canonical, back) && back == s);
    Require(FormatLineSettings(back) == canonical);
#ifndef _WIN32
    CheckTermios(s, data, size);
#endif
    return 0;
}
