// The byte pipe under the link: an open serial port or TCP connection.
//
// A transport never blocks longer than it is told to. Received bytes are
// looked at with Peek and taken with Consume, so that a transaction can leave
// the bytes after its frame where they are for the next one. Opening lives in
// ITransportFactory, which the link is given at construction; tests hand it a
// factory of fakes.
#pragma once

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
    virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
    // Copies up to maxSize received bytes without removing them; 0 when none
    // have arrived. Never waits.
    virtual std::size_t Peek(std::uint8_t* out, std::size_t maxSize) = 0;
    virtual void Consume(std::size_t size) = 0;
    // Waits until bytes are available or timeoutMs has passed, whichever is
    // first; true when bytes are available.
    virtual bool WaitReadable(int timeoutMs) = 0;
};

// Line settings of a serial port, as parsed from "rate,parity,data,stop".
struct LineSettings {
    std::int32_t baudRate = 115200;
    char parity = 'n';  // n, e, o, m, s
    int dataBits = 8;   // 5..8
    int stopBits = 1;   // 1 or 2 (a "1.5" is kept as 15)
};

// Parses a settings string such as "115200,n,8,1" or "19200,e,8,1" (letters in
// either case, spaces around fields allowed). False when it cannot be parsed:
// the port then keeps the settings it had.
bool ParseLineSettings(const std::string& text, LineSettings& out);

class ITransportFactory {
public:
    virtual ~ITransportFactory() = default;
    // Opens the named port exclusively and applies the settings string when it
    // parses (a setting the device refuses, such as parity on a
    // pseudo-terminal, does not fail the open). nullptr when the port cannot be
    // opened.
    virtual std::unique_ptr<ITransport> OpenSerial(const std::string& portName,
                                                   const std::string& settings) = 0;
    // Connects to an IPv4 address (host byte order) and port; waits as long
    // as the operating system takes to give up, pumping events meanwhile.
    // nullptr when the connection cannot be made.
    virtual std::unique_ptr<ITransport> OpenTcp(std::uint32_t ipv4, std::uint16_t port,
                                                IEventPump& pump) = 0;
};

}  // namespace ct::link
