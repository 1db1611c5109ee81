#include "sysutil/ShVersionInfo.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "framework/core/SysUtils.h"
#include "platform/testsupport/TestDrives.h"
#include "sysutil/ShBase.h"
#include "sysutil/ShConst.h"
#include "sysutil/UtBase.h"

using namespace sysutil;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

namespace {

// The fixtures (made by testdata/versioninfo/make-fixtures.sh) and scratch files on drive D:.
class VersionInfoTest : public ::testing::Test {
protected:
    VersionInfoTest()
        : drives_("D=" + std::string(KORVANE_TESTDATA_DIR) + "/versioninfo;T=" + tmp_.Path() + ";C=/") {}

    static std::vector<uint8_t> Bytes(const char* name) {
        std::ifstream f(std::string(KORVANE_TESTDATA_DIR) + "/versioninfo/" + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    // The code of the EShVersionInfoError that F raises; 0 when it raises none.
    template <class F>
    static int ErrorOf(F f) {
        try {
            f();
        } catch (const EShVersionInfoError& e) {
            return e.ErrorCode;
        }
        return 0;
    }

    TTempFolder tmp_;
    TScopedDrives drives_;
};

TEST_F(VersionInfoTest, ReadsTheFixedPartAndTheTextsOfTheFirstTranslation) {
    TShVersionInfo info;
    info.SetFileName("D:\\VERSION.EXE");
    EXPECT_FALSE(info.Loaded());
    EXPECT_EQ(info.FileVersion(), "6.00.2900.2180");
    EXPECT_TRUE(info.Loaded());
    EXPECT_EQ(info.ProductVersion(), "5.1");
    EXPECT_EQ(info.FileVersionMS(), 0x00060000u);
    EXPECT_EQ(info.FileVersionLS(), (2900u << 16) | 2180u);
    EXPECT_EQ(info.ProductVersionMS(), (4u << 16) | 72u);
    EXPECT_EQ(info.ProductVersionLS(), (3110u << 16) | 1u);
    EXPECT_EQ(info.FileOS(), 0x40004u);
    EXPECT_DOUBLE_EQ(info.FileVersionFloat(), 6.0) << "through ParseVersionFloat";
    EXPECT_DOUBLE_EQ(info.ProductVersionFloat(), 5.1) << "read whole by the first parser";

    EXPECT_EQ(info.GetVersionString("CompanyName"), "Korvane test fixtures");
    EXPECT_EQ(info.GetVersionString("companyname"), "Korvane test fixtures") << "keys without regard to case";
    EXPECT_EQ(info.GetVersionString("Comments"), "");
    EXPECT_EQ(ErrorOf([&] { info.GetVersionString("LegalTrademarks"); }), 134);
    try {
        info.GetVersionString("Nothing");
    } catch (const EShVersionInfoError& e) {
        EXPECT_STREQ(e.what(), "The specified key cannnot be found in version info");
    }
}

TEST_F(VersionInfoTest, AMissingFileVersionStringLeavesTheFixedPart) {
    TShVersionInfo info;
    info.SetFileName("D:\\NOFILEVER.EXE");
    EXPECT_EQ(info.FileVersion(), "");
    EXPECT_EQ(info.FileVersionFloat(), 0.0);
    EXPECT_EQ(info.FileVersionMS(), 0x00010002u);
    EXPECT_EQ(info.FileVersionLS(), 0x00030004u);
    EXPECT_EQ(info.ProductVersion(), "123.45.6");
    EXPECT_EQ(info.ProductVersionFloat(), 0.0) << "second dot beyond the sixth character";
    EXPECT_EQ(info.GetVersionString("ProductVersion"), "123.45.6") << "table 041504e2 of the translation";
}

TEST_F(VersionInfoTest, FilesWithoutAReadableResourceRaiseTheirCodes) {
    tmp_.WriteFile("readme.txt", "This is a text file, not a program.\r\n");
    std::vector<uint8_t> cut = Bytes("version.exe");
    cut.resize(cut.size() - 600);  // the resource data lies past the end
    tmp_.WriteFile("cut.exe", std::string(cut.begin(), cut.end()));
    struct {
        const char* Name;
        int Code;
    } const cases[] = {
        {"D:\\PLAIN.EXE", 100},  // a sound program without the resource
        {"T:\\README.TXT", 101},
        {"T:\\CUT.EXE", 101},
    };
    for (const auto& c : cases) {
        TShVersionInfo info;
        info.SetFileName(c.Name);
        EXPECT_EQ(ErrorOf([&] { info.FileVersionFloat(); }), c.Code) << c.Name;
        EXPECT_FALSE(info.Loaded()) << c.Name;
        EXPECT_EQ(ErrorOf([&] { info.GetVersionString("FileVersion"); }), c.Code) << c.Name;
    }
    try {
        TShVersionInfo().SetFileName("D:\\NONE.EXE");
        ADD_FAILURE() << "a missing file was accepted";
    } catch (const EShVersionInfoError& e) {
        EXPECT_EQ(e.ErrorCode, 73);
        EXPECT_STREQ(e.what(), "Error opening file");
    }
    EXPECT_EQ(ErrorOf([] { TShVersionInfo().SetFileName("D:\\"); }), 73) << "a folder is no file";
}

TEST_F(VersionInfoTest, TheSameNameKeepsTheLoadedValuesAndAnotherReadsAgain) {
    TShVersionInfo info;
    info.SetFileName("D:\\VERSION.EXE");
    EXPECT_DOUBLE_EQ(info.FileVersionFloat(), 6.0);
    info.SetFileName("D:\\VERSION.EXE");
    EXPECT_TRUE(info.Loaded());
    info.SetFileName("D:\\NOFILEVER.EXE");
    EXPECT_FALSE(info.Loaded());
    EXPECT_EQ(info.FileVersionFloat(), 0.0);
    EXPECT_EQ(info.FileVersionMS(), 0x00010002u);
}

TEST_F(VersionInfoTest, AnEmptyNameStandsForTheProgramFile) {
    TShVersionInfo info;
    EXPECT_NE(info.FileName(), "");
    EXPECT_EQ(info.FileName().substr(info.FileName().size() - 12), "\\Korvane.exe");
    info.SetFileName("D:\\VERSION.EXE");
    info.SetFileName("");
    EXPECT_FALSE(info.Loaded());
    EXPECT_EQ(info.FileName().substr(info.FileName().size() - 12), "\\Korvane.exe");
}

// Every truncation and every single damaged byte of a sound image is reported (or read), never
// trusted past the data: ASan watches the reads.
TEST_F(VersionInfoTest, DamagedImagesAreRejectedWithoutReadingOutsideTheData) {
    const std::vector<uint8_t> image = Bytes("version.exe");
    ASSERT_GT(image.size(), 1000u);
    std::vector<uint8_t> resource;
    ASSERT_EQ(FindVersionResource(image, resource), TVersionResourceResult::vrFound);
    for (size_t n = 0; n < image.size(); n += 7) {
        std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n));
        std::vector<uint8_t> r;
        auto result = FindVersionResource(cut, r);
        if (result == TVersionResourceResult::vrFound)
            VerQueryValue(r, "\\StringFileInfo\\040904b0\\FileVersion");
    }
    for (size_t i = 0; i < image.size(); ++i) {
        for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{0x7F}}) {
            std::vector<uint8_t> bad = image;
            bad[i] = value;
            std::vector<uint8_t> r;
            if (FindVersionResource(bad, r) != TVersionResourceResult::vrFound) continue;
            for (const char* path :
                 {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904b0\\FileVersion"})
                VerQueryValue(r, path);
        }
    }
    // The same damage inside the resource itself.
    for (size_t i = 0; i < resource.size(); ++i) {
        std::vector<uint8_t> bad = resource;
        bad[i] ^= 0xA5;
        VerQueryValue(bad, "\\StringFileInfo\\040904b0\\ProductVersion");
    }
    EXPECT_FALSE(VerQueryValue({}, "\\").has_value());
}

TEST(VersionNumbers, ParseVersionFloatTakesTheMajorAndMinorNumbers) {
    struct {
        const char* Text;
        double Value;
    } const cases[] = {
        {"6.00.2900.2180", 6.0},
        {"4.72.3110.0", 4.72},
        {"10.0.19041.1", 10.0},
        {"123.45.6", 0},
        {"5.1", 0},
        {"", 0},
        {"1.2.", 0},  // the last character is not looked at
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(ParseVersionFloat(c.Text), c.Value) << c.Text;
    const char old = framework::DecimalSeparator;
    framework::DecimalSeparator = ',';
    EXPECT_DOUBLE_EQ(ParseVersionFloat("4.72.3110.0"), 4.72) << "with the locale's separator";
    framework::DecimalSeparator = old;
    EXPECT_THROW(ParseVersionFloat("a.b.c"), framework::EConvertError);
}

TEST(ComponentBases, VersionTextsAreFixedAndTheShellVersionIsKnown) {
    TUtComponent ut(nullptr);
    ut.SetVersion("9.99");
    EXPECT_EQ(ut.Version(), "4.03");
    TShComponent sh(nullptr);
    sh.SetVersion("9.99");
    EXPECT_EQ(sh.Version(), "1.02");
    TShShellComponent shell(nullptr);
    EXPECT_EQ(shell.Version(), "1.02");
    EXPECT_GE(shell.ShellVersion(), 4.7) << "the shell views' check passes";
    EXPECT_DOUBLE_EQ(shell.ShellVersion(), 6.0);
}

}  // namespace
