#include "framework/print/Printers.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPicture>
#include <QPrinter>
#include <QPrinterInfo>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "framework/core/SysUtils.h"
#include "framework/print/PagePicture.h"
#include "framework/print/PrintImpl.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/ui/WindowsImpl.h"
#include "platform/Paths.h"

namespace framework {

namespace {

TPrinterQueuesFunc& QueueSource() {
    static TPrinterQueuesFunc f;
    return f;
}

std::vector<std::string> SystemQueues(std::string& Default) {
    if (QueueSource()) return QueueSource()(Default);
    EnsureGuiApplication();
    std::vector<std::string> r;
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        r.push_back(Utf16ToAnsi(name.toStdU16String()));
    Default = Utf16ToAnsi(QPrinterInfo::defaultPrinterName().toStdU16String());
    return r;
}

QPageSize::PageSizeId PageSizeIdOf(TPrinterPaper Paper) {
    switch (Paper) {
        case ppLegal:
            return QPageSize::Legal;
        case ppA4:
            return QPageSize::A4;
        case ppLetter:
            break;
    }
    return QPageSize::Letter;
}

QString Q(const std::string& S) {
    return QString::fromStdU16String(AnsiToUtf16(S));
}

// The file that takes every printed document instead of a print queue ("" for none).
std::string PrintToFile() {
    const char* to = std::getenv("KORVANE_PRINT_TO");
    return to ? to : "";
}

// Asks where the "PDF File" printer writes; EAbort when the user declines.
std::string AskPdfFileName(const std::string& Title) {
    TSaveDialog d(nullptr);
    d.Title = "Print To PDF File";
    d.Filter = "PDF Files (*.pdf)|*.pdf|All Files (*.*)|*.*";
    d.DefaultExt = "pdf";
    d.FileName = Title.empty() ? "Document" : Title;
    d.Options |= ofOverwritePrompt;
    if (!d.Execute()) Abort();
    platform::TNativePath p;
    if (!platform::ResolveWindowsPath(d.FileName, p))
        throw EPrinter("Cannot write the PDF file " + d.FileName);
    return p.Native;
}

}  // namespace

std::string PaperName(TPrinterPaper Paper) {
    switch (Paper) {
        case ppLegal:
            return "Legal";
        case ppA4:
            return "A4";
        case ppLetter:
            break;
    }
    return "Letter";
}

TSize PaperSizePoints(TPrinterPaper Paper) {
    QSize s = QPageSize(PageSizeIdOf(Paper)).sizePoints();
    return TSize{s.width(), s.height()};
}

TPrinterQueuesFunc SetPrinterQueueSource(TPrinterQueuesFunc Source) {
    return std::exchange(QueueSource(), std::move(Source));
}

// ---------------------------------------------------------------------------------------------

// One document in progress: the page being drawn and where finished pages go.
struct TPrinter::TDocument {
    TPagePictures* Record = nullptr;
    std::unique_ptr<QPrinter> Device;
    std::unique_ptr<QPainter> DevicePainter;
    std::string File;     // the PDF file being written (native), "" for a print queue
    std::string Partial;  // where it is written until the document ends
    QImage Page;
    QPicture Text;
    int Width = 0, Height = 0;
    int PagesDone = 0;
};

// A context of no page, on which the canvas measures text between documents.
struct TPrinter::TInfoContext {
    HDC Dc = 0;
    QImage Image;
};

TPrinter::TPrinter()
    : FPrinters(std::make_unique<TStringList>()),
      FCanvas(std::make_unique<TCanvas>()),
      FInfo(std::make_unique<TInfoContext>()) {
    // Between documents the canvas measures text on a context of its own (it draws on one pixel).
    FInfo->Dc = CreateMemoryContext();
    FInfo->Image = QImage(1, 1, QImage::Format_RGB32);
    ContextOf(FInfo->Dc)->Target = &FInfo->Image;
    FCanvas->SetHandle(FInfo->Dc);
    Refresh();
    SetPrinterIndex(-1);
}

TPrinter::~TPrinter() {
    if (FPrinting) Close(false);
    FCanvas->SetHandle(0);
    DeleteMemoryContext(FInfo->Dc);
}

TStrings& TPrinter::Printers() {
    return *FPrinters;
}

void TPrinter::Refresh() {
    std::string current = FPrinters->Count() > 0 ? PrinterName() : std::string();
    std::string def;
    std::vector<std::string> queues = SystemQueues(def);
    FPrinters->Clear();
    for (const std::string& q : queues) FPrinters->Add(q);
    FPrinters->Add(kPdfFilePrinter);
    FDefaultIndex = FPrinters->IndexOf(def);
    if (def.empty() || FDefaultIndex < 0) FDefaultIndex = FPrinters->Count() - 1;
    int keep = current.empty() ? -1 : FPrinters->IndexOf(current);
    FPrinterIndex = keep >= 0 ? keep : FDefaultIndex;
}

int TPrinter::PrinterIndex() const {
    return FPrinterIndex;
}

void TPrinter::SetPrinterIndex(int Value) {
    if (Value < -1 || Value >= FPrinters->Count())
        throw EPrinter("There is no printer number " + IntToStr(Value) + " in the list of printers");
    CheckNotPrinting("change the printer");
    FPrinterIndex = Value == -1 ? FDefaultIndex : Value;
}

std::string TPrinter::PrinterName() const {
    return FPrinters->Get(FPrinterIndex);
}

void TPrinter::SetOrientation(TPrinterOrientation Value) {
    if (Value == FOrientation) return;
    CheckNotPrinting("change the orientation");
    FOrientation = Value;
}

void TPrinter::SetPaper(TPrinterPaper Value) {
    if (Value == FPaper) return;
    CheckNotPrinting("change the paper");
    FPaper = Value;
}

int TPrinter::PageWidth() const {
    QSize s = QPageSize(PageSizeIdOf(FPaper)).sizePixels(Resolution());
    return FOrientation == poPortrait ? s.width() : s.height();
}

int TPrinter::PageHeight() const {
    QSize s = QPageSize(PageSizeIdOf(FPaper)).sizePixels(Resolution());
    return FOrientation == poPortrait ? s.height() : s.width();
}

void TPrinter::CheckNotPrinting(const char* What) const {
    if (FPrinting) throw EPrinter(std::string("Cannot ") + What + " while a document is printing");
}

TCanvas& TPrinter::Canvas() {
    return *FCanvas;
}

HDC TPrinter::Handle() {
    return FCanvas->Handle();
}

void TPrinter::BeginDoc() {
    StartDocument(nullptr);
}

void TPrinter::BeginRecord(TPagePictures& Pages) {
    StartDocument(&Pages);
}

void TPrinter::StartDocument(TPagePictures* Record) {
    if (FPrinting) throw EPrinter("A document is already printing");
    // The page's painter takes its defaults (the font among them) from the application object.
    EnsureGuiApplication();
    auto doc = std::make_unique<TDocument>();
    doc->Record = Record;
    doc->Width = PageWidth();
    doc->Height = PageHeight();
    if (Record) {
        Record->Clear();
    } else {
        std::string name = PrinterName();
        doc->File = PrintToFile();
        if (doc->File.empty() && name == kPdfFilePrinter) doc->File = AskPdfFileName(Title);
        auto device = std::make_unique<QPrinter>(QPrinter::HighResolution);
        if (!doc->File.empty()) {
            doc->Partial = doc->File + ".partial";
            device->setOutputFormat(QPrinter::PdfFormat);
            device->setOutputFileName(QString::fromStdString(doc->Partial));
        } else {
            device->setPrinterName(Q(name));
        }
        device->setResolution(Resolution());
        device->setFullPage(true);
        device->setPageLayout(
            QPageLayout(QPageSize(PageSizeIdOf(FPaper)),
                        FOrientation == poPortrait ? QPageLayout::Portrait : QPageLayout::Landscape,
                        QMarginsF(0, 0, 0, 0)));
        device->setDocName(Q(Title));
        device->setCreator(Q("Korvane (" + name + ")"));
        doc->DevicePainter = std::make_unique<QPainter>();
        if (!doc->DevicePainter->begin(device.get())) {
            doc->DevicePainter.reset();
            std::error_code ec;
            if (!doc->Partial.empty()) std::filesystem::remove(doc->Partial, ec);
            throw EPrinter("Cannot start printing on " + name);
        }
        doc->Device = std::move(device);
    }
    FDoc = std::move(doc);
    FDoc->Page = QImage(FDoc->Width, FDoc->Height, QImage::Format_RGB32);
    FPageDc = CreateMemoryContext();
    RegisterPageContext(FPageDc);
    ContextOf(FPageDc)->Target = &FDoc->Page;
    FPrinting = true;
    FAborted = false;
    FPageNumber = 0;
    StartPage();
}

void TPrinter::StartPage() {
    ++FPageNumber;
    FDoc->Page.fill(Qt::white);
    FDoc->Text = QPicture();
    TDeviceContext* ctx = ContextOf(FPageDc);
    ctx->Painter = std::make_unique<QPainter>(&FDoc->Text);
    // The canvas selects its font, pen and brush again on the new page.
    FCanvas->SetHandle(0);
    FCanvas->SetHandle(FPageDc);
}

void TPrinter::FinishPage() {
    TDeviceContext* ctx = ContextOf(FPageDc);
    ctx->Painter->end();
    ctx->Painter.reset();
    TPagePicture page(CapturePage(FDoc->Page, FDoc->Text, Resolution()));
    if (FDoc->Record) {
        FDoc->Record->Add(std::move(page));
    } else {
        if (FDoc->PagesDone > 0 && !FDoc->Device->newPage())
            throw EPrinter("Cannot start a new page on the printer");
        PlayPage(page.Data(), *FDoc->DevicePainter, QRectF(0, 0, FDoc->Width, FDoc->Height));
    }
    ++FDoc->PagesDone;
}

void TPrinter::NewPage() {
    if (!FPrinting) throw EPrinter("No document is printing");
    try {
        FinishPage();
    } catch (...) {
        // A page the printer did not take ends the document: nothing half-printed stays.
        Close(false);
        throw;
    }
    StartPage();
}

void TPrinter::EndDoc() {
    if (!FPrinting) throw EPrinter("No document is printing");
    try {
        FinishPage();
    } catch (...) {
        Close(false);
        throw;
    }
    Close(true);
}

void TPrinter::Abort() {
    if (!FPrinting) return;
    Close(false);
    FAborted = true;
}

// Ends the document; Keep: the printed pages stay (the PDF file takes its name), else nothing does.
void TPrinter::Close(bool Keep) {
    FCanvas->SetHandle(FInfo->Dc);
    if (TDeviceContext* ctx = ContextOf(FPageDc)) {
        if (ctx->Painter) ctx->Painter->end();
        ctx->Painter.reset();
        ctx->Target = nullptr;
    }
    UnregisterPageContext(FPageDc);
    DeleteMemoryContext(FPageDc);
    FPageDc = 0;
    std::unique_ptr<TDocument> doc = std::move(FDoc);
    FPrinting = false;
    FPageNumber = 0;
    if (!Keep && doc->Record) doc->Record->Clear();
    if (doc->Device) {
        if (!Keep) doc->Device->abort();
        bool ended = doc->DevicePainter->end();
        doc->DevicePainter.reset();
        doc->Device.reset();
        std::error_code ec;
        if (!doc->Partial.empty()) {
            if (Keep && ended) {
                std::filesystem::rename(doc->Partial, doc->File, ec);
                if (ec) {
                    std::filesystem::remove(doc->Partial, ec);
                    throw EPrinter("Cannot write the PDF file " + doc->File);
                }
            } else {
                std::filesystem::remove(doc->Partial, ec);
            }
        }
        if (Keep && !ended) throw EPrinter("Printing on " + PrinterName() + " failed");
    }
}

TPrinter& Printer() {
    static TPrinter p;
    return p;
}

}  // namespace framework
