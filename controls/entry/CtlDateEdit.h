#pragma once
// The date edit: a one-line edit that holds a date. The user types a date in any of several forms
// (relative words such as TODAY or NEXT FRI among them), steps it by a day with "+" and "-", or
// picks it in a popup month calendar opened by the button at its right end. The text is turned
// into a date when the edit is left and whenever the date is read. A text whose day, month and year
// form no date is refused with "Value is not a valid date" and changes nothing.

#include <cstdint>
#include <functional>
#include <string>

#include "controls/entry/CtlCalendar.h"
#include "controls/entry/CtlEdPopup.h"

namespace entry {

enum TCtlRequiredDateField : uint8_t { rfYear = 1u << 0, rfMonth = 1u << 1, rfDay = 1u << 2 };
using TCtlRequiredDateFields = uint8_t;

using TCtlPreParseDateEvent = std::function<void(framework::TObject* Sender, std::string& Value)>;
using TCtlGetDateEvent = std::function<void(framework::TObject* Sender, std::string& Value)>;
using TCtlGetDateMaskEvent = std::function<void(framework::TObject* Sender, std::string& Mask)>;

class TCtlCustomDateEdit : public TCtlEdPopup {
public:
    explicit TCtlCustomDateEdit(framework::TComponent* AOwner);
    ~TCtlCustomDateEdit() override;

    // Parses the text (committing it, and raising its errors), then answers the date (0: none).
    framework::TDateTime GetDate();
    void SetDate(framework::TDateTime Value);

    bool AllowIncDec = true;
    int32_t Epoch() const { return FEpoch; }
    // 0 or 1600 .. 3999; other values are ignored.
    void SetEpoch(int32_t Value);
    // The epoch in effect: the edit's own, else its controller's.
    int32_t EffectiveEpoch() const;
    bool ForceCentury() const { return FForceCentury; }
    void SetForceCentury(bool Value);
    TCtlRequiredDateFields RequiredFields = rfMonth | rfDay;
    std::string TodayString;
    void SetReadOnly(bool Value);

    TCtlCalendar& Calendar() { return *FCalendar; }
    TCtlCalColors& PopupColors() { return FCalendar->Colors(); }
    // The popup's size, applied whenever it opens.
    int PopupWidth = 200;
    int PopupHeight = 140;

    TCtlPreParseDateEvent OnPreParseDate;
    TCtlGetDateEvent OnGetDate;
    TCtlGetDateMaskEvent OnGetDateMask;
    framework::TNotifyEvent OnSetDate;

    virtual std::string DateToText(framework::TDateTime Value);
    // Reads Value into the date (through SetDate) and shows it again in the mask.
    virtual void ParseDate(const std::string& Value);

    void PopupOpen() override;
    void PopupClose(framework::TObject* Sender) override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    void GlyphChanged() override;
    void DoEnter() override;
    void DoExit() override;
    void KeyDown(uint16_t& Key, framework::TShiftState Shift) override;
    void KeyPress(char& Key) override;

private:
    std::string DateMask();
    // The text with a relative word resolved to a date text (else upper-cased).
    std::string ResolveRelative(const std::string& Text);
    void CalendarChange(framework::TObject* Sender, framework::TDateTime Date);
    void CalendarKeyDown(framework::TObject* Sender, uint16_t& Key, framework::TShiftState Shift);
    void CalendarKeyPress(framework::TObject* Sender, char& Key);
    void CalendarMouseDown(framework::TObject* Sender, framework::TMouseButton Button,
                           framework::TShiftState Shift, int X, int Y);
    void ExitEdit();
    void RestoreCaret();
    void PlaceCaretLater(int Pos);

    framework::TDateTime FDate = 0;
    int32_t FEpoch = 0;
    bool FForceCentury = false;
    TCtlCalendar* FCalendar;
    bool FClosing = false;
    bool FReturning = false;
    int FSavedSelStart = 0, FSavedSelLength = 0;
    framework::TCursor FSavedCursor = 0;
};

class TCtlDateEdit : public TCtlCustomDateEdit {
public:
    using TCtlCustomDateEdit::TCtlCustomDateEdit;
};

}  // namespace entry
