#include "core/protocol/progress.h"
#include "ui/protocol/password_dialog.h"
#include "ui/protocol/port_dialog.h"
#include "ui/protocol/progress_window.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace rv;

TEST(PortDialog, ListsOpenablePortsThenTcpIpAndReportsAChoice)
{
    PortDialog d([] { return QStringList{"/dev/ttyUSB0", "/dev/ttyUSB3"}; });
    d.setCurrentPort(QStringLiteral("/dev/ttyUSB3"));
    d.FormActivate();
    auto* box = d.findChild<QComboBox*>(QStringLiteral("ComSelectBox"));
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(2), QStringLiteral("TCP/IP"));
    EXPECT_EQ(box->currentText(), QStringLiteral("/dev/ttyUSB3"));

    QSignalSpy chosen(&d, &PortDialog::portChosen);
    QSignalSpy left(&d, &PortDialog::left);
    d.But_OKClick(); // the same port: nothing changes
    EXPECT_TRUE(chosen.isEmpty());
    EXPECT_EQ(left.size(), 1);

    d.FormActivate();
    box->setEditText(QStringLiteral("/dev/pts/7")); // any path can be typed
    d.But_OKClick();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(d.currentPort(), QStringLiteral("/dev/pts/7"));
}

TEST(PasswordDialog, AcceptsOnlyNumbersUpTo65535AndEnterActsAsOk)
{
    EXPECT_EQ(PasswordDialog::parsePassword(QStringLiteral("65535")), 65535);
    EXPECT_EQ(PasswordDialog::parsePassword(QStringLiteral(" 12 ")), 12);
    EXPECT_FALSE(PasswordDialog::parsePassword(QStringLiteral("65536")));
    EXPECT_FALSE(PasswordDialog::parsePassword(QStringLiteral("-1")));
    EXPECT_FALSE(PasswordDialog::parsePassword(QStringLiteral("12a")));
    EXPECT_FALSE(PasswordDialog::parsePassword(QString()));

    PasswordDialog d;
    QSignalSpy entered(&d, &PasswordDialog::passwordEntered);
    d.show();
    auto* edit = d.findChild<QLineEdit*>(QStringLiteral("Edit1"));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("0"));
    edit->setText(QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(entered.isEmpty()); // refused with a message; nothing changes
    edit->setText(QStringLiteral("4321"));
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(entered.size(), 1);
    EXPECT_EQ(entered.at(0).at(0).toUInt(), 4321u);
}

TEST(ProgressWindow, MirrorsTheWatchdog)
{
    ProgressWatchdog w;
    w.setTimerEnabled(false);
    ProgressWindow window(w);
    QSignalSpy shown(&window, &ProgressWindow::messageShown);
    w.Progress_show(3, 40, QStringLiteral("Идет чтение"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.ProgressBar1()->maximum(), 40);
    EXPECT_EQ(window.ProgressBar1()->value(), 3);
    w.Progress_close(QStringLiteral("Готово"));
    EXPECT_FALSE(window.isVisible());
    ASSERT_EQ(shown.size(), 1);
}

// The boxes of the session's own windows carry the program's title, like every other box, and a message
// repeated while its box is up does not open another.
TEST(SessionWindows, MessageBoxesCarryTheProgramTitle)
{
    QWidget owner;
    PasswordDialog d(&owner);
    d.show();
    auto* edit = d.findChild<QLineEdit*>(QStringLiteral("Edit1"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Return);
    const QList<QMessageBox*> refused = d.findChildren<QMessageBox*>(QStringLiteral("MessageBox"));
    ASSERT_EQ(refused.size(), 1);
    EXPECT_EQ(refused.first()->windowTitle(), QStringLiteral("Конфигуратор RV-1, RV-2 v.2.8.8"));

    ProgressWatchdog watchdog;
    watchdog.setTimerEnabled(false);
    ProgressWindow window(watchdog, &owner);
    watchdog.Progress_show(0, 50, QStringLiteral("Идет запись конфигурации..."));
    watchdog.Progress_close(QStringLiteral("Не удалось обновить конфигурацию"));
    watchdog.Progress_close(QStringLiteral("Не удалось обновить конфигурацию"));
    QList<QMessageBox*> boxes;
    for (QMessageBox* box : owner.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
        if (box->text() == QStringLiteral("Не удалось обновить конфигурацию"))
            boxes << box;
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.first()->windowTitle(), QStringLiteral("Конфигуратор RV-1, RV-2 v.2.8.8"));
}
