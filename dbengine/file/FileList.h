#pragma once
// The shared file objects of the process and their registry.
//
// Each table file is one object per name and kind in the process: a memory file (the in-memory
// database) or a physical file (one operating-system handle for all handles of the process).
// Handles are numbers given out by the object. Results of the registry are handle numbers, 0,
// or minus an engine error code.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbengine/os/OSLayer.h"
#include "framework/core/Object.h"

namespace dbengine {

// Called during copies with the caller's data and the percent copied so far.
using TCopyProgressCallback = std::function<void(void* data, int percent)>;

class TAbstractFile : public framework::TObject {
public:
    struct THandleEntry {
        int32_t HandleNo;
        int64_t Position;
    };
    struct TLockEntry {
        int64_t First;
        int64_t Last;  // First + Length - 1
        int64_t Length;
    };

    explicit TAbstractFile(std::string fileName) : FileName(std::move(fileName)) {}

    virtual bool IsMemory() const = 0;
    // Index of the handle entry, or -1.
    int FindHandle(int32_t handleNo);
    virtual int64_t GetSize();
    // A new, empty file held by one new handle; result the handle number or minus a code.
    virtual int32_t CreateNew() = 0;
    virtual int32_t OpenHandle();
    virtual void CloseHandle(int32_t handleNo);
    virtual int32_t Rename(const std::string& newName);
    virtual int32_t Delete();
    // Bytes transferred, -1 on failure; a write of 0 bytes sets the end of the file at the
    // handle's position.
    virtual int32_t Read(int32_t handleNo, void* buffer, uint32_t count) = 0;
    virtual int32_t Write(int32_t handleNo, const void* buffer, uint32_t count) = 0;
    virtual bool Flush();
    // The new position, or -1 when the handle is unknown or the seek failed.
    virtual int64_t Seek(int32_t handleNo, int origin, int64_t offset);
    virtual bool LockRange(int64_t offset, int64_t length);
    virtual bool UnlockRange(int64_t offset, int64_t length);
    // Copies `count` stored bytes from `offset` of the file's first page without a system call,
    // as another process wrote them; false when the file offers no such look (the caller reads).
    virtual bool PeekStart(int64_t offset, void* buffer, uint32_t count);

    TEngineCriticalSection Lock;
    bool Exclusive = false;
    bool ReadOnly = false;
    bool ReadOnlyByAttribute = false;
    bool Temporary = false;
    std::string FileName;
    int64_t Size = 0;
    std::vector<TLockEntry> Locks;
    uint16_t HandleCount = 0;
    std::vector<THandleEntry> Handles;
    int32_t LastHandleNo = 0;

protected:
    int32_t AddHandle();
};

class TMemoryFile : public TAbstractFile {
public:
    using TAbstractFile::TAbstractFile;
    bool IsMemory() const override { return true; }
    int32_t CreateNew() override;
    int32_t Read(int32_t handleNo, void* buffer, uint32_t count) override;
    int32_t Write(int32_t handleNo, const void* buffer, uint32_t count) override;

    int64_t Capacity() const { return BlockCapacity; }

private:
    // Sizes below 1 free the block; else it grows in 4 KiB steps, zero-filled, never shrinking.
    void SetBlockSize(int64_t size);

    std::unique_ptr<uint8_t[]> Block;
    int64_t BlockCapacity = 0;
};

class TPhysicalFile : public TAbstractFile {
public:
    using TAbstractFile::TAbstractFile;
    ~TPhysicalFile() override;
    bool IsMemory() const override { return false; }
    int64_t GetSize() override;
    int32_t CreateNew() override;
    int32_t OpenHandle() override;
    void CloseHandle(int32_t handleNo) override;
    int32_t Rename(const std::string& newName) override;
    int32_t Delete() override;
    int32_t Read(int32_t handleNo, void* buffer, uint32_t count) override;
    int32_t Write(int32_t handleNo, const void* buffer, uint32_t count) override;
    bool Flush() override;
    int64_t Seek(int32_t handleNo, int origin, int64_t offset) override;
    bool LockRange(int64_t offset, int64_t length) override;
    bool UnlockRange(int64_t offset, int64_t length) override;
    bool PeekStart(int64_t offset, void* buffer, uint32_t count) override;

    TOSHandle OSHandle = OSInvalidHandle;

    // The part of the file PeekStart looks at: it holds every table file's header counters.
    static constexpr uint32_t StartViewSize = 4096;

private:
    void DropStartView();

    const uint8_t* StartView = nullptr;
    uint32_t StartViewLength = 0;
    bool StartViewRefused = false;  // until the file is opened again
};

class TFileList : public framework::TObject {
public:
    int32_t CreateFile(const std::string& name, bool inMemory, bool temporary,
                       TAbstractFile** file = nullptr);
    int32_t OpenFile(const std::string& name, bool inMemory, bool exclusive, bool temporary, bool& readOnly,
                     bool& readOnlyByAttribute, TAbstractFile*& file);
    int32_t CloseFile(TAbstractFile* file, bool inMemory, int32_t handleNo);
    int32_t RenameFile(const std::string& name, bool inMemory, const std::string& newName);
    int32_t DeleteFile(const std::string& name, bool inMemory);
    bool FileExists(const std::string& name, bool inMemory);
    int32_t CopyTo(TAbstractFile* source, int32_t sourceHandle, int progressStep,
                   const TCopyProgressCallback& callback, void* callbackData, bool compress,
                   const std::string& destName, bool inMemory);
    int32_t CopyFrom(TAbstractFile* target, int32_t targetHandle, int progressStep,
                     const TCopyProgressCallback& callback, void* callbackData, bool compress,
                     const std::string& sourceName, bool inMemory);

    // The listed object of that name and kind, or null (for tests and diagnostics).
    TAbstractFile* Find(const std::string& name, bool inMemory);
    size_t Count();

private:
    bool Listed(TAbstractFile* file) const;
    void Remove(TAbstractFile* file);
    int32_t Copy(TAbstractFile* from, int32_t fromHandle, TAbstractFile* to, int32_t toHandle,
                 int progressStep, const TCopyProgressCallback& callback, void* callbackData, bool compress);

    TEngineCriticalSection ListLock;
    std::vector<std::unique_ptr<TAbstractFile>> Files;
};

// The process-wide registry: exists from the engine library's start to its stop; null outside.
TFileList* EngineFileList();
void CreateEngineFileList();
void FreeEngineFileList();

// Whether the file exists in the registry (or, with none, on disk for a file not in memory).
bool EngineFileExists(const std::string& name, bool inMemory);
// A name in the folder that no file has yet: thread digits, a counter, the suffix.
std::string MakeTempFileName(std::string_view dir, std::string_view suffix, bool inMemory);

}  // namespace dbengine
