#include <gtest/gtest.h>

#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/testsupport/TableFixture.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;

class RecordKeysTest : public testsupport::TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        MakeTable("T", false);
        C = std::make_unique<TDataCursor>(Database);
        C->SetTableName("T");
        C->SetExclusive(true);
        C->OpenCursor();
        C->SelectIndex(0);
    }
    void TearDown() override {
        C.reset();
        TableFixture::TearDown();
    }
    // The primary key of a record whose Name is name.
    std::vector<uint8_t> Key(const std::string& name) {
        std::vector<uint8_t> record(C->GetRecordSize(), 0);
        uint8_t v[251] = {};
        std::memcpy(v, name.data(), name.size());
        C->PutField(1, record.data(), v, false, false);
        std::vector<uint8_t> key(C->GetKeySize() + 16, 0);
        C->BuildKey(record.data(), key.data());
        return key;
    }
    std::unique_ptr<TDataCursor> C;
};

TEST_F(RecordKeysTest, KeysAreInsertedFoundReplacedAndDeleted) {
    auto a = Key("alpha"), b = Key("beta");
    EXPECT_FALSE(C->KeyInIndex(a.data()));
    C->InsertKey(a.data(), 7);
    EXPECT_TRUE(C->KeyInIndex(a.data()));
    EXPECT_TRUE(C->KeyEntryExists(a.data(), 7));
    EXPECT_FALSE(C->KeyEntryExists(a.data(), 8));
    EXPECT_FALSE(C->KeyInIndex(b.data()));
    EXPECT_TRUE(C->IsDuplicateKey(a.data())) << "the primary index is unique";
    EXPECT_FALSE(C->IsDuplicateKey(b.data()));

    C->ReplaceKey(a.data(), b.data(), 9);
    EXPECT_FALSE(C->KeyInIndex(a.data()));
    EXPECT_TRUE(C->KeyEntryExists(b.data(), 9));

    // A key that must exist and does not: 8965, and nothing changes.
    EXPECT_EQ(CodeOf([&] { C->DeleteKey(a.data()); }), DBE_INDEXCORRUPT);
    EXPECT_EQ(CodeOf([&] { C->ReplaceKey(a.data(), Key("gamma").data(), 3); }), DBE_INDEXCORRUPT);
    EXPECT_FALSE(C->KeyInIndex(Key("gamma").data()));
    EXPECT_TRUE(C->KeyEntryExists(b.data(), 9));

    C->DeleteKey(b.data());
    EXPECT_FALSE(C->KeyInIndex(b.data()));
}

TEST_F(RecordKeysTest, ManyKeysOverSeveralLevelsKeepTheirRecordNumbers) {
    constexpr int Count = 600;
    auto name = [](int i) { return "k" + std::to_string((i * 7919) % 100000); };
    for (int i = 1; i <= Count; ++i) C->InsertKey(Key(name(i)).data(), i);
    TPage* root = C->IndexFile->FetchPage(0, C->IndexFile->GetRootPage(0));
    bool rootIsLeaf = root->IsLeaf();
    C->IndexFile->ReleasePage(root);
    ASSERT_FALSE(rootIsLeaf) << "the keys must fill more than one page";
    for (int i = 1; i <= Count; i += 2) C->DeleteKey(Key(name(i)).data());
    for (int i = 1; i <= Count; ++i) {
        bool kept = i % 2 == 0;
        ASSERT_EQ(C->KeyEntryExists(Key(name(i)).data(), i), kept) << i;
        ASSERT_EQ(C->KeyInIndex(Key(name(i)).data()), kept) << i;
    }
}

TEST_F(RecordKeysTest, DuplicateKeyErrorNamesTheIndex) {
    TIndexDescriptor primary = C->IndexFile->GetIndexDesc(0);
    try {
        C->RaiseDuplicateKey();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_KEYVIOL);
        EXPECT_EQ(e.ErrorIndex, primary.Name);
        EXPECT_EQ(e.ErrorTable, "T");
    }
}

TEST_F(RecordKeysTest, RecordCountAndBlobBlocks) {
    C->SetTableRecordCount(5);
    C->IncTableRecordCount();
    C->IncTableRecordCount();
    C->DecTableRecordCount();
    EXPECT_EQ(C->GetTableRecordCount(), 6);
    uint32_t usable = C->GetBlobDataSize();
    struct Case {
        int32_t Size, Blocks;
    } cases[] = {{0, 0},
                 {1, 1},
                 {static_cast<int32_t>(usable), 1},
                 {static_cast<int32_t>(usable) + 1, 2},
                 {static_cast<int32_t>(usable) * 3, 3}};
    for (const Case& k : cases) EXPECT_EQ(C->BlobBlocksFor(k.Size), k.Blocks) << k.Size;
}

}  // namespace
}  // namespace dbengine
