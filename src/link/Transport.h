// The byte pipe under the link: an open serial port or TCP connection.
//
// A transport never blocks longer than it is told to, and every wait of its
// own goes through the pump it is handed, so the caller's events go on
// meanwhile and can end the wait early. Received bytes are looked at with
// Peek and taken with Consume, so that a transaction can leave the bytes
// after its frame where they are for the next one. Opening lives in
// ITransportFactory, which the link is given at construction; tests hand it a
// factory of fakes.
#pragma once

#include "link/LineSettings.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ct::link {

class IEventPump;

class ITransport {
public:
    virtual ~ITransport() = default;
    // Discards everything received and not yet consumed, and anything not yet
    // sent.
    virtual void Purge() = 0;
    // Sends the bytes; errors are not reported (the reply's time-out tells).
    // Returns when they are handed to the device, or after at most about a
    // second of waiting for room (a line held by flow control).
    virtual void Write(const std::uint8_t* data, std::size_t size, IEventPump& pump) = 0;
    // Copies up to maxSize received bytes without removing them; 0 when none
    // have arrived. Never waits.
    virtual std::size_t Peek(std::uint8_t* out, std::size_t maxSize) = 0;
    virtual void Consume(std::size_t size) = 0;
    // Waits through pump.Wait until bytes are available or timeoutMs has
    // passed, and may return earlier after the caller's events ran; true when
    // bytes are available. A transport whose device hung up or failed waits
    // on the pump alone: it never returns at once again and again.
    virtual bool WaitReadable(int timeoutMs, IEventPump& pump) = 0;
};

// Why an open failed, for a technician: the device or address tried and the
// operating system's reason. Empty where the transport does not say.
struct OpenError {
    std::string device;  // "/dev/ttyUSB0", "192.168.1.200:5001"
    std::string reason;  // "Permission denied", "in use by another program"
    // The user may not open the device (its permissions, not its state).
    bool accessDenied = false;
};

class ITransportFactory {
public:
    virtual ~ITransportFactory() = default;
    // Why the last open of this factory failed.
    virtual OpenError LastOpenError() const { return {}; }
    // Opens the named port exclusively and, when the settings string parses
    // (ParseLineSettings), changes the line settings it names; all others,
    // and all of them when it does not parse, stay as the port had them. A
    // setting the device refuses (parity on a pseudo-terminal) does not fail
    // the open. nullptr when the port cannot be opened.
    virtual std::unique_ptr<ITransport> OpenSerial(const std::string& portName,
                                                   const std::string& settings) = 0;
    // Connects to an IPv4 address (host byte order) and port; waits as long
    // as the operating system takes to give up, through pump.Wait. nullptr
    // when the connection cannot be made.
    virtual std::unique_ptr<ITransport> OpenTcp(std::uint32_t ipv4, std::uint16_t port,
                                                IEventPump& pump) = 0;
};

}  // namespace ct::link
