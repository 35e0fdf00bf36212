#pragma once

// Where the track window comes from: it opens after every complete read of the track memory, and "Файл" ›
// "Открыть трек…" opens a saved .bin in it.

#include "core/config/packet_structure.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QFileDialog;

namespace rv {

class MainWindow;
class TrackRead;
class TrackWindow;

class TrackBinding : public QObject {
    Q_OBJECT
public:
    TrackBinding(MainWindow& w, TrackRead& read, std::function<packet::PacketChoice()> packetChoice);
    ~TrackBinding() override;

    TrackWindow* window() const;
    QFileDialog* openDialog() const { return m_openDialog; }

public slots:
    void OpenTrackClick();
    // Opens a saved read (a .bin) in the window; a file that cannot be read is named in a message.
    void openTrackFile(const QString& path);

private:
    void show(const QByteArray& buffer, const QString& origin);

    MainWindow& m_window;
    TrackRead& m_read;
    std::function<packet::PacketChoice()> m_packetChoice;
    QPointer<TrackWindow> m_trackWindow;
    QFileDialog* m_openDialog = nullptr;
};

} // namespace rv
