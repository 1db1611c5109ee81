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
}  // namespace
}  // namespace tools
