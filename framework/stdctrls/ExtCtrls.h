#pragma once
// Panels, bevels, shapes and radio groups.

#include <memory>
#include <string>
#include <vector>

#include "framework/core/Strings.h"
#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/Controls.h"

namespace framework {

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
using TBevelWidth = int;

// Draws a 3-D frame of Width pixels inside R (raised: light top-left, dark bottom-right) and
// returns the rectangle inside it.
TRect Frame3D(TCanvas& Canvas, TRect R, TColor TopColor, TColor BottomColor, int Width);

class TCustomPanel : public TCustomControl {
public:
    explicit TCustomPanel(TComponent* AOwner);
    TPanelBevel BevelInner() const { return FBevelInner; }
    void SetBevelInner(TPanelBevel Value);
    TPanelBevel BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TPanelBevel Value);
    TBevelWidth BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(TBevelWidth Value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int Value);
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool FullRepaint = true;
    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    void AlignControls(TControl* AControl, TRect& Rect) override;

private:
    int FrameWidth() const;
    TPanelBevel FBevelInner = bvNone;
    TPanelBevel FBevelOuter = bvRaised;
    TBevelWidth FBevelWidth = 1;
    int FBorderWidth = 0;
    TFormBorderStyle FBorderStyle = bsNone;
    TAlignment FAlignment = taCenter;
};
class TPanel : public TCustomPanel {
public:
    using TCustomPanel::TCustomPanel;
};

enum TBevelStyle { bsLowered, bsRaised };
enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };

class TBevel : public TGraphicControl {
public:
    explicit TBevel(TComponent* AOwner);
    TBevelShape Shape() const { return FShape; }
    void SetShape(TBevelShape Value);
    TBevelStyle Style() const { return FStyle; }
    void SetStyle(TBevelStyle Value);

protected:
    void Paint() override;

private:
    TBevelShape FShape = bsBox;
    TBevelStyle FStyle = bsLowered;
};

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

class TShape : public TGraphicControl {
public:
    explicit TShape(TComponent* AOwner);
    TShapeType Shape() const { return FShape; }
    void SetShape(TShapeType Value);
    TPen& Pen() { return FPen; }
    TBrush& Brush() { return FBrush; }

protected:
    void Paint() override;

private:
    TShapeType FShape = stRectangle;
    TPen FPen;
    TBrush FBrush;
};

// A group box of radio buttons, one per line of Items; ItemIndex is the checked one.
class TCustomRadioGroup : public TCustomGroupBox {
public:
    explicit TCustomRadioGroup(TComponent* AOwner);
    ~TCustomRadioGroup() override;
    TStrings& Items() { return *FItems; }
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int Value);
    int Columns() const { return FColumns; }
    void SetColumns(int Value);
    // The radio button of an item (created as the items change).
    TRadioButton* Buttons(int Index) const;
    int ButtonCount() const { return static_cast<int>(FButtons.size()); }
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

protected:
    void UpdateButtons();
    void ArrangeButtons();

private:
    class TGroupStrings;
    std::unique_ptr<TStrings> FItems;
    std::vector<TRadioButton*> FButtons;
    int FItemIndex = -1;
    int FColumns = 1;
    bool FUpdating = false;
};
class TRadioGroup : public TCustomRadioGroup {
public:
    using TCustomRadioGroup::TCustomRadioGroup;
};

}  // namespace framework
