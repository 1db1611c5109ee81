#include "codecs/zip/ZipDecoders.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "codecs/deflate/Checksum.h"
#include "codecs/testsupport/TestFiles.h"

namespace codecs {
namespace {

// The fields of the first local header of an archive held in memory.
struct LocalEntry {
    uint16_t Flags = 0, Method = 0;
    uint32_t Crc = 0;
    int64_t Compressed = 0, Uncompressed = 0;
    size_t DataStart = 0;
};

LocalEntry FirstLocalEntry(const std::string& zip) {
    auto u16 = [&](size_t o) { return uint16_t(uint8_t(zip[o]) | uint8_t(zip[o + 1]) << 8); };
    auto u32 = [&](size_t o) { return uint32_t(u16(o)) | uint32_t(u16(o + 2)) << 16; };
    LocalEntry e;
    e.Flags = u16(6);
    e.Method = u16(8);
    e.Crc = u32(14);
    e.Compressed = u32(18);
    e.Uncompressed = u32(22);
    e.DataStart = 30 + size_t(u16(26)) + u16(28);
    return e;
}

struct Decoded {
    bool Known;
    std::string Output;
    uint32_t Crc;
};

Decoded DecodeFirst(const std::string& zip, TArcZipKeys* keys = nullptr) {
    LocalEntry e = FirstLocalEntry(zip);
    framework::TStringStream archive(zip), out;
    archive.SetPosition(static_cast<int64_t>(e.DataStart));
    TZipEntryDecoder d(&archive, &out);
    d.CompressedSize = e.Compressed;
    d.UncompressedSize = e.Uncompressed;
    d.Flags = e.Flags;
    d.Keys = keys;
    bool known = d.Decode(e.Method);
    return {known, out.DataString(), d.Crc()};
}

const std::string kLegacy = KORVANE_SHARED_DIR "/testdata/zip-legacy/";

TEST(ZipDecoders, LegacyMethodsDecodeToTheOriginal) {
    const std::string expected = testing::ReadFile(kLegacy + "first.txt");
    ASSERT_EQ(expected.size(), 1092u);
    for (const char* name : {"shrink.zip", "reduce.zip", "implode.zip"}) {
        const std::string zip = testing::ReadFile(kLegacy + name);
        Decoded r = DecodeFirst(zip);
        EXPECT_TRUE(r.Known) << name;
        EXPECT_EQ(r.Output, expected) << name;
        EXPECT_EQ(r.Crc, 0x22957A6Eu) << name;
    }
}

TEST(ZipDecoders, DamagedLegacyDataNeverEscapesItsTables) {
    // Every single-byte change of the compressed data either still decodes or fails the CRC test.
    for (const char* name : {"shrink.zip", "reduce.zip", "implode.zip"}) {
        const std::string zip = testing::ReadFile(kLegacy + name);
        LocalEntry e = FirstLocalEntry(zip);
        for (size_t i = e.DataStart; i < e.DataStart + size_t(e.Compressed); i += 7) {
            std::string bad = zip;
            bad[i] = static_cast<char>(bad[i] ^ 0x5A);
            try {
                Decoded r = DecodeFirst(bad);
                EXPECT_LE(r.Output.size(), 1092u);
            } catch (const EBiggerThanUncompressed&) {
                // Too much output is the extraction's own per-entry failure.
            }
        }
        // Cut short: the decoder ends without reading past the archive.
        std::string cut = zip.substr(0, e.DataStart + size_t(e.Compressed) / 2);
        try {
            Decoded r = DecodeFirst(cut);
            EXPECT_NE(r.Crc, 0x22957A6Eu);
        } catch (const EFatalUnzipError& ex) {
            EXPECT_EQ(ex.Message, "Premature end of file reached");
        }
    }
}

TEST(ZipDecoders, StoredAndDeflatedEntriesOfZip) {
    if (!testing::ToolAvailable("zip")) GTEST_SKIP() << "zip is not installed";
    testing::TempDir dir;
    const std::string data = testing::TextLike(100000, 5) + testing::RandomBytes(5000, 6);
    testing::WriteFile(dir / "data.txt", data);
    for (const char* level : {"-0", "-1", "-9"}) {
        std::string command = std::string("rm -f a.zip && zip -q ") + level + " a.zip data.txt";
        ASSERT_EQ(testing::Run(command, dir.Path()), 0);
        Decoded r = DecodeFirst(testing::ReadFile(dir / "a.zip"));
        EXPECT_EQ(r.Output, data) << level;
        EXPECT_EQ(r.Crc, ~UpdateCRC32(0xFFFFFFFF, data.data(), data.size())) << level;
    }
}

TEST(ZipDecoders, OutputLongerThanTheEntryIsRefused) {
    if (!testing::ToolAvailable("zip")) GTEST_SKIP() << "zip is not installed";
    testing::TempDir dir;
    testing::WriteFile(dir / "data.txt", std::string(70000, 'k'));
    ASSERT_EQ(testing::Run("zip -q -0 a.zip data.txt", dir.Path()), 0);
    std::string zip = testing::ReadFile(dir / "a.zip");
    LocalEntry e = FirstLocalEntry(zip);
    framework::TStringStream archive(zip), out;
    archive.SetPosition(static_cast<int64_t>(e.DataStart));
    TZipEntryDecoder d(&archive, &out);
    d.CompressedSize = e.Compressed;
    d.UncompressedSize = 1000;
    try {
        d.ExtractStored();
        ADD_FAILURE() << "too much output was accepted";
    } catch (const EBiggerThanUncompressed& ex) {
        EXPECT_EQ(ex.Message, "File is larger than uncompressed size!");
    }
    EXPECT_TRUE(out.DataString().empty());
}

}  // namespace
}  // namespace codecs
