// What the Win32 serial component can prove without a port: its words for the user. (The port itself is
// proven against the virtual unit on a COM port of wine, by scripts/check-windows.)

#include "core/link/link.h"
#include "core/link/serial_link.h"
#include "core/link/thread_comm.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace rv;

TEST(SerialPortWin32, FailureTextsNameThePortAsTheUserKnowsIt)
{
    // Windows refuses a port that another program holds with "access denied": that is "busy".
    EXPECT_EQ(openFailureOf(ERROR_ACCESS_DENIED), OpenFailure::Busy);
    EXPECT_EQ(portOpenFailureText(QStringLiteral("\\\\.\\COM12"), ERROR_ACCESS_DENIED),
              QStringLiteral("Порт COM12 занят другой программой"));
    EXPECT_EQ(openFailureOf(ERROR_FILE_NOT_FOUND), OpenFailure::Missing);
    EXPECT_EQ(portOpenFailureText(QStringLiteral("COM3"), ERROR_FILE_NOT_FOUND), QStringLiteral("Порт COM3 не найден"));
    EXPECT_EQ(openFailureOf(ERROR_INVALID_FUNCTION), OpenFailure::NotSerial);
    EXPECT_EQ(portOpenFailureText(QStringLiteral("NUL"), ERROR_INVALID_FUNCTION),
              QStringLiteral("NUL не является последовательным портом"));
    EXPECT_EQ(portOpenFailureText(QStringLiteral("COM4"), ERROR_GEN_FAILURE),
              QStringLiteral("Не удалось открыть порт COM4 (ошибка Windows 31)"));
}

TEST(SerialPortWin32, OnlyASerialDeviceOpens)
{
    SerialLink link;
    EXPECT_FALSE(link.open(QStringLiteral("COM250")));
    EXPECT_EQ(link.lastOpenFailure(), OpenFailure::Missing);
    EXPECT_EQ(link.lastOpenError(), QStringLiteral("Порт COM250 не найден"));
    // NUL is a character device that is no serial port.
    EXPECT_FALSE(link.open(QStringLiteral("NUL")));
    EXPECT_EQ(link.lastOpenFailure(), OpenFailure::NotSerial);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(link.write("CONFIGO"), -1);
}
