#include "framework/stdctrls/LabelEdit.h"

#include <utility>

namespace framework {

TLabelEdit::TLabelEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
    FVisible = false;
    AutoSelect = false;
}

void TLabelEdit::Start(TWinControl* Host, const TRect& Rect, const std::string& Text, TEndEvent OnEnd) {
    Finish(false);
    SetParent(Host);
    SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height());
    SetText(Text);
    SetModified(false);
    FOnEnd = std::move(OnEnd);
    Show();
    if (CanFocus()) SetFocus();
    SelectAll();
}

void TLabelEdit::Finish(bool Cancel) {
    if (!FOnEnd) return;
    // Taken first: the handler may move the focus, which would finish the edit a second time.
    TEndEvent end = std::exchange(FOnEnd, nullptr);
    Hide();
    end(Cancel);
}

void TLabelEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
    if (Key == VK_RETURN || Key == VK_ESCAPE) {
        bool cancel = Key == VK_ESCAPE;
        Key = 0;
        TWinControl* host = Parent();
        Finish(cancel);
        if (host && host->CanFocus()) host->SetFocus();
        return;
    }
    TCustomEdit::KeyDown(Key, Shift);
}

void TLabelEdit::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_GETDLGCODE:
            // Enter and Escape belong to the edit, not to the form's default and cancel buttons.
            M.Result = DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
            return;
        case WM_KILLFOCUS:
            TCustomEdit::Dispatch(M);
            Finish(false);
            return;
        default:
            break;
    }
    TCustomEdit::Dispatch(M);
}

}  // namespace framework
