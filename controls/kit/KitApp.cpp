#include "controls/kit/KitApp.h"

#include <algorithm>
#include <climits>

#include "framework/core/SysUtils.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Resources.h"
#include "platform/Instance.h"
#include "platform/ProgramFolder.h"

namespace kit {

using namespace framework;

namespace {
constexpr UINT KitThemeMessage = 0xB0D6;
constexpr uintptr_t PoolTimerId = 1;
}  // namespace

// ---- TKitTimerItem ------------------------------------------------------------------------------

TKitTimerItem::TKitTimerItem(TKitTimerPool* Pool, uint16_t Ident) : FPool(Pool), FIdent(Ident) {
    if (Pool == nullptr) throw EInvalidOperation(ClassName() + ": Invalid Owner or List");
}

TKitTimerItem::~TKitTimerItem() {
    FEnabled = false;
    OnTimer = nullptr;
    FPool->Detach(this);
}

void TKitTimerItem::SetEnabled(bool Value) {
    if (Value == FEnabled || (Value && CallLimit == 0)) return;
    FEnabled = Value;
    FCounter = 0;
}

void TKitTimerItem::SetInterval(uint32_t Value) {
    uint32_t min = FPool->MinInterval();
    if (Value == 0) Value = min;
    if (Value == FInterval || Value % min != 0) return;
    FTicks = static_cast<int>(Value / min);
    FInterval = Value;
    FCounter = 0;
}

void TKitTimerItem::Fire() {
    if (!FEnabled) return;
    FCounter = FCounter == INT_MAX ? 0 : FCounter + 1;
    if (FCounter == CallLimit) FEnabled = false;
    // The callback may free this item: work from copies and touch nothing of it afterwards.
    TKitTimerPool* pool = FPool;
    if (OnTimer) {
        TKitTimerCallback callback = OnTimer;
        callback(pool);
    } else if (pool->OnTimer) {
        TKitTimerPoolEvent event = pool->OnTimer;
        event(pool, FIdent, FCounter);
    }
}

// ---- TKitTimerPool ------------------------------------------------------------------------------

TKitTimerPool::TKitTimerPool(TComponent* AOwner) : TKitCustomComponent(AOwner) {}

TKitTimerPool::TKitTimerPool(TComponent* AOwner, TKitTimerInterval MinInterval)
    : TKitCustomComponent(AOwner), FMinInterval(MinInterval) {}

TKitTimerPool::~TKitTimerPool() {
    Clear();
    if (FWindow) DeallocateHWnd(FWindow);
}

void TKitTimerPool::SetMinInterval(TKitTimerInterval Value) {
    if (Value < 1 || Value > 65535) return;
    if (ComponentState() & (csLoading | csDesigning)) FMinInterval = Value;
}

int TKitTimerPool::IndexOfIdent(uint16_t Ident) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] && FItems[i]->Ident() == Ident) return static_cast<int>(i);
    return -1;
}

TKitTimerItem* TKitTimerPool::ItemByIdent(uint16_t Ident) const {
    int i = IndexOfIdent(Ident);
    return i < 0 ? nullptr : FItems[static_cast<size_t>(i)];
}

int TKitTimerPool::ActiveTimers() const {
    return static_cast<int>(
        std::count_if(FItems.begin(), FItems.end(), [](auto* i) { return i && i->Enabled(); }));
}

int TKitTimerPool::AddTimerItem(uint16_t Ident, uint32_t Interval, TKitTimerCallback Callback) {
    int existing = IndexOfIdent(Ident);
    if (existing >= 0) throw Exception("List index out of bounds (" + std::to_string(existing) + ")");
    if (Interval < FMinInterval || Interval % FMinInterval != 0)
        throw Exception("Interval not compatible with MinInterval property!");
    auto* item = new TKitTimerItem(this, Ident);
    FItems.push_back(item);
    item->SetInterval(Interval);
    item->OnTimer = std::move(Callback);
    ActivatePool(true);
    return static_cast<int>(FItems.size()) - 1;
}

void TKitTimerPool::Detach(TKitTimerItem* Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it == FItems.end()) return;
    // During a tick the walk goes on by index: leave a hole that the tick closes afterwards.
    if (FInTick)
        *it = nullptr;
    else
        FItems.erase(it);
}

void TKitTimerPool::RemoveTimerItem(uint16_t Ident) {
    BeginUpdate();
    struct EndGuard {
        TKitTimerPool* Pool;
        ~EndGuard() { Pool->EndUpdate(false); }
    } guard{this};
    if (TKitTimerItem* item = ItemByIdent(Ident)) {
        item->SetEnabled(false);
        item->OnTimer = nullptr;
        delete item;  // leaves the list
    }
    if (Count() == 0 || std::all_of(FItems.begin(), FItems.end(), [](auto* i) { return i == nullptr; }))
        ActivatePool(false);
}

void TKitTimerPool::Clear() {
    ActivatePool(false);
    while (!FItems.empty()) {
        TKitTimerItem* item = FItems.back();
        if (item == nullptr)
            FItems.pop_back();
        else
            delete item;  // leaves the list (or leaves a hole during a tick)
        if (!FItems.empty() && FItems.back() == nullptr) FItems.pop_back();
    }
}

void TKitTimerPool::ActivatePool(bool On) {
    if (ComponentState() & csDesigning) return;
    if (FWindow == 0) FWindow = AllocateHWnd([this](TMessage& m) { TimerWndProc(m); });
    FActive = false;
    KillTimer(FWindow, PoolTimerId);
    if (On && ActiveTimers() > 0) {
        if (SetTimer(FWindow, PoolTimerId, FMinInterval) == 0)
            throw EOutOfResources("Not enough timers available");
        FTickCounter = 1;
        FActive = true;
    }
}

void TKitTimerPool::TimerWndProc(TMessage& Message) {
    if (Message.Msg != WM_TIMER) {
        Message.Result = DefWindowProc(FWindow, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    if (FBusy) return;
    FBusy = true;
    try {
        Tick();
    } catch (...) {
        FBusy = false;
        if (Application) Application->HandleException(this);
        return;
    }
    FBusy = false;
}

void TKitTimerPool::Tick() {
    if (Updating()) return;
    bool outer = !FInTick;
    FInTick = true;
    struct TickGuard {
        TKitTimerPool* Pool;
        bool Outer;
        ~TickGuard() {
            if (!Outer) return;
            Pool->FInTick = false;
            auto& items = Pool->FItems;
            items.erase(std::remove(items.begin(), items.end(), nullptr), items.end());
        }
    } guard{this, outer};
    // Items added by a callback wait for the next tick; removed ones leave holes.
    const size_t count = FItems.size();
    for (size_t i = 0; i < count; ++i) {
        TKitTimerItem* item = FItems[i];
        if (item && item->Enabled() && FTickCounter % item->Ticks() == 0) item->Fire();
    }
    FTickCounter = FTickCounter == INT_MAX ? 0 : FTickCounter + 1;
}

// ---- TKitIniCtrl --------------------------------------------------------------------------------

TKitIniCtrl::TKitIniCtrl(TComponent* AOwner) : TKitCustomComponent(AOwner) {}

void TKitIniCtrl::SetTarget(TKitIniTarget Value) {
    FTarget = Value;
    FEffectiveTarget = Value == itAuto ? itRegistry : Value;
}

namespace {
// Whether the file-name part of a Windows path has an extension.
bool HasExtension(const std::string& Name) {
    size_t dot = Name.rfind('.');
    size_t slash = Name.find_last_of("\\:");
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

std::string FileNamePart(const std::string& Name) {
    size_t slash = Name.find_last_of("\\:");
    return slash == std::string::npos ? Name : Name.substr(slash + 1);
}
}  // namespace

void TKitIniCtrl::SetIniFile(const std::string& Value) {
    FIniFile = Value.empty() || HasExtension(Value) ? Value : Value + ".INI";
}

void TKitIniCtrl::SetNetUser(bool Value) {
    FNetUser = Value;
    if (Value) User = QueryUserName();
}

void TKitIniCtrl::SetMaxEntries(uint8_t Value) {
    if (Value == FMaxEntries || (FAlphaCounter && Value > 26)) return;
    FMaxEntries = Value;
}

void TKitIniCtrl::SetAlphaCounter(bool Value) {
    if (Value == FAlphaCounter) return;
    FAlphaCounter = Value;
    if (FMaxEntries > 26) FMaxEntries = 26;
}

// ---- Errors and checks --------------------------------------------------------------------------

KitEOneInstError::KitEOneInstError(const std::string& ComponentName, int Kind)
    : Exception(Kind == 0 ? ComponentName + ":\rInvalid owner (<>TForm) or second instance on a form"
                          : ComponentName + ":\rAlready one " + ComponentName + " control in this project!") {
}

bool CheckSingleOnOwner(TComponent* Owner, TPersistentClass InstanceClass, bool AcceptOtherOwners) {
    if (InstanceClass == nullptr) return false;
    if ((Owner == nullptr || dynamic_cast<TCustomForm*>(Owner) == nullptr) && !AcceptOtherOwners) return true;
    if (Owner == nullptr) return false;
    int count = 0;
    for (int i = 0; i < Owner->ComponentCount(); ++i)
        if (InstanceClass->IsClassOf(Owner->Components(i))) ++count;
    return count > 1;
}

// ---- TKitApplication ----------------------------------------------------------------------------

TKitApplication::TKitApplication(TComponent* AOwner)
    : TComponent(AOwner),
      FIniCtrl(NewComponent<TKitIniCtrl>(nullptr)),
      FTimerPool(NewComponent<TKitTimerPool>(nullptr, TKitTimerInterval{50})) {
    if (!(ComponentState() & csDesigning)) {
        FMutex = std::make_unique<platform::TNamedMutex>(UpperCase(platform::kProgramFileName));
        FIsSecondInstance = FMutex->AlreadyExists();
    }
    SetLogFileName("");
    TBitmap checks;
    if (LoadBitmapResource(checks, OBM_CHECKBOXES, 0)) {
        FCheckWidth = checks.Width() / 4;
        FCheckHeight = checks.Height() / 3;
    }
}

TKitApplication::~TKitApplication() = default;

bool TKitApplication::ThemesAvailable() const {
    // IsThemeActive would be asked here; without the library no theme is active.
    return ThemeLibraryPresent();
}

void TKitApplication::SetUseXPThemes(bool Value) {
    if (Value == FUseXPThemes || (Value && !ThemesAvailable())) return;
    FUseXPThemes = Value;
    if ((ComponentState() & csDesigning) || !ThemeLibraryPresent()) return;
    if (Application) SendMessage(Application->Handle(), WM_THEMECHANGED, 0, 0);
    BroadcastThemeChange();
}

namespace {
void PerformThemeChanged(TWinControl* Control) {
    for (int i = 0; i < Control->ControlCount(); ++i)
        if (auto* child = dynamic_cast<TWinControl*>(Control->Controls(i))) {
            if (child->HandleAllocated()) child->Perform(WM_THEMECHANGED, 0, 0);
            PerformThemeChanged(child);
        }
}
}  // namespace

void TKitApplication::BroadcastThemeChange() {
    if (Screen == nullptr) return;
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* form = Screen->Forms(i);
        if (!form->Visible()) continue;
        TMessage message{KitThemeMessage, 0, 0, 0};
        form->Broadcast(message);
        PerformThemeChanged(form);
        if (!ThemeKitOnly) form->Perform(WM_THEMECHANGED, 0, 0);
    }
}

TBitmap* TKitApplication::PatternBitmap(TColor Color) {
    if (!FPattern) {
        FPattern = std::make_unique<TBitmap>();
        FPattern->SetSize(8, 8);
        FPattern->Canvas().Brush.Color = clWhite;
        FPattern->Canvas().FillRect(TRect{0, 0, 8, 8});
    }
    if (Color != FPatternColor) {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                if ((x + y) % 2 == 1) FPattern->Canvas().SetPixel(x, y, Color);
        FPatternColor = Color;
    }
    return FPattern.get();
}

uint16_t TKitApplication::AddTimer(uint32_t Interval, TKitTimerCallback Callback) {
    for (int s = 0; s < KitTimerSlots; ++s) {
        if (FSlots[static_cast<size_t>(s)]) continue;
        uint16_t ident = static_cast<uint16_t>(KitTimerIdentBase + s + 1);
        FTimerPool->AddTimerItem(ident, Interval, std::move(Callback));
        FSlots[static_cast<size_t>(s)] = true;
        return ident;
    }
    return 0;
}

void TKitApplication::RemoveTimer(uint16_t Ident) {
    if (Ident <= KitTimerIdentBase || Ident > KitTimerIdentBase + KitTimerSlots) return;
    FTimerPool->RemoveTimerItem(Ident);
    FSlots[static_cast<size_t>(Ident - KitTimerIdentBase - 1)] = false;
}

void TKitApplication::SetLogFileName(const std::string& Name) {
    std::string name = Trim(Name).empty() ? std::string(platform::kProgramFileName) : Name;
    if (Trim(Name).empty()) {
        size_t dot = name.rfind('.');
        name = name.substr(0, dot) + ".LOG";
    } else if (!HasExtension(name)) {
        name += ".LOG";
    }
    FLogFileName = LogPrefix == ppFixed ? name : PathPrefix(LogPrefix, true) + FileNamePart(name);
}

TKitApplication* KitApplication() {
    struct TKitGlobals {
        TComponentPtr<TKitApplication> App{NewComponent<TKitApplication>(nullptr)};
        TComponentPtr<TKitXPThemeManager> ThemeManager{NewComponent<TKitXPThemeManager>(nullptr)};
    };
    static TKitGlobals globals;
    return globals.App.get();
}

}  // namespace kit
