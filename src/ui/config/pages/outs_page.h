#pragma once

// "Выходы" (Outs): output control by SMS and DTMF, the outputs' active states, the reaction to a DTMF command and
// the speed-sensor imitation on output 1. Filled when the records are read, gathered before every write or save.

#include "ui/config/editor_page.h"

namespace Ui {
class OutsPage;
}

namespace rv {

class OutsPage : public EditorPage {
    Q_OBJECT
public:
    explicit OutsPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~OutsPage() override;

private:
    std::unique_ptr<Ui::OutsPage> m_ui;
};

} // namespace rv
