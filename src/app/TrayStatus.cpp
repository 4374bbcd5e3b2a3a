#include "app/TrayStatus.h"

#include "app/StatusTexts.h"
#include "app/TrayPictures.h"

#include <QMenu>

namespace vistrel::app {

TrayStatus::TrayStatus(QMenu *menu, TextSource text, HintSink hints, QObject *parent)
    : QObject(parent),
      m_text(std::move(text)),
      m_hints(std::move(hints)),
      m_available([] { return QSystemTrayIcon::isSystemTrayAvailable(); })
{
    ImageList1 = busyTrayFrames();
    statictray = new QSystemTrayIcon(stillTrayPicture(), this);
    statictray->setObjectName(QStringLiteral("statictray"));
    animatedtray = new QSystemTrayIcon(ImageList1.first(), this);
    animatedtray->setObjectName(QStringLiteral("animatedtray"));
    for (QSystemTrayIcon *icon : {statictray, animatedtray}) {
        icon->setToolTip(QString::fromLatin1(kTrayHint));
        icon->setContextMenu(menu);
        connect(icon, &QSystemTrayIcon::activated, this,
                [this, icon](QSystemTrayIcon::ActivationReason reason) { onActivated(icon, reason); });
    }

    m_animation.setInterval(kFrameMs);
    connect(&m_animation, &QTimer::timeout, this, &TrayStatus::nextFrame);
    m_poll.setInterval(kTrayPollMs);
    connect(&m_poll, &QTimer::timeout, this, &TrayStatus::pollTray);
    m_poll.start();

    m_trayWasAvailable = m_available();
    applyVisibility(false);
}

TrayStatus::~TrayStatus()
{
    // Leave no icon behind in the notification area.
    statictray->hide();
    animatedtray->hide();
}

void TrayStatus::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy) {
        m_frame = 0;
        animatedtray->setIcon(ImageList1.at(m_frame));
        m_animation.start();
    } else {
        m_animation.stop();
    }
    applyVisibility(false);
}

void TrayStatus::applyVisibility(bool reAdd)
{
    QSystemTrayIcon *shown = m_busy ? animatedtray : statictray;
    QSystemTrayIcon *hidden = m_busy ? statictray : animatedtray;
    hidden->hide();
    // Without a notification area the icons stay down; the poll brings them up
    // once one appears.
    if (!m_trayWasAvailable) {
        shown->hide();
        return;
    }
    if (reAdd)
        shown->hide();
    shown->show();
}

void TrayStatus::pollTray()
{
    const bool available = m_available();
    if (available == m_trayWasAvailable)
        return;
    m_trayWasAvailable = available;
    applyVisibility(available);
}

void TrayStatus::nextFrame()
{
    m_frame = (m_frame + 1) % int(ImageList1.size());
    animatedtray->setIcon(ImageList1.at(m_frame));
}

void TrayStatus::onActivated(QSystemTrayIcon *icon, QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        emit doubleClicked();
        break;
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::MiddleClick:
        // The notification area tells of clicks, not of the pointer coming
        // near; a click is the nearest thing to ask for the status.
        if (icon == animatedtray)
            busyIconStatus();
        else
            stillIconStatus();
        break;
    default:
        break;
    }
}

void TrayStatus::showStatusNow()
{
    if (m_busy)
        busyIconStatus();
    else
        stillIconStatus();
}

void TrayStatus::stillIconStatus()
{
    deliver(statictray, m_text(false));
}

void TrayStatus::busyIconStatus()
{
    deliver(animatedtray, m_text(true));
}

void TrayStatus::showNotice(const QString &text)
{
    deliver(m_busy ? animatedtray : statictray, text);
}

void TrayStatus::notice(const QString &text)
{
    if (!m_available())
        return;
    const Balloon balloon = makeBalloon(text, QString::fromLatin1(kNoticeTitle));
    QSystemTrayIcon *icon = m_busy ? animatedtray : statictray;
    icon->showMessage(balloon.title, balloon.text, QSystemTrayIcon::Information, kBalloonTimeoutMs);
    emit balloonShown(balloon.title, balloon.text);
}

void TrayStatus::deliver(QSystemTrayIcon *icon, const QString &text)
{
    const bool available = m_available();
    if (available != m_trayWasAvailable) {
        m_trayWasAvailable = available;
        applyVisibility(available);
    }
    // A carriage return after a line feed shows here as a blank at the start of
    // the next line; the lines read as intended without it.
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    if (!available) {
        if (m_hints)
            m_hints(shown);
        return;
    }
    const Balloon balloon = makeBalloon(shown);
    // A new message replaces any balloon still shown.
    icon->showMessage(balloon.title, balloon.text, QSystemTrayIcon::Information, kBalloonTimeoutMs);
    emit balloonShown(balloon.title, balloon.text);
}

} // namespace vistrel::app
