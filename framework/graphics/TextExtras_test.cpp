// Font families and kinds of faces, the system font, tabbed text, character extra and outlined text.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "framework/ui/Graphics.h"

namespace framework {
namespace {

struct Sheet {
    TBitmap B;
    explicit Sheet(int W = 240, int H = 120) {
        B.SetPixelFormat(pf24bit);
        B.SetSize(W, H);
        C().Brush.Color = clWhite;
        C().FillRect(Rect(0, 0, W, H));
        C().Font.Name = "Arial";
        C().Font.SetSize(10);
        C().Brush.Style = bsClear;  // text leaves the background alone
    }
    TCanvas& C() { return B.Canvas(); }
    HDC H() { return C().Handle(); }
    // The pixels, row by row (blue, green, red bytes).
    std::vector<uint8_t> Pixels() {
        std::vector<uint8_t> v;
        for (int y = 0; y < B.Height(); ++y) {
            const uint8_t* row = B.ScanLine(y);
            v.insert(v.end(), row, row + 3 * B.Width());
        }
        return v;
    }
    int InkCount() {
        int n = 0;
        for (uint8_t b : Pixels()) n += b != 0xFF;
        return n;
    }
};

// Pixel for pixel the same picture.
void ExpectSame(Sheet& A, Sheet& B) {
    EXPECT_TRUE(A.Pixels() == B.Pixels());
}

struct Face {
    TLogFont Log;
    TTextMetric Metrics;
    uint32_t Type;
};

TEST(Fonts, PinnedFacesEnumerateWithTheirPitchAndKind) {
    std::vector<std::string> order;
    std::map<std::string, Face> faces;
    EXPECT_EQ(EnumFontFamilies(0, "",
                               [&](const TLogFont& Lf, const TTextMetric& Tm, uint32_t Type) {
                                   order.push_back(Lf.FaceName);
                                   faces[Lf.FaceName] = Face{Lf, Tm, Type};
                                   return 1;
                               }),
              1);
    struct {
        const char* Name;
        bool Fixed, TrueType;
    } want[] = {{"MS Sans Serif", false, true},   {"Arial", false, true},   {"Courier New", true, true},
                {"Times New Roman", false, true}, {"Tahoma", false, true},  {"Verdana", false, true},
                {"System", false, true},          {"Terminal", true, false}};
    ASSERT_GE(order.size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        EXPECT_EQ(order[i], want[i].Name);
        const Face& f = faces[want[i].Name];
        EXPECT_EQ((f.Log.PitchAndFamily & 3) == FIXED_PITCH, want[i].Fixed) << want[i].Name;
        EXPECT_EQ((f.Metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0, want[i].Fixed) << want[i].Name;
        EXPECT_EQ(f.Type, want[i].TrueType ? TRUETYPE_FONTTYPE : RASTER_FONTTYPE) << want[i].Name;
        EXPECT_EQ((f.Metrics.tmPitchAndFamily & TMPF_TRUETYPE) != 0, want[i].TrueType) << want[i].Name;
        EXPECT_EQ(f.Log.Height, f.Metrics.tmHeight);
        EXPECT_GT(f.Metrics.tmAveCharWidth, 0);
    }
    // One family by name, in any case; a zero from the callback stops the enumeration.
    std::vector<std::string> one;
    EnumFontFamilies(0, "terminal", [&](const TLogFont& Lf, const TTextMetric&, uint32_t Type) {
        one.push_back(Lf.FaceName);
        EXPECT_EQ(Type, RASTER_FONTTYPE);
        return 1;
    });
    EXPECT_EQ(one, std::vector<std::string>{"Terminal"});
    int calls = 0;
    EXPECT_EQ(
        EnumFontFamilies(0, "", [&](const TLogFont&, const TTextMetric&, uint32_t) { return ++calls, 0; }),
        0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(
        EnumFontFamilies(0, "No Such Face", [](const TLogFont&, const TTextMetric&, uint32_t) { return 0; }),
        1);
}

TEST(Fonts, SelectedRasterFaceIsNotTrueType) {
    Sheet s;
    s.C().Font.Name = "Terminal";
    TTextMetric tm;
    ASSERT_TRUE(GetTextMetrics(s.H(), tm));
    EXPECT_FALSE(tm.tmPitchAndFamily & TMPF_TRUETYPE);
    EXPECT_FALSE(tm.tmPitchAndFamily & TMPF_VECTOR);
    EXPECT_FALSE(tm.tmPitchAndFamily & TMPF_FIXED_PITCH);  // clear: fixed pitch
    EXPECT_GT(tm.tmAveCharWidth, 0);
    EXPECT_LE(tm.tmAveCharWidth, tm.tmMaxCharWidth);
    EXPECT_EQ(s.C().TextWidth("iiii"), s.C().TextWidth("WWWW"));
    EXPECT_EQ(s.C().TextWidth("iiii"), 4 * tm.tmAveCharWidth);
    s.C().TextOut(5, 5, "Wg");
    EXPECT_GT(s.InkCount(), 0);
    EXPECT_FALSE(IsTrueTypeFont(s.C().Font));
    TFont arial;
    arial.Name = "Arial";
    EXPECT_TRUE(IsTrueTypeFont(arial));
}

TEST(Fonts, SystemFontMetrics) {
    HGDIOBJ f = GetStockObject(SYSTEM_FONT);
    ASSERT_NE(f, 0u);
    EXPECT_EQ(GetStockObject(SYSTEM_FONT), f);
    EXPECT_FALSE(DeleteObject(f));  // stock objects stay
    HDC dc = CreateCompatibleDC(0);
    SelectObject(dc, f);
    TTextMetric tm;
    ASSERT_TRUE(GetTextMetrics(dc, tm));
    EXPECT_EQ(tm.tmHeight, 16);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, 16);
    EXPECT_EQ(tm.tmWeight, FW_BOLD);
    EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_FIXED_PITCH);  // set: variable pitch
    EXPECT_GE(tm.tmAveCharWidth, 6);
    EXPECT_LE(tm.tmAveCharWidth, 9);
    DeleteDC(dc);
}

TEST(TabbedText, RunsStartAtTheTabStops) {
    const int stops[] = {40, 80};
    Sheet tabbed, plain;
    // The stops count from the tab origin: X 10 with origin 10 puts the runs at 10, 50 and 90.
    int32_t r = TabbedTextOut(tabbed.H(), 10, 5, "ab\tcd\tef", 2, stops, 10);
    plain.C().TextOut(10, 5, "ab");
    plain.C().TextOut(50, 5, "cd");
    plain.C().TextOut(90, 5, "ef");
    ExpectSame(tabbed, plain);
    TTextMetric tm;
    GetTextMetrics(tabbed.H(), tm);
    int ef = tabbed.C().TextWidth("ef");
    EXPECT_EQ(r & 0xFFFF, 80 + ef);
    EXPECT_EQ(r >> 16, tm.tmHeight);
    EXPECT_EQ(GetTabbedTextExtent(tabbed.H(), "ab\tcd\tef", 2, stops), static_cast<uint32_t>(r));

    // With the origin at 0 the same stops are the pixels 40 and 80.
    Sheet at0, plain0;
    TabbedTextOut(at0.H(), 10, 50, "ab\tcd\tef", 2, stops, 0);
    plain0.C().TextOut(10, 50, "ab");
    plain0.C().TextOut(40, 50, "cd");
    plain0.C().TextOut(80, 50, "ef");
    ExpectSame(at0, plain0);

    HDC h = tabbed.H();
    int a = tabbed.C().TextWidth("a"), b = tabbed.C().TextWidth("b"), c = tabbed.C().TextWidth("c");
    int eight = 8 * tm.tmAveCharWidth;
    // No stops: every eight average characters; one stop: every so many pixels; past the last of
    // several stops: every eight average characters again.
    EXPECT_EQ(GetTabbedTextExtent(h, "a\tb", 0, nullptr) & 0xFFFF, static_cast<uint32_t>(eight + b));
    const int every30[] = {30};
    EXPECT_EQ(GetTabbedTextExtent(h, "a\tb\tc", 1, every30) & 0xFFFF, static_cast<uint32_t>(60 + c));
    int past = ((80 + c) / eight + 1) * eight;
    EXPECT_EQ(GetTabbedTextExtent(h, "a\tb\tc\td", 2, stops) & 0xFFFF,
              static_cast<uint32_t>(past + tabbed.C().TextWidth("d")));
    // A run that reaches past a stop goes to the next one.
    const int tight[] = {a / 2 + 1, 80};
    EXPECT_EQ(GetTabbedTextExtent(h, "aaaa\tb", 2, tight) & 0xFFFF, static_cast<uint32_t>(80 + b));
}

TEST(CharacterExtra, TwoPixelsWidenTenCharactersByTwenty) {
    Sheet wide, apart;
    for (Sheet* s : {&wide, &apart}) s->C().Font.Name = "Courier New";
    const std::string text = "abcdefghij";
    int w = wide.C().TextWidth(text);
    int cw = wide.C().TextWidth("a");
    EXPECT_EQ(SetTextCharacterExtra(wide.H(), 2), 0);
    EXPECT_EQ(GetTextCharacterExtra(wide.H()), 2);
    EXPECT_EQ(wide.C().TextWidth(text), w + 20);
    TRect calc = Rect(0, 0, 0, 0);
    DrawText(wide.H(), text, calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(calc.Width(), w + 20);
    // Drawn, each character stands two pixels further right than the one before.
    wide.C().TextOut(5, 5, text);
    for (size_t i = 0; i < text.size(); ++i)
        apart.C().TextOut(5 + static_cast<int>(i) * (cw + 2), 5, text.substr(i, 1));
    ExpectSame(wide, apart);
    // Saved and restored with the rest of the state.
    int saved = SaveDC(wide.H());
    SetTextCharacterExtra(wide.H(), 0);
    RestoreDC(wide.H(), saved);
    EXPECT_EQ(GetTextCharacterExtra(wide.H()), 2);
}

// The inked pixels of a sheet, read once.
struct InkMap {
    int W, H;
    std::vector<char> Bits;
    explicit InkMap(Sheet& S) : W(S.B.Width()), H(S.B.Height()), Bits(static_cast<size_t>(W) * H) {
        std::vector<uint8_t> p = S.Pixels();
        for (size_t i = 0; i < Bits.size(); ++i)
            Bits[i] = p[3 * i] != 0xFF || p[3 * i + 1] != 0xFF || p[3 * i + 2] != 0xFF;
    }
    bool Ink(int X, int Y) const { return Bits[static_cast<size_t>(Y) * W + X]; }
};

// Distance-one neighbourhood: whether the 3×3 block around (x,y) holds both ink and paper.
bool OnEdge(const InkMap& S, int X, int Y) {
    bool in = false, out = false;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) (S.Ink(X + dx, Y + dy) ? in : out) = true;
    return in && out;
}

TEST(Paths, StrokedOutlinedTextSetsOnlyOutlinePixels) {
    Sheet filled, stroked;
    for (Sheet* s : {&filled, &stroked}) {
        TCanvas& c = s->C();
        c.Font.SetHeight(-80);
        c.Font.Style = fsBold;
        c.Pen.Color = clBlack;
        c.Brush.Color = clBlack;
        c.Brush.Style = bsSolid;  // filled paths use it; text in a path fills no background
        HDC h = c.Handle();
        SetBkMode(h, TRANSPARENT);
        ASSERT_TRUE(BeginPath(h));
        c.TextOut(10, 10, "HO");
        EXPECT_FALSE(StrokePath(h));  // still open
        ASSERT_TRUE(EndPath(h));
        EXPECT_EQ(s->InkCount(), 0);  // text in a path draws nothing
    }
    ASSERT_TRUE(FillPath(filled.H()));
    ASSERT_TRUE(StrokePath(stroked.H()));
    EXPECT_FALSE(StrokePath(stroked.H()));  // the path is used up
    const InkMap fill(filled), stroke(stroked);

    int outline = 0, inside = 0, edges = 0, edgesInked = 0;
    for (int y = 2; y < 118; ++y)
        for (int x = 2; x < 238; ++x) {
            bool edge = OnEdge(fill, x, y);
            if (stroke.Ink(x, y)) {
                ++outline;
                EXPECT_TRUE(edge) << "ink off the outline at " << x << "," << y;
            }
            bool deep = true;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) deep = deep && fill.Ink(x + dx, y + dy);
            if (deep) {
                ++inside;
                EXPECT_FALSE(stroke.Ink(x, y)) << "ink inside at " << x << "," << y;
            }
            if (edge && fill.Ink(x, y)) {
                ++edges;
                edgesInked += stroke.Ink(x, y) || OnEdge(stroke, x, y);
            }
        }
    EXPECT_GT(outline, 100);
    EXPECT_GT(inside, 100);
    EXPECT_EQ(edgesInked, edges);  // the whole edge is drawn
}

}  // namespace
}  // namespace framework
