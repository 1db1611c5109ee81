#include "cataloging/volume/VolumeForms.h"

#include <cctype>
#include <cstdint>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/TextHelpers.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "platform/Beep.h"
#include "sysutil/UtSystem.h"

namespace cataloging {

using namespace framework;

namespace {

constexpr size_t kLabelLength = 11;

void Box(uint32_t Beep, const std::string& Text) {
    platform::MessageBeep(Beep);
    MessageDlg(Text, mtError, {mbOK}, 0);
}

// The hourglass for the life of a scope.
class THourglass {
public:
    THourglass() { Screen->SetCursor(crHourGlass); }
    ~THourglass() { Screen->SetCursor(crDefault); }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;
};

std::string CutAtNul(const std::string& S) {
    return S.substr(0, S.find('\0'));
}

TLabel* NewCaption(TForm& Form, TWinControl& Parent, const char* Name, int X, int Y, int W,
                   const std::string& Text) {
    return catalog::NewLabel(Form, Parent, Name, X, Y, W, Text);
}

}  // namespace

// ---- Label dialog ----

TDiskLabelForm::TDiskLabelForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("DiskLabelForm");
    SetCaption("Label A Disk");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(380, 196);
    auto* panel = catalog::NewPanel(*this, *this, "LabelPanel", 8, 8, 364, 134, bvLowered);
    NewCaption(*this, *panel, "DriveLabel", 12, 14, 150, "Read Volume Label of");
    DriveComboBox = NewComponent<TDriveComboBox>(this);
    DriveComboBox->SetName("DriveComboBox");
    DriveComboBox->SetParent(panel);
    DriveComboBox->SetBounds(170, 10, 180, 21);
    DriveComboBox->OnChange = [this](TObject*) {
        if (FCreating) return;
        THourglass hourglass;
        ReadCurrentLabel();
    };
    NewCaption(*this, *panel, "CurrentLabel", 12, 54, 150, "Current Volume Label");
    VolumeLabelPanel = catalog::NewPanel(*this, *panel, "VolumeLabelPanel", 170, 50, 180, 22, bvLowered);
    VolumeLabelPanel->SetAlignment(taLeftJustify);
    NewCaption(*this, *panel, "NewLabelCaption", 12, 96, 150, "New Volume Label");
    NewLabel = NewComponent<TEdit>(this);
    NewLabel->SetName("NewLabel");
    NewLabel->SetParent(panel);
    NewLabel->SetBounds(170, 92, 180, 21);
    NewLabel->SetCharCase(ecUpperCase);
    NewLabel->SetMaxLength(int(kLabelLength));
    NewLabel->SetText("");
    WriteBtn = catalog::NewDialogButton(*this, *this, "WriteBtn", bkCustom, 8, 154);
    WriteBtn->SetCaption("Write Label To Disk");
    WriteBtn->SetWidth(130);
    WriteBtn->SetDefault(true);
    WriteBtn->OnClick = [this](TObject*) { WriteBtnClick(); };
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 146, 154);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 234, 154, &HelpContext);
    CatalogUnderAliasBtn = catalog::NewDialogButton(*this, *this, "CatalogUnderAliasBtn", bkCustom, 8, 154);
    CatalogUnderAliasBtn->SetCaption("Catalog Under Alias");
    CatalogUnderAliasBtn->ModalResult = mrIgnore;
    CatalogUnderAliasBtn->SetVisible(false);
    FCreating = false;
}

void TDiskLabelForm::DoShow() {
    if (FromCataloguing) {
        // The alias button takes the place beside Help; the window grows to hold it.
        SetClientWidth(472);
        CatalogUnderAliasBtn->SetBounds(322, 154, 142, HelpBtn->Height());
    }
    CatalogUnderAliasBtn->SetVisible(FromCataloguing);
    TForm::DoShow();
    ReadCurrentLabel();
}

void TDiskLabelForm::ReadCurrentLabel() {
    OldDriveLabel.clear();
    std::string label;
    const int32_t error = sysutil::FetchVolumeLabel(label, DriveComboBox->Drive());
    if (error != 0) {
        VolumeLabelPanel->SetCaption(" <Error " + IntToStr(error) + ">");
        NewLabel->SetText("");
    } else if (!Trim(label).empty()) {
        OldDriveLabel = CutAtNul(label);
        VolumeLabelPanel->SetCaption(" " + UpperCase(label));
        NewLabel->SetText(label);
    } else {
        VolumeLabelPanel->SetCaption(" <No Label>");
        NewLabel->SetText("");
    }
    if (Showing() && NewLabel->CanFocus()) NewLabel->SetFocus();
}

void TDiskLabelForm::WriteBtnClick() {
    const std::string typed = NewLabel->Text();
    const char drive = DriveComboBox->Drive();
    if (!Trim(typed).empty()) {
        const std::string label = catalog::LeftJustify(typed, uint8_t(kLabelLength));
        const int32_t error = sysutil::WriteDriveLabel(label, drive);
        if (error != 0) {
            Box(platform::MB_ICONEXCLAMATION,
                "Error " + IntToStr(error) + " Occurred While Attempting To Write The Volume Label");
            return;
        }
        const std::string written = Trim(label);
        VolumeLabelPanel->SetCaption(" " + UpperCase(label));
        NewLabel->SetText(written);
        catalog::LastCatalogedLabel = written;
        UpdateCatalogForNewLabel(OldDriveLabel, written);
        SetModalResult(mrOk);
        return;
    }
    if (!DriveComboBox->Enabled()) {
        Box(platform::MB_ICONEXCLAMATION, "Volume Label Cannot Be Blank");
        return;
    }
    if (MessageDlg("Erase Current Volume Label?", mtConfirmation, {mbYes, mbNo}, 0) != mrYes) return;
    const int32_t error = sysutil::ClearVolumeLabel(drive);
    if (error != 0) {
        Box(platform::MB_ICONEXCLAMATION,
            "Error " + IntToStr(error) + " Occurred While Attempting To Delete The Volume Label");
        return;
    }
    VolumeLabelPanel->SetCaption(" <No Label>");
    NewLabel->SetText("");
}

// ---- Alias dialog ----

TDiskAliasForm::TDiskAliasForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("DiskAliasForm");
    SetCaption("Volume Label \"Alias\" For Cataloging");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(420, 330);
    auto* panel = catalog::NewPanel(*this, *this, "AliasPanel", 8, 8, 404, 96, bvLowered);
    VlabelLine = NewCaption(*this, *panel, "VlabelLine", 10, 10, 384, "");
    VlabelLine->SetAlignment(taCenter);
    NewCaption(*this, *panel, "AliasPrompt", 10, 34, 384,
               "Enter Label Name (Alias) For Cataloging Purposes Only:");
    AliasLine = NewComponent<TEdit>(this);
    AliasLine->SetName("AliasLine");
    AliasLine->SetParent(panel);
    AliasLine->SetBounds(140, 60, 124, 21);
    AliasLine->SetCharCase(ecUpperCase);
    AliasLine->SetMaxLength(int(kLabelLength));
    AliasLine->SetText("");
    ExplanationMemo = NewComponent<TMemo>(this);
    ExplanationMemo->SetName("ExplanationMemo");
    ExplanationMemo->SetParent(this);
    ExplanationMemo->SetBounds(8, 112, 404, 164);
    ExplanationMemo->SetReadOnly(true);
    ExplanationMemo->SetText(
        "This disk either has no volume label, or it is to be cataloged under a name that differs from "
        "its label.\r\n\r\n"
        "The name you enter here is not written to the disk: it is kept in the catalog only. When you "
        "catalog this disk again, give it the same name, or the catalog will hold the disk twice.\r\n\r\n"
        "Such names suit distribution disks whose meaningless labels must stay as they are and whose "
        "contents rarely change.");
    OKBtn = catalog::NewDialogButton(*this, *this, "OKBtn", bkOK, 120, 288);
    OKBtn->ModalResult = mrNone;
    OKBtn->OnClick = [this](TObject*) { OKBtnClick(); };
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 225, 288);
    SetActiveControl(AliasLine);
}

void TDiskAliasForm::OKBtnClick() {
    if (Trim(AliasLine->Text()).empty()) {
        Box(platform::MB_ICONHAND, "The Alias Name Cannot Be Blank");
        if (AliasLine->CanFocus()) AliasLine->SetFocus();
        return;
    }
    SetModalResult(mrOk);
}

// ---- Already-catalogued question ----

TDiskAlreadyCatalogedForm::TDiskAlreadyCatalogedForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("DiskAlreadyCatalogedForm");
    SetCaption("What Should I Do?");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(420, 196);
    auto* panel = catalog::NewPanel(*this, *this, "MessagePanel", 8, 8, 404, 64, bvLowered);
    MessageLine = NewCaption(*this, *panel, "MessageLine", 8, 12, 388, "");
    MessageLine->SetAlignment(taCenter);
    NewCaption(*this, *panel, "OptionLine", 8, 36, 388, "Please Select An Option Below.")
        ->SetAlignment(taCenter);
    struct Choice {
        TBitBtn** Button;
        const char* Name;
        const char* Text;
        TModalResult Result;
    } choices[] = {{&AliasBtn, "AliasBtn", "&Catalog Under Different Name (Alias)", mrRetry},
                   {&ReplaceBtn, "ReplaceBtn", "&Replace Existing Catalog Entry", mrIgnore},
                   {&StopBtn, "StopBtn", "&Don't Catalog (Stop)", mrAbort}};
    int y = 82;
    for (const Choice& c : choices) {
        *c.Button = catalog::NewDialogButton(*this, *this, c.Name, bkCustom, 90, y);
        (*c.Button)->SetCaption(c.Text);
        (*c.Button)->SetWidth(240);
        (*c.Button)->ModalResult = c.Result;
        y += 36;
    }
    SetActiveControl(AliasBtn);
}

// ---- Suggestion ----

std::string SuggestNextLabel() {
    if (Trim(catalog::CurrentCatalogName).empty()) return {};
    dbsql::TDbTable table(nullptr);
    table.SetDatabaseName(catalog::ProgramFolder);
    table.SetTableName(catalog::CatalogConfigsSchema().TableName);
    try {
        table.Open();
        if (table.FindKey({Variant(catalog::CurrentCatalogName)}))
            catalog::LastCatalogedLabel = Trim(table.FieldByName("LastVolumeLabel")->AsString());
    } catch (const std::exception&) {
    }
    table.Close();
    std::string s = catalog::TrimTrailing(catalog::LastCatalogedLabel.Text());
    size_t start = s.size();
    while (start > 0 && std::isdigit(static_cast<unsigned char>(s[start - 1]))) --start;
    if (start == s.size()) return s;
    start = std::max(start, s.size() - std::min<size_t>(9, s.size() - start));
    const size_t n = s.size() - start;
    int64_t v = std::stoll(s.substr(start));
    int64_t limit = 1;
    for (size_t i = 0; i < n; ++i) limit *= 10;
    // Every candidate counts as taken when the volumes cannot be read; that is the empty answer,
    // given at once rather than after counting through every number.
    table.SetDatabaseName(catalog::CatalogDataFolder);
    table.SetTableName(catalog::CurrentCatalogName + "_SUM");
    try {
        table.Open();
    } catch (const std::exception&) {
        return {};
    }
    bool taken = true;
    try {
        while (taken && v <= limit - 1) {
            ++v;
            std::string digits = std::to_string(v);
            if (digits.size() > n) digits.erase(0, 1);
            digits.insert(0, n - digits.size(), '0');
            s = s.substr(0, start) + digits;
            taken = table.FindKey({Variant(s)});
        }
    } catch (const std::exception&) {
        taken = true;
    }
    table.Close();
    return v > limit - 1 || taken ? std::string() : s;
}

// ---- Catalog update after a label was written ----

void UpdateCatalogForNewLabel(const std::string& OldLabel, const std::string& NewLabel) {
    const std::string catalogName = catalog::CurrentCatalogName;
    if (Trim(OldLabel).empty() || Trim(catalogName).empty()) return;
    // The volume is renamed by its catalogued name, which need not be its actual label (an alias).
    std::string volumeName;
    {
        dbsql::TDbTable table(nullptr);
        table.SetDatabaseName(catalog::CatalogDataFolder);
        table.SetTableName(catalogName + "_SUM");
        try {
            table.Open();
            table.SetIndexName("ByActualVolumeLabel");
            table.FindNearest({Variant(OldLabel)});
            if (table.Eof() || !AnsiSameText(table.FieldByName("ActualVolumeLabel")->AsString(), OldLabel))
                return;
            volumeName = table.FieldByName("CatalogVolumeLabel")->AsString();
            table.Next();
            if (!table.Eof() && table.FieldByName("ActualVolumeLabel")->AsString() == OldLabel) return;
            table.SetIndexName("");
            if (table.FindKey({Variant(NewLabel)})) return;
        } catch (const std::exception&) {
            return;
        }
    }
    if (MessageDlg("A Disk With The Old Volume Label Exists In Your Catalog\r\n\r\n"
                   "Would You Like Up Update The Catalog To Reflect The New Volume Label Just Written?",
                   mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
        return;
    // Every value is a parameter: a quoted constant that names a column would be read as the column.
    const std::string table = "\"" + catalog::QuoteForSql(catalogName);
    const std::string statements[] = {
        "Update " + table + "_SUM\" Set CatalogVolumelabel = :NewName, ActualVolumeLabel = :NewActual" +
            " Where CatalogVolumeLabel = :OldName",
        "Update " + table + "_CAT\" Set Volumelabel = :NewName Where VolumeLabel = :OldName",
    };
    dbsql::TDbDatabase* database = dbsql::DefaultSession().OpenDatabase(catalog::CatalogDataFolder);
    dbsql::TDbQuery query(nullptr);
    query.SetDatabaseName(catalog::CatalogDataFolder);
    try {
        database->StartTransaction();
        for (const std::string& sql : statements) {
            THourglass hourglass;
            query.SetSQL(sql);
            for (int i = 0; i < query.Params().Count(); ++i) {
                TParam* p = query.Params()[i];
                p->SetAsString(p->Name == "OldName" ? volumeName : NewLabel);
            }
            query.ExecuteStatement();
            query.Close();
        }
        database->Commit();
    } catch (...) {
        query.Close();
        if (database->InTransaction()) database->Rollback();
        dbsql::DefaultSession().CloseDatabase(database);
        throw;
    }
    dbsql::DefaultSession().CloseDatabase(database);
}

}  // namespace cataloging
