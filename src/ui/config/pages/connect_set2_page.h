#pragma once

// "Дополнительно" (Connect_set2): USSD transmission, roaming, the preferred-operator list and the second
// server. Most of its fields live in the extended settings record.

#include "ui/config/editor_page.h"

namespace Ui {
class ConnectSet2Page;
}

namespace rv {

class ConnectSet2Page : public EditorPage {
    Q_OBJECT
public:
    explicit ConnectSet2Page(ConfigRecords& records, QWidget* parent = nullptr);
    ~ConnectSet2Page() override;

public slots:
    // The USSD group follows the check box; its three edits stay locked whatever the group's state.
    void USSDENClick();

protected:
    void refreshEnabling() override { USSDENClick(); }

private:
    std::unique_ptr<Ui::ConnectSet2Page> m_ui;
};

} // namespace rv
