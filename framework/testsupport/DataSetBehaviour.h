#pragma once
// Behaviour every dataset of the class library shows, whatever keeps its records: navigation and
// the ends, bookmarks, editing with required fields, cancelling and deleting, searching, field
// events, old values, block reads and notifications. The tests run over a people dataset — ID
// (integer), Name (string 20, required), City (string 20) — that a TPeopleSource makes; a test
// program includes this header once and instantiates the suite with its sources:
//
//   INSTANTIATE_TEST_SUITE_P(Mem, DataSetBehaviour, ::testing::Values(TPeopleSourceParam{...}),
//                            PeopleSourceName);

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "framework/data/DataSet.h"
#include "framework/data/DataSource.h"

namespace framework::testsupport {

class TPeopleSource {
public:
    virtual ~TPeopleSource() = default;
    // The people dataset, closed at first; the same one for the source's life.
    virtual TDataSet& DataSet() = 0;
    // Gives the closed dataset the people's field definitions where no table supplies them.
    virtual void Define() {}
    // What a field write outside edit and insert raises.
    virtual std::string NotEditingMessage() const { return dbmsg::SNotEditing; }
};

struct TPeopleSourceParam {
    std::string Name;
    std::function<std::unique_ptr<TPeopleSource>()> Make;
};
inline void PrintTo(const TPeopleSourceParam& p, std::ostream* os) {
    *os << p.Name;
}
inline std::string PeopleSourceName(const ::testing::TestParamInfo<TPeopleSourceParam>& info) {
    return info.param.Name;
}

class DataSetBehaviour : public ::testing::TestWithParam<TPeopleSourceParam> {
protected:
    std::unique_ptr<TPeopleSource> Source{GetParam().Make()};
    TDataSet& ds{Source->DataSet()};

    void DefinePeople(TDataSet&) { Source->Define(); }
    // Opens the dataset with records 1..count whose Name fields read "Person <n>" and whose City
    // is Oslo for odd and Bergen for even numbers, on the first record.
    void Open(int count) {
        Source->Define();
        ds.Open();
        for (int i = 1; i <= count; ++i)
            ds.AppendRecord(
                {Variant(i), Variant("Person " + std::to_string(i)), Variant(i % 2 ? "Oslo" : "Bergen")});
        ds.First();
    }
    int Id() { return ds.FieldByName("ID")->AsInteger(); }
};

TEST_P(DataSetBehaviour, CancelledInsertLeavesTheDatasetOnTheRecordItStartedFrom) {
    Open(3);
    ds.Next();
    ds.Insert();
    ds.FieldByName("ID")->SetAsInteger(99);
    ds.Cancel();
    EXPECT_EQ(Id(), 2);
    EXPECT_EQ(ds.RecordCount(), 3);
}

TEST_P(DataSetBehaviour, EditOnAnEmptyDatasetStartsANewRecord) {
    DefinePeople(ds);
    ds.Open();
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Bof());
    EXPECT_TRUE(ds.Eof());
    ds.Edit();
    EXPECT_EQ(ds.State(), dsInsert);
    ds.FieldByName("ID")->SetAsInteger(1);
    ds.FieldByName("Name")->SetAsString("First");
    ds.Post();
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(Id(), 1);
}

TEST_P(DataSetBehaviour, RequiredFieldLeftEmptyRefusesThePost) {
    Open(1);
    ds.Append();
    ds.FieldByName("ID")->SetAsInteger(5);
    try {
        ds.Post();
        FAIL() << "post accepted a record without a name";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'Name' must have a value");
    }
    EXPECT_EQ(ds.State(), dsInsert);
    // The label, when set, names the field in the message.
    ds.FieldByName("Name")->SetDisplayLabel("Full name");
    EXPECT_THROW(
        {
            try {
                ds.Post();
            } catch (const EDatabaseError& e) {
                EXPECT_STREQ(e.what(), "Field 'Full name' must have a value");
                throw;
            }
        },
        EDatabaseError);
}

TEST_P(DataSetBehaviour, DeletingTheLastRecordMovesToTheNewLastOne) {
    Open(3);
    ds.Last();
    ds.Delete();
    EXPECT_EQ(Id(), 2);
    EXPECT_TRUE(ds.FieldByName("ID") != nullptr);
    ds.Delete();
    ds.Delete();
    EXPECT_TRUE(ds.IsEmpty());
    try {
        ds.Delete();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this operation on an empty dataset");
    }
}

TEST_P(DataSetBehaviour, NavigationReportsEndsAndDistanceMoved) {
    Open(5);
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.MoveBy(3), 3);
    EXPECT_EQ(Id(), 4);
    EXPECT_EQ(ds.MoveBy(10), 1);
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(Id(), 5);
    EXPECT_EQ(ds.MoveBy(1), 0);  // already at the end
    EXPECT_EQ(ds.MoveBy(-10), -4);
    EXPECT_TRUE(ds.Bof());
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 5);
    ds.SetRecNo(2);
    EXPECT_EQ(Id(), 2);
    int seen = 0;
    for (ds.Last(); !ds.Bof(); ds.Prior()) ++seen;
    EXPECT_EQ(seen, 5);
}

TEST_P(DataSetBehaviour, ClosedAndOpenDatasetRefuseWhatNeedsTheOtherState) {
    DefinePeople(ds);
    try {
        ds.First();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this operation on a closed dataset");
    }
    ds.Open();
    try {
        ds.AddField<TStringField>("Extra");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this operation on an open dataset");
    }
    try {
        ds.FieldByName("Nope");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'Nope' not found");
    }
    try {
        ds.FieldByName("City")->SetAsString("x");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.what(), Source->NotEditingMessage());
    }
    ds.SetName("Table1");  // a named dataset prefixes its messages with its name
    EXPECT_THROW(
        {
            try {
                ds.FieldByName("Nope");
            } catch (const EDatabaseError& e) {
                EXPECT_STREQ(e.what(), "Table1: Field 'Nope' not found");
                throw;
            }
        },
        EDatabaseError);
}

TEST_P(DataSetBehaviour, BookmarksReturnToTheirRecordAndCompareByPosition) {
    Open(10);
    ds.MoveBy(6);
    TBookmark b7 = ds.GetBookmark();
    ds.First();
    TBookmark b1 = ds.GetBookmark();
    ds.GotoBookmark(b7);
    EXPECT_EQ(Id(), 7);
    EXPECT_TRUE(ds.BookmarkValid(b7));
    EXPECT_LT(ds.CompareBookmarks(b1, b7), 0);
    EXPECT_GT(ds.CompareBookmarks(b7, b1), 0);
    EXPECT_EQ(ds.CompareBookmarks(b7, b7), 0);
    TBookmark nil;
    EXPECT_EQ(ds.CompareBookmarks(nil, nil), 0);
    EXPECT_EQ(ds.CompareBookmarks(b1, nil), -1);
    EXPECT_EQ(ds.CompareBookmarks(nil, b1), 1);
    ds.Delete();
    EXPECT_FALSE(ds.BookmarkValid(b7));
    ds.FreeBookmark(b7);
    EXPECT_TRUE(b7.empty());
}

TEST_P(DataSetBehaviour, LocateFindsByPartialAndCaseInsensitiveKeys) {
    Open(12);
    struct Case {
        const char* fields;
        Variant key;
        TLocateOptions options;
        int foundId;  // 0: not found
    };
    const Case cases[] = {
        {"Name", Variant("Person 7"), 0, 7},
        {"Name", Variant("person 7"), 0, 0},
        {"Name", Variant("person 7"), loCaseInsensitive, 7},
        {"Name", Variant("Person 1"), loPartialKey, 1},
        {"Name", Variant("PERSON 1"), loPartialKey | loCaseInsensitive, 1},
        {"Name", Variant("Person 1"), 0, 1},
        {"Name", Variant("Person 11"), loPartialKey, 11},
        {"City;ID", VarArrayOf({Variant("Bergen"), Variant(6)}), 0, 6},
        {"City;ID", VarArrayOf({Variant("Oslo"), Variant(6)}), 0, 0},
        {"ID", Variant(12), 0, 12},
        {"ID", VarArrayOf({Variant(3)}), 0, 3},
    };
    for (const Case& c : cases) {
        ds.SetRecNo(5);
        bool found = ds.Locate(c.fields, c.key, c.options);
        EXPECT_EQ(found, c.foundId != 0) << c.fields << " " << c.key.AsString();
        EXPECT_EQ(Id(), c.foundId ? c.foundId : 5) << c.fields;
    }
    EXPECT_THROW(ds.Locate("Nope", Variant(1), 0), EDatabaseError);
}

TEST_P(DataSetBehaviour, LookupNeverMovesTheDataset) {
    Open(8);
    ds.SetRecNo(3);
    int scrolls = 0;
    ds.AfterScroll = [&](TDataSet*) { ++scrolls; };
    EXPECT_EQ(ds.Lookup("ID", Variant(6), "Name").AsString(), "Person 6");
    EXPECT_TRUE(ds.Lookup("ID", Variant(60), "Name").IsNull());
    Variant both = ds.Lookup("Name", Variant("Person 8"), "ID;City");
    ASSERT_TRUE(both.IsArray());
    EXPECT_EQ(both[0].AsInteger(), 8);
    EXPECT_EQ(both[1].AsString(), "Bergen");
    EXPECT_EQ(Id(), 3);
    EXPECT_EQ(scrolls, 0);
    // The dataset still moves from where it was.
    ds.Next();
    EXPECT_EQ(Id(), 4);
}

TEST_P(DataSetBehaviour, DisableControlsHoldsNotificationsUntilEnabled) {
    Open(5);
    TDataSource source;
    source.SetDataSet(&ds);
    int changes = 0;
    source.OnDataChange = [&](TObject*, TField*) { ++changes; };
    ds.DisableControls();
    ds.DisableControls();
    ds.Next();
    ds.Last();
    EXPECT_EQ(changes, 0);
    ds.EnableControls();
    EXPECT_EQ(changes, 0);
    ds.EnableControls();
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(ds.ControlsDisabled());
}

TEST_P(DataSetBehaviour, FieldChangesNotifyValidateAndChangeHandlers) {
    Open(2);
    TField* city = ds.FieldByName("City");
    std::vector<std::string> seen;
    city->OnValidate = [&](TField* f) {
        seen.push_back("validate:" + f->AsString());
        if (f->AsString() == "Bad") throw EDatabaseError("bad city");
    };
    city->OnChange = [&](TField* f) { seen.push_back("change:" + f->AsString()); };
    ds.Edit();
    city->SetAsString("Paris");
    EXPECT_THROW(city->SetAsString("Bad"), EDatabaseError);
    EXPECT_EQ(city->AsString(), "Paris");  // the refused value was not written
    EXPECT_EQ(seen, (std::vector<std::string>{"validate:Paris", "change:Paris", "validate:Bad"}));
    EXPECT_TRUE(ds.Modified());
    ds.Post();
    EXPECT_EQ(city->AsString(), "Paris");
}

TEST_P(DataSetBehaviour, UnmodifiedEditIsCancelledByCheckBrowseMode) {
    Open(3);
    int posts = 0;
    ds.BeforePost = [&](TDataSet*) { ++posts; };
    ds.Edit();
    ds.Next();  // leaves edit state without posting: nothing changed
    EXPECT_EQ(posts, 0);
    EXPECT_EQ(Id(), 2);
    ds.Edit();
    ds.FieldByName("City")->SetAsString("Turku");
    ds.Next();  // a changed record is posted on the way
    EXPECT_EQ(posts, 1);
    ds.Prior();
    EXPECT_EQ(ds.FieldByName("City")->AsString(), "Turku");
}

TEST_P(DataSetBehaviour, DefaultFieldsComeFromDefinitionsAndGoAwayOnClose) {
    Open(1);
    EXPECT_TRUE(ds.DefaultFields());
    ASSERT_EQ(ds.FieldCount(), 3);
    EXPECT_NE(dynamic_cast<TIntegerField*>(ds.Fields[0]), nullptr);
    EXPECT_NE(dynamic_cast<TStringField*>(ds.Fields[1]), nullptr);
    EXPECT_EQ(ds.Fields[1]->Size(), 20);
    EXPECT_TRUE(ds.Fields[1]->Required);
    ds.Close();
    EXPECT_EQ(ds.FieldCount(), 0);
}

TEST_P(DataSetBehaviour, BlockReadWalksWithoutRedrawingControls) {
    Open(6);
    TDataSource source;
    source.SetDataSet(&ds);
    int changes = 0, scrolls = 0;
    struct Link : TDataLink {
        int *scrolls, *changes;
        void DataSetScrolled(int) override { ++*scrolls; }
        void DataSetChanged() override { ++*changes; }
    } link;
    link.scrolls = &scrolls;
    link.changes = &changes;
    link.SetDataSource(&source);
    changes = 0;
    ds.SetBlockReadSizeValue(100);
    EXPECT_EQ(ds.State(), dsBlockRead);
    std::vector<int> ids;
    while (!ds.Eof()) {
        ids.push_back(Id());
        ds.Next();
    }
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(scrolls, 5);
    EXPECT_EQ(changes, 0);
    ds.SetBlockReadSizeValue(0);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(Id(), 6);
}

TEST_P(DataSetBehaviour, OldValueKeepsWhatWasReadBeforeEditing) {
    Open(2);
    TField* city = ds.FieldByName("City");
    ds.Edit();
    city->SetAsString("Changed");
    EXPECT_EQ(city->OldValue().AsString(), "Oslo");
    EXPECT_EQ(city->NewValue().AsString(), "Changed");
    city->SetNewValue(Variant("Newer"));
    EXPECT_EQ(city->AsString(), "Newer");
    ds.Post();
}

}  // namespace framework::testsupport
