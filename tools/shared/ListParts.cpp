#include "tools/shared/ListParts.h"

#include <initializer_list>

#include "catalog/FormParts.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Graphics.h"

namespace tools {

using namespace framework;

TListCounters NewListCounters(TComponent& Owner, TPanel& Row) {
    static constexpr const char* kPanelNames[] = {"FilesInListPanel", "BytesInListPanel", "TaggedFilesPanel",
                                                  "TaggedBytesPanel"};
    static constexpr const char* kValueNames[] = {"FilesInListLabel", "BytesInListLabel", "TaggedFilesLabel",
                                                  "TaggedBytesLabel"};
    static constexpr const char* kCaptions[] = {"Files In List", "Bytes In List", "Tagged Files",
                                                "Tagged Bytes"};
    TListCounters Counters;
    for (size_t I = 0; I < 4; ++I) {
        TPanel* P = catalog::NewPanel(Owner, Row, kPanelNames[I], 0, 2, 190, 36, bvLowered);
        catalog::NewLabel(Owner, *P, "", 4, 2, 180, kCaptions[I]);
        TLabel* Value = catalog::NewLabel(Owner, *P, kValueNames[I], 4, 18, 180, "0");
        Value->SetAlignment(taRightJustify);
        Counters.Panels[I] = P;
        Counters.Values[I] = Value;
    }
    return Counters;
}

void LayoutListCounters(const TListCounters& Counters, int RowWidth) {
    const int Quarter = RowWidth / 4 - 4;
    for (int I = 0; I < 4; ++I) Counters.Panels[size_t(I)]->SetBounds(2 + I * (Quarter + 4), 2, Quarter, 36);
}

void ShowListCounterValues(const TListCounters& Counters, int64_t FilesInList, int64_t BytesInList,
                           int64_t TaggedFiles, int64_t TaggedBytes) {
    const int64_t Numbers[] = {FilesInList, BytesInList, TaggedFiles, TaggedBytes};
    for (size_t I = 0; I < 4; ++I)
        Counters.Values[I]->SetCaption(FormatFloat("###,###,###,###,##0", static_cast<double>(Numbers[I])));
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

}  // namespace tools
