// The camera snapshot driven tick by tick over the in-memory link: the request's exact bytes, the header
// and the picture in bursts, the camera's failures, and what becomes of "Image.jpg".

#include "core/devicefiles/camera_snapshot.h"

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/session_texts.h"
#include "support/unit_bytes.h"
#include "support/files.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using namespace rvtest;

namespace {

QByteArray header(uint32_t size, char end = 'E')
{
    QByteArray h("IMAGE");
    h += char(size & 0xFF);
    h += char((size >> 8) & 0xFF);
    h += char((size >> 16) & 0xFF);
    h += end;
    return h;
}

// Picture bytes that hold the markers of other replies, as a JPEG may by chance.
QByteArray trickyPicture(qsizetype n)
{
    QByteArray b = pattern(n, 9);
    const QByteArray markers = "FAIL WRITE GPS\x05\x01" "E +PASS=? TRACKDEL NEWCONF IMFL IMBUSY IMAGE\x01\x02\x03" "E RV-TR\x02\x01";
    for (qsizetype at = 0; at + markers.size() < n; at += 700)
        b.replace(at, markers.size(), markers);
    return b;
}

class Camera : public ::testing::Test {
protected:
    QTemporaryDir home;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s{link, &records, &monitor};
    CameraSnapshot cam{s};
    QSignalSpy closed{&s.progress(), &ProgressWatchdog::closed};
    QSignalSpy pictures{&cam, &CameraSnapshot::pictureReady};
    QSignalSpy sizes{&cam, &CameraSnapshot::sizeAnnounced};
    SessionTexts texts{s};
    QSignalSpy sessionMessages{&texts, &SessionTexts::message};
    QSignalSpy passwordWanted{&s, &SessionController::passwordWanted};

    void SetUp() override
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        runStep();
        unit(rvTr(2, 1));
        link.takeWritten();
    }
    void runStep() { for (int i = 0; i < 10; ++i) s.Find_deviceTimer(); }
    void ticks(int n) { for (int i = 0; i < n; ++i) s.Receive_timerTimer(); }
    // One burst of the unit, then the line goes quiet.
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        ticks(6);
    }
    // The unit's picture after its header, in bursts of at most `burst` bytes.
    void picture(const QByteArray& jpeg, qsizetype burst = 1000)
    {
        for (qsizetype at = 0; at < jpeg.size(); at += burst)
            unit(jpeg.sliced(at, std::min(burst, jpeg.size() - at)));
    }
    void shoot(int camera = 1)
    {
        cam.View_imageClick(camera);
        runStep();
    }
    QString lastClosed() const { return closed.isEmpty() ? QStringLiteral("<open>") : closed.last().at(0).toString(); }
    QByteArray lastPicture() const { return pictures.isEmpty() ? QByteArray() : pictures.last().at(1).toByteArray(); }
};

TEST(CameraReplies, HeaderSizeAndTheOtherReplies)
{
    // 0x10 0x27 0x00 announces 10 000 bytes.
    const camera::Reply h = camera::parseReply(QByteArray("IMAGE\x10\x27\x00" "E", 9));
    EXPECT_EQ(h.kind, camera::Reply::Kind::Header);
    EXPECT_EQ(h.size, 10000u);
    EXPECT_EQ(h.length, 9);
    EXPECT_EQ(camera::parseReply(header(0xFFFFFF) + "tail").size, 0xFFFFFFu);
    EXPECT_EQ(camera::parseReply(header(100, 'X')).kind, camera::Reply::Kind::HeaderNoEnd);
    EXPECT_EQ(camera::parseReply(header(100).left(8)).kind, camera::Reply::Kind::Partial);
    EXPECT_EQ(camera::parseReply("IMFLxx").kind, camera::Reply::Kind::NoLink);
    EXPECT_EQ(camera::parseReply("IMBUSY").kind, camera::Reply::Kind::Busy);
    EXPECT_EQ(camera::parseReply("IMB").kind, camera::Reply::Kind::Partial);
    EXPECT_EQ(camera::parseReply("IMX").kind, camera::Reply::Kind::None);
    EXPECT_EQ(camera::parseReply("").kind, camera::Reply::Kind::None);
    EXPECT_EQ(camera::resolutionSize(0), QSize(80, 64));
    EXPECT_EQ(camera::resolutionSize(3), QSize(640, 480));
}

TEST_F(Camera, RequestBytesCarryTheResolutionOfTheCamerasList)
{
    cam.setResolution(1, 3);
    cam.setResolution(2, 0x12);
    cam.View_imageClick(1);
    EXPECT_EQ(s.session().OperationState, osCameraShot1);
    EXPECT_EQ(s.progress().label(), QStringLiteral("Идет получение изображения с камеры 1..."));
    EXPECT_EQ(s.progress().limit(), 50);
    EXPECT_TRUE(link.written().isEmpty()); // the step sends it, about a second later
    runStep();
    EXPECT_EQ(link.writes(), (QList<QByteArray>{"CONFIGJ", QByteArray("\x03")}));
    unit("IMBUSY");
    link.takeWritten();

    cam.View_imageClick(2);
    EXPECT_EQ(s.session().OperationState, osCameraShot2);
    EXPECT_EQ(s.progress().label(), QStringLiteral("Идет получение изображения с камеры 2..."));
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGH\x02"));
}

TEST_F(Camera, AWholePictureBecomesImageJpgWhateverItsBytesHold)
{
    const QByteArray jpeg = trickyPicture(3000);
    for (bool early : {true, false}) {
        SCOPED_TRACE(early);
        s.setEarlyFrames(early);
        pictures.clear();
        shoot();
        // The header's burst carries the picture's first bytes.
        unit(header(3000) + jpeg.left(991));
        EXPECT_EQ(sizes.last().at(1).toUInt(), 3000u);
        EXPECT_EQ(cam.bytesReceived(), 991u);
        // A burst may also reach the program in pieces: "IMFL" inside a burst is picture data.
        ASSERT_EQ(jpeg.sliced(1443, 4), "IMFL");
        link.feed(jpeg.sliced(991, 452));
        link.feed(jpeg.sliced(1443, 557));
        ticks(6);
        picture(jpeg.sliced(2000));
        ASSERT_EQ(pictures.size(), 1);
        EXPECT_EQ(lastPicture(), jpeg);
        EXPECT_TRUE(pictures.last().at(3).toBool());
        EXPECT_EQ(pictures.last().at(2).toString(), CameraSnapshot::imagePath());
        EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), jpeg);
        EXPECT_EQ(lastClosed(), QString());
        EXPECT_EQ(s.session().OperationState, osIdle);
        EXPECT_FALSE(cam.active());
    }
    EXPECT_TRUE(sessionMessages.isEmpty());
    EXPECT_TRUE(passwordWanted.isEmpty());
    EXPECT_EQ(s.session().DeviceType, 2);
    EXPECT_FALSE(QFile::exists(CameraSnapshot::cutImagePath()));
}

TEST_F(Camera, ASmallPictureInTheHeadersBurstAndBytesPastItsSizeAreIgnored)
{
    const QByteArray jpeg = pattern(200, 4);
    for (bool early : {true, false}) {
        SCOPED_TRACE(early);
        s.setEarlyFrames(early);
        shoot();
        // 60 bytes too many, in the same burst and in a piece of it that comes later: no reply is
        // searched in them and the picture stops at its size.
        link.feed(header(200) + jpeg + "FAIL+PASS=?");
        link.feed(QByteArray("TRACKDEL") + pattern(41, 2));
        ticks(6);
        EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), jpeg);
        EXPECT_EQ(lastClosed(), QString());
        EXPECT_TRUE(sessionMessages.isEmpty());
        EXPECT_TRUE(passwordWanted.isEmpty());
        // Once the line was quiet, replies are heard again.
        unit("+PASS=?");
        EXPECT_EQ(passwordWanted.size(), 1);
        passwordWanted.clear();
    }
}

TEST_F(Camera, TheHeaderAfterAnotherReplyInItsBurstIsFoundAndItsDataKept)
{
    const QByteArray jpeg = pattern(1500, 6);
    shoot(2);
    unit(monitorReply("GPS", pattern(10, 1)) + header(1500) + jpeg.left(700));
    EXPECT_EQ(cam.bytesReceived(), 700u);
    picture(jpeg.sliced(700));
    EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), jpeg);
    EXPECT_EQ(pictures.last().at(0).toInt(), 2);
}

TEST_F(Camera, AHeaderWithoutItsEIsIgnored)
{
    shoot();
    unit(header(100, 'X') + pattern(100, 1));
    EXPECT_TRUE(sizes.isEmpty());
    EXPECT_TRUE(cam.active());
    unit(header(100) + pattern(100, 1));
    EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), pattern(100, 1));
}

TEST_F(Camera, TheCameraLostMidPictureShowsWhatCameButKeepsTheGoodImageJpg)
{
    rvtest::putFile(CameraSnapshot::imagePath(), "the good old picture");
    const QByteArray jpeg = pattern(5000, 3);
    for (bool early : {true, false}) {
        SCOPED_TRACE(early);
        s.setEarlyFrames(early);
        shoot();
        unit(header(5000) + jpeg.left(1000));
        picture(jpeg.sliced(1000, 1000));
        unit("IMFL"); // a burst of its own: the unit's reply
        ASSERT_FALSE(pictures.isEmpty());
        EXPECT_FALSE(pictures.last().at(3).toBool());
        EXPECT_EQ(lastPicture(), jpeg.left(2000));
        EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::cutImagePath()), jpeg.left(2000));
        EXPECT_EQ(lastClosed(), QStringLiteral("Нет связи с камерой"));
        EXPECT_EQ(s.session().OperationState, osIdle);
        EXPECT_FALSE(cam.active());
    }
    EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), "the good old picture");
}

TEST_F(Camera, ABurstOfPictureThatBeginsLikeIMFLIsStillPicture)
{
    // The last two bytes of the picture come alone and look like the start of "IMFL".
    QByteArray jpeg = pattern(1002, 5);
    jpeg[1000] = 'I';
    jpeg[1001] = 'M';
    shoot();
    unit(header(1002) + jpeg.left(1000));
    unit(jpeg.sliced(1000));
    EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), jpeg);
    // A burst of picture that begins "IMF" and goes on is picture.
    QByteArray longer = pattern(2000, 7);
    longer.replace(1000, 4, "IMF\x01");
    shoot();
    unit(header(2000) + longer.left(1000));
    link.feed(longer.sliced(1000, 3));
    link.feed(longer.sliced(1003));
    ticks(6);
    EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), longer);
}

TEST_F(Camera, TheUnitsFailuresEndTheSnapshotWithTheirMessage)
{
    rvtest::putFile(CameraSnapshot::imagePath(), "the good old picture");
    struct Case {
        QByteArray burst;
        QString message;
    };
    const Case cases[] = {
        {"IMFL", QStringLiteral("Нет связи с камерой")},
        {"IMBUSY", QStringLiteral("Камера занята")},
        {monitorReply("GPS", pattern(10, 1)) + "IMFL", QStringLiteral("Нет связи с камерой")},
        {monitorReply("GPS", pattern(10, 1)) + "IMBUSY", QStringLiteral("Камера занята")},
        {header(0), QStringLiteral("Нет связи с камерой")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.burst.toStdString());
        shoot();
        unit(c.burst);
        EXPECT_EQ(lastClosed(), c.message);
        EXPECT_EQ(s.session().OperationState, osIdle);
        EXPECT_FALSE(cam.active());
        EXPECT_FALSE(s.session().cameraTransfer);
    }
    EXPECT_TRUE(pictures.isEmpty());
    EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), "the good old picture");
}

TEST_F(Camera, SilenceEndsInTheWatchdogAndALatePictureIsNotTaken)
{
    rvtest::putFile(CameraSnapshot::imagePath(), "the good old picture");
    for (bool midPicture : {false, true}) {
        SCOPED_TRACE(midPicture);
        shoot();
        if (midPicture)
            unit(header(3000) + pattern(500, 1));
        for (int i = 0; i < 60; ++i)
            s.progress().Timer1Timer();
        EXPECT_EQ(lastClosed(), QStringLiteral("Нет ответа/Повторите операцию"));
        EXPECT_EQ(s.session().OperationState, osIdle);
        EXPECT_FALSE(cam.active());
        // What comes late is no picture of ours, and replies are heard again.
        unit(header(10) + pattern(10, 1));
        unit("+PASS=?");
        EXPECT_EQ(passwordWanted.size(), 1);
        passwordWanted.clear();
    }
    EXPECT_TRUE(pictures.isEmpty());
    EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), "the good old picture");
    EXPECT_FALSE(QFile::exists(CameraSnapshot::cutImagePath()));
}

TEST_F(Camera, AnotherOperationOrALostLineEndsTheSnapshot)
{
    shoot();
    unit(header(3000) + pattern(500, 1));
    s.Download_deviceClick(); // the read's replies are its own, not picture bytes
    EXPECT_FALSE(cam.active());
    EXPECT_FALSE(s.session().cameraTransfer);

    shoot();
    unit(header(3000) + pattern(500, 1));
    link.hangUp();
    EXPECT_FALSE(cam.active());
    EXPECT_FALSE(s.session().cameraTransfer);
    EXPECT_TRUE(pictures.isEmpty());
}

} // namespace
