#include "framework/ui/testsupport/TestControls.h"

#include <algorithm>

namespace framework {

namespace {
std::vector<TLoggedMessage> Filter(const std::vector<TLoggedMessage>& log,
                                   std::initializer_list<UINT> numbers) {
    std::vector<TLoggedMessage> out;
    for (const auto& m : log)
        if (std::find(numbers.begin(), numbers.end(), m.Msg) != numbers.end()) out.push_back(m);
    return out;
}
}  // namespace

TLogControl::TLogControl(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 100, 24);
    SetTabStop(true);
}

void TLogControl::Dispatch(TMessage& M) {
    Log.push_back(TLoggedMessage{M.Msg, M.WParam, M.LParam, GetKeyState(VK_SHIFT) < 0});
    if (M.Msg == WM_GETDLGCODE) {
        M.Result = DlgCode;
        return;
    }
    TCustomControl::Dispatch(M);
}

std::vector<TLoggedMessage> TLogControl::Only(std::initializer_list<UINT> Numbers) const {
    return Filter(Log, Numbers);
}

void TLogControl::Paint() {
    ++PaintCount;
    Canvas().Brush.Color = PaintColor;
    Canvas().FillRect(ClientRect());
    Canvas().Brush.Color = clBlack;
    Canvas().FrameRect(ClientRect());
    Canvas().Brush.Color = PaintColor;
    Canvas().TextOut(4, 4, Text());
}

TTestEdit::TTestEdit(TComponent* AOwner) : TLogControl(AOwner) {}

void TTestEdit::Dispatch(TMessage& M) {
    if (M.Msg == WM_CHAR) {
        TLogControl::Dispatch(M);  // logs, then KeyPress and OnKeyPress
        char c = static_cast<char>(M.WParam);
        if (c == '\b') {
            if (!FText.empty()) SetText(FText.substr(0, FText.size() - 1));
        } else if (static_cast<unsigned char>(c) >= 32 && M.WParam != 0) {
            SetText(FText + c);
        }
        return;
    }
    TLogControl::Dispatch(M);
}

TTestButton::TTestButton(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
    SetColor(clBtnFace);
}

void TTestButton::Click() {
    ++Clicks;
    if (TCustomForm* f = ParentForm(); f && ModalResult != mrNone) f->SetModalResult(ModalResult);
    TCustomControl::Click();
}

void TTestButton::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_GETDLGCODE:
            M.Result = Default ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON;
            return;
        case CM_DIALOGKEY:
            if (((M.WParam == VK_RETURN && Default) || (M.WParam == VK_ESCAPE && Cancel)) && Visible() &&
                Enabled()) {
                Click();
                M.Result = 1;
                return;
            }
            break;
        case CM_DIALOGCHAR:
            if (IsAccel(static_cast<uint16_t>(M.WParam), Caption()) && CanFocus()) {
                Click();
                M.Result = 1;
                return;
            }
            break;
        case WM_KEYDOWN:
            if (M.WParam == VK_SPACE) Click();
            break;
        default:
            break;
    }
    TCustomControl::Dispatch(M);
}

void TTestButton::Paint() {
    TCanvas& c = Canvas();
    c.Brush.Color = clBtnFace;
    c.FillRect(ClientRect());
    c.Brush.Color = Default ? clBlack : clGray;
    c.FrameRect(ClientRect());
    std::string caption;
    for (size_t i = 0; i < Caption().size(); ++i)
        if (Caption()[i] != '&') caption += Caption()[i];
    c.Brush.Style = bsClear;
    c.TextOut(8, 5, caption);
    c.Brush.Style = bsSolid;
}

TTestGraphic::TTestGraphic(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 40, 20);
}

void TTestGraphic::Dispatch(TMessage& M) {
    Log.push_back(TLoggedMessage{M.Msg, M.WParam, M.LParam, GetKeyState(VK_SHIFT) < 0});
    TGraphicControl::Dispatch(M);
}

std::vector<TLoggedMessage> TTestGraphic::Only(std::initializer_list<UINT> Numbers) const {
    return Filter(Log, Numbers);
}

void TTestGraphic::Paint() {
    ++PaintCount;
    Canvas().Brush.Color = clRed;
    Canvas().FillRect(ClientRect());
}

}  // namespace framework
