#pragma once
// The table languages the engine knows, with their language ids, and the sort orders each
// language offers. Names compare without regard to case.

#include <cstdint>
#include <string>
#include <vector>

namespace dbengine {

struct TTableLanguage {
    std::string Name;
    uint16_t LanguageId;
};

// The 99 languages, "ANSI Standard" (id 0) first.
const std::vector<TTableLanguage>& TableLanguages();

bool IsTableLanguageName(const std::string& name);
// The id of the first language of that name; 0 when none (so test IsTableLanguageName first).
uint16_t GetTableLanguageId(const std::string& name);

// The sort orders of a language in sort-id order: "Default Order", and for the five German
// languages also "German Phone Book Order".
std::vector<std::string> GetSortOrderNames(uint16_t languageId);
bool IsSortOrderName(uint16_t languageId, const std::string& name);
uint16_t GetSortOrderId(uint16_t languageId, const std::string& name);

}  // namespace dbengine
