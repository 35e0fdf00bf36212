// GPX and KML exports of the track memory: read back with an XML reader, with xmllint and with gpsbabel.
// The GPX splits its segments where the unit's clock jumps and leaves out packets without a valid position;
// the KML has a track per segment and placemarks for the start, the stops and the end; both stream to their
// file and come out the same as in memory, whatever the locale.

#include "core/track/track_geometry.h"
#include "core/track/track_packet.h"
#include "core/track/track_text.h"
#include "core/version.h"

#include "support/track_packets.h"

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <clocale>
#include <climits>
#include <string>

using namespace rv::track;
using rvtest::PacketFields;
using rvtest::trackPacket;

namespace {

constexpr int32_t kTen = 1767261600; // 2026-01-01 10:00:00 UTC

struct Pt
{
    QString lat, lon, ele, time, sat, hdop, speed, course;
};

// The segments of a GPX, each point's values as written.
std::vector<std::vector<Pt>> gpxSegments(const QByteArray& gpx, QString* speedNamespace = nullptr)
{
    std::vector<std::vector<Pt>> segs;
    QXmlStreamReader x(gpx);
    while (!x.atEnd()) {
        if (x.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView n = x.name();
        if (n == u"trkseg") {
            segs.emplace_back();
        } else if (n == u"trkpt") {
            Pt p;
            p.lat = x.attributes().value(QLatin1String("lat")).toString();
            p.lon = x.attributes().value(QLatin1String("lon")).toString();
            segs.back().push_back(p);
        } else if (!segs.empty() && !segs.back().empty()) {
            Pt& p = segs.back().back();
            if (n == u"speed" && speedNamespace)
                *speedNamespace = x.namespaceUri().toString();
            QString* field = n == u"ele" ? &p.ele : n == u"time" ? &p.time : n == u"sat" ? &p.sat
                           : n == u"hdop" ? &p.hdop : n == u"speed" ? &p.speed : n == u"course" ? &p.course : nullptr;
            if (field)
                *field = x.readElementText();
        }
    }
    EXPECT_FALSE(x.hasError()) << x.errorString().toStdString();
    return segs;
}

QString tool(const char* name)
{
    return QStandardPaths::findExecutable(QLatin1String(name));
}

// A track that goes round the world a little: both hemispheres, both sides of Greenwich, a second segment.
QByteArray wideTrack()
{
    QByteArray b;
    for (int i = 0; i < 40; ++i) {
        PacketFields p;
        p.time = kTen + i * 7 + (i >= 20 ? 3600 : 0);
        p.lat = -33500000 + i * 2345679;
        p.lon = (i % 2 ? -1 : 1) * (151209876 - i * 3333333);
        p.speed = uint16_t(i * 13);
        p.altitude = uint16_t(i == 5 ? 0xFFFF : 100 + i);
        b += trackPacket(p);
    }
    return b;
}

// A sink that takes `room` bytes, then refuses.
class ShortSink : public ExportSink
{
public:
    explicit ShortSink(qsizetype room) : m_room(room) {}
    bool write(const char*, qsizetype size) override
    {
        ++writes;
        m_room -= size;
        return m_room >= 0;
    }
    int writes = 0;

private:
    qsizetype m_room;
};

} // namespace

TEST(TrackGpx, SegmentsBreakWhereTheClockJumpsAndInvalidFixesAreLeftOutAndCounted)
{
    QByteArray buffer;
    buffer += trackPacket({.time = kTen, .lat = -33500000, .lon = 151209876, .speed = 567, .course = 1234,
                           .altitude = 150, .satellites = 9, .hdop = 12});
    buffer += trackPacket({.time = kTen + 10, .lat = -33500100, .lon = 151209900});
    buffer += trackPacket({.time = kTen + 12, .notValid = true});
    buffer += trackPacket({.time = kTen + 15, .brokenCrc = true});
    buffer += trackPacket({.time = kTen + 5, .altitude = 0xFFFF});      // back: a new segment
    buffer += trackPacket({.time = kTen + 605});                          // 600 s on: the same one
    buffer += trackPacket({.time = kTen + 1206});                         // 601 s on: a new one
    buffer += trackPacket({.time = kTen + 1206, .notValid = true});

    // Whatever the locale, '.' is the decimal mark.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string cLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const ExportResult r = exportGpx(buffer);
    std::setlocale(LC_ALL, cLocale.c_str());
    QLocale::setDefault(before);

    EXPECT_EQ(r.packets, 8);
    EXPECT_EQ(r.written, 5);
    EXPECT_EQ(r.invalid, 2);
    EXPECT_EQ(r.damaged, 1);
    EXPECT_EQ(r.segments, 3);
    EXPECT_EQ(exportCountsText(ExportFormat::Gpx, r),
              QStringLiteral("Точек: 5; пропущено: 2 без достоверных координат, 1 с ошибкой контрольной суммы"));
    EXPECT_TRUE(exportCountsText(ExportFormat::Plt, r).isEmpty());

    EXPECT_TRUE(r.bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"rvconf " +
                                   rv::programVersion().toUtf8() + "\""));
    QString ns;
    const auto segs = gpxSegments(r.bytes, &ns);
    EXPECT_EQ(ns, QStringLiteral("urn:rvconf:track:1"));
    ASSERT_EQ(segs.size(), 3u);
    EXPECT_EQ(segs[0].size(), 2u);
    EXPECT_EQ(segs[1].size(), 2u);
    EXPECT_EQ(segs[2].size(), 1u);
    const Pt& p = segs[0][0];
    EXPECT_EQ(p.lat, QStringLiteral("-33.500000"));
    EXPECT_EQ(p.lon, QStringLiteral("151.209876"));
    EXPECT_EQ(p.ele, QStringLiteral("150"));
    EXPECT_EQ(p.time, QStringLiteral("2026-01-01T10:00:00Z"));
    EXPECT_EQ(p.sat, QStringLiteral("9"));
    EXPECT_EQ(p.hdop, QStringLiteral("1.2"));
    EXPECT_EQ(p.speed, QStringLiteral("56.7"));
    EXPECT_EQ(p.course, QStringLiteral("123.4"));
    EXPECT_EQ(segs[1][0].time, QStringLiteral("2026-01-01T10:00:05Z"));
    EXPECT_TRUE(segs[1][0].ele.isEmpty()); // the receiver gave no altitude
    EXPECT_EQ(segs[1][1].time, QStringLiteral("2026-01-01T10:10:05Z"));
    EXPECT_EQ(segs[2][0].time, QStringLiteral("2026-01-01T10:20:06Z"));

    // Nothing valid: a well-formed file with an empty track.
    const ExportResult none = exportGpx(trackPacket({.notValid = true}));
    EXPECT_EQ(none.written, 0);
    EXPECT_TRUE(none.bytes.endsWith("  <trk>\n  </trk>\n</gpx>\n"));
    EXPECT_TRUE(gpxSegments(none.bytes).empty());
}

TEST(TrackGpx, TimesAreUtcCalendarTimesForEveryStoredValue)
{
    const auto iso = [](int32_t t) {
        std::string s;
        Text(s).isoTime(t);
        return s;
    };
    EXPECT_EQ(iso(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(iso(-1), "1969-12-31T23:59:59Z");
    EXPECT_EQ(iso(951782400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(iso(kTen + 48615 - 36000), "2026-01-01T13:30:15Z");
    EXPECT_EQ(iso(INT32_MAX), "2038-01-19T03:14:07Z");
    EXPECT_EQ(iso(INT32_MIN), "1901-12-13T20:45:52Z");
}

TEST(TrackKml, ATrackPerSegmentAndTheStartTheStopsAndTheEndAsPlacemarks)
{
    QByteArray buffer = rvtest::squareLoop();
    // A second segment two hours later that ends standing for 65 minutes, a packet every five.
    const int32_t later = rvtest::SquareLoop::kStart + 7200;
    buffer += trackPacket({.time = later, .lat = 20000, .lon = 37600000, .speed = 300});
    for (int i = 0; i <= 13; ++i)
        buffer += trackPacket({.time = later + 10 + i * 300, .lat = 20000, .lon = 37601000, .speed = 0});
    const ExportResult r = exportKml(buffer);
    EXPECT_EQ(r.written, rvtest::SquareLoop::kPoints + 15);
    EXPECT_EQ(r.segments, 2);
    EXPECT_EQ(r.stops, 2);
    EXPECT_EQ(r.invalid, 1);

    QXmlStreamReader x(r.bytes);
    QStringList names, places;
    QList<int> whens, coords;
    QString first;
    bool inTrack = false;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isEndElement() && x.name() == u"Track")
            inTrack = false;
        if (!x.isStartElement())
            continue;
        if (x.name() == u"Track") {
            EXPECT_EQ(x.namespaceUri(), u"http://www.google.com/kml/ext/2.2");
            inTrack = true;
            whens << 0;
            coords << 0;
        } else if (x.name() == u"when" && inTrack) {
            const QString t = x.readElementText();
            if (first.isEmpty())
                first = t;
            ++whens.back();
            EXPECT_EQ(coords.back(), 0) << "every <when> comes before the places";
        } else if (x.name() == u"coord") {
            ++coords.back();
        } else if (x.name() == u"name") {
            names << x.readElementText();
        } else if (x.name() == u"coordinates") {
            places << x.readElementText();
        }
    }
    ASSERT_FALSE(x.hasError()) << x.errorString().toStdString();
    EXPECT_EQ(whens, (QList<int>{rvtest::SquareLoop::kPoints, 15}));
    EXPECT_EQ(coords, whens);
    EXPECT_EQ(first, QStringLiteral("2026-01-01T10:00:00Z"));
    // The document, the track, then the start, the stops at B (10:01:40, 4 minutes) and at the end of the
    // second segment (12:00:10, 65 minutes), and the end.
    EXPECT_EQ(names, (QStringList{QStringLiteral("Трек"), QStringLiteral("Трек"), QStringLiteral("Начало"),
                                  QStringLiteral("Стоянка 01.01.2026 10:01 UTC, 4 мин"),
                                  QStringLiteral("Стоянка 01.01.2026 12:00 UTC, 1 ч 05 мин"), QStringLiteral("Конец")}));
    EXPECT_EQ(places, (QStringList{QStringLiteral("37.600000,0.000000"), QStringLiteral("37.610000,0.000000"),
                                   QStringLiteral("37.601000,0.020000"), QStringLiteral("37.601000,0.020000")}));
    EXPECT_TRUE(r.bytes.contains("<TimeSpan><begin>2026-01-01T10:01:40Z</begin><end>2026-01-01T10:05:40Z</end></TimeSpan>"));
}

TEST(TrackXml, XmllintFindsBothWellFormed)
{
    const QString xmllint = tool("xmllint");
    if (xmllint.isEmpty())
        GTEST_SKIP() << "xmllint is not installed (scripts/install-deps installs libxml2-utils)";
    QTemporaryDir dir;
    const QByteArray buffer = wideTrack() + rvtest::squareLoop();
    for (const ExportFormat f : {ExportFormat::Gpx, ExportFormat::Kml}) {
        const QString path = dir.filePath(defaultExportName(f));
        ASSERT_TRUE(saveTrack(path, f, buffer, {}).ok());
        QProcess p;
        p.start(xmllint, {QStringLiteral("--noout"), path});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        EXPECT_TRUE(p.readAllStandardError().isEmpty());
    }
}

TEST(TrackXml, GpsbabelReadsBothBackToTheSamePointsAndTimes)
{
    const QString babel = tool("gpsbabel");
    if (babel.isEmpty())
        GTEST_SKIP() << "gpsbabel is not installed";
    QTemporaryDir dir;
    const QByteArray buffer = wideTrack();
    const TrackPoints expected = trackPoints(buffer);
    ASSERT_EQ(expected.points.size(), 40u);
    for (const char* kind : {"gpx", "kml"}) {
        const ExportFormat f = *formatOfName(QStringLiteral("t.") + QLatin1String(kind));
        const QString in = dir.filePath(QStringLiteral("in.") + QLatin1String(kind));
        const QString out = dir.filePath(QStringLiteral("out-%1.gpx").arg(QLatin1String(kind)));
        ASSERT_TRUE(saveTrack(in, f, buffer, {}).ok());
        // Tracks only: the KML's start, stop and end placemarks come back as waypoints.
        QProcess p;
        p.start(babel, {QStringLiteral("-t"), QStringLiteral("-i"), QLatin1String(kind), QStringLiteral("-f"), in,
                        QStringLiteral("-o"), QStringLiteral("gpx"), QStringLiteral("-F"), out});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        QFile back(out);
        ASSERT_TRUE(back.open(QIODevice::ReadOnly));
        QXmlStreamReader x(back.readAll());
        std::vector<Pt> got;
        while (!x.atEnd()) {
            if (x.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (x.name() == u"trkpt") {
                Pt p;
                p.lat = x.attributes().value(QLatin1String("lat")).toString();
                p.lon = x.attributes().value(QLatin1String("lon")).toString();
                got.push_back(p);
            }
            else if (x.name() == u"time" && !got.empty())
                got.back().time = x.readElementText();
        }
        ASSERT_EQ(got.size(), expected.points.size()) << kind;
        for (size_t i = 0; i < got.size(); ++i) {
            const TrackPoint& e = expected.points[i];
            EXPECT_NEAR(got[i].lat.toDouble(), e.latitude / 1e6, 1e-6) << kind << " " << i;
            EXPECT_NEAR(got[i].lon.toDouble(), e.longitude / 1e6, 1e-6) << kind << " " << i;
            std::string t;
            Text(t).isoTime(e.time);
            EXPECT_EQ(got[i].time.toStdString(), t) << kind << " " << i;
        }
    }
}

TEST(TrackXml, StreamedFilesEqualTheExportsInMemoryAndAFailedWriteStops)
{
    QByteArray buffer;
    for (int i = 0; i < 30; ++i)
        buffer += wideTrack(); // 1200 packets: the text passes in several pieces
    QTemporaryDir dir;
    for (int f = 0; f < kExportFormats; ++f) {
        const auto format = ExportFormat(f);
        const QString path = dir.filePath(defaultExportName(format));
        ExportResult counts;
        ASSERT_TRUE(saveTrack(path, format, buffer, {}, &counts).ok());
        QFile saved(path);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        const ExportResult inMemory = exportTrack(format, buffer, {});
        EXPECT_TRUE(saved.readAll() == inMemory.bytes) << f;
        EXPECT_EQ(counts.written, inMemory.written) << f;
    }
    ShortSink sink(100000);
    ExportResult r;
    EXPECT_FALSE(writeTrack(ExportFormat::Gpx, buffer, {}, sink, r));
    EXPECT_EQ(sink.writes, 2); // the refused piece is the last one passed
    // A file that cannot be made: false, and an earlier file stays.
    EXPECT_EQ(saveTrack(dir.filePath(QStringLiteral("no/such/folder/t.gpx")), ExportFormat::Gpx, buffer, {}).error,
              rv::OutputFileError::NoFolder);
}
