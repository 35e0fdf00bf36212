#include "ui/satellite/satellite_pages.h"

#include "core/monitor/monitor_blocks.h"
#include "core/protocol/commands.h"
#include "core/protocol/device_session.h"
#include "core/settings/app_settings.h"
#include "core/settings/program_folder.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/config/config_pages.h"
#include "ui/satellite/sat_modem_page.h"
#include "ui/satellite/tariff_window.h"

#include <QAbstractButton>
#include <QComboBox>

namespace rv {

void installSatellitePage(ConfigPages& pages, MainWindow& w, SessionController& s)
{
    auto* page = new SatModemPage(pages.records());
    pages.addPage(page);
    if (EditorPage* devSet = pages.page(nav::Dev_set)) {
        if (auto* device2 = devSet->findChild<QComboBox*>(QStringLiteral("Device2")))
            page->setIridiumSource([device2] { return device2->currentIndex() == sat::kIridiumDevice; });
    }
    QObject::connect(page, &SatModemPage::message, &w, &MainWindow::showMessage);

    auto server = [] { return sat::readTariffServer(programFile(QString::fromUtf16(kSettingsFileName))); };
    // The service's own name, when Config.ini gives one, stands for it in the service choice.
    if (const QString name = server().service; !name.isEmpty())
        if (auto* item = page->findChild<QAbstractButton*>(QStringLiteral("RzRG4Item0")))
            item->setText(name);

    QDialog* shell = w.window(QStringLiteral("TForm15"));
    auto* tariff = new TariffWindow([&s] { return s.monitor().device.bytes(); }, server, page, &w);
    w.addWindow(tariff);
    if (shell && shell != tariff)
        shell->deleteLater();
    page->setTariffWindow(tariff);
    QObject::connect(tariff, &TariffWindow::message, &w, &MainWindow::showMessage);
    QObject::connect(tariff, &TariffWindow::unitCommand, &s, [&s] { s.send(cmd::satelliteModem()); });

    QObject::connect(&w.document(), &ConfigDocument::defaultsLoaded, page, &SatModemPage::Load_default);
    // A file cannot vouch for the modem's tariff plan: with the satellite modem on port 2 it is cleared.
    QObject::connect(&w.document(), &ConfigDocument::fileOpened, page,
                     [page] { page->SatSetTarif(page->tariff(), sat::SatMode::AfterOpen); });
    // A configuration read from a unit: its tariff is checked against the device on port 2.
    QObject::connect(&s, &SessionController::readCycleFinished, page,
                     [page] { page->SatSetTarif(page->tariff(), sat::SatMode::AfterRead); });
}

} // namespace rv
