#pragma once

// "Соединение 1" … "Соединение 5" (Connections): one of the five phone connections at a time. Every change the
// user makes is written into the main settings record at once; the record is the only store of the other four.

#include "ui/config/editor_page.h"

namespace Ui {
class ConnectionsPage;
}

namespace rv {

class ConnectionsPage : public EditorPage {
    Q_OBJECT
public:
    explicit ConnectionsPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~ConnectionsPage() override;

    // Load_connect_page: shows connection `connection` (0..4) of the page's records.
    void loadElement(int connection) override;
    int connection() const;

private:
    std::unique_ptr<Ui::ConnectionsPage> m_ui;
};

} // namespace rv
