// The main window as a daily user meets it: Qt's own texts in Russian, menus reached by their mnemonics,
// named tool buttons, the status window reopened, the recent configuration files.

#include "core/config/fcg_file.h"
#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/base/ini_file.h"
#include "support/unit_bytes.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/qt_translations.h"
#include "ui/app/session_binding.h"
#include "ui/monitor/monitor_binding.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QSignalSpy>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace rv;

namespace {

// Button captions without their mnemonic marks.
QStringList buttonTexts(const QWidget* w)
{
    QStringList texts;
    for (const QAbstractButton* b : w->findChildren<QAbstractButton*>())
        texts << QString(b->text()).remove(QLatin1Char('&'));
    return texts;
}

// A key with its text, as a keyboard layout with Cyrillic letters sends it.
void typeLetter(QWidget* w, const QString& letter)
{
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, letter, Qt::NoModifier);
}

struct Window {
    QTemporaryDir home;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session{link, &records, &monitor};
    MainWindow window{records};
    SessionBinding binding{window, session, false};

    explicit Window(const QByteArray& ini = {})
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        if (!ini.isEmpty()) {
            QFile f(home.filePath(QStringLiteral("Config.ini")));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(ini);
        }
    }
    ~Window()
    {
        window.close();
        qunsetenv("RVCONF_HOME");
    }
    QMenu* menu(const char* name) const { return window.findChild<QMenu*>(QLatin1String(name)); }
};

} // namespace

TEST(Desktop, QtsOwnDialogsSpeakRussian)
{
    QTranslator* ru = installQtTranslations(*qApp);
    ASSERT_NE(ru, nullptr) << "qtbase_ru not found";

    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.show();
    EXPECT_TRUE(buttonTexts(&box).contains(QStringLiteral("Отмена"))) << buttonTexts(&box).join('|').toStdString();
    EXPECT_TRUE(buttonTexts(&box).contains(QStringLiteral("Да")));

    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    files.show();
    auto* buttons = files.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Отмена"));
    EXPECT_EQ(buttons->button(QDialogButtonBox::Save)->text().remove(QLatin1Char('&')), QStringLiteral("Сохранить"));

    QCoreApplication::removeTranslator(ru);
    delete ru;
}

TEST(Desktop, EveryMenuHasAMnemonicEveryToolButtonAName)
{
    Window w;
    w.window.show();
    const auto mnemonic = [](const QString& text) {
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
    };
    const auto expectDistinct = [&](const QList<QAction*>& actions, const QString& where) {
        QSet<QChar> seen;
        for (const QAction* a : actions) {
            if (a->isSeparator() || !a->isVisible())
                continue;
            const QChar c = mnemonic(a->text());
            EXPECT_FALSE(c.isNull()) << where.toStdString() << ": " << a->text().toStdString();
            EXPECT_FALSE(seen.contains(c)) << where.toStdString() << ": " << a->text().toStdString();
            seen.insert(c);
        }
    };
    expectDistinct(w.window.menuBar()->actions(), QStringLiteral("bar"));
    for (const QAction* top : w.window.menuBar()->actions())
        if (top->menu())
            expectDistinct(top->menu()->actions(), top->text());
    EXPECT_EQ(w.menu("N1")->title(), QStringLiteral("&Файл"));

    for (const QToolButton* b : w.window.findChild<QToolBar*>(QStringLiteral("ToolBar1"))->findChildren<QToolButton*>()) {
        if (b->objectName().startsWith(QLatin1String("qt_")))
            continue;
        EXPECT_EQ(b->accessibleName(), b->text().isEmpty() ? b->toolTip() : b->text()) << b->objectName().toStdString();
        EXPECT_FALSE(b->accessibleName().isEmpty()) << b->objectName().toStdString();
    }
    EXPECT_EQ(w.window.findChild<QToolButton*>(QStringLiteral("Save_conf"))->accessibleName(),
              QStringLiteral("Сохранить конфигурацию"));
}

TEST(Desktop, StatusInTheDiagnosticsMenuReopensTheStatusWindow)
{
    Window w;
    MonitorBinding monitor(w.window, w.session);
    w.window.show();
    QDialog* status = w.window.window(QStringLiteral("TForm11"));
    ASSERT_NE(status, nullptr);
    status->close();
    ASSERT_FALSE(status->isVisible());

    // "Диагностика" opened, then its item by the mnemonic letter.
    QMenu* diagnostics = w.menu("N10");
    ASSERT_NE(diagnostics, nullptr);
    EXPECT_EQ(diagnostics->title(), QStringLiteral("&Диагностика"));
    diagnostics->popup(w.window.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(rvtest::waitUntil([&] { return diagnostics->isVisible(); }));
    typeLetter(diagnostics, QStringLiteral("с"));
    EXPECT_TRUE(rvtest::waitUntil([&] { return status->isVisible(); }));
}

TEST(Desktop, TheLastFiveConfigurationFilesAreInTheFileMenuAndKeptInConfigIni)
{
    QTemporaryDir dir;
    QStringList files;
    QByteArray kept;
    {
        Window w("[Config]\r\nCom port=/dev/rv-none\r\nFile conf=default.fcg\r\n");
        w.window.show();
        // Six files saved, the second of them twice: the menu holds the five named last, newest first.
        for (int i = 1; i <= 6; ++i) {
            files << dir.filePath(QStringLiteral("bus%1.fcg").arg(i));
            w.window.saveConfigFile(files.last());
        }
        w.window.saveConfigFile(files[1]);
        const QStringList expected{files[1], files[5], files[4], files[3], files[2]};
        EXPECT_EQ(w.window.document().recentFiles(), expected);
        w.menu("N1")->popup(QPoint(0, 0));
        EXPECT_EQ(w.window.findChild<QAction*>(QStringLiteral("RecentFile1"))->text(),
                  QStringLiteral("&1 ") + QDir::toNativeSeparators(files[1]));
        EXPECT_EQ(w.window.findChild<QAction*>(QStringLiteral("RecentFile6")), nullptr);
        w.window.close();
        const IniFile ini = IniFile::load(w.home.filePath(QStringLiteral("Config.ini"))).value_or(IniFile{});
        EXPECT_EQ(ini.value(QStringLiteral("Recent"), QStringLiteral("File1")), files[1]);
        EXPECT_EQ(ini.value(QStringLiteral("Recent"), QStringLiteral("File5")), files[2]);

        // The next start lists them again, and choosing one opens it.
        ConfigRecords other;
        other.config.setBytes(rvtest::pattern(512, 77));
        ASSERT_EQ(saveFcg(files[3], other), FcgStatus::Ok);
        QFile f(w.home.filePath(QStringLiteral("Config.ini")));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        kept = f.readAll();
    }
    Window again(kept);
    again.window.show();
    EXPECT_EQ(again.window.document().recentFiles().size(), 5);
    QMenu* file = again.menu("N1");
    file->popup(again.window.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(rvtest::waitUntil([&] { return file->isVisible(); }));
    typeLetter(file, QStringLiteral("4")); // "&4 .../bus4.fcg"
    EXPECT_EQ(again.window.document().fileName(), files[3]);
    EXPECT_EQ(again.window.statusText(0), files[3]);
    EXPECT_EQ(again.records.config.bytes(), rvtest::pattern(512, 77));
    EXPECT_EQ(again.window.document().recentFiles().first(), files[3]);
}

TEST(Desktop, StandardShortcutsOpenTheFileDialogs)
{
    Window w;
    w.window.show();
    w.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    EXPECT_EQ(w.window.findChild<QAction*>(QStringLiteral("N6"))->shortcut(), QKeySequence(QKeySequence::Save));
    QTest::keyClick(&w.window, Qt::Key_S, Qt::ControlModifier);
    ASSERT_NE(w.window.saveDialog(), nullptr);
    EXPECT_TRUE(w.window.saveDialog()->isVisible());
    const QString saved = w.home.filePath(QStringLiteral("keys.fcg"));
    w.window.saveDialog()->selectFile(saved);
    QMetaObject::invokeMethod(w.window.saveDialog(), "accept"); // "Сохранить"
    EXPECT_EQ(QFileInfo(saved).size(), 1126);
    EXPECT_EQ(w.window.statusText(0), saved);
    w.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    QTest::keyClick(&w.window, Qt::Key_O, Qt::ControlModifier);
    ASSERT_NE(w.window.openDialog(), nullptr);
    EXPECT_TRUE(w.window.openDialog()->isVisible());
    w.window.openDialog()->reject();

    w.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    QSignalSpy closing(&w.window, &MainWindow::closing);
    QTest::keyClick(&w.window, Qt::Key_Q, Qt::ControlModifier); // "Выход"
    EXPECT_EQ(closing.count(), 1);
}
