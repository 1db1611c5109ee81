#pragma once
// Dates as day numbers and times as seconds since midnight, the representations the entry controls
// keep. A day number counts days from 1 January 1600 (day 0) and is valid for the years 1600 to
// 3999; a time is 0 to 86399. -1 stands for no date or no time. A two-digit year is completed with
// an epoch, the first year of a 100-year window.

#include <cstdint>

#include "framework/core/DateTime.h"

namespace entry {

constexpr int32_t CtlBadDate = -1;
constexpr int32_t CtlBadTime = -1;

bool CtlIsLeapYear(int32_t Year);
// A year below 100 moves into the 100 years that start at Epoch; other years are unchanged.
int32_t CtlExpandYear(int32_t Year, int32_t Epoch);
// 0 for a year outside 1600..3999 (after expansion) or a month outside 1..12.
int32_t CtlDaysInMonth(int32_t Month, int32_t Year, int32_t Epoch);
bool CtlValidDate(int32_t Day, int32_t Month, int32_t Year, int32_t Epoch);
int32_t CtlEncodeDate(int32_t Day, int32_t Month, int32_t Year, int32_t Epoch);
// -1 (or any other number outside the valid range) gives 0, 0, 0.
void CtlDecodeDate(int32_t Julian, int32_t& Day, int32_t& Month, int32_t& Year);
// Moves a date by months and years; a day past the end of the new month becomes its last day.
int32_t CtlIncDateMonths(int32_t Julian, int32_t Months, int32_t Years);
// 0 Sunday to 6 Saturday; 7 for -1.
int32_t CtlDayOfWeek(int32_t Julian);
int32_t CtlDayOfWeekDMY(int32_t Day, int32_t Month, int32_t Year, int32_t Epoch);
// Today, from the framework clock.
int32_t CtlCurrentDate();

void CtlDecodeTime(int32_t Time, uint8_t& Hours, uint8_t& Minutes, uint8_t& Seconds);
// Hours are taken modulo 24 and the result modulo one day.
int32_t CtlEncodeTime(int32_t Hours, int32_t Minutes, int32_t Seconds);
bool CtlValidTime(int32_t Hours, int32_t Minutes, int32_t Seconds);
int32_t CtlCurrentTime();
int32_t CtlIncTime(int32_t Time, int32_t Hours, int32_t Minutes, int32_t Seconds);
int32_t CtlDecTime(int32_t Time, int32_t Hours, int32_t Minutes, int32_t Seconds);

int32_t CtlDateTimeToDate(framework::TDateTime Value);
int32_t CtlDateTimeToTime(framework::TDateTime Value);
framework::TDateTime CtlDateToDateTime(int32_t Julian);
framework::TDateTime CtlTimeToDateTime(int32_t Time);

// The current year and month as the unit took them when it started (on first use); date pictures
// without those fields read them. CtlStoreCurrentYearMonth takes them again from the clock.
int32_t CtlCurrentYear();
int32_t CtlCurrentMonth();
void CtlStoreCurrentYearMonth();

// The first year of the current century; a controller's initial epoch.
int32_t CtlDefaultEpoch();

}  // namespace entry
