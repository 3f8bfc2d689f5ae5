#include "sim/ControllerSim.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"

#include "sim/BootLoader.h"
#include "sim/ControllerModel.h"
#include "sim/FaultPlan.h"
#include "sim/LineSetting.h"

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace ct::sim {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

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

// One byte stream the controller serves: an accepted TCP connection or the
// pseudo-terminal's master side.
struct Endpoint {
    int fd = -1;
    bool pty = false;
    link::RequestAssembler requests;
    struct Pending {
        SteadyTime due;
        std::string bytes;
        std::size_t sent = 0;
    };
    // Replies go out strictly in order, each after the ones before it, as a
    // controller that answers one request at a time would send them.
    std::deque<Pending> out;
    SteadyTime lastDue{};
    bool writeBlocked = false;
};

// One controller on the line.
struct Station {
    explicit Station(ControllerConfig config) : model(std::move(config)) {}
    ControllerModel model;
    SteadyTime silentUntil{};  // the end of a reboot's silence
};

}  // namespace

struct ControllerSim::Impl {
    explicit Impl(std::vector<ControllerConfig> line)
    {
        if (line.empty())
            line.emplace_back();
        for (auto& config : line)
            stations.emplace_back(std::move(config));
        ConnectRule();
    }

    // Shared with the callers' threads.
    mutable std::mutex mutex;
    mutable std::condition_variable commandsArrived;
    std::vector<Station> stations;  // never empty
    FaultSet faults;
    std::vector<std::string> commands;
    bool verbose = false;

    // Set up before Start; owned by the I/O thread while it runs.
    int listenFd = -1;
    std::uint16_t tcpPort = 0;
    int ptyMaster = -1;
    // The slave side stays open here as well, so that the master never sees
    // a hang-up while the tool has closed its port between operations.
    int ptySlave = -1;
    std::string ptyPath;
    std::deque<Endpoint> endpoints;

    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread thread;
    bool running = false;
    bool stopRequested = false;  // under mutex

    // "AC" at any ID only while one controller is alone on the line. Under
    // mutex.
    void ConnectRule()
    {
        for (auto& s : stations)
            s.model.SetConnectAnyId(stations.size() == 1);
    }
    Station& At(std::size_t index);

    void Loop();
    void Accept();
    // False when the endpoint is gone (connection closed).
    bool ReadFrom(Endpoint& ep);
    bool Flush(Endpoint& ep, SteadyTime now);
    // `framing`: the request's, Crc or Xor.
    void Handle(Endpoint& ep, std::string_view commandText, link::Framing framing);
    // The terminal's baud rate as the tool set it; 0 when unknown.
    int TerminalBaud() const;
    // Why the controller does not hear a request now, or nothing; `baud` is
    // the terminal's for a request from it. Under mutex.
    const char* Deaf(const Station& station, const Endpoint& ep, SteadyTime now, int baud) const;
    void LogBadFrame(std::string_view frame);
};

void ControllerSim::Impl::LogBadFrame(std::string_view frame)
{
    bool v;
    {
        std::lock_guard lock(mutex);
        v = verbose;
    }
    if (v)
        std::fprintf(stderr, "sim: ignored frame with bad check: %s\n", link::EscapeBytes(frame).c_str());
}

int ControllerSim::Impl::TerminalBaud() const
{
    static constexpr struct {
        speed_t speed;
        int baud;
    } kSpeeds[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
                   {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
                   {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    termios tio{};
    if (ptySlave < 0 || ::tcgetattr(ptySlave, &tio) != 0)
        return 0;
    const speed_t speed = ::cfgetospeed(&tio);
    for (const auto& s : kSpeeds)
        if (s.speed == speed)
            return s.baud;
    return 0;
}

Station& ControllerSim::Impl::At(std::size_t index)
{
    if (index >= stations.size())
        throw std::out_of_range("ControllerSim: no controller " + std::to_string(index));
    return stations[index];
}

const char* ControllerSim::Impl::Deaf(const Station& station, const Endpoint& ep, SteadyTime now, int baud) const
{
    if (now < station.silentUntil)
        return "rebooting";
    if (!ep.pty)
        return nullptr;
    // The terminal keeps the speed the tool opened it with, but not the
    // parity, so only the baud rate can tell a line the tool failed to
    // follow. Requests at another speed would reach a real controller as
    // garbage: it neither logs nor answers them.
    const auto line = ParseLineSetting(station.model.config().line);
    if (!line || line->baud != baud)
        return "sent at another speed than the line's";
    return nullptr;
}

void ControllerSim::Impl::Handle(Endpoint& ep, std::string_view commandText, link::Framing framing)
{
    std::vector<ReplyChunk> chunks;
    const SteadyTime now = std::chrono::steady_clock::now();
    bool rebooted = false;
    std::size_t answerer = 0;
    std::chrono::milliseconds rebootSilence{0};
    const int baud = ep.pty ? TerminalBaud() : 0;
    {
        std::lock_guard lock(mutex);
        bool heard = false;
        const char* why = nullptr;
        std::string lineNote;
        std::optional<Response> reply;
        for (std::size_t i = 0; i < stations.size() && !reply; ++i) {
            Station& s = stations[i];
            if (const char* deaf = Deaf(s, ep, now, baud)) {
                why = deaf;
                continue;
            }
            heard = true;
            const int reboots = s.model.reboots();
            const std::string line = s.model.config().line;
            reply = s.model.Respond(commandText, framing);
            if (!reply)
                continue;
            answerer = i;
            rebooted = s.model.reboots() != reboots;
            rebootSilence = s.model.config().rebootSilence;
            if (s.model.config().line != line)
                lineNote = "sim: line of " + s.model.config().id + " now " + s.model.config().line + "\n";
        }
        if (!heard) {
            if (verbose)
                std::fprintf(stderr, "sim: not heard (%s): %s\n", why, link::EscapeBytes(commandText).c_str());
            return;
        }
        commands.emplace_back(commandText);
        if (verbose)
            std::fprintf(stderr, "sim: %s\n%s", link::EscapeBytes(commandText).c_str(), lineNote.c_str());
        if (reply && reply->framing == link::Framing::Crc) {
            // Only a command text of an ID and a code gets a CRC answer.
            const std::string_view code = commandText.substr(static_cast<std::size_t>(link::cmd::ControllerIdLength));
            std::vector<Fault> applied = faults.Take(code);
            if (reply->spoiltCheck) {
                Fault spoil;
                spoil.kind = FaultKind::WrongCrc;
                applied.push_back(spoil);
            }
            chunks = RenderReply(reply->text, applied);
        } else if (reply) {
            chunks = {ReplyChunk{{}, RenderXorReply(reply->framing, reply->text, reply->spoiltCheck)}};
        }
    }
    commandsArrived.notify_all();

    SteadyTime due = std::max(now, ep.lastDue);
    for (auto& chunk : chunks) {
        due += chunk.after;
        ep.out.push_back(Endpoint::Pending{due, std::move(chunk.bytes)});
    }
    ep.lastDue = due;
    if (rebooted) {
        // Silent from the moment the reply is out, however late a fault made it.
        std::lock_guard lock(mutex);
        stations[answerer].silentUntil = due + rebootSilence;
    }
}

bool ControllerSim::Impl::ReadFrom(Endpoint& ep)
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
            LogBadFrame(std::string_view(reinterpret_cast<const char*>(ep.requests.data()), ep.requests.position()));
    }
    return true;
}

bool ControllerSim::Impl::Flush(Endpoint& ep, SteadyTime now)
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

void ControllerSim::Impl::Accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Endpoint ep;
        ep.fd = fd;
        endpoints.push_back(std::move(ep));
    }
}

void ControllerSim::Impl::Loop()
{
    std::vector<pollfd> fds;
    for (;;) {
        {
            std::lock_guard lock(mutex);
            if (stopRequested)
                return;
        }
        const SteadyTime now = std::chrono::steady_clock::now();
        int timeoutMs = -1;
        for (auto it = endpoints.begin(); it != endpoints.end();) {
            if (!Flush(*it, now)) {
                CloseFd(it->fd);
                it = endpoints.erase(it);
                continue;
            }
            if (!it->out.empty() && !it->writeBlocked) {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(it->out.front().due - now);
                const int ms = static_cast<int>(std::max<std::int64_t>(wait.count(), 0));
                timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
            }
            ++it;
        }

        fds.clear();
        fds.push_back(pollfd{wakeRead, POLLIN, 0});
        if (listenFd >= 0)
            fds.push_back(pollfd{listenFd, POLLIN, 0});
        const std::size_t first = fds.size();
        for (const auto& ep : endpoints)
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
            while (::read(wakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (listenFd >= 0 && (fds[1].revents & POLLIN))
            Accept();
        // Endpoints accepted just now were not polled; only the first ones are.
        std::size_t index = first;
        for (auto it = endpoints.begin(); it != endpoints.end() && index < fds.size(); ++index) {
            const short revents = fds[index].revents;
            bool alive = true;
            if (revents & POLLIN)
                alive = ReadFrom(*it);
            else if ((revents & (POLLHUP | POLLERR)) && !it->pty)
                alive = false;
            if (!alive) {
                CloseFd(it->fd);
                it = endpoints.erase(it);
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

ControllerSim::ControllerSim(ControllerConfig config) : ControllerSim(std::vector<ControllerConfig>{std::move(config)})
{
}

ControllerSim::ControllerSim(std::vector<ControllerConfig> line) : impl_(std::make_unique<Impl>(std::move(line)))
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) == 0) {
        impl_->wakeRead = pipeFds[0];
        impl_->wakeWrite = pipeFds[1];
    } else {
        std::perror("sim: pipe");
        std::abort();
    }
}

ControllerSim::~ControllerSim()
{
    Stop();
    for (auto& ep : impl_->endpoints)
        if (!ep.pty)
            CloseFd(ep.fd);
    impl_->endpoints.clear();
    CloseFd(impl_->listenFd);
    CloseFd(impl_->ptySlave);
    CloseFd(impl_->ptyMaster);
    CloseFd(impl_->wakeRead);
    CloseFd(impl_->wakeWrite);
}

bool ControllerSim::ListenTcp(const std::string& host, std::uint16_t port)
{
    if (impl_->running)
        return false;
    CloseFd(impl_->listenFd);
    impl_->tcpPort = 0;
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
    impl_->listenFd = fd;
    impl_->tcpPort = ntohs(addr.sin_port);
    return true;
}

std::uint16_t ControllerSim::TcpPort() const
{
    return impl_->tcpPort;
}

bool ControllerSim::OpenPty()
{
    if (impl_->running)
        return false;
    auto& d = *impl_;
    for (auto it = d.endpoints.begin(); it != d.endpoints.end(); ++it)
        if (it->pty) {
            d.endpoints.erase(it);
            break;
        }
    CloseFd(d.ptySlave);
    CloseFd(d.ptyMaster);
    d.ptyPath.clear();

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
    d.ptyMaster = master;
    d.ptySlave = slave;
    d.ptyPath = name;
    Endpoint ep;
    ep.fd = master;
    ep.pty = true;
    d.endpoints.push_back(std::move(ep));
    return true;
}

std::string ControllerSim::PtyPath() const
{
    return impl_->ptyPath;
}

void ControllerSim::Start()
{
    if (impl_->running)
        return;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopRequested = false;
    }
    impl_->running = true;
    impl_->thread = std::thread([this] { impl_->Loop(); });
}

void ControllerSim::Stop()
{
    if (!impl_->running)
        return;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopRequested = true;
    }
    const char wake = 1;
    [[maybe_unused]] const ssize_t n = ::write(impl_->wakeWrite, &wake, 1);
    impl_->thread.join();
    impl_->running = false;
    // Connections end with the service; the listener and the terminal stay
    // for a later Start.
    auto& eps = impl_->endpoints;
    for (auto it = eps.begin(); it != eps.end();) {
        if (it->pty) {
            it->out.clear();
            it->lastDue = {};
            ++it;
        } else {
            CloseFd(it->fd);
            it = eps.erase(it);
        }
    }
}

void ControllerSim::InjectFault(const Fault& fault)
{
    std::lock_guard lock(impl_->mutex);
    impl_->faults.Add(fault);
}

std::vector<std::string> ControllerSim::Commands() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->commands;
}

void ControllerSim::ClearCommands()
{
    std::lock_guard lock(impl_->mutex);
    impl_->commands.clear();
}

bool ControllerSim::WaitForCommands(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(impl_->mutex);
    return impl_->commandsArrived.wait_for(lock, timeout, [&] { return impl_->commands.size() >= n; });
}

ControllerConfig ControllerSim::Config() const
{
    return Config(0);
}

void ControllerSim::SetConfig(const ControllerConfig& config)
{
    SetConfig(0, config);
}

std::size_t ControllerSim::AddController(const ControllerConfig& config)
{
    std::lock_guard lock(impl_->mutex);
    impl_->stations.emplace_back(config);
    impl_->ConnectRule();
    return impl_->stations.size() - 1;
}

std::size_t ControllerSim::ControllerCount() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->stations.size();
}

ControllerConfig ControllerSim::Config(std::size_t index) const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->At(index).model.config();
}

void ControllerSim::SetConfig(std::size_t index, const ControllerConfig& config)
{
    std::lock_guard lock(impl_->mutex);
    impl_->At(index).model.SetConfig(config);
}

void ControllerSim::SetInputs(const std::string& inputs)
{
    std::lock_guard lock(impl_->mutex);
    impl_->stations.front().model.SetInputs(inputs);
}

void ControllerSim::QueueRecord(const EventRecord& record)
{
    std::lock_guard lock(impl_->mutex);
    impl_->stations.front().model.QueueRecord(record);
}

bool ControllerSim::SetLineSetting(const std::string& line)
{
    std::lock_guard lock(impl_->mutex);
    return impl_->stations.front().model.SetLine(line);
}

void ControllerSim::SetRebootSilence(std::chrono::milliseconds silence)
{
    std::lock_guard lock(impl_->mutex);
    ControllerConfig c = impl_->stations.front().model.config();
    c.rebootSilence = silence;
    impl_->stations.front().model.SetConfig(std::move(c));
}

std::string ControllerSim::ControllerTime(std::size_t index) const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->At(index).model.ControllerTime();
}

bool ControllerSim::SetControllerTime(const std::string& digits, std::size_t index)
{
    std::lock_guard lock(impl_->mutex);
    return impl_->At(index).model.SetControllerTime(digits);
}

int ControllerSim::Reboots() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->stations.front().model.reboots();
}

int ControllerSim::FactoryResets() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->stations.front().model.factoryResets();
}

bool ControllerSim::Rebooting() const
{
    std::lock_guard lock(impl_->mutex);
    return std::chrono::steady_clock::now() < impl_->stations.front().silentUntil;
}

void ControllerSim::SetLoader(LoaderKind kind)
{
    std::lock_guard lock(impl_->mutex);
    ControllerConfig c = impl_->stations.front().model.config();
    c.loader = kind;
    impl_->stations.front().model.SetConfig(std::move(c));
}

void ControllerSim::AddLoaderFault(const LoaderFault& fault)
{
    std::lock_guard lock(impl_->mutex);
    ControllerConfig c = impl_->stations.front().model.config();
    c.loaderFaults.push_back(fault);
    impl_->stations.front().model.SetConfig(std::move(c));
}

bool ControllerSim::InLoader(std::size_t index) const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->At(index).model.loader().active();
}

int ControllerSim::LoaderEntries(std::size_t index) const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->At(index).model.loader().entries();
}

int ControllerSim::LoaderStarts(std::size_t index) const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->At(index).model.loader().starts();
}

std::vector<std::uint8_t> ControllerSim::Flash(std::size_t address, std::size_t size, std::size_t index) const
{
    std::lock_guard lock(impl_->mutex);
    const auto& flash = impl_->At(index).model.loader().flash();
    if (address >= flash.size())
        return {};
    const auto begin = flash.begin() + static_cast<std::ptrdiff_t>(address);
    const auto count = static_cast<std::ptrdiff_t>(std::min(size, flash.size() - address));
    return std::vector<std::uint8_t>(begin, begin + count);
}

void ControllerSim::SetVerbose(bool verbose)
{
    std::lock_guard lock(impl_->mutex);
    impl_->verbose = verbose;
}

}  // namespace ct::sim
