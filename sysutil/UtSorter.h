#pragma once
// TUtSorter: sorts any number of fixed-length records by a caller's compare function within a
// fixed amount of memory. Full runs are sorted in memory and spilled to merge files; the first Get
// sorts the last run and, when runs were spilled, merges the files five at a time until at most
// five remain, whose records are then delivered in order.
//
// Merge files are named "SOR<n>.TMP" (n = 1, 2, ...) and hold nothing but whole records in sorted
// order. They live in a folder of their own that each sorter creates (exclusively, with a name
// not used before) under the temporary folder on its first spill, so that two sorters never
// touch each other's files or a user's file of the same name; every file is created new. The
// destructor deletes the files and the folder on every path, also after an error.
//
// Failures raise EUtSortError with the code of the St table (see UtConst.h).

#include <cstdint>
#include <memory>
#include <string>

#include "framework/core/Object.h"
#include "framework/core/SyncObjects.h"
#include "platform/Files.h"

namespace sysutil {

// Negative when the first record sorts before the second, zero when equal, positive otherwise.
// It must not keep the addresses, which point into the sorter's buffers.
using TUtCompareFunc = int32_t (*)(const void* first, const void* second);

// Bytes to give TUtSorter so that a run holds recCount records: recLen x (max(recCount, 6) + 2).
// Raises code 53 when that does not fit a signed 32-bit integer.
int32_t SortBufferSize(uint32_t recLen, int32_t recCount);

class TUtSorter : public framework::TObject {
public:
    // Raises code 53 "Bad size parameter" for recLen 0, memory not positive, or memory for fewer
    // than 6 records. When the buffer cannot be had, memory is halved until it can (or until it
    // would hold fewer than 6 records: then out of memory).
    TUtSorter(int32_t memory, uint32_t recLen);
    ~TUtSorter() override;
    TUtSorter(const TUtSorter&) = delete;
    TUtSorter& operator=(const TUtSorter&) = delete;

    TUtCompareFunc Compare() const { return FCompare; }
    // Code 63 when the function would change after a record was put, or to nil; setting the same
    // function again is always accepted.
    void SetCompare(TUtCompareFunc f);

    // Copies RecLen bytes from record. Code 76 after records were delivered.
    void Put(const void* record);
    // Copies the next record in ascending order and returns true; false when all were delivered
    // or none was put.
    bool Get(void* record);

    uint32_t RecLen() const { return FRecLen; }
    int64_t RunCapacity() const { return FBufRecs - 2; }
    int64_t TotalCount() const { return FTotalCount; }
    int32_t FilesCreated() const { return FFilesCreated; }
    // The private folder of the merge files (Windows form, final backslash); empty until the
    // first spill.
    const std::string& MergeFolder() const { return FFolder; }
    std::string MergeFileName(int32_t number) const;

private:
    struct TInput {
        int32_t FileNo = 0;
        platform::HANDLE Handle = platform::INVALID_HANDLE_VALUE;
        uint32_t Count = 0;     // bytes in the buffer
        uint32_t Position = 0;  // read position in the buffer
        char* Buffer = nullptr;
        char* Current = nullptr;
    };

    char* Rec(int64_t index) const { return FBuffer.get() + index * static_cast<int64_t>(FRecLen); }
    void Swap(int64_t a, int64_t b);
    void SortRun(int64_t left, int64_t right);
    void EnsureFolder();
    platform::HANDLE CreateMergeFile();
    void WriteBlock(platform::HANDLE handle, const char* data, uint32_t bytes);
    void WriteRun();
    void ReduceFiles();
    void OpenInputs();
    void Advance(int slot);
    int SelectSmallest() const;
    void MergeInto(platform::HANDLE output);
    void CloseInput(TInput& input, bool remove);
    void RemoveEverything() noexcept;

    uint32_t FRecLen;
    TUtCompareFunc FCompare = nullptr;
    std::unique_ptr<char[]> FBuffer;
    int64_t FBufRecs = 0;
    uint32_t FMergeBufSize = 0;
    int64_t FRunCount = 0;
    int64_t FTotalCount = 0;
    int64_t FNextIndex = 0;
    int FState = 0;  // 0 new, 1 putting, 2 getting
    int32_t FFilesCreated = 0;
    int32_t FFilesConsumed = 0;
    TInput FInputs[5];
    int FOpenInputs = 0;
    platform::HANDLE FOutput = platform::INVALID_HANDLE_VALUE;
    std::string FFolder;
    framework::TCriticalSection FLock;
};

}  // namespace sysutil
