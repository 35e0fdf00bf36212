// Voice WAV files and the voice archive: which headers are taken, the archive's exact bytes (offsets and
// sizes as units read them), refusal of damaged archives, and the files built from the table's rows.

#include "core/devicefiles/voice_format.h"

#include "core/base/bytes.h"
#include "support/unit_bytes.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using namespace rv::voice;

namespace {

// A WAV file of `length` bytes: header fields as given, samples from a pattern.
QByteArray wav(qsizetype length, uint16_t channels = 1, uint32_t rate = 11025, uint16_t bits = 8, int seed = 1,
               qint64 riffDelta = 0)
{
    QByteArray b = rvtest::pattern(length, seed);
    b.replace(0, 4, "RIFF");
    le::put32(b, 4, static_cast<uint32_t>(length - 8 + riffDelta));
    b.replace(8, 8, "WAVEfmt ");
    le::put32(b, 16, 16);
    le::put16(b, 20, 1);
    le::put16(b, 22, channels);
    le::put32(b, 24, rate);
    le::put32(b, 28, rate * channels * bits / 8);
    le::put16(b, 32, static_cast<uint16_t>(channels * bits / 8));
    le::put16(b, 34, bits);
    b.replace(36, 4, "data");
    le::put32(b, 40, static_cast<uint32_t>(length - 44));
    return b;
}

WavProblem problemOf(const QByteArray& file) { return checkWav(file, file.size()).problem; }

} // namespace

TEST(VoiceMessagesTable, CaptionsAndUnitNamesInArchiveOrder)
{
    const auto& m = messages();
    EXPECT_EQ(m[0].caption, QStringLiteral("Приветствие"));
    EXPECT_EQ(m[0].fileName, "hello.wav");
    EXPECT_EQ(m[2].fileName, "pass_err.wav");
    EXPECT_EQ(m[3].fileName, "menu.wav");
    EXPECT_EQ(m[7].fileName, "ohrana_0.wav");
    EXPECT_EQ(m[8].caption, QStringLiteral("Сработал датчик движения"));
    EXPECT_EQ(m[9].caption, QStringLiteral("Сработал вход 1"));
    EXPECT_EQ(m[16].fileName, "in_8.wav");
    EXPECT_EQ(m[17].caption, QStringLiteral("Выход 1 активирован"));
    EXPECT_EQ(m[24].fileName, "outd_4.wav");
    EXPECT_EQ(m[25].caption, QStringLiteral("Событие 1"));
    EXPECT_EQ(m[44].caption, QStringLiteral("Событие 20"));
    EXPECT_EQ(m[44].fileName, "event_20.wav");
}

TEST(VoiceWav, EightBitMonoNearElevenKilohertzOnlyWithAnHonestRiffSize)
{
    EXPECT_EQ(problemOf(wav(1000)), WavProblem::None);
    EXPECT_EQ(checkWav(wav(1000), 1000).riffSize, 992u);
    EXPECT_EQ(problemOf(wav(1000, 1, 11000)), WavProblem::None);
    EXPECT_EQ(problemOf(wav(1000, 1, 12000)), WavProblem::None);
    EXPECT_EQ(problemOf(wav(44)), WavProblem::None); // a header and no samples

    EXPECT_EQ(problemOf(wav(1000, 1, 11025, 16)), WavProblem::NotEightBit);
    EXPECT_EQ(problemOf(wav(1000, 2)), WavProblem::NotMono);
    EXPECT_EQ(problemOf(wav(1000, 1, 8000)), WavProblem::Rate);
    EXPECT_EQ(problemOf(wav(1000, 1, 10999)), WavProblem::Rate);
    EXPECT_EQ(problemOf(wav(1000, 1, 12001)), WavProblem::Rate);
    // A RIFF size that lies either way would lay the archive out wrong.
    EXPECT_EQ(problemOf(wav(1000, 1, 11025, 8, 1, +1)), WavProblem::SizeMismatch);
    EXPECT_EQ(problemOf(wav(1000, 1, 11025, 8, 1, -1)), WavProblem::SizeMismatch);
    EXPECT_EQ(problemOf(wav(1000, 1, 11025, 8, 1, 1 << 30)), WavProblem::SizeMismatch);
    EXPECT_EQ(checkWav(wav(1000), 1001).problem, WavProblem::SizeMismatch); // the file is longer than it says
    // Truncated headers, however the rest looks.
    EXPECT_EQ(problemOf(wav(1000).left(43)), WavProblem::Short);
    EXPECT_EQ(checkWav(wav(1000).left(36), 1000).problem, WavProblem::Short);
    EXPECT_EQ(problemOf(QByteArray()), WavProblem::Short);
    QByteArray notRiff = wav(1000);
    notRiff[0] = 'X';
    EXPECT_EQ(problemOf(notRiff), WavProblem::NotRiff);
    QByteArray noFmt = wav(1000);
    noFmt.replace(12, 4, "LIST");
    EXPECT_EQ(problemOf(noFmt), WavProblem::NotRiff);
}

TEST(VoiceArchive, TwoThousandByteFilesOverlapByEightBytesGoldenBytes)
{
    std::array<QByteArray, kMessages> files;
    files[0] = wav(1000, 1, 11025, 8, 1);
    files[1] = wav(1000, 1, 11025, 8, 2);
    const QByteArray archive = buildArchive(files);
    ASSERT_EQ(archive.size(), 2504);
    QByteArray header(512, '\0');
    header.replace(0, 16, QByteArray("\x00\x00\x00\x00\xE0\x03\x00\x00\xE0\x03\x00\x00\xE0\x03\x00\x00", 16));
    EXPECT_EQ(archive.left(512), header);
    // The first file's first 992 bytes, then the whole second file over the first one's last 8 bytes.
    EXPECT_EQ(archive.mid(512, 992), files[0].left(992));
    EXPECT_EQ(archive.mid(512 + 992), files[1]);

    // Rows between files and after them keep (0, 0); a third file in row 9 goes at 1984.
    files[9] = wav(500, 1, 11025, 8, 3);
    const QByteArray three = buildArchive(files);
    EXPECT_EQ(three.size(), 512 + 992 + 992 + 500);
    EXPECT_EQ(le::u32(three, 8 * 9), 1984u);
    EXPECT_EQ(le::u32(three, 8 * 9 + 4), 492u);
    for (int r : {2, 8, 10, 44})
        EXPECT_EQ(three.mid(8 * r, 8), QByteArray(8, '\0')) << r;
    EXPECT_EQ(three.mid(512 + 1984), files[9]);
    EXPECT_EQ(three.mid(360, 152), QByteArray(152, '\0'));
}

TEST(VoiceArchive, DamagedArchivesAreRefusedOnOpening)
{
    std::array<QByteArray, kMessages> files;
    files[0] = wav(1000, 1, 11025, 8, 1);
    files[5] = wav(700, 1, 11025, 8, 2);
    const QByteArray good = buildArchive(files);
    const ArchiveHeader h = parseArchiveHeader(good, good.size());
    ASSERT_TRUE(h.ok());
    EXPECT_EQ(h.payloadSize, 1000u + 700u - 8u);
    EXPECT_EQ(h.entries[0], (Entry{0, 992}));
    EXPECT_EQ(h.entries[5], (Entry{992, 692}));
    EXPECT_EQ(h.entries[1], (Entry{}));

    // Shorter than the header: the data size would wrap around.
    EXPECT_EQ(parseArchiveHeader(good.left(511), 511).problem, ArchiveProblem::Short);
    EXPECT_EQ(parseArchiveHeader({}, 0).problem, ArchiveProblem::Short);
    EXPECT_TRUE(parseArchiveHeader(good.left(512), 512).ok() == false); // entries now point past the end
    EXPECT_TRUE(parseArchiveHeader(QByteArray(512, '\0'), 512).ok());  // an empty archive is whole
    // The last file cut by one byte, an offset or a size beyond the data, a size that wraps with its offset.
    EXPECT_EQ(parseArchiveHeader(good, good.size() - 1).problem, ArchiveProblem::OutOfFile);
    QByteArray bad = good;
    le::put32(bad, 8 * 5, 993);
    EXPECT_EQ(parseArchiveHeader(bad, bad.size()).problem, ArchiveProblem::OutOfFile);
    bad = good;
    le::put32(bad, 8 * 7, 0xFFFFFFF0u);
    le::put32(bad, 8 * 7 + 4, 0x20);
    EXPECT_EQ(parseArchiveHeader(bad, bad.size()).problem, ArchiveProblem::OutOfFile);
    // An offset alone (size 0) names no file and is not looked at.
    bad = good;
    le::put32(bad, 8 * 7, 0xFFFFFFF0u);
    EXPECT_TRUE(parseArchiveHeader(bad, bad.size()).ok());
    EXPECT_EQ(parseArchiveHeader(good, qint64(UINT32_MAX) + 513).problem, ArchiveProblem::TooLarge);
}

TEST(VoiceArchive, FilesFromTheRowsRoundTripAndBadRowsStayOut)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.wav"));
    const QString b = dir.filePath(QStringLiteral("b.wav"));
    const QString stereo = dir.filePath(QStringLiteral("stereo.wav"));
    const QString liar = dir.filePath(QStringLiteral("liar.wav"));
    rvtest::putFile(a, wav(3000, 1, 11025, 8, 4)); // more than one 1000-byte copy block
    rvtest::putFile(b, wav(1000, 1, 11025, 8, 5));
    rvtest::putFile(stereo, wav(1000, 2));
    rvtest::putFile(liar, wav(1000, 1, 11025, 8, 1, 5000)); // says it is longer than it is
    QStringList rows(kMessages);
    rows[3] = a;
    rows[7] = b;
    rows[9] = stereo;
    rows[10] = liar;
    rows[11] = dir.filePath(QStringLiteral("gone.wav"));
    rows[12] = QStringLiteral("file12");
    const QString archive = dir.filePath(QString::fromLatin1(kArchiveName));
    const SaveResult saved = Write_voice_file_archive(archive, rows);
    ASSERT_EQ(saved.status, SaveStatus::Saved);
    EXPECT_EQ(saved.stored, (QList<int>{3, 7}));
    EXPECT_EQ(saved.skipped, (QList<int>{9, 10, 11, 12}));

    std::array<QByteArray, kMessages> files;
    files[3] = rvtest::fileBytes(a);
    files[7] = rvtest::fileBytes(b);
    EXPECT_EQ(rvtest::fileBytes(archive), buildArchive(files));

    const OpenResult opened = Read_voice_file_archive(archive);
    ASSERT_EQ(opened.status, OpenStatus::Opened);
    EXPECT_EQ(opened.header.entries[3], (Entry{0, 2992}));
    EXPECT_EQ(opened.header.entries[7], (Entry{2992, 992}));
    // Each file comes back out of the archive byte for byte (the earlier one up to its overlapped tail).
    const QByteArray bytes = rvtest::fileBytes(archive);
    EXPECT_EQ(bytes.mid(512 + 2992), files[7]);
    EXPECT_EQ(bytes.mid(512, 2992), files[3].left(2992));

    EXPECT_EQ(Read_voice_file_archive(dir.filePath(QStringLiteral("none.vfa"))).status, OpenStatus::CannotOpen);
    rvtest::putFile(dir.filePath(QStringLiteral("short.vfa")), QByteArray(100, '\0'));
    EXPECT_EQ(Read_voice_file_archive(dir.filePath(QStringLiteral("short.vfa"))).status, OpenStatus::Damaged);
}

TEST(VoiceArchive, NothingToStoreCreatesNoFileAndAFailedCreateKeepsTheOldOne)
{
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("x.vfa"));
    QStringList rows(kMessages);
    EXPECT_EQ(Write_voice_file_archive(archive, rows).status, SaveStatus::NoFiles);
    rows[0] = QStringLiteral("файл не доступен");
    EXPECT_EQ(Write_voice_file_archive(archive, rows).status, SaveStatus::NoFiles);
    EXPECT_FALSE(QFile::exists(archive));

    const QString a = dir.filePath(QStringLiteral("a.wav"));
    rvtest::putFile(a, wav(1000));
    rows[0] = a;
    EXPECT_EQ(Write_voice_file_archive(dir.filePath(QStringLiteral("no/such/dir/x.vfa")), rows).status,
              SaveStatus::CannotCreate);
}

TEST(VoiceArchive, WavFilesMadeBySoxAreAccepted)
{
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));
    if (sox.isEmpty())
        GTEST_SKIP() << "sox is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.wav"));
    const int rc = QProcess::execute(sox, {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("11025"),
                                           QStringLiteral("-b"), QStringLiteral("8"), QStringLiteral("-c"),
                                           QStringLiteral("1"), path, QStringLiteral("synth"), QStringLiteral("0.5"),
                                           QStringLiteral("sine"), QStringLiteral("440")});
    ASSERT_EQ(rc, 0);
    const std::optional<WavCheck> c = checkWavFile(path);
    ASSERT_TRUE(c.has_value());
    EXPECT_TRUE(c->ok()) << int(c->problem);
    EXPECT_EQ(qint64(c->riffSize), QFileInfo(path).size() - 8);
}
