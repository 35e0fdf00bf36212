// Files from the unit's medium through the real serial port: logs of every size class byte for byte,
// with replies whole and in pieces, the unit's failures, and the log window a user sees.

#include "core/config/records.h"
#include "core/devicefiles/file_transfer.h"
#include "core/monitor/monitor_blocks.h"
#include "core/link/serial_link.h"
#include "core/protocol/device_session.h"
#include "core/protocol/session_texts.h"
#include "support/connected_session.h"
#include "support/rvsim_process.h"
#include "support/unit_bytes.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/devicefiles/devicefiles_binding.h"
#include "ui/devicefiles/file_page.h"
#include "ui/devicefiles/log_window.h"
#include "support/files.h"

#include <QAbstractButton>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::RvsimProcess;
using rvtest::waitUntil;

namespace {

void placeLog(const RvsimProcess& unit, const QString& date, const QByteArray& bytes)
{
    QDir(unit.mediumPath()).mkpath(QStringLiteral("1"));
    QFile f(unit.mediumPath() + QStringLiteral("/1/") + date + QStringLiteral(".log"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct FileRig : rvtest::ConnectedSession {
    FileTransfer transfer{session};

    using ConnectedSession::ConnectedSession;
    // Reads the day's log; the message the progress window closed with.
    QString readLog(const QString& date)
    {
        const qsizetype before = closed.size();
        transfer.Read_log_fileClick(date);
        waitUntil([&] { return closed.size() > before; });
        return closed.size() > before ? closed.last() : QStringLiteral("<still running>");
    }
};

} // namespace

TEST(FileTransferE2E, LogsOfEverySizeArriveByteForByteWholeOrInPieces)
{
    for (bool split : {false, true}) {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH),
                          split ? QStringList{QStringLiteral("--split")} : QStringList{});
        ASSERT_TRUE(unit.started());
        const QList<std::pair<QString, QByteArray>> logs = {
            {QStringLiteral("2026-12-01"), rvtest::pattern(700, 1)},
            {QStringLiteral("2026-12-02"), rvtest::pattern(1000, 2)}, // exactly one chunk
            {QStringLiteral("2026-12-03"), rvtest::pattern(24 * 1024, 3)},
            {QStringLiteral("2026-12-25"), rvtest::pattern(200 * 1024, 4)},
        };
        for (const auto& [date, bytes] : logs)
            placeLog(unit, date, bytes);
        FileRig rig(unit.pty());
        for (const auto& [date, bytes] : logs) {
            ASSERT_EQ(rig.readLog(date), QStringLiteral("Файл диагностики считан")) << date.toStdString();
            EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), bytes) << date.toStdString() << " split " << split;
        }
        // A made-up log of the unit (Windows-1251 text) arrives whole too.
        ASSERT_EQ(rig.readLog(QStringLiteral("2026-11-05")), QStringLiteral("Файл диагностики считан"));
        EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()).size(), 5 * 8 * 1024);
        EXPECT_TRUE(rig.session.session().connected);
    }
}

TEST(FileTransferE2E, TheUnitsFailuresEndTheReadAndKeepThePreviousLog)
{
    struct Case {
        QStringList args;
        QString date;
        QString message;
    };
    const QList<Case> cases = {
        {{}, QStringLiteral("2019-05-05"), QStringLiteral("Нет запрашиваемого файла или нет носителя")},
        {{QStringLiteral("--no-medium")}, QStringLiteral("2026-12-03"), QStringLiteral("Нет запрашиваемого файла или нет носителя")},
        {{QStringLiteral("--no-files")}, QStringLiteral("2026-12-03"), QStringLiteral("Команда не поддерживается")},
        {{QStringLiteral("--file-read-error")}, QStringLiteral("2026-12-03"), QStringLiteral("Ошибка чтения файла")},
        {{QStringLiteral("--file-overshoot")}, QStringLiteral("2026-12-03"),
         QStringLiteral("Устройство передало больше данных, чем объявило: файл не сохранен")},
        {{QStringLiteral("--file-silent-after"), QStringLiteral("3")}, QStringLiteral("2026-12-03"),
         QStringLiteral("Нет ответа/Повторите операцию")},
    };
    for (const Case& c : cases) {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), c.args);
        ASSERT_TRUE(unit.started());
        FileRig rig(unit.pty());
        {
            QFile old(FileTransfer::logFilePath());
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("yesterday's log");
        }
        EXPECT_EQ(rig.readLog(c.date), c.message) << c.args.join(' ').toStdString();
        EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), QByteArray("yesterday's log")) << c.args.join(' ').toStdString();
        EXPECT_FALSE(rig.transfer.active());
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
    }
}

TEST(FileTransferE2E, CablePulledMidTransferEndsItAtOnce)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--file-drop-after"), QStringLiteral("5")});
    ASSERT_TRUE(unit.started());
    FileRig rig(unit.pty());
    SessionTexts texts{rig.session};
    QSignalSpy messages(&texts, &SessionTexts::message);
    rig.transfer.Read_log_fileClick(QStringLiteral("2026-12-20"));
    ASSERT_TRUE(waitUntil([&] { return !messages.isEmpty(); }));
    EXPECT_EQ(messages.last().at(0).toString(), QStringLiteral("Потеряна связь с устройством"));
    EXPECT_FALSE(rig.transfer.active());
    EXPECT_FALSE(QFile::exists(FileTransfer::logFilePath()));
    EXPECT_TRUE(QDir(rig.home.path()).entryList(QDir::Files).isEmpty()); // no temporary left behind
}

TEST(FileTransferE2E, OpenOnThePageShowsTheDaysLogInTheLogWindow)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--split")});
    ASSERT_TRUE(unit.started());
    placeLog(unit, QStringLiteral("2026-12-07"),
             QByteArray("07.12.2026 06:00:01 - \xC2\xEA\xEB\xFE\xF7\xE5\xED\xE8\xE5 GSM\r\n07.12.2026 06:00:09 - second\r\n"));

    SerialLink link;
    SessionController session(link);
    session.setPortName(unit.pty());
    MainWindow window;
    window.setPortOverride(unit.pty());
    SessionBinding binding(window, session);
    DeviceFilesBinding files(window, session);
    window.show();
    // The page in place (the stand-in it replaced is only deleted once an event loop runs).
    auto* open = files.page()->findChild<QAbstractButton*>(QStringLiteral("Read_log_file"));
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(waitUntil([&] { return open->isEnabled(); }));
    ASSERT_TRUE(waitUntil([&] { return window.statusText(0) == QStringLiteral("Считано с устройства"); }))
        << window.statusText(0).toStdString() << " / " << window.statusText(3).toStdString();

    files.page()->findChild<QDateEdit*>(QStringLiteral("Log_date"))->setDate(QDate(2026, 12, 7));
    open->click();
    LogWindow* log = files.logWindow();
    QStringList closed;
    QObject::connect(&session.progress(), &ProgressWatchdog::closed, [&](const QString& t) { closed << t; });
    ASSERT_TRUE(waitUntil([&] { return log->isVisible(); }))
        << closed.join(',').toStdString();
    EXPECT_EQ(log->windowTitle(), QStringLiteral("Файл диагностики от 2026-12-07"));
    EXPECT_EQ(log->findChild<QPlainTextEdit*>(QStringLiteral("LOG_memo"))->toPlainText(),
              QStringLiteral("07.12.2026 06:00:01 - Включение GSM\n07.12.2026 06:00:09 - second"));
    window.close();
    qunsetenv("RVCONF_HOME");
}
