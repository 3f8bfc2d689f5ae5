#include "tests/Discover.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"
#include "link/OperationFrame.h"

#include <cstdio>
#include <set>

namespace ct::tests {

namespace {

// As Connect tries the ID it addresses.
constexpr int AloneAttempts = 3;

std::string IdText(int id)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d", id);
    return text;
}

bool Answered(link::Link& device, const std::string& id)
{
    return device.TransactCrc(id + link::cmd::Connect) && device.ReplyLength() == link::cmd::ConnectReplyLength;
}

// The controller whose "AC" reply is the link's last, read as Connect reads
// it: "DB" at the ID it answered with, "AS" only once "DB" was answered.
FoundController Identify(link::OperationFrame& frame, const std::string& line)
{
    link::Link& device = frame.link();
    FoundController found;
    found.settings = line;
    found.id = link::ReplyField(device.ReplyText(), 2, link::cmd::ControllerIdLength);
    frame.Pause(OperationPauseMs);
    if (!device.TransactCrc(found.id + link::cmd::Describe)
        || device.ReplyLength() != link::cmd::DescribeReplyLength)
        return found;
    found.model = link::ReplyField(device.ReplyText(), 8, link::cmd::ModelNameLength);
    found.model.erase(found.model.find_last_not_of(' ') + 1);
    found.version = link::ReplyField(device.ReplyText(), 20, link::cmd::VersionLength);
    frame.Pause(OperationPauseMs);
    if (device.TransactCrc(found.id + link::cmd::SerialNumber)
        && device.ReplyLength() == link::cmd::SerialNumberReplyLength)
        found.serial = link::ReplyField(device.ReplyText(), 8, link::cmd::SerialNumberLength);
    return found;
}

int FindAlone(link::OperationFrame& frame, const std::string& line, IDiscoverView& view)
{
    for (int i = 0; i < AloneAttempts; ++i) {
        frame.Pause(OperationPauseMs);
        if (Answered(frame.link(), link::cmd::AnyControllerId)) {
            view.ControllerFound(Identify(frame, line));
            return 1;
        }
    }
    return 0;
}

int ScanRange(link::OperationFrame& frame, const DiscoverPlan& plan, const std::string& line, IDiscoverView& view)
{
    // A controller alone on its line answers "AC" at every ID: it is
    // reported once, not once for each ID of the range.
    std::set<std::string> seen;
    const int count = plan.lastId - plan.firstId + 1;
    bool pause = true;
    for (int id = plan.firstId; id <= plan.lastId; ++id) {
        // An ID nobody answered ended with the link's time-out, which is
        // pause enough; after an answer the controller gets Connect's 100 ms.
        if (pause)
            frame.Pause(OperationPauseMs);
        view.ShowScan(id, id - plan.firstId, count);
        pause = Answered(frame.link(), IdText(id));
        if (!pause)
            continue;
        const std::string answeredId = link::ReplyField(frame.link().ReplyText(), 2, link::cmd::ControllerIdLength);
        if (seen.insert(answeredId).second)
            view.ControllerFound(Identify(frame, line));
    }
    return static_cast<int>(seen.size());
}

}  // namespace

Outcome RunDiscover(link::OperationFrame& frame, const DiscoverPlan& plan, IDiscoverView& view)
{
    const bool serial = plan.link.LinkType == link::LinkTypeCom;
    std::vector<std::string> lines{std::string()};
    if (serial)
        lines = plan.lineSettings.empty() ? std::vector<std::string>{plan.link.ComBaudRate} : plan.lineSettings;

    link::LinkSettings settings = plan.link;
    if (serial)
        settings.ComBaudRate = lines.front();
    if (!frame.BeginOperation(settings)) {
        frame.EndConnectError();
        return Outcome::ConnectError;
    }
    link::Link& device = frame.link();
    int found = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            device.CloseLink();
            device.Settings.ComBaudRate = lines[i];
            // The port went away between two settings.
            if (!device.OpenLink())
                break;
        }
        view.ShowLine(lines[i]);
        found += plan.firstId < 0 ? FindAlone(frame, lines[i], view) : ScanRange(frame, plan, lines[i], view);
        if (found > 0 && plan.firstId < 0)
            break;
    }
    if (found > 0) {
        frame.EndCommandOk();
        return Outcome::CommandOk;
    }
    // As Connect ends when nobody answered: EndConnectError leaves the link open.
    device.CloseLink();
    frame.EndConnectError();
    return Outcome::ConnectError;
}

}  // namespace ct::tests
