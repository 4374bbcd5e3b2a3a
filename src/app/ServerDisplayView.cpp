#include "app/ServerDisplayView.h"

#include "platform/DisplayWriter.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace vistrel::app {

ServerDisplayView::ServerDisplayView(platform::DisplayWriter &display, QPlainTextEdit *memo, QObject *parent)
    : QObject(parent), m_display(display), m_memo(memo)
{
    // A line may hold line breaks (a posted body, a message text): the widget
    // caps its own lines as well, not only the model's.
    m_memo->setMaximumBlockCount(platform::DisplayWriter::kMaxLines);
    m_memo->installEventFilter(this);
    m_timer.setSingleShot(true);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &ServerDisplayView::sync);
    connect(&m_display, &platform::DisplayWriter::changed, this, &ServerDisplayView::schedule);
    connect(&m_display, &platform::DisplayWriter::cleared, this, [this] {
        m_memo->clear();
        m_shown = m_display.addedCount();
    });
}

void ServerDisplayView::schedule()
{
    if (!m_timer.isActive() && m_memo->isVisible())
        m_timer.start();
}

void ServerDisplayView::sync()
{
    m_timer.stop();
    const quint64 fresh = m_display.addedCount() - m_shown;
    m_shown = m_display.addedCount();
    if (fresh == 0)
        return;
    const QStringList &lines = m_display.lines();
    // Everything the widget shows has left the model: start afresh.
    if (fresh >= quint64(lines.size()))
        m_memo->clear();
    const qsizetype take = qsizetype(qMin<quint64>(fresh, quint64(lines.size())));
    m_memo->appendPlainText(lines.sliced(lines.size() - take).join(QLatin1Char('\n')));
    m_memo->verticalScrollBar()->setValue(m_memo->verticalScrollBar()->maximum());
}

bool ServerDisplayView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_memo && event->type() == QEvent::Show)
        sync();
    return QObject::eventFilter(watched, event);
}

} // namespace vistrel::app
