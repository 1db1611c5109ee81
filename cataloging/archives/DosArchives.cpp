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

// The stored name as the catalog lists it: its last component, "." appended when it has none, in
// upper case, at most 12 characters; empty when only blanks, NULs and 0xFF bytes remain.
std::string LzhMemberName(std::string Name) {
    if (const size_t sep = Name.find_last_of("/\\"); sep != std::string::npos) Name.erase(0, sep + 1);
    size_t used = Name.size();
    while (used > 0 && (Name[used - 1] == ' ' || Name[used - 1] == '\0' || Name[used - 1] == '\xFF')) --used;
    if (used == 0) return {};
    if (Name.find('.') == std::string::npos) Name += '.';
    return UpperMemberName(Name).substr(0, 12);
}

// Levels 0 and 1: the size byte h counts from offset 2; the data (with level 1's extended headers)
// follows the two-byte CRC after the header.
bool LzhLevel01(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args, int64_t Start, const uint8_t* F) {
    const uint8_t size = F[0];
    if (size < 20) return File.SeekEnd();
    char raw[255];
    const int n = F[21];
    if (!File.Seek(Start + 22) || !File.ReadExact(raw, n)) return false;
    const uint32_t packed = GetUInt32(F + 7);
    if (!File.Seek(Start + size + static_cast<int64_t>(packed) + 2)) return false;
    ArchiveMemberStep(Run, Args,
                      Member(LzhMemberName(std::string(raw, static_cast<size_t>(n))), GetUInt32(F + 11),
                             GetUInt16(F + 17), GetUInt16(F + 15), F[19]));
    return true;
}

// Level 2: a 16-bit total header size, a Unix time, the name in extended header 1 (the folder in
// extended header 2 is dropped); the data follows the whole header.
bool LzhLevel2(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args, int64_t Start, const uint8_t* F) {
    const uint16_t total = GetUInt16(F);
    if (total == 0) return File.SeekEnd();
    if (total < 26) return false;
    std::string name;
    // Extended headers: each a size (counting itself... the type byte and the data) given by the
    // one before; the base header holds the first size at offset 24.
    int64_t at = Start + 24;
    uint8_t sizeBytes[2];
    if (!File.Seek(at) || !File.ReadExact(sizeBytes, 2)) return false;
    at += 2;
    for (uint16_t ext = GetUInt16(sizeBytes); ext != 0;) {
        if (ext < 3 || at + ext > Start + total) return false;
        uint8_t data[258];
        const int want = std::min<int>(ext, 258);
        if (!File.Seek(at) || !File.ReadExact(data, want)) return false;
        if (data[0] == 0x01) name.assign(reinterpret_cast<const char*>(data + 1), static_cast<size_t>(std::min(want, int(ext)) - 3));
        if (!File.Seek(at + ext - 2) || !File.ReadExact(sizeBytes, 2)) return false;
        at += ext;
        ext = GetUInt16(sizeBytes);
    }
    const uint32_t packed = GetUInt32(F + 7);
    if (!File.Seek(Start + total + static_cast<int64_t>(packed))) return false;
    TArchiveEntry entry;
    entry.FileName = LzhMemberName(name);
    entry.FileSize = GetUInt32(F + 11);
    UnixToLocalDateTime(GetUInt32(F + 15), entry.DateModified, entry.TimeModified);
    ArchiveMemberStep(Run, Args, entry);
    return true;
}

bool WalkLzh(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args) {
    while (!File.AtEnd()) {
        Run.ProcessMessages();
        const int64_t start = File.Position();
        // The level byte at offset 20 decides how the rest reads.
        uint8_t f[22];
        const int32_t got = File.Read(f, sizeof f);
        if (got >= 1 && f[0] == 0) return File.SeekEnd();  // the end mark (also a level-2 size of 0)
        if (got < static_cast<int32_t>(sizeof f)) {
            // Fewer bytes than a header: a size byte below 20 ends the walk, else it is cut short.
            if (got >= 1 && f[0] < 20) return File.SeekEnd();
            return false;
        }
        bool ok;
        switch (f[20]) {
            case 0:
            case 1:
                ok = LzhLevel01(File, Run, Args, start, f);
                break;
            case 2:
                ok = LzhLevel2(File, Run, Args, start, f);
                break;
            default:
                ok = f[0] < 20 ? File.SeekEnd() : false;
                break;
        }
        if (!ok) return false;
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
    while (!File.AtEnd()) {
        Run.ProcessMessages();
        const int64_t here = File.Position();
        uint8_t e[58];
        const int32_t got = File.Read(e, sizeof e);
        if (got < 10) return false;
        const int32_t next = GetInt32(e + 6);
        if (GetUInt32(e) != kZooTag || (got < 58 && next != 0)) return false;
        if (next <= 0) return File.SeekEnd();
        // The chain runs forward through the file; one that points back (at itself or an earlier
        // entry) is damaged and would otherwise be walked for ever.
        if (next <= here) return false;
        const TArchiveEntry entry =
            Member(NormalizeMemberName(Field(e + 38, 13)).substr(0, 12), GetUInt32(e + 20), GetUInt16(e + 14),
                   GetUInt16(e + 16), 0);
        // A comment of s bytes gives its first min(s, 43) - 1; one that cannot be read ends the
        // walk without a failure report.
        const bool read = ArchiveMemberStep(Run, Args, entry, [&](TArchiveEntry& E) {
            return ReadCommentAt(File, GetUInt32(e + 32), std::min<int>(GetUInt16(e + 36), 43) - 1, E.Comment);
        });
        if (!read) return true;
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
