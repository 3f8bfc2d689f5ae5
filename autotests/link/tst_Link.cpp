#include "link/Link.h"
#include "support/FakeTransport.h"

#include <gtest/gtest.h>

#include <optional>
#ifndef _WIN32
#include <termios.h>
#endif

using namespace ct::link;
using namespace ct::testing;

namespace {

class LinkTest : public ::testing::Test {
protected:
    FakeClock clock{1000};
    CountingPump pump;
    FakeDevice device{clock};
    FakeTransportFactory factory{device};
    Link link{factory, clock, pump};

    void OpenSerial()
    {
        link.Settings.LinkType = LinkTypeCom;
        link.Settings.ComPortName = "ttyUSB0";
        ASSERT_TRUE(link.OpenLink());
    }
    void OpenTcp()
    {
        link.Settings.LinkType = LinkTypeNet;
        link.Settings.NetIP = "127.0.0.1";
        link.Settings.NetPort = "5001";
        ASSERT_TRUE(link.OpenLink());
    }
    static std::string Frame(const std::string& text) { return EncodeReply(Framing::Crc, text); }
};

}  // namespace

TEST_F(LinkTest, transactCrc_writesEncodedFrameAndTakesReply)
{
    OpenSerial();
    device.Reply("0001AS16030001", 20);
    EXPECT_TRUE(link.TransactCrc("0001AS"));
    ASSERT_EQ(1u, device.frames.size());
    EXPECT_EQ(EncodeRequestString(Framing::Crc, "0001AS"), device.frames[0]);
    EXPECT_EQ(21, link.ReplyLength());
    EXPECT_EQ(Frame("0001AS16030001"), link.ReplyText());
    EXPECT_GT(pump.calls, 0);
}

TEST_F(LinkTest, xorTransactions_useTheirStartBytes)
{
    OpenSerial();
    device.Reply("ACK", 5, Framing::Xor);
    EXPECT_TRUE(link.TransactXor("W"));
    EXPECT_EQ(EncodeRequestString(Framing::Xor, "W"), device.frames.back());
    // An ETX-started reply does not complete a STX transaction.
    device.Reply("ACK", 5, Framing::XorEtx);
    EXPECT_FALSE(link.TransactXor("W"));
    device.Reply("ACK", 5, Framing::XorEtx);
    EXPECT_TRUE(link.TransactXorEtx("W"));
}

struct GapCase {
    const char* name;
    std::uint32_t firstAfterMs;
    std::uint32_t gapMs;
    bool accepted;
};

class SerialGapTable : public LinkTest, public ::testing::WithParamInterface<GapCase> {};

TEST_P(SerialGapTable, serialReply_silenceRule_decidesAcceptance)
{
    OpenSerial();
    const auto& c = GetParam();
    device.DeliverSplit(Frame("0001AS16030001"), c.firstAfterMs, c.gapMs);
    EXPECT_EQ(c.accepted, link.TransactCrc("0001AS"));
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, SerialGapTable,
    ::testing::Values(GapCase{"gaps299", 299, 299, true}, GapCase{"gaps300", 300, 300, true},
                      GapCase{"gaps301", 10, 301, false}, GapCase{"first301", 301, 1, false},
                      GapCase{"first300", 300, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkTest, serialReply_longerThanTimeoutInAll_isAwaitedWhileBytesKeepComing)
{
    OpenSerial();
    const std::uint64_t start = clock.now;
    device.DeliverSplit(Frame("0001AS16030001"), 250, 250);  // 21 bytes over five seconds
    EXPECT_TRUE(link.TransactCrc("0001AS"));
    EXPECT_GE(clock.now - start, 5000u);
}

TEST_F(LinkTest, serialTimeout_returnsFalseAfter300msAndKeepsPreviousText)
{
    OpenSerial();
    device.Reply("0001AS16030001", 1);
    ASSERT_TRUE(link.TransactCrc("0001AS"));
    const std::string previous = link.ReplyText();

    device.Deliver("\x03" "0001", 10);  // an unfinished frame
    const std::uint64_t start = clock.now;
    EXPECT_FALSE(link.TransactCrc("0001AS"));
    EXPECT_EQ(previous, link.ReplyText());
    EXPECT_EQ(5, link.ReplyLength());
    EXPECT_EQ(311u, clock.now - start);
}

struct TcpCase {
    const char* name;
    std::uint32_t completeAtMs;
    bool accepted;
};

class TcpDeadlineTable : public LinkTest, public ::testing::WithParamInterface<TcpCase> {};

TEST_P(TcpDeadlineTable, tcpReply_totalDeadlineFromSend_decidesAcceptance)
{
    OpenTcp();
    const auto& c = GetParam();
    const std::string frame = Frame("0001AS16030001");
    // Bytes keep arriving all along: arriving data does not extend the limit.
    device.DeliverSplit(frame.substr(0, frame.size() - 1), 100, 50);
    device.Deliver("\r", c.completeAtMs);
    EXPECT_EQ(c.accepted, link.TransactCrc("0001AS"));
}

INSTANTIATE_TEST_SUITE_P(Deadline, TcpDeadlineTable,
                         ::testing::Values(TcpCase{"at1199", 1199, true}, TcpCase{"at1200", 1200, true},
                                           TcpCase{"at1201", 1201, false}, TcpCase{"at1300", 1300, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkTest, tcpLateFrame_isReadByNextTransactionOfSameLink)
{
    OpenTcp();
    device.Reply("0001DBLATE", 1500);
    EXPECT_FALSE(link.TransactCrc("0001DB"));
    device.Reply("0001ASFRESH", 500);
    EXPECT_TRUE(link.TransactCrc("0001AS"));
    EXPECT_EQ(Frame("0001DBLATE"), link.ReplyText());
    // The fresh reply is still there for the one after.
    EXPECT_TRUE(link.TransactCrc("0001AS"));
    EXPECT_EQ(Frame("0001ASFRESH"), link.ReplyText());
}

TEST_F(LinkTest, tcpTwoFramesInOneChunk_secondStaysForNextTransaction)
{
    OpenTcp();
    device.Deliver(Frame("0001AC0000") + Frame("0001AS16030001"), 5);
    EXPECT_TRUE(link.TransactCrc("0001AC"));
    EXPECT_EQ(17, link.ReplyLength());
    EXPECT_TRUE(link.TransactCrc("0001AS"));
    EXPECT_EQ(21, link.ReplyLength());
}

TEST_F(LinkTest, serialLeftovers_arePurgedBeforeEveryWrite)
{
    OpenSerial();
    device.Deliver(Frame("0001AC0000") + Frame("0001ASSTALE"), 5);
    EXPECT_TRUE(link.TransactCrc("0001AC"));
    device.Reply("0001ASFRESH", 5);
    EXPECT_TRUE(link.TransactCrc("0001AS"));
    EXPECT_EQ(Frame("0001ASFRESH"), link.ReplyText());
    device.Reply("0001ASAGAIN", 5);
    EXPECT_TRUE(link.TransactCrc("0001AS"));
    link.CloseLink();
    // The purge of the open, then a purge right before each write, then the
    // purge of the close.
    EXPECT_EQ("PPWPWPWP", device.purgesAndWrites);
}

TEST_F(LinkTest, tcpLink_isNeverPurged)
{
    OpenTcp();
    device.AnswerWith([](const std::string&) { return "0001AS16030001"; }, 5);
    EXPECT_TRUE(link.TransactCrc("0001AS"));
    EXPECT_TRUE(link.TransactCrc("0001AS"));
    link.CloseLink();
    EXPECT_EQ("WW", device.purgesAndWrites);
}

TEST_F(LinkTest, failedCheck_endsAtOnceWithReplySet)
{
    OpenTcp();
    std::string bad = Frame("0001AS16030001");
    bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';
    device.Deliver(bad, 5);
    device.Reply("0001AS16030001", 10);  // a good frame right after is not awaited
    const std::uint64_t start = clock.now;
    EXPECT_FALSE(link.TransactCrc("0001AS"));
    EXPECT_EQ(bad, link.ReplyText());
    EXPECT_EQ(21, link.ReplyLength());
    EXPECT_LT(clock.now - start, 10u);
}

TEST_F(LinkTest, tooLongCommand_refusedWithoutSending)
{
    OpenSerial();
    EXPECT_FALSE(link.TransactCrc("0001" + std::string(1490, 'A')));
    EXPECT_FALSE(link.TransactXor(std::string(1497, 'A')));
    EXPECT_TRUE(device.frames.empty());
    device.Reply("0001OK", 1);
    EXPECT_TRUE(link.TransactCrc("0001" + std::string(1489, 'A')));
    EXPECT_EQ(1500u, device.frames.back().size());
}

TEST_F(LinkTest, clockWrap_doesNotDisturbTimeouts)
{
    clock.now = 0xFFFFFF00u;
    OpenSerial();
    device.Reply("0001AS16030001", 0x180);  // after the wrap, 384 ms later
    EXPECT_FALSE(link.TransactCrc("0001AS"));
    clock.now = 0xFFFFFFF0u;
    device.Reply("0001AS16030001", 200);  // after the wrap, within the limit
    EXPECT_TRUE(link.TransactCrc("0001AS"));
}

TEST_F(LinkTest, closeLink_closesTransport_andTransactionsThenFail)
{
    OpenSerial();
    link.CloseLink();
    EXPECT_FALSE(device.open);
    EXPECT_FALSE(link.TransactCrc("0001AS"));
    EXPECT_TRUE(device.frames.empty());
}

TEST_F(LinkTest, openTwice_closesTheFirstTransport)
{
    OpenSerial();
    OpenSerial();
    EXPECT_EQ(2, device.opens);
    EXPECT_EQ(1, device.closes);
}

TEST_F(LinkTest, openDuringWaitingTransaction_isRefusedAndWaitGoesOn)
{
    OpenSerial();
    bool reopened = true;
    pump.onPump = [&] {
        reopened = link.OpenLink();
        pump.onPump = nullptr;
    };
    device.Reply("0001AS16030001", 50);
    EXPECT_TRUE(link.TransactCrc("0001AS"));
    EXPECT_FALSE(reopened);
    EXPECT_EQ(1, device.opens);
    EXPECT_TRUE(link.IsOpen());
}

TEST_F(LinkTest, closeDuringWaitingTransaction_endsItAndClosesAfterwards)
{
    OpenTcp();
    pump.onPump = [&] { link.CloseLink(); };
    device.Reply("0001AS16030001", 50);
    EXPECT_FALSE(link.TransactCrc("0001AS"));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(device.open);
}

TEST_F(LinkTest, closeDuringPumpedConnect_failsTheOpenAndLeavesNothingOpen)
{
    link.Settings.LinkType = LinkTypeNet;
    link.Settings.NetIP = "127.0.0.1";
    device.duringTcpOpen = [&](IEventPump& p) {
        pump.onPump = [&] { link.CloseLink(); };
        p.ProcessEvents();
        pump.onPump = nullptr;
    };
    EXPECT_FALSE(link.OpenLink());
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(device.open);
    // The next operation opens as usual.
    device.duringTcpOpen = nullptr;
    EXPECT_TRUE(link.OpenLink());
}

TEST_F(LinkTest, openDuringPumpedConnect_isRefused)
{
    link.Settings.LinkType = LinkTypeNet;
    link.Settings.NetIP = "127.0.0.1";
    bool nested = true;
    device.duringTcpOpen = [&](IEventPump&) {
        device.duringTcpOpen = nullptr;
        nested = link.OpenLink();
    };
    EXPECT_TRUE(link.OpenLink());
    EXPECT_FALSE(nested);
    EXPECT_EQ(1, device.opens);
}

TEST_F(LinkTest, openSerial_passesNameAndSettingsAsTyped)
{
    link.Settings.ComPortName = "/dev/pts/4";
    link.Settings.ComBaudRate = "garbage";
    EXPECT_TRUE(link.OpenLink());
    EXPECT_EQ("/dev/pts/4", device.serialPort);
    EXPECT_EQ("garbage", device.serialSettings);
}

struct NetCase {
    const char* name;
    std::string ip;
    std::string port;
    bool opens;
    std::uint16_t expectedPort;
};

class NetSettingsTable : public LinkTest, public ::testing::WithParamInterface<NetCase> {};

TEST_P(NetSettingsTable, openTcp_addressAndPortText_parsedOrRefused)
{
    const auto& c = GetParam();
    link.Settings.LinkType = LinkTypeNet;
    link.Settings.NetIP = c.ip;
    link.Settings.NetPort = c.port;
    EXPECT_EQ(c.opens, link.OpenLink());
    if (c.opens) {
        EXPECT_EQ(0x7F000001u, device.tcpAddress);
        EXPECT_EQ(c.expectedPort, device.tcpPort);
    } else {
        EXPECT_EQ(0, device.opens);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Net, NetSettingsTable,
    ::testing::Values(NetCase{"plain", "127.0.0.1", "5001", true, 5001},
                      NetCase{"portLeadingBlanks", "127.0.0.1", "  5001", true, 5001},
                      NetCase{"portTrailingText", "127.0.0.1", "5001x", true, 5001},
                      NetCase{"portNotANumber", "127.0.0.1", "abc", false, 0},
                      NetCase{"portEmpty", "127.0.0.1", "", false, 0},
                      NetCase{"portZero", "127.0.0.1", "0", false, 0},
                      NetCase{"portTooLarge", "127.0.0.1", "70000", false, 0},
                      NetCase{"portNegative", "127.0.0.1", "-5", false, 0},
                      NetCase{"ipName", "localhost", "5001", false, 0},
                      NetCase{"ipEmpty", "", "5001", false, 0},
                      NetCase{"ipPartTooLarge", "127.0.0.256", "5001", false, 0},
                      NetCase{"ipThreeParts", "127.0.1", "5001", false, 0},
                      NetCase{"ipTrailingDot", "127.0.0.1.", "5001", false, 0},
                      NetCase{"ipSpaces", " 127.0.0.1", "5001", false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The settings string ----------------------------------------------------

namespace {

LineSettings Parsed(const std::string& text)
{
    LineSettings s;
    EXPECT_TRUE(ParseLineSettings(text, s)) << text;
    return s;
}

LineSettings Members(std::optional<std::uint32_t> rate, std::optional<char> parity = std::nullopt,
                     std::optional<int> data = std::nullopt, std::optional<int> stop = std::nullopt)
{
    LineSettings s;
    s.baudRate = rate;
    s.parity = parity;
    s.dataBits = data;
    s.stopBits = stop;
    return s;
}

}  // namespace

TEST(LineSettings, parse_fullCommaForm_namesAllFour)
{
    EXPECT_EQ(Members(115200, 'n', 8, 1), Parsed("115200,n,8,1"));
    EXPECT_EQ(Members(19200, 'e', 7, 2), Parsed("19200,E,7,2"));
    EXPECT_EQ(Members(9600, 'o', 8, 15), Parsed(" 9600 , o , 8 , 1.5 "));
    EXPECT_EQ(Members(300, 'm', 5, 1), Parsed("300,M,5,1"));
    EXPECT_EQ(Members(1800, 's', 6, 2), Parsed("1800,s,6,2\r\n"));
}

TEST(LineSettings, parse_partialCommaForm_namesOnlyItsLeadingMembers)
{
    EXPECT_EQ(Members(19200), Parsed("19200"));
    EXPECT_EQ(Members(19200, 'n'), Parsed("19200,n"));
    EXPECT_EQ(Members(19200, 'n', 8), Parsed("19200,n,8"));
    EXPECT_EQ(Members(250000, 'e'), Parsed("250000,e"));
}

TEST(LineSettings, parse_modeCommandAbbreviations_standForTheirRates)
{
    EXPECT_EQ(Members(9600, 'n', 8, 1), Parsed("96,n,8,1"));
    EXPECT_EQ(Members(19200), Parsed("19"));
    EXPECT_EQ(Members(110), Parsed("11"));
    EXPECT_EQ(Members(300), Parsed("30"));
    EXPECT_EQ(Members(1200), Parsed("12"));
    // Other short numbers are rates as written.
    EXPECT_EQ(Members(50), Parsed("50"));
}

TEST(LineSettings, parse_keyForm_namesWhatItLists)
{
    EXPECT_EQ(Members(1200, 'n', 8, 1), Parsed("baud=1200 parity=N data=8 stop=1"));
    EXPECT_EQ(Members(std::nullopt, 'e'), Parsed("parity=e"));
    EXPECT_EQ(Members(96, std::nullopt, 7), Parsed("  DATA=7\tBaud=96 "));  // no abbreviations here
    EXPECT_EQ(Members(std::nullopt, std::nullopt, std::nullopt, 15), Parsed("stop=1.5"));
}

TEST(LineSettings, parse_otherText_refusedAndLeavesTheResultAlone)
{
    for (const char* bad :
         {"", " ", "garbage", "115200,x,8,1", "115200,n,9,1", "115200,n,4,1", "115200,n,8,3", "115200,n,8,1.0",
          "abc,n,8,1", "115200,n,8,1,1", "115200,n,8,1,p", "0,n,8,1", "-9600,n,8,1", "+9600", "1234567890",
          "19200,", "19200,,8,1", ",n,8,1", "19200,n,,1", "19200,ne", "19200,n,88", "COM1:9600,n,8,1",
          "baud=", "baud=9600 baud=9600", "baud=9600 xon=on", "baud=9600,parity=n", "parity", "=",
          "baud=9600 parity=", "19200\xff"}) {
        LineSettings untouched = Members(1234, 'o', 6, 2);
        EXPECT_FALSE(ParseLineSettings(bad, untouched)) << bad;
        EXPECT_EQ(Members(1234, 'o', 6, 2), untouched) << bad;
    }
    LineSettings s;
    EXPECT_FALSE(ParseLineSettings(std::string("9600\0,n,8,1", 11), s));
    EXPECT_FALSE(ParseLineSettings(std::string(200000, '9'), s));
    EXPECT_FALSE(ParseLineSettings("9600" + std::string(200000, ','), s));
}

TEST(LineSettings, format_parsesBackToTheSameMembers)
{
    for (const LineSettings& s :
         {Members(115200, 'n', 8, 1), Members(19200), Members(19200, 'e'), Members(300, 'm', 7),
          Members(96, 'n', 8, 1), Members(std::nullopt, 'e'), Members(9600, std::nullopt, 7, 2),
          Members(std::nullopt, std::nullopt, std::nullopt, 15)}) {
        const std::string text = FormatLineSettings(s);
        LineSettings back;
        ASSERT_TRUE(ParseLineSettings(text, back)) << text;
        EXPECT_EQ(s, back) << text;
    }
    EXPECT_EQ("115200,n,8,1", FormatLineSettings(Members(115200, 'n', 8, 1)));
    EXPECT_EQ("baud=96 parity=n", FormatLineSettings(Members(96, 'n')));
    EXPECT_EQ("", FormatLineSettings(LineSettings{}));
}

#ifndef _WIN32
TEST(LineSettings, applyToTermios_changesOnlyTheNamedMembers)
{
    termios found{};
    ::cfsetispeed(&found, B1800);
    ::cfsetospeed(&found, B1800);
    found.c_cflag |= CS7 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL;
    found.c_iflag = IXON | IXOFF | INPCK;

    termios t = found;
    ApplyLineSettings(Members(19200), t);
    EXPECT_EQ(B19200, ::cfgetospeed(&t));
    EXPECT_EQ(B19200, ::cfgetispeed(&t));
    EXPECT_EQ(found.c_cflag & ~CBAUD, t.c_cflag & ~CBAUD);
    EXPECT_EQ(found.c_iflag, t.c_iflag);

    t = found;
    ApplyLineSettings(Members(9600, 'n', 8), t);
    EXPECT_EQ(B9600, ::cfgetospeed(&t));
    EXPECT_EQ(0u, t.c_cflag & (PARENB | PARODD | CMSPAR));
    EXPECT_EQ(static_cast<tcflag_t>(CS8), t.c_cflag & CSIZE);
    EXPECT_NE(0u, t.c_cflag & CSTOPB);  // not named: kept
    EXPECT_NE(0u, t.c_cflag & CRTSCTS);

    t = found;
    ApplyLineSettings(Members(std::nullopt, 's', std::nullopt, 1), t);
    EXPECT_EQ(B1800, ::cfgetospeed(&t));
    EXPECT_EQ(static_cast<tcflag_t>(PARENB | CMSPAR), t.c_cflag & (PARENB | PARODD | CMSPAR));
    EXPECT_EQ(0u, t.c_cflag & CSTOPB);
    EXPECT_EQ(static_cast<tcflag_t>(CS7), t.c_cflag & CSIZE);

    t = found;
    ApplyLineSettings(Members(std::nullopt, 'e'), t);
    EXPECT_EQ(static_cast<tcflag_t>(PARENB), t.c_cflag & (PARENB | PARODD | CMSPAR));
    ApplyLineSettings(Members(std::nullopt, 'm'), t);
    EXPECT_EQ(static_cast<tcflag_t>(PARENB | PARODD | CMSPAR), t.c_cflag & (PARENB | PARODD | CMSPAR));
    ApplyLineSettings(Members(std::nullopt, 'o'), t);
    EXPECT_EQ(static_cast<tcflag_t>(PARENB | PARODD), t.c_cflag & (PARENB | PARODD | CMSPAR));

    // A rate without a termios speed is one the device would refuse: the
    // speed stays.
    t = found;
    ApplyLineSettings(Members(250001), t);
    EXPECT_EQ(B1800, ::cfgetospeed(&t));
}

TEST(LineSettings, makeBinary_keepsLineSettingsAndFlowControl)
{
    termios found{};
    ::cfsetospeed(&found, B300);
    ::cfsetispeed(&found, B300);
    found.c_cflag |= CS7 | PARENB | CSTOPB | CRTSCTS;
    found.c_iflag = ICRNL | IXON | IXOFF | ISTRIP | BRKINT;
    found.c_oflag = OPOST | ONLCR;
    found.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    termios t = found;
    MakeBinary(t);
    EXPECT_EQ(B300, ::cfgetospeed(&t));
    EXPECT_EQ(found.c_cflag | CREAD | CLOCAL, t.c_cflag);
    EXPECT_EQ(static_cast<tcflag_t>(IXON | IXOFF), t.c_iflag);
    EXPECT_EQ(0u, t.c_oflag & OPOST);
    EXPECT_EQ(0u, t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    EXPECT_EQ(1, t.c_cc[VMIN]);
    EXPECT_EQ(0, t.c_cc[VTIME]);
}
#endif

namespace {

// Every event of the trace as one line, in order.
class RecordingTrace final : public ILinkTrace {
public:
    void LinkOpened(const LinkSettings&, bool opened) override { events.push_back(opened ? "open" : "cannot open"); }
    void LinkClosed() override { events.push_back("close"); }
    void FrameSent(std::string_view frame) override { events.push_back("> " + std::string(frame)); }
    void FrameReceived(std::string_view skipped, std::string_view frame, bool checkPassed) override
    {
        events.push_back("< [" + std::string(skipped) + "] " + std::string(frame) + (checkPassed ? "" : " !check"));
    }
    void TimedOut(std::uint32_t limitMs, bool countsSilence, std::string_view received) override
    {
        events.push_back("! " + std::to_string(limitMs) + (countsSilence ? " silence " : " total ")
                         + std::string(received));
    }
    std::vector<std::string> events;
};

class LinkTraceTest : public LinkTest {
protected:
    void SetUp() override { link.SetTrace(&trace); }
    RecordingTrace trace;
};

}  // namespace

TEST_F(LinkTraceTest, transaction_tracesExactBytesSentAndReceivedAndTheClose)
{
    OpenSerial();
    device.Reply("0001AS16030001", 20);
    ASSERT_TRUE(link.TransactCrc("0001AS"));
    link.CloseLink();
    // A second close of a closed link traces nothing.
    link.CloseLink();
    const std::vector<std::string> expected = {"open", "> " + EncodeRequestString(Framing::Crc, "0001AS"),
                                               "< [] " + Frame("0001AS16030001"), "close"};
    EXPECT_EQ(expected, trace.events);
}

TEST_F(LinkTraceTest, noiseAndBadCheck_skippedBytesAndFailedCheckTraced)
{
    OpenTcp();
    std::string spoilt = Frame("0001AS16030001");
    spoilt[spoilt.size() - 2] ^= 0x01;  // a CRC character
    device.Deliver("xy\r" + spoilt);
    EXPECT_FALSE(link.TransactCrc("0001AS"));
    ASSERT_EQ(3u, trace.events.size());
    EXPECT_EQ("< [xy\r] " + spoilt + " !check", trace.events[2]);
}

TEST_F(LinkTraceTest, timeOuts_tracedWithTheLimitAndEveryByteThatCame)
{
    OpenSerial();
    device.Deliver("\x03" "0001", 10);
    EXPECT_FALSE(link.TransactCrc("0001AS"));
    EXPECT_EQ("! 300 silence \x03" "0001", trace.events.back());
    link.CloseLink();

    OpenTcp();
    EXPECT_FALSE(link.TransactCrc("0001AS"));
    EXPECT_EQ("! 1200 total ", trace.events.back());
}

TEST_F(LinkTraceTest, refusedOpen_traced)
{
    device.failTcpOpen = true;
    link.Settings.LinkType = LinkTypeNet;
    EXPECT_FALSE(link.OpenLink());
    EXPECT_EQ(std::vector<std::string>{"cannot open"}, trace.events);
}
