#include "framework/reports/ReportPreview.h"

#include <algorithm>

#include "framework/print/PagePicture.h"
#include "framework/reports/Reports.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"

namespace framework {

TReportPreviewPage::TReportPreviewPage(TComponent* AOwner, TReportPreviewForm& Form)
    : TCustomControl(AOwner), FForm(Form) {
    SetColor(clGray);
}

TRect TReportPreviewPage::PageRect() {
    TPagePictures& pages = FForm.Pages();
    if (pages.Count() == 0) return TRect{};
    const TPagePicture& page = pages[std::clamp(FForm.PageShown(), 1, pages.Count()) - 1];
    int w = page.Width(), h = page.Height();
    int zoom = FForm.Zoom();
    int sw, sh;
    if (zoom > 0) {
        sw = w * zoom / 100;
        sh = h * zoom / 100;
    } else {
        // The whole page, as large as the view allows with a margin of 8 pixels.
        int availW = std::max(1, ClientWidth() - 16), availH = std::max(1, ClientHeight() - 16);
        if (static_cast<int64_t>(availW) * h <= static_cast<int64_t>(availH) * w) {
            sw = availW;
            sh = static_cast<int>(static_cast<int64_t>(h) * availW / w);
        } else {
            sh = availH;
            sw = static_cast<int>(static_cast<int64_t>(w) * availH / h);
        }
    }
    int left = std::max(8, (ClientWidth() - sw) / 2);
    return TRect{left, 8, left + sw, 8 + sh};
}

void TReportPreviewPage::Paint() {
    TCanvas& c = Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color = Color();
    c.FillRect(ClientRect());
    TPagePictures& pages = FForm.Pages();
    if (pages.Count() == 0) return;
    TRect r = PageRect();
    // A shadow to the right and below.
    c.Brush.Color = clBlack;
    c.FillRect(TRect{r.Left + 4, r.Top + 4, r.Right + 4, r.Bottom + 4});
    pages[std::clamp(FForm.PageShown(), 1, pages.Count()) - 1].Draw(c, r);
}

TReportPreviewForm::TReportPreviewForm(TComponent* AOwner, TReport& Report,
                                       std::unique_ptr<TPagePictures> Pages)
    : TForm(AOwner), FReport(Report), FPages(std::move(Pages)) {
    SetCaption("Print Preview");
    SetBounds(0, 0, 800, 600);
    ToolBar = NewComponent<TPanel>(this);
    ToolBar->SetParent(this);
    ToolBar->SetHeight(34);
    ToolBar->SetAlign(alTop);
    ToolBar->SetCaption("");

    int x = 4;
    auto button = [&](const std::string& Caption, int Width, std::function<void()> Act) {
        TButton* b = NewComponent<TButton>(this);
        b->SetParent(ToolBar);
        b->SetBounds(x, 4, Width, 25);
        b->SetCaption(Caption);
        b->OnClick = [Act](TObject*) { Act(); };
        x += Width + 4;
        return b;
    };
    FirstBtn = button("&First", 60, [this] { ShowPage(1); });
    PriorBtn = button("&Previous", 70, [this] { ShowPage(FPage - 1); });
    NextBtn = button("&Next", 60, [this] { ShowPage(FPage + 1); });
    LastBtn = button("&Last", 60, [this] { ShowPage(FPages->Count()); });
    x += 8;
    PrintBtn = button("P&rint", 60, [this] { FReport.Print(); });
    CloseBtn = button("&Close", 60, [this] { Close(); });
    CloseBtn->Cancel = true;

    PageLabel = NewComponent<TLabel>(this);
    PageLabel->SetParent(ToolBar);
    PageLabel->SetLeft(x + 12);
    PageLabel->SetTop(10);

    PageView = NewComponent<TReportPreviewPage>(this, *this);
    PageView->SetParent(this);
    PageView->SetAlign(alClient);

    SetWindowState(wsMaximized);
    FZoom = 0;
    UpdateState();
}

TReportPreviewForm::~TReportPreviewForm() = default;

void TReportPreviewForm::ShowPage(int Page) {
    int count = FPages->Count();
    FPage = std::clamp(Page, 1, std::max(1, count));
    UpdateState();
}

void TReportPreviewForm::SetZoom(int Percent) {
    FZoom = std::clamp(Percent, 0, 400);
    PageView->Invalidate();
}

void TReportPreviewForm::UpdateState() {
    int count = FPages->Count();
    PageLabel->SetCaption("Page " + std::to_string(FPage) + " of " + std::to_string(count));
    FirstBtn->SetEnabled(FPage > 1);
    PriorBtn->SetEnabled(FPage > 1);
    NextBtn->SetEnabled(FPage < count);
    LastBtn->SetEnabled(FPage < count);
    PageView->Invalidate();
}

}  // namespace framework
