#include "link/LineSettings.h"

#include <cstddef>
#include <string_view>

namespace ct::link {

namespace {

constexpr std::size_t MaxRateDigits = 9;

// Blanks around fields and between items: space, tab, CR, LF, VT, FF.
bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

std::optional<std::uint32_t> Rate(std::string_view s)
{
    if (s.empty() || s.size() > MaxRateDigits)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value == 0)
        return std::nullopt;
    return value;
}

// The mode command's abbreviated rates, as its comma form reads them.
std::uint32_t Unabbreviated(std::uint32_t rate)
{
    switch (rate) {
    case 11: case 30: case 60: return rate * 10;
    case 12: case 24: case 48: case 96: return rate * 100;
    case 19: return 19200;
    default: return rate;
    }
}

bool IsAbbreviation(std::uint32_t rate)
{
    return Unabbreviated(rate) != rate;
}

std::optional<char> Parity(std::string_view s)
{
    if (s.size() != 1)
        return std::nullopt;
    const char p = Lower(s[0]);
    if (p == 'n' || p == 'e' || p == 'o' || p == 'm' || p == 's')
        return p;
    return std::nullopt;
}

std::optional<int> DataBits(std::string_view s)
{
    if (s.size() != 1 || s[0] < '5' || s[0] > '8')
        return std::nullopt;
    return s[0] - '0';
}

std::optional<int> StopBits(std::string_view s)
{
    if (s == "1")
        return 1;
    if (s == "1.5")
        return 15;
    if (s == "2")
        return 2;
    return std::nullopt;
}

bool ParseCommaForm(std::string_view text, LineSettings& out)
{
    LineSettings s;
    std::size_t field = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view value =
            Trim(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        switch (field) {
        case 0:
            if (const auto r = Rate(value))
                s.baudRate = Unabbreviated(*r);
            else
                return false;
            break;
        case 1:
            if (!(s.parity = Parity(value)))
                return false;
            break;
        case 2:
            if (!(s.dataBits = DataBits(value)))
                return false;
            break;
        case 3:
            if (!(s.stopBits = StopBits(value)))
                return false;
            break;
        default:
            return false;
        }
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
        ++field;
    }
    out = s;
    return true;
}

bool ParseKeyForm(std::string_view text, LineSettings& out)
{
    LineSettings s;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsBlank(text[end]))
            ++end;
        const std::string_view item = text.substr(i, end - i);
        i = end;
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos)
            return false;
        const std::string_view key = item.substr(0, eq);
        const std::string_view value = item.substr(eq + 1);
        if (EqualsIgnoringCase(key, "baud")) {
            if (s.baudRate || !(s.baudRate = Rate(value)))
                return false;
        } else if (EqualsIgnoringCase(key, "parity")) {
            if (s.parity || !(s.parity = Parity(value)))
                return false;
        } else if (EqualsIgnoringCase(key, "data")) {
            if (s.dataBits || !(s.dataBits = DataBits(value)))
                return false;
        } else if (EqualsIgnoringCase(key, "stop")) {
            if (s.stopBits || !(s.stopBits = StopBits(value)))
                return false;
        } else {
            return false;
        }
    }
    if (s.NamesNothing())
        return false;
    out = s;
    return true;
}

}  // namespace

bool ParseLineSettings(const std::string& text, LineSettings& out)
{
    const std::string_view t(text);
    if (t.find('=') != std::string_view::npos)
        return ParseKeyForm(t, out);
    return ParseCommaForm(t, out);
}

std::string FormatLineSettings(const LineSettings& s)
{
    auto stop = [](int bits) { return bits == 15 ? std::string("1.5") : std::to_string(bits); };
    const bool leadingRun = s.baudRate && !IsAbbreviation(*s.baudRate) && (s.parity || !s.dataBits)
                            && (s.dataBits || !s.stopBits) && (s.parity || !s.stopBits);
    std::string text;
    if (leadingRun) {
        text = std::to_string(*s.baudRate);
        if (s.parity)
            text += std::string(",") + *s.parity;
        if (s.dataBits)
            text += "," + std::to_string(*s.dataBits);
        if (s.stopBits)
            text += "," + stop(*s.stopBits);
        return text;
    }
    auto add = [&text](const std::string& item) { text += (text.empty() ? "" : " ") + item; };
    if (s.baudRate)
        add("baud=" + std::to_string(*s.baudRate));
    if (s.parity)
        add(std::string("parity=") + *s.parity);
    if (s.dataBits)
        add("data=" + std::to_string(*s.dataBits));
    if (s.stopBits)
        add("stop=" + stop(*s.stopBits));
    return text;
}

#ifndef _WIN32

std::optional<speed_t> TermiosSpeed(std::uint32_t rate)
{
    static const struct {
        std::uint32_t rate;
        speed_t code;
    } kSpeeds[] = {
        {50, B50}, {75, B75}, {110, B110}, {134, B134}, {150, B150}, {200, B200}, {300, B300},
        {600, B600}, {1200, B1200}, {1800, B1800}, {2400, B2400}, {4800, B4800}, {9600, B9600},
        {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
#ifdef B460800
        {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600},
        {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
        {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
#endif
    };
    for (const auto& s : kSpeeds)
        if (s.rate == rate)
            return s.code;
    return std::nullopt;
}

void ApplyLineSettings(const LineSettings& s, termios& tio)
{
    if (s.baudRate) {
        if (const auto speed = TermiosSpeed(*s.baudRate)) {
            ::cfsetispeed(&tio, *speed);
            ::cfsetospeed(&tio, *speed);
        }
    }
    if (s.parity) {
#ifdef CMSPAR
        constexpr tcflag_t kMarkSpace = CMSPAR;
#else
        constexpr tcflag_t kMarkSpace = 0;
#endif
        tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | kMarkSpace);
        switch (*s.parity) {
        case 'e': tio.c_cflag |= PARENB; break;
        case 'o': tio.c_cflag |= PARENB | PARODD; break;
        case 'm': tio.c_cflag |= PARENB | PARODD | kMarkSpace; break;
        case 's': tio.c_cflag |= PARENB | kMarkSpace; break;
        default: break;
        }
    }
    if (s.dataBits) {
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
        switch (*s.dataBits) {
        case 5: tio.c_cflag |= CS5; break;
        case 6: tio.c_cflag |= CS6; break;
        case 7: tio.c_cflag |= CS7; break;
        default: tio.c_cflag |= CS8; break;
        }
    }
    if (s.stopBits) {
        if (*s.stopBits == 1)
            tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
        else
            tio.c_cflag |= CSTOPB;
    }
}

void MakeBinary(termios& tio)
{
    tio.c_iflag &= ~static_cast<tcflag_t>(BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL
#ifdef IUCLC
                                          | IUCLC
#endif
    );
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

#endif

}  // namespace ct::link
