#pragma once
// Bitmap buttons (push buttons of a standard kind) and speed buttons (windowless tool buttons
// that may stay down, alone or as one of a group).

#include <memory>

#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/Graphics.h"

namespace framework {

enum TBitBtnKind {
    bkCustom,
    bkOK,
    bkCancel,
    bkHelp,
    bkYes,
    bkNo,
    bkClose,
    bkAbort,
    bkRetry,
    bkIgnore,
    bkAll
};
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// Draws the glyph (the image for the state, of NumGlyphs side by side) and the caption inside R,
// laid out as Layout, Margin and Spacing say.
void DrawButtonFace(TCanvas& Canvas, const TRect& R, TBitmap& Glyph, int NumGlyphs, int State,
                    const std::string& Caption, TButtonLayout Layout, int Margin, int Spacing);

class TBitBtn : public TButton {
public:
    explicit TBitBtn(TComponent* AOwner);
    TBitBtnKind Kind() const { return FKind; }
    // A standard kind sets the caption, the modal result and Default/Cancel as its button does.
    void SetKind(TBitBtnKind Value);
    TButtonLayout Layout = blGlyphLeft;
    int Margin = -1;
    int Spacing = 4;
    // The glyph bitmap: NumGlyphs images side by side (up, disabled, clicked, down); the colour
    // of its bottom-left pixel is transparent.
    TBitmap& Glyph() { return *FGlyph; }
    int NumGlyphs = 1;
    // bkClose closes the form; the others act as a TButton.
    void Click() override;

protected:
    void PaintFace(TCanvas& Canvas, const TRect& R) override;

private:
    std::unique_ptr<TBitmap> FGlyph = std::make_unique<TBitmap>();
    TBitBtnKind FKind = bkCustom;
};

class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* AOwner);
    // Buttons of one parent with the same non-zero index act as a group: one at most is down.
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int Value);
    bool Down() const { return FDown; }
    void SetDown(bool Value);
    // A group may have every button up (a click on the down one lifts it).
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool Value);
    bool Flat = false;
    TBitmap& Glyph() { return *FGlyph; }
    TButtonLayout Layout = blGlyphLeft;
    int Margin = -1;
    int Spacing = 4;
    int NumGlyphs = 1;
    void Click() override;
    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void UpdateExclusive();
    std::unique_ptr<TBitmap> FGlyph = std::make_unique<TBitmap>();
    int FGroupIndex = 0;
    bool FDown = false;
    bool FAllowAllUp = false;
    bool FPressed = false;
    bool FMouseInside = false;
};

}  // namespace framework
