#pragma once
// The archive directory readers that parse their formats themselves. Each lists the members of one
// archive into the run (counting each, adding those in scope that pass the specs) and reports a
// failure itself (ReportArchiveFailure); members listed before a failure stay. A member date or
// time that cannot be fails the archive like any other damage. Only headers are read.
//
// ARC/PAK, DWC, HYP, LBR, LZH/LZS, RAR, SQZ and ZOO and ARJ (without CommentOnly) clear the run's
// MainArchiveComment first, except ARC/PAK, which leave it alone.

#include "cataloging/archives/ArchiveRun.h"

namespace cataloging {

void ReadArcDirectory(TArchiveRun& Run, const TArchiveArgs& Args);  // ARC and PAK
void ReadHypDirectory(TArchiveRun& Run, const TArchiveArgs& Args);
void ReadLzhDirectory(TArchiveRun& Run, const TArchiveArgs& Args);  // LZH and LZS
void ReadSqzDirectory(TArchiveRun& Run, const TArchiveArgs& Args);
void ReadZooDirectory(TArchiveRun& Run, const TArchiveArgs& Args);
// With CommentOnly only the main header is read, its comment left in MainArchiveComment.
void ReadArjDirectory(TArchiveRun& Run, const TArchiveArgs& Args, bool CommentOnly);
void ReadRarDirectory(TArchiveRun& Run, const TArchiveArgs& Args);
void ReadDwcDirectory(TArchiveRun& Run, const TArchiveArgs& Args);
void ReadLbrDirectory(TArchiveRun& Run, const TArchiveArgs& Args);

// The DWC time stamp (seconds since 1970 UTC) as US Pacific local date and time, with the daylight
// hour of the years 1980 to 2100 (first Sunday of April 03:00 to last Sunday of October 01:00,
// standard time). Years have 366 days when divisible by 4.
void DwcStampToDateTime(uint32_t Stamp, framework::TDateTime& Date, framework::TDateTime& Time);
// An LBR day count (day 1 = 1 January 1978) as a date; dates before 1980 give 1 January 1980.
framework::TDateTime LbrDayToDate(uint16_t Days);

}  // namespace cataloging
