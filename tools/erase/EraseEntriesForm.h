#pragma once
// Erasing chosen file entries from the current catalog without touching any disk. The window lists
// the entries of <catalog>_CAT whose file name matches a pattern, keeps the tags the user sets in the
// temporary table ErasePointers (in the program folder, while the window is open), counts the list
// and the tagged entries with their bytes, and deletes the tagged entries on request. Only the
// catalog's file table changes: the volume records and the activity log stay as they are.

#include <cstdint>
#include <optional>
#include <string>

#include "framework/core/Masks.h"
#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDataSet;
class TDataSource;
class TEdit;
class TLabel;
class TPanel;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry
namespace grid {
class TCtlDbTable;
}

namespace tools {

// The bulk operations of RunTagOperation.
enum TEraseTagMode { etmTagAll = 1, etmClearTags, etmTagMatching, etmUntagMatching, etmInvertTags };

class TEraseSpecificFileEntriesForm : public framework::TForm {
public:
    explicit TEraseSpecificFileEntriesForm(framework::TComponent* AOwner);

    static constexpr const char* EraseQuestion =
        "This Operation Is Permanent - Are You Sure You Want To Continue?";
    int HelpContext = 37;

    dbsql::TDbTable *CatalogTable, *CategoryTable, *PointerTable;
    framework::TDataSource* CatalogSource;
    grid::TCtlDbTable* Table;
    framework::TPanel* ActiveCatalog;
    framework::TLabel *FilesInListLabel, *BytesInListLabel, *TaggedFilesLabel, *BytesInTaggedLabel;
    framework::TEdit* Pattern;
    framework::TBitBtn *ApplyBtn, *TagAllBtn, *ClearTagsBtn, *TagSeveralBtn, *UntagSeveralBtn, *InvertTagsBtn,
        *EraseBtn, *CloseBtn, *HelpBtn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;

    // The four counters.
    int64_t FilesInList = 0, BytesInList = 0, TaggedFiles = 0, BytesInTagged = 0;

    void CreateErasePointers();
    void ShowEraseCounters(bool TaggedOnly);
    void TagEntry();
    void UntagEntry();
    void ToggleEntryTag();
    void RunTagOperation(const std::string& FileSpec, TEraseTagMode Mode);

    void PatternEnter();
    // Applies the pattern when its text differs from the text it had on entering.
    void PatternExit();
    void TagAllClick();
    void ClearTagsClick();
    void TagSeveralClick();
    void UntagSeveralClick();
    void InvertTagsClick();
    void EraseTaggedClick();
    // A click on the Tagged cell of a data row.
    void TaggedCellClick(int32_t Row);

    // An entry's size: its FileSize as a whole number, 0 when it is not one.
    static int64_t EntrySize(framework::TDataSet& Entries);

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;

private:
    bool IsTagged(int32_t Tag);
    // Counts the listed entries (and measures the columns) from the first; a Caption shows the
    // progress window.
    void CountListed(const std::string& Caption, bool Cancellable, bool MeasureColumns);
    bool Listed(framework::TDataSet& Entries);

    framework::TLabel* FMeasure = nullptr;
    std::string FEnteredPattern;
    std::optional<framework::TMask> FMask;
    bool FLookupTagged = true;
};

}  // namespace tools
