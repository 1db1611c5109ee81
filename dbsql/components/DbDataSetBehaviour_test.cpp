// The behaviour every dataset shows (the class library's dataset tests) over an engine table.

#include <gtest/gtest.h>

#include "dbsql/testsupport/DbTestTable.h"
#include "framework/testsupport/DataSetBehaviour.h"

using framework::testsupport::DataSetBehaviour;

namespace {

// People in a table of a folder (natural order) or of the in-memory database.
class TEnginePeople : public framework::testsupport::TPeopleSource {
public:
    explicit TEnginePeople(const std::string& database) {
        framework::SetSleepHandler([](uint32_t) {});
        dbsql::testsupport::CreateTestTable(database, "People",
                                            {{"ID", 6}, {"Name", 1, 0, 20, true}, {"City", 1, 0, 20}}, 0);
        Table.SetDatabaseName(database);
        Table.TableName = "People";
    }
    ~TEnginePeople() override {
        Table.Close();
        dbsql::DefaultSession().SetActive(false);
        framework::SetSleepHandler({});
    }
    framework::TDataSet& DataSet() override { return Table; }
    std::string NotEditingMessage() const override { return dbsql::dbdmsg::SNotEditing; }

private:
    platform::testsupport::TTempFolder Root;
    platform::testsupport::TScopedDrives Drives{"D=" + Root.Path()};
    dbsql::testsupport::TTestTable Table;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Engine, DataSetBehaviour,
                         ::testing::Values(
                             framework::testsupport::TPeopleSourceParam{
                                 "Folder", [] { return std::make_unique<TEnginePeople>("D:\\"); }},
                             framework::testsupport::TPeopleSourceParam{
                                 "Memory", [] { return std::make_unique<TEnginePeople>("Memory"); }}),
                         framework::testsupport::PeopleSourceName);
