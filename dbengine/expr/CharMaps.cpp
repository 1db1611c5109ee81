#include "dbengine/expr/CharMaps.h"

#include <algorithm>
#include <numeric>

namespace dbengine {

namespace {

std::unique_ptr<TLanguageCharMapsList>& CharMapsInstance() {
    static std::unique_ptr<TLanguageCharMapsList> instance;
    return instance;
}

}  // namespace

void BuildCharMap(uint16_t LanguageId, uint16_t SortId, TCharMap& Map) {
    std::iota(Map.begin(), Map.end(), 0);
    if (LanguageId == 0) return;
    // A merge sort keeps the result a permutation even when the language's comparison is not a
    // strict order; characters it finds equal stay in byte order.
    std::stable_sort(Map.begin(), Map.end(), [&](uint8_t a, uint8_t b) {
        return CompareLocaleChar(LanguageId, SortId, static_cast<char>(a), static_cast<char>(b)) < 0;
    });
}

TLanguageCharMapsList::TLanguageCharMapsList() : Lock(NewCriticalSection()) {
    Entries.reserve(256);
}

TLanguageCharMapsList::~TLanguageCharMapsList() {
    Clear();
}

void TLanguageCharMapsList::Clear() {
    TEngineLockGuard guard(*Lock);
    while (!Entries.empty()) Entries.pop_back();
}

int TLanguageCharMapsList::Count() {
    TEngineLockGuard guard(*Lock);
    return static_cast<int>(Entries.size());
}

void TLanguageCharMapsList::GetMap(uint16_t LanguageId, uint16_t SortId, TCharMap& Map) {
    TEngineLockGuard guard(*Lock);
    for (const auto& entry : Entries) {
        if (entry->LanguageId == LanguageId && entry->SortId == SortId) {
            Map = entry->Map;
            return;
        }
    }
    auto entry = std::make_unique<TCharMapEntry>();
    entry->LanguageId = LanguageId;
    entry->SortId = SortId;
    BuildCharMap(LanguageId, SortId, entry->Map);
    Map = entry->Map;
    Entries.push_back(std::move(entry));
}

void GetCharMap(uint16_t LanguageId, uint16_t SortId, TCharMap& Map) {
    if (TLanguageCharMapsList* maps = LanguageCharMaps())
        maps->GetMap(LanguageId, SortId, Map);
    else
        BuildCharMap(LanguageId, SortId, Map);
}

TLanguageCharMapsList* LanguageCharMaps() {
    return CharMapsInstance().get();
}

void CreateLanguageCharMaps() {
    if (!CharMapsInstance()) CharMapsInstance() = std::make_unique<TLanguageCharMapsList>();
}

void FreeLanguageCharMaps() {
    CharMapsInstance().reset();
}

int TLanguageStringList::CompareStrings(const std::string& S1, const std::string& S2) const {
    return CompareLocaleText(LanguageId, SortId, S1.c_str(), S2.c_str(), 0, true);
}

void TLanguageStringList::Sort() {
    if (Sorted()) {
        // The base list does not re-sort a sorted list; switching the flag off and on does.
        SetSorted(false);
        SetSorted(true);
        return;
    }
    CustomSort([](framework::TStringList* List, int a, int b) {
        return List->CompareStrings(List->Get(a), List->Get(b));
    });
}

bool TLanguageStringList::Search(const std::string& S, int& Index, int Low, int Length) const {
    bool found = false;
    int low = Low, high = Count() - 1;
    // Prefix comparisons work on cut copies, so a string shorter than Length is never read
    // beyond its end.
    std::string key = Length > 0 ? S.substr(0, static_cast<size_t>(Length)) : S;
    while (low <= high) {
        int middle = low + (high - low) / 2;
        std::string item = Get(middle);
        if (Length > 0) item.resize(std::min(item.size(), static_cast<size_t>(Length)));
        int c = CompareStrings(item, key);
        if (c < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (c == 0) {
                found = true;
                // A prefix matches a run of neighbours: keep going left to the first of them,
                // or a walk from there would miss the ones before.
                if (Duplicates != framework::dupAccept && Length == 0) low = middle;
            }
        }
    }
    Index = low;
    return found;
}

bool TLanguageStringList::Find(const std::string& S, int& Index) const {
    return Search(S, Index, 0, 0);
}

bool TLanguageStringList::FindPrefix(const std::string& S, int& Index, int Length) const {
    return Search(S, Index, std::max(Index, 0), Length);
}

}  // namespace dbengine
