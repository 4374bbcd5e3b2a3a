#include "app/DeferredLabel.h"

#include <QEvent>
#include <QLabel>

namespace vistrel::app {

DeferredLabel::DeferredLabel(QLabel *label, QObject *parent)
    : QObject(parent), m_label(label), m_text(label->text())
{
    m_label->installEventFilter(this);
    m_timer.setSingleShot(true);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &DeferredLabel::sync);
}

void DeferredLabel::setText(const QString &text)
{
    m_text = text;
    if (!m_timer.isActive() && m_label->isVisible())
        m_timer.start();
}

void DeferredLabel::sync()
{
    m_timer.stop();
    if (m_label->text() != m_text)
        m_label->setText(m_text);
}

bool DeferredLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label && event->type() == QEvent::Show)
        sync();
    return QObject::eventFilter(watched, event);
}

} // namespace vistrel::app
