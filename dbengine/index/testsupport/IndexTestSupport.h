#pragma once
// Test doubles for the index file: a table that owns it, a cursor, and walks over unknown bytes.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dbengine/file/FileList.h"
#include "dbengine/index/IndexCursor.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexTree.h"
#include "dbengine/index/TextIndexParams.h"
#include "dbengine/session/Engine.h"
#include "dbengine/testsupport/ErrorCode.h"
#include "dbengine/util/EngineError.h"

namespace dbengine::testsupport {

class TFakeIndexTable : public TIndexFileOwner {
public:
    const TEngineSettings* GetSettings() override { return GetEngineSession(); }
    std::string GetDatabaseName() override { return "D:\\DATA\\"; }
    std::string GetTableName() override { return TableName; }
    const TFieldDescriptor* FindField(uint16_t fieldNo) override {
        for (const TFieldDescriptor& f : Fields)
            if (f.FieldNo == static_cast<int16_t>(fieldNo)) return &f;
        return nullptr;
    }
    bool GetFilesWritten() override { return FilesWritten; }
    void SetFilesWritten() override { FilesWritten = true; }
    bool HoldsTransactionLock() override { return TransactionLocked; }
    bool IsExclusive() const override { return Exclusive; }
    bool IsEncrypted() override { return Encrypted; }
    void GetScrambleSeeds(uint8_t& s1, uint8_t& s2) override {
        s1 = 0x5A;
        s2 = 0xC3;
    }

    // Adds a field with the given value size; record offsets come from the data file's rule.
    TFieldDescriptor& AddField(const std::string& name, uint8_t type, uint8_t valueSize,
                               uint8_t subType = 0) {
        TFieldDescriptor f;
        f.FieldNo = static_cast<int16_t>(Fields.size() + 1);
        f.Name = name;
        f.FieldType = type;
        f.SubType = subType;
        if (type == fldString) f.Size = static_cast<uint8_t>(valueSize - 1);
        ComputeValueSize(f);
        if (f.ValueSize != valueSize) f.ValueSize = valueSize;
        Fields.push_back(f);
        RecordSize = AssignFieldOffsets(Fields);
        return Fields.back();
    }

    std::string TableName = "Orders";
    std::vector<TFieldDescriptor> Fields;
    uint32_t RecordSize = 9;
    bool FilesWritten = false;
    bool TransactionLocked = false;
    bool Exclusive = false;
    bool Encrypted = false;
};

// A cursor whose check for other processes' changes answers what the test says.
class TTestCursor : public TIndexCursor {
public:
    using TIndexCursor::TIndexCursor;
    bool TableChangedByOthers() override {
        ++ChangeChecks;
        return ChangedByOthers;
    }
    bool ChangedByOthers = false;
    int ChangeChecks = 0;
};

using dbengine::testsupport::CodeOf;

// The product's descent, under the names the index tests use.
inline void TreeInsert(TIndexCursor& c, const uint8_t* key, int32_t value) {
    InsertTreeKey(c, key, value);
}
inline bool TreeDelete(TIndexCursor& c, const uint8_t* key) {
    return DeleteTreeKey(c, key);
}

// Walks the first entries down and each level's chain along; page numbers seen twice end a
// level (a damaged chain may loop).
inline void WalkTree(TIndexFile& file, TIndexCursor& cursor, uint8_t index) {
    int32_t root = file.GetRootPage(index);
    if (root == 0) return;
    // Descend along the first entries, then follow each level's chain; page numbers seen twice
    // end a walk (a damaged chain may loop).
    int32_t first = root;
    for (int depth = 0; depth < TIndexCursor::MaxTreeLevels && first != 0; ++depth) {
        std::set<int32_t> seen;
        int32_t next = 0;
        for (int32_t p = first; p != 0 && seen.insert(p).second;) {
            TPage* page = file.FetchPage(index, p);
            if (page->EntryCount > 0) {
                std::vector<uint8_t> key(page->EntryKey(1), page->EntryKey(1) + page->KeySize);
                int32_t count = 0;
                page->FindFirstGE(cursor, key.data(), count);
                page->TotalCount();
                if (p == first && page->IsInner()) next = page->GetValue(1);
            }
            int32_t after = page->NextPage;
            file.ReleasePage(page);
            p = after;
        }
        first = next;
    }
}

// Everything a table does with an index file of unknown bytes: open, check, walk the trees, read
// the full-text parameters, insert and delete a key per index, write back. Raises nothing but
// engine errors, which it catches.
inline void ExerciseIndexFile(const uint8_t* data, size_t size) {
    TFakeIndexTable table;
    table.AddField("Name", fldString, 21);
    table.AddField("Count", fldInteger, 4);
    table.AddField("Notes", fldBlob, 8, fldstMemo);
    table.FilesWritten = true;
    {
        TFileHandler writer;
        writer.FileName = "FUZZ.IDX";
        writer.InMemory = true;
        writer.CreateFile();
        writer.WriteAt(0, data, static_cast<uint32_t>(size));
        writer.CloseFile();
    }
    {
        TIndexFile file(&table);
        file.FileName = "FUZZ.IDX";
        file.InMemory = true;
        TIndexCursor cursor(&file);
        try {
            file.OpenFile();
            file.CheckHeader();
            for (int i = 0; i < IndexDescriptorCount; ++i) {
                if (i > file.GetIndexCount() && i < SysDeletedIndex) continue;
                cursor.CurrentIndex = static_cast<uint8_t>(i);
                try {
                    WalkTree(file, cursor, cursor.CurrentIndex);
                } catch (const EDbEngineError&) {
                }
            }
            TTextIndexParams params;
            try {
                ReadTextIndexParams(file, cursor, params);
            } catch (const EDbEngineError&) {
            }
            // Appending writes at NextPageNo: a header that claims a huge file would make the
            // in-memory file that huge (up to the 4 GB limit), which proves nothing here.
            bool appendable = file.Header.NextPageNo <= 1024;
            for (int i = 0; i < IndexDescriptorCount && appendable; ++i) {
                if (i > file.GetIndexCount() && i < SysDeletedIndex) continue;
                cursor.CurrentIndex = static_cast<uint8_t>(i);
                uint16_t keySize = file.GetIndexDesc(cursor.CurrentIndex).KeySize;
                if (keySize == 0) continue;
                std::vector<uint8_t> key(keySize, 0x41);
                try {
                    TreeInsert(cursor, key.data(), 1);
                    TreeDelete(cursor, key.data());
                } catch (const EDbEngineError&) {
                }
            }
            file.FlushPages(false);
        } catch (const EDbEngineError&) {
        }
        file.DropPages(false);
        file.CloseFile();
    }
    EngineFileList()->DeleteFile("FUZZ.IDX", true);
}

}  // namespace dbengine::testsupport
