#include "app/AppearanceOptionsUnit.h"

#include <string>

#include "app/MainUnit.h"
#include "app/OptionFrame.h"
#include "catalog/FormParts.h"
#include "controls/kit/KitColorCombo.h"
#include "controls/kit/StyledGrad.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"

namespace app {

using namespace framework;
using kit::TKitColorComboBox;
using kit::TStyledGradient;

namespace {

constexpr int kMinHeightWithPanels = 375;
constexpr int kMinHeightWithoutPanels = 170;
// Columns of a group: starting colour, ending colour, direction, sample.
constexpr int kFromLeft = 12, kToLeft = 164, kDirectionLeft = 316, kSampleLeft = 444;
constexpr int kComboWidth = 144;

int DirectionItem(const TStyledGradient& Gradient) {
    return Gradient.Direction() == kit::dHorizontal ? 0 : 1;
}

// Item 0 is left to right, item 1 top to bottom; no selection keeps the gradient's direction.
void SetDirection(TStyledGradient& Gradient, const TComboBox& Direction) {
    if (Direction.ItemIndex() == 0) Gradient.SetDirection(kit::dHorizontal);
    if (Direction.ItemIndex() == 1) Gradient.SetDirection(kit::dVertical);
}

void SetColors(TStyledGradient& Gradient, const TKitColorComboBox& From, const TKitColorComboBox& To) {
    if (From.SelectedColor() != -1) Gradient.SetFromColor(From.SelectedColor());
    if (To.SelectedColor() != -1) Gradient.SetToColor(To.SelectedColor());
}

void SetGradient(TStyledGradient& Gradient, const TKitColorComboBox& From, const TKitColorComboBox& To,
                 const TComboBox& Direction) {
    SetColors(Gradient, From, To);
    SetDirection(Gradient, Direction);
}

void SetFontColor(TLabel& Label, TColor Color) {
    if (Color == -1) return;
    Label.Font().Color = Color;
    Label.Font().Changed();
    Label.Invalidate();
}

void LoadGradient(const TStyledGradient& Gradient, TKitColorComboBox& From, TKitColorComboBox& To,
                  TComboBox& Direction) {
    From.SetSelectedColor(Gradient.FromColor());
    To.SetSelectedColor(Gradient.ToColor());
    Direction.SetItemIndex(DirectionItem(Gradient));
}

}  // namespace

TAppearanceOptionsForm::TAppearanceOptionsForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("AppearanceOptionsForm");
    SetCaption("Main Window Appearance Options");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(568, 444);

    const auto group = [this](const char* Name, const char* Caption, int Top, int Height) {
        auto* g = NewComponent<TGroupBox>(this);
        g->SetName(Name);
        g->SetParent(this);
        g->SetCaption(Caption);
        g->SetBounds(8, Top, 552, Height);
        return g;
    };
    MainGroup = group("MainGroup", "Main Option Panel Background Colors", 8, 92);
    SubGroup = group("SubGroup", "Sub-Option Panel Background Colors", 108, 92);
    StatusGroup = group("StatusGroup", "Status Panel Colors", 208, 140);
    MainSample = NewGroupRow(*MainGroup, "Main", MainFromColor, MainToColor, MainDirection);
    SubSample = NewGroupRow(*SubGroup, "Sub", SubFromColor, SubToColor, SubDirection);
    StatusSample = NewGroupRow(*StatusGroup, "Status", StatusFromColor, StatusToColor, StatusDirection);
    StatusSample->SetHeight(43);
    DCHeader = catalog::NewLabel(*this, *StatusGroup, "DCHeader", kSampleLeft + 2, 42, 92, "Disks Cataloged");
    DisksInCatalog =
        catalog::NewLabel(*this, *StatusGroup, "DisksInCatalog", kSampleLeft + 2, 60, 92, "123456789");
    for (TLabel* l : {DCHeader, DisksInCatalog}) {
        l->SetAlignment(taCenter);
        l->SetTransparent(true);
        l->SetParentFont(false);
        l->Font().Name = "Arial";
    }
    DCHeader->Font().SetSize(8);
    DCHeader->Font().Style = fsItalic;
    DisksInCatalog->Font().SetSize(10);
    DisksInCatalog->Font().Style = fsBold;
    DisksInCatalog->SetHeight(20);
    catalog::NewLabel(*this, *StatusGroup, "HeaderColorLabel", kFromLeft, 90, 140, "Header Color");
    catalog::NewLabel(*this, *StatusGroup, "InfoColorLabel", kToLeft, 90, 140, "Info Color");
    StatusHeaderColor = NewColorCombo(*StatusGroup, "StatusHeaderColor", kFromLeft, 108);
    StatusInfoColor = NewColorCombo(*StatusGroup, "StatusInfoColor", kToLeft, 108);

    ShowPanels = NewComponent<TCheckBox>(this);
    ShowPanels->SetName("ShowPanels");
    ShowPanels->SetParent(this);
    ShowPanels->SetCaption("Show Menu Button Panels On Main Window");
    ShowPanels->SetBounds(16, 356, 300, 19);
    NoteLabel = catalog::NewLabel(*this, *this, "NoteLabel", 16, 380, 536,
                                  "Note: For A Solid Colored Background, Make Both Colors The Same");

    OKBtn = catalog::NewDialogButton(*this, *this, "OKBtn", bkOK, 90, 404);
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 186, 404);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 282, 404, &HelpContext);
    BitBtn4 = catalog::NewDialogButton(*this, *this, "BitBtn4", bkCustom, 378, 404);
    BitBtn4->SetCaption("&Defaults");
    BitBtn4->OnClick = [this](TObject* Sender) { BitBtn4Click(Sender); };
    OnShow = [this](TObject* Sender) { FormShow(Sender); };
}

TKitColorComboBox* TAppearanceOptionsForm::NewColorCombo(TGroupBox& Group, const char* Name, int Left,
                                                         int Top) {
    auto* combo = NewComponent<TKitColorComboBox>(this);
    combo->SetName(Name);
    combo->SetParent(&Group);
    combo->SetOptions(kit::ColorCBOption(kit::coDefaultColors) | kit::ColorCBOption(kit::coSystemColors) |
                      kit::ColorCBOption(kit::coAllowAnyColor));
    combo->SetBounds(Left, Top, kComboWidth, 22);
    combo->OnChange = [this](TObject* Sender) { FormShow(Sender); };
    return combo;
}

TComboBox* TAppearanceOptionsForm::NewDirectionCombo(TGroupBox& Group, const char* Name) {
    auto* combo = NewComponent<TComboBox>(this);
    combo->SetName(Name);
    combo->SetParent(&Group);
    combo->SetStyle(csDropDownList);
    combo->Items().Add("Left To Right");
    combo->Items().Add("Top To Bottom");
    combo->SetBounds(kDirectionLeft, 40, 120, 22);
    combo->OnChange = [this](TObject* Sender) { FormShow(Sender); };
    return combo;
}

TStyledGradient* TAppearanceOptionsForm::NewGroupRow(TGroupBox& Group, const char* Prefix,
                                                     TKitColorComboBox*& From, TKitColorComboBox*& To,
                                                     TComboBox*& Direction) {
    const std::string prefix = Prefix;
    catalog::NewLabel(*this, Group, (prefix + "FromLabel").c_str(), kFromLeft, 20, 150,
                      "Gradient Starting Color");
    catalog::NewLabel(*this, Group, (prefix + "ToLabel").c_str(), kToLeft, 20, 150, "Gradient Ending Color");
    catalog::NewLabel(*this, Group, (prefix + "DirectionLabel").c_str(), kDirectionLeft, 20, 124,
                      "Gradient Direction");
    catalog::NewLabel(*this, Group, (prefix + "SampleLabel").c_str(), kSampleLeft, 20, 96, "Sample");
    From = NewColorCombo(Group, (prefix + "FromColor").c_str(), kFromLeft, 40);
    To = NewColorCombo(Group, (prefix + "ToColor").c_str(), kToLeft, 40);
    Direction = NewDirectionCombo(Group, (prefix + "Direction").c_str());
    auto* sample = NewComponent<TStyledGradient>(this);
    sample->SetName(prefix + "Sample");
    sample->SetParent(&Group);
    sample->SetColorBands(256);
    sample->SetBounds(kSampleLeft, 38, 96, 40);
    return sample;
}

void TAppearanceOptionsForm::FormShow(TObject*) {
    SetGradient(*MainSample, *MainFromColor, *MainToColor, *MainDirection);
    SetGradient(*SubSample, *SubFromColor, *SubToColor, *SubDirection);
    SetGradient(*StatusSample, *StatusFromColor, *StatusToColor, *StatusDirection);
    SetFontColor(*DCHeader, StatusHeaderColor->SelectedColor());
    SetFontColor(*DisksInCatalog, StatusInfoColor->SelectedColor());
}

void TAppearanceOptionsForm::BitBtn4Click(TObject*) {
    MainFromColor->SetSelectedColor(clTeal);
    MainToColor->SetSelectedColor(clTeal);
    MainDirection->SetItemIndex(1);
    SubFromColor->SetSelectedColor(clNavy);
    SubToColor->SetSelectedColor(clNavy);
    SubDirection->SetItemIndex(1);
    ShowPanels->SetChecked(true);
    StatusFromColor->SetSelectedColor(clBtnFace);
    StatusToColor->SetSelectedColor(clBtnFace);
    StatusDirection->SetItemIndex(1);
    StatusHeaderColor->SetSelectedColor(clBlue);
    StatusInfoColor->SetSelectedColor(clWindowText);
    FormShow(this);
}

void TAppearanceOptionsForm::LoadFrom(const TMainForm& Main) {
    LoadGradient(*Main.MainOptGradient, *MainFromColor, *MainToColor, *MainDirection);
    LoadGradient(*Main.SubOptGradient, *SubFromColor, *SubToColor, *SubDirection);
    LoadGradient(*Main.ACGradient, *StatusFromColor, *StatusToColor, *StatusDirection);
    StatusHeaderColor->SetSelectedColor(Main.DCHeader->Font().Color);
    StatusInfoColor->SetSelectedColor(Main.DisksInCatalog->Font().Color);
    ShowPanels->SetChecked(Main.MainOptPanel->Visible());
}

void TAppearanceOptionsForm::ApplyTo(TMainForm& Main) const {
    const bool panels = ShowPanels->Checked();
    Main.Constraints().SetMinHeight(panels ? kMinHeightWithPanels : kMinHeightWithoutPanels);
    SetGradient(*Main.MainOptGradient, *MainFromColor, *MainToColor, *MainDirection);
    SetGradient(*Main.SubOptGradient, *SubFromColor, *SubToColor, *SubDirection);
    if (Main.Frame) SetGradient(*Main.Frame->Gradient, *SubFromColor, *SubToColor, *SubDirection);
    Main.MainOptPanel->SetVisible(panels);
    Main.SubOptPanel->SetVisible(panels);
    for (TStyledGradient* g : {Main.ACGradient, Main.DCGradient, Main.FCGradient})
        SetGradient(*g, *StatusFromColor, *StatusToColor, *StatusDirection);
    for (TLabel* l : {Main.ACHeader, Main.DCHeader, Main.FCHeader})
        SetFontColor(*l, StatusHeaderColor->SelectedColor());
    for (TLabel* l : {Main.ActiveCatalogName, Main.DisksInCatalog, Main.FilesInCatalog})
        SetFontColor(*l, StatusInfoColor->SelectedColor());
}

void ShowAppearanceOptions(TMainForm& Main) {
    auto* dialog = TCustomForm::Create<TAppearanceOptionsForm>(Application);
    try {
        dialog->LoadFrom(Main);
        if (dialog->ShowModal() == mrOk) dialog->ApplyTo(Main);
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
}

}  // namespace app
