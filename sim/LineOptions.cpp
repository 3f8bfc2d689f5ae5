#include "sim/LineOptions.h"

#include "sim/LineFields.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace ct::sim {

namespace {

// Sets the fields `names` of `target` from `parts`, in order, as far as
// there are parts; false when one is refused.
template <typename Target>
bool SetFields(const FieldTable<Target>& table, std::initializer_list<const char*> names,
               const std::vector<std::string>& parts, Target& target)
{
    std::size_t i = 0;
    for (const char* name : names) {
        if (i == parts.size())
            break;
        if (!SetField(table, name, target, parts[i++]))
            return false;
    }
    return true;
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
        const std::string digits = name.substr(1);
        if (digits.empty() || digits.size() > 4
            || !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            return std::nullopt;
        return Target{static_cast<std::size_t>(std::stoul(digits)), {}};
    }
    ControllerConfig named;
    if (!SetField(ControllerFields(), "id", named, name))
        return std::nullopt;
    return Target{std::nullopt, name};
}

bool LineOptions::AddController(const std::string& value)
{
    const auto parts = SplitFields(value, ',');
    ControllerConfig c;
    if (parts.size() < 2 || parts.size() > 4
        || !SetFields(ControllerFields(), {"id", "serial", "model", "version"}, parts, c))
        return false;
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
    const auto parts = SplitFields(rest, ',');
    G6Module m;
    if ((parts.size() != 2 && parts.size() != 5)
        || !SetFields(G6Fields(), {"id", "serial", "card-type", "delay", "mode"}, parts, m))
        return false;
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
    const auto parts = SplitFields(rest, ',');
    G4Module m;
    if (parts.size() != 3 || !SetFields(G4Fields(), {"type", "id", "serial"}, parts, m))
        return false;
    g4_.push_back({*target, m});
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
