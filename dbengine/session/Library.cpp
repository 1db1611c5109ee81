#include "dbengine/session/Library.h"

#include "dbengine/expr/CharMaps.h"
#include "dbengine/os/FileList.h"

namespace dbengine {

void LibraryStartup() {
    CreateLanguageCharMaps();
    CreateEngineFileList();
}

void LibraryShutdown() {
    FreeEngineFileList();
    FreeLanguageCharMaps();
}

}  // namespace dbengine
