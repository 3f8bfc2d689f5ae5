// The substitute controller without I/O: what it answers (lengths and field
// positions as the tool reads them), how commands change its state, the bytes
// of faulty replies, and how it takes requests apart.

#include "sim/ControllerModel.h"
#include "sim/FaultPlan.h"
#include "sim/RequestAssembler.h"

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

INSTANTIATE_TEST_SUITE_P(
    Commands, AnswerTable,
    ::testing::Values(
        AnswerCase{"0001AC", 17, {}},
        AnswerCase{"0099AC", 17, {}},
        AnswerCase{"0001DB", 29, {{8, 12, "KX410NT4-SG4"}, {20, 4, "0520"}}},
        AnswerCase{"0001AS", 21, {{8, 8, "16030001"}}},
        AnswerCase{"0000AV16030001", 17, {}},
        AnswerCase{"0001DG0", 29, {{8, 8, "10100001"}, {24, 1, "\x04"}}},
        AnswerCase{"0001JC00310002", 13, {}},
        AnswerCase{"0001JD", 13, {}},
        AnswerCase{"0001PI", 35, {{8, 14, kNow}, {30, 1, "\x04"}}},
        AnswerCase{"0001IB", 13, {}},
        AnswerCase{"0001AA20240301080509", 13, {}},
        AnswerCase{"0001JF6", 13, {}},
        AnswerCase{"0001AR01", 13, {}},
        AnswerCase{"0001AR00", 13, {}},
        AnswerCase{"0001AE001002", 13, {}},
        AnswerCase{"0001AE001400", 13, {}},
        AnswerCase{"0001ASKX420NT4-SG4", 13, {}},
        AnswerCase{"0001DDH1S", 24, {{11, 8, "44440001"}}},
        AnswerCase{"0001DDB3S", 24, {{11, 8, "44440003"}}},
        AnswerCase{"0001DDH1B", 17, {{6, 6, "DDH1OK"}}},
        AnswerCase{"0001DR050006880000010001", 47, {{30, 8, "A1B2C3D4"}}},
        AnswerCase{"0001DR050006880000010002", 47, {{30, 8, "00C0FFEE"}}},
        AnswerCase{"0001DR0500088400000200C0FFEE", 51, {{38, 4, "0002"}, {41, 1, "2"}}},
        AnswerCase{"0001DR05000688000203" "0001", 47, {{26, 4, "0041"}, {30, 4, "000A"}, {34, 4, "0003"}}},
        AnswerCase{"0001DR05000688000203" "0002", 47, {{26, 4, "0001"}, {30, 4, "0005"}, {34, 4, "0001"}}}));

TEST(ControllerModel, answer_unknownOrNotForIt_noAnswer)
{
    const char* commands[] = {
        "",          "0001",       "0002DB",         "0002AS",         "0001XX",
        "0001DBX",   "0001AA2024", "0001JFx",        "0001DDA1S",      "0001DDH2S",
        "0001DDHxS", "0001DR05",   "0000AV99999999", "0000AV1603000",  "0000AV16030001001",
        "0001AV16030001", "0001DR050006880000010005", "0001DR0500088400000299999999",
        "0001DR05000E880002030001004100",  // card-type write with words missing
        "0001ASKX410",                       // model name shorter than its 12 characters
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
    ASSERT_EQ(frame.size(), 17U);
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
    ASSERT_EQ(frame.size(), 59U);
    EXPECT_TRUE(CheckReply(Framing::Crc, frame));
    EXPECT_EQ(ReplyField(frame, 8, 14), kNow);
    EXPECT_EQ(ReplyField(frame, 30, 1), "1");
    EXPECT_EQ(ReplyField(frame, 31, 14), "20240301075959");
    EXPECT_EQ(ReplyField(frame, 45, 4), "0012");
    EXPECT_EQ(ReplyField(frame, 49, 5), "12345");
    EXPECT_EQ(ReplyField(frame, 54, 1), "\x04");
    // Not acknowledged yet: the same record again.
    EXPECT_EQ(ReplyField(Frame(model.Answer("0001PI")), 30, 24), "120240301075959001212345");

    EXPECT_EQ(Frame(model.Answer("0001IB")).size(), 13U);
    EXPECT_EQ(ReplyField(Frame(model.Answer("0001PI")), 30, 24), "720231231235958" "00AB" "00001");
    model.Answer("0001IB");
    EXPECT_EQ(Frame(model.Answer("0001PI")).size(), 35U);
    EXPECT_EQ(Frame(model.Answer("0001IB")).size(), 13U);
    EXPECT_TRUE(model.config().records.empty());
}

TEST(ControllerModel, answer_shortAckConfigured_onlyTimeAndAlarmShort)
{
    ControllerConfig c = TestConfig();
    c.shortAck = true;
    auto model = MakeModel(c);
    EXPECT_EQ(Frame(model.Answer("0001AA20240301080509")).size(), 12U);
    EXPECT_EQ(Frame(model.Answer("0001JF0")).size(), 12U);
    EXPECT_EQ(Frame(model.Answer("0001AR01")).size(), 13U);
    EXPECT_EQ(Frame(model.Answer("0001AE001002")).size(), 13U);
}

TEST(ControllerModel, answer_modelNameSet_describesNewModelAndVersion)
{
    auto model = MakeModel();
    ASSERT_TRUE(model.Answer("0001ASKX430-NT-4R 0495").has_value());
    std::string frame = Frame(model.Answer("0001DB"));
    ASSERT_EQ(frame.size(), 29U);
    EXPECT_EQ(ReplyField(frame, 8, 12), "KX430-NT-4R ");
    EXPECT_EQ(ReplyField(frame, 20, 4), "0495");

    ASSERT_TRUE(model.Answer("0001ASKX420NT4-SG4").has_value());
    frame = Frame(model.Answer("0001DB"));
    EXPECT_EQ(ReplyField(frame, 8, 16), "KX420NT4-SG40495");
}

TEST(ControllerModel, g4SetIdBySerial_matchingTypeAndSerial_moduleMoves)
{
    auto model = MakeModel();
    EXPECT_EQ(Frame(model.Answer("0001DDH0C444400015")).size(), 13U);
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
    ASSERT_EQ(frame.size(), 51U);
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
    ASSERT_EQ(frame.size(), 47U);
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
    EXPECT_TRUE(set.Empty());
}

TEST(FaultSet, take_untilCleared_appliesEveryTime)
{
    FaultSet set;
    Fault f = MakeFault(FaultKind::NoAnswer);
    f.times = -1;
    set.Add(f);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(set.Take("AC").size(), 1U);
    set.Clear();
    EXPECT_TRUE(set.Take("AC").empty());
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
    EXPECT_TRUE(set.Empty());
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

    for (const char* bad : {"", "nonsense", "delay:DB:0", "delay:DB:x", "delay:DB:1:-5", "delay:DB:1:5:6"})
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
    for (const char* bad : {"", "1,2024,0012,12345", "12,20240301075959,0012,12345", "1,20240301075959,12,12345",
                            "1,20240301075959,0012,12345,9"})
        EXPECT_FALSE(ParseRecordOption(bad)) << bad;
}

// --- Requests ---------------------------------------------------------------

std::vector<std::pair<RequestStatus, std::string>> FeedAll(RequestAssembler& a, const std::string& bytes)
{
    std::vector<std::pair<RequestStatus, std::string>> out;
    for (unsigned char b : bytes) {
        const RequestStatus s = a.Feed(b);
        if (s != RequestStatus::Incomplete)
            out.emplace_back(s, a.Text());
    }
    return out;
}

std::string Request(const std::string& text)
{
    return ct::link::EncodeRequestString(Framing::Crc, text);
}

TEST(RequestAssembler, feed_validFrames_commandTexts)
{
    RequestAssembler a;
    const auto got = FeedAll(a, Request("0001AS") + Request("") + Request("0000AV160300010042"));
    ASSERT_EQ(got.size(), 3U);
    EXPECT_EQ(got[0], std::make_pair(RequestStatus::Valid, std::string("0001AS")));
    EXPECT_EQ(got[1], std::make_pair(RequestStatus::Valid, std::string()));
    EXPECT_EQ(got[2], std::make_pair(RequestStatus::Valid, std::string("0000AV160300010042")));
}

TEST(RequestAssembler, feed_badCrc_refusedAndNextFrameTaken)
{
    std::string bad = Request("0001AS");
    bad[9] = bad[9] == '0' ? '1' : '0';
    RequestAssembler a;
    const auto got = FeedAll(a, bad + Request("0001DB"));
    ASSERT_EQ(got.size(), 2U);
    EXPECT_EQ(got[0].first, RequestStatus::BadCheck);
    EXPECT_EQ(got[1], std::make_pair(RequestStatus::Valid, std::string("0001DB")));
}

TEST(RequestAssembler, feed_noiseAndRestartedFrame_lastFrameTaken)
{
    RequestAssembler a;
    // Noise with a CR before any SOH, then a frame cut short by a new SOH.
    const auto got = FeedAll(a, std::string("xy\r\x05") + std::string("\x01" "0001D") + Request("0001DG0"));
    ASSERT_EQ(got.size(), 1U);
    EXPECT_EQ(got[0], std::make_pair(RequestStatus::Valid, std::string("0001DG0")));
}

TEST(RequestAssembler, feed_xorFramedRequest_refused)
{
    RequestAssembler a;
    const auto got = FeedAll(a, ct::link::EncodeRequestString(Framing::Xor, "0001AS"));
    ASSERT_EQ(got.size(), 1U);
    EXPECT_EQ(got[0].first, RequestStatus::BadCheck);
}

TEST(RequestAssembler, feed_overlongFrame_droppedThenRecovers)
{
    RequestAssembler a;
    const std::string overlong = "\x01" + std::string(2000, 'A') + "\r";
    const auto got = FeedAll(a, overlong + Request("0001AS"));
    ASSERT_EQ(got.size(), 1U);
    EXPECT_EQ(got[0], std::make_pair(RequestStatus::Valid, std::string("0001AS")));
}

}  // namespace
