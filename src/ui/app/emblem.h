#pragma once

#include <QWidget>

class QPainter;

namespace rv {

// The program's picture: a tracking unit under a satellite, beside a route with a marker.
void paintEmblem(QPainter& p, const QRectF& area);

// A widget that shows the picture scaled to its size.
class EmblemWidget : public QWidget {
public:
    explicit EmblemWidget(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {320, 220}; }

protected:
    void paintEvent(QPaintEvent*) override;
};

} // namespace rv
