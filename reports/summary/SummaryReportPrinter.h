#pragma once
// The disk summary on paper: a banded report with the title and column headings on every page, a
// line per volume in the columns the window shows, the totals after the last row, and the
// program's name and version at the foot of every page.

#include <array>

#include "reports/output/PrintedReport.h"
#include "reports/summary/SummaryReportScreenForm.h"

namespace framework {
class TReport;
class TReportBand;
class TReportDBText;
class TReportLabel;
class TReportShape;
}  // namespace framework

namespace reports {

class TSummaryReportPrinterForm : public TPrintedReportForm {
public:
    explicit TSummaryReportPrinterForm(framework::TComponent* AOwner);

    framework::TReportBand* PageFooterBand;
    framework::TReportLabel* FooterLabel;
    framework::TReportShape* HeaderUnderline;
    // Item N at index N - 1; Texts[13] is Comment1 (the first line), Comment2 the whole memo.
    std::array<framework::TReportLabel*, kSummaryItems> Headers{};
    std::array<framework::TReportDBText*, kSummaryItems> Texts{};
    framework::TReportDBText* Comment2;
    framework::TReportLabel *TotDisks, *TotFiles, *TotSpace, *TotUsed, *TotFree, *Slack;

    void PageFooterBandBeforePrint();
};

}  // namespace reports
