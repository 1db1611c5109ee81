#pragma once
// The archive directory readers that parse their formats themselves. Each lists the members of one
// archive into the run (counting each, adding those in scope that pass the specs) and reports a
// failure itself (ReportArchiveFailure); members listed before a failure stay. A member date or
// time that cannot be fails the archive like any other damage. Only headers are read.
//
// ARC/PAK, DWC, HYP, LBR, LZH/LZS, RAR, SQZ and ZOO and ARJ (without CommentOnly) clear the run's
// MainArchiveComment first, except ARC/PAK, which leave it alone.

#include <string>
#include <string_view>

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

// The readers over the archive components. A ZIP member's name is its stored name, with
// " <" + folder part + ">" after it when it lies in a folder; folder entries are counted only.
// ReadZipDirectory fills MainArchiveComment (trimmed) only when it is blank; both stop at once
// when the run is asked to stop.
void ReadZipDirectory(TArchiveRun& Run, const TArchiveArgs& Args);
void ReadCabDirectory(TArchiveRun& Run, const TArchiveArgs& Args);
// Only the ZIP archive's comment, as stored, into MainArchiveComment; a failure leaves it alone.
void ReadZipComment(TArchiveRun& Run, const TArchiveArgs& Args);
// For an ".EXE" file: a ZIP archive inside is expanded (asking first when expanding on demand,
// with the answers to all that change the run's ExpandMode and Cancel that stops the run) or gives
// its comment.
void ProbeSfxArchive(TArchiveRun& Run, const TArchiveArgs& Args);
// The description in a FILE_ID.DIZ: lines blank after trimming are dropped until the first other
// one; from there on the lines (without their line ends) are joined with CR LF.
std::string FileIdDizText(std::string_view Bytes);

// The FILE_ID.DIZ at the top of a ZIP archive as MainArchiveComment, with DizOverride always,
// with UseDiz when the comment is still empty. It is taken out into the run's own folder and
// removed after reading; one of more than 64 KiB is no description and is not used.
void ReadFileIdDiz(TArchiveRun& Run, const TArchiveArgs& Args, bool DizOverride, bool UseDiz);

// The reader of an archive type code (1 ARC, 2 ARJ, 3 CAB, 4 DWC, 5 HYP, 6 LBR, 7 LZH, 8 LZS,
// 9 PAK, 10 RAR, 11 SQZ, 12 ZIP, 13 ZOO); other codes read nothing.
void ReadArchiveDirectory(TArchiveRun& Run, int TypeCode, const TArchiveArgs& Args);

// The DWC time stamp (seconds since 1970 UTC) as US Pacific local date and time, with the daylight
// hour of the years 1980 to 2100 (first Sunday of April 03:00 to last Sunday of October 01:00,
// standard time). Years have 366 days when divisible by 4.
void DwcStampToDateTime(uint32_t Stamp, framework::TDateTime& Date, framework::TDateTime& Time);
// An LBR day count (day 1 = 1 January 1978) as a date; dates before 1980 give 1 January 1980.
framework::TDateTime LbrDayToDate(uint16_t Days);

}  // namespace cataloging
