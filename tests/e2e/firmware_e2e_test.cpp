// Replacing the unit's program end to end: the real serial component, the session controller and the
// firmware update against the virtual unit's bootloader, with the real timers.

#include "core/firmware/firmware_update.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/monitor/monitor_snapshot.h"
#include "core/protocol/device_session.h"
#include "core/protocol/session_texts.h"
#include "support/app_program.h"
#include "support/rvsim_process.h"
#include "support/tool_run.h"
#include "support/unit_bytes.h"
#include "support/wait.h"
#include "ui/firmware/firmware_binding.h"
#include "ui/firmware/firmware_window.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::RvsimProcess;
using rvtest::waitUntil;

namespace {

// An image of `size` bytes for a type-2 unit with build 801.2.3.
QByteArray image(int size)
{
    QByteArray h(32, '\0');
    h.replace(0, 4, "QDFW");
    h[4] = 2;
    h[5] = 9;
    for (int i = 0; i < 4; ++i)
        h[8 + i] = char(uint32_t(size) >> (8 * i));
    h.replace(12, 4, QByteArray::fromHex("efbeadde"));
    h[20] = char(801 & 0xFF);
    h[21] = char(801 >> 8);
    h[22] = 2;
    h[24] = 3;
    return h + rvtest::pattern(size - 32, 11);
}

struct Rig {
    QTemporaryDir dir;
    SerialLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session{link, &records, &monitor};
    FirmwareUpdate fw{session};
    QStringList messages;

    explicit Rig(const QString& port)
    {
        session.setPortName(port);
        QObject::connect(&fw, &FirmwareUpdate::message, [this](const QString& t) { messages << t; });
    }
    QString write(const QByteArray& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("fw.bin"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
};

TEST(FirmwareE2e, FlashedImageIsHeldByteExactAndTheUnitComesBackWithItsNewBuild)
{
    QTemporaryDir out;
    const QString kept = out.filePath(QStringLiteral("kept.bin"));
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--firmware-out"), kept,
                                                   QStringLiteral("--bootloader-incomplete-at"), QStringLiteral("1")});
    ASSERT_TRUE(unit.started());
    Rig rig(unit.pty());
    QSignalSpy connected(&rig.session, &SessionController::deviceConnected);
    QSignalSpy finished(&rig.fw, &FirmwareUpdate::finished);
    rig.session.start();
    ASSERT_TRUE(waitUntil([&] { return !connected.isEmpty(); }));

    const QByteArray img = image(3000);
    ASSERT_TRUE(rig.fw.openImage(rig.write(img), 2));
    rig.fw.program();
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); })) << rig.messages.join('|').toStdString();
    EXPECT_TRUE(finished.last().at(0).toBool()) << rig.messages.join('|').toStdString();
    EXPECT_TRUE(rig.messages.contains(QStringLiteral("Не полный пакет данных")));
    EXPECT_EQ(rig.messages.last(), QStringLiteral("Программирование завершено"));
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), img);

    // Found again, running the new program.
    connected.clear();
    QSignalSpy device(&rig.session, &SessionController::deviceReceived);
    ASSERT_TRUE(waitUntil([&] { return !connected.isEmpty() && !device.isEmpty(); }));
    const DeviceSnapshot d = decodeDevice(rig.monitor.device.bytes());
    EXPECT_EQ(d.build1, 801);
    EXPECT_EQ(d.build2, 2);
    EXPECT_EQ(d.build3, 3);
}

TEST(FirmwareE2e, RefusalAndErrorAreReportedAndARetryCompletes)
{
    {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--bootloader"),
                                                       QStringLiteral("--bootloader-refuse")});
        ASSERT_TRUE(unit.started());
        Rig rig(unit.pty());
        QSignalSpy boot(&rig.session, &SessionController::bootloaderMode);
        QSignalSpy finished(&rig.fw, &FirmwareUpdate::finished);
        rig.session.start();
        ASSERT_TRUE(waitUntil([&] { return !boot.isEmpty(); }));
        ASSERT_TRUE(rig.fw.openImage(rig.write(image(1000)), 2));
        rig.fw.program();
        ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }));
        EXPECT_FALSE(finished.last().at(0).toBool());
        EXPECT_EQ(rig.messages.last(), QStringLiteral("Не возможно обновить ПО"));
        EXPECT_EQ(unit.count("CONFIGB1"), 0);
    }
    QTemporaryDir out;
    const QString kept = out.filePath(QStringLiteral("kept.bin"));
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--bootloader"), QStringLiteral("--firmware-out"),
                                                   kept, QStringLiteral("--bootloader-error-at"), QStringLiteral("1")});
    ASSERT_TRUE(unit.started());
    Rig rig(unit.pty());
    QSignalSpy boot(&rig.session, &SessionController::bootloaderMode);
    QSignalSpy finished(&rig.fw, &FirmwareUpdate::finished);
    rig.session.start();
    ASSERT_TRUE(waitUntil([&] { return !boot.isEmpty(); }));
    const QByteArray img = image(1500);
    ASSERT_TRUE(rig.fw.openImage(rig.write(img), 2));
    rig.fw.program();
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }));
    EXPECT_FALSE(finished.last().at(0).toBool());
    EXPECT_EQ(rig.messages.last(), QStringLiteral("Ошибка при программировании"));
    rig.fw.program(); // the unit is still in its bootloader: from block 0 again
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 2; }));
    EXPECT_TRUE(finished.last().at(0).toBool()) << rig.messages.join('|').toStdString();
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), img);
}

TEST(FirmwareE2e, SilentBootloaderEndsTheRunWithAMessage)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--bootloader"),
                                                   QStringLiteral("--bootloader-silent-at"), QStringLiteral("1")});
    ASSERT_TRUE(unit.started());
    Rig rig(unit.pty());
    QSignalSpy boot(&rig.session, &SessionController::bootloaderMode);
    QSignalSpy finished(&rig.fw, &FirmwareUpdate::finished);
    rig.session.start();
    ASSERT_TRUE(waitUntil([&] { return !boot.isEmpty(); }));
    ASSERT_TRUE(rig.fw.openImage(rig.write(image(2000)), 2));
    rig.fw.program();
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }, FirmwareUpdate::kReplyTimeoutMs + rvtest::kPatienceMs));
    EXPECT_FALSE(finished.last().at(0).toBool());
    EXPECT_EQ(rig.messages.last(), QStringLiteral("Загрузчик не отвечает. Повторите обновление"));
    EXPECT_FALSE(rig.fw.programming());
}

// The cable pulled while blocks go out: the run ends as soon as the port says so, as a lost connection
// (not as a silent bootloader 10-30 s later), and the search waits for the unit to come back.
TEST(FirmwareE2e, AnUnpluggedUnitEndsTheRunAtOnceAsALostConnection)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--bootloader"),
                                                   QStringLiteral("--bootloader-drop-at"), QStringLiteral("2")});
    ASSERT_TRUE(unit.started());
    Rig rig(unit.pty());
    QSignalSpy boot(&rig.session, &SessionController::bootloaderMode);
    QSignalSpy finished(&rig.fw, &FirmwareUpdate::finished);
    SessionTexts texts{rig.session};
    QSignalSpy sessionSaid(&texts, &SessionTexts::message);
    rig.session.start();
    ASSERT_TRUE(waitUntil([&] { return !boot.isEmpty(); }, 60000));
    ASSERT_TRUE(rig.fw.openImage(rig.write(image(3000)), 2));
    QElapsedTimer t;
    t.start();
    rig.fw.program();
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }, 60000));
    std::printf("[ timing ] the lost line ended the run after %lld ms\n", t.elapsed());
    EXPECT_FALSE(finished.last().at(0).toBool());
    EXPECT_EQ(rig.messages,
              QStringList{QStringLiteral("Потеряна связь с устройством\rПрограммирование прервано. Повторите обновление")});
    EXPECT_TRUE(sessionSaid.isEmpty()); // said once, by the run
    EXPECT_FALSE(rig.fw.programming());
    EXPECT_EQ(rig.session.session().OperationState, osSearch);
}

#if defined(RVCTL_PATH)
TEST(FirmwareE2e, RvctlFlashesAUnitAndSaysSoByItsExitCode)
{
    QTemporaryDir dir;
    const QString kept = dir.filePath(QStringLiteral("kept.bin"));
    const QString imagePath = dir.filePath(QStringLiteral("fw.bin"));
    const QByteArray img = image(1200);
    {
        QFile f(imagePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(img);
    }
    {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--firmware-out"), kept});
        ASSERT_TRUE(unit.started());
        const rvtest::ToolRun r = rvtest::runTool(QStringLiteral(RVCTL_PATH),
                                                  {QStringLiteral("--port=") + unit.pty(), QStringLiteral("flash"), imagePath});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        QFile f(kept);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), img);
    }
    RvsimProcess refusing(QStringLiteral(RVSIM_PATH), {QStringLiteral("--bootloader"), QStringLiteral("--bootloader-refuse")});
    ASSERT_TRUE(refusing.started());
    const rvtest::ToolRun r = rvtest::runTool(QStringLiteral(RVCTL_PATH),
                                              {QStringLiteral("--port=") + refusing.pty(), QStringLiteral("flash"), imagePath});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Не возможно обновить ПО"))) << r.err.toStdString();
}
#endif

} // namespace

namespace {

// The texts of the message boxes the main window shows.
QStringList shownMessages(const QWidget& owner)
{
    QStringList texts;
    for (const QMessageBox* box : owner.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
        texts << box->text();
    return texts;
}

QString labelText(const QWidget& w, const char* name)
{
    const auto* l = w.findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("<missing>");
}

QString writeFile(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

} // namespace

// The user's way: "Обновление ПО" opens the window, an image is chosen, "Обновить программу" programs it,
// and the unit holds the image byte for byte.
TEST(FirmwareWindowE2e, ChosenImageIsProgrammedThroughTheWindow)
{
    QTemporaryDir out;
    const QString kept = out.filePath(QStringLiteral("kept.bin"));
    rvtest::AppProgram program;
    FirmwareBinding firmware(program.window, program.session);
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--link"), program.port,
                                                   QStringLiteral("--firmware-out"), kept});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(program.startAndRead()) << program.closed.join(u',').toStdString();

    program.window.Program_butClick();
    FirmwareWindow* w = firmware.window();
    ASSERT_EQ(program.window.window(QStringLiteral("TForm7")), w);
    ASSERT_TRUE(waitUntil([&] { return w->isVisible(); }));
    EXPECT_FALSE(w->programButton()->isEnabled());

    // Not an image: refused, nothing to program.
    firmware.openFirmware(writeFile(out, "notes.bin", QByteArray(600, 'x')));
    EXPECT_FALSE(w->programButton()->isEnabled());
    EXPECT_TRUE(w->fileName()->text().isEmpty());
    EXPECT_TRUE(shownMessages(program.window).contains(QStringLiteral("Открываемый файл не является файлом прошивки !!!")));

    const QByteArray img = image(1800);
    const QString path = writeFile(out, "fw.bin", img);
    firmware.openFirmware(path);
    ASSERT_TRUE(w->programButton()->isEnabled());
    EXPECT_EQ(w->fileName()->text(), path);
    EXPECT_EQ(labelText(*w, "Ver"), QStringLiteral("Версия ПО: 9"));
    EXPECT_EQ(labelText(*w, "HARDVER"), QStringLiteral("Hard: 2"));
    EXPECT_EQ(labelText(*w, "Size"), QStringLiteral("Размер: 1800 байт(а)"));
    EXPECT_EQ(labelText(*w, "CRC"), QStringLiteral("CRC: 0xDEADBEEF"));
    EXPECT_EQ(labelText(*w, "Label1"), QStringLiteral("Сборка: 0801.0002.03"));

    // The unit runs version 28: the older image was warned of when chosen, and programming it asks once
    // more. "Нет" sends nothing; "Да" programs it.
    EXPECT_EQ(w->findChild<QPushButton*>(QStringLiteral("Open_fw"))->toolTip(), QStringLiteral("Выбрать файл прошивки"));
    EXPECT_TRUE(shownMessages(program.window).contains(QStringLiteral("Версия файла более ранняя, чем та,\nчто записана в устройство !!!")));
    w->programButton()->click();
    ASSERT_NE(firmware.olderQuestion(), nullptr);
    firmware.olderQuestion()->button(QMessageBox::No)->click();
    QTest::qWait(300);
    EXPECT_EQ(unit.count("CONFIGB"), 0);
    w->programButton()->click();
    ASSERT_NE(firmware.olderQuestion(), nullptr);
    firmware.olderQuestion()->button(QMessageBox::Yes)->click();
    EXPECT_FALSE(w->programButton()->isEnabled());
    ASSERT_TRUE(
        waitUntil([&] { return shownMessages(program.window).contains(QStringLiteral("Программирование завершено")); }))
        << shownMessages(program.window).join(u'|').toStdString();
    EXPECT_EQ(w->progress()->value(), 1000);
    EXPECT_TRUE(w->programButton()->isEnabled());
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), img);
}

// Closing the window mid-run asks first; "Нет" lets the run go on, "Да" stops it with the unit left in its
// bootloader, and the next run from the window programs it from block 0.
TEST(FirmwareWindowE2e, ClosingMidRunAsksAndAStoppedRunCanBeStartedAgain)
{
    QTemporaryDir out;
    const QString kept = out.filePath(QStringLiteral("kept.bin"));
    rvtest::AppProgram program;
    FirmwareBinding firmware(program.window, program.session);
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--link"), program.port, QStringLiteral("--bootloader"),
                                                   QStringLiteral("--program-ms"), QStringLiteral("150"),
                                                   QStringLiteral("--firmware-out"), kept});
    ASSERT_TRUE(unit.started());
    QSignalSpy boot(&program.session, &SessionController::bootloaderMode);
    program.window.show();
    ASSERT_TRUE(waitUntil([&] { return !boot.isEmpty(); }));

    FirmwareWindow* w = firmware.window();
    const QByteArray img = image(6000); // 12 blocks of 150 ms
    const QString path = writeFile(out, "fw.bin", img);
    program.window.Program_butClick();
    firmware.openFirmware(path);
    w->programButton()->click();
    ASSERT_TRUE(waitUntil([&] { return w->progress()->value() > 0; }));

    w->reject(); // Escape or the title bar's close button
    QMessageBox* question = w->closeQuestion();
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(w->isVisible());
    question->button(QMessageBox::No)->click();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(firmware.update()->programming());

    w->reject();
    ASSERT_NE(w->closeQuestion(), nullptr);
    w->closeQuestion()->button(QMessageBox::Yes)->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(firmware.update()->programming());
    const int blocksAtStop = unit.count("CONFIGB1");
    QTest::qWait(600);
    EXPECT_LE(unit.count("CONFIGB1"), blocksAtStop + 1); // at most the one already on the wire
    EXPECT_FALSE(QFile::exists(kept));

    // Again, from the window: the image is chosen anew and goes out whole from block 0.
    program.window.Program_butClick();
    ASSERT_TRUE(waitUntil([&] { return w->isVisible(); }));
    EXPECT_FALSE(w->programButton()->isEnabled());
    firmware.openFirmware(path);
    w->programButton()->click();
    ASSERT_TRUE(
        waitUntil([&] { return shownMessages(program.window).contains(QStringLiteral("Программирование завершено")); }))
        << shownMessages(program.window).join(u'|').toStdString();
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), img);
}
