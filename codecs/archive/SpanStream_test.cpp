#include "codecs/archive/SpanStream.h"

#include <gtest/gtest.h>

#include "codecs/archive/ArcErrors.h"
#include "codecs/testsupport/TestFiles.h"
#include "platform/Paths.h"

namespace codecs {
namespace {

std::string WinPath(const testing::TempDir& dir, const std::string& name) {
    return platform::NativeToWindowsPath(dir / name);
}

TEST(SpanStream, RelativeNameIsRefused) {
    try {
        TArcSpanStream s("ARCHIVE.ZIP", 0, mkLocal, -1);
        ADD_FAILURE();
    } catch (const EArcException& e) {
        EXPECT_EQ(e.Message, "Full Path Required");
    }
}

TEST(SpanStream, WritingPastTheVolumeLimitAsksForNumberedVolumes) {
    testing::TempDir dir;
    const std::string name = WinPath(dir, "ARCH.ZIP");
    std::vector<std::string> proposed;
    std::vector<int32_t> numbers;
    {
        TArcSpanStream s(name, 1000, mkLocal, -1);
        s.OnNextVolume = [&](framework::TObject*, int32_t number, bool&, std::string& fileName) {
            proposed.push_back(fileName);
            numbers.push_back(number);
        };
        std::string data = testing::RandomBytes(2500, 1);
        EXPECT_EQ(s.Write(data.data(), 2500), 2500);
        EXPECT_EQ(s.VolumeBytes, 500);
        EXPECT_EQ(s.TotalWritten, 2500);
        EXPECT_EQ(s.Seek(0, framework::soFromBeginning), 500);  // writing direction does not move
    }
    ASSERT_EQ(proposed.size(), 2u);
    EXPECT_EQ(proposed[0].substr(proposed[0].size() - 8), "ARCH.z01");
    EXPECT_EQ(proposed[1].substr(proposed[1].size() - 8), "ARCH.z02");
    EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(testing::ReadFile(dir / "ARCH.ZIP").size(), 1000u);
    EXPECT_EQ(testing::ReadFile(dir / "ARCH.z01").size(), 1000u);
    EXPECT_EQ(testing::ReadFile(dir / "ARCH.z02").size(), 500u);
}

TEST(SpanStream, ProposedNamesEndAfter99AndCancelStopsTheWrite) {
    testing::TempDir dir;
    TArcSpanStream s(WinPath(dir, "A.ZIP"), 10, mkLocal, -1);
    s.VolumeIndex = 8;
    EXPECT_EQ(s.NextVolumeName().substr(s.NextVolumeName().size() - 5), "A.z09");
    s.VolumeIndex = 9;
    EXPECT_EQ(s.NextVolumeName().substr(s.NextVolumeName().size() - 5), "A.z10");
    s.VolumeIndex = 99;
    EXPECT_EQ(s.NextVolumeName(), "");
    s.VolumeIndex = 0;
    s.OnNextVolume = [](framework::TObject*, int32_t, bool& stop, std::string&) { stop = true; };
    std::string data(25, 'x');
    EXPECT_EQ(s.Write(data.data(), 25), 10);
    EXPECT_EQ(s.Write(data.data(), 5), 0);  // no volume is open any more
}

TEST(SpanStream, ReadingMovesToTheNextVolumeOnlyWithAHandler) {
    testing::TempDir dir;
    testing::WriteFile(dir / "P.ZIP", "first");
    testing::WriteFile(dir / "P.Z01", "second");
    {
        TArcSpanStream s(WinPath(dir, "P.ZIP"), 0, mkLocal, framework::fmOpenRead);
        char buf[16];
        EXPECT_EQ(s.Read(buf, 16), 5);
        EXPECT_EQ(s.Read(buf, 16), 0);  // at the end, without a handler
    }
    TArcSpanStream s(WinPath(dir, "P.ZIP"), 0, mkLocal, framework::fmOpenRead);
    std::string next = WinPath(dir, "P.Z01");
    s.OnNextVolume = [&](framework::TObject*, int32_t number, bool&, std::string& name) {
        EXPECT_EQ(number, 1);
        name = next;
    };
    char buf[16];
    EXPECT_EQ(s.Read(buf, 16), 5);
    EXPECT_EQ(s.Read(buf, 16), 6);
    EXPECT_EQ(std::string(buf, 6), "second");
    // A handler naming a missing volume, and one that cancels.
    TArcSpanStream t(WinPath(dir, "P.ZIP"), 0, mkLocal, framework::fmOpenRead);
    t.Read(buf, 16);
    t.OnNextVolume = [&](framework::TObject*, int32_t, bool&, std::string& name) {
        name = WinPath(dir, "NONE.Z01");
    };
    EXPECT_THROW(t.Read(buf, 16), EArcFileNotFound);
    TArcSpanStream u(WinPath(dir, "P.ZIP"), 0, mkLocal, framework::fmOpenRead);
    u.Read(buf, 16);
    u.OnNextVolume = [&](framework::TObject*, int32_t, bool& stop, std::string&) { stop = true; };
    EXPECT_THROW(u.Read(buf, 16), EArcUserAbort);
}

}  // namespace
}  // namespace codecs
