#pragma once
// The volume summary with file contents on paper: a framed block per volume with the chosen volume
// columns, the chosen file columns of its entries under their headings, and a framed block of
// catalog totals. The layout is built for every print from the window's choices and fonts.

#include <array>

#include "framework/ui/Forms.h"
#include "reports/volsummary/VolSummaryScreenForm.h"

namespace framework {
class TReport;
class TReportBand;
class TReportDBText;
class TReportLabel;
class TSubDetailBand;
}  // namespace framework

namespace reports {

class TVolSummaryPrintForm : public framework::TForm {
public:
    explicit TVolSummaryPrintForm(framework::TComponent* AOwner);

    framework::TReport* Report;
    framework::TReportBand* PageHeaderBand;
    framework::TReportBand* DetailBand;
    framework::TReportBand* GroupHeaderBand;
    framework::TSubDetailBand* SubDetailBand;
    framework::TReportBand* GroupFooterBand1;
    framework::TReportBand* SummaryBand;
    framework::TReportLabel* Title;
    framework::TReportLabel* PageItem;
    framework::TReportLabel* PageNumLabel;
    framework::TReportLabel* TestLabel;
    // Column N at index N; the comment's text is its first line, the Comment2 texts the whole memo.
    std::array<framework::TReportLabel*, kVolColumns> VolumeHeaders{};
    std::array<framework::TReportDBText*, kVolColumns> VolumeTexts{};
    framework::TReportDBText* VolumeComment2;
    std::array<framework::TReportLabel*, kEntryColumns> FileHeaders{};
    std::array<framework::TReportDBText*, kEntryColumns> FileTexts{};
    framework::TReportDBText* FileComment2;
    framework::TReportLabel *TotDisks, *TotFiles, *TotSpace, *TotUsed, *TotFree, *Slack;
    // Set when a measurement was cancelled.
    bool Cancelled = false;

    void ReportBeforePrint();
    void ReportStartPage();

private:
    int FPageCounter = 0;
};

}  // namespace reports
