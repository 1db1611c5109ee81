#include "catalog/ProgressForm.h"

#include "catalog/FormParts.h"
#include "controls/kit/CoolGauge.h"
#include "framework/core/Seams.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/ExtCtrls.h"

namespace catalog {

using namespace framework;

TProgressForm* ProgressForm = nullptr;

const std::array<std::pair<TColor, TColor>, 14> GaugeColorPairs{{
    {clRed, clYellow},
    {clRed, clFuchsia},
    {clRed, clWhite},
    {clLime, clYellow},
    {clLime, clAqua},
    {clLime, clWhite},
    {clYellow, clFuchsia},
    {clYellow, clAqua},
    {clYellow, clWhite},
    {clBlue, clAqua},
    {clBlue, clWhite},
    {clFuchsia, clAqua},
    {clFuchsia, clWhite},
    {clAqua, clWhite},
}};

TProgressForm::TProgressForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("ProgressForm");
    SetBorderStyle(bsDialog);
    SetBorderIcons(0);
    Position = poScreenCenter;
    SetClientSize(492, 118);
    GaugePanel = NewPanel(*this, *this, "GaugePanel", 0, 0, 493, 61, bvLowered);
    GaugePanel->SetBevelWidth(2);
    ProgressBar = NewComponent<kit::TCoolGauge>(this);
    ProgressBar->SetName("ProgressBar");
    ProgressBar->SetParent(GaugePanel);
    ProgressBar->SetAlign(alClient);
    ProgressBar->SetBorderStyle(bsNone);
    ProgressBar->SetBackColor(clBtnFace);
    ProgressBar->SetText("%d%%");
    CancelBtn = NewComponent<TButton>(this);
    CancelBtn->SetName("CancelBtn");
    CancelBtn->SetParent(this);
    CancelBtn->SetCaption("Cancel");
    CancelBtn->SetBounds(186, 72, 127, 37);
    CancelBtn->Cancel = true;
    CancelBtn->OnClick = [this](TObject*) { CancelBtnClick(); };
}

void TProgressForm::ShowForm(const std::string& Caption, bool Cancellable) {
    if (ProgressShown) return;
    const auto& pair = GaugeColorPairs[static_cast<size_t>(Random(14))];
    const bool swapped = Random(2) == 1;
    ProgressBar->SetForeColor1(swapped ? pair.second : pair.first);
    ProgressBar->SetForeColor2(swapped ? pair.first : pair.second);
    SetCaption(Caption);
    ProgressBar->SetMaxValue(100);
    ProgressBar->SetProgress(0);
    CancelBtn->SetEnabled(Cancellable);
    CancelBtn->SetVisible(Cancellable);
    SetHeight(Cancellable ? 145 : 85);
    CancelPressed = false;
    Show();
    Application->ProcessMessages();
    ProgressShown = true;
}

void TProgressForm::HideForm() {
    if (ProgressShown) Hide();
    ProgressShown = false;
}

void TProgressForm::CancelBtnClick() {
    CancelPressed = true;
}

}  // namespace catalog
