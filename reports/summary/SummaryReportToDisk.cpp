// The disk summary's To Disk button: the text-file dialog, then the report's rows in the window's
// order and columns as a fixed-width text file.

#include <algorithm>

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

namespace {

constexpr uint32_t kSummaryErrorBeep = 16;

void SummaryToDiskError(const char* Text) {
    platform::MessageBeep(kSummaryErrorBeep);
    MessageDlg(Text, mtError, {mbOK}, 0);
}

}  // namespace

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

    const platform::HFILE file = platform::_lcreat(fileName, 0);
    if (file == platform::HFILE_ERROR) {
        SummaryToDiskError("Error Opening Specified File For Output");
        return;
    }

    const TBookmark mark = Query->GetBookmark();
    Query->DisableControls();
    auto* progress = TCustomForm::Create<catalog::TProgressForm>(this);
    progress->ShowForm("Sending Report To Disk", true);
    bool cleaned = false;
    auto cleanUp = [&]() {
        if (cleaned) return;
        cleaned = true;
        progress->HideForm();
        progress->Free();
        Query->GotoBookmark(mark);
        Query->EnableControls();
    };
    auto abandon = [&]() {
        platform::_lclose(file);
        platform::DeleteFile(fileName);
        cleanUp();
    };

    TSummaryTextBuilder builder(layout, [file](const std::string& Line) {
        const std::string bytes = Line + "\r\n";
        return platform::_lwrite(file, bytes.data(), uint32_t(bytes.size())) == bytes.size();
    });
    bool written = true;
    try {
        const int count = Query->RecordCount();
        int done = 0;
        for (Query->First(); !Query->Eof(); Query->Next()) {
            if (progress->CancelPressed) {
                abandon();
                return;
            }
            // The sizes as the window measures them; the slack with its percent sign.
            TSummaryTextRow row{QueryRowTexts(), Query->FieldByName("Comment")->AsString()};
            row.Texts[9] = FormatFloat("##0.00%", Query->FieldByName("SlackSpace")->AsFloat());
            if (!builder.AddRow(row)) {
                written = false;
                break;
            }
            ++done;
            progress->ProgressBar->SetProgress(count > 0 ? int(double(done) / count * 100) : 100);
            Application->ProcessMessages();
        }
        if (written && ShowTotals->Checked())
            written = builder.AddTotals({DiskCount, FileTotal, SlackTotal, SizeTotal, UsedTotal, FreeTotal});
    } catch (...) {
        abandon();
        throw;
    }
    if (!written) {
        abandon();
        SummaryToDiskError("Error Writing To Output File");
        return;
    }
    cleanUp();
    // The lines reach the disk before the file counts as written: a failed flush fails the close.
    const bool flushed = platform::FlushFileBuffers(static_cast<platform::HANDLE>(file));
    if (platform::_lclose(file) == platform::HFILE_ERROR || !flushed)
        SummaryToDiskError("Error Closing Specified File After Output Completed");
}

}  // namespace reports
