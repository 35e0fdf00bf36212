#pragma once

// One snapshot of the serial JPEG camera on either peripheral port: "CONFIGJ" / "CONFIGH" with the
// resolution byte out, the "IMAGE" header (or "IMFL", "IMBUSY") back, then the picture's bytes in bursts.
// The picture's bytes are data: they are claimed from the session as they arrive and never searched for
// replies. "Image.jpg" is replaced only by a complete picture.

#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QString>

#include <cstdint>

namespace rv {

class SessionController;

namespace camera {

inline constexpr qsizetype kHeaderSize = 9;  // "IMAGE", size (3 bytes, little-endian), "E"
inline constexpr int kWatchdogTicks = 50;    // indeterminate progress: 10 s without a sign of life
inline constexpr int kResolutionCount = 4;

// A reply of the camera at the start of some bytes.
struct Reply {
    enum class Kind {
        None,         // not a camera reply
        Partial,      // the start of one, cut short
        Header,       // "IMAGE" with its "E": `size` bytes of picture follow
        HeaderNoEnd,  // "IMAGE" whose ninth byte is not "E": ignored
        NoLink,       // "IMFL": the unit cannot reach the camera
        Busy,         // "IMBUSY"
    };
    Kind kind = Kind::None;
    uint32_t size = 0;   // Header: the announced picture size
    qsizetype length = 0; // bytes the reply itself takes
};
Reply parseReply(QByteArrayView bytes);

// The picture size a resolution item asks for ("  80 x 64" ... "640 x 480"); an unknown index, 320 × 240.
QSize resolutionSize(int index);

} // namespace camera

class CameraSnapshot : public QObject {
    Q_OBJECT
public:
    explicit CameraSnapshot(SessionController& session, QObject* parent = nullptr);
    ~CameraSnapshot() override;

    // The resolution items of `Image_rez` (camera 1) and `Image_rez2` (camera 2).
    void setResolution(int camera, int index);
    int resolution(int camera) const;

    // View_image1Click / View_image2Click: ask the unit for one picture of camera 1 or 2.
    void View_imageClick(int camera);

    bool active() const { return m_phase != Phase::Idle; }
    int camera() const { return m_camera; }
    uint32_t announcedSize() const { return m_announced; }
    uint32_t bytesReceived() const { return static_cast<uint32_t>(m_picture.size()); }

    static QString imagePath();    // "Image.jpg" in the program folder
    static QString cutImagePath(); // where a picture cut short is kept, never over "Image.jpg"

signals:
    // The header came: the size label of the camera's port shows it.
    void sizeAnnounced(int camera, quint32 size);
    // A picture to show: the whole one, or (`complete` false) what came before the camera was lost.
    // `path` is the file it was saved to, empty when it could not be saved.
    void pictureReady(int camera, const QByteArray& jpeg, const QString& path, bool complete);

private:
    enum class Phase { Idle, Requested, Header, Receiving };
    void sendRequest();
    qsizetype detect(QByteArrayView waiting);
    void take(QByteArrayView frame);
    void onReply(QByteArrayView burst);
    void onHeader(uint32_t size);
    void onData(QByteArrayView bytes);
    void finishPicture(bool complete);
    void fail(const QString& text);
    void abandon();
    bool ourState() const;

    SessionController& m_session;
    Phase m_phase = Phase::Idle;
    int m_camera = 1;
    int m_resolution[2] = {2, 2};
    uint32_t m_announced = 0;
    QByteArray m_picture;
    bool m_lostAtStart = false; // the last frame detected is the unit's "IMFL", not picture bytes
};

} // namespace rv
