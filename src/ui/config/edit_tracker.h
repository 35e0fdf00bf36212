#pragma once

// The pages' part in the document's record of unsaved changes: what a save would write now (the pages
// gathered into a copy), the records the session replaced from a unit, and the user's own input (every key,
// click or wheel turn in the main window or a window of it). The document compares and keeps the mark;
// the main window shows it and asks about it.

#include <QObject>

namespace rv {

class ConfigDocument;
class ConfigPages;
class MainWindow;
class SessionController;

class EditTracker : public QObject {
    Q_OBJECT
public:
    EditTracker(MainWindow& window, SessionController& session, ConfigPages& pages);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& m_window;
    ConfigDocument& m_document;
};

} // namespace rv
