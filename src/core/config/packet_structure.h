#pragma once

// Which optional data the unit puts into its navigation packets, and how long a packet is. The choice lives in
// the main settings record: `Protocol` says which of two packet versions the unit sends, `PacketStruct` and
// `PacketStructV1` say what goes in. Version byte 1 ("Версия 0") uses bits 0..15 of `PacketStruct` as a flat
// list; version byte 2 ("Версия 1") uses a tree of data blocks spread over `PacketStruct` and `PacketStructV1`.
// The packet structure page and the track export both read the choice through these functions.

#include "core/config/records.h"

#include <QList>
#include <QString>

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>

namespace rv::packet {

// ---- version byte 1: the flat list ----
inline constexpr int kListItemCount = 16;
inline constexpr int kListBaseSize = 30;

struct ListItem
{
    const char16_t* caption;
    int bytes;
};

inline constexpr std::array<ListItem, kListItemCount> kListItems{{
    {u"Статус устройства", 1},
    {u"Напряжение источника и аккумулятора", 4},
    {u"Температура устройства", 1},
    {u"Состоние входов и выходов", 2},
    {u"Напряжение на входах 1-2", 4},
    {u"Напряжение на входах 3-4", 4},
    {u"Напряжение на входах 5-6", 4},
    {u"Напряжение на входах 7-8", 4},
    {u"Внешняя температура 1-4", 4},
    {u"Внешняя температура 5-8", 4},
    {u"Код ключа iButton", 6},
    {u"Данные с частотных входов", 4},
    {u"Уровень топлива Omnicomm", 4},
    {u"Температура Omnicomm", 2},
    {u"Данные 1 с шины CAN", 4},
    {u"Данные 2 с шины CAN", 8},
}};

// 30 bytes plus the items whose bits (0..15) are set; higher bits mean nothing in this version.
int listPacketSize(uint32_t packetStruct);

// ---- version byte 2: the tree of data blocks ----
inline constexpr int kTreeNodeCount = 56;
inline constexpr int kTreeBlockCount = 8;
inline constexpr int kTreeBaseSize = 24;
inline constexpr int kV1Bytes = 5;

// Where a node is kept: a bit of `PacketStruct`, a bit of one of the first three bytes of `PacketStructV1`, or
// nowhere (blocks 7 and 8).
enum class Store : uint8_t { None, Word, V1 };

struct TreeNode
{
    const char16_t* caption;
    int block;     // 0..7: the data block the node is, or belongs to
    bool isBlock;
    Store store;
    int byte;      // Store::V1: byte 0..2 of PacketStructV1
    int bit;       // Store::Word: bit 0..31; Store::V1: bit 0..7
    int bytes;     // what the node adds to a packet
};

namespace detail {
constexpr TreeNode blk(const char16_t* c, int b, int bit) { return {c, b, true, Store::Word, 0, bit, 1}; }
constexpr TreeNode w(const char16_t* c, int b, int bit, int n) { return {c, b, false, Store::Word, 0, bit, n}; }
constexpr TreeNode v(const char16_t* c, int b, int byte, int bit, int n) { return {c, b, false, Store::V1, byte, bit, n}; }
} // namespace detail

// Display order, block nodes included.
inline constexpr std::array<TreeNode, kTreeNodeCount> kTreeNodes = [] {
    using namespace detail;
    return std::array<TreeNode, kTreeNodeCount>{{
        blk(u"Блок данных 1", 0, 0),
        w(u"Количество спутников", 0, 8, 1),
        w(u"Направление", 0, 9, 2),
        w(u"Высота", 0, 10, 2),
        w(u"HDOP", 0, 11, 1),
        w(u"Напряжение источника и аккумулятора", 0, 12, 4),
        w(u"Состояние входов и выходов", 0, 13, 2),
        w(u"Одометр GPS/ГЛОНАСС", 0, 14, 4),
        w(u"Данные с акселлерометра", 0, 15, 6),
        blk(u"Блок данных 2 (Входы)", 1, 1),
        w(u"Напряжение на входе 1", 1, 16, 2),
        w(u"Напряжение на входе 2", 1, 17, 2),
        w(u"Напряжение на входе 3", 1, 18, 2),
        w(u"Напряжение на входе 4", 1, 19, 2),
        w(u"Напряжение на входе 5", 1, 20, 2),
        w(u"Напряжение на входе 6", 1, 21, 2),
        w(u"Напряжение на входе 7", 1, 22, 2),
        w(u"Напряжение на входе 8", 1, 23, 2),
        blk(u"Блок данных 3", 2, 2),
        w(u"Температура прибора", 2, 24, 1),
        w(u"Код ключа", 2, 25, 6),
        w(u"Внешняя температура 1-2", 2, 26, 2),
        w(u"Внешняя температура 3-4", 2, 27, 2),
        w(u"Внешняя температура 5-8", 2, 28, 4),
        w(u"Моточасы", 2, 29, 2),
        w(u"Статус2", 2, 30, 1),
        w(u"Номер геозоны", 2, 31, 1),
        blk(u"Блок данных 4 (ДУТ)", 3, 3),
        v(u"Данные ДУТ1 цифровой", 3, 0, 0, 2),
        v(u"Данные ДУТ2 цифровой", 3, 0, 1, 2),
        v(u"Сумма ДУТ1+ДУТ2", 3, 0, 2, 2),
        v(u"Данные от 485 сумматора", 3, 0, 3, 18),
        v(u"Температура ДУТ1", 3, 0, 4, 1),
        v(u"Температура ДУТ2", 3, 0, 5, 1),
        v(u"ДУТ частотный (вход 1)", 3, 0, 6, 2),
        v(u"ДУТ частотный (вход 2)", 3, 0, 7, 2),
        blk(u"Блок данных 5 (CAN шина)", 4, 4),
        v(u"Уровень топлива, обороты ДВС, температура ДВС", 4, 1, 0, 4),
        v(u"Общий расход топлива", 4, 1, 1, 4),
        v(u"Общий пробег", 4, 1, 2, 4),
        v(u"Нагрузка на ось 1", 4, 1, 3, 2),
        v(u"Нагрузка на ось 2", 4, 1, 4, 2),
        v(u"Нагрузка на ось 3", 4, 1, 5, 2),
        v(u"Нагрузка на ось 4", 4, 1, 6, 2),
        v(u"Нагрузка на ось 5", 4, 1, 7, 2),
        blk(u"Блок данных 6 (CAN LOG)", 5, 5),
        v(u"Скорость", 5, 2, 0, 1),
        v(u"Префикс S", 5, 2, 1, 3),
        v(u"Префикс P", 5, 2, 2, 4),
        v(u"Префикс А или B", 5, 2, 3, 4),
        v(u"Префикс R", 5, 2, 4, 2),
        v(u"резерв", 5, 2, 5, 4),
        v(u"резерв", 5, 2, 6, 4),
        v(u"резерв", 5, 2, 7, 4),
        {u"Блок данных 7", 6, true, Store::None, 0, 0, 0},
        {u"Блок данных 8", 7, true, Store::None, 0, 0, 0},
    }};
}();

// The tree's words: `PacketStruct` and the five bytes of `PacketStructV1`.
struct TreeWords
{
    uint32_t word = 0;
    std::array<uint8_t, kV1Bytes> v1{};
    bool operator==(const TreeWords&) const = default;
};

// Node n is chosen: an item that is ticked, a block that is ticked or partly ticked.
using TreeChoice = std::bitset<kTreeNodeCount>;

// The choice the words stand for: every item whose bit is set; a block when any of its items is. The block
// bits 0..5 of the word are not read: a block follows its items, as the page shows it.
TreeChoice treeChoice(const TreeWords& words);
// The words of a choice: everything cleared (bytes 3 and 4 of PacketStructV1 too), then the bit of every chosen
// node 0..53 set. Blocks 7 and 8 store nothing.
TreeWords treeWords(const TreeChoice& choice);
// 24 bytes plus every chosen node 0..53 (a chosen block adds its one byte).
int treePacketSize(const TreeChoice& choice);

// ---- the record ----
enum class Version : uint8_t { List, Tree, Unknown };
// Version byte 1 is the list, 2 the tree; any other byte names no version the unit is known to send.
Version versionOf(int protocolByte);

TreeWords treeWordsOf(const ConfigBlock& config);
void setTreeWords(ConfigBlock& config, const TreeWords& words);

// One parameter a packet carries.
struct Parameter
{
    int index;       // list item (version byte 1) or tree node (version byte 2)
    QString caption;
    int bytes;
    bool isBlock;    // a data-block header of the tree
};

struct PacketChoice
{
    Version version = Version::Unknown;
    QList<Parameter> parameters; // in list or display order
    std::optional<int> size;     // none for an unknown version
};

// What the record says the unit's packets carry, and how long they are.
PacketChoice packetChoice(const ConfigBlock& config);

} // namespace rv::packet
