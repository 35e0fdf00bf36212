#pragma once

// What the program takes as a unit's IMEI, wherever one is met: in a unit's greeting, in the allow list and in
// the name of a job file. An IMEI is 15 decimal digits (ASCII '0'..'9'): the 14 digits of the modem's identity
// and its check digit. The unit fills the greeting's 15-byte field from its modem, which reports all 15; a
// shorter number is a damaged greeting or no unit at all, and a unit must have one spelling, since its
// jobs and outputs are files named by it. The check digit is not verified: the program identifies a unit
// by the number it sends, and refusing a unit for a digit it cannot change would help nobody.

#include <QStringView>

namespace rv {

inline constexpr qsizetype kImeiDigits = 15;

inline bool isImei(QStringView text)
{
    if (text.size() != kImeiDigits)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace rv
