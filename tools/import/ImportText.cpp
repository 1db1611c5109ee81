#include "tools/import/ImportText.h"

#include <algorithm>

#include "platform/Files.h"

namespace tools {

namespace {

bool IsBlankOrControl(char C) {
    return uint8_t(C) <= ' ';
}

std::string TrimBlanks(const std::string& Text) {
    size_t first = 0, last = Text.size();
    while (first < last && IsBlankOrControl(Text[first])) ++first;
    while (last > first && IsBlankOrControl(Text[last - 1])) --last;
    return Text.substr(first, last - first);
}

}  // namespace

std::string CutImportItem(const std::string& Line, TImportColumns Columns) {
    // The count is taken before the start is raised to column 1, so a start below 1 shortens it.
    const int64_t count = int64_t(Columns.End) - Columns.Start + 1;
    const int64_t start = std::max(1, Columns.Start);
    if (count <= 0 || start > int64_t(Line.size())) return {};
    return TrimBlanks(Line.substr(size_t(start - 1), size_t(count)));
}

int32_t ImportAttributeFromLetters(const std::string& Text) {
    int32_t attribute = 0;
    for (const char c : Text) {
        switch (c) {
            case 'R':
                attribute |= 1;
                break;
            case 'H':
                attribute |= 2;
                break;
            case 'S':
                attribute |= 4;
                break;
            case 'A':
                attribute |= 32;
                break;
            default:
                break;
        }
    }
    return attribute;
}

std::string ImportSizeDigits(const std::string& Text) {
    std::string digits;
    for (const char c : Text)
        if (c != ',' && c != '.') digits += c;
    return digits;
}

std::string ImportColumnCheck(const std::vector<TImportColumnItem>& Items, bool CommentRequired) {
    if (Items.empty()) return {};
    if (Items.front().Columns.Start == 0 && Items.front().Columns.End == 0)
        return "The Starting And Ending Columns For The " + Items.front().Name + " Cannot Be Zero";
    for (size_t i = 0; i < Items.size(); ++i) {
        const TImportColumnItem& item = Items[i];
        if (CommentRequired && i + 1 == Items.size() && item.Columns.Start == 0 && item.Columns.End == 0)
            return "The Starting And Ending Columns For The " + item.Name + " Cannot Be Zero";
        if (item.Columns.Start > 0 && item.Columns.End < item.Columns.Start)
            return "The Ending Column For The " + item.Name + " Cannot Be Less Than The Starting Column";
    }
    return {};
}

// ---- Line reader ----

TImportLineReader::TImportLineReader(TSource Source, size_t Limit)
    : FSource(std::move(Source)), FLimit(Limit) {}

bool TImportLineReader::Fill() {
    if (FEnd || FError) return false;
    if (FPos > 0) {
        FBuffer.erase(0, FPos);
        FPos = 0;
    }
    constexpr size_t kChunk = 64 * 1024;
    const size_t old = FBuffer.size();
    FBuffer.resize(old + kChunk);
    const int64_t got = FSource ? FSource(FBuffer.data() + old, kChunk) : 0;
    if (got < 0) {
        FError = true;
        FBuffer.resize(old);
        return false;
    }
    FBuffer.resize(old + size_t(got));
    if (got == 0) FEnd = true;
    return got > 0;
}

TImportLineReader::TResult TImportLineReader::ReadLine(std::string& Line) {
    Line.clear();
    bool any = false;
    bool skipping = false;  // past the limit: the rest of the line is thrown away
    for (;;) {
        if (FPos >= FBuffer.size() && !Fill()) {
            if (FError) return lrError;
            if (!any) return lrEnd;
            break;
        }
        any = true;
        const size_t stop = FBuffer.find('\n', FPos);
        const size_t end = stop == std::string::npos ? FBuffer.size() : stop;
        if (!skipping) {
            const size_t room = FLimit - Line.size();
            Line.append(FBuffer, FPos, std::min(room, end - FPos));
            if (Line.size() >= FLimit && end - FPos > room) skipping = true;
        }
        if (stop == std::string::npos) {
            FPos = FBuffer.size();
            continue;
        }
        FPos = stop + 1;
        break;
    }
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    return lrLine;
}

TImportFile::TImportFile(const std::string& Path)
    : FHandle(platform::CreateFile(Path, platform::GENERIC_READ,
                                   platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE,
                                   platform::OPEN_EXISTING, 0)),
      FOpen(FHandle != platform::INVALID_HANDLE_VALUE),
      FReader([this](char* Buffer, size_t Count) -> int64_t {
          if (!FOpen) return -1;
          uint32_t read = 0;
          if (!platform::ReadFile(FHandle, Buffer, uint32_t(Count), &read)) return -1;
          return read;
      }) {}

TImportFile::TImportFile(TImportLineReader::TSource Source)
    : FHandle(platform::INVALID_HANDLE_VALUE), FOpen(true), FReader(std::move(Source)) {}

TImportFile::~TImportFile() {
    Close();
}

bool TImportFile::Opened() const {
    return FOpen;
}

void TImportFile::Close() {
    if (FHandle != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(FHandle);
    FHandle = platform::INVALID_HANDLE_VALUE;
    FOpen = false;
}

// ---- File entries ----

std::string FileImportColumnCheck(const TFileImportColumns& C) {
    return ImportColumnCheck({{"FileName", C.FileName},
                              {"Folder Name", C.FolderName},
                              {"Archive ID", C.ArchiveID},
                              {"File Size", C.FileSize},
                              {"Date Modified", C.DateModified},
                              {"Time Modified", C.TimeModified},
                              {"File Attribute", C.Attribute},
                              {"File Category Code", C.CategoryCode},
                              {"Comment", C.Comment}},
                             false);
}

std::optional<TFileImportEntry> TFileListingParser::Feed(const std::string& Line) {
    const auto cut = [&Line](TImportColumns Columns) {
        return Columns.Start > 0 ? CutImportItem(Line, Columns) : std::string();
    };
    TFileImportEntry entry;
    entry.FileName = CutImportItem(Line, FColumns.FileName);
    entry.FolderName = FColumns.FolderName.Start > 0 ? cut(FColumns.FolderName) : "\\";
    entry.ArchiveID = cut(FColumns.ArchiveID);
    entry.SizeText = ImportSizeDigits(FColumns.FileSize.Start > 0 ? cut(FColumns.FileSize) : "0");
    entry.DateText = cut(FColumns.DateModified);
    entry.TimeText = cut(FColumns.TimeModified);
    entry.AttributeText = cut(FColumns.Attribute);
    entry.CategoryCode = cut(FColumns.CategoryCode);
    entry.Comment = cut(FColumns.Comment);
    if (entry.FileName.empty() && entry.FolderName.empty() && entry.ArchiveID.empty()) {
        FPending.Comment += "\r\n" + entry.Comment;
        return std::nullopt;
    }
    std::optional<TFileImportEntry> done;
    if (!FPending.FileName.empty()) done = std::move(FPending);
    FPending = std::move(entry);
    return done;
}

std::optional<TFileImportEntry> TFileListingParser::Finish() {
    std::optional<TFileImportEntry> done;
    if (!FPending.FileName.empty()) done = std::move(FPending);
    FPending = {};
    return done;
}

// ---- Comments ----

std::string CommentImportColumnCheck(const TCommentImportColumns& C) {
    return ImportColumnCheck({{"FileName", C.FileName},
                              {"Folder Name", C.FolderName},
                              {"Volume Label", C.VolumeLabel},
                              {"Archive ID", C.ArchiveID},
                              {"Comment", C.Comment}},
                             true);
}

std::optional<TCommentImportEntry> TCommentListingParser::TakeReady() {
    std::optional<TCommentImportEntry> done;
    if (!FPending.FileName.empty() && FPending.HasComment) done = std::move(FPending);
    FPending = {};
    return done;
}

std::optional<TCommentImportEntry> TCommentListingParser::Feed(const std::string& Line) {
    TCommentImportEntry entry;
    entry.FileName = CutImportItem(Line, FColumns.FileName);
    entry.VolumeLabel = CutImportItem(Line, FColumns.VolumeLabel);
    entry.FolderName = CutImportItem(Line, FColumns.FolderName);
    entry.ArchiveID = CutImportItem(Line, FColumns.ArchiveID);
    const std::string comment = CutImportItem(Line, FColumns.Comment);
    if (entry.FileName.empty() && entry.VolumeLabel.empty() && entry.FolderName.empty() &&
        entry.ArchiveID.empty()) {
        FPending.Comment += "\r\n" + comment;
        if (!comment.empty()) FPending.HasComment = true;
        return std::nullopt;
    }
    std::optional<TCommentImportEntry> done = TakeReady();
    entry.Comment = comment;
    entry.HasComment = !comment.empty();
    FPending = std::move(entry);
    return done;
}

std::optional<TCommentImportEntry> TCommentListingParser::Finish() {
    return TakeReady();
}

}  // namespace tools
