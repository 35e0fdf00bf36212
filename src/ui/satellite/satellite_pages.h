#pragma once

// The satellite modem page and the tariff window, joined to the editor pages and the session.

namespace rv {

class ConfigPages;
class MainWindow;
class SessionController;

// Installs SAT_modem in place of its stand-in and TForm15 in place of its shell. Call after the peripheral
// page is installed: the page asks it whether port 2 has the satellite modem.
void installSatellitePage(ConfigPages& pages, MainWindow& window, SessionController& session);

} // namespace rv
