#include "link/Transport.h"

#include <cctype>
#include <cstdlib>
#include <vector>

namespace ct::link {

namespace {

std::string Trim(const std::string& s)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

bool AllDigits(const std::string& s)
{
    if (s.empty() || s.size() > 9)
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

}  // namespace

bool ParseLineSettings(const std::string& text, LineSettings& out)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (fields.size() != 4 || !AllDigits(fields[0]) || fields[1].size() != 1)
        return false;

    LineSettings s;
    s.baudRate = std::atoi(fields[0].c_str());
    s.parity = static_cast<char>(std::tolower(static_cast<unsigned char>(fields[1][0])));
    if (s.baudRate <= 0 || std::string("neoms").find(s.parity) == std::string::npos)
        return false;
    if (!AllDigits(fields[2]))
        return false;
    s.dataBits = std::atoi(fields[2].c_str());
    if (s.dataBits < 5 || s.dataBits > 8)
        return false;
    if (fields[3] == "1")
        s.stopBits = 1;
    else if (fields[3] == "1.5")
        s.stopBits = 15;
    else if (fields[3] == "2")
        s.stopBits = 2;
    else
        return false;
    out = s;
    return true;
}

}  // namespace ct::link
