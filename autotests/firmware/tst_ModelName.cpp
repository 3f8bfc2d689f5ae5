// The model name setting on the fake link: the 12-character name field
// (trimmed, padded, cut), the optional version, the title and the 100 ms
// pause before the one command, and the reply length that counts.
#include "firmware/ModelName.h"

#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ct::link::StatusMessage;
using ct::testing::OperationRig;
using ct::testing::RecordingTitleView;
using ct::tests::Outcome;
using ct::tests::Title;

struct Rig : OperationRig {
    Rig()
    {
        AnswerText([](const std::string&) { return std::string("0001AS"); });
    }
    Outcome Run(const std::string& model, const std::optional<std::string>& version)
    {
        return ct::firmware::RunSetModelName(frame, view, "0001", model, version);
    }
    RecordingTitleView view{log};
};

struct NameCase {
    const char* name;
    std::string typed;
    std::optional<std::string> version;  // nothing: the box is clear
    std::string command;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

const NameCase kNames[] = {
    {"twelveChars", "KX410NT4-SG4", std::nullopt, "0001ASKX410NT4-SG4"},
    {"elevenChars_oneSpace", "KX430-NT-4R", std::nullopt, "0001ASKX430-NT-4R "},
    {"surroundingSpaces", "  KX420NT4-SG4   ", std::nullopt, "0001ASKX420NT4-SG4"},
    {"controlCharacters", "\t\r\nKX405\x01", std::nullopt, "0001ASKX405       "},
    {"innerSpaceKept", " KX4 05 ", std::nullopt, "0001ASKX4 05      "},
    {"longerThanTwelve_cut", "KX410NT4-SG4-EXTRA", std::nullopt, "0001ASKX410NT4-SG4"},
    {"longAfterTrim_cutAfterTrim", "   KX410NT4-SG4XYZ", std::nullopt, "0001ASKX410NT4-SG4"},
    {"empty_twelveSpaces", "", std::nullopt, "0001AS            "},
    {"onlyBlanks_twelveSpaces", " \t ", std::nullopt, "0001AS            "},
    {"version", "KX460NT4-G3F", std::string("0495"), "0001ASKX460NT4-G3F0495"},
    {"versionTrimmed", "KX460NT4-G3F", std::string(" 0298\t"), "0001ASKX460NT4-G3F0298"},
    {"versionShortNotFilled", "KX430-NT-4R", std::string("12"), "0001ASKX430-NT-4R 12"},
    {"versionLongNotCut", "KX410NT4-SG4", std::string("050312"), "0001ASKX410NT4-SG4050312"},
    {"tickedEmptyVersion", "KX410NT4-SG4", std::string(""), "0001ASKX410NT4-SG4"},
    {"tickedBlankVersion", "KX410NT4-SG4", std::string("  "), "0001ASKX410NT4-SG4"},
};

class ModelNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ModelNameTest, typedFields_titlePauseThenOneCommand_commandOk)
{
    const NameCase& c = GetParam();
    Rig rig;
    ASSERT_EQ(rig.Run(c.typed, c.version), Outcome::CommandOk);
    EXPECT_EQ(rig.LogFromTitle(3), (std::vector<std::string>{"title", "events", "pause 100"}));
    EXPECT_EQ(rig.SendsAndPauses(), (std::vector<std::string>{"pause 100", "send " + c.command}));
    EXPECT_EQ(rig.device.frames.at(0), ct::link::EncodeRequestString(ct::link::Framing::Crc, c.command));
    EXPECT_EQ(rig.view.titles, std::vector<Title>{Title::SetModelName});
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandOk);
}

INSTANTIATE_TEST_SUITE_P(Names, ModelNameTest, ::testing::ValuesIn(kNames));

TEST(ModelNameReplyTest, replyLength_onlyThirteen_commandOk)
{
    for (std::size_t textLength = 4; textLength <= 8; ++textLength) {
        SCOPED_TRACE(textLength);
        Rig rig;
        rig.AnswerText([textLength](const std::string&) { return ct::testing::ReplyTextOfLength(textLength); });
        const bool thirteen = textLength + ct::link::CrcReplyOverhead == 13;
        EXPECT_EQ(rig.Run("KX410NT4-SG4", std::nullopt), thirteen ? Outcome::CommandOk : Outcome::CommandError);
        EXPECT_EQ(rig.status.statuses.back(), thirteen ? StatusMessage::CommandOk : StatusMessage::CommandError);
        EXPECT_EQ(rig.device.commands.size(), 1u);
    }
}

TEST(ModelNameReplyTest, noReplyOrBadCheck_commandErrorNotRetried)
{
    for (const bool silent : {true, false}) {
        Rig rig;
        rig.Respond([silent](const std::string&) {
            return silent ? std::string() : ct::testing::BadCrcFrame("0001AS");
        });
        EXPECT_EQ(rig.Run("KX410NT4-SG4", std::string("0503")), Outcome::CommandError);
        EXPECT_EQ(rig.device.commands.size(), 1u);
        EXPECT_FALSE(rig.device.open);
    }
}

TEST(ModelNameReplyTest, versionFillingOneRequest_sentOneCharacterMore_tooLongNothingOpened)
{
    // 4 + 2 + 12 characters before the version; one request holds 1493.
    Rig fits;
    EXPECT_EQ(fits.Run("KX410NT4-SG4", std::string(1475, '9')), Outcome::CommandOk);
    ASSERT_EQ(fits.device.commands.size(), 1u);
    EXPECT_EQ(fits.device.commands[0].size(), 1493u);

    Rig over;
    EXPECT_EQ(over.Run("KX410NT4-SG4", std::string(1476, '9')), Outcome::TooLong);
    EXPECT_EQ(over.device.opens, 0);
    EXPECT_TRUE(over.device.frames.empty());
    EXPECT_TRUE(over.status.statuses.empty());
}

TEST(ModelNameReplyTest, linkDoesNotOpen_connectErrorNothingSent)
{
    Rig rig;
    rig.device.failSerialOpen = true;
    EXPECT_EQ(rig.Run("KX410NT4-SG4", std::nullopt), Outcome::ConnectError);
    EXPECT_TRUE(rig.device.frames.empty());
    EXPECT_TRUE(rig.view.titles.empty());
}

TEST(ModelNameButtonsTest, buttons_captionsAndTexts_asOnThePage)
{
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"KX410", "KX410NT4-SG4"}, {"KX420", "KX420NT4-SG4"}, {"KX450", "KX450NT4-SG5"}, {"KX470", "KX470NT4-SG4"},
        {"KX400", "KX400NT4-G1F"}, {"KX405", "KX405NT4-SG4"}, {"KX460", "KX460NT4-G3F"}, {"KX430", "KX430-NT-4R"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(ct::firmware::ModelButtons[i].caption, expected[i].first);
        EXPECT_EQ(ct::firmware::ModelButtons[i].model, expected[i].second);
    }
    EXPECT_EQ(std::vector<std::string>(ct::firmware::VersionButtons, ct::firmware::VersionButtons + 3),
              (std::vector<std::string>{"0503", "0495", "0298"}));
}

}  // namespace
