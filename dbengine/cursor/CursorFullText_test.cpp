#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/index/FullTextIndex.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/testsupport/BlobFixture.h"
#include "dbengine/testsupport/CalculatedField.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/testsupport/WordKeys.h"
#include "dbengine/util/Coding.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::Field;
using testsupport::Index;

// Name (primary key), Title and Body (both in the full-text index), Count (not) and Id (the
// auto-increment field showing the record ID).
class CursorFullTextTest : public testsupport::TableFixture {
protected:
    // With memoBody, Body is a memo.
    void Create(std::optional<std::vector<std::string>> stopWords = std::nullopt, bool memoBody = false) {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "Title", fldString, 80),
                      memoBody ? Field(3, "Body", fldBlob, 0, fldstMemo) : Field(3, "Body", fldString, 120),
                      Field(4, "Count", fldInteger), Field(5, "Id", fldInteger, 0, fldstAutoInc)};
        def.PrimaryIndex = Index("", {1}, true);
        def.TextIndex.FieldNumbers[0] = 2;
        def.TextIndex.FieldNumbers[1] = 3;
        def.StopWords = std::move(stopWords);
        TDataCursor creator(Database);
        creator.SetTableName("T");
        creator.SetExclusive(true);
        creator.CreateTable(def, false, false);
        C = std::make_unique<TDataCursor>(Database);
        C->SetTableName("T");
        C->OpenCursor();
        C->SetIndexNumber(0);
    }
    void TearDown() override {
        C.reset();
        TableFixture::TearDown();
    }

    std::vector<uint8_t> Buffer(const std::string& name, const std::string& title,
                                const std::string& body = "") {
        std::vector<uint8_t> b(C->GetRecordSize(), 0);
        C->ClearRecordBuffer(b.data());
        Put(1, b.data(), name);
        if (!title.empty()) Put(2, b.data(), title);
        if (!body.empty()) Put(3, b.data(), body);  // string Body only
        return b;
    }
    void Put(uint16_t f, uint8_t* b, const std::string& s) {
        uint8_t v[160] = {};
        std::memcpy(v, s.data(), s.size());
        C->PutField(f, b, v, false, false);
    }
    int32_t Insert(const std::string& name, const std::string& title, const std::string& body = "") {
        auto b = Buffer(name, title, body);
        C->InsertRecord(b.data(), true);
        return C->GetPhysicalRecNo();
    }
    void Find(const std::string& name) {
        C->SetIndexNumber(0);
        auto b = Buffer(name, "");
        std::vector<uint8_t> out(C->GetRecordSize());
        ASSERT_TRUE(C->FindKey(false, b.data(), 1, false, 0, out.data())) << name;
    }
    std::vector<uint8_t> Current() {
        std::vector<uint8_t> b(C->GetRecordSize());
        EXPECT_EQ(C->GetCurrentRecord(b.data(), false), 0);
        return b;
    }
    void Modify(const std::string& name, const std::string& title, const std::string& body = "") {
        Find(name);
        auto b = Buffer(name, title, body);
        C->ModifyRecord(b.data(), true, true);
    }

    // Stores text as the Body memo of the named record, straight into the table's files.
    void StoreMemo(const std::string& name, const std::string& text) {
        Find(name);
        TDataTable& t = *C->GetTable();
        testsupport::TFakeCursor client(t.BlobFile.get());
        TBlobBuffer blob(&client, t.BlobFile.get());
        blob.SetSize(static_cast<int32_t>(text.size()));
        std::memcpy(blob.GetData(), text.data(), text.size());
        blob.Stamp = t.DataFile->NextBlobStamp();
        blob.RecordNo = C->GetPhysicalRecNo();
        blob.Save();
        TRecord* rec = nullptr;
        ASSERT_TRUE(t.DataFile->GetRecord(nullptr, blob.RecordNo, 1, false, false, rec));
        uint16_t at = t.DataFile->GetFieldDescriptor(3).Offset;
        rec->Data()[at] = 1;
        PutInt32(rec->Data() + at + 1, blob.FirstBlock);
        PutInt32(rec->Data() + at + 5, blob.Stamp);
        rec->Modified = true;
        t.DataFile->ReleaseRecord(rec);
        t.FlushBuffers();
        Find(name);
    }

    // Every key of the text index as "field:WORD#id@recno", in index order, read by walking the
    // index with a second cursor.
    std::vector<std::string> WordKeys() { return testsupport::ReadWordKeys(Database, "T"); }
    std::vector<uint8_t> Key(uint16_t field, const std::string& word, int32_t id) {
        std::vector<uint8_t> key(MaxKeyFieldPart, 0);
        BuildTextWordKey(field, word, id, C->LanguageId, C->SortId, key.data());
        return key;
    }
    // Removes one word key behind the cursor's back, as a damaged index would lack it.
    void DropKey(uint16_t field, const std::string& word, int32_t id) {
        uint8_t saved = C->CurrentIndex;
        C->SelectIndex(SysTextIndex);
        C->DeleteKey(Key(field, word, id).data());
        C->SelectIndex(saved);
    }

    std::unique_ptr<TDataCursor> C;
};

TEST_F(CursorFullTextTest, InsertedRecordsGetTheKeysOfTheirWords) {
    Create();
    Insert("a", "Don't stop-believing, e-mail me");
    Insert("b", "The cat and THE hat", std::string(70, 'q') + " cat");
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BELIEVING#1@1", "2:CAT#2@2", "2:DONT#1@1", "2:E#1@1",
                                                    "2:HAT#2@2", "2:MAIL#1@1", "2:ME#1@1", "2:STOP#1@1",
                                                    "3:CAT#2@2", "3:" + std::string(60, 'Q') + "#2@2"}))
        << "stop words (THE, AND) get no key; each field keys its own words once";
    EXPECT_TRUE(C->IsTextIndexedField(2));
    EXPECT_TRUE(C->IsTextIndexedField(3));
    EXPECT_FALSE(C->IsTextIndexedField(1));
    EXPECT_FALSE(C->IsTextIndexedField(4));
    EXPECT_EQ(C->CurrentIndex, 0) << "the edit gives the current index back";
}

TEST_F(CursorFullTextTest, TheTablesOwnStopWordsDecide) {
    Create(std::vector<std::string>{"cat"});
    Insert("a", "The cat and THE hat");
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:AND#1@1", "2:HAT#1@1", "2:THE#1@1"}));
}

TEST_F(CursorFullTextTest, ModifyingKeepsTheWordsBothTextsShare) {
    Create();
    Insert("a", "red green", "sky");
    Insert("b", "green", "");
    Modify("a", "green blue", "sky");
    EXPECT_EQ(WordKeys(),
              (std::vector<std::string>{"2:BLUE#1@1", "2:GREEN#1@1", "2:GREEN#2@2", "3:SKY#1@1"}));

    // The same edit seen key by key: RED goes, BLUE comes, nothing else is touched.
    Find("a");
    std::vector<uint8_t> old = Current();
    auto next = Buffer("a", "green red", "sky");
    std::memcpy(next.data() + 1, old.data() + 1, 8);
    std::vector<std::string> log;
    bool changed =
        C->UpdateRecordWords(next.data(), old.data(), [&](bool inserted, const uint8_t* key, int32_t r) {
            log.push_back((inserted ? "+" : "-") + std::string(reinterpret_cast<const char*>(key + 3)) + "@" +
                          std::to_string(r));
        });
    EXPECT_TRUE(changed);
    EXPECT_EQ(log, (std::vector<std::string>{"-BLUE@1", "+RED@1"}));
    // Case and order alone change no key.
    auto same = Buffer("a", "RED Green", "sky");
    std::memcpy(same.data() + 1, old.data() + 1, 8);
    EXPECT_FALSE(C->UpdateRecordWords(same.data(), next.data(), {}));
    EXPECT_TRUE(C->UpdateRecordWords(old.data(), next.data(), {}));  // back in step with the record

    // A field that becomes NULL loses its keys; one that was NULL gains them.
    Modify("a", "", "sky sea");
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:GREEN#2@2", "3:SEA#1@1", "3:SKY#1@1"}));
}

TEST_F(CursorFullTextTest, ANewRecordIdMovesEveryWordKey) {
    Create();
    Insert("a", "red green", "sky");
    C->SetSuppressAutoInc(true);
    Find("a");
    auto b = Buffer("a", "green blue", "sky");
    PutInt32(b.data() + 5, 40);
    C->ModifyRecord(b.data(), true, true);
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BLUE#40@1", "2:GREEN#40@1", "3:SKY#40@1"}));
    // Deleting the record afterwards finds every key under the new ID.
    Find("a");
    C->DeleteRecord(Current().data(), true);
    EXPECT_TRUE(WordKeys().empty());
}

TEST_F(CursorFullTextTest, DeletingARecordRemovesItsWords) {
    Create();
    Insert("a", "alpha beta", "gamma");
    Insert("b", "beta", "");
    Find("a");
    C->DeleteRecord(Current().data(), true);
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BETA#2@2"}));
    // The freed slot is reused; the new record's keys carry its own ID and the slot's number.
    Insert("c", "delta");
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BETA#2@2", "2:DELTA#3@1"}));
}

TEST_F(CursorFullTextTest, MaintenanceDropsARecordsWordsEvenWhenSomeAreMissing) {
    Create();
    Insert("a", "alpha beta", "gamma");
    Insert("b", "beta");
    DropKey(2, "alpha", 1);
    Find("a");
    std::vector<uint8_t> record = Current();
    C->DropRecordEverywhere(record.data(), 1);
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BETA#2@2"}));
    EXPECT_EQ(C->GetTableRecordCount(), 1);
}

TEST_F(CursorFullTextTest, AFailingEditLeavesKeysAndRecordsAsTheyWere) {
    Create();
    Insert("a", "red yellow", "sky");
    Insert("b", "alpha beta");
    // The index lacks YELLOW and BETA: removing them fails half-way through each edit.
    DropKey(2, "yellow", 1);
    DropKey(2, "beta", 2);
    std::vector<std::string> before = WordKeys();
    int32_t count = C->GetTableRecordCount();

    Find("a");
    auto b = Buffer("z", "blue", "sea");
    EXPECT_EQ(CodeOf([&] { C->ModifyRecord(b.data(), true, false); }), DBE_INDEXCORRUPT);
    EXPECT_EQ(WordKeys(), before);
    Find("a");  // the primary key change was given back as well
    char title[81] = {};
    bool blank = false;
    C->GetField(2, Current().data(), reinterpret_cast<uint8_t*>(title), blank);
    EXPECT_STREQ(title, "red yellow");

    Find("b");
    EXPECT_EQ(CodeOf([&] { C->DeleteRecord(Current().data(), false); }), DBE_INDEXCORRUPT);
    EXPECT_EQ(WordKeys(), before);
    EXPECT_EQ(C->GetTableRecordCount(), count);
    Find("b");
    EXPECT_EQ(C->CurrentIndex, 0);
}

TEST_F(CursorFullTextTest, CheckAndRebuildOfTheWords) {
    Create();
    Insert("a", "red yellow", "sky");
    std::vector<std::string> full = WordKeys();
    Find("a");
    std::vector<uint8_t> record = Current();
    EXPECT_TRUE(C->CheckRecordWords(record.data()));
    DropKey(3, "sky", 1);
    EXPECT_FALSE(C->CheckRecordWords(record.data()));

    DropKey(2, "red", 1);
    DropKey(2, "yellow", 1);
    ASSERT_TRUE(WordKeys().empty());
    C->AddRecordWordsLoadingBlobs(record.data());
    EXPECT_EQ(WordKeys(), full);
    EXPECT_TRUE(C->CheckRecordWords(record.data()));

    // A key under another record number does not count.
    DropKey(2, "red", 1);
    C->SelectIndex(SysTextIndex);
    C->InsertKey(Key(2, "red", 1).data(), 7);
    C->SelectIndex(0);
    EXPECT_FALSE(C->CheckRecordWords(record.data()));
}

TEST_F(CursorFullTextTest, StoredMemosAreReadWhereTheirWordsAreNeeded) {
    Create(std::nullopt, true);
    Insert("a", "red");
    Insert("b", "blue");
    StoreMemo("a", "the sea and the sky");
    std::vector<uint8_t> record = Current();
    EXPECT_FALSE(C->CheckRecordWords(record.data())) << "the memo's words are not in the index yet";
    DropKey(2, "red", 1);  // a rebuild starts from an empty index
    C->AddRecordWordsLoadingBlobs(record.data());
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BLUE#2@2", "2:RED#1@1", "3:SEA#1@1", "3:SKY#1@1"}));
    EXPECT_TRUE(C->CheckRecordWords(record.data()));

    // An edit that leaves the memo closed leaves its keys alone...
    Find("a");
    auto b = Current();
    Put(2, b.data(), "green");
    C->ModifyRecord(b.data(), true, true);
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BLUE#2@2", "2:GREEN#1@1", "3:SEA#1@1", "3:SKY#1@1"}));
    // ...unless the record gets a new ID: the keys follow it.
    C->SetSuppressAutoInc(true);
    Find("a");
    b = Current();
    PutInt32(b.data() + 5, 9);
    C->ModifyRecord(b.data(), true, true);
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BLUE#2@2", "2:GREEN#9@1", "3:SEA#9@1", "3:SKY#9@1"}));
    // Deleting the record takes the memo's words with it.
    Find("a");
    C->DeleteRecord(Current().data(), true);
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BLUE#2@2"}));
}

TEST_F(CursorFullTextTest, OpenMemosCarryTheirWordsIntoEdits) {
    Create(std::nullopt, true);
    auto writeMemo = [&](std::vector<uint8_t>& record, const std::string& text) {
        int32_t size = 0;
        ASSERT_EQ(C->OpenBlob(3, record.data(), BlobOpenWrite, false, true, size), 0);
        ASSERT_EQ(C->TruncateBlob(3, record.data(), 0, false), 0);
        ASSERT_EQ(C->PutBlob(3, record.data(), 0, reinterpret_cast<const uint8_t*>(text.data()),
                             static_cast<int32_t>(text.size()), false),
                  0);
    };
    auto a = Buffer("a", "red");
    writeMemo(a, "sea and sky");
    C->InsertRecord(a.data(), true);
    Insert("b", "blue");
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BLUE#2@2", "2:RED#1@1", "3:SEA#1@1", "3:SKY#1@1"}));

    // A memo rewritten in an edit: SEA goes, SUN comes, SKY stays.
    Find("a");
    auto b = Current();
    writeMemo(b, "sky sun");
    C->ModifyRecord(b.data(), true, true);
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BLUE#2@2", "2:RED#1@1", "3:SKY#1@1", "3:SUN#1@1"}));
    Find("a");
    EXPECT_TRUE(C->CheckRecordWords(Current().data()));

    // An edit that opens the memo only to read it changes none of its keys.
    Find("a");
    b = Current();
    int32_t size = 0;
    ASSERT_EQ(C->OpenBlob(3, b.data(), BlobOpenRead, false, true, size), 0);
    Put(2, b.data(), "green");
    C->ModifyRecord(b.data(), true, true);
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BLUE#2@2", "2:GREEN#1@1", "3:SKY#1@1", "3:SUN#1@1"}));

    Find("a");
    C->DeleteRecord(Current().data(), true);
    EXPECT_EQ(WordKeys(), (std::vector<std::string>{"2:BLUE#2@2"}));
}

TEST_F(CursorFullTextTest, TextSearchAndOccursUseTheTablesWords) {
    Create(std::vector<std::string>{"engine"});
    auto search = [&](const std::string& s, const std::string& v) {
        return C->TextSearch(s.data(), static_cast<int32_t>(s.size()), v.data(),
                             static_cast<int32_t>(v.size()));
    };
    auto occurs = [&](const std::string& s, const std::string& v) {
        return C->TextOccurs(s.data(), static_cast<int32_t>(s.size()), v.data(),
                             static_cast<int32_t>(v.size()));
    };
    EXPECT_TRUE(search("data*", "database engine"));
    EXPECT_FALSE(search("data", "database engine"));
    EXPECT_EQ(occurs("e*", "engine eats eggs, engine"), 4);
    // ENGINE is this table's stop word; THE is not.
    EXPECT_TRUE(search("engine", "nothing"));
    EXPECT_EQ(occurs("engine the", "engine the the"), 2);
}

TEST_F(CursorFullTextTest, FiltersAskTheCursorForTextSearch) {
    Create();
    Insert("a", "database engine");
    Insert("b", "data lake");
    Insert("c", "engine eats eggs, engine");
    C->Refresh();
    auto visible = [&](const std::string& text) {
        TFilter* f = C->AddFilter(nullptr, text, nullptr, false, nullptr, false, true, true, false, false);
        C->ActivateFilter(f);
        std::vector<std::string> names;
        C->SetIndexNumber(0);
        C->SetToBegin();
        std::vector<uint8_t> b(C->GetRecordSize());
        while (C->GetNextRecord(b.data()) == 0) {
            char name[21] = {};
            bool blank = false;
            C->GetField(1, b.data(), reinterpret_cast<uint8_t*>(name), blank);
            names.push_back(name);
        }
        C->DropFilter(f);
        return names;
    };
    EXPECT_EQ(visible("TEXTSEARCH('data*' IN Title)"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(visible("TEXTSEARCH('engine' IN Title)"), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(visible("TEXTOCCURS('e*' IN Title) = 4"), (std::vector<std::string>{"c"}));
    EXPECT_EQ(visible("TEXTSEARCH('the' IN Body)"), (std::vector<std::string>{"a", "b", "c"}))
        << "a search of stop words only matches every record";
}

// Memo values reach filters and calculated fields as the records hold them: the stored text of
// a closed value, the current bytes of a value open in the record buffer.
class CursorMemoValueTest : public CursorFullTextTest {
protected:
    void SetUp() override {
        CursorFullTextTest::SetUp();
        Create(std::nullopt, true);
        for (const auto& [name, memo] : Memos) {
            auto b = Buffer(name, "t");
            if (!memo.empty()) WriteMemo(b, memo);
            C->InsertRecord(b.data(), true);
        }
        C->Refresh();
    }
    void WriteMemo(std::vector<uint8_t>& record, const std::string& text) {
        int32_t size = 0;
        ASSERT_EQ(C->OpenBlob(3, record.data(), BlobOpenWrite, false, true, size), 0);
        ASSERT_EQ(C->TruncateBlob(3, record.data(), 0, false), 0);
        ASSERT_EQ(C->PutBlob(3, record.data(), 0, reinterpret_cast<const uint8_t*>(text.data()),
                             static_cast<int32_t>(text.size()), false),
                  0);
    }
    std::vector<std::string> Visible(const std::string& text) {
        TFilter* f = C->AddFilter(nullptr, text, nullptr, false, nullptr, false, true, true, false, false);
        C->ActivateFilter(f);
        std::vector<std::string> names;
        C->SetIndexNumber(0);
        C->SetToBegin();
        std::vector<uint8_t> b(C->GetRecordSize());
        while (C->GetNextRecord(b.data()) == 0) names.push_back(Name(b));
        C->DropFilter(f);
        return names;
    }
    std::string Name(const std::vector<uint8_t>& b) {
        char name[21] = {};
        bool blank = false;
        C->GetField(1, b.data(), reinterpret_cast<uint8_t*>(name), blank);
        return name;
    }

    // Name and memo ("" leaves it NULL); the 1,200-character one spans three blocks.
    const std::vector<std::pair<std::string, std::string>> Memos = {
        {"a", "the sea and the sky"},
        {"b", "database engine"},
        {"c", ""},
        {"d", "sky-high " + std::string(1200, 'x') + " sea"},
        {"e", "seaside"}};
};

TEST_F(CursorMemoValueTest, FiltersCompareAndSearchStoredMemos) {
    EXPECT_EQ(Visible("Body = 'database engine'"), (std::vector<std::string>{"b"}));
    EXPECT_EQ(Visible("Body <> 'database engine'"), (std::vector<std::string>{"a", "c", "d", "e"}))
        << "a NULL memo differs from any text";
    EXPECT_EQ(Visible("Body > 'f'"), (std::vector<std::string>{"a", "d", "e"}));
    EXPECT_EQ(Visible("Body IS NULL"), (std::vector<std::string>{"c"}));
    EXPECT_EQ(Visible("Body LIKE '%x sea'"), (std::vector<std::string>{"d"}));
    EXPECT_TRUE(C->GetOpenBlobs().empty()) << "reading a value takes no handle";

    // A word search over the memo picks exactly the records the word test accepts one by one.
    for (const std::string search : {"sky", "sea", "sea*", "data* engine", "sky sea", "the"}) {
        std::vector<std::string> expected;
        for (const auto& [name, memo] : Memos)
            if (C->TextSearch(search.data(), static_cast<int32_t>(search.size()), memo.data(),
                              static_cast<int32_t>(memo.size())))
                expected.push_back(name);
        EXPECT_EQ(Visible("TEXTSEARCH('" + search + "' IN Body)"), expected) << search;
    }
    EXPECT_EQ(Visible("TEXTSEARCH('sea*' IN Body)"), (std::vector<std::string>{"a", "d", "e"}));
}

TEST_F(CursorMemoValueTest, ValuesOpenInTheCursorStayOpenWhileFiltersRead) {
    // The record being edited holds its memo open; a filter evaluated meanwhile neither frees
    // nor uses up that value.
    Find("b");
    auto edit = Current();
    WriteMemo(edit, "changed text");
    ASSERT_EQ(C->GetOpenBlobs().size(), 1u);
    EXPECT_EQ(Visible("TEXTSEARCH('engine' IN Body)"), (std::vector<std::string>{"b"}))
        << "the filter reads the stored text, not the edit";
    EXPECT_EQ(C->GetOpenBlobs().size(), 1u);
    C->ModifyRecord(edit.data(), true, true);
    EXPECT_EQ(Visible("TEXTSEARCH('changed' IN Body)"), (std::vector<std::string>{"b"}));
}

TEST_F(CursorMemoValueTest, CalculatedFieldsReadStoredAndOpenMemos) {
    std::vector<TFieldDescriptor> fields = C->GetFieldDescs();
    fields.push_back(testsupport::Field(6, "Seas", fldInteger));
    fields.back().Calculated = 1;
    ComputeValueSize(fields.back());
    TExpTreeHolder tree(testsupport::ParseCalculatedField("TEXTOCCURS('sea*' IN Body)", fields));
    fields.back().Expression = tree.get();
    C->SetFieldDescs(fields);
    const uint16_t offset = C->GetFieldDescs().back().Offset;
    auto seas = [&](const std::vector<uint8_t>& b) { return GetInt32(b.data() + offset + 1); };

    Find("d");
    EXPECT_EQ(seas(Current()), 1) << "read from a three-block chain";
    Find("c");
    EXPECT_EQ(seas(Current()), 0);
    // A buffer holding the memo open computes from its current bytes.
    Find("a");
    auto edit = Current();
    WriteMemo(edit, "sea seal seaside");
    C->ComputeCalculatedFields(edit.data());
    EXPECT_EQ(seas(edit), 3);
    C->FreeRecordBlobs(edit.data());
    // A handle this cursor does not hold is refused with the table's names.
    PutInt32(edit.data() + C->GetFieldDescs()[2].Offset + 1, -12345);
    edit[C->GetFieldDescs()[2].Offset] = 1;
    EXPECT_EQ(CodeOf([&] { C->ComputeCalculatedFields(edit.data()); }), DBE_INVALIDBLOBOFFSET);
    C->SetFieldDescs(std::vector<TFieldDescriptor>(C->GetFieldDescs().begin(), C->GetFieldDescs().end() - 1));
}

}  // namespace
}  // namespace dbengine
