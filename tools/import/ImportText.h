#pragma once
// Reading of fixed-column listing files: cutting an item out of a line by its columns, the text
// forms of sizes and attribute letters, the checks of a profile's columns, a line reader that
// bounds the length of a line, and the assembly of entries (an entry line and the continuation
// lines of its comment) for the import of file entries and the import of comments.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tools {

// Columns of one item, numbered from 1; a starting column of 0 means the item is not in the file.
struct TImportColumns {
    int Start = 0;
    int End = 0;
};

// The characters from Columns.Start to Columns.End inclusive (counted from column 1 when the start
// is below 1; whatever the line holds of that range), with blanks and control characters removed
// from both ends.
std::string CutImportItem(const std::string& Line, TImportColumns Columns);

// Read-only 1, hidden 2, system 4 and archive 32 for the capitals R, H, S and A anywhere in Text.
int32_t ImportAttributeFromLetters(const std::string& Text);

// Text without its "," and "." (grouping in either convention).
std::string ImportSizeDigits(const std::string& Text);

// One item of a profile's column checks, in the order in which they are made.
struct TImportColumnItem {
    std::string Name;  // as a message names it
    TImportColumns Columns;
};

// The message of the first check a profile fails, empty when it passes all: file-name columns not
// both 0, then for each item an ending column not below its starting one (an item whose starting
// column is 0 passes); with CommentRequired the comment's columns not both 0 before its own check.
// Items holds the file name first and the comment last.
std::string ImportColumnCheck(const std::vector<TImportColumnItem>& Items, bool CommentRequired);

// Lines of a text file, cut at LF (a CR before it is dropped). A line longer than the limit gives
// its first Limit characters; the rest of it is skipped.
class TImportLineReader {
public:
    static constexpr size_t kLineLimit = 100000;
    // Reads up to Count bytes into Buffer; the number read (0 at the end), or -1 on a read error.
    using TSource = std::function<int64_t(char* Buffer, size_t Count)>;

    explicit TImportLineReader(TSource Source, size_t Limit = kLineLimit);
    enum TResult { lrLine, lrEnd, lrError };
    TResult ReadLine(std::string& Line);

private:
    bool Fill();
    TSource FSource;
    size_t FLimit;
    std::string FBuffer;
    size_t FPos = 0;
    bool FEnd = false, FError = false;
};

// A line reader over a file opened through the platform; Opened() is false when it cannot be read.
class TImportFile {
public:
    explicit TImportFile(const std::string& Path);
    // Lines from Source, which stands for an open file.
    explicit TImportFile(TImportLineReader::TSource Source);
    ~TImportFile();
    TImportFile(const TImportFile&) = delete;
    TImportFile& operator=(const TImportFile&) = delete;
    bool Opened() const;
    TImportLineReader::TResult ReadLine(std::string& Line) { return FReader.ReadLine(Line); }
    void Close();

private:
    std::intptr_t FHandle;
    bool FOpen;
    TImportLineReader FReader;
};

// ---- File entries ----

struct TFileImportColumns {
    TImportColumns FileName{1, 16}, FolderName, ArchiveID, FileSize, DateModified, TimeModified, Attribute,
        CategoryCode, Comment;
};

// An entry of a file listing as its line (and continuation lines) give it: texts not yet converted.
struct TFileImportEntry {
    std::string FileName, FolderName, ArchiveID, SizeText, DateText, TimeText, AttributeText, CategoryCode,
        Comment;
};

// The checks of a file-entry profile (ImportColumnCheck).
std::string FileImportColumnCheck(const TFileImportColumns& Columns);

// Assembles entries line by line: a line whose file name, folder and archive ID are all empty
// continues the comment of the pending entry; any other line completes the pending entry (when it
// has a file name) and starts the next one.
class TFileListingParser {
public:
    explicit TFileListingParser(const TFileImportColumns& Columns) : FColumns(Columns) {}
    // The entry the line completes, if any.
    std::optional<TFileImportEntry> Feed(const std::string& Line);
    // The last entry, when one is pending with a file name; the pending entry is dropped.
    std::optional<TFileImportEntry> Finish();
    void Drop() { FPending = {}; }

private:
    TFileImportColumns FColumns;
    TFileImportEntry FPending;
};

// ---- Comments ----

struct TCommentImportColumns {
    TImportColumns FileName{1, 16}, VolumeLabel, FolderName, ArchiveID, Comment{18, 255};
};

struct TCommentImportEntry {
    std::string FileName, VolumeLabel, FolderName, ArchiveID, Comment;
    bool HasComment = false;  // the comment holds more than blanks
};

std::string CommentImportColumnCheck(const TCommentImportColumns& Columns);

// As TFileListingParser, for comments: every item is cut whatever its columns, and an entry is
// handed on only when it has a file name and a comment that is not blank.
class TCommentListingParser {
public:
    explicit TCommentListingParser(const TCommentImportColumns& Columns) : FColumns(Columns) {}
    std::optional<TCommentImportEntry> Feed(const std::string& Line);
    std::optional<TCommentImportEntry> Finish();
    void Drop() { FPending = {}; }

private:
    std::optional<TCommentImportEntry> TakeReady();
    TCommentImportColumns FColumns;
    TCommentImportEntry FPending;
};

}  // namespace tools
