// The serial ports of a Windows system: the COM ports under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (every serial
// driver registers its ports there while their device is present), each with the friendly name that Device
// Manager shows ("USB Serial Port (COM5)") from SetupAPI where Windows has one, and whether it can be opened
// now. The shared rules of the list (port_list.h) order them.

#include "core/link/port_list.h"

#include "core/link/port_name.h"

#include <QList>

#include <optional>

#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

namespace rv {

namespace {

// The ports the drivers registered: "COM5" and the like, each once.
QStringList registeredPorts()
{
    QStringList out;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        DWORD nameLength = static_cast<DWORD>(std::size(valueName));
        wchar_t data[64] = {};
        DWORD dataBytes = sizeof data - sizeof(wchar_t); // room for a terminator the registry may not have
        DWORD type = 0;
        const LONG rc = ::RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data), &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        const QString name = QString::fromWCharArray(data).trimmed();
        if (name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) && windowsPortNumber(name) > 0
            && !out.contains(name, Qt::CaseInsensitive))
            out << name;
    }
    ::RegCloseKey(key);
    return out;
}

struct Adapter {
    QString port;         // "COM5"
    QString description;  // "USB Serial Port (COM5)"
    bool usb = false;
};

// The present devices of the Ports class with their port names, friendly names and bus.
QList<Adapter> adapters()
{
    QList<Adapter> out;
    const HDEVINFO set = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return out;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        Adapter a;
        if (const HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
            key != INVALID_HANDLE_VALUE) {
            wchar_t value[64] = {};
            DWORD bytes = sizeof value - sizeof(wchar_t);
            DWORD type = 0;
            if (::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes)
                    == ERROR_SUCCESS
                && type == REG_SZ)
                a.port = QString::fromWCharArray(value).trimmed();
            ::RegCloseKey(key);
        }
        if (a.port.isEmpty())
            continue;
        wchar_t text[256] = {};
        DWORD type = 0;
        if (::SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<BYTE*>(text),
                                                sizeof text - sizeof(wchar_t), nullptr)
            && type == REG_SZ)
            a.description = QString::fromWCharArray(text).trimmed();
        // The instance ID names the bus: "USB\VID_0403&PID_6001\A10K3XYZ", "FTDIBUS\...", "ACPI\PNP0501\1".
        wchar_t id[512] = {};
        if (::SetupDiGetDeviceInstanceIdW(set, &device, id, static_cast<DWORD>(std::size(id) - 1), nullptr)) {
            const QString instance = QString::fromWCharArray(id);
            a.usb = instance.startsWith(QLatin1String("USB\\"), Qt::CaseInsensitive)
                    || instance.startsWith(QLatin1String("FTDIBUS\\"), Qt::CaseInsensitive);
        }
        out << a;
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return out;
}

// Opened exclusively and closed at once, as the serial component opens it; nothing is sent. A port that
// another program holds answers "access denied"; one that cannot be opened at all is not offered.
std::optional<PortInfo::State> openState(const QString& name)
{
    const std::wstring path = (QStringLiteral("\\\\.\\") + name).toStdWString();
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return PortInfo::State::Free;
    }
    switch (::GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return PortInfo::State::Busy;
    default:
        return std::nullopt;
    }
}

} // namespace

// Windows keeps no device nodes to look at: the roots are for the POSIX lister.
QList<PortInfo> listPorts(const PortListRoots&)
{
    const QList<Adapter> known = adapters();
    QList<PortInfo> ports;
    for (const QString& name : registeredPorts()) {
        const std::optional<PortInfo::State> state = openState(name);
        if (!state)
            continue;
        PortInfo p;
        p.name = name.toUpper();
        // A driver registers a port only while its device is there.
        p.hardware = true;
        p.state = *state;
        for (const Adapter& a : known) {
            if (a.port.compare(name, Qt::CaseInsensitive) != 0)
                continue;
            p.usb = a.usb;
            if (a.description.compare(name, Qt::CaseInsensitive) != 0)
                p.description = a.description;
        }
        ports << p;
    }
    sortPorts(ports);
    return ports;
}

QString portListToken(const PortListRoots&)
{
    return registeredPorts().join(u'\n');
}

QString defaultSerialPort()
{
    return QStringLiteral("COM1");
}

} // namespace rv
