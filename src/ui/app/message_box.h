#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace rv {

// Every message box of the program goes through here. The box does not block (open(), deleted when
// closed), so the timers and the unit's replies go on while it is up; it carries the program's title;
// the unit's "\r" and "\r\n" line breaks are shown as line breaks.
//
// While a box with the same text is open, no second one is opened: a line that repeats a reply many
// times a second shows one box, not thousands. Returns the box that shows the text (new or already open).
QMessageBox* showMessage(QWidget* parent, const QString& text);

// The message boxes open now, for tests and diagnostics.
int openMessageBoxes();

} // namespace rv
