// On a real file system that is full: a small tmpfs, mounted for the test (CI runs as root), filled to the
// last byte. rvctl set and the saves of the configuration and the settings fail with the disk's own
// ENOSPC, say so, and leave the files as they were. Skipped, with the reason, where no tmpfs can be mounted.

#include "core/base/output_file.h"
#include "core/config/defaults.h"
#include "core/config/fcg_file.h"
#include "core/settings/app_settings.h"
#include "support/tool_run.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

#if defined(RVCTL_PATH)

using namespace rv;

namespace {

// A 64 KiB tmpfs on a temporary folder, unmounted at the end.
struct SmallDisk {
    QTemporaryDir mountPoint;
    bool mounted = false;
    QString whyNot;

    SmallDisk()
    {
        if (::geteuid() != 0) {
            whyNot = QStringLiteral("mounting a tmpfs needs root (CI runs the tests as root)");
            return;
        }
        if (::mount("tmpfs", QFile::encodeName(mountPoint.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    "size=64k") != 0) {
            whyNot = QStringLiteral("mount -t tmpfs failed: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        mounted = true;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(mountPoint.path()).constData(), MNT_DETACH);
    }
    QString path(const char* name) const { return mountPoint.filePath(QString::fromLatin1(name)); }
    // Fills the disk: a file grows until the disk takes no more.
    bool fill()
    {
        QFile filler(path("filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(512, 'f');
        while (filler.write(block) == block.size()) {
        }
        const QByteArray byte(1, 'f');
        while (filler.write(byte) == 1) {
        }
        return true;
    }
};

} // namespace

TEST(FullDisk, SavesFailWithTheDisksOwnErrorAndKeepTheOldFiles)
{
    SmallDisk disk;
    if (!disk.mounted)
        GTEST_SKIP() << qPrintable(disk.whyNot);
    ConfigRecords records;
    loadStartDefaults(records);
    const QString fcg = disk.path("unit.fcg");
    ASSERT_EQ(saveFcg(fcg, records), FcgStatus::Ok);
    const QByteArray oldFcg = rvtest::fileBytes(fcg);
    const QString ini = disk.path("Config.ini");
    const QByteArray oldIni = "[Config]\nCom port=/dev/ttyUSB7\nFile conf=a.fcg\n[Server]\nAllow=861234567890123\n";
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(oldIni), oldIni.size());
    }
    ASSERT_TRUE(disk.fill());

    const rvtest::ToolRun set = rvtest::runTool(QStringLiteral(RVCTL_PATH), {QStringLiteral("set"), fcg, QStringLiteral("ID_Device=77")});
    EXPECT_EQ(set.code, 3) << qPrintable(set.err);
    EXPECT_TRUE(set.err.contains(QStringLiteral("no space left on device"))) << qPrintable(set.err);
    EXPECT_EQ(rvtest::fileBytes(fcg), oldFcg);

    OutputFileResult saved;
    records.config.setNumber(u"ID_Device", 78);
    EXPECT_EQ(saveFcg(fcg, records, &saved), FcgStatus::SaveFailed);
    EXPECT_EQ(outputFileMessage(saved), QStringLiteral("Не удалось сохранить %1: нет места на диске").arg(fcg));
    EXPECT_EQ(rvtest::fileBytes(fcg), oldFcg);

    QString error;
    EXPECT_FALSE(writeAppSettings(ini, {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("b.fcg")},
                                  [] { return QStringLiteral("/dev/ttyUSB0"); }, &error, &saved));
    EXPECT_EQ(saved.error, OutputFileError::NoSpace);
    EXPECT_EQ(rvtest::fileBytes(ini), oldIni);

    // Nothing of the attempts is left on the disk.
    EXPECT_EQ(QDir(disk.mountPoint.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{QStringLiteral("Config.ini"), QStringLiteral("filler"), QStringLiteral("unit.fcg")}));
}

#endif
