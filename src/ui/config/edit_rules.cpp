#include "ui/config/edit_rules.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVariant>

namespace rv {

namespace {

constexpr char kInvalidProperty[] = "rvInvalidValue";

class KeyFilterObject : public QObject {
public:
    KeyFilterObject(KeyFilter filter, QObject* parent) : QObject(parent), m_filter(filter) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // Shortcuts (select all, copy, paste) carry a letter as their text on some platforms.
            if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
                return QObject::eventFilter(watched, event);
            const QString text = key->text();
            for (QChar c : text) {
                const bool control = c.unicode() < 0x20 || c.unicode() == 0x7F;
                if (!control && !acceptsKey(m_filter, c))
                    return true; // the key is discarded
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    KeyFilter m_filter;
};

} // namespace

void installKeyFilter(QLineEdit* edit, KeyFilter filter)
{
    if (edit && filter != KeyFilter::None)
        edit->installEventFilter(new KeyFilterObject(filter, edit));
}

namespace {

// Puts the correction in place, shortened to fit the edit. A default for an empty text is left selected:
// the user's next key replaces it, so "1" followed by the typed digits never happens.
bool putCorrection(QLineEdit* edit, const std::optional<QString>& replacement, bool selected)
{
    if (!replacement)
        return false;
    const QString text = fitCorrection(*replacement, edit->maxLength());
    if (text == edit->text())
        return false;
    edit->setText(text);
    edit->setModified(true); // still the user's edit
    if (selected)
        edit->selectAll();
    return true;
}

} // namespace

bool applyValidator(QLineEdit* edit, Validator validator)
{
    const QString typed = edit->text();
    return putCorrection(edit, validate(validator, typed), isDefaultFill(validator, typed));
}

bool finishEditing(QLineEdit* edit, Validator validator)
{
    return putCorrection(edit, validateDone(validator, edit->text()), false);
}

void installValidator(QLineEdit* edit, Validator validator)
{
    if (!edit || validator == Validator::None)
        return;
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, validator] { applyValidator(edit, validator); });
    QObject::connect(edit, &QLineEdit::editingFinished, edit, [edit, validator] {
        if (edit->isModified() && finishEditing(edit, validator))
            emit edit->textEdited(edit->text()); // the corrected text is the user's edit
    });
}

void setInvalidCue(QWidget* control, bool invalid)
{
    if (!control || hasInvalidCue(control) == invalid)
        return;
    // The control's own tip (its range) is kept aside while the cue stands, and comes back after it.
    static const char kOwnTip[] = "rvTipBeforeCue";
    if (invalid)
        control->setProperty(kOwnTip, control->toolTip());
    control->setProperty(kInvalidProperty, invalid);
    control->setStyleSheet(invalid ? QStringLiteral("background-color: #ffc8c8;") : QString());
    control->setToolTip(invalid ? QStringLiteral("Недопустимое значение: в конфигурацию оно не попадет")
                                : control->property(kOwnTip).toString());
}

bool hasInvalidCue(const QWidget* control)
{
    return control && control->property(kInvalidProperty).toBool();
}

} // namespace rv
