#pragma once

// "Спутниковый модем" (SAT_modem): the satellite modem's sending parameters, the tariff plan and the
// service the unit works with. The plan's code lives in the last byte of the main record; SatSetTarif shows
// it, locks or presets the parameters as the plan says, and is run after a read, after a file is opened
// and by the page itself.

#include "core/satellite/tariff_plan.h"
#include "ui/config/editor_page.h"

#include <functional>

class QDialog;

namespace Ui {
class SatModemPage;
}

namespace rv {

class SatModemPage : public EditorPage {
    Q_OBJECT
public:
    explicit SatModemPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~SatModemPage() override;

    // Whether port 2 has "Иридиум" now, as the peripheral page shows it; by default the record says.
    void setIridiumSource(std::function<bool()> iridium) { m_iridium = std::move(iridium); }
    // The window that fetches the plan from the tariff server (TForm15).
    void setTariffWindow(QDialog* window) { m_tariffWindow = window; }

    QStringList gatherRecord(ConfigRecords& to, RecordKind kind) override;

    uint8_t tariff() const;
    bool guard() const { return m_guard; }

    // Applies a tariff value: mode Page (the page, the tariff window), AfterRead, AfterOpen.
    void SatSetTarif(uint8_t value, sat::SatMode mode);
    // The parameter text of the tariff server into the controls; the parameters are then locked.
    void StrToParam(QByteArrayView text);
    // The three parameter groups.
    void EnSatPanels(bool on);
    // The tariff window closed without a plan: the transmitter stays off.
    void tariffWindowClosed(bool planReceived);
    // The built-in defaults were loaded: the transmitter box is unticked (the tariff byte is left alone).
    void Load_default();

public slots:
    void RzCheckBox3Click();
    void RzRG4Click();

signals:
    void message(const QString& text);

private:
    void applyParams(const sat::SatParams& params);
    void setTransmitter(bool on);
    bool iridium() const;

    std::unique_ptr<Ui::SatModemPage> m_ui;
    std::function<bool()> m_iridium;
    QDialog* m_tariffWindow = nullptr;
    bool m_guard = false;
};

} // namespace rv
