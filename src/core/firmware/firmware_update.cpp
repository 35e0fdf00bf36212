#include "core/firmware/firmware_update.h"

#include "core/base/input_file.h"
#include "core/protocol/device_session.h"

namespace rv {

namespace {
constexpr const char* kReplies[] = {"BL_OK", "BL_ER", "BL_EP", "BL_BL"};
constexpr qsizetype kReplyLength = 5;
} // namespace

qsizetype bootloaderReplyLength(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return 0;
    for (const char* reply : kReplies) {
        const QByteArrayView r(reply, kReplyLength);
        if (bytes.size() >= kReplyLength ? bytes.startsWith(r) : r.startsWith(bytes))
            return bytes.size() >= kReplyLength ? kReplyLength : kFrameIncomplete;
    }
    return 0;
}

FirmwareUpdate::FirmwareUpdate(SessionController& session, QObject* parent)
    : QObject(parent), m_session(session)
{
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, &FirmwareUpdate::replyTimedOut);
    connect(&session, &SessionController::bootloaderMode, this, &FirmwareUpdate::onBootloader);
    // A unit that answers with its application has left the bootloader.
    connect(&session, &SessionController::deviceConnected, this, [this] { m_bootloader = false; });
    // An unplugged unit ends a run at once, as a lost connection: waiting for the bootloader's silence
    // would take 10-30 s and blame the bootloader. Nothing more is sent; the unit stays in its bootloader.
    connect(&session, &SessionController::lineDropped, this, [this] {
        m_bootloader = false; // until it announces itself again
        if (!programming())
            return;
        halt();
        emit message(QStringLiteral("Потеряна связь с устройством\rПрограммирование прервано. Повторите обновление"));
        emit finished(false);
    });
    session.setReplyHook(ReplyHook::FirmwareOk, [this](QByteArrayView, qsizetype) { Flash_program(0); });
    session.setReplyHook(ReplyHook::FirmwareResend, [this](QByteArrayView, qsizetype) { Flash_program(2); });
    session.setReplyHook(ReplyHook::FirmwareError, [this](QByteArrayView, qsizetype) { Flash_program_disable(); });
    session.setReplyHook(ReplyHook::FirmwareRefused,
                         [this](QByteArrayView, qsizetype) { Flash_program_disable(true); });
}

FirmwareUpdate::~FirmwareUpdate()
{
    if (programming())
        halt();
    for (ReplyHook kind : {ReplyHook::FirmwareOk, ReplyHook::FirmwareResend, ReplyHook::FirmwareError,
                           ReplyHook::FirmwareRefused})
        m_session.setReplyHook(kind, nullptr);
}

bool FirmwareUpdate::programming() const { return m_session.session().firmwareProgramming; }

int FirmwareUpdate::progress() const
{
    if (!m_header || m_header->size == 0)
        return 0;
    return int(std::min<quint64>(1000, quint64(m_sent) * 1000 / m_header->size));
}

bool FirmwareUpdate::openImage(const QString& path, uint8_t deviceType, int unitVersion)
{
    closeImage();
    InputFileBytes in = readInputFile(path, kFirmwareMaxFileSize);
    if (in.error == InputFileError::TooLarge) {
        emit message(QStringLiteral("Открываемый файл не является файлом прошивки !!!"));
        return false;
    }
    if (!in.ok()) {
        emit message(in.error == InputFileError::NotRegular ? inputFileMessage(path, in.error, kFirmwareMaxFileSize)
                                                            : QStringLiteral("Не удалось открыть файл прошивки"));
        return false;
    }
    return takeImage(std::move(in.bytes), deviceType, unitVersion);
}

bool FirmwareUpdate::takeImage(QByteArray image, uint8_t deviceType, int unitVersion)
{
    closeImage();
    const auto header = parseFirmwareHeader(image);
    if (!header) {
        emit message(QStringLiteral("Открываемый файл не является файлом прошивки !!!"));
        return false;
    }
    if (header->hardware != deviceType) {
        emit message(QStringLiteral("Файл прошивки не соответствует типу устройства !!!"));
        return false;
    }
    // A size of 0 would make the progress divide by zero; one past the file would send blocks of nothing.
    if (header->size == 0 || header->size > quint64(image.size())) {
        emit message(QStringLiteral("Размер образа в заголовке файла прошивки не верный !!!"));
        return false;
    }
    m_older = unitVersion >= 0 && header->version < unitVersion;
    if (m_older)
        emit message(QStringLiteral("Версия файла более ранняя, чем та,\rчто записана в устройство !!!"));
    m_image = std::move(image);
    m_header = header;
    m_sent = 0;
    emit progressChanged(0);
    emit readyChanged(true);
    return true;
}

void FirmwareUpdate::closeImage()
{
    if (programming())
        stop();
    m_older = false;
    m_image.clear();
    m_header.reset();
    m_sent = 0;
    emit readyChanged(false);
}

void FirmwareUpdate::program()
{
    if (!m_header || programming())
        return;
    m_sent = 0;
    m_lastPacket.clear();
    emit progressChanged(0);
    DeviceSession& s = m_session.session();
    s.autoReadPending = false; // the user has taken charge
    s.firmwareProgramming = true;
    setClaim(true);
    emit readyChanged(false);
    if (m_bootloader) {
        Flash_program(1);
    } else {
        // The step timer sends "CONFIGB" and searches for the unit again; its bootloader announces itself.
        m_session.setState(osBootloader);
        m_session.arm();
        m_silence.start(kRestartTimeoutMs);
    }
}

void FirmwareUpdate::onBootloader()
{
    if (programming())
        Flash_program(1);
    m_bootloader = true;
}

void FirmwareUpdate::sendPacket(const QByteArray& packet)
{
    m_lastPacket = packet;
    m_session.send({packet});
    m_silence.start(kReplyTimeoutMs);
}

void FirmwareUpdate::Flash_program(int mode)
{
    if (!m_header || !programming())
        return;
    switch (mode) {
    case 1:
        m_sent = 0;
        sendPacket(fwpacket::start(*m_header));
        return;
    case 0:
        if (m_lastPacket.isEmpty())
            return; // nothing of ours is waiting for this answer
        if (m_sent > m_header->size) {
            halt();
            m_session.closePort();
            m_session.setState(osSearch);
            m_session.arm();
            m_bootloader = false;
            emit m_session.buttonsEnabled(false);
            emit message(QStringLiteral("Программирование завершено"));
            emit finished(true);
            return;
        }
        sendPacket(fwpacket::block(m_image, m_sent));
        m_sent += kFirmwareBlockSize;
        emit progressChanged(progress());
        return;
    case 2:
        if (m_lastPacket.isEmpty())
            return;
        sendPacket(m_lastPacket);
        emit message(QStringLiteral("Не полный пакет данных"));
        return;
    default:
        return;
    }
}

void FirmwareUpdate::Flash_program_disable(bool refused)
{
    if (!programming())
        return;
    halt();
    emit message(QStringLiteral("Ошибка при программировании"));
    if (refused)
        emit message(QStringLiteral("Не возможно обновить ПО"));
    emit finished(false);
}

void FirmwareUpdate::replyTimedOut()
{
    if (!programming())
        return;
    halt();
    emit message(m_bootloader ? QStringLiteral("Загрузчик не отвечает. Повторите обновление")
                              : QStringLiteral("Устройство не перешло в режим загрузчика. Повторите обновление"));
    emit finished(false);
}

void FirmwareUpdate::stop()
{
    if (programming())
        halt();
}

void FirmwareUpdate::halt()
{
    m_silence.stop();
    m_session.session().firmwareProgramming = false;
    setClaim(false);
    m_sent = 0;
    m_lastPacket.clear();
    // A restart that was requested and not yet sent is not sent any more.
    if (m_session.session().OperationState == osBootloader) {
        m_session.setState(osIdle);
        m_session.disarm();
    }
    emit readyChanged(m_header.has_value());
}

void FirmwareUpdate::setClaim(bool on)
{
    if (on)
        m_session.setFrameClaim(bootloaderReplyLength, [this](QByteArrayView frame) {
            if (!programming())
                return;
            if (frame.startsWith("BL_OK"))
                Flash_program(0);
            else if (frame.startsWith("BL_EP"))
                Flash_program(2);
            else if (frame.startsWith("BL_ER"))
                Flash_program_disable();
            else if (frame.startsWith("BL_BL"))
                Flash_program_disable(true);
        });
    else
        m_session.clearFrameClaim();
}

} // namespace rv
