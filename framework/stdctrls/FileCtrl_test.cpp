#include "framework/stdctrls/FileCtrl.h"

#include <gtest/gtest.h>

#include "framework/ui/testsupport/FormDriver.h"
#include "platform/testsupport/TestDrives.h"

namespace framework {
namespace {

template <class T>
std::vector<std::string> ItemsOf(T& L) {
    std::vector<std::string> r;
    for (int i = 0; i < L.Items().Count(); ++i) r.push_back(L.Items()[i]);
    return r;
}

TEST(FileCtrlTest, DriveDirectoryAndFileListsFollowEachOther) {
    platform::testsupport::TTempFolder d, e;
    d.WriteFile("DOCS/readme.txt", "x");
    d.WriteFile("DOCS/notes.TXT", "x");
    d.WriteFile("DOCS/data.db", "x");
    d.WriteFile("DOCS/OLD/a.txt", "x");
    d.MakeFolder("PICS");
    d.WriteFile("root.txt", "x");
    e.WriteFile("TOOLS/x.exe", "x");
    platform::testsupport::TScopedDrives drives("D=" + d.Path() + "|label=DATA;E=" + e.Path());
    TFormDriver driver;
    TForm* form = TCustomForm::Create<TForm>(Application);
    auto* drive = NewComponent<TDriveComboBox>(form);
    drive->SetParent(form);
    auto* dirs = NewComponent<TDirectoryListBox>(form);
    dirs->SetParent(form);
    dirs->SetBounds(0, 30, 150, 150);
    auto* files = NewComponent<TFileListBox>(form);
    files->SetParent(form);
    files->SetBounds(160, 30, 150, 150);
    auto* label = NewComponent<TLabel>(form);
    label->SetParent(form);
    drive->DirList = dirs;
    dirs->FileList = files;
    dirs->DirLabel = label;
    EXPECT_EQ(ItemsOf(*drive), (std::vector<std::string>{"d: [DATA]", "e:"}));
    form->Show();

    drive->SetDrive('d');
    EXPECT_EQ(dirs->Directory(), "D:\\");
    EXPECT_EQ(ItemsOf(*dirs), (std::vector<std::string>{"D:\\", "DOCS", "PICS"}));
    EXPECT_EQ(ItemsOf(*files), std::vector<std::string>{"root.txt"});

    // A single click selects a folder; only a double click opens it.
    TRect docs = dirs->ItemRect(1);
    driver.Click(*dirs, 5, docs.Top + 2);
    EXPECT_EQ(dirs->ItemIndex(), 1);
    EXPECT_EQ(dirs->Directory(), "D:\\");
    driver.DoubleClick(*dirs, 5, docs.Top + 2);
    EXPECT_EQ(dirs->Directory(), "D:\\DOCS");
    EXPECT_EQ(label->Caption(), "D:\\DOCS");
    EXPECT_EQ(ItemsOf(*dirs), (std::vector<std::string>{"D:\\", "DOCS", "OLD"}));
    EXPECT_EQ(dirs->ItemIndex(), 1);
    EXPECT_EQ(ItemsOf(*files), (std::vector<std::string>{"data.db", "notes.TXT", "readme.txt"}));
    files->SetMask("*.txt");
    EXPECT_EQ(ItemsOf(*files), (std::vector<std::string>{"notes.TXT", "readme.txt"}));
    files->SetItemIndex(1);
    EXPECT_EQ(files->FileName(), "D:\\DOCS\\readme.txt");

    // Enter opens the selected folder; the path items lead back up.
    dirs->SetFocus();
    driver.Key(VK_DOWN);
    driver.Key(VK_RETURN);
    EXPECT_EQ(dirs->Directory(), "D:\\DOCS\\OLD");
    EXPECT_EQ(dirs->GetItemPath(0), "D:\\");
    EXPECT_EQ(dirs->GetItemPath(1), "D:\\DOCS");

    // Choosing another drive in the combo box moves the directory to its root.
    drive->SetFocus();
    driver.Key(VK_DOWN);
    EXPECT_EQ(drive->Drive(), 'E');
    EXPECT_EQ(dirs->Directory(), "E:\\");
    EXPECT_EQ(ItemsOf(*dirs), (std::vector<std::string>{"E:\\", "TOOLS"}));
    EXPECT_TRUE(files->Items().Count() == 0);
    form->Free();
    driver.RunPending();
}

}  // namespace
}  // namespace framework
