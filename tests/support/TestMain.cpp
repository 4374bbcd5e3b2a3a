#include <QApplication>
#include <gtest/gtest.h>

// Tests run without a display: the offscreen platform is chosen before Qt starts,
// so listing the tests at build time works on a machine with no X server.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
