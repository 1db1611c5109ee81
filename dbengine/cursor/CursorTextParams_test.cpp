#include <gtest/gtest.h>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/index/DefaultTextParams.h"
#include "dbengine/testsupport/TableFixture.h"

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
    // Pages in the parameter chain of the table's full-text index.
    static int ChainLength(TDataCursor& c) {
        TIndexFile& file = *c.Table->IndexFile;
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
