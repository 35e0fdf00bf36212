// The link contract for the termios port, on a pseudo-terminal.

#include "core/link/serial_link.h"
#include "link_contract.h"
#include "support/pty_pair.h"

namespace {

using namespace rv;

struct SerialHarness {
    rvtest::PtyPair pty;
    SerialLink link;
    QString portName() const { return pty.slavePath(); }
    QString missingPort() const { return QStringLiteral("/dev/rvconf-no-such-port"); }
    void unitSend(QByteArrayView b) { pty.unitWrite(b); }
    QByteArray unitReceive(qsizetype expected) { return pty.unitRead(rvtest::kPatienceMs, expected); }
    void unplug() { pty.closeMaster(); }
};

} // namespace

namespace rvtest {
INSTANTIATE_TYPED_TEST_SUITE_P(Serial, LinkContract, SerialHarness);
} // namespace rvtest
