// controller-sim: a substitute controller to try the tool against, on TCP
// and/or a pseudo-terminal, until SIGINT or SIGTERM.

#include "sim/ControllerSim.h"
#include "sim/FaultPlan.h"
#include "sim/LineOptions.h"
#include "sim/LineSetting.h"

#include "link/ControllerInterface.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kUsage[] =
    "usage: controller-sim [options]\n"
    "  --tcp HOST:PORT   listen on TCP (default 127.0.0.1:5001; port 0 picks one)\n"
    "  --no-tcp          do not listen on TCP\n"
    "  --pty             open a pseudo-terminal and print its path as 'pty: PATH'\n"
    "  --id ID           controller ID, 4 characters (default 0001)\n"
    "  --model TEXT      model designation, 12 characters (default KX410NT4-SG4)\n"
    "  --version TEXT    version, 4 characters (default 0520)\n"
    "  --serial TEXT     serial number, 8 characters (default 16030001)\n"
    "  --inputs STATES   DI1..DI8 as 8 characters, '1' active (default 00000000)\n"
    "  --record TAG,YYYYMMDDhhmmss,CODE,VALUE\n"
    "                    queue an event record for polling (repeatable); each\n"
    "                    stays first until an IB follows the poll that showed it\n"
    "  --clock YYYYMMDDhhmmss\n"
    "                    start the first controller's clock there (default: the PC\n"
    "                    clock); AA sets it, PI reports it advancing\n"
    "  --alarm N         alarm state 0 (off) to 6, as JF sets it (default 0)\n"
    "  --line SETTING    the controller's serial line (default 115200,n,8,1);\n"
    "                    AE001002 switches it to 19200,e,8,1 and AE001400 to\n"
    "                    115200,n,8,1 after answering. On the pseudo-terminal\n"
    "                    only requests at its baud rate are heard (a terminal\n"
    "                    keeps the speed the tool set, not the parity)\n"
    "  --reboot-silence-ms MS\n"
    "                    hear nothing for MS after answering AR00 (default 1000)\n"
    "  --short-ack       answer AA and JF with 12-byte replies instead of 13\n"
    "  --loader 512|256|64|none\n"
    "                    the boot loader behind the application (default 512):\n"
    "                    entered by ID+Zx33BB (CRC framing throughout), ID+ZxA5\n"
    "                    (then XOR requests, ETX replies) or ID+Zx (then XOR\n"
    "                    requests, STX replies, bare commands); its start command\n"
    "                    returns to the application. 64 KiB of flash, 0xFF at\n"
    "                    first; programming clears bits only, so a block needs\n"
    "                    an erase first (the 512-byte loader erases each block\n"
    "                    it programs itself)\n"
    "  --loader-fault KIND:BLOCK[:TIMES]\n"
    "                    a loader fault for one block (repeatable; block number\n"
    "                    = address / block size). KIND: fail-program, fail-verify\n"
    "                    (answered with a wrong check), lower-verify (read-back\n"
    "                    data in lower-case hex), silent-from (no answer for this\n"
    "                    block and every later one). TIMES: attempts affected\n"
    "                    (default -1: all)\n"
    "  --controller ID,SERIAL[,MODEL[,VERSION]]\n"
    "                    another controller on the line (repeatable); the options\n"
    "                    above describe the first. Each answers only at its own ID\n"
    "                    or serial number, AC too once there are several; where\n"
    "                    two would answer, the first given does\n"
    "  --g6 [CONTROLLER:]ID,SERIAL[,CARDTYPE,DELAY,MODE]\n"
    "                    a G6 module (repeatable): ID 0 to 8, SERIAL 8 characters,\n"
    "                    the card-type words in hex (default 0041,000A,0003)\n"
    "  --g4 [CONTROLLER:]TYPE,ID,SERIAL\n"
    "                    a G4 module (repeatable): TYPE one of A B H I J E, ID one\n"
    "                    digit, SERIAL 8 characters\n"
    "                    CONTROLLER: #N, the N-th controller (the first is #0), or\n"
    "                    a controller's starting ID; default the first. A\n"
    "                    controller given any --g6 has only those G6 modules, else\n"
    "                    G6 module 1 with serial 16030001; 'none' instead of a\n"
    "                    module leaves it none. Likewise --g4 (default H module 1)\n"
    "  --fault KIND[:COMMAND[:TIMES[:ARG]]]\n"
    "                    inject a fault (repeatable). KIND: no-answer, wrong-crc,\n"
    "                    lower-crc, extra-bytes, nul-inside, noise-before,\n"
    "                    split-bytes, delay, wrong-length. COMMAND: command code\n"
    "                    prefix (empty: any). TIMES: replies affected (default -1:\n"
    "                    all). ARG: byte count (default 3), or gap/delay in ms\n"
    "                    (defaults 50 and 1500)\n"
    "  --quiet           do not log received commands to stderr\n"
    "  --help            this text\n";

// Characters that cannot end or break a frame in the reply.
bool Printable(char c)
{
    return c >= 0x20 && c < 0x7F;
}

[[noreturn]] void Fail(const char* what, const char* arg)
{
    std::fprintf(stderr, "controller-sim: %s%s%s\n%s", what, arg ? ": " : "", arg ? arg : "", kUsage);
    std::exit(2);
}

bool SplitHostPort(const std::string& text, std::string& host, std::uint16_t& port)
{
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return false;
    char* end = nullptr;
    const long value = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (*end != '\0' || value < 0 || value > 65535)
        return false;
    host = text.substr(0, colon);
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    ct::sim::ControllerConfig config;
    ct::sim::LineOptions lineOptions;
    std::vector<ct::sim::Fault> faults;
    std::string host = "127.0.0.1";
    std::uint16_t port = 5001;
    bool tcp = true;
    bool pty = false;
    bool quiet = false;
    std::string clock;

    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                Fail("missing value for", argv[i]);
            return argv[++i];
        };
        if (opt == "--help" || opt == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (opt == "--tcp") {
            const std::string v = value();
            if (!SplitHostPort(v, host, port))
                Fail("bad HOST:PORT", v.c_str());
            tcp = true;
        } else if (opt == "--no-tcp") {
            tcp = false;
        } else if (opt == "--pty") {
            pty = true;
        } else if (opt == "--id") {
            config.id = value();
        } else if (opt == "--model") {
            config.model = value();
        } else if (opt == "--version") {
            config.version = value();
        } else if (opt == "--serial") {
            config.serial = value();
        } else if (opt == "--inputs") {
            config.inputs = value();
            if (config.inputs.size() != static_cast<std::size_t>(ct::link::cmd::InputCount)
                || !std::all_of(config.inputs.begin(), config.inputs.end(), Printable))
                Fail("bad inputs, want 8 printable characters", config.inputs.c_str());
        } else if (opt == "--clock") {
            clock = value();
        } else if (opt == "--alarm") {
            const std::string v = value();
            if (v.size() != 1 || v[0] < '0' || v[0] - '0' >= ct::link::cmd::AlarmCount)
                Fail("bad alarm, want 0 to 6", v.c_str());
            config.alarm = v[0] - '0';
        } else if (opt == "--line") {
            config.line = value();
            if (!ct::sim::ParseLineSetting(config.line))
                Fail("bad line setting", config.line.c_str());
        } else if (opt == "--reboot-silence-ms") {
            const std::string v = value();
            char* end = nullptr;
            const long ms = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || ms < 0 || ms > 3600000)
                Fail("bad reboot silence", v.c_str());
            config.rebootSilence = std::chrono::milliseconds(ms);
        } else if (opt == "--short-ack") {
            config.shortAck = true;
        } else if (opt == "--loader") {
            const std::string v = value();
            const auto kind = ct::sim::ParseLoaderOption(v);
            if (!kind)
                Fail("bad loader, want 512, 256, 64 or none", v.c_str());
            config.loader = *kind;
        } else if (opt == "--loader-fault") {
            const std::string v = value();
            const auto fault = ct::sim::ParseLoaderFaultOption(v);
            if (!fault)
                Fail("bad loader fault", v.c_str());
            config.loaderFaults.push_back(*fault);
        } else if (opt == "--record") {
            const std::string v = value();
            const auto record = ct::sim::ParseRecordOption(v);
            if (!record)
                Fail("bad record", v.c_str());
            config.records.push_back(*record);
        } else if (opt == "--controller") {
            const std::string v = value();
            if (!lineOptions.AddController(v))
                Fail("bad controller", v.c_str());
        } else if (opt == "--g6") {
            const std::string v = value();
            if (!lineOptions.AddG6(v))
                Fail("bad G6 module", v.c_str());
        } else if (opt == "--g4") {
            const std::string v = value();
            if (!lineOptions.AddG4(v))
                Fail("bad G4 module", v.c_str());
        } else if (opt == "--fault") {
            const std::string v = value();
            const auto fault = ct::sim::ParseFaultOption(v);
            if (!fault)
                Fail("bad fault", v.c_str());
            faults.push_back(*fault);
        } else if (opt == "--quiet") {
            quiet = true;
        } else {
            Fail("unknown option", argv[i]);
        }
    }
    if (!tcp && !pty)
        Fail("nothing to serve: --no-tcp needs --pty", nullptr);
    std::string lineError;
    auto line = lineOptions.Build(config, &lineError);
    if (!line)
        Fail("bad module option", lineError.c_str());

    // Block the stop signals before the I/O thread starts, so that only
    // sigwait below sees them. A shell starts background jobs with SIGINT
    // ignored, and an ignored signal never reaches sigwait: take it back.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ct::sim::ControllerSim sim(std::move(*line));
    if (!clock.empty() && !sim.SetControllerTime(clock))
        Fail("bad clock, want YYYYMMDDhhmmss", clock.c_str());
    sim.SetVerbose(!quiet);
    for (const auto& f : faults)
        sim.InjectFault(f);
    if (tcp) {
        if (!sim.ListenTcp(host, port)) {
            std::fprintf(stderr, "controller-sim: cannot listen on %s:%u: %s\n", host.c_str(), port,
                         std::strerror(errno));
            return 1;
        }
        std::printf("tcp: %s:%u\n", host.c_str(), sim.TcpPort());
    }
    if (pty) {
        if (!sim.OpenPty()) {
            std::fprintf(stderr, "controller-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
            return 1;
        }
        std::printf("pty: %s\n", sim.PtyPath().c_str());
    }
    std::fflush(stdout);
    sim.Start();

    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim.Stop();
    return 0;
}
