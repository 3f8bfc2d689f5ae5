// The operating system's serial ports and TCP sockets as transports, without
// Qt: on Linux a terminal device and a BSD socket, on Windows a COM port
// opened for overlapped I/O and a Winsock socket. NativeTransportFactory hands
// them out. Private to src/link.
#pragma once

#include "link/EventPump.h"
#include "link/Transport.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace ct::link::native {

// Bytes read from the device and not yet consumed by the link. Its storage
// only grows (and is only then zeroed): a read goes straight into it.
class ReceiveBuffer {
public:
    bool Empty() const { return begin_ == end_; }
    std::size_t Size() const { return end_ - begin_; }
    std::size_t Peek(std::uint8_t* out, std::size_t maxSize) const
    {
        const std::size_t n = std::min(maxSize, Size());
        if (n > 0)
            std::memcpy(out, storage_.data() + begin_, n);
        return n;
    }
    void Consume(std::size_t n)
    {
        begin_ += std::min(n, Size());
        if (Empty())
            Clear();
    }
    void Clear() { begin_ = end_ = 0; }
    // Room for up to n bytes at the end; Commit says how many were written.
    std::uint8_t* Prepare(std::size_t n)
    {
        if (end_ + n > storage_.size() && begin_ > 0) {
            std::memmove(storage_.data(), storage_.data() + begin_, Size());
            end_ -= begin_;
            begin_ = 0;
        }
        if (end_ + n > storage_.size())
            storage_.resize(end_ + n);
        return storage_.data() + end_;
    }
    void Commit(std::size_t written) { end_ = std::min(end_ + written, storage_.size()); }

private:
    std::vector<std::uint8_t> storage_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

// The receiving half the native transports share: what the device sent waits
// in rx_ until the link consumes it, and once the device has hung up or
// failed (broken_) nothing is read any more.
class BufferedTransport : public ITransport {
public:
    std::size_t Peek(std::uint8_t* out, std::size_t maxSize) final
    {
        if (rx_.Empty() && !broken_)
            Fill();
        return rx_.Peek(out, maxSize);
    }

    void Consume(std::size_t size) final { rx_.Consume(size); }

protected:
    // One read of what the device has, without waiting; sets broken_ when
    // the device hung up or failed.
    virtual void Fill() = 0;

    // WaitReadable on a device that signals through `source`. A broken
    // device is waited out on the caller's events alone: it would otherwise
    // report "ready" at once, again and again.
    bool WaitThenFill(const WaitSource& source, int timeoutMs, IEventPump& pump)
    {
        if (!rx_.Empty())
            return true;
        if (broken_) {
            pump.Wait(WaitSource::Nothing(), timeoutMs);
            return false;
        }
        if (pump.Wait(source, timeoutMs))
            Fill();
        return !rx_.Empty();
    }

    ReceiveBuffer rx_;
    bool broken_ = false;
};

// How long a write may wait for room (a line held back by flow control, a
// full socket buffer) before the rest is dropped; the reply's time-out then
// tells.
inline constexpr int WriteLimitMs = 1000;
// Bytes taken from the device per read.
inline constexpr std::size_t ReadChunk = 4096;

// Opens a serial port by name (Linux: "/dev/ttyUSB0", or a bare name, which
// is looked for in /dev; Windows: "COM1"); see ITransportFactory::OpenSerial.
std::unique_ptr<ITransport> OpenSerialPort(const std::string& portName, const std::string& settings);
// See ITransportFactory::OpenTcp.
std::unique_ptr<ITransport> ConnectTcp(std::uint32_t ipv4, std::uint16_t port, IEventPump& pump);
// Where the two above leave why they failed, for the calling thread; left
// empty where a platform's code does not say.
OpenError& OpenFailure();

}  // namespace ct::link::native
