// The firmware upgrade on the fake link against a scripted boot loader of
// each kind: the whole conversation (command texts, framing, every pause),
// the retries of a block, erases, address letter case, the probe and its
// countdown, the start command, the read-back comparison and the bars.
#include "firmware/FirmwareImage.h"
#include "firmware/Upgrade.h"

#include "link/FrameCodec.h"
#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ct::firmware::BlockHex;
using ct::firmware::FirmwareImage;
using ct::link::Framing;
using ct::link::StatusMessage;
using ct::testing::OperationRig;
using ct::tests::Outcome;
using ct::tests::Title;

constexpr const char* kId = "0001";

class RecordingUpgradeView final : public ct::firmware::IUpgradeView {
public:
    explicit RecordingUpgradeView(std::vector<std::string>& log) : log_(log) {}
    void ShowTitle(Title title) override
    {
        titles.push_back(title);
        log_.push_back("title");
    }
    void ShowCountdown(int n) override { countdown.push_back(n); }
    void SetProgramRange(int maximum) override { bars.push_back("program range " + std::to_string(maximum)); }
    void SetProgramPosition(int position) override { bars.push_back("program " + std::to_string(position)); }
    void SetVerifyRange(int maximum) override { bars.push_back("verify range " + std::to_string(maximum)); }
    void SetVerifyPosition(int position) override { bars.push_back("verify " + std::to_string(position)); }

    std::vector<Title> titles;
    std::vector<int> countdown;
    std::vector<std::string> bars;

private:
    std::vector<std::string>& log_;
};

enum class LoaderType { L512, L256, L64 };

LoaderType LoaderOfKind(int kind)
{
    if (kind == 3 || kind == 6)
        return LoaderType::L512;
    return kind == 4 ? LoaderType::L64 : LoaderType::L256;
}

int BlockSizeOf(LoaderType loader)
{
    return loader == LoaderType::L512 ? 512 : loader == LoaderType::L256 ? 256 : 64;
}

std::string BreakCheck(std::string frame)
{
    char& c = frame[frame.size() - 2];
    c = c == '0' ? '1' : '0';
    return frame;
}

// A controller that takes the enter command in the application's CRC
// framing and then speaks its loader's protocol: it stores programmed blocks
// and reads them back. Misreplies answer the first `times` commands that
// start with `prefix` with silence or with a frame whose check is wrong.
class LoaderController {
public:
    struct Misreply {
        std::string prefix;
        int times;
        bool silent;
    };

    explicit LoaderController(LoaderType loader) : loader_(loader) {}

    std::vector<Misreply> misreplies;
    bool lowerCaseData = false;
    int probeTextLength = -1;  // -1: the length the loader gives
    bool wrongStartByte = false;

    std::string Answer(const std::string& command)
    {
        for (Misreply& m : misreplies) {
            if (m.times != 0 && command.compare(0, m.prefix.size(), m.prefix) == 0) {
                if (m.times > 0)
                    --m.times;
                return m.silent ? std::string() : BreakCheck(Frame(command, ReplyTo(command)));
            }
        }
        return Frame(command, ReplyTo(command));
    }

    std::map<std::string, std::string> memory;  // address text -> data characters

private:
    std::string Prefix() const { return loader_ == LoaderType::L64 ? "" : kId; }

    bool IsEnter(const std::string& command) const
    {
        return command.compare(0, 6, std::string(kId) + "Zx") == 0 && loader_ != LoaderType::L512;
    }

    std::string Frame(const std::string& command, const std::string& text) const
    {
        Framing framing = Framing::Crc;
        if (!IsEnter(command) && loader_ == LoaderType::L256)
            framing = wrongStartByte ? Framing::Xor : Framing::XorEtx;
        if (!IsEnter(command) && loader_ == LoaderType::L64)
            framing = wrongStartByte ? Framing::XorEtx : Framing::Xor;
        return ct::link::EncodeReply(framing, text);
    }

    std::string ReplyTo(const std::string& command)
    {
        if (IsEnter(command) || loader_ == LoaderType::L512)
            return ReplyCrcLoader(command);
        const std::string p = Prefix();
        const std::string code = command.substr(p.size());
        if (code == "A") {
            const std::size_t length = probeTextLength >= 0 ? std::size_t(probeTextLength)
                                       : loader_ == LoaderType::L256 ? 13u
                                                                     : 9u;
            return (p + "A" + std::string(64, 'L')).substr(0, length);
        }
        if (code.size() > 5 && code[0] == 'P') {
            memory[code.substr(1, 4)] = code.substr(5);
            return p + "P";
        }
        if (code.size() == 5 && code[0] == 'R')
            return p + "R" + Data(code.substr(1, 4));
        return p + code.substr(0, 1);
    }

    std::string ReplyCrcLoader(const std::string& command)
    {
        const std::string code = command.substr(4);
        if (code.compare(0, 2, "Zp") == 0 && code.size() > 6) {
            memory[code.substr(2, 4)] = code.substr(6);
            return std::string(kId) + "Zp";
        }
        if (code.compare(0, 2, "Zv") == 0)
            return std::string(kId) + "Zv" + Data(code.substr(2, 4));
        return std::string(kId) + code.substr(0, 2);
    }

    std::string Data(const std::string& address) const
    {
        const auto it = memory.find(address);
        std::string data = it == memory.end() ? std::string() : it->second;
        if (lowerCaseData)
            std::transform(data.begin(), data.end(), data.begin(),
                           [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        return data;
    }

    LoaderType loader_;
};

// An image of `blocks` blocks whose bytes differ from block to block.
FirmwareImage MakeImage(int blockSize, int blocks)
{
    FirmwareImage image;
    image.blockSize = blockSize;
    image.ImageBlockCount = blocks;
    image.bytes.resize(std::size_t(blockSize) * std::size_t(blocks));
    for (std::size_t i = 0; i < image.bytes.size(); ++i)
        image.bytes[i] = static_cast<std::uint8_t>((i * 13 + i / 97 + 0x3C) & 0xFF);
    return image;
}

struct Rig : OperationRig {
    explicit Rig(int kind) : kind(kind), controller(LoaderOfKind(kind))
    {
        Respond([this](const std::string& command) { return controller.Answer(command); });
    }

    Outcome Run(const FirmwareImage& image)
    {
        return ct::firmware::RunFirmwareUpgrade(frame, kind, kId, image, view);
    }
    Outcome Run(int blocks) { return Run(image = MakeImage(BlockSizeOf(LoaderOfKind(kind)), blocks)); }

    // The log's sends and pauses, every send tagged with the framing of the
    // frame written: "crc TEXT" or "xor TEXT" (both XOR framings send the
    // same request bytes; which reply start byte the link takes shows in
    // whether the loader's answers count).
    std::vector<std::string> Transcript() const
    {
        std::vector<std::string> out;
        std::size_t written = 0;
        for (const std::string& entry : SendsAndPauses()) {
            if (entry.compare(0, 5, "send ") != 0) {
                out.push_back(entry);
                continue;
            }
            const std::string text = entry.substr(5);
            const std::string& frame = device.frames.at(written++);
            const char* tag = frame == ct::link::EncodeRequestString(Framing::Crc, text)   ? "crc "
                              : frame == ct::link::EncodeRequestString(Framing::Xor, text) ? "xor "
                                                                                            : "? ";
            out.push_back(tag + text);
        }
        return out;
    }

    int kind;
    LoaderController controller;
    RecordingUpgradeView view{log};
    FirmwareImage image;
};

std::string P(int ms) { return "pause " + std::to_string(ms); }
std::string Crc(const std::string& text) { return "crc " + text; }
std::string Xor(const std::string& text) { return "xor " + text; }

std::string Hex4(unsigned value, bool upper)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, upper ? "%04X" : "%04x", value);
    return digits;
}

// The pauses of one kind, transcribed from the loader's pause table.
struct PauseColumn {
    int beforeProgramming;
    int beforeProgramBlock;
    int beforeVerifyBlock;
    int afterFailedVerify;
    int afterStart;
};

struct KindCase {
    int kind;
    PauseColumn pauses;
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << "kind" << c.kind; }

const KindCase kKinds[] = {
    {3, {50, 20, 50, 150, 7000}},
    {6, {50, 4, 4, 50, 7000}},
    {1, {50, 4, 4, 50, 2000}},
    {2, {50, 4, 4, 50, 2000}},
    {5, {50, 4, 4, 50, 2000}},
    {4, {200, 4, 4, 50, 2000}},
};

// The whole conversation of a faultless upgrade of `image`.
std::vector<std::string> Conversation(int kind, const PauseColumn& p, const FirmwareImage& image)
{
    const LoaderType loader = LoaderOfKind(kind);
    const int b = image.blockSize;
    const std::string id = kId;
    std::vector<std::string> out = {P(100)};
    if (loader == LoaderType::L512) {
        out.push_back(Crc(id + "Zx33BB"));
    } else {
        const std::string enter = Crc(id + (loader == LoaderType::L256 ? "ZxA5" : "Zx"));
        out.insert(out.end(), {enter, P(20), enter, P(50)});
        if (loader == LoaderType::L256)
            out.push_back(Xor(id + "A"));
        else
            out.insert(out.end(), {Xor("A"), P(50), Xor("E")});
    }
    const std::string pre = loader == LoaderType::L64 ? "" : id;
    const bool upper = loader == LoaderType::L512;
    out.push_back(P(p.beforeProgramming));
    for (int r = 0; r < image.ImageBlockCount; ++r) {
        const std::string address = Hex4(unsigned(r * b), upper);
        if (loader == LoaderType::L256 && r % 2 == 0)
            out.insert(out.end(), {P(4), Xor(id + "E" + address)});
        out.push_back(P(p.beforeProgramBlock));
        const std::string text = pre + (upper ? "Zp" : "P") + address + BlockHex(image, r);
        out.push_back(upper ? Crc(text) : Xor(text));
    }
    out.push_back(P(50));
    for (int r = 0; r < image.ImageBlockCount; ++r) {
        out.push_back(P(p.beforeVerifyBlock));
        const std::string text = pre + (upper ? "Zv" : "R") + Hex4(unsigned(r * b), upper);
        out.push_back(upper ? Crc(text) : Xor(text));
    }
    out.push_back(P(100));
    out.push_back(upper ? Crc(id + "ZrAA55") : Xor(pre + "X"));
    out.push_back(P(p.afterStart));
    return out;
}

class UpgradeKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(UpgradeKindTest, faultlessLoader_threeBlocks_wholeConversationAndCommandOk)
{
    const KindCase& c = GetParam();
    Rig rig(c.kind);
    ASSERT_EQ(rig.Run(3), Outcome::CommandOk);
    EXPECT_EQ(rig.Transcript(), Conversation(c.kind, c.pauses, rig.image));
    EXPECT_EQ(rig.view.titles, (std::vector<Title>{Title::Programming, Title::Verifying, Title::Upgrading}));
    EXPECT_TRUE(rig.view.countdown.empty());
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandOk);
    EXPECT_EQ(rig.device.opens, 1);
    EXPECT_FALSE(rig.device.open);
}

TEST_P(UpgradeKindTest, faultlessLoader_threeBlocks_barsRangeThenEveryBlockThenMaximum)
{
    Rig rig(GetParam().kind);
    ASSERT_EQ(rig.Run(3), Outcome::CommandOk);
    EXPECT_EQ(rig.view.bars, (std::vector<std::string>{"program range 3", "program 0", "program 1", "program 2",
                                                       "program 3", "verify range 3", "verify 0", "verify 1",
                                                       "verify 2", "verify 3"}));
}

TEST_P(UpgradeKindTest, emptyImage_loaderStillEnteredAndStarted_commandOk)
{
    const KindCase& c = GetParam();
    Rig rig(c.kind);
    ASSERT_EQ(rig.Run(0), Outcome::CommandOk);
    EXPECT_EQ(rig.Transcript(), Conversation(c.kind, c.pauses, rig.image));
    EXPECT_EQ(rig.view.bars,
              (std::vector<std::string>{"program range 0", "program 0", "verify range 0", "verify 0"}));
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandOk);
}

TEST_P(UpgradeKindTest, startCommandUnanswered_commandOkWithoutFinalPause)
{
    const KindCase& c = GetParam();
    Rig rig(c.kind);
    const bool is512 = LoaderOfKind(c.kind) == LoaderType::L512;
    const std::string start = is512 ? "0001ZrAA55" : LoaderOfKind(c.kind) == LoaderType::L256 ? "0001X" : "X";
    rig.controller.misreplies = {{start, -1, true}};
    ASSERT_EQ(rig.Run(2), Outcome::CommandOk);
    std::vector<std::string> expected = Conversation(c.kind, c.pauses, rig.image);
    expected.pop_back();
    EXPECT_EQ(rig.Transcript(), expected);
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandOk);
}

TEST_P(UpgradeKindTest, startCommandBadCheck_commandOkWithoutFinalPause)
{
    const KindCase& c = GetParam();
    Rig rig(c.kind);
    const bool is512 = LoaderOfKind(c.kind) == LoaderType::L512;
    const std::string start = is512 ? "0001ZrAA55" : LoaderOfKind(c.kind) == LoaderType::L256 ? "0001X" : "X";
    rig.controller.misreplies = {{start, -1, false}};
    ASSERT_EQ(rig.Run(1), Outcome::CommandOk);
    EXPECT_EQ(rig.clock.sleeps.back(), 100u);
}

struct Step {
    const char* name;
    bool program;  // else verify
};

// The command of block r in the given phase.
std::string BlockCommand(int kind, bool program, int r)
{
    const LoaderType loader = LoaderOfKind(kind);
    const unsigned address = unsigned(r * BlockSizeOf(loader));
    if (loader == LoaderType::L512)
        return std::string(kId) + (program ? "Zp" : "Zv") + Hex4(address, true);
    return std::string(loader == LoaderType::L64 ? "" : kId) + (program ? "P" : "R") + Hex4(address, false);
}

// The transcript entries from the first send of `prefix` on.
std::vector<std::string> From(const std::vector<std::string>& transcript, const std::string& prefix)
{
    const auto it = std::find_if(transcript.begin(), transcript.end(), [&prefix](const std::string& entry) {
        return entry.find(' ') != std::string::npos && entry.compare(entry.find(' ') + 1, prefix.size(), prefix) == 0;
    });
    return {it, transcript.end()};
}

std::string Abbreviated(const std::string& entry)
{
    return entry.size() > 24 ? entry.substr(0, 24) + "..." : entry;
}

std::vector<std::string> Abbreviated(std::vector<std::string> entries, std::size_t count)
{
    entries.resize(std::min(entries.size(), count));
    for (std::string& e : entries)
        e = Abbreviated(e);
    return entries;
}

TEST_P(UpgradeKindTest, blockFailingFourTimes_eachPhase_fifthAttemptCarriesOn)
{
    const KindCase& c = GetParam();
    for (const bool program : {true, false}) {
        for (const bool silent : {false, true}) {
            SCOPED_TRACE(std::string(program ? "program" : "verify") + (silent ? " silent" : " bad check"));
            Rig rig(c.kind);
            const std::string block1 = BlockCommand(c.kind, program, 1);
            rig.controller.misreplies = {{block1, 4, silent}};
            ASSERT_EQ(rig.Run(3), Outcome::CommandOk);
            const std::string retry = P(program ? 50 : c.pauses.afterFailedVerify);
            const std::string send = Abbreviated((LoaderOfKind(c.kind) == LoaderType::L512 ? "crc " : "xor ") + block1
                                                 + (program ? BlockHex(rig.image, 1) : ""));
            const std::vector<std::string> attempts = {send, retry, send, retry, send, retry, send, retry, send};
            EXPECT_EQ(Abbreviated(From(rig.Transcript(), block1), attempts.size()), attempts);
            EXPECT_EQ(rig.view.bars.size(), 10u);
            EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandOk);
        }
    }
}

TEST_P(UpgradeKindTest, blockFailingFiveTimes_eachPhase_commandErrorNothingSentAfter)
{
    const KindCase& c = GetParam();
    for (const bool program : {true, false}) {
        SCOPED_TRACE(program ? "program" : "verify");
        Rig rig(c.kind);
        const std::string block1 = BlockCommand(c.kind, program, 1);
        rig.controller.misreplies = {{block1, 5, false}};
        ASSERT_EQ(rig.Run(3), Outcome::CommandError);
        EXPECT_EQ(std::count(rig.device.commands.begin(), rig.device.commands.end(), rig.device.commands.back()), 5);
        EXPECT_EQ(rig.device.commands.back().compare(0, block1.size(), block1), 0);
        EXPECT_EQ(rig.device.commands.back().size(), program ? block1.size() + 2u * BlockSizeOf(LoaderOfKind(c.kind))
                                                             : block1.size());
        EXPECT_EQ(rig.view.bars.back(), program ? "program 0" : "verify 0");
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
        EXPECT_FALSE(rig.device.open);
    }
}

TEST_P(UpgradeKindTest, verifyReplyInLowerCase_commandErrorAtFirstBlock)
{
    const KindCase& c = GetParam();
    Rig rig(c.kind);
    rig.controller.lowerCaseData = true;
    ASSERT_EQ(rig.Run(2), Outcome::CommandError);
    // Read once and compared; a passed transaction is not retried.
    EXPECT_EQ(rig.device.commands.back(), BlockCommand(c.kind, false, 0));
    EXPECT_EQ(std::count(rig.device.commands.begin(), rig.device.commands.end(), rig.device.commands.back()), 1);
    EXPECT_EQ(rig.view.bars.back(), "verify range 2");
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
}

TEST_P(UpgradeKindTest, verifyReplyShortOrWrong_commandError)
{
    const KindCase& c = GetParam();
    for (const bool cutShort : {true, false}) {
        SCOPED_TRACE(cutShort ? "short" : "one digit wrong");
        Rig rig(c.kind);
        rig.Respond([&rig, cutShort](const std::string& command) {
            std::string frame = rig.controller.Answer(command);
            const std::string code = command.substr(command.size() >= 8 && command[0] == '0' ? 4 : 0);
            if (code[0] == 'R' || code.compare(0, 2, "Zv") == 0) {
                const LoaderType loader = LoaderOfKind(rig.kind);
                std::string text = frame.substr(1, frame.size() - (loader == LoaderType::L512 ? 7 : 4));
                if (cutShort)
                    text.pop_back();
                else
                    text[text.size() / 2] = text[text.size() / 2] == '0' ? '1' : '0';
                frame = ct::link::EncodeReply(loader == LoaderType::L512   ? Framing::Crc
                                              : loader == LoaderType::L256 ? Framing::XorEtx
                                                                           : Framing::Xor,
                                              text);
            }
            return frame;
        });
        ASSERT_EQ(rig.Run(1), Outcome::CommandError);
        EXPECT_EQ(rig.device.commands.back(), BlockCommand(c.kind, false, 0));
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, UpgradeKindTest, ::testing::ValuesIn(kKinds));

struct AddressCase {
    int kind;
    int block;
    std::string programPrefix;
    std::string verify;
};

void PrintTo(const AddressCase& c, std::ostream* os) { *os << "kind" << c.kind << "_block" << c.block; }

const AddressCase kAddresses[] = {
    {3, 5, "0001Zp0A00", "0001Zv0A00"},   {6, 5, "0001Zp0A00", "0001Zv0A00"}, {1, 10, "0001P0a00", "0001R0a00"},
    {4, 40, "P0a00", "R0a00"},            {3, 123, "0001ZpF600", "0001ZvF600"}, {1, 247, "0001Pf700", "0001Rf700"},
    {4, 983, "Pf5c0", "Rf5c0"},
};

class AddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressTest, block_eachLoader_addressInItsLetterCase)
{
    const AddressCase& c = GetParam();
    Rig rig(c.kind);
    ASSERT_EQ(rig.Run(c.block + 1), Outcome::CommandOk);
    const std::string expected = c.programPrefix + BlockHex(rig.image, c.block);
    EXPECT_NE(std::find(rig.device.commands.begin(), rig.device.commands.end(), expected), rig.device.commands.end());
    EXPECT_NE(std::find(rig.device.commands.begin(), rig.device.commands.end(), c.verify),
              rig.device.commands.end());
}

INSTANTIATE_TEST_SUITE_P(Blocks, AddressTest, ::testing::ValuesIn(kAddresses));

TEST(UpgradeTest, loader512_programCommandOfBlock1_1034Characters)
{
    Rig rig(3);
    ASSERT_EQ(rig.Run(2), Outcome::CommandOk);
    const auto it = std::find_if(rig.device.commands.begin(), rig.device.commands.end(),
                                 [](const std::string& c) { return c.compare(0, 10, "0001Zp0200") == 0; });
    ASSERT_NE(it, rig.device.commands.end());
    EXPECT_EQ(it->size(), 1034u);
    EXPECT_EQ(*it, "0001Zp0200" + BlockHex(rig.image, 1));
    EXPECT_EQ(rig.device.frames[std::size_t(it - rig.device.commands.begin())].size(), 1041u);
}

TEST(UpgradeTest, loader512_enterUnanswered_commandErrorNothingElseSent)
{
    for (const bool silent : {true, false}) {
        Rig rig(3);
        rig.controller.misreplies = {{"0001Zx33BB", -1, silent}};
        ASSERT_EQ(rig.Run(2), Outcome::CommandError);
        EXPECT_EQ(rig.Transcript(), (std::vector<std::string>{P(100), Crc("0001Zx33BB")}));
        EXPECT_TRUE(rig.view.titles.empty());
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
    }
}

TEST(UpgradeTest, loader256_fiveBlocks_erasesBeforeEvenBlocksOnly)
{
    Rig rig(1);
    ASSERT_EQ(rig.Run(5), Outcome::CommandOk);
    std::vector<std::string> order;
    for (const std::string& c : rig.device.commands)
        if (c[4] == 'E' || c[4] == 'P')
            order.push_back(c.substr(4, 5));
    EXPECT_EQ(order, (std::vector<std::string>{"E0000", "P0000", "P0100", "E0200", "P0200", "P0300", "E0400",
                                               "P0400"}));
}

TEST(UpgradeTest, loader256_eraseFailingOnce_retriedAfterPause)
{
    for (const bool silent : {false, true}) {
        Rig rig(1);
        rig.controller.misreplies = {{"0001E0200", 1, silent}};
        ASSERT_EQ(rig.Run(3), Outcome::CommandOk);
        const std::vector<std::string> from = Abbreviated(From(rig.Transcript(), "0001E0200"), 5);
        EXPECT_EQ(from, (std::vector<std::string>{Xor("0001E0200"), P(50), Xor("0001E0200"), P(4),
                                                  Abbreviated(Xor("0001P0200" + BlockHex(rig.image, 2)))}));
    }
}

TEST(UpgradeTest, loader256_eraseFailingTwice_commandErrorNothingAfter)
{
    Rig rig(1);
    rig.controller.misreplies = {{"0001E0200", 2, false}};
    ASSERT_EQ(rig.Run(3), Outcome::CommandError);
    const std::vector<std::string> from = From(rig.Transcript(), "0001E0200");
    EXPECT_EQ(from, (std::vector<std::string>{Xor("0001E0200"), P(50), Xor("0001E0200")}));
    EXPECT_EQ(rig.view.bars.back(), "program 1");
}

TEST(UpgradeTest, loader256_loaderRepliesFromStx_probeFailsAllTen)
{
    Rig rig(1);
    rig.controller.wrongStartByte = true;
    ASSERT_EQ(rig.Run(1), Outcome::CommandError);
    EXPECT_EQ(std::count(rig.device.commands.begin(), rig.device.commands.end(), "0001A"), 10);
}

TEST(UpgradeTest, loader64_loaderRepliesFromEtx_eraseFails)
{
    Rig rig(4);
    rig.controller.wrongStartByte = true;
    ASSERT_EQ(rig.Run(1), Outcome::CommandError);
    EXPECT_EQ(rig.device.commands.back(), "E");
}

struct ProbeCase {
    const char* name;
    int kind;
    int failures;         // probe attempts that fail before one answers; 10: none answers
    int probeTextLength;  // of the answers that count as failures; -1 silence
    Outcome outcome;
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

const ProbeCase kProbes[] = {
    {"loader256_neverAnswers", 1, 10, -1, Outcome::CommandError},
    {"loader256_answersThird", 1, 2, -1, Outcome::CommandOk},
    {"loader256_answersTenth", 1, 9, -1, Outcome::CommandOk},
    {"loader256_replyOneShort", 1, 10, 12, Outcome::CommandError},
    {"loader256_replyOneLong", 1, 10, 14, Outcome::CommandError},
    {"loader64_neverAnswers", 4, 10, -1, Outcome::CommandOk},
    {"loader64_replyOneLong", 4, 10, 10, Outcome::CommandOk},
    {"loader64_answersSecond", 4, 1, -1, Outcome::CommandOk},
};

class ProbeTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTest, probeAttempts_countdownPerFailure_tenAtMost)
{
    const ProbeCase& c = GetParam();
    Rig rig(c.kind);
    const std::string probe = c.kind == 4 ? "A" : "0001A";
    int probes = 0;
    rig.Respond([&](const std::string& command) {
        if (command == probe && probes++ < c.failures) {
            if (c.probeTextLength < 0)
                return std::string();
            return ct::link::EncodeReply(c.kind == 4 ? Framing::Xor : Framing::XorEtx,
                                         (probe + std::string(20, 'x')).substr(0, std::size_t(c.probeTextLength)));
        }
        return rig.controller.Answer(command);
    });
    ASSERT_EQ(rig.Run(2), c.outcome);
    std::vector<int> countdown;
    for (int n = 10; n > 10 - c.failures; --n)
        countdown.push_back(n);
    EXPECT_EQ(rig.view.countdown, countdown);
    const int attempts = std::min(c.failures + 1, 10);
    EXPECT_EQ(std::count(rig.device.commands.begin(), rig.device.commands.end(), probe), attempts);
    // Every attempt after its own 50 ms pause.
    std::vector<std::string> probeLoop;
    for (int i = 0; i < attempts; ++i)
        probeLoop.insert(probeLoop.end(), {P(50), Xor(probe)});
    const std::vector<std::string> transcript = rig.Transcript();
    const std::string secondEnter = Crc(c.kind == 4 ? "0001Zx" : "0001ZxA5");
    const auto loop = std::find(transcript.begin() + 2, transcript.end(), secondEnter);
    ASSERT_NE(loop, transcript.end());
    EXPECT_EQ(std::vector<std::string>(loop + 1, loop + 1 + std::min<std::ptrdiff_t>(transcript.end() - loop - 1,
                                                                                      2 * attempts)),
              probeLoop);
    if (c.outcome == Outcome::CommandError) {
        EXPECT_EQ(rig.device.commands.back(), probe);
    }
}

INSTANTIATE_TEST_SUITE_P(Probes, ProbeTest, ::testing::ValuesIn(kProbes));

TEST(UpgradeTest, loader64_probeAnswersEraseFails_commandErrorNothingAfter)
{
    Rig rig(4);
    rig.controller.misreplies = {{"E", 1, false}};
    ASSERT_EQ(rig.Run(2), Outcome::CommandError);
    EXPECT_EQ(rig.Transcript(), (std::vector<std::string>{P(100), Crc("0001Zx"), P(20), Crc("0001Zx"), P(50), Xor("A"),
                                                          P(50), Xor("E")}));
    EXPECT_TRUE(rig.view.countdown.empty());
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
}

TEST(UpgradeTest, loader64_probeSilentEraseGood_programsWholeImage)
{
    Rig rig(4);
    rig.controller.misreplies = {{"A", -1, true}};
    ASSERT_EQ(rig.Run(3), Outcome::CommandOk);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(rig.controller.memory.at(Hex4(unsigned(r * 64), false)), BlockHex(rig.image, r));
    EXPECT_EQ(rig.device.commands.back(), "X");
}

TEST(UpgradeTest, enterCommandsUnanswered_xorLoaders_stillProbeAndProgram)
{
    for (const int kind : {1, 4}) {
        Rig rig(kind);
        rig.controller.misreplies = {{kind == 4 ? "0001Zx" : "0001ZxA5", -1, true}};
        ASSERT_EQ(rig.Run(1), Outcome::CommandOk) << kind;
    }
}

TEST(UpgradeTest, kindWithoutLoader_linkOpenedNothingSent_commandError)
{
    for (const int kind : {7, 0}) {
        Rig rig(kind);
        FirmwareImage image;
        EXPECT_EQ(rig.Run(image), Outcome::CommandError);
        EXPECT_EQ(rig.device.opens, 1);
        EXPECT_TRUE(rig.device.frames.empty());
        EXPECT_TRUE(rig.clock.sleeps.empty());
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
        EXPECT_FALSE(rig.device.open);
    }
}

TEST(UpgradeTest, linkDoesNotOpen_connectErrorNothingSent)
{
    Rig rig(3);
    rig.device.failSerialOpen = true;
    EXPECT_EQ(rig.Run(2), Outcome::ConnectError);
    EXPECT_TRUE(rig.device.frames.empty());
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::ConnectError);
}

TEST(UpgradeTest, loader512_programmedImage_readBackEqualsImage)
{
    Rig rig(6);
    ASSERT_EQ(rig.Run(4), Outcome::CommandOk);
    ASSERT_EQ(rig.controller.memory.size(), 4u);
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(rig.controller.memory.at(Hex4(unsigned(r * 512), true)), BlockHex(rig.image, r));
}

TEST(BlockHexTest, block_bytes_twoUpperCaseDigitsEach)
{
    FirmwareImage image;
    image.blockSize = 4;
    image.ImageBlockCount = 2;
    image.bytes = {0x00, 0x0F, 0xA5, 0xFF, 0x10, 0x9B, 0xC0, 0x01};
    EXPECT_EQ(BlockHex(image, 0), "000FA5FF");
    EXPECT_EQ(BlockHex(image, 1), "109BC001");
}

}  // namespace
