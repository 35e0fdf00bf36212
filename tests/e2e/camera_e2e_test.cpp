// Camera snapshots through the real serial port from the virtual unit's cameras: the picture arrives byte
// for byte, whole or in pieces, at every resolution, and the camera's failures end the snapshot.

#include "core/config/records.h"
#include "core/devicefiles/camera_snapshot.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/connected_session.h"
#include "support/rvsim_process.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"
#include "support/files.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLabel>

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::RvsimProcess;
using rvtest::waitUntil;

namespace {

struct CameraRig : rvtest::ConnectedSession {
    CameraSnapshot camera{session};

    using ConnectedSession::ConnectedSession;
    // One snapshot; the message the progress window closed with.
    QString shoot(int cam)
    {
        const qsizetype before = closed.size();
        camera.View_imageClick(cam);
        waitUntil([&] { return closed.size() > before; });
        return closed.size() > before ? closed.last() : QStringLiteral("<still running>");
    }
};

} // namespace

TEST(CameraE2E, EveryResolutionArrivesAsTheUnitSentItWholeOrInPieces)
{
    const QSize sizes[] = {{80, 64}, {160, 128}, {320, 240}, {640, 480}};
    for (bool split : {false, true}) {
        QTemporaryDir scratch;
        const QString sent = scratch.filePath(QStringLiteral("sent.jpg"));
        QStringList args{QStringLiteral("--camera-out"), sent};
        if (split)
            args << QStringLiteral("--split");
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), args);
        ASSERT_TRUE(unit.started());
        CameraRig rig(unit.pty());
        QSignalSpy pictures(&rig.camera, &CameraSnapshot::pictureReady);
        for (int index = 0; index < 4; ++index) {
            SCOPED_TRACE(testing::Message() << "split " << split << " resolution " << index);
            const int cam = index % 2 + 1;
            rig.camera.setResolution(1, index);
            rig.camera.setResolution(2, index);
            ASSERT_EQ(rig.shoot(cam), QString());
            const QByteArray jpeg = rvtest::fileBytes(sent);
            ASSERT_GT(jpeg.size(), 1000);
            EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), jpeg);
            ASSERT_FALSE(pictures.isEmpty());
            EXPECT_EQ(pictures.last().at(0).toInt(), cam);
            EXPECT_TRUE(pictures.last().at(3).toBool());
            EXPECT_EQ(QImage::fromData(rvtest::fileBytes(CameraSnapshot::imagePath())).size(), sizes[index]);
        }
        EXPECT_EQ(unit.count("CONFIGJ"), 2);
        EXPECT_EQ(unit.count("CONFIGH"), 2);
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
        EXPECT_TRUE(rig.session.session().connected);
    }
}

// A slow PC, or an adapter that hands bytes on in lumps: several of the camera's 1000-byte bursts land in one
// notification, up to the whole picture at once. Every byte is kept, in order.
TEST(CameraE2E, BurstsThatLandTogetherStillMakeThePicture)
{
    const QStringList shapes[] = {{QStringLiteral("--lump-ms"), QStringLiteral("250")},
                                  {QStringLiteral("--camera-gap-ms"), QStringLiteral("0")}};
    for (const QStringList& shape : shapes) {
        SCOPED_TRACE(shape.join(' ').toStdString());
        QTemporaryDir scratch;
        const QString sent = scratch.filePath(QStringLiteral("sent.jpg"));
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), QStringList{QStringLiteral("--camera-out"), sent} + shape);
        ASSERT_TRUE(unit.started());
        CameraRig rig(unit.pty());
        for (int index : {3, 2, 1}) {
            SCOPED_TRACE(index);
            rig.camera.setResolution(1, index);
            ASSERT_EQ(rig.shoot(1), QString());
            const QByteArray jpeg = rvtest::fileBytes(sent);
            ASSERT_GT(jpeg.size(), 2048);
            EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), jpeg);
        }
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
    }
}

TEST(CameraE2E, TheCamerasFailuresEndTheSnapshotAndKeepTheGoodPicture)
{
    struct Case {
        const char* fail;
        QString message;
    };
    const Case cases[] = {
        {"imfl", QStringLiteral("Нет связи с камерой")},
        {"imbusy", QStringLiteral("Камера занята")},
        {"lost", QStringLiteral("Нет связи с камерой")},
        {"silent", QStringLiteral("Нет ответа/Повторите операцию")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fail);
        QTemporaryDir scratch;
        const QString sent = scratch.filePath(QStringLiteral("sent.jpg"));
        RvsimProcess unit(QStringLiteral(RVSIM_PATH),
                          {QStringLiteral("--camera-fail"), QString::fromLatin1(c.fail), QStringLiteral("--camera-out"), sent});
        ASSERT_TRUE(unit.started());
        CameraRig rig(unit.pty());
        {
            QFile good(CameraSnapshot::imagePath());
            ASSERT_TRUE(good.open(QIODevice::WriteOnly));
            good.write("the good old picture");
        }
        QSignalSpy pictures(&rig.camera, &CameraSnapshot::pictureReady);
        EXPECT_EQ(rig.shoot(1), c.message);
        EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), "the good old picture");
        if (QByteArrayView(c.fail) == "lost") {
            // What came before the camera was lost is shown and kept under its own name.
            ASSERT_EQ(pictures.size(), 1);
            EXPECT_FALSE(pictures.last().at(3).toBool());
            EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::cutImagePath()), rvtest::fileBytes(sent));
        } else {
            EXPECT_TRUE(pictures.isEmpty());
        }
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
        EXPECT_FALSE(rig.camera.active());
    }
}

TEST(CameraE2E, TheViewerShowsThePictureTheUnitSentAtItsSize)
{
    for (bool split : {false, true}) {
        SCOPED_TRACE(split);
        QTemporaryDir home;
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        const QString port = home.filePath(QStringLiteral("ttyRV0"));
        const QString sent = home.filePath(QStringLiteral("sent.jpg"));
        {
            QFile ini(home.filePath(QStringLiteral("Config.ini")));
            ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
            ini.write("[Config]\r\nCom port=" + port.toLocal8Bit() + "\r\n");
        }
        QStringList args{QStringLiteral("--link"), port, QStringLiteral("--camera-out"), sent};
        if (split)
            args << QStringLiteral("--split");
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), args);
        ASSERT_TRUE(unit.started());
        SerialLink link;
        ConfigRecords records;
        MonitorBlocks monitor;
        SessionController session{link, &records, &monitor};
        MainWindow window{records};
        SessionBinding binding{window, session};
        ConfigPages pages{window, session};
        QStringList closed;
        QObject::connect(&session.progress(), &ProgressWatchdog::closed, [&closed](const QString& t) { closed << t; });
        window.show();
        ASSERT_TRUE(waitUntil([&] { return window.statusText(0) == QStringLiteral("Считано с устройства"); }));

        auto* rez = window.findChild<QComboBox*>(QStringLiteral("Image_rez"));
        auto* view = window.findChild<QAbstractButton*>(QStringLiteral("View_image1"));
        ASSERT_TRUE(rez && view);
        rez->setCurrentIndex(3);
        emit rez->activated(3);
        ASSERT_TRUE(view->isEnabled());
        closed.clear();
        view->click();
        ASSERT_TRUE(waitUntil([&] { return !closed.isEmpty(); }));
        EXPECT_EQ(closed.last(), QString());
        const QByteArray jpeg = rvtest::fileBytes(sent);
        EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), jpeg);
        auto* viewer = window.window(QStringLiteral("TForm6"));
        ASSERT_NE(viewer, nullptr);
        EXPECT_TRUE(viewer->isVisible());
        auto* image = viewer->findChild<QLabel*>(QStringLiteral("Image_camera"));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->pixmap().size(), QSize(640, 480));
        EXPECT_EQ(image->size(), QSize(640, 480));
        window.close();
        qunsetenv("RVCONF_HOME");
    }
}
