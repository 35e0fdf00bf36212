#pragma once

// Records that a unit may well hold but that no page can show exactly: every editor page must give them back
// byte for byte when nothing was edited. Pages that bind more fields add their odd values here.

#include "core/config/records.h"
#include "support/unit_bytes.h"

#include <QRandomGenerator>

namespace rvtest {

inline void putHex(QByteArray& b, int at, const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    b.replace(at, bytes.size(), bytes);
}

// No zero byte anywhere, so no text has its NUL; then the values no control can show exactly.
inline rv::ConfigRecords unusualRecords()
{
    rv::ConfigRecords r;
    QByteArray c = pattern(512, 5);
    c[0] = char(0xF0);
    c[122] = char(63);           // SIM 1: "Другой", with APN, login and password that have no NUL
    c[152] = char(7);            // SIM 2: neither custom nor a login an operator is known by
    c[173] = 'z';
    putHex(c, 27, "c8c8c8");     // the four sliders above their ranges
    c[342] = char(9);
    c[296] = char(255);          // BalansBox above what its validator lets a user type
    putHex(c, 372, "4ff2330aff"); // message type / incoming call nibbles past their lists
    putHex(c, 366, "00090305ff"); // call counts 0 and past the list
    c[86] = char(0xE5);          // SMS mask: bits 5..7 belong to no control
    c[365] = char(0xAA);
    c[371] = char(0x5F);
    putHex(c, 345, "ffff00f00f10aaaa5555"); // call sources with bits 12..15 set
    // Inputs: most mode bytes have active levels past the six items; input 3's type is past its list too.
    // The thresholds are mostly above 1023, input 2's pair is inverted; every filter length is past 10.
    c[248] = char(0xF9);
    putHex(c, 258, "2003c800");  // input 2: lower limit 800, upper limit 200
    c[308] = 0;                  // iButton key 2: byte 0 is 0, so its cell is empty; its other bytes stay
    putHex(c, 488, "e9fd");      // SSimp 65001, above what its edit lets a user type
    // Navigation, power and peripherals
    putHex(c, 7, "39300101");    // port 1 at 16855097 baud, which the list lacks
    putHex(c, 11, "ffffffff");   // port 2 at −1
    c[338] = char(0xC5);         // port 1: the RS485 fuel sensors; port 2: device 12, past the list
    c[341] = char(0xF7);         // CAN rate 7 and camera resolution 15, past their lists
    c[336] = char(c[336] | 0x03); // receiver mode 3, past the list
    putHex(c, 297, "2801");      // Extvoltlev 296: shown as "10,5", which reads back as 295
    c[241] = char(255);          // MaxHdop 25.5 and Maxaccel 25.1, above the edits' limit of 25
    c[243] = char(251);
    putHex(c, 465, "807f");      // temperatures −128 and 127, beyond −55..125
    putHex(c, 377, "ffff");      // Full_bak1 65535: wider than its edit
    putHex(c, 23, "ffff");       // Perpackmove 65535: wider than its edit
    r.config.setBytes(c);
    QByteArray se = pattern(26, 6);
    putHex(se, 0, "ffff");       // MCC1 65535: wider than its edit
    se[15] = char(0x81);
    putHex(se, 24, "0000");      // TIMETOCON2 0, which the validator would make 10
    r.confSe.setBytes(se);
    QByteArray io = pattern(513, 7);
    io[235] = 0;                 // low supply: output 1's pulse length 0, below what its validator allows
    r.inpOut.setBytes(io);
    return r;
}

// Random bytes in all three records, the same for the same seed. The main record begins with the format mark
// every gathering puts there.
inline rv::ConfigRecords randomRecords(quint32 seed)
{
    QRandomGenerator random(seed);
    auto bytes = [&random](qsizetype n) {
        QByteArray b(n, '\0');
        for (char& c : b)
            c = char(random.bounded(256));
        return b;
    };
    rv::ConfigRecords r;
    QByteArray c = bytes(512);
    c[0] = char(0xF0);
    r.config.setBytes(c);
    r.inpOut.setBytes(bytes(513));
    r.confSe.setBytes(bytes(26));
    return r;
}

} // namespace rvtest
