#include "ui/config/pages/events_page.h"

#include "core/config/event_rules.h"
#include "ui/app/navigation.h"
#include "ui/config/page_binder.h"
#include "ui_events_page.h"

#include <QListWidget>
#include <QSignalBlocker>

#include <algorithm>

namespace rv {

namespace {

using namespace bind;
using events::RuleList;
constexpr int kC = kCurrentElement;
constexpr RecordKind kIO = RecordKind::InpOut;

constexpr std::array kEvents{
    check("Events_en"),
    // The timers and the speed threshold have no key filter: text that is not a number is marked, never stored.
    number("DelayTimer1").filter(KeyFilter::None).rule(Validator::DelayTimer),
    number("DelayTimer2").filter(KeyFilter::None).rule(Validator::DelayTimer),
    number("DelayTimer3").filter(KeyFilter::None).rule(Validator::DelayTimer),
    number("DelayTimer4").filter(KeyFilter::None).rule(Validator::DelayTimer),
    number("HISPEED").filter(KeyFilter::None).rule(Validator::Val_1_255),
    tenths("ACCELPOROG").rule(Validator::ACCELPOROG),
    // The rule shown, written at once.
    list("Source_Box").of("EventSource", kC).in(kIO),
    list("State_Box").of("EventState", kC).in(kIO),
    radio("Check_logic", "EventLogic", 1).at(kC).in(kIO),
    radio("Check_logic2", "EventLogic", 0).at(kC).in(kIO),
};
static_assert(checkBindings(kEvents));

void fillItems(QListWidget* list, const QStringList& names, int withoutBit)
{
    for (int i = 0; i < names.size(); ++i) {
        auto* item = new QListWidgetItem(names[i], list);
        // A condition the record has no bit for is shown but cannot be ticked.
        item->setFlags(i == withoutBit ? Qt::ItemFlags()
                                       : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

} // namespace

EventsPage::EventsPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::TabSheet6, records, parent), m_ui(std::make_unique<Ui::EventsPage>())
{
    m_ui->setupUi(this);
    m_ui->Source_Box->addItems(events::sourceNames());
    m_ui->State_Box->addItems(events::stateNames());
    fillItems(m_ui->ConditionList, events::conditionNames(), events::kConditionBits);
    fillItems(m_ui->ConditionState, events::conditionNames(), events::kConditionBits);
    fillItems(m_ui->ActionList, events::actionTexts(1), -1);
    bindTable(kEvents);

    // User actions only; filling a rule blocks the lists' signals.
    connect(m_ui->Event_Box, &QComboBox::activated, this, &EventsPage::Event_BoxChange);
    connect(m_ui->Source_Box, &QComboBox::activated, this, &EventsPage::Source_BoxChange);
    for (RuleList which : {RuleList::Conditions, RuleList::ConditionStates, RuleList::Actions})
        connect(list(which), &QListWidget::itemChanged, this,
                [this, which](QListWidgetItem* item) { listChanged(which, item); });
    loadElement(0);
}

EventsPage::~EventsPage() = default;

QListWidget* EventsPage::list(RuleList which) const
{
    switch (which) {
    case RuleList::Conditions: return m_ui->ConditionList;
    case RuleList::ConditionStates: return m_ui->ConditionState;
    case RuleList::Actions: return m_ui->ActionList;
    }
    return nullptr;
}

int EventsPage::rule() const
{
    return binder()->element();
}

void EventsPage::readRecord(ConfigRecords& from, RecordKind kind)
{
    EditorPage::readRecord(from, kind);
    if (kind == RecordKind::InpOut)
        loadElement(0);
}

void EventsPage::loadElement(int rule)
{
    rule = std::clamp(rule, 0, events::kRuleCount - 1);
    {
        const QSignalBlocker block(m_ui->Event_Box);
        m_ui->Event_Box->setCurrentIndex(rule);
    }
    EditorPage::loadElement(rule);
    const QStringList texts = events::actionTexts(rule + 1);
    {
        const QSignalBlocker block(m_ui->ActionList);
        for (int i = 0; i < texts.size() && i < m_ui->ActionList->count(); ++i)
            m_ui->ActionList->item(i)->setText(texts[i]);
    }
    for (RuleList which : {RuleList::Conditions, RuleList::ConditionStates, RuleList::Actions})
        fillList(which);
}

void EventsPage::Event_BoxChange(int rule)
{
    loadElement(rule);
}

void EventsPage::fillList(RuleList which)
{
    QListWidget* l = list(which);
    const QSignalBlocker block(l);
    for (int i = 0; i < l->count(); ++i)
        l->item(i)->setCheckState(events::ruleBit(records().inpOut, which, rule(), i) ? Qt::Checked : Qt::Unchecked);
}

void EventsPage::listChanged(RuleList which, QListWidgetItem* item)
{
    QListWidget* l = list(which);
    const int i = l->row(item);
    const bool on = item->checkState() == Qt::Checked;
    // Texts and enabling change items too: only a tick that differs from the record is the user's.
    if (on == events::ruleBit(records().inpOut, which, rule(), i))
        return;
    if (!events::setRuleBit(records().inpOut, which, rule(), i, on)) {
        const QSignalBlocker block(l);
        item->setCheckState(Qt::Unchecked);
        return;
    }
    // The state of the same condition is at hand in the other list.
    if (which == RuleList::Conditions)
        m_ui->ConditionState->setCurrentRow(i);
    else if (which == RuleList::ConditionStates)
        m_ui->ConditionList->setCurrentRow(i);
}

void EventsPage::Source_BoxChange()
{
    // The binder has stored the chosen item; a source the unit lacks becomes "Нет источника".
    if (!m_unit || !events::sourceMissing(m_unit(), m_ui->Source_Box->currentIndex()))
        return;
    {
        const QSignalBlocker block(m_ui->Source_Box);
        m_ui->Source_Box->setCurrentIndex(0);
    }
    if (const Binding* row = binder()->row(u"Source_Box"))
        storeValue(records().inpOut, *row, rule(), ControlValue{.index = 0});
}

} // namespace rv
