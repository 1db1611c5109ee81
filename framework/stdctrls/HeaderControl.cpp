#include "framework/stdctrls/HeaderControl.h"

#include <algorithm>

#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/ExtCtrls.h"

namespace framework {

namespace {
// How near (in pixels) the pointer must be to a section's right edge to drag it.
constexpr int kDividerReach = 4;
}  // namespace

// ---------------------------------------------------------------------------------------------
// THeaderSection

void THeaderSection::SetText(const std::string& Value) {
    FText = Value;
    FOwner->SectionsChanged();
}

void THeaderSection::SetWidth(int Value) {
    FWidth = std::clamp(Value, FMinWidth, std::max(FMinWidth, FMaxWidth));
    FOwner->SectionsChanged();
}

void THeaderSection::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    FOwner->SectionsChanged();
}

void THeaderSection::SetMinWidth(int Value) {
    FMinWidth = std::max(0, Value);
    if (FMaxWidth < FMinWidth) FMaxWidth = FMinWidth;
    SetWidth(FWidth);
}

void THeaderSection::SetMaxWidth(int Value) {
    FMaxWidth = std::max(Value, FMinWidth);
    SetWidth(FWidth);
}

int THeaderSection::Index() const {
    return FOwner->Sections().IndexOf(this);
}

int THeaderSection::Left() const {
    int x = 0;
    THeaderSections& all = FOwner->Sections();
    for (int i = 0; i < all.Count() && all[i] != this; ++i) x += all[i]->Width();
    return x;
}

// ---------------------------------------------------------------------------------------------
// THeaderSections

THeaderSection* THeaderSections::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[static_cast<size_t>(Index)].get();
}

THeaderSection* THeaderSections::Add() {
    FItems.push_back(std::make_unique<THeaderSection>(FOwner));
    FOwner->SectionsChanged();
    return FItems.back().get();
}

THeaderSection* THeaderSections::Add(const std::string& Text, int Width, TAlignment Alignment) {
    THeaderSection* s = Add();
    s->SetText(Text);
    s->SetWidth(Width);
    s->SetAlignment(Alignment);
    return s;
}

void THeaderSections::Delete(int Index) {
    Items(Index);
    FItems.erase(FItems.begin() + Index);
    FOwner->SectionsChanged();
}

void THeaderSections::Clear() {
    FItems.clear();
    FOwner->SectionsChanged();
}

int THeaderSections::IndexOf(const THeaderSection* Section) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<size_t>(i)].get() == Section) return i;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// THeaderControl

THeaderControl::THeaderControl(TComponent* AOwner) : TCustomControl(AOwner), FSections(this) {
    FWidth = 200;
    FHeight = 17;
    FColor = clBtnFace;
    ControlStyle &= ~csSetCaption;
}

THeaderControl::~THeaderControl() = default;

void THeaderControl::SetImages(TImageList* Value) {
    SetImageListField(*this, FImages, Value);
    Invalidate();
}

void THeaderControl::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

void THeaderControl::SectionsChanged() {
    // A section removed while pressed or dragged is forgotten.
    auto known = [this](THeaderSection* s) { return s && FSections.IndexOf(s) >= 0 ? s : nullptr; };
    FTracking = known(FTracking);
    FPressed = known(FPressed);
    FHot = known(FHot);
    Invalidate();
}

THeaderSection* THeaderControl::SectionAt(int X) const {
    int x = 0;
    for (int i = 0; i < FSections.Count(); ++i) {
        THeaderSection* s = FSections[i];
        if (X >= x && X < x + s->Width()) return s;
        x += s->Width();
    }
    return nullptr;
}

THeaderSection* THeaderControl::DividerAt(int X) const {
    // The last edge within reach wins, so that a section shrunk to nothing can still be pulled open.
    THeaderSection* found = nullptr;
    int x = 0;
    for (int i = 0; i < FSections.Count(); ++i) {
        THeaderSection* s = FSections[i];
        x += s->Width();
        if (X >= x - kDividerReach && X <= x + kDividerReach) found = s;
    }
    return found;
}

void THeaderControl::SectionClick(THeaderSection* Section) {
    if (OnSectionClick) OnSectionClick(this, Section);
}

void THeaderControl::SectionResize(THeaderSection* Section) {
    if (OnSectionResize) OnSectionResize(this, Section);
}

void THeaderControl::SectionTrack(THeaderSection* Section, int Width, TSectionTrackState State) {
    if (OnSectionTrack) OnSectionTrack(this, Section, Width, State);
}

void THeaderControl::Paint() {
    TCanvas& c = Canvas();
    TRect client = ClientRect();
    c.Brush.Color = clBtnFace;
    c.FillRect(client);
    c.Font.Assign(FFont);
    int x = 0;
    for (int i = 0; i < FSections.Count(); ++i) {
        THeaderSection* s = FSections[i];
        TRect r = Rect(x, 0, x + s->Width(), client.Bottom);
        x += s->Width();
        if (r.Width() <= 0) continue;
        bool down = s == FPressed;
        c.Brush.Color = clBtnFace;
        c.FillRect(r);
        TRect inner = r;
        if (down) {
            Frame3D(c, inner, clBtnShadow, clBtnShadow, 1);
        } else {
            inner = Frame3D(c, inner, clBtnHighlight, cl3DDkShadow, 1);
            Frame3D(c, inner, clBtnFace, clBtnShadow, 1);
        }
        TRect text = Rect(r.Left + 5, r.Top, r.Right - 5, r.Bottom);
        if (down) text.Left += 1;
        if (FImages && s->ImageIndex >= 0 && text.Width() > FImages->Width) {
            FImages->Draw(c, text.Left, r.Top + (r.Height() - FImages->Height) / 2, s->ImageIndex);
            text.Left += FImages->Width + 3;
        }
        if (text.Width() <= 0) continue;
        c.Brush.Style = bsClear;
        c.Font.Color = (FHot == s && HotTrack) ? clHighlight : clBtnText;
        int w = c.TextWidth(s->Text());
        int tx = text.Left;
        if (s->Alignment() == taRightJustify) tx = std::max(text.Left, text.Right - w);
        if (s->Alignment() == taCenter) tx = std::max(text.Left, text.Left + (text.Width() - w) / 2);
        int ty = r.Top + (r.Height() - c.TextHeight("Wg")) / 2 + (down ? 1 : 0);
        c.TextRect(text, tx, ty, s->Text());
        c.Brush.Style = bsSolid;
    }
}

void THeaderControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft) {
        if (THeaderSection* s = DividerAt(X)) {
            FTracking = s;
            FTrackOffset = X - s->Right();
            SectionTrack(s, s->Width(), tsTrackBegin);
        } else if (THeaderSection* s = SectionAt(X); s && s->AllowClick) {
            FPressed = s;
            Invalidate();
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void THeaderControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (FTracking) {
        THeaderSection* s = FTracking;
        int width =
            std::clamp(X - FTrackOffset - s->Left(), s->MinWidth(), std::max(s->MinWidth(), s->MaxWidth()));
        if (width != s->Width()) {
            SectionTrack(s, width, tsTrackMove);
            s->SetWidth(width);
        }
    } else {
        SetCursor(DividerAt(X) ? crHSplit : crDefault);
        THeaderSection* hot = SectionAt(X);
        if (hot != FHot) {
            FHot = hot;
            if (HotTrack) Invalidate();
        }
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void THeaderControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft) {
        if (THeaderSection* s = FTracking) {
            FTracking = nullptr;
            SectionTrack(s, s->Width(), tsTrackEnd);
            SectionResize(s);
        } else if (THeaderSection* s = FPressed) {
            FPressed = nullptr;
            Invalidate();
            if (SectionAt(X) == s && Y >= 0 && Y < Height()) SectionClick(s);
        }
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void THeaderControl::Dispatch(TMessage& M) {
    if (M.Msg == CM_MOUSELEAVE && FHot) {
        FHot = nullptr;
        if (HotTrack) Invalidate();
    }
    TCustomControl::Dispatch(M);
}

}  // namespace framework
