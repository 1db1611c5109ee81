#pragma once
// Which entries of a catalog's file table the file comment editor shows: the parameter block a
// caller fills and the filter that applies it to each entry, with the list of Tags of entries kept
// in view after the editor changed them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "framework/core/DateTime.h"

namespace framework {
class TDataSet;
}

namespace cataloging {

// The views of the file comment editor.
enum TCommentEditorFilter : uint8_t {
    cefAll = 0,
    cefVolumeLabel = 1,    // VolumeLabel matches any Criteria line as a mask
    cefFileName = 2,       // FileName (without an archive member's " <folder>" suffix) matches the mask
    cefFolderName = 3,     // FolderName matches the mask
    cefArchiveID = 4,      // ArchiveID matches the mask
    cefFileSize = 5,       // FileSize compared with SizeValue
    cefFileDate = 6,       // DateModified compared with DateValue
    cefCategory = 7,       // CategoryCode equals the first line (empty: no category)
    cefCommentText = 8,    // the prepared comment holds the first line
    cefKeywords = 9,       // the prepared comment holds the keywords of the first line
    cefEmptyComment = 10,  // the trimmed comment is empty
    cefImported = 11       // the Tag is listed by the comment import
};

// CompareOp of the size and date views.
enum TCommentCompare : uint8_t { ccEqual, ccNotEqual, ccLess, ccLessEqual, ccGreater, ccGreaterEqual };

struct TCommentEditorSpec {
    uint8_t FilterMode = cefAll;
    std::vector<std::string> Criteria;
    int64_t SizeValue = 0;
    framework::TDateTime DateValue = framework::Date();
    // Size and date views: a TCommentCompare. Keyword view: 0 all keywords, 1 at least KeywordCount.
    uint8_t CompareOp = 0;
    int KeywordCount = 0;
};

// The view of one volume's entries: its label stands for itself, so a label holding "*", "?" or
// "[" neither picks other volumes nor misses its own.
TCommentEditorSpec VolumeEntriesView(const std::string& CatalogVolumeLabel);

// The comment as the text views look at it: trimmed, upper case, line feeds dropped and carriage
// returns turned into blanks.
std::string PrepareCommentText(const std::string& Comment);

class TCommentFilter {
public:
    static constexpr size_t DefaultKeptLimit = 1000000;

    TCommentEditorSpec Spec;
    // How many Tags are kept at most (lowered by tests).
    size_t KeptLimit = DefaultKeptLimit;
    // The import view's look-up of a Tag in the import's table.
    std::function<bool(int32_t Tag)> ImportListed;

    // Whether the data set's current (filter) record belongs to the view.
    bool Accepts(framework::TDataSet& Entries);
    // Lists a Tag that must stay in view; true only on the call that fills the list.
    bool Keep(int32_t Tag);
    bool IsKept(int32_t Tag) const { return FKept.count(Tag) != 0; }
    size_t KeptCount() const { return FKept.size(); }
    void ClearKept() { FKept.clear(); }
    // Forgets the parsed keywords (a new opening parses them again).
    void ResetKeywords() { FKeywordsParsed = false; }
    // Whether posts in this view must keep the entry in view.
    bool KeepsPostedEntries() const {
        return Spec.FilterMode >= cefCategory && Spec.FilterMode <= cefEmptyComment;
    }

private:
    std::string FirstLine() const { return Spec.Criteria.empty() ? std::string() : Spec.Criteria.front(); }
    bool KeywordsMatch(const std::string& Prepared);
    std::unordered_set<int32_t> FKept;
    std::vector<std::string> FKeywords;
    bool FKeywordsParsed = false;
};

}  // namespace cataloging
