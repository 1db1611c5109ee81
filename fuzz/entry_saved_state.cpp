// The settings file that window and control state is read back from is outside data: whatever it
// holds, a window with a form state and a component state must open, with bounded lists and a
// window of a sane size, and no crash.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "controls/entry/CtlState.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "framework/ui/Forms.h"

namespace {

using namespace framework;

class TMainForm : public TForm {
public:
    explicit TMainForm(TComponent* AOwner) : TForm(AOwner) {
        auto* store = NewComponent<entry::TCtlRegistryStore>(this);
        Caption1 = NewComponent<TLabel>(this);
        Caption1->SetName("DDirname");
        Caption1->SetParent(this);
        Panel1 = NewComponent<TPanel>(this);
        Panel1->SetName("Panel1");
        Panel1->SetParent(this);
        Memo1 = NewComponent<TMemo>(this);
        Memo1->SetName("Memo1");
        Memo1->SetParent(this);
        FormState = NewComponent<entry::TCtlFormState>(this);
        FormState->SetStorage(store);
        FormState->Options = entry::fsState | entry::fsPosition | entry::fsColor | entry::fsActiveControl |
                             entry::fsDefaultMonitor;
        State = NewComponent<entry::TCtlComponentState>(this);
        State->SetStorage(store);
        State->StoredProperties().SetText(
            "DDirname.Caption\nPanel1.Visible\nPanel1.Color\nPanel1.Font\nPanel1.Align\nMemo1.Lines\n");
    }
    TLabel* Caption1;
    TPanel* Panel1;
    TMemo* Memo1;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* State;
};

std::string ConfigFolder() {
    static const std::string folder = [] {
        char name[] = "/tmp/korvane-fuzz-state-XXXXXX";
        const char* made = ::mkdtemp(name);
        std::string root = made ? made : "/tmp";
        ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::mkdir((root + "/korvane").c_str(), 0700);
        return root + "/korvane";
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = ConfigFolder();
    // Written aside and renamed, as the registry writes it, so that every input is read afresh.
    const std::string temp = folder + "/fuzz.tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    if (std::rename(temp.c_str(), (folder + "/CurrentUser.reg").c_str()) != 0) return 0;

    TMainForm* form = TCustomForm::Create<TMainForm>(Application);
    if (form->Memo1->Lines().Count() > entry::CtlMaxStoredLines) std::abort();
    if (form->Width() > 32767 || form->Height() > 32767) std::abort();
    // Nothing is written back: the file is the input.
    form->FormState->SetActive(false);
    form->State->SetActive(false);
    form->Free();
    return 0;
}

// The font configuration library and the GUI library keep caches for the life of the process;
// they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libQt6Gui.so\n";
}
