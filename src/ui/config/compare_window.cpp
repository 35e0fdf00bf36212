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
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace rv {

CompareWindow::CompareWindow(QWidget* parent)
    : QDialog(parent), m_table(new QTableWidget(this)), m_summary(new QLabel(this)),
      m_write(new QPushButton(QStringLiteral("Записать"), this))
{
    setObjectName(QStringLiteral("CompareWindow"));
    m_table->setObjectName(QStringLiteral("Differences"));
    m_table->setColumnCount(3);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_write->setObjectName(QStringLiteral("CompareWrite"));
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("CompareClose"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_write);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(m_write, &QPushButton::clicked, this, [this] {
        accept();
        emit writeRequested();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CompareWindow::showDifferences(const QString& title, const QString& otherSide,
                                    const QList<RecordDifference>& list)
{
    m_list = list;
    setWindowTitle(title);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Параметр"), otherSide, QStringLiteral("Будет записано")});
    m_table->setRowCount(int(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        m_table->setItem(i, 0, new QTableWidgetItem(list[i].name));
        m_table->setItem(i, 1, new QTableWidgetItem(list[i].before));
        m_table->setItem(i, 2, new QTableWidgetItem(list[i].after));
    }
    m_table->resizeColumnToContents(1);
    m_table->resizeColumnToContents(2);
    m_summary->setText(list.isEmpty() ? QStringLiteral("Различий нет")
                                      : QStringLiteral("Различий: %1").arg(list.size()));
    m_write->setEnabled(!list.isEmpty());
    open();
}

CompareBinding::CompareBinding(MainWindow& window, SessionController& session, ConfigPages& pages)
    : QObject(&window), m_window(window), m_session(session), m_pages(pages), m_result(new CompareWindow(&window))
{
    installCommands();
    connect(&session, &SessionController::copyReadFinished, this, &CompareBinding::deviceCopyRead);
    connect(m_result, &CompareWindow::writeRequested, this, [this] {
        if (m_file.isEmpty())
            m_window.Upload_deviceClick();
        else
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
    ConfigRecords copy = m_pages.records();
    // The gathering only reads the controls; a value they refuse keeps the record's, as a write would.
    const QSignalBlocker quiet(&m_pages);
    for (RecordKind kind : {RecordKind::Config, RecordKind::InpOut, RecordKind::ConfSe})
        m_pages.gatherRecord(copy, kind);
    return copy;
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
                              compareWith(m_session.unitCopy()));
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
    // A file that ends early leaves the rest as the program holds it, as opening it would.
    ConfigRecords file = m_pages.records();
    const FcgOpenResult opened = openFcg(path, file);
    if (!opened.ok()) {
        m_window.showMessage(fcgStatusMessage(opened.status) + QStringLiteral(":\n") + path);
        return;
    }
    m_file = path;
    m_result->showDifferences(QStringLiteral("Сравнение с файлом ") + path, QStringLiteral("В файле"),
                              compareWith(file));
}

} // namespace rv
