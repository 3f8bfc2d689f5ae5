#include "CommandLine.h"

#include "HelpFormat.h"
#include "Parser.h"

#include "firmware/ModelName.h"
#include "link/ControllerInterface.h"
#include "link/ProgramVersion.h"
#include "modules/G4Module.h"
#include "modules/ModuleCommand.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace ct::cli {

namespace {

struct CardKindName {
    std::uint16_t bit;
    const char* name;
};

// In the order of their bits.
const CardKindName kCardKindNames[] = {
    {modules::CardUidA, "A"},         {modules::CardBlock, "ABlock"}, {modules::Card7Byte, "7Byte"},
    {modules::CardIso15693, "15693"}, {modules::CardUidB, "B"},       {modules::CardGuidB, "BG"},
};

bool SameNameAnyCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

}  // namespace

std::optional<Invocation> Parser::Take(std::string& error) const
{
    Invocation inv;
    inv.deviceId = deviceId;
    inv.framing = framingName == "xor"       ? link::Framing::Xor
                  : framingName == "xor-etx" ? link::Framing::XorEtx
                                             : link::Framing::Crc;
    inv.text = text;
    inv.at = at;
    inv.alarmNumber = alarmNumber;
    ParseOutputs(outputs, inv.outputs);
    inv.speed = speedName == "19200" ? tests::LineSpeed::Baud19200 : tests::LineSpeed::Baud115200;
    inv.serial = serial;
    inv.modelName = modelName;
    if (modelVersionOption->count() > 0)
        inv.modelVersion = modelVersion;
    inv.kind = upgradeKind;
    inv.keepGoing = keepGoing;

    const struct {
        CLI::App* sub;
        Command command;
    } commands[] = {
        {send, Command::Send},
        {connect, Command::Connect},
        {setTime, Command::SetTime},
        {alarm, Command::Alarm},
        {factoryReset, Command::FactoryReset},
        {reboot, Command::Reboot},
        {dido, Command::Dido},
        {poll, Command::Poll},
        {setSpeed, Command::SetSpeed},
        {command, Command::ControllerCommand},
        {module, Command::ModuleCommand},
        {controllerId, Command::ControllerId},
        {setControllerId, Command::SetControllerId},
        {g6Serial, Command::G6Serial},
        {g6Id, Command::G6Id},
        {g6SetId, Command::G6SetId},
        {g6CardType, Command::G6CardType},
        {g6SetCardType, Command::G6SetCardType},
        {g4Serial, Command::G4Serial},
        {g4SetId, Command::G4SetId},
        {setModel, Command::SetModel},
        {upgrade, Command::Upgrade},
        {ports, Command::Ports},
        {batch, Command::Batch},
        {discover, Command::Discover},
        {fleet, Command::Fleet},
    };
    const auto found = std::find_if(std::begin(commands), std::end(commands),
                                    [](const auto& c) { return c.sub && c.sub->parsed(); });
    if (found == std::end(commands)) {
        error = "give a sub-command";
        return std::nullopt;
    }
    inv.command = found->command;
    inv.name = found->sub->get_name();
    if (found->sub->get_parent() != &app)
        inv.name = found->sub->get_parent()->get_name() + " " + inv.name;

    if (framingOption->count() > 0 && inv.command != Command::Send) {
        error = "--framing applies to send only";
        return std::nullopt;
    }

    switch (inv.command) {
    case Command::Dido:
        inv.cycles = didoCycles;
        break;
    case Command::Poll:
        inv.cycles = pollCycles;
        break;
    case Command::ModuleCommand:
        inv.typeIndex = *modules::ModuleTypeIndex(moduleType);
        inv.moduleId = moduleId;
        break;
    case Command::ControllerId:
        if (bySnOption->count() > 0)
            inv.command = Command::ControllerIdBySerial;
        break;
    case Command::SetControllerId:
        // The window's fields take no more; a longer text would go out as
        // typed and set an ID or serial number that nobody can address.
        if (serial.size() > 8 || newControllerId.size() > 4) {
            error = serial.size() > 8 ? "SN '" + serial + "' is longer than a serial number's 8 characters"
                                      : "NEWID '" + newControllerId + "' is longer than an ID's 4 characters";
            return std::nullopt;
        }
        inv.newId = newControllerId;
        break;
    case Command::G6Serial:
    case Command::G6CardType:
        inv.moduleId = moduleIdText;
        break;
    case Command::G6SetId:
        inv.newId = newModuleId;
        break;
    case Command::G6SetCardType:
        inv.moduleId = moduleIdText;
        inv.cardChoice.kinds = *ParseCardKinds(cardKinds);
        inv.cardChoice.delayText = delayText;
        inv.cardChoice.green = green;
        inv.cardChoice.reset = resetMode;
        break;
    case Command::G4Serial:
        inv.typeIndex = *modules::ModuleTypeIndex(g4Type);
        inv.moduleId = moduleIdText;
        break;
    case Command::G4SetId:
        inv.typeIndex = *modules::ModuleTypeIndex(g4Type);
        inv.newId = newModuleId;
        break;
    case Command::Upgrade:
        inv.file = firmwareFile;
        if (upgradeModelOption->count() > 0)
            inv.upgradeModel = upgradeModel;
        break;
    case Command::Batch:
        inv.file = batchFile;
        break;
    case Command::Ports:
        inv.probe = probe;
        break;
    case Command::Discover:
        if (!idRange.empty())
            ParseIdRange(idRange, inv.firstId, inv.lastId);
        break;
    case Command::Fleet:
        inv.file = fleetFile;
        inv.jobs = fleetJobs;
        inv.fleetWords = fleet->remaining();
        break;
    default:
        break;
    }
    return inv;
}

namespace {

// The options before a sub-command whose value is the next word.
bool TakesValue(const std::string& word)
{
    static const char* const kValued[] = {"--net", "--com", "--settings", "--framing", "--id"};
    return std::find(std::begin(kValued), std::end(kValued), word) != std::end(kValued);
}

// --version among the options before the sub-command. After it the word may
// be an argument (set-model's --version VVVV), and a version printed in
// place of the operation would tell a script that it succeeded.
bool AsksForVersion(const std::vector<std::string>& args)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--version")
            return true;
        if (args[i].rfind("-", 0) != 0 || args[i] == "--")
            return false;
        if (TakesValue(args[i]))
            ++i;
    }
    return false;
}

// The first word that should name a sub-command and names none, with the
// group it was looked for in ("" at the top); nothing when every sub-command
// word is known. The parser's own message for it ("A subcommand is
// required") would not say which word is wrong.
std::optional<std::string> UnknownSubCommand(const CLI::App& app, const std::vector<std::string>& words)
{
    const CLI::App* group = &app;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--")
            return std::nullopt;
        if (word.rfind("-", 0) == 0) {
            if (TakesValue(word))
                ++i;
            continue;
        }
        const CLI::App* sub = nullptr;
        std::vector<std::string> names;
        for (const CLI::App* candidate : group->get_subcommands({})) {
            if (candidate->get_name() == word)
                sub = candidate;
            names.push_back(candidate->get_name());
        }
        if (!sub) {
            const std::optional<std::string> nearest = NearestName(word, names);
            return "unknown sub-command '" + word + "'" + (group == &app ? "" : " of " + group->get_name())
                   + (nearest ? "; did you mean " + *nearest + "?" : "");
        }
        if (sub->get_subcommands({}).empty())
            return std::nullopt;
        group = sub;
    }
    return std::nullopt;
}

}  // namespace

// The window's link reads the port as atol does (5001x is 5001): the command
// line takes digits only.
std::string NetAddressError(const std::string& ip, const std::string& port)
{
    if (!link::ParseNetIP(ip))
        return "--net: '" + ip + "' is not a dotted IPv4 address such as 192.168.1.200 (no host names)";
    const bool digits = std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || !link::ParseNetPort(port))
        return "--net: port '" + port + "' is not a number 1-65535";
    return {};
}

bool WantsJson(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--")
            return false;
        if (arg == "--json")
            return true;
    }
    return false;
}

bool ParseIdRange(const std::string& text, int& first, int& last)
{
    const auto number = [](const std::string& digits, int& value) {
        if (digits.empty() || digits.size() > 4
            || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        value = std::stoi(digits);
        return true;
    };
    const std::size_t dash = text.find('-');
    int a = 0;
    int b = 0;
    if (dash == std::string::npos || !number(text.substr(0, dash), a) || !number(text.substr(dash + 1), b) || a > b)
        return false;
    first = a;
    last = b;
    return true;
}

// "1,3": the outputs whose boxes count as checked; "" none.
bool ParseOutputs(const std::string& list, std::array<bool, 4>& checked)
{
    checked.fill(false);
    if (list.empty())
        return true;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = list.find(',', from);
        const std::string item = list.substr(from, comma == std::string::npos ? comma : comma - from);
        if (item.size() != 1 || item[0] < '1' || item[0] > '4')
            return false;
        checked[static_cast<std::size_t>(item[0] - '1')] = true;
        if (comma == std::string::npos)
            return true;
        from = comma + 1;
    }
}

std::optional<std::uint16_t> ParseCardKinds(const std::string& list)
{
    std::uint16_t kinds = 0;
    if (list.empty() || SameNameAnyCase(list, "none"))
        return kinds;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = list.find(',', from);
        const std::string item = list.substr(from, comma == std::string::npos ? comma : comma - from);
        const CardKindName* known = nullptr;
        for (const CardKindName& kind : kCardKindNames) {
            if (SameNameAnyCase(item, kind.name))
                known = &kind;
        }
        if (!known)
            return std::nullopt;
        kinds = static_cast<std::uint16_t>(kinds | known->bit);
        if (comma == std::string::npos)
            return kinds;
        from = comma + 1;
    }
}

std::string CardKindNames(std::uint16_t kinds)
{
    std::string names;
    for (const CardKindName& kind : kCardKindNames) {
        if (kinds & kind.bit)
            names += (names.empty() ? "" : ",") + std::string(kind.name);
    }
    return names;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    ParsedCommandLine result;
    if (AsksForVersion(args)) {
        std::printf("controller-cli %s\n", ProgramVersion());
        return result;
    }
    Parser parser(Where::CommandLine, "0000");
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        parser.app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            parser.app.exit(e);  // --help
            result.exitStatus = 0;
            return result;
        }
        result.exitStatus = 64;
        result.error = UnknownSubCommand(parser.app, args).value_or(e.what()) + "\nRun with --help for the usage.";
        return result;
    }
    if (parser.version) {
        result.exitStatus = 64;
        result.error = "--version goes before the sub-command";
        return result;
    }
    result.invocation = parser.Take(result.error);
    if (!result.invocation) {
        result.exitStatus = 64;
        return result;
    }
    GlobalOptions& g = result.globals;
    g = parser.globals;
    g.hasLink = !parser.net.empty() || !parser.com.empty();
    g.settingsGiven = parser.settingsOption && parser.settingsOption->count() > 0;
    const bool fleet = result.invocation->command == Command::Fleet;
    if (fleet && g.hasLink) {
        result.operation = result.invocation->name;
        result.invocation.reset();
        result.exitStatus = 64;
        result.error = "fleet takes the links from its FILE: no --net or --com on the command line";
        return result;
    }
    const bool needsLink = result.invocation->command != Command::Ports && !fleet;
    if (needsLink && parser.net.empty() == parser.com.empty()) {
        result.invocation.reset();
        result.exitStatus = 64;
        result.error = "give exactly one of --net and --com";
        return result;
    }
    if (!parser.com.empty()) {
        g.settings.LinkType = link::LinkTypeCom;
        g.settings.ComPortName = parser.com;
        g.settings.ComBaudRate = parser.serialSettings;
    } else if (!parser.net.empty()) {
        const auto colon = parser.net.rfind(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 == parser.net.size()) {
            result.error = "--net needs IP:PORT, e.g. 127.0.0.1:5001";
        } else {
            g.settings.LinkType = link::LinkTypeNet;
            g.settings.NetIP = parser.net.substr(0, colon);
            g.settings.NetPort = parser.net.substr(colon + 1);
            result.error = NetAddressError(g.settings.NetIP, g.settings.NetPort);
        }
        if (!result.error.empty()) {
            result.operation = result.invocation->name;
            result.invocation.reset();
            result.exitStatus = 64;
        }
    }
    return result;
}

std::optional<Invocation> ParseBatchLine(const std::vector<std::string>& words, const std::string& deviceId,
                                         std::string& error)
{
    Parser parser(Where::BatchLine, deviceId);
    std::vector<std::string> reversed(words.rbegin(), words.rend());
    try {
        parser.app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        error = e.get_exit_code() == 0 ? std::string("--help is no sub-command")
                                       : UnknownSubCommand(parser.app, words).value_or(e.what());
        return std::nullopt;
    }
    return parser.Take(error);
}

std::optional<std::string> TooLongRefusal(const Invocation& inv)
{
    const std::string& id = inv.deviceId;
    const std::string bySerial = std::string(link::cmd::AnyControllerId) + link::cmd::IdBySerial + inv.serial;
    std::string text;
    std::size_t limit = link::MaxCommandLength(link::Framing::Crc);
    switch (inv.command) {
    case Command::Send:
        text = inv.text;
        limit = link::MaxCommandLength(inv.framing);
        break;
    case Command::ControllerCommand:
        text = id + inv.text;
        break;
    case Command::ModuleCommand:
        text = modules::WrapModuleCommand(id, inv.typeIndex, inv.moduleId, inv.text);
        break;
    case Command::ControllerIdBySerial:
        text = bySerial;
        break;
    case Command::SetControllerId:
        text = bySerial + inv.newId;
        break;
    case Command::G6Id:
        text = id + link::cmd::G6ReadIdBySerial + inv.serial;
        break;
    case Command::G6SetId:
        text = id + link::cmd::G6SetIdBySerial + inv.serial + inv.serial
               + modules::Hex4(static_cast<unsigned>(std::stoi(inv.newId))) + "0000";
        break;
    case Command::G4SetId:
        text = modules::WrapModuleCommand(id, inv.typeIndex, std::string(), link::cmd::G4SetId + inv.serial + inv.newId);
        break;
    case Command::SetModel:
        text = id + link::cmd::SetModelName + firmware::ModelNameField(inv.modelName)
               + (inv.modelVersion ? firmware::TrimControls(*inv.modelVersion) : std::string());
        break;
    default:
        return std::nullopt;
    }
    if (text.size() <= limit)
        return std::nullopt;
    return "command text of " + std::to_string(text.size()) + " characters is longer than the "
           + std::to_string(limit) + " one request takes";
}

}  // namespace ct::cli
