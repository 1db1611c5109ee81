// The offload window over a folder of drive D: and a catalog there: reading the list, its counters
// and orders, the tag commands, erasing, inverting the tags of catalogued files and the archive
// comment viewer.
#include "tools/offload/DiskFillForm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/GetStringForm.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "controls/grid/CtlTable.h"
#include "framework/core/DateTime.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/testsupport/UserEnv.h"
#include "tools/offload/DiskFillDialogs.h"

namespace tools {
namespace {

using namespace framework;
using platform::testsupport::RunShell;

class DiskFillFormTest : public catalog::testsupport::TCatalogFixture {
protected:
    platform::testsupport::ScopedUserEnv Env;
    TDiskFillForm* Form = nullptr;

    void TearDown() override {
        if (Form) Form->Free();
        TCatalogFixture::TearDown();
    }
    std::string Write(const std::string& Name, const std::string& Text) {
        return Root.WriteFile("FILES/" + Name, Text);
    }
    void Open(const std::string& Folder = "D:\\FILES") {
        Form = TCustomForm::Create<TDiskFillForm>(Application);
        Form->Folder->SetCaption(Folder);
        Form->Show();
        Driver.RunPending();
    }
    // What the grid shows in a cell.
    std::string Cell(int32_t Row, int32_t Col) {
        grid::TCtlCellValue V;
        Form->FileGrid->OnGetCellData(Form->FileGrid, Row, Col, V, grid::cdpForPaint);
        return V.Kind == grid::TCtlCellValue::cvCheck ? std::to_string(V.Check) : V.Text;
    }
    std::vector<std::string> Names() {
        std::vector<std::string> Out;
        for (int32_t R = 1; R <= Form->List.Count(); ++R) Out.push_back(Cell(R, 1));
        return Out;
    }
    std::vector<std::string> Counters() {
        return {Form->FilesInListLabel->Caption(), Form->BytesInListLabel->Caption(),
                Form->TaggedFilesLabel->Caption(), Form->TaggedBytesLabel->Caption()};
    }
    void Click(TControl& C) {
        Driver.Click(C);
        Driver.RunPending();
    }
    int32_t RowOf(const std::string& Name) {
        for (int32_t R = 1; R <= Form->List.Count(); ++R)
            if (Cell(R, 1) == Name) return R;
        return -1;
    }
    void ClickTag(int32_t Row) {
        const TRect R = Form->FileGrid->CellRect(Row, 0);
        Driver.Click(*Form->FileGrid, R.Left + 5, R.Top + 5);
        Driver.RunPending();
    }
};

TEST_F(DiskFillFormTest, ListsTheFilesOfTheFolderWithCountersAndPattern) {
    for (int I = 1; I <= 10; ++I) Write("F" + std::to_string(I) + ".TXT", std::string(100 * I, 'x'));
    Write("NOTES.DOC", "d");
    Write("sub/INNER.TXT", "inner");
    { std::ofstream(Root / "FILES/BIG.BIN"); }
    std::filesystem::resize_file(Root / "FILES/BIG.BIN", int64_t{5} << 30);
    Open();
    EXPECT_EQ(Form->Folder->Caption(), "D:\\FILES");
    EXPECT_EQ(Form->List.Count(), 12);  // no sub-folder
    EXPECT_EQ(Form->FileGrid->RowLimit(), 13);
    EXPECT_EQ(Counters(), (std::vector<std::string>{"12", "5,368,714,621", "0", "0"}));
    const int32_t Big = RowOf("BIG.BIN");
    ASSERT_GT(Big, 0);
    EXPECT_EQ(Cell(Big, 2), "5,368,709,120");
    EXPECT_EQ(Cell(0, 3), "Date Modified");
    EXPECT_EQ(Cell(RowOf("F1.TXT"), 5), "A");
    if (const char* Dir = std::getenv("KORVANE_GRABS")) Driver.Grab(*Form, std::string(Dir) + "/offload.png");

    // A tag survives leaving the pattern field unchanged (no reading), not a new pattern.
    ClickTag(RowOf("F3.TXT"));
    EXPECT_EQ(Counters()[2], "1");
    Form->PatternEdit->SetFocus();
    Driver.RunPending();
    Form->FileGrid->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Counters()[2], "1");
    Form->PatternEdit->SetFocus();
    Driver.RunPending();
    Form->PatternEdit->SetText("*.TXT");
    Form->AutoTag->SetChecked(true);
    Click(*Form->ApplyBtn);
    EXPECT_EQ(Form->List.Count(), 10);
    EXPECT_EQ(Counters(), (std::vector<std::string>{"10", "5,500", "10", "5,500"}));
}

TEST_F(DiskFillFormTest, TheFolderTaggingAndSortChoiceComeBackAndTheLayoutFollowsTheWidth) {
    Write("A.TXT", "a");
    Write("OTHER/B.TXT", "b");
    Open();
    Form->FolderSelect->SetDirectory("D:\\FILES\\OTHER");
    Driver.RunPending();
    EXPECT_EQ(Form->Folder->Caption(), "D:\\FILES\\OTHER");
    Form->AutoTag->SetChecked(true);
    Click(*Form->SortSize);
    Form->Close();
    Driver.RunPending();
    Form->Free();
    Form = TCustomForm::Create<TDiskFillForm>(Application);
    Form->Show();
    Driver.RunPending();
    EXPECT_EQ(Form->Folder->Caption(), "D:\\FILES\\OTHER");
    EXPECT_TRUE(Form->AutoTag->Checked());
    EXPECT_TRUE(Form->SortSize->Checked());
    EXPECT_EQ(Form->List.TaggedFiles, 1);  // B.TXT, tagged as it was read

    Form->SetWidth(900);
    Driver.RunPending();
    const int W = (Form->SortGroup->Width() - 438) / 7;
    EXPECT_EQ(Form->SortFName->Left(), 2 * W + 65);
    EXPECT_EQ(Form->SortReverse->Left(), 6 * W + 370);
    EXPECT_EQ(Form->TaggedBytesPanel->Width(), Form->CounterPanel->Width() / 4 - 4);
}

TEST_F(DiskFillFormTest, MoreThanTenThousandFilesAreReportedOnce) {
    Root.MakeFolder("FILES");
    for (int I = 0; I <= 10001; ++I) std::ofstream(Root / ("FILES/N" + std::to_string(I)));
    Open();
    EXPECT_EQ(Texts(),
              std::vector<std::string>{"There Are More Than 10,000 Files In This Folder - Excess Skipped"});
    EXPECT_EQ(Form->List.Count(), 10000);
    EXPECT_EQ(Counters()[0], "10,000");
}

TEST_F(DiskFillFormTest, SortOrdersAndTags) {
    Write("a.txt", "aaa");
    Write("B.TXT", "b");
    Write("c.doc", "cc");
    Write("D.DOC", "dddd");
    Open();
    using V = std::vector<std::string>;
    const V Search = Names();  // the order of the folder search
    Click(*Form->SortFName);
    EXPECT_EQ(Names(), (V{"B.TXT", "D.DOC", "a.txt", "c.doc"}));
    Click(*Form->SortReverse);
    EXPECT_EQ(Names(), (V{"c.doc", "a.txt", "D.DOC", "B.TXT"}));
    Click(*Form->SortSize);
    EXPECT_EQ(Names(), (V{"D.DOC", "a.txt", "c.doc", "B.TXT"}));
    Click(*Form->SortReverse);
    Click(*Form->SortFExt);
    EXPECT_EQ(Names(), (V{"D.DOC", "B.TXT", "c.doc", "a.txt"}));
    Click(*Form->SortNone);
    EXPECT_EQ(Names(), Search);
    Click(*Form->SortSize);

    // A tag cell clicked twice leaves the counters; the grid shows the record of its row.
    ClickTag(2);
    EXPECT_EQ(Cell(2, 0), "1");
    EXPECT_TRUE(Form->List.Rec(Form->List.Rec(2).DisplaySlot).Tagged);
    EXPECT_EQ(Counters(), (V{"4", "10", "1", "2"}));  // row 2 is c.doc (2 bytes)
    ClickTag(2);
    EXPECT_EQ(Counters(), (V{"4", "10", "0", "0"}));

    Driver.AnswerWith(
        [](TCustomForm& F) {
            auto& Prompt = dynamic_cast<catalog::TGetStringForm&>(F);
            EXPECT_EQ(Prompt.Caption(), "Tag Several");
            EXPECT_EQ(Prompt.Prompt->Caption(), "Tag Files Conforming To This Filespec");
            Prompt.ResultString->SetText(" *.DOC ");
            Prompt.SetModalResult(mrOk);
        },
        mrOk);
    Click(*Form->TagSeveralBtn);
    EXPECT_EQ(Counters(), (V{"4", "10", "2", "6"}));
    Driver.AnswerWith(
        [](TCustomForm& F) {
            auto& Prompt = dynamic_cast<catalog::TGetStringForm&>(F);
            EXPECT_EQ(Prompt.Caption(), "UnTag Several");
            Prompt.ResultString->SetText("[c]*");
        },
        mrOk);
    Click(*Form->UntagSeveralBtn);
    EXPECT_EQ(Counters(), (V{"4", "10", "1", "4"}));
    Driver.Answer(mrCancel);
    Click(*Form->TagSeveralBtn);
    EXPECT_EQ(Counters()[2], "1");
    Click(*Form->InvertTagsBtn);
    EXPECT_EQ(Counters(), (V{"4", "10", "3", "6"}));
    Click(*Form->TagAllBtn);
    EXPECT_EQ(Counters(), (V{"4", "10", "4", "10"}));
    Click(*Form->ClearTagsBtn);
    EXPECT_EQ(Counters(), (V{"4", "10", "0", "0"}));
}

TEST_F(DiskFillFormTest, EraseDeletesTaggedFilesAndAsksOnFailures) {
    Write("KEEP.TXT", "k");
    const std::string Locked = Write("LOCKED.TXT", "r");
    Write("X1.TMP", "1");
    Write("X2.TMP", "2");
    Write("X3.TMP", "3");
    std::filesystem::permissions(Locked,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    Open();
    Click(*Form->EraseBtn);
    EXPECT_EQ(Texts(), std::vector<std::string>{"No Files Have Been Tagged"});

    // A read-only file is deleted; No to the question deletes nothing.
    ClickTag(RowOf("LOCKED.TXT"));
    Driver.Answer(mrNo);
    Click(*Form->EraseBtn);
    EXPECT_TRUE(std::filesystem::exists(Locked));
    Driver.Answer(mrYes);
    Click(*Form->EraseBtn);
    EXPECT_FALSE(std::filesystem::exists(Locked));
    EXPECT_EQ(Form->List.Count(), 4);
    EXPECT_EQ(Driver.Shown.back().Text, "Are You Sure You Want To Delete The 1 Files?");

    // Deletions that fail: Yes goes on, Yes to All stops asking, No stops.
    platform::TScopedFileFault Fault(
        [](platform::TFileOperation Op, const std::string& Path, int64_t, uint32_t) {
            return Op == platform::TFileOperation::Delete && Path.find(".TMP") != std::string::npos
                       ? platform::TFileFault{platform::ERROR_ACCESS_DENIED}
                       : platform::TFileFault{};
        });
    Form->PatternEdit->SetText("*.TMP");
    Click(*Form->ApplyBtn);
    Click(*Form->TagAllBtn);
    Driver.Shown.clear();
    Driver.Answer(mrYes);
    Driver.Answer(mrYes);
    Driver.Answer(mrYesToAll);
    Click(*Form->EraseBtn);
    ASSERT_EQ(Driver.Shown.size(), 3u);
    EXPECT_EQ(Driver.Shown[1].Text, "Error Deleting File X1.TMP Continue?");
    EXPECT_EQ(Driver.Shown[1].Buttons, (TMsgDlgButtons{mbYes, mbNo, mbYesToAll}).Bits());
    EXPECT_EQ(Driver.Shown[2].Text, "Error Deleting File X2.TMP Continue?");
    EXPECT_EQ(Form->List.TaggedFiles, 0);  // read again
    Click(*Form->TagAllBtn);
    Driver.Shown.clear();
    Driver.Answer(mrYes);
    Driver.Answer(mrNo);
    Click(*Form->EraseBtn);
    EXPECT_EQ(Driver.Shown.size(), 2u);
}

class DiskFillCatalogTest : public DiskFillFormTest {
protected:
    void MakeCatalog(const std::vector<std::vector<std::string>>& Entries) {
        catalog::CurrentCatalogName = "Games";
        catalog::TCatalogStore Store;
        Store.CreateCatalogConfig(false, {30, 60, 20});
        Store.OpenCatalog(true);
        auto T = Table("Games_CAT");
        T->Open();
        int N = 0;
        for (const auto& E : Entries) {
            T->Append();
            T->FieldByName("FileName")->SetAsString(E[0]);
            T->FieldByName("VolumeLabel")->SetAsString("DISK" + std::to_string(++N));
            T->FieldByName("FolderName")->SetAsString("\\");
            T->FieldByName("ArchiveID")->SetAsString(E[3]);
            T->FieldByName("FileSize")->SetAsString(E[1]);
            T->FieldByName("DateModified")->SetAsDateTime(EncodeDate(2001, 2, std::stoi(E[2])));
            T->Post();
        }
        T->Close();
    }
    void Dated(const std::string& Name, const std::string& Text, int Day) {
        Write(Name, Text);
        RunShell("touch -d '2001-02-" + std::to_string(Day) + " 10:00' '" + (Root / ("FILES/" + Name)) + "'");
    }
    // Answers the options dialog.
    void Options(bool UseDate, bool UseSize, bool CheckArcs, TModalResult Result = mrOk) {
        Driver.AnswerWith(
            [=](TCustomForm& F) {
                auto& O = dynamic_cast<TDiskFillInvertDuplicateForm&>(F);
                EXPECT_EQ(O.Caption(), "Invert Tags Of Duplicate Files Found In Catalog");
                O.UseDate->SetChecked(UseDate);
                O.UseSize->SetChecked(UseSize);
                O.CheckArcs->SetChecked(CheckArcs);
                O.SetModalResult(Result);
            },
            Result);
    }
    std::vector<std::string> Tagged() {
        std::vector<std::string> Out;
        for (int32_t N = 1; N <= Form->List.Count(); ++N)
            if (Form->List.Rec(N).Tagged) Out.push_back(Form->List.Rec(N).Name);
        std::sort(Out.begin(), Out.end());
        return Out;
    }
};

TEST_F(DiskFillCatalogTest, DuplicatesFoundInTheCatalogHaveTheirTagsInverted) {
    Dated("ONCE.TXT", "1234", 3);
    Dated("TWICE.TXT", "22", 3);
    Dated("once.txt", "1234", 3);  // another name
    Dated("INARC.TXT", "1", 3);
    Dated("SIZED.TXT", "123", 3);
    Dated("DAY.TXT", "1", 5);
    MakeCatalog({{"ONCE.TXT", "4", "3", ""},
                 {"TWICE.TXT", "2", "3", ""},
                 {"TWICE.TXT", "2", "3", ""},
                 {"INARC.TXT", "1", "3", "STUFF.ZIP"},
                 {"SIZED.TXT", "999", "3", ""},
                 {"DAY.TXT", "1", "4", ""}});
    Open();
    using V = std::vector<std::string>;
    auto All = [&] {
        Click(*Form->TagAllBtn);
        return Tagged();
    };
    const V Everything = All();
    ASSERT_EQ(Everything.size(), 6u);
    // By name alone (archive members too): odd counts are inverted.
    Options(false, false, true);
    Click(*Form->InvertDupBtn);
    EXPECT_EQ(Tagged(), (V{"TWICE.TXT", "once.txt"}));
    EXPECT_EQ(Windows.back(),
              "progress Scanning For Files In Both The List And The Current Catalog (cancel)");
    EXPECT_EQ(Counters()[2], "2");
    // Sizes and days compared, archive members left out.
    All();
    Options(true, true, false);
    Click(*Form->InvertDupBtn);
    EXPECT_EQ(Tagged(), (V{"DAY.TXT", "INARC.TXT", "SIZED.TXT", "TWICE.TXT", "once.txt"}));
    // Cancel in the options changes nothing; Cancel in the progress window stops the walk.
    All();
    Options(false, false, true, mrCancel);
    Click(*Form->InvertDupBtn);
    EXPECT_EQ(Tagged(), Everything);
    Progress->OnShow = [this](TObject*) { Progress->CancelPressed = true; };
    Options(false, false, true);
    Click(*Form->InvertDupBtn);
    EXPECT_EQ(Tagged(), Everything);
}

TEST_F(DiskFillCatalogTest, CatalogsThatCannotBeReadAreReported) {
    Write("A.TXT", "a");
    catalog::CurrentCatalogName = "Missing";
    Open();
    Click(*Form->InvertDupBtn);
    MakeCatalog({});
    Click(*Form->InvertDupBtn);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Unable To Open The Current Catalog",
                                                 "There Are No Records In The Catalog"}));
    // The catalog panel opens the catalog manager and shows the current catalog afterwards.
    EXPECT_EQ(Form->ActiveCatalogName->Caption(), "Missing");
    std::string Opened;
    Driver.AnswerWith([&](TCustomForm& F) { Opened = F.ClassName(); }, mrCancel);
    Click(*Form->Panel6);
    EXPECT_EQ(Opened, "TSelectCatalogForm");
    EXPECT_EQ(Form->ActiveCatalogName->Caption(), "Games");
}

TEST_F(DiskFillFormTest, ArchiveCommentsAreShown) {
    Root.MakeFolder("FILES");
    Open();
    Click(*Form->ViewCmtBtn);
    EXPECT_EQ(Texts(), std::vector<std::string>{"There Are No Files In The List"});
    Form->Free();
    Form = nullptr;

    Root.WriteFile("src/file_id.diz", "\r\n  \r\nCool game\r\n\r\nVersion 2\r\n");
    Root.WriteFile("src/GAME.EXE", "MZ");
    Root.WriteFile("src/README.TXT", "r");
    auto Shell = [&](const std::string& C) {
        ASSERT_EQ(RunShell("cd '" + Root.Path() + "' && " + C + " >/dev/null 2>&1"), 0) << C;
    };
    Shell(
        "mkdir -p FILES && cd src && zip -q ../FILES/BOTH.ZIP file_id.diz GAME.EXE && zip -q "
        "../FILES/NONE.ZIP README.TXT");
    Shell("echo '  Archive note  ' | zip -q -z FILES/BOTH.ZIP");
    Write("PLAIN.TXT", "text");
    Open();
    Driver.Shown.clear();
    std::vector<std::string> Seen;
    auto Show = [&](const std::string& Name) {
        Form->FileGrid->SetActiveRow(RowOf(Name));
        Driver.RunPending();
        Click(*Form->ViewCmtBtn);
    };
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            auto& C = dynamic_cast<TDiskFillShowCmtForm&>(F);
            Seen = {C.Caption(), C.FileNamePanel->Caption(), C.ArchiveComment->Text(), C.DizComment->Text()};
        },
        mrOk);
    Show("BOTH.ZIP");
    EXPECT_EQ(Seen, (std::vector<std::string>{"File Comment", "BOTH.ZIP", "Archive note",
                                              "Cool game\r\n\r\nVersion 2"}));
    Show("NONE.ZIP");
    Show("PLAIN.TXT");
    const std::string None = "No Main Archive Or \"FILE_ID.DIZ\" Comment Found For This File";
    EXPECT_EQ(Texts(), (std::vector<std::string>{None, None}));
}

}  // namespace
}  // namespace tools
