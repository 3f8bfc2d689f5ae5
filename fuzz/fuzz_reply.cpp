// Feeds arbitrary bytes to the frame assembler on both sides (the tool's reply
// assembler in every framing, the controller's request assembler) and to the
// checks of every framing: nothing may crash or overrun, no frame of 1500
// bytes or more may ever be accepted, and a request that passes its check is
// exactly the encoding of its command text.
#include "link/FrameCodec.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace ct::link;

namespace {

// A completed frame: start byte first, CR last, shorter than the buffer.
void CheckCompleted(const std::uint8_t* frame, std::size_t length, std::uint8_t start)
{
    if (length < 2 || length >= FrameBufferSize)
        std::abort();
    if (frame[0] != start || frame[length - 1] != CR)
        std::abort();
    // The first CR after the start byte closes the frame, and a start byte
    // restarts it: neither is inside.
    for (std::size_t i = 1; i + 1 < length; ++i)
        if (frame[i] == CR || frame[i] == start)
            std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the framing, the rest is the received stream. The
    // controller's side feeds on across completed frames; the link resets
    // between transactions, and the first byte's high bit makes the reply
    // side do so after each frame.
    const Framing framing = static_cast<Framing>(data[0] % 3);
    const bool resetAfterFrame = (data[0] & 0x80) != 0;
    ReplyAssembler replies(framing);
    RequestAssembler requests;
    for (std::size_t i = 1; i < size; ++i) {
        if (replies.Feed(data[i]) == AssembleStatus::Complete) {
            const std::size_t length = replies.position();
            CheckCompleted(replies.data(), length, ReplyStartByte(framing));
            if (replies.Text().size() > length)
                std::abort();
            // The check of a completed frame must agree with the check of the
            // same bytes given on their own.
            if (replies.Check() != CheckReply(framing, replies.data(), length))
                std::abort();
            if (resetAfterFrame)
                replies.Reset(framing);
        }
        if (requests.Feed(data[i]) == AssembleStatus::Complete) {
            const std::size_t length = requests.position();
            CheckCompleted(requests.data(), length, SOH);
            if (requests.Check()) {
                const std::string_view text = requests.CommandText();
                if (text.size() + 7 != length)
                    std::abort();
                // Without a NUL in it (the encoder cuts there), the command
                // text encodes to the very frame.
                if (text.find('\0') == std::string_view::npos) {
                    RequestBuffer again;
                    if (EncodeRequest(Framing::Crc, text, again) != length
                        || std::memcmp(again.data(), requests.data(), length) != 0)
                        std::abort();
                }
            }
        }
    }
    // The checks on their own accept any bytes.
    CheckReply(Framing::Crc, data, size);
    CheckReply(Framing::Xor, data, size);
    // Encoding any text either fits or is refused.
    RequestBuffer request;
    const std::string command(reinterpret_cast<const char*>(data), size);
    const std::size_t n = EncodeRequest(framing, command, request);
    if (n > FrameBufferSize)
        std::abort();
    return 0;
}
