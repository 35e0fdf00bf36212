#pragma once

// Replies as a unit sends them, for feeding the session in tests.

#include "core/base/bytes.h"
#include "core/base/checksum.h"

#include <QByteArray>

namespace rvtest {

inline QByteArray recordReply(const char* marker, QByteArrayView payload, int checksumDelta = 0,
                              const char* status = "")
{
    QByteArray r(marker);
    r += status;
    r += rv::le::bytes16(static_cast<uint16_t>(payload.size()));
    r += payload.toByteArray();
    r += rv::le::bytes16(static_cast<uint16_t>(rv::blockChecksum(payload) + checksumDelta));
    return r;
}

inline QByteArray monitorReply(const char* marker, QByteArrayView payload)
{
    QByteArray r(marker);
    r += rv::le::bytes16(static_cast<uint16_t>(payload.size()));
    r += payload.toByteArray();
    r += 'E';
    return r;
}

inline QByteArray rvTr(uint8_t type, uint32_t options)
{
    QByteArray r("RV-TR");
    r += static_cast<char>(type);
    r += '\x01';
    r += rv::le::bytes32(options);
    return r;
}

// Bytes without zeros, different for each seed.
inline QByteArray pattern(qsizetype n, int seed)
{
    QByteArray b(n, '\0');
    for (qsizetype i = 0; i < n; ++i)
        b[i] = static_cast<char>(1 + (i * 7 + seed * 13) % 250);
    return b;
}

} // namespace rvtest
