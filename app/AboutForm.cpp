#include "app/AboutForm.h"

#include "catalog/FormParts.h"
#include "controls/entry/CtlUrl.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"

namespace app {

using namespace framework;
using catalog::NewPanel;

namespace {

// The contact block, one row each: a heading (or none) and the line beside it. The E-Mail and Web
// Site rows hold the two links instead of a line.
struct TContactRow {
    const char* Heading;
    const char* Line;
};
constexpr TContactRow kContactRows[] = {
    {"Snail Mail:", "Korvane Software Workshop"},
    {"", "14 Harbour Lane"},
    {"", "Port Elston, ZZ 00000"},
    {"Phone:", "+00 555 0100"},
    {"Fax:", "+00 555 0101"},
    {"E-Mail:", ""},
    {"Web Site:", ""},
};
constexpr int kRowHeight = 17;

int RowTop(int Row) {
    return 6 + Row * kRowHeight;
}

TLabel* NewContactLabel(TComponent& Owner, TWinControl& Parent, const std::string& Name,
                        const std::string& Text, int Left, int Top) {
    auto* label = NewComponent<TLabel>(&Owner);
    label->SetName(Name);
    label->SetParent(&Parent);
    label->SetAutoSize(false);
    label->SetBounds(Left, Top, Parent.ClientWidth() - Left - 4, 16);
    label->SetCaption(Text);
    return label;
}

entry::TCtlURL* NewLink(TComponent& Owner, TWinControl& Parent, const char* Name, const char* URL,
                        const char* Caption, int Top) {
    auto* link = NewComponent<entry::TCtlURL>(&Owner);
    link->SetName(Name);
    link->SetParent(&Parent);
    link->SetURL(URL);
    link->SetCaption(Caption);
    link->SetBounds(76, Top, 170, 16);
    return link;
}

}  // namespace

TAboutForm::TAboutForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("AboutForm");
    SetCaption("About");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(710, 186);
    FBlock = BuildIdentityBlock(*this, *this, 8, 8);
    Image1 = FBlock.Image1;
    VersionLabel = FBlock.VersionLabel;
    CreatedOnLabel = FBlock.CreatedOnLabel;
    CopyrightLabel = FBlock.CopyrightLabel;

    ContactPanel = NewPanel(*this, *this, "ContactPanel", 446, 8, 256, 132, bvLowered);
    int row = 0;
    for (const TContactRow& r : kContactRows) {
        const std::string n = std::to_string(row + 1);
        if (*r.Heading)
            NewContactLabel(*this, *ContactPanel, "ContactHeading" + n, r.Heading, 6, RowTop(row));
        if (*r.Line) NewContactLabel(*this, *ContactPanel, "ContactLine" + n, r.Line, 76, RowTop(row));
        ++row;
    }
    MailLink = NewLink(*this, *ContactPanel, "MailLink", MailAddress, "support@korvane.example", RowTop(5));
    WebLink = NewLink(*this, *ContactPanel, "WebLink", WebAddress, "www.korvane.example", RowTop(6));

    OKBtn = NewComponent<TButton>(this);
    OKBtn->SetName("OKBtn");
    OKBtn->SetParent(this);
    OKBtn->SetCaption("OK");
    OKBtn->SetBounds(529, 148, 89, 30);
    OKBtn->ModalResult = mrOk;
    OKBtn->SetDefault(true);
    OKBtn->Cancel = true;
    OnShow = [this](TObject* Sender) { FormShow(Sender); };
}

void TAboutForm::FormShow(TObject*) {
    FillIdentityLabels(FBlock);
}

}  // namespace app
