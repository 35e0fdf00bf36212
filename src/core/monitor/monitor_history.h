#pragma once

// The recent past of the monitor, for the charts: one sample per navigation block, kept in a bounded ring
// of at most an hour. A sample holds the block's own counts and codes; its values come out through the
// conversions of the monitor labels, so a chart shows what the page showed at the time.

#include "core/config/unit_profile.h"
#include "core/monitor/monitor_snapshot.h"

#include <QByteArray>
#include <QString>
#include <QTimeZone>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace rv::chart {

// Everything a chart can draw, in the order of the CSV columns.
enum Series : uint8_t {
    Supply, Battery,                                  // volts
    Speed, Satellites, Hdop,
    Input1, Input2, Input3, Input4, Input5, Input6, Input7, Input8,  // volts
    UnitTemp,
    Output1, Output2, Output3, Output4,               // states, as steps
    InState1, InState2, InState3, InState4, InState5, InState6, InState7, InState8,
    ExtTemp1, ExtTemp2, ExtTemp3, ExtTemp4, ExtTemp5, ExtTemp6, ExtTemp7, ExtTemp8,
    Fuel1, Fuel2, CanFuel,
    SeriesCount
};

// The groups of the monitor page the series belong to.
enum class Group : uint8_t { Navigation, Device, Peripheral };

// The scale a series is drawn on; series of one kind share a pane.
enum class Kind : uint8_t { Volts, Speed, Count, Temperature, Fuel, Percent, State };

struct SeriesInfo
{
    QString key;       // a name for code and objectNames: "Supply", "Input3"...
    QString caption;   // as on the monitor page, with the unit
    Group group;
    Kind kind;
};
const SeriesInfo& info(int series);
QString groupCaption(Group g);
QString kindCaption(Kind k);

struct Sample
{
    int64_t msecs = 0;                 // host time of receipt, ms since 1970 UTC
    uint16_t supply = 0, battery = 0;  // ADC counts
    uint16_t speed10 = 0;
    uint8_t satellites = 0, hdop10 = 0;
    std::array<uint16_t, 8> inputs{};  // ADC counts
    int8_t unitTemp = 0;
    uint8_t outputs = 0, inStates = 0;
    std::array<uint8_t, 8> extTemps{}; // degrees or sensor codes
    uint16_t fuel1 = 0, fuel2 = 0;
    uint8_t canFuel = 0;               // 0.4 % units
    UnitProfile unit;                  // how the page read the inputs, outputs and fuel sensors

    // The value in the unit of the page; NaN where the page showed no such value (a broken fuel line, a
    // missing temperature sensor, an input in frequency mode...).
    double value(int series) const;
    // The value as the page wrote it ("12,36", "42,0"); empty where value() is NaN.
    QString text(int series) const;
};

// One sample from a decoded navigation block of the unit `unit`.
Sample sampleOf(const GpsSnapshot& gps, const UnitProfile& unit, int64_t msecs);

// Whose samples they are: the unit's ID and IMEI as its device block gives them.
struct UnitIdentity
{
    uint16_t id = 0;
    QString imei{};
    bool operator==(const UnitIdentity&) const = default;
    // "ID 1234, IMEI 861234567890123" (the IMEI left out when the unit has none)
    QString text() const;
};

class History
{
public:
    static constexpr int64_t kSpanMs = 60 * 60 * 1000;
    // An hour of samples 220 ms apart (a navigation block comes every ~540 ms); a faster unit keeps its
    // last 16384 samples.
    static constexpr qsizetype kCapacity = 16384;

    // Appends a sample, dropping those more than an hour older than it (and the oldest when full). A
    // sample older than the newest (the host clock set back) starts the history afresh.
    void add(const Sample& s);
    void clear();
    // Drops the samples added before the `firstAdded`-th (counting as added() does).
    void keepFrom(uint64_t firstAdded);

    // Charts of one unit never run on into another's. A unit was found (a handshake, a unit attached over
    // the network): the samples from here on belong to the unit its next device block names.
    void connectionStarted();
    // A device block named the unit. When another unit than the history's, the history starts anew with
    // the samples since the connection began (the new unit's, taken before it was named); true then.
    bool identify(const UnitIdentity& unit);
    // The unit the samples held are of, once a device block named it.
    const std::optional<UnitIdentity>& unit() const { return m_unit; }
    qsizetype size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const Sample& at(qsizetype i) const { return m_ring[static_cast<size_t>((m_head + i) % kCapacity)]; } // 0 oldest
    const Sample& newest() const { return at(m_size - 1); }
    // The index of the first sample at or after `msecs` (size() when none).
    qsizetype lowerBound(int64_t msecs) const;
    // Counts every sample ever added: a view redraws only when it moved.
    uint64_t added() const { return m_added; }

private:
    std::vector<Sample> m_ring;
    qsizetype m_head = 0;
    qsizetype m_size = 0;
    uint64_t m_added = 0;
    std::optional<UnitIdentity> m_unit;
    std::optional<uint64_t> m_connectedAt; // added() when the unit not yet named was found
};

// The held samples as a spreadsheet file: UTF-8 with a byte order mark, a header row, one row per sample,
// ISO 8601 time with the zone's offset, ";" between cells and "," as the decimal mark, CR LF line ends.
QByteArray csv(const History& h, const QTimeZone& zone = QTimeZone::systemTimeZone());
// 2026-01-01T03:00:00.270+03:00
QString isoTime(int64_t msecs, const QTimeZone& zone);

} // namespace rv::chart
