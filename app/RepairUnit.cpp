#include "app/RepairUnit.h"

#include <string_view>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlNotebook.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/ListBox.h"
#include "framework/stdctrls/Memo.h"
#include "platform/Files.h"

namespace app {

using namespace framework;

namespace {

constexpr uint32_t kErrorBeep = 16;
constexpr int kButtonsHeight = 78;

struct TTableLabel {
    const char* FileName;
    const char* Label;
};
constexpr TTableLabel kLabels[] = {
    {"CATALOGCONFIGS.DAT", "Catalog Config Data"},
    {"KORVANEOPTIONS.DAT", "Korvane Options"},
    {"CATEGORIES.DAT", "File Categories"},
    {"CIPROFILES.DAT", "Comment Import Profiles"},
    {"FIPROFILES.DAT", "File Import Profiles"},
    {"CUSTOMFILEREPORTDEFS.DAT", "Custom File Reports"},
    {"CUSTOMSUMMARYREPORTDEFS.DAT", "Custom Summary Reports"},
};

std::string WithBackslash(const std::string& Folder) {
    if (Folder.empty() || Folder.back() == '\\') return Folder;
    return Folder + "\\";
}

// The names of the files (not folders) that match Mask, as the file system spells them.
std::vector<std::string> FilesMatching(const std::string& Mask) {
    std::vector<std::string> names;
    platform::WIN32_FIND_DATA data;
    platform::HANDLE search = platform::FindFirstFile(Mask, data);
    if (search == platform::INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (platform::FindNextFile(search, data));
    platform::FindClose(search);
    return names;
}

// The file name of a list item "Label (File.DAT)": between the first "(" and the ")" that ends it.
std::string FileNameOfItem(const std::string& Item) {
    const size_t open = Item.find('(');
    if (open == std::string::npos) return Item;
    std::string name = Item.substr(open + 1);
    if (!name.empty() && name.back() == ')') name.pop_back();
    return name;
}

TPanel* NewHeader(TComponent& Owner, TWinControl& Parent, const std::string& Name, const char* Caption) {
    auto* header = NewComponent<TPanel>(&Owner);
    header->SetName(Name);
    header->SetParent(&Parent);
    header->SetAlign(alTop);
    header->SetHeight(22);
    header->SetCaption(Caption);
    return header;
}

}  // namespace

std::string ProgramTableLabel(const std::string& FileName) {
    const std::string upper = UpperCase(FileName);
    for (const TTableLabel& l : kLabels)
        if (upper == l.FileName) return l.Label;
    return "Unknown Table";
}

TRepairForm::TRepairForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("RepairForm");
    SetCaption("Diagnose/Repair Korvane's Tables");
    Position = poScreenCenter;
    SetBounds(Left(), Top(), 680, 420);
    Constraints().SetMinWidth(400);
    Constraints().SetMinHeight(200);

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    MainTable = NewComponent<dbsql::TDbTable>(this);
    MainTable->SetName("MainTable");
    CatTable = NewComponent<dbsql::TDbTable>(this);
    CatTable->SetName("CatTable");

    Panel1 = NewComponent<TPanel>(this);
    Panel1->SetName("Panel1");
    Panel1->SetParent(this);
    Panel1->SetAlign(alTop);
    Panel1->SetBevelOuter(bvNone);
    Panel1->SetCaption("");
    Panel1->SetHeight(Height() - kButtonsHeight);
    Notebook = catalog::NewNotebook(*this, *Panel1, "Notebook", 0, 0, Panel1->Width(), Panel1->Height(),
                                    {"Korvane's Main Tables", "Catalogs"});
    Notebook->SetAlign(alClient);
    BuildPage(0, "Panel4", Panel4, MainTables, MainResults);
    BuildPage(1, "Panel8", Panel8, CatalogTables, CatalogResults);

    DiagnoseBtn = catalog::NewDialogButton(*this, *this, "DiagnoseBtn", bkCustom, 0, 0);
    DiagnoseBtn->SetCaption("&Diagnose");
    RepairBtn = catalog::NewDialogButton(*this, *this, "RepairBtn", bkCustom, 0, 0);
    RepairBtn->SetCaption("&Repair");
    for (TBitBtn* b : {DiagnoseBtn, RepairBtn})
        b->OnClick = [this](TObject* Sender) { DiagnoseBtnClick(Sender); };
    CloseBtn = catalog::NewDialogButton(*this, *this, "CloseBtn", bkClose, 0, 0);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 0, 0, &HelpContext);

    MainTable->OnVerifyProgress = [this](TObject* S, const std::string& Step, int P) {
        MainTableVerifyProgress(S, Step, P);
    };
    MainTable->OnRepairProgress = [this](TObject* S, const std::string& Step, int P) {
        MainTableRepairProgress(S, Step, P);
    };
    CatTable->OnVerifyProgress = [this](TObject* S, const std::string& Step, int P) {
        CatTableVerifyProgress(S, Step, P);
    };
    CatTable->OnRepairProgress = [this](TObject* S, const std::string& Step, int P) {
        CatTableRepairProgress(S, Step, P);
    };
    MainTable->OnVerifyLog = [this](TObject* S, const std::string& Line) { MainTableVerifyLog(S, Line); };
    MainTable->OnRepairLog = [this](TObject* S, const std::string& Line) { MainTableRepairLog(S, Line); };
    CatTable->OnVerifyLog = [this](TObject* S, const std::string& Line) { CatTableVerifyLog(S, Line); };
    CatTable->OnRepairLog = [this](TObject* S, const std::string& Line) { CatTableRepairLog(S, Line); };

    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TRepairForm");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TRepairForm");
    ComponentState->StoredProperties().SetText("Panel4.Width\nPanel8.Width\n");

    OnShow = [this](TObject* Sender) { FormShow(Sender); };
    OnResize = [this](TObject* Sender) { FormResize(Sender); };
    FormResize(this);
}

void TRepairForm::BuildPage(int Page, const char* ListPanel, TPanel*& List, TListBox*& Box, TMemo*& Log) {
    TWinControl& page = *Notebook->Pages(Page);
    const std::string n = std::to_string(Page);
    List = catalog::NewPanel(*this, page, ListPanel, 0, 0, 300, 100, bvNone);
    List->SetAlign(alLeft);
    NewHeader(*this, *List, "ListHeader" + n, "Table List");
    Box = NewComponent<TListBox>(this);
    Box->SetName(Page == 0 ? "MainTables" : "CatalogTables");
    Box->SetParent(List);
    Box->SetAlign(alClient);
    Box->SetSorted(true);
    // The user sizes the list panel by dragging its right edge.
    auto* splitter = NewComponent<TSplitter>(this);
    splitter->SetName("Splitter" + n);
    splitter->SetParent(&page);
    splitter->SetBounds(List->Width(), 0, 3, 100);
    splitter->SetAlign(alLeft);
    auto* logPanel = catalog::NewPanel(*this, page, ("LogPanel" + n).c_str(), 0, 0, 100, 100, bvNone);
    logPanel->SetAlign(alClient);
    NewHeader(*this, *logPanel, "LogHeader" + n, "Activity Log");
    Log = NewComponent<TMemo>(this);
    Log->SetName(Page == 0 ? "MainResults" : "CatalogResults");
    Log->SetParent(logPanel);
    Log->SetAlign(alClient);
    Log->ScrollBars = ssVertical;
    Log->Lines().Clear();
}

void TRepairForm::FormResize(TObject*) {
    Panel1->SetHeight(Height() - kButtonsHeight);
    const int top = Panel1->Height() + 8;
    int left = (ClientWidth() - 4 * 89 - 3 * 8) / 2;
    for (TBitBtn* b : {DiagnoseBtn, RepairBtn, CloseBtn, HelpBtn}) {
        b->SetBounds(left, top, 89, 33);
        left += 97;
    }
}

void TRepairForm::FormShow(TObject*) {
    Screen->SetCursor(crHourGlass);
    Application->ProcessMessages();
    for (const std::string& name : FilesMatching(WithBackslash(catalog::ProgramFolder) + "*.DAT"))
        MainTables->Items().Add(ProgramTableLabel(name) + " (" + name + ")");
    if (MainTables->Items().Count() > 0) MainTables->SetItemIndex(0);
    for (const std::string& name : FilesMatching(WithBackslash(catalog::CatalogDataFolder) + "*_SUM.DAT"))
        CatalogTables->Items().Add(name.substr(0, name.size() - 8));
    if (CatalogTables->Items().Count() > 0) CatalogTables->SetItemIndex(0);
    Screen->SetCursor(crDefault);
}

void TRepairForm::DiagnoseBtnClick(TObject* Sender) {
    const bool repair = Sender == RepairBtn;
    const bool catalogs = Notebook->PageIndex() == 1;
    TListBox& list = catalogs ? *CatalogTables : *MainTables;
    if (list.ItemIndex() < 0) {
        MessageBeep(kErrorBeep);
        MessageDlg("No Table Selected", mtError, {mbOK}, 0);
        return;
    }
    FLastStep.reset();
    Screen->SetCursor(crHourGlass);
    try {
        const std::string item = list.Items().Strings(list.ItemIndex());
        if (catalogs) {
            CatTable->Close();
            CatTable->SetDatabaseName(catalog::CatalogDataFolder);
            CatalogResults->Lines().Clear();
            for (const char* suffix : {"_SUM", "_CAT", "_LOG"}) {
                CatTable->SetTableName(item + suffix);
                if (!CatTable->Exists()) continue;
                CheckTable(*CatTable, *CatalogResults, item + suffix, repair);
                AddLine(*CatalogResults, "");
            }
        } else {
            const std::string file = FileNameOfItem(item);
            MainTable->Close();
            MainTable->SetDatabaseName(catalog::ProgramFolder);
            MainTable->SetTableName(file);
            MainResults->Lines().Clear();
            CheckTable(*MainTable, *MainResults, file, repair);
        }
    } catch (...) {
        Screen->SetCursor(crDefault);
        throw;
    }
    Screen->SetCursor(crDefault);
}

void TRepairForm::CheckTable(dbsql::TDbTable& Table, TMemo& Log, const std::string& Name, bool Repair) {
    AddLine(Log, "Verifying " + Name);
    Application->ProcessMessages();
    const bool sound = Table.VerifyTable();
    AddLine(Log, sound ? "Table Is Okay." : "Table Is Damaged.");
    if (sound || !Repair) return;
    AddLine(Log, "Repairing " + Name);
    Application->ProcessMessages();
    const bool repaired = Table.RepairTable(true);
    AddLine(Log, repaired ? "Table Repair Successful." : "Table Repair Failed!");
}

void TRepairForm::AddLine(TMemo& Log, const std::string& Line) {
    Log.Lines().Add(Line);
    // The last line is no step's line now: a step reported next gets a line of its own.
    FLastStep.reset();
}

void TRepairForm::Progress(TMemo& Log, const std::string& Step, int PercentDone) {
    const std::string line = Step + " " + std::to_string(PercentDone) + "%";
    TStrings& lines = Log.Lines();
    if (FLastStep && *FLastStep == Step && lines.Count() > 0)
        lines.Put(lines.Count() - 1, line);
    else
        lines.Add(line);
    FLastStep = Step;
    Application->ProcessMessages();
}

void TRepairForm::MainTableVerifyProgress(TObject*, const std::string& Step, int PercentDone) {
    Progress(*MainResults, Step, PercentDone);
}

void TRepairForm::MainTableRepairProgress(TObject*, const std::string& Step, int PercentDone) {
    Progress(*MainResults, Step, PercentDone);
}

void TRepairForm::CatTableVerifyProgress(TObject*, const std::string& Step, int PercentDone) {
    Progress(*CatalogResults, Step, PercentDone);
}

void TRepairForm::CatTableRepairProgress(TObject*, const std::string& Step, int PercentDone) {
    Progress(*CatalogResults, Step, PercentDone);
}

void TRepairForm::MainTableVerifyLog(TObject*, const std::string& LogMessage) {
    AddLine(*MainResults, LogMessage);
    Application->ProcessMessages();
}

void TRepairForm::MainTableRepairLog(TObject*, const std::string& LogMessage) {
    AddLine(*MainResults, LogMessage);
    Application->ProcessMessages();
}

void TRepairForm::CatTableVerifyLog(TObject*, const std::string& LogMessage) {
    AddLine(*CatalogResults, LogMessage);
    Application->ProcessMessages();
}

void TRepairForm::CatTableRepairLog(TObject*, const std::string& LogMessage) {
    AddLine(*CatalogResults, LogMessage);
    Application->ProcessMessages();
}

void ShowRepairForm() {
    catalog::ShowModalForm<TRepairForm>();
}

}  // namespace app
