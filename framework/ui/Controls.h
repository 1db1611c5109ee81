#pragma once
// Controls: TControl (position, size, alignment, visibility, text, font, colour, mouse events),
// TWinControl (a window handle created when first needed, child controls, tab order, focus and
// keyboard), TCustomControl (paints itself on its canvas) and TGraphicControl (windowless, painted
// by its parent). Messages reach a control through Perform -> WindowProc (WndProc by default, the
// hook for subclassing) -> Dispatch (handlers by message number) -> DefaultHandler.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Component.h"
#include "framework/core/Exception.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Messages.h"
#include "framework/ui/Types.h"
#include "framework/ui/Windows.h"

namespace framework {

class TWinControl;
class TCustomForm;

// An operation that the control's state does not allow (focusing a hidden control, making a
// visible form modal).
KORVANE_DECLARE_EXCEPTION(EInvalidOperation, Exception);

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

enum TAnchorKind : uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = uint8_t;

// Control style bits.
enum TControlStyleFlag : uint32_t {
    csAcceptsControls = 1u << 0,
    csCaptureMouse = 1u << 1,
    csDesignInteractive = 1u << 2,
    csClickEvents = 1u << 3,
    csFramed = 1u << 4,
    csSetCaption = 1u << 5,
    csOpaque = 1u << 6,
    csDoubleClicks = 1u << 7,
    csFixedWidth = 1u << 8,
    csFixedHeight = 1u << 9,
    csNoDesignVisible = 1u << 10,
    csReplicatable = 1u << 11,
    csNoStdEvents = 1u << 12,
};
using TControlStyle = uint32_t;

// Control state bits.
enum TControlStateFlag : uint32_t {
    csLButtonDown = 1u << 0,
    csClicked = 1u << 1,
    csFocusing = 1u << 5,
    csCreating = 1u << 6,
    csDestroyingHandle = 1u << 9,
};
using TControlState = uint32_t;

using TCursor = int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;

// Size limits of a control; 0 means no limit.
class TSizeConstraints : public TPersistent {
public:
    int MaxHeight = 0;
    int MaxWidth = 0;
    int MinHeight = 0;
    int MinWidth = 0;
    void SetMinWidth(int v);
    void SetMinHeight(int v);
    void SetMaxWidth(int v);
    void SetMaxHeight(int v);
    std::function<void()> OnChange;

private:
    void Changed() {
        if (OnChange) OnChange();
    }
};

// What CreateParams fills in for the window a control gets.
struct TCreateParams {
    std::string Caption;
    uint32_t Style = 0;
    uint32_t ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = 0;
    uint32_t WindowClassStyle = 0;
    std::string WinClassName;
};

// True when Caption carries "&" before the character Key (case-insensitive), "&&" being a literal.
bool IsAccel(uint16_t Key, const std::string& Caption);

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    // ---- Messages ----
    LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
    // The procedure Perform calls; WndProc unless a component has hooked the control.
    TWndMethod WindowProc;
    virtual void WndProc(TMessage& Message);
    // Handlers by message number: an override handles its numbers and passes the rest (and what it
    // wants its ancestors to handle, too) to the inherited Dispatch; the end is DefaultHandler.
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

    // ---- Geometry ----
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
    virtual TRect ClientRect() const;
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    virtual void SetClientSize(int AWidth, int AHeight);
    void SetClientWidth(int Value) { SetClientSize(Value, ClientHeight()); }
    void SetClientHeight(int Value) { SetClientSize(ClientWidth(), Value); }
    // Screen position of the client area's top-left corner.
    virtual TPoint ClientOrigin() const;
    TPoint ClientToScreen(TPoint P) const;
    TPoint ScreenToClient(TPoint P) const;
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors Value) { FAnchors = Value; }
    TSizeConstraints& Constraints() { return FConstraints; }

    // ---- State ----
    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible and every parent up to a top-level window visible.
    bool Showing() const;
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    const std::string& Caption() const { return FText; }
    void SetCaption(const std::string& Value) { SetText(Value); }
    const std::string& Text() const { return FText; }
    virtual void SetText(const std::string& Value);
    TFont& Font() { return FFont; }
    void SetFont(const TFont& Value) { FFont.Assign(Value); }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);
    std::string Hint;
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool Value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value);
    // The menu shown on a right click (WM_CONTEXTMENU); its shortcuts work while the control or
    // one of its children has the focus.
    class TPopupMenu* PopupMenu() const {
        return FPopupMenu;
    }
    void SetPopupMenu(class TPopupMenu* Value);
    TControlStyle ControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    TControlState ControlState = 0;
    bool MouseCapture() const;
    void SetMouseCapture(bool Value);

    // ---- Painting ----
    virtual void Invalidate();
    virtual void Update();
    void Repaint();
    void Refresh() { Repaint(); }
    void BringToFront();
    void SendToBack();

    // ---- Events ----
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnResize;

    virtual void Click();
    virtual void DblClick();

    // The form the control sits on (walking the Parent chain, itself included), or nil.
    TCustomForm* ParentForm() const;

protected:
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void Resize();
    virtual void RequestAlign();
    virtual bool CanResize(int& NewWidth, int& NewHeight);
    void Changed();
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // The parent's colour and font changed (CM_PARENT...): follows them when told to.
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();
    virtual void FontChanged();
    // Sets the stored bounds without notifying (the window tells us where it is).
    void UpdateBoundsRect(const TRect& R);

    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TWinControl* FParent = nullptr;
    bool FVisible = true;
    bool FEnabled = true;
    std::string FText;
    TFont FFont;
    bool FParentFont = true;
    TColor FColor = clWindow;
    bool FParentColor = false;
    bool FShowHint = false;
    bool FParentShowHint = true;
    TCursor FCursor = crDefault;
    TAlign FAlign = alNone;
    TAnchors FAnchors = akLeft | akTop;
    TSizeConstraints FConstraints;
    class TPopupMenu* FPopupMenu = nullptr;

    friend class TWinControl;

private:
    void MouseButtonMessage(TMessage& M, TMouseButton Button, int Kind);
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    void WndProc(TMessage& Message) override;
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    // ---- Window handle ----
    HWND Handle();  // created when first needed
    bool HandleAllocated() const { return FHandle != 0; }
    void HandleNeeded();
    void RecreateWnd();
    // The handle of the parent window, or of the owner form's window for a top-level one.
    HWND ParentWindow() const { return FParentWindow; }
    void SetParentWindow(HWND Value) { FParentWindow = Value; }

    // ---- Children ----
    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int Index) const { return FControls.at(static_cast<size_t>(Index)); }
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    bool ContainsControl(const TControl* Control) const;
    // The child control at a client point (windowless or windowed), or nil.
    TControl* ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls = false) const;
    // Sends the message to every child control; stops at the first that sets Result.
    void Broadcast(TMessage& Message);
    void DisableAlign() { ++FAlignLevel; }
    void EnableAlign();
    void Realign();
    void ScrollBy(int DeltaX, int DeltaY);

    // ---- Tab order and focus ----
    int TabOrder() const;
    void SetTabOrder(int Value);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool Value);
    // Every windowed descendant in tab order (children, each followed by its own descendants).
    void GetTabOrderList(std::vector<TWinControl*>& List) const;
    TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                 bool CheckParent) const;
    void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
    void SelectFirst();
    virtual bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();

    void SetText(const std::string& Value) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    TRect ClientRect() const override;
    TPoint ClientOrigin() const override;
    void Invalidate() override;
    void Update() override;

    // ---- 3-D look ----
    // Setting Ctl3D clears ParentCtl3D and sends CM_CTL3DCHANGED, which passes the change on to the
    // children (CM_PARENTCTL3DCHANGED); those with ParentCtl3D take their parent's value.
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool Value);
    bool ParentCtl3D() const { return FParentCtl3D; }
    void SetParentCtl3D(bool Value);

    // ---- Events ----
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TMouseWheelEvent OnMouseWheel;

    // Keyboard handling steps (the form's KeyPreview hooks in here); true when handled.
    virtual bool DoKeyDown(TMessage& Message);
    virtual bool DoKeyUp(TMessage& Message);
    virtual bool DoKeyPress(TMessage& Message);
    // A key that is a shortcut of a menu (the form's main menu or a popup menu): runs the item.
    virtual bool IsMenuKey(TMessage& Message);

protected:
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    void CreateHandle();
    void DestroyHandle();
    // The widget rectangle for the control's bounds (forms place their client area).
    virtual TRect WindowRectForBounds() const { return BoundsRect(); }
    virtual void AlignControls(TControl* AControl, TRect& Rect);
    // A child moved, was resized, shown or hidden (after any realignment); scrolling containers
    // re-measure their extent here.
    virtual void ChildLayoutChanged(TControl* Child) { (void)Child; }
    virtual void PaintWindow(HDC DC);
    void PaintHandler(TMessage& Message);
    void PaintControls(HDC DC, TControl* First);
    virtual void KeyDown(uint16_t& Key, TShiftState Shift);
    virtual void KeyUp(uint16_t& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    virtual void DoEnter();
    virtual void DoExit();
    virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
    void FontChanged() override;
    void MainWndProc(TMessage& Message);
    void AdjustAnchoredChildren(int OldClientWidth, int OldClientHeight);

    HWND FHandle = 0;
    HWND FParentWindow = 0;
    std::vector<TControl*> FControls;    // all child controls in z-order (first is bottom)
    std::vector<TWinControl*> FTabList;  // windowed children in tab order
    bool FTabStop = false;
    int FAlignLevel = 0;
    bool FAligning = false;
    TControl* FMouseDownControl = nullptr;
    bool FCtl3D = true;
    bool FParentCtl3D = true;

    friend class TControl;
    friend class TCustomForm;
};

// A windowed control that paints itself: WM_PAINT sets up the canvas and calls Paint.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner);
    TCanvas& Canvas() { return FCanvas; }

protected:
    virtual void Paint() {}
    void PaintWindow(HDC DC) override;

private:
    TCanvas FCanvas;
};

// A windowless control: its parent paints it (on the parent's window, at the control's place)
// and routes the mouse messages to it.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    TCanvas& Canvas() { return FCanvas; }
    void Dispatch(TMessage& Message) override;

protected:
    virtual void Paint() {}

private:
    TCanvas FCanvas;
};

// A canvas on any control, outside painting: it draws on the control's window (a windowless
// control's parent window, at the control's place) through a context taken on first use and
// released by FreeHandle, by a change of control, or when the canvas goes.
class TControlCanvas : public TCanvas {
public:
    TControlCanvas() = default;
    ~TControlCanvas() override;
    TControl* Control() const { return FControl; }
    void SetControl(TControl* Value);
    void FreeHandle();

protected:
    void BeforeDraw() override;

private:
    TControl* FControl = nullptr;
    HWND FWindow = 0;
    bool FAcquiring = false;
};

// The control now holding the mouse capture (a windowless one included), or nil.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* Control);
// The control the mouse was last seen over (CM_MOUSEENTER went to it).
TControl* MouseControl();

// The application's error handler for exceptions escaping a window procedure (set by the
// application object; without one the exception passes on).
extern std::function<void(TObject* Sender)> ApplicationHandleException;

}  // namespace framework
