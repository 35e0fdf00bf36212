#include "ui/track/track_export.h"

#include <QFileDialog>

#include <algorithm>

namespace rv {

namespace {
const char* const kSuffixes[track::kExportFormats] = {"bin", "plt", "wln", "gpx", "kml"};
} // namespace

const QStringList& trackExportFilters()
{
    static const QStringList filters = {QStringLiteral("Binary file [*.bin] (*.bin)"),
                                        QStringLiteral("Track File [*.plt] (*.plt)"),
                                        QStringLiteral("Wialon message [*.wln] (*.wln)"), QStringLiteral("GPX (*.gpx)"),
                                        QStringLiteral("KML (*.kml)")};
    return filters;
}

QFileDialog* newTrackExportDialog(QWidget* parent, const QString& objectName)
{
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(objectName);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilters(trackExportFilters());
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString& f) {
        if (const qsizetype i = trackExportFilters().indexOf(f); i >= 0)
            dialog->setDefaultSuffix(QLatin1String(kSuffixes[i]));
    });
    return dialog;
}

void presetTrackExport(QFileDialog* dialog, track::ExportFormat format)
{
    const int i = std::clamp(int(format), 0, track::kExportFormats - 1);
    dialog->selectNameFilter(trackExportFilters()[i]);
    dialog->setDefaultSuffix(QLatin1String(kSuffixes[i]));
    dialog->selectFile(track::defaultExportName(format));
}

track::ExportFormat chosenTrackFormat(const QString& path, const QString& selectedFilter)
{
    if (const auto typed = track::formatOfName(path))
        return *typed;
    return track::ExportFormat(std::max<qsizetype>(0, trackExportFilters().indexOf(selectedFilter)));
}

QString exportTrackFile(const QString& path, track::ExportFormat format, QByteArrayView buffer,
                        const packet::PacketChoice& choice)
{
    track::ExportResult r;
    if (const OutputFileResult saved = track::saveTrack(path, format, buffer, choice, &r); !saved.ok())
        return outputFileMessage(saved);
    const QString counts = track::exportCountsText(format, r);
    QString text = QStringLiteral("Операция экспорта выполнена");
    if (!counts.isEmpty())
        text += QLatin1Char('\n') + counts;
    return text;
}

} // namespace rv
