#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QLabel;

namespace vistrel::app {

// Puts a text that changes with every connection (the client count) into its
// label a few times a second and only while the label can be seen: each new
// text costs a layout of the page.
class DeferredLabel : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    explicit DeferredLabel(QLabel *label, QObject *parent = nullptr);

    void setText(const QString &text);
    // The text the label shows once it is brought up to date.
    const QString &text() const { return m_text; }
    void sync();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_label;
    QString m_text;
    QTimer m_timer;
};

} // namespace vistrel::app
