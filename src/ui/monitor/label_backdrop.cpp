#include "ui/monitor/label_backdrop.h"

#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

namespace rv {

namespace {

// The parents whose painting shows through the label, the window first.
std::vector<QWidget*> parentsOf(const QLabel* label)
{
    std::vector<QWidget*> chain;
    for (QWidget* w = label->parentWidget(); w; w = w->parentWidget()) {
        chain.insert(chain.begin(), w);
        if (w->isWindow())
            break;
    }
    return chain;
}

std::vector<qint64> keyOf(const QLabel* label, const std::vector<QWidget*>& parents)
{
    std::vector<qint64> key;
    key.reserve(6 * (parents.size() + 1) + 3);
    const auto add = [&key](const QWidget* w) {
        const QRect g = w->geometry();
        key.insert(key.end(), {g.x(), g.y(), g.width(), g.height(), w->isEnabled() ? 1 : 0,
                               qint64(w->palette().cacheKey())});
    };
    for (const QWidget* w : parents)
        add(w);
    add(label);
    key.push_back(reinterpret_cast<qint64>(label->style()));
    key.push_back(qRound64(label->devicePixelRatioF() * 1000));
    return key;
}

// What the parents paint where the label is: each drawn as Qt draws it, the window with its background,
// the others with theirs only when they fill it, none with its children.
QPixmap pictureUnder(const QLabel* label, const std::vector<QWidget*>& parents)
{
    const qreal ratio = label->devicePixelRatioF();
    QPixmap pixmap(label->size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    for (QWidget* w : parents) {
        const QRect area(label->mapTo(w, QPoint(0, 0)), label->size());
        w->render(&pixmap, QPoint(0, 0), QRegion(area),
                  w->isWindow() ? QWidget::DrawWindowBackground : QWidget::RenderFlags());
    }
    return pixmap;
}

} // namespace

LabelBackdrop::LabelBackdrop(QObject* parent) : QObject(parent) {}

void LabelBackdrop::addLabels(QWidget* root)
{
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (m_pictures.count(label))
            continue;
        m_pictures[label] = {};
        label->setAttribute(Qt::WA_OpaquePaintEvent);
        label->installEventFilter(this);
        connect(label, &QObject::destroyed, this, [this, label] { m_pictures.erase(label); });
    }
}

bool LabelBackdrop::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Paint)
        return false;
    auto* label = static_cast<QLabel*>(watched);
    const auto it = m_pictures.find(label);
    if (it == m_pictures.end())
        return false;
    QPainter painter(label);
    painter.setClipRegion(static_cast<QPaintEvent*>(event)->region());
    if (label->autoFillBackground()) {
        // An opaque label fills nothing itself: its own background is drawn here instead.
        painter.fillRect(label->rect(), label->palette().brush(label->backgroundRole()));
        return false;
    }
    const std::vector<QWidget*> parents = parentsOf(label);
    std::vector<qint64> key = keyOf(label, parents);
    Picture& picture = it->second;
    if (picture.key != key || picture.pixmap.isNull()) {
        picture.pixmap = pictureUnder(label, parents);
        picture.key = std::move(key);
    }
    painter.drawPixmap(0, 0, picture.pixmap);
    return false; // the label draws its text over it
}

} // namespace rv
