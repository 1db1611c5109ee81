#pragma once
// Headless driver for window tests: runs under the offscreen platform, owns the framework tick
// count while it lives, types keys and clicks controls through real Qt events, runs pending messages,
// and answers modal forms and message boxes from a queue, recording what was shown.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "framework/ui/DragDrop.h"
#include "framework/ui/Forms.h"

namespace framework {
class TCommonDialog;
class TMenuItem;
}  // namespace framework

namespace framework {

class TFormDriver : public TModalAnswerer {
public:
    TFormDriver();
    ~TFormDriver() override;
    TFormDriver(const TFormDriver&) = delete;
    TFormDriver& operator=(const TFormDriver&) = delete;

    // ---- Messages and time ----
    int RunPending();
    uint32_t Now() const { return FNow; }
    // Moves the framework clock on by Ms in steps of Step (the whole amount when 0), running the
    // pending messages after each step.
    void Advance(uint32_t Ms, uint32_t Step = 0);

    // ---- Keyboard: to the window that has the focus ----
    // One key stroke (press and release); Shift is a set of ssShift, ssCtrl, ssAlt.
    void Key(int VirtKey, TShiftState Shift = 0);
    void KeyDown(int VirtKey, TShiftState Shift = 0);
    void KeyUp(int VirtKey, TShiftState Shift = 0);
    // Types Windows-1252 text one character at a time (capitals with Shift).
    void Type(const std::string& Text);
    // Gives the control the focus (as SetFocus does), then the key stroke.
    void KeyTo(TWinControl& Control, int VirtKey, TShiftState Shift = 0);

    // ---- Mouse, in the control's client coordinates (its centre when X is -1) ----
    void Click(TControl& Control, int X = -1, int Y = -1, TMouseButton Button = TMouseButton::mbLeft,
               TShiftState Shift = 0);
    void DoubleClick(TControl& Control, int X = -1, int Y = -1);
    void MouseDown(TControl& Control, int X, int Y, TMouseButton Button = TMouseButton::mbLeft,
                   TShiftState Shift = 0);
    void MouseUp(TControl& Control, int X, int Y, TMouseButton Button = TMouseButton::mbLeft,
                 TShiftState Shift = 0);
    void MouseMove(TControl& Control, int X, int Y, TShiftState Shift = 0);
    // The pointer leaves the window of the control (or of its parent for a windowless one).
    void MouseLeave(TControl& Control);
    void Wheel(TControl& Control, int Delta, TShiftState Shift = 0);
    // Presses a window scroll bar: SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN.
    void ScrollBar(TWinControl& Control, int Bar, int Code);

    // ---- Modal forms and message boxes ----
    struct TShown {
        std::string Kind;  // "form", "message" (message boxes and MessageDlg), "dialog" or "menu"
        std::string ClassName;
        std::string Caption;
        std::string Text;
        uint32_t Flags = 0;
        int Answer = 0;
        int DlgType = -1;      // a MessageDlg's TMsgDlgType
        uint32_t Buttons = 0;  // a MessageDlg's button set (TMsgDlgButtons bits)
    };
    std::vector<TShown> Shown;
    // The next modal form or message box gets this result (button ID for a message box).
    void Answer(int Result);
    // The next modal form is handed to Act (which may type and click on it); when the form is
    // still open once the messages settle, it is closed with Fallback (an error without one).
    void AnswerWith(std::function<void(TCustomForm&)> Act, TModalResult Fallback = mrNone);
    size_t PendingAnswers() const { return FAnswers.size(); }
    // The next common dialog (open, save, font, colour, print, folder) is handed to Fill, which sets
    // its fields as a user would and returns whether the user accepted it.
    void AnswerDialog(std::function<bool(TCommonDialog&)> Fill);
    // The next menu shown (a popup menu, or a menu of a form's bar) chooses the item Choose returns
    // among the sub-items of Items (nil: the menu is dismissed).
    void AnswerMenu(std::function<TMenuItem*(TMenuItem& Items)> Choose);
    // With no answer queued, menus open on screen (drawn, driven by keys and clicks) instead of
    // failing the test.
    bool LiveMenus = false;
    // Unanswered modal forms and message boxes fail the test; when false they get Cancel / OK.
    bool Strict = true;

    // The cursor the pointer shows over the window of a control (a standard cursor).
    TCursor CursorShown(TWinControl& Control);

    // ---- Drag-and-drop ----
    // The pointer's steps during a drag are queued before the drag starts and taken by the drag
    // loop one by one; a drag that runs out of steps is cancelled as Escape would.
    void DragOver(TWinControl& Control, int X, int Y);
    // The pointer moves to the point and the button is released there.
    void DragDrop(TWinControl& Control, int X, int Y);
    void DragEscape();
    size_t PendingDragSteps() const { return FDragSteps.size(); }
    // Presses the left button at the point and moves the pointer past the drag distance, which
    // starts a drag where the control starts one.
    void DragStart(TControl& Control, int X, int Y);

    // ---- Pictures ----
    // Writes the window of a control (a form with its children) to a PNG file.
    bool Grab(TWinControl& Control, const std::string& PngPath);
    // Writes a screen area with every visible top-level window in it (forms, open menus and lists),
    // each at its place, later windows over earlier ones.
    bool GrabScreen(const TRect& Area, const std::string& PngPath);
    // The colour (0x00BBGGRR) shown at a client point of a windowed control, after painting.
    uint32_t PixelAt(TWinControl& Control, int X, int Y);
    // The colour the window shows on screen at a client point: the painted pixels with what is drawn
    // over them (the caret).
    uint32_t ShownPixelAt(TWinControl& Control, int X, int Y);

    void FormShownModal(TCustomForm& Form) override;
    TModalResult ModalIdle(TCustomForm& Form) override;
    int MessageBoxShown(const TMessageBoxRequest& Request) override;

private:
    struct TAnswer {
        int Result = 0;
        std::function<void(TCustomForm&)> Act;
    };
    void SendKey(bool Down, int VirtKey, TShiftState Shift, const std::u16string& Text);
    void SendMouse(TControl& Control, int Type, int X, int Y, TMouseButton Button, TShiftState Shift,
                   bool Held);
    std::deque<TAnswer> FAnswers;
    std::deque<std::function<bool(TCommonDialog&)>> FDialogAnswers;
    std::deque<std::function<TMenuItem*(TMenuItem&)>> FMenuAnswers;
    std::vector<std::pair<TCustomForm*, TModalResult>> FFallbacks;  // forms answered by an action
    std::deque<TDragStep> FDragSteps;
    uint32_t FNow = 1000;
    TModalAnswerer* FPrevious = nullptr;
    std::function<uint32_t()> FPreviousTicks;
};

}  // namespace framework
