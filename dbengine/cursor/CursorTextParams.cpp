// The cursor's copy of its table's full-text parameters: loaded on first use, replaced by table
// creation and maintenance, written back to the index file when the cursor closes.

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/index/DefaultTextParams.h"
#include "dbengine/index/IndexCursor.h"
#include "dbengine/session/DataTable.h"

namespace dbengine {

void TDataCursor::LoadTextIndexParams() {
    if (TextParamsLoaded || !IsOpen || Table == nullptr) return;
    Life->LoadTextIndexParams();
    TextParamsLoaded = true;
}

void TDataCursor::ReadTextIndexParams() {
    StopWords->LanguageId = LanguageId;
    StopWords->SortId = SortId;
    StopWords->Clear();
    SpaceChars = {};
    IncludeChars = {};
    TIndexCursor reader(Table->IndexFile.get());
    reader.CurrentIndex = SysTextIndex;
    reader.LanguageId = LanguageId;
    reader.SortId = SortId;
    TTextIndexParams stored;
    if (dbengine::ReadTextIndexParams(*Table->IndexFile, reader, stored)) {
        for (const std::string& w : stored.StopWords) StopWords->Add(w);
        SpaceChars = stored.SpaceChars;
        IncludeChars = stored.IncludeChars;
    } else {
        for (const char* w : DefaultStopWords) StopWords->Add(w);
        SpaceChars = DefaultSpaceChars();
        IncludeChars = DefaultIncludeChars();
    }
    TextParamsChanged = false;
}

void TDataCursor::SetTextIndexParams(const std::vector<std::string>* words, const TCharSet& spaceChars,
                                     const TCharSet& includeChars) {
    StopWords->LanguageId = LanguageId;
    StopWords->SortId = SortId;
    StopWords->Clear();
    if (words != nullptr)
        for (const std::string& w : *words) StopWords->Add(w);
    SpaceChars = spaceChars;
    IncludeChars = includeChars;
    TextParamsChanged = true;
    // What was set is what the cursor holds now: no later load may replace it.
    TextParamsLoaded = true;
}

void TDataCursor::WriteTextIndexParams() {
    Life->WriteTextIndexParams();
}

void TDataCursor::LocalWriteTextIndexParams() {
    if (!TextParamsChanged || Table == nullptr || Table->ReadOnly) return;
    TTextIndexParams params;
    for (int i = 0; i < StopWords->Count(); ++i) params.StopWords.push_back(StopWords->Get(i));
    params.SpaceChars = SpaceChars;
    params.IncludeChars = IncludeChars;
    TIndexCursor writer(Table->IndexFile.get());
    writer.CurrentIndex = SysTextIndex;
    if (Table->Exclusive) {
        dbengine::WriteTextIndexParams(*Table->IndexFile, writer, params);
    } else {
        // A shared table writes nothing at close: the pages reach the file here, under the
        // write lock.
        Table->LockForWrite();
        try {
            dbengine::WriteTextIndexParams(*Table->IndexFile, writer, params);
            Table->FlushBuffers();
        } catch (...) {
            Table->UnlockForWrite();
            throw;
        }
        Table->UnlockForWrite();
    }
    TextParamsChanged = false;
}

TLanguageStringList& TDataCursor::GetStopWords() {
    LoadTextIndexParams();
    return *StopWords;
}

TCharSet TDataCursor::GetSpaceChars() {
    LoadTextIndexParams();
    return SpaceChars;
}

TCharSet TDataCursor::GetIncludeChars() {
    LoadTextIndexParams();
    return IncludeChars;
}

}  // namespace dbengine
