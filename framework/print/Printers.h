#pragma once
// The application's printer: the list of printers (the system's print queues and our own "PDF File"),
// the current one with its orientation and paper, and the document being printed, drawn page by page
// on Canvas() with the same pixel rules as a window. A document goes to the chosen printer, or, when
// KORVANE_PRINT_TO names a file, to that PDF file whatever printer is chosen; it can also be recorded
// into page pictures instead (see PagePicture.h). Qt's print support stays behind this header.
//
// The device has 96 pixels per inch, the resolution the canvas and its fonts assume everywhere:
// a font of 10 points is 10 points on paper, and Letter paper is 816 × 1056 pixels in portrait.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Exception.h"
#include "framework/core/Object.h"
#include "framework/core/Strings.h"
#include "framework/ui/Graphics.h"

namespace framework {

class TPagePictures;

// A printer that cannot be chosen or used: an index outside the list, a change of printer while a
// document is printing, a document begun twice or ended without being begun.
KORVANE_DECLARE_EXCEPTION(EPrinter, Exception);

enum TPrinterOrientation { poPortrait, poLandscape };
enum TPrinterPaper { ppLetter, ppLegal, ppA4 };

// "Letter", "Legal", "A4"; and the paper's size in points (1/72 inch), portrait.
std::string PaperName(TPrinterPaper Paper);
TSize PaperSizePoints(TPrinterPaper Paper);

// The entry of our own at the end of every printer list: it writes each document to a PDF file.
inline constexpr const char* kPdfFilePrinter = "PDF File";

class TPrinter : public TObject {
public:
    TPrinter();
    ~TPrinter() override;
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // The printer names: the system's queues, then "PDF File".
    TStrings& Printers();
    // Reads the list of queues again; the current printer stays chosen when it is still there.
    void Refresh();
    // The index of the current printer in Printers().
    int PrinterIndex() const;
    // -1 chooses the system's default queue ("PDF File" when there is none). An index outside the
    // list raises EPrinter and changes nothing.
    void SetPrinterIndex(int Value);
    std::string PrinterName() const;

    TPrinterOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TPrinterOrientation Value);
    TPrinterPaper Paper() const { return FPaper; }
    void SetPaper(TPrinterPaper Value);

    // The page in device pixels (orientation applied), and the pixels per inch.
    int PageWidth() const;
    int PageHeight() const;
    static constexpr int Resolution() { return 96; }

    // The document's name, shown by the print queue and written into a PDF file (whose creator field
    // names the printer the document was printed for).
    std::string Title;

    // Starts a document on the printer (or the KORVANE_PRINT_TO file) with page 1 ready to draw.
    // "PDF File" without KORVANE_PRINT_TO asks for the file name; declining raises EAbort.
    void BeginDoc();
    // Starts a document whose pages are recorded into Pages (emptied first) instead of printed.
    void BeginRecord(TPagePictures& Pages);
    // Finishes the page and starts the next one.
    void NewPage();
    // Finishes the last page and the document; a PDF file appears only now.
    void EndDoc();
    // Drops the document: nothing is printed and no file is left.
    void Abort();
    bool Printing() const { return FPrinting; }
    bool Aborted() const { return FAborted; }
    // The page being drawn, from 1.
    int PageNumber() const { return FPageNumber; }

    // Drawing on the current page (valid while printing; between documents it draws on nothing).
    TCanvas& Canvas();
    HDC Handle();

private:
    struct TDocument;
    struct TInfoContext;
    void CheckNotPrinting(const char* What) const;
    void StartDocument(TPagePictures* Record);
    void StartPage();
    void FinishPage();
    void Close(bool Keep);

    std::unique_ptr<TStringList> FPrinters;
    int FPrinterIndex = 0;
    int FDefaultIndex = 0;
    TPrinterOrientation FOrientation = poPortrait;
    TPrinterPaper FPaper = ppLetter;
    bool FPrinting = false;
    bool FAborted = false;
    int FPageNumber = 0;
    std::unique_ptr<TCanvas> FCanvas;
    std::unique_ptr<TInfoContext> FInfo;
    std::unique_ptr<TDocument> FDoc;
    HDC FPageDc = 0;
};

// The application's printer object, made on first use.
TPrinter& Printer();

// The source of the system's queue names (default: Qt's list of printers) and of the default queue
// ("" for none); tests install their own. An empty function restores the default. Each returns the
// one it replaces.
using TPrinterQueuesFunc = std::function<std::vector<std::string>(std::string& Default)>;
TPrinterQueuesFunc SetPrinterQueueSource(TPrinterQueuesFunc Source);

}  // namespace framework
