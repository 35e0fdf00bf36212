// Finding a setting from the search field above the tree, and what every page shows a daily user: its
// title at one margin, each edit's range, a stored value no list item stands for, slider labels and dates
// as stored. None of it changes a record byte.

#include "core/config/setting_index.h"
#include "support/unit_bytes.h"
#include "support/wait.h"
#include "ui/app/navigation.h"
#include "ui/app/setting_search.h"
#include "ui/config/pages_fixture.h"
#include "ui/devicefiles/devicefiles_binding.h"
#include "ui/devicefiles/route_binding.h"
#include "ui/devicefiles/voice_binding.h"

#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>

using namespace rv;

namespace {

class SettingSearchTest : public rvtest::PagesTest {
protected:
    DeviceFilesBinding files{w, s};
    RouteBinding route{w, s, pages, files.transfer()};
    VoiceBinding voice{w, s, files.transfer()};
    SettingSearch* search = w.settingSearch();

    void SetUp() override
    {
        PagesTest::SetUp();
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    }
    // Typed key by key, Cyrillic too, as a keyboard delivers it.
    void type(const QString& text)
    {
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, search->field(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QListWidgetItem* resultFor(int row) const
    {
        for (int i = 0; i < search->results()->count(); ++i)
            if (search->results()->item(i)->data(Qt::UserRole) == row)
                return search->results()->item(i);
        return nullptr;
    }
};

} // namespace

// Every control of the caption table: its listed text finds it, and a click on the result brings up its
// page with the control in view, focused and marked.
TEST_F(SettingSearchTest, EveryCaptionIsFoundAndLandsOnAVisibleControl)
{
    const ConfigRecords before = records;
    QListWidget* results = search->results();
    QStringList hidden;
    for (const SettingEntry& e : settingIndex()) {
        search->field()->setText(e.text);
        QListWidgetItem* item = resultFor(e.row);
        ASSERT_NE(item, nullptr) << e.text.toStdString();
        results->scrollToItem(item);
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, results->visualItemRect(item).center());
        QWidget* page = w.pageControl()->currentWidget();
        QWidget* control = page->findChild<QWidget*>(e.control);
        ASSERT_NE(control, nullptr) << e.text.toStdString();
        EXPECT_EQ(w.tree()->currentItem()->text(0), e.node) << e.text.toStdString();
        if (control->isHidden()) { // the page's rules hide it for this item's type
            hidden << e.control;
            continue;
        }
        ASSERT_TRUE(rvtest::waitUntil([&] { return control->isVisible() && !control->visibleRegion().isEmpty(); }))
            << e.text.toStdString() << " (" << e.control.toStdString() << ")";
    }
    // Only the frequency threshold, shown for inputs of a counting type (input 1 is not one by default).
    EXPECT_EQ(hidden, QStringList{QStringLiteral("Freq_level")});
    gatherAll();
    EXPECT_EQ(records.config.bytes(), before.config.bytes());
    EXPECT_EQ(records.inpOut.bytes(), before.inpOut.bytes());
    EXPECT_EQ(records.confSe.bytes(), before.confSe.bytes());
}

TEST_F(SettingSearchTest, TypingListsMatchesAndEnterJumpsToTheControl)
{
    type(QStringLiteral("скорость"));
    QListWidget* results = search->results();
    ASSERT_TRUE(results->isVisible());
    ASSERT_GT(results->count(), 0);
    for (int i = 0; i < results->count(); ++i)
        EXPECT_TRUE(results->item(i)->text().contains(QStringLiteral(" › "))) << results->item(i)->text().toStdString();

    for (int i = 0; i < 8; ++i)
        QTest::keyClick(search->field(), Qt::Key_Backspace);
    type(QStringLiteral("ID_Dev"));
    ASSERT_EQ(results->count(), 1);
    EXPECT_EQ(results->item(0)->text(), QStringLiteral("Настройки соединения › ID устройства"));
    QTest::keyClick(search->field(), Qt::Key_Return);
    auto* id = control<QLineEdit>("ID_Device");
    EXPECT_EQ(w.currentPage(), int(nav::Connect_Set));
    EXPECT_EQ(QApplication::focusWidget(), id);
    EXPECT_NE(id->parentWidget()->findChild<QFrame*>(QStringLiteral("SettingHighlight")), nullptr);
    EXPECT_TRUE(rvtest::waitUntil([&] { return !id->parentWidget()->findChild<QFrame*>(QStringLiteral("SettingHighlight")); },
                                  SettingSearch::kHighlightMs * 20));

    // Every bound edit says its range; a unit comes from its caption.
    EXPECT_TRUE(id->toolTip().contains(QStringLiteral("Диапазон: 0…"))) << id->toolTip().toStdString();
    EXPECT_TRUE(control<QLineEdit>("USSDPERIOD")->toolTip().endsWith(QStringLiteral(" сек")));
    type(QStringLiteral("xyzzy"));
    EXPECT_EQ(results->item(0)->text(), QStringLiteral("Ничего не найдено"));
    QTest::keyClick(search->field(), Qt::Key_Escape);
    EXPECT_TRUE(search->field()->text().isEmpty());
    EXPECT_FALSE(results->isVisible());
}

TEST_F(SettingSearchTest, EveryPageHasItsTitleAtOneMargin)
{
    QList<int> margins;
    for (int i = nav::Connect_Set; i < nav::kPageCount; ++i) {
        w.showPage(i);
        QWidget* page = w.page(i);
        const QString name = page->objectName();
        auto* title = page->findChild<QLabel*>(i == nav::Inputs ? QStringLiteral("Labelinput")
                                               : i == nav::Connections ? QStringLiteral("Connection_num")
                                                                       : name + QStringLiteral("Title"));
        ASSERT_NE(title, nullptr) << name.toStdString();
        ASSERT_TRUE(rvtest::waitUntil([&] { return title->isVisible(); })) << name.toStdString();
        QCoreApplication::processEvents();
        EXPECT_FALSE(title->text().isEmpty()) << name.toStdString();
        margins << title->mapTo(page, title->contentsRect().topLeft()).x() + std::max(0, title->indent());
    }
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Voice_filesTitle"))->text(), QStringLiteral("Голосовые сообщения"));
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("FL_pageTitle"))->text(), QStringLiteral("Диагностика, память"));
    for (int m : margins)
        EXPECT_EQ(m, margins.first()) << QStringList([&] {
            QStringList t;
            for (int x : margins) t << QString::number(x);
            return t;
        }()).join(',').toStdString();

    auto* date = control<QDateEdit>("Log_date");
    date->setDate(QDate(2026, 12, 9));
    EXPECT_EQ(date->text(), QStringLiteral("09.12.2026"));
}

// A stored 0 where the list starts at 1 reads "(0)" in normal text and says it is out of the list; an input
// threshold past the slider's range and a filter length below it are labelled as stored. The records keep
// every byte.
TEST_F(SettingSearchTest, StoredValuesTheControlsCannotShowAreShownAsStored)
{
    ConfigRecords unusual;
    unusual.config.setBytes(records.config.bytes());
    unusual.inpOut.setBytes(records.inpOut.bytes());
    unusual.confSe.setBytes(records.confSe.bytes());
    QByteArray config = unusual.config.bytes();
    config[254 + 2] = char(0xD0); // input 1's upper threshold 2000 (0x07D0), past 1023
    config[254 + 3] = char(0x07);
    config[286] = 0;              // input 1's filter length 0, below 1
    config[366] = 0;              // connection 1 calls 0 times; the list starts at 1
    config[367] = 3;              // connection 2: 3, an item of the list
    unusual.config.setBytes(config);
    load(unusual);

    click(QStringLiteral("Соединение 1"));
    auto* calls = control<QComboBox>("Number_out_call");
    EXPECT_EQ(calls->currentIndex(), -1);
    EXPECT_EQ(calls->placeholderText(), QStringLiteral("(0)"));
    EXPECT_EQ(calls->toolTip(), QStringLiteral("значение вне списка"));
    EXPECT_EQ(calls->palette().color(QPalette::PlaceholderText), calls->palette().color(QPalette::ButtonText));
    click(QStringLiteral("Соединение 2"));
    EXPECT_EQ(calls->currentIndex(), 2);
    EXPECT_NE(calls->toolTip(), QStringLiteral("значение вне списка"));

    click(QStringLiteral("Вход 1"));
    EXPECT_EQ(control<QLabel>("LFilter")->text(), QStringLiteral("0"));
    EXPECT_NE(control<QLabel>("LVhigh")->text(), control<QLabel>("LVlow")->text());
    const QString high = control<QLabel>("LVhigh")->text();
    control<QSlider>("VhighBar")->setValue(control<QSlider>("VhighBar")->value()); // no change, no new label
    EXPECT_EQ(control<QLabel>("LVhigh")->text(), high);

    visitEveryNode();
    gatherAll();
    EXPECT_EQ(records.config.bytes(), unusual.config.bytes());
    EXPECT_EQ(records.inpOut.bytes(), unusual.inpOut.bytes());
    EXPECT_EQ(records.confSe.bytes(), unusual.confSe.bytes());
}
