#pragma once
// The About window: the splash window's picture and labels beside the ways to reach the makers
// (post, telephone, fax, mail and the web, with two links), closed with OK.

#include "app/ProgramIdentity.h"
#include "framework/ui/Forms.h"

namespace framework {
class TButton;
}
namespace entry {
class TCtlURL;
}

namespace app {

class TAboutForm : public framework::TForm {
public:
    explicit TAboutForm(framework::TComponent* AOwner);

    framework::TImage* Image1;
    framework::TLabel* VersionLabel;
    framework::TLabel* CreatedOnLabel;
    framework::TLabel* CopyrightLabel;
    framework::TPanel* ContactPanel;
    entry::TCtlURL* WebLink;
    entry::TCtlURL* MailLink;
    framework::TButton* OKBtn;

    // OnShow: fills the labels.
    void FormShow(framework::TObject* Sender);

private:
    TIdentityBlock FBlock;
};

}  // namespace app
