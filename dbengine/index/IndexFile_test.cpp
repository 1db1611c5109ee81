#include "dbengine/index/IndexFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "dbengine/data/DataFile.h"
#include "dbengine/data/DataTable.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/Coding.h"
#include "framework/core/Seams.h"
#include "framework/testsupport/FakeTime.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using platform::testsupport::ReadNativeFile;
using platform::testsupport::RunInChildProcess;
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

TIndexDescriptor Desc(const std::string& name, std::initializer_list<uint16_t> fields,
                      uint16_t keySize = 12) {
    TIndexDescriptor d;
    d.Name = name;
    d.KeySize = keySize;
    d.FieldCount = static_cast<uint8_t>(fields.size());
    int i = 0;
    for (uint16_t f : fields) d.FieldNumbers[i++] = f;
    return d;
}

class IndexFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        table.TableName = "T";
        table.Session = &session;
        session.SetPrivateDir("D:\\TMP");
        root.MakeFolder("TMP");
        // The table's fields: a string, an integer and a BLOB.
        std::vector<TFieldDescriptor> fields(3);
        const char* names[] = {"Name", "Count", "Notes"};
        const uint8_t types[] = {fldString, fldInteger, fldBlob};
        for (int i = 0; i < 3; ++i) {
            fields[i].FieldNo = static_cast<int16_t>(i + 1);
            fields[i].Name = names[i];
            fields[i].FieldType = types[i];
            fields[i].Size = i == 0 ? 10 : 0;
            ComputeValueSize(fields[i]);
        }
        AssignFieldOffsets(fields);
        data.FileName = "D:\\T.DAT";
        data.CreateDataFile(0, 0, 0, 0, false, "", "", 0, fields);
        index = NewIndex();
        index->CreateIndexFile();
    }
    void TearDown() override {
        index.reset();
        data.CloseFile();
        FinalizeEngine();
    }
    std::unique_ptr<TIndexFile> NewIndex() {
        auto f = std::make_unique<TIndexFile>(&table);
        f->FileName = "D:\\T.IDX";
        f->Fields = &data;
        return f;
    }

    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
    TDataSession session{false};
    TDataTable table{nullptr, nullptr};
    TDataFile data{&table};
    std::unique_ptr<TIndexFile> index;
};

TEST_F(IndexFileTest, NewFileGoldenBytes) {
    index->WriteHeader(false);
    std::string bytes = ReadNativeFile(root / "T.IDX");
    ASSERT_EQ(bytes.size(), 4096u);
    auto b = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_EQ(GetInt32(b + 0), 1);
    EXPECT_EQ(b[8], 5);
    EXPECT_EQ(GetInt32(b + 9), 1);
    EXPECT_EQ(b[13], 0);
    EXPECT_EQ(bytes.substr(3735, b[3734]), "Sys Deleted");
    EXPECT_EQ(GetUInt16(b + 3734 + 31), 5);
    EXPECT_EQ(b[3734 + 36], 0);
    EXPECT_EQ(bytes.substr(3855, b[3854]), "Sys Text");
    EXPECT_EQ(GetUInt16(b + 3854 + 31), 68);
    EXPECT_EQ(b[3854 + 36], 3);
    EXPECT_EQ(GetInt32(b + 3974), 0);
    EXPECT_EQ(b[3978], 0);
    EXPECT_EQ(b[3979], 1);
    std::string golden = ReadNativeFile(std::string(KORVANE_TESTDATA_DIR) + "/new_index.idx");
    if (golden != bytes) {
        std::ofstream(std::string(KORVANE_BUILD_DIR) + "/new_index.actual.idx", std::ios::binary) << bytes;
    }
    EXPECT_TRUE(golden == bytes) << "differs from testdata/new_index.idx";

    // A forced write of an unchanged header stores the mark 0; reading clears it.
    index->WriteHeader(true);
    index->CloseFile();  // a created file is held exclusively until it is opened again
    index->OpenFile();
    EXPECT_EQ(ReadNativeFile(root / "T.IDX")[3979], 0);
    auto other = NewIndex();
    other->OpenFile();
    EXPECT_EQ(other->Header.HeaderModified, 0);
    EXPECT_FALSE(other->ReloadHeaderIfChanged());
    index->SetRecordCount(7);
    index->WriteHeader(false);
    EXPECT_TRUE(other->ReloadHeaderIfChanged());
    EXPECT_EQ(other->Header.RecordCount, 7);
    other->CheckVersion();
}

TEST_F(IndexFileTest, DescriptorChecks) {
    index->SetPrimaryIndexDesc(Desc("", {1}));
    EXPECT_EQ(index->Header.InternalPrimaryIndex, 0);
    EXPECT_EQ(index->Header.Descriptors[0].Unique, 1);
    index->AddIndexDesc(Desc("byname", {1}));
    struct Case {
        const char* What;
        TIndexDescriptor D;
        TEngineErrorCode Code;
    };
    TIndexDescriptor seventeen = Desc("Wide", {});
    seventeen.FieldCount = 17;
    const Case cases[] = {
        {"17 fields", seventeen, DBE_INDEXLIMIT},
        {"empty name", Desc("", {1}), DBE_INDEXNAMEREQUIRED},
        {"name starting with a digit", Desc("2ndIndex", {1}), DBE_INVALIDINDEXNAME},
        {"name starting with a blank", Desc(" X", {1}), DBE_INVALIDINDEXNAME},
        {"existing name in another case", Desc("ByName", {2}), DBE_INDEXEXISTS},
        {"BLOB field", Desc("ByNotes", {3}), DBE_SEARCHCOLREQD},
    };
    for (const Case& c : cases) EXPECT_EQ(CodeOf([&] { index->AddIndexDesc(c.D); }), c.Code) << c.What;
    try {
        index->AddIndexDesc(Desc("ByNotes", {2, 3}));
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.Message,
                  "Engine Error # 12292 Invalid field 'Notes' specified for the index 'ByNotes' in the "
                  "table 'T'");
    }
    EXPECT_EQ(CodeOf([&] { index->SetPrimaryIndexDesc(Desc("", {2})); }), DBE_PRIMARYKEYREDEFINE);
    EXPECT_EQ(index->Header.IndexCount, 1);
    for (int i = 2; i <= 30; ++i) index->AddIndexDesc(Desc("Ix" + std::to_string(i), {2}));
    EXPECT_EQ(CodeOf([&] { index->AddIndexDesc(Desc("Ix31", {2})); }), DBE_INDEXLIMIT);
    EXPECT_TRUE(index->IndexNameExists("IX30"));
    EXPECT_FALSE(index->IndexNameExists("Ix31"));

    // Primary index checks on a fresh file.
    auto fresh = NewIndex();
    fresh->FileName = "D:\\U.IDX";
    fresh->CreateIndexFile();
    EXPECT_EQ(CodeOf([&] { fresh->SetPrimaryIndexDesc(Desc("", {3})); }), DBE_SEARCHCOLREQD);
    fresh->SetPrimaryIndexDesc(Desc("", {}));
    EXPECT_EQ(fresh->Header.InternalPrimaryIndex, 1);
}

TEST_F(IndexFileTest, RemovingRenumbersAndTheFreedSlotIsReused) {
    for (const char* name : {"A", "B", "C", "D"}) index->AddIndexDesc(Desc(name, {1}));
    index->SetFreePage(2, 77);  // B owns a chain of free pages
    index->RemoveIndexDesc(2, true);
    ASSERT_EQ(index->Header.IndexCount, 3);
    EXPECT_EQ(index->GetIndexDesc(1).Name, "A");
    EXPECT_EQ(index->GetIndexDesc(2).Name, "C");
    EXPECT_EQ(index->GetIndexDesc(3).Name, "D");
    EXPECT_EQ(index->GetIndexDesc(4).Name, "B");
    index->AddIndexDesc(Desc("E", {2}));
    EXPECT_EQ(index->GetIndexDesc(4).Name, "E");
    EXPECT_EQ(index->GetIndexDesc(4).FreePage, 77);  // the chain is taken over
    EXPECT_EQ(index->GetIndexDesc(4).FieldNumbers[0], 2);
    index->RemoveIndexDesc(0, false);
    EXPECT_EQ(index->Header.InternalPrimaryIndex, 1);
}

TEST_F(IndexFileTest, TemporaryIndexesStayOffTheDisk) {
    index->AddIndexDesc(Desc("A", {1}));
    index->AddIndexDesc(Desc("B", {2}));
    TIndexDescriptor temp = Desc("Tmp", {1});
    temp.Temporary = 1;
    index->AddIndexDesc(temp);
    ASSERT_NE(index->TemporaryFile(), nullptr);
    std::string tempName = index->TemporaryFile()->FileName;
    EXPECT_EQ(tempName.rfind("D:\\TMP\\", 0), 0u);
    EXPECT_TRUE(index->TemporaryFile()->FileExists());
    EXPECT_EQ(index->Header.IndexCount, 3);
    // A permanent index is refused while a temporary one exists.
    EXPECT_EQ(CodeOf([&] { index->AddIndexDesc(Desc("C", {2})); }), DBE_TABLEOPEN);
    // Pages of the temporary index are counted apart.
    EXPECT_EQ(index->AppendPageNo(3), 1);
    EXPECT_EQ(index->AppendPageNo(3), 2);
    EXPECT_EQ(index->Header.NextPageNo, 1);
    index->WriteHeader(true);
    std::string bytes = ReadNativeFile(root / "T.IDX");
    EXPECT_EQ(bytes[13], 2);
    for (size_t i = 14 + 120 * 3; i < 14 + 120 * 4; ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(index->Header.IndexCount, 3);  // in memory it stays
    index->CloseFile();
    EXPECT_EQ(index->Header.IndexCount, 2);
    TFileHandler probe;
    probe.FileName = tempName;
    EXPECT_FALSE(probe.FileExists());
}

TEST_F(IndexFileTest, HeaderCheck) {
    index->SetPrimaryIndexDesc(Desc("", {1}));
    index->AddIndexDesc(Desc("ByCount", {2}));
    index->Header.Descriptors[SysTextIndexNo].FieldNumbers[0] = 1;
    index->Header.Descriptors[SysTextIndexNo].FieldCount = 1;
    index->Header.NextPageNo = 5;
    const TIndexHeader valid = index->Header;
    struct Case {
        const char* What;
        std::function<void(TIndexHeader&)> Damage;
        TEngineErrorCode Code;
    };
    const Case cases[] = {
        {"valid", [](TIndexHeader&) {}, 0},
        {"version 4", [](TIndexHeader& h) { h.Version = 4; }, DBE_OLDVERSION},
        {"name starting with a digit", [](TIndexHeader& h) { h.Descriptors[1].Name = "2ndIndex"; },
         DBE_HEADERCORRUPT},
        {"empty secondary name", [](TIndexHeader& h) { h.Descriptors[1].Name = " "; }, DBE_HEADERCORRUPT},
        {"duplicate names",
         [](TIndexHeader& h) {
             h.IndexCount = 2;
             h.Descriptors[2] = h.Descriptors[1];
             h.Descriptors[2].Name = "bycount ";
         },
         DBE_HEADERCORRUPT},
        {"primary with a name", [](TIndexHeader& h) { h.Descriptors[0].Name = "P"; }, DBE_HEADERCORRUPT},
        {"primary not unique", [](TIndexHeader& h) { h.Descriptors[0].Unique = 0; }, DBE_HEADERCORRUPT},
        {"17 fields", [](TIndexHeader& h) { h.Descriptors[1].FieldCount = 17; }, DBE_HEADERCORRUPT},
        {"gap in the fields", [](TIndexHeader& h) { h.Descriptors[1].FieldNumbers[2] = 1; },
         DBE_HEADERCORRUPT},
        {"field not in the table", [](TIndexHeader& h) { h.Descriptors[1].FieldNumbers[0] = 9; },
         DBE_HEADERCORRUPT},
        {"BLOB field", [](TIndexHeader& h) { h.Descriptors[1].FieldNumbers[0] = 3; }, DBE_HEADERCORRUPT},
        {"no fields", [](TIndexHeader& h) { h.Descriptors[1].FieldNumbers[0] = 0; }, DBE_HEADERCORRUPT},
        {"root past the last page", [](TIndexHeader& h) { h.Descriptors[1].RootPage = 5; },
         DBE_HEADERCORRUPT},
        {"root on the last page", [](TIndexHeader& h) { h.Descriptors[1].RootPage = 4; }, 0},
        {"negative free page", [](TIndexHeader& h) { h.Descriptors[0].FreePage = -1; }, DBE_HEADERCORRUPT},
        {"internal primary ends at a missing field",
         [](TIndexHeader& h) {
             h.InternalPrimaryIndex = 1;
             h.Descriptors[0] = TIndexDescriptor{};
             h.Descriptors[0].FieldNumbers[0] = 9;
         },
         0},
        {"full-text field of the wrong type",
         [](TIndexHeader& h) { h.Descriptors[SysTextIndexNo].FieldNumbers[0] = 2; }, DBE_HEADERCORRUPT},
        {"full-text data root past the end",
         [](TIndexHeader& h) { h.Descriptors[SysTextIndexNo].DataRootPage = 9; }, DBE_HEADERCORRUPT},
    };
    for (const Case& c : cases) {
        index->Header = valid;
        c.Damage(index->Header);
        EXPECT_EQ(CodeOf([&] { index->CheckHeader(); }), c.Code) << c.What;
    }
}

TEST_F(IndexFileTest, EmptyingReplacingRenamingAndEncryption) {
    index->AddIndexDesc(Desc("ByName", {1}));
    index->SetRootPage(1, 3);
    index->SetFreePage(1, 2);
    index->SetDataRootPage(SysTextIndexNo, 4);
    index->Header.NextPageNo = 5;
    index->SetRecordCount(9);
    index->WriteHeader(false);
    index->EmptyIndexFile();
    index->WriteHeader(false);
    EXPECT_EQ(ReadNativeFile(root / "T.IDX").size(), 4096u);
    EXPECT_EQ(index->Header.NextPageNo, 1);
    EXPECT_EQ(index->Header.RecordCount, 0);
    EXPECT_EQ(index->GetIndexDesc(1).Name, "ByName");  // the descriptors stay
    EXPECT_EQ(index->GetIndexDesc(1).RootPage, 0);
    EXPECT_EQ(index->GetIndexDesc(1).FreePage, 0);
    EXPECT_EQ(index->GetIndexDesc(SysTextIndexNo).DataRootPage, 0);

    index->SetFreePage(1, 7);
    TIndexDescriptor other = Desc("ByCount", {2}, 9);
    other.RootPage = 5;
    index->ReplaceIndexDesc(1, other);
    EXPECT_EQ(index->GetIndexDesc(1).Name, "ByCount");
    EXPECT_EQ(index->GetIndexDesc(1).KeySize, 9);
    EXPECT_EQ(index->GetIndexDesc(1).RootPage, 0);
    EXPECT_EQ(index->GetIndexDesc(1).FreePage, 7);  // kept
    index->RenameIndexDesc(1, Desc("Renamed", {1}, 99));
    EXPECT_EQ(index->GetIndexDesc(1).Name, "Renamed");
    EXPECT_EQ(index->GetIndexDesc(1).FieldNumbers[0], 1);
    EXPECT_EQ(index->GetIndexDesc(1).KeySize, 9);

    // An encrypted table stores its index header scrambled and reads it back plain.
    TDataTable encTable(nullptr, &session);
    encTable.TableName = "E";
    TDataFile encData(&encTable);
    encData.FileName = "D:\\E.DAT";
    encData.CreateDataFile(0, 0, 0, 0, true, "pw", "", 0, {});
    TIndexFile enc(&encTable);
    enc.FileName = "D:\\E.IDX";
    enc.Fields = &encData;
    enc.CreateIndexFile();
    enc.AddIndexDesc(Desc("Secret", {}));
    enc.WriteHeader(false);
    enc.CloseFile();
    EXPECT_EQ(ReadNativeFile(root / "E.IDX").find("Sys Deleted"), std::string::npos);
    enc.OpenFile();
    EXPECT_EQ(enc.GetIndexDesc(1).Name, "Secret");
    EXPECT_EQ(enc.GetIndexDesc(SysDeletedIndexNo).Name, "Sys Deleted");
    enc.CloseFile();
    encData.CloseFile();
}

// A damaged descriptor count never takes the engine past its 33 descriptors.
TEST_F(IndexFileTest, DamagedIndexCounts) {
    index->WriteHeader(false);
    index->CloseFile();
    for (uint8_t count : {31, 32, 33, 127, 255}) {
        SCOPED_TRACE(int(count));
        std::string bytes = ReadNativeFile(root / "T.IDX");
        bytes[13] = static_cast<char>(count);
        std::ofstream(root / "T.IDX", std::ios::binary | std::ios::trunc) << bytes;
        auto f = NewIndex();
        TEngineErrorCode code = CodeOf([&] { f->OpenFile(); });
        EXPECT_EQ(code, count > 32 ? DBE_HEADERCORRUPT : 0);
        if (code == 0) {
            EXPECT_FALSE(f->IndexNameExists("nothing"));
            f->RemoveIndexDesc(30, true);
            EXPECT_EQ(f->GetIndexDesc(31).Name, "Sys Deleted");
            f->CloseFile();
        }
    }
}

TEST_F(IndexFileTest, PageAppendLimits) {
    index->Header.NextPageNo = 976561;
    EXPECT_EQ(index->AppendPageNo(0), 976561);
    EXPECT_EQ(index->Header.NextPageNo, 976562);
    EXPECT_EQ(index->Header.HeaderModified, 1);
    EXPECT_EQ(CodeOf([&] { index->AppendPageNo(0); }), DBE_TABLEFULL);
    EXPECT_EQ(index->PageCount(), 976561);
}

TEST_F(IndexFileTest, ReadSlotsAndTheWriteRange) {
    index->WriteHeader(false);
    index->CloseFile();
    index->OpenFile();
    framework::TFakeTime clock(45000.0);
    framework::RandSeed = 12345;
    auto other = NewIndex();
    other->OpenFile();
    int32_t slotA = 0, slotB = 0;
    ASSERT_TRUE(index->LockForRead(slotA));
    ASSERT_TRUE(other->LockForRead(slotB));
    EXPECT_NE(slotA, slotB);
    index->LockAttempts = 10;
    EXPECT_FALSE(index->LockForWrite());
    EXPECT_EQ(clock.SleepCalls(), 10);
    // Another process sees the slots too.
    int child = RunInChildProcess([&] {
        TFileList list;
        bool ro = false, roa = false;
        TAbstractFile* f = nullptr;
        if (list.OpenFile("D:\\T.IDX", false, false, false, ro, roa, f) < 0) return 2;
        return f->LockRange(IndexWriteLockOffset, IndexWriteLockLength) ? 1 : 0;
    });
    EXPECT_EQ(child, 0);
    EXPECT_TRUE(index->UnlockForRead(slotA));
    EXPECT_TRUE(other->UnlockForRead(slotB));
    EXPECT_TRUE(index->LockForWrite());
    EXPECT_FALSE(other->LockForRead(slotB));  // a writer excludes every reader
    EXPECT_TRUE(index->UnlockForWrite());
}

}  // namespace
}  // namespace dbengine
