// ARC and PAK, HYP, LZH and LZS, SQZ and ZOO: archives whose members follow one another, each with
// a header in front of its data (ZOO: a chain of directory entries linked by file positions).

#include <cstring>
#include <algorithm>
#include <string>

#include "cataloging/archives/ArchiveFile.h"
#include "cataloging/archives/ArchiveReaders.h"
#include "platform/LittleEndian.h"

namespace cataloging {

using namespace framework;
using platform::GetInt32;
using platform::GetUInt16;
using platform::GetUInt32;

namespace {

TArchiveEntry Member(std::string Name, uint32_t Size, uint16_t Date, uint16_t Time, int32_t Attribute) {
    TArchiveEntry e;
    e.FileName = std::move(Name);
    e.FileSize = Size;
    e.DateModified = DosDateToDateTime(Date);
    e.TimeModified = DosTimeToDateTime(Time);
    e.Attribute = Attribute;
    return e;
}

std::string Field(const uint8_t* p, size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

// ---- ARC and PAK ----

bool WalkArc(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args) {
    for (;;) {
        Run.ProcessMessages();
        uint8_t marker = 0, type = 0;
        if (!File.ReadExact(&marker, 1) || marker != 0x1A) return false;
        if (!File.ReadExact(&type, 1) || type == 0) return true;
        uint8_t h[27];
        if (!File.ReadExact(h, sizeof h)) return false;
        const std::string name = NormalizeMemberName(Field(h, 13)).substr(0, 12);
        ArchiveMemberStep(Run, Args, Member(name, GetUInt32(h + 23), GetUInt16(h + 17), GetUInt16(h + 19), 0));
        if (!File.Skip(GetUInt32(h + 13)) || File.AtEnd()) return false;  // no end marker
    }
}

// ---- HYP ----

bool WalkHyp(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args) {
    while (!File.AtEnd()) {
        Run.ProcessMessages();
        uint8_t marker = 0;
        if (!File.ReadExact(&marker, 1)) return false;
        if (marker != 0x1A) return File.SeekEnd();
        uint8_t h[21];
        if (!File.ReadExact(h, sizeof h)) return false;
        char raw[255];
        const int n = h[20];
        if (!File.ReadExact(raw, n)) return false;
        std::string name(raw, static_cast<size_t>(n));
        TakeFolderPart(name);
        ArchiveMemberStep(Run, Args,
                          Member(UpperMemberName(name), GetUInt32(h + 7), GetUInt16(h + 13), GetUInt16(h + 11), h[19]));
        if (!File.Skip(GetUInt32(h + 3))) return false;
    }
    return true;
}

// ---- LZH and LZS ----

bool WalkLzh(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args) {
    while (!File.AtEnd()) {
        Run.ProcessMessages();
        const int64_t start = File.Position();
        uint8_t f[22];  // f[k] is the header's byte at offset k, up to the name length
        if (!File.ReadExact(f, 1)) return false;
        const uint8_t size = f[0];
        if (size < 20) return File.SeekEnd();
        // The checksum byte and the bytes from offset 2 to the name length.
        if (!File.ReadExact(f + 1, 21)) return false;
        char raw[255];
        const int n = f[21];
        if (!File.ReadExact(raw, n)) return false;
        const uint32_t packed = GetUInt32(f + 7);
        if (!File.Seek(start + size + static_cast<int64_t>(packed) + 2)) return false;
        std::string name(raw, static_cast<size_t>(n));
        if (const size_t sep = name.find_last_of("/\\"); sep != std::string::npos) name.erase(0, sep + 1);
        size_t used = name.size();
        while (used > 0 && (name[used - 1] == ' ' || name[used - 1] == '\0' || name[used - 1] == '\xFF')) --used;
        if (used == 0)
            name.clear();
        else if (name.find('.') == std::string::npos)
            name += '.';
        name = UpperMemberName(name).substr(0, 12);
        ArchiveMemberStep(Run, Args, Member(name, GetUInt32(f + 11), GetUInt16(f + 17), GetUInt16(f + 15), f[19]));
    }
    return true;
}

// ---- SQZ ----

bool WalkSqz(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args) {
    uint8_t head[8];
    if (!File.ReadExact(head, sizeof head) || std::memcmp(head, "HLSQZ", 5) != 0) return false;
    while (!File.AtEnd()) {
        Run.ProcessMessages();
        uint8_t b = 0;
        if (!File.ReadExact(&b, 1)) return false;
        if (b == 0) return true;
        if (b <= 18) {
            uint8_t len[2];
            if (!File.ReadExact(len, 2) || !File.Skip(GetUInt16(len))) return false;
            continue;
        }
        uint8_t h[19];
        if (!File.ReadExact(h, sizeof h)) return false;
        char raw[255];
        const int n = b - 18;
        if (!File.ReadExact(raw, n)) return false;
        if (!File.Skip(GetUInt32(h + 2))) return false;
        std::string name(raw, static_cast<size_t>(n));
        if (name.find('.') == std::string::npos) name += ' ';
        name = UpperMemberName(name);
        for (const char sep : {'\\', '/'})
            for (size_t at; (at = name.find(sep)) != std::string::npos;) name.erase(0, at + 1);
        ArchiveMemberStep(Run, Args, Member(name, GetUInt32(h + 6), GetUInt16(h + 12), GetUInt16(h + 10), h[14]));
    }
    return true;
}

// ---- ZOO ----

constexpr uint32_t kZooTag = 0xFDC4A7DC;

bool WalkZoo(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args) {
    uint8_t head[34];
    if (!File.ReadExact(head, sizeof head) || GetUInt32(head + 20) != kZooTag) return false;
    if (!File.Seek(GetUInt32(head + 24))) return false;
    // Entries do not overlap, so a chain longer than the file can hold entries has looped back on
    // itself: it is damaged (and would otherwise be walked for ever).
    int64_t entriesLeft = File.Size() / 58 + 1;
    while (!File.AtEnd()) {
        Run.ProcessMessages();
        if (--entriesLeft < 0) return false;
        uint8_t e[58];
        const int32_t got = File.Read(e, sizeof e);
        if (got < 10) return false;
        const int32_t next = GetInt32(e + 6);
        if (GetUInt32(e) != kZooTag || (got < 58 && next != 0)) return false;
        if (next <= 0) return File.SeekEnd();
        TArchiveEntry entry =
            Member(NormalizeMemberName(Field(e + 38, 13)).substr(0, 12), GetUInt32(e + 20), GetUInt16(e + 14),
                   GetUInt16(e + 16), 0);
        ++Run.ArchiveFileCount;
        Run.ArchiveByteCount += entry.FileSize;
        if (Args.InScope && Run.PassesIncludeExclude(Args.FolderName, entry.FileName)) {
            const uint16_t s = GetUInt16(e + 36);
            if (s > 0) {
                const int64_t back = File.Position();
                char text[42];
                const int want = std::min<int>(s, 43) - 1;
                if (!File.Seek(GetUInt32(e + 32)) || !File.ReadExact(text, want) || !File.Seek(back))
                    return true;  // ends the walk without a failure report
                entry.Comment = CutAtControlChar(std::string_view(text, static_cast<size_t>(want)));
            }
            entry.FolderName = Args.FolderName;
            entry.ArchiveID = Args.ArchiveName;
            Run.AddNewDataEntry(entry);
        }
        if (!File.Seek(next)) return false;
    }
    return true;
}

}  // namespace

void ReadArcDirectory(TArchiveRun& Run, const TArchiveArgs& Args) {
    ListArchive(Run, Args, [&](TArchiveFile& File) { return WalkArc(File, Run, Args); });
}

void ReadHypDirectory(TArchiveRun& Run, const TArchiveArgs& Args) {
    Run.MainArchiveComment.clear();
    ListArchive(Run, Args, [&](TArchiveFile& File) { return WalkHyp(File, Run, Args); });
}

void ReadLzhDirectory(TArchiveRun& Run, const TArchiveArgs& Args) {
    Run.MainArchiveComment.clear();
    ListArchive(Run, Args, [&](TArchiveFile& File) { return WalkLzh(File, Run, Args); });
}

void ReadSqzDirectory(TArchiveRun& Run, const TArchiveArgs& Args) {
    Run.MainArchiveComment.clear();
    ListArchive(Run, Args, [&](TArchiveFile& File) { return WalkSqz(File, Run, Args); });
}

void ReadZooDirectory(TArchiveRun& Run, const TArchiveArgs& Args) {
    Run.MainArchiveComment.clear();
    ListArchive(Run, Args, [&](TArchiveFile& File) { return WalkZoo(File, Run, Args); });
}

}  // namespace cataloging
