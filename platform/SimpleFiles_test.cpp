#include "platform/SimpleFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/testsupport/TestDrives.h"

namespace platform {
namespace {

using testsupport::ReadNativeFile;
using testsupport::TScopedDrives;
using testsupport::TTempFolder;

TEST(SimpleFiles, CreateWriteSeekReadAndClose) {
    TTempFolder root;
    TScopedDrives drives("C=" + root.Path());
    const HFILE out = _lcreat("C:\\CAB.TMP", 0);
    ASSERT_NE(out, HFILE_ERROR);
    EXPECT_EQ(_lwrite(out, "0123456789", 10), 10u);
    EXPECT_EQ(_llseek(out, 4, 0), 4);
    EXPECT_EQ(_lwrite(out, nullptr, 0), 0u) << "a count of 0 cuts the file here";
    EXPECT_EQ(_llseek(out, 0, 2), 4);
    EXPECT_EQ(_llseek(out, -5, 1), HFILE_ERROR);
    EXPECT_EQ(_llseek(out, 0, 3), HFILE_ERROR);
    EXPECT_EQ(_lclose(out), 0);
    EXPECT_EQ(_lclose(out), HFILE_ERROR);
    EXPECT_EQ(ReadNativeFile(root / "CAB.TMP"), "0123");

    const HFILE exclusive = _lopen("C:\\cab.tmp", OF_READ | OF_SHARE_EXCLUSIVE);
    ASSERT_NE(exclusive, HFILE_ERROR);
    EXPECT_EQ(_lopen("C:\\CAB.TMP", OF_READ | OF_SHARE_DENY_NONE), HFILE_ERROR);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    char buffer[8] = {};
    EXPECT_EQ(_lread(exclusive, buffer, sizeof buffer), 4u);
    EXPECT_EQ(_lwrite(exclusive, "x", 1), static_cast<uint32_t>(HFILE_ERROR)) << "opened for reading";
    _lclose(exclusive);

    const HFILE compat1 = _lopen("C:\\CAB.TMP", OF_READWRITE);
    const HFILE compat2 = _lopen("C:\\CAB.TMP", OF_READ | OF_SHARE_DENY_WRITE);
    EXPECT_NE(compat1, HFILE_ERROR);
    EXPECT_EQ(compat2, HFILE_ERROR) << "denying write while another handle writes";
    _lclose(compat1);
    EXPECT_EQ(_lopen("C:\\MISSING.TMP", OF_READ), HFILE_ERROR);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(SimpleFiles, TemporaryFileNames) {
    TTempFolder root;
    root.MakeFolder("TEMP");
    TScopedDrives drives("C=" + root.Path());
    std::string name;
    EXPECT_EQ(GetTempFileName("C:\\TEMP", "VMSX", 0x12AB, name), 0x12ABu);
    EXPECT_EQ(name, "C:\\TEMP\\VMS12AB.TMP");
    EXPECT_NE(access((root / "TEMP/VMS12AB.TMP").c_str(), F_OK), 0) << "a given number creates nothing";
    EXPECT_EQ(GetTempFileName("C:\\TEMP\\", "V", 0x1234567, name), 0x4567u);
    EXPECT_EQ(name, "C:\\TEMP\\V4567.TMP");

    std::string first, second;
    const uint32_t a = GetTempFileName("C:\\TEMP", "VMS", 0, first);
    const uint32_t b = GetTempFileName("C:\\TEMP", "VMS", 0, second);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(GetFileAttributes(first), FILE_ATTRIBUTE_ARCHIVE) << "the picked name exists, empty";
    EXPECT_EQ(GetTempFileName("C:\\NOWHERE", "VMS", 0, name), 0u);
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
}

}  // namespace
}  // namespace platform
