#include "app/ProgramEntry.h"

#include <csignal>
#include <memory>

#include "app/MainUnit.h"
#include "app/SplashScreenForm.h"
#include "catalog/Globals.h"
#include "catalog/MessageWindow.h"
#include "catalog/ProgressForm.h"
#include "controls/kit/KitTipDlg.h"
#include "framework/core/Seams.h"
#include "framework/ui/ExtCtrls.h"
#include "platform/Help.h"

namespace app {

using namespace framework;

namespace {
volatile std::sig_atomic_t gCloseRequested = 0;

void RequestClose(int) {
    gCloseRequested = 1;
}

// The handlers of the three end-of-session signals while the entry runs; the previous ones come
// back afterwards.
class TSessionEndSignals {
public:
    TSessionEndSignals() {
        gCloseRequested = 0;
        struct sigaction action {};
        action.sa_handler = RequestClose;
        sigemptyset(&action.sa_mask);
        sigset_t signals;
        sigemptyset(&signals);
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            sigaction(kSignals[i], &action, &FPrevious[i]);
            sigaddset(&signals, kSignals[i]);
        }
        // One sent while the program was starting (blocked by whoever started it) is taken now.
        sigprocmask(SIG_UNBLOCK, &signals, nullptr);
    }
    ~TSessionEndSignals() {
        for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &FPrevious[i], nullptr);
    }
    TSessionEndSignals(const TSessionEndSignals&) = delete;
    TSessionEndSignals& operator=(const TSessionEndSignals&) = delete;

private:
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
    struct sigaction FPrevious[std::size(kSignals)]{};
};

// Frees a shared window and clears its global reference.
template <class T>
void FreeShared(T*& Form) {
    if (Form) Form->Free();
    Form = nullptr;
}
}  // namespace

void ProgramEntry(const std::function<void()>& Running) {
    TSessionEndSignals signals;
    catalog::LastCatalogedLabel = "";
    Application->Initialize();
    Application->ResetTerminated();
    Application->Title = "Korvane";
    // Help requests go to the platform's help viewer; key words come as the address of their text.
    Application->SetHelpHandler([](const std::string& File, uint32_t Command, uintptr_t Data) {
        const bool keyed = Command == platform::HELP_KEY || Command == platform::HELP_PARTIALKEY ||
                           Command == platform::HELP_COMMAND;
        const char* key = keyed && Data ? reinterpret_cast<const char*>(Data) : "";
        return platform::WinHelp(File, Command, keyed ? 0 : static_cast<uint32_t>(Data), key);
    });

    // A close request is taken once the message loop runs; a modal window open before (the folder
    // dialog of a first run) is cancelled first, so that the start-up can reach the loop.
    bool started = false;
    std::unique_ptr<TTimer, void (*)(TTimer*)> closeWatch(NewComponent<TTimer>(nullptr),
                                                          [](TTimer* Timer) { Timer->Free(); });
    closeWatch->SetInterval(100);
    closeWatch->SetOnTimer([&](TObject*) {
        if (!gCloseRequested) return;
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (Screen->Forms(i)->Modal()) Screen->Forms(i)->SetModalResult(mrCancel);
    });

    auto* splash = TCustomForm::Create<TSplashScreenForm>(Application);
    splash->Show();
    Screen->SetCursor(crHourGlass);
    Application->ProcessMessages();

    Application->CreateForm(MainForm);
    Application->CreateForm(catalog::Msg);
    Application->CreateForm(catalog::ProgressForm);
    Sleep(1000);

    MainForm->Show();
    MainForm->SetEnabled(false);
    Application->ProcessMessages();
    Sleep(1000);
    MainForm->SetEnabled(true);

    splash->Free();
    Screen->SetCursor(crDefault);
    if (MainForm->Tips->ShowAtStart) MainForm->Tips->Execute();

    auto previousIdle = Application->OnIdle;
    Application->OnIdle = [&](TObject*) {
        if (!started) {
            started = true;
            if (Running) Running();
        }
        if (gCloseRequested && MainForm) {
            gCloseRequested = 0;
            MainForm->Close();
        }
    };
    try {
        Application->Run();
    } catch (...) {
        Application->OnIdle = previousIdle;
        throw;
    }
    Application->OnIdle = previousIdle;
    closeWatch.reset();

    FreeShared(MainForm);
    FreeShared(catalog::ProgressForm);
    FreeShared(catalog::Msg);
    Application->SetHelpHandler(nullptr);
    Application->ResetTerminated();
}

}  // namespace app
