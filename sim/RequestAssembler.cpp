#include "sim/RequestAssembler.h"

namespace ct::sim {

namespace {

bool IsHexPairOf(std::uint8_t value, const std::uint8_t* at)
{
    std::uint8_t expected[2];
    link::PutHexPair(value, expected);
    return at[0] == expected[0] && at[1] == expected[1];
}

}  // namespace

RequestStatus RequestAssembler::Feed(std::uint8_t byte)
{
    if (byte == link::SOH)
        position_ = 0;
    buffer_[position_++] = byte;
    if (position_ == buffer_.size()) {
        // Too long for any request: drop it and wait for the next SOH.
        position_ = 0;
        buffer_[0] = 0;
        return RequestStatus::Incomplete;
    }
    if (byte != link::CR || buffer_[0] != link::SOH)
        return RequestStatus::Incomplete;

    const std::size_t length = position_;
    position_ = 0;
    const auto* frame = buffer_.data();
    // Clearing offset 0 afterwards means only an SOH can begin the next frame.
    // SOH, n text bytes, STX at n + 1, CRC at n + 2 .. n + 5, CR at n + 6.
    const bool framed = length >= 7 && frame[length - 6] == link::STX;
    if (framed) {
        const std::uint16_t crc = link::Crc16(frame, length - 5);
        if (IsHexPairOf(static_cast<std::uint8_t>(crc >> 8), frame + length - 5)
            && IsHexPairOf(static_cast<std::uint8_t>(crc & 0xFF), frame + length - 3)) {
            text_.assign(reinterpret_cast<const char*>(frame) + 1, length - 7);
            buffer_[0] = 0;
            return RequestStatus::Valid;
        }
    }
    text_.assign(reinterpret_cast<const char*>(frame), length);
    buffer_[0] = 0;
    return RequestStatus::BadCheck;
}

}  // namespace ct::sim
