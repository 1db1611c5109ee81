#pragma once
// The parts the report windows share: plain panels and labels, the grid and the comment memo in
// the windows' first font, the totals row along the bottom and the totals column beside the
// expanded comment, the rule that shows one or the other, the font dialog and text measuring, the
// full view of a row and opening a listed file.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/ui/Forms.h"

namespace framework {
class TBevel;
class TDataSource;
class TDBGrid;
class TDBMemo;
class TField;
class TFont;
class TLabel;
class TPanel;
}  // namespace framework
namespace sysutil {
class TUtSpawnApplication;
}

namespace reports {

// A panel without caption or bevel on Parent at Bounds, aligned; unnamed when Name is empty.
framework::TPanel* NewReportPanel(framework::TComponent& Owner, framework::TWinControl& Parent,
                                  const std::string& Name, framework::TRect Bounds, framework::TAlign Align);
// A label of fixed size at Bounds, aligned within it, bold when asked; unnamed when Name is empty.
framework::TLabel* NewReportLabel(framework::TComponent& Owner, framework::TWinControl& Parent,
                                  const std::string& Name, framework::TRect Bounds,
                                  const std::string& Caption, framework::TAlignment Alignment, bool Bold);
// The read-only grid of whole rows over the rest of Parent, in the windows' first font (Arial 8).
framework::TDBGrid* NewReportGrid(framework::TComponent& Owner, framework::TWinControl& Parent,
                                  const char* Name, framework::TDataSource* Source);
// The read-only memo of the whole comment filling Parent, in the same font.
framework::TDBMemo* NewReportMemo(framework::TComponent& Owner, framework::TWinControl& Parent,
                                  const char* Name, framework::TDataSource* Source);

// The totals in one row: a panel 36 high along the bottom of Parent, a padding panel at its left
// and a box GroupWidth wide for each total (its heading over its bold value, "0" at first), with
// lines between the boxes and at both ends.
struct TReportTotalsRow {
    framework::TPanel* Panel = nullptr;
    framework::TPanel* PadLeft = nullptr;
    framework::TBevel* FirstLine = nullptr;
    framework::TBevel* LastLine = nullptr;
    std::vector<framework::TLabel*> Headings, Values;
};
TReportTotalsRow NewReportTotalsRow(framework::TComponent& Owner, framework::TWinControl& Parent,
                                    std::span<const char* const> Headings,
                                    std::span<const char* const> ValueNames, int GroupWidth);

// The expanded comment's panel, Height high along the bottom of Parent: padding at both sides and
// the totals' panel (262 wide) at the left; the memo fills the rest.
struct TReportCommentPanel {
    framework::TPanel* Panel = nullptr;
    framework::TPanel* PadLeft = nullptr;
    framework::TPanel* Totals = nullptr;
    framework::TPanel* PadRight = nullptr;
};
TReportCommentPanel NewReportCommentPanel(framework::TComponent& Owner, framework::TWinControl& Parent,
                                          const char* Name, int Height);
// The totals stacked on Panel from Top, 17 apart: each heading at the left, HeadingWidth wide, and
// its bold value ("0" at first) from ValueLeft, ValueWidth wide, right-aligned.
void AddStackedTotals(framework::TComponent& Owner, framework::TWinControl& Panel, int Top, int HeadingWidth,
                      int ValueLeft, int ValueWidth, std::span<const char* const> Headings,
                      std::span<const char* const> ValueNames, std::span<framework::TLabel*> HeadingsOut,
                      std::span<framework::TLabel*> ValuesOut);

// Shows the expanded comment (with ExpandedTotals shown only with Totals) or else the totals row
// (only with Totals).
void ShowReportPanels(bool Expand, bool Totals, framework::TControl& TotalsRow,
                      framework::TControl& CommentPanel,
                      std::span<framework::TControl* const> ExpandedTotals);
// Keeps the comment's and the totals' contents centred in a window Width wide; the totals row's
// end lines show only when there is room beside them.
void CentreReportPanels(int Width, std::span<framework::TPanel* const> CommentPads,
                        const TReportTotalsRow& Row);

// The font dialog from Current; true with the chosen font in Chosen.
bool AskReportFont(const framework::TFont& Current, framework::TFont& Chosen);
// Text's width in pixels in Font.
int ReportTextWidth(const framework::TFont& Font, const std::string& Text);
// A field holding a whole number as a signed 64-bit number (0 for an empty or unreadable value).
int64_t ReportFieldInt64(framework::TField& Field);

// Brings the full view to the front, or opens one titled after the window (OwnerCaption) and bound
// to Source, which clears View and Open when it goes. Prepare (when given) sees it before it binds.
template <class TView, class TPrepare>
void ShowReportView(TView*& View, bool& Open, framework::TDataSource* Source, const std::string& OwnerCaption,
                    TPrepare&& Prepare) {
    if (Open && View) {
        View->BringToFront();
        return;
    }
    Open = true;
    View = framework::TCustomForm::Create<TView>(framework::Application);
    View->OpenFlag = &Open;
    View->OnDestroy = [&View](framework::TObject*) { View = nullptr; };
    View->SetCaption(View->Caption() + "(" + OwnerCaption + ")");
    Prepare(*View);
    View->Bind(Source);
    View->Show();
}
template <class TView>
void ShowReportView(TView*& View, bool& Open, framework::TDataSource* Source,
                    const std::string& OwnerCaption) {
    ShowReportView(View, Open, Source, OwnerCaption, [](TView&) {});
}
// Closes the full view when one is open.
template <class TView>
void CloseReportView(TView*& View, bool& Open) {
    if (View) {
        View->OpenFlag = nullptr;
        View->Free();
    }
    View = nullptr;
    Open = false;
}

// The component that opens a listed file with its associated program; its failures show their
// error boxes.
sysutil::TUtSpawnApplication* NewReportSpawn(framework::TComponent& Owner);
// Opens Path with it.
void OpenReportFile(sysutil::TUtSpawnApplication& Spawn, const std::string& Path);

}  // namespace reports
