#include "ui/config/edit_tracker.h"

#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/config/config_pages.h"

#include <QCoreApplication>
#include <QEvent>

namespace rv {

namespace {

bool userInput(QEvent::Type t)
{
    return t == QEvent::KeyPress || t == QEvent::MouseButtonRelease || t == QEvent::Wheel
           || t == QEvent::InputMethod || t == QEvent::Drop;
}

} // namespace

EditTracker::EditTracker(MainWindow& w, SessionController& s, ConfigPages& pages)
    : QObject(&pages), m_window(w), m_document(w.document())
{
    m_document.setShownRecords(this, [&pages] { return pages.gathered(); });
    // Connected after the pages' own handlers: they have shown the new records when these run.
    connect(&s, &SessionController::recordReceived, &m_document, &ConfigDocument::recordReplaced);
    connect(&s, &SessionController::readCycleFinished, &m_document, &ConfigDocument::recordsReplaced);
    // A unit found adapts the pages to itself (a unit without GLONASS shows "Только GPS"): that is no edit
    // of the user's, unless there were edits already.
    connect(&s, &SessionController::configurate, &m_document, &ConfigDocument::viewsAdapted);
    qApp->installEventFilter(this);
}

bool EditTracker::eventFilter(QObject* watched, QEvent* event)
{
    if (userInput(event->type()) && watched->isWidgetType()) {
        for (QObject* o = watched; o; o = o->parent()) {
            if (o == &m_window) {
                m_document.userActed();
                break;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace rv
