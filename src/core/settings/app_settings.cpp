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

AppSettings readAppSettings(const QString& path, const std::function<QString()>& defaultPort)
{
    AppSettings s{{}, QString::fromUtf16(kDefaultConfName)};
    if (const std::optional<IniFile> ini = IniFile::load(path)) {
        s.comPort = ini->value(kSection, kPortKey).trimmed();
        if (const QString conf = ini->value(kSection, kConfKey).trimmed(); !conf.isEmpty())
            s.fileConf = conf;
    }
    if (s.comPort.isEmpty())
        s.comPort = defaultPort();
    return s;
}

bool writeAppSettings(const QString& path, const AppSettings& settings,
                      const std::function<QString()>& defaultPort, QString* error)
{
    IniFile ini = IniFile::load(path).value_or(IniFile{});
    const QString port = settings.comPort == QString::fromUtf16(kTcpPortName) ? defaultPort() : settings.comPort;
    ini.setValue(kSection, kPortKey, port);
    ini.setValue(kSection, kConfKey, settings.fileConf);
    return ini.save(path, error);
}

} // namespace rv
