#include "ui/config/pages/connect_set_page.h"

#include "core/config/sim_presets.h"
#include "ui/app/navigation.h"
#include "ui/config/page_binder.h"
#include "ui_connect_set_page.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

namespace rv {

namespace {

using namespace bind;

constexpr std::array kConnectSet{
    number("ID_Device").rule(Validator::ID_Device),
    number("Password").rule(Validator::Password),
    check("SMSansver"),
    check("SMSBalans"),
    number("BalansBox").rule(Validator::BalansBox),
    check("DTMF_en"),
    check("SMSallnumber"),
    check("DISAUTOSWITCH"),
    check("GET_PASS"),
    number("CONF_PASS").rule(Validator::CONF_PASS),
    check("ALLNUMEN"),
    // "Параметры GPRS соединения"
    number("IP_server1").of("IP_server", 0).rule(Validator::Val_0_255),
    number("IP_server2").of("IP_server", 1).rule(Validator::Val_0_255),
    number("IP_server3").of("IP_server", 2).rule(Validator::Val_0_255),
    number("IP_server4").of("IP_server", 3).rule(Validator::Val_0_255),
    number("Port_server").rule(Validator::Port),
    // The SIM edits are gathered only while "Другой" is selected (the presets write the record themselves).
    text("SIM1APN").of("Sim1Apn"),
    text("SIM1LOGIN").of("Sim1Login"),
    text("SIM1PASS").of("Sim1Pass"),
    number("SIM1NUM").rule(Validator::Val_1_255),
    text("SIM2APN").of("Sim2Apn"),
    text("SIM2LOGIN").of("Sim2Login"),
    text("SIM2PASS").of("Sim2Pass"),
    number("SIM2NUM").rule(Validator::Val_1_255),
    // "Параметры голосового соединения"
    slider("MicLevel", "LMic"),
    slider("SpkLevel", "LSpk"),
    slider("RingNum", "LRing"),
    slider("Vollevel", "LVol"),
    // Automatic update
    check("Auto_update"),
    number("IP_update1").of("IP_update", 0).rule(Validator::Val_0_255),
    number("IP_update2").of("IP_update", 1).rule(Validator::Val_0_255),
    number("IP_update3").of("IP_update", 2).rule(Validator::Val_0_255),
    number("IP_update4").of("IP_update", 3).rule(Validator::Val_0_255),
    number("Port_update").rule(Validator::Port),
    number("Date_update").rule(Validator::Val_1_255),
    // Radio silence: the interval edit has no key filter; text that is not a number is marked and not stored.
    number("Radio_mute_time").filter(KeyFilter::None).rule(Validator::Val_1_255),
    check("Radio_mute_soff"),
    check("Radio_mute_en"),
};
static_assert(checkBindings(kConnectSet));

// SIM 1 or 2 for the rows of the SIM edits, 0 for every other row.
int simOf(const Binding& row)
{
    const std::string_view c = row.control;
    if (c.size() > 4 && c.substr(0, 3) == "SIM" && (c[3] == '1' || c[3] == '2')
        && (c.substr(4) == "APN" || c.substr(4) == "LOGIN" || c.substr(4) == "PASS" || c.substr(4) == "NUM"))
        return c[3] - '0';
    return 0;
}

const char* const kSimEdits[] = {"APN", "LOGIN", "PASS", "NUM"};

} // namespace

ConnectSetPage::ConnectSetPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::Connect_Set, records, parent), m_ui(std::make_unique<Ui::ConnectSetPage>())
{
    m_ui->setupUi(this);
    bindTable(kConnectSet);
    for (int sim = 1; sim <= 2; ++sim) {
        auto* g = new QButtonGroup(this);
        g->setObjectName(QStringLiteral("SIM%1Group").arg(sim));
        for (int b = 1; b <= kSimCustomButton; ++b)
            g->addButton(findChild<QRadioButton*>(QStringLiteral("SIM%1Chek%2").arg(sim).arg(b)), b);
        m_groups[sim - 1] = g;
        // Clicks only: selecting a button while the page is filled applies nothing by itself.
        connect(g, &QButtonGroup::idClicked, this, sim == 1 ? &ConnectSetPage::SIM1Chek1Click : &ConnectSetPage::SIM2Chek1Click);
    }
}

ConnectSetPage::~ConnectSetPage() = default;

int ConnectSetPage::simButton(int sim) const
{
    return std::max(0, group(sim)->checkedId());
}

void ConnectSetPage::showSim(int sim, int button)
{
    QButtonGroup* g = group(sim);
    const QSignalBlocker block(g);
    if (QAbstractButton* b = g->button(button)) {
        b->setChecked(true);
    } else if (QAbstractButton* checked = g->checkedButton()) {
        // Neither the custom flag nor the login names an operator: no button is selected.
        g->setExclusive(false);
        checked->setChecked(false);
        g->setExclusive(true);
    }
    for (const char* edit : kSimEdits)
        if (auto* e = findChild<QLineEdit*>(QStringLiteral("SIM%1%2").arg(sim).arg(QLatin1String(edit))))
            e->setEnabled(button == kSimCustomButton);
}

void ConnectSetPage::readRecord(ConfigRecords& from, RecordKind kind)
{
    if (kind != RecordKind::Config) {
        EditorPage::readRecord(from, kind);
        return;
    }
    // The record names the SIM's button; the edits show the unit's own APN, login, password and service
    // number, whatever the operator's published settings are. Only a click on a button writes a preset.
    EditorPage::readRecord(from, kind);
    for (int sim = 1; sim <= 2; ++sim)
        showSim(sim, rv::simButton(from.config, sim).value_or(0));
}

QStringList ConnectSetPage::gatherRecord(ConfigRecords& to, RecordKind kind)
{
    if (kind != RecordKind::Config)
        return EditorPage::gatherRecord(to, kind);
    const bool custom[2] = {simButton(1) == kSimCustomButton, simButton(2) == kSimCustomButton};
    const QStringList refused = binder()->gather(to, kind, [&custom](const Binding& row) {
        const int sim = simOf(row);
        return sim == 0 || custom[sim - 1];
    });
    for (int sim = 1; sim <= 2; ++sim)
        if (custom[sim - 1])
            to.config.setNumber(simFields(sim).custom, kSimCustomMark);
    return refused;
}

void ConnectSetPage::SIM1Chek1Click(int button)
{
    if (button >= 1 && button < kSimCustomButton) {
        applySimPreset(records().config, 1, button);
        binder()->spread(records(), RecordKind::Config, [](const Binding& row) { return simOf(row) == 1; });
    }
    showSim(1, button);
}

void ConnectSetPage::SIM2Chek1Click(int button)
{
    if (button >= 1 && button < kSimCustomButton) {
        applySimPreset(records().config, 2, button);
        binder()->spread(records(), RecordKind::Config, [](const Binding& row) { return simOf(row) == 2; });
    }
    showSim(2, button);
}

} // namespace rv
