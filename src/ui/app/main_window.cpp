#include "ui/app/main_window.h"

#include "core/settings/program_folder.h"
#include "ui/app/about_window.h"
#include "ui/app/app_texts.h"
#include "ui/app/confirm_dialog.h"
#include "ui/app/file_commands.h"
#include "ui/app/keyboard.h"
#include "ui/app/message_box.h"
#include "ui/app/navigation.h"
#include "ui/app/pages.h"
#include "ui/app/setting_search.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace rv {

namespace {

QDialog* shellWindow(const char* name, const char16_t* caption, QWidget* parent)
{
    auto* w = new QDialog(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setWindowTitle(QString::fromUtf16(caption));
    return w;
}

} // namespace

MainWindow::MainWindow(ConfigRecords& records, QWidget* parent) : QMainWindow(parent), m_document(records)
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(appTitle());
    resize(1000, 700);

    buildMenu();
    buildToolBar();
    buildStatusBar();
    // The tree comes before the pages in the window (and in the tab order).
    m_pageControl = new QStackedWidget;
    m_tree = new NavigationTree(*m_pageControl, [this] { return UnitProfile(m_deviceType); }, this);
    m_pageControl->setParent(this);
    m_pageControl->setObjectName(QStringLiteral("PageControl1"));
    for (int i = 0; i < nav::kPageCount; ++i)
        m_pageControl->addWidget(createPage(i, m_pageControl));
    m_pageControl->setCurrentIndex(nav::First);

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
    m_unitControls.apply(this);

    // An input's type is the high nibble of its mode byte in the main settings record.
    setInputTypeReader([this](int input) {
        const FieldResult<qint64> mode = m_document.records().config.number(u"InputMode", input);
        return mode ? static_cast<int>((mode.value >> 4) & 0x0F) : 0;
    });
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
    QAction* recent = file->addSeparator();
    recent->setObjectName(QStringLiteral("RecentFiles"));
    recent->setVisible(false);
    m_files = new FileCommands(*this, m_document, recent);
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

void MainWindow::addWindow(QDialog* window) { m_windows.insert(window->objectName(), window); }

QString MainWindow::statusText(int panel) const
{
    return panel >= 0 && panel < kStatusPanels ? m_status[panel]->text() : QString();
}

void MainWindow::setStatusText(int panel, const QString& text)
{
    if (panel >= 0 && panel < kStatusPanels)
        m_status[panel]->setText(text);
}

void MainWindow::showMessage(const QString& text) { rv::showMessage(this, text); }

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
    m_unitControls.apply(newPage);
    emit pageInstalled(index);
}

void MainWindow::showPage(int index) { m_tree->showPage(index); }
void MainWindow::TreeView1Click() { m_tree->openCurrentNode(); }

// ---- adaptation ----

void MainWindow::Button_Enabled(bool on) { m_unitControls.enableButtons(this, on); }
void MainWindow::Configurate(quint8 options) { m_unitControls.adaptToOptions(this, options); }

void MainWindow::TypeConnectedDevice(quint8 type)
{
    m_deviceType = type;
    m_unitControls.adaptToType(this, type);
}

void MainWindow::Setting_typedevice() { UnitControls::showVoiceCaptions(this, m_deviceType); }
void MainWindow::setResetCaption(const QString& caption) { UnitControls::showResetCaption(this, caption); }

// ---- menu and tool bar ----

QFileDialog* MainWindow::openDialog() const { return m_files->openDialog(); }
QFileDialog* MainWindow::saveDialog() const { return m_files->saveDialog(); }
QMessageBox* MainWindow::saveChangesQuestion() const { return m_files->saveChangesQuestion(); }
void MainWindow::N4Click() { m_files->loadDefaults(); }
void MainWindow::N5Click() { m_files->chooseFileToOpen(); }
void MainWindow::N6Click() { m_files->chooseFileToSave(); }
void MainWindow::openConfigFile(const QString& path) { m_files->open(path); }
void MainWindow::saveConfigFile(const QString& path) { m_files->save(path); }
void MainWindow::N7Click() { close(); }

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

void MainWindow::N8Click() { m_about->open(); }

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

void MainWindow::Download_deviceClick() { emit downloadRequested(); }

void MainWindow::Upload_deviceClick()
{
    if (m_writeGuard && m_writeGuard())
        return;
    writeToUnit();
}

void MainWindow::writeToUnit() { emit uploadRequested(); }

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

void MainWindow::Reset_butClick() { emit resetRequested(); }

// ---- start and close ----

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // "Выход" and the title bar's close button ask about unsaved changes first.
    if (!m_closed && isVisible() && m_files->exitMustWait()) {
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
    const AppSettings settings = m_programSettings.read(&keptBecause);
    m_document.setRecentFiles(settings.recentFiles);
    emit formShown();
    if (!keptBecause.isEmpty())
        showMessage(keptBecause);
    m_files->loadStartup(settings.fileConf);
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
    const OutputFileResult saved = m_programSettings.store(m_document.fileName(), m_document.recentFiles());
    // Said once; a second close goes without them.
    if (saved.ok() || std::exchange(m_settingsFailureShown, true))
        return true;
    showMessage(outputFileMessage(saved)
                + QStringLiteral("\rНастройки программы (порт, последний файл, список недавних файлов, сервер) не "
                                 "сохранены, файл остался прежним.\rОсвободите место и закройте программу снова, "
                                 "или закройте её ещё раз без сохранения настроек."));
    return false;
}

} // namespace rv
