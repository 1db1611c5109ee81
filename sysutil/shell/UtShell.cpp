#include "sysutil/shell/UtShell.h"

#include <QIcon>
#include <QImage>
#include <QMimeDatabase>
#include <QPainter>

#include <ctime>
#include <map>

#include "framework/core/Strings.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Windows.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/Volume.h"
#include "sysutil/ShConst.h"

using namespace framework;

namespace sysutil {

namespace {

// The two process-wide icon lists and the icon names already in them.
struct TSystemImages {
    TImageList Small{nullptr};
    TImageList Large{nullptr};
    std::map<std::string, int> Indexes;

    TSystemImages() { Large.Width = Large.Height = 32; }

    // An emblem takes the lower left quarter of the picture and leaves the rest clear.
    static void AddIcon(TImageList& list, const QIcon& icon, bool emblem = false) {
        const int size = list.Width;
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        if (!icon.isNull()) {
            QPainter p(&image);
            if (emblem)
                icon.paint(&p, 0, size / 2, size / 2, size / 2);
            else
                icon.paint(&p, 0, 0, size, size);
        }
        TBitmap bits;
        bits.SetPixelFormat(pf24bit);
        bits.SetSize(size, size);
        for (int y = 0; y < size; ++y) {
            uint8_t* row = bits.ScanLine(y);
            for (int x = 0; x < size; ++x) {
                const QRgb c = image.pixel(x, y);
                const bool clear = qAlpha(c) < 128;
                row[3 * x] = clear ? 0xFF : static_cast<uint8_t>(qBlue(c));
                row[3 * x + 1] = clear ? 0x00 : static_cast<uint8_t>(qGreen(c));
                row[3 * x + 2] = clear ? 0xFF : static_cast<uint8_t>(qRed(c));
            }
        }
        list.AddMasked(&bits, clFuchsia);
    }

    // The index of a theme icon (or emblem), added to both lists on first use.
    int IndexOf(const std::string& name, bool emblem = false) {
        const std::string key = emblem ? "emblem:" + name : name;
        const auto it = Indexes.find(key);
        if (it != Indexes.end()) return it->second;
        const QIcon icon = QIcon::fromTheme(QString::fromStdString(name));
        AddIcon(Small, icon, emblem);
        AddIcon(Large, icon, emblem);
        const int index = Small.Count() - 1;
        Indexes[key] = index;
        return index;
    }
};

// Kept for the whole run: the lists' bitmaps must outlive every window that draws from them, and
// the graphics objects they hold cannot be freed after the graphics layer has gone at exit.
TSystemImages& SystemImages() {
    static TSystemImages* images = new TSystemImages;
    return *images;
}

std::string DriveIconName(const std::string& root) {
    switch (platform::GetDriveType(root)) {
        case platform::DRIVE_REMOVABLE:
            return "drive-removable-media";
        case platform::DRIVE_CDROM:
            return "drive-optical";
        case platform::DRIVE_REMOTE:
            return "folder-remote";
        default:
            return "drive-harddisk";
    }
}

// The icon name of an item by its place in the namespace and its file type.
std::string IconName(LPCITEMIDLIST absolute, bool open) {
    const int depth = platform::ILCount(absolute);
    if (depth == 0) return "user-desktop";
    if (depth == 1) return "computer";
    const std::string path = platform::SHGetDisplayNameOf(absolute, platform::SHGDN_FORPARSING);
    if (depth == 2) return DriveIconName(path);
    if (platform::SHGetAttributesOf(absolute, platform::SFGAO_FOLDER)) return open ? "folder-open" : "folder";
    const std::string native = platform::SHNativePathOf(absolute);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QString::fromStdString(native));
    if (QIcon::hasThemeIcon(type.iconName())) return type.iconName().toStdString();
    if (QIcon::hasThemeIcon(type.genericIconName())) return type.genericIconName().toStdString();
    return "text-x-generic";
}

TDateTime LocalDateTime(int64_t unixSeconds) {
    const time_t t = static_cast<time_t>(unixSeconds);
    tm local{};
    if (!localtime_r(&t, &local)) return 0;
    TDateTime date = 0, time = 0;
    if (!TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date)) return 0;
    TryEncodeTime(local.tm_hour, local.tm_min, local.tm_sec < 60 ? local.tm_sec : 59, 0, time);
    return ComposeDateTime(date, time);
}

std::string AttributeLetters(uint32_t attributes) {
    std::string text;
    if (attributes & platform::FILE_ATTRIBUTE_HIDDEN) text += 'H';
    if (attributes & platform::FILE_ATTRIBUTE_SYSTEM) text += 'S';
    if (attributes & platform::FILE_ATTRIBUTE_READONLY) text += 'R';
    if (attributes & 0x800) text += 'C';
    if (attributes & platform::FILE_ATTRIBUTE_ARCHIVE) text += 'A';
    return text;
}

}  // namespace

int SpecialFolderCSIDL(TUtSpecialRootFolder Folder) {
    static const int table[] = {29, 26, 10, 30, 25, 31, 23, 22, 24, 49, 3, 33, 0, 16, 17, 6,
                                20, 34, 1,  32, 19, 18, 0,  5,  4,  27, 2, 8,  9, 11, 7,  21};
    return table[Folder];
}

bool SpecialFolderNeedsNewShell(TUtSpecialRootFolder Folder) {
    const int csidl = SpecialFolderCSIDL(Folder);
    return Folder != sfNone && (csidl == 1 || (csidl >= 29 && csidl <= 34));
}

void CheckShellVersionFor(TUtSpecialRootFolder Folder, double Version) {
    if (SpecialFolderNeedsNewShell(Folder) && Version < 4.7) throw EShShellError(110);
}

LPITEMIDLIST SpecialFolderLocation(TUtSpecialRootFolder Folder) {
    LPITEMIDLIST list = platform::SHGetSpecialFolderLocation(SpecialFolderCSIDL(Folder));
    if (!list) throw EShShellError(110);
    return list;
}

unsigned ShellIDListFormat() {
    static const unsigned format = RegisterClipboardFormat("Shell IDList Array");
    return format;
}

LPITEMIDLIST ParentIDList(LPCITEMIDLIST list) {
    LPITEMIDLIST copy = ILClone(list);
    ILRemoveLastID(copy);
    return copy;
}

int CompareIDs(LPCITEMIDLIST a, LPCITEMIDLIST b) {
    const bool fa = platform::SHGetAttributesOf(a, platform::SFGAO_FOLDER) != 0;
    const bool fb = platform::SHGetAttributesOf(b, platform::SFGAO_FOLDER) != 0;
    if (fa != fb) return fa ? -1 : 1;
    const std::string na = a && ILGetSize(a) > 2 ? platform::ILSegment(ILFindLastID(a)) : std::string();
    const std::string nb = b && ILGetSize(b) > 2 ? platform::ILSegment(ILFindLastID(b)) : std::string();
    if (const int c = AnsiCompareText(na, nb)) return c;
    return na.compare(nb);
}

std::string ShortNetworkName(const std::string& path, const std::string& displayName) {
    if (path.rfind("\\\\", 0) != 0) return displayName;
    const size_t on = displayName.find(" on ");
    return on == std::string::npos ? displayName : displayName.substr(0, on);
}

// ---- Bound folders ----

TUtBoundFolder::TUtBoundFolder(LPCITEMIDLIST absolute) : FIDList(ILClone(absolute)) {}
TUtBoundFolder::~TUtBoundFolder() {
    ILFree(FIDList);
}

uint32_t TUtBoundFolder::GetAttributesOf(LPCITEMIDLIST relative, uint32_t mask) const {
    LPITEMIDLIST full = ILCombine(FIDList, relative);
    const uint32_t attrs = platform::SHGetAttributesOf(full, mask);
    ILFree(full);
    return attrs;
}

std::string TUtBoundFolder::GetDisplayNameOf(LPCITEMIDLIST relative, uint32_t flags) const {
    LPITEMIDLIST full = ILCombine(FIDList, relative);
    std::string name = platform::SHGetDisplayNameOf(full, flags);
    ILFree(full);
    return name;
}

std::vector<LPITEMIDLIST> TUtBoundFolder::EnumObjects(uint32_t flags) const {
    return platform::SHEnumObjects(FIDList, flags);
}

// ---- Items ----

TUtShellItem::TUtShellItem(TUtCustomShellController* AController) : FController(AController) {
    if (!FController) {
        FController = new TUtCustomShellController(nullptr);
        FOwnsController = true;
    }
}

TUtShellItem::TUtShellItem(LPCITEMIDLIST AbsoluteList, TUtCustomShellController* AController)
    : TUtShellItem(AController) {
    FAbsoluteIDList = ILClone(AbsoluteList);
    FRelativeIDList = ILCloneFirst(ILFindLastID(FAbsoluteIDList));
    FParentFolder = FController->ParentFolderOf(FAbsoluteIDList);
    if (!FParentFolder) FParentFolder = FController->Desktop();
    Path = FController->DisplayNameOf(FParentFolder, FRelativeIDList, platform::SHGDN_FORPARSING);
    DisplayName = ShortNetworkName(
        Path, FController->DisplayNameOf(FParentFolder, FRelativeIDList, platform::SHGDN_NORMAL));
    SetKind(
        FParentFolder->GetAttributesOf(FRelativeIDList, platform::SFGAO_FILESYSTEM | platform::SFGAO_FOLDER));
    IsDesktop = FAbsoluteIDList && ILGetSize(FAbsoluteIDList) == 2;
}

TUtShellItem::~TUtShellItem() {
    ILFree(FAbsoluteIDList);
    ILFree(FRelativeIDList);
    FParentFolder.reset();
    if (FOwnsController) delete FController;
}

void TUtShellItem::SetKind(uint32_t Attributes) {
    IsFileSystem = (Attributes & platform::SFGAO_FILESYSTEM) != 0;
    IsFolder = IsFileSystem && (Attributes & platform::SFGAO_FOLDER);
    IsFile = IsFileSystem && !IsFolder;
}

void TUtShellItem::SetIDLists(LPITEMIDLIST Absolute, LPITEMIDLIST Relative) {
    ILFree(FAbsoluteIDList);
    ILFree(FRelativeIDList);
    FAbsoluteIDList = Absolute;
    FRelativeIDList = Relative;
    IsDesktop = FAbsoluteIDList && ILGetSize(FAbsoluteIDList) == 2;
}

void TUtShellItem::Assign(const TUtShellItem& Source) {
    SetIDLists(ILClone(Source.FAbsoluteIDList), ILClone(Source.FRelativeIDList));
    FParentFolder = FController->ParentFolderOf(FAbsoluteIDList);
    if (!FParentFolder) FParentFolder = FController->Desktop();
    Path = Source.Path;
    DisplayName = Source.DisplayName;
    TypeName = Source.TypeName;
    IsDesktop = Source.IsDesktop;
    IsFileSystem = Source.IsFileSystem;
    IsFolder = Source.IsFolder;
    IsFile = Source.IsFile;
    Details.Assign(const_cast<TStringList*>(&Source.Details));
    FSize = Source.FSize;
    FModified = Source.FModified;
    FDosDateTime = Source.FDosDateTime;
    FAttributes = Source.FAttributes;
    FAttributeText = Source.FAttributeText;
    FImageIndex = Source.FImageIndex;
    FSelectedIndex = Source.FSelectedIndex;
    FOverlayIndex = Source.FOverlayIndex;
}

void TUtShellFolder::Assign(const TUtShellItem& Source) {
    TUtShellItem::Assign(Source);
    if (const auto* folder = dynamic_cast<const TUtShellFolder*>(&Source)) {
        Level = folder->Level;
        InsertedAncestor = folder->InsertedAncestor;
    }
}

bool TUtShellItem::Open() {
    if (Path.empty() || !IsFileSystem) return false;
    platform::SHELLEXECUTEINFO info;
    info.fMask = 12;
    info.lpFile = Path;
    info.nShow = platform::SW_SHOWNORMAL;
    return platform::ShellExecuteEx(&info);
}

bool TUtShellItem::AskParent(uint32_t bit, bool falseForDesktop) const {
    if (falseForDesktop && IsDesktop) return false;
    if (!FParentFolder || !FRelativeIDList) return false;
    return (FParentFolder->GetAttributesOf(FRelativeIDList, bit) & bit) != 0;
}

bool TUtShellItem::CanRename() const {
    return AskParent(platform::SFGAO_CANRENAME, true);
}
bool TUtShellItem::HasSubFolder() const {
    return AskParent(platform::SFGAO_HASSUBFOLDER, true);
}
bool TUtShellItem::IsCompressed() const {
    return AskParent(platform::SFGAO_COMPRESSED, true);
}
bool TUtShellItem::IsHidden() const {
    return AskParent(platform::SFGAO_HIDDEN, true);
}
bool TUtShellItem::IsLink() const {
    return AskParent(platform::SFGAO_LINK, true);
}
bool TUtShellItem::IsShared() const {
    return AskParent(platform::SFGAO_SHARE, false);
}
bool TUtShellItem::IsShellFolder() const {
    return AskParent(platform::SFGAO_FOLDER, false);
}

void TUtShellItem::ReadItemInfo() {
    std::string name;
    uint32_t attrs = 0;
    FController->ItemInfo(FAbsoluteIDList, FImageIndex, name, attrs, FSelectedIndex, FOverlayIndex);
}

int TUtShellItem::ImageIndex() {
    if (FImageIndex == -1) ReadItemInfo();
    return FImageIndex;
}

int TUtShellItem::SelectedIndex() {
    if (FImageIndex == -1) ReadItemInfo();
    return FSelectedIndex;
}

int TUtShellItem::OverlayIndex() {
    if (FImageIndex == -1) ReadItemInfo();
    return FOverlayIndex;
}

void TUtShellItem::LoadDetails() {
    if (!IsFileSystem) {
        FSize = 0;
        return;
    }
    platform::TShellFindData data;
    if (platform::SHGetFindData(FAbsoluteIDList, data)) {
        const bool directory = (data.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0;
        FSize = directory ? 0 : static_cast<int64_t>(data.Size);
        if (directory) IsFolder = true;
        FModified = LocalDateTime(data.ModifiedUnix);
        FDosDateTime = DateTimeToFileDate(FModified);
        if (FDosDateTime == 0) FModified = Now();
        FAttributes = data.Attributes;
        FAttributeText = AttributeLetters(FAttributes);
        return;
    }
    // Not readable through the namespace: ask the folder listing for the path.
    platform::WIN32_FIND_DATA found;
    const platform::HANDLE h = platform::FindFirstFile(Path, found);
    if (h == platform::INVALID_HANDLE_VALUE) {
        FSize = 0;
        return;
    }
    platform::FindClose(h);
    FSize = static_cast<int64_t>((uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
    FModified = LocalDateTime(platform::FileTimeToUnixTime(found.ftLastWriteTime));
    FDosDateTime = DateTimeToFileDate(FModified);
    FAttributes = found.dwFileAttributes;
    FAttributeText = AttributeLetters(FAttributes);
}

int64_t TUtShellItem::Size() {
    if (FSize == -1) LoadDetails();
    return FSize;
}

TDateTime TUtShellItem::Modified() {
    if (FSize == -1) LoadDetails();
    return FModified;
}

int32_t TUtShellItem::DosDateTime() {
    if (FSize == -1) LoadDetails();
    return FDosDateTime;
}

uint32_t TUtShellItem::Attributes() {
    if (FSize == -1) LoadDetails();
    return FAttributes;
}

std::string TUtShellItem::AttributeText() {
    if (FSize == -1) LoadDetails();
    return FAttributeText;
}

// ---- Lists ----

void TUtShellItemList::Clear() {
    for (TUtShellItem* item : FItems) delete item;
    FItems.clear();
}

TUtShellItem* TUtShellItemList::Items(int Index) const {
    return Index >= 0 && Index < Count() ? FItems[static_cast<size_t>(Index)] : nullptr;
}

int TUtShellItemList::Add(TUtShellItem* Item) {
    Item->OwnerList = this;
    FItems.push_back(Item);
    return Count() - 1;
}

void TUtShellFolderList::Clear() {
    for (TUtShellFolder* item : FItems) delete item;
    FItems.clear();
}

TUtShellFolder* TUtShellFolderList::Items(int Index) const {
    return Index >= 0 && Index < Count() ? FItems[static_cast<size_t>(Index)] : nullptr;
}

int TUtShellFolderList::Add(TUtShellFolder* Item) {
    FItems.push_back(Item);
    return Count() - 1;
}

// ---- Controller ----

TUtCustomShellController::TUtCustomShellController(TComponent* AOwner) : TShComponent(AOwner) {
    LPITEMIDLIST desktop = platform::SHGetSpecialFolderLocation(platform::CSIDL_DESKTOP);
    FDesktop = std::make_shared<TUtBoundFolder>(desktop);
    ILFree(desktop);
    ShellIDListFormat();
    RegisterClipboardFormat("FileContents");
    RegisterClipboardFormat("FileGroupDescriptor");
}

TUtCustomShellController::~TUtCustomShellController() {
    FItemList.Clear();
}

TImageList* TUtCustomShellController::SmallImages() const {
    return &SystemImages().Small;
}
TImageList* TUtCustomShellController::LargeImages() const {
    return &SystemImages().Large;
}

int TUtCustomShellController::OverlayImage(int Overlay) const {
    if (Overlay == 0) return SystemImages().IndexOf("emblem-shared", true);
    if (Overlay == 1) return SystemImages().IndexOf("emblem-symbolic-link", true);
    return -1;
}

int TUtCustomShellController::MultipleItemsImage() const {
    return SystemImages().IndexOf(QIcon::hasThemeIcon("document-multiple") ? "document-multiple"
                                                                           : "edit-copy");
}

LPITEMIDLIST TUtCustomShellController::ParsePath(const std::string& Path) const {
    if (Path.size() > 260) return nullptr;
    return platform::SHParseDisplayName(Path);
}

IShellFolder TUtCustomShellController::BindFolder(const IShellFolder& Folder, LPCITEMIDLIST Relative) const {
    if (!Folder) return nullptr;
    LPITEMIDLIST full = ILCombine(Folder->IDList(), Relative);
    IShellFolder bound;
    if (platform::SHGetAttributesOf(full, platform::SFGAO_FOLDER))
        bound = std::make_shared<TUtBoundFolder>(full);
    ILFree(full);
    return bound;
}

IShellFolder TUtCustomShellController::ParentFolderOf(LPCITEMIDLIST Absolute) const {
    if (!Absolute || ILGetSize(Absolute) <= 2) return nullptr;
    LPITEMIDLIST parent = ParentIDList(Absolute);
    IShellFolder folder;
    if (ILGetSize(parent) == 2) {
        folder = FDesktop;
    } else if (platform::SHGetAttributesOf(parent, platform::SFGAO_FOLDER)) {
        folder = std::make_shared<TUtBoundFolder>(parent);
    }
    ILFree(parent);
    return folder;
}

std::string TUtCustomShellController::DisplayNameOf(const IShellFolder& Folder, LPCITEMIDLIST Relative,
                                                    uint32_t Flags) const {
    return Folder ? Folder->GetDisplayNameOf(Relative, Flags) : std::string();
}

void TUtCustomShellController::ItemInfo(LPCITEMIDLIST Absolute, int& ImageIndex, std::string& DisplayName,
                                        uint32_t& Attributes, int& SelectedIndex, int& OverlayIndex) const {
    Attributes = platform::SHGetAttributesOf(
        Absolute, platform::SFGAO_FOLDER | platform::SFGAO_SHARE | platform::SFGAO_LINK);
    DisplayName = platform::SHGetDisplayNameOf(Absolute, platform::SHGDN_NORMAL);
    ImageIndex = SystemImages().IndexOf(IconName(Absolute, false));
    if (ImageIndex == 2 && GenericIconIndex != -1) ImageIndex = GenericIconIndex;
    SelectedIndex =
        (Attributes & platform::SFGAO_FOLDER) ? SystemImages().IndexOf(IconName(Absolute, true)) : ImageIndex;
    OverlayIndex = (Attributes & platform::SFGAO_SHARE) ? 0 : (Attributes & platform::SFGAO_LINK) ? 1 : -1;
}

void TUtCustomShellController::Enumerate(LPCITEMIDLIST Folder, TUtEnumerateMode Mode, uint32_t ExtraFlags,
                                         const TAcceptItem& Accept) {
    IShellFolder folder;
    if (Folder && ILGetSize(Folder) > 2) {
        IShellFolder parent = ParentFolderOf(Folder);
        if (parent) folder = BindFolder(parent, ILFindLastID(Folder));
        if (!folder) folder = BindFolder(FDesktop, Folder);
    }
    if (!folder) folder = FDesktop;
    uint32_t flags = platform::SHCONTF_FOLDERS;
    if (Mode == emTree)
        flags |= ExtraFlags & (platform::SHCONTF_NONFOLDERS | platform::SHCONTF_INCLUDEHIDDEN);
    if (Mode == emList)
        flags |= platform::SHCONTF_NONFOLDERS | (ExtraFlags & platform::SHCONTF_INCLUDEHIDDEN);
    for (LPITEMIDLIST id : folder->EnumObjects(flags)) {
        TUtShellItem* item = Mode == emList ? new TUtShellItem(this) : new TUtShellFolder(this);
        item->SetIDLists(ILCombine(folder->IDList(), id), ILClone(id));
        item->SetParentFolder(folder);
        item->Path = folder->GetDisplayNameOf(id, platform::SHGDN_FORPARSING);
        item->SetKind(folder->GetAttributesOf(id, platform::SFGAO_FOLDER | platform::SFGAO_FILESYSTEM));
        item->DisplayName =
            ShortNetworkName(item->Path, folder->GetDisplayNameOf(id, platform::SHGDN_NORMAL));
        if (Mode == emCombo) item->ReadItemInfo();
        if (!Accept || !Accept(item)) delete item;
        ILFree(id);
    }
}

// ---- The items' context menu ----

uint32_t TUtCustomShellController::ContextMenuFlags(bool AllowRename, bool ExtendedMenu) {
    uint32_t flags = CMF_EXPLORE;
    if (AllowRename) flags |= CMF_CANRENAME;
    if (ExtendedMenu && GetKeyState(VK_SHIFT) < 0) flags |= CMF_EXTENDEDVERBS;
    return flags;
}

int TUtCustomShellController::ShowContextMenu(TComponent* View, const IShellFolder& Parent, int X, int Y,
                                              const std::vector<LPCITEMIDLIST>& Items, uint32_t Flags) const {
    if (!Parent || Items.empty()) return -1;
    std::vector<std::string> paths;
    for (LPCITEMIDLIST item : Items)
        paths.push_back(Parent->GetDisplayNameOf(item, platform::SHGDN_FORPARSING));
    int chosen = -1;
    auto menu = std::make_unique<TPopupMenu>(View);
    const auto add = [&](const std::string& Caption, int Command) {
        menu->Items()->Add(
            NewItem(menu.get(), Caption, 0, [&chosen, Command](TObject*) { chosen = Command; }));
    };
    add("&Open", cmdOpen);
    if (Flags & CMF_CANRENAME) add("Rena&me", cmdRename);
    add("&Delete", cmdDelete);
    menu->Popup(X, Y);
    switch (chosen) {
        case cmdOpen:
            for (const auto& path : paths) {
                if (path.empty()) continue;
                platform::SHELLEXECUTEINFO info;
                info.lpFile = path;
                info.nShow = platform::SW_SHOWNORMAL;
                platform::ShellExecuteEx(&info);
            }
            break;
        case cmdDelete:
            for (const auto& path : paths)
                if (!path.empty()) platform::MoveToTrash(path);
            break;
        default:
            break;
    }
    return chosen;
}

}  // namespace sysutil
