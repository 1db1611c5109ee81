#include "platform/Help.h"

#include <cstdio>
#include <mutex>

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Shell.h"

namespace platform {
namespace {

std::mutex gMutex;
THelpRequest gLast;
std::string gLastReport;
HelpReporter gReporter = nullptr;

bool Report(const std::string& text, uint32_t error) {
    HelpReporter reporter;
    {
        std::lock_guard lock(gMutex);
        gLastReport = text;
        reporter = gReporter;
    }
    if (reporter)
        reporter(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
    return FailWith(error);
}

}  // namespace

bool WinHelp(std::string_view helpFile, uint32_t command, uint32_t context, std::string_view key) {
    {
        std::lock_guard lock(gMutex);
        gLast = THelpRequest{std::string(helpFile), command, context, std::string(key)};
    }
    if (command == HELP_QUIT) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    std::string native;
    if (helpFile.empty() || !ResolveExistingPath(helpFile, native))
        return Report(
            "No help file is installed" +
                (helpFile.empty() ? std::string(".") : " (" + std::string(helpFile) + " was not found)."),
            ERROR_FILE_NOT_FOUND);
    SHELLEXECUTEINFO info;
    info.lpFile = std::string(helpFile);
    if (ShellExecuteEx(&info)) return true;
    uint32_t error = GetLastError();
    return Report(
        "The help file " + std::string(helpFile) + " cannot be shown: no program to view it is installed.",
        error);
}

THelpRequest LastHelpRequest() {
    std::lock_guard lock(gMutex);
    return gLast;
}

std::string LastHelpReport() {
    std::lock_guard lock(gMutex);
    return gLastReport;
}

void SetHelpReporter(HelpReporter reporter) {
    std::lock_guard lock(gMutex);
    gReporter = reporter;
}

}  // namespace platform
