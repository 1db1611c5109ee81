// The LZRW coder and the block stream: exact bytes of small cases, round trips over real and random
// data, and damaged input that must raise the coder's error without touching memory out of bounds.
#include "controls/kit/KitLzrw.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "controls/kit/KitStreams.h"

namespace kit {
namespace {

using namespace framework;
using Bytes = std::vector<uint8_t>;

Bytes Compress(const Bytes& input) {
    Bytes out(input.size() + LzrwMargin);
    out.resize(static_cast<size_t>(LzrwCompress(input.data(), static_cast<int>(input.size()), out.data())));
    return out;
}

// Decodes into a buffer of exactly Capacity bytes (so that ASan sees any write past it).
Bytes Decompress(const Bytes& coded, int capacity) {
    auto out = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity > 0 ? capacity : 1));
    auto in = std::make_unique<uint8_t[]>(coded.size() + 1);
    std::copy(coded.begin(), coded.end(), in.get());
    int n = LzrwDecompress(in.get(), static_cast<int>(coded.size()), out.get(), capacity);
    return Bytes(out.get(), out.get() + n);
}

void ExpectRoundTrip(const Bytes& input) {
    Bytes coded = Compress(input);
    EXPECT_LE(coded.size(), input.size() + 1);
    EXPECT_EQ(Decompress(coded, static_cast<int>(input.size())), input);
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(KitLzrwTest, SmallCasesGiveTheseExactBytes) {
    EXPECT_EQ(Compress({}), Bytes{0x80});
    EXPECT_EQ(Compress(Bytes(100, 'X')), (Bytes{0x40, 0x80, 0x00, 0x00, 0x00, 0x54, 'X'}));
    Bytes incompressible = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    Bytes stored = {0x80};
    stored.insert(stored.end(), incompressible.begin(), incompressible.end());
    EXPECT_EQ(Compress(incompressible), stored);
    // A repeated phrase: eight literals, a match of 18 bytes 8 back, then the last 6 bytes found
    // 24 back through the hash of their first three.
    Bytes text;
    for (int i = 0; i < 4; ++i)
        for (char c = 'a'; c <= 'h'; ++c) text.push_back(static_cast<uint8_t>(c));
    Bytes coded = Compress(text);
    ASSERT_EQ(coded.size(), 3u + 8 + 2 + 2);
    EXPECT_EQ(coded[1], 0x00);  // control word: 8 literal bits, 2 match bits
    EXPECT_EQ(coded[2], 0xC0);
    EXPECT_EQ(coded[11], 0x00);  // offset 8, length 18
    EXPECT_EQ(coded[12], 0x8F);
    EXPECT_EQ(coded[13], 0x01);  // offset 24, length 6
    EXPECT_EQ(coded[14], 0x83);
    ExpectRoundTrip(text);
}

TEST(KitLzrwTest, OverlappingMatchRepeatsAByte) {
    // A literal 'z' then offset 1, length 18.
    Bytes coded = {0x40, 0x40, 0x00, 'z', 0x00, 0x1F};
    EXPECT_EQ(Decompress(coded, 19), Bytes(19, 'z'));
}

TEST(KitLzrwTest, RealFilesAndRandomDataRoundTrip) {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator("/usr/share/common-licenses"))
        if (e.is_regular_file()) files.push_back(e.path());
    files.push_back("/usr/bin/ls");
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        Bytes data = ReadFile(path);
        ASSERT_FALSE(data.empty());
        for (size_t at = 0; at < data.size(); at += LzrwChunkSize) {
            Bytes chunk(data.begin() + static_cast<ptrdiff_t>(at),
                        data.begin() + static_cast<ptrdiff_t>(std::min(data.size(), at + LzrwChunkSize)));
            ExpectRoundTrip(chunk);
        }
    }
    std::mt19937 rng(7);
    for (int size : {1, 2, 3, 17, 4096, 5000, LzrwChunkSize}) {
        Bytes random(static_cast<size_t>(size));
        for (auto& b : random) b = static_cast<uint8_t>(rng());
        ExpectRoundTrip(random);
        // Few symbols, long repeats and runs: every item kind and the full control words.
        for (auto& b : random) b = static_cast<uint8_t>(rng() % 3 == 0 ? rng() % 4 : 'r');
        ExpectRoundTrip(random);
    }
    ExpectRoundTrip(Bytes(LzrwChunkSize, 0));  // runs of the longest count, back to back
}

TEST(KitLzrwTest, DamagedInputRaisesTheCoderError) {
    struct Case {
        const char* What;
        Bytes Coded;
        int Capacity;
    };
    const Case cases[] = {
        {"empty input", {}, 16},
        {"stored bytes beyond the capacity", {0x80, 1, 2, 3}, 2},
        {"no room for the control word", {0x40, 0x80}, 16},
        {"match reaching before the output", {0x40, 0x40, 0x00, 'a', 0x00, 0x20}, 64},
        {"offset far beyond the output", {0x40, 0x80, 0x00, 0xFF, 0xF0}, 64},
        {"match past the capacity", {0x40, 0x40, 0x00, 'a', 0x00, 0x1F}, 10},
        {"run past the capacity", {0x40, 0x80, 0x00, 0x00, 0x00, 0x54, 'X'}, 50},
        {"longest run one byte too long", {0x40, 0x80, 0x00, 0x00, 0x0F, 0xFF, 'X'}, 4110},
        {"truncated run", {0x40, 0x80, 0x00, 0x00, 0x00, 0x54}, 200},
        {"truncated match", {0x40, 0x40, 0x00, 'a', 0x00}, 64},
        {"literal past the capacity", {0x40, 0x00, 0x00, 'a', 'b', 'c'}, 2},
        {"control word without item",
         {0x40, 0x00, 0x00, 'a', 'b', 'c', 'd', 'e', 'f',  'g', 'h',
          'i',  'j',  'k',  'l', 'm', 'n', 'o', 'p', 0x00, 0x00},
         64},
        {"control word cut in half",
         {0x40, 0x00, 0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g',
          'h',  'i',  'j',  'k', 'l', 'm', 'n', 'o', 'p', 0x00},
         64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        try {
            Decompress(c.Coded, c.Capacity);
            ADD_FAILURE() << "no error";
        } catch (const EInvalidPointer& e) {
            EXPECT_STREQ(e.what(), "LZRW Error!");
        }
    }
}

TEST(KitLzrwTest, BlockStreamChunksAndTotal) {
    std::mt19937 rng(3);
    Bytes data(2 * LzrwChunkSize + 100);
    for (auto& b : data) b = static_cast<uint8_t>(rng() % 7);
    TMemoryStream source;
    source.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
    source.SetPosition(0);
    TMemoryStream block;
    block.WriteBuffer("hdr", 3);
    WriteCompressedBlock(&source, &block, static_cast<int64_t>(data.size()));
    EXPECT_EQ(block.Position(), block.Size());  // the stream ends behind the last chunk

    // The total is the sum of the coded chunk lengths plus 4 per chunk.
    block.SetPosition(3);
    int32_t total = ReadStreamInteger(&block);
    int64_t sum = 0;
    int chunks = 0;
    while (block.Position() < block.Size()) {
        int32_t len = ReadStreamInteger(&block);
        EXPECT_LE(len, LzrwMaxCodedChunk);
        block.Seek(len, soFromCurrent);
        sum += len + 4;
        ++chunks;
    }
    EXPECT_EQ(chunks, 3);
    EXPECT_EQ(total, sum);

    block.SetPosition(3);
    TMemoryStream target;
    ReadCompressedBlock(&block, &target);
    ASSERT_EQ(target.Size(), static_cast<int64_t>(data.size()));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), reinterpret_cast<const uint8_t*>(target.Memory())));

    TMemoryStream empty, emptyBlock;
    WriteCompressedBlock(&empty, &emptyBlock, 0);
    EXPECT_EQ(emptyBlock.Size(), 4);
    emptyBlock.SetPosition(0);
    EXPECT_EQ(ReadStreamInteger(&emptyBlock), 0);
}

// A block stream made of raw 32-bit values and bytes.
TMemoryStream* Block(TMemoryStream& s, std::initializer_list<int32_t> ints, const Bytes& tail = {}) {
    for (int32_t v : ints) WriteStreamInteger(&s, v);
    if (!tail.empty()) s.WriteBuffer(tail.data(), static_cast<int32_t>(tail.size()));
    s.SetPosition(0);
    return &s;
}

TEST(KitLzrwTest, DamagedBlockStreamsStopWithAnError) {
    // A chunk of length -4 once kept the total from decreasing: now it is refused.
    {
        TMemoryStream s, t;
        EXPECT_THROW(ReadCompressedBlock(Block(s, {8, -4, 0}), &t), EInvalidPointer);
    }
    {
        TMemoryStream s, t;  // total beyond the stream
        EXPECT_THROW(ReadCompressedBlock(Block(s, {1000, 2}, {0x80, 1}), &t), EReadError);
    }
    {
        TMemoryStream s, t;  // negative total
        EXPECT_THROW(ReadCompressedBlock(Block(s, {-5}), &t), EReadError);
    }
    {
        TMemoryStream s, t;  // chunk length 0
        EXPECT_THROW(ReadCompressedBlock(Block(s, {4, 0}), &t), EInvalidPointer);
    }
    {
        TMemoryStream s, t;  // chunk longer than the largest coded chunk
        Bytes big(LzrwMaxCodedChunk + 1, 0);
        big[0] = 0x80;
        EXPECT_THROW(ReadCompressedBlock(Block(s, {LzrwMaxCodedChunk + 5, LzrwMaxCodedChunk + 1}, big), &t),
                     EInvalidPointer);
    }
    {
        TMemoryStream s, t;  // a chunk decoding to more than a chunk's worth of bytes
        Bytes runs;
        runs.push_back(0x40);
        runs.push_back(0xC0);
        runs.push_back(0x00);
        for (int i = 0; i < 2; ++i) runs.insert(runs.end(), {0x00, 0x0F, 0xEF, 'x'});  // 2 x 4095 bytes
        TMemoryStream ok;
        Block(ok, {static_cast<int32_t>(runs.size()) + 4, static_cast<int32_t>(runs.size())}, runs);
        ReadCompressedBlock(&ok, &t);
        EXPECT_EQ(t.Size(), 2 * 4095);
        Bytes many = {0x40, 0xFF, 0xFF};
        for (int i = 0; i < 16; ++i) many.insert(many.end(), {0x00, 0x0F, 0xEF, 'x'});  // 16 x 4095 bytes
        TMemoryStream t2;
        EXPECT_THROW(
            ReadCompressedBlock(
                Block(s, {static_cast<int32_t>(many.size()) + 4, static_cast<int32_t>(many.size())}, many),
                &t2),
            EInvalidPointer);
    }
}

}  // namespace
}  // namespace kit
