#pragma once
// Private to the window layer: the record behind each handle and the Qt widget that shows it.
// Only the layer's own sources include this header (it pulls in Qt).

#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "framework/ui/Windows.h"

class QScrollBar;
class QPainter;

namespace framework {

class TWinControl;
class WindowWidget;

struct ScrollBarState {
    TScrollInfo Info;  // nMin, nMax, nPage, nPos, nTrackPos are all kept
    bool Shown = false;
    QScrollBar* Bar = nullptr;  // owned by the widget
    bool Tracking = false;
};

struct WindowRecord {
    HWND Handle = 0;
    TWinControl* Control = nullptr;  // nil for a hidden message window
    TWndMethod Proc;                 // the installed window procedure
    QPointer<QWidget> Widget;        // nil for a hidden message window
    uint32_t Style = 0;
    uint32_t ExStyle = 0;
    uint32_t ClassStyle = 0;
    QRegion Update;  // client coordinates still to be painted
    bool Erase = false;
    bool Redraw = true;  // WM_SETREDRAW
    bool Enabled = true;
    QImage Backing;  // client-area pixels painted by WM_PAINT
    std::array<ScrollBarState, 2> Bars;
    // A band above the client area (a form's menu bar), TopInset pixels high, painted by PaintTopBand
    // in band coordinates; a left press in it arrives as WM_NCLBUTTONDOWN with HTMENU.
    int TopInset = 0;
    std::function<void(QPainter& Painter, int Width)> PaintTopBand;
    // The window's shape (SetWindowRgn) in widget coordinates; empty: the whole rectangle.
    QRegion Shape;
};

// The device context behind an HDC: a painter on a window's backing store.
struct TDeviceContext {
    HWND Wnd = 0;
    std::unique_ptr<QPainter> Painter;
    QImage* Target = nullptr;
    QRegion Painted;  // what to show on screen when the context is released
    // Drawing state of the graphics layer (pen, brush, font, colours, clip), made on first use.
    std::shared_ptr<void> Gdi;
};

WindowRecord* FindRecord(HWND Wnd);
// Creates a window with its widget (a child of Parent's widget, or top level when Parent is 0).
HWND CreateWindowRecord(TWinControl* Control, HWND Parent, uint32_t Style, uint32_t ExStyle,
                        uint32_t ClassStyle, const TRect& Bounds, TWndMethod Proc);
// Destroys the window (WM_DESTROY first) and forgets its handle. Child windows must be gone.
void DestroyWindowRecord(HWND Wnd);
// Geometry of the window (parent client coordinates; screen coordinates for a top-level window).
void MoveWindowRecord(HWND Wnd, const TRect& Bounds);
void ShowWindowRecord(HWND Wnd, bool Show);
void SetWindowTitle(HWND Wnd, const std::string& Text);
void RaiseWindowRecord(HWND Wnd);
// Makes the top-level window the active one: WM_ACTIVATE to the window left, then to this one.
void ActivateTopLevel(HWND Top);
// The client-area rectangle in the window's own coordinates (inside border and scroll bars).
TRect ClientRectOf(const WindowRecord& R);
// Where the client area starts inside the widget (border, and the top band).
QPoint ClientOffset(const WindowRecord& R);
// Sets the height of the window's top band (0: none) and repaints it; the client area shrinks.
void SetTopBand(HWND Wnd, int Height, std::function<void(QPainter& Painter, int Width)> Paint);
// Repaints the top band.
void UpdateTopBand(HWND Wnd);
// Sees every mouse press (client coordinates of the window hit; negative Y is the top band) before
// its window does; true eats it (an open menu takes presses on itself and closes on others).
// Filters are asked in the order they were added.
using TMouseDownFilter = std::function<bool(HWND Wnd, int X, int Y)>;
void AddMouseDownFilter(TMouseDownFilter Filter);

// Pre-translation of keyboard messages taken from the queue or from Qt: true when the filter ate
// the message (the class library's dialog-key handling); installed by the application object.
using TInputFilter = std::function<bool(TMessage& Msg, HWND Wnd)>;
void SetInputFilter(TInputFilter Filter);

// Keyboard input as it comes from Qt (or from a test driver through Qt events).
void KeyInput(HWND Wnd, bool Down, int VirtKey, uint32_t ScanCode, bool Extended, bool Repeat,
              int ModifierMask, const std::u16string& Text);
// Records a key or mouse button going down or up in the input state (GetAsyncKeyState, and
// GetKeyState until the next message), as the input device reports it whichever window is hit.
void NoteInputKey(int VirtKey, bool Down);
// Blocks until Qt has an event or a timer may be due (at most MaxMs).
void WaitForInput(int MaxMs);

// Hooks into the control layer.
void MouseLeftWindow(TWinControl& Control);
void ScrollChildControls(TWinControl& Control, int DX, int DY);
// WM_QUIT as the message loops see it.
bool QuitRequested();
void ClearQuitRequest();

// The Qt shape of a cursor (crDefault and crArrow are the arrow).
Qt::CursorShape ToQtCursor(int16_t Cursor);
// The cursor to show for a cursor index: a custom cursor of the screen, else the standard shape.
QCursor CursorFor(int16_t Cursor);
// Sets the widget's cursor to that of the index and remembers the index on the widget.
void ApplyCursor(QWidget* Widget, int16_t Cursor);
// The index last applied to the widget.
int16_t AppliedCursor(QWidget* Widget);

// Access to the painter of a DC, for the canvas.
QPainter* PainterOf(uintptr_t Dc);
// The context behind a handle (nil when there is none).
TDeviceContext* ContextOf(uintptr_t Dc);
// A context of no window, with neither painter nor target (the graphics layer gives it a bitmap).
uintptr_t CreateMemoryContext();
void DeleteMemoryContext(uintptr_t Dc);

}  // namespace framework
