// The generic binder on a few hand-made controls: the kinds of control the connection pages do not use.

#include "core/config/page_binding.h"
#include "ui/config/edit_rules.h"
#include "ui/config/page_binder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace rv;
using namespace rv::bind;

namespace {

constexpr std::array kTable{
    signedNumber("RS232_box1").filter(KeyFilter::Digit), // a baud rate: chosen from the list or typed
    signedNumber("RS232_box2"),                           // the same on a list that cannot be typed into
    number("Freq_level").of("FreqLevel", kCurrentElement), // exists for inputs 1 and 2 only
    number("VhighBar").of("InputThresholds", kCurrentElement).perItem(2, 1),
    radio("Image_dest_oh", "Image_dest_oh", 1),
    radio("Image_dest_ohinv", "Image_dest_oh", 0),
};
static_assert(checkBindings(kTable));

struct Page {
    QWidget page;
    QComboBox* baud1 = new QComboBox(&page);
    QComboBox* baud2 = new QComboBox(&page);
    QLineEdit* freq = new QLineEdit(&page);
    QLineEdit* high = new QLineEdit(&page);
    QRadioButton* server = new QRadioButton(&page);
    QRadioButton* card = new QRadioButton(&page);

    explicit Page()
    {
        const QStringList rates{QStringLiteral("9600"), QStringLiteral("115200")};
        baud1->setObjectName(QStringLiteral("RS232_box1"));
        baud1->setEditable(true);
        baud1->addItems(rates);
        baud2->setObjectName(QStringLiteral("RS232_box2"));
        baud2->addItems(rates);
        freq->setObjectName(QStringLiteral("Freq_level"));
        high->setObjectName(QStringLiteral("VhighBar"));
        server->setObjectName(QStringLiteral("Image_dest_oh"));
        card->setObjectName(QStringLiteral("Image_dest_ohinv"));
        auto* layout = new QVBoxLayout(&page);
        for (QWidget* w : std::initializer_list<QWidget*>{baud1, baud2, freq, high, server, card})
            layout->addWidget(w);
    }
};

} // namespace

TEST(PageBinder, ANumberInADropDownIsShownAsItsTextAndKeptWhenNoItemHasIt)
{
    ConfigRecords records;
    Page p;
    PageBinder binder(&p.page, kTable, records);
    records.config.setNumber(u"RS232_box1", 57601);
    records.config.setNumber(u"RS232_box2", 300);
    const QByteArray before = records.config.bytes();
    binder.spread(records);
    EXPECT_EQ(p.baud1->currentText(), QStringLiteral("57601"));
    EXPECT_EQ(p.baud2->currentIndex(), -1);
    EXPECT_EQ(p.baud2->placeholderText(), QStringLiteral("300"));
    EXPECT_TRUE(binder.gather(records).isEmpty());
    EXPECT_EQ(records.config.bytes(), before);

    p.baud2->setFocus();
    QTest::keyClick(p.baud2, Qt::Key_Down);
    p.baud1->lineEdit()->selectAll();
    QTest::keyClicks(p.baud1->lineEdit(), QStringLiteral("-19200"));
    EXPECT_EQ(p.baud1->currentText(), QStringLiteral("19200"));
    EXPECT_TRUE(binder.gather(records).isEmpty());
    EXPECT_EQ(records.config.bytes().mid(7, 8), QByteArray::fromHex("004b0000" "80250000"));
}

TEST(PageBinder, ARowOfTheCurrentItemFollowsTheItemAndSkipsItemsItsFieldLacks)
{
    ConfigRecords records;
    Page p;
    PageBinder binder(&p.page, kTable, records);
    records.config.setNumber(u"FreqLevel", 1, 500);
    records.config.setNumber(u"InputThresholds", 3, 700); // input 2, upper boundary
    binder.load(1);
    EXPECT_EQ(p.freq->text(), QStringLiteral("500"));
    EXPECT_EQ(p.high->text(), QStringLiteral("700"));

    // Input 3 has no frequency threshold: the edit is left alone and a change to it writes nothing.
    const QByteArray before = records.config.bytes();
    binder.load(2);
    EXPECT_EQ(p.freq->text(), QStringLiteral("500"));
    QTest::keyClicks(p.freq, QStringLiteral("1"));
    EXPECT_EQ(records.config.bytes(), before);
    p.high->selectAll();
    QTest::keyClicks(p.high, QStringLiteral("1000"));
    EXPECT_EQ(records.config.number(u"InputThresholds", 5).value, 1000);
    EXPECT_EQ(records.config.number(u"InputThresholds", 3).value, 700);
}

TEST(PageBinder, ARadioPairShowsTheBitOnItsFirstButtonAndTheInverseOnItsPartner)
{
    ConfigRecords records;
    Page p;
    PageBinder binder(&p.page, kTable, records);
    records.config.setNumber(u"Image_dest_oh", 1);
    binder.spread(records);
    EXPECT_TRUE(p.server->isChecked());
    EXPECT_FALSE(p.card->isChecked());
    p.card->click();
    EXPECT_TRUE(binder.gather(records).isEmpty());
    EXPECT_EQ(records.config.number(u"Image_dest_oh").value, 0);
    binder.spread(records);
    EXPECT_TRUE(p.card->isChecked());
}
