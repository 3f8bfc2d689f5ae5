// The substitute controller without I/O: what it answers (lengths as the
// controller interface gives them and field positions as the tool reads
// them), how commands change its state, and the bytes of faulty replies. How
// it takes requests apart is the codec's RequestAssembler (tst_FrameCodec).

#include "sim/ControllerModel.h"
#include "sim/FaultPlan.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using ct::link::CheckReply;
using ct::link::EncodeReply;
using ct::link::Framing;
using ct::link::ReplyField;
using namespace ct::sim;
using namespace std::chrono_literals;
namespace cmd = ct::link::cmd;

constexpr const char* kNow = "20240301080509";

// Distinct serial numbers everywhere, so that a field read from the wrong
// place cannot pass by accident.
ControllerConfig TestConfig()
{
    ControllerConfig c;
    c.id = "0001";
    c.model = "KX410NT4-SG4";
    c.version = "0520";
    c.serial = "16030001";
    c.inputs = "10100001";
    c.g6Modules = {G6Module{1, "A1B2C3D4", 0x0041, 0x000A, 0x0003}, G6Module{2, "00C0FFEE", 0x0001, 0x0005, 0x0001}};
    c.g4Modules = {G4Module{'H', 1, "44440001"}, G4Module{'B', 3, "44440003"}};
    return c;
}

constexpr std::size_t Len(int replyLength)
{
    return static_cast<std::size_t>(replyLength);
}

ControllerModel MakeModel(ControllerConfig c = TestConfig())
{
    return ControllerModel(std::move(c), [] { return std::string(kNow); });
}

// The reply frame as the tool receives it.
std::string Frame(const std::optional<std::string>& replyText)
{
    return replyText ? EncodeReply(Framing::Crc, *replyText) : std::string();
}

struct FieldCase {
    int position;
    int count;
    const char* expected;
};

struct AnswerCase {
    const char* command;
    int length;
    std::vector<FieldCase> fields;
};

class AnswerTable : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerTable, answer_knownCommand_hasExactLengthAndFields)
{
    const AnswerCase& c = GetParam();
    auto model = MakeModel();
    const std::string frame = Frame(model.Answer(c.command));
    ASSERT_EQ(static_cast<int>(frame.size()), c.length) << c.command;
    EXPECT_TRUE(CheckReply(Framing::Crc, frame));
    EXPECT_EQ(ReplyField(frame, 2, 4), "0001");
    for (const auto& f : c.fields)
        EXPECT_EQ(ReplyField(frame, f.position, f.count), f.expected) << c.command << " at " << f.position;
}

// Every command the tool relies on, with the reply length that the interface
// table gives; the lengths the tool does not test are the sim's own choice.
INSTANTIATE_TEST_SUITE_P(
    Commands, AnswerTable,
    ::testing::Values(
        AnswerCase{"0001AC", cmd::ConnectReplyLength, {}},
        AnswerCase{"0099AC", cmd::ConnectReplyLength, {}},
        AnswerCase{"0001DB", cmd::DescribeReplyLength, {{8, 12, "KX410NT4-SG4"}, {20, 4, "0520"}}},
        AnswerCase{"0001AS", cmd::SerialNumberReplyLength, {{8, 8, "16030001"}}},
        AnswerCase{"0000AV16030001", cmd::IdBySerialReplyLength, {}},
        AnswerCase{"0000AV160300010001", cmd::IdBySerialReplyLength, {}},
        AnswerCase{"0001DG0", cmd::ReadInputsReplyLength, {{8, 8, "10100001"}, {24, 1, "\x04"}}},
        AnswerCase{"0001JC00110002", cmd::AckReplyLength, {}},
        AnswerCase{"0001JC00410002", cmd::AckReplyLength, {}},
        AnswerCase{"0001JD", cmd::AckReplyLength, {}},
        AnswerCase{"0001PI", cmd::PollReplyLength, {{8, 14, kNow}, {30, 1, "\x04"}}},
        AnswerCase{"0001IB", cmd::AckReplyLength, {}},
        AnswerCase{"0001AA20240301080509", cmd::AckReplyLength, {}},
        AnswerCase{"0001JF0", cmd::AckReplyLength, {}},
        AnswerCase{"0001JF6", cmd::AckReplyLength, {}},
        AnswerCase{"0001AR01", cmd::AckReplyLength, {}},
        AnswerCase{"0001AR00", cmd::AckReplyLength, {}},
        AnswerCase{"0001AE001002", cmd::AckReplyLength, {}},
        AnswerCase{"0001AE001400", cmd::AckReplyLength, {}},
        AnswerCase{"0001ASKX420NT4-SG4", cmd::AckReplyLength, {}},
        AnswerCase{"0001DDH1S", cmd::G4SerialReplyLength, {{11, 8, "44440001"}}},
        AnswerCase{"0001DDB3S", cmd::G4SerialReplyLength, {{11, 8, "44440003"}}},
        AnswerCase{"0001DDH1B", 17, {{6, 6, "DDH1OK"}}},
        AnswerCase{"0001DDH0C444400015", cmd::AckReplyLength, {}},
        AnswerCase{"0001DR050006880000010001", cmd::G6ShortReplyLength, {{30, 8, "A1B2C3D4"}}},
        AnswerCase{"0001DR050006880000010002", cmd::G6ShortReplyLength, {{30, 8, "00C0FFEE"}}},
        AnswerCase{"0001DR0500088400000200C0FFEE", cmd::G6LongReplyLength, {{38, 4, "0002"}, {41, 1, "2"}}},
        AnswerCase{"0001DR05001084000002" "00C0FFEE" "00C0FFEE" "0007" "0000", cmd::G6LongReplyLength, {{41, 1, "7"}}},
        AnswerCase{"0001DR05000688000203" "0001", cmd::G6ShortReplyLength,
                   {{26, 4, "0041"}, {30, 4, "000A"}, {34, 4, "0003"}}},
        AnswerCase{"0001DR05000688000203" "0002", cmd::G6ShortReplyLength,
                   {{26, 4, "0001"}, {30, 4, "0005"}, {34, 4, "0001"}}},
        AnswerCase{"0001DR05000E88000203" "0001" "0074" "FFFF" "0002" "0000", cmd::G6ShortReplyLength,
                   {{26, 12, "0074FFFF0002"}}}));

// The G6 replies as a module sends them: the channel, the byte count of what
// follows, the request's function with the address-mode bit cleared.
TEST(ControllerModel, g6Replies_countAndFunctionMatchTheRequest)
{
    auto model = MakeModel();
    const struct {
        std::string command;
        const char* countAndFunction;
    } cases[] = {
        {std::string(cmd::G6ReadSerialById) + "0001", "000E08000001"},
        {std::string(cmd::G6ReadCardType) + "0001", "000E08000203"},
        {std::string(cmd::G6WriteCardType) + "0001004100050001" "0000", "000E08000203"},
        {std::string(cmd::G6ReadIdBySerial) + "A1B2C3D4", "001004000002"},
        {std::string(cmd::G6SetIdBySerial) + "A1B2C3D4" "A1B2C3D4" "0003" "0000", "001004000002"},
    };
    for (const auto& c : cases) {
        const std::string frame = Frame(model.Answer("0001" + c.command));
        EXPECT_EQ(ReplyField(frame, 6, 4), cmd::G6PassThrough) << c.command;
        EXPECT_EQ(ReplyField(frame, 10, 12), c.countAndFunction) << c.command;
        // The count is the number of bytes (hex pairs) from the function to
        // the EOT.
        const std::size_t payload = frame.size() - ct::link::CrcReplyOverhead - 12;
        EXPECT_EQ(std::stoul(ReplyField(frame, 10, 4), nullptr, 16) * 2, payload) << c.command;
    }
}

TEST(ControllerModel, answer_unknownOrNotForIt_noAnswer)
{
    const char* commands[] = {
        "",          "0001",       "0002DB",         "0002AS",         "0001XX",
        "0001DBX",   "0001AA2024", "0001JFx",        "0001DDA1S",      "0001DDH2S",
        "0001DDHxS", "0001DR05",   "0000AV99999999", "0000AV1603000",  "0000AV16030001001",
        "0001AV16030001", "0001DR050006880000010005", "0001DR0500088400000299999999",
        "0001DR05000E880002030001004100",  // card-type write with words missing
        "0001ASKX410",                       // model name shorter than its 12 characters
        "0001JC00510002",                    // no fifth output
        "0001JC0011000",                     // an output command cut short
        "0001JF7",                           // alarm numbers are 0 to 6
        "0001DDX1S",                         // no module type X
    };
    for (const char* command : commands) {
        auto model = MakeModel();
        EXPECT_FALSE(model.Answer(command).has_value()) << command;
    }
}

TEST(ControllerModel, answer_afterIdSetBySerial_answersOnlyAtNewId)
{
    auto model = MakeModel();
    const std::string frame = Frame(model.Answer("0000AV160300010042"));
    ASSERT_EQ(frame.size(), Len(cmd::IdBySerialReplyLength));
    EXPECT_EQ(ReplyField(frame, 2, 4), "0042");
    EXPECT_EQ(model.config().id, "0042");
    EXPECT_FALSE(model.Answer("0001AS").has_value());
    EXPECT_EQ(ReplyField(Frame(model.Answer("0042AS")), 2, 4), "0042");
    EXPECT_EQ(ReplyField(Frame(model.Answer("0000AV16030001")), 2, 4), "0042");
    // "AC" at any ID tells the new one.
    EXPECT_EQ(ReplyField(Frame(model.Answer("0001AC")), 2, 4), "0042");
}

TEST(ControllerModel, answer_idSetForOtherSerial_keepsId)
{
    auto model = MakeModel();
    EXPECT_FALSE(model.Answer("0000AV160300020042").has_value());
    EXPECT_EQ(model.config().id, "0001");
}

TEST(ControllerModel, poll_recordsQueued_eachShownUntilAcknowledged)
{
    ControllerConfig c = TestConfig();
    c.records = {EventRecord{'1', "20240301075959", "0012", "12345"}, EventRecord{'7', "20231231235958", "00AB", "00001"}};
    auto model = MakeModel(c);

    std::string frame = Frame(model.Answer("0001PI"));
    ASSERT_EQ(frame.size(), Len(cmd::PollRecordReplyLength));
    EXPECT_TRUE(CheckReply(Framing::Crc, frame));
    EXPECT_EQ(ReplyField(frame, 8, 14), kNow);
    EXPECT_EQ(ReplyField(frame, 30, 1), "1");
    EXPECT_EQ(ReplyField(frame, 31, 14), "20240301075959");
    EXPECT_EQ(ReplyField(frame, 45, 4), "0012");
    EXPECT_EQ(ReplyField(frame, 49, 5), "12345");
    EXPECT_EQ(ReplyField(frame, 54, 1), "\x04");
    // Not acknowledged yet: the same record again.
    EXPECT_EQ(ReplyField(Frame(model.Answer("0001PI")), 30, 24), "120240301075959001212345");

    EXPECT_EQ(Frame(model.Answer("0001IB")).size(), Len(cmd::AckReplyLength));
    EXPECT_EQ(ReplyField(Frame(model.Answer("0001PI")), 30, 24), "720231231235958" "00AB" "00001");
    model.Answer("0001IB");
    EXPECT_EQ(Frame(model.Answer("0001PI")).size(), Len(cmd::PollReplyLength));
    EXPECT_EQ(Frame(model.Answer("0001IB")).size(), Len(cmd::AckReplyLength));
    EXPECT_TRUE(model.config().records.empty());
}

TEST(ControllerModel, answer_shortAckConfigured_onlyTimeAndAlarmShort)
{
    ControllerConfig c = TestConfig();
    c.shortAck = true;
    auto model = MakeModel(c);
    const auto shortAck = Len(cmd::ShortAckReplyLength);
    const auto ack = Len(cmd::AckReplyLength);
    EXPECT_EQ(Frame(model.Answer("0001AA20240301080509")).size(), shortAck);
    EXPECT_EQ(Frame(model.Answer("0001JF0")).size(), shortAck);
    EXPECT_EQ(Frame(model.Answer("0001AR01")).size(), ack);
    EXPECT_EQ(Frame(model.Answer("0001AE001002")).size(), ack);
    EXPECT_EQ(Frame(model.Answer("0001ASKX420NT4-SG4")).size(), ack);
}

TEST(ControllerModel, answer_modelNameSet_describesNewModelAndVersion)
{
    auto model = MakeModel();
    ASSERT_TRUE(model.Answer("0001ASKX430-NT-4R 0495").has_value());
    std::string frame = Frame(model.Answer("0001DB"));
    ASSERT_EQ(frame.size(), Len(cmd::DescribeReplyLength));
    EXPECT_EQ(ReplyField(frame, 8, 12), "KX430-NT-4R ");
    EXPECT_EQ(ReplyField(frame, 20, 4), "0495");

    ASSERT_TRUE(model.Answer("0001ASKX420NT4-SG4").has_value());
    frame = Frame(model.Answer("0001DB"));
    EXPECT_EQ(ReplyField(frame, 8, 16), "KX420NT4-SG40495");
}

TEST(ControllerModel, g4SetIdBySerial_matchingTypeAndSerial_moduleMoves)
{
    auto model = MakeModel();
    EXPECT_EQ(Frame(model.Answer("0001DDH0C444400015")).size(), Len(cmd::AckReplyLength));
    EXPECT_EQ(model.config().g4Modules[0].id, 5);
    EXPECT_FALSE(model.Answer("0001DDH1S").has_value());
    EXPECT_EQ(ReplyField(Frame(model.Answer("0001DDH5S")), 11, 8), "44440001");
}

TEST(ControllerModel, g4SetIdBySerial_otherTypeOrSerial_noAnswerNoChange)
{
    auto model = MakeModel();
    EXPECT_FALSE(model.Answer("0001DDA0C444400015").has_value());
    EXPECT_FALSE(model.Answer("0001DDH0C444400035").has_value());
    EXPECT_FALSE(model.Answer("0001DDH0C44440001x").has_value());
    EXPECT_EQ(model.config().g4Modules[0].id, 1);
    EXPECT_EQ(model.config().g4Modules[1].id, 3);
}

TEST(ControllerModel, g6SetIdBySerial_serialTwice_moduleMoves)
{
    auto model = MakeModel();
    const std::string frame = Frame(model.Answer("0001DR05001084000002" "00C0FFEE" "00C0FFEE" "0007" "0000"));
    ASSERT_EQ(frame.size(), Len(cmd::G6LongReplyLength));
    EXPECT_EQ(ReplyField(frame, 41, 1), "7");
    EXPECT_EQ(model.config().g6Modules[1].id, 7);
    EXPECT_EQ(ReplyField(Frame(model.Answer("0001DR050006880000010007")), 30, 8), "00C0FFEE");
    EXPECT_FALSE(model.Answer("0001DR050006880000010002").has_value());
}

TEST(ControllerModel, g6SetIdBySerial_serialsDiffer_noAnswerNoChange)
{
    auto model = MakeModel();
    EXPECT_FALSE(model.Answer("0001DR05001084000002" "00C0FFEE" "A1B2C3D4" "0007" "0000").has_value());
    EXPECT_FALSE(model.Answer("0001DR05001084000002" "00C0FFEE" "00C0FFEE" "00G7" "0000").has_value());
    EXPECT_EQ(model.config().g6Modules[1].id, 2);
}

TEST(ControllerModel, g6WriteCardType_wordsStored_answeredAndReadBack)
{
    auto model = MakeModel();
    std::string frame = Frame(model.Answer("0001DR05000E88000203" "0002" "0074" "FFFF" "0002" "0000"));
    ASSERT_EQ(frame.size(), Len(cmd::G6ShortReplyLength));
    EXPECT_EQ(ReplyField(frame, 26, 12), "0074FFFF0002");
    frame = Frame(model.Answer("0001DR05000688000203" "0002"));
    EXPECT_EQ(ReplyField(frame, 26, 12), "0074FFFF0002");
    const G6Module& m = model.config().g6Modules[1];
    EXPECT_EQ(m.cardType, 0x0074);
    EXPECT_EQ(m.delay, 0xFFFF);
    EXPECT_EQ(m.mode, 0x0002);
    // The other module keeps its own settings.
    EXPECT_EQ(ReplyField(Frame(model.Answer("0001DR05000688000203" "0001")), 26, 12), "0041000A0003");
}

TEST(ControllerModel, config_shortOrLongFields_fittedToReplyWidths)
{
    ControllerConfig c = TestConfig();
    c.id = "7";
    c.model = "KX430-NT-4R";
    c.serial = "123456789";
    auto model = MakeModel(c);
    EXPECT_EQ(ReplyField(Frame(model.Answer("0007DB")), 8, 16), "KX430-NT-4R 0520");
    EXPECT_EQ(ReplyField(Frame(model.Answer("0007AS")), 8, 8), "12345678");
}

// --- Faults -----------------------------------------------------------------

const std::string kText = "0001AS16030001";  // its CRC, E2AA, has letters

std::string Joined(const std::vector<ReplyChunk>& chunks)
{
    return std::accumulate(chunks.begin(), chunks.end(), std::string(),
                           [](std::string all, const ReplyChunk& c) { return all + c.bytes; });
}

Fault MakeFault(FaultKind kind, int count = 3)
{
    Fault f;
    f.kind = kind;
    f.count = count;
    return f;
}

// What the tool's reply assembler makes of the bytes.
struct Assembled {
    bool complete = false;
    bool check = false;
    std::size_t length = 0;
    std::string text;
};

Assembled Assemble(const std::string& bytes)
{
    ct::link::ReplyAssembler assembler(Framing::Crc);
    for (unsigned char b : bytes)
        if (assembler.Feed(b) == ct::link::AssembleStatus::Complete)
            return {true, assembler.Check(), assembler.position(), assembler.Text()};
    return {};
}

TEST(RenderReply, noFault_oneImmediateWellFormedFrame)
{
    const auto chunks = RenderReply(kText, {});
    ASSERT_EQ(chunks.size(), 1U);
    EXPECT_EQ(chunks[0].after, 0ms);
    EXPECT_EQ(chunks[0].bytes, EncodeReply(Framing::Crc, kText));
}

TEST(RenderReply, noAnswer_nothingSent)
{
    EXPECT_TRUE(RenderReply(kText, {MakeFault(FaultKind::NoAnswer)}).empty());
}

struct ByteFaultCase {
    FaultKind kind;
    int count;
    bool check;            // what CheckReply says
    std::size_t length;    // ReplyLength as assembled
    std::size_t textSize;  // ReplyText as assembled
};

class ByteFaults : public ::testing::TestWithParam<ByteFaultCase> {};

TEST_P(ByteFaults, renderReply_fault_assemblesAsDocumented)
{
    const ByteFaultCase& c = GetParam();
    const Assembled a = Assemble(Joined(RenderReply(kText, {MakeFault(c.kind, c.count)})));
    ASSERT_TRUE(a.complete);
    EXPECT_EQ(a.check, c.check);
    EXPECT_EQ(a.length, c.length);
    EXPECT_EQ(a.text.size(), c.textSize);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ByteFaults,
    ::testing::Values(ByteFaultCase{FaultKind::WrongCrc, 0, false, 21, 21},
                      ByteFaultCase{FaultKind::LowerCaseCrc, 0, false, 21, 21},
                      ByteFaultCase{FaultKind::ExtraBytes, 2, true, 23, 23},
                      // The NUL replaces text character 14, frame position 15.
                      ByteFaultCase{FaultKind::NulInside, 0, true, 21, 14},
                      ByteFaultCase{FaultKind::NoiseBefore, 6, true, 21, 21},
                      ByteFaultCase{FaultKind::WrongLength, 3, true, 24, 24}));

TEST(RenderReply, lowerCaseCrc_onlyCaseOfCrcDiffers)
{
    const std::string good = EncodeReply(Framing::Crc, kText);
    const std::string bad = Joined(RenderReply(kText, {MakeFault(FaultKind::LowerCaseCrc)}));
    EXPECT_EQ(bad.substr(16, 4), "e2aa");
    EXPECT_EQ(bad.substr(0, 16), good.substr(0, 16));
}

TEST(RenderReply, noiseBefore_noiseHoldsCrAndNoStartByte)
{
    const std::string noise = NoiseBytes(12);
    EXPECT_NE(noise.find('\r'), std::string::npos);
    EXPECT_EQ(noise.find('\x03'), std::string::npos);
    const std::string bytes = Joined(RenderReply(kText, {MakeFault(FaultKind::NoiseBefore, 12)}));
    EXPECT_EQ(bytes, noise + EncodeReply(Framing::Crc, kText));
}

TEST(RenderReply, splitBytes_oneByteAtATimeWithGap)
{
    Fault split = MakeFault(FaultKind::SplitBytes);
    split.gap = 100ms;
    Fault delay = MakeFault(FaultKind::Delay);
    delay.delay = 250ms;
    const auto chunks = RenderReply(kText, {split, delay});
    ASSERT_EQ(chunks.size(), 21U);
    EXPECT_EQ(chunks[0].after, 250ms);
    for (std::size_t i = 1; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].bytes.size(), 1U);
        EXPECT_EQ(chunks[i].after, 100ms);
    }
    EXPECT_EQ(Joined(chunks), EncodeReply(Framing::Crc, kText));
}

TEST(RenderReply, delay_wholeFrameAfterDelay)
{
    Fault delay = MakeFault(FaultKind::Delay);
    delay.delay = 1600ms;
    const auto chunks = RenderReply(kText, {delay});
    ASSERT_EQ(chunks.size(), 1U);
    EXPECT_EQ(chunks[0].after, 1600ms);
    EXPECT_EQ(chunks[0].bytes, EncodeReply(Framing::Crc, kText));
}

TEST(FaultSet, take_countedFault_appliesTimesThenGone)
{
    FaultSet set;
    Fault f = MakeFault(FaultKind::WrongCrc);
    f.times = 2;
    set.Add(f);
    EXPECT_EQ(set.Take("AS").size(), 1U);
    EXPECT_EQ(set.Take("DB").size(), 1U);
    EXPECT_TRUE(set.Take("AS").empty());
    EXPECT_TRUE(set.Take("DB").empty());
}

TEST(FaultSet, take_timesMinusOne_appliesEveryTime)
{
    FaultSet set;
    Fault f = MakeFault(FaultKind::NoAnswer);
    f.times = -1;
    set.Add(f);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(set.Take("AC").size(), 1U);
}

TEST(FaultSet, take_commandPrefix_onlyMatchingCommandsUseIt)
{
    FaultSet set;
    Fault f = MakeFault(FaultKind::Delay);
    f.command = "DG";
    set.Add(f);
    EXPECT_TRUE(set.Take("DB").empty());
    EXPECT_TRUE(set.Take("AS").empty());
    EXPECT_EQ(set.Take("DG0").size(), 1U);
    EXPECT_TRUE(set.Take("DG0").empty());
}

TEST(ParseFaultOption, forms_parsedOrRefused)
{
    auto f = ParseFaultOption("no-answer");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, FaultKind::NoAnswer);
    EXPECT_EQ(f->command, "");
    EXPECT_EQ(f->times, -1);

    f = ParseFaultOption("split-bytes:AS:2:100");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, FaultKind::SplitBytes);
    EXPECT_EQ(f->command, "AS");
    EXPECT_EQ(f->times, 2);
    EXPECT_EQ(f->gap, 100ms);

    f = ParseFaultOption("extra-bytes::-1:5");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->count, 5);
    EXPECT_EQ(ParseFaultOption("delay:DB::1600")->delay, 1600ms);

    // An argument only for a kind that takes one, and within reason: a count
    // of noise bytes is allocated for every reply.
    for (const char* bad : {"", "nonsense", "delay:DB:0", "delay:DB:x", "delay:DB:1:-5", "delay:DB:1:5:6",
                            "wrong-crc:DB:1:5", "noise-before::-1:4097", "delay::1:3600001"})
        EXPECT_FALSE(ParseFaultOption(bad)) << bad;
}

TEST(ParseRecordOption, forms_parsedOrRefused)
{
    const auto r = ParseRecordOption("1,20240301075959,0012,12345");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->tag, '1');
    EXPECT_EQ(r->timestamp, "20240301075959");
    EXPECT_EQ(r->code, "0012");
    EXPECT_EQ(r->value, "12345");
    // Control characters would end or break the poll reply's frame.
    for (const char* bad : {"", "1,2024,0012,12345", "12,20240301075959,0012,12345", "1,20240301075959,12,12345",
                            "1,20240301075959,0012,12345,9", "\x03,20240301075959,0012,12345",
                            "1,20240301075959,00\r2,12345"})
        EXPECT_FALSE(ParseRecordOption(bad)) << bad;
}

}  // namespace
