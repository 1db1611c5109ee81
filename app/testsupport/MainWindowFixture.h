#pragma once
// A fixture for tests of the main window's commands: drive D: over a temporary folder is the
// program and catalog data folder, the main window is shown without its start-up work and without
// its stored state, and help requests are recorded instead of shown.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/MainUnit.h"
#include "app/OptionFrame.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlState.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

namespace app::testsupport {

using namespace framework;

class TMainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        catalog::ProgramFolder = "D:\\";
        catalog::CatalogDataFolder = "D:\\";
        catalog::CurrentCatalogName.clear();
        catalog::OpenReportCount = 0;
        Application->HelpFile = "D:\\Korvane.HLP";
        Application->SetHelpHandler([this](const std::string&, uint32_t Command, uintptr_t Data) {
            HelpLog.push_back({Command, Data});
            return true;
        });
        Form = TCustomForm::Create<TMainForm>(Application);
        Form->OnShow = nullptr;  // the window without the start-up work
        Form->ComponentState->SetActive(false);
        Form->FormState->SetActive(false);
        Form->Show();
        Driver.RunPending();
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        Form->Free();
        Application->SetHelpHandler(nullptr);
        Application->HelpFile.clear();
        Application->ResetTerminated();
        dbsql::DefaultSession().SetActive(false);
        catalog::ProgramFolder.clear();
        catalog::CatalogDataFolder.clear();
        catalog::CurrentCatalogName.clear();
        catalog::OpenReportCount = 0;
    }
    TMenuItem* Item(const std::string& Name) {
        auto* item = dynamic_cast<TMenuItem*>(Form->FindComponent(Name));
        EXPECT_NE(item, nullptr) << Name;
        return item;
    }
    // No frame, every option button up.
    void NoFrame() {
        for (TSpeedButton* b : {Form->CatalogingBtn, Form->ReportsBtn, Form->ToolsBtn, Form->SettingsBtn,
                                Form->HelpBtn, Form->CloseBtn})
            b->SetDown(false);
        Form->ActivateFrame(0);
    }
    // The boxes and windows shown (a menu button's own menu left out).
    std::vector<std::string> ShownTexts() const {
        std::vector<std::string> out;
        for (const auto& s : Driver.Shown)
            if (s.Kind != "menu") out.push_back(s.Kind + ":" + s.ClassName + ":" + s.Text);
        return out;
    }
    // A key pressed on a control of a frame; the command replaces the frame, so the key is
    // released over the frame shown then.
    void PressInFrame(TWinControl& Control, int Key) {
        Control.SetFocus();
        Driver.KeyDown(Key);
        TWinControl* next = Form->Frame ? Form->Frame->FindNextControl(nullptr, true, true, false) : nullptr;
        ASSERT_NE(next, nullptr);
        next->SetFocus();
        Driver.KeyUp(Key);
    }
    // The program table the catalog manager opens.
    static void MakeCatalogConfigs() {
        dbsql::TDbTable configs;
        configs.SetDatabaseName("D:\\");
        configs.SetTableName("CatalogConfigs");
        catalog::DefineTable(configs, catalog::CatalogConfigsSchema());
        configs.CreateTable();
    }
    TSpeedButton* OptionButton(int Option) {
        TSpeedButton* buttons[] = {nullptr,        Form->CatalogingBtn, Form->ReportsBtn,
                                   Form->ToolsBtn, Form->SettingsBtn,   Form->HelpBtn};
        return buttons[Option];
    }

    platform::testsupport::ScopedUserEnv Env;
    platform::testsupport::TTempFolder Root;
    platform::testsupport::TScopedDrives Drives{"D=" + Root.Path()};
    TFormDriver Driver;
    TMainForm* Form = nullptr;
    std::vector<std::pair<uint32_t, uintptr_t>> HelpLog;
};

}  // namespace app::testsupport
