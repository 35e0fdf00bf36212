#pragma once

// "Параметры навигации" (GPS_Set): when the unit records packets while parked and while moving, the
// cornering and coordinate filters, and three profiles that set them all at once.

#include "ui/config/editor_page.h"

namespace Ui {
class GpsSetPage;
}

namespace rv {

class GpsSetPage : public EditorPage {
    Q_OBJECT
public:
    explicit GpsSetPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~GpsSetPage() override;

public slots:
    // Profile 1..3 ("Красивый трэк", "Стандарт", "Эконом"): sets exactly the controls of the profile; the
    // record follows at the next gathering.
    void applyPreset(int profile);
    void RzBitBtn1Click() { applyPreset(1); }
    void RzBitBtn2Click() { applyPreset(2); }
    void RzBitBtn3Click() { applyPreset(3); }

private:
    std::unique_ptr<Ui::GpsSetPage> m_ui;
};

} // namespace rv
