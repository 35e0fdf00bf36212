// The voice page in the main window over the in-memory link: captions and buttons by unit type, a WAV
// assigned with a right click and its dialog, the gauge, and the buttons' whole paths down to the bytes
// the unit gets or the archive file written.

#include "core/config/records.h"
#include "core/base/input_file.h"
#include "core/devicefiles/voice_messages.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/bytes.h"
#include "core/protocol/device_session.h"
#include "support/unit_bytes.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/app/session_binding.h"
#include "ui/devicefiles/devicefiles_binding.h"
#include "ui/devicefiles/voice_binding.h"
#include "ui/devicefiles/voice_page.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace rv;
using namespace rvtest;

namespace {

QByteArray wav(qsizetype length, int seed, uint16_t channels = 1)
{
    QByteArray b = pattern(length, seed);
    b.replace(0, 4, "RIFF");
    le::put32(b, 4, static_cast<uint32_t>(length - 8));
    b.replace(8, 8, "WAVEfmt ");
    le::put16(b, 20, 1); // PCM
    le::put16(b, 22, channels);
    le::put32(b, 24, 11025);
    le::put16(b, 34, 8);
    return b;
}

class VoicePageTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks blocks;
    SessionController s{link, &records, &blocks};
    MainWindow w{records};
    SessionBinding sessionBinding{w, s, false};
    DeviceFilesBinding files{w, s};
    VoiceBinding voice{w, s, files.transfer()};

    void SetUp() override { qputenv("RVCONF_HOME", home.path().toLocal8Bit()); }
    void TearDown() override { qunsetenv("RVCONF_HOME"); }

    void connectUnit(uint8_t type)
    {
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        runStep();
        unit(rvTr(type, 1));
        link.takeWritten();
    }
    void runStep() { for (int i = 0; i < 10; ++i) s.Find_deviceTimer(); }
    void ticks(int n) { for (int i = 0; i < n; ++i) s.Receive_timerTimer(); }
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        ticks(4);
    }
    template <typename T>
    T* control(const char* name) const
    {
        T* c = w.findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QTableWidget* table() const { return control<QTableWidget>("Voice_message"); }
    QString cell(int row, int column) const { return table()->item(row, column)->text(); }
    QString file(const char* name, const QByteArray& bytes)
    {
        const QString path = home.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // Right click on a row, then the dialog's choice.
    void assign(int row, const QString& path)
    {
        QTableWidget* t = table();
        const QRect cellRect = t->visualRect(t->model()->index(row, 1));
        emit t->customContextMenuRequested(cellRect.center());
        auto* d = w.findChild<QFileDialog*>(QStringLiteral("VoiceWavDialog"));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->selectedNameFilter(), QStringLiteral("Audio file [*.wav] (*.wav)"));
        emit d->fileSelected(path);
        d->setObjectName(QString()); // the next right click opens a dialog of its own
        d->reject();
    }
    // The dialog the button opened, answered with `path`.
    void choose(const char* dialogName, const QString& path)
    {
        auto* d = w.findChild<QFileDialog*>(QLatin1String(dialogName));
        ASSERT_NE(d, nullptr) << dialogName;
        EXPECT_EQ(d->selectedNameFilter(), QStringLiteral("Voice file archive [*.vfa] (*.vfa)"));
        emit d->fileSelected(path);
        d->setObjectName(QString());
        d->reject();
    }
    QStringList messageTexts() const
    {
        QStringList texts;
        for (QMessageBox* box : w.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
            texts << box->text();
        return texts;
    }
};

} // namespace

TEST_F(VoicePageTest, CaptionsFixedColumnAndButtonsByUnitType)
{
    QWidget* page = w.page(nav::Voice_files);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->objectName(), QStringLiteral("Voice_files"));
    EXPECT_EQ(table()->rowCount(), 45);
    EXPECT_EQ(table()->columnCount(), 3);
    EXPECT_EQ(table()->columnWidth(0), 200);
    EXPECT_EQ(table()->columnWidth(1), 170);
    EXPECT_EQ(cell(0, 0), QStringLiteral("Приветствие"));
    EXPECT_EQ(cell(44, 0), QStringLiteral("Событие 20"));
    EXPECT_FALSE(table()->item(3, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(table()->item(3, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(control<QProgressBar>("ProgressBar1")->maximum(), 2097152);
    EXPECT_EQ(control<QLabel>("Label209")->text(), QStringLiteral("0 %"));
    // No unit yet: the buttons wait for one.
    EXPECT_FALSE(control<QPushButton>("SaveToSD")->isEnabled());
    EXPECT_EQ(control<QPushButton>("SaveToSD")->text(), QStringLiteral("Сохранить на носитель"));

    connectUnit(4);
    EXPECT_TRUE(control<QPushButton>("SaveToSD")->isEnabled());
    EXPECT_TRUE(control<QPushButton>("List_voice_files")->isEnabled());
    EXPECT_EQ(control<QPushButton>("Clear_voice_table")->text(), QStringLiteral("Открыть"));
    EXPECT_EQ(control<QPushButton>("List_voice_files")->text(), QStringLiteral("Сохранить в файл"));
}

TEST_F(VoicePageTest, TypeTwoRightClickAssignsAndSaveToSdSendsTheFileToItsUnitName)
{
    connectUnit(2);
    EXPECT_EQ(control<QPushButton>("Clear_voice_table")->text(), QStringLiteral("Очистить"));
    const QByteArray hello = wav(700, 1);
    assign(0, file("hello-local.wav", hello));
    EXPECT_EQ(cell(0, 1), home.filePath(QStringLiteral("hello-local.wav")));
    EXPECT_EQ(cell(0, 2), QStringLiteral("692 байт"));
    EXPECT_EQ(control<QProgressBar>("ProgressBar1")->value(), 692);

    // A stereo file is refused with the format message and leaves the row as it was.
    assign(1, file("stereo.wav", wav(700, 2, 2)));
    EXPECT_TRUE(messageTexts().contains(voice::kWrongFormat));
    EXPECT_EQ(cell(1, 1), QString());
    // So is μ-law (format 7), which the unit would play as noise, and a FIFO is refused unopened.
    QByteArray mulaw = wav(700, 3);
    le::put16(mulaw, 20, 7);
    assign(1, file("mulaw.wav", mulaw));
    EXPECT_EQ(cell(1, 1), QString());
    const QString fifo = home.filePath(QStringLiteral("pipe.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    assign(1, fifo);
    EXPECT_TRUE(messageTexts().contains(inputFileMessage(fifo, InputFileError::NotRegular, 0)));
    EXPECT_EQ(cell(1, 1), QString());

    control<QPushButton>("SaveToSD")->click();
    runStep();
    ticks(1);
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x02\x03\xBC\x02\0\0hello.wav\0", 23));
    link.feed(QByteArray("FLRW\x04"));
    ticks(4);
    EXPECT_EQ(link.takeWritten(), "CONFIGF" + QByteArray("\x03\x00\x02", 3) + hello.left(512));
    link.feed(QByteArray("FLRW\x04"));
    ticks(4);
    EXPECT_EQ(link.takeWritten(), "CONFIGF" + QByteArray("\x03\xBC\x00", 3) + hello.mid(512));
    link.feed(QByteArray("FLRW\x09"));
    ticks(4);
    EXPECT_EQ(cell(0, 1), QStringLiteral("hello.wav"));
    ticks(50);
    EXPECT_EQ(s.session().OperationState, osIdle);

    // Clear empties column 1 and the gauge with it.
    control<QPushButton>("Clear_voice_table")->click();
    EXPECT_EQ(cell(0, 1), QString());
    EXPECT_EQ(control<QLabel>("Label209")->text(), QStringLiteral("0 %"));
}

TEST_F(VoicePageTest, TypeFourSavesTheTableAsAnArchiveOpensItAndWritesItToTheUnit)
{
    connectUnit(4);
    const QByteArray a = wav(1000, 3), b = wav(1000, 4);
    assign(0, file("a.wav", a));
    assign(1, file("b.wav", b));
    EXPECT_EQ(control<QLabel>("Label209")->text(), QStringLiteral("0 %"));

    // "Сохранить в файл": the archive laid out as the unit reads it.
    const QString archivePath = home.filePath(QStringLiteral("RV_voice_files.vfa"));
    control<QPushButton>("List_voice_files")->click();
    choose("VoiceArchiveSaveDialog", archivePath);
    QFile saved(archivePath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray archive = saved.readAll();
    ASSERT_EQ(archive.size(), 2504);
    EXPECT_EQ(archive.left(16), QByteArray("\0\0\0\0\xE0\x03\0\0\xE0\x03\0\0\xE0\x03\0\0", 16));
    EXPECT_EQ(archive.mid(512 + 992), b);

    // "Открыть": the rows of the archive.
    control<QPushButton>("Clear_voice_table")->click();
    choose("VoiceArchiveOpenDialog", archivePath);
    EXPECT_EQ(cell(0, 1), QStringLiteral("file0"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("file1"));
    EXPECT_EQ(cell(1, 2), QStringLiteral("992 байт"));

    // "Сохранить на носитель": the archive goes out and the gauge takes the unit's room.
    control<QPushButton>("SaveToSD")->click();
    choose("VoiceArchiveWriteDialog", archivePath);
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("RV+VMS"));
    unit("+VMS" + le::bytes32(19840));
    EXPECT_EQ(control<QProgressBar>("ProgressBar1")->maximum(), 19840);
    EXPECT_EQ(control<QLabel>("Label209")->text(), QStringLiteral("10 %"));
    EXPECT_EQ(link.takeWritten(), "RV+VWP" + archive.left(512) + QByteArray(1, '\0'));
    unit("+VWP");
    EXPECT_EQ(link.takeWritten(), QByteArray("RV+VFS\xC8\x07\0\0", 10));
    QByteArray sent;
    for (int i = 0; i < 4; ++i) {
        unit(i == 0 ? "+VFS" : "+VWF");
        const QByteArray w = link.takeWritten();
        ASSERT_EQ(w.size(), 6 + 513) << i;
        sent += w.mid(6, 512);
    }
    unit("+VWF");
    EXPECT_EQ(sent.left(1992), archive.mid(512));
    EXPECT_EQ(sent.mid(1992), QByteArray(56, '\0'));
    EXPECT_EQ(s.session().OperationState, osIdle);
}
