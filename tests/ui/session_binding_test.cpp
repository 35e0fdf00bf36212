#include "core/config/defaults.h"
#include "core/config/fcg_file.h"
#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/unit_bytes.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"

#include <QAbstractButton>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;

// A write asked for right after start-up sends the configuration the start-up loaded: the remembered
// file's records, or the defaults when that file is gone; never records that were never filled.
TEST(SessionBinding, AWriteRightAfterStartUpSendsTheStartUpConfiguration)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    ConfigRecords onDisk;
    onDisk.config.setBytes(rvtest::pattern(512, 31));
    const QString file = home.filePath(QStringLiteral("truck.fcg"));
    ASSERT_EQ(saveFcg(file, onDisk), FcgStatus::Ok);

    for (const QString& remembered : {file, home.filePath(QStringLiteral("gone.fcg"))}) {
        MemoryLink link;
        ConfigRecords records;
        MonitorBlocks monitor;
        SessionController session(link, &records, &monitor);
        MainWindow window{records};
        SessionBinding binding(window, session, false);
        ConfigRecords expected;
        loadStartDefaults(expected);
        if (remembered == file) {
            ASSERT_TRUE(openFcg(file, expected).ok());
        }

        window.document().loadStartup(remembered);
        ASSERT_EQ(records.config.bytes(), expected.config.bytes());
        ASSERT_TRUE(link.open(QStringLiteral("mem")));
        emit window.uploadRequested();
        EXPECT_EQ(session.session().OperationState, osWriteConfig);
        for (int tick = 0; tick < 50 && link.written().indexOf("CONFIGW") < 0; ++tick)
            session.Find_deviceTimer(); // the step timer's ticks up to the one that sends the main record
        const QByteArray sent = link.written();
        const qsizetype at = sent.indexOf("CONFIGW");
        ASSERT_GE(at, 0) << sent.left(40).toHex().toStdString();
        EXPECT_NE(sent.indexOf(expected.config.bytes().left(64)), -1) << remembered.toStdString();
    }
    qunsetenv("RVCONF_HOME");
}
