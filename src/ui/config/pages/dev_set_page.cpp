#include "ui/config/pages/dev_set_page.h"

#include "core/base/cp1251.h"
#include "ui/app/navigation.h"
#include "ui/config/pages/fuel_table_window.h"
#include "ui_dev_set_page.h"

#include <QSignalBlocker>

namespace rv {

namespace {

using namespace bind;

constexpr std::array kDevSet{
    // Serial port 1
    check("RS232_en1"),
    signedNumber("RS232_box1").filter(KeyFilter::Digit), // the number itself; one the list lacks is kept
    list("Device1"),
    number("Omniaddress1").rule(Validator::Val_0_255),
    number("Full_bak1").rule(Validator::EmptyZero),
    check("Omni_sum"),
    list("Image_rez"),
    // Serial port 2
    check("RS232_en2"),
    signedNumber("RS232_box2").filter(KeyFilter::Digit),
    list("Device2"),
    number("Omniaddress2").rule(Validator::Val_0_255),
    number("Full_bak2").rule(Validator::EmptyZero),
    list("Image_rez2").of("Image_rez"), // the second camera shares the resolution
    // CAN
    check("CAN_en"),
    list("CANrate"),
    // "Режим работы приемника"
    list("GLONASS_rej"),
    check("Nav_2D_en"),
    check("Logfile_en"),
    // "Пороги внешней температуры"
    signedNumber("TempLL1").rule(Validator::Temperature),
    signedNumber("TempLH1").rule(Validator::Temperature),
    signedNumber("TempLL2").rule(Validator::Temperature),
    signedNumber("TempLH2").rule(Validator::Temperature),
    check("Send_NMEA"),
    check("iBnS"),
};
static_assert(checkBindings(kDevSet));

// The baud rate a device needs, or nothing when the device leaves it to the user.
const char* baudFor(int k)
{
    switch (k) {
    case 1: case 5: return "19200";
    case 2: case 7: return "9600";
    case 3: case 8: return "115200";
    }
    return nullptr;
}

int valueOf(const QLineEdit* edit)
{
    return edit->text().toInt();
}

} // namespace

DevSetPage::DevSetPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::Dev_set, records, parent), m_ui(std::make_unique<Ui::DevSetPage>())
{
    m_ui->setupUi(this);
    bindTable(kDevSet);
    connect(m_ui->Device1, &QComboBox::activated, this, &DevSetPage::Device1Change);
    connect(m_ui->Device2, &QComboBox::activated, this, &DevSetPage::Device2Change);
    connect(m_ui->Full_bak1, &QLineEdit::textEdited, this, [this] { Omni_sumRule(true); });
    connect(m_ui->Full_bak2, &QLineEdit::textEdited, this, [this] { Omni_sumRule(true); });
    connect(m_ui->Edit_table1, &QAbstractButton::clicked, this, &DevSetPage::Edit_table1Click);
    connect(m_ui->Edit_table2, &QAbstractButton::clicked, this, &DevSetPage::Edit_table1Click);
    connect(m_ui->Button1, &QAbstractButton::clicked, this, &DevSetPage::Button1Click);
    connect(m_ui->Image_rez, &QComboBox::activated, this, &DevSetPage::Image_rezChange);
    connect(m_ui->Image_rez2, &QComboBox::activated, this, &DevSetPage::Image_rez2Change);
    connect(m_ui->View_image1, &QAbstractButton::clicked, this, [this] { emit snapshotRequested(1); });
    connect(m_ui->View_image2, &QAbstractButton::clicked, this, [this] { emit snapshotRequested(2); });
    showPort1(0);
    showPort2(0);
}

DevSetPage::~DevSetPage() = default;

void DevSetPage::readRecord(ConfigRecords& from, RecordKind kind)
{
    EditorPage::readRecord(from, kind);
    if (kind != RecordKind::Config)
        return;
    // The sub-pages the stored devices call for, with the fuel sensors' arrangement, but none of the
    // handlers' changes to other controls: the record is shown as it is.
    showPort1(m_ui->Device1->currentIndex());
    showPort2(m_ui->Device2->currentIndex());
    // A fuel table editor left open shows the new tables: its "Сохранить" never writes the old ones back.
    if (m_fuelTable && m_fuelTable->isVisible())
        m_fuelTable->FormShow();
}

void DevSetPage::refreshEnabling()
{
    Omni_sumRule(false);
}

int DevSetPage::subPage(int port) const
{
    const QStackedWidget* stack = port == 1 ? m_ui->Page_device1 : m_ui->Page_device2;
    return stack->isHidden() ? -1 : stack->currentIndex();
}

bool DevSetPage::sensor2OnPort1() const
{
    return m_ui->Sensor2Fields->parentWidget() == m_ui->Omnicomm;
}

void DevSetPage::showPort1(int k)
{
    QStackedWidget* stack = m_ui->Page_device1;
    const bool both = k == kFuelSensors485;
    const int page = both ? kOmnicomm : k;
    // Both RS485 sensors are set on one sub-page: the second one's address and full tank join the first's.
    if (both != sensor2OnPort1()) {
        (both ? m_ui->TabSheet1Sensor2 : m_ui->OmnicommSensor2)->removeWidget(m_ui->Sensor2Fields);
        (both ? m_ui->OmnicommSensor2 : m_ui->TabSheet1Sensor2)->addWidget(m_ui->Sensor2Fields);
    }
    stack->setVisible(page >= 0 && page < stack->count());
    if (page >= 0 && page < stack->count())
        stack->setCurrentIndex(page);
}

void DevSetPage::showPort2(int k)
{
    QStackedWidget* stack = m_ui->Page_device2;
    stack->setVisible(k >= 0 && k < stack->count());
    if (k >= 0 && k < stack->count())
        stack->setCurrentIndex(k);
}

void DevSetPage::setBaudRate(int port, int k)
{
    const char* baud = baudFor(k);
    QComboBox* box = port == 1 ? m_ui->RS232_box1 : m_ui->RS232_box2;
    if (!baud)
        return;
    box->setPlaceholderText(QString());
    box->setCurrentIndex(box->findText(QLatin1String(baud)));
}

void DevSetPage::Device1Change(int k)
{
    if (k == kFuelSensors485 && m_ui->Device2->currentIndex() == kOmnicomm) {
        m_ui->Device2->setCurrentIndex(0);
        showPort2(0);
    }
    showPort1(k);
    setBaudRate(1, k);
    m_ui->RS232_en1->setChecked(k != 0);
}

void DevSetPage::Device2Change(int k)
{
    showPort2(k);
    setBaudRate(2, k);
    m_ui->RS232_en2->setChecked(k != 0);
    if (k == kIridium)
        emit satelliteModemRequested();
}

void DevSetPage::Omni_sumRule(bool byUser)
{
    const bool twoSensors
        = m_ui->Device2->currentIndex() == kOmnicomm || m_ui->Device1->currentIndex() == kFuelSensors485;
    const bool offered = valueOf(m_ui->Full_bak1) > 0 && valueOf(m_ui->Full_bak2) > 0 && twoSensors;
    m_ui->Omni_sum->setEnabled(offered);
    if (!offered && byUser)
        m_ui->Omni_sum->setChecked(false);
}

void DevSetPage::Edit_table1Click()
{
    if (!m_fuelTable)
        return;
    // Modal: while the tables are edited, nothing the user does elsewhere replaces the records under them.
    m_fuelTable->open();
    m_fuelTable->raise();
    m_fuelTable->activateWindow();
}

void DevSetPage::Button1Click()
{
    if (const auto tail = cp1251::encode(m_ui->Edit1->text()))
        emit commandRequested(*tail);
}

void DevSetPage::Image_rezChange(int index)
{
    const QSignalBlocker block(m_ui->Image_rez2);
    m_ui->Image_rez2->setCurrentIndex(index);
}

void DevSetPage::Image_rez2Change(int index)
{
    const QSignalBlocker block(m_ui->Image_rez);
    m_ui->Image_rez->setCurrentIndex(index);
}

int DevSetPage::imageResolution(int camera) const
{
    return (camera == 2 ? m_ui->Image_rez2 : m_ui->Image_rez)->currentIndex();
}

void DevSetPage::setImageSize(int camera, quint32 size)
{
    (camera == 2 ? m_ui->Len_image2 : m_ui->Len_image)->setText(QStringLiteral("Размер, байт: ") + QString::number(size));
}

} // namespace rv
