#include "ui/protocol/port_dialog.h"

#include "ui_port_dialog.h"

#include <QHeaderView>
#include <QLayout>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>

namespace rv {

namespace {

constexpr int kPollMs = 1000;
const QString kTcp = QStringLiteral("TCP/IP");

} // namespace

PortDialog::Ports PortDialog::systemPorts()
{
    return {[] { return listPorts(); }, [] { return portListToken(); }};
}

PortDialog::PortDialog(Ports ports, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::PortDialog>()), m_source(std::move(ports)), m_poll(new QTimer(this))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TForm3"));
    setModal(true);

    // The drop-down shows each port with its adapter and state; its text is the port's name alone.
    auto* model = new QStandardItemModel(0, 3, this);
    auto* view = new QTreeView(ui->ComSelectBox);
    view->setObjectName(QStringLiteral("PortList"));
    view->setRootIsDecorated(false);
    view->setHeaderHidden(true);
    view->setAllColumnsShowFocus(true);
    view->setUniformRowHeights(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->ComSelectBox->setModel(model);
    ui->ComSelectBox->setView(view);
    ui->ComSelectBox->setModelColumn(0);
    ui->PortHint->setVisible(false);

    m_poll->setObjectName(QStringLiteral("PortPoll"));
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &PortDialog::refreshIfChanged);
    connect(ui->ComSelectBox, &QComboBox::currentTextChanged, this, &PortDialog::ComSelectBoxChange);
    connect(ui->But_OK, &QPushButton::clicked, this, &PortDialog::But_OKClick);
    connect(ui->But_Cancel, &QPushButton::clicked, this, &PortDialog::But_CancelClick);
}

PortDialog::~PortDialog() = default;

void PortDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormActivate();
    if (m_source.token)
        m_poll->start();
}

void PortDialog::hideEvent(QHideEvent* event)
{
    m_poll->stop(); // nothing is polled while the dialog is closed
    QDialog::hideEvent(event);
}

void PortDialog::FormActivate()
{
    if (m_source.token)
        m_token = m_source.token();
    m_ports = m_source.list ? m_source.list() : QList<PortInfo>{};
    fill(m_currentPort);
}

void PortDialog::refreshIfChanged()
{
    if (!m_source.token)
        return;
    const QString token = m_source.token();
    if (token == m_token)
        return;
    m_token = token;
    QStringList before;
    for (const PortInfo& p : std::as_const(m_ports))
        before << p.name;
    m_ports = m_source.list ? m_source.list() : QList<PortInfo>{};
    // A cable plugged in while the text names no port of the list is what the user is after: choose it.
    QString text = ui->ComSelectBox->currentText();
    const bool named = text == kTcp || std::any_of(m_ports.cbegin(), m_ports.cend(), [&](const PortInfo& p) { return p.name == text; });
    if (!named)
        for (const PortInfo& p : std::as_const(m_ports))
            if (p.usb && !before.contains(p.name)) {
                text = p.name;
                break;
            }
    fill(text);
}

QString PortDialog::stateText(const PortInfo& port) const
{
    switch (port.state) {
    case PortInfo::State::Free: return {};
    case PortInfo::State::Busy:
        return port.name == m_currentPort && m_currentOpen ? QStringLiteral("открыт этой программой")
                                                           : QStringLiteral("занят другой программой");
    case PortInfo::State::NoAccess: return QStringLiteral("нет прав доступа");
    }
    return {};
}

QString PortDialog::describe(const PortInfo& port) const
{
    QString what = port.description;
    if (what.isEmpty())
        what = port.usb        ? QStringLiteral("USB-адаптер")
             : port.hardware   ? QStringLiteral("последовательный порт компьютера")
                               : QStringLiteral("устройство за портом не определено");
    const QString state = stateText(port);
    return state.isEmpty() ? what : what + QStringLiteral(" — ") + state;
}

void PortDialog::fill(const QString& text)
{
    QSignalBlocker block(ui->ComSelectBox);
    auto* model = static_cast<QStandardItemModel*>(ui->ComSelectBox->model());
    model->removeRows(0, model->rowCount());
    for (const PortInfo& p : std::as_const(m_ports)) {
        QString what = p.description;
        if (what.isEmpty())
            what = describe(PortInfo{p.name, {}, p.hardware, p.usb, PortInfo::State::Free});
        QList<QStandardItem*> row{new QStandardItem(p.name), new QStandardItem(what), new QStandardItem(stateText(p))};
        for (QStandardItem* item : row) {
            item->setEditable(false);
            item->setToolTip(p.name + QStringLiteral(": ") + describe(p));
        }
        row[2]->setForeground(QColor(0xB0, 0x00, 0x00)); // why it will not open
        model->appendRow(row);
    }
    QList<QStandardItem*> tcp{new QStandardItem(kTcp), new QStandardItem(QStringLiteral("устройства звонят программе по сети")),
                              new QStandardItem};
    for (QStandardItem* item : tcp)
        item->setEditable(false);
    model->appendRow(tcp);

    if (auto* view = qobject_cast<QTreeView*>(ui->ComSelectBox->view())) {
        int columns = 0;
        for (int c = 0; c < 3; ++c) {
            view->resizeColumnToContents(c);
            columns += view->columnWidth(c);
        }
        view->setMinimumWidth(columns + 24);
        // Wide enough for the list, so that it opens under the field rather than past the dialog's edge.
        if (const int wanted = view->minimumWidth() + layout()->contentsMargins().left() + layout()->contentsMargins().right();
            width() < wanted)
            resize(wanted, height());
    }
    const bool cable = std::any_of(m_ports.cbegin(), m_ports.cend(), [](const PortInfo& p) { return p.usb; });
    ui->PortHint->setText(QStringLiteral("USB-кабель не найден. Подключите его — список обновится сам."));
    ui->PortHint->setVisible(!cable);

    const int index = ui->ComSelectBox->findText(text);
    if (index >= 0)
        ui->ComSelectBox->setCurrentIndex(index);
    ui->ComSelectBox->setEditText(text);
    ComSelectBoxChange(text);
}

void PortDialog::ComSelectBoxChange(const QString& text)
{
    m_pending = text;
    QString info;
    if (text == kTcp)
        info = QStringLiteral("Сервер программы: устройства подключаются к нему по сети");
    for (const PortInfo& p : std::as_const(m_ports))
        if (p.name == text)
            info = describe(p);
    ui->PortInfoLabel->setText(info);
}

void PortDialog::But_OKClick()
{
    m_pending = ui->ComSelectBox->currentText().trimmed();
    if (m_pending.isEmpty() || m_pending == m_currentPort) {
        emit left();
    } else {
        m_currentPort = m_pending;
        emit portChosen(m_currentPort);
    }
    accept();
}

void PortDialog::But_CancelClick()
{
    emit left();
    reject();
}

} // namespace rv
