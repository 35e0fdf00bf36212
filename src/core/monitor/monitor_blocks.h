#pragma once

// The two live monitor stores. Each lives for the whole run, starts zero-filled and keeps only the
// last values received: a payload overwrites the store from offset 0, a shorter one leaves the rest.

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>

namespace rv {

// A fixed store that a block's payload overwrites from offset 0; longer payloads are cut silently.
template <qsizetype N>
class MonitorStore
{
public:
    static constexpr qsizetype kSize = N;

    const QByteArray& bytes() const { return m_bytes; }
    // First min(len, kSize) bytes replaced; the rest keep theirs.
    void fillFrom(QByteArrayView payload)
    {
        const qsizetype n = payload.size() < N ? payload.size() : N;
        if (n > 0)
            std::memcpy(m_bytes.data(), payload.data(), static_cast<size_t>(n));
    }

private:
    QByteArray m_bytes = QByteArray(N, '\0');
};

class GpsBlock : public MonitorStore<105> {};
class DeviceBlock : public MonitorStore<115> {};

struct MonitorBlocks
{
    GpsBlock gps;
    DeviceBlock device;
};

// The program-wide stores, read by the monitor views and by other pages (coordinates, fuel levels...).
MonitorBlocks& programMonitorBlocks();

} // namespace rv
