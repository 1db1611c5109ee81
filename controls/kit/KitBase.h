#pragma once
// The non-visual foundation of the kit: the component base with change notification, the change
// link and container bases through which components refer to images, the container component, the
// window-procedure hook component, the theme manager, the theme library loader and system
// information.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "controls/kit/KitStreams.h"
#include "framework/core/Component.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Types.h"
#include "framework/ui/Windows.h"

namespace kit {

class TKitCustomImageList;

// ---- Component base -------------------------------------------------------------------------------

class TKitCustomComponent : public framework::TComponent {
public:
    explicit TKitCustomComponent(framework::TComponent* AOwner);

    // Design-time information only.
    std::string About;
    framework::TNotifyEvent OnChange;
    bool ThemeAware = true;

    bool Updating() const { return FUpdating; }
    void BeginUpdate() { FUpdating = true; }
    void EndUpdate(bool DoChange);
    // OnChange(this) when not updating and bound.
    virtual void Change();
    // Owners bind the change notification of their sub-objects here.
    virtual void ChildChanged(framework::TObject* Sender);
    // Themed drawing in use by the kit's application, the theme library present and ThemeAware.
    bool UseThemes() const;

private:
    bool FUpdating = false;
};

// ---- Change links and containers ------------------------------------------------------------------

class TKitBaseContainer;

// Attached to a container, it hears of every change of it. Destroying a link detaches it.
class TKitChangeLink : public framework::TObject {
public:
    TKitChangeLink() = default;
    ~TKitChangeLink() override;
    TKitChangeLink(const TKitChangeLink&) = delete;
    TKitChangeLink& operator=(const TKitChangeLink&) = delete;

    TKitBaseContainer* Sender = nullptr;
    framework::TNotifyEvent OnChange;
    // OnChange(Sender) when bound.
    virtual void Notify();
};

class TKitBaseContainer : public TKitCustomComponent {
public:
    explicit TKitBaseContainer(framework::TComponent* AOwner);
    ~TKitBaseContainer() override;

    void RegisterLink(TKitChangeLink* Link);
    // Detaching a link that is not attached does nothing.
    void UnregisterLink(TKitChangeLink* Link);
    // Notifies every link in order of registration, then OnChange.
    void Change() override;

private:
    std::vector<TKitChangeLink*> FLinks;
};

// List kinds, also the kinds of the container signatures.
enum TKitListKind { lkImageList = 0, lkBitmapList = 1, lkWaveList = 2, lkStringList = 3 };

// The 8-character signature of a list kind ("KitIML30", "KitBML30", ...).
std::string ListSignature(int Kind);

class TKitListItem;

// A container of list items (KitContainer.h holds the items and the container streams).
class TKitCustomContainer : public TKitBaseContainer {
public:
    TKitCustomContainer(framework::TComponent* AOwner, TKitListKind Kind);
    ~TKitCustomContainer() override;
    TKitListKind ListKind() const { return FListKind; }

    bool DefaultCompressed = false;
    // Where bitmap items without a bitmap of their own fetch it: 0 nowhere, 1 a container file,
    // 2 a numbered bitmap of the program, 3 a library (nothing is taken), 4 separate files.
    int Source = 0;
    int PathPrefixKind = 2;  // a TKitPathPrefix, ppProgram
    std::string SourceFile;

    virtual int Count() const { return static_cast<int>(FItems.size()); }
    virtual bool IsEmpty() const { return FItems.empty(); }
    // Raises the list-index error for a bad index.
    virtual TKitListItem* Item(int Index) const;
    // A new item of the container's kind (owned by the container, not yet in the list).
    // (none in the base, whose containers hold no items).
    virtual TKitListItem* NewItem() { return nullptr; }
    // Appends Item (a new one when none); returns its index.
    int AddItem(TKitListItem* Item = nullptr);
    void Clear();
    // The item count, with Indexed a table of each item's stream position, then the items. A
    // damaged stream raises the stream's error and leaves the container as it was.
    virtual void LoadFromStream(framework::TStream* Stream, bool Indexed);
    virtual void SaveToStream(framework::TStream* Stream, bool Indexed);
    // Of a container of the same class: its defaults and a copy of every item, with one change
    // notice.
    void Assign(framework::TPersistent* Source) override;
    // The items are streamed as the container's children; items read with the container as
    // their owner join its list.
    void GetChildren(const framework::TGetChildProc& Proc, framework::TComponent* Root) override;

protected:
    // Forgets an item that is being destroyed.
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    TKitListKind FListKind;
    std::vector<TKitListItem*> FItems;
};

class TKitCustomImageList : public TKitCustomContainer {
public:
    TKitCustomImageList(framework::TComponent* AOwner, TKitListKind Kind)
        : TKitCustomContainer(AOwner, Kind) {}
    TKitSavePixelFormat DefaultPixelFormat = spfDefault;

    // The image operations of list L (an item) and image I within it. Out-of-range indexes give
    // neutral answers (none, 0, -1, False, white) and draw nothing. The base holds no images.
    virtual framework::TCanvas* ImageCanvas(int L) {
        (void)L;
        return nullptr;
    }
    virtual bool ImageRect(int L, int I, framework::TRect& Rect) const {
        (void)L, (void)I, Rect = framework::TRect{};
        return false;
    }
    // Width (Which 0) or height (1) of the images.
    virtual int ImageDimension(int L, int Which) const {
        (void)L, (void)Which;
        return 0;
    }
    virtual int ImageCount(int L) const {
        (void)L;
        return 0;
    }
    virtual bool HasImage(int L, int I) const {
        (void)L, (void)I;
        return false;
    }
    // Target takes a copy of the image.
    virtual void GetImage(int L, int I, framework::TBitmap& Target) { (void)L, (void)I, (void)Target; }
    virtual bool IsMasked(int L) const {
        (void)L;
        return false;
    }
    virtual framework::HPALETTE ImagePalette(int L) {
        (void)L;
        return 0;
    }
    virtual framework::TColor ImageTransparentColor(int L, int I) {
        (void)L, (void)I;
        return framework::clWhite;
    }
    virtual framework::TColor ImagePixel(const framework::TPoint& Point, int L, int I) {
        (void)Point, (void)L, (void)I;
        return framework::clWhite;
    }
    virtual void DrawImage(framework::TCanvas& Canvas, int X, int Y, int L, int I) {
        (void)Canvas, (void)X, (void)Y, (void)L, (void)I;
    }
    // Through DrawBitmapEx; Painted: where the image went (empty when nothing was drawn).
    virtual void DrawImageExt(framework::TCanvas& Canvas, const framework::TRect& Rect, uint32_t Flags, int L,
                              int I, framework::TRect& Painted) {
        (void)Canvas, (void)Rect, (void)Flags, (void)L, (void)I;
        Painted = framework::TRect{};
    }
    // Through DrawBitmapClipped (Color: the transparent colour of unmasked images).
    virtual void DrawImageClipped(framework::TCanvas& Canvas, const framework::TRect& Rect, uint32_t Flags,
                                  int32_t ClipOffset, framework::TColor Color, int L, int I) {
        (void)Canvas, (void)Rect, (void)Flags, (void)ClipOffset, (void)Color, (void)L, (void)I;
    }
};

// The image lists of the kit's global container, found by signature. The global container
// registers its bitmap list and image list here when it is made and removes them when it goes.
void RegisterGlobalImageList(TKitCustomImageList* List);
void UnregisterGlobalImageList(TKitCustomImageList* List);
// The registered list with that signature, or none.
TKitCustomImageList* GlobalImageList(const std::string& Signature);
bool IsGlobalImageList(const TKitCustomImageList* List);

// ---- Container component --------------------------------------------------------------------------

// A component that refers to an image of an image list.
class TKitContainerComponent : public TKitCustomComponent {
public:
    explicit TKitContainerComponent(framework::TComponent* AOwner);
    ~TKitContainerComponent() override;

    TKitCustomImageList* ImageList() const { return FImageList; }
    void SetImageList(TKitCustomImageList* Value);
    // Index 0 ImageIndex, 1 ListIndex; negative and unchanged values are ignored.
    int Index(int Which) const { return FIndex[Which & 1]; }
    void SetIndex(int Which, int Value);
    int ImageIndex() const { return FIndex[0]; }
    void SetImageIndex(int Value) { SetIndex(0, Value); }
    int ListIndex() const { return FIndex[1]; }
    void SetListIndex(int Value) { SetIndex(1, Value); }
    // Whether ImageList goes into the form as a reference: not for the global lists, which are
    // stored as their signature in "Internal".
    bool ImageListStored() const { return FImageList != nullptr && !IsGlobalImageList(FImageList); }

    void DefineProperties(framework::TFiler* Filer) override;

protected:
    // The image list changed (reason 0: another list or index). Empty here.
    virtual void ImageChanged(int Reason);
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    TKitCustomImageList* FImageList = nullptr;
    int FIndex[2] = {0, 0};
    TKitChangeLink FLink;
};

// ---- Window-procedure hook ------------------------------------------------------------------------

// Subclasses the window of the form that owns it: every message of that window goes through
// WndProc, which passes it on to the procedure it replaced.
class TKitWndProcComponent : public TKitCustomComponent {
public:
    explicit TKitWndProcComponent(framework::TComponent* AOwner);
    ~TKitWndProcComponent() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    bool DesignActive = false;
    bool HookApplication = false;
    bool HookMDIFrame = false;
    // 0 normal form, 1 MDI child, 2 MDI parent (from the owner form's style at creation).
    int OwnerMDIKind() const { return FOwnerMDIKind; }

    // The window to subclass: none without owner, else the owner's window (made on demand).
    framework::HWND HookTarget();
    bool Hooked() const { return FHooked; }
    // Installs the hook when enabled and not installed; true when it is installed.
    bool Activate();
    void Deactivate();
    // The owner's window exists and the component is neither loading nor being destroyed.
    bool CanPaint() const;

    void Loaded() override;
    virtual void DesignStateChanged();

protected:
    // A message of the application window (with HookApplication); true when handled.
    virtual bool AppHook(framework::TMessage& Message);
    // Every message of the target window. Passes it on to the previous procedure.
    virtual void WndProc(framework::TMessage& Message);
    virtual void EnabledChanged() {}
    framework::HWND TargetWindow() const { return FTarget; }

private:
    bool Install();
    bool Designing() const { return (ComponentState() & framework::csDesigning) != 0; }

    bool FEnabled = true;
    int FOwnerMDIKind = 0;
    bool FHooked = false;
    bool FDestroyingTarget = false;
    framework::HWND FTarget = 0;
    framework::TWndMethod FOldProc;
    framework::HWND FAppWnd = 0;
    framework::TWndMethod FOldAppProc;
    framework::TWndMethod FRetired[2];
};

// Follows theme changes of the system for the kit's application object.
class TKitXPThemeManager : public TKitWndProcComponent {
public:
    using TKitWndProcComponent::TKitWndProcComponent;

protected:
    void WndProc(framework::TMessage& Message) override;
};

// ---- Theme library --------------------------------------------------------------------------------

// The entry points of the theme library, resolved by name when the library is present.
inline constexpr std::array<const char*, 31> ThemeEntryPointNames = {"DrawThemeEdge",
                                                                     "DrawThemeBackground",
                                                                     "DrawThemeParentBackground",
                                                                     "DrawThemeText",
                                                                     "DrawThemeIcon",
                                                                     "OpenThemeData",
                                                                     "CloseThemeData",
                                                                     "IsThemeBackgroundPartiallyTransparent",
                                                                     "GetThemeBackgroundContentRect",
                                                                     "SetWindowTheme",
                                                                     "SetThemeAppProperties",
                                                                     "IsThemePartDefined",
                                                                     "GetThemeColor",
                                                                     "GetThemeMetric",
                                                                     "GetThemeString",
                                                                     "GetThemeBool",
                                                                     "GetThemeInt",
                                                                     "GetThemeEnumValue",
                                                                     "GetThemePosition",
                                                                     "GetThemeFont",
                                                                     "GetThemeRect",
                                                                     "GetThemeFilename",
                                                                     "GetThemeSysColor",
                                                                     "GetThemeSysColorBrush",
                                                                     "GetThemeSysBool",
                                                                     "IsThemeActive",
                                                                     "IsAppThemed",
                                                                     "GetWindowTheme",
                                                                     "EnableThemeDialogTexture",
                                                                     "IsThemeDialogTextureEnabled",
                                                                     "EnableTheming"};
inline constexpr const char* ThemeLibraryName = "UxTheme.dll";

// The system has no theme library: it is never present, every entry point stays empty and the kit
// draws its classic faces.
bool ThemeLibraryPresent();
// The entry point of that name, or none.
void* ThemeEntryPoint(const std::string& Name);

// ---- System information ---------------------------------------------------------------------------

struct TKitSystemFlags {
    bool IsWin98OrLater = false;
    bool IsWinNT = true;
    bool IsWin2000 = false;
};
// The system identifies itself as of the NT family, version 6.
const TKitSystemFlags& SystemFlags();

// Bits per pixel of the display.
int ColorDepth();
// The logged-on user's login name; "(Unknown)" when it cannot be read.
std::string CurrentUserName();

// Flags of CaptionGeometry: in 0x01 the bar extends to the text's right end, 0x02 owner-drawn
// caption, 0x20 single border; out 0x04 small caption, 0x08 system icon shown, 0x10 minimised.
constexpr uint32_t cgBarToTextEnd = 0x01, cgOwnerDrawn = 0x02, cgSmallCaption = 0x04, cgIconShown = 0x08,
                   cgMinimized = 0x10, cgSingleBorder = 0x20;
// The caption bar and its text area of a window, in window coordinates.
void CaptionGeometry(framework::HWND Window, framework::TRect& BarRect, framework::TRect& TextRect,
                     uint32_t& Flags);

}  // namespace kit
