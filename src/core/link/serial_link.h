#pragma once

#include "core/link/link.h"
#include "core/link/thread_comm.h"

namespace rv {

// The Link over the serial component, set up as the program's `Comm_port`: 115200 8N1, 1024-byte queues.
class SerialLink : public Link {
    Q_OBJECT
public:
    explicit SerialLink(QObject* parent = nullptr);
    ~SerialLink() override;

    bool open(const QString& name) override;
    void close() override { m_comm.Close(); }
    bool isOpen() const override { return m_comm.Enabled(); }
    int write(QByteArrayView data) override;
    QByteArray read(int maxCount) override;
    void discardInput() override { m_comm.PurgeIn(); }
    QString lastOpenError() const override { return m_lastOpenError; }
    OpenFailure lastOpenFailure() const override;

    TComm& comm() { return m_comm; }

signals:
    // An error raised by the serial component (its message ends in "(Error: %d)").
    void commError(const QString& message);

private:
    TComm m_comm;
    QString m_lastOpenError;
};

} // namespace rv
