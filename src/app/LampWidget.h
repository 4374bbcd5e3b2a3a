#pragma once

#include "platform/StatusSink.h"

#include <QWidget>

namespace vistrel::app {

// The status lamp: a small filled circle whose colour is the refresh state.
class LampWidget : public QWidget
{
    Q_OBJECT
public:
    explicit LampWidget(QWidget *parent = nullptr);
    void setLamp(platform::Lamp lamp);
    platform::Lamp lamp() const { return m_lamp; }
    QColor colour() const;
    QSize sizeHint() const override { return {17, 17}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    platform::Lamp m_lamp = platform::Lamp::Green;
};

} // namespace vistrel::app
