#include "core/config/fuel_table.h"

#include "core/config/input_rules.h"

namespace rv::fuel {

namespace {

const char16_t* fieldOf(int sensor)
{
    return sensor == 1 ? u"FuelTable1" : u"FuelTable2";
}

constexpr int kReadingOffset[kSensors] = {59, 61};

} // namespace

QString rowLabel(int row)
{
    if (row == 0)
        return QStringLiteral("Объем");
    if (row == 1)
        return QStringLiteral("Пустой бак");
    if (row == 11)
        return QStringLiteral("Половина");
    if (row == kPoints)
        return QStringLiteral("Полный бак");
    if (row > 1 && row < kPoints)
        return QStringLiteral("%1/20").arg(row - 1);
    return {};
}

QString columnTitle(int column)
{
    switch (column) {
    case 0: return rowLabel(0);
    case 1: return QStringLiteral("Значение 1");
    case 2: return QStringLiteral("Значение 2");
    }
    return {};
}

QStringList column(const ConfigBlock& config, int sensor)
{
    QStringList out;
    for (int i = 0; i < kPoints; ++i)
        out << QString::number(config.number(fieldOf(sensor), i).value);
    return out;
}

std::optional<uint16_t> cellValue(QStringView text)
{
    if (text.isEmpty())
        return 0;
    if (!isWholeNumber(text, true) || text.size() > 6)
        return std::nullopt;
    const int v = text.toInt();
    if (v < -32768 || v > 65535)
        return std::nullopt;
    return uint16_t(v);
}

std::optional<QString> cellCorrection(QStringView text)
{
    if (isWholeNumber(text) && (text.size() > kCellDigits || text.toInt() > 65535))
        return QStringLiteral("65535");
    return std::nullopt;
}

QList<Cell> store(ConfigBlock& config, const QStringList& column1, const QStringList& column2)
{
    const QStringList* columns[kSensors] = {&column1, &column2};
    uint16_t values[kSensors][kPoints] = {};
    QList<Cell> refused;
    for (int s = 0; s < kSensors; ++s) {
        for (int i = 0; i < kPoints; ++i) {
            const auto v = cellValue(i < columns[s]->size() ? QStringView(columns[s]->at(i)) : QStringView());
            if (v)
                values[s][i] = *v;
            else
                refused.append({s + 1, i});
        }
    }
    if (!refused.isEmpty())
        return refused;
    for (int s = 0; s < kSensors; ++s)
        for (int i = 0; i < kPoints; ++i)
            config.setNumber(fieldOf(s + 1), i, values[s][i]);
    return {};
}

std::optional<QString> readingText(QByteArrayView gps, int sensor)
{
    if (sensor < 1 || sensor > kSensors)
        return std::nullopt;
    const qsizetype at = kReadingOffset[sensor - 1];
    if (gps.size() < at + 2)
        return std::nullopt;
    const auto raw = uint16_t(uint8_t(gps[at]) | uint8_t(gps[at + 1]) << 8);
    return QString::number(int16_t(raw));
}

} // namespace rv::fuel
