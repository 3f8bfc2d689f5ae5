// The device link: opens a serial port or a TCP connection from the link
// settings, runs one request/reply transaction at a time over it, and keeps
// the last reply as ReplyText and ReplyLength.
//
// Time-outs are the contract: on a serial port a transaction gives up after
// 300 ms without a received byte (counted from the write and again from every
// byte); on TCP after 1200 ms in all from the send, however busily bytes
// arrive. While waiting, the caller's events are processed through the pump,
// and the wait wakes as soon as bytes arrive: every wait is the pump's
// (IEventPump::Wait), on the port or socket itself, so a pump that can block
// on its own events as well (the window's pump) never waits in fixed slices.
// Clock, pump and transports are injected.
#pragma once

#include "link/EventPump.h"
#include "link/FrameCodec.h"
#include "link/Transport.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ct::link {

class IClock;
class ITransport;
class ITransportFactory;

enum : std::uint8_t { LinkTypeCom = 0, LinkTypeNet = 1 };

inline constexpr const char* DefaultComPortName = "COM1";
inline constexpr const char* DefaultComBaudRate = "115200,n,8,1";
inline constexpr const char* DefaultNetIP = "192.168.1.200";
inline constexpr const char* DefaultNetPort = "5001";

struct LinkSettings {
    std::uint8_t LinkType = LinkTypeCom;
    std::string ComPortName = DefaultComPortName;
    std::string ComBaudRate = DefaultComBaudRate;
    std::string NetIP = DefaultNetIP;
    std::string NetPort = DefaultNetPort;
};

inline constexpr std::uint32_t SerialSilenceTimeoutMs = 300;
inline constexpr std::uint32_t TcpTotalTimeoutMs = 1200;

// A dotted IPv4 address "a.b.c.d" (decimal parts 0..255) in host byte order;
// nothing else is accepted and no name is looked up.
std::optional<std::uint32_t> ParseNetIP(const std::string& text);
// The port read as a decimal number the way atol reads it (leading blanks and
// sign, digits up to the first non-digit): text that is not a number gives 0.
// Values outside 1..65535 cannot be connected to and give nothing.
std::optional<std::uint16_t> ParseNetPort(const std::string& text);

// What a link did on the line, for a technician's trace: every frame sent
// and received as its exact bytes, and the moments a transaction failed. The
// link calls it synchronously; it must not call back into the link.
class ILinkTrace {
public:
    virtual ~ILinkTrace() = default;
    virtual void LinkOpened(const LinkSettings& settings, bool opened) = 0;
    virtual void LinkClosed() = 0;
    virtual void FrameSent(std::string_view frame) = 0;
    // `skipped`: bytes that came before the frame and could not start or
    // complete one (noise, a frame dropped for its length).
    virtual void FrameReceived(std::string_view skipped, std::string_view frame, bool checkPassed) = 0;
    // The transaction's limit passed; `received`: every byte that arrived.
    virtual void TimedOut(std::uint32_t limitMs, bool countsSilence, std::string_view received) = 0;
};

class Link {
public:
    Link(ITransportFactory& factory, IClock& clock, IEventPump& pump);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Filled from the connection page right before every open.
    LinkSettings Settings;

    // Opens the serial port or connects the socket of Settings.LinkType. Refused
    // (false) when called from the events that a waiting open or transaction
    // of this link runs.
    bool OpenLink();
    // Closes what OpenLink opened. Called from the events that a waiting open
    // or transaction runs, it ends that wait (the transaction returns false,
    // the open fails) and closes right after it.
    void CloseLink();
    bool IsOpen() const { return transport_ != nullptr; }
    // True while an open or a transaction waits (and runs the caller's events).
    bool Waiting() const { return busy_ > 0; }
    // Why the last OpenLink failed (the device and the system's reason);
    // empty after one that succeeded.
    const OpenError& LastOpenError() const { return openError_; }
    // Nothing traced by default; the trace must outlive the link or be reset.
    void SetTrace(ILinkTrace* trace) { trace_ = trace; }
    IClock& clock() const { return clock_; }

    bool TransactCrc(const std::string& commandText);
    bool TransactXor(const std::string& commandText);
    bool TransactXorEtx(const std::string& commandText);
    bool Transact(Framing framing, const std::string& commandText);

    // The last completed reply frame, from its start byte through CR, cut at
    // the first NUL. Kept across a time-out.
    const std::string& ReplyText() const { return replyText_; }
    // Bytes of the last completed frame; after a time-out, the bytes
    // assembled so far.
    int ReplyLength() const { return replyLength_; }

private:
    enum class ReadResult { Nothing, Bytes, Passed, Failed };
    ReadResult ReadAvailable();
    void TraceFrame(const std::uint8_t* chunk, std::size_t taken);
    // Returns false, the transaction's result, after tracing the time-out.
    bool TimeOut(std::uint32_t limitMs, bool serial);
    void OpenTransport();

    // While an open or a transaction waits: opens are refused, closes deferred.
    struct BusyGuard {
        Link& link;
        explicit BusyGuard(Link& l);
        ~BusyGuard();
    };

    ITransportFactory& factory_;
    IClock& clock_;
    IEventPump& pump_;
    std::unique_ptr<ITransport> transport_;
    OpenError openError_;
    std::uint8_t openType_ = LinkTypeCom;
    ReplyAssembler assembler_;
    std::string replyText_;
    int replyLength_ = 0;
    int busy_ = 0;
    ILinkTrace* trace_ = nullptr;
    // With a trace: every byte taken from the transport in this transaction.
    std::string traced_;
    bool closeRequested_ = false;
};

}  // namespace ct::link
