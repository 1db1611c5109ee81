#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Process.h"
#include "platform/testsupport/TestDrives.h"

namespace platform {
namespace {

using testsupport::TScopedDrives;
using testsupport::TTempFolder;

TEST(DriveMap, ParsesLettersFoldersAndAttributes) {
    const auto drives = ParseDriveMap(
        " D=/srv/disk1|label=BACKUP01|serial=1A2B3C4D|fs=FAT32|type=removable|image=/path/img|writable ;"
        "e=/tmp/x/;1=/nope;F;G=;H=/a/../b//c|LABEL = Two Words ;D=/srv/disk2|label=LATER");
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0].Letter, 'D');
    EXPECT_EQ(drives[0].Root, "/srv/disk2") << "a later entry for a letter wins";
    EXPECT_EQ(drives[0].Attribute("label"), "LATER");
    EXPECT_EQ(drives[1].Letter, 'E');
    EXPECT_EQ(drives[1].Root, "/tmp/x");
    EXPECT_TRUE(drives[1].Attributes.empty());
    EXPECT_EQ(drives[2].Letter, 'H');
    EXPECT_EQ(drives[2].Root, "/b/c");
    EXPECT_EQ(drives[2].Attribute("label"), "Two Words");

    const auto one = ParseDriveMap(
        "D=/srv/disk1|label=BACKUP01|serial=1A2B3C4D|fs=FAT32|type=removable|image=/path/img|writable");
    ASSERT_EQ(one.size(), 1u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"label", "BACKUP01"}, {"serial", "1A2B3C4D"}, {"fs", "FAT32"},
        {"type", "removable"}, {"image", "/path/img"}, {"writable", ""}};
    EXPECT_EQ(one[0].Attributes, expected);
    EXPECT_TRUE(one[0].HasAttribute("writable"));
    EXPECT_FALSE(one[0].HasAttribute("readonly"));
    EXPECT_EQ(one[0].Attribute("readonly"), "");
}

TEST(DriveMap, DefaultGivesMountsBelowMediaAndMntTheNextLetters) {
    const auto drives = DefaultDriveMap({"/", "/proc", "/run/media/me/X", "/mnt/usb", "/media/user/DISK B",
                                         "/media", "/mnt", "/home", "/mnt/usb", "/mediaeval/no"});
    std::vector<std::pair<char, std::string>> got;
    for (const auto& d : drives) got.emplace_back(d.Letter, d.Root);
    const std::vector<std::pair<char, std::string>> expected = {
        {'C', "/"}, {'D', "/media/user/DISK B"}, {'E', "/mnt/usb"}, {'F', "/run/media/me/X"}};
    EXPECT_EQ(got, expected);
}

TEST(Paths, FullPathNamesAreFoldedAgainstTheCurrentFolder) {
    TTempFolder c, d;
    c.MakeFolder("WORK/SUB");
    TScopedDrives drives("C=" + c.Path() + ";D=" + d.Path());
    ASSERT_TRUE(SetCurrentDirectory("c:/work"));
    EXPECT_EQ(GetCurrentDirectory(), "C:\\work\\");
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a.txt", "C:\\work\\a.txt"},
        {".\\SUB\\..\\b.txt", "C:\\work\\b.txt"},
        {"\\ROOT.TXT", "C:\\ROOT.TXT"},
        {"..\\..\\..\\x", "C:\\x"},
        {"d:rel\\f", "D:\\rel\\f"},
        {"C:rel", "C:\\work\\rel"},
        {"D:/Docs//README.TXT", "D:\\Docs\\README.TXT"},
        {"D:\\Docs\\", "D:\\Docs\\"},
        {"D:\\", "D:\\"},
        {"D:", "D:\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetFullPathName(c.in), c.out) << c.in;
}

TEST(Paths, ResolvesComponentsWithoutRegardToCase) {
    TTempFolder root;
    root.WriteFile("tmp/abc.TXT", "x");
    root.WriteFile("Docs/Readme.txt", "spelled one way");
    root.WriteFile("Docs/README.TXT", "spelled exactly");
    root.WriteFile(
        "\xC3\xBC"
        "ber/\xC3\xA9t\xC3\xA9.txt",
        "accents");  // über/été.txt in UTF-8
    TScopedDrives drives("C=" + root.Path());

    std::string native;
    ASSERT_TRUE(ResolveExistingPath("C:\\TMP\\ABC.txt", native));
    EXPECT_EQ(native, root / "tmp/abc.TXT");
    ASSERT_TRUE(ResolveExistingPath("C:\\docs\\README.TXT", native));
    EXPECT_EQ(native, root / "Docs/README.TXT") << "the exact spelling wins";
    ASSERT_TRUE(ResolveExistingPath("C:\\DOCS\\readme.TXT", native));
    EXPECT_EQ(native, root / "Docs/README.TXT") << "the smaller name in byte order wins";
    ASSERT_TRUE(
        ResolveExistingPath("C:\\\xDC"
                            "BER\\\xC9T\xC9.TXT",
                            native));  // ÜBER\ÉTÉ.TXT
    EXPECT_EQ(native, root /
                          "\xC3\xBC"
                          "ber/\xC3\xA9t\xC3\xA9.txt");

    TNativePath created;
    ASSERT_TRUE(ResolveWindowsPath("C:\\TMP\\New File.dat", created));
    EXPECT_FALSE(created.Exists);
    EXPECT_EQ(created.Native, root / "tmp/New File.dat");

    struct Failure {
        const char* path;
        uint32_t code;
    } failures[] = {
        {"C:\\TMP\\MISSING.TXT", ERROR_FILE_NOT_FOUND},
        {"C:\\NOWHERE\\ABC.TXT", ERROR_PATH_NOT_FOUND},
        {"C:\\TMP\\ABC.TXT\\INNER", ERROR_PATH_NOT_FOUND},  // a file used as a folder
        {"Q:\\ABC.TXT", ERROR_INVALID_DRIVE},
        {"C:\\TMP\\A*C.TXT", ERROR_INVALID_NAME},
        {"C:\\TMP\\A|C.TXT", ERROR_INVALID_NAME},
    };
    for (const auto& f : failures) {
        SetLastError(0);
        EXPECT_FALSE(ResolveExistingPath(f.path, native)) << f.path;
        EXPECT_EQ(GetLastError(), f.code) << f.path;
    }
}

TEST(Paths, NativePathsTakeTheClosestDrive) {
    TTempFolder root;
    root.MakeFolder("inner/deeper");
    TScopedDrives drives("C=" + root.Path() + ";E=" + (root / "inner"));
    EXPECT_EQ(NativeToWindowsPath(root / "inner/deeper/f.txt"), "E:\\deeper\\f.txt");
    EXPECT_EQ(NativeToWindowsPath(root / "inner"), "E:\\");
    EXPECT_EQ(NativeToWindowsPath(root / "innerX/f"), "C:\\innerX\\f");
    EXPECT_EQ(NativeToWindowsPath(root / "inner/../a/./b"), "C:\\a\\b");
    EXPECT_EQ(NativeToWindowsPath(root / "\xC3\xA9t\xC3\xA9"), "C:\\\xE9t\xE9");
    EXPECT_EQ(NativeToWindowsPath("/definitely/elsewhere"), "");

    ASSERT_EQ(chdir((root / "inner/deeper").c_str()), 0);
    ReloadDriveMap();
    EXPECT_EQ(GetCurrentDirectory(), "E:\\deeper\\");
    EXPECT_EQ(NativeToWindowsPath("x.txt"), "E:\\deeper\\x.txt");
}

TEST(Paths, TempFolderHasAFinalBackslash) {
    TTempFolder root;
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string saved = oldTmp ? oldTmp : "";
    setenv("TMPDIR", (root / "t").c_str(), 1);
    {
        TScopedDrives drives("C=" + root.Path());
        EXPECT_EQ(GetTempPath(), "C:\\t\\");
    }
    {
        TScopedDrives drives("C=/");
        EXPECT_EQ(GetTempPath(), NativeToWindowsPath(root / "t") + "\\");
    }
    if (oldTmp)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST(PathSeparatorsTest, TrailingBackslashAndSlashes) {
    EXPECT_EQ(IncludeTrailingBackslash("C:\\DATA"), "C:\\DATA\\");
    EXPECT_EQ(IncludeTrailingBackslash("C:\\DATA\\"), "C:\\DATA\\");
    EXPECT_EQ(IncludeTrailingBackslash(""), "");
    EXPECT_EQ(SlashesToBackslashes("a/b\\c/"), "a\\b\\c\\");
    EXPECT_EQ(SlashesToBackslashes(""), "");
}

}  // namespace
}  // namespace platform
