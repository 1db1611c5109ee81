#include <gtest/gtest.h>

#include <filesystem>

#include "codecs/deflate/Checksum.h"
#include "codecs/testsupport/TestFiles.h"
#include "codecs/zip/ZipDecoders.h"
#include "codecs/zip/ZipReader.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace codecs {
namespace {

namespace fs = std::filesystem;
using testing::Put16;
using testing::Put32;
using testing::TempDir;
using testing::Win;

// A one-entry stored archive written field by field: local header, data, central header, end
// record.
std::string StoredZip(const std::string& name, const std::string& data, uint8_t host, uint16_t flags,
                      uint32_t dosDateTime = (39u << 25) | (3u << 21) | (4u << 16) | (5u << 11) | (6u << 5) |
                                             4u) {
    const uint32_t crc = ~UpdateCRC32(0xFFFFFFFF, data.data(), data.size());
    std::string z;
    Put32(z, 0x04034B50);
    Put16(z, 10);
    Put16(z, flags);
    Put16(z, 0);
    Put32(z, dosDateTime);
    Put32(z, crc);
    Put32(z, uint32_t(data.size()));
    Put32(z, uint32_t(data.size()));
    Put16(z, uint32_t(name.size()));
    Put16(z, 0);
    z += name + data;
    const uint32_t central = uint32_t(z.size());
    Put32(z, 0x02014B50);
    Put16(z, uint32_t(host) << 8 | 20);
    Put16(z, 10);
    Put16(z, flags);
    Put16(z, 0);
    Put32(z, dosDateTime);
    Put32(z, crc);
    Put32(z, uint32_t(data.size()));
    Put32(z, uint32_t(data.size()));
    Put16(z, uint32_t(name.size()));
    Put16(z, 0);
    Put16(z, 0);
    Put16(z, 0);
    Put16(z, 0);
    Put32(z, 0x20);
    Put32(z, 0);
    z += name;
    const uint32_t centralSize = uint32_t(z.size()) - central;
    Put32(z, 0x06054B50);
    Put16(z, 0);
    Put16(z, 0);
    Put16(z, 1);
    Put16(z, 1);
    Put32(z, centralSize);
    Put32(z, central);
    Put16(z, 0);
    return z;
}

class ZipExtractFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::ToolAvailable("zip") || !testing::ToolAvailable("unzip"))
            GTEST_SKIP() << "zip is not installed";
        fs::create_directories(Dir.Path() / "src" / "docs");
        fs::create_directories(Dir.Path() / "out");
        testing::WriteFile(Dir / "src/file_id.diz", "Top-level description\r\n");
        testing::WriteFile(Dir / "src/docs/FILE_ID.DIZ", "Nested description\r\n");
        testing::WriteFile(Dir / "src/text.txt", testing::TextLike(150000, 3));
        testing::WriteFile(Dir / "src/random.bin", testing::RandomBytes(70000, 4));
        testing::WriteFile(Dir / "src/empty.txt", "");
        testing::Run(
            "touch -d '2018-07-06 05:04:02' file_id.diz text.txt random.bin empty.txt docs/FILE_ID.DIZ",
            Dir.Path() / "src");
    }
    TZipReader& Reader(const std::string& zip) {
        FReader = std::make_unique<TZipReader>(nullptr);
        FReader->SetZipName(Win(zip));
        FReader->SetDestDir(Win(Dir / "out"));
        return *FReader;
    }
    TempDir Dir;
    std::unique_ptr<TZipReader> FReader;
};

TEST_F(ZipExtractFiles, FileIdDizComesFromTheTopLevelOnly) {
    ASSERT_EQ(testing::Run("zip -q -r ../a.zip docs file_id.diz text.txt", Dir.Path() / "src"), 0);
    TZipReader& r = Reader(Dir / "a.zip");
    r.FilesList()->Add("FILE_ID.DIZ");
    EXPECT_EQ(r.UnZip(), 1);
    EXPECT_EQ(testing::ReadFile(Dir / "out/file_id.diz"), "Top-level description\r\n");
    EXPECT_EQ(fs::directory_iterator(Dir.Path() / "out")->path().filename(), "file_id.diz");
    EXPECT_EQ(r.FilesList()->Count(), 0);
    // Nothing listed: nothing extracted, the completion event still comes.
    int completed = -1;
    int32_t announced = -1;
    r.OnUnZipComplete = [&](framework::TObject*, int32_t n) { completed = n; };
    r.OnStartUnZipInfo = [&](framework::TObject*, int32_t n, int64_t, bool&) { announced = n; };
    EXPECT_EQ(r.UnZip(), 0);
    EXPECT_EQ(completed, 0);
    EXPECT_EQ(announced, 0);
    // The list is emptied also when the run ends in an exception.
    r.FilesList()->Add("*");
    r.OnStartUnZipInfo = [](framework::TObject*, int32_t, int64_t, bool&) { throw EUserCanceled("stop"); };
    EXPECT_THROW(r.UnZip(), EUserCanceled);
    EXPECT_EQ(r.FilesList()->Count(), 0);
}

TEST_F(ZipExtractFiles, EveryEntryMatchesUnzipAndKeepsItsDate) {
    for (const char* level : {"-0", "-1", "-9"}) {
        SCOPED_TRACE(level);
        fs::remove_all(Dir.Path() / "out");
        ASSERT_EQ(testing::Run(std::string("rm -f ../l.zip && zip -q ") + level +
                                   " ../l.zip text.txt random.bin empty.txt",
                               Dir.Path() / "src"),
                  0);
        TZipReader& r = Reader(Dir / "l.zip");
        r.DoAll = true;
        std::vector<int> percents;
        r.OnTotalPercentDone = [&](framework::TObject*, int32_t p) { percents.push_back(p); };
        EXPECT_EQ(r.UnZip(), 3);
        EXPECT_EQ(percents.back(), 100);
        for (const char* name : {"text.txt", "random.bin", "empty.txt"}) {
            std::string expected;
            {
                std::string cmd = "unzip -p ../l.zip " + std::string(name) + " > ../expected";
                ASSERT_EQ(testing::Run(cmd, Dir.Path() / "src"), 0);
                expected = testing::ReadFile(Dir / "expected");
            }
            EXPECT_EQ(testing::ReadFile(Dir / (std::string("out/") + name)), expected) << name;
            EXPECT_EQ(fs::last_write_time(Dir.Path() / "out" / name),
                      fs::last_write_time(Dir.Path() / "src" / name))
                << name;
        }
    }
}

TEST_F(ZipExtractFiles, DamagedEntryGivesTheBadCrcEventAndNoFile) {
    ASSERT_EQ(testing::Run("zip -q -0 ../s.zip text.txt && zip -q -9 ../d.zip text.txt", Dir.Path() / "src"),
              0);
    for (const char* name : {"s.zip", "d.zip"}) {
        SCOPED_TRACE(name);
        std::string zip = testing::ReadFile(Dir / name);
        zip[200] = static_cast<char>(zip[200] ^ 0x10);  // inside the data of the only entry
        testing::WriteFile(Dir / "bad.zip", zip);
        TZipReader& r = Reader(Dir / "bad.zip");
        r.FilesList()->Add("*.txt");
        int badCrc = 0;
        r.OnBadCRC = [&](framework::TObject*, int32_t calc, int32_t stored, int32_t) {
            EXPECT_NE(calc, stored);
            ++badCrc;
        };
        EXPECT_EQ(r.UnZip(), 0);
        EXPECT_EQ(badCrc, 1);
        EXPECT_FALSE(fs::exists(Dir.Path() / "out" / "text.txt"));
    }
}

TEST_F(ZipExtractFiles, PasswordsSeekableAndStreamed) {
    ASSERT_EQ(testing::Run("zip -q -P secret ../p.zip text.txt random.bin && "
                           "cat text.txt | zip -q -P secret - - > ../pipe.zip",
                           Dir.Path() / "src"),
              0);
    for (const char* name : {"p.zip", "pipe.zip"}) {
        SCOPED_TRACE(name);
        fs::remove_all(Dir.Path() / "out");
        TZipReader& wrong = Reader(Dir / name);
        wrong.Password = "Secret";
        wrong.DoAll = true;
        std::vector<TSkipReason> reasons;
        wrong.OnSkippingFile = [&](framework::TObject*, TSkipReason reason, const std::string&, int32_t,
                                   bool&) { reasons.push_back(reason); };
        EXPECT_EQ(wrong.UnZip(), 0);
        ASSERT_FALSE(reasons.empty());
        for (TSkipReason reason : reasons) EXPECT_EQ(reason, srBadPassword);
        EXPECT_TRUE(!fs::exists(Dir.Path() / "out") || fs::is_empty(Dir.Path() / "out"));
        TZipReader& right = Reader(Dir / name);
        right.Password = "secret";
        right.DoAll = true;
        EXPECT_EQ(right.UnZip(), std::string(name) == "p.zip" ? 2 : 1);
        std::string entry = std::string(name) == "p.zip" ? "text.txt" : "-";
        EXPECT_EQ(testing::ReadFile(Dir / ("out/" + entry)), testing::ReadFile(Dir / "src/text.txt"));
    }
}

TEST_F(ZipExtractFiles, StreamedEntriesOfADamagedArchiveRecoverTheirSizesOrAreReportedDamaged) {
    // Written to a pipe, the entries carry their CRC and sizes only in data descriptors. The
    // archive loses its central directory; a second copy also loses the last entry's descriptor.
    ASSERT_EQ(testing::Run("zip -q - text.txt random.bin empty.txt file_id.diz | cat > ../streamed.zip",
                           Dir.Path() / "src"),
              0);
    const std::string whole = testing::ReadFile(Dir / "streamed.zip");
    const size_t central = whole.find(std::string("PK\x01\x02", 4));
    ASSERT_NE(central, std::string::npos);
    testing::WriteFile(Dir / "nodir.zip", whole.substr(0, central));
    const size_t lastDescriptor = whole.rfind(std::string("PK\x07\x08", 4), central);
    testing::WriteFile(Dir / "cut.zip", whole.substr(0, lastDescriptor));
    struct Case {
        const char* Zip;
        int Extracted;
    };
    for (const Case& c : {Case{"nodir.zip", 4}, Case{"cut.zip", 3}}) {
        SCOPED_TRACE(c.Zip);
        fs::remove_all(Dir.Path() / "out");
        TZipReader& r = Reader(Dir / c.Zip);
        r.IncompleteZipMode = izAssumeBad;
        r.ReadZip();
        ASSERT_EQ(r.Count(), 4);
        const std::vector<std::string> names = {"text.txt", "random.bin", "empty.txt", "file_id.diz"};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(r.GetFullName(i), names[size_t(i)]);
            const std::string data = testing::ReadFile(Dir / ("src/" + names[size_t(i)]));
            const bool recovered = i < c.Extracted;
            EXPECT_EQ(r.Entry(i).Damaged, !recovered);
            if (recovered) {
                EXPECT_EQ(r.GetUnCompressedSize(i), static_cast<int32_t>(data.size()));
                EXPECT_EQ(r.Entry(i).CRC32, ~UpdateCRC32(0xFFFFFFFF, data.data(), data.size()));
            }
        }
        r.DoAll = true;
        std::vector<std::string> skipped;
        r.OnSkippingFile = [&](framework::TObject*, TSkipReason reason, const std::string& name, int32_t,
                               bool&) {
            EXPECT_EQ(reason, srFileOpenError);
            skipped.push_back(name);
        };
        int badCrc = 0;
        r.OnBadCRC = [&](framework::TObject*, int32_t, int32_t, int32_t) { ++badCrc; };
        EXPECT_EQ(r.UnZip(), c.Extracted);
        EXPECT_EQ(badCrc, 0);
        for (int i = 0; i < 4; ++i) {
            const fs::path written = Dir.Path() / "out" / names[size_t(i)];
            if (i < c.Extracted)
                EXPECT_EQ(testing::ReadFile(written.string()),
                          testing::ReadFile(Dir / ("src/" + names[size_t(i)])));
            else
                EXPECT_FALSE(fs::exists(written));
        }
        EXPECT_EQ(skipped,
                  c.Extracted == 4 ? std::vector<std::string>{} : std::vector<std::string>{"file_id.diz"});
    }
}

TEST_F(ZipExtractFiles, LegacyMethodsExtract) {
    const std::string legacy = KORVANE_SHARED_DIR "/testdata/zip-legacy/";
    const std::string expected = testing::ReadFile(legacy + "first.txt");
    for (const char* name : {"shrink.zip", "reduce.zip", "implode.zip"}) {
        SCOPED_TRACE(name);
        fs::remove_all(Dir.Path() / "out");
        TZipReader& r = Reader(legacy + name);
        r.FilesList()->Add("first.txt");
        EXPECT_EQ(r.UnZip(), 1);
        EXPECT_EQ(testing::ReadFile(Dir / "out/first.txt") + testing::ReadFile(Dir / "out/FIRST.TXT"),
                  expected);
    }
}

TEST_F(ZipExtractFiles, UnknownMethodsAreNeverCounted) {
    std::vector<std::string> archives;
    if (testing::Run("zip -q -Z bzip2 ../bz.zip text.txt", Dir.Path() / "src") == 0)
        archives.push_back("bz.zip");
    if (testing::ToolAvailable("7z") &&
        testing::Run("7z a -tzip -psecret -mem=AES256 ../aes.zip text.txt", Dir.Path() / "src") == 0)
        archives.push_back("aes.zip");
    if (archives.empty()) GTEST_SKIP() << "neither bzip2 zip nor 7z is available";
    std::vector<std::string> boxes;
    SetZipMessageBox([&](const std::string& text, const std::string& caption, int) {
        boxes.push_back(text + "|" + caption);
        return 1;
    });
    for (const std::string& name : archives) {
        SCOPED_TRACE(name);
        boxes.clear();
        TZipReader& r = Reader(Dir / name);
        r.DoAll = true;
        EXPECT_EQ(r.UnZip(), 0);
        EXPECT_EQ(boxes, std::vector<std::string>{"Unknown Compression Method|Zip Error"});
        EXPECT_FALSE(fs::exists(Dir.Path() / "out" / "text.txt"));
    }
    SetZipMessageBox(
        [](const std::string&, const std::string&, int buttons) { return buttons == 4 ? 6 : 1; });
}

TEST_F(ZipExtractFiles, StoredPathsStayInsideTheDestination) {
    ASSERT_EQ(testing::Run("mkdir -p aa && cp file_id.diz aa/evil.txt && zip -q -r ../evil.zip aa",
                           Dir.Path() / "src"),
              0);
    std::string zip = testing::ReadFile(Dir / "evil.zip");
    // Make every stored "aa/" a "../".
    for (size_t p = zip.find("aa/"); p != std::string::npos; p = zip.find("aa/", p + 3))
        zip.replace(p, 2, "..");
    testing::WriteFile(Dir / "evil.zip", zip);
    TZipReader& r = Reader(Dir / "evil.zip");
    r.DoAll = true;
    r.RecreateDirs = true;
    EXPECT_EQ(r.UnZip(), 2);
    EXPECT_FALSE(fs::exists(Dir.Path() / "evil.txt"));
    EXPECT_TRUE(fs::exists(Dir.Path() / "out" / "evil.txt"));
    // A drive and an absolute folder are joined below the destination too.
    testing::WriteFile(Dir / "abs.zip", StoredZip("C:\\TEMP\\x.txt", "x", 0, 0));
    TZipReader& a = Reader(Dir / "abs.zip");
    a.DoAll = true;
    a.RecreateDirs = true;
    EXPECT_EQ(a.UnZip(), 1);
    EXPECT_TRUE(fs::exists(Dir.Path() / "out" / "TEMP" / "x.txt"));
}

TEST_F(ZipExtractFiles, NamesOfDosAndUtf8Entries) {
    // 0x81 is u-umlaut in code page 437 and 0xFC in Windows-1252.
    const std::string dosName = "M\x81nchen.txt";
    testing::WriteFile(Dir / "dos.zip", StoredZip(dosName, "d", 0, 0));
    testing::WriteFile(Dir / "unix.zip", StoredZip(dosName, "d", 3, 0));
    testing::WriteFile(Dir / "utf8.zip", StoredZip("M\xC3\xBCnchen.txt", "d", 3, 0x800));
    struct Case {
        const char* Zip;
        bool Convert;
        std::string Expected;
    };
    const Case cases[] = {{"dos.zip", true, "M\xFCnchen.txt"},
                          {"dos.zip", false, dosName},
                          {"unix.zip", true, dosName},
                          {"utf8.zip", true, "M\xFCnchen.txt"}};
    for (const Case& c : cases) {
        TZipReader r(nullptr);
        r.OEMConvert = c.Convert;
        r.SetZipName(Win(Dir / c.Zip));
        r.ReadZip();
        ASSERT_EQ(r.Count(), 1) << c.Zip;
        EXPECT_EQ(r.GetFilename(0), c.Expected) << c.Zip;
    }
}

TEST_F(ZipExtractFiles, ArchiveEndingEarlyRaisesAndLeavesNoPartialFile) {
    const std::string data = testing::RandomBytes(100000, 8);
    std::string zip = StoredZip("big.bin", data, 0, 0);
    const size_t central = 30 + 7 + data.size();
    for (size_t field : {central + 20, central + 24}) {  // both sizes claim 10 MB
        zip[field] = 0;
        zip[field + 1] = static_cast<char>(0x96);
        zip[field + 2] = static_cast<char>(0x98);
        zip[field + 3] = 0;
    }
    testing::WriteFile(Dir / "early.zip", zip);
    TZipReader& r = Reader(Dir / "early.zip");
    r.DoAll = true;
    int completed = -1;
    r.OnUnZipComplete = [&](framework::TObject*, int32_t n) { completed = n; };
    try {
        r.UnZip();
        ADD_FAILURE();
    } catch (const EFatalUnzipError& e) {
        EXPECT_EQ(e.Message, "Premature end of file reached");
    }
    EXPECT_EQ(completed, 0);
    EXPECT_FALSE(fs::exists(Dir.Path() / "out" / "big.bin"));
}

TEST(ZipLayout, HandBuiltArchiveReadsFieldByField) {
    TempDir dir;
    const uint32_t stamp = (39u << 25) | (3u << 21) | (4u << 16) | (5u << 11) | (6u << 5) | 4u;
    std::string zip = StoredZip("docs/readme.txt", "hello", 0, 0, stamp);
    ASSERT_EQ(zip.size(), 30u + 15 + 5 + 46 + 15 + 22);
    testing::WriteFile(dir / "h.zip", zip);
    TZipReader r(nullptr);
    r.SetZipName(Win(dir / "h.zip"));
    r.ReadZip();
    ASSERT_EQ(r.Count(), 1);
    const TZipHeaderInfo& e = r.Entry(0);
    EXPECT_EQ(e.Directory(), "docs\\");
    EXPECT_EQ(e.Filename(), "readme.txt");
    EXPECT_EQ(e.DateTime, stamp);
    EXPECT_EQ(e.CompressionMethod, 0);
    EXPECT_EQ(e.CompressedSize, 5);
    EXPECT_EQ(e.ExternalAttributes, 0x20);
    EXPECT_EQ(e.LocalHeaderOffset, 0u);
    EXPECT_EQ(e.CentralHeaderOffset, 50u);
    EXPECT_EQ(r.EndCentral().CentralOffset, 50u);
    EXPECT_EQ(r.EndCentral().TotalEntries, 1);
    framework::TDateTime t = r.GetDateTime(0);
    EXPECT_NEAR(t, framework::EncodeDate(2019, 3, 4) + framework::EncodeTime(5, 6, 8, 0), 1e-9);
}

}  // namespace
}  // namespace codecs
