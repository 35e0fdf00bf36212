#include "ui/protocol/port_dialog.h"

#include "ui_port_dialog.h"

namespace rv {

PortDialog::PortDialog(PortLister lister, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::PortDialog>()), m_lister(std::move(lister))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TForm3"));
    setModal(true);
    connect(ui->ComSelectBox, &QComboBox::currentTextChanged, this, &PortDialog::ComSelectBoxChange);
    connect(ui->But_OK, &QPushButton::clicked, this, &PortDialog::But_OKClick);
    connect(ui->But_Cancel, &QPushButton::clicked, this, &PortDialog::But_CancelClick);
}

PortDialog::~PortDialog() = default;

void PortDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormActivate();
}

void PortDialog::FormActivate()
{
    QSignalBlocker block(ui->ComSelectBox);
    ui->ComSelectBox->clear();
    if (m_lister)
        ui->ComSelectBox->addItems(m_lister());
    ui->ComSelectBox->addItem(QStringLiteral("TCP/IP"));
    ui->ComSelectBox->setEditText(m_currentPort);
    m_pending = m_currentPort;
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
