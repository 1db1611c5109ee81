#pragma once
// The drop target of a file-system folder, to which the shell views hand the drags that hover over
// a folder: the dragged files and folders move there when they are on the same drive and are
// copied across drives; Ctrl held copies.

#include <cstdint>
#include <string>
#include <vector>

#include "framework/ui/DragDrop.h"
#include "platform/DragDrop.h"

namespace sysutil {

// The paths a data object carries: its file-drop list, else its "Shell IDList Array" (items of the
// file system only); empty when it carries neither.
std::vector<std::string> DroppedPaths(platform::IDataObject* Data);

// The effect a drop of Paths onto Folder takes within Allowed: none when the folder is not a
// file-system folder, when an item is the folder itself or one of its ancestors, or when every
// item already lies in the folder; else copy with MK_CONTROL in KeyState or across drives, move
// otherwise (falling back on the other one when Allowed lacks it).
uint32_t FolderDropEffect(const std::vector<std::string>& Paths, const std::string& Folder, uint32_t KeyState,
                          uint32_t Allowed);

// Moves or copies (folders with their contents) each path into Folder under its own name; an
// item whose name is taken there is left where it is. False when any item failed.
bool TransferToFolder(const std::vector<std::string>& Paths, const std::string& Folder, bool Move);

class TUtFolderDropTarget : public framework::IDropTarget {
public:
    explicit TUtFolderDropTarget(std::string Folder) : FFolder(std::move(Folder)) {}
    const std::string& Folder() const { return FFolder; }

    platform::HRESULT DragEnter(platform::IDataObject* Data, uint32_t KeyState, framework::TPoint Pt,
                                uint32_t& Effect) override;
    platform::HRESULT DragOver(uint32_t KeyState, framework::TPoint Pt, uint32_t& Effect) override;
    platform::HRESULT DragLeave() override;
    platform::HRESULT Drop(platform::IDataObject* Data, uint32_t KeyState, framework::TPoint Pt,
                           uint32_t& Effect) override;

private:
    std::string FFolder;
    std::vector<std::string> FPaths;
};

}  // namespace sysutil
