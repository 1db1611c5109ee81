// The program-wide variables: their start values and capacities, and loading the options record.

#include "catalog/Globals.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "catalog/ProgramTables.h"
#include "dbsql/components/DbTable.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/core/Exception.h"
#include "framework/testsupport/MemDataSet.h"

using namespace catalog;
using namespace framework;

namespace {

// Puts every variable back as it was when the test started.
class TGlobalsGuard {
public:
    ~TGlobalsGuard() {
        ProgramFolder = FProgramFolder;
        CatalogDataFolder = FCatalogDataFolder;
        CurrentCatalogName = FCurrentCatalogName;
        IncludeSpecs = FIncludeSpecs;
        ExcludeSpecs = FExcludeSpecs;
        OffloadSquelch = FOffloadSquelch;
        CleanupSquelch = FCleanupSquelch;
        StopRequested = FStopRequested;
        LastCatalogedLabel = FLastCatalogedLabel;
        OpenReportCount = FOpenReportCount;
        CustomSummaryReportsOpen = FCustomSummaryReportsOpen;
        CustomFileReportsOpen = FCustomFileReportsOpen;
    }

private:
    std::string FProgramFolder = ProgramFolder, FCatalogDataFolder = CatalogDataFolder,
                FCurrentCatalogName = CurrentCatalogName;
    std::array<TShortText<250>, 20> FIncludeSpecs = IncludeSpecs, FExcludeSpecs = ExcludeSpecs;
    TSquelchSettings FOffloadSquelch = OffloadSquelch, FCleanupSquelch = CleanupSquelch;
    bool FStopRequested = StopRequested;
    TShortText<11> FLastCatalogedLabel = LastCatalogedLabel;
    int32_t FOpenReportCount = OpenReportCount;
    bool FCustomSummaryReportsOpen = CustomSummaryReportsOpen, FCustomFileReportsOpen = CustomFileReportsOpen;
};

// Sets every option variable to something LoadOptions must replace.
void FillOptionVariables() {
    for (auto& s : IncludeSpecs) s = "*.OLD";
    for (auto& s : ExcludeSpecs) s = "*.BAK";
    for (TSquelchSettings* q : {&OffloadSquelch, &CleanupSquelch}) {
        for (auto& s : q->VolumeSpecs) s = "OLDVOL";
        q->DriveFlags.fill(true);
    }
}

bool AllEmpty(const auto& texts) {
    for (const auto& t : texts)
        if (!t.Empty()) return false;
    return true;
}

bool NoneSet(const std::array<bool, 26>& flags) {
    for (bool f : flags)
        if (f) return false;
    return true;
}

struct Options : dbsql::testsupport::SessionFixture {
    TGlobalsGuard Guard;
    std::unique_ptr<dbsql::TDbTable> Table;
    void SetUp() override {
        SessionFixture::SetUp();
        Table = std::make_unique<dbsql::TDbTable>();
        Table->SetDatabaseName("D:\\");
        Table->SetTableName("KorvaneOptions");
        DefineTable(*Table, KorvaneOptionsSchema());
        Table->CreateTable();
        Table->Open();
        InsertNewOptionsRecord(*Table);
        Table->First();
    }
    void TearDown() override {
        Table.reset();
        SessionFixture::TearDown();
    }
    void Set(const std::string& field, const std::string& value) {
        Table->Edit();
        Table->FieldByName(field)->SetAsString(value);
        Table->Post();
    }
};

}  // namespace

// Run in a process of its own by CTest; the other tests put back what they change.
TEST(Globals, StartEmptyFalseAndZero) {
    EXPECT_EQ(ProgramFolder, "");
    EXPECT_EQ(CatalogDataFolder, "");
    EXPECT_EQ(CurrentCatalogName, "");
    EXPECT_TRUE(AllEmpty(IncludeSpecs));
    EXPECT_TRUE(AllEmpty(ExcludeSpecs));
    for (const TSquelchSettings* q : {&OffloadSquelch, &CleanupSquelch}) {
        EXPECT_TRUE(AllEmpty(q->VolumeSpecs));
        EXPECT_TRUE(NoneSet(q->DriveFlags));
    }
    EXPECT_FALSE(StopRequested);
    EXPECT_TRUE(LastCatalogedLabel.Empty());
    EXPECT_EQ(OpenReportCount, 0);
    EXPECT_FALSE(CustomSummaryReportsOpen);
    EXPECT_FALSE(CustomFileReportsOpen);
}

TEST(Globals, ShortTextsKeepTheirCapacity) {
    TGlobalsGuard guard;
    LastCatalogedLabel = "ABCDEFGHIJKLMN";
    EXPECT_EQ(LastCatalogedLabel, "ABCDEFGHIJK");
    LastCatalogedLabel = std::string("DISK1");
    EXPECT_EQ(LastCatalogedLabel, "DISK1");
    IncludeSpecs[0] = std::string(300, 'x');
    EXPECT_EQ(IncludeSpecs[0].Length(), 250u);
    OffloadSquelch.VolumeSpecs[39] = "BACKUP-VOLUME-1";
    EXPECT_EQ(OffloadSquelch.VolumeSpecs[39], "BACKUP-VOLU");
}

TEST_F(Options, ANewRecordLoadsEmptyListsAndNoFlags) {
    FillOptionVariables();
    LoadOptions(*Table);
    EXPECT_TRUE(AllEmpty(IncludeSpecs));
    EXPECT_TRUE(AllEmpty(ExcludeSpecs));
    for (const TSquelchSettings* q : {&OffloadSquelch, &CleanupSquelch}) {
        EXPECT_TRUE(AllEmpty(q->VolumeSpecs));
        EXPECT_TRUE(NoneSet(q->DriveFlags));
    }
}

TEST_F(Options, SpecsAreTrimmedAndFlagsReadFromTheirText) {
    const std::string spec250 = "C:\\" + std::string(241, 'D') + "\\*.TXT";
    ASSERT_EQ(spec250.size(), 250u);
    Set("IncludeSpec01", "  *.TXT ");
    Set("IncludeSpec20", spec250);
    Set("ExcludeSpec07", "\t*.TMP");
    Set("SquelchSpec40", " BACKUP* ");
    Set("DCSquelchSpec01", "CD??");
    Set("SquelchDrive01", "True");
    Set("SquelchDrive26", "False");
    Set("DCSquelchDrive03", "True");
    LoadOptions(*Table);

    EXPECT_EQ(IncludeSpecs[0], "*.TXT");
    EXPECT_EQ(IncludeSpecs[19], spec250);
    EXPECT_EQ(ExcludeSpecs[6], "*.TMP");
    EXPECT_EQ(OffloadSquelch.VolumeSpecs[39], "BACKUP*");
    EXPECT_EQ(CleanupSquelch.VolumeSpecs[0], "CD??");
    EXPECT_TRUE(OffloadSquelch.DriveFlags['A' - 'A']);
    EXPECT_FALSE(OffloadSquelch.DriveFlags['Z' - 'A']);
    EXPECT_FALSE(OffloadSquelch.DriveFlags['C' - 'A']);
    EXPECT_TRUE(CleanupSquelch.DriveFlags['C' - 'A']);
    EXPECT_FALSE(CleanupSquelch.DriveFlags['A' - 'A']);  // blank: never written
    EXPECT_EQ(Table->RecordCount(), 1);
}

// An options table of another layout, where the drive flags are texts: only "True" sets a flag.
TEST(LoadOptionsLayouts, DriveFlagsTextedOtherThanTrueStayFalse) {
    TGlobalsGuard guard;
    TTableSchema schema = KorvaneOptionsSchema();
    for (TFieldSchema& f : schema.Fields)
        if (f.Kind == ftBoolean) f = {f.Name, ftString, 5};
    testsupport::TMemDataSet data;
    DefineTable(data, schema);
    data.Open();
    data.Append();
    data.FieldByName("SquelchDrive01")->SetAsString("True");
    data.FieldByName("SquelchDrive02")->SetAsString("true");
    data.FieldByName("SquelchDrive03")->SetAsString("TRUE");
    data.FieldByName("SquelchDrive04")->SetAsString("False");
    data.FieldByName("DCSquelchDrive01")->SetAsString(" True");
    data.Post();
    LoadOptions(data);
    EXPECT_TRUE(OffloadSquelch.DriveFlags[0]);
    EXPECT_FALSE(OffloadSquelch.DriveFlags[1]);
    EXPECT_FALSE(OffloadSquelch.DriveFlags[2]);
    EXPECT_FALSE(OffloadSquelch.DriveFlags[3]);
    EXPECT_FALSE(CleanupSquelch.DriveFlags[0]);
}

TEST(LoadOptionsLayouts, AMissingFieldRaisesAndChangesNothing) {
    TGlobalsGuard guard;
    TTableSchema schema = KorvaneOptionsSchema();
    schema.Fields.pop_back();  // DCSquelchDrive26, the last field read
    testsupport::TMemDataSet data;
    DefineTable(data, schema);
    data.Open();
    data.Append();
    data.FieldByName("IncludeSpec01")->SetAsString("*.NEW");
    data.Post();
    FillOptionVariables();
    try {
        LoadOptions(data);
        ADD_FAILURE() << "a missing field went unnoticed";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find("Field 'DCSquelchDrive26' not found"), std::string::npos) << e.Message;
    }
    EXPECT_EQ(IncludeSpecs[0], "*.OLD");
    EXPECT_TRUE(OffloadSquelch.DriveFlags[0]);
    EXPECT_EQ(CleanupSquelch.VolumeSpecs[0], "OLDVOL");
}
