#include "controls/entry/CtlLedLabel.h"

#include <cctype>

namespace entry {

using namespace framework;

namespace {

// Segment polygons in cell units; shorter ones repeat their first point.
const TPoint kSegments[18][6] = {
    {{2, 2}, {3, 1}, {11, 1}, {12, 2}, {11, 3}, {3, 3}},
    {{2, 3}, {3, 4}, {3, 12}, {2, 13}, {1, 12}, {1, 4}},
    {{3, 3}, {6, 9}, {6, 13}, {3, 7}, {3, 3}, {3, 3}},
    {{7, 3}, {8, 4}, {8, 12}, {7, 13}, {6, 12}, {6, 4}},
    {{11, 3}, {11, 7}, {8, 13}, {8, 9}, {11, 3}, {11, 3}},
    {{12, 3}, {13, 4}, {13, 12}, {12, 13}, {11, 12}, {11, 4}},
    {{2, 14}, {3, 13}, {6, 13}, {7, 14}, {6, 15}, {3, 15}},
    {{7, 14}, {8, 13}, {11, 13}, {12, 14}, {11, 15}, {8, 15}},
    {{2, 15}, {3, 16}, {3, 24}, {2, 25}, {1, 24}, {1, 16}},
    {{6, 15}, {6, 19}, {3, 25}, {3, 21}, {6, 15}, {6, 15}},
    {{7, 15}, {8, 16}, {8, 24}, {7, 25}, {6, 24}, {6, 16}},
    {{8, 15}, {11, 21}, {11, 25}, {8, 19}, {8, 15}, {8, 15}},
    {{12, 15}, {13, 16}, {13, 24}, {12, 25}, {11, 24}, {11, 16}},
    {{2, 26}, {3, 25}, {11, 25}, {12, 26}, {11, 27}, {3, 27}},
    {{14, 25}, {16, 25}, {16, 27}, {14, 27}, {14, 25}, {14, 25}},
    {{14, 25}, {16, 25}, {16, 27}, {13, 30}, {14, 27}, {14, 25}},
    {{5, 7}, {9, 7}, {9, 10}, {5, 10}, {5, 7}, {5, 7}},
    {{5, 20}, {9, 20}, {9, 23}, {5, 23}, {5, 20}, {5, 20}},
};

// A cell's mask: the sixteen segment bits, and this flag for the colon, which lights only its two
// dots and draws no unlit segments.
constexpr uint32_t kColon = 0x10000;

bool IsPoint(char C) {
    return C == '.' || C == ',';
}

uint32_t CellMask(char C) {
    return C == ':' ? kColon : CtlLedCharMask(C);
}

}  // namespace

uint16_t CtlLedCharMask(char C) {
    switch (std::toupper(static_cast<unsigned char>(C))) {
        case '*':
            return 0x3B70;
        case '+':
            return 0x1320;
        case ',':
            return 0x0001;
        case '-':
            return 0x0300;
        case '.':
            return 0x0002;
        case '/':
            return 0x0840;
        case '0':
            return 0xCCCC;
        case '1':
            return 0x1020;
        case '2':
            return 0x8784;
        case '3':
            return 0x870C;
        case '4':
            return 0x4708;
        case '5':
            return 0xC30C;
        case '6':
            return 0xC38C;
        case '7':
            return 0x8408;
        case '8':
            return 0xC78C;
        case '9':
            return 0xC70C;
        case '<':
            return 0x0810;
        case '>':
            return 0x2040;
        case 'A':
            return 0xC788;
        case 'B':
            return 0x952C;
        case 'C':
            return 0xC084;
        case 'D':
            return 0x942C;
        case 'E':
            return 0xC384;
        case 'F':
            return 0xC380;
        case 'G':
            return 0xC18C;
        case 'H':
            return 0x4788;
        case 'I':
            return 0x9024;
        case 'J':
            return 0x048C;
        case 'K':
            return 0x4A90;
        case 'L':
            return 0x4084;
        case 'M':
            return 0x6C88;
        case 'N':
            return 0x6498;
        case 'O':
            return 0xC48C;
        case 'P':
            return 0xC780;
        case 'Q':
            return 0xC49E;
        case 'R':
            return 0xC790;
        case 'S':
            return 0xC214;
        case 'T':
            return 0x9020;
        case 'U':
            return 0x448C;
        case 'V':
            return 0x48C0;
        case 'W':
            return 0x44D8;
        case 'X':
            return 0x2850;
        case 'Y':
            return 0x2820;
        case 'Z':
            return 0x8844;
        case '\\':
            return 0x2010;
        default:
            return 0;
    }
}

const TPoint* CtlLedSegmentPoints(int Segment) {
    return Segment >= 1 && Segment <= 18 ? kSegments[Segment - 1] : nullptr;
}

TCtl32CustomLEDLabel::TCtl32CustomLEDLabel(TComponent* AOwner)
    : TGraphicControl(AOwner), FBitmap(std::make_unique<TBitmap>()) {
    ControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks;
    SetBounds(Left(), Top(), 75, 30);
}

TCtl32CustomLEDLabel::~TCtl32CustomLEDLabel() = default;

void TCtl32CustomLEDLabel::SetBgColor(TColor Value) {
    if (Value == FBgColor) return;
    FBgColor = Value;
    Invalidate();
}

void TCtl32CustomLEDLabel::SetOnColor(TColor Value) {
    if (Value == FOnColor) return;
    FOnColor = Value;
    Invalidate();
}

void TCtl32CustomLEDLabel::SetOffColor(TColor Value) {
    if (Value == FOffColor) return;
    FOffColor = Value;
    Invalidate();
}

void TCtl32CustomLEDLabel::SetSize(TSegmentSize Value) {
    if (Value < 2 || Value > 10 || Value == FSize) return;
    FSize = Value;
    SetDimensions();
}

void TCtl32CustomLEDLabel::SetCellRows(int Value) {
    if (Value < 1 || Value == FCellRows) return;
    FCellRows = Value;
    SetDimensions();
}

void TCtl32CustomLEDLabel::SetCellColumns(int Value) {
    if (Value < 1 || Value == FCellColumns) return;
    FCellColumns = Value;
    SetDimensions();
}

void TCtl32CustomLEDLabel::SetDimensions() {
    const int unit = FSize - 1;
    SetBounds(Left(), Top(), FCellColumns * CellUnitsX * unit, FCellRows * CellUnitsY * unit);
    Invalidate();
}

void TCtl32CustomLEDLabel::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_TEXTCHANGED) {
        Invalidate();
        return;
    }
    TGraphicControl::Dispatch(Message);
}

void TCtl32CustomLEDLabel::DrawCell(TCanvas& Canvas, int X, int Y, uint32_t Mask) {
    const int unit = FSize - 1;
    const auto segment = [&](int Segment, TColor Color) {
        if (Color == FBgColor) return;
        std::vector<TPoint> pts;
        for (int i = 0; i < 6; ++i) {
            const TPoint& p = kSegments[Segment - 1][i];
            pts.push_back({X + p.X * unit, Y + p.Y * unit});
        }
        Canvas.Brush.Color = Color;
        Canvas.Polygon(pts);
    };
    if (Mask & kColon) {
        segment(17, FOnColor);
        segment(18, FOnColor);
    }
    for (int s = 1; s <= 16; ++s) {
        const bool lit = (Mask >> (16 - s)) & 1;
        if (lit)
            segment(s, FOnColor);
        else if (s < 15 && !(Mask & kColon))
            segment(s, FOffColor);
    }
}

void TCtl32CustomLEDLabel::Paint() {
    const int W = Width(), H = Height();
    if (W <= 0 || H <= 0) return;
    FBitmap->SetPixelFormat(pf24bit);
    FBitmap->SetSize(W, H);
    TCanvas& c = FBitmap->Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color = FBgColor;
    c.FillRect(Rect(0, 0, W, H));
    c.Pen.Style = psClear;

    const int unit = FSize - 1;
    const int cellW = CellUnitsX * unit, cellH = CellUnitsY * unit;
    std::string text = Text();
    if (!text.empty() && IsPoint(text[0])) text.insert(text.begin(), ' ');

    int x = FSize, y = 0, row = 0, cells = 0;  // cells drawn in the current row
    int drawn = 0;                             // cells drawn in all
    uint32_t lastMask = 0;
    char last = '\0';  // the character of the last cell of this row, '\0' when none
    bool stopped = false;
    const auto fillRow = [&] {
        for (; cells < FCellColumns; ++cells, ++drawn, x += cellW) DrawCell(c, x, y, 0);
    };
    const auto nextRow = [&] {
        ++row;
        y += cellH;
        x = FSize;
        cells = 0;
        last = '\0';
        return row < FCellRows;
    };
    for (char ch : text) {
        if (ch == '\n') continue;
        if (ch == '\r') {
            fillRow();
            if (!nextRow()) {
                stopped = true;
                break;
            }
            continue;
        }
        if (IsPoint(ch) && last != '\0' && !IsPoint(last)) {
            // The point joins the character before it.
            lastMask |= CellMask(ch);
            DrawCell(c, x - cellW, y, lastMask);
            last = ch;
            continue;
        }
        if (cells >= FCellColumns && !nextRow()) {
            stopped = true;
            break;
        }
        lastMask = CellMask(ch);
        DrawCell(c, x, y, lastMask);
        last = ch;
        x += cellW;
        ++cells;
        ++drawn;
    }
    if (!stopped && row < FCellRows) {
        fillRow();
        if (drawn < FCellColumns * FCellRows)
            while (nextRow()) fillRow();
    }
    BitBlt(Canvas().Handle(), 0, 0, W, H, c.Handle(), 0, 0, SRCCOPY);
}

}  // namespace entry
