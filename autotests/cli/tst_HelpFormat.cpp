// Help lines wrapped to a terminal narrower than they were laid out for.
#include "HelpFormat.h"

#include <gtest/gtest.h>

namespace {

using ct::cli::WrapLines;

TEST(WrapLines, lineTooLong_brokenAtBlanksUnderItsSecondColumnOrIndentation)
{
    const struct {
        const char* name;
        std::string text;
        std::string wrapped;
    } cases[] = {
        {"fits", "  --id ID   the DeviceID\nnext", "  --id ID   the DeviceID\nnext"},
        {"optionRow", "  --id ID   the four characters that prefix",
         "  --id ID   the four\n            characters\n            that prefix"},
        {"descriptionOnItsOwnLine", "      a description too long for one",
         "      a description too\n      long for one"},
        {"prose", "Runs one operation and prints its result", "Runs one operation and\nprints its result"},
        {"wordLongerThanALine", "  x  0123456789012345678901234567 tail", "  x  0123456789012345678901234567\n     tail"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.wrapped, WrapLines(c.text, 24)) << c.name;
}

}  // namespace
