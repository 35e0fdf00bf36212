#include "core/settings/app_settings.h"

#include "core/link/port_list.h"
#include "core/settings/ini_file.h"

namespace rv {

namespace {
const QString kSection = QString::fromUtf16(kSettingsSection);
const QString kPortKey = QString::fromUtf16(kComPortKey);
const QString kConfKey = QString::fromUtf16(kFileConfKey);
} // namespace

QString defaultPortName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM1");
#else
    const QStringList ports = listSerialPorts();
    return ports.isEmpty() ? QStringLiteral("/dev/ttyUSB0") : ports.first();
#endif
}

AppSettings appSettingsFrom(const IniFile& ini, const std::function<QString()>& defaultPort)
{
    AppSettings s{ini.value(kSection, kPortKey).trimmed(), ini.value(kSection, kConfKey).trimmed()};
    if (s.fileConf.isEmpty())
        s.fileConf = QString::fromUtf16(kDefaultConfName);
    if (s.comPort.isEmpty())
        s.comPort = defaultPort();
    return s;
}

QStringList storeAppSettings(IniFile& ini, const AppSettings& settings, const std::function<QString()>& defaultPort)
{
    const QString port = settings.comPort == QString::fromUtf16(kTcpPortName) ? defaultPort() : settings.comPort;
    // A value that would not read back as it is (a line break in a file name) is not stored: the file
    // keeps the old one, and the caller hears of it.
    QStringList refused;
    if (!ini.setValue(kSection, kPortKey, port))
        refused << kPortKey;
    if (!ini.setValue(kSection, kConfKey, settings.fileConf))
        refused << kConfKey;
    return refused;
}

AppSettings readAppSettings(const QString& path, const std::function<QString()>& defaultPort)
{
    return appSettingsFrom(IniFile::load(path).value_or(IniFile{}), defaultPort);
}

bool writeAppSettings(const QString& path, const AppSettings& settings,
                      const std::function<QString()>& defaultPort, QString* error)
{
    IniFile ini = IniFile::load(path).value_or(IniFile{});
    const QStringList refused = storeAppSettings(ini, settings, defaultPort);
    if (!ini.save(path, error))
        return false;
    if (refused.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("not stored, the value cannot be written as it is: %1").arg(refused.join(QStringLiteral(", ")));
    return false;
}

} // namespace rv
