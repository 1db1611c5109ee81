#include "platform/DragDrop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

TEST(DragDataReaders, IDListArraysAreReadWithinTheBlock) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool ok;
        size_t items;
    };
    const std::vector<Case> cases = {
        {"one item", {1, 0, 0, 0, 12, 0, 0, 0, 14, 0, 0, 0, 0, 0, 4, 0, 'a', 'b', 0, 0}, true, 1},
        {"no items", {0, 0, 0, 0, 8, 0, 0, 0, 0, 0}, true, 0},
        {"short block", {1, 0, 0, 0}, false, 0},
        {"count past the block", {0xFF, 0xFF, 0xFF, 0xFF, 8, 0, 0, 0, 0, 0}, false, 0},
        {"offset past the block", {0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0}, false, 0},
        {"list without terminator", {1, 0, 0, 0, 12, 0, 0, 0, 14, 0, 0, 0, 0, 0, 4, 0, 'a', 'b'}, false, 0},
        {"ID longer than the block",
         {1, 0, 0, 0, 12, 0, 0, 0, 14, 0, 0, 0, 0, 0, 40, 0, 'a', 'b', 0, 0},
         false,
         0},
    };
    for (const auto& c : cases) {
        TIDListArray result;
        EXPECT_EQ(ReadIDListArray(c.bytes.data(), c.bytes.size(), result), c.ok) << c.name;
        EXPECT_EQ(result.Items.size(), c.items) << c.name;
    }
}

TEST(DragDataReaders, FileDropListsAreReadWithinTheBlock) {
    auto header = [](uint32_t offset, bool wide) {
        std::vector<uint8_t> h(20, 0);
        h[0] = static_cast<uint8_t>(offset);
        h[16] = wide ? 1 : 0;
        return h;
    };
    std::vector<uint8_t> narrow = header(20, false);
    for (char c : std::string("D:\\a\0D:\\b\0\0", 11)) narrow.push_back(static_cast<uint8_t>(c));
    std::vector<std::string> names;
    ASSERT_TRUE(ReadFileDropList(narrow.data(), narrow.size(), names));
    EXPECT_EQ(names, (std::vector<std::string>{"D:\\a", "D:\\b"}));

    std::vector<uint8_t> wide = header(20, true);
    for (char c : std::string("x\0\0", 3)) {
        wide.push_back(static_cast<uint8_t>(c));
        wide.push_back(0);
    }
    ASSERT_TRUE(ReadFileDropList(wide.data(), wide.size(), names));
    EXPECT_EQ(names, std::vector<std::string>{"x"});

    std::vector<uint8_t> unended = narrow;
    unended.resize(unended.size() - 1);  // no final empty name
    EXPECT_FALSE(ReadFileDropList(unended.data(), unended.size(), names));
    EXPECT_TRUE(names.empty());
    std::vector<uint8_t> far = header(200, false);
    EXPECT_FALSE(ReadFileDropList(far.data(), far.size(), names));
    std::vector<uint8_t> inside = header(4, false);
    EXPECT_FALSE(ReadFileDropList(inside.data(), inside.size(), names));
    EXPECT_FALSE(ReadFileDropList(narrow.data(), 10, names));
}

}  // namespace
