// The real link (Qt serial and TCP transports, steady clock) against the
// substitute controller, over TCP loopback and over a pseudo-terminal.
//
// Timed expectations keep wide margins: the machine may be loaded.

#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/Link.h"
#include "link/NativeTransportFactory.h"
#include "sim/ControllerSim.h"
#include "support/FakeTransport.h"
#include "support/QtPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace ct;
using namespace std::chrono_literals;

enum class Kind { Serial, Tcp };

std::string KindName(const ::testing::TestParamInfo<Kind>& info)
{
    return info.param == Kind::Serial ? "Serial" : "Tcp";
}

class LinkOverSim : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The Qt transports want an application object; one for the process.
        static int argc = 1;
        static char name[] = "tst_LinkOverSim";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            static QCoreApplication app(argc, argv);
    }

    void SetUp() override
    {
        sim_ = std::make_unique<sim::ControllerSim>();
        ASSERT_TRUE(sim_->ListenTcp("127.0.0.1", 0));
        ASSERT_TRUE(sim_->OpenPty());
        sim_->Start();
        link_ = std::make_unique<link::Link>(factory_, clock_, pump_);
    }

    void TearDown() override
    {
        link_->CloseLink();
        link_.reset();
        sim_.reset();
    }

    void UseSerial(const std::string& settings = "115200,n,8,1")
    {
        link_->Settings.LinkType = link::LinkTypeCom;
        link_->Settings.ComPortName = sim_->PtyPath();
        link_->Settings.ComBaudRate = settings;
    }

    void UseTcp(const std::string& ip = "127.0.0.1", std::string port = {})
    {
        link_->Settings.LinkType = link::LinkTypeNet;
        link_->Settings.NetIP = ip;
        link_->Settings.NetPort = port.empty() ? std::to_string(sim_->TcpPort()) : port;
    }

    void Use(Kind kind) { kind == Kind::Serial ? UseSerial() : UseTcp(); }

    // Milliseconds that the transaction took.
    std::uint32_t TimedTransact(const std::string& command, bool& result)
    {
        const std::uint32_t t0 = clock_.NowMs();
        result = link_->TransactCrc(command);
        return link::ElapsedMs(t0, clock_.NowMs());
    }

    void Inject(sim::FaultKind kind, const std::string& command, int times = 1)
    {
        sim::Fault f;
        f.kind = kind;
        f.command = command;
        f.times = times;
        sim_->InjectFault(f);
    }

    link::NativeTransportFactory factory_;
    link::SteadyClock clock_;
    link::NoEventPump pump_;
    std::unique_ptr<sim::ControllerSim> sim_;
    std::unique_ptr<link::Link> link_;
};

class LinkOverSimBoth : public LinkOverSim, public ::testing::WithParamInterface<Kind> {};

TEST_P(LinkOverSimBoth, transactCrc_identifyCommands_repliesWithFields)
{
    Use(GetParam());
    ASSERT_TRUE(link_->OpenLink());

    ASSERT_TRUE(link_->TransactCrc("0000AC"));
    EXPECT_EQ(link_->ReplyLength(), 17);
    EXPECT_EQ(link::ReplyField(link_->ReplyText(), 2, 4), "0001");

    ASSERT_TRUE(link_->TransactCrc("0001DB"));
    EXPECT_EQ(link_->ReplyLength(), 29);
    EXPECT_EQ(link::ReplyField(link_->ReplyText(), 8, 12), "KX410NT4-SG4");
    EXPECT_EQ(link::ReplyField(link_->ReplyText(), 20, 4), "0520");

    ASSERT_TRUE(link_->TransactCrc("0001AS"));
    EXPECT_EQ(link_->ReplyLength(), 21);
    EXPECT_EQ(link::ReplyField(link_->ReplyText(), 8, 8), "16030001");

    EXPECT_EQ(sim_->Commands(), (std::vector<std::string>{"0000AC", "0001DB", "0001AS"}));
}

TEST_P(LinkOverSimBoth, openLink_oneOperationAfterAnother_eachAnswered)
{
    Use(GetParam());
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(link_->OpenLink()) << "operation " << i;
        EXPECT_TRUE(link_->TransactCrc("0001AS")) << "operation " << i;
        EXPECT_EQ(link_->ReplyLength(), 21);
        link_->CloseLink();
    }
    EXPECT_EQ(sim_->Commands().size(), 5U);
}

TEST_P(LinkOverSimBoth, transactCrc_noAnswer_falseAfterTimeout)
{
    Use(GetParam());
    ASSERT_TRUE(link_->OpenLink());
    Inject(sim::FaultKind::NoAnswer, "AS");
    bool ok = true;
    const std::uint32_t ms = TimedTransact("0001AS", ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(link_->ReplyLength(), 0);
    if (GetParam() == Kind::Serial) {
        EXPECT_GE(ms, 250U);
        EXPECT_LE(ms, 1500U);
    } else {
        EXPECT_GE(ms, 1100U);
        EXPECT_LE(ms, 3000U);
    }
    // The controller heard it; the next command is answered again.
    EXPECT_EQ(sim_->Commands().size(), 1U);
    EXPECT_TRUE(link_->TransactCrc("0001AS"));
}

TEST_P(LinkOverSimBoth, transactCrc_wrongCrc_falseWithReplyKept)
{
    Use(GetParam());
    ASSERT_TRUE(link_->OpenLink());
    Inject(sim::FaultKind::WrongCrc, "AS");
    bool ok = true;
    const std::uint32_t ms = TimedTransact("0001AS", ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(link_->ReplyLength(), 21);
    EXPECT_EQ(link::ReplyField(link_->ReplyText(), 8, 8), "16030001");
    // A failed check ends the transaction at once, not at the time-out.
    EXPECT_LT(ms, 250U);
}

TEST_P(LinkOverSimBoth, transactCrc_noiseAndExtraBytes_frameFoundLengthCounted)
{
    Use(GetParam());
    ASSERT_TRUE(link_->OpenLink());
    sim::Fault noise;
    noise.kind = sim::FaultKind::NoiseBefore;
    noise.command = "AS";
    noise.count = 7;
    sim_->InjectFault(noise);
    ASSERT_TRUE(link_->TransactCrc("0001AS"));
    EXPECT_EQ(link_->ReplyLength(), 21);

    Inject(sim::FaultKind::ExtraBytes, "AS");
    ASSERT_TRUE(link_->TransactCrc("0001AS"));
    EXPECT_EQ(link_->ReplyLength(), 24);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LinkOverSimBoth, ::testing::Values(Kind::Serial, Kind::Tcp), KindName);

TEST_F(LinkOverSim, serial_splitReplyWithShortGaps_accepted)
{
    UseSerial();
    ASSERT_TRUE(link_->OpenLink());
    sim::Fault split;
    split.kind = sim::FaultKind::SplitBytes;
    split.command = "AC";
    split.gap = 100ms;
    sim_->InjectFault(split);
    // 17 bytes, 100 ms apart: far longer than 300 ms in all, but never that
    // long silent.
    bool ok = false;
    const std::uint32_t ms = TimedTransact("0001AC", ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(link_->ReplyLength(), 17);
    EXPECT_GE(ms, 1500U);
}

TEST_F(LinkOverSim, serial_splitReplyWithLongGaps_refused)
{
    UseSerial();
    ASSERT_TRUE(link_->OpenLink());
    sim::Fault split;
    split.kind = sim::FaultKind::SplitBytes;
    split.command = "AC";
    split.gap = 600ms;
    sim_->InjectFault(split);
    bool ok = true;
    const std::uint32_t ms = TimedTransact("0001AC", ok);
    EXPECT_FALSE(ok);
    EXPECT_LT(ms, 3000U);
    EXPECT_LT(link_->ReplyLength(), 17);
}

TEST_F(LinkOverSim, serial_lateReplyBetweenTransactions_purgedBeforeNextWrite)
{
    UseSerial();
    ASSERT_TRUE(link_->OpenLink());
    sim::Fault late;
    late.kind = sim::FaultKind::Delay;
    late.command = "DB";
    late.delay = 700ms;
    sim_->InjectFault(late);
    EXPECT_FALSE(link_->TransactCrc("0001DB"));
    // Let the late reply arrive while no transaction runs.
    std::this_thread::sleep_for(700ms);
    ASSERT_TRUE(link_->TransactCrc("0001AS"));
    EXPECT_EQ(link_->ReplyLength(), 21);
}

TEST_F(LinkOverSim, serial_unparseableSettings_stillOpens)
{
    UseSerial("garbage");
    ASSERT_TRUE(link_->OpenLink());
    EXPECT_TRUE(link_->TransactCrc("0001AS"));
}

TEST_F(LinkOverSim, serial_parityRefusedByTerminal_stillOpens)
{
    // The controller's line at that setting: the terminal keeps the speed,
    // and the controller hears only requests at its own.
    ASSERT_TRUE(sim_->SetLineSetting("19200,e,8,1"));
    UseSerial("19200,e,8,1");
    ASSERT_TRUE(link_->OpenLink());
    EXPECT_TRUE(link_->TransactCrc("0001AS"));
    EXPECT_EQ(link_->ReplyLength(), 21);
}

TEST_F(LinkOverSim, serial_qtPump_wakesForEachByteNotInSlices)
{
    UseSerial();
    ct::testing::CountingQtPump pump;
    link::Link l(factory_, clock_, pump);
    l.Settings = link_->Settings;
    ASSERT_TRUE(l.OpenLink());
    sim::Fault split;
    split.kind = sim::FaultKind::SplitBytes;
    split.command = "AC";
    split.gap = 40ms;
    sim_->InjectFault(split);
    QElapsedTimer since;
    since.start();
    ASSERT_TRUE(l.TransactCrc("0001AC"));
    EXPECT_GE(since.elapsed(), 600);
    EXPECT_EQ(l.ReplyLength(), 17);
    // 17 bytes over 640 ms: about one wait per byte, where 5 ms slices would
    // take more than a hundred.
    EXPECT_LE(pump.waits, 3 * 17 + 5);
}

TEST_F(LinkOverSim, tcp_qtPump_connectsAndTransacts)
{
    UseTcp();
    ct::testing::CountingQtPump pump;
    link::Link l(factory_, clock_, pump);
    l.Settings = link_->Settings;
    ASSERT_TRUE(l.OpenLink());
    ASSERT_TRUE(l.TransactCrc("0001AS"));
    EXPECT_EQ(l.ReplyLength(), 21);
    Inject(sim::FaultKind::NoAnswer, "AS");
    QElapsedTimer since;
    since.start();
    EXPECT_FALSE(l.TransactCrc("0001AS"));
    EXPECT_GE(since.elapsed(), 1150);
    EXPECT_LE(pump.waits, 10);
}

TEST_F(LinkOverSim, tcp_farSideCloses_waitsOutTimeoutWithoutSpinning)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    ct::testing::CountingPump pump;
    link::Link l(factory_, clock_, pump);
    l.Settings.LinkType = link::LinkTypeNet;
    l.Settings.NetIP = "127.0.0.1";
    l.Settings.NetPort = std::to_string(ntohs(addr.sin_port));
    ASSERT_TRUE(l.OpenLink());
    const int peer = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    std::thread farSide([&] {
        char b[64];
        pollfd p{peer, POLLIN, 0};
        ::poll(&p, 1, 2000);
        [[maybe_unused]] const ssize_t n = ::read(peer, b, sizeof b);
        ::close(peer);
    });
    const double cpu0 = ct::testing::ThreadCpuMs();
    const std::uint32_t t0 = clock_.NowMs();
    EXPECT_FALSE(l.TransactCrc("0001AS"));
    const std::uint32_t ms = link::ElapsedMs(t0, clock_.NowMs());
    farSide.join();
    EXPECT_GE(ms, 1150U);
    EXPECT_LE(pump.calls, 20);
    EXPECT_LT(ct::testing::ThreadCpuMs() - cpu0, 60.0);
    l.CloseLink();
    ::close(listener);
}

TEST_F(LinkOverSim, serial_portHeldByAnotherLink_openRefusedUntilClosed)
{
    UseSerial();
    ASSERT_TRUE(link_->OpenLink());
    link::NoEventPump pump;
    link::Link other(factory_, clock_, pump);
    other.Settings = link_->Settings;
    EXPECT_FALSE(other.OpenLink());
    link_->CloseLink();
    ASSERT_TRUE(other.OpenLink());
    EXPECT_TRUE(other.TransactCrc("0001AS"));
    other.CloseLink();
}

TEST_F(LinkOverSim, serial_missingPort_openFails)
{
    link_->Settings.LinkType = link::LinkTypeCom;
    link_->Settings.ComPortName = "/dev/ct-no-such-port";
    EXPECT_FALSE(link_->OpenLink());
    EXPECT_FALSE(link_->TransactCrc("0001AS"));
}

TEST_F(LinkOverSim, tcp_lateReply_failsThenAnswersNextTransaction)
{
    UseTcp();
    ASSERT_TRUE(link_->OpenLink());
    sim::Fault late;
    late.kind = sim::FaultKind::Delay;
    late.command = "DB";
    late.delay = 1600ms;
    sim_->InjectFault(late);

    bool ok = true;
    const std::uint32_t ms = TimedTransact("0001DB", ok);
    EXPECT_FALSE(ok);
    EXPECT_GE(ms, 1100U);
    // The late "DB" frame is the first to arrive during the next transaction.
    ASSERT_TRUE(link_->TransactCrc("0001AS"));
    EXPECT_EQ(link_->ReplyLength(), 29);
    EXPECT_EQ(link::ReplyField(link_->ReplyText(), 8, 12), "KX410NT4-SG4");
    // And the "AS" reply behind it answers the one after.
    ASSERT_TRUE(link_->TransactCrc("0001AC"));
    EXPECT_EQ(link_->ReplyLength(), 21);
}

TEST_F(LinkOverSim, tcp_badAddressOrPort_openFailsQuickly)
{
    struct Case {
        const char* ip;
        const char* port;
    } cases[] = {{"127.0.0.1", "abc"}, {"127.0.0.1", "0"}, {"not-an-ip", nullptr}, {"127.0.0.1.5", nullptr}};
    for (const auto& c : cases) {
        UseTcp(c.ip, c.port ? c.port : "");
        const std::uint32_t t0 = clock_.NowMs();
        EXPECT_FALSE(link_->OpenLink()) << c.ip << ":" << link_->Settings.NetPort;
        EXPECT_LT(link::ElapsedMs(t0, clock_.NowMs()), 1000U);
    }
}

TEST_F(LinkOverSim, tcp_portWithoutListener_openFails)
{
    // A port that is bound but not listening refuses the connection.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    UseTcp("127.0.0.1", std::to_string(ntohs(addr.sin_port)));
    EXPECT_FALSE(link_->OpenLink());
    ::close(fd);
}

}  // namespace
