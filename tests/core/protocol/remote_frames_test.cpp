// Frames of the network protocol: golden bytes, lengths checked before reading, and reassembly of a
// byte stream cut anywhere.

#include "core/protocol/remote_frames.h"

#include "core/base/bytes.h"
#include "core/base/checksum.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace rv;
using namespace rv::remote;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Frames as a unit sends them. Their CRC bytes were worked out bit by bit from the polynomial (0xA001,
// start 0xFFFF), apart from this program's table-driven CRC.
const QByteArray kGreeting = hex("1200d2043836313233343536373839303132331c5201"); // ID 1234, fw 28
const QByteArray kToAcknowledge = hex("0340aabbcc2745");                           // type 1, L = 3
const QByteArray kDone18 = hex("0580fc12000000" "04ac");                           // 0x8005: type 2, L = 5

} // namespace

TEST(RemoteFrames, CommandsAreGoldenBytes)
{
    EXPECT_EQ(command(id::kReset), hex("021280dd"));
    EXPECT_EQ(command(id::kEraseTrack), hex("0210011c"));
    EXPECT_EQ(command(id::kReadRecord, QByteArray(1, 0)), hex("021500de90"));
    EXPECT_EQ(command(id::kReadRecord, QByteArray(1, 2)), hex("0215025f51"));
    EXPECT_EQ(command(id::kReadMonitor, QByteArray(1, 0)), hex("021b00daf0"));
    EXPECT_EQ(command(id::kReadMonitor, QByteArray(1, 1)), hex("021b011b30"));
    // An acknowledgement repeats the frame's own CRC bytes.
    EXPECT_EQ(acknowledgement(kGreeting), hex("015201"));
    EXPECT_EQ(acknowledgement(kToAcknowledge), hex("012745"));
}

TEST(RemoteFrames, RecordWriteIsAlways519BytesBuiltFromZero)
{
    QByteArray confSe(26, '\0');
    for (int i = 0; i < 26; ++i)
        confSe[i] = static_cast<char>(i + 1);
    const QByteArray w = recordWrite(kRecordConfSe, confSe);
    ASSERT_EQ(w.size(), 519);
    EXPECT_EQ(w.first(5), hex("0216021a00")); // record 2, length 26
    EXPECT_EQ(w.sliced(5, 26), confSe);
    EXPECT_EQ(w.sliced(31, 486), QByteArray(486, '\0')); // nothing of an earlier frame
    EXPECT_EQ(w.last(2), hex("ed2e"));

    // InpOutBlock: the length says 513, the area holds its first 512 bytes.
    QByteArray inpOut(513, '\x11');
    inpOut[511] = '\x22';
    inpOut[512] = '\x33';
    const QByteArray wi = recordWrite(kRecordInpOut, inpOut);
    ASSERT_EQ(wi.size(), 519);
    EXPECT_EQ(wi.first(5), hex("0216010102"));
    EXPECT_EQ(wi.at(516), '\x22');
    EXPECT_FALSE(wi.sliced(5, 512).contains('\x33'));

    const QByteArray wc = recordWrite(kRecordConfig, QByteArray(512, '\x44'));
    EXPECT_EQ(wc.first(5), hex("0216000002"));
    EXPECT_EQ(wc.sliced(5, 512), QByteArray(512, '\x44'));
}

TEST(RemoteFrames, CheckFrame_LengthTypeAndCrc)
{
    Frame f = checkFrame(kDone18);
    ASSERT_EQ(f.check, Frame::Check::Ok);
    EXPECT_EQ(f.type, Reply);
    EXPECT_EQ(f.body, hex("fc12000000"));
    EXPECT_EQ(checkFrame(kDone18 + "trailing").check, Frame::Check::Ok);

    EXPECT_EQ(checkFrame(kDone18.first(8)).check, Frame::Check::Short);
    EXPECT_EQ(checkFrame(hex("05")).check, Frame::Check::Short);
    EXPECT_EQ(checkFrame(QByteArray()).check, Frame::Check::Short);
    QByteArray bad = kDone18;
    bad[4] = '\x01';
    EXPECT_EQ(checkFrame(bad).check, Frame::Check::BadCrc);
    bad = kDone18;
    bad[8] = static_cast<char>(bad[8] ^ 1);
    EXPECT_EQ(checkFrame(bad).check, Frame::Check::BadCrc);

    f = checkFrame(kGreeting);
    ASSERT_EQ(f.check, Frame::Check::Ok);
    EXPECT_EQ(f.type, Greeting);
    const auto g = parseGreeting(f.body);
    ASSERT_TRUE(g);
    EXPECT_EQ(*g, (GreetingInfo{1234, QStringLiteral("861234567890123"), 28}));
    EXPECT_FALSE(parseGreeting(f.body.first(17)));
}

TEST(RemoteFrames, ReplyLengthsAreCheckedAgainstTheBody)
{
    // Identifier, sub-code, n, payload.
    const QByteArray body = hex("1500" "0300") + "abc";
    auto r = parseReply(body);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->identifier, 21);
    EXPECT_EQ(r->payload, "abc");
    EXPECT_FALSE(parseReply(body.first(6)));          // n = 3, two bytes there
    EXPECT_FALSE(parseReply(hex("1500ffff") + "abc")); // n = 65535
    EXPECT_FALSE(parseReply(hex("1b0105")));           // no room for n
    EXPECT_FALSE(parseReply(hex("15")));               // no sub-code
    r = parseReply(hex("1b01") + hex("0000"));
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->payload.isEmpty());
    // Other identifiers carry no length.
    r = parseReply(hex("1602"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->sub, 2);
}

TEST(FrameReassembler, CutsTheStreamAtEveryPositionIntoTheSameFrames)
{
    const QByteArray stream = kGreeting + kToAcknowledge + kDone18;
    const QList<QByteArray> expected = {kGreeting, kToAcknowledge, kDone18};
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        FrameReassembler r;
        QList<QByteArray> got = r.feed(stream.first(cut), 0).frames;
        got += r.feed(stream.sliced(cut), 1).frames;
        EXPECT_EQ(got, expected) << "cut at " << cut;
        EXPECT_EQ(r.pending(), 0);
    }
    FrameReassembler single;
    QList<QByteArray> got;
    for (char c : stream)
        got += single.feed(QByteArrayView(&c, 1), 0).frames;
    EXPECT_EQ(got, expected);

    // Several frames and the start of the next in one read: the start waits.
    FrameReassembler r;
    EXPECT_EQ(r.feed(stream + kDone18.first(3), 0).frames, expected);
    EXPECT_EQ(r.pending(), 3);
    EXPECT_EQ(r.feed(kDone18.sliced(3), 0).frames, QList<QByteArray>{kDone18});
}

TEST(FrameReassembler, APartialFrameExpiresAfterTenSeconds)
{
    FrameReassembler r;
    r.feed(hex("ff03") + "only a few", 1000); // announces 1023 bytes
    EXPECT_EQ(r.expire(1000 + FrameReassembler::kMaxWaitMs), 0);
    EXPECT_EQ(r.pending(), 12);
    // More bytes do not extend the frame's time.
    r.feed("more", 9000);
    EXPECT_EQ(r.feed(kDone18, 1000 + FrameReassembler::kMaxWaitMs + 1).expiredBytes, 16);
    // The bytes after the drop are a fresh start.
    EXPECT_EQ(r.pending(), 0);
    EXPECT_EQ(r.feed({}, 50000).frames.size(), 0);

    // A frame that completes in time passes, and the next partial frame's time starts then.
    FrameReassembler t;
    t.feed(kDone18.first(4), 0);
    EXPECT_EQ(t.feed(kDone18.sliced(4) + kGreeting.first(5), 9000).frames.size(), 1);
    EXPECT_EQ(t.expire(15000), 0);
    EXPECT_EQ(t.expire(19001), 5);
}

TEST(FrameReassembler, RandomBytesNeverHoldMoreThanOneFrame)
{
    QRandomGenerator rng(7);
    FrameReassembler r;
    qint64 now = 0;
    qsizetype frames = 0;
    for (int i = 0; i < 3000; ++i) {
        QByteArray chunk(rng.bounded(1, 1500), '\0');
        for (char& c : chunk)
            c = static_cast<char>(rng.bounded(256));
        if (i % 5 == 0)
            chunk.prepend(hex("ffff")); // the largest length a header can claim
        now += rng.bounded(0, 300);
        const auto result = r.feed(chunk, now);
        for (const QByteArray& f : result.frames) {
            EXPECT_LE(f.size(), kMaxFrameSize);
            ++frames;
        }
        ASSERT_LT(r.pending(), kMaxFrameSize);
    }
    EXPECT_GT(frames, 0);
}

TEST(FrameReassembler, ResynchronisesAtTheNextGoodFrameInsteadOfStalling)
{
    // A stray byte before a frame: the frame is taken at once.
    FrameReassembler r;
    auto res = r.feed(hex("00") + kDone18, 0);
    EXPECT_EQ(res.frames, QList<QByteArray>{kDone18});
    EXPECT_EQ(res.skippedBytes, 1);
    EXPECT_EQ(r.pending(), 0);

    // A header that promises 1023 bytes, then whole frames in pieces: taken as the last piece arrives.
    FrameReassembler t;
    EXPECT_TRUE(t.feed(hex("ff03") + "xy", 0).frames.isEmpty());
    EXPECT_TRUE(t.feed(kGreeting.first(7), 0).frames.isEmpty());
    res = t.feed(kGreeting.sliced(7) + kDone18, 0);
    EXPECT_EQ(res.frames, (QList<QByteArray>{kGreeting, kDone18}));
    EXPECT_EQ(res.skippedBytes, 4);
    EXPECT_EQ(t.pending(), 0);

    // A damaged frame is passed over and said to be damaged; the good frame after it is taken.
    QByteArray damaged = kDone18;
    damaged[4] = static_cast<char>(damaged[4] ^ 1);
    FrameReassembler u;
    res = u.feed(damaged + kToAcknowledge, 0);
    EXPECT_TRUE(res.badCrc);
    EXPECT_EQ(res.frames, QList<QByteArray>{kToAcknowledge});
}

TEST(FrameReassembler, AGoodFrameInsideALongerFrameStillArrivingDoesNotCutIt)
{
    // A record reply whose payload happens to hold whole frames: while the reply is incomplete they are
    // followed by more of it, so they are not taken for the stream's next frames.
    QByteArray body = hex("15000002") + QByteArray(100, 'a') + kGreeting + kDone18 + QByteArray(400, 'b');
    le::put16(body, 2, static_cast<uint16_t>(body.size() - 4));
    QByteArray reply = le::bytes16(static_cast<uint16_t>(body.size() | (Reply << 14))) + body;
    reply += le::bytes16(crc16Modbus(reply));
    FrameReassembler whole;
    QList<QByteArray> got;
    for (qsizetype at = 0; at < reply.size(); at += 37)
        got += whole.feed(reply.sliced(at, std::min<qsizetype>(37, reply.size() - at)), 0).frames;
    EXPECT_EQ(got, QList<QByteArray>{reply});
}

// Before its greeting a connection carries nothing but the greeting and a modem's words: the greeting is
// found wherever it lies in the burst, followed by a line end or not. Afterwards the stricter rule holds.
TEST(FrameReassembler, AGreetingIsFoundAmidAModemsWordsUntilTheConnectionHasGreeted)
{
    const QByteArray burst = "\r\nCONNECT 115200\r\n" + kGreeting + "\r\n";
    FrameReassembler caller;
    caller.findGreetingAnywhere(true);
    FrameReassembler::Result r = caller.feed(burst, 0);
    EXPECT_EQ(r.frames, QList<QByteArray>{kGreeting});
    EXPECT_EQ(caller.pending(), 2); // the line end waits, in case it begins a frame
    // The line end before the next frame is passed over without calling it a fault.
    r = caller.feed(kDone18, 1);
    EXPECT_EQ(r.frames, QList<QByteArray>{kDone18});
    EXPECT_EQ(r.skippedBytes, 0);
    // A line end left alone expires without counting as dropped bytes.
    caller.feed("\r\n", 2);
    EXPECT_EQ(caller.expire(2 + FrameReassembler::kMaxWaitMs + 1), 0);

    FrameReassembler strict;
    EXPECT_TRUE(strict.feed(burst, 0).frames.isEmpty());
}
