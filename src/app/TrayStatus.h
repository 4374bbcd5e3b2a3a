#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

class QMenu;

namespace vistrel::app {

// The two tray icons: the still one while idle, the animated one while a
// refresh runs. Each shows the status text of its state, as a balloon when the
// notification area is there, otherwise as the hint of the window's status
// controls.
class TrayStatus : public QObject
{
    Q_OBJECT
public:
    static constexpr int kFrameMs = 180;
    // How often the presence of a notification area is checked, so the icons
    // return when a tray host starts (again).
    static constexpr int kTrayPollMs = 5000;

    // The status text for the still (busy false) or animated (busy true) icon.
    using TextSource = std::function<QString(bool busy)>;
    // Where the text goes when there is no notification area.
    using HintSink = std::function<void(const QString &)>;

    TrayStatus(QMenu *menu, TextSource text, HintSink hints, QObject *parent = nullptr);
    ~TrayStatus() override;

    // Busy: hide the still icon, show the animated one cycling from its first
    // picture. Idle: the other way round.
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }

    // The status handler of whichever icon is visible.
    void showStatusNow();
    void stillIconStatus();
    void busyIconStatus();
    // Any other text, the same way as the status of the visible icon.
    void showNotice(const QString &text);

    // A one-off message from the program (not a status), as a balloon on the
    // visible icon; nothing without a notification area.
    void notice(const QString &text);

    int frame() const { return m_frame; }
    bool isAnimating() const { return m_animation.isActive(); }

    // For tests: decides whether a notification area is there.
    void setTrayAvailability(std::function<bool()> available) { m_available = std::move(available); }

    QSystemTrayIcon *statictray = nullptr;
    QSystemTrayIcon *animatedtray = nullptr;
    QList<QIcon> ImageList1;

signals:
    void doubleClicked();
    // A balloon went to the notification area (for the program's own checks).
    void balloonShown(const QString &title, const QString &text);

private:
    void deliver(QSystemTrayIcon *icon, const QString &text);
    void onActivated(QSystemTrayIcon *icon, QSystemTrayIcon::ActivationReason reason);
    void nextFrame();
    void pollTray();
    void applyVisibility(bool reAdd);

    TextSource m_text;
    HintSink m_hints;
    std::function<bool()> m_available;
    QTimer m_animation;
    QTimer m_poll;
    bool m_busy = false;
    bool m_trayWasAvailable = false;
    int m_frame = 0;
};

} // namespace vistrel::app
