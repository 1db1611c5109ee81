#pragma once
// The class library's edit with the entry library's attached label and controller link, and the
// popup edit: such an edit with a button at its right end that opens a popup (the date edit's
// calendar), with events when the popup opens and closes.

#include <functional>
#include <memory>

#include "controls/entry/CtlBase.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Edit.h"

namespace entry {

class TCtlController;

class TCtlCustomEdit : public framework::TCustomEdit {
public:
    explicit TCtlCustomEdit(framework::TComponent* AOwner);
    ~TCtlCustomEdit() override;

    std::string About() const { return CtlVersion; }
    TCtlController* Controller() const { return FController; }
    void SetController(framework::TComponent* Value);
    TCtlLabelInfo& LabelInfo() { return FLabel.LabelInfo(); }
    TCtlAttachedLabel* AttachedLabel() const { return FLabel.AttachedLabel(); }

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    void CreateWnd() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    TCtlController* FController = nullptr;
    TCtlLabelSupport FLabel;
};

class TCtlEdPopup;

// The popup button: a click opens its edit's popup.
class TCtlEdButton : public framework::TBitBtn {
public:
    explicit TCtlEdButton(TCtlEdPopup* AOwner);
    void Click() override;

private:
    TCtlEdPopup* FEdit;
};

enum TCtlPopupAnchor : uint8_t { paLeft, paRight };
using TCtlPopupEvent = std::function<void(framework::TObject* Sender)>;

class TCtlEdPopup : public TCtlCustomEdit {
public:
    explicit TCtlEdPopup(framework::TComponent* AOwner);
    ~TCtlEdPopup() override;

    bool ShowButton() const { return FShowButton; }
    void SetShowButton(bool Value);
    // The glyph, made on first read.
    framework::TBitmap& ButtonGlyph() { return *FGlyph; }
    // Copies Value (an empty glyph for nil).
    void SetButtonGlyph(framework::TBitmap* Value);
    TCtlPopupAnchor PopupAnchor = paRight;
    TCtlPopupEvent OnPopupClose;
    TCtlPopupEvent OnPopupOpen;
    TCtlEdButton* Button() const { return FButton; }
    bool PopupIsOpen() const { return FPopupOpen; }
    // Read-only edits have a disabled button.
    void SetReadOnly(bool Value);
    // The button's width: 0 without a button, else the scroll-bar arrow's or the glyph's + 4.
    int GetButtonWidth() const;

    virtual void PopupOpen();
    virtual void PopupClose(framework::TObject* Sender);

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Loaded() override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    virtual bool IsButtonEnabled() const { return !ReadOnly(); }
    virtual void GlyphChanged() {}
    void CreateParams(framework::TCreateParams& Params) override;
    void CreateWnd() override;

    bool FPopupOpen = false;

private:
    TCtlEdButton* FButton;
    std::unique_ptr<framework::TBitmap> FGlyph;
    bool FShowButton = true;
};

}  // namespace entry
