#include "framework/ui/Clipbrd.h"

#include <gtest/gtest.h>

namespace framework {
namespace {

TEST(ClipboardFormatTest, ANameGivesOneNumberWhateverItsCase) {
    const unsigned a = RegisterClipboardFormat("Korvane Test Format A");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormat("korvane test format a"), a);
    EXPECT_EQ(RegisterClipboardFormat("KORVANE TEST FORMAT A"), a);
    const unsigned b = RegisterClipboardFormat("Korvane Test Format B");
    EXPECT_GE(b, 0xC000u);
    EXPECT_NE(b, a);
    EXPECT_EQ(RegisterClipboardFormat(""), 0u);
}

TEST(ClipboardFormatTest, RawDataOfARegisteredFormatRoundTripsAndOtherFormatsAreAbsent) {
    const unsigned mine = RegisterClipboardFormat("Korvane Raw/Data; 1");  // characters MIME reserves
    const unsigned other = RegisterClipboardFormat("Korvane Raw Data 2");
    const std::vector<uint8_t> bytes{0, 1, 2, 0xFE, 0xFF, 'x', 0};
    Clipboard()->SetAsData(mine, bytes);
    EXPECT_TRUE(Clipboard()->HasFormat(mine));
    EXPECT_EQ(Clipboard()->GetAsData(mine), bytes);
    EXPECT_FALSE(Clipboard()->HasFormat(other));
    EXPECT_TRUE(Clipboard()->GetAsData(other).empty());
    EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_FALSE(Clipboard()->HasFormat(CF_BITMAP));

    // Outside Open/Close a new format replaces the old; inside, formats add up.
    Clipboard()->SetAsText("plain");
    EXPECT_FALSE(Clipboard()->HasFormat(mine));
    Clipboard()->Open();
    Clipboard()->SetAsText("Caf\xE9");
    Clipboard()->SetAsData(mine, bytes);
    Clipboard()->SetAsData(other, {9});
    EXPECT_EQ(Clipboard()->AsText(), "plain");  // nothing reaches the clipboard before Close
    Clipboard()->Close();
    EXPECT_EQ(Clipboard()->AsText(), "Caf\xE9");
    EXPECT_EQ(Clipboard()->GetAsData(mine), bytes);
    EXPECT_EQ(Clipboard()->GetAsData(other), (std::vector<uint8_t>{9}));
    Clipboard()->Clear();
    EXPECT_FALSE(Clipboard()->HasFormat(mine));
}

}  // namespace
}  // namespace framework
