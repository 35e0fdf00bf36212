#include "core/base/bytes.h"
#include "core/base/checksum.h"
#include "core/protocol/reply_blocks.h"

#include <gtest/gtest.h>

using namespace rv;

namespace {

QByteArray filled(qsizetype n, int seed = 1)
{
    QByteArray b(n, '\0');
    for (qsizetype i = 0; i < n; ++i)
        b[i] = static_cast<char>((i * 7 + seed) | 1); // no zero bytes
    return b;
}

QByteArray recordReply(const char* marker, QByteArrayView payload, int checksumDelta = 0, QByteArrayView status = {})
{
    QByteArray r(marker);
    r += status.toByteArray();
    r += le::bytes16(static_cast<uint16_t>(payload.size()));
    r += payload.toByteArray();
    r += le::bytes16(static_cast<uint16_t>(blockChecksum(payload) + checksumDelta));
    return r;
}

QByteArray monitorReply(const char* marker, QByteArrayView payload, char terminator = 'E')
{
    QByteArray r(marker);
    r += le::bytes16(static_cast<uint16_t>(payload.size()));
    r += payload.toByteArray();
    r += terminator;
    return r;
}

} // namespace

TEST(FindMarker, ExactFirstOccurrenceBeforeTheFirstZero)
{
    EXPECT_EQ(findMarker("xxWRITEyyWRITE", "WRITE"), 2);
    EXPECT_FALSE(findMarker("write", "WRITE"));
    EXPECT_FALSE(findMarker(QByteArray("GPS\0WRITE", 9), "WRITE"));
    EXPECT_EQ(findMarker(QByteArray("WRITE\0GPS", 9), "WRITE"), 0);
    EXPECT_FALSE(findMarker("WRIT", "WRITE")); // never past the received bytes
    EXPECT_FALSE(findMarker({}, "GPS"));
}

TEST(RecordReply, FullShortAndOverlongRecords)
{
    const QByteArray full = filled(512);
    RecordReply r = parseRecordReply(recordReply("CONFIG", full), 0, RecordKind::Config);
    ASSERT_EQ(r.check, RecordReply::Check::Ok);
    EXPECT_EQ(r.payload, full);
    EXPECT_FALSE(r.overlong);

    r = parseRecordReply(recordReply("CONFIG", filled(500)), 0, RecordKind::Config);
    ASSERT_EQ(r.check, RecordReply::Check::Ok);
    EXPECT_EQ(r.payload.size(), 500);

    // Longer than the record: checked over all 600 bytes, then the first 512 are taken.
    const QByteArray big = filled(600);
    r = parseRecordReply(recordReply("CONFIG", big), 0, RecordKind::Config);
    ASSERT_EQ(r.check, RecordReply::Check::Ok);
    EXPECT_TRUE(r.overlong);
    EXPECT_EQ(r.payload, big.first(512));

    r = parseRecordReply(recordReply("CONFIG", big, 1), 0, RecordKind::Config);
    EXPECT_EQ(r.check, RecordReply::Check::BadChecksum);
    EXPECT_TRUE(r.payload.isEmpty());
}

TEST(RecordReply, EveryFieldMustLieWithinTheReceivedBytes)
{
    const QByteArray whole = recordReply("INPOUT", filled(513));
    EXPECT_EQ(parseRecordReply(whole, 0, RecordKind::InpOut).check, RecordReply::Check::Ok);
    for (qsizetype cut : {qsizetype(6), qsizetype(7), qsizetype(8), qsizetype(300), whole.size() - 1})
        EXPECT_EQ(parseRecordReply(whole.first(cut), 0, RecordKind::InpOut).check, RecordReply::Check::Truncated)
            << "cut at " << cut;
    // A length far beyond the burst is not trusted.
    QByteArray lying("CONFIG\xFF\xFF", 8);
    EXPECT_EQ(parseRecordReply(lying, 0, RecordKind::Config).check, RecordReply::Check::Truncated);
}

TEST(RecordReply, ExtendedRecordStatusCharacter)
{
    const QByteArray rec = filled(26);
    RecordReply r = parseRecordReply(recordReply("CONFSE", rec, 0, "0"), 0, RecordKind::ConfSe);
    EXPECT_TRUE(r.present());
    EXPECT_EQ(r.payload, rec);

    // Status "1" with an empty block: valid, but there is no record to take.
    r = parseRecordReply(QByteArray("CONFSE1\0\0\0\0", 11), 0, RecordKind::ConfSe);
    EXPECT_EQ(r.check, RecordReply::Check::Ok);
    EXPECT_FALSE(r.present());
    EXPECT_TRUE(r.payload.isEmpty());
    EXPECT_EQ(parseRecordReply("CONFSE", 0, RecordKind::ConfSe).check, RecordReply::Check::Truncated);
}

TEST(MonitorReply, CapTerminatorAndBounds)
{
    const QByteArray p = filled(120);
    MonitorReply r = parseGpsReply(monitorReply("GPS", p), 0);
    ASSERT_TRUE(r.valid);
    EXPECT_EQ(r.payload, p.first(105));

    EXPECT_FALSE(parseGpsReply(monitorReply("GPS", p, 'X'), 0).valid);
    const QByteArray whole = monitorReply("GPS", filled(30));
    EXPECT_TRUE(parseGpsReply(whole, 0).valid);
    EXPECT_FALSE(parseGpsReply(whole.first(whole.size() - 1), 0).valid); // terminator not received
    EXPECT_FALSE(parseGpsReply("GPS\x01", 0).valid);                      // length cut
}

TEST(MonitorReply, DeviceLogTrailerEvenWithABadTerminator)
{
    QByteArray b = monitorReply("DEVICE", filled(40), 'Z');
    b += "L";
    b += QByteArray("\x01\x02", 2);
    b += QByteArray("\x10\x11\x12", 3);
    MonitorReply r = parseDeviceReply(b, 0);
    EXPECT_FALSE(r.valid);
    ASSERT_TRUE(r.logTrailer.has_value());
    EXPECT_EQ(*r.logTrailer, QByteArray("\x10\x11\x12", 3));

    // At most 20 event bytes are handed on.
    QByteArray longer = monitorReply("DEVICE", filled(115)) + "L" + QByteArray(2, '\x01') + filled(40);
    r = parseDeviceReply(longer, 0);
    EXPECT_TRUE(r.valid);
    ASSERT_TRUE(r.logTrailer.has_value());
    EXPECT_EQ(r.logTrailer->size(), 20);

    // The trailer letter as the last byte: recognised, no event bytes read past the end.
    r = parseDeviceReply(monitorReply("DEVICE", filled(10)) + "L", 0);
    ASSERT_TRUE(r.logTrailer.has_value());
    EXPECT_TRUE(r.logTrailer->isEmpty());
}

TEST(FixedReplies, FieldsAtTheirOffsetsAndNeverPastTheEnd)
{
    const QByteArray rvtr("RV-TR\x03\x07\x01\x00\x00\x80", 11);
    auto h = parseRvTr(rvtr, 0);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->deviceType, 3);
    EXPECT_EQ(h->handshakeByte, 7);
    EXPECT_EQ(h->options, 0x80000001u);
    EXPECT_FALSE(parseRvTr(rvtr.first(10), 0));

    const QByteArray qd("QD-SSMT\x05\x01\x02\x00\x00", 12);
    h = parseQdSsmt(qd, 0);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->deviceType, 2);
    EXPECT_EQ(h->handshakeByte, 5);
    EXPECT_EQ(h->options, 0x0201u);
    EXPECT_FALSE(parseQdSsmt(qd.first(11), 0));

    auto bl = parseBootloader(QByteArray("BOOTLOADER\x0C\x01", 12), 0);
    ASSERT_TRUE(bl);
    EXPECT_EQ(bl->version, 12);
    EXPECT_EQ(bl->deviceType, 1);
    EXPECT_FALSE(parseBootloader("BOOTLOADER\x0C", 0));

    EXPECT_EQ(parsePasswordReply("+PASS=?", 0), '?');
    EXPECT_FALSE(parsePasswordReply("+PASS=", 0));

    QByteArray canmes = "CANMES" + le::bytes32(1) + le::bytes32(0x123) + le::bytes32(0xAABBCCDD) + le::bytes32(5);
    auto m = parseCanMes(canmes, 0);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->id, 0x123u);
    EXPECT_EQ(m->dataA, 0xAABBCCDDu);
    EXPECT_FALSE(parseCanMes(canmes.first(21), 0));

    QByteArray canbuf = "CANBUF" + QByteArray(480, '\x01');
    ASSERT_TRUE(parseCanBuf(canbuf, 0));
    EXPECT_EQ(parseCanBuf(canbuf, 0)->size(), 40);
    EXPECT_FALSE(parseCanBuf(canbuf.first(485), 0));

    EXPECT_EQ(parseImage(QByteArray("IMAGE\x01\x02\x03" "E", 9), 0), 0x030201u);
    EXPECT_FALSE(parseImage(QByteArray("IMAGE\x01\x02\x03" "X", 9), 0));
    EXPECT_EQ(parseVms(QByteArray("+VMS\x00\x10\x00\x00", 8), 0), 0x1000u);
    auto sub = parseSubCoded("FLRW\x05xyz", 0);
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->code, 5);
    EXPECT_EQ(sub->rest, QByteArray("xyz"));
    EXPECT_FALSE(parseSubCoded("FLRW", 0));
}
