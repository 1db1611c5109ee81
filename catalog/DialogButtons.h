#pragma once
// The standard buttons of the program's dialogs.

#include "framework/stdctrls/Buttons.h"
#include "framework/ui/Forms.h"

namespace catalog {

// A button of a standard kind (caption, modal result, Default or Cancel) owned by Form and placed
// on Parent. A Help button opens the help topic of *HelpContext as it is when clicked.
framework::TBitBtn* NewDialogButton(framework::TCustomForm& Form, framework::TWinControl& Parent,
                                    const char* Name, framework::TBitBtnKind Kind, int Left, int Top,
                                    const int* HelpContext = nullptr);

}  // namespace catalog
