// The camera's controls on the peripheral page and the viewer TForm6 as a user drives them over the
// in-memory link: the lists kept equal, the request's bytes, the size label and the picture at its size.

#include "core/devicefiles/camera_snapshot.h"
#include "support/unit_bytes.h"
#include "ui/app/navigation.h"
#include "ui/config/pages_fixture.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>

using namespace rv;

namespace {

QByteArray jpegOf(QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    QPainter(&img).drawEllipse(img.rect().adjusted(4, 4, -4, -4));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPG", 80);
    return bytes;
}

QByteArray header(qsizetype size)
{
    QByteArray h("IMAGE");
    h += char(size & 0xFF);
    h += char((size >> 8) & 0xFF);
    h += char((size >> 16) & 0xFF);
    h += 'E';
    return h;
}

class CameraView : public rvtest::PagesTest {
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        runStep();
        unit(rvtest::rvTr(2, 1));
        link.takeWritten();
    }
    void runStep() { for (int i = 0; i < 10; ++i) s.Find_deviceTimer(); }
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        for (int i = 0; i < 6; ++i)
            s.Receive_timerTimer();
    }
    // The unit answers the request with `jpeg`, in bursts that fit the receive buffer.
    void answer(const QByteArray& jpeg)
    {
        const QByteArray all = header(jpeg.size()) + jpeg;
        for (qsizetype at = 0; at < all.size(); at += 1000)
            unit(all.mid(at, 1000));
    }
    QDialog* viewer() const { return w.window(QStringLiteral("TForm6")); }
    QLabel* image() const { return viewer() ? viewer()->findChild<QLabel*>(QStringLiteral("Image_camera")) : nullptr; }
};

} // namespace

TEST_F(CameraView, ResolutionListsStayEqualAndTheRequestCarriesTheirItem)
{
    click(QStringLiteral("Настройка периферии"));
    choose("Image_rez", 3);
    EXPECT_EQ(control<QComboBox>("Image_rez2")->currentIndex(), 3);
    choose("Image_rez2", 1);
    EXPECT_EQ(control<QComboBox>("Image_rez")->currentIndex(), 1);
    EXPECT_EQ(control<QLabel>("Len_image")->text(), QStringLiteral("Размер, байт:"));

    auto* view2 = control<QAbstractButton>("View_image2");
    EXPECT_EQ(view2->text(), QStringLiteral("Просмотр"));
    view2->click();
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGH\x01"));
    unit("IMBUSY");
    EXPECT_EQ(s.session().OperationState, osIdle);
}

TEST_F(CameraView, TheViewerShowsThePictureAtItsRealSize)
{
    ASSERT_NE(viewer(), nullptr);
    EXPECT_EQ(viewer()->windowTitle(), QStringLiteral("Просмотр"));
    ASSERT_NE(image(), nullptr);

    choose("Image_rez", 3);
    control<QAbstractButton>("View_image1")->click();
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGJ\x03"));
    const QByteArray big = jpegOf({640, 480});
    answer(big);
    EXPECT_EQ(control<QLabel>("Len_image")->text(), QStringLiteral("Размер, байт: ") + QString::number(big.size()));
    EXPECT_TRUE(viewer()->isVisible());
    EXPECT_EQ(image()->size(), QSize(640, 480));
    EXPECT_EQ(image()->pixmap().size(), QSize(640, 480));
    EXPECT_EQ(viewer()->size(), QSize(640, 480));
    QFile saved(CameraSnapshot::imagePath());
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), big);

    // Camera 2 sends a picture smaller than the one asked for: it is shown as it is, not stretched.
    control<QAbstractButton>("View_image2")->click();
    runStep();
    EXPECT_TRUE(link.takeWritten().endsWith("CONFIGH\x03")); // after a keep-alive poll, perhaps
    const QByteArray small = jpegOf({160, 128});
    answer(small);
    EXPECT_EQ(control<QLabel>("Len_image2")->text(), QStringLiteral("Размер, байт: ") + QString::number(small.size()));
    EXPECT_EQ(image()->size(), QSize(160, 128));
    EXPECT_EQ(viewer()->size(), QSize(160, 128));
}
