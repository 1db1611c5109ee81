// Full-text words of any text: the splitter keeps words of 1 to 60 characters made only of word
// characters (and "*" when wildcards are on), each listed once with a count of at least 1; the
// word search and count and the word key never fault. The first byte picks wildcards and which
// part of the rest is the search text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbengine/index/DefaultTextParams.h"
#include "dbengine/index/FullTextIndex.h"
#include "dbengine/index/IndexFormat.h"

using namespace dbengine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    bool wildcard = (data[0] & 1) != 0;
    size_t split = size > 1 ? data[0] % size : 0;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    static const TCharSet space = DefaultSpaceChars();
    static const TCharSet include = DefaultIncludeChars();
    static TLanguageStringList stop;
    static TCharSet unusedSpace, unusedInclude;
    if (stop.Count() == 0) {
        stop.SetSorted(true);
        SetDefaultTextParams(stop, unusedSpace, unusedInclude);
    }

    TTextWordList words;
    ExtractTextIndexWords(text.data(), static_cast<int32_t>(text.size()), words, wildcard, space, include);
    for (int i = 0; i < words.Count(); ++i) {
        std::string w = words.Get(i);
        if (w.empty() || w.size() > static_cast<size_t>(MaxTextWordLength) || words.Occurrences(i) == 0)
            __builtin_trap();
        for (char ch : w) {
            auto c = static_cast<uint8_t>(ch);
            if (!CharSetHas(include, c) && !(wildcard && c == '*')) __builtin_trap();
        }
        uint8_t key[SysTextKeySize];
        BuildTextWordKey(1, w, 1, 0, 0, key);
    }

    TTextWordList search, value;
    std::string s = text.substr(0, split), v = text.substr(split);
    ExtractTextIndexWords(s.data(), static_cast<int32_t>(s.size()), search, true, space, include);
    ExtractTextIndexWords(v.data(), static_cast<int32_t>(v.size()), value, false, space, include);
    bool found = TextWordsMatch(search, value, stop);
    int32_t count = CountTextWordMatches(search, value, stop);
    if (count < 0) __builtin_trap();
    (void)found;
    return 0;
}
