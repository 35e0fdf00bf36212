#include "core/settings/program_folder.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace rv;

TEST(ProgramFolderWin32, InstalledUnderProgramFilesTheFilesGoToLocalAppData)
{
    const QString programFiles = QDir::fromNativeSeparators(qEnvironmentVariable("ProgramFiles"));
    ASSERT_FALSE(programFiles.isEmpty());
    // Even when this user (an administrator, or anyone under wine) could write there.
    EXPECT_TRUE(isSystemProgramFolder(programFiles + "/rvconf"));
    EXPECT_TRUE(isSystemProgramFolder(QDir::toNativeSeparators(programFiles.toUpper() + "/RVCONF")));
    EXPECT_FALSE(exeFolderServesAsProgramFolder(programFiles + "/rvconf"));
    EXPECT_FALSE(isSystemProgramFolder(programFiles + "x/rvconf"));

    const QString user = userProgramFolder();
    const QString local = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
    ASSERT_FALSE(local.isEmpty());
    EXPECT_EQ(QDir::cleanPath(user).toLower(), QDir::cleanPath(local + "/rvconf").toLower());
    EXPECT_TRUE(QDir(user).exists());
}

TEST(ProgramFolderWin32, APortableFolderOnAnyDriveHoldsTheFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(isSystemProgramFolder(dir.path()));
    EXPECT_TRUE(exeFolderServesAsProgramFolder(QDir::toNativeSeparators(dir.path())));
}
