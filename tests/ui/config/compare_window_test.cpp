// "Сравнить с файлом…" and "Сравнить с устройством" on the real pages: the window lists what a changed control
// would write, and comparing changes neither the program's records nor any control.

#include "pages_fixture.h"

#include "core/config/defaults.h"
#include "core/config/fcg_file.h"
#include "ui/config/compare_window.h"
#include "ui/devicefiles/autoinfo_page.h"
#include "ui/config/editor_page.h"
#include "ui/config/page_binder.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QToolButton>

#include <algorithm>

using namespace rv;

namespace {

class CompareTest : public rvtest::PagesTest {
protected:
    CompareBinding compare{w, s, pages};

    // The route page joins the pages as the program's route binding adds it.
    CompareTest() { pages.addPage(new AutoinfoPage(records)); }

    // What every control of the window shows.
    QStringList controlStates() const
    {
        QStringList out;
        for (QWidget* c : w.findChildren<QWidget*>()) {
            const QString n = c->objectName();
            if (auto* e = qobject_cast<QLineEdit*>(c))
                out << n + QStringLiteral("=") + e->text();
            else if (auto* b = qobject_cast<QComboBox*>(c))
                out << n + QStringLiteral("=%1:%2").arg(b->currentIndex()).arg(b->currentText());
            else if (auto* a = qobject_cast<QAbstractButton*>(c))
                out << n + QStringLiteral("=%1").arg(a->isChecked());
            else if (auto* sl = qobject_cast<QSlider*>(c))
                out << n + QStringLiteral("=%1").arg(sl->value());
            else if (auto* l = qobject_cast<QListWidget*>(c))
                for (int i = 0; i < l->count(); ++i)
                    out << n + QStringLiteral("[%1]=%2").arg(i).arg(int(l->item(i)->checkState()));
        }
        return out;
    }
    QByteArray recordBytes() const
    {
        return records.config.bytes() + records.inpOut.bytes() + records.confSe.bytes();
    }
    QStringList rows() const
    {
        QStringList out;
        QTableWidget* t = compare.window()->table();
        for (int r = 0; r < t->rowCount(); ++r)
            out << QStringLiteral("%1 | %2 | %3").arg(t->item(r, 0)->text(), t->item(r, 1)->text(), t->item(r, 2)->text());
        return out;
    }
};

} // namespace

TEST_F(CompareTest, AgainstAFile_ListsExactlyTheChangedControls_AndTouchesNoRecordOrControl)
{
    ConfigRecords defaults;
    loadDefaults(defaults);
    load(defaults);
    const QString path = home.filePath(QStringLiteral("saved.fcg"));
    ASSERT_EQ(saveFcg(path, defaults), FcgStatus::Ok);

    // The pages show exactly the file: nothing to write.
    compare.compareWithFile(path);
    ASSERT_TRUE(compare.window()->isVisible());
    EXPECT_EQ(rows(), QStringList()) << rows().join(u'\n').toStdString();
    EXPECT_EQ(compare.window()->summary()->text(), QStringLiteral("Различий нет"));
    EXPECT_FALSE(compare.window()->saveButton()->isEnabled());
    compare.window()->close();

    // The user changes an edit and a list; comparing lists both, in the pages' own words and texts.
    click(QStringLiteral("Настройки соединения"));
    type("ID_Device", QStringLiteral("4321"));
    click(QStringLiteral("Настройка периферии"));
    auto* rate = control<QComboBox>("CANrate");
    const int was = rate->currentIndex();
    const int now = was == 1 ? 2 : 1;
    choose("CANrate", now);
    const QByteArray bytesBefore = recordBytes();
    const QStringList controlsBefore = controlStates();

    compare.compareWithFile(path);
    EXPECT_EQ(rows(), (QStringList{
                          QStringLiteral("Настройки соединения › ID устройства | %1 | 4321")
                              .arg(defaults.config.number(u"ID_Device").value),
                          QStringLiteral("Настройка периферии › CAN › Скорость | %1 | %2")
                              .arg(rate->itemText(was), rate->itemText(now)),
                      }));
    EXPECT_EQ(compare.window()->summary()->text(), QStringLiteral("Различий: 2"));
    EXPECT_EQ(compare.window()->table()->horizontalHeaderItem(1)->text(), QStringLiteral("В файле"));
    EXPECT_EQ(recordBytes(), bytesBefore);
    EXPECT_EQ(controlStates(), controlsBefore);

    // Enter closes the window and leaves the file as it was; so does "Нет" to the question of "Сохранить в файл".
    const QByteArray fileBefore = fcgBytes(defaults);
    QTest::keyClick(compare.window()->table(), Qt::Key_Return);
    EXPECT_FALSE(compare.window()->isVisible());
    compare.compareWithFile(path);
    EXPECT_TRUE(compare.window()->writeButton()->isHidden()); // "Записать" means the unit, not this file
    QPushButton* save = compare.window()->saveButton();
    ASSERT_TRUE(save->isVisible() && save->isEnabled());
    EXPECT_EQ(save->text(), QStringLiteral("Сохранить в файл"));
    QTest::mouseClick(save, Qt::LeftButton);
    ASSERT_NE(compare.window()->overwriteQuestion(), nullptr);
    QTest::keyClick(compare.window()->overwriteQuestion(), Qt::Key_Return); // "Нет" is the default answer
    EXPECT_TRUE(compare.window()->isVisible());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), fileBefore);
    file.close();

    // "Сохранить в файл", "Да": what the pages show goes into that file; a second comparison finds nothing.
    QTest::mouseClick(save, Qt::LeftButton);
    ASSERT_NE(compare.window()->overwriteQuestion(), nullptr);
    compare.window()->overwriteQuestion()->button(QMessageBox::Yes)->click();
    EXPECT_FALSE(compare.window()->isVisible());
    ConfigRecords saved;
    ASSERT_TRUE(openFcg(path, saved).ok());
    EXPECT_EQ(saved.config.number(u"ID_Device").value, 4321);
    compare.compareWithFile(path);
    EXPECT_EQ(rows(), QStringList());
}

TEST_F(CompareTest, AFileThatCannotBeOpenedShowsNoWindow)
{
    compare.compareWithFile(home.filePath(QStringLiteral("missing.fcg")));
    EXPECT_FALSE(compare.window()->isVisible());
    // No unit: the device comparison is refused with a message, nothing is sent.
    compare.compareWithDevice();
    EXPECT_FALSE(compare.window()->isVisible());
    EXPECT_TRUE(link.written().isEmpty());
}

TEST_F(CompareTest, TheCommandsAreInTheFileMenuAndBesideWrite_EnabledWithAUnit)
{
    auto* button = control<QToolButton>("Compare_device");
    auto* action = w.findChild<QAction*>(QStringLiteral("CompareDevice"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("Сравнить с устройством"));
    ASSERT_NE(w.findChild<QAction*>(QStringLiteral("CompareFile")), nullptr);
    EXPECT_EQ(w.findChild<QAction*>(QStringLiteral("CompareFile"))->text(), QStringLiteral("Сравнить с файлом…"));
    w.Button_Enabled(false);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(action->isEnabled());
    w.Button_Enabled(true);
    EXPECT_TRUE(button->isEnabled());
    EXPECT_TRUE(action->isEnabled());
}

// The caption table repeats every page's binding rows: a row changed on a page and not here would name a
// difference wrongly or not at all.
TEST_F(CompareTest, EveryBoundControlOfEveryPageHasItsCaptionRow)
{
    int checked = 0;
    for (EditorPage* page : w.findChildren<EditorPage*>()) {
        if (!page->binder())
            continue;
        for (const Binding& b : page->binder()->table()) {
            const auto caption = std::find_if(pageCaptions().begin(), pageCaptions().end(),
                                              [&](const CaptionRow& r) { return r.binding.control == b.control; });
            ASSERT_NE(caption, pageCaptions().end()) << std::string(b.control);
            const Binding& c = caption->binding;
            EXPECT_TRUE(c.fieldName() == b.fieldName() && c.record == b.record && c.enc == b.enc
                        && c.element == b.element && c.itemStride == b.itemStride && c.itemOffset == b.itemOffset
                        && c.bit == b.bit && c.value == b.value && c.scaleNum == b.scaleNum
                        && c.scaleDen == b.scaleDen)
                << std::string(b.control);
            // A check box or radio button is named by its own text.
            if (auto* box = qobject_cast<QAbstractButton*>(page->binder()->control(b)); box && b.enc == Enc::Check) {
                const QString own = QString::fromStdU16String(std::u16string(caption->caption));
                EXPECT_TRUE(own.endsWith(box->text())) << std::string(b.control);
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, qsizetype(pageCaptions().size()));
}
