// The include/exclude dialog over a real options table: Save stores the 40 specs trimmed, Cancel
// reads them back, a failing store is reported, and closing keeps the edits in memory.

#include "cataloging/specs/IncludeExcludeForm.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlArrayEditor.h"
#include "dbsql/components/DbTable.h"
#include "framework/stdctrls/Button.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/testsupport/TestDrives.h"

namespace cataloging {
namespace {

using namespace framework;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

class IncludeExcludeFormTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TTempFolder Disk;
    TScopedDrives Drives{"D=" + Disk.Path()};
    decltype(catalog::IncludeSpecs) SavedInclude = catalog::IncludeSpecs;
    decltype(catalog::ExcludeSpecs) SavedExclude = catalog::ExcludeSpecs;
    std::string SavedFolder = catalog::ProgramFolder;
    TIncludeExcludeForm* Form = nullptr;

    void SetUp() override {
        catalog::ProgramFolder = "D:\\";
        dbsql::TDbTable table(nullptr);
        table.SetDatabaseName("D:\\");
        table.SetTableName(catalog::KorvaneOptionsSchema().TableName);
        catalog::DefineTable(table, catalog::KorvaneOptionsSchema());
        table.CreateTable();
        table.Open();
        catalog::InsertNewOptionsRecord(table);
        table.Edit();
        table.FieldByName("IncludeSpec01")->SetAsString("*.TXT");
        table.FieldByName("ExcludeSpec03")->SetAsString("*.BAK");
        table.Post();
        table.Close();
        catalog::IncludeSpecs = {};
        catalog::ExcludeSpecs = {};
        catalog::IncludeSpecs[0] = "*.TXT";
        catalog::ExcludeSpecs[2] = "*.BAK";
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
        catalog::IncludeSpecs = SavedInclude;
        catalog::ExcludeSpecs = SavedExclude;
        catalog::ProgramFolder = SavedFolder;
    }
    void Open() {
        Form = TCustomForm::Create<TIncludeExcludeForm>(Application);
        Form->Show();
        Driver.RunPending();
    }
    // Types into row Row of an editor (the row's text replaced).
    void Type(entry::TCtlPictureArrayEditor* Editor, int Row, const std::string& Text) {
        Editor->SetFocus();
        Driver.RunPending();
        Driver.Click(*Editor, 20, Row * Editor->RowHeight() + Editor->RowHeight() / 2);
        Driver.RunPending();
        Driver.Key(VK_END);
        for (int i = 0; i < 12; ++i) Driver.Key(VK_BACK);  // the rows hold short specs
        Driver.Type(Text);
        Driver.RunPending();
    }
    std::string Stored(const std::string& Field) {
        dbsql::TDbTable table(nullptr);
        table.SetDatabaseName("D:\\");
        table.SetTableName("KorvaneOptions");
        table.Open();
        table.First();
        return table.FieldByName(Field)->AsString();
    }
};

TEST_F(IncludeExcludeFormTest, TheWindowAndItsLists) {
    Open();
    EXPECT_EQ(Form->Caption(), "File Include/Exclude Specs");
    EXPECT_EQ(Form->HelpContext, 9);
    EXPECT_EQ(Form->IncludeLabel->Caption(), "File Include Specs");
    EXPECT_EQ(Form->ExcludeLabel->Caption(), "File Exclude Specs");
    EXPECT_EQ(Form->SaveButton->Caption(), "&Save");
    EXPECT_EQ(Form->IncludeEditor->NumItems(), 20);
    EXPECT_EQ(Form->IncludeEditor->MaxLength(), 250);
    Driver.Grab(*Form, "/tmp/include-exclude.png");
}

TEST_F(IncludeExcludeFormTest, SaveStoresTheSpecsTrimmed) {
    Open();
    Type(Form->IncludeEditor, 1, "  *.DOC  ");
    Type(Form->ExcludeEditor, 0, "SECRET.*");
    // In effect at once, before any saving.
    Form->IncludeEditor->StoreItem();
    Form->SaveSpecs();
    EXPECT_EQ(catalog::IncludeSpecs[1].Text(), "*.DOC");
    EXPECT_EQ(Stored("IncludeSpec01"), "*.TXT");
    EXPECT_EQ(Stored("IncludeSpec02"), "*.DOC");
    EXPECT_EQ(Stored("ExcludeSpec01"), "SECRET.*");
    EXPECT_EQ(Stored("ExcludeSpec03"), "*.BAK");
    EXPECT_TRUE(Driver.Shown.empty());
}

TEST_F(IncludeExcludeFormTest, CancelReadsTheStoredSpecsBack) {
    Open();
    Type(Form->IncludeEditor, 0, "*.EXE");
    Form->IncludeEditor->StoreItem();
    Form->RestoreSpecs();
    Form->Close();
    Driver.RunPending();
    EXPECT_EQ(catalog::IncludeSpecs[0].Text(), "*.TXT");
    EXPECT_EQ(catalog::ExcludeSpecs[2].Text(), "*.BAK");
    EXPECT_EQ(Stored("IncludeSpec01"), "*.TXT");
}

TEST_F(IncludeExcludeFormTest, ClosingKeepsTheEditsInMemoryUnstored) {
    Open();
    Type(Form->IncludeEditor, 0, "*.EXE");
    Form->Close();
    Driver.RunPending();
    EXPECT_EQ(catalog::IncludeSpecs[0].Text(), "*.EXE");
    EXPECT_EQ(Stored("IncludeSpec01"), "*.TXT");
}

TEST_F(IncludeExcludeFormTest, FailuresToStoreOrReadAreReported) {
    Open();
    catalog::ProgramFolder = "D:\\MISSING\\";  // no options table there
    Type(Form->IncludeEditor, 0, "*.EXE");
    Driver.Answer(mrOk);
    Form->SaveSpecs();
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text, "Error Saving Include/Exclude Specs");
    EXPECT_EQ(catalog::IncludeSpecs[0].Text(), "*.EXE");  // in effect, not stored
    Driver.Answer(mrOk);
    Form->RestoreSpecs();
    ASSERT_EQ(Driver.Shown.size(), 2u);
    EXPECT_EQ(Driver.Shown[1].Text, "Error Restoring Original Include/Exclude Specs");
}

TEST_F(IncludeExcludeFormTest, AnOptionsTableThatCannotBeWrittenIsReported) {
    Open();
    Type(Form->IncludeEditor, 1, "*.DOC");
    {
        platform::TScopedFileFault readOnly(
            [](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
                const bool options = path.find("KorvaneOptions") != std::string::npos ||
                                     path.find("KORVANEOPTIONS") != std::string::npos;
                return options && (op == platform::TFileOperation::Write ||
                                   op == platform::TFileOperation::SetEndOfFile)
                           ? platform::TFileFault{platform::ERROR_ACCESS_DENIED}
                           : platform::TFileFault{};
            });
        Driver.Answer(mrOk);
        Form->SaveSpecs();
    }
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text, "Error Saving Include/Exclude Specs");
    EXPECT_EQ(catalog::IncludeSpecs[1].Text(), "*.DOC");  // in effect
    EXPECT_EQ(Stored("IncludeSpec02"), "");               // not stored
}

}  // namespace
}  // namespace cataloging
