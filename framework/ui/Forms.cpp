#include "framework/ui/Forms.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

#include "framework/core/Thread.h"
#include "framework/core/UiHooks.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/DataModule.h"
#include "framework/ui/Resources.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

namespace {
TModalAnswerer* gAnswerer = nullptr;

// Keyboard messages first go to the control as CN_ notifications: the dialog keys, default and
// cancel buttons and accelerators are handled there, and a handled key goes no further.
bool FilterKeyMessage(TMessage& M, HWND Wnd) {
    if ((M.Msg == WM_KEYDOWN || M.Msg == WM_SYSKEYDOWN) && Application) Application->CancelHint();
    if (MenuKeyFilter(M, Wnd)) return true;
    UINT cn = 0;
    switch (M.Msg) {
        case WM_KEYDOWN:
            cn = CN_KEYDOWN;
            break;
        case WM_SYSKEYDOWN:
            cn = CN_SYSKEYDOWN;
            break;
        case WM_KEYUP:
            cn = CN_KEYUP;
            break;
        case WM_CHAR:
            cn = CN_CHAR;
            break;
        case WM_SYSCHAR:
            cn = CN_SYSCHAR;
            break;
        default:
            return false;
    }
    TWinControl* c = FindControl(Wnd);
    if (!c) return false;
    return c->Perform(cn, M.WParam, M.LParam) != 0;
}

struct Installer {
    Installer() {
        SetInputFilter(FilterKeyMessage);
        ApplicationHandleException = [](TObject* Sender) { Application->HandleException(Sender); };
        // What the libraries below the user interface ask of it (archive readers, long loops).
        SetMessagePump([] {
            if (Application) Application->ProcessMessages();
        });
        SetMessageBoxHandler([](const std::string& Text, const std::string& Caption, uint32_t Flags) {
            TMessageBoxRequest request;
            request.Text = Text;
            request.Caption = Caption;
            request.Flags = Flags;
            return ShowMessageBox(request);
        });
        SetScreenCursorHandler([](int16_t Cursor) -> int16_t {
            if (!Screen) return crDefault;
            TCursor old = Screen->Cursor();
            Screen->SetCursor(Cursor);
            return old;
        });
        // A thread's step for the main thread wakes an idle message loop (posting to the Qt event
        // queue is safe from any thread); the loop then runs the step through CheckSynchronize.
        SetWakeMainThread([] {
            if (QCoreApplication* app = QCoreApplication::instance())
                QMetaObject::invokeMethod(
                    app, [] {}, Qt::QueuedConnection);
        });
        SetThreadExceptionHandler([](std::exception_ptr Error) {
            try {
                std::rethrow_exception(Error);
            } catch (...) {
                Application->HandleException(Application);
            }
        });
    }
};
}  // namespace

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {
// The two singletons exist from start-up to the end of the process.
struct Globals {
    Globals() {
        Application = new TApplication(nullptr);
        Screen = new TScreen(nullptr);
        static Installer installer;
    }
} gGlobals;
}  // namespace

TCustomForm* GetParentForm(const TControl* Control) {
    return Control ? Control->ParentForm() : nullptr;
}

void SetModalAnswerer(TModalAnswerer* Answerer) {
    gAnswerer = Answerer;
}
TModalAnswerer* ModalAnswerer() {
    return gAnswerer;
}

int ShowMessageBox(const TMessageBoxRequest& Request) {
    if (gAnswerer) return gAnswerer->MessageBoxShown(Request);
    EnsureGuiApplication();
    auto q = [](const std::string& s) { return QString::fromStdU16String(AnsiToUtf16(s)); };
    QMessageBox box;
    box.setWindowTitle(q(Request.Caption));
    box.setText(q(Request.Text));
    switch (Request.Flags & 0xF0) {
        case MB_ICONSTOP:
            box.setIcon(QMessageBox::Critical);
            break;
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONWARNING:
            box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONINFORMATION:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    struct B {
        QMessageBox::StandardButton Q;
        int Id;
    };
    std::vector<B> buttons;
    switch (Request.Flags & 0x0F) {
        case MB_OKCANCEL:
            buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
            break;
        case MB_ABORTRETRYIGNORE:
            buttons = {{QMessageBox::Abort, IDABORT},
                       {QMessageBox::Retry, IDRETRY},
                       {QMessageBox::Ignore, IDIGNORE}};
            break;
        case MB_YESNOCANCEL:
            buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
            break;
        case MB_YESNO:
            buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
            break;
        case MB_RETRYCANCEL:
            buttons = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
            break;
        default:
            buttons = {{QMessageBox::Ok, IDOK}};
            break;
    }
    QMessageBox::StandardButtons set;
    for (auto& b : buttons) set |= b.Q;
    box.setStandardButtons(set);
    if ((Request.Flags & MB_DEFBUTTON2) && buttons.size() > 1) box.setDefaultButton(buttons[1].Q);
    auto result = box.exec();
    for (auto& b : buttons)
        if (b.Q == result) return b.Id;
    return IDCANCEL;
}

// ---------------------------------------------------------------------------------------------
// TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
    Loading();  // until AfterConstruction: components being set up in code
    FVisible = false;
    FColor = clBtnFace;
    ControlStyle |= csAcceptsControls;
    FWidth = 320;
    FHeight = 240;
    Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
    DoDestroy();  // only when freed without Free (the notification did it otherwise)
    if (FModal) FModalResult = mrCancel;
    Screen->RemoveForm(this);
    Application->ForgetForm(this);
}

void FireNotifyEvent(const TNotifyEvent& Event, TComponent* Sender) {
    if (!Event) return;
    try {
        Event(Sender);
    } catch (...) {
        Application->HandleException(Sender);
    }
}

namespace {
void LoadedTree(TComponent* c) {
    for (int i = 0; i < c->ComponentCount(); ++i) {
        TComponent* child = c->Components(i);
        LoadedTree(child);
        if (child->ComponentState() & csLoading) child->Loaded();
    }
}
}  // namespace

void FinishLoading(TComponent* Root) {
    LoadedTree(Root);
    if (Root->ComponentState() & csLoading) Root->Loaded();
}

void TCustomForm::DoDestroy() {
    if (FDestroyed) return;
    FDestroyed = true;
    FireNotifyEvent(OnDestroy, this);
}

void TCustomForm::AfterConstruction() {
    if (FCreated) return;
    FCreated = true;
    FinishLoading(this);
    FireNotifyEvent(OnCreate, this);
}

void TCustomForm::SetMenu(TMainMenu* Value) {
    if (FMenu == Value) return;
    if (FMenu) FMenu->RemoveFreeNotification(this);
    FMenu = Value;
    if (FMenu) FMenu->FreeNotification(this);
    if (FHandle) ApplyMenuBand();
}

int TCustomForm::MenuHeight() const {
    return FMenu ? GetSystemMetrics(SM_CYMENU) : 0;
}

void TCustomForm::ApplyMenuBand() {
    TMainMenu* menu = FMenu;
    SetTopBand(FHandle, MenuHeight(), [menu](QPainter& p, int w) {
        if (menu) menu->PaintBar(p, w);
    });
}

TPoint TCustomForm::ClientOrigin() const {
    TPoint p = TWinControl::ClientOrigin();
    return TPoint{p.X, p.Y + MenuHeight()};
}

bool TCustomForm::IsShortCut(TMessage& Message) {
    bool handled = false;
    if (OnShortCut) OnShortCut(Message, handled);
    if (!handled && FMenu) handled = FMenu->IsShortCut(Message);
    return handled;
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMenu) {
        FMenu = nullptr;
        if (FHandle) ApplyMenuBand();
    }
}

void TCustomForm::Loaded() {
    TWinControl::Loaded();
    Realign();
}

void TCustomForm::FrameSize(int& Frame, int& Caption) const {
    switch (FBorderStyle) {
        case bsNone:
            Frame = 0;
            Caption = 0;
            return;
        case bsSizeable:
            Frame = GetSystemMetrics(SM_CXFRAME);
            Caption = GetSystemMetrics(SM_CYCAPTION);
            return;
        case bsSizeToolWin:
            Frame = GetSystemMetrics(SM_CXFRAME);
            Caption = GetSystemMetrics(SM_CYSMCAPTION);
            return;
        case bsToolWindow:
            Frame = GetSystemMetrics(SM_CXDLGFRAME);
            Caption = GetSystemMetrics(SM_CYSMCAPTION);
            return;
        default:
            Frame = GetSystemMetrics(SM_CXDLGFRAME);
            Caption = GetSystemMetrics(SM_CYCAPTION);
            return;
    }
}

TRect TCustomForm::WindowRectForBounds() const {
    int f = 0, cap = 0;
    FrameSize(f, cap);
    return TRect{FLeft + f, FTop + f + cap, FLeft + FWidth - f, FTop + FHeight - f};
}

TRect TCustomForm::ClientRect() const {
    if (FHandle) return TWinControl::ClientRect();
    TRect r = WindowRectForBounds();
    return TRect{0, 0, std::max(r.Width(), 0), std::max(r.Height() - MenuHeight(), 0)};
}

void TCustomForm::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    P.Style &= ~(WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME);
    P.Style |= WS_CLIPCHILDREN;
    switch (FBorderStyle) {
        case bsNone:
            P.Style |= WS_POPUP;
            break;
        case bsSingle:
        case bsToolWindow:
            P.Style |= WS_CAPTION | WS_BORDER;
            break;
        case bsSizeable:
        case bsSizeToolWin:
            P.Style |= WS_CAPTION | WS_THICKFRAME;
            break;
        case bsDialog:
            P.Style |= WS_POPUP | WS_CAPTION;
            P.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
            break;
    }
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) P.ExStyle |= WS_EX_TOOLWINDOW;
    if (FBorderStyle != bsNone) {
        if (FBorderIcons & biSystemMenu) P.Style |= WS_SYSMENU;
        if ((FBorderIcons & biMinimize) && FBorderStyle != bsDialog) P.Style |= WS_MINIMIZEBOX;
        if ((FBorderIcons & biMaximize) && FBorderStyle != bsDialog) P.Style |= WS_MAXIMIZEBOX;
        if (FBorderIcons & biHelp) P.ExStyle |= WS_EX_CONTEXTHELP;
    }
    if (FFormStyle == fsStayOnTop) P.ExStyle |= WS_EX_TOPMOST;
    P.Style &= ~WS_VISIBLE;
}

void TCustomForm::CreateWnd() {
    TWinControl::CreateWnd();
    auto* r = FindRecord(FHandle);
    if (!r || !r->Widget) return;
    QWidget* w = r->Widget;
    Qt::WindowFlags f = Qt::Window;
    if (FBorderStyle == bsNone) f |= Qt::FramelessWindowHint;
    if (FBorderStyle == bsDialog) f = Qt::Dialog;
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) f = Qt::Tool;
    if (FBorderStyle != bsNone) {
        f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (FBorderIcons & biSystemMenu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (FBorderIcons & biMinimize && FBorderStyle != bsDialog) f |= Qt::WindowMinimizeButtonHint;
        if (FBorderIcons & biMaximize && FBorderStyle != bsDialog) f |= Qt::WindowMaximizeButtonHint;
        if (FBorderIcons & biHelp) f |= Qt::WindowContextHelpButtonHint;
    }
    if (FFormStyle == fsStayOnTop) f |= Qt::WindowStaysOnTopHint;
    w->setWindowFlags(f);
    TRect wr = WindowRectForBounds();
    w->setGeometry(wr.Left, wr.Top, wr.Width(), wr.Height());
    if (FBorderStyle != bsSizeable && FBorderStyle != bsSizeToolWin) w->setFixedSize(wr.Width(), wr.Height());
    SetWindowTitle(FHandle, FText);
    if (FMenu) ApplyMenuBand();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
    if (Value == FBorderStyle) return;
    TRect client = ClientRect();
    FBorderStyle = Value;
    SetClientSize(client.Width(), client.Height());
    RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
    if (Value == FBorderIcons) return;
    FBorderIcons = Value;
    RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
    if (Value == FFormStyle) return;
    FFormStyle = Value;
    RecreateWnd();
}

void TCustomForm::SetWindowState(TWindowState Value) {
    if (Value == FWindowState) return;
    TWindowState old = FWindowState;
    if (old == wsNormal) FNormalBounds = BoundsRect();
    FRestoreToMaximized = Value == wsMinimized && old == wsMaximized;
    FWindowState = Value;
    // Back to normal: the bounds kept from before (the window's frame may have changed them).
    if (Value == wsNormal && BoundsRect() != FNormalBounds) SetBoundsRect(FNormalBounds);
    if (!FHandle || !FVisible) return;
    if (auto* r = FindRecord(FHandle); r && r->Widget) {
        if (Value == wsMaximized)
            r->Widget->showMaximized();
        else if (Value == wsMinimized)
            r->Widget->showMinimized();
        else
            r->Widget->showNormal();
    }
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
    if (Control == FActiveControl) return;
    if (Control && (Control == this || !ContainsControl(Control) || Control->ParentForm() != this))
        throw EInvalidOperation("Invalid control for the active control");
    if (Control && FVisible && FHandle && !(ComponentState() & csLoading)) {
        if (!Control->CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
        FActiveControl = Control;
        if (FActive) ::framework::SetFocus(Control->Handle());
        return;
    }
    FActiveControl = Control;
}

void TCustomForm::FocusControl(TWinControl* Control) {
    if (!Control->CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    FActiveControl = Control;
    if (FVisible && FHandle) ::framework::SetFocus(Control->Handle());
}

bool TCustomForm::SetFocusedControl(TWinControl* Control) {
    if (FFocusedControl == Control) {
        FActiveControl = Control;
        return true;
    }
    Screen->SetActiveForm(this);
    TWinControl* old = FFocusedControl;
    FFocusedControl = Control;
    if (Control != this) FActiveControl = Control;
    // Exits go up from the control left to the common parent, enters down to the new control.
    std::vector<TWinControl*> exits, enters;
    for (TWinControl* c = old; c && !(Control && c->ContainsControl(Control)); c = c->Parent())
        exits.push_back(c);
    for (TWinControl* c = Control; c && !(old && c->ContainsControl(old)); c = c->Parent())
        enters.push_back(c);
    for (TWinControl* c : exits)
        if (c != this) c->Perform(CM_EXIT, 0, 0);
    for (auto it = enters.rbegin(); it != enters.rend(); ++it)
        if (*it != this) (*it)->Perform(CM_ENTER, 0, 0);
    if (FFocusedControl == Control) {
        TMessage m{CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(Control), 0};
        Broadcast(m);
    }
    return FFocusedControl == Control;
}

void TCustomForm::DefocusControl(TWinControl* Control, bool Removing) {
    if (Removing && Control->ContainsControl(FFocusedControl)) FFocusedControl = Control->Parent();
    if (Control->ContainsControl(FActiveControl)) {
        FActiveControl = nullptr;
        if (FHandle && GetFocus() && !IsWindow(GetFocus())) ::framework::SetFocus(FHandle);
    }
}

void TCustomForm::ApplyPosition() {
    auto center = [this](TRect area) {
        SetBounds(area.Left + (area.Width() - FWidth) / 2, area.Top + (area.Height() - FHeight) / 2, FWidth,
                  FHeight);
    };
    switch (Position) {
        case poScreenCenter: {
            // The monitor DefaultMonitor names (that of the main or the active form, or the primary).
            TCustomForm* ref = DefaultMonitor == dmMainForm     ? Application->MainForm()
                               : DefaultMonitor == dmActiveForm ? Screen->ActiveForm()
                                                                : nullptr;
            HMONITOR m = ref && ref != this && ref->HandleAllocated()
                             ? MonitorFromWindow(ref->Handle(), MONITOR_DEFAULTTOPRIMARY)
                             : MonitorFromPoint(TPoint{0, 0}, MONITOR_DEFAULTTOPRIMARY);
            TMonitorInfo mi;
            if (DefaultMonitor != dmDesktop && GetMonitorInfo(m, &mi))
                center(mi.rcMonitor);
            else
                center(Bounds(0, 0, Screen->Width(), Screen->Height()));
            break;
        }
        case poDesktopCenter:
            center(Bounds(0, 0, Screen->Width(), Screen->Height()));
            break;
        case poMainFormCenter:
        case poOwnerFormCenter: {
            TCustomForm* ref = Position == poOwnerFormCenter ? dynamic_cast<TCustomForm*>(Owner()) : nullptr;
            if (!ref) ref = Application->MainForm();
            if (ref && ref != this)
                center(ref->BoundsRect());
            else
                center(Bounds(0, 0, Screen->Width(), Screen->Height()));
            break;
        }
        default:
            break;
    }
}

void TCustomForm::SetWindowFocus() {
    if (!FActiveControl || !FActiveControl->CanFocus())
        FActiveControl = FindNextControl(nullptr, true, true, false);
    if (FActiveControl)
        ::framework::SetFocus(FActiveControl->Handle());
    else
        ::framework::SetFocus(FHandle);
}

void TCustomForm::Show() {
    AfterConstruction();
    SetVisible(true);
    BringToFront();
}

void TCustomForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& Action) {
    if (OnClose) OnClose(this, Action);
}

bool TCustomForm::CloseQuery() {
    bool can = true;
    if (OnCloseQuery) OnCloseQuery(this, can);
    return can;
}

void TCustomForm::Close() {
    if (FModal) {
        FModalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (this == Application->MainForm()) {
        Application->MainFormClosed();
        Hide();
        return;
    }
    if (action == caHide)
        Hide();
    else if (action == caMinimize)
        SetWindowState(wsMinimized);
    else if (action == caFree)
        Release();
}

void TCustomForm::CloseModal() {
    TCloseAction action = CloseQuery() ? caHide : caNone;
    if (action != caNone) DoClose(action);
    if (action == caNone) FModalResult = mrNone;
}

void TCustomForm::Release() {
    PostMessage(Handle(), CM_RELEASE, 0, 0);
}

TModalResult TCustomForm::ShowModal() {
    if (FVisible || !FEnabled || FModal) throw EInvalidOperation("Cannot make a visible window modal");
    AfterConstruction();
    if (GetCapture()) SendMessage(GetCapture(), WM_CANCELMODE, 0, 0);
    ReleaseCapture();
    FModal = true;
    std::vector<HWND> disabled;
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* f = Screen->Forms(i);
        if (f == this || !f->HandleAllocated() || !f->Visible()) continue;
        if (IsWindowEnabled(f->FHandle)) {
            EnableWindow(f->FHandle, false);
            disabled.push_back(f->FHandle);
        }
    }
    HWND focusBefore = GetFocus();
    auto restore = [&] {
        for (HWND w : disabled) EnableWindow(w, true);
        FModal = false;
    };
    try {
        FModalResult = mrNone;
        Show();
        if (gAnswerer) gAnswerer->FormShownModal(*this);
        while (FModalResult == mrNone || FModal) {
            if (FModalResult != mrNone) {
                CloseModal();
                if (FModalResult != mrNone) break;
                continue;
            }
            Application->ProcessMessages();
            if (Application->Terminated() && FModalResult == mrNone) FModalResult = mrCancel;
            if (FModalResult != mrNone) continue;
            if (gAnswerer) {
                if (HasPendingMessages() || SynchronizePending()) continue;
                TModalResult r = gAnswerer->ModalIdle(*this);
                FModalResult = r == mrNone ? mrCancel : r;  // an answerer never leaves a form hanging
                continue;
            }
            WaitForInput(20);
        }
        Hide();
    } catch (...) {
        restore();
        if (FVisible) Hide();
        throw;
    }
    restore();
    if (focusBefore && IsWindow(focusBefore)) ::framework::SetFocus(focusBefore);
    return FModalResult;
}

void TCustomForm::Activate() {
    FActive = true;
    Screen->SetActiveForm(this);
    if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
    FActive = false;
    if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_CLOSE:
            Close();
            return;
        case CM_RELEASE:
            Free();
            return;
        case WM_ACTIVATE:
            if (M.WParam) {
                Activate();
                HWND f = GetFocus();
                TWinControl* fc = f ? FindControl(f) : nullptr;
                if (!fc || !ContainsControl(fc)) SetWindowFocus();
            } else {
                Deactivate();
            }
            return;
        case CM_VISIBLECHANGED:
            if (FVisible) {
                ApplyPosition();
                HandleNeeded();
                DoShow();
                if (!FVisible) return;  // OnShow hid it again
                if (FActiveControl == nullptr) FActiveControl = FindNextControl(nullptr, true, true, false);
                ShowWindowRecord(FHandle, true);
                if (FWindowState != wsNormal) {
                    TWindowState s = FWindowState;
                    FWindowState = wsNormal;
                    SetWindowState(s);
                }
                ::framework::SetFocus(0);
                SetWindowFocus();
            } else {
                DoHide();
                if (FHandle) {
                    if (HWND f = GetFocus();
                        f == FHandle || (FindControl(f) && ContainsControl(FindControl(f))))
                        ::framework::SetFocus(0);
                    ShowWindowRecord(FHandle, false);
                }
                if (FActive) {
                    Deactivate();
                    if (Screen->ActiveForm() == this) Screen->SetActiveForm(nullptr);
                }
            }
            return;
        case WM_SYSCOMMAND:
            switch (M.WParam & 0xFFF0) {
                case SC_MINIMIZE:
                    // The main form minimises the whole application, through its window.
                    if (Application && Application->MainForm() == this)
                        SendMessage(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
                    else
                        SetWindowState(wsMinimized);
                    return;
                case SC_MAXIMIZE:
                    SetWindowState(wsMaximized);
                    return;
                case SC_RESTORE:
                    if (Application && Application->MainForm() == this && Application->Minimized())
                        SendMessage(Application->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
                    else
                        SetWindowState(FWindowState == wsMinimized && FRestoreToMaximized ? wsMaximized
                                                                                          : wsNormal);
                    return;
                case SC_CLOSE:
                    Close();
                    return;
                default:
                    TWinControl::Dispatch(M);
                    return;
            }
        case WM_NCLBUTTONDOWN:
            if (M.WParam == static_cast<WPARAM>(HTMENU) && FMenu)
                FMenu->BarClick(static_cast<int16_t>(M.LParam & 0xFFFF),
                                static_cast<int16_t>((M.LParam >> 16) & 0xFFFF));
            return;
        case CM_DIALOGCHAR:
            // Alt+letter: the controls' accelerators first, then the menus of the bar.
            TWinControl::Dispatch(M);
            if (M.Result == 0 && FMenu && (KeyDataToShiftState(static_cast<uint32_t>(M.LParam)) & ssAlt) &&
                FMenu->IsAccelerator(static_cast<uint16_t>(M.WParam)))
                M.Result = 1;
            return;
        case WM_NEXTDLGCTL:
            // lParam nonzero: wParam is the window to focus; else wParam 0 the next control in the
            // tab order, nonzero the previous one.
            if (M.LParam) {
                if (TWinControl* c = FindControl(static_cast<HWND>(M.WParam)); c && c->CanFocus())
                    c->SetFocus();
            } else {
                SelectNext(FActiveControl, M.WParam == 0, true);
            }
            return;
        case CM_DIALOGKEY: {
            int key = static_cast<int>(M.WParam);
            if (key == VK_TAB && GetKeyState(VK_CONTROL) >= 0) {
                SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
                M.Result = 1;
                return;
            }
            if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) {
                if (FActiveControl && FActiveControl->Parent()) {
                    FActiveControl->Parent()->SelectNext(FActiveControl, key == VK_RIGHT || key == VK_DOWN,
                                                         false);
                    M.Result = 1;
                    return;
                }
            }
            TWinControl::Dispatch(M);
            return;
        }
        case WM_SETFOCUS:
            // The form's own window has the focus: give it to the active control.
            if (FActiveControl && FActiveControl != this && FActiveControl->CanFocus() &&
                FActiveControl->HandleAllocated()) {
                ::framework::SetFocus(FActiveControl->FHandle);
                return;
            }
            SetFocusedControl(this);
            return;
        default:
            TWinControl::Dispatch(M);
    }
}

// ---------------------------------------------------------------------------------------------

TCustomFrame::TCustomFrame(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle |= csAcceptsControls;
    FWidth = 320;
    FHeight = 240;
    FParentColor = true;
    FColor = clBtnFace;
}

// ---------------------------------------------------------------------------------------------
// TApplication

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}
TApplication::~TApplication() {
    if (FHandle) DeallocateHWnd(FHandle);
}

HWND TApplication::Handle() {
    if (!FHandle)
        FHandle = AllocateHWnd([this](TMessage& M) {
            if (M.Msg == WM_SYSCOMMAND && (M.WParam & 0xFFF0) == SC_MINIMIZE)
                Minimize();
            else if (M.Msg == WM_SYSCOMMAND && (M.WParam & 0xFFF0) == SC_RESTORE)
                Restore();
            else
                M.Result = DefWindowProc(FHandle, M.Msg, M.WParam, M.LParam);
        });
    return FHandle;
}

void TApplication::Minimize() {
    if (FMinimized) return;
    FMinimized = true;
    // Every shown form goes down with the application; each keeps its own state for the restore.
    for (int i = 0; Screen && i < Screen->FormCount(); ++i)
        if (TCustomForm* f = Screen->Forms(i); f->Visible() && f->HandleAllocated())
            if (auto* r = FindRecord(f->Handle()); r && r->Widget) r->Widget->showMinimized();
    if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
    if (!FMinimized) return;
    FMinimized = false;
    for (int i = 0; Screen && i < Screen->FormCount(); ++i)
        if (TCustomForm* f = Screen->Forms(i); f->Visible() && f->HandleAllocated())
            if (auto* r = FindRecord(f->Handle()); r && r->Widget) {
                if (f->WindowState() == wsMaximized)
                    r->Widget->showMaximized();
                else if (f->WindowState() == wsMinimized)
                    r->Widget->showMinimized();
                else
                    r->Widget->showNormal();
            }
    if (OnRestore) OnRestore(this);
}

void TApplication::Initialize() {
    EnsureGuiApplication();
}

void TApplication::Run() {
    EnsureGuiApplication();
    if (FMainForm && ShowMainForm) FMainForm->Show();
    while (!FTerminated) HandleMessage();
}

void TApplication::Terminate() {
    FTerminated = true;
    PostQuitMessage(0);
}

void TApplication::ResetTerminated() {
    ClearQuitRequest();
    FTerminated = false;
}

void TApplication::MainFormClosed() {
    Terminate();
}

void TApplication::ForgetForm(TCustomForm* Form) {
    if (FMainForm == Form) FMainForm = nullptr;
}

namespace {
// Delivers pending messages; an exception escaping a handler goes to the error handler and the
// delivery goes on with the next message.
int PumpGuarded(TApplication& app) {
    int total = 0;
    for (;;) {
        try {
            total += ProcessPendingMessages();
            if (CheckSynchronize()) ++total;
            return total;
        } catch (...) {
            ++total;
            app.HandleException(&app);
        }
    }
}
}  // namespace

void TApplication::TakeQuitRequest() {
    if (!QuitRequested()) return;
    ClearQuitRequest();
    FTerminated = true;
}

void TApplication::ProcessMessages() {
    PumpGuarded(*this);
    TakeQuitRequest();
}

void TApplication::HandleMessage() {
    if (PumpGuarded(*this) == 0) {
        if (OnIdle) OnIdle(this);
        TakeQuitRequest();
        if (FTerminated) return;
        WaitForInput(20);
    }
    TakeQuitRequest();
}

void TApplication::HandleException(TObject* Sender) {
    std::exception_ptr p = std::current_exception();
    if (!p) return;
    try {
        std::rethrow_exception(p);
    } catch (const EAbort&) {
        // silent by design
    } catch (const std::exception& e) {
        if (OnException)
            OnException(Sender, e);
        else
            ShowException(e);
    } catch (...) {
        Exception e("Unknown error");
        if (OnException)
            OnException(Sender, e);
        else
            ShowException(e);
    }
}

void TApplication::ShowException(const std::exception& E) {
    std::string msg = E.what();
    // The error box ends the message with a full stop, as the messages are written without one.
    if (!msg.empty() && msg.back() > '.') msg += '.';
    MessageBox(msg, Title, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, uint32_t Flags) {
    TMessageBoxRequest r;
    r.Text = Text;
    r.Caption = Caption.empty() ? Title : Caption;
    r.Flags = Flags;
    return ShowMessageBox(r);
}

bool TApplication::HelpCommand(uint32_t Command, uintptr_t Data) {
    bool callHelp = true;
    bool result = false;
    if (OnHelp) result = OnHelp(Command, static_cast<intptr_t>(Data), callHelp);
    if (callHelp && FHelpHandler && !HelpFile.empty()) result = FHelpHandler(HelpFile, Command, Data);
    return result;
}

bool TApplication::HelpContext(int Context) {
    return HelpCommand(HELP_CONTEXT, static_cast<uintptr_t>(Context));
}

bool TApplication::HelpJump(const std::string& JumpID) {
    return HelpCommand(HELP_KEY, reinterpret_cast<uintptr_t>(JumpID.c_str()));
}

// ---------------------------------------------------------------------------------------------
// TScreen

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

void TScreen::SetCursor(TCursor Value) {
    if (Value == FCursor) return;
    bool had = FCursor != crDefault;
    FCursor = Value;
    if (!QCoreApplication::instance() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    if (had) QGuiApplication::restoreOverrideCursor();
    if (Value != crDefault) {
        Qt::CursorShape shape = Qt::ArrowCursor;
        if (Value == crHourGlass || Value == crSQLWait)
            shape = Qt::WaitCursor;
        else if (Value == crAppStart)
            shape = Qt::BusyCursor;
        else if (Value == crIBeam)
            shape = Qt::IBeamCursor;
        else if (Value == crCross)
            shape = Qt::CrossCursor;
        else if (Value == crHandPoint)
            shape = Qt::PointingHandCursor;
        else if (Value == crNone)
            shape = Qt::BlankCursor;
        QGuiApplication::setOverrideCursor(ScreenCursor(Value) ? CursorFor(Value) : QCursor(shape));
    }
}

HCURSOR TScreen::Cursors(TCursor Index) const {
    return ScreenCursor(Index);
}

void TScreen::SetCursors(TCursor Index, HCURSOR Value) {
    SetScreenCursor(Index, Value);
}

TWinControl* TScreen::ActiveControl() const {
    return FActiveForm ? FActiveForm->ActiveControl() : nullptr;
}

int TScreen::Width() const {
    return GetSystemMetrics(SM_CXSCREEN);
}
int TScreen::Height() const {
    return GetSystemMetrics(SM_CYSCREEN);
}

TRect TScreen::WorkAreaRect() const {
    TMonitorInfo mi;
    if (GetMonitorInfo(MonitorFromPoint(TPoint{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi)) return mi.rcWork;
    return Bounds(0, 0, Width(), Height());
}

void TScreen::AddForm(TCustomForm* Form) {
    FForms.push_back(Form);
    Form->FreeNotification(this);
}

void TScreen::RemoveForm(TCustomForm* Form) {
    FForms.erase(std::remove(FForms.begin(), FForms.end(), Form), FForms.end());
    if (FActiveForm == Form) FActiveForm = nullptr;
    Form->RemoveFreeNotification(this);
}

void TScreen::AddDataModule(TDataModule* DataModule) {
    FDataModules.push_back(DataModule);
    DataModule->FreeNotification(this);
}

void TScreen::RemoveDataModule(TDataModule* DataModule) {
    FDataModules.erase(std::remove(FDataModules.begin(), FDataModules.end(), DataModule), FDataModules.end());
    DataModule->RemoveFreeNotification(this);
}

void TScreen::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove) {
        if (auto* d = dynamic_cast<TDataModule*>(AComponent)) {
            d->DoDestroy();
            FDataModules.erase(std::remove(FDataModules.begin(), FDataModules.end(), d), FDataModules.end());
        }
        // Free() tells us before any destructor runs: the form is still whole for OnDestroy.
        if (auto* f = dynamic_cast<TCustomForm*>(AComponent)) {
            f->DoDestroy();
            FForms.erase(std::remove(FForms.begin(), FForms.end(), f), FForms.end());
            if (FActiveForm == f) FActiveForm = nullptr;
        }
    }
    TComponent::Notification(AComponent, Operation);
}

}  // namespace framework
