#pragma once
// Stored file report definitions over the file report's catalog CAT1: the definitions table in the
// program folder, a fixed today (2004-06-01), and definitions written directly as records.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalog/ProgramTables.h"
#include "framework/core/Seams.h"
#include "framework/ui/Forms.h"
#include "reports/custom/CustomFileReportForm.h"
#include "reports/testsupport/FileReportFixture.h"

namespace reports::testsupport {

class CustomFileReportTest : public FileReportTest {
protected:
    void SetUp() override {
        FileReportTest::SetUp();
        SavedClock = framework::SetClock([] { return Today(); });
        auto defs = Table("CustomFileReportDefs");
        catalog::DefineTable(*defs, catalog::CustomFileReportDefsSchema());
        defs->CreateTable();
    }
    void TearDown() override {
        if (TCustomFileReportForm* list = OpenCustomFileReportForm()) list->Free();
        for (int i = framework::Screen->FormCount() - 1; i >= 0; --i)
            if (auto* f = dynamic_cast<TFileReportScreenForm*>(framework::Screen->Forms(i))) f->Free();
        Driver.RunPending();
        framework::SetClock(SavedClock);
        FileReportTest::TearDown();
    }
    static framework::TDateTime Today() { return Day(2004, 6, 1); }

    // Writes a definition: every field as a new record has it (item 1 shown in column 1), then
    // Fields (by name, as text; "" clears).
    using TDefinitionFields = std::map<std::string, std::string>;
    void AddDefinition(const std::string& Name, const TDefinitionFields& Fields = {}) {
        AddDefinitions({{Name, Fields}});
    }
    void AddDefinitions(const std::vector<std::pair<std::string, TDefinitionFields>>& List) {
        auto defs = Table("CustomFileReportDefs");
        defs->Open();
        for (const auto& [name, fields] : List) {
            defs->Append();
            defs->FieldByName("ReportName")->SetAsString(name);
            defs->FieldByName("FileSize")->SetAsString("0");
            for (const char* flag : {"OnlyDuplicate", "OnlyUnique", "UseVersions", "UseFileSize"})
                defs->FieldByName(flag)->SetAsBoolean(false);
            defs->FieldByName("MatchesRequired")->SetAsInteger(1);
            for (int n = 1; n <= 12; ++n)
                for (const char* prefix :
                     {"MatchCriteria", "ColumnCriteria", "SortColumnSpec", "SortCriteriaSpec"})
                    defs->FieldByName(catalog::NumberedName(prefix, n))->SetAsInteger(0);
            defs->FieldByName("ColumnCriteria01")->SetAsInteger(1);
            for (const auto& [field, value] : fields) {
                if (value.empty())
                    defs->FieldByName(field)->Clear();
                else
                    defs->FieldByName(field)->SetAsString(value);
            }
            defs->Post();
        }
        defs->Close();
    }
    // The stored text of a field of the definition Name ("<none>" when there is no such one).
    std::string Stored(const std::string& Name, const std::string& Field) {
        auto defs = Table("CustomFileReportDefs");
        defs->Open();
        std::string out = "<none>";
        if (defs->FindKey({framework::Variant(Name)})) out = defs->FieldByName(Field)->AsString();
        defs->Close();
        return out;
    }
    int DefinitionCount() {
        auto defs = Table("CustomFileReportDefs");
        defs->Open();
        int n = 0;
        for (defs->First(); !defs->Eof(); defs->Next()) ++n;
        defs->Close();
        return n;
    }
    // The list window, opened as the main menu opens it.
    TCustomFileReportForm* OpenList() {
        ShowCustomFileReports();
        Driver.RunPending();
        return OpenCustomFileReportForm();
    }
    // The report windows shown, in the order they were made.
    static std::vector<TFileReportScreenForm*> ReportWindows() {
        std::vector<TFileReportScreenForm*> out;
        for (int i = 0; i < framework::Screen->FormCount(); ++i)
            if (auto* f = dynamic_cast<TFileReportScreenForm*>(framework::Screen->Forms(i));
                f && f->Visible())
                out.push_back(f);
        return out;
    }

    framework::TClockFunc SavedClock;
};

}  // namespace reports::testsupport
