// Every bound edit of every page, typed into the way a user does it: click, select all, Backspace (or not),
// a valid value as key presses, Tab. The record field then holds exactly that value and nothing else changed.
// The controls come from the pages' binding tables, so a page that binds a new edit is covered by itself.

#include "core/config/defaults.h"
#include "core/config/page_binding.h"
#include "support/unusual_records.h"
#include "ui/app/navigation.h"
#include "ui/config/editor_page.h"
#include "ui/config/page_binder.h"
#include "ui/config/pages_fixture.h"
#include "ui/satellite/sat_modem_page.h"

#include <QApplication>
#include <QComboBox>
#include <QRandomGenerator>
#include <QSet>
#include <QStackedWidget>
#include <QTabWidget>

using namespace rv;

namespace {

struct Typed
{
    QString text;
    std::optional<qint64> number; // the value the record must then hold, for the numeric encodings
};

class Keystrokes : public rvtest::PagesTest {
protected:
    ConfigRecords base;
    QRandomGenerator random{2718};

    // The defaults with custom settings on both SIMs, so that their edits take input, the devices on the
    // serial ports given by `devices` (their sub-pages hold edits), a satellite plan whose groups take input
    // and a frequency input.
    void setBase(int devices)
    {
        loadDefaults(base);
        base.config.setNumber(u"Sim1Custom", 63);
        base.config.setNumber(u"Sim2Custom", 63);
        base.config.setNumber(u"SerialDevices", devices);
        base.config.setNumber(u"SatTariff", 1);
        base.config.setNumber(u"Inputtype", 0, 4); // input 1 counts a frequency: its threshold edit shows
    }

    // What a user clicks to see the edit: the tab that holds it.
    static void bringIntoView(QWidget* edit)
    {
        for (QWidget *child = edit, *p = edit->parentWidget(); p; child = p, p = p->parentWidget())
            if (auto* tabs = qobject_cast<QTabWidget*>(p->parentWidget()); tabs && qobject_cast<QStackedWidget*>(p))
                tabs->setCurrentWidget(child);
    }

    void SetUp() override
    {
        PagesTest::SetUp();
        w.show();
        w.activateWindow();
        QApplication::processEvents();
    }

    // The line edit a row is typed into: the edit itself, or the text part of an editable list.
    static QLineEdit* editOf(QWidget* control)
    {
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            return edit;
        auto* combo = qobject_cast<QComboBox*>(control);
        return combo && combo->isEditable() ? combo->lineEdit() : nullptr;
    }

    // A value the row's field and rules take, as the user types it, that differs from what is shown.
    std::optional<Typed> validValue(const Binding& row, int element, const QLineEdit* edit)
    {
        const RecordBase& record = recordOf(base, row.record);
        const FieldDef* f = fieldOf(record, row);
        if (!f)
            return std::nullopt;
        const int width = std::min(edit->maxLength(), 12);
        for (int attempt = 0; attempt < 400; ++attempt) {
            // Mostly as many digits as the edit takes, so that a lost or extra character shows.
            const int digits = std::max(1, width - int(random.bounded(std::min(width, 3))) - (attempt / 40));
            QString digitsText;
            for (int i = 0; i < digits; ++i)
                digitsText += QChar(u'0' + (i == 0 ? 1 + random.bounded(9) : random.bounded(10)));
            Typed t;
            switch (row.enc) {
            case Enc::Number:
                t = {digitsText, digitsText.toLongLong()};
                break;
            case Enc::Signed:
                t = random.bounded(2) ? Typed{digitsText, digitsText.toLongLong()}
                                      : Typed{u'-' + digitsText.left(width - 1), -digitsText.left(width - 1).toLongLong()};
                break;
            case Enc::Tenths:
            case Enc::Volts: {
                const QString whole = digitsText.left(std::max(1, width - 2));
                const int tenth = int(random.bounded(10));
                t.text = whole + u',' + QString::number(tenth);
                if (row.enc == Enc::Tenths)
                    t.number = whole.toLongLong() * 10 + tenth;
                break;
            }
            case Enc::Text:
                t.text = QStringLiteral("fleet%1").arg(digitsText).left(std::min(width, int(f->size) - 1));
                break;
            case Enc::Phone:
                t.text = QStringLiteral("89") + digitsText.left(9).leftJustified(9, u'5');
                break;
            default:
                return std::nullopt;
            }
            if (t.text.isEmpty() || t.text.size() > edit->maxLength() || t.text == edit->text())
                continue;
            if (validate(row.validator, t.text) || !acceptsAll(row.keys, t.text))
                continue;
            if (f->max > f->min && t.number && (*t.number < f->min || *t.number > f->max))
                continue;
            if (checkValue(record, row, element, {.text = t.text}) != FieldError::None)
                continue;
            if (row.enc == Enc::Volts && showValue(recordOf(stored(row, element, t.text, base), row.record), row, element).text != t.text)
                continue; // a text the scale cannot give back exactly
            return t;
        }
        return std::nullopt;
    }

    QList<EditorPage*> allPages() const
    {
        QList<EditorPage*> out;
        for (int i = 0; i < nav::kPageCount; ++i)
            if (EditorPage* p = pages.page(i); p && p->binder())
                out << p;
        return out;
    }

    static bool acceptsAll(KeyFilter filter, const QString& text)
    {
        return std::all_of(text.begin(), text.end(), [filter](QChar c) { return acceptsKey(filter, c); });
    }

    // The base records as a read from the unit shows them (the satellite plan checked against port 2).
    void open(const QString& node)
    {
        load(base);
        if (auto* sat = qobject_cast<SatModemPage*>(pages.page(nav::SAT_modem)))
            sat->SatSetTarif(sat->tariff(), sat::SatMode::AfterRead);
        click(node);
    }

    static ConfigRecords copyOf(const ConfigRecords& from)
    {
        ConfigRecords r;
        r.config.setBytes(from.config.bytes());
        r.inpOut.setBytes(from.inpOut.bytes());
        r.confSe.setBytes(from.confSe.bytes());
        return r;
    }

    ConfigRecords stored(const Binding& row, int element, const QString& text, const ConfigRecords& from) const
    {
        ConfigRecords r = copyOf(from);
        storeValue(recordOf(r, row.record), row, element, {.text = text});
        return r;
    }

    // The user's keystrokes into the edit, ending with Tab.
    static void typeInto(QLineEdit* edit, const QString& text, bool backspace)
    {
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        if (backspace)
            QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Tab);
    }

    static QString where(qsizetype offset, const RecordBase& a, const RecordBase& b)
    {
        return QStringLiteral("%1 byte %2: %3 → %4")
            .arg(QString::fromLatin1(a.layout().name.data(), qsizetype(a.layout().name.size())))
            .arg(offset)
            .arg(int(quint8(a.bytes().at(offset))))
            .arg(int(quint8(b.bytes().at(offset))));
    }

    // The property over the edits of the page a node shows, each from the same records.
    void typeIntoThePage(const QString& node, bool backspace, QSet<QString>& done, QStringList& failures)
    {
        open(node);
        EditorPage* page = pages.page(w.currentPage());
        if (!page || !page->binder())
            return;
        for (const Binding& row : page->binder()->table()) {
            const QString name = QString::fromLatin1(row.control.data(), qsizetype(row.control.size()));
            QLineEdit* edit = editOf(page->binder()->control(row));
            if (edit)
                bringIntoView(edit);
            if (!edit || !row.isEdit() || done.contains(name) || !edit->isEnabled() || !edit->isVisible())
                continue;
            const int element = row.atOnce() ? page->binder()->element() : row.element;
            const std::optional<Typed> value = validValue(row, element, edit);
            if (!value) {
                failures << name + QStringLiteral(": no valid value found");
                continue;
            }
            done.insert(name);
            const ConfigRecords before = copyOf(records);
            typeInto(edit, value->text, backspace);
            gatherAll();

            const ConfigRecords expected = stored(row, element, value->text, before);
            const QString context = QStringLiteral("%1 (page \"%2\"), typed \"%3\", shows \"%4\"")
                                        .arg(name, node, value->text, edit->text());
            if (edit->text() != value->text)
                failures << context + QStringLiteral(": the edit changed the text");
            const RecordBase& field = recordOf(records, row.record);
            if (value->number) {
                const FieldDef* f = fieldOf(field, row);
                const int e = row.atOnce() ? element * row.itemStride + row.itemOffset : row.element;
                if (field.numberAt(*f, e) != *value->number)
                    failures << context + QStringLiteral(": the record holds %1").arg(field.numberAt(*f, e));
            }
            for (RecordKind kind : {RecordKind::Config, RecordKind::InpOut, RecordKind::ConfSe}) {
                const RecordBase& now = recordOf(records, kind);
                const RecordBase& want = recordOf(expected, kind);
                for (qsizetype i = 0; i < now.size(); ++i)
                    if (now.bytes().at(i) != want.bytes().at(i))
                        failures << context + QStringLiteral(": ") + where(i, want, now);
            }
            // The next edit starts from the same records.
            open(node);
        }
    }

    // Runs the property over every bound edit a user can type into; returns those disabled or hidden on
    // every node.
    QStringList typeIntoEveryEdit(bool backspace)
    {
        QSet<QString> done;
        QStringList failures;
        QStringList nodes;
        for (QTreeWidgetItemIterator it(w.tree()); *it; ++it)
            nodes << (*it)->text(0);
        // Omnicomm sensors on both ports; then the satellite modem on port 2.
        for (int devices : {0x11, 0x51}) {
            setBase(devices);
            for (const QString& node : nodes)
                typeIntoThePage(node, backspace, done, failures);
        }
        EXPECT_TRUE(failures.isEmpty()) << failures.join(u'\n').toStdString();
        QStringList untyped;
        for (EditorPage* page : allPages())
            for (const Binding& row : page->binder()->table())
                if (row.isEdit() && editOf(page->binder()->control(row))
                    && !done.contains(QString::fromLatin1(row.control.data(), qsizetype(row.control.size()))))
                    untyped << QString::fromLatin1(row.control.data(), qsizetype(row.control.size()));
        return untyped;
    }
};

} // namespace

// Only the USSD edits are out of reach: nothing in the program enables them.
const QStringList kNeverEnabled{QStringLiteral("USSDPREF"), QStringLiteral("USSDTYPE"), QStringLiteral("USSDPERIOD")};

TEST_F(Keystrokes, SelectAllBackspaceAndTypeStoresExactlyTheTypedValue)
{
    EXPECT_EQ(typeIntoEveryEdit(true), kNeverEnabled);
}

TEST_F(Keystrokes, TypingOverTheSelectionStoresExactlyTheTypedValue)
{
    EXPECT_EQ(typeIntoEveryEdit(false), kNeverEnabled);
}

namespace {
class RecordIdentity : public rvtest::PagesTest {};
} // namespace

// Whatever a unit of any type holds, showing it on every page and gathering it back changes no byte.
TEST_F(RecordIdentity, RandomRecordsComeBackByteForByteAfterVisitingEveryPage)
{
    for (quint32 seed = 1; seed <= 12; ++seed) {
        w.TypeConnectedDevice(quint8(2 + seed % 3));
        const ConfigRecords random = rvtest::randomRecords(seed);
        load(random);
        visitEveryNode();
        gatherAll();
        EXPECT_EQ(records.config.bytes().toHex().toStdString(), random.config.bytes().toHex().toStdString()) << seed;
        EXPECT_EQ(records.inpOut.bytes(), random.inpOut.bytes()) << seed;
        EXPECT_EQ(records.confSe.bytes(), random.confSe.bytes()) << seed;
    }
}
