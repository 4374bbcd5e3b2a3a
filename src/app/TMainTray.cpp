// The tray icons as the main window drives them.
#include "app/StatusTexts.h"
#include "app/TMain.h"
#include "app/TrayPictures.h"
#include "app/TrayStatus.h"
#include "catalogue/ListingFormat.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>

namespace vistrel::app {

void TMain::setUpTray()
{
    setWindowIcon(stillTrayPicture());
    m_tray = new TrayStatus(
        PopupMenu1, [this](bool busy) { return busy ? busyStatusText() : stillStatusText(); },
        [this](const QString &text) {
            ProgressBar1->setToolTip(text);
            SettingsGroup->setToolTip(text);
            Label1->setToolTip(text);
        },
        this);
    connect(m_tray, &TrayStatus::doubleClicked, this, &TMain::ShowMainWindow);
}

QString TMain::stillStatusText() const
{
    return stillIconStatusText(cb_timerefresh->isChecked(), RxSpinEdit1->value(), halfMinuteCounter());
}

QString TMain::busyStatusText() const
{
    RefreshProgress progress;
    progress.cancelRequested = m_flags.cancelRequested;
    progress.fetchTotal = m_flags.fetchTotal;
    progress.fetchedCount = m_flags.fetchedCount;
    progress.startTime = m_flags.refreshStartTime;
    return busyIconStatusText(progress, catalogue::listing::daysSince1899(QDateTime::currentDateTime()));
}

} // namespace vistrel::app
