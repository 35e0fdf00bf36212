#pragma once

// "Охрана" (Ohrana): the security mode, the guarded inputs, the five iButton keys, the arming times, the camera
// on alarm and the reactions to arming, disarming and alarm. Filled when the records are read, gathered before
// every write or save.

#include "ui/config/editor_page.h"

#include <QByteArray>

#include <array>
#include <optional>

class QTableWidget;
class QTableWidgetItem;

namespace Ui {
class OhranaPage;
}

namespace rv {

class OhranaPage : public EditorPage {
    Q_OBJECT
public:
    explicit OhranaPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~OhranaPage() override;

    void readRecord(ConfigRecords& from, RecordKind kind) override;
    QStringList gatherRecord(ConfigRecords& to, RecordKind kind) override;

    QTableWidget* keyGrid() const;
    // The text of key cell k (0..4).
    QString keyCell(int key) const;

private:
    void iButtonGridChanged(QTableWidgetItem* item);
    void markKey(int key, bool invalid);

    std::unique_ptr<Ui::OhranaPage> m_ui;
    // What each key cell was given to show and the bytes that gave it: an unchanged cell gives them back.
    struct ShownKey
    {
        QString text;
        QByteArray bytes;
    };
    std::array<std::optional<ShownKey>, 5> m_keys;
    bool m_filling = false;
};

} // namespace rv
