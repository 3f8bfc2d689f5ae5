// Batch lists taken apart in the process: words, quoting, the --id prefix and
// the lines that cannot run, each with its number.
#include "Batch.h"

#include <gtest/gtest.h>

using namespace ct::cli;

namespace {

struct WordsCase {
    const char* name;
    std::string line;
    std::vector<std::string> words;
};

const WordsCase kWordsCases[] = {
    {"blanksAndTabs", " alarm\t 3  ", {"alarm", "3"}},
    {"comment", "reboot # after the reset", {"reboot"}},
    {"commentOnly", "   # nothing", {}},
    {"hashInsideWordKept", "command AB#1", {"command", "AB#1"}},
    {"singleQuotesLiteral", "set-model 'KX 400 \\ G1'", {"set-model", "KX 400 \\ G1"}},
    {"doubleQuotesEscapes", "command \"A\\\"B\\\\C\\n\"", {"command", "A\"B\\C\\n"}},
    {"emptyQuotedWord", "set-model ''", {"set-model", ""}},
    {"quotesJoinAWord", "set-model KX'4 1'0", {"set-model", "KX4 10"}},
    {"backslashEscapesBlank", "set-model KX\\ 410", {"set-model", "KX 410"}},
    {"crlfLine", "reboot\r", {"reboot"}},
};

class SplitWordsTable : public ::testing::TestWithParam<WordsCase> {};

}  // namespace

TEST_P(SplitWordsTable, line_split_wordsAsTheShellWouldGiveThem)
{
    std::string error;
    const auto words = SplitWords(GetParam().line, error);
    ASSERT_TRUE(words) << error;
    EXPECT_EQ(GetParam().words, *words);
}

INSTANTIATE_TEST_SUITE_P(Batch, SplitWordsTable, ::testing::ValuesIn(kWordsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SplitWords, openQuoteTrailingBackslashOrNul_refused)
{
    for (const std::string& line : {std::string("set-model 'KX"), std::string("command \"AB"),
                                   std::string("command AB\\"), std::string("command A\0B", 11)}) {
        std::string error;
        EXPECT_FALSE(SplitWords(line, error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}

TEST(ParseBatch, idPrefixPerLine_otherwiseTheCommandLinesId)
{
    const ParsedBatch batch = ParseBatch("alarm 1\n--id 0007 alarm 2\n\n# done\nreboot --id 0009\n", "0001");
    ASSERT_TRUE(batch.errors.empty());
    ASSERT_EQ(3u, batch.lines.size());
    EXPECT_EQ(1, batch.lines[0].number);
    EXPECT_EQ("0001", batch.lines[0].invocation.deviceId);
    EXPECT_EQ(2, batch.lines[1].number);
    EXPECT_EQ("0007", batch.lines[1].invocation.deviceId);
    EXPECT_EQ(2, batch.lines[1].invocation.alarmNumber);
    EXPECT_EQ(5, batch.lines[2].number);
    EXPECT_EQ("0009", batch.lines[2].invocation.deviceId);
    EXPECT_EQ("reboot", batch.lines[2].invocation.name);
}

TEST(ParseBatch, badLines_everyOneReportedWithItsNumber)
{
    const std::string text =
        "set-controller-id 16030001 0001\n"  // 1 fine
        "launch-rocket\n"                    // 2 unknown sub-command
        "set-controller-id 16030002\n"       // 3 missing argument
        "alarm 9\n"                          // 4 out of range
        "--net 127.0.0.1:1 reboot\n"         // 5 link options are the command line's
        "--json reboot\n"                    // 6
        "batch other.txt\n"                  // 7 no batch inside a batch
        "--id 12345 reboot\n"                // 8 an ID of five characters
        "set-model 'KX\n"                    // 9 open quote
        "reboot --help\n"                    // 10 no help inside a batch
        "send --framing xor " + std::string(1600, 'A') + "\n"  // 11 longer than a request
        "alarm --framing xor 1\n"            // 12 --framing is send's
        "g6\n"                               // 13 a group without its sub-command
        "g4 --id 0001 rename H 1\n"          // 14 not one of the group's
        "conect --at 1\n";                   // 15 a slip: the nearest named
    const ParsedBatch batch = ParseBatch(text, "0000");
    ASSERT_EQ(1u, batch.lines.size());
    std::vector<int> numbers;
    for (const BatchError& e : batch.errors) {
        numbers.push_back(e.number);
        EXPECT_FALSE(e.message.empty()) << e.number;
        EXPECT_EQ(std::string::npos, e.message.find('\n')) << e.number << ": " << e.message;
    }
    EXPECT_EQ((std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}), numbers);
    EXPECT_EQ("unknown sub-command 'launch-rocket'", batch.errors[0].message);
    EXPECT_EQ("unknown sub-command 'rename' of g4", batch.errors[12].message);
    EXPECT_EQ("unknown sub-command 'conect'; did you mean connect?", batch.errors.back().message);
}

TEST(ParseBatch, everySubCommandButBatch_runsFromALine)
{
    const ParsedBatch batch = ParseBatch(
        "send 0001AS\nconnect --at 1\nset-time\nalarm 0\nfactory-reset\nreboot\ndido --cycles 1\npoll --cycles 1\n"
        "set-speed 19200\ncommand AS\nmodule H 1 B\ncontroller-id\ncontroller-id --by-sn 16030001\n"
        "set-controller-id 16030001 0002\ng6 serial 1\ng6 id 16030001\ng6 set-id 16030001 2\ng6 card-type 1\n"
        "g6 set-card-type 1 --types A\ng4 serial H 1\ng4 set-id H 16030001 2\nset-model KX410\n"
        "upgrade fw.bin --kind 3\nports\n",
        "0001");
    for (const BatchError& e : batch.errors)
        ADD_FAILURE() << e.number << ": " << e.message;
    EXPECT_EQ(24u, batch.lines.size());
}
