#pragma once
// The text file viewer: a file shown read-only in a fixed-pitch font, with a bookmark margin, a
// caret, a selection that can be copied, ten bookmarks, search, and scroll bars that stay usable
// for very large files (the scroll range is scaled beyond 32767 lines).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/entry/CtlBase.h"
#include "controls/entry/CtlCaret.h"
#include "controls/entry/CtlColors.h"
#include "framework/stdctrls/Edit.h"
#include "controls/grid/CtlFileLines.h"

namespace grid {

// Posted by a text viewer to itself with the caret's display column (wParam) and line (lParam); its
// handler reports the position through OnShowStatus once the current input has been handled.
constexpr framework::UINT OM_SHOWSTATUS = 0x7F12;

// The screen cursor index under which the viewers' margin cursor ("CTLLINECURSOR") is installed.
constexpr framework::TCursor crCtlLineCursor = 0x7F13;

// The faces of fixed pitch, in enumeration order.
const std::vector<std::string>& CtlFixedPitchFaces();

// The viewer's font: only fixed-pitch faces are taken.
class TCtlFixedFont : public framework::TPersistent {
public:
    TCtlFixedFont();
    framework::TColor Color() const { return FFont.Color; }
    void SetColor(framework::TColor Value);
    const std::string& Name() const { return FFont.Name; }
    // A name that is not a fixed-pitch face is ignored.
    void SetName(const std::string& Value);
    int Size() const { return FFont.Size(); }
    void SetSize(int Value);
    framework::TFontStyles Style() const { return FFont.Style; }
    void SetStyle(framework::TFontStyles Value);
    // A TFont of a proportional face raises EInvalidFixedFont.
    void AssignFont(const framework::TFont& Source);
    void Assign(framework::TPersistent* Source) override;
    const framework::TFont& Font() const { return FFont; }
    std::function<void()> OnChange;

private:
    void Changed() {
        if (OnChange) OnChange();
    }
    framework::TFont FFont;
};

using TShowStatusEvent = std::function<void(framework::TObject* Sender, int LineNum, int ColNum)>;
using TTopLineChangedEvent = std::function<void(framework::TObject* Sender, int Line)>;
using TViewerUserCommandEvent = std::function<void(framework::TObject* Sender, uint16_t Command)>;

struct TCtlViewerPos {
    int Line = 0;
    int Col = 0;
    bool operator==(const TCtlViewerPos&) const = default;
    bool operator<(const TCtlViewerPos& o) const { return Line < o.Line || (Line == o.Line && Col < o.Col); }
};

// Search options.
constexpr int svBackward = 2, svMatchCase = 4, svWholeScope = 8;

class TCtlTextFileViewer : public entry::TCtlCustomControlEx {
public:
    explicit TCtlTextFileViewer(framework::TComponent* AOwner);
    ~TCtlTextFileViewer() override;

    // ---- File ----
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Value);
    bool IsOpen() const { return FLines != nullptr; }
    void SetIsOpen(bool Value);
    int LineCount() const { return FLineCount; }
    std::string GetLine(int Index);
    int ClampLine(int Index) const;

    // ---- Look ----
    TCtlFixedFont& FixedFont() { return FFixedFont; }
    bool ExpandTabs() const { return FExpandTabs; }
    void SetExpandTabs(bool Value);
    int TabSize() const { return FTabSize; }
    void SetTabSize(int Value);
    framework::TColor MarginColor() const { return FMarginColor; }
    void SetMarginColor(framework::TColor Value);
    framework::TColor HighlightText = framework::clHighlightText;
    framework::TColor HighlightBackground = framework::clHighlight;
    bool ShowBookmarks() const { return FShowBookmarks; }
    void SetShowBookmarks(bool Value);
    bool ShowCaret() const { return FShowCaret; }
    // While focused at run time the caret shows or hides at once.
    void SetShowCaret(bool Value);
    // The caret's look; a different look is copied.
    entry::TCtlCaret& Caret() { return *FCaretLook; }
    void SetCaret(entry::TCtlCaret* Value);
    // Enabling a side turns BorderStyle to bsNone and Ctl3D off; the sides are drawn inside the client
    // area, each inset by half its pen width.
    entry::TCtlBorders& Borders() { return *FBorders; }
    framework::TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(framework::TBorderStyle Value);
    framework::TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(framework::TScrollStyle Value);
    // Whether the mouse is over the margin (a click there selects whole lines).
    bool InMarginMode() const { return FMarginMode; }
    bool Focused() const { return FFocused; }
    // Where the caret was last placed, in client pixels; entry::TCtlSingleCaret::HiddenCoordinate
    // when it is out of sight.
    framework::TPoint CaretPixel() const { return FCaretBinding->Position(); }

    TShowStatusEvent OnShowStatus;
    TTopLineChangedEvent OnTopLineChanged;
    TViewerUserCommandEvent OnUserCommand;

    // ---- Geometry and scrolling ----
    int TopLine() const { return FTopLine; }
    void SetTopLine(int N);
    int LeftColumn() const { return FLeftCol; }
    int VisibleRows() const { return FRows; }
    int VisibleColumns() const { return FCols; }
    int LineHeight() const { return FLineHeight; }
    int CharWidth() const { return FCharWidth; }
    int HighestTopLine() const { return FMaxTop; }
    int ScrollScale() const { return FScale; }
    void Scroll(int DCols, int DLines);
    void ScrollLines(int N) { Scroll(0, N); }
    void ScrollColumns(int N) { Scroll(N, 0); }
    void InvalidateLine(int Line);
    // Rows painted since creation (for those that check what a scroll repaints).
    int PaintedRows = 0;

    // ---- Caret, selection, bookmarks, search, copy ----
    TCtlViewerPos CaretPos() const { return FCaret; }
    int CaretDisplayColumn() const { return FCaretDisplay; }
    TCtlViewerPos SelStart() const { return FSelStart; }
    TCtlViewerPos SelEnd() const { return FSelEnd; }
    bool HasSelection() const { return !(FSelStart == FSelEnd); }
    void MoveCaret(int DCol, int DLine, bool KeepRow, bool Extend, bool Absolute = false);
    void MoveCaretTo(int Line, int Col, bool Extend);
    void SetSelection(int L1, int C1, int L2, int C2, bool CaretAtEnd);
    void ClearSelection(bool Redraw);
    void ExtendSelection(bool Redraw);
    TCtlViewerPos PointToPos(int X, int Y);
    TCtlViewerPos Bookmark(int N) const { return FMarks.at(static_cast<size_t>(N)); }
    void GotoBookmark(int N);
    void ToggleBookmark(int N, int Line, int Col);
    bool SearchText(const std::string& S, int Options);
    // The selected text with CR LF between lines, as it goes to the clipboard.
    std::string SelectedText();
    void CopyToClipboard();
    // Display column of character column C in S, and back.
    int DisplayColumn(const std::string& S, int C) const;
    int CharColumn(const std::string& S, int D) const;

    // Runs a command code as the keys do (commands of 256 and above go to OnUserCommand).
    void KeyCommand(uint16_t Command);

    void Dispatch(framework::TMessage& Message) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

protected:
    void CreateParams(framework::TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    virtual void DoShowStatus(int Line, int Col);
    virtual void DoTopLineChanged(int Line);
    virtual void DoUserCommand(uint16_t Command);

private:
    void SetLineCount(int N);
    void Measure();
    void UpdateScrollLimits();
    void UpdateBars();
    void UpdateCaret();
    void PlaceCaret();
    void BordersChanged();
    void FocusChanged(bool Focused);
    void MarginCursor(int X);
    void WordLeft(bool Extend);
    void WordRight(bool Extend);
    void DragWhileButtonHeld();
    static constexpr uint32_t DragStepMs = 20;
    void LButtonDown(framework::TMessage& Message);
    void SelectLines(int From, int To, bool CaretAtEnd);
    void InvalidateLines(int A, int B);
    std::string DisplayText(const std::string& Line) const;
    bool Loading() const { return (ComponentState() & framework::csLoading) != 0; }

    std::string FFileName;
    std::unique_ptr<TCtlFileLines> FLines;
    int FLineCount = 0;
    TCtlFixedFont FFixedFont;
    bool FExpandTabs = true;
    int FTabSize = 8;
    framework::TColor FMarginColor = framework::clWindow;
    bool FShowBookmarks = true;
    std::unique_ptr<framework::TBitmap> FMarkers;

    int FTopLine = 0, FLeftCol = 0, FRows = 1, FCols = 1;
    int FLineHeight = 12, FCharWidth = 12;
    int FMaxTop = 0, FScale = 1;
    uint8_t FFirstChar = 0x20, FLastChar = 0xFF, FDefaultChar = 0x1F;

    TCtlViewerPos FCaret, FSelStart, FSelEnd, FAnchor;
    int FCaretDisplay = 0;
    std::array<TCtlViewerPos, 10> FMarks;
    bool FMarginMode = false;
    bool FFocused = false;
    bool FShowCaret = true;
    entry::TCtlCaret* FCaretLook = nullptr;  // referenced, released on destruction
    std::unique_ptr<entry::TCtlSingleCaret> FCaretBinding;
    std::unique_ptr<entry::TCtlBorders> FBorders;
    framework::TBorderStyle FBorderStyle = framework::bsSingle;
    framework::TScrollStyle FScrollBars = framework::ssBoth;
};

}  // namespace grid
