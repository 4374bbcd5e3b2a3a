#pragma once

#include "platform/StatusSink.h"

#include <QStringList>

namespace vistrel::test {

// Remembers everything, shows nothing: a refresh without a window.
class RecordingStatus : public platform::StatusSink
{
public:
    using Lamp = platform::Lamp;
    QString statusText, previousText;
    int progressMaximum = 0, progress = 0;
    Lamp lampColour = Lamp::Green;
    bool busy = false, controlsEnabled = true;
    int statusShown = 0;
    QStringList notices;

    void setStatus(const QString &text) override { statusText = text; }
    QString status() const override { return statusText; }
    void setPreviousStatus(const QString &text) override { previousText = text; }
    QString previousStatus() const override { return previousText; }
    void setProgressMaximum(int maximum) override { progressMaximum = maximum; }
    void setProgressPosition(int position) override { progress = position; }
    int progressPosition() const override { return progress; }
    void setLamp(Lamp l) override { lampColour = l; }
    Lamp lamp() const override { return lampColour; }
    void setBusy(bool b) override { busy = b; }
    void setRefreshControlsEnabled(bool enabled) override { controlsEnabled = enabled; }
    void showStatusNow() override { ++statusShown; }
    void showNotice(const QString &text) override { notices << text; }
};

} // namespace vistrel::test
