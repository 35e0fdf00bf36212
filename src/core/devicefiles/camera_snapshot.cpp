#include "core/devicefiles/camera_snapshot.h"

#include "core/base/output_file.h"
#include "core/base/bytes.h"
#include "core/protocol/commands.h"
#include "core/protocol/device_session.h"
#include "core/settings/program_folder.h"


#include <algorithm>
#include <utility>

namespace rv {

namespace camera {

namespace {
constexpr QByteArrayView kImage("IMAGE");
constexpr QByteArrayView kNoLink("IMFL");
constexpr QByteArrayView kBusy("IMBUSY");

// `bytes` is a proper beginning of `reply`.
bool beginsReply(QByteArrayView bytes, QByteArrayView reply)
{
    return !bytes.isEmpty() && bytes.size() < reply.size() && reply.startsWith(bytes);
}
} // namespace

Reply parseReply(QByteArrayView bytes)
{
    Reply r;
    if (bytes.startsWith(kImage)) {
        if (bytes.size() < kHeaderSize) {
            r.kind = Reply::Kind::Partial;
            return r;
        }
        r.length = kHeaderSize;
        if (bytes[kHeaderSize - 1] != 'E') {
            r.kind = Reply::Kind::HeaderNoEnd;
            return r;
        }
        r.kind = Reply::Kind::Header;
        r.size = le::u8(bytes, 5) | uint32_t(le::u8(bytes, 6)) << 8 | uint32_t(le::u8(bytes, 7)) << 16;
        return r;
    }
    if (bytes.startsWith(kNoLink)) {
        r.kind = Reply::Kind::NoLink;
        r.length = kNoLink.size();
        return r;
    }
    if (bytes.startsWith(kBusy)) {
        r.kind = Reply::Kind::Busy;
        r.length = kBusy.size();
        return r;
    }
    if (beginsReply(bytes, kImage) || beginsReply(bytes, kNoLink) || beginsReply(bytes, kBusy))
        r.kind = Reply::Kind::Partial;
    return r;
}

QSize resolutionSize(int index)
{
    switch (index) {
    case 0: return {80, 64};
    case 1: return {160, 128};
    case 3: return {640, 480};
    default: return {320, 240};
    }
}

} // namespace camera

namespace {
const QString kNoLinkText = QStringLiteral("Нет связи с камерой");
const QString kBusyText = QStringLiteral("Камера занята");
} // namespace

CameraSnapshot::CameraSnapshot(SessionController& session, QObject* parent) : QObject(parent), m_session(session)
{
    m_session.setStepHook(osCameraShot1, [this] { sendRequest(); });
    m_session.setStepHook(osCameraShot2, [this] { sendRequest(); });
    m_session.setReplyHook(ReplyHook::Camera, [this](QByteArrayView burst, qsizetype) { onReply(burst); });
    // The watchdog, a lost line or another operation ends the snapshot: nothing is saved.
    connect(&m_session.progress(), &ProgressWatchdog::expired, this, [this] { abandon(); });
    const auto leftBehind = [this] {
        if (active() && !ourState())
            abandon();
    };
    connect(&m_session.progress(), &ProgressWatchdog::closed, this, leftBehind);
    connect(&m_session.progress(), &ProgressWatchdog::changed, this, leftBehind);
}

CameraSnapshot::~CameraSnapshot()
{
    abandon();
    m_session.setStepHook(osCameraShot1, nullptr);
    m_session.setStepHook(osCameraShot2, nullptr);
    m_session.setReplyHook(ReplyHook::Camera, nullptr);
}

QString CameraSnapshot::imagePath() { return programFile(QStringLiteral("Image.jpg")); }
QString CameraSnapshot::cutImagePath() { return programFile(QStringLiteral("Image_cut.jpg")); }

void CameraSnapshot::setResolution(int camera, int index)
{
    m_resolution[camera == 2 ? 1 : 0] = index;
}

int CameraSnapshot::resolution(int camera) const { return m_resolution[camera == 2 ? 1 : 0]; }

bool CameraSnapshot::ourState() const
{
    const uint8_t state = m_session.session().OperationState;
    return state == (m_camera == 2 ? osCameraShot2 : osCameraShot1);
}

void CameraSnapshot::View_imageClick(int camera)
{
    abandon();
    m_camera = camera == 2 ? 2 : 1;
    m_phase = Phase::Requested;
    DeviceSession& s = m_session.session();
    s.autoReadPending = false; // the user has taken charge
    s.cameraTransfer = true;
    m_session.setState(m_camera == 2 ? osCameraShot2 : osCameraShot1);
    m_session.arm();
    m_session.progress().Progress_show(camera::kWatchdogTicks, 0,
                                       QStringLiteral("Идет получение изображения с камеры %1...").arg(m_camera));
}

void CameraSnapshot::sendRequest()
{
    if (m_phase != Phase::Requested || !ourState())
        return;
    m_phase = Phase::Header;
    m_session.setFrameClaim([this](QByteArrayView waiting) { return detect(waiting); },
                            [this](QByteArrayView frame) { take(frame); });
    const int index = resolution(m_camera);
    m_session.send(m_camera == 2 ? cmd::cameraShot2(index) : cmd::cameraShot1(index));
}

qsizetype CameraSnapshot::detect(QByteArrayView waiting)
{
    m_lostAtStart = false;
    if (!ourState())
        return 0; // another operation took over: its replies are its own
    if (m_phase == Phase::Header) {
        const camera::Reply r = camera::parseReply(waiting);
        switch (r.kind) {
        case camera::Reply::Kind::Partial: return kFrameIncomplete;
        // The picture's first bytes may share the header's burst; anything past its size is ignored.
        case camera::Reply::Kind::Header: return waiting.size();
        case camera::Reply::Kind::NoLink:
        case camera::Reply::Kind::Busy: return r.length;
        default: return 0; // not ours: the usual analysis (and its search for a header further in)
        }
    }
    if (m_phase == Phase::Receiving) {
        // "IMFL" means the camera was lost only where a reply can stand: at the start of a burst.
        if (m_session.atBurstStart()) {
            const qsizetype remaining = m_announced - m_picture.size();
            if (waiting.startsWith("IMFL")) {
                m_lostAtStart = true;
                return 4;
            }
            if (waiting.size() < 4 && waiting.size() < remaining && QByteArrayView("IMFL").startsWith(waiting))
                return kFrameIncomplete;
        }
        return waiting.size();
    }
    return 0;
}

void CameraSnapshot::take(QByteArrayView frame)
{
    if (m_phase == Phase::Header) {
        const camera::Reply r = camera::parseReply(frame);
        if (r.kind == camera::Reply::Kind::Header) {
            onHeader(r.size);
            if (m_phase == Phase::Receiving)
                onData(frame.sliced(r.length));
        } else if (r.kind == camera::Reply::Kind::NoLink) {
            fail(kNoLinkText);
        } else if (r.kind == camera::Reply::Kind::Busy) {
            fail(kBusyText);
        }
        return;
    }
    if (m_phase != Phase::Receiving)
        return;
    if (std::exchange(m_lostAtStart, false)) {
        finishPicture(false);
        return;
    }
    onData(frame);
}

void CameraSnapshot::onReply(QByteArrayView burst)
{
    // A burst the claim left to the usual analysis: the header, "IMFL" or "IMBUSY" may stand after
    // other replies.
    if (m_phase != Phase::Header || !ourState())
        return;
    // The whole burst is searched: a reply before them may hold zero bytes.
    for (qsizetype at = burst.indexOf("IMAGE"); at >= 0; at = burst.indexOf("IMAGE", at + 1)) {
        const camera::Reply r = camera::parseReply(burst.sliced(at));
        if (r.kind == camera::Reply::Kind::Header) {
            onHeader(r.size);
            if (m_phase == Phase::Receiving)
                onData(burst.sliced(at + r.length));
            return;
        }
        // An "IMAGE" without its "E" is ignored.
    }
    if (burst.indexOf("IMFL") >= 0)
        fail(kNoLinkText);
    else if (burst.indexOf("IMBUSY") >= 0)
        fail(kBusyText);
}

void CameraSnapshot::onHeader(uint32_t size)
{
    emit sizeAnnounced(m_camera, size);
    if (size == 0) {
        // No picture to receive: whatever "Image.jpg" holds stays.
        fail(kNoLinkText);
        return;
    }
    m_announced = size;
    m_picture.clear();
    m_picture.reserve(std::min<qsizetype>(size, 1 << 20));
    m_phase = Phase::Receiving;
    m_session.progress().Progress_refresh();
}

void CameraSnapshot::onData(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    const qsizetype remaining = m_announced - m_picture.size();
    m_picture += bytes.first(std::min(bytes.size(), remaining)); // bytes past the announced size are dropped
    m_session.progress().Progress_refresh();
    if (m_picture.size() == qsizetype(m_announced))
        finishPicture(true);
}

void CameraSnapshot::finishPicture(bool complete)
{
    const QByteArray jpeg = std::exchange(m_picture, QByteArray());
    const int cam = m_camera;
    m_phase = Phase::Idle;
    m_session.session().cameraTransfer = false;
    if (complete)
        m_session.endFrameClaimWithBurst(); // the rest of this burst is past the picture: ignored
    else
        m_session.clearFrameClaim();
    m_session.setState(osIdle);

    // A new name first, then the rename: a failed write never leaves half a picture as "Image.jpg", and a
    // picture cut short never replaces a whole one.
    const QString path = complete ? imagePath() : cutImagePath();
    const OutputFileResult result = saveOutputFile(path, jpeg);
    const bool saved = result.ok();
    emit pictureReady(cam, jpeg, saved ? path : QString(), complete);
    if (!saved)
        m_session.progress().Progress_close(outputFileMessage(result));
    else
        m_session.progress().Progress_close(complete ? QString() : kNoLinkText);
}

void CameraSnapshot::fail(const QString& text)
{
    abandon();
    m_session.setState(osIdle);
    m_session.progress().Progress_close(text);
}

void CameraSnapshot::abandon()
{
    if (m_phase == Phase::Header || m_phase == Phase::Receiving)
        m_session.clearFrameClaim();
    if (m_phase != Phase::Idle)
        m_session.session().cameraTransfer = false;
    m_phase = Phase::Idle;
    m_picture.clear();
    m_lostAtStart = false;
}

} // namespace rv
