// Feeds arbitrary bytes to the firmware image loader as the contents of a
// firmware file (and, repeated, as one longer than any loader takes), for every controller kind and a few version panels (two
// fixed ones and one that names the file's own header). Loading never
// crashes or overruns, and the image always holds together: whole blocks of
// the loader's size, no more than the loader takes, the payload in address
// order followed by 0xFF fill, the header cut at its first NUL within 16
// bytes, and the model verdict the one the model check gives.
#include "firmware/FirmwareImage.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

using namespace ct::firmware;

namespace {

void Require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "firmware image invariant broken: %s\n", what);
        std::abort();
    }
}

// One file for the whole run, rewritten for every input.
const std::string& ScratchPath()
{
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_firmware_XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        Require(fd >= 0, "no scratch file");
        ::close(fd);
        std::atexit([] { std::remove(ScratchPath().c_str()); });
        return pattern;
    }();
    return path;
}

void WriteScratch(const std::uint8_t* data, std::size_t size)
{
    std::FILE* out = std::fopen(ScratchPath().c_str(), "wb");
    Require(out != nullptr, "scratch file cannot be written");
    Require(size == 0 || std::fwrite(data, 1, size, out) == size, "scratch file short write");
    std::fclose(out);
}

void CheckImage(int kind, const std::string& panel, const std::string& file)
{
    FirmwareImage image;
    const LoadResult result = LoadFirmwareImage(ScratchPath(), kind, panel, image);
    Require(result != LoadResult::CannotOpen, "a readable file cannot be opened");

    const std::string headerBytes = file.substr(0, std::size_t(HeaderLength));
    const std::string header = headerBytes.substr(0, headerBytes.find('\0'));
    Require(image.header.size() <= std::size_t(HeaderLength), "header longer than 16");
    Require(image.header == header, "header is not the first 16 bytes up to a NUL");
    const LoaderParams params = LoaderFor(kind);
    const bool noImage = params.loader != Loader::None && image.ImageBlockCount == 0;
    Require((result == LoadResult::NoImage) == noImage, "an image of no blocks is not refused as such");
    Require(noImage || (result == LoadResult::Ok) == ModelAccepted(kind, image.header, panel),
            "verdict is not the model check's");

    Require(image.blockSize == params.blockSize, "block size is not the loader's");
    Require(image.ImageBlockCount >= 0 && image.ImageBlockCount <= params.maxBlocks, "more blocks than the loader takes");
    Require(std::size_t(image.ImageBlockCount) * std::size_t(image.blockSize) == image.bytes.size(),
            "image is not whole blocks");
    if (params.loader == Loader::None) {
        Require(image.ImageBlockCount == 0 && image.bytes.empty(), "payload read for a kind without a loader");
        return;
    }
    const std::size_t payload = file.size() > std::size_t(HeaderLength) ? file.size() - std::size_t(HeaderLength) : 0;
    const std::size_t taken = std::min(payload, std::size_t(params.blockSize) * std::size_t(params.maxBlocks));
    const std::size_t block = std::size_t(params.blockSize);
    Require(std::size_t(image.ImageBlockCount) == (taken + block - 1) / block, "block count is not the payload's");
    Require(taken == 0 || std::memcmp(image.bytes.data(), file.data() + HeaderLength, taken) == 0,
            "payload byte changed");
    Require(std::all_of(image.bytes.begin() + std::ptrdiff_t(taken), image.bytes.end(),
                        [](std::uint8_t b) { return b == 0xFF; }),
            "fill past the payload is not 0xFF");
}

// Every kind with every panel; `loadersOnly`: the kinds with a loader and
// the file's own panel.
void CheckFile(const std::string& file, bool loadersOnly)
{
    WriteScratch(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    const std::string headerBytes = file.substr(0, std::size_t(HeaderLength));
    const std::string header = headerBytes.substr(0, headerBytes.find('\0'));
    const std::string panels[] = {"KX460NT4-G3F  0520", "KX410NT4-SG4  0503", header + "  0503"};
    for (int kind = 0; kind <= 7; ++kind) {
        if (loadersOnly && LoaderFor(kind).loader == Loader::None)
            continue;
        for (const std::string& panel : panels) {
            if (!loadersOnly || &panel == &panels[2])
                CheckImage(kind, panel, file);
        }
    }
    Require(ReadHeaderText(ScratchPath()) == std::optional<std::string>(header), "header read alone differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    CheckFile(input, false);
    // The same bytes repeated to a payload around the largest images the
    // loaders take (62,976 and 63,488 bytes), on either side of them: the
    // cut and the fill of a last block there, which inputs of the usual
    // lengths never reach.
    if (!input.empty()) {
        const std::size_t length = std::size_t(HeaderLength) + 62400 + (size * 97 + data[0]) % 1600;
        std::string longFile;
        longFile.reserve(length + size);
        while (longFile.size() < length)
            longFile += input;
        longFile.resize(length);
        CheckFile(longFile, true);
    }
    return 0;
}
