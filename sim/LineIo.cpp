#include "sim/LineIo.h"

#include "sim/BootLoader.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace ct::sim {

namespace {

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void SetNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

LineIo::LineIo(LineDispatcher& dispatcher) : dispatcher_(dispatcher)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) == 0) {
        wakeRead_ = pipeFds[0];
        wakeWrite_ = pipeFds[1];
    } else {
        std::perror("sim: pipe");
        std::abort();
    }
}

LineIo::~LineIo()
{
    Stop();
    // The terminal's endpoint shares its descriptor with ptyMaster_.
    for (auto& ep : endpoints_)
        if (!ep.pty)
            CloseFd(ep.fd);
    endpoints_.clear();
    CloseFd(listenFd_);
    CloseFd(ptySlave_);
    CloseFd(ptyMaster_);
    CloseFd(wakeRead_);
    CloseFd(wakeWrite_);
}

bool LineIo::ListenTcp(const std::string& host, std::uint16_t port)
{
    if (running_)
        return false;
    CloseFd(listenFd_);
    tcpPort_ = 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1)
        return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    tcpPort_ = ntohs(addr.sin_port);
    return true;
}

bool LineIo::OpenPty()
{
    if (running_)
        return false;
    for (auto it = endpoints_.begin(); it != endpoints_.end(); ++it)
        if (it->pty) {
            endpoints_.erase(it);
            break;
        }
    CloseFd(ptySlave_);
    CloseFd(ptyMaster_);
    ptyPath_.clear();

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
    SetNonBlocking(master);
    ptyMaster_ = master;
    ptySlave_ = slave;
    ptyPath_ = name;
    Endpoint ep;
    ep.fd = master;
    ep.pty = true;
    endpoints_.push_back(std::move(ep));
    return true;
}

void LineIo::Start()
{
    if (running_)
        return;
    stopRequested_ = false;
    running_ = true;
    thread_ = std::thread([this] { Loop(); });
}

void LineIo::Stop()
{
    if (!running_)
        return;
    stopRequested_ = true;
    const char wake = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &wake, 1);
    thread_.join();
    running_ = false;
    // Connections end with the service; the listener and the terminal stay
    // for a later Start.
    for (auto it = endpoints_.begin(); it != endpoints_.end();) {
        if (it->pty) {
            it->out.clear();
            it->lastDue = {};
            ++it;
        } else {
            CloseFd(it->fd);
            it = endpoints_.erase(it);
        }
    }
}

int LineIo::TerminalBaud() const
{
    static constexpr struct {
        speed_t speed;
        int baud;
    } kSpeeds[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
                   {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
                   {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    termios tio{};
    if (ptySlave_ < 0 || ::tcgetattr(ptySlave_, &tio) != 0)
        return 0;
    const speed_t speed = ::cfgetospeed(&tio);
    for (const auto& s : kSpeeds)
        if (s.speed == speed)
            return s.baud;
    return 0;
}

void LineIo::Handle(Endpoint& ep, std::string_view commandText, link::Framing framing)
{
    const SteadyTime now = std::chrono::steady_clock::now();
    const std::optional<int> baud = ep.pty ? std::optional<int>(TerminalBaud()) : std::nullopt;
    auto answer = dispatcher_.Handle(commandText, framing, baud, now);
    if (!answer)
        return;
    SteadyTime due = std::max(now, ep.lastDue);
    for (auto& chunk : answer->chunks) {
        due += chunk.after;
        ep.out.push_back(Endpoint::Pending{due, std::move(chunk.bytes)});
    }
    ep.lastDue = due;
    if (answer->rebooted)
        // Silent from the moment the reply is out, however late a fault made it.
        dispatcher_.SilenceUntil(*answer->rebooted, due + answer->rebootSilence);
}

bool LineIo::ReadFrom(Endpoint& ep)
{
    std::uint8_t buffer[4096];
    const ssize_t got = ::read(ep.fd, buffer, sizeof buffer);
    if (got < 0)
        // EIO on a pseudo-terminal only means no slave is open: not an end.
        return errno == EAGAIN || errno == EINTR || ep.pty;
    if (got == 0)
        return ep.pty;
    for (ssize_t i = 0; i < got; ++i) {
        if (ep.requests.Feed(buffer[i]) != link::AssembleStatus::Complete)
            continue;
        // Both request framings start with SOH and end with CR; the loaders
        // behind the application take XOR requests.
        if (ep.requests.Check())
            Handle(ep, ep.requests.CommandText(), link::Framing::Crc);
        else if (const auto text = XorCommandText(ep.requests.data(), ep.requests.position()))
            Handle(ep, *text, link::Framing::Xor);
        else
            dispatcher_.LogBadFrame(
                std::string_view(reinterpret_cast<const char*>(ep.requests.data()), ep.requests.position()));
    }
    return true;
}

bool LineIo::Flush(Endpoint& ep, SteadyTime now)
{
    ep.writeBlocked = false;
    while (!ep.out.empty() && ep.out.front().due <= now) {
        auto& p = ep.out.front();
        // A peer that hung up must not raise SIGPIPE in whatever process
        // hosts the controller (a test, a benchmark).
        const ssize_t n = ep.pty ? ::write(ep.fd, p.bytes.data() + p.sent, p.bytes.size() - p.sent)
                                 : ::send(ep.fd, p.bytes.data() + p.sent, p.bytes.size() - p.sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                ep.writeBlocked = true;
                return true;
            }
            if (!ep.pty)
                return false;
            // Nobody reads the terminal: the reply is lost, as on a cable.
            ep.out.pop_front();
            continue;
        }
        p.sent += static_cast<std::size_t>(n);
        if (p.sent == p.bytes.size())
            ep.out.pop_front();
    }
    return true;
}

void LineIo::Accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Endpoint ep;
        ep.fd = fd;
        endpoints_.push_back(std::move(ep));
    }
}

void LineIo::Loop()
{
    std::vector<pollfd> fds;
    for (;;) {
        if (stopRequested_)
            return;
        const SteadyTime now = std::chrono::steady_clock::now();
        int timeoutMs = -1;
        for (auto it = endpoints_.begin(); it != endpoints_.end();) {
            if (!Flush(*it, now)) {
                CloseFd(it->fd);
                it = endpoints_.erase(it);
                continue;
            }
            // A blocked writer waits for POLLOUT, not for its due time.
            if (!it->out.empty() && !it->writeBlocked) {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(it->out.front().due - now);
                const int ms = static_cast<int>(std::max<std::int64_t>(wait.count(), 0));
                timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
            }
            ++it;
        }

        fds.clear();
        fds.push_back(pollfd{wakeRead_, POLLIN, 0});
        if (listenFd_ >= 0)
            fds.push_back(pollfd{listenFd_, POLLIN, 0});
        const std::size_t first = fds.size();
        for (const auto& ep : endpoints_)
            fds.push_back(pollfd{ep.fd, static_cast<short>(POLLIN | (ep.writeBlocked ? POLLOUT : 0)), 0});

        const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("sim: poll");
            return;
        }
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        if (listenFd_ >= 0 && (fds[1].revents & POLLIN))
            Accept();
        // Endpoints accepted just now were not polled; only the first ones are.
        std::size_t index = first;
        for (auto it = endpoints_.begin(); it != endpoints_.end() && index < fds.size(); ++index) {
            const short revents = fds[index].revents;
            bool alive = true;
            if (revents & POLLIN)
                alive = ReadFrom(*it);
            // A terminal's hang-up only means no slave is open; a connection's is its end.
            else if ((revents & (POLLHUP | POLLERR)) && !it->pty)
                alive = false;
            if (!alive) {
                CloseFd(it->fd);
                it = endpoints_.erase(it);
            } else {
                ++it;
            }
        }
        // A terminal without its slave open reports hang-up without end; the
        // kept slave prevents that, but never spin on it.
        for (std::size_t i = first; i < fds.size(); ++i)
            if ((fds[i].revents & POLLHUP) && !(fds[i].revents & POLLIN))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace ct::sim
