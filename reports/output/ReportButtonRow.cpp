#include "reports/output/ReportButtonRow.h"

#include "catalog/FormParts.h"

namespace reports {

using namespace framework;

TReportButtonRow::TReportButtonRow(TCustomForm& Form, TWinControl& Panel, const int* HelpContext, int Left,
                                   int Top, int Width, int Step)
    : FForm(Form),
      FPanel(Panel),
      FHelpContext(HelpContext),
      FLeft(Left),
      FTop(Top),
      FWidth(Width),
      FStep(Step) {}

TBitBtn* TReportButtonRow::Add(const char* Name, TBitBtnKind Kind, const char* Caption) {
    auto* button = catalog::NewControl<TBitBtn>(FForm, FPanel, Name, FLeft, FTop, FWidth, 28);
    button->SetKind(Kind);
    if (Caption) button->SetCaption(Caption);
    if (Kind == bkClose) {
        TCustomForm* form = &FForm;
        button->OnClick = [form](TObject*) { form->Close(); };
    }
    if (Kind == bkHelp) {
        const int* context = FHelpContext;
        button->OnClick = [context](TObject*) { Application->HelpContext(*context); };
    }
    FLeft += FStep;
    return button;
}

}  // namespace reports
