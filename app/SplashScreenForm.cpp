#include "app/SplashScreenForm.h"

#include "framework/stdctrls/ExtCtrls.h"

namespace app {

using namespace framework;

TSplashScreenForm::TSplashScreenForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("SplashScreenForm");
    SetBorderStyle(bsNone);
    SetBorderIcons(0);
    SetFormStyle(fsStayOnTop);
    Position = poScreenCenter;
    SetClientSize(430, 170);
    FBlock = BuildIdentityBlock(*this, *this, 0, 0);
    FBlock.Panel->SetAlign(alClient);
    Image1 = FBlock.Image1;
    VersionLabel = FBlock.VersionLabel;
    CreatedOnLabel = FBlock.CreatedOnLabel;
    CopyrightLabel = FBlock.CopyrightLabel;
    OnShow = [this](TObject* Sender) { FormShow(Sender); };
}

void TSplashScreenForm::FormShow(TObject*) {
    FillIdentityLabels(FBlock);
}

}  // namespace app
