#pragma once
// The offload tool's list of one folder's files (at most 10,000): each file's name, size, packed
// date and time, attributes and tag; the display order the grid shows, the fill order (largest
// first) in which files are considered for a disk, and the counters of files and bytes, all and
// tagged. Every change of a tag updates the tagged counters at once.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tools {

struct TDiskFillFileRec {
    std::string Name;          // without its folder, at most 255 characters
    int64_t Size = 0;          // the full 64-bit size
    uint32_t DosDateTime = 0;  // date in the high word, time in the low word
    uint32_t Attr = 0;         // read-only 1, hidden 2, system 4, archive 0x20
    uint16_t DisplaySlot = 0;  // of record i: the record shown in grid row i
    uint16_t FillSlot = 0;     // of record i: the record at place i of the fill order
    bool Tagged = false;
};

// The sort keys of the display order.
enum TDiskFillSortKey { dskNone, dskName, dskExtension, dskSize, dskDate };


class TDiskFillList {
public:
    static constexpr int32_t MaxFiles = 10000;

    int32_t Count() const { return static_cast<int32_t>(FRecs.size()); }
    bool Empty() const { return FRecs.empty(); }
    // Records are numbered from 1.
    TDiskFillFileRec& Rec(int32_t N) { return FRecs.at(static_cast<size_t>(N - 1)); }
    const TDiskFillFileRec& Rec(int32_t N) const { return FRecs.at(static_cast<size_t>(N - 1)); }
    // The record shown in grid row Row (1..Count).
    TDiskFillFileRec& Shown(int32_t Row) { return Rec(Rec(Row).DisplaySlot); }

    int64_t FilesInList = 0, BytesInList = 0, TaggedFiles = 0, TaggedBytes = 0;
    // Set by every change of the list, cleared when the fill order is built.
    bool FillOrderStale = true;

    void Clear();
    // Appends a file shown in its own place; false (and nothing added) when the list is full.
    bool Add(std::string Name, int64_t Size, uint32_t DosDateTime, uint32_t Attr, bool Tagged);

    // Reads the files (not the folders) of a folder that match Pattern, every attribute included,
    // in the order the search gives them. Each file is passed to Step after it was added (for the
    // window to stay responsive); Excess is called once at the first file beyond the limit, whose
    // files are skipped. False when the folder cannot be searched (the list is then empty).
    bool ReadFolder(const std::string& Folder, const std::string& Pattern, bool AutoTag,
                    const std::function<void()>& Step = {}, const std::function<void()>& Excess = {});

    // Orders the display by a key, descending with Reverse; dskNone restores the order of reading.
    // Files with equal keys keep no fixed order among themselves.
    void SortDisplay(TDiskFillSortKey Key, bool Reverse);

    void SetTagged(int32_t N, bool Tagged);
    void ToggleTag(int32_t N) { SetTagged(N, !Rec(N).Tagged); }
    void TagAll(bool Tagged);
    void InvertTags();
    // Tags (or untags) every file whose name the file-name mask matches; the mask's error
    // (an invalid mask) is raised before anything changes.
    void TagMatching(const std::string& Mask, bool Tagged);

    // Clusters of a size on a disk of the given cluster size (a 0-byte file takes none).
    static int64_t Clusters(int64_t Size, int64_t ClusterSize);
    // Orders the fill slots by size, largest first, and marks the fill order built.
    void BuildFillOrder();
    // The place in the fill order (1..Count) of the tagged file to put next on a disk with
    // FreeClusters free: an exact fit at once, otherwise the one whose greedy projection of the
    // files after it leaves the fewest clusters free (the earlier one among equals); -1 when no
    // tagged file fits. Step runs once per candidate.
    int32_t FindBestFitFile(int64_t FreeClusters, int64_t ClusterSize,
                            const std::function<void()>& Step = {});

    // Duplicates of catalog entries: the index of the names is built once before a walk of the
    // catalog; each entry then toggles the tag of every list file with that name (exactly, case
    // matters) and, when given, that size and that day (whole days since the date origin).
    void IndexNames();
    void InvertDupTags(const std::string& Name, const int64_t* Size, const int32_t* Day);

    // The whole days of a packed DOS date and time (its date part); 0 for an impossible date.
    static int32_t DosDay(uint32_t DosDateTime);

private:
    int64_t ProjectFill(int32_t Position, int64_t Used, int64_t FreeClusters, int64_t ClusterSize,
                        int& Depth);
    std::vector<TDiskFillFileRec> FRecs;
    std::unordered_multimap<std::string, int32_t> FNames;
};

}  // namespace tools
