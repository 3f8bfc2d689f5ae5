#include "sim/LineOptions.h"

#include "link/ControllerInterface.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace ct::sim {

namespace cmd = link::cmd;

namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at - from));
        if (at == std::string::npos)
            return parts;
        from = at + 1;
    }
}

// Characters that a command or reply text can carry anywhere.
bool Printable(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool Sized(const std::string& s, std::size_t min, std::size_t max)
{
    return s.size() >= min && s.size() <= max && Printable(s);
}

bool Exactly(const std::string& s, int n)
{
    return Sized(s, static_cast<std::size_t>(n), static_cast<std::size_t>(n));
}

std::optional<unsigned long> Number(const std::string& s, int base, std::size_t maxDigits)
{
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (base == 16 ? !std::isxdigit(u) : !std::isdigit(u))
            return std::nullopt;
    }
    return std::strtoul(s.c_str(), nullptr, base);
}

}  // namespace

std::optional<LineOptions::Target> LineOptions::SplitTarget(const std::string& value, std::string& rest)
{
    const std::size_t colon = value.find(':');
    if (colon == std::string::npos) {
        rest = value;
        return Target{std::size_t{0}, {}};
    }
    const std::string name = value.substr(0, colon);
    rest = value.substr(colon + 1);
    if (!name.empty() && name[0] == '#') {
        const auto index = Number(name.substr(1), 10, 4);
        if (!index)
            return std::nullopt;
        return Target{static_cast<std::size_t>(*index), {}};
    }
    if (!Exactly(name, cmd::ControllerIdLength))
        return std::nullopt;
    return Target{std::nullopt, name};
}

bool LineOptions::AddController(const std::string& value)
{
    const auto parts = Split(value, ',');
    if (parts.size() < 2 || parts.size() > 4 || !Exactly(parts[0], cmd::ControllerIdLength)
        || !Exactly(parts[1], cmd::SerialNumberLength))
        return false;
    ControllerConfig c;
    c.id = parts[0];
    c.serial = parts[1];
    if (parts.size() > 2) {
        if (!Sized(parts[2], 1, static_cast<std::size_t>(cmd::ModelNameLength)))
            return false;
        c.model = parts[2];
    }
    if (parts.size() > 3) {
        if (!Sized(parts[3], 1, static_cast<std::size_t>(cmd::VersionLength)))
            return false;
        c.version = parts[3];
    }
    more_.push_back(std::move(c));
    return true;
}

bool LineOptions::AddG6(const std::string& value)
{
    std::string rest;
    const auto target = SplitTarget(value, rest);
    if (!target)
        return false;
    if (rest == "none") {
        g6_.push_back({*target, std::nullopt});
        return true;
    }
    const auto parts = Split(rest, ',');
    if (parts.size() != 2 && parts.size() != 5)
        return false;
    const auto id = Number(parts[0], 10, 1);
    if (!id || *id > 8 || !Exactly(parts[1], cmd::SerialNumberLength))
        return false;
    G6Module m;
    m.id = static_cast<int>(*id);
    m.serial = parts[1];
    if (parts.size() == 5) {
        const auto card = Number(parts[2], 16, 4);
        const auto delay = Number(parts[3], 16, 4);
        const auto mode = Number(parts[4], 16, 4);
        if (!card || !delay || !mode)
            return false;
        m.cardType = static_cast<std::uint16_t>(*card);
        m.delay = static_cast<std::uint16_t>(*delay);
        m.mode = static_cast<std::uint16_t>(*mode);
    }
    g6_.push_back({*target, m});
    return true;
}

bool LineOptions::AddG4(const std::string& value)
{
    std::string rest;
    const auto target = SplitTarget(value, rest);
    if (!target)
        return false;
    if (rest == "none") {
        g4_.push_back({*target, std::nullopt});
        return true;
    }
    const auto parts = Split(rest, ',');
    if (parts.size() != 3 || parts[0].size() != 1
        || std::string_view(cmd::ModuleTypeLetters).find(parts[0][0]) == std::string_view::npos)
        return false;
    const auto id = Number(parts[1], 10, 1);
    if (!id || !Exactly(parts[2], cmd::SerialNumberLength))
        return false;
    g4_.push_back({*target, G4Module{parts[0][0], static_cast<int>(*id), parts[2]}});
    return true;
}

std::optional<std::vector<ControllerConfig>> LineOptions::Build(const ControllerConfig& first,
                                                                std::string* error) const
{
    std::vector<ControllerConfig> line{first};
    line.insert(line.end(), more_.begin(), more_.end());

    auto resolve = [&](const Target& t) -> std::optional<std::size_t> {
        if (t.index) {
            if (*t.index < line.size())
                return t.index;
            if (error)
                *error = "no controller #" + std::to_string(*t.index);
            return std::nullopt;
        }
        const auto it = std::find_if(line.begin(), line.end(), [&](const ControllerConfig& c) { return c.id == t.id; });
        if (it != line.end())
            return static_cast<std::size_t>(it - line.begin());
        if (error)
            *error = "no controller with ID " + t.id;
        return std::nullopt;
    };

    // The first option naming a controller replaces its default modules.
    std::vector<bool> g6Given(line.size()), g4Given(line.size());
    for (const auto& p : g6_) {
        const auto index = resolve(p.target);
        if (!index)
            return std::nullopt;
        auto& modules = line[*index].g6Modules;
        if (!g6Given[*index])
            modules.clear();
        g6Given[*index] = true;
        if (p.module)
            modules.push_back(*p.module);
    }
    for (const auto& p : g4_) {
        const auto index = resolve(p.target);
        if (!index)
            return std::nullopt;
        auto& modules = line[*index].g4Modules;
        if (!g4Given[*index])
            modules.clear();
        g4Given[*index] = true;
        if (p.module)
            modules.push_back(*p.module);
    }
    return line;
}

}  // namespace ct::sim
