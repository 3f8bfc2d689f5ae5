#include "app/Lamp.h"

#include <QPainter>

#include <algorithm>

namespace ct::app {

Lamp::Lamp(QWidget* parent, const QColor& colour) : QWidget(parent), colour_(colour) {}

void Lamp::setColour(const QColor& colour)
{
    if (colour == colour_)
        return;
    colour_ = colour;
    update();
}

void Lamp::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(colour_);
    // The largest circle that fits, centred; the pen stays inside the widget.
    const int diameter = std::min(width(), height()) - 1;
    const QRectF circle((width() - 1 - diameter) / 2.0 + 0.5, (height() - 1 - diameter) / 2.0 + 0.5,
                        diameter, diameter);
    painter.drawEllipse(circle);
}

}  // namespace ct::app
