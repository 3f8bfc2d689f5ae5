// The whole command-line parser of controller-cli, its values bound to its
// members: the global options and every sub-command with its arguments and
// help texts. Internal to the command line; CommandLine.h is the interface.
#pragma once

#include "CommandLine.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace ct::cli {

// Where a sub-command is parsed: the program's own arguments, or a line of
// a batch (no link options, no --json, --trace or batch there).
enum class Where { CommandLine, BatchLine };

// The whole parser, its values bound to the members.
class Parser {
public:
    Parser(Where where, const std::string& defaultId);

    CLI::App app;
    GlobalOptions globals;
    bool version = false;  // --version after the sub-command
    std::string deviceId;
    std::string framingName = "crc";
    std::string net;
    std::string com;
    std::string serialSettings = link::DefaultComBaudRate;
    CLI::Option* framingOption = nullptr;      // before the sub-command
    CLI::Option* sendFramingOption = nullptr;  // send's own
    CLI::App* ports = nullptr;
    CLI::App* batch = nullptr;
    std::string batchFile;
    bool keepGoing = false;
    CLI::App* fleet = nullptr;
    std::string fleetFile;
    int fleetJobs = 16;

    std::string text;
    CLI::App* send = nullptr;
    int at = 0;
    CLI::App* connect = nullptr;
    CLI::App* setTime = nullptr;
    int alarmNumber = 0;
    CLI::App* alarm = nullptr;
    CLI::App* factoryReset = nullptr;
    CLI::App* reboot = nullptr;
    std::string outputs;
    int didoCycles = 0;
    CLI::App* dido = nullptr;
    int pollCycles = 0;
    CLI::App* poll = nullptr;
    std::string speedName;
    CLI::App* setSpeed = nullptr;
    CLI::App* command = nullptr;
    std::string moduleType;
    std::string moduleId;
    CLI::App* module = nullptr;
    std::string serial;
    std::string newControllerId;
    CLI::App* controllerId = nullptr;
    CLI::Option* bySnOption = nullptr;
    CLI::App* setControllerId = nullptr;
    std::string moduleIdText;
    std::string newModuleId;
    CLI::App* g6 = nullptr;
    CLI::App* g6Serial = nullptr;
    CLI::App* g6Id = nullptr;
    CLI::App* g6SetId = nullptr;
    CLI::App* g6CardType = nullptr;
    std::string cardKinds;
    std::string delayText = "10";
    bool green = false;
    bool resetMode = false;
    CLI::App* g6SetCardType = nullptr;
    std::string g4Type;
    CLI::App* g4 = nullptr;
    CLI::App* g4Serial = nullptr;
    CLI::App* g4SetId = nullptr;
    std::string modelName;
    std::string modelVersion;
    CLI::App* setModel = nullptr;
    CLI::Option* modelVersionOption = nullptr;
    std::string firmwareFile;
    int upgradeKind = 0;
    std::string upgradeModel;
    CLI::Option* upgradeModelOption = nullptr;
    CLI::App* upgrade = nullptr;

    CLI::App* discover = nullptr;
    std::string idRange;
    CLI::Option* settingsOption = nullptr;
    bool probe = false;  // ports --probe

    // After a successful parse: the invocation, or an error message.
    std::optional<Invocation> Take(std::string& error) const;

private:
    void AddSubCommands();
    void AddDiscover();
};

}  // namespace ct::cli
