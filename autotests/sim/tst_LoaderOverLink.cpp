// The boot loaders of the substitute controller through the real link over
// TCP: every framing as the tool encodes and checks it, the faults as the
// tool sees them, and once per loader the real firmware upgrade end to end.
// The model name setting, likewise through the tool's own operation.

#include "firmware/FirmwareImage.h"
#include "firmware/ModelName.h"
#include "firmware/Upgrade.h"
#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/OperationFrame.h"
#include "link/NativeTransportFactory.h"
#include "sim/ControllerSim.h"
#include "support/OperationFixture.h"
#include "support/SkippingClock.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ct;
using link::Framing;

struct Loader {
    const char* name;
    sim::LoaderKind kind;
    int controllerKind;  // the tool's kind for this loader
    const char* enter;
    Framing framing;
    bool bare;
    int block;
    int dataAt;
    int probeLength;  // 0: no probe
    const char* program;
    const char* verify;
    const char* start;
    const char* addressFormat;
};

const Loader kLoaders[] = {
    {"Block512", sim::LoaderKind::Block512, 6, "Zx33BB", Framing::Crc, false, 512, 8, 0, "Zp", "Zv", "ZrAA55", "%04X"},
    {"Block256", sim::LoaderKind::Block256, 1, "ZxA5", Framing::XorEtx, false, 256, 7, 17, "P", "R", "X", "%04x"},
    {"Block64", sim::LoaderKind::Block64, 4, "Zx", Framing::Xor, true, 64, 3, 13, "P", "R", "X", "%04x"},
};

std::vector<std::uint8_t> Pattern(int size, unsigned seed)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 13 + seed * 57 + 3) & 0xFF);
    return bytes;
}

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    std::string hex;
    char pair[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        hex += pair;
    }
    return hex;
}

class RecordingUpgradeView final : public firmware::IUpgradeView {
public:
    void ShowTitle(tests::Title title) override { titles.push_back(title); }
    void ShowCountdown(int n) override { countdowns.push_back(n); }
    void SetProgramRange(int) override {}
    void SetProgramPosition(int position) override { programmed = position; }
    void SetVerifyRange(int) override {}
    void SetVerifyPosition(int position) override { verified = position; }

    std::vector<tests::Title> titles;
    std::vector<int> countdowns;
    int programmed = -1;
    int verified = -1;
};

class LoaderOverLink : public ::testing::TestWithParam<Loader> {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "tst_LoaderOverLink";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            static QCoreApplication app(argc, argv);
    }

    void SetUp() override
    {
        sim::ControllerConfig config;
        config.loader = GetParam().kind;
        sim_ = std::make_unique<sim::ControllerSim>(config);
        ASSERT_TRUE(sim_->ListenTcp("127.0.0.1", 0));
        sim_->Start();
        status_.settings.LinkType = link::LinkTypeNet;
        status_.settings.NetIP = "127.0.0.1";
        status_.settings.NetPort = std::to_string(sim_->TcpPort());
        link_.Settings = status_.settings;
    }

    void TearDown() override
    {
        link_.CloseLink();
        sim_.reset();
    }

    std::string Text(const std::string& code) const { return GetParam().bare ? code : "0001" + code; }
    std::string Address(int r) const
    {
        char digits[8];
        std::snprintf(digits, sizeof digits, GetParam().addressFormat, static_cast<unsigned>(r * GetParam().block));
        return digits;
    }
    bool Send(const std::string& code) { return link_.Transact(GetParam().framing, Text(code)); }
    bool Program(int r, const std::vector<std::uint8_t>& bytes)
    {
        return Send(GetParam().program + Address(r) + Hex(bytes));
    }
    std::string ReadBack(int r)
    {
        if (!Send(GetParam().verify + Address(r)))
            return "(no valid reply)";
        return link::ReplyField(link_.ReplyText(), GetParam().dataAt, 2 * GetParam().block);
    }

    void EnterAndErase()
    {
        ASSERT_TRUE(link_.OpenLink());
        ASSERT_TRUE(link_.TransactCrc("0001" + std::string(GetParam().enter)));
        ASSERT_TRUE(sim_->InLoader());
        if (GetParam().probeLength != 0) {
            ASSERT_TRUE(Send("A"));
            EXPECT_EQ(link_.ReplyLength(), GetParam().probeLength);
        }
        if (GetParam().kind == sim::LoaderKind::Block256) {
            ASSERT_TRUE(Send("E" + Address(0)));
        } else if (GetParam().kind == sim::LoaderKind::Block64) {
            ASSERT_TRUE(Send("E"));
        }
    }

    std::unique_ptr<sim::ControllerSim> sim_;
    link::NativeTransportFactory factory_;
    // The 7 s after the start command cost no wall time.
    ct::testing::SkippingClock clock_;
    ct::testing::PauseSkippingPump pump_{clock_};
    link::Link link_{factory_, clock_, pump_};
    ct::testing::RecordingStatusView status_;
    link::SilentBeeper beeper_;
    link::OperationFrame frame_{link_, status_, beeper_, pump_};
};

TEST_P(LoaderOverLink, enterProgramVerifyStart_twoBlocks_readBackEqualAndApplicationAnswers)
{
    ASSERT_NO_FATAL_FAILURE(EnterAndErase());
    const auto a = Pattern(GetParam().block, 1), b = Pattern(GetParam().block, 2);
    ASSERT_TRUE(Program(0, a));
    ASSERT_TRUE(Program(1, b));
    EXPECT_EQ(ReadBack(0), Hex(a));
    EXPECT_EQ(ReadBack(1), Hex(b));
    std::vector<std::uint8_t> both = a;
    both.insert(both.end(), b.begin(), b.end());
    EXPECT_EQ(sim_->Flash(0, both.size()), both);

    ASSERT_TRUE(Send(GetParam().start));
    EXPECT_FALSE(sim_->InLoader());
    EXPECT_EQ(sim_->LoaderEntries(), 1);
    EXPECT_EQ(sim_->LoaderStarts(), 1);
    ASSERT_TRUE(link_.TransactCrc("0001AC"));
    EXPECT_EQ(link_.ReplyLength(), 17);
}

TEST_P(LoaderOverLink, programFaultTwice_retried_thirdAttemptWrites)
{
    sim_->AddLoaderFault({sim::LoaderFault::Kind::FailProgram, 0, 2});
    ASSERT_NO_FATAL_FAILURE(EnterAndErase());
    const auto a = Pattern(GetParam().block, 3);
    // A spoilt check fails the transaction at once, without a time-out.
    EXPECT_FALSE(Program(0, a));
    EXPECT_FALSE(Program(0, a));
    EXPECT_EQ(sim_->Flash(0, a.size()), std::vector<std::uint8_t>(a.size(), 0xFF));
    EXPECT_TRUE(Program(0, a));
    EXPECT_EQ(ReadBack(0), Hex(a));
}

TEST_P(LoaderOverLink, lowerCaseVerify_readBack_passesCheckButDiffers)
{
    sim_->AddLoaderFault({sim::LoaderFault::Kind::LowerCaseVerify, 0, 1});
    ASSERT_NO_FATAL_FAILURE(EnterAndErase());
    const auto a = Pattern(GetParam().block, 4);
    ASSERT_TRUE(Program(0, a));
    const std::string lower = ReadBack(0);
    EXPECT_NE(lower, Hex(a));
    EXPECT_EQ(lower.size(), Hex(a).size());
    EXPECT_EQ(ReadBack(0), Hex(a));  // used up
}

// Once per loader: the tool's own upgrade, three blocks, a program block
// failing four times on the way. The final pause after the start command
// (7 s or 2 s) cannot be avoided.
TEST_P(LoaderOverLink, firmwareUpgrade_threeBlocksWithFourFailures_flashHoldsImageAndApplicationRuns)
{
    firmware::FirmwareImage image;
    image.blockSize = GetParam().block;
    image.ImageBlockCount = 3;
    for (unsigned r = 0; r < 3; ++r) {
        const auto block = Pattern(GetParam().block, 10 + r);
        image.bytes.insert(image.bytes.end(), block.begin(), block.end());
    }
    sim_->AddLoaderFault({sim::LoaderFault::Kind::FailProgram, 1, 4});
    RecordingUpgradeView view;
    EXPECT_EQ(firmware::RunFirmwareUpgrade(frame_, GetParam().controllerKind, "0001", image, view),
              tests::Outcome::CommandOk);
    EXPECT_EQ(sim_->Flash(0, image.bytes.size()), image.bytes);
    EXPECT_TRUE(view.countdowns.empty());
    EXPECT_EQ(view.programmed, 3);
    EXPECT_EQ(view.verified, 3);
    EXPECT_EQ(sim_->LoaderStarts(), 1);
    EXPECT_FALSE(sim_->InLoader());
    EXPECT_TRUE(sim_->Config().loaderFaults.empty());
}

// A failing upgrade sends no start command and so has no final pause.
TEST_P(LoaderOverLink, firmwareUpgrade_lowerCaseReadBack_failsAndStaysInLoader)
{
    firmware::FirmwareImage image;
    image.blockSize = GetParam().block;
    image.ImageBlockCount = 2;
    image.bytes = Pattern(2 * GetParam().block, 20);
    sim_->AddLoaderFault({sim::LoaderFault::Kind::LowerCaseVerify, 1, -1});
    RecordingUpgradeView view;
    EXPECT_EQ(firmware::RunFirmwareUpgrade(frame_, GetParam().controllerKind, "0001", image, view),
              tests::Outcome::CommandError);
    EXPECT_EQ(view.verified, 0);
    EXPECT_TRUE(sim_->InLoader());
    EXPECT_EQ(sim_->LoaderStarts(), 0);
}

INSTANTIATE_TEST_SUITE_P(Loaders, LoaderOverLink, ::testing::ValuesIn(kLoaders),
                         [](const auto& info) { return std::string(info.param.name); });

// Silence costs one time-out per request: one loader, two requests.
TEST(LoaderSilence, silentFromBlockOne_overLink_blockZeroAnsweredBlockOneTimesOut)
{
    static int argc = 1;
    static char name[] = "tst_LoaderOverLink";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        static QCoreApplication app(argc, argv);
    sim::ControllerConfig config;
    config.loader = sim::LoaderKind::Block64;
    config.loaderFaults = {{sim::LoaderFault::Kind::SilentFrom, 1, -1}};
    sim::ControllerSim controller(config);
    ASSERT_TRUE(controller.ListenTcp("127.0.0.1", 0));
    controller.Start();
    link::NativeTransportFactory factory;
    link::SteadyClock clock;
    link::NoEventPump pump;
    link::Link device(factory, clock, pump);
    device.Settings.LinkType = link::LinkTypeNet;
    device.Settings.NetIP = "127.0.0.1";
    device.Settings.NetPort = std::to_string(controller.TcpPort());
    ASSERT_TRUE(device.OpenLink());
    ASSERT_TRUE(device.TransactCrc("0001Zx"));
    const std::string data(128, 'A');
    EXPECT_TRUE(device.TransactXor("P0000" + data));
    EXPECT_FALSE(device.TransactXor("P0040" + data));
    EXPECT_EQ(controller.Commands().back(), "P0040" + data);
    EXPECT_TRUE(device.TransactXor("R0000"));
    EXPECT_EQ(link::ReplyField(device.ReplyText(), 3, 128), data);
    device.CloseLink();
}

TEST(ModelNameOverLink, setModelNameWithVersion_thenDescribe_reportsThem)
{
    static int argc = 1;
    static char name[] = "tst_LoaderOverLink";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        static QCoreApplication app(argc, argv);
    sim::ControllerSim controller;
    ASSERT_TRUE(controller.ListenTcp("127.0.0.1", 0));
    controller.Start();
    link::NativeTransportFactory factory;
    link::SteadyClock clock;
    link::NoEventPump pump;
    link::Link device(factory, clock, pump);
    ct::testing::RecordingStatusView status;
    status.settings.LinkType = link::LinkTypeNet;
    status.settings.NetIP = "127.0.0.1";
    status.settings.NetPort = std::to_string(controller.TcpPort());
    link::SilentBeeper beeper;
    link::OperationFrame frame(device, status, beeper, pump);
    struct : tests::ITitleView {
        void ShowTitle(tests::Title) override {}
    } view;
    EXPECT_EQ(firmware::RunSetModelName(frame, view, "0001", " KX450NT4-SG5 ", std::string("0495")),
              tests::Outcome::CommandOk);
    EXPECT_EQ(controller.Config().model, "KX450NT4-SG5");
    EXPECT_EQ(controller.Config().version, "0495");

    device.Settings = status.settings;
    ASSERT_TRUE(device.OpenLink());
    ASSERT_TRUE(device.TransactCrc("0001DB"));
    EXPECT_EQ(link::ReplyField(device.ReplyText(), 8, 12), "KX450NT4-SG5");
    EXPECT_EQ(link::ReplyField(device.ReplyText(), 20, 4), "0495");
    ASSERT_TRUE(device.TransactCrc("0001AS"));
    EXPECT_EQ(device.ReplyLength(), 21);
    EXPECT_EQ(link::ReplyField(device.ReplyText(), 8, 8), "16030001");
    device.CloseLink();
}

}  // namespace
