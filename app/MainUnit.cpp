#include "app/MainUnit.h"

#include "app/ProgramIdentity.h"
#include "catalog/CatalogFolderForm.h"
#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/MessageWindow.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlState.h"
#include "controls/kit/KitTipDlg.h"
#include "reports/output/ReportOutputForms.h"
#include "controls/kit/StyledGrad.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "platform/ProgramFolder.h"

namespace app {

using namespace framework;
using namespace catalog;

TMainForm* MainForm = nullptr;

namespace {
constexpr uint32_t kErrorBeep = 16;
constexpr int kMinWidth = 590;
constexpr int kMinHeight = 375;
constexpr int kMinHeightWithoutPanels = 110;

// The properties the component state keeps between runs.
constexpr const char* kStoredProperties =
    "DDirname.Caption\n"
    "ActiveCatalogName.Caption\n"
    "MainOptPanel.Visible\n"
    "SubOptPanel.Color\n"
    "SubOptPanel.Visible\n"
    "MainOptGradient.FromColor\n"
    "MainOptGradient.ToColor\n"
    "MainOptGradient.Direction\n"
    "SubOptGradient.FromColor\n"
    "SubOptGradient.ToColor\n"
    "SubOptGradient.Direction\n"
    "ACGradient.FromColor\n"
    "ACGradient.ToColor\n"
    "ACGradient.Direction\n"
    "DCGradient.FromColor\n"
    "DCGradient.ToColor\n"
    "DCGradient.Direction\n"
    "FCGradient.FromColor\n"
    "FCGradient.ToColor\n"
    "FCGradient.Direction\n"
    "ACHeader.Font\n"
    "ActiveCatalogName.Font\n"
    "DCHeader.Font\n"
    "DisksInCatalog.Font\n"
    "FCHeader.Font\n"
    "FilesInCatalog.Font\n"
    "Tips.ShowAtStart\n";

void SetLook(TFont& Font, const char* Name, int Size, TFontStyles Style, TColor Color) {
    Font.Name = Name;
    Font.SetSize(Size);
    Font.Style = Style;
    Font.Color = Color;
}

// A caption panel at the top of an option panel.
TPanel* NewHeaderPanel(TComponent& Owner, TWinControl& Parent, const char* Name, const char* Caption) {
    auto* p = NewComponent<TPanel>(&Owner);
    p->SetName(Name);
    p->SetParent(&Parent);
    p->SetAlign(alTop);
    p->SetHeight(29);
    p->SetCaption(Caption);
    p->SetParentFont(false);
    SetLook(p->Font(), "Arial", 10, fsBold | fsItalic, clMaroon);
    return p;
}

kit::TStyledGradient* NewGradient(TComponent& Owner, TWinControl& Parent, const char* Name, TColor Color) {
    auto* g = NewComponent<kit::TStyledGradient>(&Owner);
    g->SetName(Name);
    g->SetParent(&Parent);
    g->SetAlign(alClient);
    g->SetColorBands(256);
    g->SetFromColor(Color);
    g->SetToColor(Color);
    return g;
}

// The record count of a table of the current catalog as Format shows it; "Error" when the table
// cannot be opened or counted (the table is left closed either way).
std::string CountText(dbsql::TDbTable& Table, const std::string& Suffix, std::string (*Format)(int)) {
    try {
        Table.Close();
        Table.SetDatabaseName(CatalogDataFolder);
        Table.SetTableName(CurrentCatalogName + Suffix);
        Table.Open();
        const int count = Table.RecordCount();
        Table.Close();
        return Format(count);
    } catch (const std::exception&) {
        try {
            Table.Close();
        } catch (const std::exception&) {
        }
        return "Error";
    }
}
}  // namespace

std::string FormatDiskCount(int Count) {
    return FormatFloat("#,###,##0", Count);
}

std::string FormatFileCount(int Count) {
    return FormatFloat("#,###,###,##0", Count);
}

std::string MainWindowCaption() {
    return "Korvane " + EditionText() + " Version " + VersionNumberText() + "  (Created " + BuildDateText +
           ")";
}

TMainForm::TMainForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("MainForm");
    SetCaption("Korvane");
    Position = poDefaultPosOnly;
    SetBounds(Left(), Top(), 590, 375);
    Constraints().SetMinWidth(kMinWidth);
    Constraints().SetMinHeight(kMinHeight);
    SetParentFont(false);
    SetLook(Font(), "Arial", 10, 0, clWindowText);

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");

    DataTable = NewComponent<dbsql::TDbTable>(this);
    DataTable->SetName("DataTable");

    BuildMainMenu();
    MakeTips();
    SetMenu(MainMenu1);

    // Bottom panels first: the first one aligned to the bottom lies lowest.
    CopyrightPanel = NewComponent<TPanel>(this);
    CopyrightPanel->SetName("CopyrightPanel");
    CopyrightPanel->SetParent(this);
    CopyrightPanel->SetAlign(alBottom);
    CopyrightPanel->SetHeight(22);
    CopyrightPanel->SetParentFont(false);
    SetLook(CopyrightPanel->Font(), "Arial", 8, fsItalic, clMaroon);
    CopyrightPanel->SetCaption("");
    DDirname = NewComponent<TLabel>(this);
    DDirname->SetName("DDirname");
    DDirname->SetParent(CopyrightPanel);
    DDirname->SetCaption("");
    DDirname->SetVisible(false);

    StatPanel = NewComponent<TPanel>(this);
    StatPanel->SetName("StatPanel");
    StatPanel->SetParent(this);
    StatPanel->SetAlign(alBottom);
    StatPanel->SetHeight(43);
    StatPanel->SetBevelOuter(bvNone);
    StatPanel->SetCaption("");
    // Right-aligned panels: the first one lies rightmost.
    FCPanel = NewStatusPanel("FCPanel", 170, alRight, FCGradient);
    FCHeader = NewStatusLabel(*FCPanel, "FCHeader", true, "Files Cataloged");
    FilesInCatalog = NewStatusLabel(*FCPanel, "FilesInCatalog", false, "");
    DCPanel = NewStatusPanel("DCPanel", 139, alRight, DCGradient);
    DCHeader = NewStatusLabel(*DCPanel, "DCHeader", true, "Disks Cataloged");
    DisksInCatalog = NewStatusLabel(*DCPanel, "DisksInCatalog", false, "");
    ACPanel = NewStatusPanel("ACPanel", 0, alClient, ACGradient);
    ACHeader = NewStatusLabel(*ACPanel, "ACHeader", true, "Active Catalog");
    ActiveCatalogName = NewStatusLabel(*ACPanel, "ActiveCatalogName", false, "");

    MainOptPanel = NewComponent<TPanel>(this);
    MainOptPanel->SetName("MainOptPanel");
    MainOptPanel->SetParent(this);
    MainOptPanel->SetAlign(alLeft);
    MainOptPanel->SetWidth(112);
    MainOptPanel->SetColor(clTeal);
    MainOptPanel->SetBevelOuter(bvLowered);
    MainOptPanel->SetBevelWidth(2);
    MainOptPanel->SetCaption("");
    MainOptHeaderPanel = NewHeaderPanel(*this, *MainOptPanel, "MainOptHeaderPanel", "Main Options");
    MainOptGradient = NewGradient(*this, *MainOptPanel, "MainOptGradient", clTeal);
    CatalogingBtn = NewOptionButton("CatalogingBtn", "Cataloging");
    ReportsBtn = NewOptionButton("ReportsBtn", "Reports");
    ToolsBtn = NewOptionButton("ToolsBtn", "Tools");
    SettingsBtn = NewOptionButton("SettingsBtn", "Settings");
    HelpBtn = NewOptionButton("HelpBtn", "Help");
    CloseBtn = NewOptionButton("CloseBtn", "Exit Program");
    CatalogingBtn->OnClick = [this](TObject* Sender) { CatalogingBtnClick(Sender); };
    ReportsBtn->OnClick = [this](TObject* Sender) { ReportsBtnClick(Sender); };
    ToolsBtn->OnClick = [this](TObject* Sender) { ToolsBtnClick(Sender); };
    SettingsBtn->OnClick = [this](TObject* Sender) { SettingsBtnClick(Sender); };
    HelpBtn->OnClick = [this](TObject* Sender) { HelpBtnClick(Sender); };
    CloseBtn->OnClick = [this](TObject* Sender) { CloseBtnClick(Sender); };
    MainOptPanel->OnResize = [this](TObject* Sender) { MainOptPanelResize(Sender); };
    MainOptPanelResize(this);

    SubOptPanel = NewComponent<TPanel>(this);
    SubOptPanel->SetName("SubOptPanel");
    SubOptPanel->SetParent(this);
    SubOptPanel->SetAlign(alClient);
    SubOptPanel->SetColor(clNavy);
    SubOptPanel->SetCaption("");
    SubOptHeaderPanel = NewHeaderPanel(*this, *SubOptPanel, "SubOptHeaderPanel", "Sub-Options");
    SubOptGradient = NewGradient(*this, *SubOptPanel, "SubOptGradient", clNavy);

    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TMainForm");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TMainForm");
    ComponentState->StoredProperties().SetText(kStoredProperties);

    // What FormShow raises ends it there and goes to the application's handler; the window opens.
    OnShow = [this](TObject* Sender) {
        try {
            FormShow(Sender);
        } catch (...) {
            Application->HandleException(this);
        }
    };
}

TMainForm::~TMainForm() {
    // The panels are resized while the base classes take the window apart.
    MainOptPanel->OnResize = nullptr;
    ActivateFrame(0);
    if (MainForm == this) MainForm = nullptr;
}

TSpeedButton* TMainForm::NewOptionButton(const char* Name, const char* Caption) {
    auto* b = NewComponent<TSpeedButton>(this);
    b->SetName(Name);
    b->SetParent(MainOptPanel);
    b->SetCaption(Caption);
    b->SetGroupIndex(1);
    b->SetAllowAllUp(true);
    b->SetBounds(6, 37, 100, 48);
    b->SetParentFont(false);
    SetLook(b->Font(), "Arial", 10, fsBold, clWindowText);
    return b;
}

TPanel* TMainForm::NewStatusPanel(const char* Name, int Width, TAlign Align,
                                  kit::TStyledGradient*& Gradient) {
    auto* p = NewComponent<TPanel>(this);
    p->SetName(Name);
    p->SetParent(StatPanel);
    p->SetAlign(Align);
    if (Width > 0) p->SetWidth(Width);
    p->SetBevelOuter(bvLowered);
    p->SetCaption("");
    std::string gradient = std::string(Name).substr(0, 2) + "Gradient";
    Gradient = NewGradient(*this, *p, gradient.c_str(), clBtnFace);
    Gradient->SetAlign(alNone);
    // Inside the lowered bevel, so the frame stays visible.
    Gradient->SetBounds(1, 1, (Width > 0 ? Width : 200) - 2, 41);
    Gradient->SetAnchors(akLeft | akTop | akRight | akBottom);
    return p;
}

TLabel* TMainForm::NewStatusLabel(TPanel& Panel, const char* Name, bool Header, const char* Caption) {
    auto* l = NewComponent<TLabel>(this);
    l->SetName(Name);
    l->SetParent(&Panel);
    l->SetAutoSize(false);
    l->SetAlignment(taCenter);
    l->SetTransparent(true);
    l->SetParentFont(false);
    if (Header)
        SetLook(l->Font(), "Arial", 10, fsItalic, clBlue);
    else
        SetLook(l->Font(), "Arial", 12, fsBold, clWindowText);
    const int width = Panel.Width() - 4;
    l->SetBounds(2, Header ? 2 : 20, width, Header ? 17 : 20);
    l->SetAnchors(akLeft | akTop | akRight);
    l->SetCaption(Caption);
    return l;
}

void TMainForm::MainOptPanelResize(TObject*) {
    if (!MainOptPanel->Visible()) return;
    const int height = (MainOptPanel->Height() - 60) / 6;
    int top = 37;
    for (TSpeedButton* b : {CatalogingBtn, ReportsBtn, ToolsBtn, SettingsBtn, HelpBtn, CloseBtn}) {
        b->SetBounds(b->Left(), top, b->Width(), height);
        top += height + 4;
    }
}

void TMainForm::FormShow(TObject*) {
    Randomize();
    OpenReportCount = 0;
    CustomSummaryReportsOpen = false;
    CustomFileReportsOpen = false;
    CurrentFrame = 0;

    SetCaption(MainWindowCaption());
    About1->Caption = "About Korvane " + EditionText();
    CopyrightPanel->SetCaption(CopyrightLine);
    Constraints().SetMinHeight(MainOptPanel->Visible() ? kMinHeight : kMinHeightWithoutPanels);

    std::string folder = platform::GetModuleFileName();
    while (!folder.empty() && folder.back() != ':' && folder.back() != '\\') folder.pop_back();
    ProgramFolder = folder;
    Application->HelpFile = ProgramFolder + "Korvane.HLP";

    CheckDataFolder();
    CatalogDataFolder = DDirname->Caption();
    CurrentCatalogName = ActiveCatalogName->Caption();

    CheckProgramTables();

    TCatalogStore store;
    if (Msg) {
        store.MessageWindow.Show = [](const std::string& Text) { Msg->show_msg(Text); };
        store.MessageWindow.Remove = [] { Msg->remove_msg(); };
    }
    store.OpenCatalog(false);

    SetStatPanels();
    reports::PrintedFooterText = "Korvane " + EditionText() + " Version " + VersionNumberText();
    Tips->SetCaptionTitle("Korvane " + EditionText() + " Tips & Tricks");
}

void TMainForm::CheckDataFolder() {
    const std::string folder = DDirname->Caption();
    if (Trim(folder).empty()) {
        DDirname->SetCaption(ProgramFolder);
        RunFolderDialog();
    } else if (!DirectoryExists(folder)) {
        MessageBeep(kErrorBeep);
        MessageDlg("The Folder Currently Set For The Location Of Your Catalog Data\r\n\r\n(" + folder +
                       ")\r\n\r\nDoes Not Exist.  You Will Need To Select Another Location After You Close "
                       "This Dialog Box.",
                   mtError, {mbOK}, 0);
        DDirname->SetCaption(ProgramFolder);
        RunFolderDialog();
    }
}

void TMainForm::RunFolderDialog() {
    auto* dialog = TCustomForm::Create<TCatalogFolderForm>(Application);
    try {
        dialog->DList->SetDirectory(DDirname->Caption());
        if (dialog->ShowModal() == mrOk) DDirname->SetCaption(dialog->DList->Directory());
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
}

void TMainForm::CheckProgramTables() {
    for (const TTableSchema* schema : ProgramTableSchemas()) {
        DataTable->Close();
        DataTable->SetDatabaseName(ProgramFolder);
        DataTable->SetTableName(schema->TableName);
        const bool existed = DataTable->Exists();
        if (existed) {
            // Read as the table is opened for use; no version changes anything.
            if (DataTable->GetUserMajorVersion() == 1) (void)DataTable->GetUserMinorVersion();
        } else {
            DefineTable(*DataTable, *schema);
            DataTable->CreateTable();
        }
        if (schema == &KorvaneOptionsSchema()) {
            DataTable->Open();
            if (existed) {
                DataTable->First();
            } else {
                InsertNewOptionsRecord(*DataTable);
            }
            LoadOptions(*DataTable);
            DataTable->Close();
        }
    }
}

void TMainForm::SetStatPanels() {
    ActiveCatalogName->SetCaption(CurrentCatalogName);
    if (CurrentCatalogName.empty()) {
        DisksInCatalog->SetCaption("");
        FilesInCatalog->SetCaption("");
        return;
    }
    DisksInCatalog->SetCaption(CountText(*DataTable, "_SUM", FormatDiskCount));
    FilesInCatalog->SetCaption(CountText(*DataTable, "_CAT", FormatFileCount));
}

void TMainForm::ExitProgram1Click(TObject*) {
    if (OpenReportCount != 0 &&
        MessageDlg("You Have Reports Open - Are You Sure You Want To Close This Program?", mtConfirmation,
                   {mbYes, mbNo}, 0) != mrYes)
        return;
    Application->Terminate();
}

void TMainForm::CloseBtnClick(TObject* Sender) {
    ExitProgram1Click(Sender);
}

}  // namespace app
