#include "Ports.h"

#include "link/FrameCodec.h"

namespace ct::cli {

namespace {

// A port's texts come from the system and its USB descriptors: escaped like
// every other text the tool prints, and never empty in a tab-separated line.
std::string Column(const std::string& text)
{
    return text.empty() ? "-" : link::EscapeBytes(text);
}

}  // namespace

std::string PortLine(const PortDescription& port)
{
    return Column(port.name) + "\t" + Column(port.description) + "\t" + Column(port.manufacturer) + "\t"
           + Column(port.vidPid) + "\t" + Column(port.serialNumber) + "\t" + port.access;
}

JsonObject PortObject(const PortDescription& port)
{
    JsonObject object;
    object["operation"] = "ports";
    object["port"] = link::EscapeBytes(port.name);
    object["location"] = link::EscapeBytes(port.location);
    object["description"] = link::EscapeBytes(port.description);
    object["manufacturer"] = link::EscapeBytes(port.manufacturer);
    object["vid-pid"] = port.vidPid;
    object["serial-number"] = link::EscapeBytes(port.serialNumber);
    object["access"] = port.access;
    return object;
}

int ListPorts(Output& out, const std::vector<PortDescription>& ports)
{
    for (const PortDescription& port : ports) {
        if (out.json())
            out.Object(PortObject(port));
        else
            out.Line(PortLine(port));
    }
    if (out.json()) {
        JsonObject summary;
        summary["operation"] = "ports";
        summary["outcome"] = "ok";
        summary["ports"] = static_cast<int>(ports.size());
        out.Object(summary);
    }
    return ExitOk;
}

int ListPorts(Output& out)
{
    return ListPorts(out, AvailablePorts());
}

}  // namespace ct::cli
