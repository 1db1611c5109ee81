#pragma once
// Components that take over parts of their form's painting through the window hook: the form fill
// (the client background drawn by an event), the back (a kit image tiled over the client area)
// and the form styler (a gradient caption bar).

#include <memory>
#include <string>

#include "controls/kit/KitPanel.h"
#include "framework/core/Alignment.h"

namespace kit {

enum TKitPaintMode { pcNone, pcControl, pcOwnerDraw };
using TKitPaintEvent =
    std::function<void(framework::TObject* Sender, framework::TCanvas& Canvas, const framework::TRect& Dest)>;

class TKitCustomFormFill : public TKitWndProcComponent {
public:
    explicit TKitCustomFormFill(framework::TComponent* AOwner);

    TKitPaintMode PaintMode() const { return FPaintMode; }
    void SetPaintMode(TKitPaintMode Value);
    bool DefaultFill = true;
    TKitCustomImageList* ImageList() const { return FImage.List(); }
    void SetImageList(TKitCustomImageList* Value) { FImage.SetList(Value); }
    int ImageIndex() const { return FImage.Index(0); }
    void SetImageIndex(int Value) { FImage.SetIndex(0, Value); }
    int ListIndex() const { return FImage.Index(1); }
    void SetListIndex(int Value) { FImage.SetIndex(1, Value); }
    TKitPaintEvent OnPaint;

    void DefineProperties(framework::TFiler* Filer) override;

protected:
    virtual void ImageListChanged() { InvalidateForm(true); }
    // Paints the form's background on Dc; true when it did.
    virtual bool PaintBackground(framework::HDC Dc);
    void WndProc(framework::TMessage& Message) override;
    void EnabledChanged() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    framework::TCustomForm* Form() const;
    void InvalidateForm(bool Erase);
    bool IsLoading() const { return (ComponentState() & framework::csLoading) != 0; }

private:
    TKitPaintMode FPaintMode = pcControl;
    TKitImageRef FImage;
};

class TKitBack : public TKitCustomFormFill {
public:
    using TKitCustomFormFill::TKitCustomFormFill;

protected:
    bool PaintBackground(framework::HDC Dc) override;
};

enum TKitFormStyleOption {
    fsAdjustRect = 1,
    fsUseDefaultFont = 2,
    fsUseFontColor = 4,
    fsInactiveGradient = 8,
    fsDrawCaptionEvent = 16,
    fsUseFormCaption = 32,
    fsCheckSystemGradient = 64
};
using TKitFormStyleOptions = uint32_t;

// The caption bar belongs to the window manager here, which paints its own captions: the styler
// keeps its settings and paints nothing, and it never hides the form's caption.
class TKitFormStyler : public TKitWndProcComponent {
public:
    explicit TKitFormStyler(framework::TComponent* AOwner);
    ~TKitFormStyler() override;

    framework::TAlignment Alignment = framework::taLeftJustify;
    TKitColorCount Colors() const { return FColors; }
    void SetColors(TKitColorCount Value);
    framework::TFont& Font() { return *FFont; }
    TKit3DCaption& Font3D() { return *FFont3D; }
    TKitPaintMode PaintMode() const { return FPaintMode; }
    void SetPaintMode(TKitPaintMode Value) { FPaintMode = Value; }
    TKitFormStyleOptions Options() const { return FOptions; }
    void SetOptions(TKitFormStyleOptions Value) { FOptions = Value; }
    TKitPaintEvent OnPaint;
    TKitPaintEvent OnCaptionPaint;

    // The window manager draws gradient captions itself.
    bool SystemPaintsCaption() const { return true; }
    // Whether a caption paint would draw anything now.
    bool CaptionPaintable() const;
    // Repaints the caption bar (nothing here: see the class comment).
    void RefreshCaption();

private:
    TKitColorCount FColors = 32;
    std::unique_ptr<framework::TFont> FFont;
    std::unique_ptr<TKit3DCaption> FFont3D;
    TKitPaintMode FPaintMode = pcControl;
    TKitFormStyleOptions FOptions =
        fsAdjustRect | fsUseDefaultFont | fsUseFormCaption | fsCheckSystemGradient;
};

}  // namespace kit
