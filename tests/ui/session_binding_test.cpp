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

TEST(SessionBinding, NoWriteOfRecordsThatWereNeverFilled)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    ConfigRecords onDisk;
    onDisk.config.setBytes(rvtest::pattern(512, 31));
    const QString file = home.filePath(QStringLiteral("truck.fcg"));
    ASSERT_EQ(saveFcg(file, onDisk), FcgStatus::Ok);

    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session(link, &records, &monitor);
    MainWindow window;
    SessionBinding binding(window, session, false);

    emit window.uploadRequested(); // nothing read, nothing opened: all zeros
    EXPECT_NE(session.session().OperationState, osWriteConfig);
    EXPECT_FALSE(binding.recordsLoaded());

    emit window.startupConfigRequested(file); // the last configuration file, opened at start
    EXPECT_TRUE(binding.recordsLoaded());
    EXPECT_EQ(records.config.bytes(), onDisk.config.bytes());
    emit window.uploadRequested();
    EXPECT_EQ(session.session().OperationState, osWriteConfig);
    qunsetenv("RVCONF_HOME");
}
