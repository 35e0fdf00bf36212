// The group "Работа с памятью" on FL_page as a user works it: the read form shown, numbers that are not
// numbers in range refused with a cue and never sent, the request bytes and the read counter, and the export
// through the save dialog with the filter preselected, into the file chosen.

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/bytes.h"
#include "core/base/checksum.h"
#include "core/protocol/device_session.h"
#include "core/track/track_read.h"
#include "support/unit_bytes.h"
#include "ui/app/main_window.h"
#include "ui/config/edit_rules.h"
#include "ui/devicefiles/devicefiles_binding.h"
#include "ui/devicefiles/file_page.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace rv;

namespace {

QByteArray packetAt(int32_t lat);

struct TrackPageRig {
    QTemporaryDir home;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session{link, &records, &monitor};
    MainWindow window{records};
    DeviceFilesBinding files{window, session};
    FilePage* page = files.page();

    TrackPageRig()
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        session.setPortName(QStringLiteral("unit"));
        session.session().autoReadPending = false;
        session.start(false);
        step();
        unit(rvtest::rvTr(2, 1));
        link.takeWritten();
    }
    ~TrackPageRig() { qunsetenv("RVCONF_HOME"); }
    void step() { for (int i = 0; i < 10; ++i) session.Find_deviceTimer(); }
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        for (int i = 0; i < 4; ++i)
            session.Receive_timerTimer();
    }
    // "Считать" of the undelivered packets: the unit sends two packets.
    QByteArray readTwoPackets()
    {
        page->dumpButton()->click();
        step();
        const QByteArray bytes = packetAt(-33500000) + packetAt(55750000);
        unit(QByteArray("+MEM\x00\x00", 6) + le::bytes32(uint32_t(bytes.size())));
        unit(QByteArray("+MEM\x01", 5) + le::bytes16(uint16_t(bytes.size())) + bytes);
        unit(QByteArray("+MEM\x00\x01", 6));
        return bytes;
    }
    void type(QLineEdit* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
};

QByteArray packetAt(int32_t lat)
{
    QByteArray p(105, '\0');
    le::put32(p, 0, 86400);
    le::put32(p, 4, static_cast<uint32_t>(lat));
    le::put32(p, 8, 37000000);
    le::put16(p, 103, crc16Modbus(QByteArrayView(p).first(103)));
    return p;
}

} // namespace

TEST(TrackPage, FormNumbersAndRequestBytes)
{
    TrackPageRig rig;
    FilePage* page = rig.page;
    EXPECT_FALSE(page->dumpServer()->isHidden());
    EXPECT_TRUE(page->panel6()->isHidden());
    page->dumpType()->setCurrentIndex(1);
    EXPECT_TRUE(page->dumpServer()->isHidden());
    EXPECT_FALSE(page->panel6()->isHidden());
    EXPECT_EQ(page->readLabel()->text(), QStringLiteral("Считано, байт: 0"));

    // Out of range, pasted text: refused with a cue, nothing goes out.
    page->dumpStart()->setText(QStringLiteral("4294967296"));
    page->dumpCount()->setText(QStringLiteral("70000"));
    page->dumpButton()->click();
    rig.step();
    EXPECT_TRUE(hasInvalidCue(page->dumpStart()));
    EXPECT_TRUE(hasInvalidCue(page->dumpCount()));
    EXPECT_TRUE(rig.link.takeWritten().isEmpty());
    EXPECT_FALSE(rig.files.track().active());

    // Letters do not get in; edited numbers lose the cue and go out as the unit reads them.
    rig.type(page->dumpStart(), QStringLiteral("12a3"));
    EXPECT_EQ(page->dumpStart()->text(), QStringLiteral("123"));
    EXPECT_FALSE(hasInvalidCue(page->dumpStart()));
    rig.type(page->dumpCount(), QStringLiteral("65535"));
    page->dumpButton()->click();
    rig.step();
    EXPECT_EQ(rig.link.takeWritten(), QByteArray("CONFIGM\x01\x7B\x00\x00\x00\xFF\xFF", 14));

    rig.unit(QByteArray("+MEM\x00\x00", 6) + le::bytes32(1050));
    EXPECT_EQ(page->readLabel()->text(), QStringLiteral("Считано, байт: 0"));
    rig.unit(QByteArray("+MEM\x01", 5) + le::bytes16(1000) + QByteArray(1000, 'x'));
    EXPECT_EQ(page->readLabel()->text(), QStringLiteral("Считано, байт: 1000 (точек: 9)"));
    EXPECT_EQ(rig.link.takeWritten(), QByteArray("CONFIGM\x0A\x01\x00", 10).repeated(2));

    // Server 2's undelivered packets.
    rig.unit(QByteArray("+MEM\x00\x01", 6));
    page->dumpType()->setCurrentIndex(0);
    page->dumpServer()->setCurrentIndex(1);
    page->dumpButton()->click();
    rig.step();
    EXPECT_EQ(rig.link.takeWritten(), QByteArray("CONFIGM\x00\x01", 9));
}

TEST(TrackPage, ExportThroughTheSaveDialog)
{
    TrackPageRig rig;
    FilePage* page = rig.page;
    const QByteArray bytes = rig.readTwoPackets();
    ASSERT_EQ(rig.files.track().buffer(), bytes);

    page->expFiletype()->setCurrentIndex(1);
    page->exportButton()->click();
    QFileDialog* dialog = rig.files.exportDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->objectName(), QStringLiteral("SaveDialog1"));
    EXPECT_EQ(dialog->nameFilters().size(), 5); // .bin, .plt, .wln, .gpx, .kml
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("Track File [*.plt] (*.plt)"));
    EXPECT_TRUE(dialog->selectedFiles().value(0).endsWith(QStringLiteral("Ozi_track.plt")));

    // The user picks the Wialon filter before saving: the file follows it.
    dialog->selectNameFilter(QStringLiteral("Wialon message [*.wln] (*.wln)"));
    const QString path = rig.home.filePath(QStringLiteral("fleet.wln"));
    emit dialog->fileSelected(path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_EQ(text.count("REG;86400;37.000000;"), 2);
    EXPECT_TRUE(text.contains(";-33.500000;0;0;ALT:0.0")) << text.toStdString();
    dialog->close();

    // A file that cannot be created leaves a message and no file.
    page->expFiletype()->setCurrentIndex(0);
    page->exportButton()->click();
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("Binary file [*.bin] (*.bin)"));
    const QString bad = rig.home.filePath(QStringLiteral("missing/dir/x.bin"));
    emit dialog->fileSelected(bad);
    EXPECT_FALSE(QFile::exists(bad));
    dialog->close();
}

TEST(TrackPage, ATypedExtensionDecidesTheExportFormat_ElseTheFilter)
{
    TrackPageRig rig;
    FilePage* page = rig.page;
    const QByteArray bytes = rig.readTwoPackets();
    ASSERT_EQ(rig.files.track().buffer(), bytes);

    // Under "Бинарный [.bin]" the user types a name in the save dialog and presses Enter.
    const auto exportAs = [&](const QString& typed) {
        page->expFiletype()->setCurrentIndex(0);
        page->exportButton()->click();
        QFileDialog* dialog = rig.files.exportDialog();
        EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("Binary file [*.bin] (*.bin)"));
        dialog->setDirectory(rig.home.path());
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        EXPECT_NE(name, nullptr);
        if (!name)
            return;
        name->selectAll();
        QTest::keyClicks(name, typed);
        QTest::keyClick(name, Qt::Key_Return);
    };
    const auto fileAt = [&](const char* name) {
        QFile f(rig.home.filePath(QLatin1String(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };

    exportAs(QStringLiteral("track.plt"));
    const QByteArray plt = fileAt("track.plt");
    EXPECT_TRUE(plt.startsWith("OziExplorer Track Point File Version 2.1\r\n")) << plt.left(60).toStdString();
    EXPECT_TRUE(plt.contains("-33.500000, 37.000000, 1, 0, ")) << plt.toStdString();

    exportAs(QStringLiteral("fleet.WLN"));
    EXPECT_EQ(fileAt("fleet.WLN").count("REG;86400;37.000000;"), 2);

    exportAs(QStringLiteral("gis.gpx"));
    EXPECT_EQ(fileAt("gis.gpx").count("<trkpt lat=\""), 2);

    // A name without one of the three extensions: the filter decides (and its extension is added).
    exportAs(QStringLiteral("raw"));
    EXPECT_EQ(fileAt("raw.bin"), bytes);
}
