#pragma once

#include "core/link/link.h"

#include <QList>
#include <QHash>
#include <QSet>

namespace rv {

// An in-memory link for tests and front ends without a port. The "unit" side feeds bytes in and takes
// what the program wrote; every write of the program is kept separately so tests can check the pieces.
class MemoryLink : public Link {
    Q_OBJECT
public:
    using Link::Link;

    bool open(const QString& name) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    int write(QByteArrayView data) override;
    QByteArray read(int maxCount) override;
    void discardInput() override { m_input.clear(); }
    QString lastOpenError() const override { return m_lastError; }
    OpenFailure lastOpenFailure() const override { return m_lastFailure; }

    // Unit side.
    void feed(QByteArrayView bytes);               // bytes arrive; bytesArrived fires at once
    QByteArray written() const { return m_written.join(); }
    QList<QByteArray> writes() const { return m_written; }
    QByteArray takeWritten();
    void setUnplugged(bool unplugged) { m_unplugged = unplugged; } // writes fail, as on a pulled cable
    void hangUp() { m_unplugged = true; emit hungUp(); }            // unplugged, and the port says so
    void setMissingPorts(const QSet<QString>& names)
    {
        for (const QString& n : names)
            m_failures.insert(n, OpenFailure::Missing);
    }
    void setOpenFailure(const QString& name, OpenFailure failure) { m_failures.insert(name, failure); }
    QString openedName() const { return m_name; }
    int openCount() const { return m_openCount; }
    qsizetype pendingInput() const { return m_input.size(); }

private:
    bool m_open = false;
    bool m_unplugged = false;
    int m_openCount = 0;
    QString m_name;
    QString m_lastError;
    QByteArray m_input;
    QList<QByteArray> m_written;
    QHash<QString, OpenFailure> m_failures;
    OpenFailure m_lastFailure = OpenFailure::None;
};

} // namespace rv
