// Link round trip and codec throughput.
//
// Round trip: TransactCrc("0001AS") through the real link against the
// substitute controller, over TCP loopback and over a pseudo-terminal, beside
// a floor: the same request and reply bytes over the same kind of connection
// by a minimal blocking client (write 13 bytes, read until CR). The
// difference of the medians is what the link adds.
//
// Link and floor take turns in rounds (open, count/rounds round trips,
// close), so that both see the same machine: where the kernel runs the
// pseudo-terminal's flush worker, and so what a wake-up costs, drifts over
// seconds and would otherwise show up as a difference between them. Besides
// the medians over all rounds, the spread of the per-round differences is
// given.
//
// Codec: encode + assemble + check of a 1041-byte reply frame.
//
// usage: bench_link [--count N] [--rounds R] [--only tcp|pty] [--link-only]
//                   [--print-rounds] [--codec-seconds S]
//   --link-only     no floor, no codec: for profiling the link alone
//   --print-rounds  the medians of every round

#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/NativeTransportFactory.h"
#include "bench/BlockingClient.h"
#include "sim/ControllerSim.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using ct::bench::ConnectTcp;
using ct::bench::OpenTerminal;

namespace {

using namespace ct;
using Clock = std::chrono::steady_clock;

constexpr const char* kCommand = "0001AS";
constexpr std::size_t kReplyLength = 21;

struct Stats {
    double medianUs = 0;
    double p99Us = 0;
    int failures = 0;
};

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// The floor's client: blocking write, blocking reads until CR.
bool BlockingRoundTrip(int fd, const std::string& request)
{
    if (!WriteAll(fd, request))
        return false;
    char buffer[256];
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        total += static_cast<std::size_t>(n);
        if (buffer[n - 1] == '\r')
            return total == kReplyLength;
    }
}

std::vector<double> Timed(int count, const std::function<bool()>& roundTrip, int& failures)
{
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto t0 = Clock::now();
        const bool ok = roundTrip();
        const auto t1 = Clock::now();
        if (!ok)
            ++failures;
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    return us;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Stats Summary(std::vector<double> us, int failures)
{
    Stats s;
    std::sort(us.begin(), us.end());
    s.medianUs = us[us.size() / 2];
    s.p99Us = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    s.failures = failures;
    return s;
}

struct PathResult {
    Stats link;
    Stats floor;
    double minRoundDiff = 0;
    double maxRoundDiff = 0;
};

// Rounds of link then floor round trips on one path.
bool printRounds = false;

PathResult MeasurePath(link::Link& l, const std::function<int()>& openFloor, int count, int rounds, bool linkOnly)
{
    const std::string request = link::EncodeRequestString(link::Framing::Crc, kCommand);
    const int perRound = std::max(1, count / rounds);
    std::vector<double> linkAll, floorAll, diffs;
    int linkFailures = 0, floorFailures = 0;
    for (int r = 0; r < rounds; ++r) {
        if (!l.OpenLink()) {
            std::fprintf(stderr, "bench_link: cannot open the link\n");
            std::exit(1);
        }
        auto linkTrip = [&] { return l.TransactCrc(kCommand) && l.ReplyLength() == static_cast<int>(kReplyLength); };
        int ignored = 0;
        Timed(r == 0 ? 50 : 5, linkTrip, ignored);  // warm-up
        const auto lu = Timed(perRound, linkTrip, linkFailures);
        l.CloseLink();
        linkAll.insert(linkAll.end(), lu.begin(), lu.end());
        if (linkOnly)
            continue;

        const int fd = openFloor();
        if (fd < 0) {
            std::fprintf(stderr, "bench_link: cannot open the floor's connection\n");
            std::exit(1);
        }
        auto floorTrip = [&] { return BlockingRoundTrip(fd, request); };
        Timed(r == 0 ? 50 : 5, floorTrip, ignored);
        const auto fu = Timed(perRound, floorTrip, floorFailures);
        ::close(fd);
        floorAll.insert(floorAll.end(), fu.begin(), fu.end());
        diffs.push_back(Median(lu) - Median(fu));
        if (printRounds)
            std::printf("round %d: link %.1f floor %.1f\n", r, Median(lu), Median(fu));
    }
    PathResult p;
    p.link = Summary(linkAll, linkFailures);
    if (!linkOnly) {
        p.floor = Summary(floorAll, floorFailures);
        p.minRoundDiff = *std::min_element(diffs.begin(), diffs.end());
        p.maxRoundDiff = *std::max_element(diffs.begin(), diffs.end());
    }
    return p;
}

void PrintRow(const char* name, const Stats& s)
{
    std::printf("| %-18s | %10.1f | %10.1f | %8d |\n", name, s.medianUs, s.p99Us, s.failures);
}

void CodecThroughput(double seconds)
{
    // 1034 characters of reply text give a 1041-byte frame.
    std::string text(1034, ' ');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = "0123456789ABCDEF"[i % 16];
    link::ReplyAssembler assembler(link::Framing::Crc);

    long frames = 0;
    std::size_t frameSize = 0;
    const auto t0 = Clock::now();
    const auto end = t0 + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        for (int batch = 0; batch < 100; ++batch) {
            const std::string frame = link::EncodeReply(link::Framing::Crc, text);
            frameSize = frame.size();
            assembler.Reset(link::Framing::Crc);
            link::AssembleStatus status = link::AssembleStatus::Incomplete;
            for (unsigned char b : frame)
                status = assembler.Feed(b);
            bool ok = status == link::AssembleStatus::Complete && assembler.Check();
            benchmark::DoNotOptimize(ok);
            if (!ok) {
                std::fprintf(stderr, "bench_link: codec round trip failed\n");
                std::exit(1);
            }
            ++frames;
        }
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
    const double fps = static_cast<double>(frames) / elapsed;
    std::printf("\nCodec: encode + assemble + check of a %zu-byte frame\n", frameSize);
    std::printf("| frames/s | MB/s | us/frame |\n|---:|---:|---:|\n");
    std::printf("| %.0f | %.1f | %.2f |\n", fps, fps * static_cast<double>(frameSize) / 1e6, 1e6 / fps);
}

}  // namespace

int main(int argc, char** argv)
{
    int count = 2000;
    int rounds = 10;
    double codecSeconds = 2.0;
    bool linkOnly = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--count") == 0 && i + 1 < argc)
            count = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--codec-seconds") == 0 && i + 1 < argc)
            codecSeconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--link-only") == 0)
            linkOnly = true;
        else if (std::strcmp(argv[i], "--print-rounds") == 0)
            printRounds = true;
        else {
            std::fprintf(stderr, "usage: bench_link [--count N] [--rounds R] [--only tcp|pty] [--link-only] "
                                 "[--print-rounds] [--codec-seconds S]\n");
            return 2;
        }
    }
    if (!only.empty() && only != "tcp" && only != "pty") {
        std::fprintf(stderr, "bench_link: --only takes tcp or pty\n");
        return 2;
    }
    QCoreApplication app(argc, argv);

    sim::ControllerSim sim;
    if (!sim.ListenTcp("127.0.0.1", 0) || !sim.OpenPty()) {
        std::fprintf(stderr, "bench_link: cannot start the substitute controller\n");
        return 1;
    }
    sim.Start();

    link::NativeTransportFactory factory;
    link::SteadyClock clock;
    link::NoEventPump pump;
    link::Link l(factory, clock, pump);

    std::printf("Round trip of TransactCrc(\"%s\") (21-byte reply), %d transactions each in %d rounds, "
                "microseconds\n",
                kCommand, count, rounds);
    std::printf("| %-18s | %10s | %10s | %8s |\n|---|---:|---:|---:|\n", "path", "median", "p99", "failures");
    std::string overhead;
    auto report = [&](const char* name, const PathResult& p) {
        char row[64];
        std::snprintf(row, sizeof row, "%s link", name);
        PrintRow(row, p.link);
        if (linkOnly)
            return;
        std::snprintf(row, sizeof row, "%s floor", name);
        PrintRow(row, p.floor);
        char text[160];
        std::snprintf(text, sizeof text, "%s %+.1f us (rounds %+.1f .. %+.1f)", name,
                      p.link.medianUs - p.floor.medianUs, p.minRoundDiff, p.maxRoundDiff);
        overhead += (overhead.empty() ? "" : ", ") + std::string(text);
    };

    if (only.empty() || only == "tcp") {
        l.Settings.LinkType = link::LinkTypeNet;
        l.Settings.NetIP = "127.0.0.1";
        l.Settings.NetPort = std::to_string(sim.TcpPort());
        report("TCP", MeasurePath(l, [&] { return ConnectTcp(sim.TcpPort()); }, count, rounds, linkOnly));
    }
    if (only.empty() || only == "pty") {
        l.Settings.LinkType = link::LinkTypeCom;
        l.Settings.ComPortName = sim.PtyPath();
        l.Settings.ComBaudRate = "115200,n,8,1";
        report("pty", MeasurePath(l, [&] { return OpenTerminal(sim.PtyPath()); }, count, rounds, linkOnly));
    }
    if (!linkOnly) {
        std::printf("\nLink overhead over the floor (median): %s (target < +20 us)\n", overhead.c_str());
        CodecThroughput(codecSeconds);
    }
    return 0;
}
