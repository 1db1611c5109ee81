#pragma once
// The kit's windowless controls: the base with an update lock and bounds and mouse notices, the
// base with an image list and a background effect, the transparent graphic base, the graphic
// control with a bevel, and the picture control with its placement and transparency choices.

#include <memory>
#include <string>

#include "controls/kit/KitPanel.h"

namespace kit {

// Kinds of a bounds change: bit 0 the size, bit 1 the position.
inline constexpr int bcSize = 1, bcPosition = 2;

class TKitControl : public framework::TGraphicControl {
public:
    explicit TKitControl(framework::TComponent* AOwner) : TGraphicControl(AOwner) {}

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate() {
        if (FUpdateCount > 0) --FUpdateCount;
    }
    bool Updating() const { return FUpdateCount > 0; }
    framework::TNotifyEvent OnMouseEntered;
    framework::TNotifyEvent OnMouseLeft;
    std::function<void(framework::TObject* Sender, int Kind)> OnBoundsChanged;

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Dispatch(framework::TMessage& Message) override;

    virtual void ThemeSettingsChanged();
    virtual bool UsesThemes() const { return false; }
    virtual void BoundsChanged(int Kind);
    virtual void MouseEntered();
    virtual void MouseLeft();
    // Redraws unless updating or loading.
    virtual void Changed();
    virtual bool IsEmpty() const { return true; }

protected:
    bool IsLoading() const { return (ComponentState() & framework::csLoading) != 0; }
    bool IsDesigning() const { return (ComponentState() & framework::csDesigning) != 0; }

private:
    int FUpdateCount = 0;
};

class TKitBaseControl : public TKitControl {
public:
    explicit TKitBaseControl(framework::TComponent* AOwner);
    ~TKitBaseControl() override;

    TKitCustomImageList* ImageList() const { return FImage.List(); }
    void SetImageList(TKitCustomImageList* Value) { FImage.SetList(Value); }
    int ImageIndex() const { return FImage.Index(0); }
    void SetImageIndex(int Value) { FImage.SetIndex(0, Value); }
    int ListIndex() const { return FImage.Index(1); }
    void SetListIndex(int Value) { FImage.SetIndex(1, Value); }
    TKitBitmapEffectObject& BackFX() { return *FBackFX; }
    void SetBackFX(TKitBitmapEffectObject* Value) { FBackFX->Assign(Value); }

    virtual bool HasParentBackImage() const { return false; }
    virtual void ImageListChanged(framework::TObject*) { Changed(); }

    void Dispatch(framework::TMessage& Message) override;
    void DefineProperties(framework::TFiler* Filer) override;

protected:
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    TKitImageRef FImage;
    std::unique_ptr<TKitBitmapEffectObject> FBackFX;
};

class TKitBaseGraphicControl : public TKitBaseControl {
public:
    explicit TKitBaseGraphicControl(framework::TComponent* AOwner);

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    // A transparent control is invalidated (its parent paints beneath it), an opaque one paints
    // at once; nothing while updating.
    void Redraw();
    void Changed() override { Redraw(); }
    bool HasParentBackImage() const override;
    void Dispatch(framework::TMessage& Message) override;
    // How many times the control was painted (a test probe of the update lock).
    int PaintCount() const { return FPaintCount; }

protected:
    void Paint() override;
    void CountPaint() { ++FPaintCount; }

private:
    bool FTransparent = true;
    int FPaintCount = 0;
};

class TKitGraphicControl : public TKitBaseGraphicControl {
public:
    explicit TKitGraphicControl(framework::TComponent* AOwner);
    ~TKitGraphicControl() override;

    TKitBevel& Bevel() { return *FBevel; }
    void SetBevel(TKitBevel* Value);

protected:
    void Paint() override;

private:
    std::unique_ptr<TKitBevel> FBevel;
};

class TKitBaseImage : public TKitGraphicControl {
public:
    explicit TKitBaseImage(framework::TComponent* AOwner);

    TKitBitmapStyle Style() const { return FStyle; }
    void SetStyle(TKitBitmapStyle Value);
    bool QuickDraw() const { return FQuickDraw; }
    void SetQuickDraw(bool Value);
    std::string About;

    // Takes the picture's size (sbAutosize only); true when the size changed.
    virtual bool AdjustImageSize() { return false; }

private:
    TKitBitmapStyle FStyle = sbNone;
    bool FQuickDraw = true;
};

// How the background of a picture is left out.
class TKitTransparent : public TKitObject {
public:
    TColor Color() const { return FColor; }
    void SetColor(TColor Value) {
        if (Store(FColor, Value)) Change();
    }
    TKitTransparentMode Mode() const { return FMode; }
    void SetMode(TKitTransparentMode Value) {
        if (Store(FMode, Value)) Change();
    }
    void Assign(framework::TPersistent* Source) override;

private:
    TColor FColor = framework::clBtnFace;
    TKitTransparentMode FMode = tpNone;
};

class TKitCustomNImage : public TKitBaseImage {
public:
    explicit TKitCustomNImage(framework::TComponent* AOwner);
    ~TKitCustomNImage() override;

    framework::TBitmap& Bitmap() { return *FBitmap; }
    // Takes a copy of Value.
    void SetBitmap(const framework::TBitmap* Value);
    TKitTransparent& TransparentStyle() { return *FTransparentStyle; }
    void SetTransparentStyle(TKitTransparent* Value) { FTransparentStyle->Assign(Value); }
    TKitCustomNImage* Control() const { return FControl; }
    void SetControl(TKitCustomNImage* Value);

    // The bitmap drawn: the Control's when set, else the image's own.
    virtual framework::TBitmap& Picture();
    bool IsEmpty() const override;
    bool AdjustImageSize() override;

protected:
    void Paint() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    std::unique_ptr<framework::TBitmap> FBitmap;
    std::unique_ptr<TKitTransparent> FTransparentStyle;
    TKitCustomNImage* FControl = nullptr;
};

class TKitNImage : public TKitCustomNImage {
public:
    using TKitCustomNImage::TKitCustomNImage;
};

// The draw flags of a placement style (with a bevel of no extent the clip bit is turned over).
uint32_t ImagePlacementFlags(TKitBitmapStyle Style, bool BevelHasExtent);

}  // namespace kit
