#include <gtest/gtest.h>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/index/DefaultTextParams.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"

namespace dbengine {
namespace {

class CursorTextParamsTest : public testsupport::TableFixture {
protected:
    std::unique_ptr<TDataCursor> Cursor(const std::string& name, bool exclusive = false) {
        auto c = std::make_unique<TDataCursor>(Database);
        c->SetTableName(name);
        c->SetExclusive(exclusive);
        return c;
    }
    void Create(const std::string& name, std::optional<std::vector<std::string>> words = std::nullopt) {
        TTableDefinition def = Definition(true);
        def.StopWords = std::move(words);
        def.TextIndex.FieldNumbers[0] = 1;
        def.TextIndex.FieldNumbers[1] = 3;
        Cursor(name, true)->CreateTable(def, true, false);
    }
    static std::vector<std::string> Words(TDataCursor& c) {
        std::vector<std::string> out;
        TLanguageStringList& list = c.GetStopWords();
        for (int i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
        return out;
    }
    // The words and the two sets read from the raw bytes of the parameter chain, items never
    // crossing a page: a reader that assumed so would misread a split item.
    static std::vector<std::string> StoredItems(TDataCursor& c) {
        TIndexFile& file = *c.GetTable()->IndexFile;
        std::vector<std::vector<uint8_t>> pages;
        for (int32_t p = file.GetDataRootPage(SysTextIndex); p != 0;) {
            TPage* page = file.FetchPage(SysTextIndex, p);
            pages.emplace_back(page->Data(), page->Data() + 4083);
            p = page->NextPage;
            file.ReleasePage(page);
        }
        size_t page = 0, pos = 0;
        auto item = [&](size_t size) {
            if (pos + size > 4083) {
                // The rest of the page stays unused: the item begins the next page whole.
                ++page;
                pos = 0;
            }
            EXPECT_LT(page, pages.size());
            if (page >= pages.size()) return std::string();
            std::string bytes(reinterpret_cast<const char*>(pages[page].data() + pos), size);
            pos += size;
            return bytes;
        };
        auto length = [&] {
            std::string b = item(4);
            return b.size() == 4 ? static_cast<size_t>(GetInt32(reinterpret_cast<const uint8_t*>(b.data())))
                                 : 0;
        };
        std::vector<std::string> out;
        size_t count = length();
        for (size_t i = 0; i < count && !testing::Test::HasFailure(); ++i) out.push_back(item(length()));
        for (int set = 0; set < 2; ++set) {
            EXPECT_EQ(length(), 32u);
            out.push_back(item(32));
        }
        EXPECT_EQ(page + 1, pages.size());
        return out;
    }
    // Pages in the parameter chain of the table's full-text index.
    static int ChainLength(TDataCursor& c) {
        TIndexFile& file = *c.GetTable()->IndexFile;
        int n = 0;
        for (int32_t p = file.GetDataRootPage(SysTextIndex); p != 0; ++n) {
            TPage* page = file.FetchPage(SysTextIndex, p);
            EXPECT_EQ(page->PageType, ptData);
            p = page->NextPage;
            file.ReleasePage(page);
        }
        return n;
    }
};

TEST_F(CursorTextParamsTest, NewTablesReadTheDefaults) {
    Create("Made");
    MakeTable("Bare", false);  // made by the registry alone: no parameters stored at all
    std::vector<std::string> expected(std::begin(DefaultStopWords), std::end(DefaultStopWords));
    std::sort(expected.begin(), expected.end());
    for (const char* name : {"Made", "Bare"}) {
        SCOPED_TRACE(name);
        auto c = Cursor(name);
        c->OpenCursor();
        EXPECT_EQ(Words(*c), expected);
        EXPECT_EQ(c->GetSpaceChars(), DefaultSpaceChars());
        EXPECT_EQ(c->GetIncludeChars(), DefaultIncludeChars());
        EXPECT_EQ(ChainLength(*c), std::string(name) == "Made" ? 1 : 0);
    }
    TCharSet space = DefaultSpaceChars();
    for (int code : std::initializer_list<int>{1, 32, '*', '\\', '`'})
        EXPECT_TRUE(space[code / 8] & (1 << (code % 8))) << code;
    for (int code : std::initializer_list<int>{0, 33, '!', 'A'})
        EXPECT_FALSE(space[code / 8] & (1 << (code % 8))) << code;
    TCharSet include = DefaultIncludeChars();
    for (int code : std::initializer_list<int>{'0', 'Z', 'a', '_', 128, 254})
        EXPECT_TRUE(include[code / 8] & (1 << (code % 8))) << code;
    for (int code : std::initializer_list<int>{0, 255, '!', ' '})
        EXPECT_FALSE(include[code / 8] & (1 << (code % 8))) << code;
}

TEST_F(CursorTextParamsTest, ThousandStopWordsSpanPagesAndReadBackEqual) {
    std::vector<std::string> words;
    for (int i = 0; i < 1000; ++i) words.push_back("WORD" + std::to_string(i) + std::string(i % 23, 'X'));
    Create("T", words);
    auto c = Cursor("T");
    c->OpenCursor();
    std::vector<std::string> got = Words(*c);
    ASSERT_EQ(got.size(), 1000u);
    std::vector<std::string> sortedGot = got;
    std::sort(sortedGot.begin(), sortedGot.end());
    std::vector<std::string> sortedWords = words;
    std::sort(sortedWords.begin(), sortedWords.end());
    EXPECT_EQ(sortedGot, sortedWords);
    EXPECT_GT(ChainLength(*c), 2);
    EXPECT_EQ(c->GetSpaceChars(), DefaultSpaceChars());
    // The stored bytes: every item (a 4-byte length, or a block of that many bytes) lies whole
    // inside one page's 4083 data bytes, and an item that would not fit starts the next page.
    std::vector<std::string> stored = StoredItems(*c);
    ASSERT_EQ(stored.size(), 1000u + 2u);
    EXPECT_EQ(std::vector<std::string>(stored.begin(), stored.begin() + 1000), got);
    EXPECT_EQ(stored[1000], std::string(reinterpret_cast<const char*>(DefaultSpaceChars().data()), 32));

    // Replaced through an open shared cursor, they are written at its close.
    TCharSet space{};
    space[4] = 1;  // the space character alone
    std::vector<std::string> few = {"ZED", "ALPHA"};
    c->SetTextIndexParams(&few, space, DefaultIncludeChars());
    c->CloseCursor(false);
    c->OpenCursor();
    EXPECT_EQ(Words(*c), (std::vector<std::string>{"ALPHA", "ZED"}));
    EXPECT_EQ(c->GetSpaceChars(), space);
}

TEST_F(CursorTextParamsTest, OneTablesStopWordsNeverLeakIntoAnother) {
    Create("A", std::vector<std::string>{"ONLYA"});
    Create("B");
    auto c = Cursor("A");
    c->OpenCursor();
    EXPECT_EQ(Words(*c), std::vector<std::string>{"ONLYA"});
    c->CloseCursor(false);
    c->SetTableName("B");
    c->OpenCursor();
    EXPECT_EQ(Words(*c).size(), 22u);
    c->CloseCursor(false);
    // The same name again after a close reads the table afresh too.
    auto other = Cursor("B", true);
    other->OpenCursor();
    std::vector<std::string> one = {"NEW"};
    other->SetTextIndexParams(&one, DefaultSpaceChars(), DefaultIncludeChars());
    other->CloseCursor(false);
    c->OpenCursor();
    EXPECT_EQ(Words(*c), std::vector<std::string>{"NEW"});
}

}  // namespace
}  // namespace dbengine
