#include "server/editor/FolderLocations.h"
#include "server/editor/FormPieces.h"
#include "server/editor/OrderNumber.h"

#include <gtest/gtest.h>

using namespace vistrel::server;

namespace {

TEST(EditorPieces, SplitKeepsEveryEmptyPieceButNoneForAnEmptyBody)
{
    EXPECT_TRUE(splitFormPieces("").empty());
    EXPECT_EQ(splitFormPieces("a=1&&b=2&"), (std::vector<std::string_view>{"a=1", "", "b=2", ""}));
    EXPECT_EQ(splitFormPieces("&"), (std::vector<std::string_view>{"", ""}));

    EditorField f;
    ASSERT_TRUE(parseEditorField("ComboABCD=Links%5CNews=x", f));
    EXPECT_EQ(f.kind, EditorField::Kind::Move);
    EXPECT_EQ(f.identifier, "ABCD");
    EXPECT_EQ(f.value, "Links%5CNews=x");
    ASSERT_TRUE(parseEditorField("CB=deleteme", f));
    EXPECT_EQ(f.kind, EditorField::Kind::Delete);
    EXPECT_FALSE(parseEditorField("combo41=x", f));
    EXPECT_FALSE(parseEditorField("Edit41", f));
    EXPECT_FALSE(parseEditorField("B1=Save", f));
}

TEST(EditorPieces, OrderNumbersAsTyped)
{
    EXPECT_EQ(parseOrderNumber("12"), 12);
    EXPECT_EQ(parseOrderNumber("   +7"), 7);
    EXPECT_EQ(parseOrderNumber("-1"), -1);
    EXPECT_EQ(parseOrderNumber("$ff"), 255);
    EXPECT_EQ(parseOrderNumber("-$10"), -16);
    EXPECT_EQ(parseOrderNumber("2147483647"), 2147483647);
    for (const char *bad : {"", " ", "+", "$", "abc", "12 ", "1.5", "0x10", "$fg", "2147483648", "9999999999999"})
        EXPECT_FALSE(parseOrderNumber(bad).has_value()) << bad;
}

TEST(EditorPieces, PostedFolderValuesAreTheLocationsAsTheBrowserReadsThem)
{
    EXPECT_EQ(FolderLocations::postedValue(""), "Root");
    EXPECT_EQ(FolderLocations::postedValue("Links\\news"), "Links\\News");
    EXPECT_EQ(FolderLocations::postedValue("R&D\\tools\\bin"), "RandD\\Tools\\Bin");
    EXPECT_EQ(FolderLocations::postedValue("Say \"hi\" <now>"), "Say \"hi\" <now>");
    EXPECT_EQ(FolderLocations::postedValue("tab\there\nline"), "tab\there\nline");
}

} // namespace
