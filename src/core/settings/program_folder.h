#pragma once

#include <QString>

namespace rv {

// The folder that holds Config.ini and the exchange files: $RVCONF_HOME when set, else the
// executable's folder when it is writable, else the per-user configuration folder.
QString programFolder();

// A file of the program folder by name ("Config.ini", "Log_file.log" ...).
QString programFile(const QString& name);

} // namespace rv
