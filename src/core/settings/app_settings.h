#pragma once

// The program's two persistent settings, kept in "Config.ini" in the program folder.

#include "core/base/output_file.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace rv {

inline constexpr char16_t kSettingsFileName[] = u"Config.ini";
inline constexpr char16_t kSettingsSection[] = u"Config";
inline constexpr char16_t kComPortKey[] = u"Com port";
inline constexpr char16_t kFileConfKey[] = u"File conf";
// "0" when the user ticked "Больше не спрашивать" in the list of changes "Записать" shows first.
inline constexpr char16_t kConfirmWriteKey[] = u"Confirm write";
// Not a file on disk: the name of the built-in default configuration.
inline constexpr char16_t kDefaultConfName[] = u"default.fcg";
// The port-dialog choice that hands the link to the network server; never stored as a port.
inline constexpr char16_t kTcpPortName[] = u"TCP/IP";

// The configuration files used last, newest first, in section "Recent" as "File1".."File5".
inline constexpr char16_t kRecentSection[] = u"Recent";
inline constexpr int kRecentFiles = 5;

struct AppSettings {
    QString comPort;
    QString fileConf;
    QStringList recentFiles = {};
};

// `list` with `path` in front, named once (names compared as files: "a/../b.fcg" is "b.fcg"), at most
// kRecentFiles long.
QStringList withRecentFile(const QStringList& list, const QString& path);

// "COM1" on Windows. Elsewhere the first serial port that can be opened, else "/dev/ttyUSB0".
QString defaultPortName();

class IniFile;

// The settings a parsed "Config.ini" holds: a missing key or an empty value gives the default.
// defaultPort is asked only when the file names no port.
AppSettings appSettingsFrom(const IniFile& ini, const std::function<QString()>& defaultPort = defaultPortName);
// Sets both keys into a parsed "Config.ini", keeping everything else; "TCP/IP" is stored as defaultPort.
// Returns the keys whose value was not stored because it would not read back the same (a line break).
QStringList storeAppSettings(IniFile& ini, const AppSettings& settings,
                             const std::function<QString()>& defaultPort = defaultPortName);

// Reads "Config.ini"; a missing or unreadable file, a missing key or an empty value gives the default.
// defaultPort is asked only when the file names no port. A file that is there but was not read whole (too
// large, unreadable, not a file) gives the defaults too and must be kept as it is: `keptBecause` then says
// so for the user (it is left empty otherwise).
AppSettings readAppSettings(const QString& path,
                            const std::function<QString()>& defaultPort = defaultPortName,
                            QString* keptBecause = nullptr);

// Writes both keys (and the recent files) into "Config.ini", keeping whatever else the file holds. "TCP/IP" is
// stored as defaultPort. Returns false (and the old file stays) when the file cannot be written or is there and
// cannot be read whole (writing would lose what it holds); also false, with
// the rest written, when a value cannot be stored so that it reads back the same (a line break in it).
// `saved` gets the outcome of the save itself (error None when it was not tried or succeeded).
// `more` puts further keys into the same file before it is saved (the windows' places, the charts' series).
bool writeAppSettings(const QString& path, const AppSettings& settings,
                      const std::function<QString()>& defaultPort = defaultPortName, QString* error = nullptr,
                      OutputFileResult* saved = nullptr, const std::function<void(IniFile&)>& more = {});

// Whether "Записать" lists the changes first: yes unless "Config.ini" says "Confirm write=0".
bool readConfirmWrite(const QString& path);
// Stores the choice at once, keeping whatever else the file holds; false when it cannot be written.
bool writeConfirmWrite(const QString& path, bool confirm, QString* error = nullptr,
                       OutputFileResult* saved = nullptr);

} // namespace rv
