#include "ui/monitor/label_backdrop.h"

#include "ui/monitor/label_slot.h"

#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <iterator>

namespace rv {

namespace {

using Parents = QVarLengthArray<QWidget*, 12>;

// The parents whose painting shows through the label, the window first.
Parents parentsOf(const QLabel* label)
{
    Parents chain;
    for (QWidget* w = label->parentWidget(); w; w = w->parentWidget()) {
        chain.append(w);
        if (w->isWindow())
            break;
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
}

template<typename Key>
void keyOf(const QLabel* label, const Parents& parents, Key& key)
{
    key.clear();
    const auto add = [&key](const QWidget* w) {
        const QRect g = w->geometry();
        const qint64 part[] = {g.x(), g.y(), g.width(), g.height(), w->isEnabled() ? 1 : 0,
                               qint64(w->palette().cacheKey())};
        key.append(part, std::size(part));
    };
    for (const QWidget* w : parents)
        add(w);
    add(label);
    key.append(reinterpret_cast<qint64>(label->style()));
    key.append(qRound64(label->devicePixelRatioF() * 1000));
}

// What the parents paint where the label is: each drawn as Qt draws it, the window with its background,
// the others with theirs only when they fill it, none with its children.
QPixmap pictureUnder(const QLabel* label, const Parents& parents)
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

// The colour of a picture that is one opaque colour throughout; an invalid colour otherwise.
QColor soleColour(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    const QRgb first = image.pixel(0, 0);
    if (qAlpha(first) != 255)
        return {};
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] != first)
                return {};
    }
    return QColor::fromRgb(first);
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
    const Parents parents = parentsOf(label);
    keyOf(label, parents, m_key);
    Picture& picture = it->second;
    if (picture.key != m_key || (picture.pixmap.isNull() && !picture.colour.isValid())) {
        picture.pixmap = pictureUnder(label, parents);
        picture.colour = soleColour(picture.pixmap);
        if (picture.colour.isValid())
            picture.pixmap = QPixmap();
        picture.key = m_key;
    }
    if (picture.colour.isValid())
        painter.fillRect(label->rect(), picture.colour);
    else
        painter.drawPixmap(0, 0, picture.pixmap);
    // A line its slot has laid out already is drawn here, as the label would draw it.
    const auto* slot = qobject_cast<const LabelSlot*>(label->parentWidget());
    if (slot && slot->label() == label && slot->line().holds(*label) && LabelLine::drawable(*label)) {
        slot->line().draw(painter, *label);
        return true;
    }
    return false; // the label draws its text over it
}

} // namespace rv
