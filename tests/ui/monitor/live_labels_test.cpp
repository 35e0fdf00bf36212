// The monitor page's labels in their slots, drawn by the backdrop painter: a label is never cut short of its
// text, a value that needs no more room lays nothing out again, and what the painter draws is, pixel for
// pixel, what QLabel draws itself.

#include "ui/monitor/label_backdrop.h"
#include "ui/monitor/label_slot.h"

#include <QApplication>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QRandomGenerator>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

using namespace rv;

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

// A group of labels in a grid as the page has them, each in its slot and painted by the backdrop painter.
struct HeldGroup {
    QWidget window;
    QLabel* value;
    QLabel* neighbour;
    QLabel* below;
    HeldGroup()
    {
        auto* grid = new QGridLayout(&window);
        value = new QLabel(QStringLiteral("Широта: 55,7"), &window);
        value->setObjectName(QStringLiteral("value"));
        neighbour = new QLabel(QStringLiteral("Uпит: 12,0"), &window);
        below = new QLabel(QStringLiteral("Курс, град.: 0"), &window);
        grid->addWidget(value, 0, 0);
        grid->addWidget(neighbour, 0, 1);
        grid->addWidget(below, 1, 0);
        grid->setColumnStretch(2, 1);
        grid->setRowStretch(2, 1);
        EXPECT_EQ(LabelSlot::holdLabels(&window), 3);
        (new LabelBackdrop(&window))->addLabels(&window);
        window.resize(500, 200);
        window.show();
        settle();
    }
    LabelSlot* slot() const { return qobject_cast<LabelSlot*>(value->parentWidget()); }
};

QImage shown(QWidget* w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST(LiveLabels, ALabelIsNeverNarrowerThanItsTextAndOnlyGrowthLaysOutAgain)
{
    HeldGroup g;
    LabelSlot* slot = g.slot();
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->label(), g.value);
    EXPECT_EQ(g.window.findChild<QLabel*>(QStringLiteral("value")), g.value); // found by name as before

    QRandomGenerator random(7);
    const QString digits = QStringLiteral("0123456789-,");
    const QString wide = QStringLiteral("ШЖЩМW");
    QSize widest = g.value->sizeHint();
    for (int i = 0; i < 300; ++i) {
        QString text = QStringLiteral("Широта: ");
        const int length = 1 + random.bounded(i % 50 == 49 ? 20 : 8);
        for (int k = 0; k < length; ++k)
            text += (i % 37 == 36 ? wide : digits).at(random.bounded(i % 37 == 36 ? wide.size() : digits.size()));
        const QPoint neighbourAt = g.neighbour->mapTo(&g.window, QPoint(0, 0));
        const QSize before = slot->sizeHint();
        g.value->setText(text);
        settle();
        const QSize natural = g.value->sizeHint();
        ASSERT_GE(g.value->width(), natural.width()) << qPrintable(text);
        ASSERT_GE(g.value->height(), natural.height()) << qPrintable(text);
        ASSERT_EQ(g.value->size(), slot->size()) << qPrintable(text);
        // The slot asks for what the widest text so far needed, exactly: no more, and never less.
        widest = widest.expandedTo(natural);
        ASSERT_EQ(slot->sizeHint(), widest) << qPrintable(text);
        if (slot->sizeHint() == before) { // no wider than before: nothing beside it moved
            ASSERT_EQ(g.neighbour->mapTo(&g.window, QPoint(0, 0)), neighbourAt) << qPrintable(text);
        }
    }
    EXPECT_GT(widest.width(), QLabel(QStringLiteral("Широта: 55,7")).sizeHint().width());
}

TEST(LiveLabels, SlotFollowsTheLabelsVisibilityLookAndTextsSetWhileHidden)
{
    HeldGroup g;
    LabelSlot* slot = g.slot();
    ASSERT_NE(slot, nullptr);

    // Hidden, the label leaves its row to the others as a label in the grid itself would.
    const int rowBelow = g.below->mapTo(&g.window, QPoint(0, 0)).y();
    g.value->hide();
    settle();
    EXPECT_TRUE(slot->isHidden());
    g.value->show();
    settle();
    EXPECT_FALSE(slot->isHidden());
    EXPECT_TRUE(g.value->isVisible());
    EXPECT_EQ(g.below->mapTo(&g.window, QPoint(0, 0)).y(), rowBelow);

    // A text set while the window is hidden is measured when it shows again.
    g.window.hide();
    g.value->setText(QStringLiteral("Широта: 55,75581234567890123456"));
    g.window.show();
    settle();
    EXPECT_GE(g.value->width(), g.value->sizeHint().width());

    // A smaller font is a new look: the slot measures afresh and may shrink.
    const int wideWidth = slot->sizeHint().width();
    QFont small = g.value->font();
    small.setPointSizeF(small.pointSizeF() / 2);
    g.value->setFont(small);
    settle();
    EXPECT_LT(slot->sizeHint().width(), wideWidth);
    EXPECT_EQ(slot->sizeHint(), g.value->sizeHint());
    EXPECT_GE(g.value->width(), g.value->sizeHint().width());
}

TEST(LiveLabels, PainterDrawsWhatQLabelDraws)
{
    struct Look {
        Qt::Alignment align;
        int margin, indent;
        QMargins contents;
        qreal points;
    };
    const Look looks[] = {
        {Qt::AlignLeft | Qt::AlignVCenter, 0, -1, {}, 0},
        {Qt::AlignRight | Qt::AlignVCenter, 0, -1, {}, 0},
        {Qt::AlignHCenter | Qt::AlignTop, 2, -1, {}, 11.5},
        {Qt::AlignLeft | Qt::AlignBottom, 0, 6, {4, 1, 4, 1}, 0},
        {Qt::AlignRight | Qt::AlignBottom, 3, 4, {1, 2, 3, 4}, 13},
        {Qt::AlignCenter, 1, 0, {}, 7.5},
    };
    const QString texts[] = {
        QStringLiteral("Широта: 55,755812"), QStringLiteral("Uпит: 12,45 В"), QStringLiteral("Accel_X: -7"),
        QStringLiteral("Координаты: не валидны   "), QStringLiteral("   Тахометр, об/мин: 1800"), QString(),
        QStringLiteral("Уровень топлива в баке, %: 100,00 и ещё очень длинный хвост, что не поместится"),
    };
    for (const Look& look : looks) {
        for (const QString& text : texts) {
            // The same label twice: held and painted by the backdrop painter, and a plain QLabel.
            const auto dress = [&](QLabel* l) {
                l->setAlignment(look.align);
                l->setMargin(look.margin);
                l->setIndent(look.indent);
                l->setContentsMargins(look.contents);
                if (look.points > 0) {
                    QFont f = l->font();
                    f.setPointSizeF(look.points);
                    l->setFont(f);
                }
                // Sized by the window, whatever the text asks for (a long one is cut, and drawn clipped).
                l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
            };
            QWidget heldWindow, plainWindow;
            auto* held = new QLabel(&heldWindow);
            auto* plain = new QLabel(&plainWindow);
            dress(held);
            dress(plain);
            for (QWidget* w : {&heldWindow, &plainWindow}) {
                auto* grid = new QGridLayout(w);
                grid->setContentsMargins(0, 0, 0, 0);
                grid->addWidget(w->findChild<QLabel*>(), 0, 0);
                w->setFixedSize(220, 40);
            }
            ASSERT_EQ(LabelSlot::holdLabels(&heldWindow), 1);
            (new LabelBackdrop(&heldWindow))->addLabels(&heldWindow);
            heldWindow.show();
            plainWindow.show();
            settle();
            held->setText(QStringLiteral("x")); // a first value, then the one compared: as the monitor sets them
            settle();
            held->setText(text);
            plain->setText(text);
            settle();
            const auto* slot = qobject_cast<const LabelSlot*>(held->parentWidget());
            ASSERT_NE(slot, nullptr);
            if (!text.isEmpty()) {
                EXPECT_TRUE(slot->line().holds(*held)) << qPrintable(text); // the painter draws the line
            }
            ASSERT_EQ(held->size(), plain->size());
            EXPECT_TRUE(shown(held) == shown(plain))
                << "alignment " << int(look.align) << ", margin " << look.margin << ", indent " << look.indent
                << ", text \"" << qPrintable(text) << "\"";
        }
    }
}
