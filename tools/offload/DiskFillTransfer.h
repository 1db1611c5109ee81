#pragma once
// The pieces of the offload tool's copy or move run that need no window: the file copy routine
// (shared with the other tools that copy files), the squelch rules and the memo of filled disks,
// and the choice of a catalogued disk to recommend.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace catalog {
struct TSquelchSettings;
}
namespace framework {
class TDataSet;
}

namespace tools {

class TDiskFillList;

// ---- Copying one file -----------------------------------------------------------------------------

enum class TFileCopyResult {
    Copied,
    SameFile,  // source and target are one file: nothing is touched
    SourceMissing,
    SourceOpenFailed,
    TargetCreateFailed,
    ReadFailed,
    WriteFailed,
    Cancelled,
};

struct TFileCopyHooks {
    // Asked before each block; true stops the copy and deletes the partial target.
    std::function<bool()> Cancelled;
    // The truncated percentage copied, after each block (only for a non-empty source).
    std::function<void(int Percent)> Progress;
};

// Size of the blocks the copy reads and writes.
constexpr uint32_t FileCopyBlockSize = 65536;

// True when two paths name one file (the same file on the same device, whatever the spelling).
bool SameFileOnDisk(const std::string& A, const std::string& B);

// Copies Source to Target (created or replaced) in blocks of FileCopyBlockSize bytes; the target
// gets the source's date, time and attributes. On any failure or cancel after the target was
// created the partial target is deleted. A target that is the source itself is never opened.
TFileCopyResult CopyFileInBlocks(const std::string& Source, const std::string& Target,
                                 const TFileCopyHooks& Hooks = {});

// The message for a failed copy (empty for Copied and Cancelled).
std::string FileCopyErrorText(TFileCopyResult Result);

// ---- The target disk ------------------------------------------------------------------------------

// True when a drive's root holds nothing but (perhaps) the volume label.
bool TargetRootEmpty(char Drive);

// Deletes everything below a folder (read-only and hidden entries too; volume-label entries are
// left), then the folder itself when Remove is set. False when anything could not be deleted.
bool EraseTargetTree(const std::string& Folder, bool Remove);

// ---- Squelching and the memo of filled disks ------------------------------------------------------

struct TFilledDiskRec {
    std::string VolumeLabel;  // at most 32 characters
    int64_t FreeBytes = 0;
};

class TDiskFillSquelch {
public:
    static constexpr size_t MaxRetryLabels = 5000;
    static constexpr int32_t MaxFilledDisks = 1000;

    // Labels squelched with "Squelch && Retry" (each cut to 32 characters).
    std::vector<std::string> RetrySquelchList;
    // Ring of filled disks: FilledCount used entries, LastFilled the position (1..1000) written last.
    std::array<TFilledDiskRec, MaxFilledDisks> Filled{};
    int32_t FilledCount = 0;
    int32_t LastFilled = 0;

    void Clear();
    // False when the list is full (nothing added).
    bool AddRetryLabel(const std::string& Label);

    // Squelched by the retry list, or (unless IgnoreSquelched) by a label pattern of Settings, a
    // disk made by text import ("*") or a flagged drive letter.
    bool IsDiskSquelched(const std::string& Label, const std::string& CatalogedFrom,
                         const catalog::TSquelchSettings& Settings, bool IgnoreSquelched) const;
    // The free bytes of a disk that can take one of the tagged files, else -1.
    int64_t RecommendedFree(const std::string& Label, const std::string& CatalogedFrom,
                            const std::string& FreeText, const catalog::TSquelchSettings& Settings,
                            bool IgnoreSquelched, const TDiskFillList& List) const;
    // Records the free space of a disk just filled (replacing its earlier entry).
    void RememberDiskFree(const std::string& Label, int64_t FreeBytes);
    // The entry of a label, or null.
    const TFilledDiskRec* FindFilled(const std::string& Label) const;
};

struct TDiskRecommendation {
    bool Found = false;
    std::string VolumeLabel;
    char Drive = 0;  // first character of the disk's "catalogued from" text (0 when none)
    int64_t FreeBytes = 0;
};

// Walks the volume table (open, index "ByFreeSpace": most free space first) and returns the first
// disk that RecommendedFree accepts. Step runs at each record.
TDiskRecommendation FindRecommendedDisk(framework::TDataSet& Summary, const TDiskFillSquelch& Squelch,
                                        const catalog::TSquelchSettings& Settings, bool IgnoreSquelched,
                                        const TDiskFillList& List, const std::function<void()>& Step = {});

}  // namespace tools
