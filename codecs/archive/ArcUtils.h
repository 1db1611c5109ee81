#pragma once
// Shared routines of the archive library: the archive lock, error classes of item failures, path
// and folder routines, disk space, a wildcard match, percentages and Unix times. Paths are
// Windows-form texts with "\" between folders.

#include <cstdint>
#include <exception>
#include <string>

#include "framework/core/DateTime.h"
#include "framework/core/Strings.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace codecs {

// A reentrant lock held around every operation of one archive. It is taken every time (also in a
// process with a single thread), so each unlock matches a lock.
class TArcPadLock {
public:
    void SetLocked(bool value);
    int32_t Depth() const { return FDepth; }

private:
    int32_t FDepth = 0;
    platform::TRTLCriticalSection FSection;
};

// Classes of item failures reported to failure handlers.
enum : int32_t {
    ecArcException = 0,
    ecInOutError = 1,
    ecFilingError = 2,
    ecFileCreateError = 3,
    ecFileOpenError = 4,
    ecCabinetError = 5,
    ecOtherError = 6,
};
void ExceptionToErrorClass(const std::exception& e, int32_t& errorClass, int32_t& errorCode);

// 2 for an absolute path (holding "\\" or ":"), 1 for a relative one with folders, 0 for a bare name.
int PathKind(const std::string& path);
std::string WithTrailingBackslash(const std::string& path);
// Length of the text before the n-th "\" (n from 1); the whole length when there are fewer.
int PrefixBeforeBackslash(const std::string& path, int n);
void SplitDriveFolderFile(const std::string& path, std::string& drive, std::string& folder,
                          std::string& file);
void SplitFolderParts(const std::string& folder, framework::TStrings* list);
std::string StripDriveOfPath(const std::string& path);
std::string StripLeadingParentRefs(const std::string& path);
std::string ForwardToBackslashes(const std::string& path);
// The path rebuilt from the short names the file system reports (its long names where it has no
// short ones). Raises EArcException "Path not found" for a missing folder, EArcFileNotFound for a
// missing file.
std::string ShortPathOf(const std::string& path);
// ARCH.ZIP and 3 give ARCH.Z03; ARCH and 12 give ARCH.12.
std::string SpannedVolumeExtension(const std::string& name, int n);

bool FolderExists(const std::string& path);
// Raises EInOutError when a folder cannot be created.
void ForceDirectoryPath(const std::string& path);
void CollectMatchingFiles(const std::string& mask, uint32_t attributes, framework::TStrings* list,
                          bool recurse);
uint32_t ReadFileAttributes(const std::string& name);
void WriteFileAttributes(const std::string& name, uint32_t attributes);
int64_t FileSizeOfPath(const std::string& name);
std::string SearchRecShortName(const platform::WIN32_FIND_DATA& found);

char DriveLetterOfPath(const std::string& path);
bool IsOnRemovableDrive(const std::string& path);
int64_t FreeSpaceByClusters(const std::string& path);
int64_t FreeSpaceByDiskFreeEx(const std::string& path);
int64_t FreeSpaceOfRemovable(const std::string& path);
bool HasDiskFreeSpaceEx();
// Free bytes for a path, capped at 2,147,483,647; -1 when it cannot be told (also for a path
// without a drive).
int32_t FreeSpaceForPath(const std::string& path);

// Wildcard match of text from textPos against mask from maskPos (1-based); "*" and "?".
bool MatchesMask(const std::string& text, int textPos, const std::string& mask, int maskPos);
int32_t PercentOf(int32_t done, int32_t total);

framework::TDateTime UnixSecondsToDateTime(int64_t seconds);
int64_t DateTimeToUnixSeconds(framework::TDateTime value);

}  // namespace codecs
