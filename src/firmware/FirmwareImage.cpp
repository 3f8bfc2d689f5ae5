#include "firmware/FirmwareImage.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace ct::firmware {

namespace {

// Characters a..b (1-based) of `text`, cut at its end.
std::string Chars(const std::string& text, std::size_t a, std::size_t b)
{
    if (a > text.size())
        return {};
    return text.substr(a - 1, b - a + 1);
}

std::string HeaderText(const char (&raw)[HeaderLength], std::size_t got)
{
    std::string header;
    for (std::size_t i = 0; i < got && raw[i] != '\0'; ++i)
        header += raw[i];
    return header;
}

// Opens only a regular file: a directory, a device or a pipe is no firmware
// file, and reading one could block or never end.
bool OpenRegular(const std::string& path, std::ifstream& in)
{
    std::error_code error;
    const std::filesystem::path file = std::filesystem::u8path(path);
    if (!std::filesystem::is_regular_file(file, error))
        return false;
    in.open(file, std::ios::binary);
    return in.is_open();
}

}  // namespace

int LoaderKindForModel(const std::string& versionPanel)
{
    // The panel shows the 12-character model, two spaces and the version.
    std::string model = Chars(versionPanel, 1, 12);
    while (!model.empty() && model.back() == ' ')
        model.pop_back();
    const auto endsWith = [&model](const char* tail) {
        const std::string t = tail;
        return model.size() >= t.size() && model.compare(model.size() - t.size(), t.size(), t) == 0;
    };
    if (Chars(model, 1, 5) == "KX405" && endsWith("G4"))
        return 3;
    if (Chars(model, 1, 5) == "KX450" && endsWith("G5"))
        return 6;
    return 0;
}

LoaderParams LoaderFor(int kind)
{
    switch (kind) {
    case 3:
    case 6:
        return {Loader::Block512, 512, 124};
    case 1:
    case 2:
    case 5:
        return {Loader::Block256, 256, 248};
    case 4:
        return {Loader::Block64, 64, 984};
    default:
        return {};
    }
}

bool ModelAccepted(int kind, const std::string& header, const std::string& panel)
{
    switch (kind) {
    case 3:
        return Chars(header, 1, 10) == "KX405NT-G4";
    case 6:
        return Chars(header, 1, 10) == "KX450NT-G5";
    case 1:
    case 2:
    case 5:
        // A KX460 controller takes the KX400 image.
        if (Chars(panel, 1, 5) == "KX460")
            return Chars(header, 1, 8) == "KX400" + Chars(panel, 6, 8);
        return Chars(header, 1, 11) == Chars(panel, 1, 11);
    case 4:
        return Chars(header, 1, 7) == Chars(panel, 1, 7);
    default:
        return true;
    }
}

std::optional<std::string> ReadHeaderText(const std::string& path)
{
    std::ifstream in;
    if (!OpenRegular(path, in))
        return std::nullopt;
    char raw[HeaderLength] = {};
    in.read(raw, HeaderLength);
    return HeaderText(raw, static_cast<std::size_t>(in.gcount()));
}

LoadResult LoadFirmwareImage(const std::string& path, int kind, const std::string& versionPanel,
                             FirmwareImage& image)
{
    const LoaderParams params = LoaderFor(kind);
    image = FirmwareImage{};
    image.blockSize = params.blockSize;

    std::ifstream in;
    if (!OpenRegular(path, in))
        return LoadResult::CannotOpen;
    char raw[HeaderLength] = {};
    in.read(raw, HeaderLength);
    image.header = HeaderText(raw, static_cast<std::size_t>(in.gcount()));

    if (params.loader != Loader::None) {
        const std::size_t largest = std::size_t(params.blockSize) * std::size_t(params.maxBlocks);
        image.bytes.resize(largest);
        in.read(reinterpret_cast<char*>(image.bytes.data()), static_cast<std::streamsize>(largest));
        const std::size_t got = in.gcount() > 0 ? static_cast<std::size_t>(in.gcount()) : 0;
        image.ImageBlockCount = static_cast<int>((got + std::size_t(params.blockSize) - 1) / std::size_t(params.blockSize));
        image.bytes.resize(std::size_t(image.ImageBlockCount) * std::size_t(params.blockSize));
        std::fill(image.bytes.begin() + static_cast<std::ptrdiff_t>(got), image.bytes.end(), std::uint8_t(0xFF));
        if (image.ImageBlockCount == 0)
            return LoadResult::NoImage;
    }
    return ModelAccepted(kind, image.header, versionPanel) ? LoadResult::Ok : LoadResult::ModelMismatch;
}

}  // namespace ct::firmware
