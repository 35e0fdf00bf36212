#include "ui/devicefiles/route_binding.h"

#include "core/devicefiles/file_transfer.h"
#include "core/monitor/monitor_blocks.h"
#include "core/monitor/monitor_snapshot.h"
#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/config/config_pages.h"
#include "ui/devicefiles/autoinfo_page.h"

namespace rv {

RouteBinding::RouteBinding(MainWindow& w, SessionController& s, ConfigPages& pages, FileTransfer& transfer)
    : QObject(&w), m_window(w), m_transfer(transfer), m_page(new AutoinfoPage(pages.records()))
{
    pages.addPage(m_page);
    m_page->readRecord(pages.records(), RecordKind::Config);

    connect(m_page, &AutoinfoPage::message, &w, &MainWindow::showMessage);
    connect(&s, &SessionController::gpsReceived, this, [this] { m_positionKnown = true; });
    m_page->setCoordinateSource([this, &s]() -> std::optional<std::pair<int32_t, int32_t>> {
        if (!m_positionKnown)
            return std::nullopt;
        const GpsSnapshot gps = decodeGps(s.monitor().gps.bytes());
        return std::pair{gps.latitude, gps.longitude};
    });

    connect(m_page, &AutoinfoPage::readRequested, &transfer, &FileTransfer::startRouteRead);
    connect(m_page, &AutoinfoPage::writeRequested, this, &RouteBinding::Write_autoinfoClick);
    // The file read from the unit is opened like any route file.
    connect(&transfer, &FileTransfer::routeFileRead, m_page, &AutoinfoPage::Open_marshrut);
}

void RouteBinding::Write_autoinfoClick()
{
    const QString path = FileTransfer::routeFilePath();
    const route::SaveResult saved = m_page->storeTo(path);
    if (!saved.ok) {
        // Never send an older "Marshrut.fai" in place of the table shown.
        m_window.showMessage(!saved.file.ok() ? QStringLiteral("Ошибка чтения временного файла\r") + saved.message
                                              : saved.message);
        return;
    }
    m_transfer.startRouteWrite(path);
}

} // namespace rv
