#pragma once

// TForm15 "Получение инфрмации о тарифном плане IRIDIUM": fetches the satellite modem's tariff plan. It shows
// the modem's IMEI and the current step of the exchange, ticks it once a second and hands the plan to the
// satellite page.

#include "core/satellite/tariff_exchange.h"

#include <QDialog>

#include <functional>

class QLabel;
class QTimer;

namespace rv {

class SatModemPage;

class TariffWindow : public QDialog {
    Q_OBJECT
public:
    // `deviceBlock`: the live device block; `server`: read each time the window is shown (Config.ini).
    TariffWindow(std::function<QByteArray()> deviceBlock, std::function<sat::TariffServer()> server,
                 SatModemPage* page, QWidget* parent = nullptr);

    sat::TariffExchange& exchange() { return *m_exchange; }
    QTimer* timer() const { return m_timer; }

    void FormShow();
    void Timer1Timer() { m_exchange->Timer1Timer(); }
    void FormClose();

signals:
    void message(const QString& text);
    void unitCommand(); // "CONFIGZ" 01 01 for the unit

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void outcome(const sat::TariffOutcome& outcome);

    std::function<sat::TariffServer()> m_server;
    SatModemPage* m_page;
    sat::TariffExchange* m_exchange;
    QLabel* m_label1;
    QLabel* m_label2;
    QTimer* m_timer;
    bool m_closing = false;
};

} // namespace rv
