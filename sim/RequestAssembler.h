// The controller's side of the request framing: collects request frames
// (SOH, command text, STX, four CRC characters, CR) from a byte stream and
// checks them.
//
// Like the tool's reply assembler, an SOH always starts a new frame and the
// first CR after it closes the frame; bytes before an SOH never complete a
// frame, and a frame that grows to the request buffer's size is dropped.
#pragma once

#include "link/FrameCodec.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ct::sim {

enum class RequestStatus {
    Incomplete,  // wait for more bytes
    Valid,       // a frame with a correct CRC; Text() is its command text
    BadCheck,    // a frame that closed but is not a correct CRC request
};

class RequestAssembler {
public:
    RequestStatus Feed(std::uint8_t byte);

    // After Valid: the command text. After BadCheck: the frame as received.
    const std::string& Text() const { return text_; }

private:
    std::size_t position_ = 0;
    std::array<std::uint8_t, link::FrameBufferSize> buffer_{};
    std::string text_;
};

}  // namespace ct::sim
