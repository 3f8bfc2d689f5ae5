#include "firmware/Upgrade.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/OperationFrame.h"

#include <cstdint>
#include <cstdio>

namespace ct::firmware {

namespace {

namespace ld = link::cmd::loader;

constexpr int Attempts = 5;
constexpr int ProbeAttempts = 10;

// Every pause of a loader, in milliseconds.
struct Pauses {
    std::uint32_t beforeProgramming;
    std::uint32_t beforeProgramBlock;
    std::uint32_t beforeVerifyBlock;
    std::uint32_t afterFailedVerify;
    std::uint32_t afterStart;
};
constexpr std::uint32_t BeforeEnter = 100;
constexpr std::uint32_t BetweenEnters = 20;
constexpr std::uint32_t BeforeProbe = 50;
constexpr std::uint32_t BeforeErase64 = 50;
constexpr std::uint32_t BeforeErase256 = 4;
constexpr std::uint32_t BeforeEraseRetry = 50;
constexpr std::uint32_t AfterFailedProgram = 50;
constexpr std::uint32_t BeforeVerifying = 50;
constexpr std::uint32_t BeforeStart = 100;

Pauses PausesFor(int kind, Loader loader)
{
    if (kind == 3)
        return {50, 20, 50, 150, 7000};
    if (loader == Loader::Block512)
        return {50, 4, 4, 50, 7000};
    if (loader == Loader::Block256)
        return {50, 4, 4, 50, 2000};
    return {200, 4, 4, 50, 2000};
}

std::string Address(Loader loader, int r, int blockSize)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, loader == Loader::Block512 ? "%04X" : "%04x",
                  static_cast<unsigned>(r * blockSize) & 0xFFFFu);
    return digits;
}

class Upgrade {
public:
    Upgrade(link::OperationFrame& frame, int kind, const std::string& deviceId, const FirmwareImage& image,
            IUpgradeView& view)
        : frame_(frame), device_(frame.link()), params_(LoaderFor(kind)), pauses_(PausesFor(kind, params_.loader)),
          deviceId_(deviceId), image_(image), view_(view)
    {
    }

    bool Run() { return Enter() && Program() && Verify() && Start(); }

private:
    bool Send(const std::string& text)
    {
        switch (params_.loader) {
        case Loader::Block512:
            return device_.TransactCrc(text);
        case Loader::Block256:
            return device_.TransactXorEtx(text);
        default:
            return device_.TransactXor(text);
        }
    }
    // The 64-byte loader's commands carry no controller ID.
    std::string Loaded(const std::string& code) const
    {
        return params_.loader == Loader::Block64 ? code : deviceId_ + code;
    }

    bool Enter()
    {
        frame_.Pause(BeforeEnter);
        if (params_.loader == Loader::Block512)
            return device_.TransactCrc(deviceId_ + ld::Enter512);

        const std::string enter = deviceId_ + (params_.loader == Loader::Block256 ? ld::Enter256 : ld::Enter64);
        device_.TransactCrc(enter);
        frame_.Pause(BetweenEnters);
        device_.TransactCrc(enter);
        const int probeLength =
            params_.loader == Loader::Block256 ? ld::ProbeReplyLength256 : ld::ProbeReplyLength64;
        bool answered = false;
        for (int i = 0; i < ProbeAttempts && !answered; ++i) {
            frame_.Pause(BeforeProbe);
            answered = Send(Loaded(ld::Probe)) && device_.ReplyLength() == probeLength;
            if (!answered) {
                view_.ShowCountdown(ProbeAttempts - i);
                frame_.ProcessEvents();
            }
        }
        if (params_.loader == Loader::Block256)
            return answered;
        // The 64-byte loader erases everything at once, whatever its probe said.
        frame_.ProcessEvents();
        frame_.Pause(BeforeErase64);
        return Send(ld::Erase);
    }

    // One command, up to five times; `retryPause` after every failed one.
    bool Attempt(const std::string& text, std::uint32_t retryPause)
    {
        for (int attempt = 0; attempt < Attempts; ++attempt) {
            frame_.ProcessEvents();
            if (Send(text))
                return true;
            frame_.Pause(retryPause);
        }
        return false;
    }

    bool Program()
    {
        const int blocks = image_.ImageBlockCount;
        view_.ShowTitle(tests::Title::Programming);
        frame_.ProcessEvents();
        frame_.Pause(pauses_.beforeProgramming);
        view_.SetProgramRange(blocks);
        for (int r = 0; r < blocks; ++r) {
            if (params_.loader != Loader::Block256) {
                frame_.RestoreHourglass();
                frame_.ProcessEvents();
            } else if (r % 2 == 0 && !Erase(r)) {
                return false;
            }
            const std::string code = params_.loader == Loader::Block512 ? ld::Program512 : ld::Program;
            const std::string text =
                Loaded(code) + Address(params_.loader, r, params_.blockSize) + BlockHex(image_, r);
            frame_.Pause(pauses_.beforeProgramBlock);
            if (!Attempt(text, AfterFailedProgram))
                return false;
            view_.SetProgramPosition(r);
        }
        view_.SetProgramPosition(blocks);
        return true;
    }

    // The 256-byte loader erases 512 bytes before every even block.
    bool Erase(int r)
    {
        const std::string text = deviceId_ + ld::Erase + Address(params_.loader, r, params_.blockSize);
        frame_.Pause(BeforeErase256);
        if (Send(text))
            return true;
        frame_.Pause(BeforeEraseRetry);
        return Send(text);
    }

    bool Verify()
    {
        const int blocks = image_.ImageBlockCount;
        view_.ShowTitle(tests::Title::Verifying);
        frame_.ProcessEvents();
        frame_.Pause(BeforeVerifying);
        view_.SetVerifyRange(blocks);
        const int dataAt = params_.loader == Loader::Block512   ? ld::DataAt512
                           : params_.loader == Loader::Block256 ? ld::DataAt256
                                                                : ld::DataAt64;
        for (int r = 0; r < blocks; ++r) {
            frame_.RestoreHourglass();
            frame_.ProcessEvents();
            const std::string code = params_.loader == Loader::Block512 ? ld::Verify512 : ld::Verify;
            const std::string text = Loaded(code) + Address(params_.loader, r, params_.blockSize);
            const std::string expected = BlockHex(image_, r);
            frame_.Pause(pauses_.beforeVerifyBlock);
            if (!Attempt(text, pauses_.afterFailedVerify))
                return false;
            // Exact: lower-case digits or a short reply do not match.
            if (link::ReplyField(device_.ReplyText(), dataAt, static_cast<int>(expected.size())) != expected)
                return false;
            view_.SetVerifyPosition(r);
        }
        view_.SetVerifyPosition(blocks);
        return true;
    }

    bool Start()
    {
        view_.ShowTitle(tests::Title::Upgrading);
        frame_.ProcessEvents();
        frame_.Pause(BeforeStart);
        // The new firmware may start without a word: the upgrade has
        // succeeded all the same.
        if (Send(Loaded(params_.loader == Loader::Block512 ? ld::Start512 : ld::Start)))
            frame_.Pause(pauses_.afterStart);
        return true;
    }

    link::OperationFrame& frame_;
    link::Link& device_;
    LoaderParams params_;
    Pauses pauses_;
    const std::string& deviceId_;
    const FirmwareImage& image_;
    IUpgradeView& view_;
};

}  // namespace

std::string BlockHex(const FirmwareImage& image, int r)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(std::size_t(image.blockSize) * 2);
    const std::uint8_t* block = image.Block(r);
    for (int i = 0; i < image.blockSize; ++i) {
        hex += Digits[block[i] >> 4];
        hex += Digits[block[i] & 0x0F];
    }
    return hex;
}

tests::Outcome RunFirmwareUpgrade(link::OperationFrame& frame, int kind, const std::string& deviceId,
                                  const FirmwareImage& image, IUpgradeView& view)
{
    if (!frame.BeginOperation()) {
        frame.EndConnectError();
        return tests::Outcome::ConnectError;
    }
    if (LoaderFor(kind).loader == Loader::None || image.blockSize != LoaderFor(kind).blockSize) {
        frame.EndCommandError();
        return tests::Outcome::CommandError;
    }
    if (Upgrade(frame, kind, deviceId, image, view).Run()) {
        frame.EndCommandOk();
        return tests::Outcome::CommandOk;
    }
    frame.EndCommandError();
    return tests::Outcome::CommandError;
}

}  // namespace ct::firmware
