// The advice given when a port cannot be opened for lack of rights: a group is named only when joining
// it would help.

#include "core/link/thread_comm.h"

#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>

namespace rv {
namespace {

QString deniedTextFor(QFile::Permissions permissions, QString* groupName = nullptr)
{
    QTemporaryFile f;
    if (!f.open() || !f.setPermissions(permissions))
        return QStringLiteral("setup failed");
    if (groupName) {
        struct stat st {};
        ::stat(f.fileName().toLocal8Bit().constData(), &st);
        const struct group* g = ::getgrgid(st.st_gid);
        *groupName = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
    }
    return portOpenFailureText(f.fileName(), EACCES);
}

TEST(PortAccessText, GroupSuggestedOnlyWhenItsBitsGrantReadAndWrite)
{
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    QString group;
    const QString readWrite = deniedTextFor(owner | QFile::ReadGroup | QFile::WriteGroup, &group);
    EXPECT_TRUE(readWrite.contains(QStringLiteral("sudo usermod -aG %1 $USER").arg(group))) << qPrintable(readWrite);
    EXPECT_TRUE(readWrite.contains(QStringLiteral("«%1»").arg(group)));

    // 0600 (root:root on a real device), group read only, group write only: joining the group would not help.
    for (const QFile::Permissions p : {owner, owner | QFile::ReadGroup, owner | QFile::WriteGroup}) {
        const QString text = deniedTextFor(p);
        EXPECT_FALSE(text.contains(QStringLiteral("usermod"))) << qPrintable(text);
        EXPECT_FALSE(text.contains(u'«')) << qPrintable(text);
        EXPECT_TRUE(text.startsWith(QStringLiteral("Нет доступа к порту "))) << qPrintable(text);
    }
    // A path that cannot even be examined names no group either.
    EXPECT_FALSE(portOpenFailureText(QStringLiteral("/nonexistent/ttyUSB9"), EPERM).contains(QStringLiteral("usermod")));
}

} // namespace
} // namespace rv
