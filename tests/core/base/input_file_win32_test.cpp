#include "core/config/fcg_file.h"
#include "core/base/input_file.h"

#include <QFile>
#include <QUuid>
#include <gtest/gtest.h>

#include <windows.h>

using namespace rv;

// A device name (NUL, CON, COM1) or a named pipe is no file: refused at once, and nothing is read from it.
TEST(RegularFileWin32, RefusesDevicesAndPipes)
{
    const QString pipeName = QStringLiteral("\\\\.\\pipe\\rvconf-test-") + QUuid::createUuid().toString(QUuid::Id128);
    const HANDLE server = ::CreateNamedPipeW(pipeName.toStdWString().c_str(), PIPE_ACCESS_OUTBOUND,
                                             PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    for (const QString& refused : {QStringLiteral("NUL"), QStringLiteral("CON"), QStringLiteral("\\\\.\\NUL"), pipeName}) {
        QFile g;
        EXPECT_FALSE(openRegularFile(g, refused)) << refused.toStdString();
        EXPECT_FALSE(g.isOpen());
        ConfigRecords records;
        EXPECT_EQ(openFcg(refused, records).status, FcgStatus::OpenFailed) << refused.toStdString();
        EXPECT_FALSE(readInputFile(refused, 10).ok()) << refused.toStdString();
    }
    ::CloseHandle(server);
}
