#include "platform/ShellNamespace.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/testsupport/TestDrives.h"

using namespace platform;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

namespace {

struct IDListFree {
    void operator()(uint8_t* p) const { ILFree(p); }
};
using TList = std::unique_ptr<uint8_t, IDListFree>;

std::vector<uint8_t> Bytes(LPCITEMIDLIST list) {
    return {list, list + ILGetSize(list)};
}

std::vector<std::string> Names(LPCITEMIDLIST parent, uint32_t flags) {
    std::vector<std::string> out;
    for (LPITEMIDLIST id : SHEnumObjects(parent, flags)) {
        TList full(ILCombine(parent, id));
        out.push_back(SHGetDisplayNameOf(full.get(), SHGDN_NORMAL));
        ILFree(id);
    }
    return out;
}

class ShellNamespaceTest : public ::testing::Test {
protected:
    ShellNamespaceTest() : drives_("D=" + disk_.Path() + "|label=BACKUP01;E=" + other_.Path()) {
        disk_.WriteFile("dir/a.txt", "hello");
        disk_.MakeFolder("dir/sub");
        disk_.WriteFile(".hidden", "");
        disk_.WriteFile("B.txt", "");
    }
    TTempFolder disk_, other_;
    TScopedDrives drives_;
};

TEST_F(ShellNamespaceTest, PathsParseIntoPinnedByteListsAndBack) {
    TList list(SHParseDisplayName("d:\\DIR\\A.TXT"));
    ASSERT_TRUE(list);
    const std::vector<uint8_t> expected = {4,   0,   ':', ':', 4,   0,   'D', ':', 5,   0, 'd',
                                           'i', 'r', 7,   0,   'a', '.', 't', 'x', 't', 0, 0};
    EXPECT_EQ(Bytes(list.get()), expected);
    EXPECT_EQ(SHGetDisplayNameOf(list.get(), SHGDN_FORPARSING), "D:\\dir\\a.txt");
    EXPECT_EQ(SHGetDisplayNameOf(list.get(), SHGDN_NORMAL), "a.txt");
    EXPECT_EQ(ILCount(list.get()), 4);
    EXPECT_EQ(ILSegment(ILFindLastID(list.get())), "a.txt");

    TList parent(ILClone(list.get()));
    ASSERT_TRUE(ILRemoveLastID(parent.get()));
    TList dir(SHParseDisplayName("D:\\dir"));
    EXPECT_TRUE(ILIsEqual(parent.get(), dir.get()));
    TList last(ILCloneFirst(ILFindLastID(list.get())));
    TList joined(ILCombine(dir.get(), last.get()));
    EXPECT_TRUE(ILIsEqual(joined.get(), list.get()));

    TList drive(SHParseDisplayName("D:"));
    EXPECT_EQ(SHGetDisplayNameOf(drive.get(), SHGDN_FORPARSING), "D:\\");
    EXPECT_EQ(SHGetDisplayNameOf(drive.get(), SHGDN_NORMAL), "BACKUP01 (D:)");
    TList e(SHParseDisplayName("E:\\"));
    EXPECT_EQ(SHGetDisplayNameOf(e.get(), SHGDN_NORMAL), "Local Disk (E:)");

    EXPECT_EQ(SHParseDisplayName("D:\\missing"), nullptr);
    TList gone(SHSimpleIDListFromPath("D:\\dir\\gone.txt"));
    EXPECT_EQ(SHGetDisplayNameOf(gone.get(), SHGDN_FORPARSING), "D:\\dir\\gone.txt");
    EXPECT_EQ(SHGetAttributesOf(gone.get(), 0xFFFFFFFFu), 0u);
    EXPECT_EQ(SHSimpleIDListFromPath("Q:\\x"), nullptr);
    // The root of a drive that is not (or no longer) mapped keeps its list and parsing name.
    TList goneDrive(SHSimpleIDListFromPath("Q:\\"));
    EXPECT_EQ(SHGetDisplayNameOf(goneDrive.get(), SHGDN_FORPARSING), "Q:\\");
    EXPECT_EQ(SHGetDisplayNameOf(goneDrive.get(), SHGDN_NORMAL), "");
    EXPECT_EQ(SHParseDisplayName("Q:\\"), nullptr);
}

TEST_F(ShellNamespaceTest, TheDesktopHoldsMyComputerWhichHoldsTheDrives) {
    TList desktop(SHGetSpecialFolderLocation(CSIDL_DESKTOP));
    EXPECT_EQ(ILGetSize(desktop.get()), 2u);
    EXPECT_EQ(SHGetDisplayNameOf(desktop.get(), SHGDN_NORMAL), "Desktop");
    EXPECT_EQ(Names(desktop.get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS),
              std::vector<std::string>{"My Computer"});
    TList computer(SHGetSpecialFolderLocation(CSIDL_DRIVES));
    EXPECT_EQ(Names(computer.get(), SHCONTF_FOLDERS),
              (std::vector<std::string>{"BACKUP01 (D:)", "Local Disk (E:)"}));
    TList d(SHParseDisplayName("D:\\"));
    EXPECT_EQ(Names(d.get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS),
              (std::vector<std::string>{"B.txt", "dir"}));
    EXPECT_EQ(Names(d.get(), SHCONTF_FOLDERS), std::vector<std::string>{"dir"});
    EXPECT_EQ(Names(d.get(), SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN),
              (std::vector<std::string>{".hidden", "B.txt"}));
    EXPECT_EQ(SHGetSpecialFolderLocation(9999), nullptr);
}

TEST_F(ShellNamespaceTest, AttributesFollowTheFileSystem) {
    const uint32_t all = 0xFFFFFFFFu;
    TList desktop(SHGetSpecialFolderLocation(CSIDL_DESKTOP));
    EXPECT_EQ(SHGetAttributesOf(desktop.get(), all) & (SFGAO_FILESYSTEM | SFGAO_CANRENAME | SFGAO_HIDDEN),
              0u);
    TList dir(SHParseDisplayName("D:\\dir"));
    EXPECT_EQ(SHGetAttributesOf(dir.get(), all) &
                  (SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_HIDDEN),
              SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_HASSUBFOLDER);
    TList hidden(SHParseDisplayName("D:\\.hidden"));
    EXPECT_EQ(SHGetAttributesOf(hidden.get(), all) & (SFGAO_FOLDER | SFGAO_HIDDEN), SFGAO_HIDDEN);
    ASSERT_EQ(::symlink((disk_ / "B.txt").c_str(), (disk_ / "link").c_str()), 0);
    TList link(SHParseDisplayName("D:\\link"));
    EXPECT_TRUE(SHGetAttributesOf(link.get(), all) & SFGAO_LINK);
    EXPECT_EQ(SHGetAttributesOf(link.get(), SFGAO_SHARE | SFGAO_COMPRESSED), 0u);
}

TEST_F(ShellNamespaceTest, SizesAreSixtyFourBit) {
    const int fd = ::open((disk_ / "big").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 5368709120LL), 0);
    ::close(fd);
    TList big(SHParseDisplayName("D:\\big"));
    TShellFindData data;
    ASSERT_TRUE(SHGetFindData(big.get(), data));
    EXPECT_EQ(data.Size, 5368709120ull);
}

TEST(IDListBytes, OutsideBytesAreCheckedBeforeUse) {
    struct Case {
        std::vector<uint8_t> bytes;
        size_t valid;
    };
    const std::vector<Case> cases = {
        {{}, 0},
        {{0}, 0},
        {{0, 0}, 2},
        {{0, 0, 9, 9}, 2},  // bytes after the terminator are not part of the list
        {{4, 0, 'a', 'b', 0, 0}, 6},
        {{4, 0, 'a', 'b', 0}, 0},  // no complete terminator
        {{2, 0, 0, 0}, 0},         // an ID without a segment
        {{1, 0, 0, 0}, 0},
        {{0xFF, 0xFF, 'a', 0, 0}, 0},  // an ID longer than the bytes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ILValidate(c.bytes.data(), c.bytes.size()), c.valid);
        TList list(ILCreateFromBytes(c.bytes.data(), c.bytes.size()));
        EXPECT_EQ(list != nullptr, c.valid != 0);
        if (list) {
            EXPECT_EQ(ILGetSize(list.get()), c.valid);
        }
    }
    EXPECT_EQ(ILGetSize(nullptr), 0u);
    EXPECT_EQ(ILGetNext(nullptr), nullptr);
    EXPECT_FALSE(ILRemoveLastID(nullptr));
}

}  // namespace
