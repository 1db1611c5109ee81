// Reading and writing GIF data: header, frames, extensions, colour tables, and the LZW codes of the
// image data.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "codecs/gif/GIFImage.h"
#include "framework/core/Stream.h"
#include "platform/LittleEndian.h"

namespace codecs {

using namespace framework;

namespace {

void ReadExact(TStream& S, void* Buffer, int32_t Count) {
    if (Count > 0 && S.Read(Buffer, Count) != Count) RaiseGIFError("Premature end of data");
}

// -1 at the end of the stream.
int ReadByte(TStream& S) {
    uint8_t b;
    return S.Read(&b, 1) == 1 ? b : -1;
}

void WriteByte(TStream& S, uint8_t B) {
    S.WriteBuffer(&B, 1);
}

using platform::GetUInt16;
using platform::PutUInt16;

// Data sub-blocks into strings (each cut at its first 0 byte); the end of the stream ends the list.
void ReadSubBlocks(TStream& S, std::vector<std::string>& Lines) {
    Lines.clear();
    int size = ReadByte(S);
    while (size > 0) {
        std::string s(static_cast<size_t>(size), '\0');
        ReadExact(S, s.data(), size);
        s.resize(std::strlen(s.c_str()));
        Lines.push_back(std::move(s));
        size = ReadByte(S);
    }
}

void WriteSubBlocks(TStream& S, const std::vector<std::string>& Lines) {
    for (const std::string& line : Lines)
        for (size_t at = 0; at < line.size(); at += 255) {
            const size_t n = std::min<size_t>(255, line.size() - at);
            WriteByte(S, static_cast<uint8_t>(n));
            S.WriteBuffer(line.data() + at, static_cast<int32_t>(n));
        }
    WriteByte(S, 0);
}

void Skip(TStream& S, int64_t N) {
    if (N > 0) S.Seek(N, soFromCurrent);
}

// ---- LZW decoding ----

class TGIFDecoder {
public:
    TGIFDecoder(TGIFSubImage& F, TStream& S) : Frame(F), Stream(S) {}

    void Decode() {
        const int fill =
            Frame.HasTransparency && Frame.ControlBlock ? Frame.ControlBlock->TransparentIndex() : 0;
        Frame.AllocateData();
        std::fill(Frame.IndexData.begin(), Frame.IndexData.end(), static_cast<uint8_t>(fill));
        const int min = ReadByte(Stream);
        if (min < 0) return;
        // A clear code must fit the 4096-entry tables.
        if (min > 11) RaiseGIFError("Invalid GIF data");
        MinSize = min;
        Clear = 1 << min;
        End = Clear + 1;
        Limit = 2 * Clear;
        NextFree = Clear + 2;
        Width = min + 1;
        const int w = Frame.Width, h = Frame.Height;
        uint8_t* px = Frame.IndexData.data();
        if (!Frame.IsInterlaced()) {
            const int64_t n = int64_t(w) * h;
            for (int64_t i = 0; i < n; ++i) {
                const int v = ReadPixel();
                if (v < 0) break;
                px[i] = static_cast<uint8_t>(v);
            }
        } else {
            static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
            int pass = 0, row = 0;
            bool stop = false;
            for (int n = 0; n < h && !stop; ++n) {
                for (int x = 0; x < w; ++x) {
                    const int v = ReadPixel();
                    if (v < 0) {
                        stop = true;
                        break;
                    }
                    px[static_cast<size_t>(row) * w + x] = static_cast<uint8_t>(v);
                }
                row += step[pass];
                while (row >= h && pass < 3) row = start[++pass];
            }
        }
        ReadPixel();
    }

private:
    int GetCode() {
        if (FirstCall) {
            FirstCall = false;
            return Clear;
        }
        if (BitPos + Width >= BitCount) {
            if (DataFinished) {
                if (BitPos >= BitCount) Frame.Warning(1, "Decoder bit buffer under-run");
                return -1;
            }
            Buffer[0] = Buffer[LastCount - 2];
            Buffer[1] = Buffer[LastCount - 1];
            int size = ReadByte(Stream);
            if (size < 0) return -1;
            if (size == 0) {
                DataFinished = TerminatorSeen = true;
            } else {
                const int64_t left = Stream.Size() - Stream.Position();
                if (size > left) {
                    Frame.Warning(1, "Premature end of data");
                    size = static_cast<int>(std::max<int64_t>(0, left));
                }
                ReadExact(Stream, Buffer + 2, size);
            }
            BitPos = BitPos - BitCount + 16;
            BitCount = (size + 2) * 8;
            LastCount = size + 2;
        }
        const int first = BitPos / 8, last = (BitPos + Width) / 8;
        uint32_t v = 0;
        for (int i = last; i >= first; --i) v = (v << 8) | Buffer[i];
        v >>= BitPos % 8;
        BitPos += Width;
        return static_cast<int>(v & ((1u << Width) - 1));
    }

    void Push(int V) {
        // Only a prefix chain that loops through several entries fills the stack.
        if (Top >= static_cast<int>(sizeof(Stack) / sizeof(Stack[0]))) RaiseGIFError("Invalid GIF data");
        Stack[Top++] = V;
    }

    int NextSymbol() {
        int code = GetCode();
        if (code < 0) return code;
        if (code == Clear) {
            for (int i = 0; i < Clear; ++i) Prefix[i] = 0, Suffix[i] = i;
            for (int i = Clear; i < 4096; ++i) Prefix[i] = Suffix[i] = 0;
            Width = MinSize + 1;
            Limit = 2 * Clear;
            NextFree = Clear + 2;
            Top = 0;
            do code = GetCode();
            while (code == Clear);
            if (code < 0) return code;
            FirstCode = OldCode = code;
            return code;
        }
        if (code == End) {
            if (TerminatorSeen) return -2;
            for (int size = ReadByte(Stream); size > 0; size = ReadByte(Stream)) Skip(Stream, size);
            TerminatorSeen = true;
            return -2;
        }
        const int incoming = code;
        if (code >= NextFree) {
            Push(FirstCode);
            code = OldCode;
        }
        while (code >= Clear) {
            Push(Suffix[code]);
            if (Prefix[code] == code) RaiseGIFError("Circular decoder table entry");
            code = Prefix[code];
        }
        FirstCode = Suffix[code];
        Push(FirstCode);
        if (NextFree <= 4095) {
            Prefix[NextFree] = OldCode;
            Suffix[NextFree] = FirstCode;
            ++NextFree;
            if (NextFree >= Limit && Limit <= 4095) {
                Limit *= 2;
                ++Width;
            }
        }
        OldCode = incoming;
        return Stack[--Top];
    }

    int ReadPixel() { return Top > 0 ? Stack[--Top] : NextSymbol(); }

    TGIFSubImage& Frame;
    TStream& Stream;
    int MinSize = 0, Clear = 0, End = 0, Limit = 0, NextFree = 0, Width = 0;
    int Prefix[4096] = {}, Suffix[4096] = {}, Stack[8192] = {};
    int Top = 0, FirstCode = 0, OldCode = 0;
    uint8_t Buffer[264] = {};
    int BitPos = 0, BitCount = 0, LastCount = 2;
    bool FirstCall = true, DataFinished = false, TerminatorSeen = false;
};

// ---- Encoding ----

// What both encoders share: pixels in the order they are written, codes packed from the lowest
// bit into sub-blocks of at most 255 bytes.
class TGIFEncoder {
public:
    explicit TGIFEncoder(TStream& S) : Stream(S) {}
    virtual ~TGIFEncoder() = default;

    void Encode(int Bits, int ColorLimit, const uint8_t* Pixels, bool Interlaced, int H, int W) {
        Bits = std::max(2, Bits);
        WriteByte(Stream, static_cast<uint8_t>(Bits));
        BitsPerPixel = Bits;
        InitWidth = CurWidth = Bits + 1;
        MaxCode = (1 << CurWidth) - 1;
        ClearCode = 1 << Bits;
        EndCode = ClearCode + 1;
        BaseCode = ClearCode + 2;
        Limit = ColorLimit;
        if (Pixels && W > 0 && H > 0) {
            Order.clear();
            if (Interlaced) {
                static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
                for (int p = 0; p < 4; ++p)
                    for (int r = start[p]; r < H; r += step[p])
                        Order.push_back(Pixels + static_cast<size_t>(r) * W);
            } else {
                for (int r = 0; r < H; ++r) Order.push_back(Pixels + static_cast<size_t>(r) * W);
            }
            Width = W;
            EncodePixels();
        }
        EmitCode(EndCode);
        Flush();
        WriteByte(Stream, 0);
    }

protected:
    virtual void EncodePixels() = 0;

    // Every pixel in write order; a pixel not below the colour limit is refused.
    template <class F>
    void ForEachPixel(F Each) {
        for (const uint8_t* row : Order)
            for (int x = 0; x < Width; ++x) {
                if (row[x] >= Limit) RaiseGIFError("Color not in color table");
                Each(row[x]);
            }
    }

    void EmitCode(int Code) {
        Bucket = BitsHeld
                     ? (static_cast<uint64_t>(Code) << BitsHeld) | (Bucket & ((uint64_t(1) << BitsHeld) - 1))
                     : static_cast<uint64_t>(Code);
        BitsHeld += CurWidth;
        while (BitsHeld > 7) {
            PutByte(static_cast<uint8_t>(Bucket));
            Bucket >>= 8;
            BitsHeld -= 8;
        }
        if (Code == EndCode)
            while (BitsHeld > 0) {
                PutByte(static_cast<uint8_t>(Bucket));
                Bucket >>= 8;
                BitsHeld = std::max(0, BitsHeld - 8);
            }
    }

    TStream& Stream;
    int BitsPerPixel = 0, InitWidth = 0, CurWidth = 0, MaxCode = 0, ClearCode = 0, EndCode = 0, BaseCode = 0;
    int Limit = 256;
    bool ClearFlag = false;

private:
    void PutByte(uint8_t B) {
        Block[++Held] = B;
        if (Held == 255) Flush();
    }
    void Flush() {
        if (!Held) return;
        Block[0] = static_cast<uint8_t>(Held);
        Stream.WriteBuffer(Block, Held + 1);
        Held = 0;
    }

    std::vector<const uint8_t*> Order;
    int Width = 0;
    uint64_t Bucket = 0;
    int BitsHeld = 0;
    uint8_t Block[256] = {};
    int Held = 0;
};

// LZW: (prefix code, pixel) pairs found through an open-addressed hash table of 8009 slots.
class TLZWEncoder : public TGIFEncoder {
public:
    using TGIFEncoder::TGIFEncoder;

protected:
    void EncodePixels() override {
        EmitClear();
        int prefix = -1;
        ForEachPixel([&](int Px) {
            if (prefix < 0) {
                prefix = Px;
                return;
            }
            const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(Px);
            const int code = FindKey(key);
            if (code >= 0) {
                prefix = code;
                return;
            }
            EmitLZW(prefix);
            prefix = Px;
            if (NextFree > 4094) {
                EmitClear();
            } else {
                InsertKey(key, NextFree);
                ++NextFree;
            }
        });
        EmitLZW(prefix);
    }

private:
    static constexpr int HashSize = 8009;
    static constexpr uint32_t Free = 0xFFFFF000u;

    static int HashSlot(uint32_t Key) { return static_cast<int>((Key ^ (Key >> 4)) % HashSize); }
    static int NextHashSlot(int Slot) {
        int s = Slot == 0 ? -1 : Slot - (HashSize - Slot);
        return s < 0 ? s + HashSize : s;
    }
    void InsertKey(uint32_t Key, int Code) {
        int s = HashSlot(Key);
        while (Table[s] < Free) s = NextHashSlot(s);
        Table[s] = (Key << 12) | (static_cast<uint32_t>(Code) & 0xFFF);
    }
    int FindKey(uint32_t Key) const {
        for (int s = HashSlot(Key); Table[s] < Free; s = NextHashSlot(s))
            if ((Table[s] >> 12) == Key) return static_cast<int>(Table[s] & 0xFFF);
        return -1;
    }

    void EmitClear() {
        ClearFlag = true;
        EmitLZW(ClearCode);
        std::fill(std::begin(Table), std::end(Table), 0xFFFFFFFFu);
        NextFree = ClearCode + 2;
    }

    // The code, then the width the decoder will read the next one with.
    void EmitLZW(int Code) {
        EmitCode(Code);
        if (ClearFlag) {
            CurWidth = InitWidth;
            MaxCode = (1 << CurWidth) - 1;
            ClearFlag = false;
        } else if (NextFree > MaxCode) {
            ++CurWidth;
            MaxCode = CurWidth == 12 ? 4096 : (1 << CurWidth) - 1;
        }
    }

    int NextFree = 0;
    uint32_t Table[HashSize] = {};
};

// Runs of one pixel value written as codes a standard LZW decoder accepts: after a clear the
// decoder's table fills with runs of 2, 3, 4 … of the pixel that follows, so that a run is written
// as a few codes of growing length, or through the table built for its pixel.
class TRLEEncoder : public TGIFEncoder {
public:
    using TGIFEncoder::TGIFEncoder;

protected:
    void EncodePixels() override {
        InitBump = ClearCode - 1;
        InitClearPoint = BitsPerPixel > 3 ? ClearCode - 2 : 9;
        MostCodes = 4095 - BaseCode;
        EmitClear();
        int count = 0;
        RunPixel = -1;
        ForEachPixel([&](int Px) {
            if (count > 0 && Px != RunPixel) {
                FlushRun(count);
                count = 0;
            }
            if (Px == RunPixel) {
                ++count;
            } else {
                RunPixel = Px;
                count = 1;
            }
        });
        if (count > 0) FlushRun(count);
    }

private:
    void EmitClear() {
        BumpPoint = InitBump;
        ClearPoint = InitClearPoint;
        Written = 0;
        LargestRun = 0;
        ClearFlag = true;
        EmitCode(ClearCode);
        CurWidth = InitWidth;
    }

    // One code; the width follows the decoder's, and the table is cleared at the clear point.
    void Output(int Code) {
        ClearFlag = false;
        EmitCode(Code);
        ++Written;
        if (Written == BumpPoint) {
            BumpPoint += 1 << CurWidth;
            ++CurWidth;
        }
        if (Written >= ClearPoint) EmitClear();
    }

    void RestoreClearPoint() {
        ClearPoint = InitClearPoint;
        if (Written >= ClearPoint) EmitClear();
    }

    void FlushRun(int Count) {
        if (Count == 1)
            Output(RunPixel);
        else if (Written == 0)
            FlushFromClear(Count);
        else if (LargestRun > 1 && TablePixel == RunPixel)
            FlushWithTable(Count);
        else
            FlushByClearOrRepetition(Count);
    }

    // Builds the decoder's table of runs of the run pixel while writing the run.
    void FlushFromClear(int Count) {
        ClearPoint = MostCodes;
        TablePixel = RunPixel;
        int n = 1;
        while (Count > 0) {
            if (n == 1) {
                LargestRun = 1;
                Output(RunPixel);
                Count -= 1;
            } else if (Count >= n) {
                LargestRun = n;
                Output(BaseCode + n - 2);
                Count -= n;
            } else {
                ++LargestRun;
                Output(Count == 1 ? RunPixel : BaseCode + Count - 2);
                Count = 0;
            }
            n = Written == 0 ? 1 : n + 1;
        }
        RestoreClearPoint();
    }

    void FlushByClearOrRepetition(int Count) {
        if (1 + TriangleCost(Count, MostCodes) < Count) {
            EmitClear();
            FlushFromClear(Count);
        } else {
            for (int i = 0; i < Count; ++i) Output(RunPixel);
        }
    }

    void FlushWithTable(int Count) {
        int repeats = Count / LargestRun, leftover = Count % LargestRun;
        int extra = leftover > 0 ? 1 : 0;
        if (Written + repeats + extra > MostCodes) {
            repeats = MostCodes - Written;
            leftover = Count - repeats * LargestRun;
            extra = 1 + TriangleCost(leftover, MostCodes);
        }
        if (1 + TriangleCost(Count, MostCodes) < repeats + extra) {
            EmitClear();
            FlushFromClear(Count);
            return;
        }
        ClearPoint = MostCodes;
        const int longest = LargestRun;
        for (int i = 0; i < repeats; ++i) Output(BaseCode + longest - 2);
        if (leftover > 0) {
            if (Written == 0)
                FlushFromClear(leftover);
            else
                Output(leftover == 1 ? RunPixel : BaseCode + leftover - 2);
        }
        RestoreClearPoint();
    }

    // Codes needed to write a run of Count from an empty table: 1 + 2 + … + n covers n(n+1)/2 pixels,
    // and Codes codes at most fit between clears.
    static int TriangleCost(int Count, int Codes) {
        const int64_t per = int64_t(Codes) * (Codes + 1) / 2;
        int cost = 0;
        int64_t left = Count;
        while (left >= per) {
            cost += Codes;
            left -= per;
        }
        if (left > 0) {
            int64_t n = static_cast<int64_t>(std::sqrt(static_cast<double>(2 * left)));
            while (n > 0 && (n - 1) * n >= 2 * left) --n;
            while (n * (n + 1) < 2 * left) ++n;
            cost += static_cast<int>(n);
        }
        return cost;
    }

    int InitBump = 0, BumpPoint = 0, InitClearPoint = 0, ClearPoint = 0, MostCodes = 0;
    int Written = 0, LargestRun = 0, TablePixel = -1, RunPixel = -1;
};

// ---- Extension kinds ----

TGIFExtension* NewExtension(TStream& S, TGIFSubImage* Frame) {
    const int64_t at = S.Position();
    uint8_t head[2];
    ReadExact(S, head, 2);
    TGIFExtension* e = nullptr;
    switch (head[1]) {
        case 0x01:
            e = new TGIFTextExtension(Frame);
            break;
        case 0xF9:
            e = new TGIFGraphicControlExtension(Frame);
            break;
        case 0xFE:
            e = new TGIFCommentExtension(Frame);
            break;
        case 0xFF: {
            // The identifier picks the kind: the loop extension, or data kept as it is.
            uint8_t ident[12];
            bool loop = false;
            if (S.Read(ident, 12) == 12 && ident[0] == 11)
                loop = std::memcmp(ident + 1, "NETSCAPE2.0", 11) == 0 ||
                       std::memcmp(ident + 1, "ANIMEXTS1.0", 11) == 0;
            if (loop)
                e = new TGIFAppExtNSLoop(Frame);
            else
                e = new TGIFUnknownAppExtension(Frame);
            break;
        }
        default:
            S.SetPosition(at);
            RaiseGIFError("Unknown extension type");
    }
    S.SetPosition(at);
    return e;
}

}  // namespace

void TGIFExtension::LoadFromStream(TStream& Stream) {
    uint8_t head[2];
    ReadExact(Stream, head, 2);
    if (head[0] != 0x21) RaiseGIFError("Invalid extension introducer");
    if (head[1] != BlockLabel())
        RaiseGIFError("Internal error: Extension Instance does not match Extension Label");
    ReadBody(Stream);
}

void TGIFGraphicControlExtension::ReadBody(TStream& Stream) {
    uint8_t b[6] = {};
    if (Stream.Read(b, 6) < 6) {
        Warning(1, "Premature end of data");
        return;
    }
    BlockSize = b[0];
    Packed = b[1];
    Delay = GetUInt16(b + 2);
    TransparentColorIndex = b[4];
    Terminator = b[5];
    if (Packed & 1) HostFrame->HasTransparency = true;
}

void TGIFGraphicControlExtension::WriteBody(TStream& Stream) {
    uint8_t b[6] = {BlockSize, Packed, 0, 0, TransparentColorIndex, Terminator};
    PutUInt16(b + 2, Delay);
    Stream.WriteBuffer(b, 6);
}

void TGIFTextExtension::ReadBody(TStream& Stream) {
    uint8_t b[13];
    ReadExact(Stream, b, 13);
    BlockSize = b[0];
    TextLeft = GetUInt16(b + 1);
    TextTop = GetUInt16(b + 3);
    TextWidth = GetUInt16(b + 5);
    TextHeight = GetUInt16(b + 7);
    CellWidth = b[9];
    CellHeight = b[10];
    ForegroundIndex = b[11];
    BackgroundIndex = b[12];
    ReadSubBlocks(Stream, TextLines);
}

void TGIFTextExtension::WriteBody(TStream& Stream) {
    uint8_t b[13] = {BlockSize};
    PutUInt16(b + 1, TextLeft);
    PutUInt16(b + 3, TextTop);
    PutUInt16(b + 5, TextWidth);
    PutUInt16(b + 7, TextHeight);
    b[9] = CellWidth;
    b[10] = CellHeight;
    b[11] = ForegroundIndex;
    b[12] = BackgroundIndex;
    Stream.WriteBuffer(b, 13);
    WriteSubBlocks(Stream, TextLines);
}

void TGIFCommentExtension::ReadBody(TStream& Stream) {
    ReadSubBlocks(Stream, CommentLines);
}

void TGIFCommentExtension::WriteBody(TStream& Stream) {
    WriteSubBlocks(Stream, CommentLines);
}

void TGIFApplicationExtension::ReadBody(TStream& Stream) {
    const int size = ReadByte(Stream);
    if (size < 0) RaiseGIFError("Premature end of data");
    if (size < 11 && size != 10) RaiseGIFError("Unsupported Application Extension block size");
    ReadExact(Stream, AppIdent.data(), 11);
    Stream.Seek(size - 11, soFromCurrent);
    ReadAppData(Stream);
}

void TGIFApplicationExtension::WriteBody(TStream& Stream) {
    WriteByte(Stream, 11);
    Stream.WriteBuffer(AppIdent.data(), 11);
    WriteAppData(Stream);
}

void TGIFUnknownAppExtension::ReadAppData(TStream& Stream) {
    DataBlocks.clear();
    for (int size = ReadByte(Stream); size > 0; size = ReadByte(Stream)) {
        TGIFBlock b;
        b.Data.resize(static_cast<size_t>(size));
        ReadExact(Stream, b.Data.data(), size);
        DataBlocks.push_back(std::move(b));
    }
}

void TGIFUnknownAppExtension::WriteAppData(TStream& Stream) {
    for (const TGIFBlock& b : DataBlocks) {
        WriteByte(Stream, static_cast<uint8_t>(b.Data.size()));
        Stream.WriteBuffer(b.Data.data(), static_cast<int32_t>(b.Data.size()));
    }
    WriteByte(Stream, 0);
}

void TGIFAppExtNSLoop::ReadAppData(TStream& Stream) {
    // The end of the stream inside the block ends the block.
    for (;;) {
        const int a = ReadByte(Stream);
        if (a <= 0) return;
        const int k = ReadByte(Stream);
        if (k < 0) return;
        uint8_t b[4];
        if ((k & 7) == 1) {
            if (a < 3) RaiseGIFError("Invalid GIF data");
            ReadExact(Stream, b, 2);
            LoopCount = GetUInt16(b);
            Skip(Stream, a - 3);
        } else if ((k & 7) == 2) {
            if (a < 5) RaiseGIFError("Invalid GIF data");
            ReadExact(Stream, b, 4);
            BufferBytes = platform::GetUInt32(b);
            Skip(Stream, a - 5);
        } else {
            Skip(Stream, a - 1);
        }
    }
}

void TGIFAppExtNSLoop::WriteAppData(TStream& Stream) {
    uint8_t loop[4] = {3, 1, 0, 0};
    PutUInt16(loop + 2, LoopCount);
    Stream.WriteBuffer(loop, 4);
    if (BufferBytes) {
        uint8_t b[6] = {5, 2};
        for (int i = 0; i < 4; ++i) b[2 + i] = static_cast<uint8_t>(BufferBytes >> (8 * i));
        Stream.WriteBuffer(b, 6);
    }
    WriteByte(Stream, 0);
}

// ---- Header, frames, trailer ----

void TGIFHeader::LoadFromStream(TStream& Stream) {
    const int64_t at = Stream.Position();
    auto isGIF = [](const uint8_t* s) {
        return std::toupper(s[0]) == 'G' && std::toupper(s[1]) == 'I' && std::toupper(s[2]) == 'F';
    };
    uint8_t sig[6];
    ReadExact(Stream, sig, 6);
    if (!isGIF(sig)) {
        Stream.SetPosition(at + 4);
        ReadExact(Stream, sig, 6);
        if (!isGIF(sig)) RaiseGIFError("Invalid GIF signature");
    }
    uint8_t d[7];
    ReadExact(Stream, d, 7);
    LogicalWidth = GetUInt16(d);
    LogicalHeight = GetUInt16(d + 2);
    Packed = d[4];
    BackgroundIndex = d[5];
    AspectRatio = d[6];
    // The composite of a screen beyond the picture limit could not be made.
    if (int64_t(LogicalWidth) * LogicalHeight > MaxGIFPixels) RaiseGIFError("Invalid GIF data");
    if (Packed & 0x80)
        ColorMap.ReadColors(Stream, 2 << (Packed & 7));
    else
        ColorMap.ClearColors();
}

void TGIFHeader::SaveToStream(TStream& Stream) {
    const int version = FileVersion();
    if (version == 0) RaiseGIFError("Unsupported GIF version");
    Stream.WriteBuffer(version >= 2 ? "GIF89a" : "GIF87a", 6);
    // The size bits give the largest depth of all maps; the global table is padded to it, and frames
    // without a table of their own are encoded at that depth.
    RebuildScreenFields();
    uint8_t d[7];
    PutUInt16(d, LogicalWidth);
    PutUInt16(d + 2, LogicalHeight);
    d[4] = Packed;
    d[5] = BackgroundIndex;
    d[6] = AspectRatio;
    Stream.WriteBuffer(d, 7);
    if (Packed & 0x80) ColorMap.WriteColors(Stream, 1 << Image->MaxBitDepth());
}

void TGIFTrailer::LoadFromStream(TStream& Stream) {
    const int b = ReadByte(Stream);
    if (b >= 0 && b != 0x3B) Warning(1, "Invalid Image trailer");
}

void TGIFSubImage::LoadFromStream(TStream& Stream) {
    ResetFrame();
    // The extensions in front of the image.
    int b = ReadByte(Stream);
    while (b >= 0 && b != 0x2C && b != 0x3B) {
        if (b != 0x21) {
            Warning(1, "Invalid extension introducer");
            break;
        }
        Stream.Seek(-1, soFromCurrent);
        std::unique_ptr<TGIFExtension> e(NewExtension(Stream, this));
        e->LoadFromStream(Stream);
        ExtensionItems.AppendEntry(e.release());
        b = ReadByte(Stream);
    }
    if (b < 0) return;
    Stream.Seek(-1, soFromCurrent);
    if (b == 0x3B || b == 0x00) return;
    uint8_t d[10];
    ReadExact(Stream, d, 10);
    Separator = d[0];
    Left = GetUInt16(d + 1);
    Top = GetUInt16(d + 3);
    Width = GetUInt16(d + 5);
    Height = GetUInt16(d + 7);
    Packed = d[9];
    if (Width == 0 || Height == 0) {
        Width = Image->ScreenHeader.LogicalWidth;
        Height = Image->ScreenHeader.LogicalHeight;
        Warning(1, "Image exceeds Logical Screen size");
    }
    // Each frame, and all frames together, within the picture size limit: a small file cannot ask
    // for more memory than a large picture needs.
    int64_t total = int64_t(Width) * Height;
    for (int i = 0; i < Image->Frames.EntryCount(); ++i) total += Image->Frames.Frame(i)->IndexDataSize;
    if (int64_t(Width) * Height > MaxGIFPixels || total > MaxGIFImagePixels)
        RaiseGIFError("Invalid GIF data");
    if (Packed & 0x80) LocalMap.ReadColors(Stream, 2 << (Packed & 7));
    TGIFDecoder(*this, Stream).Decode();
    if (RenderWhileLoading) RenderedBitmap();
}

void TGIFSubImage::SaveToStream(TStream& Stream) {
    ExtensionItems.SaveToStream(Stream);
    if (IsBlank()) return;
    RebuildFrameFields();
    uint8_t d[10] = {Separator};
    PutUInt16(d + 1, Left);
    PutUInt16(d + 3, Top);
    PutUInt16(d + 5, Width);
    PutUInt16(d + 7, Height);
    d[9] = Packed;
    Stream.WriteBuffer(d, 10);
    LocalMap.WriteColors(Stream);
    int bits, limit;
    if (LocalMap.ColorCount > 0) {
        bits = LocalMap.BitDepth();
        limit = LocalMap.ColorCount;
    } else {
        bits = std::max(1, Image->MaxBitDepth());
        limit = 1 << bits;
    }
    std::unique_ptr<TGIFEncoder> enc;
    if (Image->CompressionKind == ckRunLength)
        enc = std::make_unique<TRLEEncoder>(Stream);
    else
        enc = std::make_unique<TLZWEncoder>(Stream);
    enc->Encode(bits, limit, IndexData.data(), IsInterlaced(), Height, Width);
}

// ---- The image ----

void TGIFImage::LoadFromStream(TStream& Stream) {
    const TRect none{};
    Progress(this, psStarting, 0, false, none, "Loading...");
    ResetImage();
    const int64_t at = Stream.Position();
    try {
        ScreenHeader.LoadFromStream(Stream);
        const int64_t size = Stream.Size();
        int b = ReadByte(Stream);
        while (b == 0) b = ReadByte(Stream);
        while (b >= 0 && b != 0x3B) {
            Stream.Seek(-1, soFromCurrent);
            if (b == 0x21 || b == 0x2C) {
                auto f = std::make_unique<TGIFSubImage>(this);
                f->LoadFromStream(Stream);
                Frames.AppendEntry(f.release());
                const int pct = size > 0 ? static_cast<int>((Stream.Position() * 100 + size / 2) / size) : 0;
                Progress(this, psRunning, static_cast<uint8_t>(std::clamp(pct, 0, 100)), RenderWhileLoading,
                         none, "Loading...");
            } else {
                Frames.Warning(1, "Unknown GIF block type");
                Stream.Seek(-1, soFromCurrent);
                break;
            }
            b = ReadByte(Stream);
            while (b == 0) b = ReadByte(Stream);
        }
        if (b == 0x3B) Stream.Seek(-1, soFromCurrent);
        TGIFTrailer(this).LoadFromStream(Stream);
    } catch (...) {
        Stream.SetPosition(at);
        Progress(this, psEnding, 0, true, none, "Loading...");
        throw;
    }
    Progress(this, psEnding, 100, true, none, "Loading...");
}

void TGIFImage::SaveToStream(TStream& Stream) {
    const TRect none{};
    Progress(this, psStarting, 0, false, none, "Saving...");
    try {
        ScreenHeader.SaveToStream(Stream);
        const int n = Frames.EntryCount();
        for (int i = 0; i < n; ++i) {
            Frames.Frame(i)->SaveToStream(Stream);
            Progress(this, psRunning, static_cast<uint8_t>((i + 1) * 100 / n), false, none, "Saving...");
        }
        TGIFTrailer(this).SaveToStream(Stream);
    } catch (...) {
        Progress(this, psEnding, 0, true, none, "Saving...");
        throw;
    }
    Progress(this, psEnding, 100, true, none, "Saving...");
}

}  // namespace codecs
