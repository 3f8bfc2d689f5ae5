// The real serial transport on pseudo-terminals of the test's own: what it
// does to the line settings it finds, and how it waits when the far side
// hangs up. The test holds the master side, whose termios calls act on the
// terminal the link opens.
#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/Link.h"
#include "link/NativeTransportFactory.h"
#include "support/FakeTransport.h"
#include "support/QtPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace ct;
using ct::testing::CountingPump;
using ct::testing::CountingQtPump;
using ct::testing::ThreadCpuMs;

// A pseudo-terminal of the test's own, whose master side it holds: termios
// calls on the master act on the terminal the link opens, whoever holds it.
struct OwnPty {
    int master = -1;
    std::string path;

    OwnPty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0
            || ::ptsname_r(master, name, sizeof name) != 0)
            return;
        path = name;
    }
    ~OwnPty() { CloseMaster(); }
    void CloseMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    termios Get() const
    {
        termios t{};
        ::tcgetattr(master, &t);
        return t;
    }
    void Set(const termios& t) const { ::tcsetattr(master, TCSANOW, &t); }
    // Waits for the link's request on the master side and returns its bytes.
    std::string ReadRequest(int timeoutMs = 2000) const
    {
        std::string got;
        pollfd p{master, POLLIN, 0};
        while (got.empty() || got.back() != '\r') {
            if (::poll(&p, 1, timeoutMs) <= 0)
                break;
            char b[256];
            const ssize_t n = ::read(master, b, sizeof b);
            if (n <= 0)
                break;
            got.append(b, static_cast<std::size_t>(n));
        }
        return got;
    }
};

class SerialTerminal : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "tst_SerialTerminal";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            static QCoreApplication app(argc, argv);
    }

    void SetUp() override { ASSERT_FALSE(pty_.path.empty()); }
    void TearDown() override { link_.CloseLink(); }

    void Use(const std::string& settings)
    {
        link_.Settings.LinkType = link::LinkTypeCom;
        link_.Settings.ComPortName = pty_.path;
        link_.Settings.ComBaudRate = settings;
    }

    OwnPty pty_;
    link::NativeTransportFactory factory_;
    link::SteadyClock clock_;
    link::NoEventPump pump_;
    link::Link link_{factory_, clock_, pump_};
};

TEST_F(SerialTerminal, serial_farSideHangsUp_waitsOutTimeoutWithoutSpinning)
{
    CountingPump pump;
    link::Link l(factory_, clock_, pump);
    l.Settings.LinkType = link::LinkTypeCom;
    l.Settings.ComPortName = pty_.path;
    ASSERT_TRUE(l.OpenLink());
    // The far side takes the request and hangs up.
    std::thread farSide([&] {
        EXPECT_FALSE(pty_.ReadRequest().empty());
        pty_.CloseMaster();
    });
    const double cpu0 = ThreadCpuMs();
    const std::uint32_t t0 = clock_.NowMs();
    EXPECT_FALSE(l.TransactCrc("0001AS"));
    const std::uint32_t ms = link::ElapsedMs(t0, clock_.NowMs());
    const double cpuMs = ThreadCpuMs() - cpu0;
    farSide.join();
    EXPECT_GE(ms, 290U);
    EXPECT_LE(ms, 1500U);
    // Waited, not spun: a handful of rounds and almost no CPU (a spinning
    // wait makes thousands of rounds in 300 ms at full CPU).
    EXPECT_LE(pump.calls, 20) << pump.waits << " waits";
    EXPECT_LT(cpuMs, 60.0);

    // The port stays useless but harmless until it is closed.
    pump.calls = 0;
    EXPECT_FALSE(l.TransactCrc("0001AS"));
    EXPECT_LE(pump.calls, 20);
    l.CloseLink();
    EXPECT_FALSE(l.IsOpen());
}

TEST_F(SerialTerminal, serial_farSideHangsUp_windowEventsRunAtOnceDuringTheWait)
{
    CountingQtPump pump;
    link::Link l(factory_, clock_, pump);
    l.Settings.LinkType = link::LinkTypeCom;
    l.Settings.ComPortName = pty_.path;
    ASSERT_TRUE(l.OpenLink());
    std::thread farSide([&] {
        pty_.ReadRequest();
        pty_.CloseMaster();
    });
    QElapsedTimer since;
    since.start();
    qint64 firedAt = -1;
    QTimer::singleShot(100, [&] { firedAt = since.elapsed(); });
    EXPECT_FALSE(l.TransactCrc("0001AS"));
    const qint64 ms = since.elapsed();
    farSide.join();
    EXPECT_GE(ms, 290);
    // The timer ran on time, in the middle of the wait, and the wait did
    // not come back in fixed slices meanwhile.
    EXPECT_GE(firedAt, 95);
    EXPECT_LE(firedAt, 140);
    EXPECT_LE(pump.waits, 10);
}

// --- Line settings on a real terminal -----------------------------------------

namespace {

constexpr tcflag_t kKeptCflags = CSTOPB | CRTSCTS | PARODD | CMSPAR;

termios Found(speed_t speed)
{
    termios t{};
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    // Stop bits, hardware flow control and the mark/space parity bits (a
    // pseudo-terminal clears PARENB and the character size, nothing else).
    t.c_cflag |= CREAD | CLOCAL | CSTOPB | CRTSCTS | PARODD | CMSPAR;
    t.c_iflag |= IXON | IXOFF;
    t.c_lflag |= ICANON | ECHO;  // cooked, as a terminal usually is
    return t;
}

}  // namespace

TEST_F(SerialTerminal, serial_unparseableSettings_leaveEveryLineSettingOfThePort)
{
    for (const speed_t speed : {B300, B1800, B230400}) {
        OwnPty pty;
        pty.Set(Found(speed));
        link_.Settings.LinkType = link::LinkTypeCom;
        link_.Settings.ComPortName = pty.path;
        link_.Settings.ComBaudRate = "garbage";
        ASSERT_TRUE(link_.OpenLink());
        const termios open = pty.Get();
        EXPECT_EQ(speed, ::cfgetospeed(&open));
        EXPECT_EQ(speed, ::cfgetispeed(&open));
        EXPECT_EQ(kKeptCflags, open.c_cflag & kKeptCflags);
        EXPECT_EQ(static_cast<tcflag_t>(IXON | IXOFF), open.c_iflag & (IXON | IXOFF));
        // Binary while open: no line editing, no echo.
        EXPECT_EQ(0u, open.c_lflag & (ICANON | ECHO | ISIG));
        link_.CloseLink();
    }
}

TEST_F(SerialTerminal, serial_partialSettings_changeOnlyWhatTheyName)
{
    struct Case {
        const char* settings;
        speed_t speed;
        bool twoStopBits;
    } cases[] = {
        {"19200", B19200, true},          {"19200,n", B19200, true},      {"38400,n,8", B38400, true},
        {"9600,n,8,1", B9600, false},     {"57600,e,8,2", B57600, true},  {"baud=4800", B4800, true},
        {"stop=1", B1800, false},         {"96,n,8", B9600, true},        {"19200,n,8,1,x", B1800, true},
    };
    for (const auto& c : cases) {
        OwnPty pty;
        pty.Set(Found(B1800));
        link_.Settings.LinkType = link::LinkTypeCom;
        link_.Settings.ComPortName = pty.path;
        link_.Settings.ComBaudRate = c.settings;
        ASSERT_TRUE(link_.OpenLink()) << c.settings;
        const termios open = pty.Get();
        EXPECT_EQ(c.speed, ::cfgetospeed(&open)) << c.settings;
        EXPECT_EQ(c.twoStopBits, (open.c_cflag & CSTOPB) != 0) << c.settings;
        EXPECT_NE(0u, open.c_cflag & CRTSCTS) << c.settings;
        EXPECT_EQ(static_cast<tcflag_t>(IXON | IXOFF), open.c_iflag & (IXON | IXOFF)) << c.settings;
        link_.CloseLink();
    }
}

TEST_F(SerialTerminal, serial_close_keepsTheLineSettingsAndRestoresTheWorkingMode)
{
    OwnPty pty;
    const termios found = Found(B9600);
    pty.Set(found);
    link_.Settings.LinkType = link::LinkTypeCom;
    link_.Settings.ComPortName = pty.path;
    link_.Settings.ComBaudRate = "115200,n,8,1";
    ASSERT_TRUE(link_.OpenLink());
    link_.CloseLink();
    const termios after = pty.Get();
    // Decided: the line settings stay as the last open set them (as a
    // Windows port keeps its DCB); the next open that names nothing talks at
    // them.
    EXPECT_EQ(static_cast<speed_t>(B115200), ::cfgetospeed(&after));
    EXPECT_EQ(0u, after.c_cflag & CSTOPB);
    EXPECT_NE(0u, after.c_cflag & CRTSCTS);
    // The working mode goes back to what was found, as the COMMTIMEOUTS do.
    EXPECT_EQ(found.c_lflag, after.c_lflag);
    EXPECT_EQ(found.c_iflag, after.c_iflag);
    EXPECT_EQ(found.c_oflag, after.c_oflag);

    link_.Settings.ComBaudRate = "garbage";
    ASSERT_TRUE(link_.OpenLink());
    const termios again = pty.Get();
    EXPECT_EQ(static_cast<speed_t>(B115200), ::cfgetospeed(&again));
}

}  // namespace
