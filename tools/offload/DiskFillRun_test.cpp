// The offload window's copy or move run over disks that are folders with a size and cluster size:
// best fit per disk, re-cataloguing, the checks of the target and the overwrite question.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "controls/kit/CoolGauge.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "platform/Files.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"
#include "sysutil/shell/UtShlViews.h"
#include "tools/offload/DiskFillForm.h"
#include "tools/offload/DiskFillRunForms.h"

namespace tools {
namespace {

using namespace framework;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

class DiskFillRunTest : public catalog::testsupport::TCatalogFixture {
protected:
    platform::testsupport::ScopedUserEnv Env;
    TTempFolder Disk1, Disk2;
    std::unique_ptr<TScopedDrives> RunDrives;
    TDiskFillForm* Form = nullptr;
    // What the copy window showed while each file was finishing.
    std::vector<std::string> CopyWindowLines;

    void SetUp() override {
        TCatalogFixture::SetUp();
        MapDisks("DISK");
        catalog::CurrentCatalogName = "Games";
        catalog::TCatalogStore Store;
        Store.CreateCatalogConfig(false, {30, 60, 20});
        Store.OpenCatalog(true);
        SetSleepHandler([this](uint32_t Ms) {
            if (Ms == 150 && Form && Form->CopyForm && CopyWindowLines.empty())
                if (const char* Dir = std::getenv("KORVANE_GRABS"))
                    Driver.Grab(*Form->CopyForm, std::string(Dir) + "/offload-copy.png");
            if (Ms == 150 && Form && Form->CopyForm)
                CopyWindowLines.push_back(Form->CopyForm->SerialNumber->Caption() + " " +
                                          Form->CopyForm->FileSize->Caption());
        });
    }
    void TearDown() override {
        if (Form) Form->Free();
        Form = nullptr;
        SetSleepHandler([](uint32_t) {});
        RunDrives.reset();
        TCatalogFixture::TearDown();
    }
    // Two empty disks of 1 MiB in clusters of 512 bytes, labelled Prefix + 1 and Prefix + 2.
    void MapDisks(const std::string& Prefix) {
        RunDrives.reset();
        for (const TTempFolder* Disk : {&Disk1, &Disk2}) {
            std::filesystem::remove_all(Disk->Path());
            std::filesystem::create_directories(Disk->Path());
        }
        RunDrives = std::make_unique<TScopedDrives>(
            "D=" + Root.Path() + ";E=" + Disk1.Path() + "|label=" + Prefix +
            "1|serial=1A2B3C4D|size=1048576|cluster=512" + ";F=" + Disk2.Path() + "|label=" + Prefix +
            "2|serial=00000002|size=1048576|cluster=512");
    }
    void WriteSized(const std::string& Name, size_t Size) {
        Root.WriteFile("FILES/" + Name, std::string(Size, 'x'));
    }
    void Open() {
        Form = TCustomForm::Create<TDiskFillForm>(Application);
        Form->Folder->SetCaption("D:\\FILES");
        Form->Show();
        Driver.RunPending();
        Form->List.TagAll(true);
    }
    // The prompt answered with a drive (and Proceed).
    void Prompt(char Drive, bool CatalogAfter = true) {
        Driver.AnswerWith(
            [Drive, CatalogAfter](TCustomForm& F) {
                auto& P = dynamic_cast<TDiskFillPromptForm&>(F);
                EXPECT_EQ(P.Caption(), "Insert Disk In Target Drive");
                P.TargetDrive->SetDrive(Drive);
                P.CatalogAfter->SetChecked(CatalogAfter);
                EXPECT_EQ(P.DFCatalogSubFolders->Enabled(), CatalogAfter);
                P.SetModalResult(mrOk);
            },
            mrOk);
    }
    static std::vector<std::string> Files(const TTempFolder& Folder) {
        std::vector<std::string> Names;
        for (const auto& E : std::filesystem::directory_iterator(Folder.Path()))
            Names.push_back(E.path().filename());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
    // The catalogued names of a volume.
    std::vector<std::string> Catalogued(const std::string& Volume) {
        auto T = Table("Games_CAT");
        T->Open();
        std::vector<std::string> Names;
        for (T->First(); !T->Eof(); T->Next())
            if (T->FieldByName("VolumeLabel")->AsString() == Volume)
                Names.push_back(T->FieldByName("FileName")->AsString());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
};

TEST_F(DiskFillRunTest, TwoDisksAreFilledByBestFitAndCataloguedAgain) {
    for (const bool Move : {false, true}) {
        SCOPED_TRACE(Move ? "move" : "copy");
        WriteSized("A600.BIN", 600 * 1024);
        WriteSized("B500.BIN", 500 * 1024);
        WriteSized("C400.BIN", 400 * 1024);
        const std::string Prefix = Move ? "MOVE" : "COPY";
        MapDisks(Prefix);
        CopyWindowLines.clear();
        Open();
        Prompt('E');
        Prompt('F');
        Driver.Click(Move ? *Form->MoveBtn : *Form->CopyBtn);
        Driver.RunPending();
        EXPECT_EQ(Files(Disk1), (std::vector<std::string>{"A600.BIN", "C400.BIN"}));
        EXPECT_EQ(Files(Disk2), (std::vector<std::string>{"B500.BIN"}));
        EXPECT_EQ(Catalogued(Prefix + "1"), (std::vector<std::string>{"A600.BIN", "C400.BIN"}));
        EXPECT_EQ(Catalogued(Prefix + "2"), (std::vector<std::string>{"B500.BIN"}));
        ASSERT_FALSE(CopyWindowLines.empty());
        EXPECT_EQ(CopyWindowLines[0], "1A2B-3C4D Filesize Is 614,400 Bytes");
        EXPECT_EQ(Form->List.TaggedFiles, 0);
        // A move deletes the sources and reads the folder again; a copy leaves both alone.
        EXPECT_EQ(Form->List.Count(), Move ? 0 : 3);
        EXPECT_EQ(std::filesystem::exists(Root / "FILES/A600.BIN"), !Move);
        Form->Free();
        Form = nullptr;
    }
}

TEST_F(DiskFillRunTest, ATargetWithFilesIsShownAndCanBeErasedOrLeft) {
    WriteSized("ONE.BIN", 1000);
    Disk1.WriteFile("OLD/KEEP.TXT", "old");
    Disk1.WriteFile(".hidden", "h");
    Open();
    // Return To Disk Prompt: nothing copied, the prompt comes back (and is cancelled).
    Prompt('E', false);
    Driver.AnswerWith(
        [this](TCustomForm& F) {
            auto& N = dynamic_cast<TDiskFillNotEmptyForm&>(F);
            EXPECT_EQ(N.Caption(), "Existing Files And Folders Detected On The Target Disk");
            EXPECT_EQ(N.FolderList->RootFolder(), "E:\\");
            if (const char* Dir = std::getenv("KORVANE_GRABS"))
                Driver.Grab(N, std::string(Dir) + "/offload-notempty.png");
            N.SetModalResult(mrCancel);
        },
        mrCancel);
    Driver.Answer(mrCancel);
    Driver.Click(*Form->CopyBtn);
    Driver.RunPending();
    EXPECT_EQ(Files(Disk1), (std::vector<std::string>{".hidden", "OLD"}));
    EXPECT_EQ(Form->List.TaggedFiles, 1);

    // Erase Disk And Continue empties the disk, hidden files too, and the file is copied.
    Prompt('E', false);
    Driver.AnswerWith([](TCustomForm& F) { dynamic_cast<TDiskFillNotEmptyForm&>(F).EraseBtn->Click(); });
    Driver.Click(*Form->CopyBtn);
    Driver.RunPending();
    EXPECT_EQ(Files(Disk1), (std::vector<std::string>{"ONE.BIN"}));
    EXPECT_EQ(Form->List.TaggedFiles, 0);
}

TEST_F(DiskFillRunTest, ExistingFilesAreOverwrittenOnlyWhenTheUserSaysSo) {
    // Largest first: A, B, C, D. A, B and C exist on both disks, D on neither.
    const std::vector<std::pair<const char*, size_t>> Sized = {
        {"A.BIN", 8000}, {"B.BIN", 7000}, {"C.BIN", 6000}, {"D.BIN", 5000}};
    for (const auto& [Name, Size] : Sized) {
        WriteSized(Name, Size);
        if (std::string(Name) == "D.BIN") continue;
        Disk1.WriteFile(Name, "disk 1");
        Disk2.WriteFile(Name, "disk 2");
    }
    std::filesystem::last_write_time(Root / "FILES/A.BIN", std::chrono::floor<std::chrono::seconds>(
                                                               std::filesystem::file_time_type::clock::now() -
                                                               std::chrono::hours(24 * 30)));
    std::filesystem::permissions(Root / "FILES/A.BIN", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    Open();
    Prompt('E', false);
    Driver.AnswerWith([](TCustomForm& F) { F.SetModalResult(mrOk); });  // leave the files alone
    Driver.Answer(mrYes);                                               // A.BIN
    Driver.Answer(mrNoToAll);                                           // B.BIN, and C.BIN without a question
    Driver.Click(*Form->CopyBtn);
    Driver.RunPending();
    EXPECT_EQ(platform::testsupport::ReadNativeFile(Disk1 / "A.BIN"), std::string(8000, 'x'));
    EXPECT_TRUE(platform::GetFileAttributes("E:\\A.BIN") & platform::FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(std::filesystem::last_write_time(Disk1 / "A.BIN"),
              std::filesystem::last_write_time(Root / "FILES/A.BIN"));
    EXPECT_EQ(platform::testsupport::ReadNativeFile(Disk1 / "B.BIN"), "disk 1");
    EXPECT_EQ(platform::testsupport::ReadNativeFile(Disk1 / "C.BIN"), "disk 1");
    EXPECT_EQ(platform::testsupport::ReadNativeFile(Disk1 / "D.BIN"), std::string(5000, 'x'));
    // Declined files were untagged and not offered again.
    EXPECT_EQ(Form->List.TaggedFiles, 0);

    // The answers hold for one disk only: the next one asks again.
    Form->List.TagAll(true);
    Prompt('F', false);
    Driver.AnswerWith([](TCustomForm& F) { F.SetModalResult(mrOk); });
    Driver.Answer(mrCancel);    // closing the question on A.BIN: not overwritten
    Driver.Answer(mrYesToAll);  // B.BIN, and C.BIN without a question
    Driver.Click(*Form->CopyBtn);
    Driver.RunPending();
    EXPECT_EQ(platform::testsupport::ReadNativeFile(Disk2 / "A.BIN"), "disk 2");
    EXPECT_EQ(platform::testsupport::ReadNativeFile(Disk2 / "B.BIN"), std::string(7000, 'x'));
    EXPECT_EQ(platform::testsupport::ReadNativeFile(Disk2 / "C.BIN"), std::string(6000, 'x'));
    std::vector<std::string> Asked;
    for (const auto& S : Driver.Shown)
        if (S.Text.find("\r\n\r\nThis File Already Exists In The Target Folder.  Overwrite (Even If Marked "
                        "As \"Read Only\")?") != std::string::npos)
            Asked.push_back(S.Text.substr(0, S.Text.find('\r')));
    EXPECT_EQ(Asked, (std::vector<std::string>{"A.BIN", "B.BIN", "A.BIN", "B.BIN"}));
}

TEST_F(DiskFillRunTest, TheOffloadedFolderAsTargetNeverLosesItsFiles) {
    WriteSized("ONLY.BIN", 3000);
    RunDrives.reset();
    RunDrives = std::make_unique<TScopedDrives>("D=" + Root.Path() + ";G=" + (Root / "FILES") +
                                                "|size=1048576|cluster=512");
    Open();
    Prompt('G', false);
    Driver.AnswerWith([](TCustomForm& F) { F.SetModalResult(mrOk); });
    Driver.Click(*Form->MoveBtn);
    Driver.RunPending();
    EXPECT_EQ(platform::testsupport::ReadNativeFile(Root / "FILES/ONLY.BIN"), std::string(3000, 'x'));
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"ONLY.BIN\r\n\r\nThe Source And Destination Are The Same File"}));
    EXPECT_EQ(Form->List.TaggedFiles, 0);
}

TEST_F(DiskFillRunTest, ErrorsOfTheTargetReturnToThePrompt) {
    WriteSized("ONE.BIN", 1000);
    RunDrives.reset();
    RunDrives = std::make_unique<TScopedDrives>("D=" + Root.Path() + ";Q=" + (Root / "NOT-THERE") +
                                                ";E=" + Disk1.Path() + "|size=1048576|cluster=512");
    Open();
    Prompt('Q', false);
    Driver.Answer(mrCancel);
    Driver.Click(*Form->CopyBtn);
    Driver.RunPending();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Error Determining Disk Size (Drive Q:)"}));

    // A target that cannot be created finishes the disk; the file stays tagged.
    Driver.Shown.clear();
    Prompt('E', false);
    Driver.Answer(mrCancel);
    {
        platform::TScopedFileFault Fault(
            [this](platform::TFileOperation Op, const std::string& Path, int64_t, uint32_t) {
                platform::TFileFault F;
                if (Op == platform::TFileOperation::Open && Path.rfind(Disk1.Path(), 0) == 0) F.Error = 5;
                return F;
            });
        Driver.Click(*Form->CopyBtn);
        Driver.RunPending();
    }
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Error Opening Destination File For Output.\r\n\r\nThe "
                                                 "Target Disk's Root Directory May Be Full"}));
    EXPECT_EQ(Form->List.TaggedFiles, 1);
    EXPECT_TRUE(Files(Disk1).empty());
}

TEST_F(DiskFillRunTest, NothingTaggedIsAnError) {
    Open();
    Form->List.TagAll(false);
    Driver.Click(*Form->CopyBtn);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"No Files Have Been Tagged"}));
}

TEST_F(DiskFillRunTest, ARecommendedDiskMustCarryItsLabelAndIsNotChecked) {
    WriteSized("ONE.BIN", 200 * 1024);
    Disk1.WriteFile("OLD.TXT", "a catalogued disk holds files");
    {
        auto Sum = Table("Games_SUM");
        Sum->Open();
        for (const auto& [Label, Free] : std::vector<std::pair<std::string, double>>{
                 {"SMALL", 100 * 1024}, {"DISK1", 500 * 1024}, {"MIDDLE", 300 * 1024}}) {
            Sum->Append();
            Sum->FieldByName("CatalogVolumeLabel")->SetAsString(Label);
            Sum->FieldByName("ActualVolumeLabel")->SetAsString(Label);
            Sum->FieldByName("CatalogedFrom")->SetAsString("E:\\");
            Sum->FieldByName("DiskFree")->SetAsFloat(Free);
            Sum->Post();
        }
    }
    Open();
    std::vector<std::string> Offered;
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            auto& P = dynamic_cast<TDiskFillPromptForm&>(F);
            if (const char* Dir = std::getenv("KORVANE_GRABS"))
                Driver.Grab(P, std::string(Dir) + "/offload-prompt.png");
            // The first offer is the roomiest disk; with the wrong disk in the drive it stays open.
            Driver.AnswerWith([&](TCustomForm& R) {
                auto& Offer = dynamic_cast<TDiskFillRecommendForm&>(R);
                Offered.push_back(Offer.VolumeLabel->Caption() + " " + Offer.FreeSpace->Caption());
                Offer.TargetDrive->SetDrive('F');
                Offer.ProceedBtn->Click();
                EXPECT_EQ(Offer.ModalResult(), mrNone);
                Offer.TargetDrive->SetDrive('E');
                Offer.ProceedBtn->Click();
            });
            P.BitBtn4->Click();
        },
        mrCancel);
    Driver.Click(*Form->CopyBtn);
    Driver.RunPending();
    EXPECT_EQ(Offered, (std::vector<std::string>{"DISK1 ( 512,000 Bytes Free )"}));
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "The Volume Label On This Disk (DISK2) Is Not The Same As That Recommended"}));
    // No not-empty question for a recommended disk: the file went on beside the old one.
    EXPECT_EQ(Files(Disk1), (std::vector<std::string>{"OLD.TXT", "ONE.BIN"}));
}

}  // namespace
}  // namespace tools
