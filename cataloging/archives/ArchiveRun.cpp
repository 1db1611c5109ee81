#include "cataloging/archives/ArchiveRun.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "codecs/archive/ArcBrowser.h"
#include "codecs/zip/ZipReader.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace cataloging {

using namespace framework;

TArchiveRun::TArchiveRun() = default;

TArchiveRun::~TArchiveRun() {
    if (FCabBrowser) FCabBrowser->CloseArchive();
    if (!FExtractFolder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(FExtractFolder, ignored);
    }
}

codecs::TZipReader& TArchiveRun::ZipReader() {
    if (!FZipReader) FZipReader = std::make_unique<codecs::TZipReader>(nullptr);
    return *FZipReader;
}

codecs::TArcCabBrowser& TArchiveRun::CabBrowser() {
    if (!FCabBrowser) FCabBrowser = std::make_unique<codecs::TArcCabBrowser>(nullptr);
    return *FCabBrowser;
}

std::string TArchiveRun::ExtractFolder() {
    if (FExtractFolder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/korvane-extract-XXXXXX";
        if (::mkdtemp(pattern.data())) {
            // A folder that no drive holds cannot be named to the components: none is used.
            if (platform::NativeToWindowsPath(pattern).empty())
                ::rmdir(pattern.c_str());
            else
                FExtractFolder = pattern;
        }
    }
    return FExtractFolder.empty() ? std::string()
                                  : platform::IncludeTrailingBackslash(platform::NativeToWindowsPath(FExtractFolder));
}

bool ArchiveMemberStep(TArchiveRun& Run, const TArchiveArgs& Args, TArchiveEntry Entry,
                       const TCompleteEntry& Complete) {
    ++Run.ArchiveFileCount;
    Run.ArchiveByteCount += Entry.FileSize;
    if (!Args.InScope || !Run.PassesIncludeExclude(Args.FolderName, Entry.FileName)) return true;
    if (Complete && !Complete(Entry)) return false;
    Entry.FolderName = Args.FolderName;
    Entry.ArchiveID = Args.ArchiveName;
    Run.AddNewDataEntry(Entry);
    return true;
}

void ReportArchiveFailure(TArchiveRun& Run, const TArchiveArgs& Args) {
    if (Run.ExpandMode == kExpandOnDemand) Run.ShowArchiveError("Error Processing Archive " + Args.ArchiveName);
}

TDateTime DosDateToDateTime(uint16_t Word) {
    if (static_cast<int16_t>(Word) <= 33) return EncodeDate(1980, 1, 1);
    return EncodeDate(1980 + (Word >> 9), (Word >> 5) & 15, Word & 31);
}

TDateTime DosTimeToDateTime(uint16_t Word) {
    return EncodeTime(Word >> 11, (Word >> 5) & 63, 2 * (Word & 31), 0);
}

void UnixToLocalDateTime(uint32_t Stamp, TDateTime& Date, TDateTime& Time) {
    platform::FILETIME local;
    platform::FileTimeToLocalFileTime(platform::UnixTimeToFileTime(Stamp), local);
    // 100-nanosecond units since 1601 to days since 30 December 1899.
    constexpr int64_t unitsPerSecond = 10000000, days1601To1899 = 109205;
    const int64_t seconds = static_cast<int64_t>(platform::FileTimeToUInt64(local) / unitsPerSecond);
    Date = static_cast<double>(seconds / 86400 - days1601To1899);
    const int64_t inDay = seconds % 86400;
    Time = EncodeTime(static_cast<int>(inDay / 3600), static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60), 0);
}

std::string UpperMemberName(std::string_view Name) {
    std::string out(Name);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string NormalizeMemberName(std::string_view Field) {
    if (Field.empty()) return ".";
    size_t end = Field.find('\0', 1);
    if (end == std::string_view::npos) end = Field.size();
    std::string name = UpperMemberName(Field.substr(0, end));
    if (name.find('.') == std::string::npos) name += '.';
    return name;
}

std::string TakeFolderPart(std::string& Name) {
    std::string folder;
    for (;;) {
        size_t at = Name.find('\\');
        if (at == std::string::npos) at = Name.find('/');
        if (at == std::string::npos) return folder;
        folder += Name.substr(0, at + 1);
        Name.erase(0, at + 1);
    }
}

std::string CutAtControlChar(std::string_view Text) {
    size_t i = 0;
    while (i < Text.size() && static_cast<unsigned char>(Text[i]) >= 32 && Text[i] != 127) ++i;
    return std::string(Text.substr(0, i));
}

}  // namespace cataloging
