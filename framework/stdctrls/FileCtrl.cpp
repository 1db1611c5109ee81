#include "framework/stdctrls/FileCtrl.h"

#include <algorithm>

#include "framework/core/SysUtils.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace framework {

namespace {

// Entries of a folder matching a mask: folders or files, "." and ".." left out.
std::vector<std::string> ListFolder(const std::string& Dir, const std::string& Mask, bool Folders) {
    std::vector<std::string> r;
    std::string base = platform::IncludeTrailingBackslash(Dir);
    platform::WIN32_FIND_DATA fd;
    platform::HANDLE h = platform::FindFirstFile(base + Mask, fd);
    if (h == platform::INVALID_HANDLE_VALUE) return r;
    do {
        bool dir = (fd.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (dir != Folders || fd.cFileName == "." || fd.cFileName == "..") continue;
        r.push_back(fd.cFileName);
    } while (platform::FindNextFile(h, fd));
    platform::FindClose(h);
    return r;
}

std::vector<std::string> SplitPath(const std::string& Path) {
    // "D:\DOCS\OLD" -> "D:\", "DOCS", "OLD"
    std::vector<std::string> parts;
    if (Path.size() < 2) return parts;
    parts.push_back(Path.substr(0, 2) + "\\");
    size_t start = 3;
    while (start < Path.size()) {
        size_t e = Path.find('\\', start);
        std::string p = Path.substr(start, e == std::string::npos ? std::string::npos : e - start);
        if (!p.empty()) parts.push_back(p);
        if (e == std::string::npos) break;
        start = e + 1;
    }
    return parts;
}

std::string JoinPath(const std::string& Dir, const std::string& Name) {
    return platform::IncludeTrailingBackslash(Dir) + Name;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

TFileListBox::TFileListBox(TComponent* AOwner) : TCustomListBox(AOwner) {
    SetSorted(true);
}

void TFileListBox::SetDirectory(const std::string& Value) {
    FDirectory = Value;
    Update();
}

void TFileListBox::SetMask(const std::string& Value) {
    FMask = Value.empty() ? "*.*" : Value;
    Update();
}

void TFileListBox::Update() {
    Items().BeginUpdate();
    Clear();
    if (!FDirectory.empty()) {
        std::vector<std::string> names;
        size_t start = 0;
        while (start <= FMask.size()) {
            size_t semi = FMask.find(';', start);
            std::string m =
                Trim(FMask.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
            if (!m.empty())
                for (const std::string& n : ListFolder(FDirectory, m, false))
                    if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
            if (semi == std::string::npos) break;
            start = semi + 1;
        }
        for (const std::string& n : names) Items().Add(n);
    }
    Items().EndUpdate();
    TCustomListBox::Update();
}

std::string TFileListBox::FileName() const {
    if (FItemIndex < 0) return "";
    return JoinPath(FDirectory, FList.Items[static_cast<size_t>(FItemIndex)].Text);
}

void TFileListBox::Click() {
    TCustomListBox::Click();
    if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------------------------

TDirectoryListBox::TDirectoryListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}

void TDirectoryListBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomListBox::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FileList) FileList = nullptr;
    if (AComponent == DirLabel) DirLabel = nullptr;
}

std::string TDirectoryListBox::GetItemPath(int Index) const {
    if (!FList.Valid(Index)) return "";
    std::vector<std::string> parts = SplitPath(FDirectory);
    if (Index < FLevels) {
        std::string p = parts[0];
        for (int i = 1; i <= Index; ++i) p = JoinPath(p, parts[static_cast<size_t>(i)]);
        return p;
    }
    return JoinPath(FDirectory, FList.Items[static_cast<size_t>(Index)].Text);
}

void TDirectoryListBox::SetDirectory(const std::string& Value) {
    std::string dir = Value;
    if (dir.size() == 2 && dir[1] == ':') dir += '\\';
    while (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
    if (!dir.empty()) dir[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(dir[0])));
    if (dir == FDirectory) return;
    FDirectory = dir;
    ReadDirectory();
    if (FileList) FileList->SetDirectory(FDirectory);
    if (DirLabel) DirLabel->SetCaption(FDirectory);
    if (OnChange) OnChange(this);
}

void TDirectoryListBox::SetDrive(char Value) {
    if (Value == Drive()) return;
    SetDirectory(std::string(1, Value) + ":\\");
}

void TDirectoryListBox::ReadDirectory() {
    Items().BeginUpdate();
    Clear();
    std::vector<std::string> parts = SplitPath(FDirectory);
    FLevels = static_cast<int>(parts.size());
    for (const std::string& p : parts) Items().Add(p);
    std::vector<std::string> subs = ListFolder(FDirectory, "*.*", true);
    for (const std::string& s : subs) Items().Add(s);
    Items().EndUpdate();
    SetItemIndex(FLevels - 1);
}

void TDirectoryListBox::OpenCurrent() {
    if (FItemIndex >= 0) SetDirectory(GetItemPath(FItemIndex));
}

void TDirectoryListBox::DblClick() {
    // A single click only selects; the directory changes on a double click.
    OpenCurrent();
    TCustomListBox::DblClick();
}

void TDirectoryListBox::KeyPress(char& Key) {
    TCustomListBox::KeyPress(Key);
    if (Key == '\r') {
        OpenCurrent();
        Key = 0;
    }
}

// ---------------------------------------------------------------------------------------------

TDriveComboBox::TDriveComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
    SetStyle(csDropDownList);
    BuildList();
}

void TDriveComboBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomComboBox::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == DirList) DirList = nullptr;
}

void TDriveComboBox::BuildList() {
    Clear();
    for (const platform::TDriveRecord& d : platform::GetDriveMap()) {
        std::string label = d.Attribute("label");
        std::string text =
            std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(d.Letter)))) + ":";
        if (!label.empty()) text += " [" + label + "]";
        Items().Add(text);
    }
    if (FDrive == 0 && Items().Count() > 0)
        FDrive = static_cast<char>(std::toupper(static_cast<unsigned char>(Items()[0][0])));
    for (int i = 0; i < Items().Count(); ++i)
        if (std::toupper(static_cast<unsigned char>(Items()[i][0])) == FDrive) SetItemIndex(i);
}

void TDriveComboBox::SetDrive(char Value) {
    Value = static_cast<char>(std::toupper(static_cast<unsigned char>(Value)));
    int found = -1;
    for (int i = 0; i < Items().Count(); ++i)
        if (std::toupper(static_cast<unsigned char>(Items()[i][0])) == Value) found = i;
    if (found < 0) return;
    FDrive = Value;
    if (found != FItemIndex) SetItemIndex(found);
    if (DirList) DirList->SetDrive(Value);
    if (OnChange) OnChange(this);
}

void TDriveComboBox::Change() {
    // A drive chosen from the list (the selection notice) becomes the drive.
    if (FItemIndex >= 0) {
        char d = static_cast<char>(std::toupper(static_cast<unsigned char>(Items()[FItemIndex][0])));
        if (d != FDrive) {
            SetDrive(d);
            return;
        }
    }
}

}  // namespace framework
