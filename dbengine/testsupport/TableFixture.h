#pragma once
// A database folder on drive D: for shared-table tests, with a small table definition (a string
// key, an integer and, when asked, a memo), record helpers and file snapshots.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"
#include "dbengine/testsupport/ErrorCode.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "framework/core/Seams.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine::testsupport {

class TableFixture : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        Session = GetEngineSession();
        Database = Session->OpenDataDirectory("D:\\", "D:\\", false);
        // No real waiting: lock retries sleep through this seam.
        framework::SetSleepHandler([this](uint32_t ms) { Sleeps.push_back(ms); });
    }
    void TearDown() override {
        framework::SetSleepHandler({});
        FinalizeEngine();
    }

    // Name (string 20, field 1), Count (integer, field 2) and, with a memo, Notes (field 3);
    // primary index on Name.
    static TTableDefinition Definition(bool withMemo) {
        TTableDefinition def;
        def.Fields.resize(withMemo ? 3 : 2);
        def.Fields[0].FieldNo = 1;
        def.Fields[0].Name = "Name";
        def.Fields[0].FieldType = fldString;
        def.Fields[0].Size = 20;
        def.Fields[1].FieldNo = 2;
        def.Fields[1].Name = "Count";
        def.Fields[1].FieldType = fldInteger;
        if (withMemo) {
            def.Fields[2].FieldNo = 3;
            def.Fields[2].Name = "Notes";
            def.Fields[2].FieldType = fldBlob;
            def.Fields[2].SubType = fldstMemo;
        }
        for (auto& f : def.Fields) ComputeValueSize(f);
        AssignFieldOffsets(def.Fields);
        def.PrimaryIndex.FieldCount = 1;
        def.PrimaryIndex.FieldNumbers[0] = 1;
        def.PrimaryIndex.KeySize = KeyPartSize(def.Fields[0]) + 1;
        def.PrimaryIndex.Unique = 1;
        return def;
    }

    // Creates the table through the registry and releases it again, leaving `records` records
    // whose Count is ten times the record number.
    void MakeTable(const std::string& name, bool withMemo, int records = 0) {
        ASSERT_EQ(Database->CreateSharedTable(name, false, false, Definition(withMemo)), 0);
        TDataTable* t = Database->FindTable(name, false);
        ASSERT_NE(t, nullptr);
        for (int i = 1; i <= records; ++i) SetCount(*t, i, i * 10);
        t->FlushBuffers();
        ASSERT_EQ(Database->ReleaseSharedTable(t, false, false, false), 0);
    }

    TDataTable* Open(const std::string& name, bool exclusive = false, bool shareExclusive = false) {
        TDataTable* t = nullptr;
        int32_t result =
            Database->OpenSharedTable(name, t, exclusive, shareExclusive, false, false, false, false);
        EXPECT_EQ(result, 0);
        return t;
    }

    static int32_t CountOffset(TDataTable& t) { return t.DataFile->GetFieldDescriptor(2).Offset; }

    // Writes Count of record r in the cache (appending when r is the next record).
    static void SetCount(TDataTable& t, int32_t r, int32_t value) {
        TRecord* rec = nullptr;
        ASSERT_TRUE(t.DataFile->GetRecord(nullptr, r, 1, false, false, rec));
        if (rec->RecordId() == 0) rec->Init(true);
        int32_t at = CountOffset(t);
        rec->Data()[at] = 1;
        PutInt32(rec->Data() + at + 1, value);
        rec->Modified = true;
        t.DataFile->ReleaseRecord(rec);
    }

    static int32_t GetCount(TDataTable& t, int32_t r) {
        TRecord* rec = nullptr;
        EXPECT_TRUE(t.DataFile->GetRecord(nullptr, r, 1, false, false, rec));
        int32_t value = GetInt32(rec->Data() + CountOffset(t) + 1);
        t.DataFile->ReleaseRecord(rec);
        return value;
    }

    std::string Bytes(const std::string& fileName) const {
        std::ifstream in(Root / fileName, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool Exists(const std::string& fileName) const { return std::ifstream(Root / fileName).good(); }

    platform::testsupport::TTempFolder Root;
    platform::testsupport::TScopedDrives Drives{"D=" + Root.Path()};
    TDataSession* Session = nullptr;
    TDataDirectory* Database = nullptr;
    std::vector<uint32_t> Sleeps;
};

}  // namespace dbengine::testsupport
