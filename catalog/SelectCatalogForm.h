#pragma once
// The catalog manager: a grid of the catalogs defined in CatalogConfigs, through which the user
// creates, renames, deletes, configures, resizes and selects catalogs. The same dialog serves the
// tools as a catalog picker: with MakeCurrent false it hides Delete and Rename, and Select only ends
// it with mrOk; the caller then reads PickedCatalogName().
//
// TNewCatalogForm asks for a new catalog's name and its three name lengths; TRenameCatalogForm for
// a catalog's new name. Both refuse an empty name, a name that cannot become part of file names and
// a name already defined, and stay open after the error box.

#include <string>

#include "catalog/CatalogStore.h"
#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDataSource;
class TDBGrid;
class TDBNavigator;
class TEdit;
class TLabel;
class TPanel;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlController;
class TCtlPictureField;
}  // namespace entry

namespace catalog {

class TNewCatalogForm : public framework::TForm {
public:
    explicit TNewCatalogForm(framework::TComponent* AOwner);

    framework::TEdit* CatalogName;
    entry::TCtlPictureField* FileNameLength;
    entry::TCtlPictureField* FolderNameLength;
    entry::TCtlPictureField* ArchiveIDLength;
    framework::TLabel* NoteLabel;
    framework::TBitBtn* CreateBtn;
    framework::TBitBtn* CancelBtn;
    entry::TCtlController* Controller;
    // Looks the typed name up in CatalogConfigs.
    dbsql::TDbTable* Table;

    // The name as it will be stored (blanks and control codes trimmed).
    std::string TrimmedName() const;
    TNameLengths Lengths() const;
    // Create: ends the dialog with mrOk when the name can be taken.
    void BitBtn1Click();
};

class TRenameCatalogForm : public framework::TForm {
public:
    explicit TRenameCatalogForm(framework::TComponent* AOwner);

    // Its caption is the catalog's present name.
    framework::TPanel* OldCatalogName;
    framework::TEdit* NewCatalogName;
    framework::TBitBtn* OKBtn;
    framework::TBitBtn* CancelBtn;

    std::string TrimmedName() const;
    // OK: ends the dialog with mrOk when the new name can be taken.
    void BitBtn1Click();
};

class TSelectCatalogForm : public framework::TForm {
public:
    explicit TSelectCatalogForm(framework::TComponent* AOwner);
    ~TSelectCatalogForm() override;

    // True: Select makes the highlighted catalog current (the Settings command). False: the
    // dialog is a picker and changes nothing of the program's state on Select.
    bool MakeCurrent = true;

    // The configuration and working tables of the catalog operations (OpenCatalog,
    // CreateCatalogConfig, the tables' deletion and renaming).
    TCatalogStore Store;
    // The configuration table the grid shows.
    dbsql::TDbTable* CfgTable2;
    framework::TDataSource* CfgSource;
    framework::TPanel* GridHeader;
    framework::TDBGrid* DBGrid1;
    framework::TDBNavigator* Navigator;
    framework::TBitBtn* NewBtn;
    framework::TBitBtn* DeleteBtn;
    framework::TBitBtn* RenameBtn;
    framework::TBitBtn* ItemLengthBtn;
    framework::TBitBtn* OptionsBtn;
    framework::TBitBtn* SelectBtn;
    framework::TBitBtn* CloseBtn;
    framework::TBitBtn* HelpBtn;
    int HelpContext = 7;

    // The highlighted catalog's name, trimmed ("" when none is defined).
    std::string PickedCatalogName() const;

    void NewBtnClick();
    void SelectBtnClick();
    void DeleteBtnClick();
    void RenameBtnClick();
    void OptionsBtnClick();
    void ItemLengthBtnClick();
    void DBGrid1DblClick();
    void DBGrid1MouseMove(int X, int Y);

protected:
    void DoShow() override;

private:
    // Positions the grid on the catalog of that name after a change of the table.
    void Reposition(const std::string& Name);
    int FMouseX = -1;
    int FMouseY = -1;
};

// Shows the catalog manager modally (the Settings command "Select/Create/Configure Catalog"); the
// caller then shows CurrentCatalogName and refreshes its panels.
void ShowSelectCatalogForm();

}  // namespace catalog
