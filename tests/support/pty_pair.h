#pragma once

#include <QByteArray>
#include <QString>

namespace rvtest {

// A pseudo-terminal pair: the test holds the master ("the unit") and the code under test opens the slave
// by its path, as it would open /dev/ttyUSB0.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    void unitWrite(QByteArrayView bytes);
    // Everything that arrives at the master within `ms`, stopping early once `expected` bytes are there.
    QByteArray unitRead(int ms, qsizetype expected = -1);
    void closeMaster(); // the cable is pulled

private:
    int m_master = -1;
    QString m_slavePath;
};

} // namespace rvtest
