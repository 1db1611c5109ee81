#include "controls/kit/KitStreams.h"

#include <vector>

#include "controls/kit/KitLzrw.h"
#include "framework/core/Filer.h"
#include "framework/graphics/Gdi.h"

namespace kit {

using namespace framework;

// ---- Small stream helpers -----------------------------------------------------------------------

void WriteStreamInteger(TStream* Stream, int32_t Value) {
    uint32_t v = static_cast<uint32_t>(Value);
    uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                    static_cast<uint8_t>(v >> 24)};
    Stream->WriteBuffer(b, 4);
}

int32_t ReadStreamInteger(TStream* Stream) {
    uint8_t b[4];
    Stream->ReadBuffer(b, 4);
    return static_cast<int32_t>(uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) |
                                (uint32_t{b[3]} << 24));
}

void WriteStreamByte(TStream* Stream, uint8_t Value) {
    Stream->WriteBuffer(&Value, 1);
}

uint8_t ReadStreamByte(TStream* Stream) {
    uint8_t b;
    Stream->ReadBuffer(&b, 1);
    return b;
}

void WriteShortString(TStream* Stream, const std::string& Value) {
    size_t n = Value.size() > 255 ? 255 : Value.size();
    WriteStreamByte(Stream, static_cast<uint8_t>(n));
    Stream->WriteBuffer(Value.data(), static_cast<int32_t>(n));
}

std::string ReadShortString(TStream* Stream) {
    std::string s(ReadStreamByte(Stream), '\0');
    Stream->ReadBuffer(s.data(), static_cast<int32_t>(s.size()));
    return s;
}

namespace {

// A 32-bit length read from Stream that must fit in what is left of it.
int32_t ReadLength(TStream* Stream) {
    int32_t n = ReadStreamInteger(Stream);
    if (n < 0 || n > Stream->Size() - Stream->Position()) throw EReadError("Stream read error");
    return n;
}

// Writes the bytes of Data at Stream: length and bytes, or a block stream.
void WriteBytes(TStream* Stream, TMemoryStream& Data, bool Compressed) {
    Data.SetPosition(0);
    if (Compressed) {
        WriteCompressedBlock(&Data, Stream, Data.Size());
    } else {
        WriteStreamInteger(Stream, static_cast<int32_t>(Data.Size()));
        Stream->WriteBuffer(Data.Memory(), static_cast<int32_t>(Data.Size()));
    }
}

// The bytes written by WriteBytes, in a memory stream at position 0.
void ReadBytes(TStream* Stream, TMemoryStream& Data, bool Compressed) {
    if (Compressed) {
        ReadCompressedBlock(Stream, &Data);
    } else {
        // CopyFrom takes a count of 0 as "everything": an empty block copies nothing.
        int32_t n = ReadLength(Stream);
        if (n > 0) Data.CopyFrom(Stream, n);
    }
    Data.SetPosition(0);
}

void PutU16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

void PutU32(std::vector<uint8_t>& v, uint32_t x) {
    PutU16(v, x & 0xFFFF);
    PutU16(v, x >> 16);
}

int BitsForDepth(int Depth) {
    switch (Depth) {
        case 2:
            return 1;
        case 16:
            return 4;
        case 256:
            return 8;
        default:
            return 24;  // the display (true colour here) and 16 or 32 bits
    }
}

TPixelFormat FormatForBits(int Bits) {
    switch (Bits) {
        case 1:
            return pf1bit;
        case 4:
            return pf4bit;
        case 8:
            return pf8bit;
        default:
            return pf24bit;
    }
}

}  // namespace

// ---- Bitmap files -------------------------------------------------------------------------------

void WriteDibFile(TStream* Stream, TBitmap* Bitmap, HPALETTE Palette, bool WithLength, int Depth) {
    if (Bitmap == nullptr || Bitmap->Empty()) throw Exception("Bitmap image is not valid");
    int bits = Bitmap->Monochrome() ? 1 : BitsForDepth(Depth);
    int width = Bitmap->Width();
    int height = Bitmap->Height();
    uint32_t stride = static_cast<uint32_t>((width * bits + 31) / 32 * 4);
    uint32_t colors = bits <= 8 ? (1u << bits) : 0;

    TBitmap copy;
    copy.Assign(*Bitmap);
    std::vector<uint32_t> table;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * height, 0);
    std::vector<TPaletteEntry> entries;
    if (Palette != 0 && bits <= 8) {
        entries.resize(colors);
        unsigned n = GetPaletteEntries(Palette, 0, colors, entries.data());
        entries.resize(n);
    }
    if (!entries.empty()) {
        // Each pixel takes the nearest entry of the given palette.
        for (const auto& e : entries) table.push_back(e.peRed | (e.peGreen << 8) | (e.peBlue << 16));
        copy.SetPixelFormat(pf24bit);
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = copy.ScanLine(y);
            uint8_t* dst = rows.data() + static_cast<size_t>(y) * stride;
            for (int x = 0; x < width; ++x) {
                TColor rgb = src[3 * x + 2] | (src[3 * x + 1] << 8) | (src[3 * x] << 16);
                unsigned idx = GetNearestPaletteIndex(Palette, rgb) & (colors - 1);
                int shift = 8 - bits - (x * bits) % 8;
                dst[x * bits / 8] |= static_cast<uint8_t>(idx << shift);
            }
        }
    } else {
        copy.SetPixelFormat(FormatForBits(bits));
        for (TColor c : copy.ColorTable()) table.push_back(static_cast<uint32_t>(c));
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = copy.ScanLine(y);
            std::copy(src, src + stride, rows.begin() + static_cast<ptrdiff_t>(y) * stride);
        }
    }
    table.resize(colors, 0);

    uint32_t headerSize = 40 + 4 * colors;
    uint32_t imageSize = stride * static_cast<uint32_t>(height);
    uint32_t fileSize = 14 + headerSize + imageSize;
    std::vector<uint8_t> file;
    file.reserve(fileSize);
    file.push_back('B');
    file.push_back('M');
    PutU32(file, fileSize);
    PutU16(file, 0);
    PutU16(file, 0);
    PutU32(file, 14 + headerSize);
    PutU32(file, 40);
    PutU32(file, static_cast<uint32_t>(width));
    PutU32(file, static_cast<uint32_t>(height));
    PutU16(file, 1);
    PutU16(file, static_cast<uint32_t>(bits));
    PutU32(file, 0);  // no compression
    PutU32(file, imageSize);
    for (int i = 0; i < 4; ++i) PutU32(file, 0);  // resolution and colour counts
    for (uint32_t c : table) {
        file.push_back(static_cast<uint8_t>(c >> 16));
        file.push_back(static_cast<uint8_t>(c >> 8));
        file.push_back(static_cast<uint8_t>(c));
        file.push_back(0);
    }
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* row = rows.data() + static_cast<size_t>(y) * stride;
        file.insert(file.end(), row, row + stride);
    }
    if (WithLength) WriteStreamInteger(Stream, static_cast<int32_t>(file.size()));
    Stream->WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
}

void WriteBitmapData(TStream* Stream, TBitmap* Bitmap, bool Compressed, TKitSavePixelFormat Format) {
    TMemoryStream data;
    if (Format == spfDefault) {
        if (Bitmap == nullptr) throw Exception("Bitmap image is not valid");
        Bitmap->SaveToStream(data);
    } else {
        WriteDibFile(&data, Bitmap, 0, false, Format);
    }
    WriteBytes(Stream, data, Compressed);
}

void ReadBitmapData(TStream* Stream, TBitmap* Bitmap, bool Compressed) {
    TMemoryStream data;
    ReadBytes(Stream, data, Compressed);
    Bitmap->LoadFromStream(data);
}

void WriteStringsData(TStream* Stream, const TStrings* Strings, bool Compressed) {
    TMemoryStream data;
    Strings->SaveToStream(&data);
    WriteBytes(Stream, data, Compressed);
}

void ReadStringsData(TStream* Stream, TStrings* Strings, bool Compressed) {
    TMemoryStream data;
    ReadBytes(Stream, data, Compressed);
    Strings->LoadFromStream(&data);
}

// ---- Waves --------------------------------------------------------------------------------------

bool CheckWave(TMemoryStream* Stream, TKitWaveInfo* Info) {
    if (Stream == nullptr || Stream->Size() == 0) return false;
    Stream->SetPosition(0);
    // RIFF tag, size, WAVE tag, "fmt " tag, chunk size, format tag, channels, sample rate, byte
    // rate, block alignment.
    uint8_t h[38];
    bool complete = Stream->Read(h, sizeof h) == static_cast<int32_t>(sizeof h);
    Stream->SetPosition(0);
    if (!complete) throw EErrorCheckingWave("GetWaveData: Cannot open file");
    auto u16 = [&](int at) { return static_cast<uint16_t>(h[at] | (h[at + 1] << 8)); };
    auto u32 = [&](int at) { return uint32_t{u16(at)} | (uint32_t{u16(at + 2)} << 16); };
    TKitWaveInfo info;
    info.RiffSize = static_cast<int32_t>(u32(4));
    info.IsPCM = u16(20) == 1;
    uint16_t channels = u16(22);
    info.Channels = channels == 1 || channels == 2 ? channels : 0;
    info.SampleRate = u32(24);
    info.BlockAlign = u16(32);
    if (Info) *Info = info;
    return std::string_view(reinterpret_cast<char*>(h), 4) == "RIFF" &&
           std::string_view(reinterpret_cast<char*>(h + 8), 4) == "WAVE" &&
           std::string_view(reinterpret_cast<char*>(h + 12), 4) == "fmt ";
}

TKitWave::~TKitWave() = default;

void TKitWave::SetData(std::unique_ptr<TMemoryStream> Value) {
    // Stopping a sound played from this memory has nothing to do here: no sound is played.
    FData = std::move(Value);
    if (FData) FData->SetPosition(0);
    Change();
}

void TKitWave::LoadData(int64_t Size, TStream* Stream) {
    if (Size == 0) {
        SetData(nullptr);
        return;
    }
    if (Size < 0 || Size > Stream->Size() - Stream->Position()) throw EReadError("Stream read error");
    auto data = std::make_unique<TMemoryStream>();
    data->CopyFrom(Stream, Size);
    if (!CheckWave(data.get())) throw EInvalidWave("Invalid wave data");
    SetData(std::move(data));
}

void TKitWave::ReadData(TStream* Stream) {
    LoadData(ReadStreamInteger(Stream), Stream);
}

void TKitWave::LoadFromStream(TStream* Stream) {
    LoadData(Stream->Size() - Stream->Position(), Stream);
}

void TKitWave::LoadFromFile(const std::string& FileName) {
    TFileStream file(FileName, fmOpenRead | fmShareDenyRead);
    LoadFromStream(&file);
}

void TKitWave::EnsureData() {
    if (!FData) FData = std::make_unique<TMemoryStream>();
}

void TKitWave::WriteData(TStream* Stream) {
    EnsureData();
    WriteStreamInteger(Stream, static_cast<int32_t>(FData->Size()));
    SaveToStream(Stream);
}

void TKitWave::SaveToStream(TStream* Stream) {
    EnsureData();
    Stream->WriteBuffer(FData->Memory(), static_cast<int32_t>(FData->Size()));
}

void TKitWave::SaveToFile(const std::string& FileName) {
    TFileStream file(FileName, fmCreate);
    SaveToStream(&file);
}

void TKitWave::Assign(TPersistent* Source) {
    if (Source == nullptr) {
        SetData(nullptr);
        return;
    }
    if (Source == this) return;
    if (auto* wave = dynamic_cast<TKitWave*>(Source)) {
        auto data = std::make_unique<TMemoryStream>();
        if (wave->FData) {
            data->WriteBuffer(wave->FData->Memory(), static_cast<int32_t>(wave->FData->Size()));
            wave->FData->SetPosition(0);
        }
        SetData(std::move(data));
        return;
    }
    TKitObject::Assign(Source);
}

void TKitWave::DefineProperties(TFiler* Filer) {
    TKitObject::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        "Data", [this](TStream* Stream) { ReadData(Stream); }, [this](TStream* Stream) { WriteData(Stream); },
        FData != nullptr);
}

void WriteWaveData(TStream* Stream, TKitWave* Wave, bool Compressed) {
    if (!Compressed) {
        Wave->WriteData(Stream);
        return;
    }
    TMemoryStream data;
    Wave->SaveToStream(&data);
    WriteBytes(Stream, data, true);
}

void ReadWaveData(TStream* Stream, TKitWave* Wave, bool Compressed) {
    if (!Compressed) {
        Wave->ReadData(Stream);
        return;
    }
    TMemoryStream data;
    ReadBytes(Stream, data, true);
    Wave->LoadFromStream(&data);
}

}  // namespace kit
