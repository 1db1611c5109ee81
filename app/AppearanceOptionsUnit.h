#pragma once
// TAppearanceOptionsForm: the main window's look. Gradient colours and direction of the main-option
// panel, the sub-option panel and the status panels, the colours of the status headers and values,
// and whether the two button panels are shown; each group has a sample that follows its choices.
// The dialog changes nothing by itself: the command loads it from the main window and applies it on
// OK.

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TCheckBox;
class TComboBox;
class TGroupBox;
class TLabel;
}  // namespace framework
namespace kit {
class TKitColorComboBox;
class TStyledGradient;
}  // namespace kit

namespace app {

class TMainForm;

class TAppearanceOptionsForm : public framework::TForm {
public:
    explicit TAppearanceOptionsForm(framework::TComponent* AOwner);

    int HelpContext = 8;

    framework::TGroupBox *MainGroup, *SubGroup, *StatusGroup;
    kit::TKitColorComboBox *MainFromColor, *MainToColor;
    kit::TKitColorComboBox *SubFromColor, *SubToColor;
    kit::TKitColorComboBox *StatusFromColor, *StatusToColor;
    kit::TKitColorComboBox *StatusHeaderColor, *StatusInfoColor;
    // Item 0 "Left To Right", item 1 "Top To Bottom".
    framework::TComboBox *MainDirection, *SubDirection, *StatusDirection;
    kit::TStyledGradient *MainSample, *SubSample, *StatusSample;
    // The status sample's header and value.
    framework::TLabel* DCHeader;
    framework::TLabel* DisksInCatalog;
    framework::TCheckBox* ShowPanels;
    framework::TLabel* NoteLabel;
    framework::TBitBtn *OKBtn, *CancelBtn, *HelpBtn;
    framework::TBitBtn* BitBtn4;  // "&Defaults"

    // OnShow, and the OnChange of every combo box: the samples take the choices.
    void FormShow(framework::TObject* Sender);
    // "&Defaults": the program's own look, applied only by OK.
    void BitBtn4Click(framework::TObject* Sender);

    // The choices from the main window's gradients, status labels and panels.
    void LoadFrom(const TMainForm& Main);
    // The choices onto the main window, the frame shown in it and its minimum height.
    void ApplyTo(TMainForm& Main) const;

private:
    kit::TKitColorComboBox* NewColorCombo(framework::TGroupBox& Group, const char* Name, int Left, int Top);
    framework::TComboBox* NewDirectionCombo(framework::TGroupBox& Group, const char* Name);
    kit::TStyledGradient* NewGroupRow(framework::TGroupBox& Group, const char* Prefix,
                                      kit::TKitColorComboBox*& From, kit::TKitColorComboBox*& To,
                                      framework::TComboBox*& Direction);
};

// The command: shows the dialog loaded from Main and applies it on OK.
void ShowAppearanceOptions(TMainForm& Main);

}  // namespace app
