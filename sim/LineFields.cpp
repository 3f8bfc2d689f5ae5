#include "sim/LineFields.h"

#include "sim/FaultPlan.h"
#include "sim/LineSetting.h"

#include "link/ControllerInterface.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace ct::sim {

namespace cmd = link::cmd;

namespace {

using Reason = std::optional<std::string>;

constexpr long kMaxMilliseconds = 3600000;
constexpr long kMaxFaultBytes = 4096;
constexpr long kMaxCount = 999999999;

// Characters that a command or reply text can carry anywhere.
bool Printable(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

Reason Text(std::string& into, const std::string& value, int min, int max)
{
    if (value.size() >= static_cast<std::size_t>(min) && value.size() <= static_cast<std::size_t>(max)
        && Printable(value)) {
        into = value;
        return std::nullopt;
    }
    if (min != max)
        return "want " + std::to_string(min) + " to " + std::to_string(max) + " printable characters";
    return "want " + std::to_string(min) + (min == 1 ? " printable character" : " printable characters");
}

// Plain decimal digits, a minus sign in front only where `min` is negative:
// no blanks, no plus.
std::optional<long> Decimal(const std::string& value, long min, long max)
{
    const std::size_t digits = value.size() - (min < 0 && value.rfind('-', 0) == 0 ? 1 : 0);
    if (digits == 0 || digits > 9
        || !std::all_of(value.end() - static_cast<std::ptrdiff_t>(digits), value.end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    const long number = std::strtol(value.c_str(), nullptr, 10);
    if (number < min || number > max)
        return std::nullopt;
    return number;
}

Reason Ranged(int& into, const std::string& value, long min, long max)
{
    const auto number = Decimal(value, min, max);
    if (!number)
        return "want " + std::to_string(min) + " to " + std::to_string(max);
    into = static_cast<int>(*number);
    return std::nullopt;
}

// One digit, 0 to `max`.
Reason Digit(int& into, const std::string& value, int max)
{
    if (value.size() != 1 || value[0] < '0' || value[0] - '0' > max)
        return max == 9 ? std::string("want one digit") : "want 0 to " + std::to_string(max);
    into = value[0] - '0';
    return std::nullopt;
}

Reason Milliseconds(std::chrono::milliseconds& into, const std::string& value)
{
    int ms = 0;
    if (auto why = Ranged(ms, value, 0, kMaxMilliseconds))
        return why;
    into = std::chrono::milliseconds(ms);
    return std::nullopt;
}

Reason Times(int& into, const std::string& value)
{
    const auto number = Decimal(value, -1, kMaxCount);
    if (!number || *number == 0)
        return std::string("want a count of 1 or more, or -1 for every one");
    into = static_cast<int>(*number);
    return std::nullopt;
}

Reason HexWord(std::uint16_t& into, const std::string& value)
{
    if (value.empty() || value.size() > 4
        || !std::all_of(value.begin(), value.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return std::string("want 1 to 4 hex digits");
    into = static_cast<std::uint16_t>(std::strtoul(value.c_str(), nullptr, 16));
    return std::nullopt;
}

Reason Serial(std::string& into, const std::string& value)
{
    return Text(into, value, cmd::SerialNumberLength, cmd::SerialNumberLength);
}

template <typename Kind, std::size_t N>
Reason Named(Kind& into, const std::string& value, const std::pair<const char*, Kind> (&names)[N])
{
    for (const auto& [name, kind] : names) {
        if (value == name) {
            into = kind;
            return std::nullopt;
        }
    }
    std::string want = "want ";
    for (std::size_t i = 0; i < N; ++i)
        want += std::string(i == 0 ? "" : i + 1 == N ? " or " : ", ") + names[i].first;
    return want;
}

const std::pair<const char*, FaultKind> kFaultKinds[] = {
    {"no-answer", FaultKind::NoAnswer},     {"wrong-crc", FaultKind::WrongCrc},
    {"lower-crc", FaultKind::LowerCaseCrc}, {"extra-bytes", FaultKind::ExtraBytes},
    {"nul-inside", FaultKind::NulInside},   {"noise-before", FaultKind::NoiseBefore},
    {"split-bytes", FaultKind::SplitBytes}, {"delay", FaultKind::Delay},
    {"wrong-length", FaultKind::WrongLength},
};

const std::pair<const char*, LoaderFault::Kind> kLoaderFaultKinds[] = {
    {"fail-program", LoaderFault::Kind::FailProgram},
    {"fail-verify", LoaderFault::Kind::FailVerify},
    {"lower-verify", LoaderFault::Kind::LowerCaseVerify},
    {"silent-from", LoaderFault::Kind::SilentFrom},
};

const std::pair<const char*, bool> kYesNo[] = {{"yes", true}, {"no", false}};

}  // namespace

const FieldTable<ControllerConfig>& ControllerFields()
{
    using C = ControllerConfig;
    static const FieldTable<C> table{
        {"id", [](C& c, const std::string& v) { return Text(c.id, v, cmd::ControllerIdLength, cmd::ControllerIdLength); }},
        {"serial", [](C& c, const std::string& v) { return Serial(c.serial, v); }},
        {"model", [](C& c, const std::string& v) { return Text(c.model, v, 1, cmd::ModelNameLength); }},
        {"version", [](C& c, const std::string& v) { return Text(c.version, v, 1, cmd::VersionLength); }},
        {"inputs", [](C& c, const std::string& v) { return Text(c.inputs, v, cmd::InputCount, cmd::InputCount); }},
        {"alarm", [](C& c, const std::string& v) { return Digit(c.alarm, v, cmd::AlarmCount - 1); }},
        {"line",
         [](C& c, const std::string& v) -> Reason {
             if (!ParseLineSetting(v))
                 return std::string("want BAUD,PARITY,DATA,STOP such as 115200,n,8,1");
             c.line = v;
             return std::nullopt;
         }},
        {"reboot-silence-ms", [](C& c, const std::string& v) { return Milliseconds(c.rebootSilence, v); }},
        {"short-ack", [](C& c, const std::string& v) { return Named(c.shortAck, v, kYesNo); }},
        {"loader",
         [](C& c, const std::string& v) -> Reason {
             const auto kind = ParseLoaderOption(v);
             if (!kind)
                 return std::string("want 512, 256, 64 or none");
             c.loader = *kind;
             return std::nullopt;
         }},
    };
    return table;
}

const FieldTable<G6Module>& G6Fields()
{
    using M = G6Module;
    static const FieldTable<M> table{
        {"id", [](M& m, const std::string& v) { return Digit(m.id, v, 8); }},
        {"serial", [](M& m, const std::string& v) { return Serial(m.serial, v); }},
        {"card-type", [](M& m, const std::string& v) { return HexWord(m.cardType, v); }},
        {"delay", [](M& m, const std::string& v) { return HexWord(m.delay, v); }},
        {"mode", [](M& m, const std::string& v) { return HexWord(m.mode, v); }},
    };
    return table;
}

const FieldTable<G4Module>& G4Fields()
{
    using M = G4Module;
    static const FieldTable<M> table{
        {"type",
         [](M& m, const std::string& v) -> Reason {
             if (v.size() != 1 || std::string_view(cmd::ModuleTypeLetters).find(v[0]) == std::string_view::npos)
                 return std::string("want one of A B H I J E");
             m.type = v[0];
             return std::nullopt;
         }},
        {"id", [](M& m, const std::string& v) { return Digit(m.id, v, 9); }},
        {"serial", [](M& m, const std::string& v) { return Serial(m.serial, v); }},
    };
    return table;
}

const FieldTable<EventRecord>& RecordFields()
{
    using R = EventRecord;
    static const FieldTable<R> table{
        {"tag",
         [](R& r, const std::string& v) -> Reason {
             std::string tag;
             if (auto why = Text(tag, v, 1, 1))
                 return why;
             r.tag = tag[0];
             return std::nullopt;
         }},
        {"time",
         [](R& r, const std::string& v) -> Reason {
             if (v.size() != static_cast<std::size_t>(cmd::DateTimeLength)
                 || !std::all_of(v.begin(), v.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
                 return std::string("want 14 digits, YYYYMMDDhhmmss");
             r.timestamp = v;
             return std::nullopt;
         }},
        {"code", [](R& r, const std::string& v) { return Text(r.code, v, 4, 4); }},
        {"value", [](R& r, const std::string& v) { return Text(r.value, v, 5, 5); }},
    };
    return table;
}

const FieldTable<LoaderFault>& LoaderFaultFields()
{
    using F = LoaderFault;
    static const FieldTable<F> table{
        {"kind", [](F& f, const std::string& v) { return Named(f.kind, v, kLoaderFaultKinds); }},
        {"block", [](F& f, const std::string& v) { return Ranged(f.block, v, 0, kMaxCount); }},
        {"times", [](F& f, const std::string& v) { return Times(f.times, v); }},
    };
    return table;
}

const FieldTable<Fault>& FaultFields()
{
    using F = Fault;
    static const FieldTable<F> table{
        {"kind", [](F& f, const std::string& v) { return Named(f.kind, v, kFaultKinds); }},
        {"command",
         [](F& f, const std::string& v) -> Reason {
             if (v.empty() || !Printable(v))
                 return std::string("want the command code's first printable characters");
             f.command = v;
             return std::nullopt;
         }},
        {"times", [](F& f, const std::string& v) { return Times(f.times, v); }},
        {"bytes", [](F& f, const std::string& v) { return Ranged(f.count, v, 0, kMaxFaultBytes); }},
        {"gap-ms", [](F& f, const std::string& v) { return Milliseconds(f.gap, v); }},
        {"delay-ms", [](F& f, const std::string& v) { return Milliseconds(f.delay, v); }},
    };
    return table;
}

Fault FaultFieldDefaults()
{
    Fault fault;
    fault.times = -1;
    fault.count = 3;
    fault.gap = std::chrono::milliseconds(50);
    fault.delay = std::chrono::milliseconds(1500);
    return fault;
}

std::string_view FaultArgumentField(FaultKind kind)
{
    switch (kind) {
    case FaultKind::ExtraBytes:
    case FaultKind::NoiseBefore:
    case FaultKind::WrongLength: return "bytes";
    case FaultKind::SplitBytes: return "gap-ms";
    case FaultKind::Delay: return "delay-ms";
    case FaultKind::NoAnswer:
    case FaultKind::WrongCrc:
    case FaultKind::LowerCaseCrc:
    case FaultKind::NulInside: break;
    }
    return {};
}

std::vector<std::string> SplitFields(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return parts;
        from = at + 1;
    }
}

}  // namespace ct::sim
