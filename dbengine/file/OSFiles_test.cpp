#include <gtest/gtest.h>

#include "dbengine/file/FileList.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using platform::testsupport::ReadNativeFile;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

class OSFilesTest : public ::testing::Test {
protected:
    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
};

TEST_F(OSFilesTest, OpenModesGiveAccessAndSharing) {
    root.WriteFile("T.DAT", "0123456789");
    struct Case {
        uint8_t Mode;
        bool CanWrite;
        uint32_t OtherAccess;  // a second handle's access
        uint32_t OtherShare;   // and sharing
        bool OtherAllowed;
    };
    using namespace platform;
    const Case cases[] = {
        {0x42, true, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {0x12, true, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {0x02, true, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {0x20, false, GENERIC_READ, FILE_SHARE_READ, true},
        {0x20, false, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {0x30, false, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {0x30, false, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Mode));
        TOSHandle h = OSOpenFile("D:\\T.DAT", c.Mode, false);
        ASSERT_NE(h, OSInvalidHandle);
        EXPECT_EQ(OSWrite(h, "x", 1) == 1, c.CanWrite);
        HANDLE other = CreateFile("D:\\T.DAT", c.OtherAccess, c.OtherShare, OPEN_EXISTING, 0);
        EXPECT_EQ(other != INVALID_HANDLE_VALUE, c.OtherAllowed);
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
        else
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        EXPECT_TRUE(OSCloseFile(h));
    }
}

TEST_F(OSFilesTest, SeekReadWriteAndFailures) {
    TOSHandle h = OSCreateFile("D:\\S.DAT", false);
    ASSERT_NE(h, OSInvalidHandle);
    EXPECT_EQ(OSWrite(h, "hello world", 11), 11);
    EXPECT_EQ(OSSeek(h, 2, 0), 11);
    EXPECT_EQ(OSSeek(h, 0, 6), 6);
    char buf[16] = {};
    EXPECT_EQ(OSRead(h, buf, 16), 5);
    EXPECT_STREQ(buf, "world");
    EXPECT_EQ(OSSeek(h, 0, 5), 5);
    EXPECT_TRUE(OSSetEndOfFile(h));
    EXPECT_EQ(OSSeek(h, 2, 0), 5);
    // A seek before the start is reported, not turned into a huge position.
    EXPECT_EQ(OSSeek(h, 1, -100), -1);
    EXPECT_EQ(OSSeek(h, 1, 0), 5);
    EXPECT_EQ(OSSeek(h, 7, 0), -1);
    EXPECT_TRUE(OSFlushFile(h));
    EXPECT_TRUE(OSCloseFile(h));
    EXPECT_EQ(ReadNativeFile(root / "S.DAT"), "hello");
    EXPECT_EQ(OSRead(h, buf, 1), -1);  // a closed handle
}

TEST_F(OSFilesTest, LocksAttributesAndAge) {
    root.WriteFile("L.DAT", "");
    TOSHandle a = OSOpenFile("D:\\L.DAT", 0x42, false);
    TOSHandle b = OSOpenFile("D:\\L.DAT", 0x42, false);
    ASSERT_NE(a, OSInvalidHandle);
    ASSERT_NE(b, OSInvalidHandle);
    EXPECT_TRUE(OSLockRange(a, 0xFFFFFFFF, 1));
    EXPECT_FALSE(OSLockRange(b, 0xFFFFFFFF, 1));
    EXPECT_FALSE(OSUnlockRange(a, 0xFFFFFFFE, 2));
    EXPECT_TRUE(OSUnlockRange(a, 0xFFFFFFFF, 1));
    EXPECT_TRUE(OSLockRange(b, 0xFFFFFFFF, 1));
    OSCloseFile(a);
    OSCloseFile(b);

    root.MakeFolder("SUB");
    EXPECT_EQ(OSFileAge("D:\\SUB"), -1);
    EXPECT_FALSE(OSFileExists("D:\\SUB"));
    EXPECT_EQ(OSFileAge("D:\\NONE.DAT"), -1);
    EXPECT_EQ(OSFileAttributes("D:\\NONE.DAT"), -1);
    EXPECT_NE(OSFileAge("D:\\L.DAT"), -1);
    EXPECT_TRUE(OSFileExists("d:\\l.dat"));
    EXPECT_EQ(OSFileAttributes("D:\\SUB") & 0x10, 0x10);
}

TEST_F(OSFilesTest, UnknownOSErrorCarriesTheFailedCallsNumber) {
    root.WriteFile("A.DAT", "a");
    root.WriteFile("B.DAT", "b");
    ASSERT_FALSE(OSRenameFile("D:\\A.DAT", "D:\\B.DAT"));  // never replaces the target
    uint32_t osError = platform::GetLastError();
    ASSERT_NE(OSErrorToEngineError(), DBE_OSENOENT);
    try {
        RaiseTableError(OSErrorToEngineError(), "A");
        FAIL();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_OSUNKNOWN);
        EXPECT_EQ(e.OSErrorCode, static_cast<int32_t>(osError));
        EXPECT_EQ(e.Message, "Engine Error # 11047 An unknown operating system error " +
                                 std::to_string(osError) + " occurred with the table 'A'");
    }
    ASSERT_FALSE(OSDeleteFile("D:\\MISSING.DAT"));
    EXPECT_EQ(OSErrorToEngineError(), DBE_OSENOENT);
    EXPECT_EQ(ReadNativeFile(root / "A.DAT"), "a");
}

TEST_F(OSFilesTest, TempFileNamesSkipExistingFiles) {
    InitializeEngine();
    std::string first = MakeTempFileName("D:\\", ".TMP", false);
    std::string digits = std::to_string(platform::GetCurrentThreadId()).substr(0, 5);
    EXPECT_EQ(first, "D:\\" + digits + "0.TMP");
    root.WriteFile(digits + "0.TMP", "");
    EXPECT_EQ(MakeTempFileName("D:", ".TMP", false), "D:\\" + digits + "1.TMP");
    EXPECT_EQ(MakeTempFileName("D:\\", ".TMP", true), "D:\\" + digits + "0.TMP");
    FinalizeEngine();
}

}  // namespace
}  // namespace dbengine
