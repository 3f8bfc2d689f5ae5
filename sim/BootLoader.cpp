#include "sim/BootLoader.h"

#include "link/ControllerInterface.h"

#include <algorithm>
#include <cstdio>

namespace ct::sim {

namespace ld = link::cmd::loader;

namespace {

constexpr std::size_t kIdLength = static_cast<std::size_t>(link::cmd::ControllerIdLength);
// The 256-byte loader's erase covers two blocks, one flash page.
constexpr std::size_t kErasePage = 512;
// What the probe reports after the block size.
constexpr const char* kLoaderVersion = "0100";

std::size_t BlockSize(LoaderKind kind)
{
    switch (kind) {
    case LoaderKind::Block512: return 512;
    case LoaderKind::Block256: return 256;
    case LoaderKind::Block64: return 64;
    case LoaderKind::None: break;
    }
    return 0;
}

const char* EnterCode(LoaderKind kind)
{
    switch (kind) {
    case LoaderKind::Block512: return ld::Enter512;
    case LoaderKind::Block256: return ld::Enter256;
    case LoaderKind::Block64: return ld::Enter64;
    case LoaderKind::None: break;
    }
    return nullptr;
}

link::Framing ReplyFraming(LoaderKind kind)
{
    switch (kind) {
    case LoaderKind::Block256: return link::Framing::XorEtx;
    case LoaderKind::Block64: return link::Framing::Xor;
    default: return link::Framing::Crc;
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::size_t> Address(std::string_view digits)
{
    if (digits.size() != 4)
        return std::nullopt;
    std::size_t value = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::size_t>(d);
    }
    return value;
}

std::string Hex4(std::size_t value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(value & 0xFFFFU));
    return buffer;
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

// Uses up one attempt of the first fault of `kind` for `block`; false when
// there is none.
bool TakeFault(std::vector<LoaderFault>& faults, LoaderFault::Kind kind, std::size_t block)
{
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->kind != kind || it->block < 0 || static_cast<std::size_t>(it->block) != block || it->times == 0)
            continue;
        if (it->times > 0 && --it->times == 0)
            faults.erase(it);
        return true;
    }
    return false;
}

bool SilentAt(const std::vector<LoaderFault>& faults, std::size_t block)
{
    return std::any_of(faults.begin(), faults.end(), [&](const LoaderFault& f) {
        return f.kind == LoaderFault::Kind::SilentFrom && f.block >= 0 && static_cast<std::size_t>(f.block) <= block;
    });
}

}  // namespace

std::optional<std::string_view> XorCommandText(const std::uint8_t* frame, std::size_t length)
{
    if (length < 4 || frame[0] != link::SOH || frame[length - 1] != link::CR)
        return std::nullopt;
    std::uint8_t x = 0;
    for (std::size_t i = 0; i + 3 < length; ++i)
        x ^= frame[i];
    std::uint8_t hex[2];
    link::PutHexPair(x, hex);
    if (frame[length - 3] != hex[0] || frame[length - 2] != hex[1])
        return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(frame) + 1, length - 4);
}

std::optional<Response> BootLoader::Enter(LoaderKind kind, const std::string& id, std::string_view code)
{
    const char* enter = EnterCode(kind);
    if (!enter || code != enter)
        return std::nullopt;
    active_ = kind;
    ++entries_;
    return Response{id + std::string(code.substr(0, 2)), link::Framing::Crc, false};
}

std::optional<Response> BootLoader::Answer(std::string_view text, link::Framing heard, const std::string& id,
                                           std::vector<LoaderFault>& faults)
{
    if (!active())
        return std::nullopt;
    const bool addressed = StartsWith(text, id);
    const std::string_view code = addressed ? text.substr(kIdLength) : std::string_view();
    if (heard == link::Framing::Crc) {
        if (!addressed)
            return std::nullopt;
        if (active_ == LoaderKind::Block512)
            return Answer512(code, id, faults);
        // The tool sends the enter command twice; the second finds the
        // controller in its loader already, which stays and says so.
        if (code == EnterCode(active_))
            return Response{id + std::string(code.substr(0, 2)), link::Framing::Crc, false};
        return std::nullopt;
    }
    if (active_ == LoaderKind::Block256)
        return addressed ? AnswerXor(code, id, faults) : std::nullopt;
    if (active_ == LoaderKind::Block64)
        return AnswerXor(text, "", faults);
    return std::nullopt;
}

std::optional<Response> BootLoader::Answer512(std::string_view code, const std::string& id,
                                              std::vector<LoaderFault>& faults)
{
    constexpr std::size_t block = 512;
    auto reply = [&](std::string text, bool spoilt = false) {
        return Response{std::move(text), link::Framing::Crc, spoilt};
    };
    const std::string ack = id + std::string(code.substr(0, 2));
    if (code == ld::Enter512)
        return reply(ack);
    if (code == ld::Start512) {
        active_ = LoaderKind::None;
        ++starts_;
        return reply(ack);
    }
    const bool program = StartsWith(code, ld::Program512);
    if (!program && !StartsWith(code, ld::Verify512))
        return std::nullopt;
    const auto address = Address(code.substr(2, 4));
    if (!address || *address + block > FlashSize)
        return std::nullopt;
    const std::size_t r = *address / block;
    if (SilentAt(faults, r))
        return std::nullopt;
    const std::string_view data = code.substr(6);
    if (program) {
        if (data.size() != 2 * block)
            return std::nullopt;
        if (TakeFault(faults, LoaderFault::Kind::FailProgram, r))
            return reply(ack, true);
        // No erase command of its own: each block erases its bytes first.
        if (!Program(*address, data, true))
            return std::nullopt;
        return reply(ack);
    }
    if (!data.empty())
        return std::nullopt;
    const bool spoilt = TakeFault(faults, LoaderFault::Kind::FailVerify, r);
    const bool lower = TakeFault(faults, LoaderFault::Kind::LowerCaseVerify, r);
    return reply(ack + ReadBack(*address, lower), spoilt);
}

std::optional<Response> BootLoader::AnswerXor(std::string_view code, const std::string& head,
                                              std::vector<LoaderFault>& faults)
{
    const std::size_t block = BlockSize(active_);
    const link::Framing framing = ReplyFraming(active_);
    auto reply = [&](std::string text, bool spoilt = false) {
        return Response{head + text, framing, spoilt};
    };
    if (code.empty())
        return std::nullopt;
    const std::string letter(code.substr(0, 1));
    if (code == ld::Probe)
        return reply(letter + Hex4(block) + kLoaderVersion);
    if (code == ld::Start) {
        active_ = LoaderKind::None;
        ++starts_;
        return reply(letter);
    }
    if (code == ld::Erase && active_ == LoaderKind::Block64) {
        Erase(0, FlashSize);
        return reply(letter);
    }
    const bool erase = letter == ld::Erase && active_ == LoaderKind::Block256;
    const bool program = letter == ld::Program;
    if (!erase && !program && letter != ld::Verify)
        return std::nullopt;
    const auto address = Address(code.substr(1, 4));
    if (!address || *address + block > FlashSize)
        return std::nullopt;
    const std::size_t r = *address / block;
    if (SilentAt(faults, r))
        return std::nullopt;
    const std::string_view data = code.substr(5);
    const std::string echo = letter + std::string(code.substr(1, 4));
    if (erase) {
        if (!data.empty())
            return std::nullopt;
        // The page that holds the address, as a flash erases it.
        Erase(*address - *address % kErasePage, kErasePage);
        return reply(echo);
    }
    if (program) {
        if (data.size() != 2 * block)
            return std::nullopt;
        if (TakeFault(faults, LoaderFault::Kind::FailProgram, r))
            return reply(echo, true);
        if (!Program(*address, data, false))
            return std::nullopt;
        return reply(echo);
    }
    if (!data.empty())
        return std::nullopt;
    const bool spoilt = TakeFault(faults, LoaderFault::Kind::FailVerify, r);
    const bool lower = TakeFault(faults, LoaderFault::Kind::LowerCaseVerify, r);
    return reply(letter + ReadBack(*address, lower), spoilt);
}

bool BootLoader::Program(std::size_t address, std::string_view hex, bool eraseFirst)
{
    const std::size_t n = hex.size() / 2;
    if (hex.size() % 2 != 0 || address + n > FlashSize)
        return false;
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        const int hi = HexDigit(hex[2 * i]);
        const int lo = HexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    if (eraseFirst)
        Erase(address, n);
    for (std::size_t i = 0; i < n; ++i)
        flash_[address + i] &= bytes[i];
    return true;
}

std::string BootLoader::ReadBack(std::size_t address, bool lowerCase) const
{
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    const std::size_t n = BlockSize(active_);
    std::string hex;
    hex.reserve(2 * n);
    for (std::size_t i = address; i < address + n; ++i) {
        hex += digits[flash_[i] >> 4];
        hex += digits[flash_[i] & 0x0F];
    }
    return hex;
}

void BootLoader::Erase(std::size_t address, std::size_t size)
{
    std::fill_n(flash_.begin() + static_cast<std::ptrdiff_t>(address), std::min(size, FlashSize - address), 0xFF);
}

}  // namespace ct::sim
