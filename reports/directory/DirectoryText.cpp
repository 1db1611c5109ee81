#include "reports/directory/DirectoryText.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "framework/core/SysUtils.h"
#include "sysutil/UtStrL.h"

namespace reports {

const std::array<const char*, kDirectoryColumns> kDirectoryHeadings = {
    "FileName",      "Folder Name",   "Archive ID", "File Size",
    "Date Modified", "Time Modified", "Attribute",  "Comment"};

namespace {

enum class TDirAlign { Left, Right, Centre };

constexpr std::array<TDirAlign, kDirectoryColumns> kDirAligns = {
    TDirAlign::Left,   TDirAlign::Left,   TDirAlign::Left,   TDirAlign::Right,
    TDirAlign::Centre, TDirAlign::Centre, TDirAlign::Centre, TDirAlign::Left};
constexpr size_t kDirCaptionWidth = 69;
constexpr size_t kDirMinLineWidth = 80;
constexpr size_t kDirMaxValue = 255;

// Cut to Width when longer (keeping the start), else padded with blanks; a centred text gets the
// odd blank on the right. Widths are used whole, however long.
std::string FitDirText(std::string_view S, size_t Width, TDirAlign Align) {
    if (S.size() >= Width) return std::string(S.substr(0, Width));
    const size_t pad = Width - S.size();
    switch (Align) {
        case TDirAlign::Left:
            return std::string(S) + std::string(pad, ' ');
        case TDirAlign::Right:
            return std::string(pad, ' ') + std::string(S);
        case TDirAlign::Centre:
            break;
    }
    return std::string(pad / 2, ' ') + std::string(S) + std::string(pad - pad / 2, ' ');
}

// The next paragraph of a comment whose line feeds are gone: the trimmed text before the first
// carriage return (the rest after it stays in Text), or the whole text as it stands.
std::string TakeDirParagraph(std::string& Text) {
    const size_t cr = Text.find('\r');
    if (cr == std::string::npos) return std::exchange(Text, std::string());
    std::string paragraph = framework::Trim(std::string_view(Text).substr(0, cr));
    Text.erase(0, cr + 1);
    return paragraph;
}

}  // namespace

TDirectoryTextBuilder::TDirectoryTextBuilder(TDirectoryTextLayout Layout, TLineWriter Writer)
    : FLayout(std::move(Layout)), FWriter(std::move(Writer)) {
    bool first = true;
    for (int i = 0; i < kDirectoryColumns; ++i) {
        if (!FLayout.Shown[size_t(i)]) continue;
        if (!first) FHeading += ' ';
        first = false;
        FHeading +=
            FitDirText(kDirectoryHeadings[size_t(i)], FLayout.Widths[size_t(i)], kDirAligns[size_t(i)]);
    }
}

bool TDirectoryTextBuilder::StartPage() {
    ++FPage;
    if (FPage > 1 && !Write(std::string(std::max(FHeading.size(), kDirMinLineWidth), '-'))) return false;
    const TDirectoryVolumeTexts& v = FLayout.Volume;
    auto centre = [](const std::string& S, size_t Width) { return FitDirText(S, Width, TDirAlign::Centre); };
    return Write(centre(FLayout.Caption, kDirCaptionWidth) + "Page " +
                 FitDirText(std::to_string(FPage), 6, TDirAlign::Right)) &&
           Write("") && Write("  VolumeLabel      Disk Capacity         Space Used           Free Space") &&
           Write("") &&
           Write("  " + FitDirText(v.VolumeLabel, 11, TDirAlign::Left) + "   " + centre(v.DiskSize, 19) +
                 "  " + centre(v.SpaceUsed, 19) + "  " + centre(v.FreeSpace, 19)) &&
           Write("") && Write("  Files On Disk  Files In Arcs") && Write("") &&
           Write("  " + centre(v.FilesOnDisk, 13) + "  " + centre(v.FilesInArcs, 13)) && Write("") &&
           Write(FHeading) && Write("");
}

bool TDirectoryTextBuilder::AddEntry(const TDirectoryTextEntry& Entry) {
    if (FEntries == 0 || (FLayout.EntriesPerPage > 0 && FEntries % FLayout.EntriesPerPage == 0))
        if (!StartPage()) return false;
    ++FEntries;

    const size_t commentWidth = FLayout.Widths[kDirectoryCommentColumn];
    std::string remaining;  // multi-line: the paragraphs still to write
    std::string line;
    size_t indent = 0;
    bool first = true;
    for (int i = 0; i < kDirectoryColumns; ++i) {
        if (!FLayout.Shown[size_t(i)]) continue;
        if (!first) line += ' ';
        first = false;
        const std::string_view text = std::string_view(Entry.Texts[size_t(i)]).substr(0, kDirMaxValue);
        if (i != kDirectoryCommentColumn) {
            line += FitDirText(text, FLayout.Widths[size_t(i)], kDirAligns[size_t(i)]);
            continue;
        }
        indent = line.size();
        if (!FLayout.MultiLine) {
            line += FitDirText(text, commentWidth, TDirAlign::Left);
            continue;
        }
        remaining = Entry.Comment;
        std::erase(remaining, '\n');
        const std::string paragraph = TakeDirParagraph(remaining);
        std::string part, rest;
        sysutil::WrapAtMargin(paragraph, part, rest, int(commentWidth), false);
        line += FitDirText(part, commentWidth, TDirAlign::Left);
        rest = framework::Trim(rest);
        if (!rest.empty()) remaining = remaining.empty() ? rest : rest + '\r' + remaining;
    }
    if (!Write(line)) return false;

    const std::string pad(indent, ' ');
    while (!remaining.empty()) {
        std::string next = TakeDirParagraph(remaining);
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

bool TDirectoryTextBuilder::AddTotals(const std::array<std::string, 4>& Totals) {
    auto field = [](const std::string& S) { return FitDirText(S, 19, TDirAlign::Centre); };
    return Write("") &&
           Write("   Files On Disk       Bytes On Disk     Files In Archives   Bytes In Archives") &&
           Write("") &&
           Write(field(Totals[0]) + ' ' + field(Totals[1]) + ' ' + field(Totals[2]) + ' ' + field(Totals[3]));
}

}  // namespace reports
