#include "link/NativeTransportFactory.h"

#include "link/NativeTransports.h"

namespace ct::link {

namespace native {

OpenError& OpenFailure()
{
    thread_local OpenError failure;
    return failure;
}

}  // namespace native

std::unique_ptr<ITransport> NativeTransportFactory::OpenSerial(const std::string& portName,
                                                           const std::string& settings)
{
    native::OpenFailure() = {};
    auto transport = native::OpenSerialPort(portName, settings);
    lastError_ = transport ? OpenError{} : native::OpenFailure();
    return transport;
}

std::unique_ptr<ITransport> NativeTransportFactory::OpenTcp(std::uint32_t ipv4, std::uint16_t port,
                                                        IEventPump& pump)
{
    native::OpenFailure() = {};
    auto transport = native::ConnectTcp(ipv4, port, pump);
    lastError_ = transport ? OpenError{} : native::OpenFailure();
    return transport;
}

}  // namespace ct::link
