#include "catalog/CatalogSizeForms.h"

#include <algorithm>
#include <exception>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/MessageWindow.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "catalog/MessageWindow.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"

namespace catalog {

using namespace framework;

namespace {

const char* const kRestructureError =
    "Error Restructuring Catalog File - You May Need To Restore A Backup Copy";

// The shared progress window for the time of a restructure (no Cancel button).
class TShownProgress {
public:
    TShownProgress() {
        if (ProgressForm)
            ProgressForm->ShowForm("Adjusting Catalog Table To Accommodate New Settings", false);
    }
    ~TShownProgress() {
        if (ProgressForm) ProgressForm->HideForm();
    }
    TShownProgress(const TShownProgress&) = delete;
    TShownProgress& operator=(const TShownProgress&) = delete;
};

// Restructures the catalog's file-entry table (closed first) to the three name sizes, with the
// arguments it was made with; raises what the engine raises.
void ResizeCatalogTable(dbsql::TDbTable& Table, int FileName, int FolderName, int ArchiveID) {
    Table.Close();
    Table.RestructureFieldDefs.Clear();
    Table.RestructureFieldDefs.Update();
    Table.RestructureIndexDefs.Clear();
    Table.RestructureIndexDefs.Update();
    Table.RestructureFieldDefs.GetItem(0)->Size = uint16_t(FileName);
    Table.RestructureFieldDefs.GetItem(2)->Size = uint16_t(FolderName);
    Table.RestructureFieldDefs.GetItem(3)->Size = uint16_t(ArchiveID);
    TShownProgress shown;
    Table.AlterTable(0, 0, 0, 0, false, "", "", 512, -1, true);
}

void MoveProgress(int PercentDone) {
    if (ProgressForm) ProgressForm->ProgressBar->SetProgress(PercentDone);
}

TPanel* NewNumberPanel(TComponent& Owner, TWinControl& Parent, const char* Name, int Left, int Top) {
    TPanel* panel = NewPanel(Owner, Parent, Name, Left, Top, 90, 25, bvLowered);
    panel->SetCaption("0");
    return panel;
}

}  // namespace

// ---- Adjust Sizes ----

TCatalogFSizeForm::TCatalogFSizeForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CatalogFSizeForm");
    SetCaption("Adjust Sizes");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(470, 306);
    Controller = NewComponent<entry::TCtlController>(this);
    Table = NewComponent<dbsql::TDbTable>(this);
    Table->OnRestructureProgress = [this](TObject*, int PercentDone) {
        TableRestructureProgress(PercentDone);
    };
    StatPanel = NewPanel(*this, *this, "StatPanel", 8, 8, 454, 28, bvLowered);
    NoteLabel = NewLabel(*this, *this, "NoteLabel", 16, 46, 440,
                         "The lowest settings allowed below are the smallest safe settings: the\n"
                         "longest names stored in this catalog.  Larger settings make the catalog\n"
                         "bigger, so adjust the sizes only as far as needed.");
    struct Row {
        const char* LabelName;
        const char* Caption;
        const char* FieldName;
        const char* RangeName;
        int High;
        TLabel** Label;
        entry::TCtlPictureField** Field;
        TLabel** Range;
    } rows[] = {
        {"FileNameLengthLabel", "Maximum Filename Length (Currently", "FileNameLength", "FileNameRangeLabel",
         200, &FileNameLengthLabel, &FileNameLength, &FileNameRangeLabel},
        {"FolderNameLengthLabel", "Maximum Foldername Length (Currently", "FolderNameLength",
         "FolderNameRangeLabel", 200, &FolderNameLengthLabel, &FolderNameLength, &FolderNameRangeLabel},
        {"ArcIDLengthLabel", "Maximum Archive ID Length (Currently", "ArchiveIDLength", "ArchiveIDRangeLabel",
         90, &ArcIDLengthLabel, &ArchiveIDLength, &ArchiveIDRangeLabel}};
    int top = 112;
    for (const Row& r : rows) {
        *r.Label = NewLabel(*this, *this, r.LabelName, 16, top + 3, 270, r.Caption);
        *r.Field = NewLengthField(*this, *this, r.FieldName, 296, top, r.High);
        *r.Range =
            NewLabel(*this, *this, r.RangeName, 364, top + 3, 90, "(16 to " + std::to_string(r.High) + ")");
        top += 36;
    }
    BitBtn4 = NewDialogButton(*this, *this, "BitBtn4", bkCustom, 16, 262);
    BitBtn4->SetCaption("&Use Minimums");
    BitBtn4->SetWidth(110);
    BitBtn4->OnClick = [this](TObject*) { BitBtn4Click(); };
    BitBtn1 = NewDialogButton(*this, *this, "BitBtn1", bkOK, 162, 262);
    BitBtn1->SetCaption("&Adjust");
    BitBtn1->ModalResult = mrNone;
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    CancelBtn = NewDialogButton(*this, *this, "CancelBtn", bkCancel, 264, 262);
    HelpBtn = NewDialogButton(*this, *this, "HelpBtn", bkHelp, 366, 262, &HelpContext);
    Controller->OnIsSpecialControl = [this](TObject*, TWinControl* Control, bool& Special) {
        Special = Control == CancelBtn || Control == BitBtn4;
    };
}

bool TCatalogFSizeForm::DetermineMinimumSizes() {
    MinFileName = MinFolderName = MinArchiveID = 16;
    bool messageShown = false;
    const auto removeMessage = [&] {
        if (messageShown && Msg) Msg->remove_msg();
        messageShown = false;
    };
    try {
        Table->Open();
        if (Table->RecordCount() > 0) {
            Screen->SetCursor(crHourGlass);
            if (Msg) {
                Msg->show_msg("Determining Minimum Settings");
                messageShown = true;
            }
            TField* fileName = Table->FieldByName("FileName");
            TField* folderName = Table->FieldByName("FolderName");
            TField* archiveID = Table->FieldByName("ArchiveID");
            for (Table->First(); !Table->Eof(); Table->Next()) {
                MinFileName = std::max(MinFileName, int(fileName->AsString().size()));
                MinFolderName = std::max(MinFolderName, int(folderName->AsString().size()));
                MinArchiveID = std::max(MinArchiveID, int(archiveID->AsString().size()));
            }
            Table->Close();
            removeMessage();
            for (auto [field, minimum] :
                 {std::pair{FileNameLength, MinFileName}, std::pair{FolderNameLength, MinFolderName},
                  std::pair{ArchiveIDLength, MinArchiveID}})
                if (field->GetAsInteger() < minimum) field->SetAsInteger(minimum);
        }
        Table->Close();
        FileNameLength->SetRangeLo(std::to_string(MinFileName));
        FolderNameLength->SetRangeLo(std::to_string(MinFolderName));
        ArchiveIDLength->SetRangeLo(std::to_string(MinArchiveID));
        FileNameRangeLabel->SetCaption("(" + std::to_string(MinFileName) + " to 200)");
        FolderNameRangeLabel->SetCaption("(" + std::to_string(MinFolderName) + " to 200)");
        ArchiveIDRangeLabel->SetCaption("(" + std::to_string(MinArchiveID) + " to 90)");
        Screen->SetCursor(crDefault);
        return true;
    } catch (const std::exception&) {
        removeMessage();
        Screen->SetCursor(crDefault);
        Table->Close();
        ErrorBox("Error Determining Minimum Settings");
        return false;
    }
}

void TCatalogFSizeForm::BitBtn4Click() {
    FileNameLength->SetAsInteger(MinFileName);
    FolderNameLength->SetAsInteger(MinFolderName);
    ArchiveIDLength->SetAsInteger(MinArchiveID);
}

void TCatalogFSizeForm::BitBtn1Click() {
    for (entry::TCtlPictureField* field : {FileNameLength, FolderNameLength, ArchiveIDLength})
        if (field->ValidateContents(true) != 0) return;
    try {
        ResizeCatalogTable(*Table, FileNameLength->GetAsInteger(), FolderNameLength->GetAsInteger(),
                           ArchiveIDLength->GetAsInteger());
    } catch (const std::exception&) {
        ErrorBox(kRestructureError);
        return;
    }
    SetModalResult(mrOk);
}

void TCatalogFSizeForm::TableRestructureProgress(int PercentDone) {
    MoveProgress(PercentDone);
}

// ---- Resize warning ----

TResizeWarningForm::TResizeWarningForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("ResizeWarningForm");
    SetCaption("Catalog Item Size Re-Adjustment(s) Required");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(452, 272);
    Table = NewComponent<dbsql::TDbTable>(this);
    Table->OnRestructureProgress = [this](TObject*, int PercentDone) {
        TableRestructureProgress(PercentDone);
    };
    ConfigTable = NewComponent<dbsql::TDbTable>(this);
    NoteLabelPanel = NewPanel(*this, *this, "NoteLabelPanel", 8, 8, 436, 64, bvLowered);
    NoteLabelPanel->SetCaption("");
    NewLabel(*this, *NoteLabelPanel, "NoteLabel", 10, 6, 410,
             "Some items on this disk do not fit the current lengths of your\n"
             "catalog.  The details are shown below.  Your catalog can be\n"
             "re-adjusted to accommodate them.");
    // The band over the three columns and the column heads, centred over their panels.
    for (TLabel* head : {NewLabel(*this, *this, "LongestLabel", 136, 84, 282, "Longest"),
                         NewLabel(*this, *this, "FileNameHead", 136, 104, 90, "Filename"),
                         NewLabel(*this, *this, "FolderNameHead", 232, 104, 90, "Folder Name"),
                         NewLabel(*this, *this, "ArchiveIDHead", 328, 104, 90, "Archive ID")})
        head->SetAlignment(taCenter);
    NewLabel(*this, *this, "YourCatalogLabel", 16, 132, 110, "Your Catalog");
    NewLabel(*this, *this, "ToBeCatalogedLabel", 16, 166, 110, "To Be Cataloged");
    CatalogFileNameLengthPanel = NewNumberPanel(*this, *this, "CatalogFileNameLengthPanel", 136, 128);
    CatalogFolderNameLengthPanel = NewNumberPanel(*this, *this, "CatalogFolderNameLengthPanel", 232, 128);
    CatalogArchiveIDLengthPanel = NewNumberPanel(*this, *this, "CatalogArchiveIDLengthPanel", 328, 128);
    FoundFileNameLengthPanel = NewNumberPanel(*this, *this, "FoundFileNameLengthPanel", 136, 162);
    FoundFolderNameLengthPanel = NewNumberPanel(*this, *this, "FoundFolderNameLengthPanel", 232, 162);
    FoundArchiveIDLengthPanel = NewNumberPanel(*this, *this, "FoundArchiveIDLengthPanel", 328, 162);
    BitBtn1 = NewDialogButton(*this, *this, "BitBtn1", bkOK, 72, 224);
    BitBtn1->SetCaption("&Adjust Settings");
    BitBtn1->SetWidth(120);
    BitBtn1->ModalResult = mrNone;
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    CancelBtn = NewDialogButton(*this, *this, "CancelBtn", bkCancel, 202, 224);
    HelpBtn = NewDialogButton(*this, *this, "HelpBtn", bkHelp, 301, 224, &HelpContext);
}

void TResizeWarningForm::BitBtn1Click() {
    ConfigTable->Close();
    ConfigTable->SetDatabaseName(ProgramFolder);
    ConfigTable->SetTableName(CatalogConfigsSchema().TableName);
    try {
        ConfigTable->Open();
        ConfigTable->SetKey();
        ConfigTable->FieldByName("CatalogName")->SetAsString(CurrentCatalogName);
        if (!ConfigTable->GotoKey()) {
            ConfigTable->Close();
            ErrorBox("Cannot Find This Catalog's Configuration Record To Modify");
            SetModalResult(mrCancel);
            return;
        }
    } catch (const std::exception&) {
        ConfigTable->Close();
        ErrorBox("Error Retrieving Catalog Configuration");
        SetModalResult(mrCancel);
        return;
    }
    const auto larger = [](TPanel* Catalog, TPanel* Found) {
        return std::max(StrToIntDef(Catalog->Caption(), 0), StrToIntDef(Found->Caption(), 0));
    };
    const int fileName = larger(CatalogFileNameLengthPanel, FoundFileNameLengthPanel);
    const int folderName = larger(CatalogFolderNameLengthPanel, FoundFolderNameLengthPanel);
    const int archiveID = larger(CatalogArchiveIDLengthPanel, FoundArchiveIDLengthPanel);
    try {
        ConfigTable->Edit();
        ResizeCatalogTable(*Table, fileName, folderName, archiveID);
    } catch (const std::exception&) {
        // The record's edit is dropped with the table; the record cannot be updated then either.
        ConfigTable->Close();
        ErrorBox(kRestructureError);
        ErrorBox("Error Updating Catalog Configuration");
        SetModalResult(mrCancel);
        return;
    }
    try {
        ConfigTable->FieldByName("FileNameFieldLength")->SetAsInteger(fileName);
        ConfigTable->FieldByName("FolderNameFieldLength")->SetAsInteger(folderName);
        ConfigTable->FieldByName("ArchiveIDFieldLength")->SetAsInteger(archiveID);
        ConfigTable->Post();
    } catch (const std::exception&) {
        ConfigTable->Cancel();
        ConfigTable->Close();
        ErrorBox("Error Updating Catalog Configuration");
        SetModalResult(mrCancel);
        return;
    }
    ConfigTable->Close();
    SetModalResult(mrOk);
}

void TResizeWarningForm::TableRestructureProgress(int PercentDone) {
    MoveProgress(PercentDone);
}

}  // namespace catalog
