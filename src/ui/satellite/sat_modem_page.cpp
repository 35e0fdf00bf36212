#include "ui/satellite/sat_modem_page.h"

#include "ui/app/navigation.h"
#include "ui_sat_modem_page.h"

#include <QDialog>

namespace rv {

namespace {

using namespace bind;
constexpr RecordKind kSe = RecordKind::ConfSe;

constexpr std::array kSatModem{
    radio("IRmessend", "IRmessend", 1),
    radio("IRbufsend", "IRmessend", 0),
    number("IRbuf"), // its own rule: IRbufChange / IRbufDone
    radio("IRbyDist", "IRbyDist", 1),
    radio("IRbyTime", "IRbyDist", 0),
    number("IRSAVEINT_").rule(Validator::Val_1_65535),
    number("IRDIST").rule(Validator::Val_1_255),
    check("IRparking"),
    number("IRPARKTIME").in(kSe).rule(Validator::Val_1_65535),
    check("HandIridium"),
};
static_assert(checkBindings(kSatModem));

void correct(QLineEdit* edit, const std::optional<QString>& replacement)
{
    if (replacement && *replacement != edit->text()) {
        edit->setText(*replacement);
        edit->setModified(true);
    }
}

} // namespace

SatModemPage::SatModemPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::SAT_modem, records, parent), m_ui(std::make_unique<Ui::SatModemPage>())
{
    m_ui->setupUi(this);
    m_ui->Label240->hide(); // "с предустановками" shows only for parameters from the tariff server
    bindTable(kSatModem);
    connect(m_ui->RzCheckBox3, &QAbstractButton::clicked, this, &SatModemPage::RzCheckBox3Click);
    connect(m_ui->RzRG4Item0, &QAbstractButton::clicked, this, &SatModemPage::RzRG4Click);
    connect(m_ui->RzRG4Item1, &QAbstractButton::clicked, this, &SatModemPage::RzRG4Click);
    connect(m_ui->IRbuf, &QLineEdit::textEdited, this, [this] { correct(m_ui->IRbuf, sat::IRbufChange(m_ui->IRbuf->text())); });
    connect(m_ui->IRbuf, &QLineEdit::editingFinished, this, [this] {
        if (m_ui->IRbuf->isModified())
            correct(m_ui->IRbuf, sat::IRbufDone(m_ui->IRbuf->text()));
    });
}

SatModemPage::~SatModemPage() = default;

QStringList SatModemPage::gatherRecord(ConfigRecords& to, RecordKind kind)
{
    // A buffer size still being typed gets its lower bound before it is stored; one shown from the record
    // and left alone goes back as it was.
    if (kind == RecordKind::Config && m_ui->IRbuf->isModified())
        correct(m_ui->IRbuf, sat::IRbufDone(m_ui->IRbuf->text()));
    return EditorPage::gatherRecord(to, kind);
}

uint8_t SatModemPage::tariff() const
{
    return uint8_t(records().config.number(u"SatTariff").value);
}

bool SatModemPage::iridium() const
{
    return m_iridium ? m_iridium() : sat::iridiumOnPort2(records().config);
}

void SatModemPage::EnSatPanels(bool on)
{
    m_ui->RzRadioGroup2->setEnabled(on);
    m_ui->RzGroupBox50->setEnabled(on);
    m_ui->RzGroupBox51->setEnabled(on);
}

void SatModemPage::applyParams(const sat::SatParams& p)
{
    auto text = [](QLineEdit* e, const std::optional<int>& v) {
        if (v) {
            e->setText(QString::number(*v));
            e->setModified(false);
        }
    };
    if (p.messend)
        (*p.messend ? m_ui->IRmessend : m_ui->IRbufsend)->setChecked(true);
    text(m_ui->IRbuf, p.bufSize);
    if (p.byTime)
        (*p.byTime ? m_ui->IRbyTime : m_ui->IRbyDist)->setChecked(true);
    text(m_ui->IRDIST, p.dist);
    text(m_ui->IRSAVEINT_, p.moveInterval);
    if (p.parking)
        m_ui->IRparking->setChecked(*p.parking);
    text(m_ui->IRPARKTIME, p.parkInterval);
    if (p.manual)
        m_ui->HandIridium->setChecked(*p.manual);
}

void SatModemPage::setTransmitter(bool on)
{
    const bool was = m_ui->RzCheckBox3->isChecked();
    m_ui->RzCheckBox3->setChecked(on);
    // A change the program makes reaches the box's handler as a click would, with the guard up.
    if (was != on)
        RzCheckBox3Click();
}

void SatModemPage::SatSetTarif(uint8_t value, sat::SatMode mode)
{
    const sat::SatResult r = sat::SatSetTarif(value, mode, iridium());
    if (!r.message.isEmpty())
        emit message(r.message);
    if (r.tariff)
        records().config.setNumber(u"SatTariff", *r.tariff);
    if (!r.view)
        return;
    const sat::SatView& v = *r.view;
    m_ui->Label230->setText(v.tariffText);
    m_ui->Label233->setText(v.fuelText);
    m_ui->Label234->setText(v.odometerText);
    if (r.params)
        applyParams(*r.params);
    const bool guard = m_guard;
    m_guard = true;
    setTransmitter(v.transmitterChecked);
    (v.serviceItem == 1 ? m_ui->RzRG4Item1 : m_ui->RzRG4Item0)->setChecked(true);
    m_guard = guard;
    if (v.groupsEnabled)
        EnSatPanels(*v.groupsEnabled);
    m_ui->RzRG4->setEnabled(v.serviceEnabled);
    m_ui->Label240->setVisible(v.presetLabelVisible);
}

void SatModemPage::StrToParam(QByteArrayView text)
{
    applyParams(sat::StrToParam(text).params);
    records().config.setNumber(u"SatTariff", sat::withPresetBit(tariff()));
    EnSatPanels(false);
    m_ui->RzRG4->setEnabled(false);
    m_ui->Label240->setVisible(true);
}

void SatModemPage::RzCheckBox3Click()
{
    QCheckBox* box = m_ui->RzCheckBox3;
    if (!iridium()) {
        if (box->isChecked())
            emit message(QStringLiteral("В настройках периферии не указан тип спутникового передатчика.\r\n"
                                        "Укажите, Сохраните и Перезагрузите прибор !"));
        box->setChecked(false);
        return;
    }
    if (tariff() == sat::kThirdParty)
        return;
    if (!m_guard)
        EnSatPanels(false);
    if (box->isChecked()) {
        if (tariff() == 0 && m_tariffWindow)
            m_tariffWindow->open();
        return;
    }
    records().config.setNumber(u"SatTariff", 0);
    // Without a tariff the page shows none, rather than the plan it had.
    if (!m_guard)
        SatSetTarif(0, sat::SatMode::Page);
}

void SatModemPage::RzRG4Click()
{
    if (m_guard)
        return;
    SatSetTarif(m_ui->RzRG4Item1->isChecked() ? sat::kThirdParty : 0, sat::SatMode::Page);
}

void SatModemPage::Load_default()
{
    m_ui->RzCheckBox3->setChecked(false);
}

void SatModemPage::tariffWindowClosed(bool planReceived)
{
    if (!planReceived)
        m_ui->RzCheckBox3->setChecked(false);
}

} // namespace rv
