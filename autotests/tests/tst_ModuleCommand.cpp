// The module command wrapping: type letters by drop-down position, the type
// found from a letter or a display name, and the one-command road of a
// wrapped command whose reply the caller judges.
#include "modules/ModuleCommand.h"

#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using ct::link::StatusMessage;
using ct::tests::Outcome;

TEST(ModuleTypeIndex, lettersAndDisplayNames_positionOrNothing)
{
    struct Case {
        const char* text;
        std::optional<int> index;
    };
    const Case cases[] = {
        {"A", 0}, {"b", 1}, {"H", 2}, {"i", 3}, {"J", 4}, {"e", 5},
        {"KXRA1/A5/C5", 0}, {"KXIO-1A/16", 1}, {"KXRB5/KX77", 2}, {"KXRH5/H6", 3}, {"KXRM5", 4}, {"KXPRINT", 5},
        {"KXRB5/BS/BQ", 2}, {"KXRH5/H6/HQ/HE", 3}, {"KXRM5/MQ/ME", 4},
        {"", std::nullopt}, {"C", std::nullopt}, {"AB", std::nullopt}, {" A", std::nullopt},
        {"KXRB5", std::nullopt}, {"KXPRINT ", std::nullopt}, {"\xC3\xA9", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ct::modules::ModuleTypeIndex(c.text), c.index);
    }
}

TEST(ModuleTypeLetter, everyPosition_letterThatFindsItAgain)
{
    const std::string letters = "ABHIJE";
    for (int i = 0; i < ct::modules::ModuleTypeCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ct::modules::ModuleTypeLetter(i), letters[static_cast<std::size_t>(i)]);
        EXPECT_EQ(ct::modules::ModuleTypeIndex(std::string(1, letters[static_cast<std::size_t>(i)])), i);
        EXPECT_EQ(ct::modules::ModuleTypeIndex(ct::modules::ConsoleModuleNames[i]), i);
        EXPECT_EQ(ct::modules::ModuleTypeIndex(ct::modules::G4ModuleNames[i]), i);
    }
}

TEST(RunModuleCommand, acceptRefusesPassedReply_commandErrorAfterLookingAtIt)
{
    ct::testing::OperationRig rig;
    rig.AnswerText([](const std::string&) { return std::string("0000DDH1S16030001XY"); });
    std::vector<int> lengthsSeen;

    const Outcome outcome = ct::modules::RunModuleCommand(rig.frame, "0000", 2, "1", "S",
                                                          [&](const ct::link::Link& link) {
                                                              lengthsSeen.push_back(link.ReplyLength());
                                                              return link.ReplyLength() == 24;
                                                          });

    EXPECT_EQ(outcome, Outcome::CommandError);
    EXPECT_EQ(lengthsSeen, std::vector<int>{26});
    EXPECT_EQ(rig.device.commands, std::vector<std::string>{"0000DDH1S"});
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
    EXPECT_FALSE(rig.device.open);
}

TEST(RunModuleCommand, failedTransaction_acceptNotAsked)
{
    ct::testing::OperationRig rig;
    bool asked = false;

    EXPECT_EQ(ct::modules::RunModuleCommand(rig.frame, "0000", 0, "1", "S",
                                            [&](const ct::link::Link&) { return asked = true; }),
              Outcome::CommandError);
    EXPECT_FALSE(asked);
}

TEST(RunModuleCommand, wrappedTextTooLong_tooLongNothingOpened)
{
    ct::testing::OperationRig rig;
    bool asked = false;

    EXPECT_EQ(ct::modules::RunModuleCommand(rig.frame, "0000", 0, "1", std::string(1486, 'X'),
                                            [&](const ct::link::Link&) { return asked = true; }),
              Outcome::TooLong);
    EXPECT_EQ(rig.device.opens, 0);
    EXPECT_TRUE(rig.status.statuses.empty());
    EXPECT_FALSE(asked);
}

}  // namespace
