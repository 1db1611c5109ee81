#pragma once
// Test doubles for the index file: a table that owns it, and the cursor's side of a B-tree
// insert and delete (descend from the root, adjust the subtree counts on the path, then let the
// leaf insert or delete).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dbengine/index/IndexCursor.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/session/Engine.h"
#include "dbengine/session/EngineError.h"

namespace dbengine::testsupport {

class TFakeIndexTable : public TIndexFileOwner {
public:
    TDataSession* GetSession() override { return GetEngineSession(); }
    std::string GetDatabaseName() override { return "D:\\DATA\\"; }
    std::string GetTableName() override { return TableName; }
    const TKeyField* FindField(uint16_t fieldNo) override {
        for (const TKeyField& f : Fields)
            if (f.FieldNo == fieldNo) return &f;
        return nullptr;
    }
    bool GetFilesWritten() override { return FilesWritten; }
    void SetFilesWritten() override { FilesWritten = true; }
    bool HoldsTransactionLock() override { return TransactionLocked; }
    bool IsEncrypted() override { return Encrypted; }
    void GetScrambleSeeds(uint8_t& s1, uint8_t& s2) override {
        s1 = 0x5A;
        s2 = 0xC3;
    }

    // Adds a field at the next record offset (auto-increment fields sit in the record header).
    TKeyField& AddField(const std::string& name, uint8_t type, uint8_t valueSize, uint8_t subType = 0) {
        TKeyField f;
        f.FieldNo = static_cast<uint16_t>(Fields.size() + 1);
        f.Name = name;
        f.FieldType = type;
        f.SubType = subType;
        f.ValueSize = valueSize;
        if (type == 6 && subType == 29) {
            f.Offset = 5;
        } else {
            f.Offset = NextOffset;
            NextOffset = static_cast<uint16_t>(NextOffset + valueSize + 1);
        }
        Fields.push_back(f);
        return Fields.back();
    }

    std::string TableName = "Orders";
    std::vector<TKeyField> Fields;
    uint16_t NextOffset = 9;
    bool FilesWritten = false;
    bool TransactionLocked = false;
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

inline TEngineErrorCode CodeOf(auto&& f) {
    try {
        f();
    } catch (const EDbEngineError& e) {
        return e.ErrorCode;
    }
    return 0;
}

// Inserts key with value into the cursor's current index.
inline void TreeInsert(TIndexCursor& c, const uint8_t* key, int32_t value) {
    TIndexFile& f = *c.IndexFile;
    uint8_t index = c.CurrentIndex;
    c.ClearPath();
    int32_t pageNo = f.GetRootPage(index);
    if (pageNo == 0) {
        TPage* root = f.AllocatePage(c);
        root->SetPageType(ptLeafRoot);
        f.SetRootPage(index, root->PageNo);
        c.SetPathPage(root->PageNo);
        c.SetPathPos(0);
        root->InsertKey(c, key, 1, value);
        f.ReleasePage(root);
        return;
    }
    for (;;) {
        TPage* p = f.FetchPage(index, pageNo);
        c.SetPathPage(pageNo);
        int pos = p->FindInsertPos(c, key);
        if (p->IsLeaf()) {
            c.SetPathPos(pos);
            p->InsertKey(c, key, 1, value);
            f.ReleasePage(p);
            return;
        }
        int child = pos < 1 ? 1 : pos;
        c.SetPathPos(child);
        p->SetSubtreeCount(child, p->GetSubtreeCount(child) + 1);
        pageNo = p->GetValue(child);
        f.ReleasePage(p);
        c.PushLevel();
    }
}

// Deletes key from the cursor's current index; false when it is not there (nothing changes).
inline bool TreeDelete(TIndexCursor& c, const uint8_t* key) {
    TIndexFile& f = *c.IndexFile;
    uint8_t index = c.CurrentIndex;
    // First find it without changing anything, so that a missing key leaves the counts alone.
    int32_t pageNo = f.GetRootPage(index);
    if (pageNo == 0) return false;
    std::vector<std::pair<int32_t, int>> path;
    for (;;) {
        TPage* p = f.FetchPage(index, pageNo);
        int pos = 0;
        bool found = p->FindExact(c, key, pos);
        bool leaf = p->IsLeaf();
        int32_t next = leaf ? 0 : p->GetValue(pos);
        f.ReleasePage(p);
        path.emplace_back(pageNo, pos);
        if (leaf) {
            if (!found) return false;
            break;
        }
        pageNo = next;
    }
    c.ClearPath();
    for (size_t level = 0; level < path.size(); ++level) {
        if (level > 0) c.PushLevel();
        c.SetPathPage(path[level].first);
        c.SetPathPos(path[level].second);
        TPage* p = f.FetchPage(index, path[level].first);
        if (level + 1 < path.size()) {
            p->SetSubtreeCount(path[level].second, p->GetSubtreeCount(path[level].second) - 1);
        } else {
            p->DeleteKey(c);
        }
        f.ReleasePage(p);
    }
    return true;
}

}  // namespace dbengine::testsupport
