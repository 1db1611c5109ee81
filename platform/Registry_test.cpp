#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/testsupport/UserEnv.h"

using namespace platform;
using platform::testsupport::ReadTextFile;
using platform::testsupport::ScopedUserEnv;
using platform::testsupport::WriteTextFile;

namespace {

const std::string kAllBytes = [] {
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s;
}();

struct TypedCase {
    const char* name;
    uint32_t type;
    std::string data;
};

std::vector<TypedCase> TypedCases() {
    return {
        {"Path", REG_SZ, "C:\\Data\\Catalogs"},
        {"Quoted", REG_SZ, "say \"hi\"\\"},
        {"Empty", REG_SZ, ""},
        {"Ansi", REG_SZ, "Caf\xE9 \x80 \x81\x8D\x8F tab\there\r\nline"},
        {"Expand", REG_EXPAND_SZ, "%TEMP%\\x"},
        {"Count", REG_DWORD, std::string("\x2A\x00\x00\x00", 4)},
        {"Negative", REG_DWORD, std::string("\xFE\xFF\xFF\xFF", 4)},
        {"Blob", REG_BINARY, kAllBytes},
        {"NoBytes", REG_BINARY, ""},
        {"Other", 11, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
        {"Odd=Name [x] \"q\"", REG_SZ, "v"},
        {"", REG_SZ, "default value"},
    };
}

void WriteTypedCases() {
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Korvane\\Typed", &key), 0);
    for (auto& c : TypedCases()) EXPECT_EQ(RegSetValueEx(key, c.name, c.type, c.data), 0) << c.name;
    RegCloseKey(key);
}

// Returns the number of values that did not read back as written.
int CheckTypedCases() {
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "software\\KORVANE\\typed", &key) != 0) return 100;
    int bad = 0;
    for (auto& c : TypedCases()) {
        uint32_t type = 0;
        std::string data;
        if (RegQueryValueEx(key, c.name, &type, &data) != 0 || type != c.type || data != c.data) {
            ADD_FAILURE() << "value " << c.name;
            ++bad;
        }
    }
    RegCloseKey(key);
    return bad;
}

}  // namespace

// Run only as the child of RegistryPersistence.ValuesSurviveANewProcess.
TEST(RegistryPersistence, ChildReader) {
    if (!std::getenv("KORVANE_REGISTRY_CHILD")) GTEST_SKIP() << "runs as a child process only";
    EXPECT_EQ(CheckTypedCases(), 0);
}

TEST(RegistryPersistence, ValuesSurviveANewProcess) {
    ScopedUserEnv env;
    WriteTypedCases();
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    int rc = testsupport::RunShell("KORVANE_REGISTRY_CHILD=1 '" + self +
                                   "' --gtest_filter=RegistryPersistence.ChildReader >/dev/null 2>&1");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(CheckTypedCases(), 0);
    EXPECT_EQ(RegistryFileName(HKEY_CURRENT_USER), env.Root() + "/config/korvane/CurrentUser.reg");
}

TEST(RegistryPersistence, FileLayoutIsPinned) {
    ScopedUserEnv env;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Korvane\\TMainForm", true));
    reg.WriteString("DDirname.Caption", "C:\\Data \"x\"\xE9");
    reg.WriteInteger("Count", 42);
    reg.WriteBinaryData("Blob", std::string("\x00\xFF\x10", 3));
    reg.WriteExpandString("Where", "%HOME%");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Korvane\\Odd]%\xE9", true));
    EXPECT_EQ(ReadTextFile(RegistryFileName(HKEY_CURRENT_USER)),
              "; Korvane registry\n"
              "\n[Software\\Korvane\\TMainForm]\n"
              "\"DDirname.Caption\"=\"C:\\\\Data \\\"x\\\"\\xe9\"\n"
              "\"Count\"=dword:0000002a\n"
              "\"Blob\"=hex:00,ff,10\n"
              "\"Where\"=str(2):\"%HOME%\"\n"
              "\n[Software\\Korvane\\Odd%5d%25%e9]\n");
}

TEST(Registry, MissingKeysAndValuesReportMissing) {
    ScopedUserEnv env;
    HKEY key = 0;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Korvane", &key), 2);
    EXPECT_EQ(key, 0u);
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Korvane\\Empty", &key), 0);
    uint32_t type = 99;
    std::string data = "unchanged";
    EXPECT_EQ(RegQueryValueEx(key, "Nothing", &type, &data), 2);
    EXPECT_EQ(data, "unchanged");
    EXPECT_EQ(RegDeleteValue(key, "Nothing"), 2);
    RegCloseKey(key);
    EXPECT_EQ(RegQueryValueEx(key, "Nothing", &type, &data), 6) << "closed handle";
    // An empty key persists and its parent exists through it.
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", &key), 0);
    RegCloseKey(key);

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Korvane\\Empty", false));
    EXPECT_FALSE(reg.ReadString("Nothing").has_value());
    EXPECT_EQ(reg.LastError(), 2);
    reg.WriteInteger("Number", 7);
    EXPECT_FALSE(reg.ReadString("Number").has_value()) << "wrong type is not a text";
    EXPECT_EQ(reg.LastError(), 13);
    EXPECT_EQ(reg.ReadInteger("number"), 7);

    TRegIniFile ini("Software\\Korvane");
    EXPECT_EQ(ini.ReadString("NoSection", "Name", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Empty", "Name", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("Empty", "Number", -1), 7) << "a DWORD reads as an integer";
    EXPECT_FALSE(ini.ValueExists("Empty", "Name"));
}

TEST(Registry, IniFileSectionsAndKeysCompareWithoutCase) {
    ScopedUserEnv env;
    TRegIniFile ini("\\Software\\Korvane\\");
    EXPECT_TRUE(ini.WriteString("TMainForm", "DDirname.Caption", "C:\\DATA"));
    EXPECT_TRUE(ini.WriteInteger("TMainForm", "Left", -120));
    EXPECT_TRUE(ini.WriteBool("Printed Report", "Landscape.Checked", true));
    EXPECT_TRUE(ini.WriteString("TMainForm.Memo1Lines", "Item0", "first"));
    EXPECT_EQ(ini.ReadString("tmainform", "ddirname.caption", ""), "C:\\DATA");
    EXPECT_EQ(ini.ReadInteger("TMainForm", "Left", 0), -120);
    EXPECT_EQ(ini.ReadInteger("TMainForm", "DDirname.Caption", 5), 5) << "not an integer";
    EXPECT_TRUE(ini.ReadBool("PRINTED REPORT", "Landscape.Checked", false));
    EXPECT_EQ(ini.ReadSections(),
              (std::vector<std::string>{"TMainForm", "Printed Report", "TMainForm.Memo1Lines"}));
    EXPECT_EQ(ini.ReadSection("TMainForm"), (std::vector<std::string>{"DDirname.Caption", "Left"}));
    // Overwriting keeps one value under the first spelling.
    EXPECT_TRUE(ini.WriteString("TMAINFORM", "LEFT", "3"));
    EXPECT_EQ(ini.ReadSection("TMainForm"), (std::vector<std::string>{"DDirname.Caption", "Left"}));
    EXPECT_EQ(ini.ReadInteger("TMainForm", "Left", 0), 3);

    EXPECT_TRUE(ini.DeleteKey("TMainForm", "Left"));
    EXPECT_FALSE(ini.ValueExists("TMainForm", "Left"));
    EXPECT_TRUE(ini.EraseSection("tmainform"));
    EXPECT_EQ(ini.ReadString("TMainForm", "DDirname.Caption", "gone"), "gone");
    EXPECT_EQ(ini.ReadString("TMainForm.Memo1Lines", "Item0", ""), "first") << "a sibling stays";
    EXPECT_FALSE(ini.EraseSection("TMainForm"));
}

TEST(Registry, DeleteKeyRemovesTheWholeTree) {
    ScopedUserEnv env;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Korvane\\A\\B\\C", true));
    reg.WriteString("x", "1");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Korvane\\A2", true));
    reg.CloseKey();
    ASSERT_TRUE(reg.OpenKey("Software\\Korvane", false));
    EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"A", "A2"}));
    EXPECT_TRUE(reg.KeyExists("a\\b"));
    EXPECT_TRUE(reg.DeleteKey("A"));
    EXPECT_FALSE(reg.KeyExists("A\\B\\C"));
    EXPECT_FALSE(reg.KeyExists("A"));
    EXPECT_TRUE(reg.KeyExists("A2")) << "a key whose name only starts alike stays";
    EXPECT_FALSE(reg.DeleteKey("A"));
    EXPECT_EQ(reg.LastError(), 2);
}

TEST(Registry, LinesItCannotReadAreKeptOnRewrite) {
    ScopedUserEnv env;
    std::string file = RegistryFileName(HKEY_CURRENT_USER);
    WriteTextFile(file,
                  "; Korvane registry\n"
                  "stray line before any section\n"
                  "; a note of the user\n"
                  "[Software\\Korvane\\TMainForm]\r\n"
                  "\"Good\"=\"yes\"\r\n"
                  "\"Bad\"=dword:12\n"
                  "\"Unterminated\n"
                  "[broken%zz]\n"
                  "\"Later\"=hex:01,0\n");
    TRegIniFile ini("Software\\Korvane");
    EXPECT_EQ(ini.ReadString("TMainForm", "Good", ""), "yes");
    EXPECT_EQ(ini.ReadString("TMainForm", "Bad", "none"), "none");
    EXPECT_TRUE(ini.WriteString("TMainForm", "New", "1"));
    std::string text = ReadTextFile(file);
    EXPECT_EQ(text.find("; Korvane registry", 1), std::string::npos) << "one header";
    for (const char* kept : {"stray line before any section", "; a note of the user", "\"Bad\"=dword:12",
                             "\"Unterminated", "[broken%zz]", "\"Later\"=hex:01,0"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    EXPECT_EQ(ini.ReadString("TMainForm", "New", ""), "1");
    EXPECT_EQ(NormalizeRegistryText(text), text) << "a rewritten file reads back as it is";
}

TEST(Registry, WriterKilledMidWriteLeavesTheOldFile) {
    ScopedUserEnv env;
    TRegIniFile ini("Software\\Korvane");
    ASSERT_TRUE(ini.WriteString("TMainForm", "Kept", "old value"));
    std::string file = RegistryFileName(HKEY_CURRENT_USER);
    std::string before = ReadTextFile(file);

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SetRegistryWriteHook([] { ::raise(SIGKILL); });
        TRegIniFile w("Software\\Korvane");
        w.WriteString("TMainForm", "Kept", std::string(100000, 'n'));
        ::_exit(0);  // not reached: the hook kills the writer half-way
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadTextFile(file), before);
    EXPECT_EQ(ini.ReadString("TMainForm", "Kept", ""), "old value");
    // The half-written temporary file does not disturb the next writer.
    EXPECT_TRUE(ini.WriteString("TMainForm", "Next", "ok"));
    EXPECT_EQ(ini.ReadString("TMainForm", "Kept", ""), "old value");
    EXPECT_EQ(ini.ReadString("TMainForm", "Next", ""), "ok");
}

TEST(Registry, TwoWritingProcessesLoseNothing) {
    ScopedUserEnv env;
    TRegIniFile ini("Software\\Korvane");
    ASSERT_TRUE(ini.WriteString("Start", "x", "1"));  // both children begin from a cached file
    pid_t kids[2];
    for (int k = 0; k < 2; ++k) {
        kids[k] = ::fork();
        ASSERT_GE(kids[k], 0);
        if (kids[k] == 0) {
            TRegIniFile w("Software\\Korvane");
            bool ok = true;
            for (int i = 0; i < 25; ++i)
                ok = w.WriteInteger("Shared", "K" + std::to_string(k) + "_" + std::to_string(i), i) && ok;
            ::_exit(ok ? 0 : 1);
        }
    }
    for (pid_t kid : kids) {
        int status = 0;
        ASSERT_EQ(::waitpid(kid, &status, 0), kid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(ini.ReadSection("Shared").size(), 50u);
    EXPECT_EQ(ini.ReadInteger("Shared", "K1_24", -1), 24);
}

TEST(Registry, UnwritableFolderFailsAndChangesNothingInMemory) {
    ScopedUserEnv env;
    if (::geteuid() == 0) {
        // root writes everywhere; make the config "folder" a file instead
        WriteTextFile(env.Root() + "/config/korvane", "not a folder");
    } else {
        std::filesystem::permissions(env.Root() + "/config",
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    HKEY key = 0;
    EXPECT_NE(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Korvane", &key), 0);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Korvane", &key), 2);
    std::filesystem::permissions(env.Root() + "/config", std::filesystem::perms::owner_all);
}
