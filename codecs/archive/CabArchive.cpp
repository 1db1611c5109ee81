#include "codecs/archive/CabArchive.h"

#include <cstdlib>
#include <memory>

#include "codecs/archive/ArcErrors.h"
#include "codecs/archive/ArcUtils.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/ProgramFolder.h"
#include "platform/SimpleFiles.h"

namespace codecs {

namespace {

// ---- memory and file callbacks of both library interfaces ----------------------------------------

void* CabAlloc(uint32_t cb) {
    if (static_cast<int32_t>(cb) <= 0) return nullptr;
    return std::malloc(cb);
}
void CabFree(void* pv) {
    std::free(pv);
}
std::intptr_t CabOpen(const char* fileName, int32_t oflag, int32_t) {
    return platform::_lopen(fileName, oflag);
}
uint32_t CabRead(std::intptr_t hf, void* pv, uint32_t cb) {
    return platform::_lread(static_cast<platform::HFILE>(hf), pv, cb);
}
uint32_t CabWrite(std::intptr_t hf, const void* pv, uint32_t cb) {
    return platform::_lwrite(static_cast<platform::HFILE>(hf), pv, cb);
}
int32_t CabClose(std::intptr_t hf) {
    return platform::_lclose(static_cast<platform::HFILE>(hf));
}
int32_t CabSeek(std::intptr_t hf, int32_t dist, int32_t seekType) {
    return platform::_llseek(static_cast<platform::HFILE>(hf), dist, seekType);
}

// Attribute flag of an entry whose name is stored as UTF-8 rather than in the OEM code page.
constexpr uint16_t kNameIsUtf8 = 0x80;

// An entry's name in the system's code page: names flagged as UTF-8 are converted as ZIP UTF-8
// names are; others are passed on as stored.
std::string EntryName(const platform::FDINOTIFICATION* n) {
    const std::string stored = n->psz1 ? n->psz1 : "";
    return (n->attribs & kNameIsUtf8) ? platform::Utf8ToAnsi(stored) : stored;
}
// An entry's attributes without the name's encoding flag, which is no file attribute.
uint16_t EntryAttributes(const platform::FDINOTIFICATION* n) {
    return static_cast<uint16_t>(n->attribs & ~kNameIsUtf8);
}

// The listing notification: every entry becomes an item; nothing is copied.
std::intptr_t ListNotify(platform::FDINOTIFICATIONTYPE type, platform::FDINOTIFICATION* n) {
    auto* archive = static_cast<TArcCabArchive*>(n->pv);
    switch (type) {
        case platform::fdintCABINET_INFO:
            archive->SetID = n->setID;
            archive->CurrentCab = n->iCabinet;
            archive->NextCabinet = n->psz1 ? n->psz1 : "";
            archive->NextDisk = n->psz2 ? n->psz2 : "";
            return 0;
        case platform::fdintPARTIAL_FILE:
        case platform::fdintCOPY_FILE: {
            auto item = std::make_unique<TArcCabItem>();
            item->SetStoredName(EntryName(n));
            item->SetUnpackedSize(static_cast<uint32_t>(n->cb));
            item->SetDosDate(n->date);
            item->SetDosTime(n->time);
            item->SetAttributes(EntryAttributes(n));
            item->SetEncrypted(false);
            item->StartsInPreviousCabinet = type == platform::fdintPARTIAL_FILE;
            archive->ItemList->Add(item.release());
            return 0;
        }
        default:
            return 1;
    }
}

bool FileExistsAt(const std::string& name) {
    uint32_t a = platform::GetFileAttributes(name);
    return a != platform::INVALID_FILE_ATTRIBUTES && !(a & platform::FILE_ATTRIBUTE_DIRECTORY);
}

// The file's date-time stamp from a DOS date and time, read as local time.
void SetHandleDosTime(platform::HFILE hf, uint16_t date, uint16_t time) {
    platform::FILETIME local, utc;
    if (platform::DosDateTimeToFileTime(date, time, local) && platform::LocalFileTimeToFileTime(local, utc))
        platform::SetFileTime(static_cast<platform::HANDLE>(hf), nullptr, nullptr, &utc);
}

std::intptr_t ExtractNotify(platform::FDINOTIFICATIONTYPE type, platform::FDINOTIFICATION* n) {
    auto* archive = static_cast<TArcCabArchive*>(n->pv);
    switch (type) {
        case platform::fdintCOPY_FILE: {
            const std::string name = EntryName(n);
            if (!archive->ActiveItem || name != archive->ActiveItem->GetStoredName()) return 0;
            std::string target = name;
            if (!(archive->ExtractOptions & eoRestorePath)) {
                size_t p = target.find_last_of("\\:");
                if (p != std::string::npos) target = target.substr(p + 1);
            }
            if (!archive->BaseDirectory.empty())
                target = WithTrailingBackslash(archive->BaseDirectory) + target;
            size_t slash = target.find_last_of('\\');
            std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash);
            if (!folder.empty() && !FolderExists(folder)) {
                if (archive->ExtractOptions & eoCreateDirs)
                    ForceDirectoryPath(folder);
                else
                    throw EArcNoSuchDirectory();
            }
            archive->ExtractTarget = target;
            if (!FileExistsAt(target)) {
                platform::HFILE created = platform::_lcreat(target, 0);
                archive->TargetOpen = created != platform::HFILE_ERROR;
                return created;  // HFILE_ERROR (-1) stops the copy, which is then reported
            }
            bool confirm = true;
            archive->DoConfirmOverwrite(target, confirm);
            if (!confirm) return 0;
            archive->ExtractTarget = target;
            platform::HFILE hf = platform::_lopen(target, platform::OF_WRITE | platform::OF_SHARE_DENY_NONE);
            if (hf == platform::HFILE_ERROR) return hf;
            platform::_lwrite(hf, nullptr, 0);  // a zero-byte write empties the file from its position
            archive->TargetOpen = true;
            return hf;
        }
        case platform::fdintCLOSE_FILE_INFO: {
            auto hf = static_cast<platform::HFILE>(n->hf);
            SetHandleDosTime(hf, n->date, n->time);
            platform::_lclose(hf);
            archive->TargetOpen = false;
            WriteFileAttributes(archive->ExtractTarget, EntryAttributes(n));
            return 1;
        }
        case platform::fdintNEXT_CABINET:
            return 1;
        default:
            return 0;
    }
}

}  // namespace

TArcCabArchive::TArcCabArchive(const std::string& fileName, int32_t mode) {
    Mode = mode & 1;
    Status = 0;
    ArchiveName = fileName;
    std::string program = platform::GetModuleFileName();
    size_t slash = program.find_last_of('\\');
    SetBaseDirectory(slash == std::string::npos ? std::string() : program.substr(0, slash + 1));
    Status = 1;
    size_t cut = fileName.find_last_of("\\:");
    CabName = cut == std::string::npos ? fileName : fileName.substr(cut + 1);
    CabPath = cut == std::string::npos ? std::string() : fileName.substr(0, cut + 1);
    SetSpanSize(0);
    FolderThreshold = 0;
    ActiveItem = nullptr;
    ItemBytesDone = 0;
}

TArcCabArchive::~TArcCabArchive() {
    CloseContexts();
}

void TArcCabArchive::SetSpanSize(int32_t value) {
    SpanSize = value > 0 ? value : 0;
    CabParams.cb = static_cast<uint32_t>(SpanSize);
}

void TArcCabArchive::SetSetID(uint16_t value) {
    SetID = value;
    CabParams.setID = value;
}

uint16_t TArcCabArchive::CompressionCode() const {
    switch (CompressionType) {
        case ctMsZip:
            return 1;
        case ctLzx:
            return 0x1203;  // LZX with an 18-bit window
        default:
            return 0;
    }
}

void TArcCabArchive::DoConfirmOverwrite(std::string& fileName, bool& confirm) {
    confirm = true;
    if (OnOverwriteQuery) OnOverwriteQuery(fileName, confirm);
}

void TArcCabArchive::CloseContexts() {
    if (FdiContext) {
        platform::FDIDestroy(FdiContext);
        FdiContext = 0;
    }
    if (FciContext) {
        platform::FCIFlushCabinet(FciContext, false, nullptr, nullptr);
        platform::FCIDestroy(FciContext);
        FciContext = 0;
    }
    bool abort = false;
    DoArchiveProgress(0, abort);
}

TArcArchiveItem* TArcCabArchive::CreateItem(const std::string& fileName) {
    auto item = std::make_unique<TArcCabItem>();
    item->SetPackedSize(0);
    item->SourcePath = platform::AnsiToOem(platform::GetFullPathName(fileName));
    item->SetStoredName(platform::AnsiToOem(FixName(fileName)));
    return item.release();
}

void TArcCabArchive::LoadArchive() {
    if (Mode == 1)
        PrepareCompression();
    else
        ListCabinet();
}

void TArcCabArchive::ListCabinet() {
    FdiContext = platform::FDICreate(CabAlloc, CabFree, CabOpen, CabRead, CabWrite, CabClose, CabSeek,
                                     platform::cpuUNKNOWN, &ErrorInfo);
    if (!FdiContext) throw EArcFDICreateError();
    CabFileHandle = platform::_lopen(ArchiveName, platform::OF_READ | platform::OF_SHARE_DENY_NONE);
    if (CabFileHandle <= 0) throw EArcReadError();
    bool isCabinet = platform::FDIIsCabinet(FdiContext, CabFileHandle, &CabInfo);
    platform::_lclose(CabFileHandle);
    if (!isCabinet) {
        CloseContexts();
        throw EArcInvalidCabFile();
    }
    CabSize = static_cast<uint32_t>(CabInfo.cbCabinet);
    FolderCount = CabInfo.cFolders;
    FileCount = CabInfo.cFiles;
    CurrentCab = CabInfo.iCabinet;
    HasPrev = CabInfo.hasprev;
    HasNext = CabInfo.hasnext;
    if (!platform::FDICopy(FdiContext, CabName.c_str(), CabPath.c_str(), 0, ListNotify, nullptr, this)) {
        CloseContexts();
        throw EArcFDICopyError();
    }
    bool abort = false;
    DoArchiveProgress(100, abort);
}

void TArcCabArchive::ExtractItemAt(int index) {
    ActiveItem = static_cast<TArcCabItem*>(ItemList->Get(index));
    TargetOpen = false;
    if (!FdiContext ||
        !platform::FDICopy(FdiContext, CabName.c_str(), CabPath.c_str(), 0, ExtractNotify, nullptr, this)) {
        // The library has closed the target it was writing; what it holds is not the entry.
        if (TargetOpen) platform::DeleteFile(ExtractTarget);
        TargetOpen = false;
        DoProcessItemFailure(ActiveItem, ptExtract, ecCabinetError, 0);
    }
}

void TArcCabArchive::PrepareCompression() {
    CabParams.cb = SpanSize > 0 ? static_cast<uint32_t>(SpanSize) : 0;
    CabParams.cbFolderThresh = FolderThreshold > 0 ? static_cast<uint32_t>(FolderThreshold) : 0;
    CabParams.cbReserveCFHeader = CabParams.cbReserveCFFolder = CabParams.cbReserveCFData = 0;
    CabParams.iCab = 1;
    CabParams.iDisk = 0;
    CabParams.fFailOnIncompressible = false;
    CabParams.szDisk.clear();
    CabParams.szCab = CabName;
    CabParams.szCabPath = CabPath;
    FciContext = platform::FCICreate(&ErrorInfo, nullptr, CabAlloc, CabFree, CabOpen, CabRead, CabWrite,
                                     CabClose, CabSeek, nullptr, nullptr, &CabParams, this);
    if (!FciContext && ErrorInfo.fError) {
        CloseContexts();
        if (ErrorInfo.erfOper == platform::FCIERR_NOT_SUPPORTED)
            throw EArcFCICreateError("Building cabinets is not supported");
        throw EArcFCICreateError();
    }
}

void TArcCabArchive::Add(TArcArchiveItem* item) {
    std::unique_ptr<TArcArchiveItem> owned(item);
    if (Mode == 0) {
        DoProcessItemFailure(item, ptAdd, ecCabinetError, 0);
        return;
    }
    CheckOpen();
    if (ItemList->IsActiveDuplicate(item->GetStoredName())) throw EArcDuplicateName();
    bool confirm = true;
    DoConfirmProcessItem(item, ptAdd, confirm);
    if (!confirm) return;
    item->PendingAction = paAdd;
    platform::HFILE hf =
        platform::_lopen(item->GetStoredName(), platform::OF_READ | platform::OF_SHARE_DENY_NONE);
    if (hf == platform::HFILE_ERROR) throw EArcFileNotFound();
    int32_t size = platform::_llseek(hf, 0, 2);
    item->SetUnpackedSize(static_cast<uint32_t>(size < 0 ? 0 : size));
    ActiveItem = dynamic_cast<TArcCabItem*>(item);
    ItemList->Add(owned.release());
    platform::_lclose(hf);
    std::string source = item->GetStoredName();
    size_t p = source.find_last_of("\\:");
    std::string nameInCab = p == std::string::npos ? source : source.substr(p + 1);
    if (!platform::FCIAddFile(FciContext, source.c_str(), nameInCab.c_str(), false, nullptr, nullptr, nullptr,
                              CompressionCode()))
        throw EArcFCIAddFileError();
}

void TArcCabArchive::SaveArchive() {
    if (FciContext) platform::FCIFlushCabinet(FciContext, false, nullptr, nullptr);
}

}  // namespace codecs
