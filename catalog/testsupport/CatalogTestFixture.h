#pragma once
// A fixture for the catalog windows' tests: drive D: over a temporary folder serves as program and
// catalog data folder and holds an empty CatalogConfigs table; the shared message and progress
// windows record what they show in Windows; boxes nobody answers get OK (or Cancel).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalog/Globals.h"
#include "catalog/MessageWindow.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "catalog/MessageWindow.h"
#include "catalog/ProgressForm.h"
#include "dbsql/components/DbTable.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"

namespace catalog::testsupport {

struct TCatalogFixture : dbsql::testsupport::SessionFixture {
    framework::TFormDriver Driver;
    TMsg* Msg = nullptr;
    TProgressForm* Progress = nullptr;
    // "message <text>" and "progress <caption>" (with " (cancel)" when it has the button), in order.
    std::vector<std::string> Windows;

    void SetUp() override {
        SessionFixture::SetUp();
        Driver.Strict = false;
        ProgramFolder = "D:\\";
        CatalogDataFolder = "D:\\";
        CurrentCatalogName.clear();
        LastCatalogedLabel = "";
        auto t = Table("CatalogConfigs");
        DefineTable(*t, CatalogConfigsSchema());
        t->CreateTable();
        Msg = framework::TCustomForm::Create<TMsg>(framework::Application);
        Msg->OnShow = [this](framework::TObject*) {
            Windows.push_back("message " + Msg->MsgText->Caption());
        };
        Progress = framework::TCustomForm::Create<TProgressForm>(framework::Application);
        Progress->OnShow = [this](framework::TObject*) {
            Windows.push_back("progress " + Progress->Caption() +
                              (Progress->CancelBtn->Visible() ? " (cancel)" : ""));
        };
        catalog::Msg = Msg;
        catalog::ProgressForm = Progress;
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        catalog::Msg = nullptr;
        catalog::ProgressForm = nullptr;
        Msg->Free();
        Progress->Free();
        Driver.RunPending();
        CurrentCatalogName.clear();
        ProgramFolder.clear();
        CatalogDataFolder.clear();
        LastCatalogedLabel = "";
        SessionFixture::TearDown();
    }
    std::unique_ptr<dbsql::TDbTable> Table(const std::string& name) {
        auto t = std::make_unique<dbsql::TDbTable>();
        t->SetDatabaseName("D:\\");
        t->SetTableName(name);
        return t;
    }
    // The texts of the message boxes shown so far.
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& s : Driver.Shown)
            if (s.Kind == "message") out.push_back(s.Text);
        return out;
    }
};

}  // namespace catalog::testsupport
