// What reaches the virtual unit when the user writes: "Записать" first lists its changes against the read
// ("Отмена" sends nothing, "Больше не спрашивать" is remembered), a file that is not a configuration never
// becomes one, and rvctl write --show-changes prints the same list before writing.

#include "core/config/fcg_file.h"
#include "core/config/records.h"
#include "core/protocol/device_session.h"
#include "support/app_program.h"
#include "support/rvsim_process.h"
#include "support/tool_run.h"
#include "support/unusual_records.h"
#include "support/wait.h"
#include "ui/config/compare_window.h"
#include "ui/config/write_confirm.h"
#include "support/files.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace rv;
using rvtest::waitUntil;

namespace {

ConfigRecords held(const rvtest::RvsimProcess& unit)
{
    ConfigRecords r;
    EXPECT_TRUE(openFcg(unit.statePath(), r).ok());
    return r;
}

} // namespace

TEST(WriteConfirmE2E, WriteListsTheChange_CancelSendsNothing_DontAskIsRemembered_AReadClearsTheMark)
{
    auto program = std::make_unique<rvtest::AppProgram>();
    CompareBinding compare{program->window, program->session, program->pages};
    WriteConfirmation confirm{program->window, program->session, compare};
    const ConfigRecords unusual = rvtest::unusualRecords();
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), unusual, {QStringLiteral("--link"), program->port});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(program->startAndRead()) << program->closed.join(u',').toStdString();
    QCoreApplication::processEvents();
    EXPECT_FALSE(program->window.document().isModified());

    // The user types a new ID.
    const qint64 unitId = unusual.config.number(u"ID_Device").value;
    const qint64 newId = unitId == 4321 ? 1234 : 4321;
    program->open(QStringLiteral("Настройки соединения"));
    auto* id = program->control<QLineEdit>("ID_Device");
    ASSERT_NE(id, nullptr);
    id->setFocus();
    id->selectAll();
    QTest::keyClicks(id, QString::number(newId));
    QCoreApplication::processEvents();
    EXPECT_TRUE(program->window.document().isModified());

    // "Записать": the one change, named as the page names it; "Отмена" writes nothing.
    auto* write = program->control<QAbstractButton>("Upload_device");
    QTest::mouseClick(write, Qt::LeftButton);
    WriteConfirmDialog* d = confirm.dialog();
    ASSERT_TRUE(d->isVisible());
    ASSERT_EQ(d->table()->rowCount(), 1);
    EXPECT_EQ(d->table()->item(0, 0)->text(), QStringLiteral("Настройки соединения › ID устройства"));
    EXPECT_EQ(d->table()->item(0, 1)->text(), QString::number(unitId));
    EXPECT_EQ(d->table()->item(0, 2)->text(), QString::number(newId));
    QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());

    // "Записать" again, "Больше не спрашивать", "Записать": the only write that reached the unit.
    QSignalSpy written(&program->session, &SessionController::writeCycleFinished);
    QTest::mouseClick(write, Qt::LeftButton);
    ASSERT_TRUE(d->isVisible());
    QTest::mouseClick(d->dontAsk(), Qt::LeftButton);
    QTest::mouseClick(d->writeButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return written.size() == 1; }, 60000)) << program->closed.join(u',').toStdString();
    EXPECT_EQ(unit.count("CONFIGW"), 1);
    EXPECT_EQ(held(unit).config.number(u"ID_Device").value, newId);
    EXPECT_TRUE(rvtest::fileBytes(program->home.filePath(QStringLiteral("Config.ini"))).contains("Confirm write=0"));

    // The next write does not ask.
    QTest::mouseClick(write, Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
    ASSERT_TRUE(waitUntil([&] { return written.size() == 2; }, 60000)) << program->closed.join(u',').toStdString();
    EXPECT_EQ(unit.count("CONFIGW"), 2);

    // A write is no save: still marked. A read is what the pages now show: the mark goes.
    EXPECT_TRUE(program->window.document().isModified());
    QSignalSpy read(&program->session, &SessionController::readCycleFinished);
    QTest::mouseClick(program->control<QAbstractButton>("Download_device"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !read.isEmpty(); }, 60000)) << program->closed.join(u',').toStdString();
    QCoreApplication::processEvents();
    EXPECT_FALSE(program->window.document().isModified());
}

TEST(WriteConfirmE2E, ATwelveByteFileIsRefused_TheNextWriteSendsTheBytesRead)
{
    auto program = std::make_unique<rvtest::AppProgram>();
    const ConfigRecords unusual = rvtest::unusualRecords();
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), unusual, {QStringLiteral("--link"), program->port});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(program->startAndRead()) << program->closed.join(u',').toStdString();
    const QByteArray before = fcgBytes(program->records);

    const QString text = program->home.filePath(QStringLiteral("notes.fcg"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write("ID=1;SPD=96\n"), 12);
    }
    // "Открыть файл конфигурации": the user types the name and presses Enter.
    program->window.N5Click();
    QFileDialog* open = program->window.openDialog();
    ASSERT_TRUE(open && open->isVisible());
    open->setDirectory(program->home.path());
    auto* name = open->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("notes.fcg"));
    QTest::keyClick(name, Qt::Key_Return);

    QMessageBox* box = nullptr;
    for (QMessageBox* b : program->window.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
        if (b->isVisible() && b->text().startsWith(QStringLiteral("Не удалось открыть")))
            box = b;
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QStringLiteral("12 байт"))) << box->text().toStdString();
    box->close();
    EXPECT_EQ(fcgBytes(program->records), before);
    EXPECT_EQ(program->window.document().fileName(), QStringLiteral("default.fcg"));
    EXPECT_EQ(program->window.statusText(0), QStringLiteral("Считано с устройства"));

    ASSERT_TRUE(program->writeConfirmed()) << program->closed.join(u',').toStdString();
    EXPECT_EQ(fcgBytes(held(unit)), fcgBytes(unusual));
}

TEST(WriteConfirmE2E, RvctlWriteShowChanges_ListsAgainstTheUnit_ThenWrites)
{
    QTemporaryDir dir;
    const ConfigRecords unusual = rvtest::unusualRecords();
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), unusual);
    ASSERT_TRUE(unit.started());
    ConfigRecords changed = unusual;
    const qint64 id = unusual.config.number(u"ID_Device").value;
    const qint64 newId = id == 4321 ? 1234 : 4321;
    ASSERT_EQ(changed.config.setNumber(u"ID_Device", newId), FieldError::None);
    const QString file = dir.filePath(QStringLiteral("changed.fcg"));
    ASSERT_EQ(saveFcg(file, changed), FcgStatus::Ok);

    const rvtest::ToolRun r = rvtest::runTool(QStringLiteral(RVCTL_PATH),
                                              {QStringLiteral("--port=") + unit.pty(), QStringLiteral("write"), file,
                                               QStringLiteral("--show-changes")});
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.out, QStringLiteral("Настройки соединения › ID устройства: %1 -> %2\n").arg(id).arg(newId));
    EXPECT_EQ(fcgBytes(held(unit)), fcgBytes(changed));
}
