#include "ui/track/track_binding.h"

#include "core/base/input_file.h"
#include "core/track/track_packet.h"
#include "core/track/track_read.h"
#include "ui/app/main_window.h"
#include "ui/track/track_window.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace rv {

TrackBinding::TrackBinding(MainWindow& w, TrackRead& read, std::function<packet::PacketChoice()> packetChoice)
    : QObject(&w), m_window(w), m_read(read), m_packetChoice(std::move(packetChoice))
{
    connect(&read, &TrackRead::finished, this, [this](bool complete) {
        if (complete && track::pointCount(m_read.buffer().size()) > 0)
            show(m_read.buffer(), QStringLiteral("Память устройства, пакетов: %1")
                                      .arg(track::pointCount(m_read.buffer().size())));
    });
    // "Файл": after the configuration files, before the recent ones.
    if (auto* file = w.findChild<QMenu*>(QStringLiteral("N1"))) {
        auto* open = new QAction(QStringLiteral("Открыть трек…"), file);
        open->setObjectName(QStringLiteral("OpenTrack"));
        connect(open, &QAction::triggered, this, &TrackBinding::OpenTrackClick);
        file->insertAction(file->findChild<QAction*>(QStringLiteral("RecentFiles")), open);
    }
}

TrackBinding::~TrackBinding()
{
    delete m_trackWindow;
}

TrackWindow* TrackBinding::window() const
{
    return m_trackWindow.data();
}

void TrackBinding::OpenTrackClick()
{
    if (!m_openDialog) {
        m_openDialog = new QFileDialog(&m_window, QStringLiteral("Открыть трек"), QString(),
                                       QStringLiteral("Binary file [*.bin] (*.bin);;Все файлы (*)"));
        m_openDialog->setObjectName(QStringLiteral("OpenTrackDialog"));
        m_openDialog->setAcceptMode(QFileDialog::AcceptOpen);
        m_openDialog->setFileMode(QFileDialog::ExistingFile);
        connect(m_openDialog, &QFileDialog::fileSelected, this, &TrackBinding::openTrackFile);
    }
    m_openDialog->open();
}

void TrackBinding::openTrackFile(const QString& path)
{
    if (path.isEmpty())
        return;
    // No unit's memory holds more than a read can bring.
    constexpr qint64 kMax = TrackRead::kMaxMemorySize;
    const InputFileBytes in = readInputFile(path, kMax);
    if (!in.ok()) {
        m_window.showMessage(refusedInputFile(in.error) ? inputFileMessage(path, in.error, kMax)
                                                        : QStringLiteral("Не удается открыть файл ") + path);
        return;
    }
    if (track::pointCount(in.bytes.size()) == 0) {
        m_window.showMessage(QStringLiteral("В файле %1 нет ни одного пакета трека").arg(path));
        return;
    }
    show(in.bytes, QFileInfo(path).fileName());
}

void TrackBinding::show(const QByteArray& buffer, const QString& origin)
{
    if (!m_trackWindow)
        m_trackWindow = new TrackWindow(m_packetChoice, &m_window);
    m_trackWindow->setTrack(buffer, origin);
    m_trackWindow->show();
    m_trackWindow->raise();
}

} // namespace rv
