#include "Fleet.h"

#include "StopSignal.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace ct::cli {

namespace {

// Words of the sub-command that only the command line gives, or that make no
// sense once per controller.
const char* const kNotInFleet[] = {"--net", "--com", "--settings", "--json", "--trace", "batch", "fleet", "ports"};

std::string NotInFleet(const std::vector<std::string>& words)
{
    for (const std::string& word : words) {
        if (word == "--")
            break;
        for (const char* name : kNotInFleet) {
            if (word == name || word.rfind(std::string(name) + "=", 0) == 0)
                return name;
        }
    }
    return {};
}

// The same serial port however a line spells it: ttyUSB0 is /dev/ttyUSB0,
// com3 is COM3.
std::string ComKey(const std::string& port)
{
#ifdef _WIN32
    std::string key = port;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
    return "com:" + key;
#else
    return "com:" + (port.find('/') == std::string::npos ? "/dev/" + port : port);
#endif
}

// One list line's options; nothing and `error` set when they name no
// controller.
std::optional<FleetLine> ParseLinkWords(const std::vector<std::string>& words, const std::string& defaultId,
                                        std::string& error)
{
    std::optional<std::string> net, com, settings, id;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string name = words[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        std::optional<std::string>* slot = name == "--net"        ? &net
                                           : name == "--com"      ? &com
                                           : name == "--settings" ? &settings
                                           : name == "--id"       ? &id
                                                                  : nullptr;
        if (!slot) {
            error = "'" + words[i] + "' is none of --net IP:PORT, --com PORT, --settings SETTINGS, --id ID";
            return std::nullopt;
        }
        if (*slot) {
            error = name + " given twice";
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= words.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            value = words[++i];
        }
        *slot = *value;
    }
    if (net.has_value() == com.has_value()) {
        error = "give exactly one of --net and --com";
        return std::nullopt;
    }
    if (settings && !com) {
        error = "--settings goes with --com only";
        return std::nullopt;
    }
    FleetLine line;
    line.invocation.deviceId = id.value_or(defaultId);
    const std::string& deviceId = line.invocation.deviceId;
    if (deviceId.size() != 4
        || !std::all_of(deviceId.begin(), deviceId.end(), [](char c) { return c >= 0x20 && c <= 0x7E; })) {
        error = "--id: the ID must be exactly 4 printable characters, e.g. 0001";
        return std::nullopt;
    }
    if (com) {
        if (com->empty()) {
            error = "--com needs a port";
            return std::nullopt;
        }
        line.settings.LinkType = link::LinkTypeCom;
        line.settings.ComPortName = *com;
        line.settings.ComBaudRate = settings.value_or(link::DefaultComBaudRate);
        line.endpoint = *com;
        line.linkKey = ComKey(*com);
        return line;
    }
    const auto colon = net->rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == net->size()) {
        error = "--net needs IP:PORT, e.g. 127.0.0.1:5001";
        return std::nullopt;
    }
    line.settings.LinkType = link::LinkTypeNet;
    line.settings.NetIP = net->substr(0, colon);
    line.settings.NetPort = net->substr(colon + 1);
    error = NetAddressError(line.settings.NetIP, line.settings.NetPort);
    if (!error.empty())
        return std::nullopt;
    line.endpoint = *net;
    // 5001 and 05001 are one port.
    line.linkKey = "net:" + line.settings.NetIP + ":" + std::to_string(std::stoi(line.settings.NetPort));
    return line;
}

}  // namespace

ParsedFleet ParseFleet(const std::string& text, const Invocation& fleet)
{
    ParsedFleet parsed;
    if (fleet.fleetWords.empty()) {
        parsed.commandError = "fleet needs a SUB-COMMAND after FILE";
        return parsed;
    }
    if (const std::string only = NotInFleet(fleet.fleetWords); !only.empty()) {
        parsed.commandError = only == "ports" || only == "batch" || only == "fleet"
                                  ? "fleet cannot run " + only
                                  : only + " goes before fleet, not after its FILE";
        return parsed;
    }
    // One parse for all lines: a line's --id only changes the ID the texts go
    // out with.
    std::string error;
    const auto command = ParseBatchLine(fleet.fleetWords, fleet.deviceId, error);
    if (!command) {
        std::replace(error.begin(), error.end(), '\n', ' ');
        parsed.commandError = error;
        return parsed;
    }

    ForEachListLine(text, parsed.errors, [&](int number, const std::vector<std::string>& words) {
        std::string lineError;
        auto line = ParseLinkWords(words, fleet.deviceId, lineError);
        if (!line) {
            parsed.errors.push_back({number, lineError});
            return;
        }
        line->number = number;
        const std::string deviceId = line->invocation.deviceId;
        line->invocation = *command;
        line->invocation.deviceId = deviceId;
        if (const auto refusal = TooLongRefusal(line->invocation)) {
            parsed.errors.push_back({number, *refusal});
            return;
        }
        parsed.lines.push_back(std::move(*line));
    });
    if (parsed.lines.empty() && parsed.errors.empty())
        parsed.commandError = "the list names no controller";
    return parsed;
}

int RunFleet(const std::vector<FleetLine>& lines, int jobs, Context& context)
{
    // Groups in the order of their first line, each in line order.
    std::vector<std::vector<std::size_t>> groups;
    std::map<std::string, std::size_t> groupOf;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto [at, added] = groupOf.emplace(lines[i].linkKey, groups.size());
        if (added)
            groups.emplace_back();
        groups[at->second].push_back(i);
    }

    constexpr int kNotRun = -1;
    std::vector<int> status(lines.size(), kNotRun);
    std::mutex printing;
    std::atomic<std::size_t> nextGroup{0};
    const bool json = context.out.json();
    auto work = [&] {
        for (;;) {
            const std::size_t group = nextGroup++;
            if (group >= groups.size())
                return;
            for (const std::size_t i : groups[group]) {
                if (StopRequested())
                    break;
                const FleetLine& line = lines[i];
                Output out(json);
                out.Keep(line.endpoint);
                Context own{line.settings, out, nullptr, line.number, context.transports, context.clock, context.pump};
                const int result = Execute(line.invocation, own);
                const std::lock_guard<std::mutex> lock(printing);
                status[i] = result;
                context.out.Pass(out.TakeOut());
                std::fflush(stderr);
                WriteAll(STDERR_FILENO, out.TakeErr());
            }
        }
    };
    const bool ownWaits = context.clock == nullptr && context.pump == nullptr;
    const std::size_t threads =
        ownWaits ? std::min(groups.size(), static_cast<std::size_t>(std::max(jobs, 1))) : std::size_t{1};
    std::vector<std::thread> workers;
    for (std::size_t t = 1; t < threads; ++t)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();

    int ok = 0;
    int failed = 0;
    int notRun = 0;
    const FleetLine* firstFailed = nullptr;
    int firstStatus = ExitOk;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (status[i] == kNotRun) {
            ++notRun;
        } else if (status[i] == ExitOk) {
            ++ok;
        } else {
            ++failed;
            if (!firstFailed) {
                firstFailed = &lines[i];
                firstStatus = status[i];
            }
        }
    }
    const bool stopped = StopRequested();
    std::string summary = "fleet: " + std::to_string(lines.size()) + " controllers, " + std::to_string(ok) + " ok, "
                          + std::to_string(failed) + " failed";
    if (notRun > 0)
        summary += ", " + std::to_string(notRun) + " not run";
    if (firstFailed)
        summary += "; first failure: line " + std::to_string(firstFailed->number) + " " + firstFailed->endpoint
                   + ", exit status " + std::to_string(firstStatus);
    if (stopped)
        summary += std::string("; stopped by ") + StopCause();

    const int exitStatus = firstFailed ? firstStatus : stopped && notRun > 0 ? ExitStopped : ExitOk;
    if (json) {
        context.out.Begin("fleet");
        JsonObject object;
        object["operation"] = "fleet";
        object["controllers"] = static_cast<int>(lines.size());
        object["ok"] = ok;
        object["failed"] = failed;
        object["not-run"] = notRun;
        if (firstFailed) {
            object["first-failed-line"] = firstFailed->number;
            object["first-failed-endpoint"] = firstFailed->endpoint;
        }
        object["stopped"] = stopped;
        object["outcome"] = OutcomeOfStatus(exitStatus);
        object["exit-status"] = exitStatus;
        context.out.Object(object);
    }
    std::fflush(stderr);
    WriteAll(STDERR_FILENO, summary + "\n");
    return exitStatus;
}

}  // namespace ct::cli
