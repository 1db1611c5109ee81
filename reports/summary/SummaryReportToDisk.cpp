// The disk summary's To Disk button: the text-file dialog, then the report's rows in the window's
// order and columns as a fixed-width text file.

#include <algorithm>
#include <functional>
#include <optional>

#include "catalog/ProgressForm.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbQuery.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/SimpleFiles.h"
#include "reports/output/ReportOutputForms.h"
#include "reports/summary/SummaryReportScreenForm.h"
#include "reports/summary/SummaryReportText.h"

namespace reports {

using namespace framework;

void TSummaryReportScreenForm::ToDiskBtnClick() {
    auto* dialog = TCustomForm::Create<TGetSummaryToDiskFileNameForm>(Application);
    dialog->StartEachDiskOnNewPage->SetVisible(false);
    dialog->SetHeight(293);
    TSummaryTextLayout layout;
    std::string fileName;
    TModalResult result = mrNone;
    try {
        result = dialog->ShowModal();
        if (result == mrOk) {
            fileName = dialog->FileName->Text();
            layout.Pagination = dialog->Pagination->GetAsInteger();
            layout.MultiLine = dialog->MultiLine->Checked();
            layout.Widths = ColumnCharWidth;
            // The comment column is limited for this output only; ColumnCharWidth stays as measured.
            layout.Widths[kSummaryItems - 1] =
                std::min(layout.Widths[kSummaryItems - 1], dialog->CommentWidth());
        }
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
    if (result != mrOk) return;
    layout.Title = Spec.ReportTitle;
    layout.ColumnPos = Spec.ColumnPos;

    std::optional<TSummaryTextBuilder> builder;
    SendReportToDisk(
        this, *Query, fileName,
        [&](const TReportLineWriter& Write) { builder.emplace(layout, Write); },
        [&] {
            // The sizes as the window measures them; the slack with its percent sign.
            TSummaryTextRow row{QueryRowTexts(), Query->FieldByName("Comment")->AsString()};
            row.Texts[9] = FormatFloat("##0.00%", Query->FieldByName("SlackSpace")->AsFloat());
            return builder->AddRow(row);
        },
        ShowTotals->Checked() ? std::function<bool()>([&] {
            return builder->AddTotals({DiskCount, FileTotal, SlackTotal, SizeTotal, UsedTotal, FreeTotal});
        })
                              : nullptr);
}

}  // namespace reports
