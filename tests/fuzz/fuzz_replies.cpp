// Every marker of the reply tables searched for and parsed over arbitrary bytes, as one analysis does.

#include "core/protocol/reply_blocks.h"

#include <cstddef>
#include <cstdint>

using namespace rv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > size_t(kReceiveBufferSize))
        size = kReceiveBufferSize;
    const QByteArray buf(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    auto at = [&](const char* marker) { return findMarker(buf, marker); };
    if (auto p = at("BOOTLOADER")) (void)parseBootloader(buf, *p);
    if (auto p = at("+PASS=")) (void)parsePasswordReply(buf, *p);
    if (auto p = at("QD-SSMT")) (void)parseQdSsmt(buf, *p);
    if (auto p = at("RV-TR")) (void)parseRvTr(buf, *p);
    if (auto p = at("GPS")) (void)parseGpsReply(buf, *p);
    if (auto p = at("DEVICE")) (void)parseDeviceReply(buf, *p);
    if (auto p = at("CONFIG")) (void)parseRecordReply(buf, *p, RecordKind::Config);
    if (auto p = at("INPOUT")) (void)parseRecordReply(buf, *p, RecordKind::InpOut);
    if (auto p = at("CONFSE")) (void)parseRecordReply(buf, *p, RecordKind::ConfSe);
    if (auto p = at("CANMES")) (void)parseCanMes(buf, *p);
    if (auto p = at("CANBUF")) (void)parseCanBuf(buf, *p);
    if (auto p = at("FLRW")) (void)parseSubCoded(buf, *p);
    if (auto p = at("+MEM")) (void)parseSubCoded(buf, *p);
    if (auto p = at("+VMS")) (void)parseVms(buf, *p);
    if (auto p = at("IMAGE")) (void)parseImage(buf, *p);
    return 0;
}
