#include "core/devicefiles/voice_format.h"

#include "core/base/bytes.h"

#include <QFile>

#include <algorithm>
#include <utility>

namespace rv::voice {

const std::array<Message, kMessages>& messages()
{
    static const std::array<Message, kMessages> table = [] {
        std::array<Message, kMessages> t;
        int r = 0;
        const auto add = [&](const QString& caption, const QByteArray& name) { t[r++] = {caption, name}; };
        add(QStringLiteral("Приветствие"), "hello.wav");
        add(QStringLiteral("Введите пароль"), "pass.wav");
        add(QStringLiteral("Пароль не верный"), "pass_err.wav");
        add(QStringLiteral("Меню конфигурации"), "menu.wav");
        add(QStringLiteral("Управление выходами запрещено"), "out_dis.wav");
        add(QStringLiteral("Внешнее напряжение ниже нормы"), "ext_low.wav");
        add(QStringLiteral("Охрана включена"), "ohrana_1.wav");
        add(QStringLiteral("Охрана выключена"), "ohrana_0.wav");
        add(QStringLiteral("Сработал датчик движения"), "accel.wav");
        for (int i = 1; i <= 8; ++i)
            add(QStringLiteral("Сработал вход %1").arg(i), "in_" + QByteArray::number(i) + ".wav");
        for (int i = 1; i <= 4; ++i)
            add(QStringLiteral("Выход %1 активирован").arg(i), "outa_" + QByteArray::number(i) + ".wav");
        for (int i = 1; i <= 4; ++i)
            add(QStringLiteral("Выход %1 дезактивирован").arg(i), "outd_" + QByteArray::number(i) + ".wav");
        for (int i = 1; i <= 20; ++i)
            add(QStringLiteral("Событие %1").arg(i), "event_" + QByteArray::number(i) + ".wav");
        return t;
    }();
    return table;
}

WavCheck checkWav(QByteArrayView head, qint64 fileLength)
{
    WavCheck c;
    if (head.size() < kWavHeaderSize || fileLength < kWavHeaderSize) {
        c.problem = WavProblem::Short;
        return c;
    }
    c.riffSize = le::u32(head, 4);
    if (!head.startsWith("RIFF") || head.sliced(8, 4) != "WAVE" || head.sliced(12, 4) != "fmt ")
        c.problem = WavProblem::NotRiff;
    else if (fileLength > kMaxWavSize || qint64(c.riffSize) != fileLength - 8)
        c.problem = WavProblem::SizeMismatch; // the archive is laid out by this size: it must be the file's
    else if (le::u16(head, 20) != 1)
        c.problem = WavProblem::NotPcm;
    else if (le::u16(head, 22) != 1)
        c.problem = WavProblem::NotMono;
    else if (le::u16(head, 34) != 8)
        c.problem = WavProblem::NotEightBit;
    else if (const uint32_t rate = le::u32(head, 24); rate < kMinRate || rate > kMaxRate)
        c.problem = WavProblem::Rate;
    else
        c.problem = WavProblem::None;
    return c;
}

std::optional<WavCheck> checkWavFile(const QString& path, InputFileError* error)
{
    QFile f;
    const InputFileError e = openInputFile(f, path, kMaxWavSize);
    if (error)
        *error = e;
    if (e != InputFileError::None)
        return std::nullopt;
    return checkWav(f.read(kWavHeaderSize), f.size());
}

Layout layoutArchive(const std::array<uint32_t, kMessages>& riffSizes)
{
    Layout l;
    uint64_t position = 0; // in the data area
    for (int r = 0; r < kMessages; ++r) {
        if (riffSizes[r] == 0)
            continue;
        l.entries[r] = {static_cast<uint32_t>(position), riffSizes[r]};
        l.payloadSize = position + riffSizes[r] + 8; // this file, complete, ends the archive so far
        position += riffSizes[r];
    }
    return l;
}

QByteArray headerBytes(const Entries& entries)
{
    QByteArray h(kArchiveHeaderSize, '\0');
    for (int r = 0; r < kMessages; ++r) {
        le::put32(h, 8 * r, entries[r].offset);
        le::put32(h, 8 * r + 4, entries[r].size);
    }
    return h;
}

ArchiveHeader parseArchiveHeader(QByteArrayView head, qint64 fileLength)
{
    ArchiveHeader a;
    if (fileLength < kArchiveHeaderSize || head.size() < kArchiveHeaderSize) {
        a.problem = ArchiveProblem::Short;
        return a;
    }
    if (fileLength - kArchiveHeaderSize > qint64(UINT32_MAX)) {
        a.problem = ArchiveProblem::TooLarge;
        return a;
    }
    a.payloadSize = static_cast<uint32_t>(fileLength - kArchiveHeaderSize);
    for (int r = 0; r < kMessages; ++r) {
        Entry& e = a.entries[r];
        e = {le::u32(head, 8 * r), le::u32(head, 8 * r + 4)};
        if (e.size != 0 && uint64_t(e.offset) + e.size + 8 > a.payloadSize) {
            a.problem = ArchiveProblem::OutOfFile;
            return a;
        }
    }
    a.problem = ArchiveProblem::None;
    return a;
}

QByteArray buildArchive(const std::array<QByteArray, kMessages>& files)
{
    std::array<uint32_t, kMessages> sizes{};
    for (int r = 0; r < kMessages; ++r)
        if (const WavCheck c = checkWav(files[r], files[r].size()); c.ok())
            sizes[r] = c.riffSize;
    const Layout l = layoutArchive(sizes);
    QByteArray archive = headerBytes(l.entries);
    archive.resize(kArchiveHeaderSize + qsizetype(l.payloadSize), '\0');
    for (int r = 0; r < kMessages; ++r)
        if (l.entries[r].size != 0)
            archive.replace(kArchiveHeaderSize + l.entries[r].offset, files[r].size(), files[r]);
    return archive;
}

SaveResult Write_voice_file_archive(const QString& archivePath, const QStringList& rowFiles)
{
    SaveResult result;
    std::array<uint32_t, kMessages> sizes{};
    for (int r = 0; r < kMessages && r < rowFiles.size(); ++r) {
        if (rowFiles[r].isEmpty())
            continue;
        const std::optional<WavCheck> c = checkWavFile(rowFiles[r]);
        if (c && c->ok()) {
            sizes[r] = c->riffSize;
            result.stored << r;
        } else {
            result.skipped << r;
        }
    }
    if (result.stored.isEmpty()) {
        result.status = SaveStatus::NoFiles;
        return result;
    }
    const Layout l = layoutArchive(sizes);
    OutputFile out(archivePath);
    if (!out.open()) {
        result.status = SaveStatus::CannotCreate;
        result.file = out.result();
        return result;
    }
    static constexpr qint64 kBlock = 1000;
    QByteArray block(kBlock, '\0');
    for (int r : std::as_const(result.stored)) {
        QFile in;
        const qint64 length = qint64(l.entries[r].size) + 8;
        // The file must still be the one checked: exactly its length, copied whole.
        bool copied = openInputFile(in, rowFiles[r], kMaxWavSize) == InputFileError::None && in.size() == length &&
                      out.seek(kArchiveHeaderSize + qint64(l.entries[r].offset));
        for (qint64 done = 0; copied && done < length;) {
            const qint64 n = in.read(block.data(), std::min(kBlock, length - done));
            copied = n > 0 && out.write(QByteArrayView(block.constData(), n));
            done += n;
        }
        if (out.failed())
            break;
        if (!copied) {
            out.cancel();
            result.status = SaveStatus::ReadFailed;
            return result;
        }
    }
    // The header last, as the archive's table of contents.
    if (!out.failed() && out.seek(0))
        out.write(headerBytes(l.entries));
    result.file = out.commit();
    result.status = result.file.ok() ? SaveStatus::Saved : SaveStatus::CannotCreate;
    return result;
}

OpenResult Read_voice_file_archive(const QString& archivePath)
{
    OpenResult result;
    QFile f;
    result.fileError = openInputFile(f, archivePath, kMaxArchiveSize);
    if (result.fileError != InputFileError::None) {
        result.status = OpenStatus::CannotOpen;
        return result;
    }
    result.header = parseArchiveHeader(f.read(kArchiveHeaderSize), f.size());
    result.status = result.header.ok() ? OpenStatus::Opened : OpenStatus::Damaged;
    return result;
}

} // namespace rv::voice
