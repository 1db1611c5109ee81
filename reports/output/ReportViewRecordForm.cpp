#include "reports/output/ReportViewRecordForm.h"

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlEntryField.h"
#include "controls/grid/CtlDbPictureField.h"
#include "framework/data/DataSource.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Label.h"

namespace reports {

using namespace framework;

TReportViewRecordForm::TReportViewRecordForm(TComponent* AOwner, int Help,
                                             std::span<const TViewBox> ViewBoxes, int CommentTop,
                                             int MemoHeight)
    : TForm(AOwner), HelpContext(Help) {
    SetCaption("View Full Record");
    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu | biMinimize);
    Position = poScreenCenter;
    SetClientSize(520, 352);
    NewComponent<entry::TCtlController>(this);
    for (const TViewBox& b : ViewBoxes) {
        auto* label = NewComponent<TLabel>(this);
        label->SetParent(this);
        label->SetBounds(b.Left, b.Top, b.Width, 15);
        label->SetCaption(b.Caption);
        if (b.Mask) {
            auto* number = NewComponent<grid::TCtlDbPictureField>(this);
            number->SetName(b.Name);
            number->SetParent(this);
            number->SetBounds(b.Left, b.Top + 16, b.Width, 22);
            number->SetPictureMask(b.Mask);
            number->SetOptions(number->Options() | entry::efoRightAlign | entry::efoRightJustify);
            number->DataLink().SetReadOnly(true);
            number->SetDataField(b.Field);
            Boxes.push_back(number);
            continue;
        }
        auto* edit = NewComponent<TDBEdit>(this);
        edit->SetName(b.Name);
        edit->SetParent(this);
        edit->SetBounds(b.Left, b.Top + 16, b.Width, 22);
        edit->SetReadOnly(true);
        edit->SetDataField(b.Field);
        Boxes.push_back(edit);
    }
    auto* label = NewComponent<TLabel>(this);
    label->SetParent(this);
    label->SetBounds(8, CommentTop, 100, 15);
    label->SetCaption("Comment");
    auto* memo = NewComponent<TDBMemo>(this);
    memo->SetName("Comment");
    memo->SetParent(this);
    memo->SetBounds(8, CommentTop + 16, 504, MemoHeight);
    memo->ScrollBars = ssVertical;
    memo->SetReadOnly(true);
    memo->SetDataField("Comment");
    Boxes.push_back(memo);
    Navigator = NewComponent<TDBNavigator>(this);
    Navigator->SetName("Navigator");
    Navigator->SetParent(this);
    Navigator->SetVisibleButtons(NavButtons({nbFirst, nbPrior, nbNext, nbLast}));
    Navigator->SetBounds(8, 316, 128, 28);
    auto* close = NewComponent<TBitBtn>(this);
    close->SetName("CloseBtn");
    close->SetParent(this);
    close->SetKind(bkClose);
    close->SetBounds(332, 314, 86, 30);
    close->OnClick = [this](TObject*) { Close(); };
    auto* help = NewComponent<TBitBtn>(this);
    help->SetName("HelpBtn");
    help->SetParent(this);
    help->SetKind(bkHelp);
    help->SetBounds(426, 314, 86, 30);
    help->OnClick = [this](TObject*) { Application->HelpContext(HelpContext); };
    OnClose = [this](TObject*, TCloseAction& Action) { FormClose(Action); };
}

void TReportViewRecordForm::Bind(TDataSource* Source) {
    Navigator->SetDataSource(Source);
    for (TControl* box : Boxes) {
        if (auto* edit = dynamic_cast<TDBEdit*>(box))
            edit->SetDataSource(Source);
        else if (auto* memo = dynamic_cast<TDBMemo*>(box))
            memo->SetDataSource(Source);
        else if (auto* number = dynamic_cast<grid::TCtlDbPictureField*>(box))
            number->SetDataSource(Source);
    }
}

void TReportViewRecordForm::FormClose(TCloseAction& Action) {
    if (OpenFlag) *OpenFlag = false;
    Action = caFree;
}

}  // namespace reports
