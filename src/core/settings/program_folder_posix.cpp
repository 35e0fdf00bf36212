#include "core/settings/program_folder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace rv {

// An installed program (/usr/bin, /usr/local/bin) keeps its files per user, even when root could write there.
bool isSystemProgramFolder(const QString& dir)
{
    return dir == QLatin1String("/usr") || dir.startsWith(QLatin1String("/usr/"));
}

bool folderIsWritable(const QString& dir)
{
    return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

QString userProgramFolder()
{
    QString user = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (user.isEmpty())
        user = QDir::homePath() + QStringLiteral("/.config/rvconf");
    QDir().mkpath(user);
    return user;
}

} // namespace rv
