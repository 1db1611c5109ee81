// The text file's builder: the page structure by the line counts, the heading and values lines,
// the comment column in both modes, and reports wider than 255 characters.

#include "reports/volsummary/VolSummaryText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reports {
namespace {

using TLines = std::vector<std::string>;

struct TVolLines {
    TLines Lines;
    TReportLineWriter Writer() {
        return [this](const std::string& Line) {
            Lines.push_back(Line);
            return true;
        };
    }
};

TVolTextDisk VolDisk(const std::string& Label, const std::string& Comment = "") {
    TVolTextDisk d;
    d.Texts = {Label,       Label,
               "D",         "1A2B-3C4D",
               "3/15/2024", "3/15/2024",
               "1,000,000", "4,096",
               "700,007",   "200,000",
               "12.50%",    "2",
               "0",         Comment.substr(0, Comment.find('\r'))};
    d.Comment = Comment;
    return d;
}

TVolTextEntry VolEntry(const std::string& Name, const std::string& Comment = "") {
    TVolTextEntry e;
    e.Texts = {Name,
               "VOL",
               "\\",
               "",
               "1,234",
               "6/1/2023",
               "10:00:00 AM",
               "RA",
               "DOC",
               "Documents",
               Comment.substr(0, Comment.find('\r'))};
    e.Comment = Comment;
    return e;
}

// Label and comment of the volumes, name and comment of the entries.
TVolTextLayout VolLayout(int Pagination, bool NewPage, bool MultiLine = false) {
    TVolTextLayout layout;
    layout.DiskShown[0] = layout.DiskShown[kVolComment] = true;
    layout.FileShown[0] = layout.FileShown[kEntryComment] = true;
    layout.DiskWidths = {17, 16, 3, 13, 15, 14, 9, 12, 10, 10, 7, 13, 17, 12};
    layout.FileWidths = {10, 9, 11, 10, 9, 13, 13, 9, 13, 20, 12};
    layout.Pagination = Pagination;
    layout.NewPagePerDisk = NewPage;
    layout.MultiLine = MultiLine;
    return layout;
}

// One letter per line: P page heading, R rule, D and F the two heading lines, V a volume's values,
// E an entry, C a comment's further line, T the totals, _ an empty line.
std::string VolShape(const TLines& Lines, const TVolTextBuilder& B) {
    std::string shape;
    for (const std::string& l : Lines) {
        if (l.empty())
            shape += '_';
        else if (l.find_first_not_of('-') == std::string::npos)
            shape += 'R';
        else if (l.find("Volume Summary / File Contents") != std::string::npos)
            shape += 'P';
        else if (l == B.DiskHeading())
            shape += 'D';
        else if (l == B.FileHeading())
            shape += 'F';
        else if (l.rfind("   VOL", 0) == 0)
            shape += 'V';
        else if (l.rfind("FILE", 0) == 0)
            shape += 'E';
        else if (l.rfind("Total Disks", 0) == 0 || l.find('%') != std::string::npos)
            shape += 'T';
        else
            shape += 'C';
    }
    return shape;
}

TEST(VolSummaryTextTest, PagesFollowTheLineCounts) {
    struct TCase {
        const char* Name;
        int Pagination;
        bool NewPage;
        std::vector<int> Entries;  // per volume
        bool Totals;
        std::string Shape;
    };
    const TCase cases[] = {
        {"one page",
         0,
         false,
         {2, 0, 1},
         true,
         "P_D_V_F_EE"
         "__D_V_F_"
         "__D_V_F_E"
         "__T_T"},
        {"a page per volume",
         0,
         true,
         {2, 0, 1},
         true,
         "P_D_V_F_EE"
         "RP_D_V_F_"
         "RP_D_V_F_E"
         "__T_T"},
        // 8 lines of block, 12 entries fill 20 lines; the 13th starts a page with the file heading.
        {"20 lines",
         20,
         false,
         {14, 1},
         true,
         "P_D_V_F_" + std::string(12, 'E') +
             "RP_F_EE"
             "__D_V_F_E"
             "__T_T"},
        // A block needs c + 8 lines left, the totals 5.
        {"no room for a block",
         20,
         false,
         {6, 1},
         false,
         "P_D_V_F_EEEEEE"
         "RP_D_V_F_E"},
        {"no room for the totals",
         20,
         false,
         {9},
         true,
         "P_D_V_F_EEEEEEEEE"
         "RP__T_T"},
        {"no volumes", 0, false, {}, true, "P__T_T"},
        {"no volumes, no totals", 0, false, {}, false, ""},
    };
    for (const TCase& c : cases) {
        TVolLines out;
        TVolTextBuilder b(VolLayout(c.Pagination, c.NewPage), out.Writer());
        int volume = 0;
        for (int entries : c.Entries) {
            ASSERT_TRUE(b.AddDisk(VolDisk("VOL" + std::to_string(++volume))));
            for (int e = 0; e < entries; ++e) ASSERT_TRUE(b.AddEntry(VolEntry("FILE" + std::to_string(e))));
        }
        if (c.Totals) {
            ASSERT_TRUE(b.AddTotals({3, 4, 12.5L, 6001050000LL, 760007LL, 6000220000LL}));
        }
        EXPECT_EQ(VolShape(out.Lines, b), c.Shape) << c.Name;
        // Rules are as long as the report is wide; page headings count up in 80 characters.
        int page = 0;
        for (const std::string& l : out.Lines) {
            if (l.find("Volume Summary / File Contents") != std::string::npos) {
                EXPECT_EQ(l, std::string(19, ' ') + "Volume Summary / File Contents" + std::string(20, ' ') +
                                 "Page " + std::string(5, ' ') + std::to_string(++page))
                    << c.Name;
            }
            if (!l.empty() && l.find_first_not_of('-') == std::string::npos) {
                EXPECT_EQ(l.size(), b.Width());
            }
        }
    }
}

TEST(VolSummaryTextTest, HeadingAndValuesLinesOfEveryColumn) {
    TVolTextLayout layout = VolLayout(0, false);
    layout.DiskShown.fill(true);
    layout.FileShown.fill(true);
    TVolLines out;
    TVolTextBuilder b(layout, out.Writer());
    EXPECT_EQ(b.DiskHeading(),
              "Catalog Volume ID Actual Volume ID Drv Serial Number First Cataloged Last Cataloged Disk Size "
              "Cluster Size Space Used Free Space Slack % Files On Disk Files In Archives Comment     ");
    EXPECT_EQ(b.FileHeading(),
              "FileName   Volume ID Folder Name Archive ID File Size Date Modified Time Modified Attribute "
              "Category Code Category             Comment     ");
    EXPECT_EQ(b.Width(), b.DiskHeading().size());
    TVolTextDisk disk = VolDisk("VOL1", "Weekly backup");
    ASSERT_TRUE(b.AddDisk(disk));
    const std::string values =
        "   VOL1             VOL1            D:   1A2B-3C4D      3/15/2024      3/15/2024    1,000,000"
        "        4,096    700,007    200,000  12.50%            2               0    Weekly backu";
    EXPECT_EQ(out.Lines[4], values);
    EXPECT_EQ(values.size(), b.DiskHeading().size());
    ASSERT_TRUE(b.AddEntry(VolEntry("FILE1", "A comment of some length")));
    EXPECT_EQ(
        out.Lines.back(),
        "FILE1      VOL       \\                          1,234   6/1/2023     10:00:00 AM     RA     DOC"
        "           Documents            A comment of");

    // An empty serial number leaves its column four blanks wide.
    disk.Texts[3] = "";
    ASSERT_TRUE(b.AddDisk(disk));
    const std::string& blank = out.Lines[out.Lines.size() - 4];
    // " D:", a blank, four blanks for the serial, a blank, then the centred date.
    EXPECT_NE(blank.find(" D:" + std::string(1 + 4 + 1 + 3, ' ') + "3/15/2024"), std::string::npos) << blank;
    EXPECT_EQ(blank.size(), values.size() - 9);
}

TEST(VolSummaryTextTest, FullCommentsWrapUnderTheirColumn) {
    TVolLines out;
    TVolTextBuilder b(VolLayout(0, false, true), out.Writer());
    ASSERT_TRUE(b.AddDisk(VolDisk("VOL1", "Weekly backup\r\nSecond line\r\nThird line")));
    ASSERT_TRUE(b.AddEntry(VolEntry("FILE1", "Kept for the long winter\r\n\r\nand more")));
    ASSERT_TRUE(b.AddEntry(VolEntry("FILE2", "Overlongwordwithoutbreaks")));
    const std::string disk(18, ' ');
    const std::string file(11, ' ');
    EXPECT_EQ(
        TLines(out.Lines.begin() + 2, out.Lines.end()),
        (TLines{b.DiskHeading(), "", "   VOL1           Weekly      ", disk + "backup", disk + "Second line",
                disk + "Third line", "", b.FileHeading(), "", "FILE1      Kept for the", file + "long winter",
                "", file + "and more", "FILE2      Overlongword", file + "withoutbreak", file + "s"}));
}

TEST(VolSummaryTextTest, AReportWiderThan255KeepsItsRuleAndIndents) {
    TVolTextLayout layout = VolLayout(0, true, true);
    layout.DiskShown.fill(true);
    layout.DiskWidths[4] = layout.DiskWidths[5] = 200;
    layout.DiskWidths[kVolComment] = 10;
    TVolLines out;
    TVolTextBuilder b(layout, out.Writer());
    ASSERT_GT(b.Width(), 255u);
    for (const char* label : {"VOL1", "VOL2"}) ASSERT_TRUE(b.AddDisk(VolDisk(label, "First\r\nSecond")));
    const size_t indent = b.DiskHeading().size() - 10;
    ASSERT_GT(indent, 255u);
    EXPECT_EQ(out.Lines[5], std::string(indent, ' ') + "Second");
    EXPECT_EQ(std::count(out.Lines.begin(), out.Lines.end(), std::string(b.Width(), '-')), 1);
}

}  // namespace
}  // namespace reports
