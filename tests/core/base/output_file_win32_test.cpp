#include "core/base/output_file.h"
#include "output_file_test_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <windows.h>

using namespace rv;
using namespace rvtest::output;

namespace {

DWORD attributesOf(const QString& path)
{
    return ::GetFileAttributesW(QDir::toNativeSeparators(path).toStdWString().c_str());
}

bool setAttributes(const QString& path, DWORD attributes)
{
    return ::SetFileAttributesW(QDir::toNativeSeparators(path).toStdWString().c_str(), attributes);
}

} // namespace

// A file marked read-only is not replaced; a hidden one stays hidden once replaced.
TEST_F(OutputFileTest, ReadOnlyFileIsKept_HiddenStaysHidden)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ro = dir.filePath("ro.fcg");
    put(ro, "old");
    ASSERT_TRUE(setAttributes(ro, FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(saveOutputFile(ro, "new").error, OutputFileError::NoPermission);
    EXPECT_EQ(contents(ro), QByteArray("old"));
    setAttributes(ro, FILE_ATTRIBUTE_NORMAL);

    const QString hidden = dir.filePath("Config.ini");
    put(hidden, "old");
    ASSERT_TRUE(setAttributes(hidden, FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(saveOutputFile(hidden, "new").ok());
    EXPECT_EQ(contents(hidden), QByteArray("new"));
    EXPECT_TRUE(attributesOf(hidden) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(attributesOf(hidden) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(entries(dir.path()), (QStringList{"Config.ini", "ro.fcg"}));
}

// A device name is no file: nothing is written to it and nothing is left behind.
TEST_F(OutputFileTest, RefusesADevice)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(saveOutputFile(QStringLiteral("NUL"), "x").error, OutputFileError::NotRegular);
    EXPECT_TRUE(entries(dir.path()).isEmpty());
}

// A name as Windows writes it, with backslashes (from the command line or a double-click), is saved like any.
TEST_F(OutputFileTest, ANameWithBackslashesIsSaved)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = QDir::toNativeSeparators(dir.filePath("unit.fcg"));
    ASSERT_TRUE(path.contains(u'\\'));
    ASSERT_TRUE(saveOutputFile(path, "first").ok());
    const OutputFileResult r = saveOutputFile(path, "second");
    ASSERT_TRUE(r.ok()) << outputFileMessageEn(r).toStdString();
    EXPECT_EQ(contents(dir.filePath("unit.fcg")), QByteArray("second"));
    EXPECT_EQ(entries(dir.path()), QStringList{"unit.fcg"});
}
