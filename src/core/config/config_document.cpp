#include "core/config/config_document.h"

#include "core/config/defaults.h"
#include "core/settings/app_settings.h"

#include <QFile>
#include <QTimer>

#include <limits>
#include <utility>

namespace rv {

namespace {

constexpr unsigned bit(RecordKind k) { return 1u << unsigned(k); }
constexpr unsigned kAll = bit(RecordKind::Config) | bit(RecordKind::InpOut) | bit(RecordKind::ConfSe);

RecordBase& recordOf(ConfigRecords& r, RecordKind k)
{
    switch (k) {
    case RecordKind::Config: return r.config;
    case RecordKind::InpOut: return r.inpOut;
    case RecordKind::ConfSe: return r.confSe;
    }
    return r.config;
}

} // namespace

ConfigDocument::ConfigDocument(ConfigRecords& records, QObject* parent)
    : QObject(parent), m_records(records), m_fileName(QString::fromUtf16(kDefaultConfName))
{
    takeReference(kAll);
}

void ConfigDocument::setRecentFiles(const QStringList& files)
{
    m_recentFiles = files;
    emit recentFilesChanged();
}

void ConfigDocument::addRecentFile(const QString& path)
{
    setRecentFiles(withRecentFile(m_recentFiles, path));
}

StartupLoad ConfigDocument::loadStartup(const QString& name)
{
    StartupLoad r;
    // What a file that ends early does not hold keeps the start values.
    loadStartDefaults(m_records);
    m_fileName = name;
    if (name != QString::fromUtf16(kDefaultConfName)) {
        // openFcg changes no record unless it read the whole file. A file that is there but cannot be read
        // is named for what it is (a folder, a FIFO, no permission), not called missing.
        r.fcg = openFcg(name, m_records);
        if (!r.ok()) {
            m_fileName = QString::fromUtf16(kDefaultConfName);
            QFile probe;
            r.file = openInputFile(probe, name, std::numeric_limits<qint64>::max());
        }
    }
    emit loaded();
    rebase(kAll);
    return r;
}

void ConfigDocument::loadDefaults()
{
    emit gatherRequested();
    m_fileName = QString::fromUtf16(kDefaultConfName);
    rv::loadDefaults(m_records);
    emit loaded();
    emit defaultsLoaded();
    rebase(kAll);
}

FcgOpenResult ConfigDocument::open(const QString& path)
{
    const FcgOpenResult r = openFcg(path, m_records);
    if (!r.ok())
        return r;
    m_fileName = path;
    emit loaded();
    rebase(kAll);
    addRecentFile(path);
    emit fileOpened(path);
    return r;
}

OutputFileResult ConfigDocument::save(const QString& path)
{
    emit gatherRequested();
    OutputFileResult r;
    if (saveFcg(path, m_records, &r) != FcgStatus::Ok)
        return r;
    m_fileName = path;
    setModified(false);
    rebase(kAll);
    addRecentFile(path);
    return r;
}

void ConfigDocument::setModified(bool on)
{
    if (on == m_modified)
        return;
    m_modified = on;
    emit modifiedChanged(on);
}

// ---- unsaved changes ----

void ConfigDocument::setShownRecords(QObject* view, std::function<ConfigRecords()> shown)
{
    m_view = view;
    m_shown = std::move(shown);
    takeReference(kAll);
}

ConfigRecords ConfigDocument::shown() const
{
    return m_view && m_shown ? m_shown() : m_records;
}

void ConfigDocument::recordReplaced(RecordKind kind)
{
    rebase(bit(kind));
}

void ConfigDocument::recordsReplaced()
{
    rebase(kAll);
}

void ConfigDocument::viewsAdapted()
{
    if (m_checkPending)
        check();
    if (!m_modified)
        rebase(kAll);
}

void ConfigDocument::userActed()
{
    m_rebasePending = 0;
    scheduleCheck();
}

bool ConfigDocument::unsavedChanges()
{
    // Without such input nothing the program did to the views counts as an edit.
    if (m_checkPending)
        check();
    return m_modified;
}

void ConfigDocument::takeReference(unsigned kinds)
{
    ConfigRecords now = shown();
    for (RecordKind k : {RecordKind::Config, RecordKind::InpOut, RecordKind::ConfSe})
        if (kinds & bit(k))
            recordOf(m_reference, k).fillFrom(recordOf(now, k).bytes());
}

void ConfigDocument::rebase(unsigned kinds)
{
    takeReference(kinds);
    check();
    if (m_rebasePending == 0)
        QTimer::singleShot(0, this, [this] {
            if (const unsigned kinds = std::exchange(m_rebasePending, 0)) {
                takeReference(kinds);
                check();
            }
        });
    m_rebasePending |= kinds;
}

void ConfigDocument::check()
{
    m_checkPending = false;
    const ConfigRecords now = shown();
    setModified(now.config.bytes() != m_reference.config.bytes() || now.inpOut.bytes() != m_reference.inpOut.bytes()
                || now.confSe.bytes() != m_reference.confSe.bytes());
}

void ConfigDocument::scheduleCheck()
{
    if (m_checkPending)
        return;
    m_checkPending = true;
    // After the event has done its work: the key typed, the box ticked, the item chosen.
    QTimer::singleShot(0, this, [this] {
        if (m_checkPending)
            check();
    });
}

} // namespace rv
