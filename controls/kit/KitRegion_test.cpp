// Point lists, region masks and their checked region data, shapes, borders and shadows, and the
// form shape on a form: window region, caption strip, bitmap shapes, dragging and background.
#include "controls/kit/KitRegion.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/core/Stream.h"

#include "controls/kit/KitApp.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/testsupport/MemFiler.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

struct TProbe {
    int X, Y;
    bool Inside;
};

void ExpectProbes(HRGN Rgn, const std::vector<TProbe>& Probes, const char* What) {
    ASSERT_NE(Rgn, 0u) << What;
    for (const TProbe& p : Probes)
        EXPECT_EQ(PtInRegion(Rgn, p.X, p.Y), p.Inside) << What << " at " << p.X << "," << p.Y;
}

std::vector<uint8_t> DataOf(HRGN Rgn) {
    std::vector<uint8_t> data(GetRegionData(Rgn, 0, nullptr));
    GetRegionData(Rgn, static_cast<uint32_t>(data.size()), data.data());
    return data;
}

TEST(KitRegionTest, PointsPackIntoOneIntegerAndNotifyOutsideUpdates) {
    for (int x : {0, 1, 255, 256, 32767, 32768, 65535})
        for (int y : {0, 1, 255, 256, 32767}) {
            TPoint back = TKitPointList::Unpack(TKitPointList::Pack(TPoint{x, y}));
            EXPECT_EQ(back.X, x);
            EXPECT_EQ(back.Y, y);
        }
    EXPECT_EQ(TKitPointList::Pack(TPoint{3, 4}), (3 << 16) + 4);
    EXPECT_EQ(TKitPointList::Unpack(0x0001FFFF).Y, -1);  // the low half is signed

    TKitPointList list;
    int changes = 0;
    list.OnChange = [&](TObject* Sender) {
        EXPECT_EQ(Sender, &list);
        ++changes;
    };
    list.AddPoint(TPoint{1, 2});
    list.SetPoint(0, TPoint{5, 6});
    EXPECT_EQ(changes, 2);
    list.SetPoint(3, TPoint{9, 9});  // past the end: nothing, no notice
    TPoint p{-7, -7};
    EXPECT_FALSE(list.Point(1, p));
    EXPECT_EQ(p.X, -7);
    list.BeginUpdate();
    list.AddPoint(TPoint{7, 8});
    list.EndUpdate();
    EXPECT_EQ(changes, 2);
    ASSERT_TRUE(list.Point(1, p));
    EXPECT_EQ(p.X, 7);
    EXPECT_EQ(p.Y, 8);
}

TEST(KitRegionTest, PolygonShapesHaveTheirCorners) {
    TKitRegion region;
    region.SetShape(rsDiamond);
    // Corners (50,0), (0,25), (50,51), (101,25).
    ExpectProbes(region.BuildRegion(TRect{0, 0, 101, 51}),
                 {{50, 1, true},
                  {1, 25, true},
                  {50, 49, true},
                  {99, 25, true},
                  {50, 25, true},
                  {3, 3, false},
                  {97, 3, false},
                  {3, 47, false},
                  {97, 47, false},
                  {50, 52, false}},
                 "diamond");

    region.SetShape(rsOctagon);  // in (0,0,90,90): corners at the thirds
    ExpectProbes(region.BuildRegion(TRect{0, 0, 90, 90}),
                 {{45, 1, true},
                  {1, 45, true},
                  {88, 45, true},
                  {45, 88, true},
                  {31, 1, true},
                  {28, 1, false},
                  {1, 31, true},
                  {1, 28, false},
                  {88, 88, false},
                  {2, 88, false}},
                 "octagon");

    region.SetShape(rsStar);  // in (0,0,100,100): tip (50,0), inner corner (65,38), outer (100,38)
    ExpectProbes(region.BuildRegion(TRect{0, 0, 100, 100}),
                 {{50, 3, true},
                  {50, 50, true},
                  {97, 39, true},
                  {2, 39, true},
                  {84, 98, true},
                  {16, 98, true},
                  {50, 95, false},
                  {70, 25, false},
                  {30, 25, false},
                  {95, 60, false}},
                 "star");

    region.SetShape(rsComb);
    ExpectProbes(region.BuildRegion(TRect{0, 0, 100, 100}),
                 {{50, 2, true}, {1, 50, true}, {98, 50, true}, {2, 2, false}, {98, 98, false}}, "comb");
}

TEST(KitRegionTest, RoundShapesNosesAndBubbles) {
    TKitRegion region;
    region.SetShape(rsHalfRound);  // the lower half of the ellipse (0,-50,100,50)
    ExpectProbes(region.BuildRegion(TRect{0, 0, 100, 50}),
                 {{1, 0, true}, {98, 0, true}, {50, 48, true}, {3, 47, false}, {96, 47, false}},
                 "half round");

    region.SetShape(rsNoseRect);  // W 200: nose size 20 at the top of the left side, 5 px down
    ExpectProbes(region.BuildRegion(TRect{0, 0, 200, 100}),
                 {{25, 25, true},
                  {15, 30, true},
                  {2, 3, true},
                  {15, 10, false},
                  {15, 60, false},
                  {5, 90, false},
                  {100, 10, false}},
                 "nose");

    region.SetExtPos(epBottomRight);  // the nose on the bottom side near the right corner
    ExpectProbes(region.BuildRegion(TRect{0, 0, 200, 100}),
                 {{194, 97, true},
                  {178, 88, true},
                  {165, 95, false},
                  {100, 90, false},
                  {178, 50, true},
                  {185, 50, false}},
                 "nose bottom right");

    // A bubble chain of seven circles (the first of diameter 0) running from the rectangle's
    // corner to the body's.
    region.SetExtPos(epLeftTop);
    region.SetShape(rsThinkBubble);  // W 120: size 20, body (20,20,120,120)
    ExpectProbes(region.BuildRegion(TRect{0, 0, 120, 120}),
                 {{1, 6, true},
                  {4, 12, true},
                  {8, 16, true},
                  {14, 19, true},
                  {60, 60, true},
                  {8, 8, false},
                  {2, 18, false},
                  {10, 2, false}},
                 "bubbles");

    region.SetShape(rsRoundRect);
    ExpectProbes(region.BuildRegion(TRect{0, 0, 100, 60}), {{50, 1, true}, {1, 1, false}, {5, 5, true}},
                 "rounded");
}

TEST(KitRegionTest, ShapesWithoutDataHaveNoRegionAndTheShadowTakesRoom) {
    TKitRegion region;
    for (TKitRegionShape shape : {rsBitmap, rsUserRegion, rsPointList}) {
        region.SetShape(shape);
        EXPECT_EQ(region.BuildRegion(TRect{0, 0, 50, 50}), 0u) << shape;
    }
    HRGN user = CreateEllipticRgn(0, 0, 40, 40);
    region.SetShape(rsUserRegion);
    region.SetUserRegion(user);
    DeleteObject(user);
    ExpectProbes(region.BuildRegion(TRect{0, 0, 50, 50}), {{20, 20, true}, {1, 1, false}, {45, 45, false}},
                 "user");

    region.SetShape(rsRect);
    region.Shadow()->SetStyle(hssSolid);
    region.Shadow()->SetDepth(6);
    region.Offset = TPoint{10, 0};
    ExpectProbes(region.BuildRegion(TRect{0, 0, 100, 50}),
                 {{10, 0, true}, {103, 43, true}, {104, 10, false}, {50, 44, false}, {9, 10, false}},
                 "shadowed");
    region.ShadowOff = true;
    ExpectProbes(region.BuildRegion(TRect{0, 0, 100, 50}), {{109, 49, true}}, "shadow off");
}

TEST(KitRegionTest, RegionDataIsCheckedBeforeUse) {
    HRGN ellipse = CreateEllipticRgn(0, 0, 60, 40);
    const std::vector<uint8_t> good = DataOf(ellipse);
    ASSERT_GT(good.size(), 48u);

    struct TCase {
        const char* Name;
        std::vector<uint8_t> Data;
        int Size;  // RegionDataSize read before the block
        bool Taken;
    };
    auto patched = [&](size_t At, uint8_t Value) {
        std::vector<uint8_t> d = good;
        d[At] = Value;
        return d;
    };
    std::vector<TCase> cases = {
        {"sound", good, static_cast<int>(good.size()), true},
        {"size not read", good, 0, false},
        {"size differs", good, static_cast<int>(good.size()) + 16, false},
        {"shorter than a header", std::vector<uint8_t>(good.begin(), good.begin() + 20), 20, false},
        {"header size", patched(0, 40), static_cast<int>(good.size()), false},
        {"type", patched(4, 2), static_cast<int>(good.size()), false},
        {"too many rectangles", patched(11, 0x40), static_cast<int>(good.size()), false},
    };
    for (const TCase& c : cases) {
        TKitRegionMask mask;
        mask.SetRegionDataSize(c.Size);
        TMemoryStream block;
        block.WriteBuffer(c.Data.data(), static_cast<int32_t>(c.Data.size()));
        block.SetPosition(0);
        mask.ReadRegionData(&block);
        EXPECT_EQ(!mask.RegionData().empty(), c.Taken) << c.Name;
        HRGN rgn = mask.CreateRegion();
        EXPECT_EQ(rgn != 0, c.Taken) << c.Name;
        if (rgn) {
            EXPECT_TRUE(EqualRgn(rgn, ellipse)) << c.Name;
            DeleteObject(rgn);
        } else {
            EXPECT_EQ(mask.RegionDataSize(), 0) << c.Name;
        }
    }
    DeleteObject(ellipse);
}

TEST(KitRegionTest, MaskAndPointListRoundTripThroughTheFiler) {
    TKitRegion region;
    HRGN ellipse = CreateEllipticRgn(0, 0, 30, 20);
    region.Mask()->SetRegion(ellipse);
    region.Mask()->BorderBitmap()->SetSize(30, 20);
    region.Mask()->BorderBitmap()->Canvas().Brush.Color = clRed;
    region.Mask()->BorderBitmap()->Canvas().FillRect(TRect{0, 0, 30, 20});
    region.Mask()->Compressed = true;
    for (TPoint p : {TPoint{10, 10}, TPoint{65535, 0}, TPoint{0, 32767}}) region.Points()->AddPoint(p);

    TMemFiler filer;
    filer.Writer().WriteProperties(region.Mask());
    filer.Writer().WriteProperties(&region);
    if (const char* seeds = std::getenv("KORVANE_FUZZ_SEEDS")) {
        TFileStream f(std::string(seeds) + "/mask_and_points.bin", fmCreate);
        const std::string bytes = filer.Bytes();
        f.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
    TKitRegion copy;
    for (int i = 0; i < 3; ++i) filer.Reader().ReadProperty(copy.Mask());  // size, data, border picture
    filer.Reader().ReadProperty(&copy);
    HRGN back = copy.Mask()->CreateRegion();
    EXPECT_TRUE(EqualRgn(back, ellipse));
    EXPECT_TRUE(copy.Mask()->Compressed);
    EXPECT_EQ(copy.Mask()->BorderBitmap()->Width(), 30);
    EXPECT_EQ(copy.Mask()->BorderBitmap()->Canvas().Pixel(5, 5), clRed);
    EXPECT_EQ(copy.Points()->Points(), region.Points()->Points());
    // Far corners are cut to the area a window region can use.
    copy.SetShape(rsPointList);
    ExpectProbes(copy.BuildRegion(TRect{0, 0, 100, 100}),
                 {{100, 100, true}, {2040, 20, true}, {2100, 20, false}}, "far points");
    DeleteObject(back);
    DeleteObject(ellipse);

    // A list of more points than a list may hold, or with a lone X, is refused whole.
    for (int count : {TKitPointList::MaxPoints + 1, -3}) {
        TMemFiler list;
        list.Writer().WriteListBegin();
        const int values = count > 0 ? 2 * count : 3;
        for (int i = 0; i < values; ++i) list.Writer().WriteInteger(i & 0x7FFF);
        list.Writer().WriteListEnd();
        TKitPointList points;
        points.AddPoint(TPoint{1, 1});
        points.ReadPoints(&list.Reader());
        EXPECT_EQ(points.Count(), 0) << count;
    }
}

TEST(KitRegionTest, PointListBorderLightsTopAndLeft) {
    TKitBorderRegion region;
    region.Border()->SetStyle(rbRaised);
    region.Border()->SetColor(TKitRegionBorder::bcLight, clRed);
    region.Border()->SetColor(TKitRegionBorder::bcShadow, clBlue);
    region.SetShape(rsPointList);
    for (TPoint p : {TPoint{10, 10}, TPoint{100, 10}, TPoint{100, 80}, TPoint{10, 80}})
        region.Points()->AddPoint(p);
    TBitmap bitmap;
    bitmap.SetSize(120, 100);
    bitmap.Canvas().Brush.Color = clWhite;
    bitmap.Canvas().FillRect(TRect{0, 0, 120, 100});
    ExpectProbes(region.BuildRegion(TRect{0, 0, 120, 100}), {{50, 50, true}, {5, 5, false}}, "point list");
    region.PaintBorder(bitmap.Canvas(), TRect{0, 0, 120, 100});
    EXPECT_EQ(bitmap.Canvas().Pixel(50, 10), clRed);    // top
    EXPECT_EQ(bitmap.Canvas().Pixel(10, 40), clRed);    // left
    EXPECT_EQ(bitmap.Canvas().Pixel(100, 40), clBlue);  // right
    EXPECT_EQ(bitmap.Canvas().Pixel(50, 80), clBlue);   // bottom
    EXPECT_EQ(bitmap.Canvas().Pixel(50, 50), clWhite);

    // rbSingle draws every edge in the single colour; rbNone nothing.
    region.Border()->SetStyle(rbSingle);
    region.PaintBorder(bitmap.Canvas(), TRect{0, 0, 120, 100});
    EXPECT_EQ(bitmap.Canvas().Pixel(50, 10), clBlack);
    EXPECT_EQ(bitmap.Canvas().Pixel(100, 40), clBlack);
}

TEST(KitRegionTest, RectangleBorderAndSolidShadow) {
    TKitBorderRegion region;
    region.SetShape(rsRect);
    region.Border()->SetStyle(rbLowered);  // light and shadow exchanged
    region.Border()->SetColor(TKitRegionBorder::bcLight, clRed);
    region.Border()->SetColor(TKitRegionBorder::bcShadow, clBlue);
    region.Shadow()->SetStyle(hssSolid);
    region.Shadow()->SetColor(clGreen);
    region.Shadow()->SetDepth(6);
    TBitmap bitmap;
    bitmap.SetSize(80, 60);
    bitmap.Canvas().Brush.Color = clWhite;
    bitmap.Canvas().FillRect(TRect{0, 0, 80, 60});
    region.BuildRegion(TRect{0, 0, 80, 60});
    region.PaintBorder(bitmap.Canvas(), TRect{0, 0, 80, 60});
    EXPECT_EQ(bitmap.Canvas().Pixel(40, 0), clBlue);  // top, lowered: shadow colour
    EXPECT_EQ(bitmap.Canvas().Pixel(74, 30), clRed);  // right edge of the shrunk rectangle
    EXPECT_EQ(bitmap.Canvas().Pixel(77, 30), clGreen);
    EXPECT_EQ(bitmap.Canvas().Pixel(40, 58), clGreen);
    EXPECT_EQ(bitmap.Canvas().Pixel(78, 2), clWhite);  // the shadow starts Depth down
    EXPECT_EQ(bitmap.Canvas().Pixel(40, 30), clWhite);
}

class KitFormShapeTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TKitFormShape* Shape = nullptr;
    void SetUp() override {
        Form->SetBorderStyle(bsNone);
        Form->SetBounds(100, 100, 200, 150);
        Form->Show();
        Driver.RunPending();
        Shape = NewComponent<TKitFormShape>(Form);
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    LRESULT HitTest(int X, int Y) {
        const TPoint p = Form->ClientToScreen(TPoint{X, Y});
        return SendMessage(Form->Handle(), WM_NCHITTEST, 0, MakeLParam(p.X, p.Y));
    }
};

TEST_F(KitFormShapeTest, ASolidShadowShrinksTheShapeAndTheWindowCoversIt) {
    Shape->Region()->SetShape(rsRect);
    Shape->Region()->Shadow()->SetStyle(hssSolid);
    Shape->Region()->Shadow()->SetDepth(6);
    Shape->Loaded();
    // The shape: (-1,-1,201,151) less 6 at the right and bottom; the window adds it moved by 6.
    ExpectProbes(Shape->Region()->Handle(), {{194, 144, true}, {195, 50, false}, {50, 145, false}}, "shape");
    ExpectProbes(Shape->WindowRegion(),
                 {{0, 0, true}, {199, 149, true}, {197, 100, true}, {197, 3, false}, {3, 148, false}},
                 "window");

    int downs = 0;
    Shape->FormDragable = false;
    Form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    Driver.Click(*Form, 197, 3);  // outside the window's shape
    EXPECT_EQ(downs, 0);
    Driver.Click(*Form, 100, 100);
    EXPECT_EQ(downs, 1);
}

TEST_F(KitFormShapeTest, TheCaptionStripIsKeptOrCut) {
    Form->SetBorderStyle(bsSingle);  // frame 3, caption 19
    Shape->Region()->SetShape(rsElliptic);
    Shape->Loaded();
    ExpectProbes(Shape->WindowRegion(), {{2, 10, true}, {100, 21, true}, {100, 100, true}, {2, 140, false}},
                 "with caption");
    Shape->SetShowFormCaption(false);
    ExpectProbes(Shape->WindowRegion(), {{2, 10, false}, {100, 21, false}, {100, 100, true}},
                 "without caption");

    // A minimised form keeps only its caption strip.
    Form->SetWindowState(wsMinimized);
    Shape->UpdateWindowRegion();
    TRect box;
    GetRgnBox(Shape->WindowRegion(), &box);
    EXPECT_EQ(box, (TRect{0, 0, 200, 22}));
}

TEST_F(KitFormShapeTest, ABitmapShapeSizesTheFormToItsPicture) {
    Form->SetBorderStyle(bsSingle);
    TKitRegionMask* mask = Shape->Region()->Mask();
    mask->BorderBitmap()->SetSize(80, 60);
    HRGN ellipse = CreateEllipticRgn(0, 0, 80, 60);
    mask->SetRegion(ellipse);
    DeleteObject(ellipse);
    Shape->Region()->SetShape(rsBitmap);
    Shape->Loaded();
    // Picture 80 x 60, shadow depth 6, frame 3, caption 19.
    EXPECT_EQ(Form->Width(), 80 + 6 + 6);
    EXPECT_EQ(Form->Height(), 19 + 60 + 6 + 6);
    ExpectProbes(Shape->WindowRegion(), {{43, 52, true}, {4, 23, false}}, "bitmap");

    // Without region data only the one-pixel start of the assembly remains of the shape.
    mask->Clear();
    Shape->SetShowFormCaption(false);
    ExpectProbes(Shape->WindowRegion(), {{3, 22, true}, {4, 23, false}, {43, 52, false}}, "no data");
}

TEST_F(KitFormShapeTest, AFreeSpotOfTheClientAreaDragsTheForm) {
    auto* panel = NewComponent<TPanel>(Form);
    panel->SetBounds(120, 80, 60, 40);
    panel->SetParent(Form);
    Shape->Region()->SetShape(rsRect);
    Shape->Loaded();
    Driver.RunPending();
    EXPECT_EQ(HitTest(20, 20), HTCAPTION);
    Shape->FormDragable = false;
    EXPECT_EQ(HitTest(20, 20), HTCLIENT);
    Shape->FormDragable = true;
    // The right button held in the non-client area keeps the client answer until released.
    SendMessage(Form->Handle(), WM_NCRBUTTONDOWN, HTCAPTION, 0);
    EXPECT_EQ(HitTest(20, 20), HTCLIENT);
    SendMessage(Form->Handle(), WM_NCRBUTTONUP, HTCAPTION, 0);
    EXPECT_EQ(HitTest(20, 20), HTCAPTION);

    Driver.MouseDown(*Form, 20, 20);
    Driver.MouseMove(*Form, 50, 30);
    Driver.MouseUp(*Form, 50, 30);
    EXPECT_EQ(Form->Left(), 130);
    EXPECT_EQ(Form->Top(), 110);
    Driver.MouseDown(*panel, 10, 10);  // on a child control: no drag
    Driver.MouseMove(*panel, 40, 30);
    Driver.MouseUp(*panel, 40, 30);
    EXPECT_EQ(Form->Left(), 130);
}

TEST_F(KitFormShapeTest, TheFillPaintsTheBackgroundAndTheBorderFollowsTheShape) {
    Shape->Region()->SetShape(rsRoundRect);
    Shape->Region()->Border()->SetStyle(rbSingle);
    Shape->Region()->Border()->SetColor(TKitRegionBorder::bcSingle, clRed);
    TBrush brush;
    brush.Color = clYellow;
    Shape->FillObject()->SetBrush(brush);
    Shape->FillObject()->SetStyle(sfBrush);
    Shape->Loaded();
    Form->Invalidate();
    Driver.RunPending();
    EXPECT_EQ(Driver.PixelAt(*Form, 100, 75), static_cast<uint32_t>(clYellow));
    EXPECT_EQ(Driver.PixelAt(*Form, 100, 0), static_cast<uint32_t>(clRed));
    ASSERT_NE(Shape->BackgroundPicture(), nullptr);
    EXPECT_EQ(Shape->BackgroundPicture()->Canvas().Pixel(10, 75), clYellow);
    Driver.Grab(*Form, ::testing::TempDir() + "kit_form_shape.png");

    // Switched off: the window is a rectangle again and the form erases as usual.
    Shape->SetEnabled(false);
    Driver.RunPending();
    EXPECT_EQ(Shape->WindowRegion(), 0u);
    EXPECT_NE(Driver.PixelAt(*Form, 100, 75), static_cast<uint32_t>(clYellow));
}

TEST(KitFormShapeDesignTest, OneFormShapeOnAFormAtDesignTime) {
    TForm* form = TCustomForm::Create<TForm>(Application);
    form->SetDesigning(true);
    NewComponent<TKitFormShape>(form);
    try {
        NewComponent<TKitFormShape>(form);
        FAIL() << "a second form shape was accepted";
    } catch (const KitEOneInstError& e) {
        EXPECT_STREQ(e.what(), "TKitFormShape:\rInvalid owner (<>TForm) or second instance on a form");
    }
    EXPECT_EQ(form->ComponentCount(), 1);
    TComponent owner(nullptr);
    owner.SetDesigning(true);
    EXPECT_THROW(NewComponent<TKitFormShape>(&owner), KitEOneInstError);
    form->Free();
}

}  // namespace
}  // namespace kit
