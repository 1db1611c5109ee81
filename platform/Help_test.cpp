#include "platform/Help.h"

#include <gtest/gtest.h>

#include "platform/Beep.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Shell.h"
#include "platform/testsupport/UserEnv.h"

using namespace platform;
using platform::testsupport::ScopedUserEnv;
using platform::testsupport::WriteTextFile;

namespace {

std::vector<std::string> gReports;
void Collect(const std::string& text) {
    gReports.push_back(text);
}

TEST(Help, MissingHelpFileIsReportedPlainly) {
    ScopedUserEnv env;
    env.Set("KORVANE_DRIVES", "C=" + env.Root());
    ReloadDriveMap();
    gReports.clear();
    SetHelpReporter(Collect);

    EXPECT_FALSE(WinHelp("C:\\KORVANE.HLP", HELP_FINDER));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(gReports.size(), 1u);
    EXPECT_EQ(gReports[0], "No help file is installed (C:\\KORVANE.HLP was not found).");
    EXPECT_EQ(LastHelpReport(), gReports[0]);

    EXPECT_FALSE(WinHelp("C:\\KORVANE.HLP", HELP_PARTIALKEY, 0, ""));
    THelpRequest r = LastHelpRequest();
    EXPECT_EQ(r.HelpFile, "C:\\KORVANE.HLP");
    EXPECT_EQ(r.Command, HELP_PARTIALKEY);
    EXPECT_EQ(r.Key, "");

    // A help file that exists but that nothing here can show.
    WriteTextFile(env.Root() + "/Korvane.HLP", std::string("\x3F\x5F\x03\x00", 4));
    env.Set("PATH", env.Root() + "/nobin");
    EXPECT_FALSE(WinHelp("C:\\KORVANE.HLP", HELP_CONTEXT, 32));
    EXPECT_EQ(GetLastError(), ERROR_NO_ASSOCIATION);
    EXPECT_EQ(gReports.back(),
              "The help file C:\\KORVANE.HLP cannot be shown: no program to view it is installed.");
    EXPECT_EQ(LastHelpRequest().Context, 32u);

    size_t reports = gReports.size();
    EXPECT_TRUE(WinHelp("C:\\KORVANE.HLP", HELP_QUIT));
    EXPECT_EQ(gReports.size(), reports) << "quitting reports nothing";
    SetHelpReporter(nullptr);
    ::unsetenv("KORVANE_DRIVES");
    ReloadDriveMap();
}

void RecordSound(uint32_t type);
std::vector<uint32_t> gSounds;
void RecordSound(uint32_t type) {
    gSounds.push_back(type);
}

TEST(MessageBeep, EveryBeepIsRecordedAndSounded) {
    ClearBeepHistory();
    SetBeepSound(RecordSound);
    gSounds.clear();
    EXPECT_TRUE(MessageBeep(MB_ICONHAND));
    EXPECT_TRUE(MessageBeep(MB_ICONEXCLAMATION));
    EXPECT_TRUE(MessageBeep(MB_OK));
    EXPECT_EQ(BeepHistory(), (std::vector<uint32_t>{16, 48, 0}));
    EXPECT_EQ(gSounds, BeepHistory());
    SetBeepSound(nullptr);
    for (int i = 0; i < 1005; ++i) MessageBeep(MB_ICONQUESTION);
    EXPECT_EQ(BeepHistory().size(), 1000u) << "the record is bounded";
    ClearBeepHistory();
    EXPECT_TRUE(BeepHistory().empty());
}

}  // namespace
