#include "codecs/archive/ArcArchive.h"

#include <gtest/gtest.h>

#include "codecs/archive/ArcErrors.h"
#include "codecs/testsupport/TestFiles.h"
#include "platform/Paths.h"

namespace codecs {
namespace {

TArcArchiveItem* NewItem(const std::string& name, uint8_t action = paNone) {
    auto* item = new TArcArchiveItem;
    item->SetStoredName(name);
    item->PendingAction = action;
    return item;
}

// An archive kind that records what the base class asks of it.
class TTestArchive : public TArcArchive {
public:
    using TArcArchive::TArcArchive;
    TTestArchive() = default;
    TArcArchiveItem* CreateItem(const std::string& fileName) override { return NewItem(fileName); }
    void ExtractItemAt(int) override {}
    void ExtractItemToStreamAt(int, framework::TStream*) override {}
    void LoadArchive() override {
        ++Loads;
        if (FailLoad) throw framework::EReadError("load failed");
    }
    void SaveArchive() override { ++Saves; }
    void TestItemAt(int) override {}
    int Loads = 0, Saves = 0;
    bool FailLoad = false;
};

TEST(ArcArchiveList, FindIgnoresCaseAndBucketsAreModulo1021) {
    TArcArchiveList list;
    std::vector<std::unique_ptr<TArcArchiveItem>> items;
    for (const char* name : {"readme.txt", "docs\\a.txt", "B.BIN"}) {
        items.emplace_back(NewItem(name));
        list.Add(items.back().get());
    }
    EXPECT_EQ(list.Find("README.TXT"), 0);
    EXPECT_EQ(list.Find("DOCS\\A.TXT"), 1);
    EXPECT_EQ(list.Find("missing"), -1);
    // The hash of a short name: each byte shifted in four bits at a time.
    EXPECT_EQ(TArcArchiveList::BucketOf("A"), 65u);
    EXPECT_EQ(TArcArchiveList::BucketOf("ab"), (65u * 16 + 66) % 1021);
    EXPECT_EQ(TArcArchiveList::BucketOf("ab"), TArcArchiveList::BucketOf("AB"));
    // A long name exercises the folding of the top four bits.
    std::string longName(40, 'Z');
    uint32_t h = 0;
    for (unsigned char c : longName) {
        h = (h << 4) + c;
        uint32_t g = h & 0xF0000000u;
        if (g) h ^= g >> 24;
        h &= ~g;
    }
    EXPECT_EQ(TArcArchiveList::BucketOf(longName), h % 1021);
    EXPECT_EQ(list.BucketHead(TArcArchiveList::BucketOf("readme.txt")), items[0].get());
    items[0]->PendingAction = paDelete;
    EXPECT_FALSE(list.IsActiveDuplicate("README.TXT"));
    EXPECT_TRUE(list.IsActiveDuplicate("b.bin"));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Find("B.BIN"), -1);
}

TEST(ArcArchive, DuplicateAddReportsClass0Code7AndFreesTheItem) {
    TTestArchive archive;
    std::vector<std::tuple<int32_t, int32_t, int32_t>> failures;
    archive.OnItemFailure = [&](framework::TObject*, TArcArchiveItem*, int32_t type, int32_t cls,
                                int32_t code) { failures.emplace_back(type, cls, code); };
    archive.Add(NewItem("readme.txt"));
    archive.Add(NewItem("README.TXT"));  // freed by Add; LeakSanitizer would report it otherwise
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0], std::make_tuple(0, 0, 7));
    EXPECT_EQ(archive.Count(), 1);
    EXPECT_TRUE(archive.IsDirty);
    // A deleted item is no duplicate.
    archive.ItemList->Get(0)->PendingAction = paDelete;
    archive.Add(NewItem("README.TXT"));
    EXPECT_EQ(archive.Count(), 2);
    // With replace set, the duplicate replaces the kept item and the new one is freed.
    archive.StoreOptions = soReplace;
    archive.ItemList->Get(0)->PendingAction = paNone;
    archive.ItemList->Get(1)->PendingAction = paNone;
    archive.Add(NewItem("readme.TXT"));
    EXPECT_EQ(archive.Count(), 2);
    // Find walks the bucket from its newest item.
    EXPECT_EQ(archive.ItemList->Get(1)->PendingAction, paReplace);
    // A refused confirmation frees the item too.
    archive.OnConfirmItem = [](framework::TObject*, TArcArchiveItem*, int32_t, bool& confirm) {
        confirm = false;
    };
    archive.Add(NewItem("other.txt"));
    EXPECT_EQ(archive.Count(), 2);
}

TEST(ArcArchive, SaveLoadAndTheLock) {
    TTestArchive archive;
    archive.Save();  // an empty archive is always saved
    EXPECT_EQ(archive.Saves, 1);
    archive.Add(NewItem("a"));
    archive.Save();
    EXPECT_EQ(archive.Saves, 2);
    archive.Save();  // clean and not empty: nothing
    EXPECT_EQ(archive.Saves, 2);
    int loads = 0;
    archive.OnLoad = [&](framework::TObject*) { ++loads; };
    archive.FailLoad = true;
    EXPECT_THROW(archive.Load(), framework::EReadError);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(archive.Status, 1);
    EXPECT_EQ(archive.PadLock->Depth(), 0);
    archive.Status = 0;
    EXPECT_THROW(archive.Add(NewItem("b")), EArcNoArchive);
}

TEST(ArcArchive, BaseDirectoryAndFixName) {
    testing::TempDir dir;
    TTestArchive archive;
    archive.SetBaseDirectory("C:\\");
    EXPECT_EQ(archive.BaseDirectory, "C:\\");
    const std::string folder = platform::NativeToWindowsPath(dir.Path().string());
    archive.SetBaseDirectory(folder + "\\");
    EXPECT_EQ(archive.BaseDirectory, folder);
    EXPECT_THROW(archive.SetBaseDirectory(folder + "\\missing"), EArcNoSuchDirectory);
    archive.StoreOptions = soStripDrive | soStripPath;
    EXPECT_EQ(archive.FixName("C:\\DOCS\\SUB\\README.TXT"), "README.TXT");
    archive.StoreOptions = soStripDrive | soRemoveDots;
    EXPECT_EQ(archive.FixName("..\\..\\DOCS\\A.TXT"), "DOCS\\A.TXT");
    EXPECT_EQ(archive.FixName("C:\\DOCS\\A.TXT"), "DOCS\\A.TXT");
}

TEST(ArcArchive, MoveRefusesATakenName) {
    TTestArchive archive;
    archive.Add(NewItem("a.txt"));
    archive.Add(NewItem("b.txt"));
    archive.Save();
    std::vector<int32_t> codes;
    archive.OnItemFailure = [&](framework::TObject*, TArcArchiveItem*, int32_t type, int32_t, int32_t code) {
        codes.push_back(type * 100 + code);
    };
    archive.Move(archive.ItemList->Get(0), "B.TXT");
    EXPECT_EQ(codes, std::vector<int32_t>{407});
    archive.Move(archive.ItemList->Get(0), "c.txt");
    EXPECT_EQ(archive.ItemList->Get(0)->GetStoredName(), "c.txt");
    EXPECT_EQ(archive.ItemList->Get(0)->PendingAction, paMove);
}

TEST(ArcArchive, ConstructorOpensASpanStreamAndTheLogFile) {
    testing::TempDir dir;
    testing::WriteFile(dir / "a.arc", "data");
    const std::string name = platform::NativeToWindowsPath(dir / "a.arc");
    TTestArchive archive(name, framework::fmOpenRead);
    EXPECT_EQ(archive.Status, 1);
    EXPECT_EQ(archive.ArchiveName, name);
    ASSERT_NE(archive.Stream, nullptr);
    EXPECT_EQ(archive.Stream->Size(), 4);
    archive.SetLogFile(platform::NativeToWindowsPath(dir / "log.txt"));
    archive.SetLogging(true);
    archive.Add(NewItem("x.txt"));
    archive.SetLogging(false);
    std::string log = testing::ReadFile(dir / "log.txt");
    EXPECT_EQ(log.rfind(name + " logging ", 0), 0u) << log;
    EXPECT_NE(log.find("x.txt added "), std::string::npos) << log;
    archive.SetLogFile(platform::NativeToWindowsPath(dir / "no\\such\\log.txt"));
    try {
        archive.SetLogging(true);
        ADD_FAILURE();
    } catch (const EArcException& e) {
        EXPECT_EQ(e.Message, "Error creating Log File");
    }
    EXPECT_THROW(TTestArchive("relative.arc", framework::fmOpenRead), EArcException);
}

}  // namespace
}  // namespace codecs
