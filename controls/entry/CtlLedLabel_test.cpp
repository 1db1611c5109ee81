// The LED label: segment masks, cell layout (wrapping, joined points, blank cells) and size.
#include "controls/entry/CtlLedLabel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using namespace framework;

constexpr TColor kOn = clYellow, kOff = clGray, kBg = clBlack;

class LedLabelTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    void SetUp() override {
        Form->SetBounds(40, 40, 420, 300);
        Form->Show();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    TCtl32LEDLabel* NewLabel(const std::string& Text, int Columns, int Rows = 1, int Size = 2, int Y = 0) {
        auto* l = NewComponent<TCtl32LEDLabel>(Form);
        l->SetParent(Form);
        l->SetBounds(0, Y, 10, 10);
        l->SetOnColor(kOn);
        l->SetOffColor(kOff);
        l->SetBgColor(kBg);
        l->SetSize(Size);
        l->SetCellRows(Rows);
        l->SetCellColumns(Columns);
        l->SetText(Text);
        Driver.RunPending();
        return l;
    }
    uint32_t At(TCtl32LEDLabel* L, int X, int Y) {
        return Driver.PixelAt(*Form, L->Left() + X, L->Top() + Y);
    }
    std::vector<uint32_t> Pixels(TCtl32LEDLabel* L) {
        std::vector<uint32_t> out;
        for (int y = 0; y < L->Height(); ++y)
            for (int x = 0; x < L->Width(); ++x) out.push_back(At(L, x, y));
        return out;
    }
    // The colour at the middle of a segment of cell Cell (counting from 0 in the first row).
    uint32_t SegmentColor(TCtl32LEDLabel* L, int Cell, int Segment) {
        const TPoint* p = CtlLedSegmentPoints(Segment);
        std::vector<TPoint> distinct;
        for (int i = 0; i < 6; ++i)
            if (i == 0 || !(p[i] == p[0])) distinct.push_back(p[i]);
        double cx = 0, cy = 0;
        for (const TPoint& q : distinct) cx += q.X, cy += q.Y;
        cx /= distinct.size();
        cy /= distinct.size();
        const int unit = L->Size() - 1;
        const int x = L->Size() + Cell * 17 * unit + static_cast<int>(std::lround(cx * unit));
        const int y = static_cast<int>(std::lround(cy * unit));
        return At(L, x, y);
    }
};

TEST_F(LedLabelTest, MasksOfCharacters) {
    EXPECT_EQ(CtlLedCharMask('8'), 0xC78C);
    EXPECT_EQ(CtlLedCharMask('0'), 0xCCCC);
    EXPECT_EQ(CtlLedCharMask('Q'), 0xC49E);
    EXPECT_EQ(CtlLedCharMask('\\'), 0x2010);
    for (char c = 'a'; c <= 'z'; ++c) EXPECT_EQ(CtlLedCharMask(c), CtlLedCharMask(c - 32)) << c;
    for (char c : std::string("?= #!@~\"")) EXPECT_EQ(CtlLedCharMask(c), 0) << c;
}

TEST_F(LedLabelTest, EightLightsItsSegmentsAndTheColonItsDots) {
    TCtl32LEDLabel* l = NewLabel("8:", 2, 1, 4);
    const std::vector<int> lit = {1, 2, 6, 7, 8, 9, 13, 14};
    for (int s = 1; s <= 16; ++s) {
        const bool on = std::find(lit.begin(), lit.end(), s) != lit.end();
        EXPECT_EQ(SegmentColor(l, 0, s), on ? kOn : (s >= 15 ? kBg : kOff)) << "segment " << s;
    }
    // The colon: its two dots only, nothing unlit.
    EXPECT_EQ(SegmentColor(l, 1, 17), kOn);
    EXPECT_EQ(SegmentColor(l, 1, 18), kOn);
    for (int s = 1; s <= 16; ++s) {
        if (s == 4 || s == 11) continue;  // their middles lie under the dots
        EXPECT_EQ(SegmentColor(l, 1, s), kBg) << "segment " << s;
    }
    Driver.Grab(*Form, ::testing::TempDir() + "entry_led_8.png");
}

TEST_F(LedLabelTest, SizeFollowsCellsAndSegmentSize) {
    TCtl32LEDLabel plain(nullptr);
    EXPECT_EQ(plain.Width(), 75);
    EXPECT_EQ(plain.Height(), 30);
    EXPECT_EQ(plain.CellColumns(), 10);
    EXPECT_EQ(plain.OffColor(), 0x104E4A);
    struct Case {
        int columns, rows, size;
    };
    for (const Case c : {Case{5, 1, 2}, Case{8, 1, 2}, Case{3, 2, 4}, Case{1, 1, 10}}) {
        TCtl32LEDLabel l(nullptr);
        l.SetSize(c.size);
        l.SetCellRows(c.rows);
        l.SetCellColumns(c.columns);
        EXPECT_EQ(l.Width(), c.columns * 17 * (c.size - 1));
        EXPECT_EQ(l.Height(), c.rows * 30 * (c.size - 1));
    }
    plain.SetSize(11);
    plain.SetSize(1);
    EXPECT_EQ(plain.Size(), 2);
}

TEST_F(LedLabelTest, CellsWrapJoinPointsAndFillWithBlanks) {
    struct Case {
        std::string text, same;  // same pixels as the second text
        int columns, rows;
    };
    const std::vector<Case> cases = {
        {"12:345", "12:34", 5, 1},                            // the sixth cell would need a second row
        {"abc", "ABC", 4, 1},                                 // lower case shows the capitals
        {"?=", "  ", 3, 1},                                   // characters without a mask are blank cells
        {"", "     ", 5, 1},        {"12\r3", "12 3", 3, 2},  // carriage return ends the row
        {"1\n2", "12", 3, 1},                                 // line feed is ignored
        {"123456", "123456", 3, 2},
    };
    int y = 0;
    for (const Case& c : cases) {
        TCtl32LEDLabel* a = NewLabel(c.text, c.columns, c.rows, 2, y);
        TCtl32LEDLabel* b = NewLabel(c.same, c.columns, c.rows, 2, y + 70);
        EXPECT_EQ(Pixels(a), Pixels(b)) << c.text;
        a->Free();
        b->Free();
    }

    // "1.5": the point joins the 1, the 5 takes the second cell, the third is blank.
    TCtl32LEDLabel* l = NewLabel("1.5", 3);
    EXPECT_EQ(SegmentColor(l, 0, 15), kOn);
    EXPECT_EQ(SegmentColor(l, 0, 4), kOn);   // the 1
    EXPECT_EQ(SegmentColor(l, 1, 1), kOn);   // the 5
    EXPECT_EQ(SegmentColor(l, 1, 15), kBg);  // no point of its own
    EXPECT_EQ(SegmentColor(l, 2, 1), kOff);  // a blank cell
    // A leading point takes a blank cell of its own.
    l->SetText(".5");
    EXPECT_EQ(SegmentColor(l, 0, 15), kOn);
    EXPECT_EQ(SegmentColor(l, 0, 1), kOff);
    EXPECT_EQ(SegmentColor(l, 1, 1), kOn);
    // Two points in a row: the second takes a cell.
    l->SetText("1..");
    EXPECT_EQ(SegmentColor(l, 0, 15), kOn);
    EXPECT_EQ(SegmentColor(l, 1, 15), kOn);
    EXPECT_EQ(SegmentColor(l, 1, 1), kOff);
    l->SetText("8.8.8.");
    Driver.Grab(*Form, ::testing::TempDir() + "entry_led_points.png");
}

}  // namespace
}  // namespace entry
