// The substitute controller's boot loaders without I/O: entering them from
// the application, what each loader command does to the flash, the faults per
// block, the XOR request decoding, and the model name that "AS" writes.

#include "sim/BootLoader.h"
#include "sim/ControllerModel.h"
#include "sim/FaultPlan.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ct::link::Framing;
using namespace ct::sim;
namespace cmd = ct::link::cmd;

// Each loader as the tool talks to it.
struct Loader {
    const char* name;
    LoaderKind kind;
    const char* enter;
    Framing heard;  // the requests' framing inside the loader
    Framing replies;
    bool bare;      // commands without the controller ID
    std::size_t block;
    const char* program;
    const char* verify;
    const char* start;
    const char* addressFormat;
};

const Loader kLoaders[] = {
    {"Block512", LoaderKind::Block512, "Zx33BB", Framing::Crc, Framing::Crc, false, 512, "Zp", "Zv", "ZrAA55", "%04X"},
    {"Block256", LoaderKind::Block256, "ZxA5", Framing::Xor, Framing::XorEtx, false, 256, "P", "R", "X", "%04x"},
    {"Block64", LoaderKind::Block64, "Zx", Framing::Xor, Framing::Xor, true, 64, "P", "R", "X", "%04x"},
};

std::string LoaderName(const ::testing::TestParamInfo<Loader>& info)
{
    return info.param.name;
}

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::uint8_t b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

// A block whose bytes differ from block to block and from 0xFF.
std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7 + seed * 31 + 1) & 0xFF);
    return bytes;
}

class LoaderModel : public ::testing::TestWithParam<Loader> {
protected:
    LoaderModel() : model_(Config()) {}

    ControllerConfig Config() const
    {
        ControllerConfig c;
        c.loader = GetParam().kind;
        return c;
    }

    std::string Text(const std::string& code) const { return GetParam().bare ? code : "0001" + code; }
    std::string Address(std::size_t r) const
    {
        char digits[8];
        std::snprintf(digits, sizeof digits, GetParam().addressFormat, static_cast<unsigned>(r * GetParam().block));
        return digits;
    }
    std::optional<Response> Send(const std::string& code) { return model_.Respond(Text(code), GetParam().heard); }
    std::optional<Response> Program(std::size_t r, const std::vector<std::uint8_t>& bytes)
    {
        return Send(GetParam().program + Address(r) + Hex(bytes));
    }
    std::optional<Response> Verify(std::size_t r) { return Send(GetParam().verify + Address(r)); }
    // The read-back data of a verify reply text.
    std::string Data(const Response& r) const
    {
        return r.text.substr(GetParam().bare ? 1 : cmd::ControllerIdLength + std::string(GetParam().verify).size());
    }

    void Enter()
    {
        const auto entered = model_.Respond("0001" + std::string(GetParam().enter), Framing::Crc);
        ASSERT_TRUE(entered);
        EXPECT_EQ(entered->framing, Framing::Crc);
        ASSERT_TRUE(model_.loader().active());
        // The 64-byte loader erases everything at once; the 512-byte loader
        // needs no erase.
        if (GetParam().kind == LoaderKind::Block64) {
            ASSERT_TRUE(Send("E"));
        }
    }
    void Erase(std::size_t r)
    {
        if (GetParam().kind == LoaderKind::Block256) {
            ASSERT_TRUE(Send("E" + Address(r)));
        }
    }
    std::vector<std::uint8_t> Flash(std::size_t r) const
    {
        const auto& f = model_.loader().flash();
        const auto at = f.begin() + static_cast<std::ptrdiff_t>(r * GetParam().block);
        return {at, at + static_cast<std::ptrdiff_t>(GetParam().block)};
    }

    ControllerModel model_;
};

TEST_P(LoaderModel, enterCommand_fromApplication_acknowledgedInCrcAndApplicationSilent)
{
    ASSERT_NO_FATAL_FAILURE(Enter());
    EXPECT_EQ(model_.loader().entries(), 1);
    EXPECT_FALSE(model_.Respond("0001AC", Framing::Crc));
    EXPECT_FALSE(model_.Respond("0001DB", Framing::Crc));
    // Sent again from inside the loader: acknowledged, not a second entry.
    EXPECT_TRUE(model_.Respond("0001" + std::string(GetParam().enter), Framing::Crc));
    EXPECT_EQ(model_.loader().entries(), 1);
}

TEST_P(LoaderModel, programTwoBlocks_thenVerify_readsBackWhatWasWritten)
{
    ASSERT_NO_FATAL_FAILURE(Enter());
    ASSERT_NO_FATAL_FAILURE(Erase(0));
    const auto a = Pattern(GetParam().block, 1), b = Pattern(GetParam().block, 2);
    const auto pa = Program(0, a);
    ASSERT_TRUE(pa);
    EXPECT_EQ(pa->framing, GetParam().replies);
    EXPECT_FALSE(pa->spoiltCheck);
    ASSERT_TRUE(Program(1, b));
    EXPECT_EQ(Flash(0), a);
    EXPECT_EQ(Flash(1), b);
    const auto va = Verify(0), vb = Verify(1);
    ASSERT_TRUE(va && vb);
    EXPECT_EQ(Data(*va), Hex(a));
    EXPECT_EQ(Data(*vb), Hex(b));
    EXPECT_EQ(Flash(2), std::vector<std::uint8_t>(GetParam().block, 0xFF));
}

TEST_P(LoaderModel, startCommand_inLoader_returnsToApplication)
{
    ASSERT_NO_FATAL_FAILURE(Enter());
    const auto started = Send(GetParam().start);
    ASSERT_TRUE(started);
    EXPECT_EQ(started->framing, GetParam().replies);
    EXPECT_FALSE(model_.loader().active());
    EXPECT_EQ(model_.loader().starts(), 1);
    EXPECT_TRUE(model_.Answer("0001AC"));
    // Loader commands mean nothing to the application.
    EXPECT_FALSE(Verify(0));
}

TEST_P(LoaderModel, programFault_twiceForBlock_spoilsTwoAttemptsThenWrites)
{
    ControllerConfig c = Config();
    c.loaderFaults = {LoaderFault{LoaderFault::Kind::FailProgram, 1, 2}};
    model_.SetConfig(c);
    ASSERT_NO_FATAL_FAILURE(Enter());
    const auto bytes = Pattern(GetParam().block, 3);
    ASSERT_TRUE(Program(0, bytes));
    EXPECT_FALSE(Program(0, bytes)->spoiltCheck);  // another block is not hit
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto spoilt = Program(1, bytes);
        ASSERT_TRUE(spoilt);
        EXPECT_TRUE(spoilt->spoiltCheck) << attempt;
        EXPECT_EQ(Flash(1), std::vector<std::uint8_t>(GetParam().block, 0xFF)) << attempt;
    }
    const auto written = Program(1, bytes);
    ASSERT_TRUE(written);
    EXPECT_FALSE(written->spoiltCheck);
    EXPECT_EQ(Flash(1), bytes);
    EXPECT_TRUE(model_.config().loaderFaults.empty());
}

TEST_P(LoaderModel, verifyFaults_forBlock_spoilCheckOrLowerCaseTheData)
{
    ControllerConfig c = Config();
    c.loaderFaults = {LoaderFault{LoaderFault::Kind::FailVerify, 0, 1},
                      LoaderFault{LoaderFault::Kind::LowerCaseVerify, 1, -1}};
    model_.SetConfig(c);
    ASSERT_NO_FATAL_FAILURE(Enter());
    const auto bytes = Pattern(GetParam().block, 4);
    ASSERT_TRUE(Program(0, bytes));
    ASSERT_TRUE(Program(1, bytes));
    EXPECT_TRUE(Verify(0)->spoiltCheck);
    EXPECT_FALSE(Verify(0)->spoiltCheck);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto lower = Verify(1);
        ASSERT_TRUE(lower);
        EXPECT_FALSE(lower->spoiltCheck);
        std::string expected = Hex(bytes);
        for (char& ch : expected)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(Data(*lower), expected);
        EXPECT_NE(Data(*lower), Hex(bytes));
    }
}

TEST_P(LoaderModel, silentFromBlock_blocksFromThereOn_unansweredOthersAnswered)
{
    ControllerConfig c = Config();
    c.loaderFaults = {LoaderFault{LoaderFault::Kind::SilentFrom, 2, 1}};
    model_.SetConfig(c);
    ASSERT_NO_FATAL_FAILURE(Enter());
    const auto bytes = Pattern(GetParam().block, 5);
    EXPECT_TRUE(Program(0, bytes));
    EXPECT_TRUE(Program(1, bytes));
    EXPECT_FALSE(Program(2, bytes));
    EXPECT_FALSE(Program(3, bytes));
    EXPECT_FALSE(Program(2, bytes));  // it lasts
    EXPECT_FALSE(Verify(5));
    EXPECT_EQ(Flash(2), std::vector<std::uint8_t>(GetParam().block, 0xFF));
    EXPECT_TRUE(Verify(1));
    EXPECT_TRUE(Send(GetParam().start));
}

TEST_P(LoaderModel, malformedCommands_inLoader_unanswered)
{
    ASSERT_NO_FATAL_FAILURE(Enter());
    const Loader& l = GetParam();
    const std::string data = Hex(Pattern(l.block, 6));
    const std::vector<std::string> codes = {
        std::string(l.program) + Address(0) + data.substr(2),            // one byte short
        std::string(l.program) + Address(0) + data + "00",               // one byte more
        std::string(l.program) + Address(0) + "G" + data.substr(1),      // not hex
        std::string(l.program) + "FFFF" + data,                          // past the end of the flash
        std::string(l.verify) + Address(0) + "0",                        // trailing character
        std::string(l.verify) + "12",                                    // short address
    };
    for (const auto& code : codes)
        EXPECT_FALSE(Send(code)) << code;
    EXPECT_EQ(Flash(0), std::vector<std::uint8_t>(l.block, 0xFF));
    // The other framing is not the loader's.
    const Framing other = l.heard == Framing::Crc ? Framing::Xor : Framing::Crc;
    EXPECT_FALSE(model_.Respond(Text(std::string(l.verify) + Address(0)), other));
}

TEST_P(LoaderModel, otherLoadersEnterCommand_inApplication_notEntered)
{
    for (const Loader& l : kLoaders) {
        if (l.kind == GetParam().kind)
            continue;
        model_.Respond("0001" + std::string(l.enter), Framing::Crc);
        EXPECT_FALSE(model_.loader().active()) << l.name;
    }
    // Another controller's ID does not enter this one's loader either.
    EXPECT_FALSE(model_.Respond("0002" + std::string(GetParam().enter), Framing::Crc));
    EXPECT_EQ(model_.loader().entries(), 0);
}

INSTANTIATE_TEST_SUITE_P(Loaders, LoaderModel, ::testing::ValuesIn(kLoaders), LoaderName);

// Flash clears bits only: what an erase did not set back shows in the
// read-back. The 512-byte loader erases each block it programs.
struct RewriteCase {
    const char* name;
    LoaderKind kind;
    const char* program;  // block 0 with data
    const char* verify;
    Framing heard;
    bool erasesItself;
};

class Rewrite : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(Rewrite, programTwiceWithoutErase_readBack_showsFlashSemantics)
{
    const RewriteCase& c = GetParam();
    ControllerConfig config;
    config.loader = c.kind;
    ControllerModel model(config);
    const std::size_t block = c.kind == LoaderKind::Block512 ? 512 : c.kind == LoaderKind::Block256 ? 256 : 64;
    ASSERT_TRUE(model.Respond(c.kind == LoaderKind::Block512 ? "0001Zx33BB" : c.kind == LoaderKind::Block256 ? "0001ZxA5" : "0001Zx",
                              Framing::Crc));
    const std::vector<std::uint8_t> first(block, 0x0F), second(block, 0xF0);
    const std::string prefix = c.kind == LoaderKind::Block64 ? "" : "0001";
    ASSERT_TRUE(model.Respond(prefix + c.program + Hex(first), c.heard));
    ASSERT_TRUE(model.Respond(prefix + c.program + Hex(second), c.heard));
    const auto read = model.Respond(prefix + c.verify, c.heard);
    ASSERT_TRUE(read);
    const std::string expected = Hex(std::vector<std::uint8_t>(block, c.erasesItself ? 0xF0 : 0x00));
    EXPECT_EQ(read->text.substr(read->text.size() - 2 * block), expected);
}

INSTANTIATE_TEST_SUITE_P(Loaders, Rewrite,
                         ::testing::Values(RewriteCase{"Block256", LoaderKind::Block256, "P0000", "R0000", Framing::Xor, false},
                                           RewriteCase{"Block64", LoaderKind::Block64, "P0000", "R0000", Framing::Xor, false},
                                           RewriteCase{"Block512", LoaderKind::Block512, "Zp0000", "Zv0000", Framing::Crc, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BootLoaderErase, block256EraseOfOddBlock_erasesItsWholePage)
{
    ControllerConfig config;
    config.loader = LoaderKind::Block256;
    ControllerModel model(config);
    ASSERT_TRUE(model.Respond("0001ZxA5", Framing::Crc));
    const std::string zeros(512, '0');
    for (const char* address : {"0000", "0100", "0200"})
        ASSERT_TRUE(model.Respond("0001P" + std::string(address) + zeros, Framing::Xor));
    ASSERT_TRUE(model.Respond("0001E0100", Framing::Xor));
    const auto& flash = model.loader().flash();
    EXPECT_EQ(flash[0x0000], 0xFF);
    EXPECT_EQ(flash[0x01FF], 0xFF);
    EXPECT_EQ(flash[0x0200], 0x00);
}

TEST(BootLoaderErase, block64Erase_setsWholeFlashBack)
{
    ControllerConfig config;
    config.loader = LoaderKind::Block64;
    ControllerModel model(config);
    ASSERT_TRUE(model.Respond("0001Zx", Framing::Crc));
    ASSERT_TRUE(model.Respond("Pf000" + std::string(128, '0'), Framing::Xor));
    EXPECT_EQ(model.loader().flash()[0xF000], 0x00);
    ASSERT_TRUE(model.Respond("E", Framing::Xor));
    for (std::uint8_t b : model.loader().flash())
        ASSERT_EQ(b, 0xFF);
}

struct ProbeCase {
    LoaderKind kind;
    const char* enter;
    const char* probe;
    Framing replies;
    int replyLength;
};

TEST(BootLoaderProbe, probe_eachXorLoader_hasTheLengthTheToolExpects)
{
    const ProbeCase cases[] = {
        {LoaderKind::Block256, "0001ZxA5", "0001A", Framing::XorEtx, cmd::loader::ProbeReplyLength256},
        {LoaderKind::Block64, "0001Zx", "A", Framing::Xor, cmd::loader::ProbeReplyLength64},
    };
    for (const auto& c : cases) {
        ControllerConfig config;
        config.loader = c.kind;
        ControllerModel model(config);
        ASSERT_TRUE(model.Respond(c.enter, Framing::Crc));
        const auto probe = model.Respond(c.probe, Framing::Xor);
        ASSERT_TRUE(probe) << c.probe;
        EXPECT_EQ(probe->framing, c.replies);
        const std::string frame = RenderXorReply(probe->framing, probe->text, false);
        EXPECT_EQ(frame.size(), static_cast<std::size_t>(c.replyLength));
        EXPECT_TRUE(ct::link::CheckReply(c.replies, frame));
        EXPECT_FALSE(ct::link::CheckReply(c.replies, RenderXorReply(probe->framing, probe->text, true)));
    }
}

TEST(BootLoaderNone, enterCommands_controllerWithoutLoader_unanswered)
{
    ControllerConfig config;
    config.loader = LoaderKind::None;
    ControllerModel model(config);
    for (const char* enter : {"0001Zx33BB", "0001ZxA5", "0001Zx"})
        EXPECT_FALSE(model.Respond(enter, Framing::Crc)) << enter;
    EXPECT_FALSE(model.loader().active());
}

TEST(BootLoaderConfig, loaderTakenAwayInside_backInApplication)
{
    ControllerModel model;
    ASSERT_TRUE(model.Respond("0001Zx33BB", Framing::Crc));
    ControllerConfig config = model.config();
    config.loader = LoaderKind::None;
    model.SetConfig(config);
    EXPECT_FALSE(model.loader().active());
    EXPECT_TRUE(model.Answer("0001AC"));
}

TEST(XorRequest, decode_frames_textOnlyWhenCheckRight)
{
    const std::string good = ct::link::EncodeRequestString(Framing::Xor, "0001R0a00");
    auto text = [](const std::string& frame) {
        return XorCommandText(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size());
    };
    ASSERT_TRUE(text(good));
    EXPECT_EQ(*text(good), "0001R0a00");
    EXPECT_EQ(*text(ct::link::EncodeRequestString(Framing::Xor, "")), "");
    std::string wrong = good;
    wrong[wrong.size() - 2] = wrong[wrong.size() - 2] == '0' ? '1' : '0';
    EXPECT_FALSE(text(wrong));
    EXPECT_FALSE(text(ct::link::EncodeRequestString(Framing::Crc, "0001R0a00")));
    EXPECT_FALSE(text(good.substr(0, 3)));
}

TEST(XorRequest, decode_lowerCaseCheck_refused)
{
    // 0x01 ^ 'P' = 0x51 has no letter; "PZ": 0x01 ^ 0x50 ^ 0x5A = 0x0B.
    const std::string frame = std::string("\x01PZ0b\r");
    EXPECT_FALSE(XorCommandText(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size()));
    const std::string upper = std::string("\x01PZ0B\r");
    EXPECT_TRUE(XorCommandText(reinterpret_cast<const std::uint8_t*>(upper.data()), upper.size()));
}

struct ModelNameCase {
    const char* name;
    const char* command;
    const char* model;    // "DB" afterwards
    const char* version;
};

class ModelNameSetting : public ::testing::TestWithParam<ModelNameCase> {};

TEST_P(ModelNameSetting, setThenDescribe_reportsWhatWasWritten)
{
    ControllerModel model;
    const auto ack = model.Answer(GetParam().command);
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->size() + ct::link::CrcReplyOverhead, static_cast<std::size_t>(cmd::AckReplyLength));
    const auto describe = model.Answer("0001DB");
    ASSERT_TRUE(describe);
    const std::string frame = ct::link::EncodeReply(Framing::Crc, *describe);
    EXPECT_EQ(ct::link::ReplyField(frame, 8, 12), GetParam().model);
    EXPECT_EQ(ct::link::ReplyField(frame, 20, 4), GetParam().version);
    // "AS" alone still reads the serial number.
    const auto serial = model.Answer("0001AS");
    ASSERT_TRUE(serial);
    EXPECT_EQ(ct::link::ReplyField(ct::link::EncodeReply(Framing::Crc, *serial), 8, 8), "16030001");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelNameSetting,
    ::testing::Values(ModelNameCase{"nameOnly", "0001ASKX405NT4-SG4", "KX405NT4-SG4", "0520"},
                      ModelNameCase{"nameAndVersion", "0001ASKX450NT4-SG50495", "KX450NT4-SG5", "0495"},
                      ModelNameCase{"paddedName", "0001ASKX430-NT-4R ", "KX430-NT-4R ", "0520"},
                      ModelNameCase{"blankName", "0001AS            0298", "            ", "0298"}),
    [](const auto& info) { return std::string(info.param.name); });

struct OptionCase {
    const char* text;
    bool valid;
    LoaderFault::Kind kind;
    int block;
    int times;
};

TEST(LoaderOptions, parseLoaderFault_table_acceptsOnlyWellFormed)
{
    const OptionCase cases[] = {
        {"fail-program:3:4", true, LoaderFault::Kind::FailProgram, 3, 4},
        {"fail-verify:0", true, LoaderFault::Kind::FailVerify, 0, -1},
        {"lower-verify:7:-1", true, LoaderFault::Kind::LowerCaseVerify, 7, -1},
        {"silent-from:12", true, LoaderFault::Kind::SilentFrom, 12, -1},
        {"fail-program", false, {}, 0, 0},
        {"fail-program:-1", false, {}, 0, 0},
        {"fail-program:1:0", false, {}, 0, 0},
        {"fail-program:x", false, {}, 0, 0},
        {"fail-program:1:2:3", false, {}, 0, 0},
        {"program:1", false, {}, 0, 0},
    };
    for (const auto& c : cases) {
        const auto fault = ParseLoaderFaultOption(c.text);
        ASSERT_EQ(fault.has_value(), c.valid) << c.text;
        if (!fault)
            continue;
        EXPECT_EQ(fault->kind, c.kind) << c.text;
        EXPECT_EQ(fault->block, c.block) << c.text;
        EXPECT_EQ(fault->times, c.times) << c.text;
    }
}

TEST(LoaderOptions, parseLoader_table_namesEachKind)
{
    EXPECT_EQ(ParseLoaderOption("512"), LoaderKind::Block512);
    EXPECT_EQ(ParseLoaderOption("256"), LoaderKind::Block256);
    EXPECT_EQ(ParseLoaderOption("64"), LoaderKind::Block64);
    EXPECT_EQ(ParseLoaderOption("none"), LoaderKind::None);
    EXPECT_FALSE(ParseLoaderOption("128"));
    EXPECT_FALSE(ParseLoaderOption(""));
}

}  // namespace
