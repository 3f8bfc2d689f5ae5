#include "sim/ControllerModel.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <iterator>

namespace ct::sim {

namespace cmd = link::cmd;

namespace {

constexpr std::size_t Width(int n)
{
    return static_cast<std::size_t>(n);
}

// Characters of reply text in a CRC reply frame of `replyLength` bytes.
constexpr std::size_t TextLength(int replyLength)
{
    return Width(replyLength) - link::CrcReplyOverhead;
}

// Widths of the event record fields; a record fills what a poll reply with a
// record has beyond one without.
constexpr std::size_t kRecordCodeWidth = 4;
constexpr std::size_t kRecordValueWidth = 5;
static_assert(1 + Width(cmd::DateTimeLength) + kRecordCodeWidth + kRecordValueWidth
              == Width(cmd::PollRecordReplyLength - cmd::PollReplyLength));

// Replies whose every character is a field (no filler): their widths must add
// up to the lengths the tool checks.
static_assert(Width(cmd::ControllerIdLength) + 2 + Width(cmd::ModelNameLength) + Width(cmd::VersionLength)
              == TextLength(cmd::DescribeReplyLength));
static_assert(Width(cmd::ControllerIdLength) + 2 + Width(cmd::SerialNumberLength)
              == TextLength(cmd::SerialNumberReplyLength));
// ID, "DD", type letter, module ID digit, "S", serial number.
static_assert(Width(cmd::ControllerIdLength) + 5 + Width(cmd::SerialNumberLength)
              == TextLength(cmd::G4SerialReplyLength));

constexpr std::string_view kG6Heads[] = {cmd::G6ReadSerialById, cmd::G6ReadIdBySerial, cmd::G6SetIdBySerial,
                                          cmd::G6ReadCardType, cmd::G6WriteCardType};
constexpr bool G6HeadsWellFormed()
{
    for (std::string_view head : kG6Heads)
        if (head.size() != Width(cmd::G6HeadLength) || head.substr(0, 4) != cmd::G6PassThrough)
            return false;
    return true;
}
static_assert(G6HeadsWellFormed());

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

// A reply text for a frame of exactly `replyLength` bytes, the length that the
// interface gives for the command: the fields, then '0' filler where the
// tool reads nothing. The fields never run past that length.
std::string Reply(std::string fields, int replyLength)
{
    assert(fields.size() <= TextLength(replyLength));
    fields.resize(TextLength(replyLength), '0');
    return fields;
}

// The two letters of a command code that its reply echoes after the ID.
std::string Echo(std::string_view code)
{
    return std::string(code.substr(0, 2));
}

// The function of a G6 head (the four bytes after its count) as the module
// answers it: with the address-mode bit cleared, 88 -> 08 and 84 -> 04.
std::string G6ReplyFunction(std::string_view head)
{
    std::string function(head.substr(8));
    function[0] = '0';
    return function;
}

// A G6 module's answer as passed through: the controller's ID, the channel,
// the byte count of what follows (four hex digits) and the payload.
std::string G6Reply(const std::string& id, const std::string& payload, int replyLength)
{
    return Reply(id + cmd::G6PassThrough + Hex4(static_cast<unsigned>(payload.size() / 2)) + payload, replyLength);
}

ControllerConfig Normalised(ControllerConfig c)
{
    c.id = Fit(c.id, Width(cmd::ControllerIdLength), '0', Pad::Left);
    c.model = Fit(c.model, Width(cmd::ModelNameLength), ' ', Pad::Right);
    c.version = Fit(c.version, Width(cmd::VersionLength), '0', Pad::Left);
    c.serial = Fit(c.serial, Width(cmd::SerialNumberLength), '0', Pad::Left);
    c.inputs = Fit(c.inputs, Width(cmd::InputCount), '0', Pad::Right);
    for (auto& m : c.g6Modules)
        m.serial = Fit(m.serial, Width(cmd::SerialNumberLength), '0', Pad::Left);
    for (auto& m : c.g4Modules)
        m.serial = Fit(m.serial, Width(cmd::SerialNumberLength), '0', Pad::Left);
    for (auto& r : c.records) {
        r.timestamp = Fit(r.timestamp, Width(cmd::DateTimeLength), '0', Pad::Right);
        r.code = Fit(r.code, kRecordCodeWidth, '0', Pad::Left);
        r.value = Fit(r.value, kRecordValueWidth, '0', Pad::Left);
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

// The ID and as much of the command code as the acknowledgement holds.
std::string ControllerModel::Ack(std::string_view code, bool allowShort) const
{
    const int length = allowShort && config_.shortAck ? cmd::ShortAckReplyLength : cmd::AckReplyLength;
    return Reply((config_.id + std::string(code)).substr(0, TextLength(length)), length);
}

std::optional<std::string> ControllerModel::Answer(std::string_view commandText)
{
    const std::size_t idLength = Width(cmd::ControllerIdLength);
    if (commandText.size() < idLength + 2)
        return std::nullopt;
    const std::string_view id = commandText.substr(0, idLength);
    const std::string_view rest = commandText.substr(idLength);

    // "AC" finds the controller whatever ID the tool addressed; the reply tells
    // it the real one.
    if (rest == cmd::Connect)
        return Reply(config_.id + cmd::Connect, cmd::ConnectReplyLength);
    // The serial-number commands reach a controller whose ID is not known.
    if (id == cmd::AnyControllerId && StartsWith(rest, cmd::IdBySerial))
        return AnswerSerialLookup(rest.substr(std::string_view(cmd::IdBySerial).size()));
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
        if (newId.size() != Width(cmd::ControllerIdLength))
            return std::nullopt;
        config_.id = std::string(newId);
    }
    return Reply(config_.id + cmd::IdBySerial, cmd::IdBySerialReplyLength);
}

std::optional<std::string> ControllerModel::AnswerAddressed(std::string_view rest)
{
    const std::string& id = config_.id;
    auto withParams = [&](std::string_view code) {
        return StartsWith(rest, code) ? std::optional(rest.substr(code.size())) : std::nullopt;
    };

    if (rest == cmd::Describe)
        return Reply(id + cmd::Describe + config_.model + config_.version, cmd::DescribeReplyLength);
    if (rest == cmd::SerialNumber)
        return Reply(id + cmd::SerialNumber + config_.serial, cmd::SerialNumberReplyLength);
    if (const auto params = withParams(cmd::SetModelName)) {
        // The model name setting: the designation, then optionally the
        // version.
        const std::size_t width = Width(cmd::ModelNameLength);
        if (params->size() < width)
            return std::nullopt;
        config_.model = std::string(params->substr(0, width));
        if (params->size() > width)
            config_.version = Fit(std::string(params->substr(width)), Width(cmd::VersionLength), '0', Pad::Left);
        return Ack(cmd::SetModelName, false);
    }
    if (rest == cmd::ReadInputs)
        return Reply(id + Echo(cmd::ReadInputs) + config_.inputs, cmd::ReadInputsReplyLength);
    const auto* output = std::find(std::begin(cmd::OutputCommands), std::end(cmd::OutputCommands), rest);
    if (output != std::end(cmd::OutputCommands))
        return Ack(*output, false);
    if (rest == cmd::EndOutputs)
        return Ack(cmd::EndOutputs, false);
    if (rest == cmd::Poll) {
        std::string reply = Reply(id + cmd::Poll + Fit(now_(), Width(cmd::DateTimeLength), '0', Pad::Right),
                                  cmd::PollReplyLength);
        if (config_.records.empty())
            return reply;
        const EventRecord& r = config_.records.front();
        return Reply(reply + r.tag + r.timestamp + r.code + r.value, cmd::PollRecordReplyLength);
    }
    if (rest == cmd::Acknowledge) {
        if (!config_.records.empty())
            config_.records.erase(config_.records.begin());
        return Ack(cmd::Acknowledge, false);
    }
    if (const auto params = withParams(cmd::SetDateTime)) {
        if (params->size() == Width(cmd::DateTimeLength) && AllDigits(*params))
            return Ack(cmd::SetDateTime, true);
        return std::nullopt;
    }
    if (const auto params = withParams(cmd::Alarm)) {
        if (params->size() == 1 && AllDigits(*params) && (*params)[0] - '0' < cmd::AlarmCount)
            return Ack(cmd::Alarm, true);
        return std::nullopt;
    }
    for (const char* code : {cmd::FactoryReset, cmd::Reboot, cmd::Line19200, cmd::Line115200})
        if (rest == code)
            return Ack(code, false);
    if (const auto params = withParams(cmd::ModuleCommand))
        return AnswerG4(*params);
    if (StartsWith(rest, cmd::G6PassThrough))
        return AnswerG6(rest);
    return std::nullopt;
}

std::optional<std::string> ControllerModel::AnswerG4(std::string_view rest)
{
    // rest: type letter, then either "0C" + serial + new ID, or the module ID
    // digit and the module command.
    if (rest.size() < 3 || std::string_view(cmd::ModuleTypeLetters).find(rest[0]) == std::string_view::npos)
        return std::nullopt;
    const char type = rest[0];

    if (StartsWith(rest.substr(1), cmd::G4SetId)) {
        const std::string_view params = rest.substr(1 + std::string_view(cmd::G4SetId).size());
        for (auto& m : config_.g4Modules) {
            if (m.type != type || !StartsWith(params, m.serial))
                continue;
            const std::string_view newId = params.substr(m.serial.size());
            if (!AllDigits(newId) || newId.size() > 4)
                continue;
            m.id = std::stoi(std::string(newId));
            return Ack(cmd::ModuleCommand, false);
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
        const std::string head = config_.id + cmd::ModuleCommand + std::string(rest.substr(0, 2));
        if (command == cmd::G4ReadSerial)
            return Reply(head + cmd::G4ReadSerial + m.serial, cmd::G4SerialReplyLength);
        // Any other module command: a plain answer of no fixed length.
        return head + "OK";
    }
    return std::nullopt;
}

std::optional<std::string> ControllerModel::AnswerG6(std::string_view rest)
{
    const std::string& id = config_.id;
    // Replies echo the channel with the byte count of what follows, then the
    // function of the request with the address-mode bit cleared, then the
    // module's data.
    auto byIdReply = [&](const G6Module& m, std::string_view head, const std::string& data) {
        // Function, module ID, 16 characters of data.
        return G6Reply(id, G6ReplyFunction(head) + Hex4(static_cast<unsigned>(m.id)) + data, cmd::G6ShortReplyLength);
    };
    auto bySerialReply = [&](const G6Module& m, std::string_view head) {
        // Function, serial twice, module ID, 0000.
        return G6Reply(id, G6ReplyFunction(head) + m.serial + m.serial + Hex4(static_cast<unsigned>(m.id)) + "0000",
                       cmd::G6LongReplyLength);
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

    const std::string_view head = rest.substr(0, Width(cmd::G6HeadLength));
    const std::string_view params = rest.substr(head.size());
    if (head == cmd::G6ReadSerialById) {
        if (G6Module* m = findById(params))
            return byIdReply(*m, head, "0000" + m->serial + "0000");
    } else if (head == cmd::G6ReadCardType) {
        if (G6Module* m = findById(params))
            return byIdReply(*m, head, cardWords(*m));
    } else if (head == cmd::G6WriteCardType) {
        // Module ID, three words, 0000.
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
        return byIdReply(*m, head, cardWords(*m));
    } else if (head == cmd::G6ReadIdBySerial) {
        if (G6Module* m = findBySerial(params))
            return bySerialReply(*m, head);
    } else if (head == cmd::G6SetIdBySerial) {
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
        return bySerialReply(*m, head);
    }
    return std::nullopt;
}

}  // namespace ct::sim
