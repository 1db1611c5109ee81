#include "app/FrameToolsUnit.h"

#include "framework/stdctrls/Buttons.h"

namespace app {

using namespace framework;

TFrameTools::TFrameTools(TComponent* AOwner, TMainForm& Main) : TOptionFrame(AOwner, Main) {
    SetName("FrameTools");
    ManageBtn = AddButton("ManageBtn", "Manage Catalogs", "ManageCatalogs1");
    CompareBtn = AddButton("CompareBtn", "Compare Catalogs", "CompareCatalogs1");
    OffloadBtn = AddButton("OffloadBtn", "Offload Files To Removable Disks", "OffloadFilesToOfflineMedia1");
    DuplicateBtn =
        AddButton("DuplicateBtn", "Duplicate/Redundant File Cleanup", "DuplicateRedundantFileCleanup1");
    GeneralCleanupBtn = AddButton("GeneralCleanupBtn", "General File Cleanup", "GeneralFileCleanup1");
    RetrieveBtn = AddButton("RetrieveBtn", "Retrieve Cataloged Files", "RetrieveCatalogedFiles1");
}

void TFrameTools::LayOut(int P, int W) {
    LayOutColumn({ManageBtn, CompareBtn, OffloadBtn, DuplicateBtn, GeneralCleanupBtn, RetrieveBtn}, W,
                 (P - 63) / 6);
}

}  // namespace app
