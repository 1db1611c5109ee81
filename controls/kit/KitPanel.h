#pragma once
// The windowed side of the kit's controls: the bevel description that panels and images draw, the
// windowed control base with its background, transparency and flat-border rules, the panel that
// passes the picture beneath it on to transparent children, and the bevel panel.

#include <functional>
#include <memory>
#include <string>

#include "controls/kit/KitBase.h"
#include "controls/kit/KitFill.h"
#include "controls/kit/KitObjects.h"
#include "framework/ui/Controls.h"

namespace kit {

// The kit's own control messages.
inline constexpr uint32_t CM_KITFOCUSGAINED = 0xB0CF;
inline constexpr uint32_t CM_KITFOCUSLOST = 0xB0D0;
inline constexpr uint32_t CM_KITPARENTBACKCHANGED = 0xB0CE;
inline constexpr uint32_t CM_KITOPACITYCHANGED = 0xB0CD;
inline constexpr uint32_t CM_KITBEVELASSIGNED = 0xB0D1;
inline constexpr uint32_t CM_KITBACKFROMIMAGE = 0xB0D4;

// A picture of a kit image list (the list, the image and the list index) that a control or
// component refers to. The owner is told of every change through Changed.
class TKitImageRef {
public:
    TKitImageRef(framework::TComponent* Owner, std::function<void()> Changed);
    ~TKitImageRef();
    TKitImageRef(const TKitImageRef&) = delete;
    TKitImageRef& operator=(const TKitImageRef&) = delete;

    TKitCustomImageList* List() const { return FList; }
    void SetList(TKitCustomImageList* Value);
    // Index 0 the image, 1 the list; negative and unchanged values are ignored.
    int Index(int Which) const { return FIndex[Which & 1]; }
    void SetIndex(int Which, int Value);
    // The list holds the picture.
    bool HasPicture() const { return FList != nullptr && FList->HasImage(FIndex[1], FIndex[0]); }
    // For the owner's Notification: a removed list is forgotten.
    void Removed(framework::TComponent* AComponent);
    // A list of the global container is stored as its signature under "Internal".
    void DefineProperties(framework::TFiler* Filer);

private:
    framework::TComponent* FOwner;
    std::function<void()> FChanged;
    TKitCustomImageList* FList = nullptr;
    int FIndex[2] = {0, 0};
    TKitChangeLink FLink;
};

// ---- Bevel ----------------------------------------------------------------------------------------

class TKitBevel : public TKitObject {
public:
    TKitBevel() { Recalculate(); }

    TKitBevelMode Mode() const { return FMode; }
    void SetMode(TKitBevelMode Value);
    // Setting either to bvShadow makes both bvShadow; leaving bvShadow resets the other to bvNone.
    TKitBevelStyle StyleOuter() const { return FStyle[0]; }
    void SetStyleOuter(TKitBevelStyle Value) { SetStyle(0, Value); }
    TKitBevelStyle StyleInner() const { return FStyle[1]; }
    void SetStyleInner(TKitBevelStyle Value) { SetStyle(1, Value); }
    TKitBevelWidth WidthOuter() const { return FWidth[0]; }
    void SetWidthOuter(TKitBevelWidth Value) { SetWidth(0, Value); }
    TKitBevelWidth WidthInner() const { return FWidth[1]; }
    void SetWidthInner(TKitBevelWidth Value) { SetWidth(1, Value); }
    TKitBorderWidth BorderWidth() const { return FBorder[0]; }
    void SetBorderWidth(TKitBorderWidth Value) { SetBorder(0, Value); }
    TKitBorderWidth BorderInnerWidth() const { return FBorder[1]; }
    void SetBorderInnerWidth(TKitBorderWidth Value) { SetBorder(1, Value); }
    // Index 0 BorderColor, 1 LightColor, 2 ShadowColor.
    TColor Color(int Index) const { return FColors[Index]; }
    void SetColor(int Index, TColor Value);
    TKitBorderStyle StandardStyle() const { return FStandardStyle; }
    // Notifies only in bmStandard.
    void SetStandardStyle(TKitBorderStyle Value);
    TKitEdgeStyle EdgeStyle() const { return FEdgeStyle; }
    void SetEdgeStyle(TKitEdgeStyle Value);
    TKitFrameSides BorderSides() const { return FSides; }
    void SetBorderSides(TKitFrameSides Value);

    // Pixels taken on each side; the right and bottom take more with the shadow style.
    int Extent() const { return FExtent; }
    int ExtentRB() const { return FExtentRB; }
    // Set by bevel panels: their window draws the bmWindows border itself.
    bool WindowBorder() const { return FWindowBorder; }
    void SetWindowBorder(bool Value);
    // The mode moved to or from bmWindows while WindowBorder is on; reading clears it.
    bool TakeRecreateNeeded();

    framework::TRect InnerRect(const framework::TRect& Rect) const;
    // Draws the bevel into Rect; with KeepBorder the plain frames are skipped, not drawn. The
    // rectangle inside the bevel is returned.
    framework::TRect PaintBevel(framework::TCanvas& Canvas, const framework::TRect& Rect, bool KeepBorder);

    void Assign(framework::TPersistent* Source) override;
    std::string SummaryText() const override;

private:
    void SetStyle(int Which, TKitBevelStyle Value);
    void SetWidth(int Which, TKitBevelWidth Value);
    void SetBorder(int Which, TKitBorderWidth Value);
    void Recalculate();
    void Changed();

    TKitBevelMode FMode = bmCustom;
    TKitBevelStyle FStyle[2] = {bvNone, bvNone};
    TKitBevelWidth FWidth[2] = {1, 1};
    TKitBorderWidth FBorder[2] = {0, 0};
    TColor FColors[3] = {framework::clBtnFace, framework::clBtnHighlight, framework::clBtnShadow};
    TKitBorderStyle FStandardStyle = lsSingleLowered;
    TKitEdgeStyle FEdgeStyle = etEtched;
    TKitFrameSides FSides = 0x0F;
    int FExtent = 0;
    int FExtentRB = 0;
    bool FWindowBorder = false;
    bool FRecreateNeeded = false;
};

// ---- Windowed control base ------------------------------------------------------------------------

class TKitCustomControl : public framework::TCustomControl {
public:
    explicit TKitCustomControl(framework::TComponent* AOwner);
    ~TKitCustomControl() override;

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    bool CtlXP() const { return FCtlXP; }
    void SetCtlXP(bool Value);
    TKitCustomImageList* ImageList() const { return FImage.List(); }
    void SetImageList(TKitCustomImageList* Value) { FImage.SetList(Value); }
    int ImageIndex() const { return FImage.Index(0); }
    void SetImageIndex(int Value) { FImage.SetIndex(0, Value); }
    int ListIndex() const { return FImage.Index(1); }
    void SetListIndex(int Value) { FImage.SetIndex(1, Value); }
    TKitBitmapEffectObject& BackEffect() { return *FBackFX; }
    std::string About;
    framework::TNotifyEvent OnMouseEnter;
    framework::TNotifyEvent OnMouseExit;
    framework::TNotifyEvent OnFocusGained;
    framework::TNotifyEvent OnFocusLost;

    bool HasFocus() const { return FHasFocus; }
    bool MouseInside() const { return FMouseInside; }

    virtual void ThemeSettingsChanged();
    virtual bool ParentThemeBackAllowed() const { return true; }
    virtual bool CanDrawThemed() const { return false; }
    virtual bool UsesThemedParentBack() const;
    virtual bool BackFromImage() const { return FTransparent && HasBackImage(); }
    virtual void ObjectChanged(framework::TObject* Sender);
    virtual bool ShowDesignFrame() const { return true; }
    virtual bool ReadOnlyState() const { return false; }
    virtual void ImageListChanged(framework::TObject* Sender) { ObjectChanged(Sender); }
    // The picture transparent children show behind them (none here).
    virtual framework::TBitmap* BackImage() { return nullptr; }
    virtual bool HasBackImage() const { return false; }
    // Copies the part of the back image behind Rect (client coordinates, moved by Offset).
    virtual bool DrawBackImage(framework::TCanvas& Canvas, const framework::TRect& Rect,
                               const framework::TPoint& Offset);
    virtual framework::TPoint MapToBackImage(const framework::TPoint& P) const { return P; }
    // Themed drawing of the control: its own wish, themes in use and CtlXP.
    bool ThemedDrawing() const;
    // Fills Rect with what lies behind the control (the back image part, else Color).
    void FillBackground(framework::TCanvas& Canvas, const framework::TRect& Rect);

    void Dispatch(framework::TMessage& Message) override;
    void DefineProperties(framework::TFiler* Filer) override;

protected:
    void Paint() override;
    virtual void PaintBackground();
    virtual void FlatChanged() {}
    virtual void MouseEntered();
    virtual void MouseExited();
    // The border of a flat control that is neither focused nor under the mouse, and the border
    // while it is; both paint on the control's canvas.
    virtual void DrawFlatBorder();
    virtual void DrawHotBorder();
    // Paints the border for the current state now (outside painting: asks for a repaint).
    void ShowBorderState();
    void CreateParams(framework::TCreateParams& Params) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    bool IsLoading() const { return (ComponentState() & framework::csLoading) != 0; }
    bool IsDesigning() const { return (ComponentState() & framework::csDesigning) != 0; }
    bool Painting() const { return FPainting; }

private:
    void PassToChildren(uint32_t Msg);

    bool FTransparent = false;
    bool FFlat = false;
    bool FCtlXP = true;
    TKitImageRef FImage;
    std::unique_ptr<TKitBitmapEffectObject> FBackFX;
    bool FHasFocus = false;
    bool FMouseInside = false;
    bool FThemeBackDrawn = false;
    bool FPainting = false;
};

// ---- Panels ---------------------------------------------------------------------------------------

class TKitCustomPanel : public TKitCustomControl {
public:
    explicit TKitCustomPanel(framework::TComponent* AOwner);

    // A transparent panel over a kit control that has a back image, or over a form whose form
    // shape supplies a background picture.
    bool HasBackImage() const override;
    framework::TBitmap* BackImage() override;
    bool DrawBackImage(framework::TCanvas& Canvas, const framework::TRect& Rect,
                       const framework::TPoint& Offset) override;
    framework::TPoint MapToBackImage(const framework::TPoint& P) const override;

private:
    framework::TBitmap* ParentPicture() const;
};

class TKitCustomBevelPanel : public TKitCustomPanel {
public:
    explicit TKitCustomBevelPanel(framework::TComponent* AOwner);
    ~TKitCustomBevelPanel() override;

    TKitBevel& Bevel() { return *FBevel; }
    bool Locked = false;

    void Dispatch(framework::TMessage& Message) override;

protected:
    void Paint() override;
    void DrawFlatBorder() override;
    void DrawHotBorder() override;
    void CreateParams(framework::TCreateParams& Params) override;
    void AlignControls(framework::TControl* AControl, framework::TRect& Rect) override;

private:
    void BevelChanged();
    std::unique_ptr<TKitBevel> FBevel;
};

class TKitSimplePanel : public TKitCustomBevelPanel {
public:
    using TKitCustomBevelPanel::TKitCustomBevelPanel;
    // Takes the values of Value.
    void SetBevel(TKitBevel* Value);
};

}  // namespace kit
