#include "ui/monitor/monitor_binding.h"

#include "core/monitor/can_lines.h"
#include "core/monitor/monitor_text.h"
#include "core/protocol/device_session.h"
#include "core/base/ini_file.h"
#include "ui/app/adaptation.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/monitor/chart_window.h"
#include "ui/monitor/label_updates.h"
#include "ui/monitor/monitor_page.h"
#include "ui/monitor/status_window.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QScreen>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTableWidget>

#include <algorithm>

namespace rv {

namespace {

// A scanner left on for hours adds forty lines per poll: keep the newest ones only.
constexpr int kCanMemoLines = 20000;

const QString kCanMemo = QStringLiteral("CAN_memo");
const QString kCanScanner = QStringLiteral("SCANCAN_en");
const QString kKeyGrid = QStringLiteral("iButtonGrid");

// Config.ini: where the status window was left, and the series ticked in "Графики".
const QString kStatusSection = QStringLiteral("Status window");
const QString kShownKey = QStringLiteral("Shown");
const QString kPositionKey = QStringLiteral("Position");
const QString kChartsSection = QStringLiteral("Charts");
const QString kSeriesKey = QStringLiteral("Series");

std::optional<QPoint> parsePosition(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 2)
        return std::nullopt;
    bool okX = false, okY = false;
    const int x = parts[0].trimmed().toInt(&okX);
    const int y = parts[1].trimmed().toInt(&okY);
    if (!okX || !okY)
        return std::nullopt;
    return QPoint(x, y);
}

} // namespace

MonitorBinding::MonitorBinding(MainWindow& w, SessionController& s) : QObject(&w), m_window(w), m_session(s)
{
    m_page = new MonitorPage;
    w.setPage(nav::Monitor, m_page);

    // The status window replaces the main window's empty shell; it shows itself with the main window.
    QDialog* shell = w.window(QStringLiteral("TForm11"));
    m_status = new StatusWindow(&w);
    w.addWindow(m_status);
    if (shell && shell != m_status)
        shell->deleteLater();
    connect(&w, &MainWindow::formShown, this, &MonitorBinding::restoreSettings);
    w.addSettingsWriter(this, [this](IniFile& ini) { storeSettings(ini); });

    m_deviceDue.setSingleShot(true);
    m_deviceDue.setInterval(kDeviceShowDelayMs);
    connect(&m_deviceDue, &QTimer::timeout, this, &MonitorBinding::showDevice);
    connect(&s, &SessionController::gpsReceived, this, &MonitorBinding::Refresh_GPS);
    connect(&s, &SessionController::deviceReceived, this, &MonitorBinding::Refresh_DEVICE);
    connect(&s, &SessionController::canMessage, this,
            [this](const CanMessage& m) { appendCanLines({canMesLine(m)}); });
    connect(&s, &SessionController::canBuffer, this,
            [this](const QList<CanRecord>& records) { appendCanLines(canBufLines(records)); });
    connect(&s, &SessionController::deviceConnected, this, [this](quint8 type, quint32) {
        m_history.connectionStarted(); // whose the next samples are, its device block will say
        if (const auto text = unitTypeText(UnitProfile(type)))
            m_page->apply({LabelUpdate{QStringLiteral("Label208"), *text, LabelColor::Unchanged, {}}});
    });

    connect(m_page, &MonitorPage::chartsRequested, this, &MonitorBinding::showCharts);
    if (auto* menu = w.findChild<QMenu*>(QStringLiteral("N10"))) {
        QAction* charts = menu->addAction(QStringLiteral("Графики"), this, &MonitorBinding::showCharts);
        charts->setObjectName(QStringLiteral("ChartsMenu"));
    }

    bindCanScanner();
    connect(&w, &MainWindow::pageInstalled, this, [this](int index) {
        if (index == nav::Dev_set)
            bindCanScanner();
        m_keyGridSought = false; // the key grid may have come with the page
    });
}

MonitorBinding::~MonitorBinding()
{
    delete m_charts;
}

void MonitorBinding::apply(const MonitorUpdate& u)
{
    m_page->apply(u.monitorPage);
    m_status->apply(u.statusWindow);
    for (const LabelUpdate& l : u.mainWindow) {
        // The reset button's tool tip follows its caption; the main window keeps the two together.
        if (l.objectName == QLatin1String("Reset_but") && l.text) {
            if (*l.text != m_resetCaption)
                m_window.setResetCaption(*l.text);
            m_resetCaption = *l.text;
        } else
            applyLabelUpdates(&m_window, {l});
    }
    if (u.motionText)
        m_window.setStatusText(2, *u.motionText);
}

void MonitorBinding::Refresh_GPS()
{
    showDevice(); // the DEVICE block before this one, in the same redraw
    const DeviceSession& s = m_session.session();
    const MonitorBlocks& blocks = m_session.monitor();
    const GpsSnapshot gps = decodeGps(blocks.gps.bytes());
    const UnitProfile unit(s.DeviceType, s.DeviceOptions);
    apply(refreshGps(gps, decodeDevice(blocks.device.bytes()), unit, m_battery));
    // The charts take the very values the labels were just drawn from.
    m_history.add(chart::sampleOf(gps, unit, QDateTime::currentMSecsSinceEpoch()));
    if (m_charts)
        m_charts->historyChanged();
}

void MonitorBinding::restoreSettings()
{
    const IniFile& ini = m_window.settings();
    if (ini.contains(kChartsSection, kSeriesKey))
        m_chartSeries = ini.value(kChartsSection, kSeriesKey).split(u',', Qt::SkipEmptyParts);
    if (m_charts && m_chartSeries)
        m_charts->setTickedKeys(*m_chartSeries);

    // Where it was left, when that is still on a screen; else beside the main window (the first start).
    m_status->adjustSize();
    const std::optional<QPoint> at = parsePosition(ini.value(kStatusSection, kPositionKey));
    if (at && QGuiApplication::screenAt(QRect(*at, m_status->size()).center())) {
        m_status->move(*at);
    } else {
        const QScreen* screen = m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
        const QRect available = m_screenArea ? m_screenArea()
                                : screen      ? screen->availableGeometry()
                                              : QRect(0, 0, 1920, 1080);
        QRect main = m_window.frameGeometry();
        if (!m_window.testAttribute(Qt::WA_Moved)) {
            // Nobody placed the main window: centre it as a window manager would, so that the status window
            // is placed beside where it will be, not beside where it is before the window manager moves it.
            main.moveCenter(available.center());
            main.moveTop(std::max(main.top(), available.top()));
            main.moveLeft(std::max(main.left(), available.left()));
        }
        // Not yet shown, the window has no frame: leave room for the one the window manager puts round it.
        const QSize frame = m_status->frameGeometry().size() == m_status->size() ? m_status->size() + QSize(8, 36)
                                                                                : m_status->frameGeometry().size();
        const StatusPlacement place = placeBeside(main, frame, available);
        if (place.main != m_window.frameGeometry().topLeft())
            m_window.move(place.main);
        m_status->move(place.status);
    }
    if (ini.value(kStatusSection, kShownKey).trimmed() != QLatin1String("0"))
        m_status->show();
}

void MonitorBinding::storeSettings(IniFile& ini) const
{
    ini.setValue(kStatusSection, kShownKey, m_status->isVisible() ? QStringLiteral("1") : QStringLiteral("0"));
    ini.setValue(kStatusSection, kPositionKey, QStringLiteral("%1,%2").arg(m_status->x()).arg(m_status->y()));
    if (m_charts)
        ini.setValue(kChartsSection, kSeriesKey, m_charts->tickedKeys().join(u','));
}

ChartWindow* MonitorBinding::chartWindow() const
{
    return m_charts.data();
}

void MonitorBinding::showCharts()
{
    if (!m_charts) {
        m_charts = new ChartWindow(m_history, &m_window);
        if (m_chartSeries)
            m_charts->setTickedKeys(*m_chartSeries);
    }
    m_charts->show();
    m_charts->raise();
}

void MonitorBinding::Refresh_DEVICE()
{
    const MonitorBlocks& blocks = m_session.monitor();
    const GpsSnapshot gps = decodeGps(blocks.gps.bytes());
    const DeviceSnapshot device = decodeDevice(blocks.device.bytes());
    // The labels show this block with the GPS block that follows it (showDevice).
    m_devicePending = true;
    if (!m_deviceDue.isActive())
        m_deviceDue.start();
    // Another unit's values start a history of their own.
    if (m_history.identify({device.unitId, device.imei}) && m_charts)
        m_charts->unitChanged();
    captureKey(gps);
    checkFirmware(device);
}

void MonitorBinding::showDevice()
{
    m_deviceDue.stop();
    if (!m_devicePending)
        return;
    m_devicePending = false;
    const MonitorBlocks& blocks = m_session.monitor();
    apply(refreshDevice(decodeGps(blocks.gps.bytes()), decodeDevice(blocks.device.bytes()),
                        UnitProfile(m_session.session().DeviceType)));
}

void MonitorBinding::appendCanLines(const QStringList& lines)
{
    for (QPlainTextEdit* memo : m_window.findChildren<QPlainTextEdit*>(kCanMemo))
        for (const QString& line : lines)
            memo->appendPlainText(line);
}

void MonitorBinding::bindCanScanner()
{
    for (QPlainTextEdit* memo : m_window.findChildren<QPlainTextEdit*>(kCanMemo)) {
        memo->setReadOnly(true);
        memo->setMaximumBlockCount(kCanMemoLines);
    }
    for (QCheckBox* box : m_window.findChildren<QCheckBox*>(kCanScanner)) {
        connect(box, &QCheckBox::toggled, this, &MonitorBinding::SCANCAN_enClick, Qt::UniqueConnection);
        SCANCAN_enClick(box->isChecked());
    }
}

void MonitorBinding::SCANCAN_enClick(bool on)
{
    // The list is usable only while the scanner is on; the unit is asked for the scanner records through
    // bit 1 of the monitor flags.
    for (QPlainTextEdit* memo : m_window.findChildren<QPlainTextEdit*>(kCanMemo))
        memo->setEnabled(on);
    m_session.setMonitorFlag(cmd::kFlagCanScanner, on);
}

void MonitorBinding::captureKey(const GpsSnapshot& gps)
{
    if (!std::exchange(m_keyGridSought, true))
        m_keyGrid = m_window.findChild<QTableWidget*>(kKeyGrid);
    QTableWidget* grid = m_keyGrid;
    QStringList rows;
    for (int row = 1; grid && row <= IButtonCapture::kRows; ++row) {
        const QTableWidgetItem* item = grid->item(row, 1);
        rows << (item ? item->text() : QString());
    }
    const bool shown = grid && m_window.currentPage() == nav::Ohrana;
    const IButtonCapture::Result r = m_keys.present(iButtonText(gps.iButton), shown, rows);
    if (r.outcome == IButtonCapture::Outcome::Stored && grid->rowCount() > r.row && grid->columnCount() > 1) {
        if (QTableWidgetItem* item = grid->item(r.row, 1))
            item->setText(r.key);
        else
            grid->setItem(r.row, 1, new QTableWidgetItem(r.key));
    }
    if (!r.message.isEmpty())
        m_window.showMessage(r.message);
}

void MonitorBinding::checkFirmware(const DeviceSnapshot& device)
{
    DeviceSession& s = m_session.session();
    const FirmwareCheck check = rv::checkFirmware(UnitProfile(s.DeviceType), device);
    if (!check.incompatible)
        return;
    // The session starts the pending automatic read right after this block: it must not, with this unit.
    s.autoReadPending = false;
    const bool wasConnected = s.connected;
    s.connected = false;  // the keep-alive polls stop, so no further block repeats the message
    m_session.disarm();
    m_window.Button_Enabled(false);
    adapt::setEnabledByName(&m_window, QStringLiteral("Program_but"), true);
    // "Соединение установлено" would contradict the disabled buttons: say why the unit is refused.
    m_window.setStatusText(3, check.statusText);
    if (wasConnected)
        m_window.showMessage(check.message);
}

} // namespace rv
