// Pixel rules of the canvas, checked by reading pixels back from bitmaps.
#include <gtest/gtest.h>

#include <vector>

#include "framework/ui/Graphics.h"

namespace framework {
namespace {

// A 24-bit bitmap filled with one colour.
std::unique_ptr<TBitmap> Blank(int W, int H, TColor Fill = clWhite) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(W, H);
    b->Canvas().Brush.Color = Fill;
    b->Canvas().FillRect(Rect(0, 0, W, H));
    return b;
}

std::vector<TColor> Pixels(TBitmap& B) {
    std::vector<TColor> v;
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x) v.push_back(B.Canvas().Pixel(x, y));
    return v;
}

// A background with every pixel different, so that a restore that misses one shows.
std::unique_ptr<TBitmap> Busy(int W, int H) {
    auto b = Blank(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) b->Canvas().SetPixel(x, y, RGB(x * 13, y * 17, (x * y) & 0xFF));
    return b;
}

TEST(Canvas, RectangleCoversItsLeftTopCornerUpToButNotIncludingRightBottom) {
    auto b = Blank(20, 20);
    TCanvas& c = b->Canvas();
    c.Pen.Color = clBlack;
    c.Brush.Color = clRed;
    c.Rectangle(0, 0, 10, 10);
    struct {
        int X, Y;
        TColor Want;
    } cases[] = {{0, 0, clBlack}, {9, 0, clBlack}, {0, 9, clBlack},  {9, 9, clBlack},  {5, 5, clRed},
                 {1, 1, clRed},   {8, 8, clRed},   {10, 5, clWhite}, {5, 10, clWhite}, {10, 10, clWhite}};
    for (auto& k : cases) EXPECT_EQ(c.Pixel(k.X, k.Y), k.Want) << k.X << "," << k.Y;
}

TEST(Canvas, FillRectAndNullPenRectangleLeaveRightAndBottomEdgesOut) {
    auto b = Blank(20, 20);
    TCanvas& c = b->Canvas();
    c.Brush.Color = clBlue;
    c.FillRect(Rect(2, 2, 6, 6));
    EXPECT_EQ(c.Pixel(5, 5), clBlue);
    EXPECT_EQ(c.Pixel(6, 5), clWhite);
    EXPECT_EQ(c.Pixel(5, 6), clWhite);
    // Without a pen the rectangle shrinks by one pixel each way.
    c.Pen.Style = psClear;
    c.Brush.Color = clLime;
    c.Rectangle(10, 10, 15, 15);
    EXPECT_EQ(c.Pixel(13, 13), clLime);
    EXPECT_EQ(c.Pixel(14, 13), clWhite);
    EXPECT_EQ(c.Pixel(13, 14), clWhite);
}

TEST(Canvas, LineToLeavesOutItsEndPixel) {
    struct {
        int X0, Y0, X1, Y1;
        int LastX, LastY;  // the last pixel drawn
    } cases[] = {{0, 5, 10, 5, 9, 5},
                 {10, 5, 0, 5, 1, 5},
                 {3, 0, 3, 10, 3, 9},
                 {0, 0, 8, 8, 7, 7},
                 {8, 0, 0, 8, 1, 7}};
    for (auto& k : cases) {
        auto b = Blank(16, 16);
        TCanvas& c = b->Canvas();
        c.MoveTo(k.X0, k.Y0);
        c.LineTo(k.X1, k.Y1);
        EXPECT_EQ(c.Pixel(k.X0, k.Y0), clBlack);
        EXPECT_EQ(c.Pixel(k.LastX, k.LastY), clBlack);
        EXPECT_EQ(c.Pixel(k.X1, k.Y1), clWhite) << k.X1 << "," << k.Y1;
        EXPECT_EQ(c.PenPos, Point(k.X1, k.Y1));
    }
}

TEST(Canvas, XorAndNotPensDrawnTwiceRestoreTheBackground) {
    for (TPenMode mode : {pmXor, pmNot, pmNotXor}) {
        auto b = Busy(24, 24);
        std::vector<TColor> before = Pixels(*b);
        TCanvas& c = b->Canvas();
        c.Pen.Mode = mode;
        c.Pen.Color = RGB(0x5A, 0xC3, 0x0F);
        c.Brush.Style = bsClear;
        for (int i = 0; i < 2; ++i) {
            c.MoveTo(0, 0);
            c.LineTo(23, 17);
            c.Rectangle(3, 3, 20, 20);
            if (i == 0) {
                EXPECT_NE(Pixels(*b), before);
            }
        }
        EXPECT_EQ(Pixels(*b), before) << int(mode);
    }
}

TEST(Canvas, PenModesCombineWithTheDestination) {
    struct {
        TPenMode Mode;
        TColor Want;  // pen 0x0F0F0F... over 0x335577
    } cases[] = {{pmCopy, 0x00F0F0},
                 {pmXor, 0x00F0F0 ^ 0x335577},
                 {pmNot, ~0x335577 & 0xFFFFFF},
                 {pmMask, 0x00F0F0 & 0x335577},
                 {pmMerge, 0x00F0F0 | 0x335577},
                 {pmBlack, 0},
                 {pmWhite, 0xFFFFFF},
                 {pmNop, 0x335577}};
    for (auto& k : cases) {
        auto b = Blank(4, 4, 0x335577);
        TCanvas& c = b->Canvas();
        c.Pen.Mode = k.Mode;
        c.Pen.Color = 0x00F0F0;
        c.MoveTo(0, 1);
        c.LineTo(3, 1);
        EXPECT_EQ(c.Pixel(1, 1), k.Want) << int(k.Mode);
    }
}

TEST(Canvas, DrawFocusRectInvertsEveryOtherFramePixelAndTwiceRestores) {
    auto b = Busy(20, 20);
    std::vector<TColor> before = Pixels(*b);
    TCanvas& c = b->Canvas();
    c.DrawFocusRect(Rect(2, 2, 12, 9));
    int changed = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            bool onFrame =
                (x >= 2 && x <= 11 && (y == 2 || y == 8)) || (y >= 2 && y <= 8 && (x == 2 || x == 11));
            bool differs = c.Pixel(x, y) != before[y * 20 + x];
            if (differs) {
                ++changed;
                EXPECT_TRUE(onFrame) << x << "," << y;
                EXPECT_EQ(c.Pixel(x, y), ~before[y * 20 + x] & 0xFFFFFF);
            }
        }
    EXPECT_GT(changed, 10);
    EXPECT_LT(changed, 20);  // half of the 30 frame pixels, give or take the corners
    c.DrawFocusRect(Rect(2, 2, 12, 9));
    EXPECT_EQ(Pixels(*b), before);
}

TEST(Canvas, HatchAndBitmapBrushesRepeatEveryEightPixels) {
    auto pattern = Blank(8, 8, clYellow);
    pattern->Canvas().SetPixel(1, 2, clNavy);
    auto b = Blank(32, 32);
    TCanvas& c = b->Canvas();
    c.Brush.Bitmap = pattern.get();
    c.FillRect(Rect(0, 0, 32, 32));
    EXPECT_EQ(c.Pixel(1, 2), clNavy);
    EXPECT_EQ(c.Pixel(9, 18), clNavy);
    EXPECT_EQ(c.Pixel(2, 2), clYellow);
    c.Brush.Bitmap = nullptr;
    c.Brush.Style = bsCross;
    c.Brush.Color = clRed;
    c.FillRect(Rect(0, 0, 32, 32));
    int red = 0;
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y) {
            red += c.Pixel(x, y) == clRed;
            EXPECT_EQ(c.Pixel(x, y), c.Pixel(x + 8, y + 16));
        }
    EXPECT_EQ(red, 15);  // one row and one column of the 8×8 cell
}

TEST(Canvas, EllipseAndPolygonStayInsideTheirBounds) {
    auto b = Blank(30, 30);
    TCanvas& c = b->Canvas();
    c.Brush.Color = clRed;
    c.Ellipse(5, 5, 25, 15);
    EXPECT_EQ(c.Pixel(15, 10), clRed);
    EXPECT_EQ(c.Pixel(5, 5), clWhite);  // corner of the box
    for (int x = 0; x < 30; ++x) {
        EXPECT_EQ(c.Pixel(x, 15), clWhite);
        EXPECT_EQ(c.Pixel(x, 4), clWhite);
    }
    auto p = Blank(30, 30);
    p->Canvas().Brush.Color = clBlue;
    p->Canvas().Polygon({Point(2, 2), Point(20, 2), Point(2, 20)});
    EXPECT_EQ(p->Canvas().Pixel(5, 5), clBlue);
    EXPECT_EQ(p->Canvas().Pixel(18, 18), clWhite);
    EXPECT_EQ(p->Canvas().Pixel(2, 2), clBlack);
}

TEST(Canvas, ClipRegionLimitsDrawingAndGivesTheClipBox) {
    auto b = Blank(20, 20);
    TCanvas& c = b->Canvas();
    HRGN a = CreateRectRgn(0, 0, 10, 10), r = CreateRectRgn(5, 5, 15, 15);
    EXPECT_EQ(CombineRgn(a, a, r, RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(a, 12, 12));
    EXPECT_FALSE(PtInRegion(a, 12, 2));
    SelectClipRgn(c.Handle(), a);
    TRect box = c.ClipRect();
    EXPECT_EQ(box, Rect(0, 0, 15, 15));
    c.Brush.Color = clGreen;
    c.FillRect(Rect(0, 0, 20, 20));
    EXPECT_EQ(c.Pixel(2, 2), clGreen);
    EXPECT_EQ(c.Pixel(14, 14), clGreen);
    EXPECT_EQ(c.Pixel(12, 2), clWhite);
    EXPECT_EQ(c.Pixel(15, 15), clWhite);
    SelectClipRgn(c.Handle(), 0);
    EXPECT_EQ(c.ClipRect(), Rect(0, 0, 20, 20));
    DeleteObject(a);
    DeleteObject(r);
}

TEST(Regions, CombineOffsetAndBoxes) {
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 0, 15, 10), d = CreateRectRgn(0, 0, 0, 0);
    struct {
        int Mode;
        int Type;
        TRect Box;
    } cases[] = {{RGN_AND, SIMPLEREGION, Rect(5, 0, 10, 10)},
                 {RGN_OR, SIMPLEREGION, Rect(0, 0, 15, 10)},
                 {RGN_DIFF, SIMPLEREGION, Rect(0, 0, 5, 10)},
                 {RGN_XOR, COMPLEXREGION, Rect(0, 0, 15, 10)}};
    for (auto& k : cases) {
        EXPECT_EQ(CombineRgn(d, a, b, k.Mode), k.Type) << k.Mode;
        TRect box;
        GetRgnBox(d, &box);
        EXPECT_EQ(box, k.Box) << k.Mode;
    }
    EXPECT_EQ(CombineRgn(d, a, a, RGN_DIFF), NULLREGION);
    OffsetRgn(a, 100, 50);
    EXPECT_TRUE(PtInRegion(a, 100, 50));
    EXPECT_FALSE(PtInRegion(a, 110, 50));
    HRGN e = CreateEllipticRgn(0, 0, 20, 20);
    EXPECT_TRUE(PtInRegion(e, 10, 10));
    EXPECT_FALSE(PtInRegion(e, 0, 0));
    for (HRGN h : {a, b, d, e}) EXPECT_TRUE(DeleteObject(h));
    EXPECT_FALSE(DeleteObject(a));
}

TEST(Canvas, DrawEdgePaintsRaisedAndSunkenRingsAndAdjusts) {
    auto b = Blank(12, 12, clBlack);
    HDC dc = b->Canvas().Handle();
    TRect r = Rect(0, 0, 12, 12);
    DrawEdge(dc, r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    EXPECT_EQ(r, Rect(2, 2, 10, 10));
    TCanvas& c = b->Canvas();
    EXPECT_EQ(ColorToRGB(c.Pixel(0, 5)), ColorToRGB(cl3DLight));
    EXPECT_EQ(ColorToRGB(c.Pixel(11, 5)), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(ColorToRGB(c.Pixel(1, 5)), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(ColorToRGB(c.Pixel(10, 5)), ColorToRGB(clBtnShadow));
    EXPECT_EQ(ColorToRGB(c.Pixel(5, 5)), ColorToRGB(clBtnFace));
    // The bottom-left corner belongs to the dark side.
    EXPECT_EQ(ColorToRGB(c.Pixel(0, 11)), ColorToRGB(cl3DDkShadow));
    TRect s = Rect(0, 0, 12, 12);
    DrawEdge(b->Canvas().Handle(), s, EDGE_SUNKEN, BF_RECT);
    EXPECT_EQ(ColorToRGB(c.Pixel(0, 5)), ColorToRGB(clBtnShadow));
    EXPECT_EQ(ColorToRGB(c.Pixel(11, 5)), ColorToRGB(clBtnHighlight));
}

TEST(Canvas, DrawFrameControlChecksAndPushes) {
    auto b = Blank(20, 20, clRed);
    HDC dc = b->Canvas().Handle();
    TRect r = Rect(0, 0, 13, 13);
    DrawFrameControl(dc, r, DFC_BUTTON, DFCS_BUTTONCHECK);
    EXPECT_EQ(ColorToRGB(b->Canvas().Pixel(6, 6)), ColorToRGB(clWindow));
    DrawFrameControl(dc, r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
    EXPECT_EQ(ColorToRGB(b->Canvas().Pixel(6, 6)), ColorToRGB(clBtnText));
    TRect p = Rect(0, 0, 20, 20);
    DrawFrameControl(dc, p, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);
    EXPECT_EQ(ColorToRGB(b->Canvas().Pixel(0, 0)), ColorToRGB(clBtnShadow));
    EXPECT_EQ(ColorToRGB(b->Canvas().Pixel(10, 10)), ColorToRGB(clBtnFace));
}

TEST(Colors, SystemColoursResolveThroughTheTable) {
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(clWindowText), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(GetRValue(ColorToRGB(RGB(1, 2, 3))), 1);
    EXPECT_EQ(GetBValue(ColorToRGB(RGB(1, 2, 3))), 3);
    // A system colour drawn lands as its RGB value.
    auto b = Blank(2, 2, clBtnShadow);
    EXPECT_EQ(static_cast<uint32_t>(b->Canvas().Pixel(0, 0)), GetSysColor(COLOR_BTNSHADOW));
}

TEST(Canvas, ExtTextOutFillsAndClipsToItsRectangle) {
    auto b = Blank(120, 40);
    TCanvas& c = b->Canvas();
    HDC dc = c.Handle();
    SetBkColor(dc, clAqua);
    SetBkMode(dc, TRANSPARENT);
    TRect r = Rect(10, 5, 40, 30);
    ExtTextOut(dc, 12, 8, ETO_OPAQUE | ETO_CLIPPED, &r, "WWWWWWWWWW");
    EXPECT_EQ(c.Pixel(10, 5), clAqua);  // the rectangle is filled whatever the background mode
    EXPECT_EQ(c.Pixel(39, 29), clAqua);
    EXPECT_EQ(c.Pixel(40, 10), clWhite);
    for (int y = 0; y < 40; ++y)
        for (int x = 40; x < 120; ++x) ASSERT_EQ(c.Pixel(x, y), clWhite) << x << "," << y;
}

TEST(Canvas, SavedContextStateComesBackAndRegionsFillAndFrame) {
    auto b = Blank(30, 30);
    HDC dc = b->Canvas().Handle();
    int saved = SaveDC(dc);
    SetBkColor(dc, clRed);
    IntersectClipRect(dc, 0, 0, 5, 5);
    RestoreDC(dc, saved);
    EXPECT_EQ(static_cast<uint32_t>(GetBkColor(dc)), 0xFFFFFFu);
    TRect box;
    GetClipBox(dc, &box);
    EXPECT_EQ(box, Rect(0, 0, 30, 30));

    HRGN rgn = CreateRectRgn(5, 5, 15, 15);
    HBRUSH red = CreateSolidBrush(clRed), blue = CreateSolidBrush(clBlue);
    FillRgn(dc, rgn, red);
    FrameRgn(dc, rgn, blue, 1, 1);
    TCanvas& c = b->Canvas();
    EXPECT_EQ(c.Pixel(5, 5), clBlue);
    EXPECT_EQ(c.Pixel(14, 14), clBlue);
    EXPECT_EQ(c.Pixel(6, 6), clRed);
    EXPECT_EQ(c.Pixel(15, 15), clWhite);
    // Drawing through a viewport origin moves everything, clip regions included.
    SetViewportOrgEx(dc, 10, 10, nullptr);
    FillRect(dc, Rect(0, 0, 2, 2), blue);
    EXPECT_EQ(c.Pixel(10, 10), clBlue);
    for (HGDIOBJ h : {rgn, red, blue}) DeleteObject(h);
}

TEST(Canvas, ObjectsSelectedByHandAndSelectedBackRestoreTheCanvasPen) {
    auto b = Blank(10, 10);
    TCanvas& c = b->Canvas();
    c.Pen.Color = clRed;
    HDC dc = c.Handle();
    HPEN blue = CreatePen(PS_SOLID, 1, clBlue);
    HGDIOBJ old = SelectObject(dc, blue);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 5, 0);
    EXPECT_EQ(c.Pixel(0, 0), clBlue);
    SelectObject(dc, old);
    DeleteObject(blue);
    MoveToEx(dc, 0, 1, nullptr);
    LineTo(dc, 5, 1);
    EXPECT_EQ(c.Pixel(0, 1), clRed);
}

TEST(Bitmap, PalettesCarryTheColourTable) {
    TBitmap b;
    b.SetPixelFormat(pf4bit);
    b.SetSize(2, 2);
    b.SetColorTable({clBlack, clRed, clLime});
    HPALETTE p = b.Palette();
    ASSERT_NE(p, 0u);
    EXPECT_EQ(GetPaletteEntries(p, 0, 0, nullptr), 16u);
    TPaletteEntry e[2];
    EXPECT_EQ(GetPaletteEntries(p, 1, 2, e), 2u);
    EXPECT_EQ(e[0].peRed, 0xFF);
    EXPECT_EQ(e[1].peGreen, 0xFF);
    EXPECT_EQ(GetNearestPaletteIndex(p, RGB(250, 10, 0)), 1u);
    HDC dc = b.Canvas().Handle();
    HPALETTE old = SelectPalette(dc, p, false);
    EXPECT_EQ(old, GetStockObject(DEFAULT_PALETTE));
    RealizePalette(dc);
    // Palette-relative colours draw as their RGB value.
    b.Canvas().SetPixel(0, 0, PaletteRGB(0, 0xFF, 0));
    EXPECT_EQ(b.Canvas().Pixel(0, 0), clLime);
    EXPECT_EQ(SelectPalette(dc, old, false), p);
    TBitmap t;
    t.SetPixelFormat(pf24bit);
    EXPECT_EQ(t.Palette(), 0u);
}

TEST(Bitmap, ScanLineChangesReachACanvasHeldAcrossThem) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(3, 1);
    TCanvas& c = b.Canvas();
    c.SetPixel(0, 0, clRed);
    uint8_t* row = b.ScanLine(0);
    EXPECT_EQ(row[2], 0xFF);
    row[3] = 0xFF;  // pixel 1 blue (it was white)
    row[4] = row[5] = 0;
    EXPECT_EQ(c.Pixel(1, 0), clBlue);
    c.SetPixel(2, 0, clLime);
    EXPECT_EQ(b.ScanLine(0)[7], 0xFF);
}

}  // namespace
}  // namespace framework
