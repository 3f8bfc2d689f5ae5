#include "link/FrameCodec.h"

#include <algorithm>
#include <cstring>

namespace ct::link {

namespace {

// The two 256-entry tables of CRC-16/ARC, split into the byte that becomes the
// register's next high byte and the byte folded into its low byte.
struct CrcTables {
    std::array<std::uint8_t, 256> hi{};
    std::array<std::uint8_t, 256> lo{};
};

constexpr CrcTables MakeCrcTables()
{
    CrcTables t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1U) ? (crc >> 1) ^ 0xA001U : crc >> 1;
        t.hi[i] = static_cast<std::uint8_t>(crc >> 8);
        t.lo[i] = static_cast<std::uint8_t>(crc & 0xFFU);
    }
    return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

constexpr char kHex[] = "0123456789ABCDEF";

bool HexPairIs(std::uint8_t value, const std::uint8_t* at)
{
    return at[0] == static_cast<std::uint8_t>(kHex[value >> 4])
        && at[1] == static_cast<std::uint8_t>(kHex[value & 0x0F]);
}

std::uint8_t XorChecksum(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < size; ++i)
        x ^= data[i];
    return x;
}

// The CRC-16 of frame[0..covered-1] as four hex characters at `at`.
bool CrcCharactersAre(const std::uint8_t* frame, std::size_t covered, const std::uint8_t* at)
{
    const std::uint16_t crc = Crc16(frame, covered);
    return HexPairIs(static_cast<std::uint8_t>(crc >> 8), at)
        && HexPairIs(static_cast<std::uint8_t>(crc & 0xFF), at + 2);
}

bool CheckCrc(const std::uint8_t* frame, std::size_t length)
{
    const auto* end = frame + length;
    const auto* eot = std::find(frame, end, EOT);
    if (eot == end)
        return false;
    const std::size_t covered = static_cast<std::size_t>(eot - frame) + 1;
    // The four CRC characters must lie inside the frame.
    if (covered + 4 > length)
        return false;
    return CrcCharactersAre(frame, covered, eot + 1);
}

bool CheckXor(const std::uint8_t* frame, std::size_t length)
{
    if (length < 4)
        return false;
    return HexPairIs(XorChecksum(frame, length - 3), frame + length - 3);
}

}  // namespace

std::uint8_t ReplyStartByte(Framing framing)
{
    return framing == Framing::Xor ? STX : ETX;
}

std::uint16_t Crc16(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t hi = 0;
    std::uint8_t lo = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t index = lo ^ data[i];
        lo = hi ^ kCrc.lo[index];
        hi = kCrc.hi[index];
    }
    return static_cast<std::uint16_t>((hi << 8) | lo);
}

void PutHexPair(std::uint8_t value, std::uint8_t* out)
{
    out[0] = static_cast<std::uint8_t>(kHex[value >> 4]);
    out[1] = static_cast<std::uint8_t>(kHex[value & 0x0F]);
}

std::size_t MaxCommandLength(Framing framing)
{
    return framing == Framing::Crc ? MaxCrcCommandLength : MaxXorCommandLength;
}

std::size_t EncodeRequest(Framing framing, std::string_view commandText, RequestBuffer& out)
{
    const auto nul = commandText.find('\0');
    if (nul != std::string_view::npos)
        commandText = commandText.substr(0, nul);
    const std::size_t n = commandText.size();
    if (n > MaxCommandLength(framing))
        return 0;

    out[0] = SOH;
    std::memcpy(out.data() + 1, commandText.data(), n);
    if (framing == Framing::Crc) {
        out[n + 1] = STX;
        const std::uint16_t crc = Crc16(out.data(), n + 2);
        PutHexPair(static_cast<std::uint8_t>(crc >> 8), out.data() + n + 2);
        PutHexPair(static_cast<std::uint8_t>(crc & 0xFF), out.data() + n + 4);
        out[n + 6] = CR;
        return n + 7;
    }
    PutHexPair(XorChecksum(out.data(), n + 1), out.data() + n + 1);
    out[n + 3] = CR;
    return n + 4;
}

std::string EncodeRequestString(Framing framing, std::string_view commandText)
{
    RequestBuffer buffer;
    const std::size_t size = EncodeRequest(framing, commandText, buffer);
    return std::string(reinterpret_cast<const char*>(buffer.data()), size);
}

bool CheckReply(Framing framing, const std::uint8_t* frame, std::size_t length)
{
    return framing == Framing::Crc ? CheckCrc(frame, length) : CheckXor(frame, length);
}

std::string EncodeReply(Framing framing, std::string_view replyText)
{
    std::string frame;
    frame.reserve(replyText.size() + CrcReplyOverhead);
    frame.push_back(static_cast<char>(ReplyStartByte(framing)));
    frame.append(replyText);
    std::uint8_t hex[4];
    if (framing == Framing::Crc) {
        frame.push_back(static_cast<char>(EOT));
        const std::uint16_t crc = Crc16(frame);
        PutHexPair(static_cast<std::uint8_t>(crc >> 8), hex);
        PutHexPair(static_cast<std::uint8_t>(crc & 0xFF), hex + 2);
        frame.append(reinterpret_cast<const char*>(hex), 4);
    } else {
        PutHexPair(XorChecksum(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size()), hex);
        frame.append(reinterpret_cast<const char*>(hex), 2);
    }
    frame.push_back(static_cast<char>(CR));
    return frame;
}

void FrameAssembler::Reset(std::uint8_t startByte)
{
    start_ = startByte;
    position_ = 0;
    length_ = 0;
    buffer_.fill(0);
}

AssembleStatus FrameAssembler::Feed(std::uint8_t byte)
{
    if (byte == start_)
        position_ = 0;
    // After a completed frame the position is 0 as well: a byte other than the
    // start byte lands at offset 0 and keeps every CR from closing a frame
    // until the next start byte.
    buffer_[position_++] = byte;
    if (position_ > longest_) {
        // A frame longer than its longest is never accepted: wrap, and make sure
        // offset 0 no longer holds a start byte so that no CR can close what is
        // left of the lost frame.
        position_ = 0;
        length_ = 0;
        buffer_[0] = 0;
        return AssembleStatus::Incomplete;
    }
    if (byte == CR && buffer_[0] == start_) {
        buffer_[position_] = 0;
        length_ = position_;
        position_ = 0;
        return AssembleStatus::Complete;
    }
    return AssembleStatus::Incomplete;
}

std::string FrameAssembler::Text() const
{
    const auto* begin = reinterpret_cast<const char*>(buffer_.data());
    const auto* end = begin + position();
    return std::string(begin, std::find(begin, end, '\0'));
}

// SOH, n text bytes, STX at n + 1, CRC characters at n + 2 .. n + 5, CR at
// n + 6: the CRC covers the first length - 5 bytes.
bool RequestAssembler::Check() const
{
    const std::size_t length = position();
    const std::uint8_t* frame = data();
    return length >= 7 && frame[length - 6] == STX && CrcCharactersAre(frame, length - 5, frame + length - 5);
}

std::string_view RequestAssembler::CommandText() const
{
    const std::size_t length = position();
    if (length < 7)
        return {};
    return std::string_view(reinterpret_cast<const char*>(data()) + 1, length - 7);
}

std::string EscapeBytes(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c <= 0x7E) {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string ReplyField(std::string_view text, int position, int count)
{
    if (position < 1)
        position = 1;
    if (count <= 0 || static_cast<std::size_t>(position) > text.size())
        return {};
    return std::string(text.substr(static_cast<std::size_t>(position) - 1, static_cast<std::size_t>(count)));
}

}  // namespace ct::link
