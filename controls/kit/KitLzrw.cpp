#include "controls/kit/KitLzrw.h"

#include <cstring>
#include <vector>

#include "controls/kit/KitStreams.h"

namespace kit {

using namespace framework;

namespace {

constexpr uint8_t FlagCompressed = 0x40;
constexpr uint8_t FlagStored = 0x80;
constexpr int HashSize = 4096;
constexpr int MaxOffset = 4096;  // exclusive
constexpr int MaxMatch = 18;
constexpr int MinMatch = 3;
constexpr int MinRun = 16;
constexpr int MaxRun = 4095;
constexpr int GroupItems = 16;

[[noreturn]] void LzrwError() {
    throw EInvalidPointer("LZRW Error!");
}

void PutWord(uint8_t* Dest, uint16_t Word) {
    Dest[0] = static_cast<uint8_t>(Word >> 8);
    Dest[1] = static_cast<uint8_t>(Word);
}

}  // namespace

int LzrwCompress(const uint8_t* Source, int Length, uint8_t* Dest) {
    const int n = Length < 0 ? 0 : Length;
    // Positions are kept as signed 16-bit values: beyond 32767 they wrap negative and no longer
    // match, which only costs matches, never correctness (the offset test then fails).
    std::vector<int16_t> table(HashSize, -1);
    Dest[0] = FlagCompressed;
    int control = 1;  // where the current control word goes
    int out = 3;
    int items = 0;
    uint32_t word = 0;
    int p = 0;
    while (p < n && out <= n) {
        if (items == GroupItems) {
            PutWord(Dest + control, static_cast<uint16_t>(word));
            control = out;
            out += 2;
            items = 0;
            word = 0;
        }
        int run = 1;
        while (run < MaxRun && p + run < n && Source[p + run] == Source[p]) ++run;
        if (run >= MinRun) {
            Dest[out++] = 0;
            Dest[out++] = static_cast<uint8_t>((run - MinRun) >> 8);
            Dest[out++] = static_cast<uint8_t>(run - MinRun);
            Dest[out++] = Source[p];
            p += run;
            word = (word << 1) | 1;
        } else {
            int len = 0;
            int offset = 0;
            if (n - p >= MinMatch) {
                uint32_t key = ((((uint32_t{Source[p]} << 4) ^ Source[p + 1]) << 4) ^ Source[p + 2]);
                uint32_t h = ((40543u * key) >> 4) & 0xFFF;
                int c = table[h];
                table[h] = static_cast<int16_t>(p);
                if (c != -1 && p - c < MaxOffset) {
                    while (len < MaxMatch && p + len < n && Source[p + len] == Source[c + len]) ++len;
                    offset = p - c;
                }
            }
            if (len >= MinMatch) {
                PutWord(Dest + out, static_cast<uint16_t>(offset * 16 + (len - MinMatch)));
                out += 2;
                p += len;
                word = (word << 1) | 1;
            } else {
                Dest[out++] = Source[p++];
                word <<= 1;
            }
        }
        ++items;
    }
    PutWord(Dest + control, static_cast<uint16_t>(word << (GroupItems - items)));
    if (out > n) {
        Dest[0] = FlagStored;
        if (n > 0) std::memmove(Dest + 1, Source, static_cast<size_t>(n));
        return n + 1;
    }
    return out;
}

int LzrwDecompress(const uint8_t* Source, int Length, uint8_t* Dest, int Capacity) {
    if (Length < 1) LzrwError();
    if (Source[0] == FlagStored) {
        if (Length - 1 > Capacity) LzrwError();
        if (Length > 1) std::memcpy(Dest, Source + 1, static_cast<size_t>(Length - 1));
        return Length - 1;
    }
    if (Length < 3) LzrwError();
    uint32_t word = (uint32_t{Source[1]} << 8) | Source[2];
    int bits = GroupItems;
    int in = 3;
    int out = 0;
    while (in < Length) {
        if (bits == 0) {
            if (Length - in < 2) LzrwError();
            word = (uint32_t{Source[in]} << 8) | Source[in + 1];
            in += 2;
            bits = GroupItems;
            if (in >= Length) LzrwError();  // a control word without an item behind it
        }
        if ((word & 0x8000) == 0) {
            if (out >= Capacity) LzrwError();
            Dest[out++] = Source[in++];
        } else {
            if (Length - in < 2) LzrwError();
            int offset = (Source[in] << 4) | (Source[in + 1] >> 4);
            if (offset != 0) {
                int len = (Source[in + 1] & 15) + MinMatch;
                if (offset > out || len > Capacity - out) LzrwError();
                // Byte by byte: a match may overlap the bytes it produces.
                for (int i = 0; i < len; ++i, ++out) Dest[out] = Dest[out - offset];
                in += 2;
            } else {
                if (Length - in < 4) LzrwError();
                int count = ((Source[in + 1] << 8) | Source[in + 2]) + MinRun;
                if (count > Capacity - out) LzrwError();
                std::memset(Dest + out, Source[in + 3], static_cast<size_t>(count));
                out += count;
                in += 4;
            }
        }
        word = (word << 1) & 0xFFFF;
        --bits;
    }
    return out;
}

void WriteCompressedBlock(TStream* Source, TStream* Stream, int64_t Count) {
    std::vector<uint8_t> input(LzrwChunkSize);
    std::vector<uint8_t> coded(LzrwChunkSize + LzrwMargin);
    int64_t start = Stream->Position();
    WriteStreamInteger(Stream, 0);
    int64_t total = 0;
    while (Count > 0) {
        int chunk = static_cast<int>(Count < LzrwChunkSize ? Count : LzrwChunkSize);
        Source->ReadBuffer(input.data(), chunk);
        int len = LzrwCompress(input.data(), chunk, coded.data());
        WriteStreamInteger(Stream, len);
        Stream->WriteBuffer(coded.data(), len);
        total += len + 4;
        Count -= chunk;
    }
    int64_t end = Stream->Position();
    Stream->SetPosition(start);
    WriteStreamInteger(Stream, static_cast<int32_t>(total));
    Stream->SetPosition(end);
}

void ReadCompressedBlock(TStream* Stream, TMemoryStream* Target) {
    std::vector<uint8_t> coded(LzrwMaxCodedChunk);
    std::vector<uint8_t> output(LzrwChunkSize);
    int64_t total = ReadStreamInteger(Stream);
    if (total < 0 || total > Stream->Size() - Stream->Position()) throw EReadError("Stream read error");
    while (total > 0) {
        if (total < 4) LzrwError();
        int32_t len = ReadStreamInteger(Stream);
        if (len < 1 || len > LzrwMaxCodedChunk || len > total - 4) LzrwError();
        Stream->ReadBuffer(coded.data(), len);
        int n = LzrwDecompress(coded.data(), len, output.data(), LzrwChunkSize);
        Target->WriteBuffer(output.data(), n);
        total -= int64_t{len} + 4;
    }
}

}  // namespace kit
