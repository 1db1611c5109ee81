#include "platform/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/TestDrives.h"

namespace platform {
namespace {

using testsupport::ChildResult;
using testsupport::ReadNativeFile;
using testsupport::RunInChildProcess;
using testsupport::TScopedDrives;
using testsupport::TTempFolder;

constexpr uint32_t R = GENERIC_READ;
constexpr uint32_t W = GENERIC_WRITE;
constexpr uint32_t RW = GENERIC_READ | GENERIC_WRITE;
constexpr uint32_t SR = FILE_SHARE_READ;
constexpr uint32_t SW = FILE_SHARE_WRITE;
constexpr uint32_t SRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

class Files : public ::testing::Test {
protected:
    TTempFolder root;
    TScopedDrives drives{"C=" + root.Path()};

    HANDLE Open(const char* name, uint32_t access, uint32_t share, uint32_t disposition = OPEN_EXISTING,
                uint32_t flags = 0) {
        return CreateFile(name, access, share, disposition, flags);
    }
    static std::string Read(HANDLE h, uint32_t count) {
        std::string buffer(count, '\0');
        uint32_t got = 0;
        if (!ReadFile(h, buffer.data(), count, &got)) return "<failed>";
        buffer.resize(got);
        return buffer;
    }
    static bool Write(HANDLE h, std::string_view text) {
        uint32_t put = 0;
        return WriteFile(h, text.data(), static_cast<uint32_t>(text.size()), &put) && put == text.size();
    }
};

TEST_F(Files, SharingModesDecideASecondOpenInThisAndAnotherProcess) {
    root.WriteFile("DATA.DB", "content");
    struct Case {
        uint32_t firstAccess, firstShare, secondAccess, secondShare;
        bool allowed;
    } cases[] = {
        {R, SRW, R, SRW, true}, {R, SR, R, SR, true},     {R, SR, W, SRW, false},   {R, SR, RW, SRW, false},
        {RW, SR, R, SR, false}, {RW, SR, R, SRW, true},   {RW, 0, R, SRW, false},   {R, SRW, R, 0, false},
        {W, SRW, W, SRW, true}, {W, SW, R, SRW, false},   {W, SW, W, SRW, true},    {R, SW, W, SR, true},
        {R, SW, R, SRW, false}, {RW, SRW, RW, SW, false}, {RW, SRW, RW, SRW, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.firstAccess << "/" << c.firstShare << " then "
                                        << c.secondAccess << "/" << c.secondShare);
        const HANDLE first = Open("C:\\data.db", c.firstAccess, c.firstShare);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        const HANDLE second = Open("C:\\DATA.DB", c.secondAccess, c.secondShare);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.allowed);
        if (second == INVALID_HANDLE_VALUE)
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        else
            CloseHandle(second);
        const int child = RunInChildProcess([&] {
            const HANDLE h = CreateFile("C:\\Data.Db", c.secondAccess, c.secondShare, OPEN_EXISTING, 0);
            return ChildResult(h != INVALID_HANDLE_VALUE);
        });
        EXPECT_EQ(child, c.allowed ? 0 : 32);
        CloseHandle(first);
        // With the first handle gone, nothing stands in the way.
        EXPECT_EQ(RunInChildProcess([&] {
                      return ChildResult(CreateFile("C:\\DATA.DB", c.secondAccess, c.secondShare,
                                                    OPEN_EXISTING, 0) != INVALID_HANDLE_VALUE);
                  }),
                  0);
    }
}

TEST_F(Files, AFileOpenElsewhereCannotBeReplacedDeletedOrRenamed) {
    const std::string native = root.WriteFile("KEEP.DAT", "keep me");
    const HANDLE h = Open("C:\\KEEP.DAT", R, SRW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    auto attempts = [] {
        int failures = 0;
        if (CreateFile("C:\\KEEP.DAT", RW, SRW, CREATE_ALWAYS, 0) == INVALID_HANDLE_VALUE &&
            GetLastError() == ERROR_SHARING_VIOLATION)
            ++failures;
        if (!DeleteFile("C:\\keep.dat") && GetLastError() == ERROR_SHARING_VIOLATION) ++failures;
        if (!MoveFile("C:\\KEEP.DAT", "C:\\OTHER.DAT") && GetLastError() == ERROR_SHARING_VIOLATION)
            ++failures;
        return failures;
    };
    EXPECT_EQ(attempts(), 3);
    EXPECT_EQ(RunInChildProcess(attempts), 3);
    EXPECT_EQ(ReadNativeFile(native), "keep me");
    EXPECT_NE(access((root / "KEEP.DAT").c_str(), F_OK), -1);
    EXPECT_EQ(access((root / "OTHER.DAT").c_str(), F_OK), -1);

    // Once closed everywhere, each of them works.
    CloseHandle(h);
    const HANDLE replaced = Open("C:\\KEEP.DAT", RW, 0, CREATE_ALWAYS);
    ASSERT_NE(replaced, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(replaced);
    EXPECT_EQ(ReadNativeFile(native), "");
    EXPECT_TRUE(MoveFile("C:\\KEEP.DAT", "C:\\OTHER.DAT"));
    EXPECT_TRUE(DeleteFile("C:\\OTHER.DAT"));
}

TEST_F(Files, AReadOnlyViewFollowsOtherWritersAndHoldsNoShareOfTheFile) {
    root.WriteFile("HEAD.DAT", "counter=0001 rest");
    const HANDLE reader = Open("C:\\HEAD.DAT", R, SRW);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const HANDLE mapping = CreateFileMapping(reader, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, 0);
    // Past the file's end, or asked to write: refused.
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 18), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateFileMapping(reader, nullptr, 0x04, 0, 0, nullptr), 0);
    const auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 12));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_EQ(std::string(view, 12), "counter=0001");

    // A write through another handle, and one from another process, show at once.
    const HANDLE writer = Open("C:\\HEAD.DAT", RW, SRW);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Write(writer, "counter=0002"));
    EXPECT_EQ(std::string(view, 12), "counter=0002");
    CloseHandle(writer);
    EXPECT_EQ(RunInChildProcess([] {
                  const HANDLE h = CreateFile("C:\\HEAD.DAT", RW, SRW, OPEN_EXISTING, 0);
                  uint32_t put = 0;
                  return ChildResult(h != INVALID_HANDLE_VALUE && WriteFile(h, "counter=0003", 12, &put));
              }),
              0);
    EXPECT_EQ(std::string(view, 12), "counter=0003");

    // With its handle closed the view stays, and holds nothing that keeps others out.
    CloseHandle(reader);
    EXPECT_EQ(std::string(view, 12), "counter=0003");
    const HANDLE exclusive = Open("C:\\HEAD.DAT", RW, 0);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));

    // An empty file cannot be mapped.
    root.WriteFile("EMPTY.DAT", "");
    const HANDLE empty = Open("C:\\EMPTY.DAT", R, SRW);
    ASSERT_NE(empty, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileMapping(empty, nullptr, PAGE_READONLY, 0, 0, nullptr), 0);
    CloseHandle(empty);
}

TEST_F(Files, LockAtTopOfThirtyTwoBitRangeExcludesOtherHandlesAndProcesses) {
    root.WriteFile("EMPTY.DB", "");
    const HANDLE a = Open("C:\\EMPTY.DB", RW, SRW);
    const HANDLE b = Open("C:\\EMPTY.DB", RW, SRW);
    const HANDLE readOnly = Open("C:\\EMPTY.DB", R, SRW);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
    auto childLocks = [] {
        return RunInChildProcess([] {
            const HANDLE h = CreateFile("C:\\EMPTY.DB", RW, SRW, OPEN_EXISTING, 0);
            return ChildResult(h != INVALID_HANDLE_VALUE && LockFile(h, 0xFFFFFFFFu, 0, 1, 0));
        });
    };

    ASSERT_TRUE(LockFile(a, 0xFFFFFFFFu, 0, 1, 0));
    EXPECT_FALSE(LockFile(b, 0xFFFFFFFFu, 0, 1, 0));
    EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(LockFile(readOnly, 0xFFFFFFF0ull, 0x20));
    EXPECT_EQ(childLocks(), 33);

    // Opening and closing another descriptor of the same file does not drop the lock.
    const int unrelated = open((root / "EMPTY.DB").c_str(), O_RDWR);
    ASSERT_GE(unrelated, 0);
    close(unrelated);
    EXPECT_FALSE(LockFile(b, 0xFFFFFFFFu, 0, 1, 0));
    EXPECT_EQ(childLocks(), 33);

    // Released, the range goes to the next asker; a read-only handle's lock excludes writers too.
    ASSERT_TRUE(UnlockFile(a, 0xFFFFFFFFu, 0, 1, 0));
    ASSERT_TRUE(LockFile(readOnly, 0xFFFFFFFFu, 0, 1, 0));
    EXPECT_FALSE(LockFile(a, 0xFFFFFFFFu, 0, 1, 0));
    EXPECT_EQ(childLocks(), 33);
    ASSERT_TRUE(UnlockFile(readOnly, 0xFFFFFFFFu, 0, 1, 0));
    EXPECT_EQ(childLocks(), 0);
    EXPECT_TRUE(LockFile(b, 0xFFFFFFFFu, 0, 1, 0));

    // Closing a handle releases its locks.
    CloseHandle(b);
    EXPECT_TRUE(LockFile(a, 0xFFFFFFFFu, 0, 1, 0));
    CloseHandle(a);
    CloseHandle(readOnly);
}

TEST_F(Files, LocksOfOneHandleDoNotOverlapAndUnlockOnlyExactRanges) {
    root.WriteFile("T.DB", "0123456789");
    const HANDLE h = Open("C:\\T.DB", RW, SRW);
    const HANDLE other = Open("C:\\T.DB", RW, SRW);
    ASSERT_TRUE(LockFile(h, 100, 10));
    ASSERT_TRUE(LockFile(h, 200, 1));
    ASSERT_TRUE(LockFile(h, 0xFFFFFFFFull, 1));
    EXPECT_FALSE(LockFile(h, 105, 10)) << "overlaps a range the same handle holds";
    EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(LockFile(h, 0xFFFFFFFEull, 2));
    EXPECT_TRUE(LockFile(h, 110, 5)) << "adjacent is not overlapping";

    struct Case {
        uint64_t offset, length;
        bool ok;
    } unlocks[] = {
        {100, 5, false},
        {105, 5, false},
        {99, 11, false},
        {100, 11, false},
        {100, 15, false},
        {100, 10, true},
        {100, 10, false},
        {110, 5, true},
        {200, 1, true},
        {200, 1, false},
        {0xFFFFFFFFull, 2, false},
        {0xFFFFFFFFull, 1, true},
        {0, 0xFFFFFFFFull, false},
    };
    for (const auto& c : unlocks) {
        SetLastError(0);
        EXPECT_EQ(UnlockFile(h, c.offset, c.length), c.ok) << c.offset << "+" << c.length;
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
        }
    }
    EXPECT_TRUE(LockFile(other, 0, 0x100000000ull)) << "every range was given back";

    struct Bad {
        uint64_t offset, length;
    } bad[] = {{0, 0}, {kShareAreaStart - 1, 2}, {kShareAreaStart, 1}, {~0ull, 2}};
    for (const auto& c : bad) {
        EXPECT_FALSE(LockFile(h, c.offset, c.length));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_FALSE(LockFile(HANDLE{12345}, 0, 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(h);
    CloseHandle(other);
}

TEST_F(Files, CreateNewRefusesAFileThatAppearsDuringTheCall) {
    // Another process creates the file after the name was resolved: create-new must fail and
    // leave that file as it is, never open it as its own.
    {
        TScopedFileFault race([&](TFileOperation op, const std::string& path, int64_t, uint32_t) {
            if (op == TFileOperation::Open) {
                int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0666);
                if (fd >= 0) {
                    EXPECT_EQ(write(fd, "theirs", 6), 6);
                    close(fd);
                }
            }
            return TFileFault{};
        });
        EXPECT_EQ(Open("C:\\RACE.BIN", RW, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    }
    EXPECT_EQ(ReadNativeFile(root / "RACE.BIN"), "theirs");
}

TEST_F(Files, ReadWriteSeekAndEndOfFile) {
    const HANDLE h = Open("C:\\NEW.BIN", RW, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Write(h, "hello world"));
    int64_t position = -1;
    ASSERT_TRUE(SetFilePointerEx(h, 6, &position, FILE_BEGIN));
    EXPECT_EQ(position, 6);
    EXPECT_EQ(Read(h, 100), "world") << "a short count at the end";
    EXPECT_EQ(Read(h, 100), "");
    ASSERT_TRUE(SetFilePointerEx(h, -5, &position, FILE_CURRENT));
    EXPECT_EQ(position, 6);

    EXPECT_FALSE(SetFilePointerEx(h, -7, &position, FILE_CURRENT));
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_FALSE(SetFilePointerEx(h, INT64_MAX, &position, FILE_END));
    EXPECT_FALSE(SetFilePointerEx(h, 0, &position, 7));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    ASSERT_TRUE(SetFilePointerEx(h, 0, &position, FILE_CURRENT));
    EXPECT_EQ(position, 6) << "a failed seek leaves the position";

    // The 32-bit form: the high half goes in and comes back.
    int32_t high = 1;
    EXPECT_EQ(SetFilePointer(h, 0x10, &high, FILE_BEGIN), 0x10u);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), 11u);
    EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);

    EXPECT_EQ(SetFilePointer(h, 5, nullptr, FILE_BEGIN), 5u);
    ASSERT_TRUE(SetEndOfFile(h));
    uint32_t sizeHigh = 99;
    EXPECT_EQ(GetFileSize(h, &sizeHigh), 5u);
    EXPECT_EQ(sizeHigh, 0u);
    ASSERT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_EQ(ReadNativeFile(root / "NEW.BIN"), "hello");

    EXPECT_EQ(Open("C:\\NEW.BIN", RW, SRW, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    const HANDLE reader = Open("C:\\NEW.BIN", R, SRW);
    const HANDLE writer = Open("C:\\NEW.BIN", W, SRW);
    char byte = 'x';
    uint32_t count = 0;
    EXPECT_FALSE(WriteFile(reader, &byte, 1, &count));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(ReadFile(writer, &byte, 1, &count));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SetEndOfFile(reader));
    CloseHandle(reader);
    CloseHandle(writer);
    EXPECT_FALSE(CloseHandle(writer));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Files, OpeningReportsMissingFilesFoldersAndDrives) {
    root.MakeFolder("DIR");
    struct Case {
        const char* name;
        uint32_t disposition;
        uint32_t code;
    } cases[] = {
        {"C:\\DIR\\MISSING.DB", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"C:\\NODIR\\NEW.DB", CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {"C:\\DIR", OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"Z:\\X.DB", OPEN_ALWAYS, ERROR_INVALID_DRIVE},
        {"C:\\DIR\\MISSING.DB", TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND},
        {"C:\\DIR\\X.DB", 9, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Open(c.name, RW, SRW, c.disposition), INVALID_HANDLE_VALUE) << c.name;
        EXPECT_EQ(GetLastError(), c.code) << c.name;
    }
}

TEST_F(Files, ReadOnlyAttributeRefusesWritingEvenForTheSuperUser) {
    const std::string native = root.WriteFile("RO.DB", "fixed");
    ASSERT_TRUE(SetFileAttributes("C:\\RO.DB", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributes("C:\\ro.db"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    for (uint32_t disposition : {OPEN_EXISTING, CREATE_ALWAYS, TRUNCATE_EXISTING, OPEN_ALWAYS}) {
        EXPECT_EQ(Open("C:\\RO.DB", RW, SRW, disposition), INVALID_HANDLE_VALUE) << disposition;
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_FALSE(DeleteFile("C:\\RO.DB"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    const HANDLE h = Open("C:\\RO.DB", R, SR);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read(h, 10), "fixed");
    CloseHandle(h);
    EXPECT_EQ(ReadNativeFile(native), "fixed");

    ASSERT_TRUE(SetFileAttributes("C:\\RO.DB", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributes("C:\\RO.DB"), FILE_ATTRIBUTE_ARCHIVE);
    const HANDLE w = Open("C:\\RO.DB", RW, 0);
    EXPECT_NE(w, INVALID_HANDLE_VALUE);
    CloseHandle(w);
}

TEST_F(Files, TemporaryFileGoesWithItsLastHandle) {
    const uint32_t temporary = FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE;
    const std::string native = root / "TMP1.$$$";
    const HANDLE a = Open("C:\\TMP1.$$$", RW, SRW, CREATE_ALWAYS, temporary);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    const HANDLE b = Open("C:\\TMP1.$$$", R, SRW);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    CloseHandle(a);
    EXPECT_EQ(access(native.c_str(), F_OK), 0) << "still open through the second handle";
    CloseHandle(b);
    EXPECT_EQ(access(native.c_str(), F_OK), -1);

    const HANDLE plain = Open("C:\\PLAIN.DB", RW, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY);
    CloseHandle(plain);
    EXPECT_EQ(access((root / "PLAIN.DB").c_str(), F_OK), 0) << "only delete-on-close deletes";
}

TEST_F(Files, LastWriteTimeAsDosDateAndTimeInLocalTime) {
    const std::string native = root.WriteFile("AGED.DB", "x");
    const char* oldTz = std::getenv("TZ");
    const std::string savedTz = oldTz ? oldTz : "";
    for (const char* zone :
         {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0", "NZST-12NZDT,M9.5.0,M4.1.0/3"}) {
        SCOPED_TRACE(zone);
        setenv("TZ", zone, 1);
        tzset();
        struct tm local {};
        local.tm_year = 2024 - 1900;
        local.tm_mon = 1;
        local.tm_mday = 29;
        local.tm_hour = 13;
        local.tm_min = 37;
        local.tm_sec = 42;
        local.tm_isdst = -1;
        const timespec times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, native.c_str(), times, 0), 0);

        WIN32_FIND_DATA data;
        const HANDLE find = FindFirstFile("C:\\AGED.DB", data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        FindClose(find);
        FILETIME localTime;
        ASSERT_TRUE(FileTimeToLocalFileTime(data.ftLastWriteTime, localTime));
        uint16_t date = 0, time = 0;
        ASSERT_TRUE(FileTimeToDosDateTime(localTime, date, time));
        EXPECT_EQ(date, (44 << 9) | (2 << 5) | 29);
        EXPECT_EQ(time, (13 << 11) | (37 << 5) | 21);

        const HANDLE h = Open("C:\\AGED.DB", R, SRW);
        FILETIME written;
        ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &written));
        CloseHandle(h);
        EXPECT_EQ(FileTimeToUInt64(written), FileTimeToUInt64(data.ftLastWriteTime));
        FILETIME back;
        ASSERT_TRUE(LocalFileTimeToFileTime(localTime, back));
        EXPECT_EQ(FileTimeToUInt64(back), FileTimeToUInt64(written));
    }
    if (oldTz)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();

    FILETIME t;
    ASSERT_TRUE(DosDateTimeToFileTime((44 << 9) | (2 << 5) | 29, (13 << 11) | (37 << 5) | 21, t));
    EXPECT_EQ(FileTimeToUnixTime(t), 1709213862);  // 2024-02-29 13:37:42 as if UTC
    uint16_t date, time;
    EXPECT_FALSE(FileTimeToDosDateTime(UnixTimeToFileTime(315532799), date, time)) << "1979 has no DOS date";
    EXPECT_TRUE(FileTimeToDosDateTime(UnixTimeToFileTime(315532800), date, time));
    EXPECT_EQ(date, (0 << 9) | (1 << 5) | 1);
}

TEST(FileMasks, WindowsWildcards) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"README.TXT", "*", true},
        {"README", "*.*", true},
        {"readme.txt", "*.TXT", true},
        {"README.TXT", "*.DOC", false},
        {"README", "README.*", true},
        {"README", "*.", true},
        {"READ.ME", "*.", false},
        {"FILE1.TXT", "FILE????.TXT", true},
        {"FILE12345.TXT", "FILE????.TXT", false},
        {"A.B.C", "*.C", true},
        {"A.B", "A?B", true},
        {"ABC", "A?C", true},
        {"AC", "A?C", false},
        {"\xE9t\xE9.txt", "\xC9T\xC9.*", true},
        {".", "*", true},
        {"..", "*.*", true},
        {"x", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

TEST_F(Files, AFolderThatCannotBeSearchedFailsWithTheErrorNotAsEmpty) {
    root.WriteFile("DIR/A.TXT", "a");
    root.WriteFile("OTHER/B.TXT", "b");
    std::vector<std::string> asked;
    TScopedFileFault denied([&](TFileOperation op, const std::string& path, int64_t, uint32_t) {
        if (op != TFileOperation::Search) return TFileFault{};
        asked.push_back(path);
        return path.ends_with("/DIR") ? TFileFault{ERROR_ACCESS_DENIED} : TFileFault{};
    });
    WIN32_FIND_DATA data;
    EXPECT_EQ(FindFirstFile("C:\\dir\\*.*", data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    const HANDLE h = FindFirstFile("C:\\OTHER\\*.TXT", data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.cFileName, "B.TXT");
    FindClose(h);
    EXPECT_EQ(asked, (std::vector<std::string>{root / "DIR", root / "OTHER"}));
}

TEST_F(Files, FilesAndSearchesReachBelowTheLongestNativePath) {
    // 25 folders of 200 characters: the native path of the innermost folder is longer than the
    // native calls take, yet every step goes through the folder opened for the one before.
    std::string folder = "C:";
    for (int level = 0; level < 25; ++level) {
        folder += "\\" + std::string(199, char('a' + level % 26)) + "X";
        ASSERT_TRUE(CreateDirectory(folder)) << level << " " << GetLastError();
    }
    std::string native = root.Path();
    for (int level = 0; level < 25; ++level) native += "/" + std::string(199, char('a' + level % 26)) + "X";
    struct stat st {};
    ASSERT_NE(::stat(native.c_str(), &st), 0);
    EXPECT_EQ(errno, ENAMETOOLONG);

    const HANDLE created = Open((folder + "\\Deep.txt").c_str(), RW, 0, CREATE_NEW);
    ASSERT_NE(created, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_TRUE(Write(created, "at the bottom"));
    CloseHandle(created);
    // Another spelling of the folders and the name still finds the file.
    std::string upper = folder;
    for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
    const HANDLE opened = Open((upper + "\\DEEP.TXT").c_str(), R, SR);
    ASSERT_NE(opened, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(Read(opened, 100), "at the bottom");
    CloseHandle(opened);
    EXPECT_EQ(GetFileAttributes(upper), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributes(folder + "\\deep.txt"), FILE_ATTRIBUTE_ARCHIVE);

    WIN32_FIND_DATA data;
    const HANDLE search = FindFirstFile(upper + "\\*.*", data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << GetLastError();
    std::vector<std::string> names{data.cFileName};
    while (FindNextFile(search, data)) names.push_back(data.cFileName);
    FindClose(search);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "Deep.txt"}));
    EXPECT_EQ(data.nFileSizeLow, 13u);
}

TEST_F(Files, FindDeliversFilesAndFoldersButNoLinksToFolders) {
    root.WriteFile("DIR/b.txt", "bb");
    root.WriteFile("DIR/A.TXT", "aaa");
    root.WriteFile("DIR/.hidden", "");
    root.MakeFolder("DIR/Sub");
    ASSERT_EQ(symlink("Sub", (root / "DIR/linkdir").c_str()), 0);
    ASSERT_EQ(symlink("b.txt", (root / "DIR/linkfile").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (root / "DIR/dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((root / "DIR/pipe").c_str(), 0600), 0);

    auto list = [](const char* mask, uint32_t filter = kFindAllAttributes) {
        std::vector<std::string> names;
        WIN32_FIND_DATA data;
        const HANDLE h = FindFirstFile(mask, data, filter);
        if (h == INVALID_HANDLE_VALUE)
            return std::vector<std::string>{"error " + std::to_string(GetLastError())};
        do {
            names.push_back(data.cFileName);
        } while (FindNextFile(h, data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(h));
        return names;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(list("C:\\dir\\*"), (V{".", "..", ".hidden", "A.TXT", "b.txt", "linkfile", "Sub"}));
    EXPECT_EQ(list("C:\\DIR\\*.txt"), (V{"A.TXT", "b.txt"}));
    EXPECT_EQ(list("C:\\DIR\\*.*", 0), (V{"A.TXT", "b.txt", "linkfile"}));
    EXPECT_EQ(list("C:\\DIR\\*", FILE_ATTRIBUTE_DIRECTORY),
              (V{".", "..", "A.TXT", "b.txt", "linkfile", "Sub"}));
    EXPECT_EQ(list("C:\\DIR\\*", FILE_ATTRIBUTE_HIDDEN), (V{".hidden", "A.TXT", "b.txt", "linkfile"}));
    EXPECT_EQ(list("C:\\*"), (V{"DIR"})) << "no dot entries at a drive's root";
    EXPECT_EQ(list("C:\\DIR\\*.DOC"), (V{"error 2"}));
    EXPECT_EQ(list("C:\\NODIR\\*"), (V{"error 3"}));

    WIN32_FIND_DATA data;
    const HANDLE h = FindFirstFile("C:\\DIR\\a.txt", data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.cFileName, "A.TXT");
    EXPECT_EQ(data.nFileSizeLow, 3u);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_FALSE(CloseHandle(HANDLE{-2}));
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));

    struct Attr {
        const char* name;
        uint32_t attributes;
    } attrs[] = {
        {"C:\\DIR\\.HIDDEN", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\DIR\\SUB", FILE_ATTRIBUTE_DIRECTORY},
        {"C:\\DIR\\SUB\\", FILE_ATTRIBUTE_DIRECTORY},
        {"C:\\", FILE_ATTRIBUTE_DIRECTORY},
        {"C:\\DIR\\LINKFILE", FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\DIR\\MISSING", INVALID_FILE_ATTRIBUTES},
    };
    for (const auto& a : attrs) EXPECT_EQ(GetFileAttributes(a.name), a.attributes) << a.name;
}

TEST_F(Files, MoveNeverReplacesAndCopiesAcrossFileSystems) {
    root.WriteFile("ONE.TXT", "one");
    root.WriteFile("TWO.TXT", "two");
    EXPECT_FALSE(MoveFile("C:\\ONE.TXT", "C:\\two.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadNativeFile(root / "ONE.TXT"), "one");
    EXPECT_EQ(ReadNativeFile(root / "TWO.TXT"), "two");
    EXPECT_FALSE(MoveFile("C:\\NONE.TXT", "C:\\X.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(MoveFile("C:\\ONE.TXT", "C:\\NODIR\\X.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    EXPECT_TRUE(MoveFile("C:\\ONE.TXT", "C:\\One.txt")) << "a new spelling of the same name";
    EXPECT_EQ(ReadNativeFile(root / "One.txt"), "one");
    EXPECT_TRUE(MoveFile("C:\\ONE.TXT", "C:\\THREE.TXT"));
    EXPECT_EQ(ReadNativeFile(root / "THREE.TXT"), "one");

    // Another file system, when there is one: the file is copied, time included, then deleted.
    struct stat here {
    }, there{};
    ASSERT_EQ(stat(root.Path().c_str(), &here), 0);
    if (stat("/dev/shm", &there) != 0 || there.st_dev == here.st_dev || access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second file system to move to";
    char pattern[] = "/dev/shm/korvane-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string other = pattern;
    {
        TScopedDrives two("C=" + root.Path() + ";D=" + other);
        const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (root / "THREE.TXT").c_str(), times, 0), 0);
        EXPECT_TRUE(MoveFile("C:\\THREE.TXT", "D:\\MOVED.TXT"));
        EXPECT_EQ(access((root / "THREE.TXT").c_str(), F_OK), -1);
        EXPECT_EQ(ReadNativeFile(other + "/MOVED.TXT"), "one");
        struct stat moved {};
        ASSERT_EQ(stat((other + "/MOVED.TXT").c_str(), &moved), 0);
        EXPECT_EQ(moved.st_mtim.tv_sec, 1000000000);
        root.MakeFolder("FOLDER");
        EXPECT_FALSE(MoveFile("C:\\FOLDER", "D:\\FOLDER"));
        EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
    }
    unlink((other + "/MOVED.TXT").c_str());
    rmdir(other.c_str());
}

TEST_F(Files, CopyAndFolders) {
    root.WriteFile("SRC.TXT", "source");
    root.WriteFile("DST.TXT", "old");
    EXPECT_FALSE(CopyFile("C:\\SRC.TXT", "C:\\DST.TXT", true));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadNativeFile(root / "DST.TXT"), "old");
    EXPECT_TRUE(CopyFile("C:\\SRC.TXT", "C:\\DST.TXT", false));
    EXPECT_EQ(ReadNativeFile(root / "DST.TXT"), "source");
    EXPECT_TRUE(CopyFile("C:\\src.txt", "C:\\NEW.TXT", true));
    EXPECT_EQ(ReadNativeFile(root / "NEW.TXT"), "source");

    EXPECT_TRUE(CreateDirectory("C:\\FOLDER"));
    EXPECT_FALSE(CreateDirectory("C:\\folder"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectory("C:\\NO\\FOLDER"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    root.WriteFile("FOLDER/F.TXT", "");
    EXPECT_FALSE(RemoveDirectory("C:\\FOLDER"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(RemoveDirectory("C:\\SRC.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(DeleteFile("C:\\FOLDER"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(DeleteFile("C:\\FOLDER\\F.TXT"));
    EXPECT_TRUE(RemoveDirectory("C:\\FOLDER"));
    EXPECT_FALSE(RemoveDirectory("C:\\FOLDER"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, InjectedFaultsFailWritesAndFlushes) {
    const HANDLE h = Open("C:\\FULL.DB", RW, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const std::string native = NativePathOfHandle(h);
    {
        // A disk with room for three more bytes.
        TScopedFileFault full([&](TFileOperation op, const std::string& path, int64_t position, uint32_t) {
            if (op == TFileOperation::Write && path == native)
                return TFileFault{ERROR_DISK_FULL, 3 - position};
            if (op == TFileOperation::Flush) return TFileFault{ERROR_IO_DEVICE, -1};
            return TFileFault{};
        });
        uint32_t put = 99;
        EXPECT_FALSE(WriteFile(h, "abcdef", 6, &put));
        EXPECT_EQ(put, 3u);
        EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
        EXPECT_FALSE(FlushFileBuffers(h));
        EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
    }
    EXPECT_TRUE(Write(h, "!"));
    EXPECT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_EQ(ReadNativeFile(native), "abc!");
    {
        TScopedFileFault refuse([](TFileOperation op, const std::string&, int64_t, uint32_t) {
            return op == TFileOperation::Open ? TFileFault{ERROR_TOO_MANY_OPEN_FILES, -1} : TFileFault{};
        });
        EXPECT_EQ(Open("C:\\FULL.DB", R, SRW), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_OPEN_FILES);
    }
}

}  // namespace
}  // namespace platform
