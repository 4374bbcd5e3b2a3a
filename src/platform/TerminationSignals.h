#pragma once

#include <QObject>

class QSocketNotifier;

namespace vistrel::platform {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread, so the
// program ends through its ordinary close.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace vistrel::platform
