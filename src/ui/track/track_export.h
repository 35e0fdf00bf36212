#pragma once

// The save dialog of a track export, shared by "Работа с памятью" and the track window: the five formats as
// filters, a typed extension deciding over the filter, and the message the export ends with.

#include "core/config/packet_structure.h"
#include "core/track/track_packet.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace rv {

// In the order of track::ExportFormat.
const QStringList& trackExportFilters();
// A save dialog with the five filters; picking a filter changes the extension added to a bare name.
QFileDialog* newTrackExportDialog(QWidget* parent, const QString& objectName);
// Preselects a format's filter and default file name.
void presetTrackExport(QFileDialog* dialog, track::ExportFormat format);
// A typed .bin, .plt, .wln, .gpx or .kml decides; any other name follows the filter chosen.
track::ExportFormat chosenTrackFormat(const QString& path, const QString& selectedFilter);
// Writes the export to `path` and returns what to tell the user: "Операция экспорта выполнена" (for .gpx and
// .kml with the points written and left out) or, from the output-file door, what went wrong and where.
QString exportTrackFile(const QString& path, track::ExportFormat format, QByteArrayView buffer,
                        const packet::PacketChoice& choice);

} // namespace rv
