// The modules behind a substitute controller, without I/O: a read after a
// write shows what was written, the reply fields sit where the tool reads
// them, and a module that is not there stays silent.

#include "sim/ControllerModel.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ct::link::CheckReply;
using ct::link::EncodeReply;
using ct::link::Framing;
using ct::link::ReplyField;
using namespace ct::sim;
namespace cmd = ct::link::cmd;

constexpr std::size_t Len(int replyLength)
{
    return static_cast<std::size_t>(replyLength);
}

std::string Frame(const std::optional<std::string>& replyText)
{
    return replyText ? EncodeReply(Framing::Crc, *replyText) : std::string();
}

// Controller 0003 with two G6 modules and one G4 module of each type, every
// serial number distinct.
ControllerConfig ModulesConfig()
{
    ControllerConfig c;
    c.id = "0003";
    c.serial = "30000003";
    c.g6Modules = {G6Module{1, "6A000001", 0x0041, 0x000A, 0x0003}, G6Module{4, "6A000004", 0x0001, 0x0005, 0x0001}};
    c.g4Modules = {G4Module{'A', 1, "4A000001"}, G4Module{'B', 1, "4B000001"}, G4Module{'H', 1, "4H000001"},
                   G4Module{'I', 1, "4I000001"}, G4Module{'J', 1, "4J000001"}, G4Module{'E', 1, "4E000001"}};
    return c;
}

ControllerModel MakeModel()
{
    return ControllerModel(ModulesConfig(), [] { return std::string("20240301080509"); });
}

std::string G6(const char* head, const std::string& params)
{
    return std::string("0003") + head + params;
}

struct CardWordsCase {
    const char* moduleId;
    const char* words;  // card type, delay, mode: twelve hex digits
};

class G6CardWords : public ::testing::TestWithParam<CardWordsCase> {};

TEST_P(G6CardWords, writeThenRead_wordsAsWrittenAllSixteenBits)
{
    const CardWordsCase& c = GetParam();
    auto model = MakeModel();
    const std::string written = Frame(model.Answer(G6(cmd::G6WriteCardType, std::string(c.moduleId) + c.words + "0000")));
    ASSERT_EQ(written.size(), Len(cmd::G6ShortReplyLength));
    EXPECT_TRUE(CheckReply(Framing::Crc, written));
    EXPECT_EQ(ReplyField(written, 26, 12), c.words);

    const std::string read = Frame(model.Answer(G6(cmd::G6ReadCardType, c.moduleId)));
    ASSERT_EQ(read.size(), Len(cmd::G6ShortReplyLength));
    EXPECT_EQ(ReplyField(read, 26, 4), std::string(c.words, 4));
    EXPECT_EQ(ReplyField(read, 30, 4), std::string(c.words + 4, 4));
    EXPECT_EQ(ReplyField(read, 34, 4), std::string(c.words + 8, 4));
    // The serial-number read of the same module is not disturbed.
    const std::string serial = Frame(model.Answer(G6(cmd::G6ReadSerialById, c.moduleId)));
    EXPECT_EQ(ReplyField(serial, 30, 8), std::string("6A00000") + c.moduleId[3]);
}

INSTANTIATE_TEST_SUITE_P(Words, G6CardWords,
                         ::testing::Values(CardWordsCase{"0001", "0074FFFF0002"},  // the tool's -1 delay
                                           CardWordsCase{"0001", "0008000A0001"},  // a bit no box shows
                                           CardWordsCase{"0004", "FFFF8000FFFC"},  // every high bit kept
                                           CardWordsCase{"0004", "000000000000"}));

TEST(G6Modules, writeCardType_lowerCaseHex_readBackInUpperCase)
{
    auto model = MakeModel();
    ASSERT_TRUE(model.Answer(G6(cmd::G6WriteCardType, "0004" "00ab" "03e7" "0001" "0000")).has_value());
    EXPECT_EQ(ReplyField(Frame(model.Answer(G6(cmd::G6ReadCardType, "0004"))), 26, 12), "00AB03E70001");
    // The other module keeps its own words.
    EXPECT_EQ(ReplyField(Frame(model.Answer(G6(cmd::G6ReadCardType, "0001"))), 26, 12), "0041000A0003");
}

TEST(G6Modules, setIdBySerial_readsAtNewIdOnly)
{
    auto model = MakeModel();
    const std::string set = Frame(model.Answer(G6(cmd::G6SetIdBySerial, "6A000004" "6A000004" "0008" "0000")));
    ASSERT_EQ(set.size(), Len(cmd::G6LongReplyLength));
    EXPECT_EQ(ReplyField(set, 41, 1), "8");

    const std::string byId = Frame(model.Answer(G6(cmd::G6ReadSerialById, "0008")));
    ASSERT_EQ(byId.size(), Len(cmd::G6ShortReplyLength));
    EXPECT_EQ(ReplyField(byId, 30, 8), "6A000004");
    const std::string bySerial = Frame(model.Answer(G6(cmd::G6ReadIdBySerial, "6A000004")));
    ASSERT_EQ(bySerial.size(), Len(cmd::G6LongReplyLength));
    EXPECT_EQ(ReplyField(bySerial, 41, 1), "8");
    // Its card-type words moved with it.
    EXPECT_EQ(ReplyField(Frame(model.Answer(G6(cmd::G6ReadCardType, "0008"))), 26, 12), "000100050001");
    EXPECT_FALSE(model.Answer(G6(cmd::G6ReadSerialById, "0004")).has_value());
    EXPECT_FALSE(model.Answer(G6(cmd::G6ReadCardType, "0004")).has_value());
}

TEST(G6Modules, moduleAbsent_silentAndNothingChanged)
{
    const std::string absent[] = {
        G6(cmd::G6ReadSerialById, "0002"),
        G6(cmd::G6ReadCardType, "0000"),
        G6(cmd::G6WriteCardType, "0002" "0041000A0003" "0000"),
        G6(cmd::G6ReadIdBySerial, "6A000002"),
        G6(cmd::G6SetIdBySerial, "6A000002" "6A000002" "0005" "0000"),
        // A module of the controller at another ID is not this one's.
        std::string("0001") + cmd::G6ReadSerialById + "0001",
    };
    for (const auto& command : absent) {
        auto model = MakeModel();
        EXPECT_FALSE(model.Answer(command).has_value()) << command;
        EXPECT_EQ(model.config().g6Modules[0].id, 1) << command;
        EXPECT_EQ(model.config().g6Modules[1].id, 4) << command;
        EXPECT_EQ(model.config().g6Modules[0].cardType, 0x0041) << command;
    }
}

class G4Types : public ::testing::TestWithParam<char> {};

TEST_P(G4Types, setIdBySerial_readAtNewIdShowsSerial_othersStay)
{
    const char type = GetParam();
    const std::string dd = std::string("0003DD") + type;
    const std::string serial = std::string("4") + type + "000001";
    auto model = MakeModel();

    const std::string ack = Frame(model.Answer(dd + "0C" + serial + "6"));
    ASSERT_EQ(ack.size(), Len(cmd::AckReplyLength));
    EXPECT_TRUE(CheckReply(Framing::Crc, ack));

    const std::string read = Frame(model.Answer(dd + "6S"));
    ASSERT_EQ(read.size(), Len(cmd::G4SerialReplyLength));
    EXPECT_EQ(ReplyField(read, 2, 4), "0003");
    EXPECT_EQ(ReplyField(read, 11, 8), serial);
    EXPECT_FALSE(model.Answer(dd + "1S").has_value());
    for (const auto& m : model.config().g4Modules)
        EXPECT_EQ(m.id, m.type == type ? 6 : 1) << m.type;
}

INSTANTIATE_TEST_SUITE_P(SixTypes, G4Types, ::testing::Values('A', 'B', 'H', 'I', 'J', 'E'));

TEST(G4Modules, moduleAbsent_silent)
{
    ControllerConfig c = ModulesConfig();
    // Module 0 is there, so that a set for a serial number nobody has cannot
    // pass as a command to it.
    c.g4Modules.push_back(G4Module{'H', 0, "4H000000"});
    ControllerModel model(c, [] { return std::string("20240301080509"); });
    const char* absent[] = {
        "0003DDH2S",           // no H module 2
        "0003DDA0S",           // no A module 0
        "0003DDH0C4A0000015",  // the serial number of the A module, not of an H one
        "0003DDH0C4H9999995",  // nobody's serial number
        "0003DDH0C4H00000",    // serial number cut short
    };
    for (const char* command : absent)
        EXPECT_FALSE(model.Answer(command).has_value()) << command;
    EXPECT_EQ(ReplyField(Frame(model.Answer("0003DDH0S")), 11, 8), "4H000000");
    EXPECT_EQ(model.config().g4Modules[2].id, 1);
}

TEST(ControllerModel, connectAnyIdOff_answersConnectOnlyAtOwnId)
{
    auto model = MakeModel();
    model.SetConnectAnyId(false);
    EXPECT_FALSE(model.Answer("0001AC").has_value());
    const std::string frame = Frame(model.Answer("0003AC"));
    ASSERT_EQ(frame.size(), Len(cmd::ConnectReplyLength));
    EXPECT_EQ(ReplyField(frame, 2, 4), "0003");
}

}  // namespace
