#include "catalog/Globals.h"
#include "cataloging/editors/CategoryForm.h"
#include "dbsql/components/DbTable.h"
#include "framework/print/Printers.h"
#include "framework/reports/Reports.h"
#include "framework/stdctrls/Dialogs.h"

namespace cataloging {

using namespace framework;

namespace {

TReportLabel* NewCategoryListLabel(TForm& Form, TReportBand& Band, const std::string& Caption, int Left,
                                   int Top) {
    auto* l = NewComponent<TReportLabel>(&Form);
    l->SetParent(&Band);
    l->SetCaption(Caption);
    l->SetLeft(Left);
    l->SetTop(Top);
    return l;
}

}  // namespace

TPrintCategoryListForm::TPrintCategoryListForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("PrintCategoryListForm");
    CategoryTable = NewComponent<dbsql::TDbTable>(this);
    CategoryTable->SetName("CategoryTable");
    CategoryTable->SetTableName("Categories");
    Report = NewComponent<TReport>(this);
    Report->SetName("Report");
    Report->SetParent(this);
    Report->ReportTitle = "Korvane Category Listing";
    Report->PrintIfEmpty = true;
    Report->Page().SetPaperSize(ppLetter);
    Report->Page().SetOrientation(poPortrait);
    Report->Page().SetColumns(2);
    Report->SetDataSet(CategoryTable);

    HeaderBand = NewComponent<TReportBand>(this, rbPageHeader);
    HeaderBand->SetReport(Report);
    HeaderBand->SetHeight(64);
    NewCategoryListLabel(*this, *HeaderBand, "Korvane Category Listing", 0, 4);
    NewCategoryListLabel(*this, *HeaderBand, "Page", HeaderBand->Width() - 140, 4);
    auto* page = NewComponent<TReportSysData>(this);
    page->SetParent(HeaderBand);
    page->Data = qrsPageNumber;
    page->SetLeft(HeaderBand->Width() - 100);
    page->SetTop(4);
    auto* time = NewComponent<TReportSysData>(this);
    time->SetParent(HeaderBand);
    time->Data = qrsTime;
    time->SetLeft(HeaderBand->Width() - 140);
    time->SetTop(22);
    const int column = Report->Page().ColumnWidth() + Report->Page().ColumnSpace();
    for (int c = 0; c < 2; ++c) {
        NewCategoryListLabel(*this, *HeaderBand, "Code", c * column + 2, 44);
        NewCategoryListLabel(*this, *HeaderBand, "Description", c * column + 80, 44);
    }

    DetailBand = NewComponent<TReportBand>(this, rbDetail);
    DetailBand->SetReport(Report);
    DetailBand->SetHeight(18);
    auto text = [this](const char* Field, int Left, int Width) {
        auto* t = NewComponent<TReportDBText>(this);
        t->SetParent(DetailBand);
        t->SetDataSet(CategoryTable);
        t->DataField = Field;
        t->SetAutoSize(false);
        t->SetBounds(Left, 1, Width, 16);
    };
    text("Code", 2, 74);
    text("Description", 80, Report->Page().ColumnWidth() - 82);
    Report->BeforePrint = [this](TReport*, bool&) { FGreyLine = false; };
    DetailBand->BeforePrint = [this](TReportBand* Band, bool&) {
        FGreyLine = !FGreyLine;
        Band->SetColor(FGreyLine ? TColor(0xC0C0C0) : clWhite);
    };
}

void TPrintCategoryListForm::OpenTable(const std::string& IndexName) {
    CategoryTable->Close();
    CategoryTable->SetDatabaseName(catalog::ProgramFolder);
    CategoryTable->SetIndexName(IndexName);
    CategoryTable->Open();
}

void PrintCategoryList(const std::string& IndexName) {
    TPrinterSetupDialog setup(nullptr);
    if (!setup.Execute()) return;
    auto* form = TCustomForm::Create<TPrintCategoryListForm>(Application);
    try {
        form->Report->PrinterIndex = Printer().PrinterIndex();
        form->OpenTable(IndexName);
        form->Report->Print();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
}

}  // namespace cataloging
