#include "codecs/deflate/InflateEngine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "codecs/archive/ArcErrors.h"
#include "codecs/deflate/Checksum.h"
#include "codecs/deflate/Crypt.h"
#include "codecs/deflate/DeflateEngine.h"
#include "codecs/deflate/DeflateTables.h"
#include "codecs/deflate/Logger.h"

namespace codecs {

// ---- bit input --------------------------------------------------------------------------------

TArcDfInBitStream::TArcDfInBitStream(framework::TStream* source, std::function<void(int32_t)> progress,
                                     int64_t expectedSize)
    : FSource(source), FProgress(std::move(progress)), FExpected(expectedSize) {}

void TArcDfInBitStream::OutOfData(const char* message) {
    throw EArcInternalInflateError(message);
}

void TArcDfInBitStream::FillBuffer() {
    int32_t n = FSource->Read(FBuffer, 16384);
    if (n <= 0) {
        FSourceEnded = true;
        FBufPos = FBufLen = 0;
        return;
    }
    FBufPos = 0;
    FBufLen = n;
    FBytesRead += n;
    if (FProgress && FExpected > 0)
        FProgress(static_cast<int32_t>(std::lround(static_cast<double>(FBytesRead) * 100.0 / FExpected)));
}

void TArcDfInBitStream::RefillSlow() {
    while (FBitCount < 56) {
        if (FBufPos < FBufLen) {
            FBits |= uint64_t(FBuffer[FBufPos++]) << FBitCount;
            FBitCount += 8;
        } else if (!FSourceEnded) {
            FillBuffer();
        } else {
            // Zero padding past the end of the source, counted so that it is never consumed.
            FBitCount += 8;
            FPadBits += 8;
        }
    }
}

uint32_t TArcDfInBitStream::ReadBits(int count) {
    if (count < 1 || count > 16)
        throw EArcInternalInflateError(
            "count of bits must be between 1 and 16 inclusive [TArcDfInBitStream.ReadBits]");
    Refill();
    uint32_t v = static_cast<uint32_t>(FBits & ((1u << count) - 1));
    Consume(count, "no more compressed data in stream [TArcDfInBitStream.ReadBits]");
    return v;
}

uint32_t TArcDfInBitStream::PeekBits(int count) {
    if (count < 1 || count > 32)
        throw EArcInternalInflateError(
            "count of bits must be between 1 and 32 inclusive [TArcDfInBitStream.DiscardBits]");
    Refill();
    return static_cast<uint32_t>(FBits & ((uint64_t(1) << count) - 1));
}

void TArcDfInBitStream::DiscardBits(int count) {
    ArcAssert(count <= FBitCount, "TArcDfInBitStream.DiscardBits: discarding more bits than peeked");
    Consume(count, "no more compressed data in stream [TArcDfInBitStream.DiscardBits]");
}

void TArcDfInBitStream::AlignToByte() {
    int drop = FBitCount & 7;
    if (drop) Consume(drop, "no more compressed data in stream [TArcDfInBitStream.ReadBit]");
}

void TArcDfInBitStream::ReadBuffer(uint8_t* dest, int32_t count) {
    ArcAssert((FBitCount & 7) == 0, "TArcDfInBitStream.ReadBuffer: must be byte aligned");
    // Whole bytes still in the bit buffer come first.
    while (count > 0 && FBitCount > 0) {
        *dest++ = static_cast<uint8_t>(FBits & 0xFF);
        Consume(8, "no more compressed data in stream [TArcDfInBitStream.ReadBuffer]");
        --count;
    }
    // The bit buffer is empty now: anything the fast refill left above the count is stale.
    FBits = 0;
    while (count > 0) {
        if (FBufPos == FBufLen) {
            if (FSourceEnded) OutOfData("no more compressed data in stream [TArcDfInBitStream.ReadBuffer]");
            FillBuffer();
            continue;
        }
        int32_t n = std::min(count, FBufLen - FBufPos);
        std::memcpy(dest, FBuffer + FBufPos, static_cast<size_t>(n));
        FBufPos += n;
        dest += n;
        count -= n;
    }
}

int64_t TArcDfInBitStream::BytesUsed() const {
    return FBytesRead - (FBufLen - FBufPos) - (FBitCount - FPadBits) / 8;
}

void TArcDfInBitStream::Close() {
    int64_t unused = (FBufLen - FBufPos) + (FBitCount - FPadBits) / 8;
    if (unused > 0) FSource->Seek(-unused, framework::soFromCurrent);
    FBufPos = FBufLen = 0;
    FBitCount = FPadBits = 0;
    FBits = 0;
}

// ---- Huffman decode tables --------------------------------------------------------------------

bool TArcDfDecodeHuffmanTree::Build(const uint8_t* lengths, int symbolCount) {
    int count[16] = {};
    for (int s = 0; s < symbolCount; ++s) ++count[lengths[s]];
    count[0] = 0;
    int left = 1;
    FMaxLength = 0;
    for (int len = 1; len <= 15; ++len) {
        left <<= 1;
        left -= count[len];
        if (left < 0) return false;
        if (count[len]) FMaxLength = len;
    }
    int next[16];
    int code = 0;
    for (int len = 1; len <= 15; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    FTable.assign(size_t(1) << FMaxLength, 0);
    FMask = (1u << FMaxLength) - 1;
    for (int s = 0; s < symbolCount; ++s) {
        int len = lengths[s];
        if (!len) continue;
        uint32_t c = static_cast<uint32_t>(next[len]++);
        uint32_t reversed = 0;
        for (int i = 0; i < len; ++i) reversed |= ((c >> i) & 1u) << (len - 1 - i);
        uint32_t entry = static_cast<uint32_t>(s) | (static_cast<uint32_t>(len) << 16);
        for (uint32_t i = reversed; i < FTable.size(); i += 1u << len) FTable[i] = entry;
    }
    return true;
}

namespace {

struct FixedTrees {
    TArcDfDecodeHuffmanTree Literal;
    TArcDfDecodeHuffmanTree Distance;
    FixedTrees() {
        uint8_t lit[288];
        std::fill(lit, lit + 144, 8);
        std::fill(lit + 144, lit + 256, 9);
        std::fill(lit + 256, lit + 280, 7);
        std::fill(lit + 280, lit + 288, 8);
        Literal.Build(lit, 288);
        uint8_t dist[32];
        std::fill(dist, dist + 32, 5);
        Distance.Build(dist, 32);
    }
};

const FixedTrees& Fixed() {
    static const FixedTrees trees;
    return trees;
}

// ---- output window ----------------------------------------------------------------------------

// Every decoded byte lands in one buffer that also serves as the history for matches. When the
// write point is reached the oldest part beyond one window is checksummed, written and dropped,
// so the buffer always holds a whole window behind the write position.
class TArcDfOutputWindow {
public:
    TArcDfOutputWindow(framework::TStream* dest, bool testOnly, int32_t stopAfter, bool crc, bool deflate64)
        : FDest(dest), FTestOnly(testOnly), FCrc(crc) {
        FWindow = deflate64 ? 65536 : 32768;
        FWritePoint = deflate64 ? 98304 : 65536;
        // Room behind the write point for the longest match.
        FBuffer.resize(static_cast<size_t>(FWritePoint) + (deflate64 ? 65538 : 258));
        FChecksum = crc ? 0xFFFFFFFFu : 1u;
        FStopAt = stopAfter > 0 ? std::min(stopAfter, FWritePoint) : 0;
    }

    uint8_t* Data() { return FBuffer.data(); }
    int32_t Pos() const { return FPos; }
    void SetPos(int32_t pos) { FPos = pos; }
    int32_t WritePoint() const { return FWritePoint; }
    // Position at which the decode loop must stop and call CheckStop and Slide.
    int32_t Limit() const { return FStopAt > 0 ? std::min(FStopAt, FWritePoint) : FWritePoint; }
    int64_t Produced() const { return FFlushed + FPos; }

    // Makes room for the next symbol: call when Pos() has reached WritePoint().
    void Slide() {
        if (FPos < FWritePoint) return;
        int32_t emit = FPos - FWindow;
        Emit(FBuffer.data(), emit);
        std::memmove(FBuffer.data(), FBuffer.data() + emit, static_cast<size_t>(FWindow));
        FPos = FWindow;
    }

    void CheckStop() {
        if (FStopAt > 0 && FPos >= FStopAt) {
            Emit(FBuffer.data(), FStopAt);
            FPos = 0;
            throw EArcPartSizedInflate("partial inflate reached its size");
        }
    }

    void AppendBytes(const uint8_t* data, int32_t count) {
        while (count > 0) {
            if (FPos >= FWritePoint) Slide();
            int32_t n = std::min(count, FWritePoint - FPos);
            std::memcpy(FBuffer.data() + FPos, data, static_cast<size_t>(n));
            FPos += n;
            data += n;
            count -= n;
            CheckStop();
        }
    }

    uint32_t Finish() {
        Emit(FBuffer.data(), FPos);
        FPos = 0;
        return FCrc ? ~FChecksum : FChecksum;
    }

private:
    void Emit(const uint8_t* data, int32_t count) {
        if (count <= 0) return;
        FChecksum = FCrc ? UpdateCRC32(FChecksum, data, static_cast<size_t>(count))
                         : UpdateAdler32(FChecksum, data, static_cast<size_t>(count));
        if (!FTestOnly && FDest->Write(data, count) != count)
            throw EArcInternalInflateError("could not write to the output stream [TArcDfOutputWindow]");
        FFlushed += count;
    }

    framework::TStream* FDest;
    bool FTestOnly;
    bool FCrc;
    std::vector<uint8_t> FBuffer;
    int32_t FWindow;
    int32_t FWritePoint;
    int32_t FPos = 0;
    int32_t FStopAt;
    int64_t FFlushed = 0;
    uint32_t FChecksum;
};

[[noreturn]] void Fail(const char* message) {
    throw EArcInternalInflateError(message);
}

// ---- block decoding ---------------------------------------------------------------------------

void InflateStoredBlock(TArcDfInBitStream& in, TArcDfOutputWindow& out) {
    in.AlignToByte();
    uint32_t len = in.ReadBits(16);
    uint32_t nlen = in.ReadBits(16);
    if ((len ^ 0xFFFF) != nlen)
        Fail("invalid stored block (length and NOT length do not match) [InflateStoredBlock]");
    uint8_t chunk[16384];
    while (len > 0) {
        int32_t n = static_cast<int32_t>(std::min<uint32_t>(len, sizeof chunk));
        in.ReadBuffer(chunk, n);
        out.AppendBytes(chunk, n);
        len -= static_cast<uint32_t>(n);
    }
}

void DecodeData(TArcDfInBitStream& in, TArcDfOutputWindow& out, const TArcDfDecodeHuffmanTree& lit,
                const TArcDfDecodeHuffmanTree& dist, bool deflate64) {
    uint8_t* const buf = out.Data();
    const int32_t limit = out.Limit();
    const int maxDistSymbol = deflate64 ? 31 : 29;
    int32_t pos = out.Pos();
    TArcDfInBitStream::State st = in.Save();
    const uint8_t* const input = in.Buffer();
    int32_t inputLen = in.BufLen();
    int pad = in.PadBits();
    auto refill = [&] {
        if (st.BitCount >= 56) return;
        if (inputLen - st.BufPos >= 8) {
            uint64_t v;
            std::memcpy(&v, input + st.BufPos, 8);
            st.Bits |= v << st.BitCount;
            int n = (63 - st.BitCount) >> 3;
            st.BufPos += n;
            st.BitCount += n * 8;
            return;
        }
        in.Restore(st);
        in.Refill();
        st = in.Save();
        inputLen = in.BufLen();
        pad = in.PadBits();
    };
    auto consume = [&](int n) {
        st.Bits >>= n;
        st.BitCount -= n;
        if (st.BitCount < pad) {
            in.Restore(st);
            in.OutOfData("no more compressed data in stream [TArcDfInBitStream.ReadBits]");
        }
    };
    auto fail = [&](const char* message) {
        in.Restore(st);
        Fail(message);
    };
    for (;;) {
        if (pos >= limit) {
            out.SetPos(pos);
            out.CheckStop();
            out.Slide();
            pos = out.Pos();
        }
        refill();
        uint32_t e = lit.Entry(st.Bits);
        int len = TArcDfDecodeHuffmanTree::LengthOf(e);
        if (len == 0) fail("decoded a literal/length code that has no symbol [DecodeData]");
        consume(len);
        int sym = TArcDfDecodeHuffmanTree::SymbolOf(e);
        if (sym < 256) {
            buf[pos++] = static_cast<uint8_t>(sym);
            continue;
        }
        if (sym == 256) break;
        if (sym > 285) fail("decoded an invalid length symbol: greater than 285 [DecodeData]");
        int32_t length;
        if (sym == 285 && deflate64) {
            length = 3 + static_cast<int32_t>(st.Bits & 0xFFFF);
            consume(16);
        } else {
            int extra = kLengthExtra[sym - 257];
            length = kLengthBase[sym - 257] + static_cast<int32_t>(st.Bits & ((1u << extra) - 1));
            consume(extra);
        }
        if (st.BitCount < 32) refill();
        uint32_t d = dist.Entry(st.Bits);
        int dlen = TArcDfDecodeHuffmanTree::LengthOf(d);
        if (dlen == 0) fail("decoded a distance code that has no symbol [DecodeData]");
        consume(dlen);
        int dsym = TArcDfDecodeHuffmanTree::SymbolOf(d);
        if (dsym > maxDistSymbol) fail("decoded an invalid distance symbol: greater than 29 [DecodeData]");
        int dextra = kDistanceExtra[dsym];
        int32_t distance =
            static_cast<int32_t>(kDistanceBase[dsym] + static_cast<uint32_t>(st.Bits & ((1u << dextra) - 1)));
        consume(dextra);
        if (distance > pos) fail("decoded a distance before the start of the output [DecodeData]");
        uint8_t* dst = buf + pos;
        const uint8_t* src = dst - distance;
        if (distance >= length) {
            std::memcpy(dst, src, static_cast<size_t>(length));
        } else if (distance == 1) {
            std::memset(dst, *src, static_cast<size_t>(length));
        } else {
            for (int32_t i = 0; i < length; ++i) dst[i] = src[i];
        }
        pos += length;
    }
    in.Restore(st);
    out.SetPos(pos);
    out.CheckStop();
}

void ReadLitDistCodeLengths(TArcDfInBitStream& in, const TArcDfDecodeHuffmanTree& codeTree, uint8_t* lengths,
                            int count) {
    int i = 0;
    while (i < count) {
        in.Refill();
        uint32_t e = codeTree.Entry(in.Bits());
        int len = TArcDfDecodeHuffmanTree::LengthOf(e);
        if (len == 0 || len > 7) Fail("decoded a code length out of range {ReadLitDistCodeLengths}");
        in.Consume(len, "no more compressed data in stream [TArcDfInBitStream.ReadBits]");
        int sym = TArcDfDecodeHuffmanTree::SymbolOf(e);
        if (sym > 18) Fail("decoded a symbol not between 0 and 18 {ReadLitDistCodeLengths}");
        if (sym < 16) {
            lengths[i++] = static_cast<uint8_t>(sym);
            continue;
        }
        uint8_t value = 0;
        int repeat;
        if (sym == 16) {
            if (i == 0) Fail("repeat of a previous code length with none before it {ReadLitDistCodeLengths}");
            value = lengths[i - 1];
            repeat = 3 + static_cast<int>(in.ReadBits(2));
        } else if (sym == 17) {
            repeat = 3 + static_cast<int>(in.ReadBits(3));
        } else {
            repeat = 11 + static_cast<int>(in.ReadBits(7));
        }
        if (i + repeat > count)
            Fail("code length repeat runs past the declared count {ReadLitDistCodeLengths}");
        std::fill(lengths + i, lengths + i + repeat, value);
        i += repeat;
    }
}

void InflateDynamicBlock(TArcDfInBitStream& in, TArcDfOutputWindow& out, bool deflate64) {
    int hlit = static_cast<int>(in.ReadBits(5)) + 257;
    int hdist = static_cast<int>(in.ReadBits(5)) + 1;
    int hclen = static_cast<int>(in.ReadBits(4)) + 4;
    if (hlit > 286) Fail("count of literal codes in dynamic block is greater than 286 [InflateDynamicBlock]");
    if (hdist > 30 && !deflate64)
        Fail("count of distance codes in dynamic block is greater than 30 [InflateDynamicBlock]");
    uint8_t codeLengths[19] = {};
    for (int i = 0; i < hclen; ++i) codeLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(in.ReadBits(3));
    TArcDfDecodeHuffmanTree codeTree;
    if (!codeTree.Build(codeLengths, 19))
        Fail("code length codes over-subscribe the code space [InflateDynamicBlock]");
    uint8_t lengths[286 + 32] = {};
    ReadLitDistCodeLengths(in, codeTree, lengths, hlit + hdist);
    TArcDfDecodeHuffmanTree lit, dist;
    if (!lit.Build(lengths, hlit))
        Fail("literal/length codes over-subscribe the code space [InflateDynamicBlock]");
    if (!dist.Build(lengths + hlit, hdist))
        Fail("distance codes over-subscribe the code space [InflateDynamicBlock]");
    DecodeData(in, out, lit, dist, deflate64);
}

}  // namespace

uint32_t Inflate(framework::TStream* source, framework::TStream* dest, TArcDeflateHelper* helper) {
    ArcAssert(source != nullptr, "Deflate: aSource stream cannot be nil");
    ArcAssert(dest != nullptr, "Deflate: aDest stream cannot be nil");
    TArcDeflateHelper settings;
    if (helper) settings.Assign(*helper);
    if (!settings.OnProgressPercent)
        settings.ExpectedSize = 0;
    else if (settings.ExpectedSize == -1)
        settings.ExpectedSize = static_cast<int32_t>(source->Size());
    const int64_t sourceStart = source->Position();

    std::unique_ptr<TArcLogger> log;
    if (!settings.LogPath.empty()) {
        log = std::make_unique<TArcLogger>(settings.LogPath);
        log->WriteLine("INFLATING STREAM...");
        log->WriteLine("Need to recompile the app with UseLogging turned on");
    }

    std::unique_ptr<TArcDfDecryptStream> decrypt;
    framework::TStream* input = source;
    if (!settings.PasswordText.empty()) {
        decrypt = std::make_unique<TArcDfDecryptStream>(source, settings.PasswordText, settings.VerifyValue);
        if (!decrypt->VerifyHeader())
            throw EArcInflatePasswordError("Inflate: stream is encrypted but passphrase is wrong");
        input = decrypt.get();
    }

    const int32_t options = settings.Options();
    const bool deflate64 = (options & dfoDeflate64) != 0;
    TArcDfInBitStream in(input, settings.OnProgressPercent, settings.ExpectedSize);
    TArcDfOutputWindow out(dest, (options & dfoTestOnly) != 0, settings.StopAfterBytes,
                           (options & dfoAdler32) == 0, deflate64);
    uint32_t result = 0;
    try {
        bool final = false;
        while (!final) {
            final = in.ReadBits(1) != 0;
            uint32_t type = in.ReadBits(2);
            switch (type) {
                case 0:
                    InflateStoredBlock(in, out);
                    break;
                case 1:
                    DecodeData(in, out, Fixed().Literal, Fixed().Distance, deflate64);
                    break;
                case 2:
                    InflateDynamicBlock(in, out, deflate64);
                    break;
                default:
                    Fail("starting new block, but invalid block type [Inflate]");
            }
        }
        int64_t produced = out.Produced();
        result = out.Finish();
        in.Close();
        if (helper) {
            helper->NormalCount = static_cast<int32_t>(produced);
            helper->CompressedCount = static_cast<int32_t>(source->Position() - sourceStart);
        }
    } catch (const EArcPartSizedInflate&) {
        return 0;
    } catch (const EArcAbortProgress&) {
        return 0;
    } catch (const EArcInternalInflateError& e) {
        if (log) log->WriteLine("Internal exception raised: " + e.Message);
        throw EArcInflateError(
            "Dravolin inflate error, possibly a corrupted compressed stream. (Internal cause: " + e.Message +
            ")");
    }
    return result;
}

}  // namespace codecs
