// DWC and LBR: archives that keep their whole member directory in one place. DWC puts it at the end
// of the file in front of a trailer; LBR libraries start with it, in 32-byte records.

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "cataloging/archives/ArchiveFile.h"
#include "cataloging/archives/ArchiveReaders.h"
#include "platform/LittleEndian.h"

namespace cataloging {

using namespace framework;
using platform::GetInt16;
using platform::GetUInt16;
using platform::GetUInt32;

namespace {

// ---- DWC time stamps ----

// The calendar of DWC time stamps: a year has 366 days when divisible by 4.
bool DwcLeap(int Year) {
    return Year % 4 == 0;
}

int DwcMonthDays(int Year, int Month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return Month == 2 && DwcLeap(Year) ? 29 : days[Month - 1];
}

int64_t DwcSeconds(int Year, int Month, int Day, int Hour, int Min, int Sec) {
    int64_t days = 0;
    for (int y = 1970; y < Year; ++y) days += DwcLeap(y) ? 366 : 365;
    for (int m = 1; m < Month; ++m) days += DwcMonthDays(Year, m);
    days += Day - 1;
    return days * 86400 + Hour * 3600 + Min * 60 + Sec;
}

// Sunday = 0.
int Weekday(int Year, int Month, int Day) {
    int m = Month - 2, y = Year;
    if (m < 1) {
        m += 12;
        y -= 1;
    }
    const int c = y / 100, yy = y % 100;
    // floor(2.6 m - 0.2) in whole numbers: (26 m - 2) / 10 (m is 1 to 12, so it stays positive).
    int w = ((26 * m - 2) / 10 + Day + yy + yy / 4 + c / 4 - 2 * c) % 7;
    return w < 0 ? w + 7 : w;
}

struct TDaylight {
    int64_t Start = 0, End = 0;
};

// Start and end of daylight time for 1980 to 2100, in local standard seconds since 1970.
const std::array<TDaylight, 121>& DaylightTable() {
    static const std::array<TDaylight, 121> table = [] {
        std::array<TDaylight, 121> t{};
        for (int y = 1980; y <= 2100; ++y) {
            int first = 1;
            while (Weekday(y, 4, first) != 0) ++first;
            int last = 31;
            while (Weekday(y, 10, last) != 0) --last;
            t[static_cast<size_t>(y - 1980)] = {DwcSeconds(y, 4, first, 3, 0, 0), DwcSeconds(y, 10, last, 1, 0, 0)};
        }
        return t;
    }();
    return table;
}

// ---- DWC ----

bool WalkDwc(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args) {
    // The trailer: search 256-byte blocks from the end towards the start for "DWC".
    int64_t trailer = -1;
    for (int64_t p = std::max<int64_t>(File.Size() - 256, 0);; p = std::max<int64_t>(p - 256, 0)) {
        uint8_t block[256];
        if (!File.Seek(p)) return false;
        const int32_t got = File.Read(block, sizeof block);
        if (got < 3) return false;
        for (int32_t i = 0; i + 3 <= got; ++i)
            if (std::memcmp(block + i, "DWC", 3) == 0) {
                trailer = p + i - 24;
                break;
            }
        if (trailer != -1 || p == 0) break;
    }
    if (trailer == -1) return false;
    uint8_t t[27];
    if (!File.Seek(trailer) || !File.ReadExact(t, sizeof t)) return false;
    const uint32_t count = GetUInt32(t + 20);
    // The directory lies in front of the trailer: a count that would not fit there is damage.
    if (int64_t(count) * 34 > trailer || !File.Seek(trailer - int64_t(count) * 34)) return false;
    for (uint32_t k = 0; k < count; ++k) {
        Run.ProcessMessages();
        uint8_t e[34];
        if (!File.ReadExact(e, sizeof e)) return false;
        TArchiveEntry entry;
        DwcStampToDateTime(GetUInt32(e + 17), entry.DateModified, entry.TimeModified);
        entry.FileName = NormalizeMemberName(std::string_view(reinterpret_cast<const char*>(e), 13));
        entry.FileSize = GetUInt32(e + 13);
        const bool read = ArchiveMemberStep(Run, Args, entry, [&](TArchiveEntry& E) {
            return ReadCommentAt(File, int64_t(GetUInt32(e + 25)) + GetUInt32(e + 21), e[30], E.Comment);
        });
        if (!read) return false;
    }
    return true;
}

// ---- LBR ----

bool WalkLbr(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args) {
    if (File.Size() < 32) return true;  // no record
    uint8_t r[32];
    if (!File.ReadExact(r, sizeof r)) return false;
    const int16_t length = GetInt16(r + 14);
    const bool blank = std::all_of(r + 1, r + 12, [](uint8_t c) { return c == ' '; });
    if (r[0] != 0 || !blank || GetUInt16(r + 12) != 0 || length <= 0) return true;  // not a directory
    // A directory longer than the file holds is read as far as the file goes.
    const int64_t records = std::min<int64_t>(4 * int64_t(length), File.Size() / 32);
    for (int64_t k = 1; k < records; ++k) {
        Run.ProcessMessages();
        if (!File.ReadExact(r, sizeof r)) return false;
        if (r[0] != 0) continue;
        TArchiveEntry entry;
        entry.FileName = UpperMemberName(std::string(reinterpret_cast<const char*>(r + 1), 8) + "." +
                                         std::string(reinterpret_cast<const char*>(r + 9), 3));
        // A member's length in sectors is read unsigned: a member of 32,768 sectors (4 MB) or more
        // has no negative size.
        entry.FileSize = std::max<int64_t>(int64_t(GetUInt16(r + 14)) * 128 - r[26], 0);
        entry.DateModified = LbrDayToDate(GetUInt16(r + 18));
        entry.TimeModified = DosTimeToDateTime(GetUInt16(r + 22));
        ArchiveMemberStep(Run, Args, entry);
    }
    return true;
}

}  // namespace

void DwcStampToDateTime(uint32_t Stamp, TDateTime& Date, TDateTime& Time) {
    // Stamps before 1 January 1970 08:00 UTC are taken as that moment.
    const int64_t s = std::max<int64_t>(int64_t(Stamp) - 28800, 0);
    int year = 1970;
    int64_t r = s;
    for (int64_t len; r >= (len = (DwcLeap(year) ? 366 : 365) * int64_t(86400)); ++year) r -= len;
    if (year >= 1980 && year <= 2100) {
        const TDaylight& d = DaylightTable()[static_cast<size_t>(year - 1980)];
        if (s >= d.Start && s <= d.End) r += 3600;
    }
    int64_t day = r / 86400;
    const int64_t sec = r % 86400;
    int month = 1;
    while (month < 12 && day >= DwcMonthDays(year, month)) day -= DwcMonthDays(year, month++);
    Date = EncodeDate(year, month, static_cast<int>(day) + 1);
    Time = EncodeTime(static_cast<int>(sec / 3600), static_cast<int>(sec / 60 % 60), static_cast<int>(sec % 60), 0);
}

TDateTime LbrDayToDate(uint16_t Days) {
    int year = 1978, month = 1;
    int day = Days;  // day 1 is 1 January 1978; day 0 the day before
    if (day == 0) {
        year = 1977;
        month = 12;
        day = 31;
    } else {
        for (int len; day > (len = IsLeapYear(year) ? 366 : 365); ++year) day -= len;
        while (day > MonthDays(year, month)) day -= MonthDays(year, month++);
    }
    const uint16_t word = static_cast<uint16_t>((year - 1980) * 512 + month * 32 + day);
    return DosDateToDateTime(word);
}

void ReadDwcDirectory(TArchiveRun& Run, const TArchiveArgs& Args) {
    Run.MainArchiveComment.clear();
    ListArchive(Run, Args, [&](TArchiveFile& File) { return WalkDwc(File, Run, Args); });
}

void ReadLbrDirectory(TArchiveRun& Run, const TArchiveArgs& Args) {
    Run.MainArchiveComment.clear();
    ListArchive(Run, Args, [&](TArchiveFile& File) { return WalkLbr(File, Run, Args); });
}

}  // namespace cataloging
