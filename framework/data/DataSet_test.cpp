// Behaviour of the dataset framework over the in-memory test dataset: states and events,
// navigation and the buffer ring, editing with error events, bookmarks, searching and filters.
// What every dataset shows is in testsupport/DataSetBehaviour.h, run here over the in-memory one.

#include "framework/data/DataSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/Stream.h"
#include "framework/data/DataSource.h"
#include "framework/testsupport/DataSetBehaviour.h"
#include "framework/testsupport/MemDataSet.h"

using namespace framework;
using framework::testsupport::DataSetBehaviour;
using framework::testsupport::TMemDataSet;

namespace {

// A table of people: ID, Name (required), City.
void DefinePeople(TMemDataSet& ds) {
    ds.FieldDefs.Add("ID", ftInteger);
    ds.FieldDefs.Add("Name", ftString, 20, true);
    ds.FieldDefs.Add("City", ftString, 20);
}

void AddPeople(TMemDataSet& ds, int count) {
    for (int i = 1; i <= count; ++i)
        ds.AppendRecord(
            {Variant(i), Variant("Person " + std::to_string(i)), Variant(i % 2 ? "Oslo" : "Bergen")});
    ds.First();
}

// Opens a data set with records 1..count whose Name fields read "Person <n>".
struct People : ::testing::Test {
    TMemDataSet ds;
    void Open(int count) {
        DefinePeople(ds);
        ds.Open();
        AddPeople(ds, count);
    }
    int Id() { return ds.FieldByName("ID")->AsInteger(); }
};

// Records every dataset event and every state change seen by a data source.
struct EventLog {
    std::vector<std::string> items;
    TDataSource source;
    TDataSet& ds;

    ~EventLog() {
        // The dataset may outlive the log (and fires close events when it goes).
        for (auto* e : {&ds.BeforeInsert, &ds.AfterInsert, &ds.BeforeEdit, &ds.AfterEdit, &ds.BeforePost,
                        &ds.AfterPost, &ds.BeforeCancel, &ds.AfterCancel, &ds.BeforeDelete, &ds.AfterDelete,
                        &ds.BeforeScroll, &ds.AfterScroll, &ds.OnNewRecord, &ds.BeforeOpen, &ds.AfterOpen,
                        &ds.BeforeClose, &ds.AfterClose, &ds.BeforeRefresh, &ds.AfterRefresh})
            *e = nullptr;
    }

    explicit EventLog(TDataSet& d) : ds(d) {
        auto add = [this](const char* name) { return [this, name](TDataSet*) { items.push_back(name); }; };
        ds.BeforeInsert = add("BeforeInsert");
        ds.AfterInsert = add("AfterInsert");
        ds.BeforeEdit = add("BeforeEdit");
        ds.AfterEdit = add("AfterEdit");
        ds.BeforePost = add("BeforePost");
        ds.AfterPost = add("AfterPost");
        ds.BeforeCancel = add("BeforeCancel");
        ds.AfterCancel = add("AfterCancel");
        ds.BeforeDelete = add("BeforeDelete");
        ds.AfterDelete = add("AfterDelete");
        ds.BeforeScroll = add("BeforeScroll");
        ds.AfterScroll = add("AfterScroll");
        ds.OnNewRecord = add("OnNewRecord");
        ds.BeforeOpen = add("BeforeOpen");
        ds.AfterOpen = add("AfterOpen");
        ds.BeforeClose = add("BeforeClose");
        ds.AfterClose = add("AfterClose");
        ds.BeforeRefresh = add("BeforeRefresh");
        ds.AfterRefresh = add("AfterRefresh");
        source.SetDataSet(&ds);
        source.OnStateChange = [this](TObject* s) {
            static const char* const names[] = {"inactive", "browse",   "edit",      "insert",
                                                "setkey",   "calc",     "filter",    "newvalue",
                                                "oldvalue", "curvalue", "blockread", "internalcalc"};
            items.push_back(std::string("state:") + names[static_cast<TDataSource*>(s)->State()]);
        };
    }
    std::string Take() {
        std::string out;
        for (auto& s : items) out += (out.empty() ? "" : " ") + s;
        items.clear();
        return out;
    }
};

}  // namespace

TEST_F(People, EditingOperationsMoveThroughStatesAndFireEventsInOrder) {
    Open(3);
    EventLog log(ds);
    ds.Next();
    log.Take();
    struct Step {
        const char* what;
        std::function<void()> run;
        const char* events;
        TDataSetState state;
    };
    std::vector<Step> steps = {
        {"insert", [&] { ds.Insert(); },
         "BeforeInsert BeforeScroll state:insert OnNewRecord AfterInsert AfterScroll", dsInsert},
        {"post insert",
         [&] {
             ds.FieldByName("ID")->SetAsInteger(10);
             ds.FieldByName("Name")->SetAsString("New");
             ds.Post();
         },
         "BeforePost state:browse AfterPost", dsBrowse},
        {"append", [&] { ds.Append(); },
         "BeforeInsert BeforeScroll state:insert OnNewRecord AfterInsert AfterScroll", dsInsert},
        {"cancel append", [&] { ds.Cancel(); }, "BeforeCancel state:browse AfterCancel", dsBrowse},
        {"edit", [&] { ds.Edit(); }, "BeforeEdit state:edit AfterEdit", dsEdit},
        {"post edit",
         [&] {
             ds.FieldByName("City")->SetAsString("Rome");
             ds.Post();
         },
         "BeforePost state:browse AfterPost", dsBrowse},
        {"edit again", [&] { ds.Edit(); }, "BeforeEdit state:edit AfterEdit", dsEdit},
        {"cancel edit", [&] { ds.Cancel(); }, "BeforeCancel state:browse AfterCancel", dsBrowse},
        {"delete", [&] { ds.Delete(); }, "BeforeDelete BeforeScroll AfterDelete AfterScroll", dsBrowse},
        {"refresh", [&] { ds.Refresh(); }, "BeforeRefresh AfterRefresh", dsBrowse},
        {"close", [&] { ds.Close(); }, "BeforeClose state:inactive AfterClose", dsInactive},
        {"open", [&] { ds.Open(); }, "BeforeOpen state:browse AfterOpen AfterScroll", dsBrowse},
    };
    for (auto& step : steps) {
        step.run();
        EXPECT_EQ(log.Take(), step.events) << step.what;
        EXPECT_EQ(ds.State(), step.state) << step.what;
    }
    // 10 went in before 2; the cancelled append left the dataset on the last record, 3, which was
    // then edited and deleted.
    std::vector<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next()) ids.push_back(Id());
    EXPECT_EQ(ids, (std::vector<int>{1, 10, 2}));
}

TEST_F(People, InsertPlacesTheRecordBeforeTheCurrentOneAndAppendAtTheEnd) {
    Open(3);
    ds.Next();  // on 2
    ds.InsertRecord({Variant(20), Variant("Inserted")});
    EXPECT_EQ(Id(), 20);
    ds.AppendRecord({Variant(30), Variant("Appended")});
    EXPECT_EQ(Id(), 30);
    std::vector<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next()) ids.push_back(Id());
    EXPECT_EQ(ids, (std::vector<int>{1, 20, 2, 3, 30}));
}

TEST_F(People, PostErrorEventDecidesBetweenFailAbortAndRetry) {
    struct Case {
        TDataAction action;
        int failures;
        bool throwsDatabaseError, throwsAbort;
        TDataSetState stateAfter;
        int attempts, storedAfter;
    };
    const Case cases[] = {
        {daFail, 1, true, false, dsInsert, 1, 1},
        {daAbort, 1, false, true, dsInsert, 1, 1},
        {daRetry, 2, false, false, dsBrowse, 3, 2},
    };
    for (const Case& c : cases) {
        TMemDataSet t;
        DefinePeople(t);
        t.Open();
        AddPeople(t, 1);
        int events = 0;
        std::string message;
        t.OnPostError = [&](TDataSet*, EDatabaseError& e, TDataAction& action) {
            ++events;
            message = e.Message;
            action = c.action;
        };
        t.Append();
        t.FieldByName("ID")->SetAsInteger(2);
        t.FieldByName("Name")->SetAsString("Two");
        t.FailingPosts = c.failures;
        t.PostAttempts = 0;
        bool dbError = false, aborted = false;
        try {
            t.Post();
        } catch (const EAbort&) {
            aborted = true;
        } catch (const EDatabaseError&) {
            dbError = true;
        }
        EXPECT_EQ(dbError, c.throwsDatabaseError) << int(c.action);
        EXPECT_EQ(aborted, c.throwsAbort) << int(c.action);
        EXPECT_EQ(t.State(), c.stateAfter) << int(c.action);
        EXPECT_EQ(t.PostAttempts, c.attempts) << int(c.action);
        EXPECT_EQ(t.StoredCount(), c.storedAfter) << int(c.action);
        EXPECT_EQ(events, c.failures) << int(c.action);
        EXPECT_EQ(message, "Key violation");
    }
}

TEST_F(People, EditErrorEventRetriesUntilTheRecordCanBeLocked) {
    Open(2);
    int asked = 0;
    ds.OnEditError = [&](TDataSet*, EDatabaseError& e, TDataAction& action) {
        EXPECT_EQ(e.Message, "Record locked by another user");
        action = ++asked < 3 ? daRetry : daFail;
    };
    ds.FailingEdits = 2;
    ds.Edit();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
    ds.FailingEdits = 5;
    EXPECT_THROW(ds.Edit(), EDatabaseError);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(ds.State(), dsBrowse);
}

TEST_F(People, DeleteErrorEventWithAbortKeepsTheRecord) {
    Open(2);
    ds.OnDeleteError = [](TDataSet*, EDatabaseError&, TDataAction& action) { action = daAbort; };
    ds.FailingDeletes = 1;
    EXPECT_THROW(ds.Delete(), EAbort);
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(Id(), 1);
    ds.Delete();
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(Id(), 2);
}

TEST_F(People, ReadOnlyDatasetRefusesEditing) {
    Open(1);
    ds.ReadOnly = true;
    EXPECT_THROW(ds.Edit(), EDatabaseError);
    EXPECT_THROW(ds.Append(), EDatabaseError);
    EXPECT_EQ(ds.State(), dsBrowse);
}

TEST(DataSetFields, LookupFieldShowsTheLookedUpValue) {
    TMemDataSet cities;
    cities.FieldDefs.Add("Code", ftString, 3);
    cities.FieldDefs.Add("CityName", ftString, 20);
    cities.Open();
    cities.AppendRecord({Variant("OSL"), Variant("Oslo")});
    cities.AppendRecord({Variant("BGO"), Variant("Bergen")});

    TMemDataSet people;
    people.FieldDefs.Add("ID", ftInteger);
    people.FieldDefs.Add("CityCode", ftString, 3);
    people.AddField<TIntegerField>("ID");
    people.AddField<TStringField>("CityCode")->SetSize(3);
    auto* city = people.AddField<TStringField>("City", fkLookup);
    city->SetLookupDataSet(&cities);
    city->KeyFields = "CityCode";
    city->LookupKeyFields = "Code";
    city->LookupResultField = "CityName";
    people.Open();
    people.AppendRecord({Variant(1), Variant("BGO")});
    people.AppendRecord({Variant(2), Variant("OSL")});
    people.AppendRecord({Variant(3), Variant("XXX")});
    people.AppendRecord({Variant(4)});

    const char* expected[] = {"Bergen", "Oslo", "", ""};
    int i = 0;
    for (people.First(); !people.Eof(); people.Next(), ++i) {
        EXPECT_EQ(city->AsString(), expected[i]) << i;
        EXPECT_EQ(city->IsNull(), expected[i][0] == '\0') << i;
    }
    // Changing the key while editing looks the value up again.
    people.First();
    people.Edit();
    people.FieldByName("CityCode")->SetAsString("OSL");
    EXPECT_EQ(city->AsString(), "Oslo");
    people.Cancel();
    EXPECT_EQ(city->AsString(), "Bergen");
    // The lookup dataset was not moved.
    EXPECT_EQ(cities.FieldByName("Code")->AsString(), "BGO");  // still the last one appended
}

TEST(DataSetFields, CalculatedFieldIsRecomputedOnScrollAndOnChange) {
    TMemDataSet ds;
    ds.FieldDefs.Add("Qty", ftInteger);
    ds.FieldDefs.Add("Price", ftFloat);
    ds.AddField<TIntegerField>("Qty");
    ds.AddField<TFloatField>("Price");
    auto* total = ds.AddField<TFloatField>("Total", fkCalculated);
    int calls = 0;
    ds.OnCalcFields = [&](TDataSet* d) {
        ++calls;
        EXPECT_EQ(d->State(), dsCalcFields);
        total->SetAsFloat(d->FieldByName("Qty")->AsInteger() * d->FieldByName("Price")->AsFloat());
    };
    ds.Open();
    ds.AppendRecord({Variant(2), Variant(1.5)});
    ds.AppendRecord({Variant(3), Variant(2.0)});
    ds.AppendRecord({Variant(4), Variant(0.25)});
    std::vector<double> totals;
    for (ds.First(); !ds.Eof(); ds.Next()) totals.push_back(total->AsFloat());
    EXPECT_EQ(totals, (std::vector<double>{3.0, 6.0, 1.0}));
    ds.First();
    ds.Edit();
    calls = 0;
    ds.FieldByName("Qty")->SetAsInteger(10);
    EXPECT_EQ(total->AsFloat(), 15.0);
    EXPECT_GE(calls, 1);
    ds.Post();
    EXPECT_EQ(total->AsFloat(), 15.0);
    // Writing a calculated field outside OnCalcFields is refused.
    EXPECT_THROW(total->SetAsFloat(1), EDatabaseError);
}

TEST_F(People, FilterRecordHandlerHidesRecordsAndDrivesFindFirstAndFindNext) {
    Open(9);
    int threshold = 0;
    ds.SetOnFilterRecordValue([&](TDataSet* d, bool& accept) {
        EXPECT_EQ(d->State(), dsFilter);
        accept = d->FieldByName("ID")->AsInteger() % 3 == 0 && d->FieldByName("ID")->AsInteger() > threshold;
    });
    // Not filtered: FindFirst/FindNext walk the matching records while all stay visible.
    EXPECT_TRUE(ds.FindFirst());
    EXPECT_EQ(Id(), 3);
    EXPECT_TRUE(ds.FindNext());
    EXPECT_EQ(Id(), 6);
    EXPECT_TRUE(ds.FindNext());
    EXPECT_EQ(Id(), 9);
    EXPECT_FALSE(ds.FindNext());
    EXPECT_EQ(Id(), 9);
    EXPECT_TRUE(ds.FindPrior());
    EXPECT_EQ(Id(), 6);
    EXPECT_EQ(ds.RecordCount(), 9);

    ds.SetFilteredValue(true);
    EXPECT_EQ(Id(), 3);
    std::vector<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next()) ids.push_back(Id());
    EXPECT_EQ(ids, (std::vector<int>{3, 6, 9}));
    EXPECT_EQ(ds.RecordCount(), 3);
    threshold = 3;
    ds.SetFilteredValue(true);  // setting it again goes back to the first record
    EXPECT_EQ(Id(), 6);
    ds.SetFilteredValue(false);
    EXPECT_EQ(Id(), 1);
    EXPECT_EQ(ds.RecordCount(), 9);
}

TEST_F(People, FilterHandlerThatFailsStillAnswersAndTheWalkGoesOn) {
    Open(4);
    ds.SetOnFilterRecordValue([&](TDataSet* d, bool& accept) {
        if (d->FieldByName("ID")->AsInteger() == 2) {
            accept = false;
            throw EDatabaseError("handler failed");
        }
    });
    ds.SetFilteredValue(true);
    std::vector<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next()) ids.push_back(Id());
    EXPECT_EQ(ids, (std::vector<int>{1, 3, 4}));
    EXPECT_GT(ds.HandledExceptions, 0);
}

TEST(DataSetFields, PersistentFieldOfTheWrongTypeIsRefusedAtOpen) {
    TMemDataSet ds;
    ds.FieldDefs.Add("ID", ftInteger);
    ds.AddField<TStringField>("ID");
    try {
        ds.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Type mismatch for field 'ID', expecting: String actual: Integer");
    }
    EXPECT_FALSE(ds.Active());
}

TEST(DataSetBlobs, StreamsReadAndWriteTheValueOfTheRecordBeingEdited) {
    TMemDataSet ds;
    ds.FieldDefs.Add("ID", ftInteger);
    ds.FieldDefs.Add("Notes", ftMemo);
    ds.Open();
    ds.AppendRecord({Variant(1), Variant("first note")});
    auto* notes = static_cast<TBlobField*>(ds.FieldByName("Notes"));
    {
        auto in = ds.CreateBlobStream(notes, bmRead);
        EXPECT_EQ(in->Size(), 10);
        char buf[5] = {};
        EXPECT_EQ(in->Read(buf, 5), 5);
        EXPECT_EQ(std::string(buf, 5), "first");
        EXPECT_THROW(in->Write("x", 1), EStreamError);
    }
    EXPECT_THROW(ds.CreateBlobStream(notes, bmWrite), EDatabaseError);  // not editing
    ds.Edit();
    {
        auto out = ds.CreateBlobStream(notes, bmReadWrite);
        out->Seek(0, soFromEnd);
        out->WriteBuffer(" and more", 9);
    }
    ds.Post();
    EXPECT_EQ(notes->AsString(), "first note and more");
    EXPECT_EQ(notes->BlobSize(), 19);
    ds.Edit();
    {
        auto out = ds.CreateBlobStream(notes, bmWrite);  // starts empty
        out->WriteBuffer("new", 3);
    }
    TMemoryStream saved;
    notes->SaveToStream(&saved);
    EXPECT_EQ(saved.Size(), 3);
    ds.Cancel();
    EXPECT_EQ(notes->AsString(), "first note and more");  // the cancelled write is gone
    ds.Edit();
    TMemoryStream source;
    source.WriteBuffer("loaded", 6);
    notes->LoadFromStream(&source);
    ds.Post();
    EXPECT_EQ(notes->AsString(), "loaded");
}

TEST(DataSetFields, LookupFieldForgetsAFreedLookupDataset) {
    auto cities = std::make_unique<TMemDataSet>();
    cities->FieldDefs.Add("Code", ftString, 3);
    cities->FieldDefs.Add("CityName", ftString, 20);
    cities->Open();
    cities->AppendRecord({Variant("OSL"), Variant("Oslo")});
    TMemDataSet people;
    people.FieldDefs.Add("CityCode", ftString, 3);
    people.AddField<TStringField>("CityCode")->SetSize(3);
    auto* city = people.AddField<TStringField>("City", fkLookup);
    city->SetLookupDataSet(cities.get());
    city->KeyFields = "CityCode";
    city->LookupKeyFields = "Code";
    city->LookupResultField = "CityName";
    people.Open();
    people.AppendRecord({Variant("OSL")});
    EXPECT_EQ(city->AsString(), "Oslo");
    people.Close();
    cities.reset();
    EXPECT_EQ(city->LookupDataSet(), nullptr);
    try {
        people.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Lookup information for field 'City' is incomplete");
    }
}

namespace {

class TMemPeople : public framework::testsupport::TPeopleSource {
public:
    TDataSet& DataSet() override { return ds; }
    void Define() override {
        if (ds.FieldDefs.Count() == 0) DefinePeople(ds);
    }

private:
    TMemDataSet ds;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Mem, DataSetBehaviour,
                         ::testing::Values(framework::testsupport::TPeopleSourceParam{
                             "Mem", [] { return std::make_unique<TMemPeople>(); }}),
                         framework::testsupport::PeopleSourceName);
