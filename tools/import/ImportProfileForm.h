#pragma once
// What both text import windows share: the saved profiles (FIProfiles for file entries, CIProfiles
// for comments, in the program folder) with their list, navigator and fields, the browse button of
// the file to import, "View Sample" and its viewer window, and the reading of the current profile's
// columns (unposted edits included) for a run.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/ProgramTables.h"
#include "framework/ui/Forms.h"
#include "tools/import/ImportText.h"

namespace framework {
class TBitBtn;
class TDataSource;
class TDBEdit;
class TDBNavigator;
class TLabel;
class TPanel;
}  // namespace framework
namespace entry {
class TCtlAttachedButton;
class TCtlComponentState;
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry
namespace grid {
class TCtlDbPictureField;
class TCtlDbTable;
class TCtlTextFileViewer;
}  // namespace grid
namespace dbsql {
class TDbTable;
}

namespace tools {

// The profile tables: the file import's and the comment import's.
const catalog::TTableSchema& FileImportProfilesSchema();
const catalog::TTableSchema& CommentImportProfilesSchema();

// One row of the column grid: its caption and the profile's two fields.
struct TImportColumnRow {
    const char* Caption;
    const char* StartField;
    const char* EndField;
};

class TImportProfileForm : public framework::TForm {
public:
    TImportProfileForm(framework::TComponent* AOwner, const catalog::TTableSchema& Schema);
    ~TImportProfileForm() override;

    static constexpr const char* BlankNameText = "The Profile Name Cannot Be Blank";
    static constexpr const char* DuplicateNameText =
        "A Profile With This Name Aleady Exists - Please Change It";
    static constexpr const char* OpenErrorText = "Error Opening Specified Input File";
    static constexpr const char* ReadErrorText = "Error Reading Specified Input File";

    int HelpContext = 0;
    const catalog::TTableSchema& Schema;
    dbsql::TDbTable* ProfileTable;
    framework::TDataSource* ProfileSource;
    framework::TPanel* ProfilesPanel;
    grid::TCtlDbTable* ProfileGrid;
    framework::TDBNavigator* Navigator;
    framework::TDBEdit *ProfileName, *ImportFrom;
    entry::TCtlAttachedButton* CtlAttachedButton2;
    grid::TCtlDbPictureField* SkipLines;
    // The column fields by profile field name.
    std::vector<grid::TCtlDbPictureField*> ColumnFields;
    framework::TBitBtn *BitBtn1, *BitBtn3, *CloseBtn, *HelpBtn;

    // Opens the file a run reads; the default reads it through the platform. Tests replace it.
    std::function<std::unique_ptr<TImportFile>(const std::string& Path)> OpenImportFile;

    void ProfileTableNewRecord();
    void ProfileTableBeforePost();
    void CtlAttachedButton2Click();
    void BitBtn1Click();

    // The current profile's value of a field, unposted edits included.
    std::string ProfileText(const char* Field) const;
    int ProfileInt(const char* Field) const;
    TImportColumns ProfileColumns(const char* StartField, const char* EndField) const;

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;
    // The profile list on Parent (a panel "Profiles Available" with the grid and the navigator).
    void BuildProfileList(framework::TWinControl& Parent, int Left, int Top, int Height);
    // "Profile Name", "File From Which To Import" with its browse button and "Lines To Skip".
    void BuildGeneralFields(framework::TWinControl& Parent, int Left, int Top);
    // The grid of items with their starting and ending columns.
    void BuildColumnGrid(framework::TWinControl& Parent, int Left, int Top,
                         const std::vector<TImportColumnRow>& Rows);
    // "&View Sample", the run button, Close and Help in a row on Parent.
    void BuildButtons(framework::TWinControl& Parent, int Left, int Top, const char* RunCaption);
    virtual void RunClick() = 0;

private:
    grid::TCtlDbPictureField* NewColumnField(framework::TWinControl& Parent, const char* Field, int Left,
                                             int Top);
};

// The viewer of a sample file: the text in a fixed font, and the caret's line and column below.
class TTextFileViewerForm : public framework::TForm {
public:
    explicit TTextFileViewerForm(framework::TComponent* AOwner);
    int HelpContext = 64;
    grid::TCtlTextFileViewer* TV;
    framework::TLabel* StatusLabel;
    framework::TBitBtn *CloseBtn, *HelpBtn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    void TVShowStatus(int LineNum, int ColNum);

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;
};

}  // namespace tools
