#pragma once
// A label that paints its text in a grid of sixteen-segment "LED" character cells.

#include <cstdint>
#include <memory>
#include <string>

#include "controls/entry/CtlBase.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Graphics.h"

namespace entry {

using TSegmentSize = int32_t;  // 2..10: one segment unit is Size - 1 pixels

// The segments a character lights: bit 15 is segment 1 (top) down to bit 0, segment 16 (comma);
// 0 for a blank cell. Lower-case letters light what their capitals light.
uint16_t CtlLedCharMask(char C);
// The six corner points of a segment (1..18), in units from the cell's top-left corner.
const framework::TPoint* CtlLedSegmentPoints(int Segment);

class TCtl32CustomLEDLabel : public framework::TGraphicControl {
public:
    // A cell is 17 x 30 units.
    static constexpr int CellUnitsX = 17;
    static constexpr int CellUnitsY = 30;

    explicit TCtl32CustomLEDLabel(framework::TComponent* AOwner);
    ~TCtl32CustomLEDLabel() override;

    framework::TColor BgColor() const { return FBgColor; }
    void SetBgColor(framework::TColor Value);
    framework::TColor OnColor() const { return FOnColor; }
    void SetOnColor(framework::TColor Value);
    framework::TColor OffColor() const { return FOffColor; }
    void SetOffColor(framework::TColor Value);
    TSegmentSize Size() const { return FSize; }
    // Values outside 2..10 are ignored.
    void SetSize(TSegmentSize Value);
    int CellRows() const { return FCellRows; }
    void SetCellRows(int Value);
    int CellColumns() const { return FCellColumns; }
    void SetCellColumns(int Value);

    void Dispatch(framework::TMessage& Message) override;

protected:
    void Paint() override;

private:
    // Sizes the control to CellColumns x CellRows cells and repaints.
    void SetDimensions();
    void DrawCell(framework::TCanvas& Canvas, int X, int Y, uint32_t Mask);

    framework::TColor FBgColor = framework::clBlack;
    framework::TColor FOnColor = framework::clYellow;
    framework::TColor FOffColor = 0x104E4A;
    TSegmentSize FSize = 2;
    int FCellRows = 1;
    int FCellColumns = 10;
    std::unique_ptr<framework::TBitmap> FBitmap;
};

class TCtl32LEDLabel : public TCtl32CustomLEDLabel {
public:
    using TCtl32CustomLEDLabel::TCtl32CustomLEDLabel;
};

}  // namespace entry
