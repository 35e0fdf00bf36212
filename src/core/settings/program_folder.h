#pragma once

#include <QString>

namespace rv {

// The folder that holds Config.ini and the exchange files: $RVCONF_HOME when set, else the executable's
// folder when files can be written there and it is not where installed programs live (/usr/bin, C:\Program
// Files\...), else the per-user folder (~/.config/rvconf, %LOCALAPPDATA%\rvconf). So the portable folder of
// the Windows zip keeps its files beside the .exe, and an installed program keeps them per user.
QString programFolder();

// Whether the executable's folder EXEDIR holds the program's files.
bool exeFolderServesAsProgramFolder(const QString& exeDir);

// A file of the program folder by name ("Config.ini", "Log_file.log" ...).
QString programFile(const QString& name);

// ---- the platform's part: program_folder_posix.cpp, program_folder_win32.cpp ----

// Whether DIR is where installed programs live: /usr and below; Program Files on Windows.
bool isSystemProgramFolder(const QString& dir);

// Whether a file can be created in DIR now (for the user this program runs as).
bool folderIsWritable(const QString& dir);

// The per-user folder of the program's files; created when missing.
QString userProgramFolder();

} // namespace rv
