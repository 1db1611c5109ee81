#include "codecs/archive/TarGzip.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "codecs/archive/ArcBrowser.h"
#include "codecs/archive/ArcErrors.h"
#include "codecs/deflate/DeflateEngine.h"
#include "codecs/testsupport/TestFiles.h"
#include "framework/core/Stream.h"
#include "platform/Paths.h"

namespace codecs {
namespace {

namespace fs = std::filesystem;
using testing::Put32;
using testing::TempDir;
using testing::Win;

// A memory stream holding the bytes, positioned at its start.
struct MemStream : framework::TMemoryStream {
    explicit MemStream(const std::string& bytes) {
        if (!bytes.empty()) WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
        SetPosition(0);
    }
};

std::string ContentOf(framework::TStream& s) {
    std::string out(static_cast<size_t>(s.Size()), '\0');
    s.SetPosition(0);
    if (!out.empty()) s.ReadBuffer(out.data(), static_cast<int32_t>(out.size()));
    return out;
}

std::string Field(const TArcTarItem& item, int at, int width) {
    return std::string(reinterpret_cast<const char*>(item.TarHeader) + at, static_cast<size_t>(width));
}

TEST(TarFields, OctalFieldsReadAndWritten) {
    struct W {
        int Width;
        int64_t Value;
        const char* Text;
    };
    for (const W& w : {W{8, 0744, "    744 "}, W{8, 0, "      0 "}, W{12, 1234567, "    4553207 "},
                       W{8, 077777777, "7777777 "} /* too long: the low digits are kept */}) {
        uint8_t field[12];
        WriteOctalField(field, w.Width, w.Value);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(field), static_cast<size_t>(w.Width)), w.Text);
    }
    struct R {
        const char* Text;
        int64_t Value;
    };
    for (const R& r : {R{"    744 ", 0744}, R{"        ", 0}, R{"0000644", 0644}, R{"12x4    ", 012},
                       R{"  17\0\0\0\0", 017}, R{"\0\0\0\0\0\0\0\0", 0}}) {
        uint8_t field[8];
        std::memcpy(field, r.Text, 8);
        EXPECT_EQ(ReadOctalField(field, 8), r.Value) << r.Text;
    }
    EXPECT_EQ(RoundUpToBlock(0), 0);
    EXPECT_EQ(RoundUpToBlock(1), 512);
    EXPECT_EQ(RoundUpToBlock(512), 512);
    EXPECT_EQ(RoundUpToBlock(513), 1024);
}

TEST(TarFields, NewItemRecordAndSetters) {
    TArcTarItem item;
    EXPECT_EQ(Field(item, tar::Mode, 8), "    744 ");
    EXPECT_EQ(item.GetAttributes(), 484u);
    EXPECT_EQ(Field(item, tar::Uid, 8), "      0 ");
    EXPECT_EQ(Field(item, tar::Magic, 8), std::string("ustar  \0", 8));
    EXPECT_EQ(item.TarHeader[tar::TypeFlag], '0');
    EXPECT_EQ(item.GetStoredName(), "");
    item.SetStoredName("docs/readme.txt");
    item.SetUnpackedSize(1000);
    item.SetUserName("someone");
    EXPECT_EQ(item.GetStoredName(), "docs/readme.txt");
    EXPECT_EQ(Field(item, tar::Size, 12), "       1750 ");
    EXPECT_EQ(item.GetPackedSize(), 1000);
    EXPECT_EQ(Field(item, tar::UName, 8), std::string("someone\0", 8));
    // A name longer than its field keeps its NUL.
    item.SetStoredName(std::string(150, 'n'));
    EXPECT_EQ(item.GetStoredName(), std::string(99, 'n'));
    // DOS date and time replace the day and the time of day of the modification time.
    item.SetModificationTime(86400 * 10 + 3600);
    item.SetDosDate(static_cast<uint16_t>((2020 - 1980) << 9 | 2 << 5 | 29));
    EXPECT_EQ(item.ModificationTime(), 1582934400 + 3600);
    item.SetDosTime(static_cast<uint16_t>(13 << 11 | 14 << 5 | 8));
    EXPECT_EQ(item.ModificationTime(), 1582934400 + 13 * 3600 + 14 * 60 + 16);
    EXPECT_EQ(item.GetDosTime(), static_cast<uint16_t>(13 << 11 | 14 << 5 | 8));
    EXPECT_EQ(item.GetDosDate(), static_cast<uint16_t>((2020 - 1980) << 9 | 2 << 5 | 29));
}

// A 512-byte header block with the given magic; the checksum is right unless `breakSum`.
std::string HeaderBlock(const std::string& name, const char* magic8, bool breakSum, char type = '0',
                        int64_t size = 0) {
    TArcTarItem item;
    item.SetStoredName(name);
    item.SetUnpackedSize(static_cast<uint32_t>(size));
    item.TarHeader[tar::TypeFlag] = static_cast<uint8_t>(type);
    std::memcpy(item.TarHeader + tar::Magic, magic8, 8);
    WriteOctalField(item.TarHeader + tar::Checksum, 7,
                    TarHeaderChecksum(item.TarHeader) + (breakSum ? 1 : 0));
    item.TarHeader[tar::Checksum + 7] = ' ';
    std::string block(reinterpret_cast<char*>(item.TarHeader), kTarHeaderSize);
    block.resize(kTarBlock, '\0');
    return block;
}

TEST(TarSignature, ChecksumOrMagicDecides) {
    struct Case {
        const char* What;
        std::string Bytes;
        int Kind;
    };
    const std::vector<Case> cases = {
        {"posix magic, right checksum", HeaderBlock("a", "ustar\00000", false), 4},
        {"posix magic, wrong checksum", HeaderBlock("a", "ustar\00000", true), 0},
        {"GNUtar magic, wrong checksum", HeaderBlock("a", "GNUtar \0", true), 4},
        {"old gnu magic, wrong checksum", HeaderBlock("a", "ustar  \0", true), 4},
        {"zero block", std::string(512, '\0'), 0},
        {"shorter than a header", std::string(100, 'x'), 0},
        {"empty", "", 0},
    };
    for (const Case& c : cases) {
        MemStream s(c.Bytes);
        EXPECT_EQ(TarSignatureTest(&s), c.Kind) << c.What;
    }
    EXPECT_THROW(TArcTarStreamHelper(nullptr), framework::Exception);
}

TEST(TarReader, WalkStopsAtTheZeroBlockAndSkipsOtherTypes) {
    const std::string data(700, 'd');
    std::string tar = HeaderBlock("dir/", "ustar  \0", false, '5') +
                      HeaderBlock("one", "ustar  \0", false, '0', 700) + data +
                      std::string(RoundUpToBlock(700) - 700, '\0') +
                      HeaderBlock("two", "ustar  \0", false, '\0', 0) + std::string(512, '\0') +
                      HeaderBlock("after-the-end", "ustar  \0", false);
    MemStream s(tar);
    TArcTarStreamHelper reader(&s);
    EXPECT_EQ(reader.GetItemCount(), 2);
    ASSERT_TRUE(reader.FindFirstItem());
    EXPECT_EQ(reader.HeaderStart, 512);
    EXPECT_EQ(s.Position(), 512);
    framework::TMemoryStream out;
    reader.ExtractItemData(&out);
    EXPECT_EQ(ContentOf(out), data);
    EXPECT_EQ(s.Position(), 512);
    ASSERT_TRUE(reader.FindNextItem());
    EXPECT_EQ(reader.HeaderStart, 512 + 512 + 1024);
    EXPECT_FALSE(reader.FindNextItem());
    for (int index : {0, 1}) {
        ASSERT_TRUE(reader.FindItemAt(index));
        EXPECT_EQ(reader.HeaderStart, 512);
    }
    ASSERT_TRUE(reader.FindItemAt(2));
    EXPECT_EQ(reader.HeaderStart, 2048);
    EXPECT_FALSE(reader.FindItemAt(3));

    MemStream empty("");
    TArcTarStreamHelper none(&empty);
    EXPECT_EQ(none.GetItemCount(), 0);
    // A zero block ends the archive also before its first entry.
    MemStream zeros(std::string(1024, '\0'));
    TArcTarStreamHelper zero(&zeros);
    EXPECT_FALSE(zero.FindFirstItem());
    EXPECT_EQ(zero.GetItemCount(), 0);
    // An entry whose data runs past the end of the stream raises instead of reading short.
    MemStream cut(HeaderBlock("big", "ustar  \0", false, '0', 100000) + "only a little");
    TArcTarStreamHelper big(&cut);
    ASSERT_TRUE(big.FindFirstItem());
    EXPECT_THROW(big.ExtractItemData(&out), framework::EReadError);
}

TEST(TarReader, WrittenEntriesReadBackByTar) {
    if (!testing::ToolAvailable("tar")) GTEST_SKIP() << "tar is not installed";
    TempDir dir;
    const std::string data = testing::TextLike(1300, 5);
    {
        framework::TFileStream out(dir / "w.tar", framework::fmCreate);
        TArcTarStreamHelper writer(&out);
        TArcTarItem item;
        item.SetStoredName("written.txt");
        item.SetUnpackedSize(static_cast<uint32_t>(data.size()));
        item.SetModificationTime(1600000000);
        WriteOctalField(item.TarHeader + tar::Checksum, 7, TarHeaderChecksum(item.TarHeader));
        std::string block(reinterpret_cast<char*>(item.TarHeader), kTarHeaderSize);
        block.resize(kTarBlock, '\0');
        out.WriteBuffer(block.data(), kTarBlock);
        MemStream source(data);
        writer.WriteItemData(&source);
        writer.WriteTail();
        writer.WriteTail();
        EXPECT_EQ(out.Size(), 512 + 1536 + 1024);
    }
    ASSERT_EQ(testing::Run("tar -xf w.tar", dir.Path()), 0);
    EXPECT_EQ(testing::ReadFile(dir / "written.txt"), data);
}

class TarFormats : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::ToolAvailable("tar")) GTEST_SKIP() << "tar is not installed";
        fs::create_directories(Dir.Path() / "src");
        testing::WriteFile(Dir / "src/a.txt", testing::TextLike(3000, 1));
        testing::WriteFile(Dir / "src/b.bin", testing::RandomBytes(512, 2));
        testing::WriteFile(Dir / "src/empty", "");
        testing::WriteFile(Dir / "src/" + std::string(120, 'L'), "long name");
    }
    TempDir Dir;
};

TEST_F(TarFormats, EveryFormatIsRecognisedAndCountedAsTarDoes) {
    struct F {
        const char* Format;
        const char* Files;
    };
    // v7 and ustar cannot hold the 120-character name.
    for (const F& f : {F{"v7", "a.txt b.bin empty"}, F{"ustar", "a.txt b.bin empty"},
                       F{"gnu", "a.txt b.bin empty LLLL*"}, F{"posix", "a.txt b.bin empty LLLL*"}}) {
        SCOPED_TRACE(f.Format);
        ASSERT_EQ(testing::Run(std::string("rm -f ../t.tar && tar --format=") + f.Format + " -cf ../t.tar " +
                                   f.Files + " && tar -tf ../t.tar | wc -l > ../count",
                               Dir.Path() / "src"),
                  0);
        const int count = std::stoi(testing::ReadFile(Dir / "count"));
        framework::TFileStream s(Dir / "t.tar", framework::fmOpenRead | framework::fmShareDenyNone);
        EXPECT_EQ(TarSignatureTest(&s), 4);
        TArcTarStreamHelper reader(&s);
        EXPECT_EQ(reader.GetItemCount(), count);
        ASSERT_TRUE(reader.FindFirstItem());
        TArcTarItem item;
        item.ReadTarHeader(&s);
        EXPECT_EQ(item.GetStoredName(), "a.txt");
        framework::TMemoryStream out;
        reader.ExtractItemData(&out);
        EXPECT_EQ(ContentOf(out), testing::ReadFile(Dir / "src/a.txt"));
        EXPECT_EQ(DetectArchiveKind(Win(Dir / "t.tar"), 0), akTar);
    }
}

// The regular entries of a TAR stream, with their data, as the reader lists them.
std::map<std::string, std::string> ListTar(framework::TStream& s) {
    std::map<std::string, std::string> entries;
    TArcTarStreamHelper reader(&s);
    for (bool found = reader.FindFirstItem(); found; found = reader.FindNextItem()) {
        TArcTarItem item;
        reader.ReadItem(item);
        framework::TMemoryStream out;
        reader.ExtractItemData(&out);
        EXPECT_EQ(out.Size(), item.GetUnpackedSize()) << item.GetStoredName();
        entries[item.GetStoredName()] = ContentOf(out);
    }
    return entries;
}

TEST_F(TarFormats, LongNamesComeFromLongNameRecordsExtendedHeadersAndThePrefix) {
    // A folder path that only the prefix field (or a long-name record) can hold, placed first so
    // that the first header of a ustar archive uses the prefix; a file name longer than the name
    // field; a link with a long target; a hard link to the long file.
    const std::string folder = std::string(60, 'd') + "/" + std::string(70, 'e');
    const std::string deep = folder + "/deep.txt";
    const std::string longName = std::string(120, 'L');
    const std::string target = std::string(110, 't');
    fs::create_directories(Dir.Path() / "src" / folder);
    testing::WriteFile(Dir / ("src/" + deep), "deep data");
    ASSERT_EQ(testing::Run("ln -s " + target + " link && ln " + longName + " hard", Dir.Path() / "src"), 0);
    struct F {
        const char* Format;
        const char* Files;
        bool HasLongName;
    };
    // The deep file is named first, so that it is the archive's first header.
    for (const F& f : {F{"gnu", "a.txt LLLL* link hard", true}, F{"posix", "a.txt LLLL* link hard", true},
                       F{"ustar", "a.txt", false}}) {
        SCOPED_TRACE(f.Format);
        ASSERT_EQ(testing::Run(std::string("rm -f ../t.tar && tar --format=") + f.Format + " -cf ../t.tar " +
                                   deep + " " + f.Files,
                               Dir.Path() / "src"),
                  0);
        if (std::string(f.Format) == "ustar") {
            const std::string first = testing::ReadFile(Dir / "t.tar").substr(0, kTarBlock);
            ASSERT_EQ(first.substr(tar::Prefix, folder.size()), folder);  // the first header uses the prefix
        }
        framework::TFileStream s(Dir / "t.tar", framework::fmOpenRead | framework::fmShareDenyNone);
        EXPECT_EQ(TarSignatureTest(&s), 4);
        std::map<std::string, std::string> expected = {{deep, "deep data"},
                                                       {"a.txt", testing::ReadFile(Dir / "src/a.txt")}};
        if (f.HasLongName) expected[longName] = "long name";
        EXPECT_EQ(ListTar(s), expected);
        EXPECT_EQ(DetectArchiveKind(Win(Dir / "t.tar"), 0), akTar);
    }
}

// A header block with the given type, name and size field, its checksum right.
std::string TypedBlock(char type, const std::string& name, int64_t size) {
    return HeaderBlock(name, "ustar\00000", false, type, size);
}
// A record of an extended header, its length counting itself.
std::string PaxRecord(const std::string& key, const std::string& value) {
    const std::string body = " " + key + "=" + value + "\n";
    size_t length = body.size() + 1;
    while (std::to_string(length).size() + body.size() != length) ++length;
    return std::to_string(length) + body;
}
std::string Padded(std::string data) {
    data.resize(static_cast<size_t>(RoundUpToBlock(static_cast<int64_t>(data.size()))), '\0');
    return data;
}

TEST(TarReader, ExtendedHeadersGiveSizeTimeAndLinkAndForgedOnesStayBounded) {
    // The extended size replaces a wrong one in the header; the time, name and link target too.
    const std::string pax = PaxRecord("path", "real/name.txt") + PaxRecord("size", "5") +
                            PaxRecord("mtime", "1600000000.25") + PaxRecord("linkpath", "somewhere") +
                            PaxRecord("comment", "ignored");
    const std::string tar = TypedBlock('x', "PaxHeaders/x", static_cast<int64_t>(pax.size())) + Padded(pax) +
                            TypedBlock('0', "short", 3) + Padded("fiver") + TypedBlock('0', "next", 2) +
                            Padded("ok") + std::string(1024, '\0');
    MemStream s(tar);
    TArcTarStreamHelper reader(&s);
    ASSERT_TRUE(reader.FindFirstItem());
    TArcTarItem item;
    reader.ReadItem(item);
    EXPECT_EQ(item.GetStoredName(), "real/name.txt");
    EXPECT_EQ(item.SourcePath, "real\\name.txt");
    EXPECT_EQ(item.GetUnpackedSize(), 5u);
    EXPECT_EQ(item.ModificationTime(), 1600000000);
    EXPECT_EQ(item.GetLinkName(), "somewhere");
    framework::TMemoryStream out;
    reader.ExtractItemData(&out);
    EXPECT_EQ(ContentOf(out), "fiver");
    // The extended values apply to one entry only.
    ASSERT_TRUE(reader.FindNextItem());
    reader.ReadItem(item);
    EXPECT_EQ(item.GetStoredName(), "next");
    EXPECT_EQ(item.GetUnpackedSize(), 2u);
    EXPECT_FALSE(reader.FindNextItem());
    // Setting a field drops the extended value.
    item.SetStoredName("plain");
    EXPECT_EQ(item.GetStoredName(), "plain");

    // Times from an extended header: a pre-1970 one rounds to the earlier second; times outside
    // the DOS range give its first or last stamp.
    struct T {
        const char* MTime;
        int64_t Seconds;
        uint16_t Date, Time;
    };
    for (const T& t : {T{"-10.5", -11, 0x0021, 0}, T{"9999999999", 9999999999, 0xFF9F, 0xBF7D}}) {
        SCOPED_TRACE(t.MTime);
        const std::string record = PaxRecord("mtime", t.MTime);
        MemStream o(TypedBlock('x', "x", static_cast<int64_t>(record.size())) + Padded(record) +
                    TypedBlock('0', "old", 0) + std::string(1024, '\0'));
        TArcTarStreamHelper r(&o);
        ASSERT_TRUE(r.FindFirstItem());
        TArcTarItem i;
        r.ReadItem(i);
        EXPECT_EQ(i.ModificationTime(), t.Seconds);
        EXPECT_EQ(i.GetDosDate(), t.Date);
        EXPECT_EQ(i.GetDosTime(), t.Time);
    }

    // Forged records: a long-name or extended record claiming more than the stream holds, and
    // malformed extended records, end the walk as a damaged archive without reading on.
    struct Case {
        const char* What;
        std::string Bytes;
    };
    const std::string huge = "99999999999 path=x\n";
    const std::vector<Case> forged = {
        {"long name beyond the end", TypedBlock('L', "././@LongLink", 017777777777) + Padded("name")},
        {"extended header beyond the end", TypedBlock('x', "x", 0100000000) + Padded(PaxRecord("path", "p"))},
        {"record length beyond the header",
         TypedBlock('x', "x", static_cast<int64_t>(huge.size())) + Padded(huge)},
        {"record without newline", TypedBlock('x', "x", 11) + Padded("11 path=abc")},
        {"record length not a number", TypedBlock('x', "x", 8) + Padded("x path=\n")},
        {"size not a number", TypedBlock('x', "x", 12) + Padded("12 size=-40\n")},
    };
    for (const Case& c : forged) {
        SCOPED_TRACE(c.What);
        MemStream f(c.Bytes + TypedBlock('0', "after", 0) + std::string(1024, '\0'));
        TArcTarStreamHelper r(&f);
        EXPECT_THROW(r.FindFirstItem(), EArcReadError);
    }
    // An extended size far beyond the stream: the entry lists, its data raises at the end of the
    // stream, and the walk ends there.
    {
        const std::string big = PaxRecord("size", "999999999999999999999999");
        MemStream b(TypedBlock('x', "x", static_cast<int64_t>(big.size())) + Padded(big) +
                    TypedBlock('0', "big", 0) + Padded("some data"));
        TArcTarStreamHelper r(&b);
        ASSERT_TRUE(r.FindFirstItem());
        framework::TMemoryStream sink;
        EXPECT_THROW(r.ExtractItemData(&sink), framework::EReadError);
        EXPECT_FALSE(r.FindNextItem());
    }
}

TEST_F(TarFormats, DamagedHeaderEndsTheWalkAsADamagedArchive) {
    ASSERT_EQ(testing::Run("tar --format=posix -cf ../t.tar a.txt b.bin empty", Dir.Path() / "src"), 0);
    const std::string good = testing::ReadFile(Dir / "t.tar");
    MemStream intact(good);
    EXPECT_EQ(ListTar(intact).size(), 3u);
    // Bytes changed in the second entry's header, in its name and behind the 345-byte record.
    const size_t second = [&] {
        TArcTarStreamHelper r(&intact);
        EXPECT_TRUE(r.FindFirstItem());
        EXPECT_TRUE(r.FindNextItem());
        return static_cast<size_t>(r.HeaderStart);
    }();
    for (size_t offset : {size_t{3}, size_t{400}, size_t{511}}) {
        SCOPED_TRACE(offset);
        std::string bad = good;
        bad[second + offset] = static_cast<char>(bad[second + offset] ^ 0x20);
        MemStream s(bad);
        TArcTarStreamHelper reader(&s);
        ASSERT_TRUE(reader.FindFirstItem());
        EXPECT_THROW(reader.FindNextItem(), EArcReadError);
        EXPECT_THROW(reader.GetItemCount(), EArcReadError);
    }
}

TEST_F(TarFormats, ArchivesWithoutRegularFilesListNothing) {
    fs::create_directories(Dir.Path() / "src/only/sub");
    ASSERT_EQ(testing::Run("ln -s a.txt alink", Dir.Path() / "src"), 0);
    for (const char* format : {"gnu", "posix", "ustar", "v7"}) {
        for (const char* files : {"--files-from /dev/null", "only", "alink"}) {
            SCOPED_TRACE(std::string(format) + " " + files);
            ASSERT_EQ(testing::Run(
                          std::string("rm -f ../t.tar && tar --format=") + format + " -cf ../t.tar " + files,
                          Dir.Path() / "src"),
                      0);
            framework::TFileStream s(Dir / "t.tar", framework::fmOpenRead | framework::fmShareDenyNone);
            TArcTarStreamHelper reader(&s);
            EXPECT_FALSE(reader.FindFirstItem());
            EXPECT_EQ(reader.GetItemCount(), 0);
        }
    }
}

TEST_F(TarFormats, TimesBefore1980GiveTheEarliestDosDate) {
    // 1975 (octal field), 1970 (zero), 1960 (a negative time: a binary field or an extended header)
    // and, as a control, a time within the DOS range.
    struct T {
        const char* Touch;
        uint16_t Date, Time;
    };
    for (const char* format : {"gnu", "posix"}) {
        for (const T& t :
             {T{"1975-06-01 12:00:00Z", 0x0021, 0}, T{"@0", 0x0021, 0}, T{"1960-01-01 00:00:00Z", 0x0021, 0},
              T{"2001-02-03 04:05:06Z", (21 << 9) | (2 << 5) | 3, (4 << 11) | (5 << 5) | 3}}) {
            SCOPED_TRACE(std::string(format) + " " + t.Touch);
            ASSERT_EQ(testing::Run(std::string("touch -d '") + t.Touch +
                                       "' a.txt && rm -f ../t.tar && tar --format=" + format +
                                       " -cf ../t.tar a.txt",
                                   Dir.Path() / "src"),
                      0);
            framework::TFileStream s(Dir / "t.tar", framework::fmOpenRead | framework::fmShareDenyNone);
            TArcTarStreamHelper reader(&s);
            ASSERT_TRUE(reader.FindFirstItem());
            TArcTarItem item;
            reader.ReadItem(item);
            EXPECT_EQ(item.GetDosDate(), t.Date);
            EXPECT_EQ(item.GetDosTime(), t.Time);
        }
    }
}

// ---- GZIP ---------------------------------------------------------------------------------------

std::string RawDeflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(compressBound(static_cast<uLong>(data.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A member with every optional header field.
std::string FullMember(const std::string& data, std::string& headerOnly) {
    std::string h = {31, static_cast<char>(139), 8, 2 | 4 | 8 | 16};
    Put32(h, 1600000000);
    h += '\x02';
    h += '\x03';
    h += '\x05';
    h += '\x00';
    h += std::string("AB\x01\x02\x03", 5);
    h += std::string("hello.txt") + '\0';
    h += std::string("a comment") + '\0';
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(h.data()), static_cast<uInt>(h.size())));
    h += static_cast<char>(crc & 0xFF);
    h += static_cast<char>((crc >> 8) & 0xFF);
    headerOnly = h;
    std::string m = h + RawDeflate(data);
    Put32(m, static_cast<uint32_t>(
                 crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()))));
    Put32(m, static_cast<uint32_t>(data.size()));
    return m;
}

TEST(GzipHeader, EveryOptionalFieldParsesAndCutHeadersRaise) {
    const std::string data = testing::TextLike(5000, 7);
    std::string header;
    const std::string member = FullMember(data, header);
    MemStream s(member);
    TArcGzipStreamHelper reader(&s);
    ASSERT_TRUE(reader.FindFirstItem());
    EXPECT_EQ(s.Position(), 0);
    reader.ReadItemHeader();
    const TArcGzipItem& item = *reader.Item;
    EXPECT_EQ(s.Position(), static_cast<int64_t>(header.size()));
    EXPECT_EQ(item.GetStoredName(), "hello.txt");
    EXPECT_EQ(item.ExtraField, std::string("AB\x01\x02\x03", 5));
    EXPECT_EQ(item.Comment, "a comment");
    EXPECT_EQ(item.Flags, 2 | 4 | 8 | 16);
    EXPECT_EQ(item.ModTime, 1600000000);
    EXPECT_EQ(item.HeaderCrc, static_cast<uint8_t>(header[header.size() - 2]));
    EXPECT_EQ(item.GetPackedSize(), static_cast<int32_t>(member.size() - header.size() - 8));
    framework::TMemoryStream out;
    reader.ExtractItemData(&out);
    EXPECT_EQ(ContentOf(out), data);
    EXPECT_EQ(item.DataCrc,
              crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    EXPECT_EQ(item.GetUnpackedSize(), data.size());
    reader.ReadTail();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reader.Tail), 8), member.substr(member.size() - 8));
    EXPECT_EQ(GzipSignatureTest(&s), 5);

    // Every header cut short raises the stream's read error and the test says "not GZIP".
    for (size_t cut :
         {size_t{3}, size_t{10}, size_t{11}, size_t{14}, size_t{18}, size_t{27}, header.size() - 1}) {
        SCOPED_TRACE(cut);
        MemStream part(member.substr(0, cut));
        TArcGzipItem cutItem;
        EXPECT_THROW(cutItem.ReadItemHeader(&part), framework::EReadError);
        part.SetPosition(1);
        EXPECT_EQ(GzipSignatureTest(&part), 0);
        EXPECT_EQ(part.Position(), 1);
    }
}

TEST(GzipHeader, WrittenMemberIsReadByGzip) {
    if (!testing::ToolAvailable("gzip")) GTEST_SKIP() << "gzip is not installed";
    TempDir dir;
    const std::string data = testing::TextLike(20000, 9);
    {
        framework::TFileStream out(dir / "w.gz", framework::fmCreate);
        TArcGzipStreamHelper writer(&out);
        writer.Item->SetStoredName("inner.txt");
        EXPECT_EQ(writer.Item->Flags & gzFName, gzFName);
        writer.Item->Comment = "note";
        writer.Item->ModTime = 1500000000;
        writer.WriteItemHeader();
        MemStream source(data);
        writer.WriteItemData(&source);
        writer.WriteTail();
    }
    ASSERT_EQ(testing::Run("gzip -dc w.gz > plain && gzip -lN w.gz > list", dir.Path()), 0);
    EXPECT_EQ(testing::ReadFile(dir / "plain"), data);
    EXPECT_NE(testing::ReadFile(dir / "list").find("inner.txt"), std::string::npos);
    TArcGzipItem item;
    item.SetStoredName("x");
    item.SetStoredName("");
    EXPECT_EQ(item.Flags & gzFName, 0);
}

TEST(GzipFiles, NamesKindsAndExtractionMatchTheTools) {
    if (!testing::ToolAvailable("gzip") || !testing::ToolAvailable("tar"))
        GTEST_SKIP() << "gzip or tar missing";
    TempDir dir;
    testing::WriteFile(dir / "plain.txt", testing::TextLike(60000, 3));
    testing::WriteFile(dir / "tiny.txt", "tiny");
    ASSERT_EQ(
        testing::Run("gzip -c plain.txt > named.gz && gzip -nc plain.txt > anon.gz && gzip -c tiny.txt > "
                     "tiny.gz && tar czf t.tgz plain.txt tiny.txt && cp t.tgz t.tar.gz",
                     dir.Path()),
        0);
    struct Case {
        const char* File;
        const char* Name;
        int Kind;
    };
    for (const Case& c : {Case{"named.gz", "plain.txt", akGzip}, Case{"anon.gz", "unknown", akGzip},
                          Case{"tiny.gz", "tiny.txt", akGzip}, Case{"t.tgz", "unknown", akGzippedTar},
                          Case{"t.tar.gz", "unknown", akGzippedTar}}) {
        SCOPED_TRACE(c.File);
        EXPECT_EQ(DetectArchiveKind(Win(dir / c.File), 0), c.Kind);
        EXPECT_EQ(DetectArchiveKind(Win(dir / c.File), akGzip), c.Kind);
        framework::TFileStream s(dir / c.File, framework::fmOpenRead | framework::fmShareDenyNone);
        TArcGzipStreamHelper reader(&s);
        ASSERT_TRUE(reader.FindFirstItem());
        EXPECT_EQ(reader.GetItemCount(), 1);
        EXPECT_FALSE(reader.FindNextItem());
        reader.ReadItemHeader();
        EXPECT_EQ(reader.Item->GetStoredName(), c.Name);
        if (std::string(c.File) == "anon.gz") {
            // No time stored (MTIME 0, 1970): the earliest DOS date and time.
            EXPECT_EQ(reader.Item->ModTime, 0);
            EXPECT_EQ(reader.Item->GetDosDate(), 0x0021);
            EXPECT_EQ(reader.Item->GetDosTime(), 0);
        }
        framework::TMemoryStream out;
        reader.ExtractItemData(&out);
        ASSERT_EQ(testing::Run(std::string("gzip -dc ") + c.File + " > expected", dir.Path()), 0);
        EXPECT_EQ(ContentOf(out), testing::ReadFile(dir / "expected"));
        // The test-only choice decodes and checks but writes nothing.
        framework::TMemoryStream sink;
        reader.TestOnly = true;
        reader.ExtractItemData(&sink);
        EXPECT_EQ(sink.Size(), 0);
    }
}

TEST(GzipFiles, EveryMemberIsReadAsGzipDoes) {
    if (!testing::ToolAvailable("gzip") || !testing::ToolAvailable("bgzip"))
        GTEST_SKIP() << "gzip or bgzip (package tabix) missing";
    TempDir dir;
    testing::WriteFile(dir / "one.txt", testing::TextLike(30000, 1));
    testing::WriteFile(dir / "two.txt", testing::TextLike(200000, 2));
    testing::WriteFile(dir / "empty.txt", "");
    // Joined files (one of them empty), blocked output of 64 KiB members with its empty end
    // member, joined files padded with zeros behind the last member, and members of a gzipped TAR.
    ASSERT_EQ(
        testing::Run("gzip -c one.txt > joined.gz && gzip -nc empty.txt >> joined.gz && gzip -c two.txt >> "
                     "joined.gz && bgzip -c two.txt > blocked.gz && cp joined.gz padded.gz && head -c 700 "
                     "/dev/zero >> padded.gz && tar cf - one.txt | gzip -c > t.tgz && tar cf - two.txt | "
                     "gzip -c >> t.tgz",
                     dir.Path()),
        0);
    for (const char* file : {"joined.gz", "blocked.gz", "padded.gz", "t.tgz"}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(testing::Run(std::string("gzip -dc ") + file + " > expected", dir.Path()), 0);
        const std::string expected = testing::ReadFile(dir / "expected");
        framework::TFileStream s(dir / file, framework::fmOpenRead | framework::fmShareDenyNone);
        TArcGzipStreamHelper reader(&s);
        ASSERT_TRUE(reader.FindFirstItem());
        framework::TMemoryStream out;
        reader.ExtractItemData(&out);
        EXPECT_EQ(ContentOf(out), expected);
        EXPECT_EQ(reader.Item->GetUnpackedSize(), expected.size());
        EXPECT_EQ(reader.Item->DataCrc, crc32(0, reinterpret_cast<const Bytef*>(expected.data()),
                                              static_cast<uInt>(expected.size())));
        // The test-only run checks the same.
        framework::TMemoryStream sink;
        reader.TestOnly = true;
        reader.ExtractItemData(&sink);
        EXPECT_EQ(reader.Item->GetUnpackedSize(), expected.size());
    }
    // A member whose tail does not match its data raises instead of passing for good.
    std::string joined = testing::ReadFile(dir / "joined.gz");
    const size_t firstEnd = testing::ReadFile(dir / "joined.gz").find(std::string("\x1f\x8b\x08", 3), 10);
    ASSERT_NE(firstEnd, std::string::npos);
    joined[firstEnd - 5] = static_cast<char>(joined[firstEnd - 5] ^ 1);  // the first member's CRC
    MemStream bad(joined);
    TArcGzipStreamHelper reader(&bad);
    framework::TMemoryStream out;
    EXPECT_THROW(reader.ExtractItemData(&out), EArcInflateError);
}

// ---- ZIP end record -----------------------------------------------------------------------------

class ZipSignature : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::ToolAvailable("zip")) GTEST_SKIP() << "zip is not installed";
        testing::WriteFile(Dir / "f.txt", testing::TextLike(3000, 4));
    }
    // A ZIP of f.txt with an archive comment of `commentLength` bytes, set into the end record.
    std::string Zip(size_t commentLength) {
        if (!fs::exists(Dir.Path() / "z.zip")) {
            EXPECT_EQ(testing::Run("zip -q z.zip f.txt", Dir.Path()), 0);
        }
        std::string z = testing::ReadFile(Dir / "z.zip");
        z[z.size() - 2] = static_cast<char>(commentLength & 0xFF);
        z[z.size() - 1] = static_cast<char>(commentLength >> 8);
        return z + std::string(commentLength, 'c');
    }
    TempDir Dir;
};

TEST_F(ZipSignature, EndRecordFoundByFastPathAndBackwardSearch) {
    // 498 puts the record 520 bytes before the end, just behind the seam of the first two windows.
    for (size_t comment : {size_t{0}, size_t{100}, size_t{498}, size_t{490}, size_t{510}, size_t{5000}}) {
        SCOPED_TRACE(comment);
        const std::string zip = Zip(comment);
        MemStream s(zip);
        s.SetPosition(7);
        const int64_t expected = static_cast<int64_t>(zip.size() - 22 - comment);
        EXPECT_EQ(FindDirectoryTail(&s), expected);
        EXPECT_EQ(s.Position(), expected);
        s.SetPosition(7);
        EXPECT_EQ(ZipSignatureTest(&s), 1);
        EXPECT_EQ(s.Position(), 7);
        TArcZipDirectoryFileFooter footer;
        s.SetPosition(expected);
        footer.ReadFooter(&s);
        EXPECT_EQ(footer.TotalEntries, 1);
        EXPECT_EQ(footer.FooterCommentLength, comment);
        EXPECT_EQ(footer.FooterComment, std::string(comment, 'c'));
    }
}

TEST_F(ZipSignature, NoEndRecordSpannedMarkerAndSelfExtractors) {
    const std::string noise = testing::RandomBytes(70000, 11);
    ASSERT_EQ(noise.find("PK\x05\x06"), std::string::npos);
    MemStream s(noise);
    s.SetPosition(1234);
    EXPECT_EQ(FindDirectoryTail(&s), -1);
    EXPECT_EQ(s.Position(), 1234);
    EXPECT_EQ(ZipSignatureTest(&s), 0);
    EXPECT_EQ(s.Position(), 1234);
    for (const char* marker : {"PK\x07\x08", "PK00"}) {
        MemStream m(std::string(marker) + noise);
        EXPECT_EQ(ZipSignatureTest(&m), 2);
    }

    // A stub program in front of a ZIP, its offsets moved by `zip -A` as self-extractors have them.
    const std::string zip = Zip(0);
    for (const std::string& stub :
         {std::string("MZ") + testing::RandomBytes(3000, 5), std::string("\x7F"
                                                                         "ELF") +
                                                                 testing::RandomBytes(5000, 6)}) {
        testing::WriteFile(Dir / "sfx.exe", stub + zip);
        ASSERT_EQ(testing::Run("zip -qA sfx.exe", Dir.Path()), 0);
        EXPECT_EQ(DetectArchiveKind(Win(Dir / "sfx.exe"), 0), akSelfExtractingZip);
        EXPECT_EQ(DetectArchiveKind(Win(Dir / "sfx.exe"), akSelfExtractingZip), akSelfExtractingZip);
    }
    testing::WriteFile(Dir / "plain.exe", std::string("MZ") + noise);
    EXPECT_EQ(DetectArchiveKind(Win(Dir / "plain.exe"), 0), akUnknown);
    testing::WriteFile(Dir / "notstub.exe", zip);
    EXPECT_EQ(DetectArchiveKind(Win(Dir / "notstub.exe"), 0), akUnknown);
    testing::WriteFile(Dir / "a.zip", zip);
    EXPECT_EQ(DetectArchiveKind(Win(Dir / "a.zip"), 0), akZip);
    EXPECT_EQ(DetectArchiveKind(Win(Dir / "a.zip"), akSpannedZip), akUnknown);
}

TEST(ArchiveKind, NamesAloneDecideForMissingOrEmptyFiles) {
    TempDir dir;
    testing::WriteFile(dir / "empty.tgz", "");
    struct Case {
        std::string Name;
        uint8_t Forced;
        uint8_t Kind;
    };
    const std::vector<Case> cases = {{"x.tgz", 0, akGzippedTar},
                                     {"x.tgz", akCabinet, akCabinet},
                                     {"x.ZIP", 0, akZip},
                                     {"x.tar", 0, akTar},
                                     {"x.gz", 0, akGzip},
                                     {"x.cab", 0, akCabinet},
                                     {"x.exe", 0, akUnknown},
                                     {"x", 0, akUnknown},
                                     {"empty.tgz", 0, akGzippedTar},
                                     {"x.Gz", akSpannedZip, akSpannedZip}};
    for (const Case& c : cases) EXPECT_EQ(DetectArchiveKind(Win(dir / c.Name), c.Forced), c.Kind) << c.Name;
    // An existing file of an unknown extension, and a forced kind 2 on an existing file.
    testing::WriteFile(dir / "data.bin", "PK\x03\x04 something");
    EXPECT_EQ(DetectArchiveKind(Win(dir / "data.bin"), 0), akUnknown);
    EXPECT_EQ(DetectArchiveKind(Win(dir / "data.bin"), akSpannedZip), akUnknown);
    // A .CAB that is no cabinet raises from the cabinet test.
    testing::WriteFile(dir / "fake.cab", "not a cabinet");
    EXPECT_THROW(DetectArchiveKind(Win(dir / "fake.cab"), 0), EArcInvalidCabFile);
}

}  // namespace
}  // namespace codecs
