// What the substitute controller's line needs from the operating system:
// non-blocking TCP sockets, a wake-up channel for its I/O thread, one poll
// over all of them, the pseudo-terminal and the stop signals. LineOsPosix.cpp
// serves Linux, LineOsWin32.cpp Windows (Winsock; no pseudo-terminal there).
//
// A Handle is a POSIX descriptor or a Winsock SOCKET; NoHandle is neither.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ct::sim::os {

using Handle = std::intptr_t;
inline constexpr Handle NoHandle = -1;

// Starts the socket library for as long as one of these lives (Windows).
class SocketLibrary {
public:
    SocketLibrary();
    ~SocketLibrary();
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
};

void Close(Handle& h);  // and sets it to NoHandle

// A listening socket on the dotted IPv4 address and port (0: any free one);
// `boundPort` gets the port it listens on. NoHandle on failure.
Handle Listen(const std::string& host, std::uint16_t port, std::uint16_t& boundPort);
// One pending connection, non-blocking and without Nagle's delay; NoHandle
// when none is pending.
Handle Accept(Handle listener);

// A pair whose read end becomes readable after Wake on the write end.
// False when the system has none to give.
bool MakeWakePair(Handle& readEnd, Handle& writeEnd);
void Wake(Handle writeEnd);
void Drain(Handle readEnd);

enum class IoResult { Done, WouldBlock, Failed, Ended };
// Reads what is there (`got` bytes) or tells why nothing: the other side
// closed (Ended), nothing yet (WouldBlock), an error (Failed).
IoResult Read(Handle h, bool terminal, std::uint8_t* buffer, std::size_t size, std::size_t& got);
// Writes what it can (`sent` bytes); a closed peer is Failed, never a signal.
IoResult Write(Handle h, bool terminal, const char* data, std::size_t size, std::size_t& sent);

struct PollItem {
    Handle handle = NoHandle;
    bool wantWrite = false;
    // Results.
    bool readable = false;
    bool writable = false;
    bool hungUp = false;  // hang-up or error without data
};
// False when the poll itself failed; an interrupted poll returns true with
// nothing ready.
bool Poll(std::vector<PollItem>& items, int timeoutMs);

// The pseudo-terminal, raw, at 115200 baud: master and slave, and the slave's
// path. False on Windows and on failure.
bool OpenPty(Handle& master, Handle& slave, std::string& path);
// The baud rate the tool set on the terminal; 0 when unknown.
int TerminalBaud(Handle slave);

// The program's stop: SIGINT and SIGTERM (Windows: Ctrl+C, Ctrl+Break,
// closing the console). BlockStopSignals must run before any thread starts;
// WaitForStop returns once a stop came.
void BlockStopSignals();
void WaitForStop();

// The system's text of its last socket or I/O error.
std::string LastError();

}  // namespace ct::sim::os
