#pragma once
// The file report as a fixed-width text file: the lines of the title blocks, the detail rows with
// their comment continuation lines, and the totals, built from the texts of each row.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "reports/filereport/FileReportScreenForm.h"

namespace reports {

// The texts of one row, item N at index N - 1: file name, volume label, folder name, archive ID,
// size text, date text, time text, attribute text, category code, category description, and the
// comment's first line; Comment is the whole comment.
struct TFileReportTextRow {
    std::array<std::string, kColumnItems> Texts;
    std::string Comment;
};

struct TFileReportTextLayout {
    std::string Title;
    // 0: not shown; otherwise the column's place, 1 the leftmost.
    std::array<uint8_t, kColumnItems> ColumnPos{};
    // Character widths, the comment's already limited for this output.
    std::array<int, kColumnItems> Widths{};
    // Records per page; 0 writes one title block.
    int Pagination = 0;
    bool MultiLine = false;
};

// Builds the lines of one text-file output and hands each to a writer; a writer returning false
// stops the output (the caller reports the failed write).
class TFileReportTextBuilder {
public:
    using TLineWriter = std::function<bool(const std::string& Line)>;
    TFileReportTextBuilder(TFileReportTextLayout Layout, TLineWriter Writer);

    // The heading line: the headings justified to their columns, one blank between columns.
    const std::string& HeadingLine() const { return FHeading; }
    // The rule, title block (when a page starts), the detail line and its continuation lines.
    bool AddRow(const TFileReportTextRow& Row);
    // An empty line, the totals' headings, an empty line and the four totals.
    bool AddTotals(int64_t FilesOnDisk, int64_t BytesOnDisk, int64_t FilesInArchives,
                   int64_t BytesInArchives);

private:
    bool StartPage();
    bool Write(const std::string& Line) { return FWriter(Line); }
    std::vector<int> FOrder;  // item indexes in column order
    TFileReportTextLayout FLayout;
    TLineWriter FWriter;
    std::string FHeading;
    int FRecords = 0;
    int FPage = 0;
};

}  // namespace reports
