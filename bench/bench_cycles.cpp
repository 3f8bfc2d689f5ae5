// One cycle of each continuous test, beyond its own pauses.
//
// DIDO: outputs 1 and 3 checked, so a cycle is JC001, 20 ms, JC003, 20 ms,
// DG0, 20 ms. Polling: every poll finds a record (a 59-byte reply), so a cycle
// is PI, 20 ms, IB, 20 ms. Both run through the real loops (ClickDidoTest,
// ClickPollingTest) against the substitute controller over TCP loopback and a
// pseudo-terminal, with SteadyClock and either NoEventPump (the CLI's) or
// QtEventPump inside a QCoreApplication. The view's CycleDone stamps the
// end of every cycle and stops the loop after the warm-up and the measured
// cycles; a cycle is the span between two stamps.
//
// Reported per path, pump and test: the median of (cycle - its nominal
// pauses), and that figure split into what the pauses themselves took beyond
// 20 ms (the pump's waits on nothing, timed by a forwarding pump) and the
// rest (transactions, views, loop). Beside them a floor: the same requests
// and 20 ms waits by a minimal blocking client (write, read until CR,
// poll() on nothing for the pause), which is what the machine itself costs:
// a wake-up after 20 ms of sleep is far dearer than one in a busy loop.
// Separately, the overshoot of a bare PumpedPause(20) on each pump.
//
// Configurations take turns in rounds (each round one open, warm-up and
// cycles/rounds cycles of each), so that all of them see the same machine.
//
// usage: bench_cycles [--cycles N] [--rounds R] [--warmup W]
//                     [--only tcp|pty] [--pump none|qt] [--test dido|polling]
//                     [--no-floor]

#include "link/Clock.h"
#include "link/ControllerInterface.h"
#include "app/QtEventPump.h"
#include "link/EventPump.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/OperationFrame.h"
#include "link/NativeTransportFactory.h"
#include "bench/BlockingClient.h"
#include "sim/ControllerSim.h"
#include "tests/DidoTest.h"
#include "tests/Operation.h"
#include "tests/PollingTest.h"

#include <QCoreApplication>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using ct::bench::ConnectTcp;
using ct::bench::OpenTerminal;

namespace {

using namespace ct;
using Steady = std::chrono::steady_clock;

double Us(Steady::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// Forwards to the pump under test and adds up the time of its waits on
// nothing, which only the pauses make.
class TimingPump final : public link::IEventPump {
public:
    explicit TimingPump(link::IEventPump& inner) : inner_(inner) {}
    void ProcessEvents() override { inner_.ProcessEvents(); }
    bool Wait(const link::WaitSource& source, int timeoutMs) override
    {
        if (source.kind != link::WaitSource::Kind::None)
            return inner_.Wait(source, timeoutMs);
        const auto t0 = Steady::now();
        const bool ready = inner_.Wait(source, timeoutMs);
        pauseWaits_ += Steady::now() - t0;
        return ready;
    }
    Steady::duration PauseWaits() const { return pauseWaits_; }

private:
    link::IEventPump& inner_;
    Steady::duration pauseWaits_{};
};

class StatusView final : public link::IStatusView {
public:
    link::LinkSettings settings;
    void SetBusyCursor(bool) override {}
    void SetWindowEnabled(bool) override {}
    void SetBusyTimerRunning(bool) override {}
    void SetLamp(link::Lamp) override {}
    void ShowStatus(link::StatusMessage) override {}
    link::LinkSettings ActiveLinkSettings() override { return settings; }
};

// The end of every cycle: a time stamp, the pauses' wait time so far, and
// whether the cycle showed what it should have (inputs, a record).
class CycleRecorder {
public:
    CycleRecorder(const TimingPump& pump, int stamps) : pump_(pump), stamps_(stamps)
    {
        at_.reserve(static_cast<std::size_t>(stamps));
        paused_.reserve(static_cast<std::size_t>(stamps));
    }
    void Shown() { shown_ = true; }
    void Done(tests::TestState& state)
    {
        at_.push_back(Steady::now());
        paused_.push_back(pump_.PauseWaits());
        if (!shown_)
            ++missing_;
        shown_ = false;
        if (static_cast<int>(at_.size()) >= stamps_)
            state.TestRunning = false;
    }
    const std::vector<Steady::time_point>& At() const { return at_; }
    const std::vector<Steady::duration>& Paused() const { return paused_; }
    int Missing() const { return missing_; }

private:
    const TimingPump& pump_;
    int stamps_;
    std::vector<Steady::time_point> at_;
    std::vector<Steady::duration> paused_;
    bool shown_ = false;
    int missing_ = 0;
};

class DidoView final : public tests::IDidoView {
public:
    explicit DidoView(CycleRecorder& r) : r_(r) {}
    void ShowTitle(tests::Title) override {}
    void EnterTest() override {}
    void LeaveTest() override {}
    void CycleDone(tests::TestState& state) override { r_.Done(state); }
    bool OutputChecked(int output) override { return output == 0 || output == 2; }
    void ShowInputs(const std::string&) override { r_.Shown(); }
    void ResetInputsAndOutputs() override {}

private:
    CycleRecorder& r_;
};

class PollingView final : public tests::IPollingView {
public:
    explicit PollingView(CycleRecorder& r) : r_(r) {}
    void ShowTitle(tests::Title) override {}
    void EnterTest() override {}
    void LeaveTest() override {}
    void CycleDone(tests::TestState& state) override { r_.Done(state); }
    void ShowPollDate(const std::string&) override {}
    void ShowPollRecord(const std::string&) override { r_.Shown(); }

private:
    CycleRecorder& r_;
};

enum class Test { Dido, Polling };

// The floor's client, as in bench_link: blocking write, blocking reads until
// CR; the reply's length, or -1.
int BlockingRoundTrip(int fd, const std::string& request)
{
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::write(fd, request.data() + sent, request.size() - sent);
        if (n <= 0)
            return -1;
        sent += static_cast<std::size_t>(n);
    }
    char buffer[256];
    int total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return -1;
        total += static_cast<int>(n);
        if (buffer[n - 1] == '\r')
            return total;
    }
}

struct Config {
    const char* path;
    const char* pumpName;
    Test test;
    link::LinkSettings settings;
    link::IEventPump* pump;  // none: the floor
    // Accumulated over the rounds, microseconds per cycle.
    std::vector<double> beyond;  // cycle - nominal pauses
    std::vector<double> pauses;  // pauses' waits - nominal pauses
    std::vector<double> rest;    // cycle - pauses' waits
    int missing = 0;
    int failedRuns = 0;
};

int PausesPerCycle(Test test)
{
    return test == Test::Dido ? 3 : 2;
}

void QueueRecords(sim::ControllerSim& sim, int count)
{
    for (auto queued = static_cast<int>(sim.Config().records.size()); queued < count; ++queued)
        sim.QueueRecord(sim::EventRecord{});
}

void AddCycles(Config& c, const std::vector<Steady::time_point>& at, const std::vector<Steady::duration>& paused,
               int warmup)
{
    const double nominal = PausesPerCycle(c.test) * tests::CyclePauseMs * 1000.0;
    for (std::size_t i = static_cast<std::size_t>(warmup); i < at.size(); ++i) {
        const double cycle = Us(at[i] - at[i - 1]);
        const double inPauses = Us(paused[i] - paused[i - 1]);
        c.beyond.push_back(cycle - nominal);
        c.pauses.push_back(inPauses - nominal);
        c.rest.push_back(cycle - inPauses);
    }
}

void RunFloorRound(Config& c, sim::ControllerSim& sim, std::uint16_t tcpPort, int warmup, int cycles)
{
    const int fd = c.settings.LinkType == link::LinkTypeNet ? ConnectTcp(tcpPort) : OpenTerminal(c.settings.ComPortName);
    if (fd < 0) {
        ++c.failedRuns;
        return;
    }
    const auto request = [](const char* code) { return link::EncodeRequestString(link::Framing::Crc, std::string("0001") + code); };
    Steady::duration paused{};
    const auto pause = [&] {
        const auto t0 = Steady::now();
        ::poll(nullptr, 0, static_cast<int>(tests::CyclePauseMs));
        paused += Steady::now() - t0;
    };
    std::vector<Steady::time_point> at;
    std::vector<Steady::duration> pausedAt;
    if (c.test == Test::Dido) {
        const std::string out1 = request(link::cmd::OutputCommands[0]);
        const std::string out3 = request(link::cmd::OutputCommands[2]);
        const std::string inputs = request(link::cmd::ReadInputs);
        for (int i = 0; i < warmup + cycles; ++i) {
            BlockingRoundTrip(fd, out1);
            pause();
            BlockingRoundTrip(fd, out3);
            pause();
            if (BlockingRoundTrip(fd, inputs) != link::cmd::ReadInputsReplyLength)
                ++c.missing;
            pause();
            at.push_back(Steady::now());
            pausedAt.push_back(paused);
        }
    } else {
        QueueRecords(sim, warmup + cycles + 5);
        const std::string poll = request(link::cmd::Poll);
        const std::string ack = request(link::cmd::Acknowledge);
        for (int i = 0; i < warmup + cycles; ++i) {
            if (BlockingRoundTrip(fd, poll) != link::cmd::PollRecordReplyLength)
                ++c.missing;
            pause();
            BlockingRoundTrip(fd, ack);
            pause();
            at.push_back(Steady::now());
            pausedAt.push_back(paused);
        }
    }
    ::close(fd);
    AddCycles(c, at, pausedAt, warmup);
}

void RunRound(Config& c, sim::ControllerSim& sim, int warmup, int cycles)
{
    link::NativeTransportFactory factory;
    link::SteadyClock clock;
    TimingPump pump(*c.pump);
    link::Link device(factory, clock, pump);
    StatusView status;
    status.settings = c.settings;
    link::SilentBeeper beeper;
    link::OperationFrame frame(device, status, beeper, pump);
    tests::TestState state;

    // Stamps: one closing the last warm-up cycle, then one per measured cycle.
    CycleRecorder recorder(pump, warmup + cycles);
    tests::Outcome outcome;
    if (c.test == Test::Dido) {
        DidoView view(recorder);
        outcome = tests::ClickDidoTest(frame, state, "0001", view);
    } else {
        QueueRecords(sim, warmup + cycles + 5);
        PollingView view(recorder);
        outcome = tests::ClickPollingTest(frame, state, "0001", view);
    }
    if (outcome != tests::Outcome::CommandOk) {
        ++c.failedRuns;
        return;
    }
    AddCycles(c, recorder.At(), recorder.Paused(), warmup);
    c.missing += recorder.Missing();
}

std::vector<double> BarePauses(link::IEventPump& pump, int count)
{
    link::SteadyClock clock;
    std::vector<double> overshoot;
    overshoot.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto t0 = Steady::now();
        link::PumpedPause(clock, pump, tests::CyclePauseMs);
        overshoot.push_back(Us(Steady::now() - t0) - tests::CyclePauseMs * 1000.0);
    }
    return overshoot;
}

double Quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
}

}  // namespace

int main(int argc, char** argv)
{
    int cycles = 200;
    int rounds = 4;
    int warmup = 3;
    bool noFloor = false;
    std::string only, pumpOnly, testOnly;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cycles") == 0 && i + 1 < argc)
            cycles = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--warmup") == 0 && i + 1 < argc)
            warmup = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--pump") == 0 && i + 1 < argc)
            pumpOnly = argv[++i];
        else if (std::strcmp(argv[i], "--test") == 0 && i + 1 < argc)
            testOnly = argv[++i];
        else if (std::strcmp(argv[i], "--no-floor") == 0)
            noFloor = true;
        else {
            std::fprintf(stderr, "usage: bench_cycles [--cycles N] [--rounds R] [--warmup W] [--only tcp|pty] "
                                 "[--pump none|qt] [--test dido|polling] [--no-floor]\n");
            return 2;
        }
    }
    QCoreApplication app(argc, argv);

    sim::ControllerSim sim;
    if (!sim.ListenTcp("127.0.0.1", 0) || !sim.OpenPty()) {
        std::fprintf(stderr, "bench_cycles: cannot start the substitute controller\n");
        return 1;
    }
    sim.Start();

    link::LinkSettings tcp;
    tcp.LinkType = link::LinkTypeNet;
    tcp.NetIP = "127.0.0.1";
    tcp.NetPort = std::to_string(sim.TcpPort());
    link::LinkSettings pty;
    pty.LinkType = link::LinkTypeCom;
    pty.ComPortName = sim.PtyPath();
    pty.ComBaudRate = "115200,n,8,1";

    link::NoEventPump noPump;
    app::QtEventPump qtPump;
    struct PumpEntry {
        const char* name;
        link::IEventPump* pump;
        std::vector<double> bare;
    };
    std::vector<PumpEntry> pumps;
    if (pumpOnly.empty() || pumpOnly == "none")
        pumps.push_back({"NoEventPump", &noPump, {}});
    if (pumpOnly.empty() || pumpOnly == "qt")
        pumps.push_back({"QtEventPump", &qtPump, {}});

    std::vector<Config> configs;
    for (const char* path : {"TCP", "pty"}) {
        if (!only.empty() && only != (path[0] == 'T' ? "tcp" : "pty"))
            continue;
        for (Test test : {Test::Dido, Test::Polling}) {
            if (!testOnly.empty() && testOnly != (test == Test::Dido ? "dido" : "polling"))
                continue;
            const link::LinkSettings& settings = path[0] == 'T' ? tcp : pty;
            if (!noFloor)
                configs.push_back({path, "floor", test, settings, nullptr, {}, {}, {}, 0, 0});
            for (const auto& p : pumps)
                configs.push_back({path, p.name, test, settings, p.pump, {}, {}, {}, 0, 0});
        }
    }
    if (configs.empty() || pumps.empty()) {
        std::fprintf(stderr, "bench_cycles: nothing selected\n");
        return 2;
    }

    const int perRound = std::max(1, cycles / rounds);
    for (int r = 0; r < rounds; ++r) {
        for (auto& p : pumps) {
            const auto bare = BarePauses(*p.pump, perRound);
            p.bare.insert(p.bare.end(), bare.begin(), bare.end());
        }
        for (auto& c : configs) {
            if (c.pump)
                RunRound(c, sim, warmup, perRound);
            else
                RunFloorRound(c, sim, sim.TcpPort(), warmup, perRound);
        }
    }

    std::printf("One cycle beyond its pauses, microseconds (%d cycles in %d rounds per row; DIDO: JC001, JC003, "
                "DG0, 3 x 20 ms; polling: PI with a record, IB, 2 x 20 ms)\n",
                perRound * rounds, rounds);
    std::printf("| %-4s | %-15s | %-7s | %8s | %8s | %8s | %8s | %8s | %10s | %7s |\n"
                "|---|---|---|---:|---:|---:|---:|---:|---:|---:|\n",
                "path", "pump", "test", "median", "p10", "p90", "pauses", "rest", "over floor", "missing");
    int bad = 0;
    for (const auto& c : configs) {
        const auto floor = std::find_if(configs.begin(), configs.end(), [&](const Config& f) {
            return !f.pump && f.path == c.path && f.test == c.test;
        });
        char overFloor[32] = "";
        if (c.pump && floor != configs.end())
            std::snprintf(overFloor, sizeof overFloor, "%+.1f", Quantile(c.beyond, 0.5) - Quantile(floor->beyond, 0.5));
        std::printf("| %-4s | %-15s | %-7s | %8.1f | %8.1f | %8.1f | %8.1f | %8.1f | %10s | %7d |\n", c.path,
                    c.pumpName, c.test == Test::Dido ? "DIDO" : "polling", Quantile(c.beyond, 0.5),
                    Quantile(c.beyond, 0.1), Quantile(c.beyond, 0.9), Quantile(c.pauses, 0.5), Quantile(c.rest, 0.5),
                    overFloor, c.missing);
        bad += c.missing + c.failedRuns;
        if (c.failedRuns)
            std::printf("  %d round(s) did not end with Command ok.\n", c.failedRuns);
    }
    std::printf("\nBare PumpedPause(%u ms) beyond %u ms, microseconds (%d pauses)\n", tests::CyclePauseMs,
                tests::CyclePauseMs, perRound * rounds);
    std::printf("| %-15s | %8s | %8s | %8s |\n|---|---:|---:|---:|\n", "pump", "median", "p10", "p90");
    for (const auto& p : pumps)
        std::printf("| %-15s | %8.1f | %8.1f | %8.1f |\n", p.name, Quantile(p.bare, 0.5), Quantile(p.bare, 0.1),
                    Quantile(p.bare, 0.9));
    std::printf("\n(pauses: the pauses' own time beyond their nominal total; rest: the cycle minus the pauses' "
                "time; floor: a blocking client's same exchanges and poll() waits. Target: median under 500 us.)\n");
    return bad == 0 ? 0 : 1;
}
