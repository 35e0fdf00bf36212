#include "core/settings/app_settings.h"

#include "core/link/port_list.h"
#include "core/base/ini_file.h"

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
    return defaultSerialPort();
}

AppSettings appSettingsFrom(const IniFile& ini, const std::function<QString()>& defaultPort)
{
    AppSettings s{ini.value(kSection, kPortKey).trimmed(), ini.value(kSection, kConfKey).trimmed(), {}};
    if (s.fileConf.isEmpty())
        s.fileConf = QString::fromUtf16(kDefaultConfName);
    for (int i = 0; i < kRecentFiles; ++i)
        if (const QString f = ini.value(kRecent, recentKey(i)).trimmed(); !f.isEmpty() && !s.recentFiles.contains(f))
            s.recentFiles << f;
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
    // The section appears with the first recent file; a shorter list empties the keys it no longer fills.
    for (int i = 0; i < kRecentFiles; ++i) {
        const QString f = settings.recentFiles.value(i);
        if ((!f.isEmpty() || ini.contains(kRecent, recentKey(i))) && !ini.setValue(kRecent, recentKey(i), f))
            refused << recentKey(i);
    }
    return refused;
}

AppSettings readAppSettings(const QString& path, const std::function<QString()>& defaultPort, QString* keptBecause)
{
    if (keptBecause)
        keptBecause->clear();
    const IniFile::Read read = IniFile::read(path);
    if (!read.ok() && read.error != InputFileError::Missing && keptBecause)
        *keptBecause = inputFileMessage(path, read.error, IniFile::kMaxFileSize)
                    + QStringLiteral("\rНастройки по умолчанию действуют до выхода из программы, файл не изменяется");
    return appSettingsFrom(read.ok() ? read.ini : IniFile{}, defaultPort);
}

bool writeAppSettings(const QString& path, const AppSettings& settings,
                      const std::function<QString()>& defaultPort, QString* error, OutputFileResult* saved,
                      const std::function<void(IniFile&)>& more)
{
    IniFile::Read read = IniFile::read(path);
    if (!read.ok() && read.error != InputFileError::Missing) {
        if (error)
            *error = QStringLiteral("not written: the file is there and was not read whole");
        return false;
    }
    IniFile& ini = read.ini;
    const QStringList refused = storeAppSettings(ini, settings, defaultPort);
    if (more)
        more(ini);
    if (!ini.save(path, error, saved))
        return false;
    if (refused.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("not stored, the value cannot be written as it is: %1").arg(refused.join(QStringLiteral(", ")));
    return false;
}

bool readConfirmWrite(const QString& path)
{
    const std::optional<IniFile> ini = IniFile::load(path);
    return !ini || ini->value(kSection, QString::fromUtf16(kConfirmWriteKey)).trimmed() != QLatin1String("0");
}

bool writeConfirmWrite(const QString& path, bool confirm, QString* error, OutputFileResult* saved)
{
    // Like the other settings: a file that is there but was not read whole is never written over.
    IniFile::Read read = IniFile::read(path);
    if (!read.ok() && read.error != InputFileError::Missing) {
        if (error)
            *error = QStringLiteral("not written: the file is there and was not read whole");
        return false;
    }
    read.ini.setValue(kSection, QString::fromUtf16(kConfirmWriteKey), confirm ? QStringLiteral("1") : QStringLiteral("0"));
    return read.ini.save(path, error, saved);
}

} // namespace rv
