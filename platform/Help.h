#pragma once
// A stand-in for the help viewer. It takes the help file and the command (contents, key word,
// context number, quit) as the program gives them. When the help file exists it is opened with
// the program associated with it; when it does not (or nothing can show it) the user is told so
// in plain words through the help reporter, which the user-interface layer sets to a message box
// (by default the text goes to standard error).

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr uint32_t HELP_CONTEXT = 0x0001;
inline constexpr uint32_t HELP_QUIT = 0x0002;
inline constexpr uint32_t HELP_CONTENTS = 0x0003;
inline constexpr uint32_t HELP_INDEX = 0x0003;
inline constexpr uint32_t HELP_HELPONHELP = 0x0004;
inline constexpr uint32_t HELP_SETCONTENTS = 0x0005;
inline constexpr uint32_t HELP_CONTEXTPOPUP = 0x0008;
inline constexpr uint32_t HELP_FORCEFILE = 0x0009;
inline constexpr uint32_t HELP_FINDER = 0x000B;
inline constexpr uint32_t HELP_KEY = 0x0101;
inline constexpr uint32_t HELP_COMMAND = 0x0102;
inline constexpr uint32_t HELP_PARTIALKEY = 0x0105;

struct THelpRequest {
    std::string HelpFile;  // as given (Windows form)
    uint32_t Command = 0;
    uint32_t Context = 0;  // HELP_CONTEXT, HELP_CONTEXTPOPUP, HELP_SETCONTENTS
    std::string Key;       // HELP_KEY, HELP_PARTIALKEY, HELP_COMMAND
};

// Shows help; true when the request was carried out (HELP_QUIT always is). A missing help file
// fails with ERROR_FILE_NOT_FOUND after the report, a file nothing can show with the launch's
// error.
bool WinHelp(std::string_view helpFile, uint32_t command, uint32_t context = 0, std::string_view key = {});

// The last request and the last text reported to the user (empty when none since the start).
THelpRequest LastHelpRequest();
std::string LastHelpReport();

using HelpReporter = void (*)(const std::string& text);
void SetHelpReporter(HelpReporter reporter);

}  // namespace platform
