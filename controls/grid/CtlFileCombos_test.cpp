// The combo boxes filled from the system: drives with their labels and network names, the folder
// chain with its sub-folders, the files of a folder, and the printers.
#include "controls/grid/CtlFileCombos.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/entry/CtlBase.h"
#include "framework/graphics/Gdi.h"
#include "framework/print/Printers.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Paths.h"
#include "platform/Volume.h"
#include "platform/testsupport/TestDrives.h"

namespace grid {
namespace {

using namespace framework;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

class FileCombosTest : public ::testing::Test {
protected:
    FileCombosTest()
        : Drives("A=" + Tmp / "a" + ";B=" + Tmp / "b" + ";C=" + Tmp / "c" + ";D=" + Tmp / "d" +
                 "|label=MYDISK;E=" + Tmp / "missing" + ";N=" + Tmp / "n") {}
    void SetUp() override {
        for (const char* f :
             {"a", "b", "c", "n", "d/Top/Mid/Leaf", "d/Top/Mid/alpha", "d/Top/Mid/Beta", "d/Top/Other"})
            Tmp.MakeFolder(f);
        Tmp.WriteFile("d/files/b.txt", "b");
        Tmp.WriteFile("d/files/A.txt", "a");
        Tmp.WriteFile("d/files/.hidden", "h");
        Tmp.MakeFolder("d/files/dir");
        platform::SetCurrentDirectory("C:\\");
        Saved = CtlSetDriveQueries({
            [this](const std::string& Local, std::string& Remote) {
                RemoteQueries.push_back(Local);
                if (Local == "N:") {
                    Remote = "//srv/share";
                    return true;
                }
                return platform::WNetGetConnection(Local, Remote) == 0;
            },
            [this](const std::string& Root, std::string& Label) {
                VolumeQueries.push_back(Root);
                return platform::GetVolumeInformation(Root, &Label, nullptr, nullptr, nullptr, nullptr);
            },
        });
        Form->SetBounds(40, 40, 320, 300);
        Form->Show();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
        CtlSetDriveQueries(Saved);
        entry::CtlFreeDefaultController();
    }
    template <class T>
    T* Add(int Top) {
        T* c = NewComponent<T>(Form);
        c->SetBounds(10, Top, 200, 21);
        c->SetParent(Form);
        return c;
    }
    static std::vector<std::string> Texts(TCustomComboBox& C) {
        std::vector<std::string> r;
        for (int i = 0; i < C.Items().Count(); ++i) r.push_back(C.Items()[i]);
        return r;
    }
    TTempFolder Tmp;
    TScopedDrives Drives;
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlDriveQueries Saved;
    std::vector<std::string> RemoteQueries, VolumeQueries;
};

TEST_F(FileCombosTest, DrivesWithLabelsAndNetworkNames) {
    auto* drives = Add<TCtlDriveComboBox>(10);
    EXPECT_EQ(drives->Drive(), 'C') << "the current folder's drive";
    EXPECT_EQ(drives->Style(), ocsDropDownList);
    EXPECT_FALSE(drives->AutoSearch);
    drives->SetFirstScannedDrive('c');
    EXPECT_EQ(drives->FirstScannedDrive(), 'C');
    EXPECT_EQ(Texts(*drives),
              (std::vector<std::string>{"A:", "B:", "C:", "D: [MYDISK]", "E:", "N: \\\\srv\\share"}));
    EXPECT_EQ(drives->ItemIndex(), 2);
    for (const auto& q : RemoteQueries) EXPECT_TRUE(q != "A:" && q != "B:") << q;
    EXPECT_EQ(VolumeQueries, (std::vector<std::string>{"C:\\", "D:\\", "E:\\"}))
        << "drives before the first scanned one are not touched; a network drive needs no label";
    drives->SetFirstScannedDrive('7');
    EXPECT_EQ(drives->FirstScannedDrive(), 'A');
    EXPECT_EQ(Texts(*drives)[0], "A:");
}

TEST_F(FileCombosTest, SetDriveLeadsTheFolderComboBox) {
    auto* drives = Add<TCtlDriveComboBox>(10);
    auto* folders = Add<TCtlDirectoryComboBox>(60);
    folders->SetDirectory("C:\\");
    drives->SetDirectoryComboBox(folders);
    int changes = 0;
    drives->OnSelectionChange = [&changes](TObject*) { ++changes; };
    drives->Fill();

    drives->SetDrive('C');
    EXPECT_EQ(changes, 0) << "the current drive: nothing happens";
    drives->SetDrive('d');
    EXPECT_EQ(drives->Drive(), 'D');
    EXPECT_EQ(drives->Text(), "D: [MYDISK]");
    EXPECT_EQ(folders->Drive(), 'D');
    EXPECT_EQ(folders->Directory(), "D:\\") << "the folder lay on another drive";
    EXPECT_EQ(changes, 1);

    drives->SetDrive(0);
    EXPECT_EQ(drives->ItemIndex(), -1);
    EXPECT_EQ(drives->Drive(), 0);
    EXPECT_EQ(folders->Drive(), 'D') << "the folder combo box is left alone";

    // A drive that goes away unlinks itself.
    folders->Free();
    EXPECT_EQ(drives->DirectoryComboBox(), nullptr);
}

TEST_F(FileCombosTest, FolderChainAndSubFolders) {
    auto* folders = Add<TCtlDirectoryComboBox>(10);
    EXPECT_EQ(folders->ItemHeight(), 16);
    folders->SetDirectory("D:\\Top\\Mid");
    EXPECT_EQ(Texts(*folders),
              (std::vector<std::string>{"D:\\", "D:\\Top", "D:\\Top\\Mid", "D:\\Top\\Mid\\alpha",
                                        "D:\\Top\\Mid\\Beta", "D:\\Top\\Mid\\Leaf"}));
    EXPECT_EQ(folders->ItemIndex(), 2) << "the folder itself";
    EXPECT_EQ(folders->Levels(), 3);
    EXPECT_EQ(folders->Perform(CB_GETITEMDATA, 0, 0), 65);
    EXPECT_EQ(folders->Perform(CB_GETITEMDATA, 2, 0), 67);
    EXPECT_EQ(folders->Perform(CB_GETITEMDATA, 3, 0) & 0x10, 0x10);

    // The glyphs: open folders indented by level, closed ones below the deepest level.
    folders->Perform(CB_SHOWDROPDOWN, 1, 0);
    Driver.RunPending();
    TWinControl* list = folders->ListWindow();
    ASSERT_NE(list, nullptr);
    Driver.GrabScreen(TRect{40, 40, 360, 340}, ::testing::TempDir() + "folder_combo.png");
    const int half = folders->ItemHeight() / 2;
    for (int i : {0, 1, 2, 3}) {
        const int indent = i < 3 ? half * i + 1 : half * 3 + 1;
        SCOPED_TRACE(i);
        EXPECT_EQ(Driver.PixelAt(*list, 1 + indent + 2, 1 + 16 * i + 2), 0u) << "the glyph's top edge";
        EXPECT_NE(Driver.PixelAt(*list, 1 + indent - 1, 1 + 16 * i + 5), 0u) << "nothing left of it";
    }
    // Closing the list on the folder itself is a choice: it joins the MRU area.
    folders->Perform(CB_SHOWDROPDOWN, 0, 0);
    EXPECT_EQ(folders->MRUList().Count(), 1);
    EXPECT_EQ(folders->Items().Count(), 7);

    // A search that fails leaves the list as it is.
    folders->SetDirectory("D:\\NoSuchFolder");
    EXPECT_EQ(folders->Items().Count(), 7);
    // "." is the current folder.
    platform::SetCurrentDirectory("D:\\Top");
    folders->SetDirectory(".");
    EXPECT_EQ(folders->Directory(), "D:\\Top\\");
    EXPECT_EQ(Texts(*folders), (std::vector<std::string>{"D:\\Top\\Mid", "D:\\", "D:\\Top", "D:\\Top\\Mid",
                                                         "D:\\Top\\Other"}));

    // Choosing a folder moves there and takes the linked file combo box along.
    auto* files = Add<TCtlFileComboBox>(60);
    folders->SetFileComboBox(files);
    folders->Perform(CB_SHOWDROPDOWN, 1, 0);
    folders->SetItemIndex(1);
    folders->Perform(CB_SHOWDROPDOWN, 0, 0);
    EXPECT_EQ(files->Directory(), "D:\\");
    EXPECT_EQ(Texts(*folders),
              (std::vector<std::string>{"D:\\", "D:\\Top\\Mid", "D:\\", "D:\\files", "D:\\Top"}));
    EXPECT_EQ(folders->ItemIndex(), 2) << "the root in the chain";
    files->Free();
    EXPECT_EQ(folders->FileComboBox(), nullptr);
}

TEST_F(FileCombosTest, FilesByAttributesSortedWithoutRegardToCase) {
    auto* files = Add<TCtlFileComboBox>(10);
    EXPECT_EQ(files->Directory(), ".");
    files->SetDirectory("D:\\files");
    EXPECT_EQ(Texts(*files), (std::vector<std::string>{".hidden", "A.txt", "b.txt"}))
        << "any file, no folders";
    files->SetAttributes(0);
    EXPECT_EQ(Texts(*files), (std::vector<std::string>{"A.txt", "b.txt"}));
    files->SetAttributes(cbxHidden);
    EXPECT_EQ(Texts(*files), (std::vector<std::string>{".hidden", "A.txt", "b.txt"}));
    files->Perform(CB_SHOWDROPDOWN, 1, 0);
    Driver.RunPending();
    Driver.Grab(*files->ListWindow(), ::testing::TempDir() + "file_list.png");
    files->SetItemIndex(1);
    files->Perform(CB_SHOWDROPDOWN, 0, 0);
    EXPECT_EQ(files->MRUList().Count(), 1);
    files->SetFileMask("*.none");
    EXPECT_TRUE(Texts(*files).empty());
    EXPECT_EQ(CtlJoinPath("D:", "x"), "D:x");
    EXPECT_EQ(CtlJoinPath("D:\\a\\", "x"), "D:\\a\\x");
    EXPECT_EQ(CtlJoinPath("D:\\a", "x"), "D:\\a\\x");
    platform::SetCurrentDirectory("D:\\files");
    EXPECT_EQ(CtlJoinPath("", "x"), "D:\\files\\x");
    files->SetFileMask("*.*");
    files->SetDirectory("");
    EXPECT_EQ(files->Items().Count(), 3);
}

class PrinterComboTest : public FileCombosTest {
protected:
    void SetUp() override {
        FileCombosTest::SetUp();
        SavedQueues = SetPrinterQueueSource([](std::string& Default) {
            Default = "Laser";
            return std::vector<std::string>{"Laser", "\\\\srv\\p"};
        });
        Printer().Refresh();
    }
    void TearDown() override {
        SetPrinterQueueSource(SavedQueues);
        Printer().Refresh();
        FileCombosTest::TearDown();
    }
    TPrinterQueuesFunc SavedQueues;
};

TEST_F(PrinterComboTest, PrintersWithTheCurrentOneSelected) {
    auto* printers = Add<TCtlPrinterComboBox>(10);
    printers->Font().SetSize(14);
    printers->Fill();
    EXPECT_EQ(Texts(*printers), (std::vector<std::string>{"Laser", "\\\\srv\\p", "PDF File"}));
    EXPECT_EQ(printers->Text(), "Laser");
    ASSERT_NE(printers->Images(), nullptr);
    const int ih = printers->ItemHeight();
    ASSERT_GE(ih, 16);

    printers->Perform(CB_SHOWDROPDOWN, 1, 0);
    Driver.RunPending();
    EXPECT_TRUE(printers->DroppedDown());
    TWinControl* list = printers->ListWindow();
    Driver.Grab(*list, ::testing::TempDir() + "printer_list.png");
    // The network glyph has its cable under the printer (row 13); the local one has not.
    const uint32_t local = Driver.PixelAt(*list, 1 + 1 + 7, 1 + 1 + 13);
    const uint32_t network = Driver.PixelAt(*list, 1 + 1 + 7, 1 + ih + 1 + 13);
    EXPECT_NE(local, 0u);
    EXPECT_EQ(network, 0u);
    printers->SetItemIndex(1);
    printers->Perform(CB_SHOWDROPDOWN, 0, 0);
    EXPECT_EQ(Printer().PrinterName(), "\\\\srv\\p");

    printers->SelectPrinter = false;
    printers->Perform(CB_SHOWDROPDOWN, 1, 0);
    printers->SetItemIndex(printers->Items().Count() - 1);
    printers->Perform(CB_SHOWDROPDOWN, 0, 0);
    EXPECT_EQ(printers->Text(), "PDF File");
    EXPECT_EQ(Printer().PrinterName(), "\\\\srv\\p");
}

}  // namespace
}  // namespace grid
