#include "Ports.h"

#include "link/FrameCodec.h"

#include <QSerialPortInfo>

#include <cstdio>

namespace ct::cli {

namespace {

// A port's texts come from the system and its USB descriptors: escaped like
// every other text the tool prints, and never empty in a tab-separated line.
std::string Column(const std::string& text)
{
    return text.empty() ? "-" : link::EscapeBytes(text);
}

}  // namespace

std::vector<PortDescription> AvailablePorts()
{
    std::vector<PortDescription> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortDescription port;
        port.name = info.portName().toStdString();
        port.location = info.systemLocation().toStdString();
        port.description = info.description().toStdString();
        port.manufacturer = info.manufacturer().toStdString();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            char ids[16];
            std::snprintf(ids, sizeof ids, "%04x:%04x", info.vendorIdentifier(), info.productIdentifier());
            port.vidPid = ids;
        }
        port.serialNumber = info.serialNumber().toStdString();
        ports.push_back(port);
    }
    return ports;
}

int ListPorts(Output& out, const std::vector<PortDescription>& ports)
{
    for (const PortDescription& port : ports) {
        if (out.json()) {
            JsonObject object;
            object["operation"] = "ports";
            object["port"] = link::EscapeBytes(port.name);
            object["location"] = link::EscapeBytes(port.location);
            object["description"] = link::EscapeBytes(port.description);
            object["manufacturer"] = link::EscapeBytes(port.manufacturer);
            object["vid-pid"] = port.vidPid;
            object["serial-number"] = link::EscapeBytes(port.serialNumber);
            out.Object(object);
        } else {
            out.Line(Column(port.name) + "\t" + Column(port.description) + "\t" + Column(port.manufacturer) + "\t"
                     + Column(port.vidPid) + "\t" + Column(port.serialNumber));
        }
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
