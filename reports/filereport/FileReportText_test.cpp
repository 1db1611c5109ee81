// The text-file layout of a file report: title blocks and pagination, column justification, the
// comment in single- and multi-line mode, the totals, and a failing writer stopping the output.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reports/filereport/FileReportText.h"

namespace reports {
namespace {

TFileReportTextLayout NameVolumeSizeLayout() {
    TFileReportTextLayout layout;
    layout.Title = "All Files";
    layout.ColumnPos[0] = 1;
    layout.ColumnPos[1] = 2;
    layout.ColumnPos[4] = 3;
    layout.Widths = {10, 12, 11, 10, 9, 13, 13, 9, 13, 8, 7};
    return layout;
}

TFileReportTextRow TextRow(const std::string& Name, const std::string& Size,
                           const std::string& Comment = "") {
    TFileReportTextRow row;
    row.Texts[0] = Name;
    row.Texts[1] = "BACKUP01";
    row.Texts[4] = Size;
    row.Texts[10] = Comment.substr(0, Comment.find('\r'));
    row.Comment = Comment;
    return row;
}

struct TTextCapture {
    std::vector<std::string> Lines;
    TFileReportTextBuilder::TLineWriter Writer() {
        return [this](const std::string& Line) {
            Lines.push_back(Line);
            return true;
        };
    }
};

const std::string kTitleLine1 = std::string(30, ' ') + "All Files" + std::string(30, ' ') + "Page      1";

TEST(FileReportTextTest, OnePageWithoutPaginationHasOneTitleBlockAndNoRule) {
    TTextCapture out;
    TFileReportTextBuilder builder(NameVolumeSizeLayout(), out.Writer());
    ASSERT_TRUE(builder.AddRow(TextRow("README.TXT", "10")));
    ASSERT_TRUE(builder.AddRow(TextRow("MANUAL.DOC", "1,000")));
    const std::vector<std::string> expected = {kTitleLine1,
                                               "",
                                               "FileName   Volume ID    File Size",
                                               "",
                                               "README.TXT BACKUP01            10",
                                               "MANUAL.DOC BACKUP01         1,000"};
    EXPECT_EQ(out.Lines, expected);
    EXPECT_EQ(kTitleLine1.size(), 80u);
}

TEST(FileReportTextTest, PaginationStartsAPageEveryNRecordsWithARuleBetween) {
    auto layout = NameVolumeSizeLayout();
    layout.Pagination = 2;
    TTextCapture out;
    TFileReportTextBuilder builder(layout, out.Writer());
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(builder.AddRow(TextRow("F" + std::to_string(i), "1")));
    std::vector<std::string> titles, rules;
    std::vector<size_t> ruleAt;
    for (size_t n = 0; n < out.Lines.size(); ++n) {
        if (out.Lines[n].find("All Files") != std::string::npos) titles.push_back(out.Lines[n].substr(69));
        if (!out.Lines[n].empty() && out.Lines[n].find_first_not_of('-') == std::string::npos)
            ruleAt.push_back(n);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Page      1", "Page      2", "Page      3"}));
    ASSERT_EQ(ruleAt.size(), 2u);
    EXPECT_EQ(out.Lines[ruleAt[0]], std::string(80, '-'));
    // The second page's block follows the second record.
    EXPECT_EQ(out.Lines[ruleAt[0] - 1].substr(0, 2), "F1");
    EXPECT_EQ(out.Lines[ruleAt[1] - 1].substr(0, 2), "F3");
    EXPECT_EQ(out.Lines.back().substr(0, 2), "F4");
}

TEST(FileReportTextTest, TitleIsCutAndWideHeadingsGetARuleOfTheirFullLength) {
    auto layout = NameVolumeSizeLayout();
    layout.Title = std::string(75, 'T');
    layout.Widths[0] = 288;  // a heading line of 311 characters
    layout.Pagination = 1;
    TTextCapture out;
    TFileReportTextBuilder builder(layout, out.Writer());
    ASSERT_TRUE(builder.AddRow(TextRow("A", "1")));
    ASSERT_TRUE(builder.AddRow(TextRow("B", "2")));
    EXPECT_EQ(out.Lines[0], std::string(69, 'T') + "Page      1");
    EXPECT_EQ(builder.HeadingLine().size(), 311u);
    EXPECT_EQ(out.Lines[5], std::string(311, '-'));
}

TEST(FileReportTextTest, JustifiesEachItemToItsColumn) {
    TFileReportTextLayout layout;
    for (int i = 0; i < kColumnItems; ++i) layout.ColumnPos[size_t(i)] = uint8_t(kColumnItems - i);
    layout.Widths = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};
    TTextCapture out;
    TFileReportTextBuilder builder(layout, out.Writer());
    TFileReportTextRow row;
    row.Texts = {"a", "b", "c", "d", "5", "6", "7", "RH", "cc", "cat", "com"};
    ASSERT_TRUE(builder.AddRow(row));
    // Reversed order: comment first; sizes right, date, time and attribute centred, the odd blank
    // on the right; long headings cut to the width.
    EXPECT_EQ(builder.HeadingLine(), "Comm Cate Cate Attr Time Date File Arch Fold Volu File");
    EXPECT_EQ(out.Lines.back(), "com  cat  cc    RH   7    6      5 d    c    b    a   ");
}

TEST(FileReportTextTest, SingleLineCommentIsCutAtTheWidth) {
    auto layout = NameVolumeSizeLayout();
    layout.ColumnPos[10] = 4;
    layout.Widths[10] = 10;
    TTextCapture out;
    TFileReportTextBuilder builder(layout, out.Writer());
    ASSERT_TRUE(builder.AddRow(TextRow("A", "1", "first line is long\r\nsecond")));
    EXPECT_EQ(out.Lines.back(), "A          BACKUP01             1 first line");
    EXPECT_EQ(out.Lines.size(), 5u);
}

TEST(FileReportTextTest, MultiLineCommentContinuesUnderTheCommentColumn) {
    struct TCase {
        const char* Name;
        std::string Comment;
        std::vector<std::string> Lines;  // the detail line's comment field, then continuation lines
    };
    const std::string in(34, ' ');
    const std::vector<TCase> cases = {
        {"empty middle line", "abc\r\n\r\ndef", {"abc       ", "", in + "def"}},
        {"long first line wraps", "one two three four", {"one two   ", in + "three four"}},
        {"long word cut hard", "abcdefghijklmnop qr\r\nxy", {"abcdefghij", in + "klmnop qr", in + "xy"}},
        {"inner lines trimmed", "a\r\n   b   \r\nc", {"a         ", in + "b", in + "c"}},
        {"no comment", "", {"          "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto layout = NameVolumeSizeLayout();
        layout.ColumnPos[10] = 4;
        layout.Widths[10] = 10;
        layout.MultiLine = true;
        TTextCapture out;
        TFileReportTextBuilder builder(layout, out.Writer());
        ASSERT_TRUE(builder.AddRow(TextRow("A", "1", c.Comment)));
        ASSERT_EQ(out.Lines.size(), 4 + c.Lines.size());
        EXPECT_EQ(out.Lines[4], "A          BACKUP01             1 " + c.Lines[0]);
        for (size_t n = 1; n < c.Lines.size(); ++n) EXPECT_EQ(out.Lines[4 + n], c.Lines[n]);
    }
}

TEST(FileReportTextTest, TotalsAreFourCentredFields) {
    TTextCapture out;
    TFileReportTextBuilder builder(NameVolumeSizeLayout(), out.Writer());
    ASSERT_TRUE(builder.AddRow(TextRow("A", "1")));
    ASSERT_TRUE(builder.AddTotals(2, 1010, 0, 1234567));
    ASSERT_EQ(out.Lines.size(), 9u);
    EXPECT_EQ(out.Lines[5], "");
    EXPECT_EQ(out.Lines[6], "   Files On Disk       Bytes On Disk     Files In Archives   Bytes In Archives");
    EXPECT_EQ(out.Lines[7], "");
    EXPECT_EQ(out.Lines[8], std::string(9, ' ') + "2" + std::string(9, ' ') + ' ' + std::string(7, ' ') +
                                "1,010" + std::string(7, ' ') + ' ' + std::string(9, ' ') + "0" +
                                std::string(9, ' ') + ' ' + std::string(5, ' ') + "1,234,567" +
                                std::string(5, ' '));
}

TEST(FileReportTextTest, AFailedWriteStopsTheOutput) {
    for (int failAt : {0, 1, 4, 5}) {
        SCOPED_TRACE(failAt);
        int written = 0;
        TFileReportTextBuilder builder(NameVolumeSizeLayout(),
                                       [&](const std::string&) { return written++ != failAt; });
        const bool ok = builder.AddRow(TextRow("A", "1"));
        EXPECT_EQ(ok, failAt >= 5);
        EXPECT_EQ(written, ok ? 5 : failAt + 1);
    }
}

}  // namespace
}  // namespace reports
