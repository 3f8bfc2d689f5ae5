#include "sim/SimConfig.h"

#include "sim/ControllerModel.h"
#include "sim/LineFields.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ct::sim {

namespace {

struct Refusal {
    int line = 0;
    std::string reason;
};
using Outcome = std::optional<Refusal>;

enum class Kind { Controller, G6, G4, Record, LoaderFault, Fault };

struct SectionSpec {
    Kind kind;
    std::string_view name;
    std::vector<std::string_view> keys;
    std::vector<std::string_view> required;
};

template <typename Target>
std::vector<std::string_view> KeysOf(const FieldTable<Target>& table, std::vector<std::string_view> more = {})
{
    std::vector<std::string_view> keys;
    for (const auto& field : table)
        keys.push_back(field.name);
    keys.insert(keys.end(), more.begin(), more.end());
    return keys;
}

const std::vector<SectionSpec>& Sections()
{
    static const std::vector<SectionSpec> sections{
        {Kind::Controller, "controller", KeysOf(ControllerFields(), {"clock"}), {"id", "serial"}},
        {Kind::G6, "g6", KeysOf(G6Fields()), {"id", "serial"}},
        {Kind::G4, "g4", KeysOf(G4Fields()), {"type", "id", "serial"}},
        {Kind::Record, "record", KeysOf(RecordFields()), {"tag", "time", "code", "value"}},
        {Kind::LoaderFault, "loader-fault", KeysOf(LoaderFaultFields()), {"kind", "block"}},
        {Kind::Fault, "fault", KeysOf(FaultFields()), {"kind"}},
    };
    return sections;
}

std::string Joined(const std::vector<std::string_view>& names)
{
    std::string text;
    for (std::string_view name : names)
        text.append(text.empty() ? "" : ", ").append(name);
    return text;
}

// A name or value as a message shows it: a long one cut, between two
// characters.
std::string Cut(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    if (text.size() <= kShown)
        return std::string(text);
    std::size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(text.substr(0, cut)) + "...";
}

std::string Quoted(std::string_view text)
{
    return "'" + Cut(text) + "'";
}

bool Blank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && Blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && Blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// What stands before a comment: a '#' opening the line or following a blank.
// One inside a value ("1603#001") is part of it.
std::string_view BeforeComment(std::string_view line)
{
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || Blank(line[i - 1])))
            return line.substr(0, i);
    return line;
}

bool Utf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        std::size_t more = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
            code = lead & 0x1FU;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2;
            code = lead & 0x0FU;
            least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            code = lead & 0x07U;
            least = 0x10000;
        } else {
            return false;
        }
        if (s.size() - i <= more)
            return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3FU);
        }
        // Overlong forms, UTF-16 surrogates and code points past Unicode's.
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

std::optional<std::string> NotText(std::string_view line)
{
    for (char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", byte);
            return std::string("control character ") + hex + ": not a text file";
        }
    }
    if (!Utf8(line))
        return std::string("not UTF-8 text");
    return std::nullopt;
}

struct Entry {
    std::string key;
    std::string value;
    int line = 0;
};

struct Section {
    const SectionSpec* spec = nullptr;
    int line = 0;
    std::vector<Entry> entries;

    const Entry* Find(std::string_view key) const
    {
        const auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.key == key; });
        return it == entries.end() ? nullptr : &*it;
    }
    std::string Name() const { return "[" + std::string(spec->name) + "]"; }
};

Refusal Bad(const Entry& e, const std::string& want)
{
    return {e.line, "bad " + e.key + " " + Quoted(e.value) + ": " + want};
}

// Sets the section's keys that are fields of `table` into `target`.
template <typename Target>
Outcome Fill(Target& target, const FieldTable<Target>& table, const Section& section)
{
    for (const Entry& e : section.entries)
        if (const Field<Target>* field = FindField(table, e.key))
            if (auto why = field->set(target, e.value))
                return Bad(e, *why);
    return std::nullopt;
}

template <typename Target>
Outcome Append(std::vector<Target>& list, const FieldTable<Target>& table, const Section& section)
{
    Target item{};
    if (auto refused = Fill(item, table, section))
        return refused;
    list.push_back(std::move(item));
    return std::nullopt;
}

class Parser {
public:
    Outcome Line(std::string_view text, int number);
    // Builds the section still open.
    Outcome Close();

    SimConfig config;

private:
    Outcome Open(std::string_view name, int number);
    Outcome Add(std::string_view key, std::string_view value, int number);
    Outcome Build(const Section& section);

    Section open_;
};

Outcome Parser::Line(std::string_view text, int number)
{
    if (auto why = NotText(text))
        return Refusal{number, *why};
    const std::string_view line = Trimmed(BeforeComment(text));
    if (line.empty())
        return std::nullopt;
    if (line.front() == '[') {
        if (line.back() != ']')
            return Refusal{number, "a section line ends with ']'"};
        return Open(Trimmed(line.substr(1, line.size() - 2)), number);
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return Refusal{number, "want '[section]' or 'key = value'"};
    return Add(Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)), number);
}

Outcome Parser::Open(std::string_view name, int number)
{
    if (auto refused = Close())
        return refused;
    const auto& sections = Sections();
    const auto spec = std::find_if(sections.begin(), sections.end(), [&](const SectionSpec& s) { return s.name == name; });
    if (spec == sections.end()) {
        std::vector<std::string_view> names;
        for (const auto& s : sections)
            names.push_back(s.name);
        return Refusal{number, "unknown section [" + Cut(name) + "]; sections: " + Joined(names)};
    }
    if (spec->kind == Kind::Controller && config.controllers.size() == MaxControllers)
        return Refusal{number, "more than " + std::to_string(MaxControllers) + " controllers on the line"};
    if (spec->kind != Kind::Controller && spec->kind != Kind::Fault && config.controllers.empty())
        return Refusal{number, "[" + std::string(name) + "] before any [controller]: it belongs to the controller above it"};
    open_ = Section{&*spec, number, {}};
    return std::nullopt;
}

Outcome Parser::Add(std::string_view key, std::string_view value, int number)
{
    if (key.empty())
        return Refusal{number, "no key before '='"};
    const std::string name(key);
    if (!open_.spec)
        return Refusal{number, Quoted(name) + " before any section; start with [controller]"};
    const auto& keys = open_.spec->keys;
    if (std::find(keys.begin(), keys.end(), key) == keys.end())
        return Refusal{number, "unknown key " + Quoted(name) + " in " + open_.Name() + "; its keys: " + Joined(keys)};
    if (const Entry* first = open_.Find(key))
        return Refusal{number, "'" + name + "' a second time in this " + open_.Name() + " (first on line "
                                   + std::to_string(first->line) + ")"};
    if (value.empty())
        return Refusal{number, "'" + name + "' without a value"};
    open_.entries.push_back(Entry{name, std::string(value), number});
    return std::nullopt;
}

Outcome Parser::Close()
{
    if (!open_.spec)
        return std::nullopt;
    const Section section = std::move(open_);
    open_ = Section{};
    for (std::string_view key : section.spec->required)
        if (!section.Find(key))
            return Refusal{section.line, section.Name() + " without " + std::string(key) + ", which it needs"};
    return Build(section);
}

Outcome Parser::Build(const Section& section)
{
    switch (section.spec->kind) {
    case Kind::Controller: {
        ControllerConfig c;
        // Only the modules the file gives: a line written out in full.
        c.g6Modules.clear();
        c.g4Modules.clear();
        if (auto refused = Fill(c, ControllerFields(), section))
            return refused;
        std::string clock;
        if (const Entry* e = section.Find("clock")) {
            if (!IsDateTime(e->value))
                return Bad(*e, "want a real date and time, YYYYMMDDhhmmss");
            clock = e->value;
        }
        config.controllers.push_back(std::move(c));
        config.clocks.push_back(std::move(clock));
        return std::nullopt;
    }
    case Kind::G6: return Append(config.controllers.back().g6Modules, G6Fields(), section);
    case Kind::G4: return Append(config.controllers.back().g4Modules, G4Fields(), section);
    case Kind::Record: return Append(config.controllers.back().records, RecordFields(), section);
    case Kind::LoaderFault: return Append(config.controllers.back().loaderFaults, LoaderFaultFields(), section);
    case Kind::Fault: {
        Fault fault = FaultFieldDefaults();
        if (auto refused = Fill(fault, FaultFields(), section))
            return refused;
        // A value for what the kind does not take is a mistake, not a
        // setting to ignore: "delay" with "bytes" meant something else.
        const std::string_view takes = FaultArgumentField(fault.kind);
        for (std::string_view argument : {"bytes", "gap-ms", "delay-ms"}) {
            const Entry* e = section.Find(argument);
            if (e && argument != takes)
                return Refusal{e->line, "a " + section.Find("kind")->value + " fault takes no " + e->key
                                            + (takes.empty() ? "" : " (it takes " + std::string(takes) + ")")};
        }
        config.faults.push_back(std::move(fault));
        return std::nullopt;
    }
    }
    return std::nullopt;
}

}  // namespace

SimConfigResult ParseSimConfig(std::string_view text)
{
    SimConfigResult result;
    auto refuse = [&](const Refusal& r) {
        result.line = r.line;
        result.reason = r.reason;
        return result;
    };
    if (text.size() > MaxConfigBytes)
        return refuse({0, "larger than " + std::to_string(MaxConfigBytes / 1024 / 1024) + " MiB"});
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());

    Parser parser;
    int number = 0;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        std::string_view line = text.substr(from, end - from);
        from = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (auto refused = parser.Line(line, ++number))
            return refuse(*refused);
    }
    if (auto refused = parser.Close())
        return refuse(*refused);
    if (parser.config.controllers.empty())
        return refuse({0, "no [controller]: a line has one at least"});
    result.config = std::move(parser.config);
    return result;
}

std::optional<std::string> ReadSimConfigFile(const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::string text;
    char buffer[16384];
    for (;;) {
        const std::size_t want = std::min(sizeof buffer, MaxConfigBytes + 1 - text.size());
        const std::size_t got = std::fread(buffer, 1, want, file);
        text.append(buffer, got);
        if (got < want || text.size() > MaxConfigBytes)
            break;
    }
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed) {
        error = std::strerror(readError);
        return std::nullopt;
    }
    return text;
}

void ApplySimConfig(ControllerSim& sim, const SimConfig& config)
{
    for (std::size_t i = 0; i < config.clocks.size(); ++i)
        if (!config.clocks[i].empty())
            sim.SetControllerTime(config.clocks[i], i);
    for (const Fault& fault : config.faults)
        sim.InjectFault(fault);
}

}  // namespace ct::sim
