#include "platform/Shell.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/XdgDirs.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

using namespace platform;
using platform::testsupport::ReadTextFile;
using platform::testsupport::ScopedUserEnv;
using platform::testsupport::WriteTextFile;

namespace {

// A private desktop: a MIME database with a few patterns, a viewer for plain text, a drive D:
// and a folder of fake programs that write their arguments to a file.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = env_.Root();
        WriteTextFile(root_ + "/share/mime/globs2",
                      "# weight:type:glob\n"
                      "50:text/plain:*.txt\n"
                      "50:text/x-csrc:*.c\n"
                      "50:text/x-c++src:*.C:cs\n"
                      "50:application/x-korvane-test:*.kvt\n");
        WriteTextFile(root_ + "/share/mime/subclasses", "text/x-csrc text/plain\n");
        WriteTextFile(
            root_ + "/share/applications/viewer.desktop",
            "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\nMimeType=text/plain;\n");
        WriteTextFile(root_ + "/share/applications/gone.desktop",
                      "[Desktop Entry]\nHidden=true\nMimeType=application/x-korvane-test;\n");
        WriteTextFile(root_ + "/disk/docs/a.txt", "hello\n");
        WriteTextFile(root_ + "/disk/docs/data.qzx", std::string("\x00\x01\x02binary", 9));
        WriteTextFile(root_ + "/disk/docs/x.kvt", "kvt");
        WriteTextFile(root_ + "/disk/docs/readme.txt", "executable bit, but a document\n", true);
        WriteTextFile(root_ + "/disk/docs/code.c", "int main;\n");
        WriteTextFile(root_ + "/disk/docs/run.sh",
                      "#!/bin/sh\nprintf '%s|' \"$@\" > \"$FAKE_OUT\"\npwd >> \"$FAKE_OUT\"\n", true);
        const std::string recorder = "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$FAKE_OUT\"\n";
        WriteTextFile(root_ + "/bin/xdg-open", recorder, true);
        env_.Set("PATH", root_ + "/bin");  // only the fakes: the scripts need nothing else
        env_.Set("FAKE_OUT", root_ + "/out.txt");
        env_.Set("KORVANE_DRIVES", "D=" + root_ + "/disk");
        ReloadDriveMap();
    }
    void TearDown() override {
        ::unsetenv("KORVANE_DRIVES");
        ReloadDriveMap();
    }

    // Launches and waits for the started program; returns what it recorded.
    std::string LaunchAndWait(SHELLEXECUTEINFO info) {
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        if (!ShellExecuteEx(&info)) return "error " + std::to_string(GetLastError());
        EXPECT_NE(info.hProcess, 0u);
        EXPECT_EQ(WaitForProcess(info.hProcess, INFINITE), WAIT_OBJECT_0);
        uint32_t code = 99;
        EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(CloseProcessHandle(info.hProcess));
        return ReadTextFile(root_ + "/out.txt");
    }

    ScopedUserEnv env_;
    std::string root_;
};

TEST_F(ShellTest, OpenerReceivesTheNativePathOfAWindowsPath) {
    SHELLEXECUTEINFO info;
    info.lpVerb = "open";
    info.lpFile = "D:\\DOCS\\A.TXT";
    EXPECT_EQ(LaunchAndWait(info), root_ + "/disk/docs/a.txt\n");
    info.lpVerb.clear();  // no verb means "open"
    info.lpFile = "D:\\Docs";
    EXPECT_EQ(LaunchAndWait(info), root_ + "/disk/docs\n") << "a folder opens too";
    info.lpFile = "D:\\DOCS\\CODE.C";
    EXPECT_EQ(LaunchAndWait(info), root_ + "/disk/docs/code.c\n") << "through its parent type";
    info.lpFile = "D:\\DOCS\\README.TXT";
    EXPECT_EQ(LaunchAndWait(info), root_ + "/disk/docs/readme.txt\n") << "a document with the execute bit";
}

TEST_F(ShellTest, FailuresCarryTheSystemCodes) {
    struct Case {
        const char* verb;
        const char* file;
        uint32_t error;
    } cases[] = {
        {"open", "D:\\DOCS\\MISSING.TXT", ERROR_FILE_NOT_FOUND},
        {"open", "D:\\NOFOLDER\\A.TXT", ERROR_PATH_NOT_FOUND},
        {"open", "", ERROR_FILE_NOT_FOUND},
        {"open", "D:\\DOCS\\DATA.QZX", ERROR_NO_ASSOCIATION},  // binary, no program for it
        {"open", "D:\\DOCS\\X.KVT", ERROR_NO_ASSOCIATION},     // its only program is hidden
        {"print", "D:\\DOCS\\A.TXT", ERROR_NO_ASSOCIATION},    // no printing program
        {"edit", "D:\\DOCS\\A.TXT", ERROR_NO_ASSOCIATION},
    };
    for (auto& c : cases) {
        SHELLEXECUTEINFO info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpVerb = c.verb;
        info.lpFile = c.file;
        SetLastError(0);
        EXPECT_FALSE(ShellExecuteEx(&info)) << c.verb << " " << c.file;
        EXPECT_EQ(GetLastError(), c.error) << c.verb << " " << c.file;
        EXPECT_EQ(info.hProcess, 0u);
    }
    EXPECT_EQ(ShellExecute("open", "D:\\DOCS\\DATA.QZX", "", "", SW_SHOWNORMAL), SE_ERR_NOASSOC);
    EXPECT_EQ(ShellExecute("open", "D:\\DOCS\\MISSING.TXT", "", "", SW_SHOWNORMAL), 2);
    EXPECT_GT(ShellExecute("open", "D:\\DOCS\\A.TXT", "", "", SW_SHOWNORMAL), 32);

    env_.Set("PATH", root_ + "/nobin");
    SHELLEXECUTEINFO info;
    info.lpFile = "D:\\DOCS\\A.TXT";
    EXPECT_FALSE(ShellExecuteEx(&info));
    EXPECT_EQ(GetLastError(), ERROR_NO_ASSOCIATION) << "no opener at all";
}

TEST_F(ShellTest, AddressesGoToTheOpenerUnchanged) {
    SHELLEXECUTEINFO info;
    for (const char* url : {"http://www.example.com/a b?x=1", "https://example.com/",
                            "mailto:someone@example.com", "ftp://host/file"}) {
        info.lpFile = url;
        EXPECT_EQ(LaunchAndWait(info), std::string(url) + "\n");
    }
    info.lpFile = "http://example.com/\xE9t\xE9";  // Windows-1252 text reaches the opener as UTF-8
    EXPECT_EQ(LaunchAndWait(info), "http://example.com/\xC3\xA9t\xC3\xA9\n");

    // A drive letter is no scheme; other verbs have no program for an address.
    EXPECT_EQ(ShellExecute("open", "D:\\DOCS\\MISSING.TXT", "", "", SW_SHOWNORMAL), 2);
    EXPECT_EQ(ShellExecute("print", "http://example.com/", "", "", SW_SHOWNORMAL), SE_ERR_NOASSOC);
    env_.Set("PATH", root_ + "/nobin");
    EXPECT_EQ(ShellExecute("open", "http://example.com/", "", "", SW_SHOWNORMAL), SE_ERR_NOASSOC);
}

TEST_F(ShellTest, PrintVerbUsesThePrintingProgram) {
    WriteTextFile(root_ + "/bin/lp", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$FAKE_OUT\"\n", true);
    SHELLEXECUTEINFO info;
    info.lpVerb = "Print";
    info.lpFile = "D:\\DOCS\\A.TXT";
    EXPECT_EQ(LaunchAndWait(info), "--\n" + root_ + "/disk/docs/a.txt\n");
}

TEST_F(ShellTest, ProgramStartsItselfWithParametersAndFolder) {
    SHELLEXECUTEINFO info;
    info.lpFile = "D:\\DOCS\\RUN.SH";
    info.lpParameters = "one \"two words\" three";
    info.lpDirectory = "D:\\";
    EXPECT_EQ(LaunchAndWait(info), "one|two words|three|" + root_ + "/disk\n");
}

TEST_F(ShellTest, LaunchDoesNotWaitForTheProgram) {
    // The opener blocks until the test releases it; the launch has returned long before.
    std::string fifo = root_ + "/gate";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    WriteTextFile(root_ + "/bin/xdg-open", "#!/bin/sh\nread line < \"" + fifo + "\"\nexit 7\n", true);
    SHELLEXECUTEINFO info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = "D:\\DOCS\\A.TXT";
    ASSERT_TRUE(ShellExecuteEx(&info));
    uint32_t code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForProcess(info.hProcess, 0), WAIT_TIMEOUT);
    WriteTextFile(fifo, "go\n");
    EXPECT_EQ(WaitForProcess(info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseProcessHandle(info.hProcess));
    EXPECT_EQ(WaitForProcess(info.hProcess, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseProcessHandle(info.hProcess));
}

TEST_F(ShellTest, FileTypesFromPatternsAndContents) {
    struct Case {
        const char* file;
        const char* type;
    } cases[] = {
        {"docs/a.txt", "text/plain"},   {"docs/A.TXT", "text/plain"},  // patterns ignore case unless marked
        {"docs/code.c", "text/x-csrc"}, {"docs/data.qzx", "application/octet-stream"},
        {"docs", "inode/directory"},
    };
    WriteTextFile(root_ + "/disk/docs/A.TXT", "upper\n");
    for (auto& c : cases) EXPECT_EQ(FileMimeType(root_ + "/disk/" + c.file), c.type) << c.file;
    WriteTextFile(root_ + "/disk/docs/notes", "plain words\n");
    EXPECT_EQ(FileMimeType(root_ + "/disk/docs/notes"), "text/plain") << "no pattern, text contents";
    WriteTextFile(root_ + "/disk/docs/big.C", "x");
    EXPECT_EQ(FileMimeType(root_ + "/disk/docs/big.C"), "text/x-c++src");

    EXPECT_TRUE(HasAssociatedProgram("text/plain"));
    EXPECT_TRUE(HasAssociatedProgram("text/x-csrc"));
    EXPECT_TRUE(HasAssociatedProgram("text/html")) << "every text type is plain text too";
    EXPECT_FALSE(HasAssociatedProgram("application/octet-stream"));
    WriteTextFile(root_ + "/config/mimeapps.list",
                  "[Default Applications]\napplication/pdf=reader.desktop;\n");
    EXPECT_TRUE(HasAssociatedProgram("application/pdf"));
    WriteTextFile(root_ + "/share/applications/mimeinfo.cache", "[MIME Cache]\nimage/png=pics.desktop;\n");
    EXPECT_TRUE(HasAssociatedProgram("image/png"));
    EXPECT_FALSE(HasAssociatedProgram("image/gif"));
}

}  // namespace

TEST(SystemAboutLines, NameOfTheSystemKernelAndComputer) {
    ScopedUserEnv env;
    const std::string file = env.Root() + "/os-release";
    WriteTextFile(file, "NAME=Test\nPRETTY_NAME=\"Test Linux 12 \\\"Beta\\\"\"\nID=test\n");
    auto lines = SystemAboutLines(file);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Test Linux 12 \"Beta\"");
    EXPECT_EQ(lines.back(), GetComputerName());
    WriteTextFile(file, "NAME=Test\n");
    auto without = SystemAboutLines(file);
    EXPECT_EQ(without.size(), lines.size() - 1) << "a name the system does not give is left out";
    EXPECT_FALSE(SystemAboutLines().empty());
}

namespace {

TEST(Trash, ItemsMoveToTheTrashWithTheirRecord) {
    platform::testsupport::ScopedUserEnv env;
    platform::testsupport::TTempFolder disk;
    platform::testsupport::TScopedDrives drives("D=" + disk.Path());
    disk.WriteFile("a b.txt", "one");
    disk.WriteFile("sub/a b.txt", "two");
    disk.WriteFile("dir/inner.txt", "three");
    const std::string trash = platform::XdgDataHome() + "/Trash";

    ASSERT_TRUE(platform::MoveToTrash("D:\\a b.txt"));
    ASSERT_TRUE(platform::MoveToTrash("D:\\SUB\\A B.TXT"));
    ASSERT_TRUE(platform::MoveToTrash("D:\\dir"));
    EXPECT_EQ(platform::testsupport::ReadNativeFile(trash + "/files/a b.txt"), "one");
    EXPECT_EQ(platform::testsupport::ReadNativeFile(trash + "/files/a b.txt 2"), "two");
    EXPECT_EQ(platform::testsupport::ReadNativeFile(trash + "/files/dir/inner.txt"), "three");
    EXPECT_FALSE(std::filesystem::exists(disk / "a b.txt"));
    const std::string info = platform::testsupport::ReadNativeFile(trash + "/info/a b.txt 2.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + disk.Path() + "/sub/a%20b.txt\nDeletionDate=", 0), 0u) << info;
    EXPECT_EQ(info.size(), std::string("[Trash Info]\nPath=" + disk.Path() + "/sub/a%20b.txt\n").size() +
                               std::string("DeletionDate=2026-12-11T01:02:03\n").size());

    platform::SetLastError(0);
    EXPECT_FALSE(platform::MoveToTrash("D:\\missing.txt"));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(trash + "/info/missing.txt.trashinfo"));
}

TEST(UserDirs, FoldersComeFromTheUserDirsFile) {
    platform::testsupport::ScopedUserEnv env;
    const std::string home = platform::UserHomeFolder();
    EXPECT_EQ(platform::UserDirFolder("DOCUMENTS", "Documents"), home + "/Documents");
    std::filesystem::create_directories(platform::XdgConfigHome());
    platform::testsupport::WriteTextFile(platform::XdgConfigHome() + "/user-dirs.dirs",
                                         "# written by a test\n"
                                         "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n"
                                         "XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n"
                                         "XDG_TEMPLATES_DIR=\"relative\"\n"
                                         "XDG_MUSIC_DIR=\"$HOME/My \\\"Music\\\"\"\n");
    EXPECT_EQ(platform::UserDirFolder("DESKTOP", "Desktop"), home + "/Bureau");
    EXPECT_EQ(platform::UserDirFolder("DOCUMENTS", "Documents"), "/srv/docs");
    EXPECT_EQ(platform::UserDirFolder("TEMPLATES", "Templates"), home + "/Templates");
    EXPECT_EQ(platform::UserDirFolder("MUSIC", "Music"), home + "/My \"Music\"");
}

}  // namespace
