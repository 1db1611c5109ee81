#pragma once
// Catalog-shaped entries (file name, volume label, folder, archive, size, date, time, attribute,
// category, comment) as a pure function of the entry's number, shared by the benchmark programs
// so that they all work on the same records.
//
// KORVANE_BENCH_MEMO (default 0) decides whether every tenth entry carries a comment.

#include <cstdint>
#include <cstdio>
#include <string>

#ifndef KORVANE_BENCH_MEMO
#define KORVANE_BENCH_MEMO 0
#endif

namespace korvane_bench {

// Entries per catalogued volume: about 1,000, with at least five volumes. Set once per run
// (before any child process starts); at most 100,000 keeps the file names of a volume distinct.
inline int64_t EntriesPerVolume = 1000;

// ---- Catalog entries: a pure function of the entry's number ----

inline uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

struct TEntry {
    std::string FileName, VolumeLabel, FolderName, ArchiveId, CategoryCode, Comment;
    int64_t FileSize = 0;
    int32_t DateModified = 0;  // day number
    int32_t TimeModified = 0;  // milliseconds since midnight
    int32_t Attribute = 0;
};

// Names use letters, digits and '.', and folders have fixed-width parts, so that the engine's
// case-insensitive order (upper case) and SQLite's NOCASE (lower case) sort them alike and
// record numbers address the same entries in both.
inline const char* const Stems[] = {"report", "photo",  "setup",  "track", "readme", "invoice",
                                    "backup", "letter", "movie",  "notes", "budget", "driver",
                                    "song",   "scan",   "thesis", "game"};
inline const char* const Extensions[] = {".jpg", ".doc", ".exe", ".mp3", ".txt", ".zip", ".pdf", ".dat"};
inline const char* const Categories[] = {"IMG", "DOC", "PROG", "MUSIC", "TEXT", "ARC", "DOC", ""};

inline std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

inline std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

inline std::string VolumeLabelOf(int64_t volume) {
    char text[16];
    std::snprintf(text, sizeof text, "VOL%04d", static_cast<int>(volume % 10000));
    return text;
}

inline TEntry MakeEntry(int64_t i) {
    uint64_t h = Mix(static_cast<uint64_t>(i));
    TEntry e;
    std::string stem = Stems[h % 16];
    switch ((h >> 4) % 3) {
        case 0:
            stem[0] = static_cast<char>(stem[0] - 'a' + 'A');
            break;
        case 1:
            stem = Upper(stem);
            break;
        default:
            break;
    }
    // Distinct inside a volume (7919 is prime to 100,000), so the key is unique.
    char text[64];
    std::snprintf(text, sizeof text, "%s%05d%s", stem.c_str(), static_cast<int>((i * 7919 + 12345) % 100000),
                  Extensions[(h >> 8) % 8]);
    e.FileName = text;
    e.VolumeLabel = VolumeLabelOf(i / EntriesPerVolume);
    std::snprintf(text, sizeof text, "\\D%02d\\S%03d", static_cast<int>((h >> 12) % 40),
                  static_cast<int>((h >> 20) % 1000));
    e.FolderName = text;
    if ((h >> 30) % 10 == 0) {
        std::snprintf(text, sizeof text, "ARCH%04d.ZIP", static_cast<int>((h >> 34) % 10000));
        e.ArchiveId = text;
    }
    e.CategoryCode = Categories[(h >> 8) % 8];
    e.FileSize = static_cast<int64_t>((h >> 40) % 50000000);
    e.DateModified = 730000 + static_cast<int32_t>((h >> 16) % 9000);
    e.TimeModified = static_cast<int32_t>((h >> 24) % 86400000);
    e.Attribute = (h >> 44) % 5 == 0 ? 33 : 32;
    if (KORVANE_BENCH_MEMO && i % 10 == 0) {
        e.Comment = "Comment on entry " + std::to_string(i) + ": ";
        e.Comment.append(40 + (h >> 48) % 160, static_cast<char>('a' + (h >> 56) % 26));
    }
    return e;
}

}  // namespace korvane_bench
