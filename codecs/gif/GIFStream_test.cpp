#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "codecs/gif/GIFImage.h"
#include "codecs/gif/testsupport/GIFTestSupport.h"
#include "framework/core/Stream.h"
#include "framework/ui/Clipbrd.h"

using namespace codecs;
using namespace codecs::giftest;
using namespace framework;

namespace {

// A 1×1 picture: two global colours, a control extension marking index 0 transparent, and the
// codes clear, 0, end.
const std::vector<uint8_t> OnePixel = {'G',  'I',  'F',  '8',  '9',  'a',  1, 0, 1, 0,
                                       0x80, 0,    0,                             // screen 1×1, 2 colours
                                       0,    0,    0,    0xFF, 0xFF, 0xFF,        // black, white
                                       0x21, 0xF9, 4,    1,    0,    0,    0, 0,  // transparent index 0
                                       0x2C, 0,    0,    0,    0,    1,    0, 1, 0, 0,  // frame 1×1
                                       2,    2,    0x44, 0x01, 0,  // minimum code size 2, one sub-block
                                       0x3B};

std::vector<uint8_t> Saved(TGIFImage& I) {
    return SaveBytes(I);
}

}  // namespace

TEST(GIFReading, ReadsAHandMadePicture) {
    Loaded l(OnePixel);
    EXPECT_TRUE(l.Warnings.empty());
    ASSERT_EQ(l.Image.Frames.EntryCount(), 1);
    TGIFSubImage* f = l.Image.Frames.Frame(0);
    EXPECT_EQ(l.Image.Width(), 1);
    EXPECT_EQ(f->IndexData, std::vector<uint8_t>{0});
    EXPECT_EQ(l.Image.ScreenColorMap().ColorCount, 2);
    ASSERT_NE(f->ControlBlock, nullptr);
    EXPECT_TRUE(f->HasTransparency);
    EXPECT_EQ(f->ControlBlock->TransparentIndex(), 0);
    // Written again, it is the same file byte for byte.
    EXPECT_EQ(Saved(l.Image), OnePixel);
}

TEST(GIFReading, ToleratesWhatItCanAndRefusesTheRest) {
    // Four bytes in front, lower-case signature, filler bytes, no trailer.
    std::vector<uint8_t> v = {1, 2, 3, 4};
    v.insert(v.end(), OnePixel.begin(), OnePixel.end() - 1);
    v[4] = 'g';
    v.insert(v.begin() + 4 + 19, {0, 0});
    Loaded l(v);
    EXPECT_TRUE(l.Warnings.empty());
    EXPECT_EQ(l.Image.Frames.EntryCount(), 1);

    // A frame of width 0 takes the screen's size.
    std::vector<uint8_t> zero = OnePixel;
    zero[27 + 5] = 0;
    Loaded z(zero);
    EXPECT_EQ(z.Warnings, std::vector<std::string>{"Image exceeds Logical Screen size"});
    EXPECT_EQ(z.Image.Frames.Frame(0)->Width, 1);

    // Cut inside the image data: the missing pixels keep the transparent index.
    std::vector<uint8_t> cut(OnePixel.begin(), OnePixel.begin() + 38);
    Loaded c(cut);
    EXPECT_EQ(c.Image.Frames.Frame(0)->IndexData, std::vector<uint8_t>{0});

    std::vector<uint8_t> unknown = OnePixel;
    unknown[20] = 0xFA;
    EXPECT_EQ(LoadError(unknown), "Unknown extension type");
    EXPECT_EQ(LoadError({'P', 'N', 'G', 0, 0, 0, 0, 0, 0, 0}), "Invalid GIF signature");
    EXPECT_EQ(LoadError(std::vector<uint8_t>(OnePixel.begin(), OnePixel.begin() + 15)),
              "Premature end of data");
    std::vector<uint8_t> big = OnePixel;
    big[27 + 5] = 0xFF, big[27 + 6] = 0xFF, big[27 + 7] = 0xFF, big[27 + 8] = 0xFF;
    EXPECT_THROW(Loaded b(big), EInvalidGraphic);
}

TEST(GIFWriting, RoundTripKeepsFramesMapsAndExtensions) {
    TGIFImage img;
    for (int i = 0; i < 256; ++i) img.ScreenColorMap().AppendColor(RGB(i, 255 - i, i / 3));
    // Random pixels: the code table fills and is cleared more than once.
    auto* noisy = new TGIFSubImage(&img);
    noisy->PlaceFrame(0, 0, 120, 100);
    std::mt19937 rng(7);
    for (uint8_t& p : noisy->IndexData) p = static_cast<uint8_t>(rng());
    auto* loop = new TGIFAppExtNSLoop(noisy);
    loop->LoopCount = 3;
    noisy->ExtensionItems.AppendEntry(loop);
    auto* comment = new TGIFCommentExtension(noisy);
    comment->CommentLines = {std::string(300, 'c')};
    noisy->ExtensionItems.AppendEntry(comment);
    img.AppendFrame(noisy);
    // An interlaced frame of height 5 with colours of its own.
    auto* inter = new TGIFSubImage(&img);
    inter->PlaceFrame(3, 4, 7, 5);
    for (int i = 0; i < 4; ++i) inter->LocalMap.AppendColor(RGB(0, 0, i * 60));
    for (size_t i = 0; i < inter->IndexData.size(); ++i) inter->IndexData[i] = static_cast<uint8_t>(i % 4);
    inter->Packed = 0x40;
    img.AppendFrame(inter);

    const std::vector<uint8_t> bytes = Saved(img);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
    Loaded back(bytes);
    EXPECT_TRUE(back.Warnings.empty());
    ASSERT_EQ(back.Image.Frames.EntryCount(), 2);
    TGIFSubImage* a = back.Image.Frames.Frame(0);
    EXPECT_EQ(a->IndexData, noisy->IndexData);
    ASSERT_EQ(a->ExtensionItems.EntryCount(), 2);
    EXPECT_EQ(static_cast<TGIFAppExtNSLoop*>(a->ExtensionItems.Extension(0))->LoopCount, 3);
    EXPECT_EQ(static_cast<TGIFCommentExtension*>(a->ExtensionItems.Extension(1))->CommentLines,
              (std::vector<std::string>{std::string(255, 'c'), std::string(45, 'c')}));
    TGIFSubImage* b = back.Image.Frames.Frame(1);
    EXPECT_EQ(b->IndexData, inter->IndexData);
    EXPECT_EQ(b->LocalMap.ColorCount, 4);
    EXPECT_EQ(back.Image.ScreenColorMap().Triples, img.ScreenColorMap().Triples);
    EXPECT_EQ(Saved(back.Image), bytes);

    TGIFImage none;
    try {
        Saved(none);
        FAIL();
    } catch (GIFException& e) {
        EXPECT_EQ(e.Message, "Unsupported GIF version");
    }
}

TEST(GIFRegistration, PictureLoaderAndClipboardKnowTheClass) {
    GIFImageStartup();
    GIFImageStartup();  // once only
    EXPECT_FALSE(ScreenUsesPalette);
    EXPECT_TRUE(TPicture::IsClassRegistered("TGIFImage"));
    EXPECT_NE(TPicture::GraphicFilter().find("GIF Image (*.gif)|*.gif"), std::string::npos);
    ASSERT_NE(GIFClipboardFormat(), 0u);
    EXPECT_EQ(GIFClipboardFormat(), RegisterClipboardFormat("GIF Image"));

    // Form data: the class name, then the GIF.
    TMemoryStream form;
    const std::string name = "TGIFImage";
    const uint8_t len = static_cast<uint8_t>(name.size());
    form.WriteBuffer(&len, 1);
    form.WriteBuffer(name.data(), len);
    form.WriteBuffer(OnePixel.data(), static_cast<int32_t>(OnePixel.size()));
    form.SetPosition(0);
    TPicture picture;
    picture.ReadData(form);
    auto* gif = dynamic_cast<TGIFImage*>(picture.Graphic());
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->Width(), 1);

    // Through the clipboard and back.
    Clipboard()->Assign(picture);
    EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
    ASSERT_TRUE(Clipboard()->HasFormat(GIFClipboardFormat()));
    TPicture back;
    back.LoadFromClipboardFormat(GIFClipboardFormat(), {}, 0);
    auto* again = dynamic_cast<TGIFImage*>(back.Graphic());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Saved(*again), Saved(*gif));

    TGIFImage other;
    try {
        other.LoadFromClipboardFormat(CF_TEXT, {1, 2, 3}, 0);
        FAIL();
    } catch (GIFException& e) {
        EXPECT_EQ(e.Message, "Unsupported clipboard format");
    }
    GIFImageShutdown();
    EXPECT_FALSE(TPicture::IsClassRegistered("TGIFImage"));
    EXPECT_FALSE(TPicture::SupportsClipboardFormat(RegisterClipboardFormat("GIF Image")));
}

namespace {
// OnePixel with the screen and frame made W×1 and the image data replaced.
std::vector<uint8_t> WithData(int W, const std::vector<uint8_t>& Data) {
    std::vector<uint8_t> v(OnePixel.begin(), OnePixel.begin() + 37);
    v[6] = v[27 + 5] = static_cast<uint8_t>(W);
    v[22] = 0;  // no transparency
    v.insert(v.end(), Data.begin(), Data.end());
    v.push_back(0x3B);
    return v;
}
}  // namespace

TEST(GIFReading, DecoderEdgeCases) {
    // A code equal to the next free code: the old string and its own first pixel.
    Loaded k(WithData(3, {2, 2, 0x8C, 0x0B, 0}));
    EXPECT_EQ(k.Image.Frames.Frame(0)->IndexData, (std::vector<uint8_t>{1, 1, 1}));
    EXPECT_TRUE(k.Warnings.empty());

    // A loop extension whose kind byte is 9 holds a loop count; extensions after the last image
    // make a frame without image data; an unknown block ends the frames with warnings.
    std::vector<uint8_t> v(OnePixel.begin(), OnePixel.end() - 1);
    const std::vector<uint8_t> loop = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                                       'E',  '2',  '.', '0', 3,   9,   5,   0,   0};
    v.insert(v.begin() + 19, loop.begin(), loop.end());
    v.insert(v.end(), {0x21, 0xFE, 1, 'x', 0, 0x3B});
    Loaded l(v);
    EXPECT_TRUE(l.Warnings.empty());
    ASSERT_EQ(l.Image.Frames.EntryCount(), 2);
    TGIFSubImage* f = l.Image.Frames.Frame(0);
    ASSERT_EQ(f->ExtensionItems.EntryCount(), 2);
    auto* ns = dynamic_cast<TGIFAppExtNSLoop*>(f->ExtensionItems.Extension(0));
    ASSERT_NE(ns, nullptr);
    EXPECT_EQ(ns->LoopCount, 5);
    EXPECT_TRUE(l.Image.Frames.Frame(1)->IsBlank());
    EXPECT_EQ(l.Image.Frames.Frame(1)->ExtensionItems.EntryCount(), 1);

    std::vector<uint8_t> odd = OnePixel;
    odd.back() = 0x99;
    Loaded u(odd);
    EXPECT_EQ(u.Warnings, (std::vector<std::string>{"Unknown GIF block type", "Invalid Image trailer"}));
    EXPECT_EQ(u.Image.Frames.EntryCount(), 1);
}

TEST(GIFWriting, InterlacedRowsGoInPassOrderAndComeBackInPlace) {
    for (int h : {1, 2, 3, 4, 5, 9}) {
        TGIFImage img;
        for (int i = 0; i < 16; ++i) img.ScreenColorMap().AppendColor(RGB(i, i, i));
        auto* f = new TGIFSubImage(&img);
        f->PlaceFrame(0, 0, 3, h);
        for (int r = 0; r < h; ++r)
            for (int x = 0; x < 3; ++x) f->IndexData[r * 3 + x] = static_cast<uint8_t>(r);
        f->Packed = 0x40;
        img.AppendFrame(f);
        std::vector<uint8_t> bytes = Saved(img);
        Loaded back(bytes);
        EXPECT_EQ(back.Image.Frames.Frame(0)->IndexData, f->IndexData) << h;
        // Read as a plain frame, the rows show the order they were written in.
        const size_t descriptor = 13 + 16 * 3;
        ASSERT_EQ(bytes[descriptor], 0x2C);
        bytes[descriptor + 9] &= ~0x40;
        Loaded plain(bytes);
        std::vector<int> order;
        for (int r = 0; r < h; ++r) order.push_back(plain.Image.Frames.Frame(0)->IndexData[r * 3]);
        std::vector<int> want;
        for (int start : {0, 4, 2, 1})
            for (int r = start; r < h; r += (start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2))
                want.push_back(r);
        EXPECT_EQ(order, want) << h;
    }
}
