#pragma once
// The kit's base of windowed controls that show a glyph beside a caption and react to clicks, and
// the three-state check box built on it, with glyphs drawn by the system or taken from a kit image
// list.

#include <memory>
#include <string>

#include "controls/kit/KitPanel.h"

namespace kit {

enum TKitCheckState { cbUnchecked, cbChecked, cbGrayed };

class TKitButtonControl : public TKitCustomPanel {
public:
    explicit TKitButtonControl(framework::TComponent* AOwner);
    ~TKitButtonControl() override;

    bool DownGlyph() const { return FDownGlyph; }
    void SetDownGlyph(bool Value);
    TKitGlyphTextLayout& Alignment() { return *FAlignment; }
    void SetAlignment(TKitGlyphTextLayout* Value) { FAlignment->Assign(Value); }
    TKit3DCaption& Font3D() { return *FFont3D; }
    void SetFont3D(TKit3DCaption* Value) { FFont3D->Assign(Value); }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool GlyphFlat() const { return FGlyphFlat; }
    void SetGlyphFlat(bool Value);
    bool GlyphTransparent() const { return FGlyphTransparent; }
    void SetGlyphTransparent(bool Value);
    TColor GlyphTransparentColor() const { return FGlyphTransparentColor; }
    void SetGlyphTransparentColor(TColor Value);
    int GlyphSize() const { return FGlyphSize; }
    void SetGlyphSize(int Value);
    TKitGlyphTextFocusStyle FocusStyle() const { return FFocusStyle; }
    void SetFocusStyle(TKitGlyphTextFocusStyle Value);
    TColor FocusColor() const { return FFocusColor; }
    void SetFocusColor(TColor Value);
    bool UseFocusColor() const { return FUseFocusColor; }
    void SetUseFocusColor(bool Value);
    bool UseBitmap = false;
    bool ReadOnly = false;
    framework::TNotifyEvent OnChange;

    // The rectangles of the last layout.
    const framework::TRect& GlyphRect() const { return FGlyphRect; }
    const framework::TRect& TextRect() const { return FTextRect; }
    bool Pressed() const { return FPressed; }

    // Re-sizes with AutoSize and repaints (nothing while loading).
    void ObjectChanged(framework::TObject* Sender) override;
    bool CanDrawThemed() const override { return true; }
    void Loaded() override;
    void WndProc(framework::TMessage& Message) override;
    void Dispatch(framework::TMessage& Message) override;

    virtual bool GetChecked() const { return false; }
    virtual void SetChecked(bool Value) { (void)Value; }
    virtual bool CanModify() const { return !ReadOnly; }
    virtual bool HasDownGlyph() const { return FDownGlyph; }
    // Sizes the control to glyph and caption (AutoSize only); left and top stay.
    virtual void AdjustSize();
    virtual void RecreateGlyphs();

protected:
    void Paint() override;
    // The border operations of the base draw nothing here.
    void DrawFlatBorder() override {}
    void DrawHotBorder() override {}
    void MouseEntered() override;
    void MouseExited() override;
    virtual void TextChanged() {}
    // Makes the glyph strip when it is missing.
    virtual void BuildGlyphs() {}
    virtual void DrawGlyph() = 0;
    // Lays out (Draw false: measures) caption and glyph on Canvas.
    virtual void DrawContent(framework::TCanvas& Canvas, bool Draw);
    // The cell of the glyph strip to draw now (none: no glyph).
    virtual framework::TRect GlyphCell() { return framework::TRect{}; }
    void DrawFocusFrame(framework::TCanvas& Canvas, const framework::TRect& Rect);
    framework::TBitmap* Strip() { return FStrip.get(); }
    void SetStrip(std::unique_ptr<framework::TBitmap> Value) { FStrip = std::move(Value); }
    void FreeStrip() { FStrip.reset(); }
    bool SystemGlyphs() const { return FSystemGlyphs; }
    void SetSystemGlyphs(bool Value) { FSystemGlyphs = Value; }

private:
    bool FDownGlyph = false;
    std::unique_ptr<TKitGlyphTextLayout> FAlignment;
    std::unique_ptr<TKit3DCaption> FFont3D;
    bool FAutoSize = false;
    bool FGlyphFlat = false;
    bool FGlyphTransparent = false;
    TColor FGlyphTransparentColor = framework::clOlive;
    int FGlyphSize = 13;
    TKitGlyphTextFocusStyle FFocusStyle = fcText;
    TColor FFocusColor = framework::clGray;
    bool FUseFocusColor = false;
    std::unique_ptr<framework::TBitmap> FStrip;
    bool FSystemGlyphs = true;
    framework::TRect FBothRect, FTextRect, FGlyphRect;
    bool FPressed = false;
    bool FClicksDisabled = false;
};

class TKitCustomCheckBox : public TKitButtonControl {
public:
    explicit TKitCustomCheckBox(framework::TComponent* AOwner);

    TKitCheckState State() const { return FState; }
    // A different state is stored and drawn, then OnChange (not while loading).
    void SetState(TKitCheckState Value);
    bool Checked() const { return FState == cbChecked; }
    void SetCheckedState(bool Value);
    bool AllowGrayed = false;
    int GlyphNumber() const { return FGlyphNumber; }
    // 0 is stored as 1.
    void SetGlyphNumber(int Value);

    bool GetChecked() const override { return Checked(); }
    void SetChecked(bool Value) override { SetCheckedState(Value); }
    void Click() override;
    virtual void Toggle();
    virtual TKitCheckState PaintCopyState() const { return FState; }
    // The index of the cell drawn for the current state.
    int GlyphIndex() const;
    int CellWidth() const { return FCellWidth; }
    void ImageListChanged(framework::TObject* Sender) override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    void BuildGlyphs() override;
    void DrawGlyph() override;
    framework::TRect GlyphCell() override;
    void FlatChanged() override;
    void KeyDown(uint16_t& Key, framework::TShiftState Shift) override;

private:
    TKitCheckState FState = cbUnchecked;
    int FGlyphNumber = 3;
    int FCellWidth = 13;
};

class TKitCheckBox : public TKitCustomCheckBox {
public:
    using TKitCustomCheckBox::TKitCustomCheckBox;
};

}  // namespace kit
