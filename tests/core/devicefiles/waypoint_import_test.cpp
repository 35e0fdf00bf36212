// Waypoint files (.wpt) into the route table: a file written by hand from the format's description, the
// header other tools write, more points than the table holds, radii the column cannot hold, files that are
// no waypoint files. If gpsbabel is installed, a file it converts from GPX is imported too.

#include "core/devicefiles/waypoint_import.h"
#include "support/files.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv::route;

namespace {

// Number, name, latitude, longitude, date, symbol, status, map format, colours, description, pointer
// direction, display format, proximity distance (field 14), altitude, font size, style, symbol size.
QByteArray waypoint(int n, const QByteArray& lat, const QByteArray& lon, const QByteArray& proximity)
{
    return QByteArray::number(n) + ",WP" + QByteArray::number(n) + "," + lat + "," + lon
           + ",45658.5000000, 0, 1, 3, 0, 65535,Остановка автобуса, 0, 0, " + proximity + ", -777, 6, 0,17\r\n";
}

QByteArray header(const char* fourthLine)
{
    return QByteArray("OziExplorer Waypoint File Version 1.1\r\nWGS 84\r\nReserved 2\r\n") + fourthLine + "\r\n";
}

} // namespace

TEST(WaypointImport, AHandWrittenFileFillsLatitudeLongitudeAndOuterRadius)
{
    const QByteArray file = header("garmin") + waypoint(1, "  55.751244", "  37.618423", "50")
                            + waypoint(2, " -33.868820", "-151.209296", "0")
                            + waypoint(3, "   0.000001", "   0.5", "1000"); // 1000 m cannot be held: 255
    const WaypointImport r = parseWaypoints(file);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_TRUE(r.message.isEmpty());
    EXPECT_EQ(r.imported, 3);
    ASSERT_EQ(r.table.count(), 3);
    RouteRow first;
    first[ColLatitude] = QStringLiteral("55,751244");
    first[ColLongitude] = QStringLiteral("37,618423");
    first[ColOuter] = QStringLiteral("50");
    EXPECT_EQ(r.table.rows[0], first); // the other columns are not filled
    EXPECT_EQ(r.table.rows[1][ColLatitude], QStringLiteral("-33,868820"));
    EXPECT_EQ(r.table.rows[1][ColLongitude], QStringLiteral("-151,209296"));
    EXPECT_EQ(r.table.rows[1][ColOuter], QStringLiteral("0"));
    EXPECT_EQ(r.table.rows[2][ColLatitude], QStringLiteral("0,000001"));
    EXPECT_EQ(r.table.rows[2][ColLongitude], QStringLiteral("0,500000"));
    EXPECT_EQ(r.table.rows[2][ColOuter], QStringLiteral("255"));
}

TEST(WaypointImport, OtherToolsHeadersAndLineEndsAreAccepted)
{
    // The fourth header line names another receiver, or none; lines end in LF only; no line end at the end.
    for (const char* fourth : {"Reserved 3", "magellan", ""}) {
        QByteArray file = header(fourth) + waypoint(1, "10.5", "20.25", "15") + waypoint(2, "11.5", "21.25", "16");
        const WaypointImport crlf = parseWaypoints(file);
        EXPECT_TRUE(crlf.ok) << fourth;
        EXPECT_EQ(crlf.imported, 2) << fourth;
        file.replace("\r\n", "\n");
        file.chop(1);
        const WaypointImport lf = parseWaypoints(file);
        EXPECT_EQ(lf.imported, 2) << fourth;
        EXPECT_EQ(lf.table, crlf.table) << fourth;
    }
    // Without the header line, the text "garmin" still marks where the points begin.
    const WaypointImport marked = parseWaypoints("some tool\r\ngarmin\r\n" + waypoint(1, "1.0", "2.0", "3"));
    EXPECT_EQ(marked.imported, 1);
}

TEST(WaypointImport, ThreeHundredPointsBringTheFirst254AndSaySo)
{
    QByteArray file = header("garmin");
    for (int i = 1; i <= 300; ++i)
        file += waypoint(i, QByteArray::number(50 + i / 1000.0, 'f', 6), "30.000000", "20");
    const WaypointImport r = parseWaypoints(file);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.imported, kMaxZones);
    EXPECT_EQ(r.table.count(), kMaxZones);
    EXPECT_EQ(r.leftOut, 300 - kMaxZones);
    EXPECT_TRUE(r.message.contains(QStringLiteral("46"))) << r.message.toStdString();
    EXPECT_EQ(r.table.rows.last()[ColLatitude], QStringLiteral("50,254000"));
    // What was imported can be saved: the count byte holds it.
    RouteTable t = r.table;
    const RouteFileBytes bytes = encodeRouteFile(t);
    ASSERT_TRUE(bytes.ok());
    EXPECT_EQ(uint8_t(bytes.bytes[0]), kMaxZones);
}

TEST(WaypointImport, FilesThatAreNoWaypointFilesChangeNothing)
{
    for (const QByteArray& file : {QByteArray(), QByteArray("OziExplorer Track Point File Version 2.1\r\n1,2,3,4\r\n"),
                                   header("garmin"), header("garmin") + "\r\n\r\n",
                                   header("garmin") + "1,WP1,north,east,0\r\n"}) {
        const WaypointImport r = parseWaypoints(file);
        EXPECT_FALSE(r.ok) << file.toStdString();
        EXPECT_EQ(r.message, QStringLiteral("Файл не содержит данных о координатах!"));
        EXPECT_EQ(r.imported, 0);
    }
    // A bad line among good ones is skipped and counted.
    const WaypointImport mixed = parseWaypoints(header("garmin") + waypoint(1, "1", "2", "3") + "broken line\r\n");
    EXPECT_TRUE(mixed.ok);
    EXPECT_EQ(mixed.imported, 1);
    EXPECT_EQ(mixed.unreadable, 1);
    EXPECT_FALSE(mixed.message.isEmpty());

    QTemporaryDir dir;
    EXPECT_EQ(ImportPoints(dir.filePath(QStringLiteral("missing.wpt"))).message, QStringLiteral("Файл не открывается"));
    rvtest::putFile(dir.filePath(QStringLiteral("a.wpt")), header("garmin") + waypoint(1, "1", "2", "3"));
    EXPECT_EQ(ImportPoints(dir.filePath(QStringLiteral("a.wpt"))).imported, 1);
}

TEST(WaypointImport, AFileConvertedByGpsbabel)
{
    const QString gpsbabel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
    if (gpsbabel.isEmpty())
        GTEST_SKIP() << "gpsbabel is not installed";
    QTemporaryDir dir;
    rvtest::putFile(dir.filePath(QStringLiteral("in.gpx")),
              "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
              "<wpt lat=\"55.751244\" lon=\"37.618423\"><name>A</name></wpt>\n"
              "<wpt lat=\"-33.868820\" lon=\"-151.209296\"><name>B</name></wpt>\n</gpx>\n");
    QProcess p;
    p.start(gpsbabel, {QStringLiteral("-w"), QStringLiteral("-i"), QStringLiteral("gpx"), QStringLiteral("-f"),
                       dir.filePath(QStringLiteral("in.gpx")), QStringLiteral("-o"), QStringLiteral("ozi"),
                       QStringLiteral("-F"), dir.filePath(QStringLiteral("out.wpt"))});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const WaypointImport r = ImportPoints(dir.filePath(QStringLiteral("out.wpt")));
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    ASSERT_EQ(r.imported, 2);
    EXPECT_EQ(r.table.rows[0][ColLatitude], QStringLiteral("55,751244"));
    EXPECT_EQ(r.table.rows[1][ColLongitude], QStringLiteral("-151,209296"));
}
