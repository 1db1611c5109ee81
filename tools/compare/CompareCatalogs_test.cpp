// The catalog comparison over catalogs made by cataloguing runs: the merge's three sets, the key
// order against the engine's own sort, the window's refusals, statistics and result panels, and
// the report windows over the comparison tables.

#include "tools/compare/CompareCatalogsForm.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "catalog/SelectCatalogForm.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "cataloging/testsupport/ArchiveBuilders.h"
#include "controls/entry/CtlAttachedButton.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "platform/Beep.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/testsupport/CatalogRunHelper.h"

namespace tools {
namespace {

using namespace framework;
using reports::testsupport::TVolumeFile;

using TCompareRows = std::vector<std::string>;
using TCompareVolumes = std::vector<std::pair<std::string, std::vector<TVolumeFile>>>;

class CompareCatalogsTest : public catalog::testsupport::TCatalogFixture {
protected:
    platform::testsupport::ScopedUserEnv Env;
    TCompareCatalogsForm* Form = nullptr;
    uint32_t Serial = 0x2000;

    void SetUp() override {
        TCatalogFixture::SetUp();
        auto categories = Table("Categories");
        catalog::DefineTable(*categories, catalog::CategoriesSchema());
        categories->CreateTable();
        catalog::OpenReportCount = 0;
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
        catalog::OpenReportCount = 0;
        TCatalogFixture::TearDown();
    }

    // A catalog made by one run per volume; with Archives the run lists the members of ARC files.
    void MakeCatalog(const std::string& Name, const TCompareVolumes& Volumes, bool Archives = false) {
        reports::testsupport::CreateRunCatalog(Name);
        if (Archives) {
            auto cfg = Table("CatalogConfigs");
            cfg->Open();
            ASSERT_TRUE(cfg->FindKey({Variant(Name)}));
            cfg->Edit();
            cfg->FieldByName("ExpandArchives")->SetAsString("Always");
            cfg->FieldByName("DoARC")->SetAsString("True");
            cfg->Post();
            cfg->Close();
        }
        for (const auto& [label, files] : Volumes)
            reports::testsupport::CatalogVolumeByRun("D=" + Root.Path(), label, files, ++Serial);
    }
    static std::string Bytes(size_t Count) { return std::string(Count, 'x'); }

    void Open(const std::string& Current) {
        catalog::CurrentCatalogName = Current;
        Form = TCustomForm::Create<TCompareCatalogsForm>(Application);
        Form->Show();
        Driver.RunPending();
    }
    // Chooses Name in the catalog picker for side 0 or 1 (an empty name cancels the picker).
    void Pick(int Side, const std::string& Name) {
        if (Name.empty()) {
            Driver.Answer(mrCancel);
        } else {
            Driver.AnswerWith([Name](TCustomForm& f) {
                auto& picker = dynamic_cast<catalog::TSelectCatalogForm&>(f);
                EXPECT_FALSE(picker.MakeCurrent);
                ASSERT_TRUE(picker.CfgTable2->FindKey({Variant(Name)}));
                picker.SelectBtnClick();
            });
        }
        Driver.Click(Side == 0 ? static_cast<TControl&>(*Form->SelCat1Btn) : *Form->SelCat2Btn);
        Driver.RunPending();
    }
    void Perform(bool Archives = false, bool Sizes = false) {
        Form->IncludeFilesInArcs->SetChecked(Archives);
        Form->UseFileSize->SetChecked(Sizes);
        Driver.Click(*Form->BitBtn1);
        Driver.RunPending();
    }
    // Files and bytes of the three sets as the panels show them.
    TCompareRows Panels() const {
        TCompareRows out;
        for (TPanel* p :
             {Form->UC1Files, Form->UC1Bytes, Form->CBFiles, Form->CBBytes, Form->UC2Files, Form->UC2Bytes})
            out.push_back(p->Caption());
        return out;
    }
    // Which "View This Report" buttons show (and are enabled), as three letters.
    std::string Buttons() const {
        std::string out;
        for (TBitBtn* b : {Form->UC1Btn, Form->CBBtn, Form->UC2Btn})
            out += b->Visible() && b->Enabled() ? 'V' : (b->Visible() || b->Enabled() ? '?' : '-');
        return out;
    }
    // "name|volume|folder|archive|fromarc" of every record of a comparison table, in its order.
    TCompareRows SetRows(const std::string& TableName, const std::string& Catalog) {
        std::map<int, std::string> byTag;
        auto cat = Table(Catalog + "_CAT");
        cat->Open();
        for (cat->First(); !cat->Eof(); cat->Next())
            byTag[cat->FieldByName("Tag")->AsInteger()] = cat->FieldByName("FileName")->AsString() + "|" +
                                                          cat->FieldByName("VolumeLabel")->AsString() + "|" +
                                                          cat->FieldByName("FolderName")->AsString() + "|" +
                                                          cat->FieldByName("ArchiveID")->AsString();
        cat->Close();
        TCompareRows rows;
        auto t = Table(TableName);
        t->Open();
        for (t->First(); !t->Eof(); t->Next())
            rows.push_back(byTag[t->FieldByName("FTag")->AsInteger()] + "|" +
                           t->FieldByName("FromArc")->AsString());
        t->Close();
        return rows;
    }
    bool Exists(const std::string& Name) { return Table(Name)->Exists(); }
    // The names the report window's query shows, in order.
    static TCompareRows ReportRows(reports::TFileReportScreenForm& F) {
        TCompareRows out;
        for (F.Query->First(); !F.Query->Eof(); F.Query->Next())
            out.push_back(F.Query->FieldByName("FileName")->AsString() + "|" +
                          F.Query->FieldByName("VolumeLabel")->AsString());
        return out;
    }
};

TEST(CompareKeyTest, NamesComeFirstInByteOrderThenSizesAsNumbers) {
    struct TCase {
        TCompareKey A, B;
        int Order;
    };
    const TCase cases[] = {
        {{"AB", 5}, {"AB-", 1}, -1},  // a name before its extensions, whatever the sizes
        {{"AB-", 1}, {"AB0", 0}, -1},
        {{"README.TXT", 0}, {"readme.txt", 0}, -1},  // capitals first: case counts
        {{"Z", 0}, {"a", 0}, -1},
        {{"Z", 0}, {"\xC9T\xC9", 0}, -1},                     // letters above 0x7F after the plain ones
        {{"X", 999999999999LL}, {"X", 1000000000000LL}, -1},  // sizes of 10^12 and more
        {{"X", 1234}, {"X", 1234}, 0},
        {{"X", -1}, {"X", 0}, -1},
    };
    for (const TCase& c : cases) {
        const int ab = CompareKeys(c.A, c.B), ba = CompareKeys(c.B, c.A);
        EXPECT_EQ(ab < 0 ? -1 : ab > 0 ? 1 : 0, c.Order) << c.A.Name << " " << c.A.Size << " / " << c.B.Name;
        EXPECT_EQ(ba < 0 ? -1 : ba > 0 ? 1 : 0, -c.Order) << c.B.Name;
    }
}

TEST(CompareKeyTest, TheCatalogQueryNamesItsTableQuotedAndOrdersCaseSensitively) {
    EXPECT_EQ(CompareCatalogSql("CAT1", false, false),
              (TCompareRows{"Select FileName,VolumeLabel,FolderName,ArchiveID,FileSize,Tag From \"CAT1_CAT\"",
                            "Where ArchiveID = \"\"", "Order By FileName,VolumeLabel,FolderName,ArchiveID"}));
    EXPECT_EQ(
        CompareCatalogSql("MY CAT", true, true),
        (TCompareRows{"Select FileName,VolumeLabel,FolderName,ArchiveID,FileSize,Tag From \"MY CAT_CAT\"",
                      "Order By FileName,FileSize,VolumeLabel,FolderName,ArchiveID"}));
}

TEST_F(CompareCatalogsTest, KeysFollowTheOrderTheEngineSortsNamesIn) {
    // The merge reads each query in the engine's order; its key comparison must never disagree.
    auto t = Table("Names");
    t->FieldDefs.Add("FileName", ftString, 60, false);
    t->FieldDefs.Add("FileSize", ftBCD, 0, false);
    t->CreateTable();
    t->Open();
    const std::pair<const char*, int64_t> names[] = {
        {"readme.txt", 1},
        {"AB-", 1},
        {"README.TXT", 2},
        {"AB", 5},
        {"\xE9t\xE9", 1},
        {"Ab", 1},
        {"AB", 3},
        {"a b", 1},
        {"\xC9T\xC9", 1},
        {"AB0", 1},
        {"X", 1000000000000LL},
        {"X", 999999999999LL},
        {"_", 1},
        {"README.TXT", 1},
    };
    for (const auto& [name, size] : names) {
        t->Append();
        t->FieldByName("FileName")->SetAsString(name);
        t->FieldByName("FileSize")->SetAsString(std::to_string(size));
        t->Post();
    }
    t->Close();
    dbsql::TDbQuery q;
    q.SetDatabaseName("D:\\");
    q.SQL().Add("Select FileName, FileSize From \"Names\"");
    q.SQL().Add("Order By FileName,FileSize");
    q.Open();
    ASSERT_EQ(q.RecordCount(), int(std::size(names)));
    TCompareKey previous;
    bool first = true;
    for (q.First(); !q.Eof(); q.Next()) {
        const TCompareKey key{q.FieldByName("FileName")->AsString(),
                              std::stoll(q.FieldByName("FileSize")->AsString())};
        if (!first) {
            EXPECT_LE(CompareKeys(previous, key), 0) << previous.Name << " before " << key.Name;
        }
        previous = key;
        first = false;
    }
    q.Close();
}

TEST_F(CompareCatalogsTest, TwoEmptyCatalogsGiveNothingInEverySet) {
    MakeCatalog("EMPTY1", {});
    MakeCatalog("EMPTY2", {});
    Open("EMPTY1");
    Pick(1, "EMPTY2");
    Perform();
    EXPECT_EQ(Panels(), (TCompareRows{"0", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(Buttons(), "---");
    EXPECT_TRUE(Texts().empty());
    for (const char* name : {"CCUnique1", "CCCommon", "CCUnique2"}) EXPECT_TRUE(Exists(name)) << name;
}

TEST_F(CompareCatalogsTest, OnlyTheFirstEntryOfAKeyCountsAndCaseMakesADifferentKey) {
    MakeCatalog("CAT1", {{"VOL1", {{"README.TXT", Bytes(1234)}, {"ONE.DAT", "1"}}},
                         {"VOL2", {{"readme.txt", "22"}}},
                         {"VOL3", {{"README.TXT", "333"}}},
                         {"VOL4", {{"DOCS/README.TXT", "4444"}}}});
    MakeCatalog("CAT2", {{"DISK", {{"README.TXT", "55555"}, {"TWO.DAT", "22"}, {"TWO.DAT2", "1"}}}});
    Open("CAT1");
    Pick(1, "CAT2");
    Perform();
    // README.TXT is common once, as catalog 1's first entry (VOL1); readme.txt is another key.
    EXPECT_EQ(SetRows("CCCommon", "CAT1"), TCompareRows{"README.TXT|VOL1|\\||N"});
    EXPECT_EQ(SetRows("CCUnique1", "CAT1"), (TCompareRows{"ONE.DAT|VOL1|\\||N", "readme.txt|VOL2|\\||N"}));
    EXPECT_EQ(SetRows("CCUnique2", "CAT2"), (TCompareRows{"TWO.DAT|DISK|\\||N", "TWO.DAT2|DISK|\\||N"}));
    EXPECT_EQ(Panels(), (TCompareRows{"2", "3", "1", "1,234", "2", "3"}));
    EXPECT_EQ(Buttons(), "VVV");

    // With sizes the README.TXT of catalog 2 matches none of catalog 1's.
    Perform(false, true);
    EXPECT_EQ(SetRows("CCCommon", "CAT1"), TCompareRows{});
    EXPECT_EQ(SetRows("CCUnique1", "CAT1").size(), 5u);  // three README.TXT of three sizes
    EXPECT_EQ(SetRows("CCUnique2", "CAT2").size(), 3u);
    EXPECT_EQ(Buttons(), "V-V");
}

TEST_F(CompareCatalogsTest, SizesKeepNameOrderSoANameAndItsLongerNeighbourBothMatch) {
    struct TCase {
        std::vector<TVolumeFile> First, Second;
        size_t Unique1, Common, Unique2;
    };
    const TCase cases[] = {
        // The same in both catalogs: both entries common.
        {{{"AB", Bytes(5)}, {"AB-", Bytes(1)}}, {{"AB", Bytes(5)}, {"AB-", Bytes(1)}}, 0, 2, 0},
        // AB- with its size after AB in name order, though "AB-" + size sorts before "AB" + size.
        {{{"AB", Bytes(5)}, {"AB-", Bytes(1)}}, {{"AB-", Bytes(1)}}, 1, 1, 0},
        // Sizes compared as numbers: 10 and 9 bytes are different keys in both.
        {{{"N.DAT", Bytes(10)}}, {{"N.DAT", Bytes(9)}}, 1, 0, 1},
    };
    int n = 0;
    for (const TCase& c : cases) {
        const std::string a = "SA" + std::to_string(n), b = "SB" + std::to_string(n);
        ++n;
        MakeCatalog(a, {{"V1", c.First}});
        MakeCatalog(b, {{"V2", c.Second}});
        if (Form) Form->Free();
        Open(a);
        Pick(1, b);
        Perform(false, true);
        EXPECT_EQ(SetRows("CCUnique1", a).size(), c.Unique1) << n;
        EXPECT_EQ(SetRows("CCCommon", a).size(), c.Common) << n;
        EXPECT_EQ(SetRows("CCUnique2", b).size(), c.Unique2) << n;
    }
}

TEST_F(CompareCatalogsTest, ArchiveMembersTakePartOnlyWhenAsked) {
    const auto arc = cataloging::testsupport::ArcArchive({{"INNER.TXT", 10, 4}}, true);
    MakeCatalog("ARCS", {{"VOL1", {{"PACK.ARC", std::string(arc.begin(), arc.end())}}}}, true);
    MakeCatalog("PLAIN", {{"VOL2", {{"INNER.TXT", Bytes(10)}}}});
    Open("ARCS");
    Pick(1, "PLAIN");
    Perform(false);
    EXPECT_EQ(SetRows("CCUnique1", "ARCS"), TCompareRows{"PACK.ARC|VOL1|\\||N"});
    EXPECT_EQ(SetRows("CCCommon", "ARCS"), TCompareRows{});
    EXPECT_EQ(SetRows("CCUnique2", "PLAIN"), TCompareRows{"INNER.TXT|VOL2|\\||N"});
    Perform(true);
    EXPECT_EQ(SetRows("CCUnique1", "ARCS"), TCompareRows{"PACK.ARC|VOL1|\\||N"});
    EXPECT_EQ(SetRows("CCCommon", "ARCS"), TCompareRows{"INNER.TXT|VOL1|\\|PACK.ARC|Y"});
    EXPECT_EQ(SetRows("CCUnique2", "PLAIN"), TCompareRows{});
    EXPECT_EQ(Panels(), (TCompareRows{"1", std::to_string(arc.size()), "1", "10", "0", "0"}));
}

TEST_F(CompareCatalogsTest, MissingAndEqualCatalogsAreRefusedAtPerform) {
    MakeCatalog("CAT1", {{"VOL1", {{"A.TXT", "1"}}}});
    Open("");
    EXPECT_EQ(Form->Caption(), "Compare Catalogs");
    EXPECT_EQ(Form->Catalog1->Caption(), "");
    Perform();
    Pick(0, "CAT1");
    Perform();
    // The same catalog on both sides is taken when chosen and refused when compared.
    Pick(1, "CAT1");
    EXPECT_EQ(Form->Catalog2->Caption(), "CAT1");
    Perform();
    EXPECT_EQ(Texts(), (TCompareRows{"Please Select A Catalog For Catalog #1 First",
                                     "Please Select A Catalog For Catalog #2 First",
                                     "Please Select Two Different Catalolgs"}));
    EXPECT_EQ(platform::BeepHistory().size(), 3u);
    for (const char* name : {"CCUnique1", "CCCommon", "CCUnique2"}) EXPECT_FALSE(Exists(name)) << name;
}

TEST_F(CompareCatalogsTest, StatisticsComeFromTheSummaryAndAnUnreadableOneIsNotChosen) {
    MakeCatalog("CAT1", {{"VOL1", {{"A.TXT", "1"}, {"B.TXT", "2"}}}, {"VOL2", {{"C.TXT", "3"}}}});
    MakeCatalog("NOSUM", {{"VOL1", {{"A.TXT", "1"}}}});
    {
        auto sum = Table("CAT1_SUM");
        sum->Open();
        int64_t used = 1234567890;
        for (sum->First(); !sum->Eof(); sum->Next()) {
            sum->Edit();
            sum->FieldByName("DiskUsed")->SetAsString(std::to_string(used));
            sum->Post();
            used = 5;
        }
        sum->Close();
        Table("NOSUM_SUM")->DeleteTable();
    }
    // The current catalog's summary missing: catalog #1 is simply not chosen.
    Open("NOSUM");
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(Form->Catalog1->Caption(), "");
    EXPECT_EQ(Form->SummaryTable1->TableName(), "");
    Pick(0, "CAT1");
    EXPECT_EQ(Form->Catalog1->Caption(), "CAT1");
    EXPECT_EQ((TCompareRows{Form->Disks1->Caption(), Form->Files1->Caption(), Form->Bytes1->Caption()}),
              (TCompareRows{"2", "3", "1,234,567,895"}));
    Pick(1, "NOSUM");
    EXPECT_EQ(Texts(), TCompareRows{"Error Determining Disk/File/Byte Statistics For The Selected Catalog"});
    EXPECT_EQ(Form->Catalog2->Caption(), "");
    EXPECT_EQ(Form->Files2->Caption(), "");
    Perform();
    EXPECT_EQ(Texts().back(), "Please Select A Catalog For Catalog #2 First");
}

TEST_F(CompareCatalogsTest, ReportWindowsShowTheSetsAndCloseBeforeTheTablesChange) {
    MakeCatalog("CAT1",
                {{"VOL1", {{"README.TXT", "1"}, {"ONLY1.TXT", "1"}}}, {"VOL2", {{"README.TXT", "1"}}}});
    MakeCatalog("CAT2", {{"DISK", {{"README.TXT", "1"}, {"ONLY2.TXT", "1"}}}});
    Open("CAT1");
    Pick(1, "CAT2");
    Perform();
    ASSERT_EQ(Buttons(), "VVV");
    Driver.Click(*Form->CBBtn);
    Driver.Click(*Form->UC2Btn);
    Driver.RunPending();
    ASSERT_TRUE(Form->ReportOpen[1] && Form->ReportOpen[2]);
    reports::TFileReportScreenForm& common = *Form->Reports[1];
    EXPECT_EQ(common.ReportTitle, "Common To \"CAT1\" and \"CAT2\"");
    EXPECT_EQ(Form->Reports[2]->ReportTitle, "Unique To \"CAT2\"");
    EXPECT_EQ(ReportRows(common), TCompareRows{"README.TXT|VOL1"});
    EXPECT_EQ(ReportRows(*Form->Reports[2]), TCompareRows{"ONLY2.TXT|DISK"});
    // Every column but the category code.
    EXPECT_EQ(common.ColumnPos[8], 0);
    EXPECT_EQ(common.ColumnPos[10], 10);
    EXPECT_EQ(catalog::OpenReportCount, 2);
    // A second click brings the open window forward instead of making another.
    Driver.Click(*Form->CBBtn);
    Driver.RunPending();
    EXPECT_EQ(catalog::OpenReportCount, 2);

    // Closing a report keeps its table; choosing a catalog, even cancelled, closes the others.
    Form->Reports[2]->Close();
    Driver.RunPending();
    EXPECT_FALSE(Form->ReportOpen[2]);
    EXPECT_TRUE(Exists("CCUnique2"));
    EXPECT_EQ(catalog::OpenReportCount, 1);
    Pick(0, "");
    EXPECT_FALSE(Form->ReportOpen[1]);
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_EQ(Buttons(), "VVV") << "a cancelled choice keeps the results";

    // A new comparison closes the open reports before it makes the tables anew.
    Driver.Click(*Form->UC1Btn);
    Driver.RunPending();
    EXPECT_EQ(Form->Reports[0]->ReportTitle, "Unique To \"CAT1\"");
    EXPECT_EQ(catalog::OpenReportCount, 1);
    Perform();
    EXPECT_FALSE(Form->ReportOpen[0]);
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_EQ(SetRows("CCUnique1", "CAT1"), TCompareRows{"ONLY1.TXT|VOL1|\\||N"});

    // Closing the compare window closes its reports and deletes the three tables.
    Driver.Click(*Form->CBBtn);
    Driver.RunPending();
    if (const char* dir = std::getenv("KORVANE_GRABS")) Driver.Grab(*Form, std::string(dir) + "/compare.png");
    EXPECT_EQ(catalog::OpenReportCount, 1);
    Form->Close();
    Driver.RunPending();
    EXPECT_EQ(catalog::OpenReportCount, 0);
    for (const char* name : {"CCUnique1", "CCCommon", "CCUnique2"}) EXPECT_FALSE(Exists(name)) << name;
}

TEST_F(CompareCatalogsTest, ANewChoiceClearsTheResultsAndCancelDuringTheMergeLeavesThemEmpty) {
    MakeCatalog("CAT1", {{"VOL1", {{"A.TXT", "1"}, {"B.TXT", "1"}, {"C.TXT", "1"}}}});
    MakeCatalog("CAT2", {{"VOL1", {{"B.TXT", "1"}}}});
    Open("CAT1");
    Pick(1, "CAT2");
    Perform();
    ASSERT_EQ(Buttons(), "VV-");
    Pick(1, "CAT2");
    EXPECT_EQ(Panels(), (TCompareRows{"", "", "", "", "", ""}));
    EXPECT_EQ(Buttons(), "---");

    int scrolls = 0;
    Form->Query1->AfterScroll = [&scrolls](TDataSet*) {
        if (++scrolls == 2) catalog::ProgressForm->CancelBtnClick();
    };
    Perform();
    EXPECT_GE(scrolls, 2);
    EXPECT_EQ(Panels(), (TCompareRows{"", "", "", "", "", ""}));
    EXPECT_EQ(Buttons(), "---");
    EXPECT_TRUE(Texts().empty());
    EXPECT_TRUE(Form->Enabled());
    EXPECT_FALSE(catalog::ProgressForm->Visible());
    EXPECT_EQ(Windows.back(), "progress Performing Comparison (cancel)");
}

}  // namespace
}  // namespace tools
