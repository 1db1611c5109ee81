#include "controls/kit/KitRegion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "controls/kit/KitApp.h"
#include "framework/core/Filer.h"
#include "framework/core/Stream.h"
#include "framework/ui/Forms.h"

namespace kit {

using namespace framework;

namespace {

int RoundInt(double Value) {
    return static_cast<int>(std::lround(Value));
}

uint32_t LoadU32(const uint8_t* P) {
    return static_cast<uint32_t>(P[0]) | static_cast<uint32_t>(P[1]) << 8 |
           static_cast<uint32_t>(P[2]) << 16 | static_cast<uint32_t>(P[3]) << 24;
}

// An elliptic region between two corners given in any order.
HRGN Elliptic(int X1, int Y1, int X2, int Y2) {
    return CreateEllipticRgn(std::min(X1, X2), std::min(Y1, Y2), std::max(X1, X2), std::max(Y1, Y2));
}

HRGN Polygon(const std::vector<TPoint>& Points) {
    return CreatePolygonRgn(Points.data(), static_cast<int>(Points.size()), ALTERNATE);
}

// Dest := Dest op Other; Other is deleted.
void Combine(HRGN Dest, HRGN Other, int Mode) {
    CombineRgn(Dest, Dest, Other, Mode);
    DeleteObject(Other);
}

HRGN CopyRegion(HRGN Source) {
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(copy, Source, 0, RGN_COPY);
    return copy;
}

std::vector<TPoint> StarPoints(const TRect& R) {
    const int L = R.Left, T = R.Top, W = R.Right - R.Left, H = R.Bottom - R.Top;
    return {{L + W / 2, T},
            {L + RoundInt(0.65 * W), T + RoundInt(0.38 * H)},
            {R.Right, T + RoundInt(0.38 * H)},
            {L + RoundInt(0.7 * W), T + RoundInt(0.6 * H)},
            {L + RoundInt(0.85 * W), R.Bottom},
            {L + W / 2, T + RoundInt(0.75 * H)},
            {L + RoundInt(0.15 * W), R.Bottom},
            {L + RoundInt(0.3 * W), T + RoundInt(0.6 * H)},
            {L, T + RoundInt(0.38 * H)},
            {L + RoundInt(0.35 * W), T + RoundInt(0.38 * H)}};
}

std::vector<TPoint> DiamondPoints(const TRect& R) {
    const int W = R.Right - R.Left, H = R.Bottom - R.Top;
    return {{R.Left + W / 2, R.Top},
            {R.Left, R.Top + H / 2},
            {R.Left + W / 2, R.Bottom},
            {R.Right, R.Top + H / 2}};
}

std::vector<TPoint> OctagonPoints(const TRect& R) {
    const int L = R.Left, T = R.Top, W = R.Right - R.Left, H = R.Bottom - R.Top;
    return {{L + 2 * (W / 3), T},       {L + W / 3, T},        {L, T + H / 3},
            {L, T + 2 * (H / 3)},       {L + W / 3, R.Bottom}, {L + 2 * (W / 3), R.Bottom},
            {R.Right, T + 2 * (H / 3)}, {R.Right, T + H / 3}};
}

std::vector<TPoint> CombPoints(const TRect& R) {
    const int L = R.Left, T = R.Top, W = R.Right - R.Left, H = R.Bottom - R.Top;
    return {{L + W / 2, T},
            {L, T + H / 4},
            {L, T + 3 * (H / 4)},
            {L + W / 2, R.Bottom},
            {R.Right, T + 3 * (H / 4)},
            {R.Right, T + H / 4}};
}

// The shoulder ellipses and top strip that both shields lose.
void CutShoulders(HRGN Rgn, int W, int H) {
    Combine(Rgn, Elliptic(-(W / 2), -(H / 5), W / 2, H / 5), RGN_DIFF);
    Combine(Rgn, Elliptic(W / 2, -(H / 5), W + W / 2, H / 5), RGN_DIFF);
    Combine(Rgn, CreateRectRgn(0, -40, W, 0), RGN_DIFF);
}

bool IsPolygonShape(TKitRegionShape Shape) {
    return Shape == rsStar || Shape == rsDiamond || Shape == rsOctagon || Shape == rsComb;
}

// The corners of a polygon shape in their order, and how many of the first edges face up and left.
std::vector<TPoint> ShapePolygon(TKitRegionShape Shape, const TRect& R, int& LightEdges) {
    switch (Shape) {
        case rsDiamond:
            LightEdges = 1;
            return DiamondPoints(R);
        case rsOctagon:
            LightEdges = 3;
            return OctagonPoints(R);
        case rsComb:
            LightEdges = 2;
            return CombPoints(R);
        default:
            LightEdges = 0;
            return StarPoints(R);
    }
}

// Draws the edges of a closed polygon, each in the colour Pick gives for its start index (none
// for clNone).
template <class F>
void DrawEdges(TCanvas& Canvas, const std::vector<TPoint>& P, F&& Pick) {
    const size_t n = P.size();
    for (size_t i = 0; i < n; ++i) {
        const TPoint& a = P[i];
        const TPoint& b = P[(i + 1) % n];
        const TColor color = Pick(i, a, b);
        if (color == clNone) continue;
        Canvas.Pen.Color = color;
        Canvas.MoveTo(a.X, a.Y);
        Canvas.LineTo(b.X, b.Y);
    }
}

// The part of Rect below the diagonal from its top-right to its bottom-left corner.
HRGN LowerRightHalf(const TRect& R) {
    const std::vector<TPoint> p = {
        {R.Right + 4, R.Top - 4}, {R.Right + 4, R.Bottom + 4}, {R.Left - 4, R.Bottom + 4}};
    return Polygon(p);
}

// The part of a closed polygon inside Box (Sutherland-Hodgman, one edge of the box at a time).
std::vector<TPoint> ClipPolygon(std::vector<TPoint> Points, const TRect& Box) {
    struct TEdge {
        bool (*Inside)(const TPoint&, const TRect&);
        TPoint (*Cut)(const TPoint&, const TPoint&, const TRect&);
    };
    static const TEdge edges[4] = {
        {[](const TPoint& P, const TRect& R) { return P.X >= R.Left; },
         [](const TPoint& A, const TPoint& B, const TRect& R) {
             return TPoint{R.Left, static_cast<int32_t>(std::lround(A.Y + (B.Y - A.Y) * double(R.Left - A.X) /
                                                                              double(B.X - A.X)))};
         }},
        {[](const TPoint& P, const TRect& R) { return P.X <= R.Right; },
         [](const TPoint& A, const TPoint& B, const TRect& R) {
             return TPoint{R.Right, static_cast<int32_t>(std::lround(
                                        A.Y + (B.Y - A.Y) * double(R.Right - A.X) / double(B.X - A.X)))};
         }},
        {[](const TPoint& P, const TRect& R) { return P.Y >= R.Top; },
         [](const TPoint& A, const TPoint& B, const TRect& R) {
             return TPoint{static_cast<int32_t>(
                               std::lround(A.X + (B.X - A.X) * double(R.Top - A.Y) / double(B.Y - A.Y))),
                           R.Top};
         }},
        {[](const TPoint& P, const TRect& R) { return P.Y <= R.Bottom; },
         [](const TPoint& A, const TPoint& B, const TRect& R) {
             return TPoint{static_cast<int32_t>(
                               std::lround(A.X + (B.X - A.X) * double(R.Bottom - A.Y) / double(B.Y - A.Y))),
                           R.Bottom};
         }},
    };
    for (const TEdge& edge : edges) {
        if (Points.empty()) break;
        std::vector<TPoint> kept;
        for (size_t i = 0; i < Points.size(); ++i) {
            const TPoint& a = Points[i];
            const TPoint& b = Points[(i + 1) % Points.size()];
            const bool ia = edge.Inside(a, Box), ib = edge.Inside(b, Box);
            if (ia) kept.push_back(a);
            if (ia != ib) kept.push_back(edge.Cut(a, b, Box));
        }
        Points.swap(kept);
    }
    return Points;
}

}  // namespace

// ---- TKitPointList --------------------------------------------------------------------------------

int32_t TKitPointList::Pack(const TPoint& P) {
    return static_cast<int32_t>((static_cast<uint32_t>(P.X) << 16) + static_cast<uint32_t>(P.Y));
}

TPoint TKitPointList::Unpack(int32_t Value) {
    const auto bits = static_cast<uint32_t>(Value);
    return TPoint{static_cast<int32_t>(bits >> 16), static_cast<int16_t>(bits & 0xFFFF)};
}

bool TKitPointList::Point(int Index, TPoint& P) const {
    if (Index < 0 || Index >= Count()) return false;
    P = Unpack(static_cast<int32_t>(reinterpret_cast<uintptr_t>(Get(Index))));
    return true;
}

void TKitPointList::SetPoint(int Index, const TPoint& P) {
    if (Index < 0 || Index >= Count()) return;
    Put(Index, reinterpret_cast<Pointer>(static_cast<uintptr_t>(static_cast<uint32_t>(Pack(P)))));
    Changed();
}

void TKitPointList::AddPoint(const TPoint& P) {
    Add(reinterpret_cast<Pointer>(static_cast<uintptr_t>(static_cast<uint32_t>(Pack(P)))));
    Changed();
}

std::vector<TPoint> TKitPointList::Points() const {
    std::vector<TPoint> points(static_cast<size_t>(Count()));
    for (int i = 0; i < Count(); ++i) Point(i, points[static_cast<size_t>(i)]);
    return points;
}

void TKitPointList::Changed() {
    if (FUpdateCount < 1 && OnChange) OnChange(this);
}

void TKitPointList::ReadPoints(TReader* Reader) {
    std::vector<TPoint> points;
    Reader->ReadListBegin();
    bool refused = false;
    while (!Reader->EndOfList()) {
        const int32_t x = Reader->ReadInteger();
        if (Reader->EndOfList()) {  // a lone X
            refused = true;
            break;
        }
        const int32_t y = Reader->ReadInteger();
        if (points.size() >= static_cast<size_t>(MaxPoints)) {
            refused = true;
            while (!Reader->EndOfList()) Reader->ReadInteger();
            break;
        }
        points.push_back(TPoint{x, y});
    }
    Reader->ReadListEnd();
    BeginUpdate();
    Clear();
    if (!refused)
        for (const TPoint& p : points) AddPoint(p);
    EndUpdate();
    Changed();
}

void TKitPointList::WritePoints(TWriter* Writer) const {
    Writer->WriteListBegin();
    for (const TPoint& p : Points()) {
        Writer->WriteInteger(p.X);
        Writer->WriteInteger(p.Y);
    }
    Writer->WriteListEnd();
}

// ---- TKitRegionMask -------------------------------------------------------------------------------

bool RegionDataSound(const uint8_t* Data, size_t Size) {
    if (Data == nullptr || Size < RgnDataHeaderSize) return false;
    if (LoadU32(Data) != RgnDataHeaderSize || LoadU32(Data + 4) != RDH_RECTANGLES) return false;
    const uint64_t count = LoadU32(Data + 8);
    return count * 16 <= Size - RgnDataHeaderSize;
}

TKitRegionMask::TKitRegionMask() {
    for (auto& p : FPictures) p = std::make_unique<TBitmap>();
}

TKitRegionMask::~TKitRegionMask() = default;

void TKitRegionMask::Clear() {
    FData.clear();
    FDataSize = 0;
}

void TKitRegionMask::SetRegion(HRGN Rgn) {
    Clear();
    const uint32_t size = Rgn ? GetRegionData(Rgn, 0, nullptr) : 0;
    if (size == 0) return;
    FData.resize(size);
    if (GetRegionData(Rgn, size, FData.data()) != size) {
        Clear();
        return;
    }
    FDataSize = static_cast<int>(size);
}

HRGN TKitRegionMask::CreateRegion() const {
    if (FData.empty()) return 0;
    return ExtCreateRegion(nullptr, static_cast<uint32_t>(FData.size()), FData.data());
}

void TKitRegionMask::ReadRegionData(TStream* Stream) {
    const int64_t size = Stream->Size() - Stream->Position();
    const int expected = FDataSize;
    FData.clear();
    FDataSize = 0;
    if (expected <= 0 || size != expected) return;
    std::vector<uint8_t> data(static_cast<size_t>(expected));
    Stream->ReadBuffer(data.data(), expected);
    if (!RegionDataSound(data.data(), data.size())) return;
    FData = std::move(data);
    FDataSize = expected;
}

void TKitRegionMask::ReadPicture(int Index, TStream* Stream) {
    uint8_t flag = 0;
    Stream->ReadBuffer(&flag, 1);
    Compressed = flag != 0;
    TBitmap picture;
    ReadBitmapData(Stream, &picture, Compressed);
    FPictures[Index]->Assign(picture);
}

void TKitRegionMask::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TKitRegionMask*>(Source)) {
        if (src == this) return;
        Clear();
        for (auto& p : FPictures) p->FreeImage();
        if (src->FData.empty()) return;
        FData = src->FData;
        FDataSize = src->FDataSize;
        for (int i = 0; i < 3; ++i)
            if (!src->FPictures[i]->Empty()) FPictures[i]->Assign(*src->FPictures[i]);
        Compressed = src->Compressed;
        PixelFormat = src->PixelFormat;
        return;
    }
    TKitObject::Assign(Source);
}

void TKitRegionMask::DefineProperties(TFiler* Filer) {
    TKitObject::DefineProperties(Filer);
    Filer->DefineProperty(
        "RegionDataSize", [this](TReader* Reader) { FDataSize = Reader->ReadInteger(); },
        [this](TWriter* Writer) { Writer->WriteInteger(FDataSize); }, FDataSize != 0);
    Filer->DefineBinaryProperty(
        "RegionData", [this](TStream* Stream) { ReadRegionData(Stream); },
        [this](TStream* Stream) { Stream->WriteBuffer(FData.data(), static_cast<int32_t>(FData.size())); },
        !FData.empty());
    static const char* const names[3] = {"BorderBmp", "BorderUpBmp", "BorderDnBmp"};
    for (int i = 0; i < 3; ++i)
        Filer->DefineBinaryProperty(
            names[i], [this, i](TStream* Stream) { ReadPicture(i, Stream); },
            [this, i](TStream* Stream) {
                const uint8_t flag = Compressed ? 1 : 0;
                Stream->WriteBuffer(&flag, 1);
                WriteBitmapData(Stream, FPictures[i].get(), Compressed, PixelFormat);
            },
            !FPictures[i]->Empty());
}

// ---- TKitRegionBorder -----------------------------------------------------------------------------

void TKitRegionBorder::SetStyle(TKitRegionBorderStyle Value) {
    FStyle = Value;
    Change();
}

void TKitRegionBorder::SetColor(int Index, TColor Value) {
    FColors[Index] = Value;
    Change();
}

void TKitRegionBorder::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TKitRegionBorder*>(Source)) {
        FStyle = src->FStyle;
        std::copy(std::begin(src->FColors), std::end(src->FColors), std::begin(FColors));
        Change();
        return;
    }
    TKitObject::Assign(Source);
}

// ---- TKitRegion -----------------------------------------------------------------------------------

TKitRegion::TKitRegion(TComponent* Owner)
    : FOwner(Owner),
      FMask(std::make_unique<TKitRegionMask>()),
      FShadow(std::make_unique<TKitRgnShadow>()),
      FPoints(std::make_unique<TKitPointList>()),
      FBorder(std::make_unique<TKitRegionBorder>()) {
    FMask->OnChange = [this](TObject* Sender) { ChildChanged(Sender); };
    FShadow->OnChange = [this](TObject* Sender) { ChildChanged(Sender); };
    FBorder->OnChange = [this](TObject* Sender) { ChildChanged(Sender); };
    FPoints->OnChange = [this](TObject*) { PointsChanged(); };
}

TKitRegion::~TKitRegion() {
    if (FHandle) DeleteObject(FHandle);
}

bool TKitRegion::Designing() const {
    return FOwner && (FOwner->ComponentState() & csDesigning);
}

bool TKitRegion::Destroying() const {
    return FOwner && (FOwner->ComponentState() & csDestroying);
}

void TKitRegion::SetShape(TKitRegionShape Value) {
    if (!Store(FShape, Value)) return;
    if (FShape == rsPointList) RebuildPointRegion();
    Change();
}

void TKitRegion::SetRound(int Index, int Value) {
    if (Store(FRound[Index & 1], Value)) Change();
}

void TKitRegion::SetExtPos(TKitExtPos Value) {
    if (Store(FExtPos, Value)) Change();
}

void TKitRegion::PointsChanged() {
    RebuildPointRegion();
    Change();
}

void TKitRegion::RebuildPointRegion() {
    FUserData.clear();
    // The drawing layer's polygon regions cost time with the square of their height, so the
    // polygon is cut to the area a window region can use.
    const std::vector<TPoint> points =
        ClipPolygon(FPoints->Points(), TRect{-1, -1, MaxPointRegionExtent, MaxPointRegionExtent});
    if (points.size() < 3) return;
    HRGN rgn = Polygon(points);
    SetUserRegion(rgn);
    DeleteObject(rgn);
}

void TKitRegion::SetUserRegion(HRGN Rgn) {
    FUserData.clear();
    const uint32_t size = Rgn ? GetRegionData(Rgn, 0, nullptr) : 0;
    if (size == 0) return;
    FUserData.resize(size);
    if (GetRegionData(Rgn, size, FUserData.data()) != size) FUserData.clear();
}

TRect TKitRegion::BodyRect(const TRect& R, int Size) const {
    TRect body = R;
    switch (FExtPos) {
        case epLeftTop:
        case epTopLeft:
            body.Left += Size;
            body.Top += Size;
            break;
        case epTopRight:
        case epRightTop:
            body.Right -= Size;
            body.Top += Size;
            break;
        case epRightBottom:
        case epBottomRight:
            body.Right -= Size;
            body.Bottom -= Size;
            break;
        case epBottomLeft:
        case epLeftBottom:
            body.Left += Size;
            body.Bottom -= Size;
            break;
    }
    return body;
}

std::vector<TPoint> TKitRegion::NoseTriangle(const TRect& R, int Size, int Distance) const {
    const TRect b = BodyRect(R, Size);
    const int s = RoundInt(Size * std::sqrt(2.0));
    const int c = Distance;
    switch (FExtPos) {
        case epLeftTop:
            return {{R.Left, R.Top}, {b.Left, b.Top + c}, {b.Left, b.Top + c + s}};
        case epTopLeft:
            return {{R.Left, R.Top}, {b.Left + c, b.Top}, {b.Left + c + s, b.Top}};
        case epTopRight:
            return {{R.Right, R.Top}, {b.Right - c, b.Top}, {b.Right - c - s, b.Top}};
        case epRightTop:
            return {{R.Right, R.Top}, {b.Right, b.Top + c}, {b.Right, b.Top + c + s}};
        case epRightBottom:
            return {{R.Right, R.Bottom}, {b.Right, b.Bottom - c}, {b.Right, b.Bottom - c - s}};
        case epBottomRight:
            return {{R.Right, R.Bottom}, {b.Right - c, b.Bottom}, {b.Right - c - s, b.Bottom}};
        case epBottomLeft:
            return {{R.Left, R.Bottom}, {b.Left + c, b.Bottom}, {b.Left + c + s, b.Bottom}};
        case epLeftBottom:
            return {{R.Left, R.Bottom}, {b.Left, b.Bottom - c}, {b.Left, b.Bottom - c - s}};
    }
    return {};
}

std::vector<TRect> TKitRegion::BubbleCircles(const TRect& R, int Size) const {
    const TRect b = BodyRect(R, Size);
    const int n = std::max(BubbleCount, 1);
    const double a = Size;
    std::vector<TRect> circles;
    for (int g = 0; g <= n + 2; ++g) {
        const int d = RoundInt(g * a * M_PI / (2.0 * n * n));
        const double h = g * (M_PI / 2) / (n + 1);
        const double k = 1.57 - h;
        int x = 0, y = 0;
        switch (FExtPos) {
            case epLeftTop:
                x = b.Left - RoundInt(a * std::cos(h));
                y = b.Top - Size + RoundInt(a * std::sin(h));
                break;
            case epTopLeft:
                x = b.Left - Size + RoundInt(a * std::cos(k));
                y = b.Top - RoundInt(a * std::sin(k));
                break;
            case epTopRight:
                x = b.Right + Size - RoundInt(a * std::cos(k));
                y = b.Top - RoundInt(a * std::sin(h + 1.57));
                break;
            case epRightTop:
                x = b.Right + RoundInt(a * std::cos(h));
                y = b.Top - Size + RoundInt(a * std::sin(h));
                break;
            case epRightBottom:
                x = b.Right + RoundInt(a * std::cos(h));
                y = b.Bottom + Size - RoundInt(a * std::sin(h));
                break;
            case epBottomRight:
                x = b.Right + Size - RoundInt(a * std::cos(k));
                y = b.Bottom + RoundInt(a * std::sin(k));
                break;
            case epBottomLeft:
                x = b.Left - Size + RoundInt(a * std::cos(k));
                y = b.Bottom + RoundInt(a * std::sin(k));
                break;
            case epLeftBottom:
                x = b.Left - RoundInt(a * std::cos(h));
                y = b.Bottom + Size - RoundInt(a * std::sin(h));
                break;
        }
        circles.push_back(TRect{x - d / 2, y - d / 2, x + d / 2, y + d / 2});
    }
    return circles;
}

HRGN TKitRegion::BodyRegion(TKitRegionShape Body, const TRect& R) const {
    switch (Body) {
        case rsRoundRect:
        case rsRoundNoseRect:
        case rsRoundThinkBubble:
            return CreateRoundRectRgn(R.Left, R.Top, R.Right, R.Bottom, FRound[0], FRound[1]);
        case rsEllipticThinkBubble:
            return CreateEllipticRgn(R.Left, R.Top, R.Right, R.Bottom);
        default:
            return CreateRectRgnIndirect(R);
    }
}

HRGN TKitRegion::NoseRegion(TKitRegionShape Body, const TRect& R, int Size, int Distance) const {
    HRGN rgn = BodyRegion(Body, BodyRect(R, Size));
    Combine(rgn, Polygon(NoseTriangle(R, Size, Distance)), RGN_OR);
    return rgn;
}

HRGN TKitRegion::BubbleRegion(TKitRegionShape Body, const TRect& R, int Size) const {
    HRGN rgn = BodyRegion(Body, BodyRect(R, Size));
    for (const TRect& c : BubbleCircles(R, Size))
        Combine(rgn, CreateEllipticRgn(c.Left, c.Top, c.Right, c.Bottom), RGN_OR);
    return rgn;
}

HRGN TKitRegion::ShapeRegion(TKitRegionShape Shape, const TRect& R) const {
    const int W = R.Right - R.Left, H = R.Bottom - R.Top;
    switch (Shape) {
        case rsRect:
            return CreateRectRgnIndirect(R);
        case rsRoundRect:
            return CreateRoundRectRgn(R.Left, R.Top, R.Right, R.Bottom, FRound[0], FRound[1]);
        case rsBitmap:
            return FMask->CreateRegion();
        case rsNoseRect:
            return NoseRegion(rsRect, R, W / 10, 5);
        case rsRoundNoseRect: {
            const bool byY = FExtPos == epLeftTop || FExtPos == epRightTop || FExtPos == epRightBottom ||
                             FExtPos == epLeftBottom;
            return NoseRegion(rsRoundRect, R, W / 10, byY ? FRound[1] : FRound[0]);
        }
        case rsElliptic:
            return CreateEllipticRgn(R.Left, R.Top, R.Right, R.Bottom);
        case rsStar:
            return Polygon(StarPoints(R));
        case rsRoundShield: {
            HRGN rgn = Elliptic(0, H, W, H / 5 - H);
            CutShoulders(rgn, W, H);
            return rgn;
        }
        case rsSharpShield: {
            const int y1 = (-8 * H) / 7, y2 = (8 * H) / 7;
            HRGN rgn = Elliptic(-W, y1, W, y2);
            Combine(rgn, Elliptic(0, y1, 2 * W, y2), RGN_AND);
            CutShoulders(rgn, W, H);
            return rgn;
        }
        case rsDiamond:
            return Polygon(DiamondPoints(R));
        case rsOctagon:
            return Polygon(OctagonPoints(R));
        case rsComb:
            return Polygon(CombPoints(R));
        case rsHalfRound:
            return CreateEllipticRgn(R.Left, 2 * R.Top - R.Bottom, R.Right, R.Bottom);
        case rsUserRegion:
            if (Designing()) return CreateRectRgnIndirect(R);
            [[fallthrough]];
        case rsPointList:
            if (FUserData.empty()) return 0;
            return ExtCreateRegion(nullptr, static_cast<uint32_t>(FUserData.size()), FUserData.data());
        case rsThinkBubble:
        case rsRoundThinkBubble:
        case rsEllipticThinkBubble:
            return BubbleRegion(Shape, R, W / 6);
    }
    return 0;
}

HRGN TKitRegion::BuildRegion(const TRect& Rect) {
    if (Destroying()) return 0;
    TRect r{Rect.Left + Offset.X, Rect.Top + Offset.Y, Rect.Right + Offset.X, Rect.Bottom + Offset.Y};
    if (FShadow->Style() != hssNone && !ShadowOff) {
        r.Right -= FShadow->Depth();
        r.Bottom -= FShadow->Depth();
    }
    if (FHandle) DeleteObject(FHandle);
    FBuiltRect = r;
    FHandle = ShapeRegion(FShape, r);
    return FHandle;
}

void TKitRegion::SetRectRegion(const TRect& Rect) {
    if (FHandle) DeleteObject(FHandle);
    FBuiltRect = Rect;
    FHandle = CreateRectRgnIndirect(Rect);
}

void TKitRegion::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TKitRegion*>(Source)) {
        BeginUpdate();
        FShape = src->FShape;
        FRound[0] = src->FRound[0];
        FRound[1] = src->FRound[1];
        FShadow->Assign(src->FShadow.get());
        FExtPos = src->FExtPos;
        FBorder->Assign(src->FBorder.get());
        FMask->Assign(src->FMask.get());
        EndUpdate(true);
        return;
    }
    TKitObject::Assign(Source);
}

void TKitRegion::DefineProperties(TFiler* Filer) {
    TKitObject::DefineProperties(Filer);
    Filer->DefineProperty(
        "PointList", [this](TReader* Reader) { FPoints->ReadPoints(Reader); },
        [this](TWriter* Writer) { FPoints->WritePoints(Writer); }, FPoints->Count() > 0);
}

// ---- Border painting ------------------------------------------------------------------------------

void TKitRegion::PaintShadow(TCanvas& Canvas) {
    const int depth = FShadow->Depth();
    HRGN area = CopyRegion(FHandle);
    OffsetRgn(area, depth, depth);
    CombineRgn(area, area, FHandle, RGN_DIFF);
    const HDC dc = Canvas.Handle();
    if (FShadow->Style() == hssSolid) {
        HBRUSH brush = CreateSolidBrush(FShadow->Color());
        FillRgn(dc, area, brush);
        DeleteObject(brush);
    } else if (auto* app = KitApplication()) {
        // The tracing shadow darkens every other pixel: the pattern is ANDed onto the background.
        TRect box;
        GetRgnBox(area, &box);
        const int saved = SaveDC(dc);
        SelectClipRgn(dc, area);
        Canvas.Brush.Bitmap = app->PatternBitmap(FShadow->Color());
        PatBlt(Canvas.Handle(), box.Left, box.Top, box.Right - box.Left, box.Bottom - box.Top, 0x00A000C9);
        Canvas.Brush.Bitmap = nullptr;
        RestoreDC(dc, saved);
    }
    DeleteObject(area);
    Canvas.Brush.Style = bsClear;
    Canvas.Pen.Mode = pmCopy;
    Canvas.Pen.Style = psSolid;
}

// The outline of a shape, its upper-left part in Light and its lower-right part in Shadow (with
// LowerPartOnly only the lower-right part).
void TKitRegion::PaintOutline(TCanvas& Canvas, TKitRegionShape Shape, const TRect& R, TColor Light,
                              TColor Shadow, bool Raised, bool LowerPartOnly) {
    const HDC dc = Canvas.Handle();
    if (IsPolygonShape(Shape)) {
        int lightEdges = 0;
        const std::vector<TPoint> p = ShapePolygon(Shape, R, lightEdges);
        DrawEdges(Canvas, p, [&](size_t i, const TPoint&, const TPoint&) {
            bool light = false;
            if (Shape == rsStar)
                light = i == 1 || i == 3 || i == 6 || i == 8 || i == 9;
            else
                light = static_cast<int>(i) < lightEdges;
            if (!Raised) return Light;
            if (LowerPartOnly && light) return clNone;
            return light ? Light : Shadow;
        });
        return;
    }
    auto drawWhole = [&](TColor Color) {
        Canvas.Pen.Color = Color;
        switch (Shape) {
            case rsRoundRect:
            case rsRoundNoseRect:
            case rsRoundThinkBubble:
                Canvas.RoundRect(R.Left, R.Top, R.Right, R.Bottom, FRound[0], FRound[1]);
                break;
            case rsElliptic:
            case rsEllipticThinkBubble:
            case rsHalfRound:
                if (Shape == rsHalfRound)
                    Canvas.Ellipse(R.Left, 2 * R.Top - R.Bottom, R.Right, R.Bottom);
                else
                    Canvas.Ellipse(R);
                break;
            case rsRoundShield:
            case rsSharpShield: {
                HBRUSH brush = CreateSolidBrush(Color);
                FrameRgn(dc, FHandle, brush, 2, 2);
                DeleteObject(brush);
                break;
            }
            default:
                Canvas.Rectangle(R.Left, R.Top, R.Right, R.Bottom);
                break;
        }
    };
    if (!Raised) {
        drawWhole(Light);
        return;
    }
    if (!LowerPartOnly) drawWhole(Light);
    const int saved = SaveDC(dc);
    HRGN lower = LowerRightHalf(R);
    ExtSelectClipRgn(dc, lower, RGN_AND);
    DeleteObject(lower);
    const bool rounded = Shape == rsRoundRect || Shape == rsRoundNoseRect || Shape == rsRoundThinkBubble;
    const int width = Canvas.Pen.Width;
    if (rounded) Canvas.Pen.Width = 4;
    drawWhole(Shadow);
    Canvas.Pen.Width = width;
    RestoreDC(dc, saved);
}

void TKitRegion::PaintBorder(TCanvas& Canvas, const TRect& Rect) {
    if (FHandle == 0) return;
    Canvas.Brush.Style = bsClear;
    Canvas.Pen.Width = 2;
    TRect r = Rect;
    if (FShadow->Style() != hssNone) {
        r.Right -= FShadow->Depth();
        r.Bottom -= FShadow->Depth();
        PaintShadow(Canvas);
    }
    const TKitRegionBorderStyle style = FBorder->Style();
    TColor lc = FBorder->LightColor(), sc = FBorder->ShadowColor(), cc = FBorder->SingleColor();
    if (style == rbNone || FShape == rsBitmap || FShape == rsUserRegion) return;
    if (style == rbLowered || style == rbSingleLowered || style == rbLoweredpsb) std::swap(lc, sc);
    const HDC dc = Canvas.Handle();
    const int saved = SaveDC(dc);

    if (FShape == rsPointList) {
        DrawEdges(Canvas, FPoints->Points(), [&](size_t, const TPoint& a, const TPoint& b) {
            if (style == rbSingle) return cc;
            const bool light = b.X != a.X ? b.X > a.X : b.Y < a.Y;
            return light ? lc : sc;
        });
        RestoreDC(dc, saved);
        return;
    }

    // Nose and bubble shapes draw the border of their body; the nose base and the bubbles stay open.
    TKitRegionShape body = FShape;
    TRect br = FBuiltRect;
    const int W = FBuiltRect.Right - FBuiltRect.Left;
    if (FShape == rsNoseRect || FShape == rsRoundNoseRect) {
        const int size = W / 10;
        const bool byY = FExtPos == epLeftTop || FExtPos == epRightTop || FExtPos == epRightBottom ||
                         FExtPos == epLeftBottom;
        const int distance = FShape == rsNoseRect ? 5 : (byY ? FRound[1] : FRound[0]);
        const std::vector<TPoint> nose = NoseTriangle(FBuiltRect, size, distance);
        const int margin = FShape == rsNoseRect ? 2 : 4;
        TRect base{std::min(nose[1].X, nose[2].X) - margin, std::min(nose[1].Y, nose[2].Y) - margin,
                   std::max(nose[1].X, nose[2].X) + margin, std::max(nose[1].Y, nose[2].Y) + margin};
        ExcludeClipRect(dc, base.Left, base.Top, base.Right, base.Bottom);
        br = BodyRect(FBuiltRect, size);
        body = FShape == rsNoseRect ? rsRect : rsRoundRect;
    } else if (FShape == rsThinkBubble || FShape == rsRoundThinkBubble || FShape == rsEllipticThinkBubble) {
        const int size = W / 6;
        Canvas.Pen.Color = style == rbSingle ? cc : lc;
        for (const TRect& c : BubbleCircles(FBuiltRect, size)) {
            if (c.Right <= c.Left) continue;
            Canvas.Ellipse(c);
            ExcludeClipRect(dc, c.Left, c.Top, c.Right, c.Bottom);
        }
        br = BodyRect(FBuiltRect, size);
        body = FShape == rsThinkBubble ? rsRect : FShape == rsRoundThinkBubble ? rsRoundRect : rsElliptic;
    }

    auto shrink = [&](int By) {
        TRect s{br.Left + By, br.Top + By, br.Right - By, br.Bottom - By};
        if (body == rsRoundRect) {
            s.Right -= 2;
            s.Bottom -= 2;
        }
        return s;
    };
    switch (style) {
        case rbRaised:
        case rbLowered:
            PaintOutline(Canvas, body, br, lc, sc, true, false);
            break;
        case rbSingle:
            PaintOutline(Canvas, body, br, cc, cc, false, false);
            break;
        case rbSingleRaised:
        case rbSingleLowered:
            PaintOutline(Canvas, body, br, cc, cc, false, false);
            PaintOutline(Canvas, body, shrink(body == rsStar ? 2 : 1), lc, sc, true, false);
            break;
        case rbRaisedpsb:
        case rbLoweredpsb:
            std::swap(cc, sc);
            PaintOutline(Canvas, body, br, lc, sc, true, false);
            PaintOutline(Canvas, body, shrink(body == rsStar ? 3 : 1), lc, cc, true, true);
            break;
        case rbNone:
            break;
    }
    RestoreDC(dc, saved);
    Canvas.Pen.Width = 1;
}

// ---- TKitFormShape --------------------------------------------------------------------------------

TKitFormShape::TKitFormShape(TComponent* AOwner)
    : TKitWndProcComponent(AOwner),
      FRegion(std::make_unique<TKitBorderRegion>(AOwner)),
      FFillObject(std::make_unique<TKitFillObject>()),
      FBuffer(std::make_unique<TBitmap>()) {
    if (AOwner && (AOwner->ComponentState() & csDesigning) &&
        CheckSingleOnOwner(AOwner, ClassOf<TKitFormShape>(), false))
        throw KitEOneInstError("TKitFormShape", 0);
    FFillObject->SetStyle(sfNone);
    FRegion->OnChange = [this](TObject*) { UpdateWindowRegion(); };
    FFillObject->OnChange = [this](TObject*) { UpdateWindowRegion(); };
    FImageLink.OnChange = [this](TObject*) { UpdateWindowRegion(); };
}

TKitFormShape::~TKitFormShape() {
    if (FImageList) FImageList->UnregisterLink(&FImageLink);
    if (FWindowRgn) DeleteObject(FWindowRgn);
}

TCustomForm* TKitFormShape::Form() const {
    return dynamic_cast<TCustomForm*>(Owner());
}

void TKitFormShape::Changed() {
    Change();
}

void TKitFormShape::SetShowFormCaption(bool Value) {
    FShowFormCaption = Value;
    UpdateWindowRegion();
}

void TKitFormShape::SetUseRgnBitmap(bool Value) {
    FUseRgnBitmap = Value;
    Changed();
}

void TKitFormShape::SetImageList(TKitCustomImageList* Value) {
    if (FImageList == Value) return;
    if (FImageList) FImageList->UnregisterLink(&FImageLink);
    FImageList = Value;
    if (FImageList) {
        FImageList->RegisterLink(&FImageLink);
        FImageList->FreeNotification(this);
    }
    UpdateWindowRegion();
}

void TKitFormShape::Notification(TComponent* AComponent, TOperation Operation) {
    TKitWndProcComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImageList) {
        FImageList = nullptr;
        FImageLink.Sender = nullptr;
    }
}

void TKitFormShape::FrameMetrics(int& FrameX, int& FrameY, int& Caption) const {
    const TFormBorderStyle style = Form()->BorderStyle();
    if (style == bsSizeable || style == bsSizeToolWin) {
        FrameX = GetSystemMetrics(SM_CXFRAME);
        FrameY = GetSystemMetrics(SM_CYFRAME);
    } else {
        FrameX = GetSystemMetrics(SM_CXDLGFRAME);
        FrameY = GetSystemMetrics(SM_CYDLGFRAME);
    }
    if (style == bsNone && !Designing()) FrameX = FrameY = 0;
    switch (style) {
        case bsSingle:
        case bsSizeable:
        case bsDialog:
            Caption = GetSystemMetrics(SM_CYCAPTION);
            break;
        case bsToolWindow:
        case bsSizeToolWin:
            Caption = GetSystemMetrics(SM_CYSMCAPTION);
            break;
        default:
            Caption = 0;
            break;
    }
}

void TKitFormShape::UpdateWindowRegion() {
    TCustomForm* form = Form();
    if (form == nullptr || FRebuilding || (ComponentState() & (csLoading | csDestroying)) ||
        (form->ComponentState() & (csLoading | csDestroying)))
        return;
    FRebuilding = true;
    int fx = 0, fy = 0, caption = 0;
    FrameMetrics(fx, fy, caption);
    FCaptionHeight = caption;
    const bool minimised = form->WindowState() == wsMinimized;
    const int depth = FRegion->Shadow()->Depth();
    if (!minimised && FRegion->Shape() == rsBitmap) {
        TBitmap* picture = FRegion->Mask()->BorderBitmap();
        form->SetBounds(form->Left(), form->Top(), picture->Width() + depth + 2 * fx,
                        caption + picture->Height() + 2 * fy + depth);
    }
    const int w = form->Width(), h = form->Height();
    HRGN rgn = 0;
    if (minimised) {
        rgn = CreateRectRgn(0, 0, w, caption + fy);
    } else {
        rgn = CreateRectRgn(0, 0, 1, 1);
        const TRect area{-1, -1, w - 2 * fx + 1, h - 2 * fy - caption + 1};
        if (HRGN shape = FRegion->BuildRegion(area)) CombineRgn(rgn, shape, 0, RGN_COPY);
        OffsetRgn(rgn, fx, caption + fy);
        if (FRegion->Shadow()->Style() != hssNone) {
            HRGN moved = CopyRegion(rgn);
            OffsetRgn(moved, depth, depth);
            Combine(rgn, moved, RGN_OR);
        }
        const bool keepCaption = (FShowFormCaption && form->BorderStyle() != bsNone) || Designing();
        Combine(rgn, CreateRectRgn(0, 0, w, caption + fy), keepCaption ? RGN_OR : RGN_DIFF);
    }
    if (FWindowRgn) DeleteObject(FWindowRgn);
    FWindowRgn = rgn;
    if (!Designing() && form->HandleAllocated()) {
        // The form's window is its client area; the frame and caption belong to the window
        // manager, so the window takes the client part of the region.
        HRGN client = CopyRegion(rgn);
        OffsetRgn(client, -fx, -(caption + fy));
        SetWindowRgn(form->Handle(), client, true);
    }
    FRebuilding = false;
}

void TKitFormShape::Loaded() {
    TKitWndProcComponent::Loaded();
    if (Enabled()) UpdateWindowRegion();
}

void TKitFormShape::EnabledChanged() {
    TCustomForm* form = Form();
    if (form == nullptr || Designing()) return;
    if (Enabled()) {
        UpdateWindowRegion();
    } else if (form->HandleAllocated()) {
        SetWindowRgn(form->Handle(), 0, true);
        if (FWindowRgn) DeleteObject(FWindowRgn);
        FWindowRgn = 0;
    }
    if (form->HandleAllocated()) InvalidateRect(form->Handle(), nullptr, true);
}

TBitmap* TKitFormShape::BackgroundPicture() {
    if (!Enabled()) return nullptr;
    if (FUseRgnBitmap && FRegion->Shape() == rsBitmap && !FRegion->Mask()->BorderBitmap()->Empty())
        return FRegion->Mask()->BorderBitmap();
    if (FFillObject->Style() != sfNone && !FBuffer->Empty()) return FBuffer.get();
    return nullptr;
}

void TKitFormShape::PaintShape(HDC Dc) {
    TCustomForm* form = Form();
    if (form == nullptr || !form->HandleAllocated()) return;
    const HWND wnd = form->Handle();
    const HDC dc = Dc ? Dc : GetDC(wnd);
    TCanvas canvas;
    canvas.SetHandle(dc);
    const TRect client{0, 0, form->ClientWidth(), form->ClientHeight()};
    if (FUseRgnBitmap && FRegion->Shape() == rsBitmap) {
        if (!Designing()) {
            canvas.Draw(0, 0, FRegion->Mask()->BorderBitmap());
        } else if (HRGN mask = FRegion->Mask()->CreateRegion()) {
            OffsetRgn(mask, 0, -canvas.ClipRect().Top);
            HBRUSH brush = CreateSolidBrush(canvas.Brush.Color);
            FrameRgn(dc, mask, brush, 1, 1);
            DeleteObject(brush);
            DeleteObject(mask);
        }
    } else if (FFillObject->Style() != sfNone) {
        FBuffer->SetSize(client.Right, client.Bottom);
        if (FFillObject->Style() == sfBitmapList && FImageList &&
            FImageList->HasImage(FIndex[0], FIndex[1])) {
            TBitmap picture;
            FImageList->GetImage(FIndex[0], FIndex[1], picture);
            FFillObject->SetListBitmap(&picture);
        }
        FFillObject->Fill(FBuffer->Canvas(), client, clWhite);
        if (!Designing()) canvas.Draw(0, 0, FBuffer.get());
    }
    FRegion->PaintBorder(canvas, client);
    canvas.SetHandle(0);
    if (!Dc) ReleaseDC(wnd, dc);
}

void TKitFormShape::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case WM_SIZE:
            TKitWndProcComponent::WndProc(Message);
            UpdateWindowRegion();
            if (Form()) InvalidateRect(Form()->Handle(), nullptr, true);
            return;
        case WM_ERASEBKGND:
            if (FFillObject->Style() == sfNone && FRegion->Shape() != rsBitmap)
                TKitWndProcComponent::WndProc(Message);
            PaintShape(static_cast<HDC>(Message.WParam));
            Message.Result = 1;
            return;
        case WM_NCHITTEST: {
            TKitWndProcComponent::WndProc(Message);
            TCustomForm* form = Form();
            if (FormDragable && form && Message.Result == HTCLIENT && !FRightHeld) {
                const TPoint p =
                    form->ScreenToClient(TPoint{GetXLParam(Message.LParam), GetYLParam(Message.LParam)});
                if (form->ControlAtPos(p, true, true) == nullptr) Message.Result = HTCAPTION;
            }
            return;
        }
        case WM_NCRBUTTONDOWN:
            FRightHeld = true;
            break;
        case WM_NCRBUTTONUP:
        case WM_CAPTURECHANGED:
            FRightHeld = false;
            break;
        default:
            break;
    }
    TKitWndProcComponent::WndProc(Message);
}

TKitFormShape* FindFormShape(TControl* Control) {
    TCustomForm* form = Control ? GetParentForm(Control) : nullptr;
    if (form == nullptr) return nullptr;
    for (int i = 0; i < form->ComponentCount(); ++i)
        if (auto* shape = dynamic_cast<TKitFormShape*>(form->Components(i))) return shape;
    return nullptr;
}

}  // namespace kit
