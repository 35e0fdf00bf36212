#include "ui/config/pages/gps_set_page.h"

#include "core/config/track_presets.h"
#include "ui/app/navigation.h"
#include "ui/config/edit_rules.h"
#include "ui_gps_set_page.h"

#include <QAbstractButton>
#include <QLineEdit>

namespace rv {

namespace {

using namespace bind;

constexpr std::array kGpsSet{
    // "Во время стоянки"
    check("ParkCheck"),
    number("TimePark").rule(Validator::Val_1_255),
    // The record holds 16 bits: a larger value is brought down to 65535 where the user sees it.
    number("Perpackstop").rule(Validator::Val_1_65535),
    number("Perpackstop2").rule(Validator::Val_1_65535),
    // "Параметры движения"
    number("Accel_sens"),
    number("Timeoutstop"),
    number("Perpackmove"),
    number("Packdist").rule(Validator::Val_1_255),
    check("Filterline"),
    number("Filterlineangel").rule(Validator::Val_1_255),
    check("Perestroi"),
    // "Прорисовка на углах"
    number("Minangel").rule(Validator::Val_1_255),
    number("Minspeedangel").rule(Validator::Val_1_255),
    // The coordinate filter
    check("Filter_coord"),
    tenths("MaxHdop").rule(Validator::MaxHdop),
    number("Minspeed").rule(Validator::Val_1_255),
    number("Maxspeed").rule(Validator::Val_1_255),
    number("Maxdist").rule(Validator::Val_1_255),
    tenths("Maxaccel").rule(Validator::MaxHdop),
};
static_assert(checkBindings(kGpsSet));

} // namespace

GpsSetPage::GpsSetPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::GPS_Set, records, parent), m_ui(std::make_unique<Ui::GpsSetPage>())
{
    m_ui->setupUi(this);
    bindTable(kGpsSet);
    connect(m_ui->RzBitBtn1, &QAbstractButton::clicked, this, &GpsSetPage::RzBitBtn1Click);
    connect(m_ui->RzBitBtn2, &QAbstractButton::clicked, this, &GpsSetPage::RzBitBtn2Click);
    connect(m_ui->RzBitBtn3, &QAbstractButton::clicked, this, &GpsSetPage::RzBitBtn3Click);
}

GpsSetPage::~GpsSetPage() = default;

void GpsSetPage::applyPreset(int profile)
{
    for (const PresetControl& p : trackPreset(profile)) {
        const QString name = QString::fromLatin1(p.control.data(), qsizetype(p.control.size()));
        if (p.isCheck()) {
            if (auto* box = findChild<QAbstractButton*>(name))
                box->setChecked(p.checked);
        } else if (auto* edit = findChild<QLineEdit*>(name)) {
            edit->setText(QString::fromLatin1(p.text.data(), qsizetype(p.text.size())));
            setInvalidCue(edit, false);
        }
    }
}

} // namespace rv
