#include "link/QtTransport.h"

#include "link/EventPump.h"
#include "link/Link.h"

#include <QHostAddress>
#include <QSerialPort>
#include <QTcpSocket>

#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace ct::link {

namespace {

void SleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Shared by both transports: received bytes are read from the device into the
// QIODevice buffer without an event loop, by a zero-time wait.
template <typename Device>
std::size_t PeekDevice(Device& device, std::uint8_t* out, std::size_t maxSize)
{
    if (device.bytesAvailable() == 0)
        device.waitForReadyRead(0);
    const qint64 got = device.peek(reinterpret_cast<char*>(out), static_cast<qint64>(maxSize));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

class SerialTransport final : public ITransport {
public:
    QSerialPort port;

    void Purge() override { port.clear(QSerialPort::AllDirections); }

    void Write(const std::uint8_t* data, std::size_t size) override
    {
        port.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
        port.flush();
        // Writes are synchronous, but a port held back by flow control must not
        // hold the window for ever.
        if (port.bytesToWrite() > 0)
            port.waitForBytesWritten(1000);
    }

    std::size_t Peek(std::uint8_t* out, std::size_t maxSize) override { return PeekDevice(port, out, maxSize); }

    void Consume(std::size_t size) override { port.skip(static_cast<qint64>(size)); }

    bool WaitReadable(int timeoutMs) override
    {
        if (port.bytesAvailable() > 0)
            return true;
        if (!port.isOpen()) {
            SleepMs(timeoutMs);
            return false;
        }
        return port.waitForReadyRead(timeoutMs);
    }
};

class TcpTransport final : public ITransport {
public:
    QTcpSocket socket;

    // A TCP link has nothing to purge: late bytes stay for the next reply.
    void Purge() override {}

    void Write(const std::uint8_t* data, std::size_t size) override
    {
        socket.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
        socket.flush();
    }

    std::size_t Peek(std::uint8_t* out, std::size_t maxSize) override { return PeekDevice(socket, out, maxSize); }

    void Consume(std::size_t size) override { socket.skip(static_cast<qint64>(size)); }

    bool WaitReadable(int timeoutMs) override
    {
        if (socket.bytesAvailable() > 0)
            return true;
        // A closed connection delivers nothing; the transaction goes on to its
        // time-out, and must not spin meanwhile.
        if (socket.state() != QAbstractSocket::ConnectedState) {
            SleepMs(timeoutMs);
            return false;
        }
        return socket.waitForReadyRead(timeoutMs);
    }
};

QSerialPort::Parity ToQtParity(char p)
{
    switch (p) {
    case 'e': return QSerialPort::EvenParity;
    case 'o': return QSerialPort::OddParity;
    case 'm': return QSerialPort::MarkParity;
    case 's': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits ToQtStopBits(int s)
{
    switch (s) {
    case 2: return QSerialPort::TwoStop;
    case 15: return QSerialPort::OneAndHalfStop;
    default: return QSerialPort::OneStop;
    }
}

#ifdef Q_OS_UNIX
// QSerialPort configures the line when it opens. To leave the port's own
// settings in force when the settings string cannot be parsed, read them
// first and hand them to QSerialPort as its configuration.
void AdoptDeviceSettings(QSerialPort& port)
{
    QString path = port.portName();
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QStringLiteral("/dev/"));
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return;
    termios tio{};
    const bool ok = ::tcgetattr(fd, &tio) == 0;
    ::close(fd);
    if (!ok)
        return;

    static const struct { speed_t code; qint32 rate; } kSpeeds[] = {
        {B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600}, {B19200, 19200},
        {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
        {B460800, 460800}, {B921600, 921600},
    };
    const speed_t speed = ::cfgetospeed(&tio);
    for (const auto& s : kSpeeds)
        if (s.code == speed)
            port.setBaudRate(s.rate);
    switch (tio.c_cflag & CSIZE) {
    case CS5: port.setDataBits(QSerialPort::Data5); break;
    case CS6: port.setDataBits(QSerialPort::Data6); break;
    case CS7: port.setDataBits(QSerialPort::Data7); break;
    default: port.setDataBits(QSerialPort::Data8); break;
    }
    if (!(tio.c_cflag & PARENB))
        port.setParity(QSerialPort::NoParity);
    else
        port.setParity((tio.c_cflag & PARODD) ? QSerialPort::OddParity : QSerialPort::EvenParity);
    port.setStopBits((tio.c_cflag & CSTOPB) ? QSerialPort::TwoStop : QSerialPort::OneStop);
}
#endif

}  // namespace

std::unique_ptr<ITransport> QtTransportFactory::OpenSerial(const std::string& portName,
                                                           const std::string& settings)
{
    if (portName.empty())
        return nullptr;
    auto t = std::make_unique<SerialTransport>();
    t->port.setPortName(QString::fromLocal8Bit(portName.c_str()));
    LineSettings line;
    const bool parsed = ParseLineSettings(settings, line);
#ifdef Q_OS_UNIX
    if (!parsed)
        AdoptDeviceSettings(t->port);
#endif
    if (!t->port.open(QIODevice::ReadWrite))
        return nullptr;
    if (parsed) {
        // Each setting on its own: a device that refuses one (a
        // pseudo-terminal refuses parity) keeps the others and stays open.
        t->port.setBaudRate(line.baudRate);
        t->port.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits));
        t->port.setParity(ToQtParity(line.parity));
        t->port.setStopBits(ToQtStopBits(line.stopBits));
    }
    t->port.clearError();
    return t;
}

std::unique_ptr<ITransport> QtTransportFactory::OpenTcp(std::uint32_t ipv4, std::uint16_t port,
                                                        IEventPump& pump)
{
    auto t = std::make_unique<TcpTransport>();
#ifdef Q_OS_UNIX
    // The connect has no time limit of its own: the operating system decides
    // when to give up. It is made here, non-blocking, so that the window keeps
    // being painted meanwhile; the connected socket is then handed to Qt.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return nullptr;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(ipv4);
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    if (rc != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return nullptr;
    }
    while (rc != 0) {
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(WaitSliceMs));
        if (ready > 0) {
            int error = 0;
            socklen_t len = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
                ::close(fd);
                return nullptr;
            }
            break;
        }
        if (ready < 0 && errno != EINTR) {
            ::close(fd);
            return nullptr;
        }
        pump.ProcessEvents();
    }
    if (!t->socket.setSocketDescriptor(fd)) {
        ::close(fd);
        return nullptr;
    }
#else
    (void)pump;
    t->socket.connectToHost(QHostAddress(ipv4), port);
    if (!t->socket.waitForConnected(-1))
        return nullptr;
#endif
    t->socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return t;
}

}  // namespace ct::link
