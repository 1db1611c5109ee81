#pragma once
// The base of the grid's cell components: the link to one grid and the count of the places of that
// grid (columns, the locked rows, single cells) that use the cell; the cell's look (colour and font
// that follow the grid unless set, margin, placement, access, text style); attribute resolution and
// painting. Cell values pass through TCtlCellValue, a typed record instead of a raw buffer.

#include <functional>
#include <string>

#include "controls/entry/CtlEntryValue.h"
#include "controls/grid/CtlTableBase.h"
#include "framework/data/Fields.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Graphics.h"

namespace grid {

// The value of one cell as the owner hands it over and receives it back. A cell reads and writes
// only the kind it serves; a value of another kind is refused.
struct TCtlCellValue {
    enum TKind : uint8_t { cvNone, cvString, cvGlyph, cvCheck, cvEntry };
    TKind Kind = cvNone;
    std::string Text;             // cvString
    int Capacity = 255;           // cvString: the most characters the owner keeps (at most 255)
    int32_t Index = 0;            // cvGlyph
    uint8_t Check = 0;            // cvCheck: 0 unchecked, 1 checked, 2 grayed
    entry::TCtlEntryValue Entry;  // cvEntry: an entry field's typed value (type code and bytes)

    static TCtlCellValue String(std::string S, int Capacity = 255) {
        TCtlCellValue V;
        V.Kind = cvString;
        V.Text = std::move(S);
        V.Capacity = Capacity;
        return V;
    }
    static TCtlCellValue Glyph(int32_t I) {
        TCtlCellValue V;
        V.Kind = cvGlyph;
        V.Index = I;
        return V;
    }
    static TCtlCellValue EntryValue(entry::TCtlEntryValue E) {
        TCtlCellValue V;
        V.Kind = cvEntry;
        V.Entry = std::move(E);
        return V;
    }
    static TCtlCellValue CheckState(uint8_t C) {
        TCtlCellValue V;
        V.Kind = cvCheck;
        V.Check = C;
        return V;
    }
};

class TCtlBaseTableCell;
using TCellPaintNotifyEvent =
    std::function<void(framework::TObject* Sender, framework::TCanvas& TableCanvas,
                       const framework::TRect& CellRect, int32_t RowNum, int32_t ColNum,
                       const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data, bool& DoneIt)>;

class TCtlBaseTableCell : public TCtlTableCellAncestor {
public:
    explicit TCtlBaseTableCell(framework::TComponent* AOwner);
    ~TCtlBaseTableCell() override;

    std::string About() const { return entry::CtlVersion; }
    void SetAbout(const std::string&) {}

    TCtlTableAncestor* Table() const { return FTable; }
    // A different grid: the old one (when its window exists) is told that the cell leaves; the
    // cell loses its change notice and its users.
    void SetTable(TCtlTableAncestor* Value);
    int Users() const { return FUsers; }
    // The first user registers the cell with its grid.
    void AddUser();
    // The last user leaving unregisters the cell and forgets the grid.
    void ReleaseUser();

    // ---- Look ----
    framework::TColor Color();
    void SetColor(framework::TColor Value);
    framework::TFont& Font();
    void SetFont(const framework::TFont& Value);
    bool TableColor() const { return FTableColor; }
    void SetTableColor(bool Value);
    bool TableFont() const { return FTableFont; }
    void SetTableFont(bool Value);
    int Margin() const { return FMargin; }
    void SetMargin(int Value);
    TCtlTblAccess Access() const { return FAccess; }
    void SetAccess(TCtlTblAccess Value);
    TCtlTblAdjust Adjust() const { return FAdjust; }
    void SetAdjust(TCtlTblAdjust Value);
    framework::TColor TextHiColor() const { return FTextHiColor; }
    void SetTextHiColor(framework::TColor Value);
    TCtlTextStyle TextStyle() const { return FTextStyle; }
    void SetTextStyle(TCtlTextStyle Value);
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value) { FHint = Value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value) { FShowHint = Value; }
    bool AcceptActivationClick() const { return FAcceptActivationClick; }
    void SetAcceptActivationClick(bool Value) { FAcceptActivationClick = Value; }

    TCellPaintNotifyEvent OnOwnerDraw;
    framework::TNotifyEvent OnClick, OnDblClick, OnEnter, OnExit;
    framework::TKeyEvent OnKeyDown, OnKeyUp;
    framework::TKeyPressEvent OnKeyPress;
    framework::TMouseEvent OnMouseDown, OnMouseUp;
    framework::TMouseMoveEvent OnMouseMove;
    // Hands the cell's mouse, key and focus events to an editor window.
    void CopyEventsTo(framework::TWinControl& Editor) const;
    // Puts a new editor window over CellRect in the grid: bounds, hint, the cell's events, no tab
    // stop; the cell hears when the grid (its owner) frees it.
    void PlaceEditor(framework::TWinControl& Editor, const framework::TRect& CellRect);
    // After an editor window's WM_SETFOCUS or WM_KILLFOCUS: tells the grid.
    void ReportEditorFocus(const framework::TMessage& M) const;
    // Posts to the grid's window when it exists; ForwardKey posts a key press to it.
    void PostToTable(uint32_t Msg, uintptr_t WParam, intptr_t LParam) const;
    void ForwardKey(uint16_t CharCode, intptr_t KeyData) const;

    // ---- Work for the grid ----
    void TableChanged() override;
    void ChangeScale(int M, int D) override;
    virtual void ResolveAttributes(int32_t RowNum, int32_t ColNum, TCtlCellAttributes& CellAttr);
    // The owner-draw event first; the cell's own painting unless the event did it.
    void PaintCell(framework::TCanvas& TableCanvas, const framework::TRect& CellRect, int32_t RowNum,
                   int32_t ColNum, const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data);
    virtual TCtlTblKeyClaim FilterTableKey(framework::TWMKey& Msg);
    virtual bool CanStopEditing(bool SaveValue) {
        (void)SaveValue;
        return true;
    }

    // ---- Editing (the base edits nothing) ----
    virtual void StartEditing(int32_t RowNum, int32_t ColNum, const framework::TRect& CellRect,
                              const TCtlCellAttributes& CellAttr, TCtlTblEditorStyle CellStyle,
                              const TCtlCellValue* Data) {
        (void)RowNum, (void)ColNum, (void)CellRect, (void)CellAttr, (void)CellStyle, (void)Data;
    }
    // Saves (when asked and Data is given) and closes the editor.
    virtual void StopEditing(bool SaveValue, TCtlCellValue* Data) { (void)SaveValue, (void)Data; }
    // The open editor's value into Data; false when nothing was written.
    virtual bool SaveEditedData(TCtlCellValue* Data) {
        (void)Data;
        return false;
    }
    virtual framework::TWinControl* EditControl() const { return nullptr; }
    virtual framework::HWND EditHandle() const { return 0; }
    virtual void EditHide() {}
    virtual void EditMove(const framework::TRect& CellRect) { (void)CellRect; }
    // Whether the open editor changed its value (a cell that cannot tell says yes).
    virtual bool EditorModified() const { return true; }

    // ---- Fields a cell moves itself (none of the cells here does) ----
    virtual bool HandlesField(framework::TField* Field) {
        (void)Field;
        return false;
    }
    virtual int FieldDataSize() { return 0; }
    // Direction 1: the field's value into Data; 2: Data into the field.
    virtual void TransferFieldData(framework::TField* Field, TCtlCellValue& Data, int Direction) {
        (void)Field, (void)Data, (void)Direction;
    }

    // ---- Questions to the grid (0 without its window) ----
    int32_t TableActiveCol() const;
    int32_t TableLockedCols() const;
    bool TableTabToArrow() const;
    bool TableEnterToArrow() const;

protected:
    virtual void Paint(framework::TCanvas& TableCanvas, const framework::TRect& CellRect, int32_t RowNum,
                       int32_t ColNum, const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data);
    virtual bool DoOwnerDraw(framework::TCanvas& TableCanvas, const framework::TRect& CellRect,
                             int32_t RowNum, int32_t ColNum, const TCtlCellAttributes& CellAttr,
                             const TCtlCellValue* Data);
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    bool Designing() const { return ComponentState() & framework::csDesigning; }
    intptr_t QueryTable(uint32_t Msg) const;

private:
    void FetchColor();
    void FetchFont();

    framework::TColor FColor = framework::clBtnFace;
    framework::TFont FFont;
    std::string FHint;
    int FMargin = 4;
    int FUsers = 0;
    TCtlTableAncestor* FTable = nullptr;
    framework::TColor FTextHiColor = framework::clBtnHighlight;
    bool FAcceptActivationClick = false;
    TCtlTblAccess FAccess = otxDefault;
    TCtlTblAdjust FAdjust = otaDefault;
    bool FShowHint = false;
    bool FTableColor = true;
    bool FTableFont = true;
    TCtlTextStyle FTextStyle = tsFlat;
    bool FColorPending = true;
    bool FFontPending = true;
    bool FCopyingFont = false;
};

}  // namespace grid
