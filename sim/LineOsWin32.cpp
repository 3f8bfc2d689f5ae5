// The substitute controller's line on Windows: Winsock sockets, a connected
// pair of loopback sockets to wake the I/O thread (WSAPoll takes sockets
// only), WSAPoll, no pseudo-terminal, and the console's Ctrl+C.
#ifdef _WIN32

#include "sim/LineOs.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cerrno>

namespace ct::sim::os {

namespace {

SOCKET Sock(Handle h)
{
    return static_cast<SOCKET>(h);
}

Handle FromSock(SOCKET s)
{
    return s == INVALID_SOCKET ? NoHandle : static_cast<Handle>(s);
}

void NonBlocking(SOCKET s)
{
    u_long on = 1;
    ::ioctlsocket(s, FIONBIO, &on);
}

HANDLE stopEvent = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD)
{
    ::SetEvent(stopEvent);
    return TRUE;
}

}  // namespace

SocketLibrary::SocketLibrary()
{
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
}

SocketLibrary::~SocketLibrary()
{
    ::WSACleanup();
}

void Close(Handle& h)
{
    if (h != NoHandle)
        ::closesocket(Sock(h));
    h = NoHandle;
}

Handle Listen(const std::string& host, std::uint16_t port, std::uint16_t& boundPort)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1)
        return NoHandle;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return NoHandle;
    // Windows' SO_REUSEADDR would let a second listener take the port from
    // the first; SO_EXCLUSIVEADDRUSE is what Linux's bind does by default.
    const BOOL on = TRUE;
    ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    int len = sizeof addr;
    if (::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 8) != 0
        || ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        const int saved = ::WSAGetLastError();
        ::closesocket(s);
        ::WSASetLastError(saved);
        return NoHandle;
    }
    NonBlocking(s);
    boundPort = ntohs(addr.sin_port);
    return FromSock(s);
}

Handle Accept(Handle listener)
{
    const SOCKET s = ::accept(Sock(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return NoHandle;
    NonBlocking(s);
    const BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return FromSock(s);
}

bool MakeWakePair(Handle& readEnd, Handle& writeEnd)
{
    std::uint16_t port = 0;
    Handle listener = Listen("127.0.0.1", 0, port);
    if (listener == NoHandle)
        return false;
    const SOCKET writer = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // The listener is non-blocking: the connect, blocking, completes first.
    const bool connected =
        writer != INVALID_SOCKET && ::connect(writer, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    Handle reader = connected ? Accept(listener) : NoHandle;
    Close(listener);
    if (reader == NoHandle) {
        if (writer != INVALID_SOCKET)
            ::closesocket(writer);
        return false;
    }
    NonBlocking(writer);
    readEnd = reader;
    writeEnd = FromSock(writer);
    return true;
}

void Wake(Handle writeEnd)
{
    const char wake = 1;
    ::send(Sock(writeEnd), &wake, 1, 0);
}

void Drain(Handle readEnd)
{
    char drain[64];
    while (::recv(Sock(readEnd), drain, sizeof drain, 0) > 0) {
    }
}

IoResult Read(Handle h, bool, std::uint8_t* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    const int n = ::recv(Sock(h), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
    if (n > 0) {
        got = static_cast<std::size_t>(n);
        return IoResult::Done;
    }
    if (n == 0)
        return IoResult::Ended;
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? IoResult::WouldBlock : IoResult::Failed;
}

IoResult Write(Handle h, bool, const char* data, std::size_t size, std::size_t& sent)
{
    sent = 0;
    const int n = ::send(Sock(h), data, static_cast<int>(size), 0);
    if (n >= 0) {
        sent = static_cast<std::size_t>(n);
        return IoResult::Done;
    }
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? IoResult::WouldBlock : IoResult::Failed;
}

bool Poll(std::vector<PollItem>& items, int timeoutMs)
{
    std::vector<WSAPOLLFD> fds;
    fds.reserve(items.size());
    for (const PollItem& item : items)
        fds.push_back(WSAPOLLFD{Sock(item.handle), static_cast<SHORT>(POLLRDNORM | (item.wantWrite ? POLLWRNORM : 0)), 0});
    if (::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs) == SOCKET_ERROR)
        return false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const SHORT r = fds[i].revents;
        items[i].readable = r & POLLRDNORM;
        items[i].writable = r & POLLWRNORM;
        // A peer's close shows as POLLHUP; recv then reads its end.
        items[i].hungUp = (r & (POLLHUP | POLLERR)) && !(r & POLLRDNORM);
    }
    return true;
}

bool OpenPty(Handle&, Handle&, std::string&)
{
    errno = ENOSYS;  // what the caller reports: the system has none
    return false;
}

int TerminalBaud(Handle)
{
    return 0;
}

void BlockStopSignals()
{
    stopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForStop()
{
    ::WaitForSingleObject(stopEvent, INFINITE);
}

std::string LastError()
{
    char text[256] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                     static_cast<DWORD>(::WSAGetLastError()), 0, text, sizeof text, nullptr);
    std::string message(text, n);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

}  // namespace ct::sim::os

#endif
