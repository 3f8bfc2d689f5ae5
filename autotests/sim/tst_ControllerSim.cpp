// The substitute controller's service, seen by a plain socket or terminal
// client: which requests it takes, the order and timing of its replies, and
// its connections.

#include "sim/ControllerSim.h"

#include "support/LineClient.h"

#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace ct;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Request(const std::string& text)
{
    return link::EncodeRequestString(link::Framing::Crc, text);
}

std::string Reply(const std::string& text)
{
    return link::EncodeReply(link::Framing::Crc, text);
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

    void Send(const std::string& bytes) const
    {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    std::string ReadFrame(std::chrono::milliseconds timeout = 2000ms) const
    {
        return ct::testing::ReadFrameFrom(fd_, timeout);
    }

    bool Silent(std::chrono::milliseconds for_) const
    {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(for_.count())) == 0;
    }

private:
    int fd_;
};

std::unique_ptr<Fd> ConnectTcp(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<Fd>(fd);
}

class ControllerSimService : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim_.ListenTcp("127.0.0.1", 0));
        ASSERT_TRUE(sim_.OpenPty());
        sim_.Start();
    }

    sim::ControllerSim sim_;
};

TEST_F(ControllerSimService, request_badCrc_ignoredAndNotLogged)
{
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    std::string bad = Request("0001AS");
    bad[8] = bad[8] == 'F' ? '0' : 'F';
    client->Send(bad);
    EXPECT_TRUE(client->Silent(200ms));
    EXPECT_TRUE(sim_.Commands().empty());

    client->Send(Request("0001AS"));
    EXPECT_EQ(client->ReadFrame(), Reply("0001AS16030001"));
    EXPECT_EQ(sim_.Commands(), std::vector<std::string>{"0001AS"});
}

TEST_F(ControllerSimService, reply_delayed_laterRequestsStillReadAndAnsweredInOrder)
{
    sim::Fault late;
    late.kind = sim::FaultKind::Delay;
    late.command = "AS";
    late.delay = 800ms;
    sim_.InjectFault(late);
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);

    const auto t0 = Clock::now();
    client->Send(Request("0001AS"));
    client->Send(Request("0001AC"));
    // Both requests are taken while the first reply waits.
    EXPECT_TRUE(sim_.WaitForCommands(2, 600ms));
    EXPECT_LT(Clock::now() - t0, 700ms);

    EXPECT_EQ(client->ReadFrame(), Reply("0001AS16030001"));
    EXPECT_GE(Clock::now() - t0, 700ms);
    // The undelayed reply does not overtake the delayed one.
    EXPECT_EQ(client->ReadFrame(), Reply("0001AC0000"));
}

TEST_F(ControllerSimService, reply_split_bytesArriveSpreadOut)
{
    sim::Fault split;
    split.kind = sim::FaultKind::SplitBytes;
    split.gap = 30ms;
    sim_.InjectFault(split);
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    const auto t0 = Clock::now();
    client->Send(Request("0001AC"));
    EXPECT_EQ(client->ReadFrame(), Reply("0001AC0000"));
    // 16 gaps of 30 ms.
    EXPECT_GE(Clock::now() - t0, 400ms);
}

TEST_F(ControllerSimService, tcp_clientsOneAfterAnotherAndAtOnce_allServed)
{
    for (int i = 0; i < 3; ++i) {
        auto client = ConnectTcp(sim_.TcpPort());
        ASSERT_TRUE(client);
        client->Send(Request("0001AC"));
        EXPECT_EQ(client->ReadFrame(), Reply("0001AC0000")) << "client " << i;
    }
    auto a = ConnectTcp(sim_.TcpPort());
    auto b = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(a && b);
    b->Send(Request("0001AS"));
    a->Send(Request("0001AC"));
    EXPECT_EQ(a->ReadFrame(), Reply("0001AC0000"));
    EXPECT_EQ(b->ReadFrame(), Reply("0001AS16030001"));
}

TEST_F(ControllerSimService, pty_rawTerminal_replyBytesUnchangedAndNoEcho)
{
    for (int i = 0; i < 3; ++i) {
        Fd port(::open(sim_.PtyPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        ASSERT_GE(port.get(), 0) << "open " << i;
        port.Send(Request("0001DB"));
        // CR must not turn into LF, the request must not come back as echo.
        EXPECT_EQ(port.ReadFrame(), Reply("0001DBKX410NT4-SG40520")) << "open " << i;
        EXPECT_TRUE(port.Silent(50ms));
    }
    EXPECT_EQ(sim_.Commands().size(), 3U);
}

TEST_F(ControllerSimService, stopThenStart_servesAgain)
{
    sim_.Stop();
    sim_.Start();
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    client->Send(Request("0001AC"));
    EXPECT_EQ(client->ReadFrame(), Reply("0001AC0000"));
}

TEST_F(ControllerSimService, commandLog_pastItsLimit_keepsTheLastAndCountsAll)
{
    sim_.SetCommandLogLimit(2);
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    for (const char* text : {"0001AC", "0001DB", "0001AS"}) {
        client->Send(Request(text));
        client->ReadFrame();
    }
    EXPECT_EQ(sim_.Commands(), (std::vector<std::string>{"0001DB", "0001AS"}));
    EXPECT_EQ(sim_.CommandCount(), 3U);
    EXPECT_TRUE(sim_.WaitForCommands(3, 0ms));
}

TEST_F(ControllerSimService, waitForCommands_tooFew_falseAfterTimeout)
{
    EXPECT_FALSE(sim_.WaitForCommands(1, 50ms));
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    client->Send(Request("0002AS"));  // not its ID: logged, not answered
    EXPECT_TRUE(sim_.WaitForCommands(1, 2000ms));
    EXPECT_TRUE(client->Silent(100ms));
    sim_.ClearCommands();
    EXPECT_TRUE(sim_.Commands().empty());
}

TEST_F(ControllerSimService, setConfig_whileServing_answersWithNewState)
{
    sim::ControllerConfig c = sim_.Config();
    c.id = "0034";
    sim_.SetConfig(c);
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    client->Send(Request("0012AC"));
    EXPECT_EQ(client->ReadFrame(), Reply("0034AC0000"));
    client->Send(Request("0000AV160300010056"));
    EXPECT_EQ(client->ReadFrame(), Reply("0056AV0000"));
    EXPECT_EQ(sim_.Config().id, "0056");
}

TEST_F(ControllerSimService, reboot_silentForTheMomentAfterItsReply_thenAnswersAgain)
{
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    // Long enough that no scheduling stall lets the next request past it.
    sim_.SetRebootSilence(30s);
    client->Send(Request("0001AR00"));
    EXPECT_EQ(client->ReadFrame(), Reply("0001AR"));
    EXPECT_TRUE(sim_.Rebooting());
    client->Send(Request("0001AS"));
    EXPECT_TRUE(client->Silent(300ms));
    EXPECT_EQ(sim_.Commands(), std::vector<std::string>{"0001AR00"});
    EXPECT_EQ(sim_.Reboots(), 1);

    // A short silence is over well before the next request.
    sim::ControllerSim quick;
    ASSERT_TRUE(quick.ListenTcp("127.0.0.1", 0));
    quick.SetRebootSilence(200ms);
    quick.Start();
    auto other = ConnectTcp(quick.TcpPort());
    ASSERT_TRUE(other);
    other->Send(Request("0001AR00"));
    EXPECT_EQ(other->ReadFrame(), Reply("0001AR"));
    std::this_thread::sleep_for(1000ms);
    other->Send(Request("0001AS"));
    EXPECT_EQ(other->ReadFrame(), Reply("0001AS16030001"));
}

TEST_F(ControllerSimService, reboot_noSilenceConfigured_nextRequestAnswered)
{
    sim_.SetRebootSilence(0ms);
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    client->Send(Request("0001AR00"));
    client->Send(Request("0001AS"));
    EXPECT_EQ(client->ReadFrame(), Reply("0001AR"));
    EXPECT_EQ(client->ReadFrame(), Reply("0001AS16030001"));
}

// Sets the terminal's speed as the tool does when it opens the port.
void SetSpeed(const Fd& port, speed_t speed)
{
    termios tio{};
    ASSERT_EQ(::tcgetattr(port.get(), &tio), 0);
    ::cfsetspeed(&tio, speed);
    ASSERT_EQ(::tcsetattr(port.get(), TCSANOW, &tio), 0);
}

TEST_F(ControllerSimService, pty_lineSwitched_answersOnlyOnceTheToolFollows)
{
    Fd port(::open(sim_.PtyPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_GE(port.get(), 0);
    SetSpeed(port, B115200);
    port.Send(Request("0001AE001002"));
    // Answered at the old speed.
    EXPECT_EQ(port.ReadFrame(), Reply("0001AE"));
    EXPECT_EQ(sim_.Config().line, "19200,e,8,1");

    // The tool did not follow: silence, and the controller heard nothing.
    port.Send(Request("0001AS"));
    EXPECT_TRUE(port.Silent(300ms));
    EXPECT_EQ(sim_.Commands().size(), 1U);

    SetSpeed(port, B19200);
    port.Send(Request("0001AS"));
    EXPECT_EQ(port.ReadFrame(), Reply("0001AS16030001"));
    port.Send(Request("0001AE001400"));
    EXPECT_EQ(port.ReadFrame(), Reply("0001AE"));
    port.Send(Request("0001AS"));
    EXPECT_TRUE(port.Silent(300ms));
    SetSpeed(port, B115200);
    port.Send(Request("0001AS"));
    EXPECT_EQ(port.ReadFrame(), Reply("0001AS16030001"));
    EXPECT_EQ(sim_.Config().line, "115200,n,8,1");
}

TEST_F(ControllerSimService, tcp_lineSwitched_stateOnlyStillAnswers)
{
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    client->Send(Request("0001AE001002"));
    EXPECT_EQ(client->ReadFrame(), Reply("0001AE"));
    client->Send(Request("0001AS"));
    EXPECT_EQ(client->ReadFrame(), Reply("0001AS16030001"));
    EXPECT_EQ(sim_.Config().line, "19200,e,8,1");
    EXPECT_TRUE(sim_.SetLineSetting("115200,n,8,1"));
    EXPECT_FALSE(sim_.SetLineSetting("115200"));
    EXPECT_EQ(sim_.Config().line, "115200,n,8,1");
}

// Records queued from the test thread while a client polls and acknowledges
// over the link: each comes out once, in order, none lost to the other
// thread's changes.
TEST_F(ControllerSimService, queueRecord_whilePolling_eachRecordShownOnceInOrder)
{
    constexpr int kRecords = 40;
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    std::thread producer([this] {
        for (int i = 0; i < kRecords; ++i) {
            sim::EventRecord r;
            r.value = std::to_string(10000 + i);
            sim_.QueueRecord(r);
            sim_.SetInputs(i % 2 ? "10000000" : "01000000");
            std::this_thread::sleep_for(1ms);
        }
    });
    std::vector<std::string> seen;
    const auto end = Clock::now() + 20s;
    while (static_cast<int>(seen.size()) < kRecords && Clock::now() < end) {
        client->Send(Request("0001PI"));
        const std::string frame = client->ReadFrame();
        if (frame.size() != 59)
            continue;
        seen.push_back(link::ReplyField(frame, 49, 5));
        client->Send(Request("0001IB"));
        client->ReadFrame();
    }
    producer.join();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kRecords));
    for (int i = 0; i < kRecords; ++i)
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], std::to_string(10000 + i));
    EXPECT_TRUE(sim_.Config().records.empty());
}

TEST_F(ControllerSimService, controllerTime_setFromTest_pollReportsIt)
{
    EXPECT_FALSE(sim_.SetControllerTime("20241301000000"));
    ASSERT_TRUE(sim_.SetControllerTime("20300101000000"));
    auto client = ConnectTcp(sim_.TcpPort());
    ASSERT_TRUE(client);
    client->Send(Request("0001PI"));
    const std::string frame = client->ReadFrame();
    ASSERT_EQ(frame.size(), 35U);
    // Advancing from where it was set, by at most the test's own run time.
    EXPECT_EQ(link::ReplyField(frame, 8, 10), "2030010100");
    EXPECT_EQ(sim_.ControllerTime().substr(0, 10), "2030010100");
}

}  // namespace
