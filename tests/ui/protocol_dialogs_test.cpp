#include "core/link/serial_link.h"
#include "core/protocol/progress.h"
#include "support/fake_ports.h"
#include "support/wait.h"
#include "ui/protocol/password_dialog.h"
#include "ui/protocol/port_dialog.h"
#include "ui/protocol/progress_window.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace rv;

TEST(PortDialog, ListsPortsThenTcpIpAndReportsAChoice)
{
    PortDialog d({[] { return QList<PortInfo>{{"/dev/ttyUSB0", "FTDI FT232R USB UART (A1)", true, true},
                                              {"/dev/ttyUSB3", {}, true, true}}; }});
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

    d.show();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), QStringLiteral("/dev/pts/7")); // any path can be typed
    QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("But_OK")), Qt::LeftButton);
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(d.currentPort(), QStringLiteral("/dev/pts/7"));
}

// A fitter's desk in a fake sysfs: the adapter is named beside its port, a port another program holds is
// listed as busy, and a cable plugged in while the dialog is open appears (and is chosen) by itself.
TEST(PortDialog, NamesTheAdapters_ShowsABusyPort_SeesACablePluggedInWhileOpen)
{
    rvtest::FakePorts desk;
    desk.addUart(QStringLiteral("ttyS0"), 4);
    desk.addUart(QStringLiteral("ttyS4"), 0);
    desk.plugUsb(QStringLiteral("ttyUSB0"), QStringLiteral("FTDI"), QStringLiteral("FT232R USB UART"), QStringLiteral("A10K3XYZ"));
    PortDialog d({[&] { return listPorts(desk.roots()); }, [&] { return portListToken(desk.roots()); }});
    auto* box = d.findChild<QComboBox*>(QStringLiteral("ComSelectBox"));
    auto* info = d.findChild<QLabel*>(QStringLiteral("PortInfoLabel"));
    auto* hint = d.findChild<QLabel*>(QStringLiteral("PortHint"));
    ASSERT_TRUE(box && info && hint);
    const QString usb0 = desk.devPath(QStringLiteral("ttyUSB0"));
    const QString uart = desk.devPath(QStringLiteral("ttyS0"));

    SerialLink other; // another program holds the cable's port
    ASSERT_TRUE(other.open(usb0));
    d.setCurrentPort(uart);
    d.show();
    ASSERT_EQ(box->count(), 3); // ttyS4 has no UART behind it
    EXPECT_EQ(box->itemText(0), usb0);
    EXPECT_EQ(box->model()->index(0, 1).data().toString(), QStringLiteral("FTDI FT232R USB UART (A10K3XYZ)"));
    EXPECT_EQ(box->model()->index(0, 2).data().toString(), QStringLiteral("занят другой программой"));
    EXPECT_EQ(box->itemText(1), uart);
    EXPECT_EQ(box->itemText(2), QStringLiteral("TCP/IP"));
    EXPECT_EQ(info->text(), QStringLiteral("последовательный порт компьютера"));
    EXPECT_TRUE(hint->isHidden());

    // Up to the cable: the line under the list says why it will not open.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Up);
    EXPECT_EQ(box->currentText(), usb0);
    EXPECT_EQ(info->text(), QStringLiteral("FTDI FT232R USB UART (A10K3XYZ) — занят другой программой"));
    other.close();
    d.reject();

    // Opened on a port that is gone, the cable pulled: it says to plug one in, and a cable plugged in now
    // is listed and chosen without a click.
    desk.unplug(QStringLiteral("ttyUSB0"));
    d.setCurrentPort(QStringLiteral("/dev/ttyUSB7"));
    d.show();
    EXPECT_EQ(box->count(), 2);
    EXPECT_TRUE(hint->isVisible());
    desk.plugUsb(QStringLiteral("ttyUSB1"), QStringLiteral("Silicon Labs"), QStringLiteral("CP2102 USB to UART Bridge Controller"),
                 QStringLiteral("0001"));
    const QString usb1 = desk.devPath(QStringLiteral("ttyUSB1"));
    ASSERT_TRUE(rvtest::waitUntil([&] { return box->count() == 3; }));
    EXPECT_EQ(box->currentText(), usb1);
    EXPECT_EQ(info->text(), QStringLiteral("Silicon Labs CP2102 USB to UART Bridge Controller (0001)"));
    EXPECT_TRUE(hint->isHidden());
    QSignalSpy chosen(&d, &PortDialog::portChosen);
    QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("But_OK")), Qt::LeftButton);
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), usb1);

    // Closed, it polls nothing.
    EXPECT_FALSE(d.findChild<QTimer*>(QStringLiteral("PortPoll"))->isActive());
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
