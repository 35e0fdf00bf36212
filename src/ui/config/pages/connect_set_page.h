#pragma once

// "Настройки соединения" (Connect_Set): access codes, the GPRS server, the two SIM cards with their operator
// presets, the voice parameters, automatic update and radio silence.

#include "ui/config/editor_page.h"

#include <optional>

class QButtonGroup;

namespace Ui {
class ConnectSetPage;
}

namespace rv {

class ConnectSetPage : public EditorPage {
    Q_OBJECT
public:
    explicit ConnectSetPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~ConnectSetPage() override;

    void readRecord(ConfigRecords& from, RecordKind kind) override;
    QStringList gatherRecord(ConfigRecords& to, RecordKind kind) override;

    // The selected operator button of SIM 1 or 2 (1..5), or 0 when none is.
    int simButton(int sim) const;

public slots:
    // A click on operator button 1..5 of SIM 1 (SIM 2): a preset is written into the record at once and
    // shown in the SIM's edits, which are locked; "Другой" unlocks them and changes nothing else.
    void SIM1Chek1Click(int button);
    void SIM2Chek1Click(int button);

private:
    void showSim(int sim, int button);
    QButtonGroup* group(int sim) const { return m_groups[sim - 1]; }

    std::unique_ptr<Ui::ConnectSetPage> m_ui;
    QButtonGroup* m_groups[2] = {};
};

} // namespace rv
