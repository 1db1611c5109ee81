#include "codecs/zip/ZipDecoders.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "codecs/deflate/Checksum.h"
#include "codecs/deflate/DeflateEngine.h"
#include "codecs/zip/ZipReader.h"

namespace codecs {

namespace {
[[noreturn]] void DataError(const char* what) {
    throw EZipDataError(what);
}
}  // namespace

TZipEntryDecoder::TZipEntryDecoder(framework::TStream* archive, framework::TStream* output)
    : FArchive(archive), FOutput(output), FIn(kBlockSize + 1), FOut(kBlockSize + 1) {}

// ---- input ------------------------------------------------------------------------------------

int32_t TZipEntryDecoder::ReadArchive(uint8_t* dest, int32_t count) {
    int32_t got = std::max(0, FArchive->Read(dest, count));
    while (got < count) {
        framework::TStream* next = OnNextDisk ? OnNextDisk() : nullptr;
        if (!next) throw EFatalUnzipError("Premature end of file reached");
        FArchive = next;
        int32_t n = FArchive->Read(dest + got, count - got);
        if (n <= 0) throw EFatalUnzipError("Premature end of file reached");
        got += n;
    }
    return got;
}

void TZipEntryDecoder::FillInput() {
    if (!FStarted) {
        FRemaining = CompressedSize;
        FStarted = true;
    }
    FInPos = FInCount = 0;
    if (FRemaining <= 0) {
        FEndOfInput = true;
        return;
    }
    int32_t n = static_cast<int32_t>(std::min<int64_t>(kBlockSize, FRemaining));
    if (OnBeforeBlock) OnBeforeBlock();
    ReadArchive(FIn.data(), n);
    FRemaining -= n;
    if (Keys) {
        if (OnDecrypt)
            OnDecrypt(FIn.data(), n);
        else
            for (int32_t i = 0; i < n; ++i) FIn[size_t(i)] = Keys->Decrypt(FIn[size_t(i)]);
    }
    FInCount = n;
}

int TZipEntryDecoder::ReadInputByte() {
    if (FInPos == FInCount) {
        if (FEndOfInput) return -1;
        FillInput();
        if (FInCount == 0) return -1;
    }
    return FIn[size_t(FInPos++)];
}

uint32_t TZipEntryDecoder::ReadBits(int count) {
    while (FBitCount < count) {
        int b = ReadInputByte();
        if (b < 0) DataError("compressed data ended");
        FBits |= uint32_t(b) << FBitCount;
        FBitCount += 8;
    }
    uint32_t v = FBits & ((count == 32) ? 0xFFFFFFFFu : ((1u << count) - 1));
    FBits = count == 32 ? 0 : FBits >> count;
    FBitCount -= count;
    return v;
}

// ---- output -----------------------------------------------------------------------------------

void TZipEntryDecoder::FlushOutput() {
    int32_t n = FOutCount;
    if (FDecryptOnOutput && Keys)
        for (int32_t i = 0; i < n; ++i) FOut[size_t(i)] = Keys->Decrypt(FOut[size_t(i)]);
    if (FWritten + n > UncompressedSize)
        throw EBiggerThanUncompressed("File is larger than uncompressed size!");
    FOutCount = 0;
    if (n > 0 && FOutput->Write(FOut.data(), n) != n) throw ECantWriteUCF("Cant write uncompressed file");
    FCrc = UpdateCRC32(FCrc, FOut.data(), size_t(n));
    FWritten += n;
    if (OnFlushed) OnFlushed(FWritten);
}

// ---- stored -----------------------------------------------------------------------------------

void TZipEntryDecoder::ExtractStored() {
    FDecryptOnOutput = Keys != nullptr;
    int64_t remaining = CompressedSize;
    while (remaining > 0) {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(kBlockSize, remaining));
        if (OnBeforeBlock) OnBeforeBlock();
        ReadArchive(FOut.data(), n);
        remaining -= n;
        FOutCount = n;
        FlushOutput();
    }
    FlushOutput();
}

// ---- shrink: LZW with partial clearing --------------------------------------------------------

void TZipEntryDecoder::Unshrink() {
    constexpr int kCodes = 8192;
    constexpr int kFirstFree = 257;
    std::vector<int16_t> prefix(kCodes, -1);
    std::vector<uint8_t> suffix(kCodes, 0);
    std::vector<uint8_t> isFree(kCodes, 1);
    std::vector<uint8_t> stack(kCodes);
    for (int c = 0; c < 256; ++c) {
        suffix[size_t(c)] = static_cast<uint8_t>(c);
        isFree[size_t(c)] = 0;
    }
    isFree[256] = 0;
    int freeEntry = kFirstFree;
    int codeSize = 9;
    auto nextFree = [&](int from) {
        while (from < kCodes && !isFree[size_t(from)]) ++from;
        return from;
    };
    // Writes the string of `code` (at most one table's length) and returns its first byte.
    auto emit = [&](int code) -> uint8_t {
        int sp = kCodes;
        while (code >= kFirstFree) {
            if (sp == 0 || isFree[size_t(code)]) DataError("shrink code chain is broken");
            stack[size_t(--sp)] = suffix[size_t(code)];
            code = prefix[size_t(code)];
        }
        if (code < 0 || code > 255 || sp == 0) DataError("shrink code chain is broken");
        stack[size_t(--sp)] = static_cast<uint8_t>(code);
        for (int i = sp; i < kCodes; ++i) PutByte(stack[size_t(i)]);
        return stack[size_t(sp)];
    };
    try {
        int old = static_cast<int>(ReadBits(codeSize));
        if (old > 255) DataError("shrink stream starts with a string code");
        uint8_t first = emit(old);
        for (;;) {
            int code = static_cast<int>(ReadBits(codeSize));
            if (code == 256) {
                int control = static_cast<int>(ReadBits(codeSize));
                if (control == 1) {
                    if (++codeSize > 13) DataError("shrink code size above 13 bits");
                } else if (control == 2) {
                    // Partial clear: free every code that is no other code's prefix.
                    std::vector<uint8_t> isPrefix(kCodes, 0);
                    for (int c = kFirstFree; c < kCodes; ++c)
                        if (!isFree[size_t(c)] && prefix[size_t(c)] >= kFirstFree)
                            isPrefix[size_t(prefix[size_t(c)])] = 1;
                    for (int c = kFirstFree; c < kCodes; ++c)
                        if (!isPrefix[size_t(c)]) isFree[size_t(c)] = 1;
                    freeEntry = nextFree(kFirstFree);
                } else {
                    DataError("unknown shrink control code");
                }
                continue;
            }
            if (code >= kFirstFree && isFree[size_t(code)]) {
                // The code being defined right now: the previous string plus its own first byte.
                if (code != freeEntry) DataError("shrink code not yet defined");
                prefix[size_t(code)] = static_cast<int16_t>(old);
                suffix[size_t(code)] = first;
                isFree[size_t(code)] = 0;
                first = emit(code);
                freeEntry = nextFree(freeEntry + 1);
            } else {
                first = emit(code);
                if (freeEntry < kCodes) {
                    prefix[size_t(freeEntry)] = static_cast<int16_t>(old);
                    suffix[size_t(freeEntry)] = first;
                    isFree[size_t(freeEntry)] = 0;
                    freeEntry = nextFree(freeEntry + 1);
                }
            }
            old = code;
        }
    } catch (const EZipDataError&) {
        // End of input is the normal end of a shrunk entry; anything else fails the CRC test.
    }
    FlushOutput();
}

// ---- reduce: follower sets and DLE-coded matches ------------------------------------------------

void TZipEntryDecoder::Unreduce(int factor) {
    if (factor < 1 || factor > 4) return;
    constexpr int kWindow = 16384;
    std::vector<uint8_t> window(kWindow, 0);
    std::array<std::array<uint8_t, 64>, 256> followers{};
    std::array<uint8_t, 256> setSize{};
    auto bitsFor = [](int n) {
        int b = 1;
        while ((1 << b) < n) ++b;
        return b;
    };
    int64_t produced = 0;
    int32_t pos = 0;
    auto out = [&](uint8_t b) {
        window[size_t(pos)] = b;
        pos = (pos + 1) & (kWindow - 1);
        ++produced;
        PutByte(b);
    };
    const uint32_t lengthMask = 0x7Fu >> (factor - 1);
    try {
        for (int i = 255; i >= 0; --i) {
            setSize[size_t(i)] = static_cast<uint8_t>(ReadBits(6));
            for (int j = 0; j < setSize[size_t(i)]; ++j)
                followers[size_t(i)][size_t(j)] = static_cast<uint8_t>(ReadBits(8));
        }
        uint8_t last = 0;
        int state = 0;
        uint32_t v = 0;
        int32_t length = 0;
        while (produced < UncompressedSize) {
            uint8_t c;
            int n = setSize[last];
            if (n == 0 || ReadBits(1)) {
                c = static_cast<uint8_t>(ReadBits(8));
            } else {
                uint32_t index = ReadBits(bitsFor(n));
                if (index >= uint32_t(n)) DataError("reduce follower index out of range");
                c = followers[last][index];
            }
            last = c;
            switch (state) {
                case 0:
                    if (c != 144)
                        out(c);
                    else
                        state = 1;
                    break;
                case 1:
                    if (c == 0) {
                        out(144);
                        state = 0;
                    } else {
                        v = c;
                        length = static_cast<int32_t>(v & lengthMask);
                        state = uint32_t(length) == lengthMask ? 2 : 3;
                    }
                    break;
                case 2:
                    length += c;
                    state = 3;
                    break;
                default: {
                    int32_t distance = static_cast<int32_t>(((v >> (8 - factor)) << 8) + c + 1);
                    // Distances before the first byte read the zeroed window.
                    for (int32_t k = 0; k < length + 3 && produced < UncompressedSize; ++k)
                        out(window[size_t((pos - distance) & (kWindow - 1))]);
                    state = 0;
                    break;
                }
            }
        }
    } catch (const EZipDataError&) {
    }
    FlushOutput();
}

// ---- implode: Shannon-Fano trees and sliding dictionary ----------------------------------------

namespace {

// A prefix code read with the bits inverted, as imploded data stores it. Codes are assigned
// canonically by length and symbol to the inverted bit strings.
class TExplodeTree {
public:
    bool Read(TZipEntryDecoder& in, int symbols) {
        std::vector<uint8_t> lengths;
        int bytes = static_cast<int>(in.ReadBits(8)) + 1;
        for (int i = 0; i < bytes; ++i) {
            uint32_t b = in.ReadBits(8);
            int count = static_cast<int>(b >> 4) + 1;
            int len = static_cast<int>(b & 15) + 1;
            if (static_cast<int>(lengths.size()) + count > symbols) return false;
            lengths.insert(lengths.end(), size_t(count), static_cast<uint8_t>(len));
        }
        if (static_cast<int>(lengths.size()) != symbols) return false;
        return Build(lengths);
    }
    int Decode(TZipEntryDecoder& in) const {
        // Peek by reading one bit at a time; codes are at most 16 bits.
        uint32_t code = 0;
        for (int len = 1; len <= FMaxLength; ++len) {
            code = (code << 1) | (in.ReadBits(1) ^ 1u);
            int first = FFirst[size_t(len)];
            int count = FCount[size_t(len)];
            if (static_cast<int>(code) - FFirstCode[size_t(len)] < count &&
                static_cast<int>(code) >= FFirstCode[size_t(len)])
                return FSymbols[size_t(first + static_cast<int>(code) - FFirstCode[size_t(len)])];
        }
        throw EZipDataError("implode code not in its tree");
    }

private:
    bool Build(const std::vector<uint8_t>& lengths) {
        FCount.fill(0);
        for (uint8_t l : lengths) ++FCount[l];
        int left = 1;
        FMaxLength = 0;
        for (int len = 1; len <= 16; ++len) {
            left = (left << 1) - FCount[size_t(len)];
            if (left < 0) return false;
            if (FCount[size_t(len)]) FMaxLength = len;
        }
        FSymbols.clear();
        int code = 0, index = 0;
        for (int len = 1; len <= 16; ++len) {
            FFirstCode[size_t(len)] = code;
            FFirst[size_t(len)] = index;
            for (size_t s = 0; s < lengths.size(); ++s)
                if (lengths[s] == len) FSymbols.push_back(static_cast<int>(s));
            index += FCount[size_t(len)];
            code = (code + FCount[size_t(len)]) << 1;
        }
        return true;
    }
    std::array<int, 17> FCount{};
    std::array<int, 17> FFirst{};
    std::array<int, 17> FFirstCode{};
    std::vector<int> FSymbols;
    int FMaxLength = 0;
};

}  // namespace

void TZipEntryDecoder::Explode() {
    const bool literalTree = (Flags & 4) != 0;
    const int lowBits = (Flags & 2) ? 7 : 6;
    const int minMatch = literalTree ? 3 : 2;
    constexpr int kWindow = 32768;
    std::vector<uint8_t> window(kWindow, 0);
    int32_t pos = 0;
    int64_t produced = 0;
    auto out = [&](uint8_t b) {
        window[size_t(pos)] = b;
        pos = (pos + 1) & (kWindow - 1);
        ++produced;
        PutByte(b);
    };
    TExplodeTree literals, lengths, distances;
    try {
        if ((literalTree && !literals.Read(*this, 256)) || !lengths.Read(*this, 64) ||
            !distances.Read(*this, 64))
            return;  // an inconsistent tree ends the decoder without output
    } catch (const EZipDataError&) {
        return;
    }
    try {
        while (produced < UncompressedSize) {
            if (ReadBits(1)) {
                out(static_cast<uint8_t>(literalTree ? literals.Decode(*this)
                                                     : static_cast<int>(ReadBits(8))));
                continue;
            }
            int32_t distance = static_cast<int32_t>(ReadBits(lowBits));
            distance |= distances.Decode(*this) << lowBits;
            distance += 1;
            int32_t length = lengths.Decode(*this);
            if (length == 63) length += static_cast<int32_t>(ReadBits(8));
            length += minMatch;
            for (int32_t k = 0; k < length && produced < UncompressedSize; ++k)
                out(window[size_t((pos - distance) & (kWindow - 1))]);
        }
    } catch (const EZipDataError&) {
    }
    FlushOutput();
}

// ---- deflate ----------------------------------------------------------------------------------

// The stream engine's decoder reads the entry's input blocks through this source and writes
// through the decoder's output buffer via the sink below.
class TZipInflateSource : public framework::TStream {
public:
    explicit TZipInflateSource(TZipEntryDecoder& d) : D(d) {}
    int32_t Read(void* buffer, int32_t count) override {
        auto* p = static_cast<uint8_t*>(buffer);
        int32_t done = 0;
        while (done < count) {
            if (D.FInPos == D.FInCount) {
                if (D.FEndOfInput) break;
                D.FillInput();
                if (D.FInCount == 0) break;
            }
            int32_t n = std::min(count - done, D.FInCount - D.FInPos);
            std::memcpy(p + done, D.FIn.data() + D.FInPos, size_t(n));
            D.FInPos += n;
            done += n;
        }
        FPosition += done;
        return done;
    }
    int32_t Write(const void*, int32_t) override { return 0; }
    // Only the engine's closing step seeks (to give back read-ahead); nothing follows the entry.
    int64_t Seek(int64_t offset, framework::TSeekOrigin origin) override {
        if (origin == 1) FPosition += offset;
        return FPosition;
    }

private:
    TZipEntryDecoder& D;
    int64_t FPosition = 0;
};

class TZipInflateSink : public framework::TStream {
public:
    explicit TZipInflateSink(TZipEntryDecoder& d) : D(d) {}
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void* buffer, int32_t count) override {
        const auto* p = static_cast<const uint8_t*>(buffer);
        for (int32_t i = 0; i < count; ++i) D.PutByte(p[i]);
        FPosition += count;
        return count;
    }
    int64_t Seek(int64_t, framework::TSeekOrigin) override { return FPosition; }

private:
    TZipEntryDecoder& D;
    int64_t FPosition = 0;
};

void TZipEntryDecoder::InflateEntry() {
    TZipInflateSource source(*this);
    TZipInflateSink sink(*this);
    try {
        Inflate(&source, &sink, nullptr);
    } catch (const std::bad_alloc&) {
        ZipMessageBox("*** inflate out of memory ***", "Error", 0);
        return;
    } catch (const EArcInflateError&) {
        return;  // bad data: no final flush, the CRC test fails
    } catch (const EFatalUnzipError&) {
        return;
    } catch (const EBiggerThanUncompressed&) {
        return;
    } catch (const ECantWriteUCF&) {
        return;
    }
    FlushOutput();
}

bool TZipEntryDecoder::Decode(int method) {
    switch (method) {
        case 0:
            ExtractStored();
            return true;
        case 1:
            Unshrink();
            return true;
        case 2:
        case 3:
        case 4:
        case 5:
            Unreduce(method - 1);
            return true;
        case 6:
            Explode();
            return true;
        case 8:
            InflateEntry();
            return true;
        default:
            return false;
    }
}

}  // namespace codecs
