#pragma once
// A dataset over one engine table for the component tests: opens a cursor on the table named by
// TableName in the dataset's database, and creates tables from a list of fields. Drive D: is a
// temporary folder for the fixture's lifetime; the default session is stopped (the engine
// finalised) when the fixture ends.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/session/Engine.h"
#include "dbsql/components/DbDataSet.h"
#include "dbsql/components/DbSession.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "platform/testsupport/TestDrives.h"

namespace dbsql::testsupport {

class TTestTable : public TDbDBDataSet {
public:
    explicit TTestTable(framework::TComponent* AOwner = nullptr) : TDbDBDataSet(AOwner) {}
    ~TTestTable() override { Close(); }
    std::string TableName;
    bool Exclusive = false;

protected:
    dbengine::TDataCursor* CreateCursorHandle() override {
        auto cursor = std::make_unique<dbengine::TDataCursor>(Database()->Handle());
        cursor->SetTableName(TableName);
        cursor->SetInMemory(InMemory());
        cursor->SetExclusive(Exclusive);
        InstallPasswordCallback(*cursor);
        cursor->OpenCursor();
        return cursor.release();
    }
};

// The message of what f raises; "(nothing raised)" when it returns.
inline std::string Raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const framework::Exception& e) {
        return e.Message;
    }
    return "(nothing raised)";
}

// A field of a table to create: name, engine type and subtype, size.
struct TTestField {
    std::string Name;
    uint8_t Type;
    uint8_t SubType = 0;
    uint8_t Size = 0;
    bool Required = false;
};

// Creates a table in database (a folder or "Memory") of the default session; keyFields leading
// fields form a unique primary index (0: none). A password makes it encrypted.
inline void CreateTestTable(const std::string& database, const std::string& name,
                            const std::vector<TTestField>& fields, int keyFields,
                            const std::string& password = {}) {
    TDbSession& session = DefaultSession();
    TDbDatabase* db = session.OpenDatabase(database);
    dbengine::TTableDefinition def;
    for (size_t i = 0; i < fields.size(); ++i) {
        dbengine::TFieldDescriptor d;
        d.FieldNo = int16_t(i + 1);
        d.Name = fields[i].Name;
        d.FieldType = fields[i].Type;
        d.SubType = fields[i].SubType;
        d.Size = fields[i].Size;
        d.Required = fields[i].Required ? 1 : 0;
        def.Fields.push_back(d);
    }
    def.PrimaryIndex.FieldCount = uint8_t(keyFields);
    for (int i = 0; i < keyFields; ++i) def.PrimaryIndex.FieldNumbers[size_t(i)] = uint16_t(i + 1);
    def.PrimaryIndex.Unique = keyFields > 0 ? 1 : 0;
    if (!password.empty()) {
        def.Encrypted = true;
        def.Password = password;
    }
    dbengine::TDataCursor cursor(db->Handle());
    cursor.SetTableName(name);
    cursor.SetInMemory(framework::SameText(database, "Memory"));
    cursor.SetExclusive(true);
    cursor.CreateTable(def, keyFields == 0, true);
    session.CloseDatabase(db);
}

// Drive D: over a temporary folder; the default session is stopped again afterwards.
class SessionFixture : public ::testing::Test {
protected:
    void SetUp() override {
        framework::SetSleepHandler([](uint32_t) {});
    }
    void TearDown() override {
        DefaultSession().SetActive(false);
        framework::SetSleepHandler({});
    }
    platform::testsupport::TTempFolder Root;
    platform::testsupport::TScopedDrives Drives{"D=" + Root.Path()};
};

}  // namespace dbsql::testsupport
