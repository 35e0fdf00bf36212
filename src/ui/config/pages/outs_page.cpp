#include "ui/config/pages/outs_page.h"

#include "ui/app/navigation.h"
#include "ui/config/page_binder.h"
#include "ui_outs_page.h"

namespace rv {

namespace {

using namespace bind;

// The timing edits have no key filter: text that is not a number in range is marked and never stored.
constexpr std::array kOuts{
    check("SMSOUT_en"),
    check("DTMFOUT_en"),
    list("ActivOUT1").of("ActivOUT", 0),
    list("ActivOUT2").of("ActivOUT", 1),
    list("ActivOUT3").of("ActivOUT", 2),
    list("ActivOUT4").of("ActivOUT", 3),
    list("Out1dtmf").of("Out1mode_dtmf").in(RecordKind::InpOut),
    list("Out2dtmf").of("Out2mode_dtmf").in(RecordKind::InpOut),
    list("Out3dtmf").of("Out3mode_dtmf").in(RecordKind::InpOut),
    list("Out4dtmf").of("Out4mode_dtmf").in(RecordKind::InpOut),
    number("Out1act_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1pause_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1per_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2act_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2pause_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2per_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3act_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3pause_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3per_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4act_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4pause_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4per_dtmf").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    check("SSen"),
    // SSimpChange: an empty field becomes "1", more than 65000 pulses "65000" (the event timers' rule).
    number("SSimp").filter(KeyFilter::None).rule(Validator::DelayTimer),
};
static_assert(checkBindings(kOuts));

} // namespace

OutsPage::OutsPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::Outs, records, parent), m_ui(std::make_unique<Ui::OutsPage>())
{
    m_ui->setupUi(this);
    bindTable(kOuts);
}

OutsPage::~OutsPage() = default;

} // namespace rv
