#pragma once
// The engine-side view of one table file (data, index or BLOB file): its name and open options,
// a handle number on the shared file object, and every failure turned into an engine error
// whose table item is the file name.
//
// Positioned transfers follow one rule: enter the file's lock, seek, transfer, leave the lock
// (also on failure), because a physical file has one position for the whole process. ReadAt
// and WriteAt do exactly that.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dbengine/file/FileList.h"
#include "framework/core/Object.h"

namespace dbengine {

class TFileHandler : public framework::TObject {
public:
    TFileHandler() = default;
    ~TFileHandler() override;
    TFileHandler(const TFileHandler&) = delete;
    TFileHandler& operator=(const TFileHandler&) = delete;

    virtual void OpenFile();
    virtual void CloseFile();
    // A new, empty file held exclusively by this handler.
    virtual void CreateFile();
    virtual void DeleteFile();
    virtual void RenameFile(const std::string& newName);
    virtual void CopyToFile(const std::string& destName, bool compress, uint16_t progressStep,
                            const TCopyProgressCallback& callback, void* callbackData);
    virtual void CopyFromFile(const std::string& sourceName, bool compress, uint16_t progressStep,
                              const TCopyProgressCallback& callback, void* callbackData);
    // Reads at the current position; fewer bytes than asked raise 9217 unless allowShort.
    virtual uint32_t ReadBuffer(void* buffer, uint32_t count, bool allowShort = false);
    // Writes at the current position; a short or failed write raises 9218. A count of 0 writes
    // nothing: setting the end of the file is TruncateFile's alone.
    virtual void WriteBuffer(const void* buffer, uint32_t count);
    // Sets the end of the file at the current position; a failure raises 9218.
    virtual void TruncateFile();
    virtual void FlushFile();
    // Lock (true) or unlock (false) a byte range; false when no file is held. Never raises.
    bool LockFileRange(bool lock, int64_t offset, int64_t length);
    // The new position; 0 when no file is held, -1 when the seek failed.
    int64_t SeekFile(int origin, int64_t offset);
    int64_t GetFileSize();
    bool FileExists();
    void EnterFileLock();
    void LeaveFileLock();

    // The whole calling rule in one call; a failed seek raises 9217 or 9218 like the transfer.
    uint32_t ReadAt(int64_t offset, void* buffer, uint32_t count, bool allowShort = false);
    void WriteAt(int64_t offset, const void* buffer, uint32_t count);
    // The stored bytes of a range of the file's start (its header), as any process last wrote
    // them, taken without a system call; false where the file offers no such look (an in-memory
    // file, one not open, a range past the start): the caller then reads.
    bool PeekStored(int64_t offset, void* buffer, uint32_t count);
    // Whether such a look shows the little-endian 32-bit `value` at `offset` (false also when
    // there is no look to take).
    bool PeekStoredCounterIs(int64_t offset, int32_t value);

    // From BeginWriteJournal on, every WriteAt first keeps the bytes it is about to replace (as
    // far as they lie within the file's length at the start), so that TakeBackWrites can put the
    // file back as it was, byte for byte. EndWriteJournal forgets them. The file's length is taken
    // at the first change, and bytes the journal already knows are not read again: the image of a
    // range noted with NoteStoredBytes while it is trusted, and what ReadAt returned before the
    // journal's first write.
    void BeginWriteJournal();
    void EndWriteJournal();
    bool Journaling() const { return JournalOn; }
    // Keeps, for a journal, the bytes of ranges about to be written (offset, length), reading
    // neighbours a small gap apart in one go; what cannot be read here is read at the write.
    void KeepBeforeWrites(std::vector<std::pair<int64_t, uint32_t>>& ranges);
    // Whether a write was tried since the journal began.
    bool JournalWrote() const { return JournalOn && Wrote; }
    // Writes the kept bytes back, newest first, cuts the file to its length at the start and ends
    // the journal. False when a step failed (the file may then differ from before).
    bool TakeBackWrites() noexcept;

    // The bytes just read from (or written to) one range of the file, typically its header. The
    // image follows this handler's writes to exactly that range and is dropped by any other
    // change of it. Only the owner knows whether another process may have changed the file since:
    // it trusts the image while it holds the file's write lock (TrustStoredBytes) and withdraws
    // the trust when it lets the lock go.
    void NoteStoredBytes(int64_t offset, const void* bytes, uint32_t count);
    void TrustStoredBytes(bool trusted) { ImageTrusted = trusted; }

    bool InMemory = false;
    TAbstractFile* File = nullptr;  // not owned
    std::string FileName;
    int32_t HandleNo = 0;
    bool Exclusive = false;
    bool ReadOnly = false;
    bool ReadOnlyByAttribute = false;
    bool IsOpen = false;
    bool Temporary = false;

private:
    [[noreturn]] void Raise(int32_t code);
    void KeepBeforeWrite(int64_t offset, uint32_t count);
    void KeepKnownBytes(int64_t offset, const uint8_t* bytes, uint32_t count);
    // Whether every byte of the range has its image kept already (by one range or several).
    bool KeptAlready(int64_t offset, uint32_t length) const;
    void AddKept(int64_t offset, std::vector<uint8_t> bytes);
    void ForgetKept();
    // Takes the file's length for the journal before its first change.
    void StartJournalLength();

    struct TKeptBytes {
        int64_t Offset;
        std::vector<uint8_t> Bytes;
    };
    bool JournalOn = false;
    bool Wrote = false;
    int64_t JournalLength = -1;    // -1 until the first change
    std::vector<TKeptBytes> Kept;  // in the order kept
    // The bytes Kept covers as disjoint ranges, start to end, so that a look-up is logarithmic
    // however many ranges a large commit keeps.
    std::map<int64_t, int64_t> KeptCover;
    // Reads larger than this are not kept for the journal (it reads what it needs at the write).
    static constexpr uint32_t MaxKeptRead = 64 * 1024;
    // Ranges at most this far apart are read together by KeepBeforeWrites.
    static constexpr int64_t MaxJoinedGap = 16 * 1024;

    int64_t ImageOffset = 0;
    std::vector<uint8_t> Image;
    bool ImageValid = false;
    bool ImageTrusted = false;
};

// Holds a file object's lock for its lifetime, leaving it on every path.
class TFileLockScope {
public:
    explicit TFileLockScope(TFileHandler& handler) : Handler(handler) { Handler.EnterFileLock(); }
    ~TFileLockScope() { Handler.LeaveFileLock(); }
    TFileLockScope(const TFileLockScope&) = delete;
    TFileLockScope& operator=(const TFileLockScope&) = delete;

private:
    TFileHandler& Handler;
};

}  // namespace dbengine
