#include "core/settings/program_folder.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(ProgramFolderPosix, AnInstalledProgramKeepsItsFilesPerUser)
{
    // Installed by the package: /usr/bin, even when the user (root) could write there.
    EXPECT_FALSE(exeFolderServesAsProgramFolder(QStringLiteral("/usr/bin")));
    EXPECT_FALSE(exeFolderServesAsProgramFolder(QStringLiteral("/usr/local/bin/")));
    EXPECT_TRUE(isSystemProgramFolder(QStringLiteral("/usr")));
    EXPECT_FALSE(isSystemProgramFolder(QStringLiteral("/usrx/bin")));
}
