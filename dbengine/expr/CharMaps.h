#pragma once
// Character maps of table languages, and string lists sorted by a table language.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/os/OSLayer.h"
#include "framework/core/Object.h"
#include "framework/core/Strings.h"

namespace dbengine {

// Map[k] is the byte value of rank k when all 256 byte values are ordered by the language's
// one-character comparison. Language 0 gives the identity.
using TCharMap = std::array<uint8_t, 256>;

struct TCharMapEntry {
    uint16_t LanguageId = 0;
    uint16_t SortId = 0;
    TCharMap Map{};
};

// The process-wide cache of character maps. Entries are only added, never changed or removed
// before the cache is freed; each language and sort order is built once.
class TLanguageCharMapsList : public framework::TObject {
public:
    TLanguageCharMapsList();
    ~TLanguageCharMapsList() override;

    void Clear();
    // Copies the map of the language and sort order, building and caching it on first use.
    void GetMap(uint16_t LanguageId, uint16_t SortId, TCharMap& Map);
    int Count();

private:
    std::vector<std::unique_ptr<TCharMapEntry>> Entries;
    std::unique_ptr<TEngineCriticalSection> Lock;
};

// Builds a map without the cache.
void BuildCharMap(uint16_t LanguageId, uint16_t SortId, TCharMap& Map);

// Copies the map through the process-wide cache (built without caching before start-up).
void GetCharMap(uint16_t LanguageId, uint16_t SortId, TCharMap& Map);

// The process-wide cache; null before LibraryStartup and after LibraryShutdown.
TLanguageCharMapsList* LanguageCharMaps();

// A sorted string list that sorts and searches by the table language, ignoring case.
class TLanguageStringList : public framework::TStringList {
public:
    uint16_t LanguageId = 0;
    uint16_t SortId = 0;

    int CompareStrings(const std::string& S1, const std::string& S2) const override;
    void Sort() override;
    bool Find(const std::string& S, int& Index) const override;
    // Searches from Index on, comparing only the first Length characters of both texts. Called
    // with Index 0 and then one past each match, it walks every string with that prefix.
    bool FindPrefix(const std::string& S, int& Index, int Length) const;

private:
    bool Search(const std::string& S, int& Index, int Low, int Length) const;
};

// Creates and frees the process-wide cache (called by library start-up and shut-down).
void CreateLanguageCharMaps();
void FreeLanguageCharMaps();

}  // namespace dbengine
