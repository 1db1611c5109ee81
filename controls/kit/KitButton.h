#pragma once
// TKitCustomButton: an owner-drawn push button with a glyph, a 3D or rotated caption, fourteen face
// styles, mouse-over feedback, auto-repeat while held and images taken from a kit image list.
// TKitButton publishes it with a drop-down menu.

#include <cstdint>
#include <memory>
#include <string>

#include "controls/kit/KitBase.h"
#include "controls/kit/KitGlyph.h"
#include "controls/kit/KitObjects.h"
#include "framework/stdctrls/Button.h"

namespace framework {
class TPopupMenu;
}

namespace kit {

// The kit's broadcast of a theme switch to its controls.
inline constexpr uint32_t CM_KITTHEMECHANGED = 0xB0D6;

// The program's numbered bitmap of the standard glyphs: eight 13 × 14 cells on olive.
inline constexpr int StandardGlyphsResource = 16546;
enum TKitStandardGlyph {
    sgNone,
    sgEllipsis,
    sgDisk,
    sgFolder,
    sgCalendarGrid,
    sgCalendarPage,
    sgMagnifier,
    sgPalette,
    sgLetterA
};
// Registers the standard glyph strip with the program's resources (once).
void RegisterStandardGlyphs();
// Bitmap becomes cell Kind (1..8) of the standard glyph strip, 13 pixels wide.
void LoadStandardGlyph(framework::TBitmap& Bitmap, int Kind);

class TKitCustomButton : public framework::TButton {
public:
    explicit TKitCustomButton(framework::TComponent* AOwner);
    ~TKitCustomButton() override;

    TKitButtonLayout& ButtonLayout() { return *FLayout; }
    void SetButtonLayout(TKitButtonLayout* Value) { FLayout->Assign(Value); }
    TKitFxCaption& FontFX() { return *FFontFX; }
    void SetFontFX(TKitFxCaption* Value) { FFontFX->Assign(Value); }
    framework::TBitmap& Glyph() { return FGlyph->Bitmap(); }
    void SetGlyph(const framework::TBitmap* Value);
    TKitGlyph& GlyphObject() { return *FGlyph; }
    int NumGlyphs() const { return FGlyph->NumGlyphs(); }
    void SetNumGlyphs(int Value);
    TKitCustomImageList* ImageList() const { return FImageList; }
    void SetImageList(TKitCustomImageList* Value);
    int ImageIndex() const { return FIndex[0]; }
    void SetImageIndex(int Value) { SetIndex(0, Value); }
    int ListIndex() const { return FIndex[1]; }
    void SetListIndex(int Value) { SetIndex(1, Value); }
    TKitUserButtonStyle ExtStyle() const { return FExtStyle; }
    void SetExtStyle(TKitUserButtonStyle Value);
    bool MultiLine() const { return FMultiLine; }
    void SetMultiLine(bool Value);
    bool UseCaption() const { return FUseCaption; }
    void SetUseCaption(bool Value);
    bool RepeatedClick = false;
    uint16_t RepeatingDelay = 500;
    uint16_t RepeatingInterval = 100;
    bool HideHint = true;
    framework::TNotifyEvent OnMouseEnter;
    framework::TNotifyEvent OnMouseExit;
    std::string About;

    // 0 none, 1..8 a standard glyph (loaded on the next paint).
    int StandardGlyph() const { return FStandardGlyph; }
    void SetStandardGlyph(int Value);
    // 0 up, 1 disabled, 2 mouse over, 4 down.
    int FaceState() const { return FFaceState; }
    bool MouseOver() const { return FMouseOver; }
    // The button is the one Enter presses (default, or focused).
    bool DefaultLook() const { return Active(); }
    uint16_t RepeatTimer() const { return FRepeatTimer; }
    bool DroppingDown() const { return FDroppingDown; }

    void Loaded() override;
    void DefineProperties(framework::TFiler* Filer) override;
    void Dispatch(framework::TMessage& Message) override;
    void Click() override;

    // A change of the font, the caption object, the layout or the glyph.
    void LayoutChanged(framework::TObject* Sender);
    void ImageListChanged(framework::TObject* Sender);

protected:
    void CreateParams(framework::TCreateParams& Params) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    // Bit 0 the size changed, bit 1 the position changed.
    virtual void BoundsChanged(int Kind) { (void)Kind; }
    virtual void DrawContent(framework::TCanvas& Canvas, framework::TRect Rect, uint32_t Format);
    virtual void DrawItem(const framework::TDrawItemStruct& Item);
    virtual void RepeatClick();
    // The drop-down menu of TKitButton (none here).
    virtual framework::TPopupMenu* DropMenu() const { return nullptr; }
    virtual void DropDown() {}

public:
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

private:
    void SetIndex(int Which, int Value);
    void StartRepeat();
    void StopRepeat();
    void RepeatTick();
    void SetMouseOver(bool Value);

    std::unique_ptr<TKitButtonLayout> FLayout;
    std::unique_ptr<TKitFxCaption> FFontFX;
    std::unique_ptr<TKitGlyph> FGlyph;
    TKitChangeLink FLink;
    TKitCustomImageList* FImageList = nullptr;
    int FIndex[2] = {0, 0};
    TKitUserButtonStyle FExtStyle = ubsAutoDetect;
    bool FMultiLine = false;
    bool FUseCaption = true;
    int FFaceState = 0;
    bool FMouseOver = false;
    uint16_t FRepeatTimer = 0;
    bool FDroppingDown = false;
    int FStandardGlyph = 0;
};

class TKitButton : public TKitCustomButton {
public:
    explicit TKitButton(framework::TComponent* AOwner) : TKitCustomButton(AOwner) {}

    framework::TPopupMenu* DropDownMenu() const { return FDropDownMenu; }
    void SetDropDownMenu(framework::TPopupMenu* Value);
    int DropDownIndent = 0;
    bool DropDownRight = false;
    framework::TNotifyEvent OnDropDown;

protected:
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    framework::TPopupMenu* DropMenu() const override { return FDropDownMenu; }
    void DropDown() override;

private:
    framework::TPopupMenu* FDropDownMenu = nullptr;
};

}  // namespace kit
