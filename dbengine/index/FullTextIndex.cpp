#include "dbengine/index/FullTextIndex.h"

#include <algorithm>
#include <cstring>

#include "dbengine/index/DefaultTextParams.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/os/OSLayer.h"

namespace dbengine {

// ---- TTextWordList ----

TTextWordList::TTextWordList(uint16_t languageId, uint16_t sortId) {
    LanguageId = languageId;
    SortId = sortId;
    Duplicates = framework::dupIgnore;
    SetSorted(true);
}

void TTextWordList::AddWord(const std::string& word) {
    int index = 0;
    if (Find(word, index)) {
        uint16_t& count = Counts[static_cast<size_t>(index)];
        if (count < MaxWordOccurrences) ++count;
        return;
    }
    int at = Add(word);
    Counts.insert(Counts.begin() + at, 1);
}

void TTextWordList::Clear() {
    TLanguageStringList::Clear();
    Counts.clear();
}

void TTextWordList::Delete(int index) {
    TLanguageStringList::Delete(index);
    Counts.erase(Counts.begin() + index);
}

// ---- Words ----

void ExtractTextIndexWords(const char* text, int32_t length, TTextWordList& list, bool wildcard,
                           const TCharSet& spaceChars, const TCharSet& includeChars) {
    list.Clear();
    std::string word;
    word.reserve(MaxTextWordLength);
    for (int32_t i = 0; i < length; ++i) {
        auto c = static_cast<uint8_t>(text[i]);
        bool star = wildcard && c == '*';
        if (CharSetHas(spaceChars, c) && !star) {
            if (!word.empty()) list.AddWord(word);
            word.clear();
        } else if (CharSetHas(includeChars, c) || star) {
            if (word.size() < static_cast<size_t>(MaxTextWordLength)) word.push_back(static_cast<char>(c));
        }
    }
    if (!word.empty()) list.AddWord(word);
}

void BuildTextWordKey(uint16_t fieldNo, const std::string& word, int32_t recordId, uint16_t languageId,
                      uint16_t sortId, uint8_t* key) {
    std::memset(key, 0, SysTextKeySize);
    key[0] = 1;
    EncodeKeyWord(fieldNo, key + 1);
    // The word area keeps a zero after the longest word, so the locale mapping sees a terminated
    // text; a word with a zero byte in it ends there, as the stored key would.
    char text[TextKeyWordSize] = {};
    std::memcpy(text, word.data(), std::min<size_t>(word.size(), MaxTextWordLength));
    UpperCaseLocale(languageId, sortId, text);
    std::memcpy(key + TextKeyWordOffset, text, TextKeyWordSize);
    EncodeKeyInteger(recordId, key + TextKeyRecordIdOffset);
}

namespace {

bool IsStopWord(const TLanguageStringList& stopWords, const std::string& word) {
    int index = 0;
    return stopWords.Find(word, index);
}

bool IsWildcardWord(const std::string& word) {
    return !word.empty() && word.back() == '*';
}

// Sum of the counts of the value words starting with prefix; stops at the first one unless
// all is set. An empty prefix is compared as a whole word, which no value word equals.
int64_t PrefixMatches(const TTextWordList& value, const std::string& prefix, bool all) {
    int64_t sum = 0;
    int index = 0;
    while (index < value.Count() && value.FindPrefix(prefix, index, static_cast<int>(prefix.size()))) {
        sum += value.Occurrences(index);
        if (!all) break;
        ++index;
    }
    return sum;
}

}  // namespace

bool TextWordsMatch(const TTextWordList& search, const TTextWordList& value,
                    const TLanguageStringList& stopWords) {
    for (int i = 0; i < search.Count(); ++i) {
        std::string word = search.Get(i);
        if (IsWildcardWord(word)) {
            word.pop_back();
            if (PrefixMatches(value, word, false) == 0) return false;
        } else if (!IsStopWord(stopWords, word)) {
            int index = 0;
            if (!value.Find(word, index)) return false;
        }
    }
    return true;
}

int32_t CountTextWordMatches(const TTextWordList& search, const TTextWordList& value,
                             const TLanguageStringList& stopWords) {
    int64_t sum = 0;
    for (int i = 0; i < search.Count(); ++i) {
        std::string word = search.Get(i);
        if (IsWildcardWord(word)) {
            word.pop_back();
            sum += PrefixMatches(value, word, true);
        } else if (!IsStopWord(stopWords, word)) {
            int index = 0;
            if (value.Find(word, index)) sum += value.Occurrences(index);
        }
    }
    // Each count is capped at 65,535 and a list holds no more words than a text has bytes, so
    // the sum stays far below the 32-bit limit for any text the engine holds; clamp all the same.
    return static_cast<int32_t>(std::min<int64_t>(sum, INT32_MAX));
}

// ---- Parameters and their text forms ----

void SetDefaultTextParams(TLanguageStringList& stopWords, TCharSet& spaceChars, TCharSet& includeChars) {
    stopWords.Clear();
    for (const char* w : DefaultStopWords) stopWords.Add(w);
    spaceChars = DefaultSpaceChars();
    includeChars = DefaultIncludeChars();
}

bool SameWordLists(uint16_t languageId, uint16_t sortId, const framework::TStrings* list1,
                   const framework::TStrings* list2) {
    if ((list1 == nullptr) != (list2 == nullptr)) return false;
    if (list1 == nullptr) return true;
    if (list1->Count() != list2->Count()) return false;
    for (int i = 0; i < list1->Count(); ++i) {
        std::string a = list1->Get(i), b = list2->Get(i);
        if (CompareLocaleText(languageId, sortId, a.c_str(), b.c_str(), 0, true) != 0) return false;
    }
    return true;
}

std::string CharSetToString(const TCharSet& set) {
    std::string out;
    for (unsigned c = 1; c <= 255; ++c)
        if (CharSetHas(set, static_cast<uint8_t>(c))) out.push_back(static_cast<char>(c));
    return out;
}

TCharSet CharsToSet(const std::string& text) {
    TCharSet set{};
    for (char ch : text) {
        auto c = static_cast<uint8_t>(ch);
        set[c / 8] = static_cast<uint8_t>(set[c / 8] | (1u << (c % 8)));
    }
    return set;
}

void SplitWordsToList(const std::string& text, framework::TStrings& list) {
    list.Clear();
    std::string rest = text;
    while (!rest.empty()) {
        size_t space = rest.find(' ');
        if (space == std::string::npos) {
            list.Add(rest);
            break;
        }
        list.Add(rest.substr(0, space));
        rest.erase(0, space + 1);
    }
}

}  // namespace dbengine
