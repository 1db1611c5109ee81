#pragma once
// The kit's application object, the timer pool and the settings-store configuration.
//
// TKitTimerPool drives any number of timer items from one window timer at MinInterval; an item's
// interval is a multiple of MinInterval and it fires every Interval / MinInterval ticks. The pool
// runs on the framework's timer clock, so tests advance time by hand.

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/kit/KitBase.h"
#include "controls/kit/KitUtils.h"
#include "framework/core/Exception.h"
#include "framework/core/Filer.h"
#include "framework/ui/Graphics.h"

namespace platform {
class TNamedMutex;
}

namespace kit {

using framework::Exception;
KORVANE_DECLARE_EXCEPTION(EOutOfResources, Exception);

class TKitTimerPool;

using TKitTimerPoolEvent = std::function<void(framework::TObject* Sender, uint16_t Ident, int Counter)>;
// A timer callback: called with the pool as sender.
using TKitTimerCallback = framework::TNotifyEvent;

class TKitTimerItem : public framework::TObject {
public:
    // Raises EInvalidOperation "TKitTimerItem: Invalid Owner or List" without pool.
    TKitTimerItem(TKitTimerPool* Pool, uint16_t Ident);
    ~TKitTimerItem() override;

    TKitTimerPool* Pool() const { return FPool; }
    uint16_t Ident() const { return FIdent; }
    int CallLimit = -1;  // -1 unlimited
    int Counter() const { return FCounter; }
    bool Enabled() const { return FEnabled; }
    // Ignored when unchanged or when enabling with CallLimit 0; resets Counter.
    void SetEnabled(bool Value);
    uint32_t Interval() const { return FInterval; }
    // Ignored when unchanged or not a multiple of the pool's MinInterval; 0 means MinInterval.
    void SetInterval(uint32_t Value);
    int Ticks() const { return FTicks; }
    TKitTimerCallback OnTimer;

    // Counts the call and calls OnTimer (or the pool's OnTimer); disabled items do nothing.
    void Fire();

private:
    TKitTimerPool* FPool;
    uint16_t FIdent;
    int FCounter = 0;
    bool FEnabled = true;
    uint32_t FInterval = 1000;
    int FTicks = 1;
};

class TKitTimerPool : public TKitCustomComponent {
public:
    explicit TKitTimerPool(framework::TComponent* AOwner);
    // A pool with that MinInterval, for code that makes its own pool.
    TKitTimerPool(framework::TComponent* AOwner, TKitTimerInterval MinInterval);
    ~TKitTimerPool() override;

    TKitTimerInterval MinInterval() const { return FMinInterval; }
    // Takes effect only while loading or designing.
    void SetMinInterval(TKitTimerInterval Value);
    TKitTimerPoolEvent OnTimer;

    // Appends an item and starts the pool; returns its index. An Ident in use raises Exception
    // (list index text); an Interval below MinInterval or not a multiple of it raises Exception
    // "Interval not compatible with MinInterval property!".
    int AddTimerItem(uint16_t Ident, uint32_t Interval, TKitTimerCallback Callback);
    void RemoveTimerItem(uint16_t Ident);
    void Clear();
    TKitTimerItem* ItemByIdent(uint16_t Ident) const;
    int IndexOfIdent(uint16_t Ident) const;
    int Count() const { return static_cast<int>(FItems.size()); }
    int ActiveTimers() const;
    void ActivatePool(bool On);
    bool Active() const { return FActive; }
    int TickCounter() const { return FTickCounter; }

    // One tick of the window timer: fires every enabled item whose turn it is.
    void Tick();

private:
    friend class TKitTimerItem;
    void TimerWndProc(framework::TMessage& Message);
    void Detach(TKitTimerItem* Item);

    TKitTimerInterval FMinInterval = 1000;
    // Owned items. Removing an item during a tick leaves a null hole that the tick closes when it
    // is done, so the walk neither skips nor repeats an item.
    std::vector<TKitTimerItem*> FItems;
    framework::HWND FWindow = 0;
    bool FActive = false;
    int FTickCounter = 0;
    bool FBusy = false;
    bool FInTick = false;
};

enum TKitIniTarget { itAuto, itIniFile, itRegistry };
enum TKitRegRootKey { rpCurrentUser, rpLocalMachine };

// The configuration of the kit's settings store (nothing reads or writes settings through it).
class TKitIniCtrl : public TKitCustomComponent {
public:
    explicit TKitIniCtrl(framework::TComponent* AOwner);

    TKitIniTarget Target() const { return FTarget; }
    void SetTarget(TKitIniTarget Value);
    TKitIniTarget EffectiveTarget() const { return FEffectiveTarget; }
    const std::string& IniFile() const { return FIniFile; }
    // A name without extension gets ".INI".
    void SetIniFile(const std::string& Value);
    TKitPathPrefix IniPrefix = ppWindows;
    TKitRegRootKey RegRoot = rpCurrentUser;
    std::string RegPath;
    bool Common = true;
    std::string User;
    bool NetUser() const { return FNetUser; }
    // Switching on fills User with QueryUserName.
    void SetNetUser(bool Value);
    uint8_t MaxEntries() const { return FMaxEntries; }
    // Ignored when unchanged or above 26 while AlphaCounter is set.
    void SetMaxEntries(uint8_t Value);
    bool AlphaCounter() const { return FAlphaCounter; }
    void SetAlphaCounter(bool Value);
    bool Encoded = false;
    uint16_t EncKey = 0x5A3C;

    virtual std::string QueryUserName() { return CurrentUserName(); }

private:
    TKitIniTarget FTarget = itAuto;
    TKitIniTarget FEffectiveTarget = itRegistry;
    std::string FIniFile;
    bool FNetUser = false;
    uint8_t FMaxEntries = 16;
    bool FAlphaCounter = false;
};

// The error of components of which a form may hold one: kind 0 an invalid owner or a second
// instance on a form, kind 1 a second instance in the program.
class KitEOneInstError : public Exception {
public:
    KitEOneInstError(const std::string& ComponentName, int Kind);
};

// True (a violation) when Owner is missing or not a form while other owners are not accepted, or
// when Owner holds more than one component of InstanceClass.
bool CheckSingleOnOwner(framework::TComponent* Owner, framework::TPersistentClass InstanceClass,
                        bool AcceptOtherOwners);

inline constexpr int KitTimerSlots = 250;
inline constexpr uint16_t KitTimerIdentBase = 0xFD00;

class TKitApplication : public framework::TComponent {
public:
    explicit TKitApplication(framework::TComponent* AOwner);
    ~TKitApplication() override;

    bool UseXPThemes() const { return FUseXPThemes; }
    void SetUseXPThemes(bool Value);
    bool ThemeKitOnly = false;
    int EffectDelay = 3;
    uint32_t Options = 0;
    // The theme library is present and reports an active theme.
    bool ThemesAvailable() const;
    bool UseThemes() const { return FUseXPThemes && ThemesAvailable(); }
    void RefreshThemeState() { FUseXPThemes = ThemesAvailable(); }
    // Tells every visible form and its windowed controls of a theme switch.
    void BroadcastThemeChange();

    // An 8 x 8 bitmap, white with Color wherever x and y differ in parity.
    framework::TBitmap* PatternBitmap(framework::TColor Color);
    framework::TColor PatternColor() const { return FPatternColor; }

    TKitIniCtrl* IniCtrl() const { return FIniCtrl.get(); }
    TKitTimerPool* TimerPool() const { return FTimerPool.get(); }
    // Registers a pool item in the first free of 250 slots; its Ident (0xFD01..), or 0 when every
    // slot is taken.
    uint16_t AddTimer(uint32_t Interval, TKitTimerCallback Callback);
    TKitTimerItem* TimerItem(uint16_t Ident) const { return FTimerPool->ItemByIdent(Ident); }
    void RemoveTimer(uint16_t Ident);

    // Another instance of the program holds the instance mutex.
    bool IsSecondInstance() const { return FIsSecondInstance; }

    TKitPathPrefix LogPrefix = ppProgram;
    const std::string& LogFileName() const { return FLogFileName; }
    // A blank name becomes the program file's name; ".LOG" is added to a name without extension;
    // unless LogPrefix is ppFixed the file goes into the prefix's folder.
    void SetLogFileName(const std::string& Name);
    int LogMaxSize = -1;

    int CheckWidth() const { return FCheckWidth; }
    int CheckHeight() const { return FCheckHeight; }
    int64_t PerformanceFrequency = 1000000;
    std::string DefaultMask = "#tdl";

private:
    bool FUseXPThemes = true;
    framework::TColor FPatternColor = framework::clNone;
    std::unique_ptr<framework::TBitmap> FPattern;
    framework::TComponentPtr<TKitIniCtrl> FIniCtrl;
    framework::TComponentPtr<TKitTimerPool> FTimerPool;
    std::bitset<KitTimerSlots> FSlots;
    bool FIsSecondInstance = false;
    std::unique_ptr<platform::TNamedMutex> FMutex;
    std::string FLogFileName;
    int FCheckWidth = 13;
    int FCheckHeight = 13;
};

// The kit's application object, made (with the theme manager) on first use and freed at exit.
TKitApplication* KitApplication();

}  // namespace kit
