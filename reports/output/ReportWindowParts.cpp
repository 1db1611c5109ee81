#include "reports/output/ReportWindowParts.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "catalog/FormParts.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "platform/Process.h"
#include "sysutil/UtSpawn.h"

namespace reports {

using namespace framework;

namespace {

void SetFirstReportFont(TFont& Font) {
    Font.Name = "Arial";
    Font.SetSize(8);
    Font.Style = 0;
}

}  // namespace

TPanel* NewReportPanel(TComponent& Owner, TWinControl& Parent, const std::string& Name, TRect Bounds,
                       TAlign Align) {
    auto* panel = NewComponent<TPanel>(&Owner);
    if (!Name.empty()) panel->SetName(Name);
    panel->SetParent(&Parent);
    panel->SetBevelOuter(bvNone);
    panel->SetCaption("");
    panel->SetBounds(Bounds.Left, Bounds.Top, Bounds.Right - Bounds.Left, Bounds.Bottom - Bounds.Top);
    panel->SetAlign(Align);
    return panel;
}

TLabel* NewReportLabel(TComponent& Owner, TWinControl& Parent, const std::string& Name, TRect Bounds,
                       const std::string& Caption, TAlignment Alignment, bool Bold) {
    auto* l = NewComponent<TLabel>(&Owner);
    if (!Name.empty()) l->SetName(Name);
    l->SetParent(&Parent);
    l->SetAutoSize(false);
    l->SetAlignment(Alignment);
    l->SetBounds(Bounds.Left, Bounds.Top, Bounds.Right - Bounds.Left, Bounds.Bottom - Bounds.Top);
    if (Bold) {
        TFont bold = l->Font();
        bold.Style = fsBold;
        l->SetFont(bold);
    }
    l->SetCaption(Caption);
    return l;
}

TDBGrid* NewReportGrid(TComponent& Owner, TWinControl& Parent, const char* Name, TDataSource* Source) {
    auto* grid = NewComponent<TDBGrid>(&Owner);
    grid->SetName(Name);
    grid->SetParent(&Parent);
    grid->SetAlign(alClient);
    grid->SetOptions(dgTitles | dgColumnResize | dgColLines | dgRowLines | dgRowSelect |
                     dgAlwaysShowSelection);
    grid->SetReadOnly(true);
    grid->SetParentFont(false);
    TFont f = grid->Font();
    SetFirstReportFont(f);
    grid->SetFont(f);
    grid->SetTitleFont(f);
    grid->SetDataSource(Source);
    return grid;
}

TDBMemo* NewReportMemo(TComponent& Owner, TWinControl& Parent, const char* Name, TDataSource* Source) {
    auto* memo = NewComponent<TDBMemo>(&Owner);
    memo->SetName(Name);
    memo->SetParent(&Parent);
    memo->SetAlign(alClient);
    memo->ScrollBars = ssVertical;
    memo->SetReadOnly(true);
    memo->SetParentFont(false);
    TFont f = memo->Font();
    SetFirstReportFont(f);
    memo->SetFont(f);
    memo->SetDataSource(Source);
    memo->SetDataField("Comment");
    return memo;
}

TReportTotalsRow NewReportTotalsRow(TComponent& Owner, TWinControl& Parent,
                                    std::span<const char* const> Headings,
                                    std::span<const char* const> ValueNames, int GroupWidth) {
    TReportTotalsRow row;
    row.Panel = NewReportPanel(Owner, Parent, "TotalPanel", {0, 0, 600, 36}, alBottom);
    row.PadLeft = NewReportPanel(Owner, *row.Panel, "TotalPadLeft1Panel", {0, 0, 1, 36}, alLeft);
    int x = 1;
    auto line = [&](const std::string& Name) {
        auto* b = NewComponent<TBevel>(&Owner);
        b->SetName(Name);
        b->SetParent(row.Panel);
        b->SetShape(bsLeftLine);
        b->SetBounds(x, 0, 2, 36);
        b->SetAlign(alLeft);
        x += 2;
        return b;
    };
    row.FirstLine = line("Bevel0");
    const size_t count = Headings.size();
    for (size_t i = 0; i < count; ++i) {
        TPanel* group = NewReportPanel(Owner, *row.Panel, "TotalGroup" + std::to_string(i + 1),
                                       {x, 0, x + GroupWidth, 36}, alLeft);
        x += GroupWidth;
        row.Headings.push_back(
            NewReportLabel(Owner, *group, "", {0, 2, GroupWidth, 17}, Headings[i], taCenter, false));
        row.Values.push_back(
            NewReportLabel(Owner, *group, ValueNames[i], {0, 18, GroupWidth, 33}, "0", taCenter, true));
        if (i + 1 < count) line("Bevel" + std::to_string(i + 1));
    }
    row.LastLine = line("Bevel6");
    return row;
}

TReportCommentPanel NewReportCommentPanel(TComponent& Owner, TWinControl& Parent, const char* Name,
                                          int Height) {
    TReportCommentPanel c;
    c.Panel = NewReportPanel(Owner, Parent, Name, {0, 0, 600, Height}, alBottom);
    c.Panel->SetVisible(false);
    c.PadLeft = NewReportPanel(Owner, *c.Panel, std::string(Name) + "PadLeft", {0, 0, 1, Height}, alLeft);
    c.Totals = NewReportPanel(Owner, *c.Panel, "TCTotPanel", {1, 0, 263, Height}, alLeft);
    c.PadRight =
        NewReportPanel(Owner, *c.Panel, std::string(Name) + "PadRight", {599, 0, 600, Height}, alRight);
    return c;
}

void AddStackedTotals(TComponent& Owner, TWinControl& Panel, int Top, int HeadingWidth, int ValueLeft,
                      int ValueWidth, std::span<const char* const> Headings,
                      std::span<const char* const> ValueNames, std::span<TLabel*> HeadingsOut,
                      std::span<TLabel*> ValuesOut) {
    for (size_t i = 0; i < Headings.size(); ++i) {
        const int y = Top + 17 * int(i);
        HeadingsOut[i] = NewReportLabel(Owner, Panel, "", {4, y, 4 + HeadingWidth, y + 15}, Headings[i],
                                        taLeftJustify, false);
        ValuesOut[i] =
            NewReportLabel(Owner, Panel, ValueNames[i], {ValueLeft, y, ValueLeft + ValueWidth, y + 15}, "0",
                           taRightJustify, true);
    }
}

void ShowReportPanels(bool Expand, bool Totals, TControl& TotalsRow, TControl& CommentPanel,
                      std::span<TControl* const> ExpandedTotals) {
    if (Expand) {
        TotalsRow.SetVisible(false);
        CommentPanel.SetVisible(true);
        for (TControl* c : ExpandedTotals) c->SetVisible(Totals);
    } else {
        CommentPanel.SetVisible(false);
        TotalsRow.SetVisible(Totals);
    }
}

void CentreReportPanels(int Width, std::span<TPanel* const> CommentPads, const TReportTotalsRow& Row) {
    const int padComment = std::max((Width - 597) / 3, 0);
    const int padTotals = std::max((Width - 598) / 2, 0);
    for (TPanel* pad : CommentPads) pad->SetWidth(padComment);
    Row.PadLeft->SetWidth(padTotals);
    const bool lines = Row.PadLeft->Width() > 2;
    Row.FirstLine->SetVisible(lines);
    Row.LastLine->SetVisible(lines);
}

bool AskReportFont(const TFont& Current, TFont& Chosen) {
    auto dialog = std::make_unique<TFontDialog>(nullptr);
    dialog->Font().Assign(Current);
    if (!dialog->Execute()) return false;
    Chosen.Assign(dialog->Font());
    return true;
}

int ReportTextWidth(const TFont& Font, const std::string& Text) {
    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas().Font.Assign(Font);
    return measure.Canvas().TextWidth(Text);
}

int64_t ReportFieldInt64(TField& Field) {
    if (Field.IsNull()) return 0;
    try {
        return StrToInt64(Trim(Field.AsString()));
    } catch (const std::exception&) {
        return static_cast<int64_t>(Field.AsFloat());
    }
}

sysutil::TUtSpawnApplication* NewReportSpawn(TComponent& Owner) {
    auto* spawn = NewComponent<sysutil::TUtSpawnApplication>(&Owner);
    spawn->SetName("Spawn");
    spawn->SetNotifyWhenDone(false);
    spawn->SetSpawnCommand(sysutil::scOpen);
    spawn->OnSpawnError = [](TObject*, uint16_t) {
        catalog::ErrorBox("An Error Occurred While Attempting To Open The Selected File");
    };
    spawn->OnTimeOut = [](TObject*) {
        catalog::ErrorBox("An Timeout Error Occurred While Attempting To Open The Selected File");
    };
    return spawn;
}

void OpenReportFile(sysutil::TUtSpawnApplication& Spawn, const std::string& Path) {
    Spawn.SetFileName(Path);
    const platform::HPROCESS started = Spawn.Execute();
    if (started) platform::CloseProcessHandle(started);
}

}  // namespace reports
