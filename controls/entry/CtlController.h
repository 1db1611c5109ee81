#pragma once
// The controller: the shared back end of the library's controls on one form. It owns the key
// command processor, the entry options, the date epoch, the shared insert mode and error state of
// the entry fields, a timer pool, and the events through which the application hears of errors,
// of the focus moving between entry fields and of timer triggers.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/entry/CtlBase.h"
#include "controls/entry/CtlCommands.h"
#include "controls/entry/TimerPool.h"

namespace entry {

enum TCtlBaseEFOption : uint8_t {
    efoAutoAdvanceChar = 1u << 0,
    efoAutoAdvanceLeftRight = 1u << 1,
    efoAutoAdvanceUpDown = 1u << 2,
    efoAutoSelect = 1u << 3,
    efoBeepOnError = 1u << 4,
    efoInsertPushes = 1u << 5,
};
using TCtlBaseEFOptions = uint8_t;
constexpr TCtlBaseEFOptions efoDefaultOptions = efoAutoSelect | efoBeepOnError | efoInsertPushes;

using TDelayNotifyEvent = std::function<void(framework::TObject* Sender, uint16_t NotifyCode)>;
using TDataErrorEvent =
    std::function<void(framework::TObject* Sender, uint16_t ErrorCode, const std::string& ErrorMsg)>;
using TGetEpochEvent = std::function<void(framework::TObject* Sender, int32_t& Epoch)>;
using TIsSpecialControlEvent =
    std::function<void(framework::TObject* Sender, framework::TWinControl* Control, bool& Special)>;
using TPostEditEvent =
    std::function<void(framework::TObject* Sender, framework::TWinControl* GainingControl)>;
using TPreEditEvent = std::function<void(framework::TObject* Sender, framework::TWinControl* LosingControl)>;

class TCtlController : public TCtlComponent {
public:
    explicit TCtlController(framework::TComponent* AOwner);
    ~TCtlController() override;

    TCtlCommandProcessor& EntryCommands() { return *FEntryCommands; }
    TCtlBaseEFOptions EntryOptions = efoDefaultOptions;
    // The century window base for two-digit years; only 1600 <= Value < 4000 is taken.
    int32_t Epoch() const { return FEpoch; }
    void SetEpoch(int32_t Value);
    // Epoch, through OnGetEpoch when bound.
    int32_t GetEpoch();
    bool ErrorPending = false;
    std::string ErrorText;
    bool InsertMode = true;
    TCtlTimerPool& TimerPool() { return *FTimerPool; }

    TDelayNotifyEvent OnDelayNotify;
    TDataErrorEvent OnError;
    TGetEpochEvent OnGetEpoch;
    TIsSpecialControlEvent OnIsSpecialControl;
    TPostEditEvent OnPostEdit;
    TPreEditEvent OnPreEdit;
    TTriggerEvent OnTimerTrigger;

    // OnError when bound, else an error box with an OK button.
    void DoOnError(framework::TObject* Sender, uint16_t ErrorCode, const std::string& ErrorMsg);
    // Post OM_PREEDIT / OM_POSTEDIT to the controller window (wParam: the other control's window).
    void DoOnPreEdit(framework::TWinControl* Field, framework::TWinControl* LosingControl);
    void DoOnPostEdit(framework::TWinControl* Field, framework::TWinControl* GainingControl);
    virtual bool DoIsSpecialControl(framework::HWND Handle);

    // The controller window, made on first request.
    framework::HWND Handle();

    // "EntryCommands.TableList" streams the processor's tables with the controller.
    void DefineProperties(framework::TFiler* Filer) override;

private:
    void WndProc(framework::TMessage& Message);

    std::unique_ptr<TCtlCommandProcessor> FEntryCommands;
    int32_t FEpoch;
    framework::HWND FHandle = 0;
    TCtlTimerPool* FTimerPool;  // owned as a component
};

}  // namespace entry
