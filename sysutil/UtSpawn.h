#pragma once
// TUtSpawnApplication: opens a document or program with the program associated with it and can
// wait, on a thread of its own, for the started process to end, reporting the end, a time-out or
// a failure through events on the user-interface thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Shell.h"
#include "sysutil/UtBase.h"

namespace framework {
class TEvent;
}

namespace sysutil {

enum TUtSpawnCommand : uint8_t { scOpen, scPrint, scOther };
enum TUtShowState : uint8_t { ssMinimized, ssMaximized, ssNormal, ssMinNotActive };

using TUtSpawnCompletedEvent = std::function<void(framework::TObject* Sender)>;
using TUtSpawnTimeOutEvent = std::function<void(framework::TObject* Sender)>;
using TUtSpawnErrorEvent = std::function<void(framework::TObject* Sender, uint16_t Error)>;

class TUtWaitThread;

class TUtSpawnApplication : public TUtComponent {
public:
    explicit TUtSpawnApplication(framework::TComponent* AOwner);
    // A wait still running is released and its thread joined; its events no longer fire.
    ~TUtSpawnApplication() override;

    const std::string& DefaultDir() const { return FDefaultDir; }
    void SetDefaultDir(const std::string& Value) { FDefaultDir = Value; }
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Value) { FFileName = Value; }
    bool NotifyWhenDone() const { return FNotifyWhenDone; }
    void SetNotifyWhenDone(bool Value) { FNotifyWhenDone = Value; }
    const std::string& RunParameters() const { return FRunParameters; }
    void SetRunParameters(const std::string& Value) { FRunParameters = Value; }
    TUtShowState ShowState() const { return FShowState; }
    void SetShowState(TUtShowState Value) { FShowState = Value; }
    TUtSpawnCommand SpawnCommand() const { return FSpawnCommand; }
    void SetSpawnCommand(TUtSpawnCommand Value) { FSpawnCommand = Value; }
    // Seconds; 0 waits without limit. Negative values and values whose milliseconds exceed a signed
    // 32-bit number (above 2,147,483 s) are ignored.
    int32_t TimeOut() const { return FTimeOut; }
    void SetTimeOut(int32_t Value);
    const std::string& SpawnCommandStr() const { return FSpawnCommandStr; }
    void SetSpawnCommandStr(const std::string& Value) { FSpawnCommandStr = Value; }

    TUtSpawnCompletedEvent OnCompleted;
    TUtSpawnErrorEvent OnSpawnError;
    TUtSpawnTimeOutEvent OnTimeOut;

    // Starts FileName with the verb of SpawnCommand; the started process (which the caller may
    // close), or 0 when nothing was started (OnSpawnError then tells why). Raises EUtSpawnError 250
    // when RunParameters is given without FileName. With NotifyWhenDone a started process is waited
    // for on a thread of its own.
    platform::HPROCESS Execute();

    // Wait threads that have not finished yet.
    int RunningWaits() const;

private:
    void WaitTerminated(TUtWaitThread* Thread);
    void ReapFinishedWaits();

    std::string FDefaultDir;
    std::string FFileName;
    bool FNotifyWhenDone = true;
    std::string FRunParameters;
    TUtShowState FShowState = ssNormal;
    TUtSpawnCommand FSpawnCommand = scOpen;
    int32_t FTimeOut = 0;
    std::string FSpawnCommandStr;

    platform::HPROCESS FProcess = 0;
    std::shared_ptr<framework::TEvent> FWaitEvent;  // the event of the last wait started
    TUtWaitThread* FWaitThread = nullptr;           // the last wait started
    uint32_t FWaitResult = 0;
    std::vector<TUtWaitThread*> FWaits;  // every wait thread not yet deleted
    bool FDestroying = false;
};

}  // namespace sysutil
