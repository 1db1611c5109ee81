// The import of comments onto the catalog's entries (catalogs made by the file import), and the
// profile handling and sample viewer both import windows share.

#include <gtest/gtest.h>

#include "catalog/GetStringForm.h"
#include "cataloging/editors/EditFileCommentForm.h"
#include "controls/grid/CtlTextViewer.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/ExtCtrls.h"
#include "tools/import/ImportCommentForm.h"
#include "tools/import/ImportFilesForm.h"
#include "tools/import/testsupport/ImportFixture.h"

namespace tools::importtest {
namespace {

class ImportCommentsTest : public ImportWindowTest<TImportFileCommentForm> {
protected:
    void SetUp() override {
        ImportWindowTest::SetUp();
        // The file import's progress window waits for Close.
        SetSleepHandler([](uint32_t) { catalog::StopRequested = true; });
    }
    // A volume of the catalog made by the file import: names in columns 1-12, comments from 14.
    void MakeVolume(const std::string& Label, const std::string& Listing) {
        auto* files = TCustomForm::Create<TImportFilesForm>(Application);
        files->Show();
        dbsql::TDbTable& t = *files->ProfileTable;
        t.Edit();
        t.FieldByName("ImportFrom")->SetAsString(WriteListing("volume.txt", Listing));
        t.FieldByName("FNEndCol")->SetAsInteger(12);
        t.FieldByName("CmtStartCol")->SetAsInteger(14);
        t.FieldByName("CmtEndCol")->SetAsInteger(60);
        t.Post();
        Driver.AnswerWith([Label](TCustomForm& F) {
            dynamic_cast<catalog::TGetStringForm&>(F).ResultString->SetText(Label);
            F.SetModalResult(mrOk);
        });
        files->BitBtn3Click();
        Driver.RunPending();
        files->Free();
    }
    // The comment import of Listing with the default columns and Criteria.
    void ImportComments(const std::string& Listing, const std::string& Criteria,
                        const std::map<std::string, int>& Numbers = {}) {
        SetProfile({{"ImportFrom", WriteListing("comments.txt", Listing)}, {"CmtProcCriteria", Criteria}},
                   Numbers);
        Window->BitBtn3Click();
        Driver.RunPending();
    }
    V Counters() const {
        return {Window->LinesReadPanel->Caption(), Window->MatchesFoundPanel->Caption(),
                Window->CommentsUpdatedPanel->Caption()};
    }
    // Volume, file name and comment of every entry, in the catalog's order.
    static V Comments() { return Rows("Games_CAT", {"VolumeLabel", "FileName", "Comment"}); }
};

TEST_F(ImportCommentsTest, CriteriaDecideWhatMatchesBecome) {
    struct Case {
        const char* Criteria;
        V Counters;  // lines read, matches, updates
        V Readmes;   // the comments of README.TXT on VOL1, VOL2, VOL3
    } cases[] = {
        {"Overwrite Existing", {"1", "3", "3"}, {"Y", "Y", "Y"}},
        {"Do Not Overwrite", {"1", "3", "2"}, {"X", "Y", "Y"}},
        {"Append To Existing", {"1", "3", "3"}, {"X\r\nY", "Y", "Y"}},
        {"Something Else", {"1", "3", "2"}, {"X", "Y", "Y"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Criteria);
        for (const char* table : {"Games_CAT", "Games_SUM"}) {
            dbsql::TDbTable t(nullptr);
            t.SetDatabaseName("P:\\");
            t.SetTableName(table);
            if (t.Exists()) t.EmptyTable();
        }
        MakeVolume("VOL1", "README.TXT   X\r\nOTHER.TXT    O\r\n");
        MakeVolume("VOL2", "README.TXT\r\n");
        MakeVolume("VOL3", "README.TXT\r\n");
        OpenWindow();
        ImportComments("README.TXT       Y\r\n", c.Criteria);
        EXPECT_EQ(Counters(), c.Counters);
        EXPECT_EQ(Comments(), (V{"VOL1|OTHER.TXT|O", "VOL1|README.TXT|" + c.Readmes[0],
                                 "VOL2|README.TXT|" + c.Readmes[1], "VOL3|README.TXT|" + c.Readmes[2]}));
        EXPECT_TRUE(Window->DoneBtn->Visible());
        EXPECT_FALSE(Window->StopBtn->Visible());
        EXPECT_TRUE(Window->EditCmtsBtn->Visible());
        Window->Free();
        Window = nullptr;
    }
}

TEST_F(ImportCommentsTest, AppendingTwiceAndContinuationLines) {
    MakeVolume("VOL1", "README.TXT   X\r\nB.TXT\r\nC.TXT\r\n");
    OpenWindow();
    // README.TXT gets Y; B.TXT a blank comment and no continuation: nothing; C.TXT a comment made
    // only of a continuation line; a continuation before the first entry is never applied.
    const std::string listing =
        "                 lost\r\n"
        "README.TXT       Y\r\n"
        "B.TXT\r\n"
        "C.TXT\r\n"
        "                 later\r\n";
    ImportComments(listing, "Append To Existing");
    EXPECT_EQ(Counters(), (V{"5", "2", "2"}));
    Window->DoneBtnClick();
    EXPECT_FALSE(TableExists(TImportFileCommentForm::PointerTableName));
    EXPECT_FALSE(Window->StatusPanel->Visible());
    ImportComments(listing, "Append To Existing");
    EXPECT_EQ(Comments(),
              (V{"VOL1|B.TXT|", "VOL1|C.TXT|\r\nlater\r\n\r\nlater", "VOL1|README.TXT|X\r\nY\r\nY"}));
}

TEST_F(ImportCommentsTest, KeyColumnsNarrowTheMatchAndValuesAreNeverSqlText) {
    MakeVolume("VOL1", "COMMENT\r\nIT'S \"Q\".TXT\r\n");
    MakeVolume("VOL2", "COMMENT\r\nIT'S \"Q\".TXT\r\n");
    OpenWindow();
    // Volume label in columns 30-40: only VOL2's entries match.
    ImportComments(
        "COMMENT          first        VOL2\r\n"
        "IT'S \"Q\".TXT     second       VOL2\r\n",
        "Overwrite Existing", {{"VLStartCol", 30}, {"VLEndCol", 40}, {"CmtEndCol", 28}});
    EXPECT_EQ(Counters(), (V{"2", "2", "2"}));
    EXPECT_EQ(Sorted(Comments()), (V{"VOL1|COMMENT|", "VOL1|IT'S \"Q\".TXT|", "VOL2|COMMENT|first",
                                     "VOL2|IT'S \"Q\".TXT|second"}));
}

TEST_F(ImportCommentsTest, StopBeforeAnyUpdateRemovesThePointers) {
    MakeVolume("VOL1", "A.TXT\r\nB.TXT\r\n");
    OpenWindow();
    const std::string text = "NOMATCH          z\r\nA.TXT            a\r\nB.TXT            b\r\n";
    struct Case {
        int StopAtCall;  // the read during which Stop is pressed
        bool Updated;
    } cases[] = {{1, false}, {3, true}};
    for (const Case& c : cases) {
        int calls = 0;
        Window->OpenImportFile = [&](const std::string&) {
            return std::make_unique<TImportFile>(
                [&, pos = size_t(0)](char* Buffer, size_t) mutable -> int64_t {
                    if (++calls == c.StopAtCall) Window->StopBtn->Click();
                    const size_t end = std::min(text.size(), text.find('\n', pos) + 1);
                    std::copy(text.begin() + long(pos), text.begin() + long(end), Buffer);
                    const int64_t n = int64_t(end - pos);
                    pos = end;
                    return n;
                });
        };
        ImportComments(text, "Overwrite Existing");
        EXPECT_EQ(TableExists(TImportFileCommentForm::PointerTableName), c.Updated);
        EXPECT_EQ(Window->StatusPanel->Visible(), c.Updated);
        EXPECT_EQ(Window->EditCmtsBtn->Visible(), c.Updated);
        EXPECT_EQ(Window->DoneBtn->Visible(), c.Updated);
        if (c.Updated) Window->DoneBtnClick();
    }
    // The second run stopped while B.TXT's line was read: that line and the entry pending at the
    // stop are still applied.
    EXPECT_EQ(Comments(), (V{"VOL1|A.TXT|a", "VOL1|B.TXT|b"}));
}

TEST_F(ImportCommentsTest, EditorOpensOnExactlyTheChangedEntries) {
    MakeVolume("VOL1", "A.TXT\r\nB.TXT        kept\r\nC.TXT\r\n");
    MakeVolume("VOL2", "A.TXT\r\n");
    OpenWindow();
    ImportComments("A.TXT            new\r\nB.TXT            other\r\n", "Do Not Overwrite");
    EXPECT_EQ(Counters(), (V{"2", "3", "2"}));
    V shown;
    int mode = -1;
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            auto& editor = dynamic_cast<cataloging::TEditFileCommentForm&>(F);
            mode = editor.Spec().FilterMode;
            dbsql::TDbTable& t = *editor.CatalogTable;
            for (t.First(); !t.Eof(); t.Next())
                shown.push_back(t.FieldByName("VolumeLabel")->AsString() + "|" +
                                t.FieldByName("FileName")->AsString());
        },
        mrCancel);
    Window->EditCmtsBtn->Click();
    Driver.RunPending();
    EXPECT_EQ(mode, cataloging::cefImported);
    EXPECT_EQ(Sorted(shown), (V{"VOL1|A.TXT", "VOL2|A.TXT"}));
    // The pointers stay for another edit until Done or the window closes.
    EXPECT_TRUE(TableExists(TImportFileCommentForm::PointerTableName));
    Window->Close();
    Driver.RunPending();
    EXPECT_FALSE(TableExists(TImportFileCommentForm::PointerTableName));
}

TEST_F(ImportCommentsTest, ChecksBeforeReading) {
    OpenWindow();
    ExpectRefused(*Window, [this] { Window->BitBtn3Click(); },
                  {{{{"ImportFrom", ""}}, {}, TImportFileCommentForm::NoFileText},
                   {{{"ImportFrom", "P:\\x.txt"}},
                    {{"CmtStartCol", 0}, {"CmtEndCol", 0}},
                    "The Starting And Ending Columns For The Comment Cannot Be Zero"},
                   {{{"ImportFrom", "P:\\x.txt"}},
                    {{"CmtStartCol", 18}, {"CmtEndCol", 255}, {"FldStartCol", 20}, {"FldEndCol", 2}},
                    "The Ending Column For The Folder Name Cannot Be Less Than The Starting Column"},
                   {{{"ImportFrom", "P:\\x.txt"}}, {{"FldStartCol", 0}}, TImportProfileForm::OpenErrorText}});
    EXPECT_FALSE(Window->StatusPanel->Visible());
}

// ---- What both windows share ----

template <class TWindow>
struct ProfileCase {
    static TImportProfileForm* Open() {
        auto* w = TCustomForm::Create<TWindow>(Application);
        w->Show();
        return w;
    }
};

TEST_F(ImportCommentsTest, ProfilesOfBothWindows) {
    struct Case {
        const char* Table;
        std::function<TImportProfileForm*()> Open;
        V Defaults;
    } cases[] = {
        {"FIProfiles",
         ProfileCase<TImportFilesForm>::Open,
         {"DEFAULT||0|1|16|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0"}},
        {"CIProfiles",
         ProfileCase<TImportFileCommentForm>::Open,
         {"DEFAULT||0|1|16|0|0|0|0|0|0|18|255|Do Not Overwrite"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Table);
        std::vector<std::string> fields;
        {
            TImportProfileForm* w = c.Open();
            Driver.RunPending();
            for (const catalog::TFieldSchema& f : w->Schema.Fields) fields.push_back(f.Name);
            // A new profile gets the defaults, the name "DEFAULT" included, which exists already.
            w->ProfileTable->Append();
            EXPECT_THROW(w->ProfileTable->Post(), std::exception);
            Driver.RunPending();
            EXPECT_EQ(Driver.Shown.back().Text, TImportProfileForm::DuplicateNameText);
            EXPECT_EQ(w->ProfileTable->State(), dsInsert);
            w->ProfileTable->FieldByName("ProfileName")->SetAsString("  ");
            EXPECT_THROW(w->ProfileTable->Post(), std::exception);
            EXPECT_EQ(Driver.Shown.back().Text, TImportProfileForm::BlankNameText);
            w->ProfileTable->FieldByName("ProfileName")->SetAsString("MINE");
            w->ProfileTable->Post();
            w->Close();
            Driver.RunPending();
            w->Free();
        }
        V rows = Rows(c.Table, fields);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0], c.Defaults[0]);
        EXPECT_TRUE(rows[1].starts_with("MINE||0|1|16|"));
        // A later opening keeps the user's profiles.
        TImportProfileForm* w = c.Open();
        Driver.RunPending();
        EXPECT_EQ(w->ProfileTable->RecordCount(), 2);
        w->Close();
        Driver.RunPending();
        w->Free();
    }
}

TEST_F(ImportCommentsTest, SampleViewerShowsTheCaretFromOne) {
    OpenWindow();
    SetProfile({{"ImportFrom", "P:\\missing.txt"}});
    Window->BitBtn1Click();
    EXPECT_EQ(Driver.Shown.back().Text, TImportProfileForm::OpenErrorText);
    SetProfile({{"ImportFrom",
                 WriteListing("sample.txt", "first line\r\nsecond line\r\nthird line is longer\r\n")}});
    std::string before, after, caption;
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            auto& viewer = dynamic_cast<TTextFileViewerForm&>(F);
            caption = viewer.Caption();
            before = viewer.StatusLabel->Caption();
            viewer.TV->MoveCaretTo(2, 16, false);
            Driver.RunPending();
            after = viewer.StatusLabel->Caption();
        },
        mrCancel);
    Window->BitBtn1Click();
    EXPECT_EQ(caption, "P:\\sample.txt");
    EXPECT_EQ(before, "Line 0  -  Column 0");
    EXPECT_EQ(after, "Line: 3  -  Column: 17");
}

}  // namespace
}  // namespace tools::importtest
