// Loading a firmware file: header text, cutting the payload into blocks of
// the loader's size with the last one padded, the largest image a loader
// takes, the model check of each kind, and what counts as a file that
// cannot be opened.
#include "firmware/FirmwareImage.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ct::firmware::FirmwareImage;
using ct::firmware::LoadFirmwareImage;
using ct::firmware::LoadResult;

constexpr const char* kPanel405 = "KX405NT4-SG4  0503";

class FirmwareFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Parameterised test names hold a slash.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        dir_ = fs::temp_directory_path() / ("ct-fw-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(dir_ / "locked", fs::perms::owner_all, ignored);
        fs::remove_all(dir_, ignored);
    }

    std::string Write(const std::string& bytes, const std::string& name = "image.KXB")
    {
        const fs::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    fs::path dir_;
};

// A 16-byte header holding `model`, NULs after it.
std::string Header(const std::string& model)
{
    std::string header = model.substr(0, 16);
    header.resize(16, '\0');
    return header;
}

// Payload bytes that differ from their neighbours and from the 0xFF fill.
std::string Payload(std::size_t size, std::uint8_t salt = 0)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251 + salt) % 0xFF);
    return bytes;
}

struct BlockCase {
    int kind;
    int blockSize;
    int maxBlocks;
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << "kind" << c.kind; }

const BlockCase kLoaderKinds[] = {
    {3, 512, 124}, {6, 512, 124}, {1, 256, 248}, {2, 256, 248}, {5, 256, 248}, {4, 64, 984},
};

// A header that every kind's model check takes with the panel used below.
std::string HeaderFor(int kind)
{
    switch (kind) {
    case 3:
        return Header("KX405NT-G4");
    case 6:
        return Header("KX450NT-G5");
    default:
        return Header(kPanel405);
    }
}

class BlockCutTest : public FirmwareFileTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(BlockCutTest, loaderParams_byKind_blockSizeAndLimit)
{
    const BlockCase& c = GetParam();
    const auto params = ct::firmware::LoaderFor(c.kind);
    EXPECT_EQ(params.blockSize, c.blockSize);
    EXPECT_EQ(params.maxBlocks, c.maxBlocks);
}

TEST_P(BlockCutTest, fileOf16BytesOrLess_anyLoader_refusedAsNoImage)
{
    const BlockCase& c = GetParam();
    for (const std::string& file : {HeaderFor(c.kind), HeaderFor(c.kind).substr(0, 5), std::string()}) {
        FirmwareImage image;
        ASSERT_EQ(LoadFirmwareImage(Write(file), c.kind, kPanel405, image), LoadResult::NoImage) << file.size();
        EXPECT_EQ(image.ImageBlockCount, 0);
        EXPECT_TRUE(image.bytes.empty());
    }
}

TEST_P(BlockCutTest, payloadOfWholeBlocks_andOneByteMore_lastBlockPaddedWithFF)
{
    const BlockCase& c = GetParam();
    for (const int k : {1, 3}) {
        SCOPED_TRACE(k);
        const std::string whole = Payload(std::size_t(k) * std::size_t(c.blockSize));
        FirmwareImage image;
        ASSERT_EQ(LoadFirmwareImage(Write(HeaderFor(c.kind) + whole), c.kind, kPanel405, image), LoadResult::Ok);
        EXPECT_EQ(image.ImageBlockCount, k);
        EXPECT_EQ(std::string(image.bytes.begin(), image.bytes.end()), whole);

        const std::string more = whole + '\x5A';
        ASSERT_EQ(LoadFirmwareImage(Write(HeaderFor(c.kind) + more), c.kind, kPanel405, image), LoadResult::Ok);
        EXPECT_EQ(image.ImageBlockCount, k + 1);
        ASSERT_EQ(image.bytes.size(), std::size_t(k + 1) * std::size_t(c.blockSize));
        std::string expected = more;
        expected.resize(image.bytes.size(), '\xFF');
        EXPECT_EQ(std::string(image.bytes.begin(), image.bytes.end()), expected);
        const std::uint8_t* last = image.Block(k);
        EXPECT_EQ(last[0], 0x5A);
        EXPECT_EQ(last[1], 0xFF);
    }
}

TEST_P(BlockCutTest, payloadPastLargestImage_cutAtLimit_restNeverTaken)
{
    const BlockCase& c = GetParam();
    const std::size_t largest = std::size_t(c.blockSize) * std::size_t(c.maxBlocks);
    // A tail that no block may hold: a loaded image that contained any of
    // it would differ from the payload's first `largest` bytes.
    const std::string payload = Payload(largest) + std::string(5000, '\x11');
    FirmwareImage image;
    ASSERT_EQ(LoadFirmwareImage(Write(HeaderFor(c.kind) + payload), c.kind, kPanel405, image), LoadResult::Ok);
    EXPECT_EQ(image.ImageBlockCount, c.maxBlocks);
    ASSERT_EQ(image.bytes.size(), largest);
    EXPECT_EQ(std::string(image.bytes.begin(), image.bytes.end()), payload.substr(0, largest));
}

INSTANTIATE_TEST_SUITE_P(Loaders, BlockCutTest, ::testing::ValuesIn(kLoaderKinds));

TEST_F(FirmwareFileTest, seventyThousandBytes_kind3_124BlocksUpTo63488)
{
    const std::string payload = Payload(63488, 3) + std::string(70000 - 63488, '\x22');
    FirmwareImage image;
    ASSERT_EQ(LoadFirmwareImage(Write(Header("KX405NT-G4") + payload), 3, kPanel405, image), LoadResult::Ok);
    EXPECT_EQ(image.ImageBlockCount, 124);
    ASSERT_EQ(image.bytes.size(), 63488u);
    EXPECT_EQ(image.bytes.back(), static_cast<std::uint8_t>(payload[63487]));
    EXPECT_EQ(std::string(image.bytes.begin(), image.bytes.end()), payload.substr(0, 63488));
}

struct HeaderCase {
    const char* name;
    std::string fileBytes;
    std::string header;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

const HeaderCase kHeaders[] = {
    {"empty", "", ""},
    {"fiveBytes", "KX405", "KX405"},
    {"fifteenBytes", "KX405NT-G4ABCDE", "KX405NT-G4ABCDE"},
    {"sixteenFull", "KX405NT-G4ABCDEF", "KX405NT-G4ABCDEF"},
    {"nulEnds", std::string("KX405NT-G4\0XYZWV", 16), "KX405NT-G4"},
    {"nulFirst", std::string("\0KX405NT-G4ABCDE", 16), ""},
    {"payloadNotHeader", "KX405NT-G4ABCDEFGHIJ", "KX405NT-G4ABCDEF"},
};

class HeaderTextTest : public FirmwareFileTest, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(HeaderTextTest, file_anyLength_headerUpToFirstNulWithin16)
{
    const HeaderCase& c = GetParam();
    const std::string path = Write(c.fileBytes);
    FirmwareImage image;
    for (const int kind : {0, 3, 1, 4}) {
        SCOPED_TRACE(kind);
        const LoadResult result = LoadFirmwareImage(path, kind, kPanel405, image);
        EXPECT_NE(result, LoadResult::CannotOpen);
        EXPECT_EQ(image.header, c.header);
        const std::size_t payload = c.fileBytes.size() > 16 ? c.fileBytes.size() - 16 : 0;
        EXPECT_EQ(image.ImageBlockCount, payload == 0 || kind == 0 ? 0 : 1);
    }
    EXPECT_EQ(ct::firmware::ReadHeaderText(path), std::optional<std::string>(c.header));
}

INSTANTIATE_TEST_SUITE_P(Files, HeaderTextTest, ::testing::ValuesIn(kHeaders));

struct ModelCase {
    const char* name;
    int kind;
    std::string header;
    std::string panel;
    bool accepted;
};

void PrintTo(const ModelCase& c, std::ostream* os) { *os << c.name; }

const ModelCase kModels[] = {
    {"kind3_ownModelNulAfter", 3, "KX405NT-G4", kPanel405, true},
    {"kind3_moreAfterModel", 3, "KX405NT-G4 rev2", "", true},
    {"kind3_lowerCase", 3, "kx405nt-g4", kPanel405, false},
    {"kind3_cutShort", 3, "KX405NT-G", kPanel405, false},
    {"kind3_fileForKind6", 3, "KX450NT-G5", kPanel405, false},
    {"kind6_ownModel", 6, "KX450NT-G5", "KX450NT4-SG5  0503", true},
    {"kind6_fileForKind3", 6, "KX405NT-G4", "KX450NT4-SG5  0503", false},
    {"kind1_kx460TakesKx400Image", 1, "KX400NT4-G1F", "KX460NT4-G3F  0520", true},
    {"kind1_kx460ExactlyEightChars", 1, "KX400NT4", "KX460NT4-G3F  0520", true},
    {"kind1_kx460OwnDesignation", 1, "KX460NT4-G3F", "KX460NT4-G3F  0520", false},
    {"kind1_kx460HeaderTooShort", 1, "KX400NT", "KX460NT4-G3F  0520", false},
    {"kind2_kx460OtherSeries", 2, "KX400NT5-G1F", "KX460NT4-G3F  0520", false},
    {"kind5_elevenCharsMatch", 5, "KX410NT4-SGx", "KX410NT4-SG4  0520", true},
    {"kind5_eleventhDiffers", 5, "KX410NT4-SX4", "KX410NT4-SG4  0520", false},
    {"kind1_headerShorterThanEleven", 1, "KX410NT4", "KX410NT4-SG4  0520", false},
    {"kind4_sevenCharsMatch", 4, "KX470NTx", "KX470NT4-SG4  0503", true},
    {"kind4_exactlySeven", 4, "KX470NT", "KX470NT4-SG4  0503", true},
    {"kind4_sixChars", 4, "KX470N", "KX470NT4-SG4  0503", false},
    {"kind4_seventhDiffers", 4, "KX470NX4-SG4", "KX470NT4-SG4  0503", false},
    {"kind4_caseDiffers", 4, "kx470NT4-SG4", "KX470NT4-SG4  0503", false},
    {"kind4_emptyPanelEmptyHeader", 4, "", "", true},
};

class ModelCheckTest : public FirmwareFileTest, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(ModelCheckTest, header_againstKindAndPanel_acceptedOrMismatch)
{
    const ModelCase& c = GetParam();
    EXPECT_EQ(ct::firmware::ModelAccepted(c.kind, c.header, c.panel), c.accepted);
    FirmwareImage image;
    const std::string payload = Payload(100);
    EXPECT_EQ(LoadFirmwareImage(Write(Header(c.header) + payload), c.kind, c.panel, image),
              c.accepted ? LoadResult::Ok : LoadResult::ModelMismatch);
    // A rejected file's data stays in the image.
    EXPECT_EQ(image.header, c.header);
    EXPECT_EQ(image.ImageBlockCount, c.kind == 4 ? 2 : 1);
    EXPECT_EQ(std::string(image.bytes.begin(), image.bytes.begin() + 100), payload);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ModelCheckTest, ::testing::ValuesIn(kModels));

TEST_F(FirmwareFileTest, kindWithoutLoader_anyReadableFile_acceptedNoPayloadRead)
{
    const std::string path = Write("garbage header!!" + Payload(5000));
    for (const int kind : {0, 7, -1, 8}) {
        SCOPED_TRACE(kind);
        FirmwareImage image;
        EXPECT_EQ(LoadFirmwareImage(path, kind, "", image), LoadResult::Ok);
        EXPECT_EQ(image.header, "garbage header!!");
        EXPECT_EQ(image.ImageBlockCount, 0);
        EXPECT_TRUE(image.bytes.empty());
        EXPECT_EQ(image.blockSize, 0);
    }
}

TEST_F(FirmwareFileTest, noFirmwareFile_eachKind_cannotOpen)
{
    const std::string regular = Write(Header("KX405NT-G4") + Payload(600));
    const std::vector<std::string> paths = {
        (dir_ / "missing.KXB").string(),
        dir_.string(),
        regular + "/inside",
        "/dev/null",
        "/dev/zero",
        "",
    };
    for (const std::string& path : paths) {
        for (const int kind : {0, 3, 1, 4, 7}) {
            SCOPED_TRACE(path + " kind " + std::to_string(kind));
            FirmwareImage image;
            image.ImageBlockCount = 99;
            EXPECT_EQ(LoadFirmwareImage(path, kind, kPanel405, image), LoadResult::CannotOpen);
            EXPECT_EQ(image.ImageBlockCount, 0);
        }
        EXPECT_EQ(ct::firmware::ReadHeaderText(path), std::nullopt) << path;
    }
}

TEST_F(FirmwareFileTest, fileWithoutReadPermission_anyKind_cannotOpen)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows keeps no read permission in these mode bits";
#else
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user";
#endif
    const std::string path = Write(Header("KX405NT-G4") + Payload(600), "locked");
    fs::permissions(path, fs::perms::none);
    FirmwareImage image;
    EXPECT_EQ(LoadFirmwareImage(path, 3, kPanel405, image), LoadResult::CannotOpen);
    EXPECT_EQ(LoadFirmwareImage(path, 0, kPanel405, image), LoadResult::CannotOpen);
}

TEST_F(FirmwareFileTest, pathWithNonAsciiName_readAsUtf8)
{
    const std::string path = Write(Header("KX405NT-G4") + Payload(10), "Pr\xC3\xBC" "fung.KXB");
    FirmwareImage image;
    EXPECT_EQ(LoadFirmwareImage(path, 3, kPanel405, image), LoadResult::Ok);
    EXPECT_EQ(image.ImageBlockCount, 1);
}

struct KindForModelCase {
    const char* panel;
    int kind;
};

void PrintTo(const KindForModelCase& c, std::ostream* os) { *os << '"' << c.panel << '"'; }

const KindForModelCase kKindsForModels[] = {
    {"KX405NT4-SG4  0503", 3}, {"KX405NT-G4", 3},          {"KX405NT4-SG4", 3},
    {"KX450NT4-SG5  0503", 6}, {"KX450NT-G5  0100", 6},    {"KX405NT4-SG5  0503", 0},
    {"KX450NT4-SG4  0503", 0}, {"KX410NT4-SG4  0520", 0},  {"KX460NT4-G3F  0520", 0},
    {"kx405NT4-SG4  0503", 0}, {"KX405NT4-SG4G5", 3},      {"", 0},
    {"KX405", 0},              {"KX405G4     0503", 3},
};

class LoaderKindTest : public ::testing::TestWithParam<KindForModelCase> {};

TEST_P(LoaderKindTest, versionPanel_model_kindOfItsLoader)
{
    EXPECT_EQ(ct::firmware::LoaderKindForModel(GetParam().panel), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Panels, LoaderKindTest, ::testing::ValuesIn(kKindsForModels));

}  // namespace
