#pragma once

// The navigation, power and peripheral pages and the fuel table editor, joined to the editor pages.

namespace rv {

class ConfigPages;
class MainWindow;
class SessionController;

// Installs GPS_Set, Power and Dev_set in place of their stand-ins, and TForm8 in place of its shell.
void installNavigationPages(ConfigPages& pages, MainWindow& window, SessionController& session);

} // namespace rv
