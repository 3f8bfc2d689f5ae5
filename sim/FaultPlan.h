// Injected faults: which of them apply to the next reply, and the bytes and
// timing of a reply frame with those faults applied. No I/O.
#pragma once

#include "sim/ControllerSim.h"

#include "link/FrameCodec.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ct::sim {

// The faults waiting for replies, in the order they were injected.
class FaultSet {
public:
    void Add(const Fault& fault);

    // The faults that apply to a reply to this command (the text after the
    // four ID characters), each counted as used once; used-up faults go.
    std::vector<Fault> Take(std::string_view commandCode);

private:
    std::vector<Fault> faults_;
};

// One write of a reply: its bytes, sent `after` the previous write (or after
// the request, for the first).
struct ReplyChunk {
    std::chrono::milliseconds after{0};
    std::string bytes;
};

// The reply frame (CRC framing) around the reply text, as the writes that
// carry it. Empty when a NoAnswer fault applies. Several faults combine.
std::vector<ReplyChunk> RenderReply(std::string_view replyText, const std::vector<Fault>& faults);

// An XOR reply frame (STX start for Xor, ETX for XorEtx) around the text;
// with `spoiltCheck` its checksum characters are wrong.
std::string RenderXorReply(link::Framing framing, std::string_view replyText, bool spoiltCheck);

// The bytes that NoiseBefore puts in front of a frame: anything but the
// reply's start byte, CR included, which cannot complete a frame before a
// start byte has arrived.
std::string NoiseBytes(int count);

// Command-line forms of faults and records, their parts held to the rules of
// the fields they set (sim/LineFields.h):
//   KIND[:COMMAND[:TIMES[:ARG]]], kinds no-answer, wrong-crc, lower-crc,
//   extra-bytes, nul-inside, noise-before, split-bytes, delay, wrong-length;
//   TIMES a count or -1 (every reply, also the default); ARG what the kind
//   takes (FaultArgumentField): the byte count, or the gap or delay in
//   milliseconds; refused for a kind that takes nothing.
//   TAG,YYYYMMDDhhmmss,CODE,VALUE
//   KIND:BLOCK[:TIMES], kinds fail-program, fail-verify, lower-verify,
//   silent-from; TIMES a count or -1 (every attempt, also the default)
//   512, 256, 64 or none
std::optional<Fault> ParseFaultOption(const std::string& option);
std::optional<EventRecord> ParseRecordOption(const std::string& option);
std::optional<LoaderFault> ParseLoaderFaultOption(const std::string& option);
std::optional<LoaderKind> ParseLoaderOption(const std::string& option);

}  // namespace ct::sim
