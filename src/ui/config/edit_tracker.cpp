#include "ui/config/edit_tracker.h"

#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/config/config_pages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

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

bool userInput(QEvent::Type t)
{
    return t == QEvent::KeyPress || t == QEvent::MouseButtonRelease || t == QEvent::Wheel
           || t == QEvent::InputMethod || t == QEvent::Drop;
}

} // namespace

EditTracker::EditTracker(MainWindow& w, SessionController& s, ConfigPages& pages)
    : QObject(&pages), m_window(w), m_pages(pages)
{
    // Connected after the pages' own handlers: they have shown the new records when these run.
    connect(&w, &MainWindow::startupConfigRequested, this, [this] { rebase(kAll); });
    connect(&w, &MainWindow::configurationLoaded, this, [this] { rebase(kAll); });
    connect(&w, &MainWindow::saved, this, [this] { rebase(kAll); });
    connect(&s, &SessionController::recordReceived, this, [this](RecordKind k) { rebase(bit(k)); });
    connect(&s, &SessionController::readCycleFinished, this, [this] { rebase(kAll); });
    // A unit found adapts the pages to itself (a unit without GLONASS shows "Только GPS"): that is no edit
    // of the user's, unless there were edits already.
    connect(&s, &SessionController::configurate, this, [this] {
        if (m_checkPending)
            check();
        if (!m_window.configModified())
            rebase(kAll);
    });
    // Before the question: a check the user's last input asked for runs now. Without such input nothing the
    // program did to the pages counts as an edit.
    connect(&w, &MainWindow::modifiedCheckRequested, this, [this] {
        if (m_checkPending)
            check();
    });
    qApp->installEventFilter(this);
    takeReference(kAll);
}

void EditTracker::takeReference(unsigned kinds)
{
    ConfigRecords now = m_pages.gathered();
    for (RecordKind k : {RecordKind::Config, RecordKind::InpOut, RecordKind::ConfSe})
        if (kinds & bit(k))
            recordOf(m_reference, k).fillFrom(recordOf(now, k).bytes());
}

void EditTracker::rebase(unsigned kinds)
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

void EditTracker::check()
{
    m_checkPending = false;
    const ConfigRecords now = m_pages.gathered();
    const bool differs = now.config.bytes() != m_reference.config.bytes()
                         || now.inpOut.bytes() != m_reference.inpOut.bytes()
                         || now.confSe.bytes() != m_reference.confSe.bytes();
    m_window.setConfigModified(differs);
}

void EditTracker::scheduleCheck()
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

bool EditTracker::eventFilter(QObject* watched, QEvent* event)
{
    if (userInput(event->type()) && watched->isWidgetType()) {
        for (QObject* o = watched; o; o = o->parent()) {
            if (o == &m_window) {
                // The user acts: from now on a difference is theirs, never part of the reference.
                m_rebasePending = 0;
                scheduleCheck();
                break;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace rv
