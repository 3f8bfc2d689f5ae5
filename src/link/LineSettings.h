// The serial settings string ("115200,n,8,1") and what it changes on a port.
//
// The string is read the way Windows' BuildCommDCB reads it into the port's
// current settings: the members it names change, the others
// keep the values the port had, and a string that cannot be read changes
// nothing. Accepted (fields trimmed of blanks, letters in either case):
//
//   rate[,parity[,data[,stop]]]     "19200", "19200,e", "19200,e,8", "19200,e,8,1"
//   baud=R parity=P data=D stop=S   any of the four, any order, each once,
//                                   separated by blanks ("baud=9600 parity=n")
//
// Blanks are spaces, tabs, CR, LF, VT and FF. rate / R: 1 to 9 decimal digits, not 0; in the comma form the mode
// command's two-digit abbreviations stand for their rates (11 = 110, 30 = 300,
// 60 = 600, 12 = 1200, 24 = 2400, 48 = 4800, 96 = 9600, 19 = 19200).
// parity: n, e, o, m (mark) or s (space). data: 5 to 8. stop: 1, 1.5 or 2.
// Not accepted, so the port keeps all its settings: a fifth field (the mode
// command's retry letter), empty fields ("19200,,8,1"), a device prefix
// ("COM1:"), other keys of the key form (xon=, dtr=, ...), anything else.
// Flow control is never named, so it always stays as the port has it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#ifndef _WIN32
#include <termios.h>
#endif

namespace ct::link {

struct LineSettings {
    std::optional<std::uint32_t> baudRate;  // 1 .. 999999999
    std::optional<char> parity;             // 'n', 'e', 'o', 'm', 's'
    std::optional<int> dataBits;            // 5 .. 8
    std::optional<int> stopBits;            // 1, 2, or 15 for "1.5"

    bool NamesNothing() const { return !baudRate && !parity && !dataBits && !stopBits; }
    friend bool operator==(const LineSettings& a, const LineSettings& b)
    {
        return a.baudRate == b.baudRate && a.parity == b.parity && a.dataBits == b.dataBits
               && a.stopBits == b.stopBits;
    }
};

// False, with `out` untouched, when the text is not a settings string as
// above; true and every member the text names set (the others empty)
// otherwise. Accepts any bytes (NULs, invalid UTF-8) and any length.
bool ParseLineSettings(const std::string& text, LineSettings& out);

// A settings string that parses back to the same members: the comma form
// when the members named are a leading run (rate, then parity, ...), the key
// form otherwise; empty when nothing is named. Rates are written in full, so
// a rate of 96 comes out in the key form ("baud=96").
std::string FormatLineSettings(const LineSettings& s);

#ifndef _WIN32
// The termios speed constant of a rate, if there is one.
std::optional<speed_t> TermiosSpeed(std::uint32_t rate);
// Changes the members the settings name and nothing else. A rate without a
// termios speed constant leaves the speed as it is (the device would refuse
// it); 1.5 stop bits set CSTOPB, which a UART gives as 1.5 with 5 data bits.
void ApplyLineSettings(const LineSettings& s, termios& tio);
// What a binary request/reply link needs beyond the line settings: no line
// editing, echo or signal characters (ETX is ^C), no CR/NL translation either
// way, the receiver on, modem status lines ignored, and a read that returns
// as soon as one byte is there. Speed, character size, parity, stop bits and
// flow control (CRTSCTS, IXON, IXOFF) are left as they are.
void MakeBinary(termios& tio);
#endif

}  // namespace ct::link
