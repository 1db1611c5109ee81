#include "controls/kit/KitButton.h"

#include <mutex>

#include "controls/kit/KitApp.h"
#include "framework/core/Filer.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Resources.h"
#include "framework/ui/Windows.h"

namespace kit {

using namespace framework;

namespace {

constexpr int CellW = 13, CellH = 14;

// Each standard glyph drawn in black (and a few colours) into its 13 × 14 cell at X.
void DrawStandardCell(TCanvas& C, int Kind, int X) {
    auto px = [&](int x, int y, TColor c) { C.SetPixel(X + x, y, c); };
    auto box = [&](int l, int t, int r, int b, TColor c) {
        C.Brush.Color = c;
        C.FillRect(Rect(X + l, t, X + r, b));
    };
    auto frame = [&](int l, int t, int r, int b, TColor c) {
        HBRUSH br = CreateSolidBrush(c);
        FrameRect(C.Handle(), Rect(X + l, t, X + r, b), br);
        DeleteObject(br);
    };
    switch (Kind) {
        case sgEllipsis:
            for (int i = 0; i < 3; ++i) box(1 + 4 * i, 9, 3 + 4 * i, 11, clBlack);
            break;
        case sgDisk:
            box(1, 1, 12, 13, clBlack);
            box(3, 1, 10, 6, clWhite);
            box(4, 9, 9, 13, clSilver);
            break;
        case sgFolder:
            frame(1, 3, 12, 12, clBlack);
            box(2, 4, 11, 11, clYellow);
            box(1, 2, 6, 3, clBlack);
            break;
        case sgCalendarGrid:
            frame(0, 1, 13, 13, clBlack);
            box(1, 2, 12, 4, clNavy);
            for (int x = 3; x < 12; x += 3)
                for (int y = 5; y < 12; ++y) px(x, y, clGray);
            for (int y = 7; y < 12; y += 2)
                for (int x = 1; x < 12; ++x) px(x, y, clGray);
            break;
        case sgCalendarPage:
            frame(1, 1, 12, 13, clBlack);
            box(2, 2, 11, 5, clRed);
            box(2, 5, 11, 12, clWhite);
            box(5, 7, 8, 10, clBlack);
            break;
        case sgMagnifier:
            frame(1, 1, 8, 8, clBlack);
            box(2, 2, 7, 7, clAqua);
            for (int i = 0; i < 5; ++i) {
                px(7 + i, 7 + i, clBlack);
                px(8 + i, 7 + i, clBlack);
            }
            break;
        case sgPalette:
            frame(0, 2, 13, 12, clBlack);
            box(2, 4, 5, 7, clRed);
            box(6, 4, 9, 7, clLime);
            box(2, 8, 5, 11, clBlue);
            box(6, 8, 9, 11, clYellow);
            break;
        case sgLetterA:
            for (int y = 2; y < 12; ++y) {
                const int d = (y - 2) / 2;
                px(6 - d, y, clBlack);
                px(6 + d, y, clBlack);
            }
            for (int x = 4; x <= 8; ++x) px(x, 8, clBlack);
            break;
        default:
            break;
    }
}

}  // namespace

void RegisterStandardGlyphs() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterBitmapResource(StandardGlyphsResource, [](TBitmap& B) {
            B.SetPixelFormat(pf24bit);
            B.SetSize(8 * CellW, CellH);
            B.Canvas().Brush.Color = clOlive;
            B.Canvas().FillRect(Rect(0, 0, 8 * CellW, CellH));
            for (int kind = 1; kind <= 8; ++kind) DrawStandardCell(B.Canvas(), kind, (kind - 1) * CellW);
        });
    });
}

void LoadStandardGlyph(TBitmap& Bitmap, int Kind) {
    RegisterStandardGlyphs();
    LoadBitmapResource(Bitmap, StandardGlyphsResource);
    if (Bitmap.Empty()) return;
    if (Kind != 1) {
        TBitmap cell;
        cell.SetPixelFormat(pf24bit);
        cell.SetSize(CellW, CellH);
        cell.Canvas().CopyRect(Rect(0, 0, CellW, CellH), Bitmap.Canvas(),
                               Bounds(CellW * (Kind - 1), 0, CellW, CellH));
        Bitmap.Assign(cell);
    }
    Bitmap.SetSize(CellW, Bitmap.Height());
}

// ---- TKitCustomButton -----------------------------------------------------------------------------

TKitCustomButton::TKitCustomButton(TComponent* AOwner)
    : TButton(AOwner),
      FLayout(std::make_unique<TKitButtonLayout>()),
      FFontFX(std::make_unique<TKitFxCaption>()),
      FGlyph(std::make_unique<TKitGlyph>()) {
    FLayout->SetAlignment(agCenter);
    FLayout->OnChange = [this](TObject* Sender) { LayoutChanged(Sender); };
    FFontFX->OnChange = [this](TObject* Sender) { LayoutChanged(Sender); };
    FGlyph->OnChange = [this](TObject* Sender) { LayoutChanged(Sender); };
    FLink.OnChange = [this](TObject* Sender) { ImageListChanged(Sender); };
    SetBounds(Left(), Top(), 75, 25);
    ControlStyle |= csReplicatable;
}

TKitCustomButton::~TKitCustomButton() {
    StopRepeat();
    if (FImageList) FImageList->UnregisterLink(&FLink);
    FLayout->OnChange = nullptr;
    FFontFX->OnChange = nullptr;
    FGlyph->OnChange = nullptr;
    FLink.OnChange = nullptr;
}

void TKitCustomButton::CreateParams(TCreateParams& Params) {
    TButton::CreateParams(Params);
    Params.Style |= BS_OWNERDRAW;
}

void TKitCustomButton::LayoutChanged(TObject* Sender) {
    if (ComponentState() & csLoading) return;
    if (Sender == &Font() || Sender == FFontFX.get()) {
        SetParentFont(false);
        if (FFontFX->Angle() != 0 && !IsTrueTypeFont(Font())) {
            if (Sender == FFontFX.get()) {
                Font().Name = "Arial";
                Font().Changed();
                return;
            }
            FFontFX->SetAngle(0);
        }
    }
    Invalidate();
}

void TKitCustomButton::SetGlyph(const TBitmap* Value) {
    if (!(ComponentState() & csLoading) && FImageList) SetImageList(nullptr);
    FGlyph->SetBitmap(Value);
    Invalidate();
}

void TKitCustomButton::SetNumGlyphs(int Value) {
    if (Value == FGlyph->NumGlyphs()) return;
    FGlyph->SetNumGlyphs(Value);
    Invalidate();
}

void TKitCustomButton::SetExtStyle(TKitUserButtonStyle Value) {
    if (Value == FExtStyle) return;
    FExtStyle = Value;
    FGlyph->SetStyle(Value == ubsFlatUnColored || Value == ubsNavigator || Value == ubsExplorer ? 1 : 0);
    Invalidate();
}

void TKitCustomButton::SetMultiLine(bool Value) {
    if (Value == FMultiLine) return;
    FMultiLine = Value;
    Invalidate();
}

void TKitCustomButton::SetUseCaption(bool Value) {
    if (Value == FUseCaption) return;
    FUseCaption = Value;
    Invalidate();
}

void TKitCustomButton::SetStandardGlyph(int Value) {
    if (Value < 0 || Value > 8 || Value == FStandardGlyph) return;
    FStandardGlyph = Value;
    FGlyph->SetBitmap(nullptr);
    Invalidate();
}

void TKitCustomButton::SetImageList(TKitCustomImageList* Value) {
    if (FImageList) FImageList->UnregisterLink(&FLink);
    FImageList = Value;
    if (Value) {
        Value->RegisterLink(&FLink);
        Value->FreeNotification(this);
    }
    ImageListChanged(Value);
}

void TKitCustomButton::SetIndex(int Which, int Value) {
    if (Value < 0 || Value == FIndex[Which]) return;
    FIndex[Which] = Value;
    if (FImageList) ImageListChanged(FImageList);
}

void TKitCustomButton::ImageListChanged(TObject*) {
    if (FStandardGlyph != 0) return;
    if (!FImageList || !FImageList->HasImage(ListIndex(), ImageIndex())) {
        FGlyph->SetBitmap(nullptr);
    } else {
        TBitmap image;
        FImageList->GetImage(ListIndex(), ImageIndex(), image);
        FGlyph->SetBitmap(&image);
    }
    Invalidate();
}

void TKitCustomButton::Loaded() {
    TButton::Loaded();
    if (FImageList) ImageListChanged(FImageList);
}

void TKitCustomButton::Notification(TComponent* AComponent, TOperation Operation) {
    TButton::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImageList) {
        FImageList = nullptr;
        ImageListChanged(nullptr);
    }
}

void TKitCustomButton::DefineProperties(TFiler* Filer) {
    TButton::DefineProperties(Filer);
    Filer->DefineProperty(
        "Internal", [this](TReader* Reader) { SetImageList(GlobalImageList(Reader->ReadString())); },
        [this](TWriter* Writer) { Writer->WriteString(ListSignature(FImageList->ListKind())); },
        FImageList && IsGlobalImageList(FImageList));
    // Old streams name the face style under "Style"; it is read only.
    Filer->DefineProperty(
        "Style",
        [this](TReader* Reader) {
            const std::string ident = Reader->ReadIdent();
            for (size_t i = 0; i < LegacyButtonStyleNames.size(); ++i)
                if (ident == LegacyButtonStyleNames[i]) SetExtStyle(static_cast<TKitUserButtonStyle>(i));
        },
        nullptr, false);
}

void TKitCustomButton::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const int kind =
        (AWidth != Width() || AHeight != Height() ? 1 : 0) | (ALeft != Left() || ATop != Top() ? 2 : 0);
    TButton::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (kind && !(ComponentState() & csLoading)) BoundsChanged(kind);
}

void TKitCustomButton::SetMouseOver(bool Value) {
    if (Value == FMouseOver) return;
    FMouseOver = Value;
    Repaint();
}

// ---- Drawing --------------------------------------------------------------------------------------

void TKitCustomButton::DrawItem(const TDrawItemStruct& Item) {
    TCanvas canvas;
    canvas.SetHandle(static_cast<HDC>(Item.hDC));
    struct Release {
        TCanvas& C;
        ~Release() { C.SetHandle(0); }
    } release{canvas};
    TRect r = ClientRect();
    FFaceState = !Enabled() ? 1 : (Item.itemState & ODS_SELECTED) ? 4 : FMouseOver ? 2 : 0;
    uint32_t flags = bfRoundCorners;
    if (DefaultLook()) flags |= bfDefault;
    if (Item.itemState & ODS_FOCUS) flags |= bfFocused;
    if (FMouseOver) flags |= bfMouseOver;
    const TKitUserButtonStyle resolved = ResolveButtonStyle(FExtStyle);
    if (FExtStyle == ubsExplorer || FExtStyle == ubsExplorerColored || FExtStyle == ubsWinXP ||
        FExtStyle == ubsWinXPCombo || FExtStyle == ubsWinXPTool) {
        canvas.Brush.Color = Color();
        canvas.FillRect(r);
    }
    DrawButtonFace(Handle(), canvas, FMouseOver, r, FExtStyle, static_cast<uint8_t>(FFaceState), flags,
                   Color());
    if (resolved == ubsWinXPCombo) return;
    canvas.Font.Assign(Font());
    DrawContent(canvas, r, 0);
}

void TKitCustomButton::DrawContent(TCanvas& Canvas, TRect Rect, uint32_t Format) {
    uint32_t flags = gtAutoSunken;
    if (Enabled()) flags |= gtEnabled;
    FGlyph->Draw(Canvas, FUseCaption ? Caption() : std::string(), FFontFX.get(), Rect, FFaceState,
                 FLayout.get(), flags, FMultiLine, Format);
}

// ---- Messages -------------------------------------------------------------------------------------

void TKitCustomButton::Dispatch(TMessage& M) {
    const bool designing = (ComponentState() & csDesigning) != 0;
    switch (M.Msg) {
        case CN_DRAWITEM: {
            if (FStandardGlyph != 0 && FGlyph->Bitmap().Empty()) {
                FGlyph->SetNumGlyphs(1);
                TBitmap standard;
                LoadStandardGlyph(standard, FStandardGlyph);
                FGlyph->SetBitmap(&standard);
                // A repaint asked for while painting is lost: the face is drawn now, with the glyph.
            }
            DrawItem(*reinterpret_cast<const TDrawItemStruct*>(M.LParam));
            M.Result = 1;
            return;
        }
        case CN_MEASUREITEM: {
            auto* mi = reinterpret_cast<TMeasureItemStruct*>(M.LParam);
            mi->itemWidth = static_cast<UINT>(Width());
            mi->itemHeight = static_cast<UINT>(Height());
            M.Result = 1;
            return;
        }
        case CM_MOUSEENTER:
            if (!designing) {
                if (FFaceState == 0 && OnMouseEnter) OnMouseEnter(this);
                SetMouseOver(true);
            }
            break;
        case CM_MOUSELEAVE:
            if (!designing) {
                if (OnMouseExit) OnMouseExit(this);
                if (FMouseOver) {
                    FMouseOver = false;
                    FFaceState = 0;
                    Repaint();
                }
                if (HideHint && Application) Application->CancelHint();
            }
            break;
        case CM_FONTCHANGED:
            TButton::Dispatch(M);
            LayoutChanged(&Font());
            return;
        case CM_ENABLEDCHANGED:
        case CM_KITTHEMECHANGED:
            Invalidate();
            break;
        case CM_VISIBLECHANGED:
            if (!Visible()) {
                FMouseOver = false;
                StopRepeat();
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            TButton::Dispatch(M);
            if (RepeatedClick && FRepeatTimer == 0) StartRepeat();
            return;
        case WM_LBUTTONUP:
            if (RepeatedClick) StopRepeat();
            break;
        default:
            break;
    }
    TButton::Dispatch(M);
}

void TKitCustomButton::StartRepeat() {
    FRepeatTimer = KitApplication()->AddTimer(RepeatingDelay, [this](TObject*) { RepeatTick(); });
    if (FRepeatTimer == 0) throw EOutOfResources("Not enough timers available");
    if (TKitTimerItem* item = KitApplication()->TimerItem(FRepeatTimer)) item->SetEnabled(true);
}

void TKitCustomButton::StopRepeat() {
    if (FRepeatTimer == 0) return;
    const uint16_t ident = FRepeatTimer;
    FRepeatTimer = 0;
    if (TKitTimerItem* item = KitApplication()->TimerItem(ident)) {
        item->OnTimer = nullptr;
        item->SetEnabled(false);
        KitApplication()->RemoveTimer(ident);
    }
}

void TKitCustomButton::RepeatTick() {
    if (FMouseOver) RepeatClick();
}

void TKitCustomButton::RepeatClick() {
    if (TKitTimerItem* item = KitApplication()->TimerItem(FRepeatTimer)) item->SetInterval(RepeatingInterval);
    Click();
}

void TKitCustomButton::Click() {
    if (!DropMenu() || FDroppingDown) {
        TButton::Click();
        return;
    }
    if (OnClick) OnClick(this);
    if (!DefaultLook() && CanFocus()) SetFocus();
    Perform(BM_SETSTATE, 1, 0);
    Refresh();
    FDroppingDown = true;
    struct Done {
        TKitCustomButton& B;
        ~Done() {
            // The clicks that closed the menu are not the button's.
            TMsg msg;
            if (B.HandleAllocated())
                while (PeekMessage(&msg, B.Handle(), WM_MOUSEFIRST, WM_MOUSEWHEEL, PM_REMOVE)) {
                }
            if (HWND capture = GetCapture()) SendMessage(capture, WM_CANCELMODE, 0, 0);
            B.FDroppingDown = false;
            B.FFaceState = 0;
            B.Perform(BM_SETSTATE, 0, 0);
        }
    } done{*this};
    DropDown();
}

// ---- TKitButton -----------------------------------------------------------------------------------

void TKitButton::SetDropDownMenu(TPopupMenu* Value) {
    FDropDownMenu = Value;
    if (Value) Value->FreeNotification(this);
}

void TKitButton::Notification(TComponent* AComponent, TOperation Operation) {
    TKitCustomButton::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDropDownMenu) FDropDownMenu = nullptr;
}

void TKitButton::DropDown() {
    if (OnDropDown) OnDropDown(this);
    const TPoint at = DropDownRight ? ClientToScreen(Point(Width(), DropDownIndent))
                                    : ClientToScreen(Point(DropDownIndent, Height()));
    FDropDownMenu->PopupComponent = this;
    FDropDownMenu->Popup(at.X, at.Y);
}

}  // namespace kit
