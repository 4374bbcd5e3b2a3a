#pragma once

#include <QString>
#include <QStringList>

namespace vistrel::platform {

enum class Lamp { Green, Red, Yellow };

// What a refresh drives on the main window and in the tray: the status line
// (Label1), the previous-status label (Label10), ProgressBar1, the lamp Shape1,
// the two tray icons, and the controls that start a refresh (Button2, Timer1).
class StatusSink
{
public:
    virtual ~StatusSink() = default;

    virtual void setStatus(const QString &text) = 0;
    virtual QString status() const = 0;
    virtual void setPreviousStatus(const QString &text) = 0;
    virtual QString previousStatus() const = 0;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
    virtual int progressPosition() const = 0;
    virtual void setLamp(Lamp lamp) = 0;
    virtual Lamp lamp() const = 0;
    // Busy: the animated tray icon replaces the still one.
    virtual void setBusy(bool busy) = 0;
    virtual void setRefreshControlsEnabled(bool enabled) = 0;
    // Puts the status text of the visible tray icon on screen now.
    virtual void showStatusNow() = 0;
    // A notice of the visible tray icon that is not the status, such as the
    // problems a refresh met.
    virtual void showNotice(const QString &text) = 0;
};

// Remembers everything, shows nothing: for tests and tools without a window.
class RecordingStatus : public StatusSink
{
public:
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

} // namespace vistrel::platform
