// The packet choice: which bits stand for which parameters in both versions, and the packet sizes.

#include "core/config/packet_structure.h"

#include <gtest/gtest.h>

#include <set>

using namespace rv;
using namespace rv::packet;

namespace {

int nodeCalled(const char16_t* caption)
{
    for (int n = 0; n < kTreeNodeCount; ++n)
        if (QString::fromUtf16(kTreeNodes[n].caption) == QString::fromUtf16(caption))
            return n;
    return -1;
}

// What the page reports for a tree where these items are ticked: the items and their blocks.
TreeChoice ticked(std::initializer_list<int> items)
{
    TreeChoice c;
    for (int n : items) {
        c.set(n);
        c.set(9 * kTreeNodes[n].block); // blocks 1..6 stand at nodes 0, 9, .., 45
    }
    return c;
}

} // namespace

TEST(PacketStructure, ListSize_ThirtyPlusTheTickedItems_HighBitsMeanNothing)
{
    EXPECT_EQ(listPacketSize(0), 30);
    EXPECT_EQ(listPacketSize(0xFFFF), 90);
    EXPECT_EQ(listPacketSize(0xFFFF0000u), 30);
    EXPECT_EQ(listPacketSize(1u << 10), 36); // "Код ключа iButton"
    EXPECT_EQ(QString::fromUtf16(kListItems[3].caption), QStringLiteral("Состоние входов и выходов"));
}

TEST(PacketStructure, TreeTable_BlocksWhereTheyBelong_EveryBitOnce)
{
    const int blocks[] = {0, 9, 18, 27, 36, 45};
    for (int b = 0; b < 6; ++b) {
        EXPECT_TRUE(kTreeNodes[blocks[b]].isBlock);
        EXPECT_EQ(kTreeNodes[blocks[b]].store, Store::Word);
        EXPECT_EQ(kTreeNodes[blocks[b]].bit, b);
    }
    EXPECT_EQ(kTreeNodes[54].store, Store::None);
    EXPECT_EQ(kTreeNodes[55].store, Store::None);
    std::set<int> used;
    for (const TreeNode& n : kTreeNodes) {
        if (n.store == Store::None)
            continue;
        const int key = n.store == Store::Word ? n.bit : 32 + 8 * n.byte + n.bit;
        EXPECT_TRUE(used.insert(key).second) << key;
    }
    // Every bit of the word except 6 and 7, and the first three bytes of PacketStructV1.
    EXPECT_EQ(used.size(), 30u + 24u);
    EXPECT_FALSE(used.count(6));
    EXPECT_FALSE(used.count(7));
    EXPECT_EQ(nodeCalled(u"Нагрузка на ось 5"), 44);
    EXPECT_EQ(nodeCalled(u"Напряжение на входе 8"), 17);
}

TEST(PacketStructure, HdopAlone_BitsZeroAndEleven_26Bytes)
{
    const TreeChoice c = ticked({nodeCalled(u"HDOP")});
    const TreeWords w = treeWords(c);
    EXPECT_EQ(w.word, (1u << 0) | (1u << 11));
    EXPECT_EQ(w.v1, (std::array<uint8_t, 5>{}));
    EXPECT_EQ(treePacketSize(c), 26);
    EXPECT_EQ(treeChoice(w), c);
}

TEST(PacketStructure, Adder485Alone_V1Byte0Is08_BlockBit3_43Bytes)
{
    const TreeChoice c = ticked({nodeCalled(u"Данные от 485 сумматора")});
    const TreeWords w = treeWords(c);
    EXPECT_EQ(w.word, 1u << 3);
    EXPECT_EQ(w.v1, (std::array<uint8_t, 5>{0x08, 0, 0, 0, 0}));
    EXPECT_EQ(treePacketSize(c), 43);
}

TEST(PacketStructure, EverythingStored_BlocksFollowItems_UnusedBitsCleared)
{
    const TreeWords all{0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
    const TreeChoice c = treeChoice(all);
    EXPECT_EQ(c.count(), 54u);
    EXPECT_EQ(treePacketSize(c), 165);
    const TreeWords back = treeWords(c);
    EXPECT_EQ(back.word, 0xFFFFFF3Fu);
    EXPECT_EQ(back.v1, (std::array<uint8_t, 5>{0xFF, 0xFF, 0xFF, 0, 0}));

    // Block bits alone stand for nothing: a block follows its items.
    EXPECT_TRUE(treeChoice(TreeWords{0x3F, {}}).none());
    EXPECT_EQ(treePacketSize(treeChoice(TreeWords{0x3F, {}})), 24);
    // Every single item stores its own bit and its block's, and reads back as itself.
    for (int n = 0; n < 54; ++n) {
        if (kTreeNodes[n].isBlock)
            continue;
        const TreeChoice one = ticked({n});
        EXPECT_EQ(treeChoice(treeWords(one)), one) << n;
        EXPECT_EQ(treePacketSize(one), 25 + kTreeNodes[n].bytes) << n;
    }
}

TEST(PacketStructure, ChoiceOfTheRecord_ByVersionByte)
{
    ConfigBlock c;
    c.setNumber(u"Protocol", 1);
    c.setNumber(u"PacketStruct", 0x00018401); // bits 0, 10, 15 and 16
    PacketChoice p = packetChoice(c);
    EXPECT_EQ(p.version, Version::List);
    ASSERT_EQ(p.parameters.size(), 3);
    EXPECT_EQ(p.parameters[1].caption, QStringLiteral("Код ключа iButton"));
    EXPECT_EQ(p.parameters[2].bytes, 8);
    EXPECT_EQ(p.size, 30 + 1 + 6 + 8);

    c.setNumber(u"Protocol", 2);
    c.setNumber(u"PacketStruct", 1u << 11);
    c.setNumber(u"PacketStructV1", 1, 0x80);
    p = packetChoice(c);
    EXPECT_EQ(p.version, Version::Tree);
    ASSERT_EQ(p.parameters.size(), 4);
    EXPECT_EQ(p.parameters[0].caption, QStringLiteral("Блок данных 1"));
    EXPECT_TRUE(p.parameters[0].isBlock);
    EXPECT_EQ(p.parameters[1].caption, QStringLiteral("HDOP"));
    EXPECT_EQ(p.parameters[3].caption, QStringLiteral("Нагрузка на ось 5"));
    EXPECT_EQ(p.size, 24 + 1 + 1 + 1 + 2);

    QByteArray b = c.bytes();
    for (char v : {char(0), char(7)}) {
        b[22] = v;
        c.setBytes(b);
        p = packetChoice(c);
        EXPECT_EQ(p.version, Version::Unknown);
        EXPECT_TRUE(p.parameters.isEmpty());
        EXPECT_FALSE(p.size.has_value());
    }
}
