#include "codecs/archive/ArcBrowser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/testsupport/TestFiles.h"
#include "platform/Paths.h"

namespace codecs {
namespace {

using testing::TempDir;

class RecordingMeter : public TArcMeterLink {
public:
    using TArcMeterLink::TArcMeterLink;
    void DoProgress(uint8_t progress) override { Log.push_back("progress " + std::to_string(progress)); }
    void Reset() override { Log.push_back("reset"); }
    std::vector<std::string> Log;
};

TEST(CabBrowser, EventsMetersAndSettingsReachTheOpenArchive) {
    if (!testing::ToolAvailable("gcab")) GTEST_SKIP() << "gcab is not installed";
    TempDir dir;
    testing::WriteFile(dir / "a.txt", "alpha");
    ASSERT_EQ(testing::Run("gcab -c t.cab a.txt", dir.Path()), 0);

    framework::TComponent owner(nullptr);
    auto* browser = new TArcCabBrowser(&owner);
    auto* meter = new RecordingMeter(&owner);
    EXPECT_EQ(browser->ArchiveKind, akCabinet);
    EXPECT_EQ(browser->Version(), "3.04");
    browser->SetVersion("9.99");
    EXPECT_EQ(browser->Version(), "3.04");
    browser->SetArchiveProgressMeter(meter);
    browser->SetSetID(77);
    std::vector<std::string> events;
    browser->OnLoad = [&](framework::TObject* sender) {
        EXPECT_EQ(sender, browser);
        events.push_back("load");
    };
    browser->OnArchiveProgress = [&](framework::TObject* sender, uint8_t progress, bool&) {
        EXPECT_EQ(sender, browser);
        events.push_back("progress " + std::to_string(progress));
    };
    browser->OnChange = [&](framework::TObject*) { events.push_back("change"); };
    browser->SetFileName(platform::NativeToWindowsPath(dir / "t.cab"));
    // Listing reports 100 %, then the load event, then the change.
    EXPECT_EQ(events, (std::vector<std::string>{"progress 100", "load", "change"}));
    EXPECT_EQ(meter->Log, (std::vector<std::string>{"reset", "progress 100"}));
    ASSERT_EQ(browser->Count(), 1);
    EXPECT_EQ(browser->GetItem(0)->GetStoredName(), "a.txt");
    EXPECT_EQ(browser->CabArchive()->CabParams.setID, 77);
    // The archive keeps the folder it was given, and the browser the archive's form of it.
    browser->SetBaseDirectory(platform::NativeToWindowsPath(dir.Path().string()) + "\\");
    EXPECT_EQ(browser->BaseDirectory, platform::NativeToWindowsPath(dir.Path().string()));
    EXPECT_EQ(browser->CabArchive()->BaseDirectory, browser->BaseDirectory);
    browser->SetTempDirectory("C:\\TMP");
    EXPECT_EQ(browser->Archive->TempDirectory, "C:\\TMP");
    // A meter that goes away is forgotten.
    delete meter;
    EXPECT_EQ(browser->ArchiveProgressMeter, nullptr);
    events.clear();
    browser->CloseArchive();
    // Closing the contexts reports 0 % before the change.
    EXPECT_EQ(events, (std::vector<std::string>{"progress 0", "change"}));
    EXPECT_EQ(browser->GetItem(0), nullptr);
    EXPECT_EQ(browser->CabSize(), 0u);
    EXPECT_FALSE(browser->HasPrev());
    EXPECT_EQ(browser->GetSetID(), 0);
}

}  // namespace
}  // namespace codecs
