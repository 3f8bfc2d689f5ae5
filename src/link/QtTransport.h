// The real transports: serial ports through QSerialPort and TCP through
// QTcpSocket, used from the thread that creates them.
#pragma once

#include "link/Transport.h"

namespace ct::link {

class QtTransportFactory final : public ITransportFactory {
public:
    std::unique_ptr<ITransport> OpenSerial(const std::string& portName,
                                           const std::string& settings) override;
    std::unique_ptr<ITransport> OpenTcp(std::uint32_t ipv4, std::uint16_t port,
                                        IEventPump& pump) override;
};

}  // namespace ct::link
