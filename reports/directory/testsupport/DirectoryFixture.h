#pragma once
// The directory window's tests: the cataloguing run's temporary drives (D: the disk, P: the program
// folder) with D:'s figures given, a private registry, and the window opened, scanned and closed as
// the user does it.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cataloging/testsupport/RunFixture.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/FileCtrl.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/directory/ShowDirectoryForm.h"

namespace reports::testsupport {

class DirectoryWindowTest : public cataloging::runtest::CatalogRunTest {
protected:
    platform::testsupport::ScopedUserEnv Env;
    TShowDirectoryForm* Dir = nullptr;

    void TearDown() override {
        if (Dir) CloseDir();
        CatalogRunTest::TearDown();
    }
    // Maps D: again with its size and free space in bytes.
    void MapDiskD(const std::string& Size, const std::string& Free) {
        Drives.reset();
        Drives = std::make_unique<platform::testsupport::TScopedDrives>(
            "D=" + Disk.Path() + "|label=BACKUP01|serial=1A2B3C4D|fs=FAT|type=removable|size=" + Size +
            "|cluster=512|free=" + Free + ";P=" + Program.Path());
    }
    TShowDirectoryForm& OpenDir() {
        Dir = framework::TCustomForm::Create<TShowDirectoryForm>(framework::Application);
        Dir->Show();
        Driver.RunPending();
        return *Dir;
    }
    // Closes the window as its Close does (the close query, then the window goes).
    void CloseDir() {
        bool can = true;
        if (Dir->OnCloseQuery) Dir->OnCloseQuery(Dir, can);
        Dir->Free();
        Dir = nullptr;
        Driver.RunPending();
    }
    // Reads StartFolder of D: in the open window.
    void ReadFolder(const std::string& StartFolder) {
        Dir->DriveComboBox->SetDrive('D');
        Dir->StartDir->SetText(StartFolder);
        Dir->BitBtn1Click();
        Driver.RunPending();
    }
};

}  // namespace reports::testsupport
