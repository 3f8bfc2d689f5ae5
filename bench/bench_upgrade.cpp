// A whole firmware upgrade through the real link against the substitute
// controller: the 512-byte loader (kind 3 unless --kind512 says 6) over TCP
// loopback and the 256-byte loader (kind 1) over a pseudo-terminal, each with
// the largest image its loader takes (63,488 bytes: 124 or 248 blocks), read
// from a firmware file by LoadFirmwareImage first (not timed).
//
// The upgrade's own pauses are real and make up nearly all of its time, so
// the pump is wrapped: every wait on nothing (a pause, PumpedPause) is timed
// on the steady clock, and what the upgrade costs beyond its pauses is the
// wall time minus the time spent in them, per transaction (the commands the
// controller heard). The pause table's sum for the image is printed beside
// it; the measured pause time differs from it by the millisecond clock's
// truncation at the start of each pause and the wake-up latency at its end.
//
// With --skip-pauses the pauses take no time (the link's clock is moved on
// by them instead), so the transactions follow each other at once: what is
// left of the difference is what a transaction costs when neither side has
// gone to sleep before it.
//
// Of the time beyond the pauses, the part spent blocked on the port or
// socket (waiting for the controller's reply) is given as "waiting".
//
// usage: bench_upgrade [--runs N] [--only tcp|pty] [--kind512 3|6] [--skip-pauses]

#include "firmware/FirmwareImage.h"
#include "firmware/Upgrade.h"
#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/Link.h"
#include "link/OperationFrame.h"
#include "link/NativeTransportFactory.h"
#include "sim/ControllerSim.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace ct;
using Steady = std::chrono::steady_clock;

constexpr std::size_t kImageBytes = 63488;

// The steady clock, moved on by the pauses that were skipped.
class SkippingClock final : public link::IClock {
public:
    std::uint32_t NowMs() override { return steady.NowMs() + skippedMs; }
    link::SteadyClock steady;
    std::uint32_t skippedMs = 0;
};

// NoEventPump, with the time spent in pauses and in waits on the port or
// socket added up; with `skip`, a pause takes no time: its wait moves the
// clock on instead of blocking.
class PauseTimingPump final : public link::IEventPump {
public:
    explicit PauseTimingPump(SkippingClock& clock) : clock_(clock) {}
    void ProcessEvents() override {}
    bool Wait(const link::WaitSource& source, int timeoutMs) override
    {
        if (source.kind != link::WaitSource::Kind::None) {
            const auto t0 = Steady::now();
            const bool ready = link::WaitNative(source, timeoutMs);
            portWaitNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now() - t0).count();
            return ready;
        }
        if (skip && timeoutMs > 0) {
            clock_.skippedMs += static_cast<std::uint32_t>(timeoutMs);
            return false;
        }
        const auto t0 = Steady::now();
        const bool ready = link::WaitNative(source, timeoutMs);
        pausedNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now() - t0).count();
        return ready;
    }
    bool skip = false;
    long long pausedNs = 0;
    long long portWaitNs = 0;

private:
    SkippingClock& clock_;
};

class BenchStatusView final : public link::IStatusView {
public:
    void SetBusyCursor(bool) override {}
    void SetWindowEnabled(bool) override {}
    void SetBusyTimerRunning(bool) override {}
    void SetLamp(link::Lamp) override {}
    void ShowStatus(link::StatusMessage) override {}
    link::LinkSettings ActiveLinkSettings() override { return settings; }
    link::LinkSettings settings;
};

class BenchUpgradeView final : public firmware::IUpgradeView {
public:
    void ShowTitle(tests::Title) override {}
    void ShowCountdown(int) override { ++countdowns; }
    void SetProgramRange(int) override {}
    void SetProgramPosition(int) override {}
    void SetVerifyRange(int) override {}
    void SetVerifyPosition(int) override {}
    int countdowns = 0;
};

// The pauses a faultless upgrade of `blocks` blocks makes, from the loader's
// pause table (the probe answering at its first attempt).
long long TablePausesMs(int kind, int blocks)
{
    const long long n = blocks;
    if (kind == 3)
        return 100 + 50 + 20 * n + 50 + 50 * n + 100 + 7000;
    if (kind == 6)
        return 100 + 50 + 4 * n + 50 + 4 * n + 100 + 7000;
    // 256-byte loader: two enter commands, one probe, an erase before every
    // even block.
    return 100 + 20 + 50 + 50 + 4 * ((n + 1) / 2) + 4 * n + 50 + 4 * n + 100 + 2000;
}

struct Run {
    double wallMs = 0;
    double pausedMs = 0;
    double waitingMs = 0;
    std::size_t transactions = 0;
};

struct Path {
    const char* name;
    int kind;
    sim::LoaderKind loader;
    std::string header;
    std::string panel;
};

std::string WriteFirmwareFile(const std::string& header, unsigned seed)
{
    std::string bytes = header;
    bytes.resize(firmware::HeaderLength, '\0');
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < kImageBytes; ++i)
        bytes += static_cast<char>(random() & 0xFF);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("bench_upgrade_" + std::to_string(::getpid()) + ".KXB");
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool skipPauses = false;

bool Measure(sim::ControllerSim& sim, const Path& path, const link::LinkSettings& settings, int runs)
{
    const std::string file = WriteFirmwareFile(path.header, static_cast<unsigned>(path.kind));
    firmware::FirmwareImage image;
    const firmware::LoadResult loaded = firmware::LoadFirmwareImage(file, path.kind, path.panel, image);
    std::filesystem::remove(file);
    if (loaded != firmware::LoadResult::Ok) {
        std::fprintf(stderr, "bench_upgrade: the firmware file does not load for kind %d\n", path.kind);
        return false;
    }
    sim.SetLoader(path.loader);

    link::NativeTransportFactory factory;
    SkippingClock clock;
    PauseTimingPump pump(clock);
    pump.skip = skipPauses;
    link::Link device(factory, clock, pump);
    BenchStatusView status;
    status.settings = settings;
    link::SilentBeeper beeper;
    link::OperationFrame frame(device, status, beeper, pump);

    const long long tableMs = TablePausesMs(path.kind, image.ImageBlockCount);
    std::vector<Run> results;
    for (int r = 0; r < runs; ++r) {
        sim.ClearCommands();
        BenchUpgradeView view;
        pump.pausedNs = 0;
        pump.portWaitNs = 0;
        const auto t0 = Steady::now();
        const tests::Outcome outcome = firmware::RunFirmwareUpgrade(frame, path.kind, "0001", image, view);
        const auto t1 = Steady::now();
        if (outcome != tests::Outcome::CommandOk || view.countdowns != 0
            || sim.Flash(0, image.bytes.size()) != image.bytes) {
            std::fprintf(stderr, "bench_upgrade: %s upgrade failed\n", path.name);
            return false;
        }
        Run run;
        run.wallMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
        run.pausedMs = static_cast<double>(pump.pausedNs) / 1e6;
        run.waitingMs = static_cast<double>(pump.portWaitNs) / 1e6;
        run.transactions = sim.CommandCount();
        results.push_back(run);
        std::printf("| %s | kind %d | %d | %zu | %.1f | %lld | %.1f | %.1f | %.1f | %.3f |\n", path.name, path.kind,
                    image.ImageBlockCount, run.transactions, run.wallMs, tableMs, run.pausedMs,
                    run.wallMs - run.pausedMs, run.waitingMs,
                    (run.wallMs - run.pausedMs) / static_cast<double>(run.transactions));
        std::fflush(stdout);
    }
    std::vector<double> perTransaction;
    for (const Run& run : results)
        perTransaction.push_back((run.wallMs - run.pausedMs) / static_cast<double>(run.transactions));
    std::printf("%s: median (time - pauses) / transactions %.3f ms (target < 0.1 ms)\n\n", path.name,
                Median(perTransaction));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 3;
    int kind512 = 3;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--kind512") == 0 && i + 1 < argc)
            kind512 = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--skip-pauses") == 0)
            skipPauses = true;

        else {
            std::fprintf(stderr, "usage: bench_upgrade [--runs N] [--only tcp|pty] [--kind512 3|6] [--skip-pauses]\n");
            return 2;
        }
    }
    if ((!only.empty() && only != "tcp" && only != "pty") || (kind512 != 3 && kind512 != 6)) {
        std::fprintf(stderr, "bench_upgrade: --only takes tcp or pty, --kind512 3 or 6\n");
        return 2;
    }
    QCoreApplication app(argc, argv);

    sim::ControllerSim sim;
    if (!sim.ListenTcp("127.0.0.1", 0) || !sim.OpenPty()) {
        std::fprintf(stderr, "bench_upgrade: cannot start the substitute controller\n");
        return 1;
    }
    sim.Start();

    std::printf("Whole upgrade of a %zu-byte image, milliseconds (pauses: the pause table's sum, and the time "
                "measured in them)\n",
                kImageBytes);
    std::printf("| path | kind | blocks | transactions | time | pauses (table) | pauses (measured) | "
                "time - pauses | waiting | per transaction |\n|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    bool ok = true;
    if (only.empty() || only == "tcp") {
        link::LinkSettings tcp;
        tcp.LinkType = link::LinkTypeNet;
        tcp.NetIP = "127.0.0.1";
        tcp.NetPort = std::to_string(sim.TcpPort());
        const std::string header = kind512 == 3 ? "KX405NT-G4" : "KX450NT-G5";
        ok = Measure(sim, {"TCP", kind512, sim::LoaderKind::Block512, header, "KX405NT4-SG4  0503"}, tcp, runs)
             && ok;
    }
    if (only.empty() || only == "pty") {
        link::LinkSettings pty;
        pty.LinkType = link::LinkTypeCom;
        pty.ComPortName = sim.PtyPath();
        pty.ComBaudRate = "115200,n,8,1";
        ok = Measure(sim, {"pty", 1, sim::LoaderKind::Block256, "KX410NT4-SG4", "KX410NT4-SG4  0520"}, pty, runs)
             && ok;
    }
    return ok ? 0 : 1;
}
