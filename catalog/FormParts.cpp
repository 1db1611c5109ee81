#include "catalog/FormParts.h"

namespace catalog {

using namespace framework;

TBitBtn* NewDialogButton(TCustomForm& Form, TWinControl& Parent, const char* Name, TBitBtnKind Kind, int Left,
                         int Top, const int* HelpContext) {
    auto* button = NewComponent<TBitBtn>(&Form);
    button->SetName(Name);
    button->SetParent(&Parent);
    button->SetKind(Kind);
    button->SetBounds(Left, Top, 89, 33);
    if (HelpContext) button->OnClick = [HelpContext](TObject*) { Application->HelpContext(*HelpContext); };
    return button;
}

TPanel* NewPanel(TComponent& Owner, TWinControl& Parent, const char* Name, int Left, int Top, int Width,
                 int Height, TPanelBevel Bevel) {
    auto* panel = NewComponent<TPanel>(&Owner);
    panel->SetName(Name);
    panel->SetParent(&Parent);
    panel->SetBounds(Left, Top, Width, Height);
    panel->SetBevelOuter(Bevel);
    panel->SetCaption("");
    return panel;
}

}  // namespace catalog
