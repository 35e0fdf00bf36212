// Firmware images and the bootloader exchange, driven tick by tick over the in-memory link.

#include "core/config/records.h"
#include "core/firmware/firmware_update.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/unit_bytes.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using namespace rvtest;

namespace {

QByteArray header(uint32_t size, uint8_t hardware = 2, uint8_t version = 7, uint32_t check = 0x12345678)
{
    QByteArray h(32, '\0');
    h.replace(0, 4, "QDFW");
    h[4] = char(hardware);
    h[5] = char(version);
    for (int i = 0; i < 4; ++i) {
        h[8 + i] = char(size >> (8 * i));
        h[12 + i] = char(check >> (8 * i));
    }
    h[20] = char(0xE8); h[21] = char(0x07); // 2024
    h[22] = 12;
    h[24] = 5;
    return h;
}

// An image of `size` bytes whose header announces `size`; the bytes after the header count up.
QByteArray image(int size)
{
    QByteArray img = header(uint32_t(size)) + pattern(size - 32, 3);
    return img;
}

QByteArray le32(uint32_t v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(char(v >> (8 * i)));
    return b;
}

uint16_t sum(QByteArrayView b)
{
    uint32_t s = 0;
    for (char c : b)
        s += uchar(c);
    return uint16_t(s);
}

// The block packet a sound program sends for `offset`: the image's bytes there, 0xFF past its end.
QByteArray expectedBlock(const QByteArray& img, uint32_t offset)
{
    QByteArray data = img.mid(offset, 512);
    data += QByteArray(512 - data.size(), char(0xFF));
    QByteArray body = le32(offset) + data;
    const uint16_t s = sum(body);
    return "CONFIGB1" + body + char(s & 0xFF) + char(s >> 8);
}

TEST(FirmwareImage, HeaderFieldsAndTheirTexts)
{
    QByteArray h = header(1000, 0, 7, 0x1234ABCD);
    auto parsed = parseFirmwareHeader(h);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->hardware, 2); // 0 and 1 count as 2
    EXPECT_EQ(parsed->versionText(), QStringLiteral("Версия ПО: 7"));
    EXPECT_EQ(parsed->hardwareText(), QStringLiteral("Hard: 2"));
    EXPECT_EQ(parsed->sizeText(), QStringLiteral("Размер: 1000 байт(а)"));
    EXPECT_EQ(parsed->checkText(), QStringLiteral("CRC: 0x1234ABCD"));
    EXPECT_EQ(parsed->buildText(), QStringLiteral("Сборка: 2024.0012.05"));
    h[4] = 1;
    EXPECT_EQ(parseFirmwareHeader(h)->hardware, 2);
    h[4] = 3;
    EXPECT_EQ(parseFirmwareHeader(h)->hardware, 3);
    EXPECT_EQ(parseFirmwareHeader(header(1, 2, 0, 0xFF))->checkText(), QStringLiteral("CRC: 0x00FF"));

    EXPECT_FALSE(parseFirmwareHeader(h.left(31)));
    h[0] = 'X';
    EXPECT_FALSE(parseFirmwareHeader(h));
}

TEST(FirmwareImage, GoldenStartPacket)
{
    const QByteArray expected = QByteArray("CONFIGB0") +
        QByteArray::fromHex("e8030000" "78563412" "07" "0602");
    EXPECT_EQ(fwpacket::start(*parseFirmwareHeader(header(1000))), expected);
    EXPECT_EQ(expected.size(), 19);
}

TEST(FirmwareImage, BlockPacketsCarryTheirOffsetAndFillPastTheEndWithFF)
{
    const QByteArray img = image(1000);
    const QByteArray first = fwpacket::block(img, 0);
    ASSERT_EQ(first.size(), 526);
    EXPECT_EQ(first.left(12), QByteArray("CONFIGB1") + le32(0));
    EXPECT_EQ(first.mid(12, 512), img.left(512));
    const QByteArray last = fwpacket::block(img, 512);
    EXPECT_EQ(last.mid(8, 4), le32(512));
    EXPECT_EQ(last.mid(12, 488), img.mid(512));
    EXPECT_EQ(last.mid(500, 24), QByteArray(24, char(0xFF)));
    EXPECT_EQ(last, expectedBlock(img, 512));
    // A block wholly past the end carries no image bytes at all.
    EXPECT_EQ(fwpacket::block(img, 1024).mid(12, 512), QByteArray(512, char(0xFF)));
}

TEST(FirmwareImage, BootloaderRepliesAreFramedAsSoonAsTheyAreWhole)
{
    EXPECT_EQ(bootloaderReplyLength("BL_OK"), 5);
    EXPECT_EQ(bootloaderReplyLength("BL_BLxx"), 5);
    EXPECT_EQ(bootloaderReplyLength("BL_"), kFrameIncomplete);
    EXPECT_EQ(bootloaderReplyLength("B"), kFrameIncomplete);
    EXPECT_EQ(bootloaderReplyLength("BOOTLOADER"), 0);
    EXPECT_EQ(bootloaderReplyLength("BL_XX"), 0);
    EXPECT_EQ(bootloaderReplyLength(""), 0);
}

class Firmware : public ::testing::Test {
protected:
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s{link, &records, &monitor};
    FirmwareUpdate fw{s};
    QSignalSpy messages{&fw, &FirmwareUpdate::message};
    QSignalSpy ready{&fw, &FirmwareUpdate::readyChanged};
    QTemporaryDir dir;

    void SetUp() override
    {
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        steps(10);
        unit(rvTr(2, 1));
        link.takeWritten();
    }
    void steps(int n) { for (int i = 0; i < n; ++i) s.Find_deviceTimer(); }
    void ticks(int n) { for (int i = 0; i < n; ++i) s.Receive_timerTimer(); }
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        ticks(4);
    }
    QString file(const QByteArray& bytes, const QString& name = QStringLiteral("fw.bin"))
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    QString lastMessage() const { return messages.isEmpty() ? QString() : messages.last().at(0).toString(); }
    // From the running application into the bootloader: "CONFIGB", the search, the announcement.
    void restartIntoBootloader()
    {
        fw.program();
        steps(10);
        EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGB"));
        steps(10);
        EXPECT_TRUE(link.takeWritten().endsWith("CONFIGO"));
        unit(QByteArray("BOOTLOADER") + char(11) + char(2));
    }
};

TEST_F(Firmware, ImageOfOneThousandBytesGoesInTwoBlocksAndTheUnitIsSearchedAgain)
{
    const QByteArray img = image(1000);
    ASSERT_TRUE(fw.openImage(file(img), 2));
    QSignalSpy buttons{&s, &SessionController::buttonsEnabled};
    restartIntoBootloader();
    EXPECT_EQ(link.writes(), QList<QByteArray>{fwpacket::start(fw.header())});
    link.takeWritten();
    // Each complete "BL_OK" is answered at once, without waiting for the quiet gap.
    link.feed("BL_OK");
    EXPECT_EQ(link.writes(), QList<QByteArray>{expectedBlock(img, 0)});
    link.feed("BL_OK");
    EXPECT_EQ(link.writes(), (QList<QByteArray>{expectedBlock(img, 0), expectedBlock(img, 512)}));
    EXPECT_EQ(fw.progress(), 1000);
    link.takeWritten();
    link.feed("BL_OK");
    EXPECT_TRUE(link.writes().isEmpty());
    EXPECT_EQ(lastMessage(), QStringLiteral("Программирование завершено"));
    EXPECT_FALSE(fw.programming());
    EXPECT_FALSE(fw.inBootloader());
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(s.session().OperationState, osSearch);
    EXPECT_TRUE(s.armed());
    EXPECT_FALSE(buttons.last().at(0).toBool());
    EXPECT_TRUE(ready.last().at(0).toBool());
    // The unit comes back with its new program.
    steps(10);
    EXPECT_TRUE(link.isOpen());
}

TEST_F(Firmware, ImageOfExactlyTwoBlocksGoesInThreeTheLastAllFF)
{
    const QByteArray img = image(1024);
    ASSERT_TRUE(fw.openImage(file(img), 2));
    restartIntoBootloader();
    link.takeWritten();
    for (int i = 0; i < 3; ++i)
        link.feed("BL_OK");
    const auto w = link.writes();
    ASSERT_EQ(w.size(), 3);
    EXPECT_EQ(w[2], expectedBlock(img, 1024));
    EXPECT_EQ(w[2].mid(12, 512), QByteArray(512, char(0xFF)));
    link.feed("BL_OK");
    EXPECT_EQ(lastMessage(), QStringLiteral("Программирование завершено"));
}

TEST_F(Firmware, IncompletePacketIsSentAgainStartPacketFirst)
{
    const QByteArray img = image(1000);
    ASSERT_TRUE(fw.openImage(file(img), 2));
    restartIntoBootloader();
    link.takeWritten();
    link.feed("BL_EP");
    EXPECT_EQ(link.writes(), QList<QByteArray>{fwpacket::start(fw.header())});
    EXPECT_EQ(lastMessage(), QStringLiteral("Не полный пакет данных"));
    link.takeWritten();
    link.feed("BL_OK");
    link.feed("BL_EP");
    EXPECT_EQ(link.writes(), (QList<QByteArray>{expectedBlock(img, 0), expectedBlock(img, 0)}));
}

TEST_F(Firmware, RetryAfterAnErrorStartsAgainFromBlockZero)
{
    const QByteArray img = image(1500);
    ASSERT_TRUE(fw.openImage(file(img), 2));
    restartIntoBootloader();
    link.feed("BL_OK");
    link.feed("BL_OK");
    link.takeWritten();
    link.feed("BL_ER");
    EXPECT_EQ(lastMessage(), QStringLiteral("Ошибка при программировании"));
    EXPECT_FALSE(fw.programming());
    EXPECT_EQ(fw.bytesSent(), 0u);
    EXPECT_TRUE(ready.last().at(0).toBool());
    unit("BL_OK"); // not programming: nothing goes out, and the stray answer is spent
    EXPECT_TRUE(link.writes().isEmpty());

    // The unit is still in its bootloader: the start packet goes straight out, then block 0 of the image.
    fw.program();
    EXPECT_EQ(link.takeWritten(), fwpacket::start(fw.header()));
    link.feed("BL_OK");
    EXPECT_EQ(link.takeWritten(), expectedBlock(img, 0));
}

TEST_F(Firmware, RefusalStopsWithBothMessages)
{
    ASSERT_TRUE(fw.openImage(file(image(1000)), 2));
    restartIntoBootloader();
    link.feed("BL_BL");
    ASSERT_GE(messages.size(), 2);
    EXPECT_EQ(messages.at(messages.size() - 2).at(0).toString(), QStringLiteral("Ошибка при программировании"));
    EXPECT_EQ(lastMessage(), QStringLiteral("Не возможно обновить ПО"));
    EXPECT_FALSE(fw.programming());
}

TEST_F(Firmware, ReplyAfterOtherBytesIsFoundAfterTheQuietGap)
{
    const QByteArray img = image(1000);
    ASSERT_TRUE(fw.openImage(file(img), 2));
    restartIntoBootloader();
    link.takeWritten();
    unit("\r\nBL_OK");
    EXPECT_EQ(link.takeWritten(), expectedBlock(img, 0));
}

TEST_F(Firmware, SilentBootloaderEndsTheRunAndAStartAgainBeginsAtBlockZero)
{
    const QByteArray img = image(1000);
    ASSERT_TRUE(fw.openImage(file(img), 2));
    restartIntoBootloader();
    link.feed("BL_OK");
    EXPECT_TRUE(fw.waitingForReply());
    link.takeWritten();
    fw.replyTimedOut();
    EXPECT_FALSE(fw.programming());
    EXPECT_FALSE(fw.waitingForReply());
    EXPECT_EQ(lastMessage(), QStringLiteral("Загрузчик не отвечает. Повторите обновление"));
    EXPECT_TRUE(ready.last().at(0).toBool());
    fw.program();
    link.feed("BL_OK");
    EXPECT_EQ(link.writes(), (QList<QByteArray>{fwpacket::start(fw.header()), expectedBlock(img, 0)}));
}

TEST_F(Firmware, UnitThatNeverEntersItsBootloaderTimesOut)
{
    ASSERT_TRUE(fw.openImage(file(image(1000)), 2));
    fw.program();
    steps(10);
    fw.replyTimedOut();
    EXPECT_FALSE(fw.programming());
    EXPECT_EQ(lastMessage(), QStringLiteral("Устройство не перешло в режим загрузчика. Повторите обновление"));
    // A late announcement no longer starts anything.
    steps(10);
    link.takeWritten();
    unit(QByteArray("BOOTLOADER") + char(11) + char(2));
    EXPECT_TRUE(link.writes().isEmpty());
    EXPECT_TRUE(fw.inBootloader());
}

TEST_F(Firmware, StopMidTransferSendsNothingMore)
{
    ASSERT_TRUE(fw.openImage(file(image(1000)), 2));
    restartIntoBootloader();
    link.feed("BL_OK");
    fw.stop();
    link.takeWritten();
    link.feed("BL_OK");
    unit("BL_OK");
    EXPECT_TRUE(link.writes().isEmpty());
    EXPECT_TRUE(fw.inBootloader());
    EXPECT_EQ(fw.progress(), 0);
}

TEST_F(Firmware, StopBeforeTheRestartCancelsIt)
{
    ASSERT_TRUE(fw.openImage(file(image(1000)), 2));
    fw.program();
    fw.stop();
    steps(20);
    EXPECT_FALSE(link.written().contains("CONFIGB"));
}

TEST_F(Firmware, UnusableFilesAreRefusedAndDropThePreviousImage)
{
    ASSERT_TRUE(fw.openImage(file(image(1000), QStringLiteral("good.bin")), 2));
    EXPECT_TRUE(ready.last().at(0).toBool());

    struct Case { QByteArray bytes; QString message; };
    QByteArray notImage = image(1000);
    notImage[0] = 'Z';
    QByteArray sizeZero = image(1000);
    sizeZero.replace(8, 4, le32(0));
    QByteArray sizeBeyond = image(1000);
    sizeBeyond.replace(8, 4, le32(1001));
    const Case cases[] = {
        {notImage, QStringLiteral("Открываемый файл не является файлом прошивки !!!")},
        {QByteArray("QDFW"), QStringLiteral("Открываемый файл не является файлом прошивки !!!")},
        {header(1000, 3) + QByteArray(968, 'x'), QStringLiteral("Файл прошивки не соответствует типу устройства !!!")},
        {sizeZero, QStringLiteral("Размер образа в заголовке файла прошивки не верный !!!")},
        {sizeBeyond, QStringLiteral("Размер образа в заголовке файла прошивки не верный !!!")},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(fw.openImage(file(image(1000), QStringLiteral("good.bin")), 2));
        EXPECT_FALSE(fw.openImage(file(c.bytes, QStringLiteral("bad.bin")), 2));
        EXPECT_EQ(lastMessage(), c.message);
        EXPECT_FALSE(fw.hasImage());
        EXPECT_FALSE(ready.last().at(0).toBool());
    }
    ASSERT_TRUE(fw.openImage(file(image(1000), QStringLiteral("good.bin")), 2));
    EXPECT_FALSE(fw.openImage(dir.filePath(QStringLiteral("missing.bin")), 2));
    EXPECT_FALSE(fw.hasImage());
    fw.program();
    steps(20);
    EXPECT_FALSE(link.written().contains("CONFIGB"));
}

TEST_F(Firmware, OlderVersionOnlyWarns)
{
    EXPECT_TRUE(fw.openImage(file(image(1000)), 2, 9));
    EXPECT_EQ(lastMessage(), QStringLiteral("Версия файла более ранняя, чем та,\rчто записана в устройство !!!"));
    messages.clear();
    EXPECT_TRUE(fw.openImage(file(image(1000)), 2, 7));
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
