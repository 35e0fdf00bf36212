#pragma once

// The shared input rules on the widgets: a key filter on an edit, the validator that corrects its text after
// each change by the user, and the cue that marks a control whose text cannot be stored.

#include "core/config/input_rules.h"

class QLineEdit;
class QWidget;

namespace rv {

// Keys the filter refuses never reach the edit. Control keys (backspace, delete, arrows, copy and paste)
// always pass.
void installKeyFilter(QLineEdit* edit, KeyFilter filter);

// Runs the validator on every change the user makes (not on texts the program sets) and puts its
// replacement text in place, never longer than the edit allows; a default for an empty text is put in
// selected. When editing finishes, the finishing correction (validateDone) follows.
void installValidator(QLineEdit* edit, Validator validator);
// The replacement the validator makes of the edit's text, applied now; whether the text changed.
bool applyValidator(QLineEdit* edit, Validator validator);
// The finishing correction of the edit's text, applied now; whether the text changed.
bool finishEditing(QLineEdit* edit, Validator validator);

// Marks (or clears) a control whose value is refused: tinted, with a tool tip saying the value is not stored.
void setInvalidCue(QWidget* control, bool invalid);
bool hasInvalidCue(const QWidget* control);

} // namespace rv
