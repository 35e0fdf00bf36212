#pragma once

#include "core/link/link.h"

namespace rv {

// The program's four small operations on its port: open by name (saying goodbye to the old port first),
// send bytes, send text, and note the bytes waiting when the port reports arrivals.
class PortChannel : public QObject {
    Q_OBJECT
public:
    explicit PortChannel(Link& link, QObject* parent = nullptr);

    // Writes "CONFIGC" to an open port and closes it, then opens `name`. True when open afterwards.
    bool Open_port(const QString& name);
    // Writes count > 0 bytes; 0 when there is nothing to send; -1 when the port is closed.
    int Send(QByteArrayView data);
    int SendStr(const char* text);
    // Handler of the port's arrival notification: `count` is the number of bytes in the input queue.
    void Comm_portRxChar(quint32 count);

    quint32 bytesWaiting() const { return m_bytesWaiting; }
    void clearBytesWaiting() { m_bytesWaiting = 0; }
    Link& link() { return m_link; }

signals:
    // Bytes arrived: the receive countdown restarts.
    void rxChar(quint32 count);

private:
    Link& m_link;
    quint32 m_bytesWaiting = 0;
};

} // namespace rv
