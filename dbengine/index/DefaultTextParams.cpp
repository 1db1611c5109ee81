#include "dbengine/index/DefaultTextParams.h"

#include <string_view>

namespace dbengine {

namespace {

void Include(TCharSet& set, unsigned c) {
    set[c / 8] = static_cast<uint8_t>(set[c / 8] | (1u << (c % 8)));
}

}  // namespace

const char* const DefaultStopWords[22] = {"A",   "AN",   "AND",  "BE",    "FOR",  "HOW", "IN",   "IS",
                                          "IT",  "OF",   "ON",   "OR",    "THAT", "THE", "THIS", "TO",
                                          "WAS", "WHAT", "WHEN", "WHICH", "WHY",  "WILL"};

TCharSet DefaultSpaceChars() {
    TCharSet set{};
    for (unsigned c = 1; c <= 32; ++c) Include(set, c);
    for (char c : std::string_view("*+,-./:;<=>\\`")) Include(set, static_cast<uint8_t>(c));
    return set;
}

TCharSet DefaultIncludeChars() {
    TCharSet set{};
    for (unsigned c = '0'; c <= '9'; ++c) Include(set, c);
    for (unsigned c = 'A'; c <= 'Z'; ++c) Include(set, c);
    for (unsigned c = 'a'; c <= 'z'; ++c) Include(set, c);
    Include(set, '_');
    for (unsigned c = 128; c <= 254; ++c) Include(set, c);
    return set;
}

}  // namespace dbengine
