#pragma once

#include <QString>

namespace rv {

// The folder that holds Config.ini and the exchange files: $RVCONF_HOME when set, else the
// executable's folder when it is writable and not a system folder (an installed program in /usr/bin), else the
// per-user configuration folder (~/.config/rvconf).
QString programFolder();

// Whether the executable's folder EXEDIR holds the program's files.
bool exeFolderServesAsProgramFolder(const QString& exeDir);

// A file of the program folder by name ("Config.ini", "Log_file.log" ...).
QString programFile(const QString& name);

} // namespace rv
