#pragma once
// Shaped forms: point lists, region masks (region data and the pictures of a bitmap-made shape),
// the region border and shadow, the shape description that builds a region for a rectangle, and
// the form-shape component that gives its owner form such a window region, paints the background
// and border along the shape and lets the user drag the form by any free spot of its client area.
//
// Region data and point lists come from form streams and are checked before use: a block whose
// size, header or rectangle count does not agree with what was read, or a point list of more than
// MaxPoints points, is refused and leaves the mask or list empty (no region).

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/kit/KitBase.h"
#include "controls/kit/KitFill.h"
#include "framework/core/List.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Graphics.h"

namespace framework {
class TCustomForm;
class TReader;
class TWriter;
}  // namespace framework

namespace kit {

enum TKitRegionShape {
    rsRect,
    rsRoundRect,
    rsBitmap,
    rsNoseRect,
    rsRoundNoseRect,
    rsElliptic,
    rsStar,
    rsRoundShield,
    rsSharpShield,
    rsDiamond,
    rsOctagon,
    rsComb,
    rsHalfRound,
    rsUserRegion,
    rsThinkBubble,
    rsRoundThinkBubble,
    rsEllipticThinkBubble,
    rsPointList
};
enum TKitExtPos {
    epLeftTop,
    epTopLeft,
    epTopRight,
    epRightTop,
    epRightBottom,
    epBottomRight,
    epBottomLeft,
    epLeftBottom
};
enum TKitRegionBorderStyle {
    rbNone,
    rbLowered,
    rbRaised,
    rbSingle,
    rbSingleRaised,
    rbSingleLowered,
    rbRaisedpsb,
    rbLoweredpsb
};

// ---- Point list -----------------------------------------------------------------------------------

// Points packed into 32 bits each: X in the high half (unsigned), Y in the low half (signed).
class TKitPointList : public framework::TList {
public:
    static constexpr int MaxPoints = 65536;

    static int32_t Pack(const framework::TPoint& P);
    static framework::TPoint Unpack(int32_t Value);

    // False (P untouched) past the end.
    bool Point(int Index, framework::TPoint& P) const;
    // Nothing past the end; notifies.
    void SetPoint(int Index, const framework::TPoint& P);
    void AddPoint(const framework::TPoint& P);
    std::vector<framework::TPoint> Points() const;

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate() { --FUpdateCount; }
    // OnChange(this) while the update counter is below 1.
    void Changed();
    framework::TNotifyEvent OnChange;

    // The stored form: a list of integers, X then Y of each point. A list of more than MaxPoints
    // points or with a lone X is refused: the list is left empty.
    void ReadPoints(framework::TReader* Reader);
    void WritePoints(framework::TWriter* Writer) const;

private:
    int FUpdateCount = 0;
};

// ---- Region mask ----------------------------------------------------------------------------------

class TKitRegionMask : public TKitObject {
public:
    enum { bpBorder, bpUp, bpDown };

    TKitRegionMask();
    ~TKitRegionMask() override;

    const std::vector<uint8_t>& RegionData() const { return FData; }
    int RegionDataSize() const { return FDataSize; }
    // Only stores the number (the size the next "RegionData" must have).
    void SetRegionDataSize(int Value) { FDataSize = Value; }
    // Takes the region data of Rgn (none for 0).
    void SetRegion(framework::HRGN Rgn);
    void Clear();
    // A new region from the data (the caller owns it); 0 without data.
    framework::HRGN CreateRegion() const;

    framework::TBitmap* Picture(int Index) const { return FPictures[Index].get(); }
    framework::TBitmap* BorderBitmap() const { return Picture(bpBorder); }
    bool Compressed = false;
    TKitSavePixelFormat PixelFormat = spfDefault;

    // "RegionData": the block must be RegionDataSize bytes and hold a sound header and as many
    // rectangles as it says; otherwise the mask is left without data.
    void ReadRegionData(framework::TStream* Stream);
    // "BorderBmp", "BorderUpBmp", "BorderDnBmp": the compressed flag, then the picture.
    void ReadPicture(int Index, framework::TStream* Stream);

    void Assign(framework::TPersistent* Source) override;
    void DefineProperties(framework::TFiler* Filer) override;

private:
    std::vector<uint8_t> FData;
    int FDataSize = 0;
    std::unique_ptr<framework::TBitmap> FPictures[3];
};

// Region data is sound: a 32-byte header of type 1 whose rectangles fit into Size bytes.
bool RegionDataSound(const uint8_t* Data, size_t Size);

// ---- Border and shadow ----------------------------------------------------------------------------

class TKitRegionBorder : public TKitObject {
public:
    enum { bcLight, bcShadow, bcSingle };

    TKitRegionBorderStyle Style() const { return FStyle; }
    void SetStyle(TKitRegionBorderStyle Value);
    framework::TColor Color(int Index) const { return FColors[Index]; }
    void SetColor(int Index, framework::TColor Value);
    framework::TColor LightColor() const { return FColors[bcLight]; }
    framework::TColor ShadowColor() const { return FColors[bcShadow]; }
    framework::TColor SingleColor() const { return FColors[bcSingle]; }

    void Assign(framework::TPersistent* Source) override;

private:
    TKitRegionBorderStyle FStyle = rbSingle;
    framework::TColor FColors[3] = {framework::clBtnHighlight, framework::clBtnShadow, framework::clBlack};
};

class TKitRgnShadow : public TKitShadow {
public:
    TKitRgnShadow() { FStyle = hssNone; }
};

// ---- Region ---------------------------------------------------------------------------------------

class TKitRegion : public TKitObject {
public:
    // Point-list shapes are built within (-1, -1) .. (MaxPointRegionExtent, MaxPointRegionExtent):
    // larger than any window, and the drawing layer's polygon regions grow costly beyond it.
    static constexpr int MaxPointRegionExtent = 2048;

    // Owner: the control whose window takes the region (its state tells design time and destruction).
    explicit TKitRegion(framework::TComponent* Owner = nullptr);
    ~TKitRegion() override;

    TKitRegionShape Shape() const { return FShape; }
    void SetShape(TKitRegionShape Value);
    // Index 0 RoundX, 1 RoundY.
    int Round(int Index) const { return FRound[Index & 1]; }
    void SetRound(int Index, int Value);
    int RoundX() const { return FRound[0]; }
    int RoundY() const { return FRound[1]; }
    TKitExtPos ExtPos() const { return FExtPos; }
    void SetExtPos(TKitExtPos Value);
    TKitRegionMask* Mask() const { return FMask.get(); }
    TKitRgnShadow* Shadow() const { return FShadow.get(); }
    TKitPointList* Points() const { return FPoints.get(); }
    TKitRegionBorder* Border() const { return FBorder.get(); }

    int BubbleCount = 4;
    // Added to every rectangle a region is built for.
    framework::TPoint Offset;
    // With it set, the shadow takes no room from the shape.
    bool ShadowOff = false;

    // Builds the region of the shape for Rect (the previous one is deleted) and returns it; the
    // region stays owned by this object. 0 when the shape has no data.
    framework::HRGN BuildRegion(const framework::TRect& Rect);
    // The region last built (0 when none).
    framework::HRGN Handle() const { return FHandle; }
    // Makes the region a plain rectangle.
    void SetRectRegion(const framework::TRect& Rect);
    // Keeps a copy of Rgn's data as the user region (rsUserRegion).
    void SetUserRegion(framework::HRGN Rgn);
    bool HasUserRegion() const { return !FUserData.empty(); }
    // Paints the shadow and border of the region last built over Rect.
    void PaintBorder(framework::TCanvas& Canvas, const framework::TRect& Rect);

    void Assign(framework::TPersistent* Source) override;
    void DefineProperties(framework::TFiler* Filer) override;

private:
    bool Designing() const;
    bool Destroying() const;
    void PointsChanged();
    void RebuildPointRegion();
    framework::HRGN ShapeRegion(TKitRegionShape Shape, const framework::TRect& R) const;
    framework::HRGN BodyRegion(TKitRegionShape Body, const framework::TRect& R) const;
    framework::HRGN NoseRegion(TKitRegionShape Body, const framework::TRect& R, int Size, int Distance) const;
    framework::HRGN BubbleRegion(TKitRegionShape Body, const framework::TRect& R, int Size) const;
    // The body of a nose or bubble shape: Rect less Size on the two sides at the ExtPos corner.
    framework::TRect BodyRect(const framework::TRect& R, int Size) const;
    std::vector<framework::TRect> BubbleCircles(const framework::TRect& R, int Size) const;
    std::vector<framework::TPoint> NoseTriangle(const framework::TRect& R, int Size, int Distance) const;
    void PaintShadow(framework::TCanvas& Canvas);
    void PaintOutline(framework::TCanvas& Canvas, TKitRegionShape Shape, const framework::TRect& R,
                      framework::TColor Light, framework::TColor Shadow, bool Raised, bool LowerPartOnly);

    framework::TComponent* FOwner;
    TKitRegionShape FShape = rsRoundRect;
    int FRound[2] = {20, 20};
    TKitExtPos FExtPos = epLeftTop;
    std::unique_ptr<TKitRegionMask> FMask;
    std::unique_ptr<TKitRgnShadow> FShadow;
    std::unique_ptr<TKitPointList> FPoints;
    std::unique_ptr<TKitRegionBorder> FBorder;
    framework::HRGN FHandle = 0;
    framework::TRect FBuiltRect;
    std::vector<uint8_t> FUserData;
};

class TKitBorderRegion : public TKitRegion {
public:
    using TKitRegion::TKitRegion;
    void SetBorder(TKitRegionBorder* Value) { Border()->Assign(Value); }
};

// ---- Form shape -----------------------------------------------------------------------------------

class TKitFormShape : public TKitWndProcComponent {
public:
    // At design time, an owner that is not a form or already holds a form shape raises
    // KitEOneInstError.
    explicit TKitFormShape(framework::TComponent* AOwner);
    ~TKitFormShape() override;

    TKitBorderRegion* Region() const { return FRegion.get(); }
    void SetRegion(TKitBorderRegion* Value) { FRegion->Assign(Value); }
    bool ShowFormCaption() const { return FShowFormCaption; }
    void SetShowFormCaption(bool Value);
    bool FormDragable = true;
    bool UseRgnBitmap() const { return FUseRgnBitmap; }
    void SetUseRgnBitmap(bool Value);
    TKitFillObject* FillObject() const { return FFillObject.get(); }
    void SetFillObject(TKitFillObject* Value) { FFillObject->Assign(Value); }
    TKitCustomImageList* ImageList() const { return FImageList; }
    void SetImageList(TKitCustomImageList* Value);
    // Index 0 ListIndex, 1 ImageIndex (only stored).
    int Index(int Which) const { return FIndex[Which & 1]; }
    void SetIndex(int Which, int Value) { FIndex[Which & 1] = Value; }

    // Rebuilds the form's window region from the shape.
    void UpdateWindowRegion();
    // The window region last given to the form, in window coordinates (the frame and caption
    // included, as the system measures a window); 0 before the first one.
    framework::HRGN WindowRegion() const { return FWindowRgn; }
    // Paints the background and border on Dc (the form's window when 0).
    void PaintShape(framework::HDC Dc = 0);
    // The picture a transparent control of the form shows behind itself: the background buffer
    // or the border picture when the shape paints one; none otherwise.
    framework::TBitmap* BackgroundPicture();

    void Loaded() override;

protected:
    void WndProc(framework::TMessage& Message) override;
    void EnabledChanged() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    framework::TCustomForm* Form() const;
    bool Designing() const { return (ComponentState() & framework::csDesigning) != 0; }
    void FrameMetrics(int& FrameX, int& FrameY, int& Caption) const;
    void Changed();

    std::unique_ptr<TKitBorderRegion> FRegion;
    std::unique_ptr<TKitFillObject> FFillObject;
    std::unique_ptr<framework::TBitmap> FBuffer;
    TKitCustomImageList* FImageList = nullptr;
    TKitChangeLink FImageLink;
    int FIndex[2] = {0, 0};
    bool FShowFormCaption = true;
    bool FUseRgnBitmap = true;
    bool FRightHeld = false;
    bool FRebuilding = false;
    int FCaptionHeight = 0;
    framework::HRGN FWindowRgn = 0;
};

// The form shape of the form that holds Control (none when the form has none).
TKitFormShape* FindFormShape(framework::TControl* Control);

}  // namespace kit
