#pragma once
// The tip-of-the-day dialog component and the base it shares with the kit's other dialog
// components: the window is built in code on every run (a pale panel with a light bulb, a header
// and the tip, buttons to step through the tips and a check box "Show tips at every start") and
// freed when it closes.

#include <memory>
#include <string>
#include <vector>

#include "controls/kit/KitBase.h"
#include "controls/kit/KitFace.h"
#include "framework/core/Strings.h"
#include "framework/ui/Forms.h"

namespace framework {
class TLabel;
}

namespace kit {

class TKitButton;
class TKitCheckBox;
class TKitSimplePanel;
class TKitNImage;
class TKitFormStyler;
class TKitBack;

// The program's numbered bitmap of the light bulb: 30 × 40, 16 colours, on red.
inline constexpr int LightBulbResource = 16816;
// Registers the light bulb with the program's resources (once).
void RegisterLightBulb();

class TKitBaseDialog : public TKitContainerComponent {
public:
    explicit TKitBaseDialog(framework::TComponent* AOwner);
    ~TKitBaseDialog() override;

    const std::string& CaptionTitle() const { return FCaptionTitle; }
    // While the window is shown it takes the new caption at once.
    virtual void SetCaptionTitle(const std::string& Value);
    std::string CustomButton;
    TKitDlgEffect Effect = deNone;
    framework::TStringList& Hints() { return *FHints; }
    void SetHints(framework::TStrings* Value) { FHints->Assign(Value); }
    bool ShowHints = true;
    bool CaptionFill = false;
    uint8_t Colors = 32;
    TKitDlgPosition Position = bpCenter;
    TKitDlgPosRel RelatePos = brScreen;
    framework::TNotifyEvent OnCustomize;
    framework::TNotifyEvent OnCustomClick;

    // Runs the dialog; False here.
    virtual bool Execute() { return false; }
    // The window while it is shown modally, else none.
    framework::TCustomForm* ShownWindow() const { return FShown; }

protected:
    // Captions, places and shows Window modally; returns its modal result.
    framework::TModalResult RunDialog(framework::TCustomForm* Window, framework::TControl* Anchor,
                                      const std::string& DefaultCaption, TKitBack* Back,
                                      TKitFormStyler* Styler, TKitButton* Extra);

private:
    std::string FCaptionTitle;
    std::unique_ptr<framework::TStringList> FHints;
    framework::TCustomForm* FShown = nullptr;
};

enum TKitTipsDialogMode { moNormal, moStart };

class TKitTipDlg : public TKitBaseDialog {
public:
    explicit TKitTipDlg(framework::TComponent* AOwner);
    ~TKitTipDlg() override;

    framework::TStringList& Tips() { return *FTips; }
    void SetTips(framework::TStrings* Value) { FTips->Assign(Value); }
    int TipsCount() const { return FTips->Count(); }
    std::string CaptionHeader;
    std::string CaptionHelp;
    int HelpContext = 0;
    int FirstHintNumber = -1;
    bool ShowAtStart = false;
    bool HideShowAtStart = false;
    TKitTipsDialogMode Mode = moNormal;

    // Always False.
    bool Execute() override;
    void SetCaptionTitle(const std::string& Value) override;

    // The controls of the open window (none while it is closed).
    framework::TCustomForm* Window() const { return FWindow; }
    framework::TLabel* TipLabel() const { return FTipLabel; }
    framework::TLabel* HeaderLabel() const { return FHeaderLabel; }
    TKitButton* OkButton() const { return FOk; }
    TKitButton* NextButton() const { return FNext; }
    TKitButton* PreviousButton() const { return FPrevious; }
    TKitButton* ExtraButton() const { return FExtra; }
    TKitButton* HelpButton() const { return FHelp; }
    TKitCheckBox* CheckBox() const { return FCheckBox; }
    TKitSimplePanel* Panel() const { return FPanel; }
    TKitNImage* Image() const { return FImage; }
    TKitFormStyler* Styler() const { return FStyler; }
    // The tip numbers shown in this run, in order.
    const std::vector<int>& History() const { return FHistory; }

private:
    framework::TCustomForm* BuildWindow();
    void FirstActivation();
    void NextTip();
    void PreviousTip();
    void ShowTip(int Number);
    void UpdateButtons();
    void Forget();

    std::unique_ptr<framework::TStringList> FTips;
    framework::TCustomForm* FWindow = nullptr;
    framework::TLabel* FTipLabel = nullptr;
    framework::TLabel* FHeaderLabel = nullptr;
    TKitButton* FOk = nullptr;
    TKitButton* FNext = nullptr;
    TKitButton* FPrevious = nullptr;
    TKitButton* FExtra = nullptr;
    TKitButton* FHelp = nullptr;
    TKitCheckBox* FCheckBox = nullptr;
    TKitSimplePanel* FPanel = nullptr;
    TKitNImage* FImage = nullptr;
    TKitFormStyler* FStyler = nullptr;
    TKitBack* FBack = nullptr;
    std::vector<int> FHistory;
    int FPosition = 0;
    bool FFirstPending = false;
    bool FActivated = false;
};

}  // namespace kit
