#include "controls/kit/KitTipDlg.h"

#include <algorithm>

#include "controls/kit/KitButton.h"
#include "controls/kit/KitCheckBox.h"
#include "controls/kit/KitFormFill.h"
#include "controls/kit/KitImage.h"
#include "framework/core/Seams.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/TypInfo.h"
#include "framework/ui/Resources.h"

namespace kit {

using namespace framework;

namespace {
constexpr TColor PanelColor = 0x00DFFFFF;

// The light bulb: a yellow glass with an exclamation mark on a grey screw base, on red.
void DrawLightBulb(TBitmap& B) {
    B.SetPixelFormat(pf24bit);
    B.SetSize(30, 40);
    TCanvas& c = B.Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color = clRed;
    c.FillRect(TRect{0, 0, 30, 40});
    c.Pen.Color = clBlack;
    c.Pen.Style = psSolid;
    c.Brush.Color = clYellow;
    c.Ellipse(3, 1, 27, 25);
    c.Rectangle(9, 20, 21, 28);
    c.Brush.Color = clSilver;
    c.Rectangle(9, 27, 21, 36);
    c.Pen.Color = clGray;
    for (int y = 29; y < 35; y += 2) {
        c.MoveTo(10, y);
        c.LineTo(20, y);
    }
    c.Brush.Color = clBlack;
    c.FillRect(TRect{13, 36, 17, 38});
    c.FillRect(TRect{14, 5, 16, 15});
    c.FillRect(TRect{14, 17, 16, 19});
    B.SetPixelFormat(pf4bit);
}
}  // namespace

void RegisterLightBulb() {
    static bool done = false;
    if (done) return;
    done = true;
    RegisterBitmapResource(LightBulbResource, DrawLightBulb);
}

// ---- TKitBaseDialog -------------------------------------------------------------------------------

TKitBaseDialog::TKitBaseDialog(TComponent* AOwner)
    : TKitContainerComponent(AOwner), FHints(std::make_unique<TStringList>()) {}

TKitBaseDialog::~TKitBaseDialog() = default;

void TKitBaseDialog::SetCaptionTitle(const std::string& Value) {
    FCaptionTitle = Value;
    if (FShown == nullptr) return;
    FShown->SetCaption(Value);
    for (int i = 0; i < FShown->ComponentCount(); ++i)
        if (auto* styler = dynamic_cast<TKitFormStyler*>(FShown->Components(i))) {
            styler->RefreshCaption();
            break;
        }
}

TModalResult TKitBaseDialog::RunDialog(TCustomForm* Window, TControl* Anchor,
                                       const std::string& DefaultCaption, TKitBack* Back,
                                       TKitFormStyler* Styler, TKitButton* Extra) {
    FShown = Window;
    try {
        Window->SetCaption(FCaptionTitle.empty() ? DefaultCaption : FCaptionTitle);
        if (Extra != nullptr) {
            if (!CustomButton.empty()) {
                Extra->SetCaption(CustomButton);
                Extra->SetVisible(true);
                if (OnCustomClick) Extra->OnClick = OnCustomClick;
            } else {
                Extra->SetVisible(false);
            }
        }
        if (OnCustomize) OnCustomize(Window);
        TRect reference;
        if ((ComponentState() & csDesigning) != 0)
            ReferenceRect(brScreenWorkArea, reference);
        else if (Anchor != nullptr)
            reference = Anchor->BoundsRect();
        else
            ReferenceRect(RelatePos, reference);
        Window->HandleNeeded();
        PositionWindow(*Window, reference, Position);
        if (Effect == deExplode)
            ExplodeWindow(Window);
        else if (Effect == deExplodeExt)
            ExplodeWindowExt(Window);
        if (Styler != nullptr) {
            Styler->SetEnabled(CaptionFill);
            if (CaptionFill) Styler->SetColors(Colors);
            Styler->SetOptions(Styler->Options() | fsCheckSystemGradient);
        }
        if (Back != nullptr && ImageList() != nullptr) {
            Back->SetImageList(ImageList());
            Back->SetListIndex(ListIndex());
            Back->SetImageIndex(ImageIndex());
            Back->SetEnabled(true);
        }
        const TModalResult result = Window->ShowModal();
        FShown = nullptr;
        return result;
    } catch (...) {
        FShown = nullptr;
        throw;
    }
}

// ---- TKitTipDlg -----------------------------------------------------------------------------------

TKitTipDlg::TKitTipDlg(TComponent* AOwner) : TKitBaseDialog(AOwner), FTips(std::make_unique<TStringList>()) {
    // Published, so that a window's state can keep whether the tips show at start.
    static const bool registered = [] {
        RegisterPublished<TKitTipDlg>(5, {BoolField<TKitTipDlg>("ShowAtStart", &TKitTipDlg::ShowAtStart)});
        return true;
    }();
    (void)registered;
}

TKitTipDlg::~TKitTipDlg() {
    if (FWindow) FWindow->Free();
}

void TKitTipDlg::SetCaptionTitle(const std::string& Value) {
    TKitBaseDialog::SetCaptionTitle(Value);
}

TCustomForm* TKitTipDlg::BuildWindow() {
    RegisterLightBulb();
    auto* w = TCustomForm::Create<TForm>(nullptr);
    FWindow = w;
    w->SetBorderStyle(bsDialog);
    w->Font().Name = "MS Sans Serif";
    w->Font().SetHeight(-11);
    w->Font().Color = clWindowText;
    w->Font().Changed();
    w->Position = poDefault;
    w->PixelsPerInch = 96;

    // Measured in the window's font.
    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas().Font.Assign(w->Font());
    const int bw = std::max(
        {80, measure.Canvas().TextWidth("&Next Tip") + 6, measure.Canvas().TextWidth("&Previous Tip") + 6});
    auto button = [&](int Top, int Tab, const std::string& Caption) {
        auto* b = NewComponent<TKitButton>(w);
        b->SetParent(w);
        b->SetBounds(417 - bw, Top, bw, 24);
        b->SetTabOrder(Tab);
        b->SetCaption(Caption);
        return b;
    };
    FOk = button(9, 0, "OK");
    FOk->ModalResult = mrOk;
    FOk->SetDefault(true);
    FOk->Cancel = true;
    FNext = button(42, 1, "&Next Tip");
    FPrevious = button(69, 2, "&Previous Tip");
    FExtra = button(104, 3, CustomButton);
    FExtra->SetVisible(!CustomButton.empty());
    FHelp = button(171, 4, CaptionHelp.empty() ? "&Help" : CaptionHelp);
    FHelp->SetVisible(HelpContext > 0);

    FCheckBox = NewComponent<TKitCheckBox>(w);
    FCheckBox->SetParent(w);
    FCheckBox->SetBounds(5, 202, 300, 18);
    FCheckBox->SetTabOrder(5);
    FCheckBox->SetCaption("Show tips at every start");
    FCheckBox->SetFlat(UseThemes());
    FCheckBox->SetAutoSize(true);
    FCheckBox->SetState(cbChecked);
    FCheckBox->SetState(ShowAtStart ? cbChecked : cbUnchecked);

    FPanel = NewComponent<TKitSimplePanel>(w);
    FPanel->SetParent(w);
    FPanel->SetBounds(5, 8, 405 - bw, 187);
    FPanel->SetTabOrder(6);
    FPanel->SetColor(PanelColor);
    FPanel->Bevel().SetStyleOuter(bvLowered);
    FPanel->Bevel().SetWidthOuter(2);

    FHeaderLabel = NewComponent<TLabel>(w);
    FHeaderLabel->SetParent(FPanel);
    FHeaderLabel->SetBounds(38, 22, 5, 16);
    FHeaderLabel->SetAutoSize(true);
    FHeaderLabel->SetParentFont(false);
    FHeaderLabel->Font().Assign(w->Font());
    FHeaderLabel->Font().Style = fsBold;
    FHeaderLabel->Font().SetHeight(-14);
    FHeaderLabel->Font().Changed();
    FHeaderLabel->SetShowAccelChar(false);
    FHeaderLabel->SetTransparent(true);
    FHeaderLabel->SetCaption(CaptionHeader.empty() ? "Tip..." : CaptionHeader);

    FTipLabel = NewComponent<TLabel>(w);
    FTipLabel->SetParent(FPanel);
    FTipLabel->SetAutoSize(false);
    FTipLabel->SetBounds(38, 49, FPanel->Width() - 38 - 30, 134);
    FTipLabel->SetColor(PanelColor);
    FTipLabel->SetParentFont(false);
    FTipLabel->Font().Assign(w->Font());
    FTipLabel->Font().SetHeight(-12);
    FTipLabel->Font().Changed();
    FTipLabel->SetShowAccelChar(false);
    FTipLabel->SetTransparent(true);
    FTipLabel->SetWordWrap(true);

    FImage = NewComponent<TKitNImage>(w);
    FImage->SetParent(FPanel);
    FImage->SetBounds(5, 7, 30, 40);
    FImage->SetStyle(sbAutosize);
    FImage->TransparentStyle().SetColor(clRed);
    FImage->TransparentStyle().SetMode(tpRestoreBack);
    LoadBitmapResource(FImage->Bitmap(), LightBulbResource);

    FStyler = NewComponent<TKitFormStyler>(w);
    FStyler->SetEnabled(false);
    FBack = NewComponent<TKitBack>(w);
    FBack->SetEnabled(false);

    FFirstPending = FirstHintNumber >= 0 && FirstHintNumber < FTips->Count();

    if (ShowHints && Hints().Count() > 0) {
        w->SetShowHint(true);
        TControl* order[] = {FOk, FExtra, FNext, FPrevious, FHelp, FCheckBox};
        for (int i = 0; i < 6 && i < Hints().Count(); ++i) order[i]->Hint = Hints()[i];
    }

    w->OnActivate = [this](TObject*) { FirstActivation(); };
    FNext->OnClick = [this](TObject*) { NextTip(); };
    FPrevious->OnClick = [this](TObject*) { PreviousTip(); };
    FHelp->OnClick = [this](TObject*) { Application->HelpContext(HelpContext); };
    FHistory.clear();
    FPosition = 0;
    FActivated = false;

    const int clientWidth = FOk->Left() + FOk->Width() + 7;
    if (HideShowAtStart) {
        FCheckBox->SetVisible(false);
        w->SetClientSize(clientWidth, 202);
    } else {
        w->SetClientSize(clientWidth, 202 + 18 + 6);
    }
    return w;
}

bool TKitTipDlg::Execute() {
    if (Mode == moStart && !ShowAtStart) return false;
    if (FTips->Count() == 0) {
        MessageDlg("No Tips available - Dialog will not be displayed...", mtWarning, TMsgDlgButtons{mbOK}, 0);
        return false;
    }
    try {
        TCustomForm* w = BuildWindow();
        RunDialog(w, nullptr, "Tips&Tricks " + Application->Title + "...", FBack, FStyler, FExtra);
        if (!HideShowAtStart) ShowAtStart = FCheckBox->State() == cbChecked;
    } catch (...) {
        Forget();
        throw;
    }
    Forget();
    return false;
}

void TKitTipDlg::Forget() {
    TCustomForm* w = FWindow;
    FWindow = nullptr;
    FTipLabel = FHeaderLabel = nullptr;
    FOk = FNext = FPrevious = FExtra = FHelp = nullptr;
    FCheckBox = nullptr;
    FPanel = nullptr;
    FImage = nullptr;
    FStyler = nullptr;
    FBack = nullptr;
    FHistory.clear();
    FActivated = false;
    if (w) w->Free();
}

void TKitTipDlg::FirstActivation() {
    if (FActivated) return;
    FActivated = true;
    NextTip();
    FPrevious->SetEnabled(FPosition > 0);
    if (FOk->CanFocus()) FOk->SetFocus();
}

void TKitTipDlg::ShowTip(int Number) {
    FTipLabel->SetCaption(Number >= 0 && Number < FTips->Count() ? FTips->Get(Number) : std::string());
}

void TKitTipDlg::UpdateButtons() {
    FPrevious->SetEnabled(FPosition > 0);
    FNext->SetEnabled(FPosition + 1 < FTips->Count());
}

void TKitTipDlg::NextTip() {
    const int count = FTips->Count();
    if (FPosition < static_cast<int>(FHistory.size()) - 1) {
        ++FPosition;
        ShowTip(FHistory[static_cast<size_t>(FPosition)]);
    } else if (static_cast<int>(FHistory.size()) < count) {
        int n;
        if (FFirstPending) {
            n = FirstHintNumber;
            FFirstPending = false;
        } else {
            // Bounded: fewer tips are shown than there are, so a free number exists.
            do {
                n = Random(count);
            } while (std::find(FHistory.begin(), FHistory.end(), n) != FHistory.end());
        }
        FHistory.push_back(n);
        ShowTip(n);
        FPosition = static_cast<int>(FHistory.size()) - 1;
    }
    UpdateButtons();
}

void TKitTipDlg::PreviousTip() {
    if (FPosition > 0) {
        --FPosition;
        ShowTip(FHistory[static_cast<size_t>(FPosition)]);
    }
    UpdateButtons();
}

}  // namespace kit
