#include "link/OperationFrame.h"

#include "link/EventPump.h"

namespace ct::link {

OperationFrame::OperationFrame(Link& link, IStatusView& view, IBeeper& beeper, IEventPump& pump)
    : link_(link), view_(view), beeper_(beeper), pump_(pump)
{
}

bool OperationFrame::BeginOperation()
{
    return BeginOperation(nullptr);
}

bool OperationFrame::BeginOperation(const LinkSettings& settings)
{
    return BeginOperation(&settings);
}

bool OperationFrame::BeginOperation(const LinkSettings* settings)
{
    running_ = true;
    view_.SetBusyCursor(true);
    pump_.ProcessEvents();
    view_.SetWindowEnabled(false);
    SetBusy(true);
    view_.ShowStatus(StatusMessage::Connecting);
    // Painted before the open starts, which may take the operating system's
    // whole connect time-out.
    pump_.ProcessEvents();
    link_.Settings = settings ? *settings : view_.ActiveLinkSettings();
    return link_.OpenLink();
}

void OperationFrame::EndConnectError()
{
    SetBusy(false);
    view_.SetLamp(Lamp::Red);
    view_.ShowStatus(StatusMessage::ConnectError);
    beeper_.Beep(LowBeepHz, BeepMs);
    view_.SetBusyCursor(false);
    view_.SetWindowEnabled(true);
    Ended();
}

void OperationFrame::EndCommandOk()
{
    EndCommand(StatusMessage::CommandOk, Lamp::Yellow, HighBeepHz);
}

void OperationFrame::EndCommandError()
{
    EndCommand(StatusMessage::CommandError, Lamp::Red, LowBeepHz);
}

void OperationFrame::EndCommand(StatusMessage message, Lamp colour, int beepHz)
{
    view_.ShowStatus(message);
    SetBusy(false);
    view_.SetLamp(colour);
    // The tone ends before the link is closed.
    beeper_.Beep(beepHz, BeepMs);
    link_.CloseLink();
    view_.SetBusyCursor(false);
    view_.SetWindowEnabled(true);
    Ended();
}

void OperationFrame::Ended()
{
    if (!running_)
        return;
    running_ = false;
    view_.OperationEnded();
}

void OperationFrame::Pause(std::uint32_t ms)
{
    PumpedPause(link_.clock(), pump_, ms);
}

void OperationFrame::ProcessEvents()
{
    pump_.ProcessEvents();
}

void OperationFrame::ReleaseInput()
{
    view_.SetBusyCursor(false);
    view_.SetWindowEnabled(true);
}

void OperationFrame::RestoreHourglass()
{
    view_.SetBusyCursor(true);
}

void OperationFrame::SetBusy(bool on)
{
    if (on) {
        view_.SetBusyTimerRunning(true);
        view_.SetWindowEnabled(false);
    } else {
        view_.SetWindowEnabled(true);
        view_.SetBusyTimerRunning(false);
    }
}

void OperationFrame::BusyTimerTick()
{
    if (busyTag_ == 1) {
        busyTag_ = 0;
        view_.SetLamp(Lamp::Yellow);
    } else {
        busyTag_ = 1;
        view_.SetLamp(Lamp::Red);
    }
}

}  // namespace ct::link
