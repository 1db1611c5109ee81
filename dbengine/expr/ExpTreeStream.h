#pragma once
// Byte form of expression trees for a database server: pre-order records of length-prefixed
// items, in the argument layout (argument lists) or the linked layout (a third link instead).
//
// Record items, each a 32-bit little-endian length and that many bytes: Text, Kind (1), Code
// (1), OptimizeLevel (1), ColumnName, FieldNo (2), DataSize (4), the value (DataSize bytes),
// IsNull (1), CompareLength (4), CaseInsensitive (1), DataType (1), SubType (1), Scale (1),
// LeftOffset (4), RightOffset (4), then the argument count (argument layout) or ThirdOffset
// (linked layout) (4), and in the argument layout ArgumentsOffset (4). Offsets count from the
// start of the buffer, where the root's record lies; 0 marks an absent link.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dbengine/expr/ExpToken.h"

namespace dbengine {

enum class TExpTreeLayout { Arguments, Linked };

// Fixed part of a record: item lengths and fixed-size items.
constexpr int32_t ExpRecordFixedSize = 106;
constexpr int32_t ExpLinkedRecordFixedSize = 98;

// Bytes of one node's record.
int32_t SerializedSize(const TExpToken* t, TExpTreeLayout Layout);

// Appends the tree to Buffer (which grows to exactly the bytes written) and returns the number
// of bytes; 0 for a nil tree. Sets the nodes' offsets.
int32_t WriteExpTree(TExpToken* t, std::vector<uint8_t>& Buffer, TExpTreeLayout Layout);

// Reads a tree in the argument layout from Size bytes at Buffer into new tokens. Returns the
// bytes read, or 0 with t nil when the bytes hold no complete, well-formed tree (every length
// is checked against the buffer; nothing is read past its end; every token is given back).
int32_t ReadExpTree(const uint8_t* Buffer, size_t Size, TExpToken*& t);

// Rewires the tree in place for the linked layout: function and predicate arguments move to
// Left, Right, Right.Right, Right chains and Third. False, with the tree unchanged, when a node
// to be chained already has a right operand of its own (the linked layout cannot hold it).
bool ConvertToLinkedLayout(TExpToken* t);

}  // namespace dbengine
