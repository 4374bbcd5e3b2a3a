#include "support/ProgramFixture.h"

#include "app/StatusTexts.h"
#include "app/TrayStatus.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vistrel;
using namespace vistrel::app;
using vistrel::test::ProgramFixture;

namespace {
const QString kMenuLine = "\n\r\n\rRight click on the Vistrel icon for the menu";
constexpr double kMinute = 1.0 / 1440;
} // namespace

TEST(StatusTexts, StillIconTellsTheMinutesUntilTheNextTimedRefresh)
{
    EXPECT_EQ(stillIconStatusText(true, 120, 30), "Auto Refresh will restart in 105 minutes" + kMenuLine);
    EXPECT_EQ(stillIconStatusText(true, 120, 31), "Auto Refresh will restart in 105 minutes" + kMenuLine);
    EXPECT_EQ(stillIconStatusText(false, 120, 30), "Timed Auto Refresh is OFF" + kMenuLine);
    // Counted on while timed refresh was off, or the interval lowered: due now.
    EXPECT_EQ(stillIconStatusText(true, 1, 2880), "Auto Refresh will restart in 0 minutes" + kMenuLine);
}

TEST(StatusTexts, BusyIconTellsProgressAndEstimateTruncatedOnlyAtTheEnd)
{
    RefreshProgress progress{false, 100, 25, 45000.0};
    EXPECT_EQ(busyIconStatusText(progress, 45000.0 + 10.5 * kMinute),
              "Vistrel is attempting to fetch 100 web sites.\n\r"
              "In the last 10 minutes, 25 web sites have been fetched.\n\r"
              "Vistrel estimates to finish in 31 minutes."
                  + kMenuLine);

    progress.fetchedCount = 0; // nothing fetched yet: no estimate, no division
    EXPECT_EQ(busyIconStatusText(progress, 45000.5), "Vistrel is starting to fetch 100 web sites.");

    progress.fetchedCount = 25;
    progress.cancelRequested = true;
    EXPECT_EQ(busyIconStatusText(progress, 45000.1), "Vistrel is attempting to stop fetching web sites" + kMenuLine);

    // A clock set back, or more fetched than counted, gives no negative minutes.
    progress = {false, 10, 12, 45000.0};
    EXPECT_TRUE(busyIconStatusText(progress, 44999.0).contains("In the last 0 minutes, 12 web sites"));
    EXPECT_TRUE(busyIconStatusText(progress, 45001.0).contains("finish in 0 minutes"));
}

TEST(StatusTexts, BalloonsAreCutToTheNotificationAreaLimits)
{
    const Balloon b = makeBalloon(QString(300, 'x'));
    EXPECT_EQ(b.title, "Vistrel Status");
    EXPECT_EQ(b.text.size(), 255);
    EXPECT_EQ(makeBalloon("short").text, "short");
}

TEST(Tray, BusySwapsTheIconsAndAnimatesTheEightFrames)
{
    ProgramFixture p;
    TMain &m = p.start();
    TrayStatus &tray = m.tray();
    ASSERT_EQ(tray.ImageList1.size(), 8);
    for (const QIcon &frame : tray.ImageList1)
        EXPECT_EQ(frame.availableSizes(), QList<QSize>({QSize(16, 16)}));
    EXPECT_EQ(tray.statictray->toolTip(), "Vistrel (Right click for menu)");
    EXPECT_EQ(tray.animatedtray->toolTip(), "Vistrel (Right click for menu)");
    EXPECT_EQ(tray.statictray->contextMenu(), m.PopupMenu1);
    EXPECT_FALSE(tray.isAnimating());

    m.setBusy(true);
    EXPECT_TRUE(tray.isBusy());
    EXPECT_EQ(tray.frame(), 0);
    EXPECT_TRUE(tray.isAnimating());
    QTest::qWait(3 * TrayStatus::kFrameMs);
    EXPECT_GT(tray.frame(), 0);
    EXPECT_LT(tray.frame(), 8);
    m.setBusy(false);
    EXPECT_FALSE(tray.isAnimating());
    m.setBusy(true);
    EXPECT_EQ(tray.frame(), 0) << "cycling starts at the first picture";
}

TEST(Tray, StatusGoesToTheWindowsHintsWithoutATrayAndToABalloonWithOne)
{
    ProgramFixture p;
    TMain &m = p.start();
    m.cb_timerefresh->setChecked(true);
    m.RxSpinEdit1->setValue(120);
    for (int i = 0; i < 30; ++i)
        m.Timer1Timer();
    TrayStatus &tray = m.tray();
    tray.setTrayAvailability([] { return false; });
    m.showStatusNow();
    // Shown without the carriage returns, which would indent the lines here.
    const QString menuLine = QString(kMenuLine).remove('\r');
    const QString still = "Auto Refresh will restart in 105 minutes" + menuLine;
    EXPECT_EQ(m.ProgressBar1->toolTip(), still);
    EXPECT_EQ(m.SettingsGroup->toolTip(), still);
    EXPECT_EQ(m.Label1->toolTip(), still);

    m.setBusy(true);
    m.flags().fetchTotal = 7;
    m.flags().fetchedCount = 0;
    m.showStatusNow();
    EXPECT_EQ(m.Label1->toolTip(), "Vistrel is starting to fetch 7 web sites.");
    m.CancelRefresh();
    m.showStatusNow();
    EXPECT_EQ(m.Label1->toolTip(), "Vistrel is attempting to stop fetching web sites" + menuLine)
        << "a cancel changes the busy text at once";

    tray.setTrayAvailability([] { return true; });
    QSignalSpy balloons(&tray, &TrayStatus::balloonShown);
    m.showStatusNow();
    ASSERT_EQ(balloons.size(), 1);
    EXPECT_EQ(balloons.first().at(0).toString(), "Vistrel Status");
    EXPECT_EQ(balloons.first().at(1).toString(), "Vistrel is attempting to stop fetching web sites" + menuLine);
}
