#include "ui/satellite/tariff_window.h"

#include "ui/satellite/sat_modem_page.h"

#include <QGroupBox>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace rv {

TariffWindow::TariffWindow(std::function<QByteArray()> deviceBlock, std::function<sat::TariffServer()> server,
                           SatModemPage* page, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_server(std::move(server)),
      m_page(page), m_exchange(new sat::TariffExchange(std::move(deviceBlock), {}, this)),
      m_label1(new QLabel(QStringLiteral("IMEI: "))), m_label2(new QLabel), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("TForm15"));
    setWindowTitle(QStringLiteral("Получение инфрмации о тарифном плане IRIDIUM"));
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setMinimumWidth(360);
    auto* modem = new QGroupBox(QStringLiteral("Информация о спутниковом модеме"));
    (new QVBoxLayout(modem))->addWidget(m_label1);
    auto* step = new QGroupBox(QStringLiteral("Операция"));
    step->setObjectName(QStringLiteral("GroupOperation"));
    (new QVBoxLayout(step))->addWidget(m_label2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(modem);
    layout->addWidget(step);

    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &TariffWindow::Timer1Timer);
    connect(m_exchange, &sat::TariffExchange::imeiShown, m_label1, &QLabel::setText);
    connect(m_exchange, &sat::TariffExchange::stepShown, m_label2, &QLabel::setText);
    connect(m_exchange, &sat::TariffExchange::unitCommand, this, [this] { emit unitCommand(); });
    connect(m_exchange, &sat::TariffExchange::finished, this, &TariffWindow::outcome);
}

void TariffWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TariffWindow::FormShow()
{
    m_closing = false;
    if (m_server)
        m_exchange->setServer(m_server());
    m_exchange->FormShow();
    m_timer->start();
}

void TariffWindow::outcome(const sat::TariffOutcome& o)
{
    using K = sat::TariffOutcome::Kind;
    switch (o.kind) {
    case K::Answer:
        if (m_page) {
            m_page->SatSetTarif(o.answer.tariff, sat::SatMode::Page);
            if (o.answer.kind == sat::TariffAnswer::Kind::PlanAndParams)
                m_page->StrToParam(o.answer.text);
        }
        break;
    case K::StepFailure:
        emit message(o.message);
        if (m_page)
            m_page->SatSetTarif(0, sat::SatMode::Page);
        break;
    case K::SocketError:
    case K::NoServer:
        emit message(o.message);
        break;
    }
    done(o.kind == K::Answer ? QDialog::Accepted : QDialog::Rejected);
}

void TariffWindow::FormClose()
{
    m_timer->stop();
    m_exchange->FormClose();
    if (m_page)
        m_page->tariffWindowClosed(m_exchange->planReceived());
}

void TariffWindow::done(int result)
{
    if (!m_closing) {
        m_closing = true;
        FormClose();
    }
    QDialog::done(result);
}

} // namespace rv
