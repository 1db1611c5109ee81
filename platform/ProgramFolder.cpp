#include "platform/ProgramFolder.h"

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/XdgDirs.h"

namespace platform {

std::string ProgramFolderNative() {
    return KorvaneHomeFolder();
}

std::string GetModuleFileName() {
    std::string folder = NativeToWindowsPath(KorvaneHomeFolder());
    if (folder.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return {};
    }
    SetLastError(ERROR_SUCCESS);
    return IncludeTrailingBackslash(folder) + kProgramFileName;
}

}  // namespace platform
