#include "platform/Autostart.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace vistrel::platform;

TEST(Autostart, ExecIsEscapedAsDesktopEntriesRequire)
{
    EXPECT_EQ(desktopExecValue("/opt/vistrel/vistrel"), "/opt/vistrel/vistrel");
    EXPECT_EQ(desktopExecValue("/opt/100%/vistrel"), "/opt/100%%/vistrel");
    // Quoted, with the quoting's escapes, whose backslashes are then escaped
    // once more for the string the value is.
    EXPECT_EQ(desktopExecValue("/home/a b/$HOME/\"q\"/`x`/back\\slash/vistrel"),
              "\"/home/a b/\\\\$HOME/\\\\\"q\\\\\"/\\\\`x\\\\`/back\\\\\\\\slash/vistrel\"");
    EXPECT_EQ(desktopExecValue("/tmp/new\nline/it's"), "\"/tmp/new\\nline/it's\"");

    // The entry stays one line per key whatever the path holds.
    vistrel::test::TempHome home;
    ASSERT_TRUE(updateStartupList("Vistrel", "/tmp/new\nline/50%", true));
    const QList<QByteArray> lines = vistrel::test::readAll(autostartEntryPath()).split('\n');
    EXPECT_TRUE(lines.contains("Exec=\"/tmp/new\\nline/50%%\"")) << lines.join('|').constData();
    EXPECT_TRUE(lines.contains("Type=Application"));
}
