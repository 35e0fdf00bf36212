#include "ui/app/file_commands.h"

#include "core/config/config_document.h"
#include "core/settings/app_settings.h"
#include "ui/app/app_texts.h"
#include "ui/app/main_window.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace rv {

namespace {

const QString kFcgFilter = QStringLiteral("File configuration [*.fcg] (*.fcg)");

// A dialog that does not block: the chosen path goes to `onChosen`, a cancel changes nothing.
template <typename Slot>
QFileDialog* fileDialog(MainWindow& w, FileCommands* commands, const char* name, QFileDialog::AcceptMode mode,
                        Slot onChosen)
{
    auto* d = new QFileDialog(&w);
    d->setObjectName(QLatin1String(name));
    d->setAcceptMode(mode);
    d->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    d->setNameFilter(kFcgFilter);
    if (mode == QFileDialog::AcceptSave)
        d->setDefaultSuffix(QStringLiteral("fcg"));
    QObject::connect(d, &QFileDialog::fileSelected, commands, onChosen);
    return d;
}

} // namespace

FileCommands::FileCommands(MainWindow& window, ConfigDocument& document, QAction* recentSeparator)
    : QObject(&window), m_window(window), m_document(document), m_recentSeparator(recentSeparator)
{
    connect(&document, &ConfigDocument::recentFilesChanged, this, &FileCommands::showRecentFiles);
    connect(&document, &ConfigDocument::modifiedChanged, this, &FileCommands::showModified);
}

void FileCommands::loadStartup(const QString& name)
{
    const StartupLoad r = m_document.loadStartup(name);
    const QString loaded = QStringLiteral(", загружен default.fcg");
    QString text = m_document.fileName();
    if (r.fcg.status == FcgStatus::WrongSize)
        text = fcgOpenMessage(r.fcg) + loaded;
    else if (r.file == InputFileError::Missing)
        text = QStringLiteral("Файл не найден") + loaded;
    else if (r.file != InputFileError::None)
        text = inputFileMessage(name, r.file, 0) + loaded;
    else if (!r.ok())
        text = fcgStatusMessage(r.fcg.status) + loaded;
    m_window.setStatusText(0, text);
}

void FileCommands::loadDefaults()
{
    if (askToSave(AfterSave::Defaults))
        return;
    // The values the defaults leave alone are kept as the pages show them, edits included.
    m_document.loadDefaults();
    m_window.setStatusText(0, m_document.fileName());
}

void FileCommands::chooseFileToOpen()
{
    if (askToSave(AfterSave::Open))
        return;
    if (!m_openDialog)
        m_openDialog = fileDialog(m_window, this, "OpenDialog1", QFileDialog::AcceptOpen, &FileCommands::open);
    m_openDialog->selectNameFilter(kFcgFilter);
    m_openDialog->selectFile(QStringLiteral("*.fcg"));
    m_openDialog->open();
}

void FileCommands::chooseFileToSave()
{
    if (!m_saveDialog) {
        m_saveDialog = fileDialog(m_window, this, "SaveDialog1", QFileDialog::AcceptSave, &FileCommands::save);
        // A save given up gives up the command that waited for it.
        connect(m_saveDialog, &QDialog::rejected, this, [this] { m_afterSave = AfterSave::None; });
    }
    m_saveDialog->selectNameFilter(kFcgFilter);
    m_saveDialog->selectFile(QStringLiteral("*.fcg"));
    m_saveDialog->open();
}

void FileCommands::open(const QString& path)
{
    if (path.isEmpty())
        return;
    const FcgOpenResult r = m_document.open(path);
    if (r.status == FcgStatus::WrongSize) {
        // Not a configuration: said with its size; the records, the pages and the file name stay.
        m_window.showMessage(fcgOpenMessage(r) + QStringLiteral(":\n") + path);
        return;
    }
    m_window.setStatusText(0, r.ok() ? path : fcgStatusMessage(r.status));
}

void FileCommands::save(const QString& path)
{
    const AfterSave then = std::exchange(m_afterSave, AfterSave::None);
    if (path.isEmpty())
        return;
    const OutputFileResult r = m_document.save(path);
    if (!r.ok()) {
        // "Не удалось сохранить", with the file and the reason; the old file is as it was.
        m_window.setStatusText(0, outputFileMessage(r));
        return;
    }
    m_window.setStatusText(0, path);
    // The command that waited goes on only when the changes are in the file.
    proceed(then);
}

bool FileCommands::exitMustWait()
{
    return askToSave(AfterSave::Exit);
}

void FileCommands::showModified(bool modified)
{
    // Only the mark at the end changes; whatever else the title says stays.
    QString title = m_window.windowTitle();
    if (title.endsWith(QLatin1String(" *")))
        title.chop(2);
    m_window.setWindowTitle(modified ? title + QStringLiteral(" *") : title);
}

bool FileCommands::askToSave(AfterSave then)
{
    if (std::exchange(m_answered, false))
        return false;
    if (!m_document.unsavedChanges())
        return false;
    if (m_saveQuestion)
        return true; // already asked; the open question decides
    // Asked without blocking: the unit's replies and the timers go on while the question is up.
    m_saveQuestion = new QMessageBox(QMessageBox::Question, appTitle(), QStringLiteral("Сохранить изменения?"),
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, &m_window);
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
            chooseFileToSave();
            m_afterSave = then;
        } else if (answer == QMessageBox::No) {
            proceed(then);
        }
    });
    m_saveQuestion->open();
    return true;
}

void FileCommands::proceed(AfterSave then)
{
    m_answered = true;
    switch (then) {
    case AfterSave::Defaults: loadDefaults(); break;
    case AfterSave::Open: chooseFileToOpen(); break;
    case AfterSave::OpenRecent: openRecentFile(m_recentToOpen); break;
    case AfterSave::Exit: m_window.close(); break;
    case AfterSave::None: break;
    }
    m_answered = false;
}

void FileCommands::openRecentFile(const QString& path)
{
    m_recentToOpen = path;
    if (askToSave(AfterSave::OpenRecent))
        return;
    open(std::exchange(m_recentToOpen, {}));
}

void FileCommands::showRecentFiles()
{
    auto* file = m_window.findChild<QMenu*>(QStringLiteral("N1"));
    if (!file || !m_recentSeparator)
        return;
    // Later: the list changes while one of its items is being triggered.
    for (QAction* old : std::exchange(m_recentActions, {})) {
        file->removeAction(old);
        old->setObjectName(QString());
        old->deleteLater();
    }
    const QStringList& recent = m_document.recentFiles();
    const QList<QAction*> items = file->actions();
    const qsizetype at = items.indexOf(m_recentSeparator);
    QAction* before = at >= 0 && at + 1 < items.size() ? items[at + 1] : nullptr;
    for (qsizetype i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        QString shown = QDir::toNativeSeparators(path);
        shown.replace(QLatin1Char('&'), QLatin1String("&&"));
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), file);
        a->setObjectName(QStringLiteral("RecentFile%1").arg(i + 1));
        a->setData(path);
        connect(a, &QAction::triggered, this, [this, path] { openRecentFile(path); });
        file->insertAction(before, a);
        m_recentActions << a;
    }
    m_recentSeparator->setVisible(!recent.isEmpty());
}

} // namespace rv
