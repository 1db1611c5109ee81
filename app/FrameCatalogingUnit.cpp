#include "app/FrameCatalogingUnit.h"

#include "controls/kit/StyledMnuBtn.h"
#include "framework/stdctrls/Buttons.h"

namespace app {

using namespace framework;

TFrameCataloging::TFrameCataloging(TComponent* AOwner, TMainForm& Main) : TOptionFrame(AOwner, Main) {
    SetName("FrameCataloging");
    CatalogRecatalogBtn = AddButton("CatalogRecatalogBtn", "Catalog/ReCatalog Disk(s)", "CatalogDisks1");
    UncatalogBtn = AddButton("UncatalogBtn", "UnCatalog Disk(s)", "UnCatalogDisks1");
    TextFileImportBtn = AddButton("TextFileImportBtn", "Text File Import", "TextFileImport1");
    AddChangeFileCommentsBtn = AddMenuButton("AddChangeFileCommentsBtn", "Add/Change File Comments",
                                             {{"&A. By Filespec", "AByFileSpec1"},
                                              {"&B. By Volume ID", "BByVolumeID1"},
                                              {"&C. By Folder Name", "CByFolderName1"},
                                              {"&D. By Archive ID", "DByArchiveID1"},
                                              {"&E. By File Size", "EByFileSize1"},
                                              {"&F. By File Date", "FByFileDate1"},
                                              {"&G. By Category", "GByCategory1"},
                                              {"&H. By Empty Category", "HByEmptyCategory1"},
                                              {" &I. By File Comment", "IByFileComment1"},
                                              {"&J. By Empty File Comment", "JByEmptyFileComment1"}});
    ViewPurgeCatalogActivityLogBtn = AddButton(
        "ViewPurgeCatalogActivityLogBtn", "View/Purge Catalog Activity Log", "ViewPurgeCatalogActivityLog1");
    ModifyDiskCommentsBtn = AddButton("ModifyDiskCommentsBtn", "Modify Disk Comments", "ModifyDiskComments1");
    ImportFileCommentsBtn = AddButton("ImportFileCommentsBtn", "Import File Comments", "ImportFileComments1");
    LabelADiskBtn = AddButton("LabelADiskBtn", "Label A Disk", "LabelADisk1");
    DirectoryOfADiskBtn = AddButton("DirectoryOfADiskBtn", "Directory Of A Disk", "DirectoryOfADisk1");
    FileCategoryMaintenanceBtn =
        AddButton("FileCategoryMaintenanceBtn", "File Category Maintenance", "FileCategories1");
    EraseFileEntriesBtn = AddButton("EraseFileEntriesBtn", "Erase Specific File Entries In This Catalog",
                                    "KillSpecificFileEntriesInThisCatalog1");
    CloseBtn = AddButton("CloseBtn", "Exit Program", "ExitProgram1");
}

void TFrameCataloging::LayOut(int P, int W) {
    const int h = (P - 63) / 6;
    const int leftWidth = (W - 15) * 211 / 446;
    const int rightWidth = (W - 15) * 235 / 446;
    const std::pair<TControl*, TControl*> rows[] = {
        {CatalogRecatalogBtn, LabelADiskBtn},
        {UncatalogBtn, DirectoryOfADiskBtn},
        {TextFileImportBtn, FileCategoryMaintenanceBtn},
        {AddChangeFileCommentsBtn, ViewPurgeCatalogActivityLogBtn},
        {ModifyDiskCommentsBtn, EraseFileEntriesBtn},
        {ImportFileCommentsBtn, CloseBtn}};
    int top = 6;
    for (auto [left, right] : rows) {
        left->SetBounds(6, top, leftWidth, h);
        right->SetBounds(left->Left() + left->Width() + 5, left->Top(), rightWidth, h);
        top += h + 4;
    }
}

}  // namespace app
