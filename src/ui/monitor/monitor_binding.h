#pragma once

// Connects the session's monitor replies to their views: the Monitor page, the status window TForm11,
// the main window's status bar and Reset_but, the CAN list on the peripheral page and the iButton key
// table on the security page. It also ends the session with a unit whose firmware is too old.

#include "core/monitor/ibutton_capture.h"
#include "core/monitor/monitor_history.h"
#include "core/monitor/monitor_labels.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTableWidget>
#include <QTimer>

#include <functional>
#include <optional>

namespace rv {

class ChartWindow;
class IniFile;
class MainWindow;
class MonitorPage;
class SessionController;
class StatusWindow;

class MonitorBinding : public QObject {
    Q_OBJECT
public:
    // The polls ask for the GPS and the DEVICE block in turn, one every 270 ms. The labels show a DEVICE block
    // together with the GPS block that follows it: one redraw for the two, each value at most one poll late.
    // A DEVICE block that no GPS block follows within this time is shown on its own.
    static constexpr int kDeviceShowDelayMs = 600;

    // Installs the Monitor page in the main window and creates the status window, which shows itself with
    // the main window: where it was left (Config.ini), or beside the main window at the first start.
    MonitorBinding(MainWindow& window, SessionController& session);
    ~MonitorBinding() override;

    MonitorPage* page() const { return m_page; }
    StatusWindow* statusWindow() const { return m_status; }
    // The recent samples of every navigation block, serial or network, kept whether or not a chart shows.
    const chart::History& history() const { return m_history; }
    // The chart window, made at its first opening (nullptr before).
    ChartWindow* chartWindow() const;
    // The screen area the status window is placed on at the first start (tests: a screen of their own);
    // by default the available area of the main window's screen.
    void setScreenArea(std::function<QRect()> area) { m_screenArea = std::move(area); }

public slots:
    // Redraw from the current monitor blocks (the session calls these on each accepted block); a DEVICE block
    // is shown with the next GPS block (kDeviceShowDelayMs).
    void Refresh_GPS();
    void Refresh_DEVICE();
    void appendCanLines(const QStringList& lines);
    void SCANCAN_enClick(bool on);
    // "Графики" in the "Диагностика" menu and on the monitor page.
    void showCharts();

private:
    void apply(const MonitorUpdate& update);
    // The labels of the latest DEVICE block, if they are not shown yet.
    void showDevice();
    void bindCanScanner();
    void captureKey(const GpsSnapshot& gps);
    void checkFirmware(const DeviceSnapshot& device);
    // Config.ini: the status window's place, the charts' ticked series.
    void restoreSettings();
    void storeSettings(IniFile& ini) const;

    MainWindow& m_window;
    SessionController& m_session;
    MonitorPage* m_page;
    StatusWindow* m_status;
    BatteryWarning m_battery;
    IButtonCapture m_keys;
    chart::History m_history;
    QPointer<ChartWindow> m_charts; // shows m_history, so it goes when the binding goes
    std::optional<QStringList> m_chartSeries; // the ticked series Config.ini keeps, until the window exists
    std::function<QRect()> m_screenArea;
    // Looked up once, not on every monitor block: a search by name walks every control of the window.
    QString m_resetCaption;
    QPointer<QTableWidget> m_keyGrid;
    bool m_keyGridSought = false;
    bool m_devicePending = false; // a DEVICE block whose labels are not shown yet
    QTimer m_deviceDue;           // shows it when no GPS block comes
};

} // namespace rv
