#include "link/Link.h"

#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/Transport.h"

#include <algorithm>
#include <cctype>

namespace ct::link {

std::optional<std::uint32_t> ParseNetIP(const std::string& text)
{
    std::uint32_t address = 0;
    std::size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
        const std::size_t first = i;
        unsigned value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && i - first < 3)
            value = value * 10 + static_cast<unsigned>(text[i++] - '0');
        if (i == first || value > 255)
            return std::nullopt;
        address = (address << 8) | value;
    }
    if (i != text.size())
        return std::nullopt;
    return address;
}

std::optional<std::uint16_t> ParseNetPort(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        value = value * 10 + (text[i++] - '0');
        // Anything past 65535 is out of range however many digits follow; stop
        // before the accumulator could overflow.
        if (value > 65535)
            return std::nullopt;
    }
    if (negative || value == 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

Link::Link(ITransportFactory& factory, IClock& clock, IEventPump& pump)
    : factory_(factory), clock_(clock), pump_(pump)
{
}

Link::~Link() = default;

Link::BusyGuard::BusyGuard(Link& l) : link(l)
{
    ++link.busy_;
}

Link::BusyGuard::~BusyGuard()
{
    if (--link.busy_ == 0 && link.closeRequested_) {
        link.closeRequested_ = false;
        link.CloseLink();
    }
}

bool Link::OpenLink()
{
    // An open from inside a waiting open or transaction (a second operation
    // started from the events it runs) would pull the transport from under
    // it: refuse it.
    if (busy_ > 0)
        return false;
    // The operation frame pairs every open with a close; a stray open must
    // still not leave two devices open.
    transport_.reset();
    closeRequested_ = false;
    {
        BusyGuard guard(*this);
        OpenTransport();
    }
    if (trace_)
        trace_->LinkOpened(Settings, transport_ != nullptr);
    return transport_ != nullptr;
}

void Link::OpenTransport()
{
    openType_ = Settings.LinkType == LinkTypeCom ? LinkTypeCom : LinkTypeNet;
    openError_ = {};
    if (openType_ == LinkTypeCom) {
        transport_ = factory_.OpenSerial(Settings.ComPortName, Settings.ComBaudRate);
        if (!transport_)
            openError_ = factory_.LastOpenError();
    } else {
        const auto ip = ParseNetIP(Settings.NetIP);
        const auto port = ParseNetPort(Settings.NetPort);
        if (ip && port)
            transport_ = factory_.OpenTcp(*ip, *port, pump_);
        else if (!ip)
            openError_ = {Settings.NetIP, "not a dotted IPv4 address", false};
        else
            openError_ = {Settings.NetPort, "not a port number 1-65535", false};
        if (ip && port && !transport_)
            openError_ = factory_.LastOpenError();
    }
    if (transport_ && openType_ == LinkTypeCom)
        transport_->Purge();
}

void Link::CloseLink()
{
    // Closing from inside a waiting open or transaction ends it first.
    if (busy_ > 0) {
        closeRequested_ = true;
        return;
    }
    if (!transport_)
        return;
    if (openType_ == LinkTypeCom)
        transport_->Purge();
    transport_.reset();
    if (trace_)
        trace_->LinkClosed();
}

bool Link::TransactCrc(const std::string& commandText)
{
    return Transact(Framing::Crc, commandText);
}

bool Link::TransactXor(const std::string& commandText)
{
    return Transact(Framing::Xor, commandText);
}

bool Link::TransactXorEtx(const std::string& commandText)
{
    return Transact(Framing::XorEtx, commandText);
}

Link::ReadResult Link::ReadAvailable()
{
    std::uint8_t chunk[FrameBufferSize];
    const std::size_t got = transport_->Peek(chunk, sizeof chunk);
    if (got == 0)
        return ReadResult::Nothing;
    for (std::size_t i = 0; i < got; ++i) {
        if (assembler_.Feed(chunk[i]) == AssembleStatus::Complete) {
            if (trace_)
                TraceFrame(chunk, i + 1);
            // Take the frame and leave whatever follows it for the next
            // transaction (on TCP late bytes are answers too; on a serial port
            // the purge before the next write drops them).
            transport_->Consume(i + 1);
            replyLength_ = static_cast<int>(assembler_.position());
            replyText_ = assembler_.Text();
            return assembler_.Check() ? ReadResult::Passed : ReadResult::Failed;
        }
    }
    transport_->Consume(got);
    if (trace_)
        traced_.append(reinterpret_cast<const char*>(chunk), got);
    replyLength_ = static_cast<int>(assembler_.position());
    return ReadResult::Bytes;
}

void Link::TraceFrame(const std::uint8_t* chunk, std::size_t taken)
{
    traced_.append(reinterpret_cast<const char*>(chunk), taken);
    // The frame ends the bytes taken; whatever came before it was skipped.
    const std::size_t frame = std::min(assembler_.position(), traced_.size());
    const std::string_view all(traced_);
    trace_->FrameReceived(all.substr(0, all.size() - frame), all.substr(all.size() - frame), assembler_.Check());
}

bool Link::TimeOut(std::uint32_t limitMs, bool serial)
{
    if (trace_)
        trace_->TimedOut(limitMs, serial, traced_);
    return false;
}

bool Link::Transact(Framing framing, const std::string& commandText)
{
    RequestBuffer request;
    const std::size_t size = EncodeRequest(framing, commandText, request);
    assembler_.Reset(framing);
    replyLength_ = 0;
    // A text too long for the request buffer is refused before anything goes
    // out; so is a transaction on a link that is not open.
    if (size == 0 || !transport_)
        return false;

    BusyGuard guard(*this);

    const bool serial = openType_ == LinkTypeCom;
    const std::uint32_t limit = serial ? SerialSilenceTimeoutMs : TcpTotalTimeoutMs;
    if (serial)
        transport_->Purge();
    traced_.clear();
    if (trace_)
        trace_->FrameSent(std::string_view(reinterpret_cast<const char*>(request.data()), size));
    transport_->Write(request.data(), size, pump_);

    std::uint32_t t0 = clock_.NowMs();
    for (;;) {
        switch (ReadAvailable()) {
        case ReadResult::Passed:
            return true;
        case ReadResult::Failed:
            return false;
        case ReadResult::Bytes:
            // Serial time-out counts silence; TCP counts from the send only.
            if (serial)
                t0 = clock_.NowMs();
            break;
        case ReadResult::Nothing:
            break;
        }
        pump_.ProcessEvents();
        if (closeRequested_)
            return false;
        std::uint32_t elapsed = ElapsedMs(t0, clock_.NowMs());
        if (elapsed > limit)
            return TimeOut(limit, serial);
        // One wait until bytes come, the limit passes or the caller's events
        // ran; the pump decides how it waits.
        transport_->WaitReadable(static_cast<int>(limit + 1 - elapsed), pump_);
        // Bytes that arrived after the limit are not part of this reply.
        elapsed = ElapsedMs(t0, clock_.NowMs());
        if (elapsed > limit)
            return TimeOut(limit, serial);
    }
}

}  // namespace ct::link
