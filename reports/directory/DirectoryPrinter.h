#pragma once
// The directory listing on paper: a banded report with the window's caption, the page number, the
// volume's figures and the column headings on every page, a line per entry of New in the columns
// the window shows, the totals after the last entry, and the program's name and version at the
// foot of every page.

#include <array>
#include <string>

#include "reports/directory/DirectoryText.h"
#include "reports/output/PrintedReport.h"

namespace framework {
class TReport;
class TReportBand;
class TReportDBText;
class TReportLabel;
}  // namespace framework

namespace reports {

class TPrintDirectoryForm : public TPrintedReportForm {
public:
    explicit TPrintDirectoryForm(framework::TComponent* AOwner);

    framework::TReportBand* PageFooterBand;
    framework::TReportLabel *VLabel, *DSize, *DUsed, *DFree, *FilesOnDiskS, *FilesInArcsS;
    // FileNameHeader ... FCommentHeader, in the columns' order.
    std::array<framework::TReportLabel*, kDirectoryColumns> Headers{};
    // FileName ... Attribute, then FComment1 (the comment's first line); FComment2 (the whole
    // comment, wrapped) apart.
    std::array<framework::TReportDBText*, kDirectoryColumns> Texts{};
    framework::TReportDBText* FComment2;
    framework::TReportLabel *FilesOnDisk, *BytesOnDisk, *FilesInArcs, *BytesInArcs;
    framework::TReportLabel* FooterLabel;
};

}  // namespace reports
