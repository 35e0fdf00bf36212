#pragma once

// "Вход 1" … "Вход 8" (Inputs): one input at a time. Every change the user makes is written into the records at
// once (the input's mode, thresholds, filter and frequency threshold in the main settings record, its two output
// reactions in the input/output record), because the records are the only store of the other seven inputs.

#include "core/config/input_page_rules.h"
#include "ui/config/editor_page.h"

#include <functional>

namespace Ui {
class InputsPage;
}

namespace rv {

class InputsPage : public EditorPage {
    Q_OBJECT
public:
    explicit InputsPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~InputsPage() override;

    // Where the connected unit's profile comes from (it decides the type lists and the coupled inputs).
    void setUnitSource(std::function<UnitProfile()> fn) { m_unit = std::move(fn); }

    // A record was replaced: the input shown is shown again from it.
    void readRecord(ConfigRecords& from, RecordKind kind) override;
    // Load_input_page: shows input `input` (0..7) of the page's records, writing nothing back.
    void loadElement(int input) override;
    void Load_input_page(int input) { loadElement(input); }
    int input() const;
    // Cleared while the page is filled; the handlers that drag or write other values run only while it is set.
    bool guard() const { return m_guard; }

    // An ADC count of the input shown, from a navigation block: the live bar, its label and its colour.
    void showLiveCount(int count);
    inputs::BarColour liveColour() const { return m_liveColour; }

public slots:
    void InputtypeChange(int type);
    void VhighBarChange(int value);
    void VlowBarChange(int value);
    void LenFilterBarChange(int value);

private:
    UnitProfile unit() const { return m_unit ? m_unit() : UnitProfile(); }
    int type() const;
    void fillTypeList(int input);
    void showLabels();
    void showFreqLevel();

    std::unique_ptr<Ui::InputsPage> m_ui;
    std::function<UnitProfile()> m_unit;
    bool m_guard = true;
    int m_liveCount = 0;
    inputs::BarColour m_liveColour = inputs::BarColour::Blue;
};

} // namespace rv
