#include <gtest/gtest.h>

#include <fstream>

#include "dbengine/data/DataFile.h"
#include "dbengine/data/DataTable.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/Coding.h"
#include "platform/Files.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using platform::testsupport::ReadNativeFile;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

TEngineErrorCode CodeOf(auto&& f) {
    try {
        f();
    } catch (const EDbEngineError& e) {
        return e.ErrorCode;
    }
    return 0;
}

class FakeCursor : public TPageFetchClient {
public:
    int CurrentIndex() const override { return Index; }
    bool TableChanged() override { return Changed; }
    int Index = 1;
    bool Changed = false;
};

struct IoLog {
    std::vector<std::pair<int64_t, uint32_t>> Writes;
    int Reads = 0;
    platform::TScopedFileFault Hook{
        [this](platform::TFileOperation op, const std::string& path, int64_t position, uint32_t count) {
            if (path.size() >= 6 && path.substr(path.size() - 6) == "/T.IDX") {
                if (op == platform::TFileOperation::Write) Writes.push_back({position, count});
                if (op == platform::TFileOperation::Read) ++Reads;
            }
            return platform::TFileFault{};
        }};
};

class PageCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        table.TableName = "T";
        table.Session = &session;
        index = Open(true);
        TIndexDescriptor d;
        d.Name = "ByName";
        d.KeySize = 16;
        d.Unique = 1;
        index->AddIndexDesc(d);
        // Ten pages of index 1, each a leaf holding its own number as its one record.
        for (int i = 1; i <= 10; ++i) {
            TPage* page = nullptr;
            ASSERT_TRUE(index->AllocatePage(&cursor, page));
            page->PageType = ptLeaf;
            page->SetEntryCount(1);
            page->SetValueAt(1, page->PageNo);
            page->Dirty = true;
            index->ReleasePage(page);
            index->FlushPages(false);
        }
        index->WriteHeader(false);
        index->CloseFile();
        index = Open(false);
    }
    void TearDown() override {
        index.reset();
        FinalizeEngine();
    }
    std::unique_ptr<TIndexFile> Open(bool create) {
        auto f = std::make_unique<TIndexFile>(&table);
        f->FileName = "D:\\T.IDX";
        if (create)
            f->CreateIndexFile();
        else
            f->OpenFile();
        return f;
    }
    TPage* Get(int32_t pageNo) {
        TPage* page = nullptr;
        EXPECT_TRUE(index->GetPage(&cursor, pageNo, false, page));
        return page;
    }

    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
    TDataSession session{false};
    TDataTable table{nullptr, nullptr};
    FakeCursor cursor;
    std::unique_ptr<TIndexFile> index;
};

TEST_F(PageCacheTest, ReplacesTheLeastRecentlyUsedCleanPage) {
    ASSERT_EQ(index->PageCount(), 10);
    EXPECT_EQ(index->PageCacheCapacity(1), 2u);
    for (int32_t p : {3, 4}) index->ReleasePage(Get(p));
    index->ReleasePage(Get(3));  // 4 is now the least recently used
    TPage* five = Get(5);
    EXPECT_EQ(five->ValueAt(1), 5);
    index->ReleasePage(five);
    EXPECT_EQ(index->CachedPageCount(1), 2u);
    EXPECT_NE(index->FindCachedPage(1, 3), nullptr);
    EXPECT_EQ(index->FindCachedPage(1, 4), nullptr);
    EXPECT_EQ(CodeOf([&] { Get(0); }), DBE_INDEXCORRUPT);
    EXPECT_EQ(CodeOf([&] { Get(40); }), DBE_INDEXCORRUPT);
    // A miss after another process changed the table gives no page and reads nothing.
    IoLog io;
    cursor.Changed = true;
    TPage* page = nullptr;
    EXPECT_FALSE(index->GetPage(&cursor, 7, false, page));
    EXPECT_EQ(page, nullptr);
    EXPECT_EQ(io.Reads, 0);
    // A hit needs no check.
    EXPECT_TRUE(index->GetPage(&cursor, 5, false, page));
    index->ReleasePage(page);
}

TEST_F(PageCacheTest, PinnedPagesGrowTheListAndTrimBringsItBack) {
    TPage* a = Get(1);
    TPage* b = Get(2);
    TPage* c = Get(3);
    EXPECT_EQ(index->PageCacheCapacity(1), 6u);
    EXPECT_EQ(c->ValueAt(1), 3);
    for (TPage* p : {a, b, c}) index->ReleasePage(p);
    index->TrimCache();
    EXPECT_EQ(index->PageCacheCapacity(1), 2u);
    EXPECT_EQ(index->CachedPageCount(1), 2u);
    EXPECT_EQ(index->FindCachedPage(1, 1), nullptr);
}

TEST_F(PageCacheTest, DirtyPagesAreWrittenInRuns) {
    session.DataBufferSize = 1 << 20;
    index->TrimCache();
    for (int32_t p : {5, 6, 7, 9}) {
        TPage* page = Get(p);
        page->SetValueAt(1, -p);
        page->Dirty = true;
        index->ReleasePage(page);
    }
    TPage* pinned = Get(2);
    pinned->Dirty = true;
    IoLog io;
    EXPECT_TRUE(index->FlushPages(false));
    ASSERT_EQ(io.Writes.size(), 2u);
    EXPECT_EQ(io.Writes[0], (std::pair<int64_t, uint32_t>{20480, 12288}));
    EXPECT_EQ(io.Writes[1], (std::pair<int64_t, uint32_t>{36864, 4096}));
    EXPECT_TRUE(pinned->Dirty);
    index->ReleasePage(pinned);
    index->DropPages(false);
    EXPECT_EQ(Get(9)->ValueAt(1), -9);
}

TEST_F(PageCacheTest, AppendingReadsNothingAndTheFileGrowsAtTheFlush) {
    IoLog io;
    TPage* page = nullptr;
    ASSERT_TRUE(index->GetPage(&cursor, 11, true, page));
    EXPECT_EQ(io.Reads, 0);
    EXPECT_EQ(index->Header.NextPageNo, 12);
    EXPECT_EQ(ReadNativeFile(root / "T.IDX").size(), 4096u * 11);
    page->Dirty = true;
    index->ReleasePage(page);
    index->FlushPages(false);
    EXPECT_EQ(ReadNativeFile(root / "T.IDX").size(), 4096u * 12);
}

TEST_F(PageCacheTest, FreeChainIsReusedFirst) {
    TPage* page = Get(4);
    index->FreePage(&cursor, page);
    index->ReleasePage(page);
    page = Get(8);
    index->FreePage(&cursor, page);
    index->ReleasePage(page);
    EXPECT_EQ(index->GetIndexDesc(1).FreePage, 8);
    index->FlushPages(false);
    index->DropPages(false);
    TPage* reused = nullptr;
    ASSERT_TRUE(index->AllocatePage(&cursor, reused));
    EXPECT_EQ(reused->PageNo, 8);
    EXPECT_EQ(reused->EntryCount, 0);
    EXPECT_EQ(index->GetIndexDesc(1).FreePage, 4);
    index->ReleasePage(reused);
}

TEST_F(PageCacheTest, TextParametersRoundTripAcrossPages) {
    cursor.Index = SysTextIndexNo;
    TTextParameters params;
    // 300 words of 20 characters: 7,204 bytes, more than one page.
    for (int i = 0; i < 300; ++i)
        params.StopWords.push_back(std::string(17, 'a' + i % 26) + std::to_string(100 + i));
    params.SpaceChars[4] = 0x01;  // the blank, code 32
    params.IncludeChars[31] = 0x80;
    TTextParameters none;
    EXPECT_FALSE(index->ReadTextParameters(&cursor, none));
    index->WriteTextParameters(&cursor, params);
    index->FlushPages(false);
    index->DropPages(false);
    TTextParameters back;
    ASSERT_TRUE(index->ReadTextParameters(&cursor, back));
    EXPECT_EQ(back.StopWords, params.StopWords);
    EXPECT_EQ(back.SpaceChars, params.SpaceChars);
    EXPECT_EQ(back.IncludeChars, params.IncludeChars);
    // The chain: two data pages; an item never straddles them.
    int32_t first = index->GetIndexDesc(SysTextIndexNo).DataRootPage;
    TPage* page = Get(first);
    EXPECT_EQ(page->PageType, ptData);
    int32_t second = page->NextPage;
    ASSERT_NE(second, 0);
    EXPECT_EQ(GetInt32(page->Data()), 300);
    // 4 + 169 words of 24 bytes fill 4,060 bytes; the 170th word's length still fits, its 20
    // characters do not and start the next page.
    EXPECT_EQ(GetInt32(page->Data() + 4060), 20);
    for (size_t i = 4064; i < PageDataSize; ++i) ASSERT_EQ(page->Data()[i], 0) << i;
    index->ReleasePage(page);
    TPage* next = Get(second);
    EXPECT_EQ(next->PageType, ptData);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(next->Data()), 20), params.StopWords[169]);
    // Damage: the second page's type, then a cycle back to the first page.
    next->PageType = ptLeaf;
    EXPECT_EQ(CodeOf([&] { index->ReadTextParameters(&cursor, back); }), DBE_INDEXCORRUPT);
    next->PageType = ptData;
    next->NextPage = first;
    // A word count larger than the chain holds runs into its end (or its cycle).
    TPage* head = Get(first);
    PutInt32(head->Data(), 100000);
    EXPECT_EQ(CodeOf([&] { index->ReadTextParameters(&cursor, back); }), DBE_INDEXCORRUPT);
    PutInt32(head->Data(), -1);
    EXPECT_EQ(CodeOf([&] { index->ReadTextParameters(&cursor, back); }), DBE_INDEXCORRUPT);
    index->ReleasePage(head);
    index->ReleasePage(next);
}

}  // namespace
}  // namespace dbengine
