#include "controls/kit/KitBase.h"

#include <algorithm>

#include "controls/kit/KitApp.h"
#include "framework/core/Filer.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "platform/Instance.h"

namespace kit {

using namespace framework;

// ---- TKitCustomComponent ------------------------------------------------------------------------

TKitCustomComponent::TKitCustomComponent(TComponent* AOwner) : TComponent(AOwner) {}

void TKitCustomComponent::EndUpdate(bool DoChange) {
    FUpdating = false;
    if (DoChange) Change();
}

void TKitCustomComponent::Change() {
    if (!FUpdating && OnChange) OnChange(this);
}

void TKitCustomComponent::ChildChanged(TObject*) {
    Change();
}

bool TKitCustomComponent::UseThemes() const {
    return ThemeAware && ThemeLibraryPresent() && KitApplication()->UseThemes();
}

// ---- Change links and containers ----------------------------------------------------------------

TKitChangeLink::~TKitChangeLink() {
    if (Sender) Sender->UnregisterLink(this);
}

void TKitChangeLink::Notify() {
    if (OnChange) OnChange(Sender);
}

TKitBaseContainer::TKitBaseContainer(TComponent* AOwner) : TKitCustomComponent(AOwner) {}

TKitBaseContainer::~TKitBaseContainer() {
    for (TKitChangeLink* link : FLinks) link->Sender = nullptr;
}

void TKitBaseContainer::RegisterLink(TKitChangeLink* Link) {
    if (Link == nullptr) return;
    if (Link->Sender) Link->Sender->UnregisterLink(Link);
    Link->Sender = this;
    FLinks.push_back(Link);
}

void TKitBaseContainer::UnregisterLink(TKitChangeLink* Link) {
    auto it = std::find(FLinks.begin(), FLinks.end(), Link);
    if (it == FLinks.end()) return;
    Link->Sender = nullptr;
    FLinks.erase(it);
}

void TKitBaseContainer::Change() {
    // A link's handler may detach links: walk a copy, skipping those gone meanwhile.
    std::vector<TKitChangeLink*> links = FLinks;
    for (TKitChangeLink* link : links)
        if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end()) link->Notify();
    TKitCustomComponent::Change();
}

std::string ListSignature(int Kind) {
    static const char* const signatures[] = {"KitIML30", "KitBML30", "KitWVL30",
                                             "KitSLL30", "KitGLL50", "KitRTL50"};
    return Kind >= 0 && Kind < 6 ? signatures[Kind] : "";
}

TKitCustomContainer::TKitCustomContainer(TComponent* AOwner, TKitListKind Kind)
    : TKitBaseContainer(AOwner), FListKind(Kind) {}
// The container's items, its streams and its destructor are in KitContainer.cpp.

namespace {
std::vector<TKitCustomImageList*>& GlobalLists() {
    static std::vector<TKitCustomImageList*> lists;
    return lists;
}
}  // namespace

void RegisterGlobalImageList(TKitCustomImageList* List) {
    if (List && !IsGlobalImageList(List)) GlobalLists().push_back(List);
}

void UnregisterGlobalImageList(TKitCustomImageList* List) {
    auto& lists = GlobalLists();
    lists.erase(std::remove(lists.begin(), lists.end(), List), lists.end());
}

TKitCustomImageList* GlobalImageList(const std::string& Signature) {
    for (TKitCustomImageList* list : GlobalLists())
        if (ListSignature(list->ListKind()) == Signature) return list;
    return nullptr;
}

bool IsGlobalImageList(const TKitCustomImageList* List) {
    const auto& lists = GlobalLists();
    return List != nullptr && std::find(lists.begin(), lists.end(), List) != lists.end();
}

// ---- TKitContainerComponent ---------------------------------------------------------------------

TKitContainerComponent::TKitContainerComponent(TComponent* AOwner) : TKitCustomComponent(AOwner) {
    FLink.OnChange = [this](TObject*) { ImageChanged(0); };
}

TKitContainerComponent::~TKitContainerComponent() {
    if (FImageList) {
        FImageList->UnregisterLink(&FLink);
        FImageList->RemoveFreeNotification(this);
    }
}

void TKitContainerComponent::SetImageList(TKitCustomImageList* Value) {
    if (FImageList) {
        FImageList->UnregisterLink(&FLink);
        FImageList->RemoveFreeNotification(this);
    }
    FImageList = Value;
    if (FImageList) {
        FImageList->RegisterLink(&FLink);
        FImageList->FreeNotification(this);
    }
    ImageChanged(0);
}

void TKitContainerComponent::SetIndex(int Which, int Value) {
    Which &= 1;
    if (Value < 0 || Value == FIndex[Which]) return;
    FIndex[Which] = Value;
    if (FImageList) ImageChanged(0);
}

void TKitContainerComponent::ImageChanged(int) {}

void TKitContainerComponent::Notification(TComponent* AComponent, TOperation Operation) {
    TKitCustomComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && FImageList != nullptr && AComponent == FImageList) SetImageList(nullptr);
}

void TKitContainerComponent::DefineProperties(TFiler* Filer) {
    TKitCustomComponent::DefineProperties(Filer);
    Filer->DefineProperty(
        "Internal", [this](TReader* Reader) { SetImageList(GlobalImageList(Reader->ReadString())); },
        [this](TWriter* Writer) { Writer->WriteString(ListSignature(FImageList->ListKind())); },
        IsGlobalImageList(FImageList));
}

// ---- TKitWndProcComponent -----------------------------------------------------------------------

TKitWndProcComponent::TKitWndProcComponent(TComponent* AOwner) : TKitCustomComponent(AOwner) {
    if (auto* form = dynamic_cast<TCustomForm*>(AOwner)) {
        if (form->FormStyle() == fsMDIChild) FOwnerMDIKind = 1;
        if (form->FormStyle() == fsMDIForm) FOwnerMDIKind = 2;
    }
}

TKitWndProcComponent::~TKitWndProcComponent() {
    Deactivate();
}

HWND TKitWndProcComponent::HookTarget() {
    // There is no separate MDI client window: an MDI parent form is hooked itself.
    auto* control = dynamic_cast<TWinControl*>(Owner());
    if (control == nullptr) return 0;
    try {
        return control->Handle();
    } catch (const std::exception&) {
        return 0;
    }
}

bool TKitWndProcComponent::Install() {
    if (FHooked || (Designing() && !DesignActive)) return false;
    HWND target = HookTarget();
    if (target == 0) return false;
    try {
        FDestroyingTarget = false;
        if (HookApplication && Application != nullptr) {
            FAppWnd = Application->Handle();
            FOldAppProc = SetWindowProc(FAppWnd, [this](TMessage& m) {
                if (!AppHook(m)) m.Result = CallWindowProc(FOldAppProc, FAppWnd, m.Msg, m.WParam, m.LParam);
            });
        }
        FTarget = target;
        FOldProc = SetWindowProc(target, [this](TMessage& m) { WndProc(m); });
        FHooked = true;
    } catch (...) {
        Deactivate();
        throw;
    }
    return true;
}

bool TKitWndProcComponent::Activate() {
    if (FEnabled && !FHooked) Install();
    return FHooked;
}

void TKitWndProcComponent::Deactivate() {
    // The procedures taken off are kept until the next change: one of them may be running now.
    if (FTarget != 0 && FHooked && IsWindow(FTarget)) FRetired[0] = SetWindowProc(FTarget, FOldProc);
    if (FAppWnd != 0 && IsWindow(FAppWnd)) FRetired[1] = SetWindowProc(FAppWnd, FOldAppProc);
    FOldProc = nullptr;
    FOldAppProc = nullptr;
    FTarget = 0;
    FAppWnd = 0;
    FHooked = false;
    FDestroyingTarget = false;
}

void TKitWndProcComponent::SetEnabled(bool Value) {
    FEnabled = Value;
    if (!Designing()) {
        if (Value)
            Activate();
        else
            Deactivate();
    }
    EnabledChanged();
}

void TKitWndProcComponent::Loaded() {
    TKitCustomComponent::Loaded();
    if (!Designing() || DesignActive) Activate();
}

void TKitWndProcComponent::DesignStateChanged() {
    if (Designing() && !DesignActive) Deactivate();
}

bool TKitWndProcComponent::CanPaint() const {
    auto* control = dynamic_cast<TWinControl*>(Owner());
    return control != nullptr && control->HandleAllocated() &&
           (ComponentState() & (csLoading | csDestroying)) == 0;
}

bool TKitWndProcComponent::AppHook(TMessage&) {
    return false;
}

void TKitWndProcComponent::WndProc(TMessage& Message) {
    HWND target = FTarget;
    TWndMethod old = FOldProc;  // the hook may be removed while the message runs
    if (!FDestroyingTarget && Message.Msg == WM_DESTROY) {
        FDestroyingTarget = true;
        if (FOwnerMDIKind == 1) Deactivate();
    }
    // Every message, also those after WM_DESTROY, goes on to the previous procedure.
    Message.Result = CallWindowProc(old, target, Message.Msg, Message.WParam, Message.LParam);
}

void TKitXPThemeManager::WndProc(TMessage& Message) {
    if (Message.Msg == WM_CREATE) KitApplication()->RefreshThemeState();
    if (Message.Msg == WM_THEMECHANGED && KitApplication()->UseThemes()) {
        KitApplication()->SetUseXPThemes(false);
        KitApplication()->SetUseXPThemes(true);
    }
    TKitWndProcComponent::WndProc(Message);
}

// ---- Theme library ------------------------------------------------------------------------------

bool ThemeLibraryPresent() {
    return false;
}

void* ThemeEntryPoint(const std::string&) {
    return nullptr;
}

// ---- System information -------------------------------------------------------------------------

const TKitSystemFlags& SystemFlags() {
    static const TKitSystemFlags flags;
    return flags;
}

int ColorDepth() {
    // The screen's context stands for a context made for the display.
    HDC dc = GetDC(0);
    int depth = GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(0, dc);
    return depth;
}

std::string CurrentUserName() {
    std::string name = platform::GetUserName();
    if (name.size() > 63) name.resize(63);
    return name.empty() ? "(Unknown)" : name;
}

void CaptionGeometry(HWND Window, TRect& BarRect, TRect& TextRect, uint32_t& Flags) {
    uint32_t style = GetWindowLong(Window, GWL_STYLE);
    uint32_t exStyle = GetWindowLong(Window, GWL_EXSTYLE);
    auto* control = FindControl(Window);
    int width = control ? control->Width() : 0;
    const int cxBorder = GetSystemMetrics(SM_CXBORDER), cyBorder = GetSystemMetrics(SM_CYBORDER);
    const bool tool = (exStyle & WS_EX_TOOLWINDOW) != 0;
    Flags &= cgBarToTextEnd | cgOwnerDrawn | cgSingleBorder;

    // 1. The bar, its height by caption size (the system has new-style controls).
    BarRect = TRect{0, 0, width, GetSystemMetrics(SM_CYCAPTION)};
    if (tool) {
        BarRect.Bottom = GetSystemMetrics(SM_CYSMCAPTION);
        Flags |= cgSmallCaption;
    }
    const TRect unmoved = BarRect;

    // 2. Inside the frame.
    auto inset = [&](int cx, int cy) {
        BarRect.Left += cx;
        BarRect.Top += cy;
        BarRect.Right -= cx;
        BarRect.Bottom += cy - cyBorder;
    };
    if (style & WS_THICKFRAME)
        inset(GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME));
    else if (exStyle & WS_EX_DLGMODALFRAME)
        inset(GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYDLGFRAME));
    else {
        BarRect.Left += 3 * cxBorder;
        BarRect.Top += 3 * cyBorder;
        BarRect.Right -= 3 * cxBorder;
        BarRect.Bottom += 2 * cyBorder;
    }

    // 3. The text area.
    const bool small = (Flags & cgSmallCaption) != 0;
    TextRect = small ? unmoved : BarRect;
    const bool shown = control != nullptr && IsWindowVisible(Window);
    if (!shown) {
        TextRect = unmoved;
    } else {
        const int b = GetSystemMetrics(small ? SM_CXSMSIZE : SM_CXSIZE);
        const int e = 2 * cxBorder;
        const bool minimized = (style & WS_MINIMIZE) != 0;
        if (style & WS_SYSMENU) {
            if (!minimized) TextRect.Right -= b + 3 * cxBorder;
            if (((style & WS_THICKFRAME) && !small) || (Flags & cgSingleBorder)) {
                Flags |= cgIconShown;
                TextRect.Left += GetSystemMetrics(SM_CXSMICON) + GetSystemMetrics(SM_CXFRAME);
                if (minimized)
                    Flags |= cgMinimized;
                else
                    TextRect.Left += cxBorder;
            }
            if (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))
                TextRect.Right -= 2 * b;
            else if (exStyle & WS_EX_CONTEXTHELP)
                TextRect.Right -= b + cxBorder;
            if (tool) {
                TextRect.Left += 4 * cxBorder;
                TextRect.Top += 3 * cxBorder;
                TextRect.Right -= e;
            }
        } else {
            TextRect.Left += e;
        }
        if (TextRect.Left == BarRect.Left) TextRect.Left += e;
    }

    // 4. Final adjustments.
    if (Flags & cgMinimized) BarRect.Bottom -= cyBorder;
    TextRect.Bottom = BarRect.Bottom;
    if (Flags & cgBarToTextEnd) BarRect.Right = TextRect.Right;
    if ((Flags & cgIconShown) && (Flags & cgOwnerDrawn)) {
        BarRect.Left = TextRect.Left;
        TextRect.Left += 2 * cxBorder;
    }
}

}  // namespace kit
