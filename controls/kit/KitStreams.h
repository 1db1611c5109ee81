#pragma once
// The kit's stream formats: little-endian integers, bytes and short strings; bitmaps, string lists
// and waves stored either as a 32-bit length and the bytes or as a block stream (KitLzrw.h); the
// bitmap file writer at a chosen colour depth; and the wave object.
//
// Readers check every length read from the stream against what the stream still holds before they
// allocate anything: a length beyond the stream raises EReadError "Stream read error".

#include <cstdint>
#include <memory>
#include <string>

#include "controls/kit/KitObjects.h"
#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/core/Strings.h"
#include "framework/ui/Graphics.h"

namespace kit {

// ---- Small stream helpers ----
void WriteStreamInteger(framework::TStream* Stream, int32_t Value);
int32_t ReadStreamInteger(framework::TStream* Stream);
void WriteStreamByte(framework::TStream* Stream, uint8_t Value);
uint8_t ReadStreamByte(framework::TStream* Stream);
// One length byte and at most 255 characters (longer texts are cut).
void WriteShortString(framework::TStream* Stream, const std::string& Value);
std::string ReadShortString(framework::TStream* Stream);

// ---- Bitmap files ----
// Save depths: the bitmap's own stream format, or a bitmap file of 1, 4 or 8 bits per pixel.
enum TKitSavePixelFormat : int { spfDefault = -1, spfMono = 2, spf4bit = 16, spf8bit = 256 };

// Writes Bitmap as a bitmap file (file header, 40-byte info header, full colour table, bottom-up
// rows). Depth: 0 the display's depth (24 bits), 2 one bit, 16 four bits, 256 eight bits; a
// monochrome bitmap is always written at one bit. With a Palette, pixels of 1 to 8 bits take the
// nearest entry of that palette; else the standard table of the depth. With WithLength the file's
// size goes first as a 32-bit integer. A missing bitmap raises Exception "Bitmap image is not valid".
void WriteDibFile(framework::TStream* Stream, framework::TBitmap* Bitmap, framework::HPALETTE Palette,
                  bool WithLength, int Depth);

void WriteBitmapData(framework::TStream* Stream, framework::TBitmap* Bitmap, bool Compressed,
                     TKitSavePixelFormat Format);
void ReadBitmapData(framework::TStream* Stream, framework::TBitmap* Bitmap, bool Compressed);
void WriteStringsData(framework::TStream* Stream, const framework::TStrings* Strings, bool Compressed);
void ReadStringsData(framework::TStream* Stream, framework::TStrings* Strings, bool Compressed);

// ---- Waves ----
using framework::Exception;
KORVANE_DECLARE_EXCEPTION(EInvalidWave, Exception);
KORVANE_DECLARE_EXCEPTION(EErrorCheckingWave, Exception);

struct TKitWaveInfo {
    int32_t RiffSize = 0;
    uint32_t SampleRate = 0;
    int Channels = 0;  // 1 mono, 2 stereo, 0 other
    bool IsPCM = false;
    uint16_t BlockAlign = 0;
};

// Whether Stream holds a RIFF WAVE file with a format chunk ("fmt "); fills Info. False for none
// or an empty stream. A header that ends early raises EErrorCheckingWave "GetWaveData: ...". The
// stream is put back to position 0.
bool CheckWave(framework::TMemoryStream* Stream, TKitWaveInfo* Info = nullptr);

class TKitWave : public TKitObject {
public:
    TKitWave() = default;
    ~TKitWave() override;

    bool IsEmpty() const { return !FData || FData->Size() == 0; }
    framework::TMemoryStream* Data() const { return FData.get(); }
    // Takes ownership of Value (or clears the wave with nullptr); the data is put at position 0.
    void SetData(std::unique_ptr<framework::TMemoryStream> Value);

    // Size bytes of Stream become the wave; 0 clears it. Raises EInvalidWave for bytes that are
    // not a wave (the wave keeps its old data) and EReadError when Stream holds fewer bytes.
    void LoadData(int64_t Size, framework::TStream* Stream);
    // A 32-bit size, then the bytes.
    void ReadData(framework::TStream* Stream);
    void WriteData(framework::TStream* Stream);
    void LoadFromStream(framework::TStream* Stream);
    void SaveToStream(framework::TStream* Stream);
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);

    void Assign(framework::TPersistent* Source) override;
    // The binary property "Data", stored whenever data exists.
    void DefineProperties(framework::TFiler* Filer) override;

private:
    void EnsureData();
    std::unique_ptr<framework::TMemoryStream> FData;
};

void WriteWaveData(framework::TStream* Stream, TKitWave* Wave, bool Compressed);
void ReadWaveData(framework::TStream* Stream, TKitWave* Wave, bool Compressed);

}  // namespace kit
