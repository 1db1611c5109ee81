// Searching a table and linking it to a master: Locate and Lookup through the current index, a
// lookup clone or a value filter; master/detail links over a catalog's volumes and entries.

#include <gtest/gtest.h>

#include "dbsql/components/DbTable.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"

using namespace dbsql;
using namespace framework;
using dbsql::testsupport::Raised;

namespace {

struct TEntry {
    std::string File, Volume, Folder;
    int Size;
};

// A catalog: volumes (Cat_SUM, keyed by CatalogVolumeLabel) and their entries (Cat_CAT, the
// primary key case-insensitive over FileName, VolumeLabel, FolderName; "ByVolumeLabel" over
// VolumeLabel, FileName; "ByTag" over the auto-increment Tag).
struct Catalog : dbsql::testsupport::SessionFixture {
    TDbTable volumes, entries;
    TDataSource volumeSource, entrySource;
    const std::vector<TEntry> rows = {
        {"abz.txt", "DISK1", "\\abc\\", 10},      {"ABA.TXT", "DISK2", "\\docs\\", 20},
        {"abc.doc", "DISK1", "\\it's 50%*]", 30}, {"x.txt", "DISK2", "\\ab*", 40},
        {"b.txt", "DISK1", "\\abd\\", 50},
    };

    void SetUp() override {
        SessionFixture::SetUp();
        volumes.SetDatabaseName("D:\\");
        volumes.SetTableName("Cat_SUM");
        volumes.FieldDefs.Add("CatalogVolumeLabel", ftString, 11, true);
        volumes.FieldDefs.Add("DateFirstCataloged", ftDate, 0, false);
        volumes.IndexDefs.Add("", "CatalogVolumeLabel", ixPrimary | ixUnique);
        volumes.CreateTable();
        volumes.Open();
        volumes.AppendRecord({Variant("DISK1"), Variant::FromDateTime(EncodeDate(2001, 2, 3))});
        volumes.AppendRecord({Variant("DISK2"), Variant::FromDateTime(EncodeDate(2004, 5, 6))});
        volumes.AppendRecord({Variant("DISK3"), Variant()});
        volumes.First();

        entries.SetDatabaseName("D:\\");
        entries.SetTableName("Cat_CAT");
        entries.FieldDefs.Add("FileName", ftString, 12, true);
        entries.FieldDefs.Add("VolumeLabel", ftString, 11, false);
        entries.FieldDefs.Add("FolderName", ftString, 40, false);
        entries.FieldDefs.Add("FileSize", ftInteger, 0, false);
        entries.FieldDefs.Add("Tag", ftAutoInc, 0, false);
        entries.IndexDefs.Add("", "FileName;VolumeLabel;FolderName",
                              ixPrimary | ixUnique | ixCaseInsensitive);
        entries.IndexDefs.Add("ByVolumeLabel", "VolumeLabel;FileName", ixCaseInsensitive);
        entries.IndexDefs.Add("ByTag", "Tag", ixUnique);
        entries.CreateTable();
        entries.Open();
        for (const TEntry& e : rows)
            entries.AppendRecord({Variant(e.File), Variant(e.Volume), Variant(e.Folder), Variant(e.Size)});
        entries.First();
        volumeSource.SetDataSet(&volumes);
        entrySource.SetDataSet(&entries);
    }
    std::string File() { return entries.FieldByName("FileName")->AsString(); }
    std::vector<std::string> Files() {
        std::vector<std::string> out;
        for (entries.First(); !entries.Eof(); entries.Next()) out.push_back(File());
        return out;
    }
};

}  // namespace

TEST_F(Catalog, LocateFindsThroughTheIndexTheLookupCloneOrAValueFilter) {
    // Primary order: ABA.TXT, abc.doc, abz.txt, b.txt, x.txt.
    struct Case {
        std::string fields;
        Variant values;
        TLocateOptions options;
        std::string found;  // "" when nothing is found
    } cases[] = {
        // The current (case-insensitive) index: the first match in index order.
        {"FileName", Variant("ab"), loCaseInsensitive | loPartialKey, "ABA.TXT"},
        {"FileName", Variant("B.TXT"), loCaseInsensitive, "b.txt"},
        {"FileName", Variant("ab"), loCaseInsensitive, ""},
        {"FileName", Variant("ABZ*"), loCaseInsensitive | loPartialKey, "abz.txt"},
        {"FileName", Variant("*"), loCaseInsensitive | loPartialKey, "ABA.TXT"},
        // Case-sensitive on a case-insensitive index: a value filter in the current order.
        {"FileName", Variant("ab*"), loPartialKey, "abc.doc"},
        {"FileName", Variant("ABA.txt"), 0, ""},
        // A field no index leads: the value filter, current order.
        {"FolderName", Variant("\\ab*"), loPartialKey, "abz.txt"},
        {"FolderName", Variant("\\AB"), loPartialKey | loCaseInsensitive, "abz.txt"},
        {"FolderName", Variant("\\ab*"), 0, "x.txt"},  // without loPartialKey "*" is a character
        {"FolderName", Variant("\\it's 50%*]"), 0, "abc.doc"},
        {"FolderName", Variant("\\it's"), 0, ""},
        {"FileSize", Variant(40), 0, "x.txt"},
        // Through the clone ordered by "ByVolumeLabel" (leading fields) and by "ByTag".
        {"VolumeLabel;FileName", VarArrayOf({Variant("disk1"), Variant("B.TXT")}), loCaseInsensitive,
         "b.txt"},
        {"VolumeLabel", Variant("DISK2"), loCaseInsensitive, "ABA.TXT"},
        {"Tag", VarArrayOf({Variant(3)}), 0, "abc.doc"},
        {"Tag", Variant(9), 0, ""},
    };
    for (const Case& c : cases) {
        entries.Last();
        int after = 0;
        entries.AfterScroll = [&](TDataSet*) { ++after; };
        bool found = entries.Locate(c.fields, c.values, c.options);
        entries.AfterScroll = nullptr;
        EXPECT_EQ(found, !c.found.empty()) << c.fields << " " << c.values.AsString();
        EXPECT_EQ(File(), c.found.empty() ? "x.txt" : c.found) << c.fields;
        EXPECT_EQ(after, found ? 1 : 0) << c.fields;
        entries.Next();  // the cursor stands where the dataset does
        EXPECT_EQ(entries.Eof(), c.found.empty() || c.found == "x.txt") << c.fields;
    }
    EXPECT_EQ(Raised([&] { entries.Locate("Missing", Variant(1), 0); }), "Field 'Missing' not found");
}

TEST_F(Catalog, LookupAnswersWithoutMovingTheDataset) {
    entries.Next();
    entries.Next();
    ASSERT_EQ(File(), "abz.txt");
    EXPECT_EQ(entries.Lookup("FileName", Variant("x.txt"), "FolderName").AsString(), "\\ab*");
    EXPECT_EQ(File(), "abz.txt");
    Variant both = entries.Lookup("Tag", Variant(2), "FileName;FileSize");
    ASSERT_TRUE(both.IsArray());
    EXPECT_EQ(both[0].AsString(), "ABA.TXT");
    EXPECT_EQ(both[1].AsInteger(), 20);
    EXPECT_TRUE(entries.Lookup("FolderName", Variant("none"), "FileName").IsNull());
    EXPECT_EQ(File(), "abz.txt");
    entries.Next();
    EXPECT_EQ(File(), "b.txt");
    // A date through the value filter: the volume of 3 February 2001.
    EXPECT_EQ(
        volumes
            .Lookup("DateFirstCataloged", Variant::FromDateTime(EncodeDate(2001, 2, 3)), "CatalogVolumeLabel")
            .AsString(),
        "DISK1");
    EXPECT_EQ(volumes.Lookup("DateFirstCataloged", Variant(), "CatalogVolumeLabel").AsString(), "DISK3");
}

TEST_F(Catalog, SettingFilteredAlwaysGoesToTheFirstRecord) {
    entries.SetFilter("FileSize > 15");
    entries.Last();
    entries.SetFilteredValue(true);
    EXPECT_EQ(File(), "ABA.TXT");
    entries.Next();
    entries.SetFilteredValue(true);
    EXPECT_EQ(File(), "ABA.TXT");
    EXPECT_EQ(Files(), (std::vector<std::string>{"ABA.TXT", "abc.doc", "b.txt", "x.txt"}));
    EXPECT_TRUE(entries.Locate("FolderName", Variant("\\ab*"), 0));
    EXPECT_EQ(File(), "x.txt");
    EXPECT_FALSE(entries.Locate("FolderName", Variant("\\abc\\"), 0))
        << "a value filter walks what the filter shows";
}

TEST_F(Catalog, DetailShowsTheMastersVolumeAndFollowsItsScrolling) {
    entries.SetIndexFieldNames("VolumeLabel");
    entries.SetMasterFields("CatalogVolumeLabel");
    entries.SetMasterSource(&volumeSource);
    EXPECT_EQ(Files(), (std::vector<std::string>{"abc.doc", "abz.txt", "b.txt"}));
    volumes.Next();
    EXPECT_FALSE(entries.Modified()) << "the link values are written to a key, not to the record";
    EXPECT_EQ(Files(), (std::vector<std::string>{"ABA.TXT", "x.txt"}));
    volumes.Next();
    EXPECT_TRUE(entries.IsEmpty());

    // A new entry takes the master's volume.
    entries.Append();
    entries.FieldByName("FileName")->SetAsString("new.txt");
    EXPECT_EQ(entries.FieldByName("VolumeLabel")->AsString(), "DISK3");
    entries.Post();
    EXPECT_EQ(Files(), (std::vector<std::string>{"new.txt"}));

    std::vector<TField*> master, detail;
    entries.GetDetailLinkFields(master, detail);
    ASSERT_EQ(master.size(), 1u);
    EXPECT_EQ(master[0]->FieldName, "CatalogVolumeLabel");
    ASSERT_EQ(detail.size(), 2u);
    EXPECT_EQ(detail[0]->FieldName, "VolumeLabel");

    volumes.Close();
    EXPECT_EQ(Files().size(), 6u) << "without an active master the range goes";
    entries.SetMasterSource(nullptr);
}

TEST_F(Catalog, ACircularLinkIsRefused) {
    entries.SetIndexFieldNames("VolumeLabel");
    entries.SetMasterFields("CatalogVolumeLabel");
    entries.SetMasterSource(&volumeSource);
    volumes.SetMasterFields("VolumeLabel");
    EXPECT_EQ(Raised([&] { volumes.SetMasterSource(&entrySource); }), "Circular data links are not allowed.");
    EXPECT_EQ(Raised([&] { volumes.SetMasterSource(&volumeSource); }),
              "Circular data links are not allowed.");
    EXPECT_EQ(volumes.MasterSource(), nullptr);
    entries.SetMasterSource(nullptr);
}

TEST_F(Catalog, GotoCurrentMovesOntoTheOtherTablesRecord) {
    TDbTable other;
    other.SetDatabaseName("D:\\");
    other.SetTableName("Cat_CAT");
    other.SetIndexName("ByTag");
    other.Open();
    other.Last();
    entries.GotoCurrent(&other);
    EXPECT_EQ(File(), "b.txt");
    EXPECT_EQ(Raised([&] { entries.GotoCurrent(&volumes); }),
              "Source and destination tables are incompatible.");
}
