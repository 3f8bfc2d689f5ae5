// A TCP connection as a transport, on BSD sockets (Linux) and Winsock
// (Windows) alike: one non-blocking socket, connected without blocking the
// caller's events, read into the link's receive buffer.
//
// Open: the socket library started (WSAStartup 2.2 on Windows), a
// stream socket, TCP_NODELAY, a non-blocking connect to the numeric address,
// then pump.Wait on the socket becoming writable for as long as the
// operating system takes to finish or give up (no time limit of its own).
// Close: the socket closed, the socket library cleaned up. A failed open
// leaves the system's reason in OpenFailure().
//
// Nothing is purged: late bytes stay for the next transaction. A connection
// that the far side closed or reset delivers nothing more, and waits then
// block on the pump alone (a closed socket is readable for ever).
#include "link/EventPump.h"
#include "link/NativeTransports.h"

#include <chrono>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ct::link::native {

namespace {

using Steady = std::chrono::steady_clock;

#ifdef _WIN32
using Socket = SOCKET;
const Socket NoSocket = INVALID_SOCKET;
bool WouldBlock()
{
    const int e = ::WSAGetLastError();
    return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS;
}
bool Interrupted()
{
    return ::WSAGetLastError() == WSAEINTR;
}
void CloseSocket(Socket s)
{
    ::closesocket(s);
}
constexpr int SendFlags = 0;
using IoSize = int;

// WSAStartup / WSACleanup around one connection.
class SocketLibrary {
public:
    SocketLibrary()
    {
        WSADATA data;
        started_ = ::WSAStartup(0x0202, &data) == 0;
    }
    ~SocketLibrary()
    {
        if (started_)
            ::WSACleanup();
    }
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
    bool Started() const { return started_; }

private:
    bool started_ = false;
};
#else
using Socket = int;
constexpr Socket NoSocket = -1;
bool WouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINPROGRESS;
}
bool Interrupted()
{
    return errno == EINTR;
}
void CloseSocket(Socket s)
{
    ::close(s);
}
constexpr int SendFlags = MSG_NOSIGNAL;  // a closed connection is no SIGPIPE
using IoSize = std::size_t;

class SocketLibrary {
public:
    bool Started() const { return true; }
};
#endif

#ifdef _WIN32
int LastSocketError()
{
    return ::WSAGetLastError();
}
std::string ErrorText(int error)
{
    return "socket error " + std::to_string(error);
}
#else
int LastSocketError()
{
    return errno;
}
std::string ErrorText(int error)
{
    return std::strerror(error);
}
#endif

// Records why the connection to ipv4:port failed; nullptr for the caller.
std::nullptr_t Failed(std::uint32_t ipv4, std::uint16_t port, int error)
{
    OpenError& failure = OpenFailure();
    failure.device = std::to_string(ipv4 >> 24) + "." + std::to_string((ipv4 >> 16) & 0xFF) + "."
                     + std::to_string((ipv4 >> 8) & 0xFF) + "." + std::to_string(ipv4 & 0xFF) + ":"
                     + std::to_string(port);
    failure.reason = ErrorText(error);
    failure.accessDenied = false;
    return nullptr;
}

std::intptr_t Handle(Socket s)
{
    return static_cast<std::intptr_t>(s);
}

class TcpTransport final : public BufferedTransport {
public:
    TcpTransport(std::unique_ptr<SocketLibrary> library, Socket s) : library_(std::move(library)), socket_(s) {}
    ~TcpTransport() override { CloseSocket(socket_); }

    void Purge() override {}

    void Write(const std::uint8_t* data, std::size_t size, IEventPump& pump) override
    {
        const auto start = Steady::now();
        std::size_t sent = 0;
        while (sent < size && !broken_) {
            const auto n = ::send(socket_, reinterpret_cast<const char*>(data + sent),
                                  static_cast<IoSize>(size - sent), SendFlags);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && Interrupted())
                continue;
            if (n < 0 && WouldBlock()) {
                const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
                const int left = WriteLimitMs - static_cast<int>(spent.count());
                if (left <= 0)
                    return;
                pump.Wait(WaitSource::Writable(Handle(socket_)), left);
                continue;
            }
            broken_ = true;
        }
    }

    bool WaitReadable(int timeoutMs, IEventPump& pump) override
    {
        return WaitThenFill(WaitSource::Readable(Handle(socket_)), timeoutMs, pump);
    }

private:
    void Fill() override
    {
        char* room = reinterpret_cast<char*>(rx_.Prepare(ReadChunk));
        auto n = ::recv(socket_, room, static_cast<IoSize>(ReadChunk), 0);
        while (n < 0 && Interrupted())
            n = ::recv(socket_, room, static_cast<IoSize>(ReadChunk), 0);
        rx_.Commit(n > 0 ? static_cast<std::size_t>(n) : 0);
        if (n == 0 || (n < 0 && !WouldBlock()))
            broken_ = true;
    }

    std::unique_ptr<SocketLibrary> library_;  // outlives the socket
    const Socket socket_;
};

}  // namespace

std::unique_ptr<ITransport> ConnectTcp(std::uint32_t ipv4, std::uint16_t port, IEventPump& pump)
{
    auto library = std::make_unique<SocketLibrary>();
    if (!library->Started())
        return Failed(ipv4, port, LastSocketError());
#ifdef _WIN32
    const Socket s = ::socket(AF_INET, SOCK_STREAM, 0);
    u_long nonBlocking = 1;
    if (s != NoSocket && ::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        const int error = LastSocketError();
        CloseSocket(s);
        return Failed(ipv4, port, error);
    }
#else
    const Socket s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
#endif
    if (s == NoSocket)
        return Failed(ipv4, port, LastSocketError());
    const int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(ipv4);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (!WouldBlock()) {
            const int error = LastSocketError();
            CloseSocket(s);
            return Failed(ipv4, port, error);
        }
        // Writable once connected or failed (Windows: failed shows as an
        // exception, which WaitNative and Qt's notifier both report).
        const WaitSource connected = WaitSource::Writable(Handle(s));
        while (!pump.Wait(connected, -1) && !WaitNative(connected, 0)) {
        }
        int error = 0;
#ifdef _WIN32
        int length = sizeof error;
#else
        socklen_t length = sizeof error;
#endif
        if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
            error = LastSocketError();
        if (error != 0) {
            CloseSocket(s);
            return Failed(ipv4, port, error);
        }
    }
    return std::make_unique<TcpTransport>(std::move(library), s);
}

}  // namespace ct::link::native
