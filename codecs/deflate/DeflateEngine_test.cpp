#include "codecs/deflate/DeflateEngine.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "codecs/deflate/Checksum.h"
#include "codecs/deflate/Huffman.h"
#include "codecs/testsupport/TestFiles.h"
#include "platform/Paths.h"

namespace codecs {
namespace {

using testing::RandomBytes;
using testing::TextLike;

// Raw deflate by the reference library, flushing with `flush` every `every` input bytes.
std::string ZlibDeflate(const std::string& in, int level, int strategy, int flush = Z_NO_FLUSH,
                        size_t every = 0, int windowBits = 15) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -windowBits, 8, strategy), Z_OK);
    // Every flush adds up to a few bytes of empty blocks.
    size_t flushes = every ? in.size() / every + 1 : 1;
    std::string out(compressBound(static_cast<uLong>(in.size())) + flushes * 16 + 1024, '\0');
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    size_t pos = 0;
    do {
        size_t n = every ? std::min(every, in.size() - pos) : in.size() - pos;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + pos));
        z.avail_in = static_cast<uInt>(n);
        pos += n;
        int mode = pos == in.size() ? Z_FINISH : flush;
        EXPECT_NE(deflate(&z, mode), Z_STREAM_ERROR);
    } while (pos < in.size());
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Raw inflate by the reference library; returns false on any error.
bool ZlibInflate(const std::string& in, std::string& out) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    out.clear();
    char buf[65536];
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    int rc;
    do {
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buf, sizeof buf - z.avail_out);
    } while (rc == Z_OK);
    inflateEnd(&z);
    return rc == Z_STREAM_END;
}

uint32_t InflateTo(const std::string& compressed, std::string& out, TArcDeflateHelper* helper = nullptr) {
    framework::TStringStream src(compressed), dst;
    uint32_t crc = Inflate(&src, &dst, helper);
    out = dst.DataString();
    return crc;
}

std::string DeflateOf(const std::string& in, TArcDeflateHelper* helper = nullptr,
                      uint32_t* checksum = nullptr) {
    framework::TStringStream src(in), dst;
    uint32_t c = Deflate(&src, &dst, helper);
    if (checksum) *checksum = c;
    return dst.DataString();
}

uint32_t ZCrc(const std::string& s) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

TEST(Checksum, Crc32MatchesPublishedValueAndReferenceLibrary) {
    const std::string check = "123456789";
    EXPECT_EQ(~UpdateCRC32(0xFFFFFFFF, check.data(), check.size()), 0xCBF43926u);
    for (size_t size : {0u, 1u, 7u, 8u, 9u, 4095u, 100000u}) {
        std::string data = RandomBytes(size, static_cast<uint32_t>(size));
        EXPECT_EQ(~UpdateCRC32(0xFFFFFFFF, data.data(), data.size()), ZCrc(data)) << size;
        uint32_t a = static_cast<uint32_t>(
            adler32(1, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        EXPECT_EQ(UpdateAdler32(1, data.data(), data.size()), a) << size;
    }
    // Split updates give the same value as one.
    std::string data = RandomBytes(10000, 5);
    uint32_t c = UpdateCRC32(0xFFFFFFFF, data.data(), 3333);
    c = UpdateCRC32(c, data.data() + 3333, data.size() - 3333);
    EXPECT_EQ(~c, ZCrc(data));
}

TEST(Inflate, DecodesEveryStreamKindOfTheReferenceLibrary) {
    const std::string text = TextLike(300000, 1);
    const std::string binary = RandomBytes(70000, 2) + text.substr(0, 50000) + std::string(40000, 'x');
    struct Case {
        int Level, Strategy, Flush;
        size_t Every;
    };
    std::vector<Case> cases;
    for (int level = 0; level <= 9; ++level) cases.push_back({level, Z_DEFAULT_STRATEGY, Z_NO_FLUSH, 0});
    for (int strategy : {Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED})
        cases.push_back({6, strategy, Z_NO_FLUSH, 0});
    cases.push_back({6, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH, 777});
    cases.push_back({9, Z_DEFAULT_STRATEGY, Z_FULL_FLUSH, 10000});
    cases.push_back({1, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH, 1});
    for (const std::string* input : {&text, &binary}) {
        for (const Case& c : cases) {
            std::string data = c.Every == 1 ? input->substr(0, 3000) : *input;
            std::string compressed = ZlibDeflate(data, c.Level, c.Strategy, c.Flush, c.Every);
            std::string out;
            uint32_t crc = 0;
            try {
                crc = InflateTo(compressed, out);
            } catch (const EArcInflateError& e) {
                ADD_FAILURE() << e.Message;
            }
            ASSERT_EQ(out, data) << "level " << c.Level << " strategy " << c.Strategy << " flush " << c.Flush;
            EXPECT_EQ(crc, ZCrc(data));
        }
    }
}

TEST(Inflate, DecodesStreamsOfOtherCompressors) {
    testing::TempDir dir;
    const std::string data = TextLike(60000, 3) + RandomBytes(10000, 4);
    testing::WriteFile(dir / "data", data);
    struct Tool {
        const char* Name;
        const char* Command;
        const char* Output;
        int Skip;  // header bytes before the raw stream
    };
    // zopfli --deflate writes a raw stream; pigz -11 writes gzip, whose 10-byte header is skipped.
    const Tool tools[] = {{"zopfli", "zopfli --deflate -c data > out", "out", 0},
                          {"pigz", "pigz -11 -n -c data > out", "out", 10}};
    for (const Tool& t : tools) {
        if (!testing::ToolAvailable(t.Name)) {
            ADD_FAILURE() << t.Name << " is not installed";
            continue;
        }
        ASSERT_EQ(testing::Run(t.Command, dir.Path()), 0) << t.Name;
        std::string compressed = testing::ReadFile(dir / t.Output).substr(static_cast<size_t>(t.Skip));
        std::string out;
        EXPECT_EQ(InflateTo(compressed, out), ZCrc(data)) << t.Name;
        EXPECT_EQ(out, data) << t.Name;
    }
}

TEST(Inflate, LeavesSourceRightBehindTheDeflateDataAndCounts) {
    const std::string data = TextLike(100000, 9);
    const std::string compressed = ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY);
    framework::TStringStream src(compressed + "TRAILER!"), dst;
    TArcDeflateHelper helper;
    Inflate(&src, &dst, &helper);
    char trailer[8];
    ASSERT_EQ(src.Read(trailer, 8), 8);
    EXPECT_EQ(std::string(trailer, 8), "TRAILER!");
    EXPECT_EQ(helper.NormalCount, static_cast<int32_t>(data.size()));
    EXPECT_EQ(helper.CompressedCount, static_cast<int32_t>(compressed.size()));
}

TEST(Inflate, OptionsStopEarlyTestOnlyAndAdler) {
    const std::string data = TextLike(200000, 11);
    const std::string compressed = ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY);
    std::string out;
    {
        TArcDeflateHelper h;
        h.StopAfterBytes = 512;
        EXPECT_EQ(InflateTo(compressed, out, &h), 0u);
        EXPECT_EQ(out, data.substr(0, 512));
    }
    {
        TArcDeflateHelper h;
        h.SetOptions(15 | dfoTestOnly);
        EXPECT_EQ(InflateTo(compressed, out, &h), ZCrc(data));
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(h.NormalCount, static_cast<int32_t>(data.size()));
    }
    {
        TArcDeflateHelper h;
        h.SetOptions(15 | dfoAdler32);
        uint32_t adler = static_cast<uint32_t>(
            adler32(1, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        EXPECT_EQ(InflateTo(compressed, out, &h), adler);
        uint32_t deflated = 0;
        DeflateOf(data, &h, &deflated);
        EXPECT_EQ(deflated, adler);
    }
}

TEST(Inflate, BadStreamsRaiseTheInflateErrorWithTheirCause) {
    struct Case {
        std::string Name;
        std::vector<uint8_t> Bytes;
        std::string Cause;
    };
    // Bit layouts, least significant bit first: BFINAL, BTYPE(2), then HLIT(5) HDIST(5) HCLEN(4).
    const std::vector<Case> cases = {
        {"block type 3", {0x07, 0x00}, "starting new block, but invalid block type [Inflate]"},
        {"HLIT 287",
         {0x05 | (30 << 3), 0x00, 0x00, 0x00},
         "count of literal codes in dynamic block is greater than 286 [InflateDynamicBlock]"},
        {"HDIST 31",
         {0x05, 0x1F, 0x00, 0x00, 0x00},
         "count of distance codes in dynamic block is greater than 30 [InflateDynamicBlock]"},
        {"stored NLEN",
         {0x01, 0x05, 0x00, 0x00, 0x00},
         "invalid stored block (length and NOT length do not match) [InflateStoredBlock]"},
        {"truncated", {0x01, 0x05, 0x00, 0xFA, 0xFF, 'a'}, "no more compressed data in stream"},
        {"empty", {}, "no more compressed data in stream"},
        // Fixed block: literal 'a' then a match of length 3 at distance 2 (only 1 byte exists).
        {"distance too far", {0x4B, 0x04, 0x42, 0x00}, "distance before the start"},
    };
    for (const Case& c : cases) {
        std::string out;
        try {
            InflateTo(std::string(c.Bytes.begin(), c.Bytes.end()), out);
            ADD_FAILURE() << c.Name << " was accepted";
        } catch (const EArcInflateError& e) {
            std::string m = e.Message;
            EXPECT_EQ(
                m.rfind("Dravolin inflate error, possibly a corrupted compressed stream. (Internal cause: ",
                        0),
                0u)
                << m;
            EXPECT_NE(m.find(c.Cause), std::string::npos) << c.Name << ": " << m;
            EXPECT_EQ(m.back(), ')');
        }
    }
}

TEST(Inflate, DecodesDeflate64EntriesOfSevenZip) {
    if (!testing::ToolAvailable("7z")) GTEST_SKIP() << "7z is not installed";
    testing::TempDir dir;
    // Repeats farther apart than 32 KiB and longer than 258 bytes use what only Deflate64 has.
    std::string block = RandomBytes(40000, 21);
    std::string data = block + TextLike(5000, 2) + block + std::string(100000, 'z') + block;
    testing::WriteFile(dir / "data.bin", data);
    ASSERT_EQ(testing::Run("7z a -tzip -mm=Deflate64 -mx=9 a.zip data.bin", dir.Path()), 0);
    std::string zip = testing::ReadFile(dir / "a.zip");
    auto u16 = [&](size_t o) { return size_t(uint8_t(zip[o])) | size_t(uint8_t(zip[o + 1])) << 8; };
    auto u32 = [&](size_t o) { return u16(o) | u16(o + 2) << 16; };
    ASSERT_EQ(u32(0), 0x04034B50u);
    ASSERT_EQ(u16(8), 9u);  // method 9: Deflate64
    size_t start = 30 + u16(26) + u16(28);
    std::string raw = zip.substr(start, u32(18));
    TArcDeflateHelper h;
    h.SetOptions(15 | dfoDeflate64);
    std::string out;
    EXPECT_EQ(InflateTo(raw, out, &h), ZCrc(data));
    EXPECT_EQ(out, data);
}

TEST(Deflate, OutputInflatesToTheInputForEveryOptionSet) {
    const std::vector<std::string> inputs = {
        "",
        "a",
        "ab",
        "abc",
        std::string(1000, '\0'),
        RandomBytes(70000, 1),
        TextLike(300000, 2),
        RandomBytes(30000, 3) + TextLike(30000, 4) + RandomBytes(30000, 3)};
    const int optionSets[] = {15, 7, 1, 2, 4, 3, 5, 6, 1 | 8, 2 | 8, 4 | 8};
    for (int options : optionSets) {
        for (const std::string& in : inputs) {
            TArcDeflateHelper h;
            h.SetOptions(options);
            uint32_t crc = 0;
            std::string compressed = DeflateOf(in, &h, &crc);
            std::string back;
            ASSERT_TRUE(ZlibInflate(compressed, back)) << "options " << options << " size " << in.size();
            ASSERT_EQ(back, in) << "options " << options << " size " << in.size();
            EXPECT_EQ(crc, ZCrc(in));
            EXPECT_EQ(h.NormalCount, static_cast<int32_t>(in.size()));
            EXPECT_EQ(h.CompressedCount, static_cast<int32_t>(compressed.size()));
            std::string ours;
            InflateTo(compressed, ours);
            EXPECT_EQ(ours, in);
        }
    }
}

TEST(Deflate, LimitsAndLargeInputsRoundTrip) {
    // Unlimited search, tiny limits, and a large text input.
    TArcDeflateHelper unlimited;
    unlimited.SetChainLimit(-1);
    unlimited.SetSufficientLength(-1);
    unlimited.SetLazyLimit(-1);
    TArcDeflateHelper tiny;
    tiny.SetChainLimit(1);
    tiny.SetLazyLimit(1);
    EXPECT_EQ(tiny.ChainLimit(), 4);
    EXPECT_EQ(tiny.LevelTag(), '?');
    TArcDeflateHelper small;
    small.WindowBytes = 4096;
    // 10 MB with the default settings, a megabyte with the others.
    const std::string text = TextLike(8 << 20, 8) + RandomBytes(2 << 20, 9);
    TArcDeflateHelper defaults;
    for (TArcDeflateHelper* h : {&defaults, &unlimited, &tiny, &small}) {
        std::string in = h == &defaults ? text
                         : h == &tiny   ? text.substr(0, 1 << 20)
                                        : text.substr(0, 500000);
        std::string compressed = DeflateOf(in, h);
        std::string back;
        ASSERT_TRUE(ZlibInflate(compressed, back));
        ASSERT_EQ(back, in);
    }
    // Text compresses to well under half.
    std::string compressed = DeflateOf(text.substr(0, 1 << 20));
    EXPECT_LT(compressed.size(), (1u << 20) / 3);
}

TEST(Deflate, EmptyInputIsOneFinalBlockWithOnlyTheEndCode) {
    EXPECT_EQ(DeflateOf(""), std::string("\x03\x00", 2));  // static block, end code 0000000
    TArcDeflateHelper stored;
    stored.SetOptions(dfoStored);
    EXPECT_EQ(DeflateOf("", &stored), std::string("\x01\x00\x00\xFF\xFF", 5));
    // One or two bytes come out as literals of a single static block.
    std::string out;
    InflateTo(DeflateOf("ab"), out);
    EXPECT_EQ(out, "ab");
}

TEST(Deflate, Deflate64RoundTripsThroughOurInflate) {
    std::string block = RandomBytes(50000, 31);
    std::string data = block + TextLike(10000, 1) + block + std::string(70000, 'q');
    TArcDeflateHelper h;
    h.SetOptions(15 | dfoDeflate64);
    h.WindowBytes = 65536;
    std::string compressed = DeflateOf(data, &h);
    EXPECT_LT(compressed.size(), 80000u);
    std::string out;
    EXPECT_EQ(InflateTo(compressed, out, &h), ZCrc(data));
    EXPECT_EQ(out, data);
}

TEST(Deflate, CodeLengthsRespectTheLimitAndKraft) {
    std::mt19937 g(7);
    for (int round = 0; round < 200; ++round) {
        int n = 2 + static_cast<int>(g() % 285);
        int limit = round % 3 == 0 ? 7 : 15;
        if (limit == 7) n = std::min(n, 19);
        std::vector<uint32_t> counts(static_cast<size_t>(n));
        // Fibonacci-like weights force deep unlimited trees.
        uint32_t a = 1, b = 1;
        for (auto& c : counts) {
            c = round % 2 ? (g() % 4 ? g() % 1000 : 0) : a;
            uint32_t next = a + b;
            a = b;
            b = std::min<uint32_t>(next, 100000000);
        }
        std::vector<uint8_t> lengths(static_cast<size_t>(n));
        GenerateCodeLengths(limit, counts.data(), n, lengths.data());
        double kraft = 0;
        int used = 0;
        for (int s = 0; s < n; ++s) {
            EXPECT_LE(lengths[size_t(s)], limit);
            if (counts[size_t(s)]) {
                EXPECT_GT(lengths[size_t(s)], 0);
                ++used;
            }
            if (lengths[size_t(s)]) kraft += 1.0 / (1 << lengths[size_t(s)]);
        }
        EXPECT_LE(kraft, 1.0 + 1e-12);
        if (used >= 2) {
            EXPECT_DOUBLE_EQ(kraft, 1.0);
        }
    }
}

// A destination that takes nothing.
class TFullDisk : public framework::TStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void*, int32_t) override { return 0; }
    int64_t Seek(int64_t, framework::TSeekOrigin) override { return 0; }
};

TEST(Deflate, WriteFailureAndMisuse) {
    framework::TStringStream src(TextLike(100000, 1));
    TFullDisk full;
    try {
        Deflate(&src, &full, nullptr);
        ADD_FAILURE();
    } catch (const EArcDeflateError& e) {
        EXPECT_EQ(e.Message,
                  "Dravolin deflate error. (Internal cause: could not write to the output atream "
                  "[TArcDfInBitStream.obsEmptyBuffer])");
    }
    TArcDeflateHelper none;
    none.SetOptions(dfoLazy);
    framework::TStringStream dst;
    try {
        Deflate(&src, &dst, &none);
        ADD_FAILURE();
    } catch (const EArcAssertion& e) {
        EXPECT_EQ(e.Message, "Deflate: aHelper.Options must enable some kind of archiving");
    }
    EXPECT_THROW(Inflate(nullptr, &dst, nullptr), EArcAssertion);
}

TEST(Deflate, RunsWriteTheirLog) {
    testing::TempDir dir;
    TArcDeflateHelper h;
    h.LogPath = platform::NativeToWindowsPath(dir / "deflate.log");
    std::string compressed = DeflateOf("logged data", &h);
    EXPECT_EQ(testing::ReadFile(dir / "deflate.log"),
              "DEFLATING STREAM...\r\nNeed to recompile the app with UseLogging turned on\r\n");
    h.LogPath = platform::NativeToWindowsPath(dir / "inflate.log");
    std::string out;
    InflateTo(compressed, out, &h);
    EXPECT_EQ(out, "logged data");
    EXPECT_EQ(testing::ReadFile(dir / "inflate.log").substr(0, 20), "INFLATING STREAM...\r");
}

TEST(Deflate, EncryptedRoundTrip) {
    const std::string data = TextLike(50000, 12);
    TArcDeflateHelper h;
    h.PasswordText = "secret";
    h.VerifyValue = ZCrc(data);
    std::string compressed = DeflateOf(data, &h);
    std::string out;
    EXPECT_EQ(InflateTo(compressed, out, &h), ZCrc(data));
    EXPECT_EQ(out, data);
    TArcDeflateHelper wrong;
    wrong.PasswordText = "Secret";
    wrong.VerifyValue = h.VerifyValue;
    try {
        InflateTo(compressed, out, &wrong);
        // The check byte matches one wrong password in 256; then the data is garbage.
        EXPECT_NE(out, data);
    } catch (const EArcInflatePasswordError& e) {
        EXPECT_EQ(e.Message, "Inflate: stream is encrypted but passphrase is wrong");
    } catch (const EArcInflateError&) {
    }
}

}  // namespace
}  // namespace codecs
