#include "sysutil/UtSorter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <new>
#include <utility>

#include "platform/Paths.h"
#include "platform/Process.h"
#include "sysutil/UtConst.h"

namespace sysutil {
namespace {

constexpr int32_t kBadSize = 53;
constexpr int32_t kNotEnoughMemory = 8;
constexpr int32_t kNoCompare = 51;
constexpr int32_t kCompareLocked = 63;
constexpr int32_t kTooManyFiles = 71;
constexpr int32_t kCreateError = 72;
constexpr int32_t kOpenError = 73;
constexpr int32_t kWriteError = 74;
constexpr int32_t kReadError = 75;
constexpr int32_t kWrongState = 76;
constexpr int kMergeOrder = 5;
constexpr int32_t kMaxFileNo = 2147483647;
// Names tried for the private folder before creating it is given up.
constexpr int kFolderAttempts = 100;

std::atomic<uint32_t> folderSerial{0};

class TLockGuard {
public:
    explicit TLockGuard(framework::TCriticalSection& lock) : FLock(lock) { FLock.Acquire(); }
    ~TLockGuard() { FLock.Release(); }
    TLockGuard(const TLockGuard&) = delete;
    TLockGuard& operator=(const TLockGuard&) = delete;

private:
    framework::TCriticalSection& FLock;
};

// Closes a handle when it goes out of scope.
class THandleCloser {
public:
    explicit THandleCloser(platform::HANDLE& handle) : FHandle(handle) {}
    ~THandleCloser() {
        if (FHandle != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(FHandle);
        FHandle = platform::INVALID_HANDLE_VALUE;
    }
    THandleCloser(const THandleCloser&) = delete;
    THandleCloser& operator=(const THandleCloser&) = delete;

private:
    platform::HANDLE& FHandle;
};

}  // namespace

int32_t SortBufferSize(uint32_t recLen, int32_t recCount) {
    const int64_t bytes = static_cast<int64_t>(recLen) * (std::max<int64_t>(recCount, 6) + 2);
    if (bytes > INT32_MAX) RaiseSortError(kBadSize);
    return static_cast<int32_t>(bytes);
}

TUtSorter::TUtSorter(int32_t memory, uint32_t recLen) : FRecLen(recLen) {
    if (recLen == 0 || memory <= 0) RaiseSortError(kBadSize);
    int32_t code = kBadSize;
    for (;;) {
        const int64_t bufRecs = memory / static_cast<int64_t>(recLen);
        if (bufRecs < 6) RaiseSortError(code);
        FBuffer.reset(new (std::nothrow) char[static_cast<size_t>(bufRecs * recLen)]);
        if (FBuffer) {
            FBufRecs = bufRecs;
            break;
        }
        memory /= 2;
        code = kNotEnoughMemory;
    }
    FMergeBufSize = static_cast<uint32_t>((FBufRecs / 6) * recLen);
}

TUtSorter::~TUtSorter() {
    RemoveEverything();
}

std::string TUtSorter::MergeFileName(int32_t number) const {
    return FFolder + "SOR" + std::to_string(number) + ".TMP";
}

void TUtSorter::SetCompare(TUtCompareFunc f) {
    if ((FTotalCount > 0 || f == nullptr) && f != FCompare) RaiseSortError(kCompareLocked);
    FCompare = f;
}

void TUtSorter::Put(const void* record) {
    TLockGuard guard(FLock);
    if (FState == 2) RaiseSortError(kWrongState);
    FState = 1;
    if (FRunCount >= RunCapacity()) {
        SortRun(0, FRunCount - 1);
        WriteRun();
        FRunCount = 0;
    }
    std::memcpy(Rec(FRunCount), record, FRecLen);
    ++FRunCount;
    ++FTotalCount;
}

bool TUtSorter::Get(void* record) {
    TLockGuard guard(FLock);
    if (FState != 2) {
        if (FRunCount > 0) {
            SortRun(0, FRunCount - 1);
            if (FFilesCreated == 0) {
                FNextIndex = 0;
            } else {
                WriteRun();
                ReduceFiles();
                OpenInputs();
            }
        }
        if (FRunCount == 0 && FTotalCount == 0) return false;
        FState = 2;
    }
    if (FFilesCreated == 0) {
        if (FNextIndex >= FRunCount) return false;
        std::memcpy(record, Rec(FNextIndex), FRecLen);
        ++FNextIndex;
        return true;
    }
    const int slot = SelectSmallest();
    if (slot < 0) return false;
    std::memcpy(record, FInputs[slot].Current, FRecLen);
    Advance(slot);
    return true;
}

void TUtSorter::Swap(int64_t a, int64_t b) {
    if (a == b) return;
    char* scratch = Rec(FBufRecs - 2);
    std::memcpy(scratch, Rec(a), FRecLen);
    std::memcpy(Rec(a), Rec(b), FRecLen);
    std::memcpy(Rec(b), scratch, FRecLen);
}

// Quicksort with median of three and an explicit stack that always defers the larger part (so
// its depth stays below 64). Every scan stops at the range's bounds: a compare function that
// contradicts itself may leave records misordered, but nothing outside the run is read or written
// and every range handled is smaller than the one it came from.
void TUtSorter::SortRun(int64_t left, int64_t right) {
    if (FCompare == nullptr) RaiseSortError(kNoCompare);
    const TUtCompareFunc cmp = FCompare;
    char* const v = Rec(FBufRecs - 1);
    std::array<std::pair<int64_t, int64_t>, 64> stack;
    size_t top = 0;
    stack[top++] = {left, right};
    while (top > 0) {
        auto [L, R] = stack[--top];
        while (L < R) {
            int64_t i = L, j = R;
            const int64_t n = R - L + 1;
            int64_t m = L + n / 2;
            if (n >= 16) {
                if (cmp(Rec(m), Rec(L)) < 0) Swap(m, L);
                if (cmp(Rec(R), Rec(L)) < 0) Swap(L, R);
                if (cmp(Rec(R), Rec(m)) < 0) Swap(m, R);
                Swap(m, R - 1);
                m = R - 1;
                i = L + 1;
                j = R - 2;
            }
            std::memcpy(v, Rec(m), FRecLen);
            do {
                while (i <= R && cmp(Rec(i), v) < 0) ++i;
                while (j >= L && cmp(v, Rec(j)) < 0) --j;
                if (i == j) {
                    ++i;
                    --j;
                } else if (i < j) {
                    Swap(i, j);
                    ++i;
                    --j;
                }
            } while (j >= i);
            // Only a self-contradicting compare leaves a part as large as the range.
            if (j >= R) j = R - 1;
            if (i <= L) i = L + 1;
            if (j - L < R - i) {
                if (i < R) stack[top++] = {i, R};
                R = j;
            } else {
                if (j > L) stack[top++] = {L, j};
                L = i;
            }
        }
    }
}

void TUtSorter::EnsureFolder() {
    if (!FFolder.empty()) return;
    const std::string base =
        platform::GetTempPath() + "SORT" + std::to_string(platform::GetCurrentProcessId()) + "_";
    for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
        const std::string folder = base + std::to_string(folderSerial.fetch_add(1));
        if (platform::CreateDirectory(folder)) {
            FFolder = folder + "\\";
            return;
        }
        if (platform::GetLastError() != platform::ERROR_ALREADY_EXISTS) break;
    }
    RaiseSortError(kCreateError);
}

platform::HANDLE TUtSorter::CreateMergeFile() {
    if (FFilesCreated == kMaxFileNo) RaiseSortError(kTooManyFiles);
    EnsureFolder();
    ++FFilesCreated;
    const platform::HANDLE h =
        platform::CreateFile(MergeFileName(FFilesCreated), platform::GENERIC_WRITE, platform::FILE_SHARE_READ,
                             platform::CREATE_NEW, platform::FILE_ATTRIBUTE_TEMPORARY);
    if (h == platform::INVALID_HANDLE_VALUE) {
        --FFilesCreated;
        RaiseSortError(kCreateError);
    }
    return h;
}

void TUtSorter::WriteBlock(platform::HANDLE handle, const char* data, uint32_t bytes) {
    uint32_t written = 0;
    if (!platform::WriteFile(handle, data, bytes, &written) || written != bytes) RaiseSortError(kWriteError);
}

void TUtSorter::WriteRun() {
    platform::HANDLE h = CreateMergeFile();
    THandleCloser closer(h);
    // A run is at most the whole buffer, which fits 32 bits.
    WriteBlock(h, Rec(0), static_cast<uint32_t>(FRunCount * FRecLen));
}

void TUtSorter::ReduceFiles() {
    while (FFilesCreated - FFilesConsumed > kMergeOrder) {
        OpenInputs();
        FOutput = CreateMergeFile();
        THandleCloser closer(FOutput);
        MergeInto(FOutput);
    }
}

void TUtSorter::OpenInputs() {
    FOpenInputs = 0;
    while (FOpenInputs < kMergeOrder && FFilesConsumed < FFilesCreated) {
        TInput& in = FInputs[FOpenInputs];
        ++FOpenInputs;
        ++FFilesConsumed;
        in = TInput{};
        in.FileNo = FFilesConsumed;
        in.Handle =
            platform::CreateFile(MergeFileName(in.FileNo), platform::GENERIC_READ, platform::FILE_SHARE_READ,
                                 platform::OPEN_EXISTING, platform::FILE_FLAG_SEQUENTIAL_SCAN);
        if (in.Handle == platform::INVALID_HANDLE_VALUE) {
            --FOpenInputs;
            --FFilesConsumed;
            RaiseSortError(kOpenError);
        }
        in.Buffer = FBuffer.get() + static_cast<size_t>(FOpenInputs - 1) * FMergeBufSize;
        Advance(FOpenInputs - 1);
    }
}

void TUtSorter::CloseInput(TInput& input, bool remove) {
    if (input.Handle != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(input.Handle);
    input.Handle = platform::INVALID_HANDLE_VALUE;
    if (remove) platform::DeleteFile(MergeFileName(input.FileNo));
}

void TUtSorter::Advance(int slot) {
    TInput& in = FInputs[slot];
    if (in.Position >= in.Count) {
        uint32_t got = 0;
        if (!platform::ReadFile(in.Handle, in.Buffer, FMergeBufSize, &got)) RaiseSortError(kReadError);
        // A file holds whole records; one that ends inside a record has lost data.
        if (got % FRecLen != 0) RaiseSortError(kReadError);
        if (got == 0) {
            CloseInput(in, true);
            const int last = FOpenInputs - 1;
            if (slot != last) {
                in = FInputs[last];
                FInputs[last] = TInput{};
            }
            --FOpenInputs;
            return;
        }
        in.Count = got;
        in.Position = 0;
    }
    in.Current = in.Buffer + in.Position;
    in.Position += FRecLen;
}

int TUtSorter::SelectSmallest() const {
    if (FOpenInputs == 0) return -1;
    int smallest = 0;
    for (int k = 1; k < FOpenInputs; ++k)
        if (FCompare(FInputs[k].Current, FInputs[smallest].Current) < 0) smallest = k;
    return smallest;
}

void TUtSorter::MergeInto(platform::HANDLE output) {
    char* const out = FBuffer.get() + static_cast<size_t>(kMergeOrder) * FMergeBufSize;
    uint32_t used = 0;
    for (int slot = SelectSmallest(); slot >= 0; slot = SelectSmallest()) {
        if (used >= FMergeBufSize) {
            WriteBlock(output, out, used);
            used = 0;
        }
        std::memcpy(out + used, FInputs[slot].Current, FRecLen);
        used += FRecLen;
        Advance(slot);
    }
    if (used > 0) WriteBlock(output, out, used);
}

void TUtSorter::RemoveEverything() noexcept {
    for (int k = 0; k < FOpenInputs; ++k) CloseInput(FInputs[k], true);
    FOpenInputs = 0;
    if (FOutput != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(FOutput);
    FOutput = platform::INVALID_HANDLE_VALUE;
    if (FFolder.empty()) return;
    for (int32_t n = FFilesConsumed + 1; n <= FFilesCreated; ++n) platform::DeleteFile(MergeFileName(n));
    // Whatever else is left in the folder is ours too (a file of a failed step).
    platform::WIN32_FIND_DATA data;
    const platform::HANDLE find = platform::FindFirstFile(FFolder + "*", data);
    if (find != platform::INVALID_HANDLE_VALUE) {
        do {
            if ((data.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) == 0)
                platform::DeleteFile(FFolder + data.cFileName);
        } while (platform::FindNextFile(find, data));
        platform::FindClose(find);
    }
    platform::RemoveDirectory(FFolder.substr(0, FFolder.size() - 1));
}

}  // namespace sysutil
