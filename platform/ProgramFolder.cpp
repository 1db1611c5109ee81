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
    if (folder.back() != '\\') folder += '\\';
    SetLastError(ERROR_SUCCESS);
    return folder + kProgramFileName;
}

}  // namespace platform
