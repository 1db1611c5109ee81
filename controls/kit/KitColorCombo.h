#pragma once
// The kit's combo box base (a flat border look and moving the focus on after a choice) and the
// colour combo box, an owner-drawn list of colours by name with a swatch.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/kit/KitGraph.h"
#include "framework/core/Strings.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/Dialogs.h"

namespace kit {

class TKitCustomComboBox : public framework::TCustomComboBox {
public:
    explicit TKitCustomComboBox(framework::TComponent* AOwner);

    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    int DropDownWidth() const { return FDropDownWidth; }
    void SetDropDownWidth(int Value);
    // The control that takes the focus after a choice (cleared when it is destroyed).
    framework::TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(framework::TWinControl* Value);
    framework::TNotifyEvent OnSelect;

    void Dispatch(framework::TMessage& Message) override;

protected:
    virtual void DoSelect();
    void Loaded() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    void KeyDown(uint16_t& Key, framework::TShiftState Shift) override;
    void MouseDown(framework::TMouseButton Button, framework::TShiftState Shift, int X, int Y) override;
    void Paint() override;
    // The height of item Index (owner-drawn variable style).
    virtual int MeasureItem(int Index);
    void MoveFocus();

private:
    bool FFlat = false;
    int FDropDownWidth = 0;
    framework::TWinControl* FFocusControl = nullptr;
    bool FHot = false;
    bool FKeySelect = false;     // the last choice came from a navigation key
    bool FFocusPending = false;  // a choice in the dropped-down list moves the focus on closing
};

enum TKitColorCBOption { coDefaultColors, coSystemColors, coCustomColors, coAllowAnyColor, coAllowDialog };
using TKitColorCBOptions = uint8_t;  // bit (1 << option)
constexpr TKitColorCBOptions ColorCBOption(TKitColorCBOption o) {
    return static_cast<TKitColorCBOptions>(1u << o);
}
using TKitOnColorDialogEvent =
    std::function<void(framework::TObject* Sender, framework::TColorDialog& Dialog)>;

// The colour names listed (the class library's, without clNone): the 16 default colours, then the
// system colours.
const std::vector<std::string>& KitColorNames();
inline constexpr size_t KitDefaultColorCount = 16;

class TKitCustomColorComboBox : public TKitCustomComboBox {
public:
    // How an item is drawn. Inside the class: the styled label's colour schemes also have a csText.
    enum TKitColorCBStyle { csColor, csText, csColorText, csColor3DText };

    explicit TKitCustomColorComboBox(framework::TComponent* AOwner);
    ~TKitCustomColorComboBox() override;

    TKitColorCBOptions Options() const { return FOptions; }
    void SetOptions(TKitColorCBOptions Value);
    TKitColorCBStyle DisplayStyle() const { return FDisplayStyle; }
    void SetDisplayStyle(TKitColorCBStyle Value);
    bool CustomMode() const { return FCustomMode; }
    void SetCustomMode(bool Value);
    framework::TStrings& CustomColors() { return *FCustomColors; }
    void SetCustomColors(const framework::TStrings& Value);
    uint32_t DlgOptions = 0;
    int DlgHelpContext = 0;
    TKitOnColorDialogEvent OnBeforeDialogShow;
    TKitOnColorDialogEvent OnAfterDialogShow;
    std::string About;

    // The colour of the text (-1 when empty or not a colour).
    TColor SelectedColor() const;
    void SetSelectedColor(TColor Value);

    void Dispatch(framework::TMessage& Message) override;

protected:
    // The colour shown by a copy of the control painted without its items.
    virtual TColor GetEmptyColor() const { return framework::clNone; }
    void DrawItem(int Index, const framework::TRect& Rect, framework::TOwnerDrawState State) override;
    int MeasureItem(int Index) override;
    void MouseDown(framework::TMouseButton Button, framework::TShiftState Shift, int X, int Y) override;
    void Loaded() override;

private:
    void BuildItems();
    void SizeForStyle();
    void ShowColorDialog();

    TKitColorCBOptions FOptions = ColorCBOption(coDefaultColors) | ColorCBOption(coAllowAnyColor);
    TKitColorCBStyle FDisplayStyle = csColorText;
    bool FCustomMode = false;
    std::unique_ptr<framework::TStringList> FCustomColors;
};

class TKitColorComboBox : public TKitCustomColorComboBox {
public:
    using TKitCustomColorComboBox::TKitCustomColorComboBox;
};

}  // namespace kit
