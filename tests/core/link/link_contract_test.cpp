// The link contract for the in-memory fake that the protocol tests run on.

#include "core/link/memory_link.h"
#include "link_contract.h"

namespace {

using namespace rv;

struct MemoryHarness {
    MemoryLink link;
    QString portName() const { return QStringLiteral("mem0"); }
    QString missingPort()
    {
        link.setMissingPorts({QStringLiteral("nowhere")});
        return QStringLiteral("nowhere");
    }
    void unitSend(QByteArrayView b) { link.feed(b); }
    QByteArray unitReceive(qsizetype) { return link.takeWritten(); }
    void unplug() { link.setUnplugged(true); }
};

} // namespace

namespace rvtest {
INSTANTIATE_TYPED_TEST_SUITE_P(Memory, LinkContract, MemoryHarness);
} // namespace rvtest
