#include "core/settings/app_settings.h"

#include "core/link/port_list.h"
#include "core/settings/ini_file.h"

#include <QDir>
#include <QStringList>

namespace rv {

namespace {
const QString kSection = QString::fromUtf16(kSettingsSection);
const QString kPortKey = QString::fromUtf16(kComPortKey);
const QString kConfKey = QString::fromUtf16(kFileConfKey);
const QString kRecent = QString::fromUtf16(kRecentSection);

QString recentKey(int i)
{
    return QStringLiteral("File") + QString::number(i + 1);
}
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
    AppSettings s{{}, QString::fromUtf16(kDefaultConfName), {}};
    if (const std::optional<IniFile> ini = IniFile::load(path)) {
        s.comPort = ini->value(kSection, kPortKey).trimmed();
        if (const QString conf = ini->value(kSection, kConfKey).trimmed(); !conf.isEmpty())
            s.fileConf = conf;
        for (int i = 0; i < kRecentFiles; ++i)
            if (const QString f = ini->value(kRecent, recentKey(i)).trimmed(); !f.isEmpty() && !s.recentFiles.contains(f))
                s.recentFiles << f;
    }
    if (s.comPort.isEmpty())
        s.comPort = defaultPort();
    return s;
}

QStringList withRecentFile(const QStringList& list, const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    QStringList out{clean};
    for (const QString& f : list)
        if (QDir::cleanPath(f) != clean && out.size() < kRecentFiles)
            out << f;
    return out;
}

bool writeAppSettings(const QString& path, const AppSettings& settings,
                      const std::function<QString()>& defaultPort, QString* error)
{
    IniFile ini = IniFile::load(path).value_or(IniFile{});
    const QString port = settings.comPort == QString::fromUtf16(kTcpPortName) ? defaultPort() : settings.comPort;
    // A value that would not read back as it is (a line break in a file name) is not stored: the file
    // keeps the old one, and the caller hears of it.
    QStringList refused;
    if (!ini.setValue(kSection, kPortKey, port))
        refused << kPortKey;
    if (!ini.setValue(kSection, kConfKey, settings.fileConf))
        refused << kConfKey;
    // The section appears with the first recent file; a shorter list empties the keys it no longer fills.
    for (int i = 0; i < kRecentFiles; ++i) {
        const QString f = settings.recentFiles.value(i);
        if ((!f.isEmpty() || ini.contains(kRecent, recentKey(i))) && !ini.setValue(kRecent, recentKey(i), f))
            refused << recentKey(i);
    }
    if (!ini.save(path, error))
        return false;
    if (refused.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("not stored, the value cannot be written as it is: %1").arg(refused.join(QStringLiteral(", ")));
    return false;
}

} // namespace rv
