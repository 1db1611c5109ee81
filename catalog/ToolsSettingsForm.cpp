#include "catalog/ToolsSettingsForm.h"

#include <exception>
#include <string>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlArrayEditor.h"
#include "controls/entry/CtlController.h"
#include "controls/grid/CtlNotebook.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/GroupBox.h"

namespace catalog {

using namespace framework;

namespace {

constexpr uint32_t kErrorBeep = 16;
constexpr int kPatterns = 40;
constexpr int kPatternLength = 11;
constexpr int kVisibleRows = 15;

struct TBlockFields {
    const char* Spec;
    const char* Drive;
};
constexpr TBlockFields kOffloadFields{"SquelchSpec", "SquelchDrive"};
constexpr TBlockFields kCleanupFields{"DCSquelchSpec", "DCSquelchDrive"};

void WriteBlock(TDataSet& Options, const TBlockFields& Fields, const TSquelchSettings& Block,
                const std::array<TCheckBox*, 26>& Boxes) {
    for (int n = 1; n <= kPatterns; ++n)
        Options.FieldByName(NumberedName(Fields.Spec, n))
            ->SetAsString(Trim(Block.VolumeSpecs[size_t(n - 1)].Text()));
    for (int n = 1; n <= 26; ++n)
        Options.FieldByName(NumberedName(Fields.Drive, n))->SetAsBoolean(Boxes[size_t(n - 1)]->Checked());
}

}  // namespace

TToolsSettingsForm::TToolsSettingsForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("ToolsSettingsForm");
    SetCaption("Bonus Utility Settings");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(560, 420);
    FController = NewComponent<entry::TCtlController>(this);
    Table1 = NewComponent<dbsql::TDbTable>(this);
    Table1->SetName("Table1");

    Notebook = NewNotebook(*this, *this, "Notebook", 8, 8, 544, 356,
                           {"\"Offload Files\" Squelch Settings", "\"Cleanup\" Squelch Settings"});
    const auto group = [this](int Page, const char* Name, const char* Caption, int Left, int Width) {
        auto* g = NewComponent<TGroupBox>(this);
        g->SetName(Name);
        g->SetParent(Notebook->Pages(Page));
        g->SetCaption(Caption);
        g->SetBounds(Left, 8, Width, 300);
        return g;
    };
    VolumesGroup = group(0, "VolumesGroup", "Squelch These Volumes", 8, 150);
    DrivesGroup = group(0, "DrivesGroup", "Do Not Recommend Disks Cataloged From Checked Drives", 166, 362);
    DCVolumesGroup = group(1, "DCVolumesGroup", "Squelch These Volumes", 8, 150);
    DCDrivesGroup =
        group(1, "DCDrivesGroup", "Do Not Include Files On Disks Cataloged From Checked Drives", 166, 362);
    Volsq = NewPatternEditor(*VolumesGroup, "Volsq", OffloadSquelch);
    DCVolSQ = NewPatternEditor(*DCVolumesGroup, "DCVolSQ", CleanupSquelch);
    NewDriveBoxes(*DrivesGroup, "Drv", Drv);
    NewDriveBoxes(*DCDrivesGroup, "DCDrv", DCDrv);

    BitBtn1 = NewDialogButton(*this, *this, "BitBtn1", bkOK, 138, 376);
    BitBtn1->SetCaption("&Save");
    BitBtn1->OnClick = [this](TObject* Sender) { BitBtn1Click(Sender); };
    CancelBtn = NewDialogButton(*this, *this, "CancelBtn", bkCancel, 236, 376);
    HelpBtn = NewDialogButton(*this, *this, "HelpBtn", bkHelp, 334, 376, &HelpContext);
    OnShow = [this](TObject* Sender) { FormShow(Sender); };
    SetActiveControl(Volsq);
}

TToolsSettingsForm::~TToolsSettingsForm() = default;

entry::TCtlPictureArrayEditor* TToolsSettingsForm::NewPatternEditor(TWinControl& Parent, const char* Name,
                                                                    TSquelchSettings& Block) {
    auto* editor = NewComponent<entry::TCtlPictureArrayEditor>(this);
    editor->SetName(Name);
    editor->SetPictureMask(std::string(kPatternLength, '!'));
    editor->SetMaxLength(kPatternLength);
    editor->SetRowHeight(17);
    editor->SetUseScrollBar(true);
    // Each row is a slot over the pattern itself: typing edits the block in place.
    editor->OnGetItem = [&Block](TObject*, int Index, entry::TCtlArrayItem& Item) {
        if (Index >= 0 && Index < kPatterns)
            Item = Block.VolumeSpecs[size_t(Index)].EditSlot<entry::TCtlArrayItem>();
    };
    editor->SetParent(&Parent);
    editor->SetBounds(12, 24, 126, kVisibleRows * editor->RowHeight() + 4);
    editor->SetNumItems(kPatterns);
    return editor;
}

void TToolsSettingsForm::NewDriveBoxes(TWinControl& Parent, const char* Prefix,
                                       std::array<TCheckBox*, 26>& Boxes) {
    for (int i = 0; i < 26; ++i) {
        const char letter = char('A' + i);
        auto* box = NewComponent<TCheckBox>(this);
        box->SetName(std::string(Prefix) + letter);
        box->SetParent(&Parent);
        box->SetCaption(std::string("Drive ") + letter + ":");
        box->SetBounds(16 + (i / 9) * 112, 28 + (i % 9) * 28, 100, 19);
        Boxes[size_t(i)] = box;
    }
}

void TToolsSettingsForm::FormShow(TObject*) {
    Saved = false;
    for (size_t i = 0; i < 26; ++i) {
        Drv[i]->SetChecked(OffloadSquelch.DriveFlags[i]);
        DCDrv[i]->SetChecked(CleanupSquelch.DriveFlags[i]);
    }
}

void TToolsSettingsForm::OpenOptions() {
    Table1->Close();
    Table1->SetDatabaseName(ProgramFolder);
    Table1->SetTableName(KorvaneOptionsSchema().TableName);
    Table1->Open();
    Table1->First();
}

void TToolsSettingsForm::BitBtn1Click(TObject*) {
    // The row being edited reaches its pattern first.
    Volsq->StoreItem();
    DCVolSQ->StoreItem();
    try {
        OpenOptions();
        Table1->Edit();
        WriteBlock(*Table1, kOffloadFields, OffloadSquelch, Drv);
        WriteBlock(*Table1, kCleanupFields, CleanupSquelch, DCDrv);
        Table1->Post();
        Table1->Close();
    } catch (const std::exception&) {
        // Nothing was stored: closing reads the stored settings back.
        try {
            Table1->Cancel();
            Table1->Close();
        } catch (const std::exception&) {
        }
        MessageBeep(kErrorBeep);
        MessageDlg("Error Saving Tool Settings", mtError, {mbOK}, 0);
        return;
    }
    // Globals now hold what the record holds: the trimmed patterns and the checked drives.
    for (TSquelchSettings* block : {&OffloadSquelch, &CleanupSquelch}) {
        const auto& boxes = block == &OffloadSquelch ? Drv : DCDrv;
        for (auto& spec : block->VolumeSpecs) spec = Trim(spec.Text());
        for (size_t i = 0; i < 26; ++i) block->DriveFlags[i] = boxes[i]->Checked();
    }
    Saved = true;
}

void TToolsSettingsForm::FormClose(TObject*, TCloseAction&) {
    Volsq->StoreItem();
    DCVolSQ->StoreItem();
    if (Saved) return;
    try {
        OpenOptions();
        LoadSquelchSettings(*Table1);
        Table1->Close();
    } catch (const std::exception&) {
        try {
            Table1->Close();
        } catch (const std::exception&) {
        }
        MessageBeep(kErrorBeep);
        MessageDlg("Error Restoring Tool Settings", mtError, {mbOK}, 0);
    }
    // The cells show the restored patterns, so that leaving them stores nothing edited.
    for (entry::TCtlPictureArrayEditor* editor : {Volsq, DCVolSQ}) {
        editor->LoadItem(editor->ActiveRow());
        editor->Invalidate();
    }
}

void TToolsSettingsForm::DoClose(TCloseAction& Action) {
    FormClose(this, Action);
    TForm::DoClose(Action);
}

void ShowToolsSettingsForm(int Page) {
    ShowModalForm<TToolsSettingsForm>(
        [Page](TToolsSettingsForm& Form) { Form.Notebook->SetPageIndex(Page); });
}

}  // namespace catalog
