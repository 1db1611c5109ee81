// Stream formats: bitmap files at each depth, bitmaps, strings and waves with and without the block
// coder, the wave check, and the small string, path and rectangle helpers.
#include "controls/kit/KitStreams.h"

#include <gtest/gtest.h>

#include "controls/kit/KitLzrw.h"
#include "controls/kit/KitUtils.h"
#include "framework/testsupport/MemFiler.h"
#include "platform/testsupport/UserEnv.h"

namespace kit {
namespace {

using namespace framework;

uint32_t U32(const char* p) {
    auto b = reinterpret_cast<const uint8_t*>(p);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t{b[3]} << 24);
}
uint16_t U16(const char* p) {
    auto b = reinterpret_cast<const uint8_t*>(p);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

// A 5 x 3 bitmap: black, white, red and blue pixels.
void MakePicture(TBitmap& b) {
    b.SetSize(5, 3);
    const TColor colours[] = {clBlack, clWhite, clRed, clBlue};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) b.Canvas().SetPixel(x, y, colours[(x + y) % 4]);
}

TEST(KitStreamsTest, DibFileHeadersAtEachDepth) {
    TBitmap picture;
    MakePicture(picture);
    struct Case {
        int Depth, Bits;
    };
    for (auto [depth, bits] : {Case{0, 24}, Case{2, 1}, Case{16, 4}, Case{256, 8}}) {
        SCOPED_TRACE(depth);
        TMemoryStream s;
        WriteDibFile(&s, &picture, 0, true, depth);
        const char* m = s.Memory();
        uint32_t total = U32(m);
        ASSERT_EQ(s.Size(), static_cast<int64_t>(total) + 4);
        m += 4;
        uint32_t stride = (5 * bits + 31) / 32 * 4;
        uint32_t header = bits == 24 ? 40 : 40 + 4 * (1u << bits);
        EXPECT_EQ(std::string(m, 2), "BM");
        EXPECT_EQ(U32(m + 2), total);
        EXPECT_EQ(U32(m + 6), 0u);
        EXPECT_EQ(U32(m + 10), 14 + header);
        EXPECT_EQ(U32(m + 14), 40u);
        EXPECT_EQ(U32(m + 18), 5u);
        EXPECT_EQ(U32(m + 22), 3u);
        EXPECT_EQ(U16(m + 26), 1);
        EXPECT_EQ(U16(m + 28), bits);
        EXPECT_EQ(U32(m + 30), 0u);
        EXPECT_EQ(U32(m + 34), 3 * stride);
        for (int at = 38; at < 54; at += 4) EXPECT_EQ(U32(m + at), 0u);
        EXPECT_EQ(total, 14 + header + 3 * stride);

        // The file reads back with the colours it can hold (red and blue are darker than grey).
        TMemoryStream file;
        file.WriteBuffer(m, static_cast<int32_t>(total));
        file.SetPosition(0);
        TBitmap back;
        back.LoadFromStream(file);
        ASSERT_EQ(back.Width(), 5);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                TColor want = picture.Canvas().Pixel(x, y);
                if (bits == 1) want = want == clWhite ? clWhite : clBlack;
                EXPECT_EQ(back.Canvas().Pixel(x, y), want) << x << "," << y;
            }
    }
}

TEST(KitStreamsTest, DibFileTakesTheNearestPaletteEntryAndRefusesAMissingBitmap) {
    TBitmap picture;
    MakePicture(picture);
    HPALETTE palette = CreatePalette(0x300, {TPaletteEntry{0, 0, 250, 0}, TPaletteEntry{250, 0, 0, 0},
                                             TPaletteEntry{255, 255, 255, 0}, TPaletteEntry{0, 0, 0, 0}});
    TMemoryStream s;
    WriteDibFile(&s, &picture, palette, false, 256);
    DeleteObject(palette);
    s.SetPosition(0);
    TBitmap back;
    back.LoadFromStream(s);
    EXPECT_EQ(back.Canvas().Pixel(2, 0), static_cast<TColor>(0x0000FA));  // red to the nearest red
    EXPECT_EQ(back.Canvas().Pixel(3, 0), static_cast<TColor>(0xFA0000));
    EXPECT_EQ(back.Canvas().Pixel(1, 0), clWhite);

    TBitmap empty;
    try {
        WriteDibFile(&s, &empty, 0, false, 0);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Bitmap image is not valid");
    }
    EXPECT_THROW(WriteDibFile(&s, nullptr, 0, false, 0), Exception);
}

TEST(KitStreamsTest, BitmapsAndStringsRoundTripPlainAndCompressed) {
    TBitmap picture;
    MakePicture(picture);
    TStringList lines;
    lines.Add("first line");
    lines.Add(std::string(300, 'x'));
    lines.Add("");
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed);
        TMemoryStream s;
        WriteBitmapData(&s, &picture, compressed, spfDefault);
        WriteBitmapData(&s, &picture, compressed, spf4bit);
        WriteStringsData(&s, &lines, compressed);
        s.SetPosition(0);
        TBitmap a, b;
        ReadBitmapData(&s, &a, compressed);
        ReadBitmapData(&s, &b, compressed);
        TStringList back;
        ReadStringsData(&s, &back, compressed);
        EXPECT_EQ(s.Position(), s.Size());
        EXPECT_EQ(a.Canvas().Pixel(2, 0), clRed);
        EXPECT_EQ(b.Canvas().Pixel(3, 0), clBlue);
        EXPECT_EQ(b.PixelFormat(), pf4bit);
        EXPECT_EQ(back.Text(), lines.Text());
    }
}

TEST(KitStreamsTest, LengthsBeyondTheStreamAreRefusedBeforeAllocating) {
    TMemoryStream s;
    WriteStreamInteger(&s, 0x7FFFFFF0);
    s.WriteBuffer("BM", 2);
    s.SetPosition(0);
    TBitmap b;
    EXPECT_THROW(ReadBitmapData(&s, &b, false), EReadError);
    s.SetPosition(0);
    TStringList l;
    EXPECT_THROW(ReadStringsData(&s, &l, false), EReadError);
    s.SetPosition(0);
    TKitWave w;
    EXPECT_THROW(w.ReadData(&s), EReadError);
    s.SetPosition(0);
    WriteStreamInteger(&s, -1);
    s.SetPosition(0);
    EXPECT_THROW(ReadStringsData(&s, &l, false), EReadError);
    // An empty string block reads as no lines (and not as the rest of the stream).
    TMemoryStream e;
    WriteStreamInteger(&e, 0);
    e.WriteBuffer("junk", 4);
    e.SetPosition(0);
    l.Add("old");
    ReadStringsData(&e, &l, false);
    EXPECT_EQ(l.Count(), 0);
}

TEST(KitStreamsTest, ShortStringsAreCutAt255) {
    TMemoryStream s;
    WriteShortString(&s, std::string(300, 'q'));
    WriteShortString(&s, "ab");
    WriteStreamByte(&s, 7);
    EXPECT_EQ(s.Size(), 1 + 255 + 1 + 2 + 1);
    s.SetPosition(0);
    EXPECT_EQ(ReadShortString(&s), std::string(255, 'q'));
    EXPECT_EQ(ReadShortString(&s), "ab");
    EXPECT_EQ(ReadStreamByte(&s), 7);
    EXPECT_THROW(ReadStreamByte(&s), EReadError);
}

// A PCM wave file of a few samples.
std::string WaveFile(uint16_t channels, uint32_t rate) {
    std::string w;
    auto u16 = [&](uint32_t v) {
        w.push_back(static_cast<char>(v));
        w.push_back(static_cast<char>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const uint32_t data = 8;
    w += "RIFF";
    u32(36 + data);
    w += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * channels * 2);
    u16(channels * 2);
    u16(16);
    w += "data";
    u32(data);
    w += std::string(data, '\x10');
    return w;
}

TMemoryStream* StreamOf(TMemoryStream& s, const std::string& bytes) {
    s.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    s.SetPosition(0);
    return &s;
}

TEST(KitStreamsTest, CheckWaveReadsTheFormatOfPcmFiles) {
    for (uint16_t channels : {1, 2}) {
        TMemoryStream s;
        TKitWaveInfo info;
        ASSERT_TRUE(CheckWave(StreamOf(s, WaveFile(channels, 22050)), &info));
        EXPECT_EQ(s.Position(), 0);
        EXPECT_EQ(info.Channels, channels);
        EXPECT_EQ(info.SampleRate, 22050u);
        EXPECT_TRUE(info.IsPCM);
        EXPECT_EQ(info.BlockAlign, channels * 2);
        EXPECT_EQ(info.RiffSize, 44);
    }
    TMemoryStream empty;
    EXPECT_FALSE(CheckWave(&empty));
    EXPECT_FALSE(CheckWave(nullptr));
    TMemoryStream notRiff;
    std::string bad = WaveFile(1, 8000);
    bad[0] = 'X';
    EXPECT_FALSE(CheckWave(StreamOf(notRiff, bad)));
    TMemoryStream truncated;
    try {
        CheckWave(StreamOf(truncated, WaveFile(1, 8000).substr(0, 20)));
        ADD_FAILURE();
    } catch (const EErrorCheckingWave& e) {
        EXPECT_EQ(e.Message.rfind("GetWaveData: ", 0), 0u);
    }
}

TEST(KitStreamsTest, WaveLoadsChecksAndStores) {
    TKitWave wave;
    int changes = 0;
    wave.OnChange = [&](TObject*) { ++changes; };
    EXPECT_TRUE(wave.IsEmpty());
    std::string file = WaveFile(2, 44100);
    TMemoryStream s;
    wave.LoadFromStream(StreamOf(s, file));
    EXPECT_FALSE(wave.IsEmpty());
    EXPECT_EQ(changes, 1);

    std::string bad = file;
    bad.replace(0, 4, "JUNK");
    TMemoryStream b;
    EXPECT_THROW(wave.LoadFromStream(StreamOf(b, bad)), EInvalidWave);
    EXPECT_EQ(wave.Data()->Size(), static_cast<int64_t>(file.size()));  // the old data stays

    for (bool compressed : {false, true}) {
        TMemoryStream stored;
        WriteWaveData(&stored, &wave, compressed);
        stored.SetPosition(0);
        TKitWave back;
        ReadWaveData(&stored, &back, compressed);
        ASSERT_FALSE(back.IsEmpty());
        EXPECT_EQ(std::string(back.Data()->Memory(), static_cast<size_t>(back.Data()->Size())), file);
    }

    // "Data" through the filer, and Assign.
    TMemFiler filer;
    filer.Writer().WriteProperties(&wave);
    TKitWave read;
    filer.Reader().ReadProperty(&read);
    EXPECT_EQ(read.Data()->Size(), static_cast<int64_t>(file.size()));
    TKitWave copy;
    copy.Assign(&wave);
    EXPECT_EQ(std::string(copy.Data()->Memory(), file.size()), file);
    copy.Assign(nullptr);
    EXPECT_TRUE(copy.IsEmpty());

    // An empty wave writes a size of 0 and reads back empty.
    TMemoryStream none;
    copy.WriteData(&none);
    EXPECT_EQ(none.Size(), 4);
    none.SetPosition(0);
    wave.ReadData(&none);
    EXPECT_TRUE(wave.IsEmpty());
}

TEST(KitUtilsTest, StringAndPathHelpers) {
    EXPECT_EQ(TextAfter("a=b=c", '='), "b=c");
    EXPECT_EQ(TextAfter("abc", '='), "abc");
    EXPECT_EQ(TextAfter("=" + std::string(300, 'z'), '='), std::string(255, 'z'));
    EXPECT_EQ(AddBackslash("C:\\"), "C:\\");
    EXPECT_EQ(AddBackslash("C:\\DATA"), "C:\\DATA\\");
    EXPECT_EQ(AddBackslash("  "), "  \\");
    EXPECT_EQ(RemoveBackslash("C:\\DATA\\"), "C:\\DATA");
    EXPECT_EQ(RemoveBackslash("\\"), "");
    EXPECT_EQ(RemoveBackslash(""), "");
    EXPECT_TRUE(IsBlank("   "));
    EXPECT_FALSE(IsBlank(" x "));
    EXPECT_EQ(FillString(3, '*'), "***");
    EXPECT_EQ(FillString(-1, '*'), "");
    int v = 4;
    EXPECT_EQ(PreIncrement(v), 5);

    platform::testsupport::ScopedUserEnv env;
    EXPECT_EQ(PathPrefix(ppFixed, true), "");
    std::string program = ProgramFolder();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.back(), '\\');
    EXPECT_EQ(PathPrefix(ppProgram, true), program);
    EXPECT_EQ(PathPrefix(ppProgram, false) + "\\", program);
    EXPECT_NE(PathPrefix(ppWindows, false), "");
}

TEST(KitUtilsTest, RectangleHelpers) {
    TRect r{10, 20, 30, 60};
    AdjustRect(r, 1, 2, 3, 4);
    EXPECT_EQ(r.Left, 11);
    EXPECT_EQ(r.Bottom, 64);
    int w, h;
    RectSize(TRect{0, 0, 40, 10}, w, h);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 10);
    TRect fit = FitRect(TRect{0, 0, 200, 100}, TRect{5, 5, 105, 105});
    EXPECT_EQ(fit.Left, 5);
    EXPECT_EQ(fit.Width(), 100);
    EXPECT_EQ(fit.Height(), 50);
    TRect turned = RotatedBounds(TRect{0, 0, 40, 10}, 90);
    EXPECT_EQ(turned.Left, 0);
    EXPECT_EQ(turned.Width(), 10);
    EXPECT_EQ(turned.Height(), 40);
    TRect same = RotatedBounds(TRect{3, 4, 40, 10}, 0);
    EXPECT_EQ(same.Left, 3);
    EXPECT_EQ(MaxOf({3, -2, 9}), 9);
    EXPECT_EQ(MinOf({3, -2, 9}), -2);
    EXPECT_EQ(MinOfFloats({2.5L, 1.25L}), 1.25L);
}

}  // namespace
}  // namespace kit
