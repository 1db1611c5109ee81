#include "reports/summary/SummaryReportText.h"

#include <algorithm>
#include <utility>

#include "framework/core/SysUtils.h"
#include "sysutil/UtStrL.h"

namespace reports {
namespace {

enum class TSummaryAlign { Left, Right, Centre };

constexpr int kSummaryCommentItem = 14;
constexpr size_t kSummaryTitleWidth = 69;
constexpr size_t kSummaryMinRule = 82;
constexpr const char* kSummaryTextTotalFormat = "###,###,###,###,##0";

// Cut to Width when longer, else padded with blanks (the odd blank of a centred text on the
// right); widths are not limited to a byte.
std::string SummaryJustify(std::string_view S, int Width, TSummaryAlign Align) {
    const size_t width = size_t(std::max(0, Width));
    if (S.size() >= width) return std::string(S.substr(0, width));
    const size_t pad = width - S.size();
    switch (Align) {
        case TSummaryAlign::Left:
            return std::string(S) + std::string(pad, ' ');
        case TSummaryAlign::Right:
            return std::string(pad, ' ') + std::string(S);
        case TSummaryAlign::Centre:
            break;
    }
    return std::string(pad / 2, ' ') + std::string(S) + std::string(pad - pad / 2, ' ');
}

// Takes the next comment line off Text: the trimmed text before the first carriage return, or the
// whole text when there is none.
std::string TakeSummaryCommentLine(std::string& Text) {
    const size_t cr = Text.find('\r');
    if (cr == std::string::npos) return std::exchange(Text, std::string());
    std::string line = framework::Trim(std::string_view(Text).substr(0, cr));
    Text.erase(0, cr + 1);
    return line;
}

}  // namespace

TSummaryTextBuilder::TSummaryTextBuilder(TSummaryTextLayout Layout, TLineWriter Writer)
    : FLayout(std::move(Layout)), FWriter(std::move(Writer)) {
    for (int p = 1; p <= kSummaryItems; ++p)
        for (int item = 1; item <= kSummaryItems; ++item)
            if (FLayout.ColumnPos[size_t(item - 1)] == p) FOrder.push_back(item);
    auto width = [this](int Item) { return FLayout.Widths[size_t(Item - 1)]; };
    for (size_t n = 0; n < FOrder.size(); ++n) {
        if (n > 0) FHeading += ' ';
        switch (const int item = FOrder[n]) {
            case 1:
                FHeading += "Catalog Volume ID";
                break;
            case 2:
                FHeading += "Actual Volume ID";
                break;
            case 3:
                FHeading += "Serial Number";
                break;
            case 4:
                FHeading += SummaryJustify("First Cataloged", width(item), TSummaryAlign::Centre);
                break;
            case 5:
                FHeading += SummaryJustify("Last Cataloged", width(item), TSummaryAlign::Centre);
                break;
            case 6:
                FHeading += SummaryJustify("Disk Size", width(item), TSummaryAlign::Right);
                break;
            case 7:
                FHeading += SummaryJustify("Cluster Size", width(item), TSummaryAlign::Right);
                break;
            case 8:
                FHeading += SummaryJustify("Space Used", width(item), TSummaryAlign::Right);
                break;
            case 9:
                FHeading += SummaryJustify("Free Space", width(item), TSummaryAlign::Right);
                break;
            case 10:
                FHeading += "Slack %";
                break;
            case 11:
                FHeading += "Files On Disk";
                break;
            case 12:
                FHeading += "Files In Archives";
                break;
            case 13:
                FHeading += "Drv";
                break;
            default:
                FHeading += SummaryJustify("Comment", width(item), TSummaryAlign::Left);
                break;
        }
    }
}

std::string TSummaryTextBuilder::Cell(int Item, const TSummaryTextRow& Row) const {
    const std::string& text = Row.Texts[size_t(Item - 1)];
    const int width = FLayout.Widths[size_t(Item - 1)];
    switch (Item) {
        case 1:
            return "   " + SummaryJustify(text, 14, TSummaryAlign::Left);
        case 2:
            return "  " + SummaryJustify(text, 14, TSummaryAlign::Left);
        // A blank serial number keeps the column's width.
        case 3:
            return "  " + SummaryJustify(text, 9, TSummaryAlign::Left) + "  ";
        case 4:
        case 5:
            return SummaryJustify(text, width, TSummaryAlign::Centre);
        case 6:
        case 7:
        case 8:
        case 9:
            return SummaryJustify(text, width, TSummaryAlign::Right);
        case 10:
            return SummaryJustify(text, 7, TSummaryAlign::Right);
        case 11:
            return SummaryJustify(text, 12, TSummaryAlign::Right) + " ";
        case 12:
            return SummaryJustify(text, 14, TSummaryAlign::Right) + "   ";
        case 13:
            return " " + text + ":";
        default:
            return SummaryJustify(text, width, TSummaryAlign::Left);
    }
}

bool TSummaryTextBuilder::StartPage() {
    ++FPage;
    if (FRows > 0 && !FWriter(std::string(std::max(FHeading.size(), kSummaryMinRule), '-'))) return false;
    const std::string title = SummaryJustify(FLayout.Title, int(kSummaryTitleWidth), TSummaryAlign::Centre) +
                              "Page " + SummaryJustify(std::to_string(FPage), 6, TSummaryAlign::Right);
    return FWriter(title) && FWriter("") && FWriter(FHeading) && FWriter("");
}

bool TSummaryTextBuilder::AddRow(const TSummaryTextRow& Row) {
    if (FRows == 0 || (FLayout.Pagination > 0 && FRows % FLayout.Pagination == 0))
        if (!StartPage()) return false;
    ++FRows;

    const int commentWidth = FLayout.Widths[kSummaryCommentItem - 1];
    std::string remaining;  // multi-line: the comment text still to write
    std::string line;
    size_t indent = 0;
    for (size_t n = 0; n < FOrder.size(); ++n) {
        const int item = FOrder[n];
        if (n > 0) line += ' ';
        if (item != kSummaryCommentItem || !FLayout.MultiLine) {
            line += Cell(item, Row);
            continue;
        }
        indent = line.size();
        remaining = Row.Comment;
        std::erase(remaining, '\n');
        const std::string first = TakeSummaryCommentLine(remaining);
        std::string head, rest;
        sysutil::WrapAtMargin(first, head, rest, commentWidth, false);
        line += SummaryJustify(head, commentWidth, TSummaryAlign::Left);
        if (!framework::Trim(rest).empty())
            remaining = remaining.empty() ? framework::Trim(rest) : framework::Trim(rest) + '\r' + remaining;
    }
    if (!FWriter(line)) return false;

    const std::string pad(indent, ' ');
    while (!remaining.empty()) {
        std::string next = TakeSummaryCommentLine(remaining);
        if (next.empty() && !FWriter("")) return false;
        while (!next.empty()) {
            std::string head, rest;
            sysutil::WrapAtMargin(next, head, rest, commentWidth, false);
            if (!FWriter(pad + head)) return false;
            next = framework::Trim(rest);
        }
    }
    return true;
}

bool TSummaryTextBuilder::AddTotals(const TSummaryTextTotals& T) {
    using framework::FormatFloat;
    auto centred = [](const std::string& Text, int Width) {
        return SummaryJustify(Text, Width, TSummaryAlign::Centre);
    };
    const std::string line = centred(FormatFloat("###,###,##0", T.Disks), 11) + ' ' +
                             centred(FormatFloat("#,###,###,##0", double(T.Files)), 13) + ' ' +
                             centred(FormatFloat("##0.00%", double(T.Slack)), 7) + ' ' +
                             centred(FormatFloat(kSummaryTextTotalFormat, double(T.Size)), 19) + ' ' +
                             centred(FormatFloat(kSummaryTextTotalFormat, double(T.Used)), 19) + ' ' +
                             centred(FormatFloat("##,###,###,###,##0", double(T.Free)), 18);
    return FWriter("") &&
           FWriter(
               "Total Disks  Total Files  Slack %  Total Disk Space       Total Used          Total Free") &&
           FWriter("") && FWriter(line);
}

}  // namespace reports
