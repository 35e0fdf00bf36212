#include "ui/app/main_window.h"

#include "core/config/records.h"
#include "core/base/input_file.h"
#include "core/settings/app_settings.h"
#include "core/base/ini_file.h"
#include "core/settings/program_folder.h"
#include "ui/app/about_window.h"
#include "ui/app/adaptation.h"
#include "ui/app/app_texts.h"
#include "ui/app/confirm_dialog.h"
#include "ui/app/keyboard.h"
#include "ui/app/message_box.h"
#include "ui/app/navigation.h"
#include "ui/app/pages.h"
#include "ui/app/setting_search.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>

#include <limits>
#include <utility>

namespace rv {

namespace {

const QString kDefaultConf = QString::fromUtf16(kDefaultConfName);

QDialog* shellWindow(const char* name, const char16_t* caption, QWidget* parent)
{
    auto* w = new QDialog(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setWindowTitle(QString::fromUtf16(caption));
    return w;
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), m_settings(std::make_unique<IniFile>())
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(appTitle());
    resize(1000, 700);

    buildMenu();
    buildToolBar();
    buildStatusBar();
    buildTree();
    buildPages();

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    auto* navigation = new QWidget(splitter);
    navigation->setObjectName(QStringLiteral("NavigationPanel"));
    auto* column = new QVBoxLayout(navigation);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    m_search = new SettingSearch(*this, navigation);
    column->addWidget(m_search);
    column->addWidget(m_tree, 1);
    splitter->addWidget(navigation);
    splitter->addWidget(m_pageControl);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 780});
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);

    createWindows();
    applyState(this);

    // An input's type is the high nibble of its mode byte in the main settings record.
    m_inputType = [](int input) {
        const FieldResult<qint64> mode = programRecords().config.number(u"InputMode", input);
        return mode ? static_cast<int>((mode.value >> 4) & 0x0F) : 0;
    };
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto action = [this](QWidget* owner, const char* name, const char16_t* caption, void (MainWindow::*slot)()) {
        auto* a = new QAction(QString::fromUtf16(caption), owner);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        owner->addAction(a);
        return a;
    };

    QMenu* file = bar->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("N1"));
    action(file, "N4", u"Загрузить конфигурацию по умолчанию", &MainWindow::N4Click);
    action(file, "N5", u"Открыть файл конфигурации", &MainWindow::N5Click)->setShortcut(QKeySequence::Open);
    action(file, "N6", u"Сохранить конфигурацию", &MainWindow::N6Click)->setShortcut(QKeySequence::Save);
    m_recentSeparator = file->addSeparator();
    m_recentSeparator->setObjectName(QStringLiteral("RecentFiles"));
    m_recentSeparator->setVisible(false);
    file->addSeparator();
    // Where the platform has no quit key (Windows closes with Alt+F4), Ctrl+Q.
    QAction* quit = action(file, "N7", u"Выход", &MainWindow::N7Click);
    quit->setShortcuts(QKeySequence::keyBindings(QKeySequence::Quit).isEmpty() ? QList{QKeySequence(Qt::CTRL | Qt::Key_Q)}
                                                                                : QKeySequence::keyBindings(QKeySequence::Quit));

    action(bar, "N2", u"Настройка соединения", &MainWindow::Com1Click);
    QMenu* diagnostics = bar->addMenu(QStringLiteral("Диагностика"));
    diagnostics->setObjectName(QStringLiteral("N10")); // the monitor adds "Графики"
    action(diagnostics, "N11", u"Диагностика", &MainWindow::N11Click);
    action(diagnostics, "N12", u"Статус", &MainWindow::N12Click);

    QMenu* help = bar->addMenu(QStringLiteral("?"));
    help->setObjectName(QStringLiteral("N3"));
    action(help, "N8", u"О программе ...", &MainWindow::N8Click);
    action(help, "N9", u"Руководство пользователя", &MainWindow::N9Click);
}

void MainWindow::buildToolBar()
{
    auto* bar = addToolBar(QStringLiteral("ToolBar1"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    auto button = [this, bar](const char* name, const char16_t* caption, QStyle::StandardPixmap icon,
                              const char16_t* tip, void (MainWindow::*slot)()) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(QString::fromUtf16(caption));
        b->setToolTip(QString::fromUtf16(tip));
        b->setIcon(style()->standardIcon(icon));
        b->setToolButtonStyle(b->text().isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, slot);
        bar->addWidget(b);
        return b;
    };
    button("New_conf", u"", QStyle::SP_FileIcon, u"Загрузить конфигурацию по умолчанию", &MainWindow::N4Click);
    button("Load_conf", u"", QStyle::SP_DialogOpenButton, u"Открыть файл конфигурации", &MainWindow::N5Click);
    button("Save_conf", u"", QStyle::SP_DialogSaveButton, u"Сохранить конфигурацию", &MainWindow::N6Click);
    bar->addSeparator();
    button("Download_device", u"Считать", QStyle::SP_ArrowDown, u"Считать конфигурацию из устройства (F5)",
           &MainWindow::Download_deviceClick)->setShortcut(Qt::Key_F5);
    button("Upload_device", u"Записать", QStyle::SP_ArrowUp, u"Записать конфигурацию в устройство (F6)",
           &MainWindow::Upload_deviceClick)->setShortcut(Qt::Key_F6);
    bar->addSeparator();
    button("Erase_track", u"Удалить трек", QStyle::SP_TrashIcon, u"Удалить трек из памяти устройства",
           &MainWindow::Erase_trackClick);
    button("Program_but", u"Обновление ПО", QStyle::SP_DriveHDIcon, u"Обновить программное обеспечение устройства",
           &MainWindow::Program_butClick);
    button("Reset_but", u"Перезагрузить", QStyle::SP_BrowserReload, u"Перезагрузить устройство",
           &MainWindow::Reset_butClick);
}

void MainWindow::buildStatusBar()
{
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(bar);
    const int stretch[kStatusPanels] = {3, 0, 0, 2};
    const int minWidth[kStatusPanels] = {200, 110, 90, 200};
    for (int i = 0; i < kStatusPanels; ++i) {
        auto* l = new QLabel(bar);
        l->setObjectName(QStringLiteral("StatusPanel") + QString::number(i));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(minWidth[i]);
        l->setAlignment(i == 1 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        bar->addPermanentWidget(l, stretch[i]);
        m_status[i] = l;
    }
}

void MainWindow::buildTree()
{
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setMinimumWidth(180);

    QList<QTreeWidgetItem*> parents;
    for (const nav::Node& n : nav::treeNodes()) {
        QTreeWidgetItem* item = n.depth == 0 ? new QTreeWidgetItem(m_tree)
                                             : new QTreeWidgetItem(parents.at(n.depth - 1));
        item->setText(0, QString::fromUtf16(n.caption));
        item->setData(0, Qt::UserRole, n.code);
        parents.resize(n.depth);
        parents.append(item);
    }
    m_tree->expandAll();
    m_tree->setCurrentItem(m_tree->topLevelItem(0));

    // The page follows the current node however it changes: a click, the arrow keys, Home/End, typing
    // the first letters of a caption, or a program that selects a node.
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current)
            TreeView1Click();
    });
    // A click on the node that is already current loads its page again, as it always did; a click on
    // another node was handled when that node became current at the press.
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const bool reclick = item == m_currentAtPress;
        m_currentAtPress = nullptr;
        if (reclick && item == m_tree->currentItem())
            TreeView1Click();
    });
    // Enter on the current node acts as a click, for the keyboard.
    connect(m_tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item == m_tree->currentItem())
            TreeView1Click();
        else
            m_tree->setCurrentItem(item);
    });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (m_tree && watched == m_tree->viewport() && event->type() == QEvent::MouseButtonPress)
        m_currentAtPress = m_tree->currentItem();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::buildPages()
{
    m_pageControl = new QStackedWidget(this);
    m_pageControl->setObjectName(QStringLiteral("PageControl1"));
    for (int i = 0; i < nav::kPageCount; ++i)
        m_pageControl->addWidget(createPage(i, m_pageControl));
    m_pageControl->setCurrentIndex(nav::First);
}

void MainWindow::createWindows()
{
    // Created in the program's fixed order. The port dialog (TForm3), the password dialog (TForm4) and
    // the progress window (TForm5) come after TForm2; the other windows are shells until their
    // subsystems fill them.
    m_about = new AboutWindow(this);
    addWindow(m_about);
    addWindow(shellWindow("TForm6", u"Просмотр", this));
    addWindow(shellWindow("TForm7", u"Обновление ПО", this));
    addWindow(shellWindow("TForm8", u"Редактирование таблицы", this));
    addWindow(shellWindow("TForm9", u"Диагностика", this));
    addWindow(shellWindow("TForm10", u"Сервер", this));
    addWindow(shellWindow("TForm11", u"Статус", this));
    m_confirm = new ConfirmDialog(this);
    connect(m_confirm, &ConfirmDialog::yesClicked, this, &MainWindow::onConfirmYes);
    addWindow(m_confirm);
    addWindow(shellWindow("TForm15", u"Получение инфрмации о тарифном плане IRIDIUM", this));
}

void MainWindow::addWindow(QDialog* window)
{
    m_windows.insert(window->objectName(), window);
}

// ---- state ----

void MainWindow::setPortName(const QString& name)
{
    m_portName = name;
    m_portOverridden = false;
}

void MainWindow::setPortOverride(const QString& name)
{
    m_portOverride = name;
    if (m_shown && !name.isEmpty()) {
        m_portName = name;
        m_portOverridden = true;
    }
}

QString MainWindow::defaultPort()
{
    if (!m_defaultPort)
        m_defaultPort = defaultPortName();
    return *m_defaultPort;
}

QString MainWindow::statusText(int panel) const
{
    return panel >= 0 && panel < kStatusPanels ? m_status[panel]->text() : QString();
}

void MainWindow::setStatusText(int panel, const QString& text)
{
    if (panel >= 0 && panel < kStatusPanels)
        m_status[panel]->setText(text);
}

void MainWindow::showMessage(const QString& text)
{
    rv::showMessage(this, text);
}

// ---- pages and navigation ----

QWidget* MainWindow::page(int index) const
{
    return m_pageControl->widget(index);
}

int MainWindow::currentPage() const
{
    return m_pageControl->currentIndex();
}

void MainWindow::setPage(int index, QWidget* newPage)
{
    if (!newPage || index < 0 || index >= m_pageControl->count())
        return;
    if (newPage->objectName().isEmpty())
        newPage->setObjectName(nav::pageNames().at(index));
    const int current = m_pageControl->currentIndex();
    QWidget* old = m_pageControl->widget(index);
    m_pageControl->insertWidget(index, newPage);
    m_pageControl->removeWidget(old);
    // Out of the window at once: until it is deleted, a search by name must find only the new page's controls.
    old->setParent(nullptr);
    old->deleteLater();
    m_pageControl->setCurrentIndex(current);
    // A title above the page's scroll area reads at the margin of the titles inside one.
    auto* title = newPage->findChild<QLabel*>(newPage->objectName() + QStringLiteral("Title"), Qt::FindDirectChildrenOnly);
    if (title && newPage->layout() && newPage->layout()->contentsMargins().left() == 0)
        title->setIndent(newPage->style()->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, newPage));
    applyState(newPage);
    emit pageInstalled(index);
}

void MainWindow::showPage(int index)
{
    if (index < 0 || index >= m_pageControl->count())
        return;
    m_pageControl->setCurrentIndex(index);
    selectNodeOf(index);
}

void MainWindow::selectNodeOf(int page)
{
    // The tree shows the page that is shown. A current node that already leads to the page stays (any
    // of the input or connection nodes for their shared page); otherwise the page's node becomes current,
    // quietly, since the page is already there: for the connection and input pages the node of the
    // connection or input being edited, for the others the first node of the page.
    auto codeOf = [](const QTreeWidgetItem* item) { return item->data(0, Qt::UserRole).toInt(); };
    if (QTreeWidgetItem* current = m_tree->currentItem(); current && nav::targetForCode(codeOf(current)).page == page)
        return;
    int wanted = -1;
    if (page == nav::Connections)
        wanted = 21 + m_currentConnection;
    else if (page == nav::Inputs)
        wanted = 41 + m_currentInput;
    QTreeWidgetItem* found = nullptr;
    for (QTreeWidgetItemIterator it(m_tree); *it && !found; ++it) {
        if (wanted >= 0 ? codeOf(*it) == wanted : nav::targetForCode(codeOf(*it)).page == page)
            found = *it;
    }
    if (!found)
        return;
    const QSignalBlocker quiet(m_tree);
    m_tree->setCurrentItem(found);
    m_tree->scrollToItem(found);
}

QTreeWidgetItem* MainWindow::node(const QString& caption) const
{
    const QList<QTreeWidgetItem*> found = m_tree->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

void MainWindow::TreeView1Click()
{
    QTreeWidgetItem* item = m_tree->currentItem();
    if (!item)
        return;
    const int code = item->data(0, Qt::UserRole).toInt();
    const nav::Target target = nav::targetForCode(code);

    if (target.connection >= 0) {
        showPage(nav::Connections);
        if (auto* title = findChild<QLabel*>(QStringLiteral("Connection_num")))
            title->setText(QStringLiteral("Соединение ") + QString::number(code - 20));
        m_currentConnection = target.connection;
        if (m_loadConnectPage)
            m_loadConnectPage(m_currentConnection);
    } else if (target.input >= 0) {
        selectInputNode(code);
    } else if (target.page >= 0) {
        showPage(target.page);
    }

    if (code == nav::Ohrana)
        applySecurityInputs();
}

void MainWindow::selectInputNode(int code)
{
    // The input editor may have disabled these for a previous input's type.
    for (const char* box : {"RzGroupBox22", "RzGroupBox23", "RzGroupBox24", "RzGroupBox25"})
        adapt::setEnabledByName(m_pageControl, QString::fromLatin1(box), true);
    showPage(nav::Inputs);

    // A type 3 unit has five inputs: inputs 6..8 fall back to input 1.
    if (m_deviceType == 3 && code > 45) {
        code = 41;
        if (QTreeWidgetItem* first = node(QStringLiteral("Вход 1"))) {
            const QSignalBlocker quiet(m_tree); // this click goes on with input 1
            m_tree->setCurrentItem(first);
        }
    }
    const int input = code - 40;
    if (auto* label = findChild<QLabel*>(QStringLiteral("Labelinput")))
        label->setText(nav::inputLabelText(m_deviceType, input));
    m_currentInput = input - 1;

    if (auto* type = findChild<QComboBox*>(QStringLiteral("Inputtype"))) {
        const QSignalBlocker block(type);
        type->clear();
        type->addItems(nav::inputTypeItems(m_deviceType, input));
    }
    if (m_loadInputPage)
        m_loadInputPage(m_currentInput);
}

void MainWindow::applySecurityInputs()
{
    for (int input = 6; input <= 8; ++input) {
        const QString name = QStringLiteral("INOh") + QString::number(input);
        if (m_deviceType == 3) {
            adapt::setEnabledByName(m_pageControl, name, false);
            continue;
        }
        // Type 3 is the input's special function (dispatcher call, arming, ignition): not guardable. The box
        // is locked but keeps what the record holds: showing the page never changes a byte (the user's choice
        // of that type on the input page is what clears it).
        const bool special = m_inputType && m_inputType(input - 1) == 3;
        for (QCheckBox* box : m_pageControl->findChildren<QCheckBox*>(name))
            box->setEnabled(!special);
    }
}

// ---- adaptation ----

void MainWindow::Button_Enabled(bool on)
{
    m_buttonsEnabled = on;
    for (const QString& name : adapt::deviceButtons())
        adapt::setEnabledByName(this, name, on);
}

void MainWindow::applyGlonass(QObject* root, quint8 options)
{
    const bool glonass = options & 0x01;
    if (!glonass) {
        for (QComboBox* mode : root->findChildren<QComboBox*>(QStringLiteral("GLONASS_rej")))
            mode->setCurrentIndex(1);  // "Только GPS"
    }
    for (const QString& name : adapt::glonassControls())
        adapt::setEnabledByName(root, name, glonass);
}

void MainWindow::Configurate(quint8 options)
{
    m_options = options;
    applyGlonass(this, options);
}

void MainWindow::TypeConnectedDevice(quint8 type)
{
    m_deviceType = type;
    if (adapt::applyType(this, type))
        m_adaptedType = type;
}

void MainWindow::Setting_typedevice()
{
    QString clearText;
    QString listText;
    if (m_deviceType == 2) {
        clearText = QStringLiteral("Очистить");
        listText = QStringLiteral("Список имеющихся");
    } else if (m_deviceType == 3 || m_deviceType == 4) {
        clearText = QStringLiteral("Открыть");
        listText = QStringLiteral("Сохранить в файл");
    } else {
        return;
    }
    for (QAbstractButton* b : findChildren<QAbstractButton*>(QStringLiteral("Clear_voice_table")))
        b->setText(clearText);
    for (QAbstractButton* b : findChildren<QAbstractButton*>(QStringLiteral("List_voice_files")))
        b->setText(listText);
}

void MainWindow::setResetCaption(const QString& caption)
{
    for (QAbstractButton* b : findChildren<QAbstractButton*>(QStringLiteral("Reset_but"))) {
        b->setText(caption);
        b->setToolTip(caption + QStringLiteral(" устройство"));
        b->setAccessibleName(caption);
    }
}

void MainWindow::applyState(QObject* root)
{
    // The state of the controls follows from the last adaptation alone, so a page built later
    // gets the same state as if it had been there all along.
    adapt::applyInitialState(root);
    if (m_adaptedType)
        adapt::applyType(root, *m_adaptedType);
    if (m_options)
        applyGlonass(root, *m_options);
    for (const QString& name : adapt::deviceButtons())
        adapt::setEnabledByName(root, name, m_buttonsEnabled);
}

// ---- menu and tool bar ----

void MainWindow::N4Click()
{
    if (askToSave(AfterSave::Defaults))
        return;
    // The values the defaults leave alone are kept as the pages show them, edits included.
    emit gatherAllRequested();
    m_configFile = kDefaultConf;
    setStatusText(0, kDefaultConf);
    emit defaultConfigRequested();
}

namespace {

const QString kFcgFilter = QStringLiteral("File configuration [*.fcg] (*.fcg)");

// A dialog that does not block: the chosen path goes to `onChosen`, a cancel changes nothing.
template <typename Slot>
QFileDialog* fileDialog(MainWindow* w, const char* name, QFileDialog::AcceptMode mode, Slot onChosen)
{
    auto* d = new QFileDialog(w);
    d->setObjectName(QLatin1String(name));
    d->setAcceptMode(mode);
    d->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    d->setNameFilter(kFcgFilter);
    if (mode == QFileDialog::AcceptSave)
        d->setDefaultSuffix(QStringLiteral("fcg"));
    QObject::connect(d, &QFileDialog::fileSelected, w, onChosen);
    return d;
}

} // namespace

void MainWindow::N5Click()
{
    if (askToSave(AfterSave::Open))
        return;
    if (!m_openDialog)
        m_openDialog = fileDialog(this, "OpenDialog1", QFileDialog::AcceptOpen, &MainWindow::openConfigFile);
    m_openDialog->selectNameFilter(kFcgFilter);
    m_openDialog->selectFile(QStringLiteral("*.fcg"));
    m_openDialog->open();
}

void MainWindow::N6Click()
{
    if (!m_saveDialog) {
        m_saveDialog = fileDialog(this, "SaveDialog1", QFileDialog::AcceptSave, &MainWindow::saveConfigFile);
        // A save given up gives up the command that waited for it.
        connect(m_saveDialog, &QDialog::rejected, this, [this] { m_afterSave = AfterSave::None; });
    }
    m_saveDialog->selectNameFilter(kFcgFilter);
    m_saveDialog->selectFile(QStringLiteral("*.fcg"));
    m_saveDialog->open();
}

void MainWindow::openConfigFile(const QString& path)
{
    if (!path.isEmpty())
        emit openConfigRequested(path);
}

void MainWindow::saveConfigFile(const QString& path)
{
    const AfterSave then = std::exchange(m_afterSave, AfterSave::None);
    if (path.isEmpty())
        return;
    m_savedNow = false;
    emit gatherAllRequested();
    emit saveConfigRequested(path);
    // The command that waited goes on only when the changes are in the file.
    if (m_savedNow)
        proceed(then);
}

void MainWindow::configurationSaved(const QString& path)
{
    m_configFile = path;
    setStatusText(0, path);
    m_savedNow = true;
    setConfigModified(false);
    emit saved(path);
}

void MainWindow::setConfigModified(bool on)
{
    if (on == m_modified)
        return;
    m_modified = on;
    // Only the mark at the end changes; whatever else the title says stays.
    QString title = windowTitle();
    if (title.endsWith(QLatin1String(" *")))
        title.chop(2);
    setWindowTitle(on ? title + QStringLiteral(" *") : title);
}

bool MainWindow::askToSave(AfterSave then)
{
    if (std::exchange(m_answered, false))
        return false;
    emit modifiedCheckRequested();
    if (!m_modified)
        return false;
    if (m_saveQuestion)
        return true; // already asked; the open question decides
    // Asked without blocking: the unit's replies and the timers go on while the question is up.
    m_saveQuestion = new QMessageBox(QMessageBox::Question, appTitle(), QStringLiteral("Сохранить изменения?"),
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
    m_saveQuestion->setObjectName(QStringLiteral("SaveChangesQuestion"));
    m_saveQuestion->setAttribute(Qt::WA_DeleteOnClose);
    m_saveQuestion->button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    m_saveQuestion->button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    m_saveQuestion->button(QMessageBox::Cancel)->setText(QStringLiteral("Отмена"));
    m_saveQuestion->setDefaultButton(QMessageBox::Yes);
    m_saveQuestion->setEscapeButton(QMessageBox::Cancel);
    connect(m_saveQuestion, &QMessageBox::finished, this, [this, then](int answer) {
        m_saveQuestion = nullptr;
        if (answer == QMessageBox::Yes) {
            // The usual save; the command goes on once the file is written.
            N6Click();
            m_afterSave = then;
        } else if (answer == QMessageBox::No) {
            proceed(then);
        }
    });
    m_saveQuestion->open();
    return true;
}

void MainWindow::proceed(AfterSave then)
{
    m_answered = true;
    switch (then) {
    case AfterSave::Defaults: N4Click(); break;
    case AfterSave::Open: N5Click(); break;
    case AfterSave::OpenRecent: openRecentFile(m_recentToOpen); break;
    case AfterSave::Exit: close(); break;
    case AfterSave::None: break;
    }
    m_answered = false;
}

void MainWindow::addRecentFile(const QString& path)
{
    m_recentFiles = withRecentFile(m_recentFiles, path);
    showRecentFiles();
}

void MainWindow::openRecentFile(const QString& path)
{
    m_recentToOpen = path;
    if (askToSave(AfterSave::OpenRecent))
        return;
    openConfigFile(std::exchange(m_recentToOpen, {}));
}

void MainWindow::showRecentFiles()
{
    auto* file = findChild<QMenu*>(QStringLiteral("N1"));
    if (!file || !m_recentSeparator)
        return;
    // Later: the list changes while one of its items is being triggered.
    for (QAction* old : std::exchange(m_recentActions, {})) {
        file->removeAction(old);
        old->setObjectName(QString());
        old->deleteLater();
    }
    const QList<QAction*> items = file->actions();
    const qsizetype at = items.indexOf(m_recentSeparator);
    QAction* before = at >= 0 && at + 1 < items.size() ? items[at + 1] : nullptr;
    for (qsizetype i = 0; i < m_recentFiles.size(); ++i) {
        const QString path = m_recentFiles[i];
        QString shown = QDir::toNativeSeparators(path);
        shown.replace(QLatin1Char('&'), QLatin1String("&&"));
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), file);
        a->setObjectName(QStringLiteral("RecentFile%1").arg(i + 1));
        a->setData(path);
        connect(a, &QAction::triggered, this, [this, path] { openRecentFile(path); });
        file->insertAction(before, a);
        m_recentActions << a;
    }
    m_recentSeparator->setVisible(!m_recentFiles.isEmpty());
}

void MainWindow::showConfiguration(const QString& name, const QString& panelText)
{
    m_configFile = name;
    setStatusText(0, panelText.isEmpty() ? name : panelText);
    emit configurationLoaded();
}

void MainWindow::N7Click()
{
    close();
}

void MainWindow::Com1Click()
{
    m_savedStatus = statusText(3);
    setStatusText(3, QStringLiteral("Настройка соединения..."));
    emit portDialogRequested();
}

void MainWindow::N11Click()
{
    if (QDialog* log = window(QStringLiteral("TForm9"))) {
        log->setWindowTitle(QStringLiteral("Диагностика"));
        log->show();
        log->raise();
    }
    emit diagnosticsRequested();
}

void MainWindow::N12Click()
{
    if (QDialog* status = window(QStringLiteral("TForm11"))) {
        status->show();
        status->raise();
        status->activateWindow();
    }
}

void MainWindow::N8Click()
{
    m_about->open();
}

void MainWindow::N9Click()
{
    const QString manual = programFile(QStringLiteral("UserManual_RV-2.pdf"));
    if (!QFileInfo::exists(manual)) {
        showMessage(QStringLiteral("Не найден файл руководства пользователя:\n") + manual);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(manual)))
        showMessage(QStringLiteral("Не удалось открыть файл:\n") + manual);
}

void MainWindow::Download_deviceClick()
{
    emit downloadRequested();
}

void MainWindow::Upload_deviceClick()
{
    if (m_writeGuard && m_writeGuard())
        return;
    writeToUnit();
}

void MainWindow::writeToUnit()
{
    emit uploadRequested();
}

void MainWindow::Erase_trackClick()
{
    m_pendingOperation = kConfirmEraseTrack;
    m_confirm->open();
}

void MainWindow::onConfirmYes()
{
    // The awaited operation is never cleared, so a later "Да" still erases.
    if (m_pendingOperation == kConfirmEraseTrack)
        emit eraseTrackConfirmed();
}

void MainWindow::Program_butClick()
{
    if (QDialog* firmware = window(QStringLiteral("TForm7")))
        firmware->open();
    emit firmwareRequested();
}

void MainWindow::Reset_butClick()
{
    emit resetRequested();
}

// ---- start and close ----

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // "Выход" and the title bar's close button ask about unsaved changes first.
    if (!m_closed && isVisible() && askToSave(AfterSave::Exit)) {
        event->ignore();
        return;
    }
    if (!m_closed && !storeSettingsAtExit()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void MainWindow::FormShow()
{
    if (m_shown)
        return;
    m_shown = true;
    // Every menu and tool button is in place now, those of the other windows' bindings included.
    assignMnemonics(menuBar());
    nameToolButtons(findChild<QToolBar*>(QStringLiteral("ToolBar1")));

    QString keptBecause;
    const AppSettings settings = readAppSettings(programFile(QString::fromUtf16(kSettingsFileName)),
                                                 [this] { return defaultPort(); }, &keptBecause);
    m_iniPort = settings.comPort;
    m_portOverridden = !m_portOverride.isEmpty();
    m_portName = m_portOverridden ? m_portOverride : settings.comPort;
    m_configFile = settings.fileConf;
    m_settingsKept = !keptBecause.isEmpty();
    m_recentFiles = settings.recentFiles;
    showRecentFiles();
    if (!m_settingsKept)
        *m_settings = IniFile::load(programFile(QString::fromUtf16(kSettingsFileName))).value_or(IniFile{});

    emit formShown();
    if (m_settingsKept)
        showMessage(keptBecause);

    QFile probe;
    if (m_configFile == kDefaultConf) {
        setStatusText(0, kDefaultConf);
    } else if (const InputFileError e = openInputFile(probe, m_configFile, std::numeric_limits<qint64>::max());
               e != InputFileError::None) {
        // Only a regular file is a configuration file; a FIFO or a terminal named here must not hang
        // the start. One that is there is named for what it is, not called missing.
        setStatusText(0, e == InputFileError::Missing
                             ? QStringLiteral("Файл не найден, загружен default.fcg")
                             : inputFileMessage(m_configFile, e, 0) + QStringLiteral(", загружен default.fcg"));
        m_configFile = kDefaultConf;
    } else {
        setStatusText(0, m_configFile);
    }
    emit startupConfigRequested(m_configFile);
}

void MainWindow::addSettingsWriter(QObject* owner, std::function<void(IniFile&)> write)
{
    m_settingsWriters.emplace_back(owner, std::move(write));
}

void MainWindow::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    emit closing();
}

bool MainWindow::storeSettingsAtExit()
{
    // Settings that were never read, or not read whole, are not written over.
    if (!m_shown || m_settingsKept)
        return true;
    const AppSettings settings{m_portOverridden ? m_iniPort : m_portName, m_configFile, m_recentFiles};
    QString error;
    const auto writers = [this](IniFile& ini) {
        for (const auto& [owner, write] : m_settingsWriters)
            if (owner)
                write(ini);
    };
    OutputFileResult saved;
    if (writeAppSettings(programFile(QString::fromUtf16(kSettingsFileName)), settings,
                         [this] { return defaultPort(); }, &error, &saved, writers))
        return true;
    if (saved.ok()) {
        qWarning("Config.ini not written: %s", qPrintable(error)); // a value that cannot be stored as it is
        return true;
    }
    if (m_settingsFailureShown)
        return true; // said once; the user closes without them
    m_settingsFailureShown = true;
    showMessage(outputFileMessage(saved)
                + QStringLiteral("\rНастройки программы (порт, последний файл, список недавних файлов, сервер) не "
                                 "сохранены, файл остался прежним.\rОсвободите место и закройте программу снова, "
                                 "или закройте её ещё раз без сохранения настроек."));
    return false;
}

} // namespace rv
