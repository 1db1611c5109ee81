#pragma once
// Answering filter conditions from the table's indexes.
//
// A condition on the first field of an index selects a set of index entries that lie together
// in the index's order: the entries whose first bytes fall between two bounds. A bound is a key
// prefix (flag byte and encoded value of the first field, or only the flag byte) compared over
// its own length, so that every entry of a value is inside or outside as a whole, whatever the
// later fields and the record-ID suffix hold.
//
// The index path must select exactly the records a record-by-record test passes, so a node is
// answered from an index only where the key order is the order the evaluator compares in:
// language 0 for strings (byte order, NULL text as the empty text in ordering comparisons), a
// constant of the field's own type, a string constant that fits the field.

#include <cstdint>
#include <vector>

namespace dbengine {

// One end of a key range of the current index. Length 0 takes in every entry.
struct TKeyBound {
    std::vector<uint8_t> Key;
    int Length = 0;
    // Start: only entries above the bound; end: only entries below it.
    bool Strict = false;
};

// The entries from Start to End, both as the bounds say, in the current index's order.
struct TKeyRange {
    TKeyBound Start;
    TKeyBound End;
};

// A union of ranges, inverted when Invert is set.
struct TRangeSet {
    std::vector<TKeyRange> Ranges;
    bool Invert = false;
};

// What one condition selects: the intersection of its parts, inverted when Invert is set.
struct TConditionRanges {
    std::vector<TRangeSet> Parts;
    bool Invert = false;
};

}  // namespace dbengine
