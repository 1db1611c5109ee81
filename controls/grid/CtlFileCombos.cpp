#include "controls/grid/CtlFileCombos.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <vector>

#include "framework/core/SysUtils.h"
#include "framework/print/Printers.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/ui/Resources.h"
#include "framework/ui/Windows.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/ShellNamespace.h"
#include "platform/Volume.h"
#include "sysutil/shell/UtShell.h"

namespace grid {

using namespace framework;

namespace {

constexpr uintptr_t kLevelBase = 64;  // the data of a level item is kLevelBase + its level
constexpr uint32_t kFindAnyFile = 0x3F;
constexpr int kFolderItemHeight = 16;

// Draws a glyph from rows of colour letters: '.' white (transparent), 'k' black, 'y' yellow,
// 'o' olive (dark yellow), 'g' gray, 's' silver, 'b' navy, 'w' window white kept opaque.
void DrawRows(TBitmap& B, const std::vector<const char*>& Rows) {
    const int h = static_cast<int>(Rows.size()),
              w = static_cast<int>(std::char_traits<char>::length(Rows[0]));
    B.SetPixelFormat(pf24bit);
    B.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TColor c = clWhite;
            switch (Rows[static_cast<size_t>(y)][x]) {
                case 'k':
                    c = clBlack;
                    break;
                case 'y':
                    c = clYellow;
                    break;
                case 'o':
                    c = clOlive;
                    break;
                case 'g':
                    c = clGray;
                    break;
                case 's':
                    c = clSilver;
                    break;
                case 'b':
                    c = clNavy;
                    break;
                case 'w':
                    c = TColor(0xFEFEFE);
                    break;
                default:
                    break;
            }
            B.Canvas().SetPixel(x, y, c);
        }
}

// The four glyphs of the folder and printer combo boxes, registered once.
void RegisterComboGlyphs() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterBitmapResource("CTLFOLDEROPEN", [](TBitmap& B) {
            DrawRows(
                B, {"..............", "..............", ".kkkk.........", "kyyyyk........", "kyyyykkkkkkk..",
                    "kyyyyyyyyyyk..", "kyykkkkkkkkkkk", "kyykoooooooooo", "kykoooooooook.", "kykooooooook..",
                    "kkoooooooook..", "kkkkkkkkkkk...", "..............", ".............."});
        });
        RegisterBitmapResource("CTLFOLDERCLOSED", [](TBitmap& B) {
            DrawRows(
                B, {"..............", "..............", ".kkkk.........", "kyyyyk........", "kkkkkkkkkkkkk.",
                    "kyyyyyyyyyyyk.", "kyyyyyyyyyyyk.", "kyyyyyyyyyyyk.", "kyyyyyyyyyyyk.", "kyyyyyyyyyyyk.",
                    "kyyyyyyyyyyyk.", "kkkkkkkkkkkkk.", "..............", ".............."});
        });
        RegisterBitmapResource("CTLPRINTER1", [](TBitmap& B) {
            DrawRows(B, {"................", "....kkkkkkkk....", "....kwwwwwwk....", "....kwkkkkwk....",
                         "....kwwwwwwk....", "..kkkkkkkkkkkk..", ".kssssssssssssk.", ".kssssssssssssk.",
                         ".ksssssssssyysk.", ".kssssssssssssk.", ".kggggggggggggk.", ".kkkkkkkkkkkkkk.",
                         "................", "................", "................", "................"});
        });
        RegisterBitmapResource("CTLPRINTER2", [](TBitmap& B) {
            DrawRows(B, {"................", "....kkkkkkkk....", "....kwwwwwwk....", "....kwkkkkwk....",
                         "....kwwwwwwk....", "..kkkkkkkkkkkk..", ".kssssssssssssk.", ".kssssssssssssk.",
                         ".ksssssssssyysk.", ".kssssssssssssk.", ".kggggggggggggk.", ".kkkkkkkkkkkkkk.",
                         ".......kk.......", ".......kk.......", "..bbbbbbbbbbbb..", "................"});
        });
    });
}

// An image list of the named bitmaps (white transparent); nil when one of them is missing.
std::unique_ptr<TImageList> GlyphList(int Size, const char* First, const char* Second) {
    RegisterComboGlyphs();
    auto list = std::make_unique<TImageList>(nullptr);
    list->Width = list->Height = Size;
    for (const char* name : {First, Second}) {
        TBitmap b;
        if (!LoadBitmapResource(b, name)) return nullptr;
        list->AddMasked(&b, clWhite);
    }
    return list;
}

// Lines sorted as a sorted string list sorts them: without regard to case.
struct TNamed {
    std::string Text;
    uintptr_t Data;
};
void SortNamed(std::vector<TNamed>& List) {
    std::stable_sort(List.begin(), List.end(),
                     [](const TNamed& a, const TNamed& b) { return AnsiCompareText(a.Text, b.Text) < 0; });
}

void AddItem(TCustomComboBox& Combo, const std::string& Text, uintptr_t Data) {
    const LRESULT i = Combo.Perform(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text.c_str()));
    if (i >= 0) Combo.Perform(CB_SETITEMDATA, static_cast<WPARAM>(i), static_cast<LPARAM>(Data));
}

// The shell's icon lookup, kept for the whole run as the shell's icon lists are.
sysutil::TUtCustomShellController& Shell() {
    static sysutil::TUtCustomShellController* shell = new sysutil::TUtCustomShellController(nullptr);
    return *shell;
}

// The associated icon of a file, looked up once per path in the shell's small icon list.
int FileIconIndex(const std::string& Path) {
    static std::map<std::string, int> cache;
    const auto it = cache.find(Path);
    if (it != cache.end()) return it->second;
    int index = -1;
    if (platform::LPITEMIDLIST id = Shell().ParsePath(Path)) {
        std::string name;
        uint32_t attributes = 0;
        int selected = 0, overlay = 0;
        Shell().ItemInfo(id, index, name, attributes, selected, overlay);
        platform::ILFree(id);
    }
    cache[Path] = index;
    return index;
}

void DrawFileIcon(TCanvas& Canvas, const std::string& Path, const TRect& At) {
    const int index = FileIconIndex(Path);
    if (index < 0) return;
    TImageList* images = Shell().SmallImages();
    TBitmap icon;
    images->GetBitmap(index, icon);
    icon.TransparentMode = tmFixed;
    icon.SetTransparentColor(clFuchsia);
    icon.SetTransparent(true);
    Canvas.StretchDraw(At, &icon);
}

std::string CurrentFolder() {
    return platform::GetCurrentDirectory();
}

// The path's last segment ("B" of "D:\A\B", "D:" of "D:\").
std::string LastSegment(const std::string& Path) {
    std::string p = Path;
    while (p.size() > 1 && p.back() == '\\') p.pop_back();
    const size_t slash = p.rfind('\\');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// Segment Level (from 1) of a path.
std::string Segment(const std::string& Path, int Level) {
    int n = 1;
    size_t start = 0;
    while (n < Level) {
        const size_t slash = Path.find('\\', start);
        if (slash == std::string::npos) return "";
        start = slash + 1;
        ++n;
    }
    const size_t end = Path.find('\\', start);
    return Path.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

TCtlDriveQueries& DriveQueries() {
    static TCtlDriveQueries queries;
    return queries;
}

bool QueryRemoteName(const std::string& LocalName, std::string& Remote) {
    if (DriveQueries().RemoteName) return DriveQueries().RemoteName(LocalName, Remote);
    return platform::WNetGetConnection(LocalName, Remote) == 0;
}

bool QueryVolumeName(const std::string& Root, std::string& Label) {
    if (DriveQueries().VolumeName) return DriveQueries().VolumeName(Root, Label);
    return platform::GetVolumeInformation(Root, &Label, nullptr, nullptr, nullptr, nullptr);
}

// The text after a drive's letter and colon: the network name of a network drive (as the network
// shows it, with backslashes), else the label in brackets ("[]" when there is none).
std::string DriveText(char Letter) {
    const std::string device = std::string(1, Letter) + ":";
    std::string remote;
    if (QueryRemoteName(device, remote) && !remote.empty()) {
        if (remote.size() > 2 && remote[0] == '/' && remote[1] == '/')
            std::replace(remote.begin(), remote.end(), '/', '\\');
        return remote;
    }
    std::string label;
    if (!QueryVolumeName(device + "\\", label)) label.clear();
    return "[" + label + "]";
}

}  // namespace

std::string CtlJoinPath(const std::string& Folder, const std::string& Name) {
    if (Folder.empty()) return CurrentFolder() + Name;  // the current folder ends in "\"
    const char last = Folder.back();
    if (last == ':' || last == '\\') return Folder + Name;
    return Folder + "\\" + Name;
}

TCtlDriveQueries CtlSetDriveQueries(TCtlDriveQueries Queries) {
    TCtlDriveQueries old = DriveQueries();
    DriveQueries() = std::move(Queries);
    return old;
}

// ---------------------------------------------------------------------------------------------
// TCtlFileComboBox

TCtlFileComboBox::TCtlFileComboBox(TComponent* AOwner) : TCtlBaseComboBox(AOwner) {}

void TCtlFileComboBox::SetAttributes(TCtlCbxFileAttributes Value) {
    if (Value == FAttributes) return;
    FAttributes = Value;
    Fill();
}

void TCtlFileComboBox::SetDirectory(const std::string& Value) {
    if (Value == FDirectory) return;
    FDirectory = Value;
    Fill();
}

void TCtlFileComboBox::SetFileMask(const std::string& Value) {
    if (Value == FFileMask) return;
    FFileMask = Value;
    Fill();
}

void TCtlFileComboBox::SetShowIcons(bool Value) {
    FShowIcons = Value;
    SetDroppedDown(false);
}

void TCtlFileComboBox::Loaded() {
    TCtlBaseComboBox::Loaded();
    if (!(ComponentState() & csDesigning)) Fill();
}

void TCtlFileComboBox::Fill() {
    ClearItems();
    uint32_t attributes = 0;
    if (FAttributes & cbxAnyFile) {
        attributes = kFindAnyFile;
    } else {
        if (FAttributes & cbxReadOnly) attributes |= platform::FILE_ATTRIBUTE_READONLY;
        if (FAttributes & cbxHidden) attributes |= platform::FILE_ATTRIBUTE_HIDDEN;
        if (FAttributes & cbxSysFile) attributes |= platform::FILE_ATTRIBUTE_SYSTEM;
        if (FAttributes & cbxArchive) attributes |= platform::FILE_ATTRIBUTE_ARCHIVE;
    }
    platform::WIN32_FIND_DATA fd;
    platform::HANDLE h = platform::FindFirstFile(CtlJoinPath(FDirectory, FFileMask), fd, attributes);
    if (h == platform::INVALID_HANDLE_VALUE) return;
    std::vector<TNamed> files;
    do {
        if (!(fd.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY))
            files.push_back({fd.cFileName, fd.dwFileAttributes});
    } while (platform::FindNextFile(h, fd));
    platform::FindClose(h);
    SortNamed(files);
    for (const TNamed& f : files) AddItem(*this, f.Text, f.Data);
}

void TCtlFileComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    PrepareItem(Index, Rect, State);
    const std::string name = ItemText(Index);
    int x = Rect.Left + 2;
    if (FShowIcons) {
        const int size = ItemHeight() - 2;
        DrawFileIcon(Canvas(), CtlJoinPath(FDirectory, name),
                     TRect{Rect.Left, Rect.Top, Rect.Left + size, Rect.Top + size});
        x = Rect.Left + ItemHeight();
    }
    DrawItemText(Rect, x, name);
    DrawMRUSeparator(Index, Rect, State);
}

// ---------------------------------------------------------------------------------------------
// TCtlDirectoryComboBox

TCtlDirectoryComboBox::TCtlDirectoryComboBox(TComponent* AOwner)
    : TCtlBaseComboBox(AOwner), FImages(GlyphList(14, "CTLFOLDEROPEN", "CTLFOLDERCLOSED")) {
    SetItemHeight(kFolderItemHeight);
}

TCtlDirectoryComboBox::~TCtlDirectoryComboBox() {
    if (FFileComboBox) FFileComboBox->RemoveFreeNotification(this);
}

void TCtlDirectoryComboBox::SetFileComboBox(TCtlFileComboBox* Value) {
    if (Value == FFileComboBox) return;
    if (FFileComboBox) FFileComboBox->RemoveFreeNotification(this);
    FFileComboBox = Value;
    if (FFileComboBox) FFileComboBox->FreeNotification(this);
}

void TCtlDirectoryComboBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlBaseComboBox::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFileComboBox) FFileComboBox = nullptr;
}

void TCtlDirectoryComboBox::SetDirectory(const std::string& Value) {
    FDirectory = Value;
    if (FDirectory == "." || FDirectory == "\\" || FDirectory.empty()) FDirectory = CurrentFolder();
    Fill();
}

void TCtlDirectoryComboBox::SetDrive(char Value) {
    if (Value == FDrive) return;
    FDrive = Value;
    if (FDirectory.empty() || std::toupper(static_cast<unsigned char>(FDirectory[0])) !=
                                  std::toupper(static_cast<unsigned char>(Value)))
        FDirectory = std::string(1, Value) + ":\\";
    Fill();
}

void TCtlDirectoryComboBox::SetMask(const std::string& Value) {
    if (Value == FMask) return;
    FMask = Value;
    Fill();
}

void TCtlDirectoryComboBox::KeepGlyphHeight() {
    if (ItemHeight() < kFolderItemHeight) SetItemHeight(kFolderItemHeight);
}

void TCtlDirectoryComboBox::Dispatch(TMessage& Message) {
    TCtlBaseComboBox::Dispatch(Message);
    if (Message.Msg == CM_FONTCHANGED) KeepGlyphHeight();
}

void TCtlDirectoryComboBox::Loaded() {
    TCtlBaseComboBox::Loaded();
    KeepGlyphHeight();
    SetDirectory(FDirectory);
    if (!(ComponentState() & csDesigning)) Fill();
}

void TCtlDirectoryComboBox::Fill() {
    const std::string search = CtlJoinPath(FDirectory, FMask);
    platform::WIN32_FIND_DATA fd;
    platform::HANDLE h = platform::FindFirstFile(search, fd, kFindAnyFile);
    if (h == platform::INVALID_HANDLE_VALUE) return;
    std::vector<TNamed> folders;
    const std::string base = FDirectory.empty() || FDirectory.back() == '\\' ? FDirectory : FDirectory + "\\";
    do {
        if ((fd.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) && fd.cFileName != "." &&
            fd.cFileName != "..")
            folders.push_back({base + fd.cFileName, fd.dwFileAttributes});
    } while (platform::FindNextFile(h, fd));
    platform::FindClose(h);
    SortNamed(folders);

    FLevels = static_cast<int>(std::count(search.begin(), search.end(), '\\'));
    std::vector<TNamed> levels;
    for (int level = 1; level <= FLevels; ++level) {
        std::string path;
        for (int i = 1; i <= level; ++i) path += (i > 1 ? "\\" : "") + Segment(search, i);
        if (!path.empty() && path.back() == ':') path += "\\";
        levels.push_back({path, kLevelBase + static_cast<uintptr_t>(level)});
    }

    const int mru = MRUList().Count();
    if (mru == 0) {
        Clear();
    } else {
        while (Items().Count() > mru) Items().Delete(Items().Count() - 1);
    }
    TWinControl::SetText("");
    for (const TNamed& l : levels) AddItem(*this, l.Text, l.Data);
    for (const TNamed& f : folders) AddItem(*this, f.Text, f.Data);
    SetItemIndex(mru + FLevels - 1);
}

void TCtlDirectoryComboBox::SelectionChanged() {
    if (ItemIndex() >= 0) {
        const std::string path = ItemText(ItemIndex());
        FDirectory = path;
        if (FFileComboBox) FFileComboBox->SetDirectory(path);
        Fill();
    }
    TCtlBaseComboBox::SelectionChanged();
}

void TCtlDirectoryComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    const bool edit = (State & odComboBoxEdit) != 0;
    const int half = ItemHeight() / 2;
    PrepareItem(Index, Rect, State);
    const std::string path = ItemText(Index);
    if (InMRUArea(Index) && !edit) {
        DrawItemText(Rect, Rect.Left + half, path);
        DrawMRUSeparator(Index, Rect, State);
        return;
    }
    const uintptr_t data = ItemData(Index);
    const bool isLevel = data > kLevelBase && data < 2 * kLevelBase;
    const int level = isLevel ? static_cast<int>(data - kLevelBase) : 0;
    int indent = isLevel ? half * (level - 1) + 1 : half * FLevels + 1;
    if (edit) indent = half;
    const std::string shown = isLevel ? Segment(path, level) : LastSegment(path);
    if (FImages) FImages->Draw(Canvas(), Rect.Left + indent, Rect.Top, isLevel ? 0 : 1);
    DrawItemText(Rect, Rect.Left + ItemHeight() + indent, shown);
}

// ---------------------------------------------------------------------------------------------
// TCtlDriveComboBox

TCtlDriveComboBox::TCtlDriveComboBox(TComponent* AOwner) : TCtlBaseComboBox(AOwner) {
    AutoSearch = false;
    SetStyle(ocsDropDownList);
    const std::string folder = CurrentFolder();
    FDrive = !folder.empty() && folder[0] != '\\' ? folder[0] : 0;
}

void TCtlDriveComboBox::SetDirectoryComboBox(TCtlDirectoryComboBox* Value) {
    if (Value == FDirectoryComboBox) return;
    if (FDirectoryComboBox) FDirectoryComboBox->RemoveFreeNotification(this);
    FDirectoryComboBox = Value;
    if (FDirectoryComboBox) FDirectoryComboBox->FreeNotification(this);
}

void TCtlDriveComboBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlBaseComboBox::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDirectoryComboBox) FDirectoryComboBox = nullptr;
}

void TCtlDriveComboBox::SetFirstScannedDrive(char Value) {
    Value = static_cast<char>(std::toupper(static_cast<unsigned char>(Value)));
    FFirstScannedDrive = Value >= 'A' && Value <= 'Z' ? Value : 'A';
    if (!IsLoading()) Fill();
}

void TCtlDriveComboBox::Loaded() {
    TCtlBaseComboBox::Loaded();
    if (!(ComponentState() & csDesigning)) Fill();
}

void TCtlDriveComboBox::Fill() {
    ClearItems();
    // Probing drives shows no system error boxes here: the volume calls only report failures.
    Perform(CB_DIR, DDL_DRIVES | DDL_EXCLUSIVE, reinterpret_cast<LPARAM>("*.*"));
    for (int i = 0; i < Items().Count(); ++i) {
        const std::string item = ItemText(i);
        if (item.size() < 3) continue;
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(item[2])));
        std::string text = std::string(1, letter) + ":";
        if (letter >= FFirstScannedDrive) {
            const std::string t = DriveText(letter);
            if (t != "[]") text += " " + t;
        }
        Items().Put(i, text);
    }
    for (int i = 0; i < Items().Count(); ++i)
        if (FDrive != 0 && ItemText(i)[0] == FDrive) {
            SetItemIndex(i);
            break;
        }
}

void TCtlDriveComboBox::DriveSelected() {
    // With nothing selected there is no letter to take: the current drive stays as it is.
    if (ItemIndex() < 0) return;
    const std::string text = ItemText(ItemIndex());
    if (text.empty()) return;
    FDrive = text[0];
    if (FDirectoryComboBox) FDirectoryComboBox->SetDrive(FDrive);
}

void TCtlDriveComboBox::SelectionChanged() {
    DriveSelected();
    TCtlBaseComboBox::SelectionChanged();
}

void TCtlDriveComboBox::SetDrive(char Letter) {
    if (Letter == FDrive) return;
    if (Items().Count() == 0) Fill();
    if (Letter != 0) {
        const char want = static_cast<char>(std::toupper(static_cast<unsigned char>(Letter)));
        for (int i = 0; i < Items().Count(); ++i) {
            const std::string text = ItemText(i);
            if (text.size() >= 2 && std::toupper(static_cast<unsigned char>(text[0])) == want &&
                text[1] == ':') {
                SetItemIndex(i);
                break;
            }
        }
    } else {
        FDrive = 0;
        SetItemIndex(-1);
    }
    SelectionChanged();
}

// ---------------------------------------------------------------------------------------------
// TCtlPrinterComboBox

TCtlPrinterComboBox::TCtlPrinterComboBox(TComponent* AOwner)
    : TCtlBaseComboBox(AOwner), FImages(GlyphList(16, "CTLPRINTER1", "CTLPRINTER2")) {}

TCtlPrinterComboBox::~TCtlPrinterComboBox() = default;

void TCtlPrinterComboBox::Loaded() {
    TCtlBaseComboBox::Loaded();
    if (!(ComponentState() & csDesigning)) Fill();
}

void TCtlPrinterComboBox::Fill() {
    ClearItems();
    TStrings& printers = Printer().Printers();
    if (printers.Count() == 0) return;
    for (int i = 0; i < printers.Count(); ++i) AddItem(*this, printers.Strings(i), 0);
    SetItemIndex(Printer().PrinterIndex());
}

void TCtlPrinterComboBox::SelectionChanged() {
    if (SelectPrinter && ItemIndex() >= 0) {
        const int i = Printer().Printers().IndexOf(ItemText(ItemIndex()));
        if (i >= 0) Printer().SetPrinterIndex(i);
    }
    TCtlBaseComboBox::SelectionChanged();
}

void TCtlPrinterComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    PrepareItem(Index, Rect, State);
    const std::string name = ItemText(Index);
    int x = Rect.Left + 2;
    if (ShowIcons && FImages) {
        FImages->Draw(Canvas(), Rect.Left + 1, Rect.Top + 1, name.find("\\\\") != std::string::npos ? 1 : 0);
        x = Rect.Left + 1 + FImages->Width + 5;
    }
    DrawItemText(Rect, x, name);
    DrawMRUSeparator(Index, Rect, State);
}

}  // namespace grid
