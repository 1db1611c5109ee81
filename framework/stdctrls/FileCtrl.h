#pragma once
// File controls over the platform's drive map: a drive combo box, a directory list box and a
// file list box, linked so that the drive sets the directory and the directory the file list.
// Paths keep their Windows form ("D:\DOCS").

#include <string>

#include "framework/stdctrls/StdCtrls.h"

namespace framework {

class TDirectoryListBox;

class TFileListBox : public TCustomListBox {
public:
    explicit TFileListBox(TComponent* AOwner);
    const std::string& Directory() const { return FDirectory; }
    void SetDirectory(const std::string& Value);
    // One or more masks separated by ";" ("*.txt;*.doc").
    const std::string& Mask() const { return FMask; }
    void SetMask(const std::string& Value);
    // The selected file with its directory, or empty.
    std::string FileName() const;
    TNotifyEvent OnChange;
    // Reads the directory again.
    void Update() override;

protected:
    void Click() override;

private:
    std::string FDirectory;
    std::string FMask = "*.*";
};

class TDirectoryListBox : public TCustomListBox {
public:
    explicit TDirectoryListBox(TComponent* AOwner);
    // The current directory: its path from the root shown first, then its subfolders.
    const std::string& Directory() const { return FDirectory; }
    void SetDirectory(const std::string& Value);
    char Drive() const { return FDirectory.empty() ? 0 : FDirectory[0]; }
    void SetDrive(char Value);
    // Linked controls: the file list follows the directory; the label shows it.
    TFileListBox* FileList = nullptr;
    TLabel* DirLabel = nullptr;
    TNotifyEvent OnChange;
    // The directory an item stands for.
    std::string GetItemPath(int Index) const;
    // Opens the selected item (what a double click or Enter does).
    void OpenCurrent();
    void DblClick() override;

protected:
    void KeyPress(char& Key) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void ReadDirectory();
    std::string FDirectory;
    int FLevels = 0;  // items 0..FLevels-1 are the path, the rest subfolders
};

class TDriveComboBox : public TCustomComboBox {
public:
    explicit TDriveComboBox(TComponent* AOwner);
    char Drive() const { return FDrive; }
    void SetDrive(char Value);
    TDirectoryListBox* DirList = nullptr;
    // Reads the drive map again.
    void BuildList();

protected:
    void Change() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    char FDrive = 0;
};

}  // namespace framework
