#pragma once
// Combo boxes filled from the system: the files of a folder, the chain of folders from a drive's
// root down to a folder with its sub-folders, the drives with their labels or network names, and
// the printers. A drive combo box can lead a folder combo box, and a folder combo box a file
// combo box.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/grid/CtlComboBox.h"

namespace framework {
class TImageList;
}

namespace grid {

enum TCtlCbxFileAttribute : uint8_t {
    cbxReadOnly = 1u << 0,
    cbxHidden = 1u << 1,
    cbxSysFile = 1u << 2,
    cbxArchive = 1u << 3,
    cbxAnyFile = 1u << 4,
};
using TCtlCbxFileAttributes = uint8_t;

// A folder and a name: nothing between them after ":" or "\", a "\" after any other folder, the
// current folder for an empty one.
std::string CtlJoinPath(const std::string& Folder, const std::string& Name);

// The files of Directory that match FileMask and Attributes, sorted without regard to case; each
// item's data is the file's attributes.
class TCtlFileComboBox : public TCtlBaseComboBox {
public:
    explicit TCtlFileComboBox(framework::TComponent* AOwner);

    TCtlCbxFileAttributes Attributes() const { return FAttributes; }
    void SetAttributes(TCtlCbxFileAttributes Value);
    const std::string& Directory() const { return FDirectory; }
    void SetDirectory(const std::string& Value);
    const std::string& FileMask() const { return FFileMask; }
    void SetFileMask(const std::string& Value);
    bool ShowIcons() const { return FShowIcons; }
    void SetShowIcons(bool Value);

    void Fill();
    void Loaded() override;

protected:
    void DrawItem(int Index, const framework::TRect& Rect, framework::TOwnerDrawState State) override;

private:
    TCtlCbxFileAttributes FAttributes = cbxAnyFile;
    std::string FDirectory = ".";
    std::string FFileMask = "*.*";
    bool FShowIcons = true;
};

// The folders from the drive's root down to Directory (open-folder glyphs, indented by level),
// then Directory's sub-folders (closed-folder glyphs). The data of a level item is 64 + its level
// (from 1), of a sub-folder its attributes.
class TCtlDirectoryComboBox : public TCtlBaseComboBox {
public:
    explicit TCtlDirectoryComboBox(framework::TComponent* AOwner);
    ~TCtlDirectoryComboBox() override;

    const std::string& Directory() const { return FDirectory; }
    // "." , "\" or empty is the current folder; the list is filled again.
    void SetDirectory(const std::string& Value);
    char Drive() const { return FDrive; }
    // Directory moves to the letter's root when it lies on another drive.
    void SetDrive(char Value);
    const std::string& Mask() const { return FMask; }
    void SetMask(const std::string& Value);
    TCtlFileComboBox* FileComboBox() const { return FFileComboBox; }
    void SetFileComboBox(TCtlFileComboBox* Value);
    // Levels of the current folder (the root is level 1).
    int Levels() const { return FLevels; }
    framework::TImageList& Images() { return *FImages; }

    void Fill();
    void Loaded() override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    void SelectionChanged() override;
    void DrawItem(int Index, const framework::TRect& Rect, framework::TOwnerDrawState State) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    // Items stay at least as tall as the glyphs (16): a smaller font does not cut them.
    void KeepGlyphHeight();
    std::string FDirectory = ".";
    char FDrive = 0;
    std::string FMask = "*.*";
    TCtlFileComboBox* FFileComboBox = nullptr;
    int FLevels = 0;
    std::unique_ptr<framework::TImageList> FImages;
};

// How the drive combo box asks the system about a drive (tests listen in): the network provider's
// remote name of "X:" and the volume label of "X:\". Each answers false when it has nothing.
struct TCtlDriveQueries {
    std::function<bool(const std::string& LocalName, std::string& RemoteName)> RemoteName;
    std::function<bool(const std::string& Root, std::string& Label)> VolumeName;
};
// Installs queries (empty members: the system's own); returns the ones replaced.
TCtlDriveQueries CtlSetDriveQueries(TCtlDriveQueries Queries);

// The drives: "C: [LABEL]", "E:" for a drive without label or medium, "N: \\server\share" for a
// network drive; drives before FirstScannedDrive are listed by letter without being touched.
class TCtlDriveComboBox : public TCtlBaseComboBox {
public:
    explicit TCtlDriveComboBox(framework::TComponent* AOwner);

    TCtlDirectoryComboBox* DirectoryComboBox() const { return FDirectoryComboBox; }
    void SetDirectoryComboBox(TCtlDirectoryComboBox* Value);
    char FirstScannedDrive() const { return FFirstScannedDrive; }
    // Upper-cased; anything but a letter becomes 'A'. The list is filled again.
    void SetFirstScannedDrive(char Value);
    // The current drive letter (0: none).
    char Drive() const { return FDrive; }
    // Selects the drive of that letter (case ignored); 0 selects none.
    void SetDrive(char Letter);

    void Fill();
    void Loaded() override;

protected:
    void SelectionChanged() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    // The drive selection handling without the base's part.
    void DriveSelected();
    TCtlDirectoryComboBox* FDirectoryComboBox = nullptr;
    char FFirstScannedDrive = 'A';
    char FDrive = 0;
};

// The printers of the application's printer object; with SelectPrinter a choice makes the chosen
// printer the current one.
class TCtlPrinterComboBox : public TCtlBaseComboBox {
public:
    explicit TCtlPrinterComboBox(framework::TComponent* AOwner);
    ~TCtlPrinterComboBox() override;

    bool ShowIcons = true;
    bool SelectPrinter = true;
    // Nil when the glyphs could not be loaded.
    framework::TImageList* Images() const { return FImages.get(); }

    void Fill();
    void Loaded() override;

protected:
    void SelectionChanged() override;
    void DrawItem(int Index, const framework::TRect& Rect, framework::TOwnerDrawState State) override;

private:
    std::unique_ptr<framework::TImageList> FImages;
};

}  // namespace grid
