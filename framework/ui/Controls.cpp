#include "framework/ui/Controls.h"
#include "framework/ui/Hints.h"

#include <QCursor>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cctype>

#include "framework/stdctrls/Menus.h"
#include "framework/ui/Forms.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

std::function<void(TObject* Sender)> ApplicationHandleException;

Qt::CursorShape ToQtCursor(int16_t c) {
    switch (c) {
        case crNone:
            return Qt::BlankCursor;
        case crCross:
            return Qt::CrossCursor;
        case crIBeam:
            return Qt::IBeamCursor;
        case crSizeNESW:
            return Qt::SizeBDiagCursor;
        case crSizeNS:
            return Qt::SizeVerCursor;
        case crSizeNWSE:
            return Qt::SizeFDiagCursor;
        case crSizeWE:
            return Qt::SizeHorCursor;
        case crUpArrow:
            return Qt::UpArrowCursor;
        case crHourGlass:
        case crSQLWait:
            return Qt::WaitCursor;
        case crDrag:
        case crMultiDrag:
            return Qt::DragCopyCursor;
        case crNoDrop:
        case crNo:
            return Qt::ForbiddenCursor;
        case crHSplit:
            return Qt::SplitHCursor;
        case crVSplit:
            return Qt::SplitVCursor;
        case crAppStart:
            return Qt::BusyCursor;
        case crHelp:
            return Qt::WhatsThisCursor;
        case crHandPoint:
            return Qt::PointingHandCursor;
        case crSizeAll:
            return Qt::SizeAllCursor;
        default:
            return Qt::ArrowCursor;
    }
}

namespace {
TControl* gCaptureControl = nullptr;  // a windowless control holding its parent's capture
TControl* gMouseControl = nullptr;

void SendEnterLeave(TControl* now) {
    if (now == gMouseControl) return;
    TControl* old = gMouseControl;
    gMouseControl = now;
    if (old) old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(old));
    if (now) now->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(now));
}

bool IsMouseMessage(UINT m) {
    return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST && m != WM_MOUSEWHEEL;
}
}  // namespace

bool IsAccel(uint16_t Key, const std::string& Caption) {
    for (size_t i = 0; i + 1 < Caption.size(); ++i) {
        if (Caption[i] != '&') continue;
        if (Caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return std::toupper(static_cast<unsigned char>(Caption[i + 1])) == std::toupper(Key & 0xFF);
    }
    return false;
}

TControl* GetCaptureControl() {
    HWND cap = GetCapture();
    if (!cap) return nullptr;
    if (gCaptureControl && gCaptureControl->Parent() && gCaptureControl->Parent()->HandleAllocated() &&
        gCaptureControl->Parent()->Handle() == cap)
        return gCaptureControl;
    return FindControl(cap);
}

void SetCaptureControl(TControl* Control) {
    gCaptureControl = nullptr;
    if (!Control) {
        ReleaseCapture();
        return;
    }
    if (auto* w = dynamic_cast<TWinControl*>(Control)) {
        SetCapture(w->Handle());
    } else if (Control->Parent()) {
        SetCapture(Control->Parent()->Handle());
        gCaptureControl = Control;
    }
}

TControl* MouseControl() {
    return gMouseControl;
}

void MouseLeftWindow(TWinControl& Control) {
    if (gMouseControl == &Control ||
        (gMouseControl && gMouseControl->Parent() == &Control && !dynamic_cast<TWinControl*>(gMouseControl)))
        SendEnterLeave(nullptr);
}

void ScrollChildControls(TWinControl& Control, int DX, int DY) {
    for (int i = 0; i < Control.ControlCount(); ++i) {
        TControl* c = Control.Controls(i);
        c->SetBounds(c->Left() + DX, c->Top() + DY, c->Width(), c->Height());
    }
}

// ---------------------------------------------------------------------------------------------
// TSizeConstraints

void TSizeConstraints::SetMinWidth(int v) {
    if (v == MinWidth) return;
    MinWidth = v;
    if (MaxWidth > 0 && MaxWidth < v) MaxWidth = v;
    Changed();
}
void TSizeConstraints::SetMinHeight(int v) {
    if (v == MinHeight) return;
    MinHeight = v;
    if (MaxHeight > 0 && MaxHeight < v) MaxHeight = v;
    Changed();
}
void TSizeConstraints::SetMaxWidth(int v) {
    if (v == MaxWidth) return;
    MaxWidth = v;
    if (v > 0 && MinWidth > v) MinWidth = v;
    Changed();
}
void TSizeConstraints::SetMaxHeight(int v) {
    if (v == MaxHeight) return;
    MaxHeight = v;
    if (v > 0 && MinHeight > v) MinHeight = v;
    Changed();
}

// ---------------------------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
    if (AOwner && (AOwner->ComponentState() & csLoading)) Loading();  // set up with its form
    WindowProc = [this](TMessage& m) { WndProc(m); };
    FFont.OnChange = [this] { FontChanged(); };
    FConstraints.OnChange = [this] { SetBounds(FLeft, FTop, FWidth, FHeight); };
}

TControl::~TControl() {
    if (gMouseControl == this) gMouseControl = nullptr;
    if (gCaptureControl == this) {
        gCaptureControl = nullptr;
        ReleaseCapture();
    }
    if (FParent) FParent->RemoveControl(this);
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m{Msg, WParam, LParam, 0};
    if (WindowProc)
        WindowProc(m);
    else
        WndProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& Message) {
    if (IsMouseMessage(Message.Msg)) {
        if (Message.Msg == WM_MOUSEMOVE) SendEnterLeave(this);
        HintMouseMessage(*this, Message);
    } else if (Message.Msg == CM_MOUSELEAVE) {
        HintMouseMessage(*this, Message);
    }
    Dispatch(Message);
}

void TControl::MouseButtonMessage(TMessage& M, TMouseButton Button, int Kind) {
    int x = GetXLParam(M.LParam), y = GetYLParam(M.LParam);
    TShiftState shift = KeysToShiftState(static_cast<uint32_t>(M.WParam));
    if (Kind == 0 || Kind == 2) {  // down or double click
        if (Button == TMouseButton::mbLeft) {
            if (ControlStyle & csCaptureMouse) SetMouseCapture(true);
            if (ControlStyle & csClickEvents) ControlState |= csClicked;
            ControlState |= csLButtonDown;
        }
        if (Kind == 2) {
            shift |= ssDouble;
            if (Button == TMouseButton::mbLeft) DblClick();
        }
        if (FEnabled) MouseDown(Button, shift, x, y);
    } else {
        bool clicked = Button == TMouseButton::mbLeft && (ControlState & csClicked);
        if (Button == TMouseButton::mbLeft) {
            ControlState &= ~(csClicked | csLButtonDown);
            if (ControlStyle & csCaptureMouse) SetMouseCapture(false);
            if (clicked && ClientRect().Contains(TPoint{x, y})) Click();
        }
        if (FEnabled) MouseUp(Button, shift, x, y);
    }
}

void TControl::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_LBUTTONDOWN:
            MouseButtonMessage(M, TMouseButton::mbLeft, 0);
            return;
        case WM_LBUTTONUP:
            MouseButtonMessage(M, TMouseButton::mbLeft, 1);
            return;
        case WM_LBUTTONDBLCLK:
            MouseButtonMessage(M, TMouseButton::mbLeft, 2);
            return;
        case WM_RBUTTONDOWN:
            MouseButtonMessage(M, TMouseButton::mbRight, 0);
            return;
        case WM_RBUTTONUP: {
            MouseButtonMessage(M, TMouseButton::mbRight, 1);
            // A right click asks for the context menu at the pointer (screen coordinates).
            TPoint p = ClientToScreen(TPoint{GetXLParam(M.LParam), GetYLParam(M.LParam)});
            Perform(WM_CONTEXTMENU, 0, MakeLParam(p.X, p.Y));
            return;
        }
        case WM_CONTEXTMENU:
            // The control's popup menu shows; without one the parent's is asked.
            if (FPopupMenu && FPopupMenu->AutoPopup) {
                FPopupMenu->PopupComponent = this;
                FPopupMenu->Popup(GetXLParam(M.LParam), GetYLParam(M.LParam));
                M.Result = 1;
            } else if (FParent) {
                M.Result = FParent->Perform(WM_CONTEXTMENU, M.WParam, M.LParam);
            }
            return;
        case WM_RBUTTONDBLCLK:
            MouseButtonMessage(M, TMouseButton::mbRight, 2);
            return;
        case WM_MBUTTONDOWN:
            MouseButtonMessage(M, TMouseButton::mbMiddle, 0);
            return;
        case WM_MBUTTONUP:
            MouseButtonMessage(M, TMouseButton::mbMiddle, 1);
            return;
        case WM_MBUTTONDBLCLK:
            MouseButtonMessage(M, TMouseButton::mbMiddle, 2);
            return;
        case WM_MOUSEMOVE:
            if (FEnabled)
                MouseMove(KeysToShiftState(static_cast<uint32_t>(M.WParam)), GetXLParam(M.LParam),
                          GetYLParam(M.LParam));
            return;
        case CM_VISIBLECHANGED:
        case CM_ENABLEDCHANGED:
        case CM_COLORCHANGED:
        case CM_FONTCHANGED:
        case CM_TEXTCHANGED:
            Invalidate();
            return;
        case CM_PARENTFONTCHANGED:
            ParentFontChanged();
            return;
        case CM_PARENTCOLORCHANGED:
            ParentColorChanged();
            return;
        case CM_PARENTSHOWHINTCHANGED:
            if (FParentShowHint && FParent) FShowHint = FParent->ShowHint();
            return;
        case CM_HITTEST:
            M.Result = 1;
            return;
        case WM_CANCELMODE:
            if (MouseCapture()) SetMouseCapture(false);
            return;
        default:
            DefaultHandler(M);
    }
}

void TControl::DefaultHandler(TMessage& M) {
    switch (M.Msg) {
        case WM_GETTEXTLENGTH:
            M.Result = static_cast<LRESULT>(FText.size());
            return;
        case WM_GETTEXT:
            if (M.LParam && M.WParam > 0) {
                size_t n = std::min<size_t>(FText.size(), M.WParam - 1);
                char* buf = reinterpret_cast<char*>(M.LParam);
                std::copy_n(FText.data(), n, buf);
                buf[n] = '\0';
                M.Result = static_cast<LRESULT>(n);
            }
            return;
        case WM_SETTEXT:
            FText = M.LParam ? reinterpret_cast<const char*>(M.LParam) : "";
            M.Result = 1;
            return;
        default:
            return;
    }
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (AWidth < 0) AWidth = 0;
    if (AHeight < 0) AHeight = 0;
    CanResize(AWidth, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    bool sized = AWidth != FWidth || AHeight != FHeight;
    if (FParent && !dynamic_cast<TWinControl*>(this) && FVisible && FParent->HandleAllocated()) {
        // The old place no longer belongs to this control, opaque or not: its background is
        // drawn again there, or what the control painted last stays on the parent.
        TRect old = BoundsRect();
        InvalidateRect(FParent->Handle(), &old, true);
    }
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (FParent && !dynamic_cast<TWinControl*>(this) && FVisible) Invalidate();  // new place
    RequestAlign();
    if (sized) Resize();
}

bool TControl::CanResize(int& NewWidth, int& NewHeight) {
    if (FConstraints.MinWidth > 0) NewWidth = std::max(NewWidth, FConstraints.MinWidth);
    if (FConstraints.MaxWidth > 0) NewWidth = std::min(NewWidth, FConstraints.MaxWidth);
    if (FConstraints.MinHeight > 0) NewHeight = std::max(NewHeight, FConstraints.MinHeight);
    if (FConstraints.MaxHeight > 0) NewHeight = std::min(NewHeight, FConstraints.MaxHeight);
    return true;
}

void TControl::UpdateBoundsRect(const TRect& R) {
    bool sized = R.Width() != FWidth || R.Height() != FHeight;
    FLeft = R.Left;
    FTop = R.Top;
    FWidth = R.Width();
    FHeight = R.Height();
    if (sized) Resize();
}

TRect TControl::ClientRect() const {
    return TRect{0, 0, FWidth, FHeight};
}

void TControl::SetClientSize(int AWidth, int AHeight) {
    TRect c = ClientRect();
    SetBounds(FLeft, FTop, FWidth + AWidth - c.Width(), FHeight + AHeight - c.Height());
}

TPoint TControl::ClientOrigin() const {
    if (!FParent) return TPoint{FLeft, FTop};
    TPoint p = FParent->ClientOrigin();
    return TPoint{p.X + FLeft, p.Y + FTop};
}

TPoint TControl::ClientToScreen(TPoint P) const {
    TPoint o = ClientOrigin();
    return TPoint{P.X + o.X, P.Y + o.Y};
}

TPoint TControl::ScreenToClient(TPoint P) const {
    TPoint o = ClientOrigin();
    return TPoint{P.X - o.X, P.Y - o.Y};
}

void TControl::SetAlign(TAlign Value) {
    if (Value == FAlign) return;
    FAlign = Value;
    if (Value != alNone) FAnchors = akLeft | akTop;
    RequestAlign();
}

void TControl::RequestAlign() {
    if (!FParent) return;
    FParent->Realign();
    FParent->ChildLayoutChanged(this);
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent) return;
    if (AParent == this) throw EInvalidOperation("A control cannot have itself as its parent");
    if (FParent) FParent->RemoveControl(this);
    if (AParent) {
        AParent->InsertControl(this);
        ParentFontChanged();
        ParentColorChanged();
        if (auto* w = dynamic_cast<TWinControl*>(this)) w->Perform(CM_PARENTCTL3DCHANGED, 0, 0);
    }
}

bool TControl::Showing() const {
    if (!FVisible) return false;
    if (auto* self = dynamic_cast<const TWinControl*>(this); self && !FParent)
        return self->HandleAllocated() && IsWindowVisible(const_cast<TWinControl*>(self)->Handle());
    return FParent && FParent->Showing();
}

void TControl::SetVisible(bool Value) {
    if (Value == FVisible) return;
    if (!dynamic_cast<TWinControl*>(this)) Invalidate();  // the place it leaves
    FVisible = Value;
    Perform(CM_VISIBLECHANGED, Value ? 1 : 0, 0);
    RequestAlign();
}

void TControl::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetText(const std::string& Value) {
    if (Value == FText) return;
    FText = Value;
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::FontChanged() {
    FParentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::ParentFontChanged() {
    if (!FParentFont || !FParent) return;
    FFont.OnChange = nullptr;
    FFont.Assign(FParent->Font());
    FFont.OnChange = [this] { FontChanged(); };
    Perform(CM_FONTCHANGED, 0, 0);
    FParentFont = true;
}

void TControl::SetParentFont(bool Value) {
    if (Value == FParentFont) return;
    FParentFont = Value;
    if (Value) ParentFontChanged();
}

void TControl::ParentColorChanged() {
    if (!FParentColor || !FParent) return;
    FColor = FParent->Color();
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    FParentColor = false;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool Value) {
    if (Value == FParentColor) return;
    FParentColor = Value;
    if (Value) ParentColorChanged();
}

void TControl::SetShowHint(bool Value) {
    FShowHint = Value;
    FParentShowHint = false;
    Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetParentShowHint(bool Value) {
    FParentShowHint = Value;
    if (Value && FParent) FShowHint = FParent->ShowHint();
}

void TControl::SetCursor(TCursor Value) {
    if (Value == FCursor) return;
    FCursor = Value;
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        if (auto* r = FindRecord(w->Handle()); r && r->Widget) ApplyCursor(r->Widget, Value);
    Perform(CM_CURSORCHANGED, 0, 0);
}

bool TControl::MouseCapture() const {
    return GetCaptureControl() == this;
}

void TControl::SetMouseCapture(bool Value) {
    if (Value == MouseCapture()) return;
    SetCaptureControl(Value ? this : nullptr);
}

void TControl::Invalidate() {
    if (!FParent || !FParent->HandleAllocated()) return;
    TRect r = BoundsRect();
    InvalidateRect(FParent->Handle(), &r, !(ControlStyle & csOpaque));
}

void TControl::Update() {
    if (FParent) FParent->Update();
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::BringToFront() {
    if (!FParent) {
        // A shown top-level form comes above the other windows and becomes the active one (its
        // OnActivate runs and its active control takes the focus); a form disabled behind a modal
        // one stays where it is.
        auto* form = dynamic_cast<TCustomForm*>(this);
        if (!form || !form->Visible() || !form->HandleAllocated()) return;
        HWND wnd = form->Handle();
        if (!IsWindowEnabled(wnd)) return;
        RaiseWindowRecord(wnd);
        if (!(GetWindowLong(wnd, GWL_EXSTYLE) & WS_EX_NOACTIVATE)) ActivateTopLevel(wnd);
        return;
    }
    auto& v = FParent->FControls;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    v.push_back(this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated()) RaiseWindowRecord(w->Handle());
    Invalidate();
}

void TControl::SendToBack() {
    if (!FParent) return;
    auto& v = FParent->FControls;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    v.insert(v.begin(), this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        if (auto* r = FindRecord(w->Handle()); r && r->Widget) r->Widget->lower();
    Invalidate();
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}
void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}
void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::Changed() {
    Perform(CM_CHANGED, 0, reinterpret_cast<LPARAM>(this));
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
    if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = Value;
    if (FPopupMenu) FPopupMenu->FreeNotification(this);
}

TCustomForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->FParent) c = c->FParent;
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

// ---------------------------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    // Leave the parent while this is still a windowed control, so that the parent's tab list
    // lets go of it too (TControl's destructor no longer knows the window part).
    if (FParent) FParent->RemoveControl(this);
    DestroyHandle();
    // Children that are still here go with their parent (the owner hears of it).
    while (!FControls.empty()) {
        TControl* c = FControls.back();
        c->Free();
    }
}

void TWinControl::MainWndProc(TMessage& Message) {
    try {
        if (WindowProc)
            WindowProc(Message);
        else
            WndProc(Message);
    } catch (...) {
        if (!ApplicationHandleException) throw;
        ApplicationHandleException(this);
    }
}

HWND TWinControl::Handle() {
    HandleNeeded();
    return FHandle;
}

void TWinControl::HandleNeeded() {
    if (FHandle) return;
    if (FParent) FParent->HandleNeeded();
    if (!FHandle) CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& P) {
    P.Caption = FText;
    P.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (!FParent) P.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    if (FVisible) P.Style |= WS_VISIBLE;
    if (!FEnabled) P.Style |= WS_DISABLED;
    if (FTabStop) P.Style |= WS_TABSTOP;
    TRect r = WindowRectForBounds();
    P.X = r.Left;
    P.Y = r.Top;
    P.Width = r.Width();
    P.Height = r.Height();
    P.WndParent = FParent ? FParent->FHandle : FParentWindow;
    P.WindowClassStyle = CS_VREDRAW | CS_HREDRAW | ((ControlStyle & csDoubleClicks) ? CS_DBLCLKS : 0);
    P.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
    TCreateParams p;
    CreateParams(p);
    // A window without a parent window is top level; a child window lives inside its parent's.
    HWND parent = FParent ? p.WndParent : 0;
    uint32_t style = p.Style;
    if (!FParent || !FParent->Showing()) style &= ~WS_VISIBLE;
    FHandle =
        CreateWindowRecord(this, parent, style, p.ExStyle, p.WindowClassStyle,
                           Bounds(p.X, p.Y, p.Width, p.Height), [this](TMessage& m) { MainWndProc(m); });
    SetWindowTitle(FHandle, p.Caption);
    if (FCursor != crDefault)
        if (auto* r = FindRecord(FHandle); r && r->Widget) ApplyCursor(r->Widget, FCursor);
    if ((p.Style & WS_VISIBLE) && FParent) ShowWindowRecord(FHandle, true);
}

void TWinControl::CreateHandle() {
    if (FHandle) return;
    ControlState |= csCreating;
    try {
        CreateWnd();
    } catch (...) {
        ControlState &= ~csCreating;
        throw;
    }
    ControlState &= ~csCreating;
    for (TWinControl* child : std::vector<TWinControl*>(FTabList)) child->HandleNeeded();
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->FHandle) RaiseWindowRecord(w->FHandle);
}

void TWinControl::DestroyWnd() {
    DestroyWindowRecord(FHandle);
}

void TWinControl::DestroyHandle() {
    if (!FHandle) return;
    ControlState |= csDestroyingHandle;
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    DestroyWnd();
    FHandle = 0;
    ControlState &= ~csDestroyingHandle;
}

namespace {

// Whether Control is still one of Root's controls, found by address alone (it may have been freed).
bool HoldsControl(const TWinControl& Root, const TControl* Control) {
    for (int i = 0; i < Root.ControlCount(); ++i) {
        const TControl* c = Root.Controls(i);
        if (c == Control) return true;
        if (auto* w = dynamic_cast<const TWinControl*>(c); w && HoldsControl(*w, Control)) return true;
    }
    return false;
}

}  // namespace

void TWinControl::RecreateWnd() {
    if (!FHandle) return;
    TWinControl* focused = FindControl(GetFocus());
    bool inside = focused && (focused == this || ContainsControl(focused));
    bool shown = IsWindowVisible(FHandle);
    DestroyHandle();
    HandleNeeded();
    if (shown) ShowWindowRecord(FHandle, true);
    // A child that had the focus may have been freed and made anew with the window.
    if (inside && focused != this && !HoldsControl(*this, focused)) return;
    if (inside && focused->HandleAllocated()) ::framework::SetFocus(focused->FHandle);
}

void TWinControl::WndProc(TMessage& M) {
    if (IsMouseMessage(M.Msg)) {
        // Mouse messages of windowless children: the capture holder, else the child under the
        // point, gets the message in its own coordinates.
        TControl* target = nullptr;
        if (gCaptureControl && gCaptureControl->Parent() == this)
            target = gCaptureControl;
        else if (!(GetCapture() == FHandle && !gCaptureControl)) {
            if (TControl* c = ControlAtPos(TPoint{GetXLParam(M.LParam), GetYLParam(M.LParam)}, false);
                c && !dynamic_cast<TWinControl*>(c))
                target = c;
        }
        if (M.Msg == WM_MOUSEMOVE && FHandle) {
            // The pointer takes the cursor of the control under it (a windowless one included).
            TCursor want = target ? target->Cursor() : FCursor;
            if (auto* r = FindRecord(FHandle); r && r->Widget)
                if (AppliedCursor(r->Widget) != want ||
                    r->Widget->cursor().shape() != CursorFor(want).shape())
                    ApplyCursor(r->Widget, want);
        }
        if (target) {
            int x = GetXLParam(M.LParam) - target->Left(), y = GetYLParam(M.LParam) - target->Top();
            M.Result = target->Perform(M.Msg, M.WParam, MakeLParam(x, y));
            return;
        }
    }
    TControl::WndProc(M);
}

bool TWinControl::IsMenuKey(TMessage& M) {
    for (TControl* c = this; c; c = c->Parent())
        if (c->FPopupMenu && c->FPopupMenu->IsShortCut(M)) return true;
    if (TCustomForm* f = ParentForm()) return f->IsShortCut(M);
    return false;
}

void TWinControl::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_PAINT:
            PaintHandler(M);
            return;
        case WM_ERASEBKGND: {
            if (QPainter* p = PainterOf(static_cast<uintptr_t>(M.WParam))) {
                TCanvas c;
                c.SetHandle(static_cast<HDC>(M.WParam));
                c.Brush.Color = FColor;
                c.FillRect(ClientRect());
                (void)p;
            }
            M.Result = 1;
            return;
        }
        case WM_SETFOCUS:
            if (TCustomForm* f = ParentForm()) {
                if (!f->SetFocusedControl(this)) return;
            }
            DefaultHandler(M);
            return;
        case WM_KILLFOCUS:
            DefaultHandler(M);
            return;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (!DoKeyDown(M)) DefaultHandler(M);
            return;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            if (!DoKeyUp(M)) DefaultHandler(M);
            return;
        case WM_CHAR:
            if (!DoKeyPress(M)) DefaultHandler(M);
            return;
        case WM_MOUSEWHEEL: {
            TShiftState s = KeysToShiftState(M.WParamLo());
            if (DoMouseWheel(s, static_cast<int16_t>(M.WParamHi()),
                             TPoint{GetXLParam(M.LParam), GetYLParam(M.LParam)})) {
                M.Result = 1;
                return;
            }
            DefaultHandler(M);
            return;
        }
        case WM_COMMAND:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
            // Notifications from a child window go back to the control that sent them.
            if (M.LParam != 0) {
                if (TWinControl* c = FindControl(static_cast<HWND>(M.LParam)); c && c != this) {
                    M.Result = c->Perform(CN_BASE + M.Msg, M.WParam, M.LParam);
                    return;
                }
            }
            DefaultHandler(M);
            return;
        case WM_DRAWITEM:
        case WM_MEASUREITEM: {
            HWND item = M.Msg == WM_DRAWITEM ? reinterpret_cast<TDrawItemStruct*>(M.LParam)->hwndItem
                                             : reinterpret_cast<TMeasureItemStruct*>(M.LParam)->hwndItem;
            if (TWinControl* c = FindControl(item); c && c != this) {
                M.Result = c->Perform(CN_BASE + M.Msg, M.WParam, M.LParam);
                return;
            }
            DefaultHandler(M);
            return;
        }
        case CN_KEYDOWN:
        case CN_SYSKEYDOWN: {
            // Shortcuts of the menus come before the control's own keys.
            if (IsMenuKey(M)) {
                M.Result = 1;
                return;
            }
            // Dialog keys the control does not want go to its form (Tab, arrows, Enter, Escape).
            M.Result = 1;
            LRESULT mask = 0;
            switch (M.WParam) {
                case VK_TAB:
                    mask = DLGC_WANTTAB;
                    break;
                case VK_LEFT:
                case VK_RIGHT:
                case VK_UP:
                case VK_DOWN:
                    mask = DLGC_WANTARROWS;
                    break;
                case VK_RETURN:
                case VK_EXECUTE:
                case VK_ESCAPE:
                case VK_CANCEL:
                    mask = DLGC_WANTALLKEYS;
                    break;
                default:
                    break;
            }
            if (mask && Perform(CM_WANTSPECIALKEY, M.WParam, M.LParam) == 0 &&
                (Perform(WM_GETDLGCODE, 0, 0) & mask) == 0) {
                TControl* top = this;
                while (top->Parent()) top = top->Parent();
                if (top->Perform(CM_DIALOGKEY, M.WParam, M.LParam) != 0) return;
            }
            M.Result = 0;
            return;
        }
        case CN_CHAR:
        case CN_SYSCHAR: {
            // Characters the control does not take may be accelerators of the form's controls.
            M.Result = 0;
            if (M.Msg == CN_CHAR && (Perform(WM_GETDLGCODE, 0, 0) & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)))
                return;
            TControl* top = this;
            while (top->Parent()) top = top->Parent();
            if (top->Perform(CM_DIALOGCHAR, M.WParam, M.LParam) != 0) M.Result = 1;
            return;
        }
        case CM_DIALOGKEY:
        case CM_DIALOGCHAR:
        case CM_FOCUSCHANGED:
            Broadcast(M);
            return;
        case CM_ENTER:
            DoEnter();
            return;
        case CM_EXIT:
            DoExit();
            return;
        case CM_VISIBLECHANGED:
            if (FHandle) {
                // A child keeps its own visibility while its parent is hidden, and shows with it.
                ShowWindowRecord(FHandle, FVisible);
            } else if (FVisible && FParent && FParent->HandleAllocated()) {
                HandleNeeded();
            }
            return;
        case CM_ENABLEDCHANGED:
            if (FHandle) EnableWindow(FHandle, FEnabled);
            Invalidate();
            return;
        case CM_CTL3DCHANGED:
            Invalidate();
            for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(CM_PARENTCTL3DCHANGED, 0, 0);
            return;
        case CM_PARENTCTL3DCHANGED:
            // wParam non-zero: lParam is the value to take; else the parent's.
            if (FParentCtl3D && (M.WParam || FParent)) {
                SetCtl3D(M.WParam ? M.LParam != 0 : FParent->Ctl3D());
                FParentCtl3D = true;
            }
            return;
        case CM_COLORCHANGED: {
            Invalidate();
            TMessage b{CM_PARENTCOLORCHANGED, 0, 0, 0};
            for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(b.Msg, 0, 0);
            return;
        }
        case CM_FONTCHANGED: {
            Invalidate();
            for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(CM_PARENTFONTCHANGED, 0, 0);
            return;
        }
        case CM_SHOWHINTCHANGED:
            for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
            return;
        case WM_SIZE: {
            // A top-level window resized from outside (its frame): the bounds follow the window.
            if (!FParent && FHandle) {
                TRect oldClient = ClientRect();
                TRect r = WindowRectForBounds();
                int w = FWidth + M.LParamLo() - r.Width();
                int h = FHeight + M.LParamHi() - r.Height();
                if (w != FWidth || h != FHeight) {
                    UpdateBoundsRect(Bounds(FLeft, FTop, w, h));
                    AdjustAnchoredChildren(oldClient.Width(), oldClient.Height());
                    Realign();
                }
            }
            DefaultHandler(M);
            return;
        }
        default:
            TControl::Dispatch(M);
    }
}

void TWinControl::DefaultHandler(TMessage& M) {
    if (FHandle) {
        switch (M.Msg) {
            case WM_GETTEXT:
            case WM_GETTEXTLENGTH:
            case WM_SETTEXT:
                TControl::DefaultHandler(M);
                return;
            default:
                M.Result = DefWindowProc(FHandle, M.Msg, M.WParam, M.LParam);
                return;
        }
    }
    TControl::DefaultHandler(M);
}

bool TWinControl::DoKeyDown(TMessage& M) {
    TShiftState shift = KeyDataToShiftState(static_cast<uint32_t>(M.LParam));
    TCustomForm* f = ParentForm();
    if (f && f != this && f->KeyPreview && f->DoKeyDown(M)) return true;
    uint16_t key = M.WParamLo();
    if (!(ControlStyle & csNoStdEvents)) {
        KeyDown(key, shift);
        M.WParam = key;
        if (key == 0) return true;
    }
    return false;
}

bool TWinControl::DoKeyUp(TMessage& M) {
    TShiftState shift = KeyDataToShiftState(static_cast<uint32_t>(M.LParam));
    TCustomForm* f = ParentForm();
    if (f && f != this && f->KeyPreview && f->DoKeyUp(M)) return true;
    uint16_t key = M.WParamLo();
    if (!(ControlStyle & csNoStdEvents)) {
        KeyUp(key, shift);
        M.WParam = key;
        if (key == 0) return true;
    }
    return false;
}

bool TWinControl::DoKeyPress(TMessage& M) {
    TCustomForm* f = ParentForm();
    if (f && f != this && f->KeyPreview && f->DoKeyPress(M)) return true;
    char c = static_cast<char>(M.WParam & 0xFF);
    if (!(ControlStyle & csNoStdEvents)) {
        KeyPress(c);
        M.WParam = static_cast<uint8_t>(c);
        if (c == 0) return true;
    }
    return false;
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}
void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}
void TWinControl::KeyPress(char& Key) {
    if (OnKeyPress) OnKeyPress(this, Key);
}
void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}
bool TWinControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
    return handled;
}

void TWinControl::FontChanged() {
    TControl::FontChanged();
}

void TWinControl::PaintHandler(TMessage& M) {
    TPaintStruct ps;
    HDC dc = M.WParam ? static_cast<HDC>(M.WParam) : BeginPaint(FHandle, ps);
    try {
        PaintWindow(dc);
        PaintControls(dc, nullptr);
    } catch (...) {
        if (!M.WParam) EndPaint(FHandle, ps);
        throw;
    }
    if (!M.WParam) EndPaint(FHandle, ps);
}

void TWinControl::PaintWindow(HDC DC) {
    TMessage m{WM_PAINT, static_cast<WPARAM>(DC), 0, 0};
    DefaultHandler(m);
}

void TWinControl::PaintControls(HDC DC, TControl* First) {
    auto it = FControls.begin();
    if (First) it = std::find(FControls.begin(), FControls.end(), First);
    for (; it != FControls.end(); ++it) {
        auto* g = dynamic_cast<TGraphicControl*>(*it);
        if (!g || !g->Visible()) continue;
        TCanvas& c = g->Canvas();
        c.SetHandle(DC);
        c.SetOrigin(g->Left(), g->Top());
        QPainter* p = PainterOf(DC);
        if (p) {
            p->save();
            p->setClipRect(g->Left(), g->Top(), g->Width(), g->Height(), Qt::IntersectClip);
        }
        g->Perform(WM_PAINT, static_cast<WPARAM>(DC), 0);
        if (p) p->restore();
        c.SetHandle(0);
    }
}

void TWinControl::InsertControl(TControl* AControl) {
    AControl->FParent = this;
    FControls.push_back(AControl);
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        FTabList.push_back(w);
        if (FHandle && !w->FHandle) w->HandleNeeded();
    } else {
        AControl->Invalidate();
    }
    Realign();
    Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
}

void TWinControl::RemoveControl(TControl* AControl) {
    Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        if (TCustomForm* f = ParentForm()) f->DefocusControl(w, true);
        w->DestroyHandle();
        FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), w), FTabList.end());
    } else {
        AControl->Invalidate();
    }
    FControls.erase(std::remove(FControls.begin(), FControls.end(), AControl), FControls.end());
    if (FMouseDownControl == AControl) FMouseDownControl = nullptr;
    AControl->FParent = nullptr;
    Realign();
}

bool TWinControl::ContainsControl(const TControl* Control) const {
    while (Control && Control != this) Control = Control->Parent();
    return Control == this;
}

TControl* TWinControl::ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls) const {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!AllowWinControls && dynamic_cast<TWinControl*>(c)) continue;
        if (!c->Visible() || (!c->Enabled() && !AllowDisabled)) continue;
        if (c->BoundsRect().Contains(Pos) &&
            c->Perform(CM_HITTEST, 0, MakeLParam(Pos.X - c->Left(), Pos.Y - c->Top())) != 0)
            return c;
    }
    return nullptr;
}

void TWinControl::Broadcast(TMessage& M) {
    for (TControl* c : std::vector<TControl*>(FControls)) {
        if (std::find(FControls.begin(), FControls.end(), c) == FControls.end()) continue;
        M.Result = c->Perform(M.Msg, M.WParam, M.LParam);
        if (M.Result != 0) return;
    }
}

void TWinControl::EnableAlign() {
    if (--FAlignLevel == 0) Realign();
}

void TWinControl::Realign() {
    if (FAlignLevel > 0 || FAligning) return;
    bool any =
        std::any_of(FControls.begin(), FControls.end(), [](TControl* c) { return c->Align() != alNone; });
    if (!any) return;
    FAligning = true;
    TRect r = ClientRect();
    try {
        AlignControls(nullptr, r);
    } catch (...) {
        FAligning = false;
        throw;
    }
    FAligning = false;
}

void TWinControl::AlignControls(TControl*, TRect& R) {
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TControl* c : std::vector<TControl*>(FControls)) {
            if (c->Align() != a || !c->Visible()) continue;
            int w = c->Width(), h = c->Height();
            switch (a) {
                case alTop:
                    c->SetBounds(R.Left, R.Top, R.Width(), h);
                    R.Top += c->Height();
                    break;
                case alBottom:
                    c->SetBounds(R.Left, R.Bottom - h, R.Width(), h);
                    R.Bottom -= c->Height();
                    break;
                case alLeft:
                    c->SetBounds(R.Left, R.Top, w, R.Height());
                    R.Left += c->Width();
                    break;
                case alRight:
                    c->SetBounds(R.Right - w, R.Top, w, R.Height());
                    R.Right -= c->Width();
                    break;
                case alClient:
                    c->SetBounds(R.Left, R.Top, R.Width(), R.Height());
                    break;
                default:
                    break;
            }
        }
    }
}

void TWinControl::AdjustAnchoredChildren(int OldClientWidth, int OldClientHeight) {
    TRect now = ClientRect();
    int dw = now.Width() - OldClientWidth, dh = now.Height() - OldClientHeight;
    if (dw == 0 && dh == 0) return;
    for (TControl* c : std::vector<TControl*>(FControls)) {
        if (c->Align() != alNone) continue;
        TAnchors a = c->Anchors();
        int l = c->Left(), t = c->Top(), w = c->Width(), h = c->Height();
        if (a & akRight) {
            if (a & akLeft)
                w += dw;
            else
                l += dw;
        }
        if (a & akBottom) {
            if (a & akTop)
                h += dh;
            else
                t += dh;
        }
        c->SetBounds(l, t, w, h);
    }
}

void TWinControl::ScrollBy(int DeltaX, int DeltaY) {
    if (FHandle)
        ScrollWindow(FHandle, DeltaX, DeltaY, nullptr, nullptr);
    else
        ScrollChildControls(*this, DeltaX, DeltaY);
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TRect oldClient = ClientRect();
    int ow = FWidth, oh = FHeight, ol = FLeft, ot = FTop;
    if (AWidth < 0) AWidth = 0;
    if (AHeight < 0) AHeight = 0;
    CanResize(AWidth, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (FHandle) {
        MoveWindowRecord(FHandle, WindowRectForBounds());
        TRect c = ClientRect();
        // Through the window procedure, so that a procedure installed on the handle sees them too
        // (a top-level window hears of its moves from the window system).
        if (FParent && (ALeft != ol || ATop != ot)) SendMessage(FHandle, WM_MOVE, 0, MakeLParam(FLeft, FTop));
        if (ow != FWidth || oh != FHeight)
            SendMessage(FHandle, WM_SIZE, SIZE_RESTORED, MakeLParam(c.Width(), c.Height()));
    }
    if (ow != FWidth || oh != FHeight) {
        AdjustAnchoredChildren(oldClient.Width(), oldClient.Height());
        Realign();
    }
    RequestAlign();
    if (ow != FWidth || oh != FHeight) Resize();
}

TRect TWinControl::ClientRect() const {
    if (FHandle) {
        TRect r;
        GetClientRect(FHandle, &r);
        return r;
    }
    return TControl::ClientRect();
}

TPoint TWinControl::ClientOrigin() const {
    if (!FParent) {
        TRect r = WindowRectForBounds();
        return TPoint{r.Left, r.Top};
    }
    return TControl::ClientOrigin();
}

void TWinControl::Invalidate() {
    if (FHandle) InvalidateRect(FHandle, nullptr, !(ControlStyle & csOpaque));
}

void TWinControl::Update() {
    if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::SetText(const std::string& Value) {
    if (Value == FText) return;
    FText = Value;
    if (FHandle) SetWindowTitle(FHandle, FText);
    Perform(CM_TEXTCHANGED, 0, 0);
}

int TWinControl::TabOrder() const {
    if (!FParent) return -1;
    auto& t = FParent->FTabList;
    auto it = std::find(t.begin(), t.end(), this);
    return it == t.end() ? -1 : static_cast<int>(it - t.begin());
}

void TWinControl::SetTabOrder(int Value) {
    if (!FParent) return;
    auto& t = FParent->FTabList;
    t.erase(std::remove(t.begin(), t.end(), this), t.end());
    int n = static_cast<int>(t.size());
    if (Value < 0 || Value > n) Value = n;
    t.insert(t.begin() + Value, this);
}

void TWinControl::SetTabStop(bool Value) {
    if (Value == FTabStop) return;
    FTabStop = Value;
    if (FHandle) {
        uint32_t s = GetWindowLong(FHandle, GWL_STYLE);
        SetWindowLong(FHandle, GWL_STYLE, Value ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP));
    }
    Perform(CM_TABSTOPCHANGED, 0, 0);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
    for (TWinControl* c : FTabList) {
        List.push_back(c);
        c->GetTabOrderList(List);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) const {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    int n = static_cast<int>(list.size());
    int start = -1;
    for (int i = 0; i < n; ++i)
        if (list[i] == CurControl) start = i;
    if (start < 0) start = GoForward ? n - 1 : 0;
    int i = start;
    for (int step = 0; step < n; ++step) {
        i = GoForward ? (i + 1) % n : (i - 1 + n) % n;
        TWinControl* c = list[i];
        if (c == CurControl && step != 0) break;
        if ((!CheckTabStop || c->TabStop()) && (!CheckParent || c->Parent() == this) && c->CanFocus())
            return c;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
    if (TWinControl* c = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop)) c->SetFocus();
}

void TWinControl::SelectFirst() {
    TCustomForm* f = ParentForm();
    TWinControl* c = FindNextControl(nullptr, true, true, false);
    if (!c) c = FindNextControl(nullptr, true, false, false);
    if (!c) return;
    if (f && !f->HandleAllocated())
        f->SetActiveControl(c);
    else
        c->SetFocus();
}

bool TWinControl::CanFocus() const {
    const TControl* c = this;
    while (c) {
        if (!c->Visible() || !c->Enabled()) return false;
        c = c->Parent();
    }
    return true;
}

bool TWinControl::Focused() const {
    return FHandle && GetFocus() == FHandle;
}

void TWinControl::SetFocus() {
    if (TCustomForm* f = ParentForm(); f && f != this) {
        f->FocusControl(this);
        return;
    }
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    ::framework::SetFocus(Handle());
}

// ---------------------------------------------------------------------------------------------

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}

void TCustomControl::PaintWindow(HDC DC) {
    FCanvas.SetHandle(DC);
    try {
        Paint();
    } catch (...) {
        FCanvas.SetHandle(0);
        throw;
    }
    FCanvas.SetHandle(0);
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

void TGraphicControl::Dispatch(TMessage& M) {
    if (M.Msg == WM_PAINT) {
        if (M.WParam) Paint();
        return;
    }
    TControl::Dispatch(M);
}

// ---------------------------------------------------------------------------------------------
// 3-D look

void TWinControl::SetCtl3D(bool Value) {
    if (Value == FCtl3D) {
        FParentCtl3D = false;
        return;
    }
    FCtl3D = Value;
    FParentCtl3D = false;
    Perform(CM_CTL3DCHANGED, 0, 0);
}

void TWinControl::SetParentCtl3D(bool Value) {
    if (Value == FParentCtl3D) return;
    FParentCtl3D = Value;
    if (Value) Perform(CM_PARENTCTL3DCHANGED, 0, 0);
}

// ---------------------------------------------------------------------------------------------
// TControlCanvas

TControlCanvas::~TControlCanvas() {
    FreeHandle();
}

void TControlCanvas::SetControl(TControl* Value) {
    if (Value == FControl) return;
    FreeHandle();
    FControl = Value;
}

void TControlCanvas::BeforeDraw() {
    if (HandleAllocated() || !FControl || FAcquiring) return;
    // A windowed control draws on its own window, a windowless one on its parent's at its place.
    TWinControl* w = dynamic_cast<TWinControl*>(FControl);
    TPoint origin{0, 0};
    if (!w) {
        w = FControl->Parent();
        origin = TPoint{FControl->Left(), FControl->Top()};
    }
    if (!w) return;
    FAcquiring = true;
    FWindow = w->Handle();
    if (HDC dc = GetDC(FWindow)) {
        SetHandle(dc);
        SetOrigin(origin.X, origin.Y);
    }
    FAcquiring = false;
}

void TControlCanvas::FreeHandle() {
    if (!HandleAllocated()) return;
    FAcquiring = true;
    HDC dc = TCanvas::Handle();
    SetHandle(0);
    FAcquiring = false;
    ReleaseDC(FWindow, dc);
    FWindow = 0;
}

}  // namespace framework
