#pragma once
// The shell namespace as the shell views, the change notification and the drag objects see it:
// ID-list helpers, bound folders, items and folders with their owning lists, and the controller
// that owns the desktop folder and the icon lists and enumerates folders.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/DateTime.h"
#include "framework/core/Object.h"
#include "framework/core/Strings.h"
#include "platform/ShellNamespace.h"
#include "sysutil/ShBase.h"

namespace framework {
class TImageList;
}

namespace sysutil {

using platform::ILClone;
using platform::ILCloneFirst;
using platform::ILCombine;
using platform::ILFindLastID;
using platform::ILFree;
using platform::ILGetNext;
using platform::ILGetSize;
using platform::ILIsEqual;
using platform::ILRemoveLastID;
using platform::LPCITEMIDLIST;
using platform::LPITEMIDLIST;

// The special folders a view or a notification may start from, with the shell folder number each
// stands for (SpecialFolderCSIDL).
enum TUtSpecialRootFolder {
    sfAltStartup,
    sfAppData,
    sfBitBucket,
    sfCommonAltStartup,
    sfCommonDesktopDir,
    sfCommonFavorites,
    sfCommonPrograms,
    sfCommonStartMenu,
    sfCommonStartup,
    sfConnections,
    sfControls,
    sfCookies,
    sfDesktop,
    sfDesktopDir,
    sfDrives,
    sfFavorites,
    sfFonts,
    sfHistory,
    sfInternet,
    sfInternetCache,
    sfNetHood,
    sfNetwork,
    sfNone,
    sfPersonal,
    sfPrinters,
    sfPrintHood,
    sfPrograms,
    sfRecentFiles,
    sfSendTo,
    sfStartMenu,
    sfStartup,
    sfTemplates
};
int SpecialFolderCSIDL(TUtSpecialRootFolder Folder);
// True for the folders that need shell version 4.7 or later.
bool SpecialFolderNeedsNewShell(TUtSpecialRootFolder Folder);
// Raises EShShellError code 110 when the folder needs a newer shell than Version.
void CheckShellVersionFor(TUtSpecialRootFolder Folder, double Version);
// The location of a special folder (the Desktop is the empty list); raises EShShellError code 110
// for a folder that has no location here.
LPITEMIDLIST SpecialFolderLocation(TUtSpecialRootFolder Folder);

// The clipboard format "Shell IDList Array", registered on first use.
unsigned ShellIDListFormat();

// A copy of the list with its last ID removed (the parent's full list); the caller frees it.
LPITEMIDLIST ParentIDList(LPCITEMIDLIST list);

// The order of two absolute lists under one folder, as the folder sorts its items: folders
// first, then by name without regard to case.
int CompareIDs(LPCITEMIDLIST a, LPCITEMIDLIST b);

// The display name of a network path ("\\SERVER1\DATA") without the part from " on " onward
// ("DATA on SERVER1" -> "DATA"); other names are returned unchanged.
std::string ShortNetworkName(const std::string& path, const std::string& displayName);

// A folder bound from the desktop: answers for its children by their relative ID lists.
class TUtBoundFolder {
public:
    explicit TUtBoundFolder(LPCITEMIDLIST absolute);
    ~TUtBoundFolder();
    TUtBoundFolder(const TUtBoundFolder&) = delete;
    TUtBoundFolder& operator=(const TUtBoundFolder&) = delete;
    LPCITEMIDLIST IDList() const { return FIDList; }
    uint32_t GetAttributesOf(LPCITEMIDLIST relative, uint32_t mask) const;
    std::string GetDisplayNameOf(LPCITEMIDLIST relative, uint32_t flags) const;
    std::vector<LPITEMIDLIST> EnumObjects(uint32_t flags) const;

private:
    LPITEMIDLIST FIDList;
};
using IShellFolder = std::shared_ptr<TUtBoundFolder>;

class TUtCustomShellController;
class TUtShellItemList;

class TUtShellItem : public framework::TObject {
public:
    // An empty item; without a controller it makes and owns one.
    explicit TUtShellItem(TUtCustomShellController* AController);
    // An item for an absolute list (copied).
    TUtShellItem(LPCITEMIDLIST AbsoluteList, TUtCustomShellController* AController);
    ~TUtShellItem() override;
    TUtShellItem(const TUtShellItem&) = delete;
    TUtShellItem& operator=(const TUtShellItem&) = delete;

    virtual void Assign(const TUtShellItem& Source);
    // Starts the item with its program; true on success.
    bool Open();

    bool CanRename() const;
    bool HasSubFolder() const;
    bool IsCompressed() const;
    bool IsHidden() const;
    bool IsLink() const;
    bool IsShared() const;
    bool IsShellFolder() const;

    int ImageIndex();
    int SelectedIndex();
    int OverlayIndex();
    // The size in bytes (64-bit), 0 for folders; read with the details on first use.
    int64_t Size();
    framework::TDateTime Modified();
    int32_t DosDateTime();
    uint32_t Attributes();
    std::string AttributeText();

    TUtCustomShellController* Controller() const { return FController; }
    LPCITEMIDLIST AbsoluteIDList() const { return FAbsoluteIDList; }
    LPCITEMIDLIST RelativeIDList() const { return FRelativeIDList; }
    // Takes ownership of the lists (used by enumeration).
    void SetIDLists(LPITEMIDLIST Absolute, LPITEMIDLIST Relative);
    const IShellFolder& ParentFolder() const { return FParentFolder; }
    void SetParentFolder(IShellFolder Folder) { FParentFolder = std::move(Folder); }

    std::string Path;
    std::string DisplayName;
    std::string TypeName;
    bool IsDesktop = false;
    bool IsFileSystem = false;
    bool IsFolder = false;
    bool IsFile = false;
    framework::TStringList Details;
    TUtShellItemList* OwnerList = nullptr;

    // Sets IsFileSystem, IsFolder and IsFile from the item's SFGAO_FILESYSTEM and SFGAO_FOLDER bits.
    void SetKind(uint32_t Attributes);
    // Reads the icon indexes now (they are read on first use otherwise).
    void ReadItemInfo();

protected:
    void LoadDetails();
    bool AskParent(uint32_t bit, bool falseForDesktop) const;

    TUtCustomShellController* FController = nullptr;
    bool FOwnsController = false;
    LPITEMIDLIST FAbsoluteIDList = nullptr;
    LPITEMIDLIST FRelativeIDList = nullptr;
    IShellFolder FParentFolder;
    int64_t FSize = -1;
    framework::TDateTime FModified = 0;
    int32_t FDosDateTime = 0;
    uint32_t FAttributes = 0;
    std::string FAttributeText;
    int FImageIndex = -1;
    int FSelectedIndex = -1;
    int FOverlayIndex = -1;
};

class TUtShellFolder : public TUtShellItem {
public:
    using TUtShellItem::TUtShellItem;
    void Assign(const TUtShellItem& Source) override;
    int Level = 0;
    bool InsertedAncestor = false;
};

// Owning lists: clearing (and destruction) frees every item.
class TUtShellItemList : public framework::TObject {
public:
    TUtShellItemList() = default;
    ~TUtShellItemList() override { Clear(); }
    TUtShellItemList(const TUtShellItemList&) = delete;
    TUtShellItemList& operator=(const TUtShellItemList&) = delete;
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }
    // Nil for an index outside the list.
    TUtShellItem* Items(int Index) const;
    int Add(TUtShellItem* Item);
    // Forgets the items without freeing them (the caller has taken them over).
    void Release() { FItems.clear(); }

private:
    std::vector<TUtShellItem*> FItems;
};

class TUtShellFolderList : public framework::TObject {
public:
    TUtShellFolderList() = default;
    ~TUtShellFolderList() override { Clear(); }
    TUtShellFolderList(const TUtShellFolderList&) = delete;
    TUtShellFolderList& operator=(const TUtShellFolderList&) = delete;
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }
    TUtShellFolder* Items(int Index) const;
    int Add(TUtShellFolder* Item);
    // Forgets the items without freeing them (the caller has taken them over).
    void Release() { FItems.clear(); }

private:
    std::vector<TUtShellFolder*> FItems;
};

// How a folder is enumerated: for the tree view (folders), the list view (folders and files) or
// the folder combo box (folders).
enum TUtEnumerateMode { emTree = 0, emList = 1, emCombo = 2 };

inline constexpr uint32_t CMF_EXPLORE = 0x4;
inline constexpr uint32_t CMF_CANRENAME = 0x10;
inline constexpr uint32_t CMF_EXTENDEDVERBS = 0x80;

class TUtCustomShellController : public TShComponent {
public:
    explicit TUtCustomShellController(framework::TComponent* AOwner);
    ~TUtCustomShellController() override;

    const IShellFolder& Desktop() const { return FDesktop; }
    // Process-wide icon lists (16 and 32 pixels) shared by every controller, not owned.
    framework::TImageList* SmallImages() const;
    framework::TImageList* LargeImages() const;
    int GenericIconIndex = -1;
    TUtShellItemList& ItemList() { return FItemList; }
    // The index in the icon lists of an overlay (0 shared, 1 link) drawn over an item's icon: the
    // emblem in the icon's lower left quarter; -1 for none.
    int OverlayImage(int Overlay) const;
    // The icon of several dragged items.
    int MultipleItemsImage() const;

    // Nil when the path cannot be parsed.
    LPITEMIDLIST ParsePath(const std::string& Path) const;
    IShellFolder BindFolder(const IShellFolder& Folder, LPCITEMIDLIST Relative) const;
    // The parent's folder of an absolute list; nil when there is none (callers use the desktop).
    IShellFolder ParentFolderOf(LPCITEMIDLIST Absolute) const;
    std::string DisplayNameOf(const IShellFolder& Folder, LPCITEMIDLIST Relative, uint32_t Flags) const;
    // Icon indexes (open-folder icon as the selected one for folders), the display name, the
    // folder/share/link attributes and the overlay (0 shared, 1 link, -1 none).
    void ItemInfo(LPCITEMIDLIST Absolute, int& ImageIndex, std::string& DisplayName, uint32_t& Attributes,
                  int& SelectedIndex, int& OverlayIndex) const;
    // Enumerates a folder as the mode asks (ExtraFlags adds SHCONTF_NONFOLDERS in the tree and
    // SHCONTF_INCLUDEHIDDEN). Each item is offered to Accept, which takes it (true) or refuses it
    // (then it is freed).
    using TAcceptItem = std::function<bool(TUtShellItem* Item)>;
    void Enumerate(LPCITEMIDLIST Folder, TUtEnumerateMode Mode, uint32_t ExtraFlags,
                   const TAcceptItem& Accept);

    // The items' context menu at screen point (X, Y), shown for the view: "Open", "Rename" (only
    // with CMF_CANRENAME in Flags) and "Delete" (the items go to the trash). Open and Delete are
    // carried out here; the result is the chosen command (cmdOpen, cmdDelete, cmdRename, which the
    // views answer by editing the item's label) or -1 when none was chosen.
    static constexpr int cmdOpen = 1, cmdDelete = 18, cmdRename = 19;
    int ShowContextMenu(framework::TComponent* View, const IShellFolder& Parent, int X, int Y,
                        const std::vector<LPCITEMIDLIST>& Items, uint32_t Flags) const;
    // CMF_EXPLORE, with CMF_CANRENAME when the view allows renaming and CMF_EXTENDEDVERBS when its
    // extended-menu option is set and Shift is held.
    static uint32_t ContextMenuFlags(bool AllowRename, bool ExtendedMenu);

private:
    IShellFolder FDesktop;
    TUtShellItemList FItemList;
};

}  // namespace sysutil
