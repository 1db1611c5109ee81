// The directory window's To Disk button: the text-file dialog, then the listing in New's order and
// the window's columns as a fixed-width text file.

#include <algorithm>
#include <functional>
#include <optional>

#include "catalog/ProgressForm.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/SimpleFiles.h"
#include "reports/directory/ShowDirectoryForm.h"
#include "reports/output/ReportOutputForms.h"

namespace reports {

using namespace framework;

void TShowDirectoryForm::ToDiskBtnClick() {
    auto* dialog = TCustomForm::Create<TGetSummaryToDiskFileNameForm>(Application);
    dialog->SetCaption("Directory Of A Disk Report To Disk File");
    dialog->StartEachDiskOnNewPage->SetVisible(false);
    dialog->SetHeight(293);
    dialog->FileName->SetText("C:\\My Documents\\KorvaneDiskDirReport.txt");
    TDirectoryTextLayout layout;
    std::string fileName;
    TModalResult result = mrNone;
    try {
        result = dialog->ShowModal();
        if (result == mrOk) {
            fileName = dialog->FileName->Text();
            layout.EntriesPerPage = dialog->Pagination->GetAsInteger();
            layout.MultiLine = dialog->MultiLine->Checked();
            layout.Widths = ColumnChars;
            // The comment column is narrowed for this output only; ColumnChars stays as measured.
            const int limit = std::max(0, dialog->CommentWidth());
            layout.Widths[kDirectoryCommentColumn] =
                uint16_t(std::min<int>(layout.Widths[kDirectoryCommentColumn], limit));
        }
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
    if (result != mrOk) return;
    layout.Caption = Caption();
    layout.Volume = VolumeTexts();
    for (std::string* s : {&layout.Volume.DiskSize, &layout.Volume.SpaceUsed, &layout.Volume.FreeSpace,
                           &layout.Volume.FilesOnDisk, &layout.Volume.FilesInArcs})
        *s = Trim(*s);
    for (int i = 0; i < kDirectoryColumns; ++i) layout.Shown[size_t(i)] = ColumnItems[size_t(i)]->Checked;

    std::optional<TDirectoryTextBuilder> builder;
    SendReportToDisk(
        this, *ReportTable, fileName,
        [&](const TReportLineWriter& Write) { builder.emplace(layout, Write); },
        [&] { return builder->AddEntry({RowTexts(*ReportTable), ReportTable->FieldByName("Comment")->AsString()}); },
        ShowTotals->Checked() ? std::function<bool()>([&] {
            std::array<std::string, 4> totals;
            for (size_t i = 0; i < 4; ++i) totals[i] = Trim(Totals1[i]->Caption());
            return builder->AddTotals(totals);
        })
                              : nullptr);
}

}  // namespace reports
