#include "controls/entry/CtlCaret.h"

#include "framework/ui/Windows.h"

namespace entry {

using namespace framework;

namespace {
// Where a hidden coordinate puts the system caret: far off any window, yet with room for the
// caret's size, which the window layer adds to its position.
constexpr int32_t kParked = 0x3FFFFFFF;
}  // namespace

// ---- TCtlCaret ----

TCtlCaret::TCtlCaret() : FBitmap(std::make_unique<TBitmap>()) {}

TCtlCaret::~TCtlCaret() = default;

void TCtlCaret::Release() {
    if (FRefCount > 0) --FRefCount;
    if (FRefCount == 0) delete this;
}

void TCtlCaret::Assign(TPersistent* Source) {
    auto* c = dynamic_cast<TCtlCaret*>(Source);
    if (!c) {
        TPersistent::Assign(Source);
        return;
    }
    if (c == this) return;
    FAlign = c->FAlign;
    FBitmap->Assign(*c->FBitmap);
    FHotSpotX = c->FHotSpotX;
    FHotSpotY = c->FHotSpotY;
    FBlinkTime = c->FBlinkTime;
    FHeight = c->FHeight;
    FWidth = c->FWidth;
    FIsGray = c->FIsGray;
    FShape = c->FShape;
    Changed();
}

void TCtlCaret::SetAlign(TCtlCaretAlign Value) {
    if (Value == FAlign) return;
    FAlign = Value;
    Changed();
}

void TCtlCaret::SetBitmap(TBitmap* Value) {
    if (!Value) return;
    FBitmap->Assign(*Value);
    Changed();
}

void TCtlCaret::SetBitmapHotSpotX(int32_t Value) {
    if (Value == FHotSpotX) return;
    FHotSpotX = Value;
    if (FShape == csBitmap) Changed();
}

void TCtlCaret::SetBitmapHotSpotY(int32_t Value) {
    if (Value == FHotSpotY) return;
    FHotSpotY = Value;
    if (FShape == csBitmap) Changed();
}

void TCtlCaret::SetBlinkTime(uint16_t Value) {
    if (Value == FBlinkTime) return;
    FBlinkTime = Value;
    Changed();
}

void TCtlCaret::SetCaretHeight(int32_t Value) {
    if (Value <= 0 || Value == FHeight) return;
    FHeight = Value;
    Changed();
}

void TCtlCaret::SetCaretWidth(int32_t Value) {
    if (Value <= 0 || Value == FWidth) return;
    FWidth = Value;
    Changed();
}

void TCtlCaret::SetIsGray(bool Value) {
    if (Value == FIsGray) return;
    FIsGray = Value;
    Changed();
}

void TCtlCaret::SetShape(TCtlCaretShape Value) {
    if (Value == FShape) return;
    FShape = Value;
    switch (Value) {
        case csBlock:
            FAlign = caLeft;
            break;
        case csHalfBlock:
            FAlign = caBottom;
            break;
        case csVertLine:
            FAlign = caLeft;
            FWidth = 2;
            break;
        case csHorzLine:
            FAlign = caBottom;
            FHeight = 2;
            break;
        case csBitmap:
            FHeight = FBitmap->Height();
            FWidth = FBitmap->Width();
            break;
        case csCustom:
            break;
    }
    Changed();
}

// ---- TCtlSingleCaret ----

TCtlSingleCaret::TCtlSingleCaret(TWinControl* Owner) : FOwner(Owner) {
    SetCaret(new TCtlCaret);
}

TCtlSingleCaret::~TCtlSingleCaret() {
    SetVisible(false);
    SetLinked(false);
    ReleaseCaret();
}

void TCtlSingleCaret::ReleaseCaret() {
    if (!FCaret) return;
    if (FCaret->FNotifyOwner == this) {
        FCaret->OnChange = nullptr;
        FCaret->FNotifyOwner = nullptr;
    }
    TCtlCaret* c = FCaret;
    FCaret = nullptr;
    c->Release();
}

void TCtlSingleCaret::SetCaret(TCtlCaret* Value) {
    if (!Value || Value == FCaret) return;
    Value->AddRef();
    ReleaseCaret();
    FCaret = Value;
    FCaret->OnChange = [this] { Reinit(); };
    FCaret->FNotifyOwner = this;
    Reinit();
}

void TCtlSingleCaret::SetCellHeight(int32_t Value) {
    if (Value <= 0 || Value == FCellHeight) return;
    FCellHeight = Value;
    Reinit();
}

void TCtlSingleCaret::SetCellWidth(int32_t Value) {
    if (Value <= 0 || Value == FCellWidth) return;
    FCellWidth = Value;
    Reinit();
}

void TCtlSingleCaret::Reinit() {
    const bool wasLinked = FLinked;
    SetLinked(false);
    Recompute();
    if (wasLinked) SetLinked(true);
}

void TCtlSingleCaret::Recompute() {
    TCtlCaret& c = *FCaret;
    switch (c.FShape) {
        case csBlock:
            c.FHeight = FCellHeight;
            c.FWidth = FCellWidth;
            break;
        case csHalfBlock:
            c.FHeight = FCellHeight / 2;
            c.FWidth = FCellWidth;
            break;
        case csVertLine:
            c.FHeight = FCellHeight;
            break;
        case csHorzLine:
            c.FWidth = FCellWidth;
            break;
        case csCustom:
        case csBitmap:
            break;
    }
    int32_t x = 0, y = 0;
    switch (c.FAlign) {
        case caLeft:
            y = (FCellHeight - c.FHeight) / 2;
            break;
        case caTop:
            x = (FCellWidth - c.FWidth) / 2;
            break;
        case caRight:
            x = FCellWidth - c.FWidth;
            y = (FCellHeight - c.FHeight) / 2;
            break;
        case caBottom:
            x = (FCellWidth - c.FWidth) / 2;
            y = FCellHeight - c.FHeight;
            break;
        case caCenter:
            x = (FCellWidth - c.FWidth) / 2;
            y = (FCellHeight - c.FHeight) / 2;
            break;
    }
    if (c.FShape == csBitmap) {
        x -= c.FHotSpotX;
        y -= c.FHotSpotY;
    }
    if (x == FOffsetX && y == FOffsetY) return;
    FOffsetX = x;
    FOffsetY = y;
    Move();
}

void TCtlSingleCaret::CreateSystemCaret() {
    const HWND wnd = FOwner->Handle();
    if (FCaret->FShape == csBitmap)
        CreateCaret(wnd, FCaret->FBitmap->Handle(), 0, 0);
    else
        CreateCaret(wnd, FCaret->FIsGray ? GrayCaret : 0, FCaret->FWidth, FCaret->FHeight);
    if (FVisible) ShowCaret(wnd);
}

void TCtlSingleCaret::Move() {
    if (!FLinked) return;
    const int32_t x = FX == HiddenCoordinate ? kParked : FX + FOffsetX;
    const int32_t y = FY == HiddenCoordinate ? kParked : FY + FOffsetY;
    SetCaretPos(x, y);
}

void TCtlSingleCaret::SetLinked(bool Value) {
    if (Value == FLinked) return;
    if (Value) {
        if (!FOwner || !FOwner->HandleAllocated()) return;
        FSavedBlinkTime = GetCaretBlinkTime();
        CreateSystemCaret();
        FLinked = true;
        Move();
        if (FCaret->FBlinkTime != 0 && FCaret->FBlinkTime != FSavedBlinkTime)
            SetCaretBlinkTime(FCaret->FBlinkTime);
        return;
    }
    FLinked = false;
    // The blink time goes back also when the owner's window is already gone.
    SetCaretBlinkTime(FSavedBlinkTime);
    DestroyCaret();
}

void TCtlSingleCaret::SetPosition(TPoint Value) {
    const int32_t x = Value.X < 0 ? HiddenCoordinate : Value.X;
    const int32_t y = Value.Y < 0 ? HiddenCoordinate : Value.Y;
    if (x == FX && y == FY) return;
    FX = x;
    FY = y;
    Move();
}

void TCtlSingleCaret::SetVisible(bool Value) {
    FVisible = Value;
    if (!FLinked || !FOwner || !FOwner->HandleAllocated()) return;
    if (Value)
        ShowCaret(FOwner->Handle());
    else
        HideCaret(FOwner->Handle());
}

// ---- TCtlCaretPair ----

TCtlCaretPair::TCtlCaretPair(TWinControl* Owner) : TCtlSingleCaret(Owner) {
    FInsertCaret = new TCtlCaret;
    FInsertCaret->AddRef();
    FOvertypeCaret = new TCtlCaret;
    FOvertypeCaret->AddRef();
    FOvertypeCaret->SetShape(csBlock);
    SetCaret(FInsertCaret);
}

TCtlCaretPair::~TCtlCaretPair() {
    FInsertCaret->Release();
    FOvertypeCaret->Release();
}

void TCtlCaretPair::SetInsertMode(bool Value) {
    if (Value == FInsertMode) return;
    FInsertMode = Value;
    SetCaret(Value ? FInsertCaret : FOvertypeCaret);
}

void TCtlCaretPair::Replace(TCtlCaret*& Slot, TCtlCaret* Value, bool InUse) {
    if (!Value || Value == Slot) return;
    Value->AddRef();
    TCtlCaret* old = Slot;
    Slot = Value;
    if (InUse) SetCaret(Value);
    old->Release();
}

void TCtlCaretPair::SetInsertCaret(TCtlCaret* Value) {
    Replace(FInsertCaret, Value, FInsertMode);
}

void TCtlCaretPair::SetOvertypeCaret(TCtlCaret* Value) {
    Replace(FOvertypeCaret, Value, !FInsertMode);
}

}  // namespace entry
