#include "ui/config/pages/connect_set2_page.h"

#include "ui/app/navigation.h"
#include "ui_connect_set2_page.h"

namespace rv {

namespace {

using namespace bind;
constexpr RecordKind kSe = RecordKind::ConfSe;

constexpr std::array kConnectSet2{
    check("USSDEN"),
    number("USSDPREF").rule(Validator::Val_1_255),
    number("USSDTYPE").rule(Validator::Val_1_255),
    number("USSDPERIOD").rule(Validator::Val_1_65535),
    // "Роуминг"
    number("ROUINT").rule(Validator::Val_0_255),
    check("SendCurrentRouming"),
    check("SELOPINROU").in(kSe),
    // "Список операторов"
    number("MCC1").in(kSe).rule(Validator::Val_1_65535),
    number("MCC2").in(kSe).rule(Validator::Val_1_65535),
    number("MCC3").in(kSe).rule(Validator::Val_1_65535),
    number("MCC4").in(kSe).rule(Validator::Val_1_65535),
    number("MCC5").in(kSe).rule(Validator::Val_1_65535),
    number("MNC1").in(kSe).rule(Validator::Val_1_255),
    number("MNC2").in(kSe).rule(Validator::Val_1_255),
    number("MNC3").in(kSe).rule(Validator::Val_1_255),
    number("MNC4").in(kSe).rule(Validator::Val_1_255),
    number("MNC5").in(kSe).rule(Validator::Val_1_255),
    // The second server
    check("ENSendServer2"),
    number("IP21").of("IP2", 0).in(kSe).rule(Validator::Val_0_255),
    number("IP22").of("IP2", 1).in(kSe).rule(Validator::Val_0_255),
    number("IP23").of("IP2", 2).in(kSe).rule(Validator::Val_0_255),
    number("IP24").of("IP2", 3).in(kSe).rule(Validator::Val_0_255),
    number("IPport2").in(kSe).rule(Validator::Val_1_65535),
    number("TIMETOCON2").in(kSe).rule(Validator::TIMETOCON2),
};
static_assert(checkBindings(kConnectSet2));

} // namespace

ConnectSet2Page::ConnectSet2Page(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::Connect_set2, records, parent), m_ui(std::make_unique<Ui::ConnectSet2Page>())
{
    m_ui->setupUi(this);
    bindTable(kConnectSet2);
    connect(m_ui->USSDEN, &QAbstractButton::clicked, this, &ConnectSet2Page::USSDENClick);
    USSDENClick();
}

ConnectSet2Page::~ConnectSet2Page() = default;

void ConnectSet2Page::USSDENClick()
{
    m_ui->GroupUSSD->setEnabled(m_ui->USSDEN->isChecked());
}

} // namespace rv
