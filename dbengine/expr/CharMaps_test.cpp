#include "dbengine/expr/CharMaps.h"
#include "dbengine/testsupport/EngineRun.h"

#include <gtest/gtest.h>

#include <set>

namespace dbengine {
namespace {

TEST(CharMapsTest, CacheBuildsEachLanguageOnce) {
    TLanguageCharMapsList maps;
    TCharMap map;
    maps.GetMap(0, 0, map);
    for (int k = 0; k < 256; ++k) ASSERT_EQ(map[k], k);
    maps.GetMap(0, 1, map);
    for (int k = 0; k < 256; ++k) ASSERT_EQ(map[k], k);
    EXPECT_EQ(maps.Count(), 2);  // ids that differ only in the sort id are two entries
    TCharMap again;
    maps.GetMap(0, 0, again);
    EXPECT_EQ(again, map);
    EXPECT_EQ(maps.Count(), 2);
    // Languages other than 0: whatever the comparison does, the map holds every byte once.
    for (uint16_t language : {uint16_t(1033), uint16_t(1031)}) {
        maps.GetMap(language, 0, map);
        EXPECT_EQ(std::set<int>(map.begin(), map.end()).size(), 256u) << language;
    }
    EXPECT_EQ(maps.Count(), 4);
    maps.Clear();
    EXPECT_EQ(maps.Count(), 0);
}

TEST(CharMapsTest, EngineStartCreatesTheProcessCache) {
    InitializeEngine();
    ASSERT_NE(LanguageCharMaps(), nullptr);
    TCharMap map;
    int before = LanguageCharMaps()->Count();
    GetCharMap(0, 7, map);
    GetCharMap(0, 7, map);
    EXPECT_EQ(LanguageCharMaps()->Count(), before + 1);
    FinalizeEngine();
    EXPECT_EQ(LanguageCharMaps(), nullptr);
    GetCharMap(0, 0, map);  // still answers without the cache
    EXPECT_EQ(map[200], 200);
}

TEST(CharMapsTest, LanguageStringListSearches) {
    TLanguageStringList list;
    list.Add("cherry");
    list.Add("apple");
    list.Add("Banana");
    list.Sort();
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0], "apple");
    EXPECT_EQ(list[1], "Banana");
    int index = -1;
    EXPECT_TRUE(list.Find("BANANA", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(list.Find("blueberry", index));
    EXPECT_EQ(index, 2);
    index = 0;
    EXPECT_TRUE(list.FindPrefix("CH", index, 2));
    EXPECT_EQ(index, 2);
}

TEST(CharMapsTest, PrefixWalkVisitsEachMatchOnce) {
    TLanguageStringList list;
    list.Duplicates = framework::dupAccept;
    list.SetSorted(true);
    for (const char* w : {"car", "Cart", "cat", "b", "CARE", "ca", "dog", "car"}) list.Add(w);
    std::multiset<std::string> seen;
    int index = 0;
    while (list.FindPrefix("CAR", index, 3)) {
        seen.insert(list[index]);
        ++index;
    }
    EXPECT_EQ(seen, (std::multiset<std::string>{"car", "car", "CARE", "Cart"}));
    index = 0;
    EXPECT_FALSE(list.FindPrefix("zz", index, 2));
    EXPECT_EQ(index, list.Count());
}

}  // namespace
}  // namespace dbengine
