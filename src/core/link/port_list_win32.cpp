// The serial ports of a Windows system: the COM ports under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (every
// serial driver registers its ports there), ordered by number, each with the adapter's friendly name from
// SetupAPI ("USB Serial Port (COM5)") where Windows has one, and whether another program holds it.

#include "core/link/port_list.h"

#include "core/link/port_name.h"

#include <QList>

#include <algorithm>

#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

namespace rv {

namespace {

enum class PortState { Free, Busy, Unavailable };

struct ComPort {
    QString name;     // "COM5"
    QString adapter;  // "USB Serial Port (COM5)", or empty
    PortState state = PortState::Free;
};

QStringList registeredPorts()
{
    QStringList out;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        DWORD nameLength = static_cast<DWORD>(std::size(valueName));
        wchar_t data[64];
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
        if (windowsPortNumber(name) > 0 && !out.contains(name, Qt::CaseInsensitive))
            out << name;
    }
    ::RegCloseKey(key);
    return out;
}

// The friendly names of the present ports, by port name.
QList<std::pair<QString, QString>> adapterNames()
{
    QList<std::pair<QString, QString>> out;
    const HDEVINFO set = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return out;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        QString port;
        if (const HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
            key != INVALID_HANDLE_VALUE) {
            wchar_t value[64];
            DWORD bytes = sizeof value - sizeof(wchar_t);
            DWORD type = 0;
            if (::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes)
                    == ERROR_SUCCESS
                && type == REG_SZ) {
                value[bytes / sizeof(wchar_t)] = L'\0';
                port = QString::fromWCharArray(value).trimmed();
            }
            ::RegCloseKey(key);
        }
        wchar_t friendly[256];
        DWORD type = 0;
        if (!port.isEmpty()
            && ::SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, &type,
                                                   reinterpret_cast<BYTE*>(friendly), sizeof friendly - sizeof(wchar_t),
                                                   nullptr)
            && type == REG_SZ) {
            friendly[std::size(friendly) - 1] = L'\0';
            out.append({port, QString::fromWCharArray(friendly).trimmed()});
        }
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return out;
}

// Opened exclusively and closed at once, as the serial component opens it: a port another program holds
// answers "access denied". Nothing is sent.
PortState probe(const QString& name)
{
    const std::wstring path = (QStringLiteral("\\\\.\\") + name).toStdWString();
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const bool busy = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_BUSY;
        return busy ? PortState::Busy : PortState::Unavailable;
    }
    ::CloseHandle(h);
    return PortState::Free;
}

QList<ComPort> comPorts()
{
    QStringList names = registeredPorts();
    std::stable_sort(names.begin(), names.end(),
                     [](const QString& a, const QString& b) { return windowsPortNumber(a) < windowsPortNumber(b); });
    const auto adapters = adapterNames();
    QList<ComPort> out;
    for (const QString& name : names) {
        ComPort p{name, {}, probe(name)};
        for (const auto& [port, adapter] : adapters) {
            if (port.compare(name, Qt::CaseInsensitive) == 0)
                p.adapter = adapter;
        }
        out << p;
    }
    return out;
}

} // namespace

QStringList listSerialPorts(const QString&)
{
    QStringList out;
    for (const ComPort& p : comPorts()) {
        if (p.state == PortState::Free)
            out << p.name;
    }
    return out;
}

QStringList listSerialPorts()
{
    return listSerialPorts(QString());
}

QString defaultSerialPort()
{
    return QStringLiteral("COM1");
}

} // namespace rv
