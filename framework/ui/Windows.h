#pragma once
// The window layer seen by handle: the handle map, sending and posting messages, the message
// queue, focus, capture, keyboard state, painting regions, scroll bars, the caret, timers, system
// metrics and colours. Every window is a Qt widget behind a handle of our own; this header keeps Qt
// out of sight so that it can be included everywhere.

#include <cstdint>
#include <functional>
#include <string>

#include "framework/ui/Messages.h"
#include "framework/ui/Types.h"

namespace framework {

class TWinControl;

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

}  // namespace framework
