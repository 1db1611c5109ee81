#pragma once
// The cursor's side of a B-tree insert and delete in its current index: descend from the root
// recording the path, adjust the subtree counts of the inner entries on the way, then let the
// leaf insert or delete (the pages split and merge upward along the recorded path).

#include <cstdint>

#include "dbengine/index/IndexCursor.h"

namespace dbengine {

// Inserts key with value (a record number) at its place; an empty index gets a root leaf.
// Deeper than 64 levels raises 8965.
void InsertTreeKey(TIndexCursor& cursor, const uint8_t* key, int32_t value);
// As InsertTreeKey, for an index that refuses equal keys: one way down finds the place and
// whether an equal key is there already; false, with nothing changed, when it is.
bool InsertNewTreeKey(TIndexCursor& cursor, const uint8_t* key, int32_t value);
// Deletes an equal key; false, with nothing changed, when the index has none.
bool DeleteTreeKey(TIndexCursor& cursor, const uint8_t* key);
// Whether an equal key exists; value receives its entry's value.
bool FindTreeKey(TIndexCursor& cursor, const uint8_t* key, int32_t* value = nullptr);

}  // namespace dbengine
