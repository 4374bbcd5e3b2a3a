#include "support/ProgramFixture.h"

#include "app/LampWidget.h"
#include "platform/FolderMonitor.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::test::ProgramFixture;

namespace {

// Ticks until the first counted refresh; 0 when none came within the limit.
int ticksUntilRefresh(ProgramFixture &p, int limit)
{
    const int before = p.refreshes;
    for (int tick = 1; tick <= limit; ++tick) {
        p.main->Timer1Timer();
        if (p.refreshes != before)
            return tick;
    }
    return 0;
}

} // namespace

TEST(Scheduling, TimedRefreshStartsAtTheFirstTickAfterIntervalWholeMinutes)
{
    ProgramFixture p;
    app::TMain &m = p.start();
    m.cb_timerefresh->setChecked(true);
    m.RxSpinEdit1->setValue(1);
    EXPECT_EQ(ticksUntilRefresh(p, 10), 4);
    EXPECT_EQ(m.halfMinuteCounter(), 0);
    EXPECT_EQ(ticksUntilRefresh(p, 10), 4); // counted again from the reset

    m.RxSpinEdit1->setValue(120);
    EXPECT_EQ(ticksUntilRefresh(p, 1000), 242);
    EXPECT_EQ(p.refreshes, 3);

    // Off: the counter keeps counting, nothing starts.
    m.cb_timerefresh->setChecked(false);
    EXPECT_EQ(ticksUntilRefresh(p, 300), 0);
    EXPECT_EQ(m.halfMinuteCounter(), 300);
}

TEST(Scheduling, OnlyATimedRefreshResetsTheCounter)
{
    ProgramFixture p;
    app::TMain &m = p.start();
    m.cb_timerefresh->setChecked(true);
    m.cb_autorefresh->setChecked(true);
    m.RxSpinEdit1->setValue(2);
    m.Timer1Timer();
    m.Timer1Timer();
    m.Button2Click(); // manual
    EXPECT_EQ(p.refreshes, 1);
    EXPECT_EQ(m.halfMinuteCounter(), 2);
    m.RxFolderMonitor1Change();
    m.Timer1Timer(); // change-driven
    EXPECT_EQ(p.refreshes, 2);
    EXPECT_EQ(m.halfMinuteCounter(), 3);

    // A change and the timed refresh due in one tick run one after the other.
    m.Timer1Timer();
    m.Timer1Timer();
    m.RxFolderMonitor1Change();
    m.Timer1Timer(); // counter 6: 2 < 3
    EXPECT_EQ(p.refreshes, 4);
    EXPECT_EQ(m.halfMinuteCounter(), 0);
    EXPECT_FALSE(m.flags().changePending);
}

TEST(Scheduling, FolderChangesAreIgnoredWhenAutorefreshIsOffOrTheProgramWritesShortcuts)
{
    ProgramFixture p;
    app::TMain &m = p.start();
    m.cb_timerefresh->setChecked(false);

    m.cb_autorefresh->setChecked(false);
    m.RxFolderMonitor1Change();
    m.cb_autorefresh->setChecked(true);
    m.Timer1Timer();
    EXPECT_EQ(p.refreshes, 0) << "a change while autorefresh was off is forgotten";

    m.flags().writingShortcut = true;
    m.RxFolderMonitor1Change();
    m.Timer1Timer();
    EXPECT_EQ(p.refreshes, 0);

    m.flags().writingShortcut = false;
    m.RxFolderMonitor1Change();
    EXPECT_TRUE(m.flags().changePending);
    EXPECT_EQ(p.refreshes, 0) << "nothing happens before the tick";
    m.Timer1Timer();
    EXPECT_EQ(p.refreshes, 1);
}

TEST(Scheduling, RequestsDuringARefreshNeverNestAndAChangeStormYieldsOneMoreRefresh)
{
    ProgramFixture p;
    app::TMain &m = p.start();
    m.cb_autorefresh->setChecked(true);
    m.cb_timerefresh->setChecked(true);
    m.RxSpinEdit1->setValue(1);
    for (int i = 0; i < 3; ++i)
        m.Timer1Timer();
    const int counter = m.halfMinuteCounter();
    p.duringRefresh = [&] {
        if (p.refreshes > 1)
            return;
        // Everything that can ask for a refresh while one runs.
        m.Button2Click();
        QCoreApplication::postEvent(&m, new QEvent(app::kRefreshMessage));
        m.PopupMenu1->actions().first()->trigger();
        QCoreApplication::processEvents();
        m.Timer1Timer();
        for (int i = 0; i < 5000; ++i)
            m.RxFolderMonitor1Change();
    };
    m.Button2Click();
    EXPECT_EQ(p.refreshes, 1);
    EXPECT_EQ(m.halfMinuteCounter(), counter) << "the counter stands still during a refresh";
    EXPECT_TRUE(m.flags().changePending);

    p.duringRefresh = nullptr;
    m.RxSpinEdit1->setValue(100);
    m.Timer1Timer();
    EXPECT_EQ(p.refreshes, 2);
    m.Timer1Timer();
    EXPECT_EQ(p.refreshes, 2);
}

TEST(Scheduling, AChangeInTheFavoritesFolderStartsARefreshAtTheNextTick)
{
    ProgramFixture p;
    app::TMain &m = p.start();
    m.cb_autorefresh->setChecked(true);
    m.cb_timerefresh->setChecked(false);
    QSignalSpy spy(m.RxFolderMonitor1, &platform::FolderMonitor::changed);
    QDir().mkpath(p.paths.favoritesFolder + "/Links");
    ASSERT_TRUE(spy.wait(5000));
    spy.clear();
    test::writeAll(p.paths.favoritesFolder + "/Links/site.url", "[InternetShortcut]\r\nURL=http://example.org/\r\n");
    ASSERT_TRUE(spy.wait(5000)) << "a new favourite in a new subfolder is seen";
    EXPECT_TRUE(m.flags().changePending);
    m.Timer1Timer();
    EXPECT_EQ(p.refreshes, 1);
}

TEST(Scheduling, CancelTurnsARedLampYellowAndWaitsForTheFetchInProgress)
{
    ProgramFixture p;
    app::TMain &m = p.start();

    m.CancelRefresh(); // nothing running: only the flag
    EXPECT_TRUE(m.flags().cancelRequested);
    EXPECT_EQ(m.Shape1->lamp(), platform::Lamp::Green);

    m.setLamp(platform::Lamp::Red);
    m.flags().captureInProgress = true;
    bool servedMeanwhile = false;
    QTimer::singleShot(100, &m, [&] { servedMeanwhile = true; });
    QTimer::singleShot(400, &m, [&] { m.flags().captureInProgress = false; });
    QElapsedTimer clock;
    clock.start();
    m.CancelRefresh();
    EXPECT_GE(clock.elapsed(), 350);
    EXPECT_TRUE(servedMeanwhile) << "events are served while the cancel waits";
    EXPECT_EQ(m.Shape1->lamp(), platform::Lamp::Yellow);
    EXPECT_EQ(m.Shape1->colour(), QColor(255, 255, 0));
}

TEST(Scheduling, CancelAndCloseClickedDuringACaptureReturnAtOnceAndTheProgramEndsAfterTheRefresh)
{
    ProgramFixture p;
    app::TMain &m = p.start();
    bool ended = false;
    QObject::connect(&m, &app::TMain::programEnding, [&] { ended = true; });
    qint64 cancelTook = -1;
    p.duringRefresh = [&] {
        // The clicks arrive while a capture's own wait serves events, so the
        // capture is below them: waiting for it here would wait for itself.
        m.flags().captureInProgress = true;
        QElapsedTimer clock;
        clock.start();
        m.PopupMenu1->actions().at(1)->trigger(); // Cancel Refresh
        m.PopupMenu1->actions().last()->trigger(); // Close
        QCoreApplication::processEvents();
        cancelTook = clock.elapsed();
        EXPECT_TRUE(m.flags().cancelRequested);
        EXPECT_FALSE(ended) << "nothing is pulled from under the refresh";
        m.flags().captureInProgress = false;
    };
    m.Button2Click();
    EXPECT_GE(cancelTook, 0);
    EXPECT_LT(cancelTook, 1000);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended) << "the close waited for the refresh, then ended the program";
}

TEST(Commands, TrayMenuHoldsTheCommandsInOrderAndRunsThem)
{
    ProgramFixture p;
    app::TMain &m = p.start();
    QStringList captions;
    for (QAction *action : m.PopupMenu1->actions())
        captions << (action->isSeparator() ? QString("-") : action->text());
    EXPECT_EQ(captions, QStringList({"Manually &Refresh", "C&ancel Refresh", "&Import Bookmarks", "-", "&Configure", "-",
                                     "Instructions", "-", "C&lose"}));

    m.PopupMenu1->actions().at(0)->trigger();
    EXPECT_EQ(p.refreshes, 0) << "menu commands run once the menu has gone";
    QCoreApplication::processEvents();
    EXPECT_EQ(p.refreshes, 1);

    m.PopupMenu1->actions().at(1)->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m.flags().cancelRequested);

    m.cb_autostart->setChecked(true); // "Close" ends even so
    bool ended = false;
    QObject::connect(&m, &app::TMain::programEnding, [&] { ended = true; });
    m.PopupMenu1->actions().last()->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended);
    EXPECT_TRUE(m.flags().shutdownRequested);
}
