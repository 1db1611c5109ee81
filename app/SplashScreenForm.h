#pragma once
// The splash window: the program's picture, version, date, copyright and slogan on black, without
// a border and above the other windows, shown while the program starts.

#include "app/ProgramIdentity.h"
#include "framework/ui/Forms.h"

namespace app {

class TSplashScreenForm : public framework::TForm {
public:
    explicit TSplashScreenForm(framework::TComponent* AOwner);

    framework::TImage* Image1;
    framework::TLabel* VersionLabel;
    framework::TLabel* CreatedOnLabel;
    framework::TLabel* CopyrightLabel;

    // OnShow: fills the labels.
    void FormShow(framework::TObject* Sender);

private:
    TIdentityBlock FBlock;
};

}  // namespace app
