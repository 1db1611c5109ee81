#pragma once
// The preview window of a report: maximised, it shows one recorded page at a time, at a zoom, with
// buttons for the first, previous, next and last page, the place "Page n of m", printing (which runs
// the report again on the printer, so page numbers count from 1 again) and closing.

#include <memory>

#include "framework/ui/Forms.h"

namespace framework {

class TButton;
class TLabel;
class TPanel;
class TPagePictures;
class TReport;
class TReportPreviewForm;

// The page on a grey desk: centred across, 8 pixels from the top, at the form's zoom.
class TReportPreviewPage : public TCustomControl {
public:
    TReportPreviewPage(TComponent* AOwner, TReportPreviewForm& Form);
    // The page's place in the view.
    TRect PageRect();

protected:
    void Paint() override;

private:
    TReportPreviewForm& FForm;
};

class TReportPreviewForm : public TForm {
public:
    TReportPreviewForm(TComponent* AOwner, TReport& Report, std::unique_ptr<TPagePictures> Pages);
    ~TReportPreviewForm() override;

    TPagePictures& Pages() { return *FPages; }
    // The page shown, from 1.
    int PageShown() const { return FPage; }
    void ShowPage(int Page);
    // Percent of the page's own size; 0 (at first) shows the whole page as large as the window allows.
    int Zoom() const { return FZoom; }
    void SetZoom(int Percent);

    TButton* FirstBtn;
    TButton* PriorBtn;
    TButton* NextBtn;
    TButton* LastBtn;
    TButton* PrintBtn;
    TButton* CloseBtn;
    TLabel* PageLabel;  // "Page n of m"
    TPanel* ToolBar;
    TReportPreviewPage* PageView;

private:
    void UpdateState();
    TReport& FReport;
    std::unique_ptr<TPagePictures> FPages;
    int FPage = 1;
    int FZoom = 75;
};

}  // namespace framework
