// A controller's boot loader: its flash memory, whether the controller is
// inside it, and the answers to the loader commands (see LoaderKind in
// sim/ControllerSim.h for the three protocols). No I/O, no threads; the reply
// frame is left to the caller, which is told its framing.
#pragma once

#include "sim/ControllerSim.h"

#include "link/FrameCodec.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ct::sim {

inline constexpr std::size_t FlashSize = 0x10000;

// A reply text and the frame it goes out in.
struct Response {
    std::string text;
    link::Framing framing = link::Framing::Crc;
    // The check characters are wrong: the tool's transaction fails at once.
    bool spoiltCheck = false;
};

// The command text of an XOR request frame (SOH, text, the upper-case hex
// pair of the XOR of SOH and the text, CR), or nothing when it is not one.
std::optional<std::string_view> XorCommandText(const std::uint8_t* frame, std::size_t length);

class BootLoader {
public:
    BootLoader() { flash_.fill(0xFF); }

    bool active() const { return active_ != LoaderKind::None; }
    LoaderKind kind() const { return active_; }
    int entries() const { return entries_; }
    int starts() const { return starts_; }
    const std::array<std::uint8_t, FlashSize>& flash() const { return flash_; }

    // In the application, a CRC request: the acknowledgement if `code` (the
    // text after the ID) enters the loader `kind`, which it then does.
    std::optional<Response> Enter(LoaderKind kind, const std::string& id, std::string_view code);
    // Inside the loader. `heard` is the request's framing (Crc or Xor).
    // Faults for the block a command addresses are used up here.
    std::optional<Response> Answer(std::string_view text, link::Framing heard, const std::string& id,
                                   std::vector<LoaderFault>& faults);
    // Back to the application without the start command (the configuration
    // took the loader away).
    void Leave() { active_ = LoaderKind::None; }

private:
    std::optional<Response> Answer512(std::string_view code, const std::string& id,
                                      std::vector<LoaderFault>& faults);
    // The 256- and 64-byte loaders: `code` after the ID (256) or the whole
    // text (64); `head` what their replies begin with.
    std::optional<Response> AnswerXor(std::string_view code, const std::string& head,
                                      std::vector<LoaderFault>& faults);
    // ANDs the bytes of `hex` into the flash from `address` (after erasing
    // them, if asked); false, and nothing changed, for anything but hex pairs
    // that fit inside it.
    bool Program(std::size_t address, std::string_view hex, bool eraseFirst);
    std::string ReadBack(std::size_t address, bool lowerCase) const;
    void Erase(std::size_t address, std::size_t size);

    LoaderKind active_ = LoaderKind::None;
    int entries_ = 0;
    int starts_ = 0;
    std::array<std::uint8_t, FlashSize> flash_;
};

}  // namespace ct::sim
