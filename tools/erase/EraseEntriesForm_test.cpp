// The erase window over a catalog made by cataloguing two disks: the list under a pattern, its
// counters, the tag operations and the erase itself.

#include "tools/erase/EraseEntriesForm.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "catalog/GetStringForm.h"
#include "cataloging/testsupport/CatalogedVolumes.h"
#include "controls/grid/CtlDbTable.h"
#include "dbsql/components/DbTable.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "platform/Beep.h"

namespace tools {
namespace {

using namespace framework;
using namespace cataloging::runtest;

class EraseEntriesTest : public CatalogedVolumesTest {
protected:
    TEraseSpecificFileEntriesForm* Form = nullptr;

    void SetUp() override {
        CatalogedVolumesTest::SetUp();
        SetOption("DoZIP", "False");
    }
    void TearDown() override {
        if (Form) Form->Free();
        CatalogedVolumesTest::TearDown();
    }
    void Disk2() { CatalogVolumes({{"DISK2", {{"GAMES.ZIP", std::string(50, 'g')}, {"NOTES.TXT", "n"}}}}); }
    // DISK1: GAMES.ZIP (100 bytes), ALPHA.ZIP (10), ARCADE.ZIP (20), README.TXT (5), DOCS\ALBUM.TXT (7);
    // DISK2: GAMES.ZIP (50), NOTES.TXT (1).
    void Catalog() {
        CatalogVolume({"DISK1",
                       {{"GAMES.ZIP", std::string(100, 'g')},
                        {"ALPHA.ZIP", std::string(10, 'a')},
                        {"ARCADE.ZIP", std::string(20, 'r')},
                        {"README.TXT", "12345"},
                        {"DOCS/ALBUM.TXT", "1234567"}}});
        Disk2();
    }
    void Open() {
        Form = TCustomForm::Create<TEraseSpecificFileEntriesForm>(Application);
        Form->Show();
        Driver.RunPending();
    }
    void SetPattern(const std::string& Text) {
        Form->PatternEnter();
        Form->Pattern->SetText(Text);
        Form->PatternExit();
    }
    // The four counters as shown: files, bytes in the list; tagged files, bytes.
    V Counters() {
        return {Form->FilesInListLabel->Caption(), Form->BytesInListLabel->Caption(),
                Form->TaggedFilesLabel->Caption(), Form->BytesInTaggedLabel->Caption()};
    }
    // The listed entries as "FILENAME:tagged".
    V Listed() {
        V out;
        auto* t = Form->CatalogTable;
        for (t->First(); !t->Eof(); t->Next())
            out.push_back(t->FieldByName("VolumeLabel")->AsString() + "\\" +
                          t->FieldByName("FileName")->AsString() +
                          (t->FieldByName("Tagged")->AsBoolean() ? ":T" : ""));
        t->First();
        return out;
    }
    size_t Pointers() {
        dbsql::TDbTable t(nullptr);
        t.SetDatabaseName("P:\\");
        t.SetTableName("ErasePointers");
        if (!t.Exists()) return size_t(-1);
        t.Open();
        return size_t(t.RecordCount());
    }
    void AnswerPrompt(const std::string& Text) {
        Driver.AnswerWith([Text](TCustomForm& f) {
            auto& prompt = dynamic_cast<catalog::TGetStringForm&>(f);
            prompt.ResultString->SetText(Text);
            prompt.SetModalResult(mrOk);
        });
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& s : Driver.Shown)
            if (s.Kind == "message") out.push_back(s.Text);
        return out;
    }
};

TEST_F(EraseEntriesTest, ShowingListsEveryEntryWithItsCountersAndMeasuredColumns) {
    Catalog();
    AfterWrite = [this] { std::filesystem::resize_file(Disk / "BIG.DAT", 5000000000); };
    CatalogVolumes({{"BIGDISK", {{"BIG.DAT", ""}}}});
    Open();
    EXPECT_EQ(Form->Caption(), "Erase Specific File Entries In This Catalog");
    EXPECT_EQ(Form->ActiveCatalog->Caption(), "CAT1");
    EXPECT_EQ(ProgressCaptions, V{"Calculating Column Sizes For Display And Getting Totals"});
    EXPECT_EQ(Counters(), (V{"8", "5,000,000,193", "0", "0"}));
    EXPECT_EQ(Pointers(), 0u) << "ErasePointers is made empty";
    EXPECT_EQ(Form->Table->LockedColumns(), 1);
    EXPECT_EQ(Form->Table->Column(0)->Width(), 46);
    // The measured columns fit their widest text, with 8 pixels to spare.
    EXPECT_GT(Form->Table->Column(5)->Width(), 48) << "the file size column fits 5,000,000,000";
    EXPECT_EQ(Form->Table->Column(4)->Width(), 48 + 8) << "no archive IDs: the starting width";
    for (int c = 12; c < 15; ++c) EXPECT_TRUE(Form->Table->Column(c)->Hidden()) << c;
    EXPECT_EQ(Form->Pattern->Text(), "*");
    Grab(*Form, "EraseSpecificFileEntriesForm");
}

TEST_F(EraseEntriesTest, CancellingTheFirstCountLeavesPartialCountersUntilThePatternChanges) {
    Catalog();
    Progress->OnShow = [this](TObject*) { Progress->CancelPressed = true; };
    Open();
    EXPECT_EQ(Counters(), (V{"0", "0", "0", "0"}));
    EXPECT_EQ(Listed().size(), 7u) << "the list itself is whole";
    SetPattern("*.TXT");
    EXPECT_EQ(Counters(), (V{"3", "13", "0", "0"}));
}

TEST_F(EraseEntriesTest, ThePatternChoosesTheListAndAnyChangeDropsTheTags) {
    Catalog();
    Open();
    SetPattern("*.ZIP");
    EXPECT_EQ(Listed(), (V{"DISK1\\ALPHA.ZIP", "DISK1\\ARCADE.ZIP", "DISK1\\GAMES.ZIP", "DISK2\\GAMES.ZIP"}));
    EXPECT_EQ(Counters(), (V{"4", "180", "0", "0"}));
    EXPECT_EQ(ProgressCaptions.back(), "Recalculating Totals");

    Form->TagAllClick();
    EXPECT_EQ(Counters(), (V{"4", "180", "4", "180"}));
    EXPECT_EQ(ProgressCaptions.back(), "Tagging All Files");
    SetPattern("*.ZIP");
    EXPECT_EQ(Counters()[2], "4") << "the same text again changes nothing";
    EXPECT_EQ(Pointers(), 4u);

    SetPattern("*.Z*");
    EXPECT_EQ(Listed().size(), 4u) << "the same entries";
    EXPECT_EQ(Counters(), (V{"4", "180", "0", "0"})) << "but the tags are gone";
    EXPECT_EQ(Pointers(), 0u);

    Form->TagAllClick();
    SetPattern("   ");
    EXPECT_EQ(Form->Pattern->Text(), "*");
    EXPECT_EQ(Counters(), (V{"7", "193", "0", "0"}));
}

TEST_F(EraseEntriesTest, TheTagOperationsWorkOnTheListedEntriesOnly) {
    Catalog();
    Open();
    SetPattern("*.ZIP");
    AnswerPrompt("a*");
    Form->TagSeveralClick();
    EXPECT_EQ(Listed(),
              (V{"DISK1\\ALPHA.ZIP:T", "DISK1\\ARCADE.ZIP:T", "DISK1\\GAMES.ZIP", "DISK2\\GAMES.ZIP"}))
        << "ALBUM.TXT begins with A but is not listed";
    EXPECT_EQ(Counters(), (V{"4", "180", "2", "30"}));
    EXPECT_EQ(ProgressCaptions.back(), "Tagging Files Matching The Specified Filespec");

    const struct {
        const char* Step;
        std::function<void()> Act;
        V Tagged;  // tagged files and bytes afterwards
    } steps[] = {
        {"tag all counts each entry once", [this] { Form->TagAllClick(); }, {"4", "180"}},
        {"tag all again", [this] { Form->TagAllClick(); }, {"4", "180"}},
        {"untag several",
         [this] {
             AnswerPrompt("GAMES.*");
             Form->UntagSeveralClick();
         },
         {"2", "30"}},
        {"invert", [this] { Form->InvertTagsClick(); }, {"2", "150"}},
        {"a cancelled prompt",
         [this] {
             Driver.Answer(mrCancel);
             Form->TagSeveralClick();
         },
         {"2", "150"}},
        {"clear", [this] { Form->ClearTagsClick(); }, {"0", "0"}},
    };
    for (const auto& s : steps) {
        s.Act();
        const V counters = Counters();
        EXPECT_EQ(V(counters.begin() + 2, counters.end()), s.Tagged) << s.Step;
        EXPECT_EQ(Pointers(), size_t(std::stoi(s.Tagged[0]))) << s.Step;
    }

    // A click on a row's Tagged cell toggles that entry.
    Form->TaggedCellClick(1);
    EXPECT_EQ(Listed()[1], "DISK1\\ARCADE.ZIP:T");
    Form->TaggedCellClick(1);
    EXPECT_EQ(Listed()[1], "DISK1\\ARCADE.ZIP");
    Form->TaggedCellClick(-1);
    EXPECT_EQ(Counters()[2], "0") << "the heading toggles nothing";

    // The same through the mouse: the second row's check box, then the heading above it.
    Driver.Click(*Form->Table, 23, 21 + 21 + 10);
    Driver.RunPending();
    EXPECT_EQ(Listed()[1], "DISK1\\ARCADE.ZIP:T");
    EXPECT_EQ(Counters()[2], "1");
    Driver.Click(*Form->Table, 23, 10);
    Driver.RunPending();
    EXPECT_EQ(Counters()[2], "1");
}

TEST_F(EraseEntriesTest, ApplyTakesTheFocusAndSoAppliesThePattern) {
    Catalog();
    Open();
    Form->Pattern->SetFocus();
    Driver.RunPending();
    Form->Pattern->SetText("*.TXT");
    Driver.Click(*Form->ApplyBtn);
    Driver.RunPending();
    EXPECT_EQ(Counters(), (V{"3", "13", "0", "0"}));
    EXPECT_EQ(Listed().size(), 3u);
}

TEST_F(EraseEntriesTest, ErasingRemovesTheTaggedEntriesFromTheFileTableOnly) {
    Catalog();
    const V sum = WholeRows("CAT1_SUM"), log = WholeRows("CAT1_LOG");
    const V untouched = Without(WholeRows("CAT1_CAT"), "GAMES.ZIP");
    Open();
    Form->EraseTaggedClick();
    EXPECT_EQ(Messages(), V{"No Files Tagged"});
    EXPECT_FALSE(platform::BeepHistory().empty());

    SetPattern("GAMES.ZIP");
    Form->TagAllClick();
    Driver.Answer(mrNo);
    Form->EraseTaggedClick();
    EXPECT_EQ(Messages().back(), TEraseSpecificFileEntriesForm::EraseQuestion);
    EXPECT_EQ(WholeRows("CAT1_CAT").size(), 7u) << "No erases nothing";
    EXPECT_EQ(Counters()[2], "2");

    Driver.Answer(mrYes);
    Form->EraseTaggedClick();
    EXPECT_EQ(WholeRows("CAT1_CAT"), untouched);
    EXPECT_EQ(WholeRows("CAT1_SUM"), sum) << "the volume records keep their counts";
    EXPECT_EQ(WholeRows("CAT1_LOG"), log);
    EXPECT_EQ(Counters(), (V{"0", "0", "0", "0"}));
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(Pointers(), 0u);
    EXPECT_EQ(ProgressCaptions.back(), "Erasing Tagged Files From The Catalog");

    SetPattern("*");
    EXPECT_EQ(Counters(), (V{"5", "43", "0", "0"}));
    Form->Close();
    EXPECT_EQ(Pointers(), size_t(-1)) << "ErasePointers goes with the window";
}

TEST_F(EraseEntriesTest, AnEntryWithoutASizeCountsAsAFileWithoutBytes) {
    Disk2();
    {
        dbsql::TDbTable t(nullptr);
        t.SetDatabaseName("P:\\");
        t.SetTableName("CAT1_CAT");
        t.Open();
        ASSERT_TRUE(t.Locate("FileName", Variant(std::string("NOTES.TXT")), {}));
        t.Edit();
        t.FieldByName("FileSize")->Clear();
        t.Post();
    }
    Open();
    EXPECT_EQ(Counters(), (V{"2", "50", "0", "0"}));
    SetPattern("NOTES.TXT");
    Form->TagAllClick();
    EXPECT_EQ(Counters(), (V{"1", "0", "1", "0"}));
}

TEST_F(EraseEntriesTest, AMalformedPatternIsReportedOnceAndListsNothingUntilItChanges) {
    Catalog();
    Open();
    SetPattern("[A");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("is an invalid mask"), std::string::npos) << Messages()[0];
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(Counters(), (V{"0", "0", "0", "0"}));
    Form->TagAllClick();
    EXPECT_EQ(Counters()[2], "0");
    EXPECT_EQ(Messages().size(), 1u) << "shown once";

    SetPattern("*.TXT");
    EXPECT_EQ(Listed().size(), 3u);
    AnswerPrompt("[B");
    EXPECT_THROW(Form->TagSeveralClick(), EMaskException) << "a malformed spec tags nothing";
    EXPECT_EQ(Counters()[2], "0");
}

}  // namespace
}  // namespace tools
