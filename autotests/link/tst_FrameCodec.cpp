#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace ct::link;

namespace {

std::string Hex(const std::string& hexText)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hexText.size();) {
        if (hexText[i] == ' ') {
            ++i;
            continue;
        }
        out += static_cast<char>(std::stoi(hexText.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

// Feeds every byte; returns the status of the last one.
AssembleStatus FeedAll(ReplyAssembler& a, const std::string& bytes, std::size_t* completedAt = nullptr)
{
    AssembleStatus s = AssembleStatus::Incomplete;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        s = a.Feed(static_cast<std::uint8_t>(bytes[i]));
        if (s == AssembleStatus::Complete) {
            if (completedAt)
                *completedAt = i;
            return s;
        }
    }
    return s;
}

#define EXPECT_BYTES(expected, actual) \
    EXPECT_EQ(expected, actual) << "expected " << EscapeBytes(expected) << "\n  actual " << EscapeBytes(actual)

}  // namespace

TEST(Crc16, checkValue_isBB3D)
{
    EXPECT_EQ(0xBB3D, Crc16("123456789"));
}

TEST(Crc16, tableAndBitwise_agreeOnEveryByte)
{
    for (int b = 0; b < 256; ++b) {
        const std::uint8_t data[2] = {static_cast<std::uint8_t>(b), 0x5A};
        std::uint16_t crc = 0;
        for (std::uint8_t byte : data) {
            crc ^= byte;
            for (int k = 0; k < 8; ++k)
                crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
        }
        ASSERT_EQ(crc, Crc16(data, 2)) << "byte " << b;
    }
}

struct EncodeCase {
    const char* name;
    Framing framing;
    std::string text;
    std::string frameHex;
};

void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.name; }

class EncodeRequestTable : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeRequestTable, encodeRequest_workedExamples_matchByteForByte)
{
    const auto& c = GetParam();
    EXPECT_BYTES(Hex(c.frameHex), EncodeRequestString(c.framing, c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Frames, EncodeRequestTable,
    ::testing::Values(
        EncodeCase{"crc_0001AS", Framing::Crc, "0001AS", "01 303030314153 02 45323537 0D"},
        EncodeCase{"xor_AS", Framing::Xor, "AS", "01 4153 3133 0D"},
        EncodeCase{"xorEtx_sameRequestAsXor", Framing::XorEtx, "AS", "01 4153 3133 0D"},
        // Empty text: CRC over SOH STX is 0x5180.
        EncodeCase{"crc_empty", Framing::Crc, "", "01 02 35313830 0D"},
        EncodeCase{"xor_empty", Framing::Xor, "", "01 3031 0D"},
        // The text counts up to its first NUL.
        EncodeCase{"crc_cutAtNul", Framing::Crc, std::string("0001AS\0XX", 9), "01 303030314153 02 45323537 0D"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeRequest, longestTexts_fitAndLongerAreRefused)
{
    RequestBuffer buffer;
    EXPECT_EQ(1500u, EncodeRequest(Framing::Crc, std::string(1493, 'A'), buffer));
    EXPECT_EQ(0u, EncodeRequest(Framing::Crc, std::string(1494, 'A'), buffer));
    EXPECT_EQ(1500u, EncodeRequest(Framing::Xor, std::string(1496, 'A'), buffer));
    EXPECT_EQ(0u, EncodeRequest(Framing::Xor, std::string(1497, 'A'), buffer));
    EXPECT_EQ(1500u, EncodeRequest(Framing::XorEtx, std::string(1496, 'A'), buffer));
}

TEST(CheckReply, crcWorkedExample_passesWithLength13)
{
    const std::string frame = Hex("03 303030314153 04 33393536 0D");
    ReplyAssembler a(Framing::Crc);
    ASSERT_EQ(AssembleStatus::Complete, FeedAll(a, frame));
    EXPECT_TRUE(a.Check());
    EXPECT_EQ(13u, a.position());
    EXPECT_BYTES(frame, a.Text());
    EXPECT_BYTES(frame, EncodeReply(Framing::Crc, "0001AS"));
}

struct CheckCase {
    const char* name;
    Framing framing;
    std::string frame;
    bool passes;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class CheckReplyTable : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckReplyTable, checkReply_decidesAsTheRulesSay)
{
    const auto& c = GetParam();
    EXPECT_EQ(c.passes, CheckReply(c.framing, c.frame)) << EscapeBytes(c.frame);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, CheckReplyTable,
    ::testing::Values(
        CheckCase{"crc_good", Framing::Crc, Hex("03 303030314153 04 33393536 0D"), true},
        CheckCase{"crc_wrongDigit", Framing::Crc, Hex("03 303030314153 04 33393537 0D"), false},
        CheckCase{"crc_noEot", Framing::Crc, Hex("03 303030314153 33393536 0D"), false},
        CheckCase{"crc_truncatedAfterEot", Framing::Crc, Hex("03 303030314153 04 3339 0D"), false},
        // Extra bytes between the CRC characters and the CR are not examined.
        CheckCase{"crc_extraBytes", Framing::Crc, Hex("03 303030314153 04 33393536 58 58 0D"), true},
        // 0x1A2B style digits: lower case never matches.
        CheckCase{"crc_lowerCase", Framing::Crc,
                  [] {
                      std::string f = EncodeReply(Framing::Crc, "0001DB");
                      for (std::size_t i = f.size() - 5; i < f.size() - 1; ++i)
                          f[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(f[i])));
                      return f;
                  }(),
                  false},
        CheckCase{"xor_good", Framing::Xor, std::string("\x02") + "AB" + "01" + "\r", true},
        CheckCase{"xor_bad", Framing::Xor, std::string("\x02") + "AB" + "02" + "\r", false},
        CheckCase{"xor_tooShort", Framing::Xor, std::string("\x02") + "2\r", false},
        CheckCase{"xorEtx_good", Framing::XorEtx, EncodeReply(Framing::XorEtx, "OK"), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckReply, lowerCaseDigits_refusedWhereUpperPasses)
{
    // Find a reply whose CRC has a hex letter, so that case matters.
    for (int i = 0; i < 100; ++i) {
        const std::string text = "0001AS" + std::to_string(i);
        std::string frame = EncodeReply(Framing::Crc, text);
        const std::string crc = frame.substr(frame.size() - 5, 4);
        if (crc.find_first_of("ABCDEF") == std::string::npos)
            continue;
        ASSERT_TRUE(CheckReply(Framing::Crc, frame));
        for (std::size_t k = frame.size() - 5; k < frame.size() - 1; ++k)
            frame[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(frame[k])));
        EXPECT_FALSE(CheckReply(Framing::Crc, frame)) << EscapeBytes(frame);
        return;
    }
    FAIL() << "no CRC with a letter found";
}

TEST(ReplyAssembler, noiseAndSecondStartByte_resynchroniseOnLastStart)
{
    const std::string good = EncodeReply(Framing::Crc, "0001AS");
    ReplyAssembler a(Framing::Crc);
    // Noise with a CR before the start byte cannot close a frame; a start byte
    // inside a frame restarts it.
    const std::string stream = std::string("zz\r\x04xx") + "\x03" "0001A" + good;
    std::size_t at = 0;
    ASSERT_EQ(AssembleStatus::Complete, FeedAll(a, stream, &at));
    EXPECT_EQ(stream.size() - 1, at);
    EXPECT_TRUE(a.Check());
    EXPECT_BYTES(good, a.Text());
}

TEST(ReplyAssembler, firstCrAfterStart_closesFrame_bytesAfterAreNotFed)
{
    const std::string good = EncodeReply(Framing::Crc, "0001AS");
    ReplyAssembler a(Framing::Crc);
    std::size_t at = 0;
    ASSERT_EQ(AssembleStatus::Complete, FeedAll(a, good + "trailing", &at));
    EXPECT_EQ(good.size() - 1, at);
}

TEST(ReplyAssembler, xorFraming_startsOnStxAndIgnoresEtx)
{
    ReplyAssembler a(Framing::Xor);
    const std::string frame = EncodeReply(Framing::Xor, "OK\x03");
    ASSERT_EQ(AssembleStatus::Complete, FeedAll(a, "\x03\r" + frame));
    EXPECT_TRUE(a.Check());
    EXPECT_EQ(frame.size(), a.position());
}

TEST(ReplyAssembler, nulInsideReply_cutsTextButLengthCountsEveryByte)
{
    const std::string text("0001A\0X", 7);
    const std::string frame = EncodeReply(Framing::Crc, text);
    ReplyAssembler a(Framing::Crc);
    ASSERT_EQ(AssembleStatus::Complete, FeedAll(a, frame));
    EXPECT_TRUE(a.Check());
    EXPECT_EQ(frame.size(), a.position());
    EXPECT_BYTES(std::string("\x03" "0001A"), a.Text());
}

TEST(ReplyAssembler, extraBytesBeforeCr_passCheckWithLongerLength)
{
    std::string frame = EncodeReply(Framing::Crc, "0001AS");
    frame.insert(frame.size() - 1, "XXX");
    ReplyAssembler a(Framing::Crc);
    ASSERT_EQ(AssembleStatus::Complete, FeedAll(a, frame));
    EXPECT_TRUE(a.Check());
    EXPECT_EQ(16u, a.position());
}

TEST(ReplyAssembler, frameOf1499Bytes_completes_1500AndMoreNever)
{
    for (std::size_t total : {1499u, 1500u, 1501u, 2999u, 3000u, 4000u}) {
        const std::string frame = EncodeReply(Framing::Crc, std::string(total - 7, 'A'));
        ASSERT_EQ(total, frame.size());
        ReplyAssembler a(Framing::Crc);
        const AssembleStatus s = FeedAll(a, frame);
        if (total < FrameBufferSize) {
            EXPECT_EQ(AssembleStatus::Complete, s) << total;
            EXPECT_TRUE(a.Check()) << total;
        } else {
            EXPECT_EQ(AssembleStatus::Incomplete, s) << total;
        }
    }
}

TEST(ReplyAssembler, afterLostLongFrame_nextStartByteAssemblesNormally)
{
    ReplyAssembler a(Framing::Crc);
    const std::string good = EncodeReply(Framing::Crc, "0001AS");
    ASSERT_EQ(AssembleStatus::Incomplete, FeedAll(a, "\x03" + std::string(1600, 'B') + "\r"));
    ASSERT_EQ(AssembleStatus::Complete, FeedAll(a, good));
    EXPECT_TRUE(a.Check());
    EXPECT_EQ(13u, a.position());
}

TEST(ReplyAssembler, reset_clearsBufferAndSwitchesStartByte)
{
    ReplyAssembler a(Framing::Crc);
    FeedAll(a, "\x03" "0001");
    a.Reset(Framing::Xor);
    EXPECT_EQ(0u, a.position());
    EXPECT_EQ(0, a.data()[0]);
    const std::string frame = EncodeReply(Framing::Xor, "AB");
    EXPECT_EQ(AssembleStatus::Complete, FeedAll(a, frame));
}

TEST(ReplyAssembler, byteAfterCompletedFrame_beginsNewFrame)
{
    // Fed on without a Reset, trailing bytes and their CR never extend the
    // completed frame into a second one; the next start byte does begin one.
    const std::string good = EncodeReply(Framing::Crc, "0001AS");
    ReplyAssembler a(Framing::Crc);
    ASSERT_EQ(AssembleStatus::Complete, FeedAll(a, good));
    EXPECT_EQ(AssembleStatus::Incomplete, FeedAll(a, "\x04" "XX\r"));
    std::size_t at = 0;
    ASSERT_EQ(AssembleStatus::Complete, FeedAll(a, good, &at));
    EXPECT_EQ(good.size() - 1, at);
    EXPECT_TRUE(a.Check());
    EXPECT_EQ(good.size(), a.position());
}

// --- The controller's side: request frames -----------------------------------

namespace {

struct Request {
    bool passes;
    std::string commandText;
    std::string frame;
    bool operator==(const Request& o) const
    {
        return passes == o.passes && commandText == o.commandText && frame == o.frame;
    }
};

std::ostream& operator<<(std::ostream& os, const Request& r)
{
    return os << (r.passes ? "passes " : "refused ") << EscapeBytes(r.commandText) << " in "
              << EscapeBytes(r.frame);
}

// Every frame the stream completes, with its check and command text.
std::vector<Request> Requests(const std::string& stream)
{
    RequestAssembler a;
    std::vector<Request> out;
    for (unsigned char b : stream) {
        if (a.Feed(b) != AssembleStatus::Complete)
            continue;
        const bool passes = a.Check();
        out.push_back({passes, passes ? std::string(a.CommandText()) : std::string(),
                       std::string(reinterpret_cast<const char*>(a.data()), a.position())});
    }
    return out;
}

std::string CrcRequest(const std::string& text)
{
    return EncodeRequestString(Framing::Crc, text);
}

Request Passes(const std::string& text)
{
    return {true, text, CrcRequest(text)};
}

Request Refused(const std::string& frame)
{
    return {false, "", frame};
}

}  // namespace

TEST(RequestAssembler, streamOfRequests_eachCommandTextInTurn)
{
    const std::string stream = CrcRequest("0001AS") + CrcRequest("") + CrcRequest("0000AV160300010042");
    EXPECT_EQ(Requests(stream), (std::vector<Request>{Passes("0001AS"), Passes(""), Passes("0000AV160300010042")}));
}

TEST(RequestAssembler, workedExample_commandTextBetweenSohAndStx)
{
    EXPECT_EQ(Requests(Hex("01 303030314153 02 45323537 0D")), std::vector<Request>{Passes("0001AS")});
}

struct BadRequestCase {
    const char* name;
    std::string frame;
};

void PrintTo(const BadRequestCase& c, std::ostream* os) { *os << c.name; }

class BadRequest : public ::testing::TestWithParam<BadRequestCase> {};

TEST_P(BadRequest, check_refusesFrame_andNextRequestPasses)
{
    const std::string& bad = GetParam().frame;
    EXPECT_EQ(Requests(bad + CrcRequest("0001DB")), (std::vector<Request>{Refused(bad), Passes("0001DB")}));
}

// 0001AS has the CRC E257: each fault below changes one thing about it.
INSTANTIATE_TEST_SUITE_P(
    Frames, BadRequest,
    ::testing::Values(
        BadRequestCase{"wrongCrcDigit", Hex("01 303030314153 02 45323538 0D")},
        BadRequestCase{"crcOfOtherText", Hex("01 303030314154 02 45323537 0D")},
        BadRequestCase{"lowerCaseCrc", Hex("01 303030314153 02 65323537 0D")},
        BadRequestCase{"noStx", Hex("01 303030314153 45323537 0D")},
        BadRequestCase{"stxMisplaced", Hex("01 3030303141 02 53 45323537 0D")},
        BadRequestCase{"crcCut", Hex("01 303030314153 02 453235 0D")},
        BadRequestCase{"sohAndCrOnly", Hex("01 0D")},
        // The XOR framing of the same text: no STX, two check characters.
        BadRequestCase{"xorFramed", EncodeRequestString(Framing::Xor, "0001AS")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RequestAssembler, lowerCaseCrc_refusedWhereUpperPasses)
{
    const std::string good = CrcRequest("0001AS");
    ASSERT_EQ(good.substr(8, 4), "E257");
    std::string lower = good;
    lower[8] = 'e';
    EXPECT_EQ(Requests(good + lower), (std::vector<Request>{Passes("0001AS"), Refused(lower)}));
}

TEST(RequestAssembler, noiseAndRestartedFrame_lastFrameTaken)
{
    // Noise with a CR before any SOH, then a frame cut short by a new SOH.
    const std::string stream = std::string("xy\r\x05") + "\x01" "0001D" + CrcRequest("0001DG0");
    EXPECT_EQ(Requests(stream), std::vector<Request>{Passes("0001DG0")});
}

TEST(RequestAssembler, bytesBetweenFrames_neverCompleteAFrame)
{
    const std::string stream = CrcRequest("0001AS") + "\x02" "E257\r" + CrcRequest("0001DB");
    EXPECT_EQ(Requests(stream), (std::vector<Request>{Passes("0001AS"), Passes("0001DB")}));
}

// The longest command text the tool sends fills the whole buffer: a reply
// of that size would be refused, a request is heard.
TEST(RequestAssembler, longestRequest_passes_longerDroppedWhole)
{
    const std::string longest(MaxCrcCommandLength, 'A');
    ASSERT_EQ(FrameBufferSize, CrcRequest(longest).size());
    EXPECT_EQ(Requests(CrcRequest(longest) + CrcRequest("0001AS")),
              (std::vector<Request>{Passes(longest), Passes("0001AS")}));
    // 1501 bytes and more never complete; the next SOH assembles normally.
    std::string overlong = CrcRequest(longest);
    overlong.insert(1, "A");
    const std::string stream = overlong + "\x01" + std::string(2000, 'B') + "\r" + CrcRequest("0001AS");
    EXPECT_EQ(Requests(stream), std::vector<Request>{Passes("0001AS")});
}

TEST(ReplyField, positionsAndBounds_behaveLikeSubstring)
{
    const std::string t = "\x03" "0034AC0000\x04";
    EXPECT_EQ("0034", ReplyField(t, 2, 4));
    EXPECT_EQ("\x03", ReplyField(t, 1, 1));
    EXPECT_EQ("\x04", ReplyField(t, 12, 5));  // count cut at the end
    EXPECT_EQ("", ReplyField(t, 13, 1));      // start beyond the end
    EXPECT_EQ("", ReplyField(t, 2, 0));
    EXPECT_EQ("\x03" "0", ReplyField(t, 0, 2));  // below 1 counts from 1
    EXPECT_EQ("", ReplyField("", 1, 4));
}

TEST(EscapeBytes, controlHighAndBackslash_writtenAsEscapes)
{
    EXPECT_EQ("\\x03" "0001 AS~\\x04\\x0D", EscapeBytes("\x03" "0001 AS~\x04\r"));
    EXPECT_EQ("a\\\\b\\x00\\x7F\\xFF", EscapeBytes(std::string("a\\b\0\x7F\xFF", 6)));
}
