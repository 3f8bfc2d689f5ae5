// Help lines wrapped to a terminal narrower than they were laid out for.
#include "HelpFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ct::cli::WrapLines;

TEST(WrapLines, lineTooLong_brokenAtBlanksUnderItsSecondColumnOrIndentation)
{
    const struct {
        const char* name;
        std::string text;
        std::string wrapped;
    } cases[] = {
        {"fits", "  -h   help\nnext", "  -h   help\nnext"},
        {"secondColumn", "  0    \"Command ok.\" (send: the reply printed; dido and poll)",
         "  0    \"Command ok.\" (send: the reply\n       printed; dido and poll)"},
        {"secondColumnTooFarRight", "  --outputs LIST                the outputs whose boxes",
         "  --outputs LIST                the\n  outputs whose boxes"},
        {"descriptionOnItsOwnLine", "      the same-card delay in units of 100 ms as typed",
         "      the same-card delay in units of\n      100 ms as typed"},
        {"prose", "Runs one operation of the controller tool and prints its result",
         "Runs one operation of the controller\ntool and prints its result"},
        {"wordLongerThanALine", "  x  " + std::string(40, 'w') + " tail", "  x  " + std::string(40, 'w') + "\n     tail"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.wrapped, WrapLines(c.text, 40)) << c.name;
}

}  // namespace
