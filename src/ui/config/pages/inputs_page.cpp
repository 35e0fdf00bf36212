#include "ui/config/pages/inputs_page.h"

#include "ui/app/navigation.h"
#include "ui/config/page_binder.h"
#include "ui_inputs_page.h"

#include <QAbstractButton>

#include <QSignalBlocker>

namespace rv {

namespace {

using namespace bind;
constexpr int kC = kCurrentElement;

constexpr std::array kInputs{
    list("Inputtype").at(kC),
    list("Aktivinlevel").at(kC),
    // The value labels show volts: the page sets them, not the binder.
    slider("VlowBar", "").of("InputThresholds", kC).perItem(2, 0),
    slider("VhighBar", "").of("InputThresholds", kC).perItem(2, 1),
    slider("LenFilterBar", "").of("InputFilter", kC),
    // Inputs 1 and 2 only: the field has no element for the others, so the page never reads or writes there.
    number("Freq_level").of("FreqLevel", kC),
    list("Out1inact").of("Out1mode_actin", kC).in(RecordKind::InpOut),
    list("Out2inact").of("Out2mode_actin", kC).in(RecordKind::InpOut),
    list("Out3inact").of("Out3mode_actin", kC).in(RecordKind::InpOut),
    list("Out4inact").of("Out4mode_actin", kC).in(RecordKind::InpOut),
    number("Out1act_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1pause_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1per_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2act_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2pause_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2per_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3act_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3pause_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3per_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4act_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4pause_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4per_actin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    list("Out1inpass").of("Out1mode_passin", kC).in(RecordKind::InpOut),
    list("Out2inpass").of("Out2mode_passin", kC).in(RecordKind::InpOut),
    list("Out3inpass").of("Out3mode_passin", kC).in(RecordKind::InpOut),
    list("Out4inpass").of("Out4mode_passin", kC).in(RecordKind::InpOut),
    number("Out1act_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1pause_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1per_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2act_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2pause_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2per_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3act_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3pause_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3per_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4act_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4pause_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4per_passin").at(kC).rule(Validator::Val_1_255).in(RecordKind::InpOut),
};
static_assert(checkBindings(kInputs));

// Freq_levelChange: an empty text stands (nothing is stored); more than the field holds becomes its largest value.
void boundFreqLevel(QLineEdit* edit)
{
    bool ok = false;
    const qlonglong v = edit->text().toLongLong(&ok);
    if (ok && v > 65535 && isWholeNumber(edit->text()))
        edit->setText(QStringLiteral("65535"));
}

const char* colourName(inputs::BarColour c)
{
    switch (c) {
    case inputs::BarColour::Red: return "red";
    case inputs::BarColour::Green: return "green";
    case inputs::BarColour::Blue: break;
    }
    return "blue";
}

} // namespace

InputsPage::InputsPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::Inputs, records, parent), m_ui(std::make_unique<Ui::InputsPage>())
{
    m_ui->setupUi(this);
    // Connected before the binder's own handler, so that the corrected text is what gets stored.
    connect(m_ui->Freq_level, &QLineEdit::textEdited, this, [this] { boundFreqLevel(m_ui->Freq_level); });
    bindTable(kInputs);
    // After the binder's handlers: the record already holds the control's new value.
    connect(m_ui->Inputtype, &QComboBox::activated, this, &InputsPage::InputtypeChange);
    connect(m_ui->VhighBar, &QSlider::valueChanged, this, &InputsPage::VhighBarChange);
    connect(m_ui->VlowBar, &QSlider::valueChanged, this, &InputsPage::VlowBarChange);
    connect(m_ui->LenFilterBar, &QSlider::valueChanged, this, &InputsPage::LenFilterBarChange);
    showLabels();
    showFreqLevel();
}

InputsPage::~InputsPage() = default;

int InputsPage::input() const
{
    return binder()->element();
}

int InputsPage::type() const
{
    return m_ui->Inputtype->currentIndex();
}

void InputsPage::readRecord(ConfigRecords& from, RecordKind kind)
{
    EditorPage::readRecord(from, kind);
    if (kind != RecordKind::ConfSe)
        loadElement(input());
}

void InputsPage::fillTypeList(int input)
{
    // The navigation tree rebuilds the list when an input is selected; a page filled before any selection
    // (at start, after a read) builds it here.
    const QStringList items = inputs::typeItems(unit(), input);
    QStringList now;
    for (int i = 0; i < m_ui->Inputtype->count(); ++i)
        now << m_ui->Inputtype->itemText(i);
    if (now == items)
        return;
    const QSignalBlocker block(m_ui->Inputtype);
    m_ui->Inputtype->clear();
    m_ui->Inputtype->addItems(items);
}

void InputsPage::loadElement(int input)
{
    m_guard = false;
    input = std::clamp(input, 0, inputs::kInputs - 1);
    fillTypeList(input);
    m_ui->Labelinput->setText(inputs::titleText(unit(), input));
    binder()->load(input);
    showLabels();
    showFreqLevel();
    refreshEnabling();
    m_guard = true;
}

void InputsPage::showLabels()
{
    const int i = binder() ? input() : 0;
    // The labels tell what the record holds, also a value past the slider's range that its position clamps.
    const auto stored = [&](const char16_t* field, int element, const QSlider* bar) {
        const FieldResult<qint64> v = records().config.number(field, element);
        return binder() && v ? int(v.value) : bar->value();
    };
    const int filter = stored(u"InputFilter", i, m_ui->LenFilterBar);
    m_ui->LVhigh->setText(inputs::voltsText(stored(u"InputThresholds", i * 2 + 1, m_ui->VhighBar), i, type()));
    m_ui->LVlow->setText(inputs::voltsText(stored(u"InputThresholds", i * 2, m_ui->VlowBar), i, type()));
    m_ui->LVtek->setText(inputs::voltsText(m_liveCount, i, type()));
    m_ui->LFilter->setNum(filter);
    m_ui->LFilterms->setText(inputs::filterTimeText(filter, i, type()));
}

void InputsPage::showFreqLevel()
{
    const bool on = binder() && inputs::hasFreqLevel(input(), type());
    m_ui->Freq_level->setVisible(on);
    m_ui->Label170->setVisible(on);
    if (on)
        m_ui->Label170->setText(inputs::freqLevelCaption(type()));
}

void InputsPage::InputtypeChange(int t)
{
    ConfigBlock& config = records().config;
    // The binder has stored the current input's type; a coupled input takes the same type.
    if (const auto other = inputs::coupledInput(unit(), input(), t))
        config.setNumber(u"Inputtype", *other, t);
    showLabels();
    showFreqLevel();
    if (inputs::isSpecialFunction(unit(), input(), t)) {
        {
            const QSignalBlocker block(m_ui->Aktivinlevel);
            m_ui->Aktivinlevel->setCurrentIndex(inputs::kSpecialLevel);
        }
        config.setNumber(u"Aktivinlevel", input(), inputs::kSpecialLevel);
        m_ui->VhighBar->setValue(inputs::kSpecialUpper); // stored, and drags the lower limit along
        // Inputs 6..8 with a special function are not guarded: the user's choice takes the input out of the
        // guarded set (the security page locks its box).
        if (input() >= 5)
            if (auto* guard = window()->findChild<QAbstractButton*>(QStringLiteral("INOh%1").arg(input() + 1)))
                guard->setChecked(false);
    }
    // The filter's labels followed the new type in showLabels, from the stored length: a length the slider
    // cannot show is neither stored nor shown as the slider's nearest position.
}

void InputsPage::VhighBarChange(int value)
{
    m_ui->LVhigh->setText(inputs::voltsText(value, input(), type()));
    if (m_guard && value < m_ui->VlowBar->value())
        m_ui->VlowBar->setValue(value); // its handler stores the lower limit
}

void InputsPage::VlowBarChange(int value)
{
    m_ui->LVlow->setText(inputs::voltsText(value, input(), type()));
    if (m_guard && value > m_ui->VhighBar->value())
        m_ui->VhighBar->setValue(value);
}

void InputsPage::LenFilterBarChange(int value)
{
    m_ui->LFilter->setNum(value);
    m_ui->LFilterms->setText(inputs::filterTimeText(value, input(), type()));
}

void InputsPage::showLiveCount(int count)
{
    m_liveCount = count;
    m_ui->VtekBar->setValue(std::clamp(count, 0, inputs::kAdcMax));
    m_ui->LVtek->setText(inputs::voltsText(count, input(), type()));
    const auto level = records().config.number(u"Aktivinlevel", input());
    m_liveColour = inputs::barColour(level ? int(level.value) : -1, m_ui->VlowBar->value(), m_ui->VhighBar->value(),
                                     count);
    m_ui->VtekBar->setStyleSheet(
        QStringLiteral("QProgressBar::chunk { background-color: %1; }").arg(QLatin1String(colourName(m_liveColour))));
}

} // namespace rv
