// Several substitute controllers on one line, seen by a plain socket client:
// each answers only at its own ID or serial number, the modules behind one
// are not another's, and nobody addressed means silence.

#include "sim/ControllerSim.h"

#include "support/LineClient.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>

namespace {

using namespace ct;
using namespace std::chrono_literals;
using link::ReplyField;
namespace cmd = link::cmd;

using Client = ct::testing::LineClient;

sim::ControllerConfig Controller(const char* id, const char* serial, const char* moduleSerial)
{
    sim::ControllerConfig c;
    c.id = id;
    c.serial = serial;
    c.g6Modules = {sim::G6Module{1, moduleSerial, 0x0041, 0x000A, 0x0003}};
    c.g4Modules = {sim::G4Module{'H', 1, moduleSerial}};
    return c;
}

constexpr std::size_t Len(int replyLength)
{
    return static_cast<std::size_t>(replyLength);
}

class ControllerLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim_.ListenTcp("127.0.0.1", 0));
        sim_.Start();
        client_ = std::make_unique<Client>(sim_.TcpPort());
        ASSERT_TRUE(client_->connected());
    }

    bool Unanswered(const std::string& commandText) const
    {
        // The first controller's serial-number read, answered throughout.
        return client_->Unanswered(commandText, "0001AS", "0001");
    }

    sim::ControllerSim sim_{std::vector<sim::ControllerConfig>{Controller("0001", "11110001", "6A000001"),
                                                               Controller("0002", "22220002", "6B000002")}};
    std::unique_ptr<Client> client_;
};

TEST_F(ControllerLine, readSerial_eachIdAnsweredByItsOwnController)
{
    const struct {
        const char* id;
        const char* serial;
    } cases[] = {{"0001", "11110001"}, {"0002", "22220002"}};
    for (const auto& c : cases) {
        const std::string frame = client_->Ask(std::string(c.id) + cmd::SerialNumber);
        ASSERT_EQ(frame.size(), Len(cmd::SerialNumberReplyLength)) << c.id;
        EXPECT_EQ(ReplyField(frame, 2, 4), c.id);
        EXPECT_EQ(ReplyField(frame, 8, 8), c.serial);
    }
    EXPECT_TRUE(Unanswered("0003AS"));
}

TEST_F(ControllerLine, idBySerial_eachSerialAnsweredWithItsController)
{
    EXPECT_EQ(ReplyField(client_->Ask("0000AV11110001"), 2, 4), "0001");
    const std::string frame = client_->Ask("0000AV22220002");
    ASSERT_EQ(frame.size(), Len(cmd::IdBySerialReplyLength));
    EXPECT_EQ(ReplyField(frame, 2, 4), "0002");
    EXPECT_TRUE(Unanswered("0000AV33330003"));
}

TEST_F(ControllerLine, setIdBySerial_onlyThatControllerMoves_answersAtNewId)
{
    const std::string set = client_->Ask("0000AV222200020007");
    ASSERT_EQ(set.size(), Len(cmd::IdBySerialReplyLength));
    EXPECT_EQ(ReplyField(set, 2, 4), "0007");

    const std::string moved = client_->Ask("0007AS");
    ASSERT_EQ(moved.size(), Len(cmd::SerialNumberReplyLength));
    EXPECT_EQ(ReplyField(moved, 8, 8), "22220002");
    EXPECT_EQ(ReplyField(client_->Ask("0000AV22220002"), 2, 4), "0007");
    EXPECT_TRUE(Unanswered("0002AS"));
    EXPECT_EQ(sim_.Config(1).id, "0007");
    EXPECT_EQ(sim_.Config(0).id, "0001");
}

TEST_F(ControllerLine, connect_answeredOnlyAtAnIdOnTheLine)
{
    const std::string frame = client_->Ask("0002AC");
    ASSERT_EQ(frame.size(), Len(cmd::ConnectReplyLength));
    EXPECT_EQ(ReplyField(frame, 2, 4), "0002");
    EXPECT_TRUE(Unanswered("0005AC"));
}

TEST_F(ControllerLine, modules_eachControllerAnswersForItsOwn)
{
    EXPECT_EQ(ReplyField(client_->Ask(std::string("0002") + cmd::G6ReadSerialById + "0001"), 30, 8), "6B000002");
    EXPECT_EQ(ReplyField(client_->Ask(std::string("0001") + cmd::G6ReadSerialById + "0001"), 30, 8), "6A000001");
    EXPECT_EQ(ReplyField(client_->Ask("0002DDH1S"), 11, 8), "6B000002");

    // Written behind the second controller, read back there, not behind the first.
    const std::string written =
        client_->Ask(std::string("0002") + cmd::G6WriteCardType + "0001" "0070" "0014" "0000" "0000");
    ASSERT_EQ(written.size(), Len(cmd::G6ShortReplyLength));
    EXPECT_EQ(ReplyField(client_->Ask(std::string("0002") + cmd::G6ReadCardType + "0001"), 26, 12),
              "007000140000");
    EXPECT_EQ(ReplyField(client_->Ask(std::string("0001") + cmd::G6ReadCardType + "0001"), 26, 12),
              "0041000A0003");

    // A G4 module's serial number behind the other controller is not found.
    EXPECT_TRUE(Unanswered("0001DDH0C6B0000025"));
    ASSERT_FALSE(client_->Ask("0002DDH0C6B0000025").empty());
    EXPECT_EQ(ReplyField(client_->Ask("0002DDH5S"), 11, 8), "6B000002");
    EXPECT_EQ(sim_.Config(0).g4Modules[0].id, 1);
}

TEST_F(ControllerLine, sameIdTwice_onlyTheFirstAnswersAndActs)
{
    sim::ControllerConfig twin = Controller("0001", "99990001", "6C000001");
    EXPECT_EQ(sim_.AddController(twin), 2U);
    EXPECT_EQ(sim_.ControllerCount(), 3U);

    const std::string frame = client_->Ask("0001JF3");
    ASSERT_EQ(frame.size(), Len(cmd::AckReplyLength));
    // One reply only: the next frame is the probe's.
    EXPECT_EQ(ReplyField(client_->Ask("0002AS"), 2, 4), "0002");
    EXPECT_EQ(sim_.Config(0).alarm, 3);
    EXPECT_EQ(sim_.Config(2).alarm, 0);
    // The twin is still found by its own serial number.
    EXPECT_EQ(ReplyField(client_->Ask("0000AV99990001"), 2, 4), "0001");
}

TEST_F(ControllerLine, reboot_onlyThatControllerFallsSilent)
{
    sim::ControllerConfig second = sim_.Config(1);
    second.rebootSilence = 60s;
    sim_.SetConfig(1, second);
    ASSERT_EQ(client_->Ask("0002AR00").size(), Len(cmd::AckReplyLength));
    EXPECT_TRUE(Unanswered("0002AS"));
    EXPECT_EQ(sim_.Reboots(), 0);
    EXPECT_FALSE(sim_.Rebooting());
    // Heard by the first controller, so logged.
    EXPECT_EQ(sim_.Commands().back(), "0001AS");
}

TEST(ControllerLineSetup, config_indexPastTheLast_throws)
{
    sim::ControllerSim sim(std::vector<sim::ControllerConfig>{});
    EXPECT_EQ(sim.ControllerCount(), 1U);
    EXPECT_EQ(sim.Config(0).id, sim::ControllerConfig{}.id);
    EXPECT_THROW(sim.Config(1), std::out_of_range);
    EXPECT_THROW(sim.SetConfig(1, sim::ControllerConfig{}), std::out_of_range);
}

TEST(ControllerLineSetup, secondControllerAdded_connectNoLongerAtAnyId)
{
    sim::ControllerSim sim;
    ASSERT_TRUE(sim.ListenTcp("127.0.0.1", 0));
    sim.Start();
    Client client(sim.TcpPort());
    ASSERT_TRUE(client.connected());
    // Alone, the controller answers "AC" at an ID it does not have.
    EXPECT_EQ(ReplyField(client.Ask("0042AC"), 2, 4), "0001");
    sim.AddController(Controller("0002", "22220002", "6B000002"));
    EXPECT_TRUE(client.Unanswered("0042AC", "0002AS", "0002"));
}

}  // namespace
