#include "controls/kit/KitColorCombo.h"

#include <algorithm>

#include "framework/core/SysUtils.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"

namespace kit {

using namespace framework;

// ---- TKitCustomComboBox -------------------------------------------------------------------------

TKitCustomComboBox::TKitCustomComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
    ControlStyle |= csReplicatable;
}

void TKitCustomComboBox::SetFlat(bool Value) {
    if (Value == FFlat) return;
    FFlat = Value;
    Invalidate();
}

void TKitCustomComboBox::SetDropDownWidth(int Value) {
    FDropDownWidth = Value;
    if (HandleAllocated()) Perform(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(Value), 0);
}

void TKitCustomComboBox::SetFocusControl(TWinControl* Value) {
    if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
    FFocusControl = Value;
    if (FFocusControl) FFocusControl->FreeNotification(this);
}

void TKitCustomComboBox::Loaded() {
    TCustomComboBox::Loaded();
    SetDropDownWidth(FDropDownWidth);
}

void TKitCustomComboBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomComboBox::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TKitCustomComboBox::DoSelect() {
    if (OnSelect) OnSelect(this);
}

void TKitCustomComboBox::MoveFocus() {
    if (FFocusControl && FFocusControl->CanFocus()) FFocusControl->SetFocus();
}

void TKitCustomComboBox::KeyDown(uint16_t& Key, TShiftState Shift) {
    if (Key == VK_PRIOR || Key == VK_NEXT || Key == VK_UP || Key == VK_DOWN || Key == VK_LEFT ||
        Key == VK_RIGHT)
        FKeySelect = true;
    if (Key == VK_RETURN && FFocusControl) MoveFocus();
    TCustomComboBox::KeyDown(Key, Shift);
}

void TKitCustomComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    FKeySelect = false;
    TCustomComboBox::MouseDown(Button, Shift, X, Y);
}

int TKitCustomComboBox::MeasureItem(int) {
    return ItemHeight();
}

void TKitCustomComboBox::Paint() {
    TCustomComboBox::Paint();
    // The border over the edges of the control.
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Style = bsSolid;
    const bool idle = FFlat && !(ComponentState() & csDesigning) && !FHot && !Focused();
    if (idle) {
        c.Brush.Color = clBtnFace;
        c.FrameRect(r);
        c.FrameRect(TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1});
        c.Brush.Color = clWindow;
        c.FrameRect(TRect{r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2});
    } else {
        c.Brush.Color = clWindowFrame;
        c.FrameRect(TRect{r.Left + 1, r.Top + 1, r.Right, r.Bottom});
        c.Brush.Color = clBtnFace;
        c.FrameRect(TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1});
        DrawEdge(c.Handle(), r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    }
}

void TKitCustomComboBox::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case CN_MEASUREITEM: {
            auto* mi = reinterpret_cast<TMeasureItemStruct*>(Message.LParam);
            mi->itemHeight = static_cast<UINT>(MeasureItem(static_cast<int>(mi->itemID)));
            Message.Result = 1;
            return;
        }
        case CN_COMMAND:
            TCustomComboBox::Dispatch(Message);
            if (Message.WParamHi() == CBN_SELCHANGE) {
                DoSelect();
                // A choice made in the dropped-down list moves the focus once the list has closed.
                if (!FKeySelect && FFocusControl) {
                    if (DroppedDown())
                        FFocusPending = true;
                    else
                        MoveFocus();
                }
            }
            if (Message.WParamHi() == CBN_CLOSEUP && FFocusPending) {
                FFocusPending = false;
                MoveFocus();
            }
            return;
        case CM_MOUSEENTER:
        case CM_MOUSELEAVE:
            FHot = Message.Msg == CM_MOUSEENTER;
            if (FFlat) Invalidate();
            break;
        case CM_ENTER:
        case CM_EXIT:
            if (FFlat) Invalidate();
            break;
        case WM_THEMECHANGED:
            if (HandleAllocated()) RecreateWnd();
            break;
        default:
            break;
    }
    TCustomComboBox::Dispatch(Message);
}

// ---- TKitCustomColorComboBox --------------------------------------------------------------------

const std::vector<std::string>& KitColorNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        GetColorValues([&](const std::string& Name) { list.push_back(Name); });
        return list;
    }();
    return names;
}

namespace {

// A colour from its name or number ("$" for hexadecimal); -1 when the text is neither.
TColor ColorOf(const std::string& Text) {
    if (Text.empty()) return -1;
    try {
        return StringToColor(Text);
    } catch (const EConvertError&) {
        return -1;
    }
}

// The value of a custom-mode line: what follows the first "=", or the whole line.
std::string LineValue(const std::string& Line) {
    size_t eq = Line.find('=');
    return eq == std::string::npos ? Line : Line.substr(eq + 1);
}

bool IsDecimal(const std::string& Text) {
    int32_t v;
    return !Text.empty() && TryStrToInt(Text, v) && Text[0] != '$';
}

}  // namespace

TKitCustomColorComboBox::TKitCustomColorComboBox(TComponent* AOwner)
    : TKitCustomComboBox(AOwner), FCustomColors(std::make_unique<TStringList>()) {
    FCustomColors->OnChange = [this](TObject*) {
        if (FCustomMode) BuildItems();
    };
    SetStyle(csOwnerDrawVariable);
    SizeForStyle();
    BuildItems();
}

TKitCustomColorComboBox::~TKitCustomColorComboBox() {
    FCustomColors->OnChange = nullptr;
}

void TKitCustomColorComboBox::SetOptions(TKitColorCBOptions Value) {
    if (Value == FOptions) return;
    FOptions = Value;
    BuildItems();
}

void TKitCustomColorComboBox::SetCustomMode(bool Value) {
    if (Value == FCustomMode) return;
    FCustomMode = Value;
    BuildItems();
}

void TKitCustomColorComboBox::SetCustomColors(const TStrings& Value) {
    auto saved = FCustomColors->OnChange;
    FCustomColors->OnChange = nullptr;
    if (FCustomMode) {
        FCustomColors->Assign(const_cast<TStrings*>(&Value));
    } else {
        FCustomColors->Clear();
        for (char letter = 'A'; letter <= 'P'; ++letter) {
            std::string name = std::string("Color") + letter;
            if (Value.IndexOfName(name) < 0) continue;
            std::string v = Value.Values(name).substr(0, 6);
            if (IsDecimal(v)) FCustomColors->Add(name + "=" + v);
        }
    }
    FCustomColors->OnChange = saved;
    BuildItems();
}

void TKitCustomColorComboBox::Loaded() {
    TKitCustomComboBox::Loaded();
    BuildItems();
}

void TKitCustomColorComboBox::BuildItems() {
    TColor selected = ItemIndex() >= 0 ? SelectedColor() : -1;
    Items().Clear();
    if (FCustomMode) {
        Items().AddStrings(FCustomColors.get());
    } else {
        const auto& names = KitColorNames();
        for (size_t i = 0; i < names.size(); ++i) {
            bool defaults = i < KitDefaultColorCount;
            if ((defaults && (FOptions & ColorCBOption(coDefaultColors))) ||
                (!defaults && (FOptions & ColorCBOption(coSystemColors))))
                Items().Add(names[i]);
        }
        if ((FOptions & ColorCBOption(coCustomColors)) && FCustomColors->Count() > 0) {
            for (char letter = 'A'; letter <= 'P'; ++letter) {
                std::string v = FCustomColors->Values(std::string("Color") + letter);
                if (v.empty() || v == "FFFFFFFF") continue;
                Items().Add("$" + std::string(v.size() < 8 ? 8 - v.size() : 0, '0') + v);
            }
        }
    }
    if (selected != -1) SetSelectedColor(selected);
}

TColor TKitCustomColorComboBox::SelectedColor() const {
    std::string text = const_cast<TKitCustomColorComboBox*>(this)->Text();
    if (text.empty()) return -1;
    if (FCustomMode) text = LineValue(text);
    return ColorOf(text);
}

void TKitCustomColorComboBox::SetSelectedColor(TColor Value) {
    if (FCustomMode) {
        if (Value == SelectedColor()) return;
        for (int i = 0; i < Items().Count(); ++i)
            if (ColorOf(LineValue(Items().Strings(i))) == Value) {
                SetItemIndex(i);
                break;
            }
    } else {
        std::string name = ColorToString(Value);
        if (name != Text()) {
            int index = Items().IndexOf(name);
            if (index < 0 && (FOptions & ColorCBOption(coAllowAnyColor)) && Value != clNone)
                index = Items().Add(name);
            SetItemIndex(index);
        }
    }
    Change();
}

int TKitCustomColorComboBox::MeasureItem(int) {
    return FDisplayStyle == csColor ? 15 : FontLineHeight(Font()) + 2;
}

void TKitCustomColorComboBox::SizeForStyle() {
    if (FDisplayStyle == csColor) {
        SetItemHeight(15);
        SetHeight(25);
    } else {
        int h = FontLineHeight(Font()) + 2;
        SetItemHeight(h);
        SetHeight(h + 11);
    }
}

void TKitCustomColorComboBox::SetDisplayStyle(TKitColorCBStyle Value) {
    if (Value == FDisplayStyle) return;
    TColor selected = Text().empty() ? -1 : SelectedColor();
    FDisplayStyle = Value;
    SizeForStyle();
    if (HandleAllocated()) RecreateWnd();
    if (selected != -1) SetSelectedColor(selected);
}

void TKitCustomColorComboBox::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_FONTCHANGED) {
        TKitCustomComboBox::Dispatch(Message);
        TColor selected = Text().empty() ? -1 : SelectedColor();
        SizeForStyle();
        if (selected != -1) SetSelectedColor(selected);
        return;
    }
    TKitCustomComboBox::Dispatch(Message);
}

void TKitCustomColorComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbRight && !FCustomMode && !(ComponentState() & csDesigning) &&
        (FOptions & ColorCBOption(coAllowDialog))) {
        ShowColorDialog();
        return;
    }
    TKitCustomComboBox::MouseDown(Button, Shift, X, Y);
}

void TKitCustomColorComboBox::ShowColorDialog() {
    TComponentPtr<TColorDialog> dialog(NewComponent<TColorDialog>(nullptr));
    dialog->CustomColors().Assign(FCustomColors.get());
    TColor selected = SelectedColor();
    if (selected != -1) dialog->Color = selected;
    dialog->HelpContext = DlgHelpContext;
    if (OnBeforeDialogShow) OnBeforeDialogShow(this, *dialog);
    bool ok = dialog->Execute();
    if (OnAfterDialogShow) OnAfterDialogShow(this, *dialog);
    if (!ok) return;
    FCustomColors->Assign(&dialog->CustomColors());
    SetSelectedColor(dialog->Color);
}

void TKitCustomColorComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    if (Index == -1) return;
    TCanvas& c = Canvas();
    c.Brush.Style = bsSolid;
    if (State & odSelected) {
        c.Brush.Color = clHighlight;
        c.Font.Color = clHighlightText;
    } else {
        c.Brush.Color = Color();
        c.Font.Color = (State & odDisabled) ? clInactiveCaption : Font().Color;
    }
    c.FillRect(Rect);
    if (State & odFocused) c.DrawFocusRect(Rect);

    std::string line = Index < Items().Count() ? Items().Strings(Index) : "";
    TColor colour = clBlack;
    std::string text;
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
        TColor read = ColorOf(line);
        colour = read == -1 ? clBlack : read;
        text = !line.empty() && line[0] == 'c' ? line.substr(2) : line;
    } else {
        text = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        TColor read = -1;
        if (line.find("cl") != std::string::npos) {
            read = ColorOf(value);
        } else {
            int32_t v;
            if (TryStrToInt(value, v)) read = v;
        }
        colour = read == -1 ? clBlack : read;
    }
    if (colour == clNone) return;

    switch (FDisplayStyle) {
        case csColor:
            c.Brush.Color = colour;
            c.FillRect(TRect{Rect.Left + 3, Rect.Top + 3, Rect.Right - 3, Rect.Bottom - 3});
            break;
        case csText:
            c.Brush.Style = bsClear;
            c.TextOut(Rect.Left + 2, Rect.Top + 2, text);
            break;
        case csColorText:
        case csColor3DText: {
            TRect swatch{Rect.Left + 4, Rect.Top + 2, Rect.Left + ItemHeight() + 8, Rect.Bottom - 2};
            TBrush keep;
            keep.Assign(c.Brush);
            c.Brush.Color = colour;
            if (FDisplayStyle == csColorText) {
                c.Pen.Style = psSolid;
                c.Pen.Color = clBlack;
                c.Rectangle(swatch);
            } else {
                c.FillRect(swatch);
                TRect border = swatch;
                DrawBorderStyle(c, border, lsSingleRaised, 0);
            }
            c.Brush.Assign(keep);
            c.Brush.Style = bsClear;
            c.TextOut(swatch.Right + 6, Rect.Top + 2, text);
            break;
        }
    }
}

}  // namespace kit
