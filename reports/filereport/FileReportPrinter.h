#pragma once
// The file report on paper: a banded report with the title and column headings on every page, a
// line per row in the columns the window shows, and the totals after the last row.

#include <array>

#include "reports/filereport/FileReportScreenForm.h"
#include "reports/output/PrintedReport.h"

namespace framework {
class TReport;
class TReportBand;
class TReportDBText;
class TReportLabel;
class TReportShape;
}  // namespace framework

namespace reports {

class TFileReportPrinterForm : public TPrintedReportForm {
public:
    explicit TFileReportPrinterForm(framework::TComponent* AOwner);

    framework::TReportShape* HeaderUnderline;
    // Item N at index N - 1.
    std::array<framework::TReportLabel*, kColumnItems> Headers{};
    // Items 1 to 10, then Comment1 (the first line) at index 10; Comment2 (the whole memo) apart.
    std::array<framework::TReportDBText*, kColumnItems> Texts{};
    framework::TReportDBText* Comment2;
    framework::TReportLabel* FilesOnDisk;
    framework::TReportLabel* BytesOnDisk;
    framework::TReportLabel* FilesInArcs;
    framework::TReportLabel* BytesInArcs;
};

}  // namespace reports
