#include "core/config/config_block_fields.h"
#include "core/base/cp1251.h"
#include "core/config/records.h"

#include "support/unusual_records.h"

#include <gtest/gtest.h>

using namespace rv;

namespace {

// The layout checker itself: each kind of broken table must be refused at compile time.
namespace fx = rv::fields;
constexpr std::array kGap{fx::u8("A", 0), fx::u8("B", 2)};
constexpr std::array kOverlap{fx::u16("A", 0), fx::u8("B", 1)};
constexpr std::array kBitOutsideWord{fx::u8("A", 0), fx::bits("B", 0, FieldType::U8, 6, 3)};
constexpr std::array kViewOffStorage{fx::u8("A", 0), fx::bits("B", 1, FieldType::U16, 0)};
constexpr std::array kSameName{fx::u8("A", 0), fx::u8("A", 1)};
constexpr std::array kRangeTooWide{fx::u8("A", 0, 300)};
constexpr std::array kFine{fx::word("W", 0, FieldType::U16), fx::bitArray("B", 0, FieldType::U16, 3, 13)};
static_assert(!fx::checkLayout(kGap, 3) && !fx::checkLayout(kOverlap, 2) && !fx::checkLayout(kBitOutsideWord, 1)
              && !fx::checkLayout(kViewOffStorage, 3) && !fx::checkLayout(kSameName, 2)
              && !fx::checkLayout(kRangeTooWide, 1) && !fx::checkLayout(kFine, 3) && fx::checkLayout(kFine, 2));

// Decodes every field of `from` and encodes it into a zeroed record of the same kind.
template <typename R>
QByteArray throughFields(const R& from)
{
    R to;
    for (const FieldDef& f : from.layout().fields) {
        if (f.isView())
            continue;
        for (int i = 0; i < f.count; ++i) {
            const FieldError e = f.isInteger() ? to.storeNumberAt(f, i, from.numberAt(f, i))
                                               : to.setRawAt(f, i, from.rawAt(f, i));
            EXPECT_EQ(e, FieldError::None) << fieldName(f).toStdString();
        }
    }
    // Every bit view written back with its own value changes nothing either.
    R copy;
    copy.setBytes(from.bytes());
    for (const FieldDef& f : from.layout().fields)
        for (int i = 0; f.isView() && i < f.count; ++i)
            EXPECT_EQ(copy.storeNumberAt(f, i, from.numberAt(f, i)), FieldError::None);
    EXPECT_EQ(copy.bytes(), from.bytes());
    return to.bytes();
}


} // namespace

TEST(Records, RandomBytesThroughFieldsAreIdentity)
{
    for (quint32 seed : {1u, 2u, 3u}) {
        const ConfigRecords r = rvtest::randomRecords(seed);
        EXPECT_EQ(throughFields(r.config), r.config.bytes());
        EXPECT_EQ(throughFields(r.inpOut), r.inpOut.bytes());
        EXPECT_EQ(throughFields(r.confSe), r.confSe.bytes());
    }
}

TEST(Records, WholeAndPartialReplacement)
{
    ConfigRecords& program = programRecords();
    EXPECT_EQ(&program, &programRecords());

    ConfSeBlock se;
    EXPECT_EQ(se.bytes(), QByteArray(26, '\0'));
    EXPECT_FALSE(se.setBytes(QByteArray(25, 'x')));
    EXPECT_FALSE(se.setBytes(QByteArray(27, 'x')));
    EXPECT_EQ(se.bytes(), QByteArray(26, '\0'));
    ASSERT_TRUE(se.setBytes(QByteArray(26, 'a')));
    se.fillFrom(QByteArray(20, 'b'));     // a short reply: bytes 20..25 keep theirs
    EXPECT_EQ(se.bytes(), QByteArray(20, 'b') + QByteArray(6, 'a'));
    se.fillFrom(QByteArray(40, 'c'));     // a long one: only the record's 26 bytes are taken
    EXPECT_EQ(se.bytes(), QByteArray(26, 'c'));
}

TEST(Records, GoldenFieldEncodings)
{
    ConfigBlock c;
    EXPECT_EQ(c.set(u"Sim1Apn", u"интернет"), FieldError::None);
    EXPECT_EQ(c.bytes().mid(93, 9), QByteArray::fromHex("e8edf2e5f0ede5f200"));
    EXPECT_EQ(c.setNumber(u"TempLL1", -10), FieldError::None);
    EXPECT_EQ(uint8_t(c.bytes()[465]), 0xF6);
    EXPECT_EQ(c.number(u"TempLL1").value, -10);
    EXPECT_EQ(c.set(u"Device1", u"5"), FieldError::None);
    EXPECT_EQ(c.set(u"Device2", u"3"), FieldError::None);
    EXPECT_EQ(uint8_t(c.bytes()[338]), 0x35);
    EXPECT_EQ(c.set(u"MaxHdop", u"2,57"), FieldError::None); // further digits are discarded
    EXPECT_EQ(uint8_t(c.bytes()[241]), 25);
    EXPECT_EQ(c.get(u"MaxHdop").value, QStringLiteral("2.5"));
    EXPECT_EQ(c.setNumber(u"RS232_box1", 115200), FieldError::None);
    EXPECT_EQ(c.bytes().mid(7, 4), QByteArray::fromHex("00c20100"));
    EXPECT_EQ(c.setNumber(u"Filter_coord", 1), FieldError::None);
    EXPECT_EQ(c.number(u"EnableFlags").value, 8);
    EXPECT_EQ(c.set(u"IButtonKeys", 0, u"0A1B2C3D4E5F"), FieldError::None);
    EXPECT_EQ(c.bytes().mid(302, 6), QByteArray::fromHex("5f4e3d2c1b0a"));
    EXPECT_EQ(c.set(u"Phone", 2, u"9161234567"), FieldError::None);
    EXPECT_EQ(c.text(u"Phone", 2).value, QStringLiteral("9161234567"));
    EXPECT_EQ(c.bytes().mid(30 + 22, 11), QByteArray("9161234567") + '\0');
    // "Охрана" for connection 3: bit 8 of the word at 349.
    EXPECT_EQ(c.setNumber(u"RingSources", 2, 0x100), FieldError::None);
    EXPECT_EQ(uint8_t(c.bytes()[350]), 0x01);
    EXPECT_EQ(c.setNumber(u"Input_SMS", 4, 1), FieldError::None);
    EXPECT_EQ(uint8_t(c.bytes()[86]), 0x10);

    InpOutBlock io;
    ASSERT_TRUE(io.setBytes(QByteArray(513, '\0')));
    EXPECT_EQ(io.setNumber(u"modes_actoh", 0xE4), FieldError::None);
    EXPECT_EQ(io.number(u"Out1mode_actoh").value, 0);
    EXPECT_EQ(io.number(u"Out2mode_actoh").value, 1);
    EXPECT_EQ(io.number(u"Out4mode_actoh").value, 3);
    EXPECT_EQ(io.setNumber(u"Out2pause_actoh", 7), FieldError::None);
    EXPECT_EQ(uint8_t(io.bytes()[213]), 7);
    EXPECT_EQ(io.setNumber(u"Out4per_passin", 7, 9), FieldError::None); // input 8 becoming passive
    EXPECT_EQ(uint8_t(io.bytes()[104 + 13 * 7 + 12]), 9);
    EXPECT_EQ(io.setNumber(u"EventSource", 0, 5), FieldError::None);
    EXPECT_EQ(io.setNumber(u"EventActions", 0, 1), FieldError::None); // action 0 of event 1
    EXPECT_EQ(io.bytes().mid(260, 2), QByteArray::fromHex("0501"));
    EXPECT_EQ(io.setNumber(u"EventConditions", 19, 1 << 29), FieldError::None);
    EXPECT_EQ(io.setNumber(u"EventLogic", 19, 1), FieldError::None);
    EXPECT_EQ(uint8_t(io.bytes()[419]), 0x60);

    ConfSeBlock se;
    se.fillFrom(QByteArray::fromHex("0000000000000000000000000000008000"));
    EXPECT_EQ(se.set(u"MCC1", u"250"), FieldError::None);
    EXPECT_EQ(se.set(u"IPport2", u"10000"), FieldError::None);
    EXPECT_EQ(se.setNumber(u"SELOPINROU", 1), FieldError::None);
    EXPECT_EQ(se.bytes().mid(0, 2), QByteArray::fromHex("fa00"));
    EXPECT_EQ(se.bytes().mid(22, 2), QByteArray::fromHex("1027"));
    EXPECT_EQ(uint8_t(se.bytes()[15]), 0x81);
}

TEST(Records, RejectedSetsChangeNothing)
{
    ConfigBlock c = rvtest::randomRecords(9).config;
    const QByteArray before = c.bytes();
    EXPECT_EQ(c.setNumber(u"MicLevel", 16), FieldError::OutOfRange);
    EXPECT_EQ(c.setNumber(u"TempLH2", -56), FieldError::OutOfRange);
    EXPECT_EQ(c.set(u"MaxHdop", u"25.1"), FieldError::OutOfRange);
    EXPECT_EQ(c.set(u"Perpackmove", u"12a"), FieldError::BadValue);
    EXPECT_EQ(c.set(u"Phone", 0, u"12345678901"), FieldError::TextTooLong); // width 11 holds 10 + NUL
    EXPECT_EQ(c.set(u"Sim1Pass", u"пароль✓"), FieldError::NotEncodable);
    EXPECT_EQ(c.set(u"Sim1Pass", QStringView(u"a\0b", 3)), FieldError::NotEncodable);
    EXPECT_EQ(c.set(u"Phone", 5, u"1"), FieldError::BadIndex);
    EXPECT_EQ(c.set(u"Reserved20", u"1"), FieldError::ReadOnly);
    EXPECT_EQ(c.set(u"NoSuchField", u"1"), FieldError::UnknownField);
    EXPECT_EQ(c.set(u"IButtonKeys", 0, u"0A1B"), FieldError::BadValue);
    EXPECT_EQ(c.setNumber(u"Sim1Apn", 1), FieldError::WrongKind);
    EXPECT_EQ(c.bytes(), before);
    // A list index the bits can hold but the list cannot: refused by set, kept by a gatherer's store.
    EXPECT_EQ(c.setNumber(u"Device1", 9), FieldError::OutOfRange);
    EXPECT_EQ(c.storeNumberAt(*c.field(u"Device1"), 0, 9), FieldError::None);
    EXPECT_EQ(c.storeNumberAt(*c.field(u"Device1"), 0, 16), FieldError::OutOfRange);
}

TEST(Records, UnsignedFieldsRefuseAMinusSign_SignedOnesTakeIt)
{
    // "-0.5" once passed as 0.5 and "-0" as 0: every unsigned field of the three records refuses a sign.
    ConfigRecords r = rvtest::randomRecords(4);
    for (RecordBase* rec : {static_cast<RecordBase*>(&r.config), static_cast<RecordBase*>(&r.inpOut),
                            static_cast<RecordBase*>(&r.confSe)}) {
        const QByteArray before = rec->bytes();
        for (const FieldDef& f : rec->layout().fields) {
            if (!f.isInteger() || f.encoding == Encoding::Signed || f.encoding == Encoding::Reserved)
                continue;
            for (const char16_t* text : {u"-0", u" -0 ", u"-0.5", u"-1", u"0x-0"})
                EXPECT_NE(rec->setAt(f, f.count - 1, text), FieldError::None)
                    << fieldName(f).toStdString() << " " << QString::fromUtf16(text).toStdString();
        }
        EXPECT_EQ(rec->bytes(), before);
    }
    EXPECT_EQ(r.config.set(u"MaxHdop", u"-0.5"), FieldError::OutOfRange);
    EXPECT_EQ(r.config.set(u"Maxaccel", u"-0,9"), FieldError::OutOfRange);
    EXPECT_EQ(r.config.set(u"ID_Device", u"-0"), FieldError::OutOfRange);
    EXPECT_EQ(r.config.set(u"ID_Device", u"0x1f"), FieldError::None);
    EXPECT_EQ(r.config.number(u"ID_Device").value, 31);
    EXPECT_EQ(r.config.set(u"TempLL1", u"-10"), FieldError::None);
    EXPECT_EQ(r.config.number(u"TempLL1").value, -10);
    EXPECT_EQ(r.config.set(u"TempLH1", u"-0"), FieldError::None);
    EXPECT_EQ(r.config.number(u"TempLH1").value, 0);
}

TEST(Cp1251, EveryByteRoundTripsAndFixedWidthRules)
{
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    EXPECT_EQ(cp1251::encode(cp1251::decode(all)), all);
    EXPECT_EQ(cp1251::decode(QByteArray::fromHex("c0ffa8b8b9")), QStringLiteral("АяЁё№"));
    EXPECT_FALSE(cp1251::encode(u"ℤ").has_value());

    EXPECT_EQ(cp1251::readFixed("abc\0def"), QStringLiteral("abc"));
    EXPECT_EQ(cp1251::readFixed("abcd"), QStringLiteral("abcd")); // no NUL inside the width: stop at the width
    QByteArray rec("xxxxxxxxxx");
    EXPECT_EQ(cp1251::writeFixed(rec, 2, 5, u"ab"), cp1251::FixedError::None);
    EXPECT_EQ(rec, QByteArray("xxab\0xxxxx", 10)); // bytes after the NUL keep theirs
    EXPECT_EQ(cp1251::writeFixed(rec, 2, 5, u"abcde"), cp1251::FixedError::TooLong);
    EXPECT_EQ(cp1251::writeFixed(rec, 8, 5, u"a"), cp1251::FixedError::TooLong); // would pass the record's end
    EXPECT_EQ(rec, QByteArray("xxab\0xxxxx", 10));
}
