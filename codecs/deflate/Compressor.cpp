// The compressing half of the stream engine: LZ77 over a sliding window with hash chains and
// lazy evaluation, a record buffer that decides where blocks end, and per-block choice between
// stored, static and dynamic Huffman coding.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/deflate/Checksum.h"
#include "codecs/deflate/Crypt.h"
#include "codecs/deflate/DeflateEngine.h"
#include "codecs/deflate/DeflateTables.h"
#include "codecs/deflate/Huffman.h"
#include "codecs/deflate/Logger.h"

namespace codecs {

namespace {

[[noreturn]] void WriteFailed() {
    throw EArcInternalDeflateError("could not write to the output atream [TArcDfInBitStream.obsEmptyBuffer]");
}

// ---- bit output -------------------------------------------------------------------------------

class TArcDfOutBitStream {
public:
    explicit TArcDfOutBitStream(framework::TStream* dest) : FDest(dest) {}

    void WriteBits(uint32_t bits, int count) {
        FBits |= uint64_t(bits) << FBitCount;
        FBitCount += count;
        if (FBitCount >= 32) {
            uint32_t word = static_cast<uint32_t>(FBits);
            for (int i = 0; i < 4; ++i) FBuffer[FUsed++] = static_cast<uint8_t>(word >> (8 * i));
            FBits >>= 32;
            FBitCount -= 32;
            if (FUsed > kSize - 4) EmptyBuffer();
        }
    }
    void AlignToByte() { FBitCount = (FBitCount + 7) & ~7; }
    void WriteBuffer(const uint8_t* data, int32_t count) {
        ArcAssert((FBitCount & 7) == 0, "TArcDfOutBitStream.WriteBuffer: must be byte aligned");
        PendingBytes();
        EmptyBuffer();
        if (count > 0 && FDest->Write(data, count) != count) WriteFailed();
        FWritten += count;
    }
    // Writes the last partial byte, zero-padded, and everything buffered.
    void Finish() {
        AlignToByte();
        PendingBytes();
        EmptyBuffer();
    }
    int64_t Written() const { return FWritten + FUsed; }

private:
    static constexpr int kSize = 16384;
    void PendingBytes() {
        while (FBitCount > 0) {
            FBuffer[FUsed++] = static_cast<uint8_t>(FBits);
            FBits >>= 8;
            FBitCount -= 8;
            if (FUsed == kSize) EmptyBuffer();
        }
        FBitCount = 0;
    }
    void EmptyBuffer() {
        if (FUsed > 0 && FDest->Write(FBuffer, FUsed) != FUsed) WriteFailed();
        FWritten += FUsed;
        FUsed = 0;
    }

    framework::TStream* FDest;
    uint8_t FBuffer[kSize];
    int32_t FUsed = 0;
    uint64_t FBits = 0;
    int FBitCount = 0;
    int64_t FWritten = 0;
};

// ---- input window -----------------------------------------------------------------------------

constexpr int kHashSize = 16384;
constexpr int kSlidePoint = 16384;

// Positions in the hash tables are absolute offsets from the start of the run, so sliding the
// buffer never rewrites them; a candidate is usable while it lies inside the window.
class TArcDfInputWindow {
public:
    TArcDfInputWindow(framework::TStream* source, bool adler, bool deflate64, int32_t chainLimit,
                      int32_t windowBytes, int64_t expectedSize, std::function<void(int32_t)> progress)
        : FSource(source),
          FAdler(adler),
          FChainLimit(chainLimit),
          FExpected(expectedSize),
          FProgress(std::move(progress)) {
        FWindow = windowBytes;
        FMaxMatch = deflate64 ? 65536 : 258;
        FBuffer.resize(static_cast<size_t>(FWindow) + kSlidePoint + (deflate64 ? 65536 : 258));
        FHead.assign(kHashSize, -1);
        FPrev.assign(static_cast<size_t>(FWindow), -1);
        FChecksum = adler ? 1u : 0xFFFFFFFFu;
        Fill();
    }

    int32_t Lookahead() const { return FEnd - FCur; }
    uint8_t ByteAt(int32_t offset) const { return FBuffer[size_t(FCur + offset)]; }
    int64_t Absolute() const { return FBase + FCur; }
    uint32_t Checksum() const { return FAdler ? FChecksum : ~FChecksum; }
    void SetChainLimit(int32_t limit) { FChainLimit = limit; }

    // Longest match at the current position that is longer than `pending` (inserting the position
    // into its chain first). Returns its length, 0 when none.
    int32_t LongestMatch(int32_t pending, int32_t sufficient, int32_t& distance) {
        Insert(FCur);
        FCurInserted = true;
        int32_t usable = std::min(Lookahead(), FMaxMatch);
        if (usable < 3 || (pending > 0 && usable < pending)) return 0;
        sufficient = std::min(sufficient, usable);
        int32_t best = pending > 0 ? pending : 2;
        int32_t limit = best >= sufficient ? FChainLimit / 4 : FChainLimit;
        const int64_t here = FBase + FCur;
        const int64_t lowest = std::max(FBase, here - FWindow);
        const uint8_t* q = FBuffer.data() + FCur;
        int64_t last = here;
        int64_t cand = FPrev[size_t(here & (FWindow - 1))];
        while (cand >= lowest && cand < last && limit-- > 0 && best < usable) {
            const uint8_t* p = FBuffer.data() + (cand - FBase);
            if (p[best] == q[best] && p[best - 1] == q[best - 1] && p[0] == q[0] && p[1] == q[1]) {
                int32_t len = 2;
                while (len + 4 <= usable) {
                    uint32_t a, b;
                    std::memcpy(&a, p + len, 4);
                    std::memcpy(&b, q + len, 4);
                    if (a != b) break;
                    len += 4;
                }
                while (len < usable && p[len] == q[len]) ++len;
                if (len > best) {
                    best = len;
                    distance = static_cast<int32_t>(here - cand);
                    if (len >= sufficient) break;
                }
            }
            last = cand;
            cand = FPrev[size_t(cand & (FWindow - 1))];
        }
        if (best <= 2 || best <= pending) return 0;
        return best;
    }

    // Moves over `count` positions, inserting each into the hash chains; `hashed` tells whether the
    // current position was already inserted by a search.
    void Advance(int32_t count, bool hashed) {
        ArcAssert(count >= (hashed ? 1 : 0), "TArcDfInputWindow.Advance: the parameters are plain wrong");
        ArcAssert(count <= Lookahead(), "TArcDfInputWindow.Advance: seem to be advancing into the unknown");
        for (int32_t i = hashed ? 1 : 0; i < count; ++i) Insert(FCur + i);
        int64_t before = FBase + FCur;
        FCur += count;
        FCurInserted = false;
        if (FProgress && FExpected > 0) {
            int64_t after = FBase + FCur;
            if (after / 4096 != before / 4096)
                FProgress(static_cast<int32_t>(std::lround((after / 4096 * 4096) * 100.0 / FExpected)));
        }
        if (FCur - FWindow > kSlidePoint) Slide();
    }

private:
    void Insert(int32_t pos) {
        if (pos + 2 >= FEnd) return;
        const uint8_t* b = FBuffer.data() + pos;
        uint32_t h = ((uint32_t(b[0]) << 10) ^ (uint32_t(b[1]) << 5) ^ b[2]) & (kHashSize - 1);
        int64_t abs = FBase + pos;
        FPrev[size_t(abs & (FWindow - 1))] = FHead[h];
        FHead[h] = abs;
    }

    void Slide() {
        int32_t delta = FCur - FWindow;
        std::memmove(FBuffer.data(), FBuffer.data() + delta, size_t(FEnd - delta));
        FBase += delta;
        FCur -= delta;
        FEnd -= delta;
        Fill();
    }

    void Fill() {
        while (FMore && FEnd < static_cast<int32_t>(FBuffer.size())) {
            int32_t want = static_cast<int32_t>(FBuffer.size()) - FEnd;
            int32_t n = FSource->Read(FBuffer.data() + FEnd, want);
            if (n <= 0) {
                FMore = false;
                break;
            }
            FChecksum = FAdler ? UpdateAdler32(FChecksum, FBuffer.data() + FEnd, size_t(n))
                               : UpdateCRC32(FChecksum, FBuffer.data() + FEnd, size_t(n));
            FEnd += n;
        }
    }

    framework::TStream* FSource;
    bool FAdler;
    int32_t FChainLimit;
    int64_t FExpected;
    std::function<void(int32_t)> FProgress;
    int32_t FWindow;
    int32_t FMaxMatch;
    std::vector<uint8_t> FBuffer;
    std::vector<int64_t> FHead;
    std::vector<int64_t> FPrev;
    int64_t FBase = 0;
    int32_t FCur = 0;
    int32_t FEnd = 0;
    bool FMore = true;
    bool FCurInserted = false;
    uint32_t FChecksum;
};

// ---- records of one block ---------------------------------------------------------------------

class TArcDfLZStream {
public:
    TArcDfLZStream() { Clear(0); }

    void Clear(int64_t blockStart) {
        FItems.clear();
        std::fill(std::begin(LitCount), std::end(LitCount), 0u);
        std::fill(std::begin(DistCount), std::end(DistCount), 0u);
        LitCount[256] = 1;
        Literals = Matches = 0;
        StoredSize = 0;
        BlockStart = blockStart;
    }
    bool Empty() const { return FItems.empty(); }

    // Each returns true when the block is full.
    bool AddLiteral(uint8_t byte) {
        FItems.push_back({byte, 0});
        ++LitCount[byte];
        ++Literals;
        ++StoredSize;
        return Full();
    }
    bool AddMatch(int32_t length, int32_t distance) {
        FItems.push_back({static_cast<uint32_t>(length), static_cast<uint32_t>(distance)});
        ++LitCount[Translator().LengthSymbol(length)];
        ++DistCount[Translator().DistanceSymbol(distance)];
        ++Matches;
        StoredSize += length;
        return Full();
    }

    struct Item {
        uint32_t Value;     // literal byte, or match length
        uint32_t Distance;  // 0 for a literal
    };
    const std::vector<Item>& Items() const { return FItems; }

    uint32_t LitCount[286];
    uint32_t DistCount[32];
    int32_t Literals, Matches;
    int64_t StoredSize;
    int64_t BlockStart;

private:
    bool Full() const {
        int32_t records = Literals + Matches;
        if (Matches > 32767 || records > 32767) return true;
        if (records % 8192 == 0 && Matches < Literals) {
            int64_t bits = int64_t(Matches) * 13 + int64_t(Literals) * 8;
            for (int d = 4; d < 32; ++d) bits += int64_t(DistCount[d]) * kDistanceExtra[d];
            if (bits / 8 < StoredSize / 2) return true;
        }
        return false;
    }
    std::vector<Item> FItems;
};

// ---- block writer -----------------------------------------------------------------------------

enum class BlockKind { Stored, Static, Dynamic, Best };

struct CodeSet {
    uint8_t LitLen[286];
    uint16_t LitCode[286];
    uint8_t DistLen[32];
    uint16_t DistCode[32];
};

const CodeSet& FixedCodes() {
    static const CodeSet codes = [] {
        CodeSet c{};
        uint8_t lit[288];
        std::fill(lit, lit + 144, 8);
        std::fill(lit + 144, lit + 256, 9);
        std::fill(lit + 256, lit + 280, 7);
        std::fill(lit + 280, lit + 288, 8);
        uint16_t codes[288];
        MakeReversedCodes(lit, 288, codes);
        std::copy(lit, lit + 286, c.LitLen);
        std::copy(codes, codes + 286, c.LitCode);
        std::fill(c.DistLen, c.DistLen + 32, 5);
        MakeReversedCodes(c.DistLen, 32, c.DistCode);
        return c;
    }();
    return codes;
}

class BlockWriter {
public:
    BlockWriter(TArcDfOutBitStream& out, framework::TStream* source, int64_t sourceStart, bool deflate64,
                BlockKind kind)
        : FOut(out), FSource(source), FSourceStart(sourceStart), FDeflate64(deflate64), FKind(kind) {}

    void Write(const TArcDfLZStream& lz, bool final) {
        CodeSet dyn{};
        GenerateCodeLengths(15, lz.LitCount, 286, dyn.LitLen);
        GenerateCodeLengths(15, lz.DistCount, FDeflate64 ? 32 : 30, dyn.DistLen);
        int hlit = 286;
        while (hlit > 257 && dyn.LitLen[hlit - 1] == 0) --hlit;
        int hdist = FDeflate64 ? 32 : 30;
        while (hdist > 1 && dyn.DistLen[hdist - 1] == 0) --hdist;
        MakeReversedCodes(dyn.LitLen, 286, dyn.LitCode);
        MakeReversedCodes(dyn.DistLen, 32, dyn.DistCode);

        // Run-length code the two length lists as one sequence.
        std::vector<uint8_t> seq(dyn.LitLen, dyn.LitLen + hlit);
        seq.insert(seq.end(), dyn.DistLen, dyn.DistLen + hdist);
        std::vector<std::pair<uint8_t, uint8_t>> cl;  // symbol, extra value
        uint32_t clCount[19] = {};
        RunLengthCode(seq, cl, clCount);
        uint8_t clLen[19];
        GenerateCodeLengths(7, clCount, 19, clLen);
        // A code-length code of one symbol would be incomplete; give it a partner so every
        // decoder accepts it.
        int used = 0;
        for (int i = 0; i < 19; ++i) used += clLen[i] ? 1 : 0;
        if (used == 1) clLen[clLen[0] ? 1 : 0] = 1;
        uint16_t clCode[19];
        MakeReversedCodes(clLen, 19, clCode);
        int hclen = 19;
        while (hclen > 4 && clLen[kCodeLengthOrder[hclen - 1]] == 0) --hclen;

        BlockKind kind = FKind;
        if (kind == BlockKind::Best) {
            int64_t dynBits = 14 + 3 * hclen;
            for (auto& [sym, extra] : cl)
                dynBits += clLen[sym] + (sym == 16 ? 2 : sym == 17 ? 3 : sym == 18 ? 7 : 0);
            dynBits += SymbolBits(lz, dyn);
            int64_t staticBits = SymbolBits(lz, FixedCodes());
            int64_t storedBits = (lz.StoredSize + 4) * 8;
            if (staticBits < dynBits)
                kind = storedBits < staticBits ? BlockKind::Stored : BlockKind::Static;
            else
                kind = storedBits < dynBits ? BlockKind::Stored : BlockKind::Dynamic;
        }
        switch (kind) {
            case BlockKind::Stored:
                WriteStored(lz, final);
                break;
            case BlockKind::Static:
                FOut.WriteBits(final ? 3 : 2, 3);
                Encode(lz, FixedCodes());
                break;
            default:
                FOut.WriteBits(final ? 5 : 4, 3);
                FOut.WriteBits(static_cast<uint32_t>((hlit - 257) + (hdist - 1) * 32 + (hclen - 4) * 1024),
                               14);
                for (int i = 0; i < hclen; ++i) FOut.WriteBits(clLen[kCodeLengthOrder[i]], 3);
                for (auto& [sym, extra] : cl) {
                    FOut.WriteBits(clCode[sym], clLen[sym]);
                    if (sym == 16) FOut.WriteBits(extra, 2);
                    if (sym == 17) FOut.WriteBits(extra, 3);
                    if (sym == 18) FOut.WriteBits(extra, 7);
                }
                Encode(lz, dyn);
                break;
        }
    }

private:
    static void RunLengthCode(const std::vector<uint8_t>& seq, std::vector<std::pair<uint8_t, uint8_t>>& cl,
                              uint32_t* counts) {
        auto emit = [&](int sym, int extra) {
            cl.push_back({static_cast<uint8_t>(sym), static_cast<uint8_t>(extra)});
            ++counts[sym];
        };
        size_t i = 0;
        while (i < seq.size()) {
            size_t j = i;
            while (j < seq.size() && seq[j] == seq[i]) ++j;
            int run = static_cast<int>(j - i);
            int len = seq[i];
            if (run < 3) {
                for (int k = 0; k < run; ++k) emit(len, 0);
            } else if (len != 0) {
                emit(len, 0);
                int rem = run - 1;
                while (rem > 2) {
                    int n = std::min(6, rem);
                    emit(16, n - 3);
                    rem -= n;
                }
                for (int k = 0; k < rem; ++k) emit(len, 0);
            } else {
                int rem = run;
                while (rem > 10) {
                    int n = std::min(138, rem);
                    emit(18, n - 11);
                    rem -= n;
                }
                if (rem >= 3) {
                    emit(17, rem - 3);
                    rem = 0;
                }
                for (int k = 0; k < rem; ++k) emit(0, 0);
            }
            i = j;
        }
    }

    int64_t SymbolBits(const TArcDfLZStream& lz, const CodeSet& codes) const {
        int64_t bits = codes.LitLen[256];
        for (int s = 0; s < 256; ++s) bits += int64_t(lz.LitCount[s]) * codes.LitLen[s];
        for (int s = 257; s < 286; ++s) {
            int extra = s == 285 ? (FDeflate64 ? 16 : 0) : kLengthExtra[s - 257];
            bits += int64_t(lz.LitCount[s]) * (codes.LitLen[s] + extra);
        }
        for (int d = 0; d < 32; ++d)
            bits += int64_t(lz.DistCount[d]) * (codes.DistLen[d] + kDistanceExtra[d]);
        return bits;
    }

    void Encode(const TArcDfLZStream& lz, const CodeSet& codes) {
        const TArcDfTranslator& t = Translator();
        for (const auto& item : lz.Items()) {
            if (item.Distance == 0) {
                FOut.WriteBits(codes.LitCode[item.Value], codes.LitLen[item.Value]);
                continue;
            }
            int32_t length = static_cast<int32_t>(item.Value);
            int ls = t.LengthSymbol(length);
            FOut.WriteBits(codes.LitCode[ls], codes.LitLen[ls]);
            if (ls == 285) {
                if (FDeflate64) FOut.WriteBits(static_cast<uint32_t>(length - 3), 16);
            } else if (kLengthExtra[ls - 257]) {
                FOut.WriteBits(static_cast<uint32_t>(length - kLengthBase[ls - 257]), kLengthExtra[ls - 257]);
            }
            int ds = t.DistanceSymbol(static_cast<int32_t>(item.Distance));
            ArcAssert(ds <= 29 || FDeflate64,
                      "TArcDfLZStream.Encode: a Deflate64 distance symbol has been generated for Deflate");
            FOut.WriteBits(codes.DistCode[ds], codes.DistLen[ds]);
            if (kDistanceExtra[ds]) FOut.WriteBits(item.Distance - kDistanceBase[ds], kDistanceExtra[ds]);
        }
        FOut.WriteBits(codes.LitCode[256], codes.LitLen[256]);
    }

    // Stored blocks send the covered input again, read back from the source.
    void WriteStored(const TArcDfLZStream& lz, bool final) {
        const int64_t saved = FSource->Position();
        FSource->SetPosition(FSourceStart + lz.BlockStart);
        int64_t left = lz.StoredSize;
        std::vector<uint8_t> chunk(65535);
        do {
            int32_t n = static_cast<int32_t>(std::min<int64_t>(left, 65535));
            if (FSource->Read(chunk.data(), n) != n) {
                FSource->SetPosition(saved);
                throw EArcInternalDeflateError(
                    "could not read the input again for a stored block [WriteStored]");
            }
            left -= n;
            FOut.WriteBits(final && left == 0 ? 1 : 0, 3);
            FOut.AlignToByte();
            FOut.WriteBits(static_cast<uint32_t>(n), 16);
            FOut.WriteBits(static_cast<uint32_t>(n) ^ 0xFFFF, 16);
            FOut.WriteBuffer(chunk.data(), n);
        } while (left > 0);
        FSource->SetPosition(saved);
    }

    TArcDfOutBitStream& FOut;
    framework::TStream* FSource;
    int64_t FSourceStart;
    bool FDeflate64;
    BlockKind FKind;
};

uint32_t DeflateStoredOnly(framework::TStream* source, TArcDfOutBitStream& out, TArcDeflateHelper& s) {
    const bool adler = (s.Options() & dfoAdler32) != 0;
    uint32_t checksum = adler ? 1u : 0xFFFFFFFFu;
    int64_t remaining = s.ExpectedSize > 0 ? s.ExpectedSize : source->Size() - source->Position();
    std::vector<uint8_t> chunk(65535);
    int64_t done = 0;
    int32_t n = static_cast<int32_t>(std::min<int64_t>(remaining, 65535));
    n = n > 0 ? source->Read(chunk.data(), n) : 0;
    for (;;) {
        if (n < 0) n = 0;
        remaining -= n;
        done += n;
        checksum = adler ? UpdateAdler32(checksum, chunk.data(), size_t(n))
                         : UpdateCRC32(checksum, chunk.data(), size_t(n));
        if (s.OnProgressPercent && s.ExpectedSize > 0)
            s.OnProgressPercent(static_cast<int32_t>(std::lround(done * 100.0 / s.ExpectedSize)));
        // Look ahead so that the last chunk carries the final flag; stop at the end of the source.
        std::vector<uint8_t> next(65535);
        int32_t m = remaining > 0
                        ? source->Read(next.data(), static_cast<int32_t>(std::min<int64_t>(remaining, 65535)))
                        : 0;
        bool last = m <= 0;
        out.WriteBits(last ? 1 : 0, 8);
        out.WriteBits(static_cast<uint32_t>(n), 16);
        out.WriteBits(static_cast<uint32_t>(n) ^ 0xFFFF, 16);
        out.WriteBuffer(chunk.data(), n);
        if (last) break;
        chunk.swap(next);
        n = m;
    }
    return adler ? checksum : ~checksum;
}

uint32_t DeflateLZ(framework::TStream* source, TArcDfOutBitStream& out, TArcDeflateHelper& s,
                   BlockKind kind) {
    const int32_t options = s.Options();
    const bool deflate64 = (options & dfoDeflate64) != 0;
    const int64_t sourceStart = source->Position();
    int32_t windowBytes = s.WindowBytes;
    const int32_t maxWindow = deflate64 ? 65536 : 32768;
    if (windowBytes <= 0 || windowBytes > maxWindow || (windowBytes & (windowBytes - 1)) != 0)
        windowBytes = maxWindow;
    TArcDfInputWindow win(source, (options & dfoAdler32) != 0, deflate64, s.ChainLimit(), windowBytes,
                          s.ExpectedSize, s.OnProgressPercent);
    auto lz = std::make_unique<TArcDfLZStream>();
    BlockWriter writer(out, source, sourceStart, deflate64, kind);
    bool full = false;
    bool levelChecked = false;
    int32_t pending = 0, pendingDist = 0;
    auto record = [&](bool isMatch, int32_t a, int32_t b) {
        full = isMatch ? lz->AddMatch(a, b) : lz->AddLiteral(static_cast<uint8_t>(a));
    };
    while (win.Lookahead() >= 3) {
        if (!levelChecked && lz->StoredSize == 1024) {
            levelChecked = true;
            if (s.LevelTag() == 'n' && lz->LitCount[0] == 0) {
                s.SetSufficientLength(s.SufficientLength() * 2);
                s.SetLazyLimit(s.LazyLimit() * 2);
                s.SetChainLimit(s.ChainLimit() * 2);
                win.SetChainLimit(s.ChainLimit());
            }
        }
        if (full && pending == 0) {
            writer.Write(*lz, false);
            lz->Clear(win.Absolute());
            full = false;
        }
        int32_t distance = 0;
        int32_t length = win.LongestMatch(pending, s.SufficientLength(), distance);
        if (length == 3 && distance > 4096) length = 0;
        if (length > 0) {
            if (pending > 0) record(false, win.ByteAt(-1), 0);
            pending = length;
            pendingDist = distance;
            win.Advance(1, true);
            if (pending >= s.LazyLimit()) {
                record(true, pending, pendingDist);
                win.Advance(pending - 1, false);
                pending = 0;
            }
        } else if (pending > 0) {
            record(true, pending, pendingDist);
            win.Advance(pending - 1, true);
            pending = 0;
        } else {
            record(false, win.ByteAt(0), 0);
            win.Advance(1, true);
        }
    }
    if (pending > 0) {
        record(true, pending, pendingDist);
        win.Advance(pending - 1, false);
    }
    while (win.Lookahead() > 0) {
        record(false, win.ByteAt(0), 0);
        win.Advance(1, false);
    }
    writer.Write(*lz, true);
    return win.Checksum();
}

}  // namespace

uint32_t Deflate(framework::TStream* source, framework::TStream* dest, TArcDeflateHelper* helper) {
    ArcAssert(source != nullptr, "Deflate: aSource stream cannot be nil");
    ArcAssert(dest != nullptr, "Deflate: aDest stream cannot be nil");
    if (helper)
        ArcAssert((helper->Options() & 7) != 0,
                  "Deflate: aHelper.Options must enable some kind of archiving");
    TArcDeflateHelper s;
    if (helper) s.Assign(*helper);
    if (!s.OnProgressPercent)
        s.ExpectedSize = 0;
    else if (s.ExpectedSize == -1)
        s.ExpectedSize = static_cast<int32_t>(source->Size());
    if ((s.Options() & dfoLazy) == 0) s.SetLazyLimit(0);
    if (s.SufficientLength() == -1) s.SetSufficientLength(2147483647);
    if (s.LazyLimit() == -1) s.SetLazyLimit(2147483647);
    if (s.ChainLimit() == -1) s.SetChainLimit(2147483647);
    std::unique_ptr<TArcLogger> log;
    if (!s.LogPath.empty()) {
        log = std::make_unique<TArcLogger>(s.LogPath);
        log->WriteLine("DEFLATING STREAM...");
        log->WriteLine("Need to recompile the app with UseLogging turned on");
    }
    const int64_t sourceStart = source->Position();
    const int64_t destStart = dest->Position();
    std::unique_ptr<TArcDfEncryptStream> encrypt;
    framework::TStream* output = dest;
    if (!s.PasswordText.empty()) {
        encrypt = std::make_unique<TArcDfEncryptStream>(dest, s.PasswordText, s.VerifyValue);
        output = encrypt.get();
    }
    uint32_t result;
    try {
        auto out = std::make_unique<TArcDfOutBitStream>(output);
        switch (s.Options() & 7) {
            case dfoStored:
                result = DeflateStoredOnly(source, *out, s);
                break;
            case dfoStatic:
                result = DeflateLZ(source, *out, s, BlockKind::Static);
                break;
            case dfoDynamic:
                result = DeflateLZ(source, *out, s, BlockKind::Dynamic);
                break;
            default:
                result = DeflateLZ(source, *out, s, BlockKind::Best);
                break;
        }
        out->Finish();
    } catch (const EArcInternalDeflateError& e) {
        if (log) log->WriteLine("Internal exception raised: " + e.Message);
        throw EArcDeflateError("Dravolin deflate error. (Internal cause: " + e.Message + ")");
    }
    if (helper) {
        helper->NormalCount = static_cast<int32_t>(source->Position() - sourceStart);
        helper->CompressedCount = static_cast<int32_t>(dest->Position() - destStart);
    }
    return result;
}

// ---- settings object --------------------------------------------------------------------------

void TArcDeflateHelper::SetLimit(int32_t& field, int32_t value) {
    if (value == field) return;
    if (value != -1 && value < 4) value = 4;
    field = value;
    FLevelTag = '?';
}

void TArcDeflateHelper::SetOptions(int32_t value) {
    if (value == FOptions) return;
    FOptions = value;
    FLevelTag = '?';
}

void TArcDeflateHelper::Assign(const TArcDeflateHelper& source) {
    int32_t compressed = CompressedCount, normal = NormalCount;
    *this = source;
    CompressedCount = compressed;
    NormalCount = normal;
}

void ArcAssert(bool condition, const char* message) {
    if (!condition) throw EArcAssertion(message);
}

}  // namespace codecs
