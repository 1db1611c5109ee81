#pragma once
// The words of the full-text index: how a text is cut into words, the word lists with their
// occurrence counts, the 68-byte key stored for each word of a field of a record in the
// "Sys Text" index, the word matching of TEXTSEARCH and TEXTOCCURS, and the text forms of the
// full-text parameters.
//
// Word key layout (bytes of a zero-filled key buffer):
//   0       1 (the key's flag byte)
//   1..2    the field number, 16-bit big-endian
//   3..63   the word upper-cased in the table's language, at most 60 characters, zero-filled
//   64..67  the record ID as an integer key (sign bit flipped, big-endian)
// The entry's value is the record's physical number.

#include <cstdint>
#include <string>
#include <vector>

#include "dbengine/expr/CharMaps.h"
#include "dbengine/index/TextIndexParams.h"

namespace dbengine {

// Characters kept of one word; the rest of a longer run is dropped.
constexpr int MaxTextWordLength = 60;
// Occurrence counts stop here.
constexpr uint16_t MaxWordOccurrences = 65535;
constexpr int TextKeyWordOffset = 3;
constexpr int TextKeyWordSize = 61;
constexpr int TextKeyRecordIdOffset = 64;

inline bool CharSetHas(const TCharSet& set, uint8_t c) {
    return (set[c / 8] & (1u << (c % 8))) != 0;
}

// The distinct words of a text, sorted and compared without case in the table's language,
// each with the number of times it occurred.
class TTextWordList : public TLanguageStringList {
public:
    TTextWordList(uint16_t languageId = 0, uint16_t sortId = 0);

    // Adds a word with count 1, or raises the count of the equal word already listed.
    void AddWord(const std::string& word);
    uint16_t Occurrences(int index) const { return Counts.at(static_cast<size_t>(index)); }
    void Clear() override;
    void Delete(int index) override;

private:
    std::vector<uint16_t> Counts;
};

// Cuts length bytes of text into words and collects them in list (cleared first). A character
// in spaceChars ends a word; one in includeChars is part of it; any other is dropped without
// ending the word. With wildcard, "*" is a word character even when it is a space character.
void ExtractTextIndexWords(const char* text, int32_t length, TTextWordList& list, bool wildcard,
                           const TCharSet& spaceChars, const TCharSet& includeChars);

// The word key of word in field fieldNo of the record with recordId (layout above); key holds at
// least SysTextKeySize bytes, all of which are written.
void BuildTextWordKey(uint16_t fieldNo, const std::string& word, int32_t recordId, uint16_t languageId,
                      uint16_t sortId, uint8_t* key);

// TEXTSEARCH: every search word that is not a stop word is among the value words; a search word
// ending in "*" needs a value word starting with the characters before it.
bool TextWordsMatch(const TTextWordList& search, const TTextWordList& value,
                    const TLanguageStringList& stopWords);
// TEXTOCCURS: the occurrences in value of every search word (for a word ending in "*", of every
// value word starting with its other characters); stop words count nothing.
int32_t CountTextWordMatches(const TTextWordList& search, const TTextWordList& value,
                             const TLanguageStringList& stopWords);

// The default parameters: the 22 stop words in their order, the default space and include
// characters.
void SetDefaultTextParams(TLanguageStringList& stopWords, TCharSet& spaceChars, TCharSet& includeChars);

// False when exactly one list is missing; else true when both hold equal words (without case in
// the language) at every position.
bool SameWordLists(uint16_t languageId, uint16_t sortId, const framework::TStrings* list1,
                   const framework::TStrings* list2);

// The characters of the set from code 1 to 255 in ascending order (code 0 never).
std::string CharSetToString(const TCharSet& set);
// One bit for every character of the text.
TCharSet CharsToSet(const std::string& text);

// The parts of text between single spaces, in order (two spaces in a row give an empty part);
// list is cleared first.
void SplitWordsToList(const std::string& text, framework::TStrings& list);

}  // namespace dbengine
