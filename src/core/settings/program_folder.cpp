#include "core/settings/program_folder.h"

#include <QCoreApplication>
#include <QDir>

namespace rv {

bool exeFolderServesAsProgramFolder(const QString& exeDir)
{
    if (exeDir.isEmpty())
        return false;
    const QString dir = QDir::cleanPath(exeDir);
    return !isSystemProgramFolder(dir) && folderIsWritable(dir);
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
    return userProgramFolder();
}

QString programFile(const QString& name)
{
    return QDir(programFolder()).filePath(name);
}

} // namespace rv
