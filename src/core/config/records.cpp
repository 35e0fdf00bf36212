#include "core/config/records.h"

#include "core/config/config_block_fields.h"
#include "core/config/confse_block_fields.h"
#include "core/base/cp1251.h"
#include "core/config/inpout_block_fields.h"
#include "core/base/bytes.h"

#include <utility>

namespace rv {

static_assert(fields::checkLayout(fields::kConfigBlockFields, ConfigBlock::kSize));
static_assert(fields::checkLayout(fields::kInpOutBlockFields, InpOutBlock::kSize));
static_assert(fields::checkLayout(fields::kConfSeBlockFields, ConfSeBlock::kSize));
static_assert(fields::namesDisjoint(fields::kConfigBlockFields, fields::kInpOutBlockFields)
              && fields::namesDisjoint(fields::kConfigBlockFields, fields::kConfSeBlockFields)
              && fields::namesDisjoint(fields::kInpOutBlockFields, fields::kConfSeBlockFields));
static_assert(fields::find(fields::kInpOutBlockFields, "Out2pause_actoh").offset == 208 + 5);
static_assert(fields::kOutputReactionSize == InpOutBlock::kOutputReactionSize);
static_assert(fields::kEventRuleSize == InpOutBlock::kEventRuleSize);

namespace {

bool matches(const FieldDef& f, QStringView name)
{
    const qsizetype n = qsizetype(f.name.size());
    const qsizetype full = f.suffix.empty() ? n : n + 1 + qsizetype(f.suffix.size());
    if (name.size() != full)
        return false;
    if (name.first(n) != QLatin1StringView(f.name.data(), n))
        return false;
    if (f.suffix.empty())
        return true;
    return name[n] == u'_'
           && name.sliced(n + 1) == QLatin1StringView(f.suffix.data(), qsizetype(f.suffix.size()));
}

uint32_t readWord(const QByteArray& b, qsizetype at, uint16_t size)
{
    switch (size) {
    case 1: return le::u8(b, at);
    case 2: return le::u16(b, at);
    default: return le::u32(b, at);
    }
}

void writeWord(QByteArray& b, qsizetype at, uint16_t size, uint32_t v)
{
    switch (size) {
    case 1: b[at] = char(v & 0xFF); break;
    case 2: le::put16(b, at, uint16_t(v)); break;
    default: le::put32(b, at, v); break;
    }
}

FieldError fromFixed(cp1251::FixedError e)
{
    switch (e) {
    case cp1251::FixedError::None: return FieldError::None;
    case cp1251::FixedError::TooLong: return FieldError::TextTooLong;
    case cp1251::FixedError::NotEncodable: return FieldError::NotEncodable;
    }
    return FieldError::BadValue;
}

std::optional<qint64> parseInteger(QStringView s)
{
    s = s.trimmed();
    bool ok = false;
    qint64 v = 0;
    if (s.startsWith(u"0x") || s.startsWith(u"0X")) {
        // Digits only after the prefix: "0x-5" or "0x+5" is no number.
        const QStringView digits = s.sliced(2);
        for (const QChar c : digits) {
            const char16_t u = c.unicode();
            if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
                return std::nullopt;
        }
        v = digits.toLongLong(&ok, 16);
    } else
        v = s.toLongLong(&ok, 10);
    return ok ? std::optional(v) : std::nullopt;
}

// A minus sign before the digits. An unsigned field refuses it whatever follows: "-0" and "-0.5" would
// otherwise pass the range check as 0 and 0.5.
bool negative(QStringView s)
{
    return s.trimmed().startsWith(u'-');
}

// "2.5" / "2,5" / "25" → tenths; further fraction digits are discarded, as the pages do.
std::optional<qint64> parseTenths(QStringView s)
{
    s = s.trimmed();
    qsizetype sep = s.indexOf(u'.');
    if (sep < 0)
        sep = s.indexOf(u',');
    const QStringView whole = sep < 0 ? s : s.first(sep);
    const QStringView frac = sep < 0 ? QStringView() : s.sliced(sep + 1);
    if (whole.isEmpty() && frac.isEmpty())
        return std::nullopt;
    for (QChar c : frac)
        if (!c.isDigit() || c.unicode() > 0x7F)
            return std::nullopt;
    qint64 v = 0;
    if (!whole.isEmpty()) {
        bool ok = false;
        v = whole.toLongLong(&ok, 10);
        if (!ok || v < 0 || v > 0x7FFFFFFF)
            return std::nullopt;
    }
    return v * 10 + (frac.isEmpty() ? 0 : frac[0].unicode() - '0');
}

std::optional<QByteArray> parseHex(QStringView s, qsizetype width)
{
    s = s.trimmed();
    if (s.size() != width * 2)
        return std::nullopt;
    const QByteArray digits = QByteArray::fromHex(s.toLatin1());
    if (digits.size() != width || digits.toHex().toUpper() != s.toLatin1().toUpper())
        return std::nullopt;
    QByteArray out(width, '\0');
    for (qsizetype i = 0; i < width; ++i)
        out[i] = digits[width - 1 - i]; // shown last byte first
    return out;
}

} // namespace

QString fieldErrorText(FieldError e)
{
    switch (e) {
    case FieldError::None: return QStringLiteral("ok");
    case FieldError::UnknownField: return QStringLiteral("unknown field");
    case FieldError::BadIndex: return QStringLiteral("index out of range");
    case FieldError::OutOfRange: return QStringLiteral("value out of range");
    case FieldError::BadValue: return QStringLiteral("not a valid value");
    case FieldError::TextTooLong: return QStringLiteral("text too long");
    case FieldError::NotEncodable: return QStringLiteral("character not representable in Windows-1251");
    case FieldError::ReadOnly: return QStringLiteral("reserved field");
    case FieldError::WrongKind: return QStringLiteral("wrong kind of value for this field");
    }
    return {};
}

QString fieldName(const FieldDef& f)
{
    QString n = QString::fromLatin1(f.name.data(), qsizetype(f.name.size()));
    if (!f.suffix.empty())
        n += u'_' + QString::fromLatin1(f.suffix.data(), qsizetype(f.suffix.size()));
    return n;
}

bool RecordBase::setBytes(QByteArrayView b)
{
    if (b.size() != m_bytes.size())
        return false;
    m_bytes = b.toByteArray();
    return true;
}

void RecordBase::fillFrom(QByteArrayView payload)
{
    const qsizetype n = std::min(payload.size(), m_bytes.size());
    m_bytes.replace(0, n, payload.first(n).toByteArray());
}

const FieldDef* RecordBase::field(QStringView name) const
{
    for (const FieldDef& f : m_layout->fields)
        if (matches(f, name))
            return &f;
    return nullptr;
}

qint64 RecordBase::numberAt(const FieldDef& f, int index) const
{
    if (!f.isInteger())
        return 0;
    const qsizetype at = f.elementOffset(index);
    const uint32_t w = readWord(m_bytes, at, f.size);
    if (f.isView())
        return (w >> f.elementBit(index)) & uint32_t((uint64_t(1) << f.bitCount) - 1);
    if (f.type == FieldType::I8)
        return int8_t(uint8_t(w));
    if (f.type == FieldType::I32)
        return int32_t(w);
    return w;
}

QString RecordBase::textAt(const FieldDef& f, int index) const
{
    return cp1251::readFixed(QByteArrayView(m_bytes).sliced(f.elementOffset(index), f.size));
}

QByteArray RecordBase::rawAt(const FieldDef& f, int index) const
{
    return m_bytes.sliced(f.elementOffset(index), f.size);
}

QString RecordBase::displayAt(const FieldDef& f, int index) const
{
    switch (f.encoding) {
    case Encoding::Text:
        return textAt(f, index);
    case Encoding::Hex: {
        QByteArray b = rawAt(f, index);
        std::reverse(b.begin(), b.end());
        return QString::fromLatin1(b.toHex().toUpper());
    }
    case Encoding::Reserved:
        return f.size == 1 ? QString::number(uint8_t(m_bytes[f.elementOffset(index)]))
                           : QString::fromLatin1(rawAt(f, index).toHex().toUpper());
    case Encoding::Tenths: {
        const qint64 v = numberAt(f, index);
        return QStringLiteral("%1.%2").arg(v / 10).arg(v % 10);
    }
    default:
        return QString::number(numberAt(f, index));
    }
}

FieldError RecordBase::storeNumberAt(const FieldDef& f, int index, qint64 value)
{
    if (f.encoding == Encoding::Reserved)
        return FieldError::ReadOnly;
    if (!f.isInteger())
        return FieldError::WrongKind;
    if (index < 0 || index >= f.count)
        return FieldError::BadIndex;
    if (value < f.capacityMin() || value > f.capacityMax())
        return FieldError::OutOfRange;
    const qsizetype at = f.elementOffset(index);
    uint32_t w = uint32_t(value);
    if (f.isView()) {
        const uint32_t mask = uint32_t((uint64_t(1) << f.bitCount) - 1) << f.elementBit(index);
        w = (readWord(m_bytes, at, f.size) & ~mask) | ((uint32_t(value) << f.elementBit(index)) & mask);
    }
    writeWord(m_bytes, at, f.size, w);
    return FieldError::None;
}

FieldError RecordBase::setNumberAt(const FieldDef& f, int index, qint64 value)
{
    if (f.isInteger() && f.encoding != Encoding::Reserved && (value < f.min || value > f.max))
        return FieldError::OutOfRange;
    return storeNumberAt(f, index, value);
}

FieldError RecordBase::setTextAt(const FieldDef& f, int index, QStringView value)
{
    if (f.encoding != Encoding::Text)
        return FieldError::WrongKind;
    if (index < 0 || index >= f.count)
        return FieldError::BadIndex;
    return fromFixed(cp1251::writeFixed(m_bytes, f.elementOffset(index), f.size, value));
}

FieldError RecordBase::setRawAt(const FieldDef& f, int index, QByteArrayView bytes)
{
    if (index < 0 || index >= f.count)
        return FieldError::BadIndex;
    if (bytes.size() != f.size)
        return FieldError::BadValue;
    if (f.isView())
        return FieldError::WrongKind; // a view's word belongs to its storage row
    m_bytes.replace(f.elementOffset(index), f.size, bytes.toByteArray());
    return FieldError::None;
}

FieldError RecordBase::setAt(const FieldDef& f, int index, QStringView value)
{
    if (index < 0 || index >= f.count)
        return FieldError::BadIndex;
    switch (f.encoding) {
    case Encoding::Reserved:
        return FieldError::ReadOnly;
    case Encoding::Text:
        return setTextAt(f, index, value);
    case Encoding::Hex: {
        const auto b = parseHex(value, f.size);
        return b ? setRawAt(f, index, *b) : FieldError::BadValue;
    }
    case Encoding::Tenths: {
        if (negative(value))
            return FieldError::OutOfRange;
        const auto v = parseTenths(value);
        return v ? setNumberAt(f, index, *v) : FieldError::BadValue;
    }
    default: {
        if (f.encoding != Encoding::Signed && negative(value))
            return FieldError::OutOfRange;
        const auto v = parseInteger(value);
        return v ? setNumberAt(f, index, *v) : FieldError::BadValue;
    }
    }
}

namespace {
template <typename T, typename Fn>
FieldResult<T> lookup(const RecordBase& r, QStringView name, int index, Fn fn)
{
    const FieldDef* f = r.field(name);
    if (!f)
        return {T{}, FieldError::UnknownField};
    if (index < 0 || index >= f->count)
        return {T{}, FieldError::BadIndex};
    return fn(*f);
}
} // namespace

FieldResult<qint64> RecordBase::number(QStringView name, int index) const
{
    return lookup<qint64>(*this, name, index, [&](const FieldDef& f) -> FieldResult<qint64> {
        if (!f.isInteger())
            return {0, FieldError::WrongKind};
        return {numberAt(f, index)};
    });
}

FieldResult<QString> RecordBase::text(QStringView name, int index) const
{
    return lookup<QString>(*this, name, index, [&](const FieldDef& f) -> FieldResult<QString> {
        if (f.encoding != Encoding::Text)
            return {{}, FieldError::WrongKind};
        return {textAt(f, index)};
    });
}

FieldResult<QString> RecordBase::get(QStringView name, int index) const
{
    return lookup<QString>(*this, name, index,
                           [&](const FieldDef& f) -> FieldResult<QString> { return {displayAt(f, index)}; });
}

FieldResult<QByteArray> RecordBase::raw(QStringView name, int index) const
{
    return lookup<QByteArray>(*this, name, index,
                              [&](const FieldDef& f) -> FieldResult<QByteArray> { return {rawAt(f, index)}; });
}

FieldError RecordBase::setNumber(QStringView name, int index, qint64 value)
{
    const FieldDef* f = field(name);
    return f ? setNumberAt(*f, index, value) : FieldError::UnknownField;
}

FieldError RecordBase::setText(QStringView name, int index, QStringView value)
{
    const FieldDef* f = field(name);
    return f ? setTextAt(*f, index, value) : FieldError::UnknownField;
}

FieldError RecordBase::set(QStringView name, int index, QStringView value)
{
    const FieldDef* f = field(name);
    return f ? setAt(*f, index, value) : FieldError::UnknownField;
}

ConfigBlock::ConfigBlock() : RecordBase(kConfigBlockLayout) {}
InpOutBlock::InpOutBlock() : RecordBase(kInpOutBlockLayout) {}
ConfSeBlock::ConfSeBlock() : RecordBase(kConfSeBlockLayout) {}

RecordBase& ConfigRecords::of(RecordKind kind)
{
    return const_cast<RecordBase&>(std::as_const(*this).of(kind));
}

const RecordBase& ConfigRecords::of(RecordKind kind) const
{
    switch (kind) {
    case RecordKind::Config: return config;
    case RecordKind::InpOut: return inpOut;
    case RecordKind::ConfSe: return confSe;
    }
    return config;
}

ConfigRecords& programRecords()
{
    static ConfigRecords records;
    return records;
}

} // namespace rv
