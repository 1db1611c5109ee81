// The directory listing's text layout: the page header block, pagination and its rules, the
// columns, wrapped comments and the totals, line by line.

#include "reports/directory/DirectoryText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reports {
namespace {

using TDirLines = std::vector<std::string>;

const TDirectoryVolumeTexts kDirVolume{"BACKUP01", "5,000,000,000", "5,000,001,026", "100", "6", "2"};

TDirectoryTextLayout DirLayout(std::array<bool, kDirectoryColumns> Shown, int PerPage = 0) {
    TDirectoryTextLayout layout;
    layout.Caption = "Directory Of Drive D: (Starting At: D:\\)";
    layout.Volume = kDirVolume;
    layout.Shown = Shown;
    layout.Widths = {10, 11, 10, 9, 13, 13, 9, 7};
    layout.EntriesPerPage = PerPage;
    return layout;
}

TDirectoryTextEntry DirEntry(const std::string& Name, const std::string& Size,
                             const std::string& Comment = "") {
    TDirectoryTextEntry e;
    e.Texts = {Name, "\\", "", Size, "3/5/2024", "10:20:30 AM", "RA", Comment.substr(0, Comment.find('\r'))};
    e.Comment = Comment;
    return e;
}

struct TDirOutput {
    TDirLines Lines;
    TDirectoryTextBuilder::TLineWriter Writer() {
        return [this](const std::string& Line) {
            Lines.push_back(Line);
            return true;
        };
    }
};

constexpr std::array<bool, kDirectoryColumns> kNameAndSize{true,  false, false, true,
                                                           false, false, false, false};
constexpr std::array<bool, kDirectoryColumns> kAllColumns{true, true, true, true, true, true, true, true};
constexpr std::array<bool, kDirectoryColumns> kNoColumns{};

TEST(DirectoryText, PageHeaderEntriesAndTotals) {
    TDirOutput out;
    TDirectoryTextBuilder b(DirLayout(kNameAndSize), out.Writer());
    ASSERT_TRUE(b.AddEntry(DirEntry("README.TXT", "10")));
    ASSERT_TRUE(b.AddEntry(DirEntry("BIG.ISO", "5,000,000,000")));
    ASSERT_TRUE(b.AddTotals({"5", "5,000,001,016", "2", "300"}));
    const std::string caption = "              Directory Of Drive D: (Starting At: D:\\)               ";
    ASSERT_EQ(caption.size(), 69u);
    EXPECT_EQ(out.Lines,
              (TDirLines{caption + "Page      1", "",
                         "  VolumeLabel      Disk Capacity         Space Used           Free Space", "",
                         "  BACKUP01         5,000,000,000        5,000,001,026             100        ", "",
                         "  Files On Disk  Files In Arcs", "", "        6              2      ", "",
                         "FileName   File Size", "", "README.TXT        10", "BIG.ISO    5,000,000", "",
                         "   Files On Disk       Bytes On Disk     Files In Archives   Bytes In Archives", "",
                         "         5             5,000,001,016             2                  300        "}));
}

TEST(DirectoryText, PagesAndRules) {
    struct Case {
        int PerPage;
        std::array<bool, kDirectoryColumns> Shown;
        std::array<uint16_t, kDirectoryColumns> Widths;
        TDirLines Pages;  // the "Page" fields, in order
        size_t Rules, RuleLength;
        std::string Heading;
    };
    std::array<uint16_t, kDirectoryColumns> wide = {301, 11, 10, 9, 13, 13, 9, 7};
    const Case cases[] = {
        {0, kNameAndSize, {10, 11, 10, 9, 13, 13, 9, 7}, {"Page      1"}, 0, 0, "FileName   File Size"},
        {1,
         kNameAndSize,
         {10, 11, 10, 9, 13, 13, 9, 7},
         {"Page      1", "Page      2", "Page      3"},
         2,
         80,
         "FileName   File Size"},
        {2, kNoColumns, {10, 11, 10, 9, 13, 13, 9, 7}, {"Page      1", "Page      2"}, 1, 80, ""},
        // A heading line of 311 characters: rules as long, not cut anywhere.
        {1,
         kNameAndSize,
         wide,
         {"Page      1", "Page      2", "Page      3"},
         2,
         311,
         "FileName" + std::string(293, ' ') + " File Size"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.PerPage);
        TDirOutput out;
        TDirectoryTextLayout layout = DirLayout(c.Shown, c.PerPage);
        layout.Widths = c.Widths;
        TDirectoryTextBuilder b(layout, out.Writer());
        EXPECT_EQ(b.HeadingLine(), c.Heading);
        for (const char* name : {"A", "B", "C"}) ASSERT_TRUE(b.AddEntry(DirEntry(name, "1")));
        TDirLines pages;
        size_t rules = 0;
        for (const std::string& line : out.Lines) {
            if (line.size() > 69 && line.compare(69, 5, "Page ") == 0) pages.push_back(line.substr(69));
            if (!line.empty() && line.find_first_not_of('-') == std::string::npos) {
                ++rules;
                EXPECT_EQ(line.size(), c.RuleLength);
            }
        }
        EXPECT_EQ(pages, c.Pages);
        EXPECT_EQ(rules, c.Rules);
        // No rule after the last entry.
        const std::string& last = out.Lines.back();
        EXPECT_TRUE(last.empty() || last.find_first_not_of('-') != std::string::npos);
    }
}

TEST(DirectoryText, EveryColumnInItsAlignmentAndNoneAtAll) {
    TDirOutput out;
    TDirectoryTextBuilder b(DirLayout(kAllColumns), out.Writer());
    EXPECT_EQ(b.HeadingLine(),
              "FileName   Folder Name Archive ID File Size Date Modified Time Modified Attribute Comment");
    ASSERT_TRUE(b.AddEntry(DirEntry("README.TXT", "10", "one line\r\nanother")));
    EXPECT_EQ(out.Lines.back(),
              "README.TXT \\                             10   3/5/2024     10:20:30 AM     RA     one lin");

    TDirOutput none;
    TDirectoryTextBuilder n(DirLayout(kNoColumns), none.Writer());
    ASSERT_TRUE(n.AddEntry(DirEntry("README.TXT", "10")));
    EXPECT_EQ(none.Lines[10], "");  // the heading line
    EXPECT_EQ(none.Lines.back(), "");
    EXPECT_EQ(none.Lines.size(), 13u);
}

TEST(DirectoryText, MultiLineComments) {
    struct Case {
        const char* Name;
        std::string Comment;
        TDirLines Lines;  // the entry line and what follows it
    };
    const std::string pad(11, ' ');  // FileName and its separating blank
    const Case cases[] = {
        {"paragraphs", "abc\r\n\r\ndef", {"X          abc    ", "", pad + "def"}},
        {"one long word", "abcdefghijklmnop", {"X          abcdefg", pad + "hijklmn", pad + "op"}},
        {"last paragraph as it stands",
         "ab cd efgh ij\r\n  trimmed  ",
         {"X          ab cd  ", pad + "efgh ij", pad + "  trimm", pad + "ed"}},
        {"empty", "", {"X                 "}},
        {"starts with a break", "\r\nabc", {"X                 ", pad + "abc"}},
    };
    std::array<bool, kDirectoryColumns> shown{true, false, false, false, false, false, false, true};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TDirOutput out;
        TDirectoryTextLayout layout = DirLayout(shown);
        layout.MultiLine = true;
        TDirectoryTextBuilder b(layout, out.Writer());
        ASSERT_TRUE(b.AddEntry(DirEntry("X", "1", c.Comment)));
        EXPECT_EQ(TDirLines(out.Lines.begin() + 12, out.Lines.end()), c.Lines);
    }
}

TEST(DirectoryText, LongCaptionAndValuesAreCut) {
    TDirOutput out;
    TDirectoryTextLayout layout = DirLayout(kNameAndSize);
    layout.Caption = std::string(70, 'C') + "tail";
    TDirectoryTextBuilder b(layout, out.Writer());
    ASSERT_TRUE(b.AddEntry(DirEntry(std::string(300, 'N'), "1")));
    EXPECT_EQ(out.Lines[0], std::string(69, 'C') + "Page      1");
    EXPECT_EQ(out.Lines.back(), std::string(10, 'N') + "         1");
}

TEST(DirectoryText, AnEmptyListingWritesNoHeader) {
    TDirOutput out;
    TDirectoryTextBuilder b(DirLayout(kNameAndSize), out.Writer());
    EXPECT_TRUE(out.Lines.empty());
    ASSERT_TRUE(b.AddTotals({"0", "0", "0", "0"}));
    EXPECT_EQ(out.Lines.size(), 4u);
    EXPECT_EQ(out.Lines[1], "   Files On Disk       Bytes On Disk     Files In Archives   Bytes In Archives");
}

TEST(DirectoryText, AFailedWriteStopsTheOutput) {
    int writes = 0;
    TDirectoryTextBuilder b(DirLayout(kNameAndSize), [&writes](const std::string&) { return ++writes < 5; });
    EXPECT_FALSE(b.AddEntry(DirEntry("A", "1")));
    EXPECT_EQ(writes, 5);
}

}  // namespace
}  // namespace reports
