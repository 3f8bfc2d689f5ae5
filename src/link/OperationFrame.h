// The frame around every user operation that talks to a controller: a common
// beginning (busy cursor, window blocked, lamp blinking, "Connecting device
// ...", link settings taken from the active connection page, link opened) and
// three endings that report the outcome with message, lamp colour and beep,
// and close the link.
//
// The window implements IStatusView; tests implement it with a recorder. The
// beeper returns only when its tone has ended, so the command endings close
// the link after the beep.
#pragma once

#include "link/Link.h"

#include <cstdint>

namespace ct::link {

class IEventPump;

enum class Lamp { Red, Yellow };

// The four texts of the frame; the window shows them in its current language.
enum class StatusMessage { Connecting, ConnectError, CommandOk, CommandError };

inline constexpr int HighBeepHz = 1000;
inline constexpr int LowBeepHz = 300;
inline constexpr int BeepMs = 300;
inline constexpr int BusyBlinkMs = 200;

class IBeeper {
public:
    virtual ~IBeeper() = default;
    // Plays a tone and returns when it has ended (at once where there is no
    // sound output).
    virtual void Beep(int frequencyHz, int durationMs) = 0;
};

class SilentBeeper final : public IBeeper {
public:
    void Beep(int, int) override {}
};

class IStatusView {
public:
    virtual ~IStatusView() = default;
    virtual void SetBusyCursor(bool busy) = 0;  // hourglass on, or back to the default
    virtual void SetWindowEnabled(bool enabled) = 0;
    virtual void SetBusyTimerRunning(bool running) = 0;  // tmrBusy
    virtual void SetLamp(Lamp colour) = 0;               // shComm
    virtual void ShowStatus(StatusMessage message) = 0;  // pnMsg
    // The settings of the active connection page (type, and that page's fields).
    virtual LinkSettings ActiveLinkSettings() = 0;
    // The operation has ended: the link is closed and the window is the
    // user's again.
    virtual void OperationEnded() {}
};

class OperationFrame {
public:
    OperationFrame(Link& link, IStatusView& view, IBeeper& beeper, IEventPump& pump);

    // Busy on, link settings read, link opened; true if the link is open.
    bool BeginOperation();
    // The same on the link `settings` name instead of the active page's.
    bool BeginOperation(const LinkSettings& settings);
    // When BeginOperation failed, or Connect got no answer; does not close the link.
    void EndConnectError();
    void EndCommandOk();     // closes the link
    void EndCommandError();  // closes the link

    // A pause of the operation: exactly `ms` on the link's clock, with the
    // window painting and its timers running; input stays as it is.
    void Pause(std::uint32_t ms);
    // One round of the window's pending events.
    void ProcessEvents();
    // Gives the window back to the user while the link stays open and the
    // lamp goes on blinking: a continuous test's button must stop it.
    void ReleaseInput();
    // The hourglass again, for a long operation whose cursor the user may
    // have changed meanwhile.
    void RestoreHourglass();

    void SetBusy(bool on);
    // One blink step of tmrBusy: the tag alternates and the lamp follows it.
    void BusyTimerTick();
    // From BeginOperation to the end of the ending that follows it.
    bool Running() const { return running_; }

    Link& link() { return link_; }

private:
    bool BeginOperation(const LinkSettings* settings);
    void EndCommand(StatusMessage message, Lamp colour, int beepHz);
    void Ended();

    Link& link_;
    IStatusView& view_;
    IBeeper& beeper_;
    IEventPump& pump_;
    int busyTag_ = 0;
    bool running_ = false;
};

}  // namespace ct::link
