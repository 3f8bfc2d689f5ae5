#include "sim/FaultPlan.h"

#include "link/FrameCodec.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace ct::sim {

namespace {

constexpr std::chrono::milliseconds kDefaultSplitGap{50};
constexpr std::chrono::milliseconds kDefaultDelay{1500};

std::vector<std::string> Split(const std::string& s, char separator)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = s.find(separator, start);
        fields.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return fields;
        start = at + 1;
    }
}

std::optional<long> ParseInt(const std::string& s)
{
    if (s.empty() || s.size() > 9)
        return std::nullopt;
    char* end = nullptr;
    const long value = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0')
        return std::nullopt;
    return value;
}

bool AllDigits(const std::string& s, std::size_t n)
{
    return s.size() == n && std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

void FaultSet::Add(const Fault& fault)
{
    if (fault.times != 0)
        faults_.push_back(fault);
}

std::vector<Fault> FaultSet::Take(std::string_view commandCode)
{
    std::vector<Fault> applied;
    for (auto& f : faults_) {
        if (commandCode.substr(0, f.command.size()) != f.command)
            continue;
        applied.push_back(f);
        if (f.times > 0)
            --f.times;
    }
    faults_.erase(std::remove_if(faults_.begin(), faults_.end(), [](const Fault& f) { return f.times == 0; }),
                  faults_.end());
    return applied;
}

std::string NoiseBytes(int count)
{
    static constexpr char kNoise[] = {'\x7E', '\xFF', '\r', '\x00', 'N', '\x04'};
    std::string noise;
    for (int i = 0; i < count; ++i)
        noise.push_back(kNoise[static_cast<std::size_t>(i) % sizeof kNoise]);
    return noise;
}

std::vector<ReplyChunk> RenderReply(std::string_view replyText, const std::vector<Fault>& faults)
{
    bool wrongCrc = false;
    bool lowerCrc = false;
    bool nulInside = false;
    bool split = false;
    int extra = 0;
    int noise = 0;
    int longer = 0;
    std::chrono::milliseconds gap{0};
    std::chrono::milliseconds delay{0};
    for (const auto& f : faults) {
        switch (f.kind) {
        case FaultKind::NoAnswer: return {};
        case FaultKind::WrongCrc: wrongCrc = true; break;
        case FaultKind::LowerCaseCrc: lowerCrc = true; break;
        case FaultKind::ExtraBytes: extra += std::max(f.count, 0); break;
        case FaultKind::NulInside: nulInside = true; break;
        case FaultKind::NoiseBefore: noise += std::max(f.count, 0); break;
        case FaultKind::SplitBytes:
            split = true;
            gap = std::max(gap, f.gap);
            break;
        case FaultKind::Delay: delay += f.delay; break;
        case FaultKind::WrongLength: longer += std::max(f.count, 0); break;
        }
    }

    std::string text(replyText);
    text.append(static_cast<std::size_t>(longer), '0');
    if (nulInside && !text.empty())
        text.back() = '\0';
    std::string frame = link::EncodeReply(link::Framing::Crc, text);
    // ETX, text, EOT, four CRC characters, CR.
    const std::size_t crcAt = frame.size() - 5;
    if (wrongCrc) {
        const std::uint16_t crc = link::Crc16(std::string_view(frame).substr(0, crcAt));
        // Both bytes differ from the right ones.
        const auto wrong = static_cast<std::uint16_t>(crc ^ 0x5A5AU);
        std::uint8_t hex[4];
        link::PutHexPair(static_cast<std::uint8_t>(wrong >> 8), hex);
        link::PutHexPair(static_cast<std::uint8_t>(wrong & 0xFF), hex + 2);
        frame.replace(crcAt, 4, reinterpret_cast<const char*>(hex), 4);
    }
    if (lowerCrc)
        for (std::size_t i = crcAt; i < crcAt + 4; ++i)
            frame[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(frame[i])));
    frame.insert(frame.size() - 1, static_cast<std::size_t>(extra), 'X');
    frame.insert(0, NoiseBytes(noise));

    if (!split)
        return {ReplyChunk{delay, frame}};
    std::vector<ReplyChunk> chunks;
    chunks.reserve(frame.size());
    for (std::size_t i = 0; i < frame.size(); ++i)
        chunks.push_back(ReplyChunk{i == 0 ? delay : gap, std::string(1, frame[i])});
    return chunks;
}

std::string RenderXorReply(link::Framing framing, std::string_view replyText, bool spoiltCheck)
{
    std::string frame = link::EncodeReply(framing, replyText);
    if (spoiltCheck) {
        // Start byte, text, two checksum characters, CR.
        const std::size_t at = frame.size() - 3;
        std::uint8_t x = 0;
        for (std::size_t i = 0; i < at; ++i)
            x = static_cast<std::uint8_t>(x ^ static_cast<std::uint8_t>(frame[i]));
        std::uint8_t hex[2];
        link::PutHexPair(static_cast<std::uint8_t>(x ^ 0x5AU), hex);
        frame.replace(at, 2, reinterpret_cast<const char*>(hex), 2);
    }
    return frame;
}

std::optional<Fault> ParseFaultOption(const std::string& option)
{
    static const struct {
        const char* name;
        FaultKind kind;
    } kKinds[] = {
        {"no-answer", FaultKind::NoAnswer},     {"wrong-crc", FaultKind::WrongCrc},
        {"lower-crc", FaultKind::LowerCaseCrc}, {"extra-bytes", FaultKind::ExtraBytes},
        {"nul-inside", FaultKind::NulInside},   {"noise-before", FaultKind::NoiseBefore},
        {"split-bytes", FaultKind::SplitBytes}, {"delay", FaultKind::Delay},
        {"wrong-length", FaultKind::WrongLength},
    };
    const auto fields = Split(option, ':');
    if (fields.size() > 4)
        return std::nullopt;
    Fault fault;
    const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                   [&](const auto& k) { return fields[0] == k.name; });
    if (kind == std::end(kKinds))
        return std::nullopt;
    fault.kind = kind->kind;
    fault.times = -1;
    fault.gap = kDefaultSplitGap;
    fault.delay = kDefaultDelay;
    if (fields.size() > 1)
        fault.command = fields[1];
    if (fields.size() > 2 && !fields[2].empty()) {
        const auto times = ParseInt(fields[2]);
        if (!times || (*times < 1 && *times != -1))
            return std::nullopt;
        fault.times = static_cast<int>(*times);
    }
    if (fields.size() > 3) {
        const auto arg = ParseInt(fields[3]);
        if (!arg || *arg < 0)
            return std::nullopt;
        fault.count = static_cast<int>(*arg);
        fault.gap = fault.delay = std::chrono::milliseconds(*arg);
    }
    return fault;
}

std::optional<EventRecord> ParseRecordOption(const std::string& option)
{
    const auto fields = Split(option, ',');
    if (fields.size() != 4 || fields[0].size() != 1 || !AllDigits(fields[1], 14) || fields[2].size() != 4
        || fields[3].size() != 5)
        return std::nullopt;
    EventRecord record;
    record.tag = fields[0][0];
    record.timestamp = fields[1];
    record.code = fields[2];
    record.value = fields[3];
    return record;
}

}  // namespace ct::sim

namespace ct::sim {

std::optional<LoaderFault> ParseLoaderFaultOption(const std::string& option)
{
    static const struct {
        const char* name;
        LoaderFault::Kind kind;
    } kKinds[] = {
        {"fail-program", LoaderFault::Kind::FailProgram},
        {"fail-verify", LoaderFault::Kind::FailVerify},
        {"lower-verify", LoaderFault::Kind::LowerCaseVerify},
        {"silent-from", LoaderFault::Kind::SilentFrom},
    };
    const auto fields = Split(option, ':');
    if (fields.size() < 2 || fields.size() > 3)
        return std::nullopt;
    const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                   [&](const auto& k) { return fields[0] == k.name; });
    const auto block = ParseInt(fields[1]);
    if (kind == std::end(kKinds) || !block || *block < 0)
        return std::nullopt;
    LoaderFault fault;
    fault.kind = kind->kind;
    fault.block = static_cast<int>(*block);
    if (fields.size() > 2) {
        const auto times = ParseInt(fields[2]);
        if (!times || (*times < 1 && *times != -1))
            return std::nullopt;
        fault.times = static_cast<int>(*times);
    }
    return fault;
}

std::optional<LoaderKind> ParseLoaderOption(const std::string& option)
{
    if (option == "512")
        return LoaderKind::Block512;
    if (option == "256")
        return LoaderKind::Block256;
    if (option == "64")
        return LoaderKind::Block64;
    if (option == "none")
        return LoaderKind::None;
    return std::nullopt;
}

}  // namespace ct::sim
