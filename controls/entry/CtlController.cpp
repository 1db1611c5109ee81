#include "controls/entry/CtlController.h"

#include "framework/core/DateTime.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"

namespace entry {

using namespace framework;

TCtlController::TCtlController(TComponent* AOwner)
    : TCtlComponent(AOwner), FEntryCommands(std::make_unique<TCtlCommandProcessor>()) {
    uint16_t year = 0, month = 0, day = 0;
    DecodeDate(Now(), year, month, day);
    FEpoch = year / 100 * 100;
    FTimerPool = new TCtlTimerPool(this);
    FTimerPool->OnAllTriggers = [this](TObject* Sender, int32_t Handle, uint32_t Interval, int32_t Elapsed) {
        if (OnTimerTrigger) OnTimerTrigger(Sender, Handle, Interval, Elapsed);
    };
}

TCtlController::~TCtlController() {
    if (FHandle) DeallocateHWnd(FHandle);
    FHandle = 0;
}

void TCtlController::SetEpoch(int32_t Value) {
    if (Value >= 1600 && Value < 4000) FEpoch = Value;
}

int32_t TCtlController::GetEpoch() {
    int32_t epoch = FEpoch;
    if (OnGetEpoch) OnGetEpoch(this, epoch);
    return epoch;
}

void TCtlController::DoOnError(TObject* Sender, uint16_t ErrorCode, const std::string& ErrorMsg) {
    if (OnError) {
        OnError(Sender, ErrorCode, ErrorMsg);
        return;
    }
    MessageDlg(ErrorMsg, mtError, {mbOK}, 0);
}

void TCtlController::DoOnPreEdit(TWinControl* Field, TWinControl* LosingControl) {
    const WPARAM other = LosingControl && LosingControl->HandleAllocated() ? LosingControl->Handle() : 0;
    PostMessage(Handle(), OM_PREEDIT, other, reinterpret_cast<LPARAM>(Field));
}

void TCtlController::DoOnPostEdit(TWinControl* Field, TWinControl* GainingControl) {
    const WPARAM other = GainingControl && GainingControl->HandleAllocated() ? GainingControl->Handle() : 0;
    PostMessage(Handle(), OM_POSTEDIT, other, reinterpret_cast<LPARAM>(Field));
}

bool TCtlController::DoIsSpecialControl(HWND Wnd) {
    bool special = false;
    if (OnIsSpecialControl) OnIsSpecialControl(this, FindControl(Wnd), special);
    return special;
}

HWND TCtlController::Handle() {
    if (!FHandle) FHandle = AllocateHWnd([this](TMessage& M) { WndProc(M); });
    return FHandle;
}

void TCtlController::WndProc(TMessage& Message) {
    try {
        switch (Message.Msg) {
            case OM_SETFOCUS: {
                auto* control = reinterpret_cast<TWinControl*>(Message.LParam);
                if (!control) return;
                control->Show();
                if (control->CanFocus()) control->SetFocus();
                return;
            }
            case OM_PREEDIT:
                if (OnPreEdit)
                    OnPreEdit(reinterpret_cast<TObject*>(Message.LParam),
                              FindControl(static_cast<HWND>(Message.WParam)));
                return;
            case OM_POSTEDIT:
                if (OnPostEdit)
                    OnPostEdit(reinterpret_cast<TObject*>(Message.LParam),
                               FindControl(static_cast<HWND>(Message.WParam)));
                return;
            case OM_DELAYNOTIFY:
                if (OnDelayNotify)
                    OnDelayNotify(reinterpret_cast<TObject*>(Message.LParam), Message.WParamLo());
                return;
            default:
                Message.Result = DefWindowProc(FHandle, Message.Msg, Message.WParam, Message.LParam);
        }
    } catch (...) {
        if (Application) Application->HandleException(this);
    }
}

void TCtlController::DefineProperties(TFiler* Filer) {
    TCtlComponent::DefineProperties(Filer);
    Filer->DefineProperty(
        "EntryCommands.TableList", [this](TReader* R) { FEntryCommands->ReadTables(R); },
        [this](TWriter* W) { FEntryCommands->WriteTables(W); }, FEntryCommands->Count() > 0);
}

}  // namespace entry
