#pragma once
// The shell views: a tree of folders, the contents of one folder as icons, a list or detail
// columns, and a drop-down of the desktop, the drives and the path to the folder shown. Linked
// views share one controller; the tree's selection fills the list, the list's folder shows in the
// combo box, and choosing an entry in the combo box browses the list. Each view follows the file
// system through its own change notification, renames items in place, offers the items' context
// menu and takes part in drag-and-drop.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Strings.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/ListView.h"
#include "framework/stdctrls/TreeView.h"
#include "framework/ui/DragDrop.h"
#include "sysutil/shell/UtShell.h"
#include "sysutil/shell/UtShlCtl.h"

namespace framework {
class TPopupMenu;
}

namespace sysutil {

class TUtCustomShellTreeView;
class TUtCustomShellListView;
class TUtCustomShellComboBox;
class TUtViewDropTarget;

enum TUtTreeOption {
    toAllowRename,
    toAllowDrag,
    toAllowDrop,
    toColorCompressed,
    toExpandTopNode,
    toExtendedMenu,
    toShellMenu,
    toShowFiles,
    toShowHidden
};
using TUtTreeOptions = uint32_t;
constexpr TUtTreeOptions TreeOption(TUtTreeOption o) {
    return 1u << o;
}

enum TUtListOption {
    loAllowRename,
    loAllowDrag,
    loAllowDrop,
    loColorCompressed,
    loExtendedMenu,
    loOpenFoldersInNewWindow,
    loShellMenu,
    loShowHidden,
    loSortTypeByExt
};
using TUtListOptions = uint32_t;
constexpr TUtListOptions ListOption(TUtListOption o) {
    return 1u << o;
}

enum TUtOptimization { otEnumerate, otDisplay };

using TUtEnumItemEvent =
    std::function<void(framework::TObject* Sender, TUtShellItem* ShellItem, bool& Accept)>;
using TUtFolderSelectedEvent = std::function<void(framework::TObject* Sender, TUtShellFolder* Folder)>;
using TUtItemDblClickEvent =
    std::function<void(framework::TObject* Sender, TUtShellItem* Item, bool& DefaultAction)>;
using TUtItemSelectedEvent = std::function<void(framework::TObject* Sender, TUtShellItem* Item)>;

// The timer of the hover expansion of a tree node under a drag.
inline constexpr uintptr_t kExpandTimer = 55;

// ---- Tree ----

class TUtCustomShellTreeView : public framework::TCustomTreeView {
public:
    explicit TUtCustomShellTreeView(framework::TComponent* AOwner);
    ~TUtCustomShellTreeView() override;

    TUtCustomShellController* Controller();
    framework::TColor CompressedColor() const { return FCompressedColor; }
    void SetCompressedColor(framework::TColor Value);
    int ExpandInterval = 2000;
    bool Filtered() const { return FFiltered; }
    void SetFiltered(bool Value);
    TUtCustomShellListView* ListView() const { return FListView; }
    void SetListView(TUtCustomShellListView* Value);
    TUtTreeOptions Options() const { return FOptions; }
    void SetOptions(TUtTreeOptions Value);
    const std::string& RootFolder() const { return FRootFolder; }
    void SetRootFolder(const std::string& Value);
    TUtSpecialRootFolder SpecialRootFolder() const { return FSpecialRootFolder; }
    void SetSpecialRootFolder(TUtSpecialRootFolder Value);
    TUtSpecialRootFolder SpecialStartInFolder() const { return FSpecialStartInFolder; }
    void SetSpecialStartInFolder(TUtSpecialRootFolder Value);
    const std::string& StartInFolder() const { return FStartInFolder; }
    void SetStartInFolder(const std::string& Value);
    std::string Version() const { return "1.02"; }
    double ShellVersion = 5.0;

    // The folder of a node (nil for none) and the selected one.
    TUtShellFolder* FolderOf(const framework::TTreeNode* Node) const;
    TUtShellFolder* SelectedFolder() const { return FCurrent; }
    framework::TTreeNode* NodeOfIDList(LPCITEMIDLIST List) const;
    // Selects the folder's node (false when it has none) or, when not exact, expands the path down
    // to it and selects it.
    bool SelectFolder(LPCITEMIDLIST List, bool Exact);
    // Expands each level from the root down to the folder; raises 240 when a level has no node.
    framework::TTreeNode* ExpandToIDList(LPCITEMIDLIST List);
    bool Started() const { return FStarted; }
    TUtShellNotification& ShellNotification() { return *FNotification; }
    const std::shared_ptr<framework::IDropTarget>& ViewDropTarget() const;
    void Refill() { FillTree(); }

    TUtEnumItemEvent OnFilterItem;
    TUtFolderSelectedEvent OnFolderSelected;
    TUtShellNotifyEvent3 OnShellChangeNotify;

    void Dispatch(framework::TMessage& Message) override;

protected:
    virtual void DoFilterItem(TUtShellItem* Item, bool& Accept);
    virtual void DoShellChangeNotify(TUtShellItem* OldItem, TUtShellItem* NewItem, TUtNotifyEventsSet Events);
    virtual void FillTree();

    void CreateWnd() override;
    void Loaded() override;
    void Paint() override;
    bool CanExpand(framework::TTreeNode* Node) override;
    void Change(framework::TTreeNode* Node) override;
    bool CanEdit(framework::TTreeNode* Node) override;
    void Edit(framework::TTreeNode* Node, std::string& S) override;
    void StartItemDrag(framework::TTreeNode* Node) override;
    bool CustomDrawItem(framework::TTreeNode* Node, framework::TCustomDrawState State) override;
    void Delete(framework::TTreeNode* Node) override;
    void MouseDown(framework::TMouseButton Button, framework::TShiftState Shift, int X, int Y) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    friend class TUtCustomShellListView;
    friend class TUtViewDropTarget;
    bool Loading() const;
    void TakeController();
    framework::TTreeNode* AddFolderNode(framework::TTreeNode* Parent, TUtShellFolder* Folder);
    void LoadChildren(framework::TTreeNode* Node);
    void SortChildren(framework::TTreeNode* Node);
    void ApplyStartFolder();
    LPITEMIDLIST StartIDList() const;
    void Notified(TUtShellItem* OldItem, TUtShellItem* NewItem, TUtNotifyEventsSet Events);
    void DragHover(framework::TTreeNode* Node);
    void ShowInList();

    TUtCustomShellController* FController = nullptr;
    bool FOwnsController = false;
    framework::TColor FCompressedColor = 0xFF0000;
    bool FFiltered = false;
    TUtCustomShellListView* FListView = nullptr;
    TUtTreeOptions FOptions = TreeOption(toAllowRename) | TreeOption(toAllowDrag) | TreeOption(toAllowDrop) |
                              TreeOption(toExpandTopNode) | TreeOption(toShellMenu);
    std::string FRootFolder, FStartInFolder;
    TUtSpecialRootFolder FSpecialRootFolder = sfDesktop;
    TUtSpecialRootFolder FSpecialStartInFolder = sfNone;
    TUtShellFolderList FFolders;
    TUtShellFolder* FCurrent = nullptr;
    bool FStarted = false;
    bool FFromList = false;
    bool FFilling = false;
    std::unique_ptr<TUtShellNotification> FNotification;
    std::shared_ptr<framework::IDropTarget> FDropTarget;
    framework::TTreeNode* FHoverNode = nullptr;
};

class TUtShellTreeView : public TUtCustomShellTreeView {
public:
    using TUtCustomShellTreeView::TUtCustomShellTreeView;
};

// ---- List ----

class TUtCustomShellListView : public framework::TCustomListView {
public:
    explicit TUtCustomShellListView(framework::TComponent* AOwner);
    ~TUtCustomShellListView() override;

    TUtCustomShellController* Controller();
    TUtCustomShellComboBox* ComboBox() const { return FComboBox; }
    void SetComboBox(TUtCustomShellComboBox* Value);
    framework::TColor CompressedColor() const { return FCompressedColor; }
    void SetCompressedColor(framework::TColor Value);
    bool Filtered() const { return FFiltered; }
    void SetFiltered(bool Value);
    const std::string& FileFilter() const { return FFileFilter; }
    void SetFileFilter(const std::string& Value);
    bool OpenDialogMode = false;
    TUtOptimization Optimization = otEnumerate;
    TUtListOptions Options() const { return FOptions; }
    void SetOptions(TUtListOptions Value);
    const std::string& RootFolder() const { return FRootFolder; }
    void SetRootFolder(const std::string& Value);
    TUtSpecialRootFolder SpecialRootFolder() const { return FSpecialRootFolder; }
    void SetSpecialRootFolder(TUtSpecialRootFolder Value);
    TUtCustomShellTreeView* TreeView() const { return FTreeView; }
    void SetTreeView(TUtCustomShellTreeView* Value);
    // The style with its columns and detail texts (built once when details are chosen).
    void SetViewStyle(framework::TViewStyle Value);
    std::string Version() const { return "1.02"; }
    double ShellVersion = 5.0;

    TUtShellFolder* CurrentFolder() const { return FFolder.get(); }
    // The item of the last changed row (nil for none).
    TUtShellItem* CurrentItem() const { return FCurrentItem; }
    // The items shown, in the order of the rows.
    int ItemCount() const;
    TUtShellItem* ShellItem(int Row) const;
    // Copies of the selected items.
    TUtShellItemList& SelectedItems() { return FSelected; }
    framework::TPopupMenu* ViewMenu() const { return FViewMenu; }
    TUtShellNotification& ShellNotification() { return *FNotification; }
    const std::shared_ptr<framework::IDropTarget>& ViewDropTarget() const;
    // The label of the drag image for the selected items ("2 files, 3 folders").
    std::string DragLabel() const;
    // The drag image of several items (nil for one).
    std::unique_ptr<framework::TBitmap> DragImage() const;
    // The file type text of an extension (".txt") from the shared MIME database.
    std::string FileTypeOf(const std::string& Extension) const;

    void ShowFolder(TUtShellItem* Item);
    void BrowseFolder(TUtShellItem* Folder);
    void Refill();

    // The sort state shared by every list view.
    static int SortColumn;
    static bool SortAscending;

    TUtItemDblClickEvent OnItemDblClick;
    TUtItemSelectedEvent OnItemSelected;
    TUtEnumItemEvent OnFilterItem;
    framework::TNotifyEvent OnListFilled;
    TUtShellNotifyEvent3 OnShellChangeNotify;

    void Dispatch(framework::TMessage& Message) override;

protected:
    virtual void DoFilterItem(TUtShellItem* Item, bool& Accept);
    virtual void DoItemDblClick(TUtShellItem* Item, bool& DefaultAction);
    virtual void DoItemSelected(TUtShellItem* Item);
    virtual void DoListFilled();
    virtual void DoShellChangeNotify(TUtShellItem* OldItem, TUtShellItem* NewItem, TUtNotifyEventsSet Events);
    virtual void FillList(TUtShellItem* Item);
    virtual void BuildColumns();
    virtual void AddItemDetails(TUtShellItem* Item);
    virtual void SortItems();

    void CreateWnd() override;
    void Loaded() override;
    bool OwnerDataFetch(framework::TListItem* Item) override;
    int OwnerDataFind(framework::TItemFind Find, const std::string& FindString, void* FindData,
                      int StartIndex, bool Wrap) override;
    void ColClick(framework::TListColumn* Column) override;
    void DoSelectItem(framework::TListItem* Item, bool Selected) override;
    void DblClick() override;
    bool CanEdit(framework::TListItem* Item) override;
    void Edit(framework::TListItem* Item, std::string& S) override;
    void StartItemDrag(framework::TListItem* Item) override;
    bool CustomDrawItem(framework::TListItem* Item, framework::TCustomDrawState State) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    friend class TUtCustomShellTreeView;
    friend class TUtCustomShellComboBox;
    friend class TUtViewDropTarget;
    bool Loading() const;
    void TakeController();
    TUtShellItemList& InUse() const;
    void ApplyMasks();
    void SyncTree();
    void RefreshSelection();
    void Notified(TUtShellItem* OldItem, TUtShellItem* NewItem, TUtNotifyEventsSet Events);
    void BuildFileTypes();
    void MakeViewMenu();
    bool UsesStandardColumns() const;
    bool IsBitBucket() const;

    TUtCustomShellController* FController = nullptr;
    bool FOwnsController = false;
    TUtCustomShellComboBox* FComboBox = nullptr;
    TUtCustomShellTreeView* FTreeView = nullptr;
    framework::TColor FCompressedColor = 0xFF0000;
    bool FFiltered = false;
    std::string FFileFilter;
    TUtListOptions FOptions = ListOption(loAllowRename) | ListOption(loAllowDrag) | ListOption(loAllowDrop) |
                              ListOption(loShellMenu);
    std::string FRootFolder;
    TUtSpecialRootFolder FSpecialRootFolder = sfNone;
    mutable TUtShellItemList FItems, FFilteredItems;
    TUtShellItemList FSelected;
    std::unique_ptr<TUtShellFolder> FFolder;
    TUtShellItem* FCurrentItem = nullptr;
    bool FColumnsBuilt = false, FDetailsBuilt = false;
    bool FRefilling = false;
    bool FDragging = false;
    std::vector<std::string> FCaptions;
    std::vector<std::pair<std::string, std::string>> FFileTypes;  // upper-case extension, type text
    framework::TPopupMenu* FViewMenu = nullptr;
    std::unique_ptr<TUtShellNotification> FNotification;
    std::shared_ptr<framework::IDropTarget> FDropTarget;
};

class TUtShellListView : public TUtCustomShellListView {
public:
    using TUtCustomShellListView::TUtCustomShellListView;
};

// ---- Combo box ----

class TUtCustomShellComboBox : public framework::TCustomComboBox {
public:
    explicit TUtCustomShellComboBox(framework::TComponent* AOwner);
    ~TUtCustomShellComboBox() override;

    TUtCustomShellController* Controller();
    TUtCustomShellListView* ListView() const { return FListView; }
    void SetListView(TUtCustomShellListView* Value);
    TUtShellFolderList& Folders() { return FFolders; }
    TUtShellFolder* Folder(int Index) const { return FFolders.Items(Index); }
    TUtShellFolder* ChosenFolder() const { return FChosen; }
    // Fills the box with the desktop, its folders and My Computer's drives.
    void FillCombo();
    // Selects the folder's entry, inserting its path below the nearest listed ancestor.
    void ShowFolder(LPCITEMIDLIST List);
    TUtShellNotification& ShellNotification() { return *FNotification; }

    std::function<void(TUtCustomShellComboBox*Sender, TUtShellFolder*Folder)> OnBeforeChoose, OnAfterChoose;

    void Dispatch(framework::TMessage& Message) override;

protected:
    void CreateWnd() override;
    void DrawItem(int Index, const framework::TRect& Rect, framework::TOwnerDrawState State) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    friend class TUtCustomShellListView;
    void TakeController();
    void Choose();
    void RemoveInserted();
    void Rebuild();
    void Notified();

    TUtCustomShellController* FController = nullptr;
    bool FOwnsController = false;
    TUtCustomShellListView* FListView = nullptr;
    TUtShellFolderList FFolders;
    TUtShellFolder* FChosen = nullptr;
    bool FRefillPending = false;
    bool FChoosing = false;
    std::unique_ptr<TUtShellNotification> FNotification;
};

}  // namespace sysutil
