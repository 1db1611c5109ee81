#pragma once
// The program file and its folder. The program's own folder (program tables, temporary tables,
// the help file) is $KORVANE_HOME, by default $XDG_DATA_HOME/korvane, created on first use; the
// system sees it, in Windows form, as the folder of the program file "Korvane.exe".

#include <string>

namespace platform {

inline constexpr const char* kProgramFileName = "Korvane.exe";

// The full Windows-form name of the program file, for example
// "C:\home\ann\.local\share\korvane\Korvane.exe" (the folder keeps its actual spelling). Empty, with
// ERROR_PATH_NOT_FOUND, when no drive of the drive map holds the program folder.
std::string GetModuleFileName();

// The native program folder (no final "/"), created when missing.
std::string ProgramFolderNative();

}  // namespace platform
