#include "support/ProgramFixture.h"
#include "support/TestSupport.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>

#include <gtest/gtest.h>

using vistrel::test::ProgramFixture;
using vistrel::test::spinUntil;
using vistrel::test::writeAll;

namespace {

constexpr int kPatienceMs = 10000;
constexpr char kQuietSettings[] = "[General]\r\nStartup=0\r\nHistory=0\r\n[Data]\r\nPort=0\r\n";

QString shown(const QPlainTextEdit *memo)
{
    return memo->toPlainText();
}

struct ShownDisplay
{
    ProgramFixture p;
    vistrel::app::TMain *m = nullptr;
    QPlainTextEdit *memo = nullptr;

    ShownDisplay()
    {
        writeAll(p.paths.settingsPath, kQuietSettings);
        m = &p.start();
        memo = m->DisplayMemo;
    }
    void showWebServerPage()
    {
        m->PageControl->setCurrentIndex(1);
        m->show();
    }
};

TEST(ServerDisplay, WidgetShowsTheModelInOrderOnceVisibleAndFollowsTheLastLine)
{
    ShownDisplay d;
    for (int i = 1; i <= 30; ++i)
        d.m->display().write(QString("line %1").arg(i));
    // Hidden, the lines wait in the model.
    EXPECT_TRUE(shown(d.memo).isEmpty());

    d.showWebServerPage();
    ASSERT_TRUE(spinUntil([&] { return shown(d.memo) == d.m->display().lines().join('\n'); }, kPatienceMs))
        << shown(d.memo).toStdString();
    for (int i = 31; i <= 250; ++i)
        d.m->display().write(QString("line %1").arg(i));
    ASSERT_TRUE(spinUntil([&] { return shown(d.memo).endsWith("line 250"); }, kPatienceMs));
    EXPECT_EQ(shown(d.memo), d.m->display().lines().join('\n'));
    EXPECT_EQ(d.memo->document()->blockCount(), 201);
    EXPECT_EQ(d.memo->verticalScrollBar()->value(), d.memo->verticalScrollBar()->maximum());

    d.m->ClearButton->click();
    d.m->display().write("after the clear");
    ASSERT_TRUE(spinUntil([&] { return !shown(d.memo).contains("line 250"); }, kPatienceMs));
    ASSERT_TRUE(spinUntil([&] { return shown(d.memo) == "after the clear"; }, kPatienceMs)) << shown(d.memo).toStdString();
}

TEST(ServerDisplay, LinesHoldingLineBreaksDoNotGrowTheWidgetPastTheCap)
{
    ShownDisplay d;
    d.showWebServerPage();
    for (int i = 1; i <= 250; ++i)
        d.m->display().write(QString("Data: 'a=%1\nb=%1'").arg(i));
    ASSERT_TRUE(spinUntil([&] { return d.memo->document()->lastBlock().text() == "b=250'"; }, kPatienceMs));
    EXPECT_LE(d.memo->document()->blockCount(), 201);
    EXPECT_TRUE(d.m->display().lines().join('\n').endsWith(shown(d.memo)));
}

} // namespace
