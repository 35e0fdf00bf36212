#include "core/config/fcg_file.h"

#include "core/base/input_file.h"

#include <QFile>
#include <QFileInfo>

namespace rv {

namespace {

qsizetype fillRecord(RecordBase& r, QByteArrayView file, qsizetype offset)
{
    if (file.size() <= offset)
        return 0;
    const QByteArrayView part = file.sliced(offset, std::min(r.size(), file.size() - offset));
    r.fillFrom(part);
    return part.size();
}

} // namespace

QString fcgStatusMessage(FcgStatus s)
{
    switch (s) {
    case FcgStatus::Ok: return {};
    case FcgStatus::OpenFailed:
    case FcgStatus::Empty: return QStringLiteral("Не удалось открыть");
    case FcgStatus::SaveFailed: return QStringLiteral("Не удалось сохранить");
    case FcgStatus::WrongSize: return QStringLiteral("Не удалось открыть: это не файл конфигурации");
    }
    return {};
}

QString fcgOpenMessage(const FcgOpenResult& r)
{
    if (r.status != FcgStatus::WrongSize)
        return fcgStatusMessage(r.status);
    return QStringLiteral("Не удалось открыть: размер файла %1 байт, а у файла конфигурации %2 байт")
        .arg(r.fileSize)
        .arg(kFcgSize);
}

QByteArray fcgBytes(const ConfigRecords& records)
{
    QByteArray out(kFcgSize, '\0');
    out.replace(kFcgConfigOffset, ConfigBlock::kSize, records.config.bytes());
    out.replace(kFcgInpOutOffset, InpOutBlock::kSize, records.inpOut.bytes());
    out.replace(kFcgConfSeOffset, ConfSeBlock::kSize, records.confSe.bytes());
    return out;
}

FcgOpenResult applyFcgBytes(ConfigRecords& records, QByteArrayView file)
{
    FcgOpenResult r;
    r.fileSize = file.size();
    if (file.isEmpty()) {
        r.status = FcgStatus::Empty;
        return r;
    }
    r.configBytes = fillRecord(records.config, file, kFcgConfigOffset);
    r.inpOutBytes = fillRecord(records.inpOut, file, kFcgInpOutOffset);
    r.confSeBytes = fillRecord(records.confSe, file, kFcgConfSeOffset);
    return r;
}

FcgOpenResult openFcg(const QString& path, ConfigRecords& records)
{
    FcgOpenResult r;
    // A FIFO or device could block or never end; only regular files are configuration files.
    QFile f;
    if (!openRegularFile(f, path)) {
        r.status = FcgStatus::OpenFailed;
        return r;
    }
    // One byte more than a configuration tells a longer file; a huge file is not read into memory.
    const QByteArray head = f.read(kFcgSize + 1);
    if (f.error() != QFileDevice::NoError) {
        r.status = FcgStatus::OpenFailed;
        return r;
    }
    return fcgFromFile(records, head, f.size());
}

FcgOpenResult fcgFromFile(ConfigRecords& records, QByteArrayView head, qint64 fileSize)
{
    FcgOpenResult r;
    r.fileSize = std::max<qint64>(fileSize, head.size());
    if (head.isEmpty()) {
        r.status = FcgStatus::Empty;
        return r;
    }
    if (head.size() != kFcgSize) {
        r.status = FcgStatus::WrongSize;
        return r;
    }
    const qsizetype size = r.fileSize;
    r = applyFcgBytes(records, head);
    r.fileSize = size;
    return r;
}

FcgStatus saveFcg(const QString& path, const ConfigRecords& records, OutputFileResult* result)
{
    const OutputFileResult r = saveOutputFile(path, fcgBytes(records));
    if (result)
        *result = r;
    return r.ok() ? FcgStatus::Ok : FcgStatus::SaveFailed;
}

FcgStatus rewriteFcgRecords(const QString& path, const ConfigRecords& records, OutputFileResult* result)
{
    const auto failed = [&](OutputFileResult r) {
        if (result)
            *result = std::move(r);
        return FcgStatus::SaveFailed;
    };
    QFile in;
    if (!openRegularFile(in, path))
        return failed({OutputFileError::Changed, path, {}});
    QByteArray head = in.read(kFcgSize);
    if (head.size() != kFcgSize)
        return failed({OutputFileError::Changed, path, {}});
    head.replace(kFcgConfigOffset, ConfigBlock::kSize, records.config.bytes());
    head.replace(kFcgInpOutOffset, InpOutBlock::kSize, records.inpOut.bytes());
    head.replace(kFcgConfSeOffset, ConfSeBlock::kSize, records.confSe.bytes());

    OutputFile out(path);
    if (!out.open())
        return failed(out.result());
    out.write(head);
    // The tail is copied in pieces: a file of any size keeps it without being held in memory.
    while (!out.failed()) {
        const QByteArray chunk = in.read(64 * 1024);
        if (in.error() != QFileDevice::NoError) {
            out.cancel();
            return failed({OutputFileError::Changed, path, {}});
        }
        if (chunk.isEmpty())
            break;
        out.write(chunk);
    }
    // Windows replaces no file that is still open: the source is closed before the copy takes its place.
    in.close();
    const OutputFileResult r = out.commit();
    if (!r.ok())
        return failed(r);
    if (result)
        *result = r;
    return FcgStatus::Ok;
}

} // namespace rv
