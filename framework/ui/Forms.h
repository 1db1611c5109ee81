#pragma once
// Forms, frames, the application object and the screen.
//
// Forms are built in code: a form class's constructor creates and sets up its components (all
// owned by the form, which starts in the loading state), and TCustomForm::Create<T>(Owner) or
// Application->CreateForm(Ref) then finishes the construction: Loaded runs on every component
// of the form and on the form, then OnCreate. A form shown before that finishes it on the spot.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "framework/ui/Controls.h"

namespace framework {

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = uint8_t;
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
// The monitor a form opens on when it positions itself.
enum TDefaultMonitor { dmDesktop, dmPrimary, dmMainForm, dmActiveForm };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TWinControl {
public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    // new T(Owner, args...) followed by AfterConstruction.
    template <class T, class... Args>
    static T* Create(TComponent* AOwner, Args&&... args) {
        T* form = NewComponent<T>(AOwner, std::forward<Args>(args)...);
        form->AfterConstruction();
        return form;
    }
    // Loaded on the components (those still loading), then on the form, then OnCreate; once.
    void AfterConstruction();

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons Value);
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle Value);
    TPosition Position = poDesigned;
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState Value);
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* Control);
    bool KeyPreview = false;
    // The menu bar of the form; its items' shortcuts work from every control of the form.
    class TMainMenu* Menu() const {
        return FMenu;
    }
    void SetMenu(class TMainMenu* Value);
    // A key down that may be a shortcut: OnShortCut first, then the main menu. True when used.
    virtual bool IsShortCut(TMessage& Message);
    std::function<void(TMessage& Message, bool& Handled)> OnShortCut;
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value) { FModalResult = Value; }
    bool Active() const { return FActive; }
    bool Modal() const { return FModal; }

    // Shows the form, disables the other forms, runs messages until ModalResult is set (by a
    // button, Close — which gives mrCancel — or the test driver), closes it and returns the result.
    virtual TModalResult ShowModal();
    void Show();
    void Close();
    // Frees the form once the messages now queued have been handled.
    void Release();
    virtual bool CloseQuery();
    void BringToFront() { TControl::BringToFront(); }

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    // Focus bookkeeping (called by the controls): CM_EXIT/CM_ENTER along the change.
    bool SetFocusedControl(TWinControl* Control);
    void FocusControl(TWinControl* Control);
    void DefocusControl(TWinControl* Control, bool Removing);

    TRect ClientRect() const override;
    TPoint ClientOrigin() const override;
    void Dispatch(TMessage& Message) override;
    // Height of the menu bar above the client area (0 without a menu).
    int MenuHeight() const;

    // Called when the form is freed (through Free, Release or its owner) before its destructors.
    void DoDestroy();

    // ---- Placement ----
    // The bounds the form has when restored (its bounds while wsNormal).
    TRect NormalBounds() const { return FWindowState == wsNormal ? BoundsRect() : FNormalBounds; }
    TPoint MaxPosition() const { return FMaxPosition; }
    void SetMaxPosition(TPoint Value) { FMaxPosition = Value; }
    // A minimised form that was maximised before goes back to maximised.
    bool RestoreToMaximized() const { return FRestoreToMaximized; }
    void SetRestoreToMaximized(bool Value) { FRestoreToMaximized = Value; }
    // Resolution the form was designed at (the screen's: 96).
    int PixelsPerInch = 96;
    TDefaultMonitor DefaultMonitor = dmActiveForm;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    TRect WindowRectForBounds() const override;
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& Action);
    virtual void Activate();
    virtual void Deactivate();
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void FrameSize(int& Frame, int& Caption) const;
    void ApplyMenuBand();
    void ApplyPosition();
    void SetWindowFocus();
    void CloseModal();

    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
    class TMainMenu* FMenu = nullptr;
    TFormStyle FFormStyle = fsNormal;
    TWindowState FWindowState = wsNormal;
    TWinControl* FActiveControl = nullptr;
    TWinControl* FFocusedControl = nullptr;
    TModalResult FModalResult = mrNone;
    bool FActive = false;
    bool FModal = false;
    bool FCreated = false;
    bool FDestroyed = false;
    bool FShown = false;
    TRect FNormalBounds;
    TPoint FMaxPosition{-1, -1};
    bool FRestoreToMaximized = false;
};

class TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;
};

// A reusable panel of controls placed on forms; built in code like a form, set up by its owner.
class TCustomFrame : public TWinControl {
public:
    explicit TCustomFrame(TComponent* AOwner);
};

class TFrame : public TCustomFrame {
public:
    using TCustomFrame::TCustomFrame;
};

// ---- Message boxes and modal answers ----

// What a message box shows. Flags are MB_ values; a richer dialog (kind and button set) may fill
// DlgType and Buttons instead.
struct TMessageBoxRequest {
    std::string Caption;
    std::string Text;
    uint32_t Flags = MB_OK;
    int DlgType = -1;
    uint32_t Buttons = 0;
    int HelpContext = 0;
};

// Installed by a test: sees every modal form and message box and answers them instead of a user.
class TModalAnswerer {
public:
    virtual ~TModalAnswerer() = default;
    // The form is shown modally; the answerer may act on it (keys, clicks) or set ModalResult.
    virtual void FormShownModal(TCustomForm& Form) = 0;
    // Nothing is pending and the form is still open: the result to close it with (not mrNone).
    virtual TModalResult ModalIdle(TCustomForm& Form) = 0;
    // A message box: the ID of the button pressed (IDOK, IDYES, ...) or the modal result.
    virtual int MessageBoxShown(const TMessageBoxRequest& Request) = 0;
};
void SetModalAnswerer(TModalAnswerer* Answerer);
TModalAnswerer* ModalAnswerer();

// Shows a message box (or hands it to the answerer) and returns the button pressed.
int ShowMessageBox(const TMessageBoxRequest& Request);

// ---- The application ----

using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;
using THelpEvent = std::function<bool(uint32_t Command, intptr_t Data, bool& CallHelp)>;
// The help viewer: the platform's help stand-in plugs in here.
using THelpHandler = std::function<bool(const std::string& HelpFile, uint32_t Command, uintptr_t Data)>;

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;

    void Initialize();
    // Creates a form owned by the application; the first one becomes the main form.
    template <class T>
    void CreateForm(T*& Reference) {
        T* form = TCustomForm::Create<T>(this);
        Reference = form;
        if (!FMainForm) FMainForm = form;
    }
    TCustomForm* MainForm() const { return FMainForm; }
    bool ShowMainForm = true;
    // Shows the main form and runs messages until Terminate (or the main form closes).
    void Run();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Lets Run loop again after Terminate: for a program entry run more than once in a process.
    void ResetTerminated();
    // Delivers everything pending, then returns.
    void ProcessMessages();
    // Delivers what is pending, or waits for input when nothing is.
    void HandleMessage();
    // The default handling of an exception escaping an event: OnException when assigned, else
    // a message box with the message; nothing for EAbort. Call inside a catch block.
    void HandleException(TObject* Sender);
    void ShowException(const std::exception& E);
    int MessageBox(const std::string& Text, const std::string& Caption, uint32_t Flags);

    std::string Title;
    std::string HelpFile;
    bool HelpCommand(uint32_t Command, uintptr_t Data);
    bool HelpContext(int Context);
    bool HelpJump(const std::string& JumpID);
    void SetHelpHandler(THelpHandler Handler) { FHelpHandler = std::move(Handler); }
    TExceptionEvent OnException;
    THelpEvent OnHelp;
    TNotifyEvent OnIdle;

    // The application's hidden window: WM_SYSCOMMAND SC_MINIMIZE / SC_RESTORE to it minimise and
    // restore the whole application (the main form minimises through it).
    HWND Handle();
    void Minimize();
    void Restore();
    bool Minimized() const { return FMinimized; }
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;

    // ---- Hints ----
    // The long hint of the control under the pointer; OnHint follows every change.
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value);
    TNotifyEvent OnHint;
    bool ShowHint = true;           // false: no hint windows at all
    uint32_t HintPause = 500;       // resting time before a hint shows
    uint32_t HintShortPause = 50;   // the same when moving on from a showing hint
    uint32_t HintHidePause = 2500;  // how long a hint stays
    // Hides the hint window and forgets the control it was for (a key or a button press does).
    void CancelHint();

    // Called by the main form when it closes.
    void MainFormClosed();
    void ForgetForm(TCustomForm* Form);

private:
    void TakeQuitRequest();
    TCustomForm* FMainForm = nullptr;
    bool FTerminated = false;
    THelpHandler FHelpHandler;
    HWND FHandle = 0;
    bool FMinimized = false;
    std::string FHint;
};

class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* AOwner);

    TCursor Cursor() const { return FCursor; }
    // Cursors by index: the standard ones (negative indexes) and those a program adds with
    // SetCursors(Index, LoadCursor(...)) at positive indexes; TControl::Cursor then shows them.
    HCURSOR Cursors(TCursor Index) const;
    void SetCursors(TCursor Index, HCURSOR Value);
    int PixelsPerInch() const { return 96; }
    // crHourGlass and the others override every window's cursor; crDefault gives them back.
    void SetCursor(TCursor Value);
    int FormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* Forms(int Index) const { return FForms.at(static_cast<size_t>(Index)); }
    TCustomForm* ActiveForm() const { return FActiveForm; }
    TWinControl* ActiveControl() const;
    int Width() const;
    int Height() const;
    // The screen less the task bar: with the offscreen platform, the whole screen.
    TRect WorkAreaRect() const;
    int WorkAreaWidth() const { return WorkAreaRect().Width(); }
    int WorkAreaHeight() const { return WorkAreaRect().Height(); }
    int WorkAreaLeft() const { return WorkAreaRect().Left; }
    int WorkAreaTop() const { return WorkAreaRect().Top; }

    void AddForm(TCustomForm* Form);
    void RemoveForm(TCustomForm* Form);
    // The data modules, in the order they were created.
    int DataModuleCount() const { return static_cast<int>(FDataModules.size()); }
    class TDataModule* DataModules(int Index) const {
        return FDataModules.at(static_cast<size_t>(Index));
    }
    void AddDataModule(class TDataModule* DataModule);
    void RemoveDataModule(class TDataModule* DataModule);
    void SetActiveForm(TCustomForm* Form) { FActiveForm = Form; }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TCursor FCursor = crDefault;
    std::vector<TCustomForm*> FForms;
    std::vector<class TDataModule*> FDataModules;
    TCustomForm* FActiveForm = nullptr;
};

extern TApplication* Application;
extern TScreen* Screen;

// The form a control sits on, or nil.
TCustomForm* GetParentForm(const TControl* Control);

// Shared by forms and data modules. Loaded on every component of Root still loading (children
// first), then on Root. FireNotifyEvent runs Event if bound; an exception goes to the application's
// handler.
void FinishLoading(TComponent* Root);
void FireNotifyEvent(const TNotifyEvent& Event, TComponent* Sender);

}  // namespace framework
