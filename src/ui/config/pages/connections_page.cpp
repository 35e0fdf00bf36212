#include "ui/config/pages/connections_page.h"

#include "ui/app/navigation.h"
#include "ui/config/page_binder.h"
#include "ui_connections_page.h"

namespace rv {

namespace {

using namespace bind;
constexpr int kC = kCurrentElement;

constexpr std::array kConnections{
    phone("Connect_number").of("Phone", kC),
    list("Type_message").at(kC),
    list("Input_Call").at(kC),
    list("Input_SMS").at(kC),
    list("Len_connect").at(kC),
    list("Number_out_call", 1).of("OutCallCount", kC),
    check("Ring_only").at(kC),
    check("Ring_sourse1").of("RingSources", kC).bitAt(0),
    check("Ring_sourse2").of("RingSources", kC).bitAt(1),
    check("Ring_sourse3").of("RingSources", kC).bitAt(2),
    check("Ring_sourse4").of("RingSources", kC).bitAt(3),
    check("Ring_sourse5").of("RingSources", kC).bitAt(4),
    check("Ring_sourse6").of("RingSources", kC).bitAt(5),
    check("Ring_sourse7").of("RingSources", kC).bitAt(6),
    check("Ring_sourse8").of("RingSources", kC).bitAt(7),
    check("Ring_sourse9").of("RingSources", kC).bitAt(8),
    check("Ring_sourse10").of("RingSources", kC).bitAt(9),
    check("Ring_sourse11").of("RingSources", kC).bitAt(10),
    check("Ring_sourse12").of("RingSources", kC).bitAt(11),
    check("SMS_sourse1").of("SmsSources", kC).bitAt(0),
    check("SMS_sourse2").of("SmsSources", kC).bitAt(1),
    check("SMS_sourse3").of("SmsSources", kC).bitAt(2),
    check("SMS_sourse4").of("SmsSources", kC).bitAt(3),
    check("SMS_sourse5").of("SmsSources", kC).bitAt(4),
    check("SMS_sourse6").of("SmsSources", kC).bitAt(5),
    check("SMS_sourse7").of("SmsSources", kC).bitAt(6),
    check("SMS_sourse8").of("SmsSources", kC).bitAt(7),
    check("SMS_sourse9").of("SmsSources", kC).bitAt(8),
    check("SMS_sourse10").of("SmsSources", kC).bitAt(9),
    check("SMS_sourse11").of("SmsSources", kC).bitAt(10),
    check("SMS_sourse12").of("SmsSources", kC).bitAt(11),
};
static_assert(checkBindings(kConnections));

} // namespace

ConnectionsPage::ConnectionsPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::Connections, records, parent), m_ui(std::make_unique<Ui::ConnectionsPage>())
{
    m_ui->setupUi(this);
    bindTable(kConnections);
}

ConnectionsPage::~ConnectionsPage() = default;

void ConnectionsPage::loadElement(int connection)
{
    EditorPage::loadElement(connection);
    m_ui->Connection_num->setText(QStringLiteral("Соединение ") + QString::number(connection + 1));
}

int ConnectionsPage::connection() const
{
    return binder()->element();
}

} // namespace rv
