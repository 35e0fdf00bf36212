#include "core/monitor/monitor_history.h"

#include "core/monitor/monitor_text.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <limits>

namespace rv::chart {

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// A clock set back by more than this starts the history afresh; less is taken as jitter.
constexpr int64_t kClockStepBackMs = 60 * 1000;

std::array<SeriesInfo, SeriesCount> makeInfo()
{
    std::array<SeriesInfo, SeriesCount> t;
    static const char* const keys[SeriesCount] = {
        "Supply", "Battery", "Speed", "Satellites", "Hdop", "Input1", "Input2", "Input3", "Input4", "Input5",
        "Input6", "Input7", "Input8", "UnitTemp", "Output1", "Output2", "Output3", "Output4", "InState1", "InState2",
        "InState3", "InState4", "InState5", "InState6", "InState7", "InState8", "ExtTemp1", "ExtTemp2", "ExtTemp3",
        "ExtTemp4", "ExtTemp5", "ExtTemp6", "ExtTemp7", "ExtTemp8", "Fuel1", "Fuel2", "CanFuel"};
    auto set = [&t](int s, QString caption, Group g, Kind k) {
        t[size_t(s)] = {QLatin1String(keys[s]), std::move(caption), g, k};
    };
    set(Supply, QStringLiteral("Uпит, В"), Group::Device, Kind::Volts);
    set(Battery, QStringLiteral("Uбат, В"), Group::Device, Kind::Volts);
    set(Speed, QStringLiteral("Скорость, км/ч"), Group::Navigation, Kind::Speed);
    set(Satellites, QStringLiteral("Видимых спутников"), Group::Navigation, Kind::Count);
    set(Hdop, QStringLiteral("Горизонтальная точность"), Group::Navigation, Kind::Count);
    for (int i = 0; i < 8; ++i) {
        set(Input1 + i, QStringLiteral("Вход %1, В").arg(i + 1), Group::Device, Kind::Volts);
        set(InState1 + i, QStringLiteral("Состояние входа %1").arg(i + 1), Group::Device, Kind::State);
        set(ExtTemp1 + i, QStringLiteral("Темп. %1, °C").arg(i + 1), Group::Peripheral, Kind::Temperature);
    }
    set(UnitTemp, QStringLiteral("Темп. устройства, °C"), Group::Device, Kind::Temperature);
    for (int i = 0; i < 4; ++i)
        set(Output1 + i, QStringLiteral("Выход %1").arg(i + 1), Group::Device, Kind::State);
    set(Fuel1, QStringLiteral("Уровень1"), Group::Peripheral, Kind::Fuel);
    set(Fuel2, QStringLiteral("Уровень2"), Group::Peripheral, Kind::Fuel);
    set(CanFuel, QStringLiteral("Уровень топлива в баке, %"), Group::Peripheral, Kind::Percent);
    return t;
}

// An input in volts where the monitor page showed volts; frequencies, counts and counters are no voltage.
double inputVolts(uint16_t count, InputReading reading)
{
    switch (reading) {
    case InputReading::Volts36: return adcVolts(count, kAdcInput36V);
    case InputReading::Volts5: return adcVolts(count, kAdcInput5V);
    default: return kNoValue;
    }
}

bool isSensorCode(uint8_t t) { return t >= 0x80 && t <= 0x82; }

} // namespace

const SeriesInfo& info(int series)
{
    static const std::array<SeriesInfo, SeriesCount> table = makeInfo();
    return table[size_t(std::clamp(series, 0, SeriesCount - 1))];
}

QString groupCaption(Group g)
{
    switch (g) {
    case Group::Navigation: return QStringLiteral("Навигационные данные");
    case Group::Device: return QStringLiteral("Аналоговые входы/выходы/состояние устройства");
    case Group::Peripheral: break;
    }
    return QStringLiteral("Внешняя периферия");
}

QString kindCaption(Kind k)
{
    switch (k) {
    case Kind::Volts: return QStringLiteral("Напряжение, В");
    case Kind::Speed: return QStringLiteral("Скорость, км/ч");
    case Kind::Count: return QStringLiteral("Спутники и HDOP");
    case Kind::Temperature: return QStringLiteral("Температура, °C");
    case Kind::Fuel: return QStringLiteral("Датчики уровня");
    case Kind::Percent: return QStringLiteral("Топливо CAN, %");
    case Kind::State: break;
    }
    return QStringLiteral("Входы и выходы");
}

Sample sampleOf(const GpsSnapshot& g, const UnitProfile& unit, int64_t msecs)
{
    Sample s;
    s.msecs = msecs;
    s.supply = g.supplyCount;
    s.battery = g.batteryCount;
    s.speed10 = g.speed10;
    s.satellites = g.satellites;
    s.hdop10 = g.hdop10;
    s.inputs = g.inputCounts;
    s.unitTemp = g.unitTemperature;
    s.outputs = g.outputs;
    s.inStates = g.inputStates;
    s.extTemps = g.externalTemps;
    s.fuel1 = g.fuel1;
    s.fuel2 = g.fuel2;
    s.canFuel = g.canFuelLevel;
    s.unit = unit;
    return s;
}

double Sample::value(int series) const
{
    if (series >= Input1 && series <= Input8) {
        const int i = series - Input1;
        return inputVolts(inputs[size_t(i)], unit.reading(i));
    }
    if (series >= Output1 && series <= Output4) {
        const int i = series - Output1;
        return i < unit.outputs() ? double((outputs >> i) & 1) : kNoValue;
    }
    if (series >= InState1 && series <= InState8)
        return double((inStates >> (series - InState1)) & 1);
    if (series >= ExtTemp1 && series <= ExtTemp8) {
        const uint8_t t = extTemps[size_t(series - ExtTemp1)];
        return isSensorCode(t) ? kNoValue : double(int8_t(t));
    }
    switch (series) {
    case Supply: return adcVolts(supply, kAdcInput36V);
    case Battery: return adcVolts(battery, kAdcBattery);
    case Speed: return speed10 / 10.0;
    case Satellites: return satellites;
    case Hdop: return hdop10 / 10.0;
    case UnitTemp: return unitTemp;
    case Fuel1: return fuel1 == 0xFFFF ? kNoValue : fuel1;
    case Fuel2: return fuel2 == 0xFFFF || unit.fuelSensors() < 2 ? kNoValue : fuel2;
    case CanFuel: return canFuel * 0.4;
    default: return kNoValue;
    }
}

QString Sample::text(int series) const
{
    const double v = value(series);
    if (std::isnan(v))
        return {};
    switch (info(series).kind) {
    case Kind::Volts: return generalText(v, 4);
    case Kind::Percent: return hundredthsText(int64_t(canFuel) * 40);
    default: break;
    }
    if (series == Speed)
        return tenthsText(speed10);
    if (series == Hdop)
        return tenthsText(hdop10);
    return QString::number(int64_t(v));
}

void History::add(const Sample& sample)
{
    if (m_ring.empty())
        m_ring.resize(size_t(kCapacity));
    Sample s = sample;
    if (m_size > 0 && s.msecs < newest().msecs) {
        if (newest().msecs - s.msecs > kClockStepBackMs)
            clear(); // the clock was set back: the old times no longer line up with the new
        else
            s.msecs = newest().msecs; // keep the ring in time order
    }
    while (m_size > 0 && at(0).msecs < s.msecs - kSpanMs) {
        m_head = (m_head + 1) % kCapacity;
        --m_size;
    }
    if (m_size == kCapacity) {
        m_head = (m_head + 1) % kCapacity;
        --m_size;
    }
    m_ring[size_t((m_head + m_size) % kCapacity)] = s;
    ++m_size;
    ++m_added;
}

void History::clear()
{
    m_head = 0;
    m_size = 0;
}

void History::keepFrom(uint64_t firstAdded)
{
    const uint64_t oldest = m_added - uint64_t(m_size);
    if (firstAdded <= oldest)
        return;
    const qsizetype drop = qsizetype(std::min<uint64_t>(firstAdded - oldest, uint64_t(m_size)));
    m_head = (m_head + drop) % kCapacity;
    m_size -= drop;
}

void History::connectionStarted()
{
    m_connectedAt = m_added;
}

bool History::identify(const UnitIdentity& unit)
{
    const uint64_t connectedAt = m_connectedAt.value_or(m_added);
    m_connectedAt.reset();
    if (!m_unit || *m_unit == unit) {
        m_unit = unit;
        return false;
    }
    m_unit = unit;
    keepFrom(connectedAt);
    return true;
}

QString UnitIdentity::text() const
{
    const QString idText = QStringLiteral("ID %1").arg(id);
    return imei.isEmpty() ? idText : idText + QStringLiteral(", IMEI ") + imei;
}

qsizetype History::lowerBound(int64_t msecs) const
{
    qsizetype lo = 0, hi = m_size;
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (at(mid).msecs < msecs)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

QString isoTime(int64_t msecs, const QTimeZone& zone)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(msecs, zone);
    const int offset = t.offsetFromUtc();
    const int a = std::abs(offset) / 60;
    return t.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"))
           + QStringLiteral("%1%2:%3")
                 .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                 .arg(a / 60, 2, 10, QLatin1Char('0'))
                 .arg(a % 60, 2, 10, QLatin1Char('0'));
}

QByteArray csv(const History& h, const QTimeZone& zone)
{
    QString out;
    out.reserve(64 + h.size() * 160);
    out += QStringLiteral("Время");
    for (int s = 0; s < SeriesCount; ++s)
        out += QLatin1Char(';') + info(s).caption;
    out += QLatin1String("\r\n");
    for (qsizetype i = 0; i < h.size(); ++i) {
        const Sample& sample = h.at(i);
        out += isoTime(sample.msecs, zone);
        for (int s = 0; s < SeriesCount; ++s)
            out += QLatin1Char(';') + sample.text(s);
        out += QLatin1String("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

} // namespace rv::chart
