#include "core/devicefiles/voice_messages.h"

#include "core/devicefiles/file_transfer.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"

#include <algorithm>
#include <climits>

namespace rv {

namespace {
QString sizeTextOf(uint32_t size) { return QString::number(size) + QStringLiteral(" байт"); }
constexpr qsizetype kFirmwareVersionAt = 32; // in the DEVICE block
} // namespace

VoiceMessages::VoiceMessages(SessionController& session, FileTransfer& transfer, QObject* parent)
    : QObject(parent), m_session(session), m_transfer(transfer), m_archive(session)
{
    m_session.setPeriodicHook(PeriodicHook::VoiceWrite, [this] { Write_voice_message(); });
    m_session.setPeriodicHook(PeriodicHook::VoiceList, [this] { List_voice_message(); });
    connect(&m_transfer, &FileTransfer::voiceFileWritten, this, [this] {
        if (m_session.session().OperationState != osWriteVoice)
            return;
        if (valid(m_current - 1))
            setFile(m_current - 1, QString::fromLatin1(voice::messages()[m_current - 1].fileName));
        ++m_written;
        m_session.session().voiceWrite = true;
    });
    connect(&m_transfer, &FileTransfer::voiceWriteFailed, this, [this] { m_session.session().voiceWrite = false; });
    connect(&m_transfer, &FileTransfer::voiceFilePresent, this, [this](bool present) {
        if (m_session.session().OperationState != osListVoice)
            return;
        if (present && valid(m_current - 1))
            setFile(m_current - 1, QString::fromLatin1(voice::messages()[m_current - 1].fileName));
        m_session.session().voiceList = true;
    });
    // The watchdog, a lost line or another operation ends a sequence: no later tick may carry it on.
    connect(&m_session.progress(), &ProgressWatchdog::expired, this, [this] { stopSequences(); });
    connect(&m_session.progress(), &ProgressWatchdog::closed, this, [this] {
        const uint8_t state = m_session.session().OperationState;
        if (state != osWriteVoice && state != osListVoice)
            stopSequences();
    });
    connect(&m_archive, &VoiceArchiveTransfer::message, this, &VoiceMessages::message);
    connect(&m_archive, &VoiceArchiveTransfer::capacityReported, this, [this](quint32 capacity) {
        m_capacity = capacity;
        emit gaugeChanged();
    });
}

VoiceMessages::~VoiceMessages()
{
    m_session.setPeriodicHook(PeriodicHook::VoiceWrite, nullptr);
    m_session.setPeriodicHook(PeriodicHook::VoiceList, nullptr);
}

void VoiceMessages::stopSequences()
{
    m_session.session().voiceWrite = false;
    m_session.session().voiceList = false;
}

void VoiceMessages::setRow(int row, const QString& file, const QString& size)
{
    m_rows[row] = {file, size};
    emit rowChanged(row);
    emit gaugeChanged();
}

void VoiceMessages::setFile(int row, const QString& file) { setRow(row, file, m_rows[row].size); }

void VoiceMessages::setFileText(int row, const QString& text)
{
    if (valid(row) && m_rows[row].file != text)
        setFile(row, text);
}

void VoiceMessages::setSizeText(int row, const QString& text)
{
    if (valid(row) && m_rows[row].size != text)
        setRow(row, m_rows[row].file, text);
}

uint64_t VoiceMessages::usedBytes() const
{
    // A size left in column 2 of a row without a file is not memory the write will use.
    uint64_t sum = 0;
    for (const Row& r : m_rows)
        if (!r.file.isEmpty())
            sum += r.size.section(QLatin1Char(' '), 0, 0).toUInt();
    return sum;
}

int VoiceMessages::gaugePercent() const
{
    if (m_capacity == 0)
        return 0;
    return static_cast<int>(std::min<uint64_t>(usedBytes() * 100 / m_capacity, INT_MAX));
}

void VoiceMessages::assignFile(int row, const QString& path)
{
    if (!valid(row))
        return;
    InputFileError error = InputFileError::None;
    const std::optional<voice::WavCheck> c = voice::checkWavFile(path, &error);
    if (!c) {
        if (refusedInputFile(error))
            emit message(inputFileMessage(path, error, voice::kMaxWavSize));
        return;
    }
    if (!c->ok()) {
        emit message(voice::kWrongFormat);
        return;
    }
    setRow(row, path, sizeTextOf(c->riffSize));
}

// ---- type 2 ----

bool VoiceMessages::sendable(int row) const
{
    const QString& f = m_rows[row].file;
    return !f.isEmpty() && f != QString::fromLatin1(voice::messages()[row].fileName) && f != kUnavailable;
}

void VoiceMessages::writeFiles()
{
    int first = -1;
    bool any = false;
    for (int r = 0; r < kRows; ++r) {
        if (first < 0 && !m_rows[r].file.isEmpty())
            first = r;
        any = any || sendable(r);
    }
    // Rows that hold only the unit's names or unavailable files have nothing to send: say so rather than
    // report a copy that did nothing.
    if (!any) {
        emit message(kNoFiles);
        return;
    }
    m_session.session().autoReadPending = false;
    m_current = first;
    m_written = 0;
    m_session.setState(osWriteVoice);
    m_session.arm();
}

void VoiceMessages::Write_voice_message()
{
    if (m_session.session().OperationState != osWriteVoice) {
        stopSequences();
        return;
    }
    if (m_current >= kRows) {
        m_session.session().voiceWrite = false;
        m_session.setState(osIdle);
        m_session.progress().Progress_close(m_written > 0 ? kCopied : kNoFiles);
        return;
    }
    const int row = m_current++;
    if (!sendable(row))
        return;
    const voice::Message& msg = voice::messages()[row];
    const QString label = QStringLiteral("Копирование файла \"%1\"").arg(msg.caption);
    if (!m_transfer.beginWrite(m_rows[row].file, osWriteVoice, label)) {
        setFile(row, kUnavailable);
        return;
    }
    m_session.session().voiceWrite = false;
    m_session.send(filecmd::openWrite(filecmd::kAreaVoice, m_transfer.announcedSize(), msg.fileName, true));
}

void VoiceMessages::listFiles()
{
    const uint8_t firmware = static_cast<uint8_t>(m_session.monitor().device.bytes().at(kFirmwareVersionAt));
    if (firmware < kListingFirmware)
        emit message(kUnsupported); // the listing is tried all the same
    m_session.session().autoReadPending = false;
    m_session.setState(osListVoice);
    m_session.arm();
    m_current = 0;
    for (int r = 0; r < kRows; ++r)
        setFileText(r, QString());
    m_session.progress().Progress_show(kListingWatchdogTicks, 0, kListing);
}

void VoiceMessages::List_voice_message()
{
    if (m_session.session().OperationState != osListVoice) {
        stopSequences();
        return;
    }
    if (m_current >= kRows) {
        m_session.session().voiceList = false;
        m_session.setState(osIdle);
        m_session.progress().Progress_close(kListed);
        return;
    }
    m_session.progress().Progress_refresh();
    m_transfer.beginExistenceCheck();
    m_session.send(filecmd::openRead(filecmd::kAreaVoice, voice::messages()[m_current].fileName, true));
    m_session.session().voiceList = false;
    ++m_current;
}

void VoiceMessages::clearFiles()
{
    for (int r = 0; r < kRows; ++r)
        setFileText(r, QString());
}

// ---- types 3 and 4 ----

void VoiceMessages::openArchive(const QString& path)
{
    const voice::OpenResult opened = voice::Read_voice_file_archive(path);
    if (opened.status == voice::OpenStatus::CannotOpen) {
        emit message(refusedInputFile(opened.fileError)
                         ? inputFileMessage(path, opened.fileError, voice::kMaxArchiveSize)
                         : QStringLiteral("Не удается открыть файл ") + path);
        return;
    }
    if (opened.status == voice::OpenStatus::Damaged) {
        emit message(VoiceArchiveTransfer::kDamaged); // the table stays as it was
        return;
    }
    for (int r = 0; r < kRows; ++r) {
        const voice::Entry& e = opened.header.entries[r];
        if (e.size != 0)
            setRow(r, QStringLiteral("file") + QString::number(r), sizeTextOf(e.size));
        else
            setFileText(r, QString());
    }
}

void VoiceMessages::saveArchive(const QString& path)
{
    QStringList files;
    for (const Row& r : m_rows)
        files << r.file;
    const voice::SaveResult saved = voice::Write_voice_file_archive(path, files);
    switch (saved.status) {
    case voice::SaveStatus::Saved: return;
    case voice::SaveStatus::NoFiles: emit message(kNoFiles); return;
    case voice::SaveStatus::CannotCreate: emit statusText(0, outputFileMessage(saved.file)); return;
    case voice::SaveStatus::ReadFailed: emit statusText(0, kNotSaved); return;
    }
}

bool VoiceMessages::writeArchive(const QString& path) { return m_archive.start(path); }

} // namespace rv
