// The full-text index seen from a cursor: splitting texts with the table's parameters, keeping
// the word keys of the "Sys Text" index in step with inserted, modified and deleted records,
// checking them, and the word search behind TEXTSEARCH and TEXTOCCURS.

#include <array>
#include <cstring>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/index/FullTextIndex.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/Coding.h"

namespace dbengine {

namespace {

// A field of the full-text index: its number there and the table's descriptor.
struct TTextField {
    uint16_t FieldNo;
    TFieldDescriptor Desc;
    bool Memo;
};

// A key buffer of the largest key size, so a key routine never reads past it.
using TKeyBytes = std::array<uint8_t, MaxKeyFieldPart + 8>;

// Makes the text index current for one routine and gives the previous index back afterwards.
class TTextIndexSelection {
public:
    explicit TTextIndexSelection(TDataCursor& cursor) : Cursor(cursor), Saved(cursor.CurrentIndex) {
        Cursor.SelectIndex(SysTextIndex);
    }
    ~TTextIndexSelection() {
        try {
            if (Cursor.CurrentIndex != Saved) Cursor.SelectIndex(Saved);
        } catch (...) {
            // The routine's own error, if any, is the one that matters.
        }
    }
    TTextIndexSelection(const TTextIndexSelection&) = delete;
    TTextIndexSelection& operator=(const TTextIndexSelection&) = delete;

private:
    TDataCursor& Cursor;
    uint8_t Saved;
};

// Loads chains for the cursor without the table-change check: the routines that read stored
// memos run under the table's write lock or on an exclusive table.
class TStoredMemoReader : public TBlockFetchClient {
public:
    bool SyncBeforeRead() override { return false; }
};

// The physical number and the record ID held in a table record's header.
int32_t RecordNumberOf(const uint8_t* record) {
    return GetInt32(record + 1);
}
int32_t RecordIdOf(const uint8_t* record) {
    return GetInt32(record + RecordIdOffset);
}

// The string and memo fields of the full-text index, in its order (up to the first 0).
std::vector<TTextField> TextIndexFields(const TDataCursor& c) {
    std::vector<TTextField> fields;
    if (c.GetTable() == nullptr || c.IndexFile == nullptr) return fields;
    std::array<uint16_t, MaxIndexFields> numbers = c.IndexFile->GetIndexFields(SysTextIndex);
    for (uint16_t number : numbers) {
        if (number == 0) break;
        TFieldDescriptor d;
        if (!c.GetTable()->DataFile->FindFieldByNumber(static_cast<int16_t>(number), d))
            c.IndexFile->RaiseError(DBE_INDEXCORRUPT);
        bool memo = d.FieldType == fldBlob && d.SubType == fldstMemo;
        if (d.FieldType == fldString || memo) fields.push_back({number, d, memo});
    }
    return fields;
}

// The open, modified BLOB buffers of the field among the cursor's open BLOBs, in opening order.
std::vector<TBlobBuffer*> ModifiedTextBlobs(TDataCursor& c, uint16_t fieldNo) {
    std::vector<TBlobBuffer*> found;
    for (const auto& blob : c.GetOpenBlobs())
        if (blob->Modified && blob->FieldNo == fieldNo) found.push_back(blob.get());
    return found;
}

// The stored value of a memo field of a table record ("" when NULL or empty).
std::string ReadStoredMemo(TDataCursor& c, const TFieldDescriptor& desc, const uint8_t* record) {
    const uint8_t* at = record + desc.Offset;
    if (at[0] == 0) return {};
    int32_t firstBlock = GetInt32(at + 1);
    // A negative value is the handle of a BLOB open in some cursor, not a stored chain.
    if (firstBlock < 0)
        RaiseEngineError(DBE_INVALIDBLOBOFFSET, {}, {}, c.GetDatabaseName(), c.GetTableName(), desc.Name);
    if (firstBlock == 0 || !c.GetTable()->HasBlobFields()) return {};
    TStoredMemoReader reader;
    TBlobBuffer buffer(&reader, c.GetTable()->BlobFile.get());
    buffer.FieldNo = static_cast<uint16_t>(desc.FieldNo);
    buffer.FirstBlock = firstBlock;
    buffer.Stamp = GetInt32(at + 5);
    buffer.RecordNo = RecordNumberOf(record);
    buffer.Load();
    return {reinterpret_cast<const char*>(buffer.GetData()), static_cast<size_t>(buffer.Size)};
}

}  // namespace

bool TDataCursor::IsTextIndexedField(uint16_t fieldNo) const {
    if (fieldNo == 0 || IndexFile == nullptr) return false;
    for (uint16_t number : IndexFile->GetIndexFields(SysTextIndex)) {
        if (number == 0) break;
        if (number == fieldNo) return true;
    }
    return false;
}

void TDataCursor::SplitTextWords(const char* text, int32_t length, bool wildcard, TTextWordList& list) {
    LoadTextIndexParams();
    list.LanguageId = LanguageId;
    list.SortId = SortId;
    ExtractTextIndexWords(text, length, list, wildcard, SpaceChars, IncludeChars);
}

namespace {

// The text of a string field of a record (up to its first zero byte); false when NULL.
bool StringFieldText(TDataCursor& c, const TFieldDescriptor& d, const uint8_t* record, std::string& text) {
    std::vector<uint8_t> value(static_cast<size_t>(d.ValueSize) + 1, 0);
    bool blank = false;
    c.GetFieldValue(d, record, value.data(), blank);
    if (blank) return false;
    text.assign(reinterpret_cast<const char*>(value.data()));
    return true;
}

bool IsStop(TDataCursor& c, const std::string& word) {
    int index = 0;
    return c.GetStopWords().Find(word, index);
}

// Calls visit(key, recNo) for the word key of every indexed word the stored record holds, memos read
// from the BLOB file; stops early and returns false as soon as visit does.
template <class Visit>
bool VisitStoredWordKeys(TDataCursor& c, const uint8_t* record, Visit visit) {
    std::vector<TTextField> fields = TextIndexFields(c);
    if (fields.empty()) return true;
    TTextIndexSelection selection(c);
    int32_t recNo = RecordNumberOf(record);
    int32_t id = RecordIdOf(record);
    TTextWordList words(c.GetLanguageId(), c.GetSortId());
    TKeyBytes key{};
    for (const TTextField& f : fields) {
        std::string text;
        if (f.Memo)
            text = ReadStoredMemo(c, f.Desc, record);
        else if (!StringFieldText(c, f.Desc, record, text))
            continue;
        c.SplitTextWords(text.data(), static_cast<int32_t>(text.size()), false, words);
        for (int i = 0; i < words.Count(); ++i) {
            std::string word = words.Get(i);
            if (IsStop(c, word)) continue;
            BuildTextWordKey(f.FieldNo, word, id, c.GetLanguageId(), c.GetSortId(), key.data());
            if (!visit(key.data(), recNo)) return false;
        }
    }
    return true;
}

}  // namespace

void TDataCursor::AddRecordWords(const uint8_t* record, const TWordKeyNote& note) {
    std::vector<TTextField> fields = TextIndexFields(*this);
    if (fields.empty()) return;
    TTextIndexSelection selection(*this);
    int32_t recNo = RecordNumberOf(record);
    int32_t id = RecordIdOf(record);
    TTextWordList words(LanguageId, SortId);
    TKeyBytes key{};
    auto insertWords = [&](uint16_t keyFieldNo) {
        for (int i = 0; i < words.Count(); ++i) {
            std::string word = words.Get(i);
            if (IsStop(*this, word)) continue;
            BuildTextWordKey(keyFieldNo, word, id, LanguageId, SortId, key.data());
            InsertKey(key.data(), recNo);
            if (note) note(true, key.data(), recNo);
        }
    };
    for (const TTextField& f : fields) {
        // Records copied into a table being restructured carry their words under the field's
        // position, which becomes its number when the restructure renumbers the fields.
        uint16_t keyFieldNo = RestructureMode && f.Desc.Position != 0 ? f.Desc.Position : f.FieldNo;
        if (!f.Memo) {
            std::string text;
            if (!StringFieldText(*this, f.Desc, record, text)) continue;
            SplitTextWords(text.data(), static_cast<int32_t>(text.size()), false, words);
            insertWords(keyFieldNo);
        } else {
            for (TBlobBuffer* blob : ModifiedTextBlobs(*this, f.FieldNo)) {
                SplitTextWords(reinterpret_cast<const char*>(blob->GetData()), blob->Size, false, words);
                insertWords(keyFieldNo);
            }
        }
    }
}

void TDataCursor::AddRecordWordsLoadingBlobs(const uint8_t* record) {
    VisitStoredWordKeys(*this, record, [this](const uint8_t* key, int32_t recNo) {
        InsertKey(key, recNo);
        return true;
    });
}

bool TDataCursor::UpdateRecordWords(const uint8_t* newRecord, const uint8_t* oldRecord,
                                    const TWordKeyNote& note) {
    std::vector<TTextField> fields = TextIndexFields(*this);
    if (fields.empty()) return false;
    TTextIndexSelection selection(*this);
    int32_t recNo = RecordNumberOf(oldRecord);
    int32_t oldId = RecordIdOf(oldRecord);
    int32_t newId = RecordIdOf(newRecord);
    bool changed = false;
    TTextWordList oldWords(LanguageId, SortId);
    TTextWordList newWords(LanguageId, SortId);
    TKeyBytes key{};
    // Old words' keys go, new words' keys come; with the same record ID a word in both texts
    // keeps its key.
    auto replace = [&](uint16_t fieldNo, const char* oldText, int32_t oldLength, const char* newText,
                       int32_t newLength) {
        SplitTextWords(oldText, oldLength, false, oldWords);
        SplitTextWords(newText, newLength, false, newWords);
        if (oldId == newId) {
            for (int i = oldWords.Count() - 1; i >= 0; --i) {
                int at = 0;
                if (newWords.Find(oldWords.Get(i), at)) {
                    newWords.Delete(at);
                    oldWords.Delete(i);
                }
            }
        }
        for (int i = 0; i < oldWords.Count(); ++i) {
            std::string word = oldWords.Get(i);
            if (IsStop(*this, word)) continue;
            BuildTextWordKey(fieldNo, word, oldId, LanguageId, SortId, key.data());
            DeleteKey(key.data());
            if (note) note(false, key.data(), recNo);
            changed = true;
        }
        for (int i = 0; i < newWords.Count(); ++i) {
            std::string word = newWords.Get(i);
            if (IsStop(*this, word)) continue;
            BuildTextWordKey(fieldNo, word, newId, LanguageId, SortId, key.data());
            InsertKey(key.data(), recNo);
            if (note) note(true, key.data(), recNo);
            changed = true;
        }
    };
    for (const TTextField& f : fields) {
        if (!f.Memo) {
            std::string oldText, newText;
            bool oldHas = StringFieldText(*this, f.Desc, oldRecord, oldText);
            bool newHas = StringFieldText(*this, f.Desc, newRecord, newText);
            if (!oldHas && !newHas) continue;
            replace(f.FieldNo, oldText.data(), static_cast<int32_t>(oldText.size()), newText.data(),
                    static_cast<int32_t>(newText.size()));
            continue;
        }
        std::vector<TBlobBuffer*> blobs = ModifiedTextBlobs(*this, f.FieldNo);
        for (TBlobBuffer* blob : blobs)
            replace(f.FieldNo, reinterpret_cast<const char*>(blob->GetOldData()), blob->GetOldSize(),
                    reinterpret_cast<const char*>(blob->GetData()), blob->Size);
        if (blobs.empty() && oldId != newId) {
            // A memo the edit left alone keeps its words, but their keys carry the record ID: they
            // move to the new one, or deleting the record later would miss them.
            std::string text = ReadStoredMemo(*this, f.Desc, oldRecord);
            replace(f.FieldNo, text.data(), static_cast<int32_t>(text.size()), text.data(),
                    static_cast<int32_t>(text.size()));
        }
    }
    return changed;
}

void TDataCursor::RemoveRecordWords(const uint8_t* record, const TWordKeyNote& note, bool tolerant) {
    std::vector<TTextField> fields = TextIndexFields(*this);
    if (fields.empty()) return;
    TTextIndexSelection selection(*this);
    int32_t recNo = RecordNumberOf(record);
    int32_t id = RecordIdOf(record);
    TTextWordList words(LanguageId, SortId);
    TKeyBytes key{};
    auto removeWords = [&](uint16_t fieldNo, const char* text, int32_t length) {
        SplitTextWords(text, length, false, words);
        for (int i = 0; i < words.Count(); ++i) {
            std::string word = words.Get(i);
            if (IsStop(*this, word)) continue;
            BuildTextWordKey(fieldNo, word, id, LanguageId, SortId, key.data());
            // An index being rebuilt may not hold the record's words yet.
            if (tolerant && !KeyEntryExists(key.data(), recNo)) continue;
            DeleteKey(key.data());
            if (note) note(false, key.data(), recNo);
        }
    };
    for (const TTextField& f : fields) {
        if (!f.Memo) {
            std::string text;
            if (StringFieldText(*this, f.Desc, record, text))
                removeWords(f.FieldNo, text.data(), static_cast<int32_t>(text.size()));
            continue;
        }
        std::vector<TBlobBuffer*> blobs = ModifiedTextBlobs(*this, f.FieldNo);
        for (TBlobBuffer* blob : blobs)
            removeWords(f.FieldNo, reinterpret_cast<const char*>(blob->GetOldData()), blob->GetOldSize());
        // A memo that no open BLOB emptied still has its words in the index; they go with the
        // record, read from the stored value. (A value open in a cursor is not a stored chain.)
        if (blobs.empty() && record[f.Desc.Offset] != 0 && GetInt32(record + f.Desc.Offset + 1) > 0) {
            std::string text;
            try {
                text = ReadStoredMemo(*this, f.Desc, record);
            } catch (const EDbEngineError&) {
                // Maintenance drops records whatever state their values are in.
                if (!tolerant) throw;
                continue;
            }
            removeWords(f.FieldNo, text.data(), static_cast<int32_t>(text.size()));
        }
    }
}

bool TDataCursor::CheckRecordWords(const uint8_t* record) {
    return VisitStoredWordKeys(
        *this, record, [this](const uint8_t* key, int32_t recNo) { return KeyEntryExists(key, recNo); });
}

bool TDataCursor::TextSearch(const char* searchText, int32_t searchLength, const char* valueText,
                             int32_t valueLength) {
    TTextWordList search(LanguageId, SortId);
    TTextWordList value(LanguageId, SortId);
    SplitTextWords(searchText, searchLength, true, search);
    SplitTextWords(valueText, valueLength, false, value);
    return TextWordsMatch(search, value, *StopWords);
}

int32_t TDataCursor::TextOccurs(const char* searchText, int32_t searchLength, const char* valueText,
                                int32_t valueLength) {
    TTextWordList search(LanguageId, SortId);
    TTextWordList value(LanguageId, SortId);
    SplitTextWords(searchText, searchLength, true, search);
    SplitTextWords(valueText, valueLength, false, value);
    return CountTextWordMatches(search, value, *StopWords);
}

bool TDataCursor::AnswerTextSearch(void* table, const std::string& searchText, const std::string& valueText,
                                   bool count, int32_t& answer) {
    answer = 0;
    if (table != this) return false;
    auto sLen = static_cast<int32_t>(searchText.size());
    auto vLen = static_cast<int32_t>(valueText.size());
    if (count)
        answer = TextOccurs(searchText.data(), sLen, valueText.data(), vLen);
    else
        answer = TextSearch(searchText.data(), sLen, valueText.data(), vLen) ? 1 : 0;
    return true;
}

}  // namespace dbengine
