#pragma once
// Opening files with the programs associated with them.
//
// A document is opened through the desktop's opener ("xdg-open" on PATH) when the desktop knows a
// program for its type: the type comes from the shared MIME database's file-name patterns (plain
// text when no pattern fits and the file looks like text), the program from the desktop's
// association lists and application entries (mimeapps.list, mimeinfo.cache, *.desktop in the
// XDG folders). A folder opens in the opener too; an executable file is started itself with the
// parameters. The "print" verb prints through "lp" on PATH. The call never waits for the started
// program: it reports only whether it could be started. A text with a URL scheme ("http:",
// "mailto:": two or more characters before the colon, so that a drive letter is none) is no path:
// the "open" verb hands it to the desktop's opener unchanged.
//
// Errors: 2 a missing file, 3 a missing folder or drive, 1155 no associated program (also the
// "print" verb with no printing program, and verbs other than "open", "print" and "explore"), 5
// when the program cannot be executed.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr uint32_t ERROR_NO_ASSOCIATION = 1155;

// The version of the shell that the shell components report: the desktop offers everything that
// a shell of this version would.
inline constexpr double SHELL_VERSION = 6.0;

// What the system's About box says of the system, one line each (Windows-1252): the name of the
// operating system (PRETTY_NAME of os-release), the kernel release and the computer name; a line
// the system cannot tell is left out. OsRelease names the file to read (the system's own when empty).
std::vector<std::string> SystemAboutLines(const std::string& OsRelease = "");

inline constexpr int32_t SW_HIDE = 0;
inline constexpr int32_t SW_SHOWNORMAL = 1;
inline constexpr int32_t SW_MAXIMIZE = 3;
inline constexpr int32_t SW_MINIMIZE = 6;
inline constexpr int32_t SW_SHOWMINNOACTIVE = 7;

inline constexpr uint32_t SEE_MASK_NOCLOSEPROCESS = 0x00000040;
inline constexpr uint32_t SEE_MASK_FLAG_NO_UI = 0x00000400;

// A started process; 0 is none. Close each handle that a launch returned.
using HPROCESS = std::uintptr_t;

inline constexpr uint32_t WAIT_OBJECT_0 = 0;
inline constexpr uint32_t WAIT_TIMEOUT = 258;
inline constexpr uint32_t WAIT_FAILED = 0xFFFFFFFF;
inline constexpr uint32_t INFINITE = 0xFFFFFFFF;
inline constexpr uint32_t STILL_ACTIVE = 259;

// What to open and how. Paths are in Windows form ("D:\DOCS\A.TXT"). hProcess receives the started process
// when fMask has SEE_MASK_NOCLOSEPROCESS.
struct SHELLEXECUTEINFO {
    uint32_t fMask = 0;
    std::string lpVerb;  // empty means "open"
    std::string lpFile;
    std::string lpParameters;
    std::string lpDirectory;
    int32_t nShow = SW_SHOWNORMAL;
    HPROCESS hProcess = 0;
};

// Starts the file; false with the last error set when it cannot be started.
bool ShellExecuteEx(SHELLEXECUTEINFO* info);

// The short form: a value above 32 on success, else the error (2, 3, 5, 31 = no association).
inline constexpr intptr_t SE_ERR_NOASSOC = 31;
intptr_t ShellExecute(std::string_view verb, std::string_view file, std::string_view parameters,
                      std::string_view directory, int32_t showCommand);

// Waits for a started process to end: WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED for a handle
// that is not open.
uint32_t WaitForProcess(HPROCESS process, uint32_t milliseconds);
// The exit code of a process that ended, STILL_ACTIVE while it runs; false for a bad handle.
bool GetExitCodeProcess(HPROCESS process, uint32_t* exitCode);
bool CloseProcessHandle(HPROCESS process);

// The desktop's file type of a native file name ("text/plain", "application/octet-stream",
// "inode/directory"), and whether a program is associated with it.
std::string FileMimeType(const std::string& nativePath);
bool HasAssociatedProgram(const std::string& mimeType);

// Moves a file or folder (Windows form) to the user's trash by the desktop's trash rules: the home
// trash ($XDG_DATA_HOME/Trash) for items on its file system, else "$topdir/.Trash-<uid>" at the top
// of the item's file system. The item keeps its name in "files" (" 2", " 3", … added when taken)
// beside an "info" record of its original path and the time of deletion. False with the last
// error set (2 a missing item, 5 when it cannot be moved) when it cannot; nothing is left behind.
bool MoveToTrash(const std::string& windowsPath);

}  // namespace platform
