// controller-cli: sends one command text through the device link and prints
// the checked reply.
//
// Exit status: 0 reply printed; 1 no reply in time or a failed check; 2 the
// link could not be opened; 64 bad arguments or a command text the request
// buffer does not take (nothing is sent then).
#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/QtTransport.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitCommandError = 1;
constexpr int ExitConnectError = 2;
constexpr int ExitUsage = 64;

const char* const kUsage =
    "usage: controller-cli (--net IP:PORT | --com PORT [--settings SETTINGS])\n"
    "                      [--framing crc|xor|xor-etx] send TEXT\n"
    "\n"
    "Sends TEXT (for example 0001AS: the controller's four-character ID, a\n"
    "command code and its parameters) as one request and prints the reply frame\n"
    "from its start byte through CR on one line: bytes 0x20-0x7E as they are\n"
    "(a backslash as \\\\), every other byte as \\xHH.\n"
    "\n"
    "  --net IP:PORT        TCP to a dotted IPv4 address, e.g. 127.0.0.1:5001\n"
    "  --com PORT           serial port by name: COM3, ttyUSB0 or a path such as\n"
    "                       /dev/pts/4\n"
    "  --settings SETTINGS  serial line as rate,parity,data bits,stop bits\n"
    "                       (default \"115200,n,8,1\"); a string that cannot be\n"
    "                       parsed leaves the port's own settings\n"
    "  --framing MODE       crc (default; every controller command), xor or\n"
    "                       xor-etx (the boot loaders)\n"
    "  --help               this text\n"
    "\n"
    "Exit status: 0 reply printed; 1 \"Command error!\" (no reply in time or a\n"
    "failed check); 2 \"Connect device error!\" (link not opened); 64 bad\n"
    "arguments or a TEXT longer than the request takes (1493 characters in crc\n"
    "framing, 1496 in xor framing).\n";

int Usage(const std::string& message)
{
    if (!message.empty())
        std::fprintf(stderr, "controller-cli: %s\n", message.c_str());
    std::fputs(kUsage, stderr);
    return ExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace ct::link;

    std::string net;
    std::string com;
    std::string settings = DefaultComBaudRate;
    bool settingsGiven = false;
    Framing framing = Framing::Crc;
    std::string text;
    bool haveText = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return ExitOk;
        } else if (arg == "--net") {
            if (!value(net))
                return Usage("--net needs IP:PORT");
        } else if (arg == "--com") {
            if (!value(com))
                return Usage("--com needs a port name");
        } else if (arg == "--settings") {
            if (!value(settings))
                return Usage("--settings needs a value");
            settingsGiven = true;
        } else if (arg == "--framing") {
            std::string mode;
            if (!value(mode))
                return Usage("--framing needs crc, xor or xor-etx");
            if (mode == "crc")
                framing = Framing::Crc;
            else if (mode == "xor")
                framing = Framing::Xor;
            else if (mode == "xor-etx")
                framing = Framing::XorEtx;
            else
                return Usage("unknown framing '" + mode + "'");
        } else if (arg == "send") {
            if (i + 1 >= argc)
                return Usage("send needs a command text");
            text = argv[++i];
            haveText = true;
            if (i + 1 < argc)
                return Usage("unexpected argument after the command text: '" + std::string(argv[i + 1]) + "'");
        } else {
            return Usage("unknown argument '" + arg + "'");
        }
    }

    if (net.empty() == com.empty())
        return Usage("give exactly one of --net and --com");
    if (!haveText)
        return Usage("missing 'send TEXT'");
    if (settingsGiven && com.empty())
        return Usage("--settings applies to --com only");
    if (text.size() > MaxCommandLength(framing))
        return Usage("command text of " + std::to_string(text.size()) + " characters is longer than the " +
                     std::to_string(MaxCommandLength(framing)) + " the request takes");

    QCoreApplication app(argc, argv);
    SteadyClock clock;
    NoEventPump pump;
    QtTransportFactory factory;
    Link link(factory, clock, pump);

    if (!com.empty()) {
        link.Settings.LinkType = LinkTypeCom;
        link.Settings.ComPortName = com;
        link.Settings.ComBaudRate = settings;
    } else {
        const auto colon = net.rfind(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 == net.size())
            return Usage("--net needs IP:PORT, e.g. 127.0.0.1:5001");
        link.Settings.LinkType = LinkTypeNet;
        link.Settings.NetIP = net.substr(0, colon);
        link.Settings.NetPort = net.substr(colon + 1);
    }

    if (!link.OpenLink()) {
        std::fputs("Connect device error!\n", stderr);
        return ExitConnectError;
    }
    const bool ok = link.Transact(framing, text);
    link.CloseLink();
    if (!ok) {
        std::fputs("Command error!\n", stderr);
        return ExitCommandError;
    }
    std::printf("%s\n", EscapeBytes(link.ReplyText()).c_str());
    return ExitOk;
}
