#pragma once
// The volume summary with file contents as a fixed-width text file: for every volume a block with
// its heading and values, then a line per entry, then the catalog totals; optionally divided into
// pages of a fixed number of lines. The builder works on texts already formatted, so it knows
// nothing of tables.

#include <array>
#include <string>
#include <vector>

#include "reports/output/ReportOutputForms.h"
#include "reports/summary/SummaryReportText.h"
#include "reports/volsummary/VolSummaryScreenForm.h"

namespace reports {

struct TVolTextLayout {
    // The columns chosen in the window's two menus.
    std::array<bool, kVolColumns> DiskShown{};
    std::array<bool, kEntryColumns> FileShown{};
    // The character widths the window measured, the comments' already limited for this output.
    std::array<int, kVolColumns> DiskWidths{};
    std::array<int, kEntryColumns> FileWidths{};
    // Lines per page; 0 makes one page.
    int Pagination = 0;
    // Every volume starts a page.
    bool NewPagePerDisk = false;
    // Comments in full, wrapped at their column's width; otherwise their first line.
    bool MultiLine = false;
};

// A volume: the drive letter as the third text, the slack with its percent sign, the counts and
// sizes formatted, the comment's first line last; Comment is the whole comment.
struct TVolTextDisk {
    TVolTexts Texts;
    std::string Comment;
};
// An entry: the size formatted, the date and time as displayed, the attribute letters and the
// comment's first line last; Comment is the whole comment.
struct TVolTextEntry {
    TEntryTexts Texts;
    std::string Comment;
};

class TVolTextBuilder {
public:
    TVolTextBuilder(TVolTextLayout Layout, TReportLineWriter Writer);

    const std::string& DiskHeading() const { return FDiskHeading; }
    const std::string& FileHeading() const { return FFileHeading; }
    // The length of the page rule: at least 80, or the longer heading line.
    size_t Width() const { return FWidth; }

    // Each returns false once a line could not be written.
    bool AddDisk(const TVolTextDisk& Disk);
    bool AddEntry(const TVolTextEntry& Entry);
    bool AddTotals(const TSummaryTextTotals& Totals);

private:
    bool StartPage();
    bool Write(const std::string& Line) { return FWriter(Line); }
    // The comment's lines in multi-line mode: the first piece (for the values line), then every
    // further piece or empty line.
    static std::vector<std::string> CommentLines(const std::string& Comment, int Width);
    bool WriteFurther(const std::vector<std::string>& Lines, size_t Indent);

    TVolTextLayout FLayout;
    TReportLineWriter FWriter;
    std::string FDiskHeading, FFileHeading;
    size_t FWidth = 80;
    int FPage = 0;
    int FLines = -1;
};

}  // namespace reports
