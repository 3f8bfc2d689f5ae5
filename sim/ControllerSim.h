// The substitute controller: answers the controller protocol over TCP and/or a
// pseudo-terminal from its own I/O thread, with faults that can be injected.
//
// Thread-safe: tests, benchmarks and the demo configure it, inject faults and
// read its command log from their own thread while it serves.
//
// One or several controllers share its line (one TCP listener, one
// pseudo-terminal): each request reaches every one of them, and a controller
// answers commands addressed to its own ID and the serial-number commands
// "0000AV..." when the serial number is its own. "AC" is answered whatever ID
// it was addressed with (the reply carries the controller's own ID) while the
// controller is alone on the line; beside others only at its own ID. Modules
// behind a controller answer the "DD" and "DR05" pass-through commands.
// Nobody addressed: silence. Replies from two controllers at once would
// garble the line, so only the first controller (in line order) that answers
// a request answers and acts on it; the others do not see it.
//
// The accessors without an index concern the first controller.
//
// Behind its application each controller may have one of three boot loaders
// (ControllerConfig::loader), entered with its ID and "Zx33BB", "ZxA5" or
// "Zx". From then on the controller hears only its loader's commands, in the
// loader's framing, until the loader's start command returns it to the
// application. The loaders program and read back a flash memory of 64 KiB;
// faults per block (ControllerConfig::loaderFaults) spoil their replies.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ct::sim {

struct LineDispatcher;

struct G6Module {
    int id = 1;                       // 0..8
    std::string serial = "16030001";  // 8 characters
    std::uint16_t cardType = 0x0041;
    std::uint16_t delay = 0x000A;
    std::uint16_t mode = 0x0003;
};

struct G4Module {
    char type = 'H';                  // one of A B H I J E
    int id = 1;
    std::string serial = "16030001";  // 8 characters
};

struct EventRecord {
    char tag = '1';
    std::string timestamp = "20240301075959";  // 14 characters
    std::string code = "0012";                  // 4 characters
    std::string value = "12345";                // 5 characters
};

// Which boot loader sits behind the application, by the block it programs.
//   Block512: entered by "Zx33BB" (acknowledged); CRC framing, every command
//             the ID and "Zp" address data, "Zv" address, "ZrAA55" (start).
//             It has no erase command: "Zp" erases the 512 bytes it writes
//             first, so a block programmed twice reads back as last written.
//   Block256: entered by "ZxA5"; XOR requests, replies starting with ETX, every
//             command the ID and "A" (probe), "E" address (erases the 512
//             bytes from there), "P" address data, "R" address, "X" (start).
//   Block64:  entered by "Zx"; XOR requests, replies starting with STX, bare
//             commands "A", "E" (erases everything), "P" address data,
//             "R" address, "X".
// The enter command is acknowledged in CRC framing, also when it comes again
// inside the loader (the tool sends it twice). Addresses are four hex digits
// of either case; "P" and "Zp" clear bits only (the flash is ANDed with the
// data), so programming without an erase shows as a difference on read-back.
enum class LoaderKind { None, Block512, Block256, Block64 };

// A fault of the loader for one block (block number = address / the loader's
// block size).
struct LoaderFault {
    enum class Kind {
        FailProgram,      // the program command is answered with a wrong check; nothing written
        FailVerify,       // the read-back is answered with a wrong check
        LowerCaseVerify,  // the read-back carries its data in lower-case hex digits
        SilentFrom,       // no answer to any program, erase or read-back of this block or a later one
    };
    Kind kind = Kind::FailProgram;
    int block = 0;
    // How many commands for the block it spoils; -1: every one. SilentFrom
    // ignores it and lasts.
    int times = -1;
};

struct ControllerConfig {
    std::string id = "0001";              // 4 characters
    std::string model = "KX410NT4-SG4";   // 12 characters (padded with spaces if shorter)
    std::string version = "0520";         // 4 characters
    std::string serial = "16030001";      // 8 characters
    std::string inputs = "00000000";      // DI1..DI8 as answered to "DG0"
    std::vector<G6Module> g6Modules{G6Module{}};
    std::vector<G4Module> g4Modules{G4Module{}};
    // Queued for "PI"; the first is removed by the "IB" that follows a poll
    // reply carrying it, and only by that.
    std::vector<EventRecord> records;
    bool shortAck = false;                // answer "AA" and "JF" with 12 bytes instead of 13
    int alarm = 0;                        // set by "JF": 0 alarm off, 1 to 6 the alarm
    // The controller's serial line. "AE001002" and "AE001400" switch it once
    // their reply is out. On the pseudo-terminal the controller hears only
    // requests sent at its baud rate; over TCP it is state only.
    std::string line = "115200,n,8,1";
    // How long the controller hears nothing after its reply to "AR00".
    std::chrono::milliseconds rebootSilence{1000};
    LoaderKind loader = LoaderKind::Block512;
    // Used up as they spoil replies: Config() shows the attempts left.
    std::vector<LoaderFault> loaderFaults;
};

enum class FaultKind {
    NoAnswer,      // the request is logged, nothing is sent back
    WrongCrc,      // the CRC characters do not match
    LowerCaseCrc,  // the CRC's hex letters in lower case (only differs when it has letters)
    ExtraBytes,    // `count` bytes ('X') between the CRC characters and the CR
    NulInside,     // a NUL replaces the reply text's last character (CRC still correct)
    NoiseBefore,   // `count` noise bytes before the start byte
    SplitBytes,    // the reply sent one byte at a time, `gap` between bytes
    Delay,         // the whole reply sent after `delay`
    WrongLength,   // the reply text gets `count` extra '0' characters (CRC correct)
};

// Shapes CRC replies, the 512-byte loader's included; the XOR loaders' replies
// take their faults from ControllerConfig::loaderFaults.
struct Fault {
    FaultKind kind = FaultKind::NoAnswer;
    // The command code it applies to ("AC", "DB", "DG0"...: compared with the
    // text after the four ID characters, as a prefix); empty: any command.
    std::string command;
    // How many replies it applies to; -1: every reply.
    int times = 1;
    int count = 3;
    std::chrono::milliseconds gap{0};
    std::chrono::milliseconds delay{0};
};

class ControllerSim {
public:
    explicit ControllerSim(ControllerConfig config = {});
    // The controllers on the line, in the order they get to answer; an empty
    // list is one controller of the default configuration.
    explicit ControllerSim(std::vector<ControllerConfig> line);
    ~ControllerSim();  // stops serving, closes everything
    ControllerSim(const ControllerSim&) = delete;
    ControllerSim& operator=(const ControllerSim&) = delete;

    // Listen on host:port before Start (port 0 picks a free one).
    bool ListenTcp(const std::string& host = "127.0.0.1", std::uint16_t port = 5001);
    std::uint16_t TcpPort() const;
    // Opens a pseudo-terminal before Start; its slave path is what the tool
    // opens as its serial port ("/dev/pts/N").
    bool OpenPty();
    std::string PtyPath() const;

    void Start();
    void Stop();

    void InjectFault(const Fault& fault);

    // The command texts a controller heard, in order: received with a
    // valid check, not while it reboots, and on the terminal not at another
    // baud rate than its line's. Only the last SetCommandLogLimit ones are
    // kept (4096 unless set; 0 keeps none).
    std::vector<std::string> Commands() const;
    // All heard since the last ClearCommands, also those no longer kept.
    std::size_t CommandCount() const;
    void SetCommandLogLimit(std::size_t limit);
    void ClearCommands();
    // Waits until at least n command texts were heard; false on time-out.
    bool WaitForCommands(std::size_t n, std::chrono::milliseconds timeout) const;

    // Current state (changed by the commands it answers, e.g. "AV" sets the ID,
    // "JF" the alarm, "IB" takes a record, "AE..." the line).
    ControllerConfig Config() const;
    void SetConfig(const ControllerConfig& config);
    // Another controller on the line, answering after those before it; its
    // index.
    std::size_t AddController(const ControllerConfig& config);
    std::size_t ControllerCount() const;
    // Throw std::out_of_range for an index past the last controller.
    ControllerConfig Config(std::size_t index) const;
    void SetConfig(std::size_t index, const ControllerConfig& config);
    // Single changes that leave the rest of the state as the commands left it.
    void SetInputs(const std::string& inputs);
    void QueueRecord(const EventRecord& record);
    // False, and nothing changed, for a text that is not a line setting.
    bool SetLineSetting(const std::string& line);
    void SetRebootSilence(std::chrono::milliseconds silence);

    // A controller's clock as "PI" reports it (yyyymmddhhnnss): the PC
    // clock until "AA" or this sets it, then advancing from there. False for
    // anything but 14 digits of a real date and time.
    std::string ControllerTime(std::size_t index = 0) const;
    bool SetControllerTime(const std::string& digits, std::size_t index = 0);

    int Reboots() const;        // "AR00" answered
    int FactoryResets() const;  // "AR01" answered
    // Inside the silence after a reboot.
    bool Rebooting() const;

    // The boot loader of a controller (the first without an index).
    void SetLoader(LoaderKind kind);
    void AddLoaderFault(const LoaderFault& fault);
    bool InLoader(std::size_t index = 0) const;
    int LoaderEntries(std::size_t index = 0) const;  // application -> loader
    int LoaderStarts(std::size_t index = 0) const;   // loader -> application
    // `size` bytes of the flash from `address`, fewer where the 64 KiB end.
    std::vector<std::uint8_t> Flash(std::size_t address, std::size_t size, std::size_t index = 0) const;

    // Print every received command text to stderr as it arrives.
    void SetVerbose(bool verbose);

    // The controllers' handling of requests without the line's I/O, for a
    // caller that carries the bytes itself (a fake link). Not for use while
    // the line is started.
    LineDispatcher& Dispatcher();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ct::sim
