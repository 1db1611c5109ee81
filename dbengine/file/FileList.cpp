#include "dbengine/file/FileList.h"

#include <algorithm>
#include <cstring>

#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "platform/Process.h"

namespace dbengine {

namespace {

// Chunk size of whole-file copies.
constexpr uint32_t CopyChunkSize = 65536;
// Memory blocks grow in steps of this many bytes.
constexpr int64_t MemoryBlockGranularity = 4096;

std::unique_ptr<TFileList> TheFileList;

int32_t MinusOSError() {
    return -static_cast<int32_t>(OSErrorToEngineError());
}

}  // namespace

// ---- TAbstractFile: the behaviour shared by both kinds (that of a memory file) ----

int TAbstractFile::FindHandle(int32_t handleNo) {
    TEngineLockGuard guard(Lock);
    if (HandleCount == 0) return -1;
    for (size_t i = 0; i < Handles.size(); ++i)
        if (Handles[i].HandleNo == handleNo) return static_cast<int>(i);
    return -1;
}

int64_t TAbstractFile::GetSize() {
    TEngineLockGuard guard(Lock);
    return Size;
}

int32_t TAbstractFile::AddHandle() {
    Handles.push_back({++LastHandleNo, 0});
    ++HandleCount;
    return LastHandleNo;
}

int32_t TAbstractFile::OpenHandle() {
    TEngineLockGuard guard(Lock);
    return AddHandle();
}

void TAbstractFile::CloseHandle(int32_t handleNo) {
    TEngineLockGuard guard(Lock);
    int i = FindHandle(handleNo);
    if (i < 0) return;
    Handles.erase(Handles.begin() + i);
    --HandleCount;
}

int32_t TAbstractFile::Rename(const std::string& newName) {
    TEngineLockGuard guard(Lock);
    FileName = newName;
    return 0;
}

int32_t TAbstractFile::Delete() {
    return 0;
}

bool TAbstractFile::Flush() {
    return true;
}

int64_t TAbstractFile::Seek(int32_t handleNo, int origin, int64_t offset) {
    TEngineLockGuard guard(Lock);
    int i = FindHandle(handleNo);
    if (i < 0) return -1;
    int64_t& position = Handles[i].Position;
    int64_t target = position;
    switch (origin) {
        case 0:
            target = offset;
            break;
        case 1:
            target = position + offset;
            break;
        case 2:
            target = Size + offset;
            break;
        default:
            break;
    }
    if (target < 0) return -1;  // before the start: refused, the position stays
    position = target;
    return position;
}

bool TAbstractFile::PeekStart(int64_t /*offset*/, void* /*buffer*/, uint32_t /*count*/) {
    return false;
}

bool TAbstractFile::LockRange(int64_t offset, int64_t length) {
    TEngineLockGuard guard(Lock);
    if (length <= 0) return false;
    int64_t last = offset + length - 1;
    for (const TLockEntry& e : Locks)
        if (offset <= e.Last && e.First <= last) return false;
    Locks.push_back({offset, last, length});
    return true;
}

bool TAbstractFile::UnlockRange(int64_t offset, int64_t length) {
    TEngineLockGuard guard(Lock);
    auto it = std::find_if(Locks.begin(), Locks.end(),
                           [&](const TLockEntry& e) { return e.First == offset && e.Length == length; });
    if (it == Locks.end()) return false;
    Locks.erase(it);
    return true;
}

// ---- TMemoryFile ----

void TMemoryFile::SetBlockSize(int64_t size) {
    if (size < 1) {
        Block.reset();
        BlockCapacity = 0;
        return;
    }
    // A file that grows write by write takes a block twice as large, never one page more: growing
    // by a page copied the whole file each time.
    if (size > BlockCapacity) size = std::max(size, 2 * BlockCapacity);
    EnsureBufferSize(size, MemoryBlockGranularity, Block, BlockCapacity);
}

int32_t TMemoryFile::CreateNew() {
    TEngineLockGuard guard(Lock);
    SetBlockSize(0);
    Size = 0;
    Locks.clear();
    return AddHandle();
}

int32_t TMemoryFile::Read(int32_t handleNo, void* buffer, uint32_t count) {
    TEngineLockGuard guard(Lock);
    int i = FindHandle(handleNo);
    if (i < 0) return -1;
    int64_t& position = Handles[i].Position;
    if (position >= Size) return 0;
    int64_t n = std::min<int64_t>(count, Size - position);
    n = std::min<int64_t>(n, INT32_MAX);
    std::memcpy(buffer, Block.get() + position, static_cast<size_t>(n));
    position += n;
    return static_cast<int32_t>(n);
}

int32_t TMemoryFile::Write(int32_t handleNo, const void* buffer, uint32_t count) {
    TEngineLockGuard guard(Lock);
    int i = FindHandle(handleNo);
    if (i < 0) return -1;
    int64_t& position = Handles[i].Position;
    if (count == 0) {
        // The end of the file moves to the position: truncated or extended with zeros.
        if (position == 0) {
            SetBlockSize(0);
        } else if (position > BlockCapacity) {
            SetBlockSize(position);
        } else if (position < Size) {
            std::memset(Block.get() + position, 0, static_cast<size_t>(Size - position));
        }
        Size = position;
        return 0;
    }
    int64_t end = position + count;
    if (end > BlockCapacity) SetBlockSize(end);
    std::memcpy(Block.get() + position, buffer, count);
    position = end;
    if (end > Size) Size = end;
    return static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
}

// ---- TPhysicalFile ----

TPhysicalFile::~TPhysicalFile() {
    DropStartView();
    if (OSHandle != OSInvalidHandle) OSCloseFile(OSHandle);
}

void TPhysicalFile::DropStartView() {
    OSUnmapFileStart(StartView);
    StartView = nullptr;
    StartViewLength = 0;
    StartViewRefused = false;
}

bool TPhysicalFile::PeekStart(int64_t offset, void* buffer, uint32_t count) {
    if (offset < 0 || offset + count > StartViewSize) return false;
    TEngineLockGuard guard(Lock);
    if (StartView == nullptr) {
        // An empty file (one just made) is read the usual way until it is opened again.
        if (StartViewRefused || OSHandle == OSInvalidHandle) return false;
        StartView = OSMapFileStart(OSHandle, StartViewSize, StartViewLength);
        if (StartView == nullptr) {
            StartViewRefused = true;
            return false;
        }
    }
    // The view's pages follow the file as it grows; bytes past the length mapped are not looked at.
    if (offset + count > StartViewLength) return false;
    std::memcpy(buffer, StartView + offset, count);
    return true;
}

int64_t TPhysicalFile::GetSize() {
    TEngineLockGuard guard(Lock);
    if (OSHandle == OSInvalidHandle) return 0;
    int64_t position = OSSeek(OSHandle, 1, 0);
    int64_t size = OSSeek(OSHandle, 2, 0);
    if (position >= 0) OSSeek(OSHandle, 0, position);
    return size < 0 ? 0 : size;
}

int32_t TPhysicalFile::CreateNew() {
    TEngineLockGuard guard(Lock);
    DropStartView();
    if (OSHandle != OSInvalidHandle) {
        OSCloseFile(OSHandle);
        OSHandle = OSInvalidHandle;
    }
    OSHandle = OSCreateFile(FileName, Temporary);
    if (OSHandle == OSInvalidHandle) return MinusOSError();
    ReadOnly = false;
    ReadOnlyByAttribute = false;
    Size = 0;
    return AddHandle();
}

int32_t TPhysicalFile::OpenHandle() {
    TEngineLockGuard guard(Lock);
    if (HandleCount == 0) {
        ReadOnlyByAttribute = false;
        ReadOnly = false;
        int32_t attributes = OSFileAttributes(FileName);
        if (attributes == -1) return MinusOSError();
        if ((attributes & 0x01) != 0) {  // the read-only attribute
            ReadOnly = true;
            ReadOnlyByAttribute = true;
        }
        uint8_t sharing = Exclusive ? fmShareExclusive : fmShareDenyNone;
        OSHandle = OSOpenFile(
            FileName, static_cast<uint8_t>((ReadOnly ? fmOpenRead : fmOpenReadWrite) | sharing), Temporary);
        if (OSHandle == OSInvalidHandle && !ReadOnly) {
            OSHandle = OSOpenFile(FileName, static_cast<uint8_t>(fmOpenRead | sharing), Temporary);
            if (OSHandle != OSInvalidHandle) ReadOnly = true;
        }
        if (OSHandle == OSInvalidHandle) return MinusOSError();
    }
    return AddHandle();
}

void TPhysicalFile::CloseHandle(int32_t handleNo) {
    TEngineLockGuard guard(Lock);
    if (FindHandle(handleNo) < 0) return;
    TAbstractFile::CloseHandle(handleNo);
    if (HandleCount == 0) DropStartView();
    if (HandleCount == 0 && OSHandle != OSInvalidHandle) {
        OSCloseFile(OSHandle);
        OSHandle = OSInvalidHandle;
    }
}

int32_t TPhysicalFile::Rename(const std::string& newName) {
    TEngineLockGuard guard(Lock);
    if (!OSRenameFile(FileName, newName)) return MinusOSError();
    FileName = newName;
    return 0;
}

int32_t TPhysicalFile::Delete() {
    TEngineLockGuard guard(Lock);
    if (!OSDeleteFile(FileName)) return MinusOSError();
    return 0;
}

int32_t TPhysicalFile::Read(int32_t handleNo, void* buffer, uint32_t count) {
    TEngineLockGuard guard(Lock);
    if (FindHandle(handleNo) < 0 || OSHandle == OSInvalidHandle) return -1;
    return OSRead(OSHandle, buffer, count);
}

int32_t TPhysicalFile::Write(int32_t handleNo, const void* buffer, uint32_t count) {
    TEngineLockGuard guard(Lock);
    if (FindHandle(handleNo) < 0 || OSHandle == OSInvalidHandle) return -1;
    if (count == 0) return OSSetEndOfFile(OSHandle) ? 0 : -1;
    return OSWrite(OSHandle, buffer, count);
}

bool TPhysicalFile::Flush() {
    TEngineLockGuard guard(Lock);
    return OSHandle != OSInvalidHandle && OSFlushFile(OSHandle);
}

int64_t TPhysicalFile::Seek(int32_t handleNo, int origin, int64_t offset) {
    TEngineLockGuard guard(Lock);
    if (FindHandle(handleNo) < 0 || OSHandle == OSInvalidHandle) return -1;
    return OSSeek(OSHandle, origin, offset);
}

bool TPhysicalFile::LockRange(int64_t offset, int64_t length) {
    TEngineLockGuard guard(Lock);
    return OSHandle != OSInvalidHandle && length > 0 &&
           OSLockRange(OSHandle, static_cast<uint64_t>(offset), static_cast<uint64_t>(length));
}

bool TPhysicalFile::UnlockRange(int64_t offset, int64_t length) {
    TEngineLockGuard guard(Lock);
    return OSHandle != OSInvalidHandle && length > 0 &&
           OSUnlockRange(OSHandle, static_cast<uint64_t>(offset), static_cast<uint64_t>(length));
}

// ---- TFileList ----

TAbstractFile* TFileList::Find(const std::string& name, bool inMemory) {
    TEngineLockGuard guard(ListLock);
    std::string wanted = TrimText(name);
    for (auto& f : Files)
        if (f->IsMemory() == inMemory && SameNameText(TrimText(f->FileName), wanted)) return f.get();
    return nullptr;
}

size_t TFileList::Count() {
    TEngineLockGuard guard(ListLock);
    return Files.size();
}

bool TFileList::Listed(TAbstractFile* file) const {
    return std::any_of(Files.begin(), Files.end(), [&](auto& f) { return f.get() == file; });
}

void TFileList::Remove(TAbstractFile* file) {
    auto it = std::find_if(Files.begin(), Files.end(), [&](auto& f) { return f.get() == file; });
    if (it != Files.end()) Files.erase(it);
}

namespace {

// Objects keep the trimmed name: it is what they are matched by and what the system opens.
std::unique_ptr<TAbstractFile> NewFile(const std::string& name, bool inMemory) {
    if (inMemory) return std::make_unique<TMemoryFile>(TrimText(name));
    return std::make_unique<TPhysicalFile>(TrimText(name));
}

}  // namespace

int32_t TFileList::CreateFile(const std::string& name, bool inMemory, bool temporary, TAbstractFile** file) {
    TEngineLockGuard guard(ListLock);
    TAbstractFile* f = Find(name, inMemory);
    bool added = false;
    if (f != nullptr) {
        if (f->HandleCount > 0) return -DBE_OSEACCES;
    } else {
        Files.push_back(NewFile(name, inMemory));
        f = Files.back().get();
        added = true;
    }
    f->Exclusive = true;
    f->Temporary = temporary;
    int32_t result = f->CreateNew();
    if (result < 0) {
        if (added) Remove(f);
        return result;
    }
    if (file != nullptr) *file = f;
    return result;
}

int32_t TFileList::OpenFile(const std::string& name, bool inMemory, bool exclusive, bool temporary,
                            bool& readOnly, bool& readOnlyByAttribute, TAbstractFile*& file) {
    TEngineLockGuard guard(ListLock);
    file = nullptr;
    TAbstractFile* f = Find(name, inMemory);
    bool added = false;
    if (f != nullptr) {
        if (f->HandleCount > 0) {
            if (f->Exclusive || exclusive) return -DBE_OSEACCES;
        } else {
            f->Exclusive = exclusive;
            f->Temporary = temporary;
        }
    } else {
        if (inMemory) return -DBE_OSENOENT;
        Files.push_back(NewFile(name, false));
        f = Files.back().get();
        f->Exclusive = exclusive;
        f->Temporary = temporary;
        added = true;
    }
    int32_t result = f->OpenHandle();
    if (result < 0) {
        // A failed first open leaves nothing behind in the list.
        if (added || f->HandleCount == 0) Remove(f);
        return result;
    }
    readOnly = f->ReadOnly;
    readOnlyByAttribute = f->ReadOnlyByAttribute;
    file = f;
    return result;
}

int32_t TFileList::CloseFile(TAbstractFile* file, bool inMemory, int32_t handleNo) {
    TEngineLockGuard guard(ListLock);
    if (file == nullptr || !Listed(file) || file->HandleCount == 0 || file->IsMemory() != inMemory)
        return -DBE_OSENOENT;
    file->CloseHandle(handleNo);
    if (file->HandleCount > 0) return 0;
    if (!inMemory || file->Temporary) Remove(file);
    return 0;
}

int32_t TFileList::RenameFile(const std::string& name, bool inMemory, const std::string& newName) {
    TEngineLockGuard guard(ListLock);
    TAbstractFile* f = Find(name, inMemory);
    if (f != nullptr) {
        if (f->HandleCount > 0) return -DBE_OSEACCES;
        // Two memory files of one name would be one file found twice: the target must be free.
        TAbstractFile* target = Find(newName, inMemory);
        if (inMemory && target != nullptr && target != f) return -DBE_OSEACCES;
        if (!inMemory && target != nullptr && target != f) {
            if (target->HandleCount > 0) return -DBE_OSEACCES;
            Remove(target);  // a shell without handles; the file system decides
        }
        return f->Rename(TrimText(newName));
    }
    if (inMemory) return -DBE_OSENOENT;
    TAbstractFile* target = Find(newName, false);
    if (target != nullptr && target->HandleCount > 0) return -DBE_OSEACCES;
    TPhysicalFile transient(TrimText(name));
    return transient.Rename(TrimText(newName));
}

int32_t TFileList::DeleteFile(const std::string& name, bool inMemory) {
    TEngineLockGuard guard(ListLock);
    TAbstractFile* f = Find(name, inMemory);
    if (f != nullptr) {
        if (f->HandleCount > 0) return -DBE_OSEACCES;
        int32_t result = f->Delete();
        if (result == 0) Remove(f);
        return result;
    }
    if (inMemory) return -DBE_OSENOENT;
    TPhysicalFile transient(TrimText(name));
    return transient.Delete();
}

bool TFileList::FileExists(const std::string& name, bool inMemory) {
    TEngineLockGuard guard(ListLock);
    if (Find(name, inMemory) != nullptr) return true;
    return !inMemory && OSFileExists(TrimText(name));
}

int32_t TFileList::Copy(TAbstractFile* from, int32_t fromHandle, TAbstractFile* to, int32_t toHandle,
                        int progressStep, const TCopyProgressCallback& callback, void* callbackData,
                        bool compress) {
    std::vector<uint8_t> buffer(CopyChunkSize);
    int64_t size = from->Seek(fromHandle, 2, 0);
    if (size < 0 || from->Seek(fromHandle, 0, 0) != 0) return -DBE_READERR;
    if (to->Seek(toHandle, 0, 0) != 0) return -DBE_WRITEERR;
    int64_t done = 0;
    int lastPercent = 0;
    for (;;) {
        int32_t got = from->Read(fromHandle, buffer.data(), CopyChunkSize);
        if (got < 0) return -DBE_READERR;
        // An empty chunk is never written: a write of 0 bytes would set the end of the file.
        if (got > 0) {
            const uint8_t* data = buffer.data();
            uint32_t count = static_cast<uint32_t>(got);
            std::vector<uint8_t> packed;
            if (compress) {
                packed = CompressBuffer(data, count);
                data = packed.data();
                count = static_cast<uint32_t>(packed.size());
            }
            if (to->Write(toHandle, data, count) != static_cast<int32_t>(count)) return -DBE_WRITEERR;
            done += got;
            if (callback && size > 0) {
                int percent = static_cast<int>(done * 100 / size);
                if (percent >= lastPercent + progressStep) {
                    callback(callbackData, percent);
                    lastPercent = percent;
                }
            }
        }
        if (got < static_cast<int32_t>(CopyChunkSize)) break;
    }
    return 0;
}

int32_t TFileList::CopyTo(TAbstractFile* source, int32_t sourceHandle, int progressStep,
                          const TCopyProgressCallback& callback, void* callbackData, bool compress,
                          const std::string& destName, bool inMemory) {
    TEngineLockGuard guard(ListLock);
    TAbstractFile* dest = nullptr;
    int32_t destHandle = CreateFile(destName, inMemory, false, &dest);
    if (destHandle < 0) return destHandle;
    int32_t result;
    {
        TEngineLockGuard sourceGuard(source->Lock);
        result = Copy(source, sourceHandle, dest, destHandle, progressStep, callback, callbackData, compress);
    }
    // Closed on the object itself: it stays listed without handles.
    dest->CloseHandle(destHandle);
    return result;
}

int32_t TFileList::CopyFrom(TAbstractFile* target, int32_t targetHandle, int progressStep,
                            const TCopyProgressCallback& callback, void* callbackData, bool compress,
                            const std::string& sourceName, bool inMemory) {
    TEngineLockGuard guard(ListLock);
    bool readOnly = false, byAttribute = false;
    TAbstractFile* source = nullptr;
    int32_t sourceHandle = OpenFile(sourceName, inMemory, true, false, readOnly, byAttribute, source);
    if (sourceHandle < 0) return sourceHandle;
    int32_t result;
    {
        TEngineLockGuard targetGuard(target->Lock);
        result =
            Copy(source, sourceHandle, target, targetHandle, progressStep, callback, callbackData, compress);
    }
    CloseFile(source, inMemory, sourceHandle);
    return result;
}

TFileList* EngineFileList() {
    return TheFileList.get();
}

void CreateEngineFileList() {
    if (!TheFileList) TheFileList = std::make_unique<TFileList>();
}

void FreeEngineFileList() {
    TheFileList.reset();
}

bool EngineFileExists(const std::string& name, bool inMemory) {
    TFileList* list = EngineFileList();
    if (list != nullptr) return list->FileExists(name, inMemory);
    return !inMemory && OSFileExists(TrimText(name));
}

std::string MakeTempFileName(std::string_view dir, std::string_view suffix, bool inMemory) {
    std::string base = AddTrailingBackslash(dir);
    if (base.empty() && !dir.empty()) base = std::string(dir);
    std::string threadDigits = std::to_string(platform::GetCurrentThreadId()).substr(0, 5);
    for (uint32_t n = 0;; ++n) {
        std::string name = base + threadDigits + std::to_string(n) + std::string(suffix);
        if (!EngineFileExists(name, inMemory)) return name;
    }
}

}  // namespace dbengine
