#include "app/FrameSettingsUnit.h"

#include "framework/stdctrls/Buttons.h"

namespace app {

using namespace framework;

TFrameSettings::TFrameSettings(TComponent* AOwner, TMainForm& Main) : TOptionFrame(AOwner, Main) {
    SetName("FrameSettings");
    SelectCreateBtn = AddButton("SelectCreateBtn", "Select/Create/Configure Catalog", "SelectCreateCatalog1");
    FolderBtn = AddButton("FolderBtn", "Folder For Catalogs", "FolderForCatalogs1");
    MainWinBtn = AddButton("MainWinBtn", "Main Window Appearance Options", "MainWindowAppearanceOptions1");
    IncludeExcludeBtn = AddButton("IncludeExcludeBtn", "Include/Exclude Specs", "IncludeExcludeSpecs1");
    ToolsSettingsBtn = AddButton("ToolsSettingsBtn", "Offload And Cleanup Tools Settings", "ToolsSettings1");
}

void TFrameSettings::LayOut(int P, int W) {
    LayOutColumn({SelectCreateBtn, FolderBtn, MainWinBtn, IncludeExcludeBtn, ToolsSettingsBtn}, W,
                 (P - 59) / 5);
}

}  // namespace app
