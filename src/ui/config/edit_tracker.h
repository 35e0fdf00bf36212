#pragma once

// Unsaved changes. The configuration counts as modified when what a save would write differs from what the
// program last loaded, read or saved, and only the user's own input brings that about: after every key, click
// or wheel turn in the main window (or a window of it) the pages are gathered into a copy and compared.
// Loading, reading and saving set the reference again; a page visit changes no gathered byte, so it never
// marks anything. The main window shows the mark and asks about it.

#include "core/config/records.h"

#include <QObject>

namespace rv {

class ConfigPages;
class MainWindow;
class SessionController;

class EditTracker : public QObject {
    Q_OBJECT
public:
    EditTracker(MainWindow& window, SessionController& session, ConfigPages& pages);

    // Compares now and sets the window's mark.
    void check();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The records of `kinds` (a mask of RecordKind bits) were replaced: what the pages show of them is the
    // reference. Taken at once, and again when the event loop comes back unless the user has acted in
    // between, so that what the program does in the same turn (the unit's adaptation, the tariff check after
    // opening a file) is part of the reference and never an edit.
    void rebase(unsigned kinds);
    void takeReference(unsigned kinds);
    void scheduleCheck();

    MainWindow& m_window;
    ConfigPages& m_pages;
    ConfigRecords m_reference;
    unsigned m_rebasePending = 0;
    bool m_checkPending = false;
};

} // namespace rv
