#include "sysutil/shell/UtShlViews.h"

#include <QByteArray>
#include <QMimeDatabase>

#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "framework/core/DateTime.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Windows.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/ShellNamespace.h"
#include "platform/Volume.h"
#include "sysutil/ShBase.h"
#include "sysutil/ShConst.h"
#include "sysutil/ShRegEx.h"
#include "sysutil/shell/UtShlDD.h"
#include "sysutil/shell/UtShlDrop.h"

using namespace framework;

namespace sysutil {

namespace {

// A view takes the controller of the first linked view that has one, else makes one of its own.
void ShareController(TUtCustomShellController*& Mine, bool& Owns,
                     std::initializer_list<TUtCustomShellController*> Linked) {
    for (TUtCustomShellController* c : Linked)
        if (c) {
            Mine = c;
            return;
        }
    Mine = new TUtCustomShellController(nullptr);
    Owns = true;
}

// Posted to the tree after a rename: the renamed node's branch is reloaded once the edit is over.
constexpr UINT kReloadMessage = WM_APP + 55;

constexpr uint32_t kItemEffects =
    platform::DROPEFFECT_COPY | platform::DROPEFFECT_MOVE | platform::DROPEFFECT_LINK;

std::string DriveText(const std::string& Value) {
    return Value.size() == 2 && Value[1] == ':' ? Value + "\\" : Value;
}

// An hourglass over every window while it lives.
class THourGlass {
public:
    THourGlass() : FOld(Screen ? Screen->Cursor() : crDefault) {
        if (Screen) Screen->SetCursor(crHourGlass);
    }
    ~THourGlass() {
        if (Screen) Screen->SetCursor(FOld);
    }
    THourGlass(const THourGlass&) = delete;
    THourGlass& operator=(const THourGlass&) = delete;

private:
    TCursor FOld;
};

bool OnRemovableDrive(const TUtShellItem& Item) {
    if (Item.Path.size() < 2 || Item.Path[1] != ':') return false;
    const uint32_t type = platform::GetDriveType(Item.Path.substr(0, 2) + "\\");
    return type == platform::DRIVE_REMOVABLE || type == platform::DRIVE_CDROM;
}

bool IsDriveRoot(const TUtShellItem& Item) {
    return Item.Path.size() == 3 && Item.Path[1] == ':' && Item.Path[2] == '\\';
}

std::string ExtensionOf(const std::string& Path) {
    const size_t slash = Path.rfind('\\');
    const size_t dot = Path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    return Path.substr(dot);
}

std::string NamePart(const std::string& Path) {
    const size_t slash = Path.rfind('\\');
    return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

std::string GroupDigits64(int64_t value) {
    std::string digits = std::to_string(value), out;
    int n = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (n > 0 && n % 3 == 0) out.insert(out.begin(), ',');
        out.insert(out.begin(), *it);
        ++n;
    }
    return out;
}

// The relative list of a new name inside the folder of an item (renaming through the file
// system): moves the item and returns the new absolute list, nil when the rename failed.
LPITEMIDLIST RenameItem(TUtShellItem& Item, const std::string& NewName) {
    if (!Item.IsFileSystem || NewName.empty() || NewName.size() > 260 ||
        NewName.find_first_of("\\/:*?\"<>|") != std::string::npos)
        return nullptr;
    const size_t slash = Item.Path.rfind('\\');
    if (slash == std::string::npos) return nullptr;
    const std::string target = Item.Path.substr(0, slash + 1) + NewName;
    if (!platform::MoveFile(Item.Path, target)) return nullptr;
    return Item.Controller()->ParsePath(target);
}

}  // namespace

// ---- The views' drop target: hands the drag to the folder under the pointer ----

class TUtViewDropTarget : public IDropTarget {
public:
    TUtViewDropTarget(TUtCustomShellTreeView* Tree, TUtCustomShellListView* List)
        : FTree(Tree), FList(List) {}

    platform::HRESULT DragEnter(platform::IDataObject* Data, uint32_t KeyState, TPoint Pt,
                                uint32_t& Effect) override {
        FData = Data;
        FPath.clear();
        FInner.reset();
        return Retarget(KeyState, Pt, Effect);
    }
    platform::HRESULT DragOver(uint32_t KeyState, TPoint Pt, uint32_t& Effect) override {
        return Retarget(KeyState, Pt, Effect);
    }
    platform::HRESULT DragLeave() override {
        if (FInner) FInner->DragLeave();
        Reset();
        return platform::S_OK;
    }
    platform::HRESULT Drop(platform::IDataObject* Data, uint32_t KeyState, TPoint Pt,
                           uint32_t& Effect) override {
        FData = Data;
        const std::string path = FolderAt(Pt);
        Reset();
        if (path.empty()) {
            Effect = platform::DROPEFFECT_NONE;
            return platform::S_OK;
        }
        TUtFolderDropTarget target(path);
        return target.Drop(Data, KeyState, Pt, Effect);
    }

private:
    platform::HRESULT Retarget(uint32_t KeyState, TPoint Pt, uint32_t& Effect) {
        const std::string path = FolderAt(Pt);
        if (path != FPath || !FInner) {
            if (FInner) FInner->DragLeave();
            FInner.reset();
            FPath = path;
            if (path.empty()) {
                Effect = platform::DROPEFFECT_NONE;
                return platform::S_OK;
            }
            FInner = std::make_unique<TUtFolderDropTarget>(path);
            return FInner->DragEnter(FData, KeyState, Pt, Effect);
        }
        return FInner->DragOver(KeyState, Pt, Effect);
    }

    void Reset() {
        FInner.reset();
        FPath.clear();
        if (FTree) {
            FTree->SetDropTarget(nullptr);
            FTree->DragHover(nullptr);
        }
        if (FList) FList->SetDropTarget(-1);
    }

    // The folder that takes the drop at a point (highlighting it); empty when none does.
    std::string FolderAt(TPoint Pt) {
        if (FTree) {
            if (Pt.Y < 10 && FTree->TopItem() && FTree->TopItem()->GetPrevVisible())
                FTree->SetTopItem(FTree->TopItem()->GetPrevVisible());
            else if (Pt.Y > FTree->ClientHeight() - 30 && FTree->TopItem() &&
                     FTree->TopItem()->GetNextVisible())
                FTree->SetTopItem(FTree->TopItem()->GetNextVisible());
            TTreeNode* node = FTree->GetNodeAt(Pt.X, Pt.Y);
            FTree->SetDropTarget(node);
            FTree->DragHover(node);
            TUtShellFolder* folder = FTree->FolderOf(node);
            return folder && folder->IsFolder ? folder->Path : std::string();
        }
        const int index = FList->IndexAt(Pt.X, Pt.Y);
        FList->SetDropTarget(index);
        if (index < 0) {
            // Over no item the list's own folder takes the drop, but not the list's own items.
            if (FList->FDragging || !FList->CurrentFolder()) return std::string();
            return FList->CurrentFolder()->IsFolder ? FList->CurrentFolder()->Path : std::string();
        }
        TUtShellItem* item = FList->ShellItem(index);
        return item && item->IsFolder ? item->Path : std::string();
    }

    TUtCustomShellTreeView* FTree;
    TUtCustomShellListView* FList;
    platform::IDataObject* FData = nullptr;
    std::string FPath;
    std::unique_ptr<TUtFolderDropTarget> FInner;
};

// ======================================================================================
// Tree
// ======================================================================================

TUtCustomShellTreeView::TUtCustomShellTreeView(TComponent* AOwner) : TCustomTreeView(AOwner) {
    SetBounds(0, 0, 180, 270);
    RightClickSelect = true;
    FNotification = std::make_unique<TUtShellNotification>(nullptr);
    FNotification->SetWatchSubFolders(true);
    FNotification->QueueLimit = 5;
    FNotification->OnShellChangeNotify = [this](TObject*, TUtShellItem* a, TUtShellItem* b,
                                                TUtNotifyEventsSet e) { Notified(a, b, e); };
    FDropTarget = std::make_shared<TUtViewDropTarget>(this, nullptr);
}

TUtCustomShellTreeView::~TUtCustomShellTreeView() {
    if (HandleAllocated()) KillTimer(Handle(), kExpandTimer);
    FNotification.reset();
    if (FListView && FListView->FTreeView == this) FListView->FTreeView = nullptr;
    FCurrent = nullptr;
    FHoverNode = nullptr;
    Items().Clear();
    FFolders.Clear();
    if (FOwnsController) delete FController;
}

bool TUtCustomShellTreeView::Loading() const {
    return (ComponentState() & csLoading) != 0;
}

TUtCustomShellController* TUtCustomShellTreeView::Controller() {
    TakeController();
    return FController;
}

void TUtCustomShellTreeView::TakeController() {
    if (FController) return;
    ShareController(FController, FOwnsController, {FListView ? FListView->FController : nullptr});
    if (!Images()) SetImages(FController->SmallImages());
}

const std::shared_ptr<IDropTarget>& TUtCustomShellTreeView::ViewDropTarget() const {
    return FDropTarget;
}

void TUtCustomShellTreeView::CreateWnd() {
    TCustomTreeView::CreateWnd();
    TakeController();
    if (FOptions & TreeOption(toAllowDrop)) RegisterDragDrop(Handle(), FDropTarget);
    DisableDragDrop = !(FOptions & TreeOption(toAllowDrag));
    if (!Loading()) FillTree();
}

void TUtCustomShellTreeView::Loaded() {
    TCustomTreeView::Loaded();
    if (HandleAllocated()) FillTree();
}

void TUtCustomShellTreeView::SetCompressedColor(TColor Value) {
    FCompressedColor = Value;
    if (FOptions & TreeOption(toColorCompressed)) Invalidate();
}

void TUtCustomShellTreeView::SetFiltered(bool Value) {
    FFiltered = Value;
    if (Loading() || !HandleAllocated()) return;
    FillTree();
    if (Items().GetFirstNode()) SetSelected(Items().GetFirstNode());
}

void TUtCustomShellTreeView::SetListView(TUtCustomShellListView* Value) {
    if (Value == FListView) return;
    if (FListView) FListView->FTreeView = nullptr;
    FListView = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (Value->FTreeView != this) Value->SetTreeView(this);
}

void TUtCustomShellTreeView::SetOptions(TUtTreeOptions Value) {
    const TUtTreeOptions changed = Value ^ FOptions;
    FOptions = Value;
    if ((changed & TreeOption(toAllowDrop)) && HandleAllocated() && !(ComponentState() & csDesigning)) {
        if (Value & TreeOption(toAllowDrop))
            RegisterDragDrop(Handle(), FDropTarget);
        else
            RevokeDragDrop(Handle());
    }
    DisableDragDrop = !(Value & TreeOption(toAllowDrag));
    if (changed & TreeOption(toColorCompressed)) Invalidate();
    if ((changed & (TreeOption(toShowHidden) | TreeOption(toShowFiles))) && HandleAllocated() && !Loading())
        FillTree();
}

void TUtCustomShellTreeView::SetRootFolder(const std::string& Value) {
    FRootFolder = DriveText(Value);
    if (FRootFolder.empty()) {
        FCurrent = nullptr;
        Items().Clear();
        FFolders.Clear();
        return;
    }
    if (Loading()) return;
    FSpecialRootFolder = sfNone;
    if (!FStartInFolder.empty() || FSpecialStartInFolder != sfNone) FStarted = false;
    if (HandleAllocated()) FillTree();
}

void TUtCustomShellTreeView::SetSpecialRootFolder(TUtSpecialRootFolder Value) {
    CheckShellVersionFor(Value, ShellVersion);
    if (Value == FSpecialRootFolder) return;
    FSpecialRootFolder = Value;
    if (Value == sfNone || Loading()) return;
    FRootFolder.clear();
    if (!FStartInFolder.empty() || FSpecialStartInFolder != sfNone) FStarted = false;
    if (HandleAllocated()) FillTree();
}

void TUtCustomShellTreeView::SetStartInFolder(const std::string& Value) {
    FStartInFolder = DriveText(Value);
    if (FStartInFolder.empty()) {
        FCurrent = nullptr;
        Items().Clear();
        FFolders.Clear();
        return;
    }
    if (!Loading()) FSpecialStartInFolder = sfNone;
}

void TUtCustomShellTreeView::SetSpecialStartInFolder(TUtSpecialRootFolder Value) {
    CheckShellVersionFor(Value, ShellVersion);
    FSpecialStartInFolder = Value;
    if (Value != sfNone) FStartInFolder.clear();
}

TUtShellFolder* TUtCustomShellTreeView::FolderOf(const TTreeNode* Node) const {
    if (!Node) return nullptr;
    return FFolders.Items(static_cast<int>(reinterpret_cast<intptr_t>(Node->Data)));
}

TTreeNode* TUtCustomShellTreeView::NodeOfIDList(LPCITEMIDLIST List) const {
    if (!List) return nullptr;
    for (TTreeNode* node = const_cast<TUtCustomShellTreeView*>(this)->Items().GetFirstNode(); node;
         node = node->GetNext()) {
        TUtShellFolder* folder = FolderOf(node);
        if (folder && ILIsEqual(folder->AbsoluteIDList(), List)) return node;
    }
    return nullptr;
}

TTreeNode* TUtCustomShellTreeView::AddFolderNode(TTreeNode* Parent, TUtShellFolder* Folder) {
    const int index = FFolders.Add(Folder);
    void* data = reinterpret_cast<void*>(static_cast<intptr_t>(index));
    TTreeNode* node = Parent ? Items().AddChildObject(Parent, Folder->DisplayName, data)
                             : Items().AddObject(nullptr, Folder->DisplayName, data);
    node->SetImageIndex(Folder->ImageIndex());
    node->SetSelectedIndex(Folder->SelectedIndex());
    node->OverlayIndex = FController->OverlayImage(Folder->OverlayIndex());
    node->Cut = Folder->IsHidden();
    // A removable drive gets a button without being read: reading it could wait for its media.
    if (IsDriveRoot(*Folder) && OnRemovableDrive(*Folder))
        node->SetHasChildren(true);
    else
        // The desktop and My Computer always hold something.
        node->SetHasChildren(Folder->IsDesktop || platform::ILCount(Folder->AbsoluteIDList()) <= 1 ||
                             Folder->HasSubFolder() || (FOptions & TreeOption(toShowFiles)));
    return node;
}

void TUtCustomShellTreeView::SortChildren(TTreeNode* Node) {
    TTreeNode* top = TopItem();
    Items().BeginUpdate();
    Node->CustomSort(
        [this](TTreeNode* a, TTreeNode* b) {
            TUtShellFolder* fa = FolderOf(a);
            TUtShellFolder* fb = FolderOf(b);
            if (!fa || !fb) return 0;
            return CompareIDs(fa->AbsoluteIDList(), fb->AbsoluteIDList());
        },
        false);
    Items().EndUpdate();
    if (top) SetTopItem(top);
}

void TUtCustomShellTreeView::LoadChildren(TTreeNode* Node) {
    TUtShellFolder* folder = FolderOf(Node);
    if (!folder || Node->Count() > 0) return;
    THourGlass wait;
    uint32_t extra = 0;
    if (FOptions & TreeOption(toShowFiles)) extra |= platform::SHCONTF_NONFOLDERS;
    if (FOptions & TreeOption(toShowHidden)) extra |= platform::SHCONTF_INCLUDEHIDDEN;
    Items().BeginUpdate();
    FController->Enumerate(folder->AbsoluteIDList(), emTree, extra, [&](TUtShellItem* item) {
        bool accept = true;
        DoFilterItem(item, accept);
        if (!accept) return false;
        AddFolderNode(Node, static_cast<TUtShellFolder*>(item));
        return true;
    });
    Items().EndUpdate();
    if (Node->Count() == 0)
        Node->SetHasChildren(false);
    else
        SortChildren(Node);
}

LPITEMIDLIST TUtCustomShellTreeView::StartIDList() const {
    if (!FStartInFolder.empty()) {
        LPITEMIDLIST list = FController->ParsePath(FStartInFolder);
        if (!list) throw EShInvalidFolder(240);
        return list;
    }
    if (FSpecialStartInFolder != sfNone) return SpecialFolderLocation(FSpecialStartInFolder);
    return nullptr;
}

void TUtCustomShellTreeView::FillTree() {
    FCurrent = nullptr;
    FHoverNode = nullptr;
    Items().Clear();
    FFolders.Clear();
    FStarted = true;
    if (!FController || !HandleAllocated()) return;
    if (FSpecialRootFolder == sfNone && FRootFolder.empty()) return;
    LPITEMIDLIST root = nullptr;
    if (FSpecialRootFolder == sfNone) {
        root = FController->ParsePath(FRootFolder);
        if (!root) throw EShInvalidFolder(240);
    } else {
        root = SpecialFolderLocation(FSpecialRootFolder);
    }
    auto* folder = new TUtShellFolder(root, FController);
    ILFree(root);
    TTreeNode* node = AddFolderNode(nullptr, folder);
    LoadChildren(node);
    if (FOptions & TreeOption(toExpandTopNode)) node->Expand(false);
    // The branches down to the start folder are opened now; it is selected at the first paint.
    LPITEMIDLIST start = StartIDList();
    if (start) {
        std::vector<LPITEMIDLIST> levels;
        LPITEMIDLIST walk = ILClone(start);
        while (ILGetSize(walk) > 2) {
            levels.push_back(ILClone(walk));
            ILRemoveLastID(walk);
        }
        ILFree(walk);
        for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
            if (TTreeNode* level = NodeOfIDList(*it)) level->Expand(false);
            ILFree(*it);
        }
        ILFree(start);
    }
    // The selection (with the list it fills) is settled at the first paint.
    FStarted = false;
    Invalidate();
    // The watch covers the root's whole branch.
    FNotification->SetActive(false);
    FNotification->SetWatchIDList(ILClone(folder->AbsoluteIDList()));
    FNotification->SetActive(!(ComponentState() & csDesigning));
}

void TUtCustomShellTreeView::ApplyStartFolder() {
    FStarted = true;
    if (ComponentState() & csDesigning) return;
    LPITEMIDLIST start = nullptr;
    try {
        start = StartIDList();
    } catch (...) {
        start = nullptr;
    }
    TTreeNode* node = start ? NodeOfIDList(start) : nullptr;
    ILFree(start);
    if (!node && (!FStartInFolder.empty() || FSpecialStartInFolder != sfNone)) node = Items().GetFirstNode();
    if (node) {
        if (Selected() == node)
            Change(node);
        else
            SetSelected(node);
        node->MakeVisible();
    } else if (FListView && FListView->ItemCount() == 0 && Items().GetFirstNode()) {
        FListView->FillList(FolderOf(Items().GetFirstNode()));
    }
}

void TUtCustomShellTreeView::Paint() {
    if (!FStarted && !(ComponentState() & csDesigning)) ApplyStartFolder();
    TCustomTreeView::Paint();
}

TTreeNode* TUtCustomShellTreeView::ExpandToIDList(LPCITEMIDLIST List) {
    std::vector<LPITEMIDLIST> levels;
    LPITEMIDLIST walk = ILClone(List);
    while (ILGetSize(walk) > 2) {
        levels.push_back(ILClone(walk));
        ILRemoveLastID(walk);
    }
    ILFree(walk);
    TTreeNode* found = nullptr;
    bool missing = false;
    Items().BeginUpdate();
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        TTreeNode* node = NodeOfIDList(*it);
        // Levels above the tree's root have no node.
        if (!node && found) missing = true;
        if (node) {
            found = node;
            if (std::next(it) != levels.rend()) node->Expand(false);
        }
        ILFree(*it);
        if (missing) {
            for (auto rest = std::next(it); rest != levels.rend(); ++rest) ILFree(*rest);
            break;
        }
    }
    Items().EndUpdate();
    if (missing || !found || !ILIsEqual(FolderOf(found)->AbsoluteIDList(), List)) throw EShInvalidFolder(240);
    return found;
}

bool TUtCustomShellTreeView::SelectFolder(LPCITEMIDLIST List, bool Exact) {
    TTreeNode* node = NodeOfIDList(List);
    if (!node && !Exact) {
        try {
            node = ExpandToIDList(List);
        } catch (const EShInvalidFolder&) {
            node = nullptr;
        }
    }
    if (!node) return false;
    SetSelected(node);
    node->MakeVisible();
    return true;
}

bool TUtCustomShellTreeView::CanExpand(TTreeNode* Node) {
    if (!TCustomTreeView::CanExpand(Node)) return false;
    if (Node->Count() == 0) LoadChildren(Node);
    return Node->Count() > 0;
}

void TUtCustomShellTreeView::Change(TTreeNode* Node) {
    TCustomTreeView::Change(Node);
    if (!FStarted) return;
    FCurrent = FolderOf(Node);
    if (!FCurrent) return;
    if (!Loading() && !(ComponentState() & csDesigning) && OnFolderSelected) OnFolderSelected(this, FCurrent);
    if (std::exchange(FFromList, false)) return;
    ShowInList();
}

void TUtCustomShellTreeView::ShowInList() {
    if (FListView && FCurrent && (FCurrent->IsShellFolder() || FCurrent->IsDesktop))
        FListView->ShowFolder(FCurrent);
}

bool TUtCustomShellTreeView::CanEdit(TTreeNode* Node) {
    TUtShellFolder* folder = FolderOf(Node);
    if (!folder || !folder->CanRename() || !(FOptions & TreeOption(toAllowRename))) return false;
    return TCustomTreeView::CanEdit(Node);
}

void TUtCustomShellTreeView::Edit(TTreeNode* Node, std::string& S) {
    TCustomTreeView::Edit(Node, S);
    TUtShellFolder* folder = FolderOf(Node);
    if (!folder || S == folder->DisplayName) return;
    LPITEMIDLIST renamed = nullptr;
    {
        THourGlass wait;
        renamed = RenameItem(*folder, S);
    }
    if (!renamed) {
        S = folder->DisplayName;
        return;
    }
    // The parent's branch is read again once the editor has let go of the node.
    auto* pending = new std::pair<LPITEMIDLIST, LPITEMIDLIST>(
        ILClone(FolderOf(Node->Parent()) ? FolderOf(Node->Parent())->AbsoluteIDList() : nullptr), renamed);
    PostMessage(Handle(), kReloadMessage, reinterpret_cast<WPARAM>(pending), 0);
}

void TUtCustomShellTreeView::StartItemDrag(TTreeNode* Node) {
    TCustomTreeView::StartItemDrag(Node);
    TUtShellFolder* folder = FolderOf(Node);
    if (!folder || !(FOptions & TreeOption(toAllowDrag)) || !folder->IsFileSystem) return;
    auto data = std::make_shared<TUtDataObject>(std::vector<LPCITEMIDLIST>{folder->RelativeIDList()},
                                                folder->AbsoluteIDList());
    uint32_t effect = 0;
    DoDragDrop(data, std::make_shared<TUtDropSource>(), kItemEffects, &effect);
}

bool TUtCustomShellTreeView::CustomDrawItem(TTreeNode* Node, TCustomDrawState State) {
    if ((FOptions & TreeOption(toColorCompressed)) && Node != DropTarget() && !(State & cdsSelected) &&
        !(ComponentState() & csDesigning)) {
        TUtShellFolder* folder = FolderOf(Node);
        if (folder && folder->IsCompressed() && !OnRemovableDrive(*folder))
            Canvas().Font.Color = FCompressedColor;
    }
    return TCustomTreeView::CustomDrawItem(Node, State);
}

void TUtCustomShellTreeView::Delete(TTreeNode* Node) {
    if (Node == FHoverNode) FHoverNode = nullptr;
    TCustomTreeView::Delete(Node);
}

void TUtCustomShellTreeView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomTreeView::MouseDown(Button, Shift, X, Y);
    if (Button == TMouseButton::mbLeft && HotTrack && !AutoExpand) {
        TTreeNode* node = GetNodeAt(X, Y);
        if (node && !node->Expanded() && (GetHitTestInfoAt(X, Y) & htOnLabel)) node->Expand(false);
    }
}

void TUtCustomShellTreeView::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomTreeView::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FListView) FListView = nullptr;
}

void TUtCustomShellTreeView::DoFilterItem(TUtShellItem* Item, bool& Accept) {
    if (FFiltered && OnFilterItem) OnFilterItem(this, Item, Accept);
}

void TUtCustomShellTreeView::DoShellChangeNotify(TUtShellItem* OldItem, TUtShellItem* NewItem,
                                                 TUtNotifyEventsSet Events) {
    if (OnShellChangeNotify) OnShellChangeNotify(this, OldItem, NewItem, Events);
}

void TUtCustomShellTreeView::DragHover(TTreeNode* Node) {
    if (Node == FHoverNode) return;
    FHoverNode = Node;
    if (!HandleAllocated()) return;
    KillTimer(Handle(), kExpandTimer);
    if (Node && !Node->Expanded() && Node->HasChildren() && ExpandInterval > 0)
        SetTimer(Handle(), kExpandTimer, static_cast<uint32_t>(ExpandInterval));
}

void TUtCustomShellTreeView::Notified(TUtShellItem* OldItem, TUtShellItem* NewItem,
                                      TUtNotifyEventsSet Events) {
    DoShellChangeNotify(OldItem, NewItem, Events);
    const bool files = (FOptions & TreeOption(toShowFiles)) != 0;
    auto has = [Events](TUtNotifyEvents e) { return (Events & NotifySet(e)) != 0; };
    TUtShellItem* item = OldItem ? OldItem : NewItem;
    if (!item || !item->AbsoluteIDList()) return;
    if (has(neFolderCreate) || has(neDriveAdd) || has(neShellDriveAdd) || (files && has(neFileCreate))) {
        LPITEMIDLIST parentList = ParentIDList(item->AbsoluteIDList());
        TTreeNode* parent = NodeOfIDList(parentList);
        ILFree(parentList);
        // Only a parent whose children are loaded takes the new folder.
        if (!parent || (parent->HasChildren() && parent->Count() == 0 && !parent->Expanded())) {
            if (parent && parent->Count() == 0) parent->SetHasChildren(true);
            return;
        }
        if (NodeOfIDList(item->AbsoluteIDList())) return;
        auto* folder = new TUtShellFolder(item->AbsoluteIDList(), FController);
        TTreeNode* node = AddFolderNode(parent, folder);
        if (has(neDriveAdd)) node->SetHasChildren(true);
        SortChildren(parent);
    } else if (has(neFolderDelete) || has(neDriveRemove) || (files && has(neFileDelete))) {
        TTreeNode* node = NodeOfIDList(item->AbsoluteIDList());
        if (!node) return;
        if (node == Selected() || (Selected() && Selected()->HasAsParent(node))) {
            TTreeNode* next = node->GetNextSibling()   ? node->GetNextSibling()
                              : node->GetPrevSibling() ? node->GetPrevSibling()
                                                       : node->Parent();
            SetSelected(next);
        }
        if (FHoverNode == node) FHoverNode = nullptr;
        node->Delete();
    } else if (has(neFolderRename) || (files && has(neFileRename))) {
        if (!OldItem || !NewItem) return;
        LPITEMIDLIST newParent = ParentIDList(NewItem->AbsoluteIDList());
        const bool toDesktop = ILGetSize(newParent) == 2;
        ILFree(newParent);
        TTreeNode* node = NodeOfIDList(OldItem->AbsoluteIDList());
        if (toDesktop) {
            if (node) node->Delete();
            return;
        }
        const std::string oldPath = AnsiUpperCase(OldItem->Path);
        for (int i = 0; i < FFolders.Count(); ++i) {
            TUtShellFolder* folder = FFolders.Items(i);
            if (AnsiUpperCase(folder->Path) != oldPath) continue;
            auto fresh = std::make_unique<TUtShellFolder>(NewItem->AbsoluteIDList(), FController);
            folder->Assign(*fresh);
        }
        if (node) {
            node->SetText(FolderOf(node)->DisplayName);
            node->DeleteChildren();
            node->SetHasChildren(FolderOf(node)->HasSubFolder());
            if (node->Parent()) SortChildren(node->Parent());
        }
    } else if (has(neNetShare) || has(neNetUnShare)) {
        if (TTreeNode* node = NodeOfIDList(item->AbsoluteIDList())) {
            auto fresh = std::make_unique<TUtShellFolder>(item->AbsoluteIDList(), FController);
            node->OverlayIndex = FController->OverlayImage(fresh->OverlayIndex());
            Invalidate();
        }
    } else if (has(neMediaInsert) || has(neMediaRemove)) {
        if (TTreeNode* node = NodeOfIDList(item->AbsoluteIDList())) {
            auto fresh = std::make_unique<TUtShellFolder>(item->AbsoluteIDList(), FController);
            node->SetImageIndex(fresh->ImageIndex());
            node->SetText(fresh->DisplayName);
            FolderOf(node)->Assign(*fresh);
            if (has(neMediaRemove)) {
                node->Collapse(true);
                node->DeleteChildren();
            }
            node->SetHasChildren(true);
        }
    }
}

void TUtCustomShellTreeView::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_TIMER:
            if (Message.WParam == kExpandTimer) {
                KillTimer(Handle(), kExpandTimer);
                if (FHoverNode && !FHoverNode->Expanded()) FHoverNode->Expand(false);
                return;
            }
            break;
        case WM_CONTEXTMENU:
            if ((FOptions & TreeOption(toShellMenu)) && Selected() && FolderOf(Selected())) {
                TUtShellFolder* folder = FolderOf(Selected());
                int x = GetXLParam(Message.LParam), y = GetYLParam(Message.LParam);
                const int chosen = FController->ShowContextMenu(
                    this, folder->ParentFolder(), x, y, {folder->RelativeIDList()},
                    TUtCustomShellController::ContextMenuFlags((FOptions & TreeOption(toAllowRename)) != 0,
                                                               (FOptions & TreeOption(toExtendedMenu)) != 0));
                if (chosen == TUtCustomShellController::cmdRename) Selected()->EditText();
                Message.Result = 1;
                return;
            }
            break;
        case kReloadMessage: {
            auto* pending = reinterpret_cast<std::pair<LPITEMIDLIST, LPITEMIDLIST>*>(Message.WParam);
            TTreeNode* parent = pending->first ? NodeOfIDList(pending->first) : nullptr;
            if (parent) {
                // The expanded branches below are opened again after the reload.
                std::vector<LPITEMIDLIST> expanded;
                for (TTreeNode* n = parent->GetFirstChild(); n; n = n->GetNext()) {
                    if (!n->HasAsParent(parent)) break;
                    if (n->Expanded()) expanded.push_back(ILClone(FolderOf(n)->AbsoluteIDList()));
                }
                Items().BeginUpdate();
                if (Selected() && Selected()->HasAsParent(parent)) SetSelected(parent);
                FHoverNode = nullptr;
                parent->DeleteChildren();
                LoadChildren(parent);
                parent->Expand(false);
                for (LPITEMIDLIST list : expanded) {
                    if (TTreeNode* n = NodeOfIDList(list)) n->Expand(false);
                    ILFree(list);
                }
                Items().EndUpdate();
                if (TTreeNode* node = NodeOfIDList(pending->second)) SetSelected(node);
            }
            ILFree(pending->first);
            ILFree(pending->second);
            delete pending;
            return;
        }
        default:
            break;
    }
    TCustomTreeView::Dispatch(Message);
}

// ======================================================================================
// List
// ======================================================================================

int TUtCustomShellListView::SortColumn = 0;
bool TUtCustomShellListView::SortAscending = true;

TUtCustomShellListView::TUtCustomShellListView(TComponent* AOwner) : TCustomListView(AOwner) {
    SetBounds(0, 0, 270, 180);
    SetMultiSelect(true);
    SetOwnerData(true);
    for (int code = 230; code <= 239; ++code) FCaptions.push_back(ShMessageText(code));
    FNotification = std::make_unique<TUtShellNotification>(nullptr);
    FNotification->QueueLimit = 5;
    FNotification->OnShellChangeNotify = [this](TObject*, TUtShellItem* a, TUtShellItem* b,
                                                TUtNotifyEventsSet e) { Notified(a, b, e); };
    FDropTarget = std::make_shared<TUtViewDropTarget>(nullptr, this);
    if (!(ComponentState() & csDesigning)) {
        BuildFileTypes();
        MakeViewMenu();
    }
}

TUtCustomShellListView::~TUtCustomShellListView() {
    FNotification.reset();
    if (FTreeView && FTreeView->FListView == this) FTreeView->FListView = nullptr;
    if (FComboBox && FComboBox->FListView == this) FComboBox->FListView = nullptr;
    FCurrentItem = nullptr;
    FSelected.Clear();
    FFilteredItems.Clear();
    FItems.Clear();
    FFolder.reset();
    if (FOwnsController) delete FController;
}

bool TUtCustomShellListView::Loading() const {
    return (ComponentState() & csLoading) != 0;
}

TUtCustomShellController* TUtCustomShellListView::Controller() {
    TakeController();
    return FController;
}

void TUtCustomShellListView::TakeController() {
    if (FController) return;
    ShareController(
        FController, FOwnsController,
        {FTreeView ? FTreeView->FController : nullptr, FComboBox ? FComboBox->FController : nullptr});
    if (!SmallImages()) SetSmallImages(FController->SmallImages());
    if (!LargeImages()) SetLargeImages(FController->LargeImages());
}

const std::shared_ptr<IDropTarget>& TUtCustomShellListView::ViewDropTarget() const {
    return FDropTarget;
}

void TUtCustomShellListView::BuildFileTypes() {
    // The shared MIME database's comment of each type under each of its extensions, read once for
    // every list.
    static const std::vector<std::pair<std::string, std::string>> types = [] {
        std::vector<std::pair<std::string, std::string>> FFileTypes;
        const QMimeDatabase db;
        for (const QMimeType& type : db.allMimeTypes()) {
            const std::string comment = type.comment().toStdString();
            if (comment.empty()) continue;
            for (const QString& suffix : type.suffixes()) {
                const std::string ext = AnsiUpperCase("." + suffix.toStdString());
                if (ext.find('.', 1) != std::string::npos) continue;
                FFileTypes.emplace_back(ext, comment);
            }
        }
        std::stable_sort(FFileTypes.begin(), FFileTypes.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        FFileTypes.erase(std::unique(FFileTypes.begin(), FFileTypes.end(),
                                     [](const auto& a, const auto& b) { return a.first == b.first; }),
                         FFileTypes.end());
        return FFileTypes;
    }();
    FFileTypes = types;
}

std::string TUtCustomShellListView::FileTypeOf(const std::string& Extension) const {
    if (Extension.empty() || Extension == ".") return FCaptions[9];
    const std::string key = AnsiUpperCase(Extension);
    const auto it = std::lower_bound(FFileTypes.begin(), FFileTypes.end(), key,
                                     [](const auto& entry, const std::string& k) { return entry.first < k; });
    if (it != FFileTypes.end() && it->first == key) return it->second;
    return key.substr(1) + " " + FCaptions[9];
}

void TUtCustomShellListView::MakeViewMenu() {
    FViewMenu = NewComponent<TPopupMenu>(this);
    const std::pair<const char*, TViewStyle> styles[] = {
        {"Lar&ge Icons", vsIcon}, {"S&mall Icons", vsSmallIcon}, {"&List", vsList}, {"&Details", vsReport}};
    for (const auto& [caption, style] : styles) {
        TViewStyle s = style;
        TMenuItem* item = NewItem(FViewMenu, caption, 0, [this, s](TObject* Sender) {
            SetViewStyle(s);
            static_cast<TMenuItem*>(Sender)->SetChecked(true);
        });
        item->RadioItem = true;
        item->GroupIndex = 1;
        if (s == ViewStyle()) item->Checked = true;
        FViewMenu->Items()->Add(item);
    }
    SetPopupMenu(FViewMenu);
}

void TUtCustomShellListView::CreateWnd() {
    TCustomListView::CreateWnd();
    TakeController();
    if (FOptions & ListOption(loAllowDrop)) RegisterDragDrop(Handle(), FDropTarget);
    DisableDragDrop = !(FOptions & ListOption(loAllowDrag));
}

void TUtCustomShellListView::Loaded() {
    TCustomListView::Loaded();
    TakeController();
    if (!FRootFolder.empty() || FSpecialRootFolder != sfNone) FillList(nullptr);
}

void TUtCustomShellListView::SetComboBox(TUtCustomShellComboBox* Value) {
    if (Value == FComboBox) return;
    if (FComboBox) FComboBox->FListView = nullptr;
    FComboBox = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (Value->FListView != this) Value->SetListView(this);
}

void TUtCustomShellListView::SetTreeView(TUtCustomShellTreeView* Value) {
    if (Value == FTreeView) return;
    if (FTreeView) FTreeView->FListView = nullptr;
    FTreeView = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (Value->FController && FController != Value->FController) {
        if (FOwnsController) {
            FItems.Clear();
            FFilteredItems.Clear();
            FSelected.Clear();
            FFolder.reset();
            FCurrentItem = nullptr;
            Items().SetCount(0);
            delete FController;
        }
        FOwnsController = false;
        FController = Value->FController;
    }
    if (Value->FListView != this) Value->SetListView(this);
    FRootFolder.clear();
    FSpecialRootFolder = sfNone;
    if (Loading()) return;
    TTreeNode* node = Value->Selected() ? Value->Selected() : Value->Items().GetFirstNode();
    if (node && Value->Started()) FillList(Value->FolderOf(node));
}

void TUtCustomShellListView::SetCompressedColor(TColor Value) {
    FCompressedColor = Value;
    if (FOptions & ListOption(loColorCompressed)) Invalidate();
}

void TUtCustomShellListView::SetOptions(TUtListOptions Value) {
    const TUtListOptions changed = Value ^ FOptions;
    FOptions = Value;
    if ((changed & ListOption(loAllowDrop)) && HandleAllocated() && !(ComponentState() & csDesigning)) {
        if (Value & ListOption(loAllowDrop))
            RegisterDragDrop(Handle(), FDropTarget);
        else
            RevokeDragDrop(Handle());
    }
    DisableDragDrop = !(Value & ListOption(loAllowDrag));
    if (changed & ListOption(loColorCompressed)) Invalidate();
    if ((changed & ListOption(loShowHidden)) && FFolder && !Loading()) Refill();
}

void TUtCustomShellListView::SetRootFolder(const std::string& Value) {
    FRootFolder = DriveText(Value);
    if (FRootFolder.empty()) {
        FillList(nullptr);
        return;
    }
    if (Loading()) return;
    FSpecialRootFolder = sfNone;
    FillList(nullptr);
    SyncTree();
}

void TUtCustomShellListView::SetSpecialRootFolder(TUtSpecialRootFolder Value) {
    CheckShellVersionFor(Value, ShellVersion);
    if (Value == FSpecialRootFolder) return;
    FSpecialRootFolder = Value;
    if (Value == sfNone || Loading()) {
        FillList(nullptr);
        return;
    }
    FRootFolder.clear();
    FillList(nullptr);
    SyncTree();
}

void TUtCustomShellListView::SetFileFilter(const std::string& Value) {
    if (Value == FFileFilter) return;
    FFileFilter = Value;
    FFilteredItems.Clear();
    if (FFileFilter.empty() || !FFiltered || !FFolder) {
        Items().SetCount(InUse().Count());
        Invalidate();
        return;
    }
    if (OnFilterItem)
        Refill();
    else {
        ApplyMasks();
        Items().SetCount(InUse().Count());
        Invalidate();
    }
}

void TUtCustomShellListView::SetFiltered(bool Value) {
    FFiltered = Value;
    if ((ComponentState() & csDesigning) || !FFolder) return;
    if (OnFilterItem) {
        Refill();
        return;
    }
    FFilteredItems.Clear();
    if (!FFileFilter.empty() && FFiltered) ApplyMasks();
    Items().SetCount(InUse().Count());
    Invalidate();
}

TUtShellItemList& TUtCustomShellListView::InUse() const {
    return !FFileFilter.empty() && FFiltered && !OnFilterItem ? FFilteredItems : FItems;
}

int TUtCustomShellListView::ItemCount() const {
    return InUse().Count();
}

TUtShellItem* TUtCustomShellListView::ShellItem(int Row) const {
    const int n = InUse().Count();
    if (Row < 0 || Row >= n) return nullptr;
    return InUse().Items(SortAscending ? Row : n - 1 - Row);
}

void TUtCustomShellListView::ShowFolder(TUtShellItem* Item) {
    if (FComboBox && Item) FComboBox->ShowFolder(Item->AbsoluteIDList());
    FillList(Item);
}

void TUtCustomShellListView::BrowseFolder(TUtShellItem* Folder) {
    FillList(Folder);
    SyncTree();
}

void TUtCustomShellListView::SyncTree() {
    if (!FTreeView || !FFolder) return;
    // The tree's selection follows without filling the list again.
    FTreeView->FFromList = true;
    FTreeView->SelectFolder(FFolder->AbsoluteIDList(), false);
    FTreeView->FFromList = false;
}

void TUtCustomShellListView::Refill() {
    if (!FFolder) return;
    FRefilling = true;
    auto folder = std::make_unique<TUtShellFolder>(FController);
    folder->Assign(*FFolder);
    try {
        FillList(folder.get());
    } catch (...) {
        FRefilling = false;
        throw;
    }
    FRefilling = false;
}

void TUtCustomShellListView::FillList(TUtShellItem* Item) {
    if (FTreeView && !FTreeView->Started()) return;
    TakeController();
    FSelected.Clear();
    FColumnsBuilt = FDetailsBuilt = false;
    FCurrentItem = nullptr;
    Items().SetCount(0);
    FFilteredItems.Clear();
    FItems.Clear();
    LPITEMIDLIST list = nullptr;
    if (Item) {
        list = ILClone(Item->AbsoluteIDList());
    } else if (!FRootFolder.empty()) {
        list = FController->ParsePath(FRootFolder);
        if (!list) {
            FRootFolder.clear();
            throw EShInvalidFolder(240);
        }
    } else if (FSpecialRootFolder != sfNone) {
        list = SpecialFolderLocation(FSpecialRootFolder);
    } else {
        Invalidate();
        return;
    }
    {
        THourGlass wait;
        const uint32_t extra = (FOptions & ListOption(loShowHidden)) ? platform::SHCONTF_INCLUDEHIDDEN : 0;
        FController->Enumerate(list, emList, extra, [&](TUtShellItem* item) {
            bool accept = true;
            DoFilterItem(item, accept);
            if (!accept) return false;
            if (Optimization == otEnumerate) item->ReadItemInfo();
            FItems.Add(item);
            return true;
        });
    }
    if (!FRefilling || !FFolder) {
        FFolder = std::make_unique<TUtShellFolder>(list, FController);
    }
    if (ViewStyle() == vsReport) BuildColumns();
    SortItems();
    if (!FFileFilter.empty() && FFiltered && !OnFilterItem) ApplyMasks();
    Items().SetCount(InUse().Count());
    if (InUse().Count() > 0) MakeVisible(0);
    Invalidate();
    DoListFilled();
    if (!(ComponentState() & csDesigning)) {
        FNotification->SetActive(false);
        FNotification->SetWatchIDList(ILClone(list));
        FNotification->QueueLimit = 5;
        FNotification->SetActive(true);
    }
    if (FComboBox) FComboBox->ShowFolder(list);
    ILFree(list);
}

void TUtCustomShellListView::ApplyMasks() {
    FFilteredItems.Clear();
    TUtRegEx regex;
    regex.IgnoreCase = true;
    regex.SetMatchMasks(FFileFilter);
    for (int i = 0; i < FItems.Count(); ++i) {
        TUtShellItem* item = FItems.Items(i);
        bool keep = !item->IsFile;
        if (!keep) {
            TUtMatchPosition position;
            keep = regex.CheckString(NamePart(item->Path), position);
        }
        if (!keep) continue;
        auto* copy = new TUtShellItem(FController);
        copy->Assign(*item);
        FFilteredItems.Add(copy);
    }
}

bool TUtCustomShellListView::IsBitBucket() const {
    if (!FFolder) return false;
    LPITEMIDLIST bin = platform::SHGetSpecialFolderLocation(SpecialFolderCSIDL(sfBitBucket));
    const bool same = bin && ILIsEqual(bin, FFolder->AbsoluteIDList());
    ILFree(bin);
    return same;
}

bool TUtCustomShellListView::UsesStandardColumns() const {
    return FFolder && (FFolder->IsFileSystem || FFolder->IsDesktop) && !IsBitBucket();
}

void TUtCustomShellListView::BuildColumns() {
    Columns().Clear();
    auto add = [this](int caption, int width, TAlignment align = taLeftJustify) {
        TListColumn* column = Columns().Add();
        column->SetCaption(FCaptions[static_cast<size_t>(caption - 230)]);
        column->SetWidth(width);
        column->SetAlignment(align);
    };
    if (IsBitBucket()) {
        add(230, 125);
        add(237, 125);
        add(238, 100);
        add(232, 125);
        add(231, 60);
    } else if (UsesStandardColumns()) {
        add(230, 175);
        add(231, 75, taRightJustify);
        add(232, 125);
        add(233, 125);
        add(234, 60);
    } else {
        add(230, 175);
    }
    FColumnsBuilt = true;
}

void TUtCustomShellListView::AddItemDetails(TUtShellItem* Item) {
    Item->Details.Clear();
    if (IsBitBucket()) {
        // The trash keeps each item's origin and deletion time in an info record beside it.
        std::string origin, deleted;
        const std::string native = platform::SHNativePathOf(Item->AbsoluteIDList());
        const size_t slash = native.rfind('/');
        if (slash != std::string::npos) {
            const std::string base = native.substr(0, slash);
            const size_t files = base.rfind('/');
            if (files != std::string::npos) {
                const std::string info =
                    base.substr(0, files) + "/info/" + native.substr(slash + 1) + ".trashinfo";
                FILE* f = fopen(info.c_str(), "r");
                if (f) {
                    char line[4096];
                    while (fgets(line, sizeof line, f)) {
                        std::string s(line);
                        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
                        if (s.rfind("Path=", 0) == 0) {
                            // A percent-encoded native path, shown in its drive's form where a drive holds
                            // it.
                            origin = QByteArray::fromPercentEncoding(QByteArray::fromStdString(s.substr(5)))
                                         .toStdString();
                            const std::string windows = platform::NativeToWindowsPath(origin);
                            if (!windows.empty()) origin = windows;
                        }
                        if (s.rfind("DeletionDate=", 0) == 0) deleted = s.substr(13);
                    }
                    fclose(f);
                }
            }
        }
        Item->Details.Add(origin);
        Item->Details.Add(deleted);
        Item->Details.Add(Item->IsFolder ? FCaptions[5] : FileTypeOf(ExtensionOf(Item->Path)));
        Item->Details.Add(Item->IsFolder ? std::string() : GroupDigits64(Item->Size()));
        return;
    }
    if (!UsesStandardColumns()) return;
    if (Item->IsFolder) {
        Item->Details.Add(std::string());
        Item->Details.Add(FCaptions[5]);
    } else if (!Item->IsFileSystem) {
        Item->Details.Add(std::string());
        Item->Details.Add(FCaptions[6]);
    } else {
        const int64_t size = Item->Size();
        const int64_t kb = size > 0 && size < 1024 ? 1 : size / 1024;
        Item->Details.Add(GroupDigits64(kb) + "KB");
        std::string type = Item->TypeName;
        const std::string ext = ExtensionOf(Item->Path);
        if (type.empty()) type = AnsiUpperCase(ext) == ".LNK" ? "Shortcut" : FileTypeOf(ext);
        Item->Details.Add(type);
    }
    const std::string oldLong = LongTimeFormat;
    LongTimeFormat = ShortTimeFormat;
    Item->Details.Add(Item->IsFileSystem ? DateTimeToStr(Item->Modified()) : std::string());
    LongTimeFormat = oldLong;
    Item->Details.Add(Item->IsFileSystem ? Item->AttributeText() : std::string());
}

void TUtCustomShellListView::SortItems() {
    TUtShellItemList& list = FItems;
    if (list.Count() <= 1) return;
    std::vector<TUtShellItem*> items;
    for (int i = 0; i < list.Count(); ++i) items.push_back(list.Items(i));
    const int column = UsesStandardColumns() ? SortColumn : 0;
    const bool byExt = (FOptions & ListOption(loSortTypeByExt)) != 0;
    auto folderFirst = [](TUtShellItem* a, TUtShellItem* b) -> int {
        if (a->IsFolder != b->IsFolder) return a->IsFolder ? -1 : 1;
        return 0;
    };
    if (column >= 2 && !FDetailsBuilt)
        for (TUtShellItem* item : items)
            if (item->Details.Count() == 0) AddItemDetails(item);
    auto compare = [&](TUtShellItem* a, TUtShellItem* b) -> int {
        if (column == 0) return CompareIDs(a->AbsoluteIDList(), b->AbsoluteIDList());
        if (int f = folderFirst(a, b)) return f;
        switch (column) {
            case 1: {
                const int64_t sa = a->IsFolder ? -1 : a->Size(), sb = b->IsFolder ? -1 : b->Size();
                if (sa != sb) return sa < sb ? -1 : 1;
                return CompareText(a->Path, b->Path);
            }
            case 2:
                if (a->IsFolder) return CompareText(a->DisplayName, b->DisplayName);
                if (byExt) return AnsiCompareStr(ExtensionOf(a->Path), ExtensionOf(b->Path));
                return AnsiCompareText(a->Details.Count() > 1 ? a->Details[1] : "",
                                       b->Details.Count() > 1 ? b->Details[1] : "");
            case 3: {
                const TDateTime ma = a->Modified(), mb = b->Modified();
                if (ma != mb) return ma > mb ? -1 : 1;
                return 0;
            }
            default: {
                const int i = column - 1;
                return CompareText(a->Details.Count() > i ? a->Details[i] : "",
                                   b->Details.Count() > i ? b->Details[i] : "");
            }
        }
    };
    std::stable_sort(items.begin(), items.end(),
                     [&](TUtShellItem* a, TUtShellItem* b) { return compare(a, b) < 0; });
    // The list owns its items: they are handed back in the new order.
    std::vector<TUtShellItem*> order = items;
    FItems.Release();
    for (TUtShellItem* item : order) FItems.Add(item);
}

bool TUtCustomShellListView::OwnerDataFetch(TListItem* Item) {
    TUtShellItem* item = ShellItem(Item->Index());
    if (!item) return false;
    if (Optimization == otEnumerate) item->ImageIndex();
    Item->Caption = item->DisplayName;
    Item->Data = item;
    if (ViewStyle() == vsReport) {
        if (!FColumnsBuilt) BuildColumns();
        if (item->Details.Count() == 0) AddItemDetails(item);
        for (int i = 0; i < item->Details.Count(); ++i) Item->SubItems.Add(item->Details[i]);
    }
    Item->ImageIndex = item->ImageIndex();
    Item->OverlayIndex = FController->OverlayImage(item->OverlayIndex());
    Item->Cut = item->IsHidden();
    TCustomListView::OwnerDataFetch(Item);
    return true;
}

int TUtCustomShellListView::OwnerDataFind(TItemFind Find, const std::string& FindString, void* FindData,
                                          int StartIndex, bool Wrap) {
    if (OnDataFind) return TCustomListView::OwnerDataFind(Find, FindString, FindData, StartIndex, Wrap);
    const int n = ItemCount();
    for (int pass = 0; pass < (Wrap ? 2 : 1); ++pass) {
        const int from = pass == 0 ? std::max(StartIndex, 0) : 0;
        const int to = pass == 0 ? n : std::min(StartIndex, n);
        for (int i = from; i < to; ++i) {
            TUtShellItem* item = ShellItem(i);
            switch (Find) {
                case ifData:
                    if (item == FindData) return i;
                    break;
                case ifPartialString:
                    if (AnsiCompareText(item->DisplayName.substr(0, FindString.size()), FindString) == 0)
                        return i;
                    break;
                case ifExactString:
                    if (AnsiCompareText(item->DisplayName, FindString) == 0) return i;
                    break;
                default:
                    break;
            }
        }
    }
    return -1;
}

void TUtCustomShellListView::SetViewStyle(TViewStyle Value) {
    const TViewStyle old = ViewStyle();
    if (old == vsReport && Value != vsReport) SortAscending = true;
    TCustomListView::SetViewStyle(Value);
    if (FViewMenu)
        for (int i = 0; i < FViewMenu->Items()->Count(); ++i)
            FViewMenu->Items()->Items(i)->Checked = i == static_cast<int>(Value);
    if (Value == vsReport && old != vsReport && FFolder) {
        BuildColumns();
        for (int i = 0; i < FItems.Count(); ++i) AddItemDetails(FItems.Items(i));
        FDetailsBuilt = true;
        SortColumn = 0;
        SortItems();
        if (!FFileFilter.empty() && FFiltered && !OnFilterItem) ApplyMasks();
        Invalidate();
    }
}

void TUtCustomShellListView::ColClick(TListColumn* Column) {
    TCustomListView::ColClick(Column);
    const int index = Column->Index();
    // The selection is kept by item across the new order.
    std::vector<std::string> selected;
    for (int i = 0; i < ItemCount(); ++i)
        if (IsSelected(i)) selected.push_back(ShellItem(i)->Path);
    if (index == SortColumn) {
        SortAscending = !SortAscending;
    } else {
        SortColumn = index;
        SortAscending = true;
        SortItems();
        if (!FFileFilter.empty() && FFiltered && !OnFilterItem) ApplyMasks();
    }
    ClearSelection();
    for (int i = 0; i < ItemCount(); ++i)
        if (std::find(selected.begin(), selected.end(), ShellItem(i)->Path) != selected.end())
            SetItemSelected(i, true);
    Invalidate();
}

void TUtCustomShellListView::RefreshSelection() {
    FSelected.Clear();
    for (int i = 0; i < ItemCount(); ++i) {
        if (!IsSelected(i)) continue;
        auto* copy = new TUtShellItem(FController);
        copy->Assign(*ShellItem(i));
        FSelected.Add(copy);
    }
}

void TUtCustomShellListView::DoSelectItem(TListItem* Item, bool Selected) {
    TCustomListView::DoSelectItem(Item, Selected);
    if (Item) FCurrentItem = ShellItem(Item->Index());
    RefreshSelection();
    if (Selected) DoItemSelected(ShellItem(ItemIndex()));
}

void TUtCustomShellListView::DblClick() {
    TCustomListView::DblClick();
    TUtShellItem* item = ShellItem(ItemIndex());
    if (!item || ItemIndex() < 0 || !IsSelected(ItemIndex())) return;
    bool defaultAction = true;
    DoItemDblClick(item, defaultAction);
    if (!defaultAction) return;
    const bool folder = item->IsShellFolder();
    if (OpenDialogMode && folder) {
        auto copy = std::make_unique<TUtShellFolder>(FController);
        copy->Assign(*item);
        BrowseFolder(copy.get());
    } else if (item->IsFile) {
        platform::ShellExecute("Open", item->Path, "", "", SW_SHOWNORMAL);
    } else if (!folder || (FOptions & ListOption(loOpenFoldersInNewWindow))) {
        item->Open();
    } else {
        auto copy = std::make_unique<TUtShellFolder>(FController);
        copy->Assign(*item);
        BrowseFolder(copy.get());
    }
}

bool TUtCustomShellListView::CanEdit(TListItem* Item) {
    TUtShellItem* item = ShellItem(Item->Index());
    if (!item || !item->CanRename() || !(FOptions & ListOption(loAllowRename))) return false;
    return TCustomListView::CanEdit(Item);
}

void TUtCustomShellListView::Edit(TListItem* Item, std::string& S) {
    TCustomListView::Edit(Item, S);
    TUtShellItem* item = ShellItem(Item->Index());
    if (!item || S == item->DisplayName) return;
    LPITEMIDLIST renamed = nullptr;
    {
        THourGlass wait;
        renamed = RenameItem(*item, S);
    }
    if (!renamed) {
        S = item->DisplayName;
        return;
    }
    item->SetIDLists(renamed, ILCloneFirst(ILFindLastID(renamed)));
    item->Path = platform::SHGetDisplayNameOf(renamed, platform::SHGDN_FORPARSING);
    item->DisplayName = S;
    Item->Caption = S;
    RefreshSelection();
}

std::string TUtCustomShellListView::DragLabel() const {
    int files = 0, folders = 0, count = 0;
    for (int i = 0; i < const_cast<TUtCustomShellListView*>(this)->ItemCount(); ++i) {
        if (!IsSelected(i)) continue;
        TUtShellItem* item = ShellItem(i);
        ++count;
        if (item->IsFolder)
            ++folders;
        else if (item->IsFile)
            ++files;
    }
    std::string text;
    if (files > 0) text = std::to_string(files) + (files == 1 ? " file" : " files");
    if (folders > 0) {
        if (files > 0) text += ", ";
        text += std::to_string(folders) + (folders == 1 ? " folder" : " folders");
    }
    if (files == 0 && folders == 0) text = std::to_string(count) + " objects";
    return text;
}

std::unique_ptr<TBitmap> TUtCustomShellListView::DragImage() const {
    if (SelCount() < 2) return nullptr;
    const bool small = ViewStyle() == vsReport || ViewStyle() == vsList;
    TImageList* images = small ? FController->SmallImages() : FController->LargeImages();
    const std::string text = DragLabel();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    TCanvas& c = bitmap->Canvas();
    c.Font.Assign(const_cast<TUtCustomShellListView*>(this)->Font());
    const int height = images->Height;
    bitmap->SetSize(images->Width + 4 + c.TextWidth(text) + 4, height);
    c.Brush.Color = clFuchsia;
    c.FillRect(Rect(0, 0, bitmap->Width(), height));
    images->Draw(c, 0, 0, FController->MultipleItemsImage());
    c.Brush.Style = bsClear;
    c.TextOut(images->Width + 4, (height - c.TextHeight(text)) / 2, text);
    return bitmap;
}

void TUtCustomShellListView::StartItemDrag(TListItem* Item) {
    TCustomListView::StartItemDrag(Item);
    if (!(FOptions & ListOption(loAllowDrag)) || !FFolder) return;
    std::vector<LPCITEMIDLIST> lists;
    TUtShellItem* first = nullptr;
    for (int i = 0; i < ItemCount(); ++i) {
        if (!IsSelected(i)) continue;
        TUtShellItem* item = ShellItem(i);
        if (!first) first = item;
        lists.push_back(item->RelativeIDList());
    }
    if (!first) return;
    auto data = std::make_shared<TUtDataObject>(lists, first->AbsoluteIDList());
    uint32_t effect = 0;
    FDragging = true;
    try {
        DoDragDrop(data, std::make_shared<TUtDropSource>(), kItemEffects, &effect);
    } catch (...) {
        FDragging = false;
        throw;
    }
    FDragging = false;
}

bool TUtCustomShellListView::CustomDrawItem(TListItem* Item, TCustomDrawState State) {
    if ((FOptions & ListOption(loColorCompressed)) && !(State & cdsSelected) &&
        Item->Index() != DropTarget() && !(ComponentState() & csDesigning)) {
        TUtShellItem* item = ShellItem(Item->Index());
        if (item && item->IsCompressed() && !OnRemovableDrive(*item)) Canvas().Font.Color = FCompressedColor;
    }
    return TCustomListView::CustomDrawItem(Item, State);
}

void TUtCustomShellListView::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomListView::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FTreeView) FTreeView = nullptr;
    if (AComponent == FComboBox) FComboBox = nullptr;
}

void TUtCustomShellListView::DoFilterItem(TUtShellItem* Item, bool& Accept) {
    if (FFiltered && OnFilterItem) OnFilterItem(this, Item, Accept);
}
void TUtCustomShellListView::DoItemDblClick(TUtShellItem* Item, bool& DefaultAction) {
    if (OnItemDblClick) OnItemDblClick(this, Item, DefaultAction);
}
void TUtCustomShellListView::DoItemSelected(TUtShellItem* Item) {
    if (OnItemSelected) OnItemSelected(this, Item);
}
void TUtCustomShellListView::DoListFilled() {
    if (OnListFilled) OnListFilled(this);
}
void TUtCustomShellListView::DoShellChangeNotify(TUtShellItem* OldItem, TUtShellItem* NewItem,
                                                 TUtNotifyEventsSet Events) {
    if (OnShellChangeNotify) OnShellChangeNotify(this, OldItem, NewItem, Events);
}

void TUtCustomShellListView::Notified(TUtShellItem* OldItem, TUtShellItem* NewItem,
                                      TUtNotifyEventsSet Events) {
    if (IsEditing()) return;
    if (Events == NotifySet(neAttributesChange) && ViewStyle() == vsReport) {
        TUtShellItem* changed = OldItem ? OldItem : NewItem;
        for (int i = 0; changed && i < FItems.Count(); ++i)
            if (changed->AbsoluteIDList() &&
                ILIsEqual(FItems.Items(i)->AbsoluteIDList(), changed->AbsoluteIDList())) {
                auto fresh = std::make_unique<TUtShellItem>(changed->AbsoluteIDList(), FController);
                FItems.Items(i)->Assign(*fresh);
                AddItemDetails(FItems.Items(i));
            }
        Invalidate();
    } else {
        // The focused row is kept by its caption (else its index), the selection by path.
        const int focusedIndex = ItemIndex();
        std::string focusedCaption;
        if (TUtShellItem* focused = ShellItem(focusedIndex)) focusedCaption = focused->DisplayName;
        std::vector<std::string> selected;
        for (int i = 0; i < FSelected.Count(); ++i) selected.push_back(FSelected.Items(i)->Path);
        Refill();
        int row = -1;
        for (int i = 0; i < ItemCount() && !focusedCaption.empty(); ++i)
            if (ShellItem(i)->DisplayName == focusedCaption) row = i;
        if (row < 0 && focusedIndex >= 0) row = std::min(focusedIndex, ItemCount() - 1);
        for (int i = 0; i < ItemCount(); ++i)
            if (std::find(selected.begin(), selected.end(), ShellItem(i)->Path) != selected.end())
                SetItemSelected(i, true);
        if (row >= 0) SetItemIndex(row);
        RefreshSelection();
    }
    DoShellChangeNotify(OldItem, NewItem, Events);
}

void TUtCustomShellListView::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_CONTEXTMENU && (FOptions & ListOption(loShellMenu)) && SelCount() > 0 && FFolder) {
        std::vector<LPCITEMIDLIST> lists;
        TUtShellItem* first = nullptr;
        for (int i = 0; i < ItemCount(); ++i)
            if (IsSelected(i)) {
                if (!first) first = ShellItem(i);
                lists.push_back(ShellItem(i)->RelativeIDList());
            }
        const int chosen = FController->ShowContextMenu(
            this, first->ParentFolder(), GetXLParam(Message.LParam), GetYLParam(Message.LParam), lists,
            TUtCustomShellController::ContextMenuFlags((FOptions & ListOption(loAllowRename)) != 0,
                                                       (FOptions & ListOption(loExtendedMenu)) != 0));
        if (chosen == TUtCustomShellController::cmdRename && ItemFocused()) ItemFocused()->EditCaption();
        Message.Result = 1;
        return;
    }
    TCustomListView::Dispatch(Message);
}

// ======================================================================================
// Combo box
// ======================================================================================

TUtCustomShellComboBox::TUtCustomShellComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
    SetStyle(csOwnerDrawFixed);
    FNotification = std::make_unique<TUtShellNotification>(nullptr);
    FNotification->SetNotifyEvents(NotifySet(neDriveAdd) | NotifySet(neDriveRemove) |
                                   NotifySet(neShellDriveAdd));
    FNotification->SetWatchSubFolders(false);
    FNotification->OnShellChangeNotify = [this](TObject*, TUtShellItem*, TUtShellItem*, TUtNotifyEventsSet) {
        Notified();
    };
}

TUtCustomShellComboBox::~TUtCustomShellComboBox() {
    FNotification.reset();
    if (FListView && FListView->FComboBox == this) FListView->FComboBox = nullptr;
    FChosen = nullptr;
    FFolders.Clear();
    if (FOwnsController) delete FController;
}

TUtCustomShellController* TUtCustomShellComboBox::Controller() {
    TakeController();
    return FController;
}

void TUtCustomShellComboBox::TakeController() {
    if (FController) return;
    ShareController(FController, FOwnsController, {FListView ? FListView->FController : nullptr});
}

void TUtCustomShellComboBox::SetListView(TUtCustomShellListView* Value) {
    if (Value == FListView) return;
    if (FListView) FListView->FComboBox = nullptr;
    FListView = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (Value->FController && FController != Value->FController) {
        if (FOwnsController) {
            FChosen = nullptr;
            Clear();
            FFolders.Clear();
            delete FController;
        }
        FOwnsController = false;
        FController = Value->FController;
        if (HandleAllocated()) FillCombo();
    }
    if (Value->FComboBox != this) Value->SetComboBox(this);
    if (Value->CurrentFolder()) ShowFolder(Value->CurrentFolder()->AbsoluteIDList());
}

void TUtCustomShellComboBox::CreateWnd() {
    TCustomComboBox::CreateWnd();
    TakeController();
    const int icon = FController->SmallImages()->Height;
    Canvas().Font.Assign(Font());
    SetItemHeight(std::max(icon, Canvas().TextHeight("Aj")));
    FillCombo();
    if (!(ComponentState() & csDesigning)) {
        FNotification->SetWatchIDList(nullptr);
        FNotification->SetActive(true);
    }
}

void TUtCustomShellComboBox::FillCombo() {
    TakeController();
    LPITEMIDLIST keep = FChosen ? ILClone(FChosen->AbsoluteIDList()) : nullptr;
    FChosen = nullptr;
    Clear();
    FFolders.Clear();
    LPITEMIDLIST desktop = platform::SHGetSpecialFolderLocation(platform::CSIDL_DESKTOP);
    auto* top = new TUtShellFolder(desktop, FController);
    ILFree(desktop);
    top->Level = 0;
    top->ReadItemInfo();
    FFolders.Add(top);
    auto addChildren = [this](LPCITEMIDLIST parent, int level, std::vector<TUtShellFolder*>& out) {
        FController->Enumerate(parent, emCombo, 0, [&](TUtShellItem* item) {
            auto* folder = static_cast<TUtShellFolder*>(item);
            folder->Level = level;
            out.push_back(folder);
            return true;
        });
        std::stable_sort(out.begin(), out.end(), [](TUtShellFolder* a, TUtShellFolder* b) {
            return CompareIDs(a->AbsoluteIDList(), b->AbsoluteIDList()) < 0;
        });
    };
    std::vector<TUtShellFolder*> level1;
    addChildren(top->AbsoluteIDList(), 1, level1);
    LPITEMIDLIST computer = platform::SHComputerIDList();
    for (TUtShellFolder* folder : level1) {
        FFolders.Add(folder);
        if (ILIsEqual(folder->AbsoluteIDList(), computer)) {
            std::vector<TUtShellFolder*> drives;
            addChildren(computer, 2, drives);
            for (TUtShellFolder* drive : drives) FFolders.Add(drive);
        }
    }
    ILFree(computer);
    for (int i = 0; i < FFolders.Count(); ++i) Items().Add(FFolders.Items(i)->DisplayName);
    if (keep) {
        ShowFolder(keep);
        ILFree(keep);
    }
}

void TUtCustomShellComboBox::RemoveInserted() {
    for (int i = FFolders.Count() - 1; i >= 0; --i) {
        if (!FFolders.Items(i)->InsertedAncestor) continue;
        if (FChosen == FFolders.Items(i)) FChosen = nullptr;
        Items().Delete(i);
        // The list owns its folders: rebuild it without this one.
        std::vector<TUtShellFolder*> rest;
        for (int j = 0; j < FFolders.Count(); ++j)
            if (j != i) rest.push_back(FFolders.Items(j));
        delete FFolders.Items(i);
        FFolders.Release();
        for (TUtShellFolder* f : rest) FFolders.Add(f);
    }
}

void TUtCustomShellComboBox::ShowFolder(LPCITEMIDLIST List) {
    if (!List) return;
    TakeController();
    if (FFolders.Count() == 0) return;
    RemoveInserted();
    for (int i = 0; i < FFolders.Count(); ++i)
        if (ILIsEqual(FFolders.Items(i)->AbsoluteIDList(), List)) {
            FChosen = FFolders.Items(i);
            SetItemIndex(i);
            return;
        }
    // The path from the nearest listed ancestor down to the folder goes in below that ancestor.
    std::vector<LPITEMIDLIST> path;
    LPITEMIDLIST walk = ILClone(List);
    int anchor = -1;
    while (anchor < 0 && ILGetSize(walk) > 2) {
        path.push_back(ILClone(walk));
        ILRemoveLastID(walk);
        for (int i = 0; i < FFolders.Count(); ++i)
            if (ILIsEqual(FFolders.Items(i)->AbsoluteIDList(), walk)) anchor = i;
    }
    ILFree(walk);
    if (anchor < 0) anchor = 0;
    std::vector<TUtShellFolder*> all;
    for (int i = 0; i < FFolders.Count(); ++i) all.push_back(FFolders.Items(i));
    int level = all[static_cast<size_t>(anchor)]->Level;
    int at = anchor + 1;
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        auto* folder = new TUtShellFolder(*it, FController);
        folder->ReadItemInfo();
        folder->Level = ++level;
        folder->InsertedAncestor = true;
        all.insert(all.begin() + at, folder);
        Items().Insert(at, folder->DisplayName);
        ++at;
        ILFree(*it);
    }
    FFolders.Release();
    for (TUtShellFolder* f : all) FFolders.Add(f);
    FChosen = FFolders.Items(at - 1);
    SetItemIndex(at - 1);
}

void TUtCustomShellComboBox::Choose() {
    TUtShellFolder* folder = FFolders.Items(ItemIndex());
    if (!folder || FChoosing) return;
    FChoosing = true;
    if (OnBeforeChoose) OnBeforeChoose(this, folder);
    FChosen = folder;
    if (FListView) {
        auto copy = std::make_unique<TUtShellFolder>(FController);
        copy->Assign(*folder);
        try {
            FListView->BrowseFolder(copy.get());
        } catch (...) {
            FChoosing = false;
            throw;
        }
    }
    if (OnAfterChoose) OnAfterChoose(this, FChosen);
    FChoosing = false;
}

void TUtCustomShellComboBox::Notified() {
    // Drives reported while the list is down are taken in when it closes.
    if (DroppedDown()) {
        FRefillPending = true;
        return;
    }
    FillCombo();
    Invalidate();
}

void TUtCustomShellComboBox::Rebuild() {
    FRefillPending = false;
    FillCombo();
    Invalidate();
}

void TUtCustomShellComboBox::DrawItem(int Index, const TRect& R, TOwnerDrawState State) {
    if (OnDrawItem) {
        TCustomComboBox::DrawItem(Index, R, State);
        return;
    }
    TCanvas& c = Canvas();
    const bool selected = (State & odSelected) != 0;
    c.Brush.Color = Color();
    c.FillRect(R);
    TUtShellFolder* folder = FFolders.Items(Index);
    if (!folder) return;
    const int indent = (State & odComboBoxEdit) ? 0 : 5 + 12 * folder->Level;
    TImageList* images = FController->SmallImages();
    const int y = R.Top + (R.Height() - images->Height) / 2;
    images->Draw(c, R.Left + indent, y, folder->ImageIndex());
    if (folder->IsShared()) images->Draw(c, R.Left + indent, y, FController->OverlayImage(0));
    const int x = R.Left + indent + images->Width + 3;
    const std::string& text = folder->DisplayName;
    TRect label = Rect(x, R.Top, x + c.TextWidth(text) + 4, R.Bottom);
    if (selected) {
        c.Brush.Color = clHighlight;
        c.Font.Color = clHighlightText;
        c.FillRect(label);
    } else {
        c.Font.Color = Font().Color;
    }
    c.Brush.Style = bsClear;
    c.TextOut(x + 2, R.Top + (R.Height() - c.TextHeight(text)) / 2, text);
    c.Brush.Style = bsSolid;
    if (State & odFocused) c.DrawFocusRect(label);
}

void TUtCustomShellComboBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomComboBox::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FListView) FListView = nullptr;
}

void TUtCustomShellComboBox::Dispatch(TMessage& Message) {
    if (Message.Msg == CN_COMMAND) {
        const UINT code = Message.WParamHi();
        TCustomComboBox::Dispatch(Message);
        if (code == CBN_SELCHANGE && !DroppedDown()) Choose();
        if (code == CBN_CLOSEUP) {
            if (FFolders.Items(ItemIndex()) != FChosen) Choose();
            if (FRefillPending) Rebuild();
        }
        return;
    }
    if (Message.Msg == WM_KEYDOWN && Message.WParam == VK_RETURN && !DroppedDown()) {
        Choose();
        return;
    }
    TCustomComboBox::Dispatch(Message);
}

}  // namespace sysutil
