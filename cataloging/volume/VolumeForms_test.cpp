// The names of volumes: the suggested alias, the label dialog on a FAT image (read back by the
// standard tools), erasing a label, and renaming a volume in the catalog after its label changed.

#include "cataloging/volume/VolumeForms.h"

#include <gtest/gtest.h>

#include "cataloging/testsupport/RunFixture.h"
#include "dbsql/components/DbQuery.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "platform/testsupport/UserEnv.h"

namespace cataloging {
namespace {

using namespace framework;
using namespace runtest;
using platform::testsupport::RunShell;
using platform::testsupport::ShellOutput;

class VolumeNamesTest : public CatalogRunTest {
protected:
    void MakeCatalog() {
        MakeCatalogRecord();
        catalog::TCatalogStore().OpenCatalog(true);
    }
    void SetLastLabel(const std::string& Label) { SetCatalogOption("LastVolumeLabel", Label); }
    // A volume (catalogued name, actual label) with one entry.
    void AddVolume(const std::string& Name, const std::string& Actual) {
        dbsql::TDbTable sum(nullptr);
        sum.SetDatabaseName("P:\\");
        sum.SetTableName("Games_SUM");
        sum.Open();
        sum.Append();
        sum.FieldByName("CatalogVolumeLabel")->SetAsString(Name);
        sum.FieldByName("ActualVolumeLabel")->SetAsString(Actual);
        sum.Post();
        dbsql::TDbTable cat(nullptr);
        cat.SetDatabaseName("P:\\");
        cat.SetTableName("Games_CAT");
        cat.Open();
        cat.Append();
        cat.FieldByName("FileName")->SetAsString("F.TXT");
        cat.FieldByName("VolumeLabel")->SetAsString(Name);
        cat.FieldByName("FolderName")->SetAsString("\\");
        cat.FieldByName("Comment")->SetAsString("COMMENT");
        cat.Post();
    }
    static V Volumes() {
        V out;
        dbsql::TDbTable sum(nullptr);
        sum.SetDatabaseName("P:\\");
        sum.SetTableName("Games_SUM");
        sum.Open();
        for (sum.First(); !sum.Eof(); sum.Next())
            out.push_back(sum.FieldByName("CatalogVolumeLabel")->AsString() + "|" +
                          sum.FieldByName("ActualVolumeLabel")->AsString());
        dbsql::TDbTable cat(nullptr);
        cat.SetDatabaseName("P:\\");
        cat.SetTableName("Games_CAT");
        cat.Open();
        for (cat.First(); !cat.Eof(); cat.Next())
            out.push_back("entry " + cat.FieldByName("VolumeLabel")->AsString() + "|" +
                          cat.FieldByName("Comment")->AsString());
        return out;
    }
};

TEST_F(VolumeNamesTest, TheSuggestionRaisesTheNumberAtTheEndOfTheLastLabel) {
    MakeCatalog();
    for (const char* taken : {"DISK010", "DISK012", "A000000001"}) AddVolume(taken, "X");
    const struct {
        const char* Last;
        const char* Suggested;
    } cases[] = {
        {"DISK009", "DISK011"},  // DISK010 is in the catalog
        {"DISK011", "DISK013"},
        {"DISK99", ""},  // the counter would need a third digit
        {"BACKUP", "BACKUP"},
        {"", ""},
        {"A000000000", "A000000002"},    // only the last nine digits count
        {"V1999999998", "V1999999999"},  // and the tenth stays
        {"DISK9  ", ""},                 // trailing blanks go first; 9 → 10 has no room
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Last);
        SetLastLabel(c.Last);
        catalog::LastCatalogedLabel = "stale";
        const std::string suggested = SuggestNextLabel();
        EXPECT_EQ(suggested, c.Suggested);
        EXPECT_EQ(catalog::LastCatalogedLabel.Text(), Trim(c.Last)) << "read from the catalog";
    }
    // Volumes that cannot be read make every candidate taken: no suggestion, and no count through
    // a billion numbers to find that out.
    SetLastLabel("A000000001");
    catalog::CatalogDataFolder = "P:\\MISSING\\";
    EXPECT_EQ(SuggestNextLabel(), "");
    catalog::CatalogDataFolder = "P:\\";
    catalog::CurrentCatalogName = " ";
    EXPECT_EQ(SuggestNextLabel(), "");
}

TEST_F(VolumeNamesTest, AnAliasRunPresetsTheSuggestion) {
    MakeFixtureDisk();
    MakeCatalog();
    SetLastLabel("DISK009");
    AddVolume("DISK010", "X");
    SetCatalogOption("Aliases", "True");
    Drives.reset();
    Drives = std::make_unique<TScopedDrives>("D=" + Disk.Path() + "|label=;P=" + Program.Path());
    // A disk without a label and Aliases on: the label dialog, then the alias dialog with the
    // suggestion.
    Driver.AnswerWith(
        [&](TCustomForm& form) { Driver.Click(*dynamic_cast<TDiskLabelForm&>(form).CatalogUnderAliasBtn); });
    Driver.AnswerWith([&](TCustomForm& form) {
        auto& alias = dynamic_cast<TDiskAliasForm&>(form);
        EXPECT_EQ(alias.AliasLine->Text(), "DISK011");
        form.SetModalResult(mrCancel);
    });
    TRecordingRun& f = RunForm("D:\\", true, true);
    EXPECT_FALSE(f.CatalogDisk());
    EXPECT_EQ(Driver.PendingAnswers(), 0u);
    EXPECT_FALSE(f.Updated);
}

// ---- The label dialog on a FAT image ----

class LabelDialogTest : public VolumeNamesTest {
protected:
    std::string Image;
    void MakeImage(const std::string& Label) {
        Image = Program.Path() + "/disk.img";
        ASSERT_EQ(RunShell("mkfs.fat -C -n '" + Label + "' -i 1A2B3C4D '" + Image + "' 1440 >/dev/null 2>&1"),
                  0);
        Drives.reset();
        Drives = std::make_unique<TScopedDrives>("D=" + Disk.Path() + "|image=" + Image + "|writable;E=" +
                                                 Disk.Path() + "|label=FIXED;P=" + Program.Path());
    }
    std::string ToolLabel() {
        std::string out = ShellOutput("MTOOLS_SKIP_CHECK=1 mlabel -s -i '" + Image + "' :: 2>/dev/null");
        return Trim(out);
    }
};

TEST_F(LabelDialogTest, ALabelWrittenDuringARunIsOnTheDiskAndNamesTheVolume) {
    MakeImage("");
    MakeFixtureDisk();
    MakeCatalog();
    Driver.AnswerWith([&](TCustomForm& form) {
        auto& label = dynamic_cast<TDiskLabelForm&>(form);
        EXPECT_EQ(label.VolumeLabelPanel->Caption(), " <No Label>");
        label.NewLabel->SetFocus();
        Driver.Type("newname");
        Driver.Click(*label.WriteBtn);
    });
    TRecordingRun& f = RunForm("D:\\", true, true);
    ASSERT_TRUE(f.CatalogDisk());
    EXPECT_EQ(ToolLabel(), "Volume label is NEWNAME");
    EXPECT_EQ(f.Spec.ActualLabel, "NEWNAME");
    EXPECT_EQ(f.Spec.CatalogLabel, "NEWNAME");
    EXPECT_EQ(catalog::LastCatalogedLabel.Text(), "NEWNAME");
    EXPECT_TRUE(Messages().empty());
}

TEST_F(LabelDialogTest, TheMenuCommandReadsWritesAndErasesLabels) {
    MakeImage("OLDNAME");
    auto* form = TCustomForm::Create<TDiskLabelForm>(Application);
    form->DriveComboBox->SetDrive('D');
    form->Show();
    Driver.RunPending();
    EXPECT_FALSE(form->CatalogUnderAliasBtn->Visible());
    EXPECT_TRUE(form->DriveComboBox->Enabled());
    EXPECT_EQ(form->VolumeLabelPanel->Caption(), " OLDNAME");
    EXPECT_EQ(form->OldDriveLabel, "OLDNAME");
    EXPECT_EQ(form->NewLabel->Text(), "OLDNAME");
    // A drive whose label cannot be written: the error, and the dialog stays.
    form->DriveComboBox->SetDrive('E');
    EXPECT_EQ(form->VolumeLabelPanel->Caption(), " FIXED");
    form->WriteBtnClick();
    EXPECT_EQ(Messages(), V{"Error 50 Occurred While Attempting To Write The Volume Label"});
    EXPECT_EQ(form->ModalResult(), mrNone);
    // Erasing: asked first; No keeps the label, Yes erases it.
    form->DriveComboBox->SetDrive('D');
    form->NewLabel->SetText("  ");
    Driver.Shown.clear();
    Driver.Answer(mrNo);
    form->WriteBtnClick();
    EXPECT_EQ(ToolLabel(), "Volume label is OLDNAME");
    Driver.Answer(mrYes);
    form->WriteBtnClick();
    EXPECT_EQ(Messages(), (V{"Erase Current Volume Label?", "Erase Current Volume Label?"}));
    EXPECT_EQ(form->VolumeLabelPanel->Caption(), " <No Label>");
    EXPECT_EQ(ToolLabel(), "Volume has no label");
    EXPECT_EQ(form->ModalResult(), mrNone);
    form->Free();
}

// ---- Renaming a volume after its label was written ----

TEST_F(VolumeNamesTest, WritingALabelRenamesTheOneVolumeThatCarriedTheOldOne) {
    MakeCatalog();
    const std::string question =
        "A Disk With The Old Volume Label Exists In Your Catalog\r\n\r\nWould You Like Up Update The Catalog "
        "To "
        "Reflect The New Volume Label Just Written?";
    // Labels that are also column names or hold quotes are values, never SQL text.
    const struct {
        std::string Old, New;
    } pairs[] = {{"COMMENT", "TAG"}, {"FILENAME", "O'NEIL"}, {"O'NEIL", "A\"B"}, {"A\"B", "COMMENT"}};
    AddVolume("COMMENT", "COMMENT");
    AddVolume("OTHER", "OTHERDISK");
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.Old + " -> " + p.New);
        if (p.Old == "FILENAME") AddVolume("FILENAME", "FILENAME");
        Driver.Shown.clear();
        Driver.Answer(mrYes);
        UpdateCatalogForNewLabel(p.Old, p.New);
        EXPECT_EQ(Messages(), V{question});
        const V volumes = Volumes();
        EXPECT_NE(std::find(volumes.begin(), volumes.end(), p.New + "|" + p.New), volumes.end());
        EXPECT_NE(std::find(volumes.begin(), volumes.end(), "entry " + p.New + "|COMMENT"), volumes.end());
        EXPECT_EQ(std::find(volumes.begin(), volumes.end(), p.Old + "|" + p.Old), volumes.end());
    }
    EXPECT_EQ(Volumes(), (V{"COMMENT|COMMENT", "OTHER|OTHERDISK", "TAG|TAG", "entry COMMENT|COMMENT",
                            "entry OTHER|COMMENT", "entry TAG|COMMENT"}));
}

TEST_F(VolumeNamesTest, AVolumeCataloguedUnderAnAliasIsRenamedByItsCatalogName) {
    MakeCatalog();
    AddVolume("MYALIAS", "OLDNAME");
    AddVolume("OLDNAME", "SOMETHING");  // another volume whose catalogued name is the old label
    Driver.Answer(mrYes);
    UpdateCatalogForNewLabel("OLDNAME", "NEWNAME");
    EXPECT_EQ(Volumes(),
              (V{"NEWNAME|NEWNAME", "OLDNAME|SOMETHING", "entry NEWNAME|COMMENT", "entry OLDNAME|COMMENT"}));
}

TEST_F(VolumeNamesTest, NothingIsAskedWhenTheRenameWouldBeAmbiguousOrRefused) {
    MakeCatalog();
    AddVolume("FIRST", "OLDNAME");
    AddVolume("SECOND", "OLDNAME");
    AddVolume("TAKEN", "X");
    AddVolume("SINGLE", "SOLO");
    const V before = Volumes();
    const struct {
        std::string Old, New;
        bool Asked;
    } cases[] = {
        {"OLDNAME", "NEWNAME", false},  // two volumes carry it
        {"SOLO", "TAKEN", false},       // a volume of the new name exists
        {"NOSUCH", "NEWNAME", false},  {"  ", "NEWNAME", false}, {"SOLO", "NEWNAME", true},  // answered No
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Old + " -> " + c.New);
        Driver.Shown.clear();
        if (c.Asked) Driver.Answer(mrNo);
        UpdateCatalogForNewLabel(c.Old, c.New);
        EXPECT_EQ(Messages().size(), c.Asked ? 1u : 0u);
        EXPECT_EQ(Volumes(), before);
    }
    catalog::CurrentCatalogName.clear();
    UpdateCatalogForNewLabel("SOLO", "NEWNAME");
    EXPECT_EQ(Driver.PendingAnswers(), 0u);
}

TEST_F(VolumeNamesTest, AFailedRenameChangesNothingAndRaisesTheEnginesError) {
    MakeCatalog();
    AddVolume("SOLO", "SOLO");
    // The entry table is gone: the second statement fails and the first is undone.
    dbsql::TDbTable cat(nullptr);
    cat.SetDatabaseName("P:\\");
    cat.SetTableName("Games_CAT");
    cat.DeleteTable();
    Driver.Answer(mrYes);
    std::string raised;
    try {
        UpdateCatalogForNewLabel("SOLO", "NEWNAME");
    } catch (const std::exception& e) {
        raised = e.what();
    }
    EXPECT_NE(raised, "");
    dbsql::TDbTable sum(nullptr);
    sum.SetDatabaseName("P:\\");
    sum.SetTableName("Games_SUM");
    sum.Open();
    EXPECT_EQ(sum.FieldByName("CatalogVolumeLabel")->AsString(), "SOLO");
    EXPECT_EQ(sum.RecordCount(), 1);
}

}  // namespace
}  // namespace cataloging
