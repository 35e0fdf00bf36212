#pragma once

// Field tables: each record layout is written once as rows {name, offset, size, type, ...}. Storage rows tile
// the record byte for byte (reserved bytes included); view rows name bit groups inside a storage word.
// All checks on a table run at compile time (checkLayout, used in static_assert).

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace rv {

enum class FieldType : uint8_t { U8, U16, U32, I8, I32, Chars, Bytes };

enum class Encoding : uint8_t {
    Number,    // unsigned decimal
    Signed,    // two's complement decimal
    Tenths,    // unsigned count of 0.1
    Text,      // Windows-1251, NUL-terminated inside the width
    Hex,       // bytes shown as upper-case hex, last byte first
    Bits,      // a bit or bit group inside a word
    Nibble,    // a 4-bit group inside a byte
    ListIndex, // item index of a list
    Reserved   // carried through untouched, never set
};

struct FieldDef
{
    std::string_view name = {};
    std::string_view suffix = {}; // instance of a repeated structure ("actin"); the full name is name_suffix
    uint16_t offset = 0;     // first element
    uint16_t size = 0;       // bytes of one element (the word, for a view)
    FieldType type = FieldType::U8;
    Encoding encoding = Encoding::Number;
    uint16_t count = 1;      // elements
    uint16_t stride = 0;     // bytes from one element to the next
    uint8_t bitLow = 0;      // views only: lowest bit inside the word
    uint8_t bitCount = 0;    // 0 = storage row; >0 = view of bitCount bits
    uint8_t bitStride = 0;   // views only: bits from one element to the next (bit arrays in one word)
    int64_t min = 0;         // accepted range of a checked set (the displayed value's raw units)
    int64_t max = 0;

    constexpr bool isView() const { return bitCount != 0; }
    constexpr qsizetype elementOffset(int i) const { return offset + i * stride; }
    constexpr int elementBit(int i) const { return bitLow + i * bitStride; }
    // The largest raw value the bits can hold, whatever the documented range.
    constexpr int64_t capacityMax() const
    {
        if (isView())
            return (int64_t(1) << bitCount) - 1;
        switch (type) {
        case FieldType::U8: return 0xFF;
        case FieldType::U16: return 0xFFFF;
        case FieldType::U32: return 0xFFFFFFFFLL;
        case FieldType::I8: return 127;
        case FieldType::I32: return 0x7FFFFFFF;
        default: return 0;
        }
    }
    constexpr int64_t capacityMin() const
    {
        if (!isView() && type == FieldType::I8)
            return -128;
        if (!isView() && type == FieldType::I32)
            return -0x80000000LL;
        return 0;
    }
    constexpr bool isInteger() const
    {
        return isView() || (type != FieldType::Chars && type != FieldType::Bytes);
    }
};

struct RecordLayout
{
    std::string_view name = {};
    qsizetype size;
    std::span<const FieldDef> fields;
};

namespace fields {

constexpr uint16_t typeSize(FieldType t)
{
    switch (t) {
    case FieldType::U8: case FieldType::I8: case FieldType::Chars: case FieldType::Bytes: return 1;
    case FieldType::U16: return 2;
    case FieldType::U32: case FieldType::I32: return 4;
    }
    return 0;
}

constexpr int64_t typeMax(FieldType t)
{
    return FieldDef{.type = t}.capacityMax();
}

// One integer (or an array of them).
constexpr FieldDef num(std::string_view name, uint16_t off, FieldType t, int64_t min, int64_t max,
                       uint16_t count = 1, uint16_t stride = 0, Encoding enc = Encoding::Number)
{
    return FieldDef{.name = name, .offset = off, .size = typeSize(t), .type = t, .encoding = enc,
                    .count = count, .stride = stride ? stride : typeSize(t), .min = min, .max = max};
}
constexpr FieldDef u8(std::string_view name, uint16_t off, int64_t max = 0xFF, int64_t min = 0)
{
    return num(name, off, FieldType::U8, min, max);
}
constexpr FieldDef u16(std::string_view name, uint16_t off, int64_t max = 0xFFFF, int64_t min = 0)
{
    return num(name, off, FieldType::U16, min, max);
}
constexpr FieldDef tenths(std::string_view name, uint16_t off, int64_t max)
{
    return num(name, off, FieldType::U8, 0, max, 1, 0, Encoding::Tenths);
}
constexpr FieldDef u8s(std::string_view name, uint16_t off, uint16_t count, int64_t min = 0, int64_t max = 0xFF)
{
    return num(name, off, FieldType::U8, min, max, count);
}
constexpr FieldDef u16s(std::string_view name, uint16_t off, uint16_t count, int64_t min = 0,
                        int64_t max = 0xFFFF, uint16_t stride = 2)
{
    return num(name, off, FieldType::U16, min, max, count, stride);
}
// A bit field word: whole-word access plus the views declared after it.
constexpr FieldDef word(std::string_view name, uint16_t off, FieldType t, uint16_t count = 1, uint16_t stride = 0)
{
    return num(name, off, t, 0, typeMax(t), count, stride, Encoding::Bits);
}
constexpr FieldDef text(std::string_view name, uint16_t off, uint16_t width, uint16_t count = 1)
{
    return FieldDef{.name = name, .offset = off, .size = width, .type = FieldType::Chars,
                    .encoding = Encoding::Text, .count = count, .stride = width};
}
constexpr FieldDef hexBytes(std::string_view name, uint16_t off, uint16_t width, uint16_t count = 1)
{
    return FieldDef{.name = name, .offset = off, .size = width, .type = FieldType::Bytes,
                    .encoding = Encoding::Hex, .count = count, .stride = width};
}
constexpr FieldDef reserved(std::string_view name, uint16_t off, uint16_t size = 1)
{
    return FieldDef{.name = name, .offset = off, .size = size, .type = FieldType::Bytes,
                    .encoding = Encoding::Reserved, .stride = size};
}
// A view of bits [low, low+n) of the word at off (of type t); count/stride repeat it over an array of words,
// bitStride over neighbouring bits of one word.
constexpr FieldDef bits(std::string_view name, uint16_t off, FieldType t, uint8_t low, uint8_t n = 1,
                        Encoding enc = Encoding::Bits, int64_t max = -1, uint16_t count = 1,
                        uint16_t stride = 0, uint8_t bitStride = 0)
{
    return FieldDef{.name = name, .offset = off, .size = typeSize(t), .type = t, .encoding = enc,
                    .count = count, .stride = stride, .bitLow = low, .bitCount = n, .bitStride = bitStride,
                    .min = 0, .max = max < 0 ? (int64_t(1) << n) - 1 : max};
}
constexpr FieldDef bitArray(std::string_view name, uint16_t off, FieldType t, uint8_t low, uint16_t count)
{
    return bits(name, off, t, low, 1, Encoding::Bits, 1, count, 0, 1);
}
constexpr FieldDef nibble(std::string_view name, uint16_t off, uint8_t low, int64_t max = 15,
                          uint16_t count = 1, uint16_t stride = 0, Encoding enc = Encoding::ListIndex)
{
    return bits(name, off, FieldType::U8, low, 4, enc, max, count, stride);
}

// The full name is name, or name_suffix for a field of a repeated structure.
constexpr bool hasFullName(const FieldDef& f, std::string_view full)
{
    if (f.suffix.empty())
        return f.name == full;
    return full.size() == f.name.size() + 1 + f.suffix.size() && full.substr(0, f.name.size()) == f.name
           && full[f.name.size()] == '_' && full.substr(f.name.size() + 1) == f.suffix;
}

constexpr bool sameName(const FieldDef& a, const FieldDef& b)
{
    if (a.suffix.empty())
        return hasFullName(b, a.name);
    if (b.suffix.empty())
        return hasFullName(a, b.name);
    return a.name == b.name && a.suffix == b.suffix;
}

// A field by its full name, looked up while compiling: a misspelt name does not build.
template <std::size_t N>
consteval const FieldDef& find(const std::array<FieldDef, N>& table, std::string_view full)
{
    for (const FieldDef& f : table)
        if (hasFullName(f, full))
            return f;
    throw "no such field";
}

// No name appears in both tables (names are unique across the three records).
template <std::size_t N, std::size_t M>
constexpr bool namesDisjoint(const std::array<FieldDef, N>& a, const std::array<FieldDef, M>& b)
{
    for (const FieldDef& x : a)
        for (const FieldDef& y : b)
            if (sameName(x, y))
                return false;
    return true;
}

// True when the storage rows cover every byte of a record of `size` bytes exactly once, every view lies on a
// storage element of its own size and keeps its bits inside that word, ranges fit their bits, and names are
// unique.
template <std::size_t N>
constexpr bool checkLayout(const std::array<FieldDef, N>& table, std::size_t size)
{
    std::array<uint8_t, 1024> cover{};
    if (size > cover.size())
        return false;
    for (const FieldDef& f : table) {
        if (f.count == 0 || f.size == 0 || f.name.empty())
            return false;
        if (f.type != FieldType::Chars && f.type != FieldType::Bytes && f.size != typeSize(f.type))
            return false;
        if (f.min > f.max && f.encoding != Encoding::Text && f.encoding != Encoding::Hex
            && f.encoding != Encoding::Reserved)
            return false;
        for (int i = 0; i < f.count; ++i) {
            const std::size_t at = f.offset + std::size_t(i) * f.stride;
            if (at + f.size > size)
                return false;
            if (f.isView()) {
                if (f.elementBit(i) + f.bitCount > f.size * 8)
                    return false;
                if (f.max > f.capacityMax())
                    return false;
                bool onStorage = false;
                for (const FieldDef& s : table) {
                    if (s.isView() || s.size != f.size)
                        continue;
                    for (int k = 0; k < s.count; ++k)
                        onStorage = onStorage || s.offset + std::size_t(k) * s.stride == at;
                }
                if (!onStorage)
                    return false;
            } else {
                if (i > 0 && f.stride < f.size)
                    return false;
                for (std::size_t b = at; b < at + f.size; ++b)
                    if (cover[b]++)
                        return false;
            }
        }
        if (f.isInteger() && (f.max > f.capacityMax() || f.min < f.capacityMin()))
            return false;
    }
    for (std::size_t b = 0; b < size; ++b)
        if (cover[b] != 1)
            return false;
    for (std::size_t a = 0; a < N; ++a)
        for (std::size_t b = a + 1; b < N; ++b)
            if (sameName(table[a], table[b]))
                return false;
    return true;
}

} // namespace fields
} // namespace rv
