#pragma once

#include <QObject>
#include <QTimer>

class QPlainTextEdit;

namespace vistrel::platform {
class DisplayWriter;
}

namespace vistrel::app {

// Shows the server display's lines in DisplayMemo. New lines reach the widget
// in one block a few times a second, and only while it can be seen: laying
// out each request's line as it came cost more than answering the request.
class ServerDisplayView : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    ServerDisplayView(platform::DisplayWriter &display, QPlainTextEdit *memo, QObject *parent = nullptr);

    // Brings the widget up to date now.
    void sync();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void schedule();

    platform::DisplayWriter &m_display;
    QPlainTextEdit *m_memo;
    QTimer m_timer;
    quint64 m_shown = 0;
};

} // namespace vistrel::app
