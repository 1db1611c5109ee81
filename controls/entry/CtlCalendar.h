#pragma once
// The month calendar: one month as a grid of days under a title with the month and year, with
// buttons that move by month and by year, go to today and back to the date the calendar had when
// it took the focus, keys, the mouse wheel, clicks and a month menu. It can sit on a form or serve
// as a popup (the date edit's). Keys and searches skip dates that OnGetDateEnabled refuses, going
// on in the key's direction first.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "controls/entry/CtlBase.h"
#include "framework/core/DateTime.h"
#include "framework/stdctrls/Buttons.h"

namespace framework {
class TPopupMenu;
}

namespace entry {

enum TCtlDateFormat : uint8_t { dfShort, dfLong };
enum TCtlDayType : uint8_t { dtSunday, dtMonday, dtTuesday, dtWednesday, dtThursday, dtFriday, dtSaturday };
enum TCtlCalDisplayOption : uint8_t {
    cdoShortNames = 1u << 0,
    cdoShowYear = 1u << 1,
    cdoShowInactive = 1u << 2,
    cdoShowRevert = 1u << 3,
    cdoShowToday = 1u << 4,
    cdoShowNavBtns = 1u << 5,
    cdoHideActive = 1u << 6,
};
using TCtlCalDisplayOptions = uint8_t;
constexpr TCtlCalDisplayOptions cdoDefault =
    cdoShortNames | cdoShowYear | cdoShowInactive | cdoShowRevert | cdoShowToday | cdoShowNavBtns;

enum TCtlCalColorScheme : uint8_t {
    cscalCustom,
    cscalClassic,
    cscalWindows,
    cscalGold,
    cscalOcean,
    cscalRose
};
// Indices of the calendar's colours.
enum : uint8_t { calActiveDay, calDayNames, calDays, calInactiveDays, calMonthAndYear, calWeekend };

class TCtlCalColors : public framework::TPersistent {
public:
    TCtlCalColors();
    framework::TColor Color(int Index) const { return FColors[static_cast<size_t>(Index)]; }
    // A differing colour notifies and makes the scheme cscalCustom.
    void SetColor(int Index, framework::TColor Value);
    TCtlCalColorScheme ColorScheme() const { return FScheme; }
    void SetColorScheme(TCtlCalColorScheme Value);
    void Assign(framework::TPersistent* Source) override;
    std::function<void()> OnChange;

private:
    std::array<framework::TColor, 6> FColors{};
    TCtlCalColorScheme FScheme = cscalCustom;
    bool FApplying = false;
};

using TDateChangeEvent = std::function<void(framework::TObject* Sender, framework::TDateTime Date)>;
using TCalendarDateEvent =
    std::function<void(framework::TObject* Sender, framework::TDateTime ADate, const framework::TRect& Rect)>;
using TGetDateEnabledEvent =
    std::function<void(framework::TObject* Sender, framework::TDateTime ADate, bool& Enabled)>;
using TGetHighlightEvent =
    std::function<void(framework::TObject* Sender, framework::TDateTime ADate, framework::TColor& Color)>;

// The library's bitmaps of the calendar and the date edit, drawn into the resource registry.
void CtlRegisterCalendarBitmaps();

class TCtlCustomCalendar : public TCtlCustomControl {
public:
    explicit TCtlCustomCalendar(framework::TComponent* AOwner);
    // A calendar that serves as a popup window.
    TCtlCustomCalendar(framework::TComponent* AOwner, bool AsPopup);
    ~TCtlCustomCalendar() override;

    framework::TDateTime Date() const { return FDate; }
    // Ignored for no valid date, the current date, or a date whose neighbouring months fall
    // outside 1600 .. 3999; fires no OnChange.
    virtual void SetDate(framework::TDateTime Value);
    framework::TDateTime RevertDate() const { return FRevert; }

    framework::TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(framework::TBorderStyle Value);
    TCtlCalColors& Colors() { return *FColors; }
    TCtlDateFormat DateFormat() const { return FDateFormat; }
    void SetDateFormat(TCtlDateFormat Value);
    int DayNameWidth() const { return FDayNameWidth; }
    void SetDayNameWidth(int Value);
    TCtlCalDisplayOptions Options() const { return FOptions; }
    void SetOptions(TCtlCalDisplayOptions Value);
    bool ReadOnly = false;
    bool WantDblClicks() const { return FWantDblClicks; }
    void SetWantDblClicks(bool Value);
    TCtlDayType WeekStarts() const { return FWeekStarts; }
    void SetWeekStarts(TCtlDayType Value);
    bool IsPopup() const { return FPopup; }

    TDateChangeEvent OnChange;
    TCalendarDateEvent OnDrawDate;
    TCalendarDateEvent OnDrawItem;
    TGetDateEnabledEvent OnGetDateEnabled;
    TGetHighlightEvent OnGetHighlight;

    // The day number shown in a cell (1 .. 49, from the top left), the cell of day 1 and of the
    // month's last day, the cell of the date.
    int CellDay(int Cell) const { return FDays[static_cast<size_t>(Cell - 1)]; }
    int FirstCell() const { return FFirst; }
    int LastCell() const { return FLast; }
    int ActiveCell() const { return FFirst + FDay - 1; }
    // Row 0 the title, 1 the day names, 2 .. 7 the weeks; columns 0 .. 6.
    framework::TRect CellRect(int Row, int Col) const;
    int ColumnWidth(int Col) const { return FColWidths[static_cast<size_t>(Col)]; }
    int RowHeight(int Row) const { return FRowHeights[static_cast<size_t>(Row)]; }
    // Whether the change now being reported comes from browsing (keys, or a day of another month).
    bool Browsing() const { return FBrowsing; }
    framework::TSpeedButton* NavButton(int Index) const { return FButtons[static_cast<size_t>(Index)]; }
    enum { btnPrevMonth, btnNextMonth, btnNextYear, btnPrevYear, btnRevert, btnToday };

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    virtual void DoOnChange(framework::TDateTime Value);
    virtual bool DoGetDateEnabled(framework::TDateTime Value);
    virtual bool GetReadOnly() const { return ReadOnly; }
    void CreateParams(framework::TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    void KeyDown(uint16_t& Key, framework::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(framework::TMouseButton Button, framework::TShiftState Shift, int X, int Y) override;
    void MouseUp(framework::TMouseButton Button, framework::TShiftState Shift, int X, int Y) override;
    void DoOnMouseWheel(framework::TShiftState Shift, uint16_t Delta, uint16_t XPos, uint16_t YPos) override;

    bool FPopup = false;

private:
    void Init();
    void Layout();
    void BuildGrid();
    // Moves to a day number (invalidating what changes).
    void MoveTo(int32_t Julian);
    // The nearest enabled day from Start: Start itself, then onwards in Dir, then the other way.
    int32_t NearestEnabled(int32_t Start, int Dir);
    bool DayEnabled(int32_t Julian);
    // Acts on a navigation key; true when the key was one.
    bool NavigateKey(uint16_t Key, framework::TShiftState Shift);
    void ButtonClick(int Index);
    void ShowMonthMenu(int X, int Y);
    void ChooseMonth(int Item);
    std::string TitleText(int Width);

    framework::TDateTime FDate = 0;
    int32_t FJulian = -1;
    int FDay = 1, FMonth = 1, FYear = 1600;
    framework::TDateTime FRevert = 0;
    std::array<int, 49> FDays{};
    int FFirst = 1, FLast = 1;
    std::array<int, 7> FColWidths{};
    std::array<int, 9> FRowHeights{};
    std::array<framework::TSpeedButton*, 6> FButtons{};
    framework::TBorderStyle FBorderStyle = framework::bsNone;
    std::unique_ptr<TCtlCalColors> FColors;
    TCtlDateFormat FDateFormat = dfLong;
    int FDayNameWidth = 3;
    TCtlCalDisplayOptions FOptions = cdoDefault;
    bool FWantDblClicks = true;
    TCtlDayType FWeekStarts = dtSunday;
    bool FBrowsing = false;
    bool FMenuOpen = false;
    std::unique_ptr<framework::TPopupMenu> FMenu;
    int FMenuMonths[7] = {};
    int FMenuBase = 0;
};

class TCtlCalendar : public TCtlCustomCalendar {
public:
    using TCtlCustomCalendar::TCtlCustomCalendar;
};

}  // namespace entry
