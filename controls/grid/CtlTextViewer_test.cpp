// The text file viewer: opening, scrolling and its scaled range, the display of tabs, selections
// and bookmarks, caret keys, the mouse, search and copy.
#include "controls/grid/CtlTextViewer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "controls/entry/CtlCommands.h"
#include "controls/entry/CtlMessages.h"
#include "framework/core/Seams.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace grid {
namespace {

using namespace framework;
namespace fs = std::filesystem;

class ViewerTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlTextFileViewer* View = nullptr;
    fs::path Dir = fs::temp_directory_path() / ("grid-viewer-" + std::to_string(getpid()));
    std::vector<std::pair<int, int>> Status;
    std::vector<uint32_t> Paused;
    std::function<bool()> OnPause;  // true: the button stays down
    void SetUp() override {
        fs::create_directories(Dir);
        Form->SetBounds(40, 40, 640, 480);
        View = NewComponent<TCtlTextFileViewer>(Form);
        View->SetParent(Form);
        View->SetBounds(10, 10, 500, 300);
        View->OnShowStatus = [this](TObject*, int l, int c) { Status.emplace_back(l, c); };
        // A button pressed on the viewer is let go at its first pause, unless a test drags.
        SetSleepHandler([this](uint32_t Ms) {
            Paused.push_back(Ms);
            if (OnPause && OnPause()) return;
            TPoint p;
            GetCursorPos(&p);
            p = View->ScreenToClient(p);
            Driver.MouseUp(*View, p.X, p.Y);
        });
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        SetSleepHandler(nullptr);
        Form->Free();
        Driver.RunPending();
        fs::remove_all(Dir);
    }
    void Open(const std::string& Data, int Rows = 20) {
        const fs::path p = Dir / "sample.txt";
        std::ofstream(p, std::ios::binary) << Data;
        View->SetIsOpen(false);
        View->SetFileName(p.string());
        View->SetIsOpen(true);
        View->SetClientSize(View->ClientWidth(), Rows * View->LineHeight());
        Driver.RunPending();
        ASSERT_EQ(View->VisibleRows(), Rows);
    }
    void Cmd(uint16_t C) { View->KeyCommand(C); }
};

TEST_F(ViewerTest, OpeningAndTheFileName) {
    View->SetFileName((Dir / "sample.txt").string());
    EXPECT_EQ(View->FileName(), AnsiUpperCase((Dir / "sample.txt").string()));
    View->SetFileName("");
    View->SetIsOpen(true);
    EXPECT_FALSE(View->IsOpen());
    Open("a\r\nb\r\n");
    EXPECT_EQ(View->LineCount(), 3);
    EXPECT_EQ(View->GetLine(0), "a");
    // Reopening unsets the bookmarks and puts the caret at (0, 0).
    View->MoveCaretTo(1, 1, false);
    View->ToggleBookmark(3, 1, 1);
    View->SetFileName(View->FileName());
    EXPECT_EQ(View->Bookmark(3), (TCtlViewerPos{-1, -1}));
    EXPECT_EQ(View->CaretPos(), (TCtlViewerPos{0, 0}));
    // An open error leaves the viewer closed.
    View->SetIsOpen(false);
    View->SetFileName((Dir / "missing.txt").string());
    EXPECT_THROW(View->SetIsOpen(true), EInOutError);
    EXPECT_FALSE(View->IsOpen());
    EXPECT_EQ(View->LineCount(), 0);
}

TEST_F(ViewerTest, ScaledScrollRangeForManyLines) {
    // seq 69999: 69 999 lines and the empty one after the last break, 70 000 in all.
    std::string data;
    for (int i = 1; i <= 69999; ++i) data += std::to_string(i) + "\n";
    Open(data);
    ASSERT_EQ(View->LineCount(), 70000);
    EXPECT_EQ(View->HighestTopLine(), 69981);
    EXPECT_EQ(View->ScrollScale(), 4);
    TScrollInfo si;
    si.fMask = SIF_ALL;
    GetScrollInfo(View->Handle(), SB_VERT, si);
    EXPECT_EQ(si.nMin, 0);
    EXPECT_EQ(si.nMax, 17500);
    View->Perform(WM_VSCROLL, MakeWParam(SB_THUMBPOSITION, 17500), 0);
    EXPECT_EQ(View->TopLine(), 69981);
    View->Perform(WM_VSCROLL, MakeWParam(SB_THUMBTRACK, 0), 0);
    EXPECT_EQ(View->TopLine(), 0);
    TScrollInfo hi;
    hi.fMask = SIF_ALL;
    GetScrollInfo(View->Handle(), SB_HORZ, hi);
    EXPECT_EQ(hi.nMax, 512);
    // One wheel notch is one line; one line of scrolling repaints only the new row.
    View->SetTopLine(100);
    View->SetFocus();
    Driver.RunPending();
    const int before = View->PaintedRows;
    Driver.Wheel(*View, -120);
    Driver.RunPending();
    EXPECT_EQ(View->TopLine(), 101);
    EXPECT_EQ(View->PaintedRows - before, 1);
    EXPECT_EQ(View->GetLine(View->TopLine()), "102");
}

TEST_F(ViewerTest, TabsFontsAndTabSize) {
    Open("ab\tc\n");
    EXPECT_EQ(View->DisplayColumn("ab\tc", 3), 8);
    EXPECT_EQ(View->DisplayColumn("abc\tx", 4), 8);  // a tab at column 3 is 5 blanks
    View->SetTabSize(0);
    EXPECT_EQ(View->TabSize(), 8);
    View->SetExpandTabs(false);
    EXPECT_EQ(View->DisplayColumn("abc\tx", 4), 4);
    // FixedFont takes fixed faces only.
    TFont prop;
    prop.Name = "Arial";
    try {
        View->FixedFont().AssignFont(prop);
        ADD_FAILURE() << "taken";
    } catch (const entry::EInvalidFixedFont& e) {
        EXPECT_STREQ(e.what(), "Invalid font assignment. Font must be a fixed font");
    }
    const std::string name = View->FixedFont().Name();
    View->FixedFont().SetName("Arial");
    EXPECT_EQ(View->FixedFont().Name(), name);
    TFont mono;
    mono.Name = "Courier New";
    mono.SetSize(10);
    mono.Style = fsBold;
    View->FixedFont().AssignFont(mono);
    EXPECT_EQ(View->FixedFont().Name(), "Courier New");
}

TEST_F(ViewerTest, SelectionAndBookmarkPainting) {
    View->HighlightBackground = clRed;
    Open("hello world\nsecond\n");
    View->SetSelection(0, 0, 0, 3, true);
    View->ToggleBookmark(3, 1, 0);
    Driver.RunPending();
    const int lh = View->LineHeight(), cw = View->CharWidth();
    // Highlight over the text only.
    EXPECT_EQ(Driver.PixelAt(*View, 16 + 1, 1), ColorToRGB(clRed));
    EXPECT_NE(Driver.PixelAt(*View, 16 + 5 * cw, 1), ColorToRGB(clRed));
    // The bookmark glyph of cell 3 in the margin of line 1.
    EXPECT_EQ(Driver.PixelAt(*View, 2 + 5, lh + (lh > 13 ? (lh - 12) / 2 : 0) + 5), ColorToRGB(clTeal));
    Driver.Grab(*Form, "/tmp/viewer.png");
}

TEST_F(ViewerTest, CaretKeys) {
    Open("line0\nl1\nl2\nl3\nfour4\nfive5\n\tab\n0123456789abc\n");
    // ccLeft at (0,0): nothing; at (5,0): end of line 4.
    Status.clear();
    Cmd(entry::ccLeft);
    EXPECT_EQ(View->CaretPos(), (TCtlViewerPos{0, 0}));
    View->MoveCaretTo(5, 0, false);
    Cmd(entry::ccLeft);
    EXPECT_EQ(View->CaretPos(), (TCtlViewerPos{4, 5}));
    // The position is reported through a posted message, after the move has been handled.
    EXPECT_TRUE(Status.empty());
    Driver.RunPending();
    ASSERT_FALSE(Status.empty());
    EXPECT_EQ(Status.back(), std::make_pair(4, 5));
    // Down from display column 10 onto "\tab": character column 3, display column 10.
    View->MoveCaretTo(7, 10, false);
    Cmd(entry::ccUp);
    EXPECT_EQ(View->CaretPos(), (TCtlViewerPos{6, 3}));
    EXPECT_EQ(View->CaretDisplayColumn(), 10);
    // ccDown on the last line without column change: nothing, also to the selection.
    View->MoveCaretTo(8, 0, false);
    View->SetSelection(7, 0, 8, 0, true);
    const auto s0 = View->SelStart(), s1 = View->SelEnd();
    Cmd(entry::ccDown);
    EXPECT_EQ(View->CaretPos(), (TCtlViewerPos{8, 0}));
    EXPECT_EQ(View->SelStart(), s0);
    EXPECT_EQ(View->SelEnd(), s1);
    // Bookmark 3 toggled twice is unset.
    Cmd(entry::ccSetMarker0 + 3);
    EXPECT_EQ(View->Bookmark(3), (TCtlViewerPos{8, 0}));
    Cmd(entry::ccSetMarker0 + 3);
    EXPECT_EQ(View->Bookmark(3), (TCtlViewerPos{-1, -1}));
    // ccRight at the end of the last line: nothing.
    Cmd(entry::ccRight);
    EXPECT_EQ(View->CaretPos(), (TCtlViewerPos{8, 0}));
    // Without ShowCaret ccRight scrolls one column.
    View->SetShowCaret(false);
    Cmd(entry::ccRight);
    EXPECT_EQ(View->LeftColumn(), 1);
    EXPECT_EQ(View->CaretPos(), (TCtlViewerPos{8, 0}));
    // User commands.
    std::vector<uint16_t> user;
    View->OnUserCommand = [&](TObject*, uint16_t c) { user.push_back(c); };
    Cmd(300);
    EXPECT_EQ(user, std::vector<uint16_t>{300});
    // Keys through the controller's default table.
    View->SetShowCaret(true);
    View->MoveCaretTo(0, 0, false);
    Driver.KeyTo(*View, VK_DOWN);
    EXPECT_EQ(View->CaretPos().Line, 1);
}

TEST_F(ViewerTest, TheCaretFollowsFocusScrollingAndShowCaret) {
    Open("first line\n\tsecond\nthird\n", 2);
    const int lh = View->LineHeight(), cw = View->CharWidth();
    EXPECT_EQ(GetCaretState().Owner, HWND(0));
    View->SetFocus();
    Driver.RunPending();
    ASSERT_TRUE(View->Focused());
    TCaretState st = GetCaretState();
    EXPECT_EQ(st.Owner, View->Handle());
    EXPECT_TRUE(st.Visible);
    EXPECT_EQ(View->CaretPixel(), Point(16, 0));
    // The caret cell is one character by one line; the look decides its width inside the cell.
    EXPECT_EQ(st.Bounds.Height(), std::min(lh, View->Caret().CaretHeight()));

    // Tabs count as display columns.
    Cmd(entry::ccDown);
    Cmd(entry::ccRight);
    EXPECT_EQ(View->CaretPixel(), Point(16 + 8 * cw, lh));
    // Scrolled out of sight the caret is moved away; scrolled back it returns.
    View->ScrollLines(1);
    View->ScrollLines(1);
    EXPECT_EQ(View->TopLine(), 2);
    EXPECT_EQ(View->CaretPixel().Y, entry::TCtlSingleCaret::HiddenCoordinate);
    View->ScrollLines(-1);
    EXPECT_EQ(View->CaretPixel(), Point(16 + 8 * cw, 0));

    View->SetShowCaret(false);
    EXPECT_FALSE(GetCaretState().Visible);
    View->SetShowCaret(true);
    EXPECT_TRUE(GetCaretState().Visible);

    // Losing the focus gives the caret up.
    auto* other = NewComponent<TCtlTextFileViewer>(Form);
    other->SetParent(Form);
    other->SetBounds(10, 320, 100, 60);
    other->SetFocus();
    Driver.RunPending();
    EXPECT_FALSE(View->Focused());
    EXPECT_NE(GetCaretState().Owner, View->Handle());

    // Another look is copied, not shared.
    entry::TCtlCaret block;
    block.SetShape(entry::csBlock);
    View->SetCaret(&block);
    EXPECT_EQ(View->Caret().Shape(), entry::csBlock);
    EXPECT_NE(&View->Caret(), &block);
}

TEST_F(ViewerTest, BordersBorderStyleAndScrollBars) {
    Open("text\n");
    // A single border with new-style controls is the sunken client edge; the scroll bars follow
    // ScrollBars.
    EXPECT_EQ(View->BorderStyle(), bsSingle);
    EXPECT_NE(GetWindowLong(View->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0u);
    EXPECT_NE(GetWindowLong(View->Handle(), GWL_STYLE) & WS_VSCROLL, 0u);
    EXPECT_NE(GetWindowLong(View->Handle(), GWL_STYLE) & WS_HSCROLL, 0u);
    View->SetScrollBars(ssVertical);
    EXPECT_EQ(GetWindowLong(View->Handle(), GWL_STYLE) & WS_HSCROLL, 0u);
    EXPECT_NE(GetWindowLong(View->Handle(), GWL_STYLE) & WS_VSCROLL, 0u);
    View->SetScrollBars(ssNone);
    EXPECT_EQ(GetWindowLong(View->Handle(), GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), 0u);
    EXPECT_EQ(View->LineCount(), 2);  // recreating the window keeps the file

    View->SetCtl3D(false);
    View->SetBorderStyle(bsNone);
    View->SetBorderStyle(bsSingle);
    EXPECT_NE(GetWindowLong(View->Handle(), GWL_STYLE) & WS_BORDER, 0u);

    // Enabling a side drops the window border and draws the side inside the client area.
    View->SetCtl3D(true);
    View->Borders().LeftBorder().SetPenColor(clRed);
    View->Borders().LeftBorder().SetPenWidth(4);
    View->Borders().LeftBorder().SetEnabled(true);
    Driver.RunPending();
    EXPECT_EQ(View->BorderStyle(), bsNone);
    EXPECT_FALSE(View->Ctl3D());
    EXPECT_EQ(GetWindowLong(View->Handle(), GWL_STYLE) & WS_BORDER, 0u);
    EXPECT_EQ(GetWindowLong(View->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0u);
    EXPECT_EQ(Driver.PixelAt(*View, 1, 5), ColorToRGB(clRed));
    EXPECT_NE(Driver.PixelAt(*View, 6, 5), ColorToRGB(clRed));
    Driver.Grab(*Form, "/tmp/viewer-borders.png");
}

TEST_F(ViewerTest, TheMarginShowsTheLineCursor) {
    Open("one\ntwo\n");
    ASSERT_NE(Screen->Cursors(crCtlLineCursor), HCURSOR(0));
    Driver.MouseMove(*View, 5, 3);
    EXPECT_TRUE(View->InMarginMode());
    EXPECT_EQ(View->Cursor(), crCtlLineCursor);
    Driver.MouseMove(*View, 40, 3);
    EXPECT_FALSE(View->InMarginMode());
    EXPECT_EQ(View->Cursor(), crDefault);
}

TEST_F(ViewerTest, MouseSelectsLinesAndWords) {
    Open("zero\none two  three\ntwo\nthree\nfour\n");
    const int lh = View->LineHeight(), cw = View->CharWidth();
    View->MoveCaretTo(3, 2, false);
    // Shift-click in the margin on line 1 with the caret lower: lines 1..3, caret at the start.
    Driver.Click(*View, 5, lh + 2, TMouseButton::mbLeft, ssShift);
    EXPECT_EQ(View->SelStart(), (TCtlViewerPos{1, 0}));
    EXPECT_EQ(View->SelEnd(), (TCtlViewerPos{3, 5}));
    // A double click selects the word and its trailing blanks.
    Driver.DoubleClick(*View, 16 + 5 * cw + 1, lh + 2);
    EXPECT_EQ(View->SelStart(), (TCtlViewerPos{1, 4}));
    EXPECT_EQ(View->SelEnd(), (TCtlViewerPos{1, 9}));
    // A plain click moves the caret.
    Driver.Click(*View, 16 + 2 * cw + 1, 2 * lh + 2);
    EXPECT_EQ(View->CaretPos(), (TCtlViewerPos{2, 2}));
    EXPECT_FALSE(View->HasSelection());
}

// Holding the button with the pointer below the window keeps scrolling down and extending the
// selection, one line at each pause, until the button is let go; above the window it goes back up.
TEST_F(ViewerTest, DraggingOutsideTheWindowKeepsScrolling) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\n";
    Open(text, 10);
    const int lh = View->LineHeight();
    int steps = 0;
    TPoint outside = View->ClientToScreen(Point(40, View->ClientHeight() + 30));
    OnPause = [&] {
        SetCursorPos(outside.X, outside.Y);
        return ++steps < 6;
    };
    Driver.MouseDown(*View, 40, 2 * lh + 2);
    EXPECT_EQ(steps, 6);
    EXPECT_FALSE(GetAsyncKeyState(VK_LBUTTON) < 0);
    EXPECT_EQ(View->SelStart().Line, 2);
    EXPECT_GE(View->TopLine(), 5);
    EXPECT_EQ(View->CaretPos().Line, View->TopLine() + View->VisibleRows() - 1);
    EXPECT_EQ(View->SelEnd(), View->CaretPos());
    // Above the window, dragging back from line 50: the view climbs a line at a time.
    View->MoveCaretTo(50, 0, false);
    View->SetTopLine(45);
    steps = 0;
    outside = View->ClientToScreen(Point(40, -20));
    Driver.MouseDown(*View, 40, 5 * lh + 2);
    EXPECT_EQ(View->SelEnd().Line, 50);
    EXPECT_LE(View->TopLine(), 41);
    EXPECT_EQ(View->CaretPos().Line, View->TopLine());
    for (uint32_t ms : Paused) EXPECT_GT(ms, 0u);
}

// Bytes below the font's first character are shown as the font's default character, one cell each.
TEST_F(ViewerTest, LowBytesShowTheDefaultCharacter) {
    Open(std::string("a\x01\x02") + "b\na\x1F\x1F" + "b\nabcd\n");
    const int lh = View->LineHeight();
    auto row = [&](int Line) {
        std::vector<TColor> px;
        for (int y = Line * lh; y < (Line + 1) * lh; ++y)
            for (int x = 16; x < 16 + 6 * View->CharWidth(); ++x) px.push_back(Driver.PixelAt(*View, x, y));
        return px;
    };
    View->MoveCaretTo(2, 4, false);
    Driver.RunPending();
    EXPECT_EQ(row(0), row(1));
    EXPECT_NE(row(0), row(2));
    EXPECT_EQ(View->GetLine(0), std::string("a\x01\x02") + "b") << "the text itself is kept";
}

// Outside data of any shape: 64 MB of random bytes (a fixed seed) opens, paints at both ends and
// copies a selection; a 2 GiB file of zeros (sparse on disk) opens and scrolls to its very end.
TEST_F(ViewerTest, HugeAndBinaryFiles) {
    const fs::path random = Dir / "random.bin";
    {
        std::mt19937_64 gen(20261211);
        std::vector<uint64_t> block(1 << 16);
        std::ofstream out(random, std::ios::binary);
        for (int i = 0; i < 128; ++i) {
            for (auto& v : block) v = gen();
            out.write(reinterpret_cast<const char*>(block.data()), block.size() * sizeof(uint64_t));
        }
    }
    ASSERT_EQ(fs::file_size(random), 64u << 20);
    View->SetFileName(random.string());
    View->SetIsOpen(true);
    Driver.RunPending();
    const int lines = View->LineCount();
    EXPECT_GT(lines, (64 << 20) / CtlViewerMaxLineLength);
    View->SetTopLine(View->HighestTopLine());
    Driver.RunPending();
    EXPECT_EQ(View->TopLine(), View->HighestTopLine());
    View->SetSelection(lines - 500, 3, lines - 1, 0, true);
    View->CopyToClipboard();
    const std::string copied = Clipboard()->AsText();
    EXPECT_GT(copied.size(), 400u);
    EXPECT_LE(copied.size(), 500u * (CtlViewerMaxLineLength + 2));
    View->SetIsOpen(false);
    fs::remove(random);

    // 2 GiB of zeros (sparse on disk) ending in "\ntail": the first line keeps its first 1023
    // characters and skips the rest; the line after 2 GiB is read where it lies.
    const fs::path sparse = Dir / "sparse.bin";
    {
        std::ofstream out(sparse, std::ios::binary);
        out.seekp((std::streamoff(1) << 31) - 5);
        out << "\ntail";
    }
    ASSERT_EQ(fs::file_size(sparse), uintmax_t(1) << 31);
    View->SetFileName(sparse.string());
    View->SetIsOpen(true);
    ASSERT_EQ(View->LineCount(), 3);
    EXPECT_EQ(View->GetLine(0), std::string(CtlViewerMaxLineLength, '\0'));
    Cmd(entry::ccLastPage);
    Driver.RunPending();
    EXPECT_EQ(View->TopLine(), View->HighestTopLine());
    EXPECT_EQ(View->CaretPos(), (TCtlViewerPos{2, 0}));
    EXPECT_EQ(View->GetLine(1), "tail");
}

TEST_F(ViewerTest, SearchAndCopy) {
    std::string data = "x and x\nnone\nx\n";
    for (int i = 0; i < 600; ++i) data += "filler\n";
    data += "the abc end\n";
    Open(data);
    EXPECT_FALSE(View->SearchText("", 0));
    ASSERT_TRUE(View->SearchText("x", 0));
    EXPECT_EQ(View->SelStart(), (TCtlViewerPos{0, 0}));
    ASSERT_TRUE(View->SearchText("x", 0));
    EXPECT_EQ(View->SelStart(), (TCtlViewerPos{0, 6}));
    ASSERT_TRUE(View->SearchText("x", 0));
    EXPECT_EQ(View->SelStart(), (TCtlViewerPos{2, 0}));
    // Backward from the start of a match: the previous one.
    View->MoveCaretTo(2, 0, false);
    ASSERT_TRUE(View->SearchText("x", svBackward));
    EXPECT_EQ(View->SelStart(), (TCtlViewerPos{0, 6}));
    EXPECT_EQ(View->CaretPos(), (TCtlViewerPos{0, 6}));
    // Without match case, on a line read on demand far beyond the cache.
    ASSERT_TRUE(View->SearchText("ABC", 0));
    EXPECT_EQ(View->SelStart(), (TCtlViewerPos{603, 4}));
    EXPECT_FALSE(View->SearchText("ABC", svMatchCase | svWholeScope));

    Open("l0\nl1\nabcdef\nline3\nqrs\n");
    View->SetSelection(2, 3, 4, 1, true);
    View->CopyToClipboard();
    EXPECT_EQ(Clipboard()->AsText(), "def\r\nline3\r\nq");
}

}  // namespace
}  // namespace grid
