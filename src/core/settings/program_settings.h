#pragma once

// What the program keeps in "Config.ini" from one run to the next: the port, the configuration file and the
// recent files, and what the views add (the windows' places, the charts' series). Read once when the main
// window is first shown, written once when it closes. A file that is there but was not read whole is never
// written over.

#include "core/base/ini_file.h"
#include "core/base/output_file.h"
#include "core/settings/app_settings.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>
#include <vector>

namespace rv {

class ProgramSettings {
public:
    // The port of the link: Config.ini's, the one given for this run, or the one the user chose.
    QString portName() const { return m_portName; }
    // The user's choice: kept at exit.
    void setPortName(const QString& name);
    // A port given on the command line: used for this run instead of the one of Config.ini, which keeps its
    // port unless the user chooses another.
    void setPortOverride(const QString& name);

    // Reads Config.ini, once. A file that is there but cannot be read whole gives the defaults, and
    // `keptBecause` says so for the user (empty otherwise).
    AppSettings read(QString* keptBecause);
    // Config.ini as read (empty before, or when it could not be read whole).
    const IniFile& ini() const { return m_ini; }
    // Views that keep something in Config.ini put it into the file written at exit, in one save. A writer is
    // dropped with its owner, so a view gone before the exit is not asked.
    void addWriter(QObject* owner, std::function<void(IniFile&)> write);

    // Writes Config.ini with the configuration file and the recent files given. The outcome of the save:
    // error None also when nothing was to be written (never read, or kept) or a value could not be stored
    // as it is (the rest is written).
    OutputFileResult store(const QString& configFile, const QStringList& recentFiles);

private:
    QString defaultPort();

    QString m_portName;
    QString m_portOverride;
    QString m_iniPort;
    bool m_portOverridden = false;
    bool m_read = false;
    bool m_kept = false; // Config.ini was there and not read whole: it is not written at exit
    std::optional<QString> m_defaultPort;
    IniFile m_ini;
    std::vector<std::pair<QPointer<QObject>, std::function<void(IniFile&)>>> m_writers;
};

} // namespace rv
