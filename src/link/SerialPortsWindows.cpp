// The serial ports of a Windows machine, from SetupAPI: the present devices
// of the Ports class that have a COM name (the class also holds printer
// ports, which have LPT names), described as Device Manager shows them.
#ifdef _WIN32

#include "link/SerialPorts.h"

#include <windows.h>
#include <setupapi.h>
#include <devguid.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace ct::link {

namespace {

std::string Property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property)
{
    char text[512] = {};
    DWORD type = 0;
    if (!::SetupDiGetDeviceRegistryPropertyA(set, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                             sizeof text - 1, nullptr)
        || (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    return text;
}

// The "PortName" value of the device's hardware key: "COM3".
std::string PortName(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    const HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    char name[64] = {};
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    const bool ok = ::RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size)
                        == ERROR_SUCCESS
                    && type == REG_SZ;
    ::RegCloseKey(key);
    return ok ? std::string(name) : std::string();
}

// "USB\VID_0403&PID_6001\A1B2C3": the IDs, and the serial number when the
// last part is one (a device without one gets an instance path with '&').
// Some converter drivers put their own bus first ("FTDIBUS\VID_0403+PID_6001+A1B2C3A\0000").
void AddUsbIds(const std::string& instance, PortDescription& port)
{
    std::string upper = instance;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::size_t vid = upper.find("VID_");
    const std::size_t pid = upper.find("PID_");
    if (vid == std::string::npos || pid == std::string::npos || vid + 8 > upper.size() || pid + 8 > upper.size())
        return;
    std::string ids = instance.substr(vid + 4, 4) + ":" + instance.substr(pid + 4, 4);
    std::transform(ids.begin(), ids.end(), ids.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    port.vidPid = ids;
    if (upper.compare(0, 4, "USB\\") == 0) {
        const std::size_t last = instance.rfind('\\');
        const std::string tail = instance.substr(last + 1);
        if (last > 4 && tail.find('&') == std::string::npos)
            port.serialNumber = tail;
    }
}

// A COM port lets one program open it at a time: a port another program
// holds refuses with "access denied". The probe opens and closes at once,
// without touching the line settings.
std::string Access(const std::string& path)
{
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return "ok";
    }
    return ::GetLastError() == ERROR_ACCESS_DENIED ? "in use" : "cannot open";
}

// COM2 before COM10.
bool ByNumber(const PortDescription& a, const PortDescription& b)
{
    const long na = std::strtol(a.name.c_str() + 3, nullptr, 10);
    const long nb = std::strtol(b.name.c_str() + 3, nullptr, 10);
    return na != nb ? na < nb : a.name < b.name;
}

}  // namespace

std::vector<PortDescription> AvailablePorts(bool probeAccess)
{
    std::vector<PortDescription> ports;
    const HDEVINFO set = ::SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        PortDescription port;
        port.name = PortName(set, device);
        if (port.name.size() < 4 || port.name.compare(0, 3, "COM") != 0)
            continue;
        port.location = "\\\\.\\" + port.name;
        port.description = Property(set, device, SPDRP_FRIENDLYNAME);
        if (port.description.empty())
            port.description = Property(set, device, SPDRP_DEVICEDESC);
        port.manufacturer = Property(set, device, SPDRP_MFG);
        char instance[512] = {};
        if (::SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance, nullptr))
            AddUsbIds(instance, port);
        if (probeAccess)
            port.access = Access(port.location);
        ports.push_back(port);
    }
    ::SetupDiDestroyDeviceInfoList(set);
    std::sort(ports.begin(), ports.end(), ByNumber);
    return ports;
}

}  // namespace ct::link

#endif
