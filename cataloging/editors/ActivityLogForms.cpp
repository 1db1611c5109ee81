#include "cataloging/editors/ActivityLogForms.h"

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/TextHelpers.h"
#include "cataloging/editors/EditorParts.h"
#include "controls/entry/CtlDateEdit.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbTable.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/print/Printers.h"
#include "framework/reports/Reports.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Label.h"

namespace cataloging {

using namespace framework;

namespace {

struct TLogColumn {
    const char* Field;
    const char* Heading;
    int Width;      // in the window's grid
    int PrintLeft;  // in the printed report
    int PrintWidth;
    TAlignment PrintAlign;
};
constexpr TLogColumn kLogColumns[] = {{"OpDate", "Operation Date", 80, 0, 110, taCenter},
                                      {"OpTime", "Operation Time", 80, 116, 110, taCenter},
                                      {"Operation", "Operation Description", 440, 240, 460, taLeftJustify}};

void PointLogTable(dbsql::TDbTable& Table) {
    Table.Close();
    Table.SetDatabaseName(catalog::CatalogDataFolder);
    Table.SetTableName(catalog::CurrentCatalogName + "_LOG");
}

TReportLabel* NewLogReportLabel(TForm& Form, TReportBand& Band, const char* Name, const std::string& Caption,
                                int Left, int Top, int Width, TAlignment Align) {
    auto* l = NewComponent<TReportLabel>(&Form);
    l->SetName(Name);
    l->SetParent(&Band);
    l->SetAutoSize(false);
    l->SetCaption(Caption);
    l->SetAlignment(Align);
    l->SetBounds(Left, Top, Width, 16);
    return l;
}

}  // namespace

// ---- The window ----

TViewCatalogActivityLogForm::TViewCatalogActivityLogForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("ViewCatalogActivityLogForm");
    SetCaption("View/Purge Catalog Activity Log");
    Position = poScreenCenter;
    SetClientSize(660, 400);
    FormState = NewRegistryFormState(*this, "TViewCatalogActivityLogForm", Store);

    LogTable = NewComponent<dbsql::TDbTable>(this);
    LogTable->SetName("LogTable");
    LogTable->AfterOpen = [this](TDataSet*) {
        for (const TLogColumn& c : kLogColumns)
            if (TField* f = LogTable->FindField(c.Field)) f->SetDisplayLabel(c.Heading);
    };
    LogSource = NewComponent<TDataSource>(this);
    LogSource->SetDataSet(LogTable);
    LogSource->AutoEdit = false;
    Query = NewComponent<dbsql::TDbQuery>(this);
    Query->SetName("Query");

    Grid = catalog::NewControl<grid::TCtlDbTable>(*this, *this, "Grid", 4, 4, 652, 330);
    Grid->SetOptions((Grid->Options() & ~grid::CtlDbOption(grid::dtoShowIndicators)) |
                     grid::CtlDbOption(grid::dtoHighlightActiveRow));
    Grid->SetDataSource(LogSource);
    Grid->Columns().Clear();
    for (const TLogColumn& c : kLogColumns) {
        auto* column = new grid::TCtlDbTableColumn(Grid);
        column->SetDataField(c.Field);
        column->SetWidth(c.Width);
        Grid->Columns().Append(column);
    }

    TLabel* CutoffLabel =
        catalog::NewLabel(*this, *this, "CutoffLabel", 8, 346, 250, "Purge Log Entries Up To And Including:");
    CutoffDate = catalog::NewControl<entry::TCtlDateEdit>(*this, *this, "CutoffDate", 8, 366, 120, 23);
    PurgeBtn = NewEditorButton(*this, "PurgeBtn", "P&urge", 140, 364, 80, [this] { PurgeClick(); });
    PrintBtn = NewEditorButton(*this, "PrintBtn", "&Print", 226, 364, 80, [this] { PrintClick(); });
    CloseBtn = catalog::NewDialogButton(*this, *this, "CloseBtn", bkClose, 480, 364);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 566, 364, &HelpContext);
    for (TBitBtn* b : {CloseBtn, HelpBtn}) {
        b->SetWidth(84);
        b->SetAnchors(akRight | akBottom);
    }
    Grid->SetAnchors(akLeft | akTop | akRight | akBottom);
    for (TControl* c : std::initializer_list<TControl*>{CutoffLabel, CutoffDate, PurgeBtn, PrintBtn})
        c->SetAnchors(akLeft | akBottom);
}

void TViewCatalogActivityLogForm::OpenLog() {
    PointLogTable(*LogTable);
    LogTable->Open();
}

void TViewCatalogActivityLogForm::DoShow() {
    OpenLog();
    CutoffDate->SetDate(Date());
    Query->SetDatabaseName(catalog::CatalogDataFolder);
    TForm::DoShow();
}

void TViewCatalogActivityLogForm::PurgeClick() {
    if (MessageDlg(PurgeQuestion, mtConfirmation, {mbYes, mbNo}, 0) != mrYes) return;
    const TDateTime cutoff = CutoffDate->GetDate();
    TEditorHourglass busy;
    LogTable->Close();
    Application->ProcessMessages();
    // The date goes in as a parameter, the catalog's name with its quotes doubled.
    Query->Close();
    Query->SetDatabaseName(catalog::CatalogDataFolder);
    Query->SetSQL("Delete From \"" + catalog::QuoteForSql(catalog::CurrentCatalogName) +
                  "_LOG\" Where (OpDate <= :Cutoff)");
    Query->Params().ParamByName("Cutoff")->SetAsDate(cutoff);
    Query->ExecuteStatement();
    Query->Close();
    OpenLog();
}

void TViewCatalogActivityLogForm::PrintClick() {
    if (!LogTable->Active() || LogTable->IsEmpty()) {
        MessageDlg("No Log Entries To Print", mtError, {mbOK}, 0);
        return;
    }
    TPrinterSetupDialog setup(nullptr);
    if (!setup.Execute()) return;
    auto* form = TCustomForm::Create<TPrintCatalogActivityLogForm>(Application);
    try {
        form->Report->PrinterIndex = Printer().PrinterIndex();
        form->OpenTable();
        form->Report->Print();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
}

// ---- The printed log ----

TPrintCatalogActivityLogForm::TPrintCatalogActivityLogForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("PrintCatalogActivityLogForm");
    LogTable = NewComponent<dbsql::TDbTable>(this);
    LogTable->SetName("LogTable");
    Report = NewComponent<TReport>(this);
    Report->SetName("Report");
    Report->SetParent(this);
    Report->PrintIfEmpty = true;
    Report->Page().SetPaperSize(ppLetter);
    Report->Page().SetOrientation(poPortrait);
    Report->Page().SetColumns(1);
    Report->SetDataSet(LogTable);

    HeaderBand = NewComponent<TReportBand>(this, rbPageHeader);
    HeaderBand->SetName("HeaderBand");
    HeaderBand->SetReport(Report);
    HeaderBand->SetHeight(70);
    const int width = HeaderBand->Width();
    Title = NewLogReportLabel(*this, *HeaderBand, "Title", "", 0, 4, width, taCenter);
    NewLogReportLabel(*this, *HeaderBand, "PageLabel", "Page", width - 90, 4, 40, taLeftJustify);
    auto* page = NewComponent<TReportSysData>(this);
    page->SetName("PageNumber");
    page->SetParent(HeaderBand);
    page->Data = qrsPageNumber;
    page->SetLeft(width - 46);
    page->SetTop(4);
    auto* time = NewComponent<TReportSysData>(this);
    time->SetName("PrintTime");
    time->SetParent(HeaderBand);
    time->Data = qrsTime;
    time->SetLeft(width - 90);
    time->SetTop(22);
    DetailBand = NewComponent<TReportBand>(this, rbDetail);
    DetailBand->SetName("DetailBand");
    DetailBand->SetReport(Report);
    DetailBand->SetHeight(18);
    for (const TLogColumn& c : kLogColumns) {
        NewLogReportLabel(*this, *HeaderBand, (std::string(c.Field) + "Heading").c_str(), c.Heading,
                          c.PrintLeft, 48, c.PrintWidth, c.PrintAlign);
        auto* text = NewComponent<TReportDBText>(this);
        text->SetName(std::string(c.Field) + "Text");
        text->SetParent(DetailBand);
        text->SetDataSet(LogTable);
        text->DataField = c.Field;
        text->SetAutoSize(false);
        text->SetAlignment(c.PrintAlign);
        text->SetBounds(c.PrintLeft, 1, c.PrintWidth, 16);
    }
}

void TPrintCatalogActivityLogForm::OpenTable() {
    PointLogTable(*LogTable);
    LogTable->Open();
    const std::string title = "Catalog Activity Report For Catalog: " + catalog::CurrentCatalogName;
    Report->ReportTitle = title;
    Title->SetCaption(title);
}

}  // namespace cataloging
