#include "framework/stdctrls/ComCtrls.h"

#include <algorithm>

#include "framework/stdctrls/ExtCtrls.h"

namespace framework {

// ---------------------------------------------------------------------------------------------
// TImage

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), FPicture(std::make_unique<TPicture>()) {
    FWidth = 105;
    FHeight = 105;
    FPicture->OnChange = [this](TObject*) {
        if (AutoSize && FPicture->Width() > 0) SetBounds(FLeft, FTop, FPicture->Width(), FPicture->Height());
        Invalidate();
    };
}
TImage::~TImage() = default;

void TImage::Paint() {
    TGraphic* g = FPicture->Graphic();
    if (!g || g->Empty()) return;
    g->SetTransparent(Transparent);
    TRect r;
    if (Stretch) {
        r = Rect(0, 0, FWidth, FHeight);
    } else if (Center) {
        r = Bounds((FWidth - g->Width()) / 2, (FHeight - g->Height()) / 2, g->Width(), g->Height());
    } else {
        r = Bounds(0, 0, g->Width(), g->Height());
    }
    Canvas().StretchDraw(r, g);
}

// ---------------------------------------------------------------------------------------------
// TImageList

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}
TImageList::~TImageList() = default;

int TImageList::Add(TBitmap* Image, TBitmap* Mask) {
    if (!Image) return -1;
    TEntry e;
    e.Image = std::make_unique<TBitmap>();
    e.Image->SetPixelFormat(pf24bit);
    e.Image->SetSize(Width, Height);
    e.Image->Canvas().Draw(0, 0, Image);
    if (Mask) {
        // Masked pixels (white in the mask) get a colour the image does not use, made transparent.
        constexpr TColor kKey = 0x00FF01FE;
        for (int y = 0; y < std::min(Height, Mask->Height()); ++y)
            for (int x = 0; x < std::min(Width, Mask->Width()); ++x)
                if ((Mask->Canvas().Pixel(x, y) & 0xFFFFFF) == 0xFFFFFF)
                    e.Image->Canvas().SetPixel(x, y, kKey);
        e.Transparent = kKey;
    }
    FImages.push_back(std::move(e));
    return Count() - 1;
}

int TImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
    int i = Add(Image, nullptr);
    if (i >= 0) FImages[static_cast<size_t>(i)].Transparent = MaskColor;
    return i;
}

void TImageList::Delete(int Index) {
    if (Index < 0 || Index >= Count()) throw EInvalidOperation("Invalid image list index");
    FImages.erase(FImages.begin() + Index);
}

void TImageList::Clear() {
    FImages.clear();
}

void TImageList::Draw(TCanvas& Canvas, int X, int Y, int Index, bool Enabled) {
    if (Index < 0 || Index >= Count()) return;
    TEntry& e = FImages[static_cast<size_t>(Index)];
    TBitmap* b = e.Image.get();
    if (e.Transparent != clNone) {
        b->TransparentMode = tmFixed;
        b->SetTransparentColor(e.Transparent);
        b->SetTransparent(true);
    } else {
        b->SetTransparent(false);
    }
    Canvas.Draw(X, Y, b);
    if (!Enabled) {
        // Disabled images are shown greyed: every other pixel covered with the face colour.
        for (int y = 0; y < Height; ++y)
            for (int x = (y & 1); x < Width; x += 2) Canvas.SetPixel(X + x, Y + y, clBtnFace);
    }
}

void TImageList::GetBitmap(int Index, TBitmap& Image) {
    if (Index < 0 || Index >= Count()) return;
    Image.Assign(*FImages[static_cast<size_t>(Index)].Image);
}

void SetImageListField(TComponent& Owner, TImageList*& Field, TImageList* Value) {
    if (Field) Field->RemoveFreeNotification(&Owner);
    Field = Value;
    if (Field) Field->FreeNotification(&Owner);
}

// ---------------------------------------------------------------------------------------------
// TProgressBar

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 150;
    FHeight = 16;
}

void TProgressBar::SetRange(int AMin, int AMax) {
    FMin = AMin;
    FMax = std::max(AMin, AMax);
    FPosition = std::clamp(FPosition, FMin, FMax);
    Invalidate();
}

void TProgressBar::SetPosition(int Value) {
    FPosition = std::clamp(Value, FMin, FMax);
    Invalidate();
}

void TProgressBar::StepIt() {
    // Stepping past the end starts again from the beginning, as the platform's bar does.
    int p = FPosition + Step;
    if (p > FMax) p = FMin + (p - FMax);
    SetPosition(p);
}

void TProgressBar::StepBy(int Delta) {
    SetPosition(FPosition + Delta);
}

void TProgressBar::Dispatch(TMessage& M) {
    if (M.Msg == WM_PAINT) {
        TPaintStruct ps;
        HDC dc = BeginPaint(Handle(), ps);
        TCanvas c;
        c.SetHandle(dc);
        TRect r = ClientRect();
        c.Brush.Color = clBtnFace;
        c.FillRect(r);
        Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
        int span = std::max(1, FMax - FMin);
        int w = (r.Width() - 4) * (FPosition - FMin) / span;
        c.Brush.Color = clHighlight;
        if (w > 0) c.FillRect(Rect(2, 2, 2 + w, r.Bottom - 2));
        c.SetHandle(0);
        EndPaint(Handle(), ps);
        return;
    }
    TWinControl::Dispatch(M);
}

// ---------------------------------------------------------------------------------------------
// Range controls

TCustomRangeControl::TCustomRangeControl(TComponent* AOwner) : TCustomControl(AOwner) {
    FTabStop = true;
    FColor = clBtnFace;
}

void TCustomRangeControl::SetParams(int APosition, int AMin, int AMax) {
    if (AMax < AMin) throw EInvalidOperation("Scroll bar property out of range");
    int old = FPosition;
    FMin = AMin;
    FMax = AMax;
    FPosition = std::clamp(APosition, FMin, FMax);
    Invalidate();
    if (FPosition != old && OnChange) OnChange(this);
}

void TCustomRangeControl::Scroll(TScrollCode Code, int Pos) {
    if (OnScroll) OnScroll(this, Code, Pos);
    SetPosition(Pos);
}

void TCustomRangeControl::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    switch (Key) {
        case VK_LEFT:
        case VK_UP:
            Scroll(scLineUp, FPosition - SmallChange);
            break;
        case VK_RIGHT:
        case VK_DOWN:
            Scroll(scLineDown, FPosition + SmallChange);
            break;
        case VK_PRIOR:
            Scroll(scPageUp, FPosition - LargeChange);
            break;
        case VK_NEXT:
            Scroll(scPageDown, FPosition + LargeChange);
            break;
        case VK_HOME:
            Scroll(scTop, FMin);
            break;
        case VK_END:
            Scroll(scBottom, FMax);
            break;
        default:
            break;
    }
}

void TCustomRangeControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft) {
        if (CanFocus() && !Focused()) SetFocus();
        // A click before or after the thumb pages towards the click.
        int length = Horizontal() ? FWidth : FHeight;
        int at = Horizontal() ? X : Y;
        int span = std::max(1, FMax - FMin);
        int thumb = (length - 16) * (FPosition - FMin) / span + 8;
        if (at < thumb) Scroll(scPageUp, FPosition - LargeChange);
        if (at > thumb) Scroll(scPageDown, FPosition + LargeChange);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomRangeControl::Dispatch(TMessage& M) {
    if (M.Msg == WM_GETDLGCODE) {
        M.Result = DLGC_WANTARROWS;
        return;
    }
    TCustomControl::Dispatch(M);
}

TScrollBar::TScrollBar(TComponent* AOwner) : TCustomRangeControl(AOwner) {
    FWidth = 121;
    FHeight = GetSystemMetrics(SM_CYHSCROLL);
}

void TScrollBar::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = clScrollBar;
    c.FillRect(r);
    bool h = Horizontal();
    int length = h ? r.Width() : r.Height();
    int thick = h ? r.Height() : r.Width();
    int span = std::max(1, FMax - FMin);
    int track = std::max(0, length - 3 * thick);
    int pos = thick + track * (FPosition - FMin) / span;
    auto button = [&](TRect b) {
        c.Brush.Color = clBtnFace;
        c.FillRect(b);
        Frame3D(c, b, clBtnHighlight, clBtnShadow, 1);
    };
    button(h ? Rect(0, 0, thick, thick) : Rect(0, 0, thick, thick));
    button(h ? Rect(length - thick, 0, length, thick) : Rect(0, length - thick, thick, length));
    button(h ? Rect(pos, 0, pos + thick, thick) : Rect(0, pos, thick, pos + thick));
}

TTrackBar::TTrackBar(TComponent* AOwner) : TCustomRangeControl(AOwner) {
    FWidth = 150;
    FHeight = 45;
    FMax = 10;
}

void TTrackBar::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(r);
    bool h = Horizontal();
    int length = (h ? r.Width() : r.Height()) - 16;
    int mid = (h ? r.Height() : r.Width()) / 2 - 6;
    Frame3D(c, h ? Rect(8, mid - 2, 8 + length, mid + 2) : Rect(mid - 2, 8, mid + 2, 8 + length), clBtnShadow,
            clBtnHighlight, 1);
    int span = std::max(1, FMax - FMin);
    c.Pen.Color = clBtnText;
    for (int v = FMin; v <= FMax && Frequency > 0; v += Frequency) {
        int p = 8 + length * (v - FMin) / span;
        if (h) {
            c.MoveTo(p, mid + 14);
            c.LineTo(p, mid + 18);
        } else {
            c.MoveTo(mid + 14, p);
            c.LineTo(mid + 18, p);
        }
    }
    int p = 8 + length * (FPosition - FMin) / span;
    TRect thumb = h ? Rect(p - 5, mid - 9, p + 6, mid + 10) : Rect(mid - 9, p - 5, mid + 10, p + 6);
    c.Brush.Color = clBtnFace;
    c.FillRect(thumb);
    Frame3D(c, thumb, clBtnHighlight, cl3DDkShadow, 1);
    if (Focused()) c.DrawFocusRect(r);
}

// ---------------------------------------------------------------------------------------------
// Page control

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle |= csAcceptsControls;
    FColor = clBtnFace;
    FParentColor = true;
    FVisible = false;
}

TTabSheet::~TTabSheet() {
    SetPageControl(nullptr);
}

void TTabSheet::SetPageControl(TPageControl* Value) {
    if (FPageControl == Value) return;
    if (FPageControl) {
        TPageControl* old = FPageControl;
        auto it = std::find(old->FPages.begin(), old->FPages.end(), this);
        int index = static_cast<int>(it - old->FPages.begin());
        old->FPages.erase(it);
        FPageControl = nullptr;
        if (old->FActivePage == this) {
            old->FActivePage = nullptr;
            if (!old->FPages.empty())
                old->SetActivePage(old->FPages[static_cast<size_t>(std::min(index, old->PageCount() - 1))]);
        }
        old->Invalidate();
    }
    FPageControl = Value;
    if (Value) {
        Value->FPages.push_back(this);
        SetParent(Value);
        if (!Value->FActivePage) Value->SetActivePage(this);
        Value->Invalidate();
    }
}

int TTabSheet::PageIndex() const {
    if (!FPageControl) return -1;
    auto it = std::find(FPageControl->FPages.begin(), FPageControl->FPages.end(), this);
    return static_cast<int>(it - FPageControl->FPages.begin());
}

TPageControl::TPageControl(TComponent* AOwner) : TCustomControl(AOwner) {
    ControlStyle |= csAcceptsControls;
    FWidth = 289;
    FHeight = 193;
    FTabStop = true;
    FColor = clBtnFace;
}

TPageControl::~TPageControl() {
    for (TTabSheet* p : FPages) p->FPageControl = nullptr;
}

namespace {
constexpr int kTabHeight = 20;
}

void TPageControl::AlignControls(TControl* AControl, TRect& R) {
    R = Rect(R.Left + 4, R.Top + kTabHeight + 4, std::max(R.Left + 4, R.Right - 4),
             std::max(R.Top + kTabHeight + 4, R.Bottom - 4));
    for (TTabSheet* p : FPages) p->SetBoundsRect(R);
    TCustomControl::AlignControls(AControl, R);
}

TRect TPageControl::TabRect(int Index) {
    Canvas().Font.Assign(FFont);
    int x = 2;
    for (int i = 0; i < PageCount(); ++i) {
        TTabSheet* p = FPages[static_cast<size_t>(i)];
        if (!p->TabVisible) {
            if (i == Index) return TRect{};
            continue;
        }
        int w = Canvas().TextWidth(p->Caption()) + 16;
        if (i == Index) return Rect(x, 2, x + w, kTabHeight + 2);
        x += w;
    }
    return TRect{};
}

int TPageControl::ActivePageIndex() const {
    return FActivePage ? FActivePage->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int Index) {
    SetActivePage(Index >= 0 && Index < PageCount() ? FPages[static_cast<size_t>(Index)] : nullptr);
}

void TPageControl::SetActivePage(TTabSheet* Page) {
    if (Page && Page->FPageControl != this) return;
    if (Page == FActivePage) return;
    if (FActivePage) FActivePage->SetVisible(false);
    FActivePage = Page;
    if (Page) {
        TRect r = ClientRect();
        AlignControls(nullptr, r);
        Page->SetVisible(true);
        Page->BringToFront();
    }
    Invalidate();
}

bool TPageControl::ChangeTo(TTabSheet* Page) {
    if (!Page || Page == FActivePage) return false;
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    if (!allow) return false;
    SetActivePage(Page);
    if (OnChange) OnChange(this);
    return true;
}

void TPageControl::SelectNextPage(bool GoForward) {
    int n = PageCount();
    if (n == 0) return;
    int start = std::max(0, ActivePageIndex());
    for (int k = 1; k <= n; ++k) {
        int i = ((start + (GoForward ? k : -k)) % n + n) % n;
        if (FPages[static_cast<size_t>(i)]->TabVisible) {
            ChangeTo(FPages[static_cast<size_t>(i)]);
            return;
        }
    }
}

void TPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft)
        for (int i = 0; i < PageCount(); ++i)
            if (TabRect(i).Contains(Point(X, Y))) {
                if (CanFocus()) SetFocus();
                ChangeTo(FPages[static_cast<size_t>(i)]);
                break;
            }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TPageControl::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == VK_RIGHT || Key == VK_LEFT) SelectNextPage(Key == VK_RIGHT);
}

void TPageControl::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case CM_DIALOGKEY:
            // Ctrl+Tab and Ctrl+Shift+Tab turn the pages from anywhere on the form.
            if (M.WParam == VK_TAB && GetKeyState(VK_CONTROL) < 0 && Showing()) {
                SelectNextPage(GetKeyState(VK_SHIFT) >= 0);
                M.Result = 1;
                return;
            }
            break;
        case WM_GETDLGCODE:
            M.Result = DLGC_WANTARROWS;
            return;
        default:
            break;
    }
    TCustomControl::Dispatch(M);
}

void TPageControl::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(r);
    Frame3D(c, Rect(0, kTabHeight, r.Right, r.Bottom), clBtnHighlight, cl3DDkShadow, 1);
    c.Font.Assign(FFont);
    c.Brush.Style = bsClear;
    for (int i = 0; i < PageCount(); ++i) {
        TRect t = TabRect(i);
        if (t.IsEmpty()) continue;
        bool active = FPages[static_cast<size_t>(i)] == FActivePage;
        if (!active) t = Rect(t.Left, t.Top + 2, t.Right, t.Bottom);
        c.Brush.Style = bsSolid;
        c.Brush.Color = FColor;
        c.FillRect(Rect(t.Left, t.Top, t.Right, t.Bottom + (active ? 1 : 0)));
        c.Pen.Color = clBtnHighlight;
        c.MoveTo(t.Left, t.Bottom);
        c.LineTo(t.Left, t.Top);
        c.LineTo(t.Right - 1, t.Top);
        c.Pen.Color = cl3DDkShadow;
        c.LineTo(t.Right - 1, t.Bottom);
        c.Brush.Style = bsClear;
        int th = c.TextHeight("Wg");
        DrawCaption(
            c, Rect(t.Left + 8, t.Top + (t.Height() - th) / 2, t.Right - 8, t.Top + (t.Height() + th) / 2),
            FPages[static_cast<size_t>(i)]->Caption(), taLeftJustify, true);
        if (active && Focused()) c.DrawFocusRect(Rect(t.Left + 3, t.Top + 3, t.Right - 3, t.Bottom - 2));
    }
    c.Brush.Style = bsSolid;
}

// ---------------------------------------------------------------------------------------------
// TStatusBar

TStatusBar::TStatusBar(TComponent* AOwner) : TCustomControl(AOwner) {
    FHeight = 19;
    FWidth = 200;
    FColor = clBtnFace;
    SetAlign(alBottom);
}

TStatusPanel& TStatusBar::AddPanel(const std::string& Text, int Width) {
    Panels.push_back(TStatusPanel{Text, Width, taLeftJustify, pbLowered});
    Invalidate();
    return Panels.back();
}

void TStatusBar::SetSimpleText(const std::string& Value) {
    FSimpleText = Value;
    Invalidate();
}

TRect TStatusBar::PanelRect(int Index) const {
    int x = 0;
    int h = ClientHeight();
    for (int i = 0; i < static_cast<int>(Panels.size()); ++i) {
        bool last = i + 1 == static_cast<int>(Panels.size());
        int w = last ? std::max(0, ClientWidth() - x) : Panels[static_cast<size_t>(i)].Width;
        if (i == Index) return Rect(x, 2, x + w, h);
        x += w + 2;
    }
    return TRect{};
}

void TStatusBar::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(r);
    c.Font.Assign(FFont);
    int th = c.TextHeight("Wg");
    auto panel = [&](TRect p, const std::string& text, TAlignment a, TStatusPanelBevel b) {
        if (b != pbNone)
            p = Frame3D(c, p, b == pbLowered ? clBtnShadow : clBtnHighlight,
                        b == pbLowered ? clBtnHighlight : clBtnShadow, 1);
        c.Brush.Style = bsClear;
        int y = p.Top + (p.Height() - th) / 2;
        DrawCaption(c, Rect(p.Left + 2, y, p.Right - 2, y + th), text, a, false);
        c.Brush.Style = bsSolid;
    };
    if (SimplePanel || Panels.empty()) {
        panel(Rect(0, 2, r.Right, r.Bottom), FSimpleText, taLeftJustify, pbLowered);
        return;
    }
    for (int i = 0; i < static_cast<int>(Panels.size()); ++i) {
        const TStatusPanel& p = Panels[static_cast<size_t>(i)];
        panel(PanelRect(i), p.Text, p.Alignment, p.Bevel);
    }
}

// ---------------------------------------------------------------------------------------------
// TSplitter

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
    FAlign = alLeft;
    FWidth = 3;
    FHeight = 100;
    FCursor = crHSplit;
    ControlStyle |= csCaptureMouse;
}

TControl* TSplitter::FindControl() const {
    if (!FParent) return nullptr;
    // The neighbour is the control aligned the same way whose edge touches the splitter.
    for (int i = 0; i < FParent->ControlCount(); ++i) {
        TControl* c = FParent->Controls(i);
        if (c == this || !c->Visible() || c->Align() != FAlign) continue;
        switch (FAlign) {
            case alLeft:
                if (c->Left() + c->Width() == FLeft) return c;
                break;
            case alRight:
                if (c->Left() == FLeft + FWidth) return c;
                break;
            case alTop:
                if (c->Top() + c->Height() == FTop) return c;
                break;
            case alBottom:
                if (c->Top() == FTop + FHeight) return c;
                break;
            default:
                break;
        }
    }
    return nullptr;
}

void TSplitter::Paint() {
    Canvas().Brush.Color = clBtnFace;
    Canvas().FillRect(ClientRect());
}

void TSplitter::DrawLine() {
    if (FLinePos < 0 || !FParent || !FParent->HandleAllocated()) return;
    HDC dc = GetDC(FParent->Handle());
    if (FAlign == alLeft || FAlign == alRight)
        PatBlt(dc, FLinePos, FTop, FWidth, FHeight, DSTINVERT);
    else
        PatBlt(dc, FLeft, FLinePos, FWidth, FHeight, DSTINVERT);
    ReleaseDC(FParent->Handle(), dc);
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != TMouseButton::mbLeft) return;
    FControl = FindControl();
    FDownPos = ClientToScreen(Point(X, Y));
    if (!FControl) return;
    FStartSize = (FAlign == alLeft || FAlign == alRight) ? FControl->Width() : FControl->Height();
    FNewSize = FStartSize;
    // While the mouse drags, an inverted line shows where the edge will go; the neighbour is
    // resized once, when the button is released.
    FLinePos = (FAlign == alLeft || FAlign == alRight) ? FLeft : FTop;
    DrawLine();
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FControl || FLinePos < 0 || !(Shift & ssLeft)) return;
    TPoint p = ClientToScreen(Point(X, Y));
    int delta = 0;
    switch (FAlign) {
        case alLeft:
            delta = p.X - FDownPos.X;
            break;
        case alRight:
            delta = FDownPos.X - p.X;
            break;
        case alTop:
            delta = p.Y - FDownPos.Y;
            break;
        case alBottom:
            delta = FDownPos.Y - p.Y;
            break;
        default:
            break;
    }
    int size = std::max(MinSize, FStartSize + delta);
    if (size == FNewSize) return;
    int moved = size - FStartSize;
    DrawLine();
    FNewSize = size;
    FLinePos = (FAlign == alLeft)    ? FLeft + moved
               : (FAlign == alRight) ? FLeft - moved
               : (FAlign == alTop)   ? FTop + moved
                                     : FTop - moved;
    DrawLine();
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (Button != TMouseButton::mbLeft || !FControl) return;
    DrawLine();
    FLinePos = -1;
    TControl* c = FControl;
    FControl = nullptr;
    if (FNewSize != FStartSize) {
        if (FAlign == alLeft || FAlign == alRight)
            c->SetWidth(FNewSize);
        else
            c->SetHeight(FNewSize);
    }
    if (OnMoved) OnMoved(this);
}

// ---------------------------------------------------------------------------------------------

TScrollBox::TScrollBox(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle |= csAcceptsControls;
    FWidth = 185;
    FHeight = 41;
    FColor = clBtnFace;
    FParentColor = true;
}

void TScrollBox::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    if (BorderStyle == bsSingle) P.ExStyle |= WS_EX_CLIENTEDGE;
}

namespace {
// Posted after a layout: the scroll bars change the client area, which a layout in progress
// must not see change under it.
constexpr UINT kScrollBoxUpdate = WM_USER + 0x7E1;
}  // namespace

void TScrollBox::PostUpdate() {
    if (AutoScroll && HandleAllocated() && !FUpdatePosted) {
        FUpdatePosted = true;
        PostMessage(Handle(), kScrollBoxUpdate, 0, 0);
    }
}

void TScrollBox::AlignControls(TControl* AControl, TRect& Rect) {
    TWinControl::AlignControls(AControl, Rect);
    PostUpdate();
}

void TScrollBox::ChildLayoutChanged(TControl*) {
    PostUpdate();
}

void TScrollBox::CreateWnd() {
    TWinControl::CreateWnd();
    PostUpdate();
}

void TScrollBox::UpdateScrollBars() {
    if (!HandleAllocated()) return;
    // The extent: the far edges of the visible children, where they sit unscrolled.
    int w = 0, h = 0;
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (!c->Visible() || c->Align() != alNone) continue;
        w = std::max(w, c->Left() + c->Width() + FScrollPos.X);
        h = std::max(h, c->Top() + c->Height() + FScrollPos.Y);
    }
    FExtent = TSize{w, h};
    for (int bar : {SB_HORZ, SB_VERT}) {
        TScrollInfo si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMin = 0;
        si.nMax = AutoScroll ? (bar == SB_HORZ ? w : h) - 1 : 0;
        si.nPage = static_cast<uint32_t>(std::max(1, bar == SB_HORZ ? ClientWidth() : ClientHeight()));
        si.nPos = bar == SB_HORZ ? FScrollPos.X : FScrollPos.Y;
        SetScrollInfo(Handle(), bar, si, true);
    }
    // A bar that came or went changed the client area: keep the view inside the extent.
    ScrollTo(FScrollPos.X, FScrollPos.Y);
}

void TScrollBox::ScrollTo(int X, int Y) {
    X = std::clamp(X, 0, std::max(0, FExtent.cx - ClientWidth()));
    Y = std::clamp(Y, 0, std::max(0, FExtent.cy - ClientHeight()));
    if (X == FScrollPos.X && Y == FScrollPos.Y) return;
    int dx = FScrollPos.X - X, dy = FScrollPos.Y - Y;
    FScrollPos = Point(X, Y);
    ScrollBy(dx, dy);
    if (HandleAllocated()) {
        SetScrollPos(Handle(), SB_HORZ, X, true);
        SetScrollPos(Handle(), SB_VERT, Y, true);
    }
}

bool TScrollBox::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    if (TWinControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    ScrollTo(FScrollPos.X, FScrollPos.Y - WheelDelta / 120 * 24);  // 24 pixels a notch
    return true;
}

void TScrollBox::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case kScrollBoxUpdate:
            FUpdatePosted = false;
            UpdateScrollBars();
            return;
        case WM_HSCROLL:
        case WM_VSCROLL: {
            bool vert = M.Msg == WM_VSCROLL;
            int pos = vert ? FScrollPos.Y : FScrollPos.X;
            int page = std::max(1, vert ? ClientHeight() : ClientWidth());
            int line = std::max(1, page / 10);  // a tenth of the view per arrow press
            std::optional<int> target = ScrollCodePosition(M, pos, line, page);
            if (!target) return;
            pos = *target;
            if (vert)
                ScrollTo(FScrollPos.X, pos);
            else
                ScrollTo(pos, FScrollPos.Y);
            return;
        }
        case WM_SIZE:
        case WM_PAINT:
            // A child moved or the box changed size: the extent is checked again (the update
            // changes nothing, and so paints nothing, when it still holds).
            TWinControl::Dispatch(M);
            PostUpdate();
            return;
        default:
            TWinControl::Dispatch(M);
    }
}

}  // namespace framework
