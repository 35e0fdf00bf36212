#pragma once

// The configuration being edited, as a document: the three records, the file they were loaded from or saved
// to ("default.fcg" for the built-in defaults), whether the user has changed them since, and the files opened
// or saved last. Views show the records and give their edits back; the window runs the document's commands
// and shows what each returns.
//
// Unsaved changes: the configuration is modified when what a save would write differs from what was last
// loaded, read or saved, and only the user's own input brings that about. The views say what a save would
// write now (setShownRecords) and when the user acts (userActed); loading, reading and saving set the
// reference again, so a page visit or the program's own adaptation of the pages never marks anything.

#include "core/base/input_file.h"
#include "core/base/output_file.h"
#include "core/config/fcg_file.h"
#include "core/config/record_kind.h"
#include "core/config/records.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

namespace rv {

// How the configuration named at start-up was loaded.
struct StartupLoad {
    FcgOpenResult fcg;                          // Ok for "default.fcg" too
    InputFileError file = InputFileError::None; // why the file could not be opened, when it could not
    bool ok() const { return fcg.ok(); }
};

class ConfigDocument : public QObject {
    Q_OBJECT
public:
    explicit ConfigDocument(ConfigRecords& records, QObject* parent = nullptr);

    ConfigRecords& records() const { return m_records; }
    // "default.fcg" or the full path of the file.
    const QString& fileName() const { return m_fileName; }
    bool isModified() const { return m_modified; }
    // Newest first, at most five, as "Config.ini" keeps them.
    const QStringList& recentFiles() const { return m_recentFiles; }
    void setRecentFiles(const QStringList& files);

    // The start values, and the file `name` over them unless it is "default.fcg". A file that cannot be
    // opened whole changes no record and leaves the name "default.fcg".
    StartupLoad loadStartup(const QString& name);
    // The defaults over what the views show: what the defaults leave alone keeps the views' values.
    void loadDefaults();
    // The file replaces the records; on a failure nothing changes.
    FcgOpenResult open(const QString& path);
    // What the views show goes into the records and into the file, through the output-file door. On success
    // the file is the document's and the mark clears; on a failure the old file and the name stay.
    OutputFileResult save(const QString& path);

    // What a save would write now, without touching the records (the pages gathered into a copy). Asked only
    // while `view` is there; without it the records are what the views show.
    void setShownRecords(QObject* view, std::function<ConfigRecords()> shown);
    // A unit's record (or all three) replaced the records and the views show it: no edit of the user's.
    void recordReplaced(RecordKind kind);
    void recordsReplaced();
    // The user acted on a view: from now on a difference is theirs. Checked when the event loop comes back.
    void userActed();
    // The views changed by themselves (a unit's adaptation): no edit, unless there were edits already.
    void viewsAdapted();
    // Runs a check the user's last input asked for, then says whether the configuration is modified.
    bool unsavedChanges();

signals:
    // Every view puts what it shows into the records (before a save, before the defaults).
    void gatherRequested();
    // The records were replaced (start-up, defaults, a file): the views show them.
    void loaded();
    void defaultsLoaded(); // after loaded(), for the defaults only
    void fileOpened(const QString& path); // after loaded(), for a file opened
    void modifiedChanged(bool modified);
    void recentFilesChanged();

private:
    ConfigRecords shown() const;
    void addRecentFile(const QString& path);
    void setModified(bool on);
    // The records of `kinds` (a mask of RecordKind bits) were replaced: what the views show of them is the
    // reference. Taken at once, and again when the event loop comes back unless the user has acted in
    // between, so that what the program does in the same turn (the unit's adaptation, the tariff check after
    // opening a file) is part of the reference and never an edit.
    void rebase(unsigned kinds);
    void takeReference(unsigned kinds);
    void check();
    void scheduleCheck();

    ConfigRecords& m_records;
    QString m_fileName;
    QStringList m_recentFiles;
    bool m_modified = false;
    QPointer<QObject> m_view;
    std::function<ConfigRecords()> m_shown;
    ConfigRecords m_reference;
    unsigned m_rebasePending = 0;
    bool m_checkPending = false;
};

} // namespace rv
