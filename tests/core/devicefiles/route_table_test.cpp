// The route table and its file: the bytes of a small file literally, every cell value class there and back,
// files that are cut short or lie about their count, the rows a user adds and deletes, what typing does to
// a cell, and the voice file header check.

#include "core/devicefiles/route_table.h"
#include "support/files.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using namespace rv::route;

namespace {

RouteRow row(const char* lat, const char* lon, const char* rin, const char* rext, const QString& name,
             const char* direction, const char* spread)
{
    RouteRow r;
    r[ColLatitude] = QString::fromUtf8(lat);
    r[ColLongitude] = QString::fromUtf8(lon);
    r[ColInner] = QString::fromUtf8(rin);
    r[ColOuter] = QString::fromUtf8(rext);
    r[ColName] = name;
    r[ColDirection] = QString::fromUtf8(direction);
    r[ColSpread] = QString::fromUtf8(spread);
    return r;
}

// Three geofences: an ordinary one, one south-west with the largest values and no name, one all empty.
RouteTable threeZones()
{
    RouteTable t;
    t.rows = {row("55,123457", "37,654321", "30", "60", QStringLiteral("stop1.wav"), "90", "45"),
              row("-33,868820", "-151,209296", "0", "255", QString(), "360", "250"),
              RouteRow{}};
    return t;
}

QByteArray threeZonesFile()
{
    return QByteArray::fromHex("03")
           // 55 123 457, 37 654 321, Rin 30, Rext 60, "stop1.wav", direction 90, spread 45, reserved
           + QByteArray::fromHex("011e4903" "318f3e02" "1e" "3c") + QByteArray("stop1.wav") + QByteArray(21, '\0')
           + QByteArray::fromHex("5a00" "2d" "00")
           // -33 868 820, -151 209 296, 0, 255, "0", 360, 250
           + QByteArray::fromHex("ec33fbfd" "b0bafcf6" "00" "ff") + QByteArray("0") + QByteArray(29, '\0')
           + QByteArray::fromHex("6801" "fa" "00")
           // every cell empty: zeros and the name "0"
           + QByteArray(10, '\0') + QByteArray("0") + QByteArray(29, '\0') + QByteArray(4, '\0');
}

} // namespace

TEST(RouteFile, ThreeZonesAreTheDocumentedBytes)
{
    RouteTable t = threeZones();
    const RouteFileBytes out = encodeRouteFile(t);
    ASSERT_TRUE(out.ok()) << out.error.toStdString();
    EXPECT_EQ(out.bytes.size(), 133);
    EXPECT_EQ(out.bytes.toHex(), threeZonesFile().toHex());
    // The table now shows what the file holds: the empty cells read "0".
    EXPECT_EQ(t.rows[2], row("0,000000", "0,000000", "0", "0", QStringLiteral("0"), "0", "0"));
    EXPECT_EQ(t.rows[1][ColName], QStringLiteral("0"));
}

TEST(RouteFile, EveryValueClassComesBackAsItWasShown)
{
    RouteTable t;
    t.rows = {row("-0,500000", "-179,999999", "1", "255", QStringLiteral("a234567890123456789012345678.wav").left(29),
                  "0", "0"),
              row("89,999999", "179,999999", "250", "0", QStringLiteral("x.wav"), "360", "250"),
              row("0,000001", "-0,000001", "255", "1", QStringLiteral("voice_12.wav"), "180", "1")};
    ASSERT_EQ(t.rows[0][ColName].size(), 29);
    RouteTable saved = t;
    const RouteFileBytes out = encodeRouteFile(saved);
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(saved, t); // nothing to normalise: the cells were already in the grid's form
    const RouteFileRead back = parseRouteFile(out.bytes);
    EXPECT_EQ(back.status, RouteFileRead::Loaded);
    EXPECT_EQ(back.table, t);
    RouteTable again = back.table;
    EXPECT_EQ(encodeRouteFile(again).bytes, out.bytes);
}

TEST(RouteFile, CoordinatesAreStoredToTheNearestMillionth)
{
    // Truncating 55.123457 × 1 000 000 can give 55 123 456: the nearest millionth is what is shown.
    EXPECT_EQ(parseCoordinate(u"55,123457"), 55123457);
    EXPECT_EQ(parseCoordinate(u"55,5"), 55500000);
    EXPECT_EQ(parseCoordinate(u"-0,5"), -500000);
    EXPECT_EQ(parseCoordinate(u"37.1234565"), 37123457); // half away from zero
    EXPECT_EQ(parseCoordinate(u"-37,1234565"), -37123457);
    EXPECT_EQ(parseCoordinate(u"12,1234564999"), 12123456);
    EXPECT_EQ(parseCoordinate(u"  7 "), 7000000);
    EXPECT_EQ(parseCoordinate(u",25"), 250000);
    EXPECT_EQ(parseCoordinate(u"2147,483647"), INT32_MAX);
    EXPECT_EQ(parseCoordinate(u"-2147,483648"), INT32_MIN);
    for (const char16_t* bad : {u"", u"-", u",", u"1,2,3", u"12a", u"2147,483648", u"1e5", u"--1", u"99999999999999"})
        EXPECT_FALSE(parseCoordinate(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(formatCoordinate(-500000), QStringLiteral("-0,500000"));
    EXPECT_EQ(formatCoordinate(INT32_MIN), QStringLiteral("-2147,483648"));
    EXPECT_EQ(formatCoordinate(55123457), QStringLiteral("55,123457"));
}

TEST(RouteFile, ValuesTheFieldsCannotHoldAreCappedOrRefusedNeverWrapped)
{
    RouteTable t;
    t.rows = {row("1", "2", "2555", "300", QStringLiteral("n"), "3605", "999")};
    const RouteFileBytes out = encodeRouteFile(t);
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(uint8_t(out.bytes[1 + 8]), 255);
    EXPECT_EQ(uint8_t(out.bytes[1 + 9]), 255);
    EXPECT_EQ(uint8_t(out.bytes[1 + 40]) | uint8_t(out.bytes[1 + 41]) << 8, 360);
    EXPECT_EQ(uint8_t(out.bytes[1 + 42]), 250);
    EXPECT_EQ(t.rows[0], row("1,000000", "2,000000", "255", "255", QStringLiteral("n"), "360", "250"));

    // A name longer than the field keeps its first 29 bytes, and the grid shows them.
    RouteTable longName;
    longName.rows[0][ColName] = QString(40, QLatin1Char('w'));
    ASSERT_TRUE(encodeRouteFile(longName).ok());
    EXPECT_EQ(longName.rows[0][ColName], QString(29, QLatin1Char('w')));

    // A cell that is no number stops the save and names itself; the table stays as it was.
    for (const auto& [column, text] : {std::pair{int(ColLatitude), "55,1,2"}, {int(ColInner), "1,5"},
                                       {int(ColDirection), "-5"}, {int(ColLongitude), "3000"}}) {
        RouteTable bad = threeZones();
        bad.rows[1][column] = QString::fromUtf8(text);
        const RouteTable before = bad;
        const RouteFileBytes refused = encodeRouteFile(bad);
        EXPECT_FALSE(refused.ok()) << text;
        EXPECT_TRUE(refused.error.contains(QStringLiteral("строку 2"))) << refused.error.toStdString();
        EXPECT_TRUE(refused.error.contains(headers().at(column))) << refused.error.toStdString();
        EXPECT_EQ(bad, before);
    }
    RouteTable cyrillic;
    cyrillic.rows[0][ColName] = QStringLiteral("Остановка.wav");
    ASSERT_TRUE(encodeRouteFile(cyrillic).ok());
    RouteTable chinese;
    chinese.rows[0][ColName] = QStringLiteral("站.wav");
    EXPECT_FALSE(encodeRouteFile(chinese).ok());
}

TEST(RouteFile, CutShortOrLyingFilesLoadOnlyTheirWholeRecords)
{
    const QByteArray good = threeZonesFile();
    const RouteFileRead whole = parseRouteFile(good + QByteArray("trailing bytes are ignored"));
    EXPECT_EQ(whole.status, RouteFileRead::Loaded);
    EXPECT_EQ(whole.table.count(), 3);
    EXPECT_TRUE(whole.message.isEmpty());

    // The count promises three, the file holds two and a half.
    const RouteFileRead cut = parseRouteFile(good.left(1 + 2 * 44 + 20));
    EXPECT_EQ(cut.status, RouteFileRead::Partial);
    EXPECT_EQ(cut.table.count(), 2);
    EXPECT_EQ(cut.promised, 3);
    EXPECT_EQ(cut.present, 2);
    EXPECT_TRUE(cut.message.contains(QStringLiteral("3"))) << cut.message.toStdString();
    EXPECT_EQ(cut.table.rows[1][ColName], QStringLiteral("0"));

    // A count of 255 over a file of one record; a count byte alone; nothing at all.
    QByteArray lying = good.left(1 + 44);
    lying[0] = char(255);
    EXPECT_EQ(parseRouteFile(lying).table.count(), 1);
    EXPECT_EQ(parseRouteFile(QByteArray(1, '\x05')).table.count(), 0);
    const RouteFileRead zero = parseRouteFile(QByteArray(1, '\0'));
    EXPECT_EQ(zero.status, RouteFileRead::Loaded);
    EXPECT_EQ(zero.table.count(), 0);
    EXPECT_EQ(parseRouteFile({}).status, RouteFileRead::Refused);

    // A name that fills its 30 bytes without a terminator is read to the field's end, never beyond.
    QByteArray full = good.left(1 + 44);
    full[0] = 1;
    for (int i = 0; i < 30; ++i)
        full[1 + 10 + i] = 'n';
    EXPECT_EQ(parseRouteFile(full).table.rows[0][ColName], QString(30, QLatin1Char('n')));
}

TEST(RouteFile, OpenAndSaveGoThroughFilesAndKeepTheTableOnFailure)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Marshrut.fai"));
    RouteTable t = threeZones();
    const SaveResult saved = Save_marshrut(path, t);
    ASSERT_TRUE(saved.ok);
    EXPECT_EQ(rvtest::fileBytes(path), threeZonesFile());

    RouteTable opened;
    EXPECT_EQ(Open_marshrut(path, opened).status, OpenStatus::Loaded);
    EXPECT_EQ(opened, t);

    // A missing file: nothing happens, nothing is said.
    RouteTable kept = threeZones();
    const OpenResult missing = Open_marshrut(dir.filePath(QStringLiteral("none.fai")), kept);
    EXPECT_EQ(missing.status, OpenStatus::NotOpened);
    EXPECT_TRUE(missing.message.isEmpty());
    EXPECT_EQ(kept, threeZones());
    // An empty file is refused and the table stays.
    rvtest::putFile(dir.filePath(QStringLiteral("empty.fai")), {});
    const OpenResult empty = Open_marshrut(dir.filePath(QStringLiteral("empty.fai")), kept);
    EXPECT_EQ(empty.status, OpenStatus::Refused);
    EXPECT_FALSE(empty.message.isEmpty());
    EXPECT_EQ(kept, threeZones());
    // A cut file loads its whole records and says so.
    rvtest::putFile(dir.filePath(QStringLiteral("cut.fai")), threeZonesFile().left(100));
    const OpenResult cut = Open_marshrut(dir.filePath(QStringLiteral("cut.fai")), kept);
    EXPECT_EQ(cut.status, OpenStatus::Partial);
    EXPECT_EQ(kept.count(), 2);

    // A folder that does not exist: failure, and an earlier file of that name is untouched.
    RouteTable other = threeZones();
    EXPECT_EQ(Save_marshrut(dir.filePath(QStringLiteral("no/such/folder.fai")), other).message,
              QStringLiteral("Не удалось сохранить %1: нет такой папки").arg(dir.filePath(QStringLiteral("no/such/folder.fai"))));
    other.rows[0][ColInner] = QStringLiteral("x");
    EXPECT_FALSE(Save_marshrut(path, other).ok);
    EXPECT_EQ(rvtest::fileBytes(path), threeZonesFile());
}

TEST(RouteRows, AddDeleteAndTheLimit)
{
    RouteTable t;
    EXPECT_EQ(t.count(), 1);
    EXPECT_EQ(t.addRows(10), 10);
    EXPECT_EQ(t.addRows(50), 50);
    EXPECT_EQ(t.count(), 61);
    EXPECT_EQ(t.addRows(500), kMaxZones - 61);
    EXPECT_EQ(t.count(), kMaxZones);
    EXPECT_FALSE(t.addRow());

    RouteTable small = threeZones();
    ASSERT_TRUE(small.deleteRow(1));
    EXPECT_EQ(small.count(), 2);
    EXPECT_EQ(small.rows[0][ColLatitude], QStringLiteral("-33,868820")); // the rows below moved up
    EXPECT_FALSE(small.deleteRow(3));
    ASSERT_TRUE(small.deleteRow(2));
    ASSERT_TRUE(small.deleteRow(1)); // the only row left keeps its content
    EXPECT_EQ(small.count(), 1);
    EXPECT_EQ(small.rows[0][ColLatitude], QStringLiteral("-33,868820"));
    small.deleteAll();
    EXPECT_EQ(small, RouteTable{});
    EXPECT_EQ(zoneCountText(small.count()), QStringLiteral("Общее количество геозон: 1"));

    ASSERT_TRUE(small.setCoordinates(1, -12345678, 98765432));
    EXPECT_EQ(small.rows[0][ColLatitude], QStringLiteral("-12,345678"));
    EXPECT_EQ(small.rows[0][ColLongitude], QStringLiteral("98,765432"));
    EXPECT_FALSE(small.setCoordinates(2, 1, 1));
}

TEST(RouteKeys, CoordinateColumnsTakeDigitsOneCommaAndOneLeadingMinus)
{
    const auto accepts = [](int column, QStringView cell, char16_t key, qsizetype cursor = -1) {
        const QString text = cell.toString();
        const KeyVerdict v = KeyPressAutoinfoGrid(column, text, QChar(key), cursor < 0 ? text.size() : cursor);
        EXPECT_FALSE(v.cellText.has_value());
        return v.accept;
    };
    for (int column : {int(ColLatitude), int(ColLongitude)}) {
        EXPECT_TRUE(accepts(column, u"55", u','));
        EXPECT_TRUE(accepts(column, u"55,", u'1'));
        EXPECT_FALSE(accepts(column, u"55,1", u','));
        EXPECT_FALSE(accepts(column, u"55", u'a'));
        EXPECT_FALSE(accepts(column, u"55", u'.'));
        EXPECT_TRUE(accepts(column, u"", u'-'));
        EXPECT_TRUE(accepts(column, u"33,5", u'-', 0));
        EXPECT_FALSE(accepts(column, u"33,5", u'-', 2));
        EXPECT_FALSE(accepts(column, u"-33,5", u'-', 0));
        EXPECT_FALSE(accepts(column, u"-33,5", u'1', 0)); // nothing before the sign
        // Ten characters are the limit (eleven with a sign); Backspace always goes through.
        EXPECT_FALSE(accepts(column, u"179,123456", u'7'));
        EXPECT_TRUE(accepts(column, u"179,123456", kBackspace));
        EXPECT_TRUE(accepts(column, u"-179,12345", u'6'));
        EXPECT_FALSE(accepts(column, u"-179,123456", u'7'));
    }
    EXPECT_TRUE(accepts(ColName, u"Остановка", u'ы'));
    EXPECT_TRUE(accepts(ColName, QString(28, QLatin1Char('a')), u'.'));
    EXPECT_FALSE(accepts(ColName, QString(29, QLatin1Char('a')), u'.'));
    EXPECT_TRUE(accepts(ColName, QString(29, QLatin1Char('a')), kBackspace));
}

TEST(RouteKeys, NumberColumnsTakeDigitsUpToTheirMaximum)
{
    struct Case {
        int column;
        const char16_t* cell;
        char16_t key;
        bool accept;
        std::optional<QString> cell2;
    };
    const Case cases[] = {
        {ColInner, u"12", u'a', false, {}},
        {ColOuter, u"12", u'a', false, {}}, // a letter is discarded in column 4 as in column 3
        {ColInner, u"12", u',', false, {}},
        {ColInner, u"25", u'5', true, {}},
        {ColInner, u"25", u'6', false, QStringLiteral("255")},
        {ColInner, u"300", u'1', false, QStringLiteral("255")}, // 300 typed into becomes 255
        {ColOuter, u"99", u'9', false, QStringLiteral("255")},
        {ColDirection, u"36", u'0', true, {}},
        {ColDirection, u"36", u'1', false, QStringLiteral("360")},
        {ColSpread, u"25", u'0', true, {}},
        {ColSpread, u"25", u'1', false, QStringLiteral("250")},
        {ColInner, u"", u'7', true, {}},
        {ColInner, u"", kBackspace, false, QStringLiteral("1")}, // an emptied cell gets its default
        {ColOuter, u"", kBackspace, false, QStringLiteral("1")},
        {ColDirection, u"", kBackspace, false, QStringLiteral("0")},
        {ColSpread, u"", kBackspace, false, QStringLiteral("0")},
        {ColSpread, u"250", kBackspace, true, {}},
    };
    for (const Case& c : cases) {
        const QString cell = QString::fromUtf16(c.cell);
        const KeyVerdict v = KeyPressAutoinfoGrid(c.column, cell, QChar(c.key), cell.size());
        EXPECT_EQ(v.accept, c.accept) << c.column << " " << cell.toStdString() << " " << char(c.key);
        EXPECT_EQ(v.cellText, c.cell2) << c.column << " " << cell.toStdString() << " " << char(c.key);
    }
}

TEST(RouteWav, OnlyEightBitMonoNearTwelveKilohertz)
{
    QByteArray h(44, '\0');
    h.replace(0, 4, "RIFF");
    h[20] = 1; // PCM
    h[22] = 1;
    const auto rate = [&h](uint32_t r) {
        for (int i = 0; i < 4; ++i)
            h[24 + i] = char((r >> (8 * i)) & 0xFF);
    };
    rate(11025);
    h[34] = 8;
    EXPECT_TRUE(wavFormatAccepted(h));
    EXPECT_TRUE(wavFormatAccepted(h.left(36)));
    EXPECT_FALSE(wavFormatAccepted(h.left(35))); // a header cut short is never read past its end
    EXPECT_FALSE(wavFormatAccepted({}));
    rate(12000);
    EXPECT_TRUE(wavFormatAccepted(h));
    rate(12001);
    EXPECT_FALSE(wavFormatAccepted(h));
    rate(10999);
    EXPECT_FALSE(wavFormatAccepted(h));
    rate(11000);
    h[22] = 2;
    EXPECT_FALSE(wavFormatAccepted(h));
    h[22] = 1;
    h[34] = 16;
    EXPECT_FALSE(wavFormatAccepted(h));
    h[34] = 8;
    h[0] = 'X';
    EXPECT_FALSE(wavFormatAccepted(h));
    EXPECT_EQ(wavFormatMessage(),
              QStringLiteral("Не правильный формат файла\nВыберите файл с параметрами\n(12(11,025) кГц, 8 бит, моно)"));
}
