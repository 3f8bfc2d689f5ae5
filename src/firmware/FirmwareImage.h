// The firmware file and the image the upgrade sends: a 16-byte header naming
// the model the image was built for (ending at its first NUL), then the raw
// image from address 0. The image is cut into blocks of the size the
// controller's loader takes, the last one padded with 0xFF; no more of the
// file is read than the loader's largest image, however big the file is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ct::firmware {

inline constexpr int HeaderLength = 16;

enum class Loader { None, Block512, Block256, Block64 };

struct LoaderParams {
    Loader loader = Loader::None;
    int blockSize = 0;
    int maxBlocks = 0;
};

// The kind whose loader the connected model takes, from the version panel's
// model: 3 for a KX405 of the G4 generation, 6 for a KX450 of the G5
// generation (the models the firmware files for kinds 3 and 6 name); 0, no
// loader, for any other.
int LoaderKindForModel(const std::string& versionPanel);

// By controller kind: 3 and 6 the 512-byte loader (124 blocks), 1, 2 and 5
// the 256-byte loader (248), 4 the 64-byte loader (984), any other none.
LoaderParams LoaderFor(int kind);

struct FirmwareImage {
    std::string header;  // at most 16 characters
    int blockSize = 0;
    int ImageBlockCount = 0;
    std::vector<std::uint8_t> bytes;  // ImageBlockCount * blockSize, padded with 0xFF

    const std::uint8_t* Block(int r) const { return bytes.data() + std::size_t(r) * std::size_t(blockSize); }
};

// NoImage: the kind has a loader but the file holds nothing after its
// header; sent, it would leave the controller erased and without firmware.
enum class LoadResult { Ok, CannotOpen, NoImage, ModelMismatch };

// LoadFirmwareImage: reads the file at `path` (UTF-8) for the loader of
// `kind` and checks its header against the version panel's text (model,
// two spaces, version). Only a regular file can be read. After a refusal
// the image holds the rejected file's data.
LoadResult LoadFirmwareImage(const std::string& path, int kind, const std::string& versionPanel,
                             FirmwareImage& image);
// The header text of the file at `path`; nothing if it cannot be read.
std::optional<std::string> ReadHeaderText(const std::string& path);
// Whether a file with this header may go into a controller of this kind
// whose version panel shows `versionPanel`.
bool ModelAccepted(int kind, const std::string& header, const std::string& versionPanel);

}  // namespace ct::firmware
