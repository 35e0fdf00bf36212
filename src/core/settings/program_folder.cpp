#include "core/settings/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace rv {

namespace {

// An installed program (/usr/bin, /usr/local/bin) keeps its files per user, even when root could write there.
bool isSystemFolder(const QString& dir)
{
#ifdef Q_OS_WIN
    Q_UNUSED(dir);
    return false;
#else
    return dir == QLatin1String("/usr") || dir.startsWith(QLatin1String("/usr/"));
#endif
}

} // namespace

bool exeFolderServesAsProgramFolder(const QString& exeDir)
{
    return !exeDir.isEmpty() && !isSystemFolder(QDir::cleanPath(exeDir)) && QFileInfo(exeDir).isWritable();
}

QString programFolder()
{
    const QString home = qEnvironmentVariable("RVCONF_HOME");
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return QDir(home).absolutePath();
    }
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (exeFolderServesAsProgramFolder(exeDir))
        return exeDir;
    QString user = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (user.isEmpty())
        user = QDir::homePath() + QStringLiteral("/.config/rvconf");
    QDir().mkpath(user);
    return user;
}

QString programFile(const QString& name)
{
    return QDir(programFolder()).filePath(name);
}

} // namespace rv
