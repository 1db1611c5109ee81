#include "codecs/archive/ArcUtils.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "codecs/archive/ArcErrors.h"
#include "codecs/deflate/Checksum.h"
#include "codecs/testsupport/TestFiles.h"
#include "framework/core/Strings.h"

namespace codecs {
namespace {

TEST(ArcErrors, EveryClassCarriesItsCodeAndText) {
    struct Case {
        int32_t Code;
        std::string Text;
        std::function<void()> Raise;
    };
    const std::vector<Case> cases = {
        {7, "Cannot insert file - duplicates stored name", [] { throw EArcDuplicateName(); }},
        {9, "Process aborted by user", [] { throw EArcUserAbort(); }},
        {19, "Directory does not exist", [] { throw EArcNoSuchDirectory(); }},
        {25, "File not found", [] { throw EArcFileNotFound(); }},
        {27, "Archive does not exist - FileName is blank", [] { throw EArcNoArchive(); }},
        {28, "Invalid file - not a PKZip file", [] { throw EArcZipInvalid(); }},
        {29, "Error reading archive", [] { throw EArcReadError(); }},
        {36, "Spanning not supported by this Archive type", [] { throw EArcSpanningNotSupported(); }},
        {50, "Cannot load cabinet.dll", [] { throw EArcNoCabinetDll(); }},
        {51, "FCI cannot open file", [] { throw EArcFCIFileOpenError(); }},
        {52, "FCI cannot read file", [] { throw EArcFCIFileReadError(); }},
        {53, "FCI cannot write file", [] { throw EArcFCIFileWriteError(); }},
        {54, "FCI close file error", [] { throw EArcFCIFileCloseError(); }},
        {55, "FCI file seek error", [] { throw EArcFCIFileSeekError(); }},
        {56, "FCI file delete error", [] { throw EArcFCIFileDeleteError(); }},
        {57, "FCI cannot add file", [] { throw EArcFCIAddFileError(); }},
        {58, "FCI cannot create context", [] { throw EArcFCICreateError(); }},
        {61, "FDI cannot enumerate files", [] { throw EArcFDICopyError(); }},
        {62, "FDI cannot create context", [] { throw EArcFDICreateError(); }},
        {64, "Invalid file - not a cabinet file", [] { throw EArcInvalidCabFile(); }},
    };
    for (const Case& c : cases) {
        try {
            c.Raise();
        } catch (const EArcException& e) {
            EXPECT_EQ(e.ErrorCode, c.Code);
            EXPECT_EQ(e.Message, c.Text);
            int32_t cls = -1, code = -1;
            ExceptionToErrorClass(e, cls, code);
            EXPECT_EQ(cls, 0);
            EXPECT_EQ(code, c.Code);
        }
    }
    // The groups sit between the base and their members.
    EXPECT_THROW(throw EArcInvalidCabFile(), EArcCabException);
    EXPECT_THROW(throw EArcReadError(), EArcZipException);
    std::string unchanged = "kept";
    MessageForCode(12345, unchanged);
    EXPECT_EQ(unchanged, "kept");
    EXPECT_EQ(MessageForCode(316), " logging ");
}

TEST(ArcErrors, ErrorClassesOfOtherExceptions) {
    struct Case {
        std::function<void()> Raise;
        int32_t Class, Code;
    };
    const std::vector<Case> cases = {
        {[] { throw framework::EInOutError("io", 5); }, 1, 5},
        {[] { throw framework::EReadError("r"); }, 2, 0},
        {[] { throw framework::EFCreateError("c"); }, 3, 0},
        {[] { throw framework::EFOpenError("o"); }, 4, 0},
        {[] { throw framework::EListError("l"); }, 6, 0},
    };
    for (const Case& c : cases) {
        try {
            c.Raise();
        } catch (const std::exception& e) {
            int32_t cls = -1, code = -1;
            ExceptionToErrorClass(e, cls, code);
            EXPECT_EQ(cls, c.Class);
            EXPECT_EQ(code, c.Code);
        }
    }
}

TEST(ArcUtils, PathKindAndSplitting) {
    const std::pair<const char*, int> kinds[] = {{"C:\\DOCS\\A.TXT", 2}, {"\\\\SERVER\\SHARE", 2},
                                                 {"C:A.TXT", 2},         {"DOCS\\A.TXT", 1},
                                                 {"DOCS/A.TXT", 1},      {"A.TXT", 0}};
    for (auto& [path, kind] : kinds) EXPECT_EQ(PathKind(path), kind) << path;

    struct Split {
        const char* Path;
        const char* Drive;
        const char* Folder;
        const char* File;
    };
    const Split splits[] = {
        {"\\\\SERVER\\SHARE\\DOCS\\README.TXT", "\\\\SERVER\\SHARE", "DOCS\\", "README.TXT"},
        {"C:\\DOCS\\README.TXT", "C:", "DOCS\\", "README.TXT"},
        {"C:/DOCS/SUB/README.TXT", "C:", "DOCS\\SUB\\", "README.TXT"},
        {"DOCS\\README.TXT", "", "DOCS\\", "README.TXT"},
        {"README.TXT", "", "", "README.TXT"},
    };
    for (const Split& s : splits) {
        std::string drive, folder, file;
        SplitDriveFolderFile(s.Path, drive, folder, file);
        EXPECT_EQ(drive, s.Drive) << s.Path;
        EXPECT_EQ(folder, s.Folder) << s.Path;
        EXPECT_EQ(file, s.File) << s.Path;
    }
    EXPECT_EQ(StripDriveOfPath("C:\\DOCS\\README.TXT"), "DOCS\\README.TXT");
    EXPECT_EQ(StripLeadingParentRefs("..\\..\\A\\..\\B"), "A\\..\\B");
    EXPECT_EQ(WithTrailingBackslash("C:"), "C:");
    EXPECT_EQ(WithTrailingBackslash("C:\\A"), "C:\\A\\");
    EXPECT_EQ(WithTrailingBackslash(""), "");
    EXPECT_EQ(PrefixBeforeBackslash("A\\B\\C", 2), 3);
    EXPECT_EQ(PrefixBeforeBackslash("A\\B\\C", 5), 5);
    framework::TStringList parts;
    SplitFolderParts("C:\\A\\B\\", &parts);
    ASSERT_EQ(parts.Count(), 3);
    EXPECT_EQ(parts[0], "C:");
    EXPECT_EQ(parts[2], "B");
}

TEST(ArcUtils, MatchesMaskTable) {
    struct Case {
        const char* Text;
        const char* Mask;
        bool Match;
    };
    const Case cases[] = {
        {"XXAB", "*AB*B", false},  {"ABC", "A?C", true},    {"AB", "AB?", false}, {"ABC", "*", true},
        {"ABC", "*.*", true},      {"", "", true},          {"", "*", false},     {"A.TXT", "*.TXT", true},
        {"A.TXT", "*.DOC", false}, {"ABCB", "*AB*B", true}, {"AB", "A*", true},   {"AB", "", false},
        {"ABC", "ABC", true},      {"ABC", "ABD", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesMask(c.Text, 1, c.Mask, 1), c.Match) << c.Text << " / " << c.Mask;
}

TEST(ArcUtils, VolumeExtensionsPercentagesAndTimes) {
    EXPECT_EQ(SpannedVolumeExtension("ARCH.ZIP", 3), "ARCH.Z03");
    EXPECT_EQ(SpannedVolumeExtension("ARCH", 12), "ARCH.12");
    EXPECT_EQ(SpannedVolumeExtension("ARCH.ZIP", 107), "ARCH.Z07");

    const int32_t percents[][3] = {
        {50, 200, 25}, {300, 200, 100},          {5, 0, 0}, {5, -3, 0}, {200000000, 400000000, 50},
        {1, 3, 33},    {20000000, 20000000, 100}};
    for (auto& p : percents) EXPECT_EQ(PercentOf(p[0], p[1]), p[2]) << p[0] << "/" << p[1];

    framework::TDateTime epoch = UnixSecondsToDateTime(0);
    EXPECT_DOUBLE_EQ(epoch, framework::EncodeDate(1970, 1, 1));
    EXPECT_EQ(DateTimeToUnixSeconds(epoch), 0);
    framework::TDateTime t = UnixSecondsToDateTime(1000000000);  // 2001-09-09 01:46:40
    EXPECT_NEAR(t, framework::EncodeDate(2001, 9, 9) + framework::EncodeTime(1, 46, 40, 0), 1e-9);
    EXPECT_EQ(DateTimeToUnixSeconds(t), 1000000000);
    EXPECT_EQ(FreeSpaceForPath("README.TXT"), -1);
    EXPECT_EQ(FreeSpaceForPath("DOCS\\README.TXT"), -1);
}

TEST(ArcUtils, CrcUpdateByteIsThePublishedCrc) {
    uint32_t crc = 0xFFFFFFFF;
    for (char c : std::string("123456789")) crc = CrcUpdateByte(static_cast<uint8_t>(c), crc);
    EXPECT_EQ(~crc, 0xCBF43926u);
    std::string data = testing::RandomBytes(5000, 77);
    crc = 0xFFFFFFFF;
    for (char c : data) crc = CrcUpdateByte(static_cast<uint8_t>(c), crc);
    EXPECT_EQ(~crc, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), 5000)));
}

TEST(ArcUtils, PadLockCountsNesting) {
    TArcPadLock lock;
    lock.SetLocked(true);
    lock.SetLocked(true);
    EXPECT_EQ(lock.Depth(), 2);
    lock.SetLocked(false);
    lock.SetLocked(false);
    lock.SetLocked(false);  // an extra unlock does nothing
    EXPECT_EQ(lock.Depth(), 0);
}

}  // namespace
}  // namespace codecs
