#include "core/settings/program_folder.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace rv;

TEST(ProgramFolder, AWritableBuildFolderHoldsTheFiles_AnInstalledProgramKeepsThemPerUser)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(exeFolderServesAsProgramFolder(dir.path()));
    // Installed by the package: /usr/bin, even when the user (root) could write there.
    EXPECT_FALSE(exeFolderServesAsProgramFolder(QStringLiteral("/usr/bin")));
    EXPECT_FALSE(exeFolderServesAsProgramFolder(QStringLiteral("/usr/local/bin/")));
    EXPECT_FALSE(exeFolderServesAsProgramFolder(QString()));
}
