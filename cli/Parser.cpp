#include "Parser.h"

#include "link/ControllerInterface.h"
#include "modules/ModuleCommand.h"

#include "HelpFormat.h"

#include <climits>
#include <memory>

namespace ct::cli {

namespace {

const char* const kDescription =
    "controller-cli (--net IP:PORT | --com PORT [--settings SETTINGS]) [--id ID]\n"
    "               [--json] [--trace] SUB-COMMAND [ARGUMENTS]\n"
    "\n"
    "  send [--framing MODE] TEXT          one request, its reply frame printed\n"
    "  connect [--at N]                    version panel line, serial panel line\n"
    "  set-time                            the 14 digits sent\n"
    "  alarm N                             N 0 (alarm off) to 6\n"
    "  factory-reset\n"
    "  reboot\n"
    "  dido [--outputs LIST] [--cycles N]  the 8 inputs of each cycle\n"
    "  poll [--cycles N]                   each record\n"
    "  set-speed 19200|115200              the serial settings now in use\n"
    "  command TEXT                        the reply to DeviceID + TEXT\n"
    "  module TYPE ID TEXT                 the module's reply\n"
    "  controller-id [--by-sn SN]          ID and serial number, or the ID of SN\n"
    "  set-controller-id SN NEWID\n"
    "  g6 serial ID                        the G6 module's serial number\n"
    "  g6 id SN                            the module's ID digit\n"
    "  g6 set-id SN NEWID\n"
    "  g6 card-type ID                     types=..., delay=..., green=...\n"
    "  g6 set-card-type ID --types LIST|none [--delay N] [--green] [--reset]\n"
    "                                      the settings the module answers with\n"
    "  g4 serial TYPE ID                   the G4 module's serial number\n"
    "  g4 set-id TYPE SN NEWID\n"
    "  set-model NAME [--version VVVV]\n"
    "  upgrade FILE --kind N [--model NAME] blocks=N once programmed and verified\n"
    "  ports                               this machine's serial ports (no link)\n"
    "  discover [--ids FIRST-LAST]         each controller found: settings, ID, model...\n"
    "  batch FILE|- [--keep-going]         one sub-command a line, over one link\n"
    "  fleet [--jobs N] FILE SUB-COMMAND [ARGUMENTS]\n"
    "                                      SUB-COMMAND on every controller of FILE\n"
    "\n"
    // One paragraph a line: the help's formatter wraps them to the terminal.
    "Runs one operation of the controller tool and prints its result on standard "
    "output, one item a line; the closing message (\"Command ok.\", \"Command "
    "error!\", \"Connect device error!\"; send: only the last two) goes to standard "
    "error. The global options may also follow the sub-command.\n"
    "\n"
    "--json prints one JSON object per result instead: its \"operation\", its "
    "\"outcome\" (\"ok\", \"command-error\", \"connect-error\", \"refused\") and the "
    "fields above by name; dido and poll one object per cycle or record and "
    "one at the end. --trace writes every frame sent (>) and received (<) on "
    "standard error with the milliseconds since the start, and marks time-outs "
    "and failed checks (!) on lines of their own.\n"
    "`controller-cli SUB-COMMAND --help` tells more.";

const char* const kGlobalOptions =
    "Global options: --net IP:PORT or --com PORT [--settings SETTINGS]; --id ID, "
    "the 4 characters that prefix the command texts (default 0000); --json, one "
    "JSON object per result; --trace, every frame on standard error. See "
    "controller-cli --help.";

const char* const kFooter =
    "Replies and reply fields are printed with bytes 0x20-0x7E as they are (a "
    "backslash as \\\\) and every other byte as \\xHH. A TEXT that starts with '-' "
    "goes after \"--\".\n"
    "\n"
    "Exit status:\n"
    "  0    \"Command ok.\" (send: the reply printed; dido and poll also when "
    "stopped by a signal; batch: every line)\n"
    "  1    \"Command error!\": no reply in time, a failed check or a reply of "
    "the wrong length (dido and poll: no cycle got a valid answer)\n"
    "  2    \"Connect device error!\": the link was not opened (connect: the "
    "controller did not answer at ID N)\n"
    "  64   bad arguments, or a command text longer than one request takes (1493 "
    "characters in crc framing, 1496 in xor framing); nothing is opened "
    "or sent then (batch: any line that cannot be parsed)\n"
    "  74   standard output could not be written (dido and poll end first)\n"
    "  130  stopped by SIGINT, SIGTERM, SIGHUP or SIGQUIT, the link closed "
    "(batch: before its last line; dido and poll end as above)\n"
    "A batch exits with the status of its first failed line.";

const CLI::Validator DeviceIdCheck(
    [](std::string& id) -> std::string {
        if (id.size() != 4)
            return "the ID must be exactly 4 characters, e.g. 0001";
        for (char c : id) {
            if (c < 0x20 || c > 0x7E)
                return "the ID must be 4 printable characters";
        }
        return {};
    },
    "4 CHARACTERS");

const CLI::Validator OutputsCheck(
    [](std::string& list) -> std::string {
        std::array<bool, 4> checked{};
        return ParseOutputs(list, checked) ? std::string() : "give outputs 1-4 separated by commas, e.g. 1,3";
    },
    "LIST OF 1-4");

const CLI::Validator CardKindsCheck(
    [](std::string& list) -> std::string {
        return ParseCardKinds(list) ? std::string()
                                         : "give card kinds A, ABlock, 7Byte, 15693, B, BG separated by commas, "
                                           "e.g. A,BG, or none";
    },
    "A,ABlock,7Byte,15693,B,BG");

const CLI::Validator IdRangeCheck(
    [](std::string& range) -> std::string {
        int first = 0;
        int last = 0;
        return ParseIdRange(range, first, last) ? std::string() : "give two IDs 0-9999, the first not above the "
                                                                  "last, e.g. 0-31";
    },
    "FIRST-LAST");

const std::vector<std::string> kModuleIds = {"0", "1", "2", "3", "4", "5", "6", "7", "8"};
const std::vector<std::string> kNewModuleIds = {"1", "2", "3", "4", "5", "6", "7", "8"};

const CLI::Validator ModuleTypeCheck(
    [](std::string& type) -> std::string {
        return modules::ModuleTypeIndex(type) ? std::string()
                                              : "unknown module type '" + type + "' (A, B, H, I, J, E or a name)";
    },
    "TYPE");

}  // namespace

Parser::Parser(Where where, const std::string& defaultId) : app(kDescription, "controller-cli"), deviceId(defaultId)
{
    // Before the sub-commands are added: they take the formatter with them.
    app.formatter(std::make_shared<WrappingFormatter>(HelpWidth()));
    app.footer(kFooter);
    app.require_subcommand(1);
    // The global options may also follow the sub-command.
    app.fallthrough();

    if (where == Where::CommandLine) {
        CLI::Option* netOption =
            app.add_option("--net", net, "TCP to a dotted IPv4 address and port, e.g. 127.0.0.1:5001")
                ->type_name("IP:PORT");
        CLI::Option* comOption =
            app.add_option("--com", com, "serial port by name: COM3, ttyUSB0 or a path such as /dev/pts/4")
                ->type_name("PORT");
        netOption->excludes(comOption);
        settingsOption = app.add_option("--settings", serialSettings,
                       "serial line as rate,parity,data bits,stop bits (default \"115200,n,8,1\"); a string "
                       "that cannot be parsed leaves the port's own settings; --com only")
            ->type_name("SETTINGS")
            ->needs(comOption);
        app.add_flag("--json", globals.json,
                     "print one JSON object per result on standard output (same exit status)");
        // Answered before the parser runs (ParseCommandLine); here for the help
        // and to refuse it after the sub-command.
        app.add_flag("--version", version, "print the program's version and exit");
        app.add_flag("--trace", globals.trace,
                     "write every frame sent and received on standard error, with the milliseconds since the "
                     "start; time-outs and failed checks on lines of their own");
    }
    // send's option, also taken before the sub-command as it always was;
    // only send's help shows it.
    framingOption = app.add_option("--framing", framingName)
                        ->group("")
                        ->check(CLI::IsMember({"crc", "xor", "xor-etx"}));
    app.add_option("--id", deviceId,
                   "the DeviceID: exactly the 4 characters that prefix the command texts (default 0000, "
                   "as the window before Connect); not used by send, connect, controller-id --by-sn and "
                   "set-controller-id")
        ->type_name("ID")
        ->check(DeviceIdCheck);

    AddSubCommands();

    ports = app.add_subcommand(
        "ports", "list this machine's serial ports, one a line: name, description, manufacturer, VID:PID and "
                 "serial number separated by tabs (\"-\" where the port does not tell); needs no link");
    AddDiscover();
    if (where == Where::CommandLine) {
        batch = app.add_subcommand(
            "batch",
            "run the sub-commands of FILE (\"-\": standard input), one a line with its arguments, optionally "
            "preceded by --id ID, all over the link of the command line; words are separated by blanks, quoted "
            "with '...' or \"...\"; # starts a comment. Every line is parsed before anything is sent: a line "
            "that cannot be parsed is reported with its number and the batch exits 64. The lines run in order "
            "and the batch stops at the first that fails, unless --keep-going. Each closing message names its "
            "line (\"line 3: Command error!\"); a summary line on standard error ends the batch (with --json "
            "also a summary object); the exit status is the first failed line's");
        batch->add_option("FILE", batchFile, "the list of sub-commands, or - for standard input")->required();
        batch->add_flag("--keep-going", keepGoing, "run every line, also after one failed");

        fleet = app.add_subcommand(
            "fleet",
            "run SUB-COMMAND with its ARGUMENTS on every controller listed in FILE, one a line: --net IP:PORT or "
            "--com PORT, optionally --settings SETTINGS (--com only) and --id ID (default the command line's); "
            "words and # comments as in a batch list. The whole list is checked before anything is sent: a "
            "line that cannot be used is reported with its number and fleet exits 64. Controllers on different "
            "links run at the same time, up to --jobs; those on one serial port or one IP:PORT run one after "
            "the other, in line order. Each controller's result is printed whole as soon as it is done, so in "
            "the order they finish: every plain line on standard output and every closing message starts with "
            "\"line N ENDPOINT: \" (N the line of FILE, ENDPOINT the IP:PORT or port), every JSON object has "
            "\"endpoint\" and \"line\". A summary line on standard error ends the run (with --json also a "
            "summary object); the exit status is the first failed line's. A signal ends every running "
            "operation as in a single run (dido and poll with the outputs released) and starts no other. "
            "The global options go before fleet; not with --trace, --net or --com, and not for ports, batch or "
            "fleet");
        fleet->add_option("--jobs", fleetJobs, "controllers run at the same time at most, 1-256 (default 16)")
            ->type_name("N")
            ->check(CLI::Range(1, 256));
        fleet->add_option("FILE", fleetFile, "the list of controllers, or - for standard input")->required();
        // Everything after FILE is the sub-command's, checked by the fleet:
        // nothing falls through to the global options or sub-commands.
        fleet->fallthrough(false);
        fleet->prefix_command();
    }

    const std::string subFooter = std::string(kGlobalOptions) + "\n\n" + kFooter;
    for (CLI::App* sub : app.get_subcommands({})) {
        sub->footer(subFooter);
        for (CLI::App* inner : sub->get_subcommands({}))
            inner->footer(subFooter);
    }
}

void Parser::AddSubCommands()
{

    send = app.add_subcommand("send", "send TEXT as one request and print the reply frame");
    sendFramingOption =
        send->add_option("--framing", framingName,
                         "crc (default; every controller command), xor or xor-etx (the boot loaders)")
            ->type_name("MODE")
            ->check(CLI::IsMember({"crc", "xor", "xor-etx"}));
    send->add_option("TEXT", text,
                     "the whole command text, e.g. 0001AS: the controller's ID, a command code and its "
                     "parameters; the reply is printed from its start byte through CR")
        ->required();

    connect = app.add_subcommand(
        "connect", "address the controller at ID N as the window's Connect does (three attempts) and "
                   "print the version panel's text, then the serial panel's (empty when not read)");
    connect->add_option("--at", at, "the ID addressed, 0-9999 (default 0)")->check(CLI::Range(0, 9999));

    setTime = app.add_subcommand(
        "set-time", "write the PC's local date and time into the controller and print the 14 digits sent");

    alarm = app.add_subcommand("alarm", "alarm test: send alarm N, 0 (alarm off) to 6");
    alarm->add_option("N", alarmNumber, "the alarm, 0-6")->required()->check(CLI::Range(0, link::cmd::AlarmCount - 1));

    factoryReset = app.add_subcommand("factory-reset", "reset the controller to its factory settings");
    reboot = app.add_subcommand("reboot", "restart the controller (nothing waits for it to return)");

    dido = app.add_subcommand(
        "dido", "DIDO test: each cycle commands the checked outputs and reads the inputs; prints the eight "
                "input characters (DI1 first, 1 active) of each accepted reply on a line; ends after --cycles, "
                "at a signal or when standard output cannot be written, always with the outputs released "
                "(\"JD\"); then \"dido: N cycles, M answered\" on standard error, exit 1 when M is 0");
    dido->add_option("--outputs", outputs, "the outputs 1-4 whose boxes count as checked, e.g. 1,3 (default none)")
        ->type_name("LIST")
        ->check(OutputsCheck);
    dido->add_option("--cycles", didoCycles, "stop after N cycles, N >= 1 (default: run until a signal)")
        ->check(CLI::Range(1, INT_MAX));

    poll = app.add_subcommand(
        "poll", "event polling: prints each record as \"[tag] yyyy/mm/dd  hh:nn:ss (code) [value]\" on a line "
                "before acknowledging it; ends like dido");
    poll->add_option("--cycles", pollCycles, "stop after N cycles, N >= 1 (default: run until a signal)")
        ->check(CLI::Range(1, INT_MAX));

    setSpeed = app.add_subcommand(
        "set-speed", "switch the controller's serial line to 19200,e,8,1 or 115200,n,8,1 and print the "
                     "settings the tool uses from now on (unchanged when the switch was not acknowledged)");
    setSpeed->add_option("RATE", speedName, "19200 or 115200")->required()->check(CLI::IsMember({"19200", "115200"}));

    command = app.add_subcommand(
        "command", "the console's controller command: send DeviceID + TEXT and print any checked reply as "
                   "send does");
    command->add_option("TEXT", text, "the command code and its parameters, e.g. AS")->required();

    module = app.add_subcommand(
        "module", "the console's module command: send DeviceID + \"DD\" + type letter + ID + TEXT to a module "
                  "behind the controller and print any checked reply as send does");
    module->add_option("TYPE", moduleType, "the type letter A, B, H, I, J or E, or the console's name of the type")
        ->required()
        ->check(ModuleTypeCheck);
    module->add_option("ID", moduleId, "the module's ID, 1-8")
        ->required()
        ->check(CLI::IsMember({"1", "2", "3", "4", "5", "6", "7", "8"}));
    module->add_option("TEXT", text, "the module's command text")->required();

    controllerId = app.add_subcommand(
        "controller-id", "read the addressed controller's ID and serial number (DeviceID + \"AS\") and print "
                         "them, one a line; with --by-sn print the ID of the controller with that serial number");
    bySnOption =
        controllerId
            ->add_option("--by-sn", serial,
                         "ask by serial number instead: \"0000AV\" + SN reaches the controller whatever its ID; "
                         "SN goes out as typed, e.g. 16030001")
            ->type_name("SN");

    setControllerId = app.add_subcommand(
        "set-controller-id", "give the controller with serial number SN the ID NEWID (\"0000AV\" + SN + NEWID); "
                             "later commands must address it with --id NEWID");
    setControllerId->add_option("SN", serial, "the controller's serial number, at most 8 characters, sent as typed, "
                                              "e.g. 16030001")
        ->required();
    setControllerId->add_option("NEWID", newControllerId, "the new ID, at most 4 characters, sent as typed (12 goes "
                                                          "out as 12, not 0012)")
        ->required();


    g6 = app.add_subcommand("g6", "G6 reader and DIDO modules behind the controller");
    g6->require_subcommand(1);
    g6Serial = g6->add_subcommand("serial", "print the serial number of the G6 module with ID ID");
    g6Serial->add_option("ID", moduleIdText, "the module's ID, 0-8")->required()->check(CLI::IsMember(kModuleIds));

    g6Id = g6->add_subcommand(
        "id", "print the ID digit that the G6 module with serial number SN reports");
    g6Id->add_option("SN", serial, "the module's serial number, sent as typed, e.g. 16030001")->required();

    g6SetId = g6->add_subcommand("set-id", "give the G6 module with serial number SN the ID NEWID");
    g6SetId->add_option("SN", serial, "the module's serial number, sent as typed (twice), e.g. 16030001")
        ->required();
    g6SetId->add_option("NEWID", newModuleId, "the new ID, 1-8")->required()->check(CLI::IsMember(kNewModuleIds));

    g6CardType = g6->add_subcommand(
        "card-type", "read the card-type settings of the G6 module with ID ID and print them as the page shows "
                     "them, one a line: types=LIST (the accepted card kinds, names as for set-card-type's "
                     "--types), delay=N (the same-card delay in 100 ms, 0-65535), green=0|1 (the green mode; the "
                     "reset mode is not read back)");
    g6CardType->add_option("ID", moduleIdText, "the module's ID, 0-8")->required()->check(CLI::IsMember(kModuleIds));

    g6SetCardType = g6->add_subcommand(
        "set-card-type", "write the card-type settings of the G6 module with ID ID; the module answers with its "
                         "settings, printed as card-type prints them");
    g6SetCardType->add_option("ID", moduleIdText, "the module's ID, 0-8")
        ->required()
        ->check(CLI::IsMember(kModuleIds));
    g6SetCardType
        ->add_option("--types", cardKinds,
                     "the card kinds the module accepts, separated by commas: A (UID(A)), ABlock (Block), 7Byte "
                     "(7 Byte), 15693 (ISO15693), B (UID(B)), BG (GUID(B)); required: none turns every kind off")
        ->type_name("LIST")
        ->required()
        ->check(CardKindsCheck);
    g6SetCardType->add_option(
        "--delay", delayText,
        "the same-card delay in units of 100 ms as typed (default 10): a decimal integer goes out as its low "
        "16 bits (999 as 03E7, -1 as FFFF); any other text, e.g. 1a or \"\", writes the fixed words card kinds "
        "0000, delay 000A, mode 0001 instead, whatever --types, --green and --reset say, as the window does")
        ->type_name("N");
    g6SetCardType->add_flag("--green", green, "set the green mode (default off)");
    g6SetCardType->add_flag("--reset", resetMode, "set the reset mode (default off)");

    g4 = app.add_subcommand("g4", "G4 modules behind the controller (DeviceID + \"DD\" + type letter)");
    g4->require_subcommand(1);
    const char* const g4TypeHelp =
        "the type letter A, B, H, I, J or E, or the G4 page's name of the type, e.g. KXRB5/BS/BQ";
    g4Serial = g4->add_subcommand(
        "serial", "print the serial number of the G4 module of type TYPE with ID ID");
    g4Serial->add_option("TYPE", g4Type, g4TypeHelp)->required()->check(ModuleTypeCheck);
    g4Serial->add_option("ID", moduleIdText, "the module's ID, 0-8")->required()->check(CLI::IsMember(kModuleIds));

    g4SetId = g4->add_subcommand(
        "set-id", "give the G4 module of type TYPE with serial number SN the ID NEWID; any checked reply is "
                  "taken as done");
    g4SetId->add_option("TYPE", g4Type, g4TypeHelp)->required()->check(ModuleTypeCheck);
    g4SetId->add_option("SN", serial, "the module's serial number, sent as typed, e.g. 16030001")->required();
    g4SetId->add_option("NEWID", newModuleId, "the new ID, 1-8")->required()->check(CLI::IsMember(kNewModuleIds));

    setModel = app.add_subcommand(
        "set-model", "write the model name NAME into the controller (DeviceID + \"AS\" + the 12-character "
                     "name field [+ version]), as the Model Name page does");
    setModel
        ->add_option("NAME", modelName,
                     "the model designation, e.g. KX410NT4-SG4: without leading and trailing blanks and control "
                     "characters, padded with spaces or cut to 12 characters (never refused for its length)")
        ->required();
    modelVersionOption =
        setModel
            ->add_option("--version", modelVersion,
                         "also write the version, e.g. 0503: appended trimmed, otherwise as typed (the page's "
                         "\"Change Version\" box)")
            ->type_name("VVVV");

    upgrade = app.add_subcommand(
        "upgrade",
        "upgrade the controller's firmware from FILE, as the Firmware upgrade page does with the loader of kind "
        "N: reads the model with DeviceID + \"DB\", loads the file and checks its header against that model, "
        "then enters the boot loader, programs and verifies every block and starts the new firmware (7 s or 2 s "
        "pause after the start command). Progress goes to standard error: one line redrawn in place on a "
        "terminal (phase, blocks done/all, blocks per second, time left), otherwise one line when a phase "
        "begins, at every tenth of its blocks and when it ends. Standard output gets \"blocks=N\" once all N "
        "blocks were programmed and verified. A file that cannot be read (\"Load firmware file error!\"), a "
        "model the file was not built for (\"Firmware file format model error!\") or a kind without a loader "
        "(\"no boot loader for kind N\") exit with 1 and nothing sent after \"DB\"");
    upgrade->add_option("FILE", firmwareFile, "the firmware file: a 16-byte header naming the model, then the image")
        ->required();
    upgradeModelOption =
        upgrade
            ->add_option("--model", upgradeModel,
                         "the controller's model, e.g. KX410NT4-SG4, for the model check instead of reading it with "
                         "\"DB\" (nothing is sent before the upgrade): for a controller left in its boot loader, "
                         "which answers no \"DB\"; without it and without an answer kinds 3 and 6 go on, the "
                         "others stop")
            ->type_name("NAME");
    upgrade
        ->add_option("--kind", upgradeKind,
                     "the controller kind, 0-7: 3 and 6 the 512-byte loader, 1, 2 and 5 the 256-byte loader, "
                     "4 the 64-byte loader; 0 and 7 have none")
        ->required()
        ->type_name("N")
        ->check(CLI::Range(0, 7));

}

void Parser::AddDiscover()
{
    discover = app.add_subcommand(
        "discover",
        "find the controllers on the link and print each as it is found, one a line: line setting, ID, model, "
        "version and serial number separated by tabs (\"-\" for what was not read). Without --ids, the Connect "
        "exchange at ID 0000, which a controller alone on its line answers whatever its ID: on --com tried at "
        "115200,n,8,1, then at 19200,e,8,1 (only at --settings when given), until a controller answers. Exit 0 "
        "when a controller was found, 1 when none answered (\"No controller found.\")");
    discover
        ->add_option("--ids", idRange,
                     "scan the IDs FIRST to LAST (0-9999, e.g. 0-31) for a line with several controllers: at each ID "
                     "the Connect command once, with the link's time-out (300 ms of silence on --com, at --settings; "
                     "1200 ms on --net); the ID in progress on standard error")
        ->type_name("FIRST-LAST")
        ->check(IdRangeCheck);

    ports->add_flag("--probe", probe,
                    "also look for a controller on every port this user may open, as discover does (the Connect "
                    "request at ID 0000, at 115200,n,8,1 then 19200,e,8,1): two more columns, the line setting "
                    "and ID it answered with (\"-\" none); sends to whatever device is on the port. Exit 0 when a "
                    "controller answered, 1 when none did");
}

}  // namespace ct::cli
