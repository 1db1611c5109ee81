#include "app/AboutForm.h"

#include "controls/entry/CtlUrl.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"

namespace app {

using namespace framework;

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

    ContactPanel = NewComponent<TPanel>(this);
    ContactPanel->SetName("ContactPanel");
    ContactPanel->SetParent(this);
    ContactPanel->SetBounds(446, 8, 256, 132);
    ContactPanel->SetBevelOuter(bvLowered);
    ContactPanel->SetCaption("");
    int row = 0;
    for (const TContactRow& r : kContactRows) {
        const std::string n = std::to_string(row + 1);
        if (*r.Heading)
            NewContactLabel(*this, *ContactPanel, "ContactHeading" + n, r.Heading, 6, RowTop(row));
        if (*r.Line) NewContactLabel(*this, *ContactPanel, "ContactLine" + n, r.Line, 76, RowTop(row));
        ++row;
    }
    WebLink = NewComponent<entry::TCtlURL>(this);
    WebLink->SetName("WebLink");
    WebLink->SetParent(ContactPanel);
    WebLink->SetURL(WebAddress);
    WebLink->SetCaption("www.korvane.example");
    WebLink->SetBounds(76, RowTop(6), 170, 16);
    MailLink = NewComponent<entry::TCtlURL>(this);
    MailLink->SetName("MailLink");
    MailLink->SetParent(ContactPanel);
    MailLink->SetURL(MailAddress);
    MailLink->SetCaption("support@korvane.example");
    MailLink->SetBounds(76, RowTop(5), 170, 16);

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
