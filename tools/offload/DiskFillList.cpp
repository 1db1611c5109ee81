#include "tools/offload/DiskFillList.h"

#include <cstring>
#include <limits>

#include "framework/core/DateTime.h"
#include "framework/core/Masks.h"
#include "framework/core/SysUtils.h"
#include "platform/Files.h"
#include "sysutil/UtSorter.h"

namespace tools {

namespace {

// The sorter's compare functions see two record numbers; the list and the key being sorted by are
// held here for the length of one sort.
const TDiskFillList* Sorting = nullptr;
TDiskFillSortKey SortKey = dskNone;
bool SortReverse = false;

std::string Extension(const std::string& Name) {
    const size_t Dot = Name.rfind('.');
    return Dot == std::string::npos ? std::string() : Name.substr(Dot + 1);
}

template <class T>
int32_t Order(const T& A, const T& B) {
    return A < B ? -1 : B < A ? 1 : 0;
}

int32_t CompareRecords(const void* First, const void* Second) {
    uint16_t A, B;
    std::memcpy(&A, First, 2);
    std::memcpy(&B, Second, 2);
    const TDiskFillFileRec &X = Sorting->Rec(A), &Y = Sorting->Rec(B);
    int32_t R = 0;
    switch (SortKey) {
        case dskName:
            R = Order(X.Name, Y.Name);  // byte order: capitals before small letters
            break;
        case dskExtension:
            R = Order(Extension(X.Name), Extension(Y.Name));
            break;
        case dskSize:
            R = Order(X.Size, Y.Size);
            break;
        case dskDate:
            R = Order(static_cast<int32_t>(X.DosDateTime), static_cast<int32_t>(Y.DosDateTime));
            break;
        case dskNone:
            break;
    }
    return SortReverse ? -R : R;
}

// Sorts the record numbers 1..Count by the key and hands them back in order.
void SortNumbers(const TDiskFillList& List, TDiskFillSortKey Key, bool Reverse,
                 const std::function<void(int32_t Place, uint16_t Number)>& Take) {
    sysutil::TUtSorter Sorter(sysutil::SortBufferSize(2, TDiskFillList::MaxFiles), 2);
    Sorting = &List;
    SortKey = Key;
    SortReverse = Reverse;
    struct Done {
        ~Done() { Sorting = nullptr; }
    } Reset;
    Sorter.SetCompare(CompareRecords);
    for (int32_t N = 1; N <= List.Count(); ++N) {
        const uint16_t Number = static_cast<uint16_t>(N);
        Sorter.Put(&Number);
    }
    uint16_t Number = 0;
    for (int32_t Place = 1; Sorter.Get(&Number); ++Place) Take(Place, Number);
}

}  // namespace

void TDiskFillList::Clear() {
    FRecs.clear();
    FNames.clear();
    FilesInList = BytesInList = TaggedFiles = TaggedBytes = 0;
    FillOrderStale = true;
}

bool TDiskFillList::Add(std::string Name, int64_t Size, uint32_t DosDateTime, uint32_t Attr, bool Tagged) {
    if (Count() >= MaxFiles) return false;
    if (Name.size() > 255) Name.resize(255);
    TDiskFillFileRec R;
    R.Name = std::move(Name);
    R.Size = Size;
    R.DosDateTime = DosDateTime;
    R.Attr = Attr;
    R.DisplaySlot = static_cast<uint16_t>(Count() + 1);
    R.FillSlot = R.DisplaySlot;
    R.Tagged = Tagged;
    FRecs.push_back(std::move(R));
    ++FilesInList;
    BytesInList += Size;
    if (Tagged) {
        ++TaggedFiles;
        TaggedBytes += Size;
    }
    FillOrderStale = true;
    return true;
}

bool TDiskFillList::ReadFolder(const std::string& Folder, const std::string& Pattern, bool AutoTag,
                               const std::function<void()>& Step, const std::function<void()>& Excess) {
    Clear();
    std::string Path = Folder;
    if (Path.empty() || (Path.back() != ':' && Path.back() != '\\')) Path += '\\';
    Path += Pattern;
    platform::WIN32_FIND_DATA Data;
    const platform::HANDLE Find = platform::FindFirstFile(Path, Data);
    if (Find == platform::INVALID_HANDLE_VALUE) return false;
    bool Told = false;
    do {
        if (Data.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) continue;
        if (Data.cFileName == "." || Data.cFileName == "..") continue;
        if (Count() >= MaxFiles) {
            if (!Told && Excess) Excess();
            Told = true;
            continue;
        }
        platform::FILETIME Local;
        uint16_t Date = 0, Time = 0;
        if (platform::FileTimeToLocalFileTime(Data.ftLastWriteTime, Local))
            platform::FileTimeToDosDateTime(Local, Date, Time);
        const int64_t Size = static_cast<int64_t>((uint64_t{Data.nFileSizeHigh} << 32) | Data.nFileSizeLow);
        Add(Data.cFileName, Size, (uint32_t{Date} << 16) | Time, Data.dwFileAttributes, AutoTag);
        if (Step) Step();
    } while (platform::FindNextFile(Find, Data));
    platform::FindClose(Find);
    return true;
}

void TDiskFillList::SortDisplay(TDiskFillSortKey Key, bool Reverse) {
    if (Empty()) return;
    if (Key == dskNone) {
        for (int32_t N = 1; N <= Count(); ++N) Rec(N).DisplaySlot = static_cast<uint16_t>(N);
        return;
    }
    SortNumbers(*this, Key, Reverse,
                [this](int32_t Place, uint16_t Number) { Rec(Place).DisplaySlot = Number; });
}

void TDiskFillList::SetTagged(int32_t N, bool Tagged) {
    TDiskFillFileRec& R = Rec(N);
    if (R.Tagged == Tagged) return;
    R.Tagged = Tagged;
    TaggedFiles += Tagged ? 1 : -1;
    TaggedBytes += Tagged ? R.Size : -R.Size;
}

void TDiskFillList::TagAll(bool Tagged) {
    for (int32_t N = 1; N <= Count(); ++N) SetTagged(N, Tagged);
}

void TDiskFillList::InvertTags() {
    for (int32_t N = 1; N <= Count(); ++N) ToggleTag(N);
}

void TDiskFillList::TagMatching(const std::string& Mask, bool Tagged) {
    const framework::TMask M(Mask);
    for (int32_t N = 1; N <= Count(); ++N)
        if (M.Matches(Rec(N).Name)) SetTagged(N, Tagged);
}

// ---- Choice of files for a disk ----

int64_t TDiskFillList::Clusters(int64_t Size, int64_t ClusterSize) {
    if (ClusterSize <= 0) return Size;
    return Size / ClusterSize + (Size % ClusterSize != 0 ? 1 : 0);
}

void TDiskFillList::BuildFillOrder() {
    if (!Empty())
        SortNumbers(*this, dskSize, true,
                    [this](int32_t Place, uint16_t Number) { Rec(Place).FillSlot = Number; });
    FillOrderStale = false;
}

// First fit over the files after Position, largest first, at most ten files deep.
int64_t TDiskFillList::ProjectFill(int32_t Position, int64_t Used, int64_t FreeClusters, int64_t ClusterSize,
                                   int& Depth) {
    const int64_t Room = FreeClusters - Used;
    if (Room <= 0) return Used;
    if (++Depth > 10) {
        --Depth;
        return Used;
    }
    for (int32_t Q = Position + 1; Q <= Count(); ++Q) {
        const TDiskFillFileRec& R = Rec(Rec(Q).FillSlot);
        if (!R.Tagged) continue;
        const int64_t C = Clusters(R.Size, ClusterSize);
        if (C > Room) continue;
        Used += C;
        if (C < Room) Used = ProjectFill(Q, Used, FreeClusters, ClusterSize, Depth);
        break;
    }
    --Depth;
    return Used;
}

int32_t TDiskFillList::FindBestFitFile(int64_t FreeClusters, int64_t ClusterSize,
                                       const std::function<void()>& Step) {
    int32_t Best = -1;
    int64_t BestRemainder = std::numeric_limits<int64_t>::max();
    for (int32_t P = 1; P <= Count(); ++P) {
        if (Step) Step();
        const TDiskFillFileRec& R = Rec(Rec(P).FillSlot);
        if (!R.Tagged) continue;
        const int64_t C = Clusters(R.Size, ClusterSize);
        if (C > FreeClusters) continue;
        if (C == FreeClusters) return P;
        int Depth = 0;
        const int64_t Remainder = FreeClusters - ProjectFill(P, C, FreeClusters, ClusterSize, Depth);
        if (Remainder < BestRemainder) {
            BestRemainder = Remainder;
            if (Remainder == 0) return P;
            Best = P;
        }
    }
    return Best;
}

// ---- Duplicates of catalog entries ----

int32_t TDiskFillList::DosDay(uint32_t DosDateTime) {
    const uint16_t Date = static_cast<uint16_t>(DosDateTime >> 16);
    framework::TDateTime D;
    if (!framework::TryEncodeDate(1980 + (Date >> 9), (Date >> 5) & 15, Date & 31, D)) return 0;
    return static_cast<int32_t>(D);
}

void TDiskFillList::IndexNames() {
    FNames.clear();
    for (int32_t N = 1; N <= Count(); ++N) FNames.emplace(Rec(N).Name, N);
}

void TDiskFillList::InvertDupTags(const std::string& Name, const int64_t* Size, const int32_t* Day) {
    const auto [From, To] = FNames.equal_range(Name);
    for (auto It = From; It != To; ++It) {
        const TDiskFillFileRec& R = Rec(It->second);
        if (Size && R.Size != *Size) continue;
        if (Day && DosDay(R.DosDateTime) != *Day) continue;
        ToggleTag(It->second);
    }
}

}  // namespace tools
