// The substitute controller's line on Linux: BSD sockets, a pipe to wake the
// I/O thread, poll(), a pseudo-terminal, and the stop signals taken by
// sigwait.
#ifndef _WIN32

#include "sim/LineOs.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace ct::sim::os {

namespace {

int Fd(Handle h)
{
    return static_cast<int>(h);
}

bool Busy()
{
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

sigset_t StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

SocketLibrary::SocketLibrary() = default;
SocketLibrary::~SocketLibrary() = default;

void Close(Handle& h)
{
    if (h != NoHandle)
        ::close(Fd(h));
    h = NoHandle;
}

Handle Listen(const std::string& host, std::uint16_t port, std::uint16_t& boundPort)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1)
        return NoHandle;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return NoHandle;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        const int saved = errno;  // the caller reports why
        ::close(fd);
        errno = saved;
        return NoHandle;
    }
    boundPort = ntohs(addr.sin_port);
    return fd;
}

Handle Accept(Handle listener)
{
    const int fd = ::accept4(Fd(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return NoHandle;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool MakeWakePair(Handle& readEnd, Handle& writeEnd)
{
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        return false;
    readEnd = fds[0];
    writeEnd = fds[1];
    return true;
}

void Wake(Handle writeEnd)
{
    const char wake = 1;
    [[maybe_unused]] const ssize_t n = ::write(Fd(writeEnd), &wake, 1);
}

void Drain(Handle readEnd)
{
    char drain[64];
    while (::read(Fd(readEnd), drain, sizeof drain) > 0) {
    }
}

IoResult Read(Handle h, bool terminal, std::uint8_t* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    const ssize_t n = ::read(Fd(h), buffer, size);
    if (n > 0) {
        got = static_cast<std::size_t>(n);
        return IoResult::Done;
    }
    // EIO on a pseudo-terminal's master only means that no slave is open.
    if (n < 0 && (Busy() || (terminal && errno == EIO)))
        return IoResult::WouldBlock;
    return n == 0 ? IoResult::Ended : IoResult::Failed;
}

IoResult Write(Handle h, bool terminal, const char* data, std::size_t size, std::size_t& sent)
{
    sent = 0;
    // A peer that hung up must not raise SIGPIPE in whatever process hosts
    // the controller (a test, a benchmark).
    const ssize_t n = terminal ? ::write(Fd(h), data, size) : ::send(Fd(h), data, size, MSG_NOSIGNAL);
    if (n >= 0) {
        sent = static_cast<std::size_t>(n);
        return IoResult::Done;
    }
    return Busy() ? IoResult::WouldBlock : IoResult::Failed;
}

bool Poll(std::vector<PollItem>& items, int timeoutMs)
{
    std::vector<pollfd> fds;
    fds.reserve(items.size());
    for (const PollItem& item : items)
        fds.push_back(pollfd{Fd(item.handle), static_cast<short>(POLLIN | (item.wantWrite ? POLLOUT : 0)), 0});
    const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0)
        return errno == EINTR;
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].readable = fds[i].revents & POLLIN;
        items[i].writable = fds[i].revents & POLLOUT;
        items[i].hungUp = (fds[i].revents & (POLLHUP | POLLERR)) && !(fds[i].revents & POLLIN);
    }
    return true;
}

bool OpenPty(Handle& masterOut, Handle& slaveOut, std::string& path)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return false;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slave < 0) {
        ::close(master);
        return false;
    }
    // Raw: no byte translated, none echoed back, no line editing.
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetspeed(&tio, B115200);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    masterOut = master;
    slaveOut = slave;
    path = name;
    return true;
}

int TerminalBaud(Handle slave)
{
    static constexpr struct {
        speed_t speed;
        int baud;
    } kSpeeds[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
                   {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
                   {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    termios tio{};
    if (slave == NoHandle || ::tcgetattr(Fd(slave), &tio) != 0)
        return 0;
    const speed_t speed = ::cfgetospeed(&tio);
    for (const auto& s : kSpeeds)
        if (s.speed == speed)
            return s.baud;
    return 0;
}

void BlockStopSignals()
{
    // Blocked before the I/O thread starts, so that only sigwait sees them.
    // A shell starts background jobs with SIGINT ignored, and an ignored
    // signal never reaches sigwait: take it back.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    const sigset_t stop = StopSignals();
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void WaitForStop()
{
    const sigset_t stop = StopSignals();
    int signal = 0;
    sigwait(&stop, &signal);
}

std::string LastError()
{
    return std::strerror(errno);
}

}  // namespace ct::sim::os

#endif
