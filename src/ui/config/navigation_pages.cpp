#include "ui/config/navigation_pages.h"

#include "core/protocol/commands.h"
#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/config/config_pages.h"
#include "ui/config/pages/dev_set_page.h"
#include "ui/config/pages/fuel_table_window.h"
#include "ui/config/pages/gps_set_page.h"
#include "ui/config/pages/power_page.h"
#include "ui/devicefiles/camera_binding.h"

namespace rv {

void installNavigationPages(ConfigPages& pages, MainWindow& w, SessionController& s)
{
    ConfigRecords& records = pages.records();
    pages.addPage(new GpsSetPage(records));
    pages.addPage(new PowerPage(records));
    auto* devSet = new DevSetPage(records);
    pages.addPage(devSet);

    // The fuel table editor replaces the main window's empty shell of the same name.
    QDialog* shell = w.window(QStringLiteral("TForm8"));
    auto* fuelTable = new FuelTableWindow(records.config, s.monitor(), &w);
    w.addWindow(fuelTable);
    if (shell && shell != fuelTable)
        shell->deleteLater();
    devSet->setFuelTableWindow(fuelTable);

    QObject::connect(devSet, &DevSetPage::satelliteModemRequested, &w, [&w] { w.showPage(nav::SAT_modem); });
    QObject::connect(devSet, &DevSetPage::commandRequested, &s,
                     [&s](const QByteArray& tail) { s.send({QByteArray("CONFIGE"), tail}); });
    new CameraBinding(*devSet, w, s); // the cameras' snapshots and the viewer TForm6; owned by the window
}

} // namespace rv
