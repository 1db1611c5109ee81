#pragma once
// Carets of the controls that draw their own text: TCtlCaret describes a caret's look (shared by
// reference between users), TCtlSingleCaret binds one look to a control's window, sized to its
// character cell, and TCtlCaretPair switches between an insert and an overtype caret.

#include <cstdint>
#include <functional>
#include <memory>

#include "framework/core/Persistent.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Graphics.h"

namespace entry {

enum TCtlCaretAlign : uint8_t { caLeft, caTop, caRight, caBottom, caCenter };
enum TCtlCaretShape : uint8_t { csBlock, csHalfBlock, csVertLine, csHorzLine, csCustom, csBitmap };

class TCtlCaret : public framework::TPersistent {
public:
    TCtlCaret();
    ~TCtlCaret() override;

    // Reference counting: the caret frees itself when the last user releases it.
    void AddRef() { ++FRefCount; }
    void Release();
    uint16_t RefCount() const { return FRefCount; }

    TCtlCaretAlign Align() const { return FAlign; }
    framework::TBitmap& Bitmap() { return *FBitmap; }
    int32_t BitmapHotSpotX() const { return FHotSpotX; }
    int32_t BitmapHotSpotY() const { return FHotSpotY; }
    uint16_t BlinkTime() const { return FBlinkTime; }
    int32_t CaretHeight() const { return FHeight; }
    int32_t CaretWidth() const { return FWidth; }
    bool IsGray() const { return FIsGray; }
    TCtlCaretShape Shape() const { return FShape; }

    void SetAlign(TCtlCaretAlign Value);
    // Nil is ignored; otherwise the bitmap is copied.
    void SetBitmap(framework::TBitmap* Value);
    void SetBitmapHotSpotX(int32_t Value);
    void SetBitmapHotSpotY(int32_t Value);
    void SetBlinkTime(uint16_t Value);
    // Only values above 0.
    void SetCaretHeight(int32_t Value);
    void SetCaretWidth(int32_t Value);
    void SetIsGray(bool Value);
    void SetShape(TCtlCaretShape Value);
    // Copies the look (not the references); one change notice.
    void Assign(framework::TPersistent* Source) override;

    std::function<void()> OnChange;

private:
    friend class TCtlSingleCaret;
    void Changed() {
        if (OnChange) OnChange();
    }
    TCtlCaretAlign FAlign = caLeft;
    std::unique_ptr<framework::TBitmap> FBitmap;
    int32_t FHotSpotX = 0;
    int32_t FHotSpotY = 0;
    uint16_t FBlinkTime = 0;
    int32_t FHeight = 10;
    int32_t FWidth = 2;
    bool FIsGray = false;
    TCtlCaretShape FShape = csVertLine;
    uint16_t FRefCount = 0;
    const void* FNotifyOwner = nullptr;  // the single caret whose notice OnChange is
};

class TCtlSingleCaret : public framework::TPersistent {
public:
    explicit TCtlSingleCaret(framework::TWinControl* Owner);
    ~TCtlSingleCaret() override;

    // A hidden coordinate (set negative) is stored as this value.
    static constexpr int32_t HiddenCoordinate = INT32_MAX;

    TCtlCaret* Caret() const { return FCaret; }
    // Takes a reference on the new caret and releases the old one.
    void SetCaret(TCtlCaret* Value);
    int32_t CellHeight() const { return FCellHeight; }
    int32_t CellWidth() const { return FCellWidth; }
    void SetCellHeight(int32_t Value);
    void SetCellWidth(int32_t Value);
    bool Linked() const { return FLinked; }
    // Linking needs the owner's window; it creates the system caret and applies the blink time.
    // Unlinking puts back the blink time that was in force before and destroys the caret.
    void SetLinked(bool Value);
    framework::TPoint Position() const { return {FX, FY}; }
    void SetPosition(framework::TPoint Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    // The caret's place inside the cell.
    int32_t OffsetX() const { return FOffsetX; }
    int32_t OffsetY() const { return FOffsetY; }

protected:
    void Reinit();

private:
    // Drops the reference on the current caret (and its notice, when it is still ours).
    void ReleaseCaret();
    void Recompute();
    void CreateSystemCaret();
    void Move();

    TCtlCaret* FCaret = nullptr;
    int32_t FCellHeight = 10;
    bool FLinked = false;
    int32_t FX = 0, FY = 0;
    bool FVisible = false;
    int32_t FCellWidth = 10;
    uint32_t FSavedBlinkTime = 0;
    framework::TWinControl* FOwner;
    int32_t FOffsetX = 0, FOffsetY = 0;
};

class TCtlCaretPair : public TCtlSingleCaret {
public:
    explicit TCtlCaretPair(framework::TWinControl* Owner);
    ~TCtlCaretPair() override;

    bool InsertMode() const { return FInsertMode; }
    void SetInsertMode(bool Value);
    TCtlCaret* InsertCaret() const { return FInsertCaret; }
    TCtlCaret* OvertypeCaret() const { return FOvertypeCaret; }
    void SetInsertCaret(TCtlCaret* Value);
    void SetOvertypeCaret(TCtlCaret* Value);

private:
    void Replace(TCtlCaret*& Slot, TCtlCaret* Value, bool InUse);
    bool FInsertMode = true;
    TCtlCaret* FInsertCaret = nullptr;
    TCtlCaret* FOvertypeCaret = nullptr;
};

}  // namespace entry
