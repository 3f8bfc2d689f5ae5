// G6 reader modules on the fake link: the five pass-through command texts,
// every passed reply shown before its length is judged, the fields read from
// replies of the right length (serial number, ID digit, card-type words), the
// words written from the page's controls, and serial numbers too long for
// one request refused before the link is opened.
#include "modules/G6Module.h"

#include "support/OperationChecks.h"
#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace ct::modules {

void PrintTo(const CardTypeWords& w, std::ostream* os)
{
    *os << '{' << Hex4(w.cardType) << ' ' << Hex4(w.delay) << ' ' << Hex4(w.mode) << '}';
}

}  // namespace ct::modules

namespace {

using ct::link::Lamp;
using ct::link::StatusMessage;
using ct::modules::CardTypeChoice;
using ct::modules::CardTypeWords;
using ct::tests::Outcome;

class RecordingG6View final : public ct::modules::IG6View {
public:
    void ShowReply(const std::string& replyText) override { replies.push_back(replyText); }
    void ShowSerial(const std::string& serial) override { serials.push_back(serial); }
    void SelectModuleId(int id) override { ids.push_back(id); }
    void ShowCardTypes(const CardTypeWords& w) override { words.push_back(w); }
    std::vector<std::string> replies;
    std::vector<std::string> serials;
    std::vector<int> ids;
    std::vector<CardTypeWords> words;
};

struct G6Rig : ct::testing::OperationRig {
    RecordingG6View view;
};

// A reply text whose frame is `frameLength` bytes, with `field` at ReplyText
// position `position` (position 1 is the ETX before the text).
std::string ReplyWith(int frameLength, int position, const std::string& field)
{
    std::string text = ct::testing::ReplyTextOfLength(static_cast<std::size_t>(frameLength) - 7);
    text.replace(static_cast<std::size_t>(position) - 2, field.size(), field);
    return text;
}

// The words at 26-29, 30-33 and 34-37 of a 47-byte reply.
std::string CardReply(const std::string& cardType, const std::string& delay, const std::string& mode)
{
    return ReplyWith(47, 26, cardType + delay + mode);
}

const CardTypeChoice kStartChoice{ct::modules::CardUidA | ct::modules::CardGuidB, "10", true, true};

Outcome ReadSerial(G6Rig& r) { return ct::modules::RunG6ReadSerial(r.frame, "0000", 1, r.view); }
Outcome ReadId(G6Rig& r) { return ct::modules::RunG6ReadId(r.frame, "0000", "16030001", r.view); }
Outcome SetId(G6Rig& r) { return ct::modules::RunG6SetId(r.frame, "0000", "16030001", 1, r.view); }
Outcome GetCardType(G6Rig& r) { return ct::modules::RunG6GetCardType(r.frame, "0000", 1, r.view); }
Outcome SetCardType(G6Rig& r)
{
    return ct::modules::RunG6SetCardType(r.frame, "0000", 1, ct::modules::WordsToWrite(kStartChoice), r.view);
}

TEST(G6Commands, eachOperation_exactTextAfterOnePauseWithoutMessageOfItsOwn)
{
    struct Case {
        const char* name;
        std::function<Outcome(G6Rig&)> run;
        std::string command;
    };
    const Case cases[] = {
        {"read serial", ReadSerial, "0000DR050006880000010001"},
        {"read serial, ID 0", [](G6Rig& r) { return ct::modules::RunG6ReadSerial(r.frame, "0000", 0, r.view); },
         "0000DR050006880000010000"},
        {"read ID", ReadId, "0000DR0500088400000216030001"},
        {"set ID", SetId, "0000DR05001084000002160300011603000100010000"},
        {"set ID 8", [](G6Rig& r) { return ct::modules::RunG6SetId(r.frame, "0000", "16030001", 8, r.view); },
         "0000DR05001084000002160300011603000100080000"},
        {"get card type", GetCardType, "0000DR050006880002030001"},
        {"set card type", SetCardType, "0000DR05000E8800020300010041000A00030000"},
        {"set card type, fallback words",
         [](G6Rig& r) {
             return ct::modules::RunG6SetCardType(
                 r.frame, "0005", 8, ct::modules::WordsToWrite({0x7F, "1a", true, true}), r.view);
         },
         "0005DR05000E8800020300080000000A00010000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        G6Rig rig;

        c.run(rig);

        ct::testing::ExpectOnlyCommandAfterOnePause(rig, c.command);
    }
}

struct OperationCase {
    const char* name;
    Outcome (*run)(G6Rig&);
    int replyLength;
    std::string goodReply;  // a reply text of replyLength whose fields read
};

void PrintTo(const OperationCase& c, std::ostream* os) { *os << c.name; }

const OperationCase kOperations[] = {
    {"readSerial", ReadSerial, 47, ReplyWith(47, 30, "12345678")},
    {"readId", ReadId, 51, ReplyWith(51, 41, "3")},
    {"setId", SetId, 51, ReplyWith(51, 41, "3")},
    {"getCardType", GetCardType, 47, CardReply("0041", "000A", "0003")},
    {"setCardType", SetCardType, 47, CardReply("0041", "000A", "0003")},
};

class G6OperationTest : public ::testing::TestWithParam<OperationCase> {};

TEST_P(G6OperationTest, passedReplyOfEachLength_shownWholeOkOnlyAtItsLength)
{
    const OperationCase& op = GetParam();
    for (const int length : {12, 13, 24, 46, 47, 48, 50, 51, 52}) {
        SCOPED_TRACE(length);
        // The good reply cut or padded to the length, its fields kept where they fit.
        std::string text = op.goodReply;
        text.resize(static_cast<std::size_t>(length) - 7, 'Z');
        G6Rig rig;
        rig.AnswerText([&](const std::string&) { return text; });

        const Outcome outcome = op.run(rig);

        EXPECT_EQ(rig.view.replies, std::vector<std::string>{ct::testing::CrcFrame(text)});
        const bool ok = length == op.replyLength;
        EXPECT_EQ(outcome, ok ? Outcome::CommandOk : Outcome::CommandError);
        EXPECT_EQ(rig.status.statuses.back(), ok ? StatusMessage::CommandOk : StatusMessage::CommandError);
        EXPECT_EQ(rig.status.lamp, ok ? Lamp::Yellow : Lamp::Red);
        EXPECT_EQ(rig.beeper.frequencies, std::vector<int>{ok ? ct::link::HighBeepHz : ct::link::LowBeepHz});
        if (!ok) {
            EXPECT_TRUE(rig.view.serials.empty());
            EXPECT_TRUE(rig.view.ids.empty());
            EXPECT_TRUE(rig.view.words.empty());
        }
        EXPECT_FALSE(rig.device.open);
    }
}

TEST_P(G6OperationTest, silenceOrBadCrc_commandErrorNothingShown)
{
    const OperationCase& op = GetParam();
    for (const bool silent : {true, false}) {
        SCOPED_TRACE(silent ? "silence" : "bad CRC");
        G6Rig rig;
        rig.Respond([&](const std::string&) {
            return silent ? std::string() : ct::testing::BadCrcFrame(op.goodReply);
        });

        EXPECT_EQ(op.run(rig), Outcome::CommandError);
        EXPECT_TRUE(rig.view.replies.empty());
        EXPECT_TRUE(rig.view.serials.empty());
        EXPECT_TRUE(rig.view.ids.empty());
        EXPECT_TRUE(rig.view.words.empty());
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
        EXPECT_FALSE(rig.device.open);
    }
}

TEST_P(G6OperationTest, linkCannotBeOpened_connectErrorNothingSentNothingShown)
{
    G6Rig rig;
    rig.device.failSerialOpen = true;

    EXPECT_EQ(GetParam().run(rig), Outcome::ConnectError);
    EXPECT_TRUE(rig.device.frames.empty());
    EXPECT_TRUE(rig.clock.sleeps.empty());
    EXPECT_TRUE(rig.view.replies.empty());
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::ConnectError);
}

INSTANTIATE_TEST_SUITE_P(Operations, G6OperationTest, ::testing::ValuesIn(kOperations),
                         [](const ::testing::TestParamInfo<OperationCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(G6ReadSerial, reply47_serialFromPositions30To37)
{
    G6Rig rig;
    rig.AnswerText([](const std::string&) { return ReplyWith(47, 30, "8765ABCD"); });

    EXPECT_EQ(ReadSerial(rig), Outcome::CommandOk);
    EXPECT_EQ(rig.view.serials, std::vector<std::string>{"8765ABCD"});
    EXPECT_TRUE(rig.view.ids.empty());
}

TEST(G6ReadId, position41_digitSelectsThatItemAnythingElseFails)
{
    struct Case {
        char at41;
        std::optional<int> id;
    };
    const Case cases[] = {
        {'0', 0}, {'1', 1}, {'5', 5}, {'8', 8}, {'9', 9},
        {'A', std::nullopt}, {' ', std::nullopt}, {'/', std::nullopt}, {':', std::nullopt}, {'-', std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.at41));
        G6Rig rig;
        const std::string text = ReplyWith(51, 41, std::string(1, c.at41));
        rig.AnswerText([&](const std::string&) { return text; });

        const Outcome outcome = ReadId(rig);

        EXPECT_EQ(rig.view.replies, std::vector<std::string>{ct::testing::CrcFrame(text)});
        if (c.id) {
            EXPECT_EQ(outcome, Outcome::CommandOk);
            EXPECT_EQ(rig.view.ids, std::vector<int>{*c.id});
        } else {
            EXPECT_EQ(outcome, Outcome::CommandError);
            EXPECT_TRUE(rig.view.ids.empty());
            EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
        }
    }
}

TEST(G6ReadId, reply47WithDigitAt41_refusedShownNoIdSelected)
{
    G6Rig rig;
    const std::string text = ReplyWith(47, 41, "3");
    rig.AnswerText([&](const std::string&) { return text; });

    EXPECT_EQ(ReadId(rig), Outcome::CommandError);
    EXPECT_EQ(rig.view.replies, std::vector<std::string>{ct::testing::CrcFrame(text)});
    EXPECT_TRUE(rig.view.ids.empty());
}

TEST(G6SetId, reply51_okNothingButTheReplyShown)
{
    G6Rig rig;
    rig.AnswerText([](const std::string&) { return ReplyWith(51, 41, "X"); });

    EXPECT_EQ(SetId(rig), Outcome::CommandOk);
    EXPECT_EQ(rig.view.replies.size(), 1u);
    EXPECT_TRUE(rig.view.ids.empty());
    EXPECT_TRUE(rig.view.serials.empty());
}

TEST(G6CardTypeReply, wordsAt26To37_readAsHexOrTheOperationFails)
{
    struct Case {
        const char* cardType;
        const char* delay;
        const char* mode;
        std::optional<CardTypeWords> words;
    };
    const Case cases[] = {
        {"0041", "000A", "0003", CardTypeWords{0x0041, 0x000A, 0x0003}},
        {"0041", "FFFF", "0003", CardTypeWords{0x0041, 65535, 0x0003}},
        {"0041", "000A", "0002", CardTypeWords{0x0041, 0x000A, 0x0002}},
        {"0008", "000A", "0001", CardTypeWords{0x0008, 0x000A, 0x0001}},
        {"FFFF", "0000", "FFFF", CardTypeWords{0xFFFF, 0x0000, 0xFFFF}},
        {"00ff", "03e7", "0001", CardTypeWords{0x00FF, 999, 0x0001}},
        {"00G1", "000A", "0003", std::nullopt},
        {" 041", "000A", "0003", std::nullopt},
        {"+041", "000A", "0003", std::nullopt},
        {"-001", "000A", "0003", std::nullopt},
        {"0041", "0x0A", "0003", std::nullopt},
        {"0041", "000 ", "0003", std::nullopt},
        {"0041", "000A", "000g", std::nullopt},
        {"0041", "000A", "-001", std::nullopt},
    };
    for (Outcome (*run)(G6Rig&) : {GetCardType, SetCardType}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.cardType) + "|" + c.delay + "|" + c.mode);
            G6Rig rig;
            const std::string text = CardReply(c.cardType, c.delay, c.mode);
            rig.AnswerText([&](const std::string&) { return text; });

            const Outcome outcome = run(rig);

            EXPECT_EQ(rig.view.replies, std::vector<std::string>{ct::testing::CrcFrame(text)});
            if (c.words) {
                EXPECT_EQ(outcome, Outcome::CommandOk);
                EXPECT_EQ(rig.view.words, std::vector<CardTypeWords>{*c.words});
            } else {
                EXPECT_EQ(outcome, Outcome::CommandError);
                EXPECT_TRUE(rig.view.words.empty());
                EXPECT_EQ(rig.status.lamp, Lamp::Red);
            }
        }
    }
}

TEST(G6WordsToWrite, delayText_numberAsLow16BitsAnythingElseTheFixedWords)
{
    const CardTypeWords fallback{0x0000, 0x000A, 0x0001};
    struct Case {
        CardTypeChoice choice;
        CardTypeWords words;
    };
    const std::uint16_t all = ct::modules::CardKindMask;
    const Case cases[] = {
        {kStartChoice, {0x0041, 0x000A, 0x0003}},
        {{0x0041, "999", true, true}, {0x0041, 0x03E7, 0x0003}},
        {{0x0041, "-1", true, true}, {0x0041, 0xFFFF, 0x0003}},
        {{0x0041, "0", false, false}, {0x0041, 0x0000, 0x0000}},
        {{0x0041, "65535", false, true}, {0x0041, 0xFFFF, 0x0002}},
        {{0x0041, "65536", true, false}, {0x0041, 0x0000, 0x0001}},
        {{0x0041, "+10", true, true}, {0x0041, 0x000A, 0x0003}},
        {{0x0041, "010", true, true}, {0x0041, 0x000A, 0x0003}},
        {{0x0041, "-2147483648", true, true}, {0x0041, 0x0000, 0x0003}},
        {{0x0041, "2147483647", true, true}, {0x0041, 0xFFFF, 0x0003}},
        {{all, "10", true, true}, {0x0077, 0x000A, 0x0003}},
        {{0xFFFF, "10", true, true}, {0x0077, 0x000A, 0x0003}},
        {{0x0008, "10", false, false}, {0x0000, 0x000A, 0x0000}},
        {{0x0041, "1a", true, true}, fallback},
        {{0x0041, "", true, true}, fallback},
        {{0x0041, " 10", true, true}, fallback},
        {{0x0041, "10 ", true, true}, fallback},
        {{0x0041, "+", true, true}, fallback},
        {{0x0041, "-", true, true}, fallback},
        {{0x0041, "1.5", true, true}, fallback},
        {{0x0041, "99999999999", true, true}, fallback},
        {{0x0041, "2147483648", true, true}, fallback},
        {{all, "x", true, true}, fallback},
        {{0x0000, "x", false, false}, fallback},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.choice.delayText + "\" kinds " + ct::modules::Hex4(c.choice.kinds));
        EXPECT_EQ(ct::modules::WordsToWrite(c.choice), c.words);
    }
}

TEST(G6ParseDecimal, text_signedDecimalWithin32BitsOrNothing)
{
    constexpr std::int32_t min = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"0", 0}, {"-0", 0}, {"+0", 0}, {"7", 7}, {"-1", -1}, {"+42", 42}, {"00000000000000000012", 12},
        {"2147483647", max}, {"-2147483648", min}, {"+2147483647", max},
        {"2147483648", std::nullopt}, {"-2147483649", std::nullopt}, {"+2147483648", std::nullopt},
        {"4294967296", std::nullopt}, {"99999999999", std::nullopt}, {"-99999999999999999999999", std::nullopt},
        {"", std::nullopt}, {"+", std::nullopt}, {"-", std::nullopt}, {"--1", std::nullopt}, {"+-1", std::nullopt},
        {" 1", std::nullopt}, {"1 ", std::nullopt}, {"1a", std::nullopt}, {"0x10", std::nullopt},
        {"1-", std::nullopt}, {"1e3", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ct::modules::ParseDecimal(c.text), c.value);
    }
}

TEST(G6Hex4, value_fourUpperCaseDigitsOfLow16Bits)
{
    struct Case {
        unsigned value;
        const char* text;
    };
    const Case cases[] = {{0, "0000"}, {1, "0001"}, {0x41, "0041"}, {0xABCD, "ABCD"}, {0xFFFF, "FFFF"},
                          {0x10000, "0000"}, {0x12345, "2345"}, {0xFFFFFFFFu, "FFFF"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ct::modules::Hex4(c.value), c.text);
    }
}

TEST(G6BySerial, serialAtRequestLimit_sentOneMoreRefusedBeforeOpen)
{
    struct Case {
        const char* name;
        std::function<Outcome(G6Rig&, const std::string&)> run;
        std::size_t fixed;   // characters besides the serial numbers
        std::size_t copies;  // times the serial number is sent
    };
    const Case cases[] = {
        {"read ID",
         [](G6Rig& r, const std::string& s) { return ct::modules::RunG6ReadId(r.frame, "0000", s, r.view); }, 20, 1},
        {"set ID",
         [](G6Rig& r, const std::string& s) { return ct::modules::RunG6SetId(r.frame, "0000", s, 1, r.view); }, 28,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t room = (1493 - c.fixed) / c.copies;
        {
            G6Rig rig;
            rig.AnswerText([](const std::string&) { return ReplyWith(51, 41, "3"); });
            EXPECT_EQ(c.run(rig, std::string(room, '1')), Outcome::CommandOk);
            ASSERT_EQ(rig.device.commands.size(), 1u);
            EXPECT_EQ(rig.device.commands[0].size(), c.fixed + c.copies * room);
        }
        {
            G6Rig rig;
            EXPECT_EQ(c.run(rig, std::string(room + 1, '1')), Outcome::TooLong);
            EXPECT_EQ(rig.device.opens, 0);
            EXPECT_TRUE(rig.device.frames.empty());
            EXPECT_TRUE(rig.status.statuses.empty());
            EXPECT_TRUE(rig.view.replies.empty());
        }
    }
}

}  // namespace
