// Frame codec: the bytes of request and reply frames, their two integrity
// checks and the assembly of a frame from a byte stream.
//
// Pure functions and small value types over bytes; no I/O, no Qt, no
// allocation on the per-byte path. The transport feeds every received byte to
// ReplyAssembler::Feed in arrival order and, once a frame completes, asks
// Check for the transaction's result. The substitute controller takes its
// requests apart with RequestAssembler, the same assembler started by SOH.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ct::link {

inline constexpr std::uint8_t SOH = 0x01;
inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t ETX = 0x03;
inline constexpr std::uint8_t EOT = 0x04;
inline constexpr std::uint8_t CR = 0x0D;

// Request and reply frames are built in buffers of this size.
inline constexpr std::size_t FrameBufferSize = 1500;
// Longest command text each request framing takes (1500 minus its overhead).
inline constexpr std::size_t MaxCrcCommandLength = FrameBufferSize - 7;
inline constexpr std::size_t MaxXorCommandLength = FrameBufferSize - 4;
// Bytes of a CRC reply frame around its reply text: ETX, EOT, four CRC
// characters, CR (ReplyLength = length of the reply text + 7).
inline constexpr std::size_t CrcReplyOverhead = 7;

// The three framing variants, one per transaction of the link.
enum class Framing {
    Crc,     // CRC-16 request, reply from ETX with CRC-16 over ETX..EOT
    Xor,     // XOR request, reply from STX with XOR checksum
    XorEtx,  // XOR request, reply from ETX with XOR checksum
};

// The byte that starts a reply in the given framing.
std::uint8_t ReplyStartByte(Framing framing);

// CRC-16/ARC (poly 0xA001 reflected, init 0, no final XOR), table-driven.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t size);
inline std::uint16_t Crc16(std::string_view s)
{
    return Crc16(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

// Two upper-case hex characters for a byte, high nibble first.
void PutHexPair(std::uint8_t value, std::uint8_t* out);

using RequestBuffer = std::array<std::uint8_t, FrameBufferSize>;

// The longest command text the framing's request buffer takes.
std::size_t MaxCommandLength(Framing framing);

// Encodes one request frame into `out`. The command text counts up to its
// first NUL. Returns the frame's byte count (n + 7 for CRC framing, n + 4 for
// XOR framing), or 0 when the text does not fit the request buffer: nothing is
// then written past the buffer and nothing may be sent.
std::size_t EncodeRequest(Framing framing, std::string_view commandText, RequestBuffer& out);

// Convenience for tests and tools: the frame as a byte string, empty when the
// text does not fit.
std::string EncodeRequestString(Framing framing, std::string_view commandText);

// Checks a completed reply frame b[0..length-1] (start byte first, CR last).
bool CheckReply(Framing framing, const std::uint8_t* frame, std::size_t length);
inline bool CheckReply(Framing framing, std::string_view frame)
{
    return CheckReply(framing, reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size());
}

// Builds a well-formed reply frame around a reply text (start byte, text,
// terminator and check, CR). Used by the substitute controller and tests.
std::string EncodeReply(Framing framing, std::string_view replyText);

enum class AssembleStatus {
    Incomplete,  // wait for more bytes
    Complete,    // a frame from the start byte through CR is in the buffer
};

// A frame buffer of FrameBufferSize bytes with its write position: assembles
// frames that begin with a given start byte and end with CR.
//
// A start byte always restarts the frame; the first CR after it closes the
// frame. Bytes before the first start byte cannot complete a frame, so the
// assembler resynchronises on the start byte. A frame that grows past its
// longest length is dropped whole and never completes: a reply of
// FrameBufferSize bytes or more is never accepted, while a request may fill
// the whole buffer (a command text of MaxCrcCommandLength characters). The byte after a
// completed frame begins the next one, so a stream of frames can be fed
// without a Reset in between; the completed frame stays readable until then.
class FrameAssembler {
public:
    explicit FrameAssembler(std::uint8_t startByte, std::size_t longestFrame = FrameBufferSize - 1)
        : start_(startByte), longest_(longestFrame)
    {
    }

    // Clears the buffer to zero and the write position to 0, and sets the
    // start byte.
    void Reset(std::uint8_t startByte);

    AssembleStatus Feed(std::uint8_t byte);

    // Bytes stored so far; after Complete, the frame's length (start byte and
    // CR included).
    std::size_t position() const { return position_ != 0 ? position_ : length_; }
    const std::uint8_t* data() const { return buffer_.data(); }
    // The completed frame as text, cut at its first NUL.
    std::string Text() const;

private:
    std::uint8_t start_;
    std::size_t longest_;  // at most FrameBufferSize
    // The write position. A completed frame sets it back to 0 and leaves its
    // length in length_, so the next byte overwrites offset 0 and thereby
    // begins a new frame without a test of its own on the per-byte path.
    std::size_t position_ = 0;
    std::size_t length_ = 0;
    // One spare byte so that the NUL after a CR at the last position fits.
    std::array<std::uint8_t, FrameBufferSize + 1> buffer_{};
};

// RxBuffer: the tool's side, one reply frame per transaction in the given
// framing (started by its ReplyStartByte).
class ReplyAssembler : private FrameAssembler {
public:
    explicit ReplyAssembler(Framing framing = Framing::Crc)
        : FrameAssembler(ReplyStartByte(framing)), framing_(framing)
    {
    }

    // Clears the buffer to zero and the write position to 0 (start of every
    // transaction).
    void Reset(Framing framing)
    {
        framing_ = framing;
        FrameAssembler::Reset(ReplyStartByte(framing));
    }

    using FrameAssembler::data;
    using FrameAssembler::Feed;
    using FrameAssembler::position;
    using FrameAssembler::Text;

    // Valid after Feed returned Complete.
    bool Check() const { return CheckReply(framing_, data(), position()); }

private:
    Framing framing_;
};

// The controller's side: request frames in the CRC framing (SOH, command
// text, STX, four CRC characters, CR), taken from a continuous byte stream.
class RequestAssembler : private FrameAssembler {
public:
    RequestAssembler() : FrameAssembler(SOH, FrameBufferSize) {}

    using FrameAssembler::data;
    using FrameAssembler::Feed;
    using FrameAssembler::position;

    // Valid after Feed returned Complete: true if the frame is a CRC request
    // (at least seven bytes, STX before the four CRC characters) whose CRC
    // characters are the upper-case hex pairs of the CRC-16 of SOH through
    // STX.
    bool Check() const;
    // After Complete and a passed Check: the command text, every byte between
    // the SOH and the STX.
    std::string_view CommandText() const;
};

// Bytes as one line of text: 0x20-0x7E as they are except the backslash,
// written \\, and every other byte as \xHH (upper-case hex digits).
std::string EscapeBytes(std::string_view bytes);

// Substring by 1-based position and count, as the reply fields are read:
// a start beyond the end gives an empty string, a count running past the end
// is cut there, a start below 1 counts from 1.
std::string ReplyField(std::string_view text, int position, int count);

}  // namespace ct::link
