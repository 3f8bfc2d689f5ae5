// The substitute's line as bytes: the TCP listener and its connections, the
// pseudo-terminal, and the I/O thread that polls them, assembles request
// frames, hands each request to the LineDispatcher and writes the reply chunks
// at their due times.
//
// ListenTcp, OpenPty, Start, Stop and the destructor belong to the owner's
// thread; while it runs, everything else here belongs to the I/O thread.
#pragma once

#include "sim/LineDispatcher.h"
#include "sim/LineOs.h"

#include "link/FrameCodec.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <thread>

namespace ct::sim {

class LineIo {
public:
    // Aborts the process when it cannot make its wake-up channel.
    explicit LineIo(LineDispatcher& dispatcher);
    ~LineIo();  // stops serving, closes everything
    LineIo(const LineIo&) = delete;
    LineIo& operator=(const LineIo&) = delete;

    // As ControllerSim's: before Start only.
    bool ListenTcp(const std::string& host, std::uint16_t port);
    std::uint16_t TcpPort() const { return tcpPort_; }
    bool OpenPty();
    std::string PtyPath() const { return ptyPath_; }

    void Start();
    void Stop();

private:
    // One byte stream the controller serves: an accepted TCP connection or
    // the pseudo-terminal's master side.
    struct Endpoint {
        os::Handle fd = os::NoHandle;
        bool pty = false;
        link::RequestAssembler requests;
        struct Pending {
            SteadyTime due;
            std::string bytes;
            std::size_t sent = 0;
        };
        // Replies go out strictly in order, each after the ones before it, as
        // a controller that answers one request at a time would send them.
        std::deque<Pending> out;
        SteadyTime lastDue{};
        bool writeBlocked = false;
    };

    void Loop();
    void Accept();
    // False when the endpoint is gone (connection closed).
    bool ReadFrom(Endpoint& ep);
    bool Flush(Endpoint& ep, SteadyTime now);
    // `framing`: the request's, Crc or Xor.
    void Handle(Endpoint& ep, std::string_view commandText, link::Framing framing);

    LineDispatcher& dispatcher_;
    os::SocketLibrary sockets_;

    os::Handle listenFd_ = os::NoHandle;
    std::uint16_t tcpPort_ = 0;
    os::Handle ptyMaster_ = os::NoHandle;
    // The slave side stays open here as well, so that the master never sees
    // a hang-up while the tool has closed its port between operations.
    os::Handle ptySlave_ = os::NoHandle;
    std::string ptyPath_;
    std::deque<Endpoint> endpoints_;

    os::Handle wakeRead_ = os::NoHandle;
    os::Handle wakeWrite_ = os::NoHandle;
    std::thread thread_;
    bool running_ = false;
    std::atomic<bool> stopRequested_{false};
};

}  // namespace ct::sim
