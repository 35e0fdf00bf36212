#include "core/devicefiles/file_transfer.h"

#include "core/base/input_file.h"
#include "core/base/bytes.h"
#include "core/protocol/device_session.h"
#include "core/protocol/reply_blocks.h"
#include "core/settings/program_folder.h"

namespace rv {

namespace filecmd {

namespace {
QByteArray nameBytes(QByteArrayView name, bool voiceName)
{
    QByteArray b = name.toByteArray();
    if (voiceName)
        b = padBlock(std::move(b));
    return b;
}

QByteArray pair(uint8_t a, uint8_t b)
{
    QByteArray p(2, '\0');
    p[0] = static_cast<char>(a);
    p[1] = static_cast<char>(b);
    return p;
}

Writes subCommand(QByteArray bytes)
{
    return {QByteArray("CONFIGF"), std::move(bytes)};
}
} // namespace

Writes openRead(uint8_t area, QByteArrayView name, bool voiceName)
{
    return {QByteArray("CONFIGF"), pair(0x01, area), nameBytes(name, voiceName),
            QByteArray(1, '\0')};
}

Writes openWrite(uint8_t area, uint32_t size, QByteArrayView name, bool voiceName)
{
    return {QByteArray("CONFIGF"), pair(0x02, area), le::bytes32(size),
            nameBytes(name, voiceName), QByteArray(1, '\0')};
}

Writes dataChunk(QByteArrayView data)
{
    QByteArray b(1, '\x03');
    b += le::bytes16(static_cast<uint16_t>(data.size()));
    b += data.toByteArray();
    return subCommand(padBlock(std::move(b)));
}

Writes nextChunk() { return subCommand(QByteArray(1, '\x04')); }
Writes stop() { return subCommand(QByteArray(1, '\x05')); }

} // namespace filecmd

namespace {
const QString kLogLabel = QStringLiteral("Чтение файла диагностики...");
const QString kRouteReadLabel = QStringLiteral("Чтение файла маршрута...");
const QString kRouteWriteLabel = QStringLiteral("Запись файла маршрута...");
const QString kLocalReadError = QStringLiteral("Ошибка чтения временного файла");
constexpr qsizetype kChunkHeader = 7; // "FLRW", code, n
} // namespace

FileReply parseFileReply(QByteArrayView burst, qsizetype markerPos)
{
    FileReply r;
    const qsizetype codeAt = markerPos + 4;
    if (codeAt >= burst.size()) {
        r.complete = false;
        return r;
    }
    r.code = le::u8(burst, codeAt);
    const qsizetype rest = burst.size() - codeAt - 1;
    if (r.code == 3) {
        if (rest < 2) {
            r.complete = false;
            return r;
        }
        const qsizetype n = le::u16(burst, codeAt + 1);
        r.complete = n <= rest - 2;
        r.data = burst.sliced(codeAt + 3, std::min(n, rest - 2)).toByteArray();
    } else if (r.code == 6) {
        r.complete = rest >= 4;
        if (r.complete)
            r.size = le::u32(burst, codeAt + 1);
    }
    return r;
}

qsizetype completeChunkLength(QByteArrayView bytes)
{
    static constexpr QByteArrayView kHead("FLRW\x03", 5);
    if (bytes.size() < kChunkHeader)
        return kHead.startsWith(bytes.first(std::min<qsizetype>(bytes.size(), kHead.size()))) && !bytes.isEmpty()
                   ? kFrameIncomplete : 0;
    if (!bytes.startsWith(kHead))
        return 0;
    const qsizetype total = kChunkHeader + le::u16(bytes, 5);
    return total <= bytes.size() ? total : kFrameIncomplete;
}

FileTransfer::FileTransfer(SessionController& session, QObject* parent) : QObject(parent), m_session(session)
{
    m_session.setReplyHook(ReplyHook::FileTransfer, [this](QByteArrayView burst, qsizetype pos) { onReply(burst, pos); });
    const auto openRequest = [this](uint8_t area, QString name) {
        return [this, area, name] {
            if (m_mode == Mode::Read)
                send(filecmd::openRead(area, name.toLatin1()));
            else if (m_mode == Mode::Write)
                send(filecmd::openWrite(area, m_announced, name.toLatin1()));
        };
    };
    m_session.setStepHook(osReadRoute, openRequest(filecmd::kAreaRoute, QStringLiteral("Marshrut.fai")));
    m_session.setStepHook(osWriteRoute, openRequest(filecmd::kAreaRoute, QStringLiteral("Marshrut.fai")));
    m_session.setStepHook(osReadLog, [this] {
        if (m_mode == Mode::Read)
            send(filecmd::openRead(filecmd::kAreaLog, (m_logDate + QStringLiteral(".log")).toLatin1()));
    });
    // Whatever ends the operation from outside (the watchdog, a lost line) ends the transfer: the partial
    // file is dropped and the local file closed.
    connect(&m_session.progress(), &ProgressWatchdog::expired, this, [this] { abandon(); });
    connect(&m_session.progress(), &ProgressWatchdog::closed, this, [this] {
        const uint8_t state = m_session.session().OperationState;
        const bool ours = state == osReadLog || state == osReadRoute || state == osWriteRoute ||
                          state == osWriteVoice || state == osListVoice;
        if (active() && !ours)
            abandon();
    });
}

FileTransfer::~FileTransfer()
{
    abandon();
    m_session.setReplyHook(ReplyHook::FileTransfer, nullptr);
    for (uint8_t state : {osReadRoute, osWriteRoute, osReadLog})
        m_session.setStepHook(state, nullptr);
}

QString FileTransfer::logFilePath() { return programFile(QStringLiteral("Log_file.log")); }
QString FileTransfer::routeFilePath() { return programFile(QStringLiteral("Marshrut.fai")); }

int FileTransfer::send(const Writes& writes) { return m_session.send(writes); }

void FileTransfer::claimChunks(bool on)
{
    if (on)
        m_session.setFrameClaim(completeChunkLength, [this](QByteArrayView frame) {
            m_session.progress().Progress_refresh();
            handle(parseFileReply(frame, 0));
        });
    else
        m_session.clearFrameClaim();
}

void FileTransfer::Read_log_fileClick(const QString& dateText)
{
    if (dateText.trimmed().isEmpty()) {
        emit message(QStringLiteral("Задайте дату!"));
        return;
    }
    m_logDate = dateText.trimmed();
    emit logReadStarted(m_logDate);
    startRead(osReadLog, kLogLabel, 10);
}

void FileTransfer::startRouteRead()
{
    startRead(osReadRoute, kRouteReadLabel, 1);
}

void FileTransfer::startRead(uint8_t state, const QString& label, int maximum)
{
    abandon();
    m_session.session().autoReadPending = false;
    m_mode = Mode::Read;
    m_announced = 0;
    m_done = 0;
    m_session.setState(state);
    m_session.arm();
    m_session.progress().Progress_show(0, maximum, label);
}

bool FileTransfer::startRouteWrite(const QString& localPath)
{
    if (!beginWrite(localPath, osWriteRoute, kRouteWriteLabel)) {
        emit message(kLocalReadError);
        return false;
    }
    m_session.arm();
    return true;
}

bool FileTransfer::beginWrite(const QString& localPath, uint8_t state, const QString& label)
{
    abandon();
    if (openInputFile(m_local, localPath, kMaxFileSize) != InputFileError::None)
        return false;
    m_session.session().autoReadPending = false;
    m_mode = Mode::Write;
    m_announced = static_cast<uint32_t>(m_local.size());
    m_done = 0;
    m_session.setState(state);
    m_session.progress().Progress_show(0, std::max<int>(1, static_cast<int>(m_announced)), label);
    return true;
}

void FileTransfer::beginExistenceCheck()
{
    abandon();
    m_mode = Mode::Check;
}

void FileTransfer::onReply(QByteArrayView burst, qsizetype markerPos)
{
    // A reply while no transfer of ours runs answers nothing we asked: it is ignored.
    if (!active())
        return;
    handle(parseFileReply(burst, markerPos));
}

void FileTransfer::handle(const FileReply& r)
{
    if (!r.complete && r.code != 3) {
        return; // a size reply cut short: wait for the watchdog rather than guess a size
    }
    switch (r.code) {
    case 3: if (m_mode == Mode::Read) onChunk(r); return;
    case 4: if (m_mode == Mode::Write) onNextWanted(); return;
    case 5:
        if (m_mode == Mode::Write) {
            const bool voice = m_session.session().OperationState == osWriteVoice;
            finish(QStringLiteral("Ошибка создания/записи файла или нет носителя"));
            if (voice)
                emit voiceWriteFailed();
        }
        return;
    case 6:
        if (m_mode == Mode::Read)
            onSize(r.size);
        else if (m_mode == Mode::Check)
            emit voiceFilePresent(true);
        return;
    case 7:
        if (m_mode == Mode::Check)
            emit voiceFilePresent(false);
        else if (m_mode == Mode::Read)
            finish(QStringLiteral("Нет запрашиваемого файла или нет носителя"));
        return;
    case 8: if (m_mode == Mode::Read) finish(QStringLiteral("Ошибка чтения файла")); return;
    case 9: if (m_mode == Mode::Write) onWritten(); return;
    case 255: finish(QStringLiteral("Команда не поддерживается")); return;
    default: return;
    }
}

void FileTransfer::onSize(uint32_t size)
{
    if (m_temp)
        return; // the file is already open: a repeated size reply changes nothing
    if (size > kMaxFileSize) {
        finish(QStringLiteral("Размер файла (%1 байт) больше, чем может храниться в устройстве").arg(size), true);
        return;
    }
    const QString path = m_session.session().OperationState == osReadRoute ? routeFilePath() : logFilePath();
    m_temp = std::make_unique<OutputFile>(path);
    if (!m_temp->open()) {
        const OutputFileResult why = m_temp->result();
        m_temp.reset();
        finish(QStringLiteral("Не удается создать временный файл\r") + outputFileMessage(why), true);
        return;
    }
    m_announced = size;
    m_done = 0;
    claimChunks(true);
    if (size == 0) {
        onChunk({}); // nothing to fetch: the empty file is complete
        return;
    }
    send(filecmd::nextChunk());
    m_session.progress().Progress_show(0, static_cast<int>(size), QString());
}

void FileTransfer::onChunk(const FileReply& r)
{
    if (!m_temp)
        return; // no size yet: not a chunk of this transfer
    if (!r.complete) {
        finish(QStringLiteral("Ошибка чтения файла"), true);
        return;
    }
    if (m_announced != 0 || !r.data.isEmpty()) {
        if (r.data.size() > qsizetype(m_announced - m_done)) {
            // More than announced: the file cannot be trusted; nothing is kept.
            finish(QStringLiteral("Устройство передало больше данных, чем объявило: файл не сохранен"), true);
            return;
        }
        if (r.data.isEmpty()) {
            finish(QStringLiteral("Не удается записать во временный файл"), true);
            return;
        }
        if (!m_temp->write(r.data)) {
            finish(QStringLiteral("Не удается записать во временный файл\r") + outputFileMessage(m_temp->result()), true);
            return;
        }
        m_done += static_cast<uint32_t>(r.data.size());
        m_session.progress().Progress_show(static_cast<int>(m_done), static_cast<int>(m_announced), QString());
    }
    if (m_done != m_announced) {
        send(filecmd::nextChunk());
        return;
    }
    const uint8_t state = m_session.session().OperationState;
    auto temp = std::move(m_temp);
    if (const OutputFileResult saved = temp->commit(); !saved.ok()) {
        finish(QStringLiteral("Не удается записать во временный файл\r") + outputFileMessage(saved), true);
        return;
    }
    m_mode = Mode::None;
    claimChunks(false);
    m_session.setState(osIdle);
    if (state == osReadLog) {
        emit logFileRead(logFilePath());
        m_session.progress().Progress_close(QStringLiteral("Файл диагностики считан"));
    } else if (state == osReadRoute) {
        emit routeFileRead(routeFilePath());
        m_session.progress().Progress_close(QStringLiteral("Файл маршрута считан"));
    } else {
        m_session.progress().Progress_close();
    }
    send(filecmd::stop());
}

void FileTransfer::onNextWanted()
{
    QByteArray chunk(filecmd::kChunkMax, '\0');
    qint64 n = 0;
    if (m_done < m_announced) {
        if (m_local.seek(m_done))
            n = m_local.read(chunk.data(), chunk.size());
        if (n <= 0) {
            // The file went away or shrank under us: stop rather than send empty chunks for ever.
            finish(kLocalReadError);
            return;
        }
    }
    chunk.resize(n);
    m_done += static_cast<uint32_t>(n);
    m_session.progress().Progress_show(static_cast<int>(m_done), std::max<int>(1, static_cast<int>(m_announced)),
                                       QString());
    send(filecmd::dataChunk(chunk));
}

void FileTransfer::onWritten()
{
    m_local.close();
    const uint8_t state = m_session.session().OperationState;
    if (state == osWriteVoice) {
        m_mode = Mode::None;
        emit voiceFileWritten(); // the voice sequence moves on; the progress window stays
        return;
    }
    m_mode = Mode::None;
    m_session.setState(osIdle);
    if (state == osWriteRoute) {
        m_session.progress().Progress_close(QStringLiteral("Файл маршрута записан"));
        emit routeFileWritten();
    } else {
        m_session.progress().Progress_close();
    }
}

void FileTransfer::finish(const QString& text, bool sendStop)
{
    abandon();
    m_session.setState(osIdle);
    if (sendStop)
        send(filecmd::stop());
    m_session.progress().Progress_close(text);
}

void FileTransfer::abandon()
{
    if (m_temp) {
        m_temp->cancel();
        m_temp.reset(); // the earlier file of that name stays as it was
    }
    if (m_local.isOpen())
        m_local.close();
    if (m_mode != Mode::None)
        m_session.clearFrameClaim();
    m_mode = Mode::None;
}

} // namespace rv
