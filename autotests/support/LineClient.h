// Reply frames read from a descriptor, and a plain blocking socket client of
// the substitute controller's TCP line that sends CRC request frames and
// reads reply frames, for tests that look at the line from outside.
//
// Silence is never waited out: a request nobody answers is followed by one
// that is answered, and replies go out in order, so the first frame read
// tells whether the first request drew a reply.
#pragma once

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace ct::testing {

// Bytes from `fd` up to and including the first CR, or what came before the
// time-out.
inline std::string ReadFrameFrom(int fd, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    std::string got;
    const auto end = Clock::now() + timeout;
    while (got.empty() || got.back() != '\r') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char c;
        if (::read(fd, &c, 1) != 1)
            break;
        got.push_back(c);
    }
    return got;
}

class LineClient {
public:
    explicit LineClient(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~LineClient() { ::close(fd_); }
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    bool connected() const { return connected_; }

    void Send(const std::string& commandText) const
    {
        const std::string bytes = link::EncodeRequestString(link::Framing::Crc, commandText);
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // The next reply frame, through its CR; what came before the time-out.
    std::string ReadFrame(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) const
    {
        return ReadFrameFrom(fd_, timeout);
    }

    std::string Ask(const std::string& commandText) const
    {
        Send(commandText);
        return ReadFrame();
    }

    // Whether `commandText` went unanswered: the next frame is the reply to
    // the serial-number read `probe` that follows it, from `probeReplyId`.
    bool Unanswered(const std::string& commandText, const std::string& probe, const std::string& probeReplyId) const
    {
        Send(commandText);
        Send(probe);
        const std::string frame = ReadFrame();
        return frame.size() == static_cast<std::size_t>(link::cmd::SerialNumberReplyLength)
               && link::ReplyField(frame, 2, 4) == probeReplyId;
    }

private:
    int fd_;
    bool connected_ = false;
};

}  // namespace ct::testing
