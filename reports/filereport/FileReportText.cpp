#include "reports/filereport/FileReportText.h"

#include <algorithm>
#include <utility>

#include "framework/core/SysUtils.h"
#include "sysutil/UtStrL.h"

namespace reports {
namespace {

enum class TTextAlign { Left, Right, Centre };

struct TTextColumn {
    const char* Heading;
    TTextAlign Align;
};

constexpr TTextColumn kTextColumns[kColumnItems] = {
    {"FileName", TTextAlign::Left},        {"Volume ID", TTextAlign::Left},
    {"Folder Name", TTextAlign::Left},     {"Archive ID", TTextAlign::Left},
    {"File Size", TTextAlign::Right},      {"Date Modified", TTextAlign::Centre},
    {"Time Modified", TTextAlign::Centre}, {"Attribute", TTextAlign::Centre},
    {"Category Code", TTextAlign::Left},   {"Category", TTextAlign::Left},
    {"Comment", TTextAlign::Left},
};
constexpr int kCommentItem = kColumnItems - 1;
constexpr size_t kTitleWidth = 69;
constexpr size_t kMinRuleLength = 80;
constexpr const char* kTextTotalFormat = "###,###,###,###,##0";

// Cut to Width when longer, else padded with blanks (the odd blank of a centred text on the
// right); widths are not limited to a byte.
std::string JustifyText(std::string_view S, size_t Width, TTextAlign Align) {
    if (S.size() >= Width) return std::string(S.substr(0, Width));
    const size_t pad = Width - S.size();
    switch (Align) {
        case TTextAlign::Left:
            return std::string(S) + std::string(pad, ' ');
        case TTextAlign::Right:
            return std::string(pad, ' ') + std::string(S);
        case TTextAlign::Centre:
            break;
    }
    return std::string(pad / 2, ' ') + std::string(S) + std::string(pad - pad / 2, ' ');
}

// Takes the next comment line off Text: the trimmed text before the first carriage return, or the
// whole text when there is none.
std::string TakeCommentLine(std::string& Text) {
    const size_t cr = Text.find('\r');
    if (cr == std::string::npos) return std::exchange(Text, std::string());
    std::string line = framework::Trim(std::string_view(Text).substr(0, cr));
    Text.erase(0, cr + 1);
    return line;
}

std::string TotalField(int64_t Value) {
    return JustifyText(framework::FormatFloat(kTextTotalFormat, static_cast<double>(Value)), 19,
                       TTextAlign::Centre);
}

}  // namespace

TFileReportTextBuilder::TFileReportTextBuilder(TFileReportTextLayout Layout, TLineWriter Writer)
    : FLayout(std::move(Layout)), FWriter(std::move(Writer)) {
    for (int p = 1; p <= kColumnItems; ++p)
        for (int i = 0; i < kColumnItems; ++i)
            if (FLayout.ColumnPos[size_t(i)] == p) FOrder.push_back(i);
    for (size_t n = 0; n < FOrder.size(); ++n) {
        const int i = FOrder[n];
        if (n > 0) FHeading += ' ';
        FHeading += JustifyText(kTextColumns[i].Heading, size_t(std::max(0, FLayout.Widths[size_t(i)])),
                                kTextColumns[i].Align);
    }
}

bool TFileReportTextBuilder::StartPage() {
    ++FPage;
    if (FRecords > 0 && !Write(std::string(std::max(FHeading.size(), kMinRuleLength), '-'))) return false;
    const std::string title = JustifyText(FLayout.Title, kTitleWidth, TTextAlign::Centre) + "Page " +
                              JustifyText(std::to_string(FPage), 6, TTextAlign::Right);
    return Write(title) && Write("") && Write(FHeading) && Write("");
}

bool TFileReportTextBuilder::AddRow(const TFileReportTextRow& Row) {
    if (FRecords == 0 || (FLayout.Pagination > 0 && FRecords % FLayout.Pagination == 0))
        if (!StartPage()) return false;
    ++FRecords;

    const size_t commentWidth = size_t(std::max(0, FLayout.Widths[kCommentItem]));
    std::string remaining;  // multi-line: the comment text still to write
    std::string line;
    size_t indent = 0;
    for (size_t n = 0; n < FOrder.size(); ++n) {
        const int i = FOrder[n];
        if (n > 0) line += ' ';
        if (i != kCommentItem) {
            line += JustifyText(Row.Texts[size_t(i)], size_t(std::max(0, FLayout.Widths[size_t(i)])),
                                kTextColumns[i].Align);
            continue;
        }
        indent = line.size();
        if (!FLayout.MultiLine) {
            line += JustifyText(Row.Texts[size_t(i)], commentWidth, TTextAlign::Left);
            continue;
        }
        remaining = Row.Comment;
        std::erase(remaining, '\n');
        const std::string first = TakeCommentLine(remaining);
        std::string part, rest;
        sysutil::WrapAtMargin(first, part, rest, int(commentWidth), false);
        line += JustifyText(part, commentWidth, TTextAlign::Left);
        if (!framework::Trim(rest).empty()) remaining = remaining.empty() ? rest : rest + '\r' + remaining;
    }
    if (!Write(line)) return false;

    const std::string pad(indent, ' ');
    while (!remaining.empty()) {
        std::string next = TakeCommentLine(remaining);
        if (next.empty() && !Write("")) return false;
        while (!next.empty()) {
            std::string part, rest;
            sysutil::WrapAtMargin(next, part, rest, int(commentWidth), false);
            if (!Write(pad + part)) return false;
            next = framework::Trim(rest);
        }
    }
    return true;
}

bool TFileReportTextBuilder::AddTotals(int64_t FilesOnDisk, int64_t BytesOnDisk, int64_t FilesInArchives,
                                       int64_t BytesInArchives) {
    return Write("") &&
           Write("   Files On Disk       Bytes On Disk     Files In Archives   Bytes In Archives") &&
           Write("") &&
           Write(TotalField(FilesOnDisk) + ' ' + TotalField(BytesOnDisk) + ' ' + TotalField(FilesInArchives) +
                 ' ' + TotalField(BytesInArchives));
}

}  // namespace reports
