#include "core/settings/program_settings.h"

#include "core/settings/program_folder.h"

namespace rv {

namespace {
QString settingsPath()
{
    return programFile(QString::fromUtf16(kSettingsFileName));
}
} // namespace

void ProgramSettings::setPortName(const QString& name)
{
    m_portName = name;
    m_portOverridden = false;
}

void ProgramSettings::setPortOverride(const QString& name)
{
    m_portOverride = name;
    if (m_read && !name.isEmpty()) {
        m_portName = name;
        m_portOverridden = true;
    }
}

QString ProgramSettings::defaultPort()
{
    if (!m_defaultPort)
        m_defaultPort = defaultPortName();
    return *m_defaultPort;
}

AppSettings ProgramSettings::read(QString* keptBecause)
{
    const AppSettings settings = readAppSettings(settingsPath(), [this] { return defaultPort(); }, keptBecause);
    m_read = true;
    m_kept = !keptBecause->isEmpty();
    m_iniPort = settings.comPort;
    m_portOverridden = !m_portOverride.isEmpty();
    m_portName = m_portOverridden ? m_portOverride : settings.comPort;
    if (!m_kept)
        m_ini = IniFile::load(settingsPath()).value_or(IniFile{});
    return settings;
}

void ProgramSettings::addWriter(QObject* owner, std::function<void(IniFile&)> write)
{
    m_writers.emplace_back(owner, std::move(write));
}

OutputFileResult ProgramSettings::store(const QString& configFile, const QStringList& recentFiles)
{
    // Settings that were never read, or not read whole, are not written over.
    if (!m_read || m_kept)
        return {};
    const AppSettings settings{m_portOverridden ? m_iniPort : m_portName, configFile, recentFiles};
    const auto writers = [this](IniFile& ini) {
        for (const auto& [owner, write] : m_writers)
            if (owner)
                write(ini);
    };
    QString error;
    OutputFileResult saved;
    if (!writeAppSettings(settingsPath(), settings, [this] { return defaultPort(); }, &error, &saved, writers)
        && saved.ok())
        qWarning("Config.ini not written: %s", qPrintable(error)); // a value that cannot be stored as it is
    return saved;
}

} // namespace rv
