#pragma once

#include <QString>

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

} // namespace vistrel::platform
