#pragma once
// The user's regional settings as the entry controls use them: default date, long-date and time
// picture masks, and conversion between day numbers or seconds since midnight and text laid out by
// such a picture.
//
// Picture letters (looked up in either case; the first run of a letter is its field; lower case pads
// numbers with zeros, upper case with blanks and gives upper-case names):
//   dates: m month, d day, y year (its last digits), n month name, w day-of-week name, "/" the date
//          separator, f g h the first, second and third literal of the long date;
//   times: h hours, m minutes, s seconds, t the AM/PM text, ":" the time separator.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/core/Object.h"

namespace entry {

class TCtlIntlSup : public framework::TObject {
public:
    TCtlIntlSup();

    std::string CurrencyLeft = "$";  // at most 5 characters each
    std::string CurrencyRight;
    char DecimalChar = '.';
    char ThousandChar = ',';
    uint8_t CurrencyDigits = 2;
    char ListChar = ',';
    char DateSeparator = '/';
    char TrueChar = 'T';
    char FalseChar = 'F';
    char YesChar = 'Y';
    char NoChar = 'N';
    std::string AmString;  // at most 5 characters each
    std::string PmString;
    char TimeSeparator = ':';
    std::string Country;
    uint8_t CurrencyFormat = 0;                   // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    std::array<std::string, 3> LongDateLiterals;  // at most 6 characters each
    std::string LongDatePicture;                  // at most 39 characters
    uint8_t NegativeCurrencyFormat = 0;
    std::string ShortDatePicture;  // at most 29 characters; its separator written as "/"
    bool HourLeadingZero = false;
    bool TwelveHour = false;

    // Reads every setting again from the [intl] profile section, the registry's short date and the
    // class library's long time format.
    void ReadIntlSettings();

    // The currency text to show left and right of an amount, as the currency placement asks.
    std::string CurrencyLeftStr() const;
    std::string CurrencyRightStr() const;

    std::string InternationalDate(bool ForceCentury) const;
    std::string InternationalLongDate(bool ShortNames, bool ExcludeDayOfWeek) const;
    std::string InternationalTime(bool ShowSeconds) const;

    std::string DateToDateString(std::string_view Picture, int32_t Date, bool Pack) const;
    bool DateStringToDMY(std::string_view Picture, std::string_view S, int32_t& Day, int32_t& Month,
                         int32_t& Year, int32_t Epoch) const;
    // The day number, -1 when the text is no valid date.
    int32_t DateStringToDate(std::string_view Picture, std::string_view S, int32_t Epoch) const;
    bool DateStringIsBlank(std::string_view Picture, std::string_view S) const;

    std::string TimeToTimeString(std::string_view Picture, int32_t Time, bool Pack) const;
    bool TimeStringToHMS(std::string_view Picture, std::string_view S, int32_t& Hours, int32_t& Minutes,
                         int32_t& Seconds) const;
    // Seconds since midnight, -1 when the text is no valid time.
    int32_t TimeStringToTime(std::string_view Picture, std::string_view S) const;

    // 1 to 12 for the month whose long name starts like S (the first Width characters, without
    // regard to case); 0 when none does.
    int32_t MonthStringToMonth(std::string_view S, int Width) const;

    // Month names (January first) and day names (Sunday first) as the settings give them.
    const std::array<std::string, 12>& MonthNames() const { return FMonthNames; }
    const std::array<std::string, 7>& DayNames() const { return FDayNames; }

private:
    std::array<std::string, 12> FMonthNames;
    std::array<std::string, 7> FDayNames;
};

// The process-wide instance, made on first use.
TCtlIntlSup& CtlIntlSup();

}  // namespace entry
