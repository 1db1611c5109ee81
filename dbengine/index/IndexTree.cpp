#include "dbengine/index/IndexTree.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "dbengine/index/IndexFile.h"
#include "dbengine/util/EngineError.h"

namespace dbengine {

namespace {

// Page and entry chosen at each level on the way down to the leaf holding an equal key; empty
// when there is none. A path longer than the deepest tree allowed (a looping tree) is corrupt.
std::vector<std::pair<int32_t, int>> FindPath(TIndexCursor& c, const uint8_t* key) {
    TIndexFile& f = *c.IndexFile;
    std::vector<std::pair<int32_t, int>> path;
    int32_t pageNo = f.GetRootPage(c.CurrentIndex);
    while (pageNo != 0) {
        if (path.size() >= static_cast<size_t>(TIndexCursor::MaxTreeLevels))
            RaiseEngineError(DBE_INDEXCORRUPT, {}, {}, f.GetDatabaseName(), f.GetTableName());
        TPage* p = f.FetchPage(c.CurrentIndex, pageNo);
        int pos = 0;
        bool found = p->FindExact(c, key, pos);
        bool leaf = p->IsLeaf();
        int32_t next = leaf ? 0 : p->GetValue(pos);
        f.ReleasePage(p);
        path.emplace_back(pageNo, pos);
        if (leaf) {
            if (!found) path.clear();
            break;
        }
        pageNo = next;
    }
    return path;
}

}  // namespace

void InsertTreeKey(TIndexCursor& c, const uint8_t* key, int32_t value) {
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
        p->SetSubtreeCount(child, static_cast<int32_t>(static_cast<uint32_t>(p->GetSubtreeCount(child)) + 1));
        pageNo = p->GetValue(child);
        f.ReleasePage(p);
        c.PushLevel();
    }
}

bool InsertNewTreeKey(TIndexCursor& c, const uint8_t* key, int32_t value) {
    TIndexFile& f = *c.IndexFile;
    uint8_t index = c.CurrentIndex;
    int32_t pageNo = f.GetRootPage(index);
    if (pageNo == 0) {
        InsertTreeKey(c, key, value);
        return true;
    }
    // The pages of the way down stay held: the counts are raised only once the leaf shows no
    // equal key, without fetching the pages again.
    struct THeldPath {
        TIndexFile& File;
        std::vector<std::pair<TPage*, int>> Levels;
        ~THeldPath() {
            for (auto& level : Levels) File.ReleasePage(level.first);
        }
    } held{f, {}};
    for (;;) {
        if (held.Levels.size() >= static_cast<size_t>(TIndexCursor::MaxTreeLevels))
            RaiseEngineError(DBE_INDEXCORRUPT, {}, {}, f.GetDatabaseName(), f.GetTableName());
        TPage* p = f.FetchPage(index, pageNo);
        held.Levels.emplace_back(p, 0);
        if (p->IsLeaf()) {
            int equalAt = 0;
            if (p->FindExact(c, key, equalAt)) return false;
            held.Levels.back().second = p->FindInsertPos(c, key);
            break;
        }
        int child = std::max(1, p->FindInsertPos(c, key));
        held.Levels.back().second = child;
        pageNo = p->GetValue(child);
    }
    c.ClearPath();
    for (size_t level = 0; level < held.Levels.size(); ++level) {
        auto [p, pos] = held.Levels[level];
        if (level > 0) c.PushLevel();
        c.SetPathPage(p->PageNo);
        c.SetPathPos(pos);
        if (level + 1 < held.Levels.size())
            p->SetSubtreeCount(pos, static_cast<int32_t>(static_cast<uint32_t>(p->GetSubtreeCount(pos)) + 1));
        else
            p->InsertKey(c, key, 1, value);
    }
    return true;
}

bool DeleteTreeKey(TIndexCursor& c, const uint8_t* key) {
    TIndexFile& f = *c.IndexFile;
    uint8_t index = c.CurrentIndex;
    // Found first without changing anything, so that a missing key leaves the counts alone.
    std::vector<std::pair<int32_t, int>> path = FindPath(c, key);
    if (path.empty()) return false;
    c.ClearPath();
    for (size_t level = 0; level < path.size(); ++level) {
        if (level > 0) c.PushLevel();
        c.SetPathPage(path[level].first);
        c.SetPathPos(path[level].second);
        TPage* p = f.FetchPage(index, path[level].first);
        if (level + 1 < path.size()) {
            p->SetSubtreeCount(
                path[level].second,
                static_cast<int32_t>(static_cast<uint32_t>(p->GetSubtreeCount(path[level].second)) - 1));
        } else {
            p->DeleteKey(c);
        }
        f.ReleasePage(p);
    }
    return true;
}

bool FindTreeKey(TIndexCursor& c, const uint8_t* key, int32_t* value) {
    std::vector<std::pair<int32_t, int>> path = FindPath(c, key);
    if (path.empty()) return false;
    if (value != nullptr) {
        TPage* p = c.IndexFile->FetchPage(c.CurrentIndex, path.back().first);
        *value = p->GetValue(path.back().second);
        c.IndexFile->ReleasePage(p);
    }
    return true;
}

}  // namespace dbengine
