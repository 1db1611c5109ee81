#pragma once
// The parameters of a table's full-text index, kept as a chain of data pages (type 4) of the
// "Sys Text" index starting at its DataRootPage: a 4-byte word count, each stop word as a 4-byte
// length and its characters, then the 32-byte sets of space and include characters, each after
// its 4-byte length. An item never spans two pages: one that does not fit in the rest of a page
// (4083 data bytes) starts at byte 0 of the next page of the chain.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dbengine {

class TIndexFile;
class TIndexCursor;

// A set of characters: bit c mod 8 of byte c div 8 stands for character code c.
using TCharSet = std::array<uint8_t, 32>;

struct TTextIndexParams {
    std::vector<std::string> StopWords;
    TCharSet SpaceChars{};
    TCharSet IncludeChars{};
};

// Reads the chain into params; false (params untouched) when the table stores none. A damaged
// chain raises 8965. The cursor's current index is kept.
bool ReadTextIndexParams(TIndexFile& file, TIndexCursor& cursor, TTextIndexParams& params);
// Writes params over the chain, extending it with new pages as needed; words longer than 255
// characters are cut. Pages of the old chain past the last one written stay linked.
void WriteTextIndexParams(TIndexFile& file, TIndexCursor& cursor, const TTextIndexParams& params);

}  // namespace dbengine
