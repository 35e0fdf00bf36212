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
            const QString text = static_cast<QKeyEvent*>(event)->text();
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

bool applyValidator(QLineEdit* edit, Validator validator)
{
    const auto replacement = validate(validator, edit->text());
    if (!replacement || *replacement == edit->text())
        return false;
    edit->setText(*replacement);
    return true;
}

void installValidator(QLineEdit* edit, Validator validator)
{
    if (!edit || validator == Validator::None)
        return;
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, validator] { applyValidator(edit, validator); });
}

void setInvalidCue(QWidget* control, bool invalid)
{
    if (!control || hasInvalidCue(control) == invalid)
        return;
    control->setProperty(kInvalidProperty, invalid);
    control->setStyleSheet(invalid ? QStringLiteral("background-color: #ffc8c8;") : QString());
    control->setToolTip(invalid ? QStringLiteral("Недопустимое значение: в конфигурацию оно не попадет") : QString());
}

bool hasInvalidCue(const QWidget* control)
{
    return control && control->property(kInvalidProperty).toBool();
}

} // namespace rv
