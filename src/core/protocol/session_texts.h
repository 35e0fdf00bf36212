#pragma once

// The program's words for what a unit session reports: the one place that holds them. The session itself
// reports values (session_outcome.h); the window shows these words in its status bar, its message boxes
// and its progress window, rvctl prints them beside its own, and the fleet writes them into its log. No
// front end decides anything by them.

#include "core/protocol/session_outcome.h"

#include <QList>
#include <QObject>
#include <QString>

namespace rv {

class UnitSession;

struct PanelText {
    int panel = 0;
    QString text;
};

// The server's state as its window says it.
enum class ServerState : uint8_t { Stopped, Waiting, Connected };

class SessionWording {
public:
    virtual ~SessionWording() = default;
    // The progress display's label while the operation runs.
    virtual QString running(Operation operation) const;
    // The message the progress display closes with when the operation ends ("" for none).
    virtual QString closing(const Outcome& outcome) const;
    // Status panel 0 after the operation ("" leaves it as it is).
    virtual QString afterwards(const Outcome& outcome) const;
    virtual QString notice(const Note& note) const;
    // The status panels a change of the search for the unit sets, in order.
    virtual QList<PanelText> panels(const LinkEvent& event) const;
    virtual QString server(ServerState state) const;
};

// The wording in use.
const SessionWording& sessionWording();

// Puts another wording in place of the program's while it lives (tests change words through it).
class ScopedSessionWording {
public:
    explicit ScopedSessionWording(const SessionWording& wording);
    ~ScopedSessionWording();
    ScopedSessionWording(const ScopedSessionWording&) = delete;
    ScopedSessionWording& operator=(const ScopedSessionWording&) = delete;

private:
    const SessionWording* m_previous;
};

// A session's reports in words: the status panels and the messages, as the window shows them.
class SessionTexts : public QObject {
    Q_OBJECT
public:
    explicit SessionTexts(UnitSession& session, QObject* parent = nullptr);

signals:
    void statusText(int panel, const QString& text);
    void message(const QString& text);
};

} // namespace rv
