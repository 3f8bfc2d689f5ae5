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
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ct::sim {

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

    // Every command text a controller heard, in order: received with a
    // valid check, not while it reboots, and on the terminal not at another
    // baud rate than its line's.
    std::vector<std::string> Commands() const;
    void ClearCommands();
    // Waits until at least n command texts were received; false on time-out.
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

    // The controller's clock as "PI" reports it (yyyymmddhhnnss): the PC
    // clock until "AA" or this sets it, then advancing from there. False for
    // anything but 14 digits of a real date and time.
    std::string ControllerTime() const;
    bool SetControllerTime(const std::string& digits);

    int Reboots() const;        // "AR00" answered
    int FactoryResets() const;  // "AR01" answered
    // Inside the silence after a reboot.
    bool Rebooting() const;

    // Print every received command text to stderr as it arrives.
    void SetVerbose(bool verbose);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ct::sim
