#include "dbengine/index/IndexFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "dbengine/file/FileList.h"
#include "dbengine/index/IndexCursor.h"
#include "dbengine/index/TextIndexParams.h"
#include "dbengine/index/testsupport/IndexTestSupport.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/util/EngineUtils.h"
#include "framework/core/Seams.h"
#include "platform/Files.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using platform::testsupport::ReadNativeFile;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;
using testsupport::CodeOf;
using testsupport::TFakeIndexTable;
using testsupport::TTestCursor;

TIndexDescriptor Secondary(const std::string& name, std::initializer_list<uint16_t> fields,
                           uint16_t keySize = 9) {
    TIndexDescriptor d;
    d.Name = name;
    d.KeySize = keySize;
    int i = 0;
    for (uint16_t f : fields) d.FieldNumbers[i++] = f;
    d.FieldCount = static_cast<uint8_t>(i);
    return d;
}

class IndexFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        GetEngineSession()->PrivateDir = "D:\\";
        table.AddField("Name", 1, 21);      // 1 string
        table.AddField("Count", 6, 4);      // 2 integer
        table.AddField("Notes", 3, 8, 22);  // 3 memo
        table.AddField("Photo", 3, 8, 23);  // 4 binary BLOB
        table.AddField("Long", 1, 251);     // 5 string of 250 characters
    }
    void TearDown() override {
        file.reset();
        FinalizeEngine();
    }

    TIndexFile& Create(const std::string& name = "D:\\ORDERS.IDX", bool inMemory = false) {
        file = std::make_unique<TIndexFile>(&table);
        file->FileName = name;
        file->InMemory = inMemory;
        file->CreateIndexFile();
        return *file;
    }
    std::string Native(const std::string& name) { return ReadNativeFile(root.Path() + "/" + name); }

    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
    TFakeIndexTable table;
    std::unique_ptr<TIndexFile> file;
};

// ---- Header ----

TEST_F(IndexFileTest, NewIndexFileHeaderBytes) {
    TIndexFile& f = Create();
    EXPECT_TRUE(f.WriteHeader(false));
    std::string bytes = Native("ORDERS.IDX");
    ASSERT_EQ(bytes.size(), 4096u);

    uint8_t expected[4096] = {};
    expected[0] = 1;  // change count raised by the write
    expected[8] = 5;
    expected[9] = 1;
    const char* names[2] = {"Sys Deleted", "Sys Text"};
    const uint16_t keySizes[2] = {5, 68};
    const uint8_t compression[2] = {0, 3};
    for (int k = 0; k < 2; ++k) {
        uint8_t* d = expected + 3734 + 120 * k;
        d[0] = static_cast<uint8_t>(std::strlen(names[k]));
        std::memcpy(d + 1, names[k], d[0]);
        d[31] = static_cast<uint8_t>(keySizes[k]);
        d[32] = static_cast<uint8_t>(keySizes[k] >> 8);
        d[36] = compression[k];
    }
    expected[3979] = 1;  // written because of a change
    EXPECT_EQ(std::memcmp(bytes.data(), expected, 4096), 0);

    // A forced write of an unchanged header stores the mark as 0; reading clears it.
    EXPECT_FALSE(f.WriteHeader(false));
    EXPECT_TRUE(f.WriteHeader(true));
    bytes = Native("ORDERS.IDX");
    EXPECT_EQ(static_cast<uint8_t>(bytes[3979]), 0);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 2);
    f.SetRecordCount(7);
    f.WriteHeader(false);
    bytes = Native("ORDERS.IDX");
    EXPECT_EQ(static_cast<uint8_t>(bytes[3979]), 1);
    EXPECT_EQ(static_cast<uint8_t>(bytes[3974]), 7);
    f.ReadHeader();
    EXPECT_EQ(f.Header.HeaderModified, 0);
    EXPECT_EQ(f.GetRecordCount(), 7);
}

// Page objects given back are reused, reset and unpinned; the file keeps at most four idle.
TEST_F(IndexFileTest, PageObjectsComeBackResetFromThePool) {
    TIndexFile& f = Create("D:\\POOL.IDX", true);
    std::vector<std::unique_ptr<TPage>> taken;
    for (int i = 0; i < 6; ++i) taken.push_back(f.TakePageObject());
    const TPage* first = taken[0].get();
    EXPECT_EQ(first->Owner, &f);
    taken[0]->Pin();
    taken[0]->Dirty = true;
    for (auto& page : taken) {
        f.ReturnPageObject(page);
        EXPECT_EQ(page, nullptr);
    }
    std::vector<std::unique_ptr<TPage>> again;
    for (int i = 0; i < 5; ++i) again.push_back(f.TakePageObject());
    EXPECT_TRUE(
        std::any_of(again.begin(), again.begin() + 4, [&](const auto& p) { return p.get() == first; }));
    for (const auto& page : again) {
        EXPECT_EQ(page->PinCount, 0);
        EXPECT_FALSE(page->Dirty);
    }
}

TEST_F(IndexFileTest, DescriptorEncodingIsFieldByField) {
    TIndexDescriptor d = Secondary("ByCount", {2, 1});
    d.Descending = 1;
    d.CaseInsensitive = 1;
    d.Compression = 2;
    d.FieldDescending[1] = 1;
    d.RootPage = 0x01020304;
    d.FreePage = 9;
    d.DataRootPage = 0x0A0B0C0D;
    d.NoCounts = 1;
    d.Temporary = 1;
    d.RemoveMark = 1;
    uint8_t bytes[120];
    EncodeIndexDescriptor(d, bytes);
    const uint8_t head[] = {7, 'B', 'y', 'C', 'o', 'u', 'n', 't'};
    EXPECT_EQ(std::memcmp(bytes, head, sizeof head), 0);
    EXPECT_EQ(bytes[8], 0);
    EXPECT_EQ(bytes[31], 9);
    EXPECT_EQ(bytes[33], 1);
    EXPECT_EQ(bytes[34], 1);
    EXPECT_EQ(bytes[36], 2);
    EXPECT_EQ(bytes[37], 2);
    EXPECT_EQ(bytes[39], 1);
    EXPECT_EQ(bytes[54], 2);
    EXPECT_EQ(bytes[56], 1);
    const uint8_t root[] = {4, 3, 2, 1, 9, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes + 86, root, 8), 0);
    EXPECT_EQ(bytes[95], 1);
    const uint8_t dataRoot[] = {0x0D, 0x0C, 0x0B, 0x0A, 1, 1};
    EXPECT_EQ(std::memcmp(bytes + 96, dataRoot, 6), 0);
    EXPECT_EQ(DecodeIndexDescriptor(bytes), d);

    // A stored name length beyond 30 is read as 30 characters.
    bytes[0] = 200;
    EXPECT_EQ(DecodeIndexDescriptor(bytes).Name.size(), 30u);
}

TEST_F(IndexFileTest, OpenRejectsCountAboveThirtyTwoAndShortHeaders) {
    Create();
    file->Header.IndexCount = 33;
    file->WriteHeader(true);
    file->CloseFile();
    EXPECT_EQ(CodeOf([&] { file->OpenFile(); }), DBE_HEADERCORRUPT);
    EXPECT_FALSE(file->IsOpen);

    root.WriteFile("SHORT.IDX", std::string(100, '\0'));
    TIndexFile shortFile(&table);
    shortFile.FileName = "D:\\SHORT.IDX";
    EXPECT_EQ(CodeOf([&] { shortFile.OpenFile(); }), DBE_READERR);
}

// ---- Descriptors ----

TEST_F(IndexFileTest, DescriptorChecksRaiseTheirCodes) {
    TIndexFile& f = Create();
    f.AddIndexDesc(Secondary("byname", {1}));
    TIndexDescriptor seventeen = Secondary("Wide", {1});
    seventeen.FieldCount = 17;
    struct Case {
        TIndexDescriptor desc;
        TEngineErrorCode code;
    } cases[] = {
        {seventeen, DBE_INDEXLIMIT},
        {Secondary("", {1}), DBE_INDEXNAMEREQUIRED},
        {Secondary("2ndIndex", {1}), DBE_INVALIDINDEXNAME},
        {Secondary(" X", {1}), DBE_INVALIDINDEXNAME},
        {Secondary("ByName", {1}), DBE_INDEXEXISTS},
        {Secondary("BYNAME ", {2}), DBE_INDEXEXISTS},
        {Secondary("ByPhoto", {2, 4}), DBE_SEARCHCOLREQD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desc.Name);
        EXPECT_EQ(CodeOf([&] { f.AddIndexDesc(c.desc); }), c.code);
        EXPECT_EQ(f.GetIndexCount(), 1);
    }
    try {
        f.AddIndexDesc(Secondary("ByPhoto", {4}));
        FAIL();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorField, "Photo");
        EXPECT_EQ(e.ErrorIndex, "ByPhoto");
        EXPECT_EQ(e.ErrorTable, "Orders");
    }
    // Field numbers that name no field are left to the definition checks.
    f.AddIndexDesc(Secondary("ByGhost", {9}));
    for (int i = 3; i <= 30; ++i) f.AddIndexDesc(Secondary("I" + std::to_string(i), {1}));
    EXPECT_EQ(f.GetIndexCount(), 30);
    EXPECT_EQ(CodeOf([&] { f.AddIndexDesc(Secondary("Extra", {1})); }), DBE_INDEXLIMIT);
}

TEST_F(IndexFileTest, PrimaryIndexDescriptor) {
    TIndexFile& f = Create();
    TIndexDescriptor none;
    f.SetPrimaryIndexDesc(none);
    EXPECT_TRUE(f.GetInternalPrimaryIndex());

    TIndexDescriptor photo = Secondary("", {4}, 9);
    EXPECT_EQ(CodeOf([&] { f.SetPrimaryIndexDesc(photo); }), DBE_SEARCHCOLREQD);

    TIndexDescriptor primary = Secondary("ignored", {1, 2}, 28);
    primary.Unique = 0;
    f.SetPrimaryIndexDesc(primary);
    EXPECT_FALSE(f.GetInternalPrimaryIndex());
    TIndexDescriptor stored = f.GetIndexDesc(0);
    EXPECT_EQ(stored.Name, "");
    EXPECT_EQ(stored.Unique, 1);
    EXPECT_EQ(stored.KeySize, 28);
    EXPECT_EQ(stored.FieldCount, 2);
    EXPECT_EQ(CodeOf([&] { f.SetPrimaryIndexDesc(primary); }), DBE_PRIMARYKEYREDEFINE);

    // Removing the primary index makes the internal order the primary again.
    f.RemoveIndexDesc(0, true);
    EXPECT_TRUE(f.GetInternalPrimaryIndex());
    EXPECT_EQ(f.GetIndexDesc(0).KeySize, 0);
}

TEST_F(IndexFileTest, RemovingRenumbersAndTheNextAddReusesTheSlot) {
    TIndexFile& f = Create();
    for (const char* name : {"A", "B", "C", "D"}) f.AddIndexDesc(Secondary(name, {1}));
    f.SetFreePage(2, 7);  // B's pages were moved onto its free chain
    f.RemoveIndexDesc(2, true);
    ASSERT_EQ(f.GetIndexCount(), 3);
    EXPECT_EQ(f.GetIndexDesc(1).Name, "A");
    EXPECT_EQ(f.GetIndexDesc(2).Name, "C");
    EXPECT_EQ(f.GetIndexDesc(3).Name, "D");
    EXPECT_EQ(f.GetIndexDesc(4).Name, "B");
    EXPECT_FALSE(f.IndexNameExists("b"));
    EXPECT_TRUE(f.IndexNameExists("c"));

    f.AddIndexDesc(Secondary("E", {2}));
    TIndexDescriptor e = f.GetIndexDesc(4);
    EXPECT_EQ(e.Name, "E");
    EXPECT_EQ(e.FieldNumbers[0], 2);
    EXPECT_EQ(e.FreePage, 7);  // the free chain is taken over
}

TEST_F(IndexFileTest, TemporaryIndexesStayOffTheDiskAndGoAtClose) {
    TIndexFile& f = Create();
    f.AddIndexDesc(Secondary("A", {1}));
    f.AddIndexDesc(Secondary("B", {2}));
    TIndexDescriptor temp = Secondary("T", {1});
    temp.Temporary = 1;
    f.AddIndexDesc(temp);
    ASSERT_NE(f.GetTempFile(), nullptr);
    std::string tempName = f.GetTempFile()->FileName;
    EXPECT_TRUE(EngineFileExists(tempName, false));
    EXPECT_EQ(f.GetIndexCount(), 3);

    f.WriteHeader(true);
    std::string bytes = Native("ORDERS.IDX");
    EXPECT_EQ(bytes[13], 2);
    EXPECT_EQ(bytes[14 + 120 * 3], 0);  // descriptor 3 zeroed

    // A permanent index cannot come after a temporary one: the stored header would lose it.
    EXPECT_EQ(CodeOf([&] { f.AddIndexDesc(Secondary("C", {2})); }), DBE_TABLEOPEN);
    EXPECT_EQ(f.GetIndexCount(), 3);

    // Temporary pages come from the temporary file's own counter.
    TTestCursor cursor(&f);
    cursor.CurrentIndex = 3;
    TPage* page = f.AllocatePage(cursor);
    EXPECT_EQ(page->PageNo, 1);
    page->Dirty = true;
    f.ReleasePage(page);
    EXPECT_EQ(f.GetNextPageNo(3), 2);
    EXPECT_EQ(f.GetNextPageNo(0), 1);
    EXPECT_TRUE(f.FlushPages(true));
    EXPECT_EQ(f.GetTempFile()->GetFileSize(), 8192);

    f.CloseFile();
    EXPECT_EQ(f.GetIndexCount(), 2);
    EXPECT_EQ(f.GetTempFile(), nullptr);
    EXPECT_FALSE(EngineFileExists(tempName, false));
}

TEST_F(IndexFileTest, RemovedTemporaryDescriptorNeverReachesTheDisk) {
    TIndexFile& f = Create();
    f.AddIndexDesc(Secondary("A", {1}));
    TIndexDescriptor temp = Secondary("T", {1});
    temp.Temporary = 1;
    f.AddIndexDesc(temp);
    f.RemoveIndexDesc(2, true);
    f.AddIndexDesc(Secondary("P", {2}));  // allowed again: no temporary index left
    f.WriteHeader(true);
    std::string bytes = Native("ORDERS.IDX");
    EXPECT_EQ(bytes[13], 2);
    TIndexDescriptor p = DecodeIndexDescriptor(reinterpret_cast<const uint8_t*>(bytes.data()) + 14 + 240);
    EXPECT_EQ(p.Name, "P");
    EXPECT_EQ(p.Temporary, 0);
    EXPECT_EQ(p.FreePage, 0);
}

TEST_F(IndexFileTest, EmptyKeepsDescriptorsAndDropsPages) {
    TIndexFile& f = Create();
    f.AddIndexDesc(Secondary("A", {1}));
    f.SetRootPage(1, 3);
    f.SetFreePage(31, 2);
    f.SetDataRootPage(32, 4);
    f.Header.NextPageNo = 5;
    f.SetRecordCount(12);
    f.WriteHeader(true);
    f.WriteAt(4 * 4096, "x", 1);
    f.EmptyIndexFile();
    EXPECT_EQ(f.GetFileSize(), 4096);
    EXPECT_EQ(f.Header.NextPageNo, 1);
    EXPECT_EQ(f.GetRecordCount(), 0);
    EXPECT_EQ(f.GetRootPage(1), 0);
    EXPECT_EQ(f.GetFreePage(31), 0);
    EXPECT_EQ(f.GetDataRootPage(32), 0);
    EXPECT_EQ(f.GetIndexDesc(1).Name, "A");
    EXPECT_EQ(f.Header.HeaderModified, 1);
}

// ---- Header check ----

TEST_F(IndexFileTest, CheckHeaderRules) {
    struct Case {
        const char* what;
        std::function<void(TIndexFile&)> damage;
        TEngineErrorCode code;
    } cases[] = {
        {"sound", [](TIndexFile&) {}, 0},
        {"version", [](TIndexFile& f) { f.Header.Version = 4; }, DBE_OLDVERSION},
        {"named primary", [](TIndexFile& f) { f.Header.Descriptors[0].Name = "P"; }, DBE_HEADERCORRUPT},
        {"primary not unique", [](TIndexFile& f) { f.Header.Descriptors[0].Unique = 0; }, DBE_HEADERCORRUPT},
        {"name with digit", [](TIndexFile& f) { f.Header.Descriptors[1].Name = "2ndIndex"; },
         DBE_HEADERCORRUPT},
        {"blank name", [](TIndexFile& f) { f.Header.Descriptors[1].Name = "  "; }, DBE_HEADERCORRUPT},
        {"duplicate", [](TIndexFile& f) { f.Header.Descriptors[2].Name = " BYNAME"; }, DBE_HEADERCORRUPT},
        {"17 fields", [](TIndexFile& f) { f.Header.Descriptors[1].FieldCount = 17; }, DBE_HEADERCORRUPT},
        {"gap", [](TIndexFile& f) { f.Header.Descriptors[1].FieldNumbers[2] = 2; }, DBE_HEADERCORRUPT},
        {"missing field", [](TIndexFile& f) { f.Header.Descriptors[2].FieldNumbers[0] = 9; },
         DBE_HEADERCORRUPT},
        {"blob field", [](TIndexFile& f) { f.Header.Descriptors[2].FieldNumbers[1] = 4; }, DBE_HEADERCORRUPT},
        {"no fields", [](TIndexFile& f) { f.Header.Descriptors[2].FieldNumbers.fill(0); }, DBE_HEADERCORRUPT},
        {"key part above 522",
         [](TIndexFile& f) {
             for (int i = 0; i < 3; ++i) f.Header.Descriptors[2].FieldNumbers[i] = 5;  // 3 x 252
         },
         DBE_HEADERCORRUPT},
        {"root past the end", [](TIndexFile& f) { f.Header.Descriptors[1].RootPage = 3; }, DBE_HEADERCORRUPT},
        {"negative free page", [](TIndexFile& f) { f.Header.Descriptors[0].FreePage = -1; },
         DBE_HEADERCORRUPT},
        {"count above 30", [](TIndexFile& f) { f.Header.IndexCount = 31; }, DBE_HEADERCORRUPT},
        {"text index on integer", [](TIndexFile& f) { f.Header.Descriptors[32].FieldNumbers[0] = 2; },
         DBE_HEADERCORRUPT},
        {"text index on memo and string",
         [](TIndexFile& f) {
             f.Header.Descriptors[32].FieldNumbers[0] = 3;
             f.Header.Descriptors[32].FieldNumbers[1] = 1;
         },
         0},
        {"text data root past the end", [](TIndexFile& f) { f.Header.Descriptors[32].DataRootPage = 9; },
         DBE_HEADERCORRUPT},
        {"internal primary ends its list at a missing field",
         [](TIndexFile& f) {
             f.Header.Descriptors[0] = TIndexDescriptor{};
             f.Header.Descriptors[0].FieldNumbers[0] = 9;
             f.Header.InternalPrimaryIndex = 1;
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TIndexFile& f = Create("ORDERS.IDX", true);
        f.SetPrimaryIndexDesc(Secondary("", {2}, 5));
        f.AddIndexDesc(Secondary("ByName", {1}, 26));
        f.AddIndexDesc(Secondary("ByCount", {2, 1}, 31));
        f.Header.NextPageNo = 3;
        f.Header.Descriptors[1].RootPage = 2;
        c.damage(f);
        EXPECT_EQ(CodeOf([&] { f.CheckHeader(); }), c.code);
        file.reset();
        EngineFileList()->DeleteFile("ORDERS.IDX", true);
    }
}

// ---- Page allocation ----

TEST_F(IndexFileTest, AppendLimitAndFreeChains) {
    TIndexFile& f = Create("ORDERS.IDX", true);
    TTestCursor cursor(&f);
    EXPECT_EQ(CodeOf([&] {
                  TPage* p = nullptr;
                  f.GetPage(cursor, 0, false, p);
              }),
              DBE_INDEXCORRUPT);

    f.Header.NextPageNo = 976561;
    TPage* page = nullptr;
    ASSERT_TRUE(f.GetPage(cursor, 976561, true, page));
    EXPECT_EQ(page->PageNo, 976561);
    f.ReleasePage(page);
    EXPECT_EQ(f.Header.NextPageNo, 976562);
    EXPECT_EQ(CodeOf([&] { f.GetPage(cursor, 976562, true, page); }), DBE_TABLEFULL);
    EXPECT_EQ(CodeOf([&] { f.AllocatePage(cursor); }), DBE_TABLEFULL);

    // Freed pages are taken back from the head of the index's own chain first.
    f.Header.NextPageNo = 1;
    f.DropPages(false);
    TPage* a = f.AllocatePage(cursor);
    TPage* b = f.AllocatePage(cursor);
    EXPECT_EQ(a->PageNo, 1);
    EXPECT_EQ(b->PageNo, 2);
    f.FreePage(cursor, *a);
    f.FreePage(cursor, *b);
    EXPECT_EQ(f.GetFreePage(0), 2);
    EXPECT_EQ(b->NextPage, 1);
    f.ReleasePage(a);
    f.ReleasePage(b);
    f.FlushPages(false);
    f.DropPages(false);
    cursor.CurrentIndex = 31;
    TPage* other = f.AllocatePage(cursor);  // another index has its own chain
    EXPECT_EQ(other->PageNo, 3);
    f.ReleasePage(other);
    cursor.CurrentIndex = 0;
    TPage* again = f.AllocatePage(cursor);
    EXPECT_EQ(again->PageNo, 2);
    EXPECT_EQ(again->EntryCount, 0);
    EXPECT_EQ(f.GetFreePage(0), 1);
    f.ReleasePage(again);
}

// ---- Page cache ----

class PageCacheTest : public IndexFileTest {
protected:
    void SetUp() override {
        IndexFileTest::SetUp();
        Create();
        f = file.get();
        f->WriteHeader(true);
        cursor = std::make_unique<TTestCursor>(f);
        hook = std::make_unique<platform::TScopedFileFault>(
            [this](platform::TFileOperation op, const std::string& path, int64_t position, uint32_t count) {
                if (path.ends_with("ORDERS.IDX")) {
                    if (op == platform::TFileOperation::Read) reads.emplace_back(position, count);
                    if (op == platform::TFileOperation::Write) writes.emplace_back(position, count);
                }
                return platform::TFileFault{};
            });
    }
    void TearDown() override {
        hook.reset();
        IndexFileTest::TearDown();
    }
    // Appends pages 1..n and writes them, leaving nothing cached.
    void AppendPages(int n) {
        for (int i = 0; i < n; ++i) {
            TPage* p = nullptr;
            ASSERT_TRUE(f->GetPage(*cursor, f->Header.NextPageNo, true, p));
            p->SetPageType(ptLeaf);
            p->Dirty = true;
            f->ReleasePage(p);
        }
        f->FlushPages(false);
        f->WriteHeader(false);
        f->DropPages(false);
        reads.clear();
        writes.clear();
    }
    TPage* Get(int32_t n) {
        TPage* p = nullptr;
        EXPECT_TRUE(f->GetPage(*cursor, n, false, p));
        return p;
    }

    TIndexFile* f = nullptr;
    std::unique_ptr<TTestCursor> cursor;
    std::unique_ptr<platform::TScopedFileFault> hook;
    std::vector<std::pair<int64_t, uint32_t>> reads, writes;
};

TEST_F(PageCacheTest, ThirdCleanPageReplacesTheLeastRecentlyUsed) {
    GetEngineSession()->DataBufferSize = 8192 * 8;  // appending 8 pages needs room for them
    AppendPages(3);
    GetEngineSession()->DataBufferSize = 16384;
    f->TrimCache();
    EXPECT_EQ(f->CacheCapacity(0), 2);
    f->ReleasePage(Get(1));
    f->ReleasePage(Get(2));
    f->ReleasePage(Get(1));  // a hit: page 2 becomes the least recently used
    EXPECT_EQ(reads.size(), 2u);
    f->ReleasePage(Get(3));
    EXPECT_EQ(reads.size(), 3u);
    EXPECT_EQ(reads.back(), (std::pair<int64_t, uint32_t>(3 * 4096, 4096)));
    EXPECT_TRUE(f->IsCached(0, 1));
    EXPECT_FALSE(f->IsCached(0, 2));
    EXPECT_TRUE(f->IsCached(0, 3));
    EXPECT_EQ(f->CachedPageCount(0), 2u);
}

TEST_F(PageCacheTest, AllPinnedGrowsCapacityAndTrimBringsItBack) {
    GetEngineSession()->DataBufferSize = 8192 * 8;
    AppendPages(3);
    GetEngineSession()->DataBufferSize = 16384;
    f->TrimCache();
    TPage* one = Get(1);
    TPage* two = Get(2);
    TPage* three = Get(3);
    EXPECT_EQ(f->CacheCapacity(0), 6);
    EXPECT_EQ(f->CachedPageCount(0), 3u);
    // A dirty page is not given up without being written first.
    three->Dirty = true;
    f->ReleasePage(one);
    f->ReleasePage(two);
    f->ReleasePage(three);
    f->TrimCache();
    EXPECT_EQ(f->CacheCapacity(0), 2);
    EXPECT_EQ(f->CachedPageCount(0), 2u);
    EXPECT_FALSE(f->IsCached(0, 1));
    EXPECT_TRUE(writes.empty());  // clean pages went first
}

// Pages pinned all at once (the way down of an insert that is then refused) grow the cache; once
// they are released the next fetch brings it back to its size, however often that happens.
TEST_F(PageCacheTest, ReleasedPinsGiveTheGrowthBack) {
    GetEngineSession()->DataBufferSize = 8192 * 8;
    AppendPages(5);
    GetEngineSession()->DataBufferSize = 16384;
    f->TrimCache();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        std::vector<TPage*> held = {Get(1), Get(2), Get(3)};
        EXPECT_EQ(f->CacheCapacity(0), 6);
        for (TPage* p : held) f->ReleasePage(p);
        f->ReleasePage(Get(4 + round % 2));
        EXPECT_EQ(f->CacheCapacity(0), 2);
        EXPECT_EQ(f->CachedPageCount(0), 2u);
    }
    EXPECT_TRUE(writes.empty());
}

// An exclusive table's changed pages leave the cache without being written: they are held back
// and come back from memory, until a flush writes them with the cached ones in runs.
TEST_F(PageCacheTest, AnExclusiveTableHoldsBackChangedPagesUntilTheFlush) {
    using W = std::pair<int64_t, uint32_t>;
    GetEngineSession()->DataBufferSize = 8192 * 8;
    AppendPages(8);
    GetEngineSession()->DataBufferSize = 16384;
    f->TrimCache();
    table.Exclusive = true;
    for (int n = 1; n <= 6; ++n) {
        TPage* p = Get(n);
        p->SetNextPage(100 + n);
        f->ReleasePage(p);
    }
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(f->HeldBackPageCount(), 4u);
    EXPECT_EQ(f->CachedPageCount(0), 2u);
    reads.clear();
    TPage* back = Get(2);
    EXPECT_TRUE(reads.empty());
    EXPECT_EQ(back->NextPage, 102);
    EXPECT_TRUE(back->Dirty);
    f->ReleasePage(back);
    EXPECT_EQ(f->HeldBackPageCount(), 4u);
    EXPECT_TRUE(f->FlushPages(false));
    EXPECT_EQ(writes, (std::vector<W>{W(4096, 6 * 4096)}));
    EXPECT_EQ(f->HeldBackPageCount(), 0u);
    std::string bytes = Native("ORDERS.IDX");
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(static_cast<uint8_t>(bytes[n * 4096 + 7]), 100 + n) << n;
    // Dropping the cache drops held-back changes with the cached ones: neither was written.
    for (int n = 1; n <= 4; ++n) {
        TPage* p = Get(n);
        p->SetNextPage(300 + n);
        f->ReleasePage(p);
    }
    EXPECT_GT(f->HeldBackPageCount(), 0u);
    writes.clear();
    f->DropPages(false);
    EXPECT_EQ(f->HeldBackPageCount(), 0u);
    EXPECT_FALSE(f->FlushPages(false));
    EXPECT_TRUE(writes.empty());

    // Cutting the file drops the pages held back past its new end; closing writes the rest.
    for (int n = 1; n <= 8; ++n) {
        TPage* p = Get(n);
        p->SetNextPage(200 + n);
        f->ReleasePage(p);
    }
    writes.clear();
    {
        TFileLockScope scope(*f);
        f->SeekFile(0, 5 * 4096);
        f->TruncateFile();
    }
    f->CloseFile();  // the cached pages 7 and 8 go unwritten, as without holding back
    EXPECT_EQ(writes, (std::vector<W>{W(4096, 4 * 4096)}));
    bytes = Native("ORDERS.IDX");
    ASSERT_EQ(bytes.size(), 5u * 4096);
    for (int n = 1; n <= 4; ++n) EXPECT_EQ(static_cast<uint8_t>(bytes[n * 4096 + 7]), 200 + n) << n;
}

// Nothing is held back under the transaction lock, and past the limit the least recently held
// quarter is written.
TEST_F(PageCacheTest, HeldBackPagesStayWithinTheirLimit) {
    table.Exclusive = true;
    table.TransactionLocked = true;
    std::vector<TPage*> pinned = {Get(1), Get(2)};
    TPage* third = Get(3);
    for (TPage* p : {pinned[0], pinned[1], third}) p->Dirty = true;
    f->ReleasePage(third);
    f->ReleasePage(Get(4));
    EXPECT_EQ(f->HeldBackPageCount(), 0u);
    for (TPage* p : pinned) f->ReleasePage(p);
    table.TransactionLocked = false;
    f->FlushPages(false);
    writes.clear();

    const int pages = static_cast<int>(TIndexFile::MaxHeldBackBytes / IndexPageSize) + 8;
    for (int n = 5; n <= pages; ++n) {
        TPage* p = Get(n);
        p->SetPageType(ptLeaf);
        p->Dirty = true;
        f->ReleasePage(p);
        ASSERT_LE(f->HeldBackBytes(), TIndexFile::MaxHeldBackBytes);
    }
    ASSERT_FALSE(writes.empty());
    // The oldest pages went first, as one run from the first of them.
    EXPECT_EQ(writes.front().first, 5 * 4096);
    EXPECT_FALSE(f->IsCached(0, 5));
    reads.clear();
    f->ReleasePage(Get(5));
    EXPECT_EQ(reads.size(), 1u);
}

TEST_F(PageCacheTest, PagesOfAllIndexesStayWithinTheMemoryBudget) {
    GetEngineSession()->DataBufferSize = 8192 * 16;  // 16 pages for each index by count alone
    GetEngineSession()->IndexBufferSize = 16384;
    AppendPages(48);
    f->TrimCache();
    const int64_t budget = f->PageMemoryBudget();
    ASSERT_EQ(budget, 8192 * 16);
    // Three indexes read 16 pages each: about three times what the budget holds.
    const uint8_t indexes[] = {0, SysDeletedIndex, SysTextIndex};
    for (int k = 0; k < 3; ++k) {
        cursor->CurrentIndex = indexes[k];
        for (int n = 1; n <= 16; ++n) f->ReleasePage(Get(k * 16 + n));
        EXPECT_LE(f->CachedPageBytes(), budget) << k;
        EXPECT_GE(f->CachedPageCount(indexes[k]), 2u) << k;
    }
    // The index read last keeps the most recent of its pages; the others keep two at least.
    EXPECT_TRUE(f->IsCached(SysTextIndex, 48));
    EXPECT_GE(f->CachedPageCount(0), 2u);
    EXPECT_GE(f->CachedPageCount(SysDeletedIndex), 2u);
    size_t total =
        f->CachedPageCount(0) + f->CachedPageCount(SysDeletedIndex) + f->CachedPageCount(SysTextIndex);
    EXPECT_GT(total, 16u) << "the budget is used, not only the count of one index";
    // Dropping the pages gives their memory back.
    f->DropPages(false);
    EXPECT_EQ(f->CachedPageBytes(), 0);
}

TEST_F(PageCacheTest, DirtyPagesAreWrittenInRunsOfAdjacentPages) {
    GetEngineSession()->DataBufferSize = 8192 * 16;
    AppendPages(9);
    f->TrimCache();
    for (int n = 1; n <= 9; ++n) f->ReleasePage(Get(n));
    reads.clear();
    for (int n : {9, 5, 7, 6}) {
        TPage* p = Get(n);
        p->SetNextPage(100 + n);
        f->ReleasePage(p);
    }
    EXPECT_TRUE(f->FlushPages(false));
    using W = std::pair<int64_t, uint32_t>;
    EXPECT_EQ(writes, (std::vector<W>{W(20480, 12288), W(36864, 4096)}));
    EXPECT_FALSE(f->FlushPages(false));
    std::string bytes = Native("ORDERS.IDX");
    EXPECT_EQ(static_cast<uint8_t>(bytes[6 * 4096 + 7]), 106);
    EXPECT_TRUE(reads.empty());
}

// A flush looks only at pages handed out since the previous one; each dirty page must still be
// written exactly once, whatever happened to it in between.
TEST_F(PageCacheTest, EachDirtyPageIsWrittenOnceByTheFlushAfterItsRelease) {
    GetEngineSession()->DataBufferSize = 8192 * 8;
    AppendPages(6);
    GetEngineSession()->DataBufferSize = 16384;
    f->TrimCache();  // two pages
    using W = std::pair<int64_t, uint32_t>;
    // Dirty while pinned: left for the flush after its release.
    TPage* held = Get(3);
    held->SetNextPage(33);
    EXPECT_FALSE(f->FlushPages(false));
    f->ReleasePage(held);
    EXPECT_TRUE(f->FlushPages(false));
    EXPECT_EQ(writes, (std::vector<W>{W(3 * 4096, 4096)}));
    EXPECT_FALSE(f->FlushPages(false));
    // Clean pages read, one recycled; the page in the recycled place is written at its own.
    writes.clear();
    for (int n : {1, 2, 4}) {
        TPage* p = Get(n);
        if (n == 4) p->SetNextPage(44);
        f->ReleasePage(p);
    }
    EXPECT_FALSE(f->IsCached(0, 1));
    EXPECT_TRUE(f->FlushPages(false));
    EXPECT_EQ(writes, (std::vector<W>{W(4 * 4096, 4096)}));
    // A change dropped with the pages is never written.
    writes.clear();
    TPage* dropped = Get(5);
    dropped->SetNextPage(55);
    f->ReleasePage(dropped);
    f->DropPages(false);
    EXPECT_FALSE(f->FlushPages(false));
    EXPECT_TRUE(writes.empty());
    for (int n = 1; n <= 6; ++n) {
        TPage* p = Get(n);
        EXPECT_EQ(p->NextPage, n == 3 ? 33 : n == 4 ? 44 : 0) << n;
        f->ReleasePage(p);
    }
}

TEST_F(PageCacheTest, AppendingReadsNothingAndMissesCheckForOtherProcesses) {
    TPage* p = Get(1);  // page 1 = NextPageNo: appended
    EXPECT_TRUE(reads.empty());
    EXPECT_EQ(f->GetFileSize(), 4096);
    EXPECT_EQ(cursor->ChangeChecks, 0);
    p->Dirty = true;
    f->ReleasePage(p);
    f->FlushPages(false);
    EXPECT_EQ(f->GetFileSize(), 8192);

    f->DropPages(false);
    cursor->ChangedByOthers = true;
    TPage* none = reinterpret_cast<TPage*>(1);
    EXPECT_FALSE(f->GetPage(*cursor, 1, false, none));
    EXPECT_EQ(none, nullptr);
    EXPECT_TRUE(reads.empty());
    EXPECT_EQ(cursor->ChangeChecks, 1);
    // With strict change detection the check is left to the caller.
    GetEngineSession()->StrictChangeDetection = true;
    f->ReleasePage(Get(1));
    EXPECT_EQ(cursor->ChangeChecks, 1);
    EXPECT_EQ(reads.size(), 1u);
    // A pointer past the last page is damage, not a page.
    TPage* q = nullptr;
    EXPECT_EQ(CodeOf([&] { f->GetPage(*cursor, 5, false, q); }), DBE_INDEXCORRUPT);
}

TEST_F(PageCacheTest, ShortReadsAreZerosOnlyAfterTheTableWrote) {
    f->Header.NextPageNo = 3;  // page 2 counted but never written
    table.FilesWritten = false;
    TPage* p = nullptr;
    EXPECT_EQ(CodeOf([&] { f->GetPage(*cursor, 2, false, p); }), DBE_READERR);
    table.FilesWritten = true;
    table.TransactionLocked = true;
    ASSERT_TRUE(f->GetPage(*cursor, 2, false, p));
    EXPECT_EQ(p->EntryCount, 0);
    f->ReleasePage(p);
}

TEST_F(PageCacheTest, EncryptedPagesAndHeaderAreScrambledOnDisk) {
    table.Encrypted = true;
    TPage* p = Get(1);
    p->SetPageType(ptLeaf);
    p->SetNextPage(77);
    f->ReleasePage(p);
    f->FlushPages(false);
    f->WriteHeader(true);
    std::string bytes = Native("ORDERS.IDX");
    EXPECT_NE(bytes[8], 5);
    EXPECT_NE(static_cast<uint8_t>(bytes[4096 + 7]), 77);
    f->ReadHeader();
    EXPECT_EQ(f->Header.Version, 5);
    f->DropPages(false);
    p = Get(1);
    EXPECT_EQ(p->NextPage, 77);
    EXPECT_EQ(p->PageType, ptLeaf);
    f->ReleasePage(p);
}

TEST_F(PageCacheTest, ReloadTakesAnotherProcessHeader) {
    EXPECT_FALSE(f->ReloadHeaderIfChanged());
    f->CloseFile();
    f->OpenFile();
    TIndexFile other(&table);
    other.FileName = "D:\\ORDERS.IDX";
    other.OpenFile();
    other.SetRecordCount(41);
    other.WriteHeader(false);
    EXPECT_TRUE(f->ReloadHeaderIfChanged());
    EXPECT_EQ(f->GetRecordCount(), 41);
    // The stored byte is another process's: taken as this process's unwritten change, it made the
    // process stop re-reading the files for good.
    EXPECT_EQ(f->Header.HeaderModified, 0);
}

// ---- Locks ----

TEST_F(IndexFileTest, ReadSlotsCoexistAndKeepTheWriterOut) {
    Create().WriteHeader(true);
    file->CloseFile();  // a new file is held exclusively until closed
    file->OpenFile();
    TIndexFile second(&table);
    second.FileName = "D:\\ORDERS.IDX";
    second.OpenFile();
    framework::RandSeed = 1234;
    int sleeps = 0;
    framework::SetSleepHandler([&](uint32_t ms) {
        EXPECT_EQ(ms, 3u);
        ++sleeps;
    });
    uint16_t slotA = 0, slotB = 0;
    ASSERT_TRUE(file->LockForRead(slotA));
    ASSERT_TRUE(second.LockForRead(slotB));
    EXPECT_NE(slotA, slotB);
    EXPECT_GE(slotA, 1);
    EXPECT_EQ(sleeps, 0);
    EXPECT_FALSE(second.LockForWrite());
    EXPECT_EQ(sleeps, TIndexFile::LockAttempts - 1);
    EXPECT_TRUE(file->UnlockForRead(slotA));
    EXPECT_TRUE(second.UnlockForRead(slotB));
    ASSERT_TRUE(second.LockForWrite());
    sleeps = 0;
    uint16_t slot = 0;
    EXPECT_FALSE(file->LockForRead(slot));  // every slot lies inside the write range
    EXPECT_EQ(sleeps, TIndexFile::LockAttempts - 1);
    EXPECT_TRUE(second.UnlockForWrite());
    framework::SetSleepHandler({});
}

// ---- Full-text parameters ----

class TextParamsTest : public IndexFileTest {
protected:
    void SetUp() override {
        IndexFileTest::SetUp();
        Create("ORDERS.IDX", true);
        cursor = std::make_unique<TTestCursor>(file.get());
        cursor->CurrentIndex = 2;
    }
    TTextIndexParams RoundTrip(const TTextIndexParams& params) {
        WriteTextIndexParams(*file, *cursor, params);
        EXPECT_EQ(cursor->CurrentIndex, 2);
        file->FlushPages(false);
        file->DropPages(false);
        TTextIndexParams back;
        EXPECT_TRUE(ReadTextIndexParams(*file, *cursor, back));
        return back;
    }
    TPage* Page(int32_t n) { return file->FetchPage(SysTextIndex, n); }
    std::unique_ptr<TTestCursor> cursor;
};

TEST_F(TextParamsTest, ParametersRoundTrip) {
    TTextIndexParams none;
    EXPECT_FALSE(ReadTextIndexParams(*file, *cursor, none));
    TTextIndexParams params;
    params.StopWords = {"A", "AND", "", "THE"};
    params.SpaceChars[4] = 0x01;  // ' '
    params.SpaceChars[31] = 0x80;
    params.IncludeChars.fill(0xA5);
    TTextIndexParams back = RoundTrip(params);
    EXPECT_EQ(back.StopWords, params.StopWords);
    EXPECT_EQ(back.SpaceChars, params.SpaceChars);
    EXPECT_EQ(back.IncludeChars, params.IncludeChars);

    // The stored bytes of the first page: count, then each word as length and characters.
    TPage* page = Page(file->GetDataRootPage(SysTextIndex));
    EXPECT_EQ(page->PageType, ptData);
    const uint8_t head[] = {4, 0, 0, 0, 1, 0, 0, 0, 'A', 3, 0, 0, 0, 'A', 'N', 'D', 0, 0, 0, 0, 3, 0, 0, 0};
    EXPECT_EQ(std::memcmp(page->Data(), head, sizeof head), 0);
    file->ReleasePage(page);

    // Words longer than 255 characters are cut.
    params.StopWords = {std::string(300, 'W')};
    EXPECT_EQ(RoundTrip(params).StopWords[0], std::string(255, 'W'));
}

TEST_F(TextParamsTest, ItemThatDoesNotFitStartsTheNextPage) {
    TTextIndexParams params;
    for (int i = 0; i < 16; ++i) params.StopWords.push_back(std::string(255, static_cast<char>('A' + i)));
    TTextIndexParams back = RoundTrip(params);
    EXPECT_EQ(back.StopWords, params.StopWords);
    // 4 + 15 x 259 = 3889 bytes; the 16th word's length item (4 bytes) still fits, its
    // characters (255) do not and start page 2.
    int32_t first = file->GetDataRootPage(SysTextIndex);
    TPage* one = Page(first);
    int32_t next = one->NextPage;
    EXPECT_EQ(GetLE32(one->Data() + 3889), 255);
    file->ReleasePage(one);
    ASSERT_NE(next, 0);
    TPage* two = Page(next);
    EXPECT_EQ(two->PageType, ptData);
    EXPECT_EQ(two->Data()[0], 'P');
    EXPECT_EQ(GetLE32(two->Data() + 255), 32);
    file->ReleasePage(two);

    // Writing fewer parameters again reuses the chain; the second page stays linked.
    params.StopWords.resize(1);
    EXPECT_EQ(RoundTrip(params).StopWords.size(), 1u);
    EXPECT_EQ(file->GetDataRootPage(SysTextIndex), first);
    EXPECT_EQ(file->Header.NextPageNo, 3);
}

TEST_F(TextParamsTest, DamagedChainsRaise8965) {
    TTextIndexParams params;
    for (int i = 0; i < 16; ++i) params.StopWords.push_back(std::string(255, 'x'));
    WriteTextIndexParams(*file, *cursor, params);
    int32_t first = file->GetDataRootPage(SysTextIndex);
    struct Case {
        const char* what;
        std::function<void(TPage& first, TPage& second)> damage;
    } cases[] = {
        {"first page not a data page", [](TPage& a, TPage&) { a.PageType = ptLeaf; }},
        {"negative word count", [](TPage& a, TPage&) { PutLE32(a.Data(), -1); }},
        {"length beyond a page", [](TPage& a, TPage&) { PutLE32(a.Data() + 4, 4084); }},
        {"negative length", [](TPage& a, TPage&) { PutLE32(a.Data() + 4, -5); }},
        {"missing next page", [](TPage& a, TPage&) { a.NextPage = 0; }},
        {"next page not a data page", [](TPage&, TPage& b) { b.PageType = ptInner; }},
        {"chain that loops",
         [](TPage& a, TPage&) {
             a.NextPage = a.PageNo;
             PutLE32(a.Data(), 100000);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        file->FlushPages(false);
        file->DropPages(false);
        TPage* a = Page(first);
        TPage* b = Page(a->NextPage);
        c.damage(*a, *b);
        file->ReleasePage(a);
        file->ReleasePage(b);
        TTextIndexParams back;
        EXPECT_EQ(CodeOf([&] { ReadTextIndexParams(*file, *cursor, back); }), DBE_INDEXCORRUPT);
        EXPECT_EQ(cursor->CurrentIndex, 2);
        file->DropPages(false);  // undo the damage: the cache was never written
    }
}

}  // namespace
}  // namespace dbengine
