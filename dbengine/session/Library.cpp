#include "dbengine/session/Library.h"

#include "dbengine/expr/CharMaps.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/os/FileList.h"

namespace dbengine {

void LibraryStartup() {
    CreateExpTokenPool();
    CreateLanguageCharMaps();
    CreateEngineFileList();
}

void LibraryShutdown() {
    FreeEngineFileList();
    FreeLanguageCharMaps();
    FreeExpTokenPool();
}

}  // namespace dbengine
