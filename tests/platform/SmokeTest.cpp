#include <gtest/gtest.h>
#include "support/TestSupport.h"
#include <QDir>

TEST(TempHome, RedirectsHomeAndRestoresIt)
{
    const QByteArray before = qgetenv("HOME");
    {
        vistrel::test::TempHome home;
        EXPECT_EQ(qgetenv("HOME"), home.path().toUtf8());
        EXPECT_TRUE(QDir(home.file("Documents")).exists());
    }
    EXPECT_EQ(qgetenv("HOME"), before);
}
