#include "sim/ControllerModel.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace ct::sim {

namespace {

constexpr std::string_view kG6ReadSerialById = "DR05000688000001";
constexpr std::string_view kG6ReadIdBySerial = "DR05000884000002";
constexpr std::string_view kG6SetIdBySerial = "DR05001084000002";
constexpr std::string_view kG6ReadCardType = "DR05000688000203";
constexpr std::string_view kG6WriteCardType = "DR05000E88000203";

enum class Pad { Left, Right };

// Cut to n characters, or fill up to n.
std::string Fit(std::string s, std::size_t n, char fill, Pad pad)
{
    if (s.size() >= n)
        return s.substr(0, n);
    const std::string filler(n - s.size(), fill);
    return pad == Pad::Left ? filler + s : s + filler;
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

bool AllDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// Exactly four hex digits, either case.
std::optional<std::uint16_t> ParseHex4(std::string_view s)
{
    if (s.size() != 4)
        return std::nullopt;
    unsigned value = 0;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isxdigit(u))
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(std::isdigit(u) ? u - '0' : std::toupper(u) - 'A' + 10);
    }
    return static_cast<std::uint16_t>(value);
}

std::string Hex4(unsigned value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04X", value & 0xFFFFU);
    return buffer;
}

ControllerConfig Normalised(ControllerConfig c)
{
    c.id = Fit(c.id, 4, '0', Pad::Left);
    c.model = Fit(c.model, 12, ' ', Pad::Right);
    c.version = Fit(c.version, 4, '0', Pad::Left);
    c.serial = Fit(c.serial, 8, '0', Pad::Left);
    c.inputs = Fit(c.inputs, 8, '0', Pad::Right);
    for (auto& m : c.g6Modules)
        m.serial = Fit(m.serial, 8, '0', Pad::Left);
    for (auto& m : c.g4Modules)
        m.serial = Fit(m.serial, 8, '0', Pad::Left);
    for (auto& r : c.records) {
        r.timestamp = Fit(r.timestamp, 14, '0', Pad::Right);
        r.code = Fit(r.code, 4, '0', Pad::Left);
        r.value = Fit(r.value, 5, '0', Pad::Left);
    }
    return c;
}

}  // namespace

std::string LocalNow()
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%d%H%M%S", &local);
    return buffer;
}

ControllerModel::ControllerModel(ControllerConfig config, NowFunction now)
    : config_(Normalised(std::move(config))), now_(std::move(now))
{
}

void ControllerModel::SetConfig(ControllerConfig config)
{
    config_ = Normalised(std::move(config));
}

std::string ControllerModel::Ack(std::string_view code, bool allowShort) const
{
    if (allowShort && config_.shortAck)
        return config_.id + std::string(code.substr(0, 1));
    return config_.id + std::string(code.substr(0, 2));
}

std::optional<std::string> ControllerModel::Answer(std::string_view commandText)
{
    if (commandText.size() < 6)
        return std::nullopt;
    const std::string_view id = commandText.substr(0, 4);
    const std::string_view rest = commandText.substr(4);

    // "AC" finds the controller whatever ID the tool addressed; the reply tells
    // it the real one.
    if (rest == "AC")
        return config_.id + "AC0000";
    // The serial-number commands reach a controller whose ID is not known.
    if (id == "0000" && StartsWith(rest, "AV"))
        return AnswerSerialLookup(rest.substr(2));
    if (id != config_.id)
        return std::nullopt;
    return AnswerAddressed(rest);
}

std::optional<std::string> ControllerModel::AnswerSerialLookup(std::string_view params)
{
    const std::string& serial = config_.serial;
    if (!StartsWith(params, serial))
        return std::nullopt;
    const std::string_view newId = params.substr(serial.size());
    if (!newId.empty()) {
        if (newId.size() != 4)
            return std::nullopt;
        config_.id = std::string(newId);
    }
    return config_.id + "AV0000";
}

std::optional<std::string> ControllerModel::AnswerAddressed(std::string_view rest)
{
    const std::string& id = config_.id;
    if (rest == "DB")
        return id + "DB" + config_.model + config_.version;
    if (rest == "AS")
        return id + "AS" + config_.serial;
    if (StartsWith(rest, "AS")) {
        // The model name setting: a 12-character designation, then optionally
        // the version.
        const std::string_view params = rest.substr(2);
        if (params.size() < 12)
            return std::nullopt;
        config_.model = std::string(params.substr(0, 12));
        if (params.size() > 12)
            config_.version = Fit(std::string(params.substr(12)), 4, '0', Pad::Left);
        return Ack("AS", false);
    }
    if (rest == "DG0")
        return id + "DG" + config_.inputs + "00000000";
    if (StartsWith(rest, "JC") && rest.size() == 10)
        return Ack("JC", false);
    if (rest == "JD")
        return Ack("JD", false);
    if (rest == "PI") {
        std::string reply = id + "PI" + Fit(now_(), 14, '0', Pad::Right) + "00000000";
        if (!config_.records.empty()) {
            const EventRecord& r = config_.records.front();
            reply += std::string(1, r.tag) + r.timestamp + r.code + r.value;
        }
        return reply;
    }
    if (rest == "IB") {
        if (!config_.records.empty())
            config_.records.erase(config_.records.begin());
        return Ack("IB", false);
    }
    if (StartsWith(rest, "AA") && rest.size() == 16 && AllDigits(rest.substr(2)))
        return Ack("AA", true);
    if (StartsWith(rest, "JF") && rest.size() == 3 && AllDigits(rest.substr(2)))
        return Ack("JF", true);
    if (rest == "AR01" || rest == "AR00" || rest == "AE001002" || rest == "AE001400")
        return Ack(rest, false);
    if (StartsWith(rest, "DD"))
        return AnswerG4(rest.substr(2));
    if (StartsWith(rest, "DR05"))
        return AnswerG6(rest);
    return std::nullopt;
}

std::optional<std::string> ControllerModel::AnswerG4(std::string_view rest)
{
    // rest: type letter, then either "0C" + serial + new ID, or the module ID
    // digit and the module command.
    if (rest.size() < 3)
        return std::nullopt;
    const char type = rest[0];
    const std::string prefix = config_.id + "DD" + std::string(1, type);

    if (rest.substr(1, 2) == "0C") {
        const std::string_view params = rest.substr(3);
        for (auto& m : config_.g4Modules) {
            if (m.type != type || !StartsWith(params, m.serial))
                continue;
            const std::string_view newId = params.substr(m.serial.size());
            if (!AllDigits(newId) || newId.size() > 4)
                continue;
            m.id = std::stoi(std::string(newId));
            return config_.id + "DD";
        }
        // "0C" may still be module 0 with a command starting with "C".
    }

    if (!std::isdigit(static_cast<unsigned char>(rest[1])))
        return std::nullopt;
    const int moduleId = rest[1] - '0';
    const std::string_view command = rest.substr(2);
    for (const auto& m : config_.g4Modules) {
        if (m.type != type || m.id != moduleId)
            continue;
        const std::string head = prefix + std::string(1, rest[1]);
        if (command == "S")
            return head + "S" + m.serial;
        return head + "OK";
    }
    return std::nullopt;
}

std::optional<std::string> ControllerModel::AnswerG6(std::string_view rest)
{
    const std::string& id = config_.id;
    // Replies echo the pass-through channel and a byte count, then the
    // function of the request with the address-mode bit cleared, then the
    // module's data.
    auto byIdReply = [&](const G6Module& m, std::string_view function, const std::string& data) {
        // 40 characters: ID, DR05, count, function, module ID, data (16).
        return id + "DR05" + "000E" + std::string(function) + Hex4(static_cast<unsigned>(m.id)) + data;
    };
    auto bySerialReply = [&](const G6Module& m) {
        // 44 characters: ID, DR05, count, function, serial twice, module ID, 0000.
        return id + "DR05" + "0010" + "04000002" + m.serial + m.serial + Hex4(static_cast<unsigned>(m.id)) + "0000";
    };
    auto findById = [&](std::string_view hex) -> G6Module* {
        const auto moduleId = ParseHex4(hex);
        if (!moduleId)
            return nullptr;
        for (auto& m : config_.g6Modules)
            if (m.id == *moduleId)
                return &m;
        return nullptr;
    };
    auto findBySerial = [&](std::string_view serial) -> G6Module* {
        for (auto& m : config_.g6Modules)
            if (m.serial == serial)
                return &m;
        return nullptr;
    };
    auto cardWords = [](const G6Module& m) { return Hex4(m.cardType) + Hex4(m.delay) + Hex4(m.mode) + "0000"; };

    const std::string_view head = rest.substr(0, 16);
    const std::string_view params = rest.substr(head.size());
    if (head == kG6ReadSerialById) {
        if (G6Module* m = findById(params))
            return byIdReply(*m, "08000001", "0000" + m->serial + "0000");
    } else if (head == kG6ReadCardType) {
        if (G6Module* m = findById(params))
            return byIdReply(*m, "08000203", cardWords(*m));
    } else if (head == kG6WriteCardType) {
        if (params.size() != 20)
            return std::nullopt;
        G6Module* m = findById(params.substr(0, 4));
        const auto card = ParseHex4(params.substr(4, 4));
        const auto delay = ParseHex4(params.substr(8, 4));
        const auto mode = ParseHex4(params.substr(12, 4));
        if (!m || !card || !delay || !mode)
            return std::nullopt;
        m->cardType = *card;
        m->delay = *delay;
        m->mode = *mode;
        return byIdReply(*m, "08000203", cardWords(*m));
    } else if (head == kG6ReadIdBySerial) {
        if (G6Module* m = findBySerial(params))
            return bySerialReply(*m);
    } else if (head == kG6SetIdBySerial) {
        // serial, the same serial again, new ID as four hex digits, 0000.
        if (params.size() < 8 || (params.size() - 8) % 2 != 0)
            return std::nullopt;
        const std::size_t n = (params.size() - 8) / 2;
        const std::string_view serial = params.substr(0, n);
        const auto newId = ParseHex4(params.substr(2 * n, 4));
        G6Module* m = findBySerial(serial);
        if (params.substr(n, n) != serial || !newId || !m)
            return std::nullopt;
        m->id = *newId;
        return bySerialReply(*m);
    }
    return std::nullopt;
}

}  // namespace ct::sim
