#pragma once
// The import of file entries from a listing file ("Text File Import"): the profile window with its
// pages "General" and "Column Specs", and the run, which reads the listing into the temporary table
// New and merges it into the current catalog as one volume, as the cataloguing run does with a disk,
// the volume marked as imported (CatalogedFrom "*").

#include <string>

#include "cataloging/run/CatalogProgressForm.h"
#include "tools/import/ImportProfileForm.h"

namespace framework {
class TCheckBox;
}
namespace grid {
class TCtlNotebook;
}

namespace tools {

// The run's progress window: the cataloguing run's window, reading lines instead of folders.
class TTFImportProgressForm : public cataloging::TCatalogProgressForm {
public:
    explicit TTFImportProgressForm(framework::TComponent* AOwner);

    static constexpr const char* DuplicateText = "I Have Found A Duplicate File Entry In This Text File.";

    // One complete entry of the listing into New, counted; nothing when it is a duplicate or skipped.
    void PostImportEntry(const TFileImportEntry& Entry);
    void ShowImportCounters();
    // Volume record, merge and activity log.
    void UpdateCatalog() override;
};

class TImportFilesForm : public TImportProfileForm {
public:
    explicit TImportFilesForm(framework::TComponent* AOwner);

    static constexpr const char* NoFileText = "You Must Specify A File From Which To Import File Entries";
    static constexpr const char* NoConfigText =
        "Error Reading Catalog Configuration Record - Procedure Aborted";
    static constexpr const char* BlankLabelText = "The Volume Label Cannot Be Blank";
    static constexpr const char* DeleteNewErrorText =
        "There Was An Error Encountered While Trying To Delete The Temporary File Used For Cataloging "
        "Purposes";

    grid::TCtlNotebook* Notebook;
    framework::TCheckBox* KeepInMemory;
    // The progress window while a run has one.
    TTFImportProgressForm* Progress = nullptr;

    void BitBtn3Click();

protected:
    void RunClick() override { BitBtn3Click(); }

private:
    bool LoadImportOptions(TTFImportProgressForm& Run);
    // Asks for the label; false when the user cancels.
    bool AskVolumeLabel(TTFImportProgressForm& Run);
    void ReadListing(TTFImportProgressForm& Run, TImportFile& File, const TFileImportColumns& Columns);
    void FinishRun(TTFImportProgressForm& Run);
};

// Opens the window modally over the current catalog.
void ShowImportFilesForm();

}  // namespace tools
