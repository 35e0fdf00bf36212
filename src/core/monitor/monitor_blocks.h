#pragma once

// The two live monitor stores. Each lives for the whole run, starts zero-filled and keeps only the
// last values received: a payload overwrites the store from offset 0, a shorter one leaves the rest.

#include <QByteArray>
#include <QByteArrayView>

namespace rv {

class GpsBlock
{
public:
    static constexpr qsizetype kSize = 105;

    const QByteArray& bytes() const { return m_bytes; }
    // First min(len, kSize) bytes replaced; the rest keep theirs. Longer payloads are cut silently.
    void fillFrom(QByteArrayView payload);

private:
    QByteArray m_bytes = QByteArray(kSize, '\0');
};

class DeviceBlock
{
public:
    static constexpr qsizetype kSize = 115;

    const QByteArray& bytes() const { return m_bytes; }
    void fillFrom(QByteArrayView payload);

private:
    QByteArray m_bytes = QByteArray(kSize, '\0');
};

struct MonitorBlocks
{
    GpsBlock gps;
    DeviceBlock device;
};

// The program-wide stores, read by the monitor views and by other pages (coordinates, fuel levels...).
MonitorBlocks& programMonitorBlocks();

} // namespace rv
