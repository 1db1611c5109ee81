#include "sysutil/shell/UtShlViews.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/HeaderControl.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Files.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"
#include "sysutil/ShConst.h"
#include "sysutil/shell/UtShlDD.h"
#include "sysutil/shell/UtShlDrop.h"

using namespace framework;
using namespace sysutil;
using platform::testsupport::ReadNativeFile;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

namespace {

bool Exists(const std::string& native) {
    struct stat st {};
    return ::stat(native.c_str(), &st) == 0;
}

// Two drives over temporary folders: D (fixed, labelled DATA) and E (removable).
class ShellViewTest : public ::testing::Test {
protected:
    ShellViewTest() : drives_("D=" + disk_.Path() + "|label=DATA;E=" + usb_.Path() + "|type=removable") {
        TUtCustomShellListView::SortColumn = 0;
        TUtCustomShellListView::SortAscending = true;
        Form->SetClientSize(640, 400);
    }
    ~ShellViewTest() override {
        Form->Free();
        Driver.RunPending();
    }

    TUtShellTreeView* NewTree() {
        auto* tree = NewComponent<TUtShellTreeView>(Form);
        tree->SetParent(Form);
        tree->SetBounds(0, 0, 200, 400);
        return tree;
    }
    TUtShellListView* NewList() {
        auto* list = NewComponent<TUtShellListView>(Form);
        list->SetParent(Form);
        list->SetBounds(200, 0, 440, 370);
        return list;
    }
    void Show() {
        Form->Show();
        Driver.RunPending();
        Form->Repaint();
        Driver.RunPending();
    }
    // Hands the kernel's change notices of a view's watch to the view.
    void Pump(TUtShellNotification& n) {
        for (int i = 0; i < 5 && n.PollChanges(i == 0 ? 1000 : 20) > 0; ++i) {
        }
        Driver.RunPending();
    }
    static std::vector<std::string> Texts(TTreeNode* parent) {
        std::vector<std::string> texts;
        for (TTreeNode* n = parent->GetFirstChild(); n; n = n->GetNextSibling()) texts.push_back(n->Text());
        return texts;
    }
    static std::vector<std::string> Rows(TUtCustomShellListView& list) {
        std::vector<std::string> rows;
        for (int i = 0; i < list.ItemCount(); ++i) rows.push_back(list.ShellItem(i)->DisplayName);
        return rows;
    }
    static int RowOf(TUtCustomShellListView& list, const std::string& name) {
        for (int i = 0; i < list.ItemCount(); ++i)
            if (list.ShellItem(i)->DisplayName == name) return i;
        return -1;
    }
    std::string Grab(TWinControl& control, const std::string& name) {
        const std::string path = ::testing::TempDir() + name;
        EXPECT_TRUE(Driver.Grab(control, path));
        return path;
    }

    TFormDriver Driver;
    TTempFolder disk_, usb_;
    TScopedDrives drives_;
    TForm* Form = TCustomForm::Create<TForm>(Application);
};

// ---- Tree ----

TEST_F(ShellViewTest, TheTreeCompletesDriveTextsAndRaisesForFoldersItCannotShow) {
    auto* tree = NewComponent<TUtShellTreeView>(Form);
    tree->SetRootFolder("C:");
    EXPECT_EQ(tree->RootFolder(), "C:\\");
    EXPECT_EQ(tree->SpecialRootFolder(), sfNone);
    tree->SetStartInFolder("D:");
    EXPECT_EQ(tree->StartInFolder(), "D:\\");

    tree->SetParent(Form);
    try {
        Show();  // the window is made: "C:" is no drive here
        FAIL() << "no error";
    } catch (const EShInvalidFolder& e) {
        EXPECT_EQ(e.ErrorCode, 240);
        EXPECT_EQ(std::string(e.what()), "Invalid folder");
    }
    try {
        tree->SetSpecialRootFolder(sfPrinters);  // no location here
        FAIL() << "no error";
    } catch (const EShShellError& e) {
        EXPECT_EQ(e.ErrorCode, 110);
        EXPECT_EQ(std::string(e.what()), "Operation not supported in this version of the shell");
    }
    tree->ShellVersion = 4.0;
    EXPECT_THROW(tree->SetSpecialStartInFolder(sfHistory), EShShellError);
    EXPECT_NO_THROW(tree->SetSpecialStartInFolder(sfPersonal));
}

TEST_F(ShellViewTest, MyComputerListsTheDrivesAndARemovableDriveIsNotReadUntilExpanded) {
    disk_.MakeFolder("A");
    auto* tree = NewTree();
    tree->SetSpecialRootFolder(sfDrives);
    tree->SetOptions(TreeOption(toExpandTopNode));
    Show();
    TTreeNode* root = tree->Items().GetFirstNode();
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(root->Expanded());
    EXPECT_EQ(Texts(root), (std::vector<std::string>{"DATA (D:)", "Local Disk (E:)"}));
    TTreeNode* usb = root->Item(1);
    EXPECT_TRUE(usb->HasChildren());  // a button, though the drive is empty
    EXPECT_EQ(usb->Count(), 0);
    usb->Expand(false);
    EXPECT_FALSE(usb->HasChildren());
    EXPECT_FALSE(usb->Expanded());
    TTreeNode* d = root->Item(0);
    d->Expand(false);
    EXPECT_EQ(Texts(d), std::vector<std::string>{"A"});
    Grab(*Form, "shell_tree_drives.png");
}

TEST_F(ShellViewTest, TheStartFolderIsSelectedAtTheFirstPaintAndFillsTheLinkedList) {
    disk_.WriteFile("A/B/inside.txt", "x");
    disk_.MakeFolder("A/C");
    auto* tree = NewTree();
    auto* list = NewList();
    tree->SetRootFolder("D:\\");
    tree->SetStartInFolder("D:\\A\\B");
    list->SetTreeView(tree);
    std::vector<std::string> selected;
    tree->OnFolderSelected = [&](TObject*, TUtShellFolder* f) { selected.push_back(f->Path); };
    EXPECT_EQ(tree->ListView(), list);
    Form->Show();
    EXPECT_FALSE(tree->Started());
    EXPECT_EQ(list->ItemCount(), 0);  // the list waits for the tree
    Driver.RunPending();
    Form->Repaint();
    EXPECT_TRUE(tree->Started());
    ASSERT_NE(tree->SelectedFolder(), nullptr);
    EXPECT_EQ(tree->SelectedFolder()->Path, "D:\\A\\B");
    EXPECT_EQ(selected, std::vector<std::string>{"D:\\A\\B"});
    EXPECT_EQ(Rows(*list), std::vector<std::string>{"inside.txt"});
    EXPECT_EQ(tree->Controller(), list->Controller());
    // Selecting another folder in the tree fills the list with it.
    TTreeNode* c = tree->Selected()->Parent()->Item(1);
    ASSERT_EQ(c->Text(), "C");
    tree->SetSelected(c);
    EXPECT_EQ(list->CurrentFolder()->Path, "D:\\A\\C");
    EXPECT_EQ(list->ItemCount(), 0);
}

// A data object carrying the given paths as the file-drop list.
std::shared_ptr<TUtDataObject> DataFor(TUtCustomShellController& controller,
                                       const std::vector<std::string>& paths,
                                       std::vector<LPITEMIDLIST>& keep) {
    std::vector<LPCITEMIDLIST> relatives;
    for (const auto& path : paths) {
        keep.push_back(controller.ParsePath(path));
        keep.push_back(ILCloneFirst(ILFindLastID(keep.back())));
        relatives.push_back(keep.back());
    }
    return std::make_shared<TUtDataObject>(relatives, keep[0]);
}

TEST_F(ShellViewTest, ADragHoveringACollapsedFolderExpandsItAfterTheInterval) {
    disk_.WriteFile("A/B/x.txt", "x");
    disk_.WriteFile("moved.txt", "m");
    auto* tree = NewTree();
    tree->SetRootFolder("D:\\");
    Show();
    TTreeNode* a = tree->Items().GetFirstNode()->GetFirstChild();
    ASSERT_EQ(a->Text(), "A");
    ASSERT_FALSE(a->Expanded());
    std::vector<LPITEMIDLIST> keep;
    auto data = DataFor(*tree->Controller(), {"D:\\moved.txt"}, keep);
    const TRect r = a->DisplayRect(true);
    const TPoint pt{r.Left + 3, r.Top + 3};
    uint32_t effect = platform::DROPEFFECT_COPY | platform::DROPEFFECT_MOVE;
    tree->ViewDropTarget()->DragEnter(data.get(), 0, pt, effect);
    EXPECT_EQ(effect, platform::DROPEFFECT_MOVE);
    EXPECT_EQ(tree->DropTarget(), a);
    Driver.Advance(1999);
    EXPECT_FALSE(a->Expanded());
    Driver.Advance(1);
    EXPECT_TRUE(a->Expanded());
    // Dropping there moves the file into the folder.
    effect = platform::DROPEFFECT_COPY | platform::DROPEFFECT_MOVE;
    tree->ViewDropTarget()->Drop(data.get(), 0, pt, effect);
    EXPECT_EQ(effect, platform::DROPEFFECT_MOVE);
    EXPECT_TRUE(Exists(disk_ / "A/moved.txt"));
    EXPECT_FALSE(Exists(disk_ / "moved.txt"));
    EXPECT_EQ(tree->DropTarget(), nullptr);
    for (LPITEMIDLIST l : keep) ILFree(l);
    // With no interval a hover never expands.
    tree->ExpandInterval = 0;
    TTreeNode* b = a->GetFirstChild();
    effect = platform::DROPEFFECT_COPY;
    std::vector<LPITEMIDLIST> keep2;
    auto data2 = DataFor(*tree->Controller(), {"D:\\A\\B\\x.txt"}, keep2);
    tree->ViewDropTarget()->DragEnter(data2.get(), 0,
                                      {b->DisplayRect(true).Left + 2, b->DisplayRect(true).Top + 2}, effect);
    Driver.Advance(5000);
    EXPECT_FALSE(b->Expanded());
    tree->ViewDropTarget()->DragLeave();
    for (LPITEMIDLIST l : keep2) ILFree(l);
}

TEST_F(ShellViewTest, FoldersMadeOrRemovedOnDiskComeAndGoUnderTheirLoadedParent) {
    disk_.MakeFolder("A");
    disk_.MakeFolder("Z");
    auto* tree = NewTree();
    tree->SetRootFolder("D:\\");
    Show();
    TTreeNode* root = tree->Items().GetFirstNode();
    ASSERT_TRUE(root->Expanded());
    disk_.MakeFolder("M");
    Pump(tree->ShellNotification());
    EXPECT_EQ(Texts(root), (std::vector<std::string>{"A", "M", "Z"}));
    tree->SetSelected(root->Item(1));
    ::rmdir((disk_ / "M").c_str());
    Pump(tree->ShellNotification());
    EXPECT_EQ(Texts(root), (std::vector<std::string>{"A", "Z"}));
    ASSERT_NE(tree->Selected(), nullptr);
    EXPECT_EQ(tree->Selected()->Text(), "Z");
}

TEST_F(ShellViewTest, RenamingATreeFolderRenamesItOnDiskAndSelectsItsNewNode) {
    disk_.WriteFile("Old/Sub/f.txt", "x");
    disk_.MakeFolder("Other");
    auto* tree = NewTree();
    tree->SetRootFolder("D:\\");
    Show();
    TTreeNode* old = tree->Items().GetFirstNode()->GetFirstChild();
    ASSERT_EQ(old->Text(), "Old");
    old->Expand(false);
    tree->SetSelected(old);
    ASSERT_TRUE(old->EditText());
    Driver.Type("New");
    Driver.Key(VK_RETURN);
    Driver.RunPending();
    EXPECT_TRUE(Exists(disk_ / "New/Sub/f.txt"));
    ASSERT_NE(tree->Selected(), nullptr);
    EXPECT_EQ(tree->Selected()->Text(), "New");
    EXPECT_EQ(tree->SelectedFolder()->Path, "D:\\New");
    EXPECT_EQ(Texts(tree->Items().GetFirstNode()), (std::vector<std::string>{"New", "Other"}));
}

// ---- List ----

TEST_F(ShellViewTest, TheMaskFilterKeepsFoldersAndMatchingFilesInAnyCase) {
    disk_.MakeFolder("SUB");
    disk_.WriteFile("OLD.DTA", "a");
    disk_.WriteFile("old.dta", "b");
    disk_.WriteFile("OLD.SUM", "c");
    auto* list = NewList();
    list->SetFiltered(true);
    list->SetFileFilter("*.DTA");
    Show();
    list->SetRootFolder("D:");
    EXPECT_EQ(list->RootFolder(), "D:\\");
    EXPECT_EQ(Rows(*list), (std::vector<std::string>{"SUB", "OLD.DTA", "old.dta"}));
    list->SetFiltered(false);
    EXPECT_EQ(list->ItemCount(), 4);
    // A handler filters in place of the masks.
    list->SetFiltered(true);
    list->OnFilterItem = [](TObject*, TUtShellItem* item, bool& accept) { accept = item->IsFolder; };
    list->Refill();
    EXPECT_EQ(Rows(*list), std::vector<std::string>{"SUB"});
    EXPECT_THROW(list->SetRootFolder("D:\\missing"), EShInvalidFolder);
    EXPECT_EQ(list->RootFolder(), "");
}

TEST_F(ShellViewTest, DetailsShowKilobytesTypesAndSortBySizeBothWays) {
    disk_.WriteFile("one.dta", "x");
    disk_.WriteFile("empty", "");
    disk_.WriteFile("mid.lnk", std::string(1536, 'm'));
    const std::string big = disk_ / "big.bin";
    ASSERT_EQ(::truncate(disk_.WriteFile("big.bin", "").c_str(), 5LL << 30), 0);
    disk_.MakeFolder("Folder");
    auto* list = NewList();
    list->SetRootFolder("D:\\");
    Show();
    list->SetViewStyle(vsReport);
    ASSERT_EQ(list->Columns().Count(), 5);
    std::vector<std::string> captions;
    for (int i = 0; i < 5; ++i)
        captions.push_back(list->Columns()[i]->Caption() + " " + std::to_string(list->Columns()[i]->Width()));
    EXPECT_EQ(captions,
              (std::vector<std::string>{"Name 175", "Size 75", "Type 125", "Modified 125", "Attributes 60"}));
    EXPECT_EQ(list->Columns()[1]->Alignment(), taRightJustify);
    auto details = [&](const std::string& name) {
        TUtShellItem* item = list->ShellItem(RowOf(*list, name));
        return item->Details[0] + "|" + item->Details[1];
    };
    EXPECT_EQ(details("one.dta"), "1KB|DTA File");
    EXPECT_EQ(details("empty"), "0KB|File");
    EXPECT_EQ(details("mid.lnk"), "1KB|Shortcut");
    EXPECT_EQ(list->ShellItem(RowOf(*list, "big.bin"))->Details[0], "5,242,880KB");
    EXPECT_EQ(details("Folder"), "|File Folder");

    THeaderControl& header = list->Header();
    Driver.Click(header, 175 + 30, 5);  // "Size"
    EXPECT_EQ(Rows(*list), (std::vector<std::string>{"Folder", "empty", "one.dta", "mid.lnk", "big.bin"}));
    Driver.Click(header, 175 + 30, 5);
    EXPECT_EQ(Rows(*list), (std::vector<std::string>{"big.bin", "mid.lnk", "one.dta", "empty", "Folder"}));
    Grab(*list, "shell_list_details.png");
    // Leaving the details puts the direction back.
    list->SetViewStyle(vsList);
    EXPECT_TRUE(TUtCustomShellListView::SortAscending);
}

TEST_F(ShellViewTest, TheViewStyleMenuSwitchesAndChecksItsItem) {
    disk_.MakeFolder("Folder");
    disk_.WriteFile("a.txt", "a");
    disk_.WriteFile("b.dta", "b");
    auto* list = NewList();
    list->SetRootFolder("D:\\");
    Show();
    TMenuItem* items = list->ViewMenu()->Items();
    ASSERT_EQ(items->Count(), 4);
    const char* captions[] = {"Lar&ge Icons", "S&mall Icons", "&List", "&Details"};
    const TViewStyle styles[] = {vsIcon, vsSmallIcon, vsList, vsReport};
    for (int i : {3, 1, 2, 0}) {
        EXPECT_EQ(items->Items(i)->Caption, captions[i]);
        items->Items(i)->Click();
        EXPECT_EQ(list->ViewStyle(), styles[i]);
        for (int j = 0; j < 4; ++j) EXPECT_EQ(items->Items(j)->Checked, i == j) << i << " " << j;
        Driver.RunPending();
        Grab(*list, std::string("shell_list_style") + std::to_string(i) + ".png");
    }
}

TEST_F(ShellViewTest, DoubleClickBrowsesIntoAFolderAndOpensAFileWithItsProgram) {
    disk_.WriteFile("Folder/inner.txt", "i");
    disk_.WriteFile("doc.txt", "d");
    TTempFolder bin;
    const std::string out = bin / "out.txt";
    bin.WriteFile("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + out + "\"\n");
    ::chmod((bin / "xdg-open").c_str(), 0755);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (bin.Path() + ":" + oldPath).c_str(), 1);
    auto* list = NewList();
    list->SetViewStyle(vsReport);
    list->SetRootFolder("D:\\");
    std::vector<std::string> asked;
    list->OnItemDblClick = [&](TObject*, TUtShellItem* item, bool&) { asked.push_back(item->DisplayName); };
    Show();
    const int doc = RowOf(*list, "doc.txt");
    TRect r = list->ItemRect(doc, true);
    Driver.DoubleClick(*list, r.Left + 4, r.Top + 3);
    for (int i = 0; i < 500 && ReadNativeFile(out).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadNativeFile(out), disk_ / "doc.txt\n");
    r = list->ItemRect(RowOf(*list, "Folder"), true);
    Driver.DoubleClick(*list, r.Left + 4, r.Top + 3);
    EXPECT_EQ(list->CurrentFolder()->Path, "D:\\Folder");
    EXPECT_EQ(Rows(*list), std::vector<std::string>{"inner.txt"});
    EXPECT_EQ(asked, (std::vector<std::string>{"doc.txt", "Folder"}));
    ::setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(ShellViewTest, RenamingARowRenamesTheFileAndUpdatesItsPath) {
    disk_.WriteFile("before.txt", "x");
    auto* list = NewList();
    list->SetViewStyle(vsReport);
    list->SetRootFolder("D:\\");
    Show();
    list->SetFocus();
    list->SetItemIndex(0);
    list->SetItemSelected(0, true);
    ASSERT_TRUE(list->ItemFocused()->EditCaption());
    Driver.Type("after.txt");
    Driver.Key(VK_RETURN);
    EXPECT_TRUE(Exists(disk_ / "after.txt"));
    EXPECT_FALSE(Exists(disk_ / "before.txt"));
    EXPECT_EQ(list->ShellItem(0)->Path, "D:\\after.txt");
    EXPECT_EQ(list->ShellItem(0)->DisplayName, "after.txt");
    // Without the option nothing is edited.
    list->SetOptions(0);
    EXPECT_FALSE(list->ItemFocused()->EditCaption());
}

TEST_F(ShellViewTest, ANewFileAppearsWithTheFocusedRowKeptAndHiddenFilesShowOnlyWhenAsked) {
    disk_.WriteFile("b.txt", "b");
    disk_.WriteFile("d.txt", "d");
    disk_.WriteFile(".secret", "s");
    auto* list = NewList();
    list->SetViewStyle(vsReport);
    list->SetRootFolder("D:\\");
    Show();
    EXPECT_EQ(Rows(*list), (std::vector<std::string>{"b.txt", "d.txt"}));
    list->SetItemIndex(1);
    disk_.WriteFile("a.txt", "a");
    Pump(list->ShellNotification());
    EXPECT_EQ(Rows(*list), (std::vector<std::string>{"a.txt", "b.txt", "d.txt"}));
    EXPECT_EQ(list->ShellItem(list->ItemIndex())->DisplayName, "d.txt");

    list->SetOptions(list->Options() | ListOption(loShowHidden));
    const int secret = RowOf(*list, ".secret");
    ASSERT_GE(secret, 0);
    EXPECT_TRUE(list->Items()[secret]->Cut);
    EXPECT_FALSE(list->Items()[RowOf(*list, "a.txt")]->Cut);
}

// ---- Linking ----

TEST_F(ShellViewTest, TheComboBoxListsTheDrivesAndInsertsThePathOfTheFolderShown) {
    disk_.MakeFolder("A/B");
    auto* list = NewList();
    auto* combo = NewComponent<TUtCustomShellComboBox>(Form);
    combo->SetParent(Form);
    combo->SetBounds(0, 375, 300, 24);
    combo->SetListView(list);
    EXPECT_EQ(combo->Controller(), list->Controller());
    Show();
    auto entries = [&] {
        std::vector<std::string> e;
        for (int i = 0; i < combo->Folders().Count(); ++i)
            e.push_back(std::to_string(combo->Folder(i)->Level) + " " + combo->Folder(i)->DisplayName);
        return e;
    };
    const std::vector<std::string> base = entries();
    ASSERT_GE(base.size(), 3u);
    EXPECT_EQ(base[0].substr(0, 2), "0 ");
    const auto d = std::find(base.begin(), base.end(), "2 DATA (D:)");
    ASSERT_NE(d, base.end());
    EXPECT_EQ(*(d + 1), "2 Local Disk (E:)");
    EXPECT_EQ(*(d - 1), "1 My Computer");

    list->SetRootFolder("D:\\A\\B");
    std::vector<std::string> expected(base.begin(), d + 1);
    expected.push_back("3 A");
    expected.push_back("4 B");
    expected.insert(expected.end(), d + 1, base.end());
    EXPECT_EQ(entries(), expected);
    EXPECT_EQ(combo->Folder(combo->ItemIndex())->Path, "D:\\A\\B");
    Grab(*Form, "shell_combo.png");
    combo->SetDroppedDown(true);
    Driver.RunPending();
    Driver.GrabScreen(Rect(0, 0, 700, 700), ::testing::TempDir() + "shell_combo_down.png");
    combo->SetDroppedDown(false);

    // Choosing the drive browses the list there; the inserted path goes again.
    const int drive = static_cast<int>(d - base.begin());
    combo->SetItemIndex(drive);
    Driver.KeyTo(*combo, VK_RETURN);
    EXPECT_EQ(list->CurrentFolder()->Path, "D:\\");
    EXPECT_EQ(Rows(*list), std::vector<std::string>{"A"});
    EXPECT_EQ(entries(), base);
}

TEST_F(ShellViewTest, DrivesReportedWhileTheComboIsDownAreTakenInWhenItClosesUp) {
    auto* combo = NewComponent<TUtCustomShellComboBox>(Form);
    combo->SetParent(Form);
    combo->SetBounds(0, 375, 300, 24);
    Show();
    auto hasF = [&] {
        for (int i = 0; i < combo->Folders().Count(); ++i)
            if (combo->Folder(i)->Path == "F:\\") return true;
        return false;
    };
    combo->SetDroppedDown(true);
    TTempFolder more;
    {
        TScopedDrives added("D=" + disk_.Path() + "|label=DATA;E=" + usb_.Path() +
                            "|type=removable;F=" + more.Path());
        combo->ShellNotification().PollChanges(0);
        Driver.RunPending();
        EXPECT_FALSE(hasF());
        combo->SetDroppedDown(false);
        Driver.RunPending();
        EXPECT_TRUE(hasF());
    }
}

TEST_F(ShellViewTest, TheItemsMenuRenamesTheSelectedRow) {
    disk_.WriteFile("a.txt", "a");
    auto* list = NewList();
    list->SetViewStyle(vsReport);
    list->SetRootFolder("D:\\");
    Show();
    list->SetFocus();
    list->SetItemIndex(0);
    list->SetItemSelected(0, true);
    std::vector<std::string> offered;
    Driver.AnswerMenu([&](TMenuItem& items) -> TMenuItem* {
        TMenuItem* rename = nullptr;
        for (int i = 0; i < items.Count(); ++i) {
            offered.push_back(items.Items(i)->Caption);
            if (items.Items(i)->Caption == "Rena&me") rename = items.Items(i);
        }
        return rename;
    });
    const TRect r = list->ItemRect(0, true);
    Driver.Click(*list, r.Left + 4, r.Top + 3, TMouseButton::mbRight);
    EXPECT_EQ(offered, (std::vector<std::string>{"&Open", "Rena&me", "&Delete"}));
    EXPECT_TRUE(list->IsEditing());
}

TEST_F(ShellViewTest, TheTrashShowsItsOwnColumnsFromItsInfoRecords) {
    platform::testsupport::ScopedUserEnv env;
    // The trash lies on a drive (the namespace shows only what the drives hold).
    const std::string trash = disk_ / "data/Trash";
    env.Set("XDG_DATA_HOME", disk_ / "data");
    platform::testsupport::WriteTextFile(trash + "/files/gone.txt", "g");
    platform::testsupport::WriteTextFile(
        trash + "/info/gone.txt.trashinfo",
        "[Trash Info]\nPath=/home/u/gone%20now.txt\nDeletionDate=2026-01-02T03:04:05\n");
    auto* list = NewList();
    list->SetSpecialRootFolder(sfBitBucket);
    Show();
    list->SetViewStyle(vsReport);
    std::vector<std::string> captions;
    for (int i = 0; i < list->Columns().Count(); ++i)
        captions.push_back(list->Columns()[i]->Caption() + " " + std::to_string(list->Columns()[i]->Width()));
    EXPECT_EQ(captions, (std::vector<std::string>{"Name 125", "Original Location 125", "Date Deleted 100",
                                                  "Type 125", "Size 60"}));
    ASSERT_EQ(Rows(*list), std::vector<std::string>{"gone.txt"});
    TUtShellItem* item = list->ShellItem(0);
    ASSERT_EQ(item->Details.Count(), 4);
    EXPECT_EQ(item->Details[0], "/home/u/gone now.txt");
    EXPECT_EQ(item->Details[1], "2026-01-02T03:04:05");
    EXPECT_EQ(item->Details[3], "1");
}

TEST_F(ShellViewTest, BrowsingTheListMovesTheTreeAndTheTreeStillFillsTheListAfterwards) {
    disk_.WriteFile("A/inner.txt", "i");
    auto* tree = NewTree();
    auto* list = NewList();
    list->SetViewStyle(vsReport);
    tree->SetRootFolder("D:\\");
    tree->SetListView(list);
    int fills = 0;
    list->OnListFilled = [&](TObject*) { ++fills; };
    Show();
    EXPECT_EQ(list->CurrentFolder()->Path, "D:\\");  // no start folder: the list shows the root
    fills = 0;
    const TRect r = list->ItemRect(RowOf(*list, "A"), true);
    Driver.DoubleClick(*list, r.Left + 4, r.Top + 3);
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(tree->SelectedFolder()->Path, "D:\\A");
    tree->SetSelected(tree->Items().GetFirstNode());
    EXPECT_EQ(list->CurrentFolder()->Path, "D:\\");
    EXPECT_EQ(Rows(*list), std::vector<std::string>{"A"});
}

// ---- Drag-and-drop ----

TEST_F(ShellViewTest, TheDragLabelCountsFilesAndFoldersOnMagenta) {
    for (const char* f : {"a.txt", "b.txt"}) disk_.WriteFile(f, "x");
    for (const char* f : {"F1", "F2", "F3"}) disk_.MakeFolder(f);
    auto* list = NewList();
    list->SetViewStyle(vsReport);
    list->SetRootFolder("D:\\");
    Show();
    list->SelectAll();
    EXPECT_EQ(list->DragLabel(), "2 files, 3 folders");
    std::unique_ptr<TBitmap> image = list->DragImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Height(), 16);
    int magenta = 0;
    for (int y = 0; y < image->Height(); ++y)
        for (int x = 0; x < image->Width(); ++x) magenta += image->Canvas().Pixel(x, y) == 0xFF00FF;
    EXPECT_GT(magenta, image->Width() * image->Height() / 3);
    image->SaveToFile("D:\\drag.bmp");
    platform::testsupport::WriteTextFile(::testing::TempDir() + "shell_drag_label.bmp",
                                         ReadNativeFile(disk_ / "drag.bmp"));
    list->ClearSelection();
    list->SetItemSelected(RowOf(*list, "a.txt"), true);
    list->SetItemSelected(RowOf(*list, "F2"), true);
    EXPECT_EQ(list->DragLabel(), "1 file, 1 folder");
    list->ClearSelection();
    list->SetItemSelected(RowOf(*list, "F2"), true);
    EXPECT_EQ(list->DragLabel(), "1 folder");
    EXPECT_EQ(list->DragImage(), nullptr);
}

TEST_F(ShellViewTest, DraggingRowsOntoAFolderMovesThemAndTheListRefusesItsOwnFolder) {
    disk_.WriteFile("a.txt", "a");
    disk_.MakeFolder("Sub");
    disk_.MakeFolder("Target");
    auto* list = NewList();
    list->SetViewStyle(vsReport);
    list->SetRootFolder("D:\\");
    Show();
    list->SetFocus();
    const int a = RowOf(*list, "a.txt");
    list->SetItemSelected(a, true);
    list->SetItemSelected(RowOf(*list, "Sub"), true);
    const TRect from = list->ItemRect(a, true);
    const TRect to = list->ItemRect(RowOf(*list, "Target"), true);
    // Over no item (the list's own folder) the drop is refused.
    Driver.DragOver(*list, 50, 300);
    Driver.DragDrop(*list, 50, 300);
    Driver.DragStart(*list, from.Left + 4, from.Top + 3);
    Driver.RunPending();
    EXPECT_TRUE(Exists(disk_ / "a.txt"));
    list->SetItemSelected(a, true);
    list->SetItemSelected(RowOf(*list, "Sub"), true);
    Driver.DragOver(*list, to.Left + 4, to.Top + 3);
    Driver.DragDrop(*list, to.Left + 4, to.Top + 3);
    Driver.DragStart(*list, from.Left + 4, from.Top + 3);
    Driver.RunPending();
    EXPECT_TRUE(Exists(disk_ / "Target/a.txt"));
    EXPECT_TRUE(Exists(disk_ / "Target/Sub"));
    EXPECT_FALSE(Exists(disk_ / "a.txt"));
    EXPECT_EQ(list->DropTarget(), -1);
}

TEST(FolderDrop, MovesOnTheSameDriveCopiesAcrossDrivesAndWithCtrl) {
    TTempFolder d, e;
    TScopedDrives drives("D=" + d.Path() + ";E=" + e.Path());
    d.WriteFile("Tree/x/y.txt", "y");
    d.WriteFile("f.txt", "f");
    d.MakeFolder("In");
    using platform::DROPEFFECT_COPY;
    using platform::DROPEFFECT_MOVE;
    using platform::DROPEFFECT_NONE;
    const uint32_t both = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    struct Case {
        std::vector<std::string> paths;
        std::string folder;
        uint32_t keys, allowed, effect;
    } cases[] = {
        {{"D:\\f.txt"}, "D:\\In", 0, both, DROPEFFECT_MOVE},
        {{"D:\\f.txt"}, "D:\\In", MK_CONTROL, both, DROPEFFECT_COPY},
        {{"D:\\f.txt"}, "E:\\", 0, both, DROPEFFECT_COPY},
        {{"D:\\f.txt"}, "E:\\", 0, DROPEFFECT_MOVE, DROPEFFECT_MOVE},
        {{"D:\\f.txt"}, "D:\\", 0, both, DROPEFFECT_NONE},        // already there
        {{"D:\\Tree"}, "D:\\Tree\\x", 0, both, DROPEFFECT_NONE},  // into itself
        {{"D:\\f.txt"}, "D:\\f.txt", 0, both, DROPEFFECT_NONE},   // not a folder
        {{"D:\\f.txt"}, "D:\\missing", 0, both, DROPEFFECT_NONE},
        {{}, "D:\\In", 0, both, DROPEFFECT_NONE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FolderDropEffect(c.paths, c.folder, c.keys, c.allowed), c.effect) << c.folder;

    EXPECT_TRUE(TransferToFolder({"D:\\Tree"}, "E:\\", false));
    EXPECT_EQ(ReadNativeFile(e / "Tree/x/y.txt"), "y");
    EXPECT_TRUE(Exists(d / "Tree/x/y.txt"));
    EXPECT_TRUE(TransferToFolder({"D:\\f.txt"}, "D:\\In", true));
    EXPECT_TRUE(Exists(d / "In/f.txt"));
    EXPECT_FALSE(Exists(d / "f.txt"));
    // A name already taken in the folder is left alone.
    d.WriteFile("f.txt", "new");
    EXPECT_FALSE(TransferToFolder({"D:\\f.txt"}, "D:\\In", true));
    EXPECT_EQ(ReadNativeFile(d / "f.txt"), "new");
    EXPECT_EQ(ReadNativeFile(d / "In/f.txt"), "f");
}

// ---- The two windows' configurations ----

TEST_F(ShellViewTest, TheConversionAndOffloadConfigurationsWork) {
    disk_.WriteFile("Cat/OLD.DTA", "a");
    disk_.WriteFile("Cat/notes.txt", "n");
    // Conversion: drives in the tree, "*.DTA" files in large icons.
    auto* tree = NewTree();
    tree->SetSpecialRootFolder(sfDrives);
    tree->SetOptions(TreeOption(toExpandTopNode));
    tree->ExpandInterval = 2000;
    tree->SetCompressedColor(clBlue);
    tree->SetShowRoot(false);
    auto* list = NewList();
    list->SetFiltered(true);
    list->SetFileFilter("*.DTA");
    list->Optimization = otEnumerate;
    list->SetOptions(0);
    list->SetViewStyle(vsIcon);
    list->SetTreeView(tree);
    Show();
    TTreeNode* d = tree->Items().GetFirstNode()->GetFirstChild();
    d->Expand(false);
    tree->SetSelected(d->GetFirstChild());
    EXPECT_EQ(Rows(*list), std::vector<std::string>{"OLD.DTA"});
    list->SetItemIndex(0);
    list->SetItemSelected(0, true);
    ASSERT_NE(list->CurrentItem(), nullptr);
    EXPECT_EQ(list->CurrentItem()->Path, "D:\\Cat\\OLD.DTA");
    Grab(*Form, "shell_conversion.png");
    Form->Free();
    Form = TCustomForm::Create<TForm>(Application);
    Form->SetClientSize(640, 400);

    // Offload: the target drive's tree and a list with every option the tool uses.
    auto* tree2 = NewTree();
    tree2->SetOptions(TreeOption(toExpandTopNode) | TreeOption(toShowHidden));
    tree2->SetRootFolder("D:\\");
    tree2->SetStartInFolder("D:\\");
    auto* list2 = NewList();
    list2->SetOptions(ListOption(loAllowRename) | ListOption(loAllowDrag) | ListOption(loAllowDrop) |
                      ListOption(loShellMenu) | ListOption(loShowHidden));
    list2->SetTreeView(tree2);
    Show();
    EXPECT_EQ(tree2->SelectedFolder()->Path, "D:\\");
    EXPECT_EQ(Rows(*list2), std::vector<std::string>{"Cat"});
    Grab(*Form, "shell_offload.png");
}

}  // namespace
