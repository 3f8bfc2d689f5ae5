// Feeds arbitrary bytes to the reply assembler and the checks of every
// framing: nothing may crash or overrun, and no frame of 1500 bytes or more
// may ever be accepted.
#include "link/FrameCodec.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace ct::link;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the framing, the rest is the received stream.
    const Framing framing = static_cast<Framing>(data[0] % 3);
    ReplyAssembler assembler(framing);
    for (std::size_t i = 1; i < size; ++i) {
        if (assembler.Feed(data[i]) != AssembleStatus::Complete)
            continue;
        const std::size_t length = assembler.position();
        if (length == 0 || length >= FrameBufferSize)
            std::abort();
        if (assembler.data()[0] != ReplyStartByte(framing) || assembler.data()[length - 1] != CR)
            std::abort();
        const std::string text = assembler.Text();
        if (text.size() > length)
            std::abort();
        // The check of a completed frame must agree with the check of the same
        // bytes given on their own.
        if (assembler.Check() != CheckReply(framing, assembler.data(), length))
            std::abort();
        assembler.Reset(framing);
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
