#pragma once
// The window layer seen by handle: the handle map, sending and posting messages, the message
// queue, focus, capture, keyboard state, painting regions, scroll bars, the caret, timers, system
// metrics and colours. Every window is a Qt widget behind a handle of our own; this header keeps Qt
// out of sight so that it can be included everywhere.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/ui/Messages.h"
#include "framework/ui/Types.h"

namespace framework {

class TWinControl;

// A cursor made from a resource (LoadCursor); 0 is none.
using HCURSOR = uintptr_t;

// A window procedure as installed on a handle. The message's Result is the answer.
using TWndMethod = std::function<void(TMessage&)>;

// ---- Handles and messages ----
bool IsWindow(HWND Wnd);
// The control whose window the handle is, nil for a hidden message window or an unknown handle.
TWinControl* FindControl(HWND Wnd);
// Synchronous: runs the window procedure now and returns its Result; 0 for an unknown handle.
LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// Queued behind everything posted earlier; delivered by the message pump, after the current
// handler has returned. A message whose window is gone by then is dropped. False for an unknown
// handle.
bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// Posts a quit request: the application's message loop ends.
void PostQuitMessage(int ExitCode);

// Hidden message windows for components that need a handle to receive messages.
HWND AllocateHWnd(TWndMethod Method);
void DeallocateHWnd(HWND Wnd);

// Window-procedure subclassing: installs a new procedure on the handle and returns the one it
// replaces; the new procedure passes what it does not handle on with CallWindowProc.
TWndMethod SetWindowProc(HWND Wnd, TWndMethod NewProc);
LRESULT CallWindowProc(const TWndMethod& Proc, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// The window's default handling of a message (painting, erasing, redraw switch, dialog codes).
LRESULT DefWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

uint32_t GetWindowLong(HWND Wnd, int Index);
uint32_t SetWindowLong(HWND Wnd, int Index, uint32_t Value);

// ---- Message pump ----
// Delivers, in this order, posted messages (first in, first out), due timers, then paint requests,
// until none is left. Returns the number of messages delivered.
int ProcessPendingMessages();
// True while anything is waiting to be delivered (a posted message, a due timer or a paint).
bool HasPendingMessages();

// ---- Focus, capture, activity ----
HWND GetFocus();
// Moves the keyboard focus: the window losing it receives WM_KILLFOCUS with the new window's handle
// and the window gaining it receives WM_SETFOCUS with the old one. Returns the previous focus.
HWND SetFocus(HWND Wnd);
HWND GetCapture();
HWND SetCapture(HWND Wnd);
bool ReleaseCapture();
HWND GetActiveWindow();
bool IsWindowEnabled(HWND Wnd);
bool IsWindowVisible(HWND Wnd);
bool EnableWindow(HWND Wnd, bool Enable);

// ---- Keyboard state ----
// As of the message being handled: bit 15 set (a negative value) while the key is down, bit 0 the
// toggle state of lock keys.
int16_t GetKeyState(int VirtKey);
// The state as the input so far has left it.
int16_t GetAsyncKeyState(int VirtKey);
// All 256 keys at once, as GetKeyState sees them: bit 7 of a byte set while the key is down, bit 0
// the toggle state. False when KeyState is nil.
bool GetKeyboardState(uint8_t* KeyState);
// Shift state from the keyboard state of the current message, and from mouse-message key flags.
TShiftState KeyboardStateToShiftState();
TShiftState KeysToShiftState(uint32_t Keys);
TShiftState KeyDataToShiftState(uint32_t KeyData);

// ---- Painting ----
// A device context: what a canvas draws on (a window's client pixels).
using HDC = uintptr_t;
struct TPaintStruct {
    HDC hdc = 0;
    bool fErase = false;  // the background still needs erasing (WM_ERASEBKGND was not answered)
    TRect rcPaint;        // bounding rectangle of the area to paint
};
// Takes the window's invalid region (clearing it), erases the background through WM_ERASEBKGND
// when the region asked for erasing, and returns a context clipped to the region.
HDC BeginPaint(HWND Wnd, TPaintStruct& Paint);
void EndPaint(HWND Wnd, const TPaintStruct& Paint);
// A context for drawing outside WM_PAINT; what is drawn shows when it is released.
HDC GetDC(HWND Wnd);
int ReleaseDC(HWND Wnd, HDC Dc);
bool InvalidateRect(HWND Wnd, const TRect* Rect, bool Erase);
bool ValidateRect(HWND Wnd, const TRect* Rect);
bool GetUpdateRect(HWND Wnd, TRect* Rect, bool Erase);
// Sends WM_PAINT at once when the window has anything to repaint.
bool UpdateWindow(HWND Wnd);
// Moves window pixels by (DX, DY) within Scroll (the whole client area when nil), clipped to Clip,
// and invalidates the area uncovered. Without a scroll rectangle child windows move too.
bool ScrollWindow(HWND Wnd, int DX, int DY, const TRect* Scroll, const TRect* Clip);
bool GetClientRect(HWND Wnd, TRect* Rect);

// ---- Scroll bars (window scroll bars SB_HORZ and SB_VERT) ----
struct TScrollInfo {
    uint32_t cbSize = sizeof(TScrollInfo);
    uint32_t fMask = 0;
    int32_t nMin = 0;
    int32_t nMax = 0;
    uint32_t nPage = 0;
    int32_t nPos = 0;
    int32_t nTrackPos = 0;
};
int SetScrollInfo(HWND Wnd, int Bar, const TScrollInfo& Info, bool Redraw);
bool GetScrollInfo(HWND Wnd, int Bar, TScrollInfo& Info);
int SetScrollPos(HWND Wnd, int Bar, int Pos, bool Redraw);
int GetScrollPos(HWND Wnd, int Bar);
bool SetScrollRange(HWND Wnd, int Bar, int Min, int Max, bool Redraw);
bool ShowScrollBar(HWND Wnd, int Bar, bool Show);

// ---- Caret (one per application) ----
constexpr uintptr_t GrayCaret = 1;  // Bitmap argument for a grey caret
// Bitmap 0: a solid caret of Width x Height; GrayCaret: a grey one; else a bitmap handle, whose pixels
// (copied now, at the bitmap's own size) are XORed over the owner's paint. The caret blinks at the
// blink time (0 or 0xFFFFFFFF: steady), starting lit when it is shown or moved.
bool CreateCaret(HWND Wnd, uintptr_t Bitmap, int Width, int Height);
bool DestroyCaret();
bool SetCaretPos(int X, int Y);
bool GetCaretPos(TPoint* Point);
// Show and hide are counted: the caret shows once every HideCaret has been matched.
bool ShowCaret(HWND Wnd);
bool HideCaret(HWND Wnd);
uint32_t GetCaretBlinkTime();
bool SetCaretBlinkTime(uint32_t Milliseconds);
// What the caret looks like now, for tests and for painting.
struct TCaretState {
    HWND Owner = 0;
    TRect Bounds;
    bool Visible = false;
    int HideCount = 0;
    bool Gray = false;
    bool Lit = false;     // drawn at this moment: visible and in the on phase of its blink
    bool Bitmap = false;  // drawn from a bitmap
};
TCaretState GetCaretState();

// ---- Timers, on the framework clock ----
using TTimerProc = std::function<void(HWND Wnd, UINT Msg, uintptr_t IdEvent, uint32_t Time)>;
// With a window: WM_TIMER to it with wParam = IdEvent. Without one: a new id is returned and the
// procedure is called. Intervals below 10 ms count as 10 ms.
uintptr_t SetTimer(HWND Wnd, uintptr_t IdEvent, uint32_t Elapse, TTimerProc Proc = {});
bool KillTimer(HWND Wnd, uintptr_t IdEvent);
// The clock the timers run on: the framework's tick count (GetTickCount of the time seams), which
// tests replace to advance time without waiting.
uint32_t TimerClockNow();

// ---- System metrics and colours (fixed tables, see Windows.cpp) ----
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CYVTHUMB = 9;
constexpr int SM_CXHTHUMB = 10;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXCURSOR = 13;
constexpr int SM_CYCURSOR = 14;
constexpr int SM_CYMENU = 15;
constexpr int SM_CXFULLSCREEN = 16;
constexpr int SM_CYFULLSCREEN = 17;
constexpr int SM_CYVSCROLL = 20;
constexpr int SM_CXHSCROLL = 21;
constexpr int SM_CXMIN = 28;
constexpr int SM_CYMIN = 29;
constexpr int SM_CXSIZE = 30;
constexpr int SM_CYSIZE = 31;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
constexpr int SM_CYSMCAPTION = 51;
constexpr int SM_CXSMSIZE = 52;
constexpr int SM_CYSMSIZE = 53;
constexpr int SM_CXDRAG = 68;
constexpr int SM_CYDRAG = 69;
constexpr int SM_MOUSEWHEELPRESENT = 75;
int GetSystemMetrics(int Index);
// Swaps (true) or restores (false) the meaning of the left and right mouse buttons as the system
// reports it through SM_SWAPBUTTON; returns whether they were swapped before. Mouse messages already
// carry the logical button, so only the reported setting changes (tests use it to act as a
// left-handed user's system).
bool SwapMouseButton(bool Swap);

constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_MENUHILIGHT = 29;
constexpr int COLOR_MENUBAR = 30;
// 0x00BBGGRR of a system colour index; 0 for an unknown index.
uint32_t GetSysColor(int Index);

// Windows-1252 text to and from the UTF-16 of Qt happens inside the layer; these two are the
// conversions it uses, exposed for the controls that hand text to Qt themselves.
std::u16string AnsiToUtf16(const std::string& Text);
std::string Utf16ToAnsi(const std::u16string& Text);  // '?' for what the code page cannot hold

// Makes sure the Qt application object exists (created once, on first need).
void EnsureGuiApplication();

// ---- Pointer, queue inspection, window shape ----
// The pointer's screen position: where the last mouse input (or SetCursorPos) put it.
bool GetCursorPos(TPoint* Point);
bool SetCursorPos(int X, int Y);
// A message taken from the queue.
struct TMsg {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
// Looks for the first posted message of the window (any window when Wnd is 0) whose number lies in
// FilterMin..FilterMax (every number when both are 0); with PM_REMOVE it leaves the queue.
bool PeekMessage(TMsg* Msg, HWND Wnd, UINT FilterMin, UINT FilterMax, UINT RemoveMsg);
// Gives the window the shape of a region of the drawing layer (window coordinates): nothing outside
// it shows or takes the mouse. The window owns the region afterwards; 0 gives the rectangle back.
bool SetWindowRgn(HWND Wnd, uintptr_t Rgn, bool Redraw);

// ---- Small calls ----
constexpr int SM_SWAPBUTTON = 23;  // 0: the left button is the primary one
// The system font's average character width (low word) and height (high word).
int32_t GetDialogBaseUnits();
// Number * Numerator / Denominator through a 64-bit product, rounded half away from zero; -1 when
// Denominator is 0 or the result does not fit in 32 bits.
int MulDiv(int Number, int Numerator, int Denominator);
// A high-resolution counter on the framework's tick count (so tests move it with the clock seam):
// 1000 counts a second, never wrapping.
bool QueryPerformanceFrequency(int64_t* Frequency);
bool QueryPerformanceCounter(int64_t* Count);
// Sound: accepted and not played (the program has no sound output). Always true.
constexpr uint32_t SND_SYNC = 0x0000;
constexpr uint32_t SND_ASYNC = 0x0001;
constexpr uint32_t SND_NODEFAULT = 0x0002;
bool sndPlaySound(const char* Sound, uint32_t Flags);

// ---- Monitors and work areas ----
using HMONITOR = uintptr_t;
constexpr uint32_t MONITOR_DEFAULTTONULL = 0;
constexpr uint32_t MONITOR_DEFAULTTOPRIMARY = 1;
constexpr uint32_t MONITOR_DEFAULTTONEAREST = 2;
constexpr uint32_t MONITORINFOF_PRIMARY = 1;
struct TMonitorInfo {
    uint32_t cbSize = sizeof(TMonitorInfo);
    TRect rcMonitor;  // the monitor in screen coordinates
    TRect rcWork;     // less the task bars
    uint32_t dwFlags = 0;
};
// The monitors are the platform's screens (one under the offscreen platform: the screen, all of it
// work area) unless a test has set its own; the first is the primary monitor. An empty list gives
// the platform's back.
void SetMonitors(const std::vector<TMonitorInfo>& Monitors);
int MonitorCount();
HMONITOR MonitorFromPoint(TPoint Point, uint32_t Flags);
HMONITOR MonitorFromRect(const TRect& Rect, uint32_t Flags);
HMONITOR MonitorFromWindow(HWND Wnd, uint32_t Flags);
bool GetMonitorInfo(HMONITOR Monitor, TMonitorInfo* Info);
// Where a popup of the given size opens for an owner at Owner (screen coordinates): below it, or
// above it when below would pass the bottom of the owner's work area; kept inside that work area
// horizontally.
TPoint PlacePopup(const TRect& Owner, int Width, int Height);

// ---- Window placement (top-level windows; the forms keep theirs) ----
constexpr uint32_t WPF_SETMINPOSITION = 0x0001;
constexpr uint32_t WPF_RESTORETOMAXIMIZED = 0x0002;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_RESTORE = 9;
struct TWindowPlacement {
    uint32_t length = sizeof(TWindowPlacement);
    uint32_t flags = 0;
    uint32_t showCmd = 0;  // SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED
    TPoint ptMinPosition{-1, -1};
    TPoint ptMaxPosition{-1, -1};
    TRect rcNormalPosition;  // the restored bounds, screen coordinates
};
bool GetWindowPlacement(HWND Wnd, TWindowPlacement* Placement);
// Sets the restored bounds (moved into the nearest work area when they meet none) and the state.
bool SetWindowPlacement(HWND Wnd, const TWindowPlacement* Placement);

}  // namespace framework
