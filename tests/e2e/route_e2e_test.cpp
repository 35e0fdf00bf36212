// The route table between the window and the unit through the real serial port: written with "Записать",
// kept on the unit's medium byte for byte, read back with "Считать" into the grid unchanged, whole replies
// or in pieces; a unit without a medium says so and the grid keeps its rows.

#include "core/devicefiles/file_transfer.h"
#include "core/link/serial_link.h"
#include "core/protocol/device_session.h"
#include "support/rvsim_process.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"
#include "ui/devicefiles/autoinfo_page.h"
#include "ui/devicefiles/devicefiles_binding.h"
#include "ui/devicefiles/route_binding.h"
#include "support/files.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::RvsimProcess;
using rvtest::waitUntil;

namespace {

route::RouteRow row(const char* lat, const char* lon, const char* rin, const char* rext, const char* name,
                    const char* direction, const char* spread)
{
    route::RouteRow r;
    r[route::ColLatitude] = QString::fromUtf8(lat);
    r[route::ColLongitude] = QString::fromUtf8(lon);
    r[route::ColInner] = QString::fromUtf8(rin);
    r[route::ColOuter] = QString::fromUtf8(rext);
    r[route::ColName] = QString::fromUtf8(name);
    r[route::ColDirection] = QString::fromUtf8(direction);
    r[route::ColSpread] = QString::fromUtf8(spread);
    return r;
}

// A program folder of its own, set before anything reads it.
struct Home {
    QTemporaryDir dir;
    Home() { qputenv("RVCONF_HOME", dir.path().toLocal8Bit()); }
    ~Home() { qunsetenv("RVCONF_HOME"); }
};

// The window as the program builds it, connected to the unit on `port`.
struct Window {
    Home home;
    SerialLink link;
    SessionController session{link};
    MainWindow window;
    SessionBinding binding{window, session};
    ConfigPages pages{window, session};
    DeviceFilesBinding files{window, session};
    RouteBinding route{window, session, pages, files.transfer()};
    QStringList closed;

    explicit Window(const QString& port)
    {
        session.setPortName(port);
        window.setPortOverride(port);
        QObject::connect(&session.progress(), &ProgressWatchdog::closed, [this](const QString& t) { closed << t; });
        window.show();
    }
    ~Window() { window.close(); }
    AutoinfoPage* page() const { return route.page(); }
    QPushButton* button(const char* name) const { return page()->findChild<QPushButton*>(QLatin1String(name)); }
    bool ready()
    {
        return waitUntil([&] { return button("Write_autoinfo")->isEnabled(); })
               && waitUntil([&] { return window.statusText(0) == QStringLiteral("Считано с устройства"); });
    }
    // Clicks the button and returns the message the progress window closed with.
    QString run(const char* name)
    {
        const qsizetype before = closed.size();
        button(name)->click();
        waitUntil([&] { return closed.size() > before; });
        return closed.size() > before ? closed.last() : QStringLiteral("<still running>");
    }
};

} // namespace

TEST(RouteE2E, ARouteWrittenToTheUnitIsReadBackIdentical)
{
    for (bool split : {false, true}) {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), split ? QStringList{QStringLiteral("--split")} : QStringList{});
        ASSERT_TRUE(unit.started());
        Window w(unit.pty());
        ASSERT_TRUE(w.ready()) << w.window.statusText(0).toStdString();

        route::RouteTable table;
        table.rows = {row("55,123457", "37,654321", "30", "60", "stop1.wav", "90", "45"),
                      row("-33,868820", "-151,209296", "0", "255", "", "360", "250"), route::RouteRow{}};
        table.addRows(20); // a file of more than one 512-byte chunk
        w.page()->showTable(table);
        ASSERT_EQ(w.run("Write_autoinfo"), QStringLiteral("Файл маршрута записан"));
        const QByteArray onUnit = rvtest::fileBytes(unit.mediumPath() + QStringLiteral("/4/Marshrut.fai"));
        EXPECT_EQ(onUnit, rvtest::fileBytes(FileTransfer::routeFilePath()));
        ASSERT_EQ(onUnit.size(), 1 + 23 * 44);
        EXPECT_EQ(uint8_t(onUnit[0]), 23);
        EXPECT_EQ(onUnit.mid(1, 10).toHex(), QByteArray("011e4903318f3e021e3c"));
        const route::RouteTable written = w.page()->table(); // empty cells now read "0"
        EXPECT_EQ(written.rows[1][route::ColName], QStringLiteral("0"));

        w.page()->Del_all_autoinfoClick();
        QFile::remove(FileTransfer::routeFilePath());
        ASSERT_EQ(w.run("Read_autoinfo"), QStringLiteral("Файл маршрута считан"));
        EXPECT_EQ(w.page()->table(), written) << "split " << split;
        EXPECT_EQ(w.page()->findChild<QLineEdit*>(QStringLiteral("PathAutoinfoBox"))->text(),
                  FileTransfer::routeFilePath());
        EXPECT_EQ(w.session.session().OperationState, osIdle);
    }
}

TEST(RouteE2E, AUnitWithoutAMediumSaysSoAndTheGridKeepsItsRows)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--no-medium")});
    ASSERT_TRUE(unit.started());
    Window w(unit.pty());
    ASSERT_TRUE(w.ready());
    route::RouteTable table;
    table.rows = {row("1,000000", "2,000000", "3", "4", "a.wav", "5", "6")};
    w.page()->showTable(table);
    EXPECT_EQ(w.run("Read_autoinfo"), QStringLiteral("Нет запрашиваемого файла или нет носителя"));
    EXPECT_EQ(w.page()->table(), table);
    EXPECT_EQ(w.run("Write_autoinfo"), QStringLiteral("Ошибка создания/записи файла или нет носителя"));
    EXPECT_EQ(w.page()->table(), table);
    EXPECT_EQ(unit.count("CONFIGF-data"), 0);
    EXPECT_TRUE(w.session.session().connected);
}
