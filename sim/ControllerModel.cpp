#include "sim/ControllerModel.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"

#include "sim/LineSetting.h"

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

EventRecord Normalised(EventRecord r)
{
    r.timestamp = Fit(r.timestamp, Width(cmd::DateTimeLength), '0', Pad::Right);
    r.code = Fit(r.code, kRecordCodeWidth, '0', Pad::Left);
    r.value = Fit(r.value, kRecordValueWidth, '0', Pad::Left);
    return r;
}

bool SameRecord(const EventRecord& a, const EventRecord& b)
{
    return a.tag == b.tag && a.timestamp == b.timestamp && a.code == b.code && a.value == b.value;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar, and
// back; exact for every year the four digits can hold.
long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

struct Civil {
    long long year;
    unsigned month;
    unsigned day;
};

Civil CivilFromDays(long long z)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<long long>(yoe) + era * 400 + (m <= 2), m, d};
}

unsigned DaysInMonth(long long y, unsigned m)
{
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

// Seconds since 1970 of yyyymmddhhnnss, read as a plain calendar time (no
// time zone, so no hour is skipped or repeated); nothing unless a real one.
std::optional<long long> Seconds(std::string_view t)
{
    if (t.size() != Width(cmd::DateTimeLength) || !AllDigits(t))
        return std::nullopt;
    auto field = [&](std::size_t at, std::size_t n) { return static_cast<unsigned>(std::stoul(std::string(t.substr(at, n)))); };
    const long long year = field(0, 4);
    const unsigned month = field(4, 2), day = field(6, 2);
    const unsigned hour = field(8, 2), minute = field(10, 2), second = field(12, 2);
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59
        || second > 59)
        return std::nullopt;
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::string DateTimeDigits(long long seconds)
{
    const long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const long long inDay = seconds - days * 86400;
    const Civil c = CivilFromDays(days);
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%04lld%02u%02u%02lld%02lld%02lld", c.year, c.month, c.day, inDay / 3600,
                  inDay / 60 % 60, inDay % 60);
    return buffer;
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
    for (auto& r : c.records)
        r = Normalised(std::move(r));
    return c;
}

}  // namespace

std::string LocalNow()
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%d%H%M%S", &local);
    return buffer;
}

bool IsDateTime(std::string_view digits)
{
    return Seconds(digits).has_value();
}

ControllerModel::ControllerModel(ControllerConfig config, NowFunction now)
    : config_(Normalised(std::move(config))), now_(std::move(now))
{
}

void ControllerModel::SetConfig(ControllerConfig config)
{
    config_ = Normalised(std::move(config));
    // A controller whose loader was taken away is back in its application.
    if (loader_.active() && loader_.kind() != config_.loader)
        loader_.Leave();
    // An "IB" still acknowledges the record shown only if it is still first.
    if (recordShown_ && !config_.records.empty()) {
        recordShown_ = SameRecord(config_.records.front(), shownRecord_);
    } else {
        recordShown_ = false;
    }
}

void ControllerModel::SetInputs(std::string inputs)
{
    config_.inputs = Fit(std::move(inputs), Width(cmd::InputCount), '0', Pad::Right);
}

void ControllerModel::QueueRecord(EventRecord record)
{
    config_.records.push_back(Normalised(std::move(record)));
}

bool ControllerModel::SetLine(std::string line)
{
    if (!ParseLineSetting(line))
        return false;
    config_.line = std::move(line);
    return true;
}

std::string ControllerModel::ControllerTime() const
{
    const std::string pc = now_();
    if (!clockOffset_)
        return pc;
    const auto pcSeconds = Seconds(pc);
    // A PC clock that cannot be read leaves the controller's clock where it
    // was set.
    return DateTimeDigits((pcSeconds ? *pcSeconds : 0) + *clockOffset_);
}

bool ControllerModel::SetControllerTime(std::string_view digits)
{
    const auto set = Seconds(digits);
    if (!set)
        return false;
    const auto pc = Seconds(now_());
    clockOffset_ = *set - (pc ? *pc : 0);
    return true;
}

// The ID and as much of the command code as the acknowledgement holds.
std::string ControllerModel::Ack(std::string_view code, bool allowShort) const
{
    const int length = allowShort && config_.shortAck ? cmd::ShortAckReplyLength : cmd::AckReplyLength;
    return Reply((config_.id + std::string(code)).substr(0, TextLength(length)), length);
}

std::optional<std::string> ControllerModel::Answer(std::string_view commandText)
{
    auto response = Respond(commandText, link::Framing::Crc);
    if (!response || response->framing != link::Framing::Crc || response->spoiltCheck)
        return std::nullopt;
    return std::move(response->text);
}

std::optional<Response> ControllerModel::Respond(std::string_view commandText, link::Framing heard)
{
    if (loader_.active())
        return loader_.Answer(commandText, heard, config_.id, config_.loaderFaults);
    if (heard != link::Framing::Crc)
        return std::nullopt;
    const std::size_t idLength = Width(cmd::ControllerIdLength);
    if (commandText.substr(0, idLength) == config_.id)
        if (auto entered = loader_.Enter(config_.loader, config_.id, commandText.substr(idLength)))
            return entered;
    auto text = AnswerApplication(commandText);
    if (!text)
        return std::nullopt;
    return Response{std::move(*text), link::Framing::Crc, false};
}

std::optional<std::string> ControllerModel::AnswerApplication(std::string_view commandText)
{
    const std::size_t idLength = Width(cmd::ControllerIdLength);
    if (commandText.size() < idLength + 2)
        return std::nullopt;
    const std::string_view id = commandText.substr(0, idLength);
    const std::string_view rest = commandText.substr(idLength);

    // "AC" finds a lone controller whatever ID the tool addressed; the reply
    // tells it the real one.
    if (rest == cmd::Connect && (connectAnyId_ || id == config_.id))
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
        std::string reply = Reply(id + cmd::Poll + Fit(ControllerTime(), Width(cmd::DateTimeLength), '0', Pad::Right),
                                  cmd::PollReplyLength);
        recordShown_ = !config_.records.empty();
        if (!recordShown_)
            return reply;
        const EventRecord& r = config_.records.front();
        shownRecord_ = r;
        return Reply(reply + r.tag + r.timestamp + r.code + r.value, cmd::PollRecordReplyLength);
    }
    if (rest == cmd::Acknowledge) {
        // Only the record a poll reply carried is acknowledged: a repeated or
        // stray "IB" must not drop one the tool never saw.
        if (recordShown_)
            config_.records.erase(config_.records.begin());
        recordShown_ = false;
        return Ack(cmd::Acknowledge, false);
    }
    if (const auto params = withParams(cmd::SetDateTime)) {
        if (!SetControllerTime(*params))
            return std::nullopt;
        return Ack(cmd::SetDateTime, true);
    }
    if (const auto params = withParams(cmd::Alarm)) {
        if (params->size() != 1 || !AllDigits(*params) || (*params)[0] - '0' >= cmd::AlarmCount)
            return std::nullopt;
        config_.alarm = (*params)[0] - '0';
        return Ack(cmd::Alarm, true);
    }
    if (rest == cmd::FactoryReset) {
        config_.alarm = 0;
        config_.records.clear();
        recordShown_ = false;
        clockOffset_.reset();
        ++factoryResets_;
        return Ack(cmd::FactoryReset, false);
    }
    if (rest == cmd::Reboot) {
        recordShown_ = false;
        ++reboots_;
        return Ack(cmd::Reboot, false);
    }
    // The reply still goes out at the old speed: the service checks the line
    // before it answers, and this request has been heard already.
    if (rest == cmd::Line19200 || rest == cmd::Line115200) {
        config_.line = rest == cmd::Line19200 ? cmd::Line19200Settings : cmd::Line115200Settings;
        return Ack(rest, false);
    }
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
        // Not module 0 with a command "C...": the tool takes any answer to a
        // set as success, so a module 0 answering here would hide that the
        // serial number is nobody's.
        return std::nullopt;
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
