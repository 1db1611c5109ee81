#pragma once
// The system's cabinet library: a decompression interface that tells what a cabinet holds and
// copies files out of it through callbacks of the caller, and the entry points of a compression
// interface, which this system cannot offer (they fail and say so in the error record).
//
// The library reads the cabinet through the caller's file callbacks only, so the caller's file
// layer (sharing modes, Windows-form names) applies to it. A cabinet name handed to the library is
// the cabinet path with the name appended, as given.

#include <cstdint>
#include <string>

namespace platform {

using HFDI = std::intptr_t;
using HFCI = std::intptr_t;

// Error record shared by the library and its caller.
struct ERF {
    int32_t erfOper = 0;  // error code (FDIERROR_… or FCIERR_…)
    int32_t erfType = 0;  // system error code, when one applies
    bool fError = false;
};

enum : int32_t {
    FDIERROR_NONE = 0,
    FDIERROR_CABINET_NOT_FOUND = 1,
    FDIERROR_NOT_A_CABINET = 2,
    FDIERROR_UNKNOWN_CABINET_VERSION = 3,
    FDIERROR_CORRUPT_CABINET = 4,
    FDIERROR_ALLOC_FAIL = 5,
    FDIERROR_BAD_COMPR_TYPE = 6,
    FDIERROR_MDI_FAIL = 7,
    FDIERROR_TARGET_FILE = 8,
    FDIERROR_RESERVE_MISMATCH = 9,
    FDIERROR_WRONG_CABINET = 10,
    FDIERROR_USER_ABORT = 11,
};
enum : int32_t { FCIERR_NONE = 0, FCIERR_OPEN_SRC = 1, FCIERR_NOT_SUPPORTED = 10 };

// What the decompression interface reports of one cabinet.
struct FDICABINETINFO {
    int32_t cbCabinet = 0;  // cabinet size in bytes
    uint16_t cFolders = 0;
    uint16_t cFiles = 0;
    uint16_t setID = 0;
    uint16_t iCabinet = 0;  // number of this cabinet in its set, from 0
    bool fReserve = false;  // the header carries reserved areas
    bool hasprev = false;
    bool hasnext = false;
};

enum FDINOTIFICATIONTYPE : int32_t {
    fdintCABINET_INFO = 0,     // psz1 next cabinet, psz2 next disk, psz3 cabinet path
    fdintPARTIAL_FILE = 1,     // psz1 file, psz2 first cabinet of the file, psz3 its disk
    fdintCOPY_FILE = 2,        // psz1 file; answer a handle to copy, 0 to skip, -1 to stop
    fdintCLOSE_FILE_INFO = 3,  // psz1 file, hf the handle given for it; answer true or false
    fdintNEXT_CABINET = 4,     // psz1 next cabinet, psz2 next disk, psz3 cabinet path
    fdintENUMERATE = 5,
};

struct FDINOTIFICATION {
    int32_t cb = 0;  // uncompressed size of the file
    const char* psz1 = nullptr;
    const char* psz2 = nullptr;
    const char* psz3 = nullptr;
    void* pv = nullptr;  // the caller's user pointer
    std::intptr_t hf = 0;
    uint16_t date = 0;  // DOS date and time
    uint16_t time = 0;
    uint16_t attribs = 0;
    uint16_t setID = 0;
    uint16_t iCabinet = 0;
    uint16_t iFolder = 0;  // raw folder index of the file entry (0xFFFD..0xFFFF for continued files)
    int32_t fdie = 0;
};

// Parameters for building a cabinet.
struct CCAB {
    uint32_t cb = 0;                 // size limit of a cabinet
    uint32_t cbFolderThresh = 0;     // size limit of a folder
    uint32_t cbReserveCFHeader = 0;  // reserved areas
    uint32_t cbReserveCFFolder = 0;
    uint32_t cbReserveCFData = 0;
    int32_t iCab = 0;   // cabinet number, from 1
    int32_t iDisk = 0;  // disk number
    bool fFailOnIncompressible = false;
    uint16_t setID = 0;
    std::string szDisk;
    std::string szCab;
    std::string szCabPath;
};

// File callbacks use handles of the caller's choosing; the library opens cabinets with the flags
// of the caller's simple open call for reading with share-deny-none (kCabinetOpenFlags).
using PFNALLOC = void* (*)(uint32_t cb);
using PFNFREE = void (*)(void* pv);
using PFNOPEN = std::intptr_t (*)(const char* fileName, int32_t oflag, int32_t pmode);
using PFNREAD = uint32_t (*)(std::intptr_t hf, void* pv, uint32_t cb);
using PFNWRITE = uint32_t (*)(std::intptr_t hf, const void* pv, uint32_t cb);
using PFNCLOSE = int32_t (*)(std::intptr_t hf);
using PFNSEEK = int32_t (*)(std::intptr_t hf, int32_t dist, int32_t seekType);
using PFNFDINOTIFY = std::intptr_t (*)(FDINOTIFICATIONTYPE type, FDINOTIFICATION* notification);
using PFNFDIDECRYPT = int32_t (*)(void* decrypt);

constexpr int32_t kCabinetOpenFlags = 0x40;  // read, share-deny-none
constexpr int32_t cpuUNKNOWN = -1;

HFDI FDICreate(PFNALLOC alloc, PFNFREE free, PFNOPEN open, PFNREAD read, PFNWRITE write, PFNCLOSE close,
               PFNSEEK seek, int32_t cpuType, ERF* erf);
// Tests the file open on `hf` (from its start) and fills the information; the handle stays open.
bool FDIIsCabinet(HFDI context, std::intptr_t hf, FDICABINETINFO* info);
// Walks the files of the cabinet `cabinetPath` + `cabinetName` in their stored order, asking the
// notification callback what to do with each.
bool FDICopy(HFDI context, const char* cabinetName, const char* cabinetPath, int32_t flags,
             PFNFDINOTIFY notify, PFNFDIDECRYPT decrypt, void* user);
bool FDIDestroy(HFDI context);

// Building cabinets is not supported on this system: FCICreate answers no context and sets the
// error record (FCIERR_NOT_SUPPORTED); the other calls fail.
using PFNFCIFILEPLACED = int32_t (*)(CCAB*, const char*, int32_t, bool, void*);
using PFNFCIGETNEXTCABINET = bool (*)(CCAB*, uint32_t, void*);
using PFNFCISTATUS = int32_t (*)(uint32_t, uint32_t, uint32_t, void*);
using PFNFCIGETOPENINFO = std::intptr_t (*)(const char*, uint16_t*, uint16_t*, uint16_t*, int32_t*, void*);
using PFNFCIDELETE = int32_t (*)(const char*, int32_t*, void*);
using PFNFCIGETTEMPFILE = bool (*)(char*, int32_t, void*);
HFCI FCICreate(ERF* erf, PFNFCIFILEPLACED filePlaced, PFNALLOC alloc, PFNFREE free, PFNOPEN open,
               PFNREAD read, PFNWRITE write, PFNCLOSE close, PFNSEEK seek, PFNFCIDELETE del,
               PFNFCIGETTEMPFILE tempFile, CCAB* params, void* user);
bool FCIAddFile(HFCI context, const char* source, const char* name, bool execute, PFNFCIGETNEXTCABINET next,
                PFNFCISTATUS status, PFNFCIGETOPENINFO openInfo, uint16_t compression);
bool FCIFlushCabinet(HFCI context, bool getNextCab, PFNFCIGETNEXTCABINET next, PFNFCISTATUS status);
bool FCIFlushFolder(HFCI context, PFNFCIGETNEXTCABINET next, PFNFCISTATUS status);
bool FCIDestroy(HFCI context);

// Number of decompression contexts alive (for tests that check nothing is left open).
int32_t OpenFdiContexts();

}  // namespace platform
