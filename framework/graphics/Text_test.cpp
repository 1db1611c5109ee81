// Text on the canvas: fonts, metrics and the formatting rules of DrawText.
#include <gtest/gtest.h>

#include "framework/ui/Graphics.h"

namespace framework {
namespace {

struct TextTest : ::testing::Test {
    TBitmap B;
    TCanvas* C = nullptr;
    void SetUp() override {
        B.SetPixelFormat(pf24bit);
        B.SetSize(200, 60);
        C = &B.Canvas();
        C->Font.Name = "Arial";
        C->Font.SetSize(10);
        C->Brush.Color = clWhite;
        C->FillRect(Rect(0, 0, 200, 60));
    }
    // What DrawText makes of Text in a rectangle Width wide (DT_MODIFYSTRING gives the shortened text).
    std::string Shortened(const std::string& Text, int Width, uint32_t Flags) {
        std::string s = Text;
        TRect r = Rect(0, 0, Width, 20);
        DrawTextEx(C->Handle(), s, r, Flags | DT_SINGLELINE | DT_MODIFYSTRING | DT_NOPREFIX);
        return s;
    }
    bool Inked(const TRect& R) {
        for (int y = R.Top; y < R.Bottom; ++y)
            for (int x = R.Left; x < R.Right; ++x)
                if (C->Pixel(x, y) != clWhite) return true;
        return false;
    }
};

TEST_F(TextTest, EndEllipsisKeepsTheLongestPrefixThatFitsWithTheDots) {
    const std::string text = "abcdefghij";
    int full = C->TextWidth(text);
    for (int width : {full - 1, full / 2, C->TextWidth("a...") + 1}) {
        std::string s = Shortened(text, width, DT_END_ELLIPSIS);
        ASSERT_GE(s.size(), 4u);
        EXPECT_EQ(s.substr(s.size() - 3), "...") << width;
        std::string kept = s.substr(0, s.size() - 3);
        EXPECT_EQ(text.compare(0, kept.size(), kept), 0);
        EXPECT_LE(C->TextWidth(s), width);
        // One more character would not have fitted.
        EXPECT_GT(C->TextWidth(text.substr(0, kept.size() + 1) + "..."), width);
    }
    EXPECT_EQ(Shortened(text, full, DT_END_ELLIPSIS), text);  // fits: left alone
}

TEST_F(TextTest, PathEllipsisKeepsTheLastComponent) {
    const std::string path = "C:\\A\\B\\C\\FILE.TXT";
    int tail = C->TextWidth("...\\FILE.TXT");
    std::string s = Shortened(path, tail + C->TextWidth("C:\\") + 1, DT_PATH_ELLIPSIS);
    EXPECT_EQ(s, "C:\\...\\FILE.TXT");
    EXPECT_EQ(Shortened(path, tail, DT_PATH_ELLIPSIS), "...\\FILE.TXT");
    EXPECT_EQ(Shortened(path, C->TextWidth(path), DT_PATH_ELLIPSIS), path);
}

TEST_F(TextTest, PrefixUnderlinesTheMarkedLetterAndIsNotMeasured) {
    TRect calc = Rect(0, 0, 0, 0);
    DrawText(C->Handle(), "&File", calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(calc.Width(), C->TextWidth("File"));
    TRect amp = Rect(0, 0, 0, 0);
    DrawText(C->Handle(), "&&File", amp, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(amp.Width(), C->TextWidth("&File"));

    // Drawn with and without the prefix: the only difference is the underline below the F.
    TBitmap plain;
    plain.SetSize(200, 60);
    plain.Canvas().Brush.Color = clWhite;
    plain.Canvas().FillRect(Rect(0, 0, 200, 60));
    plain.Canvas().Font.Assign(C->Font);
    TRect r1 = Rect(0, 0, 200, 30), r2 = r1;
    DrawText(C->Handle(), "&File", r1, DT_SINGLELINE);
    DrawText(plain.Canvas().Handle(), "File", r2, DT_SINGLELINE);
    TTextMetric tm;
    GetTextMetrics(C->Handle(), tm);
    int fWidth = C->TextWidth("F");
    int diffs = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 200; ++x)
            if (C->Pixel(x, y) != plain.Canvas().Pixel(x, y)) {
                ++diffs;
                EXPECT_EQ(y, tm.tmAscent + 1);
                EXPECT_LT(x, fWidth);
            }
    EXPECT_GT(diffs, 0);
}

TEST_F(TextTest, AlignmentAndCalcRect) {
    TRect r = Rect(0, 0, 100, 40);
    int h = DrawText(C->Handle(), "Hi", r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    TTextMetric tm;
    GetTextMetrics(C->Handle(), tm);
    EXPECT_EQ(h, (40 - tm.tmHeight) / 2 + tm.tmHeight);
    int w = C->TextWidth("Hi");
    EXPECT_FALSE(Inked(Rect(0, 0, (100 - w) / 2, 40)));
    EXPECT_TRUE(Inked(Rect((100 - w) / 2, 0, (100 + w) / 2 + 1, 40)));
    EXPECT_FALSE(Inked(Rect((100 + w) / 2 + 2, 0, 100, 40)));

    // Word break: three words in a box two words wide make two lines.
    TRect wrap = Rect(0, 0, C->TextWidth("one two") + 2, 0);
    int height = DrawText(C->Handle(), "one two three", wrap, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(height, 2 * tm.tmHeight);
    EXPECT_EQ(wrap.Bottom, 2 * tm.tmHeight);
    EXPECT_EQ(wrap.Width(), C->TextWidth("one two"));
    // Line breaks count without word break; a single line ignores them.
    TRect two = Rect(0, 0, 0, 0);
    EXPECT_EQ(DrawText(C->Handle(), "a\r\nb", two, DT_CALCRECT), 2 * tm.tmHeight);
    TRect one = Rect(0, 0, 0, 0);
    EXPECT_EQ(DrawText(C->Handle(), "a\r\nb", one, DT_CALCRECT | DT_SINGLELINE), tm.tmHeight);
}

TEST_F(TextTest, TabsExpandToEightAverageCharacters) {
    TTextMetric tm;
    GetTextMetrics(C->Handle(), tm);
    TRect r = Rect(0, 0, 0, 0);
    DrawText(C->Handle(), "a\tb", r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
    EXPECT_EQ(r.Width(), 8 * tm.tmAveCharWidth + C->TextWidth("b"));
}

TEST_F(TextTest, MetricsOfTheMappedFaces) {
    struct {
        const char* Name;
        bool Fixed;
    } faces[] = {
        {"MS Sans Serif", false}, {"Arial", false}, {"Courier New", true}, {"Times New Roman", false}};
    for (auto& f : faces) {
        C->Font.Name = f.Name;
        C->Font.SetHeight(-13);
        TTextMetric tm;
        ASSERT_TRUE(GetTextMetrics(C->Handle(), tm));
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
        EXPECT_GE(tm.tmHeight, 13) << f.Name;
        EXPECT_LE(tm.tmHeight, 17) << f.Name;
        EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 13);
        EXPECT_EQ((tm.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0, f.Fixed) << f.Name;
        EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_TRUETYPE);
        EXPECT_GT(tm.tmAveCharWidth, 0);
        EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
        EXPECT_EQ(C->TextHeight("x"), tm.tmHeight);
        if (f.Fixed) {
            EXPECT_EQ(C->TextWidth("iiii"), C->TextWidth("WWWW"));
        }
    }
    // Arial and its stand-in measure the same.
    C->Font.Name = "Arial";
    int arial = C->TextWidth("The quick brown fox");
    C->Font.Name = "Liberation Sans";
    EXPECT_EQ(C->TextWidth("The quick brown fox"), arial);
}

TEST_F(TextTest, TextOutFillsTheCellUnlessTheBrushIsClearAndTextRectClips) {
    C->Brush.Color = clYellow;
    C->TextOut(10, 10, "Wg");
    TSize s = C->TextExtent("Wg");
    EXPECT_EQ(C->Pixel(10, 10), clYellow);
    EXPECT_EQ(C->Pixel(10 + s.cx - 1, 10 + s.cy - 1), clYellow);
    EXPECT_EQ(C->Pixel(10 + s.cx, 10), clWhite);
    EXPECT_EQ(C->PenPos, Point(10 + s.cx, 10));
    C->Brush.Style = bsClear;
    C->TextOut(100, 10, "Wg");
    EXPECT_EQ(C->Pixel(100, 10), clWhite);
    EXPECT_TRUE(Inked(Rect(100, 10, 100 + s.cx, 10 + s.cy)));
    C->Brush.Style = bsSolid;
    C->Brush.Color = clWhite;
    C->FillRect(Rect(0, 0, 200, 60));
    C->TextRect(Rect(0, 30, 5, 50), 0, 30, "WWWW");
    EXPECT_TRUE(Inked(Rect(0, 30, 5, 50)));
    EXPECT_FALSE(Inked(Rect(5, 30, 200, 50)));
}

TEST_F(TextTest, RotatedFontDrawsUpwards) {
    C->Brush.Style = bsClear;
    C->Font.Orientation = 900;  // a quarter turn anticlockwise: the text runs up from (20, 55)
    C->TextOut(20, 55, "WWWW");
    int w = C->TextWidth("WWWW");
    EXPECT_TRUE(Inked(Rect(20, 55 - w, 40, 55)));
    EXPECT_FALSE(Inked(Rect(40, 0, 200, 60)));
}

}  // namespace
}  // namespace framework
