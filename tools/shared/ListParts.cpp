#include "tools/shared/ListParts.h"

#include <initializer_list>

#include "catalog/FormParts.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Graphics.h"

namespace tools {

using namespace framework;

void NewListCounters(TComponent& Owner, TPanel& Row, TListCounters& Into) {
    struct TCounterDef {
        const char *PanelName, *ValueName, *Caption;
        TPanel*& Panel;
        TLabel*& Value;
    };
    const TCounterDef Defs[] = {{"FilesInListPanel", "FilesInListLabel", "Files In List",
                                 Into.FilesInListPanel, Into.FilesInListLabel},
                                {"BytesInListPanel", "BytesInListLabel", "Bytes In List",
                                 Into.BytesInListPanel, Into.BytesInListLabel},
                                {"TaggedFilesPanel", "TaggedFilesLabel", "Tagged Files",
                                 Into.TaggedFilesPanel, Into.TaggedFilesLabel},
                                {"TaggedBytesPanel", "TaggedBytesLabel", "Tagged Bytes",
                                 Into.TaggedBytesPanel, Into.TaggedBytesLabel}};
    for (const TCounterDef& Def : Defs) {
        Def.Panel = catalog::NewPanel(Owner, Row, Def.PanelName, 0, 2, 190, 36, bvLowered);
        catalog::NewLabel(Owner, *Def.Panel, "", 4, 2, 180, Def.Caption);
        Def.Value = catalog::NewLabel(Owner, *Def.Panel, Def.ValueName, 4, 18, 180, "0");
        Def.Value->SetAlignment(taRightJustify);
    }
}

void LayoutListCounters(const TListCounters& Counters, int RowWidth) {
    const int Quarter = RowWidth / 4 - 4;
    TPanel* const Panels[] = {Counters.FilesInListPanel, Counters.BytesInListPanel, Counters.TaggedFilesPanel,
                              Counters.TaggedBytesPanel};
    for (int I = 0; I < 4; ++I) Panels[I]->SetBounds(2 + I * (Quarter + 4), 2, Quarter, 36);
}

void ShowListCounterValues(const TListCounters& Counters, int64_t FilesInList, int64_t BytesInList,
                           int64_t TaggedFiles, int64_t TaggedBytes) {
    const int64_t Numbers[] = {FilesInList, BytesInList, TaggedFiles, TaggedBytes};
    TLabel* const Values[] = {Counters.FilesInListLabel, Counters.BytesInListLabel, Counters.TaggedFilesLabel,
                              Counters.TaggedBytesLabel};
    for (size_t I = 0; I < 4; ++I)
        Values[I]->SetCaption(FormatFloat("###,###,###,###,##0", static_cast<double>(Numbers[I])));
}

TActiveCatalogPanel NewActiveCatalogPanel(TComponent& Owner, TWinControl& Parent, int Left, int Top,
                                          int Width, std::function<void()> Click) {
    TActiveCatalogPanel Result;
    Result.Panel = catalog::NewPanel(Owner, Parent, "Panel6", Left, Top, Width, 34, bvLowered);
    Result.Caption = catalog::NewLabel(Owner, *Result.Panel, "ActiveCatalogCaption", 6, 2, Width - 12,
                                       "Active Catalog (Click To Change)");
    Result.Name = catalog::NewLabel(Owner, *Result.Panel, "ActiveCatalogName", 6, 17, Width - 12, "");
    Result.Name->Font().Style = fsBold;
    for (TControl* C : std::initializer_list<TControl*>{Result.Panel, Result.Caption, Result.Name})
        C->OnClick = [Click](TObject*) { Click(); };
    return Result;
}

TToolBusyCursor::TToolBusyCursor() : FSaved(Screen->Cursor()) {
    Screen->SetCursor(crHourGlass);
}

TToolBusyCursor::~TToolBusyCursor() {
    Screen->SetCursor(FSaved);
}

}  // namespace tools
