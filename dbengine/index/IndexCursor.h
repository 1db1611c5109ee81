#pragma once
// What the index file and its B-tree pages need of a cursor: the current index, the table's
// language, the path of the last descent (level 1 is the root; each level holds a page number
// and an entry number), key comparison in the current index's order, and the check for changes
// by other processes made before a page is read from disk.

#include <array>
#include <cstddef>
#include <cstdint>

#include "dbengine/index/IndexFormat.h"

namespace dbengine {

class TIndexFile;

class TIndexCursor {
public:
    explicit TIndexCursor(TIndexFile* file) : IndexFile(file) {}
    virtual ~TIndexCursor() = default;

    static constexpr int MaxTreeLevels = 64;

    void SetPathPage(int32_t page) { PathPage[Level] = page; }
    int32_t GetPathPos() const { return PathPos[Level]; }
    void SetPathPos(int32_t pos) { PathPos[Level] = pos; }
    // The parent of the current level: its page number, 0 at the root.
    int32_t GetParentPage() const { return Level > 1 ? PathPage[Level - 1] : 0; }
    void ClearPath();
    // One level down; deeper than 64 levels raises 8965.
    void PushLevel();
    void PopLevel() {
        if (Level > 1) --Level;
    }

    // -1, 0, 1: key1 before, equal to or after key2 in the current index's order over `length`
    // bytes (a shorter length compares a key prefix).
    int CompareKeys(const uint8_t* key1, const uint8_t* key2, size_t length) const;

    // True when another process changed the table; asked before a page is read from disk.
    virtual bool TableChangedByOthers() { return false; }

    TIndexFile* IndexFile;
    uint8_t CurrentIndex = 0;
    uint16_t LanguageId = 0;
    uint16_t SortId = 0;
    uint8_t Level = 1;
    std::array<int32_t, MaxTreeLevels + 1> PathPage{};
    std::array<int32_t, MaxTreeLevels + 1> PathPos{};
};

}  // namespace dbengine
