#include "sysutil/shell/UtShell.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/XdgDirs.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

using namespace sysutil;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

namespace {

class UtShellTest : public ::testing::Test {
protected:
    UtShellTest() : drives_("D=" + disk_.Path() + "|label=BACKUP01") {
        disk_.WriteFile("dir/a.txt", "hello");
        disk_.MakeFolder("dir/sub");
        disk_.WriteFile(".hidden", "");
    }
    TTempFolder disk_;
    TScopedDrives drives_;
    TUtCustomShellController controller_{nullptr};
};

TEST_F(UtShellTest, ItemsFromParsedPathsKnowTheirPlace) {
    LPITEMIDLIST list = controller_.ParsePath("D:\\dir");
    ASSERT_NE(list, nullptr);
    TUtShellItem item(list, &controller_);
    EXPECT_EQ(item.Path, "D:\\dir");
    EXPECT_EQ(item.DisplayName, "dir");
    EXPECT_TRUE(item.IsFileSystem);
    EXPECT_TRUE(item.IsFolder);
    EXPECT_FALSE(item.IsFile);
    EXPECT_FALSE(item.IsDesktop);
    EXPECT_TRUE(item.CanRename());
    EXPECT_TRUE(item.HasSubFolder());
    EXPECT_TRUE(item.IsShellFolder());
    EXPECT_EQ(item.Size(), 0);

    LPITEMIDLIST parent = ParentIDList(item.AbsoluteIDList());
    LPITEMIDLIST drive = controller_.ParsePath("D:\\");
    EXPECT_TRUE(ILIsEqual(parent, drive));
    TUtShellItem driveItem(drive, &controller_);
    EXPECT_EQ(driveItem.DisplayName, "BACKUP01 (D:)");
    EXPECT_EQ(driveItem.Path, "D:\\");
    ILFree(parent);
    ILFree(drive);
    ILFree(list);

    TUtShellFolder copy(&controller_);
    copy.Level = 3;
    TUtShellFolder other(&controller_);
    other.Assign(item);
    EXPECT_EQ(other.Path, "D:\\dir");
    EXPECT_TRUE(ILIsEqual(other.AbsoluteIDList(), item.AbsoluteIDList()));
    EXPECT_NE(other.AbsoluteIDList(), item.AbsoluteIDList());
    copy.Assign(other);
    EXPECT_EQ(copy.Level, 0);
}

TEST_F(UtShellTest, TheDesktopItemIsNeitherRenamedHiddenNorALink) {
    LPITEMIDLIST desktop = platform::SHGetSpecialFolderLocation(platform::CSIDL_DESKTOP);
    TUtShellItem item(desktop, nullptr);  // makes and owns its controller
    ILFree(desktop);
    EXPECT_TRUE(item.IsDesktop);
    EXPECT_FALSE(item.CanRename());
    EXPECT_FALSE(item.IsHidden());
    EXPECT_FALSE(item.IsLink());
    EXPECT_FALSE(item.IsFile);
    EXPECT_FALSE(item.IsFolder);
    EXPECT_EQ(item.DisplayName, "Desktop");
}

TEST_F(UtShellTest, FilesReportDetailsAndSixtyFourBitSizes) {
    const int fd = ::open((disk_ / "dir/big").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 5368709120LL), 0);
    ::close(fd);
    ASSERT_EQ(::chmod((disk_ / "dir/a.txt").c_str(), 0444), 0);
    LPITEMIDLIST big = controller_.ParsePath("D:\\dir\\big");
    TUtShellItem item(big, &controller_);
    ILFree(big);
    EXPECT_EQ(item.Size(), 5368709120LL);
    EXPECT_TRUE(item.IsFile);
    EXPECT_NE(item.DosDateTime(), 0);

    LPITEMIDLIST a = controller_.ParsePath("D:\\dir\\a.txt");
    TUtShellItem text(a, &controller_);
    ILFree(a);
    EXPECT_EQ(text.Size(), 5);
    EXPECT_NE(text.AttributeText().find('R'), std::string::npos);
    EXPECT_GE(text.ImageIndex(), 0);
    EXPECT_EQ(text.SelectedIndex(), text.ImageIndex());
    EXPECT_EQ(text.OverlayIndex(), -1);
    EXPECT_EQ(controller_.SmallImages()->Count(), controller_.LargeImages()->Count());
    EXPECT_EQ(controller_.LargeImages()->Width, 32);
}

TEST_F(UtShellTest, EnumerationByMode) {
    auto names = [&](const std::string& path, TUtEnumerateMode mode, uint32_t extra) {
        LPITEMIDLIST folder = path.empty() ? platform::SHComputerIDList() : controller_.ParsePath(path);
        std::vector<std::string> out;
        TUtShellItemList list;
        controller_.Enumerate(folder, mode, extra, [&](TUtShellItem* item) {
            out.push_back(item->DisplayName);
            list.Add(item);
            return item->DisplayName != "refused";
        });
        ILFree(folder);
        return out;
    };
    EXPECT_EQ(names("", emTree, 0), std::vector<std::string>{"BACKUP01 (D:)"});
    EXPECT_EQ(names("D:\\dir", emTree, 0), std::vector<std::string>{"sub"});
    EXPECT_EQ(names("D:\\dir", emList, 0), (std::vector<std::string>{"a.txt", "sub"}));
    EXPECT_EQ(names("D:\\", emList, 0), std::vector<std::string>{"dir"});
    EXPECT_EQ(names("D:\\", emList, platform::SHCONTF_INCLUDEHIDDEN),
              (std::vector<std::string>{".hidden", "dir"}));
    EXPECT_EQ(names("D:\\", emCombo, platform::SHCONTF_INCLUDEHIDDEN), std::vector<std::string>{"dir"});

    TUtShellItemList list;
    list.Add(new TUtShellItem(&controller_));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(1), nullptr);
    EXPECT_EQ(list.Items(0)->OwnerList, &list);
}

TEST_F(UtShellTest, TheContextMenuOpensRenamesAndDeletesToTheTrash) {
    platform::testsupport::ScopedUserEnv env;
    framework::TFormDriver driver;
    LPITEMIDLIST folderList = controller_.ParsePath("D:\\dir");
    IShellFolder folder = controller_.BindFolder(controller_.Desktop(), folderList);
    ASSERT_TRUE(folder);
    LPITEMIDLIST file = controller_.ParsePath("D:\\dir\\a.txt");
    std::vector<LPCITEMIDLIST> items{platform::ILFindLastID(file)};
    std::vector<std::string> captions;
    const auto choose = [&](const std::string& caption) {
        driver.AnswerMenu([&captions, caption](framework::TMenuItem& menu) -> framework::TMenuItem* {
            captions.clear();
            framework::TMenuItem* found = nullptr;
            for (int i = 0; i < menu.Count(); ++i) {
                captions.push_back(menu.Items(i)->Caption);
                if (menu.Items(i)->Caption == caption) found = menu.Items(i);
            }
            return found;
        });
    };

    choose("");
    EXPECT_EQ(controller_.ShowContextMenu(nullptr, folder, 10, 10, items, CMF_EXPLORE), -1);
    EXPECT_EQ(captions, (std::vector<std::string>{"&Open", "&Delete"}));
    const uint32_t flags = TUtCustomShellController::ContextMenuFlags(true, true);
    EXPECT_EQ(flags, CMF_EXPLORE | CMF_CANRENAME);  // extended verbs only while Shift is held
    choose("Rena&me");
    EXPECT_EQ(controller_.ShowContextMenu(nullptr, folder, 10, 10, items, flags), TUtCustomShellController::cmdRename);
    EXPECT_EQ(captions, (std::vector<std::string>{"&Open", "Rena&me", "&Delete"}));
    EXPECT_TRUE(std::filesystem::exists(disk_ / "dir/a.txt"));

    choose("&Delete");
    EXPECT_EQ(controller_.ShowContextMenu(nullptr, folder, 10, 10, items, flags), TUtCustomShellController::cmdDelete);
    EXPECT_FALSE(std::filesystem::exists(disk_ / "dir/a.txt"));
    EXPECT_EQ(platform::testsupport::ReadNativeFile(platform::XdgDataHome() + "/Trash/files/a.txt"), "hello");
    ILFree(file);
    ILFree(folderList);
}

TEST(ShellNames, NetworkDisplayNamesLoseTheServerPart) {
    EXPECT_EQ(ShortNetworkName("\\\\SERVER1\\DATA", "DATA on SERVER1"), "DATA");
    EXPECT_EQ(ShortNetworkName("D:\\DATA on SERVER1", "DATA on SERVER1"), "DATA on SERVER1");
    EXPECT_EQ(ShortNetworkName("\\\\SERVER1\\DATA", "DATA"), "DATA");
}

}  // namespace
