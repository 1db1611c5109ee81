#pragma once
// The Cataloging frame: two columns of six buttons; the comment editor's ten ways of choosing entries drop
// from a menu button.

#include "app/OptionFrame.h"

namespace framework {
class TBitBtn;
}
namespace kit {
class TStyledMenuButton;
}

namespace app {

class TFrameCataloging : public TOptionFrame {
public:
    TFrameCataloging(framework::TComponent* AOwner, TMainForm& Main);

    framework::TBitBtn *CatalogRecatalogBtn, *UncatalogBtn, *TextFileImportBtn,
        *ViewPurgeCatalogActivityLogBtn, *ModifyDiskCommentsBtn, *ImportFileCommentsBtn, *LabelADiskBtn,
        *DirectoryOfADiskBtn, *FileCategoryMaintenanceBtn, *EraseFileEntriesBtn, *CloseBtn;
    kit::TStyledMenuButton* AddChangeFileCommentsBtn;

protected:
    void LayOut(int P, int W) override;
};

}  // namespace app
