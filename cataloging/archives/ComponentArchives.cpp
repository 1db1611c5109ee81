// The readers that stand on the archive components: ZIP listing and comment, cabinet listing,
// the probe of ".EXE" files for self-extracting ZIP archives, and the FILE_ID.DIZ comment; and
// the dispatch of an archive file to its reader by type code.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cataloging/archives/ArchiveReaders.h"
#include "codecs/archive/ArcBrowser.h"
#include "codecs/zip/ZipReader.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"
#include "framework/ui/Forms.h"
#include "platform/Paths.h"

namespace cataloging {

using namespace framework;

namespace {

// Sets the ZIP component to the archive and reads its central directory. An end record must be
// found: a file without one is no ZIP archive (an ordinary program is never taken for a
// self-extractor).
codecs::TZipReader& OpenZip(TArchiveRun& Run, const TArchiveArgs& Args) {
    codecs::TZipReader& zip = Run.ZipReader();
    zip.IncompleteZipMode = codecs::izAssumeNotAZip;
    zip.SetZipName(Args.Path());
    zip.ReadZip();
    return zip;
}

bool ListZip(TArchiveRun& Run, const TArchiveArgs& Args) {
    codecs::TZipReader& zip = OpenZip(Run, Args);
    if (Trim(Run.MainArchiveComment).empty()) Run.MainArchiveComment = Trim(zip.GetZipComment());
    for (int i = 0; i < zip.Count(); ++i) {
        if (Run.StopRequested()) return true;
        Run.ProcessMessages();
        // The 32-bit size is unsigned: a member of 3 GiB is not a negative size.
        const int64_t size = static_cast<uint32_t>(zip.GetUnCompressedSize(i));
        ++Run.ArchiveFileCount;
        Run.ArchiveByteCount += size;
        // The folder part keeps its closing separator and the archive's own separators.
        std::string name = zip.GetStoredName(i);
        const size_t cut = name.find_last_of("/:\\");
        const std::string folder = cut == std::string::npos ? std::string() : name.substr(0, cut + 1);
        if (cut != std::string::npos) name.erase(0, cut + 1);
        if (Trim(name).empty()) continue;  // a folder entry
        if (!Args.InScope || !Run.PassesIncludeExclude(Args.FolderName, name)) continue;
        TArchiveEntry entry;
        entry.FileName = folder.empty() ? name : name + " <" + folder + ">";
        entry.FolderName = Args.FolderName;
        entry.ArchiveID = Args.ArchiveName;
        entry.FileSize = size;
        entry.DateModified = entry.TimeModified = zip.GetDateTime(i);
        entry.Attribute = zip.GetExternalFileAttributes(i);
        entry.Comment = zip.GetFileComment(i);
        Run.AddNewDataEntry(entry);
    }
    return true;
}

bool ListCab(TArchiveRun& Run, const TArchiveArgs& Args) {
    codecs::TArcCabBrowser& cab = Run.CabBrowser();
    cab.SetFileName(Args.Path());
    for (int i = 0; i < cab.Count(); ++i) {
        if (Run.StopRequested()) return true;
        Run.ProcessMessages();
        const codecs::TArcCabItem* item = cab.GetItem(i);
        if (!item) return false;
        TArchiveEntry entry;
        entry.FileName = item->GetStoredName();
        entry.FileSize = item->GetUnpackedSize();
        entry.DateModified = entry.TimeModified =
            FileDateToDateTime(static_cast<int32_t>(uint32_t(item->GetDosDate()) << 16 | item->GetDosTime()));
        entry.Attribute = static_cast<int32_t>(item->GetAttributes());
        ArchiveMemberStep(Run, Args, entry);
    }
    return true;
}

// Runs a listing; any exception of its component fails it.
template <class TList>
void Guarded(TArchiveRun& Run, const TArchiveArgs& Args, TList&& List) {
    bool listed = false;
    try {
        listed = List();
    } catch (const std::exception&) {
        listed = false;
    }
    if (!listed) ReportArchiveFailure(Run, Args);
}

std::string DizText(const std::string& NativeFile) {
    std::ifstream in(NativeFile, std::ios::binary);
    return FileIdDizText(std::string(std::istreambuf_iterator<char>(in), {}));
}

}  // namespace

std::string FileIdDizText(std::string_view Bytes) {
    std::string text;
    bool started = false;
    while (!Bytes.empty()) {
        const size_t end = Bytes.find('\n');
        std::string_view line = Bytes.substr(0, end);
        Bytes.remove_prefix(end == std::string_view::npos ? Bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!started) {
            if (Trim(line).empty()) continue;
            started = true;
            text = line;
        } else {
            text += "\r\n";
            text += line;
        }
    }
    return text;
}

void ReadZipDirectory(TArchiveRun& Run, const TArchiveArgs& Args) {
    Guarded(Run, Args, [&] { return ListZip(Run, Args); });
}

void ReadCabDirectory(TArchiveRun& Run, const TArchiveArgs& Args) {
    Guarded(Run, Args, [&] { return ListCab(Run, Args); });
    try {
        Run.CabBrowser().CloseArchive();
    } catch (const std::exception&) {
    }
}

void ReadZipComment(TArchiveRun& Run, const TArchiveArgs& Args) {
    try {
        Run.MainArchiveComment = OpenZip(Run, Args).GetZipComment();
    } catch (const std::exception&) {
    }
}

void ProbeSfxArchive(TArchiveRun& Run, const TArchiveArgs& Args) {
    const bool always = Run.ExpandMode == kExpandAlways;
    if (always || (Args.InScope && Run.ExpandMode == kExpandOnDemand)) {
        Run.ShowArchiveName("Checking For SFX In " + Args.ArchiveName);
        Run.ProcessMessages();
        bool isSfx = false;
        std::string comment;
        try {
            comment = OpenZip(Run, Args).GetZipComment();
            isSfx = true;
        } catch (const std::exception&) {
            comment.clear();
        }
        Run.ShowArchiveName("");
        Run.ProcessMessages();
        bool expand = false;
        if (isSfx) {
            if (always) {
                expand = true;
            } else {
                switch (Run.AskExpandSfx("Expand SFX ZIP Archive " + Args.ArchiveName + "?")) {
                    case mrYes:
                        expand = true;
                        break;
                    case mrCancel:
                        Run.RequestStop();
                        break;
                    case mrNoToAll:
                        Run.ExpandMode = std::string(kExpandNever);
                        break;
                    case mrYesToAll:
                        expand = true;
                        Run.ExpandMode = std::string(kExpandAlways);
                        break;
                    default:
                        break;
                }
            }
        }
        if (expand) {
            Run.ShowArchiveName(" " + Args.ArchiveName);
            ReadZipDirectory(Run, Args);
            Run.ShowCounters();
            Run.ShowArchiveName("");
        } else {
            Run.MainArchiveComment = comment;
        }
    } else if (Args.InScope) {
        Run.ShowArchiveName("Checking For Main SFX Comment In " + Args.ArchiveName);
        try {
            Run.MainArchiveComment = OpenZip(Run, Args).GetZipComment();
        } catch (const std::exception&) {
            Run.MainArchiveComment.clear();
        }
        Run.ShowArchiveName("");
    }
}

void ReadFileIdDiz(TArchiveRun& Run, const TArchiveArgs& Args, bool DizOverride, bool UseDiz) {
    if (!Args.InScope || !(DizOverride || (UseDiz && Run.MainArchiveComment.empty()))) return;
    Run.ShowArchiveOperation("Scanning For FILE_ID.DIZ Comment In");
    Run.ShowArchiveName(Args.ArchiveName);
    Run.ProcessMessages();
    try {
        const std::string folder = Run.ExtractFolder();
        codecs::TZipReader& zip = OpenZip(Run, Args);
        // Only a FILE_ID.DIZ at the top level, and not one too large to be a description.
        bool usable = false;
        for (int i = 0; i < zip.Count(); ++i)
            if (platform::SameNameIgnoringCase(zip.GetFullName(i), "FILE_ID.DIZ"))
                usable = static_cast<uint32_t>(zip.GetUnCompressedSize(i)) <= 65536;
        if (usable && !folder.empty()) {
            zip.SetDestDir(folder);
            zip.OverwriteMode = codecs::Always;
            zip.FilesList()->Clear();
            zip.FilesList()->Add("FILE_ID.DIZ");
            if (zip.UnZip() == 1) {
                std::string native;
                platform::ResolveExistingPath(folder, native);
                for (const auto& f : std::filesystem::directory_iterator(native)) {
                    if (!platform::SameNameIgnoringCase(f.path().filename().string(), "FILE_ID.DIZ")) continue;
                    const std::string text = DizText(f.path().string());
                    std::error_code ignored;
                    std::filesystem::remove(f.path(), ignored);
                    Run.MainArchiveComment = text;
                    break;
                }
            }
        }
    } catch (const std::exception&) {
    }
    Run.ShowArchiveOperation("");
    Run.ShowArchiveName("");
    Run.ProcessMessages();
}

void ReadArchiveDirectory(TArchiveRun& Run, int TypeCode, const TArchiveArgs& Args) {
    switch (TypeCode) {
        case 1:
        case 9:
            ReadArcDirectory(Run, Args);
            break;
        case 2:
            ReadArjDirectory(Run, Args, false);
            break;
        case 3:
            ReadCabDirectory(Run, Args);
            break;
        case 4:
            ReadDwcDirectory(Run, Args);
            break;
        case 5:
            ReadHypDirectory(Run, Args);
            break;
        case 6:
            ReadLbrDirectory(Run, Args);
            break;
        case 7:
        case 8:
            ReadLzhDirectory(Run, Args);
            break;
        case 10:
            ReadRarDirectory(Run, Args);
            break;
        case 11:
            ReadSqzDirectory(Run, Args);
            break;
        case 12:
            ReadZipDirectory(Run, Args);
            break;
        case 13:
            ReadZooDirectory(Run, Args);
            break;
        default:
            break;
    }
}

}  // namespace cataloging
