#pragma once
// Parts the program's windows are built of: standard dialog buttons and panels.

#include <functional>
#include <initializer_list>
#include <string>

#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/ui/Forms.h"

namespace framework {
class TLabel;
}
namespace entry {
class TCtlPictureField;
}
namespace grid {
class TCtlNotebook;
}

namespace catalog {

// A button of a standard kind (caption, modal result, Default or Cancel) owned by Form and placed
// on Parent. A Help button opens the help topic of *HelpContext as it is when clicked.
framework::TBitBtn* NewDialogButton(framework::TCustomForm& Form, framework::TWinControl& Parent,
                                    const char* Name, framework::TBitBtnKind Kind, int Left, int Top,
                                    const int* HelpContext = nullptr);

// A panel without a caption owned by Owner, placed on Parent with the outer bevel Bevel.
framework::TPanel* NewPanel(framework::TComponent& Owner, framework::TWinControl& Parent, const char* Name,
                            int Left, int Top, int Width, int Height, framework::TPanelBevel Bevel);

// A label owned by Owner and placed on Parent, Width wide and as high as its lines.
framework::TLabel* NewLabel(framework::TComponent& Owner, framework::TWinControl& Parent, const char* Name,
                            int Left, int Top, int Width, const std::string& Caption);

// A field for a catalog's name length: whole numbers of up to three digits from 16 to High, 16 to
// start with, and a spinner at its right that steps it by 1. The form needs a controller.
entry::TCtlPictureField* NewLengthField(framework::TComponent& Owner, framework::TWinControl& Parent,
                                        const char* Name, int Left, int Top, int High);

// A notebook owned by Owner and placed on Parent with one page per caption, the first page shown.
grid::TCtlNotebook* NewNotebook(framework::TComponent& Owner, framework::TWinControl& Parent,
                                const char* Name, int Left, int Top, int Width, int Height,
                                std::initializer_list<const char*> PageCaptions);

// The error box of the program's windows: a warning beep (unless Beep is false), then Text with an
// OK button.
void ErrorBox(const std::string& Text, bool Beep = true);

// A control of class T owned by Owner, named Name (unless empty) and placed on Parent.
template <class T>
T* NewControl(framework::TComponent& Owner, framework::TWinControl& Parent, const char* Name, int Left,
              int Top, int Width, int Height) {
    auto* control = framework::NewComponent<T>(&Owner);
    if (Name && *Name) control->SetName(Name);
    control->SetParent(&Parent);
    control->SetBounds(Left, Top, Width, Height);
    return control;
}

// Creates a form of class T owned by the application, lets Prepare set it up, shows it modally
// and frees it, also when preparing or showing it raises.
template <class T>
void ShowModalForm(const std::function<void(T&)>& Prepare = {}) {
    auto* form = framework::TCustomForm::Create<T>(framework::Application);
    try {
        if (Prepare) Prepare(*form);
        form->ShowModal();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
}

}  // namespace catalog
