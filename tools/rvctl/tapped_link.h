#pragma once

// The serial link as the session controller sees it, keeping a copy of the bytes that the analysis now
// running has read. The controller reports that a record arrived, not how much of it; this front end
// reads the same reply again to tell a whole record from part of one.

#include "core/link/link.h"

namespace rvctl {

class TappedLink : public rv::Link {
    Q_OBJECT
public:
    explicit TappedLink(rv::Link& inner, QObject* parent = nullptr);

    bool open(const QString& name) override { return m_inner.open(name); }
    void close() override { m_inner.close(); }
    bool isOpen() const override { return m_inner.isOpen(); }
    int write(QByteArrayView data) override { return m_inner.write(data); }
    QByteArray read(int maxCount) override;
    void discardInput() override { m_inner.discardInput(); }
    QString lastOpenError() const override { return m_inner.lastOpenError(); }
    rv::OpenFailure lastOpenFailure() const override { return m_inner.lastOpenFailure(); }

    // Every byte read since control last returned to the event loop: the analysis runs in one go, so
    // while the controller reports a reply these are the bytes it found the reply in.
    const QByteArray& currentBurst() const { return m_burst; }

private:
    rv::Link& m_inner;
    QByteArray m_burst;
    bool m_clearPosted = false;
};

} // namespace rvctl
