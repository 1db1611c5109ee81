#pragma once
// The directory listing as a fixed-width text file: the page header with the volume's figures and
// the column headings, the entry lines with their comment continuation lines, and the totals, built
// from the texts the directory window shows.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace reports {

// The listing's columns: file name, folder name, archive ID, file size, date, time, attributes and
// comment, in this fixed order.
inline constexpr int kDirectoryColumns = 8;
inline constexpr int kDirectoryCommentColumn = kDirectoryColumns - 1;

// The headings of the listing's columns; each column's starting character width is its heading's
// length.
extern const std::array<const char*, kDirectoryColumns> kDirectoryHeadings;

// The summary texts a page header shows.
struct TDirectoryVolumeTexts {
    std::string VolumeLabel, DiskSize, SpaceUsed, FreeSpace, FilesOnDisk, FilesInArcs;
};

struct TDirectoryTextLayout {
    std::string Caption;
    TDirectoryVolumeTexts Volume;
    std::array<bool, kDirectoryColumns> Shown{};
    // Character widths, the comment's already limited for this output.
    std::array<uint16_t, kDirectoryColumns> Widths{};
    // Entries per page; 0 writes one page header.
    int EntriesPerPage = 0;
    bool MultiLine = false;
};

// One entry: the column texts (the comment's first line last) and the whole comment.
struct TDirectoryTextEntry {
    std::array<std::string, kDirectoryColumns> Texts;
    std::string Comment;
};

// Builds the lines of one output and hands each to a writer; a writer returning false stops the
// output (the caller reports the failed write).
class TDirectoryTextBuilder {
public:
    using TLineWriter = std::function<bool(const std::string& Line)>;
    TDirectoryTextBuilder(TDirectoryTextLayout Layout, TLineWriter Writer);

    const std::string& HeadingLine() const { return FHeading; }
    // The page header when one is due, the entry line and its continuation lines.
    bool AddEntry(const TDirectoryTextEntry& Entry);
    // An empty line, the totals' headings, an empty line and the four totals.
    bool AddTotals(const std::array<std::string, 4>& Totals);

private:
    bool StartPage();
    bool Write(const std::string& Line) { return FWriter(Line); }
    TDirectoryTextLayout FLayout;
    TLineWriter FWriter;
    std::string FHeading;
    int FEntries = 0;
    int FPage = 0;
};

}  // namespace reports
