#include "catalog/FormParts.h"

#include <algorithm>

#include "controls/entry/CtlPictureField.h"
#include "controls/entry/CtlSpinner.h"
#include "controls/grid/CtlNotebook.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Label.h"
#include "platform/Beep.h"

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

TLabel* NewLabel(TComponent& Owner, TWinControl& Parent, const char* Name, int Left, int Top, int Width,
                 const std::string& Caption) {
    auto* label = NewComponent<TLabel>(&Owner);
    label->SetName(Name);
    label->SetParent(&Parent);
    label->SetAutoSize(false);
    const int lines = 1 + int(std::count(Caption.begin(), Caption.end(), '\n'));
    label->SetBounds(Left, Top, Width, lines * 16);
    label->SetCaption(Caption);
    return label;
}

entry::TCtlPictureField* NewLengthField(TComponent& Owner, TWinControl& Parent, const char* Name, int Left,
                                        int Top, int High) {
    auto* field = NewComponent<entry::TCtlPictureField>(&Owner);
    field->SetName(Name);
    field->SetParent(&Parent);
    field->SetBounds(Left, Top, 41, 23);
    field->SetDataType(entry::pftInteger);
    field->SetPictureMask("iii");
    field->SetRangeHi(std::to_string(High));
    field->SetRangeLo("16");
    field->SetAsInteger(16);
    auto* spinner = NewComponent<entry::TCtlSpinner>(&Owner);
    spinner->SetName(std::string(Name) + "Spinner");
    spinner->SetParent(&Parent);
    spinner->SetBounds(Left + 41, Top, 16, 23);
    spinner->Delta = 1;
    spinner->WrapMode = false;
    spinner->SetFocusedControl(field);
    return field;
}

grid::TCtlNotebook* NewNotebook(TComponent& Owner, TWinControl& Parent, const char* Name, int Left, int Top,
                                int Width, int Height, std::initializer_list<const char*> PageCaptions) {
    auto* book = NewComponent<grid::TCtlNotebook>(&Owner);
    book->SetName(Name);
    book->SetParent(&Parent);
    book->SetBounds(Left, Top, Width, Height);
    // Built as a stored form is read, so that only the first page shows and no page event fires.
    book->Loading();
    for (const char* caption : PageCaptions) {
        auto* page = NewComponent<grid::TCtlTabPage>(book);
        page->Loading();
        page->SetCaption(caption);
    }
    book->SetPageIndex(0);
    for (int i = 0; i < book->PageCount(); ++i) book->Pages(i)->Loaded();
    book->Loaded();
    return book;
}

void ErrorBox(const std::string& Text, bool Beep) {
    if (Beep) platform::MessageBeep(platform::MB_ICONHAND);
    framework::MessageDlg(Text, framework::mtError, {framework::mbOK}, 0);
}

}  // namespace catalog
