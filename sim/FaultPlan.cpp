#include "sim/FaultPlan.h"

#include "sim/LineFields.h"

#include "link/FrameCodec.h"

#include <algorithm>
#include <cctype>

namespace ct::sim {

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
    const auto fields = SplitFields(option, ':');
    if (fields.size() > 4)
        return std::nullopt;
    Fault fault = FaultFieldDefaults();
    const auto& table = FaultFields();
    if (!SetField(table, "kind", fault, fields[0]))
        return std::nullopt;
    if (fields.size() > 1 && !fields[1].empty() && !SetField(table, "command", fault, fields[1]))
        return std::nullopt;
    if (fields.size() > 2 && !fields[2].empty() && !SetField(table, "times", fault, fields[2]))
        return std::nullopt;
    if (fields.size() > 3 && !SetField(table, FaultArgumentField(fault.kind), fault, fields[3]))
        return std::nullopt;
    return fault;
}

std::optional<EventRecord> ParseRecordOption(const std::string& option)
{
    const auto fields = SplitFields(option, ',');
    if (fields.size() != 4)
        return std::nullopt;
    EventRecord record;
    const auto& table = RecordFields();
    if (!SetField(table, "tag", record, fields[0]) || !SetField(table, "time", record, fields[1])
        || !SetField(table, "code", record, fields[2]) || !SetField(table, "value", record, fields[3]))
        return std::nullopt;
    return record;
}

std::optional<LoaderFault> ParseLoaderFaultOption(const std::string& option)
{
    const auto fields = SplitFields(option, ':');
    if (fields.size() < 2 || fields.size() > 3)
        return std::nullopt;
    LoaderFault fault;
    const auto& table = LoaderFaultFields();
    if (!SetField(table, "kind", fault, fields[0]) || !SetField(table, "block", fault, fields[1])
        || (fields.size() > 2 && !SetField(table, "times", fault, fields[2])))
        return std::nullopt;
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
