#include "platform/Cabinet.h"

#include <mspack.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/LittleEndian.h"

namespace platform {

namespace {

std::atomic<int32_t> gOpenFdiContexts{0};

// ---- the cabinet header, walked field by field ---------------------------------------------------
// Header: "MSCF", reserved, cabinet size (8), reserved, offset of the first file entry (16),
// reserved, version (24, 25), folder count (26), file count (28), flags (30), set ID (32), cabinet
// number (34); with flag 4 a 16-bit header reserve size, 8-bit folder and data reserve sizes and the
// header reserve; with flag 1 the previous cabinet's name and disk, with flag 2 the next ones.
// Folder entries (8 bytes + folder reserve) follow; file entries start at the file offset: size,
// offset in the folder, folder index, date, time, attributes (16 bytes) and a NUL-terminated name.
constexpr uint32_t kSignature = 0x4643534D;  // "MSCF"
constexpr uint16_t kFlagPrev = 1, kFlagNext = 2, kFlagReserve = 4;
constexpr uint32_t kFixedHeader = 36;
constexpr uint32_t kFileEntryFixed = 16;
constexpr uint32_t kMaxName = 256;  // longest name with its NUL

struct TCabFileEntry {
    uint32_t Size = 0;
    uint16_t FolderIndex = 0;
    uint16_t Date = 0, Time = 0, Attribs = 0;
    std::string Name;
};

struct TCabHeader {
    uint32_t CabinetSize = 0;
    uint16_t Folders = 0, Files = 0, Flags = 0, SetID = 0, Cabinet = 0;
    std::string PrevCabinet, PrevDisk, NextCabinet, NextDisk;
    std::vector<TCabFileEntry> Entries;
};

struct TContext {
    PFNALLOC Alloc;
    PFNFREE Free;
    PFNOPEN Open;
    PFNREAD Read;
    PFNWRITE Write;
    PFNCLOSE Close;
    PFNSEEK Seek;
    ERF* Erf;
};

void SetError(TContext* c, int32_t code) {
    if (!c->Erf) return;
    c->Erf->erfOper = code;
    c->Erf->erfType = 0;
    c->Erf->fError = code != FDIERROR_NONE;
}

// Reads through the caller's callbacks; every read is checked against the file's length.
class THeaderReader {
public:
    THeaderReader(TContext* c, std::intptr_t hf) : C(c), Hf(hf) {
        Length = C->Seek(Hf, 0, 2);
        if (C->Seek(Hf, 0, 0) != 0) Length = -1;
    }
    bool ReadAt(uint32_t offset, void* buffer, uint32_t count) {
        if (Length < 0 || offset > static_cast<uint32_t>(Length) ||
            count > static_cast<uint32_t>(Length) - offset)
            return false;
        if (C->Seek(Hf, static_cast<int32_t>(offset), 0) != static_cast<int32_t>(offset)) return false;
        return C->Read(Hf, buffer, count) == count;
    }
    // A NUL-terminated text of at most kMaxName bytes with its NUL; `offset` moves past it.
    bool ReadText(uint32_t& offset, std::string& text) {
        if (Length < 0 || offset >= static_cast<uint32_t>(Length)) return false;
        uint32_t room = static_cast<uint32_t>(Length) - offset;
        uint32_t n = room < kMaxName ? room : kMaxName;
        char buf[kMaxName];
        if (!ReadAt(offset, buf, n)) return false;
        const void* nul = std::memchr(buf, 0, n);
        if (!nul) return false;
        text.assign(buf, static_cast<const char*>(nul) - buf);
        offset += static_cast<uint32_t>(text.size()) + 1;
        return true;
    }
    int32_t Length;

private:
    TContext* C;
    std::intptr_t Hf;
};

// FDIERROR_NONE, or why the handle does not hold a usable cabinet. With `withFiles` false only
// the header is read.
int32_t ReadHeader(TContext* c, std::intptr_t hf, TCabHeader& h, bool withFiles) {
    THeaderReader r(c, hf);
    uint8_t fixed[kFixedHeader];
    if (!r.ReadAt(0, fixed, kFixedHeader)) return FDIERROR_NOT_A_CABINET;
    if (GetUInt32(fixed) != kSignature) return FDIERROR_NOT_A_CABINET;
    if (fixed[25] != 1) return FDIERROR_UNKNOWN_CABINET_VERSION;
    h.CabinetSize = GetUInt32(fixed + 8);
    uint32_t filesAt = GetUInt32(fixed + 16);
    h.Folders = GetUInt16(fixed + 26);
    h.Files = GetUInt16(fixed + 28);
    h.Flags = GetUInt16(fixed + 30);
    h.SetID = GetUInt16(fixed + 32);
    h.Cabinet = GetUInt16(fixed + 34);
    uint32_t at = kFixedHeader;
    if (h.Flags & kFlagReserve) {
        uint8_t sizes[4];
        if (!r.ReadAt(at, sizes, 4)) return FDIERROR_CORRUPT_CABINET;
        at += 4 + GetUInt16(sizes);
    }
    if (h.Flags & kFlagPrev) {
        if (!r.ReadText(at, h.PrevCabinet) || !r.ReadText(at, h.PrevDisk)) return FDIERROR_CORRUPT_CABINET;
    }
    if (h.Flags & kFlagNext) {
        if (!r.ReadText(at, h.NextCabinet) || !r.ReadText(at, h.NextDisk)) return FDIERROR_CORRUPT_CABINET;
    }
    if (h.Folders == 0 || h.Files == 0) return FDIERROR_CORRUPT_CABINET;
    if (!withFiles) return FDIERROR_NONE;
    at = filesAt;
    h.Entries.reserve(h.Files);
    for (uint32_t i = 0; i < h.Files; ++i) {
        uint8_t e[kFileEntryFixed];
        if (!r.ReadAt(at, e, kFileEntryFixed)) return FDIERROR_CORRUPT_CABINET;
        at += kFileEntryFixed;
        TCabFileEntry f;
        f.Size = GetUInt32(e);
        f.FolderIndex = GetUInt16(e + 8);
        f.Date = GetUInt16(e + 10);
        f.Time = GetUInt16(e + 12);
        f.Attribs = GetUInt16(e + 14);
        if (!r.ReadText(at, f.Name)) return FDIERROR_CORRUPT_CABINET;
        if (f.FolderIndex < 0xFFFD && f.FolderIndex >= h.Folders) return FDIERROR_CORRUPT_CABINET;
        h.Entries.push_back(std::move(f));
    }
    return FDIERROR_NONE;
}

// ---- the decompressor's system interface over the caller's callbacks ------------------------------

// A file name that stands for a handle the caller already opened (an extraction target).
constexpr char kHandlePrefix[] = "\x01hf:";

struct TMsFile {
    TContext* C;
    std::intptr_t Hf;
    bool Owned;  // opened by the library, so closed by it
};

struct TMsSystem {
    mspack_system Sys;
    TContext* C;
};

// The decompressor passes copies of its system interface to some calls, so `self` cannot lead back
// to the context: the context of the call in progress on this thread is kept here instead.
thread_local TContext* gActive = nullptr;

struct TActiveScope {
    TContext* Saved;
    explicit TActiveScope(TContext* c) : Saved(gActive) { gActive = c; }
    ~TActiveScope() { gActive = Saved; }
};

mspack_file* MsOpen(mspack_system*, const char* name, int mode) {
    TContext* c = gActive;
    if (!c) return nullptr;
    std::string n = name;
    if (n.rfind(kHandlePrefix, 0) == 0) {
        auto* f = new (std::nothrow) TMsFile{c, std::stoll(n.substr(std::strlen(kHandlePrefix))), false};
        return reinterpret_cast<mspack_file*>(f);
    }
    if (mode != MSPACK_SYS_OPEN_READ) return nullptr;
    std::intptr_t hf = c->Open(name, kCabinetOpenFlags, 0);
    if (hf == -1) return nullptr;
    auto* f = new (std::nothrow) TMsFile{c, hf, true};
    if (!f) c->Close(hf);
    return reinterpret_cast<mspack_file*>(f);
}

void MsClose(mspack_file* file) {
    auto* f = reinterpret_cast<TMsFile*>(file);
    if (f->Owned) f->C->Close(f->Hf);
    delete f;
}

int MsRead(mspack_file* file, void* buffer, int bytes) {
    auto* f = reinterpret_cast<TMsFile*>(file);
    if (bytes < 0) return -1;
    uint32_t n = f->C->Read(f->Hf, buffer, static_cast<uint32_t>(bytes));
    return n == 0xFFFFFFFFu ? -1 : static_cast<int>(n);
}

int MsWrite(mspack_file* file, void* buffer, int bytes) {
    auto* f = reinterpret_cast<TMsFile*>(file);
    if (bytes < 0) return -1;
    uint32_t n = f->C->Write(f->Hf, buffer, static_cast<uint32_t>(bytes));
    return n == 0xFFFFFFFFu ? -1 : static_cast<int>(n);
}

int MsSeek(mspack_file* file, off_t offset, int mode) {
    auto* f = reinterpret_cast<TMsFile*>(file);
    if (offset > INT32_MAX || offset < INT32_MIN) return -1;
    return f->C->Seek(f->Hf, static_cast<int32_t>(offset), mode) == -1 ? -1 : 0;
}

off_t MsTell(mspack_file* file) {
    auto* f = reinterpret_cast<TMsFile*>(file);
    return f->C->Seek(f->Hf, 0, 1);
}

void MsMessage(mspack_file*, const char*, ...) {}

void* MsAlloc(mspack_system*, size_t bytes) {
    TContext* c = gActive;
    if (!c || bytes == 0 || bytes > 0x7FFFFFFF) return nullptr;
    return c->Alloc(static_cast<uint32_t>(bytes));
}

void MsCopy(void* src, void* dest, size_t bytes) {
    std::memmove(dest, src, bytes);
}

// The library's free call has no context; every context of a process shares the caller's free
// routine, remembered here on creation.
std::atomic<PFNFREE> gFree{nullptr};
void MsFree(void* p) {
    if (!p) return;
    if (gActive)
        gActive->Free(p);
    else
        gFree.load()(p);
}

struct TFdi {
    TContext C;
    TMsSystem Ms;
    mscab_decompressor* Decompressor = nullptr;
};

TFdi* FdiOf(HFDI h) {
    return reinterpret_cast<TFdi*>(h);
}

struct TCabCloser {
    mscab_decompressor* D;
    mscabd_cabinet* Cab;
    ~TCabCloser() {
        if (Cab) D->close(D, Cab);
    }
};

}  // namespace

HFDI FDICreate(PFNALLOC alloc, PFNFREE free, PFNOPEN open, PFNREAD read, PFNWRITE write, PFNCLOSE close,
               PFNSEEK seek, int32_t, ERF* erf) {
    if (!alloc || !free || !open || !read || !write || !close || !seek) {
        if (erf) *erf = ERF{FDIERROR_ALLOC_FAIL, 0, true};
        return 0;
    }
    auto fdi = std::make_unique<TFdi>();
    fdi->C = TContext{alloc, free, open, read, write, close, seek, erf};
    gFree.store(free);
    fdi->Ms.C = &fdi->C;
    mspack_system& s = fdi->Ms.Sys;
    s.open = MsOpen;
    s.close = MsClose;
    s.read = MsRead;
    s.write = MsWrite;
    s.seek = MsSeek;
    s.tell = MsTell;
    s.message = MsMessage;
    s.alloc = MsAlloc;
    s.free = MsFree;
    s.copy = MsCopy;
    s.null_ptr = nullptr;
    TActiveScope active(&fdi->C);
    fdi->Decompressor = mspack_create_cab_decompressor(&fdi->Ms.Sys);
    if (!fdi->Decompressor) {
        SetError(&fdi->C, FDIERROR_ALLOC_FAIL);
        return 0;
    }
    ++gOpenFdiContexts;
    return reinterpret_cast<HFDI>(fdi.release());
}

bool FDIDestroy(HFDI context) {
    if (!context) return false;
    std::unique_ptr<TFdi> fdi(FdiOf(context));
    TActiveScope active(&fdi->C);
    mspack_destroy_cab_decompressor(fdi->Decompressor);
    --gOpenFdiContexts;
    return true;
}

bool FDIIsCabinet(HFDI context, std::intptr_t hf, FDICABINETINFO* info) {
    if (!context || !info) return false;
    TFdi* fdi = FdiOf(context);
    TCabHeader h;
    int32_t code = ReadHeader(&fdi->C, hf, h, false);
    if (code != FDIERROR_NONE) {
        SetError(&fdi->C, code);
        return false;
    }
    info->cbCabinet = static_cast<int32_t>(h.CabinetSize);
    info->cFolders = h.Folders;
    info->cFiles = h.Files;
    info->setID = h.SetID;
    info->iCabinet = h.Cabinet;
    info->fReserve = (h.Flags & kFlagReserve) != 0;
    info->hasprev = (h.Flags & kFlagPrev) != 0;
    info->hasnext = (h.Flags & kFlagNext) != 0;
    SetError(&fdi->C, FDIERROR_NONE);
    return true;
}

bool FDICopy(HFDI context, const char* cabinetName, const char* cabinetPath, int32_t, PFNFDINOTIFY notify,
             PFNFDIDECRYPT, void* user) {
    if (!context || !cabinetName || !notify) return false;
    TFdi* fdi = FdiOf(context);
    TContext* c = &fdi->C;
    TActiveScope active(c);
    const std::string path = cabinetPath ? cabinetPath : "";
    const std::string full = path + cabinetName;

    TCabHeader h;
    {
        std::intptr_t hf = c->Open(full.c_str(), kCabinetOpenFlags, 0);
        if (hf == -1) {
            SetError(c, FDIERROR_CABINET_NOT_FOUND);
            return false;
        }
        int32_t code = ReadHeader(c, hf, h, true);
        c->Close(hf);
        if (code != FDIERROR_NONE) {
            SetError(c, code);
            return false;
        }
    }
    // The decompressor lists the same entries; extraction goes through its list.
    mscab_decompressor* d = fdi->Decompressor;
    TCabCloser cab{d, d->open(d, full.c_str())};
    std::vector<mscabd_file*> files;
    if (cab.Cab)
        for (mscabd_file* f = cab.Cab->files; f; f = f->next) files.push_back(f);
    if (!cab.Cab || files.size() != h.Entries.size()) {
        SetError(c, FDIERROR_CORRUPT_CABINET);
        return false;
    }

    FDINOTIFICATION n;
    n.pv = user;
    n.psz1 = h.NextCabinet.c_str();
    n.psz2 = h.NextDisk.c_str();
    n.psz3 = path.c_str();
    n.setID = h.SetID;
    n.iCabinet = h.Cabinet;
    if (notify(fdintCABINET_INFO, &n) == -1) {
        SetError(c, FDIERROR_USER_ABORT);
        return false;
    }
    for (size_t i = 0; i < h.Entries.size(); ++i) {
        const TCabFileEntry& e = h.Entries[i];
        n = FDINOTIFICATION{};
        n.pv = user;
        n.psz1 = e.Name.c_str();
        n.cb = static_cast<int32_t>(e.Size);
        n.date = e.Date;
        n.time = e.Time;
        n.attribs = e.Attribs;
        n.setID = h.SetID;
        n.iCabinet = h.Cabinet;
        n.iFolder = e.FolderIndex;
        if (e.FolderIndex == 0xFFFD || e.FolderIndex == 0xFFFF) {  // continued from the previous cabinet
            n.psz2 = h.PrevCabinet.c_str();
            n.psz3 = h.PrevDisk.c_str();
            if (notify(fdintPARTIAL_FILE, &n) == -1) {
                SetError(c, FDIERROR_USER_ABORT);
                return false;
            }
            continue;
        }
        std::intptr_t target = notify(fdintCOPY_FILE, &n);
        if (target == -1) {
            SetError(c, FDIERROR_USER_ABORT);
            return false;
        }
        if (target == 0) continue;
        const std::string targetName = kHandlePrefix + std::to_string(target);
        if (d->extract(d, files[i], targetName.c_str()) != MSPACK_ERR_OK) {
            int err = d->last_error(d);
            c->Close(target);
            SetError(c, err == MSPACK_ERR_WRITE ? FDIERROR_TARGET_FILE : FDIERROR_CORRUPT_CABINET);
            return false;
        }
        n.hf = target;
        n.cb = 0;
        if (!notify(fdintCLOSE_FILE_INFO, &n)) {
            SetError(c, FDIERROR_USER_ABORT);
            return false;
        }
    }
    SetError(c, FDIERROR_NONE);
    return true;
}

int32_t OpenFdiContexts() {
    return gOpenFdiContexts.load();
}

// ---- building cabinets: not supported -----------------------------------------------------------

HFCI FCICreate(ERF* erf, PFNFCIFILEPLACED, PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE, PFNSEEK,
               PFNFCIDELETE, PFNFCIGETTEMPFILE, CCAB*, void*) {
    if (erf) *erf = ERF{FCIERR_NOT_SUPPORTED, 0, true};
    return 0;
}
bool FCIAddFile(HFCI, const char*, const char*, bool, PFNFCIGETNEXTCABINET, PFNFCISTATUS, PFNFCIGETOPENINFO,
                uint16_t) {
    return false;
}
bool FCIFlushCabinet(HFCI, bool, PFNFCIGETNEXTCABINET, PFNFCISTATUS) {
    return false;
}
bool FCIFlushFolder(HFCI, PFNFCIGETNEXTCABINET, PFNFCISTATUS) {
    return false;
}
bool FCIDestroy(HFCI) {
    return false;
}

}  // namespace platform
