// The import of file entries from a listing: the volume record and entries it makes, re-imports
// (updates, comments and categories), duplicates, excluded entries, Abort, read errors and the
// checks made before anything is read.

#include <gtest/gtest.h>

#include "catalog/GetStringForm.h"
#include "cataloging/run/RunDialogs.h"
#include "cataloging/selective/SelectiveCatalogForm.h"
#include "controls/grid/CtlNotebook.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/ui/ExtCtrls.h"
#include "tools/import/ImportFilesForm.h"
#include "tools/import/testsupport/ImportFixture.h"

namespace tools::importtest {
namespace {

// A line of the test listings: file name 1-12, folder 14-23, size 25-35, date 37-46, time 48-58,
// attributes 60-63, category 65-70, comment 72-103.
std::string FileListingLine(const std::vector<std::string>& Items) {
    static const size_t widths[] = {12, 10, 11, 10, 11, 4, 6, 32};
    std::string line;
    for (size_t i = 0; i < Items.size(); ++i) {
        if (i) line += ' ';
        line += Items[i] + std::string(widths[i] - std::min(widths[i], Items[i].size()), ' ');
    }
    return line;
}

const std::map<std::string, int> kFileListingColumns = {
    {"FNStartCol", 1},        {"FNEndCol", 12},       {"FldStartCol", 14},   {"FldEndCol", 23},
    {"FSizeStartCol", 25},    {"FSizeEndCol", 35},    {"FDateStartCol", 37}, {"FDateEndCol", 46},
    {"FTimeStartCol", 48},    {"FTimeEndCol", 58},    {"FAttrStartCol", 60}, {"FAttrEndCol", 63},
    {"FCatCodeStartCol", 65}, {"FCatCodeEndCol", 70}, {"CmtStartCol", 72},   {"CmtEndCol", 103}};

class ImportFilesTest : public ImportWindowTest<TImportFilesForm> {
protected:
    // What the progress window showed when the run waited for Close.
    std::map<std::string, std::string> Shown;

    void SetUp() override {
        ImportWindowTest::SetUp();
        SetSleepHandler([this](uint32_t) {
            if (!Window || !Window->Progress) return;
            TTFImportProgressForm& p = *Window->Progress;
            Shown = {{"Added", p.AddedPanel->Caption()},
                     {"Updated", p.UpdatedPanel->Caption()},
                     {"Removed", p.RemovedPanel->Caption()},
                     {"OnDisk", p.FilesOnDiskScannedPanel->Caption()},
                     {"ToBeCataloged", p.ToBeCatalogedScannedPanel->Caption()},
                     {"Folders", p.FoldersScannedPanel->Caption()},
                     {"Operation", p.MainOperationPanel->Caption()}};
            p.CloseBtn->Click();
        });
    }
    // Runs the import, answering the label prompt with Label.
    void Import(const std::string& Label) {
        Driver.AnswerWith([Label](TCustomForm& F) {
            auto& prompt = dynamic_cast<catalog::TGetStringForm&>(F);
            prompt.ResultString->SetText(Label);
            prompt.SetModalResult(mrOk);
        });
        Window->BitBtn3Click();
        Driver.RunPending();
    }
    static V Entries(const std::string& Volume, const std::vector<std::string>& Fields) {
        std::vector<std::string> all = {"VolumeLabel"};
        all.insert(all.end(), Fields.begin(), Fields.end());
        V out;
        for (const std::string& r : Rows("Games_CAT", all))
            if (r.starts_with(Volume + "|")) out.push_back(r.substr(Volume.size() + 1));
        return Sorted(out);
    }
    V Messages() const {
        V out;
        for (const auto& s : Driver.Shown)
            if (s.Kind == "message") out.push_back(s.Text.substr(0, s.Text.find('\r')));
        return out;
    }
};

// Six entries; NOTES.TXT has a size, date and time that do not convert.
std::string SixEntryListing(const std::string& Category, const std::string& Comment) {
    const std::string d = DateToStr(EncodeDate(2024, 3, 5)), t = TimeToStr(EncodeTime(10, 20, 30, 0));
    std::string text;
    const std::vector<std::vector<std::string>> rows = {
        {"README.TXT", "\\", "1,234", d, t, "RA", Category, Comment.empty() ? "Read me first" : Comment},
        {"MAKEFILE", "\\", "3", d, t, "A", Category, Comment},
        {"MANUAL.DOC", "\\DOCS", "1.000", d, t, "rha", Category, Comment.empty() ? "The manual" : Comment},
        {"NOTES.TXT", "\\DOCS\\OLD", "BAD", "NOTADATE", "NOTATIME", "", Category, Comment},
        {"X.TXT", "\\DOCSOLD", "5", "", "", "H", Category, Comment},
        {"BIG.ISO", "\\", "5000000000", d, t, "S", Category, Comment}};
    for (const auto& row : rows) text += FileListingLine(row) + "\r\n";
    return text;
}

TEST_F(ImportFilesTest, ListingBecomesAnImportedVolume) {
    OpenWindow();
    SetProfile({{"ImportFrom", WriteListing("list.txt", SixEntryListing("DOC", ""))}}, kFileListingColumns);
    Import("import01");

    EXPECT_EQ(Rows("Games_SUM",
                   {"CatalogVolumeLabel", "ActualVolumeLabel", "SerialNumber", "CatalogedFrom", "DiskSize",
                    "DiskUsed", "DiskFree", "DiskClusterSize", "FilesOnDisk", "FilesInArchives"}),
              (V{"IMPORT01|IMPORT01|0|*|5000002242|5000002242|0|0|6|0"}));
    const std::string today = DateToStr(EncodeDate(2003, 9, 15)), now = TimeToStr(EncodeTime(10, 30, 0, 0));
    const std::string d = DateToStr(EncodeDate(2024, 3, 5)), t = TimeToStr(EncodeTime(10, 20, 30, 0));
    EXPECT_EQ(Entries("IMPORT01", {"FolderName", "FileName", "FileSize", "DateModified", "TimeModified",
                                   "Attribute", "CategoryCode", "Comment"}),
              Sorted({"\\|README.TXT|1234|" + d + "|" + t + "|33|DOC|Read me first",
                      "\\|MAKEFILE|3|" + d + "|" + t + "|32|DOC|",
                      "\\DOCS|MANUAL.DOC|1000|" + d + "|" + t + "|0|DOC|The manual",
                      "\\DOCS\\OLD|NOTES.TXT||" + today + "|" + now + "|0|DOC|", "\\DOCSOLD|X.TXT|5|||2|DOC|",
                      "\\|BIG.ISO|5000000000|" + d + "|" + t + "|4|DOC|"}));
    EXPECT_EQ(Shown["Added"], "6");
    EXPECT_EQ(Shown["Folders"], "N/A");
    EXPECT_EQ(Shown["Operation"], "Catalog Update Completed");
    EXPECT_EQ(Rows("Games_LOG", {"Operation"}), (V{"CATALOGED: Volume ID = \"IMPORT01\" From Text File"}));
    EXPECT_FALSE(TableExists("New"));
    EXPECT_EQ(Window->Progress, nullptr);
}

TEST_F(ImportFilesTest, ReimportUpdatesEveryEntryAndFollowsTheCommentRule) {
    struct Case {
        const char* Name;
        bool Override;
        int CommentStart;  // 0: no comment column in the second import
        V Comments;        // README, MAKEFILE, MANUAL, NOTES, X, BIG in the catalog's order
    } cases[] = {
        {"override, no comment column", true, 0, {"", "", "", "", "", ""}},
        {"no override", false, 72, {"second", "second", "Read me first", "second", "The manual", "second"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (TableExists("Games_CAT")) {
            // A fresh catalog for each case.
            for (const char* table : {"Games_CAT", "Games_SUM", "Games_LOG"}) {
                dbsql::TDbTable t(nullptr);
                t.SetDatabaseName("P:\\");
                t.SetTableName(table);
                t.EmptyTable();
            }
        }
        SetCatalogOption("CommentOverrideFromDisk", c.Override ? "True" : "False");
        OpenWindow();
        SetProfile({{"ImportFrom", WriteListing("list.txt", SixEntryListing("DOC", ""))}},
                   kFileListingColumns);
        Import("IMPORT01");
        SetProfile({{"ImportFrom", WriteListing("list2.txt", SixEntryListing("NEW", "second"))}},
                   {{"CmtStartCol", c.CommentStart}});
        Import("IMPORT01");
        EXPECT_EQ(Shown["Updated"], "6");
        EXPECT_EQ(Shown["Added"], "0");
        V categories, comments;
        for (const std::string& r : Rows("Games_CAT", {"CategoryCode", "Comment"})) {
            categories.push_back(r.substr(0, r.find('|')));
            comments.push_back(r.substr(r.find('|') + 1));
        }
        EXPECT_EQ(categories, V(6, "NEW"));
        EXPECT_EQ(Sorted(comments), Sorted(c.Comments));
        const V log = Rows("Games_LOG", {"Operation"});
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[1], "RECATALOGED: Volume ID = \"IMPORT01\" From Text File");
        EXPECT_EQ(log[1].size(), 50u);
        Window->Free();
        Window = nullptr;
    }
}

TEST_F(ImportFilesTest, LongLabelLogLineIsCut) {
    OpenWindow();
    SetProfile({{"ImportFrom", WriteListing("list.txt", "A.TXT\r\n")}});
    Import(" abcdefghijk");
    EXPECT_EQ(Rows("Games_SUM", {"CatalogVolumeLabel"}), (V{"ABCDEFGHIJK"}));
    const V log = Rows("Games_LOG", {"Operation"});
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], std::string("CATALOGED: Volume ID = \"ABCDEFGHIJK\" From Text File").substr(0, 50));
}

TEST_F(ImportFilesTest, DuplicateKeysInAnyCaseGiveOneEntryAndOneMessage) {
    OpenWindow();
    SetProfile(
        {{"ImportFrom", WriteListing("list.txt", "Readme.txt\r\nREADME.TXT\r\nreadme.TXT\r\nOTHER\r\n")}});
    Import("DUPS");
    EXPECT_EQ(Entries("DUPS", {"FileName"}), (V{"OTHER", "Readme.txt"}));
    V duplicates;
    for (const std::string& m : Messages())
        if (m == TTFImportProgressForm::DuplicateText) duplicates.push_back(m);
    EXPECT_EQ(duplicates.size(), 1u);
    EXPECT_EQ(Rows("Games_SUM", {"FilesOnDisk"}), (V{"2"}));
}

TEST_F(ImportFilesTest, OnlyExcludedEntriesGiveTheVolumeWithCountsAndNoEntries) {
    OpenWindow();
    SetProfile({{"ImportFrom", WriteListing("list.txt", "A.TXT\r\nB.TXT\r\nKEEP.DOC\r\n")}});
    Import("VOL");
    EXPECT_EQ(Entries("VOL", {"FileName"}), (V{"A.TXT", "B.TXT", "KEEP.DOC"}));
    catalog::ExcludeSpecs = {"*.*"};
    Import("VOL");
    EXPECT_EQ(Entries("VOL", {"FileName"}), V{});
    EXPECT_EQ(Rows("Games_SUM", {"CatalogVolumeLabel", "FilesOnDisk"}), (V{"VOL|3"}));
    EXPECT_EQ(Shown["Removed"], "3");
    EXPECT_EQ(Shown["ToBeCataloged"], "0 ");
}

TEST_F(ImportFilesTest, AbortWhileReadingLeavesTheCatalogUntouched) {
    OpenWindow();
    SetProfile({{"ImportFrom", WriteListing("list.txt", SixEntryListing("DOC", ""))}}, kFileListingColumns);
    Import("IMPORT01");
    const auto before = Snapshot("Games");
    ASSERT_FALSE(before.empty());
    // The listing comes a line at a time; Abort is pressed while the third line is read.
    const std::string text = SixEntryListing("NEW", "changed");
    int calls = 0;
    Window->OpenImportFile = [&](const std::string&) {
        return std::make_unique<TImportFile>([&, pos = size_t(0)](char* Buffer, size_t) mutable -> int64_t {
            if (++calls == 3) Window->Progress->AbortBtn->Click();
            const size_t end = std::min(text.size(), text.find('\n', pos) + 1);
            std::copy(text.begin() + long(pos), text.begin() + long(end), Buffer);
            const int64_t n = int64_t(end - pos);
            pos = end;
            return n;
        });
    };
    Shown.clear();
    Import("IMPORT01");
    EXPECT_TRUE(Shown.empty());  // the window closed at once
    EXPECT_EQ(Snapshot("Games"), before);
    EXPECT_FALSE(TableExists("New"));
}

TEST_F(ImportFilesTest, ReadErrorKeepsTheLinesReadBefore) {
    OpenWindow();
    SetProfile({{"ImportFrom", "P:\\any.txt"}});
    const std::string text = "ONE\r\nTWO\r\nTHREE\r\n";
    Window->OpenImportFile = [&](const std::string&) {
        return std::make_unique<TImportFile>([&, pos = size_t(0)](char* Buffer, size_t) mutable -> int64_t {
            if (pos >= text.size()) return -1;
            std::copy(text.begin(), text.end(), Buffer);
            pos = text.size();
            return int64_t(text.size());
        });
    };
    Import("VOL");
    // THREE was still pending when the error came: it is dropped.
    EXPECT_EQ(Entries("VOL", {"FileName"}), (V{"ONE", "TWO"}));
    EXPECT_EQ(Messages(), (V{TImportProfileForm::ReadErrorText}));
}

TEST_F(ImportFilesTest, SkippedLinesAndChecksBeforeReading) {
    OpenWindow();
    SetProfile({{"ImportFrom", WriteListing("list.txt", "ONE\r\nTWO\r\n")}}, {{"SkipLines", 3}});
    Import("VOL");
    EXPECT_EQ(Entries("VOL", {"FileName"}), V{});
    EXPECT_EQ(Rows("Games_SUM", {"CatalogVolumeLabel", "FilesOnDisk"}), (V{"VOL|0"}));

    ExpectRefused(*Window, [this] { Window->BitBtn3Click(); },
                  {{{{"ImportFrom", "  "}}, {}, TImportFilesForm::NoFileText},
                   {{{"ImportFrom", "P:\\list.txt"}},
                    {{"FNStartCol", 0}, {"FNEndCol", 0}},
                    "The Starting And Ending Columns For The FileName Cannot Be Zero"},
                   {{{"ImportFrom", "P:\\list.txt"}},
                    {{"FNStartCol", 1}, {"FNEndCol", 5}, {"FCatCodeStartCol", 9}, {"FCatCodeEndCol", 8}},
                    "The Ending Column For The File Category Code Cannot Be Less Than The Starting Column"},
                   {{{"ImportFrom", "P:\\missing.txt"}},
                    {{"FCatCodeStartCol", 0}},
                    TImportProfileForm::OpenErrorText}});
    EXPECT_EQ(Rows("Games_SUM", {"CatalogVolumeLabel"}), (V{"VOL"}));
}

TEST_F(ImportFilesTest, BlankLabelIsAskedAgainAndCancelEndsTheRun) {
    OpenWindow();
    SetProfile({{"ImportFrom", WriteListing("list.txt", "ONE\r\n")}});
    Driver.AnswerWith([](TCustomForm& F) {
        auto& prompt = dynamic_cast<catalog::TGetStringForm&>(F);
        EXPECT_EQ(prompt.Prompt->Caption(), "Enter The Volume Label Under Which To Catalog This Text");
        EXPECT_EQ(prompt.ResultString->MaxLength(), 11);
        prompt.ResultString->SetText("   ");
        prompt.SetModalResult(mrOk);
    });
    Driver.Answer(mrCancel);
    Window->BitBtn3Click();
    Driver.RunPending();
    EXPECT_EQ(Messages(), (V{TImportFilesForm::BlankLabelText}));
    EXPECT_TRUE(Rows("Games_SUM", {"CatalogVolumeLabel"}).empty());
    EXPECT_FALSE(TableExists("New"));
}

TEST_F(ImportFilesTest, ExistingVolumeIsQuestionedWhenTheCatalogAsks) {
    OpenWindow();
    SetProfile({{"ImportFrom", WriteListing("list.txt", "ONE\r\n")}});
    Import("VOL");
    SetCatalogOption("WarnIfExists", "True");
    Driver.Shown.clear();
    Driver.AnswerWith([](TCustomForm& F) {
        dynamic_cast<catalog::TGetStringForm&>(F).ResultString->SetText("vol");
        F.SetModalResult(mrOk);
    });
    Driver.Answer(mrNo);      // the question: the label is asked again
    Driver.Answer(mrCancel);  // and the run ends
    Window->BitBtn3Click();
    Driver.RunPending();
    EXPECT_EQ(Messages(), (V{"A Disk With This Name (\"VOL\") Already Exists In The Catalog.  Continue?"}));
    EXPECT_EQ(Rows("Games_LOG", {"Operation"}).size(), 1u);
}

TEST_F(ImportFilesTest, SelectiveCatalogingDecidesWhatIsImported) {
    struct Case {
        const char* Label;
        TModalResult Answer;
        V Entries;
        bool Waited;  // the progress window waited for Close
    } cases[] = {
        {"PROCEEDED", mrOk, {"ONE", "TWO"}, true},
        {"CANCELLED", mrCancel, {}, false},
    };
    SetCatalogOption("TfiSelectiveCataloging", "True");
    SetCatalogOption("SelectiveCatAutotag", "True");
    OpenWindow();
    SetProfile({{"ImportFrom", WriteListing("list.txt", "ONE\r\nTWO\r\n")}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Label);
        Shown.clear();
        Driver.AnswerWith([&c](TCustomForm& F) {
            dynamic_cast<catalog::TGetStringForm&>(F).ResultString->SetText(c.Label);
            F.SetModalResult(mrOk);
        });
        Driver.AnswerWith([&c](TCustomForm& F) {
            EXPECT_NE(dynamic_cast<cataloging::TSelectiveCatalogForm*>(&F), nullptr);
            F.SetModalResult(c.Answer);
        });
        Window->BitBtn3Click();
        Driver.RunPending();
        EXPECT_EQ(Entries(c.Label, {"FileName"}), c.Entries);
        EXPECT_EQ(!Shown.empty(), c.Waited);
        EXPECT_EQ(Rows("Games_SUM", {"CatalogVolumeLabel"}).size(), 1u);
    }
}

TEST_F(ImportFilesTest, OverlongNamesAreShortenedSkippedOrAbortTheRun) {
    const std::string longName(210, 'N');
    struct Case {
        const char* Label;
        TModalResult Answer;
        V Entries;
    } cases[] = {
        {"USED", mrOk, {"OK.TXT", "SHORT"}},
        {"SKIPPED", mrNo, {"OK.TXT"}},
        {"ABORTED", mrAbort, {}},
    };
    OpenWindow();
    SetProfile({{"ImportFrom", WriteListing("list.txt", "OK.TXT\r\n" + longName + "\r\n")}},
               {{"FNEndCol", 250}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Label);
        Driver.AnswerWith([&c](TCustomForm& F) {
            dynamic_cast<catalog::TGetStringForm&>(F).ResultString->SetText(c.Label);
            F.SetModalResult(mrOk);
        });
        Driver.AnswerWith([&c](TCustomForm& F) {
            auto& bad = dynamic_cast<cataloging::TCatalogProgressBadEntryForm&>(F);
            bad.EditFileName->SetText("SHORT");
            F.SetModalResult(c.Answer);
        });
        Window->BitBtn3Click();
        Driver.RunPending();
        EXPECT_EQ(Entries(c.Label, {"FileName"}), c.Entries);
    }
    // Abort ends the run before the catalog is touched.
    EXPECT_EQ(Rows("Games_SUM", {"CatalogVolumeLabel"}), (V{"SKIPPED", "USED"}));
}

TEST_F(ImportFilesTest, FileCommentEditorOpensEvenWithNothingCatalogued) {
    SetCatalogOption("AutoEditFileComments", "True");
    std::vector<std::string> edited;
    const auto saved = cataloging::RunCommentEditors.EditFileComments;
    cataloging::RunCommentEditors.EditFileComments = [&](const cataloging::TCatalogRunSpec& Spec) {
        edited.push_back(Spec.CatalogLabel);
    };
    OpenWindow();
    SetProfile({{"ImportFrom", WriteListing("list.txt", "ONE\r\n")}});
    catalog::ExcludeSpecs = {"*.*"};
    Import("VOL");
    cataloging::RunCommentEditors.EditFileComments = saved;
    EXPECT_EQ(edited, (V{"VOL"}));
}

}  // namespace
}  // namespace tools::importtest
