// The named changes of a cursor's state made from outside its operations: by the remote side as a
// server's replies give the state, by the restructure, and by the collaborators that keep the
// list of open BLOB values and the filter list.

#include <algorithm>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/session/DataTable.h"

namespace dbengine {

void TDataCursor::ForgetFilter(const TFilter* filter) {
    Filters.erase(
        std::remove_if(Filters.begin(), Filters.end(), [&](const auto& f) { return f.get() == filter; }),
        Filters.end());
}

void TDataCursor::DropOpenBlobsIf(const std::function<bool(const TBlobBuffer&)>& drop) {
    OpenBlobs.erase(std::remove_if(OpenBlobs.begin(), OpenBlobs.end(),
                                   [&](const std::unique_ptr<TBlobBuffer>& b) { return drop(*b); }),
                    OpenBlobs.end());
}

void TDataCursor::OpenForRestructure() {
    RestructureMode = true;
    OpenCursor();
}

void TDataCursor::TakeServerPosition(int32_t seqNo, int32_t physRecNo, bool atBeginning, bool atEnd) {
    SeqNo = seqNo;
    PhysRecNo = physRecNo;
    AtBeginning = atBeginning;
    AtEnd = atEnd;
}

void TDataCursor::TakeServerTableLayout() {
    IndexFile = Table->IndexFile.get();
    FieldCount = Table->DataFile->FieldCount();
    RecordSize = Table->DataFile->RecordSize();
}

void TDataCursor::FinishServerOpen(uint8_t indexNo) {
    LanguageId = static_cast<uint16_t>(Table->DataFile->LanguageId());
    SortId = Table->DataFile->SortId();
    GetCharMap(LanguageId, SortId, CharOrder);
    LoadFieldDescriptors();
    BitmapNavigation = false;
    RangeActive = false;
    CurrentIndex = indexNo;
    LoadIndexState();
    BitmapNavigation = IsNaturalOrder();
}

void TDataCursor::TakeServerIndex(uint8_t indexNo) {
    CurrentIndex = indexNo;
    LoadIndexState();
    RangeActive = false;
    BitmapNavigation = IsNaturalOrder() || HasActiveFilter();
}

void TDataCursor::TakeServerTextIndexParams(const std::vector<std::string>& stopWords,
                                            const TCharSet& spaceChars, const TCharSet& includeChars) {
    if (StopWords == nullptr) StopWords = std::make_unique<TLanguageStringList>();
    StopWords->Clear();
    for (const std::string& w : stopWords) StopWords->Add(w);
    SpaceChars = spaceChars;
    IncludeChars = includeChars;
}

}  // namespace dbengine
