#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/testsupport/UserEnv.h"

using namespace platform;
using platform::testsupport::ScopedUserEnv;

namespace {

bool IsFolder(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(ProgramFolder, ProgramFileLiesInTheKorvaneHome) {
    ScopedUserEnv env;
    env.Set("KORVANE_DRIVES", "C=/;D=" + env.Root() + "/kh");

    // Default: $XDG_DATA_HOME/korvane, created on first use.
    ReloadDriveMap();
    EXPECT_FALSE(IsFolder(env.Root() + "/data/korvane"));
    std::string name = GetModuleFileName();
    EXPECT_TRUE(IsFolder(env.Root() + "/data/korvane"));
    EXPECT_EQ(name, NativeToWindowsPath(env.Root() + "/data/korvane") + "\\Korvane.exe");
    EXPECT_EQ(name.substr(0, 3), "C:\\");
    EXPECT_EQ(ProgramFolderNative(), env.Root() + "/data/korvane");

    // $KORVANE_HOME wins, here the root of drive D:.
    env.Set("KORVANE_HOME", env.Root() + "/kh/");
    EXPECT_EQ(GetModuleFileName(), "D:\\Korvane.exe");
    EXPECT_TRUE(IsFolder(env.Root() + "/kh"));

    // No drive holds it.
    env.Set("KORVANE_DRIVES", "D=" + env.Root() + "/data");
    ReloadDriveMap();
    EXPECT_EQ(GetModuleFileName(), "");
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    env.Set("KORVANE_DRIVES", std::nullopt);
    ReloadDriveMap();
}

}  // namespace
