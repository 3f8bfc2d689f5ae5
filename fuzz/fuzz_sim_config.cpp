// Feeds arbitrary bytes to the substitute controller's line file parser.
// Nothing may crash or overrun, whatever the NULs, control characters or
// invalid UTF-8; a refusal names a line of the text (or none) and a reason;
// a comment line in front moves the refused line by one and does not change
// the outcome; what is accepted holds only values the command line would take too,
// and every controller it describes answers its own serial-number read.
#include "sim/ControllerModel.h"
#include "sim/LineSetting.h"
#include "sim/SimConfig.h"

#include "link/ControllerInterface.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace ct::sim;
namespace cmd = ct::link::cmd;

namespace {

void Require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "line file invariant broken: %s\n", what);
        std::abort();
    }
}

bool Printable(const std::string& s, std::size_t min, std::size_t max)
{
    return s.size() >= min && s.size() <= max
           && std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

void CheckController(const ControllerConfig& c, const std::string& clock)
{
    Require(Printable(c.id, 4, 4) && Printable(c.serial, 8, 8), "controller id or serial");
    Require(Printable(c.model, 1, cmd::ModelNameLength) && Printable(c.version, 1, cmd::VersionLength),
            "controller model or version");
    Require(Printable(c.inputs, cmd::InputCount, cmd::InputCount), "inputs");
    Require(c.alarm >= 0 && c.alarm < cmd::AlarmCount, "alarm");
    Require(ParseLineSetting(c.line).has_value(), "line setting");
    Require(c.rebootSilence.count() >= 0 && c.rebootSilence.count() <= 3600000, "reboot silence");
    Require(clock.empty() || IsDateTime(clock), "clock");
    for (const auto& m : c.g6Modules)
        Require(m.id >= 0 && m.id <= 8 && Printable(m.serial, 8, 8), "G6 module");
    for (const auto& m : c.g4Modules)
        Require(std::string_view(cmd::ModuleTypeLetters).find(m.type) != std::string_view::npos && m.id >= 0
                    && m.id <= 9 && Printable(m.serial, 8, 8),
                "G4 module");
    for (const auto& r : c.records)
        Require(r.tag >= 0x20 && r.tag < 0x7F && r.timestamp.size() == 14 && Printable(r.code, 4, 4)
                    && Printable(r.value, 5, 5),
                "record");
    for (const auto& f : c.loaderFaults)
        Require(f.block >= 0 && f.times != 0 && f.times >= -1, "loader fault");

    ControllerModel model(c, [] { return std::string("20240301080509"); });
    const auto reply = model.Answer(c.id + cmd::SerialNumber);
    Require(reply && reply->find(c.serial) != std::string::npos, "serial-number read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const SimConfigResult r = ParseSimConfig(text);

    if (!r.config) {
        const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
        Require(r.line >= 0 && r.line <= lines, "refused line inside the text");
        Require(!r.reason.empty(), "refusal without a reason");
    } else {
        const SimConfig& c = *r.config;
        Require(!c.controllers.empty() && c.controllers.size() <= MaxControllers, "controller count");
        Require(c.clocks.size() == c.controllers.size(), "a clock a controller");
        for (std::size_t i = 0; i < c.controllers.size(); ++i)
            CheckController(c.controllers[i], c.clocks[i]);
        for (const auto& f : c.faults)
            Require(f.times != 0 && f.times >= -1 && f.count >= 0 && f.count <= 4096 && f.gap.count() >= 0
                        && f.gap.count() <= 3600000 && f.delay.count() >= 0 && f.delay.count() <= 3600000,
                    "fault");
    }

    // A byte-order mark counts only in front.
    if (text.rfind("\xEF\xBB\xBF", 0) != 0) {
        const SimConfigResult shifted = ParseSimConfig("#\n" + text);
        Require(shifted.config.has_value() == r.config.has_value(), "comment in front changes the outcome");
        Require(shifted.line == (r.line > 0 ? r.line + 1 : 0), "comment in front does not move the line by one");
    }
    return 0;
}
