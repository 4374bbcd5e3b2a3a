#include "app/LampWidget.h"

#include <QPainter>

namespace vistrel::app {

LampWidget::LampWidget(QWidget *parent) : QWidget(parent)
{
    setFixedSize(sizeHint());
}

QColor LampWidget::colour() const
{
    switch (m_lamp) {
    case platform::Lamp::Green:
        return QColor(0, 255, 0);
    case platform::Lamp::Red:
        return QColor(255, 0, 0);
    case platform::Lamp::Yellow:
        return QColor(255, 255, 0);
    }
    return QColor(0, 255, 0);
}

void LampWidget::setLamp(platform::Lamp lamp)
{
    if (m_lamp == lamp)
        return;
    m_lamp = lamp;
    update();
}

void LampWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::black);
    p.setBrush(colour());
    p.drawEllipse(rect().adjusted(1, 1, -1, -1));
}

} // namespace vistrel::app
