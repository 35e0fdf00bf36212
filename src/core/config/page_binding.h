#pragma once

// Binding tables: how the controls of an editor page show record fields. A page declares one row per
// control (objectName → record field, encoding, input rule); generic code spreads the records into the
// controls and gathers them back. Everything here is widget-free: a control's state is a ControlValue, so
// the conversions and the "keep what the control could not show" rule are tested without widgets.
//
// The rule that protects the records: a gathering gives back the bits that were spread into a control for
// as long as that control still shows what it was given. Only a control the user changed is encoded anew.
// So a value a control cannot show exactly (a list index past the end, a text without its NUL, a number
// wider than its edit) survives a read and a write unchanged.

#include "core/config/config_block_fields.h"
#include "core/config/confse_block_fields.h"
#include "core/config/inpout_block_fields.h"
#include "core/config/input_rules.h"
#include "core/config/records.h"
#include "core/config/record_kind.h"

#include <QList>

#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace rv {

enum class Enc : uint8_t {
    Number,    // an edit holding an unsigned decimal number
    Signed,    // an edit holding a signed decimal number (two's complement in the record)
    Tenths,    // an edit holding a count of tenths with ',' ("2,5" for 25)
    Volts,     // an edit holding raw counts × scale in volts, 3 significant digits, ',' ("10,5")
    Text,      // an edit holding a Windows-1251 text, NUL-terminated inside the field's width
    Phone,     // an edit showing a stored phone number behind a leading "8"; "+7…" and "7…" are typed too
    Check,     // a check box: one bit (a one-bit view, or `bit` of a word)
    Radio,     // one radio button: checked when the field holds `value`; checking it stores `value`
    ListIndex, // a drop-down: item index = stored value − `value`; −1 when no item stands for it
    Slider,    // a slider over the field's documented range, with an optional label showing the value
};

// The element a page shows now (one connection, one input). Rows with it are written into the record the
// moment the user changes their control, and never gathered.
inline constexpr int kCurrentElement = -1;

struct Binding
{
    std::string_view control = {};       // objectName
    std::string_view field = {};         // full field name; empty: the same as `control`
    RecordKind record = RecordKind::Config;
    Enc enc = Enc::Number;
    int element = 0;                     // array element, or kCurrentElement
    int itemStride = 1;                  // kCurrentElement: field element = item × itemStride + itemOffset
    int itemOffset = 0;
    int bit = -1;                        // Check: bit of a word field; −1 when the field is a one-bit view
    int value = 0;                       // Radio: the value the button stands for; ListIndex: value of item 0
    std::string_view label = {};         // Slider: objectName of the label showing the value
    KeyFilter keys = KeyFilter::None;    // edits only
    Validator validator = Validator::None;
    int scaleNum = 1;                    // Volts: volts = count × scaleNum / scaleDen
    int scaleDen = 1;

    constexpr std::string_view fieldName() const { return field.empty() ? control : field; }
    constexpr bool atOnce() const { return element == kCurrentElement; }
    constexpr bool isEdit() const { return enc <= Enc::Phone; }

    // Builders for readable tables: number("IP_server1").of("IP_server", 0).rule(Validator::Val_0_255).
    constexpr Binding of(std::string_view f, int e = 0) const { Binding b = *this; b.field = f; b.element = e; return b; }
    constexpr Binding at(int e) const { Binding b = *this; b.element = e; return b; }
    // A row of the current item whose field holds several elements per item (two thresholds per input).
    constexpr Binding perItem(int stride, int offset) const
    {
        Binding b = *this;
        b.itemStride = stride;
        b.itemOffset = offset;
        return b;
    }
    constexpr Binding in(RecordKind r) const { Binding b = *this; b.record = r; return b; }
    constexpr Binding rule(Validator v) const { Binding b = *this; b.validator = v; return b; }
    constexpr Binding filter(KeyFilter k) const { Binding b = *this; b.keys = k; return b; }
    constexpr Binding bitAt(int n) const { Binding b = *this; b.bit = n; return b; }
};

namespace bind {
// An edit of a decimal number, digits only.
constexpr Binding number(std::string_view control) { return {.control = control, .keys = KeyFilter::Digit}; }
constexpr Binding signedNumber(std::string_view control)
{
    return {.control = control, .enc = Enc::Signed, .keys = KeyFilter::SignedDigit};
}
constexpr Binding tenths(std::string_view control)
{
    return {.control = control, .enc = Enc::Tenths, .keys = KeyFilter::Float};
}
constexpr Binding volts(std::string_view control, int num, int den)
{
    return {.control = control, .enc = Enc::Volts, .keys = KeyFilter::Float, .scaleNum = num, .scaleDen = den};
}
constexpr Binding text(std::string_view control) { return {.control = control, .enc = Enc::Text}; }
constexpr Binding phone(std::string_view control)
{
    return {.control = control, .enc = Enc::Phone, .keys = KeyFilter::Phone, .validator = Validator::Phone};
}
constexpr Binding check(std::string_view control) { return {.control = control, .enc = Enc::Check}; }
constexpr Binding radio(std::string_view control, std::string_view field, int value)
{
    return {.control = control, .field = field, .enc = Enc::Radio, .value = value};
}
constexpr Binding list(std::string_view control, int firstValue = 0)
{
    return {.control = control, .enc = Enc::ListIndex, .value = firstValue};
}
constexpr Binding slider(std::string_view control, std::string_view label)
{
    return {.control = control, .enc = Enc::Slider, .label = label};
}
} // namespace bind

// A control's state, whatever its kind; only the member of the row's encoding is used. A drop-down bound with
// an edit's encoding (a baud rate chosen from a list or typed) holds its text.
struct ControlValue
{
    QString text = {};     // edits
    int index = -1;        // drop-down item (−1: none), slider position
    bool checked = false;  // check boxes, radio buttons
    bool operator==(const ControlValue&) const = default;
};

// What the record holds in the bits a row owns: the whole element, or the row's bits of it.
struct StoredBits
{
    qint64 number = 0;
    QByteArray bytes; // texts
    bool operator==(const StoredBits&) const = default;
};

// What a spreader remembers of one control: what it was given to show, and the bits that gave it.
struct Spread
{
    ControlValue shown;
    StoredBits stored;
};

RecordBase& recordOf(ConfigRecords& records, RecordKind kind);
const RecordBase& recordOf(const ConfigRecords& records, RecordKind kind);
// The row's field in its record; nullptr when the record lacks it (tables are checked while compiling).
const FieldDef* fieldOf(const RecordBase& record, const Binding& b);
// The field element a row shows when the page shows item `item`; −1 when the field has none for that item
// (a field that exists for inputs 1 and 2 only): such a row is neither filled nor written.
int fieldElement(const RecordBase& record, const Binding& b, int item);

// The control's state for the record's value. `listItems`: the drop-down's item count.
ControlValue showValue(const RecordBase& record, const Binding& b, int element, int listItems = 0);
// The stored value as a decimal number: a slider's label, or what a list shows when no item stands for it.
QString storedNumberText(const RecordBase& record, const Binding& b, int element);
// Encodes the control's state into the record. A value the field cannot hold, or a text that is not a value
// of the encoding, is refused and nothing changes. A radio button that is not checked, or a drop-down with
// no item chosen, stores nothing.
FieldError storeValue(RecordBase& record, const Binding& b, int element, const ControlValue& v);
// Whether storeValue would accept the state (nothing changes).
FieldError checkValue(const RecordBase& record, const Binding& b, int element, const ControlValue& v);

StoredBits storedBits(const RecordBase& record, const Binding& b, int element);
void restoreBits(RecordBase& record, const Binding& b, int element, const StoredBits& bits);

// One control at gathering time.
struct GatherRow
{
    const Binding* binding = nullptr;
    int element = 0;
    ControlValue now;
    std::optional<Spread> spread; // none: the control was never filled from a record
};

// Gathers the rows into the records: first every control that still shows what it was spread gives back its
// stored bits, then every other control is encoded (so a changed radio button or list wins over an unchanged
// neighbour that shares its bits). Returns the indexes of the rows whose values were refused; those leave
// the record as it was.
QList<int> gatherRows(ConfigRecords& records, std::span<const GatherRow> rows);

// ---- compile-time check of a table ----
namespace bindcheck {

template <std::size_t N>
consteval std::optional<FieldDef> findIn(const std::array<FieldDef, N>& table, std::string_view name)
{
    for (const FieldDef& f : table)
        if (fields::hasFullName(f, name))
            return f;
    return std::nullopt;
}

consteval std::optional<FieldDef> fieldFor(RecordKind r, std::string_view name)
{
    switch (r) {
    case RecordKind::Config: return findIn(fields::kConfigBlockFields, name);
    case RecordKind::InpOut: return findIn(fields::kInpOutBlockFields, name);
    case RecordKind::ConfSe: return findIn(fields::kConfSeBlockFields, name);
    }
    return std::nullopt;
}

} // namespace bindcheck

// Every row names a field of its record with an encoding that fits it, and every control appears once.
// Used in static_assert: a misspelt name or a wrong encoding does not build.
template <std::size_t N>
consteval bool checkBindings(const std::array<Binding, N>& table)
{
    for (std::size_t i = 0; i < N; ++i) {
        const Binding& b = table[i];
        const std::optional<FieldDef> f = bindcheck::fieldFor(b.record, b.fieldName());
        if (!f)
            throw "a binding names a field its record lacks";
        if (b.element != kCurrentElement && (b.element < 0 || b.element >= f->count))
            throw "a binding's element is past its field";
        const bool textual = b.enc == Enc::Text || b.enc == Enc::Phone;
        if (textual != (f->encoding == Encoding::Text) || f->encoding == Encoding::Reserved
            || f->encoding == Encoding::Hex)
            throw "a binding's encoding does not fit its field";
        if (b.enc == Enc::Check && b.bit < 0 && !(f->isView() && f->bitCount == 1))
            throw "a check box needs a one-bit view or a bit of a word";
        if (b.bit >= 0 && (b.enc != Enc::Check || f->isView() || b.bit >= f->size * 8))
            throw "a bit outside its word";
        if (b.enc == Enc::Volts && (b.scaleNum <= 0 || b.scaleDen <= 0))
            throw "volts need a scale";
        for (std::size_t k = i + 1; k < N; ++k)
            if (table[k].control == b.control)
                throw "a control appears twice";
    }
    return true;
}

} // namespace rv
