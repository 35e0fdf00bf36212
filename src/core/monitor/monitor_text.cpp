#include "core/monitor/monitor_text.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace rv {

double adcVolts(uint16_t count, double k)
{
    return count * 3.16 * k / 1023;
}

namespace {

// Whole part, comma, `digits` fraction digits of a value scaled by 10^digits; exact for every int64 input.
QString scaledText(int64_t value, int digits, int64_t scale)
{
    const bool negative = value < 0;
    const uint64_t a = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    return QStringLiteral("%1%2,%3")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(a / static_cast<uint64_t>(scale))
        .arg(a % static_cast<uint64_t>(scale), digits, 10, QLatin1Char('0'));
}

QString trimFraction(QString s)
{
    if (!s.contains(QLatin1Char('.')))
        return s;
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

} // namespace

QString tenthsText(int64_t tenths) { return scaledText(tenths, 1, 10); }

QString coordinateText(int32_t millionths) { return scaledText(millionths, 6, 1000000); }

QString hundredthsText(int64_t hundredths) { return scaledText(hundredths, 2, 100); }

QString generalText(double value, int precision)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");
    precision = std::clamp(precision, 1, 17);

    // Round to the significant digits first: the rounded exponent decides the form.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, value);
    const QString sci = QString::fromLatin1(buf);
    const qsizetype e = sci.indexOf(QLatin1Char('e'));
    const int exponent = sci.mid(e + 1).toInt();

    QString out;
    if (exponent >= precision || exponent < -5) {
        out = trimFraction(sci.left(e)) + QLatin1Char('E') + QString::number(exponent);
    } else {
        std::snprintf(buf, sizeof buf, "%.*f", std::max(0, precision - 1 - exponent), value);
        out = trimFraction(QString::fromLatin1(buf));
    }
    if (out == QLatin1String("-0"))
        out = QStringLiteral("0");
    return out.replace(QLatin1Char('.'), QLatin1Char(','));
}

QString unitTimeText(uint32_t secondsSince1970)
{
    using namespace std::chrono;
    const sys_seconds tp{seconds{secondsSince1970}};
    const sys_days day = floor<days>(tp);
    const year_month_day ymd{day};
    const hh_mm_ss hms{tp - day};
    return QString::asprintf("%.2d.%.2d.%.2d %.2d:%.2d:%.2d", static_cast<int>(static_cast<unsigned>(ymd.day())),
                             static_cast<int>(static_cast<unsigned>(ymd.month())), static_cast<int>(ymd.year()),
                             static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                             static_cast<int>(hms.seconds().count()));
}

QString externalTemperatureText(uint8_t code)
{
    switch (code) {
    case 0x80: return QStringLiteral("нет");
    case 0x81: return QStringLiteral("КЗ");
    case 0x82: return QStringLiteral("обрыв");
    default: return QString::number(static_cast<int8_t>(code));
    }
}

QString iButtonText(const std::array<uint8_t, 6>& code)
{
    return QString::asprintf("%.2X%.2X%.2X%.2X%.2X%.2X", code[5], code[4], code[3], code[2], code[1], code[0]);
}

} // namespace rv
