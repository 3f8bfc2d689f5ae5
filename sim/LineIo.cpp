#include "sim/LineIo.h"

#include "sim/BootLoader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace ct::sim {

LineIo::LineIo(LineDispatcher& dispatcher) : dispatcher_(dispatcher)
{
    if (!os::MakeWakePair(wakeRead_, wakeWrite_)) {
        std::fprintf(stderr, "sim: wake-up channel: %s\n", os::LastError().c_str());
        std::abort();
    }
}

LineIo::~LineIo()
{
    Stop();
    // The terminal's endpoint shares its descriptor with ptyMaster_.
    for (auto& ep : endpoints_)
        if (!ep.pty)
            os::Close(ep.fd);
    endpoints_.clear();
    os::Close(listenFd_);
    os::Close(ptySlave_);
    os::Close(ptyMaster_);
    os::Close(wakeRead_);
    os::Close(wakeWrite_);
}

bool LineIo::ListenTcp(const std::string& host, std::uint16_t port)
{
    if (running_)
        return false;
    os::Close(listenFd_);
    tcpPort_ = 0;
    listenFd_ = os::Listen(host, port, tcpPort_);
    return listenFd_ != os::NoHandle;
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
    os::Close(ptySlave_);
    os::Close(ptyMaster_);
    ptyPath_.clear();

    if (!os::OpenPty(ptyMaster_, ptySlave_, ptyPath_))
        return false;
    Endpoint ep;
    ep.fd = ptyMaster_;
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
    os::Wake(wakeWrite_);
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
            os::Close(it->fd);
            it = endpoints_.erase(it);
        }
    }
}

void LineIo::Handle(Endpoint& ep, std::string_view commandText, link::Framing framing)
{
    const SteadyTime now = std::chrono::steady_clock::now();
    const std::optional<int> baud = ep.pty ? std::optional<int>(os::TerminalBaud(ptySlave_)) : std::nullopt;
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
    std::size_t got = 0;
    const os::IoResult result = os::Read(ep.fd, ep.pty, buffer, sizeof buffer, got);
    if (result != os::IoResult::Done)
        // A terminal's master never ends: a tool closes and reopens its port.
        return result == os::IoResult::WouldBlock || ep.pty;
    for (std::size_t i = 0; i < got; ++i) {
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
        std::size_t n = 0;
        const os::IoResult result = os::Write(ep.fd, ep.pty, p.bytes.data() + p.sent, p.bytes.size() - p.sent, n);
        if (result == os::IoResult::WouldBlock) {
            ep.writeBlocked = true;
            return true;
        }
        if (result != os::IoResult::Done) {
            if (!ep.pty)
                return false;
            // Nobody reads the terminal: the reply is lost, as on a cable.
            ep.out.pop_front();
            continue;
        }
        p.sent += n;
        if (p.sent == p.bytes.size())
            ep.out.pop_front();
    }
    return true;
}

void LineIo::Accept()
{
    for (;;) {
        const os::Handle fd = os::Accept(listenFd_);
        if (fd == os::NoHandle)
            return;
        Endpoint ep;
        ep.fd = fd;
        endpoints_.push_back(std::move(ep));
    }
}

void LineIo::Loop()
{
    std::vector<os::PollItem> fds;
    for (;;) {
        if (stopRequested_)
            return;
        const SteadyTime now = std::chrono::steady_clock::now();
        int timeoutMs = -1;
        for (auto it = endpoints_.begin(); it != endpoints_.end();) {
            if (!Flush(*it, now)) {
                os::Close(it->fd);
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
        fds.push_back(os::PollItem{wakeRead_});
        if (listenFd_ != os::NoHandle)
            fds.push_back(os::PollItem{listenFd_});
        const std::size_t first = fds.size();
        for (const auto& ep : endpoints_)
            fds.push_back(os::PollItem{ep.fd, ep.writeBlocked});

        if (!os::Poll(fds, timeoutMs)) {
            std::fprintf(stderr, "sim: poll: %s\n", os::LastError().c_str());
            return;
        }
        if (fds[0].readable)
            os::Drain(wakeRead_);
        if (listenFd_ != os::NoHandle && fds[1].readable)
            Accept();
        // Endpoints accepted just now were not polled; only the first ones are.
        std::size_t index = first;
        for (auto it = endpoints_.begin(); it != endpoints_.end() && index < fds.size(); ++index) {
            bool alive = true;
            if (fds[index].readable)
                alive = ReadFrom(*it);
            // A terminal's hang-up only means no slave is open; a connection's is its end.
            else if (fds[index].hungUp && !it->pty)
                alive = false;
            if (!alive) {
                os::Close(it->fd);
                it = endpoints_.erase(it);
            } else {
                ++it;
            }
        }
        // A terminal without its slave open reports hang-up without end; the
        // kept slave prevents that, but never spin on it.
        for (std::size_t i = first; i < fds.size(); ++i)
            if (fds[i].hungUp)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace ct::sim
