// ARJ and RAR: archives of typed headers. ARJ begins with a main header holding the archive
// comment, then one header per member with its own comment; RAR is a chain of blocks, of which the
// file blocks are listed.

#include <cstring>
#include <string>

#include "cataloging/archives/ArchiveFile.h"
#include "cataloging/archives/ArchiveReaders.h"
#include "platform/LittleEndian.h"

namespace cataloging {

using namespace framework;
using platform::GetUInt16;
using platform::GetUInt32;

namespace {

// ---- ARJ ----

enum class THeader { Read, End, Failed };

// The name and comment that follow the fixed part of an ARJ header.
void ArjNameAndComment(const uint8_t* Buffer, int32_t Count, std::string& Name, std::string& Comment) {
    int32_t i = 0;
    for (; i < Count && Buffer[i] != 0; ++i) {
        if (Name.size() == 255) Name.erase(0, 1);  // the last 255 characters stay
        Name += static_cast<char>(Buffer[i]);
    }
    for (++i; i < Count && Buffer[i] != 0; ++i) {
        const uint8_t c = Buffer[i];
        if ((c >= 1 && c <= 12) || (c >= 14 && c <= 31)) continue;
        Comment += c == 127 || c == 255 ? ' ' : static_cast<char>(c);
    }
}

THeader ReadArjHeader(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args, bool Main) {
    uint8_t id[4];
    if (!File.ReadExact(id, 4) || GetUInt16(id) != 0xEA60) return THeader::Failed;
    const uint16_t basic = GetUInt16(id + 2);
    if (basic == 0) return File.SeekEnd() ? THeader::End : THeader::Failed;
    const int64_t p = File.Position();
    uint8_t h[30];  // from offset 4
    if (!File.ReadExact(h, sizeof h)) return THeader::Failed;
    uint8_t text[512];
    if (!File.Seek(p + h[0])) return THeader::Failed;
    const int32_t got = File.Read(text, sizeof text);
    if (!File.Seek(p + basic)) return THeader::Failed;
    const int64_t p2 = File.Position();
    std::string name, comment;
    ArjNameAndComment(text, got, name, comment);
    const std::string folder = TakeFolderPart(name);
    if (name.find('.') == std::string::npos) name += '.';
    uint8_t ext[2];
    if (!File.Seek(p2 + 4) || !File.ReadExact(ext, 2)) return THeader::Failed;
    if (const uint16_t e = GetUInt16(ext); e > 0 && !File.Seek(p2 + 4 + 2 + e + 4)) return THeader::Failed;
    if (Main) {
        Run.MainArchiveComment = comment;
        return THeader::Read;
    }
    if (!File.Skip(GetUInt32(h + 12))) return THeader::Failed;
    TArchiveEntry entry;
    entry.FileName = folder.empty() ? name : name + " <" + folder + ">";
    entry.FileSize = GetUInt32(h + 16);
    // Archives made on UNIX (host 2) and NeXT (host 8) hold a Unix time where DOS ones hold the
    // DOS date and time.
    const uint8_t host = h[3];
    if (host == 2 || host == 8) {
        UnixToLocalDateTime(GetUInt32(h + 8), entry.DateModified, entry.TimeModified);
    } else {
        entry.DateModified = DosDateToDateTime(GetUInt16(h + 10));
        entry.TimeModified = DosTimeToDateTime(GetUInt16(h + 8));
    }
    entry.Comment = comment;
    ArchiveMemberStep(Run, Args, entry);
    return THeader::Read;
}

// ---- RAR ----

constexpr uint8_t kRarMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint16_t kRarLongBlock = 0x8000, kRarLargeFile = 0x100, kRarUnicodeName = 0x200;

bool RarFileBlock(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args, int64_t Start, uint16_t Flags,
                  int64_t& Next) {
    uint8_t f[29];  // from offset 11: the fixed fields and, for large files, the high size words
    const int fixed = (Flags & kRarLargeFile) != 0 ? 29 : 21;
    if (!File.Seek(Start + 11) || !File.ReadExact(f, fixed)) return false;
    const uint16_t n = GetUInt16(f + 15);
    char raw[255];
    if (n > 255 || !File.ReadExact(raw, n)) return false;
    std::string name(raw, n);
    if ((Flags & kRarUnicodeName) != 0) name = name.substr(0, name.find('\0'));
    for (size_t at; (at = name.find(':')) != std::string::npos;) name.erase(0, at + 1);
    for (size_t at; (at = name.find('\\')) != std::string::npos;) name.erase(0, at + 1);
    if (name.find('.') == std::string::npos) name += '.';
    const uint32_t stamp = GetUInt32(f + 9);
    TArchiveEntry entry;
    entry.FileName = UpperMemberName(name);
    entry.FileSize = GetUInt32(f);
    if ((Flags & kRarLargeFile) != 0) {
        // The high words of the packed and unpacked sizes follow the attributes.
        entry.FileSize |= int64_t(GetUInt32(f + 25)) << 32;
        Next += int64_t(GetUInt32(f + 21)) << 32;
    }
    entry.DateModified = DosDateToDateTime(static_cast<uint16_t>(stamp >> 16));
    entry.TimeModified = DosTimeToDateTime(static_cast<uint16_t>(stamp));
    entry.Attribute = static_cast<int32_t>(GetUInt32(f + 17));
    ArchiveMemberStep(Run, Args, entry);
    return true;
}

bool WalkRar(TArchiveFile& File, TArchiveRun& Run, const TArchiveArgs& Args) {
    while (!File.AtEnd()) {
        Run.ProcessMessages();
        const int64_t start = File.Position();
        uint8_t h[11] = {};
        if (!File.ReadExact(h, 7)) return false;
        const uint8_t type = h[2];
        const uint16_t flags = GetUInt16(h + 3);
        const uint16_t size = GetUInt16(h + 5);
        uint32_t add = 0;
        if ((flags & kRarLongBlock) != 0) {
            if (!File.ReadExact(h + 7, 4)) return false;
            add = GetUInt32(h + 7);
        }
        // A block is at least its 7-byte header; a smaller size would start the next block where
        // this one starts, for ever.
        if (size < 7) return false;
        int64_t next = start + size + static_cast<int64_t>(add);
        switch (type) {
            case 0x72:  // the marker ("Rar!" 1A 07 00; the 1A 07 01 00 of later versions is another format)
                if (std::memcmp(h, kRarMarker, 7) != 0) return false;
                break;
            case 0x73:  // archive header
            case 0x75:  // comment
            case 0x76:  // authenticity information
            case 0x77:  // old sub-block
            case 0x78:  // recovery record
            case 0x79:  // signature
            case 0x7A:  // service header (an archive comment, among others)
                break;
            case 0x74:
                if (!RarFileBlock(File, Run, Args, start, flags, next)) return false;
                break;
            case 0x7B:  // end of archive
                return File.SeekEnd();
            default:
                return false;
        }
        if (!File.Seek(next)) return false;
    }
    return true;
}

}  // namespace

void ReadArjDirectory(TArchiveRun& Run, const TArchiveArgs& Args, bool CommentOnly) {
    Run.MainArchiveComment.clear();
    ListArchive(Run, Args, [&](TArchiveFile& File) {
        for (bool main = true; !File.AtEnd(); main = false) {
            Run.ProcessMessages();
            const THeader h = ReadArjHeader(File, Run, Args, main);
            if (h == THeader::Failed) return false;
            if (CommentOnly || h == THeader::End) break;
        }
        return true;
    });
}

void ReadRarDirectory(TArchiveRun& Run, const TArchiveArgs& Args) {
    Run.MainArchiveComment.clear();
    ListArchive(Run, Args, [&](TArchiveFile& File) { return WalkRar(File, Run, Args); });
}

}  // namespace cataloging
