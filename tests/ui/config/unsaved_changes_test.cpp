// Unsaved changes as the user meets them: only their own edits put "*" in the title, a save clears it, and
// "Открыть", "Загрузить конфигурацию по умолчанию" and "Выход" ask "Сохранить изменения?" first.

#include "core/config/defaults.h"
#include "core/config/fcg_file.h"
#include "ui/config/pages_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

using namespace rv;

namespace {

class UnsavedChanges : public rvtest::PagesTest {
protected:
    static void settle() { QCoreApplication::processEvents(); }
    // The user answers the question with the button of that caption.
    void answer(const char* caption)
    {
        QMessageBox* q = w.saveChangesQuestion();
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(q->text(), QStringLiteral("Сохранить изменения?"));
        QPushButton* button = nullptr;
        for (QAbstractButton* b : q->buttons())
            if (b->text() == QString::fromUtf8(caption))
                button = qobject_cast<QPushButton*>(b);
        ASSERT_NE(button, nullptr) << caption;
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
    }
    // The user types a file name into the save dialog and presses Enter.
    void saveAs(const QString& name)
    {
        QFileDialog* d = w.saveDialog();
        ASSERT_TRUE(d && d->isVisible());
        d->setDirectory(home.path());
        auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        QTest::keyClicks(edit, name);
        QTest::keyClick(edit, Qt::Key_Return);
        settle();
    }
};

} // namespace

TEST_F(UnsavedChanges, OnlyTheUsersEditsMarkIt_OpenAsksAndYesSavesFirst)
{
    w.N4Click();
    settle();
    const QString title = w.windowTitle();
    EXPECT_FALSE(w.document().isModified());

    // Visiting every page with the arrow keys and opening a file are no edits.
    w.tree()->setFocus();
    for (int i = 0; i < 60; ++i)
        QTest::keyClick(w.tree(), Qt::Key_Down);
    ConfigRecords other;
    loadDefaults(other);
    other.config.setNumber(u"ID_Device", 555);
    const QString otherPath = home.filePath(QStringLiteral("other.fcg"));
    ASSERT_EQ(saveFcg(otherPath, other), FcgStatus::Ok);
    w.openConfigFile(otherPath);
    settle();
    EXPECT_FALSE(w.document().isModified());
    EXPECT_EQ(w.windowTitle(), title);

    // An edit marks it.
    click(QStringLiteral("Настройки соединения"));
    type("ID_Device", QStringLiteral("4321"));
    settle();
    EXPECT_TRUE(w.document().isModified());
    EXPECT_EQ(w.windowTitle(), title + QStringLiteral(" *"));

    // "Открыть", "Отмена": no open dialog, nothing changes.
    w.N5Click();
    answer("Отмена");
    EXPECT_TRUE(w.openDialog() == nullptr || !w.openDialog()->isVisible());
    EXPECT_TRUE(w.document().isModified());

    // "Открыть", "Да": the usual save dialog; once the file is written the open dialog comes.
    w.N5Click();
    answer("Да");
    saveAs(QStringLiteral("mine.fcg"));
    const QString mine = home.filePath(QStringLiteral("mine.fcg"));
    ConfigRecords saved;
    ASSERT_TRUE(openFcg(mine, saved).ok());
    EXPECT_EQ(saved.config.number(u"ID_Device").value, 4321);
    EXPECT_FALSE(w.document().isModified());
    EXPECT_EQ(w.windowTitle(), title);
    EXPECT_EQ(w.document().fileName(), mine);
    ASSERT_NE(w.openDialog(), nullptr);
    EXPECT_TRUE(w.openDialog()->isVisible());
    w.openDialog()->reject();
}

TEST_F(UnsavedChanges, DefaultsAndExitAsk_NoGoesOnWithoutSaving_CancelStays)
{
    w.show();
    w.N4Click();
    click(QStringLiteral("Настройки соединения"));
    type("ID_Device", QStringLiteral("4321"));
    settle();
    ASSERT_TRUE(w.document().isModified());

    // "Загрузить конфигурацию по умолчанию", "Нет": the defaults, unmarked.
    w.N4Click();
    answer("Нет");
    EXPECT_EQ(control<QLineEdit>("ID_Device")->text(), QString::number(records.config.number(u"ID_Device").value));
    EXPECT_NE(control<QLineEdit>("ID_Device")->text(), QStringLiteral("4321"));
    EXPECT_FALSE(w.document().isModified());

    // "Выход": "Отмена" keeps the window, "Нет" closes it without a file.
    type("ID_Device", QStringLiteral("4321"));
    settle();
    w.N7Click();
    answer("Отмена");
    EXPECT_TRUE(w.isVisible());
    w.N7Click();
    answer("Нет");
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(QDir(home.path()).entryList({QStringLiteral("*.fcg")}), QStringList());
}

TEST_F(UnsavedChanges, ARecentFileAsksToo_NoOpensIt)
{
    w.show();
    w.N4Click();
    ConfigRecords other;
    loadDefaults(other);
    other.config.setNumber(u"ID_Device", 555);
    const QString otherPath = home.filePath(QStringLiteral("recent.fcg"));
    ASSERT_EQ(saveFcg(otherPath, other), FcgStatus::Ok);
    w.document().setRecentFiles({otherPath});
    click(QStringLiteral("Настройки соединения"));
    type("ID_Device", QStringLiteral("4321"));
    settle();
    ASSERT_TRUE(w.document().isModified());

    auto* recent = w.findChild<QAction*>(QStringLiteral("RecentFile1"));
    ASSERT_NE(recent, nullptr);
    recent->trigger();
    answer("Отмена");
    EXPECT_EQ(control<QLineEdit>("ID_Device")->text(), QStringLiteral("4321"));
    recent->trigger();
    answer("Нет");
    EXPECT_EQ(w.document().fileName(), otherPath);
    EXPECT_EQ(control<QLineEdit>("ID_Device")->text(), QStringLiteral("555"));
    EXPECT_FALSE(w.document().isModified());
}
