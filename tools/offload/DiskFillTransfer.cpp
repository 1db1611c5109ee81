#include "tools/offload/DiskFillTransfer.h"

#include <filesystem>
#include <vector>

#include "catalog/Globals.h"
#include "framework/core/Exception.h"
#include "framework/core/Masks.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/data/Fields.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tools/offload/DiskFillList.h"

namespace tools {

namespace {

constexpr size_t kFilledLabelLength = 32;

// Closes the two files of a copy, deleting the partial target when asked.
struct TCopyHandles {
    platform::HANDLE Source = platform::INVALID_HANDLE_VALUE;
    platform::HANDLE Target = platform::INVALID_HANDLE_VALUE;
    std::string TargetPath;
    void Close(bool DeleteTarget) {
        if (Source != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(Source);
        if (Target != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(Target);
        Source = Target = platform::INVALID_HANDLE_VALUE;
        if (DeleteTarget) platform::DeleteFile(TargetPath);
    }
    ~TCopyHandles() { Close(false); }
};

}  // namespace

bool SameFileOnDisk(const std::string& A, const std::string& B) {
    std::string NativeA, NativeB;
    if (!platform::ResolveExistingPath(A, NativeA) || !platform::ResolveExistingPath(B, NativeB))
        return false;
    std::error_code Error;
    const bool Same = std::filesystem::equivalent(NativeA, NativeB, Error);
    return !Error && Same;
}

TFileCopyResult CopyFileInBlocks(const std::string& Source, const std::string& Target,
                                 const TFileCopyHooks& Hooks) {
    if (platform::GetFileAttributes(Source) == platform::INVALID_FILE_ATTRIBUTES)
        return TFileCopyResult::SourceMissing;
    if (SameFileOnDisk(Source, Target)) return TFileCopyResult::SameFile;
    uint32_t Attr = platform::GetFileAttributes(Source);
    if (Attr == platform::INVALID_FILE_ATTRIBUTES) Attr = 0;

    TCopyHandles Files;
    Files.TargetPath = Target;
    Files.Source = platform::CreateFile(Source, platform::GENERIC_READ,
                                        platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE,
                                        platform::OPEN_EXISTING, 0);
    if (Files.Source == platform::INVALID_HANDLE_VALUE) return TFileCopyResult::SourceOpenFailed;
    int64_t Size = 0;
    if (!platform::GetFileSizeEx(Files.Source, Size)) Size = 0;
    Files.Target = platform::CreateFile(Target, platform::GENERIC_WRITE, 0, platform::CREATE_ALWAYS, 0);
    if (Files.Target == platform::INVALID_HANDLE_VALUE) {
        Files.Close(false);
        return TFileCopyResult::TargetCreateFailed;
    }

    std::vector<char> Block(FileCopyBlockSize);
    int64_t Copied = 0;
    uint32_t Read = 0;
    do {
        if (Hooks.Cancelled && Hooks.Cancelled()) {
            Files.Close(true);
            return TFileCopyResult::Cancelled;
        }
        if (!platform::ReadFile(Files.Source, Block.data(), FileCopyBlockSize, &Read)) {
            Files.Close(true);
            return TFileCopyResult::ReadFailed;
        }
        uint32_t Written = 0;
        if (Read > 0 &&
            (!platform::WriteFile(Files.Target, Block.data(), Read, &Written) || Written != Read)) {
            Files.Close(true);
            return TFileCopyResult::WriteFailed;
        }
        Copied += Read;
        if (Size > 0 && Hooks.Progress) Hooks.Progress(static_cast<int>(Copied * 100 / Size));
    } while (Read == FileCopyBlockSize);

    platform::FILETIME Creation{}, Access{}, Write{};
    if (platform::GetFileTime(Files.Source, &Creation, &Access, &Write))
        platform::SetFileTime(Files.Target, nullptr, nullptr, &Write);
    Files.Close(false);
    platform::SetFileAttributes(Target, Attr);
    return TFileCopyResult::Copied;
}

std::string FileCopyErrorText(TFileCopyResult Result) {
    switch (Result) {
        case TFileCopyResult::SameFile:
            return "The Source And Destination Are The Same File";
        case TFileCopyResult::SourceMissing:
            return "Cannot Find The Source File";
        case TFileCopyResult::SourceOpenFailed:
            return "Error Opening Source File For Input";
        case TFileCopyResult::TargetCreateFailed:
            return "Error Opening Destination File For Output.\r\n\r\nThe Target Disk's Root Directory May "
                   "Be Full";
        case TFileCopyResult::ReadFailed:
            return "Error Reading Source File";
        case TFileCopyResult::WriteFailed:
            return "Error Writing To Destination File";
        case TFileCopyResult::Copied:
        case TFileCopyResult::Cancelled:
            break;
    }
    return {};
}

// ---- The target disk ------------------------------------------------------------------------------

bool TargetRootEmpty(char Drive) {
    platform::WIN32_FIND_DATA Data;
    const platform::HANDLE Find = platform::FindFirstFile(std::string(1, Drive) + ":\\*.*", Data);
    if (Find == platform::INVALID_HANDLE_VALUE) return true;
    bool Empty = true;
    do {
        if (Data.cFileName == "." || Data.cFileName == ".." ||
            (Data.dwFileAttributes & platform::FILE_ATTRIBUTE_VOLUME))
            continue;
        Empty = false;
        break;
    } while (platform::FindNextFile(Find, Data));
    platform::FindClose(Find);
    return Empty;
}

bool EraseTargetTree(const std::string& Folder, bool Remove) {
    const std::string Base = Folder.empty() || Folder.back() != '\\' ? Folder + "\\" : Folder;
    bool Ok = true;
    std::vector<std::pair<std::string, bool>> Entries;  // name, is a folder
    platform::WIN32_FIND_DATA Data;
    const platform::HANDLE Find = platform::FindFirstFile(Base + "*.*", Data);
    if (Find != platform::INVALID_HANDLE_VALUE) {
        do {
            if (Data.cFileName == "." || Data.cFileName == ".." ||
                (Data.dwFileAttributes & platform::FILE_ATTRIBUTE_VOLUME))
                continue;
            Entries.emplace_back(Data.cFileName,
                                 (Data.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0);
        } while (platform::FindNextFile(Find, Data));
        platform::FindClose(Find);
    }
    for (const auto& [Name, IsFolder] : Entries) {
        if (IsFolder) {
            Ok = EraseTargetTree(Base + Name, true) && Ok;
            continue;
        }
        platform::SetFileAttributes(Base + Name, 0);
        if (!platform::DeleteFile(Base + Name)) Ok = false;
    }
    if (Remove && !platform::RemoveDirectory(Folder)) Ok = false;
    return Ok;
}

// ---- Squelching -----------------------------------------------------------------------------------

void TDiskFillSquelch::Clear() {
    RetrySquelchList.clear();
    Filled.fill({});
    FilledCount = 0;
    LastFilled = 0;
}

bool TDiskFillSquelch::AddRetryLabel(const std::string& Label) {
    if (RetrySquelchList.size() >= MaxRetryLabels) return false;
    RetrySquelchList.push_back(Label.substr(0, kFilledLabelLength));
    return true;
}

bool TDiskFillSquelch::IsDiskSquelched(const std::string& Label, const std::string& CatalogedFrom,
                                       const catalog::TSquelchSettings& Settings,
                                       bool IgnoreSquelched) const {
    for (const std::string& Squelched : RetrySquelchList)
        if (Squelched == Label) return true;
    if (IgnoreSquelched) return false;
    for (const auto& Spec : Settings.VolumeSpecs) {
        const std::string Pattern = framework::Trim(Spec.Text());
        if (Pattern.empty()) continue;
        try {
            if (framework::TMask(Pattern).Matches(Label)) return true;
        } catch (const framework::Exception&) {
            // A malformed pattern squelches nothing.
        }
    }
    if (!framework::Trim(CatalogedFrom).empty()) {
        const char First = CatalogedFrom[0];
        if (First == '*') return true;
        if (First >= 'A' && First <= 'Z' && Settings.DriveFlags[static_cast<size_t>(First - 'A')])
            return true;
    }
    return false;
}

const TFilledDiskRec* TDiskFillSquelch::FindFilled(const std::string& Label) const {
    for (int32_t I = 0; I < FilledCount; ++I)
        if (Filled[static_cast<size_t>(I)].VolumeLabel == Label) return &Filled[static_cast<size_t>(I)];
    return nullptr;
}

int64_t TDiskFillSquelch::RecommendedFree(const std::string& Label, const std::string& CatalogedFrom,
                                          const std::string& FreeText,
                                          const catalog::TSquelchSettings& Settings, bool IgnoreSquelched,
                                          const TDiskFillList& List) const {
    if (IsDiskSquelched(Label, CatalogedFrom, Settings, IgnoreSquelched)) return -1;
    int64_t Free = 0;
    if (!framework::TryStrToInt64(FreeText, Free)) return -1;
    if (const TFilledDiskRec* Rec = FindFilled(Label)) Free = Rec->FreeBytes;
    if (Free <= 0) return -1;
    for (int32_t N = 1; N <= List.Count(); ++N) {
        const TDiskFillFileRec& R = List.Rec(N);
        if (R.Tagged && R.Size <= Free) return Free;
    }
    return -1;
}

void TDiskFillSquelch::RememberDiskFree(const std::string& Label, int64_t FreeBytes) {
    for (int32_t I = 0; I < FilledCount; ++I) {
        if (Filled[static_cast<size_t>(I)].VolumeLabel == Label) {
            Filled[static_cast<size_t>(I)].FreeBytes = FreeBytes;
            return;
        }
    }
    if (FilledCount < MaxFilledDisks) ++FilledCount;
    LastFilled = LastFilled >= MaxFilledDisks ? 1 : LastFilled + 1;
    Filled[static_cast<size_t>(LastFilled - 1)] = {Label.substr(0, kFilledLabelLength), FreeBytes};
}

TDiskRecommendation FindRecommendedDisk(framework::TDataSet& Summary, const TDiskFillSquelch& Squelch,
                                        const catalog::TSquelchSettings& Settings, bool IgnoreSquelched,
                                        const TDiskFillList& List, const std::function<void()>& Step) {
    TDiskRecommendation Result;
    framework::TField* Label = Summary.FieldByName("CatalogVolumeLabel");
    framework::TField* From = Summary.FieldByName("CatalogedFrom");
    framework::TField* Free = Summary.FieldByName("DiskFree");
    // The index runs from the most free space down, so the first acceptable disk is the roomiest.
    for (Summary.First(); !Summary.Eof(); Summary.Next()) {
        if (Step) Step();
        const std::string L = Label->AsString();
        const std::string F = From->AsString();
        const int64_t Bytes =
            Squelch.RecommendedFree(L, F, Free->AsString(), Settings, IgnoreSquelched, List);
        if (Bytes == -1) continue;
        Result.Found = true;
        Result.VolumeLabel = L;
        Result.Drive = F.empty() ? '\0' : F[0];
        Result.FreeBytes = Bytes;
        break;
    }
    return Result;
}

}  // namespace tools
