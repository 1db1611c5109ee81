#include "reports/custom/CustomFileReportDefs.h"

#include "catalog/FormParts.h"
#include "catalog/ProgramTables.h"
#include "cataloging/editors/CategoryForm.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/data/Fields.h"
#include "reports/filereport/FileReportScreenForm.h"

namespace reports {

using namespace framework;

namespace {

TField& DefField(TDataSet& Def, const std::string& Name) {
    return *Def.FieldByName(Name);
}

int32_t NumberedInt(TDataSet& Def, const char* Prefix, int Item) {
    TField& f = DefField(Def, catalog::NumberedName(Prefix, Item));
    return f.IsNull() ? 0 : f.AsInteger();
}

bool DefFlag(TDataSet& Def, const char* Name) {
    TField& f = DefField(Def, Name);
    return !f.IsNull() && f.AsBoolean();
}

// A stored small number (column, priority, direction) as the parameter block keeps it; values a
// byte cannot hold count as none.
uint8_t SmallNumber(int32_t Value) {
    return Value < 0 || Value > 255 ? 0 : uint8_t(Value);
}

}  // namespace

std::vector<std::string> FileCriterionTexts(int Item, bool WithPrompt) {
    std::vector<std::string> texts{"Ignore"};
    if (WithPrompt) texts.push_back("Prompt");
    switch (Item) {
        case 1:
        case 2:
        case 3:
        case 4:
            texts.insert(texts.end(), {"Matches", "Doesn't Match"});
            break;
        case 5:
        case 6:
            texts.insert(texts.end(),
                         {"Equal", "Not Equal", "Less Than", "LT Or Equal", "Greater Than", "GT Or Equal"});
            break;
        case 9:
            texts.insert(texts.end(), {"Equal", "Not Equal"});
            break;
        case 11:
            texts.insert(texts.end(), {"Has Phrase", "Lacks Phrase", "Blank Comment", "Non-Blank Cmt",
                                       "Keywords-Some", "Keywords-All"});
            break;
        default:
            break;
    }
    return texts;
}

uint8_t FileOpFromPromptIndex(int Item, int Index) {
    const int last = int(FileCriterionTexts(Item, false).size()) - 1;
    if (Index <= 0 || Index > last) return rcNone;
    // The comment's list goes on after its two phrase operators with blank, non-blank, some and
    // all keywords (10 to 13).
    if (Item == 11 && Index >= 3) return uint8_t(Index + 7);
    return uint8_t(Index);
}

uint8_t FileOpFromStoredCode(int Item, int Code) {
    return Code < 2 ? uint8_t(rcNone) : FileOpFromPromptIndex(Item, Code - 1);
}

std::string FirstCommentLine(const std::string& Text) {
    std::string line = Text.substr(0, Text.find('\n'));
    line = line.substr(0, line.find('\r'));
    return UpperCase(line);
}

int64_t WholeNumberText(const std::string& Text) {
    const std::string trimmed = Trim(Text);
    return trimmed.empty() ? 0 : StrToInt64(trimmed);
}

bool IsDupUniqueDefinition(TDataSet& Def) {
    return DefFlag(Def, "OnlyDuplicate") || DefFlag(Def, "OnlyUnique");
}

bool DefinitionPrompts(TDataSet& Def) {
    if (IsDupUniqueDefinition(Def)) return false;
    for (int item : kFileCriterionItems)
        if (NumberedInt(Def, "MatchCriteria", item) == 1) return true;
    return false;
}

void FillFileReportFromDefinition(TDataSet& Def, TFileReportScreenForm& Report) {
    Report.CatalogName.clear();
    for (int item = 1; item <= kColumnItems; ++item)
        Report.ColumnPos[size_t(item - 1)] = SmallNumber(NumberedInt(Def, "ColumnCriteria", item));
    // Without a title the window of a duplicate or unique definition would show none; its name
    // says what it lists.
    Report.ReportTitle = DefField(Def, "ReportName").AsString();
    if (IsDupUniqueDefinition(Def)) {
        Report.OnlyDuplicate = DefFlag(Def, "OnlyDuplicate");
        Report.OnlyUnique = DefFlag(Def, "OnlyUnique");
        Report.UseVersions = DefFlag(Def, "UseVersions");
        Report.UseFileSize = DefFlag(Def, "UseFileSize");
        return;
    }
    Report.FileNameSpec = DefField(Def, "FileName").AsString();
    Report.VolumeLabelSpec = DefField(Def, "VolumeLabel").AsString();
    Report.FolderNameSpec = DefField(Def, "FolderName").AsString();
    Report.ArchiveIDSpec = DefField(Def, "ArchiveID").AsString();
    Report.FileSizeValue = WholeNumberText(DefField(Def, "FileSize").AsString());
    TField& date = DefField(Def, "DateModified");
    if (!Trim(date.AsString()).empty()) Report.DateValue = date.AsDateTime();
    Report.CategoryCodeValue = DefField(Def, "CategoryCode").AsString().substr(0, 6);
    Report.CommentText = FirstCommentLine(DefField(Def, "Comment").AsString());
    for (int item : kFileCriterionItems)
        Report.Op[size_t(item - 1)] = FileOpFromStoredCode(item, NumberedInt(Def, "MatchCriteria", item));
    TField& required = DefField(Def, "MatchesRequired");
    Report.MatchesRequired = required.IsNull() ? 0 : required.AsInteger();
    for (int item : kFileSortItems)
        Report.SortSpec[size_t(item - 1)] = {SmallNumber(NumberedInt(Def, "SortColumnSpec", item)),
                                             SmallNumber(NumberedInt(Def, "SortCriteriaSpec", item))};
}

void CheckFileCategoryCode(dbsql::TDbTable& Categories, TWinControl& Code, const std::string& Text) {
    const std::string code = Trim(Text);
    if (code.empty() || !Categories.Active() || Categories.FindKey({Variant(UpperCase(code))})) return;
    catalog::ErrorBox(kFileCategoryMissingText, false);
    if (Code.CanFocus()) Code.SetFocus();
}

std::optional<std::string> PickFileCategoryCode() {
    auto* picker = TCustomForm::Create<cataloging::TCategoryForm>(Application);
    std::optional<std::string> code;
    try {
        if (picker->ShowModal() == mrOk) code = picker->CategoryTable->FieldByName("Code")->AsString();
    } catch (...) {
        picker->Free();
        throw;
    }
    picker->Free();
    return code;
}

}  // namespace reports
