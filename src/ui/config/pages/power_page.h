#pragma once

// "Питание" (Power): the external supply threshold and the outputs' reaction when the supply falls below it.

#include "ui/config/editor_page.h"

namespace Ui {
class PowerPage;
}

namespace rv {

class PowerPage : public EditorPage {
    Q_OBJECT
public:
    explicit PowerPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~PowerPage() override;

private:
    std::unique_ptr<Ui::PowerPage> m_ui;
};

} // namespace rv
