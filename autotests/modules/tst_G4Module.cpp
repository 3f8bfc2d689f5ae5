// G4 modules on the fake link: the wrapped read and set command texts, the
// read taking only a 24-byte reply with its serial number at 11-18, the set
// taking any reply that passes its check, every passed reply shown, and
// serial numbers too long for one request refused before the link is opened.
#include "modules/G4Module.h"

#include "support/OperationChecks.h"
#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using ct::link::Lamp;
using ct::link::StatusMessage;
using ct::tests::Outcome;

class RecordingG4View final : public ct::modules::IG4View {
public:
    void ShowReply(const std::string& replyText) override { replies.push_back(replyText); }
    void ShowSerial(const std::string& serial) override { serials.push_back(serial); }
    std::vector<std::string> replies;
    std::vector<std::string> serials;
};

struct G4Rig : ct::testing::OperationRig {
    RecordingG4View view;
};

Outcome ReadSerial(G4Rig& r) { return ct::modules::RunG4ReadSerial(r.frame, "0000", 2, "1", r.view); }
Outcome SetId(G4Rig& r) { return ct::modules::RunG4SetId(r.frame, "0000", 2, "16030001", 1, r.view); }

TEST(G4Commands, eachOperation_exactTextAfterOnePauseWithoutMessageOfItsOwn)
{
    struct Case {
        const char* name;
        std::function<Outcome(G4Rig&)> run;
        std::string command;
    };
    const Case cases[] = {
        {"read, start values", ReadSerial, "0000DDH1S"},
        {"read, type 0 ID 0",
         [](G4Rig& r) { return ct::modules::RunG4ReadSerial(r.frame, "0000", 0, "0", r.view); }, "0000DDA0S"},
        {"read at 0005, type 4 ID 8",
         [](G4Rig& r) { return ct::modules::RunG4ReadSerial(r.frame, "0005", 4, "8", r.view); }, "0005DDJ8S"},
        {"set, start values", SetId, "0000DDH0C160300011"},
        {"set, type 5 ID 8",
         [](G4Rig& r) { return ct::modules::RunG4SetId(r.frame, "0000", 5, "16030001", 8, r.view); },
         "0000DDE0C160300018"},
        {"set at 0005, short serial",
         [](G4Rig& r) { return ct::modules::RunG4SetId(r.frame, "0005", 1, "12", 3, r.view); }, "0005DDB0C123"},
        {"set, empty serial",
         [](G4Rig& r) { return ct::modules::RunG4SetId(r.frame, "0000", 3, "", 2, r.view); }, "0000DDI0C2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        G4Rig rig;

        c.run(rig);

        ct::testing::ExpectOnlyCommandAfterOnePause(rig, c.command);
    }
}

TEST(G4ReadSerial, passedReplyOfEachLength_shownWholeSerialOnlyFrom24Bytes)
{
    for (const std::size_t textLength : {8u, 16u, 17u, 18u, 40u}) {
        const int frameLength = static_cast<int>(textLength + ct::link::CrcReplyOverhead);
        SCOPED_TRACE(frameLength);
        // The serial number closes the text, so a 24-byte frame has it at 11-18.
        const std::string text = ct::testing::ReplyTextOfLength(textLength - 8) + "12345678";
        G4Rig rig;
        rig.AnswerText([&](const std::string&) { return text; });

        const Outcome outcome = ReadSerial(rig);

        EXPECT_EQ(rig.view.replies, std::vector<std::string>{ct::testing::CrcFrame(text)});
        if (frameLength == 24) {
            EXPECT_EQ(outcome, Outcome::CommandOk);
            EXPECT_EQ(rig.view.serials, std::vector<std::string>{"12345678"});
            EXPECT_EQ(rig.status.lamp, Lamp::Yellow);
        } else {
            EXPECT_EQ(outcome, Outcome::CommandError);
            EXPECT_TRUE(rig.view.serials.empty());
            EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
            EXPECT_EQ(rig.status.lamp, Lamp::Red);
        }
    }
}

TEST(G4SetId, anyPassedReply_okAndShownWhole)
{
    for (const std::string& text : {std::string("0"), std::string("0000OK"), std::string("0000DDH0C1603"),
                                    ct::testing::ReplyTextOfLength(17), std::string(300, 'R')}) {
        SCOPED_TRACE(text.size() + ct::link::CrcReplyOverhead);
        G4Rig rig;
        rig.AnswerText([&](const std::string&) { return text; });

        EXPECT_EQ(SetId(rig), Outcome::CommandOk);
        EXPECT_EQ(rig.view.replies, std::vector<std::string>{ct::testing::CrcFrame(text)});
        EXPECT_TRUE(rig.view.serials.empty());
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandOk);
        EXPECT_EQ(rig.beeper.frequencies, std::vector<int>{ct::link::HighBeepHz});
    }
}

TEST(G4Operations, silenceOrBadCrc_commandErrorNothingShown)
{
    for (Outcome (*run)(G4Rig&) : {ReadSerial, SetId}) {
        for (const bool silent : {true, false}) {
            SCOPED_TRACE(silent ? "silence" : "bad CRC");
            G4Rig rig;
            rig.Respond([&](const std::string&) {
                return silent ? std::string() : ct::testing::BadCrcFrame(ct::testing::ReplyTextOfLength(17));
            });

            EXPECT_EQ(run(rig), Outcome::CommandError);
            EXPECT_TRUE(rig.view.replies.empty());
            EXPECT_TRUE(rig.view.serials.empty());
            EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
            EXPECT_EQ(rig.status.lamp, Lamp::Red);
            EXPECT_FALSE(rig.device.open);
        }
    }
}

TEST(G4Operations, linkCannotBeOpened_connectErrorNothingSentNothingShown)
{
    for (Outcome (*run)(G4Rig&) : {ReadSerial, SetId}) {
        G4Rig rig;
        rig.device.failSerialOpen = true;

        EXPECT_EQ(run(rig), Outcome::ConnectError);
        EXPECT_TRUE(rig.device.frames.empty());
        EXPECT_TRUE(rig.clock.sleeps.empty());
        EXPECT_TRUE(rig.view.replies.empty());
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::ConnectError);
    }
}

TEST(G4SetId, serialAtRequestLimit_sentOneMoreRefusedBeforeOpen)
{
    const std::size_t room = 1493 - std::string("0000DDH0C1").size();
    {
        G4Rig rig;
        rig.AnswerText([](const std::string&) { return std::string("0000OK"); });
        EXPECT_EQ(ct::modules::RunG4SetId(rig.frame, "0000", 2, std::string(room, '1'), 1, rig.view),
                  Outcome::CommandOk);
        ASSERT_EQ(rig.device.commands.size(), 1u);
        EXPECT_EQ(rig.device.commands[0].size(), 1493u);
    }
    {
        G4Rig rig;
        EXPECT_EQ(ct::modules::RunG4SetId(rig.frame, "0000", 2, std::string(room + 1, '1'), 1, rig.view),
                  Outcome::TooLong);
        EXPECT_EQ(rig.device.opens, 0);
        EXPECT_TRUE(rig.device.frames.empty());
        EXPECT_TRUE(rig.status.statuses.empty());
        EXPECT_TRUE(rig.view.replies.empty());
    }
}

}  // namespace
