#include "codecs/zip/ZipContainers.h"

#include <gtest/gtest.h>

#include "codecs/testsupport/TestFiles.h"
#include "platform/Paths.h"

namespace codecs {
namespace {

// An item with a key, and a list sorted by that key.
class TKeyed : public framework::TObject {
public:
    TKeyed(int key, char tag) : Key(key), Tag(tag) {}
    int Key;
    char Tag;
};

class TKeyedList : public TSortedObjectList {
public:
    int Compare(const void* itemKey, const void* key) const override {
        return static_cast<const TKeyed*>(itemKey)->Key - static_cast<const TKeyed*>(key)->Key;
    }
    std::string Tags() const {
        std::string s;
        for (int i = 0; i < Count(); ++i) s += static_cast<TKeyed*>(Get(i))->Tag;
        return s;
    }
};

TEST(ZipContainers, ListGrowthAndIndexErrors) {
    TObjectList list;
    std::vector<int> capacities;
    for (int i = 0; i < 20; ++i) {
        list.Add(new TKeyed(i, 'x'));
        if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 16, 32}));
    try {
        list.Get(20);
        ADD_FAILURE();
    } catch (const framework::EListError& e) {
        EXPECT_EQ(e.Message, "List index out of bounds (20)");
    }
    EXPECT_THROW(list.Insert(21, nullptr), framework::EListError);
    framework::TObject* first = list.First();
    EXPECT_EQ(list.Neighbour(first, 1), list.Get(1));
    EXPECT_EQ(list.Neighbour(first, -1), nullptr);
    EXPECT_EQ(list.Neighbour(nullptr, -1), list.Last());
    TKeyed stranger(0, 's');
    EXPECT_THROW(list.Neighbour(&stranger, 1), framework::EListError);
}

TEST(ZipContainers, SortedListDuplicates) {
    TKeyedList ignore;
    ignore.Duplicates = dupIgnore;
    ignore.Add(new TKeyed(5, 'A'));
    auto equal = std::make_unique<TKeyed>(5, 'B');
    ignore.Add(equal.get());  // dropped: the caller keeps it
    EXPECT_EQ(ignore.Tags(), "A");

    TKeyedList accept;
    accept.Duplicates = dupAccept;
    for (auto [key, tag] : std::vector<std::pair<int, char>>{{5, 'A'}, {1, 'x'}, {5, 'B'}, {9, 'z'}})
        accept.Add(new TKeyed(key, tag));
    EXPECT_EQ(accept.Tags(), "xBAz");  // the later equal item goes first

    TKeyedList error;
    error.Duplicates = dupError;
    error.Add(new TKeyed(5, 'A'));
    auto again = std::make_unique<TKeyed>(5, 'B');
    try {
        error.Add(again.get());
        ADD_FAILURE();
    } catch (const framework::EListError& e) {
        EXPECT_EQ(e.Message, "Duplicate Object index");
    }
    try {
        error.Put(0, nullptr);
        ADD_FAILURE();
    } catch (const framework::EListError& e) {
        EXPECT_EQ(e.Message, "Cannot <Put> an Object in a sorted list!");
    }
}

TEST(ZipContainers, BufferedStreamPositions) {
    framework::TStringStream under(std::string("0123456789ABCDEFGHIJ"));
    TS_BufferStream s(&under, 8);
    EXPECT_EQ(s.Seek(5, framework::soFromEnd), 15);
    EXPECT_EQ(s.Seek(-5, framework::soFromEnd), 15);
    s.Seek(0, framework::soFromBeginning);
    char buf[4];
    ASSERT_EQ(s.Read(buf, 3), 3);  // the buffer now holds read-ahead
    EXPECT_EQ(s.Position(), 3);
    s.Write("xy", 2);  // continues at the logical position, not after the read-ahead
    EXPECT_EQ(s.Position(), 5);
    s.Seek(0, framework::soFromBeginning);
    char all[20];
    ASSERT_EQ(s.Read(all, 20), 20);
    EXPECT_EQ(std::string(all, 20), "012xy56789ABCDEFGHIJ");
    s.PutBack('!');
    EXPECT_EQ(s.Read(buf, 1), 1);
    EXPECT_EQ(buf[0], '!');
    TS_BufferStream fresh(&under, 8);
    EXPECT_THROW(fresh.PutBack('x'), framework::EStreamError);
    EXPECT_THROW(fresh.Seek(0, static_cast<framework::TSeekOrigin>(7)), framework::EStreamError);
}

TEST(ZipContainers, SmallRoutines) {
    const int32_t cases[][3] = {{200, 50, 25}, {0, 5, 0}, {-1, 5, 0}, {3, 1, 33}, {3, 2, 67}, {10, 20, 100}};
    for (auto& c : cases) EXPECT_EQ(Percentage(c[0], c[1]), c[2]) << c[0] << " " << c[1];
    EXPECT_EQ(Percentage64(int64_t(1) << 40, int64_t(1) << 39), 50);
    EXPECT_EQ(RightStr("abcdef", 2), "ef");
    EXPECT_EQ(RightStr("ab", 5), "ab");
    EXPECT_EQ(LeftStr("abcdef", 2), "ab");
    std::string p = "a/b/c";
    SlashesToBackslashes(p);
    EXPECT_EQ(p, "a\\b\\c");
    testing::TempDir dir;
    const std::string deep = platform::NativeToWindowsPath(dir.Path().string()) + "\\x\\y\\z";
    EXPECT_TRUE(ForceDirs(deep));
    EXPECT_TRUE(DirExists(deep));
    EXPECT_FALSE(FileExistsCheck(deep));
}

}  // namespace
}  // namespace codecs
