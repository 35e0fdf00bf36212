#include "ui/monitor/status_window.h"

#include "ui/monitor/label_updates.h"

#include <QGridLayout>
#include <algorithm>
#include <QLabel>

namespace rv {

StatusWindow::StatusWindow(QWidget* parent) : QDialog(parent), m_targets(this)
{
    setObjectName(QStringLiteral("TForm11"));
    setWindowTitle(QStringLiteral("Статус"));
    setModal(false);
    // Each line has a caption and a value; the values stay empty until the first navigation block, so
    // the window says from the start what it will show.
    static const char16_t* const kCaptions[kLabels - 1] = {
        u"Питание:", u"Движение:", u"Охрана:", u"GSM:", u"GPRS:", u"Приемник:",
    };
    auto* layout = new QGridLayout(this);
    layout->setVerticalSpacing(2);
    layout->setColumnStretch(1, 1);
    for (int i = 0; i < kLabels; ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("Status_L") + QString::number(i));
        l->setMinimumWidth(240);
        l->setContentsMargins(4, 1, 4, 1);
        if (i < kLabels - 1) {
            auto* caption = new QLabel(QString::fromUtf16(kCaptions[i]), this);
            caption->setObjectName(QStringLiteral("Status_caption") + QString::number(i));
            caption->setContentsMargins(4, 1, 4, 1);
            layout->addWidget(caption, i, 0);
            layout->addWidget(l, i, 1);
            m_captions[i] = caption;
        } else {
            layout->addWidget(l, i, 0, 1, 2); // the battery warning, a whole line of its own
        }
        m_labels[i] = l;
    }
    layout->setRowStretch(kLabels, 1);
    // The battery warning has a fixed text on red; the monitor only shows and hides it.
    applyLabelUpdates(this, {LabelUpdate{QStringLiteral("Status_L6"), QStringLiteral("Аккумулятор не подключен (разряжен)"),
                                         LabelColor::Red, false}});
    // Keep the window's size when the warning comes and goes.
    QSizePolicy policy = m_labels[6]->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_labels[6]->setSizePolicy(policy);
}

StatusPlacement placeBeside(const QRect& mainFrame, const QSize& statusFrame, const QRect& available)
{
    constexpr int kGap = 12; // room for a frame the window manager adds later, and a little air
    const QRect& a = available;
    const int sw = statusFrame.width(), sh = statusFrame.height();
    const int top = std::clamp(mainFrame.y(), a.y(), std::max(a.y(), a.y() + a.height() - sh));
    const int right = mainFrame.x() + mainFrame.width() + kGap;
    if (right + sw <= a.x() + a.width())
        return {mainFrame.topLeft(), {right, top}};
    const int left = mainFrame.x() - kGap - sw;
    if (left >= a.x())
        return {mainFrame.topLeft(), {left, top}};
    const int both = mainFrame.width() + kGap + sw;
    if (both <= a.width()) {
        const int mainX = a.x() + (a.width() - both) / 2;
        return {{mainX, mainFrame.y()}, {mainX + mainFrame.width() + kGap, top}};
    }
    return {mainFrame.topLeft(), {a.x() + a.width() - sw, a.y() + a.height() - sh}};
}

void StatusWindow::apply(const QList<LabelUpdate>& updates)
{
    m_targets.apply(updates);
}

} // namespace rv
