#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/file/FileList.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/LockHolder.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
#include "platform/Files.h"
#include "platform/testsupport/ChildProcess.h"

namespace dbengine {
namespace {

using platform::testsupport::RunInChildProcess;
using testsupport::CodeOf;
using testsupport::TLockHolderProcess;

// The table T: Name (string 20, primary index) and Count (integer).
class RecordLocksTest : public testsupport::TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        TDataCursor creator(Database);
        creator.SetTableName("T");
        creator.SetExclusive(true);
        creator.CreateTable(Definition(false), false, false);
    }
    void TearDown() override {
        Cursors.clear();
        TableFixture::TearDown();
    }

    static std::unique_ptr<TDataCursor> OpenCursor(TDataDirectory* db, bool exclusive = false) {
        auto c = std::make_unique<TDataCursor>(db);
        c->SetTableName("T");
        c->SetExclusive(exclusive);
        c->OpenCursor();
        return c;
    }
    TDataCursor& Cursor(bool exclusive = false) {
        Cursors.push_back(OpenCursor(Database, exclusive));
        return *Cursors.back();
    }

    static std::vector<uint8_t> Row(TDataCursor& c, const std::string& name, int32_t count) {
        std::vector<uint8_t> b(c.GetRecordSize(), 0);
        c.ClearRecordBuffer(b.data());
        uint8_t text[32] = {};
        std::memcpy(text, name.data(), name.size());
        c.PutField(1, b.data(), text, false, false);
        uint8_t n[4];
        PutInt32(n, count);
        c.PutField(2, b.data(), n, false, false);
        return b;
    }
    static std::string NameOf(TDataCursor& c, const uint8_t* record) {
        uint8_t v[32] = {};
        bool blank = false;
        c.GetField(1, record, v, blank);
        return reinterpret_cast<char*>(v);
    }
    static int32_t CountOf(TDataCursor& c, const uint8_t* record) {
        uint8_t v[4] = {};
        bool blank = false;
        c.GetField(2, record, v, blank);
        return GetInt32(v);
    }
    static void Insert(TDataCursor& c, const std::string& name, int32_t count) {
        auto b = Row(c, name, count);
        c.InsertRecord(b.data(), false);
    }
    // Stands the cursor on the named record and returns it as read.
    static std::vector<uint8_t> Find(TDataCursor& c, const std::string& name) {
        auto key = Row(c, name, 0);
        std::vector<uint8_t> out(c.GetRecordSize());
        EXPECT_TRUE(c.FindKey(false, key.data(), 1, false, 0, out.data())) << name;
        return out;
    }
    // The names from the cursor's position on to the end.
    static std::vector<std::string> Rest(TDataCursor& c) {
        std::vector<std::string> out;
        std::vector<uint8_t> b(c.GetRecordSize());
        while (c.GetNextRecord(b.data()) == 0) out.push_back(NameOf(c, b.data()));
        return out;
    }
    static std::vector<std::string> All(TDataCursor& c) {
        c.SetToBegin();
        return Rest(c);
    }
    void Fill(const std::vector<std::string>& names) {
        auto c = OpenCursor(Database);
        int32_t n = 0;
        for (const auto& name : names) Insert(*c, name, ++n);
    }
    // Every record gone (the table's cursors must be closed).
    void Wipe() {
        auto c = OpenCursor(Database, true);
        c->EmptyTable();
    }
    TDataTable& Table() { return *Database->FindTable("T", false); }

    // In a forked child: a session, file list and cursor of its own, as another process has.
    // The parent's objects in the child's memory are left alone (the child ends with _exit).
    static int InOtherProcess(const std::function<void(TDataCursor&)>& body) {
        return RunInChildProcess([&body] {
            try {
                FreeEngineFileList();
                CreateEngineFileList();
                auto* session = new TDataSession(false);
                auto c = OpenCursor(session->OpenDataDirectory("D:\\", "D:\\", false));
                body(*c);
                c->CloseCursor(false);
            } catch (const EDbEngineError& e) {
                return e.ErrorCode % 250 + 1;
            } catch (...) {
                return 255;
            }
            return 0;
        });
    }
    // Whether another process can take the lock byte of physical record r now.
    static bool OtherProcessCanLockRecord(int32_t r) {
        return RunInChildProcess([r] {
                   TFileList list;
                   bool ro = false, roa = false;
                   TAbstractFile* file = nullptr;
                   if (list.OpenFile("D:\\T.DAT", false, false, false, ro, roa, file) <= 0) return 10;
                   return file->LockRange(RecordLockBase - r, 1) ? 0 : 11;
               }) == 0;
    }
    void ExpectNoLocksHeld() {
        EXPECT_EQ(Table().EditLocks.Count(), 0u);
        EXPECT_EQ(Table().LockedRecords.Count(), 0u);
        EXPECT_FALSE(Table().AccessLocked);
        EXPECT_FALSE(Table().WriteLocked);
    }

    std::vector<std::unique_ptr<TDataCursor>> Cursors;
};

TEST_F(RecordLocksTest, APessimisticEditLocksTheRecordAgainstTheOtherCursorsOfTheProcess) {
    Fill({"Ann", "Bob", "Cid"});
    TDataCursor& a = Cursor();
    TDataCursor& b = Cursor();
    auto seenA = Find(a, "Bob");
    auto seenB = Find(b, "Bob");
    ASSERT_EQ(a.GetCurrentRecord(seenA.data(), true), 0);
    int32_t r = a.GetPhysicalRecNo();
    EXPECT_EQ(a.GetLockedRecNo(), r);
    EXPECT_TRUE(Table().EditLocks.Test(r));
    EXPECT_FALSE(OtherProcessCanLockRecord(r));
    EXPECT_FALSE(Table().AccessLocked) << "the read bracket let go of the short-term lock";

    try {
        b.GetCurrentRecord(seenB.data(), true);
        ADD_FAILURE() << "second edit allowed";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_RECLOCKFAILED);
        EXPECT_NE(e.Message.find("'T'"), std::string::npos) << e.Message;
    }
    EXPECT_EQ(b.GetLockedRecNo(), 0);
    EXPECT_TRUE(Sleeps.empty()) << "refused at once, without retrying the lock byte";
    // Neither may the other cursor change or delete the record while it is edited.
    auto changed = Row(b, "Bob", 99);
    EXPECT_EQ(CodeOf([&] { b.ModifyRecord(changed.data(), true, false); }), DBE_RECLOCKFAILED);
    EXPECT_EQ(CodeOf([&] { b.DeleteRecord(seenB.data(), false); }), DBE_RECLOCKFAILED);
    EXPECT_EQ(CountOf(b, Find(b, "Bob").data()), 2);
    // Cancelling the other cursor's failed edit leaves the editor's lock alone.
    b.CancelRecord();
    EXPECT_TRUE(Table().EditLocks.Test(r));
    EXPECT_EQ(a.GetLockedRecNo(), r);
}

// Each way an edit ends gives the record back to the other cursors and processes.
TEST_F(RecordLocksTest, PostCancelDeleteAndCloseReleaseTheEditLock) {
    enum TEnd { Post, PostKeepLocked, Cancel, Delete, Close };
    for (TEnd end : {Post, PostKeepLocked, Cancel, Delete, Close}) {
        SCOPED_TRACE(int(end));
        Cursors.clear();
        Wipe();
        Fill({"Bob"});
        auto a = OpenCursor(Database);
        TDataCursor& b = Cursor();
        auto seen = Find(*a, "Bob");
        ASSERT_EQ(a->GetCurrentRecord(seen.data(), true), 0);
        int32_t r = a->GetPhysicalRecNo();
        auto changed = Row(*a, "Bob", 7);
        switch (end) {
            case Post:
                a->ModifyRecord(changed.data(), true, false);
                break;
            case PostKeepLocked:
                // Posting without unlock keeps the edit lock until the edit ends.
                a->ModifyRecord(changed.data(), false, false);
                EXPECT_TRUE(Table().EditLocks.Test(r));
                EXPECT_FALSE(OtherProcessCanLockRecord(r));
                a->CancelRecord();
                break;
            case Cancel:
                a->CancelRecord();
                break;
            case Delete:
                a->DeleteRecord(seen.data(), false);
                break;
            case Close:
                a.reset();
                break;
        }
        EXPECT_EQ(Table().EditLocks.Count(), 0u);
        EXPECT_EQ(Table().LockedRecords.Count(), 0u);
        EXPECT_TRUE(OtherProcessCanLockRecord(r));
        if (end != Delete) {
            auto again = Find(b, "Bob");
            EXPECT_EQ(b.GetCurrentRecord(again.data(), true), 0);
            EXPECT_EQ(CountOf(b, again.data()), end == Post || end == PostKeepLocked ? 7 : 1);
            b.CancelRecord();
        } else {
            EXPECT_EQ(All(b), std::vector<std::string>{});
        }
        a.reset();
    }
}

TEST_F(RecordLocksTest, OptimisticSecondPostFailsUntilItsEditIsCancelled) {
    Fill({"Ann", "Bob"});
    Session->LockProtocol = lpOptimistic;
    TDataCursor& a = Cursor();
    TDataCursor& b = Cursor();
    auto seenA = Find(a, "Bob");
    auto seenB = Find(b, "Bob");
    ASSERT_EQ(a.GetCurrentRecord(seenA.data(), true), 0);
    ASSERT_EQ(b.GetCurrentRecord(seenB.data(), true), 0);
    EXPECT_EQ(Table().EditLocks.Count(), 0u) << "nothing is locked before the post";

    auto first = Row(a, "Bob", 10);
    a.ModifyRecord(first.data(), true, false);
    auto second = Row(b, "Bob", 20);
    for (int retry = 0; retry < 3; ++retry) {
        EXPECT_EQ(CodeOf([&] { b.ModifyRecord(second.data(), true, false); }), DBE_KEYORRECDELETED);
        ExpectNoLocksHeld();
        // Even a fresh look at the record does not clear the mark.
        std::vector<uint8_t> now(b.GetRecordSize());
        ASSERT_EQ(b.GetCurrentRecord(now.data(), false), 0);
        EXPECT_EQ(CountOf(b, now.data()), 10);
    }
    b.CancelRecord();
    std::vector<uint8_t> fresh(b.GetRecordSize());
    ASSERT_EQ(b.GetCurrentRecord(fresh.data(), false), 0);
    ASSERT_EQ(b.GetCurrentRecord(fresh.data(), true), 0);
    b.ModifyRecord(second.data(), true, false);
    EXPECT_EQ(CountOf(a, Find(a, "Bob").data()), 20);
    ExpectNoLocksHeld();

    // An edit that starts from a stale copy is refused at once.
    EXPECT_EQ(CodeOf([&] { a.GetCurrentRecord(seenA.data(), true); }), DBE_KEYORRECDELETED);
}

TEST_F(RecordLocksTest, ARecordChangedByAnotherProcessRefusesThePessimisticEditAndStaysUnlocked) {
    Fill({"Ann", "Bob", "Cid"});
    TDataCursor& c = Cursor();
    auto seen = Find(c, "Bob");
    int32_t r = c.GetPhysicalRecNo();
    ASSERT_EQ(InOtherProcess([](TDataCursor& other) {
                  auto b = Find(other, "Bob");
                  if (other.GetCurrentRecord(b.data(), true) != 0) throw 1;
                  auto changed = Row(other, "Bob", 42);  // a field outside every index
                  other.ModifyRecord(changed.data(), true, false);
              }),
              0);
    EXPECT_EQ(CodeOf([&] { c.GetCurrentRecord(seen.data(), true); }), DBE_KEYORRECDELETED);
    ExpectNoLocksHeld();
    EXPECT_EQ(c.GetLockedRecNo(), 0);
    EXPECT_TRUE(OtherProcessCanLockRecord(r));
    // The cursor stands on the record as it is now; an edit from that copy goes through.
    std::vector<uint8_t> now(c.GetRecordSize());
    ASSERT_EQ(c.GetCurrentRecord(now.data(), false), 0);
    EXPECT_EQ(CountOf(c, now.data()), 42);
    ASSERT_EQ(c.GetCurrentRecord(now.data(), true), 0);
    EXPECT_EQ(c.GetLockedRecNo(), r);
    c.CancelRecord();
}

TEST_F(RecordLocksTest, ARecordDeletedByAnotherProcessRefusesTheDelete) {
    Fill({"Ann", "Bob", "Cid"});
    TDataCursor& c = Cursor();
    auto seen = Find(c, "Bob");
    ASSERT_EQ(InOtherProcess([](TDataCursor& other) {
                  auto b = Find(other, "Bob");
                  other.DeleteRecord(b.data(), false);
              }),
              0);
    EXPECT_EQ(CodeOf([&] { c.DeleteRecord(seen.data(), false); }), DBE_KEYORRECDELETED);
    ExpectNoLocksHeld();
    EXPECT_EQ(All(c), (std::vector<std::string>{"Ann", "Cid"}));
}

TEST_F(RecordLocksTest, ARecordHeldByAnotherProcessIsRefusedAfterTheRetriesLeavingNoLock) {
    Fill({"Ann", "Bob"});
    TDataCursor& c = Cursor();
    auto seen = Find(c, "Bob");
    int32_t r = c.GetPhysicalRecNo();
    Session->LockRetryCount = 2;
    Session->LockWaitTime = 5;
    {
        TLockHolderProcess holder("D:\\T.DAT", {{RecordLockBase - r, 1}});
        ASSERT_TRUE(holder.Holding());
        EXPECT_EQ(CodeOf([&] { c.GetCurrentRecord(seen.data(), true); }), DBE_RECLOCKFAILED);
        EXPECT_EQ(Sleeps, (std::vector<uint32_t>{5, 5}));
        ExpectNoLocksHeld();
        EXPECT_EQ(c.GetLockedRecNo(), 0);
    }
    EXPECT_EQ(c.GetCurrentRecord(seen.data(), true), 0);
    c.CancelRecord();
    ExpectNoLocksHeld();
}

// The next navigation after another process appended sees the new records, in index order and
// in natural order (bitmap navigation), with and without strict change detection.
TEST_F(RecordLocksTest, RecordsAppendedByAnotherProcessShowAtTheNextNavigation) {
    struct TCase {
        bool Natural;
        bool Strict;
    };
    for (TCase k : {TCase{false, false}, TCase{true, false}, TCase{false, true}, TCase{true, true}}) {
        SCOPED_TRACE(testing::Message() << "natural " << k.Natural << ", strict " << k.Strict);
        Cursors.clear();
        Session->StrictChangeDetection = k.Strict;
        Wipe();
        Fill({"Ann", "Bob", "Cid"});
        TDataCursor& c = Cursor();
        TDataCursor& idle = Cursor();
        if (k.Natural) c.SetIndexNumber(NaturalOrderIndex);
        ASSERT_EQ(All(c), (std::vector<std::string>{"Ann", "Bob", "Cid"}));
        // Stand on the last record.
        std::vector<uint8_t> buf(c.GetRecordSize());
        ASSERT_EQ(c.GetPriorRecord(buf.data()), 0);
        ASSERT_EQ(NameOf(c, buf.data()), "Cid");
        int32_t dataCount = Table().DataChangeCount();

        ASSERT_EQ(InOtherProcess([](TDataCursor& other) {
                      Insert(other, "Dan", 4);
                      Insert(other, "Eve", 5);
                  }),
                  0);
        EXPECT_EQ(Table().DataChangeCount(), dataCount) << "nothing seen before the next operation";
        EXPECT_EQ(Rest(c), (std::vector<std::string>{"Dan", "Eve"}));
        EXPECT_EQ(c.GetRecordCount(), 5);
        EXPECT_EQ(All(c), (std::vector<std::string>{"Ann", "Bob", "Cid", "Dan", "Eve"}));
        EXPECT_FALSE(Table().AccessLocked);
        // A second cursor of this process, opened before the append, catches up too.
        EXPECT_EQ(All(idle).size(), 5u);
    }
}

// A record or page read from disk first checks for another process's writes; when it finds
// some, the cursor goes back to its record with a fresh range and the reader starts over.
TEST_F(RecordLocksTest, AReadFromDiskAfterAnotherProcessWroteResynchronisesTheCursor) {
    Fill({"Ann", "Bob", "Cid"});
    TDataCursor& c = Cursor();
    c.SetIndexNumber(NaturalOrderIndex);
    std::vector<uint8_t> buf(c.GetRecordSize());
    c.SetToEnd();
    ASSERT_EQ(c.GetPriorRecord(buf.data()), 0);
    EXPECT_FALSE(c.SyncBeforeRead()) << "nothing changed";
    EXPECT_TRUE(Table().AccessLocked);
    c.ReleaseReadLock();
    ASSERT_EQ(InOtherProcess([](TDataCursor& other) { Insert(other, "Dan", 4); }), 0);
    EXPECT_EQ(c.GetRecordCount(), 3);
    EXPECT_TRUE(c.TableChangedByOthers());
    EXPECT_EQ(c.GetRecordCount(), 4);
    EXPECT_EQ(c.GetPhysicalRecNo(), 3) << "still on its record";
    EXPECT_TRUE(Table().AccessLocked) << "held until the operation ends";
    EXPECT_FALSE(c.SyncBeforeRead());
    c.ReleaseReadLock();
    EXPECT_FALSE(Table().AccessLocked);
    EXPECT_EQ(Rest(c), std::vector<std::string>{"Dan"});
}

// Strict change detection runs every operation under the short-term shared lock; otherwise the
// lock is taken only when the stored counter moved or a read goes to disk.
TEST_F(RecordLocksTest, StrictChangeDetectionHoldsTheSharedLockForTheWholeOperation) {
    Fill({"Ann", "Bob"});
    for (bool strict : {false, true}) {
        SCOPED_TRACE(strict);
        Session->StrictChangeDetection = strict;
        TDataCursor& c = Cursor();
        // Every record in the cache: a miss takes the shared lock whatever the setting.
        ASSERT_EQ(All(c).size(), 2u);
        EXPECT_FALSE(Table().AccessLocked);
        std::vector<bool> lockedDuring;
        TFilter* f = c.AddFilter(
            nullptr, "", nullptr, false,
            [&](void*, TDataCursor&, const uint8_t*, int32_t) {
                lockedDuring.push_back(Table().AccessLocked);
                return true;
            },
            false, false, false, false, false);
        c.ActivateFilter(f);
        ASSERT_FALSE(lockedDuring.empty());
        for (bool locked : lockedDuring) EXPECT_EQ(locked, strict);
        EXPECT_FALSE(Table().AccessLocked);
    }
}

// An operation run inside another on the same table (a clone being set up, a callback filter
// reading through a second cursor) leaves the short-term lock to the outer operation, which
// keeps other processes' writers out until it ends.
TEST_F(RecordLocksTest, NestedOperationsLeaveTheSharedLockToTheOutermostOne) {
    Fill({"Ann", "Bob", "Cid"});
    Session->StrictChangeDetection = true;
    TDataCursor& c = Cursor();
    TDataCursor& other = Cursor();
    std::vector<bool> heldAfterInner;
    int append = -1;
    TFilter* f = c.AddFilter(
        nullptr, "", nullptr, false,
        [&](void*, TDataCursor&, const uint8_t*, int32_t) {
            EXPECT_EQ(All(other).size(), 3u);
            heldAfterInner.push_back(Table().AccessLocked);
            if (append < 0) append = InOtherProcess([](TDataCursor& o) { Insert(o, "Dan", 4); });
            return true;
        },
        false, false, false, false, false);
    c.ActivateFilter(f);
    ASSERT_FALSE(heldAfterInner.empty());
    for (bool held : heldAfterInner) EXPECT_TRUE(held);
    EXPECT_EQ(append, DBE_LOCKTIMEOUT % 250 + 1) << "another writer waits for the outer operation";
    EXPECT_FALSE(Table().AccessLocked);

    // The clone's own operations run inside the cloning one; the copied filter asks while the
    // clone is set up.
    heldAfterInner.clear();
    auto clone = c.CloneCursor();
    ASSERT_FALSE(heldAfterInner.empty());
    for (bool held : heldAfterInner) EXPECT_TRUE(held);
    EXPECT_FALSE(Table().AccessLocked);
    EXPECT_EQ(Table().AccessHolders, 0);
    EXPECT_EQ(All(*clone).size(), 3u);
}

// An edit whose write fails is taken back in the files as well as in memory; afterwards this
// process still notices what another process writes, and the other process finds no trace of
// the failed edit. A failing index write comes after the data file was written.
TEST_F(RecordLocksTest, AnEditFailingOnAWriteLeavesChangeDetectionWorking) {
    enum TEdit { Append, Rename, Remove };
    struct TCase {
        TEdit Edit;
        const char* File;  // the first write to it fails
        bool Strict;
    };
    const TCase cases[] = {{Append, ".DAT", false}, {Append, ".IDX", false}, {Append, ".IDX", true},
                           {Rename, ".DAT", false}, {Rename, ".IDX", false}, {Remove, ".DAT", false},
                           {Remove, ".IDX", true}};
    for (const TCase& k : cases) {
        SCOPED_TRACE(testing::Message() << "edit " << k.Edit << ", " << k.File << ", strict " << k.Strict);
        Cursors.clear();
        Session->StrictChangeDetection = k.Strict;
        Wipe();
        Fill({"Ann", "Bob"});
        TDataCursor& c = Cursor();
        auto bob = Find(c, "Bob");
        int32_t bobNo = c.GetPhysicalRecNo();
        {
            bool failed = false;
            platform::TScopedFileFault fault(
                [&](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
                    if (op != platform::TFileOperation::Write || failed || !path.ends_with(k.File))
                        return platform::TFileFault{};
                    failed = true;
                    return platform::TFileFault{29};  // write fault
                });
            auto row = Row(c, k.Edit == Append ? "Cid" : "Bea", 2);
            TEngineErrorCode code = CodeOf([&] {
                if (k.Edit == Append)
                    c.InsertRecord(row.data(), false);
                else if (k.Edit == Rename)
                    c.ModifyRecord(row.data(), true, false);
                else
                    c.DeleteRecord(bob.data(), false);
            });
            EXPECT_NE(code, 0);
            EXPECT_TRUE(failed);
        }
        ExpectNoLocksHeld();
        EXPECT_FALSE(Table().HoldsUnwrittenChanges());
        std::string dat = Bytes("T.DAT");
        EXPECT_EQ(dat.size(), static_cast<size_t>(Table().DataFile->RecordOffset(3))) << "two record slots";
        ASSERT_GT(dat.size(), static_cast<size_t>(Table().DataFile->RecordOffset(bobNo)));
        EXPECT_EQ(dat[Table().DataFile->RecordOffset(bobNo)], 0) << "Bob's slot holds a live record";
        EXPECT_EQ(All(c), (std::vector<std::string>{"Ann", "Bob"}));
        ASSERT_EQ(InOtherProcess([](TDataCursor& other) {
                      if (All(other) != std::vector<std::string>{"Ann", "Bob"}) throw 1;
                      Insert(other, "Dan", 4);
                  }),
                  0);
        EXPECT_EQ(All(c), (std::vector<std::string>{"Ann", "Bob", "Dan"}));
        EXPECT_EQ(c.GetRecordCount(), 3);
    }
}

TEST_F(RecordLocksTest, FlushingToDiskAsksForTheTableFilesUnlessEveryWriteIsFlushedAlready) {
    Fill({"Ann"});
    std::atomic<int> flushes{0};
    platform::TScopedFileFault hook([&](platform::TFileOperation op, const std::string&, int64_t, uint32_t) {
        if (op == platform::TFileOperation::Flush) ++flushes;
        return platform::TFileFault{};
    });
    TDataCursor& c = Cursor();
    c.FlushOSBuffers();
    EXPECT_EQ(flushes, 2) << "data and index file; no BLOB file";
    flushes = 0;
    Session->ForceBufferFlush = true;
    c.FlushOSBuffers();
    EXPECT_EQ(flushes, 0);
}

TEST_F(RecordLocksTest, TheStatementReadLockKeepsOtherWritersOutUntilReleased) {
    Fill({"Ann"});
    TDataCursor& c = Cursor();
    auto appendOne = [](const std::string& name) {
        return InOtherProcess([name](TDataCursor& other) { Insert(other, name, 1); });
    };
    c.LockTableForRead();
    EXPECT_TRUE(Table().ReadLocked);
    EXPECT_EQ(appendOne("Bob"), DBE_LOCKTIMEOUT % 250 + 1);
    EXPECT_EQ(All(c), std::vector<std::string>{"Ann"});
    EXPECT_TRUE(Table().ReadLocked) << "operations inside leave the statement lock alone";
    c.UnlockTableForRead();
    EXPECT_FALSE(Table().ReadLocked);
    EXPECT_EQ(appendOne("Bob"), 0);
    // Taking the lock again brings the cursor up to date at once.
    c.LockTableForRead();
    EXPECT_EQ(c.GetRecordCount(), 2);
    c.UnlockTableForRead();
}

TEST_F(RecordLocksTest, AnExclusiveCursorWritesTheFilesOnlyAtAForcedFlushOrAtClose) {
    Fill({"Ann", "Bob", "Cid"});
    auto c = OpenCursor(Database, true);
    const std::string dat0 = Bytes("T.DAT"), idx0 = Bytes("T.IDX");

    Insert(*c, "Dan", 4);
    auto bob = Find(*c, "Bob");
    auto changed = Row(*c, "Bob", 22);
    ASSERT_EQ(c->GetCurrentRecord(bob.data(), true), 0);
    EXPECT_EQ(Table().EditLocks.Count(), 0u) << "an exclusive cursor takes no locks";
    c->ModifyRecord(changed.data(), true, false);
    auto ann = Find(*c, "Ann");
    c->DeleteRecord(ann.data(), false);
    c->FlushBuffers(false, false, true, true, false);
    EXPECT_EQ(Bytes("T.DAT"), dat0);
    EXPECT_EQ(Bytes("T.IDX"), idx0);
    EXPECT_EQ(All(*c), (std::vector<std::string>{"Bob", "Cid", "Dan"}));

    c->FlushBuffers(true, false, false, false, false);
    const std::string dat1 = Bytes("T.DAT"), idx1 = Bytes("T.IDX");
    EXPECT_NE(dat1, dat0);
    EXPECT_NE(idx1, idx0);
    // The flushed files hold the whole state: a header whose counter moved, and the records.
    TDataHeader h = TDataHeader::Decode(reinterpret_cast<const uint8_t*>(dat1.data()));
    EXPECT_EQ(h.NextRecordNo, 5);
    EXPECT_GT(h.ChangeCount, TDataHeader::Decode(reinterpret_cast<const uint8_t*>(dat0.data())).ChangeCount);

    Insert(*c, "Eve", 5);
    EXPECT_EQ(Bytes("T.DAT"), dat1);
    EXPECT_EQ(Bytes("T.IDX"), idx1);
    c.reset();
    EXPECT_NE(Bytes("T.DAT"), dat1);
    EXPECT_NE(Bytes("T.IDX"), idx1);

    TDataCursor& shared = Cursor();
    EXPECT_EQ(All(shared), (std::vector<std::string>{"Bob", "Cid", "Dan", "Eve"}));
    EXPECT_EQ(CountOf(shared, Find(shared, "Bob").data()), 22);
}

TEST_F(RecordLocksTest, AnExclusiveCursorsBlobWritesWaitForTheForcedFlushToo) {
    {
        TDataCursor creator(Database);
        creator.SetTableName("M");
        creator.SetExclusive(true);
        creator.CreateTable(Definition(true), false, false);
    }
    const std::string dat0 = Bytes("M.DAT"), blb0 = Bytes("M.BLB");
    const uint16_t notes = 3;
    const std::string text(3000, 'x');  // several blocks
    auto c = std::make_unique<TDataCursor>(Database);
    c->SetTableName("M");
    c->SetExclusive(true);
    c->OpenCursor();
    auto r = Row(*c, "Ann", 1);
    int32_t size = 0;
    ASSERT_EQ(c->OpenBlob(notes, r.data(), BlobOpenWrite, false, true, size), 0);
    ASSERT_EQ(c->PutBlob(notes, r.data(), 0, reinterpret_cast<const uint8_t*>(text.data()),
                         static_cast<int32_t>(text.size()), false),
              0);
    c->InsertRecord(r.data(), false);
    EXPECT_EQ(Bytes("M.DAT"), dat0);
    EXPECT_EQ(Bytes("M.BLB"), blb0);
    c->FlushBuffers(true, false, false, false, false);
    EXPECT_NE(Bytes("M.DAT"), dat0);
    EXPECT_GT(Bytes("M.BLB").size(), blb0.size() + text.size());
    c.reset();

    auto shared = std::make_unique<TDataCursor>(Database);
    shared->SetTableName("M");
    shared->OpenCursor();
    std::vector<uint8_t> b(shared->GetRecordSize());
    shared->SetToBegin();
    ASSERT_EQ(shared->GetNextRecord(b.data()), 0);
    ASSERT_EQ(shared->OpenBlob(notes, b.data(), BlobOpenRead, false, true, size), 0);
    EXPECT_EQ(size, static_cast<int32_t>(text.size()));
    shared->FreeBlob(notes, b.data(), false);
}

TEST_F(RecordLocksTest, ASharedCursorsEditReachesTheFilesAtOnce) {
    Fill({"Ann", "Bob"});
    TDataCursor& c = Cursor();
    const std::string dat0 = Bytes("T.DAT"), idx0 = Bytes("T.IDX");
    auto bob = Find(c, "Bob");
    ASSERT_EQ(c.GetCurrentRecord(bob.data(), true), 0);
    auto changed = Row(c, "Bob", 9);  // no key changes: only the data file moves
    c.ModifyRecord(changed.data(), true, false);
    std::string dat1 = Bytes("T.DAT");
    EXPECT_NE(dat1, dat0);
    EXPECT_EQ(Bytes("T.IDX"), idx0);
    // Its counter rose on disk, which is how other processes notice the change.
    EXPECT_GT(TDataHeader::Decode(reinterpret_cast<const uint8_t*>(dat1.data())).ChangeCount,
              TDataHeader::Decode(reinterpret_cast<const uint8_t*>(dat0.data())).ChangeCount);
    EXPECT_FALSE(Table().ChangedOnDisk()) << "the cursor's own write is not another's";
    EXPECT_FALSE(c.HasTableChanged());
}

}  // namespace
}  // namespace dbengine
