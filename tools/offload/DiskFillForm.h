#pragma once
// TDiskFillForm, "Offload Files To Removable Disks": the files of one folder in a grid, with their
// tags and counters, the display order, the tag commands, erasing the tagged files, inverting the
// tags of files the current catalog already holds and showing an archive's comments. The copy and
// move of the tagged files onto disks are started from its two buttons by the transfer run.

#include <string>

#include "framework/ui/Forms.h"
#include "tools/offload/DiskFillList.h"
#include "tools/offload/DiskFillTransfer.h"
#include "tools/shared/ListParts.h"

namespace framework {
class TBitBtn;
class TButton;
class TCheckBox;
class TDirectoryListBox;
class TDriveComboBox;
class TEdit;
class TGroupBox;
class TLabel;
class TPanel;
class TRadioButton;
class TSplitter;
}  // namespace framework
namespace entry {
class TCtlRegistryStore;
class TCtlFormState;
class TCtlComponentState;
}  // namespace entry
namespace grid {
class TCtlTable;
}
namespace dbsql {
class TDbTable;
}
namespace codecs {
class TZipReader;
}

namespace tools {

class TDiskFillForm : public framework::TForm, public TListCounters {
public:
    explicit TDiskFillForm(framework::TComponent* AOwner);
    ~TDiskFillForm() override;

    framework::TPanel *TopPanel, *CounterPanel, *LeftPanel, *RightPanel, *ButtonPanel;
    framework::TCheckBox* AutoTag;
    framework::TLabel* PatternLabel;
    framework::TEdit* PatternEdit;
    framework::TButton* ApplyBtn;
    framework::TPanel* Panel6;
    framework::TLabel* ActiveCatalogCaption;
    framework::TLabel* ActiveCatalogName;
    framework::TDriveComboBox* DriveSelect;
    framework::TDirectoryListBox* FolderSelect;
    framework::TSplitter* Splitter1;
    framework::TPanel* Folder;
    grid::TCtlTable* FileGrid;
    framework::TGroupBox* SortGroup;
    framework::TRadioButton *SortNone, *SortFName, *SortFExt, *SortSize, *SortDate;
    framework::TCheckBox* SortReverse;
    framework::TButton *TagAllBtn, *ClearTagsBtn, *TagSeveralBtn, *UntagSeveralBtn, *InvertTagsBtn,
        *InvertDupBtn, *ViewCmtBtn, *EraseBtn, *CopyBtn, *MoveBtn;
    framework::TBitBtn *CloseBtn, *HelpBtn;
    dbsql::TDbTable* CatalogTable;
    codecs::TZipReader* ZipReader;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* ComponentState;

    // The help topic of the Help button.
    int HelpContext = 79;

    // The files of the folder read, with their tags and counters.
    TDiskFillList List;
    bool WindowShown = false;

    // Reads the folder the folder list shows through the pattern into the list.
    void UpdateFileList();
    // The display order of the sort buttons.
    void SortFileList();
    void ShowListCounters();
    // The folder read, with its backslash (none after a drive's colon or a backslash).
    std::string FolderPath() const;

    void FormResize();
    void SortNoneClick();
    void FileGridLockedCellClick(int32_t Row, int32_t Col);
    void Panel6Click();
    void TagAllBtnClick();
    void ClearTagsBtnClick();
    void InvertTagsBtnClick();
    void TagSeveral(bool Tag);
    void EraseBtnClick();
    void InvertDupBtnClick();
    void ViewCmtBtnClick();

    // ---- The copy or move run (onto one target disk after another) ----
    TDiskFillSquelch Squelch;  // lives as long as the window
    bool RecommendedDiskChosen = false;
    struct TTargetDisk {
        char Drive = 'A';
        uint32_t Serial = 0;
        std::string Label;
        int64_t Capacity = 0, ClusterSize = 0, FreeBytes = 0;
    } Target;
    bool MoveMode = false, SourceListChanged = false, SomethingTransferred = false;
    bool NoToAll = false, YesToAll = false;
    class TDiskFillPromptForm* Prompt = nullptr;
    class TDiskFillCopyForm* CopyForm = nullptr;

    void CopyBtnClick(bool Move);
    bool ReadTargetDiskInfo();
    bool CheckTargetEmpty();
    void TransferNextFile();
    // 0 copied, 1 failed (the disk is finished), 2 skipped (nothing copied).
    int CopyOneFile(const std::string& Name);
    void RecatalogTargetDisk();

protected:
    void DoShow() override;

private:
    void TagsChanged();
    std::string FEnteredPattern;
};

}  // namespace tools
