#pragma once
// Stored file report definitions (records of CustomFileReportDefs): the criterion lists the editor
// and the prompt show, and the turning of a record into the file report's parameter block.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace framework {
class TDataSet;
class TWinControl;
}  // namespace framework
namespace dbsql {
class TDbTable;
}

namespace reports {

class TFileReportScreenForm;

// Messages of the editor and the prompt.
inline constexpr const char* kFileDateMissingText = "Date Modified Must Have A Value If Comparing";
inline constexpr const char* kFileCategoryMissingText =
    "Category Code Not Found - Try Using The \"Finger\" Button To Select From A List";

// Checks a typed category code (Text) against Categories: an unknown one gets an error box without
// a beep and the focus goes back to Code. A blank code passes.
void CheckFileCategoryCode(dbsql::TDbTable& Categories, framework::TWinControl& Code,
                           const std::string& Text);
// Shows the category picker; the code chosen, or none when it was closed without a choice.
std::optional<std::string> PickFileCategoryCode();

// The items that can carry a criterion, in the order the editor and the prompt list them.
inline constexpr std::array<int, 8> kFileCriterionItems{1, 2, 3, 4, 5, 6, 9, 11};
// The items that can carry a sort key.
inline constexpr std::array<int, 8> kFileSortItems{1, 2, 3, 4, 5, 6, 9, 12};

// The texts of an item's criterion list: with "Prompt" as the editor shows it (the index is the
// stored code), without it as the prompt shows it (the index is the stored code less one).
std::vector<std::string> FileCriterionTexts(int Item, bool WithPrompt);
// The report operator of an entry of the prompt's list of Item (0 "Ignore").
uint8_t FileOpFromPromptIndex(int Item, int Index);
// The report operator of a stored criterion code (0 "Ignore" and 1 "Prompt" give none).
uint8_t FileOpFromStoredCode(int Item, int Code);
// The text before the first line feed, then before the first carriage return, in upper case.
std::string FirstCommentLine(const std::string& Text);
// A whole number typed or stored as text: blank is 0; anything else that is not a whole number
// raises EConvertError.
int64_t WholeNumberText(const std::string& Text);

// Fills the report's parameter block from the definition's current record. A duplicate-only or
// unique-only definition passes its name as the title, the two options and the column positions.
void FillFileReportFromDefinition(framework::TDataSet& Def, TFileReportScreenForm& Report);
// True when the definition is a duplicate-only or unique-only one.
bool IsDupUniqueDefinition(framework::TDataSet& Def);
// True when a criterion of the definition is asked for at each run (never for duplicate-only or
// unique-only definitions).
bool DefinitionPrompts(framework::TDataSet& Def);

}  // namespace reports
