#include "framework/ui/Hints.h"

#include <algorithm>

#include "framework/ui/Forms.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

std::string GetShortHint(const std::string& Hint) {
    size_t bar = Hint.find('|');
    return bar == std::string::npos ? Hint : Hint.substr(0, bar);
}

std::string GetLongHint(const std::string& Hint) {
    size_t bar = Hint.find('|');
    return bar == std::string::npos ? Hint : Hint.substr(bar + 1);
}

// ---------------------------------------------------------------------------------------------
// The hint window

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
    SetColor(clInfoBk);
    Font().Color = clInfoText;
}

void THintWindow::CreateParams(TCreateParams& P) {
    TCustomControl::CreateParams(P);
    P.Style = WS_POPUP | WS_BORDER;
    P.ExStyle = WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
}

TRect THintWindow::CalcHintRect(int MaxWidth, const std::string& AHint) {
    HandleNeeded();
    Canvas().Font.Assign(Font());
    int w = Canvas().TextWidth(AHint) + 8;
    if (MaxWidth > 0) w = std::min(w, MaxWidth);
    return Rect(0, 0, w, Canvas().TextHeight(AHint.empty() ? std::string("0") : AHint) + 4);
}

void THintWindow::ActivateHint(const TRect& R, const std::string& AHint) {
    SetCaption(AHint);
    SetBounds(R.Left, R.Top, R.Width(), R.Height());
    HandleNeeded();
    ShowWindowRecord(Handle(), true);
    RaiseWindowRecord(Handle());
    Invalidate();
    FActive = true;
}

void THintWindow::ReleaseHint() {
    if (HandleAllocated()) ShowWindowRecord(Handle(), false);
    FActive = false;
}

void THintWindow::Paint() {
    TCanvas& c = Canvas();
    c.Brush.Color = Color();
    c.Font.Assign(Font());
    TRect r = ClientRect();
    c.FillRect(r);
    c.Brush.Style = bsClear;
    c.TextOut(3, 1, Caption());
    c.Brush.Style = bsSolid;
}

// ---------------------------------------------------------------------------------------------
// The application's timing of hints

namespace {

constexpr int kCursorMargin = 20;  // the hint shows this far below the pointer's hot spot

// Watches the control a hint is pending or showing for, so that it can go away safely.
class THintController : public TComponent {
public:
    THintController() : TComponent(nullptr) {}
    TControl* Control = nullptr;  // the control the pointer rests on (with ShowHint)
    uintptr_t Timer = 0;
    bool Showing = false;
    THintWindow* Window = nullptr;

    void StopTimer() {
        if (Timer) KillTimer(0, Timer);
        Timer = 0;
    }
    void StartTimer(uint32_t Ms, void (*Fire)()) {
        StopTimer();
        Timer =
            SetTimer(0, 0, std::max<uint32_t>(Ms, 1), [Fire](HWND, UINT, uintptr_t, uint32_t) { Fire(); });
    }
    void Watch(TControl* C) {
        if (Control && Control != C) Control->RemoveFreeNotification(this);
        Control = C;
        if (C) C->FreeNotification(this);
    }
    void Hide() {
        StopTimer();
        if (Window) Window->ReleaseHint();
        Showing = false;
    }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        if (Operation != opRemove) return;
        if (AComponent == Control) {
            Hide();
            Control = nullptr;
        }
        if (AComponent == Window) {
            Window = nullptr;
            Showing = false;
        }
    }
};

THintController& H() {
    // Lives as long as the process: it may still be asked after the windows are gone.
    static THintController* controller = new THintController;
    return *controller;
}

// The control whose hint shows for Control: the first up the parent chain with ShowHint.
TControl* HintControlOf(TControl* Control) {
    while (Control && !Control->ShowHint()) Control = Control->Parent();
    return Control;
}

// The hint text of a control: its own, or the nearest parent's when it has none.
std::string HintOf(TControl* Control) {
    while (Control && Control->Hint.empty()) Control = Control->Parent();
    return Control ? Control->Hint : std::string();
}

// Shown long enough: hidden, and not shown again until the pointer moves to another control.
void HideTimedOut() {
    H().Hide();
}

void ShowPending() {
    auto& h = H();
    h.StopTimer();
    TControl* c = h.Control;
    if (!c || !Application || !Application->ShowHint) return;
    TPoint cursor;
    GetCursorPos(&cursor);
    THintInfo info;
    info.HintControl = c;
    info.HintPos = TPoint{cursor.X, cursor.Y + kCursorMargin};
    info.HintMaxWidth = Screen ? Screen->Width() : 0;
    info.CursorPos = c->ScreenToClient(cursor);
    info.HideTimeout = Application->HintHidePause;
    info.HintStr = GetShortHint(HintOf(c));
    // Cancelled (or nothing to show): nothing until the pointer moves to another control.
    if (c->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) != 0 || info.HintStr.empty()) return;
    if (!h.Window) {
        h.Window = new THintWindow(Application);
        h.Window->FreeNotification(&h);
    }
    h.Window->SetColor(info.HintColor);
    TRect r = h.Window->CalcHintRect(info.HintMaxWidth, info.HintStr);
    r = Bounds(info.HintPos.X, info.HintPos.Y, r.Width(), r.Height());
    h.Window->ActivateHint(r, info.HintStr);
    h.Showing = true;
    if (info.HideTimeout > 0) h.StartTimer(info.HideTimeout, HideTimedOut);
}

}  // namespace

THintWindow* ShownHintWindow() {
    auto& h = H();
    return h.Showing && h.Window && h.Window->Active() ? h.Window : nullptr;
}

void HintMouseMessage(TControl& Control, const TMessage& Message) {
    if (!Application || dynamic_cast<THintWindow*>(&Control)) return;
    auto& h = H();
    switch (Message.Msg) {
        case WM_MOUSEMOVE: {
            Application->SetHint(GetLongHint(HintOf(&Control)));
            TControl* now = HintControlOf(&Control);
            if (now == h.Control) return;  // resting on, or moving about, the same control
            bool wasShowing = h.Showing;
            h.Hide();
            h.Watch(now);
            if (now && Application->ShowHint)
                h.StartTimer(wasShowing ? Application->HintShortPause : Application->HintPause, ShowPending);
            return;
        }
        case CM_MOUSELEAVE:
            // The pointer left the control (for another one, whose mouse move follows, or for none).
            if (!MouseControl()) Application->SetHint("");
            if (HintControlOf(&Control) == h.Control && !MouseControl()) {
                h.Hide();
                h.Watch(nullptr);
            }
            return;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            Application->CancelHint();
            return;
        default:
            return;
    }
}

void TApplication::SetHint(const std::string& Value) {
    if (Value == FHint) return;
    FHint = Value;
    if (OnHint) OnHint(this);
}

void TApplication::CancelHint() {
    auto& h = H();
    h.Hide();
    h.Watch(nullptr);
}

}  // namespace framework
