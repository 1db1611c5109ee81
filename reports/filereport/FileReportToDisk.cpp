// The file report's To Disk button: the text-file dialog, then the report's rows in the window's
// order and columns as a fixed-width text file.

#include <algorithm>
#include <functional>
#include <optional>

#include "catalog/ProgressForm.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbQuery.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/SimpleFiles.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/filereport/FileReportText.h"
#include "reports/output/ReportOutputForms.h"

namespace reports {

using namespace framework;

void TFileReportScreenForm::ToDiskBtnClick() {
    auto* dialog = TCustomForm::Create<TGetSummaryToDiskFileNameForm>(Application);
    dialog->SetCaption("File Report To Disk");
    dialog->StartEachDiskOnNewPage->SetVisible(false);
    dialog->SetHeight(293);
    dialog->FileName->SetText("C:\\My Documents\\KorvaneFileReport.txt");
    TFileReportTextLayout layout;
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
            layout.Widths[kColumnItems - 1] =
                std::min(layout.Widths[kColumnItems - 1], dialog->CommentWidth());
        }
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
    if (result != mrOk) return;
    layout.Title = ReportTitle;
    for (int i = 0; i < kColumnItems; ++i) layout.ColumnPos[size_t(i)] = ColumnPos[size_t(i)];

    std::optional<TFileReportTextBuilder> builder;
    SendReportToDisk(
        this, *Query, fileName,
        [&](const TReportLineWriter& Write) { builder.emplace(layout, Write); },
        [&] { return builder->AddRow({QueryRowTexts(), Query->FieldByName("Comment")->AsString()}); },
        ShowTotals->Checked() ? std::function<bool()>([&] {
            return builder->AddTotals(FilesOnDiskTotal, BytesOnDiskTotal, FilesInArchivesTotal,
                                      BytesInArchivesTotal);
        })
                              : nullptr);
}

}  // namespace reports
