// The program as a user starts it: a program folder whose Config.ini names the unit's port, the main
// window shown offscreen, the real serial port and timers, the virtual unit on the other end.

#include "core/config/fcg_file.h"
#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/protocol/device_session.h"
#include "support/rvsim_process.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"

#include <QAbstractButton>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::waitUntil;

TEST(AppE2E, StartsFromConfigIniFindsTheUnitReadsItAndLosesItWhenUnplugged)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    const QString port = home.filePath(QStringLiteral("ttyRV0"));
    auto unit = std::make_unique<rvtest::RvsimProcess>(QStringLiteral(RVSIM_PATH),
                                                       QStringList{QStringLiteral("--link"), port});
    ASSERT_TRUE(unit->started());
    {
        QFile ini(home.filePath(QStringLiteral("Config.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Config]\r\nCom port=" + port.toLocal8Bit() + "\r\nFile conf=default.fcg\r\n");
    }

    SerialLink link;
    SessionController session(link);
    MainWindow window;
    SessionBinding binding(window, session);
    auto* read = window.findChild<QAbstractButton*>(QStringLiteral("Download_device"));
    ASSERT_NE(read, nullptr);
    EXPECT_FALSE(read->isEnabled());

    window.show();
    ASSERT_TRUE(waitUntil([&] { return read->isEnabled(); }));
    EXPECT_EQ(window.statusText(3), QStringLiteral("Соединение установлено"));
    EXPECT_EQ(window.statusText(1), port);
    EXPECT_EQ(window.currentPage(), 1); // the monitor page
    ASSERT_TRUE(waitUntil([&] { return window.statusText(0) == QStringLiteral("Считано с устройства"); }));
    ConfigRecords held;
    ASSERT_TRUE(openFcg(unit->statePath(), held).ok());
    EXPECT_EQ(programRecords().config.bytes(), held.config.bytes());

    unit->stop();
    ASSERT_TRUE(waitUntil([&] { return !read->isEnabled(); }));
    EXPECT_FALSE(window.findChild<QAbstractButton*>(QStringLiteral("Reset_but"))->isEnabled());
    window.close();
    qunsetenv("RVCONF_HOME");
}
