// The program against the virtual unit as a keyboard user and an unlucky one meet it: the shortcuts reach the
// unit and the files, a line that drops is said at once and once, and a password lock ends with the
// refused read done.

#include "core/config/fcg_file.h"
#include "core/protocol/session_texts.h"
#include "support/app_program.h"
#include "support/rvsim_process.h"
#include "ui/config/compare_window.h"
#include "ui/protocol/password_dialog.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::waitUntil;

namespace {

// The boxes the operations left open are read and closed, as a user does before going on.
void dismissMessages(QWidget& w)
{
    for (QMessageBox* box : w.findChildren<QMessageBox*>())
        if (box->isVisible())
            box->accept();
    QCoreApplication::processEvents();
}

void activate(QWidget& w)
{
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

} // namespace

TEST(DesktopE2E, ShortcutsReachTheUnit)
{
    rvtest::AppProgram program;
    CompareBinding compare(program.window, program.session, program.pages);
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--link"), program.port});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(program.startAndRead());
    activate(program.window);
    const int reads = unit.count("CONFIGR");

    dismissMessages(program.window);
    activate(program.window);
    QTest::keyClick(&program.window, Qt::Key_F5); // "Считать"
    ASSERT_TRUE(waitUntil([&] { return unit.count("CONFIGR") > reads; }, 60000));
    ASSERT_TRUE(waitUntil([&] { return program.session.session().OperationState == osIdle; }, 60000));

    QSignalSpy written(&program.session, &SessionController::writeCycleFinished);
    dismissMessages(program.window);
    activate(program.window);
    QTest::keyClick(&program.window, Qt::Key_F6); // "Записать"
    ASSERT_TRUE(waitUntil([&] { return !written.isEmpty(); }, 60000));
    EXPECT_GE(unit.count("CONFIGW"), 1);

    const int beforeCompare = unit.count("CONFIGR");
    dismissMessages(program.window);
    activate(program.window);
    QTest::keyClick(&program.window, Qt::Key_D, Qt::ControlModifier); // "Сравнить"
    ASSERT_TRUE(waitUntil([&] { return unit.count("CONFIGR") > beforeCompare && compare.window()->isVisible(); }, 60000));

    EXPECT_EQ(unit.count("CONFIGW"), 1); // the comparison wrote nothing
}

// The line drops while the automatic read asks for the second record: at the moment the loss is said, the
// status bar and the device buttons already show it, panel 0 says the read was cut short, and the message
// does not come again while the search goes on.
TEST(DesktopE2E, ALostLineIsShownAtOnceAndSaidOnce)
{
    rvtest::AppProgram program;
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH),
                              {QStringLiteral("--link"), program.port, QStringLiteral("--drop-on"), QStringLiteral("CONFIGP")});
    ASSERT_TRUE(unit.started());
    auto* read = program.control<QAbstractButton>("Download_device");
    QStringList lost;
    QString panel3AtMessage;
    bool enabledAtMessage = true;
    QObject::connect(program.binding.texts(), &SessionTexts::message, [&](const QString& text) {
        lost << text;
        panel3AtMessage = program.window.statusText(3);
        enabledAtMessage = read->isEnabled();
    });
    QStringList panel3;
    QObject::connect(program.binding.texts(), &SessionTexts::statusText, [&](int panel, const QString& text) {
        if (panel == 3)
            panel3 << text;
    });
    program.window.show();
    ASSERT_TRUE(waitUntil([&] { return lost.contains(QStringLiteral("Потеряна связь с устройством")); }, 60000));
    EXPECT_EQ(panel3AtMessage, QStringLiteral("Потеряна связь с устройством"));
    EXPECT_FALSE(enabledAtMessage);
    EXPECT_EQ(program.window.statusText(0), QStringLiteral("Считывание прервано: потеряна связь"));

    // Two more rounds of the search.
    const qsizetype seen = panel3.size();
    ASSERT_TRUE(waitUntil([&] { return panel3.size() >= seen + 2; }, 60000));
    EXPECT_EQ(lost.count(QStringLiteral("Потеряна связь с устройством")), 1);
    EXPECT_FALSE(read->isEnabled());
}

// The automatic read meets the unit's lock. The dialog says why it asks; "Отмена" ends the operation with
// nothing sent; the next read asks again, the password typed and Enter end with the read done by itself.
TEST(DesktopE2E, PasswordFlowEndsWithTheRefusedReadDone)
{
    rvtest::AppProgram program;
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH),
                              {QStringLiteral("--link"), program.port, QStringLiteral("--password"), QStringLiteral("777")});
    ASSERT_TRUE(unit.started());
    PasswordDialog* dialog = program.binding.passwordDialog();
    program.window.show();
    ASSERT_TRUE(waitUntil([&] { return dialog->isVisible(); }, 60000));
    EXPECT_TRUE(dialog->reason().contains(QStringLiteral("считать конфигурацию"))) << dialog->reason().toStdString();
    EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("Reason"))->isVisible());

    dialog->findChild<QPushButton*>(QStringLiteral("Button2"))->click(); // "Отмена"
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(program.session.refusedOperation(), osIdle);
    QTest::qWait(1500);
    EXPECT_EQ(unit.count("RV+PASS="), 0);
    EXPECT_NE(program.window.statusText(0), QStringLiteral("Считано с устройства"));

    const int locked = unit.count("CONFIGR");
    program.control<QAbstractButton>("Download_device")->click();
    ASSERT_TRUE(waitUntil([&] { return dialog->isVisible(); }, 60000));
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("Edit1"));
    QTest::keyClicks(edit, QStringLiteral("777")); // over the selected "0"
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_TRUE(waitUntil([&] { return program.window.statusText(0) == QStringLiteral("Считано с устройства"); }, 60000));
    ConfigRecords held;
    ASSERT_TRUE(openFcg(unit.statePath(), held).ok());
    const auto firstDifference = [](const QByteArray& a, const QByteArray& b) {
        for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
            if (a[i] != b[i])
                return i;
        return a.size() == b.size() ? qsizetype(-1) : std::min(a.size(), b.size());
    };
    // (The main record's SIM presets may be applied by the page, so the other two are compared whole.)
    EXPECT_EQ(firstDifference(program.records.inpOut.bytes(), held.inpOut.bytes()), -1);
    EXPECT_EQ(firstDifference(program.records.confSe.bytes(), held.confSe.bytes()), -1);
    EXPECT_EQ(unit.count("RV+PASS="), 1);
    EXPECT_EQ(unit.count("CONFIGR"), locked + 2); // the refused request and the repeat
}
