#include "core/settings/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace rv {

QString programFolder()
{
    const QString home = qEnvironmentVariable("RVCONF_HOME");
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return QDir(home).absolutePath();
    }
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!exeDir.isEmpty() && QFileInfo(exeDir).isWritable())
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
