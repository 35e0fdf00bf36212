#include "core/devicefiles/voice_archive_transfer.h"

#include "core/base/bytes.h"
#include "core/config/unit_profile.h"
#include "core/devicefiles/voice_format.h"
#include "core/protocol/device_session.h"
#include "core/protocol/reply_blocks.h"

#include <algorithm>
#include <climits>

namespace rv {

namespace voicecmd {

Writes capacity() { return {QByteArray(kCapacity)}; }

Writes header(QByteArrayView header512)
{
    return {QByteArray(kHeader), header512.toByteArray() + QByteArray(1, '\0')};
}

Writes size(uint32_t payloadSize) { return {QByteArray(kSize), le::bytes32(payloadSize)}; }

Writes chunk(QByteArrayView data, int chunkSize)
{
    // Past the data and in the filler byte the unit gets zeros, never what a buffer held before.
    QByteArray b(chunkSize + 1, '\0');
    std::copy_n(data.data(), std::min<qsizetype>(data.size(), chunkSize), b.data());
    return {QByteArray(kChunk), b};
}

} // namespace voicecmd

namespace {
// Positions of the progress bar, which counts in int.
int bar(uint32_t v) { return static_cast<int>(std::min<uint32_t>(v, INT_MAX)); }
} // namespace

VoiceArchiveTransfer::VoiceArchiveTransfer(SessionController& session, QObject* parent)
    : QObject(parent), m_session(session)
{
    m_session.setStepHook(osWriteVoiceArchive, [this] {
        if (m_phase == Phase::Capacity)
            m_session.send(voicecmd::capacity());
    });
    m_session.setReplyHook(ReplyHook::VoiceCapacity,
                           [this](QByteArrayView burst, qsizetype pos) { onCapacity(burst, pos); });
    m_session.setReplyHook(ReplyHook::VoicePage, [this](QByteArrayView, qsizetype) { onHeaderTaken(); });
    m_session.setReplyHook(ReplyHook::VoiceSize, [this](QByteArrayView, qsizetype) { onNextWanted(Phase::Size); });
    m_session.setReplyHook(ReplyHook::VoiceFile, [this](QByteArrayView, qsizetype) { onNextWanted(Phase::Chunks); });
    // Whatever ends the operation from outside (the watchdog, a lost line, another operation) ends ours.
    connect(&m_session.progress(), &ProgressWatchdog::expired, this, [this] { abandon(); });
    connect(&m_session.progress(), &ProgressWatchdog::closed, this, [this] {
        if (active() && m_session.session().OperationState != osWriteVoiceArchive)
            abandon();
    });
}

VoiceArchiveTransfer::~VoiceArchiveTransfer()
{
    m_session.setStepHook(osWriteVoiceArchive, nullptr);
    for (ReplyHook h : {ReplyHook::VoiceCapacity, ReplyHook::VoicePage, ReplyHook::VoiceSize, ReplyHook::VoiceFile})
        m_session.setReplyHook(h, nullptr);
}

bool VoiceArchiveTransfer::ours() const
{
    return active() && m_session.session().OperationState == osWriteVoiceArchive;
}

bool VoiceArchiveTransfer::start(const QString& archivePath)
{
    abandon();
    // Unbuffered: each chunk is read from the file as it is now, not from a copy taken earlier.
    if (const InputFileError e = openInputFile(m_file, archivePath, voice::kMaxArchiveSize, QIODevice::Unbuffered);
        e != InputFileError::None) {
        emit message(refusedInputFile(e) ? inputFileMessage(archivePath, e, voice::kMaxArchiveSize)
                                         : QStringLiteral("Не удается открыть файл ") + archivePath);
        return false;
    }
    m_header = m_file.read(voice::kArchiveHeaderSize);
    // A file shorter than its header, or whose entries point outside it, is no archive a unit can use.
    const voice::ArchiveHeader parsed = voice::parseArchiveHeader(m_header, m_file.size());
    if (!parsed.ok()) {
        m_file.close();
        emit message(kDamaged);
        return false;
    }
    m_payload = parsed.payloadSize;
    m_sent = 0;
    m_phase = Phase::Capacity;
    m_session.session().autoReadPending = false;
    m_session.setState(osWriteVoiceArchive);
    m_session.arm();
    // The window and its watchdog from the start: a unit that never answers "RV+VMS" ends the operation too.
    m_session.progress().Progress_show(0, std::max(1, bar(m_payload)),
                                       kLabel);
    return true;
}

void VoiceArchiveTransfer::onCapacity(QByteArrayView burst, qsizetype pos)
{
    if (!ours() || m_phase != Phase::Capacity)
        return;
    const std::optional<uint32_t> capacity = parseVms(burst, pos);
    if (!capacity)
        return; // cut short: the watchdog decides
    m_session.progress().Progress_refresh();
    emit capacityReported(*capacity);
    // A unit reporting no room at all takes no archive, not even an empty one.
    if (*capacity == 0 || *capacity < m_payload) {
        finish(kTooLarge);
        return;
    }
    m_phase = Phase::Header;
    m_session.progress().Progress_show(bar(m_sent), std::max(1, bar(m_payload)), kLabel);
    m_session.send(voicecmd::header(m_header));
}

void VoiceArchiveTransfer::onHeaderTaken()
{
    if (!ours() || m_phase != Phase::Header)
        return;
    m_session.progress().Progress_refresh();
    m_phase = Phase::Size;
    m_session.send(voicecmd::size(m_payload));
}

void VoiceArchiveTransfer::onNextWanted(Phase expected)
{
    if (!ours() || m_phase != expected)
        return;
    m_session.progress().Progress_refresh();
    if (m_sent >= m_payload) {
        const QString done = kDone;
        abandon();
        m_session.setState(osIdle);
        m_session.progress().Progress_close(done);
        return;
    }
    const int size = UnitProfile(m_session.session().DeviceType).voiceChunkBytes();
    QByteArray data(size, '\0');
    qint64 n = 0;
    if (m_file.seek(voice::kArchiveHeaderSize + qint64(m_sent)))
        n = m_file.read(data.data(), std::min<qint64>(size, m_payload - m_sent));
    if (n <= 0) {
        // The file shrank or went away under us: stop rather than resend for ever.
        finish(kReadError);
        return;
    }
    m_sent += static_cast<uint32_t>(n);
    m_phase = Phase::Chunks;
    m_session.progress().Progress_show(bar(m_sent), std::max(1, bar(m_payload)), kLabel);
    m_session.send(voicecmd::chunk(QByteArrayView(data).first(n), size));
}

void VoiceArchiveTransfer::finish(const QString& text)
{
    abandon();
    m_session.setState(osIdle);
    m_session.progress().Progress_close(text);
}

void VoiceArchiveTransfer::abandon()
{
    if (m_file.isOpen())
        m_file.close();
    m_phase = Phase::None;
}

} // namespace rv
