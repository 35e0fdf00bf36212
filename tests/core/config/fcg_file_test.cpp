#include "core/config/fcg_file.h"
#include "support/files.h"
#include "support/unusual_records.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;

namespace {

struct FcgFile : ::testing::Test
{
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

} // namespace

TEST_F(FcgFile, SaveAndOpenRestoreAllThreeRecords)
{
    ConfigRecords a, b;
    a = rvtest::randomRecords(5);
    ASSERT_EQ(saveFcg(path("a.fcg"), a), FcgStatus::Ok);
    const QByteArray file = rvtest::fileBytes(path("a.fcg"));
    ASSERT_EQ(file.size(), 1126);
    EXPECT_EQ(file.mid(512, 38), QByteArray(38, '\0'));
    EXPECT_EQ(file.mid(1063, 37), QByteArray(37, '\0'));
    EXPECT_EQ(file.mid(550, 513), a.inpOut.bytes());

    const FcgOpenResult r = openFcg(path("a.fcg"), b);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.fileSize, 1126);
    EXPECT_EQ(b.config.bytes(), a.config.bytes());
    EXPECT_EQ(b.inpOut.bytes(), a.inpOut.bytes());
    EXPECT_EQ(b.confSe.bytes(), a.confSe.bytes());
    ASSERT_EQ(saveFcg(path("b.fcg"), b), FcgStatus::Ok);
    EXPECT_EQ(rvtest::fileBytes(path("b.fcg")), file);
}

TEST_F(FcgFile, AFileOfAnotherSizeIsRefusedWithItsSize_AndChangesNoRecord)
{
    ConfigRecords saved, mem;
    saved = rvtest::randomRecords(6);
    const QByteArray full = fcgBytes(saved);
    mem = rvtest::randomRecords(7);
    const QByteArray before = fcgBytes(mem);

    // Without the extended record, ending inside a record, a text file, one byte too many, a long tail.
    const QList<QByteArray> files = {full.left(1063), full.left(600), QByteArray("hello world\n"),
                                     full + QByteArray(1, '\0'), full + QByteArray(5000, '\x55')};
    for (const QByteArray& bytes : files) {
        rvtest::putFile(path("x.fcg"), bytes);
        const FcgOpenResult r = openFcg(path("x.fcg"), mem);
        EXPECT_EQ(r.status, FcgStatus::WrongSize) << bytes.size();
        EXPECT_EQ(r.fileSize, bytes.size());
        EXPECT_TRUE(fcgOpenMessage(r).contains(QStringLiteral("%1 байт").arg(bytes.size()))) << fcgOpenMessage(r).toStdString();
        EXPECT_EQ(fcgBytes(mem), before) << bytes.size();
    }
}

TEST_F(FcgFile, FilesThatCannotBeOpenedChangeNothing)
{
    ConfigRecords mem;
    mem = rvtest::randomRecords(10);
    const QByteArray before = fcgBytes(mem);
    rvtest::putFile(path("empty.fcg"), {});
    EXPECT_EQ(openFcg(path("empty.fcg"), mem).status, FcgStatus::Empty);
    EXPECT_EQ(openFcg(path("missing.fcg"), mem).status, FcgStatus::OpenFailed);
    EXPECT_EQ(openFcg(dir.path(), mem).status, FcgStatus::OpenFailed); // a folder
    EXPECT_EQ(fcgBytes(mem), before);
    EXPECT_EQ(fcgStatusMessage(FcgStatus::OpenFailed), QStringLiteral("Не удалось открыть"));
}

TEST_F(FcgFile, FailedSaveKeepsTheOldFile)
{
    ConfigRecords old, next;
    old = rvtest::randomRecords(11);
    next = rvtest::randomRecords(12);
    EXPECT_EQ(saveFcg(path("no/such/folder/x.fcg"), next), FcgStatus::SaveFailed);
    EXPECT_EQ(fcgStatusMessage(FcgStatus::SaveFailed), QStringLiteral("Не удалось сохранить"));

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("ro")));
    const QString file = path("ro/c.fcg");
    ASSERT_EQ(saveFcg(file, old), FcgStatus::Ok);
    // A folder that cannot take the temporary file. Root writes anywhere, and Windows keeps a folder's
    // rights elsewhere than in these bits: where a file can still be made there, the case is skipped.
    QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::ExeOwner);
    if (QFile probe(path("ro/probe")); !probe.open(QIODevice::WriteOnly)) {
        EXPECT_EQ(saveFcg(file, next), FcgStatus::SaveFailed);
        EXPECT_EQ(rvtest::fileBytes(file), fcgBytes(old));
    } else {
        probe.remove();
    }
    QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // A save that cannot replace its target (a folder of that name) leaves the folder and reports it.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.fcg")));
    EXPECT_EQ(saveFcg(path("taken.fcg"), next), FcgStatus::SaveFailed);
    EXPECT_TRUE(QFileInfo(path("taken.fcg")).isDir());
}

TEST_F(FcgFile, RewriteRecords_KeepsTheBytesBetweenAndAfterThem)
{
    ConfigRecords onDisk, edited;
    onDisk = rvtest::randomRecords(13);
    edited = rvtest::randomRecords(14);
    // A file with something in the gaps between the records and a tail of 200 000 bytes.
    QByteArray file = fcgBytes(onDisk);
    file.replace(512, 38, QByteArray(38, '\x11'));
    file.replace(1063, 37, QByteArray(37, '\x22'));
    QByteArray tail(200000, '\0');
    for (qsizetype i = 0; i < tail.size(); ++i)
        tail[i] = char(i * 31);
    file += tail;
    rvtest::putFile(path("long.fcg"), file);

    ASSERT_EQ(rewriteFcgRecords(path("long.fcg"), edited), FcgStatus::Ok);
    QByteArray expected = file;
    expected.replace(0, 512, edited.config.bytes());
    expected.replace(550, 513, edited.inpOut.bytes());
    expected.replace(1100, 26, edited.confSe.bytes());
    EXPECT_EQ(rvtest::fileBytes(path("long.fcg")), expected);

    // A file too short to hold the records, a missing one and a folder are left alone.
    rvtest::putFile(path("short.fcg"), file.left(1125));
    EXPECT_EQ(rewriteFcgRecords(path("short.fcg"), edited), FcgStatus::SaveFailed);
    EXPECT_EQ(rvtest::fileBytes(path("short.fcg")), file.left(1125));
    EXPECT_EQ(rewriteFcgRecords(path("none.fcg"), edited), FcgStatus::SaveFailed);
    EXPECT_FALSE(QFile::exists(path("none.fcg")));
    EXPECT_EQ(rewriteFcgRecords(dir.path(), edited), FcgStatus::SaveFailed);
}
