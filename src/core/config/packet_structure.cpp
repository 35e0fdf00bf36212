#include "core/config/packet_structure.h"

namespace rv::packet {

namespace {

bool storedBit(const TreeWords& w, const TreeNode& n)
{
    switch (n.store) {
    case Store::Word: return (w.word >> n.bit) & 1u;
    case Store::V1: return (w.v1[n.byte] >> n.bit) & 1u;
    case Store::None: break;
    }
    return false;
}

void setBit(TreeWords& w, const TreeNode& n)
{
    switch (n.store) {
    case Store::Word: w.word |= uint32_t(1) << n.bit; break;
    case Store::V1: w.v1[n.byte] = uint8_t(w.v1[n.byte] | (1u << n.bit)); break;
    case Store::None: break;
    }
}

// The last stored node: blocks 7 and 8 follow.
constexpr int kLastStoredNode = 53;

} // namespace

int listPacketSize(uint32_t packetStruct)
{
    int size = kListBaseSize;
    for (int i = 0; i < kListItemCount; ++i)
        if ((packetStruct >> i) & 1u)
            size += kListItems[i].bytes;
    return size;
}

TreeChoice treeChoice(const TreeWords& words)
{
    TreeChoice c;
    int blockNode = 0;
    for (int n = 0; n < kTreeNodeCount; ++n) {
        const TreeNode& node = kTreeNodes[n];
        if (node.isBlock) {
            blockNode = n;
        } else if (storedBit(words, node)) {
            c.set(n);
            c.set(blockNode);
        }
    }
    return c;
}

TreeWords treeWords(const TreeChoice& choice)
{
    TreeWords w;
    for (int n = 0; n <= kLastStoredNode; ++n)
        if (choice.test(n))
            setBit(w, kTreeNodes[n]);
    return w;
}

int treePacketSize(const TreeChoice& choice)
{
    int size = kTreeBaseSize;
    for (int n = 0; n <= kLastStoredNode; ++n)
        if (choice.test(n))
            size += kTreeNodes[n].bytes;
    return size;
}

Version versionOf(int protocolByte)
{
    switch (protocolByte) {
    case 1: return Version::List;
    case 2: return Version::Tree;
    default: return Version::Unknown;
    }
}

TreeWords treeWordsOf(const ConfigBlock& config)
{
    TreeWords w;
    w.word = uint32_t(config.number(u"PacketStruct").value);
    for (int i = 0; i < kV1Bytes; ++i)
        w.v1[i] = uint8_t(config.number(u"PacketStructV1", i).value);
    return w;
}

void setTreeWords(ConfigBlock& config, const TreeWords& words)
{
    config.setNumber(u"PacketStruct", words.word);
    for (int i = 0; i < kV1Bytes; ++i)
        config.setNumber(u"PacketStructV1", i, words.v1[i]);
}

PacketChoice packetChoice(const ConfigBlock& config)
{
    PacketChoice p;
    p.version = versionOf(int(config.number(u"Protocol").value));
    const TreeWords words = treeWordsOf(config);
    if (p.version == Version::List) {
        for (int i = 0; i < kListItemCount; ++i)
            if ((words.word >> i) & 1u)
                p.parameters.append({i, QString::fromUtf16(kListItems[i].caption), kListItems[i].bytes, false});
        p.size = listPacketSize(words.word);
    } else if (p.version == Version::Tree) {
        const TreeChoice c = treeChoice(words);
        for (int n = 0; n < kTreeNodeCount; ++n)
            if (c.test(n))
                p.parameters.append({n, QString::fromUtf16(kTreeNodes[n].caption), kTreeNodes[n].bytes,
                                     kTreeNodes[n].isBlock});
        p.size = treePacketSize(c);
    }
    return p;
}

} // namespace rv::packet
