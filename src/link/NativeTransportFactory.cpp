#include "link/NativeTransportFactory.h"

#include "link/NativeTransports.h"

namespace ct::link {

std::unique_ptr<ITransport> NativeTransportFactory::OpenSerial(const std::string& portName,
                                                           const std::string& settings)
{
    return native::OpenSerialPort(portName, settings);
}

std::unique_ptr<ITransport> NativeTransportFactory::OpenTcp(std::uint32_t ipv4, std::uint16_t port,
                                                        IEventPump& pump)
{
    return native::ConnectTcp(ipv4, port, pump);
}

}  // namespace ct::link
