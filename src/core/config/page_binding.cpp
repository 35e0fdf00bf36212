#include "core/config/page_binding.h"

#include "core/base/cp1251.h"

#include <cmath>

namespace rv {

namespace {

int elementOf(const Binding& b, int item)
{
    return b.atOnce() ? item * b.itemStride + b.itemOffset : b.element;
}

bool validElement(const FieldDef& f, int e)
{
    return e >= 0 && e < f.count;
}

// A decimal text with ',' or '.' as the separator: integer digits and fraction digits.
struct Decimal
{
    QStringView whole;
    QStringView fraction;
};

std::optional<Decimal> splitDecimal(QStringView text)
{
    qsizetype sep = text.indexOf(u',');
    if (sep < 0)
        sep = text.indexOf(u'.');
    Decimal d{sep < 0 ? text : text.first(sep), sep < 0 ? QStringView() : text.sliced(sep + 1)};
    if (d.whole.isEmpty() && d.fraction.isEmpty())
        return std::nullopt;
    if ((!d.whole.isEmpty() && !isWholeNumber(d.whole)) || (!d.fraction.isEmpty() && !isWholeNumber(d.fraction)))
        return std::nullopt;
    return d;
}

// Digits as a number, or nothing past `limit` digits (the caller bounds the value anyway).
std::optional<qint64> digits(QStringView s, int limit = 12)
{
    if (s.size() > limit)
        return std::nullopt;
    qint64 v = 0;
    for (QChar c : s)
        v = v * 10 + (c.unicode() - u'0');
    return v;
}

QString decimalComma(double v, int significant)
{
    QString s = std::fabs(v) < 1000 ? QString::number(v, 'g', significant) : QString::number(v, 'f', 0);
    s.replace(u'.', u',');
    return s;
}

FieldError storeInteger(RecordBase& r, const FieldDef& f, int e, qint64 v)
{
    if (v < f.capacityMin() || v > f.capacityMax())
        return FieldError::OutOfRange;
    return r.storeNumberAt(f, e, v);
}

FieldError storeBit(RecordBase& r, const FieldDef& f, int e, int bit, bool on)
{
    const qint64 word = r.numberAt(f, e);
    const qint64 mask = qint64(1) << bit;
    return r.storeNumberAt(f, e, on ? (word | mask) : (word & ~mask));
}

bool bitOf(const RecordBase& r, const FieldDef& f, int e, int bit)
{
    return (r.numberAt(f, e) >> bit) & 1;
}

// The owned value of an integer row.
qint64 ownedNumber(const RecordBase& r, const Binding& b, const FieldDef& f, int e)
{
    if (b.bit >= 0)
        return bitOf(r, f, e, b.bit) ? 1 : 0;
    return r.numberAt(f, e);
}

} // namespace

RecordBase& recordOf(ConfigRecords& records, RecordKind kind)
{
    switch (kind) {
    case RecordKind::InpOut: return records.inpOut;
    case RecordKind::ConfSe: return records.confSe;
    case RecordKind::Config: break;
    }
    return records.config;
}

const RecordBase& recordOf(const ConfigRecords& records, RecordKind kind)
{
    return recordOf(const_cast<ConfigRecords&>(records), kind);
}

const FieldDef* fieldOf(const RecordBase& record, const Binding& b)
{
    for (const FieldDef& f : record.layout().fields)
        if (fields::hasFullName(f, b.fieldName()))
            return &f;
    return nullptr;
}

int fieldElement(const RecordBase& record, const Binding& b, int item)
{
    const FieldDef* f = fieldOf(record, b);
    const int e = elementOf(b, item);
    return f && validElement(*f, e) ? e : -1;
}

ControlValue showValue(const RecordBase& record, const Binding& b, int element, int listItems)
{
    ControlValue v;
    const FieldDef* f = fieldOf(record, b);
    const int e = elementOf(b, element);
    if (!f || !validElement(*f, e))
        return v;
    switch (b.enc) {
    case Enc::Number:
    case Enc::Signed:
        v.text = QString::number(record.numberAt(*f, e));
        break;
    case Enc::Tenths: {
        const qint64 n = record.numberAt(*f, e);
        v.text = n % 10 == 0 ? QString::number(n / 10) : QStringLiteral("%1,%2").arg(n / 10).arg(n % 10);
        break;
    }
    case Enc::Volts:
        v.text = decimalComma(double(record.numberAt(*f, e)) * b.scaleNum / b.scaleDen, 3);
        break;
    case Enc::Text:
        v.text = record.textAt(*f, e);
        break;
    case Enc::Phone:
        v.text = QStringLiteral("8") + record.textAt(*f, e);
        break;
    case Enc::Check:
        v.checked = ownedNumber(record, b, *f, e) & 1;
        break;
    case Enc::Radio:
        v.checked = record.numberAt(*f, e) == b.value;
        break;
    case Enc::ListIndex: {
        const qint64 index = record.numberAt(*f, e) - b.value;
        v.index = index >= 0 && index < listItems ? int(index) : -1;
        break;
    }
    case Enc::Slider:
        v.index = int(std::clamp<qint64>(record.numberAt(*f, e), f->min, f->max));
        break;
    }
    return v;
}

QString storedNumberText(const RecordBase& record, const Binding& b, int element)
{
    const FieldDef* f = fieldOf(record, b);
    const int e = elementOf(b, element);
    return f && validElement(*f, e) ? QString::number(record.numberAt(*f, e)) : QString();
}

FieldError storeValue(RecordBase& record, const Binding& b, int element, const ControlValue& v)
{
    const FieldDef* f = fieldOf(record, b);
    const int e = elementOf(b, element);
    if (!f)
        return FieldError::UnknownField;
    if (!validElement(*f, e))
        return FieldError::BadIndex;
    switch (b.enc) {
    case Enc::Number:
    case Enc::Signed: {
        const bool minus = b.enc == Enc::Signed && v.text.startsWith(u'-');
        if (!isWholeNumber(v.text, b.enc == Enc::Signed))
            return FieldError::BadValue;
        const auto n = digits(QStringView(v.text).sliced(minus ? 1 : 0));
        if (!n)
            return FieldError::OutOfRange;
        return storeInteger(record, *f, e, minus ? -*n : *n);
    }
    case Enc::Tenths: {
        const auto d = splitDecimal(v.text);
        if (!d)
            return FieldError::BadValue;
        const auto whole = digits(d->whole);
        if (!whole)
            return FieldError::OutOfRange;
        // Further fraction digits are discarded: the value is truncated toward zero.
        const qint64 tenth = d->fraction.isEmpty() ? 0 : d->fraction[0].unicode() - u'0';
        return storeInteger(record, *f, e, *whole * 10 + tenth);
    }
    case Enc::Volts: {
        const auto d = splitDecimal(v.text);
        if (!d)
            return FieldError::BadValue;
        const QStringView frac = d->fraction.first(std::min<qsizetype>(d->fraction.size(), 6));
        const auto whole = digits(d->whole, 6);
        const auto part = digits(frac);
        if (!whole || !part)
            return FieldError::OutOfRange;
        // count = truncate(volts / scale), in integers: volts = mantissa / 10^k.
        qint64 pow10 = 1;
        for (qsizetype i = 0; i < frac.size(); ++i)
            pow10 *= 10;
        const qint64 mantissa = *whole * pow10 + *part;
        const __int128 count = __int128(mantissa) * b.scaleDen / (__int128(b.scaleNum) * pow10);
        if (count > f->capacityMax())
            return FieldError::OutOfRange;
        return storeInteger(record, *f, e, qint64(count));
    }
    case Enc::Text:
        return record.setTextAt(*f, e, v.text);
    case Enc::Phone: {
        // The page shows the number behind a leading "8"; the number's own digits are what is stored.
        const std::optional<QString> number = phoneDigits(v.text);
        if (!number)
            return FieldError::BadValue;
        return record.setTextAt(*f, e, *number);
    }
    case Enc::Check:
        if (b.bit >= 0)
            return storeBit(record, *f, e, b.bit, v.checked);
        return record.storeNumberAt(*f, e, v.checked ? 1 : 0);
    case Enc::Radio:
        return v.checked ? storeInteger(record, *f, e, b.value) : FieldError::None;
    case Enc::ListIndex:
        return v.index < 0 ? FieldError::None : storeInteger(record, *f, e, qint64(v.index) + b.value);
    case Enc::Slider:
        return storeInteger(record, *f, e, v.index);
    }
    return FieldError::WrongKind;
}

FieldError checkValue(const RecordBase& record, const Binding& b, int element, const ControlValue& v)
{
    ConfigRecords scratch;
    RecordBase& copy = recordOf(scratch, b.record);
    copy.setBytes(record.bytes());
    return storeValue(copy, b, element, v);
}

StoredBits storedBits(const RecordBase& record, const Binding& b, int element)
{
    StoredBits s;
    const FieldDef* f = fieldOf(record, b);
    const int e = elementOf(b, element);
    if (!f || !validElement(*f, e))
        return s;
    if (f->isInteger())
        s.number = ownedNumber(record, b, *f, e);
    else
        s.bytes = record.rawAt(*f, e);
    return s;
}

void restoreBits(RecordBase& record, const Binding& b, int element, const StoredBits& bits)
{
    const FieldDef* f = fieldOf(record, b);
    const int e = elementOf(b, element);
    if (!f || !validElement(*f, e))
        return;
    if (!f->isInteger())
        record.setRawAt(*f, e, bits.bytes);
    else if (b.bit >= 0)
        storeBit(record, *f, e, b.bit, bits.number & 1);
    else
        record.storeNumberAt(*f, e, bits.number);
}

QList<int> gatherRows(ConfigRecords& records, std::span<const GatherRow> rows)
{
    auto unchanged = [](const GatherRow& row) { return row.spread && row.spread->shown == row.now; };
    for (const GatherRow& row : rows)
        if (row.binding && unchanged(row))
            restoreBits(recordOf(records, row.binding->record), *row.binding, row.element, row.spread->stored);
    QList<int> refused;
    for (qsizetype i = 0; i < qsizetype(rows.size()); ++i) {
        const GatherRow& row = rows[i];
        if (!row.binding || unchanged(row))
            continue;
        if (storeValue(recordOf(records, row.binding->record), *row.binding, row.element, row.now)
            != FieldError::None)
            refused.append(int(i));
    }
    return refused;
}

} // namespace rv
