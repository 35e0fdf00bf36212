#include "core/config/defaults.h"
#include "core/config/fcg_file.h"
#include "core/config/records.h"
#include "core/settings/app_settings.h"
#include "core/base/ini_file.h"
#include "support/pty_pair.h"
#include "ui/app/adaptation.h"
#include "ui/app/confirm_dialog.h"
#include "ui/app/main_window.h"
#include "ui/app/message_box.h"
#include "ui/app/navigation.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>

namespace rv {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    }
    void TearDown() override { qunsetenv("RVCONF_HOME"); }

    std::unique_ptr<MainWindow> start(const QByteArray& configIni = {}, ConfigRecords* on = nullptr)
    {
        if (!configIni.isNull()) {
            QFile f(iniPath());
            EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(configIni);
        }
        auto w = std::make_unique<MainWindow>(on ? *on : records);
        w->show();
        return w;
    }

    // The user's click on a node: a press and a release of the mouse on its row.
    void click(MainWindow& w, const QString& caption)
    {
        QTreeWidgetItem* item = w.node(caption);
        ASSERT_NE(item, nullptr) << caption.toStdString();
        w.tree()->scrollToItem(item);
        const QRect row = w.tree()->visualItemRect(item);
        ASSERT_FALSE(row.isEmpty()) << caption.toStdString();
        QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {}, row.center());
    }

    QString iniPath() const { return home.filePath("Config.ini"); }
    IniFile closedIni(MainWindow& w)
    {
        w.close();
        return IniFile::load(iniPath()).value_or(IniFile{});
    }

    template <class T>
    static T* control(MainWindow& w, const char* name)
    {
        return w.findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir home;
    ConfigRecords records;
};

TEST_F(MainWindowTest, FirstStart_WithoutConfigIni_UsesDefaultsAndWritesBothKeysAtClose)
{
    MainWindow w{records};
    QSignalSpy shown(&w, &MainWindow::formShown);
    QSignalSpy startup(&w.document(), &ConfigDocument::loaded);
    QSignalSpy closing(&w, &MainWindow::closing);
    w.show();
    w.hide();
    w.show();  // read once, at the first show

    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(startup.count(), 1);
    EXPECT_EQ(w.portName(), defaultPortName());
    EXPECT_EQ(w.document().fileName(), "default.fcg");
    EXPECT_EQ(w.statusText(0), "default.fcg");
    EXPECT_EQ(w.windowTitle(), "Конфигуратор RV-1, RV-2 v.2.8.8");

    const IniFile ini = closedIni(w);
    EXPECT_EQ(closing.count(), 1);
    EXPECT_EQ(ini.keys("Config"), (QStringList{"Com port", "File conf"}));
    EXPECT_EQ(ini.value("Config", "Com port"), defaultPortName());
    EXPECT_EQ(ini.value("Config", "File conf"), "default.fcg");
}

// A Config.ini that is there but cannot be read whole (here: over 1 MiB) is said once,
// the session runs on the defaults, and the file is never written over: not a byte of it changes.
TEST_F(MainWindowTest, ConfigIniNotReadWhole_IsSaidOnceAndKeptByteForByte)
{
    QByteArray big = "[Config]\nCom port=/dev/ttyACM7\nFile conf=x.fcg\nTariff server=10.0.0.1:9\n[Other]\n";
    while (big.size() <= IniFile::kMaxFileSize)
        big += "; padding of a settings file that has grown too large\n";
    auto w = start(big);
    EXPECT_EQ(w->portName(), defaultPortName());
    EXPECT_EQ(w->document().fileName(), "default.fcg");
    const auto boxes = [&] {
        QStringList texts;
        for (QMessageBox* box : w->findChildren<QMessageBox*>("MessageBox"))
            texts << box->text();
        return texts;
    };
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_TRUE(boxes().first().contains("Config.ini")) << boxes().first().toStdString();
    w->close();
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), big);
}

// The configuration Config.ini names, at start: the file over the start values; or, when it cannot be opened
// whole, the start values alone, panel 0 saying why, and "default.fcg" kept at exit.
TEST_F(MainWindowTest, StartUpConfiguration_TheNamedFileOrTheStartValuesAndWhy)
{
    ConfigRecords own, startValues;
    loadStartDefaults(startValues);
    loadStartDefaults(own);
    own.config.setNumber(u"ID_Device", 77);
    const QString conf = home.filePath("bus.fcg"), link = home.filePath("last.fcg"), fifo = home.filePath("conf.fifo");
    const QString shortFile = home.filePath("old.fcg");
    ASSERT_EQ(saveFcg(conf, own), FcgStatus::Ok);
    ASSERT_TRUE(QFile::link(conf, link));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QFile older(shortFile);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly) && older.write(fcgBytes(own).first(1063)) == 1063);
    older.close();
    rvtest::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const QString notRegular = " не является обычным файлом и не может быть открыт, загружен default.fcg";
    const struct {
        QString file;
        QString panel;
        bool loaded;
    } rows[] = {
        {"default.fcg", "default.fcg", false},
        {conf, conf, true},
        {link, link, true}, // a link to a regular file is a configuration file like the file itself
        {home.filePath("gone.fcg"), "Файл не найден, загружен default.fcg", false},
        // Opening a FIFO for reading waits for a writer: the start must not wait. There, so not "not found".
        {fifo, fifo + notRegular, false},
        {pty.slavePath(), pty.slavePath() + notRegular, false},
        {home.path(), home.path() + notRegular, false},
        {shortFile, "Не удалось открыть: размер файла 1063 байт, а у файла конфигурации 1126 байт, загружен default.fcg", false},
    };
    for (const auto& r : rows) {
        ConfigRecords fresh;
        auto w = start("[Config]\r\nCom port=/dev/ttyACM1\r\nFile conf=" + r.file.toUtf8() + "\r\n", &fresh);
        EXPECT_EQ(w->portName(), "/dev/ttyACM1");
        EXPECT_EQ(w->statusText(0), r.panel);
        EXPECT_EQ(w->document().fileName(), r.loaded ? r.file : "default.fcg");
        EXPECT_EQ(fcgBytes(fresh), fcgBytes(r.loaded ? own : startValues)) << r.file.toStdString();
        EXPECT_EQ(closedIni(*w).value("Config", "File conf"), r.loaded ? r.file : "default.fcg");
    }
}

TEST_F(MainWindowTest, ClosingWithTcpChosen_StoresTheDefaultPort)
{
    auto w = start("[Config]\nCom port=/dev/ttyUSB7\n");
    w->setPortName("TCP/IP");
    EXPECT_EQ(closedIni(*w).value("Config", "Com port"), defaultPortName());
}

TEST_F(MainWindowTest, PortFromCommandLine_IsUsedForOneRunOnly)
{
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Config]\nCom port=/dev/ttyUSB7\n");
    f.close();
    {
        MainWindow w{records};
        w.setPortOverride("/dev/pts/9");
        w.show();
        EXPECT_EQ(w.portName(), "/dev/pts/9");
        EXPECT_EQ(closedIni(w).value("Config", "Com port"), "/dev/ttyUSB7");
    }
    // A port the user chooses during the run is kept.
    MainWindow w{records};
    w.setPortOverride("/dev/pts/9");
    w.show();
    w.setPortName("/dev/ttyUSB1");
    EXPECT_EQ(closedIni(w).value("Config", "Com port"), "/dev/ttyUSB1");
}

TEST_F(MainWindowTest, EveryNode_ShowsItsPage)
{
    auto w = start();
    const struct {
        const char16_t* node;
        const char* page;
    } rows[] = {
        {u"Конфигуратор", "First"}, {u"Мониторинг", "Monitor"}, {u"Настройки соединения", "Connect_Set"},
        {u"Соединение 5", "Connections"}, {u"Дополнительно", "Connect_set2"}, {u"Параметры навигации", "GPS_Set"},
        {u"Структура пакета", "PS_page"}, {u"Вход 8", "Inputs"}, {u"Выходы", "Outs"}, {u"Охрана", "Ohrana"},
        {u"Питание", "Power"}, {u"Настройка периферии", "Dev_set"}, {u"Автоинформатор", "Autoinfo"},
        {u"Обработка событий", "TabSheet6"}, {u"Голосовые  сообщения", "Voice_files"},
        {u"Диагностика, память", "FL_page"}, {u"Спутниковый модем", "SAT_modem"}, {u"Иридиум", "SAT_modem"},
    };
    for (const auto& r : rows) {
        click(*w, QString::fromUtf16(r.node));
        EXPECT_EQ(w->pageControl()->currentWidget()->objectName(), r.page) << QString::fromUtf16(r.node).toStdString();
    }
    EXPECT_EQ(w->tree()->topLevelItemCount(), 1);
    EXPECT_EQ(w->pageControl()->count(), 17);
}

TEST_F(MainWindowTest, ConnectionNode_TitlesThePageAndLoadsThatConnection)
{
    auto w = start();
    QList<int> loaded;
    w->setLoadConnectPage([&](int c) { loaded.append(c); });
    click(*w, "Соединение 3");
    EXPECT_EQ(w->currentPage(), 10);
    EXPECT_EQ(control<QLabel>(*w, "Connection_num")->text(), "Соединение 3");
    EXPECT_EQ(w->currentConnection(), 2);
    EXPECT_EQ(loaded, QList<int>{2});
}

TEST_F(MainWindowTest, InputNodes_SetInputLabelAndTypeList)
{
    auto w = start();
    QList<int> loaded;
    w->setLoadInputPage([&](int i) { loaded.append(i); });
    auto* label = control<QLabel>(*w, "Labelinput");
    auto* type = control<QComboBox>(*w, "Inputtype");

    click(*w, "Вход 5");
    click(*w, "Входы");  // the group node is input 1
    EXPECT_EQ(label->text(), "Вход 1");
    EXPECT_EQ(w->currentInput(), 0);
    EXPECT_EQ(type->count(), 7);
    EXPECT_EQ(type->itemText(6), "Счетный (дифф.++)");

    click(*w, "Вход 8");
    EXPECT_EQ(type->itemText(3), "Контроль зажигания");

    w->TypeConnectedDevice(3);
    click(*w, "Вход 7");  // a type 3 unit has no input 7
    EXPECT_EQ(w->currentPage(), 4);
    EXPECT_EQ(label->text(), "Вход 1");
    EXPECT_EQ(w->currentInput(), 0);
    EXPECT_EQ(w->tree()->currentItem()->text(0), "Вход 1");
    EXPECT_EQ(type->count(), 6);

    click(*w, "Вход 4");
    EXPECT_EQ(label->text(), "Вход4");
    EXPECT_EQ(type->count(), 3);
    EXPECT_EQ(type->itemText(1), "Счетный++");
    EXPECT_EQ(loaded, (QList<int>{4, 0, 7, 0, 3}));
}

TEST_F(MainWindowTest, InputNode_ReenablesTheGroupsTheInputEditorDisabled)
{
    auto w = start();
    control<QWidget>(*w, "RzGroupBox23")->setEnabled(false);
    click(*w, "Вход 2");
    EXPECT_TRUE(control<QWidget>(*w, "RzGroupBox23")->isEnabled());
}

TEST_F(MainWindowTest, SecurityNode_LocksInputsWithASpecialFunction)
{
    auto w = start();
    w->setInputTypeReader([](int input) { return input == 6 ? 3 : 1; });
    auto* in6 = control<QCheckBox>(*w, "INOh6");
    auto* in7 = control<QCheckBox>(*w, "INOh7");
    in6->setChecked(true);
    in7->setChecked(true);
    click(*w, "Охрана");
    EXPECT_TRUE(in6->isEnabled());
    EXPECT_TRUE(in6->isChecked());
    EXPECT_FALSE(in7->isEnabled());
    EXPECT_TRUE(in7->isChecked()); // locked, but showing the page changes nothing

    // By default the types come from the main settings record.
    w = start();
    ASSERT_EQ(records.config.setNumber(u"InputMode", 7, 0x31), FieldError::None);
    click(*w, "Охрана");
    in6 = control<QCheckBox>(*w, "INOh6");
    EXPECT_TRUE(control<QCheckBox>(*w, "INOh7")->isEnabled());
    EXPECT_FALSE(control<QCheckBox>(*w, "INOh8")->isEnabled());

    w->setDeviceType(3);
    click(*w, "Охрана");
    EXPECT_FALSE(in6->isEnabled());
    EXPECT_FALSE(control<QCheckBox>(*w, "INOh8")->isEnabled());
    EXPECT_TRUE(control<QCheckBox>(*w, "INOh5")->isEnabled());
}

TEST_F(MainWindowTest, ConfirmationNo_ChangesNothing_ALaterYesStillErases)
{
    auto w = start();
    QSignalSpy erase(w.get(), &MainWindow::eraseTrackConfirmed);
    EXPECT_EQ(w->pendingOperation(), 0);
    w->Erase_trackClick();
    ConfirmDialog* dialog = w->confirmDialog();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->objectName(), "TForm13");
    dialog->noButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(erase.count(), 0);
    EXPECT_EQ(w->pendingOperation(), MainWindow::kConfirmEraseTrack);

    dialog->open();  // shown again without pressing the button: the erase is still awaited
    dialog->yesButton()->click();
    EXPECT_EQ(erase.count(), 1);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(MainWindowTest, DeviceButtons_StartDisabledAndFollowButtonEnabled)
{
    auto w = start();
    QSignalSpy download(w.get(), &MainWindow::downloadRequested);
    const char* buttons[] = {"Download_device", "Upload_device", "Erase_track", "Program_but", "Reset_but"};
    for (const char* name : buttons)
        EXPECT_FALSE(control<QToolButton>(*w, name)->isEnabled()) << name;
    EXPECT_TRUE(control<QToolButton>(*w, "Save_conf")->isEnabled());

    w->Button_Enabled(true);
    for (const char* name : buttons)
        EXPECT_TRUE(control<QToolButton>(*w, name)->isEnabled()) << name;
    control<QToolButton>(*w, "Download_device")->click();
    EXPECT_EQ(download.count(), 1);

    // A page built later gets the group's current state.
    auto* page = new QWidget;
    auto* read = new QPushButton("Считать", page);
    read->setObjectName("Read_log_file");
    w->setPage(14, page);
    EXPECT_TRUE(read->isEnabled());
    EXPECT_EQ(w->page(14)->objectName(), "FL_page");
    w->Button_Enabled(false);
    EXPECT_FALSE(read->isEnabled());
}

TEST_F(MainWindowTest, UnitType_AdaptsControlsAndListItems)
{
    auto w = start();
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* conditions = new QListWidget(page);
    conditions->setObjectName("ConditionList");
    for (int i = 0; i < 31; ++i)
        conditions->addItem(QString::number(i));
    auto* actions = new QComboBox(page);  // any list control works
    actions->setObjectName("ActionList");
    for (int i = 0; i < 24; ++i)
        actions->addItem(QString::number(i));
    layout->addWidget(conditions);
    layout->addWidget(actions);
    w->setPage(11, page);

    auto* in4 = control<QCheckBox>(*w, "INOh4");
    auto* in6 = control<QCheckBox>(*w, "INOh6");
    EXPECT_TRUE(in4->isEnabled() && in6->isEnabled());
    EXPECT_TRUE(adapt::isListItemEnabled(w.get(), "ConditionList", 12));

    w->TypeConnectedDevice(2);
    w->TypeConnectedDevice(3);
    EXPECT_EQ(w->deviceType(), 3);
    EXPECT_TRUE(in4->isEnabled());  // type 3 leaves inputs 4 and 5 alone
    EXPECT_FALSE(in6->isEnabled());
    EXPECT_TRUE(adapt::isListItemEnabled(w.get(), "ConditionList", 5));
    EXPECT_FALSE(adapt::isListItemEnabled(w.get(), "ConditionList", 12));
    EXPECT_FALSE(adapt::isListItemEnabled(w.get(), "ConditionList", 21));
    EXPECT_FALSE(adapt::isListItemEnabled(w.get(), "ActionList", 8));
    EXPECT_TRUE(adapt::isListItemEnabled(w.get(), "ActionList", 9));

    // The adaptation reaches a page installed after the handshake.
    auto* outs = new QWidget;
    auto* out4 = new QComboBox(outs);
    out4->setObjectName("ActivOUT4");
    w->setPage(5, outs);
    EXPECT_FALSE(out4->isEnabled());

    w->TypeConnectedDevice(4);  // changes nothing
    EXPECT_FALSE(in6->isEnabled());
    w->TypeConnectedDevice(2);
    EXPECT_TRUE(in6->isEnabled());
    EXPECT_TRUE(out4->isEnabled());
    EXPECT_TRUE(adapt::isListItemEnabled(w.get(), "ConditionList", 12));
}

TEST_F(MainWindowTest, OptionsWithoutGlonass_ForceGpsOnlyAndLockIt)
{
    auto w = start();
    auto* mode = control<QComboBox>(*w, "GLONASS_rej");
    ASSERT_NE(mode, nullptr);
    ASSERT_EQ(mode->count(), 3);
    EXPECT_TRUE(mode->isEnabled());
    mode->setCurrentIndex(0);
    w->Configurate(0xFE);
    EXPECT_EQ(mode->currentText(), "Только GPS");
    EXPECT_FALSE(mode->isEnabled());
    EXPECT_FALSE(control<QCheckBox>(*w, "Nav_2D_en")->isEnabled());
    w->Configurate(0x01);
    EXPECT_TRUE(mode->isEnabled());
    EXPECT_EQ(mode->currentIndex(), 1);
}

TEST_F(MainWindowTest, VoiceButtonsFollowTheType)
{
    auto w = start();
    auto* page = new QWidget;
    auto* clear = new QPushButton(page);
    clear->setObjectName("Clear_voice_table");
    auto* list = new QPushButton(page);
    list->setObjectName("List_voice_files");
    w->setPage(12, page);
    w->setDeviceType(4);
    w->Setting_typedevice();
    EXPECT_EQ(clear->text(), "Открыть");
    EXPECT_EQ(list->text(), "Сохранить в файл");
    w->setDeviceType(2);
    w->Setting_typedevice();
    EXPECT_EQ(clear->text(), "Очистить");
    EXPECT_EQ(list->text(), "Список имеющихся");
}

TEST_F(MainWindowTest, MenuCommands_SignalWithoutBlocking)
{
    auto w = start();
    QSignalSpy port(w.get(), &MainWindow::portDialogRequested);
    QSignalSpy defaults(&w->document(), &ConfigDocument::defaultsLoaded);
    w->setStatusText(3, "Соединение установлено");
    w->Com1Click();
    EXPECT_EQ(port.count(), 1);
    EXPECT_EQ(w->savedStatusText(), "Соединение установлено");
    EXPECT_EQ(w->statusText(3), "Настройка соединения...");

    w->saveConfigFile(home.filePath("x.fcg"));
    w->N4Click();
    EXPECT_EQ(defaults.count(), 1);
    EXPECT_EQ(w->document().fileName(), "default.fcg");
    EXPECT_EQ(w->statusText(0), "default.fcg");

    // The manual is missing from the program folder: said in a box that does not block.
    w->N9Click();
    auto* box = w->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains("UserManual_RV-2.pdf"));
}


TEST_F(MainWindowTest, Tree_KeysMoveThePageWithTheHighlight)
{
    auto w = start();
    QList<int> loaded;
    w->setLoadConnectPage([&](int c) { loaded.append(c); });
    QTreeWidget* tree = w->tree();
    tree->setFocus();
    auto node = [&] { return tree->currentItem()->text(0); };
    auto page = [&] { return w->pageControl()->currentWidget()->objectName(); };
    EXPECT_EQ(node(), "Конфигуратор");
    EXPECT_EQ(page(), "First");

    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(node(), "Мониторинг");
    EXPECT_EQ(page(), "Monitor");
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(page(), "Connect_Set");
    QTest::keyClick(tree, Qt::Key_Down);
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(node(), "Соединение 2");
    EXPECT_EQ(page(), "Connections");
    EXPECT_EQ(control<QLabel>(*w, "Connection_num")->text(), "Соединение 2");
    EXPECT_EQ(w->currentConnection(), 1);
    EXPECT_EQ(loaded, (QList<int>{0, 1})); // each connection passed is loaded once

    QTest::keyClick(tree, Qt::Key_End);
    EXPECT_EQ(node(), "Иридиум");
    EXPECT_EQ(page(), "SAT_modem");
    QTest::keyClick(tree, Qt::Key_Up);
    QTest::keyClick(tree, Qt::Key_Up);
    EXPECT_EQ(node(), "Диагностика, память");
    EXPECT_EQ(page(), "FL_page");
    QTest::keyClick(tree, Qt::Key_Home);
    EXPECT_EQ(page(), "First");

    // A click on another node loads it once; a click on the current node loads it again, as Enter does.
    loaded.clear();
    click(*w, "Соединение 4");
    EXPECT_EQ(loaded, QList<int>{3});
    click(*w, "Соединение 4");
    EXPECT_EQ(loaded, (QList<int>{3, 3}));
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(loaded, (QList<int>{3, 3, 3}));
    EXPECT_EQ(page(), "Connections");
}

TEST_F(MainWindowTest, Tree_HighlightsThePageTheProgramShows)
{
    auto w = start();
    QList<int> loaded;
    w->setLoadConnectPage([&](int c) { loaded.append(c); });
    QTreeWidget* tree = w->tree();
    auto node = [&] { return tree->currentItem()->text(0); };

    w->showPage(nav::Monitor); // as when a unit connects
    EXPECT_EQ(node(), "Мониторинг");
    EXPECT_TRUE(tree->currentItem()->isSelected());
    EXPECT_EQ(tree->selectedItems().size(), 1);

    click(*w, "Соединение 4");
    w->showPage(nav::Power);
    EXPECT_EQ(node(), "Питание");
    w->showPage(nav::Connections); // the connection being edited, without loading it again
    EXPECT_EQ(node(), "Соединение 4");
    EXPECT_EQ(loaded, QList<int>{3});

    click(*w, "Вход 6");
    w->showPage(nav::Inputs); // the input page for input 6 stays input 6
    EXPECT_EQ(node(), "Вход 6");

    // The keys go on from the node the program highlighted.
    w->showPage(nav::Monitor);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(node(), "Настройки соединения");
    EXPECT_EQ(w->currentPage(), nav::Connect_Set);
}

TEST_F(MainWindowTest, MessageBoxes_OnePerTextAtATimeWithTheProgramTitle)
{
    auto w = start();
    auto boxes = [&] { return w->findChildren<QMessageBox*>("MessageBox"); };
    for (int i = 0; i < 100; ++i)
        w->showMessage("Потеряна связь с устройством");
    ASSERT_EQ(boxes().size(), 1);
    QMessageBox* box = boxes().first();
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal); // open(), not exec(): nothing waits for it
    EXPECT_EQ(box->windowTitle(), "Конфигуратор RV-1, RV-2 v.2.8.8");
    EXPECT_EQ(box->windowTitle(), w->windowTitle());

    // Another text has its own box; the unit's "\r" line break is the same text as "\n".
    w->showMessage("Пароль принят.\rПовторите операцию");
    w->showMessage("Пароль принят.\nПовторите операцию");
    ASSERT_EQ(boxes().size(), 2);
    EXPECT_EQ(openMessageBoxes(), 2);

    // Once the user has closed the box, the text may come again.
    box->button(QMessageBox::Ok)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(boxes().size(), 1);
    EXPECT_EQ(openMessageBoxes(), 1);
    w->showMessage("Потеряна связь с устройством");
    EXPECT_EQ(boxes().size(), 2);
}

TEST_F(MainWindowTest, ResetButton_ToolTipFollowsItsCaption)
{
    auto w = start();
    auto* reset = control<QToolButton>(*w, "Reset_but");
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->text(), "Перезагрузить");
    EXPECT_EQ(reset->toolTip(), "Перезагрузить устройство");
    w->setResetCaption("Выключить");
    EXPECT_EQ(reset->text(), "Выключить");
    EXPECT_EQ(reset->toolTip(), "Выключить устройство");
    w->setResetCaption("Перезагрузить");
    EXPECT_EQ(reset->toolTip(), "Перезагрузить устройство");
}

} // namespace
} // namespace rv
