#pragma once
// File categories: the editor of the program table Categories (also the picker through which
// other windows choose a category), the one-category prompt of the category report and the
// printed list of categories.

#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDataSource;
class TDBNavigator;
class TEdit;
class TLabel;
class TRadioButton;
class TGroupBox;
class TReport;
class TReportBand;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace grid {
class TCtlDbTable;
}

namespace cataloging {

class TCategoryForm : public framework::TForm {
public:
    explicit TCategoryForm(framework::TComponent* AOwner);
    int HelpContext = 45;
    static constexpr const char* DuplicateCodeText = "Category Code Already Exists - Please Change It";

    dbsql::TDbTable* CategoryTable;
    framework::TDataSource* CategorySource;
    grid::TCtlDbTable* Grid;
    framework::TDBNavigator *MoveNavigator, *EditNavigator;
    framework::TGroupBox* SortGroup;
    framework::TRadioButton *SortByCode, *SortByDescription;
    framework::TBitBtn *SelectBtn, *CloseBtn, *PrintBtn, *HelpBtn;

    // As the editor of the Cataloging command: no "&Select Category".
    void UseAsEditor();
    void SortChanged();
    void SelectClick();
    void PrintClick();

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;

private:
    // Puts the focus in the grid's Code column.
    void FocusCode();
};

// Asks for the category of a report: Code (empty: entries without a category) and its Description.
class TGetCategoryForm : public framework::TForm {
public:
    explicit TGetCategoryForm(framework::TComponent* AOwner);
    int HelpContext = 46;
    static constexpr const char* NoCategoryText = "No Category";

    dbsql::TDbTable* CategoryTable;
    framework::TEdit* Code;
    framework::TEdit* Description;
    framework::TBitBtn *ListBtn, *OKBtn, *CancelBtn, *HelpBtn;

    void CodeExit();
    void ListClick();

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;
};

// The printed list of categories (Letter, portrait, two columns, printed also when empty) over its
// own table on Categories.
class TPrintCategoryListForm : public framework::TForm {
public:
    explicit TPrintCategoryListForm(framework::TComponent* AOwner);
    dbsql::TDbTable* CategoryTable;
    framework::TReport* Report;
    framework::TReportBand *HeaderBand, *DetailBand;
    // Opens the table in the program folder in the order of the index (empty: by code).
    void OpenTable(const std::string& IndexName);

private:
    bool FGreyLine = false;
};

// Runs the printer set-up dialog and, on OK, prints the list in the order of the index.
void PrintCategoryList(const std::string& IndexName);

}  // namespace cataloging
