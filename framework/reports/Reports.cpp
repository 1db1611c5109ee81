#include "framework/reports/Reports.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "framework/core/DateTime.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/data/Fields.h"
#include "framework/print/PagePicture.h"
#include "framework/reports/ReportPreview.h"

namespace framework {

namespace {

int MmToPixels(double Mm) {
    return static_cast<int>(std::lround(Mm * TPrinter::Resolution() / 25.4));
}

// Splits a text at its line breaks (CR LF, CR or LF) and, with Wrap, at blanks to fit Width; a word
// wider than Width is cut where it stops fitting.
std::vector<std::string> SplitLines(TCanvas& Canvas, const std::string& Text, bool Wrap, int Width) {
    std::vector<std::string> paras;
    size_t start = 0;
    while (true) {
        size_t br = Text.find_first_of("\r\n", start);
        paras.push_back(Text.substr(start, br == std::string::npos ? std::string::npos : br - start));
        if (br == std::string::npos) break;
        start = br + 1;
        if (Text[br] == '\r' && start < Text.size() && Text[start] == '\n') ++start;
    }
    if (!Wrap || Width <= 0) return paras;
    std::vector<std::string> lines;
    for (const std::string& para : paras) {
        if (para.empty()) {
            lines.emplace_back();
            continue;
        }
        std::string line;
        size_t i = 0;
        while (i < para.size()) {
            size_t sp = para.find(' ', i);
            std::string word = para.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
            i = sp == std::string::npos ? para.size() : sp + 1;
            std::string candidate = line.empty() ? word : line + " " + word;
            if (Canvas.TextWidth(candidate) <= Width) {
                line = candidate;
                continue;
            }
            if (!line.empty()) lines.push_back(line);
            line.clear();
            // A word too wide for a line of its own is cut.
            while (Canvas.TextWidth(word) > Width && word.size() > 1) {
                size_t n = 1;
                while (n < word.size() && Canvas.TextWidth(word.substr(0, n + 1)) <= Width) ++n;
                lines.push_back(word.substr(0, n));
                word.erase(0, n);
            }
            line = word;
        }
        lines.push_back(line);
    }
    return lines;
}

bool Prints(TControl* Control) {
    return Control->Enabled() && Control->Visible();
}

}  // namespace

// ---- Page ----

void TReportPage::SetPaperSize(TPrinterPaper Value) {
    FPaper = Value;
    FReport.UpdateBandWidths();
}
void TReportPage::SetOrientation(TPrinterOrientation Value) {
    FOrientation = Value;
    FReport.UpdateBandWidths();
}
void TReportPage::SetMargin(int Index, double Mm) {
    FMargins[Index] = std::max(0.0, Mm);
    FReport.UpdateBandWidths();
}
void TReportPage::SetMargins(double Mm) {
    for (double& m : FMargins) m = std::max(0.0, Mm);
    FReport.UpdateBandWidths();
}
void TReportPage::SetColumns(int Value) {
    FColumns = std::clamp(Value, 1, 2);
    FReport.UpdateBandWidths();
}
void TReportPage::SetColumnSpace(int Value) {
    FColumnSpace = std::max(0, Value);
    FReport.UpdateBandWidths();
}

int TReportPage::Width() const {
    TSize pt = PaperSizePoints(FPaper);
    int w = pt.cx * TPrinter::Resolution() / 72, h = pt.cy * TPrinter::Resolution() / 72;
    return FOrientation == poPortrait ? w : h;
}
int TReportPage::Height() const {
    TSize pt = PaperSizePoints(FPaper);
    int w = pt.cx * TPrinter::Resolution() / 72, h = pt.cy * TPrinter::Resolution() / 72;
    return FOrientation == poPortrait ? h : w;
}
TRect TReportPage::PrintArea() const {
    TRect r{MmToPixels(FMargins[0]), MmToPixels(FMargins[1]), Width() - MmToPixels(FMargins[2]),
            Height() - MmToPixels(FMargins[3])};
    if (r.Right < r.Left) r.Right = r.Left;
    if (r.Bottom < r.Top) r.Bottom = r.Top;
    return r;
}
int TReportPage::ColumnWidth() const {
    int w = PrintArea().Width();
    return std::max(0, (w - (FColumns - 1) * FColumnSpace) / FColumns);
}

// ---- Labels and data texts ----

TReportLabel::TReportLabel(TComponent* AOwner) : TCustomLabel(AOwner) {
    SetShowAccelChar(false);
    SetParentColor(true);
    SetTransparent(true);
}

std::vector<std::string> TReportLabel::PrintLines() {
    Canvas().Font.Assign(Font());
    return SplitLines(Canvas(), PrintText(), WordWrap(), Width());
}
int TReportLabel::LineHeight() {
    Canvas().Font.Assign(Font());
    return Canvas().TextHeight("Wg");
}
int TReportLabel::LineCount() {
    return static_cast<int>(PrintLines().size());
}

int TReportLabel::PrintHeight() {
    if (!FAutoStretch) return Height();
    return std::max(Height(), LineCount() * LineHeight());
}

int TReportLabel::PrintOn(TCanvas& C, int X, int Y, int FirstLine, int Bottom) {
    std::vector<std::string> lines = PrintLines();
    C.Font.Assign(Font());
    int lh = C.TextHeight("Wg");
    int count = static_cast<int>(lines.size());
    int last = count;  // lines [FirstLine, last) are drawn
    int bottom = Y + Height();
    if (FAutoStretch) {
        last = FirstLine;
        while (last < count && Y + (last - FirstLine + 1) * lh <= Bottom) ++last;
        bottom = std::max(FirstLine == 0 ? Y + Height() : Y, Y + (last - FirstLine) * lh);
    }
    // An auto-sizing control is as wide as the text it prints now (a data text or the page number
    // differs from its caption at design), growing away from its alignment's edge.
    int width = Width();
    if (AutoSize() && !WordWrap()) {
        for (int i = FirstLine; i < last; ++i)
            width = std::max(width, C.TextWidth(lines[static_cast<size_t>(i)]));
        if (Alignment() == taRightJustify) X -= width - Width();
        if (Alignment() == taCenter) X -= (width - Width()) / 2;
    }
    TRect box{X, Y, X + width, bottom};
    if (!Transparent()) {
        C.Brush.Style = bsSolid;
        C.Brush.Color = Color();
        C.FillRect(box);
    }
    C.Brush.Style = bsClear;
    int y = Y;
    for (int i = FirstLine; i < last; ++i, y += lh) {
        if (!FAutoStretch && i > FirstLine && y >= bottom) break;
        const std::string& line = lines[static_cast<size_t>(i)];
        int tw = C.TextWidth(line);
        int x = X;
        if (Alignment() == taRightJustify) x = X + width - tw;
        if (Alignment() == taCenter) x = X + (width - tw) / 2;
        C.TextRect(TRect{X, y, X + width, std::min(y + lh, FAutoStretch ? y + lh : bottom)}, x, y, line);
    }
    C.Brush.Style = bsSolid;
    return FAutoStretch ? last - FirstLine : 0;
}

TReportDBText::TReportDBText(TComponent* AOwner) : TReportLabel(AOwner) {}

void TReportDBText::SetDataSet(TDataSet* Value) {
    if (FDataSet == Value) return;
    if (FDataSet) FDataSet->RemoveFreeNotification(this);
    FDataSet = Value;
    if (Value) Value->FreeNotification(this);
}
void TReportDBText::Notification(TComponent* AComponent, TOperation Operation) {
    TReportLabel::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDataSet) FDataSet = nullptr;
}

std::string TReportDBText::FieldText() {
    if (!FDataSet || !FDataSet->Active() || DataField.empty()) return "";
    TField* field = FDataSet->FieldByName(DataField);
    if (field->IsNull()) return "";
    if (!Mask.empty()) {
        switch (field->DataType()) {
            case ftSmallint:
            case ftInteger:
            case ftWord:
            case ftAutoInc:
            case ftLargeint:
            case ftFloat:
            case ftCurrency:
            case ftBCD:
                return FormatFloat(Mask, field->AsFloat());
            default:
                break;
        }
    }
    if (field->DataType() == ftMemo) return field->AsString();
    return field->DisplayText();
}

// ---- Shapes and system data ----

TReportShape::TReportShape(TComponent* AOwner) : TGraphicControl(AOwner) {
    Brush.Style = bsClear;
}

int TReportShape::PrintOn(TCanvas& C, int X, int Y, int, int) {
    C.Pen.Assign(Pen);
    C.Brush.Assign(Brush);
    switch (Shape) {
        case qrsRectangle:
            C.Rectangle(X, Y, X + Width(), Y + Height());
            break;
        case qrsHorLine: {
            C.Brush.Style = bsSolid;
            C.Brush.Color = Pen.Color;
            int w = std::max(1, Pen.Width), top = Y + (Height() - w) / 2;
            C.FillRect(TRect{X, top, X + Width(), top + w});
            break;
        }
        case qrsVertLine: {
            C.Brush.Style = bsSolid;
            C.Brush.Color = Pen.Color;
            int w = std::max(1, Pen.Width), left = X + (Width() - w) / 2;
            C.FillRect(TRect{left, Y, left + w, Y + Height()});
            break;
        }
    }
    C.Brush.Style = bsSolid;
    return 0;
}

TReportSysData::TReportSysData(TComponent* AOwner) : TReportLabel(AOwner) {}

std::string TReportSysData::PrintText() {
    TReportBand* band = dynamic_cast<TReportBand*>(Parent());
    TReport* report = band ? band->Report() : nullptr;
    switch (Data) {
        case qrsPageNumber:
            return Text + std::to_string(report ? report->PageNumber() : 0);
        case qrsTime:
            return Text + TimeToStr(Now());
        case qrsDate:
            return Text + DateToStr(Now());
        case qrsDateTime:
            return Text + DateTimeToStr(Now());
    }
    return Text;
}

// ---- Bands ----

TReportBand::TReportBand(TComponent* AOwner, TReportBandType BandType)
    : TWinControl(AOwner), FBandType(BandType) {
    SetColor(clWhite);
    SetHeight(40);
}

TReport* TReportBand::Report() const {
    return dynamic_cast<TReport*>(Parent());
}
void TReportBand::SetReport(TReport* Value) {
    SetParent(Value);
}

void TReportBand::SetParent(TWinControl* AParent) {
    TWinControl::SetParent(AParent);
    if (TReport* r = Report()) r->UpdateBandWidths();
}

int TReportBand::StretchHeight() {
    int h = Height();
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        auto* p = dynamic_cast<TReportPrintable*>(c);
        if (!p || !Prints(c) || !p->Stretches()) continue;
        int below = std::max(0, Height() - (c->Top() + c->Height()));
        h = std::max(h, c->Top() + p->PrintHeight() + below);
    }
    return h;
}

TSubDetailBand::TSubDetailBand(TComponent* AOwner) : TReportBand(AOwner, rbSubDetail) {}

void TSubDetailBand::SetDataSet(TDataSet* Value) {
    if (FDataSet == Value) return;
    if (FDataSet) FDataSet->RemoveFreeNotification(this);
    FDataSet = Value;
    if (Value) Value->FreeNotification(this);
}
void TSubDetailBand::Notification(TComponent* AComponent, TOperation Operation) {
    TReportBand::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FDataSet) FDataSet = nullptr;
    if (AComponent == HeaderBand) HeaderBand = nullptr;
    if (AComponent == FooterBand) FooterBand = nullptr;
}

// ---- Running a report ----

// One run: the pages drawn so far and where the next band goes.
class TReport::TRun {
public:
    TRun(TReport& Report, TPrinter& Printer) : R(Report), P(Printer) {
        Area = R.FPage.PrintArea();
        Columns = R.FPage.Columns();
        ColumnWidth = R.FPage.ColumnWidth();
        for (TReportBand* b : R.Bands(rbPageFooter))
            if (Prints(b)) FooterHeight += b->Height();
        BodyBottom = std::max(Area.Top + 1, Area.Bottom - FooterHeight);
    }

    void Execute() {
        StartPage();
        std::vector<TReportBand*> details = R.Bands(rbDetail);
        TReportBand* detail = details.empty() ? nullptr : details.front();
        std::vector<TReportBand*> subs = R.Bands(rbSubDetail);
        if (TDataSet* ds = R.FDataSet) {
            ds->DisableControls();
            try {
                for (ds->First(); !ds->Eof(); ds->Next()) {
                    Band(detail);
                    for (TReportBand* s : subs) SubDetail(static_cast<TSubDetailBand*>(s));
                }
            } catch (...) {
                ds->EnableControls();
                throw;
            }
            ds->EnableControls();
        }
        for (TReportBand* b : R.Bands(rbSummary)) Band(b);
        EndPage(true);
        R.FPageCount = Page;
    }

private:
    static bool IsColumnBand(TReportBand* B) {
        return B->BandType() != rbSummary && B->BandType() != rbPageHeader && B->BandType() != rbPageFooter;
    }

    void SubDetail(TSubDetailBand* S) {
        TDataSet* ds = S->DataSet();
        if (!ds || !Prints(S)) return;
        ds->DisableControls();
        try {
            ds->First();
            if (!ds->Eof() || S->PrintIfEmpty) {
                Band(S->HeaderBand);
                for (; !ds->Eof(); ds->Next()) Band(S);
                Band(S->FooterBand);
            }
        } catch (...) {
            ds->EnableControls();
            throw;
        }
        ds->EnableControls();
    }

    void StartPage() {
        ++Page;
        R.FPageNumber = Page;
        if (R.OnStartPage) R.OnStartPage(&R);
        Y = Area.Top;
        Column = 0;
        if (Page > 1 || (R.Options & FirstPageHeader))
            for (TReportBand* b : R.Bands(rbPageHeader)) {
                if (!Fire(b)) continue;
                int h = b->StretchHeight();
                DrawWhole(b, Area.Left, Y, Area.Width(), h);
                Y += h;
            }
        ColumnTop = Y;
        MaxY = Y;
        BodyUsed = false;
    }

    void EndPage(bool Last) {
        if (Last && !(R.Options & LastPageFooter)) return;
        int y = Area.Bottom - FooterHeight;
        for (TReportBand* b : R.Bands(rbPageFooter)) {
            if (!Fire(b)) continue;
            DrawWhole(b, Area.Left, y, Area.Width(), b->Height());
            y += b->Height();
        }
    }

    void NewPage() {
        EndPage(false);
        P.NewPage();
        StartPage();
    }

    void NextColumnOrPage(bool InColumn) {
        MaxY = std::max(MaxY, Y);
        if (InColumn && Column + 1 < Columns) {
            ++Column;
            Y = ColumnTop;
        } else {
            NewPage();
        }
    }

    bool Fire(TReportBand* B) {
        if (!B || !Prints(B)) return false;
        bool print = true;
        if (B->BeforePrint) B->BeforePrint(B, print);
        return print;
    }

    // A band of the body: after the page header, moving to the next column or page when it does
    // not fit, split across pages when it is taller than a page.
    void Band(TReportBand* B) {
        if (!Fire(B)) return;
        bool inColumn = IsColumnBand(B) && Columns > 1;
        if (!inColumn && Column > 0) {
            // A band across the columns goes below the longest of them.
            Y = std::max(MaxY, Y);
            Column = 0;
        }
        if (B->ForceNewPage && BodyUsed) NewPage();
        int h = B->StretchHeight();
        int avail = BodyBottom - Y;
        if (h > avail && BodyUsed) {
            // Wait for a fresh column or page, unless the band is too tall for one anyway and its
            // first part fits here.
            bool fitsFresh = h <= BodyBottom - ColumnTop;
            if (fitsFresh || B->Height() > avail) NextColumnOrPage(inColumn);
        }
        int x = Area.Left, w = Area.Width();
        if (inColumn) {
            w = ColumnWidth;
            x = Area.Left + Column * (ColumnWidth + R.FPage.ColumnSpace());
        }
        if (h <= BodyBottom - Y) {
            DrawWhole(B, x, Y, w, h);
            Y += h;
        } else {
            DrawSplit(B, inColumn);
        }
        BodyUsed = true;
        MaxY = std::max(MaxY, Y);
    }

    void Background(TReportBand* B, const TRect& Box) {
        TCanvas& c = P.Canvas();
        if (B->Color() != clWhite && B->Color() != clNone) {
            c.Brush.Style = bsSolid;
            c.Brush.Color = B->Color();
            c.FillRect(Box);
        }
    }
    void FrameOf(TReportBand* B, const TRect& Box) {
        const TReportFrame& f = B->Frame;
        if (!f.Any()) return;
        TCanvas& c = P.Canvas();
        int w = std::max(1, f.Width);
        c.Brush.Style = bsSolid;
        c.Brush.Color = f.Color;
        if (f.DrawTop) c.FillRect(TRect{Box.Left, Box.Top, Box.Right, Box.Top + w});
        if (f.DrawBottom) c.FillRect(TRect{Box.Left, Box.Bottom - w, Box.Right, Box.Bottom});
        if (f.DrawLeft) c.FillRect(TRect{Box.Left, Box.Top, Box.Left + w, Box.Bottom});
        if (f.DrawRight) c.FillRect(TRect{Box.Right - w, Box.Top, Box.Right, Box.Bottom});
    }

    // Draws the band (W wide, H high) at (X, Y) with all its controls.
    void DrawWhole(TReportBand* B, int X, int Y0, int W, int H) {
        TRect box{X, Y0, X + W, Y0 + H};
        Background(B, box);
        for (int i = 0; i < B->ControlCount(); ++i) {
            TControl* c = B->Controls(i);
            auto* p = dynamic_cast<TReportPrintable*>(c);
            if (p && Prints(c)) p->PrintOn(P.Canvas(), X + c->Left(), Y0 + c->Top(), 0, INT32_MAX);
        }
        FrameOf(B, box);
    }

    // A band taller than the rest of the page: what fits goes here, the lines of its stretching
    // texts that do not fit continue at the top of the next columns and pages.
    void DrawSplit(TReportBand* B, bool InColumn) {
        struct TPart {
            TControl* Control;
            TReportPrintable* Printable;
            int Next = 0;  // first line not yet printed
            int Lines = 0;
            int LineHeight = 0;
            int Count = 0;  // lines printed in this part of the band
            int Top = 0;
        };
        std::vector<TPart> parts;
        for (int i = 0; i < B->ControlCount(); ++i) {
            TControl* c = B->Controls(i);
            auto* p = dynamic_cast<TReportPrintable*>(c);
            if (!p || !Prints(c)) continue;
            TPart part{c, p};
            if (p->Stretches()) {
                part.Lines = p->LineCount();
                part.LineHeight = std::max(1, p->LineHeight());
            }
            parts.push_back(part);
        }
        bool continuing = false;
        while (true) {
            int x = Area.Left, w = Area.Width();
            if (InColumn) {
                w = ColumnWidth;
                x = Area.Left + Column * (ColumnWidth + R.FPage.ColumnSpace());
            }
            // Plan the part first, so that the background goes under the text.
            int used = continuing ? 0 : std::max(0, std::min(B->Height(), BodyBottom - Y));
            bool remaining = false;
            for (TPart& part : parts) {
                if (!part.Printable->Stretches() || part.Next >= part.Lines) {
                    part.Count = 0;
                    continue;
                }
                part.Top = continuing ? Y : Y + part.Control->Top();
                int fit = std::max(0, (BodyBottom - part.Top) / part.LineHeight);
                // A line taller than a whole column is printed anyway rather than never.
                if (fit == 0 && Y == ColumnTop) fit = 1;
                part.Count = std::min(part.Lines - part.Next, fit);
                used = std::max(used, part.Top - Y + part.Count * part.LineHeight);
                if (part.Next + part.Count < part.Lines) remaining = true;
            }
            TRect box{x, Y, x + w, remaining ? std::max(BodyBottom, Y + used) : Y + used};
            Background(B, box);
            for (TPart& part : parts) {
                if (!part.Printable->Stretches()) {
                    if (!continuing && part.Control->Top() + part.Control->Height() <= BodyBottom - Y)
                        part.Printable->PrintOn(P.Canvas(), x + part.Control->Left(), Y + part.Control->Top(),
                                                0, INT32_MAX);
                } else if (part.Count > 0) {
                    part.Printable->PrintOn(P.Canvas(), x + part.Control->Left(), part.Top, part.Next,
                                            part.Top + part.Count * part.LineHeight);
                    part.Next += part.Count;
                }
            }
            FrameOf(B, box);
            Y = box.Bottom;
            if (!remaining) return;
            BodyUsed = true;
            NextColumnOrPage(InColumn);
            continuing = true;
        }
    }

    TReport& R;
    TPrinter& P;
    TRect Area;
    int Columns = 1;
    int ColumnWidth = 0;
    int FooterHeight = 0;
    int BodyBottom = 0;
    int Page = 0;
    int Y = 0;
    int Column = 0;
    int ColumnTop = 0;
    int MaxY = 0;
    bool BodyUsed = false;
};

// ---- The report ----

TReport::TReport(TComponent* AOwner) : TWinControl(AOwner), FPage(*this) {
    SetColor(clWhite);
    Font().Name = "Arial";
    Font().SetSize(10);
}

TReport::~TReport() = default;

void TReport::SetDataSet(TDataSet* Value) {
    if (FDataSet == Value) return;
    if (FDataSet) FDataSet->RemoveFreeNotification(this);
    FDataSet = Value;
    if (Value) Value->FreeNotification(this);
}

void TReport::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDataSet) FDataSet = nullptr;
}

std::vector<TReportBand*> TReport::Bands(TReportBandType Type) const {
    std::vector<TReportBand*> bands;
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* b = dynamic_cast<TReportBand*>(Controls(i)); b && b->BandType() == Type) bands.push_back(b);
    return bands;
}

void TReport::UpdateBandWidths() {
    TRect area = FPage.PrintArea();
    SetBounds(Left(), Top(), area.Width(), Height());
    for (int i = 0; i < ControlCount(); ++i) {
        auto* b = dynamic_cast<TReportBand*>(Controls(i));
        if (!b) continue;
        bool whole =
            b->BandType() == rbPageHeader || b->BandType() == rbPageFooter || b->BandType() == rbSummary;
        b->SetWidth(whole ? area.Width() : FPage.ColumnWidth());
    }
}

bool TReport::Run(TPagePictures* Record) {
    bool print = true;
    if (BeforePrint) BeforePrint(this, print);
    if (!print) return false;
    if (FDataSet && !PrintIfEmpty && FDataSet->IsEmpty()) return false;
    UpdateBandWidths();
    TPrinter& p = Printer();
    TPrinterOrientation savedOrientation = p.Orientation();
    TPrinterPaper savedPaper = p.Paper();
    auto restore = [&] {
        p.SetOrientation(savedOrientation);
        p.SetPaper(savedPaper);
    };
    if (PrinterIndex >= 0) p.SetPrinterIndex(PrinterIndex);
    p.SetOrientation(FPage.Orientation());
    p.SetPaper(FPage.PaperSize());
    p.Title = ReportTitle.empty() ? Name() : ReportTitle;
    try {
        if (Record)
            p.BeginRecord(*Record);
        else
            p.BeginDoc();
        TRun(*this, p).Execute();
        p.EndDoc();
    } catch (...) {
        if (p.Printing()) p.Abort();
        restore();
        throw;
    }
    restore();
    return true;
}

void TReport::Print() {
    Run(nullptr);
}

void TReport::Prepare(TPagePictures& Pages) {
    Pages.Clear();
    Run(&Pages);
}

void TReport::Preview() {
    auto pages = std::make_unique<TPagePictures>();
    if (!Run(pages.get())) return;
    TReportPreviewForm* form = TCustomForm::Create<TReportPreviewForm>(nullptr, *this, std::move(pages));
    try {
        form->ShowModal();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
}

}  // namespace framework
