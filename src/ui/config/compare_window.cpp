#include "ui/config/compare_window.h"

#include "core/config/fcg_file.h"
#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/config/config_pages.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace rv {

QTableWidget* newDifferenceTable(const QString& objectName, QWidget* parent)
{
    auto* table = new QTableWidget(parent);
    table->setObjectName(objectName);
    table->setColumnCount(3);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    return table;
}

void showDifferenceRows(QTableWidget* table, const QString& otherSide, const QList<RecordDifference>& list)
{
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels({QStringLiteral("Параметр"), otherSide, QStringLiteral("Будет записано")});
    table->setRowCount(int(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        table->setItem(i, 0, new QTableWidgetItem(list[i].name));
        table->setItem(i, 1, new QTableWidgetItem(list[i].before));
        table->setItem(i, 2, new QTableWidgetItem(list[i].after));
    }
    table->resizeColumnToContents(1);
    table->resizeColumnToContents(2);
}

CompareWindow::CompareWindow(QWidget* parent)
    : QDialog(parent), m_table(newDifferenceTable(QStringLiteral("Differences"), this)),
      m_summary(new QLabel(this)), m_write(new QPushButton(QStringLiteral("Записать"), this)),
      m_save(new QPushButton(QStringLiteral("Сохранить в файл"), this)),
      m_close(new QPushButton(QStringLiteral("Закрыть"), this))
{
    setObjectName(QStringLiteral("CompareWindow"));
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_write->setObjectName(QStringLiteral("CompareWrite"));
    m_save->setObjectName(QStringLiteral("CompareSave"));
    m_close->setObjectName(QStringLiteral("CompareClose"));
    // Enter closes the window: neither the unit nor the file changes on a key meant to dismiss it.
    m_write->setAutoDefault(false);
    m_save->setAutoDefault(false);
    m_close->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_write);
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(m_write, &QPushButton::clicked, this, [this] {
        accept();
        emit writeRequested();
    });
    connect(m_save, &QPushButton::clicked, this, &CompareWindow::askOverwrite);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

void CompareWindow::askOverwrite()
{
    if (m_question)
        return;
    // Asked without blocking; "Нет" (also Enter and Escape) leaves the file as it is.
    m_question = new QMessageBox(QMessageBox::Question, windowTitle(),
                                 QStringLiteral("Перезаписать файл %1 тем, что показывают страницы?").arg(m_file),
                                 QMessageBox::Yes | QMessageBox::No, this);
    m_question->setObjectName(QStringLiteral("OverwriteQuestion"));
    m_question->setAttribute(Qt::WA_DeleteOnClose);
    m_question->button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    m_question->button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    m_question->setDefaultButton(QMessageBox::No);
    m_question->setEscapeButton(QMessageBox::No);
    connect(m_question, &QMessageBox::finished, this, [this](int answer) {
        m_question = nullptr;
        if (answer != QMessageBox::Yes)
            return;
        accept();
        emit saveRequested();
    });
    m_question->open();
}

void CompareWindow::showDifferences(const QString& title, const QString& otherSide,
                                    const QList<RecordDifference>& list, Target target, const QString& file)
{
    m_list = list;
    m_file = file;
    setWindowTitle(title);
    showDifferenceRows(m_table, otherSide, list);
    m_summary->setText(list.isEmpty() ? QStringLiteral("Различий нет")
                                      : QStringLiteral("Различий: %1").arg(list.size()));
    // Only the action of what was compared: the tool bar's "Записать" means the unit, so a file is
    // saved only by a button that says so.
    m_write->setVisible(target == Target::Unit);
    m_save->setVisible(target == Target::File);
    m_write->setEnabled(!list.isEmpty());
    m_save->setEnabled(!list.isEmpty());
    m_close->setFocus();
    open();
}

CompareBinding::CompareBinding(MainWindow& window, SessionController& session, ConfigPages& pages)
    : QObject(&window), m_window(window), m_session(session), m_pages(pages), m_result(new CompareWindow(&window))
{
    installCommands();
    connect(&session, &SessionController::copyReadFinished, this, &CompareBinding::deviceCopyRead);
    // The window has listed what the write changes on the unit just read: no second question.
    connect(m_result, &CompareWindow::writeRequested, &m_window, &MainWindow::writeToUnit);
    connect(m_result, &CompareWindow::saveRequested, this, [this] {
        if (!m_file.isEmpty())
            m_window.saveConfigFile(m_file);
    });
}

void CompareBinding::installCommands()
{
    // Menu "Файл", after "Сохранить конфигурацию".
    auto* device = new QAction(QStringLiteral("Сравнить с устройством"), &m_window);
    device->setObjectName(QStringLiteral("CompareDevice"));
    auto* file = new QAction(QStringLiteral("Сравнить с файлом…"), &m_window);
    file->setObjectName(QStringLiteral("CompareFile"));
    connect(device, &QAction::triggered, this, &CompareBinding::compareWithDevice);
    connect(file, &QAction::triggered, this, &CompareBinding::chooseFile);
    if (auto* menu = m_window.findChild<QMenu*>(QStringLiteral("N1"))) {
        const QList<QAction*> items = menu->actions();
        QAction* before = nullptr;
        for (qsizetype i = 0; i + 1 < items.size(); ++i)
            if (items[i]->objectName() == QStringLiteral("N6"))
                before = items[i + 1];
        menu->insertAction(before, device);
        menu->insertAction(before, file);
    }

    // The tool button beside "Записать".
    auto* button = new QToolButton;
    button->setObjectName(QStringLiteral("Compare_device"));
    button->setText(QStringLiteral("Сравнить"));
    button->setToolTip(QStringLiteral("Сравнить с устройством: что изменит запись (Ctrl+D)"));
    button->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    button->setIcon(m_window.style()->standardIcon(QStyle::SP_FileDialogContentsView));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, &CompareBinding::compareWithDevice);
    if (auto* bar = m_window.findChild<QToolBar*>(QStringLiteral("ToolBar1"))) {
        const QList<QAction*> items = bar->actions();
        QAction* before = nullptr;
        for (qsizetype i = 0; i + 1 < items.size(); ++i)
            if (QWidget* w = bar->widgetForAction(items[i]); w && w->objectName() == QStringLiteral("Upload_device"))
                before = items[i + 1];
        bar->insertWidget(before, button);
    } else {
        button->setParent(&m_window);
    }
    // Enabled while a unit is connected: the main window enables and disables both by name with its other
    // device buttons.
    button->setEnabled(m_window.deviceButtonsEnabled());
    device->setEnabled(m_window.deviceButtonsEnabled());
}

ConfigRecords CompareBinding::gathered() const
{
    return m_pages.gathered();
}

QList<RecordDifference> CompareBinding::compareWith(const ConfigRecords& there) const
{
    const ListItems lists = [this](QStringView control) {
        QStringList items;
        if (const auto* box = m_window.findChild<QComboBox*>(control.toString()))
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
        return items;
    };
    return compareRecords(there, gathered(), lists);
}

void CompareBinding::compareWithDevice()
{
    if (!m_session.readUnitCopy()) {
        m_window.showMessage(QStringLiteral("Сравнение с устройством сейчас невозможно: устройство не подключено "
                                            "или занято другой операцией"));
        return;
    }
    m_awaitingUnit = true;
}

void CompareBinding::deviceCopyRead(bool ok)
{
    if (!std::exchange(m_awaitingUnit, false) || !ok)
        return; // a failed read has said why
    m_file.clear();
    m_result->showDifferences(QStringLiteral("Сравнение с устройством"), QStringLiteral("На устройстве"),
                              compareWith(m_session.unitCopy()), CompareWindow::Target::Unit);
}

void CompareBinding::chooseFile()
{
    if (!m_fileDialog) {
        m_fileDialog = new QFileDialog(&m_window);
        m_fileDialog->setObjectName(QStringLiteral("CompareDialog"));
        m_fileDialog->setAcceptMode(QFileDialog::AcceptOpen);
        m_fileDialog->setFileMode(QFileDialog::ExistingFile);
        m_fileDialog->setNameFilter(QStringLiteral("File configuration [*.fcg] (*.fcg)"));
        connect(m_fileDialog, &QFileDialog::fileSelected, this, &CompareBinding::compareWithFile);
    }
    m_fileDialog->open();
}

void CompareBinding::compareWithFile(const QString& path)
{
    if (path.isEmpty())
        return;
    ConfigRecords file = m_pages.records();
    const FcgOpenResult opened = openFcg(path, file);
    if (!opened.ok()) {
        m_window.showMessage(fcgOpenMessage(opened) + QStringLiteral(":\n") + path);
        return;
    }
    m_file = path;
    m_result->showDifferences(QStringLiteral("Сравнение с файлом ") + path, QStringLiteral("В файле"),
                              compareWith(file), CompareWindow::Target::File, path);
}

} // namespace rv
