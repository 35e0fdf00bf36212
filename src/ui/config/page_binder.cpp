#include "ui/config/page_binder.h"

#include "ui/config/edit_rules.h"

#include "core/config/setting_index.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QWidget>

namespace rv {

namespace {

constexpr char kDesignLength[] = "rvDesignMaxLength";

QString nameOf(std::string_view s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// A radio button can be cleared even when it is the checked one of its group (no button stands for the value).
void setRadioChecked(QAbstractButton* b, bool on)
{
    if (b->isChecked() == on)
        return;
    if (on) {
        b->setChecked(true);
        return;
    }
    QButtonGroup* group = b->group();
    const bool groupExclusive = group && group->exclusive();
    const bool autoExclusive = b->autoExclusive();
    if (group)
        group->setExclusive(false);
    b->setAutoExclusive(false);
    b->setChecked(false);
    b->setAutoExclusive(autoExclusive);
    if (group)
        group->setExclusive(groupExclusive);
}

// A stored value no item of a list stands for is shown as "(N)" in the list's normal text colour, and says so
// in its tool tip; the mark goes when an item is chosen or shown again.
void markOutOfList(QComboBox* combo, const QString& shown)
{
    static const char kOwnTip[] = "rvToolTip";
    const bool out = !shown.isEmpty();
    if (out && !combo->property(kOwnTip).isValid())
        combo->setProperty(kOwnTip, combo->toolTip());
    QPalette p = combo->palette();
    if (out)
        p.setBrush(QPalette::PlaceholderText, p.brush(QPalette::ButtonText));
    else
        p.setBrush(QPalette::PlaceholderText, QApplication::palette(combo).brush(QPalette::PlaceholderText));
    combo->setPalette(p);
    combo->setPlaceholderText(shown);
    if (out)
        combo->setToolTip(QStringLiteral("значение вне списка"));
    else if (combo->property(kOwnTip).isValid())
        combo->setToolTip(combo->property(kOwnTip).toString());
}

} // namespace

PageBinder::PageBinder(QWidget* page, std::span<const Binding> table, ConfigRecords& records)
    : QObject(page), m_page(page), m_table(table), m_records(records)
{
    for (const Binding& row : m_table) {
        QWidget* w = m_page->findChild<QWidget*>(nameOf(row.control));
        if (!w) {
            qWarning("page %s has no control %s", qPrintable(m_page->objectName()), qPrintable(nameOf(row.control)));
            continue;
        }
        m_controls.insert(&row, w);
        connectRow(row);
    }
}

QWidget* PageBinder::control(const Binding& row) const
{
    return m_controls.value(&row);
}

const Binding* PageBinder::row(QStringView objectName) const
{
    for (const Binding& r : m_table)
        if (objectName == QLatin1StringView(r.control.data(), qsizetype(r.control.size())))
            return &r;
    return nullptr;
}

QWidget* PageBinder::control(QStringView objectName) const
{
    const Binding* r = row(objectName);
    return r ? control(*r) : nullptr;
}

void PageBinder::connectRow(const Binding& row)
{
    QWidget* w = control(row);
    // A bound edit says what it accepts (the field's range, the caption's unit).
    if (const CaptionRow* caption = row.isEdit() ? captionRowOf(nameOf(row.control), row.record) : nullptr) {
        if (const QString range = settingRangeText(*caption); !range.isEmpty())
            w->setToolTip(w->toolTip().isEmpty() ? range : w->toolTip() + QLatin1Char('\n') + range);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setProperty(kDesignLength, edit->maxLength());
        installKeyFilter(edit, row.keys);
        installValidator(edit, row.validator); // first: the handler below sees the corrected text
        connect(edit, &QLineEdit::textEdited, this, [this, &row] { userChanged(row); });
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        connect(combo, &QComboBox::activated, this, [this, &row, combo] {
            markOutOfList(combo, {});
            userChanged(row);
        });
        // A number chosen from a list or typed (an editable drop-down): the typed text follows the edit rules.
        if (QLineEdit* typed = combo->isEditable() ? combo->lineEdit() : nullptr; typed && row.isEdit()) {
            installKeyFilter(typed, row.keys);
            installValidator(typed, row.validator);
            connect(typed, &QLineEdit::textEdited, this, [this, &row] { userChanged(row); });
        }
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(w)) {
        if (const FieldDef* f = fieldOf(recordOf(m_records, row.record), row))
            slider->setRange(int(f->min), int(f->max));
        connect(slider, &QAbstractSlider::valueChanged, this, [this, &row](int value) {
            if (auto* label = m_page->findChild<QLabel*>(nameOf(row.label)); label && !row.label.empty())
                label->setNum(value);
            userChanged(row);
        });
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        connect(button, &QAbstractButton::clicked, this, [this, &row] { userChanged(row); });
    }
}

int PageBinder::listItems(const Binding& row) const
{
    auto* combo = qobject_cast<QComboBox*>(control(row));
    return combo ? combo->count() : 0;
}

ControlValue PageBinder::valueOf(const Binding& row) const
{
    ControlValue v;
    QWidget* w = control(row);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        v.text = edit->text();
    else if (auto* combo = qobject_cast<QComboBox*>(w); combo && row.isEdit())
        v.text = combo->currentText();
    else if (combo)
        v.index = combo->currentIndex();
    else if (auto* slider = qobject_cast<QAbstractSlider*>(w))
        v.index = slider->value();
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        v.checked = button->isChecked();
    return v;
}

void PageBinder::show(const Binding& row, const RecordBase& record, int element)
{
    QWidget* w = control(row);
    if (!w || fieldElement(record, row, element) < 0)
        return;
    const ControlValue v = showValue(record, row, element, listItems(row));
    const QSignalBlocker block(w);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        // A stored text longer than the edit allows is shown whole; typing is limited again from the next fill.
        const int design = edit->property(kDesignLength).toInt();
        edit->setMaxLength(std::max<int>(design, int(v.text.size())));
        edit->setText(v.text);
        edit->setCursorPosition(0);
        setInvalidCue(edit, false);
    } else if (auto* combo = qobject_cast<QComboBox*>(w); combo && row.isEdit()) {
        // A value no item shows is typed into an editable list, or shown in place of an item.
        const int item = combo->findText(v.text);
        if (combo->isEditable()) {
            combo->setCurrentIndex(item);
            combo->setEditText(v.text);
        } else {
            markOutOfList(combo, item < 0 ? v.text : QString());
            combo->setCurrentIndex(item);
        }
    } else if (combo) {
        // No item stands for the stored value: the list shows the value itself and keeps it.
        markOutOfList(combo, v.index < 0 ? QStringLiteral("(%1)").arg(storedNumberText(record, row, element))
                                         : QString());
        combo->setCurrentIndex(v.index);
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(w)) {
        slider->setValue(v.index);
        if (auto* label = m_page->findChild<QLabel*>(nameOf(row.label)); label && !row.label.empty())
            label->setText(storedNumberText(record, row, element));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (row.enc == Enc::Radio)
            setRadioChecked(button, v.checked);
        else
            button->setChecked(v.checked);
    }
    if (!row.atOnce())
        m_spread.insert(&row, Spread{valueOf(row), storedBits(record, row, element)});
}

void PageBinder::spread(const ConfigRecords& from, std::optional<RecordKind> kind, const RowFilter& which)
{
    for (const Binding& row : m_table) {
        if (row.atOnce() || (kind && row.record != *kind) || (which && !which(row)))
            continue;
        show(row, recordOf(from, row.record), 0);
    }
}

void PageBinder::load(int element)
{
    m_element = element;
    for (const Binding& row : m_table)
        if (row.atOnce())
            show(row, recordOf(m_records, row.record), element);
}

QStringList PageBinder::gather(ConfigRecords& to, std::optional<RecordKind> kind, const RowFilter& which)
{
    QList<GatherRow> rows;
    for (const Binding& row : m_table) {
        if (row.atOnce() || !control(row) || (kind && row.record != *kind) || (which && !which(row)))
            continue;
        // An edit still being typed in gets the correction it would get on leaving it.
        if (auto* edit = qobject_cast<QLineEdit*>(control(row)); edit && edit->isModified())
            finishEditing(edit, row.validator);
        const auto it = m_spread.constFind(&row);
        rows.append(GatherRow{&row, 0, valueOf(row), it == m_spread.cend() ? std::nullopt : std::optional(*it)});
    }
    QStringList refused;
    for (int i : gatherRows(to, rows)) {
        setInvalidCue(control(*rows[i].binding), true);
        refused << nameOf(rows[i].binding->control);
    }
    return refused;
}

void PageBinder::userChanged(const Binding& row)
{
    QWidget* w = control(row);
    RecordBase& record = recordOf(m_records, row.record);
    if (row.atOnce() && fieldElement(record, row, m_element) < 0)
        return; // the field has nothing for the item shown
    const ControlValue v = valueOf(row);
    const bool ok = checkValue(record, row, m_element, v) == FieldError::None;
    if (row.isEdit())
        setInvalidCue(w, !ok);
    if (row.atOnce() && ok && storeValue(record, row, m_element, v) == FieldError::None)
        emit written(row);
}

} // namespace rv
