#include "ui/config/pages/power_page.h"

#include "ui/app/navigation.h"
#include "ui_power_page.h"

namespace rv {

namespace {

using namespace bind;
constexpr RecordKind kIo = RecordKind::InpOut;

// Counts × 36.3 / 1023 volts, shown with three significant digits.
constexpr int kVoltsNum = 363;
constexpr int kVoltsDen = 10230;

constexpr std::array kPower{
    volts("Extvoltlev", kVoltsNum, kVoltsDen).rule(Validator::Extvoltlev),
    number("Timeextvolt"),
    // The low-supply output reaction of the input/output record.
    list("Out1extlow").of("Out1mode_extlow").in(kIo),
    number("Out1act_extlow").in(kIo).rule(Validator::Val_1_255),
    number("Out1pause_extlow").in(kIo).rule(Validator::Val_1_255),
    number("Out1per_extlow").in(kIo).rule(Validator::Val_1_255),
    list("Out2extlow").of("Out2mode_extlow").in(kIo),
    number("Out2act_extlow").in(kIo).rule(Validator::Val_1_255),
    number("Out2pause_extlow").in(kIo).rule(Validator::Val_1_255),
    number("Out2per_extlow").in(kIo).rule(Validator::Val_1_255),
    list("Out3extlow").of("Out3mode_extlow").in(kIo),
    number("Out3act_extlow").in(kIo).rule(Validator::Val_1_255),
    number("Out3pause_extlow").in(kIo).rule(Validator::Val_1_255),
    number("Out3per_extlow").in(kIo).rule(Validator::Val_1_255),
    list("Out4extlow").of("Out4mode_extlow").in(kIo),
    number("Out4act_extlow").in(kIo).rule(Validator::Val_1_255),
    number("Out4pause_extlow").in(kIo).rule(Validator::Val_1_255),
    number("Out4per_extlow").in(kIo).rule(Validator::Val_1_255),
};
static_assert(checkBindings(kPower));

} // namespace

PowerPage::PowerPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::Power, records, parent), m_ui(std::make_unique<Ui::PowerPage>())
{
    m_ui->setupUi(this);
    bindTable(kPower);
}

PowerPage::~PowerPage() = default;

} // namespace rv
