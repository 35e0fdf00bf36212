#pragma once

// The three configuration records: fixed-size byte images exchanged with the unit and kept in .fcg files.
// Each record is its bytes plus a field table (*_fields.h); every field access goes through the table, and
// bytes no field write touches are carried through, so reading a record and writing it back without edits
// yields the same bytes.

#include "core/config/field_table.h"
#include "core/config/record_kind.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace rv {

enum class FieldError : uint8_t {
    None,
    UnknownField,
    BadIndex,
    OutOfRange,   // outside the documented range, or more than the bits hold
    BadValue,     // text that is not a value of the field's encoding
    TextTooLong,  // more than width - 1 bytes
    NotEncodable, // a character with no Windows-1251 byte
    ReadOnly,     // reserved bytes
    WrongKind     // a number asked of a text field, or the reverse
};

// A short English description, for command-line front ends and test output.
QString fieldErrorText(FieldError e);

template <typename T>
struct FieldResult
{
    T value{};
    FieldError error = FieldError::None;
    bool ok() const { return error == FieldError::None; }
    explicit operator bool() const { return ok(); }
};

class RecordBase
{
public:
    const QByteArray& bytes() const { return m_bytes; }
    qsizetype size() const { return m_bytes.size(); }
    // Takes a whole record image; any other length is ignored and reported as false.
    bool setBytes(QByteArrayView b);
    // Replaces the first min(payload.size(), size()) bytes; the rest keep theirs.
    void fillFrom(QByteArrayView payload);
    void clear() { m_bytes.fill('\0'); }
    const RecordLayout& layout() const { return *m_layout; }

    // Field by its full name ("Perpackmove", "Out2pause_actoh"); nullptr when the record has none.
    const FieldDef* field(QStringView name) const;

    // Integer fields and bit views, as stored (tenths as the count of tenths, signed fields signed).
    FieldResult<qint64> number(QStringView name, int index = 0) const;
    // Text fields, decoded from Windows-1251 up to the first NUL or the width.
    FieldResult<QString> text(QStringView name, int index = 0) const;
    // Any field in its displayed form: decimal, "2.5" for tenths, text as is, hex bytes last byte first.
    FieldResult<QString> get(QStringView name, int index = 0) const;
    // The element's bytes (a view's word).
    FieldResult<QByteArray> raw(QStringView name, int index = 0) const;

    // Checked against the documented range; nothing changes on an error.
    FieldError setNumber(QStringView name, int index, qint64 value);
    FieldError setNumber(QStringView name, qint64 value) { return setNumber(name, 0, value); }
    FieldError setText(QStringView name, int index, QStringView value);
    // Any field from its displayed form (as `get` gives it; tenths also accept ','), range-checked.
    FieldError set(QStringView name, int index, QStringView value);
    FieldError set(QStringView name, QStringView value) { return set(name, 0, value); }

    // Table-driven access for generic code (page binders, dumps). Index must be valid (0 <= i < f.count).
    qint64 numberAt(const FieldDef& f, int index) const;
    QString textAt(const FieldDef& f, int index) const;
    QString displayAt(const FieldDef& f, int index) const;
    QByteArray rawAt(const FieldDef& f, int index) const;
    // Stores any value the bits can hold, without the documented range: a gatherer that must keep an odd
    // stored value uses this. Reserved fields are refused.
    FieldError storeNumberAt(const FieldDef& f, int index, qint64 value);
    FieldError setNumberAt(const FieldDef& f, int index, qint64 value);
    FieldError setTextAt(const FieldDef& f, int index, QStringView value);
    FieldError setAt(const FieldDef& f, int index, QStringView value);
    // Exactly one element's bytes; also for reserved fields (carried-through bytes).
    FieldError setRawAt(const FieldDef& f, int index, QByteArrayView bytes);

protected:
    RecordBase(const RecordLayout& layout) : m_bytes(layout.size, '\0'), m_layout(&layout) {}

private:
    QByteArray m_bytes;
    const RecordLayout* m_layout;
};

// The full name of a field: name, or name_suffix for a field of a repeated structure.
QString fieldName(const FieldDef& f);

class ConfigBlock : public RecordBase
{
public:
    static constexpr qsizetype kSize = 512;
    ConfigBlock();
};

class InpOutBlock : public RecordBase
{
public:
    static constexpr qsizetype kSize = 513;
    static constexpr qsizetype kOutputReactionSize = 13;
    static constexpr qsizetype kEventRuleSize = 8;
    InpOutBlock();
};

class ConfSeBlock : public RecordBase
{
public:
    static constexpr qsizetype kSize = 26;
    ConfSeBlock();
};

struct ConfigRecords
{
    ConfigBlock config;
    InpOutBlock inpOut;
    ConfSeBlock confSe;

    // The record of a kind: the one place that maps a kind to its record.
    RecordBase& of(RecordKind kind);
    const RecordBase& of(RecordKind kind) const;
};

// The program-wide instances, zero-filled at start; they live for the whole run.
ConfigRecords& programRecords();

} // namespace rv
