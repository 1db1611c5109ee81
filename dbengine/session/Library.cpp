#include "dbengine/session/Library.h"

#include "dbengine/cursor/RecordsBitmap.h"
#include "dbengine/expr/CharMaps.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/os/FileList.h"

namespace dbengine {

void LibraryStartup() {
    CreateExpTokenPool();
    CreateRecordsBitmapPool();
    CreateLanguageCharMaps();
    CreateEngineFileList();
}

void LibraryShutdown() {
    FreeEngineFileList();
    FreeLanguageCharMaps();
    FreeRecordsBitmapPool();
    FreeExpTokenPool();
}

}  // namespace dbengine
