#include "ui/devicefiles/devicefiles_binding.h"

#include "core/base/input_file.h"
#include "core/devicefiles/file_transfer.h"
#include "core/monitor/log_decoder.h"
#include "core/protocol/device_session.h"
#include "core/track/track_packet.h"
#include "core/track/track_read.h"
#include "ui/config/edit_rules.h"
#include "ui/config/editor_page.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/devicefiles/file_page.h"
#include "ui/devicefiles/log_window.h"
#include "ui/track/track_binding.h"
#include "ui/track/track_export.h"

#include <QFile>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTime>

namespace rv {

DeviceFilesBinding::DeviceFilesBinding(MainWindow& w, SessionController& s)
    : QObject(&w), m_window(w), m_session(s), m_transfer(new FileTransfer(s, this)), m_track(new TrackRead(s, this))
{
    m_page = new FilePage;
    w.setPage(nav::FL_page, m_page);

    // The log window replaces the main window's empty shell.
    QDialog* shell = w.window(QStringLiteral("TForm9"));
    m_log = new LogWindow(&w);
    w.addWindow(m_log);
    if (shell && shell != m_log)
        shell->deleteLater();

    connect(m_page->readLogButton(), &QPushButton::clicked, this,
            [this] { m_transfer->Read_log_fileClick(m_page->logDateText()); });
    connect(m_transfer, &FileTransfer::message, &w, &MainWindow::showMessage);
    connect(m_transfer, &FileTransfer::logReadStarted, this, [this](const QString& date) {
        m_log->memo()->clear();
        m_log->setLogDate(date);
        m_log->setWindowTitle(QStringLiteral("Файл диагностики от ") + date);
    });
    connect(m_transfer, &FileTransfer::logFileRead, this, &DeviceFilesBinding::loadLogFile);

    // The live log tail of every device block, whether or not the window is shown.
    connect(&s, &SessionController::logEvents, this,
            [this](const QByteArray& codes) { m_log->appendLines(Log_decode(codes, QTime::currentTime())); });
    // The tail is asked for only while the window is open.
    connect(m_log, &LogWindow::hidden, this, [this] { m_session.setMonitorFlag(cmd::kFlagLogTrailer, false); });
    connect(m_log, &LogWindow::saveRequested, this, [this] {
        auto* dialog = new QFileDialog(&m_window, QString(), m_log->proposedFileName(),
                                       QStringLiteral("Log file [*.log] (*.log)"));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QFileDialog::fileSelected, this, &DeviceFilesBinding::saveLogTo);
        dialog->open();
    });

    connect(m_page->dumpButton(), &QPushButton::clicked, this, &DeviceFilesBinding::DumpClick);
    connect(m_page->exportButton(), &QPushButton::clicked, this, &DeviceFilesBinding::Export_dumpClick);
    connect(m_track, &TrackRead::readTextChanged, m_page->readLabel(), &QLabel::setText);
    m_trackView = new TrackBinding(w, *m_track, [this] { return shownPacketChoice(); });
}

packet::PacketChoice DeviceFilesBinding::shownPacketChoice() const
{
    ConfigRecords shown = m_session.records();
    if (auto* ps = qobject_cast<EditorPage*>(m_window.page(nav::PS_page)))
        ps->gatherRecord(shown, RecordKind::Config);
    return packet::packetChoice(shown.config);
}

void DeviceFilesBinding::DumpClick()
{
    TrackRead::Request r;
    r.type = m_page->dumpType()->currentIndex() == 1 ? TrackRead::Range : TrackRead::Undelivered;
    r.server = static_cast<uint8_t>(std::max(0, m_page->dumpServer()->currentIndex()));
    if (r.type == TrackRead::Range) {
        // A number out of range is never sent as 0 or wrapped: the edit says what it takes.
        const auto first = parseDumpStart(m_page->dumpStart()->text());
        const auto count = parseDumpCount(m_page->dumpCount()->text());
        setInvalidCue(m_page->dumpStart(), !first);
        setInvalidCue(m_page->dumpCount(), !count);
        if (!first)
            m_page->dumpStart()->setToolTip(QStringLiteral("Номер пакета: число от 0 до 4294967295"));
        if (!count)
            m_page->dumpCount()->setToolTip(QStringLiteral("Количество пакетов: число от 0 до 65535"));
        if (!first || !count)
            return;
        r.first = *first;
        r.count = *count;
    }
    m_track->DumpClick(r);
}

void DeviceFilesBinding::Export_dumpClick()
{
    if (m_page->exportType()->currentIndex() != 0)
        return;
    const int filter = std::clamp(m_page->expFiletype()->currentIndex(), 0, track::kExportFormats - 1);
    if (!m_exportDialog) {
        m_exportDialog = newTrackExportDialog(&m_window, QStringLiteral("SaveDialog1"));
        connect(m_exportDialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
            // A typed .bin, .plt, .wln, .gpx or .kml decides the format: "track.plt" is an OziExplorer track
            // whatever filter was left selected. Any other name follows the filter chosen when the dialog closed.
            exportTo(path, int(chosenTrackFormat(path, m_exportDialog->selectedNameFilter())));
        });
    }
    presetTrackExport(m_exportDialog, static_cast<track::ExportFormat>(filter));
    m_exportDialog->open();
}

void DeviceFilesBinding::exportTo(const QString& path, int filter)
{
    if (path.isEmpty())
        return;
    // The Wialon parameters follow the packet structure as the page shows it now.
    const auto format = static_cast<track::ExportFormat>(std::clamp(filter, 0, track::kExportFormats - 1));
    m_window.showMessage(exportTrackFile(path, format, m_track->buffer(), shownPacketChoice()));
}

DeviceFilesBinding::~DeviceFilesBinding() = default;

void DeviceFilesBinding::loadLogFile(const QString& path)
{
    const InputFileBytes in = readInputFile(path, FileTransfer::kMaxFileSize);
    if (!in.ok()) {
        m_window.showMessage(refusedInputFile(in.error) ? inputFileMessage(path, in.error, FileTransfer::kMaxFileSize)
                                                        : QStringLiteral("Не удается открыть файл ") + path);
        return;
    }
    m_log->setLines(logFileLines(in.bytes));
    m_log->show();
    m_log->raise();
}

void DeviceFilesBinding::saveLogTo(const QString& path)
{
    if (path.isEmpty())
        return;
    if (const OutputFileResult saved = saveLogText(path, m_log->text()); !saved.ok())
        m_window.setStatusText(0, outputFileMessage(saved));
}

} // namespace rv
