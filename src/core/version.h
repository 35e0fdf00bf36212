#pragma once

#include <QString>

namespace rv {

// The one version number, set by project(... VERSION ...) in the top CMakeLists.txt: the package, the window
// title, "О программе" and rvctl --version all show it.
QString programVersion();

} // namespace rv
