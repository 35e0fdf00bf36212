#include "core/satellite/tariff_plan.h"

#include "core/config/input_rules.h"
#include "core/config/records.h"

#include <QByteArray>

#include <algorithm>

namespace rv::sat {

namespace {

const QString kOn = QStringLiteral("включены");
const QString kOff = QStringLiteral("выключены");

} // namespace

Plan planOf(uint8_t value)
{
    if (value == 0)
        return Plan::None;
    if (value == kThirdParty)
        return Plan::ThirdParty;
    switch (value & kPlanMask) {
    case 1: return Plan::A;
    case 2: return Plan::B;
    case 3: return Plan::C;
    case 4: return Plan::D1;
    case 5: return Plan::D2;
    case 6: return Plan::D3;
    case 7: return Plan::D4;
    case 8: return Plan::E;
    }
    return Plan::Unknown;
}

QString planName(uint8_t value)
{
    switch (planOf(value)) {
    case Plan::A: return QStringLiteral("A");
    case Plan::B: return QStringLiteral("B");
    case Plan::C: return QStringLiteral("C");
    case Plan::D1: return QStringLiteral("D1");
    case Plan::D2: return QStringLiteral("D2");
    case Plan::D3: return QStringLiteral("D3");
    case Plan::D4: return QStringLiteral("D4");
    case Plan::E: return QStringLiteral("E");
    case Plan::ThirdParty: return QStringLiteral("255");
    case Plan::None:
    case Plan::Unknown: break;
    }
    return QStringLiteral("не известен");
}

QString fuelDataText(uint8_t value)
{
    const Plan p = planOf(value);
    return p == Plan::D2 || p == Plan::D4 ? kOn : kOff;
}

QString odometerDataText(uint8_t value)
{
    const Plan p = planOf(value);
    return p == Plan::D3 || p == Plan::D4 ? kOn : kOff;
}

namespace {

// The value of a text of digits, saturated; nothing when it is not one.
std::optional<qint64> digitsValue(QStringView text)
{
    if (!isWholeNumber(text))
        return std::nullopt;
    qint64 v = 0;
    for (QChar c : text)
        v = std::min<qint64>(v * 10 + (c.unicode() - u'0'), 1'000'000);
    return v;
}

} // namespace

std::optional<QString> IRbufChange(QStringView text)
{
    const auto v = digitsValue(text);
    if (v && *v > 340)
        return QStringLiteral("340");
    return std::nullopt;
}

std::optional<QString> IRbufDone(QStringView text)
{
    if (text.isEmpty())
        return QStringLiteral("10");
    const auto v = digitsValue(text);
    if (v && *v < 10)
        return QStringLiteral("10");
    return IRbufChange(text);
}

SatParams presetParams()
{
    SatParams p;
    p.messend = true;
    p.byTime = true;
    p.moveInterval = 60;
    p.manual = false;
    p.parkInterval = 60;
    p.parking = true;
    return p;
}

namespace {

// The number after `key` and one separator character: its digits as the field's edit would hold them, or
// nothing when no digit follows. Leading zeros are dropped and the digits are capped, so a text of any
// length reaches the validator as a short decimal text.
std::optional<QString> numberAfter(const QByteArray& text, const char* key)
{
    const qsizetype at = text.indexOf(key);
    if (at < 0)
        return std::nullopt;
    qsizetype i = at + qsizetype(qstrlen(key)) + 1; // the separator
    QString digits;
    bool any = false;
    for (; i < text.size() && text.at(i) >= '0' && text.at(i) <= '9'; ++i) {
        any = true;
        if (digits.isEmpty() && text.at(i) == '0')
            continue;
        if (digits.size() < 12)
            digits += QLatin1Char(text.at(i));
    }
    if (!any)
        return std::nullopt;
    return digits.isEmpty() ? QStringLiteral("0") : digits;
}

} // namespace

ParamText StrToParam(QByteArrayView textView)
{
    // The text ends at its terminator, wherever the caller cut it.
    QByteArray text = textView.toByteArray();
    if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
        text.truncate(nul);

    ParamText r;
    SatParams& p = r.params;
    p.messend = true;
    p.bufSize = 340;
    p.byTime = true;
    p.dist = 10;
    p.moveInterval = 60;
    p.parkInterval = 60;
    p.parking = false;

    // A number the field cannot hold is corrected the way its edit would correct a typed one.
    auto field = [&](const char* key, Validator v, int low) -> std::optional<int> {
        const std::optional<QString> digits = numberAfter(text, key);
        if (!digits) {
            if (text.contains(key))
                r.refused << QString::fromLatin1(key);
            return std::nullopt;
        }
        QString value = *digits;
        if (const std::optional<QString> fixed = v == Validator::None ? IRbufDone(value) : validate(v, value)) {
            value = *fixed;
            r.corrected << QString::fromLatin1(key);
        }
        int n = value.toInt();
        if (n < low) {
            n = low;
            r.corrected << QString::fromLatin1(key);
        }
        return n;
    };
    // Flags: only zero or non-zero matters, so any number of digits will do.
    auto flag = [&](const char* key) -> std::optional<bool> {
        const std::optional<QString> digits = numberAfter(text, key);
        if (!digits) {
            if (text.contains(key))
                r.refused << QString::fromLatin1(key);
            return std::nullopt;
        }
        return *digits != u"0";
    };

    if (const auto v = flag("stype"))
        p.messend = *v;
    if (const auto v = field("bsize", Validator::None, 10))
        p.bufSize = *v;
    if (const auto v = flag("wrtype"))
        p.byTime = *v;
    if (const auto v = field("dist", Validator::Val_1_255, 0))
        p.dist = *v;
    if (const auto v = field("tmove", Validator::Val_1_65535, 0))
        p.moveInterval = *v;
    if (const auto v = field("tstop", Validator::Val_1_65535, 0)) {
        p.parking = *v != 0;
        p.parkInterval = *v;
    }
    return r;
}

SatResult SatSetTarif(uint8_t value, SatMode mode, bool iridium)
{
    SatResult r;
    // Without the modem on port 2 the page shows no tariff; the unit's byte is left as the unit sent it, so
    // that a configuration read and written back unchanged reaches the unit unchanged.
    bool keepRecord = false;
    if (mode == SatMode::AfterRead) {
        if (!iridium) {
            value = 0;
            keepRecord = true;
        } else if (value == 0) {
            r.message = QStringLiteral("Спутниковый модем подключен, но для него не задан тарифный план !\r\n"
                                       "Перейдите на вкладку \"Спутниковый модем\"");
            // The page then shows the record as it is: no tariff, rather than the last one shown.
        }
    } else if (mode == SatMode::AfterOpen) {
        if (!iridium)
            return r;
        r.message = QStringLiteral("В конфигурации включено использование спутникового модема\r\n"
                                   "но его тарифный план не известен !\r\n"
                                   "Запишите конфигурацию в память прибора и перезагрузите его.\r\n"
                                   "Перейдите на вкладку \"Спутниковый модем\" и получите тариф.");
        // The tariff is cleared and the transmitter switched off; the page shows exactly that.
        value = 0;
    }

    if (!keepRecord)
        r.tariff = value;
    SatView v;
    v.tariffText = QStringLiteral("Тариф: ") + planName(value);
    v.fuelText = fuelDataText(value);
    v.odometerText = odometerDataText(value);
    switch (planOf(value)) {
    case Plan::ThirdParty:
    case Plan::A:
    case Plan::B:
    case Plan::C: v.groupsEnabled = true; break;
    case Plan::D1:
    case Plan::D2:
    case Plan::D3:
    case Plan::D4:
        v.groupsEnabled = false;
        r.params = presetParams();
        break;
    case Plan::E: v.groupsEnabled = false; break;
    case Plan::None:
    case Plan::Unknown: break;
    }
    v.transmitterChecked = value != 0;
    v.serviceItem = value == kThirdParty ? 1 : 0;
    if (value != kThirdParty && (value & kPresetBit)) {
        v.groupsEnabled = false;
        v.serviceEnabled = false;
        v.presetLabelVisible = true;
    }
    r.view = v;
    return r;
}

uint8_t withPresetBit(uint8_t tariff)
{
    return tariff | kPresetBit;
}

bool iridiumOnPort2(const ConfigBlock& config)
{
    const FieldResult<qint64> d = config.number(u"Device2");
    return d && d.value == kIridiumDevice;
}

void applyParams(ConfigRecords& records, const SatParams& p)
{
    ConfigBlock& c = records.config;
    if (p.messend)
        c.setNumber(u"IRmessend", *p.messend ? 1 : 0);
    if (p.bufSize)
        c.setNumber(u"IRbuf", *p.bufSize);
    if (p.byTime)
        c.setNumber(u"IRbyDist", *p.byTime ? 0 : 1);
    if (p.dist)
        c.setNumber(u"IRDIST", *p.dist);
    if (p.moveInterval)
        c.setNumber(u"IRSAVEINT_", *p.moveInterval);
    if (p.parking)
        c.setNumber(u"IRparking", *p.parking ? 1 : 0);
    if (p.manual)
        c.setNumber(u"HandIridium", *p.manual ? 1 : 0);
    if (p.parkInterval)
        records.confSe.setNumber(u"IRPARKTIME", *p.parkInterval);
}

void applyResult(ConfigRecords& records, const SatResult& r)
{
    if (r.tariff)
        records.config.setNumber(u"SatTariff", *r.tariff);
    if (r.params)
        applyParams(records, *r.params);
}

} // namespace rv::sat
