#include "reports/volsummary/VolSummaryText.h"

#include <algorithm>
#include <utility>

#include "catalog/TextHelpers.h"
#include "framework/core/SysUtils.h"
#include "sysutil/UtStrL.h"

namespace reports {
namespace {

enum class TVolAlign { Left, Right, Centre };

// Column widths are at most 255 characters (the longest names hold 200, comments are limited to
// 255 for an output).
std::string VolJustify(std::string_view S, int Width, TVolAlign Align) {
    const auto width = static_cast<uint8_t>(std::clamp(Width, 0, 255));
    switch (Align) {
        case TVolAlign::Left:
            return catalog::LeftJustify(S, width);
        case TVolAlign::Right:
            return catalog::RightJustify(S, width);
        case TVolAlign::Centre:
            break;
    }
    return catalog::CenterJustify(S, width);
}

// Adds a part to a line, with a blank between when the line is not empty.
void VolJoin(std::string& Line, const std::string& Part) {
    if (!Line.empty()) Line += ' ';
    Line += Part;
}

struct TVolHeadingPart {
    const char* Text;
    TVolAlign Align;
    bool Sized;  // justified to the column's width; otherwise the text as it stands
};

constexpr TVolHeadingPart kVolDiskHeadings[kVolColumns] = {
    {"Catalog Volume ID", TVolAlign::Left, true},
    {"Actual Volume ID", TVolAlign::Left, true},
    {"Drv", TVolAlign::Left, false},
    {"Serial Number", TVolAlign::Left, true},
    {"First Cataloged", TVolAlign::Centre, true},
    {"Last Cataloged", TVolAlign::Centre, true},
    {"Disk Size", TVolAlign::Right, true},
    {"Cluster Size", TVolAlign::Right, true},
    {"Space Used", TVolAlign::Right, true},
    {"Free Space", TVolAlign::Right, true},
    {"Slack %", TVolAlign::Left, false},
    {"Files On Disk", TVolAlign::Left, false},
    {"Files In Archives", TVolAlign::Left, false},
    {"Comment", TVolAlign::Left, true},
};

// The entry columns' headings and the alignment of both the heading and the values.
constexpr TVolHeadingPart kVolFileHeadings[kEntryColumns] = {
    {"FileName", TVolAlign::Left, true},        {"Volume ID", TVolAlign::Left, true},
    {"Folder Name", TVolAlign::Left, true},     {"Archive ID", TVolAlign::Left, true},
    {"File Size", TVolAlign::Right, true},      {"Date Modified", TVolAlign::Centre, true},
    {"Time Modified", TVolAlign::Centre, true}, {"Attribute", TVolAlign::Centre, true},
    {"Category Code", TVolAlign::Left, true},   {"Category", TVolAlign::Left, true},
    {"Comment", TVolAlign::Left, true},
};

// Takes the next line off Text at its first carriage return (the whole rest without one), trimmed.
std::string TakeVolCommentLine(std::string& Text) {
    const size_t cr = Text.find('\r');
    std::string line = framework::Trim(std::string_view(Text).substr(0, cr));
    Text.erase(0, cr == std::string::npos ? Text.size() : cr + 1);
    return line;
}

}  // namespace

TVolTextBuilder::TVolTextBuilder(TVolTextLayout Layout, TReportLineWriter Writer)
    : FLayout(std::move(Layout)), FWriter(std::move(Writer)) {
    for (int i = 0; i < kVolColumns; ++i) {
        if (!FLayout.DiskShown[size_t(i)]) continue;
        const TVolHeadingPart& h = kVolDiskHeadings[i];
        VolJoin(FDiskHeading, h.Sized ? VolJustify(h.Text, FLayout.DiskWidths[size_t(i)], h.Align) : h.Text);
    }
    for (int i = 0; i < kEntryColumns; ++i) {
        if (!FLayout.FileShown[size_t(i)]) continue;
        const TVolHeadingPart& h = kVolFileHeadings[i];
        VolJoin(FFileHeading, VolJustify(h.Text, FLayout.FileWidths[size_t(i)], h.Align));
    }
    FWidth = std::max({size_t(80), FDiskHeading.size(), FFileHeading.size()});
}

std::vector<std::string> TVolTextBuilder::CommentLines(const std::string& Comment, int Width) {
    std::string rest = Comment;
    std::erase(rest, '\n');
    std::vector<std::string> lines;
    std::string head, tail;
    sysutil::WrapAtMargin(TakeVolCommentLine(rest), head, tail, Width, false);
    lines.push_back(head);
    tail = framework::Trim(tail);
    if (!tail.empty()) rest = rest.empty() ? tail : tail + '\r' + rest;
    while (!rest.empty()) {
        std::string next = TakeVolCommentLine(rest);
        if (next.empty()) lines.emplace_back();
        while (!next.empty()) {
            sysutil::WrapAtMargin(next, head, tail, Width, false);
            lines.push_back(head);
            next = framework::Trim(tail);
        }
    }
    return lines;
}

bool TVolTextBuilder::WriteFurther(const std::vector<std::string>& Lines, size_t Indent) {
    for (size_t n = 1; n < Lines.size(); ++n)
        if (!Write(Lines[n].empty() ? std::string() : std::string(Indent, ' ') + Lines[n])) return false;
    return true;
}

bool TVolTextBuilder::StartPage() {
    ++FPage;
    if (FPage > 1 && !Write(std::string(FWidth, '-'))) return false;
    return Write(catalog::CenterJustify("Volume Summary / File Contents", 69) + "Page " +
                 catalog::RightJustify(std::to_string(FPage), 6));
}

bool TVolTextBuilder::AddDisk(const TVolTextDisk& Disk) {
    const bool comments = FLayout.MultiLine && FLayout.DiskShown[kVolComment];
    const std::vector<std::string> comment =
        comments ? CommentLines(Disk.Comment, FLayout.DiskWidths[kVolComment]) : std::vector<std::string>{""};
    const int c = int(comment.size());
    if (FLayout.NewPagePerDisk || FPage == 0 ||
        (FLayout.Pagination > 0 && FLayout.Pagination - FLines < c + 8)) {
        if (!StartPage() || !Write("")) return false;
        FLines = 2;
    } else {
        if (!Write("") || !Write("")) return false;
        FLines += 2;
    }
    std::string line;
    size_t indent = 0;
    for (int i = 0; i < kVolColumns; ++i) {
        if (!FLayout.DiskShown[size_t(i)]) continue;
        const std::string& text = Disk.Texts[size_t(i)];
        const int width = FLayout.DiskWidths[size_t(i)];
        std::string part;
        switch (i) {
            case 0:
                part = "   " + VolJustify(text, 14, TVolAlign::Left);
                break;
            case 1:
                part = "  " + VolJustify(text, 14, TVolAlign::Left);
                break;
            case 2:
                part = " " + text.substr(0, 1) + ":";
                break;
            case 3:
                part = "  " + text + "  ";
                break;
            case 4:
            case 5:
                part = VolJustify(text, width, TVolAlign::Centre);
                break;
            case 10:
                part = VolJustify(text, 7, TVolAlign::Right);
                break;
            case 11:
                part = VolJustify(text, 12, TVolAlign::Right) + " ";
                break;
            case 12:
                part = VolJustify(text, 14, TVolAlign::Right) + "   ";
                break;
            case kVolComment:
                indent = line.empty() ? 0 : line.size() + 1;
                part = VolJustify(comments ? comment[0] : text, width, TVolAlign::Left);
                break;
            default:
                part = VolJustify(text, width, TVolAlign::Right);
                break;
        }
        VolJoin(line, part);
    }
    const bool written = Write(FDiskHeading) && Write("") && Write(line) && WriteFurther(comment, indent) &&
                         Write("") && Write(FFileHeading) && Write("");
    FLines += c + 5;
    return written;
}

bool TVolTextBuilder::AddEntry(const TVolTextEntry& Entry) {
    const bool comments = FLayout.MultiLine && FLayout.FileShown[kEntryComment];
    const std::vector<std::string> comment =
        comments ? CommentLines(Entry.Comment, FLayout.FileWidths[kEntryComment])
                 : std::vector<std::string>{""};
    const int c = int(comment.size());
    if (FPage == 0 || (FLayout.Pagination > 0 && c > FLayout.Pagination - FLines)) {
        if (!StartPage() || !Write("") || !Write(FFileHeading) || !Write("")) return false;
        FLines = 4;
    }
    std::string line;
    size_t indent = 0;
    for (int i = 0; i < kEntryColumns; ++i) {
        if (!FLayout.FileShown[size_t(i)]) continue;
        if (i == kEntryComment) {
            indent = line.empty() ? 0 : line.size() + 1;
            VolJoin(line, comments ? comment[0]
                                   : VolJustify(Entry.Texts[size_t(i)], FLayout.FileWidths[size_t(i)],
                                                TVolAlign::Left));
            continue;
        }
        VolJoin(line,
                VolJustify(Entry.Texts[size_t(i)], FLayout.FileWidths[size_t(i)], kVolFileHeadings[i].Align));
    }
    FLines += c;
    return Write(line) && WriteFurther(comment, indent);
}

bool TVolTextBuilder::AddTotals(const TSummaryTextTotals& T) {
    using framework::FormatFloat;
    if (FPage == 0 || (FLayout.Pagination > 0 && FLayout.Pagination - FLines < 5))
        if (!StartPage()) return false;
    auto centred = [](const std::string& Text, int Width) {
        return VolJustify(Text, Width, TVolAlign::Centre);
    };
    const std::string line = centred(FormatFloat("###,###,##0", T.Disks), 11) + ' ' +
                             centred(FormatFloat("#,###,###,##0", double(T.Files)), 13) + ' ' +
                             centred(FormatFloat("##0.00%", double(T.Slack)), 7) + ' ' +
                             centred(FormatFloat("###,###,###,###,##0", double(T.Size)), 19) + ' ' +
                             centred(FormatFloat("###,###,###,###,##0", double(T.Used)), 19) + ' ' +
                             centred(FormatFloat("##,###,###,###,##0", double(T.Free)), 18);
    FLines += 5;
    return Write("") && Write("") &&
           Write(
               "Total Disks  Total Files  Slack %  Total Disk Space       Total Used          Total Free") &&
           Write("") && Write(line);
}

}  // namespace reports
