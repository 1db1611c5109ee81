// The catalog manager over two catalogs on drive D:: CAT1 (the current one, the source) and CAT2.
// Volumes and entries are written straight into the catalogs' tables; the dialogs the manager
// opens are answered through the form driver.

#include "cataloging/manager/CatalogManagerForm.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalog/CatalogSizeForms.h"
#include "catalog/CatalogStore.h"
#include "catalog/SelectCatalogForm.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Masks.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "platform/Beep.h"
#include "platform/Registry.h"
#include "platform/testsupport/UserEnv.h"

namespace cataloging {
namespace {

using namespace framework;
using catalog::TNameLengths;

struct TVolume {
    std::string Label;
    std::string Comment;
};

struct TEntry {
    std::string Volume, FileName, Folder, Archive;
    std::string Category = "", Comment = "";
};

struct CatalogManagerTest : catalog::testsupport::TCatalogFixture {
    platform::testsupport::ScopedUserEnv UserEnv;  // the window keeps its state in a private registry
    TCatalogManagerForm* Form = nullptr;

    void TearDown() override {
        if (Form) Form->Free();
        TCatalogFixture::TearDown();
    }
    void MakeCatalog(const std::string& name, TNameLengths lengths = {30, 60, 20}, bool keepLog = true) {
        catalog::CurrentCatalogName = name;
        catalog::TCatalogStore store;
        store.CreateCatalogConfig(false, lengths);
        store.OpenCatalog(true);
        ASSERT_EQ(catalog::CurrentCatalogName, name);
        auto cfg = Table("CatalogConfigs");
        cfg->Open();
        ASSERT_TRUE(cfg->FindKey({Variant(name)}));
        cfg->Edit();
        cfg->FieldByName("KeepActivityLog")->SetAsBoolean(keepLog);
        cfg->Post();
        catalog::CurrentCatalogName.clear();
    }
    void AddVolumes(const std::string& cat, const std::vector<TVolume>& volumes) {
        auto t = Table(cat + "_SUM");
        t->Open();
        int n = 0;
        for (const TVolume& v : volumes) {
            ++n;
            t->Append();
            t->FieldByName("CatalogVolumeLabel")->SetAsString(v.Label);
            t->FieldByName("ActualVolumeLabel")->SetAsString(v.Label + "A");
            t->FieldByName("SerialNumber")->SetAsInteger(0x1A2B0000 + n);
            t->FieldByName("DateFirstCataloged")->SetAsDateTime(EncodeDate(2020, 1, n));
            t->FieldByName("DateLastCataloged")->SetAsDateTime(EncodeDate(2021, 2, n));
            t->FieldByName("DiskSize")->SetAsFloat(5000000000.0 + n);
            t->FieldByName("DiskClusterSize")->SetAsFloat(4096);
            t->FieldByName("DiskUsed")->SetAsFloat(1000.0 * n);
            t->FieldByName("DiskFree")->SetAsFloat(2000.0 * n);
            t->FieldByName("FilesOnDisk")->SetAsInteger(10 + n);
            t->FieldByName("FilesInArchives")->SetAsInteger(n);
            t->FieldByName("CatalogedFrom")->SetAsString("D");
            t->FieldByName("Comment")->SetAsString(v.Comment);
            t->Post();
        }
    }
    void AddEntries(const std::string& cat, const std::vector<TEntry>& entries) {
        auto t = Table(cat + "_CAT");
        t->Open();
        for (const TEntry& e : entries) {
            t->Append();
            t->FieldByName("FileName")->SetAsString(e.FileName);
            t->FieldByName("VolumeLabel")->SetAsString(e.Volume);
            t->FieldByName("FolderName")->SetAsString(e.Folder);
            t->FieldByName("ArchiveID")->SetAsString(e.Archive);
            t->FieldByName("FileSize")->SetAsFloat(123);
            t->FieldByName("DateModified")->SetAsDateTime(EncodeDate(2019, 5, 6));
            t->FieldByName("TimeModified")->SetAsDateTime(EncodeTime(7, 8, 10, 0));
            t->FieldByName("Attribute")->SetAsInteger(32);
            t->FieldByName("CategoryCode")->SetAsString(e.Category);
            t->FieldByName("Comment")->SetAsString(e.Comment);
            t->Post();
        }
    }
    // Every record of a table as "field=value;..." (Tag left out unless asked), in primary order.
    std::vector<std::string> Rows(const std::string& name, bool withTag = false,
                                  const std::string& index = "") {
        auto t = Table(name);
        t->SetIndexName(index);
        t->Open();
        std::vector<std::string> out;
        for (t->First(); !t->Eof(); t->Next()) {
            std::string row;
            for (int i = 0; i < t->FieldCount(); ++i) {
                TField* f = t->Fields[i];
                if (!withTag && f->FieldName == "Tag") continue;
                row += f->FieldName + "=" + f->AsString() + ";";
            }
            out.push_back(row);
        }
        return out;
    }
    std::vector<std::string> Column(const std::string& name, const std::string& field,
                                    const std::string& index = "") {
        auto t = Table(name);
        t->SetIndexName(index);
        t->Open();
        std::vector<std::string> out;
        for (t->First(); !t->Eof(); t->Next()) out.push_back(t->FieldByName(field)->AsString());
        return out;
    }
    std::vector<std::string> Log(const std::string& cat) { return Column(cat + "_LOG", "Operation"); }

    // Two catalogs: CAT1 with BACKUP01, backup02 (stored upper case) and PHOTOS, CAT2 empty.
    void TwoCatalogs(TNameLengths destination = {30, 60, 20}) {
        MakeCatalog("CAT1");
        MakeCatalog("CAT2", destination);
        AddVolumes("CAT1", {{"BACKUP01", "first"}, {"BACKUP02", "second"}, {"PHOTOS", "third"}});
        AddEntries("CAT1", {{"BACKUP01", "README.TXT", "\\", "", "DOC", "read me"},
                            {"BACKUP01", "NOTES.TXT", "\\DOCS\\OLD", "", "", ""},
                            {"BACKUP01", "A.TXT", "\\", "PACK.ZIP", "", "in zip"},
                            {"BACKUP02", "X.DAT", "\\", ""},
                            {"PHOTOS", "IMG1.JPG", "\\2020", ""}});
    }
    void OpenManager(const std::string& current = "CAT1") {
        catalog::CurrentCatalogName = current;
        Form = TCustomForm::Create<TCatalogManagerForm>(Application);
        Form->Show();
        Driver.RunPending();
    }
    // Picks the catalog in the picker that Load Source / Load Dest. opens.
    void Pick(const std::string& name) {
        Driver.AnswerWith([name](TCustomForm& f) {
            auto& picker = dynamic_cast<catalog::TSelectCatalogForm&>(f);
            EXPECT_FALSE(picker.MakeCurrent);
            ASSERT_TRUE(picker.CfgTable2->FindKey({Variant(name)}));
            picker.SelectBtnClick();
        });
    }
    void LoadDestination(const std::string& name) {
        Pick(name);
        Form->BitBtn2Click();
    }
    void Highlight(const std::string& label) {
        ASSERT_TRUE(Form->SSummaryTable->Locate("CatalogVolumeLabel", Variant(label), {}));
    }
    std::vector<std::string> Marks() {
        std::vector<std::string> out;
        auto* t = Form->SSummaryTable;
        for (t->First(); !t->Eof(); t->Next())
            out.push_back(t->FieldByName("CatalogVolumeLabel")->AsString() + ":" + Form->Tagged->AsString());
        t->First();
        return out;
    }
    void Tag(const std::vector<std::string>& labels) {
        for (const auto& l : labels) {
            Highlight(l);
            Form->TagVolume(Form->SSummaryTable->FieldByName("Tag")->AsInteger());
        }
        Form->SSummaryTable->Refresh();
    }
    void Grab(TWinControl& form, const std::string& name) {
        EXPECT_TRUE(Driver.Grab(form, std::string(KORVANE_BUILD_DIR) + "/" + name + ".png"));
    }
};

TEST_F(CatalogManagerTest, TheWindowShowsTheSourceWithTagMarksAndTheDestination) {
    TwoCatalogs();
    AddVolumes("CAT2", {{"OTHER", ""}});
    OpenManager();
    EXPECT_EQ(Form->Caption(), "Catalog Manager");
    EXPECT_EQ(Form->SourceCatalogPanel->Caption(), "CAT1");
    EXPECT_EQ(Form->SRecordCount->Caption(), "3 Disks Cataloged");
    EXPECT_EQ(Form->DestinationCatalogPanel->Caption(), "<None Selected>");
    for (TBitBtn* b : {Form->ResequenceBtn, Form->ChgVolumeBtn, Form->DeleteBtn}) EXPECT_TRUE(b->Enabled());
    for (TBitBtn* b : {Form->CopyBtn, Form->MoveBtn}) EXPECT_FALSE(b->Enabled());
    // Only Sel, the label and the size are visible; the other columns are there, hidden.
    std::vector<std::string> visible, all;
    for (int c = 0; c < Form->SGrid->ColumnCount(); ++c) {
        TField* f = Form->SGrid->Column(c)->Field();
        ASSERT_NE(f, nullptr) << c;
        all.push_back(f->DisplayLabel());
        if (!Form->SGrid->Column(c)->Hidden()) visible.push_back(f->DisplayLabel());
    }
    EXPECT_EQ(visible, (std::vector<std::string>{"Sel", "Catalog Volume Label", "Disk Size"}));
    EXPECT_EQ(all.size(), 15u);
    EXPECT_EQ(all.back(), "Tag");
    EXPECT_EQ(Form->SGrid->LockedColumns(), 1);
    EXPECT_EQ(Form->SSummaryTable->FieldByName("DiskSize")->DisplayText(), "5,000,000,001");

    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:  ", "BACKUP02:  ", "PHOTOS:  "}));
    // A click on the locked cell of the second row toggles its tag, twice back again.
    const int x = 10;  // inside "Sel", the locked column (the grids have no indicator column)
    const int y = Form->SGrid->HeaderHeight() + Form->SGrid->RowHeight() + Form->SGrid->RowHeight() / 2;
    Driver.Click(*Form->SGrid, x, y);
    Driver.RunPending();
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:  ", "BACKUP02:<>", "PHOTOS:  "}));
    Form->SGridLockedCellClick(0);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:<>", "BACKUP02:<>", "PHOTOS:  "}));
    Form->SGridLockedCellClick(0);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:  ", "BACKUP02:<>", "PHOTOS:  "}));

    LoadDestination("CAT2");
    EXPECT_EQ(Form->DestinationCatalogPanel->Caption(), "CAT2");
    EXPECT_EQ(Form->DRecordCount->Caption(), "1 Disks Cataloged");
    EXPECT_TRUE(Form->CopyBtn->Enabled());
    EXPECT_TRUE(Form->MoveBtn->Enabled());
    EXPECT_EQ(Marks()[1], "BACKUP02:<>") << "loading a destination keeps the tags";
    Driver.RunPending();
    Grab(*Form, "CatalogManagerForm");

    // The tag table closed: every row shows "??".
    Form->STagTable->Close();
    Form->SSummaryTable->Refresh();
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:??", "BACKUP02:??", "PHOTOS:??"}));
    Form->STagTable->Open();

    // The same catalog on both sides is refused either way; nothing changes.
    Pick("CAT1");
    Form->BitBtn2Click();
    Pick("CAT2");
    Form->BitBtn1Click();
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"Destination Catalog Cannot Be The Same As The Source Catalog",
                                        "Source Catalog Cannot Be The Same As The Destination Catalog"}));
    EXPECT_EQ(Form->SourceCatalogPanel->Caption(), "CAT1");
    EXPECT_EQ(Form->DestinationCatalogPanel->Caption(), "CAT2");
    EXPECT_EQ(platform::BeepHistory().size(), 2u);

    // A new source drops every tag.
    MakeCatalog("CAT3");
    AddVolumes("CAT3", {{"ONE", ""}});
    Pick("CAT3");
    Form->BitBtn1Click();
    EXPECT_EQ(Marks(), (std::vector<std::string>{"ONE:  "}));
    Pick("CAT1");
    Form->BitBtn1Click();
    EXPECT_EQ(Form->SourceCatalogPanel->Caption(), "CAT1");
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:  ", "BACKUP02:  ", "PHOTOS:  "}));
}

TEST_F(CatalogManagerTest, TagButtonsWorkOnLabelsMatchingTheMask) {
    TwoCatalogs();
    AddVolumes("CAT1", {{"backup03", ""}});
    OpenManager();
    auto spec = [&](const std::string& mask, const std::string& caption, const std::string& prompt) {
        Driver.AnswerWith([=](TCustomForm& f) {
            auto& form = dynamic_cast<TGetTagUntagSpecForm&>(f);
            EXPECT_EQ(form.Caption(), caption);
            EXPECT_EQ(form.Prompt->Caption(), prompt);
            EXPECT_EQ(form.Spec->Text(), "*");
            form.Spec->SetText(mask);
            form.SetModalResult(mrOk);
        });
    };
    spec("back*", "Tag Summary Entries", "Enter Wildcard VolumeLabel Spec To Tag");
    Form->TagAllBtnClick(Form->TagSeveralBtn);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:<>", "BACKUP02:<>", "backup03:<>", "PHOTOS:  "}));
    spec("*02", "Untag Summary Entries", "Enter Wildcard VolumeLabel Spec To Untag");
    Form->TagAllBtnClick(Form->UntagSeveralBtn);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:<>", "BACKUP02:  ", "backup03:<>", "PHOTOS:  "}));
    Form->TagAllBtnClick(Form->InvertTagsBtn);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:  ", "BACKUP02:<>", "backup03:  ", "PHOTOS:<>"}));
    Form->TagAllBtnClick(Form->TagAllBtn);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:<>", "BACKUP02:<>", "backup03:<>", "PHOTOS:<>"}));
    Form->TagAllBtnClick(Form->ClearAllBtn);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP01:  ", "BACKUP02:  ", "backup03:  ", "PHOTOS:  "}));
    // A malformed mask raises the mask error with nothing tagged and the highlighted row kept.
    Highlight("PHOTOS");
    spec("[AB", "Tag Summary Entries", "Enter Wildcard VolumeLabel Spec To Tag");
    EXPECT_THROW(Form->TagAllBtnClick(Form->TagSeveralBtn), EMaskException);
    EXPECT_EQ(Form->SSummaryTable->FieldByName("CatalogVolumeLabel")->AsString(), "PHOTOS");
    EXPECT_EQ(Screen->Cursor(), crDefault);
    // Cancel in the mask dialog changes nothing; without a source the buttons refuse.
    Driver.Answer(mrCancel);
    Form->TagAllBtnClick(Form->TagSeveralBtn);
    EXPECT_EQ(Marks()[0], "BACKUP01:  ");
    Form->SourceCatalogPanel->SetCaption(TCatalogManagerForm::NoneSelected);
    Form->TagAllBtnClick(Form->TagAllBtn);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"No Source Catalog Selected"}));
}

TEST_F(CatalogManagerTest, ChangingALabelRenamesTheVolumeAndItsEntries) {
    TwoCatalogs();
    OpenManager();
    Highlight("BACKUP02");
    // backup01 is upper-cased to another volume's label: refused, and the dialog comes back
    // with what was typed; then NEWNAME is taken.
    Driver.AnswerWith([](TCustomForm& f) {
        auto& form = dynamic_cast<TCMChangeVolumeForm&>(f);
        EXPECT_EQ(form.Caption(), "Change Volume Label Of Cataloged Disk");
        EXPECT_EQ(form.Oldlabel->Text(), "BACKUP02");
        EXPECT_EQ(form.NewLabel->Text(), "BACKUP02");
        form.NewLabel->SetText("backup01");
        form.SetModalResult(mrOk);
    });
    Driver.Answer(mrOk);  // the clash message
    Driver.AnswerWith([](TCustomForm& f) {
        auto& form = dynamic_cast<TCMChangeVolumeForm&>(f);
        EXPECT_EQ(form.NewLabel->Text(), "BACKUP01");
        form.NewLabel->SetText("NEWNAME");
        form.SetModalResult(mrOk);
    });
    Form->ChgVolumeBtnClick();
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"You Already Have Entries In This Catalog With This Volume Label"}));
    EXPECT_EQ(Column("CAT1_SUM", "CatalogVolumeLabel"),
              (std::vector<std::string>{"BACKUP01", "NEWNAME", "PHOTOS"}));
    EXPECT_EQ(Column("CAT1_SUM", "ActualVolumeLabel"),
              (std::vector<std::string>{"BACKUP01A", "BACKUP02A", "PHOTOSA"}));
    EXPECT_EQ(Column("CAT1_CAT", "VolumeLabel", "ByVolumeLabel"),
              (std::vector<std::string>{"BACKUP01", "BACKUP01", "BACKUP01", "NEWNAME", "PHOTOS"}));
    EXPECT_EQ(Log("CAT1"), (std::vector<std::string>{"Rename Volume \"BACKUP02\" To \"NEWNAME\""}));
    EXPECT_NE(
        std::find(Windows.begin(), Windows.end(), "progress Adjusting Volume Label Names In Catalog File"),
        Windows.end());

    // Labels with quotes and SQL words pass as values; the same text again changes nothing.
    for (const std::string label : {"A\"B", "COMMENT", "TAG"}) {
        Highlight(Form->SSummaryTable->FieldByName("CatalogVolumeLabel")->AsString());
        Driver.AnswerWith([label](TCustomForm& f) {
            dynamic_cast<TCMChangeVolumeForm&>(f).NewLabel->SetText(label);
            f.SetModalResult(mrOk);
        });
        Highlight("NEWNAME");
        Form->ChgVolumeBtnClick();
        ASSERT_TRUE(Form->SSummaryTable->Locate("CatalogVolumeLabel", Variant(label), {})) << label;
        Driver.AnswerWith([label](TCustomForm& f) {
            dynamic_cast<TCMChangeVolumeForm&>(f).NewLabel->SetText(label);
            f.SetModalResult(mrOk);
        });
        Form->ChgVolumeBtnClick();
        Driver.AnswerWith([](TCustomForm& f) {
            dynamic_cast<TCMChangeVolumeForm&>(f).NewLabel->SetText("NEWNAME");
            f.SetModalResult(mrOk);
        });
        Form->ChgVolumeBtnClick();
        EXPECT_EQ(Column("CAT1_CAT", "VolumeLabel", "ByVolumeLabel")[3], "NEWNAME") << label;
    }
    EXPECT_EQ(Log("CAT1").size(), 7u);
}

TEST_F(CatalogManagerTest, DeleteTakesTheTaggedVolumesOrElseTheHighlightedOne) {
    TwoCatalogs();
    OpenManager();
    Highlight("PHOTOS");
    Driver.Answer(mrYes);
    Form->DeleteBtnClick();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Are You Sure You Want To Delete The Highlighted Volume?"}));
    EXPECT_EQ(Column("CAT1_SUM", "CatalogVolumeLabel"), (std::vector<std::string>{"BACKUP01", "BACKUP02"}));
    EXPECT_EQ(Column("CAT1_CAT", "VolumeLabel", "ByVolumeLabel"),
              (std::vector<std::string>{"BACKUP01", "BACKUP01", "BACKUP01", "BACKUP02"}));
    EXPECT_EQ(Form->SRecordCount->Caption(), "2 Disks Cataloged");
    EXPECT_EQ(Log("CAT1"), (std::vector<std::string>{"Deleted Volume \"PHOTOS\""}));

    // With a tag the highlighted volume is left alone.
    Tag({"BACKUP01"});
    Highlight("BACKUP02");
    Driver.Answer(mrNo);
    Form->DeleteBtnClick();
    EXPECT_EQ(Column("CAT1_SUM", "CatalogVolumeLabel").size(), 2u);
    Driver.Answer(mrYes);
    Form->DeleteBtnClick();
    EXPECT_EQ(Texts().back(), "Are You Sure You Want To Delete The Tagged Volume(s)?");
    EXPECT_EQ(Column("CAT1_SUM", "CatalogVolumeLabel"), (std::vector<std::string>{"BACKUP02"}));
    EXPECT_EQ(Column("CAT1_CAT", "VolumeLabel"), (std::vector<std::string>{"BACKUP02"}));
    EXPECT_TRUE(Form->STagTable->IsEmpty());
    EXPECT_EQ(Log("CAT1").back(), "Delete Multiple Volumes");
    EXPECT_EQ(Form->SRecordCount->Caption(), "1 Disks Cataloged");

    Driver.Answer(mrYes);
    Form->DeleteBtnClick();
    Driver.Shown.clear();
    Form->DeleteBtnClick();
    Form->ChgVolumeBtnClick();
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"No Summary Records On File", "No Summary Records On File"}));
}

TEST_F(CatalogManagerTest, ACopyKeepsEveryValueAndAMoveEmptiesTheSource) {
    TwoCatalogs();
    OpenManager();
    LoadDestination("CAT2");
    Tag({"BACKUP01", "PHOTOS"});
    Highlight("BACKUP02");
    Form->CopyBtnClick(Form->CopyBtn);
    // The copies are the source records to the last value, under new Tags.
    EXPECT_EQ(Rows("CAT2_SUM"), std::vector<std::string>({Rows("CAT1_SUM")[0], Rows("CAT1_SUM")[2]}));
    const auto sourceEntries = Rows("CAT1_CAT");
    std::vector<std::string> expected;
    for (const auto& r : sourceEntries)
        if (r.find("VolumeLabel=BACKUP02;") == std::string::npos) expected.push_back(r);
    EXPECT_EQ(Rows("CAT2_CAT"), expected);
    EXPECT_EQ(Column("CAT2_CAT", "Tag", "ByTag"), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_TRUE(Form->STagTable->IsEmpty()) << "the tags are used up";
    EXPECT_EQ(Form->DRecordCount->Caption(), "2 Disks Cataloged");
    EXPECT_EQ(Log("CAT1"), (std::vector<std::string>{"Copy Multiple Volumes To CAT2"}));
    EXPECT_TRUE(Log("CAT2").empty());
    EXPECT_NE(std::find(Windows.begin(), Windows.end(), "progress Verifying Copy Operation (cancel)"),
              Windows.end());

    // A move of the highlighted volume.
    Highlight("BACKUP02");
    Form->CopyBtnClick(Form->MoveBtn);
    EXPECT_EQ(Column("CAT1_SUM", "CatalogVolumeLabel"), (std::vector<std::string>{"BACKUP01", "PHOTOS"}));
    EXPECT_EQ(Column("CAT2_SUM", "CatalogVolumeLabel"),
              (std::vector<std::string>{"BACKUP01", "BACKUP02", "PHOTOS"}));
    EXPECT_EQ(Column("CAT1_CAT", "VolumeLabel").size(), 4u);
    EXPECT_EQ(Column("CAT2_CAT", "FileName", "ByVolumeLabel")[3], "X.DAT");
    EXPECT_EQ(Log("CAT1").back(), "Move Volume \"BACKUP02\" To CAT2");
    EXPECT_EQ(Form->SRecordCount->Caption(), "2 Disks Cataloged");
    EXPECT_TRUE(Log("CAT2").empty());
    EXPECT_TRUE(Texts().empty());
}

TEST_F(CatalogManagerTest, LabelsAlreadyInTheDestinationStopTheCopy) {
    TwoCatalogs();
    AddVolumes("CAT2", {{"BACKUP01", ""}, {"PHOTOS", ""}});
    OpenManager();
    LoadDestination("CAT2");
    Tag({"BACKUP01", "PHOTOS"});
    Form->CopyBtnClick(Form->CopyBtn);
    const std::string clash = "The Selected Volume Label Already Exists In The Destination Catalog";
    EXPECT_EQ(Texts(), (std::vector<std::string>{clash, clash}));
    EXPECT_TRUE(Column("CAT2_CAT", "FileName").empty());
    EXPECT_EQ(Form->STagTable->RecordCount(), 2) << "the tags stay";
    EXPECT_TRUE(Log("CAT1").empty());
    // An empty source has nothing to copy.
    Form->SSummaryTable->Close();
    Form->CopyBtnClick(Form->CopyBtn);
    EXPECT_EQ(Texts().back(), "No Summary/Catalog Records On File To Copy");
}

TEST_F(CatalogManagerTest, NamesLongerThanTheDestinationTakesNeedItsSizesAdjusted) {
    TwoCatalogs({16, 16, 16});
    AddEntries("CAT1", {{"PHOTOS", "A-VERY-LONG-FILE-NAME.JPEG", "\\A\\FOLDER\\NAME\\LONGER", ""}});
    OpenManager();
    LoadDestination("CAT2");
    Highlight("PHOTOS");
    Driver.AnswerWith([](TCustomForm& f) {
        auto& form = dynamic_cast<catalog::TResizeWarningForm&>(f);
        EXPECT_EQ(form.CatalogFileNameLengthPanel->Caption(), "16");
        EXPECT_EQ(form.FoundFileNameLengthPanel->Caption(), "26");
        EXPECT_EQ(form.FoundFolderNameLengthPanel->Caption(), "21");
        EXPECT_EQ(form.FoundArchiveIDLengthPanel->Caption(), "0");
        EXPECT_EQ(catalog::CurrentCatalogName, "CAT2");
        EXPECT_EQ(dynamic_cast<TLabel*>(form.FindComponent("ToBeCatalogedLabel"))->Caption(),
                  "Longest Found");
        const std::string note = dynamic_cast<TLabel*>(form.FindComponent("NoteLabel"))->Caption();
        EXPECT_TRUE(note.starts_with("Korvane has found that some of the catalog entries to be copied"))
            << note;
        EXPECT_TRUE(note.ends_with("Indicate your choice by selecting the appropriate option below."))
            << note;
        EXPECT_EQ(form.Table->TableName(), "CAT2_CAT");
        form.SetModalResult(mrCancel);
    });
    Form->CopyBtnClick(Form->CopyBtn);
    EXPECT_EQ(catalog::CurrentCatalogName, "CAT1");
    EXPECT_TRUE(Column("CAT2_SUM", "CatalogVolumeLabel").empty());
    EXPECT_TRUE(Column("CAT2_CAT", "FileName").empty());

    Driver.AnswerWith([this](TCustomForm& f) {
        Grab(f, "CatalogManagerResizeWarning");
        dynamic_cast<catalog::TResizeWarningForm&>(f).BitBtn1Click();
    });
    Form->CopyBtnClick(Form->CopyBtn);
    EXPECT_EQ(Column("CAT2_CAT", "FileName"),
              (std::vector<std::string>{"A-VERY-LONG-FILE-NAME.JPEG", "IMG1.JPG"}));
    auto t = Table("CAT2_CAT");
    t->Open();
    EXPECT_EQ(t->FieldByName("FileName")->Size(), 26);
    EXPECT_EQ(t->FieldByName("FolderName")->Size(), 21);
    EXPECT_EQ(Log("CAT1"), (std::vector<std::string>{"Copy Volume \"PHOTOS\" To CAT2"}));
}

TEST_F(CatalogManagerTest, AFailedVolumeLeavesNothingOfItselfInTheDestination) {
    TwoCatalogs();
    AddEntries("CAT1", {{"BACKUP02", "Y.DAT", "\\", ""}});
    // An entry in the destination with no volume record, the same key as the second entry of
    // BACKUP02: its insertion fails after X.DAT went in.
    AddEntries("CAT2", {{"BACKUP02", "Y.DAT", "\\", "", "", "stray"}});
    OpenManager();
    LoadDestination("CAT2");
    Tag({"BACKUP01", "BACKUP02", "PHOTOS"});
    Form->CopyBtnClick(Form->MoveBtn);
    EXPECT_EQ(
        Texts(),
        (std::vector<std::string>{
            "An Error Occurred While Copying Records From The Source Catalog To The Destination Catalog."}));
    EXPECT_EQ(Column("CAT2_SUM", "CatalogVolumeLabel"), (std::vector<std::string>{"BACKUP01"}));
    EXPECT_EQ(Column("CAT2_CAT", "FileName", "ByVolumeLabel"),
              (std::vector<std::string>{"A.TXT", "NOTES.TXT", "README.TXT", "Y.DAT"}));
    EXPECT_EQ(Column("CAT2_CAT", "Comment", "ByVolumeLabel").back(), "stray");
    // The moved volume left the source; the failed one and the one after stay, tagged.
    EXPECT_EQ(Column("CAT1_SUM", "CatalogVolumeLabel"), (std::vector<std::string>{"BACKUP02", "PHOTOS"}));
    EXPECT_EQ(Column("CAT1_CAT", "VolumeLabel", "ByVolumeLabel"),
              (std::vector<std::string>{"BACKUP02", "BACKUP02", "PHOTOS"}));
    EXPECT_EQ(Form->STagTable->RecordCount(), 2);
    EXPECT_TRUE(Log("CAT1").empty());
}

TEST_F(CatalogManagerTest, CancelStopsTheCopyBeforeItBeginsOrBetweenVolumes) {
    TwoCatalogs();
    OpenManager();
    LoadDestination("CAT2");
    Tag({"BACKUP01", "BACKUP02", "PHOTOS"});
    // Cancel while verifying: nothing is copied and every tag stays.
    auto record = Progress->OnShow;
    Progress->OnShow = [&](TObject* Sender) {
        record(Sender);
        if (Progress->Caption() == "Verifying Copy Operation") Progress->CancelPressed = true;
    };
    Form->CopyBtnClick(Form->CopyBtn);
    EXPECT_TRUE(Column("CAT2_SUM", "CatalogVolumeLabel").empty());
    EXPECT_TRUE(Column("CAT2_CAT", "FileName").empty());
    EXPECT_EQ(Form->STagTable->RecordCount(), 3);
    // Cancel pressed while the first volume is copied: it is finished, the others are not begun.
    Progress->OnShow = record;
    Form->DSummaryTable2->AfterPost = [&](TDataSet*) { Progress->CancelPressed = true; };
    Form->CopyBtnClick(Form->MoveBtn);
    EXPECT_EQ(Column("CAT2_SUM", "CatalogVolumeLabel"), (std::vector<std::string>{"BACKUP01"}));
    EXPECT_EQ(Column("CAT2_CAT", "VolumeLabel"),
              (std::vector<std::string>{"BACKUP01", "BACKUP01", "BACKUP01"}));
    EXPECT_EQ(Column("CAT1_SUM", "CatalogVolumeLabel"), (std::vector<std::string>{"BACKUP02", "PHOTOS"}));
    EXPECT_EQ(Marks(), (std::vector<std::string>{"BACKUP02:<>", "PHOTOS:<>"}));
    EXPECT_TRUE(Log("CAT1").empty());
    EXPECT_TRUE(Texts().empty());
}

TEST_F(CatalogManagerTest, AFailedRenumberingLeavesTagAnAutoIncrementAfterTheHighest) {
    const std::string restore = "\r\n\r\nYou Should Restore A Backup Copy Of This Catalog.";
    struct Case {
        bool summary;
        std::string message;
    } cases[] = {{false, "Error Resequencing Catalog Table - It Is Likely Damaged." + restore},
                 {true, "Error Resequencing Summary Table - It Is Likely Damaged." + restore}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        MakeCatalog("CAT1");
        AddVolumes("CAT1", {{"ONE", ""}, {"TWO", ""}, {"THREE", ""}});
        AddEntries("CAT1", {{"ONE", "A", "\\", ""}, {"TWO", "B", "\\", ""}, {"THREE", "C", "\\", ""}});
        const auto summaryBefore = Rows("CAT1_SUM", true);
        const auto entriesBefore = Rows("CAT1_CAT", true);
        OpenManager();
        // The second record refuses its new number.
        int posts = 0;
        (c.summary ? Form->SSummaryTable2 : Form->SCatalogTable)->BeforePost = [&](TDataSet*) {
            if (++posts == 2) throw std::runtime_error("refused");
        };
        Form->ResequenceBtnClick();
        EXPECT_EQ(Texts(), (std::vector<std::string>{c.message}));
        EXPECT_TRUE(Log("CAT1").empty());
        EXPECT_EQ(Form->SourceCatalogPanel->Caption(), c.summary ? "<None Selected>" : "CAT1");
        const std::string name = c.summary ? "CAT1_SUM" : "CAT1_CAT";
        auto t = Table(name);
        t->Open();
        EXPECT_EQ(t->FieldByName("Tag")->DataType(), ftAutoInc);
        t->Close();
        // The first record took 1, which another record already held; the next one added goes on
        // after the highest.
        if (c.summary)
            AddVolumes("CAT1", {{"FOUR", ""}});
        else
            AddEntries("CAT1", {{"FOUR", "D", "\\", ""}});
        EXPECT_EQ(Column(name, "Tag", "ByTag").back(), "4");
        Form->Free();
        Form = nullptr;
        for (const char* table : {"CAT1_SUM", "CAT1_CAT", "CAT1_LOG"}) Table(table)->DeleteTable();
        auto cfg = Table("CatalogConfigs");
        cfg->Open();
        ASSERT_TRUE(cfg->FindKey({Variant("CAT1")}));
        cfg->Delete();
        Driver.Shown.clear();
    }
}

TEST_F(CatalogManagerTest, TheQueryProgressShowsItsOwnPercentageOrRefinesAVolumeCount) {
    OpenManager("");
    struct Case {
        int mode, done, toDo, percent, shown;
    } cases[] = {
        {0, 0, 0, 40, 40}, {1, 1, 4, 50, 37}, {1, 3, 4, 100, 100}, {1, 0, 3, 99, 33}, {2, 1, 2, 80, 7}};
    for (const Case& c : cases) {
        Progress->ProgressBar->SetProgress(7);
        Form->QueryProgressMode = c.mode;
        Form->VolumesDone = c.done;
        Form->VolumesToDo = c.toDo;
        Form->QueryQueryProgress(c.percent);
        EXPECT_EQ(Progress->ProgressBar->Progress(), c.shown) << c.mode << " " << c.done << "/" << c.toDo;
    }
}

TEST_F(CatalogManagerTest, ResequencingNumbersVolumesAndEntriesInLabelOrder) {
    MakeCatalog("CAT1");
    // Tags 1 to 9, then all but 3, 7 and 9 deleted: ZED has 3, ALPHA 7, MID 9.
    AddVolumes("CAT1", {{"V1", ""},
                        {"V2", ""},
                        {"ZED", "z"},
                        {"V4", ""},
                        {"V5", ""},
                        {"V6", ""},
                        {"ALPHA", "a"},
                        {"V8", ""},
                        {"MID", "m"}});
    {
        auto t = Table("CAT1_SUM");
        t->Open();
        for (const char* gone : {"V1", "V2", "V4", "V5", "V6", "V8"}) {
            ASSERT_TRUE(t->FindKey({Variant(gone)}));
            t->Delete();
        }
    }
    AddEntries("CAT1", {{"ZED", "B.TXT", "\\", ""},
                        {"ALPHA", "Z.TXT", "\\", "", "CAT", "c1"},
                        {"MID", "M.TXT", "\\", ""},
                        {"ALPHA", "A.TXT", "\\SUB", "", "", "c2"},
                        {"ZED", "A.TXT", "\\", ""}});
    {
        auto t = Table("CAT1_CAT");
        t->Open();
        t->First();
        t->Delete();  // the entries' Tags start at 2
    }
    const auto summaryBefore = Rows("CAT1_SUM");
    const auto entriesBefore = Rows("CAT1_CAT");
    OpenManager();
    Tag({"ALPHA"});
    Form->ResequenceBtnClick();
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(Column("CAT1_SUM", "Tag"), (std::vector<std::string>{"1", "2", "3"}));  // ALPHA, MID, ZED
    EXPECT_EQ(Column("CAT1_CAT", "Tag", "ByVolumeLabel"), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(Rows("CAT1_SUM"), summaryBefore);
    EXPECT_EQ(Rows("CAT1_CAT"), entriesBefore);
    auto t = Table("CAT1_CAT");
    t->Open();
    EXPECT_EQ(t->FieldByName("FileName")->Size(), 30);
    EXPECT_EQ(t->FieldByName("FolderName")->Size(), 60);
    EXPECT_EQ(t->FieldByName("ArchiveID")->Size(), 20);
    EXPECT_EQ(t->FieldByName("Tag")->DataType(), ftAutoInc);
    EXPECT_EQ(Log("CAT1"), (std::vector<std::string>{"Resequence Tables"}));
    EXPECT_TRUE(Form->STagTable->IsEmpty()) << "no volume is marked after renumbering";
    EXPECT_EQ(Marks(), (std::vector<std::string>{"ALPHA:  ", "MID:  ", "ZED:  "}));
    EXPECT_NE(std::find(Windows.begin(), Windows.end(), "progress Resequencing Catalog Table"),
              Windows.end());
    // The next volume and the next entry go on from there.
    AddVolumes("CAT1", {{"NEXT", ""}});
    AddEntries("CAT1", {{"NEXT", "N.TXT", "\\", ""}});
    EXPECT_EQ(Column("CAT1_SUM", "Tag", "ByTag").back(), "4");
    EXPECT_EQ(Column("CAT1_CAT", "Tag", "ByTag").back(), "5");
}

TEST_F(CatalogManagerTest, ResequencingAnEmptyCatalogStartsItsNumbersAgain) {
    MakeCatalog("CAT1");
    AddVolumes("CAT1", {{"GONE", ""}});
    AddEntries("CAT1", {{"GONE", "G.TXT", "\\", ""}});
    for (const char* name : {"CAT1_SUM", "CAT1_CAT"}) {
        auto t = Table(name);
        t->Open();
        t->First();
        t->Delete();
    }
    OpenManager();
    Form->ResequenceBtnClick();
    EXPECT_TRUE(Column("CAT1_SUM", "Tag").empty());
    AddVolumes("CAT1", {{"FIRST", ""}});
    AddEntries("CAT1", {{"FIRST", "F.TXT", "\\", ""}});
    EXPECT_EQ(Column("CAT1_SUM", "Tag"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(Column("CAT1_CAT", "Tag"), (std::vector<std::string>{"1"}));
}

TEST_F(CatalogManagerTest, ClosingDeletesTheTagTableAndABadCurrentCatalogIsReported) {
    TwoCatalogs();
    OpenManager();
    EXPECT_TRUE(Table("TaggedEntries")->Exists());
    Form->Close();
    Driver.RunPending();
    EXPECT_FALSE(Table("TaggedEntries")->Exists());
    Form->Free();
    Form = nullptr;
    const std::string saved =
        platform::testsupport::ReadTextFile(platform::RegistryFileName(platform::HKEY_CURRENT_USER));
    EXPECT_NE(saved.find("TCatalogManagerForm]"), std::string::npos) << saved;
    EXPECT_NE(saved.find("NormalPos"), std::string::npos) << saved;

    OpenManager("NOSUCH");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Error Opening Summary File For Current Catalog"}));
    EXPECT_EQ(Form->SourceCatalogPanel->Caption(), "<None Selected>");
    EXPECT_EQ(Form->SRecordCount->Caption(), "");
    EXPECT_TRUE(platform::BeepHistory().empty());
}

}  // namespace
}  // namespace cataloging
