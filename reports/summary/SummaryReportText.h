#pragma once
// The disk summary as a fixed-width text file: the title blocks, a line per volume with the
// comment's continuation lines, and the totals, built from the texts of each row.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "reports/summary/SummaryReportScreenForm.h"

namespace reports {

// The texts of one volume, item N at index N - 1, formatted but not yet justified: labels, serial
// number ("1A2B-3C4D"), the two dates as displayed, the four sizes with thousands separators, the
// slack ("12.50%"), the two file counts, the drive letter and the comment's first line; Comment is
// the whole comment.
struct TSummaryTextRow {
    std::array<std::string, kSummaryItems> Texts;
    std::string Comment;
};

struct TSummaryTextLayout {
    std::string Title;
    // 0: not shown; otherwise the column's place, 1 the leftmost.
    std::array<uint8_t, kSummaryItems> ColumnPos{};
    // Character widths of items 4 to 9 and 14, the comment's already limited for this output.
    std::array<int, kSummaryItems> Widths{};
    // Volumes per page; 0 writes one title block.
    int Pagination = 0;
    bool MultiLine = false;
};

// The totals of a report as the text file shows them.
struct TSummaryTextTotals {
    int32_t Disks = 0;
    int64_t Files = 0;
    long double Slack = 0;
    int64_t Size = 0, Used = 0, Free = 0;
};

// Builds the lines of one text-file output and hands each to a writer; a writer returning false
// stops the output (the caller reports the failed write).
class TSummaryTextBuilder {
public:
    using TLineWriter = std::function<bool(const std::string& Line)>;
    TSummaryTextBuilder(TSummaryTextLayout Layout, TLineWriter Writer);

    const std::string& HeadingLine() const { return FHeading; }
    // The rule and title block when a page starts, the row line and its continuation lines.
    bool AddRow(const TSummaryTextRow& Row);
    // An empty line, the totals' headings, an empty line and the totals.
    bool AddTotals(const TSummaryTextTotals& Totals);

private:
    bool StartPage();
    std::string Cell(int Item, const TSummaryTextRow& Row) const;
    std::vector<int> FOrder;  // items in column order
    TSummaryTextLayout FLayout;
    TLineWriter FWriter;
    std::string FHeading;
    int FRows = 0;
    int FPage = 0;
};

}  // namespace reports
