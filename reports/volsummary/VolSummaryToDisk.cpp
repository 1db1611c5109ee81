// The volume summary's To Disk button: the text-file dialog, then every volume of the catalog with
// its entries, and the totals, written as a fixed-width text file.

#include <algorithm>
#include <optional>

#include "catalog/FormParts.h"
#include "catalog/ProgressForm.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Files.h"
#include "platform/SimpleFiles.h"
#include "reports/volsummary/VolSummaryScreenForm.h"
#include "reports/volsummary/VolSummaryText.h"

namespace reports {

using namespace framework;

namespace {

// A volume's texts as the text file writes them: the sizes without their grid's thousands width,
// the slack with its percent sign, the counts in their own pictures.
TVolTextDisk VolTextDisk(TDataSet& V) {
    TVolTextDisk disk{TVolSummaryFileContentsScreenForm::VolumeTexts(V),
                      V.FieldByName("Comment")->AsString()};
    auto number = [&V](const char* Field, const char* Format) {
        return FormatFloat(Format, V.FieldByName(Field)->AsFloat());
    };
    disk.Texts[6] = number("DiskSize", "###,###,###,###,##0");
    disk.Texts[7] = number("DiskClusterSize", "###,###,###,##0");
    disk.Texts[8] = number("DiskUsed", "###,###,###,###,##0");
    disk.Texts[9] = number("DiskFree", "###,###,###,###,##0");
    disk.Texts[10] = number("SlackSpace", "##0.00%");
    disk.Texts[11] = number("FilesOnDisk", "###,###,##0");
    disk.Texts[12] = number("FilesInArchives", "###,###,##0");
    disk.Texts[kVolComment] = V.FieldByName("CommentStr")->AsString();
    return disk;
}

TVolTextEntry VolTextEntry(TDataSet& E) {
    TVolTextEntry entry{TVolSummaryFileContentsScreenForm::EntryTexts(E),
                        E.FieldByName("Comment")->AsString()};
    entry.Texts[7] = E.FieldByName("AttributeStr")->AsString();
    entry.Texts[kEntryComment] = E.FieldByName("CommentStr")->AsString();
    return entry;
}

}  // namespace

void TVolSummaryFileContentsScreenForm::ToDiskBtnClick() {
    auto* dialog = TCustomForm::Create<TGetSummaryToDiskFileNameForm>(Application);
    TVolTextLayout layout;
    std::string fileName;
    TModalResult result = mrNone;
    try {
        dialog->SetCaption("Volume Summary / File Contents Report To Disk");
        dialog->FileName->SetText("C:\\My Documents\\KorvaneVSFCReport.txt");
        dialog->Label3->SetCaption("Lines (Set To Zero To Disable Pagination)");
        result = dialog->ShowModal();
        if (result == mrOk) {
            fileName = dialog->FileName->Text();
            layout.Pagination = dialog->Pagination->GetAsInteger();
            layout.NewPagePerDisk = dialog->StartEachDiskOnNewPage->Checked();
            layout.MultiLine = dialog->MultiLine->Checked();
            // The comment columns are limited for this output only; the measured widths stay.
            layout.DiskWidths = SummaryCharWidth;
            layout.FileWidths = FileCharWidth;
            layout.DiskWidths[kVolComment] = std::min(layout.DiskWidths[kVolComment], dialog->CommentWidth());
            layout.FileWidths[kEntryComment] =
                std::min(layout.FileWidths[kEntryComment], dialog->CommentWidth());
        }
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
    if (result != mrOk) return;
    for (int i = 0; i < kVolColumns; ++i) layout.DiskShown[size_t(i)] = SummaryItems[size_t(i)]->Checked;
    for (int i = 0; i < kEntryColumns; ++i) layout.FileShown[size_t(i)] = FileItems[size_t(i)]->Checked;

    const platform::HFILE file = platform::_lcreat(fileName, 0);
    if (file == platform::HFILE_ERROR) {
        catalog::ErrorBox("Error Opening Specified File For Output");
        return;
    }
    TVolTextBuilder builder(layout, [file](const std::string& Line) {
        const std::string bytes = Line + "\r\n";
        return platform::_lwrite(file, bytes.data(), uint32_t(bytes.size())) == bytes.size();
    });
    auto* progress = TCustomForm::Create<catalog::TProgressForm>(this);
    progress->ShowForm("Sending Report To Disk", true);
    auto finish = [&] {
        FileTable3->Close();
        SummaryTable2->Close();
        FileTable2->Close();
        progress->HideForm();
        progress->Free();
    };
    bool written = true;
    try {
        SummaryTable2->Open();
        FileTable2->Open();
        const int entries = FileTable2->RecordCount();
        FileTable2->Close();
        FileTable3->Open();
        int done = 0;
        for (SummaryTable2->First(); written && !SummaryTable2->Eof(); SummaryTable2->Next()) {
            if (progress->CancelPressed) break;
            written = builder.AddDisk(VolTextDisk(*SummaryTable2));
            for (FileTable3->First(); written && !FileTable3->Eof(); FileTable3->Next()) {
                if (progress->CancelPressed) break;
                written = builder.AddEntry(VolTextEntry(*FileTable3));
                ++done;
                progress->ProgressBar->SetProgress(entries > 0 ? int(double(done) / entries * 100) : 100);
                Application->ProcessMessages();
            }
            Application->ProcessMessages();
        }
        // A cancelled run keeps what it wrote and says nothing.
        if (written && !progress->CancelPressed && ShowTotals1->Checked)
            written = builder.AddTotals({DiskCount, FileTotal, SlackTotal, SizeTotal, UsedTotal, FreeTotal});
    } catch (...) {
        finish();
        platform::_lclose(file);
        throw;
    }
    finish();
    if (!written) {
        platform::_lclose(file);
        catalog::ErrorBox("Error Writing To Output File");
        return;
    }
    const bool flushed = platform::FlushFileBuffers(static_cast<platform::HANDLE>(file));
    if (platform::_lclose(file) == platform::HFILE_ERROR || !flushed)
        catalog::ErrorBox("Error Closing Specified File After Output Completed");
}

}  // namespace reports
