// controller-sim: a substitute controller to try the tool against, on TCP
// and/or a pseudo-terminal, until SIGINT or SIGTERM.

#include "link/Link.h"
#include "link/ProgramVersion.h"

#include "sim/ControllerModel.h"
#include "sim/ControllerSim.h"
#include "sim/FaultPlan.h"
#include "sim/LineFields.h"
#include "sim/LineOptions.h"
#include "sim/LineOs.h"
#include "sim/SimConfig.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kMaxListens = 256;

const char kUsage[] =
    "usage: controller-sim [options]\n"
    "  --tcp HOST:PORT   listen on TCP (default 127.0.0.1:5001; port 0 picks one).\n"
    "                    Repeatable, up to 256 times: each address serves a\n"
    "                    line of its own, a copy of the one described here, so\n"
    "                    that one process stands for a whole site; --pty joins\n"
    "                    the first address's line\n"
    "  --no-tcp          do not listen on TCP\n"
    "  --pty             open a pseudo-terminal and print its path as 'pty: PATH'\n"
    "                    (Linux only: Windows has no pseudo-terminals)\n"
    "  --id ID           controller ID, 4 characters (default 0001)\n"
    "  --model TEXT      model designation, up to 12 characters (default\n"
    "                    KX410NT4-SG4)\n"
    "  --firmware-version TEXT\n"
    "                    the controller's firmware version as DB reports it, up\n"
    "                    to 4 characters (default 0520)\n"
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
    "                    all). ARG, for the kinds that take one: byte count 0 to\n"
    "                    4096 (extra-bytes, noise-before, wrong-length; default\n"
    "                    3), gap or delay in ms (split-bytes 50, delay 1500)\n"
    "  --config FILE     the whole line from a line file (below) instead of the\n"
    "                    options that describe controllers and modules, which\n"
    "                    are refused beside it; --tcp, --no-tcp, --pty, --quiet\n"
    "                    and --fault still apply, faults after the file's\n"
    "  --quiet           do not log received commands to stderr\n"
    "  --help            this text\n"
    "  --version         the program's version\n";

const char kFileFormat[] =
    "\n"
    "Line file: UTF-8 text of at most 1 MiB. '[section]' lines open sections,\n"
    "'key = value' lines fill them; '#' starts a comment at the start of a line\n"
    "or after a blank. Sections repeat; a key comes once a section at most. The\n"
    "values are those of the options above; defaults in parentheses.\n"
    "  [controller]    a controller (1 to 64; they answer in file order):\n"
    "                  id, serial (required), model (KX410NT4-SG4), version\n"
    "                  (0520), inputs (00000000), alarm (0), clock (the PC\n"
    "                  clock), line (115200,n,8,1), reboot-silence-ms (1000),\n"
    "                  short-ack (yes or no; no), loader (512)\n"
    "  [g6]            a G6 module of the controller above: id, serial\n"
    "                  (required), card-type (0041), delay (000A), mode (0003)\n"
    "  [g4]            a G4 module of the controller above: type, id, serial\n"
    "                  (all required)\n"
    "                  A controller has only the modules given under it.\n"
    "  [record]        an event record queued at the controller above: tag (one\n"
    "                  character), time (YYYYMMDDhhmmss), code (4 characters),\n"
    "                  value (5 characters), all required\n"
    "  [loader-fault]  a loader fault of the controller above: kind, block\n"
    "                  (required), times (-1)\n"
    "  [fault]         a fault on the line: kind (required), command (any),\n"
    "                  times (-1), and what the kind takes: bytes (3) for\n"
    "                  extra-bytes, noise-before and wrong-length (0 to 4096),\n"
    "                  gap-ms (50) for split-bytes, delay-ms (1500) for delay\n"
    "Errors name the line: 'controller-sim: FILE:LINE: reason', exit status 2.\n"
    "Example:\n"
    "  [controller]\n"
    "  id = 0001\n"
    "  serial = 16030001\n"
    "  [g6]\n"
    "  id = 1\n"
    "  serial = 6A000001\n"
    "  [record]\n"
    "  tag = 1\n"
    "  time = 20240301075959\n"
    "  code = 0012\n"
    "  value = 12345\n"
    "  [controller]\n"
    "  id = 0002\n"
    "  serial = 16030002\n"
    "  [fault]            # the first DB reply comes 2 s late\n"
    "  kind = delay\n"
    "  command = DB\n"
    "  times = 1\n"
    "  delay-ms = 2000\n";

[[noreturn]] void Fail(const char* what, const char* arg)
{
    std::fprintf(stderr, "controller-sim: %s%s%s\n%s", what, arg ? ": " : "", arg ? arg : "", kUsage);
    std::exit(2);
}

[[noreturn]] void FailFile(const std::string& path, int line, const std::string& reason)
{
    if (line > 0)
        std::fprintf(stderr, "controller-sim: %s:%d: %s\n", path.c_str(), line, reason.c_str());
    else
        std::fprintf(stderr, "controller-sim: %s: %s\n", path.c_str(), reason.c_str());
    std::exit(2);
}

ct::sim::SimConfig LoadLineFile(const std::string& path)
{
    std::string error;
    const auto text = ct::sim::ReadSimConfigFile(path, error);
    if (!text)
        FailFile(path, 0, error);
    auto parsed = ct::sim::ParseSimConfig(*text);
    if (!parsed.config)
        FailFile(path, parsed.line, parsed.reason);
    return std::move(*parsed.config);
}

// The field behind an option "--NAME" that sets one of the first
// controller's values: the line file's key, but for the firmware version,
// whose plain name --version is the program's own.
const ct::sim::Field<ct::sim::ControllerConfig>* ControllerOption(const std::string& option)
{
    if (option.rfind("--", 0) != 0 || option == "--version")
        return nullptr;
    const std::string_view key = option == "--firmware-version" ? "version" : std::string_view(option).substr(2);
    return ct::sim::FindField(ct::sim::ControllerFields(), key);
}

// HOST:PORT of --tcp; nothing, or why the text is none.
const char* SplitHostPort(const std::string& text, std::string& host, std::uint16_t& port)
{
    const auto colon = text.rfind(':');
    if (colon == std::string::npos)
        return "want HOST:PORT";
    if (!ct::link::ParseNetIP(text.substr(0, colon)))
        return "HOST must be a dotted IPv4 address such as 127.0.0.1";
    char* end = nullptr;
    const long value = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (colon + 1 == text.size() || *end != '\0' || value < 0 || value > 65535)
        return "PORT must be a number 0 to 65535";
    host = text.substr(0, colon);
    port = static_cast<std::uint16_t>(value);
    return nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    ct::sim::ControllerConfig config;
    ct::sim::LineOptions lineOptions;
    std::vector<ct::sim::Fault> faults;
    struct Listen {
        std::string host;
        std::uint16_t port = 0;
    };
    // Empty: the default address.
    std::vector<Listen> listens;
    bool tcp = true;
    bool pty = false;
    bool quiet = false;
    std::string clock;
    std::string configPath;
    // The first option that describes a controller, which a line file leaves
    // to the file.
    const char* controllerOption = nullptr;

    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                Fail("missing value for", argv[i]);
            return argv[++i];
        };
        if (opt == "--help" || opt == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(kFileFormat, stdout);
            return 0;
        } else if (opt == "--version") {
            // Once the firmware version's option: a value after it is such
            // a call, which must not end in a version and exit status 0.
            if (i + 1 < argc && argv[i + 1][0] != '-')
                Fail("--version takes no value; the firmware version is --firmware-version", argv[i + 1]);
            std::printf("controller-sim %s\n", ct::ProgramVersion());
            return 0;
        } else if (opt == "--tcp") {
            const std::string v = value();
            Listen listen;
            if (const char* why = SplitHostPort(v, listen.host, listen.port))
                Fail(("bad --tcp, " + std::string(why)).c_str(), v.c_str());
            if (listens.size() == kMaxListens)
                Fail("too many --tcp, 256 at most", v.c_str());
            listens.push_back(listen);
            tcp = true;
        } else if (opt == "--no-tcp") {
            tcp = false;
        } else if (opt == "--pty") {
            pty = true;
        } else if (opt == "--quiet") {
            quiet = true;
        } else if (opt == "--fault") {
            const std::string v = value();
            const auto fault = ct::sim::ParseFaultOption(v);
            if (!fault)
                Fail("bad fault", v.c_str());
            faults.push_back(*fault);
        } else if (opt == "--config") {
            if (!configPath.empty())
                Fail("--config given twice", nullptr);
            configPath = value();
            if (configPath.empty())
                Fail("--config wants a file", nullptr);
        } else {
            const char* given = argv[i];
            if (opt == "--short-ack") {
                config.shortAck = true;
            } else if (opt == "--clock") {
                clock = value();
                if (!ct::sim::IsDateTime(clock))
                    Fail("bad clock, want YYYYMMDDhhmmss", clock.c_str());
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
            } else if (const auto* field = ControllerOption(opt)) {
                // --id, --serial, --inputs, --alarm...: the first controller's
                // fields.
                const std::string v = value();
                if (const auto why = field->set(config, v))
                    Fail(("bad " + opt.substr(2) + ", " + *why).c_str(), v.c_str());
            } else {
                Fail("unknown option", argv[i]);
            }
            if (!controllerOption)
                controllerOption = given;
        }
    }
    if (!tcp && !pty)
        Fail("nothing to serve: --no-tcp needs --pty", nullptr);

    ct::sim::SimConfig line;
    if (!configPath.empty()) {
        if (controllerOption)
            Fail("--config describes the whole line; refused beside it", controllerOption);
        line = LoadLineFile(configPath);
    } else {
        std::string lineError;
        auto controllers = lineOptions.Build(config, &lineError);
        if (!controllers)
            Fail("bad module option", lineError.c_str());
        line.controllers = std::move(*controllers);
        line.clocks.resize(line.controllers.size());
        line.clocks.front() = clock;
    }
    // The command line's faults apply after the file's.
    line.faults.insert(line.faults.end(), faults.begin(), faults.end());

    ct::sim::os::BlockStopSignals();

    if (!tcp)
        listens.clear();
    else if (listens.empty())
        listens.push_back({"127.0.0.1", 5001});
    // One substitute per address, each with its own I/O thread and state: the
    // controllers of a site do not share a line.
    std::vector<std::unique_ptr<ct::sim::ControllerSim>> sims;
    for (std::size_t i = 0; i < std::max<std::size_t>(listens.size(), 1); ++i) {
        auto sim = std::make_unique<ct::sim::ControllerSim>(line.controllers);
        ct::sim::ApplySimConfig(*sim, line);
        sim->SetVerbose(!quiet);
        // Nobody reads the log of a served line: keep none.
        sim->SetCommandLogLimit(0);
        sims.push_back(std::move(sim));
    }
    for (std::size_t i = 0; i < listens.size(); ++i) {
        const Listen& l = listens[i];
        if (!sims[i]->ListenTcp(l.host, l.port)) {
            std::fprintf(stderr, "controller-sim: cannot listen on %s:%u: %s\n", l.host.c_str(), l.port,
                         std::strerror(errno));
            return 1;
        }
        std::printf("tcp: %s:%u\n", l.host.c_str(), sims[i]->TcpPort());
    }
    ct::sim::ControllerSim& sim = *sims.front();
    if (pty) {
        if (!sim.OpenPty()) {
            std::fprintf(stderr, "controller-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
            return 1;
        }
        std::printf("pty: %s\n", sim.PtyPath().c_str());
    }
    std::fflush(stdout);
    for (auto& each : sims)
        each->Start();

    ct::sim::os::WaitForStop();
    for (auto& each : sims)
        each->Stop();
    return 0;
}
