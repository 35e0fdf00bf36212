// GPX 1.1 and KML 2.2 exports of the track memory, written as the packets are read, never held whole.
//
// GPX: one <trk>, a <trkseg> per segment (the path breaks where the unit's clock goes back or jumps ahead by
// more than ten minutes), a <trkpt> per packet with a valid position: <ele>, <time> (UTC), <sat>, <hdop>, and
// speed and course in <extensions> in our own namespace.
// KML: one <Placemark> holding a <gx:MultiTrack> with a <gx:Track> per segment (times and places, so a viewer
// can replay the drive), then the start, the stops and the end as point placemarks.

#include "core/track/track_geometry.h"
#include "core/track/track_text.h"
#include "core/version.h"

namespace rv::track {

namespace {

// The namespace of the speed and course elements in a GPX point's <extensions>.
constexpr char kGpxExtensionNs[] = "urn:rvconf:track:1";

struct Civil
{
    int64_t year;
    int month, day, hour, minute, second;
};

// The UTC calendar date and time of seconds since 1970 (days to civil date after H. Hinnant).
Civil civilOf(int32_t unixTime)
{
    const int64_t t = unixTime;
    int64_t days = t / 86400, secs = t % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    Civil c;
    c.day = int(doy - (153 * mp + 2) / 5 + 1);
    c.month = int(mp < 10 ? mp + 3 : mp - 9);
    c.year = yoe + era * 400 + (c.month <= 2);
    c.hour = int(secs / 3600);
    c.minute = int(secs / 60 % 60);
    c.second = int(secs % 60);
    return c;
}

void twoDigits(Text& t, int v)
{
    const char d[2] = {char('0' + v / 10 % 10), char('0' + v % 10)};
    t.append(d, 2);
}

// 01.01.2026 10:15 UTC
void dayAndMinute(Text& t, int32_t unixTime)
{
    const Civil c = civilOf(unixTime);
    twoDigits(t, c.day);
    t << ".";
    twoDigits(t, c.month);
    t << "." << static_cast<long long>(c.year) << " ";
    twoDigits(t, c.hour);
    t << ":";
    twoDigits(t, c.minute);
    t << " UTC";
}

// "12 мин", "1 ч 05 мин"
void minutesText(Text& t, int64_t seconds)
{
    const int64_t minutes = seconds / 60;
    if (minutes >= 60) {
        t << static_cast<long long>(minutes / 60) << " ч ";
        twoDigits(t, int(minutes % 60));
    } else {
        t << static_cast<long long>(minutes);
    }
    t << " мин";
}

void xmlEscaped(Text& t, const QString& s)
{
    for (const char c : s.toUtf8()) {
        switch (c) {
        case '&': t << "&amp;"; break;
        case '<': t << "&lt;"; break;
        case '>': t << "&gt;"; break;
        case '"': t << "&quot;"; break;
        default: t.append(&c, 1); break;
        }
    }
}

// A packet in order, with what the XML exports need to know of it.
struct Classified
{
    TrackPacket packet;
    Fix fix;
};

Classified classify(QByteArrayView buffer, qsizetype i)
{
    Classified c{decodePacket(buffer.sliced(i * kPacketSize, kPacketSize)), Fix::Valid};
    c.fix = fixOf(c.packet);
    return c;
}

void gpxPoint(Text& t, const TrackPacket& p)
{
    t << "      <trkpt lat=\"";
    t.millionths(p.latitude) << "\" lon=\"";
    t.millionths(p.longitude) << "\">";
    if (p.altitude != 0xFFFF)
        t << "<ele>" << int(p.altitude) << "</ele>";
    t << "<time>";
    t.isoTime(p.time) << "</time><sat>" << int(p.satellites) << "</sat><hdop>";
    t.tenths(p.hdop) << "</hdop><extensions><rv:speed>";
    t.tenths(p.speed) << "</rv:speed><rv:course>";
    t.tenths(p.course) << "</rv:course></extensions></trkpt>\n";
}

void kmlPlace(Text& t, const char* styleId, int32_t latitude, int32_t longitude)
{
    t << "<styleUrl>#";
    t.append(styleId, std::char_traits<char>::length(styleId));
    t << "</styleUrl><Point><coordinates>";
    t.millionths(longitude) << ",";
    t.millionths(latitude) << "</coordinates></Point></Placemark>\n";
}

void kmlEnd(Text& t, const char* name, const TrackPoint& p, const char* styleId)
{
    t << "<Placemark><name>";
    t.append(name, std::char_traits<char>::length(name));
    t << "</name><TimeStamp><when>";
    t.isoTime(p.time) << "</when></TimeStamp>";
    kmlPlace(t, styleId, p.latitude, p.longitude);
}

} // namespace

Text& Text::isoTime(int32_t unixTime)
{
    const Civil c = civilOf(unixTime);
    char year[8];
    const auto r = std::to_chars(year, year + sizeof year, c.year);
    for (auto n = r.ptr - year; n < 4; ++n)
        m_s.push_back('0');
    m_s.append(year, r.ptr);
    m_s.push_back('-');
    twoDigits(*this, c.month);
    m_s.push_back('-');
    twoDigits(*this, c.day);
    m_s.push_back('T');
    twoDigits(*this, c.hour);
    m_s.push_back(':');
    twoDigits(*this, c.minute);
    m_s.push_back(':');
    twoDigits(*this, c.second);
    m_s.push_back('Z');
    return *this;
}

void writeGpx(QByteArrayView buffer, ChunkWriter& out, ExportResult& r)
{
    Text& t = out.text();
    t << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"";
    xmlEscaped(t, QStringLiteral("rvconf ") + programVersion());
    t << "\" xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:rv=\"";
    t.append(kGpxExtensionNs, sizeof kGpxExtensionNs - 1);
    t << "\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
         "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n  <trk>\n";
    std::optional<int32_t> previous;
    for (qsizetype i = 0; i < r.packets; ++i) {
        const Classified c = classify(buffer, i);
        if (c.fix == Fix::Damaged) {
            ++r.damaged;
            continue;
        }
        if (c.fix == Fix::NotValid) {
            ++r.invalid;
            continue;
        }
        if (startsSegment(previous, c.packet.time)) {
            if (previous) {
                t << "    </trkseg>\n";
            } else {
                t << "    <name>Трек ";
                t.isoTime(c.packet.time) << "</name>\n";
            }
            t << "    <trkseg>\n";
            ++r.segments;
        }
        previous = c.packet.time;
        gpxPoint(t, c.packet);
        ++r.written;
        out.maybeFlush();
    }
    if (previous)
        t << "    </trkseg>\n";
    t << "  </trk>\n</gpx>\n";
}

void writeKml(QByteArrayView buffer, ChunkWriter& out, ExportResult& r)
{
    Text& t = out.text();
    t << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n"
         "<Document>\n<name>Трек</name>\n<open>1</open>\n"
         "<Style id=\"track\"><LineStyle><color>ff0000e6</color><width>3</width></LineStyle></Style>\n"
         "<Style id=\"start\"><IconStyle><color>ff00c000</color></IconStyle></Style>\n"
         "<Style id=\"stop\"><IconStyle><color>ff00c0ff</color></IconStyle></Style>\n"
         "<Style id=\"end\"><IconStyle><color>ff0000e6</color></IconStyle></Style>\n";

    std::optional<int32_t> previous;
    std::optional<TrackPoint> first, last;
    StopFinder finder;
    std::vector<Stop> stops;
    qsizetype points = 0;
    // A segment at a time: its times, then its places (a <gx:Track> lists every <when> before any <gx:coord>),
    // each from the packets themselves, so no segment is held in memory.
    qsizetype at = 0;
    while (at < r.packets) {
        qsizetype end = r.packets;
        bool opened = false;
        for (qsizetype i = at; i < r.packets; ++i) {
            const Classified c = classify(buffer, i);
            if (c.fix == Fix::Damaged) {
                ++r.damaged;
                continue;
            }
            if (c.fix == Fix::NotValid) {
                ++r.invalid;
                continue;
            }
            const bool starts = startsSegment(previous, c.packet.time);
            if (starts && opened) {
                end = i;
                break;
            }
            if (!opened) {
                if (!previous)
                    t << "<Placemark>\n<name>Трек</name>\n<styleUrl>#track</styleUrl>\n<gx:MultiTrack>\n"
                         "<altitudeMode>clampToGround</altitudeMode>\n<gx:interpolate>0</gx:interpolate>\n";
                t << "<gx:Track>\n";
                opened = true;
                ++r.segments;
            }
            TrackPoint point = pointOf(c.packet, uint32_t(i));
            point.segmentStart = starts;
            if (const auto s = finder.add(point, points++))
                stops.push_back(*s);
            if (!first)
                first = point;
            last = point;
            previous = c.packet.time;
            t << "<when>";
            t.isoTime(c.packet.time) << "</when>\n";
            ++r.written;
            out.maybeFlush();
        }
        if (!opened)
            break;
        for (qsizetype i = at; i < end; ++i) {
            const Classified c = classify(buffer, i);
            if (c.fix != Fix::Valid)
                continue;
            t << "<gx:coord>";
            t.millionths(c.packet.longitude) << " ";
            t.millionths(c.packet.latitude) << " " << (c.packet.altitude == 0xFFFF ? 0 : int(c.packet.altitude))
                                            << "</gx:coord>\n";
            out.maybeFlush();
        }
        t << "</gx:Track>\n";
        at = end;
    }
    if (const auto s = finder.finish())
        stops.push_back(*s);
    r.stops = int(stops.size());

    if (first) {
        t << "</gx:MultiTrack>\n</Placemark>\n";
        kmlEnd(t, "Начало", *first, "start");
        for (const Stop& s : stops) {
            t << "<Placemark><name>Стоянка ";
            dayAndMinute(t, s.start);
            t << ", ";
            minutesText(t, s.seconds);
            t << "</name><TimeSpan><begin>";
            t.isoTime(s.start) << "</begin><end>";
            t.isoTime(int32_t(s.start + s.seconds)) << "</end></TimeSpan>";
            kmlPlace(t, "stop", s.latitude, s.longitude);
            out.maybeFlush();
        }
        kmlEnd(t, "Конец", *last, "end");
    }
    t << "</Document>\n</kml>\n";
}

} // namespace rv::track
