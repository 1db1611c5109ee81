// The picture framework's hooks: progress of graphics, the class-name registry behind form data,
// and clipboard formats of graphic classes.
#include "framework/ui/Graphics.h"

#include <gtest/gtest.h>

#include "framework/core/Stream.h"
#include "framework/ui/Clipbrd.h"

namespace framework {
namespace {

// A graphic whose picture is its bytes. Reading reports progress every 4 bytes.
class TByteGraphic : public TGraphic {
public:
    std::vector<uint8_t> Bytes;
    void Draw(TCanvas&, const TRect&) override {}
    bool Empty() const override { return Bytes.empty(); }
    int Width() const override { return static_cast<int>(Bytes.size()); }
    int Height() const override { return 1; }
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    void LoadFromStream(TStream& Stream) override {
        Progress(this, psStarting, 0, false, TRect{}, "Loading...");
        Bytes.clear();
        uint8_t b = 0;
        while (Stream.Read(&b, 1) == 1) {
            Bytes.push_back(b);
            if (Bytes.size() % 4 == 0)
                Progress(this, psRunning, static_cast<uint8_t>(Bytes.size()), false, TRect{}, "Loading...");
        }
        Progress(this, psEnding, 100, true, TRect{}, "Loading...");
    }
    void SaveToStream(TStream& Stream) override {
        if (!Bytes.empty()) Stream.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    }
    void Assign(const TGraphic& Source) override {
        auto* b = dynamic_cast<const TByteGraphic*>(&Source);
        if (!b) throw EInvalidGraphic("Cannot assign a " + Source.ClassName() + " to a TByteGraphic");
        Bytes = b->Bytes;
    }
    static unsigned Format() { return RegisterClipboardFormat("Korvane Byte Picture"); }
    void LoadFromClipboardFormat(unsigned AFormat, const std::vector<uint8_t>& AData, HPALETTE) override {
        if (AFormat != Format()) throw EInvalidGraphic("Unsupported clipboard format");
        Bytes = AData.empty() ? Clipboard()->GetAsData(AFormat) : AData;
    }
    void SaveToClipboardFormat(unsigned& AFormat, std::vector<uint8_t>& AData, HPALETTE& APalette) override {
        AFormat = Format();
        AData = Bytes;
        APalette = 0;
    }
};

std::vector<uint8_t> FormData(const std::string& ClassName, const std::vector<uint8_t>& Bytes) {
    std::vector<uint8_t> v{static_cast<uint8_t>(ClassName.size())};
    v.insert(v.end(), ClassName.begin(), ClassName.end());
    v.insert(v.end(), Bytes.begin(), Bytes.end());
    return v;
}

std::vector<uint8_t> Contents(TMemoryStream& S) {
    return std::vector<uint8_t>(S.Memory(), S.Memory() + S.Size());
}

class PictureRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        TPicture::RegisterClass("TByteGraphic", [] { return std::make_unique<TByteGraphic>(); });
    }
    void TearDown() override { TPicture::UnregisterClass("TByteGraphic"); }
    static void Load(TPicture& P, const std::vector<uint8_t>& Data) {
        TMemoryStream s;
        if (!Data.empty()) s.WriteBuffer(Data.data(), static_cast<int32_t>(Data.size()));
        s.SetPosition(0);
        P.ReadData(s);
    }
};

TEST_F(PictureRegistryTest, AGraphicRegisteredByClassNameLoadsFromClassNameAndData) {
    const std::vector<uint8_t> bytes{'G', 'I', 'F', 0, 1, 2, 0xFF};
    const std::vector<uint8_t> data = FormData("TByteGraphic", bytes);
    TPicture p;
    Load(p, data);
    auto* g = dynamic_cast<TByteGraphic*>(p.Graphic());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Bytes, bytes);
    // Written back byte for byte.
    TMemoryStream out;
    p.WriteData(out);
    EXPECT_EQ(Contents(out), data);
    // The name is matched without regard to letter case.
    TPicture q;
    Load(q, FormData("TBYTEGRAPHIC", {7}));
    ASSERT_NE(dynamic_cast<TByteGraphic*>(q.Graphic()), nullptr);
}

TEST_F(PictureRegistryTest, AnUnknownClassNameRaisesEInvalidGraphicAndKeepsThePicture) {
    TPicture p;
    Load(p, FormData("TByteGraphic", {1, 2, 3}));
    try {
        Load(p, FormData("TNoSuchImage", {1, 2, 3}));
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture class (TNoSuchImage)");
    }
    auto* g = dynamic_cast<TByteGraphic*>(p.Graphic());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Bytes, (std::vector<uint8_t>{1, 2, 3}));
    // Unregistered, the class is as unknown as any other.
    TPicture::UnregisterClass("TByteGraphic");
    EXPECT_FALSE(TPicture::IsClassRegistered("TByteGraphic"));
    EXPECT_THROW(Load(p, FormData("TByteGraphic", {1})), EInvalidGraphic);
}

TEST_F(PictureRegistryTest, FormDataCutShortRaisesAReadError) {
    TPicture p;
    std::vector<uint8_t> data = FormData("TByteGraphic", {});
    data.resize(5);  // the name is cut off
    EXPECT_THROW(Load(p, data), EReadError);
    EXPECT_THROW(Load(p, {}), EReadError);  // not even the length byte
    EXPECT_EQ(p.Graphic(), nullptr);
}

TEST_F(PictureRegistryTest, BuiltInClassesAndTheEmptyPictureRoundTrip) {
    TPicture p;
    p.Bitmap().SetSize(3, 2);
    p.Bitmap().Canvas().SetPixel(1, 1, clRed);
    TMemoryStream out;
    p.WriteData(out);
    const std::vector<uint8_t> data = Contents(out);
    ASSERT_GT(data.size(), 8u);
    EXPECT_EQ(std::string(data.begin() + 1, data.begin() + 8), "TBitmap");
    TPicture q;
    Load(q, data);
    auto* b = dynamic_cast<TBitmap*>(q.Graphic());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Width(), 3);
    EXPECT_EQ(b->Height(), 2);
    EXPECT_EQ(b->Canvas().Pixel(1, 1), clRed);
    // An empty picture is a name of length 0, and reads back empty.
    TPicture empty;
    TMemoryStream e;
    empty.WriteData(e);
    EXPECT_EQ(Contents(e), (std::vector<uint8_t>{0}));
    Load(q, {0});
    EXPECT_EQ(q.Graphic(), nullptr);
    EXPECT_TRUE(TPicture::IsClassRegistered("TIcon"));
    EXPECT_TRUE(TPicture::IsClassRegistered("TJPEGImage"));
}

TEST_F(PictureRegistryTest, ProgressOfReadingArrivesInOrderThroughThePicture) {
    std::vector<std::string> seen;
    TObject* sender = nullptr;
    TPicture p;
    p.OnProgress = [&](TObject* Sender, TProgressStage Stage, uint8_t Percent, bool Redraw, const TRect&,
                       const std::string& Msg) {
        sender = Sender;
        static const char* names[] = {"starting", "running", "ending"};
        seen.push_back(std::string(names[Stage]) + " " + std::to_string(Percent) +
                       (Redraw ? " redraw " : " ") + Msg);
    };
    Load(p, FormData("TByteGraphic", std::vector<uint8_t>(10, 0x55)));
    EXPECT_EQ(seen, (std::vector<std::string>{"starting 0 Loading...", "running 4 Loading...",
                                              "running 8 Loading...", "ending 100 redraw Loading..."}));
    EXPECT_EQ(sender, p.Graphic());
    // Without a handler, progress is quietly dropped.
    TByteGraphic quiet;
    quiet.Progress(&quiet, psStarting, 0, false, TRect{}, "Loading...");
}

TEST_F(PictureRegistryTest, AGraphicsClipboardFormatRoundTripsThroughTheClipboard) {
    const unsigned format = TByteGraphic::Format();
    TPicture::RegisterClipboardFormat(format, [] { return std::make_unique<TByteGraphic>(); });
    EXPECT_TRUE(TPicture::SupportsClipboardFormat(format));
    EXPECT_FALSE(TPicture::SupportsClipboardFormat(RegisterClipboardFormat("Korvane Other Picture")));

    TPicture source;
    TByteGraphic g;
    g.Bytes = {'G', 'I', 'F', '8', '9', 'a', 0, 0x80};
    source.SetGraphic(&g);
    Clipboard()->Assign(source);
    EXPECT_TRUE(Clipboard()->HasFormat(format));
    EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_EQ(Clipboard()->GetAsData(format), g.Bytes);

    // Read back by format; empty data means "from the clipboard".
    TPicture target;
    target.LoadFromClipboardFormat(format, {}, 0);
    auto* read = dynamic_cast<TByteGraphic*>(target.Graphic());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Bytes, g.Bytes);

    // A format no graphic class registered is refused and the picture kept.
    EXPECT_THROW(target.LoadFromClipboardFormat(RegisterClipboardFormat("Korvane Other Picture"), {1}, 0),
                 EInvalidGraphic);
    EXPECT_NE(dynamic_cast<TByteGraphic*>(target.Graphic()), nullptr);
    // An empty picture has nothing to give.
    TPicture empty;
    EXPECT_THROW(Clipboard()->Assign(empty), EInvalidGraphic);
    EXPECT_EQ(Clipboard()->GetAsData(format), g.Bytes);  // a failed transfer changes nothing

    // Unregistering the class drops its clipboard format too.
    TPicture::UnregisterClass("TByteGraphic");
    EXPECT_FALSE(TPicture::SupportsClipboardFormat(format));
    Clipboard()->Clear();
}

TEST(BitmapClipboardTest, ABitmapTravelsAsAPackedDibAndComesBackAsABitmap) {
    TPicture source;
    source.Bitmap().SetSize(5, 3);
    source.Bitmap().Canvas().SetPixel(4, 2, clBlue);
    Clipboard()->Assign(source);
    EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
    const std::vector<uint8_t> dib = Clipboard()->GetAsData(CF_BITMAP);
    ASSERT_GE(dib.size(), 40u);
    EXPECT_EQ(dib[0], 40);  // the info header comes first: no file header
    EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_BITMAP));
    TPicture target;
    target.LoadFromClipboardFormat(CF_BITMAP, {}, 0);
    auto* b = dynamic_cast<TBitmap*>(target.Graphic());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Width(), 5);
    EXPECT_EQ(b->Height(), 3);
    EXPECT_EQ(b->Canvas().Pixel(4, 2), clBlue);
    EXPECT_EQ(b->Canvas().Pixel(0, 0), source.Bitmap().Canvas().Pixel(0, 0));
    Clipboard()->Clear();
}

// A packed DIB from elsewhere: a 1-bit bitmap 9 pixels wide whose colour table holds only the
// two colours it uses; the pixels start right after that table.
TEST(BitmapClipboardTest, APackedDibWithAShortColourTableIsReadWhereItsPixelsStart) {
    std::vector<uint8_t> dib(40, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, 9);                                                // width
    put32(8, 1);                                                // height
    dib[12] = 1;                                                // planes
    dib[14] = 1;                                                // bits per pixel
    put32(32, 2);                                               // colours used
    const uint8_t table[] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};  // black, white
    dib.insert(dib.end(), table, table + 8);
    const uint8_t row[] = {0x80, 0x80, 0, 0};  // pixels 0 and 8 white
    dib.insert(dib.end(), row, row + 4);
    TBitmap b;
    b.LoadFromClipboardFormat(CF_BITMAP, dib, 0);
    EXPECT_EQ(b.Width(), 9);
    EXPECT_EQ(b.Canvas().Pixel(0, 0), clWhite);
    EXPECT_EQ(b.Canvas().Pixel(1, 0), clBlack);
    EXPECT_EQ(b.Canvas().Pixel(8, 0), clWhite);
    // Damaged or foreign data raises the picture error.
    EXPECT_THROW(b.LoadFromClipboardFormat(CF_BITMAP, std::vector<uint8_t>(dib.begin(), dib.begin() + 20), 0),
                 EInvalidGraphic);
    EXPECT_THROW(b.LoadFromClipboardFormat(CF_TEXT, dib, 0), EInvalidGraphic);
    EXPECT_EQ(b.Width(), 9);
}

}  // namespace
}  // namespace framework
