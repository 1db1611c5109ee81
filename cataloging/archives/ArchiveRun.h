#pragma once
// What every archive directory reader shares: the cataloguing run it reports to, the arguments it
// receives, the step that turns one member into a counted (and maybe added) entry, the MS-DOS date
// and time conversions, the member-name helpers, and how a failed listing is reported.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "framework/core/DateTime.h"

namespace codecs {
class TZipReader;
class TArcCabBrowser;
}  // namespace codecs

namespace cataloging {

// One archive member as it becomes an entry of the run's table of new entries.
struct TArchiveEntry {
    std::string FileName;
    std::string FolderName;
    std::string ArchiveID;
    int64_t FileSize = 0;
    framework::TDateTime DateModified = 0;
    framework::TDateTime TimeModified = 0;
    int32_t Attribute = 0;
    std::string Comment;
};

// The expansion modes of a run (its working copy of the catalog's ExpandArchives option).
inline constexpr std::string_view kExpandNever = "Never";
inline constexpr std::string_view kExpandAlways = "Always";
inline constexpr std::string_view kExpandOnDemand = "On Demand";

// What the readers need of the cataloguing run. The run window implements it; tests record.
class TArchiveRun {
public:
    TArchiveRun();
    virtual ~TArchiveRun();
    TArchiveRun(const TArchiveRun&) = delete;
    TArchiveRun& operator=(const TArchiveRun&) = delete;

    // The comment that the archive file's own entry receives.
    std::string MainArchiveComment;
    std::string ExpandMode = std::string(kExpandOnDemand);
    // The "Files In Archives" counters: members and their uncompressed bytes.
    int64_t ArchiveFileCount = 0;
    int64_t ArchiveByteCount = 0;

    virtual bool PassesIncludeExclude(const std::string& FolderName, const std::string& FileName) = 0;
    virtual void AddNewDataEntry(const TArchiveEntry& Entry) = 0;
    // Lets the run's window handle pending messages (its Abort button among them).
    virtual void ProcessMessages() {}
    virtual bool StopRequested() const { return false; }
    // An error beep and the text in an error message box with an OK button.
    virtual void ShowArchiveError(const std::string& Text) = 0;

    // ---- What the ZIP and cabinet readers use besides ----
    // Stops the run (the Cancel answer of the self-extractor question).
    virtual void RequestStop() {}
    // The status texts of the archive step (an operation and an archive name) and the counters.
    virtual void ShowArchiveOperation(const std::string&) {}
    virtual void ShowArchiveName(const std::string&) {}
    virtual void ShowCounters() {}
    // "Expand SFX ZIP Archive <name>?" with Yes, No, Cancel, No to All and Yes to All; the modal
    // result of the answer (mrYes, mrNo, mrCancel, mrNoToAll, mrYesToAll).
    virtual int AskExpandSfx(const std::string&) { return 0; }
    // The components, made on first use; the readers set their file names and read them.
    codecs::TZipReader& ZipReader();
    codecs::TArcCabBrowser& CabBrowser();
    // A folder of the run's own for files taken out of archives (Windows form, final "\"), made on
    // first use and removed with everything in it when the run ends.
    std::string ExtractFolder();

private:
    std::unique_ptr<codecs::TZipReader> FZipReader;
    std::unique_ptr<codecs::TArcCabBrowser> FCabBrowser;
    std::string FExtractFolder;  // native
};

// Where an archive lies and how its members are to be recorded.
struct TArchiveArgs {
    bool InScope = true;     // members are added (else only counted)
    std::string FolderName;  // as the catalog records the archive's folder
    std::string FolderPath;  // the folder's full path, ending in "\"
    std::string ArchiveName;
    std::string Path() const { return FolderPath + ArchiveName; }
};

// Counts a member and, when the archive is in scope and the member passes the include and exclude
// specs, adds it with the archive's folder name and name. Entry's name, size, date, time,
// attribute and comment come from the reader. Complete, when given, runs only for a member about
// to be added and may fill in more (a comment kept elsewhere in the file); when it gives false the
// member is not added and the step gives false.
using TCompleteEntry = std::function<bool(TArchiveEntry& Entry)>;
bool ArchiveMemberStep(TArchiveRun& Run, const TArchiveArgs& Args, TArchiveEntry Entry,
                       const TCompleteEntry& Complete = {});

// A failed listing: "Error Processing Archive <name>" when the run expands on demand, else silent.
void ReportArchiveFailure(TArchiveRun& Run, const TArchiveArgs& Args);

// MS-DOS packed date: a word of 33 or less read as a signed number (so every word with its top bit
// set too) gives 1 January 1980; an impossible month or day raises EConvertError.
framework::TDateTime DosDateToDateTime(uint16_t Word);
// MS-DOS packed time (two-second steps); an hour above 23, minute or second above 59 raises
// EConvertError.
framework::TDateTime DosTimeToDateTime(uint16_t Word);
// The local date and time of a Unix time stamp (seconds since 1970 UTC).
void UnixToLocalDateTime(uint32_t Stamp, framework::TDateTime& Date, framework::TDateTime& Time);
// A fixed-size name field: up to its first NUL (the first character is always taken), upper case,
// with "." appended when it holds none.
std::string NormalizeMemberName(std::string_view Field);
// The text before its first character below 32 or equal to 127.
std::string CutAtControlChar(std::string_view Text);
// Moves the leading folders of a stored member name out of it: while the name holds a "\" (or,
// when it holds none, a "/"), everything up to and including the first one goes. Returns what went.
std::string TakeFolderPart(std::string& Name);
// Upper case of "a" to "z" only: bytes above 127 are left alone (the names of these archives were
// written in a DOS code page, which a Windows case table would change).
std::string UpperMemberName(std::string_view Name);

}  // namespace cataloging
