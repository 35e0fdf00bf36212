#include "core/settings/program_folder.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace rv;

TEST(ProgramFolder, AWritableFolderOfTheProgramHoldsTheFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(folderIsWritable(dir.path()));
    EXPECT_TRUE(exeFolderServesAsProgramFolder(dir.path()));
    EXPECT_FALSE(exeFolderServesAsProgramFolder(dir.filePath("gone")));
    EXPECT_FALSE(exeFolderServesAsProgramFolder(QString()));
    // The look leaves nothing behind.
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST(ProgramFolder, RvconfHomeWins)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const bool had = qEnvironmentVariableIsSet("RVCONF_HOME");
    const QByteArray old = qgetenv("RVCONF_HOME");
    const QString home = dir.filePath("home");
    qputenv("RVCONF_HOME", home.toLocal8Bit());
    EXPECT_EQ(QDir(programFolder()), QDir(home));
    EXPECT_TRUE(QDir(home).exists());
    EXPECT_EQ(QDir::cleanPath(programFile("Config.ini")), QDir::cleanPath(home + "/Config.ini"));
    if (had)
        qputenv("RVCONF_HOME", old);
    else
        qunsetenv("RVCONF_HOME");
}
