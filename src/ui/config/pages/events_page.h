#pragma once

// "Обработка событий" (TabSheet6): the twenty event rules, one at a time, and the timers and thresholds they
// use. Every change to the rule shown is written into the input/output record at once: the record is the only
// store of the nineteen others. The timers, thresholds and the processing switch are gathered with the main
// record.

#include "core/config/unit_profile.h"
#include "ui/config/editor_page.h"

#include <functional>

class QListWidget;
class QListWidgetItem;

namespace Ui {
class EventsPage;
}

namespace rv {

namespace events {
enum class RuleList : uint8_t;
}

class EventsPage : public EditorPage {
    Q_OBJECT
public:
    explicit EventsPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~EventsPage() override;

    // The input/output record was replaced: "Событие 1" is selected and shown.
    void readRecord(ConfigRecords& from, RecordKind kind) override;
    // Shows rule `rule` (0..19) of the page's records.
    void loadElement(int rule) override;
    int rule() const;

    // The profile of the unit connected (or last connected); sources it lacks are not stored.
    void setUnitSource(std::function<UnitProfile()> fn) { m_unit = std::move(fn); }

public slots:
    void Event_BoxChange(int rule);
    void Source_BoxChange();

private:
    QListWidget* list(events::RuleList which) const;
    void listChanged(events::RuleList which, QListWidgetItem* item);
    void fillList(events::RuleList which);

    std::unique_ptr<Ui::EventsPage> m_ui;
    std::function<UnitProfile()> m_unit;
};

} // namespace rv
