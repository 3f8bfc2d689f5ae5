#include "Session.h"

#include <cstdio>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ct::cli {

namespace {

#ifndef _WIN32
// The name of the group that owns `path`; empty when it cannot be told.
std::string OwningGroup(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    const group* owner = ::getgrgid(info.st_gid);
    return owner && owner->gr_name ? owner->gr_name : std::string();
}
#endif

}  // namespace

void CliStatusView::ShowStatus(link::StatusMessage message)
{
    last_ = message;
    // Also the end of a Connect that got no answer, with the link open.
    if (message == link::StatusMessage::ConnectError)
        ReportOpenError(device_.LastOpenError());
}

Session::Session(const Context& context, Run run)
    : pump(context.pump,
           [this, run] { return run == Run::OneShot || !device.IsOpen(); }),
      device(context.transports ? *context.transports : nativeTransports,
             context.clock ? *context.clock : steadyClock, pump),
      view(context.settings, device),
      frame(device, view, beeper, pump)
{
    device.SetTrace(context.trace);
}

std::string JoinGroupHint(const std::string& device, const std::string& group)
{
    return device + " belongs to the group " + group + "; join it with \"sudo usermod -a -G " + group
           + " $USER\", then log out and in again";
}

void ReportOpenError(const link::OpenError& error)
{
    if (error.reason.empty())
        return;
    std::string text = "controller-cli: cannot open " + error.device + ": " + error.reason + "\n";
#ifndef _WIN32
    const std::string group = error.accessDenied ? OwningGroup(error.device) : std::string();
    if (!group.empty() && group != "root")
        text += "controller-cli: " + JoinGroupHint(error.device, group) + "\n";
#endif
    std::fputs(text.c_str(), stderr);
}

}  // namespace ct::cli
