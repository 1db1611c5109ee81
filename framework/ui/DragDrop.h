#pragma once
// Drag-and-drop between windows and with other programs: drop targets registered on windows and
// the drag loop that carries a data object from its drop source to them.
//
// Without a driver the drag runs as a desktop drag: the data object's formats travel as MIME data
// (registered formats under their names, the file-drop list also as text/uri-list of native file
// URLs, text as text/plain). With a driver (SetDragDriver: the headless form driver installs one)
// the pointer's steps come from the driver, so that tests run without a display or real input.

#include <cstdint>
#include <functional>
#include <memory>

#include "framework/ui/Messages.h"
#include "framework/ui/Types.h"
#include "platform/DragDrop.h"

class QDropEvent;
class QMimeData;

namespace framework {

class IDropTarget {
public:
    virtual ~IDropTarget() = default;
    virtual platform::HRESULT DragEnter(platform::IDataObject* Data, uint32_t KeyState, TPoint Pt,
                                        uint32_t& Effect) = 0;
    virtual platform::HRESULT DragOver(uint32_t KeyState, TPoint Pt, uint32_t& Effect) = 0;
    virtual platform::HRESULT DragLeave() = 0;
    virtual platform::HRESULT Drop(platform::IDataObject* Data, uint32_t KeyState, TPoint Pt,
                                   uint32_t& Effect) = 0;
};

// False when the window is unknown or already has a target.
bool RegisterDragDrop(HWND Wnd, std::shared_ptr<IDropTarget> Target);
bool RevokeDragDrop(HWND Wnd);

// Runs a drag until the source answers drop or cancel: DRAGDROP_S_DROP with the effect the target
// chose (within OkEffects; none when no target took it) or DRAGDROP_S_CANCEL with no effect.
platform::HRESULT DoDragDrop(const std::shared_ptr<platform::IDataObject>& Data,
                             const std::shared_ptr<platform::IDropSource>& Source, uint32_t OkEffects,
                             uint32_t* Effect);

// One step of the pointer during a driven drag.
struct TDragStep {
    enum TKind { Move, Escape, Release };
    TKind Kind = Move;
    HWND Target = 0;  // the window under the pointer (0: none)
    TPoint Pt{};      // in the target's client coordinates
};
// Hands out the next step; false when there is none (the drag is then cancelled).
using TDragDriver = std::function<bool(TDragStep& Step)>;
void SetDragDriver(TDragDriver Driver);  // an empty driver restores the desktop drag

// Drags from other programs. The MIME data of such a drag as a data object offering the file-drop
// list (made from its native file URLs that lie on a drive), the "Shell IDList Array" it carries
// (when well formed) and its text; nothing else.
std::shared_ptr<platform::IDataObject> DataObjectFromMime(const QMimeData& Mime);
// Used by the window layer: a drag event of another program reaching a window (Kind 0 enter,
// 1 move, 2 drop) at a client point, handed to the window's registered target; and the drag
// leaving the window.
void ExternalDragEvent(HWND Wnd, QDropEvent* Event, int Kind, TPoint ClientPt);
void ExternalDragLeave(HWND Wnd);

}  // namespace framework
