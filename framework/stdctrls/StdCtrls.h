#pragma once
// Standard controls: labels, group boxes, push buttons, check boxes and radio buttons, single- and
// multi-line edits, list boxes and combo boxes (owner-drawn ones included). They are drawn by the
// framework on their canvas and answer the platform's control messages (EM_, BM_, LB_, CB_) and
// notifications (WM_COMMAND reflected as CN_COMMAND, WM_DRAWITEM/WM_MEASUREITEM as CN_ ones).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/core/Strings.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace framework {

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TCustomLabel : public TGraphicControl {
public:
    explicit TCustomLabel(TComponent* AOwner);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout Value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool Value);
    // The control an accelerator of the caption focuses.
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* Value);
    void Dispatch(TMessage& Message) override;
    // Lines of the caption as painted in the current width (one line without WordWrap).
    std::vector<std::string> WrappedLines();

protected:
    void Paint() override;
    void AdjustBounds();
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    bool FWordWrap = false;
    bool FTransparent = false;
    TTextLayout FLayout = tlTop;
    bool FShowAccelChar = true;
    TWinControl* FFocusControl = nullptr;
};
class TLabel : public TCustomLabel {
public:
    using TCustomLabel::TCustomLabel;
};

// The caption drawn with "&" marks handled: "&&" is "&", the marked character underlined.
void DrawCaption(TCanvas& Canvas, const TRect& R, const std::string& Caption, TAlignment Alignment,
                 bool ShowAccel);

class TCustomGroupBox : public TCustomControl {
public:
    explicit TCustomGroupBox(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    // Aligned children sit inside the frame, below the caption line.
    void AlignControls(TControl* AControl, TRect& Rect) override;
};
class TGroupBox : public TCustomGroupBox {
public:
    using TCustomGroupBox::TCustomGroupBox;
};

// ---- Buttons ----

class TButtonControl : public TCustomControl {
public:
    explicit TButtonControl(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;

protected:
    bool FDown = false;  // pressed by the mouse or the space bar, not yet released
};

class TButton : public TButtonControl {
public:
    explicit TButton(TComponent* AOwner);
    // Enter anywhere on the form presses it, unless another button has the focus.
    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    // Escape anywhere on the form presses it.
    bool Cancel = false;
    // Given to the form when the button is pressed (a modal form then closes).
    TModalResult ModalResult = mrNone;
    void Click() override;
    void Dispatch(TMessage& Message) override;
    // True while Enter would press this button.
    bool Active() const { return FActive; }

protected:
    void Paint() override;
    // The face inside the frame (R moved by Shift while pressed): the caption, centred.
    virtual void PaintFace(TCanvas& Canvas, const TRect& R);

private:
    bool FDefault = false;
    bool FActive = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
public:
    explicit TCustomCheckBox(TComponent* AOwner);
    bool Checked() const { return FState == cbChecked; }
    void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return FState; }
    // A change of state fires OnClick, whether the user or the program made it.
    void SetState(TCheckBoxState Value);
    bool AllowGrayed = false;
    TAlignment Alignment = taRightJustify;  // side of the box the caption is on
    void Dispatch(TMessage& Message) override;
    // A click (mouse, space bar, accelerator) moves to the next state.
    void Click() override { Toggle(); }

protected:
    void Paint() override;
    virtual void Toggle();

private:
    TCheckBoxState FState = cbUnchecked;
};
class TCheckBox : public TCustomCheckBox {
public:
    using TCustomCheckBox::TCustomCheckBox;
};

class TRadioButton : public TButtonControl {
public:
    explicit TRadioButton(TComponent* AOwner);
    bool Checked() const { return FChecked; }
    // Checking one unchecks the other radio buttons of the same parent; fires OnClick when checked.
    void SetChecked(bool Value);
    TAlignment Alignment = taRightJustify;
    void Dispatch(TMessage& Message) override;
    void Click() override { SetChecked(true); }

protected:
    void Paint() override;

private:
    bool FChecked = false;
};

// ---- Edits ----

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
using TBorderStyle = TFormBorderStyle;  // bsNone or bsSingle for controls
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomEdit : public TCustomControl {
public:
    explicit TCustomEdit(TComponent* AOwner);
    ~TCustomEdit() override;

    void SetText(const std::string& Value) override;
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value);
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    char PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char Value);
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }
    bool AutoSelect = true;
    bool HideSelection = true;
    TBorderStyle BorderStyle = bsSingle;

    int SelStart() const { return std::min(FAnchor, FCaret); }
    void SetSelStart(int Value);
    int SelLength() const { return std::abs(FCaret - FAnchor); }
    void SetSelLength(int Value);
    std::string SelText() const;
    void SetSelText(const std::string& Value);
    void SelectAll();
    void ClearSelection() { SetSelText(""); }
    void Clear() { SetText(""); }
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    bool CanUndo() const { return FCanUndo; }
    void Undo();

    TNotifyEvent OnChange;
    void Dispatch(TMessage& Message) override;

protected:
    virtual void Change();
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void DoEnter() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    virtual bool MultiLine() const { return false; }
    // Puts text over the selection as typing does (case, length limit, undo); false when refused.
    bool InsertText(const std::string& S, bool User);
    void SetSelection(int Anchor, int Caret);
    void ReplaceText(const std::string& Value, bool User);
    // Line starts of the text (CR LF separates lines); one entry for an empty text.
    std::vector<int> LineStarts() const;
    // A row as displayed: the text [From, To) (a line break is never part of it). One row for a
    // single-line edit; a line per row in a multi-line one, or more where the text wraps.
    struct TTextRow {
        int From;
        int To;
    };
    virtual std::vector<TTextRow> TextRows();
    static int RowOf(const std::vector<TTextRow>& Rows, int Pos);
    int RowHeight();
    // Rows that fit the client area (at least one).
    int VisibleRows();
    // Moves the view so that the caret shows (multi-line edits).
    void ScrollCaretIntoView();
    int LineOf(int Pos) const;
    std::string ApplyCase(const std::string& S) const;

    int FMaxLength = 0;
    TEditCharCase FCharCase = ecNormal;
    bool FReadOnly = false;
    char FPasswordChar = 0;
    bool FModified = false;
    int FAnchor = 0, FCaret = 0;
    bool FCanUndo = false;
    std::string FUndoText;
    int FUndoCaret = 0;
    int FScrollX = 0;  // first column shown (single line)
    int FTopLine = 0;  // first line shown (multi-line)
};
class TEdit : public TCustomEdit {
public:
    using TCustomEdit::TCustomEdit;
};

class TCustomMemo : public TCustomEdit {
public:
    explicit TCustomMemo(TComponent* AOwner);
    ~TCustomMemo() override;
    // The text as lines; changes go straight to the control.
    TStrings& Lines() { return *FLines; }
    bool WantReturns = true;
    bool WantTabs = false;
    // Long lines wrap at the right edge (at a space where there is one). A horizontal scroll bar
    // turns wrapping off, as the text then scrolls sideways instead.
    bool WordWrap = true;
    // Scroll bars shown; they move the view with the SB_ codes of WM_VSCROLL and WM_HSCROLL.
    TScrollStyle ScrollBars = ssNone;
    void Dispatch(TMessage& Message) override;
    // First row shown and the sideways offset in pixels.
    int TopRow() const { return FTopLine; }
    int ScrollLeft() const { return FScrollX; }
    // The rows as shown now (the text of each, line breaks left out).
    std::vector<std::string> DisplayRows();

protected:
    bool MultiLine() const override { return true; }
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    std::vector<TTextRow> TextRows() override;
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
    bool Wraps() const { return WordWrap && ScrollBars != ssHorizontal && ScrollBars != ssBoth; }
    // The scroll bars as the view needs them: Apply false only checks and posts the change (a
    // bar may not change the client area while the memo paints).
    void UpdateScrollBars(bool Apply);
    void ScrollTo(int TopRow, int Left);
    bool FBarsPosted = false;

private:
    std::unique_ptr<TStrings> FLines;
};
class TMemo : public TCustomMemo {
public:
    using TCustomMemo::TCustomMemo;
};

// ---- Lists ----

enum TOwnerDrawStateFlag : uint16_t {
    odSelected = ODS_SELECTED,
    odGrayed = ODS_GRAYED,
    odDisabled = ODS_DISABLED,
    odChecked = ODS_CHECKED,
    odFocused = ODS_FOCUS,
    odDefault = ODS_DEFAULT,
    odComboBoxEdit = ODS_COMBOBOXEDIT,
};
using TOwnerDrawState = uint16_t;
using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

// The items of a list or combo box: text, a pointer-sized value and, for variable owner-drawn
// lists, the measured height of each.
// The scroll position a WM_HSCROLL/WM_VSCROLL code asks for, starting from Pos with the given line
// and page steps (SB_BOTTOM asks for a position past any end; the caller clamps); nothing for a code
// that does not move (SB_ENDSCROLL).
std::optional<int> ScrollCodePosition(const TMessage& M, int Pos, int Line, int Page);

struct TListItems {
    struct Item {
        std::string Text;
        uintptr_t Data = 0;
        int Height = 0;
    };
    std::vector<Item> Items;
    bool Sorted = false;
    int Count() const { return static_cast<int>(Items.size()); }
    bool Valid(intptr_t i) const { return i >= 0 && i < Count(); }
    // The sorted place of a new string (after its equals, ignoring case).
    int SortedIndex(const std::string& S) const;
    // Searching starts after Start (-1: from the top) and wraps round; no regard to case.
    int Find(const std::string& S, intptr_t Start, bool Exact) const;
};

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

class TCustomListBox : public TCustomControl {
public:
    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;

    // The items; every change goes through the LB_ messages.
    TStrings& Items() { return *FItemsView; }
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int Value);
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle Value);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int Value);
    bool Sorted() const { return FList.Sorted; }
    void SetSorted(bool Value);
    bool MultiSelect = false;
    TBorderStyle BorderStyle = bsSingle;
    bool Selected(int Index) const;
    void SetSelected(int Index, bool Value);
    int SelCount() const;
    int TopIndex() const { return FTopIndex; }
    void SetTopIndex(int Value);
    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int Value);
    int ItemAtPos(TPoint Pos, bool Existing) const;
    TRect ItemRect(int Index) const;
    void Clear();

    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
    virtual void MeasureItem(int Index, int& Height);
    // Sends WM_MEASUREITEM for an item (variable owner-draw), storing its height.
    void Measure(int Index);
    int HeightOf(int Index) const;
    void Notify(UINT Code);
    void MakeVisible(int Index);
    void DrawTabbed(const TRect& R, const std::string& S, int X);

    TListItems FList;
    std::vector<bool> FSelected;
    int FItemIndex = -1;
    int FTopIndex = 0;
    int FItemHeight = 13;
    int FTabWidth = 0;
    std::vector<int> FTabStops;  // dialog units
    int FHorizontalExtent = 0;
    TListBoxStyle FStyle = lbStandard;
    std::unique_ptr<TStrings> FItemsView;
};
class TListBox : public TCustomListBox {
public:
    using TCustomListBox::TCustomListBox;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox : public TCustomEdit {
public:
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;

    TStrings& Items() { return *FItemsView; }
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int Value);
    // A list without an edit field shows only its items: the text selects the item it names.
    void SetText(const std::string& Value) override;
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle Value);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int Value);
    bool Sorted() const { return FList.Sorted; }
    void SetSorted(bool Value);
    int DropDownCount = 8;
    bool DroppedDown() const { return FDropped; }
    void SetDroppedDown(bool Value);
    void Clear();

    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    void Dispatch(TMessage& Message) override;
    // Where the dropped-down list shows its items (client coordinates of the combo box).
    TRect DropDownItemRect(int Index) const;
    // The window of the dropped-down list (nil while closed), its first row shown and the row
    // under the pointer (-1: none; the selected item is highlighted then).
    TCustomControl* ListWindow() const { return FListWindow.get(); }
    int ListTopIndex() const { return FListTop; }
    int ListHotIndex() const { return FListHot; }
    // Rows the list shows at once: DropDownCount, or fewer items.
    int ListRows() const;

protected:
    void Paint() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Change() override;
    virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
    bool OwnerDraw() const { return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable; }
    bool EditableText() const { return FStyle == csDropDown || FStyle == csSimple; }
    void Notify(UINT Code);
    void Select(int Index, bool User);
    void Measure(int Index);
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;

    friend class TComboListWindow;
    // Draws an item through WM_DRAWITEM (owner-drawn styles) or CN_DRAWITEM on a device context.
    void DrawItemOn(HDC Dc, int Index, const TRect& Rect, UINT State);
    void ShowList();
    void HideList();
    // Scrolls the list so that Index is among its rows.
    void ListMakeVisible(int Index);
    void SetListTop(int Value);
    // A click on a row of the list: the item is chosen and the list closes.
    void ListChoose(int Index);
    std::unique_ptr<TCustomControl> FListWindow;
    int FListTop = 0;
    int FListHot = -1;

    TListItems FList;
    int FItemIndex = -1;
    int FItemHeight = 13;
    TComboBoxStyle FStyle = csDropDown;
    bool FDropped = false;
    bool FExtendedUI = false;
    std::unique_ptr<TStrings> FItemsView;
};
class TComboBox : public TCustomComboBox {
public:
    using TCustomComboBox::TCustomComboBox;
};

}  // namespace framework
