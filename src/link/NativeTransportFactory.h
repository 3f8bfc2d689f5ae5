// The real transports, handed out by the factory that the programs use: the
// operating system's serial ports and TCP sockets (NativeTransports.h: a
// terminal device on Linux, an overlapped COM port on Windows; BSD or
// Winsock sockets). The pump a program passes to the link (the Qt event
// loop's in the window) is what ties their waits to its events. Use them
// from the thread that opened them.
#pragma once

#include "link/Transport.h"

namespace ct::link {

class NativeTransportFactory final : public ITransportFactory {
public:
    std::unique_ptr<ITransport> OpenSerial(const std::string& portName,
                                           const std::string& settings) override;
    std::unique_ptr<ITransport> OpenTcp(std::uint32_t ipv4, std::uint16_t port,
                                        IEventPump& pump) override;
    OpenError LastOpenError() const override { return lastError_; }

private:
    OpenError lastError_;
};

}  // namespace ct::link
